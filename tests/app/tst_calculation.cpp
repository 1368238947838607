// Row conversion without widgets: forms, failed rows, and per-point zones and EGM96 against PROJ.
#include "AngleText.h"
#include "Calculation.h"
#include "CellText.h"
#include "GeoidFile.h"
#include "TestSupport.h"
#include "proj_reference.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <vector>

using namespace Calculation;

namespace {

enum { Dms = 1, Geoid = 2, Unsigned = 4 };
const int north = KV_HEMISPHERE_NORTH, south = KV_HEMISPHERE_SOUTH;

constexpr SystemKind Geoc = SystemKind::Geocentric, Geod = SystemKind::Geodetic,
                     Gk = SystemKind::GaussKruger, Utm = SystemKind::Utm;

// A side as a panel describes it: system, kind and options.
Side side(SystemKind kind, const refsystem &system, int flags = 0)
{
    return {system, kind, bool(flags & Geoid), bool(flags & Dms), kind == Geod && !(flags & Dms),
        bool(flags & Unsigned)};
}

// A system as the library's setup_* function `setup` makes it from `values`.
template <class Setup, class... Values> refsystem made(Setup setup, Values... values)
{
    refsystem r {};
    setup(values..., &r);
    return r;
}
const auto geod = [](int datum) { return made(setup_geod, datum); };
const auto sk42 = [](unsigned zone, int hemisphere) { return made(setup_sk42, zone, hemisphere); };
const auto gk = [](int datum, unsigned zone, int h) { return made(setup_gk, datum, zone, h); };
// GSK 2011 Gauss-Krüger with the zone (and on output the hemisphere) left automatic.
refsystem gskAuto(int hemisphere)
{
    refsystem r;
    invalidate_refsystem(&r);
    r.type = KV_TYPE_PROJECTED, r.datum = KV_DATUM_GSK2011, r.hemisphere = hemisphere;
    r.axis_order = KV_AXES_NORTHING_EASTING, r.zone = 0;
    return r;
}

// A row as the program writes it.
QString line(const PointRow &row)
{
    QByteArray bytes;
    row.appendLine(&bytes);
    return QString::fromUtf8(bytes).trimmed();
}

// PROJ in -> out through WGS 84, EGM96 heights made ellipsoidal apart from the datum shift.
std::string reference(const refsystem &in, const refsystem &out, bool geoidIn, bool geoidOut)
{
    const auto steps = [](const refsystem &a, const refsystem &b) {
        return projref::pipeline(a, b).substr(sizeof("+proj=pipeline") - 1);
    };
    const auto egm96 = [](const char *direction) {
        return std::string(" +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg"
                           " +xy_out=rad +step")
            + direction
            + " +proj=vgridshift +grids=egm96_15.gtx +step +proj=unitconvert +xy_in=rad"
              " +xy_out=deg +step +proj=axisswap +order=2,1";
    };
    const std::string push = " +step +proj=push +v_3", pop = " +step +proj=pop +v_3";
    const refsystem w = geod(84);
    return "+proj=pipeline" + (geoidIn ? push + steps(in, w) + pop + egm96(" +inv") : steps(in, w))
        + (geoidOut ? egm96("") + push + steps(w, out) + pop : steps(w, out));
}

// clang-format off
// `in` and `out`: the complete systems PROJ converts between for the row.
struct ProjCase { const char *name; Side from, to; const char *row; refsystem in, out; };
// `expected` null: the row fails, only its name kept; empty: not compared.
struct RowCase { const char *name; Side from, to; const char *row, *expected, *reason = {}; };
struct OwnedGeoid : ::geoid { ~OwnedGeoid() { invalidate_geoid(this); } };
// clang-format on

} // namespace

Q_DECLARE_METATYPE(ProjCase)
Q_DECLARE_METATYPE(RowCase)

class TestCalculation : public QObject
{
    Q_OBJECT

private slots:
    // Geoid height 10 m over latitudes 40..60 and longitudes 30..50, on WGS 84.
    void initTestCase()
    {
        initialize_null_geoid_data(&grid.grid);
        grid.grid.lat_min = 40, grid.grid.lat_max = 60, grid.grid.lat_step = 10;
        grid.grid.lon_min = 30, grid.grid.lon_max = 50, grid.grid.lon_step = 10;
        QVERIFY(complete_geoid_data_grid(&grid.grid) && geoid_data_allocate_memory(&grid.grid));
        for (int i = 0; i < 9; ++i)
            QVERIFY(set_geoid_data_value(&grid.grid, i / 3, i % 3, 10.0f));
        QVERIFY(setup_geod(KV_DATUM_WGS84, &grid.refsys) && check_geoid(&grid));
        initialize_null_geoid_data(&shipped.grid);
        GeoidFile::load(QStringLiteral(KELVADRA_EGM96_GRD), &shipped); // as the program loads it
    }

    void againstProj_data()
    {
        const refsystem w = geod(84), gsk7 = gk(2011, 7, north), utm = made(setup_utm, 37u, north);
        const refsystem gsk8 = gk(2011, 8, north), sk7 = sk42(7, north), gk42 = gk(42, 7, north);
        const Side dms = side(Geod, w, Dms), deg = side(Geod, w), automatic = side(Gk, gskAuto(0));
        const Side fromEasting = side(Gk, gskAuto(north)), intoSk42 = side(Gk, sk42(0, 0), Geoid);
        // The zone (output: and hemisphere) chosen per point; heights above EGM96 in rows of kinds
        // that once failed: into SK-42 zones left automatic (the output panel's default), 3.5 deg
        // off the meridian, Gauss-Krüger on SK-42, SK-42 past 180 E, a zone from an easting off its
        // strip.
        // clang-format off
        const ProjCase cases[] = {
            {"automatic zone 7", dms, automatic, "A; 55.5; 37.5; 100", w, gsk7},
            {"automatic zone 8", dms, automatic, "B; 55.5; 45.5; 100", w, gsk8},
            {"automatic zone 8 south", dms, automatic, "C; -33.25; 45.5; 100", w, gk(2011, 8, south)},
            {"zone 7 from the easting", fromEasting, deg, "A; 6152000.125; 7468000.5; 12", gsk7, w},
            {"zone 8 from the easting", fromEasting, deg, "B; 6152000.125; 8468000.5; 12", gsk8, w},
            {"EGM96, automatic, Moscow", dms, intoSk42, "A; 55.75; 37.62; 200", w, sk7},
            {"EGM96, automatic, south", dms, intoSk42, "B; -33.9; 18.4; 50", w, sk42(4, south)},
            {"EGM96, automatic, equator", side(Geod, geod(42), Dms), intoSk42, "E; 0; 45.5; 50", geod(42),
             sk42(8, north)},
            {"EGM96, UTM 37N 3.5 deg west", side(Utm, utm, Geoid), deg, "U; 207408.276; 4589076.289; 100", utm, w},
            {"EGM96, GK SK-42", side(Gk, gk42, Geoid), deg, "L; 6646586.358; 7662391.793; 100", gk42, w},
            {"EGM96, SK-42 at 185 E", side(Geod, geod(42), Geoid), deg, "M; 65; 185; 100", geod(42), w},
            {"EGM96, GSK 2011 from the easting into SK-42", fromEasting, intoSk42,
             "G; 6152000.125; 7468000.5; 12", gsk7, sk7},
            {"EGM96, zone from an easting 0.6 deg off the strip", side(Gk, sk42(0, north), Geoid), deg,
             "N; 6437055.759; 7712934.229; 100", sk7, w},
        };
        // clang-format on
        caseRows(cases);
    }

    void againstProj()
    {
        QFETCH(ProjCase, c);
        const bool geoidIn = usesGeoid(c.from), geoidOut = usesGeoid(c.to);
        if ((geoidIn || geoidOut) && !check_geoid(&shipped))
            QSKIP("egm96.grd has not been built");
        const Calculator calculator(c.from, c.to, &shipped);
        QCOMPARE(calculator.setUpFailure(), SetUpFailure::None);
        const PointRow row = calculator.convert(PointRow::fromLine(c.row));
        QCOMPARE(row.outcome, PointRow::Outcome::Converted);
        const QStringList cells = QString(c.row).split(QLatin1Char(';'));
        const auto value = [](const Side &s, int i, const QString &text) {
            return i < 2 && s.kind == Geod ? AngleText::parse(text) : number(text);
        };
        double expected[3];
        for (int i = 0; i < 3; ++i)
            expected[i] = value(c.from, i, cells[i + 1]);
        const projref::Transformation proj(reference(c.in, c.out, geoidIn, geoidOut));
        QVERIFY(proj.forward(expected));
        // 0.00005" and 1 mm; 2 mm with EGM96 (a geoid height and a rounding on each side).
        for (int i = 0; i < 3; ++i) {
            const bool angle = c.to.kind == Geod && i < 2;
            const double tolerance
                = (angle ? 0.00005 / 3600 : 0.001) * (geoidIn || geoidOut ? 2 : 1);
            QVERIFY2(std::fabs(value(c.to, i, row.coordinates[i]) - expected[i]) < tolerance,
                qPrintable(row.coordinates[i] + " vs " + QString::number(expected[i], 'f', 9)));
        }
    }

    void rowForms_data()
    {
        // Mostly from DMS (where decimal texts are valid too) into decimal degrees.
        const refsystem w = geod(84), geoc = made(setup_geoc, 84),
                        utm = made(setup_utm, 37u, north);
        const Side dms = side(Geod, w, Dms), deg = side(Geod, w), east = side(Gk, gskAuto(north));
        const Side gsk7 = side(Gk, gk(2011, 7, north)), zone7 = side(Gk, sk42(7, north));
        const Side geoidDeg = side(Geod, w, Geoid), geoidDms = side(Geod, w, Dms | Geoid);
        const char *const wrongZone = "номер зоны в ординате не совпадает с зоной 7";
        const char *const offMeridian = "точка дальше 6° от осевого меридиана зоны";
        // clang-format off
        const RowCase cases[] = {
            {"decimal", dms, deg, "A; 10.5; -20.25; 7", "A; 10.500000000; -20.250000000; 7.000"},
            {"DMS", dms, deg, "A; -10 30; 20 15 0; -3", "A; -10.500000000; 20.250000000; -3.000"},
            {"name trimmed, blank height", dms, deg, " ; 1; 2; ", "; 1.000000000; 2.000000000; "},
            {"no coordinates: no error", dms, deg, "  P2  ; ; ;  ", "P2; ; ; "},
            {"one coordinate missing", dms, deg, "P3; 10; ; 5", {}, "неверная запись координат"},
            {"geocentric needs Z", dms, side(Geoc, geoc), "P1; 55 45 5; 37 37 6; ", {}, "нет высоты, а геоцентрическим координатам она нужна"},
            {"geocentric Z blank", side(Geoc, geoc), deg, "P1; 1; 2; ", {}, "неверная запись координат"},
            {"geocentric, geoid ignored", side(Geoc, geoc, Geoid), side(Geoc, geoc, Geoid),
             "G; 3146855.701; 2640525.458; 4862865.642", "G; 3146855.701; 2640525.458; 4862865.642"},
            // "от 0 до 360 градусов": western longitudes plus 360, eastern as they are.
            {"-75 30 as 284 30", dms, side(Geod, w, Dms | Unsigned), "W; 40 15; -75 30; ",
             "W; 40 15 0.00000; 284 30 0.00000; "},
            // Still incomplete after the zone is read from the easting: the row fails.
            {"easting without zone", east, deg, "C; 6152000.125; 468000.5; 12", {}},
            {"easting of zone 61", east, deg, "D; 6152000.125; 61468000.5; 12", {}},
            // Heights above the geoid on either side; outside the grid the row fails.
            {"geoid out", dms, geoidDeg, "A; 50; 40; 100", "A; 50.000000000; 40.000000000; 90.000"},
            {"geoid, no height", dms, geoidDeg, "B; 50; 40; ", "B; 50.000000000; 40.000000000; "},
            {"no grid", dms, geoidDeg, "C; 10; 10; 1", {}, "нет значения высоты геоида в этой точке"},
            {"geoid in", geoidDms, deg, "A; 50; 40; 90", "A; 50.000000000; 40.000000000; 100.000"},
            {"geoid both, automatic zone", geoidDms, side(Gk, gskAuto(0), Geoid), "A; 50; 40; 90",
             "A; 5541326.002; 7571695.305; 90.000"},
            {"60 seconds", dms, deg, "S; 55; 37 0 60; 0", {}, "минуты или секунды не меньше 60"},
            {"latitude -90.5", deg, deg, "L; -90.5; 37; 0", {}, "широта больше 90°"},
            {"latitude 90", deg, deg, "N; 90; 359.5; 0", "N; 90.000000000; -0.500000000; 0.000"},
            // Longitudes in the range asked for, within one datum too; 360 written as 0.
            {"540 into -180..180", deg, deg, "W; 10; 539; -0.0001", "W; 10.000000000; 179.000000000; 0.000"},
            {"just below 360", deg, side(Geod, w, Unsigned), "U; 10; -0.0000000001; 0", "U; 10.000000000; 0.000000000; 0.000"},
            // Heights and geocentric coordinates within 10 000 km, on either side.
            {"height 10 000 km", deg, deg, "H; 10; 20; 10000000", "H; 10.000000000; 20.000000000; 10000000.000"},
            {"height past 10 000 km", deg, deg, "H; 10; 20; 10000000.001", {}, "высота или координата дальше 10 000 км"},
            {"Z past 10 000 km", side(Geoc, geoc), side(Geoc, geoc), "G; 1; 2; -10000000.5", {}, "высота или координата дальше 10 000 км"},
            {"height past 10 000 km made", side(Geoc, geoc), deg, "G; 10000000; 10000000; 10000000", {}, "высота или координата дальше 10 000 км"},
            {"easting of zone 8", gsk7, deg, "Y; 6175000; 8500000; 0", {}, wrongZone},
            {"easting without prefix", gsk7, deg, "Y; 6175000; 500000; 0", {}, wrongZone},
            // 6 degrees of longitude from the zone's meridian, on either side.
            {"into zone 7, 5.9 degrees off", dms, gsk7, "F; 55; 44.9; 0", ""},
            {"into zone 7, 8 degrees off", dms, gsk7, "F; 55; 47; 0", {}, offMeridian},
            // Near the equator 5.5 degrees lie past 500 km: the easting would lose its zone's number.
            {"into zone 7 at the equator", dms, gsk7, "E; 1; 44.5; 0", {}, wrongZone},
            {"into zone 7 from the west", dms, zone7, "F; 55; 32.5; 0", {}, offMeridian},
            {"from zone 7, 7 degrees off", zone7, deg, "F; 6100000; 7950000; 0", {}, offMeridian},
            // A northing past a pole would fold back to a point of the other side.
            {"from zone 7, past the pole", zone7, deg, "P; 20000000; 7500000; 0", {}, "точка не пересчитывается"},
            {"from an easting, past the pole", east, deg, "P; 99999999999999999999; 8343592.893; 0", {}, "точка не пересчитывается"},
            {"into UTM 37, 9 degrees off", dms, side(Utm, utm), "F; 40; 48; 0", {}, offMeridian},
            {"from zone 17 from the easting", east, deg, "F; 6100000; 17950000; 0", {}, offMeridian},
        };
        // clang-format on
        caseRows(cases);
    }

    void rowForms()
    {
        QFETCH(RowCase, c);
        const PointRow row = PointRow::fromLine(QString::fromUtf8(c.row));
        const bool error = !c.expected;
        const Calculator calculator(c.from, c.to, &grid);
        QCOMPARE(calculator.setUpFailure(), SetUpFailure::None);
        const PointRow got = calculator.convert(row);
        if (error)
            QCOMPARE(line(got), row.name + QStringLiteral("; ; ;"));
        else if (*c.expected)
            QCOMPARE(line(got), QString::fromUtf8(c.expected).trimmed());
        QCOMPARE(got.outcome == PointRow::Outcome::Failed, error);
        QCOMPARE(got.reason.isEmpty(), !error);
        if (c.reason)
            QCOMPARE(got.reason, QString::fromUtf8(c.reason));
        // Without a usable grid a row that uses one does not set up; a geocentric side uses none.
        const ::geoid empty {};
        for (const ::geoid *g : {&empty, static_cast<const ::geoid *>(nullptr)}) {
            const Calculator without(c.from, c.to, g);
            QCOMPARE(without.setUpFailure() == SetUpFailure::None,
                !usesGeoid(c.from) && !usesGeoid(c.to));
        }
        // The list's failed rows and counts follow its rows.
        const Result result = calculator.run({PointRow(), row, PointRow()});
        QCOMPARE(result.rows.size(), 3);
        QCOMPARE(line(result.rows.at(1)), line(got));
        QCOMPARE(result.rows.at(0).outcome, PointRow::Outcome::NoPoint);
        const qint64 points = result.tally.points;
        QCOMPARE(points, got.outcome == PointRow::Outcome::NoPoint ? 0 : 1);
        QCOMPARE(result.tally.failedRows, error ? QVector<qint64> {2} : QVector<qint64>());
        QCOMPARE(result.summary(),
            QStringLiteral("Пересчитано %1 из %2")
                    .arg(points - error)
                    .arg(points ? "1 точки" : "0 точек")
                + (error ? QStringLiteral(", ошибок: 1 (строка 2)") : QString())
                + (row.lacksCoordinates() ? QStringLiteral(", без координат: 1 (строка 2)")
                                          : QString()));
    }

    // A list counted in parts as the converter counts it: whole counts, ten row numbers at most.
    void tallyInParts()
    {
        const PointRow failed {"F", {}, PointRow::Outcome::Failed, "r"},
            converted {"C", {}, PointRow::Outcome::Converted, {}},
            nameAlone {"N", {}, PointRow::Outcome::NoPoint, {}};
        Tally whole;
        qint64 number = 0;
        for (const int failures : {9, 1, 1}) {
            Tally part;
            for (int i = 0; i < failures; ++i)
                part.count(failed, failed, ++number);
            part.count(converted, converted, ++number);
            part.count(nameAlone, nameAlone, ++number);
            part.count(PointRow(), PointRow {{}, {}, PointRow::Outcome::NoPoint, {}}, ++number);
            whole.add(part);
            QCOMPARE(whole.anyFailed(), true);
        }
        QCOMPARE(whole.summary(Tally::Form::Line),
            QStringLiteral("пересчитано 3 из 14 точек, ошибок: 11, без координат: 3"));
        QCOMPARE(whole.summary(Tally::Form::Status),
            QStringLiteral(
                "Пересчитано 3 из 14 точек, ошибок: 11 (строки 1, 2, 3, 4, 5, 6, 7, 8, 9, "
                "13, …), без координат: 3 (строки 11, 15, 19)"));
        // Ten listed in full: no "…".
        Tally ten;
        for (int i = 1; i <= Tally::listed; ++i)
            ten.count(failed, failed, i);
        QVERIFY(!ten.summary(Tally::Form::Status).contains("…"));
        QCOMPARE(Tally().anyFailed(), false);
    }

    // A Gauss-Krüger easting's zone number at the edges of its millions.
    void zonePrefixes()
    {
        const std::pair<double, double> cases[] = {{7000000, 7}, {6999999.9999, 6},
            {7999999.999, 7}, {999999.9, 0}, {-0.001, -1}, {60500000, 60}, {61000000, 61}};
        for (const auto &[easting, zone] : cases)
            QCOMPARE(zonePrefix(easting), zone);
    }

    // The points taken as well within their zone without a conversion: the band's corners in
    // both hemispheres lie under 5 degrees from the meridian, and the band ends at its edges.
    void wellWithinZones()
    {
        refsystem north, south, automatic, geodetic;
        QVERIFY(setup_sk42(7, KV_HEMISPHERE_NORTH, &north)
            && setup_geod(KV_DATUM_PULKOVO42, &geodetic));
        QVERIFY(setup_sk42(0, KV_HEMISPHERE_SOUTH, &south));
        QVERIFY(setup_sk42(7, KV_HEMISPHERE_AUTO, &automatic));
        const double n = wellWithinNorthing, e = wellWithinEasting, m = 7.5e6, d = 0.001;
        const std::tuple<const refsystem *, double, double, bool> cases[] = {// x, y, well within
            {&north, n, m + e, true}, {&north, -n, m - e, true}, {&south, 1e7 - n, m + e, true},
            {&south, 1e7 + n, m - e, true}, {&north, n + d, m, false},
            {&north, 0, m + e + d, false}, {&south, 1e7 - n - d, m, false},
            {&north, 0, m - e - d, false}, {&automatic, 0, m, false},
            {&north, 0, 8.5e6 - e, false}};
        for (const auto &[rs, x, y, well] : cases) {
            const double plane[3] = {x, y, 0};
            QCOMPARE(wellWithinZone(*rs, plane), well);
            transform t;
            double latLon[3];
            if (well)
                QVERIFY(initialize_transform(rs, &geodetic, &t)
                    && transform_coords(plane, &t, latLon) && std::fabs(latLon[1] - 39.0) < 5.0);
        }
    }

    // Many points at once as one by one: the same numbers bit for bit, the same failures, through
    // the library's array call and through the point-by-point way alike.
    void manyPointsAsOne()
    {
        std::vector<double> in;
        for (int i = 0; i < 600; ++i)
            in.insert(in.end(), {-90.0 + 0.3 * i, -180.0 + 0.61 * i, 100.0 * (i % 7)});
        const double edges[] = {90, 0, 0, 0, 359.99999999999, 0, 0, -180, 0, NAN, 1, 2, 0, 0, -7e6};
        in.insert(in.begin() + 9, std::begin(edges), std::end(edges));
        const size_t n = in.size() / 3;
        const std::pair<Side, Side> pairs[] = {{side(Geod, geod(42)), side(Geod, geod(84))},
            {side(Geod, geod(84)), side(Geod, geod(42), Unsigned)},
            {side(Geod, geod(2011)), side(Geoc, made(setup_geoc, 84))},
            {side(Geod, geod(42)), side(Gk, sk42(7, north))},
            {side(Gk, sk42(7, north)), side(Geod, geod(84))}};
        // Zone 7 and past it: 500 km from the meridian, another zone's prefix.
        std::vector<double> plane = in;
        for (size_t i = 0; i < n; ++i)
            plane[3 * i] = 6e6 + 1e3 * i, plane[3 * i + 1] = 7e6 + 2e3 * i;
        plane[0] = 1e5, plane[1] = 7999999.9996; // 0.4 mm inside zone 7: its prefix read unrounded
        for (const auto &[from, to] : pairs) {
            const Calculator calculator(from, to, nullptr);
            const std::vector<double> &points = from.kind == Gk ? plane : in;
            std::vector<double> one(in.size(), 0.0), many(in.size(), 0.0);
            std::vector<Failure> failures(n);
            std::vector<int> zones(n, -1);
            calculator.convertPoints(points.data(), n, many.data(), failures.data(), zones.data());
            for (size_t i = 0; i < n; ++i) {
                int zone = -1;
                QCOMPARE(failures[i], calculator.convertPoint(&points[3 * i], &one[3 * i], &zone));
                QCOMPARE(zones[i], zone);
                QVERIFY2(failures[i] != Failure::None
                        || std::memcmp(&one[3 * i], &many[3 * i], 3 * sizeof(double)) == 0,
                    qPrintable(QString::number(i)));
            }
        }
    }

    // A block through checkPoints as each point through checkPoint: failure, zone and the point
    // left behind, every rule's edges side by side so that a point judged by its neighbour shows.
    void checksOfManyAsOfOne()
    {
        const double far = 1e7, past = std::nextafter(1e7, 2e7);
        const std::vector<double> points = {55, 37, 0, 90, 37, 0, -90.000001, 37, 0, NAN, 7.5e6, 0,
            6e6, INFINITY, 0, 6e6, 7e6, far, 6e6, 7e6, -past, 6e6, 6999999.999, 0, 6e6, 8e6, 0, far,
            -far, far, past, 0, 0, 1e306, 5e5, 0, 0, 7.5e6, 0};
        Side local = side(SystemKind::Local, sk42(7, north));
        local.baseKind = Gk;
        local.keys = {-6e6, -7e6, 2e-3, 0, 0, 2e-3, 1.5, 0, 0}; // 1e306 does not go back
        const Side sides[] = {side(Geod, geod(42)), side(Geoc, made(setup_geoc, 84)),
            side(Gk, sk42(7, north)), side(Utm, made(setup_utm, 37, north)), local};
        const size_t n = points.size() / 3;
        for (const Side &s : sides) {
            std::vector<double> many = points;
            std::vector<Failure> failures(n);
            std::vector<int> zones(n, -1);
            checkPoints(s, many.data(), n, failures.data(), zones.data());
            for (size_t i = 0; i < n; ++i) {
                double one[3] = {points[3 * i], points[3 * i + 1], points[3 * i + 2]};
                int zone = -1;
                QCOMPARE(failures[i], checkPoint(s, one, &zone));
                QCOMPARE(zones[i], zone);
                QVERIFY(std::memcmp(one, &many[3 * i], sizeof one) == 0);
            }
        }
    }

private:
    OwnedGeoid grid {}, shipped {}; // shipped: EGM96, when built
};

QTEST_GUILESS_MAIN(TestCalculation)
#include "tst_calculation.moc"
