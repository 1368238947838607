// "Ключи по общим точкам": two point lists, A in a base plane system and B in
// the local one, the models of the keys and of the height, and the fit's
// report (KeyFit) as a table with a check box per point to leave it out and
// fit again. The fitted system is saved into the definitions file under a
// name asked for; the report into a text file.
#ifndef KEYFITDIALOG_H
#define KEYFITDIALOG_H

#include "KeyFit.h"
#include "LocalSystems.h"

#include <QDialog>
#include <QSet>

class PointTable;
class QTableWidgetItem;

namespace Ui {
class KeyFitDialog;
}

class KeyFitDialog : public QDialog
{
    Q_OBJECT

public:
    // Chooses the base of list A as a panel does, `base` (a written form)
    // first when it is a plane system; the bases of `systems` are offered
    // too. Saving adds to the definitions file at `path`; when `writable` is
    // false (the file could not be read) it refuses rather than write over it.
    KeyFitDialog(const LocalSystems::Systems &systems, const QString &path, bool writable,
        const QString &base = QString(), QWidget *parent = nullptr);
    ~KeyFitDialog() override;

    // The definitions as the window holds them now, for a dialog opened again.
    void setSystems(const LocalSystems::Systems &systems, bool writable);

    PointTable *tableA() const;
    PointTable *tableB() const;
    // The report of the last fit, or why there is none.
    QString reportText() const;
    // The definitions as saved; savedSystems() tells whether anything was.
    const LocalSystems::Systems &systems() const { return list; }
    bool savedSystems() const { return saved; }

private slots:
    void slotCalculate();
    void slotLoadA();
    void slotLoadB();
    void slotResidualChanged(QTableWidgetItem *item);
    void slotSaveSystem();
    void slotSaveReport();
    void slotBaseChanged();

private:
    void offerBases();
    // The base chosen, as written.
    QString base() const;
    void showResult();
    void showFailure(const QString &why);

    Ui::KeyFitDialog *ui;
    LocalSystems::Systems list;
    QString path;
    bool writable;
    bool saved = false;
    QSet<QString> leftOut; // names left out of the fit by their check box
    bool haveResult = false;
    KeyFit::Matched matched;
    KeyFit::Result result;
    QString fittedBase; // the base of the last fit, as written
};

#endif // KEYFITDIALOG_H
