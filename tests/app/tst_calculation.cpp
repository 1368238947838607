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
    void cleanupTestCase() { invalidate_geoid(&grid); }
    void againstProj_data();
    void againstProj();
    void rowForms_data();
    void rowForms();
    void setUp_data();
    void setUp();
    void heightsAboveEgm96_data();
    void heightsAboveEgm96();

private:
    ::geoid grid {};
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
    dataRow("fixed zone 7 at 45.5", dms, gaussKrugerSide(2011, 7), QString("B; 55.5; 45.5; 100"),
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
}

void TestCalculation::againstProj()
{
    QFETCH(Side, from);
    QFETCH(Side, to);
    QFETCH(QString, row);
    QFETCH(QByteArray, steps);
    QFETCH(bool, inverse);

    Calculator calculator(from, to, &grid);
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
    QVERIFY(runProj(
        steps, from.systemType != 1, to.systemType != 1, in, expected, inverse ? PJ_INV : PJ_FWD));

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
        QVERIFY2(std::fabs(got - expected[i]) < (angle ? angleTolerance : lengthTolerance),
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

    // Mostly from DMS (where decimal texts are valid too) into decimal degrees.
    const Side dms = geodetic(84), deg = geodetic(84, false), east = gsk2011Automatic(1);
    const Side geoidDms = withGeoid(dms), geoidDeg = withGeoid(deg), u = geodetic(84, false, true);
    // clang-format off
    const struct { const char *name; Side from, to; const char *row, *expected; bool error; }
    cases[] = {
        { "decimal", dms, deg, "A; 10.5; -20.25; 7",
          "A; 10.500000000; -20.250000000; 7.000", false },
        { "DMS, negative", dms, deg, "A; -10 30; 20 15 0; -3.5",
          "A; -10.500000000; 20.250000000; -3.500", false },
        { "name trimmed, blank height", dms, deg, " ; 1; 2; ", "; 1.000000000; 2.000000000; ",
          false },
        { "no coordinates: no error", dms, deg, "  P2  ; ; ;  ", "P2; ; ; ", false },
        { "one coordinate missing", dms, deg, "P3; 10; ; 5", "P3; ; ; ", true },
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
        { "geoid out, outside the grid", dms, geoidDeg, "C; 10; 10; 100", "C; ; ; ", true },
        { "geoid in", geoidDms, deg, "A; 50; 40; 90",
          "A; 50.000000000; 40.000000000; 100.000", false },
        { "geoid both, automatic zone", geoidDms, withGeoid(gsk2011Automatic(0)), "A; 50; 40; 90",
          "A; 5541326.002; 7571695.305; 90.000", false },
    };
    // clang-format on
    for (const auto &c : cases)
        dataRow(
            c.name, c.from, c.to, QString::fromUtf8(c.row), QString::fromUtf8(c.expected), c.error);
}

void TestCalculation::rowForms()
{
    QFETCH(Side, from);
    QFETCH(Side, to);
    QFETCH(QString, row);
    QFETCH(QString, expected);
    QFETCH(bool, error);

    Calculator calculator(from, to, &grid);
    const bool fixed = check_refsystem(&from.system) && check_refsystem(&to.system);
    QVERIFY(fixed ? calculator.setUpFixed() : calculator.setUpAutoZone());
    bool failed = !error;
    QCOMPARE(calculator.convertRow(row, &failed), expected);
    QCOMPARE(failed, error);

    // The list's error flag follows its rows.
    const Calculation::Result result = calculator.run({"; ; ; ", row, "; ; ; "});
    QCOMPARE(result.rows.value(1), expected);
    QCOMPARE(result.rows.size(), 3);
    QCOMPARE(result.errors, error);
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

// Rows with heights above EGM96 of the kinds that used to fail every time or
// now and then: into SK-42 zones with automatic zone and hemisphere (the
// output panel's default), and from zones 2.5-3.6 deg off their meridian, a
// Gauss-Krüger zone on SK-42, SK-42 beyond 180 deg and a zone read from an
// easting outside its strip. Each converts, within 2 mm of PROJ's
// vgridshift on the source grid.
void TestCalculation::heightsAboveEgm96_data()
{
    QTest::addColumn<Side>("from");
    QTest::addColumn<Side>("to");
    QTest::addColumn<Side>("made");  // where the input coordinates are made
    QTest::addColumn<double>("lat"); // the place, WGS 84 degrees
    QTest::addColumn<double>("lon");

    const auto zoneSide = [](int systemType, int type, int datum, int zone, int hemisphere) {
        Side side;
        if (type == KV_TYPE_GK_ZONE)
            setup_sk42(unsigned(zone), hemisphere, &side.system);
        else if (datum == 84)
            setup_utm(unsigned(zone), hemisphere, &side.system);
        else
            setup_gk(datum, unsigned(zone), hemisphere, &side.system);
        side.systemType = systemType;
        return side;
    };
    const Side wgs = geodetic(84, false), sk42 = geodetic(42, false);
    const Side sk42Auto = withGeoid(zoneSide(3, KV_TYPE_GK_ZONE, 42, 0, 0));
    const Side utm = zoneSide(4, KV_TYPE_PROJECTED, 84, 37, 1);
    const Side gk42 = zoneSide(3, KV_TYPE_PROJECTED, 42, 7, 1);
    const Side sk42Zone7 = zoneSide(3, KV_TYPE_GK_ZONE, 42, 7, 1);
    dataRow("into SK-42, automatic, Moscow", wgs, sk42Auto, wgs, 55.75, 37.62);
    dataRow("into SK-42, automatic, south", wgs, sk42Auto, wgs, -33.9, 18.4);
    dataRow("into SK-42, automatic, Chukotka", wgs, sk42Auto, wgs, 64.7, 177.5);
    dataRow("UTM 37N 3.5 deg west", withGeoid(utm), wgs, utm, 41.4, 35.5);
    dataRow("UTM 37N 3.5 deg east", withGeoid(utm), wgs, utm, 42.8, 42.5);
    dataRow("Gauss-Krüger zone 7 on SK-42, west", withGeoid(gk42), wgs, gk42, 58.8, 35.8);
    dataRow("Gauss-Krüger zone 7 on SK-42, east", withGeoid(gk42), wgs, gk42, 59.9, 41.9);
    dataRow("SK-42 at 185 E", withGeoid(sk42), wgs, sk42, 65.0, 185.0);
    dataRow("SK-42 zone read from the easting, 0.6 deg out of the strip",
        withGeoid(zoneSide(3, KV_TYPE_GK_ZONE, 42, 0, 1)), wgs, sk42Zone7, 58.0, 42.6);
}

void TestCalculation::heightsAboveEgm96()
{
    QFETCH(Side, from);
    QFETCH(Side, to);
    QFETCH(Side, made);
    QFETCH(double, lat);
    QFETCH(double, lon);
    ::geoid egm96 {};
    initialize_null_geoid_data(&egm96.grid);
    PJ *vgrid = proj_create(nullptr, "+proj=vgridshift +multiplier=1 +grids=egm96_15.gtx");
    if (!vgrid || !load_EGM96(KELVADRA_EGM96_GRD, &egm96, nullptr)) {
        proj_destroy(vgrid);
        QSKIP("egm96.grd is not built or PROJ cannot read egm96_15.gtx");
    }
    const auto geoidHeight = [vgrid](double latitude, double longitude) {
        return proj_trans(
            vgrid, PJ_FWD, proj_coord(proj_torad(longitude), proj_torad(latitude), 0, 0))
            .xyz.z;
    };

    // The input row: the place in `made`, 123.456 m above the geoid or
    // ellipsoidal in WGS 84.
    refsystem wgs;
    transform toMade;
    const double place[3] = {lat, lon, 123.456};
    double in[3];
    QVERIFY(setup_geod(84, &wgs) && initialize_transform(&wgs, &made.system, &toMade)
        && transform_coords(place, &toMade, in));
    if (made.systemType == 2 && lon > 180 && in[1] < 0)
        in[1] += 360; // the longitude as given, beyond 180
    in[2] = place[2];
    const QString row = QStringLiteral("R; %1; %2; %3")
                            .arg(in[0], 0, 'f', 9)
                            .arg(in[1], 0, 'f', 9)
                            .arg(in[2], 0, 'f', 3);

    Calculator calculator(from, to, &egm96);
    QVERIFY(calculator.setUpFixed());
    bool error = true;
    const QStringList out = calculator.convertRow(row, &error).split(QStringLiteral("; "));
    QVERIFY2(!error && out.size() == 4, qPrintable(row));
    const double got[3] = {number(out[1]), number(out[2]), number(out[3])};
    double expected[3];
    if (to.geoidIndex) { // from WGS 84: the position by PROJ, H = h - N at the place
        const int zone = int(std::floor((lon + 6) / 6));
        QVERIFY(runProj(
            wgs84To(42) + gaussKruger(42, zone, lat < 0), true, true, place, expected, PJ_FWD));
        expected[2] = place[2] - geoidHeight(lat, lon);
    } else { // into WGS 84: the place, h = H + N where the point lies
        expected[0] = lat;
        expected[1] = std::remainder(lon, 360.0);
        expected[2] = place[2] + geoidHeight(got[0], got[1]);
    }
    const double metresPerDegree = to.geoidIndex ? 1.0 : 111320.0;
    for (int i = 0; i < 3; ++i) {
        const double scale = i == 0 ? metresPerDegree
            : i == 1                ? metresPerDegree * std::cos(lat * M_PI / 180)
                                    : 1.0;
        QVERIFY2(
            std::fabs(std::remainder(got[i] - expected[i], i == 1 && !to.geoidIndex ? 360 : 1e9))
                    * scale
                < 0.002,
            qPrintable(
                QStringLiteral("%1: %2 vs %3").arg(i).arg(out[i + 1]).arg(expected[i], 0, 'f', 9)));
    }
    proj_destroy(vgrid);
    invalidate_geoid(&egm96);
}

QTEST_GUILESS_MAIN(TestCalculation)
#include "tst_calculation.moc"
