// The transformation chain; agreement with PROJ is the accuracy report's.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

using namespace kelvadra;

namespace {

// Types 1-5 on a datum; 6 stands for UTM. Origins of local frames: (55, 37, 150).
refsystem make(int type, int datum, int zone = 7, int hemisphere = 1)
{
    refsystem rs;
    std::memset(&rs, 0, sizeof rs);
    const double origin[3] = {deg_to_rad(55.0), deg_to_rad(37.0), 150.0};
    const int ok = type == 1 ? setup_geoc(datum, &rs)
        : type == 2          ? setup_geod(datum, &rs)
        : type == 3          ? setup_lsr(datum, origin, &rs)
        : type == 4          ? (datum == 95 ? setup_sk95 : setup_sk42)(zone, hemisphere, &rs)
        : type == 6          ? setup_utm(zone, hemisphere, &rs)
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

// A system check_refsystem rejects, or a datum without the ellipsoid or shift
// the pair needs, is refused; the record is left converting points into themselves.
TEST(InitializeTransform, RefusesWhatItCannotConvert)
{
    const refsystem geod = make(2, 2011), unknown = make(2, 1234);
    refsystem none, automatic = make(5, 2011), local = make(3, 2011);
    invalidate_refsystem(&none);
    automatic.zone = 0; // the program's automatic GSK 2011 zone before completion
    automatic.projection.scale_factor = 0;
    local.origin[1] = kNaN;
    const refsystem *cases[][2] = {{&none, &geod}, {&automatic, &geod}, {&geod, &automatic},
        {&local, &geod}, {&geod, &local}, {&unknown, &geod}, {&geod, &unknown}};
    for (const auto &c : cases) {
        transform t;
        const double in[3] = {1.5, 2.5, 3.5};
        double out[3];
        EXPECT_TRUE(!initialize_transform(c[0], c[1], &t) && transform_coords(in, &t, out)
            && same_bits(in, out, 3))
            << c[0]->type << " -> " << c[1]->type << ": " << out[0] << ", " << out[1];
    }
    transform t;
    EXPECT_EQ(initialize_transform(&unknown, &unknown, &t), 1) << "the identity needs nothing";
    // Into itself a point keeps every bit, a negative zero and a longitude past a turn too.
    const double odd[3] = {-0.0, 540.0, -0.0};
    double same[3];
    EXPECT_TRUE(transform_coords(odd, &t, same) && same_bits(odd, same, 3));
    const refsystem unknownGeoc = make(1, 1234), unknownGk = make(5, 1234);
    EXPECT_EQ(initialize_transform(&unknown, &unknownGeoc, &t)
            + initialize_transform(&unknown, &unknownGk, &t)
            + initialize_transform(nullptr, &geod, &t) + initialize_transform(&geod, nullptr, &t)
            + initialize_transform(&geod, &geod, nullptr),
        0);
}

// Published displacements at (55, 37, 0) to 0.01"; exact relations.
TEST(TransformCoords, KnownDisplacementsAndRelations)
{
    const double sec = 1.0 / 3600;
    refsystem utmNorthingFirst = make(6, 84, 37);
    utmNorthingFirst.axis_order = KV_AXES_NORTHING_EASTING;
    // The origin of make()'s local frames, (55, 37, 150) on WGS 84, as a SK-42 point.
    double origin42[3] = {55, 37, 150};
    ASSERT_EQ(convert(make(2, 84), make(2, 42), origin42, origin42), 1);
    using Xyz = std::array<double, 3>;
    // Why, from, to, the point, the result wanted and its tolerance on each axis.
    const std::tuple<const char *, refsystem, refsystem, Xyz, Xyz, Xyz> cases[] = {
        {"SK-42 -> WGS 84", make(2, 42), make(2, 84), {55, 37, 0},
            {55 + 0.07 * sec, 37 - 6.64 * sec, 5.16}, {0.005 * sec, 0.005 * sec, 0.005}},
        {"WGS 84 -> SK-42", make(2, 84), make(2, 42), {55, 37, 0},
            {55 - 0.07 * sec, 37 + 6.64 * sec, -5.16}, {0.005 * sec, 0.005 * sec, 0.005}},
        {"UTM (easting, northing) -> (northing, easting): swapped, 1 mm through the series",
            make(6, 84, 37), utmNorthingFirst, {412345.678, 6098765.432, 10},
            {6098765.432, 412345.678, 10}, {1e-3, 1e-3, 0}},
        {"SK-42 point -> the WGS 84 local frame there: its origin, whatever the ellipsoids",
            make(2, 42), make(3, 84), {origin42[0], origin42[1], origin42[2]}, {0, 0, 0},
            {1e-3, 1e-3, 1e-3}},
        {"SK-42 zone 7 north -> south: 10 000 km more northing", make(4, 42, 7, 1),
            make(4, 42, 7, 2), {6100000, 7400000, 10}, {16100000, 7400000, 10}, {1e-3, 1e-3, 0}},
    };
    for (const auto &[why, in, out, point, want, tol] : cases) {
        double q[3];
        ASSERT_EQ(convert(in, out, point.data(), q), 1) << why;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(q[i], want[i], tol[i]) << why << ", axis " << i;
    }
}

// A plane point taken straight to another datum (geocentric about its central meridian, the
// output latitude started from its own) lands where its own geodetic point goes: 1e-12 deg
// (measured 4.3e-14 over a million points), 0.1 um.
TEST(TransformCoords, PlaneAcrossDatumsAsInTwoSteps)
{
    const std::tuple<refsystem, int, std::array<double, 3>> cases[] = {// plane, datum, point
        {make(6, 84, 37), 42, {412345.678, 6098765.432, 10}},
        {make(6, 84, 33, 2), 9011, {612345.678, 3098765.432, -20}},
        {make(5, 2011, 7), 84, {6098765.432, 7412345.678, 150}},
        {make(5, 9011, 13), 95, {6500000.0, 13300000.0, 0}},
        {make(6, 84, 37), 42, {-1500000.0, 6098765.432, 0}}, // 29 degrees west of the meridian
        {make(6, 84, 60), 42, {800000.0, 6098765.432, 0}}};  // east of 180 degrees
    for (const auto &[plane, datum, point] : cases) {
        const refsystem own = make(2, plane.datum), other = make(2, datum);
        double straight[3], step[3], twice[3];
        ASSERT_EQ(convert(plane, other, point.data(), straight), 1) << plane.datum << " " << datum;
        ASSERT_EQ(convert(plane, own, point.data(), step) * convert(own, other, step, twice), 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(straight[i], twice[i], i < 2 ? 1e-12 : 1e-7) << plane.datum << " " << i;
    }
}

// The automatic zone follows the series (rho < 180/pi: 6 deg is zone 1), comes
// back by the easting's prefix; west (Chukotka) comes back east, in place (1 mm).
TEST(TransformCoords, AutomaticNationalZone)
{
    for (const auto &c : std::vector<std::pair<double, int>> {
             {37.5, 7}, {6.0, 1}, {180.0, 30}, {-0.1, 60}, {-170.0, 32}, {-179.5, 31}}) {
        const double p[3] = {55.0, c.first, 321.987654321};
        double q[3], r[3];
        ASSERT_EQ(convert(make(2, 42), make(4, 42, 0, 0), p, q), 1);
        EXPECT_TRUE(std::floor(q[1] / 1e6) == c.second && q[0] < 1e7)
            << c.first << ": " << q[0] << ", " << q[1];
        ASSERT_EQ(convert(make(4, 42, 0, 1), make(2, 42), q, r), 1);
        EXPECT_TRUE(std::fabs(r[0] - 55.0) < 1e-8
            && std::fabs(r[1] - std::fmod(c.first + 360, 360)) < 1.5e-8 && r[2] == p[2])
            << c.first << ": " << r[0] << ", " << r[1] << ", " << r[2];
    }
}

// A longitude given beyond a turn is the point of its reduced value, bit for
// bit where the reduction is exact, in every kind of plane system, on one
// datum and across datums; the way back gives the reduced longitude.
TEST(TransformCoords, LongitudeBeyondATurn)
{
    refsystem tm;
    ASSERT_EQ(setup_tm(KV_DATUM_PULKOVO42, 4.5, 0, 1, 300000, -5000000, &tm), 1);
    const std::tuple<const char *, refsystem, refsystem> cases[] = {
        {"SK-42 into its Gauss-Krueger, zone per point", make(2, 42), make(4, 42, 0, 0)},
        {"WGS 84 into SK-42 Gauss-Krueger, zone per point", make(2, 84), make(4, 42, 0, 0)},
        {"WGS 84 into UTM 31N", make(2, 84), make(6, 84, 31)},
        {"SK-42 into a Transverse Mercator", make(2, 42), tm},
        {"WGS 84 into a Transverse Mercator on SK-42", make(2, 84), tm},
    };
    for (const auto &[name, from, to] : cases) {
        SCOPED_TRACE(name);
        const double p[3] = {55.0, 5.0, 150.0};
        double q[3], back[3];
        ASSERT_EQ(convert(from, to, p, q), 1);
        // An automatic zone reads back from the easting's prefix, north.
        ASSERT_EQ(convert(to.type == KV_TYPE_GK_ZONE ? make(4, 42, 0, 1) : to, from, q, back), 1);
        EXPECT_NEAR(back[1], 5.0, 1e-8); // a datum round trip: 0.6 mm
        for (const double lon : {365.0, -355.0, 725.0, -715.0}) {
            const double given[3] = {55.0, lon, 150.0};
            double r[3];
            ASSERT_EQ(convert(from, to, given, r), 1) << lon;
            EXPECT_TRUE(same_bits(q, r, 3)) << lon << ": " << r[0] - q[0] << ", " << r[1] - q[1];
        }
    }
}

// A step that rejects the point, or a result that is not finite, fails with
// the output untouched: a failure is never reported as success.
TEST(TransformCoords, RejectedPointsFailAndLeaveTheOutput)
{
    const refsystem geod = make(2, 84), automatic = make(4, 42, 0, 1);
    const std::tuple<refsystem, refsystem, std::array<double, 3>> cases[] = {
        {make(4, 42, 7, 0), geod, {6100000.0, 7400000.0, 0.0}}, // the inverse needs a hemisphere
        {automatic, geod, {6100000.0, 500000.0, 0.0}},          // no zone prefix
        {automatic, geod, {6100000.0, 61500000.0, 0.0}},
        {geod, make(2, 42), {55.0, 37.0, kNaN}},
        {geod, make(4, 42, 0, 0), {55.0, kNaN, 0.0}},
        {make(3, 84), make(1, 84), {0.0, HUGE_VAL, 0.0}},
    };
    for (const auto &[from, to, point] : cases) {
        double out[3] = {-1.0, -2.0, -3.0};
        EXPECT_EQ(convert(from, to, point.data(), out), 0) << from.type << " -> " << to.type;
        EXPECT_TRUE(out[0] == -1.0 && out[1] == -2.0 && out[2] == -3.0) << "output touched";
    }
    const transform t = init(geod, geod);
    double out[3];
    EXPECT_EQ(transform_coords(nullptr, &t, out) + transform_coords(out, nullptr, out)
            + transform_coords(out, &t, nullptr),
        0);
}

// Many points at once give transform_coords's results bit for bit, its refusals included,
// whatever their place in the array (fours, pairs, the odd last one, in place): geodetic and
// national zones on one datum and across datums, four or two at a time, the rest one by one.
TEST(TransformCoordsArray, SameBitsAsOneByOne)
{
    std::vector<double> points;
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180), h(-1e4, 1e5);
    // Global points, then points about 39 degrees east, the meridian of the planes below,
    // within and past the 0.11 rad (6.3025 degrees) a pair of plane points is taken within.
    std::uniform_real_distribution<double> zone(32.5, 45.5);
    for (int i = 0; i < 24001; ++i)
        points.insert(
            points.end(), {lat(random), i < 20000 ? lon(random) : zone(random), h(random)});
    // Poles, the equator (Z = 0), the antimeridian and past it, the centre, NaN, infinities, a
    // height whose squares overflow, the edge of the planes' series: in both places of a pair,
    // and beside plane points.
    const double edges[][3] = {{90, 0, 0}, {-90, 10, 0}, {0, 0, 0}, {0, 180, 0}, {0, -180, 0},
        {45, 190, 0}, {kNaN, 0, 0}, {1e-300, 5, 0}, {89.9999999, 1, -6e6}, {0, 0, -6.3e6},
        {55, 39, 0}, {kNaN, 40, 0}, {60, 45.3025, 0}, {60, 45.3026, 0}, {-60, 32.6975, 0},
        {-60, 32.6974, 0}, {55, 399, 0}, {55, -321, 0}, {55, kInf, 0}, {-kInf, 39, 0},
        {89.99, 40, 0}, {-90, 39, 0}, {90.01, 39, 0}, {200, 39, 0}, {55, 39, 1e308}};
    for (const auto &edge : edges)
        points.insert(points.begin() + 3 * 7, edge, edge + 3),
            points.insert(points.begin() + 3 * 20, edge, edge + 3);
    // Each alone after 4 to 7 ordinary points as well: in every place of four.
    size_t at = 100;
    for (int place = 0; place < 4; ++place) {
        for (const auto &edge : edges)
            at += 4 + place, points.insert(points.begin() + 3 * at++, edge, edge + 3);
    }
    const size_t n = points.size() / 3; // odd
    refsystem regional = make(5, 2011);
    regional.projection.origin_latitude = deg_to_rad(55.0);
    regional.projection.false_northing = -6e6;
    regional.axis_order = KV_AXES_EASTING_NORTHING;
    const std::pair<refsystem, refsystem> pairs[] = {{make(2, 42), make(2, 84)},
        {make(2, 2011), make(2, 95)}, {make(2, 84), make(2, 84)}, {make(4, 42, 7), make(2, 84)},
        {make(2, 42), make(4, 42, 7)}, {make(4, 42, 7), make(4, 42, 8)},
        {make(4, 95, 7, 2), make(2, 42)}, {make(2, 84), make(4, 95, 8, 0)},
        {make(6, 84, 37), make(2, 42)}, {make(2, 84), make(6, 84, 37)},
        {make(2, 84), make(6, 84, 37, 2)}, {make(2, 42), make(6, 84, 37)},
        {make(4, 42, 7), make(5, 42)}, {make(4, 42, 7), make(6, 84, 37, 2)},
        {make(2, 2011), regional}, {make(2, 84), make(6, 84, 60)}, {make(1, 84), make(2, 84)}};
    for (const auto &[from, to] : pairs) {
        // Plane inputs: the points in that plane, where they convert.
        std::vector<double> in = points;
        const transform onto = init(make(2, from.datum), from);
        for (size_t i = 0; from.type != KV_TYPE_GEODETIC && i < n; ++i)
            transform_coords(&points[3 * i], &onto, &in[3 * i]);
        const transform t = init(from, to);
        std::vector<double> one(in.size(), -1.0), many(in.size(), -1.0), inPlace = in;
        std::vector<int> ok(n, 7);
        int all = 1;
        for (size_t i = 0; i < n; ++i)
            all &= transform_coords(&in[3 * i], &t, &one[3 * i]);
        EXPECT_EQ(transform_coords_array(in.data(), n, &t, many.data(), ok.data()), all);
        EXPECT_EQ(transform_coords_array(inPlace.data(), n, &t, inPlace.data(), nullptr), all);
        for (size_t i = 0; i < n; ++i) {
            double q[3];
            ASSERT_EQ(ok[i], transform_coords(&in[3 * i], &t, q)) << i;
            ASSERT_EQ(std::memcmp(&one[3 * i], &many[3 * i], sizeof q), 0)
                << from.datum << " " << i;
            ASSERT_EQ(std::memcmp(ok[i] ? q : &in[3 * i], &inPlace[3 * i], sizeof q), 0) << i;
        }
        if (from.type == KV_TYPE_GK_ZONE) { // its zone edited past the zones: every point refused
            transform past = t;
            past.input_zone = 61;
            EXPECT_FALSE(transform_coords_array(in.data(), n, &past, many.data(), ok.data())
                || std::count(ok.begin(), ok.end(), 1));
        }
    }
    transform edited = init(make(2, 42), make(4, 42, 7));
    edited.output_zone = 61; // edited past the zones: refused four at a time as one at a time
    std::vector<int> ok(n, 7);
    EXPECT_TRUE(!transform_coords_array(points.data(), n, &edited, points.data(), ok.data())
        && std::count(ok.begin(), ok.end(), 0) == int(n));
    const transform t = init(make(2, 42), make(2, 84));
    double out[3];
    EXPECT_EQ(transform_coords_array(nullptr, 0, &t, nullptr, nullptr), 1);
    EXPECT_EQ(transform_coords_array(nullptr, 1, &t, out, nullptr)
            + transform_coords_array(out, 1, &t, nullptr, nullptr)
            + transform_coords_array(out, 1, nullptr, out, nullptr),
        0);
}

} // namespace
