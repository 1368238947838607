#include "proj_reference.h"

#include <proj.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace projref {

namespace {

struct Datum
{
    int code;
    double a, rf; // ellipsoid: metres, inverse flattening
    double dx, dy, dz; // metres
    double rx_mas, ry_mas, rz_mas; // milliarcseconds
    double s_ppm; // parts per million
};

// ГОСТ 32453-2017: each datum to PZ 90.11.
const Datum kTable[] = {
    { 42, 6378245, 298.3, 23.557, -140.844, -79.778, -2.30, -346.46, -794.21, -0.228 },
    { 95, 6378245, 298.3, 24.457, -130.784, -81.538, -2.30, 3.54, -134.21, -0.228 },
    { 84, 6378137, 298.257223563, -0.013, 0.106, 0.022, -2.30, 3.54, -4.21, -0.008 },
    { 90, 6378136, 298.25784, -1.443, 0.156, 0.222, -2.30, 3.54, -134.21, -0.228 },
    { 9002, 6378136, 298.25784, -0.373, 0.186, 0.202, -2.30, 3.54, -4.21, -0.008 },
    { 9011, 6378136, 298.25784, 0, 0, 0, 0, 0, 0, 0 },
    { 2011, 6378136.5, 298.2564151, 0, 0.014, -0.008, -0.562, -0.019, 0.053, -0.0006 },
    { 2008, 6378137, 298.257222101, 0.003, 0.001, 0, -0.019, 0.042, -0.002, 0 },
};

const Datum &datum_of(int code)
{
    for (const Datum &d : kTable) {
        if (d.code == code)
            return d;
    }
    throw std::invalid_argument("unknown datum code " + std::to_string(code));
}

// Full precision, "." as decimal point whatever the locale (PROJ reads with
// its own locale-independent parser).
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

std::string helmert(const Datum &d, double sign)
{
    // Rotations in arc-seconds for PROJ.
    return " +step +proj=helmert +convention=coordinate_frame +x=" + num(sign * d.dx)
        + " +y=" + num(sign * d.dy) + " +z=" + num(sign * d.dz)
        + " +rx=" + num(sign * d.rx_mas / 1000.0) + " +ry=" + num(sign * d.ry_mas / 1000.0)
        + " +rz=" + num(sign * d.rz_mas / 1000.0) + " +s=" + num(sign * d.s_ppm);
}

const double kRadToDeg = 180.0 / 3.141592653589793;

std::string tmerc_args(const refsystem &rs, bool approx)
{
    const tm_projection &p = rs.projection;
    return std::string(" +proj=tmerc") + (approx ? " +approx" : "")
        + " +lat_0=" + num(p.origin_latitude * kRadToDeg)
        + " +lon_0=" + num(p.central_meridian * kRadToDeg) + " +k_0=" + num(p.scale_factor)
        + " +x_0=" + num(p.false_easting) + " +y_0=" + num(p.false_northing);
}

// The GOST series as a Transverse Mercator on Krasovsky. The series turns
// radians into degrees with rho = 57.29577951 rather than 180/pi, so its
// longitude from the central meridian is L - cm/rho (forward and inverse
// alike): its effective central meridian is cm * (180/pi) / rho degrees,
// about 2 mm east of the nominal one at 357°.
std::string gost_args(const refsystem &rs)
{
    const int zone = rs.zone;
    const double central = (6.0 * zone - 3.0) * kRadToDeg / 57.29577951;
    return " +proj=tmerc +lat_0=0 +lon_0=" + num(central) + " +k_0=1 +x_0=" + num(zone * 1e6 + 5e5)
        + " +y_0=" + num(rs.hemisphere == 2 ? 1e7 : 0.0) + " +a=6378245 +rf=298.3";
}

std::string topocentric_args(const refsystem &rs)
{
    return " +proj=topocentric +lat_0=" + num(rs.origin[0] * kRadToDeg)
        + " +lon_0=" + num(rs.origin[1] * kRadToDeg) + " +h_0=" + num(rs.origin[2]) + " "
        + ellipsoid_args(rs.datum);
}

const char *kSwap = " +step +proj=axisswap +order=2,1";

} // namespace

const int kDatums[8] = { 42, 95, 84, 90, 9002, 9011, 2011, 2008 };

std::string ellipsoid_args(int datum)
{
    const Datum &d = datum_of(datum);
    return "+a=" + num(d.a) + " +rf=" + num(d.rf);
}

std::string shift_steps(int from, int to)
{
    if (from == to)
        return "";
    std::string steps;
    if (from != 9011)
        steps += helmert(datum_of(from), 1.0);
    if (to != 9011)
        steps += helmert(datum_of(to), -1.0);
    return steps;
}

std::string to_geocentric_steps(const refsystem &rs)
{
    const std::string cart = " +step +proj=cart " + ellipsoid_args(rs.datum);
    switch (rs.type) {
    case KV_TYPE_GEOCENTRIC:
        return "";
    case KV_TYPE_GEODETIC:
        return std::string(kSwap) + " +step +proj=unitconvert +xy_in=deg +xy_out=rad" + cart;
    case KV_TYPE_LOCAL:
        return " +step +inv" + topocentric_args(rs);
    case KV_TYPE_GK_ZONE:
        return std::string(kSwap) + " +step +inv" + gost_args(rs) + cart;
    case KV_TYPE_PROJECTED:
        return std::string(rs.axis_order == KV_AXES_NORTHING_EASTING ? kSwap : "") + " +step +inv"
            + tmerc_args(rs, true) + " " + ellipsoid_args(rs.datum) + cart;
    default:
        throw std::invalid_argument("system type");
    }
}

std::string from_geocentric_steps(const refsystem &rs)
{
    const std::string cart = " +step +inv +proj=cart " + ellipsoid_args(rs.datum);
    switch (rs.type) {
    case KV_TYPE_GEOCENTRIC:
        return "";
    case KV_TYPE_GEODETIC:
        return cart + " +step +proj=unitconvert +xy_in=rad +xy_out=deg" + kSwap;
    case KV_TYPE_LOCAL:
        return " +step" + topocentric_args(rs);
    case KV_TYPE_GK_ZONE:
        return cart + " +step" + gost_args(rs) + kSwap;
    case KV_TYPE_PROJECTED:
        return cart + " +step" + tmerc_args(rs, true) + " " + ellipsoid_args(rs.datum)
            + (rs.axis_order == KV_AXES_NORTHING_EASTING ? kSwap : "");
    default:
        throw std::invalid_argument("system type");
    }
}

std::string pipeline(const refsystem &in, const refsystem &out)
{
    // The no-op step keeps an identity pipeline valid.
    return "+proj=pipeline +step +proj=noop" + to_geocentric_steps(in)
        + shift_steps(in.datum, out.datum) + from_geocentric_steps(out);
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
    PJ_COORD c = proj_coord(p[0], p[1], p[2], 0.0);
    c = proj_trans(static_cast<PJ *>(pj_), PJ_FWD, c);
    if (c.v[0] == HUGE_VAL || !std::isfinite(c.v[0]) || !std::isfinite(c.v[1])
        || !std::isfinite(c.v[2]))
        return false;
    p[0] = c.v[0];
    p[1] = c.v[1];
    p[2] = c.v[2];
    return true;
}

double distance_m(int type, const double a[3], const double b[3])
{
    if (type == KV_TYPE_GEODETIC) {
        const double metresPerDegree = 6400000.0 / kRadToDeg;
        const double dLat = (a[0] - b[0]) * metresPerDegree;
        double dLonDeg = std::remainder(a[1] - b[1], 360.0);
        const double dLon = dLonDeg * metresPerDegree * std::cos(a[0] / kRadToDeg);
        const double dH = a[2] - b[2];
        return std::sqrt(dLat * dLat + dLon * dLon + dH * dH);
    }
    const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

} // namespace projref
