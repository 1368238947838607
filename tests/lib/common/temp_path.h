// A temporary file name of this process: each test program runs under two
// locales at once, and the two runs must not write the same file.
#ifndef KELVADRA_TEST_TEMP_PATH_H
#define KELVADRA_TEST_TEMP_PATH_H

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

inline std::string temp_path(const std::string &name)
{
    return testing::TempDir() + std::to_string(::getpid()) + "_" + name;
}

#endif
