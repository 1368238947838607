// Time per point of transform_coords_array on six conversions (the
// library's array call, as proj_trans_generic is PROJ's), and of PROJ's
// proj_trans_generic on the same conversions with the same parameters, in
// one run. Run with tools/bench.sh (Release build); the table at the end
// gives nanoseconds per point (CPU time, best of ten repetitions), the ratio
// PROJ / kelvadra and whether it meets its target.
//
// The repetitions of all contenders run in random interleaved order (one
// repetition of one contender at a time), so a build starting on the shared
// machine halfway through slows both sides alike instead of favouring one.
//
// The PROJ pipelines use the coordinate-frame Helmert form through PZ 90.11
// (two steps where the library composes them into one) and tmerc's default
// algorithm: for the general Transverse Mercator the library's own method
// (Krüger's series to n^6), for the national zone series the exact
// projection whose accuracy (0.25 mm) they match. Every conversion with a
// projection is timed against tmerc +approx as well, PROJ's quickest, in a
// second column.
#include "kelvadra.h"

#include <benchmark/benchmark.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kPoints = 1024;

struct Conversion
{
    const char *key;
    const char *title;
    refsystem in, out;
    std::string proj;           // the reference pipeline
    std::string projApprox;     // with tmerc +approx throughout, when that differs
    std::vector<double> points; // input points, three doubles each
};

// Degrees, in the library's argument order.
void fill_geodetic(Conversion &c, double latMin, double latMax, double lonMin, double lonMax)
{
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> lat(latMin, latMax), lon(lonMin, lonMax),
        h(-50.0, 2500.0);
    for (int i = 0; i < kPoints; ++i) {
        c.points.push_back(lat(random));
        c.points.push_back(lon(random));
        c.points.push_back(h(random));
    }
}

// Input plane points made by the library itself from geodetic points on the
// input datum, so both contenders start from the same coordinates.
void fill_plane(Conversion &c)
{
    Conversion geod;
    fill_geodetic(geod, 50.0, 62.0, 36.3, 41.7);
    refsystem g;
    setup_geod(c.in.datum, &g);
    transform t;
    initialize_transform(&g, &c.in, &t);
    c.points.resize(3 * kPoints);
    for (int i = 0; i < kPoints; ++i)
        transform_coords(&geod.points[3 * i], &t, &c.points[3 * i]);
}

const char *kSk42ToHub = " +step +proj=helmert +convention=coordinate_frame +x=23.557 +y=-140.844"
                         " +z=-79.778 +rx=-0.0023 +ry=-0.34646 +rz=-0.79421 +s=-0.228";
const char *kHubToWgs84 = " +step +proj=helmert +convention=coordinate_frame +x=0.013 +y=-0.106"
                          " +z=-0.022 +rx=0.0023 +ry=-0.00354 +rz=0.00421 +s=0.008";
const char *kGsk2011ToHub = " +step +proj=helmert +convention=coordinate_frame +x=0 +y=0.014"
                            " +z=-0.008 +rx=-0.000562 +ry=-0.000019 +rz=0.000053 +s=-0.0006";
const char *kKrass = " +a=6378245 +rf=298.3";
const char *kWgs84 = " +a=6378137 +rf=298.257223563";
const char *kGsk = " +a=6378136.5 +rf=298.2564151";
const char *kDegIn
    = " +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg +xy_out=rad";
const char *kDegOut
    = " +step +proj=unitconvert +xy_in=rad +xy_out=deg +step +proj=axisswap +order=2,1";

const char *kZone7 = " +lat_0=0 +lon_0=39 +k_0=1 +x_0=7500000 +y_0=0";
const char *kZone8 = " +lat_0=0 +lon_0=45 +k_0=1 +x_0=8500000 +y_0=0";
const char *kExact = " +proj=tmerc";
const char *kApprox = " +proj=tmerc +approx";

std::vector<Conversion> &conversions()
{
    static std::vector<Conversion> all = [] {
        const std::string pipeline = "+proj=pipeline";
        std::vector<Conversion> v(6);

        Conversion &a = v[0];
        a.key = "a";
        a.title = "geodetic SK-42 -> geodetic WGS 84";
        setup_geod(KV_DATUM_PULKOVO42, &a.in);
        setup_geod(KV_DATUM_WGS84, &a.out);
        a.proj = pipeline + kDegIn + " +step +proj=cart" + kKrass + kSk42ToHub + kHubToWgs84
            + " +step +inv +proj=cart" + kWgs84 + kDegOut;
        fill_geodetic(a, 42.0, 75.0, 20.0, 180.0);

        Conversion &b = v[1];
        b.key = "b";
        b.title = "geodetic WGS 84 -> UTM zone 37N";
        setup_geod(KV_DATUM_WGS84, &b.in);
        setup_utm(37, 1, &b.out);
        for (const char *tmerc : {kExact, kApprox}) {
            (tmerc == kExact ? b.proj : b.projApprox) = pipeline + kDegIn + " +step" + tmerc
                + " +lat_0=0 +lon_0=39 +k_0=0.9996 +x_0=500000 +y_0=0" + kWgs84;
        }
        fill_geodetic(b, 42.0, 75.0, 36.0, 42.0);

        Conversion &c = v[2];
        c.key = "c";
        c.title = "geodetic SK-42 -> SK-42 GK zone 7 (type 4)";
        setup_geod(KV_DATUM_PULKOVO42, &c.in);
        setup_sk42(7, 1, &c.out);
        for (const char *tmerc : {kExact, kApprox}) {
            (tmerc == kExact ? c.proj : c.projApprox) = pipeline + kDegIn + " +step" + tmerc
                + kZone7 + kKrass + " +step +proj=axisswap +order=2,1";
        }
        fill_geodetic(c, 42.0, 75.0, 36.0, 42.0);

        Conversion &d = v[3];
        d.key = "d";
        d.title = "GSK 2011 GK zone 7 (type 5) -> geodetic WGS 84";
        setup_gsk2011(7, 1, &d.in);
        setup_geod(KV_DATUM_WGS84, &d.out);
        for (const char *tmerc : {kExact, kApprox}) {
            (tmerc == kExact ? d.proj : d.projApprox) = pipeline
                + " +step +proj=axisswap +order=2,1 +step +inv" + tmerc + kZone7 + kGsk
                + " +step +proj=cart" + kGsk + kGsk2011ToHub + kHubToWgs84
                + " +step +inv +proj=cart" + kWgs84 + kDegOut;
        }
        fill_plane(d);

        Conversion &e = v[4];
        e.key = "e";
        e.title = "SK-42 zone 7 -> SK-42 zone 8 (type 4)";
        setup_sk42(7, 1, &e.in);
        setup_sk42(8, 1, &e.out);
        for (const char *tmerc : {kExact, kApprox}) {
            (tmerc == kExact ? e.proj : e.projApprox) = pipeline
                + " +step +proj=axisswap +order=2,1 +step +inv" + tmerc + kZone7 + kKrass + " +step"
                + tmerc + kZone8 + kKrass + " +step +proj=axisswap +order=2,1";
        }
        fill_plane(e);

        // The Python module's second case, for its overhead over the library.
        Conversion &f = v[5];
        f.key = "f";
        f.title = "SK-42 GK zone 7 (type 4) -> geodetic WGS 84";
        setup_sk42(7, 1, &f.in);
        setup_geod(KV_DATUM_WGS84, &f.out);
        for (const char *tmerc : {kExact, kApprox}) {
            (tmerc == kExact ? f.proj : f.projApprox) = pipeline
                + " +step +proj=axisswap +order=2,1 +step +inv" + tmerc + kZone7 + kKrass
                + " +step +proj=cart" + kKrass + kSk42ToHub + kHubToWgs84 + " +step +inv +proj=cart"
                + kWgs84 + kDegOut;
        }
        fill_plane(f);
        return v;
    }();
    return all;
}

void BM_kelvadra(benchmark::State &state)
{
    const Conversion &c = conversions()[state.range(0)];
    transform t;
    if (!initialize_transform(&c.in, &c.out, &t)) {
        state.SkipWithError("initialize_transform failed");
        return;
    }
    std::vector<double> out(3 * kPoints);
    for (auto _ : state) {
        transform_coords_array(c.points.data(), kPoints, &t, out.data(), nullptr);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
    state.SetLabel(c.key);
}

void run_proj(benchmark::State &state, const Conversion &c, const std::string &definition)
{
    PJ *pj = proj_create(PJ_DEFAULT_CTX, definition.c_str());
    if (!pj) {
        state.SkipWithError("proj_create failed");
        return;
    }
    std::vector<double> work(3 * kPoints);
    const size_t stride = 3 * sizeof(double);
    for (auto _ : state) {
        // PROJ converts in place: the copy (about 1 ns a point) is part of
        // its price here.
        work = c.points;
        proj_trans_generic(pj, PJ_FWD, &work[0], stride, kPoints, &work[1], stride, kPoints,
            &work[2], stride, kPoints, nullptr, 0, 0);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
    state.SetLabel(c.key);
    proj_destroy(pj);
}

void BM_proj(benchmark::State &state)
{
    const Conversion &c = conversions()[state.range(0)];
    run_proj(state, c, c.proj);
}

void BM_proj_approx(benchmark::State &state)
{
    const Conversion &c = conversions()[state.range(0)];
    run_proj(state, c, c.projApprox);
}

BENCHMARK(BM_kelvadra)->DenseRange(0, 5)->Repetitions(10)->MinTime(0.05);
BENCHMARK(BM_proj)->DenseRange(0, 5)->Repetitions(10)->MinTime(0.05);
BENCHMARK(BM_proj_approx)->DenseRange(1, 5)->Repetitions(10)->MinTime(0.05);

// Console output as usual, plus the nanoseconds per point of every run.
class Collector : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            // Single runs, or the medians when only aggregates are reported.
            const bool usable = run.run_type == Run::RT_Iteration
                || (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median");
            if (run.error_occurred || run.iterations == 0 || !usable)
                continue;
            // CPU time, and the best of the repetitions: the machine is shared
            // and other processes only ever add time.
            const double seconds = run.cpu_accumulated_time / double(run.iterations);
            const double ns = seconds * 1e9 / kPoints;
            const std::string name = run.benchmark_name();
            auto &table = name.rfind("BM_proj_approx", 0) == 0 ? approxNs
                : name.rfind("BM_proj", 0) == 0                ? projNs
                                                               : libNs;
            auto &best = table[run.report_label];
            if (best == 0.0 || ns < best)
                best = ns;
        }
    }
    std::map<std::string, double> libNs, projNs, approxNs;
};

// Largest distance in millimetres between the library's and PROJ's results
// on the benchmark points: the two sides must compute the same conversion.
double largest_difference_mm(const Conversion &c)
{
    transform t;
    PJ *pj = proj_create(PJ_DEFAULT_CTX, c.proj.c_str());
    if (!pj || !initialize_transform(&c.in, &c.out, &t)) {
        if (pj)
            proj_destroy(pj);
        return -1.0;
    }
    std::vector<double> work = c.points;
    const size_t stride = 3 * sizeof(double);
    proj_trans_generic(pj, PJ_FWD, &work[0], stride, kPoints, &work[1], stride, kPoints, &work[2],
        stride, kPoints, nullptr, 0, 0);
    proj_destroy(pj);
    const bool geodetic = c.out.type == KV_TYPE_GEODETIC;
    double largest = 0.0;
    for (int i = 0; i < kPoints; ++i) {
        double q[3];
        if (!transform_coords(&c.points[3 * i], &t, q))
            return -1.0;
        // Degrees to metres, roughly, for geodetic results.
        const double scale = geodetic ? 111000.0 : 1.0;
        const double dx = (q[0] - work[3 * i]) * scale;
        const double dy = (q[1] - work[3 * i + 1]) * scale * (geodetic ? 0.6 : 1.0);
        const double dz = q[2] - work[3 * i + 2];
        largest = std::max(largest, std::sqrt(dx * dx + dy * dy + dz * dz) * 1000.0);
    }
    return largest;
}

} // namespace

int main(int argc, char **argv)
{
    // Interleaved unless the command line says otherwise (a later flag wins).
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    argc = int(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    // Against tmerc's default algorithm.
    const double targetRatio[] = {6.0, 6.0, 6.0, 4.5, 4.0, 0.0}; // 0: none
    const double targetNs[] = {150.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    std::printf("\n%-4s %-47s %9s %9s %7s %9s %7s  %-20s %-4s %s\n", "", "conversion, ns/point",
        "kelvadra", "PROJ", "ratio", "+approx", "ratio", "target", "met", "agree (mm)");
    for (int i = 0; i < 6; ++i) {
        const Conversion &c = conversions()[i];
        const auto lib = collector.libNs.find(c.key);
        const auto proj = collector.projNs.find(c.key);
        if (lib == collector.libNs.end() || proj == collector.projNs.end())
            continue;
        char approx[40] = "        -       -";
        const auto fast = collector.approxNs.find(c.key);
        if (fast != collector.approxNs.end())
            std::snprintf(
                approx, sizeof approx, "%9.1f %6.2fx", fast->second, fast->second / lib->second);
        char target[40] = "-";
        if (targetRatio[i] > 0) {
            int used = std::snprintf(target, sizeof target, ">= %.1fx", targetRatio[i]);
            if (targetNs[i] > 0)
                std::snprintf(target + used, sizeof target - used, ", <= %.0f ns", targetNs[i]);
        }
        const double ratio = proj->second / lib->second;
        const bool met
            = ratio >= targetRatio[i] && (targetNs[i] == 0 || lib->second <= targetNs[i]);
        std::printf("(%s)  %-47s %9.1f %9.1f %6.2fx %s  %-20s %-4s %.3f\n", c.key, c.title,
            lib->second, proj->second, ratio, approx, target,
            targetRatio[i] > 0 ? (met ? "yes" : "NO") : "-", largest_difference_mm(c));
    }
    benchmark::Shutdown();
    return 0;
}
