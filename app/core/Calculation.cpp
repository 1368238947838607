#include "Calculation.h"

#include "AngleText.h"
#include "CellText.h"
#include "Plural.h"

#include <QChar>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Calculation {

namespace {

const double maxMeridianOffset = 6.0;
// Gauss-Krüger zones are 6 degrees wide, the first east of 0°.
const double zoneWidth = 6.0;
// Nothing a surveyor measures lies farther, and nothing farther prints in a sane width.
const double maxDistance = 1e7;

// The height, or every geocentric coordinate, within 10 000 km.
bool withinReach(SystemKind kind, const double point[3])
{
    const bool height = std::fabs(point[2]) <= maxDistance;
    const bool plane = std::fabs(point[0]) <= maxDistance && std::fabs(point[1]) <= maxDistance;
    return height & (kind != SystemKind::Geocentric || plane);
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
        return isZone(rs.zone) ? rs.zone : 0;
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

// checkPoint's rules for the points of one side, the side's kind decided once:
// a block of points then runs through them with no branch on it.
struct PointRules
{
    explicit PointRules(const Side &side)
        : side(side)
        , kind(side.kind)
        , latitude(side.kind == SystemKind::Geodetic)
        , local(side.kind == SystemKind::Local)
        , fixed(fixedZone(side))
    {
    }

    Failure check(double point[3], int *zone) const
    {
        // No text reads as these; numbers handed in may be them.
        const bool finite
            = std::isfinite(point[0]) & std::isfinite(point[1]) & std::isfinite(point[2]);
        const bool pastPole = latitude & !(std::fabs(point[0]) <= 90.0);
        const Failure failure = !finite ? Failure::Invalid
            : pastPole                  ? Failure::Latitude
            : !withinReach(kind, point) ? Failure::TooFar
                                        : Failure::None;
        if (failure != Failure::None)
            return failure;
        if (local && !toBase(side, point))
            return Failure::NotConverted;
        if (fixed != 0 && zonePrefix(point[1]) != fixed) {
            if (zone)
                *zone = fixed;
            return Failure::ZonePrefix;
        }
        return Failure::None;
    }

    const Side &side;
    const SystemKind kind;
    const bool latitude; // a geodetic side: the first number is a latitude
    const bool local;
    const int fixed; // the zone its eastings carry, or 0
};

// The one way a side's point reaches geodetic coordinates: `t` takes points
// of `from` onto `datum`, and `where` gives a point's latitude and longitude
// through it (for the check of a zone, and the choice of a zone or
// hemisphere for a row).
bool ontoGeodetic(const refsystem &from, int datum, transform *t)
{
    refsystem geodetic;
    return setup_geod(datum, &geodetic) && initialize_transform(&from, &geodetic, t);
}

bool where(const transform &t, const double point[3], double latLon[3])
{
    return transform_coords(point, &t, latLon);
}

// Degrees into [-180, 180], exactly (the remainder by 360). Within half a
// turn that is the angle itself, and the library call is skipped for speed.
double withinHalfTurn(double degrees)
{
    return std::fabs(degrees) <= 180.0 ? degrees : std::remainder(degrees, 360.0);
}

// Calculator::finish's rules for one target, its kind decided once: a block
// of converted points then runs through them with no branch on it.
struct FinishRules
{
    explicit FinishRules(const Side &target)
        : target(target)
        , kind(target.kind)
        , geodetic(target.kind == SystemKind::Geodetic)
        , local(target.kind == SystemKind::Local)
        , unsignedLongitude(target.unsignedLongitude)
    {
    }

    Failure finish(Failure failure, double out[3]) const
    {
        if (failure != Failure::None)
            return failure;
        // A latitude past a pole is no point either (a plane point far out).
        if (geodetic & !(std::fabs(out[0]) <= 90.0))
            return Failure::NotConverted;
        if (local && !fromBase(target, out))
            return Failure::NotConverted;
        if (!withinReach(kind, out))
            return Failure::TooFar;
        if (!geodetic)
            return Failure::None;
        // The range asked for, whatever the input's: within one datum the
        // library keeps a longitude as it was given (540 stays 540).
        out[1] = withinHalfTurn(out[1]);
        if (unsignedLongitude) {
            out[1] = normalize_positive_longitude_deg(out[1]);
            // What would be written as 360 in 0 to 360 is 0.
            if (std::round(out[1] * 1e9) / 1e9 >= 360.0)
                out[1] = 0.0;
        }
        return Failure::None;
    }

    const Side &target;
    const SystemKind kind;
    const bool geodetic;
    const bool local;
    const bool unsignedLongitude;
};

// A national zone whose zone or hemisphere the library takes from each point.
bool automaticZone(const refsystem &system)
{
    return system.type == KV_TYPE_GK_ZONE
        && (system.zone == 0 || system.hemisphere == KV_HEMISPHERE_AUTO);
}

// A side's record completed for one row: what it leaves automatic taken from
// the row's point. `plane` is the point in this system (the zone of its
// easting's prefix), `latLon` where it lies on the system's datum (the zone of
// its longitude, the hemisphere of its latitude); either may be null. A
// national zone stays the library's record, which converts with the zone it
// finds itself, and is named only for the geoid step; a GSK 2011 zone becomes
// a complete projection. What cannot be chosen stays open, and
// check_refsystem or the geoid step refuses the record.
refsystem forRow(const refsystem &system, const double plane[3], const double latLon[3])
{
    refsystem rs = system;
    if (rs.type == KV_TYPE_GK_ZONE) {
        const double prefix = plane ? zonePrefix(plane[1]) : 0.0;
        if (rs.zone == 0 && isZone(prefix))
            rs.zone = static_cast<int>(prefix);
        if (rs.hemisphere == KV_HEMISPHERE_AUTO && latLon)
            rs.hemisphere = latLon[0] < 0.0 ? KV_HEMISPHERE_SOUTH : KV_HEMISPHERE_NORTH;
    } else if (!check_refsystem(&rs)) {
        if (plane)
            initialize_gk6_from_xy(plane, &rs);
        else if (latLon)
            initialize_gk6_from_latlon(latLon, &rs);
    }
    return rs;
}

// Where a target point lies, for the check of its zone: read back from the
// plane point, or, when the target's zone or hemisphere is automatic (a
// northing then reads both ways), taken from the source point onto the
// target's datum. *fromSource tells which point the transform takes.
bool targetToGeodetic(
    const refsystem &source, const refsystem &target, transform *t, bool *fromSource)
{
    *fromSource = automaticZone(target);
    return ontoGeodetic(*fromSource ? source : target, target.datum, t);
}

} // namespace

namespace {

// Whether a point converted through `toGeodetic` from `from` lies within 6
// degrees of longitude of the central meridian of `rs` (see checkZone).
Failure meridianCheck(
    const refsystem &rs, const transform &toGeodetic, const double from[3], const double plane[3])
{
    double geodetic[3];
    if (!where(toGeodetic, from, geodetic))
        return Failure::NotConverted;
    double meridian;
    if (rs.type == KV_TYPE_PROJECTED)
        meridian = rs.projection.central_meridian * (180.0 / M_PI);
    else
        meridian = zoneWidth * (rs.zone >= 1 ? rs.zone : zonePrefix(plane[1])) - zoneWidth / 2;
    return std::fabs(withinHalfTurn(geodetic[1] - meridian)) <= maxMeridianOffset
        ? Failure::None
        : Failure::FarFromMeridian;
}

// The zone checks of one record's points, what depends on the record decided
// once: a block of points then runs through them without deciding it again.
struct ZoneRules
{
    // `prefix`: the record's eastings carry its zone's number.
    ZoneRules(const refsystem &rs, bool prefix)
        : rs(rs)
        , hemisphereSet(rs.type == KV_TYPE_GK_ZONE
              && (rs.hemisphere == KV_HEMISPHERE_NORTH || rs.hemisphere == KV_HEMISPHERE_SOUTH))
        , south(rs.hemisphere == KV_HEMISPHERE_SOUTH)
        , zone(rs.zone)
        , number(prefix ? zoneNumber(rs) : 0)
    {
    }

    // See wellWithinZone.
    bool wellWithin(const double plane[3]) const
    {
        if (!hemisphereSet)
            return false;
        const double prefix = zonePrefix(plane[1]);
        const double of = zone >= 1 ? zone : prefix;
        const double north = south ? plane[0] - 1e7 : plane[0];
        const double east = plane[1] - (of * 1e6 + 5e5);
        return isZone(of) & isZone(prefix) & (std::fabs(north) <= wellWithinNorthing)
            & (std::fabs(east) <= wellWithinEasting);
    }

    // See checkZone.
    Failure check(const transform &toGeodetic, const double from[3], const double plane[3],
        int *checked, bool output) const
    {
        if (from != plane || !wellWithin(plane)) {
            const Failure failure = meridianCheck(rs, toGeodetic, from, plane);
            if (failure != Failure::None)
                return failure;
        }
        *checked = number;
        const double easting = output ? std::round(plane[1] * 1000.0) / 1000.0 : plane[1];
        return number == 0 || zonePrefix(easting) == number ? Failure::None : Failure::ZonePrefix;
    }

    const refsystem &rs;
    const bool hemisphereSet; // a national zone's record with its hemisphere
    const bool south;
    const int zone;   // the record's, below 1 when automatic
    const int number; // the number its eastings carry, or 0
};

} // namespace

// See Calculation.h.
bool wellWithinZone(const refsystem &rs, const double plane[3])
{
    return ZoneRules(rs, false).wellWithin(plane);
}

namespace {

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
    return ZoneRules(rs, prefix).check(toGeodetic, from, plane, zone, output);
}

} // namespace

// What a row goes through, the same for one transform of every row and for
// transforms made for the row: the two records, the transform between them,
// each plane side's way to geodetic coordinates (see targetToGeodetic) and
// its geoid step (null: none on that side).
struct Calculator::Route
{
    const refsystem *source;
    const refsystem *target;
    const transform *between;
    const transform *sourcePlane;
    const transform *targetPlane;
    bool targetPlaneFromSource;
    const geoid_transform *sourceGeoid;
    const geoid_transform *targetGeoid;
    // Why the row's transforms could not be made: told after the source
    // point's own check, which judges the point first.
    Failure unready;
};

Failure Calculator::along(const Route &r, const double in[3], double out[3], int *zone) const
{
    if (isPlane(source)) {
        const Failure failure
            = checkZone(*r.source, *r.sourcePlane, in, in, zone, false, hasZonePrefix(source));
        if (failure != Failure::None)
            return failure;
    }
    if (r.unready != Failure::None)
        return r.unready;
    const Failure failure = throughTransform(r, in, out);
    if (failure != Failure::None || !isPlane(target))
        return failure;
    return checkZone(*r.target, *r.targetPlane, r.targetPlaneFromSource ? in : out, out, zone, true,
        hasZonePrefix(target));
}

// The point through the transform and the geoid steps. A national zone left
// automatic on a side with heights above the geoid has its geoid step made
// for the row (forRow): the step converts the point back through the zone,
// and an automatic hemisphere cannot be read back (a northing reads both
// ways) nor an automatic zone be another than the point's. The target's
// hemisphere is that of the point's latitude on the target's datum, as the
// conversion chose it.
Failure Calculator::throughTransform(const Route &r, const double in[3], double out[3]) const
{
    const geoid_transform *sourceStep = r.sourceGeoid;
    const geoid_transform *targetStep = r.targetGeoid;
    geoid_transform row;
    double point[3] = {in[0], in[1], in[2]};
    if (sourceStep && automaticZone(*r.source)) {
        const refsystem system = forRow(*r.source, in, nullptr);
        if (!initialize_geoid_transform(&system, geoid, &row))
            return Failure::Geoid;
        sourceStep = &row;
    }
    if (sourceStep && !transform_from_geoid(point, sourceStep))
        return Failure::Geoid;
    if (!transform_coords(point, r.between, out))
        return Failure::NotConverted;
    if (targetStep && automaticZone(*r.target)) {
        // An automatic target's plane transform takes the source point.
        double latLon[3];
        if (!r.targetPlaneFromSource || !where(*r.targetPlane, point, latLon))
            return Failure::NotConverted;
        const refsystem system = forRow(*r.target, out, latLon);
        if (!initialize_geoid_transform(&system, geoid, &row))
            return Failure::Geoid;
        targetStep = &row;
    }
    return !targetStep || transform_to_geoid(out, targetStep) ? Failure::None : Failure::Geoid;
}

double zonePrefix(double easting)
{
    // floor without its library call (SSE2 has no rounding instruction): every
    // point of a zone system meets this two or three times. Exact below 2^52.
    const double x = easting * 1e-6;
    if (!(std::fabs(x) < 4503599627370496.0))
        return std::floor(x);
    const double whole = double(int64_t(x));
    return whole > x ? whole - 1.0 : whole;
}

void checkPoints(const Side &side, double *points, size_t n, Failure *failures, int *zones)
{
    const PointRules rules(side);
    for (size_t i = 0; i < n; ++i)
        failures[i] = rules.check(points + 3 * i, zones ? zones + i : nullptr);
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
    return readPoint(side, CellText::Utf8(c1).view(), CellText::Utf8(c2).view(),
        CellText::Utf8(c3).view(), point, zone);
}

Failure readPoint(const Side &side, std::string_view c1, std::string_view c2, std::string_view c3,
    double point[3], int *zone)
{
    if (side.kind != SystemKind::Geodetic && !side.dmsUnits) {
        // Three plain numbers, each checked and read in one go.
        if (!CellText::readDecimal(c1, &point[0]) || !CellText::readDecimal(c2, &point[1])
            || !CellText::readDecimal(c3, &point[2]))
            return Failure::Invalid;
        return checkPoint(side, point, zone);
    }
    if (!CellText::isValidCoordinates(c1, c2, c3, side.dmsUnits))
        return Failure::Invalid;
    if (side.kind == SystemKind::Geodetic) {
        bool inRange1 = true;
        bool inRange2 = true;
        point[0] = AngleText::parse(c1, &inRange1);
        point[1] = AngleText::parse(c2, &inRange2);
        if (!inRange1 || !inRange2)
            return Failure::MinutesSeconds;
    } else if (!CellText::parseNumber(c1, &point[0]) || !CellText::parseNumber(c2, &point[1])) {
        return Failure::Invalid;
    }
    if (!CellText::parseNumber(c3, &point[2]))
        return Failure::Invalid;
    return checkPoint(side, point, zone);
}

Failure checkPoint(const Side &side, double point[3], int *zone)
{
    return PointRules(side).check(point, zone);
}

Reading read(const Side &side, const PointRow &row)
{
    return read(side, CellText::Utf8(row.coordinates[0]).view(),
        CellText::Utf8(row.coordinates[1]).view(), CellText::Utf8(row.coordinates[2]).view());
}

Reading read(const Side &side, std::string_view c1, std::string_view c2, std::string_view c3)
{
    Reading reading;
    c1 = CellText::trimmed(c1);
    c2 = CellText::trimmed(c2);
    c3 = CellText::trimmed(c3);
    if (c1.empty() && c2.empty() && c3.empty()) {
        reading.blank = true;
        return reading;
    }
    if (c3.empty() && side.kind != SystemKind::Geocentric) {
        c3 = "0";
        reading.heightDefaulted = true;
    }
    reading.failure = readPoint(side, c1, c2, c3, reading.point, &reading.zone);
    return reading;
}

void Tally::count(const PointRow &given, const PointRow &result, qint64 number)
{
    count(result.outcome, given.lacksCoordinates(), number);
}

void Tally::count(PointRow::Outcome result, bool lacksCoordinates, qint64 number)
{
    switch (result) {
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
        if (lacksCoordinates) {
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
    if (isPlane(source) && !ontoGeodetic(source.system, source.system.datum, &sourcePlane))
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

Failure Calculator::convertFixed(const double in[3], double out[3], int *zone) const
{
    const Route route {&source.system, &target.system, &fixedTransform, &sourcePlane, &targetPlane,
        targetPlaneFromSource, sourceGeoid ? &sourceGeoidTransform : nullptr,
        targetGeoid ? &targetGeoidTransform : nullptr, Failure::None};
    return along(route, in, out, zone);
}

Failure Calculator::convertPerPoint(const double in[3], double out[3], int *zone) const
{
    // The source zone is read from the easting's prefix, with the hemisphere
    // the panel names.
    refsystem from = source.system;
    if (!check_refsystem(&from))
        from = forRow(from, in, nullptr);
    if (!check_refsystem(&from))
        return Failure::NotConverted;

    // The target zone (and hemisphere, where automatic) comes from where the
    // point lies on the target's datum. The height does not matter here, so
    // the point goes without its geoid correction.
    refsystem to = target.system;
    if (!check_refsystem(&to)) {
        transform onto;
        double latLon[3];
        if (ontoGeodetic(from, to.datum, &onto) && where(onto, in, latLon))
            to = forRow(to, nullptr, latLon);
    }
    // A zone that could not be chosen would give a meaningless point.
    if (!check_refsystem(&to))
        return Failure::NotConverted;

    transform fromPlane;
    transform toPlane;
    bool toPlaneFromSource = false;
    if ((isPlane(source) && !ontoGeodetic(from, from.datum, &fromPlane))
        || (isPlane(target) && !targetToGeodetic(from, to, &toPlane, &toPlaneFromSource)))
        return Failure::NotConverted;
    transform between;
    geoid_transform fromGeoid;
    geoid_transform toGeoid;
    Failure unready = Failure::None;
    if (!initialize_transform(&from, &to, &between))
        unready = Failure::NotConverted;
    else if ((sourceGeoid && !initialize_geoid_transform(&from, geoid, &fromGeoid))
        || (targetGeoid && !initialize_geoid_transform(&to, geoid, &toGeoid)))
        unready = Failure::Geoid;
    const Route route {&from, &to, &between, &fromPlane, &toPlane, toPlaneFromSource,
        sourceGeoid ? &fromGeoid : nullptr, targetGeoid ? &toGeoid : nullptr, unready};
    return along(route, in, out, zone);
}

namespace {

// How a result's coordinate `index` (0 to 2) is written on `target`.
enum class Written { Metres, Degrees, Dms };

Written writtenForm(const Side &target, int index)
{
    if (index == 2)
        return Written::Metres;
    if (target.decimalDegrees)
        return Written::Degrees;
    return target.dmsUnits ? Written::Dms : Written::Metres;
}

// The fast writers at `out`; null for a value only appendCoordinate writes.
char *writeCoordinate(char *out, Written form, double value)
{
    switch (form) {
    case Written::Degrees:
        return CellText::writeFixed(out, value, degreeDecimals);
    case Written::Dms:
        return AngleText::writeDms(out, value);
    case Written::Metres:
        break;
    }
    return CellText::writeFixed(out, value, metreDecimals);
}

} // namespace

void Calculator::appendCoordinate(QByteArray *out, int index, double value) const
{
    switch (writtenForm(target, index)) {
    case Written::Degrees:
        CellText::appendFormatted(out, value, degreeDecimals);
        break;
    case Written::Dms:
        AngleText::appendDms(out, value);
        break;
    case Written::Metres:
        CellText::appendFormatted(out, value, metreDecimals);
        break;
    }
}

void Calculator::format(const double point[3], bool heightDefaulted, PointRow *row) const
{
    QByteArray text;
    for (int i = 0; i < (heightDefaulted ? 2 : 3); ++i) {
        text.clear();
        appendCoordinate(&text, i, point[i]);
        row->coordinates[i] = QString::fromLatin1(text);
    }
}

char *Calculator::writeCoordinates(char *out, const Reading &numbers) const
{
    static_assert(coordinatesRoom >= 3 * AngleText::dmsRoom, "room for three angles");
    char *p = out;
    for (int i = 0; i < 3 && p; ++i) {
        if (i > 0) {
            *p++ = ';';
            *p++ = ' ';
        }
        if (i < 2 || !numbers.heightDefaulted)
            p = writeCoordinate(p, writtenForm(target, i), numbers.point[i]);
    }
    return p;
}

void Calculator::appendCoordinates(QByteArray *out, const Reading &numbers) const
{
    // One append of the three, the usual case; else each the slow way.
    char room[coordinatesRoom];
    if (const char *end = writeCoordinates(room, numbers)) {
        out->append(room, int(end - room));
        return;
    }
    appendCoordinate(out, 0, numbers.point[0]);
    out->append("; ", 2);
    appendCoordinate(out, 1, numbers.point[1]);
    out->append("; ", 2);
    if (!numbers.heightDefaulted)
        appendCoordinate(out, 2, numbers.point[2]);
}

Failure Calculator::convertPoint(const double in[3], double out[3], int *zone) const
{
    int checkedZone = 0;
    if (!zone)
        zone = &checkedZone;
    if (this->failure != SetUpFailure::None)
        return Failure::NotConverted;
    return finish(
        rule == ZoneRule::Fixed ? convertFixed(in, out, zone) : convertPerPoint(in, out, zone),
        out);
}

void Calculator::convertPoints(
    const double *in, size_t n, double *out, Failure *failures, int *zones) const
{
    // Every point through the one transform, after its source zone's check
    // (along): the library converts a block at a time.
    const bool oneTransform = this->failure == SetUpFailure::None && rule == ZoneRule::Fixed
        && !isPlane(target) && !sourceGeoid && !targetGeoid;
    if (!oneTransform) {
        for (size_t i = 0; i < n; ++i)
            failures[i] = convertPoint(in + 3 * i, out + 3 * i, zones ? zones + i : nullptr);
        return;
    }
    constexpr size_t block = 256;
    int ok[block];
    const bool plane = isPlane(source);
    const ZoneRules sourceZone(source.system, hasZonePrefix(source));
    const FinishRules finishing(target);
    for (size_t first = 0; first < n; first += block) {
        const size_t count = std::min(block, n - first);
        for (size_t i = 0; plane && i < count; ++i) {
            const double *p = in + 3 * (first + i);
            int zone = zones ? zones[first + i] : 0; // kept where the check fails first
            failures[first + i] = sourceZone.check(sourcePlane, p, p, &zone, false);
            if (zones)
                zones[first + i] = zone;
        }
        transform_coords_array(in + 3 * first, count, &fixedTransform, out + 3 * first, ok);
        for (size_t i = 0; i < count; ++i) {
            const Failure before = plane ? failures[first + i] : Failure::None;
            failures[first + i] = finishing.finish(before != Failure::None ? before
                    : ok[i]                                                ? Failure::None
                                                                           : Failure::NotConverted,
                out + 3 * (first + i));
        }
    }
}

Failure Calculator::finish(Failure failure, double out[3]) const
{
    return FinishRules(target).finish(failure, out);
}

PointRow Calculator::convert(const PointRow &row, Reading *numbers) const
{
    PointRow result;
    result.name = row.name.trimmed();
    Reading reading;
    result.outcome = convert(CellText::Utf8(row.coordinates[0]).view(),
        CellText::Utf8(row.coordinates[1]).view(), CellText::Utf8(row.coordinates[2]).view(),
        &reading);
    if (result.outcome == PointRow::Outcome::Failed)
        result.reason = reasonText(reading.failure, reading.zone);
    else if (result.outcome == PointRow::Outcome::Converted)
        format(reading.point, reading.heightDefaulted, &result); // a blank height stays blank
    if (numbers)
        *numbers = reading;
    return result;
}

PointRow::Outcome Calculator::readRow(
    std::string_view c1, std::string_view c2, std::string_view c3, Reading *numbers) const
{
    Reading &reading = *numbers;
    reading = read(source, c1, c2, c3);
    if (reading.blank)
        return PointRow::Outcome::NoPoint;
    Failure &failure = reading.failure;
    if (this->failure != SetUpFailure::None)
        failure = Failure::NotConverted;
    // A geocentric Z depends on the height: 0 in its place would be a wrong point.
    if (failure == Failure::None && reading.heightDefaulted
        && target.kind == SystemKind::Geocentric)
        failure = Failure::HeightNeeded;
    return failure == Failure::None ? PointRow::Outcome::Given : PointRow::Outcome::Failed;
}

PointRow::Outcome Calculator::convert(
    std::string_view c1, std::string_view c2, std::string_view c3, Reading *numbers) const
{
    const PointRow::Outcome outcome = readRow(c1, c2, c3, numbers);
    if (outcome != PointRow::Outcome::Given)
        return outcome;
    double out[3];
    numbers->failure = convertPoint(numbers->point, out, &numbers->zone);
    if (numbers->failure != Failure::None)
        return PointRow::Outcome::Failed;
    std::copy(out, out + 3, numbers->point);
    return PointRow::Outcome::Converted;
}

void Calculator::convertReadings(Reading *readings, PointRow::Outcome *outcomes, size_t n) const
{
    // The points gathered into one block for convertPoints, and back.
    constexpr size_t block = 512;
    double in[3 * block];
    double out[3 * block];
    Failure failures[block];
    int zones[block];
    size_t rows[block];
    size_t i = 0;
    while (i < n) {
        size_t count = 0;
        for (; i < n && count < block; ++i) {
            if (outcomes[i] != PointRow::Outcome::Given)
                continue;
            std::copy(readings[i].point, readings[i].point + 3, in + 3 * count);
            zones[count] = readings[i].zone;
            rows[count++] = i;
        }
        convertPoints(in, count, out, failures, zones);
        for (size_t k = 0; k < count; ++k) {
            Reading &reading = readings[rows[k]];
            reading.failure = failures[k];
            reading.zone = zones[k];
            if (failures[k] == Failure::None)
                std::copy(out + 3 * k, out + 3 * k + 3, reading.point);
            outcomes[rows[k]] = failures[k] == Failure::None ? PointRow::Outcome::Converted
                                                             : PointRow::Outcome::Failed;
        }
    }
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
