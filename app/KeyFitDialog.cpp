#include "KeyFitDialog.h"
#include "ui_KeyFitDialog.h"

#include "Calculation.h"
#include "CellText.h"
#include "Dialogs.h"
#include "KeyFitReport.h"
#include "PlaneSystemBox.h"
#include "PointTable.h"
#include "Settings.h"
#include "WaitCursor.h"

#include <QFontDatabase>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>

namespace {

enum Column { Name, VX, VY, VH, VPlane, Check, Columns };

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

KeyFitDialog::KeyFitDialog(const LocalSystems::Systems &systems, const QString &path, bool writable,
    const QString &base, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::KeyFitDialog)
    , list(systems)
    , path(path)
    , writable(writable)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Close)->setText(tr("Закрыть"));
    ui->plainTextEditReport->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    offerBases();
    SystemName::Choices chosen;
    QString error;
    if (SystemName::parse(base.trimmed(), true, &chosen, &error))
        ui->baseBox->setChoices(chosen);

    for (PointTable *table : {tableA(), tableB()}) {
        table->setColumnCount(PointRow::columns);
        table->clearRows();
    }
    tableB()->setHorizontalHeaderLabels({tr("Имя точки"), tr("X"), tr("Y"), tr("H")});
    slotBaseChanged();

    connect(ui->pushButtonCalculate, &QPushButton::clicked, this, &KeyFitDialog::slotCalculate);
    connect(ui->pushButtonLoadA, &QPushButton::clicked, this, &KeyFitDialog::slotLoadA);
    connect(ui->pushButtonLoadB, &QPushButton::clicked, this, &KeyFitDialog::slotLoadB);
    connect(ui->pushButtonSaveSystem, &QPushButton::clicked, this, &KeyFitDialog::slotSaveSystem);
    connect(ui->pushButtonSaveReport, &QPushButton::clicked, this, &KeyFitDialog::slotSaveReport);
    connect(ui->tableWidgetResiduals, &QTableWidget::itemChanged, this,
        &KeyFitDialog::slotResidualChanged);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

KeyFitDialog::~KeyFitDialog()
{
    delete ui;
}

PointTable *KeyFitDialog::tableA() const
{
    return ui->tableA;
}

PointTable *KeyFitDialog::tableB() const
{
    return ui->tableB;
}

QString KeyFitDialog::reportText() const
{
    return ui->plainTextEditReport->toPlainText();
}

void KeyFitDialog::setSystems(const LocalSystems::Systems &systems, bool writable)
{
    const SystemName::Choices chosen = ui->baseBox->choices();
    list = systems;
    this->writable = writable;
    saved = false;
    offerBases();
    ui->baseBox->setChoices(chosen);
    slotBaseChanged();
}

void KeyFitDialog::offerBases()
{
    // The zones are the box's own; a system of its own parameters is offered by its name.
    auto *box = new PlaneSystemBox(this);
    box->setObjectName(QStringLiteral("baseBox"));
    for (const LocalSystems::System &system : qAsConst(list)) {
        SystemName::Choices c;
        QString error;
        if (SystemName::parse(system.base, true, &c, &error)
            && c.kind == SystemKind::TransverseMercator)
            box->addFixed(tr("основа «%1»").arg(system.name), c);
    }
    // The layout item of the form's box comes back to be deleted.
    delete ui->horizontalLayoutBase->replaceWidget(ui->baseBox, box);
    ui->labelBase->setBuddy(box);
    delete ui->baseBox;
    ui->baseBox = box;
    connect(box, &PlaneSystemBox::changed, this, &KeyFitDialog::slotBaseChanged);
}

QString KeyFitDialog::base() const
{
    return SystemName::format(ui->baseBox->choices());
}

void KeyFitDialog::slotBaseChanged()
{
    // UTM points are written easting first, as in a panel.
    const bool utm = ui->baseBox->choices().kind == SystemKind::Utm;
    tableA()->setHorizontalHeaderLabels(
        {tr("Имя точки"), utm ? tr("E") : tr("x"), utm ? tr("N") : tr("y"), tr("h")});
}

void KeyFitDialog::slotLoadA()
{
    tableA()->loadFile();
}

void KeyFitDialog::slotLoadB()
{
    tableB()->loadFile();
}

void KeyFitDialog::slotCalculate()
{
    // 100 000 points take seconds, most of them filling the residuals' table.
    const WaitCursor busy;
    const QString base = this->base();
    const auto plane = ui->comboBoxPlane->currentIndex() == 1 ? KeyFit::PlaneModel::Affine
                                                              : KeyFit::PlaneModel::Similarity;
    const auto height = KeyFit::HeightModel(ui->comboBoxHeight->currentIndex());
    Calculation::Side side;
    QString error;
    KeyFit::Matched points;
    if (!KeyFit::baseSide(base, &side, &error)
        || !KeyFit::match(tableA()->rows(), tableB()->rows(), side,
            height != KeyFit::HeightModel::None, &points, &error)) {
        showFailure(error);
        return;
    }
    for (KeyFit::Point &point : points.points)
        point.used = !leftOut.contains(point.name);
    KeyFit::Result fitted;
    if (!KeyFit::fit(points.points, plane, height, &fitted, &error)) {
        // The points are still listed, so a left-out one can be taken back.
        matched = points;
        haveResult = false;
        result = KeyFit::Result();
        for (const KeyFit::Point &point : points.points) {
            KeyFit::PointResult listed;
            listed.name = point.name;
            listed.used = point.used;
            result.points.append(listed);
        }
        showResult();
        showFailure(error);
        return;
    }
    matched = points;
    result = fitted;
    fittedBase = base;
    haveResult = true;
    showResult();
    // The report names the system as the dialog shows it, not as written.
    ui->plainTextEditReport->setPlainText(KeyFit::report(result, matched, ui->baseBox->caption()));
    ui->pushButtonSaveSystem->setEnabled(true);
    ui->pushButtonSaveReport->setEnabled(true);
}

void KeyFitDialog::showFailure(const QString &why)
{
    haveResult = false;
    ui->plainTextEditReport->setPlainText(tr("Ключи не найдены: %1").arg(why));
    ui->pushButtonSaveSystem->setEnabled(false);
    ui->pushButtonSaveReport->setEnabled(false);
}

void KeyFitDialog::showResult()
{
    QTableWidget *table = ui->tableWidgetResiduals;
    // Rows of one line keep the default height: measuring each of 100 000 takes seconds.
    // Quiet while filled: only the user's check of a name is a change.
    const QSignalBlocker quiet(table);
    table->setUpdatesEnabled(false);
    table->setRowCount(result.points.size());
    const bool heights = result.height != KeyFit::HeightModel::None;
    for (int r = 0; r < result.points.size(); ++r) {
        const KeyFit::PointResult &p = result.points.at(r);
        const bool fitted = haveResult;
        auto *name = new QTableWidgetItem(p.name);
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        name->setCheckState(p.used ? Qt::Checked : Qt::Unchecked);
        table->setItem(r, Name, name);
        const auto metres
            = [fitted](double v) { return fitted ? CellText::formatFixed(v, 3) : QString(); };
        table->setItem(r, VX, cell(metres(p.v[0])));
        table->setItem(r, VY, cell(metres(p.v[1])));
        table->setItem(r, VH, cell(heights ? metres(p.v[2]) : QString()));
        table->setItem(r, VPlane, cell(metres(p.plane)));
        QStringList flags;
        if (p.flaggedPosition)
            flags << tr("положение %1 м").arg(CellText::formatFixed(p.looResidual, 3));
        if (p.flaggedHeight)
            flags << tr("высота %1 м").arg(CellText::formatFixed(p.looHeight, 3));
        QTableWidgetItem *check
            = cell(p.flagged ? QStringLiteral("! ") + flags.join(QStringLiteral(", ")) : QString());
        if (p.flagged)
            check->setToolTip(
                tr("Остаток по уравниванию без этой точки: %1").arg(KeyFit::flagText(p)));
        table->setItem(r, Check, check);
        for (int c = 0; c < Columns; ++c) {
            QTableWidgetItem *item = c == Check ? check : table->item(r, c);
            item->setBackground(p.flagged ? QBrush(QColor(255, 210, 210)) : QBrush());
            if (c != Name)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    table->setUpdatesEnabled(true);
    table->resizeColumnsToContents();
}

void KeyFitDialog::slotResidualChanged(QTableWidgetItem *item)
{
    if (item->column() != Name)
        return;
    if (item->checkState() == Qt::Checked)
        leftOut.remove(item->text());
    else
        leftOut.insert(item->text());
    slotCalculate();
}

void KeyFitDialog::slotSaveSystem()
{
    if (!haveResult)
        return;
    const QStringList doubts = KeyFit::doubts(result);
    if (!doubts.isEmpty()
        && !Dialogs::confirm(tr("Ключи без проверки"),
            tr("Ключи найдены, но %1.\nСохранить их всё же?")
                .arg(doubts.join(QStringLiteral(";\n")))))
        return;
    if (!writable) {
        Dialogs::warning(tr("Предупреждение"),
            tr("Файл местных систем содержит ошибку и не будет перезаписан:\n%1").arg(path));
        return;
    }
    const QString name
        = Dialogs::text(this, tr("Сохранить как местную систему"), tr("Имя системы:")).trimmed();
    if (name.isEmpty())
        return;
    const LocalSystems::System system = KeyFit::toSystem(result, fittedBase, name);
    const QString problem = LocalSystems::problem(system);
    if (!problem.isEmpty()) {
        Dialogs::warning(tr("Предупреждение"), tr("Система не сохранена: %1").arg(problem));
        return;
    }
    // Added to the file as it is now: the converter may have added systems
    // since the window read them.
    LocalSystems::Systems current;
    QString error;
    if (!LocalSystems::save(path, system, &error, QString(), &current)) {
        Dialogs::warning(tr("Предупреждение"), error);
        return;
    }
    list = current;
    saved = true;
    Dialogs::information(tr("Ключи сохранены"),
        tr("Местная система «%1» сохранена; в панелях она — в списке местных систем.").arg(name));
}

void KeyFitDialog::slotSaveReport()
{
    if (!haveResult)
        return;
    QString file = Dialogs::saveFileName(this, tr("Сохранить отчёт"),
        tr("Текстовые файлы (*.txt);;Все файлы (*)"),
        Settings::lastFolder(QStringLiteral("keyReport")));
    if (file.isEmpty())
        return;
    if (!Dialogs::withTextSuffix(&file))
        return;
    Settings::rememberFolder(QStringLiteral("keyReport"), file);
    const QByteArray bytes = reportText().toUtf8();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        Dialogs::warning(tr("Предупреждение"), tr("Ошибка при сохранении отчёта в файл:\n") + file);
}
