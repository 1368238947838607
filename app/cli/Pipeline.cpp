#include "Pipeline.h"

#include "Streams.h"

#include <system_error>

namespace {

void convertBatch(const Calculation::Calculator *calculator, Batch *batch)
{
    if (!batch->keepRows)
        batch->text.reserve(batch->chars + batch->chars / 2 + batch->lines.size());
    for (int i = 0; i < batch->lines.size(); ++i) {
        // Past four fields the converter fails the row where the window loads and
        // warns: a script reads the exit status, not a warning.
        int fields = 0;
        const PointRow given = PointRow::fromLine(batch->lines.at(i), &fields);
        Calculation::Reading numbers;
        batch->keep(given,
            fields > PointRow::columns
                ? PointRow {given.name.trimmed(), {}, PointRow::Outcome::Failed,
                    Calculation::reasonText(Calculation::Failure::ExtraFields)}
                : calculator->convert(given, batch->keepRows ? &numbers : nullptr),
            batch->firstLine + i, numbers);
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

void Batch::keep(const PointRow &given, const PointRow &result, qint64 number,
    const Calculation::Reading &values)
{
    if (keepRows) {
        rows.append(result);
        numbers.append(values);
    } else
        result.appendLine(&text);
    // Most often fields separated by blanks: the window counts such rows, and
    // a script must see them in the exit status.
    if (result.outcome == PointRow::Outcome::NoPoint && given.lacksCoordinates())
        failures.push_back({number, Calculation::reasonText(Calculation::Failure::NoCoordinates)});
    if (result.outcome == PointRow::Outcome::Failed)
        failures.push_back({number, result.reason});
    tally.count(given, result, number);
}

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
    if (divert) {
        for (int i = 0; i < batch.rows.size(); ++i)
            divert(batch.rows.at(i), batch.numbers.at(i));
    } else {
        output->append(batch.text);
    }
    tally.add(batch.tally);
    if (report) {
        for (const Batch::Failure &f : batch.failures)
            report(QStringLiteral("%1:%2: %3").arg(batch.source).arg(f.line).arg(f.reason));
    }
    jobs.pop_front();
}
