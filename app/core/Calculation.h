// The conversion of a point list from one reference system into another, row
// by row, through the library. No widgets: the window gathers both panels'
// settings and the source rows, and shows what comes back.
//
// A row whose coordinates are blank, invalid or cannot be converted keeps its
// place and its trimmed name, with blank coordinates; all but the blank ones
// fail, each with its reason. Beyond the written form, a row must denote a
// point: minutes and seconds below 60, a latitude within 90 degrees, the zone
// prefix of a Gauss-Krüger easting equal to a fixed zone, and on either side
// of a zone projection a point within 6 degrees of the central meridian (the
// zone series drift off past that: 0.36 m at 8 degrees, 32 m at 15), its
// easting carrying that zone's number (within 500 km of the meridian), and
// heights and geocentric coordinates within 10 000 km. A converted row is thus
// valid input again on the target side. Output longitudes lie in the range the
// target asks for (-180 to 180 or 0 to 360 degrees) whatever the input's. Results: 3 decimals for
// metres, 9 for decimal degrees, "d m s" with 5 decimals of seconds, "." as the decimal point in
// every locale.
#ifndef CALCULATION_H
#define CALCULATION_H

#include "PointRow.h"
#include "SystemKind.h"
#include "kelvadra.h"

#include <QString>
#include <QVector>

namespace Calculation {

// One side of a calculation as its panel describes it.
struct Side
{
    refsystem system {}; // complete, or a GSK 2011 Gauss-Krüger zone left automatic
    SystemKind kind = SystemKind::None;
    bool geoidHeights = false;   // heights on this side are above the geoid
    bool dmsUnits = false;       // geodetic, degrees-minutes-seconds (input validity, output form)
    bool decimalDegrees = false; // geodetic, decimal degrees (output form)
    bool unsignedLongitude = false; // geodetic, longitudes 0 to 360 degrees (output form)
    // A local system: `system` is its base, of this code (SystemKind::TransverseMercator,
    // SystemKind::GaussKruger or SystemKind::Utm), and the keys take the base's plane point
    // (northing first) to the local one.
    SystemKind baseKind = SystemKind::None;
    plane_keys keys {};
};

// Heights on this side refer to the geoid. Never on a geocentric side, whose
// third coordinate is Z and not a height, whatever its geoid list shows.
bool usesGeoid(const Side &side);

// Why a row did not convert.
enum class Failure {
    None,
    Invalid,         // the written form is not one of coordinates
    MinutesSeconds,  // minutes or seconds of 60 or more
    Latitude,        // beyond 90 degrees
    ZonePrefix,      // the easting's millions are not the fixed zone
    FarFromMeridian, // more than 6 degrees of longitude from the zone's meridian
    Geoid,           // no geoid height at the point
    TooFar,          // a height or geocentric coordinate beyond 10 000 km
    ExtraFields,     // a line of more than four fields (the converter's)
    NoCoordinates,   // a line of a name alone (the converter's; the window counts them)
    NotConverted     // the library could not convert it
};
// The reason as the user reads it; `zone` is the fixed zone for ZonePrefix.
QString reasonText(Failure failure, int zone = 0);

// The three coordinate texts of a row on `side`, read into `point` and checked
// as input (every check but the distance from the meridian, which needs the
// conversion). A blank height must have been replaced before.
Failure readPoint(const Side &side, const QString &c1, const QString &c2, const QString &c3,
    double point[3], int *zone = nullptr);
// The input checks of readPoint on numbers already read, in its order:
// finite numbers, a latitude within 90 degrees, the 10 000 km rule, a local
// point taken into its base, the fixed zone's prefix. Numbers from elsewhere
// than a row's text go through this too, so they fail where the text would.
Failure checkPoint(const Side &side, double point[3], int *zone = nullptr);

struct Result
{
    PointRows rows;                // one per source row, in source order
    int points = 0;                // rows with coordinates
    QVector<int> failedRows;       // indices of the rows that failed, ascending
    int noCoordinates = 0;         // rows of a name and no coordinate (not points)
    QVector<int> noCoordinateRows; // the first few of them, ascending
    bool errors() const { return !failedRows.isEmpty(); }
    // "Пересчитано 998 из 1000 точек, ошибок: 2 (строки 17, 230), без
    // координат: 1 (строка 5)".
    QString summary() const;
};

// How the zones of the two sides are found.
enum class ZoneRule {
    // Both systems complete (a national zone left automatic included: the
    // library takes it from each point itself): one transform for every row.
    Fixed,
    // A GSK 2011 Gauss-Krüger zone or hemisphere left automatic: chosen from
    // each point, with transforms made for the row.
    PerPoint
};

// Why a calculation could not be set up.
enum class SetUpFailure {
    None,
    Transform, // the two systems cannot be converted into each other
    Geoid      // a side has heights above the geoid, and there is no usable grid
};

class Calculator
{
public:
    // Sets up the conversion from `source` to `target`, with the zone rule the
    // two systems need; see setUpFailure. `geoid` must outlive the
    // calculator; it may be null when no side uses it.
    Calculator(const Side &source, const Side &target, const ::geoid *geoid);

    SetUpFailure setUpFailure() const { return failure; }
    ZoneRule zoneRule() const { return rule; }

    // One row converted (after a successful set-up): Converted, NoPoint (no
    // coordinates) or Failed with its reason; the name is trimmed.
    PointRow convert(const PointRow &row) const;
    // One point as readPoint gives it (checked, a local point in its base)
    // into the target's numbers before formatting: the longitude in the range
    // the target asks for, a local target's point in its own X, Y, H. The
    // path of convert between reading and formatting.
    Failure convertPoint(const double in[3], double out[3], int *zone = nullptr) const;
    // Every row.
    Result run(const PointRows &rows) const;

private:
    bool setUpFixed();
    bool setUpPerPoint();
    // *zone: the zone of the last check, for the reason's text.
    Failure convertFixed(const double in[3], double out[3], int *zone) const;
    Failure convertPerPoint(const double in[3], double out[3], int *zone) const;
    static Failure convertThrough(const double in[3], const transform &t,
        const geoid_transform *sourceGeoid, const geoid_transform *targetGeoid, double out[3]);
    void format(const double point[3], bool heightDefaulted, PointRow *row) const;

    Side source;
    Side target;
    const ::geoid *geoid;
    bool sourceGeoid;
    bool targetGeoid;
    ZoneRule rule = ZoneRule::Fixed;
    SetUpFailure failure = SetUpFailure::None;
    transform fixedTransform {};
    transform sourcePlane {}; // a zone-projected side into geodetic on its datum
    transform targetPlane {}; // the target, or the source when the target is automatic
    bool targetPlaneFromSource = false;
    geoid_transform sourceGeoidTransform {};
    geoid_transform targetGeoidTransform {};
};

} // namespace Calculation

#endif // CALCULATION_H
