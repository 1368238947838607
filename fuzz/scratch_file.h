// What the fuzz targets share: a failing check, and one scratch file per process for readers.
#ifndef FUZZ_SCRATCH_FILE_H
#define FUZZ_SCRATCH_FILE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline void require(bool ok)
{
    if (!ok)
        std::abort();
}

namespace scratch {

inline std::string &path()
{
    static std::string name;
    return name;
}

inline void create(const char *stem)
{
    path() = std::string("/tmp/") + stem + "_XXXXXX";
    const int fd = mkstemp(path().data());
    require(fd >= 0 && close(fd) == 0);
    std::atexit([] { unlink(path().c_str()); });
}

inline void write(const uint8_t *data, size_t size)
{
    std::FILE *f = std::fopen(path().c_str(), "wb");
    require(f && std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0);
}

} // namespace scratch

#endif // FUZZ_SCRATCH_FILE_H
