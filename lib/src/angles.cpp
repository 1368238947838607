// Angle utilities: range reductions and the reader of a degrees-minutes-seconds
// text. The constants and the order of operations are those of the reference
// implementation of ГОСТ 32453-2017 conversions, so results agree bit for bit.
//
// Departures: parse_dms_string refuses a NULL pointer and a value that is not
// finite; normalize_positive_longitude_deg maps a result that rounds up to
// 360 (e.g. -1e-20 + 360) to 0 and reduces longitudes from 1e15 on, whose
// quotient by 360 may round to a wrong number of turns, by the exact
// remainder, keeping the promised range [0, 360) for every finite input.
#include "kelvadra_internal.h"

#include <cmath>
#include <cstring>

using namespace kelvadra;

extern "C" {

KELVADRA_API double normalize_positive_longitude_deg(double x)
{
    // From 1e15 on every double is a whole number of degrees and the quotient
    // by 360 below may round to a wrong number of turns (-8.68e17 gave -128):
    // the remainder, exact for every double, instead.
    if (std::fabs(x) >= 1e15) {
        x = std::fmod(x, 360.0);
        return x < 0.0 ? x + 360.0 : x + 0.0; // + 0.0: -0 becomes 0
    }
    if (x >= 360.0)
        x = x - std::floor(x / 360.0) * 360.0;
    else if (x < 0.0)
        x = x + std::ceil(-x / 360.0) * 360.0;
    // Below 2e-321 the quotient itself underflows to 0 turns.
    if (x < 0.0)
        x += 360.0;
    // A tiny negative longitude plus 360 rounds to 360 itself.
    if (x >= 360.0)
        x = 0.0;
    return x;
}

KELVADRA_API int parse_dms_string(const char *text, double *out)
{
    if (!text || !out)
        return 0;

    // A minus sign anywhere negates the whole angle; reading restarts after it.
    double sign = 1.0;
    const char *start = text;
    if (const char *minus = std::strchr(text, '-')) {
        sign = -1.0;
        start = minus + 1;
    }

    // Three, then two, then one number from the same start: the values read
    // are the same, so one scan of up to three numbers gives every reading.
    double v[3] = {0.0, 0.0, 0.0};
    const int n = scan_doubles(start, v, 3);
    if (n == 0)
        return 0;
    const double d = v[0];
    const double m = n >= 2 ? v[1] : 0.0;
    const double s = n >= 3 ? v[2] : 0.0;

    const double value = (m / 60.0 + d + s / 3600.0) * sign;
    if (!std::isfinite(value))
        return 0;
    *out = value;
    return 1;
}

} // extern "C"
