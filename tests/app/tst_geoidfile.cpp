// The program's reader of the geoid grid file: what it accepts and refuses,
// and that a refused file leaves no grid behind.
#include "GeoidFile.h"
#include "TestSupport.h"
#include "proj_reference.h"

#include <QtTest>

#include <cmath>

namespace {

// A 3 x 4 grid, latitudes 10..12 and longitudes 20..23 one degree apart; the
// header is in radians.
QByteArray header(const char *separator = " ")
{
    const double numbers[6] = {10, 12, 20, 23, 1, 1};
    QByteArray text;
    for (int i = 0; i < 6; ++i)
        text += (i ? separator : "") + QByteArray::number(numbers[i] / 57.29577951308232, 'g', 17);
    return text;
}

// Distinct everywhere, so a row or column out of place shows.
float valueAt(int row, int col)
{
    return float(10 * row + col) + 0.25f;
}

QByteArray dataLine(int row, const char *separator = "\t")
{
    QByteArray text;
    for (int c = 0; c < 4; ++c)
        text += (c ? separator : "") + QByteArray::number(double(valueAt(row, c)), 'f', 2);
    return text;
}

// The data lines, northernmost first, each ended by `end`.
QByteArray data(const char *end = "\n")
{
    return dataLine(2) + end + dataLine(1) + end + dataLine(0) + end;
}

} // namespace

class TestGeoidFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { invalidate_geoid(&g); }
    void content_data();
    void content();
    void missingFileAndFailedReload();
    void shippedGrid();

private:
    ::geoid g {};
};

void TestGeoidFile::init()
{
    initialize_null_geoid_data(&g.grid);
    invalidate_geoid(&g);
}

void TestGeoidFile::content_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");

    const QByteArray h = header() + "\n";
    const QByteArray tail = dataLine(1) + "\n" + dataLine(0) + "\n";
    // clang-format off
    const struct { const char *name; QByteArray bytes; bool loads; } cases[] = {
        { "good", h + data(), true },
        { "CRLF", header() + "\r\n" + data("\r\n"), true },
        { "no end after the last line", h + data().chopped(1), true },
        { "trailing blank line", h + data() + "\n", true },
        { "text after the grid", h + data() + "not a grid row\n", true },
        { "blanks at data line ends", h + " " + dataLine(2) + " \r\n" + tail, true },
        { "two tabs between values", h + dataLine(2, "\t\t") + "\n" + tail, true },
        { "two blanks in the header", header("  ") + "\n" + data(), true },
        { "tabs in the header", header("\t") + "\n" + data(), false },
        { "five header numbers", header().left(header().lastIndexOf(' ')) + "\n" + data(), false },
        { "header in degrees", "10 12 20 23 1 1.5\n" + data(), false },
        { "nan in the header", "nan" + header().mid(header().indexOf(' ')) + "\n" + data(), false },
        { "one data line too few", h + dataLine(2) + "\n" + dataLine(1) + "\n", false },
        { "empty line inside the data", h + dataLine(2) + "\n\n" + tail, false },
        { "blanks between values", h + dataLine(2, " ") + "\n" + tail, false },
        { "decimal comma", h + dataLine(2).replace('.', ',') + "\n" + tail, false },
        { "one value too many", h + dataLine(2) + "\t1.0\n" + tail, false },
        { "one value too few", h + "1.0\t2.0\t3.0\n" + tail, false },
        { "not a number", h + "1.0\tx\t2.0\t3.0\n" + tail, false },
        { "nan", h + "1.0\tnan\t2.0\t3.0\n" + tail, false },
        { "inf", h + "1.0\t2.0\t-inf\t3.0\n" + tail, false },
        { "beyond single precision", h + "1.0\t2.0\t1e39\t3.0\n" + tail, false },
        { "empty file", QByteArray(), false },
        { "header only", h, false },
    };
    // clang-format on
    for (const auto &c : cases)
        dataRow(c.name, c.bytes, c.loads);
}

void TestGeoidFile::content()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);

    const QString path = tempPath(QTest::currentDataTag());
    QVERIFY(writeFile(path, bytes));
    QCOMPARE(GeoidFile::load(path, &g),
        loads ? GeoidFile::Result::Loaded : GeoidFile::Result::Malformed);
    if (!loads) {
        QCOMPARE(check_geoid(&g), 0);
        QVERIFY(g.grid.values == nullptr);
        return;
    }
    QVERIFY(check_geoid(&g));
    QCOMPARE(g.refsys.datum, int32_t(KV_DATUM_WGS84));
    // Edges in degrees, to the rounding of the header's radians.
    QVERIFY(std::fabs(g.grid.lat_min - 10) < 1e-12 && std::fabs(g.grid.lat_max - 12) < 1e-12);
    QVERIFY(std::fabs(g.grid.lon_min - 20) < 1e-12 && std::fabs(g.grid.lon_max - 23) < 1e-12);
    QCOMPARE(g.grid.rows * g.grid.cols, 12);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            float value = -1;
            QVERIFY(get_geoid_data_value(&g.grid, r, c, &value));
            QCOMPARE(value, valueAt(r, c));
        }
    }
}

void TestGeoidFile::missingFileAndFailedReload()
{
    QCOMPARE(GeoidFile::load(tempPath("absent.grd"), &g), GeoidFile::Result::NotOpened);
    QCOMPARE(check_geoid(&g), 0);

    // A failed load after a good one leaves no grid of the earlier file.
    const QString good = tempPath("reload-good.grd");
    const QString bad = tempPath("reload-bad.grd");
    QVERIFY(writeFile(good, header() + "\n" + data()) && writeFile(bad, header() + "\n"));
    QCOMPARE(GeoidFile::load(good, &g), GeoidFile::Result::Loaded);
    QCOMPARE(GeoidFile::load(bad, &g), GeoidFile::Result::Malformed);
    QCOMPARE(check_geoid(&g), 0);
    QVERIFY(g.grid.values == nullptr);
}

// The grid shipped beside the program, against PROJ's own reading of the
// EGM96 grid it was made from.
void TestGeoidFile::shippedGrid()
{
    const QString path = QStringLiteral(KELVADRA_EGM96_GRD);
    if (!QFile::exists(path))
        QSKIP("egm96.grd has not been built");
    QCOMPARE(GeoidFile::load(path, &g), GeoidFile::Result::Loaded);
    QCOMPARE(g.grid.rows, int32_t(721));

    const projref::Transformation egm96("+proj=pipeline +step +proj=unitconvert +xy_in=deg"
                                        " +xy_out=rad +step +proj=vgridshift +grids=egm96_15.gtx");
    if (!egm96.valid())
        QSKIP("PROJ cannot open egm96_15.gtx");
    // Both interpolate bilinearly between the same float nodes: 0.1 mm.
    const double points[][2]
        = {{0, 0}, {55.758, 37.617}, {-33.9, 151.2}, {89.9, 10}, {-89.9, -170}, {12.34, 179.9}};
    for (const auto &p : points) {
        // vgridshift's forward direction subtracts the geoid height.
        double reference[3] = {p[1], p[0], 0};
        QVERIFY(egm96.forward(reference));
        for (double lon : {p[1], p[1] + 360}) { // either longitude range
            double n = 0;
            QVERIFY(interpolate_geoid_data_value(&g.grid, p[0], lon, &n));
            QVERIFY2(std::fabs(n + reference[2]) < 1e-4,
                qPrintable(QStringLiteral("%1 %2: %3 vs %4")
                               .arg(p[0])
                               .arg(lon)
                               .arg(n)
                               .arg(-reference[2])));
            if (p[1] >= 0)
                break;
        }
    }
}

QTEST_GUILESS_MAIN(TestGeoidFile)
#include "tst_geoidfile.moc"
