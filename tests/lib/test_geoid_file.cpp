// load_EGM96 on tiny grid files: the good one, the forms this loader also
// accepts, and malformed ones, each of which must leave the geoid empty.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <cfloat>
#include <cmath>
#include <vector>

namespace {

// tests/data/geoid_good.grd line by line: 50..52 N, 10..13 E in one-degree
// steps (radians chosen to give these degrees exactly), northern row first.
const std::string kGoodFile = std::string(KELVADRA_TEST_DATA_DIR) + "/geoid_good.grd";
const std::string kS = "0.8726646259971648", kN = "0.9075712110370513", kW = "0.17453292519943295",
                  kE = "0.22689280275926282", kStep = "0.017453292519943295";
const std::string kHeader = kS + " " + kN + " " + kW + " " + kE + " " + kStep + " " + kStep + "\n";
const std::string kNorth = "0.1\t1.25\t-2.5\t3.75\n", kMiddle = "10.5\t11.5\t12.5\t13.5\n",
                  kSouth = "20\t-0.001\t22.25\t23\n";

// A data line of `length` characters before its line end: the row, then one
// long field beyond the last column.
std::string padded(const std::string &row, std::size_t length, char fill = '7')
{
    return row.substr(0, row.size() - 1) + "\t" + std::string(length - row.size(), fill);
}

// A geoid as a caller passes it: emptied, with leftovers a loader must overwrite.
geoid leftover()
{
    geoid g;
    initialize_null_geoid_data(&g.grid);
    g.grid.lat_min = 1.0;
    g.grid.rows = 5;
    setup_geod(KV_DATUM_PULKOVO42, &g.refsys);
    return g;
}

int load_text(const std::string &text, geoid *g)
{
    const TempFile file("kelvadra_geoid_file.grd");
    return load_EGM96(file.write(text).c_str(), g, nullptr);
}

void expect_empty(const geoid &g)
{
    EXPECT_TRUE(g.grid.values == nullptr && g.grid.rows == -1 && g.grid.cols == -1
        && g.grid.lat_min == DBL_MAX && g.grid.lon_step == DBL_MAX && g.refsys.type == 0
        && g.refsys.datum == 0)
        << "geoid not left empty";
}

void expect_good_grid(const geoid &g)
{
    ASSERT_EQ(check_geoid(&g), 1);
    EXPECT_EQ(g.refsys.type, KV_TYPE_GEODETIC);
    EXPECT_EQ(g.refsys.datum, KV_DATUM_WGS84);
    const geoid_data &d = g.grid;
    EXPECT_TRUE(d.lat_min == 50 && d.lat_max == 52 && d.lon_min == 10 && d.lon_max == 13
        && d.lat_step == 1 && d.lon_step == 1)
        << "edges or steps not the exact degrees, or swapped";
    ASSERT_EQ(d.rows, 3);
    ASSERT_EQ(d.cols, 4);
    // Row by row from the south: the file's last line first.
    const float expected[]
        = {20, -0.001f, 22.25f, 23, 10.5f, 11.5f, 12.5f, 13.5f, 0.1f, 1.25f, -2.5f, 3.75f};
    for (int i = 0; i < 12; ++i) {
        float v = NAN;
        EXPECT_TRUE(get_geoid_data_value(&d, i / 4, i % 4, &v) && v == expected[i])
            << i << ": " << v;
    }
}

// Every file loads whole or leaves the geoid empty; under ru_RU.UTF-8 too, as
// every suite runs, where "," is the decimal point.
TEST(LoadEgm96, FilesLoadWholeOrLeaveTheGeoidEmpty)
{
    const std::string rows = kNorth + kMiddle + kSouth;
    const struct
    {
        const char *why;
        std::string text;
        int loads;
    } cases[] = {
        {"the good file", file_bytes(kGoodFile), 1},
        {"any blanks in the header and text after it; runs of tabs, extra values, CRLF, "
         "lines after the grid",
            kS + " \t  " + kN + "\t" + kW + "  " + kE + " " + kStep + " " + kStep + " more\r\n"
                + "0.1\t\t1.25\t-2.5\t3.75\t99\r\n\t10.5\t11.5\t12.5\t13.5\t\r\n" + kSouth
                + "garbage\n",
            1},
        {"a line of 32 767 bytes with its line end",
            kHeader + padded(kNorth, 32766) + "\n" + kMiddle + kSouth, 1},
        {"a last line of 32 767 characters without one",
            kHeader + kNorth + kMiddle + padded(kSouth, 32767), 1},
        {"five header numbers", kS + " " + kN + " " + kW + " " + kE + " " + kStep + "\n" + rows, 0},
        {"text in the header",
            kS + " north " + kW + " " + kE + " " + kStep + " " + kStep + "\n" + rows, 0},
        {"east edge off a node",
            kS + " " + kN + " " + kW + " 0.2268 " + kStep + " " + kStep + "\n" + rows, 0},
        {"text as a height", kHeader + kNorth + "10.5\t11.5\tabc\t13.5\n" + kSouth, 0},
        {"a blank field", kHeader + kNorth + "10.5\t \t12.5\t13.5\n" + kSouth, 0},
        {"a missing row", kHeader + kNorth + kMiddle, 0},
        {"a short row", kHeader + kNorth + "10.5\t11.5\t12.5\n" + kSouth, 0},
        {"nan", kHeader + kNorth + kMiddle + "20\tnan\t22.25\t23\n", 0},
        {"-inf", kHeader + kNorth + "10.5\t-inf\t12.5\t13.5\n" + kSouth, 0},
        {"beyond a float", kHeader + kNorth + "10.5\t1e39\t12.5\t13.5\n" + kSouth, 0},
        {"no bytes", "", 0},
        // One byte beyond the buffer: a reader that cut the line there would
        // read its rest, the middle row, as the next line and succeed.
        {"a line of 32 767 characters and more",
            kHeader + padded(kNorth, 32767, ' ') + kMiddle + kSouth, 0},
        {"a long middle line", kHeader + kNorth + padded(kMiddle, 32767) + "\n" + kSouth, 0},
        {"a long last line without a line end", kHeader + kNorth + kMiddle + padded(kSouth, 100000),
            0},
        {"a long header",
            kHeader.substr(0, kHeader.size() - 1) + std::string(40000, ' ') + "\n" + rows, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        geoid g = leftover();
        EXPECT_EQ(load_text(c.text, &g), c.loads);
        if (c.loads)
            expect_good_grid(g);
        else
            expect_empty(g);
        invalidate_geoid(&g);
    }
    geoid g = leftover();
    EXPECT_EQ(load_EGM96("/nonexistent/egm96.grd", &g, nullptr), 0);
    expect_empty(g);
    EXPECT_EQ(load_EGM96(kGoodFile.c_str(), nullptr, nullptr), 0);
}

// The callback has no user pointer: it logs here (tests run one at a time).
std::vector<double> fractions;
std::size_t cancel_at = 0; // 1-based call that cancels; 0: never

int log_progress(double fraction)
{
    fractions.push_back(fraction);
    return fractions.size() == cancel_at;
}

TEST(LoadEgm96, ProgressPerRowAndCancel)
{
    const std::vector<double> all {1.0 / 3, 2.0 / 3, 1.0}; // k / rows before row k is read
    for (std::size_t cancel : {0, 1, 3}) {
        SCOPED_TRACE(cancel);
        fractions.clear();
        cancel_at = cancel;
        geoid g = leftover();
        EXPECT_EQ(load_EGM96(kGoodFile.c_str(), &g, log_progress), cancel == 0 ? 1 : 0);
        EXPECT_EQ(fractions, std::vector<double>(all.begin(), all.begin() + (cancel ? cancel : 3)))
            << "no call after a cancel";
        if (cancel)
            expect_empty(g);
        invalidate_geoid(&g);
    }
}

} // namespace
