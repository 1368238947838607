// load_EGM96 on arbitrary file contents. Checks: no crash, leak or undefined
// behaviour; a successful load gives a usable geoid whose grid can be read at
// its south-west corner; a failed load leaves the geoid empty. The first byte
// chooses after how many progress calls the load is cancelled (0: never).
#include "kelvadra.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string path;
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
    char name[] = "/tmp/fuzz_load_egm96_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        std::abort();
    close(fd);
    path = name;
    std::atexit([] { unlink(path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    cancelAfter = data[0] % 8;
    progressCalls = 0;
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);

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
