// Geoid grid records, bilinear interpolation, ownership of the grid array and
// the height conversions, on small synthetic grids built in memory.
#include "kelvadra_internal.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>

namespace {

constexpr double kUnset = DBL_MAX;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

geoid_data settings(double lat_min, double lat_max, double lon_min, double lon_max, double lat_step,
    double lon_step)
{
    geoid_data g;
    initialize_null_geoid_data(&g);
    g.lat_min = lat_min;
    g.lat_max = lat_max;
    g.lon_min = lon_min;
    g.lon_max = lon_max;
    g.lat_step = lat_step;
    g.lon_step = lon_step;
    return g;
}

// An allocated grid whose value at row r, column c is f(r, c).
template <typename F>
geoid_data filled(double lat_min, double lat_max, double lon_min, double lon_max, double lat_step,
    double lon_step, F f)
{
    geoid_data g = settings(lat_min, lat_max, lon_min, lon_max, lat_step, lon_step);
    EXPECT_EQ(complete_geoid_data_grid(&g), 1);
    EXPECT_EQ(geoid_data_allocate_memory(&g), 1);
    for (int32_t r = 0; r < g.rows; ++r)
        for (int32_t c = 0; c < g.cols; ++c)
            EXPECT_EQ(set_geoid_data_value(&g, r, c, f(r, c)), 1);
    return g;
}

bool same_bits(const double a[3], const double b[3])
{
    return std::memcmp(a, b, 3 * sizeof(double)) == 0;
}

// ---------------------------------------------------------------- records

TEST(GeoidRecord, NullStateAndNullPointers)
{
    float storage[4] = {};
    geoid_data g;
    g.values = storage;
    // Must not release an array it does not know (a stack array here).
    EXPECT_EQ(initialize_null_geoid_data(&g), &g);
    EXPECT_EQ(g.lat_min, kUnset);
    EXPECT_EQ(g.lon_max, kUnset);
    EXPECT_EQ(g.lat_step, kUnset);
    EXPECT_EQ(g.lon_step, kUnset);
    EXPECT_EQ(g.rows, -1);
    EXPECT_EQ(g.cols, -1);
    EXPECT_EQ(g.values, nullptr);

    g.values = storage;
    EXPECT_EQ(invalidate_geoid_data_grid(&g), &g);
    EXPECT_EQ(g.values, storage);
    EXPECT_EQ(g.rows, -1);

    EXPECT_EQ(initialize_null_geoid_data(nullptr), nullptr);
    EXPECT_EQ(invalidate_geoid_data_grid(nullptr), nullptr);
    invalidate_geoid_data(nullptr);
    invalidate_geoid(nullptr);
    invalidate_geoid_transform(nullptr);
    EXPECT_EQ(check_geoid_data_grid_settings(nullptr), 0);
    EXPECT_EQ(check_geoid_data_grid_dims(nullptr), 0);
    EXPECT_EQ(check_geoid_data_grid(nullptr), 0);
    EXPECT_EQ(check_geoid_data(nullptr), 0);
    EXPECT_EQ(valid_geoid_data(nullptr), 0);
    EXPECT_EQ(complete_geoid_data_grid(nullptr), 0);
    EXPECT_EQ(geoid_data_allocate_memory(nullptr), 0);
    EXPECT_EQ(set_geoid_data_value(nullptr, 0, 0, 1.0f), 0);
    float f;
    EXPECT_EQ(get_geoid_data_value(nullptr, 0, 0, &f), 0);
    double d;
    EXPECT_EQ(interpolate_geoid_data_value(nullptr, 0, 0, &d), 0);
    EXPECT_EQ(check_geoid(nullptr), 0);
    EXPECT_EQ(check_geoid_transform(nullptr), 0);
    EXPECT_EQ(initialize_geoid(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(initialize_geoid_transform(nullptr, nullptr, nullptr), 0);
    double p[3] = { 0, 0, 0 };
    EXPECT_EQ(transform_to_geoid(p, nullptr), 0);
    EXPECT_EQ(transform_from_geoid(p, nullptr), 0);
    EXPECT_EQ(load_EGM96(nullptr, nullptr, nullptr), 0);
}

// ---------------------------------------------------------------- validity

struct SettingsCase
{
    const char *what;
    geoid_data grid;
    int settings_valid;
};

TEST(GeoidValidity, Settings)
{
    const SettingsCase cases[] = {
        { "regular", settings(50, 52, 10, 13, 1, 1), 1 },
        { "exactly one step each way", settings(0, 1, 0, 1, 1, 1), 1 },
        { "negative edges", settings(-90, 90, -180, 360, 0.25, 0.25), 1 },
        { "lat_min unset", settings(kUnset, 52, 10, 13, 1, 1), 0 },
        { "lat_max unset", settings(50, kUnset, 10, 13, 1, 1), 0 },
        { "lon_min unset", settings(50, 52, kUnset, 13, 1, 1), 0 },
        { "lon_max unset", settings(50, 52, 10, kUnset, 1, 1), 0 },
        { "lat_step unset", settings(50, 52, 10, 13, kUnset, 1), 0 },
        { "lon_step unset", settings(50, 52, 10, 13, 1, kUnset), 0 },
        { "lat_step zero", settings(50, 52, 10, 13, 0, 1), 0 },
        { "lon_step negative", settings(50, 52, 10, 13, 1, -1), 0 },
        { "latitude extent below one step", settings(50, 50.5, 10, 13, 1, 1), 0 },
        { "longitude edges reversed", settings(50, 52, 13, 10, 1, 1), 0 },
        { "NaN edge", settings(kNaN, 52, 10, 13, 1, 1), 0 },
        { "NaN step", settings(50, 52, 10, 13, 1, kNaN), 0 },
        { "infinite edge", settings(-kInf, 52, 10, 13, 1, 1), 0 },
        { "infinite step", settings(50, 52, 10, 13, kInf, 1), 0 },
    };
    for (const SettingsCase &c : cases) {
        SCOPED_TRACE(c.what);
        geoid_data g = c.grid;
        EXPECT_EQ(check_geoid_data_grid_settings(&g), c.settings_valid);
        EXPECT_EQ(complete_geoid_data_grid(&g), c.settings_valid);
        if (!c.settings_valid) {
            EXPECT_EQ(g.rows, -1);
            EXPECT_EQ(g.cols, -1);
        }
    }
}

TEST(GeoidValidity, DimensionsWithinAThousandthOfAStep)
{
    geoid_data g = settings(50, 52, 10, 13, 1, 1);
    g.rows = 3;
    g.cols = 4;
    EXPECT_EQ(check_geoid_data_grid_dims(&g), 1);
    EXPECT_EQ(check_geoid_data_grid(&g), 1);
    EXPECT_EQ(check_geoid_data(&g), 0) << "no array yet";

    g.lat_max = 52.0009; // 0.0009 step off a node: still on it
    EXPECT_EQ(check_geoid_data_grid_dims(&g), 1);
    g.lat_max = 52.0011;
    EXPECT_EQ(check_geoid_data_grid_dims(&g), 0);
    g.lat_max = 52;
    g.lon_max = 12.9989;
    EXPECT_EQ(check_geoid_data_grid_dims(&g), 0);
    g.lon_max = 13;
    g.rows = 4;
    EXPECT_EQ(check_geoid_data_grid_dims(&g), 0);
    g.rows = 0;
    EXPECT_EQ(check_geoid_data_grid_dims(&g), 0);
    g.rows = 3;
    g.cols = -1;
    EXPECT_EQ(check_geoid_data_grid_dims(&g), 0);

    // Dimensions alone do not make a grid: a single column is consistent,
    // but the settings want at least one step each way.
    geoid_data single = settings(50, 52, 10, 10, 1, 1);
    single.rows = 3;
    single.cols = 1;
    EXPECT_EQ(check_geoid_data_grid_dims(&single), 1);
    EXPECT_EQ(check_geoid_data_grid(&single), 0);
}

TEST(GeoidValidity, CompleteRoundsToTheNearestNode)
{
    struct Case
    {
        double lat_max;
        int32_t rows; // -1: refused
    } const cases[] = {
        { 52.0, 3 },
        { 52.0004, 3 }, // 2.0004 steps: rounds to 2, within 0.001 step
        { 51.9996, 3 }, // 1.9996 steps: rounds up to 2
        { 52.0011, -1 }, // rounds to 2 but lies 0.0011 step off the node
        { 52.4, -1 }, // rounds to 2, 0.4 step off
        { 52.5, -1 }, // rounds up to 3, half a step off
        { 52.9995, 4 },
        { 51.0, 2 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lat_max);
        geoid_data g = settings(50, c.lat_max, 10, 13, 1, 1);
        EXPECT_EQ(complete_geoid_data_grid(&g), c.rows > 0 ? 1 : 0);
        EXPECT_EQ(g.rows, c.rows);
        EXPECT_EQ(g.cols, c.rows > 0 ? 4 : -1);
    }

    // Degrees read as radians give a grid 57 times too large, yet consistent.
    const double k = 57.29577951308232;
    geoid_data big = settings(-90 * k, 90 * k, -180 * k, 180 * k, 1 * k, 1 * k);
    EXPECT_EQ(complete_geoid_data_grid(&big), 1);
    EXPECT_EQ(big.rows, 181);
    EXPECT_EQ(big.cols, 361);
}

TEST(GeoidValidity, OversizedGridsAreRefusedNotWrapped)
{
    // 10 000 x 10 000 values is the largest grid accepted.
    geoid_data limit = settings(0, 9999, 0, 9999, 1, 1);
    EXPECT_EQ(complete_geoid_data_grid(&limit), 1);
    EXPECT_EQ(limit.rows, 10000);
    EXPECT_EQ(limit.cols, 10000);

    geoid_data over = settings(0, 10000, 0, 9999, 1, 1);
    EXPECT_EQ(complete_geoid_data_grid(&over), 0);
    EXPECT_EQ(over.rows, -1);
    EXPECT_EQ(over.cols, -1);

    // A one-arc-second world grid: 648 001 x 1 296 001 values, whose product
    // wraps a 32-bit count.
    geoid_data fine = settings(-90, 90, -180, 180, 1.0 / 3600, 1.0 / 3600);
    EXPECT_EQ(complete_geoid_data_grid(&fine), 0);
    EXPECT_EQ(fine.rows, -1);

    // A step so small that the count itself exceeds int32.
    geoid_data tiny_step = settings(0, 1, 0, 1, 1e-12, 1);
    EXPECT_EQ(complete_geoid_data_grid(&tiny_step), 0);
    geoid_data overflowing = settings(-1e308, 1e308, 0, 1, 1e-10, 1);
    EXPECT_EQ(complete_geoid_data_grid(&overflowing), 0);

    // Counts set by hand: 65 536 x 65 536 wraps to 0 in 32 bits.
    geoid_data wrap = settings(0, 65535, 0, 65535, 1, 1);
    wrap.rows = 65536;
    wrap.cols = 65536;
    ASSERT_EQ(check_geoid_data_grid(&wrap), 1);
    EXPECT_EQ(geoid_data_allocate_memory(&wrap), 0);
    EXPECT_EQ(wrap.values, nullptr);
}

TEST(GeoidValidity, AllocationReleasesThePreviousArrayInEveryCase)
{
    geoid_data g = settings(50, 52, 10, 13, 1, 1);
    EXPECT_EQ(geoid_data_allocate_memory(&g), 0) << "counts not completed";
    EXPECT_EQ(g.values, nullptr);
    ASSERT_EQ(complete_geoid_data_grid(&g), 1);
    ASSERT_EQ(geoid_data_allocate_memory(&g), 1);
    EXPECT_EQ(valid_geoid_data(&g), 1);
    EXPECT_EQ(check_geoid_data(&g), 1);
    ASSERT_EQ(geoid_data_allocate_memory(&g), 1); // the first array must not leak

    g.rows = 0; // now invalid: the array goes, nothing new comes
    EXPECT_EQ(geoid_data_allocate_memory(&g), 0);
    EXPECT_EQ(g.values, nullptr);
    EXPECT_EQ(check_geoid_data(&g), 0);
    invalidate_geoid_data(&g);
}

// ---------------------------------------------------------------- set / get

TEST(GeoidValues, BoundsOfSetAndGet)
{
    geoid_data g = filled(50, 52, 10, 13, 1, 1, [](int r, int c) { return float(10 * r + c); });
    struct Index
    {
        int32_t row, col;
        int inside;
    } const indices[] = {
        { 0, 0, 1 },
        { 2, 3, 1 },
        { 2, 0, 1 },
        { 0, 3, 1 },
        { -1, 0, 0 },
        { 0, -1, 0 },
        { 3, 0, 0 },
        { 0, 4, 0 },
        { 1, 7, 0 }, // would land inside the array at row 2, column 3
        { INT32_MIN, 0, 0 },
        { INT32_MAX, 0, 0 },
        { 0, INT32_MAX, 0 },
        { 0, INT32_MIN, 0 },
    };
    for (const Index &i : indices) {
        SCOPED_TRACE(testing::Message() << i.row << ", " << i.col);
        float out = -7.0f;
        EXPECT_EQ(get_geoid_data_value(&g, i.row, i.col, &out), i.inside);
        EXPECT_EQ(out, i.inside ? float(10 * i.row + i.col) : -7.0f);
        EXPECT_EQ(set_geoid_data_value(&g, i.row, i.col, 99.5f), i.inside);
    }
    // Nothing outside the grid was written.
    float v;
    ASSERT_EQ(get_geoid_data_value(&g, 2, 3, &v), 1);
    EXPECT_EQ(v, 99.5f);
    ASSERT_EQ(get_geoid_data_value(&g, 1, 2, &v), 1);
    EXPECT_EQ(v, 12.0f);
    EXPECT_EQ(get_geoid_data_value(&g, 0, 0, nullptr), 0);

    // A height that is not a number is never stored.
    EXPECT_EQ(set_geoid_data_value(&g, 1, 1, std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(set_geoid_data_value(&g, 1, 1, std::numeric_limits<float>::infinity()), 0);
    ASSERT_EQ(get_geoid_data_value(&g, 1, 1, &v), 1);
    EXPECT_EQ(v, 11.0f);

    invalidate_geoid_data(&g);
    EXPECT_EQ(set_geoid_data_value(&g, 0, 0, 1.0f), 0);
    EXPECT_EQ(get_geoid_data_value(&g, 0, 0, &v), 0);
}

TEST(GeoidValues, NoArrayMeansNoAccess)
{
    geoid_data g = settings(50, 52, 10, 13, 1, 1);
    ASSERT_EQ(complete_geoid_data_grid(&g), 1);
    float v = 0;
    double d = 0;
    EXPECT_EQ(set_geoid_data_value(&g, 0, 0, 1.0f), 0);
    EXPECT_EQ(get_geoid_data_value(&g, 0, 0, &v), 0);
    EXPECT_EQ(interpolate_geoid_data_value(&g, 51, 11, &d), 0);
}

// ---------------------------------------------------------------- interpolation

// Rows 0.5 degrees apart, columns 2 degrees apart, so swapping latitude and
// longitude anywhere shows. Values r * c + r + 0.25 c: bilinear, not planar.
float bilinear_value(int r, int c)
{
    return float(r * c + r + 0.25 * c);
}

TEST(GeoidInterpolation, NodesLinesAndCells)
{
    geoid_data g = filled(40, 42, 20, 30, 0.5, 2, bilinear_value); // 5 x 6
    ASSERT_EQ(g.rows, 5);
    ASSERT_EQ(g.cols, 6);

    struct Case
    {
        double lat, lon;
        double u, v; // fractional row and column
    } const cases[] = {
        { 40, 20, 0, 0 }, // south-west corner node
        { 41, 26, 2, 3 }, // interior node
        { 42, 30, 4, 5 }, // north-east corner node: inside
        { 41, 27, 2, 3.5 }, // on a row line
        { 41.25, 26, 2.5, 3 }, // on a column line
        { 42, 21, 4, 0.5 }, // along the northern edge
        { 40.5, 30, 1, 5 }, // on the eastern edge
        { 41.3, 21.1, 2.6, 0.55 },
        { 40.05, 29.9, 0.1, 4.95 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << ", " << c.lon);
        double out = kNaN;
        ASSERT_EQ(interpolate_geoid_data_value(&g, c.lat, c.lon, &out), 1);
        // Bilinear interpolation reproduces a bilinear function; the tolerance
        // covers double rounding of the weights only.
        EXPECT_NEAR(out, c.u * c.v + c.u + 0.25 * c.v, 1e-12);
    }

    // Exactly on a node the stored float comes back untouched.
    ASSERT_EQ(set_geoid_data_value(&g, 3, 2, 0.1f), 1);
    double node = 0;
    ASSERT_EQ(interpolate_geoid_data_value(&g, 41.5, 24, &node), 1);
    EXPECT_EQ(node, double(0.1f));

    // On a grid line only the two nodes of that line count: the rows above
    // and below may hold anything.
    ASSERT_EQ(set_geoid_data_value(&g, 1, 1, 1000.0f), 1);
    ASSERT_EQ(set_geoid_data_value(&g, 3, 2, 1000.0f), 1);
    double line = 0;
    ASSERT_EQ(interpolate_geoid_data_value(&g, 41, 23, &line), 1);
    EXPECT_EQ(line, 0.5 * bilinear_value(2, 1) + 0.5 * bilinear_value(2, 2));
    ASSERT_EQ(interpolate_geoid_data_value(&g, 40.75, 26, &line), 1);
    EXPECT_EQ(line, 0.5 * bilinear_value(1, 3) + 0.5 * bilinear_value(2, 3));
    invalidate_geoid_data(&g);
}

TEST(GeoidInterpolation, EdgesAreInsideAndAHairBeyondIsNot)
{
    geoid_data g = filled(40, 42, 20, 30, 0.5, 2, bilinear_value);
    const double up = kInf, down = -kInf;
    struct Case
    {
        double lat, lon;
        int inside;
    } const cases[] = {
        { 42, 25, 1 },
        { std::nextafter(42.0, up), 25, 0 },
        { 40, 25, 1 },
        { std::nextafter(40.0, down), 25, 0 },
        { 41, 30, 1 },
        { 41, std::nextafter(30.0, up), 0 },
        { 41, 20, 1 },
        { 41, std::nextafter(20.0, down), 0 },
        { 42.0000001, 30, 0 },
        { -41, 25, 0 },
        { 41, 30 - 360, 0 }, // no wrap-around in longitude
        { 41, 20 + 360, 0 },
        { kNaN, 25, 0 },
        { 41, kNaN, 0 },
        { 41, kInf, 0 },
        { -kInf, 25, 0 },
        { 41, 1e300, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::setprecision(17) << c.lat << ", " << c.lon);
        double out = -123.0;
        EXPECT_EQ(interpolate_geoid_data_value(&g, c.lat, c.lon, &out), c.inside);
        if (!c.inside) {
            EXPECT_EQ(out, -123.0) << "output written on failure";
        }
    }
    EXPECT_EQ(interpolate_geoid_data_value(&g, 41, 25, nullptr), 0);
    invalidate_geoid_data(&g);
}

TEST(GeoidInterpolation, NoWrapAtTheGreenwichMeridian)
{
    geoid_data g = filled(0, 10, 0, 10, 1, 1, [](int, int) { return 1.0f; });
    double out = 0;
    EXPECT_EQ(interpolate_geoid_data_value(&g, 5, -10, &out), 0);
    EXPECT_EQ(interpolate_geoid_data_value(&g, 5, 350, &out), 0);
    EXPECT_EQ(interpolate_geoid_data_value(&g, 5, 0, &out), 1);
    invalidate_geoid_data(&g);
}

// ---------------------------------------------------------------- ownership

refsystem wgs84_geodetic()
{
    refsystem rs;
    EXPECT_EQ(setup_geod(KV_DATUM_WGS84, &rs), 1);
    return rs;
}

TEST(GeoidOwnership, GeoidAndTransformShareTheArray)
{
    geoid_data grid = filled(50, 52, 10, 13, 1, 1, [](int r, int c) { return float(r + c); });
    const refsystem wgs = wgs84_geodetic();
    refsystem none;
    invalidate_refsystem(&none);

    geoid g;
    initialize_null_geoid_data(&g.grid);
    invalidate_refsystem(&g.refsys);
    EXPECT_EQ(initialize_geoid(&grid, &none, &g), 0);
    EXPECT_EQ(g.grid.values, nullptr) << "out written on failure";
    geoid_data empty;
    initialize_null_geoid_data(&empty);
    EXPECT_EQ(initialize_geoid(&empty, &wgs, &g), 0);
    EXPECT_EQ(initialize_geoid(&grid, nullptr, &g), 0);
    EXPECT_EQ(initialize_geoid(&grid, &wgs, nullptr), 0);

    ASSERT_EQ(initialize_geoid(&grid, &wgs, &g), 1);
    EXPECT_EQ(g.grid.values, grid.values);
    EXPECT_EQ(g.grid.rows, 3);
    EXPECT_EQ(check_geoid(&g), 1);

    geoid_transform t;
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    EXPECT_EQ(t.grid.values, g.grid.values);
    EXPECT_EQ(check_geoid_transform(&t), 1);

    geoid_transform copy = t;
    invalidate_geoid_transform(&t); // releases nothing
    EXPECT_EQ(t.grid.values, nullptr);
    EXPECT_EQ(check_geoid_transform(&t), 0);
    double p[3] = { 51.5, 11.5, 0 };
    ASSERT_EQ(transform_to_geoid(p, &copy), 1); // the array is still alive
    EXPECT_EQ(p[2], -3.0); // N = u + v = 1.5 + 1.5

    // The geoid frees its array exactly once; a second invalidation is harmless.
    invalidate_geoid(&g);
    EXPECT_EQ(g.grid.values, nullptr);
    EXPECT_EQ(g.refsys.type, 0);
    EXPECT_EQ(check_geoid(&g), 0);
    invalidate_geoid(&g);
    // grid still names the freed array; forget it rather than free it again.
    initialize_null_geoid_data(&grid);
}

TEST(GeoidOwnership, FailedTransformSetupClearsTheGridPart)
{
    geoid_data grid = filled(50, 52, 10, 13, 1, 1, [](int, int) { return 1.0f; });
    const refsystem wgs = wgs84_geodetic();
    geoid g;
    ASSERT_EQ(initialize_geoid(&grid, &wgs, &g), 1);

    refsystem bad;
    invalidate_refsystem(&bad);
    geoid_transform t;
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    EXPECT_EQ(initialize_geoid_transform(&bad, &g, &t), 0);
    EXPECT_EQ(t.grid.values, nullptr);
    EXPECT_EQ(t.grid.rows, -1);
    EXPECT_EQ(t.grid.lat_min, kUnset);
    double p[3] = { 51, 11, 100 };
    const double before[3] = { 51, 11, 100 };
    EXPECT_EQ(transform_to_geoid(p, &t), 0);
    EXPECT_EQ(transform_from_geoid(p, &t), 0);
    EXPECT_TRUE(same_bits(p, before));

    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    EXPECT_EQ(initialize_geoid_transform(nullptr, &g, &t), 0);
    EXPECT_EQ(t.grid.values, nullptr);
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    EXPECT_EQ(initialize_geoid_transform(&wgs, nullptr, &t), 0);
    EXPECT_EQ(t.grid.values, nullptr);

    invalidate_geoid(&g);
    EXPECT_EQ(initialize_geoid_transform(&wgs, &g, &t), 0) << "the geoid is gone";
}

// ---------------------------------------------------------------- heights

class GeoidHeights : public testing::Test
{
protected:
    void SetUp() override
    {
        // 48..56 N, 6..18 E every half degree: N = 40 + 0.5 * row - 0.25 * col.
        geoid_data grid = filled(
            48, 56, 6, 18, 0.5, 0.5, [](int r, int c) { return float(40 + 0.5 * r - 0.25 * c); });
        const refsystem wgs = wgs84_geodetic();
        ASSERT_EQ(initialize_geoid(&grid, &wgs, &g), 1);
    }
    void TearDown() override { invalidate_geoid(&g); }

    // Geoid height in the grid's system, straight from the grid.
    double N(double lat, double lon)
    {
        double n = kNaN;
        EXPECT_EQ(interpolate_geoid_data_value(&g.grid, lat, lon, &n), 1);
        return n;
    }

    geoid g;
};

TEST_F(GeoidHeights, Wgs84GeodeticUser)
{
    geoid_transform t;
    const refsystem wgs = wgs84_geodetic();
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);

    double p[3] = { 52.3, 13.1, 150.0 };
    const double n = N(52.3, 13.1);
    ASSERT_EQ(transform_to_geoid(p, &t), 1);
    EXPECT_EQ(p[0], 52.3);
    EXPECT_EQ(p[1], 13.1);
    EXPECT_EQ(p[2], 150.0 - n);

    ASSERT_EQ(transform_from_geoid(p, &t), 1);
    EXPECT_EQ(p[0], 52.3);
    EXPECT_EQ(p[1], 13.1);
    EXPECT_NEAR(p[2], 150.0, 1e-12);
}

TEST_F(GeoidHeights, OtherDatumsAndProjections)
{
    // SK-42 geodetic, and SK-42 Gauss-Krüger zone 3 (central meridian 15 E).
    refsystem sk42_geod;
    ASSERT_EQ(setup_geod(KV_DATUM_PULKOVO42, &sk42_geod), 1);
    refsystem sk42_gk;
    ASSERT_EQ(setup_sk42(3, KV_HEMISPHERE_NORTH, &sk42_gk), 1);
    const refsystem wgs = wgs84_geodetic();

    for (const refsystem *user : { &sk42_geod, &sk42_gk }) {
        SCOPED_TRACE(user->type);
        transform to_wgs;
        ASSERT_EQ(initialize_transform(&sk42_geod, &wgs, &to_wgs), 1);
        transform to_user;
        ASSERT_EQ(initialize_transform(&sk42_geod, user, &to_user), 1);

        double geod[3] = { 53.7, 14.2, 80.0 };
        double p[3];
        ASSERT_EQ(transform_coords(geod, &to_user, p), 1);
        double in_wgs[3];
        ASSERT_EQ(transform_coords(geod, &to_wgs, in_wgs), 1);

        geoid_transform t;
        ASSERT_EQ(initialize_geoid_transform(user, &g, &t), 1);
        const double original[3] = { p[0], p[1], p[2] };
        ASSERT_EQ(transform_to_geoid(p, &t), 1);
        EXPECT_EQ(p[0], original[0]);
        EXPECT_EQ(p[1], original[1]);
        // The height above the geoid is the WGS 84 ellipsoidal height minus N
        // at the WGS 84 position; 1e-6 m covers the Gauss-Krüger series,
        // whose inverse meets the forward to about a nanometre here.
        EXPECT_NEAR(p[2], in_wgs[2] - N(in_wgs[0], in_wgs[1]), 1e-6);

        // Back: one pass suffices; the ellipsoidal height is H + N in WGS 84
        // carried back into the user's system.
        const double H = p[2];
        transform from_wgs;
        ASSERT_EQ(initialize_transform(&wgs, user, &from_wgs), 1);
        double at_wgs[3];
        ASSERT_EQ(transform_coords(p, &t.to_geoid, at_wgs), 1);
        at_wgs[2] = H + N(at_wgs[0], at_wgs[1]);
        double expected[3];
        ASSERT_EQ(transform_coords(at_wgs, &from_wgs, expected), 1);

        ASSERT_EQ(transform_from_geoid(p, &t), 1);
        EXPECT_EQ(p[0], original[0]);
        EXPECT_EQ(p[1], original[1]);
        EXPECT_EQ(p[2], expected[2]);
        // Near the starting height: the datum shifts there and back are
        // first-order compositions through PZ 90.11 and miss each other by
        // about 0.2 mm in height.
        EXPECT_NEAR(p[2], original[2], 1e-3);
    }
}

TEST_F(GeoidHeights, OutsideTheGridFailsAndKeepsThePoint)
{
    geoid_transform t;
    const refsystem wgs = wgs84_geodetic();
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    const double outside[][3] = {
        { 47.9, 10, 100 },
        { 56.1, 10, 100 },
        { 50, 5.9, 100 },
        { 50, 18.1, 100 },
        { 50, 10 - 360, 100 },
        { 50, 10 + 360, 100 },
        { kNaN, 10, 100 },
    };
    for (const auto &o : outside) {
        SCOPED_TRACE(testing::Message() << o[0] << ", " << o[1]);
        double p[3] = { o[0], o[1], o[2] };
        EXPECT_EQ(transform_to_geoid(p, &t), 0);
        EXPECT_TRUE(same_bits(p, o));
        EXPECT_EQ(transform_from_geoid(p, &t), 0);
        EXPECT_TRUE(same_bits(p, o));
    }
}

TEST_F(GeoidHeights, HeightsThatAreNotNumbersFail)
{
    geoid_transform t;
    const refsystem wgs = wgs84_geodetic();
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    for (double h : { kNaN, kInf, -kInf }) {
        SCOPED_TRACE(h);
        const double before[3] = { 52, 12, h };
        double p[3] = { 52, 12, h };
        EXPECT_EQ(transform_to_geoid(p, &t), 0);
        EXPECT_TRUE(same_bits(p, before));
        EXPECT_EQ(transform_from_geoid(p, &t), 0);
        EXPECT_TRUE(same_bits(p, before));
    }
}

TEST_F(GeoidHeights, NoConvergenceStopsAfterTheLastPass)
{
    // A transform pair that does not lead back to the user's position (the
    // way back ends in geocentric metres): every pass misses, and after the
    // last one the conversion fails with the point as it was.
    geoid_transform t;
    const refsystem wgs = wgs84_geodetic();
    ASSERT_EQ(initialize_geoid_transform(&wgs, &g, &t), 1);
    refsystem geocentric;
    ASSERT_EQ(setup_geoc(KV_DATUM_WGS84, &geocentric), 1);
    ASSERT_EQ(initialize_transform(&wgs, &geocentric, &t.from_geoid), 1);

    const double before[3] = { 52, 12, 100 };
    double p[3] = { 52, 12, 100 };
    EXPECT_EQ(transform_from_geoid(p, &t), 0);
    EXPECT_TRUE(same_bits(p, before));

    // A way back that misses by about 0.001 degree (the SK-42 shift, squared
    // about 3e-6 square degrees) is beyond the 1e-6 threshold as well.
    refsystem sk42;
    ASSERT_EQ(setup_geod(KV_DATUM_PULKOVO42, &sk42), 1);
    ASSERT_EQ(initialize_transform(&wgs, &sk42, &t.from_geoid), 1);
    EXPECT_EQ(transform_from_geoid(p, &t), 0);
    EXPECT_TRUE(same_bits(p, before));

    // The forward conversion does not iterate and still succeeds.
    EXPECT_EQ(transform_to_geoid(p, &t), 1);
}

} // namespace
