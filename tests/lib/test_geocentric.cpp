// Ellipsoids, datum shifts (against the PROJ reference's table), geocentric.
#include "kelvadra_internal.h"
#include "proj_reference.h"
#include "test_util.h"

#include <array>
#include <cmath>
#include <iomanip>
#include <random>
#include <tuple>
#include <vector>

using namespace kelvadra;

namespace {

const datum_shift kSentinel = {1, 2, 3, 4, 5, 6, 7};

bool same(const datum_shift &a, const datum_shift &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A table row converted as the library must: mas * kMilliArcSecond, ppm * 1e-6.
datum_shift fromTable(int datum, double sign = 1)
{
    const projref::Datum &d = projref::datum_of(datum);
    return {sign * d.dx, sign * d.dy, sign * d.dz, sign * (d.rx_mas * 4.84813681109536e-9),
        sign * (d.ry_mas * 4.84813681109536e-9), sign * (d.rz_mas * 4.84813681109536e-9),
        sign * (d.s_ppm * 1e-6)};
}

ellipsoid byCode(int code)
{
    ellipsoid e = {0, 0};
    EXPECT_EQ(ellipsoid_by_code(code, &e), 1) << code;
    return e;
}

} // namespace

TEST(Datums, EllipsoidsAndTableRows)
{
    for (int datum : projref::kDatums) {
        ellipsoid e = {-1, -1};
        datum_shift to = kSentinel, from = kSentinel;
        ASSERT_EQ(
            ellipsoid_of_datum(datum, &e) + datum_to_hub(datum, &to) + hub_to_datum(datum, &from),
            3);
        // The nearest double to 1/rf and 1.0/rf may be one unit apart (WGS 84).
        EXPECT_TRUE(e.a == projref::datum_of(datum).a
            && std::fabs(e.f - 1.0 / projref::datum_of(datum).rf) <= 5e-19)
            << datum << std::setprecision(17) << ": " << e.a << ", " << e.f;
        // Bit for bit; the reverse is the negated row.
        EXPECT_TRUE(same(to, fromTable(datum)) && same(from, fromTable(datum, -1))) << datum;
    }
    // 80 is an ellipsoid code, not a datum code: unknown, output untouched.
    for (int datum : {0, 80, 1234}) {
        ellipsoid e = {-1, -1};
        datum_shift s = kSentinel;
        EXPECT_TRUE(
            ellipsoid_of_datum(datum, &e) + datum_to_hub(datum, &s) + hub_to_datum(datum, &s) == 0
            && e.a == -1 && same(s, kSentinel))
            << datum;
    }
}

TEST(Datums, ShiftBetween)
{
    const datum_shift identity = {0, 0, 0, 0, 0, 0, 0};
    const datum_shift p42 = fromTable(42), w84 = fromTable(84), back84 = fromTable(84, -1);
    // 2: composed through the hub, first order only, each direction on its own.
    datum_shift composed = compose_shifts(p42, back84);
    const std::tuple<int, int, int, datum_shift> cases[]
        = {{84, 84, 1, identity}, {1234, 1234, 1, identity} /* equal codes need no table */,
            {84, 9011, 1, w84}, {9011, 84, 1, back84}, {42, 84, 2, composed},
            {84, 42, 2, compose_shifts(w84, fromTable(42, -1))}, {42, 1234, 0, kSentinel},
            {9011, 1234, 0, kSentinel}, {0, 84, 0, kSentinel}};
    for (const auto &[from, to, result, want] : cases) {
        datum_shift s = kSentinel;
        EXPECT_TRUE(shift_between(from, to, &s) == result && same(s, want)) << from << " -> " << to;
    }
    EXPECT_TRUE(composed.wx == 0.0 && composed.dm == p42.dm + back84.dm + p42.dm * back84.dm)
        << "equal rotations cancel exactly: " << composed.wx << "; scale " << composed.dm;

    // As the two in turn: cross terms ~0.1 m, dropped second-order ones ~1e-5 m.
    const datum_shift first = {1.0e5, -2.0e5, 1.5e5, 1.0e-6, -2.0e-6, 1.5e-6, 2.0e-6};
    const datum_shift second = {-3.0e5, 1.0e5, 0.5e5, -1.2e-6, 0.8e-6, 2.1e-6, -1.5e-6};
    const affine a1 = helmert_affine(first), a2 = helmert_affine(second);
    const affine a12 = helmert_affine(compose_shifts(first, second));
    const double points[][3] = {{2.8e6, 2.2e6, 5.2e6}, {-4.0e6, 3.0e6, -3.5e6}, {0, 0, -6.36e6}};
    for (const auto &p : points) {
        double mid[3], twoSteps[3], oneStep[3];
        affine_apply(a1, p, mid);
        affine_apply(a2, mid, twoSteps);
        affine_apply(a12, p, oneStep);
        EXPECT_LE(projref::distance_m(1, oneStep, twoSteps), 1e-4) << p[0];
    }
}

// Tolerance 0 unless given (radians, metres; NaN: not checked). Below a/2
// the result is the standard's iteration (evaluated apart) to the bit.
TEST(Geocentric, KnownPoints)
{
    const std::tuple<const char *, int, double, double, double, double, double, double, double>
        cases[] = {
            {"equator", 84, 6378137, 0, 0, 0, 0, 0, 0},
            {"antimeridian, Y = -0 stays +pi", 84, -6378137, -0.0, 0, 0, kPi, 0, 0},
            {"Y = 0, X < 0 off the equator", 84, -3e6, 0, 4e6, kNaN, kPi, kNaN, 0},
            {"north pole", 84, 0, 0, 6356752.314245179, kHalfPi, 0, 0, 1e-8},
            {"centre of the Earth", 84, 0, 0, 0, 0, 0, -6378137, 0},
            {"deep", 84, 1.5e6, 1.2e6, 1.7e6, 0.7327461789690437, 0.67474094222355263,
                -3803514.4558085403, 0},
            {"deep, third quadrant", 84, -2.0e6, -0.3e6, -1.1e6, -0.50602878541825469,
                -2.992702705980296, -4071017.6967745526, 0},
            {"deep, near the centre", 42, 0.4e6, -0.2e6, 0.3e6, 0.62863183095457309,
                -0.46364760900080609, -5832726.8205763875, 0},
        };
    for (const auto &[what, code, x, y, z, B, L, H, tol] : cases) {
        const double xyz[3] = {x, y, z};
        double blh[3];
        ASSERT_EQ(geocentric_to_geodetic(byCode(code), xyz, blh), 1) << what;
        EXPECT_TRUE((std::isnan(B) || std::fabs(blh[0] - B) <= tol) && std::fabs(blh[1] - L) <= tol
            && (std::isnan(H) || std::fabs(blh[2] - H) <= tol))
            << what << std::setprecision(17) << ": " << blh[0] << ", " << blh[1] << ", " << blh[2];
    }
    // e2 = 1 makes 1 - e2 sin2 B vanish at the pole.
    const double pole[3] = {kHalfPi, 0, 0};
    double out[3] = {7, 8, 9};
    EXPECT_EQ(geodetic_to_geocentric({6378137, 1.0}, pole, out), 0);
    EXPECT_TRUE(out[0] == 7 && out[1] == 8 && out[2] == 9);
}

// Within 1e-12 rad (6 um) and 1e-8 m; points centimetres from a pole or the
// meridians +-90 deg catch arcsines of Z/r or Y/D, which lose up to 3e-9 rad.
TEST(Geocentric, RoundTrips)
{
    std::vector<double> latitudes;
    for (int i = -90000; i <= 90000; i += 13)
        latitudes.push_back(deg_to_rad(i * 0.001));
    for (double d : {1e-8, 1e-10, 1e-12, 1e-15, 0.0})
        latitudes.insert(latitudes.end(), {d, -d, kHalfPi - d, d - kHalfPi});
    const double longitudes[]
        = {-179.5, -90.000001, -89.999999, -2, 37.6, 89.999999, 90.000001, 180};
    for (int code : {42, 80, 84, 90, 2011}) {
        const ellipsoid e = byCode(code);
        int k = 0;
        for (double lat : latitudes) {
            for (double h : {-1e4, -500.0, 0.0, 3000.0}) {
                const double lon = deg_to_rad(longitudes[k++ % 8]), blh[3] = {lat, lon, h};
                double xyz[3], got[3];
                ASSERT_EQ(
                    geodetic_to_geocentric(e, blh, xyz) + geocentric_to_geodetic(e, xyz, got), 2);
                // The longitude of a pole is 0.
                const double dL
                    = std::fabs(lat) < kHalfPi ? std::remainder(got[1] - lon, kTwoPi) : 0;
                ASSERT_TRUE(got[1] > -kPi && got[1] <= kPi && std::fabs(got[0] - lat) <= 1e-12
                    && std::fabs(dL) <= 1e-12 && std::fabs(got[2] - h) <= 1e-8)
                    << code << " " << lat << " " << lon << " " << h << ": " << got[0] - lat
                    << " rad, " << dL << " rad, " << got[2] - h << " m";
            }
        }
    }
}

// Near the centre: 85 iterations accepted, 130 refused (limit 100); an arcsine
// beyond 1 and non-finite input fail; huge input never succeeds as non-finite.
TEST(Geocentric, IterationLimitAndNonFiniteInput)
{
    const ellipsoid e = byCode(84);
    const double slow[3] = {27959.64517353734, 0, 41451.878627752085};
    double blh[3], xyz[3];
    ASSERT_EQ(geocentric_to_geodetic(e, slow, blh) + geodetic_to_geocentric(e, blh, xyz), 2);
    EXPECT_LE(projref::distance_m(1, xyz, slow), 1e-6);
    const auto finite = [](const double *q) {
        return std::isfinite(q[0]) && std::isfinite(q[1]) && std::isfinite(q[2]);
    };
    const double points[][3] = {{18730.3296707956, 0, 46359.192728339374}, {1, 0, 1}, {kNaN, 0, 0},
        {0, kNaN, 0}, {0, 0, kNaN}, {kInf, 0, 0}, {0, -kInf, 0}, {0.5, 0.5, kInf}, // refused
        {1e200, 1e200, 1e200}, {DBL_MAX, DBL_MAX, 0}, {0.5, 0.5, -DBL_MAX}, {1e300, -1e300, 1}};
    for (int i = 0; i < 12; ++i) {
        double out[3] = {7, 8, 9}, fwd[3];
        const int inverse = geocentric_to_geodetic(e, points[i], out);
        const int forward = geodetic_to_geocentric(e, points[i], fwd);
        EXPECT_TRUE((i < 8 ? !inverse && out[0] == 7 && out[1] == 8 && out[2] == 9
                           : !inverse || finite(out))
            && (!forward || finite(fwd)))
            << points[i][0] << " " << points[i][1] << " " << points[i][2] << ": " << inverse << ", "
            << out[0] << "; " << forward << ", " << fwd[0];
    }
}

// The inline sines of a latitude and a longitude within 4 ulp of the C library's at the edges of
// their branches (0, pi/4, pi/2, 3pi/4, pi) and at random; beyond their ranges the library's own.
TEST(Geocentric, InlineSinesAsTheLibrarys)
{
    std::vector<double> xs = {0.0, 1e-300, 0.7853981633974483, 0.7853981633974484, kHalfPi,
        std::nextafter(kHalfPi, 4.0), 2.356194490192345, 2.3561944901923453,
        std::nextafter(kPi, 0.0), kPi, 3.1415926535897936, 7.0};
    std::mt19937_64 random(1);
    for (int i = 0; i < 100000; ++i)
        xs.push_back(std::uniform_real_distribution<double>(0.0, kPi)(random));
    const auto near = [](double a, double b) {
        return std::fabs(a - b) <= 4.0 * (std::nextafter(std::fabs(b), HUGE_VAL) - std::fabs(b));
    };
    for (const double x : xs) {
        for (const double angle : {x, -x}) {
            double sl, cl, sL, cL, s, c;
            sin_cos_latitude(angle, &sl, &cl), sin_cos_longitude(angle, &sL, &cL);
            sincos(angle, &s, &c);
            EXPECT_TRUE(near(sl, s) && near(cl, c) && near(sL, s) && near(cL, c)
                && (x <= kHalfPi || (sl == s && cl == c)) && (x <= kPi || (sL == s && cL == c)))
                << std::setprecision(17) << angle << ": " << sl - s << " " << cl - c << " "
                << sL - s << " " << cL - c;
        }
    }
}

// An affine step is usable only with a positive determinant above 1e-10, whichever entries make
// it: the cyclic turns of the axes are, their mirror images and a nearly flat matrix are not.
TEST(Affine, UsableByItsDeterminant)
{
    using M = std::array<std::array<double, 3>, 3>;
    const std::pair<M, int> cases[] = {{{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, 1},
        {{{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}}, 1}, {{{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}}, 1},
        {{{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}}}, 0}, {{{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}}, 0},
        {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 2e-10}}}, 1}, {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1e-10}}}, 0}};
    for (const auto &[m, usable] : cases) {
        affine a {};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                a.matrix[r][c] = m[r][c];
        EXPECT_EQ(affine_is_set(a), usable) << m[0][0] << m[0][1] << m[0][2] << m[2][2];
    }
    // Nearly flat with every entry in play: the rows of a turn about a skew axis, r0, r1 and
    // r0 + r1 + eps r2, whose determinant is eps itself.
    const double a = 0.5, b = 0.7, c = 0.9, sa = std::sin(a), ca = std::cos(a), sb = std::sin(b),
                 cb = std::cos(b), sc = std::sin(c), cc = std::cos(c);
    const M turn = {{{cc * cb, cc * sb * sa - sc * ca, cc * sb * ca + sc * sa},
        {sc * cb, sc * sb * sa + cc * ca, sc * sb * ca - cc * sa}, {-sb, cb * sa, cb * ca}}};
    for (const double eps : {2e-10, 5e-11}) {
        affine t {};
        for (int k = 0; k < 3; ++k) {
            t.matrix[0][k] = turn[0][k], t.matrix[1][k] = turn[1][k];
            t.matrix[2][k] = turn[0][k] + turn[1][k] + eps * turn[2][k];
        }
        EXPECT_EQ(affine_is_set(t), eps > 1e-10 ? 1 : 0) << eps;
    }
    affine unset {};
    affine_unset(&unset);
    EXPECT_EQ(affine_is_set(unset), 0);
}
