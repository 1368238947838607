#include "PlaneSystemBox.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QSpinBox>

namespace {

enum KindIndex { GaussKruger, Utm, TransverseMercator };

} // namespace

PlaneSystemBox::PlaneSystemBox(QWidget *parent)
    : QWidget(parent)
    , comboBoxKind(new QComboBox(this))
    , comboBoxDatum(new QComboBox(this))
    , spinBoxZone(new QSpinBox(this))
    , comboBoxHemisphere(new QComboBox(this))
{
    comboBoxKind->setObjectName(QStringLiteral("comboBoxKind"));
    comboBoxDatum->setObjectName(QStringLiteral("comboBoxDatum"));
    spinBoxZone->setObjectName(QStringLiteral("spinBoxZone"));
    comboBoxHemisphere->setObjectName(QStringLiteral("comboBoxHemisphere"));
    comboBoxKind->addItem(tr("Гаусса-Крюгера"));
    comboBoxKind->addItem(tr("UTM"));
    spinBoxZone->setRange(1, 60);
    spinBoxZone->setPrefix(tr("зона "));
    comboBoxHemisphere->addItem(tr("север"));
    comboBoxHemisphere->addItem(tr("юг"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : {static_cast<QWidget *>(comboBoxKind), static_cast<QWidget *>(comboBoxDatum),
             static_cast<QWidget *>(spinBoxZone), static_cast<QWidget *>(comboBoxHemisphere)})
        layout->addWidget(w);
    layout->addStretch();
    setFocusProxy(comboBoxKind);
    updateControls();

    const auto activated = QOverload<int>::of(&QComboBox::activated);
    connect(comboBoxKind, activated, this, [this] {
        updateControls();
        emit changed();
    });
    connect(comboBoxDatum, activated, this, &PlaneSystemBox::changed);
    connect(comboBoxHemisphere, activated, this, &PlaneSystemBox::changed);
    connect(spinBoxZone, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] {
        if (!setting)
            emit changed();
    });
}

void PlaneSystemBox::addTransverseMercator()
{
    comboBoxKind->insertItem(TransverseMercator, tr("Поперечный Меркатор"));
    fixedStart = TransverseMercator + 1;
}

void PlaneSystemBox::addFixed(const QString &caption, const SystemName::Choices &choices)
{
    comboBoxKind->addItem(caption);
    fixed.append(choices);
}

SystemName::Choices PlaneSystemBox::choices() const
{
    const int index = comboBoxKind->currentIndex();
    if (index >= fixedStart)
        return fixed.value(index - fixedStart);
    SystemName::Choices c;
    c.kind = index == GaussKruger ? SystemKind::GaussKruger
        : index == Utm            ? SystemKind::Utm
                                  : SystemKind::TransverseMercator;
    c.datum = comboBoxDatum->currentData().toInt();
    c.zone = spinBoxZone->value();
    c.northern = comboBoxHemisphere->currentIndex() == 0;
    return c;
}

bool PlaneSystemBox::setChoices(const SystemName::Choices &c)
{
    int index = -1;
    for (int i = 0; i < fixed.size(); ++i) {
        if (SystemName::format(fixed.at(i)) == SystemName::format(c))
            index = fixedStart + i;
    }
    if (index < 0 && c.kind == SystemKind::GaussKruger && !c.autoZone)
        index = GaussKruger;
    else if (index < 0 && c.kind == SystemKind::Utm)
        index = Utm;
    else if (index < 0 && c.kind == SystemKind::TransverseMercator && fixedStart > Utm + 1)
        index = TransverseMercator;
    if (index < 0)
        return false;
    setting = true;
    comboBoxKind->setCurrentIndex(index);
    updateControls();
    if (index < fixedStart) {
        comboBoxDatum->setCurrentIndex(std::max(0, comboBoxDatum->findData(c.datum)));
        spinBoxZone->setValue(c.zone);
        comboBoxHemisphere->setCurrentIndex(c.northern ? 0 : 1);
    }
    setting = false;
    return true;
}

QString PlaneSystemBox::caption() const
{
    QStringList words {comboBoxKind->currentText()};
    for (QWidget *w : {static_cast<QWidget *>(comboBoxDatum), static_cast<QWidget *>(spinBoxZone),
             static_cast<QWidget *>(comboBoxHemisphere)}) {
        if (!w->isVisibleTo(this))
            continue;
        if (auto *combo = qobject_cast<QComboBox *>(w))
            words << combo->currentText();
        else
            words << spinBoxZone->text();
    }
    return words.join(QStringLiteral(", "));
}

void PlaneSystemBox::updateControls()
{
    const int index = comboBoxKind->currentIndex();
    const bool own = index < fixedStart;
    const SystemKind kind = index == GaussKruger ? SystemKind::GaussKruger
        : index == Utm                           ? SystemKind::Utm
                                                 : SystemKind::Geodetic; // every datum
    // The datum is kept where the new kind offers it, else Pulkovo 42 first.
    const int remembered = comboBoxDatum->currentData().toInt();
    comboBoxDatum->clear();
    for (const int code : SystemName::datumsFor(kind))
        comboBoxDatum->addItem(SystemName::datumCaption(code), code);
    int datum = comboBoxDatum->findData(remembered);
    if (datum < 0 || comboBoxDatum->count() == 1)
        datum = std::max(0, comboBoxDatum->findData(KV_DATUM_PULKOVO42));
    comboBoxDatum->setCurrentIndex(datum);
    comboBoxDatum->setVisible(own);
    const bool zone = own && index != TransverseMercator;
    spinBoxZone->setVisible(zone);
    comboBoxHemisphere->setVisible(zone);
}
