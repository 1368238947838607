// Internal interface of kelvadra: the building blocks behind the exported
// functions. Nothing here is exported from the shared library (hidden
// visibility); the tests link the same objects statically and reach it.
#ifndef KELVADRA_INTERNAL_H
#define KELVADRA_INTERNAL_H

#include "kelvadra.h"

#include <cfloat>
#include <cmath>
#include <cstddef>

namespace kelvadra {

// ---------------------------------------------------------------- angles.cpp
// The constants and the order of operations are fixed: results are compared
// bit for bit with the reference implementation of the standard.
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kHalfPiLow = 6.123233995736766e-17;    // pi/2 - kHalfPi
constexpr double kDegree = 0.017453292519943295;        // radians per degree
constexpr double kMilliArcSecond = 4.84813681109536e-9; // radians per mas
constexpr double kNotSet = DBL_MAX;

inline double deg_to_rad(double x)
{
    return x * kDegree;
}
// A division, not a multiplication by the inverse: the last bit matters.
inline double rad_to_deg(double x)
{
    return x / kDegree;
}
inline double mas_to_rad(double x)
{
    return x * kMilliArcSecond;
}

// Sine and cosine of one angle from one call where the C library has it
// (the same values as std::sin and std::cos, for about the price of one).
inline void sin_cos(double x, double *s, double *c)
{
#if defined(__GLIBC__)
    ::sincos(x, s, c);
#else
    *s = std::sin(x);
    *c = std::cos(x);
#endif
}

// sin x and cos x of a latitude, |x| <= pi/2, by an inline kernel within
// 3 ulp of sin_cos and half its price; other x by sin_cos. Always true.
bool sin_cos_latitude(double x, double *s, double *c);
// The same for a longitude, |x| <= pi, by that kernel about 0, pi/2 or pi.
void sin_cos_longitude(double x, double *s, double *c);

// Two doubles side by side, the values of two points: each operation on a
// pair rounds in each lane exactly as on one double, so arithmetic written
// once for both gives each point the bits of its own.
typedef double double2 __attribute__((vector_size(16)));
inline double root(double x)
{
    return std::sqrt(x);
}
inline double2 root(double2 x)
{
    return double2 {std::sqrt(x[0]), std::sqrt(x[1])};
}

// Four points side by side as two pairs, for the same reason: the waits of
// one pair (roots, divisions) are filled by the other's. Each operation is
// the pairs' own, lane by lane, so each point still gets the bits of its own.
// A struct, not a 32-byte vector: without AVX such a vector would change the
// calling convention of every function it passes through.
struct double4
{
    double2 lo, hi;
    double operator[](int k) const { return k < 2 ? lo[k] : hi[k - 2]; }
};
inline double4 operator+(double4 x, double4 y)
{
    return {x.lo + y.lo, x.hi + y.hi};
}
inline double4 operator-(double4 x, double4 y)
{
    return {x.lo - y.lo, x.hi - y.hi};
}
inline double4 operator*(double4 x, double4 y)
{
    return {x.lo * y.lo, x.hi * y.hi};
}
inline double4 operator/(double4 x, double4 y)
{
    return {x.lo / y.lo, x.hi / y.hi};
}
inline double4 operator-(double4 x)
{
    return {-x.lo, -x.hi};
}
// A number beside four lanes is taken as a double, as a pair takes it.
inline double4 operator+(double4 x, double y)
{
    return {x.lo + y, x.hi + y};
}
inline double4 operator+(double x, double4 y)
{
    return {x + y.lo, x + y.hi};
}
inline double4 operator-(double4 x, double y)
{
    return {x.lo - y, x.hi - y};
}
inline double4 operator-(double x, double4 y)
{
    return {x - y.lo, x - y.hi};
}
inline double4 operator*(double4 x, double y)
{
    return {x.lo * y, x.hi * y};
}
inline double4 operator*(double x, double4 y)
{
    return {x * y.lo, x * y.hi};
}
inline double4 operator/(double4 x, double y)
{
    return {x.lo / y, x.hi / y};
}
inline double4 operator/(double x, double4 y)
{
    return {x / y.lo, x / y.hi};
}
inline double4 &operator-=(double4 &x, double y)
{
    return x = x - y;
}
inline double4 root(double4 x)
{
    return {root(x.lo), root(x.hi)};
}

// The number of points side by side in a lane type.
template <class V> constexpr std::ptrdiff_t kLanes = std::ptrdiff_t(sizeof(V) / sizeof(double));
// Lanes from p[0], p[stride], p[2 stride], ...
template <class V> V lanes_of(const double *p, std::ptrdiff_t stride = 1);
template <> inline double2 lanes_of<double2>(const double *p, std::ptrdiff_t stride)
{
    return double2 {p[0], p[stride]};
}
template <> inline double4 lanes_of<double4>(const double *p, std::ptrdiff_t stride)
{
    return {double2 {p[0], p[stride]}, double2 {p[2 * stride], p[3 * stride]}};
}

// The same conversions for lanes: the same operation in each lane.
inline double2 deg_to_rad(double2 x)
{
    return x * kDegree;
}
inline double4 deg_to_rad(double4 x)
{
    return x * kDegree;
}
inline double2 rad_to_deg(double2 x)
{
    return x / kDegree;
}
inline double4 rad_to_deg(double4 x)
{
    return x / kDegree;
}

// Reduces radians into [-pi, pi]; both ends come back unchanged. Inline:
// every projected point passes here.
inline double normalize_angle_pi(double x)
{
    if (x > kPi) {
        x = x - std::floor(x / kTwoPi) * kTwoPi;
        if (x > kPi)
            x = x - kTwoPi;
    } else if (x < -kPi) {
        x = x + std::floor(-x / kTwoPi) * kTwoPi;
        if (x < -kPi)
            x = x + kTwoPi;
    }
    return x;
}

// atan(t), |t| <= 0.11: terms to t^19, the next below 1e-18 relative.
// Estrin's scheme: the depth of the sum, not the number of terms, decides
// the time.
inline double atan_series(double t)
{
    const double v = t * t, v2 = v * v, v4 = v2 * v2, v8 = v4 * v4;
    return t
        * (((1.0 - v * (1.0 / 3)) + v2 * (1.0 / 5 - v * (1.0 / 7)))
            + v4 * ((1.0 / 9 - v * (1.0 / 11)) + v2 * (1.0 / 13 - v * (1.0 / 15)))
            + v8 * (1.0 / 17 - v * (1.0 / 19)));
}

// normalize_angle_pi, then clamped (not folded) to [-pi/2, pi/2].
inline double normalize_latitude_rad(double x)
{
    const double y = normalize_angle_pi(x);
    if (y < -kHalfPi)
        return -kHalfPi;
    if (y > kHalfPi)
        return kHalfPi;
    return y;
}

// --------------------------------------------------------------- numbers.cpp
// Reads one number the way "%lf" does (leading white space skipped, optional
// sign, decimal or exponent form, inf/nan), with "." as the decimal point in
// every locale. Returns 1 and sets *end past the number, or 0 when no number
// starts there (*value and *end untouched). An out-of-range magnitude reads as
// +-infinity, like strtod.
int scan_double(const char *text, const char **end, double *value);
// The same for a float ("%f"), rounded once from the decimal text.
int scan_float(const char *text, const char **end, float *value);
// Reads up to `count` numbers separated by white space (the "%lf %lf %lf"
// format); returns how many were read.
int scan_doubles(const char *text, double *values, int count);

// ---------------------------------------------------------------- datum.cpp
// Seven-parameter similarity transformation: X_to = (1 + dm) R X_from + (dX, dY, dZ),
// R = [[1, wz, -wy], [-wz, 1, wx], [wy, -wx, 1]].
struct datum_shift
{
    double dX, dY, dZ; // metres
    double wx, wy, wz; // radians
    double dm;         // dimensionless scale difference
};

// Ellipsoid codes 42 (Krasovsky 1940), 80 (GRS 80), 84 (WGS 84), 90 (PZ-90),
// 2011 (GSK-2011). 0, nothing written, for any other code.
int ellipsoid_by_code(int code, ellipsoid *out);
// Ellipsoid of a datum code; 0, nothing written, for an unknown datum.
int ellipsoid_of_datum(int datum, ellipsoid *out);
// Table row datum -> PZ 90.11 in radians and dimensionless scale; 9011 gives
// the identity; 0, nothing written, for an unknown datum.
int datum_to_hub(int datum, datum_shift *out);
// The same row negated (PZ 90.11 -> datum).
int hub_to_datum(int datum, datum_shift *out);
// 1: equal codes or one of them is 9011; 2: composed through the hub;
// 0: a code outside the table (nothing written).
int shift_between(int from, int to, datum_shift *out);
// First-order equivalent of applying `first`, then `second`.
datum_shift compose_shifts(const datum_shift &first, const datum_shift &second);
// Matrix (1 + dm) R, vector (dX, dY, dZ).
affine helmert_affine(const datum_shift &shift);

// ----------------------------------------------------------- geocentric.cpp
// All angles in radians.
double prime_vertical_radius(const ellipsoid &e, double B);
// (B, L, H) -> (X, Y, Z). 0, nothing written, when 1 - e2 sin2 B <= 0 or the
// input is not finite. out may alias blh. With `latitude`, also writes B,
// sin B and cos B there (a hint for geocentric_to_geodetic after a shift).
int geodetic_to_geocentric(
    const ellipsoid &e, const double blh[3], double xyz[3], double latitude[3] = nullptr);
// The same from {B, sin B, cos B}, sin L, cos L and H, with the same
// arithmetic after the sines; fails as above.
int geodetic_sines_to_geocentric(
    const ellipsoid &e, const double latitude[3], double sL, double cL, double H, double xyz[3]);
// Rotation about the polar axis by `angle` (radians, eastward).
affine polar_rotation(double angle);
// (X, Y, Z) -> (B, L, H); 0, nothing written, when the iteration of the
// standard (used within a/2 of the centre) does not converge in 100 steps or
// the input is not finite. out may alias xyz. `near` ({B0, sin B0, cos B0})
// may name a latitude the result is expected near (the input latitude of a
// datum shift): it only speeds the result up, which agrees either way.
// `meridian` (radians), when given, says that xyz is a Transverse Mercator
// plane's point after a shift, in the frame turned east by that angle about
// the polar axis: L is the angle plus the longitude in that frame, and B
// starts from `near`, the plane point's own latitude.
int geocentric_to_geodetic(const ellipsoid &e, const double xyz[3], double blh[3],
    const double near[3] = nullptr, const double *meridian = nullptr);
// Two or four points (V = double2, double4) through geodetic_to_geocentric
// and geocentric_to_geodetic (no `meridian`) side by side, with the results
// of each, bit for bit, where all take the common way (the Bowring steps,
// the series near `near`). False when any point does not, or fails: then
// each goes alone. blh and xyz hold each coordinate of the points as lanes.
template <class V>
bool geodetic_to_geocentric_lanes(
    const ellipsoid &e, const V blh[3], V xyz[3], double latitude[][3]);
template <class V>
bool geocentric_to_geodetic_lanes(
    const ellipsoid &e, const V xyz[3], V blh[3], const double near[][3]);
// Local east-north-up frame at origin (B0 rad, L0 rad, H0 m).
affine local_to_geocentric(const ellipsoid &e, const double origin[3]);
affine geocentric_to_local(const ellipsoid &e, const double origin[3]);
// out = matrix * p + vector; out may alias p.
void affine_apply(const affine &a, const double p[3], double out[3]);
// Applying `first`, then `second`.
affine affine_compose(const affine &first, const affine &second);
int affine_is_set(const affine &a);
// The unset state the chain writes: DBL_MAX in matrix[0][0] and vector[0].
void affine_unset(affine *a);

// ----------------------------------------------------------- projection.cpp
// GOST 6-degree zone series on the Krasovsky ellipsoid (radians in and out).
int gk6_forward(double B, double L, int zone, int hemisphere, double *x, double *y);
int gk6_inverse(double x, double y, int zone, int hemisphere, double *B, double *L);
int gk6_inverse_auto_zone(double x, double y, int hemisphere, double *B, double *L);
// The same for two or four points side by side (V = double2, double4), each
// with the bits of its own call (a fixed zone only); false where a call of
// any would fail.
template <class V> bool gk6_forward_lanes(V B, V L, int zone, int hemisphere, V *x, V *y);
template <class V> bool gk6_inverse_lanes(V x, V y, int zone, int hemisphere, V *B, V *L);

// General ellipsoidal Transverse Mercator (Krüger's series to n^6). A record
// serves one direction: tm_forward takes the one from tm_setup_forward,
// tm_inverse the one from tm_setup_inverse; the inverses refuse a northing past a pole.
void tm_setup_forward(const ellipsoid &e, const tm_projection &p, tm_constants *c);
void tm_setup_inverse(const ellipsoid &e, const tm_projection &p, tm_constants *c);
// Meridian distance from the equator (metres), from a forward record.
double tm_meridian_distance(const tm_constants &c, double phi);
void tm_forward(const tm_projection &p, const tm_constants &c, double phi, double lambda,
    double *easting, double *northing);
// The same for two points side by side, each with the bits of its own call,
// where both take the common way (within 0.11 rad of the meridian, the
// series for ξ' and η'); false otherwise, nothing written.
bool tm_forward_pair(const tm_projection &p, const tm_constants &c, double2 phi, double2 lambda,
    double2 *easting, double2 *northing);
bool tm_inverse(const tm_projection &p, const tm_constants &c, double easting, double northing,
    double *phi, double *lambda);
// The inverse for a geocentric step: the latitude with its sine and cosine
// ({B, sin B, cos B}) and the sine and cosine of the longitude from the
// central meridian, whose angle that step does not need.
bool tm_inverse_sines(const tm_projection &p, const tm_constants &c, double easting,
    double northing, double latitude[3], double *sinDl, double *cosDl);

// Zone parameter sets; 0, out untouched, for a zone outside 1..60 or hemisphere 0.
int gk_zone_projection(int zone, int hemisphere, tm_projection *out);
int utm_zone_projection(int zone, int hemisphere, tm_projection *out);

} // namespace kelvadra

#endif // KELVADRA_INTERNAL_H
