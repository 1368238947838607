#include "MainWindow.h"

#include "Calculation.h"
#include "Dialogs.h"
#include "DxfExport.h"
#include "GeoidFile.h"
#include "KeyFitDialog.h"
#include "LocalSystemsDialog.h"
#include "MapExport.h"
#include "Panel.h"
#include "Plural.h"
#include "PointTable.h"
#include "Settings.h"
#include "WaitCursor.h"
#include "WindowKeys.h"
#include "WindowSize.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
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

// Each reason of the failed rows, as many as it failed and which (the first ten).
QString failureReasons(const PointRows &rows)
{
    QStringList reasons;
    QVector<QVector<qint64>> listed;
    QVector<qint64> counts;
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r).outcome != PointRow::Outcome::Failed)
            continue;
        int i = reasons.indexOf(rows.at(r).reason);
        if (i < 0) {
            i = reasons.size();
            reasons << rows.at(r).reason;
            listed.append(QVector<qint64>());
            counts.append(0);
        }
        if (listed[i].size() < Calculation::Tally::listed)
            listed[i].append(r + 1);
        ++counts[i];
    }
    QStringList lines;
    for (int i = 0; i < reasons.size(); ++i)
        lines << QStringLiteral("%1: %2 (%3)")
                     .arg(reasons.at(i))
                     .arg(counts.at(i))
                     .arg(Plural::rows(listed.at(i), counts.at(i)));
    return lines.join(QLatin1Char('\n'));
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
    // The file types: the map formats always, a drawing for CAD in the
    // table's own plane coordinates at each scale.
    struct Type
    {
        QString filter;
        bool drawing;
        MapExport::Format format;
        int scale;
    };
    QVector<Type> types {{tr("KML (*.kml)"), false, MapExport::Format::Kml, 0},
        {tr("GPX (*.gpx)"), false, MapExport::Format::Gpx, 0},
        {tr("GeoJSON (*.geojson)"), false, MapExport::Format::GeoJson, 0}};
    const bool plane = DxfExport::isPlane(side);
    for (const int scale : DxfExport::scales) {
        if (plane)
            types.append({tr("DXF для CAD, масштаб 1:%1 (*.dxf)").arg(scale), true,
                MapExport::Format::Kml, scale});
    }
    QStringList filters;
    for (const Type &type : qAsConst(types))
        filters << type.filter;
    QString chosen;
    QString path = Dialogs::saveFileName(this, tr("Экспорт для карты"),
        filters.join(QStringLiteral(";;")), Settings::lastFolder(QStringLiteral("map")), &chosen);
    if (path.isEmpty())
        return;
    Settings::rememberFolder(QStringLiteral("map"), path);
    // The suffix typed decides, then the file type chosen, which adds its suffix.
    Type type = types.first();
    for (const Type &t : qAsConst(types)) {
        if (chosen == t.filter)
            type = t;
    }
    const QString typed = QFileInfo(path).suffix();
    if (typed.compare(QLatin1String("dxf"), Qt::CaseInsensitive) == 0) {
        if (!plane) {
            Dialogs::warning(tr("Предупреждение"),
                tr("DXF для CAD пишется в плоских координатах таблицы, а её система не "
                   "плоская. Выберите для таблицы Гаусса-Крюгера, UTM, проекцию tm: или "
                   "местную систему и пересчитайте точки в неё."));
            return;
        }
        if (!type.drawing)
            type = types.at(3); // 1:500
    } else if (MapExport::parseFormat(typed, &type.format)) {
        type.drawing = false;
    } else {
        path += type.drawing ? QStringLiteral(".dxf")
                             : QLatin1Char('.') + MapExport::suffix(type.format);
        if (QFileInfo::exists(path)
            && !Dialogs::confirm(
                tr("Подтвердите замену"), tr("Файл уже существует:\n%1\nЗаменить его?").arg(path)))
            return;
    }

    WaitCursor wait;
    const PointRows rows = panel->table()->rows();
    MapExport::Converted map;
    QVector<DxfExport::Point> drawing;
    int skipped = 0;
    QString reason;
    if (type.drawing) {
        for (const PointRow &row : rows) {
            DxfExport::Point p;
            if (DxfExport::pointOf(side, row, &p))
                drawing.append(p);
            else if (!row.isEmpty() && skipped++ == 0)
                reason = row.outcome == PointRow::Outcome::Failed
                    ? row.reason
                    : Calculation::reasonText(Calculation::Failure::Invalid);
        }
    } else {
        switch (MapExport::convert(rows, side, type.format, &geoid, &map)) {
        case Calculation::SetUpFailure::None:
            break;
        case Calculation::SetUpFailure::Geoid:
        case Calculation::SetUpFailure::GeoidStep:
            wait.release();
            Dialogs::warning(tr("Предупреждение"),
                tr("Высоты таблицы — над геоидом, а сетка геоида не загружена: файл для карты "
                   "не записан."));
            return;
        case Calculation::SetUpFailure::Transform:
            wait.release();
            Dialogs::warning(tr("Предупреждение"), tr("Ошибка инициализации пересчета координат"));
            return;
        }
        skipped = map.skipped;
        reason = map.firstReason;
    }
    const int written = type.drawing ? drawing.size() : map.points.size();
    const QString what = type.drawing ? tr("Для CAD") : tr("Для карты");
    if (written == 0) {
        // Nothing to show on a map: no file, and the reason.
        wait.release();
        showStatus(tr("%1: нет точек, файл не записан").arg(what));
        Dialogs::warning(tr("Предупреждение"),
            skipped == 0 ? tr("В таблице нет точек: файл не записан.")
                         : tr("Ни одна строка таблицы не дала точки, файл не записан.\n"
                              "Первая строка с координатами: %1.")
                               .arg(reason));
        return;
    }
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok && type.drawing) {
        ok = DxfExport::write(&file, drawing, type.scale);
    } else if (ok) {
        MapExport::Writer writer(type.format, &file);
        for (const MapExport::Point &p : qAsConst(map.points))
            writer.add(p);
        ok = writer.finish();
    }
    if (!ok || !file.commit()) {
        wait.release();
        showStatus(tr("Файл для карты не сохранен"));
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка при сохранении точек в файл:\n") + path);
        return;
    }
    showStatus(tr("%1: %2").arg(what, MapExport::summary(written, skipped))
        + (map.northernAssumed ? tr(" (полушарие не выбрано: точки прочитаны как северные)")
                               : QString()));
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
    target->setResults(result.rows);
    wait.release();
    showStatus(result.summary());
    if (result.errors())
        Dialogs::warning(tr("Предупреждение"),
            tr("При пересчете координат произошли ошибки.\n%1.\n\n%2\n\n"
               "Эти строки в списке вычисленных координат пусты и отмечены красным; "
               "причина — и в подсказке к имени точки.")
                .arg(result.summary(), failureReasons(result.rows)));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Points typed or pasted are nowhere else: they are not dropped without a word.
    for (Panel *panel : {leftPanel, rightPanel}) {
        if (!panel->table()->hasUnsavedInput())
            continue;
        const QString text = panel == leftPanel
            ? tr("Точки, введенные или вставленные в левый список, не сохранены.")
            : tr("Точки, введенные или вставленные в правый список, не сохранены.");
        switch (Dialogs::askSaveChanges(this, tr("Выход"), text + tr("\nСохранить их в файл?"))) {
        case Dialogs::Changes::Save:
            if (panel->save())
                break;
            [[fallthrough]];
        case Dialogs::Changes::Keep:
            event->ignore();
            return;
        case Dialogs::Changes::Discard:
            break;
        }
    }
    event->accept();
}
