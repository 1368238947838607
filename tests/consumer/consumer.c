/* Converts one point with the installed library and checks the result. */
#include <kelvadra.h>

#include <math.h>
#include <stdio.h>

int main(void)
{
    refsystem wgs84;
    refsystem utm;
    refsystem sk42;
    refsystem msk;
    plane_keys keys;
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

    /* A regional system on SK-42 whose origin is the point 0 N, 3 E, and
     * keys that only shift the plane by (100, 200) m and the height by 1 m. */
    keys.dx = 100.0;
    keys.dy = 200.0;
    keys.a1 = keys.b2 = 1.0;
    keys.a2 = keys.b1 = 0.0;
    keys.dh = 1.0;
    keys.sx = keys.sy = 0.0;
    if (!setup_tm(KV_DATUM_PULKOVO42, 3.0, 0.0, 1.0, 250000.0, -10000.0, &msk)
        || !setup_geod(KV_DATUM_PULKOVO42, &sk42) || !initialize_transform(&sk42, &msk, &t)
        || !transform_coords(point, &t, en) || !plane_keys_forward(en, &keys, en)) {
        fprintf(stderr, "local system failed\n");
        return 1;
    }
    if (fabs(en[0] + 9900.0) > 1e-3 || fabs(en[1] - 250200.0) > 1e-3
        || fabs(en[2] - 101.0) > 1e-3) {
        fprintf(stderr, "wrong local result: %.4f %.4f %.4f\n", en[0], en[1], en[2]);
        return 1;
    }
    printf("%.3f %.3f %.3f\n", en[0], en[1], en[2]);
    return 0;
}
