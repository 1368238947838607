#include "proj_reference.h"

#include <proj.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace projref {

namespace {

// ГОСТ 32453-2017: each datum to PZ 90.11.
const Datum kTable[] = {
    {42, "Pulkovo 42", 6378245, 298.3, 23.557, -140.844, -79.778, -2.30, -346.46, -794.21, -0.228},
    {95, "Pulkovo 95", 6378245, 298.3, 24.457, -130.784, -81.538, -2.30, 3.54, -134.21, -0.228},
    {84, "WGS 84", 6378137, 298.257223563, -0.013, 0.106, 0.022, -2.30, 3.54, -4.21, -0.008},
    {90, "PZ 90", 6378136, 298.25784, -1.443, 0.156, 0.222, -2.30, 3.54, -134.21, -0.228},
    {9002, "PZ 90.02", 6378136, 298.25784, -0.373, 0.186, 0.202, -2.30, 3.54, -4.21, -0.008},
    {9011, "PZ 90.11", 6378136, 298.25784, 0, 0, 0, 0, 0, 0, 0},
    {2011, "GSK 2011", 6378136.5, 298.2564151, 0, 0.014, -0.008, -0.562, -0.019, 0.053, -0.0006},
    {2008, "ITRF 2008", 6378137, 298.257222101, 0.003, 0.001, 0, -0.019, 0.042, -0.002, 0},
};

const double kRadToDeg = 180.0 / 3.141592653589793;
const char *kSwap = " +step +proj=axisswap +order=2,1";

// Full precision, "." as decimal point whatever the locale.
std::string num(double v)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    std::string s(buffer);
    for (char &c : s) {
        if (c == ',')
            c = '.';
    }
    return s;
}

std::string ellipsoid_args(int datum)
{
    const Datum &d = datum_of(datum);
    return " +a=" + num(d.a) + " +rf=" + num(d.rf);
}

// Rotations in arc-seconds for PROJ.
std::string helmert(const Datum &d, double sign)
{
    return " +step +proj=helmert +convention=coordinate_frame +x=" + num(sign * d.dx)
        + " +y=" + num(sign * d.dy) + " +z=" + num(sign * d.dz)
        + " +rx=" + num(sign * d.rx_mas / 1000.0) + " +ry=" + num(sign * d.ry_mas / 1000.0)
        + " +rz=" + num(sign * d.rz_mas / 1000.0) + " +s=" + num(sign * d.s_ppm);
}

// A plane system as tmerc. The GOST series turn radians into degrees with
// rho = 57.29577951 rather than 180/pi, so their longitude from the central
// meridian is L - cm/rho: the effective central meridian is cm * (180/pi) /
// rho degrees, about 2 mm east of the nominal one at 357°. The zone's false
// easting and northing are restated here, not read from the record.
std::string plane_args(const refsystem &rs)
{
    if (rs.type == KV_TYPE_GK_ZONE) {
        const int zone = rs.zone;
        return " +proj=tmerc +lat_0=0 +lon_0=" + num((6.0 * zone - 3.0) * kRadToDeg / 57.29577951)
            + " +k_0=1 +x_0=" + num(zone * 1e6 + 5e5)
            + " +y_0=" + num(rs.hemisphere == 2 ? 1e7 : 0.0) + " +a=6378245 +rf=298.3";
    }
    const tm_projection &p = rs.projection;
    return " +proj=tmerc +lat_0=" + num(p.origin_latitude * kRadToDeg) + " +lon_0="
        + num(p.central_meridian * kRadToDeg) + " +k_0=" + num(p.scale_factor) + " +x_0="
        + num(p.false_easting) + " +y_0=" + num(p.false_northing) + ellipsoid_args(rs.datum);
}

bool northing_first(const refsystem &rs)
{
    return rs.type == KV_TYPE_GK_ZONE || rs.axis_order == KV_AXES_NORTHING_EASTING;
}

// Steps from a system's point coordinates to geocentric ones on its datum,
// or (back) from geocentric ones to the system's.
std::string geocentric_steps(const refsystem &rs, bool back)
{
    const std::string inv = back ? " +step" : " +step +inv";
    const std::string cart
        = (back ? " +step +inv" : " +step") + std::string(" +proj=cart") + ellipsoid_args(rs.datum);
    switch (rs.type) {
    case KV_TYPE_GEOCENTRIC:
        return "";
    case KV_TYPE_GEODETIC:
        return back ? cart + " +step +proj=unitconvert +xy_in=rad +xy_out=deg" + kSwap
                    : kSwap + std::string(" +step +proj=unitconvert +xy_in=deg +xy_out=rad") + cart;
    case KV_TYPE_LOCAL:
        return inv + " +proj=topocentric +lat_0=" + num(rs.origin[0] * kRadToDeg)
            + " +lon_0=" + num(rs.origin[1] * kRadToDeg) + " +h_0=" + num(rs.origin[2])
            + ellipsoid_args(rs.datum);
    case KV_TYPE_GK_ZONE:
    case KV_TYPE_PROJECTED: {
        const std::string swap = northing_first(rs) ? kSwap : "";
        return back ? cart + inv + plane_args(rs) + swap : swap + inv + plane_args(rs) + cart;
    }
    default:
        throw std::invalid_argument("system type");
    }
}

} // namespace

const int kDatums[8] = {42, 95, 84, 90, 9002, 9011, 2011, 2008};

const Datum &datum_of(int code)
{
    for (const Datum &d : kTable) {
        if (d.code == code)
            return d;
    }
    throw std::invalid_argument("unknown datum code " + std::to_string(code));
}

std::string pipeline(const refsystem &in, const refsystem &out)
{
    std::string shift;
    if (in.datum != out.datum && in.datum != 9011)
        shift += helmert(datum_of(in.datum), 1.0);
    if (in.datum != out.datum && out.datum != 9011)
        shift += helmert(datum_of(out.datum), -1.0);
    // The no-op step keeps an identity pipeline valid.
    return "+proj=pipeline +step +proj=noop" + geocentric_steps(in, false) + shift
        + geocentric_steps(out, true);
}

Transformation::Transformation(const std::string &definition)
{
    pj_ = proj_create(PJ_DEFAULT_CTX, definition.c_str());
}

Transformation::~Transformation()
{
    if (pj_)
        proj_destroy(static_cast<PJ *>(pj_));
}

bool Transformation::forward(double p[3]) const
{
    if (!pj_)
        return false;
    PJ_COORD c = proj_trans(static_cast<PJ *>(pj_), PJ_FWD, proj_coord(p[0], p[1], p[2], 0.0));
    if (!std::isfinite(c.v[0]) || !std::isfinite(c.v[1]) || !std::isfinite(c.v[2]))
        return false;
    p[0] = c.v[0];
    p[1] = c.v[1];
    p[2] = c.v[2];
    return true;
}

double distance_m(int type, const double a[3], const double b[3])
{
    double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    if (type == KV_TYPE_GEODETIC) {
        const double metresPerDegree = 6400000.0 / kRadToDeg;
        d[0] *= metresPerDegree;
        d[1] = std::remainder(d[1], 360.0) * metresPerDegree * std::cos(a[0] / kRadToDeg);
    }
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

} // namespace projref
