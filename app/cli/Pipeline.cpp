#include "Pipeline.h"

#include "CellText.h"
#include "Streams.h"

#include <system_error>

namespace {

// The row in UTF-8 and "\n" behind `out`; ASCII, the usual case, without a
// temporary.
void appendRow(QByteArray *out, const QString &row)
{
    const int start = out->size();
    out->resize(start + row.size() + 1);
    char *p = out->data() + start;
    for (const QChar ch : row) {
        if (ch.unicode() >= 0x80) {
            out->resize(start);
            *out += row.toUtf8();
            *out += '\n';
            return;
        }
        *p++ = char(ch.unicode());
    }
    *p = '\n';
}

void convertBatch(const Calculation::Calculator *calculator, Batch *batch)
{
    batch->rows.reserve(batch->chars + batch->chars / 2 + batch->lines.size());
    const QLatin1String noCoordinates("; ; ; ");
    QString reason;
    for (int i = 0; i < batch->lines.size(); ++i) {
        bool failed = false;
        const QString row
            = calculator->convertRow(CellText::tableRow(batch->lines.at(i)), &failed, &reason);
        appendRow(&batch->rows, row);
        if (failed)
            batch->failures.push_back({batch->firstLine + i, reason});
        if (failed || !row.endsWith(noCoordinates))
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
    output->append(batch.rows);
    failures += qint64(batch.failures.size());
    points += batch.points;
    if (report) {
        for (const Batch::Failure &f : batch.failures)
            report(QStringLiteral("%1:%2: %3").arg(batch.source).arg(f.line).arg(f.reason));
    }
    jobs.pop_front();
}
