// A table's points for a map: KML (map services), GPX (GPS receivers) and
// GeoJSON (GIS programs, RFC 7946), written with Qt's own XML and JSON
// writers. Points go to WGS 84 decimal degrees through the same calculation
// as "Вычислить >>>" (the converter's --to geod:wgs84:deg), whatever the
// table's system; names become labels. Heights: GeoJSON's are above the
// WGS 84 ellipsoid, as RFC 7946 says; KML's and GPX's are above sea level,
// so they are taken above the EGM96 geoid, and left out when there is no
// grid. Rows that fail or hold no point are skipped and counted.
#ifndef MAPEXPORT_H
#define MAPEXPORT_H

#include "Calculation.h"
#include "PointRow.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

class QIODevice;
class QXmlStreamWriter;

namespace MapExport {

enum class Format { Kml, Gpx, GeoJson };

// "kml", "gpx", "geojson" in any case (a file suffix or --format); false for
// anything else.
bool parseFormat(const QString &name, Format *format);
// The file suffix, without the dot.
QString suffix(Format format);

// The system the rows are converted into: WGS 84 decimal degrees, with
// heights above the geoid for KML and GPX when `geoid` is true.
QString targetName(Format format, bool geoid);

// One point: WGS 84 degrees and the height, if the row has one (metres).
struct Point
{
    QString name;
    double latitude = 0;
    double longitude = 0;
    double height = 0;
    bool hasHeight = false;
};

// The point of a row converted into targetName, from the numbers
// Calculator::convert gives (`converted` must have converted) as they are
// written: 9 decimals of a degree, millimetres of height.
Point pointOf(const QString &name, const Calculation::Reading &converted);

// A document written to its device point by point, so that memory stays the
// same whatever the number of points.
class Writer
{
public:
    // Starts the document, UTF-8, on `device` (open for writing).
    Writer(Format format, QIODevice *device);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void add(const Point &point);
    // Ends the document; false when a write to the device failed.
    bool finish();

private:
    Format format;
    QIODevice *device;
    std::unique_ptr<QXmlStreamWriter> xml;
    bool first = true;
    bool ok = true;
};

// The whole document in memory (small documents, tests).
QByteArray write(Format format, const QVector<Point> &points);

// The side a table's rows are read on. A Gauss-Krüger hemisphere left
// automatic chose itself for each result; read back, the rows give no sign
// of it, so they are taken as northern, where the national zones lie.
Calculation::Side tableSide(const Calculation::Side &side);

// The rows of a table on `side` converted for a map: the points, and the
// rows skipped (failed or without coordinates; empty rows are neither) with
// the reason of the first. `geoid` as the calculation takes it (may be null
// or empty: no heights in KML and GPX).
struct Converted
{
    QVector<Point> points;
    int skipped = 0;
    QString firstReason;
    bool northernAssumed = false; // tableSide chose the hemisphere
};
Calculation::SetUpFailure convert(const PointRows &rows, const Calculation::Side &side,
    Format format, const ::geoid *geoid, Converted *out);

// "5 точек, пропущено: 2 строки".
QString summary(qint64 written, qint64 skipped);

} // namespace MapExport

#endif // MAPEXPORT_H
