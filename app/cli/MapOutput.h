// --format kml|gpx|geojson|dxf: the converted rows as one map document or
// CAD drawing instead of the points-file lines. Map documents are written
// to the output as the rows come, so memory stays flat however many there
// are; a drawing states its extents before its points and is written at the
// end, from the points kept (about 60 bytes each).
#ifndef MAPOUTPUT_H
#define MAPOUTPUT_H

#include "DxfExport.h"
#include "MapExport.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

class Output;

class MapOutput
{
public:
    // A map document in WGS 84 (rows converted into MapExport::targetName).
    MapOutput(MapExport::Format format, Output *output);
    // A drawing of rows converted into `plane`, its labels sized for 1:`scale`.
    MapOutput(const Calculation::Side &plane, int scale, Output *output);
    ~MapOutput();

    // "kml", "gpx", "geojson" or "dxf", in any case.
    static bool isFormat(const QString &name);

    // One converted row and its numbers (Calculator::convert): written (or
    // kept) when it holds a point, else counted as skipped; empty rows are
    // neither.
    void add(const PointRow &converted, const Calculation::Reading &numbers);
    // Ends the document on the output; false when a write failed.
    bool finish();

    qint64 skippedRows() const { return skipped; }
    // "для карты: 5 точек, пропущено: 2 строки" (for CAD: "для CAD: …").
    QString summary() const;

private:
    // The output as a device, for the writers.
    class Device : public QIODevice
    {
    public:
        explicit Device(Output *output);

    protected:
        qint64 readData(char *, qint64) override { return -1; }
        qint64 writeData(const char *data, qint64 size) override;

    private:
        Output *output;
    };

    Device device;
    std::unique_ptr<MapExport::Writer> writer; // a map document
    bool drawing = false;
    Calculation::Side plane;
    int scale = DxfExport::defaultScale;
    QVector<DxfExport::Point> kept; // a drawing's points
    qint64 written = 0;
    qint64 skipped = 0;
};

#endif // MAPOUTPUT_H
