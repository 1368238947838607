// Reading the definitions file of many local systems, as every start of the
// window and every msk: run of the converter does; JSON parsing alone beside it.
#include "LocalSystems.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString definitions(int count)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("systems-%1.json").arg(count));
    if (QFile::exists(path))
        return path;
    LocalSystems::Systems systems;
    systems.reserve(count);
    for (int i = 0; i < count; ++i) {
        LocalSystems::System s;
        s.name = QStringLiteral("Система %1").arg(i);
        s.base = i % 2 ? QStringLiteral("gk:sk42:7")
                       : QStringLiteral("tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,"
                                        "fn=-5712900.566");
        s.keys = LocalSystems::System::Keys::Similarity;
        const double keys[] = {-6000000.5, -7000000.25, 0.99999, 0.0001};
        std::copy(keys, keys + 4, s.values);
        s.dh[0] = 12.5;
        systems.append(s);
    }
    QString error;
    if (!LocalSystems::write(path, systems, &error))
        qFatal("%s", qPrintable(error));
    return path;
}

void readDefinitions(benchmark::State &state)
{
    const QString path = definitions(int(state.range(0)));
    LocalSystems::Systems systems;
    QString error;
    for (auto _ : state) {
        if (!LocalSystems::read(path, &systems, &error))
            state.SkipWithError(qPrintable(error));
        benchmark::DoNotOptimize(systems.size());
    }
}
BENCHMARK(readDefinitions)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void parseJsonOnly(benchmark::State &state)
{
    QFile file(definitions(int(state.range(0))));
    file.open(QIODevice::ReadOnly);
    const QByteArray text = file.readAll();
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(text).array().size());
}
BENCHMARK(parseJsonOnly)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
