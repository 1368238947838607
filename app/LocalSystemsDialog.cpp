#include "LocalSystemsDialog.h"
#include "ui_LocalSystemsDialog.h"

#include "AngleText.h"
#include "Calculation.h"
#include "CellText.h"
#include "Dialogs.h"
#include "NumberText.h"
#include "ProjString.h"
#include "SurveyAngle.h"
#include "SystemName.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

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

// The one number of a field; false when it holds none or more.
bool oneNumber(const QString &text, double *value)
{
    const QVector<double> values = numbers(text);
    if (values.size() != 1 || !std::isfinite(values.first()))
        return false;
    *value = values.first();
    return true;
}

bool finite(const QVector<double> &values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

int keyCount(LocalSystems::System::Keys keys)
{
    return keys == LocalSystems::System::Keys::Similarity ? 4
        : keys == LocalSystems::System::Keys::Affine      ? 6
                                                          : 0;
}

} // namespace

LocalSystemsDialog::LocalSystemsDialog(const LocalSystems::Systems &systems,
    const QString &currentName, const QString &path, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LocalSystemsDialog)
    , path(path)
    , original(systems)
{
    ui->setupUi(this);
    ui->baseBox->addTransverseMercator();
    QPushButton *save = ui->buttonBox->button(QDialogButtonBox::Save);
    save->setText(tr("Сохранить"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(tr("Отмена"));
    // Enter saves wherever the focus is; the other buttons act on a click only.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    save->setDefault(true);
    // Room for a 24-character name, as the panels' lists show it.
    ui->listWidgetSystems->setMinimumWidth(
        ui->listWidgetSystems->fontMetrics().horizontalAdvance(QString(24, QChar(0x041C)))
        + 2 * ui->listWidgetSystems->frameWidth() + 24);
    ui->listWidgetSystems->setMaximumWidth(ui->listWidgetSystems->minimumWidth() * 3 / 2);
    for (const LocalSystems::System &system : systems)
        append(system, Draft());

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &LocalSystemsDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &LocalSystemsDialog::reject);
    connect(ui->pushButtonAdd, &QPushButton::clicked, this, &LocalSystemsDialog::slotAdd);
    connect(ui->pushButtonCopy, &QPushButton::clicked, this, &LocalSystemsDialog::slotCopy);
    connect(ui->pushButtonDelete, &QPushButton::clicked, this, &LocalSystemsDialog::slotDelete);
    connect(ui->pushButtonFromProj, &QPushButton::clicked, this, &LocalSystemsDialog::slotFromProj);
    connect(ui->pushButtonToProj, &QPushButton::clicked, this, &LocalSystemsDialog::slotToProj);
    connect(ui->listWidgetSystems, &QListWidget::currentRowChanged, this,
        &LocalSystemsDialog::slotRowChanged);
    for (QLineEdit *edit : {ui->lineEditMeridian, ui->lineEditOriginLatitude, ui->lineEditScale,
             ui->lineEditFalseEasting, ui->lineEditFalseNorthing})
        connect(edit, &QLineEdit::textEdited, this, &LocalSystemsDialog::slotBaseEdited);
    connect(ui->baseBox, &PlaneSystemBox::changed, this, &LocalSystemsDialog::slotBaseEdited);
    for (QLineEdit *edit : {ui->lineEditName, ui->lineEditKeys, ui->lineEditHeight})
        connect(edit, &QLineEdit::textEdited, this, &LocalSystemsDialog::store);
    connect(ui->comboBoxKeys, QOverload<int>::of(&QComboBox::activated), this,
        &LocalSystemsDialog::store);

    int row = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).name == currentName)
            row = i;
    }
    if (list.isEmpty()) {
        slotAdd();
        changed = false; // nothing the user made yet
    } else {
        ui->listWidgetSystems->setCurrentRow(row);
    }
}

LocalSystemsDialog::~LocalSystemsDialog()
{
    delete ui;
}

void LocalSystemsDialog::message(const QString &text)
{
    ui->labelMessage->setText(text);
}

void LocalSystemsDialog::append(const LocalSystems::System &system, const Draft &draft)
{
    list.append(system);
    drafts.append(draft);
    ui->listWidgetSystems->addItem(system.name);
}

void LocalSystemsDialog::showSystem(int row)
{
    const LocalSystems::System &system = list.at(row);
    const Draft &draft = drafts.at(row);
    filling = true;
    ui->lineEditName->setText(system.name);
    SystemName::Choices base;
    QString error;
    QLineEdit *const fields[] = {ui->lineEditMeridian, ui->lineEditOriginLatitude,
        ui->lineEditScale, ui->lineEditFalseEasting, ui->lineEditFalseNorthing};
    if (draft.base.isEmpty() && SystemName::parse(system.base, true, &base, &error)
        && ui->baseBox->setChoices(base)) {
        const bool tm = base.kind == SystemKind::TransverseMercator;
        for (int i = 0; i < 5; ++i)
            fields[i]->setText(tm ? NumberText::shortest(base.tm[i]) : QString());
    } else {
        // A base being edited shows as the user left it, a new one as a Transverse Mercator.
        if (!ui->baseBox->setChoices(draft.choices)
            && !(SystemName::parse(system.base, true, &base, &error)
                && ui->baseBox->setChoices(base))) {
            base = SystemName::Choices();
            base.kind = SystemKind::TransverseMercator;
            base.datum = KV_DATUM_PULKOVO42;
            ui->baseBox->setChoices(base);
        }
        for (int i = 0; i < 5; ++i)
            fields[i]->setText(draft.texts[i]);
    }
    const bool tm = ui->baseBox->choices().kind == SystemKind::TransverseMercator;
    for (QLineEdit *field : fields)
        field->setEnabled(tm);
    ui->comboBoxKeys->setCurrentIndex(int(system.keys));
    if (draft.keys.isEmpty()) {
        QStringList values;
        for (int i = 0; i < keyCount(system.keys); ++i)
            values << NumberText::shortest(system.values[i]);
        ui->lineEditKeys->setText(values.join(QLatin1Char(' ')));
    } else {
        ui->lineEditKeys->setText(draft.keysText);
    }
    ui->lineEditKeys->setEnabled(system.keys != LocalSystems::System::Keys::None);
    if (draft.height.isEmpty()) {
        const bool plane = system.dh[1] != 0.0 || system.dh[2] != 0.0;
        ui->lineEditHeight->setText(plane
                ? QStringLiteral("%1 %2 %3")
                      .arg(NumberText::shortest(system.dh[0]), NumberText::shortest(system.dh[1]),
                          NumberText::shortest(system.dh[2]))
                : NumberText::shortest(system.dh[0]));
    } else {
        ui->lineEditHeight->setText(draft.heightText);
    }
    filling = false;
    message(problemAt(row));
}

void LocalSystemsDialog::store()
{
    if (filling || current < 0 || current >= list.size())
        return;
    changed = true;
    LocalSystems::System &system = list[current];
    Draft &draft = drafts[current];
    system.name = ui->lineEditName->text().trimmed();
    system.keys = LocalSystems::System::Keys(ui->comboBoxKeys->currentIndex());
    const int count = keyCount(system.keys);
    ui->lineEditKeys->setEnabled(count > 0);
    const QVector<double> keys = numbers(ui->lineEditKeys->text());
    const bool keysRead = count == 0 || (keys.size() == count && finite(keys));
    for (int i = 0; i < 6; ++i)
        system.values[i] = keysRead ? keys.value(i) : notANumber;
    draft.keys = keysRead ? QString()
                          : tr("Значения ключей: введите %1 числа через пробел (%2).")
                                .arg(count)
                                .arg(count == 4 ? tr("dX dY a b") : tr("dX dY a1 a2 b1 b2"));
    const QVector<double> height = numbers(ui->lineEditHeight->text());
    const bool heightRead
        = height.isEmpty() || ((height.size() == 1 || height.size() == 3) && finite(height));
    for (int i = 0; i < 3; ++i)
        system.dh[i] = heightRead ? height.value(i) : notANumber;
    draft.height = heightRead
        ? QString()
        : tr("Поправка высоты: введите одно число dH или три числа c sx sy через пробел.");
    draft.keysText = ui->lineEditKeys->text();
    draft.heightText = ui->lineEditHeight->text();
    ui->listWidgetSystems->item(current)->setText(system.name);
    message(problemAt(current));
}

void LocalSystemsDialog::slotBaseEdited()
{
    if (filling || current < 0)
        return;
    Draft &draft = drafts[current];
    QLineEdit *const fields[] = {ui->lineEditMeridian, ui->lineEditOriginLatitude,
        ui->lineEditScale, ui->lineEditFalseEasting, ui->lineEditFalseNorthing};
    for (int i = 0; i < 5; ++i)
        draft.texts[i] = fields[i]->text();
    SystemName::Choices c = ui->baseBox->choices();
    draft.choices = c;
    const bool tm = c.kind == SystemKind::TransverseMercator;
    for (QLineEdit *field : fields)
        field->setEnabled(tm);
    draft.base.clear();
    if (tm) {
        const QString angleForms = tr("например 38 29 00, 38°29'00\" или 38.48333");
        if (!SurveyAngle::read(fields[0]->text(), 180.0, &c.tm[0]))
            draft.base = tr("Осевой меридиан: введите угол от -180° до 180°, %1.").arg(angleForms);
        else if (!SurveyAngle::read(fields[1]->text(), 90.0, &c.tm[1]))
            draft.base = tr("Широта начала: введите угол от -90° до 90°, %1.").arg(angleForms);
        else if (!oneNumber(fields[2]->text(), &c.tm[2]))
            draft.base = tr("Масштаб: введите число, обычно 1.");
        else if (!oneNumber(fields[3]->text(), &c.tm[3]))
            draft.base = tr("Смещение на восток: введите число метров.");
        else if (!oneNumber(fields[4]->text(), &c.tm[4]))
            draft.base = tr("Смещение на север: введите число метров.");
    }
    Calculation::Side side;
    if (draft.base.isEmpty() && !SystemName::side(c, true, &side))
        draft.base = tr("Проекция вне пределов: масштаб от 0.9 до 1.1, широта начала по модулю "
                        "меньше 90°.");
    if (draft.base.isEmpty())
        list[current].base = SystemName::format(c);
    store();
}

QString LocalSystemsDialog::problemAt(int row) const
{
    const Draft &draft = drafts.at(row);
    for (const QString &why : {draft.base, draft.keys, draft.height}) {
        if (!why.isEmpty())
            return why;
    }
    const LocalSystems::System &system = list.at(row);
    for (int j = 0; j < row; ++j) {
        if (list.at(j).name == system.name)
            return tr("Имя «%1» уже занято: введите другое.").arg(system.name);
    }
    if (system.name.isEmpty())
        return tr("Введите имя системы.");
    const QString why = LocalSystems::problem(system);
    if (why.startsWith(QLatin1Char('"'))) // a base this editor does not make
        return tr("Основа не годится: выберите зону или поперечный Меркатор.");
    return why.isEmpty() ? QString() : tr("Система не годится: %1.").arg(why);
}

void LocalSystemsDialog::slotRowChanged(int row)
{
    current = row;
    if (row >= 0 && row < list.size())
        showSystem(row);
    ui->pushButtonCopy->setEnabled(row >= 0);
    ui->pushButtonDelete->setEnabled(row >= 0);
}

void LocalSystemsDialog::slotAdd()
{
    LocalSystems::System system;
    system.name = tr("Новая система %1").arg(list.size() + 1);
    Draft draft;
    draft.texts[1] = QStringLiteral("0");
    draft.texts[2] = QStringLiteral("1");
    draft.base = tr("Осевой меридиан: введите угол от -180° до 180°, например 38 29 00, "
                    "38°29'00\" или 38.48333.");
    append(system, draft);
    changed = true;
    ui->listWidgetSystems->setCurrentRow(list.size() - 1);
}

void LocalSystemsDialog::slotCopy()
{
    if (current < 0)
        return;
    LocalSystems::System system = list.at(current);
    system.name = tr("%1 (копия)").arg(system.name);
    append(system, drafts.at(current));
    changed = true;
    ui->listWidgetSystems->setCurrentRow(list.size() - 1);
}

void LocalSystemsDialog::slotDelete()
{
    if (current < 0)
        return;
    const int row = current;
    list.removeAt(row);
    drafts.removeAt(row);
    changed = true;
    current = -1; // the row goes before the list widget moves the choice
    delete ui->listWidgetSystems->takeItem(row);
    slotRowChanged(ui->listWidgetSystems->currentRow());
}

void LocalSystemsDialog::slotFromProj()
{
    QDialog box(this);
    box.setWindowTitle(tr("Из строки PROJ"));
    QVBoxLayout layout(&box);
    auto *label = new QLabel(
        tr("Определение +proj=tmerc с эллипсоидом (+ellps или +a и +rf) и +towgs84:"), &box);
    label->setWordWrap(true);
    auto *edit = new QPlainTextEdit(&box);
    edit->setObjectName(QStringLiteral("plainTextEditProj"));
    // A definition of 150 characters in two lines.
    edit->setMinimumSize(edit->fontMetrics().horizontalAdvance(QString(80, QLatin1Char('0'))),
        edit->fontMetrics().lineSpacing() * 4);
    auto *replace = new QCheckBox(&box);
    replace->setObjectName(QStringLiteral("checkBoxReplace"));
    replace->setEnabled(current >= 0);
    if (current >= 0)
        replace->setText(tr("Заменить основу системы «%1»").arg(list.at(current).name));
    else
        replace->setText(tr("Заменить основу выбранной системы"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Принять"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    for (QWidget *w : {static_cast<QWidget *>(label), static_cast<QWidget *>(edit),
             static_cast<QWidget *>(replace), static_cast<QWidget *>(buttons)})
        layout.addWidget(w);
    if (box.exec() != QDialog::Accepted)
        return;

    SystemName::Choices c;
    QString note;
    QString error;
    if (!ProjString::read(edit->toPlainText().simplified(), &c, &note, &error)) {
        message(tr("Строка PROJ не принята: %1. Исправьте её или введите параметры в поля.")
                    .arg(error));
        return;
    }
    if (!replace->isChecked() || current < 0) {
        LocalSystems::System system;
        system.name = tr("Новая система %1").arg(list.size() + 1);
        append(system, Draft());
        current = list.size() - 1;
    }
    list[current].base = SystemName::format(c);
    drafts[current].base.clear();
    changed = true;
    ui->listWidgetSystems->blockSignals(true);
    ui->listWidgetSystems->setCurrentRow(current);
    ui->listWidgetSystems->blockSignals(false);
    slotRowChanged(current);
    message(note);
}

void LocalSystemsDialog::slotToProj()
{
    Calculation::Side side;
    SystemName::Choices base;
    QString error;
    if (current < 0 || !drafts.at(current).base.isEmpty()
        || !SystemName::parse(list.at(current).base, true, &base, &error)
        || !SystemName::side(base, true, &side)) {
        message(tr("У системы нет основы, которую можно записать строкой PROJ: заполните поля "
                   "основы."));
        return;
    }
    QGuiApplication::clipboard()->setText(ProjString::write(side.system));
    const bool keyed = ui->comboBoxKeys->currentIndex() != 0;
    message(keyed ? tr("Скопирована строка PROJ основы: ключи одна строка PROJ не вмещает.")
                  : tr("Строка PROJ скопирована."));
}

bool LocalSystemsDialog::saveDefinitions(QString *error)
{
    // Only what the user changed is written, into the file as it is now:
    // systems others saved meanwhile and fields this program does not know stay.
    return LocalSystems::apply(path, LocalSystems::changes(original, list), &written, error);
}

void LocalSystemsDialog::accept()
{
    for (int i = 0; i < list.size(); ++i) {
        const QString why = problemAt(i);
        if (!why.isEmpty()) {
            ui->listWidgetSystems->setCurrentRow(i);
            message(tr("«%1» не сохранена. %2").arg(list.at(i).name, why));
            return;
        }
    }
    QString error;
    if (!saveDefinitions(&error)) {
        Dialogs::warning(tr("Предупреждение"), tr("Местные системы не сохранены: %1").arg(error));
        return;
    }
    changed = false;
    QDialog::accept();
}

void LocalSystemsDialog::reject()
{
    if (changed) {
        switch (Dialogs::askSaveChanges(
            this, tr("Местные системы"), tr("Местные системы изменены. Сохранить изменения?"))) {
        case Dialogs::Changes::Save:
            accept();
            return;
        case Dialogs::Changes::Keep:
            return;
        case Dialogs::Changes::Discard:
            break;
        }
    }
    QDialog::reject();
}
