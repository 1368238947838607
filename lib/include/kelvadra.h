/*
 * kelvadra: geodetic coordinate conversions by ГОСТ 32453-2017.
 *
 * The interface is flat and C-only. Every record is a plain structure owned by
 * the caller and passed by pointer; the library keeps no global state, prints
 * nothing, throws nothing and allocates nothing the caller does not release
 * through the library (only the grid array of a geoid, see invalidate_geoid).
 *
 * Results: functions returning int give 1 for success or "yes" and 0 for
 * failure or "no". A failing function leaves its outputs untouched unless its
 * description says otherwise. A null record pointer is answered with 0 (or
 * nothing happens), never dereferenced.
 *
 * Not-set markers: DBL_MAX for doubles, -1 for zones and grid counts, 0 for
 * codes, hemisphere and axis order, 0 for an ellipsoid's semi-major axis and a
 * projection's scale factor.
 *
 * Units at the interface: degrees for latitudes and longitudes, metres for
 * lengths. Inside records, angles are radians unless a field says otherwise.
 *
 * Numbers in texts and files are read with "." as the decimal point whatever
 * the process locale.
 */
#ifndef KELVADRA_H
#define KELVADRA_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(KELVADRA_BUILDING)
#    define KELVADRA_API __declspec(dllexport)
#  else
#    define KELVADRA_API __declspec(dllimport)
#  endif
#else
#  define KELVADRA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Codes                                                                     */
/* ------------------------------------------------------------------------ */

/* refsystem.type */
enum {
    KV_TYPE_NONE = 0,       /* not specified */
    KV_TYPE_GEOCENTRIC = 1, /* X, Y, Z in metres */
    KV_TYPE_GEODETIC = 2,   /* latitude deg, longitude deg, ellipsoidal height m */
    KV_TYPE_LOCAL = 3,      /* east, north, up in metres from refsystem.origin */
    KV_TYPE_GK_ZONE = 4,    /* national 6-degree Gauss-Krüger series (SK-42, SK-95) */
    KV_TYPE_PROJECTED = 5   /* Transverse Mercator with refsystem.projection */
};

/* refsystem.datum */
enum {
    KV_DATUM_PULKOVO42 = 42,
    KV_DATUM_PULKOVO95 = 95,
    KV_DATUM_WGS84 = 84,
    KV_DATUM_PZ90 = 90,
    KV_DATUM_PZ9002 = 9002,
    KV_DATUM_PZ9011 = 9011, /* hub of every datum shift */
    KV_DATUM_GSK2011 = 2011,
    KV_DATUM_ITRF2008 = 2008
};

/* refsystem.hemisphere; any value other than 1 counts as south where only 1 is tested */
enum { KV_HEMISPHERE_AUTO = 0, KV_HEMISPHERE_NORTH = 1, KV_HEMISPHERE_SOUTH = 2 };

/* refsystem.axis_order of a projected system */
enum {
    KV_AXES_NONE = 0,
    KV_AXES_NORTHING_EASTING = 1, /* Gauss-Krüger: x northing first, y easting second */
    KV_AXES_EASTING_NORTHING = 2  /* UTM: easting first, northing second */
};

/* ------------------------------------------------------------------------ */
/* Records (field order and widths are fixed: the program exchanges them)    */
/* ------------------------------------------------------------------------ */

/* Transverse Mercator parameters. Valid when scale_factor > 0. */
typedef struct tm_projection
{
    double central_meridian; /* radians */
    double origin_latitude;  /* radians */
    double scale_factor;     /* dimensionless; 0 = no projection set */
    double false_easting;    /* metres */
    double false_northing;   /* metres */
} tm_projection;

/* One coordinate reference system. */
typedef struct refsystem
{
    int32_t type;       /* KV_TYPE_*, compared as unsigned; 0 = not specified */
    int32_t datum;      /* KV_DATUM_*; 0 = not specified */
    double origin[3];   /* type 3 only: latitude rad, longitude rad, height m; DBL_MAX = not set */
    int32_t zone;       /* type 4: 1..60 fixed, 0 automatic; -1 = not set */
    int32_t hemisphere; /* 1 north, 2 south, 0 automatic / not set */
    tm_projection projection; /* type 5 only */
    int32_t axis_order;       /* type 5 only: KV_AXES_*; 0 = not set */
} refsystem;

/* Reference ellipsoid. Set when a > 0. */
typedef struct ellipsoid
{
    double a; /* semi-major axis, metres; 0 = not set */
    double f; /* flattening, dimensionless */
} ellipsoid;

/* p -> matrix * p + vector. Set when matrix[0][0] != DBL_MAX, vector[0] != DBL_MAX
 * and the determinant of the matrix is greater than 1e-10. */
typedef struct affine
{
    double matrix[3][3]; /* row by row */
    double vector[3];    /* metres */
} affine;

/* Constants of the general Transverse Mercator (Krüger's series in the third
 * flattening n) for one ellipsoid, origin latitude and direction: a record of
 * an input side holds the inverse series, one of an output side the forward
 * series. Set when a > 0. */
typedef struct tm_constants
{
    double a;   /* semi-major axis, metres; 0 = not set */
    double e2;  /* first eccentricity squared */
    double ep2; /* second eccentricity squared */
    double A0;  /* rectifying radius, metres */
    double A2;  /* A2, A4, A6, J1, J2, J3: the series' six coefficients p_0..p_5 */
    double A4;  /* in powers of cos 2z, sum p_k cos^k 2z = sum c_j U_(j-1)(cos 2z) with
                   c_j = alpha_1..alpha_6 forward, -beta_1..-beta_6 inverse */
    double A6;
    double M0; /* meridian distance at the origin latitude, metres */
    double J1;
    double J2;
    double J3;
    double J4;           /* third flattening n */
    double a_1_minus_e2; /* a * (1 - e2), metres */
} tm_constants;

/* The recorded steps of one conversion between two reference systems.
 * Filled completely by initialize_transform and only read afterwards; it holds
 * copies, never references, so it may be copied freely and needs no release. */
typedef struct transform
{
    tm_projection input_projection; /* set: scale_factor > 0 */
    tm_constants input_constants;
    int32_t input_zone; /* type 4 input: 0..60; -1 = no zone step */
    int32_t input_hemisphere;
    int32_t input_axis_order;
    ellipsoid input_ellipsoid;  /* set: geodetic -> geocentric on the input side */
    affine shift;               /* local frames and datum shift, composed */
    ellipsoid output_ellipsoid; /* set: geocentric -> geodetic on the output side */
    tm_projection output_projection;
    tm_constants output_constants;
    int32_t output_zone; /* type 4 output: 0..60; -1 = no zone step */
    int32_t output_hemisphere;
    int32_t output_axis_order;
} transform;

/* A regular grid of geoid heights. Row 0 is the southern edge, column 0 the
 * western edge; the value of row r, column c is values[r * cols + c]. */
typedef struct geoid_data
{
    double lat_min;  /* degrees (first coordinate of the grid's system); DBL_MAX = not set */
    double lon_min;  /* degrees (second coordinate); DBL_MAX = not set */
    double lat_max;  /* degrees; DBL_MAX = not set */
    double lon_max;  /* degrees; DBL_MAX = not set */
    double lat_step; /* degrees, > 0; DBL_MAX = not set */
    double lon_step; /* degrees, > 0; DBL_MAX = not set */
    int32_t rows;    /* -1 = not set */
    int32_t cols;    /* -1 = not set */
    float *values;   /* rows * cols heights in metres; NULL = absent */
} geoid_data;

/* A geoid: the grid and the reference system it is given in. Owns grid.values. */
typedef struct geoid
{
    geoid_data grid;
    refsystem refsys;
} geoid;

/* Binds a geoid to a user's reference system. grid shares the geoid's values
 * array and never releases it: it is valid only while that geoid is. */
typedef struct geoid_transform
{
    geoid_data grid;
    transform to_geoid;   /* user system -> geoid system */
    transform from_geoid; /* geoid system -> user system */
} geoid_transform;

/* Plane keys of a local system: from the plane coordinates x (northing) and
 * y (easting) of a base projected system, and its height h, to local X, Y, H:
 *   X = dx + a1*x + a2*y,   Y = dy + b1*x + b2*y,   H = h + dh + sx*x + sy*y
 * A similarity ("keys" of a city system) has a1 = b2 = a and b1 = -a2 = b.
 * Set when every field is finite and |a1*b2 - a2*b1| >= 1e-6 (a1 = DBL_MAX: not set;
 * DBL_MAX in any field counts as not set). */
typedef struct plane_keys
{
    double dx, dy;         /* metres */
    double a1, a2, b1, b2; /* dimensionless */
    double dh;             /* metres */
    double sx, sy;         /* height slopes, metres per metre of x and of y */
} plane_keys;

/* Progress of load_EGM96: called with the fraction of rows read, in (0, 1];
 * a non-zero return cancels the load. */
typedef int (*geoid_progress_fn)(double fraction);

/* ------------------------------------------------------------------------ */
/* Reference systems                                                         */
/* ------------------------------------------------------------------------ */

/* Resets rs: type 0, datum 0, origin DBL_MAX, zone -1, hemisphere 0,
 * projection.scale_factor 0; the other projection values and axis_order keep
 * what they held. Every setup function but setup_tm starts with this reset
 * and leaves it in place when it returns 0. */
KELVADRA_API void invalidate_refsystem(refsystem *rs);

/* 1 if rs describes a usable system: types 1, 2 need a datum; type 3 a datum
 * and an origin without DBL_MAX; type 4 a zone 0..60; type 5 a datum,
 * scale_factor > 0 and an axis order. */
KELVADRA_API int check_refsystem(const refsystem *rs);

/* Geocentric / geodetic system on datum (any non-zero code). */
KELVADRA_API int setup_geoc(int datum, refsystem *rs);
KELVADRA_API int setup_geod(int datum, refsystem *rs);

/* Local east-north-up system at origin (latitude rad, longitude rad, height m),
 * copied unchecked. 0 when datum is 0 or origin is NULL. */
KELVADRA_API int setup_lsr(int datum, const double origin[3], refsystem *rs);

/* National 6-degree Gauss-Krüger series on Pulkovo 42 / 95: zone 0..60 (0 =
 * automatic), hemisphere stored as passed (1 north, 2 south, 0 automatic). */
KELVADRA_API int setup_sk42(unsigned int zone, int hemisphere, refsystem *rs);
KELVADRA_API int setup_sk95(unsigned int zone, int hemisphere, refsystem *rs);

/* Projected zone systems (type 5): zone 1..60, hemisphere non-zero (1 north,
 * anything else south, with a false northing of 10 000 000 m). */
KELVADRA_API int setup_gsk2011(unsigned int zone, int hemisphere, refsystem *rs);
KELVADRA_API int setup_utm(unsigned int zone, int hemisphere, refsystem *rs);
KELVADRA_API int setup_gk(int datum, unsigned int zone, int hemisphere, refsystem *rs);

/* A Transverse Mercator system of any parameters, such as a regional system
 * (МСК): type 5 on datum (one of the eight KV_DATUM_* codes), axis order
 * KV_AXES_NORTHING_EASTING (x northing, y easting, as Gauss-Krüger),
 * hemisphere 1; central meridian and origin latitude in degrees (stored in
 * radians), scale factor, false easting and false northing in metres, stored
 * as given (no southern offset is added). Writes the whole record: origin
 * DBL_MAX and zone -1 as after a reset. Unlike the set-ups above it returns 0
 * with *rs untouched, not reset, when rs is NULL, the datum is unknown, a
 * value is not finite, |central meridian| > 180, |origin latitude| >= 90, the
 * scale factor is outside [0.9, 1.1], or |false easting| or |false northing|
 * exceeds 1e8 m. */
KELVADRA_API int setup_tm(int datum, double central_meridian_deg, double origin_latitude_deg,
    double scale_factor, double false_easting, double false_northing, refsystem *rs);

/* ------------------------------------------------------------------------ */
/* Transforms                                                                */
/* ------------------------------------------------------------------------ */

/* Records in t the steps that convert points of `in` into points of `out`.
 * Returns 0 (t left in its reset state, which converts points into
 * themselves) when either system fails check_refsystem (an automatic GSK 2011
 * zone must be completed per point first, see initialize_gk6_from_latlon) or
 * a datum the pair needs has no ellipsoid or shift parameters. */
KELVADRA_API int initialize_transform(const refsystem *in, const refsystem *out, transform *t);

/* Converts one point (see the type codes for the meaning of the three values).
 * `out` may be the same array as `in`. Returns 0, with `out` untouched, when a
 * step rejects the point or the result is not finite. */
KELVADRA_API int transform_coords(const double in[3], const transform *t, double out[3]);

/* Converts n points, three values each: in[3i..3i+2] into out[3i..3i+2]
 * (`out` may be `in`). Each result is bit for bit transform_coords's, and a
 * point it rejects keeps its output untouched; `ok`, when not NULL, gets its
 * 1 or 0 per point. Quicker than one call per point: points are converted
 * several at a time where the way allows. Returns 1 when every point converted,
 * 0 otherwise (also for a NULL `t`, or NULL arrays with n > 0). */
KELVADRA_API int transform_coords_array(
    const double *in, size_t n, const transform *t, double *out, int *ok);

/* ------------------------------------------------------------------------ */
/* Automatic Gauss-Krüger zones                                              */
/* ------------------------------------------------------------------------ */

/* Turns rs into the 6-degree Gauss-Krüger zone (type 5, axis order 1) that
 * contains point (latitude deg, longitude deg, height) on rs's datum. A fixed
 * zone 1..60 and a non-zero hemisphere in rs are kept. Returns
 * check_refsystem(rs); 0 with rs untouched for a non-finite point. */
KELVADRA_API int initialize_gk6_from_latlon(const double point[3], refsystem *rs);

/* Turns rs into the Gauss-Krüger zone named by the zone prefix of the easting
 * point[1] (x northing, y easting, height), with rs's hemisphere. Returns 0 and
 * leaves rs untouched when the hemisphere is 0 or the zone is outside 1..60;
 * otherwise check_refsystem(rs). */
KELVADRA_API int initialize_gk6_from_xy(const double point[3], refsystem *rs);

/* ------------------------------------------------------------------------ */
/* Geoid grid                                                                */
/* ------------------------------------------------------------------------ */

/* Sets every field unset and values to NULL without releasing an array.
 * Returns grid. */
KELVADRA_API geoid_data *initialize_null_geoid_data(geoid_data *grid);
/* Releases values, then as initialize_null_geoid_data. */
KELVADRA_API void invalidate_geoid_data(geoid_data *grid);
/* Sets the six doubles and the counts unset; values is left alone. Returns grid. */
KELVADRA_API geoid_data *invalidate_geoid_data_grid(geoid_data *grid);

/* Edges and steps set, steps > 0, each extent at least one step. */
KELVADRA_API int check_geoid_data_grid_settings(const geoid_data *grid);
/* rows, cols > 0 and the edges on grid nodes within 0.001 step. */
KELVADRA_API int check_geoid_data_grid_dims(const geoid_data *grid);
/* Settings and dimensions. */
KELVADRA_API int check_geoid_data_grid(const geoid_data *grid);
/* values present, settings and dimensions valid. */
KELVADRA_API int check_geoid_data(const geoid_data *grid);
/* values present. */
KELVADRA_API int valid_geoid_data(const geoid_data *grid);

/* Computes rows and cols from the settings (extent / step rounded, plus 1).
 * Returns 0 and sets both to -1 when the settings or dimensions are invalid or
 * the grid would exceed 100 000 000 values. */
KELVADRA_API int complete_geoid_data_grid(geoid_data *grid);
/* Releases any present array, then allocates rows * cols floats (contents
 * undefined). 0, with values NULL, for an invalid or oversized grid. */
KELVADRA_API int geoid_data_allocate_memory(geoid_data *grid);

/* Store / read one value; 0 for an index outside the grid, no array, or (when
 * storing) a value that is not finite. */
KELVADRA_API int set_geoid_data_value(geoid_data *grid, int32_t row, int32_t col, float value);
KELVADRA_API int get_geoid_data_value(const geoid_data *grid, int32_t row, int32_t col, float *out);

/* Bilinear geoid height (m) at latitude, longitude (degrees, in the grid's
 * system). 0 when the point lies outside the grid: no wrap-around in longitude. */
KELVADRA_API int interpolate_geoid_data_value(
    const geoid_data *grid, double lat, double lon, double *out);

/* ------------------------------------------------------------------------ */
/* Geoid                                                                     */
/* ------------------------------------------------------------------------ */

/* Loads a grid file into g (header of six numbers in radians: south, north,
 * west, east, latitude step, longitude step; then one tab-separated row per
 * line, northernmost first). The grid's system becomes geodetic WGS 84. Any
 * array g held before is not released: invalidate g first. On failure g is
 * left empty (no array, invalid grid and system). progress may be NULL. */
KELVADRA_API int load_EGM96(const char *path, geoid *g, geoid_progress_fn progress);

/* Copies grid (sharing its values) and rs into out. 0 unless grid holds valid
 * data and rs is usable. */
KELVADRA_API int initialize_geoid(const geoid_data *grid, const refsystem *rs, geoid *out);
/* Releases the grid array and invalidates grid and system. */
KELVADRA_API void invalidate_geoid(geoid *g);
/* Valid data and a usable system. */
KELVADRA_API int check_geoid(const geoid *g);

/* ------------------------------------------------------------------------ */
/* Heights above the geoid                                                   */
/* ------------------------------------------------------------------------ */

/* Prepares height conversions between the user's system and the geoid's. On
 * failure out's grid is cleared (no array reference) and 0 is returned; also
 * for geocentric and local systems, whose third coordinate is not a height. */
KELVADRA_API int initialize_geoid_transform(
    const refsystem *user, const geoid *g, geoid_transform *out);
/* Clears the grid part (the array is not released: the geoid owns it). */
KELVADRA_API void invalidate_geoid_transform(geoid_transform *t);
/* The grid part holds valid data. */
KELVADRA_API int check_geoid_transform(const geoid_transform *t);

/* Replaces the ellipsoidal height point[2] by the height above the geoid; the
 * first two coordinates are kept. 0, point unchanged, outside the grid. */
KELVADRA_API int transform_to_geoid(double point[3], const geoid_transform *t);
/* Replaces the height above the geoid point[2] by the ellipsoidal height
 * (iterative, at most 100 passes; done when the position comes back within
 * 1 mm or, from the second pass, the height changes by less than 0.1 mm).
 * 0, point unchanged, on failure. */
KELVADRA_API int transform_from_geoid(double point[3], const geoid_transform *t);

/* ------------------------------------------------------------------------ */
/* Plane keys of local systems                                               */
/* ------------------------------------------------------------------------ */

/* Sets every field of k to DBL_MAX (not set); nothing happens for NULL. */
KELVADRA_API void invalidate_plane_keys(plane_keys *k);

/* 1 when k is set: every field finite and none DBL_MAX, and
 * |a1*b2 - a2*b1| >= 1e-6 (the plane step can be undone). 0 for NULL. */
KELVADRA_API int check_plane_keys(const plane_keys *k);

/* Applies k to in (base x northing, y easting, height h; metres) and writes
 * local X, Y, H to out. out may be the same array as in. Returns 0, with out
 * untouched, when a pointer is NULL, k fails check_plane_keys, a value of in
 * is not finite or the result would not be finite. */
KELVADRA_API int plane_keys_forward(const double in[3], const plane_keys *k, double out[3]);

/* The exact inverse of plane_keys_forward (the 2x2 plane step solved in
 * closed form, not iterated; then the height): local X, Y, H in, base x, y, h
 * out. out may be the same array as in. Fails as plane_keys_forward. */
KELVADRA_API int plane_keys_inverse(const double in[3], const plane_keys *k, double out[3]);

/* ------------------------------------------------------------------------ */
/* Angles                                                                    */
/* ------------------------------------------------------------------------ */

/* Longitude in degrees reduced to [0, 360) (any finite input; NaN for the rest). */
KELVADRA_API double normalize_positive_longitude_deg(double degrees);

/* Reads "d [m [s]]" (numbers separated by white space, each may be decimal)
 * into decimal degrees. A "-" anywhere makes the value negative, and reading
 * starts after it. 0, out untouched, when no number can be read, the value is
 * not finite, or a pointer is NULL. */
KELVADRA_API int parse_dms_string(const char *text, double *out);

#ifdef __cplusplus
}
#endif

#endif /* KELVADRA_H */
