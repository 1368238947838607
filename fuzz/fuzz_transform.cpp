// Systems of any content and points through the chain; transform records come from
// initialize_transform only, as the interface has them filled.
#include "kelvadra.h"
#include "scratch_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

const int kDatums[] = {42, 95, 84, 90, 9002, 9011, 2011, 2008};

int pickDatum(FuzzedDataProvider &in)
{
    if (in.ConsumeIntegralInRange(0, 7) == 0)
        return in.ConsumeIntegral<int>(); // unknown codes and 0
    return kDatums[in.ConsumeIntegralInRange<size_t>(0, 7)];
}

double pickDouble(FuzzedDataProvider &in)
{
    static const double special[] = {std::nan(""), HUGE_VAL, -HUGE_VAL, DBL_MAX, -0.0};
    switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
        return in.ConsumeFloatingPoint<double>(); // any finite value
    case 4:
        return special[in.ConsumeIntegralInRange<size_t>(0, 4)];
    case 1:
        return in.ConsumeFloatingPointInRange(-90.0, 90.0);
    case 2:
        return in.ConsumeFloatingPointInRange(-1e7, 1e7);
    default:
        return in.ConsumeFloatingPointInRange(-180.0, 360.0);
    }
}

void pickRefsystem(FuzzedDataProvider &in, refsystem *r)
{
    invalidate_refsystem(r);
    const unsigned zone = in.ConsumeIntegralInRange(0u, 62u);
    const int hemisphere = in.ConsumeIntegralInRange(-1, 3);
    using ZoneSetup = int (*)(unsigned, int, refsystem *);
    static const ZoneSetup zones[] = {setup_sk42, setup_sk95, setup_gsk2011, setup_utm};
    const int kind = in.ConsumeIntegralInRange(0, 9);
    if (kind < 2) {
        (kind ? setup_geod : setup_geoc)(pickDatum(in), r);
    } else if (kind == 2) {
        const double origin[3] = {in.ConsumeFloatingPointInRange(-1.6, 1.6),
            in.ConsumeFloatingPointInRange(-3.2, 3.2), pickDouble(in)};
        setup_lsr(pickDatum(in), origin, r);
    } else if (kind < 7) {
        zones[kind - 3](zone, hemisphere, r);
    } else if (kind == 7) {
        setup_gk(pickDatum(in), zone, hemisphere, r);
    } else if (kind == 8) {
        // An automatic zone completed from a point, as the program does.
        setup_sk42(0, hemisphere, r);
        const double point[3] = {pickDouble(in), pickDouble(in), pickDouble(in)};
        if (in.ConsumeBool())
            initialize_gk6_from_latlon(point, r);
        else
            initialize_gk6_from_xy(point, r);
    } else {
        // Any record at all: the chain must refuse what it cannot use.
        const bool wide = in.ConsumeBool();
        r->type = wide ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange(-1, 6);
        r->datum = pickDatum(in);
        for (double &o : r->origin)
            o = pickDouble(in);
        r->zone = wide ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange(-1, 61);
        r->hemisphere = wide ? in.ConsumeIntegral<int32_t>() : hemisphere;
        r->projection
            = {pickDouble(in), pickDouble(in), pickDouble(in), pickDouble(in), pickDouble(in)};
        r->axis_order = wide ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange(0, 3);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    refsystem from, to;
    pickRefsystem(in, &from);
    pickRefsystem(in, &to);
    const bool checked = in.ConsumeBool();
    if (checked && !(check_refsystem(&from) && check_refsystem(&to)))
        return 0;
    refsystem fromCopy, toCopy; // byte copies, padding included
    std::memcpy(&fromCopy, &from, sizeof from);
    std::memcpy(&toCopy, &to, sizeof to);
    transform t;
    std::memset(&t, 0x5a, sizeof t);
    const int initialized = initialize_transform(&from, &to, &t);
    require(std::memcmp(&from, &fromCopy, sizeof from) == 0
        && std::memcmp(&to, &toCopy, sizeof to) == 0);

    while (in.remaining_bytes() > 0) {
        const double point[3] = {pickDouble(in), pickDouble(in), pickDouble(in)};
        const double untouched[3] = {-1.5, -2.5, -3.5};
        double out[3] = {-1.5, -2.5, -3.5};
        const int ok = transform_coords(point, &t, out);
        require(ok ? std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2])
                   : std::memcmp(out, untouched, sizeof out) == 0);
        const bool finite
            = std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2]);
        require(initialized || !finite || (ok && std::memcmp(out, point, sizeof out) == 0));
        double inPlace[3] = {point[0], point[1], point[2]};
        const int okInPlace = transform_coords(inPlace, &t, inPlace);
        require(okInPlace == ok && (!ok || std::memcmp(inPlace, out, sizeof out) == 0));
    }
    return 0;
}
