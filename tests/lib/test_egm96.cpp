// The shipped EGM96 grid (egm96.grd, converted at build time by gtx2grd from
// proj-data's egm96_15.gtx): its layout and its values against the source;
// heights above it where the round trip misses a millimetre; how gtx2grd
// fails. Its heights against PROJ are the accuracy report's.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool file_exists(const std::string &path)
{
    return std::ifstream(path).good();
}

// A big-endian number: the bits of a T read as one Bits.
template <typename T, typename Bits> T be(const std::string &bytes, std::size_t at)
{
    Bits v = 0;
    for (std::size_t i = 0; i < sizeof v; ++i)
        v = Bits(v << 8) | static_cast<unsigned char>(bytes[at + i]);
    T x;
    std::memcpy(&x, &v, sizeof x);
    return x;
}

// The grid as the library reads it: whole degrees to the last bit, every
// value the source's float, its columns wrapped around the globe. (The
// program's stricter loader reads the same file in its own tests.)
TEST(ShippedGrid, TheSourceFloatsBitForBit)
{
    geoid egm96;
    initialize_null_geoid_data(&egm96.grid);
    const std::string src = file_bytes(KELVADRA_EGM96_GTX);
    if (!file_exists(KELVADRA_EGM96_GRD) || src.size() < 40)
        GTEST_SKIP() << KELVADRA_EGM96_GRD << " is not built or " << KELVADRA_EGM96_GTX
                     << " missing";
    ASSERT_EQ(load_EGM96(KELVADRA_EGM96_GRD, &egm96, nullptr), 1);
    const geoid_data &g = egm96.grid;
    ASSERT_TRUE(g.rows == 721 && g.cols == 2161) << g.rows << " x " << g.cols;
    EXPECT_TRUE(g.lat_min == -90 && g.lat_max == 90 && g.lon_min == -180 && g.lon_max == 360
        && g.lat_step == 0.25 && g.lon_step == 0.25);
    // Every value is the source's float, bit for bit, its columns wrapped
    // around the globe. The source: a 40-byte header (south, west, steps in
    // degrees, rows, columns), then rows of floats from the south.
    const double west = be<double, uint64_t>(src, 8), step = be<double, uint64_t>(src, 24);
    const int32_t rows = be<int32_t, uint32_t>(src, 32), cols = be<int32_t, uint32_t>(src, 36);
    ASSERT_EQ(rows, 721);
    ASSERT_EQ(src.size(), 40 + 4 * std::size_t(rows) * std::size_t(cols));
    const long circle = std::lround(360 / step);
    std::size_t mismatches = 0;
    for (int32_t r = 0; r < g.rows; ++r) {
        for (int32_t c = 0; c < g.cols; ++c) {
            const long k = (std::lround((g.lon_min + c * step - west) / step) + circle) % circle;
            float v = NAN;
            get_geoid_data_value(&g, r, c, &v);
            const float s = be<float, uint32_t>(src, 40 + 4 * (std::size_t(r) * cols + k));
            mismatches += std::memcmp(&v, &s, sizeof v) != 0;
        }
    }
    EXPECT_EQ(mismatches, 0u);

    invalidate_geoid(&egm96);
}

// transform_from_geoid before the settled-height test: 0 where it failed.
int from_geoid_before(double p[3], const geoid_transform *t)
{
    double w[3] = {p[0], p[1], p[2]}, g[3], N, back[3];
    for (int pass = 0; pass < 100; ++pass, w[2] = back[2]) {
        if (!transform_coords(w, &t->to_geoid, g)
            || !interpolate_geoid_data_value(&t->grid, g[0], g[1], &N))
            return 0;
        g[2] = p[2] + N;
        if (!transform_coords(g, &t->from_geoid, back) || !std::isfinite(back[2]))
            return 0;
        const double d0 = back[0] - p[0], d1 = back[1] - p[1];
        if (d0 * d0 + d1 * d1 < 0.000001)
            return p[2] = back[2], 1;
    }
    return 0;
}

// Points whose round trip through the geoid's system misses by about 1 mm
// (zone edges, datum changes, across 180 deg), so that the old position test
// never passed: the settled height ends the search, and the height comes back
// through transform_to_geoid within 2 mm; where the old loop converged, the
// result keeps its bits.
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
        SCOPED_TRACE(testing::Message() << c.user->type << " " << c.user->datum << " " << c.lon0);
        refsystem geod;
        transform make;
        geoid_transform t;
        ASSERT_EQ(setup_geod(c.user->datum, &geod) + initialize_transform(&geod, c.made, &make)
                + initialize_geoid_transform(c.user, &egm96, &t),
            3);
        int failedBefore = 0;
        for (int i = 0; i < 40; ++i) {
            const double place[3] = {c.lat0 + (c.lat1 - c.lat0) * ((7 * i) % 40) / 39.0,
                c.lon0 + (c.lon1 - c.lon0) * i / 39.0, 0};
            double p[3];
            ASSERT_EQ(transform_coords(place, &make, p), 1);
            p[2] = 150.0 + 10.0 * i; // above the geoid
            double q[3] = {p[0], p[1], p[2]}, before[3] = {p[0], p[1], p[2]};
            const bool converged = from_geoid_before(before, &t);
            failedBefore += !converged;
            ASSERT_EQ(transform_from_geoid(q, &t), 1) << place[0] << ", " << place[1];
            EXPECT_TRUE(!converged || same_bits(&q[2], &before[2]))
                << place[0] << ", " << place[1] << ": " << q[2] << ", before " << before[2];
            ASSERT_EQ(transform_to_geoid(q, &t), 1);
            EXPECT_NEAR(q[2], p[2], 2e-3) << place[0] << ", " << place[1];
        }
        EXPECT_GT(failedBefore, 0) << "none of the points that used to fail";
    }
    invalidate_geoid(&egm96);
}

TEST(Converter, BadSourcesFailWithoutLeavingAFile)
{
    const std::string grd = KELVADRA_EGM96_GRD;
    const std::string tool = grd.substr(0, grd.rfind('/') + 1) + "gtx2grd";
    const std::string good = file_bytes(KELVADRA_EGM96_GTX);
    if (!file_exists(tool) || good.size() < 48)
        GTEST_SKIP() << "gtx2grd or " << KELVADRA_EGM96_GTX << " is missing";
    const TempFile gtx("kelvadra_gtx2grd.gtx"), out("kelvadra_gtx2grd.grd");
    const auto convert = [&](const std::string &bytes) {
        gtx.write(bytes);
        return std::system(
            ("'" + tool + "' '" + gtx.path + "' '" + out.path + "' 2>/dev/null").c_str());
    };
    std::string nan_value = good, off_pole = good;
    nan_value.replace(44, 4, "\x7f\xc0\0\0", 4);         // the second height
    off_pole.replace(0, 8, "\xc0\x56\x40\0\0\0\0\0", 8); // south edge at -89
    // Steps of 90 and 0.05 degrees, 3 x 7200 heights: rows of 10 801 values do
    // not fit in a line, found only while writing.
    const std::string long_rows = good.substr(0, 16)
        + std::string("\x40\x56\x80\0\0\0\0\0\x3f\xa9\x99\x99\x99\x99\x99\x9a"
                      "\0\0\0\x03\0\0\x1c\x20",
            24)
        + good.substr(40, 4 * 3 * 7200);
    const struct
    {
        const char *why;
        std::string bytes;
    } cases[] = {{"no bytes", ""}, {"half a header", good.substr(0, 20)},
        {"a value short", good.substr(0, good.size() - 4)}, {"a NaN height", nan_value},
        {"not from pole to pole", off_pole}, {"rows too long", long_rows}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_NE(convert(c.bytes), 0);
        EXPECT_FALSE(out.exists() || file_exists(out.path + ".part"));
    }
    // A failed run never replaces a good file with a half one.
    ASSERT_EQ(convert(good), 0);
    const std::string first = file_bytes(out.path);
    EXPECT_NE(convert(long_rows), 0);
    EXPECT_TRUE(first.size() > 1000000 && file_bytes(out.path) == first) << "the good file changed";
}

} // namespace
