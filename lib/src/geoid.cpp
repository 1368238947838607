// Geoid grid, geoid and heights above the geoid.
//
// The grid is a regular latitude/longitude lattice of single-precision geoid
// heights, row 0 at the southern edge, read by bilinear interpolation between
// the four surrounding nodes. Heights above the geoid are H = h - N, with h the
// ellipsoidal height in the grid's own system (WGS 84 for EGM96); the inverse
// is found by fixed-point iteration through the user's system, at most 100
// passes.
//
// Deliberate departures from the plain method:
// - Grids of more than 100 000 000 values (or whose counts overflow int32)
//   are refused instead of wrapping the size: no geoid needs them.
// - Non-finite edges or steps make the settings invalid.
// - A non-finite height is never stored (set_geoid_data_value refuses it) and
//   never returned by the interpolation or the height conversions, so NaN
//   cannot pass as a result.
// - The height conversions move a longitude outside the grid's columns by
//   whole turns towards them (365 deg reads as 5 deg); the interpolation
//   itself does not wrap.
// - Geocentric and local user systems are refused: their third coordinate is
//   not a height.
// - The inverse also stops, from its second pass on, when the height changes
//   by less than 0.1 mm from the pass before, and takes that height. Its
//   test of the horizontal round trip (within 1 mm) never passes where the
//   round trip through the national zone series or a first-order datum
//   composition misses by 0.6-1.2 mm (2.5-3.6 deg from a central meridian, a
//   Gauss-Krüger zone on SK-42, a longitude beyond 180 deg or outside its
//   zone); without this stop such rows would fail after the last pass with
//   the height long settled. Wherever the round-trip test passes first, it
//   decides the result.
#include "kelvadra_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

namespace {

// Over twice a 2.5' world grid (4321 x 8641, about 37 million values), and
// far from where rows * cols would overflow int32 or the allocation size.
constexpr double kMaxValues = 100000000.0;
// Passes of the inverse height iteration before it gives up.
constexpr int kMaxPasses = 100;

bool is_set(double x)
{
    return x != kelvadra::kNotSet && std::isfinite(x);
}

// rows * cols within the limit, both positive.
bool size_acceptable(int32_t rows, int32_t cols)
{
    return rows > 0 && cols > 0 && double(rows) * double(cols) <= kMaxValues;
}

// Bilinear interpolation; kept out of the exported symbol so that the height
// conversions can inline it.
inline bool interpolate(const geoid_data &g, double lat, double lon, double *out)
{
    if (!g.values)
        return false;
    const double u = (lat - g.lat_min) / g.lat_step; // fractional row
    const double v = (lon - g.lon_min) / g.lon_step; // fractional column
    // floor(u) >= 0 and ceil(u) <= rows - 1 is 0 <= u <= rows - 1; tested in
    // doubles before any conversion, so NaN and huge values fail here. No
    // wrap-around and no clamping at the edges.
    if (!(u >= 0.0) || !(v >= 0.0) || !(u <= g.rows - 1.0) || !(v <= g.cols - 1.0))
        return false;
    // Truncation is floor for these non-negative values; ceil is one more
    // unless the value is whole.
    const std::size_t r0 = std::size_t(u), c0 = std::size_t(v);
    const std::size_t r1 = r0 + (u > double(r0)), c1 = c0 + (v > double(c0));
    const double fr0 = double(r0), fr1 = double(r1);
    const double fc0 = double(c0), fc1 = double(c1);
    const std::size_t cols = std::size_t(g.cols);
    const float *row0 = g.values + r0 * cols;
    const float *row1 = g.values + r1 * cols;

    double z;
    if (r0 == r1 && c0 == c1) {
        z = row0[c0];
    } else if (c0 == c1) {
        z = (fr1 - u) * row0[c0] + (u - fr0) * row1[c0];
    } else if (r0 == r1) {
        z = (fc1 - v) * row0[c0] + (v - fc0) * row0[c1];
    } else {
        z = (fc1 - v) * (fr1 - u) * row0[c0] + (fc1 - v) * (u - fr0) * row1[c0]
            + (v - fc0) * (fr1 - u) * row0[c1] + (v - fc0) * (u - fr0) * row1[c1];
    }
    if (!std::isfinite(z))
        return false;
    *out = z;
    return true;
}

// A geodetic longitude outside the grid's columns moved by whole turns
// towards them: a longitude given beyond a turn (365 deg) has the height of
// its reduced value. Inside the columns it is left as it is; interpolate
// refuses what is still outside.
double grid_longitude(const geoid_data &g, double lon)
{
    if (lon >= g.lon_min && lon <= g.lon_max)
        return lon;
    return g.lon_min + normalize_positive_longitude_deg(lon - g.lon_min);
}

} // namespace

extern "C" {

// ------------------------------------------------------------------ grid record

KELVADRA_API geoid_data *initialize_null_geoid_data(geoid_data *grid)
{
    if (!grid)
        return grid;
    invalidate_geoid_data_grid(grid);
    grid->values = nullptr;
    return grid;
}

KELVADRA_API void invalidate_geoid_data(geoid_data *grid)
{
    if (!grid)
        return;
    delete[] grid->values;
    initialize_null_geoid_data(grid);
}

KELVADRA_API geoid_data *invalidate_geoid_data_grid(geoid_data *grid)
{
    if (!grid)
        return grid;
    grid->lat_min = kelvadra::kNotSet;
    grid->lon_min = kelvadra::kNotSet;
    grid->lat_max = kelvadra::kNotSet;
    grid->lon_max = kelvadra::kNotSet;
    grid->lat_step = kelvadra::kNotSet;
    grid->lon_step = kelvadra::kNotSet;
    grid->rows = -1;
    grid->cols = -1;
    return grid;
}

KELVADRA_API int check_geoid_data_grid_settings(const geoid_data *grid)
{
    if (!grid)
        return 0;
    if (!is_set(grid->lat_min) || !is_set(grid->lon_min) || !is_set(grid->lat_max)
        || !is_set(grid->lon_max) || !is_set(grid->lat_step) || !is_set(grid->lon_step))
        return 0;
    if (!(grid->lat_step > 0.0) || !(grid->lon_step > 0.0))
        return 0;
    return grid->lat_max - grid->lat_min >= grid->lat_step
        && grid->lon_max - grid->lon_min >= grid->lon_step;
}

KELVADRA_API int check_geoid_data_grid_dims(const geoid_data *grid)
{
    if (!grid || grid->rows <= 0 || grid->cols <= 0)
        return 0;
    // The edges must fall on grid nodes to within a thousandth of a step.
    const double lat_miss = grid->lat_step * (grid->rows - 1) + grid->lat_min - grid->lat_max;
    const double lon_miss = grid->lon_step * (grid->cols - 1) + grid->lon_min - grid->lon_max;
    return std::fabs(lat_miss) < 0.001 * grid->lat_step
        && std::fabs(lon_miss) < 0.001 * grid->lon_step;
}

KELVADRA_API int check_geoid_data_grid(const geoid_data *grid)
{
    return check_geoid_data_grid_settings(grid) && check_geoid_data_grid_dims(grid);
}

KELVADRA_API int check_geoid_data(const geoid_data *grid)
{
    return valid_geoid_data(grid) && check_geoid_data_grid(grid);
}

KELVADRA_API int valid_geoid_data(const geoid_data *grid)
{
    return grid && grid->values;
}

KELVADRA_API int complete_geoid_data_grid(geoid_data *grid)
{
    if (!grid)
        return 0;
    if (check_geoid_data_grid_settings(grid)) {
        // Counted in doubles first: a tiny step must not wrap the int32 counts.
        const double rows
            = std::trunc(std::fabs((grid->lat_max - grid->lat_min) / grid->lat_step + 0.5) + 1);
        const double cols
            = std::trunc(std::fabs((grid->lon_max - grid->lon_min) / grid->lon_step + 0.5) + 1);
        if (rows <= kMaxValues && cols <= kMaxValues && rows * cols <= kMaxValues) {
            grid->rows = int32_t(rows);
            grid->cols = int32_t(cols);
            if (check_geoid_data_grid_dims(grid))
                return 1;
        }
    }
    grid->rows = -1;
    grid->cols = -1;
    return 0;
}

KELVADRA_API int geoid_data_allocate_memory(geoid_data *grid)
{
    if (!grid)
        return 0;
    delete[] grid->values;
    grid->values = nullptr;
    if (!check_geoid_data_grid(grid) || !size_acceptable(grid->rows, grid->cols))
        return 0;
    const std::size_t count = std::size_t(grid->rows) * std::size_t(grid->cols);
    grid->values = new (std::nothrow) float[count];
    return grid->values != nullptr;
}

KELVADRA_API int set_geoid_data_value(geoid_data *grid, int32_t row, int32_t col, float value)
{
    if (!grid || !grid->values || row < 0 || row >= grid->rows || col < 0 || col >= grid->cols
        || !std::isfinite(value))
        return 0;
    grid->values[std::size_t(row) * std::size_t(grid->cols) + std::size_t(col)] = value;
    return 1;
}

KELVADRA_API int get_geoid_data_value(const geoid_data *grid, int32_t row, int32_t col, float *out)
{
    if (!grid || !out || !grid->values || row < 0 || row >= grid->rows || col < 0
        || col >= grid->cols)
        return 0;
    *out = grid->values[std::size_t(row) * std::size_t(grid->cols) + std::size_t(col)];
    return 1;
}

KELVADRA_API int interpolate_geoid_data_value(
    const geoid_data *grid, double lat, double lon, double *out)
{
    return grid && out && interpolate(*grid, lat, lon, out);
}

// ------------------------------------------------------------------------ geoid

KELVADRA_API int initialize_geoid(const geoid_data *grid, const refsystem *rs, geoid *out)
{
    if (!out || !check_geoid_data(grid) || !rs || !check_refsystem(rs))
        return 0;
    out->grid = *grid;
    out->refsys = *rs;
    return 1;
}

KELVADRA_API void invalidate_geoid(geoid *g)
{
    if (!g)
        return;
    invalidate_geoid_data(&g->grid);
    invalidate_refsystem(&g->refsys);
}

KELVADRA_API int check_geoid(const geoid *g)
{
    return g && check_geoid_data(&g->grid) && check_refsystem(&g->refsys);
}

// ------------------------------------------------------------ geoid transform

KELVADRA_API int initialize_geoid_transform(
    const refsystem *user, const geoid *g, geoid_transform *out)
{
    if (!out)
        return 0;
    transform to_geoid;
    transform from_geoid;
    // Geocentric and local coordinates have no ellipsoidal height to replace.
    if (user && check_refsystem(user) && user->type != KV_TYPE_GEOCENTRIC
        && user->type != KV_TYPE_LOCAL && check_geoid(g)
        && initialize_transform(user, &g->refsys, &to_geoid)
        && initialize_transform(&g->refsys, user, &from_geoid)) {
        out->grid = g->grid;
        out->to_geoid = to_geoid;
        out->from_geoid = from_geoid;
        return 1;
    }
    initialize_null_geoid_data(&out->grid);
    return 0;
}

KELVADRA_API void invalidate_geoid_transform(geoid_transform *t)
{
    if (t)
        initialize_null_geoid_data(&t->grid);
}

KELVADRA_API int check_geoid_transform(const geoid_transform *t)
{
    return t && check_geoid_data(&t->grid);
}

KELVADRA_API int transform_to_geoid(double point[3], const geoid_transform *t)
{
    if (!point || !t)
        return 0;
    double g[3];
    double N;
    if (!transform_coords(point, &t->to_geoid, g)
        || !interpolate(t->grid, g[0], grid_longitude(t->grid, g[1]), &N))
        return 0;
    const double H = g[2] - N;
    if (!std::isfinite(H))
        return 0;
    point[2] = H;
    return 1;
}

KELVADRA_API int transform_from_geoid(double point[3], const geoid_transform *t)
{
    if (!point || !t)
        return 0;
    const double H = point[2];
    double w[3] = {point[0], point[1], point[2]};
    double previous = 0.0; // the height of the last pass
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        double g[3];
        double N;
        if (!transform_coords(w, &t->to_geoid, g)
            || !interpolate(t->grid, g[0], grid_longitude(t->grid, g[1]), &N))
            return 0;
        g[2] = H + N;
        double back[3];
        if (!transform_coords(g, &t->from_geoid, back))
            return 0;
        const double d0 = back[0] - point[0];
        const double d1 = back[1] - point[1];
        // Squared distance in the units of the user's first two coordinates.
        if (!std::isfinite(back[2]))
            return 0;
        // The settled height also ends the search: near the edges of a zone
        // or across a datum change the round trip itself misses by about a
        // millimetre, and the position test alone would never pass.
        if (d0 * d0 + d1 * d1 < 0.000001 || (pass > 0 && std::fabs(back[2] - previous) < 1e-4)) {
            point[2] = back[2];
            return 1;
        }
        previous = back[2];
        w[0] = point[0];
        w[1] = point[1];
        w[2] = back[2];
    }
    return 0;
}

} // extern "C"
