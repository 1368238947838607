// Reading a geoid grid file (egm96.grd) into a geoid.
//
// Format: a header line of six numbers in radians (south, north, west, east,
// latitude step, longitude step), then one line per grid row, northernmost
// first, of tab-separated heights in metres from west to east. Every line,
// its line end included, fits in 32 767 bytes.
//
// The file is read in large blocks and split into lines in memory; numbers are
// read with "." as the decimal point in every locale. Departures from a plain
// fgets/sscanf reader: a line too long for 32 767 bytes fails instead of being
// read on as the next row, and a height that is not finite fails the load.
#include "kelvadra_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Longest line, line end included, that a grid file may hold.
constexpr std::size_t kMaxLine = 32767;
// Read size: large enough that the per-call cost of fread vanishes.
constexpr std::size_t kBlock = std::size_t(1) << 20;

constexpr double kDegreesPerRadian = 57.29577951308232;

struct file_closer
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};

enum class line_result { ok, end, too_long, error };

// Splits a file into zero-terminated lines inside its own buffer. A line's
// text stays valid until the next call.
class line_reader
{
public:
    explicit line_reader(std::FILE *file)
        : file_(file)
        , buffer_(new (std::nothrow) char[kBlock + 1])
    {
    }

    bool usable() const { return buffer_ != nullptr; }

    line_result next(char **line)
    {
        for (;;) {
            char *start = buffer_.get() + begin_;
            const std::size_t available = end_ - begin_;
            char *newline = static_cast<char *>(std::memchr(start, '\n', available));
            if (newline) {
                const std::size_t length = std::size_t(newline - start) + 1;
                if (length > kMaxLine)
                    return line_result::too_long;
                *newline = '\0';
                begin_ += length;
                *line = start;
                return line_result::ok;
            }
            if (available > kMaxLine)
                return line_result::too_long;
            if (at_eof_) {
                if (available == 0)
                    return line_result::end;
                // The last line without a line end.
                buffer_[end_] = '\0';
                begin_ = end_;
                *line = start;
                return line_result::ok;
            }
            std::memmove(buffer_.get(), start, available);
            begin_ = 0;
            end_ = available;
            const std::size_t got = std::fread(buffer_.get() + end_, 1, kBlock - end_, file_);
            if (got == 0) {
                if (std::ferror(file_))
                    return line_result::error;
                at_eof_ = true;
            }
            end_ += got;
        }
    }

private:
    std::FILE *file_;
    std::unique_ptr<char[]> buffer_; // kBlock bytes plus room for a final '\0'
    std::size_t begin_ = 0;          // first unread byte
    std::size_t end_ = 0;            // one past the last byte read
    bool at_eof_ = false;
};

// Header: six numbers separated by any white space; text after them is ignored.
bool read_header(char *line, geoid_data *grid)
{
    double v[6];
    if (kelvadra::scan_doubles(line, v, 6) < 6)
        return false;
    grid->lat_min = v[0] * kDegreesPerRadian;
    grid->lat_max = v[1] * kDegreesPerRadian;
    grid->lon_min = v[2] * kDegreesPerRadian;
    grid->lon_max = v[3] * kDegreesPerRadian;
    grid->lat_step = v[4] * kDegreesPerRadian;
    grid->lon_step = v[5] * kDegreesPerRadian;
    return true;
}

// One grid row: the first `cols` tab-separated fields; runs of tabs count as
// one separator, fields after the last column are ignored.
bool read_row(char *line, geoid_data *grid, int32_t row)
{
    char *p = line;
    for (int32_t col = 0; col < grid->cols; ++col) {
        while (*p == '\t')
            ++p;
        if (*p == '\0')
            return false;
        char *field_end = p;
        while (*field_end != '\0' && *field_end != '\t')
            ++field_end;
        const bool more = *field_end == '\t';
        // The number must come from this field alone, not from the next one.
        *field_end = '\0';
        const char *number_end = nullptr;
        float value;
        if (!kelvadra::scan_float(p, &number_end, &value) || !std::isfinite(value)
            || !set_geoid_data_value(grid, row, col, value))
            return false;
        p = more ? field_end + 1 : field_end;
    }
    return true;
}

bool read_grid(const char *path, geoid *g, geoid_progress_fn progress)
{
    std::unique_ptr<std::FILE, file_closer> file(std::fopen(path, "rb"));
    if (!file)
        return false;
    line_reader reader(file.get());
    if (!reader.usable())
        return false;

    char *line = nullptr;
    if (reader.next(&line) != line_result::ok || !read_header(line, &g->grid))
        return false;
    if (!complete_geoid_data_grid(&g->grid) || !geoid_data_allocate_memory(&g->grid))
        return false;

    const int32_t rows = g->grid.rows;
    for (int32_t k = 1; k <= rows; ++k) {
        if (progress && progress(double(k) / double(rows)) != 0)
            return false;
        if (reader.next(&line) != line_result::ok || !read_row(line, &g->grid, rows - k))
            return false;
    }
    return true;
}

} // namespace

extern "C" KELVADRA_API int load_EGM96(const char *path, geoid *g, geoid_progress_fn progress)
{
    if (!g)
        return 0;
    // Whatever array g held is not ours to release: the caller invalidates first.
    initialize_null_geoid_data(&g->grid);
    invalidate_geoid_data(&g->grid);
    invalidate_refsystem(&g->refsys);

    if (!path || !read_grid(path, g, progress)) {
        invalidate_geoid_data(&g->grid);
        invalidate_refsystem(&g->refsys);
        return 0;
    }
    invalidate_refsystem(&g->refsys);
    g->refsys.type = KV_TYPE_GEODETIC;
    g->refsys.datum = KV_DATUM_WGS84;
    return 1;
}
