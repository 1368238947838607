// Keys from common points: the fit against an independent solution, flags, refusals, --fit, dialog.
#include "Calculation.h"
#include "KeyFit.h"
#include "KeyFitDialog.h"
#include "PointsFile.h"
#include "SystemName.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <cmath>
#include <random>

using KeyFit::HeightModel;
using KeyFit::PlaneModel;

namespace {

// Keys near those of a city system: scale 1 - 12.5 ppm, rotation 30".
const double similarityKeys[] = {-6000000.5, -7400000.25, 0.9999874999, 0.0001454441};
const double affineKeys[] = {-6000000.5, -7400000.25, 0.99998, -0.00015, 0.00014, 1.00001};
const double heightKeys[] = {-18.25, 2e-6, -1.5e-6};

// n points over `extent` m near x 6 000 000, y 7 400 000, local ones from the keys plus noise.
QVector<KeyFit::Point> generate(
    PlaneModel plane, int n, double extent, double noise, unsigned seed = 42)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> place(0, extent), height(100, 200);
    std::normal_distribution<double> error(0, noise > 0 ? noise : 1);
    const double e = noise > 0 ? 1 : 0;
    LocalSystems::System keys;
    const bool similarity = plane == PlaneModel::Similarity;
    keys.keys
        = similarity ? LocalSystems::System::Keys::Similarity : LocalSystems::System::Keys::Affine;
    std::copy_n(similarity ? similarityKeys : affineKeys, similarity ? 4 : 6, keys.values);
    std::copy_n(heightKeys, 3, keys.dh);
    const plane_keys k = keys.planeKeys();
    QVector<KeyFit::Point> points(n);
    for (int i = 0; i < n; ++i) {
        KeyFit::Point &p = points[i];
        p.name = QStringLiteral("P%1").arg(i + 1);
        p.base[0] = 6000000 + place(random), p.base[1] = 7400000 - extent / 2 + place(random);
        p.base[2] = height(random);
        plane_keys_forward(p.base, &k, p.local);
        for (double &c : p.local)
            c += e * error(random);
    }
    return points;
}

// Normal equations in long double, solved by Gauss-Jordan elimination with partial pivoting.
using Real = long double;
QVector<Real> normalSolve(const QVector<QVector<Real>> &rows, const QVector<Real> &rhs)
{
    const int u = rows.first().size();
    QVector<QVector<Real>> m(u, QVector<Real>(u + 1, 0));
    for (int r = 0; r < rows.size(); ++r) {
        for (int i = 0; i < u; ++i) {
            for (int j = 0; j < u; ++j)
                m[i][j] += rows[r][i] * rows[r][j];
            m[i][u] += rows[r][i] * rhs[r];
        }
    }
    for (int c = 0; c < u; ++c) {
        int pivot = c;
        for (int r = c + 1; r < u; ++r)
            pivot = std::fabs(m[r][c]) > std::fabs(m[pivot][c]) ? r : pivot;
        std::swap(m[c], m[pivot]);
        for (int r = 0; r < u; ++r) {
            const Real f = m[r][c] / m[c][c];
            for (int j = c; r != c && j <= u; ++j)
                m[r][j] -= f * m[c][j];
        }
    }
    QVector<Real> p(u);
    for (int i = 0; i < u; ++i)
        p[i] = m[i][u] / m[i][i];
    return p;
}

// The oracle's parameters in the order of KeyFit::Result (values, then dh).
QVector<Real> oracle(const QVector<KeyFit::Point> &points, PlaneModel plane, HeightModel height)
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
    const bool s = plane == PlaneModel::Similarity;
    const Real a1 = v[2], a2 = s ? -v[3] : v[3], b1 = s ? v[3] : v[4], b2 = s ? v[2] : v[5];
    v[0] -= a1 * x0 + a2 * y0, v[1] -= b1 * x0 + b2 * y0;
    QVector<Real> h {0, 0, 0};
    if (height != HeightModel::None) {
        const QVector<Real> c = normalSolve(heightRows, heightRhs);
        h[0] = c[0];
        if (height == HeightModel::Plane)
            h = {c[0] - c[1] * x0 - c[2] * y0, c[1], c[2]};
    }
    return v << h;
}

PointRows rowsOf(const QVector<KeyFit::Point> &points, bool local, bool eastingFirst = false)
{
    PointRows rows;
    for (const KeyFit::Point &p : points) {
        const double *c = local ? p.local : p.base;
        const int first = eastingFirst ? 1 : 0;
        rows << PointRow::fromLine(QStringLiteral("%1; %2; %3; %4")
                                       .arg(p.name)
                                       .arg(c[first], 0, 'f', 9)
                                       .arg(c[1 - first], 0, 'f', 9)
                                       .arg(c[2], 0, 'f', 9));
    }
    return rows;
}

Calculation::Side baseSide(const QString &base)
{
    Calculation::Side side;
    QString error;
    if (!KeyFit::baseSide(base, &side, &error))
        qFatal("%s", qPrintable(error));
    return side;
}

KeyFit::Result fitted(const QVector<KeyFit::Point> &points, PlaneModel plane, HeightModel height)
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
    void sameAsNormalEquations_data();
    void sameAsNormalEquations();
    void movedPointFlagged_data();
    void movedPointFlagged();
    void savedSystemConverts_data();
    void savedSystemConverts();
    void refusals_data();
    void refusals();
    void converter_data();
    void converter();
    void fromPanel();
};

void TestKeyFit::sameAsNormalEquations_data()
{
    // "base": the points go through match() in this system
    addColumns<int, int, int, double, double, QString>(
        "plane", "height", "n", "extent", "noise", "base");
    dataRow("similarity, 8 over 10 km, exact", 0, 0, 8, 10e3, 0.0, QString("gk:sk42:7"));
    dataRow("similarity, shift, 8 over 10 km, 1 cm", 0, 1, 8, 10e3, 0.01, QString("gk:sk42:7"));
    dataRow("similarity, plane, 30 over 50 km, 3 cm", 0, 2, 30, 50e3, 0.03, QString("gk:sk42:7"));
    dataRow("affine, 8 over 50 km, exact", 1, 2, 8, 50e3, 0.0, QString("gk:sk42:7"));
    dataRow("affine, plane, 12 over 20 km, 2 cm", 1, 2, 12, 20e3, 0.02, QString("gk:sk42:7"));
    dataRow("similarity, UTM easting first", 0, 1, 10, 30e3, 0.02, QString("utm:37n"));
}

// The fit equals an independent solution; exact points give the keys back.
void TestKeyFit::sameAsNormalEquations()
{
    QFETCH(int, plane);
    QFETCH(int, height);
    QFETCH(int, n);
    QFETCH(double, extent);
    QFETCH(double, noise);
    QFETCH(QString, base);
    const auto model = PlaneModel(plane);
    QVector<KeyFit::Point> points = generate(model, n, extent, noise);
    if (base.startsWith("utm")) { // a UTM easting near 500 km, written easting first
        for (KeyFit::Point &p : points)
            p.base[1] -= 6900000;
    }
    KeyFit::Matched matched;
    QString error;
    QVERIFY2(KeyFit::match(rowsOf(points, false, base.startsWith("utm")), rowsOf(points, true),
                 baseSide(base), height != 0, &matched, &error),
        qPrintable(error));
    const KeyFit::Result r = fitted(matched.points, model, HeightModel(height));
    const QVector<Real> o = oracle(matched.points, model, HeightModel(height));
    const int count = model == PlaneModel::Similarity ? 4 : 6;
    for (int i = 0; i < count + 3; ++i) {
        const double got = i < count ? r.values[i] : r.dh[i - count];
        // Shifts in metres; coefficients and slopes over 50 km come to 1e-6 m at 2e-11.
        const double tolerance = i < 2 || i == count ? 1e-6 : 2e-11;
        QVERIFY2(std::fabs(got - double(o[i])) <= tolerance, qPrintable(QString::number(i)));
    }
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const KeyFit::Point &p = matched.points[i];
        const Real x = p.base[0], y = p.base[1];
        const bool sim = count == 4;
        const Real a1 = o[2], a2 = sim ? -o[3] : o[3], b1 = sim ? o[3] : o[4],
                   b2 = sim ? o[2] : o[5];
        const Real fit[3] = {o[0] + a1 * x + a2 * y, o[1] + b1 * x + b2 * y,
            p.base[2] + o[count] + o[count + 1] * x + o[count + 2] * y};
        for (int c = 0; c < (height != 0 ? 3 : 2); ++c)
            QVERIFY(std::fabs(r.points[i].v[c] - double(fit[c] - p.local[c])) <= 1e-6);
        sum += r.points[i].plane * r.points[i].plane;
    }
    QCOMPARE(r.dof, 2 * n - (count == 4 ? 4 : 6));
    QVERIFY(std::fabs(r.sigma - std::sqrt(sum / r.dof)) <= 1e-9);
    if (noise == 0) {
        const double *truth = count == 4 ? similarityKeys : affineKeys;
        for (int i = 0; i < count; ++i)
            // Relative to the coordinates for the shifts, to the scale for the rest.
            QVERIFY(std::fabs(r.values[i] - truth[i]) <= 1e-9 * (i < 2 ? 7.4e6 : 1.0));
        QCOMPARE(r.flagged, 0); // residuals of rounding are no blunders
    }
}

void TestKeyFit::movedPointFlagged_data()
{
    addColumns<int, int, unsigned>("plane", "moved", "seed");
    for (unsigned seed : {1u, 2u, 3u}) {
        dataRow(qPrintable(QString("similarity, first, seed %1").arg(seed)), 0, 0, seed);
        dataRow(qPrintable(QString("similarity, middle, seed %1").arg(seed)), 0, 4, seed);
        dataRow(qPrintable(QString("affine, last, seed %1").arg(seed)), 1, 9, seed);
    }
}

// One point of ten moved by 0.3 m is flagged and no other; left out, σ drops to the noise.
void TestKeyFit::movedPointFlagged()
{
    QFETCH(int, plane);
    QFETCH(int, moved);
    QFETCH(unsigned, seed);
    QVector<KeyFit::Point> points = generate(PlaneModel(plane), 10, 20e3, 0.02, seed);
    points[moved].local[0] += 0.3 * std::cos(seed), points[moved].local[1] += 0.3 * std::sin(seed);
    const KeyFit::Result r = fitted(points, PlaneModel(plane), HeightModel::None);
    for (const KeyFit::PointResult &p : r.points)
        QCOMPARE(p.flagged, p.name == points[moved].name);
    QCOMPARE(r.flagged, 1);
    QVERIFY(r.sigma > 0.05);
    points[moved].used = false;
    const KeyFit::Result without = fitted(points, PlaneModel(plane), HeightModel::None);
    QVERIFY2(
        without.sigma > 0.01 && without.sigma < 0.03, qPrintable(QString::number(without.sigma)));
    QCOMPARE(without.used, 9);
    QVERIFY(without.points[moved].flagged); // still shown against the fit without it
}

void TestKeyFit::savedSystemConverts_data()
{
    addColumns<QString, int>("base", "plane");
    dataRow("GK, similarity", QString("gk:sk42:7"), 0);
    dataRow("UTM, affine", QString("utm:37n"), 1);
}

// Saved and used as msk:NAME, the system takes list A to list B within the residuals.
void TestKeyFit::savedSystemConverts()
{
    QFETCH(QString, base);
    QFETCH(int, plane);
    const bool utm = base.startsWith("utm");
    QVector<KeyFit::Point> points = generate(PlaneModel(plane), 12, 30e3, 0.02);
    for (KeyFit::Point &p : points)
        p.base[1] -= utm ? 6900000 : 0;
    const PointRows a = rowsOf(points, false, utm);
    KeyFit::Matched matched;
    QString error;
    QVERIFY(KeyFit::match(a, rowsOf(points, true), baseSide(base), true, &matched, &error));
    const KeyFit::Result r = fitted(matched.points, PlaneModel(plane), HeightModel::Plane);
    const QString path = tempPath("saved.json");
    QFile::remove(path);
    QVERIFY(LocalSystems::write(path, {KeyFit::toSystem(r, base, "Фит")}, &error));
    LocalSystems::Systems systems;
    QVERIFY2(LocalSystems::read(path, &systems, &error), qPrintable(error));
    SystemName::Choices from, to;
    Calculation::Side source, target;
    QVERIFY(SystemName::parse(base, true, &from, &error)
        && SystemName::parse("msk:Фит", false, &to, &error));
    QVERIFY(
        SystemName::side(from, true, &source) && SystemName::side(to, false, &target, &systems));
    const Calculation::Result out = Calculation::Calculator(source, target, nullptr).run(a);
    QVERIFY(!out.errors());
    for (int i = 0; i < points.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            const double got = out.rows[i].coordinates[c].toDouble() - points[i].local[c];
            // The converter writes millimetres.
            QVERIFY2(std::fabs(got - r.points[i].v[c]) <= 0.0005 + 1e-9,
                qPrintable(
                    QString("%1 %2: %3 vs %4").arg(i).arg(c).arg(got).arg(r.points[i].v[c])));
        }
    }
}

void TestKeyFit::refusals_data()
{
    // "message": in the error, or in the report when fitted
    addColumns<QString, QStringList, QStringList, int, int, QString>(
        "base", "a", "b", "plane", "height", "message");
    const QString gk("gk:sk42:7");
    const QStringList line {"1;6000000;7400000;100", "2;6001000;7401000;100",
        "3;6002000;7402000;100", "4;6003000;7403000;100"};
    const QStringList local {"1;0;0;90", "2;1000;1000;90", "3;2000;2000;90", "4;3000;3000;90"};
    QStringList offLine = line;
    offLine[3] = "4;6003000;7403000.1;100";
    dataRow("affine, one line", gk, line, local, 1, 0, QString("все точки на одной прямой"));
    dataRow("affine, 0.1 m off the line", gk, offLine, local, 1, 0, QString("СКО σ"));
    dataRow("plane height, one line", gk, line, local, 0, 2, QString("наклон плоскости высот"));
    dataRow("similarity, one line", gk, line, local, 0, 1, QString("СКО высот σH"));
    dataRow("list with one point", gk, QStringList(line.mid(0, 1)), local, 0, 0,
        QString("для подобия нужно не меньше 2 точек, в уравнивании 1"));
    dataRow("similarity, two points", gk, QStringList(line.mid(0, 2)), local, 0, 0,
        QString("СКО не определяется"));
    dataRow("affine, two points", gk, QStringList(line.mid(0, 2)), local, 1, 0,
        QString("аффинных ключей нужно не меньше 3 точек"));
    dataRow("plane height, two points", gk, QStringList(line.mid(0, 2)), local, 0, 2,
        QString("наклонной плоскости высот нужно не меньше 3"));
    QStringList twin = line, twinNear = line;
    twin[1] = "2;6000000.0009;7400000;100";
    twinNear[1] = "2;6000000.0011;7400000;100";
    dataRow("coincident in A", gk, twin, local, 0, 0, QString("«1» и «2» совпадают в списке A"));
    dataRow("1.1 mm apart", gk, twinNear, local, 0, 0, QString("Наибольший остаток"));
    QStringList twinB = local;
    twinB[3] = "4;2000;2000.0005;90";
    dataRow("coincident in B", gk, line, twinB, 0, 0, QString("«3» и «4» совпадают в списке B"));
    dataRow("name repeated", gk, line + QStringList {"2;6005000;7400000;1"}, local, 0, 0,
        QString("имя «2» повторяется в списке A: строки 2, 5"));
    dataRow("unreadable", gk, line, QStringList(local.mid(0, 3)) << "4;x;3000;90", 0, 0,
        QString("«4» (список B, строка 4) не читается"));
    dataRow("zone prefix", gk, QStringList(line.mid(0, 3)) << "4;6003000;8403000;1", local, 0, 0,
        QString("строка 4) не читается: номер зоны"));
    dataRow("no height", gk, QStringList(line.mid(0, 3)) << "4;6003000;7403000;", local, 0, 1,
        QString("не читается: нет высоты"));
    dataRow("no height wanted", gk, QStringList(line.mid(0, 3)) << "4;6003000;7403000;", local, 0,
        0, QString("СКО σ"));
    dataRow("no name", gk, QStringList(line) << ";6005000;7400000;1", local, 0, 0,
        QString("список A, строка 5: у точки нет имени"));
    dataRow("names in one list", gk, QStringList(line) << "A;6005000;7400000;1",
        QStringList(local) << ""
                           << "B;1;2;3",
        0, 0, QString("Только в списке A: A\nТолько в списке B: B"));
    dataRow("base not plane", QString("geod:wgs84"), line, local, 0, 0, QString("ожидается tm:"));
}

// Each refusal says why; one value past each limit is accepted.
void TestKeyFit::refusals()
{
    QFETCH(QString, base);
    QFETCH(QStringList, a);
    QFETCH(QStringList, b);
    QFETCH(int, plane);
    QFETCH(int, height);
    QFETCH(QString, message);
    PointRows rows[2];
    for (int i = 0; i < 2; ++i)
        for (const QString &line : i ? b : a)
            rows[i] << PointRow::fromLine(line);
    Calculation::Side side;
    KeyFit::Matched matched;
    KeyFit::Result result;
    QString error;
    const bool ok = KeyFit::baseSide(base, &side, &error)
        && KeyFit::match(rows[0], rows[1], side, height != 0, &matched, &error)
        && KeyFit::fit(matched.points, PlaneModel(plane), HeightModel(height), &result, &error);
    const QString text = ok ? KeyFit::report(result, matched, base) : error;
    QVERIFY2(text.contains(message), qPrintable(text));
}

void TestKeyFit::converter_data()
{
    // "message" in standard output or error; "saved": the definitions file holds "Новая" after
    addColumns<QString, QStringList, int, QString, bool>(
        "files", "options", "status", "message", "saved");
    const QStringList fit {"--fit", "similarity", "--height", "shift", "--from", "gk:sk42:7"};
    dataRow("fitted", QString("clean"), fit, 0, QString("Подозрительных точек нет"), false);
    dataRow("flagged", QString("moved"), fit, 1, QString("Подозрительных точек: 1"), false);
    dataRow("one point", QString("one"), fit, 2, QString("не меньше 2 точек"), false);
    dataRow("saved", QString("clean"), fit + QStringList {"--save=Новая"}, 0,
        QString("msk:Новая сохранена"), true);
    dataRow("name taken", QString("clean"), fit + QStringList {"--save", "Старая"}, 2,
        QString("«Старая» уже есть"), false);
    dataRow("not fitted, not saved", QString("one"), fit + QStringList {"--save", "Новая"}, 2,
        QString("ключи не найдены"), false);
    dataRow("decimal commas", QString("commas"), fit, 2, QString("строка 12: больше четырёх полей"),
        false);
    dataRow("bad model", QString("clean"), QStringList {"--fit", "helmert", "--from", "gk:sk42:7"},
        2, QString("similarity или affine"), false);
}

// The converter as a script runs it: exit statuses, --save and its refusals.
void TestKeyFit::converter()
{
    QFETCH(QString, files);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(bool, saved);
    QVector<KeyFit::Point> points = generate(PlaneModel::Similarity, 10, 20e3, 0.02);
    if (files == "moved")
        points[3].local[0] += 0.3;
    if (files == "one")
        points.resize(1);
    const QString a = tempPath(files + "A.txt"), b = tempPath(files + "B.txt");
    QVERIFY(PointsFile::write(a, rowsOf(points, false) << PointRow::fromLine("Z;1;2;3")));
    if (files == "commas")
        QVERIFY(writeFile(a, readFile(a) + "Z2, 6000000,5, 7400000,5, 100\n"));
    QVERIFY(PointsFile::write(b, rowsOf(points, true)));
    const QString systems = tempPath("systems.json");
    QString error;
    LocalSystems::System old;
    old.name = "Старая", old.base = "gk:sk42:7";
    QVERIFY(LocalSystems::write(systems, {old}, &error));
    const QByteArray before = readFile(systems);
    const Run run = convert(options + QStringList {"--systems", systems, a, b});
    QCOMPARE(run.status, status);
    QVERIFY2(QString::fromUtf8(run.out + run.err).contains(message), run.err.constData());
    LocalSystems::Systems after;
    QVERIFY(LocalSystems::read(systems, &after, &error));
    QCOMPARE(LocalSystems::find(after, "Новая") != nullptr, saved);
    if (!saved)
        QCOMPARE(readFile(systems), before);
}

// "Ключи…" of a panel opens the dialog; a system saved there joins both panels' lists.
void TestKeyFit::fromPanel()
{
    QFile::remove(LocalSystems::defaultPath());
    TestWindow window(tempPath("no.grd"));
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<KeyFitDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        opened = true;
        // The left panel holds no plane system: zone 7 is chosen in the dialog.
        auto *zone = child<QSpinBox>(dialog, "spinBoxZone");
        zone->selectAll();
        QTest::keyClicks(zone, "7");
        const QVector<KeyFit::Point> points = generate(PlaneModel::Similarity, 5, 10e3, 0.01);
        dialog->tableA()->setRows(rowsOf(points, false));
        dialog->tableB()->setRows(rowsOf(points, true));
        click(dialog, "pushButtonCalculate");
        window.log.fileName = "Из окна";
        click(dialog, "pushButtonSaveSystem");
        dialog->reject();
    });
    child<QPushButton>(window.right(), "pushButtonFitKeys")->click();
    QVERIFY(opened);
    for (Panel *panel : {window.left(), window.right()})
        QVERIFY(child<QComboBox>(panel, "comboBoxLocalSystem")->findText("Из окна") >= 0);
}

QTEST_MAIN(TestKeyFit)
#include "tst_keyfit.moc"
