// One coordinate-system panel: the controls that choose a reference system,
// read and written as one value (SystemName::Choices), and the table of
// points in that system (PointTable).
#ifndef PANEL_H
#define PANEL_H

#include "PointRow.h"
#include "SystemName.h"
#include "kelvadra.h"

#include <QFrame>
#include <QVector>

class PointTable;
class QKeyEvent;

namespace Calculation {
struct Side;
}

namespace Ui {
class Panel;
}

class Panel : public QFrame
{
    Q_OBJECT

public:
    explicit Panel(bool left, QWidget *parent = nullptr);
    ~Panel() override;

    void setInputRole();
    void setOutputRole();
    // The input panel only: it reads angles in either form and cannot leave
    // a hemisphere to the point.
    bool isInputOnly() const { return inputRole && !outputRole; }
    void addGeoidModel();

    // The system the controls choose.
    SystemName::Choices choices() const;
    // Sets the controls to `choices` as far as this panel offers them: the
    // input panel keeps its angle form, longitude range and hemisphere
    // choice, and a geoid that is not loaded stays "Нет".
    void setChoices(const SystemName::Choices &choices);

    // The kind comboBoxType chooses; the kind at one of its indices.
    SystemKind systemKind() const;
    static SystemKind kindAt(int typeIndex);
    int datumCode() const;
    // Heights on this panel's side are above the geoid.
    bool geoidHeights() const;
    // The settings a calculation takes from this panel; false when its
    // system cannot be built.
    bool calculationSide(Calculation::Side *side) const;

    PointTable *table() const;
    // A calculation's rows, in the system the controls choose now. When the
    // system changes they are cleared: numbers never stand under another
    // system's headers. Ctrl+Z brings them back with their system.
    void setResults(const PointRows &rows);
    // "Сохранить": the table's points into a file the user names; false when
    // nothing was written (no points, cancelled, or an error told).
    bool save();

    // The named local systems the panel offers (owned by the window, which
    // calls this again when they change).
    void setLocalSystems(const LocalSystems::Systems *systems);

signals:
    void signalCalculate(bool left);
    void signalSwap();
    // The button beside the local systems: the window opens their editor.
    void signalEditLocalSystems();
    // The button "Ключи…" beside them: the window opens the fit of keys.
    void signalFitKeys();
    // What a command did, for the status bar.
    void signalStatus(const QString &text);
    // "Экспорт для карты…": the window writes the table's points for a map.
    void signalExportMap();

private slots:
    void slotUpdateUi(int);
    void slotDatumSelected(int);
    void slotAutoZoneClicked(int);
    void slotAutoHemisphereClicked(int);
    void slotLoad();
    void slotSave();
    void slotClear();
    void slotCalculate();
    void slotAbout();
    void slotSystemChanged();

protected:
    // The list commands work from every control of the panel.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateDatumList();
    void updateHeaders();
    void updateEnabledState();
    Calculation::Side rowSide() const;
    void keepSystemBoxSize();

    Ui::Panel *ui;
    bool left;
    bool inputRole;
    bool outputRole;
    QVector<int> datumCodes; // per comboBoxDatum index
    const LocalSystems::Systems *localSystems = nullptr;
    int manualZone = 1;               // the zone typed, kept while the zone is automatic
    SystemName::Choices resultSystem; // the system of the table's results
};

#endif // PANEL_H
