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

#include <QByteArray>
#include <QString>
#include <QVector>

#include <string_view>

namespace Calculation {

// Decimals of the numbers a result is written with.
const int metreDecimals = 3;  // metres: the millimetre
const int degreeDecimals = 9; // decimal degrees: 0.1 mm

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

// The zone number that leads a Gauss-Krüger easting, its millions: 7 of
// 7 412 345.6. Any whole number, not only a zone's 1 to 60.
double zonePrefix(double easting);
// A zone's number, Gauss-Krüger or UTM: 1 to 60 eastwards.
inline bool isZone(double number)
{
    return number >= 1 && number <= 60;
}

// Whether a point of a national Gauss-Krüger record with its hemisphere set
// lies so well within its zone that it needs no conversion to tell that it is
// within 6 degrees of the meridian: within wellWithinNorthing of the equator
// (63 degrees) and wellWithinEasting of the meridian it is less than 5 degrees
// from it. Saves taking every such point to geodetic coordinates once more.
constexpr double wellWithinNorthing = 7.0e6;
constexpr double wellWithinEasting = 2.5e5;
bool wellWithinZone(const refsystem &rs, const double plane[3]);

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
    HeightNeeded,    // a blank height, and the target is geocentric
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
// The same of UTF-8 texts.
Failure readPoint(const Side &side, std::string_view c1, std::string_view c2, std::string_view c3,
    double point[3], int *zone = nullptr);
// The input checks of readPoint on numbers already read, in its order:
// finite numbers, a latitude within 90 degrees, the 10 000 km rule, a local
// point taken into its base, the fixed zone's prefix. Numbers from elsewhere
// than a row's text go through this too, so they fail where the text would.
Failure checkPoint(const Side &side, double point[3], int *zone = nullptr);
// checkPoint of n points (three numbers each, changed as checkPoint changes
// them): failures[i] the point's failure, zones[i] (when given) set where
// checkPoint sets *zone.
void checkPoints(
    const Side &side, double *points, size_t n, Failure *failures, int *zones = nullptr);

// A row's coordinates on `side` as every reader of rows judges them: the
// calculation, and the list commands that find invalid rows. A blank height
// reads as 0 on any side but a geocentric one, whose third coordinate is Z.
struct Reading
{
    Failure failure = Failure::None; // None: `point` holds the row's point
    bool blank = false;              // no coordinate written: no point to read
    bool heightDefaulted = false;    // the height was blank and read as 0
    double point[3] = {0.0, 0.0, 0.0};
    int zone = 0; // the fixed zone, for ZonePrefix
};
Reading read(const Side &side, const PointRow &row);
// The same of a row's three coordinate texts in UTF-8.
Reading read(const Side &side, std::string_view c1, std::string_view c2, std::string_view c3);

// How the rows of a list came out, counted the same way by the window and
// the converter, with the first rows of each kind listed by number.
struct Tally
{
    static const int listed = 10; // row numbers kept of each kind
    qint64 points = 0;            // rows with coordinates
    qint64 failed = 0;
    qint64 noCoordinates = 0;   // rows of a name and no coordinate (not points)
    QVector<qint64> failedRows; // numbered from 1, ascending, the first `listed`
    QVector<qint64> noCoordinateRows;

    // Row `number` of the list, `given`, came out as `result`.
    void count(const PointRow &given, const PointRow &result, qint64 number);
    // The same of the result's outcome, and whether the row given is a name
    // without coordinates.
    void count(PointRow::Outcome result, bool lacksCoordinates, qint64 number);
    // The rows of `later`, a later part of the same list.
    void add(const Tally &later);
    bool anyFailed() const { return failed > 0 || noCoordinates > 0; }

    enum class Form {
        Status, // "Пересчитано 998 из 1000 точек, ошибок: 2 (строки 17, 230), без
                // координат: 1 (строка 5)"
        Line // "пересчитано 998 из 1000 точек, ошибок: 2, без координат: 1"
    };
    QString summary(Form form) const;
};

struct Result
{
    PointRows rows; // one per source row, in source order
    Tally tally;
    bool errors() const { return tally.failed > 0; }
    QString summary() const { return tally.summary(Tally::Form::Status); }
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

// Why a calculation could not be set up, as the window words it: the grid
// ("Ошибка инициализации геоида") or the conversion ("Ошибка инициализации
// пересчета координат"); a map export says "no grid loaded" for both geoid
// failures.
enum class SetUpFailure {
    None,
    Transform, // the two systems cannot be converted into each other
    // A side has heights above the geoid and there is no usable grid, with
    // zones chosen per point: the grid's own failure, found before any row.
    Geoid,
    // The same, or a grid that does not suit the side's system, with fixed
    // zones: a step of the one transform that could not be made.
    GeoidStep
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
    // coordinates) or Failed with its reason; the name is trimmed. *numbers,
    // if given, gets the row's numbers: the target's (see convertPoint) of a
    // converted row, before they are written.
    PointRow convert(const PointRow &row, Reading *numbers = nullptr) const;
    // The same of a row's coordinate texts in UTF-8, without the row: the
    // outcome, and in *numbers the failure or the target's numbers.
    PointRow::Outcome convert(
        std::string_view c1, std::string_view c2, std::string_view c3, Reading *numbers) const;
    // The first half of that: the texts read and checked; Given when the point
    // is still to be converted (convertReadings), else NoPoint or Failed.
    PointRow::Outcome readRow(
        std::string_view c1, std::string_view c2, std::string_view c3, Reading *numbers) const;
    // The second half for n rows at once, as convert would end each: the rows
    // readRow left Given are converted in place, their outcomes set.
    void convertReadings(Reading *readings, PointRow::Outcome *outcomes, size_t n) const;
    // The coordinates of a converted row as the result row has them,
    // "c1; c2; c3" behind *out (a blank height stays blank).
    void appendCoordinates(QByteArray *out, const Reading &numbers) const;
    // The same at `out`, with room for coordinatesRoom characters; the end, or
    // null for numbers only appendCoordinates writes.
    static const int coordinatesRoom = 600;
    char *writeCoordinates(char *out, const Reading &numbers) const;
    // One point as `read` gives it (checked, a local point in its base) into
    // the target's numbers before they are written: the longitude in the range
    // the target asks for, a local target's point in its own X, Y, H; *zone,
    // if given, names the zone of a ZonePrefix failure.
    Failure convertPoint(const double in[3], double out[3], int *zone = nullptr) const;
    // n points (three values each in `in` and `out`) as convertPoint converts
    // each, failures[i] and zones[i] (when given) its failure and zone; a
    // quicker way for many where the conversion allows.
    void convertPoints(
        const double *in, size_t n, double *out, Failure *failures, int *zones = nullptr) const;
    // Every row.
    Result run(const PointRows &rows) const;

private:
    struct Route;
    bool setUpFixed();
    bool setUpPerPoint();
    // *zone: the zone of the last check, for the reason's text.
    Failure convertFixed(const double in[3], double out[3], int *zone) const;
    Failure convertPerPoint(const double in[3], double out[3], int *zone) const;
    Failure along(const Route &route, const double in[3], double out[3], int *zone) const;
    Failure throughTransform(const Route &route, const double in[3], double out[3]) const;
    void format(const double point[3], bool heightDefaulted, PointRow *row) const;
    // The checks and ranges of a converted point's target numbers.
    Failure finish(Failure failure, double out[3]) const;
    // The one writer of a result's coordinate `index` (0 to 2).
    void appendCoordinate(QByteArray *out, int index, double value) const;

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
