// load_EGM96 on arbitrary file contents. Checks: no crash, leak or undefined
// behaviour; a successful load gives a usable geoid whose grid can be read at
// its south-west corner; a failed load leaves the geoid empty. The first byte
// chooses after how many progress calls the load is cancelled (0: never).
#include "kelvadra.h"
#include "scratch_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

int progressCalls;
int cancelAfter;

int progress(double fraction)
{
    if (!(fraction > 0 && fraction <= 1))
        std::abort();
    ++progressCalls;
    return cancelAfter != 0 && progressCalls >= cancelAfter;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch::create("fuzz_load_egm96");
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

    geoid g;
    initialize_null_geoid_data(&g.grid);
    invalidate_refsystem(&g.refsys);
    const int ok = load_EGM96(path.c_str(), &g, data[0] & 0x80 ? nullptr : progress);
    if (ok) {
        if (!check_geoid(&g))
            std::abort();
        double h = 0;
        if (!interpolate_geoid_data_value(&g.grid, g.grid.lat_min, g.grid.lon_min, &h))
            std::abort();
    } else if (g.grid.values != nullptr || check_geoid(&g)) {
        std::abort();
    }
    invalidate_geoid(&g);
    return 0;
}
