// The program's window: the input panel on the left, the output panel on the
// right, the geoid grid read at start-up, and the calculation between them.
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "LocalSystems.h"
#include "kelvadra.h"

#include <QMainWindow>
#include <QString>

class KeyFitDialog;
class Panel;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Panel *inputPanel() const { return leftPanel; }
    Panel *outputPanel() const { return rightPanel; }
    const ::geoid *geoidRecord() const { return &geoid; }

    const LocalSystems::Systems &localSystems() const { return systems; }

    // The geoid grid file read by windows built afterwards; empty means
    // "egm96.grd" in the program's directory. For tests.
    static void setGeoidFilePath(const QString &path);
    static QString geoidFilePath();

public slots:
    void slotCalculate(bool fromLeft);
    void slotSwap();
    // The editor of the local systems, from the panel `sender` names.
    void slotEditLocalSystems();
    // "Экспорт для карты…" of the panel `sender` names: its table's points
    // into a KML, GPX or GeoJSON file, or a DXF for CAD when the table is in a
    // plane system; the format from the suffix typed or the file type chosen.
    void slotExportMap();
    // The fit of keys from common points; a system it saves joins the lists.
    void slotFitKeys();
    // A line in the status bar: what the last command did.
    void showStatus(const QString &text);

protected:
    // Asks about points typed or pasted and not saved; "Отмена" keeps the window.
    void closeEvent(QCloseEvent *event) override;

private:
    bool loadGeoid();
    void loadLocalSystems();

    Ui::MainWindow *ui;
    Panel *leftPanel;
    Panel *rightPanel;
    ::geoid geoid;
    LocalSystems::Systems systems;
    // The definitions file could not be read: the editor must not write over it.
    bool systemsReadable = true;
    KeyFitDialog *keyFit = nullptr; // made when first opened, kept with its lists
};

#endif // MAINWINDOW_H
