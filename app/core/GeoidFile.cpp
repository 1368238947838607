#include "GeoidFile.h"

#include "NumberText.h"

#include <QByteArray>
#include <QFile>

#include <cmath>
#include <cstring>
#include <vector>

namespace GeoidFile {

namespace {

const double degreesPerRadian = 57.29577951308232;

using NumberText::isSpace;

// The next line without its end and without anything from its first zero
// byte on. False at the end of the file.
bool readLine(QFile *file, QByteArray *line)
{
    if (file->atEnd())
        return false;
    *line = file->readLine();
    const char *zero
        = static_cast<const char *>(std::memchr(line->constData(), '\0', size_t(line->size())));
    if (zero)
        line->truncate(int(zero - line->constData()));
    return true;
}

// Six blank-separated numbers, empty parts dropped. The line end stays on the
// sixth part and is ignored there; a tab inside a part makes it no number.
bool readHeader(const QByteArray &line, double numbers[6])
{
    const char *p = line.constData();
    const char *end = p + line.size();
    int count = 0;
    while (p < end) {
        const char *partEnd = static_cast<const char *>(std::memchr(p, ' ', size_t(end - p)));
        if (!partEnd)
            partEnd = end;
        if (partEnd > p) {
            if (count == 6 || !NumberText::read(p, partEnd, &numbers[count]))
                return false;
            ++count;
        }
        p = partEnd + 1;
    }
    return count == 6;
}

// One data line: trimmed, split on tabs with empty parts dropped, exactly
// grid->cols values stored into `row`.
bool readRow(const QByteArray &line, geoid_data *grid, int32_t row)
{
    const char *p = line.constData();
    const char *end = p + line.size();
    while (p < end && isSpace(*p))
        ++p;
    while (end > p && isSpace(end[-1]))
        --end;
    int32_t col = 0;
    while (p < end) {
        const char *partEnd = static_cast<const char *>(std::memchr(p, '\t', size_t(end - p)));
        if (!partEnd)
            partEnd = end;
        if (partEnd > p) {
            float value = 0;
            if (col >= grid->cols || !NumberText::read(p, partEnd, &value)
                || !set_geoid_data_value(grid, row, col, value))
                return false;
            ++col;
        }
        p = partEnd + 1;
    }
    return col == grid->cols;
}

bool readGrid(QFile *file, ::geoid *g)
{
    QByteArray line;
    double header[6];
    if (!readLine(file, &line) || !readHeader(line, header))
        return false;

    geoid_data *grid = &g->grid;
    grid->lat_min = header[0] * degreesPerRadian;
    grid->lat_max = header[1] * degreesPerRadian;
    grid->lon_min = header[2] * degreesPerRadian;
    grid->lon_max = header[3] * degreesPerRadian;
    grid->lat_step = header[4] * degreesPerRadian;
    grid->lon_step = header[5] * degreesPerRadian;
    if (!complete_geoid_data_grid(grid) || !geoid_data_allocate_memory(grid))
        return false;

    // The first data line is the northern edge, the last grid row.
    for (int32_t row = grid->rows - 1; row >= 0; --row) {
        if (!readLine(file, &line) || !readRow(line, grid, row))
            return false;
    }

    invalidate_refsystem(&g->refsys);
    g->refsys.type = KV_TYPE_GEODETIC;
    g->refsys.datum = KV_DATUM_WGS84;
    return true;
}

} // namespace

Result load(const QString &path, ::geoid *g)
{
    invalidate_geoid(g);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result::NotOpened;
    // Line ends are trimmed while reading, so "\r\n" reads like "\n" without
    // the cost of QIODevice::Text.
    if (readGrid(&file, g))
        return Result::Loaded;
    invalidate_geoid(g);
    return Result::Malformed;
}

} // namespace GeoidFile
