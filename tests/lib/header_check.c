/*
 * The public header must serve C programs: this file is compiled as C99 and
 * as C11 with -pedantic -Werror and linked against the shared library, so a
 * C++-only construct in kelvadra.h or a function the library fails to export
 * breaks the build or the link.
 */
#include <kelvadra.h>

#include <float.h>
#include <math.h>
#include <stdio.h>

static int failures = 0;

static void expect(int condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

int main(void)
{
    refsystem in;
    refsystem out;
    transform t;
    geoid_data grid;
    /* Pulkovo 1942 geodetic -> its own 6-degree Gauss-Krüger zone 7: a point
     * on the central meridian (39 E) lies at easting 7 500 000 m. */
    double point[3] = {55.0, 39.0, 0.0};
    double xy[3] = {0.0, 0.0, 0.0};
    double degrees = 0.0;

    expect(setup_geod(KV_DATUM_PULKOVO42, &in) == 1, "setup_geod");
    expect(setup_sk42(7, KV_HEMISPHERE_NORTH, &out) == 1, "setup_sk42");
    expect(check_refsystem(&in) == 1 && check_refsystem(&out) == 1, "check_refsystem");
    expect(initialize_transform(&in, &out, &t) == 1, "initialize_transform");
    expect(transform_coords(point, &t, xy) == 1, "transform_coords");
    expect(fabs(xy[1] - 7500000.0) < 1e-3, "easting on the central meridian");
    expect(xy[0] > 6000000.0 && xy[0] < 6200000.0, "northing at 55 N");

    /* "." is the decimal point whatever the locale the test runs in. */
    expect(parse_dms_string("-55 30 36.5", &degrees) == 1, "parse_dms_string");
    expect(fabs(degrees + (55.0 + 30.0 / 60.0 + 36.5 / 3600.0)) < 1e-12, "parsed value");
    expect(parse_dms_string(NULL, &degrees) == 0, "parse_dms_string(NULL)");

    expect(normalize_positive_longitude_deg(-90.0) == 270.0, "normalize_positive_longitude_deg");

    expect(initialize_null_geoid_data(&grid) == &grid, "initialize_null_geoid_data");
    expect(grid.values == NULL && grid.rows == -1 && grid.lat_min == DBL_MAX, "null grid");
    expect(check_geoid_data(&grid) == 0, "check_geoid_data of an empty grid");
    invalidate_geoid_data(&grid);

    if (failures == 0)
        printf("the C interface works\n");
    return failures == 0 ? 0 : 1;
}
