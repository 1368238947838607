#include "MapOutput.h"

void MapOutput::add(const QByteArray &lines)
{
    // A written row reads back as the same row (PointRow); one that failed
    // or held no point has blank coordinates and is skipped.
    PointRows batch;
    int start = 0;
    while (start < lines.size()) {
        int end = lines.indexOf('\n', start);
        if (end < 0)
            end = lines.size();
        PointRow row
            = PointRow::fromLine(QString::fromUtf8(lines.constData() + start, end - start));
        row.outcome = PointRow::Outcome::Converted;
        batch.append(row);
        start = end + 1;
    }
    int notPoints = 0;
    list += MapExport::points(batch, &notPoints);
    skipped += notPoints;
}

QString MapOutput::summary() const
{
    return QStringLiteral("для карты: ") + MapExport::summary(list.size(), skipped);
}
