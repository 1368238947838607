// Transverse Mercator zones: the GOST series, the general Transverse Mercator,
// the zone parameter sets and the automatic-zone initialisers.
// Agreement with PROJ is in test_chain_proj; here: exact values, zone choice,
// hemispheres, failures, and round trips (1 mm).
#include "kelvadra_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace kelvadra;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
// Metres per radian of latitude or longitude, generously, for turning
// angular round-trip errors into lengths.
const double kMetresPerRadian = 6.4e6;

int zone_of_easting(double y)
{
    return static_cast<int>(std::floor(y / 1e6));
}

ellipsoid ellipsoid_for(int datum)
{
    ellipsoid e { 0, 0 };
    EXPECT_EQ(ellipsoid_of_datum(datum, &e), 1);
    return e;
}

// ------------------------------------------------------------- GOST series

TEST(GkSeries, CentralMeridianAtTheEquator)
{
    double x = -1, y = -1;
    ASSERT_EQ(gk6_forward(0.0, deg_to_rad(39.0), 0, 0, &x, &y), 1);
    EXPECT_EQ(x, 0.0);
    EXPECT_NEAR(y, 7500000.0, 1e-3);
}

// The series turns radians into degrees with 57.29577951, slightly less than
// 180/pi: a longitude exactly on a zone boundary falls into the western zone.
// The series' own arithmetic evaluated in 40 digits (mpmath, same nesting,
// same rho, from the same double inputs): any changed coefficient shows. 1 µm
// and 1e-13 rad leave room for double rounding only.
TEST(GkSeries, AgreesWithExtendedPrecisionEvaluation)
{
    const struct
    {
        double latDeg, lonDeg;
        int zone, hemisphere;
        double x, y;
    } forward[] = {
        { 55.0, 37.0, 0, 0, 6099167.2394585757187, 7372018.4910353746091 },
        { -33.5, 151.2, 0, 2, 6290281.1756024578885, 26332725.774503002455 },
        { 70.0, 44.9, 7, 1, 7780013.4628293044471, 7724999.1134194648061 },
        { 0.5, 1.0, 0, 0, 55322.067661034976464, 1277320.1453365376536 },
        { 80.0, 120.0, 20, 1, 8886793.0160000761182, 20558156.434706199292 },
    };
    for (const auto &c : forward) {
        double x, y;
        ASSERT_EQ(gk6_forward(deg_to_rad(c.latDeg), deg_to_rad(c.lonDeg), c.zone, c.hemisphere,
                              &x, &y),
                  1);
        EXPECT_NEAR(x, c.x, 1e-6) << c.latDeg << " " << c.lonDeg;
        EXPECT_NEAR(y, c.y, 1e-6) << c.latDeg << " " << c.lonDeg;
    }
    const struct
    {
        double x, y;
        int zone, hemisphere;
        double B, L;
    } inverse[] = {
        { 6098765.4321, 7412345.678, 7, 1, 0.96002041029252832674, 0.65676878297576205057 },
        { 6283000.0, 26567890.0, 26, 2, -0.58602158143086933889, 2.6831161766264084745 },
        { 7800000.0, 7700000.0, 7, 1, 1.2252009477530471433, 0.77306876709172221845 },
        { 55000.0, 1333333.0, 1, 1, 0.0086781832355564687484, 0.026231351072126151889 },
    };
    for (const auto &c : inverse) {
        double B, L;
        ASSERT_EQ(gk6_inverse(c.x, c.y, c.zone, c.hemisphere, &B, &L), 1);
        EXPECT_NEAR(B, c.B, 1e-13) << c.x << " " << c.y;
        EXPECT_NEAR(L, c.L, 1e-13) << c.x << " " << c.y;
    }
}

TEST(GkSeries, AutomaticZoneAtTheBoundaries)
{
    const struct
    {
        double lonDeg;
        int zone;
    } cases[] = { { 0.0, 1 }, { 3.0, 1 }, { 6.0, 1 }, { 6.001, 2 }, { 12.0, 2 }, { 180.0, 30 },
        { 359.9, 60 }, { -0.1, 60 }, { -3.0, 60 }, { 39.0, 7 }, { 354.0, 59 }, { 360.0, 60 },
        { 725.0, 1 } };
    for (const auto &c : cases) {
        double x, y;
        ASSERT_EQ(gk6_forward(deg_to_rad(55.0), deg_to_rad(c.lonDeg), 0, 1, &x, &y), 1) << c.lonDeg;
        EXPECT_EQ(zone_of_easting(y), c.zone) << c.lonDeg;
    }
}

TEST(GkSeries, HemisphereAndFalseNorthing)
{
    double x, y;
    // Automatic hemisphere: latitude 0 counts as north.
    ASSERT_EQ(gk6_forward(0.0, deg_to_rad(40.0), 7, 0, &x, &y), 1);
    EXPECT_EQ(x, 0.0);
    double xNorth, ySouth, xSouth, yNorth;
    ASSERT_EQ(gk6_forward(deg_to_rad(-30.0), deg_to_rad(40.0), 7, 1, &xNorth, &yNorth), 1);
    ASSERT_EQ(gk6_forward(deg_to_rad(-30.0), deg_to_rad(40.0), 7, 2, &xSouth, &ySouth), 1);
    EXPECT_EQ(xSouth, xNorth + 10000000.0);
    EXPECT_EQ(ySouth, yNorth);
    double xAuto, yAuto;
    ASSERT_EQ(gk6_forward(deg_to_rad(-30.0), deg_to_rad(40.0), 7, 0, &xAuto, &yAuto), 1);
    EXPECT_EQ(xAuto, xSouth);
    EXPECT_GT(xSouth, 6000000.0);
    EXPECT_LT(xSouth, 7000000.0);

    // The inverse with hemisphere 2 takes the false northing off again.
    double B, L;
    ASSERT_EQ(gk6_inverse(xSouth, ySouth, 7, 2, &B, &L), 1);
    EXPECT_NEAR(B, deg_to_rad(-30.0), 1e-3 / kMetresPerRadian);
    EXPECT_NEAR(L, deg_to_rad(40.0), 1e-3 / kMetresPerRadian);
}

TEST(GkSeries, RejectedArgumentsLeaveOutputsUntouched)
{
    double x = 1.5, y = 2.5;
    const double B = deg_to_rad(55.0), L = deg_to_rad(37.0);
    EXPECT_EQ(gk6_forward(B, L, 61, 1, &x, &y), 0);
    EXPECT_EQ(gk6_forward(B, L, -1, 1, &x, &y), 0);
    // A longitude with no zone: nothing to convert in.
    EXPECT_EQ(gk6_forward(B, kNaN, 0, 1, &x, &y), 0);
    EXPECT_EQ(gk6_forward(B, kInf, 0, 1, &x, &y), 0);
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, 2.5);

    double b = 3.5, l = 4.5;
    EXPECT_EQ(gk6_inverse(6100000.0, 7400000.0, 0, 1, &b, &l), 0);
    EXPECT_EQ(gk6_inverse(6100000.0, 7400000.0, 61, 1, &b, &l), 0);
    EXPECT_EQ(gk6_inverse(6100000.0, 7400000.0, 7, 0, &b, &l), 0);
    EXPECT_EQ(gk6_inverse(6100000.0, 7400000.0, 7, 3, &b, &l), 0);
    EXPECT_EQ(gk6_inverse_auto_zone(6100000.0, 500000.0, 1, &b, &l), 0);
    EXPECT_EQ(gk6_inverse_auto_zone(6100000.0, 61500000.0, 1, &b, &l), 0);
    EXPECT_EQ(gk6_inverse_auto_zone(6100000.0, kNaN, 1, &b, &l), 0);
    EXPECT_EQ(gk6_inverse_auto_zone(6100000.0, 1e300, 1, &b, &l), 0);
    EXPECT_EQ(gk6_inverse_auto_zone(6100000.0, 7400000.0, 0, &b, &l), 0);
    EXPECT_EQ(b, 3.5);
    EXPECT_EQ(l, 4.5);
}

TEST(GkSeries, AutomaticZoneInverseReadsThePrefix)
{
    double B1, L1, B2, L2;
    ASSERT_EQ(gk6_inverse_auto_zone(6100000.0, 7500000.0, 1, &B1, &L1), 1);
    ASSERT_EQ(gk6_inverse(6100000.0, 7500000.0, 7, 1, &B2, &L2), 1);
    EXPECT_EQ(B1, B2);
    EXPECT_EQ(L1, L2);
    EXPECT_NEAR(rad_to_deg(L1), 39.0, 1e-6);
}

TEST(GkSeries, RoundTripInEveryZone)
{
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> lat(-80.0, 80.0), offset(-3.0, 3.0);
    for (int zone = 1; zone <= 60; ++zone) {
        for (int i = 0; i < 20; ++i) {
            const double latDeg = lat(random);
            const double B = deg_to_rad(latDeg);
            const double L = deg_to_rad(6.0 * zone - 3.0 + offset(random));
            const int hemisphere = latDeg < 0 ? 2 : 1;
            double x, y, B2, L2;
            ASSERT_EQ(gk6_forward(B, L, zone, hemisphere, &x, &y), 1);
            ASSERT_EQ(gk6_inverse(x, y, zone, hemisphere, &B2, &L2), 1);
            EXPECT_LT(std::fabs(B2 - B) * kMetresPerRadian, 1e-3) << zone << " " << latDeg;
            EXPECT_LT(std::fabs(L2 - L) * kMetresPerRadian * std::cos(B), 1e-3) << zone;
        }
    }
}

// ------------------------------------------------- general Transverse Mercator

TEST(TransverseMercator, ConstantsOfWgs84)
{
    const ellipsoid e = ellipsoid_for(84);
    tm_projection p;
    ASSERT_EQ(utm_zone_projection(37, 1, &p), 1);
    tm_constants c;
    tm_setup_constants(e, p, &c);
    EXPECT_EQ(c.a, 6378137.0);
    EXPECT_EQ(c.M0, 0.0);
    // The series coefficients evaluated in 30 digits (mpmath) from the same
    // definitions; relative 1e-12 leaves room for the rounding of e2 = 1 -
    // (b/a)^2 in doubles and catches any wrong coefficient.
    const struct
    {
        const char *name;
        double actual, expected;
    } values[] = {
        { "e2", c.e2, 0.0066943799901413169961 },
        { "ep2", c.ep2, 0.0067394967422764349548 },
        { "A0", c.A0, 6367449.1459608162157 },
        { "A2", c.A2, 16038.508333155592124 },
        { "A4", c.A4, 16.832200728068776331 },
        { "A6", c.A6, 0.02180076621262180304 },
        { "J1", c.J1, 0.0025188265843906883816 },
        { "J2", c.J2, 3.7009490356205339235e-6 },
        { "J3", c.J3, 7.4478137675039487127e-9 },
        { "J4", c.J4, 1.7035993238596311468e-11 },
        { "a(1-e2)", c.a_1_minus_e2, 6335439.3272928200308 },
    };
    for (const auto &v : values)
        EXPECT_NEAR(v.actual, v.expected, std::fabs(v.expected) * 1e-12) << v.name;
    // Meridian arcs of WGS 84 by numerical integration (mpmath, 30 digits).
    EXPECT_NEAR(tm_meridian_distance(c, kPi / 4), 4984944.3780, 1e-3);
    EXPECT_NEAR(tm_meridian_distance(c, kHalfPi), 10001965.7293, 1e-3);
    EXPECT_NEAR(tm_meridian_distance(c, -kPi / 4), -4984944.3780, 1e-3);

    // An origin latitude moves the northing origin to its meridian arc.
    tm_projection shifted = p;
    shifted.origin_latitude = kPi / 4;
    tm_constants c45;
    tm_setup_constants(e, shifted, &c45);
    EXPECT_NEAR(c45.M0, 4984944.3780, 1e-3);
    double easting, northing;
    tm_forward(shifted, c45, kPi / 4, shifted.central_meridian, &easting, &northing);
    EXPECT_NEAR(northing, 0.0, 1e-9);
}

TEST(TransverseMercator, UtmZone31AtTheEquator)
{
    tm_projection p;
    ASSERT_EQ(utm_zone_projection(31, 1, &p), 1);
    EXPECT_NEAR(p.central_meridian, deg_to_rad(3.0), 1e-15);
    tm_constants c;
    tm_setup_constants(ellipsoid_for(84), p, &c);
    double easting, northing;
    tm_forward(p, c, 0.0, p.central_meridian, &easting, &northing);
    EXPECT_EQ(easting, 500000.0);
    EXPECT_EQ(northing, 0.0);
    // 3° through deg_to_rad may differ from 3·pi/180 in the last bit.
    tm_forward(p, c, 0.0, deg_to_rad(3.0), &easting, &northing);
    EXPECT_NEAR(easting, 500000.0, 1e-9);
    EXPECT_EQ(northing, 0.0);
}

TEST(TransverseMercator, LongitudeDifferenceIsReduced)
{
    tm_projection p;
    ASSERT_EQ(utm_zone_projection(30, 1, &p), 1); // central meridian -3°
    tm_constants c;
    tm_setup_constants(ellipsoid_for(84), p, &c);
    double e1, n1, e2, n2;
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(357.0), &e1, &n1);
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(-3.0), &e2, &n2);
    EXPECT_NEAR(e1, e2, 1e-6);
    EXPECT_NEAR(n1, n2, 1e-6);
    // 359° is 2° east of -3°, mirroring -5°.
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(359.0), &e1, &n1);
    tm_forward(p, c, deg_to_rad(48.0), deg_to_rad(-5.0), &e2, &n2);
    EXPECT_GT(e1, 500000.0);
    EXPECT_NEAR(e1 - 500000.0, 500000.0 - e2, 1e-6);
    EXPECT_NEAR(n1, n2, 1e-6);
}

TEST(TransverseMercator, InverseStaysInRange)
{
    tm_projection p;
    ASSERT_EQ(gk_zone_projection(7, 1, &p), 1);
    tm_constants c;
    tm_setup_constants(ellipsoid_for(2011), p, &c);
    const double points[][2] = { { 7500000.0, 30000000.0 }, { 7500000.0, -30000000.0 },
        { 7500000.0, 10001000.0 }, { 17500000.0, 5000000.0 }, { -2500000.0, 5000000.0 },
        { 7500000.0 + 1e6, 9990000.0 } };
    for (const auto &pt : points) {
        double phi, lambda;
        tm_inverse(p, c, pt[0], pt[1], &phi, &lambda);
        if (std::isnan(phi) || std::isnan(lambda))
            continue; // far outside any zone the series may give no number
        EXPECT_LE(std::fabs(phi), kHalfPi) << pt[0] << " " << pt[1];
        EXPECT_LE(std::fabs(lambda), kPi) << pt[0] << " " << pt[1];
    }
}

// Within the zone (3° of the central meridian) the truncated series return
// within 0.9 mm: up to 0.8 mm in latitude near 70° from the meridian-distance
// and footpoint series, up to 0.4 mm in longitude at the zone edge.
TEST(TransverseMercator, RoundTripInEveryZoneBothHemispheres)
{
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> lat(0.0, 84.0), offset(-3.0, 3.0);
    for (int datum : { 84, 2011, 42, 90 }) {
        const ellipsoid e = ellipsoid_for(datum);
        for (int zone = 1; zone <= 60; ++zone) {
            for (int hemisphere : { 1, 2 }) {
                for (bool utm : { false, true }) {
                    tm_projection p;
                    ASSERT_EQ(
                        (utm ? utm_zone_projection : gk_zone_projection)(zone, hemisphere, &p), 1);
                    tm_constants c;
                    tm_setup_constants(e, p, &c);
                    for (int i = 0; i < 5; ++i) {
                        const double phi = deg_to_rad(hemisphere == 1 ? lat(random) : -lat(random));
                        const double lambda
                            = normalize_angle_pi(p.central_meridian + deg_to_rad(offset(random)));
                        double easting, northing, phi2, lambda2;
                        tm_forward(p, c, phi, lambda, &easting, &northing);
                        tm_inverse(p, c, easting, northing, &phi2, &lambda2);
                        const double north = (phi2 - phi) * kMetresPerRadian;
                        const double east = std::remainder(lambda2 - lambda, 2 * kPi)
                            * kMetresPerRadian * std::cos(phi);
                        EXPECT_LT(std::hypot(north, east), 1e-3)
                            << datum << " zone " << zone << " " << rad_to_deg(phi);
                    }
                }
            }
        }
    }
}

// ------------------------------------------------------ zone parameter sets

TEST(ZoneProjections, GaussKrugerAndUtmSets)
{
    tm_projection p;
    ASSERT_EQ(gk_zone_projection(7, 2, &p), 1);
    EXPECT_NEAR(p.central_meridian, 39.0 * kPi / 180.0, 1e-15);
    EXPECT_EQ(p.origin_latitude, 0.0);
    EXPECT_EQ(p.scale_factor, 1.0);
    EXPECT_EQ(p.false_easting, 7500000.0);
    EXPECT_EQ(p.false_northing, 10000000.0);
    ASSERT_EQ(gk_zone_projection(60, 1, &p), 1);
    EXPECT_NEAR(p.central_meridian, 357.0 * kPi / 180.0, 1e-15);
    EXPECT_EQ(p.false_easting, 60500000.0);
    EXPECT_EQ(p.false_northing, 0.0);
    // Any hemisphere other than 1 is south.
    ASSERT_EQ(gk_zone_projection(7, 3, &p), 1);
    EXPECT_EQ(p.false_northing, 10000000.0);

    ASSERT_EQ(utm_zone_projection(1, 1, &p), 1);
    EXPECT_NEAR(p.central_meridian, -177.0 * kPi / 180.0, 1e-15);
    EXPECT_EQ(p.scale_factor, 0.9996);
    EXPECT_EQ(p.false_easting, 500000.0);
    ASSERT_EQ(utm_zone_projection(37, 2, &p), 1);
    EXPECT_NEAR(p.central_meridian, 39.0 * kPi / 180.0, 1e-15);
    EXPECT_EQ(p.false_northing, 10000000.0);
}

TEST(ZoneProjections, RejectedZoneOrHemisphereLeavesRecord)
{
    tm_projection p { 1, 2, 3, 4, 5 };
    for (auto fn : { gk_zone_projection, utm_zone_projection }) {
        EXPECT_EQ(fn(0, 1, &p), 0);
        EXPECT_EQ(fn(61, 1, &p), 0);
        EXPECT_EQ(fn(-1, 1, &p), 0);
        EXPECT_EQ(fn(7, 0, &p), 0);
    }
    EXPECT_EQ(p.central_meridian, 1);
    EXPECT_EQ(p.false_northing, 5);
}

// ------------------------------------------------------- automatic zones

refsystem reset_record(int datum)
{
    refsystem rs;
    std::memset(&rs, 0, sizeof rs);
    invalidate_refsystem(&rs);
    rs.datum = datum;
    return rs;
}

TEST(AutomaticZoneFromLatLon, DegreesDecideTheZoneDirectly)
{
    const struct
    {
        double lon;
        int zone;
    } cases[] = { { 6.0, 2 }, { 5.999999, 1 }, { 0.0, 1 }, { 359.9, 60 }, { -0.1, 60 }, { 37.5, 7 },
        { 45.5, 8 }, { 180.0, 31 }, { -180.0, 31 }, { 720.0 + 37.5, 7 } };
    for (const auto &c : cases) {
        refsystem rs = reset_record(2011);
        const double point[3] = { 55.0, c.lon, 100.0 };
        ASSERT_EQ(initialize_gk6_from_latlon(point, &rs), 1) << c.lon;
        EXPECT_EQ(rs.type, KV_TYPE_PROJECTED);
        EXPECT_EQ(rs.zone, 0);
        EXPECT_EQ(rs.hemisphere, 0);
        EXPECT_EQ(rs.axis_order, KV_AXES_NORTHING_EASTING);
        EXPECT_EQ(rs.datum, 2011);
        EXPECT_EQ(rs.projection.false_easting, c.zone * 1e6 + 5e5) << c.lon;
        EXPECT_NEAR(rs.projection.central_meridian, (6 * c.zone - 3) * kPi / 180, 1e-15);
        EXPECT_EQ(rs.projection.scale_factor, 1.0);
        EXPECT_EQ(rs.projection.false_northing, 0.0);
    }
}

TEST(AutomaticZoneFromLatLon, KeepsFixedZoneAndHemisphere)
{
    refsystem rs = reset_record(2011);
    rs.zone = 7;
    rs.hemisphere = 2;
    const double point[3] = { 55.0, 50.0, 0.0 };
    ASSERT_EQ(initialize_gk6_from_latlon(point, &rs), 1);
    EXPECT_EQ(rs.projection.false_easting, 7500000.0);
    EXPECT_EQ(rs.projection.false_northing, 10000000.0);

    // Automatic hemisphere: 0 is north, below 0 south.
    rs = reset_record(2011);
    const double equator[3] = { 0.0, 37.0, 0.0 };
    ASSERT_EQ(initialize_gk6_from_latlon(equator, &rs), 1);
    EXPECT_EQ(rs.projection.false_northing, 0.0);
    rs = reset_record(2011);
    const double south[3] = { -0.001, 37.0, 0.0 };
    ASSERT_EQ(initialize_gk6_from_latlon(south, &rs), 1);
    EXPECT_EQ(rs.projection.false_northing, 10000000.0);
}

TEST(AutomaticZoneFromLatLon, FailuresAndUnchangedRecords)
{
    // Datum 0: the record is completed but check_refsystem rejects it.
    refsystem rs = reset_record(0);
    const double point[3] = { 55.0, 37.0, 0.0 };
    EXPECT_EQ(initialize_gk6_from_latlon(point, &rs), 0);
    EXPECT_EQ(rs.type, KV_TYPE_PROJECTED);

    for (const double bad : { kNaN, kInf, -kInf }) {
        rs = reset_record(2011);
        const refsystem before = rs;
        const double p1[3] = { bad, 37.0, 0.0 };
        const double p2[3] = { 55.0, bad, 0.0 };
        EXPECT_EQ(initialize_gk6_from_latlon(p1, &rs), 0);
        EXPECT_EQ(initialize_gk6_from_latlon(p2, &rs), 0);
        EXPECT_EQ(std::memcmp(&rs, &before, sizeof rs), 0);
    }
    EXPECT_EQ(initialize_gk6_from_latlon(nullptr, &rs), 0);
    EXPECT_EQ(initialize_gk6_from_latlon(point, nullptr), 0);
}

TEST(AutomaticZoneFromXy, ZoneFromThePrefix)
{
    refsystem rs = reset_record(2011);
    rs.type = KV_TYPE_PROJECTED;
    rs.zone = 0;
    rs.hemisphere = 1;
    rs.axis_order = KV_AXES_NORTHING_EASTING;
    EXPECT_EQ(check_refsystem(&rs), 0); // the program's automatic GSK 2011 record
    const double point[3] = { 6100000.0, 7412345.0, 0.0 };
    ASSERT_EQ(initialize_gk6_from_xy(point, &rs), 1);
    EXPECT_EQ(rs.type, KV_TYPE_PROJECTED);
    EXPECT_EQ(rs.zone, -1);
    EXPECT_EQ(rs.hemisphere, 0);
    EXPECT_EQ(rs.axis_order, KV_AXES_NORTHING_EASTING);
    EXPECT_EQ(rs.projection.false_easting, 7500000.0);
    EXPECT_EQ(rs.projection.false_northing, 0.0);

    rs = reset_record(2011);
    rs.hemisphere = 2;
    const double last[3] = { 6100000.0, 60999999.0, 0.0 };
    ASSERT_EQ(initialize_gk6_from_xy(last, &rs), 1);
    EXPECT_EQ(rs.projection.false_easting, 60500000.0);
    EXPECT_EQ(rs.projection.false_northing, 10000000.0);

    // A fixed zone wins over the prefix.
    rs = reset_record(2011);
    rs.zone = 8;
    rs.hemisphere = 1;
    ASSERT_EQ(initialize_gk6_from_xy(point, &rs), 1);
    EXPECT_EQ(rs.projection.false_easting, 8500000.0);
}

TEST(AutomaticZoneFromXy, RejectionsLeaveTheRecord)
{
    const double eastings[] = { 500000.0, 999999.0, 61000000.0, -7500000.0, kNaN, kInf };
    for (double y : eastings) {
        refsystem rs = reset_record(2011);
        rs.hemisphere = 1;
        const refsystem before = rs;
        const double point[3] = { 6100000.0, y, 0.0 };
        EXPECT_EQ(initialize_gk6_from_xy(point, &rs), 0) << y;
        EXPECT_EQ(std::memcmp(&rs, &before, sizeof rs), 0) << y;
    }
    // Automatic hemisphere: nothing to decide the false northing with.
    refsystem rs = reset_record(2011);
    const refsystem before = rs;
    const double point[3] = { 6100000.0, 7500000.0, 0.0 };
    EXPECT_EQ(initialize_gk6_from_xy(point, &rs), 0);
    EXPECT_EQ(std::memcmp(&rs, &before, sizeof rs), 0);
    EXPECT_EQ(initialize_gk6_from_xy(nullptr, &rs), 0);
    EXPECT_EQ(initialize_gk6_from_xy(point, nullptr), 0);
}

} // namespace
