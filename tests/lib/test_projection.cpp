// The GOST series, the general Transverse Mercator, the automatic-zone set-ups.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <cmath>

using namespace kelvadra;

namespace {

// The series evaluated in 40 digits (mpmath, same nesting, rho and inputs):
// 1 um and 1e-13 rad leave room for double rounding only. A refused call
// (tolerance 0) leaves the outputs untouched.
TEST(GkSeries, ValuesAndRefusals)
{
    const struct
    {
        bool inverse;
        double in0, in1; // degrees forward, metres inverse
        int zone, hemisphere;
        double out0, out1, tol;
    } cases[] = {
        {false, 55.0, 37.0, 0, 0, 6099167.2394585757187, 7372018.4910353746091, 1e-6},
        {false, -33.5, 151.2, 0, 2, 6290281.1756024578885, 26332725.774503002455, 1e-6},
        {false, 70.0, 44.9, 7, 1, 7780013.4628293044471, 7724999.1134194648061, 1e-6},
        {false, 80.0, 120.0, 20, 1, 8886793.0160000761182, 20558156.434706199292, 1e-6},
        {true, 6098765.4321, 7412345.678, 7, 1, 0.96002041029252832674, 0.65676878297576205057,
            1e-13},
        {true, 6283000.0, 26567890.0, 26, 2, -0.58602158143086933889, 2.6831161766264084745, 1e-13},
        {true, 55000.0, 1333333.0, 1, 1, 0.0086781832355564687484, 0.026231351072126151889, 1e-13},
        {false, 55, 37, 61, 1, 0, 0, 0},
        {false, 55, kInf, 0, 1, 0, 0, 0}, // no zone to convert in
        {true, 6100000, 7400000, 0, 1, 0, 0, 0},
        {true, 6100000, 7400000, 7, 0, 0, 0, 0},
        {true, 6100000, 7400000, 7, 3, 0, 0, 0},
    };
    for (const auto &c : cases) {
        double o0 = 1.5, o1 = 2.5;
        const int ok = c.inverse
            ? gk6_inverse(c.in0, c.in1, c.zone, c.hemisphere, &o0, &o1)
            : gk6_forward(deg_to_rad(c.in0), deg_to_rad(c.in1), c.zone, c.hemisphere, &o0, &o1);
        const double want0 = c.tol ? c.out0 : 1.5, want1 = c.tol ? c.out1 : 2.5;
        EXPECT_TRUE(ok == (c.tol ? 1 : 0) && std::fabs(o0 - want0) <= c.tol
            && std::fabs(o1 - want1) <= c.tol)
            << (c.inverse ? "inverse " : "forward ") << c.in0 << ", " << c.in1 << " in " << c.zone
            << "/" << c.hemisphere << ": " << ok << ", " << o0 << ", " << o1;
    }
}

TEST(TransverseMercator, ConstantsAndMeridianArc)
{
    ellipsoid e;
    tm_projection p, shifted;
    ASSERT_EQ(ellipsoid_of_datum(84, &e) + utm_zone_projection(30, 1, &p), 2); // meridian -3 deg
    shifted = p;
    shifted.origin_latitude = kPi / 4;
    tm_constants c, c45;
    tm_setup_constants(e, p, &c);
    tm_setup_constants(e, shifted, &c45);
    // In 30 digits (mpmath) from the same definitions, relative 1e-12; an origin
    // latitude moves the northing origin to its meridian arc (integrated, 1 mm).
    const struct
    {
        const char *name;
        double actual, expected, tol;
    } values[] = {{"e2", c.e2, 0.0066943799901413169961, 1e-12},
        {"ep2", c.ep2, 0.0067394967422764349548, 1e-12}, {"A0", c.A0, 6367449.1459608162157, 1e-12},
        {"A2", c.A2, 16038.508333155592124, 1e-12}, {"A4", c.A4, 16.832200728068776331, 1e-12},
        {"A6", c.A6, 0.02180076621262180304, 1e-12}, {"J1", c.J1, 0.0025188265843906883816, 1e-12},
        {"J2", c.J2, 3.7009490356205339235e-6, 1e-12},
        {"J3", c.J3, 7.4478137675039487127e-9, 1e-12},
        {"J4", c.J4, 1.7035993238596311468e-11, 1e-12},
        {"a(1-e2)", c.a_1_minus_e2, 6335439.3272928200308, 1e-12}, {"M0", c.M0, 0, 0},
        {"M0 at 45 deg", c45.M0, 4984944.3780, 2e-10}};
    for (const auto &v : values)
        EXPECT_NEAR(v.actual, v.expected, std::fabs(v.expected) * v.tol) << v.name;
    // Northing 0 at the origin; 359 deg mirrors -5 deg about the meridian -3 deg.
    double e0, n0, e1, n1, e2, n2;
    tm_forward(shifted, c45, kPi / 4, shifted.central_meridian, &e0, &n0);
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(359.0), &e1, &n1);
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(-5.0), &e2, &n2);
    EXPECT_TRUE(
        std::fabs(n0) < 1e-9 && std::fabs(e1 + e2 - 1e6) < 1e-6 && std::fabs(n1 - n2) < 1e-6)
        << n0 << "; " << e1 << " + " << e2 << "; " << n1 << " - " << n2;
}

// Degrees decide the zone directly (6 deg is zone 2, unlike the series), a
// plane point its easting's prefix; a fixed zone and hemisphere win. Without
// zone or hemisphere, or for a point not finite, the record is left as it was.
TEST(AutomaticZone, FromLatLonAndXy)
{
    const struct
    {
        bool fromXy;
        double p0, p1;
        int zone, hemisphere, wantZone; // wantZone 0: refused
        bool south;
    } cases[] = {
        {false, 55, 6.0, -1, 0, 2, false},
        {false, 55, 5.999999, -1, 0, 1, false},
        {false, 55, -0.1, -1, 0, 60, false},
        {false, 55, 757.5, 0, 0, 7, false},
        {false, -0.001, 37.0, -1, 0, 7, true},
        {false, 55, 50.0, 7, 2, 7, true},
        {false, kNaN, 37.0, -1, 0, 0, false},
        {false, 55, kInf, -1, 0, 0, false},
        {true, 6100000, 7412345.0, 0, 1, 7, false},
        {true, 6100000, 60999999.0, -1, 2, 60, true},
        {true, 6100000, 7412345.0, 8, 1, 8, false},
        {true, 6100000, 999999.0, 0, 1, 0, false},
        {true, 6100000, 61000000.0, -1, 1, 0, false},
        {true, 6100000, 7500000.0, -1, 0, 0, false},
    };
    for (const auto &c : cases) {
        refsystem rs;
        std::memset(&rs, 0, sizeof rs);
        invalidate_refsystem(&rs);
        rs.datum = 2011, rs.zone = c.zone, rs.hemisphere = c.hemisphere;
        const refsystem before = rs;
        const double point[3] = {c.p0, c.p1, 100.0};
        const auto init = c.fromXy ? initialize_gk6_from_xy : initialize_gk6_from_latlon;
        ASSERT_EQ(init(point, &rs), c.wantZone ? 1 : 0) << c.p0 << ", " << c.p1;
        const tm_projection &p = rs.projection;
        EXPECT_TRUE(c.wantZone ? rs.type == KV_TYPE_PROJECTED && rs.zone == (c.fromXy ? -1 : 0)
                    && rs.hemisphere == 0 && rs.axis_order == KV_AXES_NORTHING_EASTING
                    && rs.datum == 2011 && p.false_easting == c.wantZone * 1e6 + 5e5
                    && std::fabs(p.central_meridian - (6 * c.wantZone - 3) * kPi / 180) <= 1e-15
                    && p.false_northing == (c.south ? 1e7 : 0.0)
                               : std::memcmp(&rs, &before, sizeof rs) == 0)
            << c.p0 << ", " << c.p1 << ": zone " << rs.zone << ", " << p.false_easting << ", "
            << p.false_northing;
    }
    refsystem rs;
    invalidate_refsystem(&rs);
    const double point[3] = {55.0, 37.0, 0.0};
    EXPECT_EQ(initialize_gk6_from_latlon(point, &rs), 0) << "completed, but datum 0 is unusable";
    EXPECT_EQ(initialize_gk6_from_latlon(nullptr, &rs) + initialize_gk6_from_xy(point, nullptr), 0);
}

} // namespace
