// gtx2grd: converts a world geoid grid in GTX layout (such as EGM96's
// egm96_15.gtx from proj-data) into the grid text format the library and the
// program load (egm96.grd).
//
// GTX: a 40-byte big-endian header of four doubles (south latitude, west
// longitude, latitude step, longitude step, degrees) and two int32 (rows,
// columns), then rows x columns big-endian floats, southernmost row first,
// each row from west to east.
//
// The output covers latitudes -90..90 and longitudes -180..360, wrapping the
// source's columns around the globe, so that a longitude in either -180..180
// or 0..360 finds a value without any wrap-around in the lookup. Its header
// holds the edges and steps in radians, chosen so that the loaders' factor
// 57.29577951308232 gives back the exact degrees; rows follow northernmost
// first, values separated by single tabs in the shortest text that reads back
// as the identical float.
//
// Usage: gtx2grd <in.gtx> <out.grd>. The output is written under a temporary
// name and renamed at the end, so a failed run leaves no partial file.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232; // the loaders' factor
constexpr double kSouth = -90.0, kNorth = 90.0, kWest = -180.0, kEast = 360.0;
constexpr std::size_t kMaxLine = 32767; // line end included
constexpr std::size_t kHeaderSize = 40;

struct gtx_grid
{
    double south, west, lat_step, lon_step; // degrees
    int32_t rows, cols;
    std::vector<float> values; // row-major, row 0 southernmost
};

bool fail(const std::string &message)
{
    std::fprintf(stderr, "gtx2grd: %s\n", message.c_str());
    return false;
}

uint64_t read_be(const unsigned char *p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

double be_double(const unsigned char *p)
{
    const uint64_t bits = read_be(p, 8);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

float be_float(const unsigned char *p)
{
    const uint32_t bits = uint32_t(read_be(p, 4));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool read_gtx(const char *path, gtx_grid *grid)
{
    std::FILE *f = std::fopen(path, "rb");
    if (!f)
        return fail(std::string("cannot open ") + path);
    std::vector<unsigned char> data;
    unsigned char block[1 << 16];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0)
        data.insert(data.end(), block, block + got);
    const bool read_error = std::ferror(f) != 0;
    std::fclose(f);
    if (read_error)
        return fail(std::string("cannot read ") + path);
    if (data.size() < kHeaderSize)
        return fail(std::string(path) + ": too short for a GTX header");

    grid->south = be_double(&data[0]);
    grid->west = be_double(&data[8]);
    grid->lat_step = be_double(&data[16]);
    grid->lon_step = be_double(&data[24]);
    grid->rows = int32_t(uint32_t(read_be(&data[32], 4)));
    grid->cols = int32_t(uint32_t(read_be(&data[36], 4)));
    if (!std::isfinite(grid->south) || !std::isfinite(grid->west)
        || !(grid->lat_step > 0.0 && grid->lat_step < 180.0)
        || !(grid->lon_step > 0.0 && grid->lon_step < 360.0) || grid->rows < 2 || grid->cols < 2
        || grid->rows > 100000 || grid->cols > 100000)
        return fail(std::string(path) + ": not a GTX header");
    const std::size_t count = std::size_t(grid->rows) * std::size_t(grid->cols);
    if (data.size() != kHeaderSize + 4 * count)
        return fail(std::string(path) + ": size does not match its header");

    grid->values.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        grid->values[i] = be_float(&data[kHeaderSize + 4 * i]);
        if (!std::isfinite(grid->values[i]))
            return fail(std::string(path) + ": a value is not finite");
    }
    return true;
}

// Whole number of steps from `from` to `to`; false when `to` is off the lattice.
bool steps_between(double from, double to, double step, long *steps)
{
    const double n = (to - from) / step;
    const double rounded = std::round(n);
    if (!(std::fabs(n - rounded) < 1e-9) || std::fabs(rounded) > 1e9)
        return false;
    *steps = long(rounded);
    return true;
}

// Radians whose product with the loaders' factor is `degrees` exactly when
// such a double lies next to the quotient; otherwise the nearest one.
double radians_for(double degrees)
{
    const double guess = degrees / kDegreesPerRadian;
    double r = guess;
    for (int i = 0; i < 8 && r * kDegreesPerRadian != degrees; ++i)
        r = std::nextafter(r, r * kDegreesPerRadian < degrees ? HUGE_VAL : -HUGE_VAL);
    return r * kDegreesPerRadian == degrees ? r : guess;
}

void append_double(std::string *out, double x)
{
    char text[32];
    const auto res = std::to_chars(text, text + sizeof text, x);
    out->append(text, res.ptr);
}

void append_float(std::string *out, float x)
{
    char text[32];
    const auto res = std::to_chars(text, text + sizeof text, x);
    out->append(text, res.ptr);
}

// The header as the loaders read it: each number back to degrees, the counts
// rounded, and the edges on nodes within a thousandth of a step.
bool header_reads_back(const std::string &header, int32_t rows, int32_t cols)
{
    double v[6];
    const char *p = header.data();
    const char *end = header.data() + header.size();
    for (double &x : v) {
        while (p < end && *p == ' ')
            ++p;
        const auto res = std::from_chars(p, end, x);
        if (res.ec != std::errc())
            return false;
        x *= kDegreesPerRadian;
        p = res.ptr;
    }
    const double lat_rows = std::trunc(std::fabs((v[1] - v[0]) / v[4] + 0.5) + 1);
    const double lon_cols = std::trunc(std::fabs((v[3] - v[2]) / v[5] + 0.5) + 1);
    return lat_rows == rows && lon_cols == cols
        && std::fabs(v[4] * (rows - 1) + v[0] - v[1]) < 0.001 * v[4]
        && std::fabs(v[5] * (cols - 1) + v[2] - v[3]) < 0.001 * v[5];
}

bool write_grd(const gtx_grid &src, const std::string &path)
{
    // Output lattice: the source's steps over -90..90 and -180..360.
    long first_row, last_row, circle, west_offset, out_cols;
    if (!steps_between(src.south, kSouth, src.lat_step, &first_row)
        || !steps_between(src.south, kNorth, src.lat_step, &last_row) || first_row != 0
        || last_row != src.rows - 1)
        return fail("the source does not cover latitudes -90..90 row by row");
    if (!steps_between(0.0, 360.0, src.lon_step, &circle)
        || !steps_between(src.west, kWest, src.lon_step, &west_offset)
        || !steps_between(kWest, kEast, src.lon_step, &out_cols) || src.cols < circle)
        return fail("the source does not cover all longitudes on a lattice through -180");
    const int32_t rows = src.rows;
    const int32_t cols = int32_t(out_cols + 1);

    // Source column of every output column, wrapped around the globe.
    std::vector<int32_t> source_col(cols);
    for (int32_t j = 0; j < cols; ++j) {
        long k = west_offset + j;
        if (k < 0 || k >= src.cols)
            k = ((k % circle) + circle) % circle;
        source_col[j] = int32_t(k);
    }

    std::string header;
    const double edges[6] = {kSouth, kNorth, kWest, kEast, src.lat_step, src.lon_step};
    for (int i = 0; i < 6; ++i) {
        if (i)
            header += ' ';
        append_double(&header, radians_for(edges[i]));
    }
    if (!header_reads_back(header, rows, cols))
        return fail("the header does not read back as the grid it describes");
    header += '\n';

    const std::string temporary = path + ".part";
    std::FILE *f = std::fopen(temporary.c_str(), "wb");
    if (!f)
        return fail("cannot create " + temporary);
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    std::string line;
    for (int32_t r = rows - 1; ok && r >= 0; --r) {
        line.clear();
        const float *row = &src.values[std::size_t(r) * std::size_t(src.cols)];
        for (int32_t j = 0; j < cols; ++j) {
            if (j)
                line += '\t';
            append_float(&line, row[source_col[j]]);
        }
        line += '\n';
        if (line.size() > kMaxLine) {
            std::fclose(f);
            std::remove(temporary.c_str());
            return fail("a grid row does not fit in a 32 767-byte line");
        }
        ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    }
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return fail("cannot write " + path);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: gtx2grd <in.gtx> <out.grd>\n");
        return 2;
    }
    gtx_grid grid;
    if (!read_gtx(argv[1], &grid) || !write_grd(grid, argv[2]))
        return 1;
    return 0;
}
