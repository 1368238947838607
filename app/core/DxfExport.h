// A table's points for CAD (nanoCAD, AutoCAD, BricsCAD): a DXF drawing in
// the table's own plane coordinates, written with dxflib.
//
// CAD's X is the easting and its Y the northing, the reverse of the
// geodetic x, y: each point is a POINT at (easting, northing, height) on the
// layer "POINTS", its name a TEXT on "NAMES" up and to the right of it and
// its height, in centimetres, a TEXT on "HEIGHTS" below the name. Text
// heights are 2 mm on paper at the drawing's scale. Units are metres
// ($INSUNITS 6) and the extents are those of the points.
//
// Format: DXF R2000 (AC1015), the oldest with $INSUNITS, which every CAD
// program of the last twenty years opens, and the newest dxflib writes. Its
// strings are in the code page of $DWGCODEPAGE: ANSI_1251, so Cyrillic names
// are cp1251 bytes as Russian CAD installations expect; a character outside
// cp1251 is written as \U+XXXX, which R2000 readers decode. Layer names stay
// ASCII so that no code page can garble the drawing's structure.
#ifndef DXFEXPORT_H
#define DXFEXPORT_H

#include "Calculation.h"
#include "PointRow.h"

#include <QString>
#include <QVector>

#include <string>

class QIODevice;

namespace DxfExport {

// The scales offered, as their denominators; 1:500 unless chosen.
const int scales[] = {500, 1000, 2000, 5000};
const int defaultScale = 500;
// "500", "1000", "2000" or "5000"; false for anything else.
bool parseScale(const QString &text, int *scale);
// The height of a label in the drawing (metres): 2 mm on paper.
double textHeight(int scale);

extern const char pointsLayer[];
extern const char namesLayer[];
extern const char heightsLayer[];

// A plane system (Gauss-Krüger, UTM, tm:, a local system): what a drawing's
// coordinates can be. Geodetic and geocentric tables are not.
bool isPlane(const Calculation::Side &side);

struct Point
{
    QString name;
    double easting = 0;  // metres, CAD's X
    double northing = 0; // metres, CAD's Y
    double height = 0;   // metres
    bool hasHeight = false;
};

// The point of coordinates on `side` in the table's column order (UTM
// easting first, the others northing first); false for a side that is not a
// plane or a point beyond a drawing's reach.
bool pointOf(const Calculation::Side &side, const QString &name, const double coordinates[3],
    bool hasHeight, Point *point);
// The point a row of a table on `side` holds; false also for a row that
// failed or holds no point.
bool pointOf(const Calculation::Side &side, const PointRow &row, Point *point);
// The point of a row converted into `side`, from the numbers
// Calculator::convert gives (`converted` must have converted) as they are
// written, to the millimetre.
bool pointOf(const Calculation::Side &side, const QString &name,
    const Calculation::Reading &converted, Point *point);

// A label's text in the drawing's code page (see above), one line.
std::string text(const QString &label);

// The whole drawing on `device`, open for writing; false when a write
// failed (what was written is then incomplete).
bool write(QIODevice *device, const QVector<Point> &points, int scale);

} // namespace DxfExport

#endif // DXFEXPORT_H
