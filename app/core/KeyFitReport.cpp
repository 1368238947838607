#include "KeyFitReport.h"

#include "CellText.h"
#include "Plural.h"

#include <QStringList>

#include <algorithm>

namespace KeyFit {

namespace {

QString fixed(double value, int decimals)
{
    return CellText::formatFixed(value, decimals);
}

QString metres(double value, int decimals)
{
    return fixed(value, decimals) + QStringLiteral(" м");
}

QStringList parameters(const Result &r)
{
    const bool similarity = r.plane == PlaneModel::Similarity;
    QStringList out;
    const auto parameter = [&out](const QString &name, const QString &value) {
        out << QStringLiteral("  %1 = %2").arg(name.leftJustified(3), value);
    };
    parameter(QStringLiteral("dX"), metres(r.values[0], 4));
    parameter(QStringLiteral("dY"), metres(r.values[1], 4));
    const char *const names[] = {"a1", "a2", "b1", "b2"};
    for (int i = 2; i < (similarity ? 4 : 6); ++i)
        parameter(similarity ? QLatin1String(i == 2 ? "a" : "b") : QLatin1String(names[i - 2]),
            fixed(r.values[i], 12));
    if (similarity) {
        out << QStringLiteral("  масштаб m = %1 (%2 млн⁻¹)")
                   .arg(fixed(r.scale(), 12), fixed((r.scale() - 1.0) * 1e6, 3))
            << QStringLiteral("  поворот = %1″").arg(fixed(r.rotationSeconds(), 3));
    }
    if (r.height != HeightModel::None)
        parameter(QStringLiteral("dh"), metres(r.dh[0], 4));
    if (r.height == HeightModel::Plane) {
        parameter(QStringLiteral("sx"), QString::number(r.dh[1], 'e', 9));
        parameter(QStringLiteral("sy"), QString::number(r.dh[2], 'e', 9));
    }
    return out;
}

// The residuals' table: the name left-aligned, the numbers right-aligned,
// each column as wide as its widest text so no value runs into another.
QStringList residualTable(const Result &r)
{
    const bool heights = r.height != HeightModel::None;
    QVector<QStringList> rows;
    rows.reserve(r.points.size() + 1);
    rows.append({QStringLiteral("Имя"), QStringLiteral("vX"), QStringLiteral("vY"),
        QStringLiteral("vH"), QStringLiteral("vXY")});
    for (const PointResult &p : r.points)
        rows.append({p.name, fixed(p.v[0], 3), fixed(p.v[1], 3),
            heights ? fixed(p.v[2], 3) : QStringLiteral("-"), fixed(p.plane, 3)});
    int widths[5] = {};
    for (const QStringList &row : qAsConst(rows))
        for (int c = 0; c < 5; ++c)
            widths[c] = std::max(widths[c], int(row.at(c).size()));
    QStringList out;
    for (int i = 0; i < rows.size(); ++i) {
        QString line = QStringLiteral("  ") + rows[i].at(0).leftJustified(widths[0]);
        for (int c = 1; c < 5; ++c)
            line += QStringLiteral("  ") + rows[i].at(c).rightJustified(std::max(widths[c], 8));
        if (i > 0) {
            const PointResult &p = r.points.at(i - 1);
            if (!p.used)
                line += QStringLiteral("  не в уравнивании");
            if (p.flagged)
                line += QStringLiteral("  ! ") + flagText(p);
        }
        out << line;
    }
    return out;
}

QStringList sigmas(const Result &r)
{
    QStringList out;
    if (r.dof > 0)
        out << QStringLiteral("СКО σ = %1 (степеней свободы %2)")
                   .arg(metres(r.sigma, 4))
                   .arg(r.dof);
    else
        out << QStringLiteral("СКО не определяется: избыточных измерений нет");
    if (r.height != HeightModel::None) {
        if (r.heightDof > 0)
            out << QStringLiteral("СКО высот σH = %1 (степеней свободы %2)")
                       .arg(metres(r.heightSigma, 4))
                       .arg(r.heightDof);
        else
            out << QStringLiteral("СКО высот не определяется: избыточных измерений нет");
    }
    return out;
}

// The check of each point by the others, counting the flagged ones whether
// in the fit or left out.
QString checkSummary(const Result &r)
{
    bool checked = false;
    int leftOutFlagged = 0;
    for (const PointResult &p : r.points) {
        checked = checked || p.looSigma >= 0 || p.looHeightSigma >= 0;
        leftOutFlagged += p.flagged && !p.used;
    }
    if (!checked)
        return QStringLiteral("Проверка каждой точки по остальным: мало точек");
    if (r.flagged == 0)
        return QStringLiteral("Подозрительных точек нет");
    QString text = QStringLiteral("Подозрительных точек: %1 (отмечены «!»)").arg(r.flagged);
    if (leftOutFlagged > 0)
        text += QStringLiteral(", из них не в уравнивании: %1").arg(leftOutFlagged);
    return text;
}

} // namespace

QString flagText(const PointResult &p)
{
    QStringList parts;
    if (p.flaggedPosition)
        parts << QStringLiteral("положение без неё %1 > 3·√2·σ = %2")
                     .arg(metres(p.looResidual, 3), metres(flagLimit(p.looSigma), 3));
    if (p.flaggedHeight)
        parts << QStringLiteral("высота без неё %1 > 4·σH = %2")
                     .arg(metres(p.looHeight, 3), metres(heightFlagLimit(p.looHeightSigma), 3));
    return parts.join(QStringLiteral("; "));
}

QString report(const Result &r, const Matched &matched, const QString &base)
{
    const QString heightModel = r.height == HeightModel::None ? QStringLiteral("не определяется")
        : r.height == HeightModel::Shift                      ? QStringLiteral("сдвиг")
                                         : QStringLiteral("наклонная плоскость");
    QStringList out;
    out << QStringLiteral("Ключи по общим точкам: %1, высота: %2")
               .arg(r.plane == PlaneModel::Similarity ? QStringLiteral("подобие")
                                                      : QStringLiteral("аффинное"),
                   heightModel)
        << QStringLiteral("Система списка A: %1").arg(base)
        << QStringLiteral("В уравнивании %1 из %2")
               .arg(r.used)
               .arg(Plural::count(r.points.size(), "точки", "точек", "точек"))
        << QString() << QStringLiteral("Параметры:") << parameters(r) << QString()
        << QStringLiteral("Остатки (вычисленные минус данные), м:") << residualTable(r) << QString()
        << sigmas(r);
    if (r.largest >= 0)
        out << QStringLiteral("Наибольший остаток: %1, %2")
                   .arg(r.points.at(r.largest).name, metres(r.points.at(r.largest).plane, 3));
    out << checkSummary(r);
    for (const QString &doubt : doubts(r))
        out << QStringLiteral("Внимание: ") + doubt;
    if (!matched.onlyA.isEmpty())
        out << QStringLiteral("Только в списке A: ") + matched.onlyA.join(QStringLiteral(", "));
    if (!matched.onlyB.isEmpty())
        out << QStringLiteral("Только в списке B: ") + matched.onlyB.join(QStringLiteral(", "));
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace KeyFit
