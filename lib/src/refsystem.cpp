// Reference systems: reset, set-up and check of the refsystem record.
// The projected set-ups take their zone parameters from projection.cpp.
//
// Departure: a NULL record is answered with 0 (or nothing happens) instead of
// being dereferenced.
#include "kelvadra_internal.h"

#include <cstdint>

using namespace kelvadra;

namespace {

// Writes only the fields that mark the record unset; the other projection
// values and the axis order are left as they were, and nothing reads them
// while scale_factor is 0.
void reset(refsystem *rs)
{
    rs->type = KV_TYPE_NONE;
    rs->datum = 0;
    rs->origin[0] = kNotSet;
    rs->origin[1] = kNotSet;
    rs->origin[2] = kNotSet;
    rs->zone = -1;
    rs->hemisphere = 0;
    rs->projection.scale_factor = 0.0;
}

int setup_zone_series(int datum, unsigned int zone, int hemisphere, refsystem *rs)
{
    if (!rs)
        return 0;
    reset(rs);
    if (zone > 60) // 0 is the automatic zone
        return 0;
    rs->type = KV_TYPE_GK_ZONE;
    rs->datum = datum;
    rs->zone = static_cast<int32_t>(zone);
    rs->hemisphere = hemisphere;
    return 1;
}

int setup_projected(int datum, unsigned int zone, int hemisphere, bool utm, refsystem *rs)
{
    if (!rs)
        return 0;
    reset(rs);
    if (zone < 1 || zone > 60 || datum == 0 || hemisphere == 0)
        return 0;
    tm_projection projection;
    const int z = static_cast<int>(zone);
    if (!(utm ? utm_zone_projection(z, hemisphere, &projection)
              : gk_zone_projection(z, hemisphere, &projection)))
        return 0;
    rs->type = KV_TYPE_PROJECTED;
    rs->datum = datum;
    rs->projection = projection;
    rs->axis_order = utm ? KV_AXES_EASTING_NORTHING : KV_AXES_NORTHING_EASTING;
    return 1;
}

int setup_datum_only(int type, int datum, refsystem *rs)
{
    if (!rs)
        return 0;
    reset(rs);
    if (datum == 0)
        return 0;
    rs->type = type;
    rs->datum = datum;
    return 1;
}

} // namespace

extern "C" {

KELVADRA_API void invalidate_refsystem(refsystem *rs)
{
    if (rs)
        reset(rs);
}

KELVADRA_API int check_refsystem(const refsystem *rs)
{
    if (!rs)
        return 0;
    switch (static_cast<uint32_t>(rs->type)) {
    case KV_TYPE_GEOCENTRIC:
    case KV_TYPE_GEODETIC:
        return rs->datum != 0;
    case KV_TYPE_LOCAL:
        // A NaN differs from DBL_MAX and so counts as set.
        return rs->datum != 0 && rs->origin[0] != kNotSet && rs->origin[1] != kNotSet
            && rs->origin[2] != kNotSet;
    case KV_TYPE_GK_ZONE:
        // Neither datum nor hemisphere is needed to name the zone system.
        return static_cast<uint32_t>(rs->zone) <= 60;
    case KV_TYPE_PROJECTED:
        return rs->datum != 0 && rs->projection.scale_factor > 0.0 && rs->axis_order != 0;
    default:
        return 0;
    }
}

KELVADRA_API int setup_geoc(int datum, refsystem *rs)
{
    return setup_datum_only(KV_TYPE_GEOCENTRIC, datum, rs);
}

KELVADRA_API int setup_geod(int datum, refsystem *rs)
{
    return setup_datum_only(KV_TYPE_GEODETIC, datum, rs);
}

KELVADRA_API int setup_lsr(int datum, const double origin[3], refsystem *rs)
{
    if (!setup_datum_only(KV_TYPE_LOCAL, datum, rs))
        return 0;
    if (!origin) {
        reset(rs);
        return 0;
    }
    rs->origin[0] = origin[0];
    rs->origin[1] = origin[1];
    rs->origin[2] = origin[2];
    return 1;
}

KELVADRA_API int setup_sk42(unsigned int zone, int hemisphere, refsystem *rs)
{
    return setup_zone_series(KV_DATUM_PULKOVO42, zone, hemisphere, rs);
}

KELVADRA_API int setup_sk95(unsigned int zone, int hemisphere, refsystem *rs)
{
    return setup_zone_series(KV_DATUM_PULKOVO95, zone, hemisphere, rs);
}

KELVADRA_API int setup_gsk2011(unsigned int zone, int hemisphere, refsystem *rs)
{
    return setup_projected(KV_DATUM_GSK2011, zone, hemisphere, false, rs);
}

KELVADRA_API int setup_utm(unsigned int zone, int hemisphere, refsystem *rs)
{
    return setup_projected(KV_DATUM_WGS84, zone, hemisphere, true, rs);
}

KELVADRA_API int setup_gk(int datum, unsigned int zone, int hemisphere, refsystem *rs)
{
    return setup_projected(datum, zone, hemisphere, false, rs);
}

} // extern "C"
