// The editor of the named local systems: a list to add to, copy from and
// delete from, and the fields of the chosen system: its base (a Gauss-Krüger
// or UTM zone, or a Transverse Mercator of a central meridian and origin
// latitude written as surveyors write angles, a scale and false easting and
// northing), keys and a height shift. "Из строки PROJ…" makes a system of a
// PROJ definition, "Строка PROJ" copies the base as one. "Сохранить" checks
// every system, stays open on the first that cannot be used, saying why, and
// writes the definitions file; closing with changes asks whether to save.
#ifndef LOCALSYSTEMSDIALOG_H
#define LOCALSYSTEMSDIALOG_H

#include "LocalSystems.h"
#include "SystemName.h"

#include <QDialog>
#include <QVector>

#include <array>

namespace Ui {
class LocalSystemsDialog;
}

class LocalSystemsDialog : public QDialog
{
    Q_OBJECT

public:
    // Opens on `systems`, the one named `current` chosen; saves to the
    // definitions file at `path`.
    LocalSystemsDialog(const LocalSystems::Systems &systems, const QString &current,
        const QString &path, QWidget *parent = nullptr);
    ~LocalSystemsDialog() override;

    // The definitions file's systems after the save (when the dialog was
    // accepted): the user's changes and whatever others saved meanwhile.
    const LocalSystems::Systems &systems() const { return written; }

public slots:
    // Checks and writes every system; stays open, saying why, when it cannot.
    void accept() override;
    // With unsaved changes asks to save them, close without, or stay.
    void reject() override;

private slots:
    void slotAdd();
    void slotCopy();
    void slotDelete();
    void slotRowChanged(int row);
    void slotBaseEdited();
    void slotFromProj();
    void slotToProj();

private:
    // Per entry: what its fields say that the entry cannot hold, so that a
    // half-typed system keeps its texts and its reasons while another is shown.
    struct Draft
    {
        QString base, keys, height;   // why each gives no value; empty when it does
        std::array<QString, 5> texts; // the projection's fields as typed
        SystemName::Choices choices;  // the base box as left; kind None when never edited
        QString keysText, heightText;
    };

    void append(const LocalSystems::System &system, const Draft &draft);
    void showSystem(int row);
    void store();
    void message(const QString &text);
    // Why the system at `row` cannot be saved, in the words of the fields; empty when it can.
    QString problemAt(int row) const;
    // The only writer of the definitions file here.
    bool saveDefinitions(QString *error);

    Ui::LocalSystemsDialog *ui;
    LocalSystems::Systems list;
    QVector<Draft> drafts;
    QString path;
    const LocalSystems::Systems original; // as the dialog opened on them
    LocalSystems::Systems written;
    int current = -1;
    bool filling = false; // the fields are being set from an entry
    bool changed = false; // edited since opened or saved
};

#endif // LOCALSYSTEMSDIALOG_H
