#include "FitCommand.h"

#include "Arguments.h"
#include "Calculation.h"
#include "KeyFit.h"
#include "KeyFitReport.h"
#include "LocalSystems.h"
#include "PointsFile.h"

#include <cstdio>

namespace FitCommand {

namespace {

void write(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int fail(const QString &text)
{
    write(stderr, QStringLiteral("kelvadra-convert: ") + text + QLatin1Char('\n'));
    return cannotFit;
}

struct Options
{
    QString model;
    QString height = QStringLiteral("none");
    QString from;
    QString save;
    QString systems;
    QStringList inputs;
    bool force = false; // --force: save keys that nothing checks
};

// An empty text when the arguments are of the form, else what is wrong.
QString parse(
    const QStringList &args, const std::function<QString(const QString &)> &shown, Options *o)
{
    for (int i = 1; i < args.size(); ++i) {
        QString arg = args.at(i);
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            o->inputs.append(arg);
            continue;
        }
        if (arg == QLatin1String("--force")) {
            o->force = true;
            continue;
        }
        QString value;
        const bool hasValue = splitValue(&arg, &value);
        QString *target = arg == QLatin1String("--fit") ? &o->model
            : arg == QLatin1String("--height")          ? &o->height
            : arg == QLatin1String("--from")            ? &o->from
            : arg == QLatin1String("--save")            ? &o->save
            : arg == QLatin1String("--systems")         ? &o->systems
                                                        : nullptr;
        if (!target)
            return QStringLiteral("с --fit параметр «%1» не используется").arg(shown(arg));
        if (!hasValue && i + 1 >= args.size())
            return QStringLiteral("после %1 ожидается значение").arg(arg);
        if (!hasValue)
            value = args.at(++i);
        if (value.isEmpty())
            return QStringLiteral("после %1 — пустое значение").arg(arg);
        *target = target == &o->systems ? value : shown(value);
    }
    if (o->model != QLatin1String("similarity") && o->model != QLatin1String("affine"))
        return QStringLiteral("--fit: ожидается similarity или affine");
    if (o->height != QLatin1String("none") && o->height != QLatin1String("shift")
        && o->height != QLatin1String("plane"))
        return QStringLiteral("--height: ожидается none, shift или plane");
    if (o->from.isEmpty())
        return QStringLiteral("ожидается --from СИСТЕМА списка A");
    if (o->inputs.size() != 2 || o->inputs.contains(QStringLiteral("-")))
        return QStringLiteral("ожидаются два файла: A (в системе --from) и B (местные X, Y, H)");
    return QString();
}

} // namespace

bool wanted(const QStringList &args)
{
    for (int i = 1; i < args.size() && args.at(i) != QLatin1String("--"); ++i) {
        if (args.at(i) == QLatin1String("--fit") || args.at(i).startsWith(QLatin1String("--fit=")))
            return true;
    }
    return false;
}

QStringList help()
{
    return {QStringLiteral("Ключи местной системы по общим точкам:"),
        QStringLiteral("  kelvadra-convert --fit similarity|affine [--height none|shift|plane]"),
        QStringLiteral("      --from СИСТЕМА A.txt B.txt [--save ИМЯ [--force]] [--systems ФАЙЛ]"),
        QStringLiteral("  A — точки в системе СИСТЕМА (tm:, gk: с зоной, utm:), B — те же имена"),
        QStringLiteral("  в местной системе (X, Y, H). Отчёт — на стандартный вывод; --save"),
        QStringLiteral(
            "  добавляет систему в файл местных систем. Ключи без проверки (нет избыточных"),
        QStringLiteral(
            "  измерений, точки почти на одной прямой) --save не сохраняет, если не дан"),
        QStringLiteral("  --force. Код выхода: 0 — ключи найдены, 1 — найдены, но есть"),
        QStringLiteral("  подозрительные точки, 2 — не найдены или не сохранены.")};
}

int run(const QStringList &args, const std::function<QString(const QString &)> &shown)
{
    Options o;
    const QString wrong = parse(args, shown, &o);
    if (!wrong.isEmpty())
        return fail(wrong + QStringLiteral(" (справка: kelvadra-convert --help)"));
    Calculation::Side base;
    QString error;
    if (!KeyFit::baseSide(o.from, &base, &error))
        return fail(QStringLiteral("--from ") + error);

    // The name is checked before the work: a taken name stops the run.
    const QString path = o.systems.isEmpty() ? LocalSystems::defaultPath() : o.systems;
    LocalSystems::Systems systems;
    if (!o.save.isEmpty()) {
        if (!LocalSystems::read(path, &systems, &error))
            return fail(QStringLiteral("местные системы не прочитаны: ") + error);
        const QString name = LocalSystems::nameProblem(o.save);
        if (!name.isEmpty())
            return fail(QStringLiteral("--save: система не сохранится: ") + name);
        if (LocalSystems::find(systems, o.save))
            return fail(QStringLiteral("система «%1» уже есть в «%2»: выберите другое имя")
                            .arg(o.save, shown(path)));
    }

    PointRows lists[2];
    int firstLines[2] = {1, 1};
    for (int i = 0; i < 2; ++i) {
        PointsFile::ReadInfo info;
        if (!PointsFile::read(o.inputs.at(i), &lists[i], &info))
            return fail(QStringLiteral("не удалось прочитать «%1»").arg(shown(o.inputs.at(i))));
        // Dropped fields would leave a point with the wrong coordinates, as
        // "1, 6000000,5, ..." does: refused, as the converter fails such rows.
        if (info.extraFields.count > 0)
            return fail(QStringLiteral("«%1», строка %2: больше четырёх полей (возможно, "
                                       "десятичная запятая разделила число)")
                            .arg(shown(o.inputs.at(i)))
                            .arg(info.extraFields.firstLines.value(0)));
        firstLines[i] = info.header ? 2 : 1;
    }
    const KeyFit::PlaneModel plane = o.model == QLatin1String("similarity")
        ? KeyFit::PlaneModel::Similarity
        : KeyFit::PlaneModel::Affine;
    const KeyFit::HeightModel height = o.height == QLatin1String("none") ? KeyFit::HeightModel::None
        : o.height == QLatin1String("shift") ? KeyFit::HeightModel::Shift
                                             : KeyFit::HeightModel::Plane;
    KeyFit::Matched matched;
    KeyFit::Result result;
    KeyFit::FirstLines first;
    first.a = firstLines[0], first.b = firstLines[1];
    if (!KeyFit::match(
            lists[0], lists[1], base, height != KeyFit::HeightModel::None, &matched, &error, first)
        || !KeyFit::fit(matched.points, plane, height, &result, &error))
        return fail(QStringLiteral("ключи не найдены: ") + error);
    write(stdout, KeyFit::report(result, matched, o.from.trimmed()));
    const QStringList doubts = KeyFit::doubts(result);
    if (!o.save.isEmpty() && !doubts.isEmpty() && !o.force)
        return fail(QStringLiteral("«%1» не сохранена: %2; сохранить всё же: --force")
                        .arg(o.save, doubts.join(QStringLiteral("; "))));

    if (!o.save.isEmpty()) {
        const LocalSystems::System system = KeyFit::toSystem(result, o.from, o.save);
        const QString problem = LocalSystems::problem(system);
        if (!problem.isEmpty())
            return fail(QStringLiteral("«%1» не сохранена: %2").arg(o.save, problem));
        if (!LocalSystems::save(path, system, &error))
            return fail(error);
        write(stderr,
            QStringLiteral("kelvadra-convert: система msk:%1 сохранена в «%2»\n")
                .arg(o.save, shown(path)));
    }
    return result.flagged > 0 ? flagged : fitted;
}

} // namespace FitCommand
