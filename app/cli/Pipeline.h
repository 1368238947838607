// Rows through the calculation in batches on every core, written in input
// order, each failed row reported with its input's name and line number.
#ifndef PIPELINE_H
#define PIPELINE_H

#include "Calculation.h"
#include "Plural.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

class Output;

// Rows go through the calculation in batches, on as many threads as the
// machine has; the results are written in input order. The calculator is
// only read, and the library and cell texts keep no shared state.
struct Batch
{
    QString source;       // for the failure report
    qint64 firstLine = 0; // number of the first line in its input
    QStringList lines;
    int chars = 0;
    QByteArray rows; // the result rows, each ended by "\n"
    struct Failure
    {
        qint64 line;
        QString reason;
        bool noCoordinates; // a name alone: not a point, counted apart
    };
    std::vector<Failure> failures;
    qint64 points = 0; // rows with coordinates
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
    void add(const QString &source, qint64 number, const QString &line)
    {
        if (!current || current->source != source
            || current->firstLine + current->lines.size() != number) {
            submit();
            current.reset(new Batch);
            current->source = source;
            current->firstLine = number;
        }
        current->chars += line.size();
        current->lines.append(line);
        // Bounded in characters too, so that long lines keep memory flat.
        if (current->lines.size() >= batchLines || current->chars >= batchChars)
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
        batch->rows = "; ; ; \n";
        batch->failures.push_back({number, reason, false});
        batch->points = 1;
        while (jobs.size() >= inFlight)
            writeOldest();
        std::promise<void> done;
        done.set_value();
        jobs.emplace_back(std::move(batch), done.get_future());
    }
    // "пересчитано 998 из 1000 точек, ошибок: 2", as the window says it
    // without the row numbers.
    QString summary() const
    {
        QString text = QStringLiteral("пересчитано %1 из %2")
                           .arg(points - failures)
                           .arg(Plural::count(points, "точки", "точек", "точек"));
        if (failures > 0)
            text += QStringLiteral(", ошибок: %1").arg(failures);
        if (noCoordinates > 0)
            text += QStringLiteral(", без координат: %1").arg(noCoordinates);
        return text;
    }
    void finish()
    {
        submit();
        while (!jobs.empty())
            writeOldest();
    }
    // Some row was not converted: it failed or had no coordinates.
    bool anyFailed() const { return failures > 0 || noCoordinates > 0; }
    // The result rows go to `rows` instead of the output (a map's points).
    void divertTo(std::function<void(const QByteArray &)> rows) { divert = std::move(rows); }

private:
    void submit();
    void writeOldest();

    static const int batchLines = 4096;
    static const int batchChars = 1 << 20;
    const Calculation::Calculator &calculator;
    Output *output;
    std::function<void(const QString &)> report;
    size_t inFlight;
    std::function<void(const QByteArray &)> divert;
    qint64 failures = 0;
    qint64 noCoordinates = 0;
    qint64 points = 0;
    std::unique_ptr<Batch> current;
    std::deque<std::pair<std::unique_ptr<Batch>, std::future<void>>> jobs;
};

#endif // PIPELINE_H
