// The GOST series, the general Transverse Mercator, the automatic-zone set-ups.
#include "kelvadra_internal.h"
#include "proj_reference.h"
#include "test_util.h"

#include <GeographicLib/TransverseMercator.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

using namespace kelvadra;

namespace {

// The series evaluated in 40 digits (mpmath, same nesting, rho and inputs):
// 1 um and 1e-13 rad leave room for double rounding only. A refused call
// (tolerance 0) leaves the outputs untouched.
TEST(GkSeries, ValuesAndRefusals)
{
    // degrees forward, metres inverse
    const std::tuple<bool, double, double, int, int, double, double, double> cases[] = {
        {false, 55.0, 37.0, 0, 0, 6099167.2394585757187, 7372018.4910353746091, 1e-6},
        {false, -33.5, 151.2, 0, 2, 6290281.1756024578885, 26332725.774503002455, 1e-6},
        {false, 70.0, 44.9, 7, 1, 7780013.4628293044471, 7724999.1134194648061, 1e-6},
        {false, 80.0, 120.0, 20, 1, 8886793.0160000761182, 20558156.434706199292, 1e-6},
        {true, 6098765.4321, 7412345.678, 7, 1, 0.96002041029252832674, 0.65676878297576205057,
            1e-13},
        {true, 6283000.0, 26567890.0, 26, 2, -0.58602158143086933889, 2.6831161766264084745, 1e-13},
        {true, 55000.0, 1333333.0, 1, 1, 0.0086781832355564687484, 0.026231351072126151889, 1e-13},
        // the poles at 10002137.497 m: past them the series folds back
        {true, 10002137.0, 7500000, 7, 1, kPi / 2, 0.68067840827778852, 1e-6},
        {true, 10002138.0, 7500000, 7, 1, 0, 0, 0},
        {true, -2137.0, 7500000, 7, 2, -kPi / 2, 0.68067840827778852, 1e-6},
        {true, -2138.0, 7500000, 7, 2, 0, 0, 0},
        {false, 55, 37, 61, 1, 0, 0, 0},
        {false, 55, kInf, 0, 1, 0, 0, 0}, // no zone to convert in
        {true, 6100000, 7400000, 0, 1, 0, 0, 0},
        {true, 6100000, 7400000, 7, 0, 0, 0, 0},
        {true, 6100000, 7400000, 7, 3, 0, 0, 0},
    };
    for (const auto &[inverse, in0, in1, zone, hemisphere, out0, out1, tol] : cases) {
        double o0 = 1.5, o1 = 2.5;
        const int ok = inverse
            ? gk6_inverse(in0, in1, zone, hemisphere, &o0, &o1)
            : gk6_forward(deg_to_rad(in0), deg_to_rad(in1), zone, hemisphere, &o0, &o1);
        const double want0 = tol ? out0 : 1.5, want1 = tol ? out1 : 2.5;
        EXPECT_TRUE(
            ok == (tol ? 1 : 0) && std::fabs(o0 - want0) <= tol && std::fabs(o1 - want1) <= tol)
            << (inverse ? "inverse " : "forward ") << in0 << ", " << in1 << " in " << zone << "/"
            << hemisphere << ": " << ok << ", " << o0 << ", " << o1;
    }
}

// Against GeographicLib's TransverseMercator (the same series, independent code), five
// ellipsoids, within 6 deg of the meridian: 10 nm forward (1e7 m rounds to 2e-9 m; a missing
// n^5 coefficient shows as 37 nm), 1e-13 deg inverse from its plane point (longitude x cos lat).
TEST(TransverseMercator, AgreesWithGeographicLib)
{
    std::mt19937_64 random(2011);
    std::uniform_real_distribution<double> lat(-89.99, 89.99), lon(-6.0, 6.0);
    for (const int code : {42, 80, 84, 90, 2011}) {
        ellipsoid e;
        ASSERT_EQ(ellipsoid_by_code(code, &e), 1);
        const tm_projection p {deg_to_rad(39.0), 0.0, 0.9996, 500000.0, 0.0};
        tm_constants forward, inverse;
        tm_setup_forward(e, p, &forward);
        tm_setup_inverse(e, p, &inverse);
        const GeographicLib::TransverseMercator reference(e.a, e.f, p.scale_factor);
        double worstPlane = 0.0, worstAngle = 0.0;
        for (int i = 0; i < 20000; ++i) {
            const double phi = lat(random), dl = lon(random);
            double E, N, x, y, B, L;
            tm_forward(p, forward, deg_to_rad(phi), deg_to_rad(39.0 + dl), &E, &N);
            reference.Forward(0.0, phi, dl, x, y);
            tm_inverse(p, inverse, x + 500000.0, y, &B, &L);
            worstPlane = std::max(worstPlane, std::hypot(E - x - 500000.0, N - y));
            // The longitude as an arc on the parallel: near a pole it is ill-conditioned.
            const double eastward = (rad_to_deg(L) - 39.0 - dl) * std::cos(deg_to_rad(phi));
            worstAngle
                = std::max({worstAngle, std::fabs(rad_to_deg(B) - phi), std::fabs(eastward)});
        }
        EXPECT_LT(worstPlane, 1e-8) << "ellipsoid " << code;
        EXPECT_LT(worstAngle, 1e-13) << "ellipsoid " << code;
    }
}

// A geodetic system and a Transverse Mercator on its datum, with both ways between them.
struct TmPair
{
    refsystem geod, tm;
    transform there, back;
    bool ok;
    TmPair(int datum, double cm, double lat0, double k0, double fe)
        : ok(setup_geod(datum, &geod) + setup_tm(datum, cm, lat0, k0, fe, 0, &tm)
                + initialize_transform(&geod, &tm, &there) + initialize_transform(&tm, &geod, &back)
            == 4)
    {
    }
};

// Against PROJ's tmerc (its default algorithm) through the systems a user
// sets up, on the five ellipsoids (Krasovsky, GRS 80, GSK 2011, PZ 90, WGS
// 84), a grid of points out to 6 deg: 1 um forward, 1e-11 deg inverse.
TEST(TransverseMercator, AgreesWithProj)
{
    for (const int datum : {42, 2008, 2011, 90, 84}) {
        const TmPair s(datum, 39, 0, 0.9996, 500000);
        ASSERT_TRUE(s.ok) << "datum " << datum;
        const projref::Transformation forward(projref::pipeline(s.geod, s.tm));
        const projref::Transformation inverse(projref::pipeline(s.tm, s.geod));
        double worstPlane = 0.0, worstAngle = 0.0;
        for (double lat = -84.0; lat <= 84.0; lat += 3.5) {
            for (double dl = -6.0; dl <= 6.0; dl += 0.75) {
                double g[3] = {lat, 39.0 + dl, 100.0}, q[3], p[3] = {lat, 39.0 + dl, 100.0}, r[3];
                ASSERT_TRUE(transform_coords(g, &s.there, q) && forward.forward(p)) << lat << dl;
                worstPlane = std::max(worstPlane, std::hypot(q[0] - p[0], q[1] - p[1]));
                ASSERT_TRUE(transform_coords(p, &s.back, r) && inverse.forward(p)) << lat << dl;
                worstAngle = std::max({worstAngle, std::fabs(r[0] - p[0]), std::fabs(r[1] - p[1])});
            }
        }
        EXPECT_LT(worstPlane, 1e-6) << "datum " << datum;
        EXPECT_LT(worstAngle, 1e-11) << "datum " << datum;
    }
}

// PROJ's test cases of tmerc and utm on GRS 80 (ITRF 2008) at their
// tolerances, through the systems a user sets up; then 30 deg and 3900 km
// from the meridian against GeographicLib (1 um, 1e-11 deg), the pole, and an
// origin latitude, whose point of origin lies at northing 0.
TEST(TransverseMercator, PublishedCasesAndFarPoints)
{
    const std::tuple<double, double, double, double, double, double, double, double> cases[] = {
        {0, 1, 0, 1, 2, 222650.796797586, 110642.229411933, 50e-9},
        {9, 0.9996, 500000, 56, 12, 687071.43910944, 6210141.32674801, 1e-6},
        {0, 1, 0, 40, 2.9, 247660.757486281, 4433559.662327165, 1e-4}, // PROJ's exact tmerc
        {0, 1, 0, 85, 2.9, 28218.246438909, 9444221.704227842, 1e-4},
        {0, 1, 0, 40, 30, 2577965.7362231822, 4886256.5217646919, 1e-6}, // GeographicLib
        {0, 1, 0, 10, 35, 4083984.3018207150, 1345507.8655522387, 1e-6},
        {0, 1, 0, 90, 2.9, 0, 10001965.7292304635, 1e-6},
    };
    for (const auto &[cm, k0, fe, lat, lon, easting, northing, tol] : cases) {
        const TmPair s(KV_DATUM_ITRF2008, cm, 0, k0, fe);
        const double g[3] = {lat, lon, 0.0}, plane[3] = {northing, easting, 0.0};
        double q[3], r[3];
        ASSERT_TRUE(
            s.ok && transform_coords(g, &s.there, q) + transform_coords(plane, &s.back, r) == 2);
        EXPECT_TRUE(std::fabs(q[0] - northing) <= tol && std::fabs(q[1] - easting) <= tol)
            << lat << ", " << lon << ": " << q[0] - northing << ", " << q[1] - easting;
        EXPECT_TRUE(std::fabs(r[0] - lat) <= 1e-11 && (lat == 90 || std::fabs(r[1] - lon) <= 1e-11))
            << lat << ", " << lon << ": " << r[0] - lat << ", " << r[1] - lon;
    }
    const TmPair shifted(KV_DATUM_WGS84, 12, 45, 0.9996, 0);
    const double origin[3] = {45.0, 12.0, 0.0};
    double q[3];
    ASSERT_TRUE(shifted.ok && transform_coords(origin, &shifted.there, q));
    EXPECT_TRUE(std::fabs(q[0]) < 1e-9 && std::fabs(q[1]) < 1e-9) << q[0] << ", " << q[1];
}

// A northing past a pole is refused on both inverse branches (on the datum,
// across datums), 4 to 16 mm inside and outside, origin on the equator or not.
TEST(TransverseMercator, NorthingPastAPole)
{
    for (const double lat0 : {0.0, 55.0}) {
        const TmPair s(2011, 39, lat0, 0.9996, 500000);
        refsystem wgs;
        transform across;
        ASSERT_TRUE(s.ok && setup_geod(84, &wgs) && initialize_transform(&s.tm, &wgs, &across));
        const double m0 = tm_meridian_distance(s.there.output_constants, deg_to_rad(lat0));
        const double quarter = tm_meridian_distance(s.there.output_constants, kPi / 2);
        const transform *ways[] = {&s.back, &across};
        for (const double pole : {0.9996 * (quarter - m0), -0.9996 * (quarter + m0)}) {
            for (const transform *t : ways) {
                for (const double past : {-0.01, 0.01}) {
                    const double plane[3] = {pole * (1 + past * 1e-9), 500000.0, 0.0};
                    double r[3];
                    const int ok = transform_coords(plane, t, r);
                    EXPECT_TRUE(past < 0 ? ok && std::fabs(r[0]) > 89.9999 : !ok)
                        << lat0 << ", " << plane[0] << ": " << ok << ", " << r[0];
                }
            }
        }
    }
}

// The inverse for a geocentric step (sines about the central meridian, then
// the turn of the chain) gives the point the angles give, within 5e-9 m
// (five units in the last place of geocentric coordinates), out to 30 deg
// from the meridian and near the pole, south and west included.
TEST(TransverseMercator, InverseSinesGiveTheSamePoint)
{
    ellipsoid e;
    ASSERT_EQ(ellipsoid_by_code(2011, &e), 1);
    const tm_projection p {deg_to_rad(-141.0), deg_to_rad(12.0), 0.9996, 500000.0, 1e7};
    tm_constants c;
    tm_setup_inverse(e, p, &c);
    const affine turn = polar_rotation(p.central_meridian);
    const double plane[][2] = {{512345.6, 16123456.7}, {3400000.0, 1e7 - 4000000.0},
        {-2500000.0, 8000000.0}, {500000.0, 1e7 + 8641000.0}};
    for (const auto &q : plane) {
        double blh[3], angles[3], sines[3], sL, cL, viaSines[3];
        tm_inverse(p, c, q[0], q[1], &blh[0], &blh[1]);
        blh[2] = 150.0;
        tm_inverse_sines(p, c, q[0], q[1], sines, &sL, &cL);
        ASSERT_EQ(geodetic_to_geocentric(e, blh, angles)
                + geodetic_sines_to_geocentric(e, sines, sL, cL, 150.0, viaSines),
            2);
        affine_apply(turn, viaSines, viaSines);
        EXPECT_LT(
            std::hypot(angles[0] - viaSines[0], angles[1] - viaSines[1], angles[2] - viaSines[2]),
            5e-9)
            << q[0] << ", " << q[1];
        EXPECT_NEAR(sines[0], blh[0], 1e-15) << q[0] << ", " << q[1];
    }
}

// The meridian distance is the series' northing on the meridian; 359 deg
// mirrors -5 deg about the meridian -3 deg.
TEST(TransverseMercator, MeridianArcAndWesternLongitudes)
{
    ellipsoid e;
    tm_projection p;
    ASSERT_EQ(ellipsoid_of_datum(84, &e) + utm_zone_projection(30, 1, &p), 2); // meridian -3 deg
    tm_constants c;
    tm_setup_forward(e, p, &c);
    const GeographicLib::TransverseMercator reference(e.a, e.f, 1.0);
    double x, y, e1, n1, e2, n2;
    reference.Forward(0.0, 45.0, 0.0, x, y);
    EXPECT_NEAR(tm_meridian_distance(c, kPi / 4), y, 1e-8);
    // The record's eccentricities, as WGS 84 publishes them.
    EXPECT_TRUE(
        std::fabs(c.e2 - 6.69437999014e-3) < 1e-14 && std::fabs(c.ep2 - 6.73949674228e-3) < 1e-14)
        << c.e2 << ", " << c.ep2;
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(359.0), &e1, &n1);
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(-5.0), &e2, &n2);
    EXPECT_TRUE(std::fabs(e1 + e2 - 1e6) < 1e-6 && std::fabs(n1 - n2) < 1e-6)
        << e1 << " + " << e2 << "; " << n1 << " - " << n2;
}

// Degrees decide the zone directly (6 deg is zone 2, unlike the series), a
// plane point its easting's prefix; a fixed zone and hemisphere win. Without
// zone or hemisphere, or for a point not finite, the record is left as it was.
TEST(AutomaticZone, FromLatLonAndXy)
{
    // wantZone 0: refused
    const std::tuple<bool, double, double, int, int, int, bool> cases[] = {
        {false, 55, 6.0, -1, 0, 2, false}, {false, 55, 5.999999, -1, 0, 1, false},
        {false, 55, -0.1, -1, 0, 60, false}, {false, 55, 757.5, 0, 0, 7, false},
        {false, -0.001, 37.0, -1, 0, 7, true}, {false, 55, 50.0, 7, 2, 7, true},
        {false, kNaN, 37.0, -1, 0, 0, false}, {false, 55, kInf, -1, 0, 0, false},
        {true, kNaN, 7412345.0, 0, 1, 0, false}, {true, 6100000, 7412345.0, 0, 1, 7, false},
        {true, 6100000, 60999999.0, -1, 2, 60, true}, {true, 6100000, 7412345.0, 8, 1, 8, false},
        {true, 6100000, 999999.0, 0, 1, 0, false}, {true, 6100000, 61000000.0, -1, 1, 0, false},
        {true, 6100000, 7500000.0, -1, 0, 0, false}};
    for (const auto &[fromXy, p0, p1, zone, hemisphere, wantZone, south] : cases) {
        refsystem rs;
        std::memset(&rs, 0, sizeof rs);
        invalidate_refsystem(&rs);
        rs.datum = 2011, rs.zone = zone, rs.hemisphere = hemisphere;
        const refsystem before = rs;
        const double point[3] = {p0, p1, 100.0};
        const auto init = fromXy ? initialize_gk6_from_xy : initialize_gk6_from_latlon;
        ASSERT_EQ(init(point, &rs), wantZone ? 1 : 0) << p0 << ", " << p1;
        const tm_projection &p = rs.projection;
        EXPECT_TRUE(wantZone ? rs.type == KV_TYPE_PROJECTED && rs.zone == (fromXy ? -1 : 0)
                    && rs.hemisphere == 0 && rs.axis_order == KV_AXES_NORTHING_EASTING
                    && rs.datum == 2011 && p.false_easting == wantZone * 1e6 + 5e5
                    && std::fabs(p.central_meridian - (6 * wantZone - 3) * kPi / 180) <= 1e-15
                    && p.false_northing == (south ? 1e7 : 0.0)
                             : std::memcmp(&rs, &before, sizeof rs) == 0)
            << p0 << ", " << p1 << ": zone " << rs.zone << ", " << p.false_easting << ", "
            << p.false_northing;
    }
    refsystem rs;
    invalidate_refsystem(&rs);
    const double point[3] = {55.0, 37.0, 0.0};
    EXPECT_EQ(initialize_gk6_from_latlon(point, &rs), 0) << "completed, but datum 0 is unusable";
    EXPECT_EQ(initialize_gk6_from_latlon(nullptr, &rs) + initialize_gk6_from_xy(point, nullptr), 0);
}

} // namespace
