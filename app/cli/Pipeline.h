// Rows through the calculation in batches on every core, written in input
// order, each failed row reported with its input's name and line number.
#ifndef PIPELINE_H
#define PIPELINE_H

#include "Calculation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Output;

// Rows go through the calculation in batches, on as many threads as the
// machine has; the results are written in input order. The calculator is
// only read, and the library and cell texts keep no shared state.
struct Batch
{
    QString source;        // for the failure report
    qint64 firstLine = 0;  // number of the first line in its input
    QByteArray lines;      // UTF-8, each ended by "\n"
    std::vector<int> ends; // of each line in `lines`, at its "\n"
    int lineCount = 0;
    bool keepRows = false; // the result rows as values with their numbers (a map's points)
    QByteArray text;       // else the result rows written, each ended by "\n"
    PointRows rows;
    QVector<Calculation::Reading> numbers; // of each kept row (Calculator::convert)
    struct Failure
    {
        qint64 line;
        QString reason;
    };
    std::vector<Failure> failures;
    Calculation::Tally tally;

    // Line `number`, read as `given`, came out as `result`, of these numbers.
    void keep(const PointRow &given, const PointRow &result, qint64 number,
        const Calculation::Reading &numbers = Calculation::Reading());
    // Line `number` came out as `result`, with `reason` when it failed; the
    // line given was a name without coordinates.
    void count(
        PointRow::Outcome result, bool lacksCoordinates, const QString &reason, qint64 number);
};

// Threads started once that take jobs in order: a batch's buffers and stack
// stay warm, where a thread for each would start cold. With none (the system
// refuses threads: a process limit), a job runs on the thread that waits for it.
class Workers
{
public:
    explicit Workers(size_t count);
    ~Workers();
    Workers(const Workers &) = delete;
    Workers &operator=(const Workers &) = delete;
    std::future<void> run(std::function<void()> job);

private:
    void serve();

    std::vector<std::thread> threads;
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::packaged_task<void()>> queue;
    bool stopping = false;
};

class Pipeline
{
public:
    // `report` gets each failed row as "source:line: reason".
    Pipeline(const Calculation::Calculator &calculator, Output *output,
        std::function<void(const QString &)> report)
        : calculator(calculator)
        , output(output)
        , report(std::move(report))
        , inFlight(qMax(2u, std::thread::hardware_concurrency()))
    {
    }
    ~Pipeline()
    {
        for (auto &job : jobs)
            job.second.wait();
    }

    // Lines of one input, numbered from 1. A new input starts a new batch,
    // even one of the same name: its lines count from 1 again.
    void add(const QString &source, qint64 number, const QByteArray &line)
    {
        // The same input's name is one shared string: its data tells at once.
        if (!current
            || (current->source.constData() != source.constData() && current->source != source)
            || current->firstLine + current->lineCount != number) {
            submit();
            current.reset(new Batch);
            current->source = source;
            current->firstLine = number;
            current->keepRows = bool(divert);
        }
        // The room of the batch before, so that lines are not copied as it grows.
        QByteArray &lines = current->lines;
        if (lines.isEmpty())
            lines.reserve(linesRoom);
        const int at = lines.size();
        lines.resize(at + line.size() + 1);
        char *const end = std::copy_n(line.constData(), line.size(), lines.data() + at);
        *end = '\n';
        current->ends.push_back(at + line.size());
        ++current->lineCount;
        // Bounded in bytes too, so that long lines keep memory flat.
        if (current->lineCount >= batchLines || current->lines.size() >= batchBytes)
            submit();
    }
    // A line that never reached the calculation: written as an empty row, so
    // that every input line still has its output row, and reported.
    void addFailed(const QString &source, qint64 number, const QString &reason)
    {
        submit();
        std::unique_ptr<Batch> batch(new Batch);
        batch->source = source;
        batch->firstLine = number;
        batch->keepRows = bool(divert);
        batch->keep(PointRow(), PointRow {{}, {}, PointRow::Outcome::Failed, reason}, number);
        while (jobs.size() >= inFlight)
            writeOldest();
        std::promise<void> done;
        done.set_value();
        jobs.emplace_back(std::move(batch), done.get_future());
    }
    // "пересчитано 998 из 1000 точек, ошибок: 2", as the window says it
    // without the row numbers.
    QString summary() const { return tally.summary(Calculation::Tally::Form::Line); }
    void finish()
    {
        submit();
        while (!jobs.empty())
            writeOldest();
    }
    // Some row was not converted: it failed or had no coordinates.
    bool anyFailed() const { return tally.anyFailed(); }
    // The result rows, with their numbers, go to `row` instead of the output
    // (a map's points).
    using Divert = std::function<void(const PointRow &, const Calculation::Reading &)>;
    void divertTo(Divert row) { divert = std::move(row); }

private:
    void submit();
    void writeOldest();

    static constexpr int batchLines = 4096;
    static constexpr int batchBytes = 1 << 20;
    int linesRoom = 0; // the bytes of the last batch's lines
    const Calculation::Calculator &calculator;
    Output *output;
    std::function<void(const QString &)> report;
    size_t inFlight;
    Divert divert;
    Calculation::Tally tally;
    std::unique_ptr<Workers> workers; // started with the first batch
    std::unique_ptr<Batch> current;
    std::deque<std::pair<std::unique_ptr<Batch>, std::future<void>>> jobs;
};

#endif // PIPELINE_H
