/* Compiled as C99 and C11 with -pedantic -Werror and linked against the shared
 * library: a C++-only construct in kelvadra.h or a missing export breaks it. */
#include <kelvadra.h>

#include <stdio.h>

int main(void)
{
    refsystem in, out;
    transform t;
    geoid_data grid;
    double point[3] = {55.0, 39.0, 0.0}, degrees = 0.0;

    if (!setup_geod(KV_DATUM_PULKOVO42, &in) || !setup_sk42(7, KV_HEMISPHERE_NORTH, &out)
        || !initialize_transform(&in, &out, &t) || !transform_coords(point, &t, point)
        || !parse_dms_string("-55 30 36.5", &degrees) || initialize_null_geoid_data(&grid) != &grid
        || check_geoid_data(&grid)) {
        fprintf(stderr, "FAILED: a call through the C interface\n");
        return 1;
    }
    invalidate_geoid_data(&grid);
    return 0;
}
