#include "KeyFit.h"

#include "Calculation.h"
#include "CellText.h"
#include "Plural.h"
#include "PointsFile.h"
#include "SystemName.h"

#include <Eigen/Dense>

#include <QHash>
#include <QPair>

#include <cmath>

namespace KeyFit {

namespace {

// Two points nearer than this in either list are one place under two names.
const double coincident = 1e-3;
// Flags and the last digit of the residuals, metres.
const double reportStep = 1e-3;
// The converter's reach: nothing a surveyor measures lies farther.
const double maxDistance = 1e7;

// The mean of plane coordinates held as the first point's coordinates and the
// mean offset from them: in millions of metres a sum of 1/n parts is off by
// 1e-9 m, the offsets stay exact, and so do the fit's residuals.
struct Centroid
{
    double origin[2] = {};
    double mean[2] = {};

    Centroid() = default;
    Centroid(const QVector<const Point *> &points, bool local)
    {
        if (points.isEmpty())
            return;
        const double *first = local ? points.first()->local : points.first()->base;
        std::copy(first, first + 2, origin);
        for (const Point *p : points) {
            for (int k = 0; k < 2; ++k)
                mean[k] += ((local ? p->local : p->base)[k] - origin[k]) / points.size();
        }
    }
    double offset(const double c[2], int k) const { return (c[k] - origin[k]) - mean[k]; }
    double at(int k) const { return origin[k] + mean[k]; }
};

struct Solution
{
    double values[6] = {};
    double dh[3] = {};
    Centroid centroid; // of the base x, y of the points fitted
    Centroid localCentroid;
    double heightAtCentroid = 0; // the height difference the fit gives there
    // The hat matrix's blocks: for the plane, rows 2i and 2i + 1 of the thin
    // Q of the centred design (the shifts add I/n); for the heights, each
    // point's diagonal element.
    Eigen::MatrixXd planeQ;
    Eigen::VectorXd heightLeverage;
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

QString genitivePoints(int n)
{
    return Plural::count(n, "точки", "точек", "точек");
}

// The sums of the centred products of base x and y of some points.
struct Scatter
{
    double n = 0;
    Eigen::Matrix2d sums = Eigen::Matrix2d::Zero();

    // The singular values of the centred points, larger first.
    Eigen::Vector2d singular() const
    {
        const Eigen::Vector2d l
            = Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d>(sums, Eigen::EigenvaluesOnly)
                  .eigenvalues();
        return Eigen::Vector2d(std::sqrt(std::max(l(1), 0.0)), std::sqrt(std::max(l(0), 0.0)));
    }
    // The plane coordinates within reach of a line: the smaller singular
    // value, as a root mean square distance from the best line, below 1 mm
    // or below 1e-6 of the spread along it.
    bool onOneLine() const
    {
        const Eigen::Vector2d s = singular();
        return s(1) / std::sqrt(n) < coincident || s(1) < 1e-6 * s(0);
    }
    // Without a point `d` from the centroid: the others' sums.
    Scatter without(const Eigen::Vector2d &d) const
    {
        Scatter rest;
        rest.n = n - 1;
        rest.sums = sums - n / (n - 1) * d * d.transpose();
        return rest;
    }
};

Scatter scatterOf(const QVector<const Point *> &points, const Centroid &centroid)
{
    Scatter s;
    s.n = points.size();
    for (const Point *p : points) {
        const Eigen::Vector2d d(centroid.offset(p->base, 0), centroid.offset(p->base, 1));
        s.sums += d * d.transpose();
    }
    return s;
}

// The first pair of points (by the later one's order) within 1 mm in list A
// (local false) or B; {-1, -1} when none. A grid of 1 mm cells keeps this
// linear: a point's partner lies in its cell or one of the eight around it.
QPair<int, int> coincidentPair(const QVector<const Point *> &points, bool local)
{
    QHash<QPair<qint64, qint64>, QVector<int>> cells;
    cells.reserve(points.size());
    for (int j = 0; j < points.size(); ++j) {
        const double *c = local ? points.at(j)->local : points.at(j)->base;
        const qint64 cx = qint64(std::floor(c[0] / coincident));
        const qint64 cy = qint64(std::floor(c[1] / coincident));
        int first = -1;
        for (qint64 i = cx - 1; i <= cx + 1; ++i) {
            for (qint64 k = cy - 1; k <= cy + 1; ++k) {
                const auto found = cells.constFind(qMakePair(i, k));
                if (found == cells.constEnd())
                    continue;
                for (const int other : *found) {
                    const double *o = local ? points.at(other)->local : points.at(other)->base;
                    if (std::hypot(c[0] - o[0], c[1] - o[1]) < coincident
                        && (first < 0 || other < first))
                        first = other;
                }
            }
        }
        if (first >= 0)
            return qMakePair(first, j);
        cells[qMakePair(cx, cy)].append(j);
    }
    return qMakePair(-1, -1);
}

// Least squares of A p = r, with the rank checked; false when deficient.
// *q, if given, receives the thin Q of A: the hat matrix is Q Qᵀ.
bool leastSquares(
    const Eigen::MatrixXd &a, const Eigen::VectorXd &r, Eigen::VectorXd *p, Eigen::MatrixXd *q)
{
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(a);
    if (qr.rank() < a.cols())
        return false;
    *p = qr.solve(r);
    if (q) {
        *q = Eigen::MatrixXd::Identity(a.rows(), a.cols());
        q->applyOnTheLeft(qr.householderQ());
    }
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
                      genitivePoints(needed))
                  .arg(n);
        return false;
    }
    QPair<int, int> twins = coincidentPair(points, false);
    const bool inA = twins.first >= 0;
    if (!inA)
        twins = coincidentPair(points, true);
    if (twins.first >= 0) {
        *error = QStringLiteral("точки «%1» и «%2» совпадают в списке %3: одно место под "
                                "двумя именами, оставьте в уравнивании одну")
                     .arg(points.at(twins.first)->name, points.at(twins.second)->name,
                         inA ? QStringLiteral("A") : QStringLiteral("B"));
        return false;
    }
    Solution s;
    s.centroid = Centroid(points, false);
    s.localCentroid = Centroid(points, true);
    const bool planeFit = plane == PlaneModel::Affine || height == HeightModel::Plane;
    if (planeFit && scatterOf(points, s.centroid).onOneLine()) {
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
        const double dx = s.centroid.offset(points.at(i)->base, 0);
        const double dy = s.centroid.offset(points.at(i)->base, 1);
        const Eigen::Index ex = 2 * Eigen::Index(i), ey = ex + 1; // the X and Y equations
        r(ex) = s.localCentroid.offset(points.at(i)->local, 0);
        r(ey) = s.localCentroid.offset(points.at(i)->local, 1);
        if (plane == PlaneModel::Similarity) {
            a(ex, 0) = dx, a(ex, 1) = -dy;
            a(ey, 0) = dy, a(ey, 1) = dx;
        } else {
            a(ex, 0) = dx, a(ex, 1) = dy;
            a(ey, 2) = dx, a(ey, 3) = dy;
        }
    }
    Eigen::VectorXd p;
    if (!leastSquares(a, r, &p, &s.planeQ)) {
        *error
            = QStringLiteral("уравнения %1 вырождены: точки не задают ключи").arg(modelName(plane));
        return false;
    }
    double *v = s.values;
    if (plane == PlaneModel::Similarity)
        v[2] = p(0), v[3] = -p(1), v[4] = p(1), v[5] = p(0);
    else
        v[2] = p(0), v[3] = p(1), v[4] = p(2), v[5] = p(3);
    const double cx = s.centroid.at(0), cy = s.centroid.at(1);
    v[0] = s.localCentroid.at(0) - v[2] * cx - v[3] * cy;
    v[1] = s.localCentroid.at(1) - v[4] * cx - v[5] * cy;

    if (height == HeightModel::Shift) {
        for (const Point *q : points)
            s.heightAtCentroid += (q->local[2] - q->base[2]) / n;
        s.dh[0] = s.heightAtCentroid;
        s.heightLeverage = Eigen::VectorXd::Constant(n, 1.0 / n);
    } else if (height == HeightModel::Plane) {
        Eigen::MatrixXd h(n, 3);
        Eigen::VectorXd d(n);
        for (int i = 0; i < n; ++i) {
            h(i, 0) = 1;
            h(i, 1) = s.centroid.offset(points.at(i)->base, 0);
            h(i, 2) = s.centroid.offset(points.at(i)->base, 1);
            d(i) = points.at(i)->local[2] - points.at(i)->base[2];
        }
        Eigen::VectorXd c;
        Eigen::MatrixXd q;
        if (!leastSquares(h, d, &c, &q)) {
            *error = QStringLiteral("уравнения плоскости высот вырождены");
            return false;
        }
        s.heightLeverage = q.rowwise().squaredNorm();
        s.heightAtCentroid = c(0);
        s.dh[1] = c(1), s.dh[2] = c(2);
        s.dh[0] = c(0) - c(1) * cx - c(2) * cy;
    }
    *out = s;
    return true;
}

// Fitted minus given, in the centred form: no millions of metres cancel.
void residuals(const Solution &s, const Point &p, double v[3])
{
    const double dx = s.centroid.offset(p.base, 0), dy = s.centroid.offset(p.base, 1);
    v[0] = s.values[2] * dx + s.values[3] * dy - s.localCentroid.offset(p.local, 0);
    v[1] = s.values[4] * dx + s.values[5] * dy - s.localCentroid.offset(p.local, 1);
    v[2] = p.base[2] + s.heightAtCentroid + s.dh[1] * dx + s.dh[2] * dy - p.local[2];
}

double sigmaOf(double sum, int dof)
{
    return dof > 0 ? std::sqrt(std::max(sum, 0.0) / dof) : 0.0;
}

bool withinReach(const Point &p)
{
    for (int k = 0; k < 3; ++k) {
        if (!(std::fabs(p.base[k]) <= maxDistance && std::fabs(p.local[k]) <= maxDistance))
            return false;
    }
    return true;
}

// The point in use `p`, the t-th of the fit `r` (its sums of squared
// residuals given), against the fits without it, in closed form (see the
// header): *pr's leave-one-out fields, left negative where a fit of the rest
// would be refused or has no redundancy.
void checkWithout(const Solution &s, const Scatter &scatter, const Point &p, int t, const Result &r,
    double planeSum, double heightSum, PointResult *pr)
{
    const double n = r.used;
    const Eigen::Vector2d d(s.centroid.offset(p.base, 0), s.centroid.offset(p.base, 1));
    const bool restOnLine = scatter.without(d).onOneLine();
    const Eigen::Matrix<double, 2, Eigen::Dynamic> q = s.planeQ.middleRows(Eigen::Index(2) * t, 2);
    const Eigen::Matrix2d rest = Eigen::Matrix2d::Identity() * (1.0 - 1.0 / n) - q * q.transpose();
    // The rest on one line, by the rule a fit of them refuses, or so near it
    // that the rounding of H (1e-16) decides.
    const double restLeast
        = Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d>(rest, Eigen::EigenvaluesOnly)
              .eigenvalues()(0);
    if (r.dof - 2 > 0 && restLeast > 1e-14 && (r.plane != PlaneModel::Affine || !restOnLine)) {
        const Eigen::Vector2d v(pr->v[0], pr->v[1]);
        const Eigen::Vector2d without = rest.inverse() * v;
        pr->looResidual = without.norm();
        pr->looSigma = sigmaOf(planeSum - v.dot(without), r.dof - 2);
    }
    if (r.height == HeightModel::None)
        return;
    const double heightRest = 1.0 - s.heightLeverage(t);
    if (r.heightDof - 1 > 0 && heightRest > 1e-14
        && (r.height != HeightModel::Plane || !restOnLine)) {
        const double without = pr->v[2] / heightRest;
        pr->looHeight = std::fabs(without);
        pr->looHeightSigma = sigmaOf(heightSum - pr->v[2] * without, r.heightDof - 1);
    }
}

} // namespace

double flagLimit(double sigma)
{
    return 3.0 * std::sqrt(2.0) * sigma;
}

double heightFlagLimit(double sigmaH)
{
    return 4.0 * sigmaH;
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
    const QString why = LocalSystems::baseProblem(base.trimmed());
    if (!why.isEmpty()) {
        *error = QStringLiteral("система списка A: ") + why;
        return false;
    }
    SystemName::Choices choices;
    return SystemName::parse(base.trimmed(), true, &choices, error)
        && SystemName::side(choices, true, side);
}

bool match(const PointRows &a, const PointRows &b, const Calculation::Side &base, bool heights,
    Matched *matched, QString *error, FirstLines first)
{
    const PointRows *lists[2] = {&a, &b};
    const QString listName[2] = {QStringLiteral("A"), QStringLiteral("B")};
    const int firstLine[2] = {first.a, first.b};
    QHash<QString, QVector<int>> rows[2]; // name in NFC: row indices
    QStringList order[2];
    PointsFile::BlankSeparation blanks[2];
    for (int l = 0; l < 2; ++l) {
        for (int i = 0; i < lists[l]->size(); ++i) {
            const PointRow &row = lists[l]->at(i);
            if (row.isEmpty())
                continue;
            blanks[l].check(row);
            const QString name = row.name.trimmed().normalized(QString::NormalizationForm_C);
            if (name.isEmpty()) {
                *error = QStringLiteral("список %1, строка %2: у точки нет имени")
                             .arg(listName[l])
                             .arg(i + firstLine[l]);
                return false;
            }
            if (!rows[l].contains(name))
                order[l].append(name);
            rows[l][name].append(i);
        }
        for (const QString &name : qAsConst(order[l])) {
            const QVector<int> &at = rows[l].value(name);
            if (at.size() > 1) {
                QVector<qint64> lines;
                for (const int i : at)
                    lines.append(i + firstLine[l]);
                *error = QStringLiteral("имя «%1» повторяется в списке %2: %3")
                             .arg(name, listName[l], Plural::rows(lines, lines.size()));
                return false;
            }
        }
    }

    Matched result;
    for (const QString &name : qAsConst(order[0])) {
        if (!rows[1].contains(name)) {
            result.onlyA.append(name);
            continue;
        }
        const int at[2] = {rows[0].value(name).first(), rows[1].value(name).first()};
        Point point;
        point.name = a.at(at[0]).name.trimmed();
        // Why the point's row in list l does not read; empty when it does.
        const auto problem = [&](int l) -> QString {
            const QString *c = lists[l]->at(at[l]).coordinates;
            QString texts[3] = {c[0], c[1], c[2].trimmed()};
            if (texts[2].isEmpty() && heights)
                return QStringLiteral("нет высоты");
            if (texts[2].isEmpty())
                texts[2] = QStringLiteral("0");
            // A number that reads but lies past the converter's reach says so,
            // not that it is written wrong.
            for (const QString &text : texts) {
                double value = 0;
                if (CellText::parseNumber(text, &value) && !(std::fabs(value) <= maxDistance))
                    return Calculation::reasonText(Calculation::Failure::TooFar);
            }
            int zone = 0;
            Calculation::Failure failure = Calculation::Failure::None;
            if (l == 0) {
                failure
                    = Calculation::readPoint(base, texts[0], texts[1], texts[2], point.base, &zone);
                if (base.kind == SystemKind::Utm)
                    std::swap(point.base[0], point.base[1]);
            } else if (!CellText::isValidCoordinates(texts[0], texts[1], texts[2], false)) {
                failure = Calculation::Failure::Invalid;
            } else {
                for (int k = 0; k < 3; ++k)
                    CellText::parseNumber(texts[k], &point.local[k]);
            }
            return failure == Calculation::Failure::None ? QString()
                                                         : Calculation::reasonText(failure, zone);
        };
        for (int l = 0; l < 2; ++l) {
            const QString why = problem(l);
            if (!why.isEmpty()) {
                *error = QStringLiteral("точка «%1» (список %2, строка %3) не читается: %4")
                             .arg(point.name, listName[l])
                             .arg(at[l] + firstLine[l])
                             .arg(why);
                return false;
            }
        }
        result.points.append(point);
    }
    for (const QString &name : qAsConst(order[1])) {
        if (!rows[0].contains(name))
            result.onlyB.append(name);
    }
    if (result.points.isEmpty()) {
        QString text = QStringLiteral("в списках A и B нет общих имён точек");
        for (int l = 0; l < 2; ++l) {
            if (blanks[l].seen())
                text += QStringLiteral("; список %1: ").arg(listName[l])
                    + PointsFile::BlankSeparation::note();
        }
        *error = text;
        return false;
    }
    *matched = result;
    return true;
}

bool fit(const QVector<Point> &points, PlaneModel plane, HeightModel height, Result *result,
    QString *error)
{
    QVector<const Point *> used;
    for (const Point &p : points) {
        if (!withinReach(p)) {
            *error = QStringLiteral("точка «%1»: %2")
                         .arg(p.name, Calculation::reasonText(Calculation::Failure::TooFar));
            return false;
        }
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
    const bool heights = height != HeightModel::None;
    r.used = used.size();
    r.dof = 2 * r.used - planeUnknowns(plane);
    r.heightDof = heights ? r.used - heightUnknowns(height) : 0;
    const Scatter scatter = scatterOf(used, s.centroid);
    const Eigen::Vector2d singular = scatter.singular();
    r.spread = singular(0) > 0 ? singular(1) / singular(0) : 0.0;
    double planeSum = 0, heightSum = 0;
    for (const Point &p : points) {
        PointResult pr;
        pr.name = p.name;
        pr.used = p.used;
        residuals(s, p, pr.v);
        if (!heights)
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
    for (int i = 0, t = 0; i < points.size(); ++i) {
        PointResult &pr = r.points[i];
        if (points.at(i).used) {
            checkWithout(s, scatter, points.at(i), t++, r, planeSum, heightSum, &pr);
        } else {
            if (r.dof > 0)
                pr.looResidual = pr.plane, pr.looSigma = r.sigma;
            if (heights && r.heightDof > 0)
                pr.looHeight = std::fabs(pr.v[2]), pr.looHeightSigma = r.heightSigma;
        }
        pr.flaggedPosition = pr.looSigma >= 0 && pr.looResidual > flagLimit(pr.looSigma)
            && pr.looResidual > reportStep;
        pr.flaggedHeight = pr.looHeightSigma >= 0
            && pr.looHeight > heightFlagLimit(pr.looHeightSigma) && pr.looHeight > reportStep;
        pr.flagged = pr.flaggedPosition || pr.flaggedHeight;
        if (pr.flagged)
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

QStringList doubts(const Result &r)
{
    QStringList out;
    if (r.dof == 0)
        out << QStringLiteral("избыточных измерений нет: ключи ничем не проверены");
    if (r.height != HeightModel::None && r.heightDof == 0)
        out << QStringLiteral("избыточных высот нет: плоскость высот ничем не проверена");
    const bool planeFit = r.plane == PlaneModel::Affine || r.height == HeightModel::Plane;
    if (planeFit && r.spread < weakSpread) {
        out << QStringLiteral("точки почти на одной прямой (поперёк разброс в %1 раз меньше, "
                              "чем вдоль): %2 определены ненадёжно")
                   .arg(r.spread > 0 ? CellText::formatFixed(1.0 / r.spread, 0)
                                     : QStringLiteral("∞"),
                       r.plane == PlaneModel::Affine ? QStringLiteral("аффинные ключи")
                                                     : QStringLiteral("наклон плоскости высот"));
    }
    return out;
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
