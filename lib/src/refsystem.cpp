// Reference systems: reset, set-up and check of the refsystem record.
// The projected set-ups take their zone parameters from projection.cpp.
//
// Departure: a NULL record is answered with 0 (or nothing happens) instead of
// being dereferenced.
//
// setup_tm takes a Transverse Mercator of any parameters (a regional system),
// so unlike the zone set-ups it checks every value: a refused call leaves the
// record as it was, since a caller replacing a working system by a mistyped
// one should keep the working one.
#include "kelvadra_internal.h"

#include <cmath>
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
    if (zone < 1 || zone > 60 || datum == 0 || hemisphere == KV_HEMISPHERE_AUTO)
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

// The parameters of setup_tm that a Transverse Mercator on the Earth can
// have. The scale of a real system lies within a few parts per thousand of 1;
// [0.9, 1.1] refuses only what cannot be meant (0, a sign error, 0.09996).
// Offsets beyond 1e8 m are no longer offsets on an Earth of 4e7 m girth.
bool tm_parameters_valid(double centralMeridianDeg, double originLatitudeDeg, double scale,
    double falseEasting, double falseNorthing)
{
    return std::fabs(centralMeridianDeg) <= 180.0 && std::fabs(originLatitudeDeg) < 90.0
        && scale >= 0.9 && scale <= 1.1 && std::fabs(falseEasting) <= 1e8
        && std::fabs(falseNorthing) <= 1e8; // NaN fails every comparison
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

KELVADRA_API int setup_tm(int datum, double central_meridian_deg, double origin_latitude_deg,
    double scale_factor, double false_easting, double false_northing, refsystem *rs)
{
    datum_shift shift;
    // The eight datums are those with a shift to the hub (and an ellipsoid).
    if (!rs || !datum_to_hub(datum, &shift)
        || !tm_parameters_valid(
            central_meridian_deg, origin_latitude_deg, scale_factor, false_easting, false_northing))
        return 0;
    refsystem r;
    reset(&r);
    r.type = KV_TYPE_PROJECTED;
    r.datum = datum;
    r.hemisphere = KV_HEMISPHERE_NORTH;
    r.projection.central_meridian = deg_to_rad(central_meridian_deg);
    r.projection.origin_latitude = deg_to_rad(origin_latitude_deg);
    r.projection.scale_factor = scale_factor;
    r.projection.false_easting = false_easting;
    r.projection.false_northing = false_northing;
    r.axis_order = KV_AXES_NORTHING_EASTING;
    *rs = r;
    return 1;
}

} // extern "C"
