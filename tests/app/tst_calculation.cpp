// The row conversion without widgets: result forms, failed rows, automatic
// GSK 2011 zones, geoid heights, and converted values against PROJ built from
// the same Helmert parameters (through PZ 90.11) and ellipsoids.
#include "Calculation.h"

#include <proj.h>

#include <QtTest>

#include <cmath>

using Calculation::Calculator;
using Calculation::Side;

namespace {

// Tolerances: 0.00005" of arc for angles, 1 mm for lengths. The library and
// PROJ compose the two Helmert steps differently (first order against exact
// products), which moves a point by well under a micrometre.
const double angleTolerance = 0.00005 / 3600; // degrees
const double lengthTolerance = 0.001; // metres

// Helmert parameters to PZ 90.11: metres, milliarcseconds, ppm.
struct Shift
{
    int datum;
    const char *ellipsoid;
    double dx, dy, dz, wx, wy, wz, dm;
};

const Shift shifts[] = {
    { KV_DATUM_WGS84, "+ellps=WGS84", -0.013, 0.106, 0.022, -2.30, 3.54, -4.21, -0.008 },
    { KV_DATUM_PULKOVO42, "+ellps=krass", 23.557, -140.844, -79.778, -2.30, -346.46, -794.21,
        -0.228 },
    { KV_DATUM_GSK2011, "+a=6378136.5 +rf=298.2564151", 0, 0.014, -0.008, -0.562, -0.019, 0.053,
        -0.0006 },
};

const Shift &shiftOf(int datum)
{
    for (const Shift &shift : shifts) {
        if (shift.datum == datum)
            return shift;
    }
    qFatal("no test parameters for datum %d", datum);
}

// The library's rotation matrix [[1, wz, -wy], [-wz, 1, wx], [wy, -wx, 1]] is
// PROJ's coordinate frame convention; the way back from the hub negates all
// seven values.
QByteArray helmert(const Shift &s, double sign)
{
    return QStringLiteral(" +step +proj=helmert +convention=coordinate_frame +x=%1 +y=%2 +z=%3"
                          " +rx=%4 +ry=%5 +rz=%6 +s=%7")
        .arg(sign * s.dx, 0, 'g', 17)
        .arg(sign * s.dy, 0, 'g', 17)
        .arg(sign * s.dz, 0, 'g', 17)
        .arg(sign * s.wx / 1000, 0, 'g', 17)
        .arg(sign * s.wy / 1000, 0, 'g', 17)
        .arg(sign * s.wz / 1000, 0, 'g', 17)
        .arg(sign * s.dm, 0, 'g', 17)
        .toLatin1();
}

// Geocentric coordinates of `from` into those of `to`.
QByteArray datumShift(int from, int to)
{
    if (from == to)
        return QByteArray();
    return helmert(shiftOf(from), 1) + helmert(shiftOf(to), -1);
}

QByteArray fromGeodetic(int datum)
{
    return QByteArray(" +step +proj=unitconvert +xy_in=deg +xy_out=rad +step +proj=cart ")
        + shiftOf(datum).ellipsoid;
}

QByteArray toGeodetic(int datum)
{
    return QByteArray(" +step +inv +proj=cart ") + shiftOf(datum).ellipsoid
        + " +step +proj=unitconvert +xy_in=rad +xy_out=deg";
}

// Gauss-Krüger zone n of a datum: northing and easting with the zone prefix.
QByteArray gaussKruger(int datum, int zone)
{
    return QStringLiteral(" +step +inv +proj=cart %1 +step +proj=tmerc +lon_0=%2 +k=1 +x_0=%3"
                          " +y_0=0 %1")
        .arg(QLatin1String(shiftOf(datum).ellipsoid))
        .arg(6 * zone - 3)
        .arg(zone * 1000000 + 500000)
        .toLatin1();
}

// Runs a PROJ pipeline on (a, b, c) in the table's order; geodetic points
// (latitude, longitude) and Gauss-Krüger points (northing, easting) are
// swapped into PROJ's (east, north) order and back.
struct Proj
{
    Proj()
        : context(proj_context_create())
    {
    }
    ~Proj() { proj_context_destroy(context); }

    bool run(const QByteArray &steps, bool swapIn, bool swapOut, const double in[3], double out[3],
        PJ_DIRECTION direction = PJ_FWD)
    {
        PJ *pipeline = proj_create(context, ("+proj=pipeline" + steps).constData());
        if (!pipeline)
            return false;
        PJ_COORD c
            = swapIn ? proj_coord(in[1], in[0], in[2], 0) : proj_coord(in[0], in[1], in[2], 0);
        c = proj_trans(pipeline, direction, c);
        proj_destroy(pipeline);
        out[0] = swapOut ? c.xyz.y : c.xyz.x;
        out[1] = swapOut ? c.xyz.x : c.xyz.y;
        out[2] = c.xyz.z;
        return std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]);
    }

    PJ_CONTEXT *context;
};

Side geodetic(int datum, bool dms = true)
{
    Side side;
    setup_geod(datum, &side.system);
    side.systemType = 2;
    side.dmsUnits = dms;
    side.decimalDegrees = !dms;
    return side;
}

Side geocentric(int datum)
{
    Side side;
    setup_geoc(datum, &side.system);
    side.systemType = 1;
    return side;
}

// A GSK 2011 Gauss-Krüger record as the panel writes it with the zone (and,
// on the output panel, the hemisphere) left automatic.
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

Side gsk2011Zone(int zone)
{
    Side side;
    setup_gk(KV_DATUM_GSK2011, unsigned(zone), KV_HEMISPHERE_NORTH, &side.system);
    side.systemType = 3;
    return side;
}

QStringList cells(const QString &rowText)
{
    return rowText.split(QStringLiteral("; "));
}

double number(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        qWarning("not a number: \"%s\"", qPrintable(text));
    return value;
}

// A grid of constant geoid height n over the given area, on WGS 84.
void makeGeoid(::geoid *g, double n, double latMin, double latMax, double lonMin, double lonMax)
{
    initialize_null_geoid_data(&g->grid);
    g->grid.lat_min = latMin;
    g->grid.lat_max = latMax;
    g->grid.lon_min = lonMin;
    g->grid.lon_max = lonMax;
    g->grid.lat_step = (latMax - latMin) / 2;
    g->grid.lon_step = (lonMax - lonMin) / 2;
    QVERIFY(complete_geoid_data_grid(&g->grid));
    QVERIFY(geoid_data_allocate_memory(&g->grid));
    for (int r = 0; r < g->grid.rows; ++r) {
        for (int c = 0; c < g->grid.cols; ++c)
            set_geoid_data_value(&g->grid, r, c, float(n));
    }
    QVERIFY(setup_geod(KV_DATUM_WGS84, &g->refsys));
    QVERIFY(check_geoid(g));
}

} // namespace

class TestCalculation : public QObject
{
    Q_OBJECT

private slots:
    void geodeticIntoAnotherDatum();
    void geocentricNeedsAllThree();
    void rowForms_data();
    void rowForms();
    void automaticTargetZone();
    void automaticSourceZone();
    void sk42ZoneIntoWgs84();
    void unsignedLongitude();
    void geoidHeights();
    void geoidWithoutGrid();
    void geocentricSideIgnoresGeoid();

private:
    Proj proj;
};

// P1 at 55 45 5 / 37 37 6 with a blank height, WGS 84 into Pulkovo 42 in
// decimal degrees: height 0 is used, and the result's height stays blank.
void TestCalculation::geodeticIntoAnotherDatum()
{
    Calculator calculator(geodetic(KV_DATUM_WGS84), geodetic(KV_DATUM_PULKOVO42, false), nullptr);
    QVERIFY(calculator.setUpFixed());
    bool error = true;
    const QString row = calculator.convertRow(QStringLiteral(" P1 ; 55 45 5; 37 37 6; "), &error);
    QVERIFY(!error);
    const QStringList out = cells(row);
    QCOMPARE(out.size(), 4);
    QCOMPARE(out[0], QStringLiteral("P1"));
    QCOMPARE(out[3], QString());
    // Nine decimals: the point and nine digits after it.
    QCOMPARE(out[1].size() - out[1].indexOf(QLatin1Char('.')), 10);
    QCOMPARE(out[2].size() - out[2].indexOf(QLatin1Char('.')), 10);

    const double in[3] = { 55 + 45 / 60.0 + 5 / 3600.0, 37 + 37 / 60.0 + 6 / 3600.0, 0 };
    double expected[3] = {};
    QVERIFY(proj.run(fromGeodetic(KV_DATUM_WGS84) + datumShift(KV_DATUM_WGS84, KV_DATUM_PULKOVO42)
            + toGeodetic(KV_DATUM_PULKOVO42),
        true, true, in, expected));
    QVERIFY(std::fabs(number(out[1]) - expected[0]) < angleTolerance);
    QVERIFY(std::fabs(number(out[2]) - expected[1]) < angleTolerance);
    // The shift itself is far larger than the tolerance: the datums differ.
    QVERIFY(std::fabs(number(out[2]) - in[1]) > 1e-4);

    // The same point in DMS.
    Calculator dms(geodetic(KV_DATUM_WGS84), geodetic(KV_DATUM_PULKOVO42, true), nullptr);
    QVERIFY(dms.setUpFixed());
    const QStringList dmsOut
        = cells(dms.convertRow(QStringLiteral("P1; 55 45 5; 37 37 6; "), &error));
    QVERIFY(!error);
    const QStringList latitude = dmsOut[1].split(QLatin1Char(' '));
    QCOMPARE(latitude.size(), 3);
    const double dmsLatitude
        = number(latitude[0]) + number(latitude[1]) / 60 + number(latitude[2]) / 3600;
    QVERIFY(std::fabs(dmsLatitude - expected[0]) < angleTolerance);
}

// A geocentric target has no height to default: a blank third text makes
// the row invalid.
void TestCalculation::geocentricNeedsAllThree()
{
    Calculator calculator(geodetic(KV_DATUM_WGS84), geocentric(KV_DATUM_PULKOVO42), nullptr);
    QVERIFY(calculator.setUpFixed());
    bool error = false;
    QCOMPARE(calculator.convertRow(QStringLiteral("P1; 55 45 5; 37 37 6; "), &error),
        QStringLiteral("P1; ; ; "));
    QVERIFY(error);

    const QStringList out
        = cells(calculator.convertRow(QStringLiteral("P1; 55 45 5; 37 37 6; 150.25"), &error));
    QVERIFY(!error);
    const double in[3] = { 55 + 45 / 60.0 + 5 / 3600.0, 37 + 37 / 60.0 + 6 / 3600.0, 150.25 };
    double expected[3] = {};
    QVERIFY(proj.run(fromGeodetic(KV_DATUM_WGS84) + datumShift(KV_DATUM_WGS84, KV_DATUM_PULKOVO42),
        true, false, in, expected));
    for (int i = 0; i < 3; ++i)
        QVERIFY2(
            std::fabs(number(out[i + 1]) - expected[i]) < lengthTolerance, qPrintable(out[i + 1]));
}

void TestCalculation::rowForms_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("error");

    // WGS 84 into itself in decimal degrees, so the forms show directly.
    QTest::newRow("decimal input") << "A; 10.5; -20.25; 7"
                                   << "A; 10.500000000; -20.250000000; 7.000" << false;
    QTest::newRow("DMS input, negative") << "A; -10 30; 20 15 0; -3.5"
                                         << "A; -10.500000000; 20.250000000; -3.500" << false;
    QTest::newRow("name trimmed, may be empty") << " ; 1; 2; "
                                                << "; 1.000000000; 2.000000000; " << false;
    QTest::newRow("no coordinates: quiet") << "  P2  ; ; ;  "
                                           << "P2; ; ; " << false;
    QTest::newRow("one coordinate missing") << "P3; 10; ; 5"
                                            << "P3; ; ; " << true;
    QTest::newRow("letter inside a number") << "P4; 55x5; 37; 0"
                                            << "P4; ; ; " << true;
    QTest::newRow("decimal comma") << "P5; 55,5; 37; 0"
                                   << "P5; ; ; " << true;
    QTest::newRow("blank inside a height") << "P6; 55; 37; 12 5"
                                           << "P6; ; ; " << true;
    QTest::newRow("three-digit latitude degrees with minutes and seconds") << "P7; 100 0 0; 37; 0"
                                                                           << "P7; ; ; " << true;
}

void TestCalculation::rowForms()
{
    QFETCH(QString, row);
    QFETCH(QString, expected);
    QFETCH(bool, error);

    Calculator calculator(geodetic(KV_DATUM_WGS84), geodetic(KV_DATUM_WGS84, false), nullptr);
    QVERIFY(calculator.setUpFixed());
    bool failed = !error;
    QCOMPARE(calculator.convertRow(row, &failed), expected);
    QCOMPARE(failed, error);

    // The errors flag of the whole list follows its rows.
    const Calculation::Result result
        = calculator.run({ QStringLiteral("B; 1; 2; 3"), row, QStringLiteral("; ; ; ") });
    QCOMPARE(result.rows.size(), 3);
    QCOMPARE(result.rows[1], expected);
    QCOMPARE(result.errors, error);
}

// GSK 2011 Gauss-Krüger with the zone left automatic: every point lands in
// the zone of its own longitude, the zone number in front of the easting.
void TestCalculation::automaticTargetZone()
{
    Calculator calculator(geodetic(KV_DATUM_WGS84, false), gsk2011Automatic(0), nullptr);
    QVERIFY(calculator.setUpAutoZone());
    const QStringList rows = { QStringLiteral("A; 55.5; 37.5; 100"),
        QStringLiteral("B; 55.5; 45.5; 100"), QStringLiteral("C; -33.25; 45.5; 100") };
    const Calculation::Result result = calculator.run(rows);
    QVERIFY(!result.errors);

    const struct
    {
        double lat, lon;
        int zone;
    } points[] = { { 55.5, 37.5, 7 }, { 55.5, 45.5, 8 }, { -33.25, 45.5, 8 } };
    for (int i = 0; i < 3; ++i) {
        const QStringList out = cells(result.rows[i]);
        QCOMPARE(out.size(), 4);
        const double in[3] = { points[i].lat, points[i].lon, 100 };
        QByteArray steps = fromGeodetic(KV_DATUM_WGS84)
            + datumShift(KV_DATUM_WGS84, KV_DATUM_GSK2011)
            + gaussKruger(KV_DATUM_GSK2011, points[i].zone);
        if (points[i].lat < 0) // the southern hemisphere, chosen from the latitude
            steps += " +step +proj=affine +yoff=10000000";
        double expected[3] = {};
        QVERIFY(proj.run(steps, true, true, in, expected));
        QVERIFY(out[2].startsWith(QString::number(points[i].zone)));
        for (int k = 0; k < 3; ++k)
            QVERIFY2(std::fabs(number(out[k + 1]) - expected[k]) < lengthTolerance,
                qPrintable(QStringLiteral("%1: %2 vs %3")
                               .arg(result.rows[i])
                               .arg(expected[k], 0, 'f', 4)));
    }

    // A fixed zone 7 puts both northern points in zone 7; the first one where
    // the automatic zone put it.
    Calculator fixed(geodetic(KV_DATUM_WGS84, false), gsk2011Zone(7), nullptr);
    QVERIFY(fixed.setUpFixed());
    const Calculation::Result inZone7 = fixed.run(rows.mid(0, 2));
    QVERIFY(!inZone7.errors);
    QCOMPARE(inZone7.rows[0], result.rows[0]);
    QVERIFY(cells(inZone7.rows[1])[2].startsWith(QLatin1Char('7')));
}

// The input panel's GSK 2011 zone left automatic: each row's zone comes from
// its easting's prefix. An easting without a valid zone fails its row only.
void TestCalculation::automaticSourceZone()
{
    Calculator calculator(
        gsk2011Automatic(KV_HEMISPHERE_NORTH), geodetic(KV_DATUM_WGS84, false), nullptr);
    QVERIFY(calculator.setUpAutoZone());
    const Calculation::Result result
        = calculator.run({ QStringLiteral("A; 6152000.125; 7468000.5; 12"),
            QStringLiteral("B; 6152000.125; 8468000.5; 12"),
            QStringLiteral("C; 6152000.125; 468000.5; 12"),
            QStringLiteral("D; 6152000.125; 61468000.5; 12") });
    QVERIFY(result.errors);
    QCOMPARE(result.rows[2], QStringLiteral("C; ; ; "));
    QCOMPARE(result.rows[3], QStringLiteral("D; ; ; "));

    for (int i = 0; i < 2; ++i) {
        const int zone = 7 + i;
        const QStringList out = cells(result.rows[i]);
        const double in[3] = { 6152000.125, zone * 1000000 + 468000.5, 12 };
        double expected[3] = {};
        // Backwards through the forward pipeline of WGS 84 into the zone.
        QVERIFY(proj.run(fromGeodetic(KV_DATUM_WGS84) + datumShift(KV_DATUM_WGS84, KV_DATUM_GSK2011)
                + gaussKruger(KV_DATUM_GSK2011, zone),
            true, true, in, expected, PJ_INV));
        QVERIFY(std::fabs(number(out[1]) - expected[0]) < angleTolerance);
        QVERIFY(std::fabs(number(out[2]) - expected[1]) < angleTolerance);
        QVERIFY(std::fabs(number(out[3]) - expected[2]) < lengthTolerance);
    }
}

// The national zone series on Pulkovo 42, zone 7, into WGS 84.
void TestCalculation::sk42ZoneIntoWgs84()
{
    Side source;
    QVERIFY(setup_sk42(7, KV_HEMISPHERE_NORTH, &source.system));
    source.systemType = 3;
    Calculator calculator(source, geodetic(KV_DATUM_WGS84, false), nullptr);
    QVERIFY(calculator.setUpFixed());
    bool error = true;
    const QStringList out
        = cells(calculator.convertRow(QStringLiteral("S; 6175000.0; 7420000.0; 150"), &error));
    QVERIFY(!error);
    const double in[3] = { 6175000.0, 7420000.0, 150 };
    double expected[3] = {};
    QVERIFY(proj.run(fromGeodetic(KV_DATUM_WGS84) + datumShift(KV_DATUM_WGS84, KV_DATUM_PULKOVO42)
            + gaussKruger(KV_DATUM_PULKOVO42, 7),
        true, true, in, expected, PJ_INV));
    QVERIFY2(std::fabs(number(out[1]) - expected[0]) < angleTolerance,
        qPrintable(QString::number((number(out[1]) - expected[0]) * 3600, 'g', 3)));
    QVERIFY2(std::fabs(number(out[2]) - expected[1]) < angleTolerance,
        qPrintable(QString::number((number(out[2]) - expected[1]) * 3600, 'g', 3)));
    QVERIFY(std::fabs(number(out[3]) - expected[2]) < lengthTolerance);
}

// "от 0 до 360 градусов": -75.5 is written as 284.5, in either angle form.
void TestCalculation::unsignedLongitude()
{
    Side decimal = geodetic(KV_DATUM_WGS84, false);
    decimal.unsignedLongitude = true;
    Calculator calculator(geodetic(KV_DATUM_WGS84), decimal, nullptr);
    QVERIFY(calculator.setUpFixed());
    bool error = true;
    QCOMPARE(calculator.convertRow(QStringLiteral("W; 40.25; -75.5; "), &error),
        QStringLiteral("W; 40.250000000; 284.500000000; "));
    QVERIFY(!error);
    // Eastern longitudes stay as they are.
    QCOMPARE(calculator.convertRow(QStringLiteral("E; 40.25; 75.5; "), &error),
        QStringLiteral("E; 40.250000000; 75.500000000; "));

    Side dms = geodetic(KV_DATUM_WGS84, true);
    dms.unsignedLongitude = true;
    Calculator inDms(geodetic(KV_DATUM_WGS84), dms, nullptr);
    QVERIFY(inDms.setUpFixed());
    QCOMPARE(inDms.convertRow(QStringLiteral("W; 40 15; -75 30; "), &error),
        QStringLiteral("W; 40 15 0.00000; 284 30 0.00000; "));
}

// Heights above the geoid on either side; a point outside the grid fails its
// row and no other.
void TestCalculation::geoidHeights()
{
    ::geoid g {};
    makeGeoid(&g, 10, 40, 60, 30, 50);
    if (QTest::currentTestFailed())
        return;

    Side above = geodetic(KV_DATUM_WGS84, false);
    above.geoidIndex = 1;
    Calculator down(geodetic(KV_DATUM_WGS84), above, &g);
    QVERIFY(down.setUpFixed());
    const Calculation::Result result = down.run({ QStringLiteral("A; 50; 40; 100"),
        QStringLiteral("B; 50; 40; "), QStringLiteral("C; 10; 10; 100") });
    QCOMPARE(result.rows[0], QStringLiteral("A; 50.000000000; 40.000000000; 90.000"));
    // A blank height stays blank, geoid or not.
    QCOMPARE(result.rows[1], QStringLiteral("B; 50.000000000; 40.000000000; "));
    QCOMPARE(result.rows[2], QStringLiteral("C; ; ; "));
    QVERIFY(result.errors);

    Side from = geodetic(KV_DATUM_WGS84);
    from.geoidIndex = 1;
    Calculator up(from, geodetic(KV_DATUM_WGS84, false), &g);
    QVERIFY(up.setUpFixed());
    bool error = true;
    QCOMPARE(up.convertRow(QStringLiteral("A; 50; 40; 90"), &error),
        QStringLiteral("A; 50.000000000; 40.000000000; 100.000"));
    QVERIFY(!error);

    // The same through the automatic-zone routine, into a GSK 2011 zone.
    Side zoneAbove = gsk2011Automatic(0);
    zoneAbove.geoidIndex = 1;
    Calculator automatic(from, zoneAbove, &g);
    QVERIFY(automatic.setUpAutoZone());
    const QStringList out = cells(automatic.convertRow(QStringLiteral("A; 50; 40; 90"), &error));
    QVERIFY(!error);
    QVERIFY(out[2].startsWith(QLatin1Char('7')));
    // Geoid to geoid: the height passes through, up to the datum shift's
    // effect on it through the geoid lookup (far below a millimetre here).
    QVERIFY(std::fabs(number(out[3]) - 90) < lengthTolerance);
    invalidate_geoid(&g);
}

// A side that uses the geoid while no grid is usable: neither routine can
// set up. Without the geoid, the same pair is fine.
void TestCalculation::geoidWithoutGrid()
{
    ::geoid empty {};
    initialize_null_geoid_data(&empty.grid);
    invalidate_geoid(&empty);

    Side above = geodetic(KV_DATUM_WGS84, false);
    above.geoidIndex = 1;
    QVERIFY(!Calculator(geodetic(KV_DATUM_WGS84), above, &empty).setUpFixed());
    QVERIFY(!Calculator(above, geodetic(KV_DATUM_WGS84), &empty).setUpFixed());
    QVERIFY(!Calculator(geodetic(KV_DATUM_WGS84), above, nullptr).setUpFixed());
    Side zoneAbove = gsk2011Automatic(0);
    zoneAbove.geoidIndex = 1;
    QVERIFY(!Calculator(geodetic(KV_DATUM_WGS84), zoneAbove, &empty).setUpAutoZone());
    QVERIFY(Calculator(geodetic(KV_DATUM_WGS84), gsk2011Automatic(0), &empty).setUpAutoZone());
    QVERIFY(
        Calculator(geodetic(KV_DATUM_WGS84), geodetic(KV_DATUM_PULKOVO42), &empty).setUpFixed());
}

// A geocentric side's third coordinate is Z: its geoid list, disabled but
// still showing "EGM96", changes nothing.
void TestCalculation::geocentricSideIgnoresGeoid()
{
    ::geoid g {};
    makeGeoid(&g, 10, -90, 90, -180, 180);
    if (QTest::currentTestFailed())
        return;

    const QString row = QStringLiteral("A; 50; 40; 100");
    Calculator plain(geodetic(KV_DATUM_WGS84), geocentric(KV_DATUM_WGS84), &g);
    QVERIFY(plain.setUpFixed());
    bool error = true;
    const QString expected = plain.convertRow(row, &error);
    QVERIFY(!error);

    Side centric = geocentric(KV_DATUM_WGS84);
    centric.geoidIndex = 1;
    Calculator withList(geodetic(KV_DATUM_WGS84), centric, &g);
    QVERIFY(withList.setUpFixed());
    QCOMPARE(withList.convertRow(row, &error), expected);

    // Nor does it need a grid at all, in either routine and on either side.
    QVERIFY(Calculator(geodetic(KV_DATUM_WGS84), centric, nullptr).setUpFixed());
    QVERIFY(Calculator(centric, geodetic(KV_DATUM_WGS84), nullptr).setUpFixed());
    QVERIFY(Calculator(centric, gsk2011Automatic(0), nullptr).setUpAutoZone());

    // Back from geocentric with its list showing "EGM96": the original point,
    // within the millimetre to which the geocentric result was written.
    Calculator back(centric, geodetic(KV_DATUM_WGS84, false), &g);
    QVERIFY(back.setUpFixed());
    const QStringList out = cells(back.convertRow(expected, &error));
    QVERIFY(!error);
    const double millimetreInDegrees = 0.001 / 111000 * 2;
    QVERIFY(std::fabs(number(out[1]) - 50) < millimetreInDegrees);
    QVERIFY(std::fabs(number(out[2]) - 40) < millimetreInDegrees);
    QVERIFY(std::fabs(number(out[3]) - 100) < 2 * lengthTolerance);
    invalidate_geoid(&g);
}

QTEST_GUILESS_MAIN(TestCalculation)
#include "tst_calculation.moc"
