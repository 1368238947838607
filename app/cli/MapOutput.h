// --format kml|gpx|geojson: the converted rows gathered and written as one
// map document at the end, instead of the points-file lines.
#ifndef MAPOUTPUT_H
#define MAPOUTPUT_H

#include "MapExport.h"

#include <QByteArray>
#include <QString>

class MapOutput
{
public:
    explicit MapOutput(MapExport::Format format)
        : format(format)
    {
    }
    // A result row of the pipeline, in the system of MapExport::targetName.
    void add(const PointRow &row);
    QByteArray document() const { return MapExport::write(format, list); }
    int skippedRows() const { return skipped; }
    // "для карты: 5 точек, пропущено: 2 строки".
    QString summary() const;

private:
    MapExport::Format format;
    QVector<MapExport::Point> list;
    int skipped = 0;
};

#endif // MAPOUTPUT_H
