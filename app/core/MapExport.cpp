#include "MapExport.h"

#include "CellText.h"
#include "Plural.h"
#include "SystemName.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

namespace MapExport {

namespace {

// XML allows no control characters, and a label is one line.
QString label(const QString &name)
{
    QString text = name.trimmed();
    for (QChar &ch : text) {
        if (CellText::isControl(ch))
            ch = QLatin1Char(' ');
    }
    return text;
}

// Numbers as the calculation wrote them: 9 decimals of a degree (0.1 mm),
// millimetres of height, "." in every locale.
QString degrees(double value)
{
    return CellText::formatFixed(value, 9);
}

QString metres(double value)
{
    return CellText::formatFixed(value, 3);
}

QByteArray writeKml(const QVector<Point> &points)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("kml"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
    xml.writeStartElement(QStringLiteral("Document"));
    for (const Point &p : points) {
        xml.writeStartElement(QStringLiteral("Placemark"));
        xml.writeTextElement(QStringLiteral("name"), p.name);
        xml.writeStartElement(QStringLiteral("Point"));
        // Longitude first; the height above sea level.
        QString coordinates = degrees(p.longitude) + QLatin1Char(',') + degrees(p.latitude);
        if (p.hasHeight)
            coordinates += QLatin1Char(',') + metres(p.height);
        xml.writeTextElement(QStringLiteral("coordinates"), coordinates);
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return bytes;
}

QByteArray writeGpx(const QVector<Point> &points)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("gpx"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.topografix.com/GPX/1/1"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("coordconv"));
    for (const Point &p : points) {
        xml.writeStartElement(QStringLiteral("wpt"));
        xml.writeAttribute(QStringLiteral("lat"), degrees(p.latitude));
        xml.writeAttribute(QStringLiteral("lon"), degrees(p.longitude));
        // The schema's order: the elevation before the name.
        if (p.hasHeight)
            xml.writeTextElement(QStringLiteral("ele"), metres(p.height));
        xml.writeTextElement(QStringLiteral("name"), p.name);
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return bytes;
}

QByteArray writeGeoJson(const QVector<Point> &points)
{
    QJsonArray features;
    for (const Point &p : points) {
        // Longitude first, then latitude, then the ellipsoidal height.
        QJsonArray coordinates {p.longitude, p.latitude};
        if (p.hasHeight)
            coordinates.append(p.height);
        features.append(QJsonObject {
            {QStringLiteral("type"), QStringLiteral("Feature")},
            {QStringLiteral("geometry"),
                QJsonObject {{QStringLiteral("type"), QStringLiteral("Point")},
                    {QStringLiteral("coordinates"), coordinates}}},
            {QStringLiteral("properties"), QJsonObject {{QStringLiteral("name"), p.name}}},
        });
    }
    const QJsonObject collection {{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
        {QStringLiteral("features"), features}};
    return QJsonDocument(collection).toJson(QJsonDocument::Indented);
}

} // namespace

bool parseFormat(const QString &name, Format *format)
{
    for (const Format f : {Format::Kml, Format::Gpx, Format::GeoJson}) {
        if (name.compare(suffix(f), Qt::CaseInsensitive) == 0) {
            *format = f;
            return true;
        }
    }
    return false;
}

QString suffix(Format format)
{
    switch (format) {
    case Format::Kml:
        return QStringLiteral("kml");
    case Format::Gpx:
        return QStringLiteral("gpx");
    case Format::GeoJson:
        break;
    }
    return QStringLiteral("geojson");
}

QString targetName(Format format, bool geoid)
{
    return format != Format::GeoJson && geoid ? QStringLiteral("geod:wgs84:deg+egm96")
                                              : QStringLiteral("geod:wgs84:deg");
}

QVector<Point> points(const PointRows &converted, int *skipped)
{
    QVector<Point> result;
    int notPoints = 0;
    for (const PointRow &row : converted) {
        Point p;
        if (row.outcome != PointRow::Outcome::Converted
            || !CellText::parseNumber(row.coordinates[0], &p.latitude)
            || !CellText::parseNumber(row.coordinates[1], &p.longitude)) {
            notPoints += !row.isEmpty();
            continue;
        }
        p.name = label(row.name);
        p.hasHeight = CellText::parseNumber(row.coordinates[2], &p.height);
        result.append(p);
    }
    if (skipped)
        *skipped = notPoints;
    return result;
}

QByteArray write(Format format, const QVector<Point> &points)
{
    switch (format) {
    case Format::Kml:
        return writeKml(points);
    case Format::Gpx:
        return writeGpx(points);
    case Format::GeoJson:
        break;
    }
    return writeGeoJson(points);
}

bool exportRows(const PointRows &rows, const Calculation::Side &side, Format format,
    const ::geoid *geoid, QByteArray *document, int *written, int *skipped)
{
    const bool grid = geoid && check_geoid(geoid);
    SystemName::Choices choices;
    QString error;
    Calculation::Side target;
    if (!SystemName::parse(targetName(format, grid), false, &choices, &error)
        || !SystemName::side(choices, false, &target))
        return false;
    const Calculation::Calculator calculator(side, target, geoid);
    if (calculator.setUpFailure() != Calculation::SetUpFailure::None)
        return false;
    const QVector<Point> list = points(calculator.run(rows).rows, skipped);
    *document = write(format, list);
    *written = list.size();
    return true;
}

QString summary(int written, int skipped)
{
    QString text = Plural::count(written, "точка", "точки", "точек");
    if (skipped > 0)
        text += QStringLiteral(", пропущено: %1")
                    .arg(Plural::count(skipped, "строка", "строки", "строк"));
    return text;
}

} // namespace MapExport
