#include "KeyFit.h"

#include "Calculation.h"
#include "CellText.h"
#include "SystemName.h"

#include <Eigen/Dense>

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace KeyFit {

namespace {

// Two points nearer than this in either list are one place under two names.
const double coincident = 1e-3;
// Flags and the last digit of the residuals, metres.
const double reportStep = 1e-3;

struct Solution
{
    double values[6] = {};
    double dh[3] = {};
    double centroid[2] = {}; // base x, y of the points fitted
};

int planeUnknowns(PlaneModel plane)
{
    return plane == PlaneModel::Similarity ? 4 : 6;
}

int heightUnknowns(HeightModel height)
{
    return height == HeightModel::Plane ? 3 : height == HeightModel::Shift ? 1 : 0;
}

QString modelName(PlaneModel plane)
{
    return plane == PlaneModel::Similarity ? QStringLiteral("подобия")
                                           : QStringLiteral("аффинных ключей");
}

// The local coordinates the solution gives for a base point.
void apply(const Solution &s, const double base[3], double out[3])
{
    const double x = base[0], y = base[1];
    out[0] = s.values[0] + s.values[2] * x + s.values[3] * y;
    out[1] = s.values[1] + s.values[4] * x + s.values[5] * y;
    out[2] = base[2] + s.dh[0] + s.dh[1] * x + s.dh[2] * y;
}

// Both plane coordinates within `limit` of a line: the smaller singular value
// of the centred points, as a root mean square distance from the best line,
// below 1 mm or below 1e-6 of the spread along it.
bool onOneLine(const QVector<const Point *> &points, const double centroid[2])
{
    Eigen::MatrixXd m(points.size(), 2);
    for (int i = 0; i < points.size(); ++i) {
        m(i, 0) = points.at(i)->base[0] - centroid[0];
        m(i, 1) = points.at(i)->base[1] - centroid[1];
    }
    const Eigen::Vector2d s = Eigen::JacobiSVD<Eigen::MatrixXd>(m).singularValues();
    return s(1) / std::sqrt(double(points.size())) < coincident || s(1) < 1e-6 * s(0);
}

// Least squares of A p = r, with the rank checked; false when deficient.
bool leastSquares(const Eigen::MatrixXd &a, const Eigen::VectorXd &r, Eigen::VectorXd *p)
{
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(a);
    if (qr.rank() < a.cols())
        return false;
    *p = qr.solve(r);
    return p->allFinite();
}

bool solve(const QVector<const Point *> &points, PlaneModel plane, HeightModel height,
    Solution *out, QString *error)
{
    const int n = points.size();
    const int needed = minimumPoints(plane, height);
    if (n < needed) {
        const bool heightShort = n >= minimumPoints(plane, HeightModel::None);
        *error
            = QStringLiteral("для %1 нужно не меньше %2, в уравнивании %3")
                  .arg(heightShort ? QStringLiteral("наклонной плоскости высот") : modelName(plane),
                      pointsGenitive(needed))
                  .arg(n);
        return false;
    }
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const Point &p = *points.at(i), &q = *points.at(j);
            const bool inA = std::hypot(p.base[0] - q.base[0], p.base[1] - q.base[1]) < coincident;
            const bool inB
                = std::hypot(p.local[0] - q.local[0], p.local[1] - q.local[1]) < coincident;
            if (inA || inB) {
                *error = QStringLiteral("точки «%1» и «%2» совпадают в списке %3: одно место под "
                                        "двумя именами, оставьте в уравнивании одну")
                             .arg(p.name, q.name, inA ? QStringLiteral("A") : QStringLiteral("B"));
                return false;
            }
        }
    }
    Solution s;
    double local[2] = {};
    for (const Point *p : points) {
        for (int k = 0; k < 2; ++k) {
            s.centroid[k] += p->base[k] / n;
            local[k] += p->local[k] / n;
        }
    }
    const bool planeFit = plane == PlaneModel::Affine || height == HeightModel::Plane;
    if (planeFit && onOneLine(points, s.centroid)) {
        *error = QStringLiteral("все точки на одной прямой: %1 по ним не определить")
                     .arg(plane == PlaneModel::Affine ? QStringLiteral("аффинные ключи")
                                                      : QStringLiteral("наклон плоскости высот"));
        return false;
    }

    // The plane: centred, the shifts drop out of the equations.
    const int k = plane == PlaneModel::Similarity ? 2 : 4;
    const Eigen::Index equations = 2 * Eigen::Index(n);
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(equations, k);
    Eigen::VectorXd r(equations);
    for (int i = 0; i < n; ++i) {
        const double dx = points.at(i)->base[0] - s.centroid[0];
        const double dy = points.at(i)->base[1] - s.centroid[1];
        const Eigen::Index ex = 2 * Eigen::Index(i), ey = ex + 1; // the X and Y equations
        r(ex) = points.at(i)->local[0] - local[0];
        r(ey) = points.at(i)->local[1] - local[1];
        if (plane == PlaneModel::Similarity) {
            a(ex, 0) = dx, a(ex, 1) = -dy;
            a(ey, 0) = dy, a(ey, 1) = dx;
        } else {
            a(ex, 0) = dx, a(ex, 1) = dy;
            a(ey, 2) = dx, a(ey, 3) = dy;
        }
    }
    Eigen::VectorXd p;
    if (!leastSquares(a, r, &p)) {
        *error
            = QStringLiteral("уравнения %1 вырождены: точки не задают ключи").arg(modelName(plane));
        return false;
    }
    double *v = s.values;
    if (plane == PlaneModel::Similarity)
        v[2] = p(0), v[3] = -p(1), v[4] = p(1), v[5] = p(0);
    else
        v[2] = p(0), v[3] = p(1), v[4] = p(2), v[5] = p(3);
    v[0] = local[0] - v[2] * s.centroid[0] - v[3] * s.centroid[1];
    v[1] = local[1] - v[4] * s.centroid[0] - v[5] * s.centroid[1];

    if (height == HeightModel::Shift) {
        for (const Point *q : points)
            s.dh[0] += (q->local[2] - q->base[2]) / n;
    } else if (height == HeightModel::Plane) {
        Eigen::MatrixXd h(n, 3);
        Eigen::VectorXd d(n);
        for (int i = 0; i < n; ++i) {
            h(i, 0) = 1;
            h(i, 1) = points.at(i)->base[0] - s.centroid[0];
            h(i, 2) = points.at(i)->base[1] - s.centroid[1];
            d(i) = points.at(i)->local[2] - points.at(i)->base[2];
        }
        Eigen::VectorXd c;
        if (!leastSquares(h, d, &c)) {
            *error = QStringLiteral("уравнения плоскости высот вырождены");
            return false;
        }
        s.dh[1] = c(1), s.dh[2] = c(2);
        s.dh[0] = c(0) - c(1) * s.centroid[0] - c(2) * s.centroid[1];
    }
    *out = s;
    return true;
}

// Fitted minus given, in the centred form: no millions of metres cancel.
void residuals(const Solution &s, const Point &p, double v[3])
{
    const double dx = p.base[0] - s.centroid[0], dy = p.base[1] - s.centroid[1];
    double atCentroid[3];
    const double centre[3] = {s.centroid[0], s.centroid[1], 0.0};
    apply(s, centre, atCentroid);
    v[0] = atCentroid[0] + s.values[2] * dx + s.values[3] * dy - p.local[0];
    v[1] = atCentroid[1] + s.values[4] * dx + s.values[5] * dy - p.local[1];
    double fitted[3];
    apply(s, p.base, fitted);
    v[2] = fitted[2] - p.local[2];
}

double sigmaOf(double sum, int dof)
{
    return dof > 0 ? std::sqrt(sum / dof) : 0.0;
}

// σ of the plane from a solution over `points`.
double planeSigma(const Solution &s, const QVector<const Point *> &points, PlaneModel plane)
{
    double sum = 0;
    for (const Point *p : points) {
        double v[3];
        residuals(s, *p, v);
        sum += v[0] * v[0] + v[1] * v[1];
    }
    return sigmaOf(sum, 2 * points.size() - planeUnknowns(plane));
}

QString fixed(double value, int decimals)
{
    // -0.000 reads as a sign where there is none.
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2)
        text.remove(0, 1);
    return text;
}

} // namespace

double flagLimit(double sigma)
{
    return 3.0 * std::sqrt(2.0) * sigma;
}

QString pointsGenitive(int n)
{
    const bool one = n % 10 == 1 && n % 100 != 11;
    return QString::number(n) + (one ? QStringLiteral(" точки") : QStringLiteral(" точек"));
}

int minimumPoints(PlaneModel plane, HeightModel height)
{
    const int planeMinimum = plane == PlaneModel::Similarity ? 2 : 3;
    return height == HeightModel::Plane ? std::max(planeMinimum, 3) : planeMinimum;
}

double Result::scale() const
{
    return std::hypot(values[2], values[3]);
}

double Result::rotationSeconds() const
{
    return std::atan2(values[3], values[2]) * 180.0 / std::acos(-1.0) * 3600.0;
}

bool baseSide(const QString &base, Calculation::Side *side, QString *error)
{
    LocalSystems::System probe;
    probe.name = QStringLiteral("-");
    probe.base = base.trimmed();
    const QString why = LocalSystems::problem(probe);
    SystemName::Choices choices;
    if (!why.isEmpty() || !SystemName::parse(probe.base, true, &choices, error)
        || !SystemName::side(choices, true, side)) {
        if (!why.isEmpty()) {
            QString text = why;
            text.remove(QRegularExpression(QStringLiteral("^\"base\":? ?")));
            *error = QStringLiteral("система списка A: ") + text;
        }
        return false;
    }
    return true;
}

bool match(const PointRows &a, const PointRows &b, const Calculation::Side &base, bool heights,
    Matched *matched, QString *error)
{
    const PointRows *lists[2] = {&a, &b};
    const QString listName[2] = {QStringLiteral("A"), QStringLiteral("B")};
    QHash<QString, QVector<int>> lines[2]; // name: line numbers from 1
    QStringList order[2];
    for (int l = 0; l < 2; ++l) {
        for (int i = 0; i < lists[l]->size(); ++i) {
            const PointRow &row = lists[l]->at(i);
            if (row.isEmpty())
                continue;
            const QString name = row.name.trimmed();
            if (name.isEmpty()) {
                *error = QStringLiteral("список %1, строка %2: у точки нет имени")
                             .arg(listName[l])
                             .arg(i + 1);
                return false;
            }
            if (!lines[l].contains(name))
                order[l].append(name);
            lines[l][name].append(i + 1);
        }
        for (const QString &name : qAsConst(order[l])) {
            const QVector<int> &at = lines[l].value(name);
            if (at.size() > 1) {
                QStringList numbers;
                for (const int n : at)
                    numbers.append(QString::number(n));
                *error = QStringLiteral("имя «%1» повторяется в списке %2: строки %3")
                             .arg(name, listName[l], numbers.join(QStringLiteral(", ")));
                return false;
            }
        }
    }

    Matched result;
    for (const QString &name : qAsConst(order[0])) {
        if (!lines[1].contains(name)) {
            result.onlyA.append(name);
            continue;
        }
        const int lineA = lines[0].value(name).first(), lineB = lines[1].value(name).first();
        const PointRow &rowA = a.at(lineA - 1), &rowB = b.at(lineB - 1);
        Point point;
        point.name = name;
        QString why;
        const auto height = [&](const PointRow &row) {
            const QString text = row.coordinates[2].trimmed();
            if (text.isEmpty() && heights)
                why = QStringLiteral("нет высоты");
            return text.isEmpty() ? QStringLiteral("0") : text;
        };
        const auto fail = [&](const QString &list, int line) {
            *error = QStringLiteral("точка «%1» (список %2, строка %3) не читается: %4")
                         .arg(name, list)
                         .arg(line)
                         .arg(why);
            return false;
        };
        const QString hA = height(rowA);
        if (!why.isEmpty())
            return fail(listName[0], lineA);
        int zone = 0;
        const Calculation::Failure failure = Calculation::readPoint(
            base, rowA.coordinates[0], rowA.coordinates[1], hA, point.base, &zone);
        if (failure != Calculation::Failure::None) {
            why = Calculation::reasonText(failure, zone);
            return fail(listName[0], lineA);
        }
        if (base.kind == SystemKind::Utm)
            std::swap(point.base[0], point.base[1]);
        const QString hB = height(rowB);
        if (!why.isEmpty())
            return fail(listName[1], lineB);
        const QString *c = rowB.coordinates;
        if (!CellText::isValidCoordinates(c[0], c[1], hB, false)
            || !CellText::parseNumber(c[0], &point.local[0])
            || !CellText::parseNumber(c[1], &point.local[1])
            || !CellText::parseNumber(hB, &point.local[2])) {
            why = Calculation::reasonText(Calculation::Failure::Invalid);
            return fail(listName[1], lineB);
        }
        result.points.append(point);
    }
    for (const QString &name : qAsConst(order[1])) {
        if (!lines[0].contains(name))
            result.onlyB.append(name);
    }
    *matched = result;
    return true;
}

bool fit(const QVector<Point> &points, PlaneModel plane, HeightModel height, Result *result,
    QString *error)
{
    QVector<const Point *> used;
    for (const Point &p : points) {
        if (p.used)
            used.append(&p);
    }
    Solution s;
    if (!solve(used, plane, height, &s, error))
        return false;

    Result r;
    r.plane = plane;
    r.height = height;
    std::copy(s.dh, s.dh + 3, r.dh);
    if (plane == PlaneModel::Similarity) {
        const double similarity[4] = {s.values[0], s.values[1], s.values[2], s.values[4]};
        std::copy(similarity, similarity + 4, r.values);
    } else {
        std::copy(s.values, s.values + 6, r.values);
    }
    r.used = used.size();
    r.dof = 2 * r.used - planeUnknowns(plane);
    r.heightDof = height == HeightModel::None ? 0 : r.used - heightUnknowns(height);
    double planeSum = 0, heightSum = 0;
    for (const Point &p : points) {
        PointResult pr;
        pr.name = p.name;
        pr.used = p.used;
        residuals(s, p, pr.v);
        if (height == HeightModel::None)
            pr.v[2] = 0;
        pr.plane = std::hypot(pr.v[0], pr.v[1]);
        if (p.used) {
            planeSum += pr.plane * pr.plane;
            heightSum += pr.v[2] * pr.v[2];
        }
        r.points.append(pr);
    }
    r.sigma = sigmaOf(planeSum, r.dof);
    r.heightSigma = sigmaOf(heightSum, r.heightDof);

    // Each point against the fit without it; a point left out already is.
    for (int i = 0; i < points.size(); ++i) {
        PointResult &pr = r.points[i];
        Solution without = s;
        double looSigma = r.sigma;
        QVector<const Point *> others = used;
        if (points.at(i).used) {
            others.removeOne(&points.at(i));
            QString ignored;
            if (!solve(others, plane, HeightModel::None, &without, &ignored))
                continue;
            looSigma = planeSigma(without, others, plane);
        }
        if (2 * others.size() - planeUnknowns(plane) <= 0)
            continue;
        double v[3];
        residuals(without, points.at(i), v);
        pr.looResidual = std::hypot(v[0], v[1]);
        pr.looSigma = looSigma;
        pr.flagged = pr.looResidual > flagLimit(looSigma) && pr.looResidual > reportStep;
        if (pr.flagged && pr.used)
            ++r.flagged;
    }
    for (int i = 0; i < r.points.size(); ++i) {
        if (r.points.at(i).used
            && (r.largest < 0 || r.points.at(i).plane > r.points.at(r.largest).plane))
            r.largest = i;
    }
    *result = r;
    return true;
}

QString report(const Result &r, const Matched &matched, const QString &base)
{
    const bool similarity = r.plane == PlaneModel::Similarity;
    const bool heights = r.height != HeightModel::None;
    QStringList out;
    const QString heightModel = r.height == HeightModel::None ? QStringLiteral("не определяется")
        : r.height == HeightModel::Shift                      ? QStringLiteral("сдвиг")
                                         : QStringLiteral("наклонная плоскость");
    out << QStringLiteral("Ключи по общим точкам: %1, высота: %2")
               .arg(
                   similarity ? QStringLiteral("подобие") : QStringLiteral("аффинное"), heightModel)
        << QStringLiteral("Система списка A: %1").arg(base)
        << QStringLiteral("В уравнивании %1 из %2").arg(r.used).arg(pointsGenitive(r.points.size()))
        << QString() << QStringLiteral("Параметры:");
    const auto parameter = [&out](const QString &name, const QString &value) {
        out << QStringLiteral("  %1 = %2").arg(name.leftJustified(3), value);
    };
    parameter(QStringLiteral("dX"), fixed(r.values[0], 4) + QStringLiteral(" м"));
    parameter(QStringLiteral("dY"), fixed(r.values[1], 4) + QStringLiteral(" м"));
    const char *const names[] = {"a1", "a2", "b1", "b2"};
    for (int i = 2; i < (similarity ? 4 : 6); ++i)
        parameter(similarity ? QLatin1String(i == 2 ? "a" : "b") : QLatin1String(names[i - 2]),
            fixed(r.values[i], 12));
    if (similarity) {
        out << QStringLiteral("  масштаб m = %1 (%2 ppm)")
                   .arg(fixed(r.scale(), 12), fixed((r.scale() - 1.0) * 1e6, 3))
            << QStringLiteral("  поворот = %1″").arg(fixed(r.rotationSeconds(), 3));
    }
    if (heights)
        parameter(QStringLiteral("dh"), fixed(r.dh[0], 4) + QStringLiteral(" м"));
    if (r.height == HeightModel::Plane) {
        parameter(QStringLiteral("sx"), QString::number(r.dh[1], 'e', 9));
        parameter(QStringLiteral("sy"), QString::number(r.dh[2], 'e', 9));
    }

    out << QString() << QStringLiteral("Остатки (вычисленные минус данные), м:");
    int width = 3;
    for (const PointResult &p : r.points)
        width = std::max(width, int(p.name.size()));
    const auto columns = [width](const QString &name, const QStringList &cells) {
        QString line = QStringLiteral("  ") + name.leftJustified(width);
        for (const QString &cell : cells)
            line += cell.rightJustified(10);
        return line;
    };
    out << columns(QStringLiteral("Имя"),
        {QStringLiteral("vX"), QStringLiteral("vY"), QStringLiteral("vH"), QStringLiteral("vXY")});
    for (const PointResult &p : r.points) {
        QString line = columns(p.name,
            {fixed(p.v[0], 3), fixed(p.v[1], 3), heights ? fixed(p.v[2], 3) : QStringLiteral("-"),
                fixed(p.plane, 3)});
        if (!p.used)
            line += QStringLiteral("  не в уравнивании");
        if (p.flagged)
            line += QStringLiteral("  ! без неё %1 м > 3·√2·σ = %2 м")
                        .arg(fixed(p.looResidual, 3), fixed(flagLimit(p.looSigma), 3));
        out << line.trimmed().prepend(QStringLiteral("  "));
    }
    out << QString();
    if (r.dof > 0)
        out << QStringLiteral("СКО σ = %1 м (степеней свободы %2)")
                   .arg(fixed(r.sigma, 4))
                   .arg(r.dof);
    else
        out << QStringLiteral("СКО не определяется: избыточных измерений нет");
    if (heights) {
        if (r.heightDof > 0)
            out << QStringLiteral("СКО высот σH = %1 м (степеней свободы %2)")
                       .arg(fixed(r.heightSigma, 4))
                       .arg(r.heightDof);
        else
            out << QStringLiteral("СКО высот не определяется: избыточных измерений нет");
    }
    if (r.largest >= 0)
        out << QStringLiteral("Наибольший остаток: %1, %2 м")
                   .arg(r.points.at(r.largest).name, fixed(r.points.at(r.largest).plane, 3));
    bool checked = false;
    for (const PointResult &p : r.points)
        checked = checked || p.looSigma >= 0;
    if (!checked)
        out << QStringLiteral("Проверка каждой точки по остальным: мало точек");
    else if (r.flagged == 0)
        out << QStringLiteral("Подозрительных точек нет");
    else
        out << QStringLiteral("Подозрительных точек: %1 (отмечены «!»)").arg(r.flagged);
    if (!matched.onlyA.isEmpty())
        out << QStringLiteral("Только в списке A: ") + matched.onlyA.join(QStringLiteral(", "));
    if (!matched.onlyB.isEmpty())
        out << QStringLiteral("Только в списке B: ") + matched.onlyB.join(QStringLiteral(", "));
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

LocalSystems::System toSystem(const Result &result, const QString &base, const QString &name)
{
    LocalSystems::System system;
    system.name = name;
    system.base = base.trimmed();
    const bool similarity = result.plane == PlaneModel::Similarity;
    system.keys
        = similarity ? LocalSystems::System::Keys::Similarity : LocalSystems::System::Keys::Affine;
    std::copy(result.values, result.values + (similarity ? 4 : 6), system.values);
    std::copy(result.dh, result.dh + 3, system.dh);
    return system;
}

} // namespace KeyFit
