// Keys from common points: the fit against an independent solution, the checks without each point
// against a re-fit, flags, doubts, refusals, --fit.
#include "Calculation.h"
#include "CellText.h"
#include "KeyFit.h"
#include "KeyFitReport.h"
#include "PointsFile.h"
#include "SystemName.h"
#include "TestSupport.h"

#include <QtTest>

#include <array>
#include <cmath>
#include <random>

using KeyFit::HeightModel;
using KeyFit::PlaneModel;
using Points = QVector<KeyFit::Point>;

namespace {

// Keys near those of a city system: scale 1 - 12.5 ppm, rotation 30".
const LocalSystems::System similarityKeys {{}, {}, LocalSystems::System::Keys::Similarity,
    {-6000000.5, -7400000.25, 0.9999874999, 0.0001454441}, {-18.25, 2e-6, -1.5e-6}, {}};
const LocalSystems::System affineKeys {{}, {}, LocalSystems::System::Keys::Affine,
    {-6000000.5, -7400000.25, 0.99998, -0.00015, 0.00014, 1.00001}, {-18.25, 2e-6, -1.5e-6}, {}};

// n points over `extent` m near x 6 000 000, y 7 400 000, local ones from the keys plus noise.
Points generate(PlaneModel plane, int n, double extent, double noise, unsigned seed = 42)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> place(0, extent), height(100, 200);
    std::normal_distribution<double> error(0, 1);
    const auto k = (plane == PlaneModel::Similarity ? similarityKeys : affineKeys).planeKeys();
    Points points(n);
    for (int i = 0; i < n; ++i) {
        KeyFit::Point &p = points[i];
        p.name = QStringLiteral("P%1").arg(i + 1);
        p.base[0] = 6000000 + place(random), p.base[1] = 7400000 - extent / 2 + place(random);
        p.base[2] = height(random);
        plane_keys_forward(p.base, &k, p.local);
        for (double &c : p.local)
            c += noise * error(random);
    }
    return points;
}

// Normal equations in long double by Gauss-Jordan elimination; positive definite: no pivoting.
using Real = long double;
QVector<Real> normalSolve(const QVector<QVector<Real>> &rows, const QVector<Real> &rhs)
{
    const int u = rows.first().size();
    QVector<QVector<Real>> m(u, QVector<Real>(u + 1, 0));
    for (int r = 0; r < rows.size(); ++r)
        for (int i = 0; i < u; ++i)
            for (int j = 0; j <= u; ++j)
                m[i][j] += rows[r][i] * (j < u ? rows[r][j] : rhs[r]);
    for (int c = 0; c < u; ++c)
        for (int r = 0; r < u; ++r) {
            const Real f = m[r][c] / m[c][c];
            for (int j = c; r != c && j <= u; ++j)
                m[r][j] -= f * m[c][j];
        }
    QVector<Real> p(u);
    for (int i = 0; i < u; ++i)
        p[i] = m[i][u] / m[i][i];
    return p;
}

// The linear part of plane keys: x' = x0 + a1 x + a2 y, y' = y0 + b1 x + b2 y.
std::array<Real, 4> linear(const QVector<Real> &v, bool similarity)
{
    return similarity ? std::array<Real, 4> {v[2], -v[3], v[3], v[2]}
                      : std::array<Real, 4> {v[2], v[3], v[4], v[5]};
}

// The oracle's parameters in the order of KeyFit::Result (values, then dh).
QVector<Real> oracle(const Points &points, PlaneModel plane, HeightModel height)
{
    const Real x0 = points[0].base[0], y0 = points[0].base[1];
    QVector<QVector<Real>> rows, heightRows;
    QVector<Real> rhs, heightRhs;
    for (const KeyFit::Point &p : points) {
        const Real x = p.base[0] - x0, y = p.base[1] - y0;
        if (plane == PlaneModel::Similarity)
            rows << QVector<Real> {1, 0, x, -y} << QVector<Real> {0, 1, y, x};
        else
            rows << QVector<Real> {1, 0, x, y, 0, 0} << QVector<Real> {0, 1, 0, 0, x, y};
        rhs << p.local[0] << p.local[1];
        heightRows << (height == HeightModel::Plane ? QVector<Real> {1, x, y} : QVector<Real> {1});
        heightRhs << Real(p.local[2]) - p.base[2];
    }
    QVector<Real> v = normalSolve(rows, rhs);
    const auto [a1, a2, b1, b2] = linear(v, plane == PlaneModel::Similarity);
    v[0] -= a1 * x0 + a2 * y0, v[1] -= b1 * x0 + b2 * y0;
    if (height == HeightModel::None)
        return v << 0 << 0 << 0;
    const QVector<Real> c = normalSolve(heightRows, heightRhs) << 0 << 0; // a shift: no slopes
    return v << c[0] - c[1] * x0 - c[2] * y0 << c[1] << c[2];
}

PointRows rowsOf(const Points &points, bool local, bool eastingFirst = false)
{
    PointRows rows;
    for (const KeyFit::Point &p : points) {
        const double *c = local ? p.local : p.base;
        const auto f = [](double v) { return QString::number(v, 'f', 9); };
        rows << PointRow::fromLine(
            p.name + "; " + f(c[eastingFirst]) + "; " + f(c[!eastingFirst]) + "; " + f(c[2]));
    }
    return rows;
}

// List A in `base` (its side to *side) against list B; UTM eastings near 500 km, written first.
KeyFit::Matched matchedIn(
    const QString &base, Points &points, bool heights, Calculation::Side *side)
{
    const bool utm = base.startsWith("utm");
    for (KeyFit::Point &p : points)
        p.base[1] -= utm ? 6900000 : 0;
    KeyFit::Matched matched;
    QString error;
    if (!KeyFit::baseSide(base, side, &error)
        || !KeyFit::match(
            rowsOf(points, false, utm), rowsOf(points, true), *side, heights, &matched, &error))
        qFatal("%s", qPrintable(error));
    return matched;
}

KeyFit::Result fitted(const Points &points, PlaneModel plane, HeightModel height)
{
    KeyFit::Result result;
    QString error;
    if (!KeyFit::fit(points, plane, height, &result, &error))
        qFatal("%s", qPrintable(error));
    return result;
}

} // namespace

class TestKeyFit : public QObject
{
    Q_OBJECT

private slots:
    void sameAsIndependentSolutions_data()
    {
        // "base": the points go through match() in this system
        addColumns<int, int, int, double, double, QString>(
            "plane", "height", "n", "extent", "noise", "base");
        dataRow("similarity, 8 over 10 km, exact", 0, 0, 8, 10e3, 0.0, "gk:sk42:7");
        dataRow("similarity, shift, 8 over 10 km, 1 cm", 0, 1, 8, 10e3, 0.01, "gk:sk42:7");
        dataRow("similarity, plane, 30 over 50 km, 3 cm", 0, 2, 30, 50e3, 0.03, "gk:sk42:7");
        dataRow("affine, 8 over 50 km, exact", 1, 2, 8, 50e3, 0.0, "gk:sk42:7");
        dataRow("affine, plane, 12 over 20 km, 2 cm", 1, 2, 12, 20e3, 0.02, "gk:sk42:7");
        dataRow("similarity, UTM easting first", 0, 1, 10, 30e3, 0.02, "utm:37n");
        dataRow("affine, plane, UTM easting first", 1, 2, 12, 30e3, 0.02, "utm:37n");
        dataRow("similarity, shift, 12 over 20 km, 5 cm", 0, 1, 12, 20e3, 0.05, "gk:sk42:7");
        dataRow("similarity, plane, 5 over 20 km, 5 cm", 0, 2, 5, 20e3, 0.05, "gk:sk42:7");
        dataRow("affine, shift, 9 over 20 km, 5 cm", 1, 1, 9, 20e3, 0.05, "gk:sk42:7");
        dataRow("affine, plane, 5, the rest of one near a line", 1, 2, 5, 20e3, 0.05, "gk:sk42:7");
        dataRow("similarity, 3, no redundancy left", 0, 0, 3, 20e3, 0.05, "gk:sk42:7");
    }

    // The fit and each point's check equal independent solutions; exact points give the keys back.
    void sameAsIndependentSolutions()
    {
        const auto [plane, height, n, extent, noise, base]
            = fetch<int, int, int, double, double, QString>(
                "plane", "height", "n", "extent", "noise", "base");
        const auto model = PlaneModel(plane);
        const auto h = HeightModel(height);
        Points points = generate(model, n, extent, noise);
        if (noise > 0) // two blunders, which the checks without each point single out
            points[1].local[0] += 0.4, points[2].local[2] -= 0.5;
        // Affine, 5: without the first the rest lie within 1 mm of a line, so no plane. Across the
        // line: the last 2 mm (0.9 mm root mean square), the first 100 m. List B moves along.
        if (plane == 1 && n == 5) {
            const double across[5] = {100.0, 0, 0, 0, 2e-3}, along[5] = {0, 0, 1, 2, 3};
            const double x = points[1].base[0], y = points[1].base[1];
            for (int i = 0; i < 5; ++i) {
                const double to[2] = {x + along[i] * 700.0 - across[i] * 2 / std::sqrt(5.0),
                    y + along[i] * 1400.0 + across[i] / std::sqrt(5.0)};
                for (int c = 0; c < 2; ++c)
                    points[i].local[c] += to[c] - points[i].base[c], points[i].base[c] = to[c];
            }
        }
        Calculation::Side source, target;
        const KeyFit::Matched matched = matchedIn(base, points, height != 0, &source);
        const KeyFit::Result r = fitted(matched.points, model, h);
        const QVector<Real> o = oracle(matched.points, model, h);
        const int count = model == PlaneModel::Similarity ? 4 : 6;
        for (int i = 0; i < count + 3; ++i) {
            const double got = i < count ? r.values[i] : r.dh[i - count];
            // Shifts in metres; coefficients and slopes over 50 km come to 1e-6 m at 2e-11.
            const double tolerance = i < 2 || i == count ? 1e-6 : 2e-11;
            QVERIFY2(std::fabs(got - double(o[i])) <= tolerance, qPrintable(QString::number(i)));
        }
        QCOMPARE(r.dof, 2 * n - count);
        if (noise == 0) {
            const double *truth = (count == 4 ? similarityKeys : affineKeys).values;
            for (int i = 0; i < count; ++i)
                // Relative to the coordinates for the shifts, to the scale for the rest.
                QVERIFY(std::fabs(r.values[i] - truth[i]) <= 1e-9 * (i < 2 ? 7.4e6 : 1.0));
            QCOMPARE(r.flagged, 0); // residuals of rounding are no blunders
        }
        // Saved and used as msk:NAME, the system takes list A to list B within the residuals.
        QString error;
        const QString path = tempPath("saved.json");
        QVERIFY(LocalSystems::write(path, {KeyFit::toSystem(r, base, "Фит")}, &error));
        LocalSystems::Systems systems;
        QVERIFY2(LocalSystems::read(path, &systems, &error), qPrintable(error));
        SystemName::Choices to;
        QVERIFY(SystemName::parse("msk:Фит", false, &to, &error)
            && SystemName::side(to, false, &target, &systems));
        const Calculation::Result out = Calculation::Calculator(source, target, nullptr)
                                            .run(rowsOf(points, false, base.startsWith("utm")));
        const auto [a1, a2, b1, b2] = linear(o, count == 4);
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            const KeyFit::Point &p = matched.points[i];
            const Real x = p.base[0], y = p.base[1];
            const Real fit[3] = {o[0] + a1 * x + a2 * y, o[1] + b1 * x + b2 * y,
                p.base[2] + o[count] + o[count + 1] * x + o[count + 2] * y};
            for (int c = 0; c < (height != 0 ? 3 : 2); ++c) {
                QVERIFY(std::fabs(r.points[i].v[c] - double(fit[c] - p.local[c])) <= 1e-6);
                // The converter writes millimetres.
                const double got = out.rows[i].coordinates[c].toDouble() - points[i].local[c];
                QVERIFY2(std::fabs(got - r.points[i].v[c]) <= 0.0005 + 1e-9,
                    qPrintable(QString("%1 %2: %3").arg(i).arg(c).arg(got)));
            }
            sum += r.points[i].plane * r.points[i].plane;
            const KeyFit::PointResult &got = r.points[i];
            Points rest = matched.points;
            rest[i].used = false;
            KeyFit::Result plain, heights;
            const bool planeFits
                = KeyFit::fit(rest, model, HeightModel::None, &plain, &error) && plain.dof > 0;
            const bool heightFits = h != HeightModel::None
                && KeyFit::fit(rest, PlaneModel::Similarity, h, &heights, &error)
                && heights.heightDof > 0;
            QCOMPARE(got.looResidual >= 0, planeFits);
            QCOMPARE(got.looHeight >= 0, heightFits);
            // Metres: the coordinates are centred, the rounding stays near 1e-12 m.
            QVERIFY(!planeFits
                || (std::fabs(got.looResidual - plain.points[i].plane) <= 1e-9
                    && std::fabs(got.looSigma - plain.sigma) <= 1e-9));
            QVERIFY(!heightFits
                || (std::fabs(got.looHeight - std::fabs(heights.points[i].v[2])) <= 1e-9
                    && std::fabs(got.looHeightSigma - heights.heightSigma) <= 1e-9));
        }
        QVERIFY(std::fabs(r.sigma - std::sqrt(sum / r.dof)) <= 1e-9);
    }

    void movedPointFlagged_data()
    {
        // "shift": plane metres and height metres added to the moved point
        addColumns<int, int, int, unsigned, double, double, QString>(
            "plane", "height", "moved", "seed", "shift", "heightShift", "flag");
        const QString position("положение без неё");
        for (unsigned seed : {1u, 2u, 3u}) {
            const QString s = QString(", seed %1").arg(seed);
            dataRow(qPrintable("similarity, first" + s), 0, 0, 0, seed, 0.3, 0.0, position);
            dataRow(qPrintable("similarity, middle" + s), 0, 1, 4, seed, 0.3, 0.0, position);
            dataRow(qPrintable("affine, last" + s), 1, 2, 9, seed, 0.3, 0.0, position);
        }
        dataRow("similarity, by 10 km", 0, 0, 3, 1u, 1e4, 0.0, position);
        dataRow("height shift, H by 10 m", 0, 1, 5, 1u, 0.0, 10.0, "высота без неё");
        dataRow("height plane, H by 0.3 m", 1, 2, 2, 2u, 0.0, 0.3, "высота без неё");
        dataRow("both", 0, 1, 7, 3u, 0.3, -0.3,
            "0.263 м > 3·√2·σ = 0.093 м; высота без неё 0.297 м > 4·σH = 0.109 м");
    }

    // One point of ten moved is flagged, for what moved, alone; left out, σ drops to the noise.
    void movedPointFlagged()
    {
        const auto [plane, height, moved, seed, shift, heightShift, flag]
            = fetch<int, int, int, unsigned, double, double, QString>(
                "plane", "height", "moved", "seed", "shift", "heightShift", "flag");
        Points points = generate(PlaneModel(plane), 10, 20e3, 0.02, seed);
        double *local = points[moved].local;
        local[0] += shift * std::cos(seed), local[1] += shift * std::sin(seed);
        local[2] += heightShift, points[moved].name = "Т16";
        const KeyFit::Result r = fitted(points, PlaneModel(plane), HeightModel(height));
        QVERIFY(KeyFit::flagText(r.points[moved]).contains(flag));
        const QString report = KeyFit::report(r, {}, "tm");
        QVERIFY(report.contains("Подозрительных точек: 1 (отмечены «!»)\n"));
        // The height keys as fitted.
        QVERIFY2(
            !height || report.contains("  dh  = " + CellText::formatFixed(r.dh[0], 4) + " м\n"),
            qPrintable(report));
        QVERIFY(height < 2
            || report.contains(QString("  sx  = %1\n  sy  = %2\n")
                                   .arg(r.dh[1], 0, 'e', 9)
                                   .arg(r.dh[2], 0, 'e', 9)));
        const auto f = [](double v) { return CellText::formatFixed(v, 3); };
        // A similarity's scale and rotation, as its a and b give them.
        const double a = r.values[2], b = r.values[3], m = std::hypot(a, b);
        QVERIFY2(plane != 0
                || report.contains(QString("  масштаб m = %1 (%2 млн⁻¹)\n  поворот = %3″\n")
                                       .arg(CellText::formatFixed(m, 12), f((m - 1) * 1e6),
                                           f(std::atan2(b, a) * 648000 / M_PI))),
            qPrintable(report));
        for (const KeyFit::PointResult &p : r.points) {
            QCOMPARE(p.flaggedPosition, p.name == points[moved].name && shift > 0);
            QCOMPARE(p.flaggedHeight, p.name == points[moved].name && heightShift != 0);
            // Each residual stands apart from the name and the others, however large.
            const int at = report.indexOf("\n  " + p.name + " ");
            const QStringList cells = report.mid(at + 1, report.indexOf('\n', at + 1) - at - 1)
                                          .split(' ', Qt::SkipEmptyParts);
            QVERIFY2(at > 0 && cells.size() >= 5, qPrintable(report));
            QCOMPARE(cells.mid(1, 4),
                QStringList({f(p.v[0]), f(p.v[1]), height ? f(p.v[2]) : "-", f(p.plane)}));
        }
        points[moved].used = false;
        const KeyFit::Result without = fitted(points, PlaneModel(plane), HeightModel(height));
        const double sigma = shift > 0 ? without.sigma : without.heightSigma;
        QVERIFY2(sigma > 0.01 && sigma < 0.03, qPrintable(QString::number(sigma)));
        QCOMPARE(without.used, 9);
        // Still flagged against the fit without it.
        QVERIFY(KeyFit::report(without, {}, "tm").contains("«!»), из них не в уравнивании: 1\n"));
    }

    void doubts_data()
    {
        // Along the diagonal, 2.8 km from the first to the last; "across": the second point's
        // distance from the line of the others.
        addColumns<int, int, int, double, QString>("plane", "height", "n", "across", "doubt");
        const QString line("почти на одной прямой"), none;
        dataRow("affine, 3 points 2 cm off the line", 1, 0, 3, 0.02, line);
        dataRow("affine, 4 points 2 cm off", 1, 0, 4, 0.02, line);
        dataRow("affine, spread just below 1e-3", 1, 0, 4, 2.4, line);
        dataRow("affine, spread just above 1e-3", 1, 0, 4, 2.6, none);
        dataRow("height plane, 4 points 2 cm off", 0, 2, 4, 0.02, "наклон плоскости высот");
        dataRow("similarity on a line is well determined", 0, 1, 4, 0.0, none);
        dataRow("similarity, 2 points", 0, 0, 2, 0.0, "избыточных измерений нет");
        dataRow("affine, 3 points", 1, 0, 3, 1000.0, "избыточных измерений нет");
        dataRow("height plane, 3 points", 0, 2, 3, 1000.0, "избыточных высот нет");
        dataRow("height plane, 4 points", 0, 2, 4, 1000.0, none);
    }

    // Keys that nothing checks, or that the geometry barely determines, are fitted with a doubt.
    void doubts()
    {
        const auto [plane, height, n, across, doubt]
            = fetch<int, int, int, double, QString>("plane", "height", "n", "across", "doubt");
        Points points = generate(PlaneModel(plane), n, 1e3, 0.0);
        for (int i = 0; i < n; ++i) {
            const double along = 2800.0 * i / (n - 1) / std::sqrt(2.0);
            const double off = i == 1 ? across / std::sqrt(2.0) : 0.0;
            points[i].base[0] = 6000000 + along - off, points[i].base[1] = 7400000 + along + off;
            points[i].local[0] = along - off, points[i].local[1] = along + off;
        }
        const KeyFit::Result r = fitted(points, PlaneModel(plane), HeightModel(height));
        const QStringList found = KeyFit::doubts(r);
        QCOMPARE(found.isEmpty(), doubt.isEmpty());
        QVERIFY2(doubt.isEmpty() || found.join("\n").contains(doubt), qPrintable(found.join("\n")));
        QVERIFY(doubt.isEmpty() || KeyFit::report(r, {}, "tm").contains("Внимание: "));
    }

    void refusals_data()
    {
        addColumns<QStringList, QStringList, int, int, QString>(
            "a", "b", "plane", "height", "message");
        const QStringList A {"1;6000000;7400000;100", "2;6001000;7401000;100",
            "3;6002000;7402000;100", "4;6003000;7403000;100"};
        const QStringList B {"1;0;0;90", "2;1000;1000;90", "3;2000;2000;90", "4;3000;3000;90"};
        // List A or B with line i replaced, or with it appended at the end.
        const auto with = [](QStringList list, int i, const QString &text) {
            i < list.size() ? void(list[i] = text) : list.append(text);
            return list;
        };
        const auto a = [&](int i, const QString &text) { return with(A, i, text); };
        const auto b = [&](int i, const QString &text) { return with(B, i, text); };
        const auto head = [&](int n) { return QStringList(A.mid(0, n)); };
        const QString near = "«1» и «2» совпадают", fit = "Наибольший остаток",
                      inB4 = "«4» (список B, строка 4) не читается",
                      beyond = ": высота или координата дальше";
        // clang-format off
        dataRow("affine, one line", A, B, 1, 0, "все точки на одной прямой");
        dataRow("affine, 2 mm off a 3000 km line", QStringList {"1;5000000;7500000.002;0", "2;5000000;7499999.998;0", "3;8000000;7500000.002;0", "4;8000000;7499999.998;0"}, B, 1, 0, "все точки на одной прямой");
        // Exactly 1 mm rms across the best line: accepted.
        dataRow("affine, 1 mm rms off a line", QStringList {"1;0.001;7499500;0", "2;-0.001;7499500;0", "3;0.001;7500500;0", "4;-0.001;7500500;0"}, B, 1, 0, "СКО σ");
        dataRow("plane height, one line", A, B, 0, 2, "наклон плоскости высот");
        dataRow("similarity, one line", A, B, 0, 1, "СКО высот σH");
        dataRow("list with one point", head(1), B, 0, 0, "для подобия нужно не меньше 2 точек, в уравнивании 1");
        dataRow("similarity, two points", head(2), B, 0, 0, "СКО не определяется");
        dataRow("affine, two points", head(2), B, 1, 0, "аффинных ключей нужно не меньше 3 точек");
        dataRow("plane height, two points", head(2), B, 0, 2, "наклонной плоскости высот нужно не меньше 3");
        dataRow("0.9 mm in A", a(1, "2;6000000.0009;7400000;100"), B, 0, 0, near + " в списке A");
        dataRow("near two 1.8 mm apart", with(a(1, "2;6000000.0018;7400000;100"), 2, "3;6000000.0009;7400000;100"), B, 0, 0, "«1» и «3» совпадают в списке A");
        // Across the 1 mm cells of the search: the neighbour cell, the diagonal one.
        dataRow("coincident across a cell", a(1, "2;5999999.9996;7400000;100"), B, 0, 0, near);
        dataRow("coincident diagonally", a(1, "2;5999999.9996;7399999.9996;100"), B, 0, 0, near);
        dataRow("1.13 mm diagonally", a(1, "2;5999999.9992;7399999.9992;100"), B, 0, 0, fit);
        dataRow("1.1 mm apart", a(1, "2;6000000.0011;7400000;100"), B, 0, 0, fit);
        dataRow("0.5 mm in B", A, b(3, "4;2000;2000.0005;90"), 0, 0, "и «4» совпадают в списке B");
        dataRow("name repeated", a(4, "2;6005000;7400000;1"), B, 0, 0, "имя «2» повторяется в списке A: строки 2, 5");
        dataRow("unreadable", A, b(3, "4;x;3000;90"), 0, 0, inB4);
        // Local coordinates are metres: degrees, minutes and seconds do not read there.
        dataRow("B in degrees and minutes", A, b(3, "4;20 30;3000;90"), 0, 0, inB4);
        dataRow("B at 1e15 m", A, b(3, "4;1e15;3000;90"), 0, 0, inB4 + beyond + " 10 000 км");
        dataRow("B at 10 000 km", A, b(3, "4;10000000;3000;90"), 0, 0, "СКО σ");
        dataRow("B past 10 000 km", A, b(3, "4;10000000.001;3000;90"), 0, 0, "дальше 10 000 км");
        dataRow("A height beyond", a(3, "4;6003000;7403000;-1e8"), B, 0, 0, "(список A, строка 4) не читается" + beyond);
        dataRow("Й composed in A, decomposed in B", a(4, "Й;6005000;7400000;1"), b(4, "\u0418\u0306;5000;0;0"), 0, 0, "В уравнивании 5 из 5 точек");
        dataRow("no common name", QStringList {"a;6000000;7400000;1"}, QStringList {"b;0;0;0"}, 0, 0, "в списках A и B нет общих имён точек");
        dataRow("blank-separated", A, QStringList {"1 0 0 90", "2 1000 1000 90"}, 0, 0, "нет общих имён точек; список B: Поля, похоже, разделены пробелами");
        dataRow("zone", a(3, "4;6003000;8403000;1"), B, 0, 0, "строка 4) не читается: номер зоны");
        dataRow("no height", a(3, "4;6003000;7403000;"), B, 0, 1, "не читается: нет высоты");
        dataRow("no height wanted", a(3, "4;6003000;7403000;"), B, 0, 0, "СКО σ");
        dataRow("no name", a(4, ";6005000;7400000;1"), B, 0, 0, "список A, строка 5: у точки нет имени");
        dataRow("names in one list", a(4, "A;6005000;7400000;1"), with(b(4, ""), 5, "B;1;2;3"), 0, 0, "Только в списке A: A\nТолько в списке B: B");
        // clang-format on
    }

    // Each refusal says why; one value past each limit is accepted.
    void refusals()
    {
        const auto [a, b, plane, height, message]
            = fetch<QStringList, QStringList, int, int, QString>(
                "a", "b", "plane", "height", "message");
        PointRows rows[2];
        for (int i = 0; i < 2; ++i)
            for (const QString &line : i ? b : a)
                rows[i] << PointRow::fromLine(line);
        Calculation::Side side;
        KeyFit::Matched matched;
        KeyFit::Result result;
        QString error;
        const bool ok = KeyFit::baseSide("gk:sk42:7", &side, &error)
            && KeyFit::match(rows[0], rows[1], side, height != 0, &matched, &error)
            && KeyFit::fit(matched.points, PlaneModel(plane), HeightModel(height), &result, &error);
        const QString text = ok ? KeyFit::report(result, matched, "gk:sk42:7") : error;
        QVERIFY2(text.contains(message), qPrintable(text));
    }

    void converter_data()
    {
        addColumns<QString, QStringList, int, QString>("files", "options", "status", "message");
        const QStringList fit {"--fit", "similarity", "--height", "shift", "--from", "gk:sk42:7"},
            save = fit + QStringList {"--save", "Новая"};
        dataRow("fitted", "clean", fit, 0, "Подозрительных точек нет");
        dataRow("flagged", "moved", fit, 1, "Подозрительных точек: 1");
        dataRow("one point", "1", fit, 2, "не меньше 2 точек");
        dataRow("saved", "clean", fit + QStringList {"--save=Новая"}, 0, "msk:Новая сохранена");
        dataRow("taken", "clean", fit + QStringList {"--save", "Старая"}, 2, "«Старая» уже есть");
        dataRow("not fitted, not saved", "1", save, 2, "ключи не найдены");
        dataRow("decimal commas", "commas", fit, 2, "строка 12: больше четырёх полей");
        dataRow("line after a header", "header", fit, 2, "(список A, строка 6) не читается");
        dataRow("unchecked", "2", save, 2, "«Новая» не сохранена: избыточных измерений нет");
        dataRow("unchecked, forced", "2", save + QStringList {"--force"}, 0, "msk:Новая сохранена");
        dataRow("unchecked, said", "2", fit, 0, "Проверка каждой точки по остальным: мало точек");
        dataRow("help names --force", "clean", QStringList {"--help"}, 0,
            "--save не сохраняет, если не дан\n  --force");
        dataRow("three checked", "3", save, 0, "msk:Новая сохранена");
        dataRow("three, by heights alone", "3", fit, 0, "Подозрительных точек нет");
        dataRow("name ending in +egm96", "clean", fit + QStringList {"--save", "Уч+egm96"}, 2,
            "оканчивается на +egm96");
        dataRow("bad model", "clean", QStringList {"--fit", "helmert", "--from", "gk:sk42:7"}, 2,
            "similarity или affine");
        dataRow("base not plane", "clean", QStringList {"--fit", "affine", "--from", "geod:wgs84"},
            2, "ожидается tm:");
    }

    // The converter as a script runs it: exit statuses, --save and its refusals.
    void converter()
    {
        const auto [files, options, status, message]
            = fetch<QString, QStringList, int, QString>("files", "options", "status", "message");
        Points points = generate(PlaneModel::Similarity, 10, 20e3, 0.02);
        points[3].local[0] += files == "moved" ? 0.3 : 0;
        points.resize(files.toInt() ? files.toInt() : 10); // "1" to "3": so many points
        const QString a = tempPath(files + "A.txt"), b = tempPath(files + "B.txt");
        QVERIFY(PointsFile::write(a, rowsOf(points, false) << PointRow::fromLine("Z;1;2;3")));
        if (files == "commas")
            QVERIFY(writeFile(a, readFile(a) + "Z2, 6000000,5, 7400000,5, 100\n"));
        if (files == "header") // the fifth row, the file's sixth line
            QVERIFY(writeFile(a, "Имя;x;y;h\n" + readFile(a).replace("\nP5;", "\nP5;x")));
        QVERIFY(PointsFile::write(b, rowsOf(points, true)));
        const QString systems = tempPath("systems.json");
        const QByteArray before = R"([{"name": "Старая", "base": "gk:sk42:7"}])";
        QVERIFY(writeFile(systems, before));
        const Run run = convert(options + QStringList {"--systems", systems, a, b});
        QCOMPARE(run.status, status);
        QVERIFY2(QString::fromUtf8(run.out + run.err).contains(message), run.err.constData());
        // The file changes, and holds the new system, exactly when the converter says it saved it.
        const bool saved = message == "msk:Новая сохранена";
        QCOMPARE(readFile(systems) != before, saved);
        LocalSystems::Systems after;
        QString error;
        QVERIFY(LocalSystems::read(systems, &after, &error));
        QCOMPARE(LocalSystems::find(after, "Новая") != nullptr, saved);
    }
};

QTEST_MAIN(TestKeyFit)
#include "tst_keyfit.moc"
