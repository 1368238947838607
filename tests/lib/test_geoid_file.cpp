// load_EGM96 on tiny grid files: the good one, the forms only this loader
// accepts, and every kind of malformed file, each of which must leave the
// geoid empty.
#include "kelvadra_internal.h"
#include "temp_path.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string data_file(const char *name)
{
    return std::string(KELVADRA_TEST_DATA_DIR) + "/" + name;
}

// A geoid in the state a caller would pass in: emptied, but with leftovers in
// the fields a loader must overwrite.
geoid fresh_geoid()
{
    geoid g;
    initialize_null_geoid_data(&g.grid);
    g.grid.lat_min = 1.0;
    g.grid.rows = 5;
    setup_geod(KV_DATUM_PULKOVO42, &g.refsys);
    return g;
}

void expect_empty(const geoid &g)
{
    EXPECT_EQ(g.grid.values, nullptr);
    EXPECT_EQ(g.grid.rows, -1);
    EXPECT_EQ(g.grid.cols, -1);
    EXPECT_EQ(g.grid.lat_min, DBL_MAX);
    EXPECT_EQ(g.grid.lon_step, DBL_MAX);
    EXPECT_EQ(g.refsys.type, 0);
    EXPECT_EQ(g.refsys.datum, 0);
    EXPECT_EQ(check_geoid(&g), 0);
}

float value(const geoid &g, int row, int col)
{
    float v = -999.0f;
    EXPECT_EQ(get_geoid_data_value(&g.grid, row, col, &v), 1) << row << ", " << col;
    return v;
}

// The content of geoid_good.grd: 50..52 N, 10..13 E, one-degree steps; the
// first data line is the northern row.
void expect_good_grid(const geoid &g)
{
    EXPECT_EQ(check_geoid(&g), 1);
    // The header's radians were chosen to give these degrees exactly.
    EXPECT_EQ(g.grid.lat_min, 50.0);
    EXPECT_EQ(g.grid.lat_max, 52.0);
    EXPECT_EQ(g.grid.lon_min, 10.0);
    EXPECT_EQ(g.grid.lon_max, 13.0);
    EXPECT_EQ(g.grid.lat_step, 1.0);
    EXPECT_EQ(g.grid.lon_step, 1.0);
    ASSERT_EQ(g.grid.rows, 3);
    ASSERT_EQ(g.grid.cols, 4);
    const float expected[3][4] = {
        { 20.0f, -0.001f, 22.25f, 23.0f }, // row 0, south: the last line
        { 10.5f, 11.5f, 12.5f, 13.5f },
        { 0.1f, 1.25f, -2.5f, 3.75f }, // row 2, north: the first line
    };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(value(g, r, c), expected[r][c]) << r << ", " << c;
    EXPECT_EQ(g.refsys.type, KV_TYPE_GEODETIC);
    EXPECT_EQ(g.refsys.datum, KV_DATUM_WGS84);
}

TEST(LoadEgm96, GoodFile)
{
    geoid g = fresh_geoid();
    ASSERT_EQ(load_EGM96(data_file("geoid_good.grd").c_str(), &g, nullptr), 1);
    expect_good_grid(g);
    double n = 0;
    ASSERT_EQ(interpolate_geoid_data_value(&g.grid, 52, 10, &n), 1);
    EXPECT_EQ(n, double(0.1f));
    invalidate_geoid(&g);
}

TEST(LoadEgm96, WhiteSpaceRunsExtraValuesAndCrLf)
{
    // Any white space in the header and text after it, runs of tabs, values
    // beyond the last column, "\r\n" line ends, lines after the last row.
    geoid g = fresh_geoid();
    ASSERT_EQ(load_EGM96(data_file("geoid_lenient.grd").c_str(), &g, nullptr), 1);
    expect_good_grid(g);
    invalidate_geoid(&g);
}

TEST(LoadEgm96, NumbersIgnoreTheDecimalCommaLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8"))
        GTEST_SKIP() << "ru_RU.UTF-8 is not installed";
    geoid g = fresh_geoid();
    const int loaded = load_EGM96(data_file("geoid_good.grd").c_str(), &g, nullptr);
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_EQ(loaded, 1);
    expect_good_grid(g);
    invalidate_geoid(&g);
}

class LoadEgm96Malformed : public testing::TestWithParam<const char *>
{
};

TEST_P(LoadEgm96Malformed, FailsAndLeavesTheGeoidEmpty)
{
    geoid g = fresh_geoid();
    EXPECT_EQ(load_EGM96(data_file(GetParam()).c_str(), &g, nullptr), 0);
    expect_empty(g);
}

INSTANTIATE_TEST_SUITE_P(Files, LoadEgm96Malformed,
    testing::Values("geoid_header_five.grd", // five numbers in the header
        "geoid_header_text.grd", // a word instead of the northern edge
        "geoid_off_lattice.grd", // eastern edge 0.005 step off a node
        "geoid_text_value.grd", // a word instead of a height
        "geoid_blank_values.grd", // a field of one blank between tabs
        "geoid_missing_row.grd", // one data line too few
        "geoid_short_row.grd", // three values in a row of four
        "geoid_nan.grd", // "nan" as a height
        "geoid_inf.grd", // "-inf" as a height
        "geoid_overflow.grd", // 1e39 overflows a float
        "geoid_empty.grd", // no bytes at all
        "no_such_file.grd"),
    [](const testing::TestParamInfo<const char *> &info) {
        std::string name = info.param;
        for (char &c : name)
            if (c == '.')
                c = '_';
        return name;
    });

TEST(LoadEgm96, NullArguments)
{
    EXPECT_EQ(load_EGM96(data_file("geoid_good.grd").c_str(), nullptr, nullptr), 0);
    geoid g = fresh_geoid();
    EXPECT_EQ(load_EGM96(nullptr, &g, nullptr), 0);
    expect_empty(g);
}

// ------------------------------------------------------------ over-long lines

class LoadEgm96LongLines : public testing::Test
{
protected:
    void TearDown() override { std::remove(path_.c_str()); }

    int load(const std::vector<std::string> &lines, geoid *g)
    {
        std::FILE *f = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (!f)
            return -1;
        for (const std::string &line : lines)
            std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
        return load_EGM96(path_.c_str(), g, nullptr);
    }

    // A data line of `length` bytes before its line end: the row's values,
    // then one long ignored field.
    static std::string padded(const std::string &row, std::size_t length)
    {
        return row + "\t" + std::string(length - row.size() - 1, '7');
    }

    const std::string header_
        = "0.8726646259971648 0.9075712110370513 0.17453292519943295 0.22689280275926282 "
          "0.017453292519943295 0.017453292519943295\n";
    const std::string north_ = "0.1\t1.25\t-2.5\t3.75";
    const std::string middle_ = "10.5\t11.5\t12.5\t13.5";
    const std::string south_ = "20\t-0.001\t22.25\t23";
    std::string path_ = temp_path("kelvadra_long_line.grd");
};

TEST_F(LoadEgm96LongLines, TheLongestLineFits)
{
    // 32 766 characters and the line end: 32 767 bytes, the buffer's limit.
    geoid g = fresh_geoid();
    ASSERT_EQ(
        load({ header_, padded(north_, 32766) + "\n", middle_ + "\n", south_ + "\n" }, &g), 1);
    expect_good_grid(g);
    invalidate_geoid(&g);

    // The last line may end at the end of the file with 32 767 characters.
    g = fresh_geoid();
    ASSERT_EQ(load({ header_, north_ + "\n", middle_ + "\n", padded(south_, 32767) }, &g), 1);
    expect_good_grid(g);
    invalidate_geoid(&g);
}

TEST_F(LoadEgm96LongLines, ALineBeyondTheBufferFails)
{
    // One byte more than fits. A reader that cut the line at its buffer would
    // take the rest, the middle row here, for the next line and succeed.
    geoid g = fresh_geoid();
    const std::string first = north_ + "\t" + std::string(32767 - north_.size() - 1, ' ');
    ASSERT_EQ(first.size(), 32767u);
    EXPECT_EQ(load({ header_, first + middle_ + "\n", south_ + "\n" }, &g), 0);
    expect_empty(g);

    g = fresh_geoid();
    EXPECT_EQ(
        load({ header_, north_ + "\n", padded(middle_, 32767) + "\n", south_ + "\n" }, &g), 0);
    expect_empty(g);

    g = fresh_geoid();
    EXPECT_EQ(load({ header_, north_ + "\n", middle_ + "\n", padded(south_, 100000) }, &g), 0);
    expect_empty(g);

    // The header line too.
    g = fresh_geoid();
    const std::string long_header
        = header_.substr(0, header_.size() - 1) + std::string(40000, ' ') + "\n";
    EXPECT_EQ(load({ long_header, north_ + "\n", middle_ + "\n", south_ + "\n" }, &g), 0);
    expect_empty(g);
}

// ------------------------------------------------------------------ progress

struct ProgressLog
{
    std::vector<double> fractions;
    int cancel_at = 0; // 1-based call that cancels; 0 never
};

// The callback carries no user pointer; the test's log is reached through
// this per-test slot (tests in one executable run one after another).
ProgressLog *current_log = nullptr;

int record_progress(double fraction)
{
    current_log->fractions.push_back(fraction);
    return int(current_log->fractions.size()) == current_log->cancel_at ? 1 : 0;
}

TEST(LoadEgm96Progress, ReportsEachRowAndEndsAtOne)
{
    ProgressLog log;
    current_log = &log;
    geoid g = fresh_geoid();
    ASSERT_EQ(load_EGM96(data_file("geoid_good.grd").c_str(), &g, record_progress), 1);
    ASSERT_EQ(log.fractions.size(), 3u);
    EXPECT_DOUBLE_EQ(log.fractions[0], 1.0 / 3);
    EXPECT_DOUBLE_EQ(log.fractions[1], 2.0 / 3);
    EXPECT_EQ(log.fractions[2], 1.0);
    invalidate_geoid(&g);
    current_log = nullptr;
}

TEST(LoadEgm96Progress, CancelOnTheFirstOrALaterCall)
{
    for (int cancel_at : { 1, 2, 3 }) {
        SCOPED_TRACE(cancel_at);
        ProgressLog log;
        log.cancel_at = cancel_at;
        current_log = &log;
        geoid g = fresh_geoid();
        EXPECT_EQ(load_EGM96(data_file("geoid_good.grd").c_str(), &g, record_progress), 0);
        EXPECT_EQ(int(log.fractions.size()), cancel_at) << "no call after the cancel";
        expect_empty(g);
    }
    current_log = nullptr;
}

} // namespace
