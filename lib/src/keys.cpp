// Plane keys of local systems: the step from a base projected system's plane
// coordinates (x northing, y easting, h) to a local system's (X, Y, H).
//
// Method: an affine plane step
//     X = dx + a1·x + a2·y,   Y = dy + b1·x + b2·y
// (a similarity, the usual "keys" of a city system, is a1 = b2 = m·cos θ,
// b1 = −a2 = m·sin θ), and a height plane H = h + dh + sx·x + sy·y. The
// inverse solves the 2x2 system in closed form,
//     x = ( b2·u − a2·v) / D,   y = (−b1·u + a1·v) / D,
//     u = X − dx, v = Y − dy, D = a1·b2 − a2·b1,
// then h = H − dh − sx·x − sy·y with that x and y: no iteration, so the
// inverse undoes the forward step to rounding whatever the keys.
// Keys whose |D| is below 1e-6 are refused: such a step folds the plane
// (a local metre would stand for a kilometre of the base) and no real
// system has one.
//
// Arithmetic: each coordinate is evaluated in long double and rounded to
// double once. Where long double is wider (x86-64: 64-bit mantissa) a result
// near 7 400 000 m then lies within half a unit in the last place (4.7e-10 m)
// of the exact value, so forward then inverse returns a point within 1e-9 m;
// plain double sums of three such terms would leave a few units (where long
// double is double, as with MSVC, a round trip keeps within about 2e-9 m).
//
// Departures from the bare contract ("every field finite"): DBL_MAX, the
// not-set marker, counts as not set in any field, not only in a1, since a key
// of 1.8e308 is never meant; and a result beyond the double range is refused
// like a non-finite input instead of being written as infinity with success.
#include "kelvadra_internal.h"

#include <cmath>

namespace {

using real = long double;

bool finite(double v)
{
    return std::isfinite(v);
}

// DBL_MAX is the not-set marker, never a key value.
bool field_set(double v)
{
    return finite(v) && v != kelvadra::kNotSet;
}

real determinant(const plane_keys &k)
{
    return static_cast<real>(k.a1) * k.b2 - static_cast<real>(k.a2) * k.b1;
}

bool keys_set(const plane_keys &k)
{
    const double fields[] = {k.dx, k.dy, k.a1, k.a2, k.b1, k.b2, k.dh, k.sx, k.sy};
    for (double f : fields) {
        if (!field_set(f))
            return false;
    }
    // The limit as a double: 1e-6 written as a long double is a little larger
    // and would refuse a determinant of exactly the double 1e-6.
    return std::fabs(determinant(k)) >= static_cast<real>(1e-6);
}

// Common checks; reads the input into x, y, h.
bool accept(const double in[3], const plane_keys *k, const double out[3], real *x, real *y, real *h)
{
    if (!in || !k || !out || !keys_set(*k) || !finite(in[0]) || !finite(in[1]) || !finite(in[2]))
        return false;
    *x = in[0];
    *y = in[1];
    *h = in[2];
    return true;
}

// Writes the three values when every one fits a double. Range-checked before
// the conversion, which is undefined for a value beyond the double range.
int write(real x, real y, real h, double out[3])
{
    const real limit = DBL_MAX;
    if (!(std::fabs(x) <= limit && std::fabs(y) <= limit && std::fabs(h) <= limit))
        return 0;
    out[0] = static_cast<double>(x);
    out[1] = static_cast<double>(y);
    out[2] = static_cast<double>(h);
    return 1;
}

} // namespace

extern "C" {

KELVADRA_API void invalidate_plane_keys(plane_keys *k)
{
    if (!k)
        return;
    const double n = kelvadra::kNotSet;
    *k = {n, n, n, n, n, n, n, n, n};
}

KELVADRA_API int check_plane_keys(const plane_keys *k)
{
    return k && keys_set(*k) ? 1 : 0;
}

KELVADRA_API int plane_keys_forward(const double in[3], const plane_keys *k, double out[3])
{
    real x, y, h;
    if (!accept(in, k, out, &x, &y, &h))
        return 0;
    const real X = k->dx + k->a1 * x + k->a2 * y;
    const real Y = k->dy + k->b1 * x + k->b2 * y;
    const real H = h + k->dh + k->sx * x + k->sy * y;
    return write(X, Y, H, out);
}

KELVADRA_API int plane_keys_inverse(const double in[3], const plane_keys *k, double out[3])
{
    real X, Y, H;
    if (!accept(in, k, out, &X, &Y, &H))
        return 0;
    const real d = determinant(*k);
    const real u = X - k->dx;
    const real v = Y - k->dy;
    const real x = (k->b2 * u - k->a2 * v) / d;
    const real y = (k->a1 * v - k->b1 * u) / d;
    const real h = H - k->dh - k->sx * x - k->sy * y;
    return write(x, y, h, out);
}

} // extern "C"
