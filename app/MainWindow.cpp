#include "MainWindow.h"

#include "Calculation.h"
#include "Dialogs.h"
#include "GeoidFile.h"
#include "KeyFitDialog.h"
#include "LocalSystemsDialog.h"
#include "MapExport.h"
#include "Panel.h"
#include "PointTable.h"
#include "Settings.h"
#include "WaitCursor.h"
#include "WindowKeys.h"
#include "WindowSize.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QSplitter>

namespace {

QString &geoidFilePathOverride()
{
    static QString path;
    return path;
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
    for (Panel *panel : {leftPanel, rightPanel}) {
        connect(panel, &Panel::signalCalculate, this, &MainWindow::slotCalculate);
        connect(panel, &Panel::signalSwap, this, &MainWindow::slotSwap);
        connect(panel, &Panel::signalStatus, this, &MainWindow::showStatus);
        connect(panel, &Panel::signalEditLocalSystems, this, &MainWindow::slotEditLocalSystems);
        connect(panel, &Panel::signalExportMap, this, &MainWindow::slotExportMap);
        connect(panel, &Panel::signalFitKeys, this, &MainWindow::slotFitKeys);
    }

    auto *splitter = new QSplitter(Qt::Horizontal, ui->centralWidget);
    splitter->setChildrenCollapsible(false);
    ui->gridLayout->addWidget(splitter);
    splitter->addWidget(leftPanel);
    splitter->addWidget(rightPanel);

    if (loadGeoid()) {
        leftPanel->addGeoidModel();
        rightPanel->addGeoidModel();
    }
    loadLocalSystems();
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

void MainWindow::loadLocalSystems()
{
    QString error;
    systemsReadable = LocalSystems::read(LocalSystems::defaultPath(), &systems, &error);
    if (!systemsReadable)
        Dialogs::warning(tr("Предупреждение"),
            tr("Местные системы не загружены: %1.\nИсправьте файл; программа его не изменит.")
                .arg(error));
    leftPanel->setLocalSystems(&systems);
    rightPanel->setLocalSystems(&systems);
}

void MainWindow::slotEditLocalSystems()
{
    if (!systemsReadable) {
        Dialogs::warning(tr("Предупреждение"),
            tr("Файл местных систем содержит ошибку и не будет перезаписан:\n%1")
                .arg(LocalSystems::defaultPath()));
        return;
    }
    const auto *panel = qobject_cast<const Panel *>(sender());
    LocalSystemsDialog dialog(
        systems, panel ? panel->choices().localName : QString(), LocalSystems::defaultPath(), this);
    if (dialog.exec() != QDialog::Accepted)
        return; // the dialog wrote the file, or nothing
    systems = dialog.systems();
    leftPanel->setLocalSystems(&systems);
    rightPanel->setLocalSystems(&systems);
    showStatus(tr("Местные системы сохранены"));
}

void MainWindow::slotFitKeys()
{
    // The input panel's system is the likely base when it is a plane one.
    // One dialog for the window's life, so its lists are there when it opens again.
    if (!keyFit)
        keyFit = new KeyFitDialog(systems, LocalSystems::defaultPath(), systemsReadable,
            SystemName::format(leftPanel->choices()), this);
    else
        keyFit->setSystems(systems, systemsReadable);
    keyFit->exec();
    if (!keyFit->savedSystems())
        return;
    systems = keyFit->systems();
    leftPanel->setLocalSystems(&systems);
    rightPanel->setLocalSystems(&systems);
    showStatus(tr("Местные системы сохранены"));
}

void MainWindow::slotSwap()
{
    PointTable *left = leftPanel->table();
    PointTable *right = rightPanel->table();
    const PointRows leftRows = left->rows();
    const PointRows rightRows = right->rows();
    left->rememberForUndo(tr("обмен списков"));
    right->rememberForUndo(tr("обмен списков"));
    left->setRows(rightRows);
    right->setRows(leftRows);
    showStatus(tr("Списки точек поменялись местами"));
}

void MainWindow::slotExportMap()
{
    const auto *panel = qobject_cast<const Panel *>(sender());
    if (!panel)
        return;
    Calculation::Side side;
    if (!panel->calculationSide(&side)) {
        Dialogs::warning(tr("Предупреждение"),
            tr("Система координат таблицы не выбрана: выберите её, затем экспортируйте."));
        return;
    }
    const QString filters[] = {tr("KML (*.kml)"), tr("GPX (*.gpx)"), tr("GeoJSON (*.geojson)")};
    const MapExport::Format formats[]
        = {MapExport::Format::Kml, MapExport::Format::Gpx, MapExport::Format::GeoJson};
    QString chosen;
    QString path = Dialogs::saveFileName(this, tr("Экспорт для карты"),
        QStringList(std::begin(filters), std::end(filters)).join(QStringLiteral(";;")),
        Settings::lastFolder(QStringLiteral("map")), &chosen);
    if (path.isEmpty())
        return;
    Settings::rememberFolder(QStringLiteral("map"), path);
    // The suffix typed decides, then the file type chosen, which adds its suffix.
    MapExport::Format format = formats[0];
    if (!MapExport::parseFormat(QFileInfo(path).suffix(), &format)) {
        for (int i = 0; i < 3; ++i) {
            if (chosen == filters[i])
                format = formats[i];
        }
        path += QLatin1Char('.') + MapExport::suffix(format);
        if (QFileInfo::exists(path)
            && !Dialogs::confirm(
                tr("Подтвердите замену"), tr("Файл уже существует:\n%1\nЗаменить его?").arg(path)))
            return;
    }
    WaitCursor wait;
    QByteArray document;
    int written = 0;
    int skipped = 0;
    if (!MapExport::exportRows(
            panel->table()->rows(), side, format, &geoid, &document, &written, &skipped)) {
        wait.release();
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка инициализации пересчета координат"));
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size()
        || !file.commit()) {
        wait.release();
        showStatus(tr("Файл для карты не сохранен"));
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка при сохранении точек в файл:\n") + path);
        return;
    }
    showStatus(tr("Для карты: %1").arg(MapExport::summary(written, skipped)));
}

void MainWindow::showStatus(const QString &text)
{
    ui->statusBar->showMessage(text);
}

void MainWindow::slotCalculate(bool fromLeft)
{
    Panel *source = fromLeft ? leftPanel : rightPanel;
    Panel *target = fromLeft ? rightPanel : leftPanel;
    source->table()->trimTrailingEmptyRows();

    Calculation::Side from;
    Calculation::Side to;
    if (!source->calculationSide(&from) || !target->calculationSide(&to)) {
        // Only a local system can be chosen and still not be one: none defined yet.
        if (source->systemKind() == SystemKind::Local || target->systemKind() == SystemKind::Local)
            Dialogs::warning(tr("Предупреждение"),
                tr("Местная система не выбрана: добавьте её кнопкой «...» рядом со списком "
                   "систем."));
        return;
    }
    const Calculation::Calculator calculator(from, to, &geoid);
    switch (calculator.setUpFailure()) {
    case Calculation::SetUpFailure::None:
        break;
    case Calculation::SetUpFailure::Geoid:
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка инициализации геоида"));
        return;
    case Calculation::SetUpFailure::GeoidStep:
    case Calculation::SetUpFailure::Transform:
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка инициализации пересчета координат"));
        return;
    }

    WaitCursor wait;
    const Calculation::Result result = calculator.run(source->table()->rows());
    target->table()->rememberForUndo(tr("пересчет"));
    target->table()->setRows(result.rows);
    wait.release();
    showStatus(result.summary());
    if (result.errors())
        Dialogs::warning(tr("Предупреждение"),
            tr("При пересчете координат произошли ошибки\n"
               "(см. пустые строки в списке вычисленных координат)"));
}
