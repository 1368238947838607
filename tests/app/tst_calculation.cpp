// The row conversion without widgets: result forms, failed rows, automatic
// GSK 2011 zones, geoid heights, and converted values against PROJ built from
// the same Helmert parameters (through PZ 90.11) and ellipsoids.
#include "Calculation.h"
#include "CellText.h"
#include "TestSupport.h"

#include <proj.h>

#include <QtTest>

#include <cmath>

using Calculation::Calculator;
using Calculation::Side;
Q_DECLARE_METATYPE(Side)

namespace {

// 0.00005" for angles, 1 mm for lengths. The library and PROJ compose the two
// Helmert steps differently, which moves a point by well under a micrometre.
const double angleTolerance = 0.00005 / 3600;
const double lengthTolerance = 0.001;

// Ellipsoid and Helmert parameters to PZ 90.11: metres, milliarcseconds, ppm.
struct Shift
{
    int datum;
    const char *ellipsoid;
    double p[7];
};
const Shift shifts[] = {
    {84, "+ellps=WGS84", {-0.013, 0.106, 0.022, -2.30, 3.54, -4.21, -0.008}},
    {42, "+ellps=krass", {23.557, -140.844, -79.778, -2.30, -346.46, -794.21, -0.228}},
    {2011, "+a=6378136.5 +rf=298.2564151", {0, 0.014, -0.008, -0.562, -0.019, 0.053, -0.0006}},
};

const Shift &shiftOf(int datum)
{
    for (const Shift &s : shifts) {
        if (s.datum == datum)
            return s;
    }
    qFatal("no test parameters for datum %d", datum);
}

// The library's rotation is PROJ's coordinate frame convention; the way back
// from the hub negates all seven values.
QByteArray helmert(int datum, double sign)
{
    const double *p = shiftOf(datum).p;
    QString step = QStringLiteral(" +step +proj=helmert +convention=coordinate_frame");
    const char *names[7] = {"x", "y", "z", "rx", "ry", "rz", "s"};
    for (int i = 0; i < 7; ++i)
        step += QStringLiteral(" +%1=%2").arg(names[i]).arg(
            sign * p[i] / (i >= 3 && i < 6 ? 1000 : 1), 0, 'g', 17);
    return step.toLatin1();
}

// Geodetic WGS 84 into geocentric coordinates of `datum`.
QByteArray wgs84To(int datum)
{
    QByteArray steps = " +step +proj=unitconvert +xy_in=deg +xy_out=rad +step +proj=cart "
        + QByteArray(shiftOf(84).ellipsoid);
    return datum == 84 ? steps : steps + helmert(84, 1) + helmert(datum, -1);
}

// Heights above EGM96 (PROJ's vgridshift on the source grid) in WGS 84,
// kept apart from the datum shift: wrap the steps from wgs84To(datum) on.
QByteArray aboveEgm96(const QByteArray &steps)
{
    const QByteArray rad = " +step +proj=unitconvert +xy_in=deg +xy_out=rad";
    return rad + " +step +proj=vgridshift +grids=egm96_15.gtx +step +proj=push +v_3"
        + steps.mid(rad.size()) + " +step +proj=pop +v_3";
}

QByteArray toGeodetic(int datum)
{
    return QByteArray(" +step +inv +proj=cart ") + shiftOf(datum).ellipsoid
        + " +step +proj=unitconvert +xy_in=rad +xy_out=deg";
}

// Geocentric coordinates into Gauss-Krüger zone n (easting with the zone
// prefix), in the southern false northing when asked.
QByteArray gaussKruger(int datum, int zone, bool south = false)
{
    return QStringLiteral(" +step +inv +proj=cart %1 +step +proj=tmerc +lon_0=%2 +k=1 +x_0=%3"
                          " +y_0=%4 %1")
        .arg(QLatin1String(shiftOf(datum).ellipsoid))
        .arg(6 * zone - 3)
        .arg(zone * 1000000 + 500000)
        .arg(south ? 10000000 : 0)
        .toLatin1();
}

// Points in the table's order: (latitude, longitude) and (northing, easting)
// are swapped into PROJ's (east, north) and back.
bool runProj(const QByteArray &steps, bool swapIn, bool swapOut, const double in[3], double out[3],
    PJ_DIRECTION direction)
{
    PJ *pipeline = proj_create(nullptr, ("+proj=pipeline" + steps).constData());
    if (!pipeline)
        return false;
    PJ_COORD c = swapIn ? proj_coord(in[1], in[0], in[2], 0) : proj_coord(in[0], in[1], in[2], 0);
    c = proj_trans(pipeline, direction, c);
    proj_destroy(pipeline);
    out[0] = swapOut ? c.xyz.y : c.xyz.x;
    out[1] = swapOut ? c.xyz.x : c.xyz.y;
    out[2] = c.xyz.z;
    return std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]);
}

Side geodetic(int datum, bool dms = true, bool unsignedLongitude = false)
{
    Side side;
    setup_geod(datum, &side.system);
    side.systemType = 2;
    side.dmsUnits = dms;
    side.decimalDegrees = !dms;
    side.unsignedLongitude = unsignedLongitude;
    return side;
}

Side geocentric(int datum)
{
    Side side;
    setup_geoc(datum, &side.system);
    side.systemType = 1;
    return side;
}

Side gaussKrugerSide(int datum, int zone)
{
    Side side;
    if (datum == 42)
        setup_sk42(unsigned(zone), KV_HEMISPHERE_NORTH, &side.system);
    else
        setup_gk(datum, unsigned(zone), KV_HEMISPHERE_NORTH, &side.system);
    side.systemType = 3;
    return side;
}

// GSK 2011 Gauss-Krüger as the panel writes it with the zone (and on the
// output panel the hemisphere) left automatic.
Side gsk2011Automatic(int hemisphere)
{
    Side side;
    invalidate_refsystem(&side.system);
    side.system.type = KV_TYPE_PROJECTED;
    side.system.datum = KV_DATUM_GSK2011;
    side.system.hemisphere = hemisphere;
    side.system.axis_order = KV_AXES_NORTHING_EASTING;
    side.system.zone = 0;
    side.systemType = 3;
    return side;
}

Side utmSide(int zone)
{
    Side side;
    setup_utm(unsigned(zone), KV_HEMISPHERE_NORTH, &side.system);
    side.systemType = 4;
    return side;
}

Side withGeoid(Side side)
{
    side.geoidIndex = 1;
    return side;
}

} // namespace

class TestCalculation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase()
    {
        invalidate_geoid(&grid);
        invalidate_geoid(&shipped);
    }
    void againstProj_data();
    void againstProj();
    void rowForms_data();
    void rowForms();
    void setUp_data();
    void setUp();

private:
    ::geoid grid {};
    ::geoid shipped {}; // EGM96, when built
};

// Geoid height 10 m over latitudes 40..60 and longitudes 30..50, on WGS 84.
void TestCalculation::initTestCase()
{
    initialize_null_geoid_data(&grid.grid);
    grid.grid.lat_min = 40, grid.grid.lat_max = 60, grid.grid.lat_step = 10;
    grid.grid.lon_min = 30, grid.grid.lon_max = 50, grid.grid.lon_step = 10;
    QVERIFY(complete_geoid_data_grid(&grid.grid) && geoid_data_allocate_memory(&grid.grid));
    for (int i = 0; i < 9; ++i)
        QVERIFY(set_geoid_data_value(&grid.grid, i / 3, i % 3, 10.0f));
    QVERIFY(setup_geod(KV_DATUM_WGS84, &grid.refsys) && check_geoid(&grid));
    initialize_null_geoid_data(&shipped.grid);
    load_EGM96(KELVADRA_EGM96_GRD, &shipped, nullptr);
}

void TestCalculation::againstProj_data()
{
    QTest::addColumn<Side>("from");
    QTest::addColumn<Side>("to");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QByteArray>("steps"); // from geodetic WGS 84
    QTest::addColumn<bool>("inverse");     // the steps lead into `from`, not `to`

    const QString p1 = QStringLiteral("P1; 55 45 5; 37 37 6; ");
    const QByteArray gsk7 = wgs84To(2011) + gaussKruger(2011, 7);
    const QByteArray gsk8 = wgs84To(2011) + gaussKruger(2011, 8);
    const Side dms = geodetic(84), decimal = geodetic(84, false), automatic = gsk2011Automatic(0);
    dataRow("P1, blank height, into Pulkovo 42", dms, geodetic(42, false), p1,
        wgs84To(42) + toGeodetic(42), false);
    dataRow("P1 into Pulkovo 42 DMS", dms, geodetic(42), p1, wgs84To(42) + toGeodetic(42), false);
    // A geocentric side's third coordinate is Z: its geoid list, disabled
    // but still showing "EGM96", changes nothing.
    dataRow("into geocentric, geoid listed", dms, withGeoid(geocentric(42)), p1 + "150.25",
        wgs84To(42), false);
    dataRow("from geocentric, geoid listed", withGeoid(geocentric(84)), decimal,
        QString("G; 2849000.5; 2195000.25; 5249000"), wgs84To(84), true);
    dataRow("SK-42 zone 7 into WGS 84", gaussKrugerSide(42, 7), decimal,
        QString("S; 6175000.0; 7420000.0; 150"), wgs84To(42) + gaussKruger(42, 7), true);
    dataRow("fixed zone 7 at 42.5", dms, gaussKrugerSide(2011, 7), QString("B; 55.5; 42.5; 100"),
        gsk7, false);
    // The zone, and on the output side the hemisphere, chosen per point.
    dataRow("automatic zone 7", dms, automatic, QString("A; 55.5; 37.5; 100"), gsk7, false);
    dataRow("automatic zone 8", dms, automatic, QString("B; 55.5; 45.5; 100"), gsk8, false);
    dataRow("automatic southern zone 8", dms, automatic, QString("C; -33.25; 45.5; 100"),
        wgs84To(2011) + gaussKruger(2011, 8, true), false);
    dataRow("zone 7 from the easting", gsk2011Automatic(1), decimal,
        QString("A; 6152000.125; 7468000.5; 12"), gsk7, true);
    dataRow("zone 8 from the easting", gsk2011Automatic(1), decimal,
        QString("B; 6152000.125; 8468000.5; 12"), gsk8, true);
    // Heights above EGM96 in rows of the kinds that used to fail: into SK-42
    // zones with zone and hemisphere automatic (the output panel's default),
    // from zones 3.5 deg off their meridian, a Gauss-Krüger zone on SK-42,
    // SK-42 beyond 180 E and a zone read from an easting outside its strip.
    Side sk42Auto, utm, gk42, sk42East;
    setup_sk42(0, 0, &sk42Auto.system);
    setup_utm(37, 1, &utm.system);
    setup_gk(42, 7, 1, &gk42.system);
    setup_sk42(0, 1, &sk42East.system);
    sk42Auto.systemType = gk42.systemType = sk42East.systemType = 3;
    utm.systemType = 4;
    const Side intoZone = withGeoid(sk42Auto);
    const QByteArray sk42 = wgs84To(42), w84 = wgs84To(84);
    dataRow("EGM96, automatic, Moscow", dms, intoZone, QString("A; 55.75; 37.62; 200"),
        aboveEgm96(sk42 + gaussKruger(42, 7)), false);
    dataRow("EGM96, automatic, south", dms, intoZone, QString("B; -33.9; 18.4; 50"),
        aboveEgm96(sk42 + gaussKruger(42, 4, true)), false);
    dataRow("EGM96, UTM 37N 3.5 deg west", withGeoid(utm), decimal,
        QString("U; 207408.276; 4589076.289; 100"),
        aboveEgm96(w84 + " +step +inv +proj=cart +ellps=WGS84 +step +proj=utm +zone=37"), true);
    dataRow("EGM96, zone 7 on SK-42, east", withGeoid(gk42), decimal,
        QString("L; 6646586.358; 7662391.793; 100"), aboveEgm96(sk42 + gaussKruger(42, 7)), true);
    dataRow("EGM96, SK-42 at 185 E", withGeoid(geodetic(42, false)), decimal,
        QString("M; 65; 185; 100"), aboveEgm96(sk42 + toGeodetic(42)), true);
    dataRow("EGM96, automatic GSK 2011 zone into automatic SK-42", gsk2011Automatic(1), intoZone,
        QString("G; 6152000.125; 7468000.5; 12"),
        " +step +inv +proj=tmerc +lon_0=39 +k=1 +x_0=7500000 +a=6378136.5 +rf=298.2564151"
        " +step +proj=cart +a=6378136.5 +rf=298.2564151"
            + helmert(2011, 1) + helmert(84, -1) + toGeodetic(84)
            + aboveEgm96(sk42 + gaussKruger(42, 7)),
        false);
    dataRow("EGM96, zone from an easting 0.6 deg out of the strip", withGeoid(sk42East), decimal,
        QString("N; 6437055.759; 7712934.229; 100"), aboveEgm96(sk42 + gaussKruger(42, 7)), true);
}

void TestCalculation::againstProj()
{
    QFETCH(Side, from);
    QFETCH(Side, to);
    QFETCH(QString, row);
    QFETCH(QByteArray, steps);
    QFETCH(bool, inverse);

    // 2 mm where the heights are above EGM96: bilinear geoid heights of the
    // same floats, a height settled within 0.1 mm, both rounded to 1 mm.
    const bool egm96 = steps.contains("egm96");
    if (egm96 && !check_geoid(&shipped))
        QSKIP("egm96.grd has not been built");
    Calculator calculator(from, to, egm96 ? &shipped : &grid);
    const bool fixed = check_refsystem(&from.system) && check_refsystem(&to.system);
    QVERIFY(fixed ? calculator.setUpFixed() : calculator.setUpAutoZone());
    bool error = true;
    const QStringList out = calculator.convertRow(row, &error).split(QStringLiteral("; "));
    QVERIFY(!error);
    QCOMPARE(out.size(), 4);

    const QStringList cells = row.split(QLatin1Char(';'));
    double in[3], expected[3];
    for (int i = 0; i < 3; ++i) {
        const QString c = cells[i + 1].trimmed();
        in[i] = c.isEmpty()                 ? 0
            : i < 2 && from.systemType == 2 ? CellText::parseAngle(c)
                                            : number(c);
    }
    QVERIFY(
        runProj(steps, from.systemType % 3 != 1, to.systemType % 3 != 1, // UTM (4) is easting first
            in, expected, inverse ? PJ_INV : PJ_FWD));

    for (int i = 0; i < 3; ++i) {
        const bool angle = to.systemType == 2 && i < 2;
        if (i == 2 && cells[3].trimmed().isEmpty()) { // a blank height stays blank
            QCOMPARE(out[3], QString());
            continue;
        }
        // The written form: 9 decimals, "d m s.sssss" or 3 decimals.
        const QString form = !angle ? QStringLiteral("-?\\d+\\.\\d{3}")
            : to.dmsUnits           ? QStringLiteral("-?\\d+ \\d+ \\d+\\.\\d{5}")
                                    : QStringLiteral("-?\\d+\\.\\d{9}");
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(form))
                     .match(out[i + 1])
                     .hasMatch(),
            qPrintable(out[i + 1]));
        const double got = angle ? CellText::parseAngle(out[i + 1]) : number(out[i + 1]);
        QVERIFY2(std::fabs(got - expected[i])
                < (angle ? angleTolerance : lengthTolerance) * (egm96 ? 2 : 1),
            qPrintable(QStringLiteral("%1 vs %2").arg(out[i + 1]).arg(expected[i], 0, 'f', 9)));
    }
}

void TestCalculation::rowForms_data()
{
    QTest::addColumn<Side>("from");
    QTest::addColumn<Side>("to");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("error");
    QTest::addColumn<QString>("reason"); // checked when given

    // Mostly from DMS (where decimal texts are valid too) into decimal degrees.
    const Side dms = geodetic(84), deg = geodetic(84, false), east = gsk2011Automatic(1);
    const Side geoidDms = withGeoid(dms), geoidDeg = withGeoid(deg), u = geodetic(84, false, true);
    // clang-format off
    const Side sk42 = gaussKrugerSide(42, 7), gsk7 = gaussKrugerSide(2011, 7), out = geodetic(84, false);
    Side utm37 = utmSide(37);
    const struct { const char *name; Side from, to; const char *row, *expected; bool error;
                   const char *reason = nullptr; }
    cases[] = {
        { "decimal", dms, deg, "A; 10.5; -20.25; 7",
          "A; 10.500000000; -20.250000000; 7.000", false },
        { "DMS, negative", dms, deg, "A; -10 30; 20 15 0; -3.5",
          "A; -10.500000000; 20.250000000; -3.500", false },
        { "name trimmed, blank height", dms, deg, " ; 1; 2; ", "; 1.000000000; 2.000000000; ",
          false },
        { "no coordinates: no error", dms, deg, "  P2  ; ; ;  ", "P2; ; ; ", false },
        { "one coordinate missing", dms, deg, "P3; 10; ; 5", "P3; ; ; ", true,
          "неверная запись координат" },
        { "letter as point", dms, deg, "P4; 55x5; 37; 0", "P4; ; ; ", true },
        { "decimal comma", dms, deg, "P5; 55,5; 37; 0", "P5; ; ; ", true },
        { "3-digit latitude", dms, deg, "P7; 100 0 0; 37; 0", "P7; ; ; ", true },
        { "geocentric needs Z", dms, geocentric(42), "P1; 55 45 5; 37 37 6; ", "P1; ; ; ", true },
        // "от 0 до 360 градусов": western longitudes plus 360, eastern as they are.
        { "-75.5 as 284.5", dms, u, "W; 40.25; -75.5; ", "W; 40.250000000; 284.500000000; ",
          false },
        { "75.5 kept", dms, u, "E; 40.25; 75.5; ", "E; 40.250000000; 75.500000000; ", false },
        { "-75 30 as 284 30", dms, geodetic(84, true, true), "W; 40 15; -75 30; ",
          "W; 40 15 0.00000; 284 30 0.00000; ", false },
        // Still incomplete after the zone is read from the easting: the row fails.
        { "easting without zone", east, deg, "C; 6152000.125; 468000.5; 12", "C; ; ; ", true },
        { "easting of zone 61", east, deg, "D; 6152000.125; 61468000.5; 12", "D; ; ; ", true },
        // Heights above the geoid on either side; outside the grid the row fails.
        { "geoid out", dms, geoidDeg, "A; 50; 40; 100",
          "A; 50.000000000; 40.000000000; 90.000", false },
        { "geoid out, blank height", dms, geoidDeg, "B; 50; 40; ",
          "B; 50.000000000; 40.000000000; ", false },
        { "geoid out, outside the grid", dms, geoidDeg, "C; 10; 10; 100", "C; ; ; ", true,
          "нет значения высоты геоида в этой точке" },
        // Texts that read as numbers but denote no point.
        { "60 seconds", dms, deg, "S; 55; 37 0 60; 0", "S; ; ; ", true,
          "минуты или секунды не меньше 60" },
        { "59.99999 seconds", dms, deg, "S; 55 59 59.99999; -37; ",
          "S; 55.999999997; -37.000000000; ", false },
        { "latitude -90.5", deg, deg, "L; -90.5; 37; 0", "L; ; ; ", true, "широта больше 90°" },
        { "latitude 90, longitude 0 to 360", deg, deg, "N; 90; 359.5; 0",
          "N; 90.000000000; 359.500000000; 0.000", false },
        { "easting of zone 8", gsk7, out, "Y; 6175000; 8500000; 0", "Y; ; ; ", true,
          "номер зоны в ординате не совпадает с зоной 7" },
        // 6 degrees of longitude from the zone's meridian, on either side.
        { "into zone 7, 5.9 degrees off", dms, gsk7, "F; 55; 44.9; 0", nullptr, false },
        { "into zone 7, 8 degrees off", dms, gsk7, "F; 55; 47; 0", "F; ; ; ", true,
          "точка дальше 6° от осевого меридиана зоны" },
        // Near the equator 5.5 degrees lie past 500 km: the easting would lose its zone's number.
        { "into zone 7 at the equator", dms, gsk7, "E; 1; 44.5; 0", "E; ; ; ", true,
          "номер зоны в ординате не совпадает с зоной 7" },
        { "into zone 7 from the west", dms, sk42, "F; 55; 32.5; 0", "F; ; ; ", true,
          "точка дальше 6° от осевого меридиана зоны" },
        { "from zone 7, 7 degrees off", sk42, out, "F; 6100000; 7950000; 0", "F; ; ; ", true,
          "точка дальше 6° от осевого меридиана зоны" },
        { "into UTM 37, 9 degrees off", dms, utm37, "F; 40; 48; 0", "F; ; ; ", true,
          "точка дальше 6° от осевого меридиана зоны" },
        { "from zone 17 read from the easting", east, deg, "F; 6100000; 17950000; 0", "F; ; ; ",
          true, "точка дальше 6° от осевого меридиана зоны" },
        { "geoid in", geoidDms, deg, "A; 50; 40; 90",
          "A; 50.000000000; 40.000000000; 100.000", false },
        { "geoid both, automatic zone", geoidDms, withGeoid(gsk2011Automatic(0)), "A; 50; 40; 90",
          "A; 5541326.002; 7571695.305; 90.000", false },
    };
    // clang-format on
    for (const auto &c : cases)
        dataRow(c.name, c.from, c.to, QString::fromUtf8(c.row), QString::fromUtf8(c.expected),
            c.error, c.reason ? QString::fromUtf8(c.reason) : QString());
}

void TestCalculation::rowForms()
{
    QFETCH(Side, from);
    QFETCH(Side, to);
    QFETCH(QString, row);
    QFETCH(QString, expected);
    QFETCH(bool, error);
    QFETCH(QString, reason);

    Calculator calculator(from, to, &grid);
    const bool fixed = check_refsystem(&from.system) && check_refsystem(&to.system);
    QVERIFY(fixed ? calculator.setUpFixed() : calculator.setUpAutoZone());
    bool failed = !error;
    const QString got = calculator.convertRow(row, &failed);
    if (!expected.isEmpty())
        QCOMPARE(got, expected);
    QCOMPARE(failed, error);

    // The list's error flag, failed rows and reasons follow its rows.
    const Calculation::Result result = calculator.run({"; ; ; ", row, "; ; ; "});
    QCOMPARE(result.rows.value(1), got);
    QCOMPARE(result.rows.size(), 3);
    QCOMPARE(result.errors, error);
    QCOMPARE(result.points, error || !got.endsWith(QLatin1String("; ; ; ")) ? 1 : 0);
    QCOMPARE(result.failedRows, error ? QVector<int> {1} : QVector<int>());
    QCOMPARE(result.reasons.size(), result.failedRows.size());
    if (!reason.isEmpty())
        QCOMPARE(result.reasons.value(0), reason);
    QCOMPARE(result.summary(),
        QStringLiteral("Пересчитано %1 из %2 точек").arg(result.points - error).arg(result.points)
            + (error ? QStringLiteral(", ошибок: 1 (строки 2)") : QString()));
}

// A side that uses the geoid needs a usable grid, in either routine; a
// geocentric side never uses it.
void TestCalculation::setUp_data()
{
    QTest::addColumn<Side>("from");
    QTest::addColumn<Side>("to");
    QTest::addColumn<bool>("ready");

    const Side above = withGeoid(geodetic(84, false));
    QTest::newRow("geoid out") << geodetic(84) << above << false;
    QTest::newRow("geoid in") << above << geodetic(84) << false;
    QTest::newRow("geoid out, automatic zone")
        << geodetic(84) << withGeoid(gsk2011Automatic(0)) << false;
    QTest::newRow("geoid in, automatic zone") << above << gsk2011Automatic(0) << false;
    QTest::newRow("no geoid") << geodetic(84) << geodetic(42) << true;
    QTest::newRow("no geoid, automatic zone") << geodetic(84) << gsk2011Automatic(0) << true;
    QTest::newRow("geocentric out") << geodetic(84) << withGeoid(geocentric(84)) << true;
    QTest::newRow("geocentric in") << withGeoid(geocentric(84)) << geodetic(84) << true;
    QTest::newRow("geocentric in, automatic zone")
        << withGeoid(geocentric(84)) << gsk2011Automatic(0) << true;
}

void TestCalculation::setUp()
{
    QFETCH(Side, from);
    QFETCH(Side, to);
    QFETCH(bool, ready);

    ::geoid empty {};
    initialize_null_geoid_data(&empty.grid);
    invalidate_geoid(&empty);
    const bool fixed = check_refsystem(&from.system) && check_refsystem(&to.system);
    for (const ::geoid *g : {&empty, static_cast<::geoid *>(nullptr)}) {
        Calculator calculator(from, to, g);
        QCOMPARE(fixed ? calculator.setUpFixed() : calculator.setUpAutoZone(), ready);
    }
}

QTEST_GUILESS_MAIN(TestCalculation)
#include "tst_calculation.moc"
