// Map documents and CAD drawings of arbitrary rows: Qt's XML and JSON readers take back every
// point and its name, and a drawing keeps its structure of groups whatever the names hold.
#include "CellText.h"
#include "DxfExport.h"
#include "MapExport.h"
#include "PointRow.h"
#include "scratch_file.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace {

void checkMap(const QVector<MapExport::Point> &points)
{
    QStringList names;
    for (const MapExport::Point &p : points)
        names << p.name;
    for (const auto format : {MapExport::Format::Kml, MapExport::Format::Gpx}) {
        QStringList read;
        QXmlStreamReader xml(MapExport::write(format, points));
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement
                && xml.name() == QLatin1String("name"))
                read << xml.readElementText();
        }
        require(!xml.hasError() && read == names);
    }
    QJsonParseError error;
    const QJsonArray features
        = QJsonDocument::fromJson(MapExport::write(MapExport::Format::GeoJson, points), &error)
              .object()["features"]
              .toArray();
    require(error.error == QJsonParseError::NoError && features.size() == points.size());
    for (int i = 0; i < points.size(); ++i) {
        const QJsonValue f = features.at(i);
        const QJsonArray c = f["geometry"]["coordinates"].toArray();
        require(f["properties"]["name"] == names.at(i)
            && c.size() == (points.at(i).hasHeight ? 3 : 2)
            && c.at(0).toDouble() == points.at(i).longitude
            && c.at(1).toDouble() == points.at(i).latitude);
    }
}

// Group code and value lines in pairs; one POINT and one name TEXT a point, one more its height.
void checkDrawing(const QVector<DxfExport::Point> &points, int scale)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    require(DxfExport::write(&buffer, points, scale));
    const QList<QByteArray> lines = buffer.data().split('\n');
    require(lines.size() % 2 == 1 && lines.last().isEmpty());
    int pointCount = 0, texts = 0, heights = 0;
    for (const DxfExport::Point &p : points)
        heights += p.hasHeight;
    for (int i = 0; i + 1 < lines.size(); i += 2) {
        bool isCode = false;
        const bool entity = lines.at(i).trimmed().toInt(&isCode) == 0;
        require(isCode && lines.at(i + 1).size() <= 256);
        pointCount += entity && lines.at(i + 1) == "POINT";
        texts += entity && lines.at(i + 1) == "TEXT";
    }
    require(pointCount == points.size() && texts == points.size() + heights);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int scale = DxfExport::scales[in.ConsumeIntegralInRange(0, 3)];
    Calculation::Side plane;
    plane.kind = in.ConsumeBool() ? SystemKind::Local : SystemKind::GaussKruger;
    QVector<MapExport::Point> map;
    QVector<DxfExport::Point> drawing;
    while (in.remaining_bytes() > 0 && map.size() < 64) {
        const std::string line = in.ConsumeRandomLengthString(512);
        PointRow row = PointRow::fromLine(QString::fromUtf8(line.data(), int(line.size())));
        row.outcome = PointRow::Outcome::Converted;
        Calculation::Reading numbers;
        numbers.heightDefaulted = !CellText::parseNumber(row.coordinates[2], &numbers.point[2]);
        if (CellText::parseNumber(row.coordinates[0], &numbers.point[0])
            && CellText::parseNumber(row.coordinates[1], &numbers.point[1]))
            map.append(MapExport::pointOf(row.name, numbers));
        DxfExport::Point q;
        if (DxfExport::pointOf(plane, row, &q))
            drawing.append(q);
    }
    checkMap(map);
    checkDrawing(drawing, scale);
    return 0;
}
