#include "MainWindow.h"

#include "Calculation.h"
#include "Dialogs.h"
#include "GeoidFile.h"
#include "Panel.h"
#include "WaitCursor.h"
#include "WindowKeys.h"
#include "WindowSize.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QSplitter>

namespace {

QString &geoidFilePathOverride()
{
    static QString path;
    return path;
}

// The source rows converted into the target table, failed rows included and
// marked with their reasons, a summary in the status bar, and one warning if
// any row failed.
void finishCalculation(
    const Calculation::Calculator &calculator, const Panel *source, Panel *target)
{
    WaitCursor wait;
    const Calculation::Result result = calculator.run(source->points());
    target->rememberForUndo(MainWindow::tr("пересчет"));
    target->setPoints(result.rows);
    target->markFailedRows(result.failedRows, result.reasons);
    wait.release();
    emit target->signalStatus(result.summary());
    if (result.errors)
        Dialogs::warning(MainWindow::tr("Предупреждение"),
            MainWindow::tr("При пересчете координат произошли ошибки\n"
                           "(см. пустые строки в списке вычисленных координат)"));
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , leftPanel(nullptr)
    , rightPanel(nullptr)
    , geoid()
{
    ui->setupUi(this);

    leftPanel = new Panel(true, this);
    rightPanel = new Panel(false, this);
    leftPanel->setInputRole();
    rightPanel->setOutputRole();

    auto *splitter = new QSplitter(Qt::Horizontal, ui->centralWidget);
    splitter->setChildrenCollapsible(false);
    ui->gridLayout->addWidget(splitter);
    splitter->addWidget(leftPanel);
    splitter->addWidget(rightPanel);

    if (loadGeoid()) {
        leftPanel->addGeoidModel();
        rightPanel->addGeoidModel();
    }
    WindowKeys::install(this);
    WindowSize::setFirstStartSize(this, {leftPanel->table(), rightPanel->table()});
}

MainWindow::~MainWindow()
{
    invalidate_geoid(&geoid);
    delete ui;
}

void MainWindow::setGeoidFilePath(const QString &path)
{
    geoidFilePathOverride() = path;
}

QString MainWindow::geoidFilePath()
{
    const QString &path = geoidFilePathOverride();
    if (!path.isEmpty())
        return path;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/egm96.grd");
}

bool MainWindow::loadGeoid()
{
    initialize_null_geoid_data(&geoid.grid);
    invalidate_geoid(&geoid);
    const QString path = geoidFilePath();
    switch (GeoidFile::load(path, &geoid)) {
    case GeoidFile::Result::Loaded:
        return true;
    case GeoidFile::Result::NotOpened:
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка при загрузке геоида из файла:\n") + path);
        return false;
    case GeoidFile::Result::Malformed:
        break;
    }
    return false;
}

void MainWindow::slotSwap()
{
    const QStringList left = leftPanel->points();
    const QStringList right = rightPanel->points();
    leftPanel->rememberForUndo(tr("обмен списков"));
    rightPanel->rememberForUndo(tr("обмен списков"));
    leftPanel->setPoints(right);
    rightPanel->setPoints(left);
    showStatus(tr("Списки точек поменялись местами"));
}

void MainWindow::showStatus(const QString &text)
{
    ui->statusBar->showMessage(text);
}

void MainWindow::slotCalculate(bool fromLeft)
{
    Panel *source = fromLeft ? leftPanel : rightPanel;
    Panel *target = fromLeft ? rightPanel : leftPanel;
    source->trimTrailingEmptyRows();

    refsystem sourceSystem;
    refsystem targetSystem;
    if (!source->buildRefsystem(&sourceSystem) || !target->buildRefsystem(&targetSystem))
        return;
    // Only a GSK 2011 Gauss-Krüger zone left automatic is accepted incomplete.
    if (check_refsystem(&sourceSystem) && check_refsystem(&targetSystem))
        calculateFixed(source, target);
    else
        calculateAutoZone(source, target);
}

void MainWindow::calculateFixed(Panel *source, Panel *target)
{
    const QString setUpFailed = tr("Ошибка инициализации пересчета координат");
    Calculation::Side from;
    Calculation::Side to;
    if (!source->calculationSide(&from) || !target->calculationSide(&to)) {
        Dialogs::warning(tr("Предупреждение"), setUpFailed);
        return;
    }
    Calculation::Calculator calculator(from, to, &geoid);
    if (!calculator.setUpFixed()) {
        Dialogs::warning(tr("Предупреждение"), setUpFailed);
        return;
    }
    finishCalculation(calculator, source, target);
}

void MainWindow::calculateAutoZone(Panel *source, Panel *target)
{
    Calculation::Side from;
    Calculation::Side to;
    if (!source->calculationSide(&from) || !target->calculationSide(&to)) {
        Dialogs::warning(
            tr("Предупреждение"), tr("Не заданы входная или выходная система координат"));
        return;
    }
    Calculation::Calculator calculator(from, to, &geoid);
    if (!calculator.setUpAutoZone()) {
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка инициализации геоида"));
        return;
    }
    finishCalculation(calculator, source, target);
}
