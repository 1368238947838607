// Transverse Mercator zones.
//
// Two engines that share no code:
//  - the national 6-degree Gauss-Krüger series of ГОСТ 32453-2017 on the
//    Krasovsky ellipsoid: fixed coefficients, zone number carried in front of
//    the easting. Degrees per radian are the rounded 57.29577951, so a
//    longitude exactly on a zone boundary falls into the western zone and the
//    effective central meridian lies cm·(180/π)/57.29577951 (up to 2 mm east
//    of the nominal one at 357°). Within a zone the series agree with the
//    exact projection on that meridian to 0.25 mm.
//  - the general ellipsoidal Transverse Mercator of Snyder ("Map Projections:
//    A Working Manual", USGS PP 1395, chapter 8, ellipsoidal forms), with the
//    meridian distance cut after e^6 and the footpoint series after e1^4.
//    Within 3.5° of the central meridian it agrees with PROJ's tmerc +approx
//    to 1.1 mm; a forward-inverse round trip inside the zone returns within
//    0.9 mm (mostly in latitude near 70°). Beyond that the truncation grows.
// Departures from Snyder: the multiple-angle sines come from one sine/cosine
// pair through the double-angle identities below, and the series are nested
// as written here; both belong to the fixed arithmetic.
// Departure from the plain series: a negative longitude is turned east by
// whole turns in radians before ρ is applied (see turn_positive), so a
// western longitude gives the same point as its eastern equivalent.
#include "kelvadra_internal.h"

#include <cmath>

namespace kelvadra {

namespace {

// Degrees per radian of the GOST series, rounded to eight decimals on purpose.
constexpr double kRho = 57.29577951;
// Length of the meridian arc per radian of latitude on Krasovsky (metres) and
// the semi-major axis (metres) as the series use them.
constexpr double kGkArc = 6367558.4968;
constexpr double kGkA = 6378245.0;
constexpr double kSouthFalseNorthing = 10000000.0;

bool zone_in_range(int zone)
{
    return zone >= 1 && zone <= 60;
}

// Meridian distance from sinφ and cosφ already at hand (metres).
double meridian_distance(const tm_constants &c, double phi, double s, double co)
{
    const double s2 = s * s;
    const double sin2 = 2.0 * s * co;
    const double sin4 = sin2 * (2.0 - 4.0 * s2);
    const double sin6 = sin2 * (3.0 + 16.0 * (s2 * s2 - s2));
    return c.A0 * phi - c.A2 * sin2 + c.A4 * sin4 - c.A6 * sin6;
}

// A western longitude turned east in radians. The series' degrees are L·ρ
// with ρ a little under 180/π, so 360 of them fall 3.4e-10 rad short of a
// full turn: reduced after the multiplication, a longitude such as -170°
// would land up to 2 mm east of the same point given as 190°. Turned here,
// where a turn is exact, both give the same point; longitudes from 0 up are
// left to the reduction in degrees, as before.
double turn_positive(double L)
{
    return L < 0.0 ? L + std::ceil(-L / kTwoPi) * kTwoPi : L;
}

} // namespace

int gk6_forward(double B, double L, int zone, int hemisphere, double *x, double *y)
{
    const double lon = normalize_positive_longitude_deg(turn_positive(L) * kRho);
    if (zone == 0) {
        // Compared as a double first: a non-finite longitude must not reach
        // the integer conversion.
        const double automatic = std::floor((lon + 6.0) / 6.0);
        if (!(automatic >= 1.0 && automatic <= 60.0))
            return 0;
        zone = static_cast<int>(automatic);
    }
    if (!zone_in_range(zone))
        return 0;

    const double l = normalize_angle_pi((lon - (6 * zone - 3)) / kRho);
    double sB, cB;
    sin_cos(B, &sB, &cB);
    const double s2 = sB * sB;
    const double s4 = s2 * s2;
    const double s6 = s2 * s4;
    const double l2 = l * l;
    const double sin2B = 2.0 * sB * cB;

    double nx = kGkArc * B
        - sin2B
            * (16002.8900 + 66.9607 * s2 + 0.3515 * s4
                - l2
                    * (1594561.25 + 5336.535 * s2 + 26.790 * s4 + 0.149 * s6
                        + l2
                            * (672483.4 - 811219.9 * s2 + 5420.0 * s4 - 10.6 * s6
                                + l2
                                    * (278194 - 830174 * s2 + 572434 * s4 - 16010 * s6
                                        + l2
                                            * (109500 - 574700 * s2 + 863700 * s4
                                                - 398600 * s6)))));
    const double ny = (5 + 10 * zone) * 100000.0
        + l * cB
            * (6378245 + 21346.1415 * s2 + 107.1590 * s4 + 0.5977 * s6
                + l2
                    * (1070204.16 - 2136826.66 * s2 + 17.98 * s4 - 11.99 * s6
                        + l2
                            * (270806 - 1523417 * s2 + 1327645 * s4 - 21701 * s6
                                + l2 * (79690 - 866190 * s2 + 1730360 * s4 - 945460 * s6))));

    if (hemisphere == 0)
        hemisphere = B < 0 ? 2 : 1;
    if (hemisphere == 2)
        nx += kSouthFalseNorthing;
    *x = nx;
    *y = ny;
    return 1;
}

int gk6_inverse(double x, double y, int zone, int hemisphere, double *B, double *L)
{
    if (!zone_in_range(zone) || (hemisphere != 1 && hemisphere != 2))
        return 0;
    if (hemisphere == 2)
        x -= kSouthFalseNorthing;

    const double beta = x / kGkArc;
    const double sBeta = std::sin(beta);
    const double sBeta2 = sBeta * sBeta;
    const double sBeta4 = sBeta2 * sBeta2;
    const double B0 = beta
        + std::sin(2.0 * beta) * (0.00252588685 - 0.0000149186 * sBeta2 + 0.00000011904 * sBeta4);
    double sB0, cB0;
    sin_cos(B0, &sB0, &cB0);
    if (cB0 == 0.0)
        return 0;

    const double z0 = (y - (10 * zone + 5) * 100000.0) / (kGkA * cB0);
    const double z2 = z0 * z0;
    const double s2 = sB0 * sB0;
    const double s4 = s2 * s2;
    const double s6 = s2 * s4;
    const double sin2B0 = 2.0 * sB0 * cB0;

    const double dB = -z2 * sin2B0
        * (0.251684631 - 0.003369263 * s2 + 0.000011276 * s4
            - z2
                * (0.10500614 - 0.04559916 * s2 + 0.00228901 * s4 - 0.00002987 * s6
                    - z2
                        * (0.042858 - 0.025318 * s2 + 0.014346 * s4 - 0.001264 * s6
                            - z2 * (0.01672 - 0.0063 * s2 + 0.01188 * s4 - 0.00328 * s6))));
    const double l = z0
        * (1 - 0.0033467108 * s2 - 0.0000056002 * s4 - 0.0000000187 * s6
            - z2
                * (0.16778975 + 0.16273586 * s2 - 0.0005249 * s4 - 0.00000846 * s6
                    - z2
                        * (0.0420025 + 0.1487407 * s2 + 0.005942 * s4 - 0.000015 * s6
                            - z2
                                * (0.01225 + 0.09477 * s2 + 0.03282 * s4 - 0.00034 * s6
                                    - z2 * (0.0038 + 0.0524 * s2 + 0.0482 * s4 + 0.0032 * s6)))));

    *B = B0 + dB;
    *L = 6 * (zone - 0.5) / kRho + l;
    return 1;
}

int gk6_inverse_auto_zone(double x, double y, int hemisphere, double *B, double *L)
{
    // The zone is the easting's prefix. Range-checked as a double so that a
    // non-finite or huge easting never reaches the integer conversion.
    const double zone = std::floor(y * 0.000001);
    if (!(zone >= 1.0 && zone <= 60.0))
        return 0;
    return gk6_inverse(x, y, static_cast<int>(zone), hemisphere, B, L);
}

void tm_setup_constants(const ellipsoid &e, const tm_projection &p, tm_constants *c)
{
    const double a = e.a;
    const double b = a * (1.0 - e.f);
    const double ba = b / a;
    const double ab = a / b;
    const double e2 = 1.0 - ba * ba;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;

    tm_constants k {};
    k.a = a;
    k.e2 = e2;
    k.ep2 = ab * ab - 1.0;
    k.A0 = a * (1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0);
    k.A2 = a * (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0);
    k.A4 = a * (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0);
    k.A6 = a * (35.0 * e6 / 3072.0);
    k.M0 = tm_meridian_distance(k, p.origin_latitude);

    const double root = std::sqrt(1.0 - e2);
    const double e1 = (1.0 - root) / (1.0 + root);
    const double e1_2 = e1 * e1;
    const double e1_3 = e1_2 * e1;
    const double e1_4 = e1_2 * e1_2;
    k.J1 = 3.0 * e1 / 2.0 - 27.0 * e1_3 / 32.0;
    k.J2 = 21.0 * e1_2 / 16.0 - 55.0 * e1_4 / 32.0;
    k.J3 = 151.0 * e1_3 / 96.0;
    k.J4 = 1097.0 * e1_4 / 512.0;
    k.a_1_minus_e2 = a * (1.0 - e2);
    *c = k;
}

double tm_meridian_distance(const tm_constants &c, double phi)
{
    double s, co;
    sin_cos(phi, &s, &co);
    return meridian_distance(c, phi, s, co);
}

void tm_forward(const tm_projection &p, const tm_constants &c, double phi, double lambda,
    double *easting, double *northing)
{
    const double dl = normalize_angle_pi(lambda - p.central_meridian);
    double s, co;
    sin_cos(phi, &s, &co);
    const double s2 = s * s;
    const double c2 = co * co;
    const double T = s2 / c2;
    const double C = c.ep2 * c2;
    const double A = dl * co;
    const double N = c.a / std::sqrt(1.0 - c.e2 * s2);
    const double M = meridian_distance(c, phi, s, co);

    const double A2 = A * A;
    const double A3 = A2 * A;
    const double A4 = A2 * A2;
    const double A5 = A4 * A;
    const double A6 = A4 * A2;
    const double k0 = p.scale_factor;

    *easting = p.false_easting
        + k0 * N
            * (A + (1.0 - T + C) * A3 / 6.0
                + (5.0 - 18.0 * T + T * T + 72.0 * C - 58.0 * c.ep2) * A5 / 120.0);
    *northing = p.false_northing
        + k0
            * (M - c.M0
                + N * (s / co)
                    * (A2 / 2.0 + (5.0 - T + 9.0 * C + 4.0 * C * C) * A4 / 24.0
                        + (61.0 - 58.0 * T + T * T + 600.0 * C - 330.0 * c.ep2) * A6 / 720.0));
}

void tm_inverse(const tm_projection &p, const tm_constants &c, double easting, double northing,
    double *phi, double *lambda)
{
    const double k0 = p.scale_factor;
    // Dividing by a scale of 1 changes nothing: skipped, a division less on
    // the way of every point of a Gauss-Krüger zone.
    const double north = northing - p.false_northing;
    const double mu = (c.M0 + (k0 == 1.0 ? north : north / k0)) / c.A0;
    double sMu, cMu;
    sin_cos(mu, &sMu, &cMu);
    const double sMu2 = sMu * sMu;
    const double sin2 = 2.0 * sMu * cMu;
    const double sin4 = sin2 * (2.0 - 4.0 * sMu2);
    const double sin6 = sin2 * (3.0 + 16.0 * (sMu2 * sMu2 - sMu2));
    const double sin8 = sin2 * (4.0 - 8.0 * sMu2) * (1.0 - 2.0 * sin2 * sin2);
    const double phi1 = mu + c.J1 * sin2 + c.J2 * sin4 + c.J3 * sin6 + c.J4 * sin8;

    const double c1 = std::cos(phi1);
    const double t1 = std::tan(phi1);
    const double cc = c1 * c1;
    const double T1 = (1.0 - cc) / cc;
    const double C1 = c.ep2 * cc;
    const double W = 1.0 - c.e2 * (1.0 - cc);
    const double rootW = std::sqrt(W);
    const double N1 = c.a / rootW;
    const double R1 = c.a_1_minus_e2 / (W * rootW);
    const double D = (easting - p.false_easting) / (N1 * k0);

    const double D2 = D * D;
    const double D3 = D2 * D;
    const double D4 = D2 * D2;
    const double D5 = D4 * D;
    const double D6 = D4 * D2;
    const double ep2 = c.ep2;

    const double lat = phi1
        - (N1 * t1 / R1)
            * (D2 / 2.0 - (5.0 + 3.0 * T1 + 10.0 * C1 - 4.0 * C1 * C1 - 9.0 * ep2) * D4 / 24.0
                + (61.0 + 90.0 * T1 + 298.0 * C1 + 45.0 * T1 * T1 - 252.0 * ep2 - 3.0 * C1 * C1)
                    * D6 / 720.0);
    const double lon = p.central_meridian
        + (D - (1.0 + 2.0 * T1 + C1) * D3 / 6.0
              + (5.0 - 2.0 * C1 + 28.0 * T1 - 3.0 * C1 * C1 + 8.0 * ep2 + 24.0 * T1 * T1) * D5
                  / 120.0)
            / c1;
    *phi = normalize_latitude_rad(lat);
    *lambda = normalize_angle_pi(lon);
}

namespace {

// One 6-degree zone: central meridian (6n - offset) degrees, origin at the
// equator, the southern false northing for any hemisphere other than 1.
int zone_projection(int zone, int hemisphere, int meridianOffset, double scale, double falseEasting,
    tm_projection *out)
{
    if (!zone_in_range(zone) || hemisphere == 0)
        return 0;
    out->central_meridian = (6 * zone - meridianOffset) * kPi / 180.0;
    out->origin_latitude = 0.0;
    out->scale_factor = scale;
    out->false_easting = falseEasting;
    out->false_northing = hemisphere == 1 ? 0.0 : kSouthFalseNorthing;
    return 1;
}

} // namespace

int gk_zone_projection(int zone, int hemisphere, tm_projection *out)
{
    // The zone number stands in front of the 500 000 m false easting.
    return zone_projection(zone, hemisphere, 3, 1.0, zone * 1000000.0 + 500000.0, out);
}

int utm_zone_projection(int zone, int hemisphere, tm_projection *out)
{
    return zone_projection(zone, hemisphere, 183, 0.9996, 500000.0, out);
}

} // namespace kelvadra

using namespace kelvadra;

extern "C" {

KELVADRA_API int initialize_gk6_from_latlon(const double point[3], refsystem *rs)
{
    if (!point || !rs || !std::isfinite(point[0]) || !std::isfinite(point[1]))
        return 0;
    int zone = rs->zone;
    if (!(zone >= 1 && zone <= 60)) {
        const double lon = normalize_positive_longitude_deg(point[1]);
        const double automatic = std::floor((lon + 6.0) / 6.0);
        // Always 1..60 for a longitude in [0, 360); the reduction of a huge
        // longitude can leave that range, and such a point has no zone.
        if (!(automatic >= 1.0 && automatic <= 60.0))
            return 0;
        zone = static_cast<int>(automatic);
    }
    int hemisphere = rs->hemisphere;
    if (hemisphere == 0)
        hemisphere = point[0] >= 0.0 ? 1 : 2;

    tm_projection projection {};
    gk_zone_projection(zone, hemisphere, &projection); // zone and hemisphere valid here
    rs->type = KV_TYPE_PROJECTED;
    rs->zone = 0;
    rs->hemisphere = 0;
    rs->axis_order = KV_AXES_NORTHING_EASTING;
    rs->projection = projection;
    return check_refsystem(rs);
}

KELVADRA_API int initialize_gk6_from_xy(const double point[3], refsystem *rs)
{
    if (!point || !rs || !std::isfinite(point[0]) || !std::isfinite(point[1]))
        return 0;
    const int hemisphere = rs->hemisphere;
    if (hemisphere == 0)
        return 0;
    int zone = rs->zone;
    if (!(zone >= 1 && zone <= 60)) {
        // There is no zone 0 or 61 to convert in: an easting without a valid
        // prefix leaves the record as it was.
        const double prefix = std::floor(point[1] * 0.000001);
        if (!(prefix >= 1.0 && prefix <= 60.0))
            return 0;
        zone = static_cast<int>(prefix);
    }

    tm_projection projection {};
    gk_zone_projection(zone, hemisphere, &projection);
    rs->type = KV_TYPE_PROJECTED;
    rs->zone = -1;
    rs->hemisphere = 0;
    rs->axis_order = KV_AXES_NORTHING_EASTING;
    rs->projection = projection;
    return check_refsystem(rs);
}

} // extern "C"
