// Geodetic <-> geocentric conversions, local east-north-up frames and the
// affine steps that carry them.
#include "kelvadra_internal.h"

#include <gtest/gtest.h>
#include <proj.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

using namespace kelvadra;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct NamedEllipsoid
{
    int code;
    const char *name;
    double a, rf;
};

const NamedEllipsoid kEllipsoids[] = {
    {42, "Krasovsky 1940", 6378245, 298.3},
    {80, "GRS 80", 6378137, 298.257222101},
    {84, "WGS 84", 6378137, 298.257223563},
    {90, "PZ-90", 6378136, 298.25784},
    {2011, "GSK-2011", 6378136.5, 298.2564151},
};

ellipsoid byCode(int code)
{
    ellipsoid e = {0, 0};
    EXPECT_EQ(ellipsoid_by_code(code, &e), 1) << code;
    return e;
}

// PROJ definitions are written in the classic locale whatever the C locale is.
PJ *projCreate(PJ_CONTEXT *ctx, const std::string &head, const NamedEllipsoid &e,
               const std::string &tail = "")
{
    std::ostringstream def;
    def.precision(17);
    def << head << " +a=" << e.a << " +rf=" << e.rf << tail;
    PJ *pj = proj_create(ctx, def.str().c_str());
    EXPECT_NE(pj, nullptr) << def.str();
    return pj;
}

double radians(double degrees)
{
    return degrees * kDegree;
}

} // namespace

TEST(Geocentric, ForwardEdgeCases)
{
    const ellipsoid e = byCode(84);
    double xyz[3];
    const double equator[3] = {0, 0, 0};
    ASSERT_EQ(geodetic_to_geocentric(e, equator, xyz), 1);
    EXPECT_EQ(xyz[0], 6378137.0);
    EXPECT_EQ(xyz[1], 0.0);
    EXPECT_EQ(xyz[2], 0.0);

    const double pole[3] = {kHalfPi, 0, 0};
    ASSERT_EQ(geodetic_to_geocentric(e, pole, xyz), 1);
    EXPECT_NEAR(xyz[0], 0.0, 1e-6); // cos(pi/2) is 6e-17, not 0
    EXPECT_NEAR(xyz[1], 0.0, 1e-6);
    EXPECT_NEAR(xyz[2], e.a * (1 - e.f), 1e-8); // the semi-minor axis

    // A degenerate ellipsoid (e2 = 1) makes 1 - e2 sin2 B vanish at the pole.
    const ellipsoid flat = {6378137, 1.0};
    double out[3] = {7, 8, 9};
    EXPECT_EQ(geodetic_to_geocentric(flat, pole, out), 0);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[2], 9);
}

TEST(Geocentric, InverseEdgeCases)
{
    const ellipsoid e = byCode(84);
    const double a = e.a, b = e.a * (1 - e.f);
    struct Case
    {
        const char *what;
        double x, y, z;
        double B, L, H;
        double angleTol, heightTol; // radians, metres
    };
    const Case cases[] = {
        {"equator, Z = 0 branch", a, 0, 0, 0, 0, 0, 0, 0},
        {"antimeridian", -a, 0, 0, 0, kPi, 0, 0, 0},
        {"antimeridian, Y = -0 stays +pi", -a, -0.0, 0, 0, kPi, 0, 0, 0},
        {"Y = 0, X < 0 off the equator", -3e6, 0, 4e6, kNaN, kPi, kNaN, 0, 0},
        {"90 W", 0, -a, 0, 0, -kHalfPi, 0, 0, 0},
        {"90 E", 0, a, 0, 0, kHalfPi, 0, 0, 0},
        {"north pole", 0, 0, b, kHalfPi, 0, 0, 1e-13, 1e-8},
        {"south pole", 0, 0, -b, -kHalfPi, 0, 0, 1e-13, 1e-8},
        {"centre of the Earth", 0, 0, 0, 0, 0, -a, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const double xyz[3] = {c.x, c.y, c.z};
        double blh[3];
        ASSERT_EQ(geocentric_to_geodetic(e, xyz, blh), 1);
        if (!std::isnan(c.B)) {
            EXPECT_NEAR(blh[0], c.B, c.angleTol);
        }
        EXPECT_NEAR(blh[1], c.L, c.angleTol);
        if (!std::isnan(c.H)) {
            EXPECT_NEAR(blh[2], c.H, c.heightTol);
        }
    }
}

// Every quadrant and axis: the longitude lies in (-pi, pi] and agrees with
// atan2 to 1e-14 rad, also next to the meridians +-90 deg.
TEST(Geocentric, LongitudeCases)
{
    const ellipsoid e = byCode(84);
    const double degrees[] = {-179.999999, -135, -90.000001, -90, -89.999999, -45, -0.000001, 0,
                              0.000001, 30, 89.99999, 89.999999, 90, 90.000001, 135, 179.999999,
                              180};
    for (double deg : degrees) {
        const double blh[3] = {radians(51.5), radians(deg), 200};
        double xyz[3], back[3];
        ASSERT_EQ(geodetic_to_geocentric(e, blh, xyz), 1);
        ASSERT_EQ(geocentric_to_geodetic(e, xyz, back), 1);
        const double expected = std::atan2(xyz[1], xyz[0]);
        EXPECT_NEAR(back[1], expected == -kPi ? kPi : expected, 1e-14) << deg << " deg";
        EXPECT_GT(back[1], -kPi) << deg;
        EXPECT_LE(back[1], kPi) << deg;
        if (xyz[0] < 0 && xyz[1] < 0) {
            EXPECT_LT(back[1], -kHalfPi) << deg;
        }
    }
}

// Geodetic -> geocentric -> geodetic on every ellipsoid: B and L within
// 1e-12 rad (6 um), H within 1e-8 m. Latitudes of whole and half degrees.
TEST(Geocentric, RoundTripSweep)
{
    const double longitudes[] = {-179.5, -135, -60, 0, 37.6, 120, 180};
    const double heights[] = {-1000, -0.5, 0, 250, 1000, 10000};
    for (const NamedEllipsoid &n : kEllipsoids) {
        const ellipsoid e = byCode(n.code);
        int failures = 0;
        for (double lat = -90; lat <= 90; lat += 0.5) {
            for (double lon : longitudes) {
                for (double h : heights) {
                    const double blh[3] = {radians(lat), radians(lon), h};
                    double xyz[3], back[3];
                    ASSERT_EQ(geodetic_to_geocentric(e, blh, xyz), 1);
                    if (!geocentric_to_geodetic(e, xyz, back)) {
                        ++failures;
                        continue;
                    }
                    const auto where = ::testing::Message()
                                       << n.name << " " << lat << " " << lon << " " << h;
                    EXPECT_NEAR(back[0], blh[0], 1e-12) << where;
                    if (std::fabs(lat) < 90) {
                        EXPECT_NEAR(std::remainder(back[1] - blh[1], kTwoPi), 0, 1e-12) << where;
                    }
                    EXPECT_NEAR(back[2], h, 1e-8) << where;
                }
            }
        }
        EXPECT_EQ(failures, 0) << n.name;
    }
}

// Points a few centimetres from a pole or from the meridians +-90 deg are as
// real as any other: an arcsine of Z/r or Y/D there loses up to 3e-9 rad of
// latitude and 2e-8 rad of longitude (1e-6 deg, 11 cm on the equator).
TEST(Geocentric, RoundTripNearPolesAndQuarterMeridians)
{
    const double latitudes[] = {-89.999999, -89.9999, -89.999, 0.5, 55.0, 89.999, 89.9999,
                                89.999999};
    const double longitudes[] = {-90.000001, -89.999999, 37.6, 89.99999, 89.999999, 90.000001};
    for (const NamedEllipsoid &n : kEllipsoids) {
        const ellipsoid e = byCode(n.code);
        for (double lat : latitudes) {
            for (double lon : longitudes) {
                const double blh[3] = {radians(lat), radians(lon), 120};
                double xyz[3], back[3];
                ASSERT_EQ(geodetic_to_geocentric(e, blh, xyz), 1);
                ASSERT_EQ(geocentric_to_geodetic(e, xyz, back), 1);
                EXPECT_NEAR(back[0], blh[0], 1e-12) << n.name << " " << lat << " " << lon;
                EXPECT_NEAR(back[1], blh[1], 1e-12) << n.name << " " << lat << " " << lon;
                EXPECT_NEAR(back[2], 120, 1e-8) << n.name << " " << lat << " " << lon;
            }
        }
    }
}

// PROJ's cart conversion is an independent implementation: both directions
// agree within 0.1 mm (1.6e-11 rad of arc).
TEST(Geocentric, AgreesWithProjCart)
{
    PJ_CONTEXT *ctx = proj_context_create();
    for (const NamedEllipsoid &n : kEllipsoids) {
        const ellipsoid e = byCode(n.code);
        PJ *cart = projCreate(ctx, "+proj=cart", n);
        ASSERT_NE(cart, nullptr);
        for (double lat = -89.5; lat <= 89.5; lat += 7.9) {
            for (double lon = -179; lon <= 180; lon += 31.3) {
                for (double h : {-1000.0, 0.0, 8848.0}) {
                    const double blh[3] = {radians(lat), radians(lon), h};
                    double xyz[3], back[3];
                    ASSERT_EQ(geodetic_to_geocentric(e, blh, xyz), 1);
                    const PJ_COORD ref =
                        proj_trans(cart, PJ_FWD, proj_coord(blh[1], blh[0], h, 0));
                    EXPECT_NEAR(xyz[0], ref.xyz.x, 1e-4);
                    EXPECT_NEAR(xyz[1], ref.xyz.y, 1e-4);
                    EXPECT_NEAR(xyz[2], ref.xyz.z, 1e-4);

                    ASSERT_EQ(geocentric_to_geodetic(e, xyz, back), 1);
                    const PJ_COORD geo = proj_trans(cart, PJ_INV, ref);
                    EXPECT_NEAR(back[0], geo.lpz.phi, 1.6e-11) << n.name << " " << lat;
                    EXPECT_NEAR(back[1], geo.lpz.lam, 1.6e-11) << n.name << " " << lon;
                    EXPECT_NEAR(back[2], geo.lpz.z, 1e-4) << n.name << " " << h;
                }
            }
        }
        proj_destroy(cart);
    }
    proj_context_destroy(ctx);
}

// Near the centre of the Earth the iteration converges slowly or not at all.
// These WGS 84 points need 85 and 130 iterations: the first must be accepted,
// the second refused at the limit of 100, and an arcsine of an argument > 1
// (the third) must end the same way instead of looping.
TEST(Geocentric, IterationLimit)
{
    const ellipsoid e = byCode(84);
    const double slow[3] = {27959.64517353734, 0, 41451.878627752085};
    double blh[3] = {7, 8, 9};
    ASSERT_EQ(geocentric_to_geodetic(e, slow, blh), 1);
    double xyz[3];
    ASSERT_EQ(geodetic_to_geocentric(e, blh, xyz), 1);
    EXPECT_NEAR(xyz[0], slow[0], 1e-6);
    EXPECT_NEAR(xyz[2], slow[2], 1e-6);

    const double tooSlow[3] = {18730.3296707956, 0, 46359.192728339374};
    const double never[3] = {1, 0, 1};
    for (const double *p : {tooSlow, never}) {
        double out[3] = {7, 8, 9};
        EXPECT_EQ(geocentric_to_geodetic(e, p, out), 0) << p[0];
        EXPECT_EQ(out[0], 7);
        EXPECT_EQ(out[1], 8);
        EXPECT_EQ(out[2], 9);
    }
}

TEST(Geocentric, NonFiniteInputFailsUntouched)
{
    const ellipsoid e = byCode(84);
    const double bad[][3] = {{kNaN, 0, 0}, {0, kNaN, 0}, {0, 0, kNaN},  {kInf, 0, 0},
                             {0, kInf, 0}, {0, 0, kInf}, {-kInf, 1, 1}, {kInf, kInf, 0},
                             {0.5, 0.5, -kInf}};
    for (const auto &p : bad) {
        double out[3] = {7, 8, 9};
        EXPECT_EQ(geodetic_to_geocentric(e, p, out), 0) << p[0] << " " << p[1] << " " << p[2];
        EXPECT_EQ(out[0], 7);
        EXPECT_EQ(out[1], 8);
        EXPECT_EQ(out[2], 9);
        EXPECT_EQ(geocentric_to_geodetic(e, p, out), 0) << p[0] << " " << p[1] << " " << p[2];
        EXPECT_EQ(out[0], 7);
        EXPECT_EQ(out[1], 8);
        EXPECT_EQ(out[2], 9);
    }
    // Finite but huge input may fail, but never succeed with a non-finite result.
    const double huge[][3] = {{1e200, 0, 0}, {1e200, 1e200, 1e200}, {DBL_MAX, DBL_MAX, 0},
                              {0.5, 0.5, DBL_MAX}, {0.5, 0.5, -DBL_MAX}, {1e300, -1e300, 1}};
    for (const auto &p : huge) {
        double out[3] = {7, 8, 9};
        if (geodetic_to_geocentric(e, p, out)) {
            EXPECT_TRUE(std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]))
                << "forward " << p[0] << " " << p[1] << " " << p[2];
        }
        double back[3] = {7, 8, 9};
        if (geocentric_to_geodetic(e, p, back)) {
            EXPECT_TRUE(std::isfinite(back[0]) && std::isfinite(back[1]) && std::isfinite(back[2]))
                << "inverse " << p[0] << " " << p[1] << " " << p[2];
        }
    }
}

// Local frames at origins in all four quadrants of the globe, against PROJ's
// topocentric conversion (the same east-north-up frame) within 0.1 mm. The
// origin itself comes from differences of values near 6.4e6 m, so 1e-7 m
// allows a few units in the last place.
TEST(LocalFrame, AgreesWithProjAndRoundTrips)
{
    struct Origin
    {
        double lat, lon, h; // degrees, metres
    };
    const Origin origins[] = {{55.75, 37.62, 150}, {-33.9, -70.6, 600}, {0, 0, 0},
                              {89.5, 179.9, -30}};
    PJ_CONTEXT *ctx = proj_context_create();
    const NamedEllipsoid &n = kEllipsoids[0];
    const ellipsoid e = byCode(n.code);
    for (const Origin &o : origins) {
        SCOPED_TRACE(::testing::Message() << "origin " << o.lat << " " << o.lon);
        std::ostringstream tail;
        tail.precision(17);
        tail << " +lat_0=" << o.lat << " +lon_0=" << o.lon << " +h_0=" << o.h;
        PJ *topo = projCreate(ctx, "+proj=topocentric", n, tail.str());
        ASSERT_NE(topo, nullptr);
        const double origin[3] = {radians(o.lat), radians(o.lon), o.h};
        const affine toLocal = geocentric_to_local(e, origin);
        const affine toGeo = local_to_geocentric(e, origin);
        ASSERT_TRUE(affine_is_set(toLocal));
        ASSERT_TRUE(affine_is_set(toGeo));
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(toLocal.matrix[i][j], toGeo.matrix[j][i]);

        // The origin, 100 m above it, and points kilometres away on every side.
        const double offsets[][3] = {{0, 0, 0}, {0, 0, 100}, {0.01, -0.02, 900}, {-0.3, 0.4, -50}};
        for (const auto &d : offsets) {
            const double g[3] = {origin[0] + radians(d[0]), origin[1] + radians(d[1]), o.h + d[2]};
            double x[3], local[3];
            ASSERT_EQ(geodetic_to_geocentric(e, g, x), 1);
            affine_apply(toLocal, x, local);
            const PJ_COORD ref = proj_trans(topo, PJ_FWD, proj_coord(x[0], x[1], x[2], 0));
            const double tolerance = d[0] == 0 && d[1] == 0 ? 1e-7 : 1e-4;
            EXPECT_NEAR(local[0], ref.enu.e, tolerance);
            EXPECT_NEAR(local[1], ref.enu.n, tolerance);
            EXPECT_NEAR(local[2], ref.enu.u, tolerance);
            if (d[0] == 0 && d[1] == 0) {
                EXPECT_NEAR(local[2], d[2], 1e-7);
            }
        }
        proj_destroy(topo);

        const double p[3] = {-5000, 12000, -300};
        double geo[3], back[3];
        affine_apply(toGeo, p, geo);
        affine_apply(toLocal, geo, back);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(back[i], p[i], 1e-8);
        const affine both = affine_compose(toGeo, toLocal);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(both.vector[i], 0.0, 1e-8);
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(both.matrix[i][j], i == j ? 1.0 : 0.0, 1e-15);
        }
    }
    proj_context_destroy(ctx);
}

TEST(Affine, IsSet)
{
    struct Case
    {
        const char *what;
        double m[3][3];
        double v0;
        int set;
    };
    const Case cases[] = {
        {"unit", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0, 1},
        {"unset marker in [0][0]", {{DBL_MAX, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0, 0},
        {"unset marker in the vector", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, DBL_MAX, 0},
        {"reflection, det -1", {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, 0, 0},
        {"half turn, det +1", {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, 0, 1},
        {"swap of X and Y, det -1", {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}, 0, 0},
        {"cyclic permutation, det +1", {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, 0, 1},
        {"det -2", {{1, 2, 0}, {3, 4, 0}, {0, 0, 1}}, 0, 0},
        {"det +2", {{1, 2, 0}, {3, 8, 0}, {0, 0, 1}}, 0, 1},
        {"det 1e-11", {{1e-4, 0, 0}, {0, 1e-4, 0}, {0, 0, 1e-3}}, 0, 0},
        {"det 2e-10", {{1e-3, 0, 0}, {0, 1e-3, 0}, {0, 0, 2e-4}}, 0, 1},
    };
    for (const Case &c : cases) {
        affine a;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                a.matrix[i][j] = c.m[i][j];
        a.vector[0] = c.v0;
        a.vector[1] = a.vector[2] = 5;
        EXPECT_EQ(affine_is_set(a), c.set) << c.what;
    }
    affine unit = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}};
    affine_unset(&unit);
    EXPECT_EQ(affine_is_set(unit), 0);
}

TEST(Affine, ApplyAndComposeOrder)
{
    // A quarter turn about Z with a shift, then a doubling with another shift.
    const affine turn = {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {10, 0, 0}};
    const affine grow = {{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}, {0, 0, 5}};
    const double p[3] = {1, 2, 3};
    double mid[3], twoSteps[3], oneStep[3], other[3];
    affine_apply(turn, p, mid);
    EXPECT_EQ(mid[0], 8.0);
    EXPECT_EQ(mid[1], 1.0);
    EXPECT_EQ(mid[2], 3.0);
    affine_apply(grow, mid, twoSteps);
    affine_apply(affine_compose(turn, grow), p, oneStep);
    affine_apply(affine_compose(grow, turn), p, other);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(oneStep[i], twoSteps[i]) << i;
    EXPECT_EQ(other[0], 6.0); // doubled first: (2, 4, 11), then turned: (-4 + 10, 2, 11)
    EXPECT_EQ(other[1], 2.0);
    EXPECT_EQ(other[2], 11.0);

    double q[3] = {1, 2, 3};
    affine_apply(turn, q, q);
    EXPECT_EQ(q[0], 8.0);
    EXPECT_EQ(q[1], 1.0);

    // The sum runs m*x + m*y + m*z + v: any other order loses the 1 below.
    const affine sum = {{{1, 1, 1}, {0, 1, 0}, {0, 0, 1}}, {1, 0, 0}};
    const double big[3] = {1e16, 1.0, -1e16};
    double out[3];
    affine_apply(sum, big, out);
    EXPECT_EQ(out[0], 1.0);
}
