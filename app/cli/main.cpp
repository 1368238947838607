// kelvadra-convert: converts points files from one reference system into
// another on the command line, with the window program's own calculation and
// saved form, so the two never disagree. Streams: memory stays flat whatever
// the size of the input.
#include "Calculation.h"
#include "GeoidFile.h"
#include "Pipeline.h"
#include "PointsFile.h"
#include "Streams.h"
#include "SystemName.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

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

    const Calculation::Calculator calculator(from, to, &grid);
    if (calculator.setUpFailure() != Calculation::SetUpFailure::None) {
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
    Pipeline pipeline(
        calculator, &output,
        options.quiet ? std::function<void(const QString &)>()
                      : [](const QString &text) { say(text); });
    QStringList warnings;
    qint64 readBefore = 0;
    qint64 linesBefore = 0;
    QString line;
    for (const auto &input : inputs) {
        PointsFile::ExtraFields extraFields;
        qint64 number = 0;
        while (input->next(&line)) {
            ++number;
            extraFields.check(PointRow::fieldCount(line), number);
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
