// The chain against PROJ pipelines built from the same parameters.
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
//    central meridian (see gost_args in proj_reference.cpp);
//  - + 2 mm for each side in the general Transverse Mercator within 3.5° of
//    the central meridian [1.1 mm], compared with PROJ's +approx, the same
//    Snyder series with longer meridian-distance and footpoint series.
#include "kelvadra_internal.h"
#include "proj_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

const double kDeg = 3.141592653589793 / 180.0;

struct System
{
    std::string name;
    refsystem rs;
};

refsystem geodetic(int datum)
{
    refsystem rs;
    setup_geod(datum, &rs);
    return rs;
}

// Systems of every type on every datum, around Moscow (zone 7, UTM 37).
std::vector<System> all_systems()
{
    std::vector<System> systems;
    const double origin[3] = { 55.5 * kDeg, 38.0 * kDeg, 150.0 };
    for (int d : projref::kDatums) {
        const std::string tag = std::to_string(d);
        refsystem rs;
        setup_geoc(d, &rs);
        systems.push_back({ "geocentric " + tag, rs });
        setup_geod(d, &rs);
        systems.push_back({ "geodetic " + tag, rs });
        setup_lsr(d, origin, &rs);
        systems.push_back({ "local " + tag, rs });
        setup_gk(d, 7, 1, &rs);
        systems.push_back({ "GK zone 7 (type 5) " + tag, rs });
    }
    refsystem rs;
    setup_sk42(7, 1, &rs);
    systems.push_back({ "SK-42 zone 7 (type 4)", rs });
    setup_sk95(7, 1, &rs);
    systems.push_back({ "SK-95 zone 7 (type 4)", rs });
    setup_sk42(0, 1, &rs);
    systems.push_back({ "SK-42 automatic zone (type 4)", rs });
    setup_utm(37, 1, &rs);
    systems.push_back({ "UTM 37N", rs });
    return systems;
}

double tolerance_m(const refsystem &in, const refsystem &out)
{
    double tol = 1e-4;
    for (const refsystem *rs : { &in, &out }) {
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
        const projref::Transformation make(projref::pipeline(geodetic(in.rs.datum), inFixed));
        ASSERT_TRUE(make.valid()) << in.name;
        for (const System &out : systems) {
            SCOPED_TRACE(in.name + " -> " + out.name);
            const projref::Transformation reference(
                projref::pipeline(inFixed, as_fixed_zone(out.rs)));
            ASSERT_TRUE(reference.valid());
            transform t;
            ASSERT_EQ(initialize_transform(&in.rs, &out.rs, &t), 1);
            const double tol = tolerance_m(in.rs, out.rs);
            for (int i = 0; i < 8; ++i) {
                double point[3] = { lat(random), lon(random), height(random) };
                ASSERT_TRUE(make.forward(point));
                double expected[3] = { point[0], point[1], point[2] };
                ASSERT_TRUE(reference.forward(expected));
                double actual[3];
                ASSERT_EQ(transform_coords(point, &t, actual), 1);
                EXPECT_LT(projref::distance_m(out.rs.type, actual, expected), tol)
                    << "input " << point[0] << ", " << point[1] << ", " << point[2] << "\nlibrary "
                    << actual[0] << ", " << actual[1] << ", " << actual[2] << "\nPROJ    "
                    << expected[0] << ", " << expected[1] << ", " << expected[2];
            }
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 36 * 36);
}

// Projections in every zone, both hemispheres, against PROJ's tmerc.
class ZonesAgainstProj : public ::testing::Test
{
protected:
    // Forward from geodetic and inverse back, for points within `halfWidth`
    // degrees of the central meridian.
    void check(const refsystem &plane, int datum, double centralDeg, double halfWidth,
        double latMin, double latMax, double tol)
    {
        const refsystem geod = geodetic(datum);
        const projref::Transformation forward(projref::pipeline(geod, plane));
        const projref::Transformation inverse(projref::pipeline(plane, geod));
        ASSERT_TRUE(forward.valid());
        ASSERT_TRUE(inverse.valid());
        transform tf, ti;
        ASSERT_EQ(initialize_transform(&geod, &plane, &tf), 1);
        ASSERT_EQ(initialize_transform(&plane, &geod, &ti), 1);
        std::uniform_real_distribution<double> lat(latMin, latMax);
        std::uniform_real_distribution<double> lon(centralDeg - halfWidth, centralDeg + halfWidth);
        for (int i = 0; i < 20; ++i) {
            const double point[3] = { lat(random_), lon(random_), 100.0 };
            double expected[3] = { point[0], point[1], point[2] };
            ASSERT_TRUE(forward.forward(expected));
            double actual[3];
            ASSERT_EQ(transform_coords(point, &tf, actual), 1);
            EXPECT_LT(projref::distance_m(plane.type, actual, expected), tol)
                << "forward at " << point[0] << ", " << point[1];

            double back[3] = { expected[0], expected[1], expected[2] };
            ASSERT_TRUE(inverse.forward(back));
            double actualBack[3];
            ASSERT_EQ(transform_coords(expected, &ti, actualBack), 1);
            EXPECT_LT(projref::distance_m(KV_TYPE_GEODETIC, actualBack, back), tol)
                << "inverse at " << point[0] << ", " << point[1];
        }
    }

    std::mt19937_64 random_ { 7 };
};

TEST_F(ZonesAgainstProj, GostSeriesInEveryZone)
{
    for (int zone = 1; zone <= 60; ++zone) {
        for (int hemisphere : { 1, 2 }) {
            SCOPED_TRACE(
                "zone " + std::to_string(zone) + " hemisphere " + std::to_string(hemisphere));
            refsystem rs;
            ASSERT_EQ(setup_sk42(zone, hemisphere, &rs), 1);
            const double lo = hemisphere == 1 ? 35.0 : -80.0;
            const double hi = hemisphere == 1 ? 80.0 : -0.5;
            check(rs, 42, 6.0 * zone - 3.0, 3.0, lo, hi, 5e-4);
        }
    }
}

TEST_F(ZonesAgainstProj, GeneralTransverseMercatorInEveryZone)
{
    for (int zone = 1; zone <= 60; ++zone) {
        for (int hemisphere : { 1, 2 }) {
            SCOPED_TRACE(
                "zone " + std::to_string(zone) + " hemisphere " + std::to_string(hemisphere));
            const double lo = hemisphere == 1 ? 0.0 : -80.0;
            const double hi = hemisphere == 1 ? 84.0 : 0.0;
            refsystem utm;
            ASSERT_EQ(setup_utm(zone, hemisphere, &utm), 1);
            check(utm, 84, 6.0 * zone - 183.0, 3.5, lo, hi, 2e-3);
            refsystem gsk;
            ASSERT_EQ(setup_gsk2011(zone, hemisphere, &gsk), 1);
            check(gsk, 2011, 6.0 * zone - 3.0, 3.5, lo, hi, 2e-3);
        }
    }
}

} // namespace
