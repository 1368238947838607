// The program's geoid reader on arbitrary file contents. Checks: no crash,
// leak or undefined behaviour; Loaded gives a usable WGS 84 geoid whose grid
// can be read at its south-west corner; anything else leaves the geoid empty.
// What this reader loads the library's reader loads into the same grid, where
// the two formats agree.
#include "GeoidFile.h"
#include "kelvadra.h"
#include "scratch_file.h"

#include <QString>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool sameGrid(const geoid_data &a, const geoid_data &b)
{
    if (a.rows != b.rows || a.cols != b.cols || a.lat_min != b.lat_min || a.lon_min != b.lon_min
        || a.lat_max != b.lat_max || a.lon_max != b.lon_max || a.lat_step != b.lat_step
        || a.lon_step != b.lon_step)
        return false;
    return std::memcmp(a.values, b.values, sizeof(float) * size_t(a.rows) * size_t(a.cols)) == 0;
}

// Content both readers must load alike once the program's reader has: every
// line shorter than 32 768 bytes with its line end, and no blank but tabs in
// the data lines. The program trims a data line before splitting it on tabs,
// while the library takes a blank-only part before the first tab for a value
// that is missing; both are as intended.
bool readersAgreeOn(const uint8_t *data, size_t size)
{
    size_t start = 0;
    bool header = true;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = data[i];
        if (c == '\n') {
            if (i - start + 1 > 32767)
                return false;
            start = i + 1;
            header = false;
        } else if (!header
            && (c == ' ' || c == '\v' || c == '\f'
                || (c == '\r' && (i + 1 == size || data[i + 1] != '\n')))) {
            return false;
        }
    }
    return size - start + 1 <= 32767;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch::create("fuzz_geoid_file");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    scratch::write(data, size);
    const std::string &path = scratch::path();

    geoid g;
    initialize_null_geoid_data(&g.grid);
    invalidate_refsystem(&g.refsys);
    const GeoidFile::Result result = GeoidFile::load(QString::fromStdString(path), &g);
    if (result == GeoidFile::Result::Loaded) {
        double h = 0;
        require(check_geoid(&g) && g.refsys.type == KV_TYPE_GEODETIC
            && g.refsys.datum == KV_DATUM_WGS84
            && interpolate_geoid_data_value(&g.grid, g.grid.lat_min, g.grid.lon_min, &h));
        geoid fromLibrary;
        initialize_null_geoid_data(&fromLibrary.grid);
        invalidate_refsystem(&fromLibrary.refsys);
        const int ok = load_EGM96(path.c_str(), &fromLibrary, nullptr);
        require(ok ? sameGrid(g.grid, fromLibrary.grid) : !readersAgreeOn(data, size));
        invalidate_geoid(&fromLibrary);
    } else {
        require(
            result == GeoidFile::Result::Malformed && g.grid.values == nullptr && !check_geoid(&g));
    }
    invalidate_geoid(&g);
    return 0;
}
