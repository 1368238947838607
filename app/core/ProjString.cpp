#include "ProjString.h"

#include "Calculation.h"
#include "NumberText.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace ProjString {

namespace {

const double secondsToRadians = M_PI / (180.0 * 3600.0);

struct Ellipsoid
{
    const char *name;
    double a;
    double rf;
};

// The ellipsoids of the eight datums, as PROJ names them.
const Ellipsoid ellipsoids[] = {
    {"krass", 6378245.0, 298.3},
    {"WGS84", 6378137.0, 298.257223563},
    {"GRS80", 6378137.0, 298.257222101},
    {"PZ90", 6378136.0, 298.25784},
    {"GSK2011", 6378136.5, 298.2564151},
};

bool convert(const refsystem &from, const refsystem &to, const double in[3], double out[3])
{
    transform t;
    return initialize_transform(&from, &to, &t) && transform_coords(in, &t, out);
}

// A datum's ellipsoid as the library has it: the semi-major axis at the
// equator, the flattening from the pole.
bool ellipsoidOf(int datum, double *a, double *f)
{
    refsystem geodetic;
    refsystem geocentric;
    const double equator[3] = {0, 0, 0};
    const double pole[3] = {90, 0, 0};
    double x[3];
    double z[3];
    if (!setup_geod(datum, &geodetic) || !setup_geoc(datum, &geocentric)
        || !convert(geodetic, geocentric, equator, x) || !convert(geodetic, geocentric, pole, z))
        return false;
    *a = x[0];
    *f = 1.0 - z[2] / x[0];
    return true;
}

// Geocentric coordinates on `datum` shifted to WGS 84 by the library.
bool libraryShift(int datum, const double in[3], double out[3])
{
    refsystem from;
    refsystem wgs84;
    return setup_geoc(datum, &from) && setup_geoc(KV_DATUM_WGS84, &wgs84)
        && convert(from, wgs84, in, out);
}

// A seven-parameter shift (metres, arc-seconds, ppm), the rotations as a
// position vector or, with `frame`, as a coordinate frame rotation.
void helmert(const double p[7], bool frame, const double in[3], double out[3])
{
    const double sign = frame ? -1.0 : 1.0;
    const double rx = sign * p[3] * secondsToRadians;
    const double ry = sign * p[4] * secondsToRadians;
    const double rz = sign * p[5] * secondsToRadians;
    const double m = 1.0 + p[6] * 1e-6;
    out[0] = p[0] + m * (in[0] - rz * in[1] + ry * in[2]);
    out[1] = p[1] + m * (rz * in[0] + in[1] - rx * in[2]);
    out[2] = p[2] + m * (-ry * in[0] + rx * in[1] + in[2]);
}

// The library's shift of `datum` to WGS 84 as seven parameters (position
// vector): the shift is affine in geocentric coordinates, so four points give
// it whole.
bool libraryParameters(int datum, double p[7])
{
    const double base[3] = {4e6, 2e6, 4e6};
    const double step = 1e6;
    double at[4][3];
    for (int i = 0; i < 4; ++i) {
        double point[3] = {base[0], base[1], base[2]};
        if (i > 0)
            point[i - 1] += step;
        if (!libraryShift(datum, point, at[i]))
            return false;
    }
    double m[3][3]; // m[row][column]
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r)
            m[r][c] = (at[c + 1][r] - at[0][r]) / step;
    }
    const double scale = (m[0][0] + m[1][1] + m[2][2]) / 3.0;
    for (int r = 0; r < 3; ++r)
        p[r] = at[0][r] - (m[r][0] * base[0] + m[r][1] * base[1] + m[r][2] * base[2]);
    p[3] = (m[2][1] - m[1][2]) / (2.0 * scale) / secondsToRadians;
    p[4] = (m[0][2] - m[2][0]) / (2.0 * scale) / secondsToRadians;
    p[5] = (m[1][0] - m[0][1]) / (2.0 * scale) / secondsToRadians;
    p[6] = (scale - 1.0) * 1e6;
    return true;
}

// How far apart the given seven parameters and the library's shift put a
// point of `datum` at place[0] latitude, place[1] longitude (degrees, on the
// ellipsoid); NaN when the library cannot tell.
double shiftDifference(int datum, const double towgs84[7], bool frame, const double place[2])
{
    refsystem geodetic;
    refsystem geocentric;
    const double point[3] = {place[0], place[1], 0.0};
    double p[3];
    double library[3];
    double given[3];
    if (!setup_geod(datum, &geodetic) || !setup_geoc(datum, &geocentric)
        || !convert(geodetic, geocentric, point, p) || !libraryShift(datum, p, library))
        return std::nan("");
    helmert(towgs84, frame, p, given);
    return std::hypot(given[0] - library[0], given[1] - library[1], given[2] - library[2]);
}

bool number(const QString &text, double *value)
{
    const QByteArray bytes = text.toLatin1();
    return NumberText::read(bytes.constData(), bytes.constData() + bytes.size(), value);
}

struct Definition
{
    double lat0 = 0, lon0 = 0, k = 1, fe = 0, fn = 0;
    double a = 0, rf = 0;
    double towgs84[7] = {};
    bool shiftGiven = false;
};

// The parameter given before `key` that says the same: `key` itself, +k for
// +k_0, any other way of giving the ellipsoid; empty when none. (+towgs84
// beside +datum=WGS84 is read as PROJ reads it: the explicit shift.)
QString conflicting(const QStringList &seen, const QString &key)
{
    const QStringList groups[] = {
        {QStringLiteral("+k"), QStringLiteral("+k_0")},
        {QStringLiteral("+ellps"), QStringLiteral("+datum"), QStringLiteral("+a")},
        {QStringLiteral("+ellps"), QStringLiteral("+datum"), QStringLiteral("+rf")},
    };
    for (const QString &earlier : seen) {
        if (earlier == key)
            return key;
        for (const QStringList &group : groups) {
            if (group.contains(earlier) && group.contains(key))
                return earlier;
        }
    }
    return QString();
}

// The parameters of the text; false with *error for anything but a
// Transverse Mercator in metres.
bool parse(const QString &text, Definition *d, QString *error)
{
    bool tmerc = false;
    QStringList seen;
    for (const QString &token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = token.section(QLatin1Char('='), 0, 0);
        const QString value = token.section(QLatin1Char('='), 1);
        // PROJ takes the first of repeated parameters, a reader of the text
        // may take the last: a definition that reads two ways is refused.
        const QString conflict = conflicting(seen, key);
        if (!conflict.isEmpty()) {
            *error = conflict == key
                ? QStringLiteral("%1 задан дважды: ожидается одно значение").arg(key)
                : QStringLiteral("%1 и %2 вместе: ожидается одно из них").arg(conflict, key);
            return false;
        }
        seen.append(key);
        bool ok = true;
        if (key == QLatin1String("+proj")) {
            tmerc = value == QLatin1String("tmerc");
            ok = tmerc;
        } else if (key == QLatin1String("+lat_0")) {
            ok = number(value, &d->lat0);
        } else if (key == QLatin1String("+lon_0")) {
            ok = number(value, &d->lon0);
        } else if (key == QLatin1String("+k") || key == QLatin1String("+k_0")) {
            ok = number(value, &d->k);
        } else if (key == QLatin1String("+x_0")) {
            ok = number(value, &d->fe);
        } else if (key == QLatin1String("+y_0")) {
            ok = number(value, &d->fn);
        } else if (key == QLatin1String("+a")) {
            ok = number(value, &d->a);
        } else if (key == QLatin1String("+rf")) {
            ok = number(value, &d->rf);
        } else if (key == QLatin1String("+ellps") || key == QLatin1String("+datum")) {
            ok = false;
            for (const Ellipsoid &e : ellipsoids) {
                if (value == QLatin1String(e.name)) {
                    d->a = e.a, d->rf = e.rf, ok = true;
                    // +datum=WGS84 is WGS 84 itself: no shift.
                    d->shiftGiven = d->shiftGiven || key == QLatin1String("+datum");
                }
            }
            ok = ok && (key == QLatin1String("+ellps") || value == QLatin1String("WGS84"));
        } else if (key == QLatin1String("+towgs84")) {
            const QStringList values = value.split(QLatin1Char(','));
            ok = values.size() == 3 || values.size() == 7;
            for (int i = 0; ok && i < values.size(); ++i)
                ok = number(values.at(i), &d->towgs84[i]);
            d->shiftGiven = true;
        } else if (key == QLatin1String("+units")) {
            ok = value == QLatin1String("m");
        } else {
            ok = key == QLatin1String("+no_defs") || key == QLatin1String("+type")
                || key == QLatin1String("+wktext");
        }
        if (!ok) {
            *error = QStringLiteral("«%1»: ожидается +proj=tmerc с +lat_0, +lon_0, +k, +x_0, +y_0, "
                                    "+ellps и +towgs84 в метрах")
                         .arg(token);
            return false;
        }
    }
    if (!tmerc || !(d->a > 0) || !(d->rf > 0)) {
        *error = QStringLiteral("ожидается +proj=tmerc с эллипсоидом (+ellps или +a и +rf)");
        return false;
    }
    return true;
}

// Where the plane coordinates are 0, 0 (latitude, longitude in degrees);
// false when the projection does not reach it.
bool falseOriginOf(int datum, const Definition &d, double out[2])
{
    refsystem plane;
    refsystem geodetic;
    const double zero[3] = {0.0, 0.0, 0.0};
    double point[3];
    if (!setup_tm(datum, d.lon0, d.lat0, d.k, d.fe, d.fn, &plane) || !setup_geod(datum, &geodetic)
        || !convert(plane, geodetic, zero, point) || !std::isfinite(point[0])
        || !std::isfinite(point[1]))
        return false;
    out[0] = point[0], out[1] = point[1];
    return true;
}

} // namespace

bool read(const QString &definition, SystemName::Choices *choices, QString *note, QString *error)
{
    Definition d;
    if (!parse(definition, &d, error))
        return false;
    if (!d.shiftGiven && std::fabs(d.a - 6378245.0) < 0.001) {
        *error = QStringLiteral("на эллипсоиде Красовского нужен +towgs84: без него %1 и %2 "
                                "не различить")
                     .arg(SystemName::datumCaption(KV_DATUM_PULKOVO42),
                         SystemName::datumCaption(KV_DATUM_PULKOVO95));
        return false;
    }
    // The shifts are compared over the projection's area, not at one point:
    // rotations a little off move little at the equator and metres in the north.
    std::vector<std::array<double, 2>> places;
    for (int step = 0; step <= 8; ++step) // 40 to 80 degrees north, every 5
        places.push_back({40.0 + 5.0 * step, d.lon0});
    places.push_back({d.lat0, d.lon0});
    int best = 0;
    bool bestFrame = false;
    double bestDistance = HUGE_VAL;
    bool ellipsoidFound = false;
    for (const int datum : SystemName::datumsFor(SystemKind::Geodetic)) {
        double a = 0;
        double f = 0;
        if (!ellipsoidOf(datum, &a, &f) || std::fabs(a - d.a) > 0.001
            || std::fabs(f - 1.0 / d.rf) > 1e-12)
            continue;
        ellipsoidFound = true;
        double falseOrigin[2];
        std::vector<std::array<double, 2>> here = places;
        if (falseOriginOf(datum, d, falseOrigin))
            here.push_back({falseOrigin[0], falseOrigin[1]});
        for (const bool frame : {false, true}) {
            double largest = 0.0;
            for (const std::array<double, 2> &place : here) {
                const double distance = shiftDifference(datum, d.towgs84, frame, place.data());
                largest = std::isnan(distance) ? HUGE_VAL : std::max(largest, distance);
            }
            if (largest < bestDistance)
                best = datum, bestFrame = frame, bestDistance = largest;
        }
    }
    if (!ellipsoidFound) {
        *error = QStringLiteral("эллипсоид не совпадает с эллипсоидом ни одного из датумов: "
                                "krass, WGS84, GRS80, PZ90, GSK2011");
        return false;
    }
    if (!(bestDistance <= 1.0)) {
        *error = QStringLiteral("+towgs84 не совпадает с параметрами ни одного датума на этом "
                                "эллипсоиде: ближайший, %1, отличается в области проекции "
                                "до %2 м")
                     .arg(SystemName::datumCaption(best))
                     .arg(bestDistance, 0, 'f', 2);
        return false;
    }
    SystemName::Choices c;
    c.kind = SystemKind::TransverseMercator;
    c.datum = best;
    const double tm[5] = {d.lon0, d.lat0, d.k, d.fe, d.fn};
    std::copy(tm, tm + 5, c.tm);
    refsystem check;
    if (!setup_tm(c.datum, c.tm[0], c.tm[1], c.tm[2], c.tm[3], c.tm[4], &check)) {
        *error = QStringLiteral("параметры проекции вне пределов: |lon_0| не больше 180, |lat_0| "
                                "меньше 90, k от 0.9 до 1.1");
        return false;
    }
    c.geoid = choices->geoid;
    *choices = c;
    if (note)
        *note = QStringLiteral("PROJ: взят датум %1, повороты %2; параметры +towgs84 отличаются "
                               "от параметров библиотеки в области проекции (осевой меридиан на "
                               "широтах 40°–80°, начало координат) не больше чем на %3 см")
                    .arg(SystemName::datumCaption(best),
                        bestFrame ? QStringLiteral("как поворот системы координат")
                                  : QStringLiteral("как поворот вектора положения"))
                    .arg(bestDistance * 100.0, 0, 'f', 1);
    return true;
}

QString write(const refsystem &system)
{
    if (system.type == KV_TYPE_GK_ZONE && Calculation::isZone(system.zone)) {
        // The national series is the library's zone of the same number.
        refsystem zone;
        return setup_gk(system.datum, unsigned(system.zone),
                   system.hemisphere == KV_HEMISPHERE_SOUTH ? KV_HEMISPHERE_SOUTH
                                                            : KV_HEMISPHERE_NORTH,
                   &zone)
            ? write(zone)
            : QString();
    }
    if (system.type != KV_TYPE_PROJECTED || !(system.projection.scale_factor > 0))
        return QString();
    // Zones east of 180° (Gauss-Krüger 31 to 60 reach 357°) as the west
    // longitude PROJ and this reader both take.
    double lon0 = system.projection.central_meridian * (180.0 / M_PI);
    if (lon0 > 180.0)
        lon0 -= 360.0;
    const double lat0 = system.projection.origin_latitude * (180.0 / M_PI);
    const double k = system.projection.scale_factor;
    const double fe = system.projection.false_easting;
    const double fn = system.projection.false_northing;
    double a = 0;
    double f = 0;
    double p[7];
    if (!ellipsoidOf(system.datum, &a, &f) || !libraryParameters(system.datum, p))
        return QString();
    QString ellipsoid;
    for (const Ellipsoid &e : ellipsoids) {
        if (std::fabs(a - e.a) < 0.001 && std::fabs(f - 1.0 / e.rf) < 1e-12)
            ellipsoid = QLatin1String(e.name);
    }
    QStringList shift;
    // Micrometres and micro-arc-seconds: the library's shift is no finer.
    for (const double v : p)
        shift << NumberText::shortest(std::round(v * 1e6) / 1e6);
    return QStringLiteral("+proj=tmerc +lat_0=%1 +lon_0=%2 +k=%3 +x_0=%4 +y_0=%5 +ellps=%6 "
                          "+towgs84=%7 +units=m +no_defs")
        .arg(NumberText::shortest(lat0), NumberText::shortest(lon0), NumberText::shortest(k),
            NumberText::shortest(fe), NumberText::shortest(fn), ellipsoid, shift.join(','));
}

} // namespace ProjString
