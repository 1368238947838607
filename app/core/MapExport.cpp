#include "MapExport.h"

#include "CellText.h"
#include "Plural.h"
#include "SystemName.h"

#include <QBuffer>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

namespace MapExport {

namespace {

// XML allows no control characters, nor U+FFFE, U+FFFF and halves of a
// surrogate pair; a label is one line.
QString label(const QString &name)
{
    QString text = name;
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        const bool pair
            = ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        if (pair)
            ++i;
        else if (CellText::isControl(ch) || ch.isSurrogate() || ch.unicode() >= 0xfffe)
            text[i] = QLatin1Char(' ');
    }
    return text.trimmed();
}

// Numbers as the calculation writes them, "." in every locale.
QString degrees(double value)
{
    return CellText::formatFixed(value, Calculation::degreeDecimals);
}

QString metres(double value)
{
    return CellText::formatFixed(value, Calculation::metreDecimals);
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

Point pointOf(const QString &name, const Calculation::Reading &converted)
{
    Point p;
    p.name = label(name);
    p.latitude = CellText::writtenValue(converted.point[0], Calculation::degreeDecimals);
    p.longitude = CellText::writtenValue(converted.point[1], Calculation::degreeDecimals);
    p.hasHeight = !converted.heightDefaulted;
    if (p.hasHeight)
        p.height = CellText::writtenValue(converted.point[2], Calculation::metreDecimals);
    return p;
}

Writer::Writer(Format format, QIODevice *device)
    : format(format)
    , device(device)
{
    if (format == Format::GeoJson) {
        ok = device->write("{\"type\": \"FeatureCollection\", \"features\": [") >= 0;
        return;
    }
    xml.reset(new QXmlStreamWriter(device));
    xml->setAutoFormatting(true);
    xml->writeStartDocument();
    if (format == Format::Kml) {
        xml->writeStartElement(QStringLiteral("kml"));
        xml->writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
        xml->writeStartElement(QStringLiteral("Document"));
    } else {
        xml->writeStartElement(QStringLiteral("gpx"));
        xml->writeDefaultNamespace(QStringLiteral("http://www.topografix.com/GPX/1/1"));
        xml->writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
        xml->writeAttribute(QStringLiteral("creator"), QStringLiteral("coordconv"));
    }
}

Writer::~Writer() = default;

void Writer::add(const Point &p)
{
    switch (format) {
    case Format::Kml: {
        xml->writeStartElement(QStringLiteral("Placemark"));
        xml->writeTextElement(QStringLiteral("name"), p.name);
        xml->writeStartElement(QStringLiteral("Point"));
        // Longitude first; the height above sea level.
        QString coordinates = degrees(p.longitude) + QLatin1Char(',') + degrees(p.latitude);
        if (p.hasHeight)
            coordinates += QLatin1Char(',') + metres(p.height);
        xml->writeTextElement(QStringLiteral("coordinates"), coordinates);
        xml->writeEndElement();
        xml->writeEndElement();
        break;
    }
    case Format::Gpx:
        xml->writeStartElement(QStringLiteral("wpt"));
        xml->writeAttribute(QStringLiteral("lat"), degrees(p.latitude));
        xml->writeAttribute(QStringLiteral("lon"), degrees(p.longitude));
        // The schema's order: the elevation before the name.
        if (p.hasHeight)
            xml->writeTextElement(QStringLiteral("ele"), metres(p.height));
        xml->writeTextElement(QStringLiteral("name"), p.name);
        xml->writeEndElement();
        break;
    case Format::GeoJson: {
        // One feature a line. Longitude first, then latitude, then the
        // ellipsoidal height.
        QJsonArray coordinates {p.longitude, p.latitude};
        if (p.hasHeight)
            coordinates.append(p.height);
        const QJsonObject feature {
            {QStringLiteral("type"), QStringLiteral("Feature")},
            {QStringLiteral("geometry"),
                QJsonObject {{QStringLiteral("type"), QStringLiteral("Point")},
                    {QStringLiteral("coordinates"), coordinates}}},
            {QStringLiteral("properties"), QJsonObject {{QStringLiteral("name"), p.name}}},
        };
        QByteArray text = first ? QByteArray("\n") : QByteArray(",\n");
        text += QJsonDocument(feature).toJson(QJsonDocument::Compact);
        ok = ok && device->write(text) == text.size();
        break;
    }
    }
    first = false;
}

bool Writer::finish()
{
    if (format == Format::GeoJson) {
        ok = ok && device->write("\n]}\n") == 4;
        return ok;
    }
    xml->writeEndDocument();
    return !xml->hasError();
}

QByteArray write(Format format, const QVector<Point> &points)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Writer writer(format, &buffer);
    for (const Point &p : points)
        writer.add(p);
    writer.finish();
    return bytes;
}

Calculation::Side tableSide(const Calculation::Side &side)
{
    Calculation::Side read = side;
    refsystem &rs = read.system;
    const bool incomplete = rs.type == KV_TYPE_GK_ZONE
        || (rs.type == KV_TYPE_PROJECTED && rs.projection.scale_factor == 0.0);
    if (side.kind == SystemKind::GaussKruger && incomplete && rs.hemisphere == KV_HEMISPHERE_AUTO)
        rs.hemisphere = KV_HEMISPHERE_NORTH;
    return read;
}

Calculation::SetUpFailure convert(const PointRows &rows, const Calculation::Side &side,
    Format format, const ::geoid *geoid, Converted *out)
{
    const bool grid = geoid && check_geoid(geoid);
    SystemName::Choices choices;
    QString error;
    Calculation::Side target;
    if (!SystemName::parse(targetName(format, grid), false, &choices, &error)
        || !SystemName::side(choices, false, &target))
        return Calculation::SetUpFailure::Transform;
    const Calculation::Side source = tableSide(side);
    const Calculation::Calculator calculator(source, target, geoid);
    if (calculator.setUpFailure() != Calculation::SetUpFailure::None)
        return calculator.setUpFailure();
    Converted result;
    result.northernAssumed = source.system.hemisphere != side.system.hemisphere;
    for (const PointRow &row : rows) {
        Calculation::Reading numbers;
        const PointRow converted = calculator.convert(row, &numbers);
        if (converted.outcome == PointRow::Outcome::Converted) {
            result.points.append(pointOf(converted.name, numbers));
        } else if (!row.isEmpty()) {
            if (result.skipped++ == 0)
                result.firstReason = converted.outcome == PointRow::Outcome::Failed
                    ? converted.reason
                    : Calculation::reasonText(Calculation::Failure::NoCoordinates);
        }
    }
    *out = result;
    return Calculation::SetUpFailure::None;
}

QString summary(qint64 written, qint64 skipped)
{
    QString text = Plural::count(written, "точка", "точки", "точек");
    if (skipped > 0)
        text += QStringLiteral(", пропущено: %1")
                    .arg(Plural::count(skipped, "строка", "строки", "строк"));
    return text;
}

} // namespace MapExport
