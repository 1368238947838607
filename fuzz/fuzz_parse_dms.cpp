// parse_dms_string on arbitrary text under a decimal-comma locale: for digits, points, signs
// and blanks the same result as the "C" locale's "%lf" scans it is meant to reproduce.
#include "kelvadra.h"
#include "kelvadra_internal.h"
#include "scratch_file.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <string>

namespace {

locale_t cLocale;

bool plainNumberText(const std::string &text)
{
    return text.find_first_not_of("0123456789.+- \t\n\v\f\r") == std::string::npos;
}

// The reading rule, with the C library's scanner in the "C" locale.
int referenceParse(const char *text, double *out)
{
    double sign = 1;
    const char *start = text;
    if (const char *minus = std::strchr(text, '-')) {
        sign = -1;
        start = minus + 1;
    }
    double d = 0, m = 0, s = 0;
    const locale_t old = uselocale(cLocale);
    int ok = std::sscanf(start, "%lf %lf %lf", &d, &m, &s) == 3;
    if (!ok)
        ok = std::sscanf(start, "%lf %lf", &d, &m) == 2;
    if (!ok)
        ok = std::sscanf(start, "%lf", &d) == 1;
    uselocale(old);
    if (!ok)
        return 0;
    const double value = (m / 60 + d + s / 3600) * sign;
    if (!std::isfinite(value))
        return 0;
    *out = value;
    return 1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    std::setlocale(LC_ALL, "ru_RU.UTF-8"); // stays "C" when not installed
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size); // NUL-terminated copy
    const double untouched = -1234.5;
    double out = untouched;
    const int ok = parse_dms_string(text.c_str(), &out);
    require(ok ? std::isfinite(out) : std::memcmp(&out, &untouched, sizeof out) == 0);

    if (plainNumberText(text)) {
        double expected = untouched;
        const int expectedOk = referenceParse(text.c_str(), &expected);
        require(ok == expectedOk && (!ok || std::memcmp(&out, &expected, sizeof out) == 0));
    }

    double values[3];
    const int count = kelvadra::scan_doubles(text.c_str(), values, 3);
    require(count >= 0 && count <= 3);
    return 0;
}
