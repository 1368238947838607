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

// The points of rows converted into targetName: rows with coordinates;
// *skipped counts those without (failed, or a name alone). Empty rows are
// neither.
QVector<Point> points(const PointRows &converted, int *skipped);

// The whole document, UTF-8.
QByteArray write(Format format, const QVector<Point> &points);

// The rows of a table on `side` as a document; `geoid` as the calculation
// takes it (may be null or empty: no heights in KML and GPX). False when the
// conversion cannot be set up.
bool exportRows(const PointRows &rows, const Calculation::Side &side, Format format,
    const ::geoid *geoid, QByteArray *document, int *written, int *skipped);

// "5 точек, пропущено: 2 строки".
QString summary(int written, int skipped);

} // namespace MapExport

#endif // MAPEXPORT_H
