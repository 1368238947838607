// Reference-system records: reset state, setup functions, check_refsystem and
// the zone projections written by the projected set-ups.
#include "kelvadra.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

namespace {

const double kPi = 3.141592653589793;

// A record full of values no setup function writes, to see what is reset and
// what is kept.
refsystem garbage()
{
    return {77, 5, {1, 2, 3}, 9, 7, {11, 12, 13, 14, 15}, 3};
}

void expectReset(const refsystem &r, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.datum, 0);
    for (double o : r.origin)
        EXPECT_EQ(o, DBL_MAX);
    EXPECT_EQ(r.zone, -1);
    EXPECT_EQ(r.hemisphere, 0);
    EXPECT_EQ(r.projection.scale_factor, 0.0);
}

} // namespace

TEST(Refsystem, InvalidateResetsOnlyTheMarkers)
{
    refsystem r = garbage();
    invalidate_refsystem(&r);
    expectReset(r, "invalidate_refsystem");
    // Nothing reads these while scale_factor is 0; the program relies on them
    // staying as they were.
    EXPECT_EQ(r.projection.central_meridian, 11);
    EXPECT_EQ(r.projection.origin_latitude, 12);
    EXPECT_EQ(r.projection.false_easting, 14);
    EXPECT_EQ(r.projection.false_northing, 15);
    EXPECT_EQ(r.axis_order, 3);
    EXPECT_EQ(check_refsystem(&r), 0);
}

TEST(Refsystem, SetupAcceptanceAndResult)
{
    const double origin[3] = {0.97, 0.66, 150.0};
    const unsigned minusOne = static_cast<unsigned>(-1);
    struct Case
    {
        const char *call;
        std::function<int(refsystem *)> setup;
        int ok;
        int type, datum, zone, hemisphere, axis;
    };
    const Case cases[] = {
        {"geoc(84)", [](refsystem *r) { return setup_geoc(84, r); }, 1, 1, 84, -1, 0, -1},
        {"geoc(1234) unknown but non-zero", [](refsystem *r) { return setup_geoc(1234, r); }, 1, 1, 1234, -1, 0, -1},
        {"geoc(0)", [](refsystem *r) { return setup_geoc(0, r); }, 0, 0, 0, 0, 0, 0},
        {"geod(42)", [](refsystem *r) { return setup_geod(42, r); }, 1, 2, 42, -1, 0, -1},
        {"geod(-5)", [](refsystem *r) { return setup_geod(-5, r); }, 1, 2, -5, -1, 0, -1},
        {"geod(0)", [](refsystem *r) { return setup_geod(0, r); }, 0, 0, 0, 0, 0, 0},
        {"lsr(42)", [&](refsystem *r) { return setup_lsr(42, origin, r); }, 1, 3, 42, -1, 0, -1},
        {"lsr(0)", [&](refsystem *r) { return setup_lsr(0, origin, r); }, 0, 0, 0, 0, 0, 0},
        {"lsr(42, null origin)", [](refsystem *r) { return setup_lsr(42, nullptr, r); }, 0, 0, 0, 0, 0, 0},
        {"sk42(0, 0) automatic zone", [](refsystem *r) { return setup_sk42(0, 0, r); }, 1, 4, 42, 0, 0, -1},
        {"sk42(60, 2)", [](refsystem *r) { return setup_sk42(60, 2, r); }, 1, 4, 42, 60, 2, -1},
        {"sk42(7, 5) hemisphere untested", [](refsystem *r) { return setup_sk42(7, 5, r); }, 1, 4, 42, 7, 5, -1},
        {"sk42(61, 1)", [](refsystem *r) { return setup_sk42(61, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"sk42(-1 as unsigned)", [=](refsystem *r) { return setup_sk42(minusOne, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"sk95(12, 1)", [](refsystem *r) { return setup_sk95(12, 1, r); }, 1, 4, 95, 12, 1, -1},
        {"sk95(61, 1)", [](refsystem *r) { return setup_sk95(61, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"gsk2011(7, 1)", [](refsystem *r) { return setup_gsk2011(7, 1, r); }, 1, 5, 2011, -1, 0, 1},
        {"gsk2011(0, 1)", [](refsystem *r) { return setup_gsk2011(0, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"gsk2011(61, 1)", [](refsystem *r) { return setup_gsk2011(61, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"gsk2011(7, 0)", [](refsystem *r) { return setup_gsk2011(7, 0, r); }, 0, 0, 0, 0, 0, 0},
        {"utm(37, 1)", [](refsystem *r) { return setup_utm(37, 1, r); }, 1, 5, 84, -1, 0, 2},
        {"utm(0, 1)", [](refsystem *r) { return setup_utm(0, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"utm(61, 1)", [](refsystem *r) { return setup_utm(61, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"utm(37, 0)", [](refsystem *r) { return setup_utm(37, 0, r); }, 0, 0, 0, 0, 0, 0},
        {"utm(-1 as unsigned)", [=](refsystem *r) { return setup_utm(minusOne, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"gk(84, 7, 2)", [](refsystem *r) { return setup_gk(84, 7, 2, r); }, 1, 5, 84, -1, 0, 1},
        {"gk(2011, 7, 3)", [](refsystem *r) { return setup_gk(2011, 7, 3, r); }, 1, 5, 2011, -1, 0, 1},
        {"gk(0, 7, 1)", [](refsystem *r) { return setup_gk(0, 7, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"gk(84, 0, 1)", [](refsystem *r) { return setup_gk(84, 0, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"gk(84, 61, 1)", [](refsystem *r) { return setup_gk(84, 61, 1, r); }, 0, 0, 0, 0, 0, 0},
        {"gk(84, 7, 0)", [](refsystem *r) { return setup_gk(84, 7, 0, r); }, 0, 0, 0, 0, 0, 0},
        {"gk(84, -1 as unsigned, 1)", [=](refsystem *r) { return setup_gk(84, minusOne, 1, r); }, 0, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.call);
        refsystem r = garbage();
        const int result = c.setup(&r);
        EXPECT_EQ(result, c.ok);
        if (!c.ok) {
            expectReset(r, c.call);
            EXPECT_EQ(check_refsystem(&r), 0);
            continue;
        }
        EXPECT_EQ(r.type, c.type);
        EXPECT_EQ(r.datum, c.datum);
        EXPECT_EQ(r.zone, c.zone);
        EXPECT_EQ(r.hemisphere, c.hemisphere);
        if (c.type == 5)
            EXPECT_EQ(r.axis_order, c.axis);
        else
            EXPECT_EQ(r.projection.scale_factor, 0.0);
        if (c.type != 3) {
            for (double o : r.origin)
                EXPECT_EQ(o, DBL_MAX);
        }
        EXPECT_EQ(check_refsystem(&r), 1);
    }
}

TEST(Refsystem, LocalOriginCopiedUnchecked)
{
    const double origin[3] = {0.97, -0.66, -12.5};
    refsystem r = garbage();
    ASSERT_EQ(setup_lsr(9011, origin, &r), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.origin[i], origin[i]);

    const double unset[3] = {0.97, 0.66, DBL_MAX};
    ASSERT_EQ(setup_lsr(42, unset, &r), 1);
    EXPECT_EQ(r.origin[2], DBL_MAX);
    EXPECT_EQ(check_refsystem(&r), 0);
}

// Central meridian, scale, false easting and northing of every zone. The
// meridian is compared to 1e-15 rad (about 6 nm on the ground) because the
// rounding of (6n - 3) * pi / 180 may differ by one unit in the last place.
TEST(Refsystem, ZoneProjections)
{
    for (unsigned n = 1; n <= 60; ++n) {
        for (int h : {1, 2, 3}) {
            SCOPED_TRACE(::testing::Message() << "zone " << n << " hemisphere " << h);
            const double northing = h == 1 ? 0.0 : 10000000.0;
            refsystem gk = garbage(), gsk = garbage(), utm = garbage();
            ASSERT_EQ(setup_gk(90, n, h, &gk), 1);
            ASSERT_EQ(setup_gsk2011(n, h, &gsk), 1);
            ASSERT_EQ(setup_utm(n, h, &utm), 1);
            for (const refsystem *r : {&gk, &gsk}) {
                EXPECT_NEAR(r->projection.central_meridian, (6.0 * n - 3) * kPi / 180, 1e-15);
                EXPECT_EQ(r->projection.origin_latitude, 0.0);
                EXPECT_EQ(r->projection.scale_factor, 1.0);
                EXPECT_EQ(r->projection.false_easting, n * 1000000.0 + 500000.0);
                EXPECT_EQ(r->projection.false_northing, northing);
                EXPECT_EQ(r->axis_order, 1);
            }
            EXPECT_NEAR(utm.projection.central_meridian, (6.0 * n - 183) * kPi / 180, 1e-15);
            EXPECT_EQ(utm.projection.origin_latitude, 0.0);
            EXPECT_EQ(utm.projection.scale_factor, 0.9996);
            EXPECT_EQ(utm.projection.false_easting, 500000.0);
            EXPECT_EQ(utm.projection.false_northing, northing);
            EXPECT_EQ(utm.axis_order, 2);
        }
    }
}

TEST(Refsystem, CheckByType)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        const char *what;
        int32_t type, datum;
        double origin0, origin2;
        int32_t zone;
        double scale;
        int32_t axis;
        int usable;
    };
    const Case cases[] = {
        {"type 0", 0, 84, 0, 0, -1, 1, 1, 0},
        {"type 6", 6, 84, 0, 0, 1, 1, 1, 0},
        {"type -1 is huge as unsigned", -1, 84, 0, 0, 1, 1, 1, 0},
        {"type INT32_MIN", INT32_MIN, 84, 0, 0, 1, 1, 1, 0},
        {"geocentric", 1, 84, DBL_MAX, DBL_MAX, -1, 0, 0, 1},
        {"geocentric unknown datum", 1, 4321, 0, 0, -1, 0, 0, 1},
        {"geocentric no datum", 1, 0, 0, 0, -1, 0, 0, 0},
        {"geodetic", 2, 42, 0, 0, -1, 0, 0, 1},
        {"geodetic no datum", 2, 0, 0, 0, -1, 0, 0, 0},
        {"local", 3, 42, 0.9, 100, -1, 0, 0, 1},
        {"local no datum", 3, 0, 0.9, 100, -1, 0, 0, 0},
        {"local latitude unset", 3, 42, DBL_MAX, 100, -1, 0, 0, 0},
        {"local height unset", 3, 42, 0.9, DBL_MAX, -1, 0, 0, 0},
        {"local NaN origin counts as set", 3, 42, nan, nan, -1, 0, 0, 1},
        {"local -DBL_MAX is a value", 3, 42, -DBL_MAX, 0, -1, 0, 0, 1},
        {"GK zone 60, datum 0", 4, 0, 0, 0, 60, 0, 0, 1},
        {"GK automatic zone", 4, 42, 0, 0, 0, 0, 0, 1},
        {"GK zone 61", 4, 42, 0, 0, 61, 0, 0, 0},
        {"GK zone -1", 4, 42, 0, 0, -1, 0, 0, 0},
        {"projected", 5, 84, 0, 0, -1, 0.9996, 2, 1},
        {"projected any axis code", 5, 84, 0, 0, -1, 1, 7, 1},
        {"projected scale 0", 5, 84, 0, 0, 7, 0, 1, 0},
        {"projected scale negative", 5, 84, 0, 0, 7, -1, 1, 0},
        {"projected scale NaN", 5, 84, 0, 0, 7, nan, 1, 0},
        {"projected axis 0", 5, 84, 0, 0, -1, 1, 0, 0},
        {"projected no datum", 5, 0, 0, 0, -1, 1, 1, 0},
    };
    for (const Case &c : cases) {
        refsystem r = garbage();
        r.type = c.type;
        r.datum = c.datum;
        r.origin[0] = c.origin0;
        r.origin[1] = 0.5;
        r.origin[2] = c.origin2;
        r.zone = c.zone;
        r.projection.scale_factor = c.scale;
        r.axis_order = c.axis;
        EXPECT_EQ(check_refsystem(&r), c.usable) << c.what;
    }
}

TEST(Refsystem, NullRecordsAnsweredWithZero)
{
    const double origin[3] = {0, 0, 0};
    EXPECT_EQ(check_refsystem(nullptr), 0);
    invalidate_refsystem(nullptr);
    EXPECT_EQ(setup_geoc(84, nullptr), 0);
    EXPECT_EQ(setup_geod(84, nullptr), 0);
    EXPECT_EQ(setup_lsr(84, origin, nullptr), 0);
    EXPECT_EQ(setup_sk42(7, 1, nullptr), 0);
    EXPECT_EQ(setup_sk95(7, 1, nullptr), 0);
    EXPECT_EQ(setup_gsk2011(7, 1, nullptr), 0);
    EXPECT_EQ(setup_utm(7, 1, nullptr), 0);
    EXPECT_EQ(setup_gk(84, 7, 1, nullptr), 0);
}
