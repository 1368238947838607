// A plane system chosen as a panel chooses it: the kind (a Gauss-Krüger or a
// UTM zone, a Transverse Mercator of its own parameters, or the base of a
// named local system), the datum from the panel's list, the zone and the
// hemisphere. The keys dialog chooses its base here and the local-systems
// editor its base, so neither shows a written form.
#ifndef PLANESYSTEMBOX_H
#define PLANESYSTEMBOX_H

#include "SystemName.h"

#include <QWidget>

class QComboBox;
class QSpinBox;

class PlaneSystemBox : public QWidget
{
    Q_OBJECT

public:
    explicit PlaneSystemBox(QWidget *parent = nullptr);

    // Offers "Поперечный Меркатор": its parameters are the caller's fields.
    void addTransverseMercator();
    // Offers a fixed system under `caption` (the base of a local system).
    void addFixed(const QString &caption, const SystemName::Choices &choices);

    // The chosen system; for a Transverse Mercator, `tm` is left as zeros.
    SystemName::Choices choices() const;
    // Chooses `choices` when offered (a fixed one matched by its written
    // form); false, nothing changed, when not.
    bool setChoices(const SystemName::Choices &choices);
    // The chosen system in the words its controls show ("Гаусса-Крюгера,
    // Пулково 42, зона 7, север"), for texts the user reads.
    QString caption() const;

signals:
    // The user changed a control.
    void changed();

private:
    void updateControls();

    QComboBox *comboBoxKind;
    QComboBox *comboBoxDatum;
    QSpinBox *spinBoxZone;
    QComboBox *comboBoxHemisphere;
    QVector<SystemName::Choices> fixed; // per kind index from fixedStart
    int fixedStart = 2;
    bool setting = false; // the controls are being set, not changed by the user
};

#endif // PLANESYSTEMBOX_H
