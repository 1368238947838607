// Geodetic <-> geocentric conversion on one ellipsoid (ГОСТ 32453-2017, with
// the iterative inverse of the standard), local east-north-up frames, and the
// affine step into which local frames and datum shifts are composed.
//
// Accuracy: the standard's inverse stops when the latitude correction changes
// by less than 1e-8 arc-second (4.8e-14 rad); near the Earth it converges in
// at most six iterations. Round trips agree within 1e-12 rad and 1e-8 m.
//
// Departures:
// - non-finite input fails (0, nothing written) instead of iterating on NaN;
//   a result that is not finite fails as well;
// - the standard's arcsines asin(Y / D) and asin(Z / r) are evaluated as
//   atan2(Y, |X|) and atan2(Z, D): equal in exact arithmetic, but the arcsine
//   of a ratio near 1 loses half its digits (2.6e-9 rad, 1.6 cm, at a
//   longitude of 89.999999 degrees). The case table and ranges are unchanged.
// - for r = sqrt(X2 + Y2 + Z2) >= a/2 off the polar axis and the equatorial
//   plane, the latitude comes from two steps of Bowring's method (1976)
//   started at the parametric latitude, not from the iteration: its 5-6
//   dependent passes of sin, sqrt, division and arcsine cost 85 % of a datum
//   change. The iteration itself stops only within its tolerance of the
//   exact latitude; Bowring's method converges cubically and two steps come
//   closer than that. Measured against the iteration over all five
//   ellipsoids, latitudes -90..90 deg (down to 1e-10 rad from the poles and
//   the equator) and heights -10 km to 10 000 km: |dB| <= 4.9e-14 rad,
//   |dH| <= 7.5e-9 m (bounds kept by the tests: 1e-13 rad, 1e-8 m), the
//   longitude bit for bit (the same case analysis). Closer to the centre, on the polar axis and
//   at Z = 0 the standard's iteration and branches remain, failures included.
//   A Transverse Mercator plane's point after a shift starts Bowring's
//   method from its latitude before the shift instead (one step when the
//   result is within 1e-7 rad of it, below 6e-17 rad from the exact one).
//   The final arctangent is taken as the arcsine of the smaller of sin B and
//   cos B, or, after a datum shift, as a short series around the input
//   latitude; both within 5e-16 rad of atan2 and quicker.
#include "kelvadra_internal.h"

#include <cmath>

namespace kelvadra {

namespace {

constexpr double kLatitudeTolerance = 4.84813681109536e-14; // 1e-8 arc-second, radians
constexpr int kMaxIterations = 100;

double eccentricity_squared(const ellipsoid &e)
{
    return 2.0 * e.f - e.f * e.f;
}

bool finite3(const double p[3])
{
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// Geocentric longitude in (-pi, pi] by the case analysis of the standard.
double longitude_of(double X, double Y, double D)
{
    if (D == 0.0)
        return 0.0;                                // on the polar axis
    const double La = std::atan2(Y, std::fabs(X)); // asin(Y / D), without its loss near +-1
    if (Y < 0.0 && X > 0.0)
        return La;
    if (X < 0.0 && Y < 0.0)
        return -kPi - La;
    if (X > 0.0 && Y > 0.0)
        return La;
    if (X < 0.0 && Y > 0.0)
        return kPi - La;
    if (X == 0.0)
        return Y < 0.0 ? -kHalfPi : kHalfPi;
    if (X < 0.0) // Y == 0
        return kPi;
    return 0.0; // Y == 0, X > 0
}

// The longitude of a point in the frame turned east by `meridian`: within
// a zone's width of that meridian (|Y| <= 0.11 X) by the series of the
// arctangent, a library call less on the way from a plane to another datum.
double longitude_about(double meridian, double X, double Y, double D)
{
    if (D == 0.0)
        return 0.0; // on the polar axis, as longitude_of
    const double l = X > 0.0 && std::fabs(Y) <= 0.11 * X ? atan_series(Y / X) : std::atan2(Y, X);
    return normalize_angle_pi(meridian + l);
}

struct Frame
{
    double sB, cB, sL, cL;
    double N0, H0, e2;
};

Frame frame_of(const ellipsoid &e, const double origin[3])
{
    Frame f;
    sin_cos(origin[0], &f.sB, &f.cB);
    sin_cos(origin[1], &f.sL, &f.cL);
    f.e2 = eccentricity_squared(e);
    f.N0 = e.a / std::sqrt(1.0 - f.e2 * f.sB * f.sB);
    f.H0 = origin[2];
    return f;
}

} // namespace

double prime_vertical_radius(const ellipsoid &e, double B)
{
    const double s = std::sin(B);
    return e.a / std::sqrt(1.0 - eccentricity_squared(e) * s * s);
}

namespace {

// The arithmetic below is written once for one point (T = double) and for
// two side by side (T = double2), with the same operations in the same order.

// X, Y, Z from q = 1 - e2 sin2 B and the sines and cosines of B and L.
template <class T>
void geocentric_from(double a, double e2, T q, T sB, T cB, T sL, T cL, T H, T *X, T *Y, T *Z)
{
    const T N = a / root(q);
    *X = (N + H) * cB * cL;
    *Y = (N + H) * cB * sL;
    *Z = (H + N * (1.0 - e2)) * sB;
}

// X, Y, Z from the sines and cosines of B and L.
bool geocentric_of(const ellipsoid &e, double sB, double cB, double sL, double cL, double H,
    double *X, double *Y, double *Z)
{
    const double e2 = eccentricity_squared(e);
    const double q = 1.0 - e2 * sB * sB;
    if (!(q > 0.0))
        return false;
    geocentric_from(e.a, e2, q, sB, cB, sL, cL, H, X, Y, Z);
    return std::isfinite(*X) && std::isfinite(*Y) && std::isfinite(*Z);
}

} // namespace

int geodetic_to_geocentric(
    const ellipsoid &e, const double blh[3], double xyz[3], double latitude[3])
{
    if (!finite3(blh))
        return 0;
    const double B = blh[0], L = blh[1], H = blh[2];
    double sB, cB, sL, cL;
    sin_cos_latitude(B, &sB, &cB);
    sin_cos_longitude(L, &sL, &cL);
    double X, Y, Z;
    if (!geocentric_of(e, sB, cB, sL, cL, H, &X, &Y, &Z))
        return 0;
    if (latitude) {
        latitude[0] = B;
        latitude[1] = sB;
        latitude[2] = cB;
    }
    xyz[0] = X;
    xyz[1] = Y;
    xyz[2] = Z;
    return 1;
}

int geodetic_sines_to_geocentric(
    const ellipsoid &e, const double latitude[3], double sL, double cL, double H, double xyz[3])
{
    if (!finite3(latitude) || !std::isfinite(sL) || !std::isfinite(cL) || !std::isfinite(H))
        return 0;
    double X, Y, Z;
    if (!geocentric_of(e, latitude[1], latitude[2], sL, cL, H, &X, &Y, &Z))
        return 0;
    xyz[0] = X;
    xyz[1] = Y;
    xyz[2] = Z;
    return 1;
}

affine polar_rotation(double angle)
{
    double s, c;
    sin_cos(angle, &s, &c);
    affine t;
    t.matrix[0][0] = c;
    t.matrix[0][1] = -s;
    t.matrix[0][2] = 0.0;
    t.matrix[1][0] = s;
    t.matrix[1][1] = c;
    t.matrix[1][2] = 0.0;
    t.matrix[2][0] = 0.0;
    t.matrix[2][1] = 0.0;
    t.matrix[2][2] = 1.0;
    t.vector[0] = 0.0;
    t.vector[1] = 0.0;
    t.vector[2] = 0.0;
    return t;
}

namespace {

// Latitude and height by the iteration of the standard, for Z != 0 off the
// polar axis as well as on it. False when it does not converge.
bool iterate_latitude(double a, double e2, double D, double Z, double r, double *B, double *H)
{
    const double c = std::atan2(Z, D); // asin(Z / r), without its loss near the poles
    const double p = a * e2 / (2.0 * r);
    double s1 = 0.0;
    double b, sb, rq; // the latitude of the stopping pass, its sine and sqrt(q)
    for (int iteration = 1;; ++iteration) {
        b = c + s1;
        sb = std::sin(b);
        const double q = 1.0 - e2 * sb * sb;
        if (!(q > 0.0))
            return false;
        rq = std::sqrt(q);
        const double s2 = std::asin(p * std::sin(2.0 * b) / rq);
        if (iteration > kMaxIterations)
            return false;
        if (std::fabs(s2 - s1) < kLatitudeTolerance)
            break;
        s1 = s2;
    }
    // sin B and sqrt(1 - e2 sin2 B) are those of the stopping pass.
    *B = b;
    *H = D * std::cos(b) + Z * sb - a * rq;
    return true;
}

// One step of Bowring's formula (below) from (n, d), sin u and cos u of the
// parametric latitude times any common length.
template <class T>
void bowring_step(double a, double f, double e2, T n, T d, T D, T absZ, T *num, T *den)
{
    const double e2a = e2 * a;
    const double ep2b = e2a / (1.0 - f);
    const T q = n * n + d * d;
    const T r = 1.0 / q;
    const T l3 = root(q) * (r * r);
    *num = absZ + ep2b * (n * n * n) * l3;
    *den = D - e2a * (d * d * d) * l3;
}

// Two steps of Bowring's formula from the parametric latitude u, for |Z|:
//   tan u = a|Z| / (bD),
//   tan B = (|Z| + e'2 b sin3u) / (D - e2 a cos3u),   tan u = (b/a) tan B.
// (n, d) holds (sin u, cos u) times a common length l; sin3u = n3 / l3 with
// 1 / l3 = sqrt(q) / q2, q = n2 + d2, so the root and the division run side
// by side. Returns tan B as num / den. D2 = X2 + Y2 lets the first step start
// before the root D is known.
template <class T> void bowring(double a, double f, double e2, T D2, T D, T absZ, T *num, T *den)
{
    const double ba = 1.0 - f; // b / a
    const double e2a = e2 * a;
    // First step; the next u directly: (b/a) (|Z| + e'2 b sin3u) = b/a |Z| + e2 a sin3u.
    const T q = absZ * absZ + ba * ba * D2;
    const T r = 1.0 / q;
    const T l3 = root(q) * (r * r);
    const T d0 = ba * D;
    const T n1 = ba * absZ + e2a * (absZ * absZ * absZ) * l3;
    const T d1 = D - e2a * (d0 * d0 * d0) * l3;
    bowring_step(a, f, e2, n1, d1, D, absZ, num, den);
}

// sin |B| and cos |B| from tan |B| = num / den.
template <class T> void sines_of(T num, T den, T *sB, T *cB)
{
    const T q = num * num + den * den;
    const T k = root(q) * (1.0 / q);
    *sB = num * k;
    *cB = den * k;
}

template <class T> T height_of(double a, double e2, T D, T absZ, T sB, T cB)
{
    return D * cB + absZ * sB - a * root(1.0 - e2 * sB * sB);
}

// B0 + atan(t) by three terms of the series (|t| < 1e-3).
template <class T> T turned_by(T B0, T t)
{
    const T t2 = t * t;
    return B0 + t * (1.0 - t2 * (1.0 / 3.0 - t2 * 0.2));
}

// B from tan B = num / den (den > 0) and sin |B|, cos |B|. Near a latitude
// B0 known within 1e-3 rad (near = {B0, sin B0, cos B0}, |B0| <= pi/2), as
// B0 + atan(tan(B - B0)) by three terms of the series, exact to 1e-21 rad
// there: one division instead of a root and an arccosine on the way of
// every point that changes datum. Otherwise the arcsine of the smaller of
// sin and cos. Either way within 5e-16 rad of atan2(num, den).
double latitude_from(double num, double den, double sB, double cB, double Z, const double near[3])
{
    if (near && std::fabs(near[0]) <= kHalfPi) {
        const double c = den * near[2] + num * near[1]; // cos(B - B0), scaled
        const double t = (num * near[2] - den * near[1]) / c;
        if (c > 0.0 && std::fabs(t) < 1e-3)
            return turned_by(near[0], t);
    }
    return std::copysign(sB <= cB ? std::asin(sB) : std::acos(cB), Z);
}

} // namespace

int geocentric_to_geodetic(const ellipsoid &e, const double xyz[3], double blh[3],
    const double near[3], const double *meridian)
{
    if (!finite3(xyz))
        return 0;
    const double X = xyz[0], Y = xyz[1], Z = xyz[2];
    const double a = e.a;
    const double e2 = eccentricity_squared(e);
    const double D = std::sqrt(X * X + Y * Y);
    const double L = meridian ? longitude_about(*meridian, X, Y, D) : longitude_of(X, Y, D);

    double B, H;
    const double r2 = X * X + Y * Y + Z * Z;
    if (Z == 0.0) {
        B = 0.0;
        H = D - a;
    } else if (D != 0.0 && r2 >= 0.25 * a * a && r2 <= 1e40) {
        // Far enough from the centre (r >= a/2) Bowring's method converges
        // cubically; two steps are closer to the exact latitude than the
        // iteration's own tolerance. Beyond r = 1e20 m, far from any use,
        // the powers below could leave the range of doubles.
        const double absZ = std::fabs(Z), ba = 1.0 - e.f;
        double num, den;
        const bool fromNear = meridian && near && std::fabs(near[0]) <= kHalfPi;
        if (fromNear) {
            // Started at the point's latitude before the shift, known long
            // before X, Y, Z: the step waits for no root of its own.
            bowring_step(a, e.f, e2, ba * std::fabs(near[1]), near[2], D, absZ, &num, &den);
        } else {
            bowring(a, e.f, e2, X * X + Y * Y, D, absZ, &num, &den);
        }
        double sB, cB; // of |B|; den > 0 for r >= a/2
        sines_of(num, den, &sB, &cB);
        B = latitude_from(std::copysign(num, Z), den, sB, cB, Z, near);
        // One step from a start δ away leaves about 0.0054 δ^2 (all heights):
        // within 1e-7 rad of the start that is below 6e-17 rad. Farther (a
        // shift of more than half a metre), a second step from the first.
        if (fromNear && !(std::fabs(B - near[0]) <= 1e-7)) {
            bowring_step(a, e.f, e2, ba * sB, cB, D, absZ, &num, &den);
            sines_of(num, den, &sB, &cB);
            B = latitude_from(std::copysign(num, Z), den, sB, cB, Z, near);
        }
        H = height_of(a, e2, D, absZ, sB, cB);
    } else if (!iterate_latitude(a, e2, D, Z, std::sqrt(r2), &B, &H)) {
        return 0;
    }
    if (!std::isfinite(B) || !std::isfinite(L) || !std::isfinite(H))
        return 0;
    blh[0] = B;
    blh[1] = L;
    blh[2] = H;
    return 1;
}

template <class V>
bool geodetic_to_geocentric_lanes(
    const ellipsoid &e, const V blh[3], V xyz[3], double latitude[][3])
{
    constexpr int n = kLanes<V>;
    const V B = blh[0], L = blh[1], H = blh[2];
    // The library's calls first, into memory: lanes held across a call
    // would be spilled and reloaded.
    double sines[4][n]; // sin B, cos B, sin L, cos L of each point
    for (int k = 0; k < n; ++k) {
        if (!std::isfinite(B[k]) || !std::isfinite(L[k]) || !std::isfinite(H[k]))
            return false;
        sin_cos_latitude(B[k], &sines[0][k], &sines[1][k]);
        sin_cos_longitude(L[k], &sines[2][k], &sines[3][k]);
    }
    const V sB = lanes_of<V>(sines[0]), cB = lanes_of<V>(sines[1]);
    const V sL = lanes_of<V>(sines[2]), cL = lanes_of<V>(sines[3]);
    const double e2 = eccentricity_squared(e);
    const V q = 1.0 - e2 * sB * sB;
    for (int k = 0; k < n; ++k) {
        if (!(q[k] > 0.0))
            return false;
    }
    geocentric_from(e.a, e2, q, sB, cB, sL, cL, H, &xyz[0], &xyz[1], &xyz[2]);
    for (int k = 0; k < n; ++k) {
        if (!std::isfinite(xyz[0][k]) || !std::isfinite(xyz[1][k]) || !std::isfinite(xyz[2][k]))
            return false;
        latitude[k][0] = B[k];
        latitude[k][1] = sB[k];
        latitude[k][2] = cB[k];
    }
    return true;
}

template <class V>
bool geocentric_to_geodetic_lanes(
    const ellipsoid &e, const V xyz[3], V blh[3], const double near[][3])
{
    constexpr int n = kLanes<V>;
    const V X = xyz[0], Y = xyz[1], Z = xyz[2];
    const double a = e.a;
    const double e2 = eccentricity_squared(e);
    const V D = root(X * X + Y * Y);
    const V r2 = X * X + Y * Y + Z * Z;
    for (int k = 0; k < n; ++k) {
        // The common way of geocentric_to_geodetic: Bowring's steps, then the
        // series about the input latitude.
        if (!(std::isfinite(X[k]) && std::isfinite(Y[k]) && std::isfinite(Z[k])) || Z[k] == 0.0
            || D[k] == 0.0 || !(r2[k] >= 0.25 * a * a && r2[k] <= 1e40)
            || !(std::fabs(near[k][0]) <= kHalfPi))
            return false;
    }
    double absZ_[n], B0_[n], s0_[n], c0_[n], L[n];
    for (int k = 0; k < n; ++k) {
        absZ_[k] = std::fabs(Z[k]);
        B0_[k] = near[k][0], s0_[k] = near[k][1], c0_[k] = near[k][2];
    }
    const V absZ = lanes_of<V>(absZ_), B0 = lanes_of<V>(B0_), s0 = lanes_of<V>(s0_),
            c0 = lanes_of<V>(c0_);
    // The library's arctangents first: they wait for nothing below.
    for (int k = 0; k < n; ++k)
        L[k] = longitude_of(X[k], Y[k], D[k]);
    V num, den, sB, cB;
    bowring(a, e.f, e2, X * X + Y * Y, D, absZ, &num, &den);
    sines_of(num, den, &sB, &cB);
    double signed_[n];
    for (int k = 0; k < n; ++k)
        signed_[k] = std::copysign(num[k], Z[k]);
    const V signedNum = lanes_of<V>(signed_);
    const V c = den * c0 + signedNum * s0;
    const V t = (signedNum * c0 - den * s0) / c;
    const V B = turned_by(B0, t);
    const V H = height_of(a, e2, D, absZ, sB, cB);
    for (int k = 0; k < n; ++k) {
        if (!(c[k] > 0.0 && std::fabs(t[k]) < 1e-3))
            return false;
        if (!std::isfinite(B[k]) || !std::isfinite(L[k]) || !std::isfinite(H[k]))
            return false;
    }
    blh[0] = B;
    blh[1] = lanes_of<V>(L);
    blh[2] = H;
    return true;
}

template bool geodetic_to_geocentric_lanes(
    const ellipsoid &, const double2[3], double2[3], double[][3]);
template bool geodetic_to_geocentric_lanes(
    const ellipsoid &, const double4[3], double4[3], double[][3]);
template bool geocentric_to_geodetic_lanes(
    const ellipsoid &, const double2[3], double2[3], const double[][3]);
template bool geocentric_to_geodetic_lanes(
    const ellipsoid &, const double4[3], double4[3], const double[][3]);

affine local_to_geocentric(const ellipsoid &e, const double origin[3])
{
    const Frame f = frame_of(e, origin);
    affine t;
    // Columns are the east, north and up axes in geocentric coordinates.
    t.matrix[0][0] = -f.sL;
    t.matrix[0][1] = -f.sB * f.cL;
    t.matrix[0][2] = f.cB * f.cL;
    t.matrix[1][0] = f.cL;
    t.matrix[1][1] = -f.sB * f.sL;
    t.matrix[1][2] = f.cB * f.sL;
    t.matrix[2][0] = 0.0;
    t.matrix[2][1] = f.cB;
    t.matrix[2][2] = f.sB;
    t.vector[0] = (f.N0 + f.H0) * f.cB * f.cL;
    t.vector[1] = (f.N0 + f.H0) * f.cB * f.sL;
    t.vector[2] = ((1.0 - f.e2) * f.N0 + f.H0) * f.sB;
    return t;
}

affine geocentric_to_local(const ellipsoid &e, const double origin[3])
{
    const Frame f = frame_of(e, origin);
    affine t;
    // Rows are the east, north and up axes; the vector is -matrix * X0 in
    // closed form.
    t.matrix[0][0] = -f.sL;
    t.matrix[0][1] = f.cL;
    t.matrix[0][2] = 0.0;
    t.matrix[1][0] = -f.sB * f.cL;
    t.matrix[1][1] = -f.sB * f.sL;
    t.matrix[1][2] = f.cB;
    t.matrix[2][0] = f.cB * f.cL;
    t.matrix[2][1] = f.cB * f.sL;
    t.matrix[2][2] = f.sB;
    t.vector[0] = 0.0;
    t.vector[1] = f.e2 * f.N0 * f.sB * f.cB;
    t.vector[2] = f.e2 * f.N0 * f.sB * f.sB - f.N0 - f.H0;
    return t;
}

void affine_apply(const affine &a, const double p[3], double out[3])
{
    const double x = p[0], y = p[1], z = p[2];
    const double(*m)[3] = a.matrix;
    out[0] = m[0][0] * x + m[0][1] * y + m[0][2] * z + a.vector[0];
    out[1] = m[1][0] * x + m[1][1] * y + m[1][2] * z + a.vector[1];
    out[2] = m[2][0] * x + m[2][1] * y + m[2][2] * z + a.vector[2];
}

affine affine_compose(const affine &first, const affine &second)
{
    affine r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.matrix[i][j] = second.matrix[i][0] * first.matrix[0][j]
                + second.matrix[i][1] * first.matrix[1][j]
                + second.matrix[i][2] * first.matrix[2][j];
        }
    }
    affine_apply(second, first.vector, r.vector);
    return r;
}

int affine_is_set(const affine &a)
{
    const double(*m)[3] = a.matrix;
    if (m[0][0] == kNotSet || a.vector[0] == kNotSet)
        return 0;
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[2][1] * m[1][2])
        - m[0][1] * (m[2][2] * m[1][0] - m[1][2] * m[2][0])
        + m[0][2] * (m[2][1] * m[1][0] - m[1][1] * m[2][0]);
    return det > 1e-10;
}

void affine_unset(affine *a)
{
    a->matrix[0][0] = kNotSet;
    a->vector[0] = kNotSet;
}

} // namespace kelvadra
