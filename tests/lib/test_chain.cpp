// The transformation chain: what initialize_transform records for every pair
// of types, identities, failures, and known displacements between datums.
// Agreement with PROJ for every type and datum pair is in test_chain_proj.
#include "kelvadra_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace kelvadra;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kArcSecond = 1.0 / 3600.0; // degrees

refsystem make(int type, int datum, int zone = 7)
{
    refsystem rs;
    std::memset(&rs, 0, sizeof rs);
    const double origin[3] = { deg_to_rad(55.0), deg_to_rad(37.0), 150.0 };
    int ok = 0;
    switch (type) {
    case 1:
        ok = setup_geoc(datum, &rs);
        break;
    case 2:
        ok = setup_geod(datum, &rs);
        break;
    case 3:
        ok = setup_lsr(datum, origin, &rs);
        break;
    case 4:
        ok = datum == 95 ? setup_sk95(zone, 1, &rs) : setup_sk42(zone, 1, &rs);
        break;
    case 5:
        ok = setup_gk(datum, zone, 1, &rs);
        break;
    }
    EXPECT_EQ(ok, 1) << type << " " << datum;
    return rs;
}

transform init(const refsystem &in, const refsystem &out)
{
    transform t;
    std::memset(&t, 0x5a, sizeof t); // whatever the caller's record held
    EXPECT_EQ(initialize_transform(&in, &out, &t), 1);
    return t;
}

// One conversion with a freshly initialised transform.
int convert(const refsystem &in, const refsystem &out, const double p[3], double q[3])
{
    const transform t = init(in, out);
    return transform_coords(p, &t, q);
}

bool same_bits(const double a[3], const double b[3])
{
    return std::memcmp(a, b, 24) == 0;
}

// ------------------------------------------------------------ what is recorded

enum Step { EI = 1, EO = 2, ZI = 4, ZO = 8, PI = 16, PO = 32, SH = 64 };

std::string steps_text(int s)
{
    std::string t;
    const char *names[] = { "E-in ", "E-out ", "Z-in ", "Z-out ", "P-in ", "P-out ", "shift " };
    for (int i = 0; i < 7; ++i) {
        if (s & (1 << i))
            t += names[i];
    }
    return t.empty() ? "nothing" : t;
}

int recorded(const transform &t)
{
    int s = 0;
    if (t.input_ellipsoid.a > 0)
        s |= EI;
    if (t.output_ellipsoid.a > 0)
        s |= EO;
    if (t.input_zone != -1)
        s |= ZI;
    if (t.output_zone != -1)
        s |= ZO;
    if (t.input_projection.scale_factor > 0)
        s |= PI;
    if (t.output_projection.scale_factor > 0)
        s |= PO;
    if (affine_is_set(t.shift))
        s |= SH;
    return s;
}

// Rows: input type, columns: output type; on one datum (42 -> 42) and on two
// (42 -> 95). The 4 -> 4 and 5 -> 5 cells use zones 7 -> 8 (not identities).
struct Cell
{
    int in, out, same, different;
};
const Cell kTable[] = {
    { 1, 1, 0, SH },
    { 1, 2, EO, EO | SH },
    { 1, 3, SH, SH },
    { 1, 4, EO | ZO, EO | ZO | SH },
    { 1, 5, EO | PO, EO | PO | SH },
    { 2, 1, EI, EI | SH },
    { 2, 2, 0, EI | SH | EO },
    { 2, 3, EI | SH, EI | SH },
    { 2, 4, ZO, EI | SH | EO | ZO },
    { 2, 5, PO, EI | SH | EO | PO },
    { 3, 1, SH, SH },
    { 3, 2, SH | EO, SH | EO },
    { 3, 3, SH, SH },
    { 3, 4, SH | EO | ZO, SH | EO | ZO },
    { 3, 5, SH | EO | PO, SH | EO | PO },
    { 4, 1, EI | ZI, EI | ZI | SH },
    { 4, 2, ZI, ZI | EI | SH | EO },
    { 4, 3, ZI | EI | SH, ZI | EI | SH },
    { 4, 4, ZI | ZO, ZI | EI | SH | EO | ZO },
    { 4, 5, ZI | PO, ZI | EI | SH | EO | PO },
    { 5, 1, EI | PI, EI | PI | SH },
    { 5, 2, PI, EI | PI | SH | EO },
    { 5, 3, EI | PI | SH, EI | PI | SH },
    { 5, 4, PI | ZO, EI | PI | SH | EO | ZO },
    { 5, 5, PI | PO, EI | PI | SH | EO | PO },
};

TEST(InitializeTransform, RecordsTheStepsOfEveryTypePair)
{
    ellipsoid krasovsky, pz90;
    ASSERT_EQ(ellipsoid_of_datum(42, &krasovsky), 1);
    ASSERT_EQ(ellipsoid_of_datum(90, &pz90), 1);
    for (const Cell &c : kTable) {
        for (int outDatum : { 42, 9011 }) {
            const bool same = outDatum == 42;
            const int zoneOut = c.in == c.out ? 8 : 7;
            const refsystem in = make(c.in, 42);
            // Type 4 exists only on the Krasovsky datums: SK-95 stands in for
            // a second datum there.
            const refsystem out = make(c.out, c.out == 4 && !same ? 95 : outDatum, zoneOut);
            const transform t = init(in, out);
            const int expected = same ? c.same : c.different;
            EXPECT_EQ(steps_text(recorded(t)), steps_text(expected))
                << c.in << " -> " << c.out << (same ? " same datum" : " different datums");

            // What is recorded is copied from the systems.
            if (t.input_ellipsoid.a > 0) {
                EXPECT_EQ(t.input_ellipsoid.a, krasovsky.a);
            }
            if (t.output_ellipsoid.a > 0) {
                EXPECT_EQ(t.output_ellipsoid.a, out.datum == 9011 ? pz90.a : krasovsky.a);
            }
            if (t.output_zone != -1) {
                EXPECT_EQ(t.output_zone, out.zone);
                EXPECT_EQ(t.output_hemisphere, out.hemisphere);
            }
            if (t.output_projection.scale_factor > 0) {
                EXPECT_EQ(
                    std::memcmp(&t.output_projection, &out.projection, sizeof(tm_projection)), 0);
                EXPECT_EQ(t.output_axis_order, out.axis_order);
                EXPECT_GT(t.output_constants.a, 0.0);
            }
            if (t.input_projection.scale_factor > 0) {
                EXPECT_GT(t.input_constants.a, 0.0);
            }
        }
    }
}

TEST(InitializeTransform, IdentitiesRecordNothing)
{
    const refsystem pairs[][2] = { { make(2, 84), make(2, 84) }, { make(1, 9011), make(1, 9011) },
        { make(4, 42), make(4, 42) }, { make(5, 2011), make(5, 2011) } };
    for (const auto &p : pairs) {
        const transform t = init(p[0], p[1]);
        EXPECT_EQ(recorded(t), 0) << p[0].type;
        const double in[3] = { 55.123456789012345, 37.987654321098765, 123.456789 };
        double out[3] = { 0, 0, 0 };
        ASSERT_EQ(transform_coords(in, &t, out), 1);
        EXPECT_TRUE(same_bits(in, out)) << p[0].type;
    }
    // The automatic zone of the national series is the same system too.
    refsystem a, b;
    setup_sk42(0, 1, &a);
    setup_sk42(0, 1, &b);
    EXPECT_EQ(recorded(init(a, b)), 0);
}

TEST(InitializeTransform, ProjectedIdentityNeedsTheSameAxisOrder)
{
    // One projection, read as (easting, northing) and written as (northing,
    // easting): the axes must be swapped, not copied.
    refsystem utm;
    ASSERT_EQ(setup_utm(37, 1, &utm), 1);
    refsystem swapped = utm;
    swapped.axis_order = KV_AXES_NORTHING_EASTING;
    const transform t = init(utm, swapped);
    const double in[3] = { 412345.678, 6098765.432, 10.0 };
    double out[3];
    ASSERT_EQ(transform_coords(in, &t, out), 1);
    // Through the inverse and forward series: within their 1 mm round trip.
    EXPECT_NEAR(out[0], in[1], 1e-3);
    EXPECT_NEAR(out[1], in[0], 1e-3);
    EXPECT_EQ(out[2], in[2]);
}

TEST(InitializeTransform, TypeOutsideOneToFiveFails)
{
    const refsystem good = make(2, 84);
    refsystem none;
    invalidate_refsystem(&none);
    refsystem six = good;
    six.type = 6;
    refsystem negative = good;
    negative.type = -1;
    for (const refsystem &bad : { none, six, negative }) {
        transform t;
        EXPECT_EQ(initialize_transform(&bad, &good, &t), 0);
        EXPECT_EQ(initialize_transform(&good, &bad, &t), 0);
        // The record is left in its reset state, which converts points into
        // themselves.
        EXPECT_EQ(recorded(t), 0);
        const double in[3] = { 1.5, 2.5, 3.5 };
        double out[3];
        ASSERT_EQ(transform_coords(in, &t, out), 1);
        EXPECT_TRUE(same_bits(in, out));
    }
    transform t;
    EXPECT_EQ(initialize_transform(nullptr, &good, &t), 0);
    EXPECT_EQ(initialize_transform(&good, nullptr, &t), 0);
    EXPECT_EQ(initialize_transform(&good, &good, nullptr), 0);
}

TEST(InitializeTransform, UnknownDatumFailsWhereItsParametersAreNeeded)
{
    transform t;
    refsystem a = make(2, 1234), b = make(2, 84);
    EXPECT_EQ(initialize_transform(&a, &b, &t), 0); // shift and ellipsoid
    EXPECT_EQ(recorded(t), 0);
    EXPECT_EQ(initialize_transform(&b, &a, &t), 0);
    b = make(1, 1234);
    EXPECT_EQ(initialize_transform(&a, &b, &t), 0); // ellipsoid on one datum
    b = make(5, 1234);
    EXPECT_EQ(initialize_transform(&a, &b, &t), 0); // projection constants
    // Nothing is needed for the identity.
    EXPECT_EQ(initialize_transform(&a, &a, &t), 1);
}

TEST(InitializeTransform, IncompleteSystemsFail)
{
    transform t;
    const refsystem geod = make(2, 2011);
    // The program's GSK 2011 zone left to automatic choice, before completion.
    refsystem automatic = geod;
    automatic.type = KV_TYPE_PROJECTED;
    automatic.zone = 0;
    automatic.hemisphere = 1;
    automatic.axis_order = KV_AXES_NORTHING_EASTING;
    automatic.projection.scale_factor = 0;
    EXPECT_EQ(initialize_transform(&automatic, &geod, &t), 0);
    EXPECT_EQ(initialize_transform(&geod, &automatic, &t), 0);
    // A national zone that is not set.
    refsystem zone = make(4, 42);
    zone.zone = -1;
    EXPECT_EQ(initialize_transform(&zone, &geod, &t), 0);
    zone.zone = 61;
    EXPECT_EQ(initialize_transform(&geod, &zone, &t), 0);
    // A local origin that is not set, or not a number.
    refsystem local = make(3, 2011);
    local.origin[1] = DBL_MAX;
    EXPECT_EQ(initialize_transform(&local, &geod, &t), 0);
    local.origin[1] = kNaN;
    EXPECT_EQ(initialize_transform(&local, &geod, &t), 0);
    EXPECT_EQ(initialize_transform(&geod, &local, &t), 0);
}

// ------------------------------------------------------------ conversions

// Every datum pair converts, moves the point when the datums differ, and
// comes back within a millimetre (the reverse row is the negated one, exact to
// first order).
TEST(TransformCoords, EveryDatumPairRoundTrips)
{
    const int datums[] = { 42, 95, 84, 90, 9002, 9011, 2011, 2008 };
    for (int from : datums) {
        for (int to : datums) {
            const transform there = init(make(2, from), make(2, to));
            const transform back = init(make(2, to), make(2, from));
            const double p[3] = { 55.0, 37.0, 200.0 };
            double q[3], r[3];
            ASSERT_EQ(transform_coords(p, &there, q), 1) << from << " " << to;
            ASSERT_EQ(transform_coords(q, &back, r), 1) << from << " " << to;
            if (from != to) {
                EXPECT_FALSE(same_bits(p, q)) << from << " " << to;
            }
            EXPECT_NEAR(r[0], p[0], 1e-3 / 111000.0) << from << " " << to;
            EXPECT_NEAR(r[1], p[1], 1e-3 / 64000.0) << from << " " << to;
            EXPECT_NEAR(r[2], p[2], 1e-3) << from << " " << to;
        }
    }
}

TEST(TransformCoords, Pulkovo42AndWgs84Displacements)
{
    const struct
    {
        int from, to;
        double dLatSec, dLonSec, height;
    } cases[] = {
        { 42, 84, 0.07, -6.64, 5.16 },
        { 84, 42, -0.07, 6.64, -5.16 },
    };
    for (const auto &c : cases) {
        const transform t = init(make(2, c.from), make(2, c.to));
        const double p[3] = { 55.0, 37.0, 0.0 };
        double q[3];
        ASSERT_EQ(transform_coords(p, &t, q), 1);
        // The figures are given to two decimals.
        EXPECT_NEAR((q[0] - 55.0) / kArcSecond, c.dLatSec, 0.005) << c.from;
        EXPECT_NEAR((q[1] - 37.0) / kArcSecond, c.dLonSec, 0.005) << c.from;
        EXPECT_NEAR(q[2], c.height, 0.005) << c.from;
    }
}

TEST(TransformCoords, Pz9011ToWgs84ChangesMostlyTheHeight)
{
    const transform t = init(make(2, 9011), make(2, 84));
    const double p[3] = { 55.0, 37.0, 0.0 };
    double q[3];
    ASSERT_EQ(transform_coords(p, &t, q), 1);
    EXPECT_LT(std::fabs(q[0] - 55.0), 0.01 * kArcSecond);
    EXPECT_LT(std::fabs(q[1] - 37.0), 0.01 * kArcSecond);
    EXPECT_NEAR(q[2], -0.97, 0.005);
}

TEST(TransformCoords, GeocentricShiftOnly)
{
    const transform t = init(make(1, 9011), make(1, 84));
    EXPECT_EQ(recorded(t), SH);
    const double p[3] = { 2845000.0, 2144000.0, 5201000.0 };
    double q[3];
    ASSERT_EQ(transform_coords(p, &t, q), 1);
    // The negated WGS 84 row in X_to = (1 + dm) R X_from + T with
    // R = [[1, wz, -wy], [-wz, 1, wx], [wy, -wx, 1]].
    const double mas = 4.84813681109536e-9;
    const double wx = 2.30 * mas, wy = -3.54 * mas, wz = 4.21 * mas, s = 1 + 0.008e-6;
    const double expected[3] = {
        s * (p[0] + wz * p[1] - wy * p[2]) + 0.013,
        s * (-wz * p[0] + p[1] + wx * p[2]) - 0.106,
        s * (wy * p[0] - wx * p[1] + p[2]) - 0.022,
    };
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(q[i], expected[i], 1e-8) << i;
}

TEST(TransformCoords, NegativeYGivesNegativeLongitude)
{
    const transform t = init(make(1, 84), make(2, 84));
    const double p[3] = { 3000000.0, -3000000.0, 4500000.0 };
    double q[3];
    ASSERT_EQ(transform_coords(p, &t, q), 1);
    EXPECT_NEAR(q[1], -45.0, 1e-12);
    const double west[3] = { -3000000.0, -3000000.0, 4500000.0 };
    ASSERT_EQ(transform_coords(west, &t, q), 1);
    EXPECT_NEAR(q[1], -135.0, 1e-12);
}

TEST(TransformCoords, SameArrayInAndOut)
{
    const refsystem pairs[][2] = { { make(4, 42), make(2, 84) }, { make(2, 42), make(5, 2011) },
        { make(3, 90), make(1, 2008) }, { make(5, 84), make(4, 95) } };
    const double inputs[][3] = { { 6100000.0, 7412345.0, 150.0 }, { 55.0, 37.0, 150.0 },
        { 1000.0, -2000.0, 30.0 }, { 6100000.0, 7412345.0, 150.0 } };
    for (int i = 0; i < 4; ++i) {
        const transform t = init(pairs[i][0], pairs[i][1]);
        double separate[3];
        ASSERT_EQ(transform_coords(inputs[i], &t, separate), 1);
        double inPlace[3] = { inputs[i][0], inputs[i][1], inputs[i][2] };
        ASSERT_EQ(transform_coords(inPlace, &t, inPlace), 1);
        EXPECT_TRUE(same_bits(separate, inPlace)) << i;
    }
}

TEST(TransformCoords, UtmZoneToZoneGoesThroughGeodeticOnly)
{
    refsystem z37, z38, geod = make(2, 84);
    setup_utm(37, 1, &z37);
    setup_utm(38, 1, &z38);
    const transform direct = init(z37, z38);
    EXPECT_EQ(recorded(direct), PI | PO);
    const double p[3] = { 600000.0, 6100000.0, 42.0 };
    double q[3], g[3], q2[3];
    ASSERT_EQ(transform_coords(p, &direct, q), 1);
    ASSERT_EQ(convert(z37, geod, p, g), 1);
    ASSERT_EQ(convert(geod, z38, g, q2), 1);
    EXPECT_TRUE(same_bits(q, q2));
    EXPECT_EQ(q[2], 42.0);
}

TEST(TransformCoords, NationalZoneToZoneKeepsTheHeight)
{
    const transform t = init(make(4, 42, 7), make(4, 42, 8));
    EXPECT_EQ(recorded(t), ZI | ZO);
    const double p[3] = { 6100000.0, 7712345.0, 321.987654321 };
    double q[3];
    ASSERT_EQ(transform_coords(p, &t, q), 1);
    EXPECT_EQ(q[2], p[2]);
    EXPECT_EQ(static_cast<int>(q[1] / 1e6), 8);
    // Back into zone 7 within a millimetre.
    double r[3];
    ASSERT_EQ(convert(make(4, 42, 8), make(4, 42, 7), q, r), 1);
    EXPECT_NEAR(r[0], p[0], 1e-3);
    EXPECT_NEAR(r[1], p[1], 1e-3);
}

TEST(TransformCoords, AxisOrders)
{
    const refsystem geod = make(2, 84);
    refsystem utm, gk;
    setup_utm(37, 1, &utm);
    setup_gk(84, 7, 1, &gk);
    const double p[3] = { 55.0, 38.0, 0.0 };
    double u[3], g[3], n[3];
    ASSERT_EQ(convert(geod, utm, p, u), 1);
    ASSERT_EQ(convert(geod, gk, p, g), 1);
    ASSERT_EQ(convert(make(2, 42), make(4, 42), p, n), 1);
    // UTM: easting first; Gauss-Krüger (both kinds): northing first, the
    // easting with its zone prefix second.
    EXPECT_NEAR(u[0], 436000.0, 1000.0);
    EXPECT_NEAR(u[1], 6096000.0, 2000.0);
    EXPECT_NEAR(g[0], 6099000.0, 2000.0);
    EXPECT_NEAR(g[1], 7436000.0, 1000.0);
    EXPECT_NEAR(n[0], g[0], 200.0);
    EXPECT_NEAR(n[1], g[1], 200.0);
}

TEST(TransformCoords, AutomaticNationalZoneFromTheLongitude)
{
    refsystem automatic;
    setup_sk42(0, 0, &automatic);
    const transform t = init(make(2, 42), automatic);
    for (const auto &c :
        { std::pair<double, int> { 37.5, 7 }, { 45.5, 8 }, { 6.0, 1 }, { -0.1, 60 } }) {
        const double p[3] = { 55.0, c.first, 0.0 };
        double q[3];
        ASSERT_EQ(transform_coords(p, &t, q), 1);
        EXPECT_EQ(static_cast<int>(q[1] / 1e6), c.second) << c.first;
        EXPECT_LT(q[0], 1e7); // northern: no false northing
    }
    // Back through the zone in the prefix (hemisphere required on input).
    refsystem input;
    setup_sk42(0, 1, &input);
    const double p[3] = { 55.0, 45.5, 0.0 };
    double q[3], r[3];
    ASSERT_EQ(transform_coords(p, &t, q), 1);
    ASSERT_EQ(convert(input, make(2, 42), q, r), 1);
    EXPECT_NEAR(r[0], 55.0, 1e-8);
    EXPECT_NEAR(r[1], 45.5, 1e-8);
}

TEST(TransformCoords, SouthernFalseNorthingBothWays)
{
    refsystem south4, south5;
    setup_sk42(7, 2, &south4);
    setup_gk(42, 7, 2, &south5);
    const refsystem geod = make(2, 42);
    const double p[3] = { -30.0, 40.0, 5.0 };
    for (const refsystem &plane : { south4, south5 }) {
        double q[3], r[3];
        ASSERT_EQ(convert(geod, plane, p, q), 1);
        EXPECT_NEAR(q[0], 10000000.0 - 3322000.0, 3000.0) << plane.type;
        ASSERT_EQ(convert(plane, geod, q, r), 1);
        EXPECT_NEAR(r[0], p[0], 1e-8) << plane.type;
        EXPECT_NEAR(r[1], p[1], 1e-8) << plane.type;
        EXPECT_EQ(r[2], p[2]);
    }
}

// Tolerance: 1 mm for a projection's truncated series there and back; a datum
// shift there and back adds up to 0.6 mm, because the reverse is the negated
// row, whose error is the rotation times the translation (3.9e-6 · 160 m for
// Pulkovo 42).
TEST(TransformCoords, RoundTripsThroughEveryKindOfSystem)
{
    const refsystem geod = make(2, 42);
    refsystem utm;
    setup_utm(37, 1, &utm);
    utm.datum = 42;
    const refsystem targets[] = { make(1, 42), make(3, 42), make(4, 42), make(5, 42), utm,
        make(1, 2011), make(4, 95), make(5, 2011) };
    const double points[][3]
        = { { 55.0, 37.0, 0.0 }, { 42.5, 36.1, 2500.0 }, { 70.0, 41.9, -50.0 } };
    for (const refsystem &target : targets) {
        const transform there = init(geod, target);
        const transform back = init(target, geod);
        for (const auto &p : points) {
            double q[3], r[3];
            ASSERT_EQ(transform_coords(p, &there, q), 1);
            ASSERT_EQ(transform_coords(q, &back, r), 1);
            const double north = (r[0] - p[0]) * 111000.0;
            const double east = (r[1] - p[1]) * 111000.0 * std::cos(deg_to_rad(p[0]));
            const double up = r[2] - p[2];
            const double tol = target.datum == geod.datum ? 1e-3 : 1.6e-3;
            EXPECT_LT(std::sqrt(north * north + east * east + up * up), tol)
                << target.type << " " << target.datum << " at " << p[0] << ", " << p[1];
        }
    }
}

TEST(TransformCoords, RejectedPointsFailAndLeaveTheOutput)
{
    refsystem noHemisphere, automatic;
    setup_sk42(7, 0, &noHemisphere);
    setup_sk42(0, 1, &automatic);
    const refsystem geod = make(2, 84);
    const struct
    {
        refsystem in, out;
        double point[3];
    } cases[] = {
        // The national zone inverse needs a hemisphere.
        { noHemisphere, geod, { 6100000.0, 7400000.0, 0.0 } },
        // An easting without a zone prefix.
        { automatic, geod, { 6100000.0, 500000.0, 0.0 } },
        { automatic, geod, { 6100000.0, 61500000.0, 0.0 } },
        // Not numbers, at every kind of step.
        { geod, make(2, 42), { kNaN, 37.0, 0.0 } },
        { geod, make(2, 42), { 55.0, 37.0, kNaN } },
        { make(1, 84), make(2, 42), { kNaN, 1.0, 1.0 } },
        { make(1, 84), make(4, 42), { 1.0, 1.0, HUGE_VAL } },
        { geod, make(5, 84), { 55.0, kNaN, 0.0 } },
        { geod, automatic, { 55.0, kNaN, 0.0 } },
        { make(5, 84), geod, { kNaN, 7400000.0, 0.0 } },
        { geod, geod, { kNaN, 0.0, 0.0 } },
        { make(3, 84), make(1, 84), { 0.0, HUGE_VAL, 0.0 } },
    };
    for (const auto &c : cases) {
        const transform t = init(c.in, c.out);
        double out[3] = { -1.0, -2.0, -3.0 };
        EXPECT_EQ(transform_coords(c.point, &t, out), 0) << c.in.type << " -> " << c.out.type;
        EXPECT_EQ(out[0], -1.0);
        EXPECT_EQ(out[1], -2.0);
        EXPECT_EQ(out[2], -3.0);
    }
    const transform t = init(geod, geod);
    double out[3];
    EXPECT_EQ(transform_coords(nullptr, &t, out), 0);
    EXPECT_EQ(transform_coords(out, nullptr, out), 0);
    EXPECT_EQ(transform_coords(out, &t, nullptr), 0);
}

} // namespace
