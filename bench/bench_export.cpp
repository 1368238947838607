// Writing a table's points: a DXF drawing and the map documents of 100 000 points, into
// memory, so that only the writers are timed (the conversion is bench_calculate's).
#include "DxfExport.h"
#include "MapExport.h"

#include <QBuffer>

#include <benchmark/benchmark.h>

namespace {

const int pointCount = 100000;

// Names as surveys have them: Cyrillic, numbered.
QString name(int i)
{
    return QStringLiteral("Пункт %1").arg(i);
}

void BM_Dxf(benchmark::State &state)
{
    QVector<DxfExport::Point> points;
    for (int i = 0; i < pointCount; ++i)
        points.append(
            {name(i), 7413462.197 + i * 0.25, 6181692.0 + i * 0.5, 145.0 + i * 1e-3, true});
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        benchmark::DoNotOptimize(DxfExport::write(&buffer, points, 500));
        state.counters["bytes"] = double(buffer.size());
    }
    state.SetItemsProcessed(state.iterations() * pointCount);
}
BENCHMARK(BM_Dxf)->Unit(benchmark::kMillisecond);

void BM_Map(benchmark::State &state)
{
    const auto format = MapExport::Format(state.range(0));
    QVector<MapExport::Point> points;
    for (int i = 0; i < pointCount; ++i)
        points.append({name(i), 55.75 + i * 1e-6, 37.62 + i * 1e-6, 150.0, true});
    for (auto _ : state)
        benchmark::DoNotOptimize(MapExport::write(format, points));
    state.SetItemsProcessed(state.iterations() * pointCount);
}
BENCHMARK(BM_Map)
    ->Arg(int(MapExport::Format::Kml))
    ->Arg(int(MapExport::Format::Gpx))
    ->Arg(int(MapExport::Format::GeoJson))
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
