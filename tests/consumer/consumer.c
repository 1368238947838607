/* Converts one point with the installed library and checks the result. */
#include <kelvadra.h>

#include <math.h>
#include <stdio.h>

int main(void)
{
    refsystem wgs84;
    refsystem utm;
    transform t;
    /* 0 N, 3 E is the origin of UTM zone 31 north: easting 500 000 m,
     * northing 0 m, whatever the ellipsoid. */
    double point[3] = {0.0, 3.0, 100.0};
    double en[3];

    if (!setup_geod(KV_DATUM_WGS84, &wgs84) || !setup_utm(31, KV_HEMISPHERE_NORTH, &utm)
        || !initialize_transform(&wgs84, &utm, &t) || !transform_coords(point, &t, en)) {
        fprintf(stderr, "conversion failed\n");
        return 1;
    }
    if (fabs(en[0] - 500000.0) > 1e-3 || fabs(en[1]) > 1e-3 || fabs(en[2] - 100.0) > 1e-3) {
        fprintf(stderr, "wrong result: %.4f %.4f %.4f\n", en[0], en[1], en[2]);
        return 1;
    }
    printf("%.3f %.3f %.3f\n", en[0], en[1], en[2]);
    return 0;
}
