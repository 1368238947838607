// Angle helpers and the locale-independent number scanner.
#include "kelvadra.h"
#include "kelvadra_internal.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>

using namespace kelvadra;

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Runs a sscanf in the "C" locale, the behaviour the scanner must copy.
class CLocaleScope
{
public:
    CLocaleScope() : c_(newlocale(LC_ALL_MASK, "C", nullptr)), old_(uselocale(c_)) {}
    ~CLocaleScope()
    {
        uselocale(old_);
        freelocale(c_);
    }

private:
    locale_t c_;
    locale_t old_;
};

// Switches the whole process to a decimal-comma locale, as a Qt program on a
// Russian desktop does; skips when the locale is not installed.
class RussianLocaleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved_ = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "ru_RU.UTF-8"))
            GTEST_SKIP() << "ru_RU.UTF-8 is not installed (tools/deps.sh generates it)";
        double v = 0;
        ASSERT_EQ(std::sscanf("55,5", "%lf", &v), 1);
        ASSERT_EQ(v, 55.5) << "the locale must use the decimal comma for this test to mean anything";
    }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

} // namespace

TEST(AngleUnits, ConstantsAndOrderOfOperations)
{
    EXPECT_EQ(deg_to_rad(90.0), kHalfPi);
    EXPECT_EQ(deg_to_rad(180.0), kPi);
    EXPECT_EQ(deg_to_rad(55.75), 0.9730210579868387);
    // 0.1 / kDegree and 0.1 * (1 / kDegree) differ in the last bit.
    EXPECT_EQ(rad_to_deg(0.1), 5.729577951308232);
    EXPECT_EQ(rad_to_deg(kHalfPi), 90.0);
    EXPECT_EQ(mas_to_rad(-2.30), -1.1150714665519327e-08);
    EXPECT_NEAR(mas_to_rad(3600.0 * 1000.0), kDegree, 1e-17);
}

TEST(AngleRanges, NormalizeAnglePi)
{
    struct Case
    {
        double in, expected, tolerance; // tolerance 0: bit for bit
    };
    const Case cases[] = {
        {kPi, kPi, 0},                   // both ends stay
        {-kPi, -kPi, 0},
        {0.0, 0.0, 0},
        {1.0, 1.0, 0},                   // inside: untouched
        {7.0, 7.0 - kTwoPi, 0},          // one turn off by floor()
        {-7.0, -7.0 + kTwoPi, 0},
        {3 * kHalfPi, -kHalfPi, 1e-15},  // needs the second subtraction
        {-3 * kHalfPi, kHalfPi, 1e-15},
        {kTwoPi, 0.0, 1e-15},
        {100.0, 100.0 - 16 * kTwoPi, 1e-13}, // many turns: error grows with the count
        {-100.0, -100.0 + 16 * kTwoPi, 1e-13},
    };
    for (const Case &c : cases) {
        const double out = normalize_angle_pi(c.in);
        if (c.tolerance == 0)
            EXPECT_TRUE(sameBits(out, c.expected)) << c.in << " -> " << out;
        else
            EXPECT_NEAR(out, c.expected, c.tolerance) << c.in;
    }
    for (double x = -40.0; x <= 40.0; x += 0.37) {
        const double out = normalize_angle_pi(x);
        EXPECT_GE(out, -kPi) << x;
        EXPECT_LE(out, kPi) << x;
        EXPECT_NEAR(std::remainder(out - x, kTwoPi), 0.0, 1e-13) << x;
    }
}

TEST(AngleRanges, NormalizeLatitudeClampsInsteadOfFolding)
{
    EXPECT_EQ(normalize_latitude_rad(2.0), kHalfPi); // pi - 2 would be a fold
    EXPECT_EQ(normalize_latitude_rad(-2.0), -kHalfPi);
    EXPECT_EQ(normalize_latitude_rad(kPi - 0.1), kHalfPi);
    EXPECT_EQ(normalize_latitude_rad(0.5), 0.5);
    EXPECT_EQ(normalize_latitude_rad(-kHalfPi), -kHalfPi);
    EXPECT_NEAR(normalize_latitude_rad(kTwoPi + 0.5), 0.5, 1e-15); // reduced first
}

TEST(AngleRanges, NormalizePositiveLongitude)
{
    struct Case
    {
        double in, expected;
    };
    const Case cases[] = {
        {-10, 350}, {-360, 0}, {360, 0},       {725, 5},     {359.5, 359.5},
        {0, 0},     {-0.5, 359.5}, {720, 0},   {-725, 355},  {180, 180},
    };
    for (const Case &c : cases)
        EXPECT_EQ(normalize_positive_longitude_deg(c.in), c.expected) << c.in;
    // -1e-14 + 360 rounds to 360: the result must still lie below 360.
    for (double x : {-1e-14, -1e-300, -360.0 - 1e-13, 720.0 - 1e-13}) {
        const double out = normalize_positive_longitude_deg(x);
        EXPECT_GE(out, 0.0) << x;
        EXPECT_LT(out, 360.0) << x;
    }
}

TEST(ParseDms, Readings)
{
    struct Case
    {
        const char *text;
        double expected;
        const char *why;
    };
    const Case cases[] = {
        {"55 45 30", 45.0 / 60 + 55 + 30.0 / 3600, "three numbers"},
        {"10 20", 20.0 / 60 + 10, "three fail, two succeed"},
        {"12.5", 12.5, "one decimal number"},
        {"  55.5  ", 55.5, "blanks around"},
        {"-37 30", -37.5, "leading minus"},
        {"10 -30", -30.0, "a minus anywhere: reading restarts after it"},
        {"37 30-15", -15.0, "only the first minus counts"},
        {"- 5", -5.0, "blanks after the minus"},
        {"+5", 5.0, "explicit plus"},
        {"1e1 30", 10.5, "exponent form"},
        {"55 45'30", 55.75, "a stray character ends the reading"},
        {"55,5", 55.0, "a comma is no decimal point"},
        {"0 0 36", 0.01, "seconds alone"},
    };
    for (const Case &c : cases) {
        double out = 999;
        EXPECT_EQ(parse_dms_string(c.text, &out), 1) << c.why;
        EXPECT_DOUBLE_EQ(out, c.expected) << c.why << ": \"" << c.text << "\"";
    }
}

TEST(ParseDms, FailuresLeaveOutputUntouched)
{
    const char *texts[] = {"abc", "", "   ", "-", ".", "--", "nan", "inf", "-inf", "1e999",
                           "-1e999", "10 nan", "10 20 1e999", "Infinity", "10 -nan"};
    for (const char *t : texts) {
        double out = 123.25;
        EXPECT_EQ(parse_dms_string(t, &out), 0) << "\"" << t << "\"";
        EXPECT_EQ(out, 123.25) << "\"" << t << "\"";
    }
    double out = 123.25;
    EXPECT_EQ(parse_dms_string(nullptr, &out), 0);
    EXPECT_EQ(out, 123.25);
    EXPECT_EQ(parse_dms_string("55", nullptr), 0);
}

TEST_F(RussianLocaleTest, NumbersReadWithThePoint)
{
    double out = 0;
    ASSERT_EQ(parse_dms_string("55.5", &out), 1);
    EXPECT_EQ(out, 55.5);
    ASSERT_EQ(parse_dms_string("-37 30.6", &out), 1);
    EXPECT_DOUBLE_EQ(out, -(30.6 / 60 + 37));
    ASSERT_EQ(parse_dms_string("55,5", &out), 1);
    EXPECT_EQ(out, 55.0);

    const char *text = "12.75e1;";
    const char *end = nullptr;
    ASSERT_EQ(scan_double(text, &end, &out), 1);
    EXPECT_EQ(out, 127.5);
    EXPECT_EQ(end, text + 7);
    float f = 0;
    ASSERT_EQ(scan_float("-0.5", &end, &f), 1);
    EXPECT_EQ(f, -0.5f);
}

// scan_double must read what "%lf" reads in the "C" locale: value, and where
// the reading stops.
TEST(Scanner, DoubleLikeScanf)
{
    const char *texts[] = {"55.5",     "  -12.25e2x", " +.5",      "5.",      "inf",
                           "-Infinity", "nan",        "1e999",     "-1e-400", "abc",
                           "",          ".",          "-",         "3,5",     "1.5.5",
                           " \t\n7",    "1e5e",       "0.1",       "-0",      "4.9e-324",
                           "2.2250738585072011e-308", "123456789012345678901234567890",
                           "1.7976931348623157e308", "1.7976931348623159e308"};
    for (const char *t : texts) {
        double expected = 0;
        int used = -1;
        int n;
        {
            CLocaleScope c;
            n = std::sscanf(t, "%lf%n", &expected, &used);
        }
        double v = -42;
        const char *end = t - 1;
        const int r = scan_double(t, &end, &v);
        if (n != 1) {
            EXPECT_EQ(r, 0) << "\"" << t << "\"";
            EXPECT_EQ(v, -42) << "untouched on failure: \"" << t << "\"";
            EXPECT_EQ(end, t - 1) << "untouched on failure: \"" << t << "\"";
            continue;
        }
        ASSERT_EQ(r, 1) << "\"" << t << "\"";
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(v)) << "\"" << t << "\"";
        else
            EXPECT_TRUE(sameBits(v, expected)) << "\"" << t << "\": " << v << " vs " << expected;
        EXPECT_EQ(end - t, used) << "\"" << t << "\"";
    }
}

TEST(Scanner, FloatRoundedOnce)
{
    // Just above 1 + 2^-24: through a double it would round to 1.
    const char *text = "1.00000005960464477539062500001";
    float v = 0;
    const char *end = nullptr;
    ASSERT_EQ(scan_float(text, &end, &v), 1);
    EXPECT_EQ(v, 1.00000012f);
    EXPECT_EQ(end, text + std::strlen(text));
    ASSERT_EQ(scan_float("0.1", &end, &v), 1);
    EXPECT_EQ(v, 0.1f);
    ASSERT_EQ(scan_float("1e39", &end, &v), 1); // out of range: infinity, as "%f"
    EXPECT_EQ(v, std::numeric_limits<float>::infinity());
}

TEST(Scanner, DoublesCountLikeScanf)
{
    struct Case
    {
        const char *text;
        int count, expected;
    };
    const Case cases[] = {{"10 20", 3, 2},   {"10,20", 3, 1},  {"1 2 3 4", 3, 3}, {"", 3, 0},
                          {"x", 3, 0},       {"1\t2\n3", 3, 3}, {"1 x 3", 3, 1},   {"1 2 3", 2, 2},
                          {"1.5.5 2", 3, 3}, {"7 nan", 3, 2}};
    for (const Case &c : cases) {
        double got[3] = {-1, -1, -1};
        EXPECT_EQ(scan_doubles(c.text, got, c.count), c.expected) << "\"" << c.text << "\"";
        for (int i = c.count; i < 3; ++i)
            EXPECT_EQ(got[i], -1) << "wrote beyond count: \"" << c.text << "\"";
    }
    double got[3];
    ASSERT_EQ(scan_doubles(" 1.5.5 2", got, 3), 3); // "%lf" reads 1.5, then .5
    EXPECT_EQ(got[1], 0.5);
    EXPECT_EQ(got[2], 2.0);
}
