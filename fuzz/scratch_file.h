// What the fuzz targets share: a check that fails the run (the fuzzer then
// keeps the input) and, for the readers that take a path, one scratch file per
// process, made at start-up, rewritten with every input, removed at exit.
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
    std::string name = std::string("/tmp/") + stem + "_XXXXXX";
    const int fd = mkstemp(name.data());
    require(fd >= 0);
    close(fd);
    path() = name;
    std::atexit([] { unlink(path().c_str()); });
}

inline void write(const uint8_t *data, size_t size)
{
    std::FILE *f = std::fopen(path().c_str(), "wb");
    require(f != nullptr);
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

} // namespace scratch

#endif // FUZZ_SCRATCH_FILE_H
