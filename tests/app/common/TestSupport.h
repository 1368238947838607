// Helpers shared by the program's tests.
#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include "Dialogs.h"
#include "MainWindow.h"
#include "Panel.h"
#include "PointTable.h"

#include <QTest>

#include <functional>
#include <optional>
#include <tuple>

class QComboBox;

// While alive, answers every dialog and records it as "kind|title|text",
// with "|busy" added if the wait cursor is still up: a box must show the arrow.
struct DialogLog
{
    DialogLog();
    ~DialogLog() { Dialogs::setAnswerer({}); }
    QStringList shown;
    bool yes = true; // the answer to confirmations
    bool no = false; // with yes false: "Не сохранять" to unsaved changes, else "Отмена"
    QString fileName;       // the answer to file dialogs and text questions; empty cancels
    QString filter;         // the name filter chosen in a save dialog; empty: the first
    QStringList folders;    // the starting folder of each file dialog
    bool realBoxes = false; // message boxes shown for real (answerBoxes)
};

// Runs `step` with the message boxes shown; from a timer each one's text is
// recorded ("|busy" added under the wait cursor) and its button `answer` clicked, or Esc.
QStringList answerBoxes(DialogLog &log, const QString &answer, const std::function<void()> &step);

// Clicks the named push button among the children of `parent`.
void click(const QObject *parent, const char *button);
// Chooses the item captioned `text` with the keyboard, as activated() reports a user's choice.
void chooseItem(QComboBox *combo, const QString &text);
// Clicks the table's cell, then types `keys` into whatever has the focus, '\t' Tab and '\n' Enter.
void typeKeys(QTableWidget *table, int row, int column, const QString &keys);

// A main window reading the geoid grid at `grid`, its dialogs answered by `log`.
struct TestWindow
{
    explicit TestWindow(const QString &grid) { open(grid); }
    void open(const QString &grid);
    Panel *left() const { return window->inputPanel(); }
    Panel *right() const { return window->outputPanel(); }
    void run() const { click(left(), "pushButtonCalculate"); }
    DialogLog log;
    std::optional<MainWindow> window;
};

// The application's cursor each time the table's contents change while `step`
// runs: Qt::WaitCursor while a long step fills it, -1 for the normal cursor.
QList<int> cursorsWhile(QTableWidget *table, const std::function<void()> &step);

// One row of a data-driven test, the values in column order.
template <class... Values> void dataRow(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

// The columns of a data-driven test, of these types in order.
template <class... Types, class... Names> void addColumns(const Names &...names)
{
    (QTest::addColumn<Types>(names), ...);
}

// The current row's values in the columns `names`, of these types in order.
template <class... Types, class... Names> std::tuple<Types...> fetch(const Names &...names)
{
    return {*static_cast<Types *>(QTest::qData(names, qMetaTypeId<Types>()))...};
}

// Each case, a Q_DECLARE_METATYPE struct, as the column "c" of a row named by its `name`.
template <class T, int N> void caseRows(const T (&cases)[N])
{
    QTest::addColumn<T>("c");
    for (const T &c : cases)
        QTest::newRow(c.name) << c;
}

template <class T> T *child(const QObject *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// Sets a panel to a system in its written form ("gk:sk42:7", "geod:wgs84:deg").
void configure(Panel *panel, const QString &system);
// Fills the panel's table with the rows of these lines, as a points file holds them.
void setRows(const Panel &panel, const QStringList &lines);
// The panel's table, one "name|c1|c2|c3" text per row.
QStringList tableCells(const Panel &panel);
// A number written with "." whatever the locale; NaN when it is none.
double number(const QString &text);
// A path in a temporary folder of the test program's own; the folder for no name.
QString tempPath(const QString &name = QString());
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// A finished process: its exit code (-1 when it crashed or hung), standard output and error.
struct Run
{
    int status = -1;
    QByteArray out, err;
};
Run runProcess(const QString &program, const QStringList &args, const QByteArray &input = {});
#ifdef KELVADRA_CONVERT
inline Run convert(const QStringList &args, const QByteArray &input = {})
{
    return runProcess(QStringLiteral(KELVADRA_CONVERT), args, input);
}
#endif

#endif // TESTSUPPORT_H
