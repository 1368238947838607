#include "Calculation.h"

#include "CellText.h"

#include <QChar>

#include <cmath>

namespace Calculation {

namespace {

const int geocentricType = 1;
const int geodeticType = 2;

// Heights above the geoid on a Gauss-Krüger side (type 4) whose zone or
// hemisphere is automatic. The geoid step converts the point back through the
// zone: an automatic hemisphere cannot be read back (a northing reads both
// ways) and an automatic zone may be another than the one the point is in. So
// the step uses the record completed for the row's point, as the automatic
// GSK 2011 zone does: the zone of the easting's prefix and, on the target
// side, the hemisphere of the point's latitude on that side's datum (the
// conversion chose it so). False when the row fails.
bool automaticZone(const refsystem &system)
{
    return system.type == KV_TYPE_GK_ZONE && (system.zone == 0 || system.hemisphere == 0);
}

bool convertWithRowZones(const refsystem &source, const refsystem &target, const transform &t,
    const ::geoid *geoid, const geoid_transform *sourceGeoid, const geoid_transform *targetGeoid,
    const double in[3], double out[3])
{
    const auto completed = [](refsystem system, double easting, const double *latitude) {
        const double prefix = std::floor(easting * 0.000001);
        if (system.zone == 0 && prefix >= 1.0 && prefix <= 60.0)
            system.zone = static_cast<int>(prefix);
        if (system.hemisphere == 0 && latitude)
            system.hemisphere = *latitude < 0.0 ? KV_HEMISPHERE_SOUTH : KV_HEMISPHERE_NORTH;
        return system;
    };
    geoid_transform row;
    double point[3] = {in[0], in[1], in[2]};
    if (sourceGeoid && automaticZone(source)) {
        const refsystem system = completed(source, in[1], nullptr);
        if (!initialize_geoid_transform(&system, geoid, &row))
            return false;
        sourceGeoid = &row;
    }
    if ((sourceGeoid && !transform_from_geoid(point, sourceGeoid))
        || !transform_coords(point, &t, out))
        return false;
    if (targetGeoid && automaticZone(target)) {
        refsystem geodetic;
        transform toGeodetic;
        double latLon[3];
        if (!setup_geod(target.datum, &geodetic)
            || !initialize_transform(&source, &geodetic, &toGeodetic)
            || !transform_coords(point, &toGeodetic, latLon))
            return false;
        const refsystem system = completed(target, out[1], &latLon[0]);
        if (!initialize_geoid_transform(&system, geoid, &row))
            return false;
        targetGeoid = &row;
    }
    return !targetGeoid || transform_to_geoid(out, targetGeoid);
}

} // namespace

bool usesGeoid(const Side &side)
{
    return side.geoidIndex != 0 && side.systemType != geocentricType;
}

Calculator::Calculator(const Side &source, const Side &target, const ::geoid *geoid)
    : source(source)
    , target(target)
    , geoid(geoid)
    , sourceGeoid(usesGeoid(source))
    , targetGeoid(usesGeoid(target))
{
}

bool Calculator::setUpFixed()
{
    autoZone = false;
    ready = false;
    if (!initialize_transform(&source.system, &target.system, &fixedTransform))
        return false;
    if (sourceGeoid || targetGeoid) {
        if (!check_geoid(geoid))
            return false;
        if (sourceGeoid
            && !initialize_geoid_transform(&source.system, geoid, &sourceGeoidTransform))
            return false;
        if (targetGeoid
            && !initialize_geoid_transform(&target.system, geoid, &targetGeoidTransform))
            return false;
    }
    ready = true;
    return true;
}

bool Calculator::setUpAutoZone()
{
    autoZone = true;
    ready = false;
    if ((sourceGeoid || targetGeoid) && !check_geoid(geoid))
        return false;
    ready = true;
    return true;
}

bool Calculator::convertPoint(const double in[3], const transform &t,
    const geoid_transform *sourceGeoid, const geoid_transform *targetGeoid, double out[3])
{
    double point[3] = {in[0], in[1], in[2]};
    if (sourceGeoid && !transform_from_geoid(point, sourceGeoid))
        return false;
    if (!transform_coords(point, &t, out))
        return false;
    return !targetGeoid || transform_to_geoid(out, targetGeoid);
}

bool Calculator::convertFixed(const double in[3], double out[3]) const
{
    const geoid_transform *from = sourceGeoid ? &sourceGeoidTransform : nullptr;
    const geoid_transform *to = targetGeoid ? &targetGeoidTransform : nullptr;
    if ((from && automaticZone(source.system)) || (to && automaticZone(target.system)))
        return convertWithRowZones(
            source.system, target.system, fixedTransform, geoid, from, to, in, out);
    return convertPoint(in, fixedTransform, from, to, out);
}

bool Calculator::convertAutoZone(const double in[3], double out[3]) const
{
    // The source zone is read from the easting's prefix, with the hemisphere
    // the panel names.
    refsystem from = source.system;
    if (!check_refsystem(&from))
        initialize_gk6_from_xy(in, &from);
    if (!check_refsystem(&from))
        return false;

    // The target zone (and hemisphere, where automatic) comes from where the
    // point lies on the target's datum. The height does not matter here, so
    // the point goes without its geoid correction.
    refsystem to = target.system;
    if (!check_refsystem(&to)) {
        refsystem geodetic;
        transform toGeodetic;
        double latLon[3];
        if (setup_geod(to.datum, &geodetic) && initialize_transform(&from, &geodetic, &toGeodetic)
            && transform_coords(in, &toGeodetic, latLon))
            initialize_gk6_from_latlon(latLon, &to);
    }
    // A zone that could not be chosen would give a meaningless point.
    if (!check_refsystem(&to))
        return false;

    transform t;
    if (!initialize_transform(&from, &to, &t))
        return false;
    geoid_transform fromGeoid;
    geoid_transform toGeoid;
    if (sourceGeoid && !initialize_geoid_transform(&from, geoid, &fromGeoid))
        return false;
    if (targetGeoid && !initialize_geoid_transform(&to, geoid, &toGeoid))
        return false;
    return convertWithRowZones(from, to, t, geoid, sourceGeoid ? &fromGeoid : nullptr,
        targetGeoid ? &toGeoid : nullptr, in, out);
}

QString Calculator::formatRow(
    const QString &name, const double point[3], bool heightDefaulted) const
{
    double second = point[1];
    if (target.unsignedLongitude)
        second = normalize_positive_longitude_deg(second);

    QString text1;
    QString text2;
    if (target.decimalDegrees) {
        text1 = CellText::formatFixed(point[0], 9);
        text2 = CellText::formatFixed(second, 9);
    } else if (target.dmsUnits) {
        text1 = CellText::formatDms(point[0]);
        text2 = CellText::formatDms(second);
    } else {
        text1 = CellText::formatFixed(point[0], 3);
        text2 = CellText::formatFixed(second, 3);
    }
    const QString text3 = heightDefaulted ? QString() : CellText::formatFixed(point[2], 3);
    return CellText::joinRow(name, text1, text2, text3);
}

QString Calculator::convertRow(const QString &rowText, bool *error) const
{
    const QStringList parts = rowText.split(QLatin1Char(';'));
    const QString name = parts.value(0).trimmed();
    const QString c1 = parts.value(1).trimmed();
    const QString c2 = parts.value(2).trimmed();
    QString c3 = parts.value(3).trimmed();
    QString failed = CellText::joinRow(name, QString(), QString(), QString());

    *error = false;
    if (CellText::coordinatesBlank(c1, c2, c3))
        return failed;

    // A blank height reads as 0 and stays blank in the result; a geocentric
    // side needs its Z.
    bool heightDefaulted = false;
    if (c3.isEmpty() && source.systemType != geocentricType
        && target.systemType != geocentricType) {
        c3 = QStringLiteral("0");
        heightDefaulted = true;
    }

    *error = true;
    if (!ready || !CellText::isValidCoordinates(c1, c2, c3, source.dmsUnits))
        return failed;

    double in[3];
    if (source.systemType == geodeticType) {
        in[0] = CellText::parseAngle(c1);
        in[1] = CellText::parseAngle(c2);
    } else if (!CellText::parseNumber(c1, &in[0]) || !CellText::parseNumber(c2, &in[1])) {
        return failed;
    }
    if (!CellText::parseNumber(c3, &in[2]))
        return failed;

    double out[3];
    if (!(autoZone ? convertAutoZone(in, out) : convertFixed(in, out)))
        return failed;
    *error = false;
    return formatRow(name, out, heightDefaulted);
}

Result Calculator::run(const QStringList &rows) const
{
    Result result;
    result.rows.reserve(rows.size());
    for (const QString &row : rows) {
        bool error = false;
        result.rows.append(convertRow(row, &error));
        result.errors = result.errors || error;
    }
    return result;
}

} // namespace Calculation
