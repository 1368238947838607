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

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include <memory>

namespace {

const int rowCount = 100000;

QStringList gaussKrugerRows(bool someFail = false)
{
    QStringList rows;
    rows.reserve(rowCount);
    for (int i = 0; i < rowCount; ++i) {
        const double northing = 6100000.0 + (i % 1000) * 100.125;
        const double easting
            = (someFail && i % 10 == 0 ? 400000.0 : 7400000.0) + (i / 1000) * 2000.5;
        rows.append(QStringLiteral("P%1; %2; %3; %4")
                        .arg(i)
                        .arg(northing, 0, 'f', 3)
                        .arg(easting, 0, 'f', 3)
                        .arg(100.0 + i % 50, 0, 'f', 3));
    }
    return rows;
}

std::unique_ptr<MainWindow> makeWindow(bool geoidHeights)
{
    MainWindow::setGeoidFilePath(QStringLiteral(KELVADRA_EGM96_GRD));
    auto window = std::make_unique<MainWindow>();
    Panel *left = window->inputPanel();
    left->findChild<QComboBox *>(QStringLiteral("comboBoxType"))->setCurrentIndex(1);
    left->findChild<QComboBox *>(QStringLiteral("comboBoxDatum"))->setCurrentIndex(0); // Пулково 42
    left->findChild<QCheckBox *>(QStringLiteral("checkBoxAutoZone"))->setChecked(false);
    left->findChild<QSpinBox *>(QStringLiteral("spinBoxZone"))->setValue(7);
    if (geoidHeights)
        window->outputPanel()
            ->findChild<QComboBox *>(QStringLiteral("comboBoxGeoid"))
            ->setCurrentIndex(1);
    return window;
}

void runThroughWindow(benchmark::State &state, bool geoidHeights, bool someFail = false)
{
    auto window = makeWindow(geoidHeights);
    if (geoidHeights && window->outputPanel()->geoidIndex() != 1) {
        state.SkipWithError("egm96.grd did not load");
        return;
    }
    const QStringList rows = gaussKrugerRows(someFail);
    window->inputPanel()->setPoints(rows);
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
    source.systemType = 3;
    Calculation::Side target;
    setup_geod(KV_DATUM_WGS84, &target.system);
    target.systemType = 2;
    target.dmsUnits = true;
    Calculation::Calculator calculator(source, target, nullptr);
    if (!calculator.setUpFixed()) {
        state.SkipWithError("no transform");
        return;
    }
    const QStringList rows = gaussKrugerRows();
    for (auto _ : state)
        benchmark::DoNotOptimize(calculator.run(rows));
    state.SetItemsProcessed(state.iterations() * rowCount);
}

// Reading and refilling a table alone.
void BM_TableRoundTrip(benchmark::State &state)
{
    auto window = makeWindow(false);
    const QStringList rows = gaussKrugerRows();
    window->inputPanel()->setPoints(rows);
    for (auto _ : state) {
        const QStringList read = window->inputPanel()->points();
        window->outputPanel()->setPoints(read);
    }
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
