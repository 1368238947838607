// Helpers shared by the library's suites.
#ifndef KELVADRA_TEST_UTIL_H
#define KELVADRA_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <unistd.h>

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Bit for bit: tells -0 from 0 and compares NaNs.
inline bool same_bits(const double *a, const double *b, int n = 1)
{
    return std::memcmp(a, b, n * sizeof(double)) == 0;
}

inline std::string file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A file of this process (the two locale runs go at once), removed at scope end.
struct TempFile
{
    const std::string path = testing::TempDir() + std::to_string(::getpid()) + "_kelvadra.tmp";
    ~TempFile() { std::remove(path.c_str()); }
    const std::string &write(const std::string &bytes) const
    {
        return std::ofstream(path, std::ios::binary) << bytes, path;
    }
};

#endif
