// The calculation through the window, as a person starts it: 100 000 rows in
// the left table (SK-42 Gauss-Krüger zone 7) converted into the right one
// (WGS 84 geodetic, degrees-minutes-seconds), with ellipsoidal heights and
// with EGM96 heights on the output side; and with every tenth row failing (an
// easting without its zone number), so that reasons and marks are filled. Each run reads the left
// table, converts every row and refills the right table. The parts are measured apart too, to show
// where the time goes; and the window's start-up with the shipped grid.
#include "Calculation.h"
#include "Dialogs.h"
#include "MainWindow.h"
#include "Panel.h"
#include "PointTable.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>

#include <memory>

namespace {

const int rowCount = 100000;

PointRows gaussKrugerRows(bool someFail = false)
{
    PointRows rows(rowCount);
    for (int i = 0; i < rowCount; ++i) {
        const double northing = 6100000.0 + (i % 1000) * 100.125;
        const double easting
            = (someFail && i % 10 == 0 ? 400000.0 : 7400000.0) + (i / 1000) * 2000.5;
        PointRow &row = rows[i];
        row.name = QStringLiteral("P%1").arg(i);
        row.coordinates[0] = QString::number(northing, 'f', 3);
        row.coordinates[1] = QString::number(easting, 'f', 3);
        row.coordinates[2] = QString::number(100.0 + i % 50, 'f', 3);
    }
    return rows;
}

void choose(Panel *panel, const char *system)
{
    SystemName::Choices choices;
    QString error;
    SystemName::parse(QLatin1String(system), panel->isInputOnly(), &choices, &error);
    panel->setChoices(choices);
}

std::unique_ptr<MainWindow> makeWindow(bool geoidHeights)
{
    MainWindow::setGeoidFilePath(QStringLiteral(KELVADRA_EGM96_GRD));
    auto window = std::make_unique<MainWindow>();
    choose(window->inputPanel(), "gk:sk42:7");
    if (geoidHeights)
        choose(window->outputPanel(), "geod:wgs84+egm96");
    return window;
}

void runThroughWindow(benchmark::State &state, bool geoidHeights, bool someFail = false)
{
    auto window = makeWindow(geoidHeights);
    if (geoidHeights && !window->outputPanel()->geoidHeights()) {
        state.SkipWithError("egm96.grd did not load");
        return;
    }
    window->inputPanel()->table()->setRows(gaussKrugerRows(someFail));
    int warnings = 0;
    Dialogs::setAnswerer([&warnings](const Dialogs::Request &) {
        ++warnings;
        return Dialogs::Answer();
    });
    for (auto _ : state) {
        window->slotCalculate(true);
        benchmark::DoNotOptimize(window->outputPanel()->table()->rowCount());
    }
    Dialogs::setAnswerer(Dialogs::Answerer());
    const QTableWidget *out = window->outputPanel()->table();
    if (warnings != (someFail ? int(state.iterations()) : 0) || out->rowCount() != rowCount
        || out->item(0, 0)->toolTip().isEmpty() != !someFail)
        state.SkipWithError("the calculation did not report the failed rows as expected");
    state.SetItemsProcessed(state.iterations() * rowCount);
}

void BM_WindowEllipsoidalHeights(benchmark::State &state)
{
    runThroughWindow(state, false);
}

void BM_WindowGeoidHeights(benchmark::State &state)
{
    runThroughWindow(state, true);
}

void BM_WindowTenthFailing(benchmark::State &state)
{
    runThroughWindow(state, false, true);
}

// The conversion alone, without either table.
void BM_ConversionOnly(benchmark::State &state)
{
    Calculation::Side source;
    setup_sk42(7, KV_HEMISPHERE_NORTH, &source.system);
    source.kind = SystemKind::GaussKruger;
    Calculation::Side target;
    setup_geod(KV_DATUM_WGS84, &target.system);
    target.kind = SystemKind::Geodetic;
    target.dmsUnits = true;
    const Calculation::Calculator calculator(source, target, nullptr);
    if (calculator.setUpFailure() != Calculation::SetUpFailure::None) {
        state.SkipWithError("no transform");
        return;
    }
    const PointRows rows = gaussKrugerRows();
    for (auto _ : state)
        benchmark::DoNotOptimize(calculator.run(rows));
    state.SetItemsProcessed(state.iterations() * rowCount);
}

// Reading and refilling a table alone.
void BM_TableRoundTrip(benchmark::State &state)
{
    auto window = makeWindow(false);
    window->inputPanel()->table()->setRows(gaussKrugerRows());
    for (auto _ : state)
        window->outputPanel()->table()->setRows(window->inputPanel()->table()->rows());
    state.SetItemsProcessed(state.iterations() * rowCount);
}

// Building the window, including reading the shipped grid, and showing it.
void BM_WindowStartUp(benchmark::State &state)
{
    if (!QFile::exists(QStringLiteral(KELVADRA_EGM96_GRD))) {
        state.SkipWithError("egm96.grd has not been built");
        return;
    }
    MainWindow::setGeoidFilePath(QStringLiteral(KELVADRA_EGM96_GRD));
    for (auto _ : state) {
        MainWindow window;
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.geoidRecord()->grid.values);
    }
}

} // namespace

BENCHMARK(BM_WindowEllipsoidalHeights)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WindowGeoidHeights)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WindowTenthFailing)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ConversionOnly)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_TableRoundTrip)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WindowStartUp)->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char **argv)
{
    // No display is needed to measure.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
