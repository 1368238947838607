// One coordinate-system panel: the controls that choose a reference system
// and the table of points in that system.
#ifndef PANEL_H
#define PANEL_H

#include "kelvadra.h"

#include <QFrame>
#include <QMap>
#include <QStringList>

class QKeyEvent;
class QTableWidget;

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
    void addGeoidModel();

    // Panel system type: 1 geocentric, 2 geodetic, 3 Gauss-Krüger, 4 UTM, 0 none.
    int systemType() const;
    int datumCode() const;
    int geoidIndex() const;
    bool isDmsUnits() const;
    bool isDecimalDegrees() const;
    bool isUnsignedLongitude() const;
    bool buildRefsystem(refsystem *out) const;
    int acceptRefsystem(const refsystem *rs) const;
    // The settings a calculation takes from this panel; false when its
    // system cannot be built.
    bool calculationSide(Calculation::Side *side) const;
    static QString datumName(int code);

    // The point table.
    void updateHeaders();
    void clearPoints();
    QStringList points() const;
    void setPoints(const QStringList &rows);
    bool isRowEmpty(int row) const;
    void trimTrailingEmptyRows();
    static bool coordinatesBlank(const QString &c1, const QString &c2, const QString &c3);
    bool isValidRow(const QString &c1, const QString &c2, const QString &c3) const;
    static double parseAngle(const QString &text);
    static QString formatDms(double degrees);

    QTableWidget *table() const;

    // Failed rows of a calculation: the reason as the name cell's tooltip and
    // a light red background.
    void markFailedRows(const QVector<int> &rows, const QStringList &reasons);

    // One level of undo for the commands that replace or remove rows: the
    // table as it was before the last of them, `what` naming it.
    void rememberForUndo(const QString &what);
    void undo();

signals:
    void signalCalculate(bool left);
    void signalSwap();
    // What a command did, for the status bar.
    void signalStatus(const QString &text);

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

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateDatumList();
    void updateEnabledState();
    void keepSystemBoxSize();
    void setCells(const QStringList &cells); // four texts per row

    Ui::Panel *ui;
    bool left;
    bool inputRole;
    bool outputRole;
    QMap<int, int> datumCodes;
    QStringList undoCells; // four texts per row; no rows: nothing to undo
    QString undoWhat;
};

#endif // PANEL_H
