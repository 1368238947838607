// The transformation chain: one conversion between any two reference systems.
//
// initialize_transform decides once which steps a pair of systems needs and
// records them; transform_coords runs a point through them:
//   plane inverse (GOST series or Transverse Mercator) or degrees -> radians,
//   geodetic -> geocentric (ГОСТ 32453-2017) on the input ellipsoid (from a
//   Transverse Mercator plane about its central meridian, from the sines the
//   inverse gives, the turn to Greenwich joining the affine step),
//   one affine step (local frame in, Helmert shift through PZ 90.11, local
//   frame out, composed into a single matrix and vector; from a Transverse
//   Mercator plane to geodetic coordinates it ends in the frame of the
//   plane's central meridian again),
//   geocentric -> geodetic on the output ellipsoid,
//   plane forward or radians -> degrees.
// A side passes through geocentric coordinates only when the other side is
// geocentric or local or the datums differ; on one datum geodetic, zone and
// projected forms convert directly in geodetic radians and heights are kept.
//
// Departures, to keep a wrong point from being reported as a result:
//  - initialize_transform also refuses a system that check_refsystem rejects
//    (an incomplete zone or projection would otherwise be read as degrees)
//    and a pair whose datum has no ellipsoid or shift parameters where the
//    steps need them;
//  - two projected systems on one datum are the identity only when their axis
//    orders agree too;
//  - a geodetic longitude in degrees is reduced to [-180, 180] before it
//    becomes radians, so a longitude given beyond a turn gives the point of
//    its reduced value bit for bit;
//  - transform_coords returns 0, output untouched, when a step rejects the
//    point or the result is not finite;
//  - transform_coords applies the shift when its not-set markers are clear,
//    without recomputing the determinant for every point: initialize_transform
//    records a shift only after its determinant passed.
#include "kelvadra_internal.h"

#include <cmath>

namespace kelvadra {
namespace {

// The reset state: converts every point into itself. The axis orders are
// left alone; they are read only when their projection is set.
void reset_transform(transform *t)
{
    t->input_projection.scale_factor = 0.0;
    t->input_constants.a = 0.0;
    t->input_zone = -1;
    t->input_hemisphere = 0;
    t->input_ellipsoid.a = 0.0;
    affine_unset(&t->shift);
    t->output_ellipsoid.a = 0.0;
    t->output_projection.scale_factor = 0.0;
    t->output_constants.a = 0.0;
    t->output_zone = -1;
    t->output_hemisphere = 0;
}

// A longitude in degrees into [-180, 180] before it becomes radians. The
// remainder is exact, so 365 and -355 become 5 itself; reduced in radians
// instead, 365 degrees would carry the rounding of 365·π/180 into the series
// (1.2 mm of easting) and the Gauss-Krüger series' ρ, a little under 180/π,
// would turn 720 degrees of it into a few millimetres less than two turns.
// Within +-180 the remainder is the longitude itself, so only the rest pays
// for the library call.
double reduce_longitude_deg(double lon)
{
    return lon >= -180.0 && lon <= 180.0 ? lon : std::remainder(lon, 360.0);
}

bool is_set(const ellipsoid &e)
{
    return e.a > 0.0;
}
bool is_set(const tm_projection &p)
{
    return p.scale_factor > 0.0;
}

bool same_projection(const tm_projection &a, const tm_projection &b)
{
    return a.central_meridian == b.central_meridian && a.origin_latitude == b.origin_latitude
        && a.scale_factor == b.scale_factor && a.false_easting == b.false_easting
        && a.false_northing == b.false_northing;
}

// A plane input bound for geocentric coordinates gives them about its
// central meridian; when the output is geodetic again, the affine step turns
// them back to that frame, so that the output longitude is the meridian plus
// a small angle (a series, not a library call).
bool output_about_meridian(const transform &t)
{
    return is_set(t.input_projection) && is_set(t.input_ellipsoid) && is_set(t.output_ellipsoid);
}

// Which steps a pair of systems needs.
struct Plan
{
    bool ellipsoidIn = false, ellipsoidOut = false;   // E-in, E-out
    bool zoneIn = false, zoneOut = false;             // Z-in, Z-out
    bool projectionIn = false, projectionOut = false; // P-in, P-out
    bool localIn = false, localOut = false;           // L-in, L-out
    bool shift = false;                               // S
};

Plan plan_for(const refsystem &in, const refsystem &out)
{
    Plan plan;
    const bool sameDatum = in.datum == out.datum;
    // On one datum these pairs record nothing at all.
    if (sameDatum && in.type == out.type) {
        if (in.type == KV_TYPE_GEOCENTRIC || in.type == KV_TYPE_GEODETIC)
            return plan;
        if (in.type == KV_TYPE_GK_ZONE && in.zone == out.zone && in.hemisphere == out.hemisphere)
            return plan;
        // The axis orders are compared as well: (easting, northing) read as
        // (northing, easting) would come out swapped, not converted.
        if (in.type == KV_TYPE_PROJECTED && same_projection(in.projection, out.projection)
            && in.axis_order == out.axis_order)
            return plan;
    }
    const auto cartesian
        = [](int32_t type) { return type == KV_TYPE_GEOCENTRIC || type == KV_TYPE_LOCAL; };
    const auto angular = [](int32_t type) {
        return type == KV_TYPE_GEODETIC || type == KV_TYPE_GK_ZONE || type == KV_TYPE_PROJECTED;
    };
    // A side passes through geocentric coordinates when the other side is
    // Cartesian or the datums differ.
    plan.ellipsoidIn = angular(in.type) && (!sameDatum || cartesian(out.type));
    plan.ellipsoidOut = angular(out.type) && (!sameDatum || cartesian(in.type));
    plan.zoneIn = in.type == KV_TYPE_GK_ZONE;
    plan.zoneOut = out.type == KV_TYPE_GK_ZONE;
    plan.projectionIn = in.type == KV_TYPE_PROJECTED;
    plan.projectionOut = out.type == KV_TYPE_PROJECTED;
    plan.localIn = in.type == KV_TYPE_LOCAL;
    plan.localOut = out.type == KV_TYPE_LOCAL;
    plan.shift = !sameDatum;
    return plan;
}

// Appends `step` after what `chain` already applies.
void append(affine *chain, bool *any, const affine &step)
{
    *chain = *any ? affine_compose(*chain, step) : step;
    *any = true;
}

// The ways points can take side by side (convert_lanes): geodetic degrees
// or a fixed national zone on either side, or a Transverse Mercator plane on
// the output side, on one datum or across datums through geocentric
// coordinates. No Transverse Mercator input, no geocentric or local side, no
// automatic zone.
bool lanes_way(const transform &t)
{
    if (t.input_zone == 0 || t.output_zone == 0 || is_set(t.input_projection))
        return false;
    const bool shift = t.shift.matrix[0][0] != kNotSet && t.shift.vector[0] != kNotSet;
    const bool in = is_set(t.input_ellipsoid), out = is_set(t.output_ellipsoid);
    return (in && out && shift) || (!in && !out && !shift);
}

// The Transverse Mercator forward step for lanes: four points as two pairs.
bool tm_forward_lanes(const transform &t, double2 x, double2 y, double2 *easting, double2 *northing)
{
    return tm_forward_pair(t.output_projection, t.output_constants, x, y, easting, northing);
}
bool tm_forward_lanes(const transform &t, double4 x, double4 y, double4 *easting, double4 *northing)
{
    return tm_forward_lanes(t, x.lo, y.lo, &easting->lo, &northing->lo)
        && tm_forward_lanes(t, x.hi, y.hi, &easting->hi, &northing->hi);
}

// Points of lanes_way side by side (V = double2, double4), each stage for
// all before the next: the steps of a point wait on each other (roots,
// divisions, library calls), so the other points' steps fill the waits. The
// stages are transform_coords's, and every step is its own function or the
// same arithmetic on lanes, so each result is bit for bit transform_coords's.
// False, nothing written, when any point leaves the common way (a longitude
// past a half turn, a step that fails, a result not finite): then fewer go
// together.
template <class V> bool convert_lanes(const transform &t, const double *in, double *out)
{
    constexpr std::ptrdiff_t n = kLanes<V>;
    V x = lanes_of<V>(in, 3), y = lanes_of<V>(in + 1, 3), z = lanes_of<V>(in + 2, 3);
    const bool across = is_set(t.input_ellipsoid);
    bool angular = true;
    if (t.input_zone != -1) {
        if (!gk6_inverse_lanes(x, y, t.input_zone, t.input_hemisphere, &x, &y))
            return false;
    } else {
        angular = across;
        if (across) {
            for (std::ptrdiff_t k = 0; k < n; ++k) {
                if (!(y[k] >= -180.0 && y[k] <= 180.0))
                    return false;
            }
            x = deg_to_rad(x);
            y = deg_to_rad(y);
        }
    }
    if (across) {
        V xyz[3];
        double near[n][3];
        const V blh[3] = {x, y, z};
        if (!geodetic_to_geocentric_lanes(t.input_ellipsoid, blh, xyz, near))
            return false;
        const double(*m)[3] = t.shift.matrix;
        const double *v = t.shift.vector;
        const V X = xyz[0], Y = xyz[1], Z = xyz[2];
        xyz[0] = m[0][0] * X + m[0][1] * Y + m[0][2] * Z + v[0];
        xyz[1] = m[1][0] * X + m[1][1] * Y + m[1][2] * Z + v[1];
        xyz[2] = m[2][0] * X + m[2][1] * Y + m[2][2] * Z + v[2];
        V blhOut[3];
        if (!geocentric_to_geodetic_lanes(t.output_ellipsoid, xyz, blhOut, near))
            return false;
        x = blhOut[0], y = blhOut[1], z = blhOut[2];
    } else if (angular) {
        x = rad_to_deg(x), y = rad_to_deg(y);
    }
    const bool projectionOut = is_set(t.output_projection);
    const bool planeOut = projectionOut || t.output_zone != -1;
    if (planeOut || across) {
        if (!across) {
            // Within a half turn the reduction is the longitude itself.
            bool reduced = true;
            for (std::ptrdiff_t k = 0; k < n; ++k)
                reduced = reduced && y[k] >= -180.0 && y[k] <= 180.0;
            if (!reduced) {
                double lon[n];
                for (std::ptrdiff_t k = 0; k < n; ++k)
                    lon[k] = reduce_longitude_deg(y[k]);
                y = lanes_of<V>(lon);
            }
            x = deg_to_rad(x), y = deg_to_rad(y);
        }
        if (projectionOut) {
            V easting {}, northing {};
            if (!tm_forward_lanes(t, x, y, &easting, &northing))
                return false;
            const bool northingFirst = t.output_axis_order == KV_AXES_NORTHING_EASTING;
            x = northingFirst ? northing : easting;
            y = northingFirst ? easting : northing;
        } else if (planeOut) {
            if (!gk6_forward_lanes(x, y, t.output_zone, t.output_hemisphere, &x, &y))
                return false;
        } else {
            x = rad_to_deg(x), y = rad_to_deg(y);
        }
    }
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        if (!std::isfinite(x[k]) || !std::isfinite(y[k]) || !std::isfinite(z[k]))
            return false;
    }
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        out[3 * k] = x[k];
        out[3 * k + 1] = y[k];
        out[3 * k + 2] = z[k];
    }
    return true;
}

// A Transverse Mercator plane to geodetic coordinates on another datum:
// the way that has no lanes of its own (see convert_plane_pair).
bool plane_pair_way(const transform &t)
{
    return is_set(t.input_projection) && is_set(t.input_ellipsoid) && is_set(t.output_ellipsoid)
        && t.shift.matrix[0][0] != kNotSet && t.shift.vector[0] != kNotSet
        && !is_set(t.output_projection) && t.output_zone == -1;
}

// Two points of plane_pair_way through transform_coords's steps, each
// step for both before the next: each point's steps wait on each other,
// and the other point's fill the waits. The steps are the same calls, so
// each result is bit for bit transform_coords's. False, nothing written,
// when either point fails a step.
bool convert_plane_pair(const transform &t, const double in[6], double out[6])
{
    constexpr std::ptrdiff_t n = 2;
    const bool northingFirst = t.input_axis_order == KV_AXES_NORTHING_EASTING;
    double near[n][3], sinDl[n], cosDl[n], xyz[n][3], blh[n][3];
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        const double *p = in + 3 * k;
        const double easting = northingFirst ? p[1] : p[0], northing = northingFirst ? p[0] : p[1];
        if (!tm_inverse_sines(t.input_projection, t.input_constants, easting, northing, near[k],
                &sinDl[k], &cosDl[k]))
            return false;
    }
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        if (!geodetic_sines_to_geocentric(
                t.input_ellipsoid, near[k], sinDl[k], cosDl[k], in[3 * k + 2], xyz[k]))
            return false;
    }
    const double(*m)[3] = t.shift.matrix;
    const double *v = t.shift.vector;
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        const double x = xyz[k][0], y = xyz[k][1], z = xyz[k][2];
        xyz[k][0] = m[0][0] * x + m[0][1] * y + m[0][2] * z + v[0];
        xyz[k][1] = m[1][0] * x + m[1][1] * y + m[1][2] * z + v[1];
        xyz[k][2] = m[2][0] * x + m[2][1] * y + m[2][2] * z + v[2];
    }
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        if (!geocentric_to_geodetic(
                t.output_ellipsoid, xyz[k], blh[k], near[k], &t.input_projection.central_meridian))
            return false;
    }
    // Finite, as geocentric_to_geodetic leaves them.
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        out[3 * k] = rad_to_deg(blh[k][0]);
        out[3 * k + 1] = rad_to_deg(blh[k][1]);
        out[3 * k + 2] = blh[k][2];
    }
    return true;
}

} // namespace
} // namespace kelvadra

using namespace kelvadra;

extern "C" {

KELVADRA_API int initialize_transform(const refsystem *in, const refsystem *out, transform *t)
{
    if (!t)
        return 0;
    reset_transform(t);
    if (!in || !out)
        return 0;
    const auto validType = [](int32_t type) { return static_cast<uint32_t>(type) - 1u < 5u; };
    if (!validType(in->type) || !validType(out->type))
        return 0;
    if (!check_refsystem(in) || !check_refsystem(out))
        return 0;

    const Plan plan = plan_for(*in, *out);
    ellipsoid inEllipsoid {0.0, 0.0};
    ellipsoid outEllipsoid {0.0, 0.0};
    const bool haveIn = ellipsoid_of_datum(in->datum, &inEllipsoid) != 0;
    const bool haveOut = ellipsoid_of_datum(out->datum, &outEllipsoid) != 0;
    if (!haveIn && (plan.ellipsoidIn || plan.projectionIn || plan.localIn))
        return 0;
    if (!haveOut && (plan.ellipsoidOut || plan.projectionOut || plan.localOut))
        return 0;

    transform w {};
    reset_transform(&w);
    if (plan.ellipsoidIn)
        w.input_ellipsoid = inEllipsoid;
    if (plan.ellipsoidOut)
        w.output_ellipsoid = outEllipsoid;
    if (plan.zoneIn) {
        w.input_zone = in->zone;
        w.input_hemisphere = in->hemisphere;
    }
    if (plan.zoneOut) {
        w.output_zone = out->zone;
        w.output_hemisphere = out->hemisphere;
    }
    if (plan.projectionIn) {
        w.input_projection = in->projection;
        w.input_axis_order = in->axis_order;
        tm_setup_inverse(inEllipsoid, in->projection, &w.input_constants);
    }
    if (plan.projectionOut) {
        w.output_projection = out->projection;
        w.output_axis_order = out->axis_order;
        tm_setup_forward(outEllipsoid, out->projection, &w.output_constants);
    }

    bool any = false;
    // A plane input bound for geocentric coordinates gives them about its
    // central meridian (the inverse needs no angle of longitude then); the
    // turn to Greenwich joins the affine step.
    if (plan.projectionIn && plan.ellipsoidIn)
        append(&w.shift, &any, polar_rotation(in->projection.central_meridian));
    if (plan.localIn)
        append(&w.shift, &any, local_to_geocentric(inEllipsoid, in->origin));
    if (plan.shift) {
        datum_shift shift {};
        if (!shift_between(in->datum, out->datum, &shift))
            return 0;
        append(&w.shift, &any, helmert_affine(shift));
    }
    if (plan.localOut)
        append(&w.shift, &any, geocentric_to_local(outEllipsoid, out->origin));
    if (output_about_meridian(w))
        append(&w.shift, &any, polar_rotation(-in->projection.central_meridian));
    // A step the pair needs that did not come out usable (a non-finite
    // origin, say) would otherwise be skipped silently at every point.
    if (any && !affine_is_set(w.shift))
        return 0;

    *t = w;
    return 1;
}

// Flattened: the steps, compiled in the same unit (see lib/CMakeLists.txt), are
// inlined so that the point stays in registers from the first to the last.
#if defined(__GNUC__)
__attribute__((flatten))
#endif
KELVADRA_API int
transform_coords(const double in[3], const transform *t, double out[3])
{
    if (!in || !t || !out)
        return 0;
    // Copied first: out may be the same array as in. The point travels in
    // scalars; results written through pointers and read back as a pair
    // stall on store forwarding, which costs more than the arithmetic here.
    double x = in[0], y = in[1], z = in[2];

    // The input latitude with its sine and cosine: a datum shift moves a
    // point by far less than 1e-3 rad, so the output latitude is found near it.
    double near[3];
    const double *inputLatitude = nullptr;

    // Input side. `angular` marks a point that left a plane inverse and now
    // holds latitude and longitude in radians.
    bool angular = true;
    if (t->input_zone != -1) {
        // Any recorded zone other than 0 goes to gk6_inverse, which refuses
        // one outside 1..60 rather than letting the point be misread.
        double B, L;
        const int ok = t->input_zone == 0
            ? gk6_inverse_auto_zone(x, y, t->input_hemisphere, &B, &L)
            : gk6_inverse(x, y, t->input_zone, t->input_hemisphere, &B, &L);
        if (!ok)
            return 0;
        x = B;
        y = L;
    } else if (is_set(t->input_projection)) {
        const bool northingFirst = t->input_axis_order == KV_AXES_NORTHING_EASTING;
        const double easting = northingFirst ? y : x, northing = northingFirst ? x : y;
        if (is_set(t->input_ellipsoid)) {
            // Straight to geocentric coordinates about the central meridian.
            double sinDl, cosDl, xyz[3];
            if (!tm_inverse_sines(t->input_projection, t->input_constants, easting, northing, near,
                    &sinDl, &cosDl)
                || !geodetic_sines_to_geocentric(t->input_ellipsoid, near, sinDl, cosDl, z, xyz))
                return 0;
            inputLatitude = near;
            x = xyz[0];
            y = xyz[1];
            z = xyz[2];
            angular = false;
        } else {
            double B, L;
            if (!tm_inverse(t->input_projection, t->input_constants, easting, northing, &B, &L))
                return 0;
            x = B;
            y = L;
        }
    } else {
        angular = false;
        if (is_set(t->input_ellipsoid)) {
            x = deg_to_rad(x);
            y = deg_to_rad(reduce_longitude_deg(y));
            angular = true;
        }
    }
    if (angular) {
        if (is_set(t->input_ellipsoid)) {
            const double blh[3] = {x, y, z};
            double xyz[3];
            if (!geodetic_to_geocentric(t->input_ellipsoid, blh, xyz, near))
                return 0;
            inputLatitude = near;
            x = xyz[0];
            y = xyz[1];
            z = xyz[2];
        } else {
            x = rad_to_deg(x);
            y = rad_to_deg(y);
        }
    }

    // initialize_transform records a shift only when it is usable (determinant
    // > 1e-10): the markers tell, the determinant need not be recomputed.
    if (t->shift.matrix[0][0] != kNotSet && t->shift.vector[0] != kNotSet) {
        const double(*m)[3] = t->shift.matrix;
        const double *v = t->shift.vector;
        // affine_apply, inline: the same sums in the same order.
        const double X = m[0][0] * x + m[0][1] * y + m[0][2] * z + v[0];
        const double Y = m[1][0] * x + m[1][1] * y + m[1][2] * z + v[1];
        const double Z = m[2][0] * x + m[2][1] * y + m[2][2] * z + v[2];
        x = X;
        y = Y;
        z = Z;
    }

    // Output side. Any recorded zone other than -1 goes to gk6_forward, which
    // refuses one outside 0..60.
    const bool projectionOut = is_set(t->output_projection);
    const bool planeOut = projectionOut || t->output_zone != -1;
    if (planeOut || is_set(t->output_ellipsoid)) {
        if (is_set(t->output_ellipsoid)) {
            const double xyz[3] = {x, y, z};
            double blh[3];
            const double *meridian
                = output_about_meridian(*t) ? &t->input_projection.central_meridian : nullptr;
            if (!geocentric_to_geodetic(t->output_ellipsoid, xyz, blh, inputLatitude, meridian))
                return 0;
            x = blh[0];
            y = blh[1];
            z = blh[2];
        } else {
            x = deg_to_rad(x);
            y = deg_to_rad(reduce_longitude_deg(y));
        }
        if (projectionOut) {
            double easting, northing;
            tm_forward(t->output_projection, t->output_constants, x, y, &easting, &northing);
            const bool northingFirst = t->output_axis_order == KV_AXES_NORTHING_EASTING;
            x = northingFirst ? northing : easting;
            y = northingFirst ? easting : northing;
        } else if (planeOut) {
            double north, east;
            if (!gk6_forward(x, y, t->output_zone, t->output_hemisphere, &north, &east))
                return 0;
            x = north;
            y = east;
        } else {
            x = rad_to_deg(x);
            y = rad_to_deg(y);
        }
    }

    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return 0;
    out[0] = x;
    out[1] = y;
    out[2] = z;
    return 1;
}

#if defined(__GNUC__)
__attribute__((flatten))
#endif
KELVADRA_API int
transform_coords_array(const double *in, size_t n, const transform *t, double *out, int *ok)
{
    if ((!in || !out) && n > 0)
        return 0;
    if (!t)
        return 0;
    const bool lanes = lanes_way(*t), planePairs = plane_pair_way(*t);
    int all = 1;
    for (size_t i = 0; i < n;) {
        // Side by side where the way allows: a point that leaves the common
        // way goes alone, and the next ones try together again.
        size_t together = 1;
        if (planePairs)
            together = i + 2 <= n && convert_plane_pair(*t, in + 3 * i, out + 3 * i) ? 2 : 1;
        else if (lanes)
            together = i + 4 <= n && convert_lanes<double4>(*t, in + 3 * i, out + 3 * i) ? 4
                : i + 2 <= n && convert_lanes<double2>(*t, in + 3 * i, out + 3 * i)      ? 2
                                                                                         : 1;
        if (together > 1) {
            for (size_t k = 0; ok && k < together; ++k)
                ok[i + k] = 1;
            i += together;
            continue;
        }
        // Alone: the first point left the common way, or the last point.
        const int converted = transform_coords(in + 3 * i, t, out + 3 * i);
        if (ok)
            ok[i] = converted;
        all &= converted;
        ++i;
    }
    return all;
}

} // extern "C"
