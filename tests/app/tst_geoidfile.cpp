// The program's reader of the geoid grid file: what it accepts and refuses,
// and that a refused file leaves no grid behind.
#include "GeoidFile.h"

#include <proj.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

// A 3 x 4 grid: latitudes 10..12, longitudes 20..23, one degree apart.
// The header is in radians; the loader's factor gives the degrees back to
// within rounding, far inside the library's thousandth of a step.
QByteArray header(const char *separator = " ")
{
    const double radiansPerDegree = 1.0 / 57.29577951308232;
    const double numbers[6] = { 10, 12, 20, 23, 1, 1 };
    QByteArray text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            text += separator;
        text += QByteArray::number(numbers[i] * radiansPerDegree, 'g', 17);
    }
    return text;
}

// Value of grid row r (0 = south), column c: distinct everywhere, so a row or
// column out of place shows.
float valueAt(int r, int c)
{
    return float(10 * r + c) + 0.25f;
}

// Data line of grid row r, values joined by `separator`.
QByteArray dataLine(int r, const char *separator = "\t")
{
    QByteArray text;
    for (int c = 0; c < 4; ++c) {
        if (c > 0)
            text += separator;
        text += QByteArray::number(double(valueAt(r, c)), 'f', 2);
    }
    return text;
}

// Header and the three data lines, northernmost first, each ended by `end`.
QByteArray goodFile(const char *end = "\n")
{
    return header() + end + dataLine(2) + end + dataLine(1) + end + dataLine(0) + end;
}

} // namespace

class TestGeoidFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void content_data();
    void content();
    void gridPlacesEveryValue();
    void missingFileIsReportedApart();
    void failedReloadReleasesTheGrid();
    void shippedGrid();

private:
    QString write(const QByteArray &bytes);

    QTemporaryDir dir;
    ::geoid g {};
    int fileCount = 0;
};

void TestGeoidFile::initTestCase()
{
    QVERIFY(dir.isValid());
    initialize_null_geoid_data(&g.grid);
    invalidate_geoid(&g);
}

void TestGeoidFile::cleanup()
{
    invalidate_geoid(&g);
}

QString TestGeoidFile::write(const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("grid%1.grd").arg(++fileCount));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestGeoidFile::content_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");

    const QByteArray n = "\n";
    QTest::newRow("good") << goodFile() << true;
    QTest::newRow("CRLF line ends") << goodFile("\r\n") << true;
    QTest::newRow("no line end after the last row")
        << header() + n + dataLine(2) + n + dataLine(1) + n + dataLine(0) << true;
    QTest::newRow("two blanks between header numbers")
        << header("  ") + n + dataLine(2) + n + dataLine(1) + n + dataLine(0) + n << true;
    QTest::newRow("tabs between header numbers")
        << header("\t") + n + dataLine(2) + n + dataLine(1) + n + dataLine(0) + n << false;
    QTest::newRow("blank after the header")
        << header() + " \n" + goodFile().mid(header().size() + 1) << false;
    QTest::newRow("five header numbers")
        << header().left(header().lastIndexOf(' ')) + n + goodFile().mid(header().size() + 1)
        << false;
    QTest::newRow("seven header numbers")
        << header() + " 0.1" + n + goodFile().mid(header().size() + 1) << false;
    QTest::newRow("header in degrees (rows off the step)")
        << QByteArray("10 12 20 23 1 1.5\n") + dataLine(2) + n + dataLine(1) + n + dataLine(0) + n
        << false;
    QTest::newRow("one data line too few")
        << header() + n + dataLine(2) + n + dataLine(1) + n << false;
    QTest::newRow("blanks and CR at data line ends") << header() + n + "  " + dataLine(2) + " \r\n"
            + dataLine(1) + "\r\n" + "\t" + dataLine(0)
            + "\t \n" << true;
    QTest::newRow("two tabs between values")
        << header() + n + dataLine(2, "\t\t") + n + dataLine(1) + n + dataLine(0) + n << true;
    QTest::newRow("blank and tab around a value")
        << header() + n + dataLine(2, " \t ") + n + dataLine(1) + n + dataLine(0) + n << true;
    QTest::newRow("blanks between values")
        << header() + n + dataLine(2, " ") + n + dataLine(1) + n + dataLine(0) + n << false;
    QTest::newRow("decimal comma") << header() + n + dataLine(2).replace('.', ',') + n + dataLine(1)
            + n + dataLine(0) + n << false;
    QTest::newRow("one value too many")
        << header() + n + dataLine(2) + "\t1.0\n" + dataLine(1) + n + dataLine(0) + n << false;
    QTest::newRow("one value too few") << header() + n
            + dataLine(2).left(dataLine(2).lastIndexOf('\t')) + n + dataLine(1) + n + dataLine(0)
            + n << false;
    QTest::newRow("empty line inside the data")
        << header() + n + dataLine(2) + n + n + dataLine(1) + n + dataLine(0) + n << false;
    QTest::newRow("trailing blank line") << goodFile() + n << true;
    QTest::newRow("garbage after the last row") << goodFile() + "not a grid row\n" << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("header only") << header() + n << false;
    QTest::newRow("not a number") << header() + n + "1.0\tx\t2.0\t3.0\n" + dataLine(1) + n
            + dataLine(0) + n << false;
    QTest::newRow("nan") << header() + n + "1.0\tnan\t2.0\t3.0\n" + dataLine(1) + n + dataLine(0)
            + n << false;
    QTest::newRow("inf") << header() + n + "1.0\t2.0\t-inf\t3.0\n" + dataLine(1) + n + dataLine(0)
            + n << false;
    QTest::newRow("beyond single precision")
        << header() + n + "1.0\t2.0\t1e39\t3.0\n" + dataLine(1) + n + dataLine(0) + n << false;
    QTest::newRow("nan in the header") << "nan" + header().mid(header().indexOf(' ')) + n
            + dataLine(2) + n + dataLine(1) + n + dataLine(0)
            + n << false;
    QByteArray withZero
        = header() + n + dataLine(2) + '\0' + "\t9.0\t9.0" + n + dataLine(1) + n + dataLine(0) + n;
    QTest::newRow("text after a zero byte is ignored") << withZero << true;
}

void TestGeoidFile::content()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);

    const QString path = write(bytes);
    QVERIFY(!path.isEmpty());
    const GeoidFile::Result result = GeoidFile::load(path, &g);
    QCOMPARE(result, loads ? GeoidFile::Result::Loaded : GeoidFile::Result::Malformed);
    if (loads) {
        QVERIFY(check_geoid(&g) != 0);
        QCOMPARE(g.refsys.type, int32_t(KV_TYPE_GEODETIC));
        QCOMPARE(g.refsys.datum, int32_t(KV_DATUM_WGS84));
        QCOMPARE(g.grid.rows, int32_t(3));
        QCOMPARE(g.grid.cols, int32_t(4));
    } else {
        QCOMPARE(check_geoid(&g), 0);
        QVERIFY(g.grid.values == nullptr);
    }
}

void TestGeoidFile::gridPlacesEveryValue()
{
    QCOMPARE(GeoidFile::load(write(goodFile("\r\n")), &g), GeoidFile::Result::Loaded);
    // Edges in degrees: the header's radians times the loader's factor.
    const double edgeTolerance = 1e-12;
    QVERIFY(std::fabs(g.grid.lat_min - 10) < edgeTolerance);
    QVERIFY(std::fabs(g.grid.lat_max - 12) < edgeTolerance);
    QVERIFY(std::fabs(g.grid.lon_min - 20) < edgeTolerance);
    QVERIFY(std::fabs(g.grid.lon_max - 23) < edgeTolerance);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            float value = -1;
            QVERIFY(get_geoid_data_value(&g.grid, r, c, &value));
            QCOMPARE(value, valueAt(r, c));
        }
    }
}

void TestGeoidFile::missingFileIsReportedApart()
{
    QCOMPARE(GeoidFile::load(dir.filePath(QStringLiteral("absent.grd")), &g),
        GeoidFile::Result::NotOpened);
    QCOMPARE(check_geoid(&g), 0);
    QVERIFY(g.grid.values == nullptr);
    // A directory opens on some systems but is no grid either way.
    QVERIFY(GeoidFile::load(dir.path(), &g) != GeoidFile::Result::Loaded);
}

void TestGeoidFile::failedReloadReleasesTheGrid()
{
    QCOMPARE(GeoidFile::load(write(goodFile()), &g), GeoidFile::Result::Loaded);
    QCOMPARE(GeoidFile::load(write(header() + "\n" + dataLine(2) + "\n"), &g),
        GeoidFile::Result::Malformed);
    QCOMPARE(check_geoid(&g), 0);
    QVERIFY(g.grid.values == nullptr);
    QCOMPARE(g.refsys.type, int32_t(KV_TYPE_NONE));
}

// The grid shipped beside the program, against PROJ's own reading of the
// EGM96 source grid it was made from.
void TestGeoidFile::shippedGrid()
{
    const QString path = QStringLiteral(KELVADRA_EGM96_GRD);
    if (!QFile::exists(path))
        QSKIP("egm96.grd has not been built");
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(GeoidFile::load(path, &g), GeoidFile::Result::Loaded);
    qInfo("shipped grid loaded in %lld ms", static_cast<long long>(timer.elapsed()));
    QVERIFY(check_geoid(&g) != 0);
    QCOMPARE(g.grid.rows, int32_t(721));

    PJ_CONTEXT *context = proj_context_create();
    PJ *egm96 = proj_create(context,
        "+proj=pipeline +step +proj=unitconvert +xy_in=deg "
        "+xy_out=rad +step +proj=vgridshift +grids=egm96_15.gtx");
    if (!egm96) {
        proj_context_destroy(context);
        QSKIP("PROJ cannot open egm96_15.gtx");
    }
    // Both interpolate bilinearly between the same float nodes.
    const double tolerance = 1e-4; // metres
    const double points[][2] = { { 0, 0 }, { 55.5, 37.5 }, { 55.758, 37.617 }, { -33.9, 151.2 },
        { 89.9, 10 }, { -89.9, -170 }, { 12.34, 179.9 } };
    for (const auto &point : points) {
        // Reference heights: vgridshift's forward direction subtracts N.
        const PJ_COORD in = proj_coord(point[1], point[0], 0, 0);
        const double reference = -proj_trans(egm96, PJ_FWD, in).xyz.z;
        double n = 0;
        QVERIFY(interpolate_geoid_data_value(&g.grid, point[0], point[1], &n));
        QVERIFY2(std::fabs(n - reference) < tolerance,
            qPrintable(QStringLiteral("%1 %2: %3 vs %4")
                           .arg(point[0])
                           .arg(point[1])
                           .arg(n)
                           .arg(reference)));
        // The same place as a longitude in 0..360.
        if (point[1] < 0) {
            QVERIFY(interpolate_geoid_data_value(&g.grid, point[0], point[1] + 360, &n));
            QVERIFY(std::fabs(n - reference) < tolerance);
        }
    }
    proj_destroy(egm96);
    proj_context_destroy(context);
}

QTEST_GUILESS_MAIN(TestGeoidFile)
#include "tst_geoidfile.moc"
