#include "MapOutput.h"

#include "Streams.h"

MapOutput::Device::Device(Output *output)
    : output(output)
{
    open(QIODevice::WriteOnly);
}

qint64 MapOutput::Device::writeData(const char *data, qint64 size)
{
    output->append(QByteArray(data, int(size)));
    return output->failed() ? -1 : size;
}

MapOutput::MapOutput(MapExport::Format format, Output *output)
    : device(output)
    , writer(new MapExport::Writer(format, &device))
{
}

MapOutput::MapOutput(const Calculation::Side &plane, int scale, Output *output)
    : device(output)
    , drawing(true)
    , plane(plane)
    , scale(scale)
{
}

MapOutput::~MapOutput() = default;

bool MapOutput::isFormat(const QString &name)
{
    MapExport::Format format;
    return MapExport::parseFormat(name, &format)
        || name.compare(QLatin1String("dxf"), Qt::CaseInsensitive) == 0;
}

void MapOutput::add(const PointRow &converted, const Calculation::Reading &numbers)
{
    bool point = converted.outcome == PointRow::Outcome::Converted;
    if (point && drawing) {
        DxfExport::Point p;
        point = DxfExport::pointOf(plane, converted.name, numbers, &p);
        if (point)
            kept.append(p);
    } else if (point) {
        writer->add(MapExport::pointOf(converted.name, numbers));
    }
    if (point)
        ++written;
    else if (!converted.isEmpty())
        ++skipped;
}

bool MapOutput::finish()
{
    return drawing ? DxfExport::write(&device, kept, scale) : writer->finish();
}

QString MapOutput::summary() const
{
    return (drawing ? QStringLiteral("для CAD: ") : QStringLiteral("для карты: "))
        + MapExport::summary(written, skipped);
}
