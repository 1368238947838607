// load_EGM96 on tiny grid files: the good one, the forms this loader also
// accepts, and malformed ones, each of which must leave the geoid empty.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <cfloat>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

// 50..52 N, 10..13 E in one-degree steps (exact in radians), northern row first.
const std::string kGoodFile = std::string(KELVADRA_TEST_DATA_DIR) + "/geoid_good.grd";
const std::string kGood = file_bytes(kGoodFile);
const std::string kHeader = kGood.substr(0, kGood.find('\n') + 1);
const std::string kNorth = "0.1\t1.25\t-2.5\t3.75\n", kMiddle = "10.5\t11.5\t12.5\t13.5\n",
                  kSouth = "20\t-0.001\t22.25\t23\n";

// The good file with the first `from` replaced.
std::string with(const std::string &from, const std::string &to)
{
    return std::string(kGood).replace(kGood.find(from), from.size(), to);
}

// A data line of `length` characters: the row, then one long field beyond it.
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

// Loaded: the good file's exact degrees and values, row by row from the south
// (the file's last line first). Refused: the geoid left empty.
void expect_loaded(const geoid &g, bool loaded)
{
    const geoid_data &d = g.grid;
    if (!loaded) {
        EXPECT_TRUE(d.values == nullptr && d.rows == -1 && d.cols == -1 && d.lat_min == DBL_MAX
            && d.lon_step == DBL_MAX && g.refsys.type == 0 && g.refsys.datum == 0)
            << "geoid not left empty";
        return;
    }
    ASSERT_EQ(check_geoid(&g), 1);
    EXPECT_TRUE(g.refsys.type == KV_TYPE_GEODETIC && g.refsys.datum == KV_DATUM_WGS84);
    EXPECT_TRUE(d.lat_min == 50 && d.lat_max == 52 && d.lon_min == 10 && d.lon_max == 13
        && d.lat_step == 1 && d.lon_step == 1 && d.rows == 3 && d.cols == 4)
        << "edges or steps not the exact degrees, or swapped";
    const float expected[]
        = {20, -0.001f, 22.25f, 23, 10.5f, 11.5f, 12.5f, 13.5f, 0.1f, 1.25f, -2.5f, 3.75f};
    for (int i = 0; i < 12; ++i) {
        float v = NAN;
        EXPECT_TRUE(get_geoid_data_value(&d, i / 4, i % 4, &v) && v == expected[i])
            << i << ": " << v;
    }
}

// Every file loads whole or leaves the geoid empty (under ru_RU.UTF-8 too).
TEST(LoadEgm96, FilesLoadWholeOrLeaveTheGeoidEmpty)
{
    const std::string step = " 0.017453292519943295";
    const std::tuple<const char *, std::string, int> cases[] = {
        {"the good file", kGood, 1},
        {"blanks and tabs, text after the values, CRLF, lines after the grid",
            "0.8726646259971648 \t  0.9075712110370513\t0.17453292519943295  0.22689280275926282"
                + step + step + " more\r\n0.1\t\t1.25\t-2.5\t3.75\t99\r\n\t" + kMiddle + kSouth
                + "garbage\n",
            1},
        {"32 766 characters and a line end",
            kHeader + padded(kNorth, 32766) + "\n" + kMiddle + kSouth, 1},
        {"32 767 characters ending the file", kHeader + kNorth + kMiddle + padded(kSouth, 32767),
            1},
        {"five header numbers", with(step + "\n", "\n"), 0},
        {"text in the header", with("0.9075712110370513", "north"), 0},
        {"east edge off a node", with("0.22689280275926282", "0.2268"), 0},
        {"text as a height", with("12.5", "abc"), 0},
        {"a blank field", with("11.5", " "), 0},
        {"a missing row", kHeader + kNorth + kMiddle, 0},
        {"a short row", with("\t13.5", ""), 0},
        {"nan", with("-0.001", "nan"), 0},
        {"beyond a float", with("11.5", "1e39"), 0},
        {"no bytes", "", 0},
        // A reader that cut the line there would read its rest as the next row.
        {"32 767 characters and more", kHeader + padded(kNorth, 32767, ' ') + kMiddle + kSouth, 0},
        {"32 767 characters and a line end",
            kHeader + kNorth + padded(kMiddle, 32767) + "\n" + kSouth, 0},
        {"a long line ending the file", kHeader + kNorth + kMiddle + padded(kSouth, 100000), 0},
        {"a long header", with("\n", std::string(40000, ' ') + "\n"), 0},
    };
    for (const auto &[why, text, loads] : cases) {
        SCOPED_TRACE(why);
        geoid g = leftover();
        const TempFile file;
        EXPECT_EQ(load_EGM96(file.write(text).c_str(), &g, nullptr), loads);
        expect_loaded(g, loads);
        invalidate_geoid(&g);
    }
    geoid g = leftover();
    EXPECT_EQ(load_EGM96("/nonexistent/egm96.grd", &g, nullptr), 0);
    expect_loaded(g, false);
    EXPECT_EQ(load_EGM96(kGoodFile.c_str(), nullptr, nullptr), 0);
}

// k / rows before row k is read; the callback has no user pointer: it logs
// here. A cancel (at call 1 or 3; 0: never) is the last call and loads nothing.
std::vector<double> fractions;
std::size_t cancel_at = 0;

TEST(LoadEgm96, ProgressPerRowAndCancel)
{
    const auto log
        = [](double f) { return fractions.push_back(f), int(fractions.size() == cancel_at); };
    const double all[] = {1.0 / 3, 2.0 / 3, 1.0};
    for (std::size_t cancel : {0, 1, 3}) {
        fractions.clear();
        cancel_at = cancel;
        geoid g = leftover();
        EXPECT_EQ(load_EGM96(kGoodFile.c_str(), &g, log), cancel == 0) << cancel;
        EXPECT_EQ(fractions, std::vector<double>(all, all + (cancel ? cancel : 3))) << cancel;
        expect_loaded(g, !cancel);
        invalidate_geoid(&g);
    }
}

} // namespace
