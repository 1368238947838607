// The shipped EGM96 grid (egm96.grd, converted at build time by gtx2grd from
// proj-data's egm96_15.gtx): its layout, its values against the source, and
// its geoid heights against PROJ's vgridshift on the source grid.
#include "kelvadra_internal.h"
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
#include <sstream>
#include <string>
#include <vector>

namespace {

bool file_exists(const std::string &path)
{
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

std::string directory_of(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// ------------------------------------------------------------------ GTX files

struct Gtx
{
    double south, west, lat_step, lon_step;
    int32_t rows, cols;
    std::vector<float> values; // row 0 southernmost
};

uint64_t be(const unsigned char *p, int n)
{
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

bool read_gtx(const std::string &path, Gtx *g)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> d(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 40)
        return false;
    double h[4];
    for (int i = 0; i < 4; ++i) {
        const uint64_t bits = be(&d[8 * i], 8);
        std::memcpy(&h[i], &bits, 8);
    }
    g->south = h[0];
    g->west = h[1];
    g->lat_step = h[2];
    g->lon_step = h[3];
    g->rows = int32_t(be(&d[32], 4));
    g->cols = int32_t(be(&d[36], 4));
    const std::size_t n = std::size_t(g->rows) * std::size_t(g->cols);
    if (d.size() != 40 + 4 * n)
        return false;
    g->values.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t bits = uint32_t(be(&d[40 + 4 * i], 4));
        std::memcpy(&g->values[i], &bits, 4);
    }
    return true;
}

void put_be(std::string *out, uint64_t v, int n)
{
    for (int i = n - 1; i >= 0; --i)
        out->push_back(char((v >> (8 * i)) & 0xff));
}

std::string gtx_bytes(const Gtx &g)
{
    std::string out;
    for (double x : { g.south, g.west, g.lat_step, g.lon_step }) {
        uint64_t bits;
        std::memcpy(&bits, &x, 8);
        put_be(&out, bits, 8);
    }
    put_be(&out, uint32_t(g.rows), 4);
    put_be(&out, uint32_t(g.cols), 4);
    for (float v : g.values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        put_be(&out, bits, 4);
    }
    return out;
}

// Source value for row r and longitude lon of the output, wrapping columns.
float source_value(const Gtx &g, int32_t r, double lon)
{
    const int32_t circle = int32_t(std::lround(360.0 / g.lon_step));
    long k = std::lround((lon - g.west) / g.lon_step);
    k = ((k % circle) + circle) % circle;
    return g.values[std::size_t(r) * std::size_t(g.cols) + std::size_t(k)];
}

// The layout the program's own loader insists on: a header of exactly six
// numbers separated by single blanks, and data lines of exactly `cols`
// values separated by single tabs, every line under 32 768 bytes.
void expect_strict_layout(const std::string &path, int32_t rows, int32_t cols)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line.find_first_of("\t\r"), std::string::npos);
    EXPECT_EQ(line.find("  "), std::string::npos);
    EXPECT_NE(line.front(), ' ');
    EXPECT_NE(line.back(), ' ');
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 5);
    int32_t data_lines = 0;
    bool layout_ok = true;
    while (std::getline(in, line)) {
        ++data_lines;
        layout_ok = layout_ok && line.size() + 1 < 32768 && !line.empty() && line.front() != '\t'
            && line.back() != '\t' && line.find("\t\t") == std::string::npos
            && line.find_first_of(" \r") == std::string::npos
            && std::count(line.begin(), line.end(), '\t') == cols - 1;
    }
    EXPECT_TRUE(layout_ok);
    EXPECT_EQ(data_lines, rows);
}

// ------------------------------------------------------------------ the shipped grid

class ShippedGrid : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!file_exists(KELVADRA_EGM96_GRD))
            return;
        grid_ = new geoid;
        initialize_null_geoid_data(&grid_->grid);
        invalidate_refsystem(&grid_->refsys);
        if (!load_EGM96(KELVADRA_EGM96_GRD, grid_, nullptr)) {
            delete grid_;
            grid_ = nullptr;
        }
    }

    static void TearDownTestSuite()
    {
        if (grid_)
            invalidate_geoid(grid_);
        delete grid_;
        grid_ = nullptr;
    }

    void SetUp() override
    {
        if (!file_exists(KELVADRA_EGM96_GRD))
            GTEST_SKIP() << KELVADRA_EGM96_GRD << " is not built";
        ASSERT_NE(grid_, nullptr) << "load_EGM96 failed on " << KELVADRA_EGM96_GRD;
    }

    static geoid *grid_;
};

geoid *ShippedGrid::grid_ = nullptr;

TEST_F(ShippedGrid, CoversTheGlobeTwiceOverInLongitude)
{
    const geoid_data &g = grid_->grid;
    EXPECT_EQ(check_geoid(grid_), 1);
    EXPECT_EQ(grid_->refsys.type, KV_TYPE_GEODETIC);
    EXPECT_EQ(grid_->refsys.datum, KV_DATUM_WGS84);
    EXPECT_EQ(g.rows, 721);
    EXPECT_EQ(g.cols, 2161);
    // Edges and steps come back as whole degrees to the last bit.
    EXPECT_EQ(g.lat_min, -90.0);
    EXPECT_EQ(g.lat_max, 90.0);
    EXPECT_EQ(g.lon_min, -180.0);
    EXPECT_EQ(g.lon_max, 360.0);
    EXPECT_EQ(g.lat_step, 0.25);
    EXPECT_EQ(g.lon_step, 0.25);

    geoid_data again = g;
    again.values = nullptr;
    EXPECT_EQ(complete_geoid_data_grid(&again), 1);
    EXPECT_EQ(again.rows, 721);
    EXPECT_EQ(again.cols, 2161);
}

TEST_F(ShippedGrid, EveryValueIsTheSourceFloat)
{
    Gtx src;
    if (!read_gtx(KELVADRA_EGM96_GTX, &src))
        GTEST_SKIP() << KELVADRA_EGM96_GTX << " is not readable";
    const geoid_data &g = grid_->grid;
    std::size_t mismatches = 0;
    for (int32_t r = 0; r < g.rows; ++r) {
        for (int32_t c = 0; c < g.cols; ++c) {
            float v;
            ASSERT_EQ(get_geoid_data_value(&g, r, c, &v), 1);
            const float s = source_value(src, r, g.lon_min + c * g.lon_step);
            mismatches += std::memcmp(&v, &s, sizeof v) != 0;
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(ShippedGrid, LayoutSuitsTheProgramsLoader)
{
    expect_strict_layout(KELVADRA_EGM96_GRD, 721, 2161);
}

// PROJ's vertical grid shift on the source grid, as an independent reference.
class ProjGeoid
{
public:
    ProjGeoid()
    {
        ctx_ = proj_context_create();
        proj_log_level(ctx_, PJ_LOG_NONE);
        const std::string def
            = std::string("+proj=vgridshift +grids=") + KELVADRA_EGM96_GTX + " +multiplier=1";
        pj_ = proj_create(ctx_, def.c_str());
    }
    ~ProjGeoid()
    {
        if (pj_)
            proj_destroy(pj_);
        proj_context_destroy(ctx_);
    }
    bool usable() const { return pj_ != nullptr; }

    // Geoid height N in metres: with +multiplier=1 the forward step gives
    // z + N, so a zero height comes back as N.
    double height(double lat, double lon) const
    {
        const bool radians = proj_angular_input(pj_, PJ_FWD);
        PJ_COORD c = proj_coord(
            radians ? proj_torad(lon) : lon, radians ? proj_torad(lat) : lat, 0, HUGE_VAL);
        return proj_trans(pj_, PJ_FWD, c).xyz.z;
    }

private:
    PJ_CONTEXT *ctx_ = nullptr;
    PJ *pj_ = nullptr;
};

struct LatLon
{
    double lat, lon; // lon in -180..180
};

std::vector<LatLon> spread_points()
{
    std::vector<LatLon> points = {
        { 0, 0 },
        { 51.4779, -0.0015 }, // Greenwich
        { 40.7128, -74.006 },
        { -33.9249, 18.4241 },
        { -22.9068, -43.1729 },
        { 55.7558, 37.6173 },
        { 64.1466, -21.9426 },
        { -77.846, 166.676 },
        { 89.9, 10 },
        { 89.99, -135.5 },
        { -89.9, 45 },
        { -89.99, -170.2 },
        { 90, 0 },
        { -90, 0 },
        { 12.3, 180 },
        { -45.6, -180 },
        { 33.3, 179.9 },
        { -5.5, -179.9 },
        { 0.125, 0.125 },
        { -0.1, -0.1 },
    };
    // A lattice with irregular offsets so that points fall inside cells,
    // on both sides of the equator and of Greenwich.
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 20; ++j) {
            const double lat = -89.7 + i * 9.437 + 0.013 * j;
            const double lon = -179.6 + j * 17.93 + 0.071 * i;
            points.push_back({ lat, lon });
        }
    }
    return points;
}

TEST_F(ShippedGrid, HeightsAgreeWithProjWithinAMillimetre)
{
    ProjGeoid proj;
    if (!proj.usable())
        GTEST_SKIP() << "PROJ cannot open " << KELVADRA_EGM96_GTX;
    ASSERT_NEAR(proj.height(0, 0), 17.16, 0.01) << "reference sign or units";

    const std::vector<LatLon> points = spread_points();
    ASSERT_GT(points.size(), 400u);
    double worst = 0;
    int compared = 0;
    for (const LatLon &p : points) {
        SCOPED_TRACE(testing::Message() << p.lat << ", " << p.lon);
        const double reference = proj.height(p.lat, p.lon);
        ASSERT_TRUE(std::isfinite(reference));
        // The same place as -180..180 and as 0..360 longitude.
        for (double lon : { p.lon, p.lon < 0 ? p.lon + 360 : p.lon }) {
            double n = NAN;
            ASSERT_EQ(interpolate_geoid_data_value(&grid_->grid, p.lat, lon, &n), 1) << lon;
            // Both interpolate bilinearly in the same floats; 1 mm is the
            // accuracy promised, the agreement is far closer.
            EXPECT_NEAR(n, reference, 1e-3) << lon;
            worst = std::max(worst, std::fabs(n - reference));
            ++compared;
        }
    }
    RecordProperty("points_compared", compared);
    std::ostringstream worst_text;
    worst_text << worst;
    RecordProperty("worst_difference_m", worst_text.str());
}

TEST_F(ShippedGrid, HeightConversionsAgreeWithProj)
{
    ProjGeoid proj;
    if (!proj.usable())
        GTEST_SKIP() << "PROJ cannot open " << KELVADRA_EGM96_GTX;

    refsystem wgs;
    ASSERT_EQ(setup_geod(KV_DATUM_WGS84, &wgs), 1);
    geoid_transform t;
    ASSERT_EQ(initialize_geoid_transform(&wgs, grid_, &t), 1);
    for (const LatLon &p : spread_points()) {
        SCOPED_TRACE(testing::Message() << p.lat << ", " << p.lon);
        double point[3] = { p.lat, p.lon, 250.0 };
        ASSERT_EQ(transform_to_geoid(point, &t), 1);
        EXPECT_NEAR(point[2], 250.0 - proj.height(p.lat, p.lon), 1e-3);
        ASSERT_EQ(transform_from_geoid(point, &t), 1);
        EXPECT_NEAR(point[2], 250.0, 1e-9);
    }

    // SK-42 Gauss-Krüger zone 7: the geoid height is taken where the point
    // lies in WGS 84.
    refsystem gk;
    ASSERT_EQ(setup_sk42(7, KV_HEMISPHERE_NORTH, &gk), 1);
    transform gk_to_wgs;
    ASSERT_EQ(initialize_transform(&gk, &wgs, &gk_to_wgs), 1);
    ASSERT_EQ(initialize_geoid_transform(&gk, grid_, &t), 1);
    const double plane[][3] = {
        { 6181000, 7413000, 150 }, // near Moscow
        { 5000000, 7300000, 0 },
        { 7800000, 7600000, 2000 },
    };
    for (const auto &q : plane) {
        SCOPED_TRACE(testing::Message() << q[0] << ", " << q[1]);
        double in_wgs[3];
        ASSERT_EQ(transform_coords(q, &gk_to_wgs, in_wgs), 1);
        double point[3] = { q[0], q[1], q[2] };
        ASSERT_EQ(transform_to_geoid(point, &t), 1);
        EXPECT_NEAR(point[2], in_wgs[2] - proj.height(in_wgs[0], in_wgs[1]), 1e-3);
        ASSERT_EQ(transform_from_geoid(point, &t), 1);
        EXPECT_NEAR(point[2], q[2], 1e-3);
    }
}

// ------------------------------------------------------------------ the converter

class Converter : public testing::Test
{
protected:
    void SetUp() override
    {
        tool_ = directory_of(KELVADRA_EGM96_GRD) + "/gtx2grd";
        if (!file_exists(tool_))
            GTEST_SKIP() << tool_ << " is not built";
        const std::string base = temp_path("kelvadra_gtx2grd");
        gtx_ = base + ".gtx";
        grd_ = base + ".grd";
        std::remove(grd_.c_str());
    }
    void TearDown() override
    {
        std::remove(gtx_.c_str());
        std::remove(grd_.c_str());
    }

    int convert(const std::string &bytes)
    {
        std::ofstream(gtx_, std::ios::binary) << bytes;
        const std::string command = "'" + tool_ + "' '" + gtx_ + "' '" + grd_ + "' 2>/dev/null";
        return std::system(command.c_str());
    }

    // A 5-degree world grid in GTX layout with values of every magnitude.
    static Gtx coarse_world()
    {
        Gtx g { -90, -180, 5, 5, 37, 72, {} };
        uint32_t state = 12345;
        for (int i = 0; i < g.rows * g.cols; ++i) {
            state = state * 1664525u + 1013904223u;
            const float mantissa = float(state >> 8) / float(1 << 24) - 0.5f;
            g.values.push_back(std::ldexp(mantissa, int(state % 23) - 11) * 100.0f);
        }
        g.values[5] = -0.0f;
        g.values[6] = 1e-38f;
        g.values[7] = -123456.79f;
        return g;
    }

    std::string tool_, gtx_, grd_;
};

TEST_F(Converter, WrapsColumnsAndKeepsEveryFloat)
{
    const Gtx src = coarse_world();
    ASSERT_EQ(convert(gtx_bytes(src)), 0);
    ASSERT_FALSE(file_exists(grd_ + ".part"));

    geoid g;
    initialize_null_geoid_data(&g.grid);
    ASSERT_EQ(load_EGM96(grd_.c_str(), &g, nullptr), 1);
    EXPECT_EQ(g.grid.lat_min, -90.0);
    EXPECT_EQ(g.grid.lon_min, -180.0);
    EXPECT_EQ(g.grid.lon_max, 360.0);
    EXPECT_EQ(g.grid.lat_step, 5.0);
    EXPECT_EQ(g.grid.lon_step, 5.0);
    ASSERT_EQ(g.grid.rows, 37);
    ASSERT_EQ(g.grid.cols, 109);
    for (int32_t r = 0; r < 37; ++r) {
        for (int32_t c = 0; c < 109; ++c) {
            float v;
            ASSERT_EQ(get_geoid_data_value(&g.grid, r, c, &v), 1);
            const float s = source_value(src, r, -180.0 + 5 * c);
            EXPECT_EQ(std::memcmp(&v, &s, sizeof v), 0) << r << ", " << c << ": " << v;
        }
    }
    // Longitude 192.5 is longitude -167.5 again (both halfway between columns).
    double east = 0, west = 0;
    ASSERT_EQ(interpolate_geoid_data_value(&g.grid, 42.5, 192.5, &east), 1);
    ASSERT_EQ(interpolate_geoid_data_value(&g.grid, 42.5, -167.5, &west), 1);
    EXPECT_EQ(east, west);
    invalidate_geoid(&g);

    expect_strict_layout(grd_, 37, 109);
}

TEST_F(Converter, BadSourcesFailWithoutLeavingAFile)
{
    const Gtx good = coarse_world();
    const std::string bytes = gtx_bytes(good);

    Gtx nan_value = good;
    nan_value.values[20] = std::nanf("");
    Gtx half_globe = good;
    half_globe.cols = 36;
    half_globe.values.resize(37 * 36);
    Gtx off_pole = good;
    off_pole.south = -89;

    const std::string cases[] = {
        bytes.substr(0, bytes.size() - 1), // truncated values
        bytes.substr(0, 20), // truncated header
        std::string(), // empty
        gtx_bytes(nan_value),
        gtx_bytes(half_globe),
        gtx_bytes(off_pole),
    };
    for (const std::string &c : cases) {
        SCOPED_TRACE(c.size());
        EXPECT_NE(convert(c), 0);
        EXPECT_FALSE(file_exists(grd_));
        EXPECT_FALSE(file_exists(grd_ + ".part"));
    }

    // A failed run never replaces a good file with a half one.
    ASSERT_EQ(convert(bytes), 0);
    EXPECT_NE(convert(bytes.substr(0, bytes.size() - 4)), 0);
    geoid g;
    initialize_null_geoid_data(&g.grid);
    EXPECT_EQ(load_EGM96(grd_.c_str(), &g, nullptr), 1);
    invalidate_geoid(&g);

    const std::string missing = "'" + tool_ + "' /nonexistent.gtx '" + grd_ + "' 2>/dev/null";
    EXPECT_NE(std::system(missing.c_str()), 0);
    EXPECT_NE(std::system(("'" + tool_ + "' 2>/dev/null").c_str()), 0);
}

} // namespace
