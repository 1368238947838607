// Heights above the shipped EGM96 grid (egm96.grd, built by gtx2grd; its
// values against PROJ's are the accuracy report's).
#include "kelvadra_internal.h"
#include "test_util.h"

namespace {

// Points whose round trip through the geoid's system misses by about 1 mm
// (zone edges, datum changes, across 180 deg), where a search that waits for
// the position alone never ends: the height comes back within 2 mm.
TEST(ShippedGrid, HeightsAboveTheGeoidWhereTheRoundTripMissesAMillimetre)
{
    geoid egm96;
    initialize_null_geoid_data(&egm96.grid);
    if (!load_EGM96(KELVADRA_EGM96_GRD, &egm96, nullptr))
        GTEST_SKIP() << KELVADRA_EGM96_GRD << " is not built";
    refsystem utm, gsk, gk42, sk42, autoZone, zone7;
    ASSERT_EQ(setup_utm(37, 1, &utm) + setup_gsk2011(7, 1, &gsk) + setup_gk(42, 7, 1, &gk42)
            + setup_geod(42, &sk42) + setup_sk42(0, 1, &autoZone) + setup_sk42(7, 1, &zone7),
        6);
    const struct
    {
        const refsystem *user, *made;  // the user's system; the one the points are made in
        double lat0, lat1, lon0, lon1; // where the points lie (degrees)
    } cases[] = {{&utm, &utm, 40, 70, 35.4, 36.5}, {&utm, &utm, 40, 70, 41.5, 42.6},
        {&gsk, &gsk, 45, 70, 41.5, 42.6}, {&gk42, &gk42, 42, 70, 36, 42},
        {&sk42, &sk42, 62, 70, 180.5, 190}, {&autoZone, &zone7, 45, 65, 42.1, 43}};
    for (const auto &c : cases) {
        refsystem geod;
        transform make;
        geoid_transform t;
        ASSERT_EQ(setup_geod(c.user->datum, &geod) + initialize_transform(&geod, c.made, &make)
                + initialize_geoid_transform(c.user, &egm96, &t),
            3);
        for (int i = 0; i < 40; ++i) {
            const double place[3] = {c.lat0 + (c.lat1 - c.lat0) * ((7 * i) % 40) / 39.0,
                c.lon0 + (c.lon1 - c.lon0) * i / 39.0, 0};
            double p[3], q[3];
            ASSERT_EQ(transform_coords(place, &make, p), 1);
            p[2] = 150.0 + 10.0 * i; // above the geoid
            std::memcpy(q, p, sizeof q);
            ASSERT_TRUE(transform_from_geoid(q, &t) && transform_to_geoid(q, &t))
                << c.user->type << "/" << c.user->datum << ": " << place[0] << ", " << place[1];
            EXPECT_NEAR(q[2], p[2], 2e-3) << place[0] << ", " << place[1];
        }
    }
    invalidate_geoid(&egm96);
}

} // namespace
