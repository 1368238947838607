// The transformation chain: what initialize_transform records for every pair
// of types, refusals, known displacements between datums, and agreement with
// PROJ pipelines built from the same parameters for every type and datum pair.
//
// Tolerances, and why (largest differences seen in brackets):
//  - 0.1 mm for datum shifts and geodetic, geocentric and local forms [0.011
//    mm]: both sides compute the same linear Helmert step and closed forms;
//    what is left is rounding, the two geocentric-to-geodetic algorithms
//    (iterative here, closed form in PROJ), and, for a pair without PZ 90.11,
//    the library's first-order composition of the two table rows where PROJ
//    applies them one after the other: the dropped products of rotations are
//    at most |w1|·|w2|·r ≈ 3.9e-6 · 6.5e-7 · 6.4e6 m ≈ 0.016 mm (Pulkovo 42
//    with Pulkovo 95 or PZ 90);
//  - + 0.5 mm for each side in the GOST zone series [0.21 mm], compared with
//    the exact Transverse Mercator on Krasovsky about the series' effective
//    central meridian (see plane_args in proj_reference.cpp);
//  - + 2 mm for each side in the general Transverse Mercator within 3.5° of
//    the central meridian [1.1 mm], compared with PROJ's +approx, the same
//    Snyder series with longer meridian-distance and footpoint series.
#include "kelvadra_internal.h"
#include "proj_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace kelvadra;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

refsystem make(int type, int datum, int zone = 7, int hemisphere = 1)
{
    refsystem rs;
    std::memset(&rs, 0, sizeof rs);
    const double origin[3] = {deg_to_rad(55.0), deg_to_rad(37.0), 150.0};
    const int ok = type == 1 ? setup_geoc(datum, &rs)
        : type == 2          ? setup_geod(datum, &rs)
        : type == 3          ? setup_lsr(datum, origin, &rs)
        : type == 4          ? (datum == 95 ? setup_sk95 : setup_sk42)(zone, hemisphere, &rs)
                             : setup_gk(datum, zone, hemisphere, &rs);
    EXPECT_EQ(ok, 1) << type << " " << datum;
    return rs;
}

transform init(const refsystem &in, const refsystem &out)
{
    transform t;
    std::memset(&t, 0x5a, sizeof t); // whatever the caller's record held
    EXPECT_EQ(initialize_transform(&in, &out, &t), 1) << in.type << " -> " << out.type;
    return t;
}

int convert(const refsystem &in, const refsystem &out, const double p[3], double q[3])
{
    const transform t = init(in, out);
    return transform_coords(p, &t, q);
}

bool sameBits(const double a[3], const double b[3])
{
    return std::memcmp(a, b, 24) == 0;
}

enum Step { EI = 1, EO = 2, ZI = 4, ZO = 8, PI = 16, PO = 32, SH = 64 };

std::string stepsText(int s)
{
    std::string t;
    const char *names[] = {"E-in ", "E-out ", "Z-in ", "Z-out ", "P-in ", "P-out ", "shift "};
    for (int i = 0; i < 7; ++i)
        t += s & (1 << i) ? names[i] : "";
    return t.empty() ? "nothing" : t;
}

int recorded(const transform &t)
{
    return (t.input_ellipsoid.a > 0 ? EI : 0) | (t.output_ellipsoid.a > 0 ? EO : 0)
        | (t.input_zone != -1 ? ZI : 0) | (t.output_zone != -1 ? ZO : 0)
        | (t.input_projection.scale_factor > 0 ? PI : 0)
        | (t.output_projection.scale_factor > 0 ? PO : 0) | (affine_is_set(t.shift) ? SH : 0);
}

// Input type, output type, steps on one datum (42 -> 42) and on two (42 ->
// 9011; SK-95 stands in for type 4, which exists on the Krasovsky datums
// only). 4 -> 4 and 5 -> 5 go from zone 7 to 8.
TEST(InitializeTransform, RecordsTheStepsOfEveryTypePair)
{
    const struct
    {
        int in, out, same, different;
    } cells[] = {
        {1, 1, 0, SH},
        {1, 2, EO, EO | SH},
        {1, 3, SH, SH},
        {1, 4, EO | ZO, EO | ZO | SH},
        {1, 5, EO | PO, EO | PO | SH},
        {2, 1, EI, EI | SH},
        {2, 2, 0, EI | SH | EO},
        {2, 3, EI | SH, EI | SH},
        {2, 4, ZO, EI | SH | EO | ZO},
        {2, 5, PO, EI | SH | EO | PO},
        {3, 1, SH, SH},
        {3, 2, SH | EO, SH | EO},
        {3, 3, SH, SH},
        {3, 4, SH | EO | ZO, SH | EO | ZO},
        {3, 5, SH | EO | PO, SH | EO | PO},
        {4, 1, EI | ZI, EI | ZI | SH},
        {4, 2, ZI, ZI | EI | SH | EO},
        {4, 3, ZI | EI | SH, ZI | EI | SH},
        {4, 4, ZI | ZO, ZI | EI | SH | EO | ZO},
        {4, 5, ZI | PO, ZI | EI | SH | EO | PO},
        {5, 1, EI | PI, EI | PI | SH},
        {5, 2, PI, EI | PI | SH | EO},
        {5, 3, EI | PI | SH, EI | PI | SH},
        {5, 4, PI | ZO, EI | PI | SH | EO | ZO},
        {5, 5, PI | PO, EI | PI | SH | EO | PO},
    };
    for (const auto &c : cells) {
        for (bool same : {true, false}) {
            const int datum = same ? 42 : c.out == 4 ? 95 : 9011;
            const transform t = init(make(c.in, 42), make(c.out, datum, c.in == c.out ? 8 : 7));
            EXPECT_EQ(stepsText(recorded(t)), stepsText(same ? c.same : c.different))
                << c.in << " -> " << c.out << (same ? " same datum" : " different datums");
        }
    }
}

// One projection read as (easting, northing) and written as (northing,
// easting) is no identity: swapped, not copied. Exact identities on every
// datum are checked against PROJ below.
TEST(InitializeTransform, ProjectedIdentityNeedsTheSameAxisOrder)
{
    refsystem utm, swapped;
    ASSERT_EQ(setup_utm(37, 1, &utm), 1);
    swapped = utm;
    swapped.axis_order = KV_AXES_NORTHING_EASTING;
    const double en[3] = {412345.678, 6098765.432, 10.0};
    double ne[3];
    ASSERT_EQ(convert(utm, swapped, en, ne), 1);
    EXPECT_NEAR(ne[0], en[1], 1e-3); // through the series there and back: 1 mm
    EXPECT_NEAR(ne[1], en[0], 1e-3);
    EXPECT_EQ(ne[2], en[2]);
}

// A system check_refsystem rejects, or a datum without the ellipsoid or shift
// the pair needs, is refused; the record is left converting points into themselves.
TEST(InitializeTransform, RefusesWhatItCannotConvert)
{
    const refsystem geod = make(2, 2011);
    refsystem none, six = geod, automatic = geod, zone = make(4, 42), local = make(3, 2011);
    invalidate_refsystem(&none);
    six.type = 6;
    // The program's automatic GSK 2011 zone before completion.
    automatic.type = KV_TYPE_PROJECTED;
    automatic.zone = 0;
    automatic.hemisphere = 1;
    automatic.axis_order = KV_AXES_NORTHING_EASTING;
    automatic.projection.scale_factor = 0;
    zone.zone = 61;
    local.origin[1] = kNaN;
    const refsystem unknown = make(2, 1234), unknownGeoc = make(1, 1234), unknownGk = make(5, 1234);
    const struct
    {
        const char *what;
        const refsystem *in, *out;
    } cases[] = {
        {"no type", &none, &geod},
        {"type 6", &geod, &six},
        {"incomplete zone", &automatic, &geod},
        {"incomplete zone out", &geod, &automatic},
        {"zone 61", &geod, &zone},
        {"NaN origin", &local, &geod},
        {"NaN origin out", &geod, &local},
        {"no shift or ellipsoid", &unknown, &geod},
        {"no shift or ellipsoid out", &geod, &unknown},
        {"ellipsoid on one datum", &unknown, &unknownGeoc},
        {"projection constants", &unknown, &unknownGk},
    };
    for (const auto &c : cases) {
        transform t;
        EXPECT_EQ(initialize_transform(c.in, c.out, &t), 0) << c.what;
        EXPECT_EQ(recorded(t), 0) << c.what;
        const double in[3] = {1.5, 2.5, 3.5};
        double out[3];
        ASSERT_EQ(transform_coords(in, &t, out), 1);
        EXPECT_TRUE(sameBits(in, out)) << c.what;
    }
    transform t;
    EXPECT_EQ(initialize_transform(&unknown, &unknown, &t), 1) << "the identity needs nothing";
    EXPECT_EQ(initialize_transform(nullptr, &geod, &t), 0);
    EXPECT_EQ(initialize_transform(&geod, nullptr, &t), 0);
    EXPECT_EQ(initialize_transform(&geod, &geod, nullptr), 0);
}

// The published displacements at (55 deg, 37 deg, 0), to their two decimals.
TEST(TransformCoords, KnownDisplacements)
{
    const struct
    {
        int from, to;
        double dLatSec, dLonSec, height, angleTol;
    } cases[] = {
        {42, 84, 0.07, -6.64, 5.16, 0.005}, {84, 42, -0.07, 6.64, -5.16, 0.005},
        {9011, 84, 0, 0, -0.97, 0.01}, // the height changes, the position hardly
    };
    for (const auto &c : cases) {
        const double p[3] = {55.0, 37.0, 0.0};
        double q[3];
        ASSERT_EQ(convert(make(2, c.from), make(2, c.to), p, q), 1);
        EXPECT_NEAR((q[0] - 55.0) * 3600, c.dLatSec, c.angleTol) << c.from;
        EXPECT_NEAR((q[1] - 37.0) * 3600, c.dLonSec, c.angleTol) << c.from;
        EXPECT_NEAR(q[2], c.height, 0.005) << c.from;
    }
}

// UTM writes (easting, northing); both kinds of Gauss-Krüger write (northing,
// easting with its zone prefix).
TEST(TransformCoords, PlaneAxisOrders)
{
    refsystem utm;
    setup_utm(37, 1, &utm);
    const double p[3] = {55.0, 38.0, 0.0};
    double u[3], g[3], n[3];
    ASSERT_EQ(convert(make(2, 84), utm, p, u), 1);
    ASSERT_EQ(convert(make(2, 84), make(5, 84), p, g), 1);
    ASSERT_EQ(convert(make(2, 42), make(4, 42), p, n), 1);
    EXPECT_NEAR(u[0], 436000.0, 1000.0);
    EXPECT_NEAR(u[1], 6096000.0, 2000.0);
    EXPECT_NEAR(g[0], 6099000.0, 2000.0);
    EXPECT_NEAR(g[1], 7436000.0, 1000.0);
    EXPECT_NEAR(n[0], g[0], 200.0);
    EXPECT_NEAR(n[1], g[1], 200.0);
}

// The automatic national zone follows the series (6 deg is zone 1) and comes
// back through the easting's prefix, on one datum with the height kept; a
// western longitude comes back as its eastern equivalent, in the same place.
TEST(TransformCoords, AutomaticNationalZone)
{
    const transform there = init(make(2, 42), make(4, 42, 0, 0));
    const transform back = init(make(4, 42, 0, 1), make(2, 42));
    const double lonToZone[][2] = {{37.5, 7}, {45.5, 8}, {6.0, 1}, {-0.1, 60}};
    for (const auto &c : lonToZone) {
        const double p[3] = {55.0, c[0], 321.987654321};
        double q[3], r[3];
        ASSERT_EQ(transform_coords(p, &there, q), 1);
        EXPECT_EQ(std::floor(q[1] / 1e6), c[1]) << c[0];
        EXPECT_LT(q[0], 1e7) << "northern: no false northing";
        ASSERT_EQ(transform_coords(q, &back, r), 1);
        EXPECT_NEAR(r[0], 55.0, 1e-8);                                     // 1 mm
        EXPECT_NEAR(r[1], c[0] < 0 ? c[0] + 360.0 : c[0], 1.5e-8) << c[0]; // 1 mm at 55 deg
        EXPECT_EQ(r[2], p[2]);
    }
}

// A step that rejects the point, or a result that is not finite, fails with
// the output untouched: a failure is never reported as success.
TEST(TransformCoords, RejectedPointsFailAndLeaveTheOutput)
{
    const refsystem geod = make(2, 84), automatic = make(4, 42, 0, 1);
    const struct
    {
        refsystem in, out;
        double point[3];
    } cases[] = {
        {make(4, 42, 7, 0), geod, {6100000.0, 7400000.0, 0.0}}, // the inverse needs a hemisphere
        {automatic, geod, {6100000.0, 500000.0, 0.0}},          // no zone prefix
        {automatic, geod, {6100000.0, 61500000.0, 0.0}},
        {geod, make(2, 42), {kNaN, 37.0, 0.0}},
        {geod, make(2, 42), {55.0, 37.0, kNaN}},
        {make(1, 84), make(2, 42), {kNaN, 1.0, 1.0}},
        {make(1, 84), make(4, 42), {1.0, 1.0, HUGE_VAL}},
        {geod, make(5, 84), {55.0, kNaN, 0.0}},
        {geod, make(4, 42, 0, 0), {55.0, kNaN, 0.0}},
        {make(5, 84), geod, {kNaN, 7400000.0, 0.0}},
        {geod, geod, {kNaN, 0.0, 0.0}},
        {make(3, 84), make(1, 84), {0.0, HUGE_VAL, 0.0}},
    };
    for (const auto &c : cases) {
        const transform t = init(c.in, c.out);
        double out[3] = {-1.0, -2.0, -3.0};
        EXPECT_EQ(transform_coords(c.point, &t, out), 0) << c.in.type << " -> " << c.out.type;
        EXPECT_TRUE(out[0] == -1.0 && out[1] == -2.0 && out[2] == -3.0) << "output touched";
    }
    const transform t = init(geod, geod);
    double out[3];
    EXPECT_EQ(transform_coords(nullptr, &t, out), 0);
    EXPECT_EQ(transform_coords(out, nullptr, out), 0);
    EXPECT_EQ(transform_coords(out, &t, nullptr), 0);
}

// ------------------------------------------------------------ against PROJ

struct System
{
    std::string name;
    refsystem rs;
};

// Systems of every type on every datum, around Moscow (zone 7, UTM 37). The
// local origins differ by datum, in all four quarters of the globe, so that
// the frame's signs and the order of composed steps show.
std::vector<System> all_systems()
{
    std::vector<System> systems;
    const double origins[4][3]
        = {{55.5, 38.0, 150.0}, {-33.9, -70.6, 600.0}, {0.0, 0.0, 0.0}, {89.5, 179.9, -30.0}};
    int i = 0;
    for (int d : projref::kDatums) {
        const std::string tag = std::to_string(d);
        const double *o = origins[i++ % 4];
        const double origin[3] = {deg_to_rad(o[0]), deg_to_rad(o[1]), o[2]};
        refsystem rs;
        setup_geoc(d, &rs);
        systems.push_back({"geocentric " + tag, rs});
        setup_geod(d, &rs);
        systems.push_back({"geodetic " + tag, rs});
        setup_lsr(d, origin, &rs);
        systems.push_back({"local " + tag, rs});
        setup_gk(d, 7, 1, &rs);
        systems.push_back({"GK zone 7 (type 5) " + tag, rs});
    }
    const struct
    {
        const char *name;
        int (*setup)(unsigned, int, refsystem *);
        unsigned zone;
    } zones[] = {{"SK-42 zone 7 (type 4)", setup_sk42, 7}, {"SK-95 zone 7 (type 4)", setup_sk95, 7},
        {"SK-42 automatic zone (type 4)", setup_sk42, 0}, {"UTM 37N", setup_utm, 37}};
    for (const auto &z : zones) {
        refsystem rs;
        z.setup(z.zone, 1, &rs);
        systems.push_back({z.name, rs});
    }
    return systems;
}

double tolerance_m(const refsystem &in, const refsystem &out)
{
    double tol = 1e-4;
    for (const refsystem *rs : {&in, &out}) {
        if (rs->type == KV_TYPE_GK_ZONE)
            tol += 5e-4;
        if (rs->type == KV_TYPE_PROJECTED)
            tol += 2e-3;
    }
    return tol;
}

// PROJ needs a fixed zone; the automatic one is zone 7 for these points.
refsystem as_fixed_zone(refsystem rs)
{
    if (rs.type == KV_TYPE_GK_ZONE && rs.zone == 0)
        rs.zone = 7;
    return rs;
}

TEST(ChainAgainstProj, EveryTypePairOnEveryDatumPair)
{
    const std::vector<System> systems = all_systems();
    std::mt19937_64 random(20260101);
    std::uniform_real_distribution<double> lat(50.0, 62.0);
    std::uniform_real_distribution<double> lon(36.2, 41.8);
    std::uniform_real_distribution<double> height(-100.0, 3000.0);

    int pairs = 0;
    for (const System &in : systems) {
        const refsystem inFixed = as_fixed_zone(in.rs);
        // Input points are made from geodetic points on the input datum by
        // PROJ, so both sides start from identical coordinates.
        const projref::Transformation source(projref::pipeline(make(2, in.rs.datum), inFixed));
        ASSERT_TRUE(source.valid()) << in.name;
        for (const System &out : systems) {
            SCOPED_TRACE(in.name + " -> " + out.name);
            const projref::Transformation reference(
                projref::pipeline(inFixed, as_fixed_zone(out.rs)));
            ASSERT_TRUE(reference.valid());
            transform t;
            ASSERT_EQ(initialize_transform(&in.rs, &out.rs, &t), 1);
            const double tol = tolerance_m(in.rs, out.rs);
            for (int i = 0; i < 8; ++i) {
                double point[3] = {lat(random), lon(random), height(random)};
                ASSERT_TRUE(source.forward(point));
                double expected[3] = {point[0], point[1], point[2]};
                ASSERT_TRUE(reference.forward(expected));
                double actual[3], inPlace[3] = {point[0], point[1], point[2]};
                ASSERT_EQ(transform_coords(point, &t, actual), 1);
                EXPECT_LT(projref::distance_m(out.rs.type, actual, expected), tol)
                    << "input " << point[0] << ", " << point[1] << ", " << point[2] << "\nlibrary "
                    << actual[0] << ", " << actual[1] << ", " << actual[2] << "\nPROJ    "
                    << expected[0] << ", " << expected[1] << ", " << expected[2];
                // The same array as input and output; a system into itself
                // returns the input exactly (a local frame goes through its
                // matrix and back).
                ASSERT_EQ(transform_coords(inPlace, &t, inPlace), 1);
                EXPECT_EQ(std::memcmp(inPlace, actual, sizeof actual), 0) << "in place";
                const bool identity = &in == &out && in.rs.type != KV_TYPE_LOCAL;
                EXPECT_TRUE(!identity || std::memcmp(point, actual, sizeof actual) == 0)
                    << "identity";
            }
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 36 * 36);
}

// Projections in every zone, both hemispheres, against PROJ's tmerc; and
// there and back within 1 mm inside the zone (3 deg of the central meridian).
class ZonesAgainstProj : public ::testing::Test
{
protected:
    void check(const refsystem &plane, int datum, double centralDeg, double halfWidth,
        double latMin, double latMax, double tol)
    {
        const refsystem geod = make(2, datum);
        const projref::Transformation forward(projref::pipeline(geod, plane));
        const projref::Transformation inverse(projref::pipeline(plane, geod));
        ASSERT_TRUE(forward.valid() && inverse.valid());
        transform tf, ti;
        ASSERT_EQ(initialize_transform(&geod, &plane, &tf), 1);
        ASSERT_EQ(initialize_transform(&plane, &geod, &ti), 1);
        std::uniform_real_distribution<double> lat(latMin, latMax);
        std::uniform_real_distribution<double> offset(-halfWidth, halfWidth);
        for (int i = 0; i < 20; ++i) {
            const double dLon = offset(random_);
            const double point[3] = {lat(random_), centralDeg + dLon, 100.0};
            double expected[3] = {point[0], point[1], point[2]};
            double actual[3], back[3], actualBack[3];
            ASSERT_TRUE(forward.forward(expected));
            ASSERT_EQ(transform_coords(point, &tf, actual), 1);
            EXPECT_LT(projref::distance_m(plane.type, actual, expected), tol)
                << "forward at " << point[0] << ", " << point[1];
            std::copy(expected, expected + 3, back);
            ASSERT_TRUE(inverse.forward(back));
            ASSERT_EQ(transform_coords(expected, &ti, actualBack), 1);
            EXPECT_LT(projref::distance_m(KV_TYPE_GEODETIC, actualBack, back), tol)
                << "inverse at " << point[0] << ", " << point[1];
            ASSERT_EQ(transform_coords(actual, &ti, actualBack), 1);
            const double trip = projref::distance_m(KV_TYPE_GEODETIC, actualBack, point);
            EXPECT_LT(std::fabs(dLon) <= 3.0 ? trip : 0.0, 1e-3)
                << "round trip at " << point[0] << ", " << point[1];
        }
    }

    std::mt19937_64 random_ {7};
};

// GOST series in [0.5 mm]; UTM and GSK 2011 zones within 3.5° of their
// central meridian in 2 mm.
TEST_F(ZonesAgainstProj, EveryZoneBothHemispheres)
{
    for (int zone = 1; zone <= 60; ++zone) {
        for (int hemisphere : {1, 2}) {
            SCOPED_TRACE(
                "zone " + std::to_string(zone) + " hemisphere " + std::to_string(hemisphere));
            const double lo = hemisphere == 1 ? 0.0 : -80.0;
            const double hi = hemisphere == 1 ? 80.0 : 0.0;
            refsystem sk42, utm, gsk;
            ASSERT_TRUE(setup_sk42(zone, hemisphere, &sk42) && setup_utm(zone, hemisphere, &utm)
                && setup_gsk2011(zone, hemisphere, &gsk));
            check(sk42, 42, 6.0 * zone - 3.0, 3.0, lo, hi, 5e-4);
            check(utm, 84, 6.0 * zone - 183.0, 3.5, lo, hi, 2e-3);
            check(gsk, 2011, 6.0 * zone - 3.0, 3.5, lo, hi, 2e-3);
        }
    }
}

} // namespace
