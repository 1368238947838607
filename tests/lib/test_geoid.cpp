// Geoid grids built in memory: records, interpolation, ownership, heights.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <tuple>
#include <vector>

namespace {

geoid_data settings(double south, double north, double west, double east, double dlat, double dlon)
{
    return geoid_data {south, west, north, east, dlat, dlon, -1, -1, nullptr};
}

// An allocated grid whose value at row r, column c is f(r, c).
template <typename F> geoid_data filled(geoid_data g, F f)
{
    EXPECT_EQ(complete_geoid_data_grid(&g) + geoid_data_allocate_memory(&g), 2);
    for (int32_t r = 0; r < g.rows; ++r)
        for (int32_t c = 0; c < g.cols; ++c)
            EXPECT_EQ(set_geoid_data_value(&g, r, c, f(r, c)), 1);
    return g;
}

refsystem geodetic(int datum)
{
    refsystem rs;
    EXPECT_EQ(setup_geod(datum, &rs), 1);
    return rs;
}

// Clearing frees no foreign array; nulls, outside indices and NaN are refused.
TEST(GeoidRecord, ClearingNullsAndIndices)
{
    float stack_array[4] = {};
    geoid_data g = settings(1, 2, 3, 4, 1, 1);
    g.values = stack_array;
    EXPECT_EQ(invalidate_geoid_data_grid(&g)->values, stack_array);
    EXPECT_EQ(initialize_null_geoid_data(&g)->values, nullptr);
    EXPECT_TRUE(g.rows == -1 && g.cols == -1 && g.lat_min == DBL_MAX && g.lon_step == DBL_MAX);
    invalidate_geoid_data(nullptr), invalidate_geoid(nullptr), invalidate_geoid_transform(nullptr);
    float f;
    double d, p[3] = {0, 0, 0};
    EXPECT_EQ(complete_geoid_data_grid(nullptr) + geoid_data_allocate_memory(nullptr)
            + check_geoid_data(nullptr) + set_geoid_data_value(nullptr, 0, 0, 1)
            + get_geoid_data_value(nullptr, 0, 0, &f)
            + interpolate_geoid_data_value(nullptr, 0, 0, &d)
            + initialize_geoid(nullptr, nullptr, nullptr) + check_geoid(nullptr)
            + initialize_geoid_transform(nullptr, nullptr, nullptr) + transform_to_geoid(p, nullptr)
            + transform_from_geoid(p, nullptr) + load_EGM96(nullptr, nullptr, nullptr),
        0);
    g = filled(settings(50, 52, 10, 13, 1, 1), [](int r, int c) { return 10.f * r + c; });
    // {1, 7} lands on {2, 3} if unchecked.
    for (const auto &i :
        std::vector<std::array<int32_t, 3>> {{0, 0, 1}, {2, 3, 1}, {2, 0, 1}, {0, 3, 1}, {-1, 0, 0},
            {0, -1, 0}, {3, 0, 0}, {0, 4, 0}, {1, 7, 0}, {INT32_MIN, 0, 0}, {0, INT32_MAX, 0}}) {
        float out = -7.0f;
        EXPECT_TRUE(get_geoid_data_value(&g, i[0], i[1], &out) == i[2]
            && out == (i[2] ? 10.f * i[0] + i[1] : -7.0f)
            && set_geoid_data_value(&g, i[0], i[1], 99.5f) == i[2])
            << i[0] << ", " << i[1] << ": " << out;
    }
    EXPECT_EQ(set_geoid_data_value(&g, 1, 1, NAN) + set_geoid_data_value(&g, 1, 1, -INFINITY), 0);
    EXPECT_TRUE(get_geoid_data_value(&g, 1, 1, &f) && f == 11.0f) << f;
    invalidate_geoid_data(&g);
}

TEST(GeoidValidity, SettingsAndCompletion)
{
    // rows, cols after completion; -1: refused
    const std::tuple<const char *, geoid_data, int32_t, int32_t, int32_t> cases[] = {
        {"2.0004 steps: a thousandth off is on", settings(50, 52.0004, 10, 13, 1, 1), 1, 3, 4},
        {"0.0011 step off its node", settings(50, 52.0011, 10, 13, 1, 1), 1, -1, -1},
        {"10 000 x 10 000: the largest", settings(0, 9999, 0, 9999, 1, 1), 1, 10000, 10000},
        {"one row more", settings(0, 10000, 0, 9999, 1, 1), 1, -1, -1},
        {"1\" world: rows * cols wraps", settings(-90, 90, -180, 180, 1. / 3600, 1. / 3600), 1, -1,
            -1},
        {"rows beyond any integer", settings(-1e308, 1e308, 0, 1, 1e-10, 1), 1, -1, -1},
        {"edge unset", settings(50, DBL_MAX, 10, 13, 1, 1), 0, -1, -1},
        {"step zero", settings(50, 52, 10, 13, 0, 1), 0, -1, -1},
        {"longitude step negative", settings(50, 52, 10, 13, 1, -1), 0, -1, -1},
        {"edges reversed", settings(50, 52, 13, 10, 1, 1), 0, -1, -1},
    };
    for (const auto &[why, grid, settings_valid, rows, cols] : cases) {
        geoid_data g = grid;
        g.rows = g.cols = 7; // left over from an earlier grid
        EXPECT_EQ(check_geoid_data_grid_settings(&g), settings_valid) << why;
        const int completed = complete_geoid_data_grid(&g);
        EXPECT_TRUE(completed == (rows > 0) && g.rows == rows && g.cols == cols
            && check_geoid_data_grid(&g) == completed)
            << why << ": " << g.rows << " x " << g.cols;
    }
    EXPECT_EQ(check_geoid_data_grid_settings(nullptr) + check_geoid_data_grid_dims(nullptr), 0);
    // Allocation wants completed counts, frees the previous array; 65 536^2 wraps.
    geoid_data g = settings(50, 52, 10, 13, 1, 1), wrap = settings(0, 65535, 0, 65535, 1, 1);
    EXPECT_EQ(geoid_data_allocate_memory(&g), 0) << "counts not completed";
    ASSERT_EQ(complete_geoid_data_grid(&g) - check_geoid_data(&g), 1) << "no array yet";
    ASSERT_EQ(
        geoid_data_allocate_memory(&g) + geoid_data_allocate_memory(&g) + check_geoid_data(&g), 3);
    g.rows = 4; // the edges no longer fall on nodes
    wrap.rows = wrap.cols = 65536;
    EXPECT_TRUE(geoid_data_allocate_memory(&g) == 0 && g.values == nullptr);
    EXPECT_TRUE(check_geoid_data_grid(&wrap) && !geoid_data_allocate_memory(&wrap) && !wrap.values);
}

TEST(GeoidInterpolation, NodesLinesCellsAndEdges)
{
    // Rows 0.5 deg apart, columns 2 (a swap shows); u v + u + v / 4 is bilinear.
    const auto N = [](double u, double v) { return u * v + u + 0.25 * v; };
    geoid_data g = filled(settings(40, 42, 20, 30, 0.5, 2), N); // 5 x 6
    const double up = std::nextafter(42.0, 90.0), down = std::nextafter(40.0, 0.0);
    const double east = std::nextafter(30.0, 90.0), west = std::nextafter(20.0, 0.0);
    const std::tuple<double, double, int> cases[]
        = {// corners, a node, on a row and a column line, inside cells
            {40, 20, 1}, {42, 30, 1}, {41, 26, 1}, {41, 27, 1}, {41.25, 26, 1}, {41.3, 21.1, 1},
            {40.05, 29.9, 1},
            // each edge inside, a hair beyond it not; no wrap-around in longitude; not numbers
            {42, 25, 1}, {up, 25, 0}, {40, 25, 1}, {down, 25, 0}, {41, 30, 1}, {41, east, 0},
            {41, 20, 1}, {41, west, 0}, {41, 30 - 360, 0}, {41, 20 + 360, 0}, {kNaN, 25, 0},
            {41, kInf, 0}, {41, 1e300, 0}};
    for (const auto &[lat, lon, inside] : cases) {
        double out = -123.0;
        const double want = inside ? N((lat - 40) / 0.5, (lon - 20) / 2) : -123.0;
        EXPECT_TRUE(interpolate_geoid_data_value(&g, lat, lon, &out) == inside
            && std::fabs(out - want) <= 1e-12)
            << std::setprecision(17) << lat << ", " << lon << ": " << out << ", want " << want;
    }
    EXPECT_EQ(interpolate_geoid_data_value(&g, 41, 25, nullptr), 0);
    invalidate_geoid_data(&g);
    // The top edge reads no row beyond the last, not even with weight 0.
    float guarded[] = {1, 2, 3, 4, NAN, NAN};
    geoid_data tiny = settings(0, 1, 0, 1, 1, 1);
    ASSERT_EQ(complete_geoid_data_grid(&tiny), 1);
    tiny.values = guarded;
    double top = 0;
    EXPECT_TRUE(interpolate_geoid_data_value(&tiny, 1, 0.5, &top) && top == 3.5) << top;
}

// A WGS 84 geoid, N = 40 + 0.5 row - 0.25 col, owns the array transforms share.
TEST(GeoidHeights, OwnershipThereAndBackOrFailingUnchanged)
{
    geoid_data grid = filled(settings(48, 56, 6, 18, 0.5, 0.5),
        [](int r, int c) { return float(40 + 0.5 * r - 0.25 * c); });
    const refsystem wgs = geodetic(KV_DATUM_WGS84), sk42 = geodetic(KV_DATUM_PULKOVO42);
    refsystem sk42_gk, bad, local, geocentric;
    invalidate_refsystem(&bad);
    geoid_data no_array = settings(50, 52, 10, 13, 1, 1);
    geoid g;
    initialize_null_geoid_data(&g.grid);
    EXPECT_EQ(initialize_geoid(&grid, &bad, &g) + initialize_geoid(&no_array, &wgs, &g)
            + initialize_geoid(&grid, nullptr, &g) + initialize_geoid(&grid, &wgs, nullptr),
        0);
    EXPECT_EQ(g.grid.values, nullptr) << "written on failure";
    ASSERT_TRUE(initialize_geoid(&grid, &wgs, &g) && g.grid.values == grid.values);
    const double origin[3] = {0.9, 0.2, 0}; // radians, metres
    ASSERT_EQ(setup_sk42(3, KV_HEMISPHERE_NORTH, &sk42_gk) + setup_lsr(84, origin, &local)
            + setup_geoc(84, &geocentric),
        3);
    // A failed set-up clears the grid part; geocentric and local Z is no height.
    geoid_transform t;
    const refsystem *const refused[] = {&bad, nullptr, &local, &geocentric};
    for (const refsystem *user : refused) {
        ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
        double p[3] = {51, 11, 100};
        EXPECT_TRUE(!initialize_geoid_transform(user, &g, &t) && !check_geoid_transform(&t)
            && t.grid.values == nullptr && t.grid.rows == -1
            && transform_to_geoid(p, &t) + transform_from_geoid(p, &t) == 0)
            << (user ? user->type : -1);
    }
    // m
    const std::tuple<const char *, const refsystem *, double, double> cases[] = {
        {"WGS 84", &wgs, 0, 1e-12},
        // 1e-6 m: the series; the SK-42 shifts there and back miss by 0.2 mm.
        {"SK-42 geodetic", &sk42, 1e-6, 1e-3},
        {"SK-42 Gauss-Krüger, zone 3", &sk42_gk, 1e-6, 1e-3},
    };
    for (const auto &[why, user, to_tolerance, back_tolerance] : cases) {
        SCOPED_TRACE(why);
        const refsystem geod = geodetic(user->datum);
        transform to_user, to_wgs;
        const double place[3] = {53.7, 14.2, 80};
        double p[3], in_wgs[3], N = kNaN;
        ASSERT_EQ(initialize_transform(&geod, user, &to_user)
                + initialize_transform(&geod, &wgs, &to_wgs) + transform_coords(place, &to_user, p)
                + transform_coords(place, &to_wgs, in_wgs)
                + initialize_geoid_transform(user, &g, &t),
            5);
        // N is taken where the point lies in WGS 84, not at its own coordinates.
        ASSERT_EQ(interpolate_geoid_data_value(&g.grid, in_wgs[0], in_wgs[1], &N), 1);
        const double original[3] = {p[0], p[1], p[2]};
        ASSERT_EQ(transform_to_geoid(p, &t), 1);
        EXPECT_NEAR(p[2], in_wgs[2] - N, to_tolerance);
        ASSERT_EQ(transform_from_geoid(p, &t), 1);
        EXPECT_NEAR(p[2], original[2], back_tolerance);
        EXPECT_TRUE(p[0] == original[0] && p[1] == original[1]) << "position changed";
    }
    // Outside the grid, or not a number: both ways fail and keep the point.
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    const double failing[][3] = {{47.9, 10, 100}, {56.1, 10, 100}, {50, 5.9, 100}, {50, 18.1, 100},
        {50, 5.9 + 360, 100}, {kNaN, 10, 100}, {52, 12, kNaN}, {52, 12, kInf}};
    for (const auto &f : failing) {
        double p[3] = {f[0], f[1], f[2]};
        EXPECT_TRUE(
            transform_to_geoid(p, &t) + transform_from_geoid(p, &t) == 0 && same_bits(p, f, 3))
            << f[0] << ", " << f[1] << ", " << f[2] << ": " << p[0] << ", " << p[1] << ", " << p[2];
    }
    // A longitude beyond a turn reads the grid where its reduced value lies.
    for (const double lon : {10.0 + 360, 10.0 - 360, 10.0 + 720}) {
        double turned[3] = {50, lon, 100}, plain[3] = {50, 10, 100};
        EXPECT_TRUE(transform_to_geoid(turned, &t) && transform_to_geoid(plain, &t)
            && turned[2] == plain[2] && transform_from_geoid(turned, &t)
            && transform_from_geoid(plain, &t) && turned[2] == plain[2])
            << lon;
    }
    const geoid_transform copy = t;
    invalidate_geoid_transform(&t); // releases nothing: the copy still reads the array
    double p[3] = {51.5, 11.5, 0};
    EXPECT_TRUE(transform_to_geoid(p, &copy) && p[2] == -40.75) << p[2]; // row 7, column 11
    // The geoid frees the array once (twice shows under ASan); again is harmless.
    invalidate_geoid(&g);
    invalidate_geoid(&g);
    EXPECT_EQ(initialize_geoid_transform(&wgs, &g, &t), 0) << "the geoid is gone";
}

} // namespace
