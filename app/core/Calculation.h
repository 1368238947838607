// The conversion of a point list from one reference system into another, row
// by row, through the library. No widgets: the window gathers both panels'
// settings and the source rows, and shows what comes back.
//
// Rows are row texts (four cells joined by "; "). A row whose coordinates are
// blank, invalid or cannot be converted keeps its place and its trimmed name,
// with blank coordinates ("name; ; ; "); all but the blank ones count as
// errors. Results: 3 decimals for metres, 9 for decimal degrees, "d m s" with
// 5 decimals of seconds, "." as the decimal point in every locale.
#ifndef CALCULATION_H
#define CALCULATION_H

#include "kelvadra.h"

#include <QString>
#include <QStringList>

namespace Calculation {

// One side of a calculation as its panel describes it.
struct Side
{
    refsystem system {};         // complete, or a GSK 2011 Gauss-Krüger zone left automatic
    int systemType = 0;          // panel code: 1 geocentric, 2 geodetic, 3 Gauss-Krüger, 4 UTM
    int geoidIndex = 0;          // non-zero: heights on this side are above the geoid
    bool dmsUnits = false;       // geodetic, degrees-minutes-seconds (input validity, output form)
    bool decimalDegrees = false; // geodetic, decimal degrees (output form)
    bool unsignedLongitude = false; // geodetic, longitudes 0 to 360 degrees (output form)
};

// Heights on this side refer to the geoid. Never on a geocentric side, whose
// third coordinate is Z and not a height, whatever its geoid list shows.
bool usesGeoid(const Side &side);

struct Result
{
    QStringList rows; // one row text per source row, in source order
    bool errors = false;
};

class Calculator
{
public:
    // `geoid` must outlive the calculator; it may be null when no side uses it.
    Calculator(const Side &source, const Side &target, const ::geoid *geoid);

    // Both systems complete: one transform and the geoid transforms for every
    // row. False when the pair cannot be converted or a side uses the geoid
    // without a usable grid.
    bool setUpFixed();
    // A GSK 2011 zone left automatic: transforms are made per row, after the
    // zone is chosen from the point. False when a side uses the geoid without a
    // usable grid.
    bool setUpAutoZone();

    // One row text converted (after a successful set-up). *error is set when
    // the row is invalid or fails; a row without coordinates fails quietly.
    QString convertRow(const QString &rowText, bool *error) const;
    // Every row; the errors flag tells whether any row failed.
    Result run(const QStringList &rows) const;

private:
    bool convertFixed(const double in[3], double out[3]) const;
    bool convertAutoZone(const double in[3], double out[3]) const;
    static bool convertPoint(const double in[3], const transform &t,
        const geoid_transform *sourceGeoid, const geoid_transform *targetGeoid, double out[3]);
    QString formatRow(const QString &name, const double point[3], bool heightDefaulted) const;

    Side source;
    Side target;
    const ::geoid *geoid;
    bool sourceGeoid;
    bool targetGeoid;
    bool autoZone = false;
    bool ready = false;
    transform fixedTransform {};
    geoid_transform sourceGeoidTransform {};
    geoid_transform targetGeoidTransform {};
};

} // namespace Calculation

#endif // CALCULATION_H
