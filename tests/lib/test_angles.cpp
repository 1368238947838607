// Angle helpers, the locale-independent number scanner (every suite also runs
// under ru_RU.UTF-8) and reference-system records.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <locale.h>
#include <tuple>

using namespace kelvadra;

namespace {

TEST(Angles, FixedArithmetic)
{
    // 0.1 / kDegree and 0.1 * (1 / kDegree) differ in the last bit; tolerance 0: bit for bit.
    const std::tuple<double (*)(double), double, double, double, const char *> cases[] = {
        {rad_to_deg, 0.1, 5.729577951308232, 0, "divided by the degree"},
        {deg_to_rad, 55.75, 0.9730210579868387, 0, "times the degree"},
        {mas_to_rad, -2.30, -1.1150714665519327e-08, 0, "milliarcseconds"},
        {normalize_angle_pi, kPi, kPi, 0, "+pi kept"},
        {normalize_angle_pi, 3 * kHalfPi, -kHalfPi, 1e-15, "needs the second subtraction"},
        {normalize_angle_pi, 100.0, 100.0 - 16 * kTwoPi, 1e-13, "many turns"},
        {normalize_latitude_rad, 2.0, kHalfPi, 0, "clamped, pi - 2 would be a fold"},
        {normalize_latitude_rad, -2.0, -kHalfPi, 0, "clamped south"},
        {normalize_latitude_rad, kTwoPi + 0.5, 0.5, 1e-15, "reduced first"},
        {normalize_positive_longitude_deg, -725, 355, 0, "two turns west"},
        {normalize_positive_longitude_deg, 360, 0, 0, "a turn is 0"},
        {normalize_positive_longitude_deg, -1e15 - 5, 75, 0, "past 1e15 by the remainder"},
    };
    for (const auto &[fn, in, want, tol, why] : cases) {
        const double out = fn(in);
        EXPECT_TRUE(tol ? std::fabs(out - want) <= tol : same_bits(&out, &want))
            << why << ": " << in << " -> " << out << ", want " << want;
    }
    // -1e-14 + 360 rounds to 360; beyond 1e17 a quotient by 360 loses turns.
    for (double x : {-1e-14, 720.0 - 1e-13, -8.680727225230975e17, -DBL_MAX}) {
        const double out = normalize_positive_longitude_deg(x),
                     exact = std::fmod(std::fmod(x, 360.0) + 360.0, 360.0);
        EXPECT_TRUE(out >= 0.0 && out < 360.0 && (std::fabs(out - exact) < 1e-13 || out == 0))
            << x << " -> " << out;
    }
}

TEST(ParseDms, ReadingsAndFailures)
{
    // The reading wanted; NaN: refused, the output untouched.
    const std::tuple<const char *, double, const char *> cases[] = {
        {"55 45 30", 55 + 45.0 / 60 + 30.0 / 3600, "degrees, minutes, seconds"},
        {"  12.5 ", 12.5, "a decimal point in every locale"},
        {"-37 30.6", -(37 + 30.6 / 60), "leading minus"},
        {"10 -30", -30.0, "a minus anywhere: reading restarts after it"},
        {"37 30-15", -15.0, "only the first minus counts"},
        {"55 45'30", 55.75, "a stray character ends the reading"},
        {"55,5", 55.0, "a comma is no decimal point"},
        {"", kNaN, "nothing"},
        {"-", kNaN, "no number"},
        {"10 20 1e999", kNaN, "not finite"},
        {"10 -nan", kNaN, "not a number"},
        {nullptr, kNaN, "no text"},
    };
    for (const auto &[text, want, why] : cases) {
        double out = 123.25;
        EXPECT_TRUE(parse_dms_string(text, &out) == !std::isnan(want)
            && out == (std::isnan(want) ? 123.25 : want))
            << why << ": " << (text ? text : "null") << " -> " << out;
    }
    EXPECT_EQ(parse_dms_string("55", nullptr), 0);
}

template <class T> struct Scan
{
    int (*f)(const char *, const char **, T *);
    T (*reference)(const char *, char **, locale_t);
};

// scan_double and scan_float read what strtod and strtof read in the "C" locale: value and end.
TEST(Scanner, LikeStrtodInTheCLocale)
{
    const char *texts[] = {"  -12.25e2x", " +.5", "5.", "-Infinity", "nan", "1e999", "-1e-400",
        "abc", ".", "-", "3,5", "1.5.5", "1e5e", "4.9e-324", "123456789012345678901234567890",
        "1.7976931348623159e308", "1e39", "1e-50", "1e99999", "-1e-99999", "0x1.8p3", "-0X.Ap-2z",
        "0x", "0xg", "0x.p1", "0x1p99999", "0x1p-99999", "nan(abc_1)", "nan(ab", "infinityx",
        "inFx", "1e+", "1e-x", "0xFf.fp-1", "0x.aP1", "nan(_9Z)x", "nan()x", "\t\n\v\f\r 7"};
    locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    const auto check = [c](const char *t, auto scan) {
        char *used = nullptr;
        const auto want = scan.reference(t, &used, c);
        auto v = decltype(want)(-42);
        const char *end = nullptr;
        const int ok = scan.f(t, &end, &v); // untouched on failure
        EXPECT_TRUE(ok == (used != t)
            && (used == t ? v == -42 && end == nullptr
                          : end == used
                        && (std::isnan(want) ? std::isnan(v)
                                             : std::memcmp(&v, &want, sizeof v) == 0)))
            << "\"" << t << "\" in " << sizeof v << " bytes: " << ok << ", " << v << ", want "
            << want;
    };
    for (const char *t : texts) {
        check(t, Scan<double> {scan_double, strtod_l});
        check(t, Scan<float> {scan_float, strtof_l});
    }
    freelocale(c);
    // Just above 1 + 2^-24: rounded through a double it would become 1.
    float f = 0;
    const char *end = nullptr;
    EXPECT_TRUE(scan_float("1.00000005960464477539062500001", &end, &f) && f == 1.00000012f) << f;
    double got[3] = {-1, -1, -1};
    EXPECT_TRUE(scan_doubles("1 2 3", got, 2) == 2 && got[2] == -1) << "wrote beyond count";
}

// Values no set-up writes, to see what is reset and what is kept.
refsystem garbage()
{
    return {77, 5, {1, 2, 3}, 9, 7, {11, 12, 13, 14, 15}, 3};
}

TEST(Refsystem, SetupAcceptanceAndReset)
{
    const double origin[3] = {0.97, -0.66, -12.5}, unset[3] = {DBL_MAX, DBL_MAX, DBL_MAX};
    const struct
    {
        const char *call;
        std::function<int(refsystem *)> setup;
        int type, datum, zone, hemisphere, axis; // type 0: refused and reset
    } cases[] = {
        {"invalidate", [](refsystem *r) { return invalidate_refsystem(r), 0; }, 0, 0, 0, 0, 0},
        {"geoc(1234)", [](refsystem *r) { return setup_geoc(1234, r); }, 1, 1234, -1, 0, 0},
        {"lsr(42)", [&](refsystem *r) { return setup_lsr(42, origin, r); }, 3, 42, -1, 0, 0},
        {"lsr(null origin)", [](refsystem *r) { return setup_lsr(42, nullptr, r); }, 0, 0, 0, 0, 0},
        {"sk42(0, 0) automatic", [](refsystem *r) { return setup_sk42(0, 0, r); }, 4, 42, 0, 0, 0},
        {"sk42(60, 2)", [](refsystem *r) { return setup_sk42(60, 2, r); }, 4, 42, 60, 2, 0},
        {"sk42(61, 1)", [](refsystem *r) { return setup_sk42(61, 1, r); }, 0, 0, 0, 0, 0},
        {"sk42(-1u, 1)", [](refsystem *r) { return setup_sk42(~0u, 1, r); }, 0, 0, 0, 0, 0},
        {"sk95(12, 1)", [](refsystem *r) { return setup_sk95(12, 1, r); }, 4, 95, 12, 1, 0},
        {"gsk2011(7, 1)", [](refsystem *r) { return setup_gsk2011(7, 1, r); }, 5, 2011, -1, 0, 1},
        {"gsk2011(7, 0)", [](refsystem *r) { return setup_gsk2011(7, 0, r); }, 0, 0, 0, 0, 0},
        {"utm(37, 1)", [](refsystem *r) { return setup_utm(37, 1, r); }, 5, 84, -1, 0, 2},
        {"gk(2011, 7, 3)", [](refsystem *r) { return setup_gk(2011, 7, 3, r); }, 5, 2011, -1, 0, 1},
        {"gk(84, 7, 0)", [](refsystem *r) { return setup_gk(84, 7, 0, r); }, 0, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        refsystem r = garbage();
        EXPECT_EQ(c.setup(&r) + check_refsystem(&r), c.type ? 2 : 0) << c.call;
        EXPECT_TRUE(r.type == c.type && r.datum == c.datum && r.zone == (c.type ? c.zone : -1)
            && r.hemisphere == c.hemisphere)
            << c.call << ": " << r.type << ", " << r.datum << ", " << r.zone << ", "
            << r.hemisphere;
        EXPECT_TRUE(same_bits(r.origin, c.type == 3 ? origin : unset, 3)) << c.call << " origin";
        // A reset keeps what the program may still show while scale_factor is 0.
        EXPECT_TRUE(c.type == 5 ? r.axis_order == c.axis
                                : r.projection.scale_factor == 0.0
                    && (c.type || (r.projection.central_meridian == 11 && r.axis_order == 3)))
            << c.call;
    }
    invalidate_refsystem(nullptr);
    EXPECT_EQ(check_refsystem(nullptr) + setup_geod(84, nullptr) + setup_lsr(84, origin, nullptr)
            + setup_sk42(7, 1, nullptr) + setup_gk(84, 7, 1, nullptr),
        0);
}

// Every zone (central meridians to 1e-15 rad); any hemisphere but 1 is south.
TEST(Refsystem, ZoneProjections)
{
    for (unsigned n = 1; n <= 60; ++n) {
        for (int h : {1, 2, 3}) {
            refsystem r[3]; // GK on WGS 90, GSK 2011, UTM
            ASSERT_TRUE(
                setup_gk(90, n, h, &r[0]) && setup_gsk2011(n, h, &r[1]) && setup_utm(n, h, &r[2]));
            for (int i = 0; i < 3; ++i) {
                const tm_projection &p = r[i].projection;
                const bool utm = i == 2;
                EXPECT_TRUE(
                    std::fabs(p.central_meridian - (6.0 * n - (utm ? 183 : 3)) * kPi / 180) <= 1e-15
                    && p.origin_latitude == 0.0 && p.scale_factor == (utm ? 0.9996 : 1.0)
                    && p.false_easting == (utm ? 5e5 : n * 1e6 + 5e5)
                    && p.false_northing == (h == 1 ? 0.0 : 1e7) && r[i].axis_order == (utm ? 2 : 1))
                    << "zone " << n << " hemisphere " << h << ", system " << i << ": "
                    << p.central_meridian << ", " << p.scale_factor << ", " << p.false_easting
                    << ", " << p.false_northing << ", " << r[i].axis_order;
            }
        }
    }
}

TEST(Refsystem, CheckByType)
{
    // Type, datum, zone, axes, usable; origin latitude and height, scale factor.
    const std::tuple<const char *, int32_t, int32_t, int32_t, int32_t, int32_t, double, double,
        double>
        cases[] = {
            {"type 0", 0, 84, -1, 1, 0, 0, 0, 1},
            {"geocentric no datum", 1, 0, -1, 0, 0, 0, 0, 0},
            {"local latitude unset", 3, 42, -1, 0, 0, DBL_MAX, 100, 0},
            {"local height unset", 3, 42, -1, 0, 0, 0.9, DBL_MAX, 0},
            {"local NaN counts as set", 3, 42, -1, 0, 1, kNaN, kNaN, 0},
            {"GK zone 60, datum 0", 4, 0, 60, 0, 1, 0, 0, 0},
            {"GK zone 61", 4, 42, 61, 0, 0, 0, 0, 0},
            {"projected scale NaN", 5, 84, 7, 1, 0, 0, 0, kNaN},
            {"projected axis 0", 5, 84, -1, 0, 0, 0, 0, 1},
            {"projected no datum", 5, 0, -1, 1, 0, 0, 0, 1},
        };
    for (const auto &[what, type, datum, zone, axis, usable, origin0, origin2, scale] : cases) {
        refsystem r = garbage();
        r.type = type, r.datum = datum, r.zone = zone, r.axis_order = axis;
        r.origin[0] = origin0, r.origin[2] = origin2, r.projection.scale_factor = scale;
        EXPECT_EQ(check_refsystem(&r), usable) << what;
    }
}

} // namespace
