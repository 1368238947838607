#include "Pipeline.h"

#include "CellText.h"
#include "Streams.h"

#include <cstring>

#include <system_error>

namespace {

// The line of each row, numbered from the batch's first.
template <typename Take> void eachLine(const Batch &batch, Take take)
{
    const char *p = batch.lines.constData();
    for (int i = 0; i < batch.lineCount; ++i) {
        const char *end = static_cast<const char *>(
            std::memchr(p, '\n', size_t(batch.lines.constData() + batch.lines.size() - p)));
        take(batch.firstLine + i, std::string_view(p, size_t(end - p)));
        p = end + 1;
    }
}

// Rows kept as values, for a map.
void convertRows(const Calculation::Calculator *calculator, Batch *batch)
{
    eachLine(*batch, [calculator, batch](qint64 number, std::string_view line) {
        // Past four fields the converter fails the row where the window loads and
        // warns: a script reads the exit status, not a warning.
        int fields = 0;
        const PointRow given
            = PointRow::fromLine(QString::fromUtf8(line.data(), int(line.size())), &fields);
        Calculation::Reading numbers;
        batch->keep(given,
            fields > PointRow::columns
                ? PointRow {given.name.trimmed(), {}, PointRow::Outcome::Failed,
                    Calculation::reasonText(Calculation::Failure::ExtraFields)}
                : calculator->convert(given, &numbers),
            number, numbers);
    });
}

// Rows written as the saved form writes them, bytes to bytes: the name as it
// was read (fromLine's rule leaves nothing in it that the writer would change),
// the numbers written straight behind it.
void convertText(const Calculation::Calculator *calculator, Batch *batch)
{
    QByteArray &text = batch->text;
    text.reserve(batch->lines.size() + batch->lines.size() / 2 + batch->lineCount);
    LineFields fields;
    eachLine(*batch, [calculator, batch, &text, &fields](qint64 number, std::string_view line) {
        fields.split(line);
        const std::string_view *const cells = fields.cells;
        Calculation::Reading numbers;
        PointRow::Outcome outcome = PointRow::Outcome::Failed;
        if (fields.count > PointRow::columns)
            numbers.failure = Calculation::Failure::ExtraFields;
        else
            outcome = calculator->convert(cells[1], cells[2], cells[3], &numbers);
        text.append(cells[0].data(), int(cells[0].size()));
        if (outcome == PointRow::Outcome::Converted) {
            text.append("; ", 2);
            calculator->appendCoordinates(&text, numbers);
            text.append('\n');
        } else {
            text.append("; ; ; \n", 7);
        }
        // Only a row without a point can be a name alone.
        const bool lacksCoordinates = outcome == PointRow::Outcome::NoPoint
            && !CellText::isBlank(cells[0]) && CellText::isBlank(cells[1])
            && CellText::isBlank(cells[2]) && CellText::isBlank(cells[3]);
        batch->count(outcome, lacksCoordinates,
            outcome == PointRow::Outcome::Failed
                ? Calculation::reasonText(numbers.failure, numbers.zone)
                : QString(),
            number);
    });
}

void convertBatch(const Calculation::Calculator *calculator, Batch *batch)
{
    if (batch->keepRows)
        convertRows(calculator, batch);
    else
        convertText(calculator, batch);
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
    count(result.outcome, given.lacksCoordinates(), result.reason, number);
}

void Batch::count(
    PointRow::Outcome result, bool lacksCoordinates, const QString &reason, qint64 number)
{
    // Most often fields separated by blanks: the window counts such rows, and
    // a script must see them in the exit status.
    if (result == PointRow::Outcome::NoPoint && lacksCoordinates)
        failures.push_back({number, Calculation::reasonText(Calculation::Failure::NoCoordinates)});
    if (result == PointRow::Outcome::Failed)
        failures.push_back({number, reason});
    tally.count(result, lacksCoordinates, number);
}

void Pipeline::submit()
{
    if (!current || current->lineCount == 0)
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
