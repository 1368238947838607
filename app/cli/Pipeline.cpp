#include "Pipeline.h"

#include "CellText.h"
#include "Streams.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include <system_error>

namespace {

// The line of each row, numbered from the batch's first.
template <typename Take> void eachLine(const Batch &batch, Take take)
{
    const char *const lines = batch.lines.constData();
    int start = 0;
    for (int i = 0; i < batch.lineCount; ++i) {
        const int end = batch.ends[size_t(i)];
        take(batch.firstLine + i, std::string_view(lines + start, size_t(end - start)));
        start = end + 1;
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
// the numbers written straight behind it. A chunk of rows is read first, its
// points converted together, and its rows written; the chunk lives on the
// stack, so that a batch takes no memory of its own but its text.
void convertText(const Calculation::Calculator *calculator, Batch *batch)
{
    constexpr size_t chunk = 512;
    Calculation::Reading readings[chunk];
    PointRow::Outcome outcomes[chunk];
    std::string_view names[chunk];
    bool lacking[chunk];                  // a name alone
    std::deque<std::string> changedNames; // names the split rule changed: no view of the line

    // Written by pointer into the batch's text, grown when a row might not fit.
    QByteArray &text = batch->text;
    text.resize(batch->lines.size() + batch->lines.size() / 2 + batch->lineCount);
    char *p = text.data();
    const auto room = [&text, &p](size_t needed) {
        const size_t used = size_t(p - text.constData());
        if (size_t(text.size()) - used < needed) {
            text.resize(int(std::max(2 * size_t(text.size()), used + needed)));
            p = text.data() + used;
        }
    };
    qint64 first = batch->firstLine; // the chunk's
    size_t n = 0;
    const auto write = [&]() {
        calculator->convertReadings(readings, outcomes, n);
        for (size_t i = 0; i < n; ++i) {
            const Calculation::Reading &numbers = readings[i];
            room(names[i].size() + 3 + size_t(Calculation::Calculator::coordinatesRoom));
            std::memcpy(p, names[i].data(), names[i].size());
            p += names[i].size();
            if (outcomes[i] == PointRow::Outcome::Converted) {
                *p++ = ';';
                *p++ = ' ';
                char *const end = calculator->writeCoordinates(p, numbers);
                if (end) {
                    p = end;
                } else {
                    QByteArray slow;
                    calculator->appendCoordinates(&slow, numbers);
                    room(size_t(slow.size()) + 1);
                    std::memcpy(p, slow.constData(), size_t(slow.size()));
                    p += slow.size();
                }
                *p++ = '\n';
            } else {
                p = std::copy_n("; ; ; \n", 7, p);
            }
            batch->count(outcomes[i], lacking[i],
                outcomes[i] == PointRow::Outcome::Failed
                    ? Calculation::reasonText(numbers.failure, numbers.zone)
                    : QString(),
                first + qint64(i));
        }
        first += qint64(n);
        n = 0;
        changedNames.clear();
    };
    LineFields fields;
    eachLine(*batch, [&](qint64, std::string_view line) {
        fields.split(line);
        const std::string_view *const cells = fields.cells;
        names[n] = cells[0];
        if (cells[0].data() < line.data() || cells[0].data() > line.data() + line.size()) {
            changedNames.emplace_back(cells[0]);
            names[n] = changedNames.back();
        }
        readings[n] = Calculation::Reading();
        if (fields.count > PointRow::columns) {
            readings[n].failure = Calculation::Failure::ExtraFields;
            outcomes[n] = PointRow::Outcome::Failed;
        } else {
            outcomes[n] = calculator->readRow(cells[1], cells[2], cells[3], &readings[n]);
        }
        // Only a row without a point can be a name alone.
        lacking[n] = outcomes[n] == PointRow::Outcome::NoPoint && !CellText::isBlank(cells[0])
            && CellText::isBlank(cells[1]) && CellText::isBlank(cells[2])
            && CellText::isBlank(cells[3]);
        if (++n == chunk)
            write();
    });
    write();
    text.resize(int(p - text.constData()));
}

void convertBatch(const Calculation::Calculator *calculator, Batch *batch)
{
    if (batch->keepRows)
        convertRows(calculator, batch);
    else
        convertText(calculator, batch);
    batch->lines.clear();
}

} // namespace

Workers::Workers(size_t count)
{
    try {
        while (threads.size() < count)
            threads.emplace_back(&Workers::serve, this);
    } catch (const std::system_error &) {
        // Fewer threads, or none: the jobs then wait longer, or run when wanted.
    }
}

Workers::~Workers()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    ready.notify_all();
    for (std::thread &thread : threads)
        thread.join();
}

std::future<void> Workers::run(std::function<void()> job)
{
    if (threads.empty())
        return std::async(std::launch::deferred, std::move(job));
    std::packaged_task<void()> task(std::move(job));
    std::future<void> done = task.get_future();
    {
        const std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(std::move(task));
    }
    ready.notify_one();
    return done;
}

void Workers::serve()
{
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty())
                return;
            task = std::move(queue.front());
            queue.pop_front();
        }
        task();
    }
}

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
    linesRoom = std::min(current->lines.size() + current->lines.size() / 8, batchBytes);
    while (jobs.size() >= inFlight)
        writeOldest();
    if (!workers)
        workers.reset(new Workers(inFlight));
    Batch *batch = current.get();
    const Calculation::Calculator *const calculator = &this->calculator;
    jobs.emplace_back(
        std::move(current), workers->run([calculator, batch] { convertBatch(calculator, batch); }));
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
