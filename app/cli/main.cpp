// kelvadra-convert: converts points files from one reference system into
// another on the command line, with the window program's own calculation and
// saved form, so the two never disagree. Streams: memory stays flat whatever
// the size of the input.
#include "Calculation.h"
#include "CellText.h"
#include "GeoidFile.h"
#include "SystemName.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
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
          << QStringLiteral("В строке: имя и три координаты через «,» или «;». Результат —")
          << QStringLiteral("строки в виде сохранённого файла программы (поля через «; »).")
          << QStringLiteral("Непересчитанные строки остаются с именем и пустыми координатами")
          << QStringLiteral("и перечисляются с номерами на стандартном выводе ошибок.") << QString()
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

// One input: a named file or standard input, read in blocks and cut into
// lines ("\n" or "\r\n" ends a line; a last line without one counts too).
class LineReader
{
public:
    bool open(const QString &path)
    {
        name = path == QLatin1String("-") ? QStringLiteral("стандартный ввод") : path;
        file = path == QLatin1String("-") ? stdin
                                          : std::fopen(QFile::encodeName(path).constData(), "rb");
        if (!file)
            return false;
        struct stat st;
        if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode))
            size = st.st_size;
        return true;
    }
    ~LineReader()
    {
        if (file && file != stdin)
            std::fclose(file);
    }

    // False at the end or on a read error (then failed() tells).
    bool next(QByteArray *line)
    {
        for (;;) {
            const char *begin = buffer.data() + start;
            const char *end = buffer.data() + filled;
            const char *nl = begin == end
                ? nullptr
                : static_cast<const char *>(std::memchr(begin, '\n', size_t(end - begin)));
            if (nl || (eof && begin != end)) {
                const char *lineEnd = nl ? nl : end;
                if (nl && lineEnd != begin && lineEnd[-1] == '\r')
                    --lineEnd;
                *line = QByteArray(begin, int(lineEnd - begin));
                start = nl ? size_t(nl - buffer.data()) + 1 : filled;
                return true;
            }
            if (eof)
                return false;
            fill();
        }
    }

    bool failed() const { return error; }
    const QString &displayName() const { return name; }
    qint64 total() const { return size; }
    qint64 consumed() const { return done; }

private:
    void fill()
    {
        // Keep the unfinished line, then read behind it.
        if (start > 0) {
            std::memmove(buffer.data(), buffer.data() + start, filled - start);
            filled -= start;
            start = 0;
        }
        if (buffer.size() - filled < blockSize)
            buffer.resize(filled + blockSize);
        const size_t n = std::fread(buffer.data() + filled, 1, buffer.size() - filled, file);
        filled += n;
        done += qint64(n);
        if (n == 0) {
            eof = true;
            error = std::ferror(file) != 0;
        }
    }

    static const size_t blockSize = 1 << 20;
    std::FILE *file = nullptr;
    QString name;
    std::vector<char> buffer;
    size_t start = 0;
    size_t filled = 0;
    bool eof = false;
    bool error = false;
    qint64 size = -1;
    qint64 done = 0;
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

// The row text the window makes of a loaded line: the line cut at "," and
// ";" into four cells (more are dropped, fewer padded) joined by "; ". Done in
// one pass: it is what CellText::joinRow(CellText::splitRow(line)) gives.
QString rowText(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line);
    const QString &separator = CellText::separator();
    QString row;
    row.reserve(text.size() + 3 * separator.size());
    int cells = 1;
    int start = 0;
    const int n = text.size();
    for (int i = 0; i < n && cells <= 4; ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char(',') || ch == QLatin1Char(';')) {
            row.append(text.constData() + start, i - start);
            if (cells < 4)
                row += separator;
            start = i + 1;
            ++cells;
        }
    }
    if (cells <= 4)
        row.append(text.constData() + start, n - start);
    for (; cells < 4; ++cells)
        row += separator;
    return row;
}

// Rows go through the calculation in batches, on as many threads as the
// machine has; the results are written in input order. The calculator is
// only read, and the library and cell texts keep no shared state.
struct Batch
{
    QString source;       // for the failure report
    qint64 firstLine = 0; // number of the first line in its input
    std::vector<QByteArray> lines;
    int bytes = 0;
    QByteArray rows; // the result rows, each ended by "\n"
    std::vector<qint64> failedLines;
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
    batch->rows.reserve(batch->bytes + batch->bytes / 2 + int(batch->lines.size()));
    for (size_t i = 0; i < batch->lines.size(); ++i) {
        bool failed = false;
        appendRow(&batch->rows, calculator->convertRow(rowText(batch->lines[i]), &failed));
        if (failed)
            batch->failedLines.push_back(batch->firstLine + qint64(i));
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
    void add(const QString &source, qint64 number, QByteArray &line)
    {
        if (!current || current->source != source) {
            submit();
            current.reset(new Batch);
            current->source = source;
            current->firstLine = number;
        }
        current->bytes += line.size();
        current->lines.push_back(std::move(line));
        // Bounded in bytes too, so that long lines keep memory flat.
        if (current->lines.size() >= batchLines || current->bytes >= batchBytes)
            submit();
    }
    void finish()
    {
        submit();
        while (!jobs.empty())
            writeOldest();
    }
    bool anyFailed() const { return failed; }

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
        failed = failed || !batch.failedLines.empty();
        if (!quiet) {
            for (const qint64 number : batch.failedLines)
                say(QStringLiteral("%1:%2: строка не пересчитана").arg(batch.source).arg(number));
        }
        jobs.pop_front();
    }

    static const size_t batchLines = 4096;
    static const int batchBytes = 1 << 20;
    const Calculation::Calculator &calculator;
    Output *output;
    bool quiet;
    size_t inFlight;
    bool failed = false;
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
    std::vector<std::unique_ptr<LineReader>> readers;
    qint64 total = 0;
    for (const QString &path : qAsConst(options.inputs)) {
        readers.emplace_back(new LineReader);
        if (!readers.back()->open(path)) {
            say(QStringLiteral("не удалось открыть «%1»: %2").arg(path, openError(errno)));
            return cannotRun;
        }
        total += qMax<qint64>(0, readers.back()->total());
    }
    Output output;
    if (!output.open(options.output)) {
        say(QStringLiteral("не удалось записать «%1»; файл не изменён").arg(options.output));
        return cannotRun;
    }

    Progress progress(total);
    Pipeline pipeline(calculator, &output, options.quiet);
    qint64 readBefore = 0;
    qint64 linesBefore = 0;
    QByteArray line;
    for (const auto &reader : readers) {
        qint64 number = 0;
        while (reader->next(&line)) {
            ++number;
            pipeline.add(reader->displayName(), number, line);
            if ((number & 0xfff) == 0)
                progress.update(readBefore + reader->consumed(), linesBefore + number);
        }
        if (reader->failed()) {
            progress.finish();
            say(QStringLiteral("ошибка чтения «%1»").arg(reader->displayName()));
            return cannotRun;
        }
        readBefore += reader->consumed();
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
    return pipeline.anyFailed() ? rowsFailed : allConverted;
}
