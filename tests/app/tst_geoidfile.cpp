// The program's geoid grid reader: what it accepts and refuses; a refused file leaves no grid.
#include "GeoidFile.h"
#include "TestSupport.h"

#include <QtTest>

#include <cmath>

namespace {

// A 3 x 4 grid (10..12 N, 20..23 E, rows from the north), all values different to show a swap.
const QByteArray header = "0.17453292519943295 0.20943951023931953 0.3490658503988659"
                          " 0.4014257279586958 0.017453292519943295 0.017453292519943295";
const QByteArray line2 = "20.25\t21.25\t22.25\t23.25",
                 tail = "10.25\t11.25\t12.25\t13.25\n"
                        "0.25\t1.25\t2.25\t3.25\n";

// clang-format off
struct Case { const char *name; QByteArray bytes; GeoidFile::Result result; }; // null: no file
struct OwnedGeoid : ::geoid { ~OwnedGeoid() { invalidate_geoid(this); } };
// clang-format on

} // namespace

Q_DECLARE_METATYPE(Case)

class TestGeoidFile : public QObject
{
    Q_OBJECT

private slots:
    void content_data();
    void content();
};

void TestGeoidFile::content_data()
{
    const QByteArray h = header + "\n", data = line2 + "\n" + tail;
    const auto ok = GeoidFile::Result::Loaded, bad = GeoidFile::Result::Malformed;
    // clang-format off
    const Case cases[] = {
        {"good", h + data, ok},
        {"CRLF, blanks at line ends, two tabs, no end at the last line",
         header + "\r\n " + QByteArray(line2).replace('\t', "\t\t") + " \r\n"
             + QByteArray(tail).replace('\n', "\r\n").chopped(2), ok},
        {"text after the grid", h + data + "not a grid row\n", ok},
        {"two blanks in the header", QByteArray(header).replace(' ', "  ") + "\n" + data, ok},
        {"tabs in the header", QByteArray(header).replace(' ', '\t') + "\n" + data, bad},
        {"five header numbers", header.left(header.lastIndexOf(' ')) + "\n" + data, bad},
        {"seven header numbers", header + " 1\n" + data, bad},
        {"header in degrees", "10 12 20 23 1 1.5\n" + data, bad},
        {"steps of 1e-7 rad: 1.8e11 values",
         header.left(header.indexOf(" 0.0174")) + " 0.0000001 0.0000001\n" + data, bad},
        {"nan in the header", "nan" + header.mid(header.indexOf(' ')) + "\n" + data, bad},
        {"one data line too few", h + line2 + "\n" + tail.left(tail.indexOf('\n') + 1), bad},
        {"empty line inside the data", h + line2 + "\n\n" + tail, bad},
        {"blanks between values", h + QByteArray(line2).replace('\t', ' ') + "\n" + tail, bad},
        {"decimal comma", h + QByteArray(line2).replace('.', ',') + "\n" + tail, bad},
        {"one value too many", h + line2 + "\t1.0\n" + tail, bad},
        {"one value too few", h + "1.0\t2.0\t3.0\n" + tail, bad},
        {"not a number", h + "1.0\tx\t2.0\t3.0\n" + tail, bad},
        {"inf", h + "1.0\t2.0\t-inf\t3.0\n" + tail, bad},
        {"beyond single precision", h + "1.0\t2.0\t1e39\t3.0\n" + tail, bad},
        {"empty file", QByteArray(""), bad},
        {"no file", QByteArray(), GeoidFile::Result::NotOpened},
    };
    // clang-format on
    caseRows(cases);
}

// Each file is read over a grid loaded before: a refused one leaves none behind.
void TestGeoidFile::content()
{
    QFETCH(Case, c);
    OwnedGeoid g {};
    initialize_null_geoid_data(&g.grid);
    const QString path = tempPath(c.name), good = tempPath("good");
    QVERIFY(writeFile(good, header + "\n" + line2 + "\n" + tail)
        && (c.bytes.isNull() || writeFile(path, c.bytes)));
    QCOMPARE(GeoidFile::load(good, &g), GeoidFile::Result::Loaded);
    QCOMPARE(GeoidFile::load(path, &g), c.result);
    const bool loads = c.result == GeoidFile::Result::Loaded;
    QCOMPARE(bool(check_geoid(&g)), loads);
    QCOMPARE(g.grid.values != nullptr, loads);
    if (!loads)
        return;
    QCOMPARE(g.refsys.datum, int32_t(KV_DATUM_WGS84));
    // Edges in degrees, to the rounding of the header's radians.
    QVERIFY(std::fabs(g.grid.lat_min - 10) < 1e-12 && std::fabs(g.grid.lat_max - 12) < 1e-12);
    QVERIFY(std::fabs(g.grid.lon_min - 20) < 1e-12 && std::fabs(g.grid.lon_max - 23) < 1e-12);
    QCOMPARE(g.grid.rows * g.grid.cols, 12);
    for (int i = 0; i < 12; ++i) {
        float value = -1;
        QVERIFY(get_geoid_data_value(&g.grid, i / 4, i % 4, &value));
        QCOMPARE(value, float(10 * (i / 4) + i % 4) + 0.25f);
    }
}

QTEST_GUILESS_MAIN(TestGeoidFile)
#include "tst_geoidfile.moc"
