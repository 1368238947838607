// Both geoid readers on one arbitrary file; the first byte: after how many progress calls the
// library's load is cancelled (0: never; bit 7: no callback). Where the formats agree, same grid.
#include "GeoidFile.h"
#include "kelvadra.h"
#include "scratch_file.h"

#include <QString>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

int progressCalls;
int cancelAfter;

int progress(double fraction)
{
    require(fraction > 0 && fraction <= 1);
    return cancelAfter != 0 && ++progressCalls >= cancelAfter;
}

bool sameGrid(const geoid_data &a, const geoid_data &b)
{
    return a.rows == b.rows && a.cols == b.cols && a.lat_min == b.lat_min && a.lon_min == b.lon_min
        && a.lat_max == b.lat_max && a.lon_max == b.lon_max && a.lat_step == b.lat_step
        && a.lon_step == b.lon_step
        && std::memcmp(a.values, b.values, sizeof(float) * size_t(a.rows) * size_t(a.cols)) == 0;
}

// The formats agree on lines under 32 768 bytes and data lines with no blank but tabs (the
// program trims a data line, the library reads a blank before a tab as a missing value).
bool readersAgreeOn(const uint8_t *data, size_t size)
{
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = data[i];
        if (c == '\n') {
            if (i - start + 1 > 32767)
                return false;
            start = i + 1;
        } else if (start > 0
            && (c == ' ' || c == '\v' || c == '\f'
                || (c == '\r' && (i + 1 == size || data[i + 1] != '\n')))) {
            return false;
        }
    }
    return size - start + 1 <= 32767;
}

void requireLoadedOrEmpty(bool loaded, geoid &g)
{
    double h = 0;
    if (loaded)
        require(check_geoid(&g)
            && interpolate_geoid_data_value(&g.grid, g.grid.lat_min, g.grid.lon_min, &h));
    else
        require(g.grid.values == nullptr && !check_geoid(&g));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch::create("fuzz_geoid_file");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    cancelAfter = data[0] % 8;
    progressCalls = 0;
    scratch::write(data + 1, size - 1);
    const std::string &path = scratch::path();

    geoid fromLibrary, fromProgram;
    for (geoid *g : {&fromLibrary, &fromProgram}) {
        initialize_null_geoid_data(&g->grid);
        invalidate_refsystem(&g->refsys);
    }
    const bool libraryLoaded
        = load_EGM96(path.c_str(), &fromLibrary, data[0] & 0x80 ? nullptr : progress) != 0;
    const bool cancelled = cancelAfter != 0 && progressCalls >= cancelAfter;
    requireLoadedOrEmpty(libraryLoaded, fromLibrary);
    const GeoidFile::Result result = GeoidFile::load(QString::fromStdString(path), &fromProgram);
    require(result == GeoidFile::Result::Loaded || result == GeoidFile::Result::Malformed);
    requireLoadedOrEmpty(result == GeoidFile::Result::Loaded, fromProgram);
    if (result == GeoidFile::Result::Loaded) {
        require(fromProgram.refsys.type == KV_TYPE_GEODETIC
            && fromProgram.refsys.datum == KV_DATUM_WGS84);
        if (!cancelled)
            require(libraryLoaded ? sameGrid(fromProgram.grid, fromLibrary.grid)
                                  : !readersAgreeOn(data + 1, size - 1));
    }
    invalidate_geoid(&fromLibrary);
    invalidate_geoid(&fromProgram);
    return 0;
}
