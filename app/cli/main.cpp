// kelvadra-convert: converts points files from one reference system into
// another on the command line, with the window program's own calculation and
// saved form, so the two never disagree. Streams: memory stays flat whatever
// the size of the input.
#include "Calculation.h"
#include "CellText.h"
#include "GeoidFile.h"
#include "PointsFile.h"
#include "SystemName.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

const char programName[] = "kelvadra-convert";

// Exit statuses: every row converted, some row failed, nothing done.
const int allConverted = 0;
const int rowsFailed = 1;
const int cannotRun = 2;

void say(const QString &text)
{
    const QByteArray bytes
        = (QLatin1String(programName) + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

int usageError(const QString &text)
{
    say(text + QStringLiteral(" (справка: kelvadra-convert --help)"));
    return cannotRun;
}

QString helpText()
{
    QStringList lines;
    lines << QStringLiteral("Пересчёт файлов точек из одной системы координат в другую, как")
          << QStringLiteral("«Вычислить >>>» программы coordconv.") << QString()
          << QStringLiteral("Запуск: kelvadra-convert --from СИСТЕМА --to СИСТЕМА [параметры] "
                            "[ФАЙЛ...]")
          << QString()
          << QStringLiteral("Файлы читаются по порядку, без них или при «-» — стандартный ввод.")
          << QStringLiteral("В строке: имя и три координаты через «,», «;» или табуляцию; файл")
          << QStringLiteral("в UTF-8 или Windows-1251. Результат — строки в виде сохранённого")
          << QStringLiteral("файла программы (поля через «; », UTF-8). Непересчитанные строки")
          << QStringLiteral("остаются с именем и пустыми координатами и перечисляются с номерами")
          << QStringLiteral("и причинами на стандартном выводе ошибок.") << QString()
          << QStringLiteral("Параметры:")
          << QStringLiteral("  --from СИСТЕМА   система исходных точек")
          << QStringLiteral("  --to СИСТЕМА     система результата")
          << QStringLiteral("  -o ФАЙЛ          записать результат в файл (целиком или никак);")
          << QStringLiteral("                   без него — на стандартный вывод")
          << QStringLiteral("  --geoid ФАЙЛ     сетка геоида для +egm96 (по умолчанию egm96.grd")
          << QStringLiteral("                   рядом с программой)")
          << QStringLiteral("  -q, --quiet      не перечислять непересчитанные строки")
          << QStringLiteral("  --list           показать все системы")
          << QStringLiteral("  -h, --help       эта справка") << QString() << SystemName::forms()
          << QString()
          << QStringLiteral("Код выхода: 0 — все строки пересчитаны, 1 — есть непересчитанные,")
          << QStringLiteral("2 — пересчёт не выполнен.") << QString() << QStringLiteral("Пример:")
          << QStringLiteral("  kelvadra-convert --from gk:sk42:7 --to geod:wgs84:dms points.txt "
                            "-o points-wgs84.txt");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

struct Options
{
    QString from;
    QString to;
    QString output;
    QString geoid;
    bool quiet = false;
    QStringList inputs;
};

// Returns -1 when the run goes on, else the exit status.
int parseArguments(const QStringList &args, Options *o)
{
    bool optionsEnd = false;
    for (int i = 1; i < args.size(); ++i) {
        QString arg = args.at(i);
        if (optionsEnd || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            o->inputs.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            print(helpText());
            return allConverted;
        }
        if (arg == QLatin1String("--list")) {
            print(SystemName::forms().join(QLatin1Char('\n')) + QLatin1Char('\n'));
            return allConverted;
        }
        if (arg == QLatin1String("-q") || arg == QLatin1String("--quiet")) {
            o->quiet = true;
            continue;
        }
        // Options with a value: "--to X" or "--to=X".
        QString value;
        bool hasValue = false;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            hasValue = true;
        }
        QString *target = nullptr;
        if (arg == QLatin1String("--from"))
            target = &o->from;
        else if (arg == QLatin1String("--to"))
            target = &o->to;
        else if (arg == QLatin1String("-o") || arg == QLatin1String("--output"))
            target = &o->output;
        else if (arg == QLatin1String("--geoid"))
            target = &o->geoid;
        else
            return usageError(QStringLiteral("неизвестный параметр «%1»").arg(arg));
        if (!hasValue) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("после %1 ожидается значение").arg(arg));
            value = args.at(++i);
        }
        *target = value;
    }
    if (o->from.isEmpty() || o->to.isEmpty())
        return usageError(QStringLiteral("ожидаются --from СИСТЕМА и --to СИСТЕМА"));
    if (o->inputs.isEmpty())
        o->inputs.append(QStringLiteral("-"));
    return -1;
}

// One input: a named file or standard input, read a line at a time as the
// program reads points files (line ends, byte-order mark, UTF-8 or
// Windows-1251, the size limit).
class Input
{
public:
    // False, with errno set, when the file cannot be read.
    bool open(const QString &path)
    {
        const bool standard = path == QLatin1String("-");
        name = standard ? QStringLiteral("стандартный ввод") : path;
        const QFileInfo info(path);
        file.setFileName(standard ? QString() : path);
        if (!standard && info.isDir()) {
            errno = EISDIR;
            return false;
        }
        errno = 0;
        const bool opened
            = standard ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
        if (!opened) {
            if (errno == 0)
                errno = info.exists() ? EACCES : ENOENT;
            return false;
        }
        if (!file.isSequential())
            size = file.size();
        reader.reset(new PointsFile::LineReader(&file));
        return true;
    }

    bool next(QString *line) { return reader->readLine(line); }
    PointsFile::Status status() const { return reader->status(); }
    const QString &displayName() const { return name; }
    qint64 total() const { return size; }
    qint64 consumed() const { return file.isSequential() ? 0 : file.pos(); }

private:
    QFile file;
    std::unique_ptr<PointsFile::LineReader> reader;
    QString name;
    qint64 size = -1;
};

// Standard output, or a file replaced only when everything was written.
class Output
{
public:
    bool open(const QString &path)
    {
        if (path.isEmpty() || path == QLatin1String("-"))
            return true;
        file.reset(new QSaveFile(path));
        return file->open(QIODevice::WriteOnly);
    }
    void append(const QByteArray &rows)
    {
        pending += rows;
        if (pending.size() >= flushSize)
            flush();
    }
    bool flush()
    {
        if (!pending.isEmpty()) {
            if (file)
                ok = ok && file->write(pending) == pending.size();
            else
                ok = ok
                    && std::fwrite(pending.constData(), 1, size_t(pending.size()), stdout)
                        == size_t(pending.size());
            pending.clear();
        }
        return ok;
    }
    bool commit()
    {
        flush();
        if (file)
            return ok && file->commit();
        return ok && std::fflush(stdout) == 0;
    }

private:
    static const int flushSize = 1 << 20;
    std::unique_ptr<QSaveFile> file;
    QByteArray pending;
    bool ok = true;
};

// A bar on standard error, shown once the input has taken over a second.
class Progress
{
public:
    explicit Progress(qint64 total)
        : total(total)
        , enabled(isatty(STDERR_FILENO) == 1)
        , started(Clock::now())
    {
    }
    // Bytes read so far; with no known size (a pipe), the lines read.
    void update(qint64 done, qint64 lines)
    {
        if (!enabled)
            return;
        const auto now = Clock::now();
        if (now - started < std::chrono::seconds(1) || now - last < std::chrono::milliseconds(200))
            return;
        last = now;
        shown = true;
        if (total <= 0) {
            std::fprintf(stderr, "\rстрок: %lld", static_cast<long long>(lines));
        } else {
            const int width = 40;
            const qint64 part = qMin(done, total);
            const int filled = int(part * width / total);
            std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                std::string(size_t(width - filled), '.').c_str(), int(part * 100 / total));
        }
        std::fflush(stderr);
    }
    void finish()
    {
        if (shown)
            std::fprintf(stderr, "\r%60s\r", "");
        shown = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    qint64 total;
    bool enabled;
    bool shown = false;
    Clock::time_point started;
    Clock::time_point last;
};

QString openError(int code)
{
    switch (code) {
    case ENOENT:
        return QStringLiteral("нет такого файла");
    case EACCES:
        return QStringLiteral("нет доступа");
    case EISDIR:
        return QStringLiteral("это каталог");
    default:
        return QStringLiteral("файл не читается");
    }
}

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
    };
    std::vector<Failure> failures;
    qint64 points = 0; // rows with coordinates
};

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

class Pipeline
{
public:
    Pipeline(const Calculation::Calculator &calculator, Output *output, bool quiet)
        : calculator(calculator)
        , output(output)
        , quiet(quiet)
        , inFlight(qMax(2u, std::thread::hardware_concurrency()))
    {
    }
    ~Pipeline()
    {
        for (auto &job : jobs)
            job.second.wait();
    }

    // Lines of one input, numbered from 1.
    void add(const QString &source, qint64 number, const QString &line)
    {
        if (!current || current->source != source) {
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
    // "Пересчитано 998 из 1000 точек, ошибок: 2", as the window says it.
    QString summary() const
    {
        return QStringLiteral("пересчитано %1 из %2 точек, ошибок: %3")
            .arg(points - failures)
            .arg(points)
            .arg(failures);
    }
    void finish()
    {
        submit();
        while (!jobs.empty())
            writeOldest();
    }
    bool anyFailed() const { return failures > 0; }

private:
    void submit()
    {
        if (!current || current->lines.empty())
            return;
        while (jobs.size() >= inFlight)
            writeOldest();
        Batch *batch = current.get();
        jobs.emplace_back(
            std::move(current), std::async(std::launch::async, convertBatch, &calculator, batch));
    }
    void writeOldest()
    {
        jobs.front().second.get();
        const Batch &batch = *jobs.front().first;
        output->append(batch.rows);
        failures += qint64(batch.failures.size());
        points += batch.points;
        if (!quiet) {
            for (const Batch::Failure &f : batch.failures)
                say(QStringLiteral("%1:%2: %3").arg(batch.source).arg(f.line).arg(f.reason));
        }
        jobs.pop_front();
    }

    static const int batchLines = 4096;
    static const int batchChars = 1 << 20;
    const Calculation::Calculator &calculator;
    Output *output;
    bool quiet;
    size_t inFlight;
    qint64 failures = 0;
    qint64 points = 0;
    std::unique_ptr<Batch> current;
    std::deque<std::pair<std::unique_ptr<Batch>, std::future<void>>> jobs;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    Options options;
    const int status = parseArguments(application.arguments(), &options);
    if (status >= 0)
        return status;

    SystemName::Choices fromChoices;
    SystemName::Choices toChoices;
    QString error;
    if (!SystemName::parse(options.from, true, &fromChoices, &error))
        return usageError(QStringLiteral("--from ") + error);
    if (!SystemName::parse(options.to, false, &toChoices, &error))
        return usageError(QStringLiteral("--to ") + error);
    Calculation::Side from;
    Calculation::Side to;
    SystemName::side(fromChoices, true, &from);
    SystemName::side(toChoices, false, &to);

    // The grid is read only when a side needs it: it takes a while.
    geoid grid;
    initialize_null_geoid_data(&grid.grid);
    invalidate_geoid(&grid);
    struct GridRelease
    {
        geoid *g;
        ~GridRelease() { invalidate_geoid(g); }
    } release {&grid};
    if (Calculation::usesGeoid(from) || Calculation::usesGeoid(to)) {
        const QString path = options.geoid.isEmpty()
            ? QCoreApplication::applicationDirPath() + QStringLiteral("/egm96.grd")
            : options.geoid;
        switch (GeoidFile::load(path, &grid)) {
        case GeoidFile::Result::Loaded:
            break;
        case GeoidFile::Result::NotOpened:
            say(QStringLiteral("не удалось открыть сетку геоида «%1» (укажите --geoid ФАЙЛ)")
                    .arg(path));
            return cannotRun;
        case GeoidFile::Result::Malformed:
            say(QStringLiteral("«%1» не является сеткой геоида").arg(path));
            return cannotRun;
        }
    }

    Calculation::Calculator calculator(from, to, &grid);
    // Only a GSK 2011 Gauss-Krüger zone left automatic is accepted incomplete.
    const bool ready = check_refsystem(&from.system) && check_refsystem(&to.system)
        ? calculator.setUpFixed()
        : calculator.setUpAutoZone();
    if (!ready) {
        say(QStringLiteral("пересчёт из «%1» в «%2» не удалось подготовить")
                .arg(options.from, options.to));
        return cannotRun;
    }

    // Every input is opened before anything is written.
    std::vector<std::unique_ptr<Input>> inputs;
    qint64 total = 0;
    for (const QString &path : qAsConst(options.inputs)) {
        inputs.emplace_back(new Input);
        if (!inputs.back()->open(path)) {
            say(QStringLiteral("не удалось открыть «%1»: %2").arg(path, openError(errno)));
            return cannotRun;
        }
        total += qMax<qint64>(0, inputs.back()->total());
    }
    Output output;
    if (!output.open(options.output)) {
        say(QStringLiteral("не удалось записать «%1»; файл не изменён").arg(options.output));
        return cannotRun;
    }

    Progress progress(total);
    Pipeline pipeline(calculator, &output, options.quiet);
    QStringList warnings;
    qint64 readBefore = 0;
    qint64 linesBefore = 0;
    QString line;
    for (const auto &input : inputs) {
        PointsFile::ExtraFields extraFields;
        qint64 number = 0;
        while (input->next(&line)) {
            ++number;
            extraFields.check(line, number);
            pipeline.add(input->displayName(), number, line);
            if ((number & 0xfff) == 0)
                progress.update(readBefore + input->consumed(), linesBefore + number);
        }
        if (input->status() != PointsFile::Status::Ok) {
            progress.finish();
            say(input->status() == PointsFile::Status::TooLarge
                    ? QStringLiteral("«%1» больше %2 МБ: это не список точек")
                          .arg(input->displayName())
                          .arg(PointsFile::maxFileSize >> 20)
                    : QStringLiteral("ошибка чтения «%1»").arg(input->displayName()));
            return cannotRun;
        }
        if (extraFields.count > 0) {
            warnings.append(input->displayName() + QStringLiteral(": ")
                + extraFields.warning().replace(QLatin1Char('\n'), QLatin1Char(' ')));
        }
        readBefore += input->consumed();
        linesBefore += number;
    }
    pipeline.finish();
    progress.finish();
    if (!output.commit()) {
        say(options.output.isEmpty()
                ? QStringLiteral("не удалось записать результат")
                : QStringLiteral("не удалось записать «%1»; файл не изменён").arg(options.output));
        return cannotRun;
    }
    if (!options.quiet) {
        for (const QString &warning : qAsConst(warnings))
            say(warning);
        if (pipeline.anyFailed())
            say(pipeline.summary());
    }
    return pipeline.anyFailed() ? rowsFailed : allConverted;
}
