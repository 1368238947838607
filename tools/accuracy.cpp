// Accuracy report: random conversions of every kind through kelvadra and
// through PROJ pipelines built from the same parameters (proj_reference.h),
// written as a Markdown table of the largest differences and where they occur.
//
//     accuracy [--points N] [--seed S] [--grid egm96.grd] [--gtx egm96_15.gtx] OUTPUT.md
//
// Exits 0 when every kind stays within its tolerance, 1 when one does not or
// a conversion fails on either side, 2 on a usage or set-up error. The same
// seed gives the same points (std::mt19937_64 and libstdc++'s distributions).
#include "kelvadra.h"
#include "proj_reference.h"

#include <proj.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

const double kRadToDeg = 180.0 / 3.141592653589793;

// Fixed notation with "." whatever the locale.
std::string fixed(double v, int decimals)
{
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s.setf(std::ios::fixed);
    s.precision(decimals);
    s << v;
    return s.str();
}

// A difference in millimetres: four decimals, or two significant digits
// below 0.0001 mm so that a tiny difference does not read as none.
std::string millimetres(double metres)
{
    const double mm = metres * 1e3;
    if (mm == 0.0)
        return "0";
    if (mm >= 1e-4)
        return fixed(mm, 4);
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s.precision(1);
    s << std::scientific << mm;
    return s.str();
}

// A tolerance in millimetres with as many decimals as it needs (0.001, 0.6, 1).
std::string tolerance_text(double metres)
{
    std::string text = fixed(metres * 1e3, 3);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

struct System
{
    std::string name;
    refsystem rs;
};

const char *datum_name(int datum)
{
    return projref::datum_of(datum).name;
}

System geodetic(int datum)
{
    System s {std::string(datum_name(datum)) + " geodetic", {}};
    setup_geod(datum, &s.rs);
    return s;
}

System geocentric(int datum)
{
    System s {std::string(datum_name(datum)) + " geocentric", {}};
    setup_geoc(datum, &s.rs);
    return s;
}

// origin: latitude and longitude in degrees, height in metres.
System local(int datum, const double origin[3])
{
    const double rad[3] = {origin[0] / kRadToDeg, origin[1] / kRadToDeg, origin[2]};
    System s {std::string(datum_name(datum)) + " local at " + fixed(origin[0], 4) + ", "
            + fixed(origin[1], 4) + ", " + fixed(origin[2], 1),
        {}};
    setup_lsr(datum, rad, &s.rs);
    return s;
}

System sk_zone(int datum, int zone)
{
    System s {std::string(datum == 95 ? "SK-95" : "SK-42") + " zone " + std::to_string(zone), {}};
    (datum == 95 ? setup_sk95 : setup_sk42)(zone, KV_HEMISPHERE_NORTH, &s.rs);
    return s;
}

System gsk_zone(int zone)
{
    System s {"GSK 2011 zone " + std::to_string(zone), {}};
    setup_gsk2011(zone, KV_HEMISPHERE_NORTH, &s.rs);
    return s;
}

System utm_zone(int zone, int hemisphere)
{
    System s {"UTM " + std::to_string(zone) + (hemisphere == 1 ? "N" : "S"), {}};
    setup_utm(zone, hemisphere, &s.rs);
    return s;
}

// A Transverse Mercator system of given parameters (degrees, metres).
System tm_system(
    int datum, const char *name, double cm, double lat0, double k, double fe, double fn)
{
    System s {name, {}};
    setup_tm(datum, cm, lat0, k, fe, fn, &s.rs);
    return s;
}

std::string point_text(int type, const double p[3])
{
    const int decimals = type == KV_TYPE_GEODETIC ? 9 : 4;
    return fixed(p[0], decimals) + ", " + fixed(p[1], decimals) + ", " + fixed(p[2], 4);
}

// The distance between two results of one system, in metres. Geodetic: the
// latitude and longitude differences as lengths on the ground at the point's
// height (meridian and prime-vertical radii of the datum's ellipsoid) with
// the height difference as the third axis. Otherwise Euclidean, the height
// of a plane point counting as a third axis.
double distance_m(const refsystem &rs, const double a[3], const double b[3])
{
    if (rs.type != KV_TYPE_GEODETIC)
        return projref::distance_m(rs.type, a, b);
    const projref::Datum &d = projref::datum_of(rs.datum);
    const double f = 1.0 / d.rf, e2 = f * (2.0 - f);
    const double phi = a[0] / kRadToDeg, s = std::sin(phi);
    const double w = std::sqrt(1.0 - e2 * s * s);
    const double n = d.a / w, m = d.a * (1.0 - e2) / (w * w * w);
    const double north = (m + a[2]) * (b[0] - a[0]) / kRadToDeg;
    const double east = (n + a[2]) * std::cos(phi) * std::remainder(b[1] - a[1], 360.0) / kRadToDeg;
    const double up = b[2] - a[2];
    return std::sqrt(north * north + east * east + up * up);
}

// The largest difference of one kind of conversion.
struct Kind
{
    Kind(std::string name_, double tolerance)
        : name(std::move(name_))
        , tolerance_m(tolerance)
    {
    }

    std::string name;
    double tolerance_m; // negative: shown for information, not judged
    int points = 0;
    int failures = 0;
    double worst_m = -1.0;
    std::string where;
    std::string note; // why a kind did not run

    void add(double d, const std::function<std::string()> &describe)
    {
        if (!std::isfinite(d)) {
            fail(describe);
            return;
        }
        ++points;
        if (d > worst_m) {
            worst_m = d;
            if (failures == 0) // the first failure stays on show
                where = describe();
        }
    }
    void fail(const std::function<std::string()> &describe)
    {
        ++points;
        if (failures++ == 0)
            where = "conversion failed: " + describe();
    }
    bool ran() const { return note.empty(); }
    bool judged() const { return tolerance_m >= 0.0; }
    bool passed() const
    {
        return !ran() || (failures == 0 && (!judged() || worst_m <= tolerance_m));
    }
};

std::string result_text(const Kind &k)
{
    if (!k.ran())
        return "not run";
    if (k.failures)
        return "**FAIL** (" + std::to_string(k.failures) + " conversions failed)";
    if (!k.judged())
        return "information";
    return k.passed() ? "pass" : "**FAIL**";
}

struct Section
{
    std::string title;
    std::string metric;
    std::vector<Kind> kinds;
};

// A longitude in (-180, 180].
double wrap180(double lon)
{
    lon = std::remainder(lon, 360.0);
    return lon == -180.0 ? 180.0 : lon;
}

class Report
{
public:
    Report(int points, uint64_t seed)
        : points_(points)
        , random_(seed)
    {
    }

    // A region of geodetic points, degrees and metres.
    struct Region
    {
        double lat_min, lat_max, lon_min, lon_max;
    };
    // Where SK-42, SK-95 and GSK 2011 are used: Russia, 41°…82° N, the
    // 6-degree zones 4 to 32 from the Baltic to Chukotka across 180°.
    static constexpr Region kTerritory {41.0, 82.0, 18.0, 192.0};
    static constexpr Region kWorld {-89.0, 89.0, -180.0, 180.0};

    void point_in(const Region &r, double p[3])
    {
        p[0] = uniform(r.lat_min, r.lat_max);
        p[1] = wrap180(uniform(r.lon_min, r.lon_max));
        p[2] = uniform(-100.0, 3000.0);
    }

    double uniform(double lo, double hi)
    {
        return std::uniform_real_distribution<double>(lo, hi)(random_);
    }

    const projref::Transformation &proj(const std::string &definition)
    {
        auto &slot = cache_[definition];
        if (!slot)
            slot = std::make_unique<projref::Transformation>(definition);
        return *slot;
    }
    const projref::Transformation &proj(const refsystem &in, const refsystem &out)
    {
        return proj(projref::pipeline(in, out));
    }

    // One conversion in -> out of the geodetic point g (on in's datum): the
    // input point is made from g by PROJ, so that both sides start from the
    // same coordinates, then converted by both.
    void compare(Kind &kind, const System &in, const System &out, const double g[3])
    {
        double p[3] = {g[0], g[1], g[2]};
        const auto describe
            = [&] { return point_text(in.rs.type, p) + " (" + in.name + " → " + out.name + ")"; };
        if (in.rs.type != KV_TYPE_GEODETIC && !proj(geodetic(in.rs.datum).rs, in.rs).forward(p)) {
            kind.fail([&] { return point_text(KV_TYPE_GEODETIC, g) + " into " + in.name; });
            return;
        }
        double expected[3] = {p[0], p[1], p[2]}, actual[3];
        transform t;
        if (initialize_transform(&in.rs, &out.rs, &t) != 1 || transform_coords(p, &t, actual) != 1
            || !proj(in.rs, out.rs).forward(expected)) {
            kind.fail(describe);
            return;
        }
        kind.add(distance_m(out.rs, actual, expected), describe);
    }

    // Library only: geodetic -> plane -> geodetic.
    void round_trip(Kind &kind, const System &plane, const double g[3])
    {
        const System geod = geodetic(plane.rs.datum);
        const auto describe
            = [&] { return point_text(KV_TYPE_GEODETIC, g) + " (" + plane.name + ")"; };
        transform there, back;
        double p[3], q[3];
        if (initialize_transform(&geod.rs, &plane.rs, &there) != 1
            || initialize_transform(&plane.rs, &geod.rs, &back) != 1
            || transform_coords(g, &there, p) != 1 || transform_coords(p, &back, q) != 1) {
            kind.fail(describe);
            return;
        }
        kind.add(distance_m(geod.rs, g, q), describe);
    }

    void run_datum_shifts()
    {
        Section s {"Datum shifts",
            "geodetic → geodetic on the same point; distance on the ground between the two "
            "results (meridian and prime-vertical radii of the output ellipsoid) combined with "
            "the height difference. Points on the territory of SK-42, SK-95 and GSK 2011 when "
            "either datum is one of them, else worldwide; heights −100…3000 m.",
            {}};
        for (int from : projref::kDatums) {
            for (int to : projref::kDatums) {
                if (from == to)
                    continue;
                const System in = geodetic(from), out = geodetic(to);
                Kind kind {in.name + " → " + out.name, 1e-4};
                const bool national = from == 42 || from == 95 || from == 2011 || to == 42
                    || to == 95 || to == 2011;
                for (int i = 0; i < points_; ++i) {
                    double g[3];
                    point_in(national ? kTerritory : kWorld, g);
                    compare(kind, in, out, g);
                }
                s.kinds.push_back(kind);
            }
        }
        sections_.push_back(s);
    }

    void run_forms()
    {
        Section s {"Geodetic, geocentric and local forms",
            "one datum, the eight in turn; 3-D distance in metres for geocentric and local "
            "results, on the ground with the height difference for geodetic ones. Local "
            "frames: 8 origins per datum, points within 0.5° of their origin.",
            {}};
        Kind toGeoc {"geodetic → geocentric", 1e-4}, fromGeoc {"geocentric → geodetic", 1e-4};
        Kind toLocal {"geodetic → local", 1e-4}, fromLocal {"local → geodetic", 1e-4};
        std::vector<System> frames;
        for (int d : projref::kDatums) {
            for (int k = 0; k < 8; ++k) {
                double o[3];
                point_in(d == 42 || d == 95 || d == 2011 ? kTerritory : kWorld, o);
                frames.push_back(local(d, o));
            }
        }
        for (int i = 0; i < points_; ++i) {
            const int datum = projref::kDatums[i % 8];
            const System geod = geodetic(datum), geoc = geocentric(datum);
            double g[3];
            point_in(datum == 42 || datum == 95 || datum == 2011 ? kTerritory : kWorld, g);
            compare(toGeoc, geod, geoc, g);
            compare(fromGeoc, geoc, geod, g);
            const System &frame = frames[std::size_t(i % 64)];
            const double near[3]
                = {std::fmax(
                       -89.9, std::fmin(89.9, frame.rs.origin[0] * kRadToDeg + uniform(-0.5, 0.5))),
                    wrap180(frame.rs.origin[1] * kRadToDeg + uniform(-0.5, 0.5)),
                    uniform(-100.0, 3000.0)};
            const System lgeod = geodetic(frame.rs.datum);
            compare(toLocal, lgeod, frame, near);
            compare(fromLocal, frame, lgeod, near);
        }
        s.kinds = {toGeoc, fromGeoc, toLocal, fromLocal};
        sections_.push_back(s);
    }

    // A point within halfWidth degrees of the central meridian cm.
    void point_in_zone(double cm, double halfWidth, double latMin, double latMax, double g[3])
    {
        g[0] = uniform(latMin, latMax);
        g[1] = wrap180(cm + uniform(-halfWidth, halfWidth));
        g[2] = uniform(-100.0, 3000.0);
    }

    void run_projections()
    {
        Section s {"Projections",
            "forward: geodetic → plane, distance in the plane (grid metres, the height as a "
            "third axis); inverse: plane → geodetic, distance on the ground. The national "
            "series (SK-42, SK-95, zones 4–32, within 3° of the meridian, 41°…82° N) against "
            "the exact Transverse Mercator about the series' effective meridian (cm·(180/π)/ρ "
            "with ρ = 57.29577951); GSK 2011 (zones 4–32) and UTM on WGS 84 (zones 1–60, 0°…84° N, "
            "80° S…0°) within 6° of the meridian against PROJ's tmerc (its default algorithm, "
            "Krüger's series as the library's).",
            {}};
        Section trips {"Projection round trips",
            "library only: geodetic → plane → geodetic, distance on the ground with the "
            "height difference; systems and latitudes as above, within 3° of the meridian "
            "(inside the zone); the general Transverse Mercator also 3°–6° from it.",
            {}};
        // The national series are held to their 0.25 mm; the general
        // Transverse Mercator to 0.001 mm against PROJ's, out to 6°.
        const struct
        {
            const char *name;
            double tolerance_m, halfWidth;
        } families[]
            = {{"SK-42 zone", 5e-4, 3.0}, {"SK-95 zone", 5e-4, 3.0}, {"GSK 2011 zone", 1e-6, 6.0},
                {"UTM north (WGS 84)", 1e-6, 6.0}, {"UTM south (WGS 84)", 1e-6, 6.0}};
        for (int f = 0; f < 5; ++f) {
            Kind forward {
                std::string(families[f].name) + ", geodetic → plane", families[f].tolerance_m};
            Kind inverse {
                std::string(families[f].name) + ", plane → geodetic", families[f].tolerance_m};
            const bool beyond = families[f].halfWidth > 3.0;
            Kind trip {std::string(families[f].name) + ", there and back",
                beyond ? families[f].tolerance_m : 1e-3};
            Kind tripOut {
                std::string(families[f].name) + ", there and back 3°–6° from the meridian",
                families[f].tolerance_m};
            for (int i = 0; i < points_; ++i) {
                System plane;
                double cm, latMin = 41.0, latMax = 82.0;
                if (f < 3) {
                    const int zone = 4 + i % 29;
                    plane = f == 0 ? sk_zone(42, zone)
                        : f == 1   ? sk_zone(95, zone)
                                   : gsk_zone(zone);
                    cm = 6.0 * zone - 3.0;
                } else {
                    const int zone = 1 + i % 60;
                    plane = utm_zone(zone, f == 3 ? 1 : 2);
                    cm = 6.0 * zone - 183.0;
                    latMin = f == 3 ? 0.0 : -80.0;
                    latMax = f == 3 ? 84.0 : 0.0;
                }
                const System geod = geodetic(plane.rs.datum);
                double g[3];
                point_in_zone(cm, families[f].halfWidth, latMin, latMax, g);
                compare(forward, geod, plane, g);
                compare(inverse, plane, geod, g);
                point_in_zone(cm, 3.0, latMin, latMax, g);
                round_trip(trip, plane, g);
                if (beyond) {
                    point_in_zone(cm, 0.0, latMin, latMax, g);
                    const double offset = uniform(3.0, families[f].halfWidth);
                    g[1] = wrap180(g[1] + (i % 2 ? offset : -offset));
                    round_trip(tripOut, plane, g);
                }
            }
            s.kinds.push_back(forward);
            s.kinds.push_back(inverse);
            trips.kinds.push_back(trip);
            if (beyond)
                trips.kinds.push_back(tripOut);
        }
        sections_.push_back(s);
        sections_.push_back(trips);
    }

    void run_tm_systems()
    {
        Section s {"Transverse Mercator systems of any parameters",
            "regional systems (МСК) set up with setup_tm: tm:sk42 37°59′ E is lon0 = "
            "37.98333333333°, lat0 = 0, k = 1, fe = 2 250 000 m, fn = −5 712 900.566 m on "
            "SK-42; tm:gsk2011 44.55° E is lon0 = 44.55°, lat0 = 0, k = 1, fe = 1 300 000 m, "
            "fn = −4 511 057.63 m on GSK 2011. Points within 3° of the central meridian, "
            "41°…82° N: geodetic → plane, distance in the plane (grid metres, the height as a "
            "third axis), and plane → geodetic, distance on the ground; against PROJ's tmerc "
            "with the same parameters and, across datums, this library's datum parameters. "
            "Off the equator: tm:wgs84 55°45′ N 37°37′ E is lon0 = 37.6166666667°, lat0 = "
            "55.75°, k = 0.9999, fe = 10 000 m, fn = 20 000 m on WGS 84; tm:gsk2011 61.5° N is "
            "lon0 = 129.7°, lat0 = 61.5°, k = 1, fe = 300 000 m, fn = 0 on GSK 2011. 0.001 mm "
            "on one datum, the datum shifts' 0.1 mm across datums.",
            {}};
        const struct
        {
            System plane;
            int from;
        } systems[] = {
            {tm_system(42, "tm:sk42 37°59′ E", 37.98333333333, 0, 1, 2250000, -5712900.566), 42},
            {tm_system(42, "tm:sk42 37°59′ E", 37.98333333333, 0, 1, 2250000, -5712900.566), 84},
            {tm_system(2011, "tm:gsk2011 44.55° E", 44.55, 0, 1, 1300000, -4511057.63), 2011},
            {tm_system(
                 84, "tm:wgs84 55°45′ N 37°37′ E", 37.6166666667, 55.75, 0.9999, 10000, 20000),
                84},
            {tm_system(2011, "tm:gsk2011 61.5° N", 129.7, 61.5, 1, 300000, 0), 2011},
            {tm_system(2011, "tm:gsk2011 61.5° N", 129.7, 61.5, 1, 300000, 0), 42},
        };
        for (const auto &sys : systems) {
            const System geod = geodetic(sys.from);
            const double tolerance = sys.from == sys.plane.rs.datum ? 1e-6 : 1e-4;
            Kind forward {geod.name + " → " + sys.plane.name, tolerance};
            Kind inverse {sys.plane.name + " → " + geod.name, tolerance};
            const double cm = sys.plane.rs.projection.central_meridian * kRadToDeg;
            for (int i = 0; i < points_; ++i) {
                double g[3];
                point_in_zone(cm, 3.0, 41.0, 82.0, g);
                compare(forward, geod, sys.plane, g);
                point_in_zone(cm, 3.0, 41.0, 82.0, g);
                compare(inverse, sys.plane, geod, g);
            }
            s.kinds.push_back(forward);
            s.kinds.push_back(inverse);
        }
        sections_.push_back(s);
    }

    void run_chains()
    {
        Section s {"Chains",
            "plane to plane or to geocentric through a datum shift, zones 4–32, within 3° of "
            "the meridian (the UTM zone on the same meridian: zone + 30, or zone − 30 across "
            "180°), 41°…82° N; distance in the output plane or space. The tolerance adds 0.1 mm "
            "for the shift and each side's projection tolerance.",
            {}};
        Kind skUtm {"SK-42 zone → WGS 84 UTM", 0.601e-3};
        Kind gskSk {"GSK 2011 zone → SK-95 zone", 0.601e-3};
        Kind skGeoc {"SK-95 zone → PZ 90.11 geocentric", 0.6e-3};
        for (int i = 0; i < points_; ++i) {
            const int zone = 4 + i % 29;
            double g[3];
            point_in_zone(6.0 * zone - 3.0, 3.0, 41.0, 82.0, g);
            compare(skUtm, sk_zone(42, zone), utm_zone((zone + 29) % 60 + 1, 1), g);
            point_in_zone(6.0 * zone - 3.0, 3.0, 41.0, 82.0, g);
            compare(gskSk, gsk_zone(zone), sk_zone(95, zone), g);
            point_in_zone(6.0 * zone - 3.0, 3.0, 41.0, 82.0, g);
            compare(skGeoc, sk_zone(95, zone), geocentric(9011), g);
        }
        s.kinds = {skUtm, gskSk, skGeoc};
        sections_.push_back(s);
    }

    void run_geoid(const std::string &grid, const std::string &gtx)
    {
        Section s {"Geoid",
            "geoid heights N from the shipped grid against PROJ's vgridshift on " + gtx
                + ", and the height conversions of a point (ellipsoidal height ↔ height above "
                  "the geoid, through WGS 84) against PROJ's pipeline into WGS 84 followed by "
                  "vgridshift; absolute height difference. N worldwide; the conversions on the "
                  "territory of each system (UTM worldwide).",
            {}};
        Kind heights {"geoid height N", 1e-3};
        Kind to {"ellipsoidal height → above the geoid", 1e-3};
        Kind from {"above the geoid → ellipsoidal height", 1e-3};
        std::vector<Kind *> all = {&heights, &to, &from};

        geoid egm96;
        initialize_null_geoid_data(&egm96.grid);
        invalidate_refsystem(&egm96.refsys);
        const std::string vgrid = " +step +proj=axisswap +order=2,1 +step +proj=unitconvert "
                                  "+xy_in=deg +xy_out=rad +step +proj=vgridshift +multiplier=1 "
                                  "+grids="
            + gtx;
        // (lat, lon, h) -> (lon rad, lat rad, h + N)
        const projref::Transformation &addN = proj("+proj=pipeline" + vgrid);
        if (load_EGM96(grid.c_str(), &egm96, nullptr) != 1 || !addN.valid()) {
            for (Kind *k : all)
                k->note = "not run: " + grid + " or " + gtx + " cannot be read";
            s.kinds = {heights, to, from};
            sections_.push_back(s);
            return;
        }
        const auto proj_N = [&](double lat, double lon, double *n) {
            double p[3] = {lat, lon, 0.0};
            if (!addN.forward(p))
                return false;
            *n = p[2];
            return true;
        };
        for (int i = 0; i < points_; ++i) {
            // Both longitude forms of the grid (−180…360°) in turn.
            const double lat = uniform(-90.0, 90.0), lon0 = uniform(-180.0, 180.0);
            const double lon = i % 2 && lon0 < 0 ? lon0 + 360.0 : lon0;
            double n = NAN, reference = NAN;
            const auto describe = [&] { return fixed(lat, 9) + ", " + fixed(lon, 9); };
            if (interpolate_geoid_data_value(&egm96.grid, lat, lon, &n) != 1
                || !proj_N(lat, lon0, &reference))
                heights.fail(describe);
            else
                heights.add(std::fabs(n - reference), describe);
        }

        // The user's systems, each with its central meridian (NaN: geodetic,
        // anywhere it serves) and latitudes.
        const struct
        {
            System system;
            double cm, lat_min, lat_max;
        } users[] = {{geodetic(84), NAN, -89.0, 89.0}, {geodetic(9011), NAN, -89.0, 89.0},
            {geodetic(42), NAN, 41.0, 82.0}, {geodetic(95), NAN, 41.0, 82.0},
            {geodetic(2011), NAN, 41.0, 82.0}, {sk_zone(42, 7), 39.0, 41.0, 82.0},
            {sk_zone(95, 12), 69.0, 41.0, 82.0}, {gsk_zone(9), 51.0, 41.0, 82.0},
            {utm_zone(37, 1), 39.0, 0.0, 84.0}, {utm_zone(23, 2), -45.0, -80.0, 0.0}};
        const System wgs = geodetic(84);
        for (int i = 0; i < points_; ++i) {
            const auto &u = users[std::size_t(i) % (sizeof users / sizeof users[0])];
            const System &user = u.system;
            double g[3];
            if (std::isnan(u.cm))
                point_in({u.lat_min, u.lat_max, kTerritory.lon_min, kTerritory.lon_max}, g);
            else
                point_in_zone(u.cm, 3.0, u.lat_min, u.lat_max, g);
            if (std::isnan(u.cm) && u.lat_min < 0)
                g[1] = uniform(-180.0, 180.0);
            double p[3] = {g[0], g[1], g[2]};
            if (user.rs.type != KV_TYPE_GEODETIC
                && !proj(geodetic(user.rs.datum).rs, user.rs).forward(p)) {
                to.fail([&] { return point_text(KV_TYPE_GEODETIC, g) + " into " + user.name; });
                continue;
            }
            const auto describe
                = [&] { return point_text(user.rs.type, p) + " (" + user.name + ")"; };
            geoid_transform t;
            if (initialize_geoid_transform(&user.rs, &egm96, &t) != 1) {
                to.fail(describe);
                from.fail(describe);
                continue;
            }
            const projref::Transformation &toWgs = proj(user.rs, wgs.rs);
            const projref::Transformation &fromWgs = proj(wgs.rs, user.rs);

            // Ellipsoidal height -> above the geoid: h(WGS 84) - N.
            double actual[3] = {p[0], p[1], p[2]}, w[3] = {p[0], p[1], p[2]}, n = NAN;
            if (transform_to_geoid(actual, &t) != 1 || !toWgs.forward(w) || !proj_N(w[0], w[1], &n))
                to.fail(describe);
            else
                to.add(std::fabs(actual[2] - (w[2] - n)), describe);

            // Above the geoid -> ellipsoidal: the height h of the user's point
            // whose WGS 84 height is H + N, by fixed-point passes (the
            // horizontal position moves by micrometres with h).
            double back[3] = {p[0], p[1], p[2]};
            bool ok = transform_from_geoid(back, &t) == 1;
            double h = p[2];
            for (int pass = 0; ok && pass < 3; ++pass) {
                double q[3] = {p[0], p[1], h};
                ok = toWgs.forward(q) && proj_N(q[0], q[1], &n);
                q[2] = p[2] + n;
                ok = ok && fromWgs.forward(q);
                h = q[2];
            }
            if (!ok)
                from.fail(describe);
            else
                from.add(std::fabs(back[2] - h), describe);
        }
        invalidate_geoid(&egm96);
        s.kinds = {heights, to, from};
        sections_.push_back(s);
    }

    bool passed() const
    {
        for (const Section &s : sections_) {
            for (const Kind &k : s.kinds) {
                if (!k.passed())
                    return false;
            }
        }
        return true;
    }

    void write(std::ostream &out, uint64_t seed) const
    {
        char date[32];
        const std::time_t now = std::time(nullptr);
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
        int kinds = 0, failed = 0;
        for (const Section &s : sections_) {
            for (const Kind &k : s.kinds) {
                ++kinds;
                failed += !k.passed();
            }
        }
        out << "Compared with PROJ " << proj_info().release << " on " << date << ": " << points_
            << " random points per kind, seed " << seed
            << ". Differences are the largest over the kind's points, in millimetres; "
               "\"where\" is the input point (degrees for geodetic points, metres "
               "otherwise) and the conversion that gave it.\n\n"
            << (failed == 0 ? "All " + std::to_string(kinds) + " kinds are within their tolerance."
                            : std::to_string(failed) + " of " + std::to_string(kinds)
                           + " kinds exceed their tolerance or failed to convert.")
            << "\n";
        for (const Section &s : sections_) {
            out << "\n## " << s.title << "\n\n" << s.metric << "\n\n";
            out << "| Kind | Points | Largest difference, mm | Where | Tolerance, mm | Result |\n"
                << "| --- | ---: | ---: | --- | ---: | --- |\n";
            for (const Kind &k : s.kinds) {
                out << "| " << k.name << " | " << k.points << " | "
                    << (k.ran() && k.worst_m >= 0 ? millimetres(k.worst_m) : "–") << " | "
                    << (k.ran() ? k.where : k.note) << " | "
                    << (k.judged() ? tolerance_text(k.tolerance_m) : "–") << " | " << result_text(k)
                    << " |\n";
            }
        }
    }

private:
    int points_;
    std::mt19937_64 random_;
    std::map<std::string, std::unique_ptr<projref::Transformation>> cache_;
    std::vector<Section> sections_;
};

int usage()
{
    std::cerr << "usage: accuracy [--points N] [--seed S] [--grid egm96.grd] "
                 "[--gtx egm96_15.gtx] OUTPUT.md\n";
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // Run in the user's locale: nothing may depend on its decimal separator.
    std::setlocale(LC_ALL, "");
    int points = 5000;
    uint64_t seed = 20261206;
    std::string grid = KELVADRA_EGM96_GRD, gtx = KELVADRA_EGM96_GTX, output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--points" && hasValue)
            points = std::atoi(argv[++i]);
        else if (arg == "--seed" && hasValue)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--grid" && hasValue)
            grid = argv[++i];
        else if (arg == "--gtx" && hasValue)
            gtx = argv[++i];
        else if (output.empty() && arg.rfind("--", 0) != 0)
            output = arg;
        else
            return usage();
    }
    if (output.empty() || points < 1)
        return usage();
    proj_log_level(PJ_DEFAULT_CTX, PJ_LOG_NONE);

    Report report(points, seed);
    report.run_datum_shifts();
    report.run_forms();
    report.run_projections();
    report.run_tm_systems();
    report.run_chains();
    report.run_geoid(grid, gtx);

    std::ofstream out(output, std::ios::binary);
    report.write(out, seed);
    out.close();
    if (!out) {
        std::cerr << "accuracy: cannot write " << output << "\n";
        return 2;
    }
    const bool ok = report.passed();
    std::cout << "accuracy: " << (ok ? "every kind within its tolerance" : "FAILED") << ", see "
              << output << "\n";
    return ok ? 0 : 1;
}
