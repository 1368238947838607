#include "Panel.h"
#include "ui_Panel.h"

#include "Calculation.h"
#include "Dialogs.h"
#include "PointTable.h"
#include "PointsFile.h"
#include "Settings.h"
#include "WaitCursor.h"
#include "WindowKeys.h"
#include "WindowSize.h"

#include <QKeyEvent>

namespace {

// The system kind per comboBoxType index.
const SystemKind kSystemKinds[] = {SystemKind::Geodetic, SystemKind::GaussKruger, SystemKind::Utm,
    SystemKind::Geocentric, SystemKind::Local};

// A control the panel shows in its role and currently lets the user change.
bool usable(const QWidget *panel, const QWidget *widget)
{
    return widget->isVisibleTo(panel) && widget->isEnabledTo(panel);
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
    // Room for a 24-character name such as "МСК-50 зона 2 Подольский", and the arrow.
    QComboBox *local = ui->comboBoxLocalSystem;
    local->setMinimumWidth(
        local->fontMetrics().horizontalAdvance(QStringLiteral("МСК-50 зона 2 Подольский"))
        + 3 * local->fontMetrics().height());
    slotAutoZoneClicked(0);
    updateDatumList();
    updateHeaders();
    updateEnabledState();
    ui->tableWidgetPoints->setRowSide([this]() { return rowSide(); });

    connect(ui->comboBoxType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &Panel::slotUpdateUi);
    connect(ui->comboBoxDatum, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &Panel::slotDatumSelected);
    connect(ui->checkBoxAutoZone, &QCheckBox::stateChanged, this, &Panel::slotAutoZoneClicked);
    connect(ui->comboBoxGeoid, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &Panel::updateHeaders);
    connect(ui->checkBoxAutoHemisphere, &QCheckBox::stateChanged, this,
        &Panel::slotAutoHemisphereClicked);
    connect(ui->pushButtonLoad, &QPushButton::clicked, this, &Panel::slotLoad);
    connect(ui->pushButtonSave, &QPushButton::clicked, this, &Panel::slotSave);
    connect(ui->pushButtonClear, &QPushButton::clicked, this, &Panel::slotClear);
    connect(ui->pushButtonExportMap, &QPushButton::clicked, this, &Panel::signalExportMap);
    connect(ui->pushButtonCalculate, &QPushButton::clicked, this, &Panel::slotCalculate);
    connect(ui->pushButtonAbout, &QPushButton::clicked, this, &Panel::slotAbout);
    connect(ui->tableWidgetPoints, &PointTable::signalSwap, this, &Panel::signalSwap);
    connect(
        ui->pushButtonLocalSystems, &QPushButton::clicked, this, &Panel::signalEditLocalSystems);
    connect(ui->pushButtonFitKeys, &QPushButton::clicked, this, &Panel::signalFitKeys);
    connect(ui->tableWidgetPoints, &PointTable::signalStatus, this, &Panel::signalStatus);
    // After the controls' own reactions, which may change further controls.
    for (QComboBox *combo :
        {ui->comboBoxType, ui->comboBoxDatum, ui->comboBoxGeoid, ui->comboBoxLocalSystem})
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &Panel::slotSystemChanged);
    connect(ui->spinBoxZone, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &Panel::slotSystemChanged);
    for (QCheckBox *box : {ui->checkBoxAutoZone, ui->checkBoxAutoHemisphere})
        connect(box, &QCheckBox::stateChanged, this, &Panel::slotSystemChanged);
    for (QRadioButton *button :
        {ui->radioButtonNorthern, ui->radioButtonDegrees, ui->radioButtonUnsignedLongitude})
        connect(button, &QRadioButton::toggled, this, &Panel::slotSystemChanged);
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

SystemKind Panel::systemKind() const
{
    return kindAt(ui->comboBoxType->currentIndex());
}

SystemKind Panel::kindAt(int typeIndex)
{
    if (typeIndex < 0 || typeIndex >= int(std::size(kSystemKinds)))
        return SystemKind::None;
    return kSystemKinds[typeIndex];
}

int Panel::datumCode() const
{
    return datumCodes.value(ui->comboBoxDatum->currentIndex(), 0);
}

bool Panel::geoidHeights() const
{
    return ui->comboBoxGeoid->currentIndex() > 0;
}

SystemName::Choices Panel::choices() const
{
    SystemName::Choices c;
    c.kind = systemKind();
    c.datum = datumCode();
    const bool zones = c.kind == SystemKind::GaussKruger;
    const bool angles = c.kind == SystemKind::Geodetic;
    c.autoZone = zones && ui->checkBoxAutoZone->isChecked();
    c.zone = c.autoZone ? 1 : ui->spinBoxZone->value();
    c.autoHemisphere = zones && ui->checkBoxAutoHemisphere->isChecked();
    c.northern = !(zones || c.kind == SystemKind::Utm) || ui->radioButtonNorthern->isChecked();
    c.decimalDegrees = angles && ui->radioButtonDegrees->isChecked();
    c.unsignedLongitude = angles && ui->radioButtonUnsignedLongitude->isChecked();
    // A geocentric side has no heights, whatever its geoid list shows.
    c.geoid = geoidHeights() && c.kind != SystemKind::Geocentric;
    if (c.kind == SystemKind::Local)
        c.localName = ui->comboBoxLocalSystem->currentText();
    return c;
}

void Panel::setLocalSystems(const LocalSystems::Systems *systems)
{
    localSystems = systems;
    QComboBox *combo = ui->comboBoxLocalSystem;
    const QString current = combo->currentText();
    {
        // The list refilled is no change of system unless its name is gone.
        const QSignalBlocker blocker(combo);
        combo->clear();
        for (const LocalSystems::System &system : *systems)
            combo->addItem(system.name);
        combo->setCurrentIndex(std::max(0, combo->findText(current)));
    }
    slotSystemChanged();
}

void Panel::setChoices(const SystemName::Choices &c)
{
    // A local system deleted since is not chosen: the panel keeps its own.
    const int localIndex = ui->comboBoxLocalSystem->findText(c.localName);
    if (c.kind == SystemKind::Local && localIndex < 0)
        return;
    if (c.kind == SystemKind::Local)
        ui->comboBoxLocalSystem->setCurrentIndex(localIndex);
    // In the order the controls depend on each other: the type, the datum,
    // the automatic choices (they enable or disable the manual ones), the rest.
    for (int i = 0; i < int(std::size(kSystemKinds)); ++i) {
        if (kSystemKinds[i] == c.kind)
            ui->comboBoxType->setCurrentIndex(i);
    }
    const int datumIndex = datumCodes.indexOf(c.datum);
    if (datumIndex >= 0)
        ui->comboBoxDatum->setCurrentIndex(datumIndex);
    if (usable(this, ui->comboBoxGeoid))
        ui->comboBoxGeoid->setCurrentIndex(c.geoid && ui->comboBoxGeoid->count() > 1 ? 1 : 0);
    if (usable(this, ui->checkBoxAutoZone))
        ui->checkBoxAutoZone->setChecked(c.autoZone);
    if (usable(this, ui->checkBoxAutoHemisphere))
        ui->checkBoxAutoHemisphere->setChecked(c.autoHemisphere);
    if (!c.autoZone)
        ui->spinBoxZone->setValue(c.zone);
    (c.northern ? ui->radioButtonNorthern : ui->radioButtonSouthern)->setChecked(true);
    if (ui->groupBoxAngularUnit->isVisibleTo(this))
        (c.decimalDegrees ? ui->radioButtonDegrees : ui->radioButtonDMS)->setChecked(true);
    if (ui->groupBoxLongitudeRange->isVisibleTo(this))
        (c.unsignedLongitude ? ui->radioButtonUnsignedLongitude : ui->radioButtonSignedLongitude)
            ->setChecked(true);
}

void Panel::updateDatumList()
{
    QComboBox *combo = ui->comboBoxDatum;
    combo->blockSignals(true);
    const int remembered = datumCode();
    combo->clear();
    datumCodes = SystemName::datumsFor(systemKind());
    for (const int code : qAsConst(datumCodes))
        combo->addItem(SystemName::datumCaption(code));
    const int selected = std::max(0, int(datumCodes.indexOf(remembered)));
    combo->blockSignals(false);
    // The only step that may emit currentIndexChanged: when the kept datum
    // is not the first of the new list.
    combo->setCurrentIndex(selected);
}

void Panel::updateEnabledState()
{
    const bool outputOnly = outputRole && !inputRole;
    switch (systemKind()) {
    case SystemKind::Geodetic:
        ui->groupBoxAngularUnit->setEnabled(true);
        ui->groupBoxLongitudeRange->setEnabled(true);
        ui->groupBoxZone->setEnabled(false);
        ui->groupBoxHemisphere->setEnabled(false);
        ui->comboBoxGeoid->setEnabled(true);
        break;
    case SystemKind::GaussKruger:
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
    case SystemKind::Utm:
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
    case SystemKind::Geocentric:
        ui->groupBoxAngularUnit->setEnabled(false);
        ui->groupBoxLongitudeRange->setEnabled(false);
        ui->groupBoxZone->setEnabled(false);
        ui->checkBoxAutoZone->setEnabled(false);
        ui->groupBoxHemisphere->setEnabled(false);
        ui->comboBoxGeoid->setEnabled(false);
        break;
    case SystemKind::Local:
        ui->groupBoxAngularUnit->setEnabled(false);
        ui->groupBoxLongitudeRange->setEnabled(false);
        ui->groupBoxZone->setEnabled(false);
        ui->groupBoxHemisphere->setEnabled(false);
        ui->comboBoxGeoid->setEnabled(true);
        break;
    default:
        break;
    }
    // A local system is chosen by its name where the others choose a datum.
    const bool local = systemKind() == SystemKind::Local;
    ui->labelDatum->setText(local ? tr("Система") : tr("Датум"));
    ui->comboBoxDatum->setVisible(!local);
    ui->widgetLocalSystem->setVisible(local);
}

void Panel::slotUpdateUi(int)
{
    updateDatumList();
    updateHeaders();
    updateEnabledState();
}

Calculation::Side Panel::rowSide() const
{
    Calculation::Side side;
    if (calculationSide(&side))
        return side;
    // No system to calculate in (no local system chosen yet): the rows are
    // judged by their written form in the panel's kind.
    side = Calculation::Side();
    const SystemKind kind = systemKind();
    side.kind = kind == SystemKind::Local ? SystemKind::TransverseMercator : kind;
    side.dmsUnits = kind == SystemKind::Geodetic && ui->radioButtonDMS->isChecked();
    return side;
}

void Panel::slotDatumSelected(int)
{
    updateEnabledState();
    if (systemKind() == SystemKind::GaussKruger && datumCode() != 0) {
        ui->checkBoxAutoZone->setChecked(true);
        ui->spinBoxZone->setEnabled(false);
        if (outputRole && !inputRole)
            ui->checkBoxAutoHemisphere->setChecked(true);
    }
}

void Panel::slotAutoZoneClicked(int)
{
    const bool automatic = ui->checkBoxAutoZone->isChecked();
    QSpinBox *zone = ui->spinBoxZone;
    zone->setEnabled(!automatic);
    // Each point takes its own zone: the box says so rather than show a
    // number the points need not lie in, and keeps the zone typed for later.
    if (automatic && zone->minimum() > 0) {
        manualZone = zone->value();
        zone->setMinimum(0);
        zone->setValue(0);
    } else if (!automatic && zone->minimum() == 0) {
        zone->setMinimum(1);
        zone->setValue(manualZone);
    }
    // Shown at the minimum only: zone 1 typed by hand is no "авто".
    zone->setSpecialValueText(automatic ? tr("авто") : QString());
}

void Panel::slotAutoHemisphereClicked(int)
{
    const bool manual = !ui->checkBoxAutoHemisphere->isChecked();
    ui->radioButtonNorthern->setEnabled(manual);
    ui->radioButtonSouthern->setEnabled(manual);
}

bool Panel::calculationSide(Calculation::Side *side) const
{
    return SystemName::side(choices(), isInputOnly(), side, localSystems);
}

// ---- the point table

PointTable *Panel::table() const
{
    return ui->tableWidgetPoints;
}

void Panel::updateHeaders()
{
    // Which height the column holds: above the ellipsoid or above the geoid.
    const QString height = geoidHeights() ? tr("H (EGM96)") : tr("h (эллипс.)");
    QStringList labels;
    switch (systemKind()) {
    case SystemKind::Geocentric:
        labels << tr("Имя точки") << tr("X") << tr("Y") << tr("Z");
        break;
    case SystemKind::Geodetic:
        labels << tr("Имя точки") << tr("Широта") << tr("Долгота") << height;
        break;
    case SystemKind::GaussKruger:
    case SystemKind::Local:
        labels << tr("Имя точки") << tr("X") << tr("Y") << height;
        break;
    case SystemKind::Utm:
        labels << tr("Имя точки") << tr("E") << tr("N") << height;
        break;
    default:
        return;
    }
    ui->tableWidgetPoints->setHorizontalHeaderLabels(labels);
}

void Panel::setResults(const PointRows &rows)
{
    resultSystem = choices();
    ui->tableWidgetPoints->setResults(rows);
}

void Panel::slotSystemChanged()
{
    PointTable *table = ui->tableWidgetPoints;
    if (!table->holdsResults() || SystemName::format(choices()) == SystemName::format(resultSystem))
        return;
    const SystemName::Choices old = resultSystem;
    table->rememberForUndo(tr("смена системы"), [this, old] {
        setChoices(old);
        return SystemName::format(choices()) == SystemName::format(old);
    });
    table->clearRows();
    emit signalStatus(tr("Система таблицы изменилась: результаты пересчета убраны "
                         "(Ctrl+Z вернет их вместе с их системой)"));
}

// ---- buttons

void Panel::slotLoad()
{
    ui->tableWidgetPoints->loadFile();
}

void Panel::slotSave()
{
    save();
}

bool Panel::save()
{
    const PointRows list = ui->tableWidgetPoints->rows();
    if (list.isEmpty())
        return false;
    const QString dialog = left ? QStringLiteral("saveLeft") : QStringLiteral("saveRight");
    QString path = Dialogs::saveFileName(
        this, tr("Сохранить точки"), PointTable::fileFilter(), Settings::lastFolder(dialog));
    if (path.isEmpty())
        return false;
    Settings::rememberFolder(dialog, path);
    if (!Dialogs::withTextSuffix(&path))
        return false;
    WaitCursor wait;
    if (!PointsFile::write(path, list)) {
        wait.release();
        emit signalStatus(tr("Точки не сохранены"));
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка при сохранении точек в файл:\n") + path);
        return false;
    }
    ui->tableWidgetPoints->markSaved();
    emit signalStatus(tr("Сохранено строк: %1").arg(list.size()));
    return true;
}

void Panel::slotClear()
{
    ui->tableWidgetPoints->rememberForUndo(tr("очистка"));
    ui->tableWidgetPoints->clearRows();
}

void Panel::slotCalculate()
{
    emit signalCalculate(left);
}

void Panel::slotAbout()
{
    Dialogs::about(tr("О программе"),
        tr("<p>VORLANIX Ranticor (ГОСТ 32453-2017)<br>Версия 1.00</p><p>Горячие клавиши:</p>")
            + WindowKeys::commandTable());
}

void Panel::keyPressEvent(QKeyEvent *event)
{
    // Everything is consumed here; nothing goes on to the window.
    event->accept();
    ui->tableWidgetPoints->runCommand(event);
}
