// The program's reader of the geoid grid file: what it accepts and refuses,
// and that a refused file leaves no grid behind.
#include "GeoidFile.h"
#include "TestSupport.h"

#include <QtTest>

#include <cmath>

namespace {

// A 3 x 4 grid, latitudes 10..12 and longitudes 20..23 one degree apart, the
// header in radians; the values differ everywhere, so a row or column out of
// place shows.
QByteArray header(const char *separator = " ")
{
    QByteArray text;
    for (const double degrees : {10.0, 12.0, 20.0, 23.0, 1.0, 1.0})
        text += (text.isEmpty() ? "" : separator)
            + QByteArray::number(degrees / 57.29577951308232, 'g', 17);
    return text;
}
const auto valueAt = [](int row, int col) { return float(10 * row + col) + 0.25f; };
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

// clang-format off
struct Case { const char *name; QByteArray bytes; bool loads; }; // null bytes: no file
// clang-format on

} // namespace

Q_DECLARE_METATYPE(Case)

class TestGeoidFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { initialize_null_geoid_data(&g.grid); }
    void cleanup() { invalidate_geoid(&g); }
    void content_data();
    void content();

private:
    ::geoid g {};
};

void TestGeoidFile::content_data()
{
    const QByteArray h = header() + "\n", tail = dataLine(1) + "\n" + dataLine(0) + "\n";
    // clang-format off
    const Case cases[] = {
        {"good", h + data(), true},
        {"CRLF", header() + "\r\n" + data("\r\n"), true},
        {"no end after the last line", h + data().chopped(1), true},
        {"text after the grid", h + data() + "not a grid row\n", true},
        {"blanks at data line ends", h + " " + dataLine(2) + " \r\n" + tail, true},
        {"two tabs between values", h + dataLine(2, "\t\t") + "\n" + tail, true},
        {"two blanks in the header", header("  ") + "\n" + data(), true},
        {"tabs in the header", header("\t") + "\n" + data(), false},
        {"five header numbers", header().left(header().lastIndexOf(' ')) + "\n" + data(), false},
        {"header in degrees", "10 12 20 23 1 1.5\n" + data(), false},
        {"nan in the header", "nan" + header().mid(header().indexOf(' ')) + "\n" + data(), false},
        {"one data line too few", h + dataLine(2) + "\n" + dataLine(1) + "\n", false},
        {"empty line inside the data", h + dataLine(2) + "\n\n" + tail, false},
        {"blanks between values", h + dataLine(2, " ") + "\n" + tail, false},
        {"decimal comma", h + dataLine(2).replace('.', ',') + "\n" + tail, false},
        {"one value too many", h + dataLine(2) + "\t1.0\n" + tail, false},
        {"one value too few", h + "1.0\t2.0\t3.0\n" + tail, false},
        {"not a number", h + "1.0\tx\t2.0\t3.0\n" + tail, false},
        {"inf", h + "1.0\t2.0\t-inf\t3.0\n" + tail, false},
        {"beyond single precision", h + "1.0\t2.0\t1e39\t3.0\n" + tail, false},
        {"empty file", QByteArray(""), false},
        {"no file", QByteArray(), false},
    };
    // clang-format on
    caseRows(cases);
}

// Each file is read over a grid loaded before: a refused one leaves none behind.
void TestGeoidFile::content()
{
    QFETCH(Case, c);
    const QString path = tempPath(c.name), good = tempPath("good");
    QVERIFY(writeFile(good, header() + "\n" + data())
        && (c.bytes.isNull() || writeFile(path, c.bytes)));
    QCOMPARE(GeoidFile::load(good, &g), GeoidFile::Result::Loaded);
    QCOMPARE(GeoidFile::load(path, &g),
        c.loads                ? GeoidFile::Result::Loaded
            : c.bytes.isNull() ? GeoidFile::Result::NotOpened
                               : GeoidFile::Result::Malformed);
    QCOMPARE(bool(check_geoid(&g)), c.loads);
    QCOMPARE(g.grid.values != nullptr, c.loads);
    if (!c.loads)
        return;
    QCOMPARE(g.refsys.datum, int32_t(KV_DATUM_WGS84));
    // Edges in degrees, to the rounding of the header's radians.
    QVERIFY(std::fabs(g.grid.lat_min - 10) < 1e-12 && std::fabs(g.grid.lat_max - 12) < 1e-12);
    QVERIFY(std::fabs(g.grid.lon_min - 20) < 1e-12 && std::fabs(g.grid.lon_max - 23) < 1e-12);
    QCOMPARE(g.grid.rows * g.grid.cols, 12);
    for (int i = 0; i < 12; ++i) {
        float value = -1;
        QVERIFY(get_geoid_data_value(&g.grid, i / 4, i % 4, &value));
        QCOMPARE(value, valueAt(i / 4, i % 4));
    }
}

QTEST_GUILESS_MAIN(TestGeoidFile)
#include "tst_geoidfile.moc"
