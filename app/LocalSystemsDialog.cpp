#include "LocalSystemsDialog.h"
#include "ui_LocalSystemsDialog.h"

#include "AngleText.h"
#include "Calculation.h"
#include "CellText.h"
#include "NumberText.h"
#include "ProjString.h"
#include "SystemName.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputDialog>
#include <QPushButton>

#include <cmath>
#include <limits>

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();

// Numbers separated by blanks, a decimal comma as in a cell; NaN for a
// text that is no number, so that the system is refused with a reason.
QVector<double> numbers(const QString &text)
{
    QVector<double> values;
    for (const QString &token : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QByteArray bytes = CellText::decimalPoints(token).toLatin1();
        double value = notANumber;
        NumberText::read(bytes.constData(), bytes.constData() + bytes.size(), &value);
        values.append(value);
    }
    return values;
}

// An angle in degrees [minutes [seconds]] or decimal degrees; NaN otherwise.
double angle(const QString &text, bool longitude)
{
    const QString zero = QStringLiteral("0");
    const bool valid = longitude ? CellText::isValidCoordinates(zero, text, zero, true)
                                 : CellText::isValidCoordinates(text, zero, zero, true);
    bool inRange = true;
    const double degrees = AngleText::parse(text, &inRange);
    return valid && inRange ? degrees : notANumber;
}

} // namespace

LocalSystemsDialog::LocalSystemsDialog(
    const LocalSystems::Systems &systems, const QString &currentName, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LocalSystemsDialog)
    , list(systems)
{
    ui->setupUi(this);
    for (const int code : SystemName::datumsFor(SystemKind::Geodetic))
        ui->comboBoxDatum->addItem(SystemName::datumCaption(code), code);
    ui->buttonBox->button(QDialogButtonBox::Save)->setText(tr("Сохранить"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(tr("Отмена"));
    for (const LocalSystems::System &system : qAsConst(list))
        ui->listWidgetSystems->addItem(system.name);

    connect(ui->pushButtonAdd, &QPushButton::clicked, this, &LocalSystemsDialog::slotAdd);
    connect(ui->pushButtonCopy, &QPushButton::clicked, this, &LocalSystemsDialog::slotCopy);
    connect(ui->pushButtonDelete, &QPushButton::clicked, this, &LocalSystemsDialog::slotDelete);
    connect(ui->pushButtonFromProj, &QPushButton::clicked, this, &LocalSystemsDialog::slotFromProj);
    connect(ui->pushButtonToProj, &QPushButton::clicked, this, &LocalSystemsDialog::slotToProj);
    connect(ui->listWidgetSystems, &QListWidget::currentRowChanged, this,
        &LocalSystemsDialog::slotRowChanged);
    for (QLineEdit *edit : {ui->lineEditMeridian, ui->lineEditOriginLatitude, ui->lineEditScale,
             ui->lineEditFalseEasting, ui->lineEditFalseNorthing})
        connect(edit, &QLineEdit::textEdited, this, &LocalSystemsDialog::slotFieldsEdited);
    connect(ui->comboBoxDatum, QOverload<int>::of(&QComboBox::activated), this,
        &LocalSystemsDialog::slotFieldsEdited);
    connect(ui->lineEditBase, &QLineEdit::textEdited, this, &LocalSystemsDialog::slotBaseEdited);
    for (QLineEdit *edit : {ui->lineEditName, ui->lineEditKeys, ui->lineEditHeight})
        connect(edit, &QLineEdit::textEdited, this, &LocalSystemsDialog::store);
    connect(ui->comboBoxKeys, QOverload<int>::of(&QComboBox::activated), this,
        &LocalSystemsDialog::store);

    int row = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).name == currentName)
            row = i;
    }
    if (list.isEmpty())
        slotAdd();
    else
        ui->listWidgetSystems->setCurrentRow(row);
}

LocalSystemsDialog::~LocalSystemsDialog()
{
    delete ui;
}

void LocalSystemsDialog::message(const QString &text)
{
    ui->labelMessage->setText(text);
}

void LocalSystemsDialog::showSystem(const LocalSystems::System &system)
{
    filling = true;
    ui->lineEditName->setText(system.name);
    ui->lineEditBase->setText(system.base);
    SystemName::Choices base;
    QString error;
    const bool tm = SystemName::parse(system.base, true, &base, &error)
        && base.kind == SystemKind::TransverseMercator;
    QLineEdit *const fields[] = {ui->lineEditMeridian, ui->lineEditOriginLatitude,
        ui->lineEditScale, ui->lineEditFalseEasting, ui->lineEditFalseNorthing};
    for (int i = 0; i < 5; ++i) {
        fields[i]->setText(tm ? NumberText::shortest(base.tm[i]) : QString());
        fields[i]->setEnabled(tm || system.base.isEmpty());
    }
    if (tm)
        ui->comboBoxDatum->setCurrentIndex(ui->comboBoxDatum->findData(base.datum));
    ui->comboBoxDatum->setEnabled(tm || system.base.isEmpty());
    ui->comboBoxKeys->setCurrentIndex(int(system.keys));
    QStringList values;
    const int count = system.keys == LocalSystems::System::Keys::Similarity ? 4 : 6;
    for (int i = 0; system.keys != LocalSystems::System::Keys::None && i < count; ++i)
        values << NumberText::shortest(system.values[i]);
    ui->lineEditKeys->setText(values.join(QLatin1Char(' ')));
    const bool plane = system.dh[1] != 0.0 || system.dh[2] != 0.0;
    ui->lineEditHeight->setText(plane
            ? QStringLiteral("%1 %2 %3")
                  .arg(NumberText::shortest(system.dh[0]), NumberText::shortest(system.dh[1]),
                      NumberText::shortest(system.dh[2]))
            : NumberText::shortest(system.dh[0]));
    filling = false;
    message(LocalSystems::problem(system));
}

void LocalSystemsDialog::store()
{
    if (filling || current < 0 || current >= list.size())
        return;
    LocalSystems::System &system = list[current];
    system.name = ui->lineEditName->text().trimmed();
    system.base = ui->lineEditBase->text().trimmed();
    system.keys = LocalSystems::System::Keys(ui->comboBoxKeys->currentIndex());
    const QVector<double> keys = numbers(ui->lineEditKeys->text());
    const int count = system.keys == LocalSystems::System::Keys::Similarity ? 4 : 6;
    for (int i = 0; i < 6; ++i)
        system.values[i] = keys.size() == count ? keys.value(i) : notANumber;
    const QVector<double> height = numbers(ui->lineEditHeight->text());
    for (int i = 0; i < 3; ++i)
        system.dh[i] = height.size() == 1 || height.size() == 3 ? height.value(i) : notANumber;
    if (height.isEmpty())
        std::fill(system.dh, system.dh + 3, 0.0);
    ui->listWidgetSystems->item(current)->setText(system.name);
    message(LocalSystems::problem(system));
}

void LocalSystemsDialog::slotFieldsEdited()
{
    if (filling)
        return;
    const double values[5] = {angle(ui->lineEditMeridian->text(), true),
        angle(ui->lineEditOriginLatitude->text(), false),
        numbers(ui->lineEditScale->text()).value(0, notANumber),
        numbers(ui->lineEditFalseEasting->text()).value(0, notANumber),
        numbers(ui->lineEditFalseNorthing->text()).value(0, notANumber)};
    SystemName::Choices c;
    c.kind = SystemKind::TransverseMercator;
    c.datum = ui->comboBoxDatum->currentData().toInt();
    std::copy(values, values + 5, c.tm);
    ui->lineEditBase->setText(SystemName::format(c));
    store();
}

void LocalSystemsDialog::slotBaseEdited()
{
    store();
    if (current >= 0)
        showSystem(list.at(current));
}

void LocalSystemsDialog::slotRowChanged(int row)
{
    current = row;
    if (row >= 0 && row < list.size())
        showSystem(list.at(row));
    ui->pushButtonCopy->setEnabled(row >= 0);
    ui->pushButtonDelete->setEnabled(row >= 0);
}

void LocalSystemsDialog::slotAdd()
{
    LocalSystems::System system;
    system.name = tr("Новая система %1").arg(list.size() + 1);
    list.append(system);
    ui->listWidgetSystems->addItem(system.name);
    ui->listWidgetSystems->setCurrentRow(list.size() - 1);
}

void LocalSystemsDialog::slotCopy()
{
    if (current < 0)
        return;
    LocalSystems::System system = list.at(current);
    system.name = tr("%1 (копия)").arg(system.name);
    list.append(system);
    ui->listWidgetSystems->addItem(system.name);
    ui->listWidgetSystems->setCurrentRow(list.size() - 1);
}

void LocalSystemsDialog::slotDelete()
{
    if (current < 0)
        return;
    const int row = current;
    list.removeAt(row);
    current = -1; // the row goes before the list widget moves the choice
    delete ui->listWidgetSystems->takeItem(row);
    slotRowChanged(ui->listWidgetSystems->currentRow());
}

bool LocalSystemsDialog::fillFromProj(const QString &definition)
{
    SystemName::Choices c;
    QString note;
    QString error;
    if (!ProjString::read(definition.trimmed(), &c, &note, &error)) {
        message(tr("Строка PROJ не принята: %1").arg(error));
        return false;
    }
    ui->lineEditBase->setText(SystemName::format(c));
    slotBaseEdited();
    message(note);
    return true;
}

QString LocalSystemsDialog::projDefinition() const
{
    Calculation::Side side;
    SystemName::Choices base;
    QString error;
    if (!SystemName::parse(ui->lineEditBase->text(), true, &base, &error)
        || !SystemName::side(base, true, &side))
        return QString();
    return ProjString::write(side.system);
}

void LocalSystemsDialog::slotFromProj()
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, tr("Из строки PROJ"),
        tr("Определение +proj=tmerc с +ellps и +towgs84:"), QLineEdit::Normal, QString(), &ok);
    if (ok)
        fillFromProj(text);
}

void LocalSystemsDialog::slotToProj()
{
    const QString definition = projDefinition();
    if (definition.isEmpty()) {
        message(tr("У системы нет основы, которую можно записать строкой PROJ."));
        return;
    }
    QGuiApplication::clipboard()->setText(definition);
    const bool keyed = ui->comboBoxKeys->currentIndex() != 0;
    message(keyed ? tr("Скопирована строка PROJ основы: ключи одна строка PROJ не вмещает.")
                  : tr("Строка PROJ скопирована."));
}

void LocalSystemsDialog::accept()
{
    store();
    for (int i = 0; i < list.size(); ++i) {
        QString why = LocalSystems::problem(list.at(i));
        for (int j = 0; j < i && why.isEmpty(); ++j) {
            if (list.at(j).name == list.at(i).name)
                why = tr("имя уже занято");
        }
        if (!why.isEmpty()) {
            ui->listWidgetSystems->setCurrentRow(i);
            message(tr("«%1»: %2").arg(list.at(i).name, why));
            return;
        }
    }
    QDialog::accept();
}
