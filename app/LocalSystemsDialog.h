// The editor of the named local systems: a list to add to, copy from and
// delete from, and the fields of the chosen system (datum, central meridian
// and origin latitude in degrees-minutes-seconds or decimal degrees, scale,
// false easting and northing, or a zone as its written form; keys and a
// height shift). "Из строки PROJ…" fills the fields from a PROJ definition,
// "Строка PROJ" copies the base as one. Save checks every system and stays
// open on the first that cannot be used, saying why.
#ifndef LOCALSYSTEMSDIALOG_H
#define LOCALSYSTEMSDIALOG_H

#include "LocalSystems.h"

#include <QDialog>

namespace Ui {
class LocalSystemsDialog;
}

class LocalSystemsDialog : public QDialog
{
    Q_OBJECT

public:
    // Opens on `systems`, the one named `current` chosen.
    LocalSystemsDialog(
        const LocalSystems::Systems &systems, const QString &current, QWidget *parent = nullptr);
    ~LocalSystemsDialog() override;

    // The list as edited: what Save accepted.
    const LocalSystems::Systems &systems() const { return list; }
    // The chosen system's fields from a PROJ definition; false, with the
    // reason shown, when it is not one this program reads.
    bool fillFromProj(const QString &definition);
    // The chosen system's base as a PROJ definition (empty when it has none).
    QString projDefinition() const;

public slots:
    void accept() override;

private slots:
    void slotAdd();
    void slotCopy();
    void slotDelete();
    void slotRowChanged(int row);
    void slotFieldsEdited();
    void slotBaseEdited();
    void slotFromProj();
    void slotToProj();

private:
    void showSystem(const LocalSystems::System &system);
    // The fields into the chosen entry of the list.
    void store();
    void message(const QString &text);

    Ui::LocalSystemsDialog *ui;
    LocalSystems::Systems list;
    int current = -1;
    bool filling = false; // the fields are being set from an entry
};

#endif // LOCALSYSTEMSDIALOG_H
