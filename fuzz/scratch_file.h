// One scratch file per fuzz process, for the readers that take a path: made
// at start-up, rewritten with every input, removed at exit.
#ifndef FUZZ_SCRATCH_FILE_H
#define FUZZ_SCRATCH_FILE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

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
    if (fd < 0)
        std::abort();
    close(fd);
    path() = name;
    std::atexit([] { unlink(path().c_str()); });
}

inline void write(const uint8_t *data, size_t size)
{
    std::FILE *f = std::fopen(path().c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

} // namespace scratch

#endif // FUZZ_SCRATCH_FILE_H
