#include "Pipeline.h"

#include "Streams.h"

#include <system_error>

namespace {

void convertBatch(const Calculation::Calculator *calculator, Batch *batch)
{
    batch->rows.reserve(batch->chars + batch->chars / 2 + batch->lines.size());
    for (int i = 0; i < batch->lines.size(); ++i) {
        // Past four fields the converter fails the row where the window loads and
        // warns: a script reads the exit status, not a warning.
        int fields = 0;
        PointRow row = PointRow::fromLine(batch->lines.at(i), &fields);
        if (fields > PointRow::columns) {
            row = PointRow {row.name.trimmed(), {}, PointRow::Outcome::Failed,
                Calculation::reasonText(Calculation::Failure::ExtraFields)};
        } else {
            const bool nameAlone = row.lacksCoordinates();
            row = calculator->convert(row);
            // Most often fields separated by blanks: the window counts such
            // rows, and a script must see them in the exit status.
            if (nameAlone)
                batch->failures.push_back({batch->firstLine + i,
                    Calculation::reasonText(Calculation::Failure::NoCoordinates), true});
        }
        row.appendLine(&batch->rows);
        if (row.outcome == PointRow::Outcome::Failed)
            batch->failures.push_back({batch->firstLine + i, row.reason, false});
        if (row.outcome != PointRow::Outcome::NoPoint)
            ++batch->points;
    }
    batch->lines.clear();
}

// A batch on a thread of its own; when the system refuses one (a process
// limit), on the calling thread as its result is wanted.
std::future<void> startWorker(const Calculation::Calculator *calculator, Batch *batch)
{
    try {
        return std::async(std::launch::async, convertBatch, calculator, batch);
    } catch (const std::system_error &) {
        return std::async(std::launch::deferred, convertBatch, calculator, batch);
    }
}

} // namespace

void Pipeline::submit()
{
    if (!current || current->lines.empty())
        return;
    while (jobs.size() >= inFlight)
        writeOldest();
    Batch *batch = current.get();
    jobs.emplace_back(std::move(current), startWorker(&calculator, batch));
}

void Pipeline::writeOldest()
{
    jobs.front().second.get();
    const Batch &batch = *jobs.front().first;
    if (divert)
        divert(batch.rows);
    else
        output->append(batch.rows);
    for (const Batch::Failure &f : batch.failures)
        ++(f.noCoordinates ? noCoordinates : failures);
    points += batch.points;
    if (report) {
        for (const Batch::Failure &f : batch.failures)
            report(QStringLiteral("%1:%2: %3").arg(batch.source).arg(f.line).arg(f.reason));
    }
    jobs.pop_front();
}
