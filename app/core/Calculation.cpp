#include "Calculation.h"

#include "AngleText.h"
#include "CellText.h"
#include "Plural.h"

#include <QChar>
#include <QStringList>

#include <cmath>

namespace Calculation {

namespace {

const double maxMeridianOffset = 6.0;
// Nothing a surveyor measures lies farther, and nothing farther prints in a sane width.
const double maxDistance = 1e7;

// The height, or every geocentric coordinate, within 10 000 km.
bool withinReach(SystemKind kind, const double point[3])
{
    const int first = kind == SystemKind::Geocentric ? 0 : 2;
    for (int i = first; i < 3; ++i) {
        if (!(std::fabs(point[i]) <= maxDistance))
            return false;
    }
    return true;
}

// The kind of the plane system the side's points are in, a local system's base.
SystemKind planeKind(const Side &side)
{
    return side.kind == SystemKind::Local ? side.baseKind : side.kind;
}

bool isPlane(const Side &side)
{
    const SystemKind kind = planeKind(side);
    return kind == SystemKind::GaussKruger || kind == SystemKind::Utm
        || kind == SystemKind::TransverseMercator;
}

// A local point (X northing, Y easting, H) into its base's order, and back;
// the keys are the library's, with their exact inverse.
bool toBase(const Side &side, double point[3])
{
    if (!plane_keys_inverse(point, &side.keys, point))
        return false;
    if (side.baseKind == SystemKind::Utm)
        std::swap(point[0], point[1]);
    return true;
}

bool fromBase(const Side &side, double point[3])
{
    if (side.baseKind == SystemKind::Utm)
        std::swap(point[0], point[1]);
    return plane_keys_forward(point, &side.keys, point);
}

// The zone whose number leads the easting of a Gauss-Krüger record; 0 when
// the zone is automatic or the record has no such number (UTM).
int zoneNumber(const refsystem &rs)
{
    if (rs.type == KV_TYPE_GK_ZONE)
        return rs.zone >= 1 && rs.zone <= 60 ? rs.zone : 0;
    if (rs.type == KV_TYPE_PROJECTED && rs.projection.scale_factor > 0
        && rs.axis_order == KV_AXES_NORTHING_EASTING)
        return int(zonePrefix(rs.projection.false_easting));
    return 0;
}

bool hasZonePrefix(const Side &side)
{
    return planeKind(side) == SystemKind::GaussKruger;
}

int fixedZone(const Side &side)
{
    return planeKind(side) == SystemKind::GaussKruger ? zoneNumber(side.system) : 0;
}

// Points of `from` into geodetic coordinates on `datum`.
bool ontoGeodetic(const refsystem &from, int datum, transform *t)
{
    refsystem geodetic;
    return setup_geod(datum, &geodetic) && initialize_transform(&from, &geodetic, t);
}

// Where a point of `from` lies on `datum`: its latitude and longitude.
bool whereOn(const refsystem &from, int datum, const double point[3], double latLon[3])
{
    transform t;
    return ontoGeodetic(from, datum, &t) && transform_coords(point, &t, latLon);
}

// A plane system into geodetic coordinates on its own datum.
bool toGeodetic(const refsystem &plane, transform *t)
{
    return ontoGeodetic(plane, plane.datum, t);
}

// A national zone whose zone or hemisphere the library takes from each point.
bool automaticZone(const refsystem &system)
{
    return system.type == KV_TYPE_GK_ZONE
        && (system.zone == 0 || system.hemisphere == KV_HEMISPHERE_AUTO);
}

// Where a target point lies, for the check of its zone: read back from the
// plane point, or, when the target's zone or hemisphere is automatic (a
// northing then reads both ways), taken from the source point onto the
// target's datum. *fromSource tells which point the transform takes.
bool targetToGeodetic(
    const refsystem &source, const refsystem &target, transform *t, bool *fromSource)
{
    *fromSource = automaticZone(target);
    return *fromSource ? ontoGeodetic(source, target.datum, t) : toGeodetic(target, t);
}

// Whether a plane point (northing, easting of a Gauss-Krüger system; easting,
// northing of UTM) lies within 6 degrees of longitude of its zone's central
// meridian, and a Gauss-Krüger easting carries its zone's number (past 500 km
// from the meridian it would not, and would not read back). A national zone
// left automatic takes its zone from the easting. `from` is the point
// `toGeodetic` takes: the plane point itself, or the source point (see
// targetToGeodetic). *zone: the zone checked. An output point is judged as
// written, to the millimetre. A Transverse Mercator of other parameters has
// no zone number in its easting (`prefix` false).
Failure checkZone(const refsystem &rs, const transform &toGeodetic, const double from[3],
    const double plane[3], int *zone, bool output, bool prefix)
{
    double geodetic[3];
    if (!transform_coords(from, &toGeodetic, geodetic))
        return Failure::NotConverted;
    double meridian;
    if (rs.type == KV_TYPE_PROJECTED)
        meridian = rs.projection.central_meridian * (180.0 / M_PI);
    else
        meridian = 6.0 * (rs.zone >= 1 ? rs.zone : zonePrefix(plane[1])) - 3.0;
    if (!(std::fabs(std::remainder(geodetic[1] - meridian, 360.0)) <= maxMeridianOffset))
        return Failure::FarFromMeridian;
    *zone = prefix ? zoneNumber(rs) : 0;
    const double easting = output ? std::round(plane[1] * 1000.0) / 1000.0 : plane[1];
    return *zone == 0 || zonePrefix(easting) == *zone ? Failure::None : Failure::ZonePrefix;
}

// Heights above the geoid on a Gauss-Krüger side (type 4) whose zone or
// hemisphere is automatic. The geoid step converts the point back through the
// zone: an automatic hemisphere cannot be read back (a northing reads both
// ways) and an automatic zone may be another than the one the point is in. So
// the step uses the record completed for the row's point, as the automatic
// GSK 2011 zone does: the zone of the easting's prefix and, on the target
// side, the hemisphere of the point's latitude on that side's datum (the
// conversion chose it so). Returns why the row fails, if it does.
Failure convertWithRowZones(const refsystem &source, const refsystem &target, const transform &t,
    const ::geoid *geoid, const geoid_transform *sourceGeoid, const geoid_transform *targetGeoid,
    const double in[3], double out[3])
{
    const auto completed = [](refsystem system, double easting, const double *latitude) {
        const double prefix = zonePrefix(easting);
        if (system.zone == 0 && prefix >= 1.0 && prefix <= 60.0)
            system.zone = static_cast<int>(prefix);
        if (system.hemisphere == KV_HEMISPHERE_AUTO && latitude)
            system.hemisphere = *latitude < 0.0 ? KV_HEMISPHERE_SOUTH : KV_HEMISPHERE_NORTH;
        return system;
    };
    geoid_transform row;
    double point[3] = {in[0], in[1], in[2]};
    if (sourceGeoid && automaticZone(source)) {
        const refsystem system = completed(source, in[1], nullptr);
        if (!initialize_geoid_transform(&system, geoid, &row))
            return Failure::Geoid;
        sourceGeoid = &row;
    }
    if (sourceGeoid && !transform_from_geoid(point, sourceGeoid))
        return Failure::Geoid;
    if (!transform_coords(point, &t, out))
        return Failure::NotConverted;
    if (targetGeoid && automaticZone(target)) {
        double latLon[3];
        if (!whereOn(source, target.datum, point, latLon))
            return Failure::NotConverted;
        const refsystem system = completed(target, out[1], &latLon[0]);
        if (!initialize_geoid_transform(&system, geoid, &row))
            return Failure::Geoid;
        targetGeoid = &row;
    }
    return !targetGeoid || transform_to_geoid(out, targetGeoid) ? Failure::None : Failure::Geoid;
}

} // namespace

double zonePrefix(double easting)
{
    return std::floor(easting * 1e-6);
}

QString reasonText(Failure failure, int zone)
{
    switch (failure) {
    case Failure::None:
        break;
    case Failure::Invalid:
        return QStringLiteral("неверная запись координат");
    case Failure::MinutesSeconds:
        return QStringLiteral("минуты или секунды не меньше 60");
    case Failure::Latitude:
        return QStringLiteral("широта больше 90°");
    case Failure::ZonePrefix:
        return QStringLiteral("номер зоны в ординате не совпадает с зоной %1").arg(zone);
    case Failure::FarFromMeridian:
        return QStringLiteral("точка дальше 6° от осевого меридиана зоны");
    case Failure::Geoid:
        return QStringLiteral("нет значения высоты геоида в этой точке");
    case Failure::TooFar:
        return QStringLiteral("высота или координата дальше 10 000 км");
    case Failure::HeightNeeded:
        return QStringLiteral("нет высоты, а геоцентрическим координатам она нужна");
    case Failure::ExtraFields:
        return QStringLiteral("больше четырёх полей: возможно, десятичная запятая разделила "
                              "число; разделяйте поля «;» или пишите дробную часть через «.»");
    case Failure::NoCoordinates:
        return QStringLiteral("нет координат; поля разделяются «;», «,» или табуляцией");
    case Failure::NotConverted:
        return QStringLiteral("точка не пересчитывается");
    }
    return QString();
}

Failure readPoint(const Side &side, const QString &c1, const QString &c2, const QString &c3,
    double point[3], int *zone)
{
    if (!CellText::isValidCoordinates(c1, c2, c3, side.dmsUnits))
        return Failure::Invalid;
    if (side.kind == SystemKind::Geodetic) {
        bool inRange1 = true;
        bool inRange2 = true;
        point[0] = AngleText::parse(c1, &inRange1);
        point[1] = AngleText::parse(c2, &inRange2);
        if (!inRange1 || !inRange2)
            return Failure::MinutesSeconds;
        if (!(std::fabs(point[0]) <= 90.0))
            return Failure::Latitude;
    } else if (!CellText::parseNumber(c1, &point[0]) || !CellText::parseNumber(c2, &point[1])) {
        return Failure::Invalid;
    }
    if (!CellText::parseNumber(c3, &point[2]))
        return Failure::Invalid;
    if (!withinReach(side.kind, point))
        return Failure::TooFar;
    if (side.kind == SystemKind::Local && !toBase(side, point))
        return Failure::NotConverted;
    const int fixed = fixedZone(side);
    if (fixed != 0 && zonePrefix(point[1]) != fixed) {
        if (zone)
            *zone = fixed;
        return Failure::ZonePrefix;
    }
    return Failure::None;
}

Reading read(const Side &side, const PointRow &row)
{
    Reading reading;
    const QString c1 = row.coordinates[0].trimmed();
    const QString c2 = row.coordinates[1].trimmed();
    QString c3 = row.coordinates[2].trimmed();
    if (c1.isEmpty() && c2.isEmpty() && c3.isEmpty()) {
        reading.blank = true;
        return reading;
    }
    if (c3.isEmpty() && side.kind != SystemKind::Geocentric) {
        c3 = QStringLiteral("0");
        reading.heightDefaulted = true;
    }
    reading.failure = readPoint(side, c1, c2, c3, reading.point, &reading.zone);
    return reading;
}

void Tally::count(const PointRow &given, const PointRow &result, qint64 number)
{
    switch (result.outcome) {
    case PointRow::Outcome::Failed:
        if (failedRows.size() < listed)
            failedRows.append(number);
        ++failed;
        ++points;
        break;
    case PointRow::Outcome::Converted:
        ++points;
        break;
    default:
        if (given.lacksCoordinates()) {
            if (noCoordinateRows.size() < listed)
                noCoordinateRows.append(number);
            ++noCoordinates;
        }
        break;
    }
}

void Tally::add(const Tally &later)
{
    points += later.points;
    failed += later.failed;
    noCoordinates += later.noCoordinates;
    const auto append = [](QVector<qint64> *rows, const QVector<qint64> &more) {
        for (int i = 0; i < more.size() && rows->size() < listed; ++i)
            rows->append(more.at(i));
    };
    append(&failedRows, later.failedRows);
    append(&noCoordinateRows, later.noCoordinateRows);
}

QString Tally::summary(Form form) const
{
    const bool status = form == Form::Status;
    QString text
        = (status ? QStringLiteral("Пересчитано %1 из %2") : QStringLiteral("пересчитано %1 из %2"))
              .arg(points - failed)
              .arg(Plural::count(points, "точки", "точек", "точек"));
    const auto part = [&text, status](const char *what, qint64 n, const QVector<qint64> &rows) {
        if (n == 0)
            return;
        text += QStringLiteral(", %1: %2").arg(QString::fromUtf8(what)).arg(n);
        if (status)
            text += QStringLiteral(" (%1)").arg(Plural::rows(rows, n));
    };
    part("ошибок", failed, failedRows);
    part("без координат", noCoordinates, noCoordinateRows);
    return text;
}

bool usesGeoid(const Side &side)
{
    return side.geoidHeights && side.kind != SystemKind::Geocentric;
}

Calculator::Calculator(const Side &source, const Side &target, const ::geoid *geoid)
    : source(source)
    , target(target)
    , geoid(geoid)
    , sourceGeoid(usesGeoid(source))
    , targetGeoid(usesGeoid(target))
{
    // A panel accepts an incomplete record only for a GSK 2011 zone left automatic.
    rule = check_refsystem(&source.system) && check_refsystem(&target.system) ? ZoneRule::Fixed
                                                                              : ZoneRule::PerPoint;
    const bool ready = rule == ZoneRule::Fixed ? setUpFixed() : setUpPerPoint();
    if (ready)
        failure = SetUpFailure::None;
}

bool Calculator::setUpFixed()
{
    failure = SetUpFailure::Transform;
    if (!initialize_transform(&source.system, &target.system, &fixedTransform))
        return false;
    if (isPlane(source) && !toGeodetic(source.system, &sourcePlane))
        return false;
    if (isPlane(target)
        && !targetToGeodetic(source.system, target.system, &targetPlane, &targetPlaneFromSource))
        return false;
    failure = SetUpFailure::GeoidStep;
    if ((sourceGeoid || targetGeoid) && !check_geoid(geoid))
        return false;
    if (sourceGeoid && !initialize_geoid_transform(&source.system, geoid, &sourceGeoidTransform))
        return false;
    return !targetGeoid || initialize_geoid_transform(&target.system, geoid, &targetGeoidTransform);
}

bool Calculator::setUpPerPoint()
{
    // Transforms are made per row, once the zone is chosen from the point.
    failure = SetUpFailure::Geoid;
    return !(sourceGeoid || targetGeoid) || check_geoid(geoid);
}

Failure Calculator::throughTransform(const double in[3], const transform &t,
    const geoid_transform *sourceGeoid, const geoid_transform *targetGeoid, double out[3])
{
    double point[3] = {in[0], in[1], in[2]};
    if (sourceGeoid && !transform_from_geoid(point, sourceGeoid))
        return Failure::Geoid;
    if (!transform_coords(point, &t, out))
        return Failure::NotConverted;
    return !targetGeoid || transform_to_geoid(out, targetGeoid) ? Failure::None : Failure::Geoid;
}

Failure Calculator::convertFixed(const double in[3], double out[3], int *zone) const
{
    const geoid_transform *from = sourceGeoid ? &sourceGeoidTransform : nullptr;
    const geoid_transform *to = targetGeoid ? &targetGeoidTransform : nullptr;
    Failure failure = Failure::None;
    if (isPlane(source))
        failure = checkZone(source.system, sourcePlane, in, in, zone, false, hasZonePrefix(source));
    if (failure == Failure::None) {
        if ((from && automaticZone(source.system)) || (to && automaticZone(target.system)))
            failure = convertWithRowZones(
                source.system, target.system, fixedTransform, geoid, from, to, in, out);
        else
            failure = throughTransform(in, fixedTransform, from, to, out);
    }
    if (failure == Failure::None && isPlane(target))
        failure = checkZone(target.system, targetPlane, targetPlaneFromSource ? in : out, out, zone,
            true, hasZonePrefix(target));
    return failure;
}

Failure Calculator::convertPerPoint(const double in[3], double out[3], int *zone) const
{
    // The source zone is read from the easting's prefix, with the hemisphere
    // the panel names.
    refsystem from = source.system;
    if (!check_refsystem(&from))
        initialize_gk6_from_xy(in, &from);
    if (!check_refsystem(&from))
        return Failure::NotConverted;

    // The target zone (and hemisphere, where automatic) comes from where the
    // point lies on the target's datum. The height does not matter here, so
    // the point goes without its geoid correction.
    refsystem to = target.system;
    if (!check_refsystem(&to)) {
        double latLon[3];
        if (whereOn(from, to.datum, in, latLon))
            initialize_gk6_from_latlon(latLon, &to);
    }
    // A zone that could not be chosen would give a meaningless point.
    if (!check_refsystem(&to))
        return Failure::NotConverted;

    // Each side's distance from its meridian, with this row's zones.
    transform fromPlane;
    transform toPlane;
    bool toPlaneFromSource = false;
    if ((isPlane(source) && !toGeodetic(from, &fromPlane))
        || (isPlane(target) && !targetToGeodetic(from, to, &toPlane, &toPlaneFromSource)))
        return Failure::NotConverted;
    if (isPlane(source)) {
        const Failure failure
            = checkZone(from, fromPlane, in, in, zone, false, hasZonePrefix(source));
        if (failure != Failure::None)
            return failure;
    }

    transform t;
    if (!initialize_transform(&from, &to, &t))
        return Failure::NotConverted;
    geoid_transform fromGeoid;
    geoid_transform toGeoid;
    if (sourceGeoid && !initialize_geoid_transform(&from, geoid, &fromGeoid))
        return Failure::Geoid;
    if (targetGeoid && !initialize_geoid_transform(&to, geoid, &toGeoid))
        return Failure::Geoid;
    const Failure failure = convertWithRowZones(from, to, t, geoid,
        sourceGeoid ? &fromGeoid : nullptr, targetGeoid ? &toGeoid : nullptr, in, out);
    if (failure != Failure::None || !isPlane(target))
        return failure;
    return checkZone(
        to, toPlane, toPlaneFromSource ? in : out, out, zone, true, hasZonePrefix(target));
}

void Calculator::format(const double point[3], bool heightDefaulted, PointRow *row) const
{
    double second = point[1];
    if (target.kind == SystemKind::Geodetic) {
        // The range asked for, whatever the input's: within one datum the
        // library keeps a longitude as it was given (540 stays 540).
        second = std::remainder(second, 360.0);
        if (target.unsignedLongitude)
            second = normalize_positive_longitude_deg(second);
        // What would be written as 360 in 0 to 360 is 0.
        const double written = std::round(second * 1e9) / 1e9;
        if (target.unsignedLongitude && written >= 360.0)
            second = 0.0;
    }

    if (target.decimalDegrees) {
        row->coordinates[0] = CellText::formatFixed(point[0], 9);
        row->coordinates[1] = CellText::formatFixed(second, 9);
    } else if (target.dmsUnits) {
        row->coordinates[0] = AngleText::formatDms(point[0]);
        row->coordinates[1] = AngleText::formatDms(second);
    } else {
        row->coordinates[0] = CellText::formatFixed(point[0], 3);
        row->coordinates[1] = CellText::formatFixed(second, 3);
    }
    if (!heightDefaulted)
        row->coordinates[2] = CellText::formatFixed(point[2], 3);
}

Failure Calculator::convertPoint(const double in[3], double out[3], int *zone) const
{
    int checkedZone = 0;
    if (!zone)
        zone = &checkedZone;
    if (this->failure != SetUpFailure::None)
        return Failure::NotConverted;
    Failure failure
        = rule == ZoneRule::Fixed ? convertFixed(in, out, zone) : convertPerPoint(in, out, zone);
    // A latitude past a pole is no point either (a plane point far out).
    if (failure == Failure::None && target.kind == SystemKind::Geodetic
        && !(std::fabs(out[0]) <= 90.0))
        failure = Failure::NotConverted;
    if (failure == Failure::None && target.kind == SystemKind::Local && !fromBase(target, out))
        failure = Failure::NotConverted;
    if (failure == Failure::None && !withinReach(target.kind, out))
        failure = Failure::TooFar;
    return failure;
}

PointRow Calculator::convert(const PointRow &row) const
{
    PointRow result;
    result.name = row.name.trimmed();
    const Reading reading = read(source, row);
    if (reading.blank) {
        result.outcome = PointRow::Outcome::NoPoint;
        return result;
    }
    int zone = reading.zone;
    Failure failure = this->failure == SetUpFailure::None ? reading.failure : Failure::NotConverted;
    // A geocentric Z depends on the height: 0 in its place would be a wrong point.
    if (failure == Failure::None && reading.heightDefaulted
        && target.kind == SystemKind::Geocentric)
        failure = Failure::HeightNeeded;
    double out[3];
    if (failure == Failure::None)
        failure = convertPoint(reading.point, out, &zone);
    if (failure != Failure::None) {
        result.outcome = PointRow::Outcome::Failed;
        result.reason = reasonText(failure, zone);
        return result;
    }
    result.outcome = PointRow::Outcome::Converted;
    // A blank height stays blank in the result.
    format(out, reading.heightDefaulted, &result);
    return result;
}

Result Calculator::run(const PointRows &rows) const
{
    Result result;
    result.rows.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        result.rows.append(convert(rows.at(i)));
        result.tally.count(rows.at(i), result.rows.last(), i + 1);
    }
    return result;
}

} // namespace Calculation
