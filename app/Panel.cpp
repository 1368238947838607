#include "Panel.h"
#include "ui_Panel.h"

#include "Calculation.h"
#include "CellText.h"
#include "CoordinateDelegate.h"
#include "Dialogs.h"
#include "MainWindow.h"
#include "PointsFile.h"
#include "Settings.h"
#include "SystemName.h"
#include "TableClipboard.h"
#include "WaitCursor.h"
#include "WindowSize.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTableWidgetItem>

namespace {

// Panel system type code per comboBoxType index.
const int kSystemTypes[] = {Calculation::geodeticType, Calculation::gaussKrugerType,
    Calculation::utmType, Calculation::geocentricType};

// Datum codes offered per panel system type, in list order.
QVector<int> datumsFor(int systemType)
{
    switch (systemType) {
    case Calculation::geocentricType:
    case Calculation::geodeticType:
        return {84, 42, 95, 90, 9002, 9011, 2011, 2008};
    case Calculation::gaussKrugerType:
        return {42, 95, 2011};
    case Calculation::utmType:
        return {84};
    default:
        return {};
    }
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

Panel::Panel(bool left, QWidget *parent)
    : QFrame(parent)
    , ui(new Ui::Panel)
    , left(left)
    , inputRole(true)
    , outputRole(true)
{
    ui->setupUi(this);
    ui->tableWidgetPoints->setItemDelegate(new CoordinateDelegate(ui->tableWidgetPoints));
    // A paste or a cut is one step of undo, like the commands that replace rows.
    connect(new TableClipboard(ui->tableWidgetPoints), &TableClipboard::aboutToChange, this,
        &Panel::rememberForUndo);
    WindowSize::keepColumnsFitted(ui->tableWidgetPoints);

    updateDatumList();
    updateHeaders();
    updateEnabledState();

    connect(ui->comboBoxType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &Panel::slotUpdateUi);
    connect(ui->comboBoxDatum, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &Panel::slotDatumSelected);
    connect(ui->checkBoxAutoZone, &QCheckBox::stateChanged, this, &Panel::slotAutoZoneClicked);
    connect(ui->checkBoxAutoHemisphere, &QCheckBox::stateChanged, this,
        &Panel::slotAutoHemisphereClicked);
    connect(ui->pushButtonLoad, &QPushButton::clicked, this, &Panel::slotLoad);
    connect(ui->pushButtonSave, &QPushButton::clicked, this, &Panel::slotSave);
    connect(ui->pushButtonClear, &QPushButton::clicked, this, &Panel::slotClear);
    connect(ui->pushButtonCalculate, &QPushButton::clicked, this, &Panel::slotCalculate);
    connect(ui->pushButtonAbout, &QPushButton::clicked, this, &Panel::slotAbout);

    if (auto *window = qobject_cast<MainWindow *>(parent)) {
        connect(this, &Panel::signalCalculate, window, &MainWindow::slotCalculate);
        connect(this, &Panel::signalSwap, window, &MainWindow::slotSwap);
        connect(this, &Panel::signalStatus, window, &MainWindow::showStatus);
    }
}

Panel::~Panel()
{
    delete ui;
}

// ---- roles and the reference-system controls

void Panel::keepSystemBoxSize()
{
    // Both panels keep full-height system boxes after widgets are hidden; the
    // width follows what each shows, so the window can be narrower.
    adjustSize();
    // The form's own size was laid out first; lay the children out again at
    // the natural size, or the box would keep the form's narrower width and
    // clip its captions.
    layout()->invalidate();
    layout()->activate();
    ui->groupBoxRefSystem->setFixedHeight(ui->groupBoxRefSystem->height());
}

void Panel::setInputRole()
{
    keepSystemBoxSize();
    ui->groupBoxAngularUnit->hide();
    ui->groupBoxLongitudeRange->hide();
    ui->checkBoxAutoHemisphere->hide();
    ui->pushButtonAbout->hide();
    inputRole = true;
    outputRole = false;
}

void Panel::setOutputRole()
{
    keepSystemBoxSize();
    ui->pushButtonLoad->setEnabled(false);
    ui->pushButtonLoad->setFixedWidth(0);
    ui->pushButtonLoad->hide();
    ui->pushButtonCalculate->hide();
    WindowSize::wrapWhenNarrow(ui->groupBoxRefSystem, ui->gridLayout_2,
        {ui->groupBoxCommon, ui->groupBoxAngularUnit, ui->groupBoxHemisphere,
            ui->groupBoxLongitudeRange, ui->groupBoxZone});
    inputRole = false;
    outputRole = true;
}

void Panel::addGeoidModel()
{
    ui->comboBoxGeoid->addItem(tr("EGM96"));
}

int Panel::systemType() const
{
    const int index = ui->comboBoxType->currentIndex();
    if (index < 0 || index > 3)
        return 0;
    return kSystemTypes[index];
}

int Panel::datumCode() const
{
    return datumCodes.value(ui->comboBoxDatum->currentIndex(), 0);
}

int Panel::geoidIndex() const
{
    return ui->comboBoxGeoid->currentIndex();
}

bool Panel::isDmsUnits() const
{
    return systemType() == Calculation::geodeticType && ui->radioButtonDMS->isChecked();
}

bool Panel::isDecimalDegrees() const
{
    return systemType() == Calculation::geodeticType && ui->radioButtonDegrees->isChecked();
}

bool Panel::isUnsignedLongitude() const
{
    return systemType() == Calculation::geodeticType
        && ui->radioButtonUnsignedLongitude->isChecked();
}

QString Panel::datumName(int code)
{
    switch (code) {
    case 84:
        return tr("WGS 84");
    case 42:
        return tr("Пулково 42");
    case 95:
        return tr("Пулково 95");
    case 90:
        return tr("ПЗ 90");
    case 9002:
        return tr("ПЗ 90.02");
    case 9011:
        return tr("ПЗ 90.11");
    case 2011:
        return tr("ГСК 2011");
    case 2008:
        return tr("ITRF 2008");
    default:
        return QString();
    }
}

void Panel::updateDatumList()
{
    QComboBox *combo = ui->comboBoxDatum;
    combo->blockSignals(true);
    const int remembered = datumCode();
    datumCodes.clear();
    combo->clear();

    const QVector<int> codes = datumsFor(systemType());
    for (int i = 0; i < codes.size(); ++i)
        datumCodes.insert(i, codes.at(i));

    int selected = 0;
    for (auto it = datumCodes.cbegin(); it != datumCodes.cend(); ++it) {
        if (it.value() == remembered)
            selected = combo->count();
        combo->addItem(datumName(it.value()));
    }
    combo->blockSignals(false);
    // The only step that may emit currentIndexChanged: when the kept datum
    // is not the first of the new list.
    combo->setCurrentIndex(selected);
}

void Panel::updateEnabledState()
{
    const bool outputOnly = outputRole && !inputRole;
    switch (systemType()) {
    case Calculation::geodeticType:
        ui->groupBoxAngularUnit->setEnabled(true);
        ui->groupBoxLongitudeRange->setEnabled(true);
        ui->groupBoxZone->setEnabled(false);
        ui->groupBoxHemisphere->setEnabled(false);
        ui->comboBoxGeoid->setEnabled(true);
        break;
    case Calculation::gaussKrugerType:
        ui->groupBoxAngularUnit->setEnabled(false);
        ui->groupBoxLongitudeRange->setEnabled(false);
        ui->groupBoxZone->setEnabled(true);
        ui->checkBoxAutoZone->setChecked(true);
        ui->checkBoxAutoZone->setEnabled(true);
        ui->spinBoxZone->setEnabled(false);
        if (outputOnly) {
            ui->checkBoxAutoHemisphere->setEnabled(true);
            ui->checkBoxAutoHemisphere->setChecked(true);
        } else {
            ui->checkBoxAutoHemisphere->setEnabled(false);
            ui->checkBoxAutoHemisphere->setChecked(false);
        }
        ui->groupBoxHemisphere->setEnabled(true);
        ui->comboBoxGeoid->setEnabled(true);
        break;
    case Calculation::utmType:
        ui->groupBoxAngularUnit->setEnabled(false);
        ui->groupBoxLongitudeRange->setEnabled(false);
        ui->groupBoxZone->setEnabled(true);
        ui->spinBoxZone->setEnabled(true);
        ui->checkBoxAutoZone->setEnabled(false);
        ui->checkBoxAutoZone->setChecked(false);
        ui->checkBoxAutoHemisphere->setEnabled(false);
        ui->checkBoxAutoHemisphere->setChecked(false);
        ui->groupBoxHemisphere->setEnabled(true);
        ui->comboBoxGeoid->setEnabled(true);
        break;
    case Calculation::geocentricType:
        ui->groupBoxAngularUnit->setEnabled(false);
        ui->groupBoxLongitudeRange->setEnabled(false);
        ui->groupBoxZone->setEnabled(false);
        ui->checkBoxAutoZone->setEnabled(false);
        ui->groupBoxHemisphere->setEnabled(false);
        ui->comboBoxGeoid->setEnabled(false);
        break;
    default:
        break;
    }
}

void Panel::slotUpdateUi(int)
{
    updateDatumList();
    updateHeaders();
    updateEnabledState();
}

void Panel::slotDatumSelected(int)
{
    updateEnabledState();
    const int code = datumCode();
    if (systemType() == Calculation::gaussKrugerType
        && (code == 42 || code == 95 || code == 2011)) {
        ui->checkBoxAutoZone->setChecked(true);
        ui->spinBoxZone->setEnabled(false);
        if (outputRole && !inputRole)
            ui->checkBoxAutoHemisphere->setChecked(true);
    }
}

void Panel::slotAutoZoneClicked(int)
{
    ui->spinBoxZone->setEnabled(!ui->checkBoxAutoZone->isChecked());
}

void Panel::slotAutoHemisphereClicked(int)
{
    const bool manual = !ui->checkBoxAutoHemisphere->isChecked();
    ui->radioButtonNorthern->setEnabled(manual);
    ui->radioButtonSouthern->setEnabled(manual);
}

bool Panel::calculationSide(Calculation::Side *side) const
{
    if (!buildRefsystem(&side->system))
        return false;
    side->systemType = systemType();
    side->geoidIndex = geoidIndex();
    side->dmsUnits = isDmsUnits();
    side->decimalDegrees = isDecimalDegrees();
    side->unsignedLongitude = isUnsignedLongitude();
    return true;
}

bool Panel::buildRefsystem(refsystem *out) const
{
    if (!out)
        return false;
    SystemName::Choices choices;
    choices.systemType = systemType();
    choices.datum = datumCode();
    choices.zone = ui->spinBoxZone->value();
    choices.autoZone = ui->checkBoxAutoZone->isChecked();
    choices.northern = ui->radioButtonNorthern->isChecked();
    choices.autoHemisphere = ui->checkBoxAutoHemisphere->isChecked();
    SystemName::buildRefsystem(choices, out);
    return acceptRefsystem(out) != 0;
}

int Panel::acceptRefsystem(const refsystem *rs) const
{
    return SystemName::acceptRefsystem(systemType(), inputRole && !outputRole, rs);
}

// ---- the point table

QTableWidget *Panel::table() const
{
    return ui->tableWidgetPoints;
}

void Panel::updateHeaders()
{
    QStringList labels;
    switch (systemType()) {
    case Calculation::geocentricType:
        labels << tr("Имя точки") << tr("X") << tr("Y") << tr("Z");
        break;
    case Calculation::geodeticType:
        labels << tr("Имя точки") << tr("Широта") << tr("Долгота") << tr("Высота");
        break;
    case Calculation::gaussKrugerType:
        labels << tr("Имя точки") << tr("X") << tr("Y") << tr("h");
        break;
    case Calculation::utmType:
        labels << tr("Имя точки") << tr("E") << tr("N") << tr("h");
        break;
    default:
        return;
    }
    ui->tableWidgetPoints->setHorizontalHeaderLabels(labels);
}

void Panel::clearPoints()
{
    ui->tableWidgetPoints->clear();
    updateHeaders();
    ui->tableWidgetPoints->setRowCount(1);
}

QStringList Panel::points() const
{
    const QTableWidget *t = ui->tableWidgetPoints;
    const int rows = t->rowCount();
    QStringList list;
    list.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        list.append(CellText::joinRow(
            cellText(t, r, 0), cellText(t, r, 1), cellText(t, r, 2), cellText(t, r, 3)));
    }
    return list;
}

void Panel::setPoints(const QStringList &rows)
{
    QStringList cells;
    cells.reserve(4 * rows.size());
    for (const QString &row : rows) {
        const QStringList parts = CellText::splitRow(row);
        for (int c = 0; c < 4; ++c)
            cells.append(parts.at(c));
    }
    setCells(cells);
}

void Panel::setCells(const QStringList &cells)
{
    clearPoints();
    const int rows = cells.size() / 4;
    if (rows == 0)
        return;

    QTableWidget *t = ui->tableWidgetPoints;
    QAbstractItemModel *model = t->model();
    // One item at a time the model would announce every cell to the view; a
    // list of 100 000 points is filled silently and shown once at the end.
    t->setUpdatesEnabled(false);
    t->setRowCount(rows);
    const bool wasBlocked = model->blockSignals(true);
    for (int i = 0; i < cells.size(); ++i)
        t->setItem(i / 4, i % 4, new QTableWidgetItem(cells.at(i)));
    model->blockSignals(wasBlocked);
    emit model->dataChanged(model->index(0, 0), model->index(rows - 1, 3));
    t->setUpdatesEnabled(true);
}

bool Panel::isRowEmpty(int row) const
{
    const QTableWidget *t = ui->tableWidgetPoints;
    for (int c = 0; c < 4; ++c) {
        const QTableWidgetItem *item = t->item(row, c);
        if (item && !CellText::isBlank(item->text()))
            return false;
    }
    return true;
}

void Panel::trimTrailingEmptyRows()
{
    QTableWidget *t = ui->tableWidgetPoints;
    const int currentRow = t->currentRow();
    const int currentColumn = t->currentColumn();
    const int n = t->rowCount();
    if (n <= 1)
        return;

    int k = n - 1;
    while (k >= 1 && isRowEmpty(k))
        --k;
    const int kept = k + 1;
    // Only a tail that holds the cursor goes: the user just left it there.
    if (kept == n || kept > currentRow)
        return;
    t->setRowCount(kept);
    t->setCurrentCell(kept - 1, currentColumn);
}

bool Panel::coordinatesBlank(const QString &c1, const QString &c2, const QString &c3)
{
    return CellText::coordinatesBlank(c1, c2, c3);
}

bool Panel::isValidRow(const QString &c1, const QString &c2, const QString &c3) const
{
    return CellText::isValidCoordinates(c1, c2, c3, isDmsUnits());
}

double Panel::parseAngle(const QString &text)
{
    return CellText::parseAngle(text);
}

QString Panel::formatDms(double degrees)
{
    return CellText::formatDms(degrees);
}

// ---- buttons

void Panel::slotLoad()
{
    const QString path = Dialogs::openFileName(this, tr("Загрузить точки"),
        tr("*.txt;;Все файлы (*)"), Settings::lastFolder(QStringLiteral("load")));
    if (path.isEmpty())
        return;
    Settings::rememberFolder(QStringLiteral("load"), path);
    WaitCursor wait;
    QStringList lines;
    PointsFile::ReadInfo info;
    if (!PointsFile::read(path, &lines, &info)) {
        wait.release();
        emit signalStatus(tr("Точки не загружены"));
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка при загрузке точек из файла:\n") + path);
        return;
    }
    rememberForUndo(tr("загрузка"));
    setPoints(lines);
    wait.release();
    emit signalStatus(tr("Загружено строк: %1").arg(lines.size())
        + (info.windows1251 ? tr(" (кодировка Windows-1251)") : QString()));
    if (info.extraFields.count > 0)
        Dialogs::warning(tr("Предупреждение"), info.extraFields.warning());
}

void Panel::slotSave()
{
    const QStringList list = points();
    if (list.isEmpty())
        return;
    const QString dialog = left ? QStringLiteral("saveLeft") : QStringLiteral("saveRight");
    QString path = Dialogs::saveFileName(
        this, tr("Сохранить точки"), tr("*.txt"), Settings::lastFolder(dialog));
    if (path.isEmpty())
        return;
    Settings::rememberFolder(dialog, path);
    // "res1" becomes "res1.txt", which the load dialog's filter shows; the
    // dialog asked about replacing "res1" only, so ask again for the new name.
    if (!QFileInfo(path).fileName().contains(QLatin1Char('.'))) {
        path += QStringLiteral(".txt");
        if (QFileInfo::exists(path)
            && !Dialogs::confirm(
                tr("Подтвердите замену"), tr("Файл уже существует:\n%1\nЗаменить его?").arg(path)))
            return;
    }
    WaitCursor wait;
    if (!PointsFile::write(path, list)) {
        wait.release();
        emit signalStatus(tr("Точки не сохранены"));
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка при сохранении точек в файл:\n") + path);
        return;
    }
    emit signalStatus(tr("Сохранено строк: %1").arg(list.size()));
}

void Panel::slotClear()
{
    rememberForUndo(tr("очистка"));
    clearPoints();
}

void Panel::slotCalculate()
{
    emit signalCalculate(left);
}

void Panel::slotAbout()
{
    Dialogs::about(tr("О программе"),
        tr("VORLANIX Ranticor (ГОСТ 32453-2017)\n"
           "Версия 1.00\n"
           "\n\nГорячие клавиши:"
           "\nCtrl+Insert\t вставить строку в список точек"
           "\nCtrl+Delete\t удалить строку из списка точек"
           "\nCtrl+N\t\t подсчет строк в списке точек"
           "\nCtrl+I\t\t поиск некорректных строк"
           "\nCtrl+D\t\t удалить некорректные строки"
           "\nCtrl+E\t\t удалить пустые строки"
           "\nCtrl+U\t\t поменять списки точек местами"
           "\nCtrl+Shift+U\t поменять местами системы и списки"
           "\nF9, Ctrl+Enter\t вычислить"
           "\nCtrl+O, Ctrl+S\t загрузить, сохранить список точек"
           "\nCtrl+C, Ctrl+X\t копировать, вырезать выделенные строки"
           "\nCtrl+V\t\t вставить строки из буфера обмена"
           "\nCtrl+A\t\t выделить все строки"
           "\nCtrl+Z\t\t отменить последнюю замену или удаление строк"
           "\nCtrl+Tab\t\t перейти из таблицы к следующему полю"));
}

// ---- keyboard commands

namespace {

struct RowScan
{
    QVector<int> empty;
    QVector<int> invalid;
};

} // namespace

void Panel::keyPressEvent(QKeyEvent *event)
{
    // Everything is consumed here; nothing goes on to the base class.
    event->accept();
    QTableWidget *t = ui->tableWidgetPoints;

    if (event->modifiers() != Qt::ControlModifier) {
        if (event->key() == Qt::Key_Down && t->rowCount() == t->currentRow() + 1) {
            const int column = t->currentColumn();
            t->setRowCount(t->rowCount() + 1);
            t->setCurrentCell(t->rowCount() - 1, column);
        }
        return;
    }

    const auto scan = [this, t]() {
        RowScan result;
        const bool geocentric = systemType() == Calculation::geocentricType;
        for (int r = 0; r < t->rowCount(); ++r) {
            const QString name = cellText(t, r, 0).trimmed();
            const QString c1 = cellText(t, r, 1).trimmed();
            const QString c2 = cellText(t, r, 2).trimmed();
            QString c3 = cellText(t, r, 3).trimmed();
            if (name.isEmpty() && coordinatesBlank(c1, c2, c3)) {
                result.empty.append(r);
                continue;
            }
            if (c3.isEmpty() && !geocentric)
                c3 = QStringLiteral("0");
            if (!isValidRow(c1, c2, c3))
                result.invalid.append(r);
        }
        return result;
    };

    switch (event->key()) {
    case Qt::Key_Insert:
        if (t->currentRow() >= 0)
            t->insertRow(t->currentRow());
        break;
    case Qt::Key_Delete:
        if (t->currentRow() >= 0) {
            rememberForUndo(tr("удаление строки"));
            t->removeRow(t->currentRow());
        }
        break;
    case Qt::Key_Z:
        undo();
        break;
    case Qt::Key_U:
        emit signalSwap();
        break;
    case Qt::Key_N: {
        trimTrailingEmptyRows();
        const int total = t->rowCount();
        const RowScan rows = scan();
        Dialogs::information(tr("Подсчет числа строк"),
            tr("Всего строк:\t\t%1\nПустых строк:\t\t%2\nНекорректных строк:\t%3")
                .arg(total)
                .arg(rows.empty.size())
                .arg(rows.invalid.size()));
        break;
    }
    case Qt::Key_I: {
        trimTrailingEmptyRows();
        const QVector<int> invalid = scan().invalid;
        const int n = invalid.size();
        if (n == 0) {
            Dialogs::information(
                tr("Поиск некорректных строк"), tr("Некорректных строк не обнаружено"));
            break;
        }
        QStringList numbers;
        for (int i = 0; i < n && i < 10; ++i)
            numbers.append(QString::number(invalid.at(i) + 1));
        QString text = tr("Обнаружено некорректных строк: %1").arg(n)
            + tr("\nНомера некорректных строк:\n") + numbers.join(QStringLiteral("; "));
        if (n > 10)
            text += tr("\nи еще %1 (не перечислены).").arg(n - 10);
        Dialogs::warning(tr("Поиск некорректных строк"), text);
        break;
    }
    case Qt::Key_D: {
        trimTrailingEmptyRows();
        const QVector<int> invalid = scan().invalid;
        const int n = invalid.size();
        if (n == 0) {
            Dialogs::information(
                tr("Удаление некорректных строк"), tr("Некорректных строк не обнаружено"));
            break;
        }
        if (!Dialogs::confirm(tr("Подтвердите удаление"),
                tr("Обнаружено некорректных строк: %1.\nУдалить? ").arg(n)))
            break;
        rememberForUndo(tr("удаление некорректных строк"));
        const int oldRow = t->currentRow();
        const int column = t->currentColumn();
        int row = oldRow;
        for (int i = n - 1; i >= 0; --i) {
            const int v = invalid.at(i);
            if (row >= v && row > 0)
                --row;
            if (t->rowCount() > 1) {
                t->removeRow(v);
            } else {
                // The last row stays, emptied: a table never loses its last row here.
                for (int c = 0; c < 4; ++c) {
                    if (QTableWidgetItem *item = t->item(v, c))
                        item->setText(QString());
                }
            }
        }
        if (row != oldRow)
            t->setCurrentCell(row, column);
        Dialogs::information(tr("Информация"), tr("Удалено некорректных строк: %1.").arg(n));
        break;
    }
    case Qt::Key_E: {
        const QVector<int> empty = scan().empty;
        int n = empty.size();
        if (n == 0) {
            Dialogs::information(tr("Удаление пустых строк"), tr("Пустых строк не обнаружено"));
            break;
        }
        if (!Dialogs::confirm(
                tr("Подтвердите удаление"), tr("Обнаружено пустых строк: %1.\nУдалить? ").arg(n)))
            break;
        rememberForUndo(tr("удаление пустых строк"));
        const int oldRow = t->currentRow();
        const int column = t->currentColumn();
        int row = oldRow;
        for (int i = empty.size() - 1; i >= 0; --i) {
            const int v = empty.at(i);
            if (t->rowCount() > 1)
                t->removeRow(v);
            else
                --n;
            if (row >= v && row > 0)
                --row;
        }
        if (row != oldRow)
            t->setCurrentCell(row, column);
        Dialogs::information(tr("Информация"), tr("Удалено пустых строк: %1.").arg(n));
        break;
    }
    default:
        break;
    }
}
