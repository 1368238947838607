// Transverse Mercator zones.
//
// Two engines that share no code:
//  - the national 6-degree Gauss-Krüger series of ГОСТ 32453-2017 on the
//    Krasovsky ellipsoid: fixed coefficients, zone number carried in front of
//    the easting. Degrees per radian are the rounded 57.29577951, so a
//    longitude exactly on a zone boundary falls into the western zone and the
//    effective central meridian lies cm·(180/π)/57.29577951 (up to 2 mm east
//    of the nominal one at 357°). Within a zone the series agree with the
//    exact projection on that meridian to 0.25 mm.
//  - the general ellipsoidal Transverse Mercator by Krüger's series to
//    order n^6 in the third flattening n (Karney, "Transverse Mercator with
//    an accuracy of a few nanometers", J. Geodesy 85 (2011) 475-485): the
//    conformal latitude (by the Taylor series of its closed form in sinφ),
//    the Gauss-Schreiber step, the complex series with coefficients alpha_j
//    (forward) and beta_j (inverse), the rectifying radius A from n; the
//    origin latitude's meridian distance is the same series on the central
//    meridian. Within
//    5 nm of the exact projection up to 3900 km from the meridian; against
//    GeographicLib's TransverseMercator 6 nm and 6e-14 deg within 6° on
//    the five ellipsoids (400 000 random points each).
// Deliberate departure: the general projection does not use Snyder's series
// ("Map Projections: A Working Manual", chapter 8, meridian distance cut at
// e^6) that the regional systems are usually described by. Those are 1 mm
// off the exact projection 3° from the meridian and 11 mm at 6°; results of
// this library differ from them by as much.
// Arithmetic of the series here: the small angles (ξ' - φ, η', the
// corrections of the inverse) are summed as their own short series where
// they are small, the double angles come from the half angles by
// identities, and each sum of sin 2jζ is a polynomial in cos 2ζ (see
// sine_series_powers), whose coefficients the record holds. Within a zone
// the forward way takes the sines and cosines of φ and of the longitude and
// no root, arctangent or hyperbolic call: the conformal latitude comes as
// tan χ cosφ and cosφ / cos χ, two polynomials in sin^2 φ. The inverse takes
// one root (an exponential more beyond 6.3 degrees of the meridian), and the
// latitude from the conformal one by the series of φ - χ in n (to n^6,
// within 1e-17 rad) instead of Newton's iteration. Independent sums of one
// point run side by side in SSE2 pairs; the forward way within a zone is
// also written for two points at once (tm_forward_pair), each with the bits
// of its own. Results agree with the plain formulas to the last few bits.
// Departures from the national series as
// printed: the multiple-angle sines come from one sine/cosine pair through
// the double-angle identities, and the series are nested as written here;
// both belong to the fixed arithmetic.
// Departure from the plain series: a negative longitude is turned east by
// whole turns in radians before ρ is applied (see turn_positive), so a
// western longitude gives the same point as its eastern equivalent.
#include "kelvadra_internal.h"

#include <cmath>
#include <cstdint>

namespace kelvadra {

namespace {

// Degrees per radian of the GOST series, rounded to eight decimals on purpose.
constexpr double kRho = 57.29577951;
// Length of the meridian arc per radian of latitude on Krasovsky (metres) and
// the semi-major axis (metres) as the series use them.
constexpr double kGkArc = 6367558.4968;
constexpr double kGkA = 6378245.0;
constexpr double kSouthFalseNorthing = 10000000.0;

bool zone_in_range(int zone)
{
    return zone >= 1 && zone <= 60;
}

// The zone a Gauss-Krüger easting names by its prefix (the millions of
// metres). Range-checked as a double so that a non-finite or huge easting
// never reaches the integer conversion; false, *zone untouched, outside 1..60.
bool zone_of_easting(double y, int *zone)
{
    const double prefix = std::floor(y * 0.000001);
    if (!(prefix >= 1.0 && prefix <= 60.0))
        return false;
    *zone = static_cast<int>(prefix);
    return true;
}

// A western longitude turned east in radians. The series' degrees are L·ρ
// with ρ a little under 180/π, so 360 of them fall 3.4e-10 rad short of a
// full turn: reduced after the multiplication, a longitude such as -170°
// would land up to 2 mm east of the same point given as 190°. Turned here,
// where a turn is exact, both give the same point; longitudes from 0 up are
// left to the reduction in degrees.
double turn_positive(double L)
{
    return L < 0.0 ? L + std::ceil(-L / kTwoPi) * kTwoPi : L;
}

} // namespace

namespace {

// The series of both directions, written once for one point (T = double)
// and for two side by side (T = double2): the same operations in the same
// order, so each point gets the bits of its own.

// x and y (without the south's false northing) of B, its sine and cosine,
// and l from the zone's meridian.
template <class T> void gk6_series_forward(int zone, T B, T sB, T cB, T l, T *x, T *y)
{
    const T s2 = sB * sB;
    const T s4 = s2 * s2;
    const T s6 = s2 * s4;
    const T l2 = l * l;
    const T sin2B = 2.0 * sB * cB;

    *x = kGkArc * B
        - sin2B
            * (16002.8900 + 66.9607 * s2 + 0.3515 * s4
                - l2
                    * (1594561.25 + 5336.535 * s2 + 26.790 * s4 + 0.149 * s6
                        + l2
                            * (672483.4 - 811219.9 * s2 + 5420.0 * s4 - 10.6 * s6
                                + l2
                                    * (278194 - 830174 * s2 + 572434 * s4 - 16010 * s6
                                        + l2
                                            * (109500 - 574700 * s2 + 863700 * s4
                                                - 398600 * s6)))));
    *y = (5 + 10 * zone) * 100000.0
        + l * cB
            * (6378245 + 21346.1415 * s2 + 107.1590 * s4 + 0.5977 * s6
                + l2
                    * (1070204.16 - 2136826.66 * s2 + 17.98 * s4 - 11.99 * s6
                        + l2
                            * (270806 - 1523417 * s2 + 1327645 * s4 - 21701 * s6
                                + l2 * (79690 - 866190 * s2 + 1730360 * s4 - 945460 * s6))));
}

// The foot latitude B0 of beta = x / kGkArc from sin beta and sin 2 beta.
template <class T> T gk6_foot_latitude(T beta, T sBeta, T sin2Beta)
{
    const T sBeta2 = sBeta * sBeta;
    const T sBeta4 = sBeta2 * sBeta2;
    return beta + sin2Beta * (0.00252588685 - 0.0000149186 * sBeta2 + 0.00000011904 * sBeta4);
}

// B and L from the foot latitude B0, its sine and cosine, and y.
template <class T> void gk6_series_inverse(int zone, T y, T B0, T sB0, T cB0, T *B, T *L)
{
    const T z0 = (y - (10 * zone + 5) * 100000.0) / (kGkA * cB0);
    const T z2 = z0 * z0;
    const T s2 = sB0 * sB0;
    const T s4 = s2 * s2;
    const T s6 = s2 * s4;
    const T sin2B0 = 2.0 * sB0 * cB0;

    const T dB = -z2 * sin2B0
        * (0.251684631 - 0.003369263 * s2 + 0.000011276 * s4
            - z2
                * (0.10500614 - 0.04559916 * s2 + 0.00228901 * s4 - 0.00002987 * s6
                    - z2
                        * (0.042858 - 0.025318 * s2 + 0.014346 * s4 - 0.001264 * s6
                            - z2 * (0.01672 - 0.0063 * s2 + 0.01188 * s4 - 0.00328 * s6))));
    const T l = z0
        * (1 - 0.0033467108 * s2 - 0.0000056002 * s4 - 0.0000000187 * s6
            - z2
                * (0.16778975 + 0.16273586 * s2 - 0.0005249 * s4 - 0.00000846 * s6
                    - z2
                        * (0.0420025 + 0.1487407 * s2 + 0.005942 * s4 - 0.000015 * s6
                            - z2
                                * (0.01225 + 0.09477 * s2 + 0.03282 * s4 - 0.00034 * s6
                                    - z2 * (0.0038 + 0.0524 * s2 + 0.0482 * s4 + 0.0032 * s6)))));

    *B = B0 + dB;
    *L = 6 * (zone - 0.5) / kRho + l;
}

// The longitude's difference from the zone's meridian, in radians.
double gk6_from_meridian(double L, int zone)
{
    const double lon = normalize_positive_longitude_deg(turn_positive(L) * kRho);
    return normalize_angle_pi((lon - (6 * zone - 3)) / kRho);
}

} // namespace

int gk6_forward(double B, double L, int zone, int hemisphere, double *x, double *y)
{
    if (zone == 0) {
        // Compared as a double first: a non-finite longitude must not reach
        // the integer conversion.
        const double lon = normalize_positive_longitude_deg(turn_positive(L) * kRho);
        const double automatic = std::floor((lon + 6.0) / 6.0);
        if (!(automatic >= 1.0 && automatic <= 60.0))
            return 0;
        zone = static_cast<int>(automatic);
    }
    if (!zone_in_range(zone))
        return 0;

    const double l = gk6_from_meridian(L, zone);
    double sB, cB;
    sin_cos(B, &sB, &cB);
    double nx, ny;
    gk6_series_forward(zone, B, sB, cB, l, &nx, &ny);

    if (hemisphere == KV_HEMISPHERE_AUTO)
        hemisphere = B < 0 ? KV_HEMISPHERE_SOUTH : KV_HEMISPHERE_NORTH;
    if (hemisphere == KV_HEMISPHERE_SOUTH)
        nx += kSouthFalseNorthing;
    *x = nx;
    *y = ny;
    return 1;
}

int gk6_inverse(double x, double y, int zone, int hemisphere, double *B, double *L)
{
    if (!zone_in_range(zone)
        || (hemisphere != KV_HEMISPHERE_NORTH && hemisphere != KV_HEMISPHERE_SOUTH))
        return 0;
    if (hemisphere == KV_HEMISPHERE_SOUTH)
        x -= kSouthFalseNorthing;

    const double beta = x / kGkArc;
    // Past a pole the series turns round and would give a point of the other side.
    if (!(std::fabs(beta) <= kHalfPi))
        return 0;
    double sBeta, cBeta, sB0, cB0;
    sin_cos_latitude(beta, &sBeta, &cBeta);
    const double B0 = gk6_foot_latitude(beta, sBeta, 2.0 * sBeta * cBeta);
    sin_cos_latitude(B0, &sB0, &cB0);
    if (cB0 == 0.0)
        return 0;
    gk6_series_inverse(zone, y, B0, sB0, cB0, B, L);
    return 1;
}

template <class V> bool gk6_forward_lanes(V B, V L, int zone, int hemisphere, V *x, V *y)
{
    constexpr int n = kLanes<V>;
    if (!zone_in_range(zone))
        return false;
    double l[n], sB[n], cB[n];
    for (int k = 0; k < n; ++k) {
        l[k] = gk6_from_meridian(L[k], zone);
        sin_cos(B[k], &sB[k], &cB[k]);
    }
    gk6_series_forward(zone, B, lanes_of<V>(sB), lanes_of<V>(cB), lanes_of<V>(l), x, y);
    if (hemisphere == KV_HEMISPHERE_NORTH)
        return true;
    double north[n];
    for (int k = 0; k < n; ++k) {
        const bool south
            = hemisphere == KV_HEMISPHERE_AUTO ? B[k] < 0 : hemisphere == KV_HEMISPHERE_SOUTH;
        north[k] = south ? (*x)[k] + kSouthFalseNorthing : (*x)[k];
    }
    *x = lanes_of<V>(north);
    return true;
}

template <class V> bool gk6_inverse_lanes(V x, V y, int zone, int hemisphere, V *B, V *L)
{
    constexpr int n = kLanes<V>;
    if (!zone_in_range(zone)
        || (hemisphere != KV_HEMISPHERE_NORTH && hemisphere != KV_HEMISPHERE_SOUTH))
        return false;
    if (hemisphere == KV_HEMISPHERE_SOUTH)
        x -= kSouthFalseNorthing;
    const V beta = x / kGkArc;
    double sBeta[n], cBeta[n], sB0[n], cB0[n];
    for (int k = 0; k < n; ++k) {
        if (!(std::fabs(beta[k]) <= kHalfPi))
            return false;
        sin_cos_latitude(beta[k], &sBeta[k], &cBeta[k]);
    }
    const V sB = lanes_of<V>(sBeta);
    const V B0 = gk6_foot_latitude(beta, sB, 2.0 * sB * lanes_of<V>(cBeta));
    for (int k = 0; k < n; ++k) {
        sin_cos_latitude(B0[k], &sB0[k], &cB0[k]);
        if (cB0[k] == 0.0)
            return false;
    }
    gk6_series_inverse(zone, y, B0, lanes_of<V>(sB0), lanes_of<V>(cB0), B, L);
    return true;
}

template bool gk6_forward_lanes(double2, double2, int, int, double2 *, double2 *);
template bool gk6_forward_lanes(double4, double4, int, int, double4 *, double4 *);
template bool gk6_inverse_lanes(double2, double2, int, int, double2 *, double2 *);
template bool gk6_inverse_lanes(double4, double4, int, int, double4 *, double4 *);

int gk6_inverse_auto_zone(double x, double y, int hemisphere, double *B, double *L)
{
    int zone;
    return zone_of_easting(y, &zone) && gk6_inverse(x, y, zone, hemisphere, B, L);
}

namespace {

// Krüger's series in the third flattening n = f / (2 - f), to n^6 (Karney,
// J. Geodesy 85 (2011) 475-485, eqs. 14, 35, 36): the rectifying radius A,
// the forward coefficients alpha_j (conformal -> rectifying) and the inverse
// ones beta_j. Each row holds the coefficients of n^j .. n^6 of one of them.
constexpr double kAlpha[6][6] = {
    {1.0 / 2, -2.0 / 3, 5.0 / 16, 41.0 / 180, -127.0 / 288, 7891.0 / 37800},
    {13.0 / 48, -3.0 / 5, 557.0 / 1440, 281.0 / 630, -1983433.0 / 1935360},
    {61.0 / 240, -103.0 / 140, 15061.0 / 26880, 167603.0 / 181440},
    {49561.0 / 161280, -179.0 / 168, 6601661.0 / 7257600},
    {34729.0 / 80640, -3418889.0 / 1995840},
    {212378941.0 / 319334400},
};
constexpr double kBeta[6][6] = {
    {1.0 / 2, -2.0 / 3, 37.0 / 96, -1.0 / 360, -81.0 / 512, 96199.0 / 604800},
    {1.0 / 48, 1.0 / 15, -437.0 / 1440, 46.0 / 105, -1118711.0 / 3870720},
    {17.0 / 480, -37.0 / 840, -209.0 / 4480, 5569.0 / 90720},
    {4397.0 / 161280, -11.0 / 504, -830251.0 / 7257600},
    {4583.0 / 161280, -108847.0 / 3991680},
    {20648693.0 / 638668800},
};

// The six coefficients of one table for n.
void series_coefficients(const double (&table)[6][6], double n, double out[6])
{
    for (int j = 0; j < 6; ++j) {
        double sum = 0.0;
        for (int k = 5 - j; k >= 0; --k)
            sum = sum * n + table[j][k];
        out[j] = sum * std::pow(n, j + 1);
    }
}

// The series below are evaluated in Estrin's scheme (pairs, then pairs of
// pairs): the terms of a point are independent, so the depth of the sum, not
// the number of terms, decides the time.

// atan(t), |t| <= 0.02: terms to t^11, the next below 1e-19 relative.
double atan_small(double t)
{
    const double v = t * t, v2 = v * v, v4 = v2 * v2;
    return t
        * ((1.0 - v * (1.0 / 3)) + v2 * (1.0 / 5 - v * (1.0 / 7))
            + v4 * (1.0 / 9 - v * (1.0 / 11)));
}

// The forward series are written once for one point (T = double) and for two
// side by side (T = double2). One point sums two quantities in the lanes of
// a pair (a sine beside its cosine); two points hold a pair of pairs, the
// first quantity of both, then the second. Each lane sees the same
// operations in the same order either way, so each point gets its own bits.
struct double2x2
{
    double2 a, b;
};
inline double2x2 operator+(double2x2 x, double2x2 y)
{
    return {x.a + y.a, x.b + y.b};
}
inline double2x2 operator*(double2x2 x, double2x2 y)
{
    return {x.a * y.a, x.b * y.b};
}
inline double2x2 operator*(double2 x, double2x2 y)
{
    return {x * y.a, x * y.b};
}
inline double2x2 operator*(double2x2 x, double y)
{
    return {x.a * y, x.b * y};
}
inline double2x2 operator+(double x, double2x2 y)
{
    return {x + y.a, x + y.b};
}
inline double2x2 operator/(double2x2 x, double2x2 y)
{
    return {x.a / y.a, x.b / y.b};
}

template <class T> struct Lanes;
template <> struct Lanes<double>
{
    using type = double2;
    // A pair of constants, the same for every point.
    static double2 spread(double2 k) { return k; }
    static double2 pack(double first, double second) { return double2 {first, second}; }
    static double first(double2 x) { return x[0]; }
    static double second(double2 x) { return x[1]; }
};
template <> struct Lanes<double2>
{
    using type = double2x2;
    static double2x2 spread(double2 k) { return {double2 {k[0], k[0]}, double2 {k[1], k[1]}}; }
    static double2x2 pack(double2 first, double2 second) { return {first, second}; }
    static double2 first(double2x2 x) { return x.a; }
    static double2 second(double2x2 x) { return x.b; }
};

// The lane operations a double has as library calls, bit for bit the same:
// the sign bit cleared or copied, a choice by a comparison's mask.
using long2 = decltype(double2 {} > 0.0); // the lanes' masks
constexpr long2 kSignBits = {INT64_MIN, INT64_MIN};
inline double magnitude(double x)
{
    return std::fabs(x);
}
inline double2 magnitude(double2 x)
{
    return reinterpret_cast<double2>(reinterpret_cast<long2>(x) & ~kSignBits);
}
inline double sign_of(double magnitude, double sign)
{
    return std::copysign(magnitude, sign);
}
inline double2 sign_of(double2 magnitude, double2 sign)
{
    return reinterpret_cast<double2>((reinterpret_cast<long2>(magnitude) & ~kSignBits)
        | (reinterpret_cast<long2>(sign) & kSignBits));
}
inline double select(bool which, double yes, double no)
{
    return which ? yes : no;
}
inline double2 select(long2 which, double2 yes, double2 no)
{
    return reinterpret_cast<double2>(
        (which & reinterpret_cast<long2>(yes)) | (~which & reinterpret_cast<long2>(no)));
}
// Every lane of a comparison true.
inline bool every(long2 m)
{
    return m[0] != 0 && m[1] != 0;
}
inline bool within(double2 x, double bound)
{
    return every(magnitude(x) <= bound);
}

// sin d and cos d, |d| <= 0.11, or sinh d and cosh d when `hyperbolic`:
// terms to d^11 and d^10, the next below 6e-23 and 7e-21.
template <class T> void sin_cos_small(T d, bool hyperbolic, T *s, T *c)
{
    using L = Lanes<T>;
    const T v = hyperbolic ? d * d : -d * d, v2 = v * v, v4 = v2 * v2;
    const auto k0 = L::spread(double2 {1.0, 1.0}), k1 = L::spread(double2 {1.0 / 6, 0.5}),
               k2 = L::spread(double2 {1.0 / 120, 1.0 / 24}),
               k3 = L::spread(double2 {1.0 / 5040, 1.0 / 720}),
               k4 = L::spread(double2 {1.0 / 362880, 1.0 / 40320}),
               k5 = L::spread(double2 {1.0 / 39916800, 1.0 / 3628800});
    const auto sc = (k0 + v * k1) + v2 * (k2 + v * k3) + v4 * (k4 + v * k5);
    *s = d * L::first(sc);
    *c = L::second(sc);
}

// sin x and cos x of a latitude, |x| <= pi/2, inline: the library call and
// the registers it clobbers cost more than the arithmetic on the way of every
// point. On |r| <= pi/4 the minimax polynomials of fdlibm's kernels (sin r/r
// and cos r to r^12 and r^14, within 2^-58 of them), about the pole for
// |x| > pi/4 with pi/2 - |x| exact (Sterbenz) plus the low part of pi/2;
// within 3 ulp and 2.3e-16 of sincos (20 million arguments). ax is |x|.
template <class T> void sin_cos_latitude_kernel(T x, T ax, T *s, T *c)
{
    using L = Lanes<T>;
    constexpr double kQuarterPi = 0.7853981633974483;
    const auto nearPole = ax > kQuarterPi;
    const T r = select(nearPole, (kHalfPi - ax) + kHalfPiLow, ax);
    const T v = r * r, v2 = v * v, v4 = v2 * v2;
    // {sin r / r, cos r}
    const auto k0 = L::spread(double2 {1.0, 1.0}),
               k1 = L::spread(double2 {-1.66666666666666324348e-01, -0.5}),
               k2 = L::spread(double2 {8.33333333332248946124e-03, 4.16666666666666019037e-02}),
               k3 = L::spread(double2 {-1.98412698298579493134e-04, -1.38888888888741095749e-03}),
               k4 = L::spread(double2 {2.75573137070700676789e-06, 2.48015872894767294178e-05}),
               k5 = L::spread(double2 {-2.50507602534068634195e-08, -2.75573143513906633035e-07}),
               k6 = L::spread(double2 {1.58969099521155010221e-10, 2.08757232129817482790e-09}),
               k7 = L::spread(double2 {0.0, -1.13596475577881948265e-11});
    const auto sc
        = ((k0 + v * k1) + v2 * (k2 + v * k3)) + v4 * ((k4 + v * k5) + v2 * (k6 + v * k7));
    const T sr = r * L::first(sc), cr = L::second(sc);
    *s = sign_of(select(nearPole, cr, sr), x);
    *c = select(nearPole, sr, cr);
}

} // namespace

// Other arguments go to the library; a pair of points does not go there.
bool sin_cos_latitude(double x, double *s, double *c)
{
    const double ax = std::fabs(x);
    if (!(ax <= kHalfPi)) {
        sin_cos(x, s, c);
        return true;
    }
    sin_cos_latitude_kernel(x, ax, s, c);
    return true;
}

// Beyond pi/2 by the kernel's first octant about pi/2 or pi: |x| - kHalfPi and
// kPi - |x| are exact there (Sterbenz), the low parts of pi/2 and pi added.
void sin_cos_longitude(double x, double *s, double *c)
{
    constexpr double kThreeQuarterPi = 2.356194490192345;
    const double ax = std::fabs(x);
    double sr, cr;
    if (ax <= kHalfPi) {
        sin_cos_latitude_kernel(x, ax, s, c);
    } else if (ax <= kThreeQuarterPi) {
        const double t = (ax - kHalfPi) - kHalfPiLow; // |x| - pi/2
        sin_cos_latitude_kernel(t, t, &sr, &cr);
        *s = std::copysign(cr, x);
        *c = -sr;
    } else if (ax <= kPi) {
        const double r = (kPi - ax) + 2.0 * kHalfPiLow; // pi - |x|
        sin_cos_latitude_kernel(r, r, &sr, &cr);
        *s = std::copysign(sr, x);
        *c = -cr;
    } else {
        sin_cos(x, s, c);
    }
}

namespace {

using kelvadra::sin_cos_latitude;

bool sin_cos_latitude(double2 x, double2 *s, double2 *c)
{
    const double2 ax = magnitude(x);
    if (!every(ax <= kHalfPi))
        return false;
    sin_cos_latitude_kernel(x, ax, s, c);
    return true;
}

// The conformal latitude χ of φ by two even functions of s = sinφ:
// tan χ cosφ = s cosh y - sinh y and cosφ / cos χ = cosh y - s sinh y with
// y = e atanh(e s) (Karney, eq. 7 with σ = sinh y; the second is cosh of
// the isometric latitude times cosφ). Both as polynomials in s^2, whose
// coefficients are those of the Taylor series in s, exact polynomials in e2
// kept down to terms of 2e-18 (e2 <= 0.0068): {tan χ cosφ, cosφ / cos χ}
// within 2.6e-16 relative, the rounding of the sums, for |s| <= 1 (measured
// against long double on Krasovsky, GRS 80 and WGS 84). The second spares the root of
// tan^2 χ cos^2 φ + cos^2 φ on the way of every point. The coefficients
// depend on e2 only and are computed alongside the point's own arithmetic.
template <class T> typename Lanes<T>::type conformal_terms(double E, T s)
{
    using L = Lanes<T>;
    const double E2 = E * E, E3 = E2 * E, E4 = E2 * E2, E5 = E4 * E, E6 = E3 * E3, E7 = E6 * E;
    const double2 c0 = {1.0 - E, 1.0};
    const double2 c1
        = double2 {E2, E} * (double2 {1.0 / 6, -1.0} + E * double2 {-1.0 / 6, 1.0 / 2});
    const double2 c2 = double2 {E3, E2}
        * (double2 {2.0 / 15, -1.0 / 3}
            + E * (double2 {-1.0 / 8, 1.0 / 6} + E * double2 {-1.0 / 120, 1.0 / 24}));
    const double2 c3 = double2 {E4, E3}
        * (double2 {71.0 / 630, -1.0 / 5}
            + E
                * (double2 {-1.0 / 10, 4.0 / 45}
                    + E * (double2 {-1.0 / 80, 17.0 / 360} + E * double2 {0.0, 1.0 / 720})));
    const double2 c4 = double2 {E5, E4}
        * (double2 {31.0 / 315, -1.0 / 7}
            + E * (double2 {-943.0 / 11340, 17.0 / 315} + E * double2 {-2.0 / 135, 17.0 / 360}));
    const double2 c5 = double2 {E6, E5}
        * (double2 {3043.0 / 34650, -1.0 / 9}
            + E * (double2 {-1006.0 / 14175, 977.0 / 28350} + E * double2 {0.0, 1037.0 / 22680}));
    const double2 c6 = double2 {E7, E6}
        * (double2 {10756.0 / 135135, -1.0 / 11} + E * double2 {0.0, 2311.0 / 103950});
    const double2 c7 = {0.0, -E7 * (1.0 / 13)};
    const T u = s * s, u2 = u * u, u4 = u2 * u2;
    const auto sum
        = ((L::spread(c0) + u * L::spread(c1)) + u2 * (L::spread(c2) + u * L::spread(c3)))
        + u4 * ((L::spread(c4) + u * L::spread(c5)) + u2 * (L::spread(c6) + u * L::spread(c7)));
    return L::pack(s * L::first(sum), L::second(sum));
}

// {atan t, atanh u}, |t| <= 0.11 and |u| <= 0.11, as one series x (1 + v/3
// + v^2/5 ...) with v = -t^2 and u^2: terms to x^15, the next below 3e-18
// (2e-11 m).
template <class T> typename Lanes<T>::type atan_atanh_small(typename Lanes<T>::type x)
{
    const auto v = x * x * Lanes<T>::spread(double2 {-1.0, 1.0}), v2 = v * v, v4 = v2 * v2;
    return x
        * (((1.0 + v * (1.0 / 3)) + v2 * (1.0 / 5 + v * (1.0 / 7)))
            + v4 * ((1.0 / 9 + v * (1.0 / 11)) + v2 * (1.0 / 13 + v * (1.0 / 15))));
}

// The coefficients p_k of P(w) = sum c_j U_{j-1}(w), j = 1..6, k = 0..5, so
// that sum c_j sin 2jθ = sin 2θ P(cos 2θ): sin 2jθ = sin 2θ U_{j-1}(cos 2θ)
// with Chebyshev's polynomials of the second kind. P summed in Estrin's
// scheme is three products deep where Clenshaw's recurrence is five steps.
// The coefficients of these series fall with j as n^j, p_k as (2n)^k, so the
// powers of w (|w| <= 1.03 within 6 degrees of the meridian) lose nothing
// the recurrence keeps: within 5e-19 rad of the sum in long double there,
// 8e-19 rad at 3900 km (WGS 84, both series).
void sine_series_powers(const double c[6], double p[6])
{
    p[0] = c[0] - c[2] + c[4];
    p[1] = 2.0 * c[1] - 4.0 * c[3] + 6.0 * c[5];
    p[2] = 4.0 * c[2] - 12.0 * c[4];
    p[3] = 8.0 * c[3] - 32.0 * c[5];
    p[4] = 16.0 * c[4];
    p[5] = 32.0 * c[5];
}

// Sum of c_j sin(2jζ), j = 1..6, for complex ζ = ξ + iη given sin 2ξ,
// cos 2ξ, sinh 2η, cosh 2η, as sin 2ζ P(cos 2ζ) from the coefficients p of P
// (sine_series_powers of the c_j): {real, imaginary part}.
template <class T> typename Lanes<T>::type sine_series(const double p[6], T s2, T c2, T sh2, T ch2)
{
    const T wr = c2 * ch2, wi = -s2 * sh2; // cos 2ζ
    const T w2r = (wr - wi) * (wr + wi), w2i = 2.0 * wr * wi;
    const T w4r = (w2r - w2i) * (w2r + w2i), w4i = 2.0 * w2r * w2i;
    const T ar = p[0] + p[1] * wr, ai = p[1] * wi;
    const T br = p[2] + p[3] * wr, bi = p[3] * wi;
    const T cr = p[4] + p[5] * wr, ci = p[5] * wi;
    const T yr = (ar + (w2r * br - w2i * bi)) + (w4r * cr - w4i * ci);
    const T yi = (ai + (w2r * bi + w2i * br)) + (w4r * ci + w4i * cr);
    // times sin 2ζ = sin 2ξ cosh 2η + i cos 2ξ sinh 2η
    const T sr = s2 * ch2, si = c2 * sh2;
    return Lanes<T>::pack(yr * sr - yi * si, yr * si + yi * sr);
}

// The coefficients of a record's P, p_0 .. p_5.
void coefficients_of(const tm_constants &c, double out[6])
{
    out[0] = c.A2;
    out[1] = c.A4;
    out[2] = c.A6;
    out[3] = c.J1;
    out[4] = c.J2;
    out[5] = c.J3;
}

void set_coefficients(const double p[6], tm_constants *c)
{
    c->A2 = p[0];
    c->A4 = p[1];
    c->A6 = p[2];
    c->J1 = p[3];
    c->J2 = p[4];
    c->J3 = p[5];
}

// sin dl and cos dl of the longitude from the central meridian: a series
// within 0.11 rad of it, the library beyond, where one pair of points does
// not go.
inline bool sin_cos_from_meridian(double dl, double *s, double *c)
{
    if (std::fabs(dl) <= 0.11)
        sin_cos_small(dl, false, s, c);
    else
        sin_cos(dl, s, c);
    return true;
}
inline bool sin_cos_from_meridian(double2 dl, double2 *s, double2 *c)
{
    if (!within(dl, 0.11))
        return false;
    sin_cos_small(dl, false, s, c);
    return true;
}

// ξ' as φ plus a small angle while it is one (cos(ξ' - φ) > 0, num / den its
// tangent), η' from its hyperbolic tangent tu[1]; `small` holds the series of
// both, N / ccl is tan ξ'. A pair of points takes the series only.
inline bool conformal_sphere(double phi, double N, double ccl, double num, double den, double2 tu,
    double2 small, double *xi, double *eta)
{
    *xi = den > 0.0 && std::fabs(num) <= 0.11 * den ? phi + small[0] : std::atan2(N, ccl);
    *eta = std::fabs(tu[1]) <= 0.11 ? small[1] : std::atanh(tu[1]);
    return true;
}
inline bool conformal_sphere(double2 phi, double2 /*N*/, double2 /*ccl*/, double2 num, double2 den,
    double2x2 tu, double2x2 small, double2 *xi, double2 *eta)
{
    if (!every((den > 0.0) & (magnitude(num) <= 0.11 * den)) || !within(tu.b, 0.11))
        return false;
    *xi = phi + small.a;
    *eta = small.b;
    return true;
}

// ξ and η (radians of the rectifying sphere) of the point φ, dl from the
// central meridian. For a pair false, nothing written, where either point
// leaves the series' way.
template <class T> bool krueger_forward(const tm_constants &c, T phi, T dl, T *xiOut, T *etaOut)
{
    using L = Lanes<T>;
    T s {}, co {}, sl {}, cl {};
    if (!sin_cos_latitude(phi, &s, &co) || !sin_cos_from_meridian(dl, &sl, &cl))
        return false;
    const auto NR = conformal_terms(c.e2, s);
    const T N = L::first(NR), R = L::second(NR); // tan χ cosφ, cosφ / cos χ
    // Gauss-Schreiber: tan ξ' = tan χ / cos dl, tanh η' = sin dl cos χ, with
    // Q^2 = N^2 + cos^2φ cos^2 dl.
    const T ccl = co * cl, csl = co * sl;
    const T Q2 = N * N + ccl * ccl, R2 = R * R;
    const T iQ2 = 1.0 / Q2;
    // Both quotients in one division.
    const T num = co * (N - s * cl), den = co * ccl + N * s;
    const auto tu = L::pack(num, csl) / L::pack(den, R);
    const auto small = atan_atanh_small<T>(tu);
    T xi {}, eta {};
    if (!conformal_sphere(phi, N, ccl, num, den, tu, small, &xi, &eta))
        return false;
    const T s2 = 2.0 * N * ccl * iQ2, c2 = (ccl * ccl - N * N) * iQ2;
    const T sh2 = 2.0 * csl * R * iQ2, ch2 = (R2 + csl * csl) * iQ2;
    double k[6];
    coefficients_of(c, k);
    const auto d = sine_series(k, s2, c2, sh2, ch2);
    *xiOut = xi + L::first(d);
    *etaOut = eta + L::second(d);
    return true;
}

// Easting and northing of ξ and η. Metres per radian once, off the way of the
// point; the northing keeps A0 ξ - M0, exactly 0 on the origin's parallel.
template <class T>
void tm_plane(const tm_projection &p, const tm_constants &c, T xi, T eta, T *easting, T *northing)
{
    const double k0 = p.scale_factor;
    *easting = p.false_easting + (k0 * c.A0) * eta;
    *northing = p.false_northing + k0 * (c.A0 * xi - c.M0);
}

// The small rotation (sin, cos) of an angle d with |d| <= 0.007 by its
// series (next terms below 2e-19), hyperbolic when `hyperbolic`.
void small_sin_cos(double d, bool hyperbolic, double *s, double *c)
{
    const double v = hyperbolic ? d * d : -d * d, v2 = v * v;
    *s = d * ((1.0 + v * (1.0 / 6)) + v2 * (1.0 / 120));
    *c = (1.0 + v * 0.5) + v2 * (1.0 / 24 + v * (1.0 / 720));
}

} // namespace

void tm_setup_forward(const ellipsoid &e, const tm_projection &p, tm_constants *c)
{
    tm_constants k {};
    const double f = e.f;
    const double n = f / (2.0 - f);
    const double n2 = n * n;
    k.a = e.a;
    k.e2 = f * (2.0 - f);
    k.ep2 = k.e2 / (1.0 - k.e2);
    k.A0 = e.a / (1.0 + n) * (1.0 + n2 * (1.0 / 4 + n2 * (1.0 / 64 + n2 * (1.0 / 256))));
    double alpha[6], powers[6];
    series_coefficients(kAlpha, n, alpha);
    sine_series_powers(alpha, powers);
    set_coefficients(powers, &k);
    k.J4 = n;
    k.a_1_minus_e2 = e.a * (1.0 - k.e2);
    k.M0 = tm_meridian_distance(k, p.origin_latitude);
    *c = k;
}

void tm_setup_inverse(const ellipsoid &e, const tm_projection &p, tm_constants *c)
{
    tm_constants k;
    tm_setup_forward(e, p, &k);
    // The inverse subtracts its series: the record holds it negated.
    double beta[6], powers[6];
    series_coefficients(kBeta, k.J4, beta);
    for (double &b : beta)
        b = -b;
    sine_series_powers(beta, powers);
    set_coefficients(powers, &k);
    *c = k;
}

double tm_meridian_distance(const tm_constants &c, double phi)
{
    double xi, eta;
    krueger_forward(c, phi, 0.0, &xi, &eta);
    return c.A0 * xi;
}

void tm_forward(const tm_projection &p, const tm_constants &c, double phi, double lambda,
    double *easting, double *northing)
{
    double xi, eta;
    krueger_forward(c, phi, normalize_angle_pi(lambda - p.central_meridian), &xi, &eta);
    tm_plane(p, c, xi, eta, easting, northing);
}

bool tm_forward_pair(const tm_projection &p, const tm_constants &c, double2 phi, double2 lambda,
    double2 *easting, double2 *northing)
{
    double2 dl = lambda - p.central_meridian;
    if (!within(dl, kPi)) {
        for (int k = 0; k < 2; ++k)
            dl[k] = normalize_angle_pi(dl[k]);
    }
    double2 xi {}, eta {};
    if (!krueger_forward(c, phi, dl, &xi, &eta))
        return false;
    tm_plane(p, c, xi, eta, easting, northing);
    return true;
}

namespace {

// The inverse as far as the sphere of the conformal latitude: sin ξ',
// cos ξ', sinh η', cosh η' and ξ' of a plane point.
struct ConformalPoint
{
    double sxp, cxp, shp, chp, xip;
    // ξ within ±π/2 and its rounding: a northing past a pole has no point,
    // the series would fold it back.
    bool onEllipsoid;
};

ConformalPoint inverse_to_sphere(
    const tm_projection &p, const tm_constants &c, double easting, double northing)
{
    const double k0 = p.scale_factor;
    // One reciprocal of the record's constants, off the way of the point,
    // instead of two divisions on it.
    const double perMetre = 1.0 / (k0 * c.A0);
    const double xi = (northing - p.false_northing + k0 * c.M0) * perMetre;
    const double eta = (easting - p.false_easting) * perMetre;
    double s, co;
    sin_cos_latitude(xi, &s, &co);
    double sh, ch;
    if (std::fabs(eta) <= 0.11) {
        // within 6.3 degrees of the meridian: an exponential and a division less
        sin_cos_small(eta, true, &sh, &ch);
    } else {
        const double ex = std::exp(eta), iex = 1.0 / ex;
        sh = 0.5 * (ex - iex);
        ch = 0.5 * (ex + iex);
    }
    const double s2 = 2.0 * s * co, c2 = (co - s) * (co + s);
    const double sh2 = 2.0 * sh * ch, ch2 = ch * ch + sh * sh;
    double k[6];
    coefficients_of(c, k);
    const double2 d = sine_series(k, s2, c2, sh2, ch2);
    const double xip = xi + d[0], etap = eta + d[1];
    // sin, cos ξ' and sinh, cosh η' from those of ξ and η turned by the
    // small corrections (below 0.005 within 4000 km of the meridian), the
    // circular and the hyperbolic turn side by side.
    ConformalPoint q;
    q.xip = xip;
    q.onEllipsoid = std::fabs(xi) <= kHalfPi * (1 + 1e-12);
    if (std::fabs(d[0]) <= 0.005 && std::fabs(d[1]) <= 0.005) {
        const double2 v = d * d * double2 {-1.0, 1.0}, v2 = v * v;
        const double2 sn = d * ((1.0 + v * (1.0 / 6)) + v2 * (1.0 / 120));
        const double2 cs = (1.0 + v * 0.5) + v2 * (1.0 / 24 + v * (1.0 / 720));
        const double2 sines = {s, sh}, cosines = {co, ch}, turned = {-s, sh};
        const double2 first = sines * cs + cosines * sn;   // sin ξ', sinh η'
        const double2 second = cosines * cs + turned * sn; // cos ξ', cosh η'
        q.sxp = first[0];
        q.shp = first[1];
        q.cxp = second[0];
        q.chp = second[1];
    } else {
        sin_cos(xip, &q.sxp, &q.cxp);
        q.shp = std::sinh(etap);
        q.chp = std::cosh(etap);
    }
    return q;
}

// Gauss-Schreiber back: tan χ = sin ξ' / r with r = hypot(sinh η', cos ξ')
// (r2 = r^2). χ as ξ' less the small angle whose tangent is
// sin ξ' (r - cos ξ') / (r cos ξ' + sin^2 ξ'), r - cos ξ' = sinh^2 η' / (r + cos ξ'),
// while it is small.
double conformal_latitude(const ConformalPoint &q, double r)
{
    const double tanGap = q.sxp * q.shp * q.shp / ((r + q.cxp) * (r * q.cxp + q.sxp * q.sxp));
    return q.cxp > 0.0 && std::fabs(tanGap) <= 0.02 ? q.xip - atan_small(tanGap)
                                                    : std::atan2(q.sxp, r);
}

// φ - χ = sum d_j sin 2jχ, to n^6 (Engsager and Poder, as PROJ's tmerc;
// reproduced here in 40 digits against the exact inverse within 1e-17 rad),
// = sin 2χ P(cos 2χ): P here, from cos 2χ alone, so that it need not wait
// for sin 2χ and the root behind it. Its coefficients p_k, sine_series_powers
// of the d_j multiplied out in n, in pairs {p0, p1}, {p2, p3}, {p4, p5};
// computed per point, they depend on n only and go alongside the point's
// own arithmetic. d_1 = 2n - 2/3 n^2 - 2n^3 + 116/45 n^4 + 26/45 n^5 -
// 2854/675 n^6, d_2 = 7/3 n^2 - 8/5 n^3 - 227/45 n^4 + 2704/315 n^5 +
// 2323/945 n^6, d_3 = 56/15 n^3 - 136/35 n^4 - 1262/105 n^5 + 73814/2835 n^6,
// d_4 = 4279/630 n^4 - 332/35 n^5 - 399572/14175 n^6, d_5 = 4174/315 n^5 -
// 144838/6237 n^6, d_6 = 601676/22275 n^6.
double latitude_polynomial(const tm_constants &c, double cos2)
{
    const double n = c.J4, n2 = n * n, n3 = n2 * n, n4 = n2 * n2, n5 = n4 * n, n6 = n3 * n3;
    const double2 p01 = double2 {n, n2}
        * (double2 {2.0, 14.0 / 3}
            + n
                * (double2 {-2.0 / 3, -16.0 / 5}
                    + n
                        * (double2 {-86.0 / 15, -1304.0 / 35}
                            + n
                                * (double2 {2036.0 / 315, 496.0 / 9}
                                    + n
                                        * (double2 {2714.0 / 105, 1744726.0 / 6237}
                                            + n * double2 {-926666.0 / 17325, 0.0})))));
    const double2 p23 = double2 {n3, n4}
        * (double2 {224.0 / 15, 17116.0 / 315}
            + n
                * (double2 {-544.0 / 35, -2656.0 / 35}
                    + n
                        * (double2 {-7248.0 / 35, -11329184.0 / 10395}
                            + n * double2 {11938096.0 / 31185, 0.0})));
    const double2 p45 = double2 {n5, n6}
        * (double2 {66784.0 / 315, 19253632.0 / 22275} + n * double2 {-2317408.0 / 6237, 0.0});
    const double w = cos2, w2 = w * w, w4 = w2 * w2;
    const double2 t = (p01 + w2 * p23) + w4 * p45;
    return t[0] + w * t[1];
}

} // namespace

bool tm_inverse(const tm_projection &p, const tm_constants &c, double easting, double northing,
    double *phi, double *lambda)
{
    const ConformalPoint q = inverse_to_sphere(p, c, easting, northing);
    if (!q.onEllipsoid)
        return false;
    const double r2 = q.shp * q.shp + q.cxp * q.cxp;
    const double r = std::sqrt(r2);
    // tan dl = sinh η' / cos ξ', as a series while |tan dl| <= 0.11.
    const double tanDl = q.shp / q.cxp;
    const double dl
        = q.cxp > 0.0 && std::fabs(tanDl) <= 0.11 ? atan_series(tanDl) : std::atan2(q.shp, q.cxp);
    const double chi = conformal_latitude(q, r);
    // sin 2χ and cos 2χ from sin ξ' and r.
    const double iq = 1.0 / (q.sxp * q.sxp + r2);
    const double sin2 = 2.0 * q.sxp * r * iq, cos2 = (r2 - q.sxp * q.sxp) * iq;
    *phi = normalize_latitude_rad(chi + sin2 * latitude_polynomial(c, cos2));
    *lambda = normalize_angle_pi(p.central_meridian + dl);
    return true;
}

bool tm_inverse_sines(const tm_projection &p, const tm_constants &c, double easting,
    double northing, double latitude[3], double *sinDl, double *cosDl)
{
    const ConformalPoint q = inverse_to_sphere(p, c, easting, northing);
    if (!q.onEllipsoid)
        return false;
    const double r2 = q.shp * q.shp + q.cxp * q.cxp;
    const double r = std::sqrt(r2);
    const double chi = conformal_latitude(q, r);
    // sin χ = sin ξ' / cosh η', cos χ = r / cosh η'; sin dl = sinh η' / r,
    // cos dl = cos ξ' / r. cos 2χ = (r^2 - sin^2 ξ') / cosh^2 η' needs no
    // root: the series starts while the root and its reciprocal are computed.
    const double perCosh = 1.0 / q.chp, perR = 1.0 / r;
    const double cos2 = (r2 - q.sxp * q.sxp) * (perCosh * perCosh);
    const double sChi = q.sxp * perCosh, cChi = r * perCosh;
    const double delta = 2.0 * sChi * cChi * latitude_polynomial(c, cos2);
    double ds, dc;
    small_sin_cos(delta, false, &ds, &dc);
    latitude[0] = normalize_latitude_rad(chi + delta);
    latitude[1] = sChi * dc + cChi * ds;
    latitude[2] = cChi * dc - sChi * ds;
    *sinDl = q.shp * perR;
    *cosDl = q.cxp * perR;
    return true;
}

namespace {

// One 6-degree zone: central meridian (6n - offset) degrees, origin at the
// equator, the southern false northing for any hemisphere other than 1.
int zone_projection(int zone, int hemisphere, int meridianOffset, double scale, double falseEasting,
    tm_projection *out)
{
    if (!zone_in_range(zone) || hemisphere == KV_HEMISPHERE_AUTO)
        return 0;
    out->central_meridian = (6 * zone - meridianOffset) * kPi / 180.0;
    out->origin_latitude = 0.0;
    out->scale_factor = scale;
    out->false_easting = falseEasting;
    out->false_northing = hemisphere == KV_HEMISPHERE_NORTH ? 0.0 : kSouthFalseNorthing;
    return 1;
}

} // namespace

int gk_zone_projection(int zone, int hemisphere, tm_projection *out)
{
    // The zone number stands in front of the 500 000 m false easting.
    return zone_projection(zone, hemisphere, 3, 1.0, zone * 1000000.0 + 500000.0, out);
}

int utm_zone_projection(int zone, int hemisphere, tm_projection *out)
{
    return zone_projection(zone, hemisphere, 183, 0.9996, 500000.0, out);
}

} // namespace kelvadra

using namespace kelvadra;

extern "C" {

KELVADRA_API int initialize_gk6_from_latlon(const double point[3], refsystem *rs)
{
    if (!point || !rs || !std::isfinite(point[0]) || !std::isfinite(point[1]))
        return 0;
    int zone = rs->zone;
    if (!zone_in_range(zone)) {
        const double lon = normalize_positive_longitude_deg(point[1]);
        const double automatic = std::floor((lon + 6.0) / 6.0);
        // Always 1..60 for a longitude in [0, 360); the reduction of a huge
        // longitude can leave that range, and such a point has no zone.
        if (!(automatic >= 1.0 && automatic <= 60.0))
            return 0;
        zone = static_cast<int>(automatic);
    }
    int hemisphere = rs->hemisphere;
    if (hemisphere == KV_HEMISPHERE_AUTO)
        hemisphere = point[0] >= 0.0 ? KV_HEMISPHERE_NORTH : KV_HEMISPHERE_SOUTH;

    tm_projection projection {};
    gk_zone_projection(zone, hemisphere, &projection); // zone and hemisphere valid here
    rs->type = KV_TYPE_PROJECTED;
    rs->zone = 0;
    rs->hemisphere = KV_HEMISPHERE_AUTO;
    rs->axis_order = KV_AXES_NORTHING_EASTING;
    rs->projection = projection;
    return check_refsystem(rs);
}

KELVADRA_API int initialize_gk6_from_xy(const double point[3], refsystem *rs)
{
    if (!point || !rs || !std::isfinite(point[0]) || !std::isfinite(point[1]))
        return 0;
    const int hemisphere = rs->hemisphere;
    if (hemisphere == KV_HEMISPHERE_AUTO)
        return 0;
    int zone = rs->zone;
    // There is no zone 0 or 61 to convert in: an easting without a valid
    // prefix leaves the record as it was.
    if (!zone_in_range(zone) && !zone_of_easting(point[1], &zone))
        return 0;

    tm_projection projection {};
    gk_zone_projection(zone, hemisphere, &projection);
    rs->type = KV_TYPE_PROJECTED;
    rs->zone = -1;
    rs->hemisphere = KV_HEMISPHERE_AUTO;
    rs->axis_order = KV_AXES_NORTHING_EASTING;
    rs->projection = projection;
    return check_refsystem(rs);
}

} // extern "C"
