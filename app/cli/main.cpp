// kelvadra-convert: converts points files from one reference system into
// another on the command line, with the window program's own calculation and
// saved form, so the two never disagree. Streams: memory stays flat whatever
// the size of the input.
#include "Arguments.h"
#include "Calculation.h"
#include "DxfExport.h"
#include "FitCommand.h"
#include "GeoidFile.h"
#include "LocalSystems.h"
#include "MapOutput.h"
#include "Pipeline.h"
#include "Plural.h"
#include "PointsFile.h"
#include "ProjString.h"
#include "Streams.h"
#include "SystemName.h"

#include <QCoreApplication>
#include <QTextCodec>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char programName[] = "kelvadra-convert";

// Exit statuses: every row converted, some row failed, nothing done. A step
// of the run returns one of them to end it, or goesOn.
const int allConverted = 0;
const int rowsFailed = 1;
const int cannotRun = 2;
const int goesOn = -1;

// The bar, while there is one: any other line on standard error clears it first.
Progress *progressShown = nullptr;

// The locale's own encoding, for file names in messages; file names
// themselves stay the system's bytes (see setUpProcess).
QTextCodec *systemCodec = nullptr;

QString shown(const QString &fileName)
{
    return systemCodec->toUnicode(QFile::encodeName(fileName));
}

QString rowCount(qint64 n)
{
    return Plural::count(n, "строка", "строки", "строк");
}

void say(const QString &text)
{
    if (progressShown)
        progressShown->finish();
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
          << QStringLiteral("  --systems ФАЙЛ   файл местных систем (по умолчанию тот, что правит")
          << QStringLiteral("                   окно программы)")
          << QStringLiteral("  --format ФОРМАТ  kml, gpx или geojson: точки для карты в WGS 84")
          << QStringLiteral("                   (без --to; высоты KML и GPX — над геоидом EGM96);")
          << QStringLiteral("                   dxf: чертёж для CAD в плоской системе --to")
          << QStringLiteral(
                 "  --scale М        масштаб чертежа dxf: 500 (по умолчанию), 1000, 2000")
          << QStringLiteral("                   или 5000 — высота подписей 2 мм на бумаге")
          << QStringLiteral("  --show-proj СИСТЕМА  напечатать систему строкой PROJ")
          << QStringLiteral("  --list           показать все системы, местные тоже")
          << QStringLiteral("  -h, --help       эта справка") << QString() << FitCommand::help()
          << QString() << SystemName::forms() << QString()
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
    QString systems;  // the definitions file of the local systems; empty: the user's own
    QString showProj; // --show-proj: print this system as a PROJ definition
    QString format;   // --format: kml, gpx, geojson or dxf instead of points-file lines
    int scale = DxfExport::defaultScale; // --scale: of a dxf drawing
    bool list = false;
    bool quiet = false;
    QStringList inputs;
};

// The options of `args`, in QFile's form (see setUpProcess): file names as
// they are, other values through shown().
int parseArguments(const QStringList &args, Options *o)
{
    bool optionsEnd = false;
    QString scale;
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
        // Options with a value: "--to X" or "--to=X".
        QString value;
        const bool hasValue = splitValue(&arg, &value);
        const bool help = arg == QLatin1String("-h") || arg == QLatin1String("--help");
        const bool list = arg == QLatin1String("--list");
        const bool quiet = arg == QLatin1String("-q") || arg == QLatin1String("--quiet");
        if ((help || list || quiet) && hasValue)
            return usageError(QStringLiteral("параметр %1 пишется без значения").arg(arg));
        if (help) {
            print(helpText());
            return allConverted;
        }
        if (list) {
            o->list = true; // after the options: --systems may follow
            continue;
        }
        if (quiet) {
            o->quiet = true;
            continue;
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
        else if (arg == QLatin1String("--systems"))
            target = &o->systems;
        else if (arg == QLatin1String("--show-proj"))
            target = &o->showProj;
        else if (arg == QLatin1String("--format"))
            target = &o->format;
        else if (arg == QLatin1String("--scale"))
            target = &scale;
        else
            return usageError(QStringLiteral("неизвестный параметр «%1»").arg(shown(arg)));
        if (!hasValue) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("после %1 ожидается значение").arg(arg));
            value = args.at(++i);
        }
        if (value.isEmpty())
            return usageError(QStringLiteral("после %1 — пустое значение").arg(arg));
        const bool name = target == &o->from || target == &o->to || target == &o->showProj;
        *target = name ? shown(value) : value;
    }
    if (o->inputs.contains(QString()))
        return usageError(QStringLiteral("пустое имя файла"));
    if (o->list || !o->showProj.isEmpty())
        return goesOn;
    // A map's points are WGS 84 whatever --to would say; a drawing's are in --to.
    if (!o->format.isEmpty() && o->format != QLatin1String("points")
        && !MapOutput::isFormat(o->format))
        return usageError(QStringLiteral("--format: ожидается kml, gpx, geojson, dxf или points"));
    const bool drawing = o->format.compare(QLatin1String("dxf"), Qt::CaseInsensitive) == 0;
    if (!scale.isEmpty() && !drawing)
        return usageError(QStringLiteral("--scale задаёт масштаб чертежа: только с --format dxf"));
    if (!scale.isEmpty() && !DxfExport::parseScale(scale, &o->scale))
        return usageError(QStringLiteral("--scale: ожидается 500, 1000, 2000 или 5000"));
    const bool map = !o->format.isEmpty() && o->format != QLatin1String("points") && !drawing;
    if (map && !o->to.isEmpty())
        return usageError(
            QStringLiteral("--format %1 пишет точки в WGS 84: --to не нужен").arg(o->format));
    if (o->from.isEmpty() || (o->to.isEmpty() && !map))
        return usageError(QStringLiteral("ожидаются --from СИСТЕМА и --to СИСТЕМА"));
    if (o->inputs.isEmpty())
        o->inputs.append(QStringLiteral("-"));
    return goesOn;
}

bool isLocal(const QString &name)
{
    return name.trimmed().startsWith(QLatin1String("msk:"), Qt::CaseInsensitive);
}

// The named systems for --list.
QString localList(const LocalSystems::Systems &systems, const QString &path)
{
    QString text = QStringLiteral("Местные системы (msk:ИМЯ) из «%1»:\n").arg(shown(path));
    if (systems.isEmpty())
        text += QStringLiteral("  нет; добавьте их в окне программы или в этот файл\n");
    for (const LocalSystems::System &system : systems) {
        const bool keyed = system.keys != LocalSystems::System::Keys::None;
        text += QStringLiteral("  msk:%1\n      %2%3\n")
                    .arg(system.name, system.base,
                        keyed ? QStringLiteral(", с ключами") : QString());
    }
    return text;
}

// --show-proj: a plane system without keys as one PROJ definition.
int showProj(const QString &name, const LocalSystems::Systems &systems)
{
    SystemName::Choices choices;
    Calculation::Side side;
    QString error;
    if (!SystemName::parse(name, true, &choices, &error))
        return usageError(QStringLiteral("--show-proj ") + error);
    if (!SystemName::side(choices, true, &side, &systems)) {
        say(QStringLiteral("местной системы «%1» нет (список: --list)").arg(choices.localName));
        return cannotRun;
    }
    const LocalSystems::System *local = LocalSystems::find(systems, choices.localName);
    if (choices.kind == SystemKind::Local && local
        && (local->keys != LocalSystems::System::Keys::None || local->dh[0] != 0.0
            || local->dh[1] != 0.0 || local->dh[2] != 0.0)) {
        say(QStringLiteral("у «%1» есть ключи или поправка высоты: одна строка PROJ их не "
                           "вмещает; строка её основы: --show-proj %2")
                .arg(choices.localName, local->base));
        return cannotRun;
    }
    const QString definition = ProjString::write(side.system);
    if (definition.isEmpty()) {
        say(QStringLiteral("--show-proj: ожидается плоская система: tm:, gk: с номером зоны, "
                           "utm: или msk:"));
        return cannotRun;
    }
    print(definition + QLatin1Char('\n'));
    return allConverted;
}

// What a conversion needs beyond the options: the local systems, the two
// sides, and the document the rows become.
struct Job
{
    Options options;
    QString systemsPath;
    LocalSystems::Systems systems;
    Calculation::Side from;
    Calculation::Side to;
    bool map = false; // a map document in mapFormat
    MapExport::Format mapFormat = MapExport::Format::Kml;
    bool drawing = false; // a drawing in --to
};

// Qt's names, messages and codecs for a run of the converter.
void setUpProcess()
{
    // The window's settings folder, where the local systems are kept.
    QCoreApplication::setOrganizationName(QStringLiteral("kelvadra"));
    QCoreApplication::setApplicationName(QStringLiteral("coordconv"));
    // Qt's own warnings are English and meant for programmers.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // File names are the system's bytes, whatever the locale: with Latin-1 as
    // the locale's codec, QFile::decodeName and encodeName carry every byte
    // through unchanged (a Windows-1251 name in a UTF-8 locale too). Messages
    // show the names in the locale's own encoding.
    systemCodec = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
}

QStringList arguments(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QFile::decodeName(argv[i]));
    return args;
}

// The document --format asks for; a map's points go to WGS 84.
void chooseDocument(Job *job)
{
    Options &o = job->options;
    if (o.output == QLatin1String("-"))
        o.output.clear();
    job->map = MapExport::parseFormat(o.format, &job->mapFormat);
    job->drawing = !job->map && MapOutput::isFormat(o.format);
    if (job->map)
        o.to = MapExport::targetName(job->mapFormat, true);
}

// The local systems, read when they are asked for: a broken file of the
// user's own stops no run that does not use it.
int readSystems(Job *job)
{
    const Options &o = job->options;
    job->systemsPath = o.systems.isEmpty() ? LocalSystems::defaultPath() : o.systems;
    const bool wanted
        = !o.systems.isEmpty() || o.list || isLocal(o.from) || isLocal(o.to) || isLocal(o.showProj);
    QString error;
    if (wanted && !LocalSystems::read(job->systemsPath, &job->systems, &error)) {
        say(QStringLiteral("местные системы не прочитаны: ") + error);
        return cannotRun;
    }
    return goesOn;
}

// --from and --to as the calculation's sides; their notes are said.
int setUpSides(Job *job)
{
    const Options &o = job->options;
    SystemName::Choices fromChoices;
    SystemName::Choices toChoices;
    QString error;
    QString notes[2];
    if (!SystemName::parse(o.from, true, &fromChoices, &error, &notes[0]))
        return usageError(QStringLiteral("--from ") + error);
    if (!SystemName::parse(o.to, false, &toChoices, &error, &notes[1]))
        return usageError(QStringLiteral("--to ") + error);
    for (const auto &[choices, side, input] :
        {std::tuple(&fromChoices, &job->from, true), std::tuple(&toChoices, &job->to, false)}) {
        if (!SystemName::side(*choices, input, side, &job->systems)) {
            say(QStringLiteral("местной системы «%1» нет в «%2» (список: --list)")
                    .arg(choices->localName, shown(job->systemsPath)));
            return cannotRun;
        }
    }
    if (job->drawing && !DxfExport::isPlane(job->to))
        return usageError(QStringLiteral("--format dxf пишет чертёж в плоской системе: в --to "
                                         "ожидается gk:, utm:, tm:, proj: или msk:"));
    for (const QString &note : notes) {
        if (!note.isEmpty() && !o.quiet)
            say(note);
    }
    return goesOn;
}

// The grid, read only when a side needs it: it takes a while.
int loadGrid(const Job &job, geoid *grid)
{
    if (!Calculation::usesGeoid(job.from) && !Calculation::usesGeoid(job.to))
        return goesOn;
    const QString path = job.options.geoid.isEmpty()
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/egm96.grd")
        : job.options.geoid;
    switch (GeoidFile::load(path, grid)) {
    case GeoidFile::Result::Loaded:
        break;
    case GeoidFile::Result::NotOpened:
        say(QStringLiteral("не удалось открыть сетку геоида «%1» (укажите --geoid ФАЙЛ)")
                .arg(shown(path)));
        return cannotRun;
    case GeoidFile::Result::Malformed:
        say(QStringLiteral("«%1» не является сеткой геоида").arg(shown(path)));
        return cannotRun;
    }
    return goesOn;
}

// Before anything is read: every input is there, and none is the output,
// which would be overwritten while it is read. *total: the inputs' bytes.
int checkFiles(const Options &o, qint64 *total)
{
    std::vector<std::pair<dev_t, ino_t>> inputFiles;
    for (const QString &path : o.inputs) {
        struct stat st;
        const bool standard = path == QLatin1String("-");
        if ((standard ? ::fstat(STDIN_FILENO, &st)
                      : ::stat(QFile::encodeName(path).constData(), &st))
            != 0) {
            say(QStringLiteral("не удалось открыть «%1»: %2")
                    .arg(standard ? QStringLiteral("стандартный ввод") : shown(path),
                        systemReason(errno)));
            return cannotRun;
        }
        if (S_ISDIR(st.st_mode)) {
            say(QStringLiteral("не удалось открыть «%1»: %2")
                    .arg(shown(path), systemReason(EISDIR)));
            return cannotRun;
        }
        if (S_ISREG(st.st_mode)) {
            *total += st.st_size;
            inputFiles.emplace_back(st.st_dev, st.st_ino);
        }
    }
    struct stat st;
    const bool named = !o.output.isEmpty();
    if ((named ? ::stat(QFile::encodeName(o.output).constData(), &st) : ::fstat(STDOUT_FILENO, &st))
            == 0
        && S_ISREG(st.st_mode)
        && std::find(inputFiles.begin(), inputFiles.end(), std::make_pair(st.st_dev, st.st_ino))
            != inputFiles.end()) {
        say(named ? QStringLiteral("«%1» — один из входных файлов: укажите в -o другой файл")
                        .arg(shown(o.output))
                  : QStringLiteral("стандартный вывод направлен в один из входных файлов: "
                                   "укажите другой файл"));
        return cannotRun;
    }
    return goesOn;
}

// What became of the output when the run stops half-way.
QString partial(Output *output)
{
    output->flush();
    if (output->replacesFile())
        return QStringLiteral("; файл не изменён");
    if (output->rowsWritten() == 0)
        return QString();
    return QStringLiteral("; результат неполный, в нём только %1")
        .arg(rowCount(output->rowsWritten()));
}

// The inputs' lines on their way through the pipeline, and what is said
// after the rows' failures, in input order: the note, and whether even with
// --quiet (a skipped header: a line of the input is missing from the output).
struct Inputs
{
    Pipeline *pipeline;
    Output *output;
    Progress *progress;
    qint64 readBefore = 0;
    qint64 linesBefore = 0;
    std::vector<std::pair<QString, bool>> notes;
};

// Why an input stopped being read, said with what became of the output.
void sayInputStatus(const Input &input, Output *output)
{
    const QString &name = input.displayName();
    switch (input.status()) {
    case TextLines::Status::TooLarge:
        say(QStringLiteral("«%1» больше %2 МБ: это не список точек")
                .arg(name)
                .arg(TextLines::maxFileSize >> 20)
            + partial(output));
        break;
    case TextLines::Status::NotText:
        say(QStringLiteral("«%1» не текстовый файл точек: в нём нулевые байты").arg(name)
            + partial(output));
        break;
    default:
        say(QStringLiteral("ошибка чтения «%1»").arg(name) + partial(output));
        break;
    }
}

// One input into the pipeline.
int readInput(const QString &path, Inputs *r)
{
    static const QString tooLong
        = QStringLiteral("строка длиннее %1 МБ не прочитана").arg(TextLines::maxLineSize >> 20);
    // Progress and a failed output are looked at every this many lines.
    const qint64 progressLines = 0x1000;
    Input input;
    if (!input.open(path, shown(path))) {
        const int code = errno;
        r->pipeline->finish();
        say(QStringLiteral("не удалось открыть «%1»: %2").arg(shown(path), systemReason(code))
            + partial(r->output));
        return cannotRun;
    }
    qint64 number = 0;
    PointsFile::BlankSeparation blanks;
    QByteArray line;
    while (input.next(&line)) {
        ++number;
        if (input.lineTooLong()) {
            r->pipeline->addFailed(input.displayName(), number, tooLong);
            continue;
        }
        if (number == 1 && PointRow::fromLine(QString::fromUtf8(line)).looksLikeHeader()) {
            r->notes.emplace_back(QStringLiteral("«%1»: первая строка — заголовок, пропущена")
                                      .arg(input.displayName()),
                true);
            continue;
        }
        if (blanks.possible())
            blanks.check(PointRow::fromLine(QString::fromUtf8(line)));
        r->pipeline->add(input.displayName(), number, line);
        if (number % progressLines == 0) {
            r->progress->update(r->readBefore + input.consumed(), r->linesBefore + number);
            if (r->output->failed())
                return goesOn;
        }
    }
    if (r->output->failed())
        return goesOn;
    if (input.status() != TextLines::Status::Ok) {
        r->pipeline->finish();
        sayInputStatus(input, r->output);
        return cannotRun;
    }
    if (blanks.seen())
        r->notes.emplace_back(QStringLiteral("«%1»: %2")
                                  .arg(input.displayName(), PointsFile::BlankSeparation::note()),
            false);
    r->readBefore += input.consumed();
    r->linesBefore += number;
    return goesOn;
}

// The rows of every input through `calculator` into the output, and the
// report of the run.
int convertInputs(const Job &job, const Calculation::Calculator &calculator, qint64 total)
{
    const Options &o = job.options;
    Output output;
    const QString outputName = o.output.isEmpty() ? QStringLiteral("результат")
                                                  : QStringLiteral("«%1»").arg(shown(o.output));
    if (!output.open(o.output)) {
        say(QStringLiteral("не удалось записать %1: %2")
                .arg(outputName, systemReason(output.error())));
        return cannotRun;
    }
    std::unique_ptr<MapOutput> map;
    if (job.map)
        map.reset(new MapOutput(job.mapFormat, &output));
    else if (job.drawing)
        map.reset(new MapOutput(job.to, o.scale, &output));

    Progress progress(total);
    progressShown = &progress;
    Pipeline pipeline(
        calculator, &output,
        o.quiet ? std::function<void(const QString &)>() : [](const QString &text) { say(text); });
    if (map)
        pipeline.divertTo([&map](const PointRow &row, const Calculation::Reading &numbers) {
            map->add(row, numbers);
        });
    Inputs inputs {&pipeline, &output, &progress, 0, 0, {}};
    // One input open at a time: a folder of thousands of files stays under
    // the limit of open files.
    for (const QString &path : o.inputs) {
        const int status = readInput(path, &inputs);
        if (status >= 0)
            return status;
        if (output.failed())
            break;
    }
    if (!output.failed())
        pipeline.finish();
    progress.finish();
    for (const auto &[note, evenQuiet] : inputs.notes) {
        if (evenQuiet || !o.quiet)
            say(note);
    }
    if (map && !output.failed())
        map->finish();
    if (!output.commit()) {
        say(QStringLiteral("не удалось записать %1: %2")
                .arg(outputName, systemReason(output.error()))
            + (output.replacesFile() ? QStringLiteral("; файл не изменён") : QString()));
        return cannotRun;
    }
    if (!o.quiet && pipeline.anyFailed())
        say(pipeline.summary());
    if (!o.quiet && map && map->skippedRows() > 0)
        say(map->summary());
    return pipeline.anyFailed() ? rowsFailed : allConverted;
}

// The conversion the options ask for.
int convert(Job *job)
{
    int status = setUpSides(job);
    if (status >= 0)
        return status;
    geoid grid;
    initialize_null_geoid_data(&grid.grid);
    invalidate_geoid(&grid);
    struct GridRelease
    {
        geoid *g;
        ~GridRelease() { invalidate_geoid(g); }
    } release {&grid};
    status = loadGrid(*job, &grid);
    if (status >= 0)
        return status;
    const Calculation::Calculator calculator(job->from, job->to, &grid);
    if (calculator.setUpFailure() != Calculation::SetUpFailure::None) {
        say(QStringLiteral("пересчёт из «%1» в «%2» не удалось подготовить")
                .arg(job->options.from, job->options.to));
        return cannotRun;
    }
    qint64 total = 0;
    status = checkFiles(job->options, &total);
    return status >= 0 ? status : convertInputs(*job, calculator, total);
}

// The job the options choose: the list of systems, one system as PROJ, or
// a conversion.
int run(Job *job)
{
    chooseDocument(job);
    const int status = readSystems(job);
    if (status >= 0)
        return status;
    if (job->options.list) {
        print(SystemName::forms().join(QLatin1Char('\n')) + QLatin1Char('\n')
            + localList(job->systems, job->systemsPath));
        return allConverted;
    }
    if (!job->options.showProj.isEmpty())
        return showProj(job->options.showProj, job->systems);
    return convert(job);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    setUpProcess();
    const QStringList args = arguments(argc, argv);
    if (FitCommand::wanted(args) && !args.contains(QStringLiteral("-h"))
        && !args.contains(QStringLiteral("--help")))
        return FitCommand::run(args, shown);
    Job job;
    const int status = parseArguments(args, &job.options);
    return status >= 0 ? status : run(&job);
}
