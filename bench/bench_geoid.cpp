// Geoid benchmarks: loading the shipped EGM96 grid, one bilinear lookup, and
// the height conversions next to the plain transform_coords they are built
// on. Targets on the 2-core build machine: load < 0.5 s, lookup < 20 ns, a
// height conversion no dearer than two transform_coords plus a lookup.
#include "kelvadra_internal.h"

#include <benchmark/benchmark.h>
#include <proj.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The grid is loaded once for all lookup benchmarks and released at exit.
struct LoadedGrid
{
    LoadedGrid()
    {
        initialize_null_geoid_data(&g.grid);
        invalidate_refsystem(&g.refsys);
        ok = load_EGM96(KELVADRA_EGM96_GRD, &g, nullptr) != 0;
    }
    ~LoadedGrid() { invalidate_geoid(&g); }
    geoid g;
    bool ok = false;
};

const LoadedGrid &loaded()
{
    static const LoadedGrid grid;
    return grid;
}

// Points spread over Russia and its neighbours, in WGS 84 degrees.
std::vector<std::array<double, 3>> geodetic_points()
{
    std::vector<std::array<double, 3>> points;
    for (int i = 0; i < 1024; ++i)
        points.push_back(
            {42.0 + (i * 37 % 1000) * 0.03, 20.0 + (i * 53 % 1000) * 0.15, 100.0 + i % 7});
    return points;
}

// The same kind of spread inside SK-42 Gauss-Krüger zone 7 (x north, y east).
std::vector<std::array<double, 3>> zone7_points()
{
    std::vector<std::array<double, 3>> points;
    for (int i = 0; i < 1024; ++i)
        points.push_back({5000000.0 + (i * 37 % 1000) * 2500.0, 7300000.0 + (i * 53 % 1000) * 400.0,
            100.0 + i % 7});
    return points;
}

void BM_LoadEgm96(benchmark::State &state)
{
    for (auto _ : state) {
        geoid g;
        initialize_null_geoid_data(&g.grid);
        if (!load_EGM96(KELVADRA_EGM96_GRD, &g, nullptr)) {
            state.SkipWithError("egm96.grd does not load");
            break;
        }
        benchmark::DoNotOptimize(g.grid.values);
        invalidate_geoid(&g);
    }
}
BENCHMARK(BM_LoadEgm96)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Interpolate(benchmark::State &state)
{
    if (!loaded().ok) {
        state.SkipWithError("egm96.grd does not load");
        return;
    }
    const auto points = geodetic_points();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto &p = points[i++ & 1023];
        double n;
        benchmark::DoNotOptimize(interpolate_geoid_data_value(&loaded().g.grid, p[0], p[1], &n));
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_Interpolate);

// One system against the geoid: transform_coords into WGS 84, then both
// height conversions.
void run_height(benchmark::State &state, const refsystem &user,
    const std::vector<std::array<double, 3>> &points, int which)
{
    if (!loaded().ok) {
        state.SkipWithError("egm96.grd does not load");
        return;
    }
    geoid_transform t;
    if (!initialize_geoid_transform(&user, &loaded().g, &t)) {
        state.SkipWithError("initialize_geoid_transform failed");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        double p[3] = {points[i & 1023][0], points[i & 1023][1], points[i & 1023][2]};
        ++i;
        int ok = 0;
        if (which == 0) {
            ok = transform_coords(p, &t.to_geoid, p);
        } else if (which == 3) {
            // The yardstick of a height conversion: two transform_coords
            // and one lookup, chained as a conversion chains them.
            double g[3], n = 0;
            ok = transform_coords(p, &t.to_geoid, g)
                && interpolate_geoid_data_value(&t.grid, g[0], g[1], &n);
            g[2] += n;
            ok = ok && transform_coords(g, &t.from_geoid, p);
        } else if (which == 1)
            ok = transform_to_geoid(p, &t);
        else
            ok = transform_from_geoid(p, &t);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(p[2]);
    }
}

refsystem wgs84()
{
    refsystem rs;
    setup_geod(KV_DATUM_WGS84, &rs);
    return rs;
}

refsystem sk42_zone7()
{
    refsystem rs;
    setup_sk42(7, KV_HEMISPHERE_NORTH, &rs);
    return rs;
}

void BM_Wgs84_TransformCoords(benchmark::State &s)
{
    run_height(s, wgs84(), geodetic_points(), 0);
}
void BM_Wgs84_TwoTransformsAndLookup(benchmark::State &s)
{
    run_height(s, wgs84(), geodetic_points(), 3);
}
void BM_Wgs84_ToGeoid(benchmark::State &s)
{
    run_height(s, wgs84(), geodetic_points(), 1);
}
void BM_Wgs84_FromGeoid(benchmark::State &s)
{
    run_height(s, wgs84(), geodetic_points(), 2);
}
void BM_Sk42Gk_TransformCoords(benchmark::State &s)
{
    run_height(s, sk42_zone7(), zone7_points(), 0);
}
void BM_Sk42Gk_TwoTransformsAndLookup(benchmark::State &s)
{
    run_height(s, sk42_zone7(), zone7_points(), 3);
}
void BM_Sk42Gk_ToGeoid(benchmark::State &s)
{
    run_height(s, sk42_zone7(), zone7_points(), 1);
}
void BM_Sk42Gk_FromGeoid(benchmark::State &s)
{
    run_height(s, sk42_zone7(), zone7_points(), 2);
}
BENCHMARK(BM_Wgs84_TransformCoords);
BENCHMARK(BM_Wgs84_TwoTransformsAndLookup);
BENCHMARK(BM_Wgs84_ToGeoid);
BENCHMARK(BM_Wgs84_FromGeoid);
BENCHMARK(BM_Sk42Gk_TransformCoords);
BENCHMARK(BM_Sk42Gk_TwoTransformsAndLookup);
BENCHMARK(BM_Sk42Gk_ToGeoid);
BENCHMARK(BM_Sk42Gk_FromGeoid);

// PROJ's vertical grid shift on the source grid, for scale.
void BM_ProjVgridshift(benchmark::State &state)
{
    PJ_CONTEXT *ctx = proj_context_create();
    proj_log_level(ctx, PJ_LOG_NONE);
    PJ *pj = proj_create(ctx, "+proj=vgridshift +grids=/usr/share/proj/egm96_15.gtx +multiplier=1");
    if (!pj) {
        proj_context_destroy(ctx);
        state.SkipWithError("PROJ cannot open egm96_15.gtx");
        return;
    }
    const auto points = geodetic_points();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto &p = points[i++ & 1023];
        PJ_COORD c = proj_coord(proj_torad(p[1]), proj_torad(p[0]), p[2], 0);
        benchmark::DoNotOptimize(proj_trans(pj, PJ_FWD, c));
    }
    proj_destroy(pj);
    proj_context_destroy(ctx);
}
BENCHMARK(BM_ProjVgridshift);

} // namespace

BENCHMARK_MAIN();
