#include "MapOutput.h"

void MapOutput::add(const PointRow &row)
{
    // A row that failed or held no point is skipped.
    int notPoints = 0;
    list += MapExport::points(PointRows {row}, &notPoints);
    skipped += notPoints;
}

QString MapOutput::summary() const
{
    return QStringLiteral("для карты: ") + MapExport::summary(list.size(), skipped);
}
