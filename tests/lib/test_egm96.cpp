// The shipped EGM96 grid (egm96.grd, converted at build time by gtx2grd from
// proj-data's egm96_15.gtx): its layout, its values against the source, its
// geoid heights and heights above it against PROJ's vgridshift on the source
// grid; and how gtx2grd fails.
#include "kelvadra_internal.h"
#include "proj_reference.h"
#include "temp_path.h"

#include <gtest/gtest.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool file_exists(const std::string &path)
{
    return std::ifstream(path).good();
}

std::string file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
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

// The layout the program's own loader insists on: six numbers separated by
// single blanks, then `rows` lines of `cols` values separated by single tabs,
// every line under 32 768 bytes.
void expect_strict_layout(const std::string &path, int32_t rows, int32_t cols)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_TRUE(line.find_first_of("\t\r") == std::string::npos
        && line.find("  ") == std::string::npos && line.front() != ' ' && line.back() != ' '
        && std::count(line.begin(), line.end(), ' ') == 5)
        << line;
    int32_t data_lines = 0, bad_lines = 0;
    for (; std::getline(in, line); ++data_lines) {
        bad_lines += line.size() + 1 >= 32768 || line.empty() || line.front() == '\t'
            || line.back() == '\t' || line.find("\t\t") != std::string::npos
            || line.find_first_of(" \r") != std::string::npos
            || std::count(line.begin(), line.end(), '\t') != cols - 1;
    }
    EXPECT_EQ(bad_lines, 0);
    EXPECT_EQ(data_lines, rows);
}

TEST(ShippedGrid, TheSourceFloatsInTheProgramsLayoutWithProjsHeights)
{
    if (!file_exists(KELVADRA_EGM96_GRD))
        GTEST_SKIP() << KELVADRA_EGM96_GRD << " is not built";
    expect_strict_layout(KELVADRA_EGM96_GRD, 721, 2161);
    geoid egm96;
    initialize_null_geoid_data(&egm96.grid);
    ASSERT_EQ(load_EGM96(KELVADRA_EGM96_GRD, &egm96, nullptr), 1);
    const geoid_data &g = egm96.grid;
    ASSERT_EQ(g.rows, 721);
    ASSERT_EQ(g.cols, 2161);
    // Edges and steps come back as whole degrees to the last bit.
    EXPECT_TRUE(g.lat_min == -90 && g.lat_max == 90 && g.lon_min == -180 && g.lon_max == 360
        && g.lat_step == 0.25 && g.lon_step == 0.25);

    const std::string src = file_bytes(KELVADRA_EGM96_GTX);
    PJ_CONTEXT *ctx = proj_context_create();
    proj_log_level(ctx, PJ_LOG_NONE);
    // With +multiplier=1 the forward step gives z + N: a zero height comes back as N.
    PJ *pj = proj_create(
        ctx, (std::string("+proj=vgridshift +multiplier=1 +grids=") + KELVADRA_EGM96_GTX).c_str());
    if (src.size() < 40 || !pj) {
        invalidate_geoid(&egm96);
        proj_context_destroy(ctx);
        GTEST_SKIP() << "PROJ or this test cannot read " << KELVADRA_EGM96_GTX;
    }

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

    const auto proj_N = [pj](double lat, double lon) {
        return proj_trans(pj, PJ_FWD, proj_coord(proj_torad(lon), proj_torad(lat), 0, 0)).xyz.z;
    };
    // Named places, the poles, the antimeridian, around Greenwich; then an
    // irregular lattice so that points fall inside cells on every side.
    std::vector<std::pair<double, double>> points = {{51.4779, -0.0015}, {40.7128, -74.006},
        {-33.9249, 18.4241}, {-22.9068, -43.1729}, {55.7558, 37.6173}, {-77.846, 166.676},
        {89.99, -135.5}, {-89.99, -170.2}, {90, 0}, {-90, 0}, {12.3, 180}, {-45.6, -180},
        {33.3, 179.9}, {-5.5, -179.9}, {0.125, 0.125}, {-0.1, -0.1}};
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 20; ++j)
            points.push_back({-89.7 + i * 9.437 + 0.013 * j, -179.6 + j * 17.93 + 0.071 * i});
    refsystem wgs;
    geoid_transform t;
    ASSERT_EQ(setup_geod(KV_DATUM_WGS84, &wgs) + initialize_geoid_transform(&wgs, &egm96, &t), 2);
    for (const auto &p : points) {
        SCOPED_TRACE(testing::Message() << p.first << ", " << p.second);
        const double reference = proj_N(p.first, p.second);
        // The same place as -180..180 and as 0..360 longitude. Both sides
        // interpolate bilinearly in the same floats; 1 mm is the promise.
        for (double lon : {p.second, p.second < 0 ? p.second + 360 : p.second}) {
            double n = NAN, point[3] = {p.first, lon, 250};
            ASSERT_EQ(interpolate_geoid_data_value(&g, p.first, lon, &n), 1) << lon;
            EXPECT_NEAR(n, reference, 1e-3) << lon;
            ASSERT_EQ(transform_to_geoid(point, &t), 1);
            EXPECT_NEAR(point[2], 250 - reference, 1e-3) << lon;
        }
    }
    proj_destroy(pj);
    proj_context_destroy(ctx);
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

// Rows whose round trip through the geoid's system misses by about 1 mm, so
// that the old position test never passed: they convert both ways within 2 mm
// of PROJ (vgridshift on the source grid, the same pipelines); rows where the
// old loop converged keep their bits.
TEST(ShippedGrid, HeightsAboveTheGeoidWhereTheRoundTripMissesAMillimetre)
{
    const projref::Transformation N(std::string("+proj=vgridshift +grids=") + KELVADRA_EGM96_GTX);
    geoid egm96;
    initialize_null_geoid_data(&egm96.grid);
    if (!N.valid() || !load_EGM96(KELVADRA_EGM96_GRD, &egm96, nullptr))
        GTEST_SKIP() << "no egm96.grd or PROJ cannot read " << KELVADRA_EGM96_GTX;
    refsystem wgs, utm, gsk, gk42, sk42, zone7, autoZone;
    ASSERT_EQ(setup_geod(84, &wgs) + setup_utm(37, 1, &utm) + setup_gsk2011(7, 1, &gsk)
            + setup_gk(42, 7, 1, &gk42) + setup_geod(42, &sk42) + setup_sk42(7, 1, &zone7)
            + setup_sk42(0, 1, &autoZone),
        7);
    const struct
    {
        const refsystem *user, *proj;  // the user's system, and as PROJ sees it
        double lat0, lat1, lon0, lon1; // where the points lie (degrees)
    } cases[] = {{&utm, &utm, 40, 70, 35.4, 36.5}, {&utm, &utm, 40, 70, 41.5, 42.6},
        {&gsk, &gsk, 45, 70, 41.5, 42.6}, {&gk42, &gk42, 42, 70, 36, 42},
        {&sk42, &sk42, 62, 70, 180.5, 190}, {&autoZone, &zone7, 45, 65, 42.1, 43}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.user->type << " " << c.user->datum << " " << c.lon0);
        refsystem geod;
        transform make;
        geoid_transform t;
        ASSERT_EQ(setup_geod(c.proj->datum, &geod) + initialize_transform(&geod, c.proj, &make)
                + initialize_geoid_transform(c.user, &egm96, &t),
            3);
        const projref::Transformation toWgs(projref::pipeline(*c.proj, wgs)),
            fromWgs(projref::pipeline(wgs, *c.proj));
        int failedBefore = 0;
        for (int i = 0; i < 40; ++i) {
            const double place[3] = {c.lat0 + (c.lat1 - c.lat0) * ((7 * i) % 40) / 39.0,
                c.lon0 + (c.lon1 - c.lon0) * i / 39.0, 0};
            double p[3], w[3], n[3] = {0, 0, 0};
            ASSERT_EQ(transform_coords(place, &make, p), 1);
            p[2] = 150.0 + 10.0 * i; // above the geoid
            // PROJ: the place in WGS 84, N there (-N from the default
            // vgridshift), that ellipsoidal height back in the user's system.
            std::copy(p, p + 3, w);
            ASSERT_TRUE(toWgs.forward(w));
            n[0] = kelvadra::deg_to_rad(w[1]), n[1] = kelvadra::deg_to_rad(w[0]);
            ASSERT_TRUE(N.forward(n));
            w[2] = p[2] - n[2];
            ASSERT_TRUE(fromWgs.forward(w));

            double q[3] = {p[0], p[1], p[2]}, before[3] = {p[0], p[1], p[2]};
            const bool converged = from_geoid_before(before, &t);
            failedBefore += !converged;
            ASSERT_EQ(transform_from_geoid(q, &t), 1) << place[0] << ", " << place[1];
            EXPECT_NEAR(q[2], w[2], 2e-3) << place[0] << ", " << place[1];
            EXPECT_TRUE(!converged || std::memcmp(&q[2], &before[2], sizeof q[2]) == 0);
            ASSERT_EQ(transform_to_geoid(q, &t), 1);
            EXPECT_NEAR(q[2], p[2], 2e-3) << place[0] << ", " << place[1];
        }
        EXPECT_GT(failedBefore, 0) << "none of the rows that used to fail";
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
    const std::string gtx = temp_path("kelvadra_gtx2grd.gtx");
    const std::string out = temp_path("kelvadra_gtx2grd.grd");
    const auto convert = [&](const std::string &bytes) {
        std::ofstream(gtx, std::ios::binary) << bytes;
        return std::system(("'" + tool + "' '" + gtx + "' '" + out + "' 2>/dev/null").c_str());
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
    std::remove(out.c_str());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_NE(convert(c.bytes), 0);
        EXPECT_FALSE(file_exists(out) || file_exists(out + ".part"));
    }
    // A failed run never replaces a good file with a half one.
    ASSERT_EQ(convert(good), 0);
    EXPECT_NE(convert(long_rows), 0);
    expect_strict_layout(out, 721, 2161);
    std::remove(gtx.c_str());
    std::remove(out.c_str());
}

} // namespace
