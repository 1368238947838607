// The main window: its form, the geoid offered after start-up, swapping the
// lists, the About box, and calculations from the left panel into the right
// one as a person would run them. The values themselves are checked against
// PROJ in tst_calculation; here, what the window passes and shows.
#include "MainWindow.h"
#include "Panel.h"
#include "Settings.h"
#include "TestSupport.h"
#include "WindowSize.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <optional>

namespace {

const QString rowErrors
    = QStringLiteral("warning|Предупреждение|При пересчете координат произошли "
                     "ошибки\n(см. пустые строки в списке вычисленных координат)");

// Sets a panel from "<type index><options>:<datum>", options "d" decimal
// degrees, "u" 0 to 360 degrees, "g" heights above the geoid, "z" fixed zone 7.
void configure(Panel *panel, const QString &setting)
{
    const QString options = setting.section(QLatin1Char(':'), 0, 0);
    child<QComboBox>(panel, "comboBoxType")->setCurrentIndex(options.left(1).toInt());
    child<QComboBox>(panel, "comboBoxDatum")->setCurrentText(setting.section(QLatin1Char(':'), 1));
    if (options.contains(QLatin1Char('d')))
        child<QRadioButton>(panel, "radioButtonDegrees")->setChecked(true);
    if (options.contains(QLatin1Char('u')))
        child<QRadioButton>(panel, "radioButtonUnsignedLongitude")->setChecked(true);
    if (options.contains(QLatin1Char('g')))
        child<QComboBox>(panel, "comboBoxGeoid")->setCurrentIndex(1);
    if (options.contains(QLatin1Char('z'))) {
        child<QCheckBox>(panel, "checkBoxAutoZone")->setChecked(false);
        child<QSpinBox>(panel, "spinBoxZone")->setValue(7);
    }
}

// Reasons on the output rows' name cells ("" for a converted row); a failed
// row, and only such a row, is marked light red.
QString reasons(const Panel *panel)
{
    QStringList tips;
    for (int r = 0; r < panel->table()->rowCount(); ++r) {
        const QTableWidgetItem *name = panel->table()->item(r, 0);
        const bool marked = name->background().color() == QColor(255, 220, 220);
        tips << (marked == name->toolTip().isEmpty() ? QStringLiteral("mark?") : name->toolTip());
    }
    return tips.join(QLatin1Char('|'));
}

// The geoid grid a window reads at start-up.
struct StartUp
{
    const char *name;
    const char *file;
    bool loaded, warned;
};

// Rows calculated from the left panel into the right one.
struct Calculate
{
    const char *name, *left, *right; // the panels, as configure() sets them
    QString rows;
    QString expected; // a pattern of the right rows, blanks cut
    bool warned;
    QString reasons = {}, status = {}; // checked when given
    int cursor = -1;                   // the left table's current row
};

} // namespace

Q_DECLARE_METATYPE(StartUp)
Q_DECLARE_METATYPE(Calculate)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void form();
    void geoidAtStartUp_data();
    void geoidAtStartUp();
    void swapAndAbout();
    void calculate_data();
    void calculate();
    void undo();
    void geoidSideWithoutGrid();
    void firstStartFitsLaptop();
    void keys();
    void settingsRestored();

private:
    // A new window reading the grid `file` of the test folder.
    void open(const char *file = "egm96.grd")
    {
        window.reset();
        MainWindow::setGeoidFilePath(dir.filePath(QString::fromLatin1(file)));
        window.emplace();
    }
    Panel *left() const { return window->inputPanel(); }
    Panel *right() const { return window->outputPanel(); }
    void run() { click(left(), "pushButtonCalculate"); }

    QTemporaryDir dir;
    std::optional<DialogLog> log;
    std::optional<MainWindow> window;
};

void TestMainWindow::initTestCase()
{
    // A world grid of constant geoid height 10 m: latitudes -90..90,
    // longitudes -180..360, 90 degrees apart, in radians; and an empty file.
    const QByteArray row = "10\t10\t10\t10\t10\t10\t10\n";
    QVERIFY(writeFile(dir.filePath("egm96.grd"),
        "-1.5707963267948966 1.5707963267948966 -3.1415926535897931 6.2831853071795862 "
        "1.5707963267948966 1.5707963267948966\n"
            + row + row + row));
    QVERIFY(writeFile(dir.filePath("empty.grd"), QByteArray()));
}

void TestMainWindow::init()
{
    log.emplace();
    open();
}

// The left panel loads and calculates, only the right one has About.
void TestMainWindow::form()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("VORLANIX Ranticor (ГОСТ 32453-2017)"));
    auto *splitter = window->findChild<QSplitter *>();
    QCOMPARE(splitter->widget(0), static_cast<QWidget *>(left()));
    QCOMPARE(splitter->widget(1), static_cast<QWidget *>(right()));
    window->show();
    for (const char *button : {"pushButtonLoad", "pushButtonCalculate", "pushButtonAbout"}) {
        const bool about = qstrcmp(button, "pushButtonAbout") == 0;
        QCOMPARE(child<QWidget>(left(), button)->isVisible(), !about);
        QCOMPARE(child<QWidget>(right(), button)->isVisible(), about);
    }
}

// "EGM96" is offered only after a complete load; only a file that cannot be
// opened is worth a warning.
void TestMainWindow::geoidAtStartUp_data()
{
    const StartUp cases[] = {{"loaded", "egm96.grd", true, false},
        {"missing", "absent/egm96.grd", false, true}, {"empty", "empty.grd", false, false}};
    caseRows(cases);
}

void TestMainWindow::geoidAtStartUp()
{
    QFETCH(StartUp, c);
    log->shown.clear();
    open(c.file);
    const QString path = dir.filePath(QString::fromLatin1(c.file));
    QCOMPARE(log->shown,
        c.warned
            ? QStringList {"warning|Предупреждение|Ошибка при загрузке геоида из файла:\n" + path}
            : QStringList());
    QCOMPARE(check_geoid(window->geoidRecord()) != 0, c.loaded);
    for (const Panel *panel : {left(), right()}) {
        const auto *geoid = child<QComboBox>(panel, "comboBoxGeoid");
        QCOMPARE(geoid->count(), c.loaded ? 2 : 1);
        QCOMPARE(geoid->itemText(geoid->count() - 1), c.loaded ? "EGM96" : "Нет");
    }
}

// Ctrl+U in either panel swaps the lists and only them; twice restores them,
// each coordinate cell with two more leading blanks.
void TestMainWindow::swapAndAbout()
{
    configure(right(), "3:WGS 84");
    left()->setPoints({"P1;55 45 5;37 37 6;100", "P2;1;2;"});
    right()->setPoints({"Q1;1000;2000;3000"});
    QTest::keyClick(left()->table(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(left()->points(), QStringList {"Q1;  1000;  2000;  3000"});
    QCOMPARE(right()->points(), (QStringList {"P1;  55 45 5;  37 37 6;  100", "P2;  1;  2;  "}));
    QTest::keyClick(right()->table(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(
        left()->points(), (QStringList {"P1;   55 45 5;   37 37 6;   100", "P2;   1;   2;   "}));
    QCOMPARE(right()->points(), QStringList {"Q1;   1000;   2000;   3000"});
    QCOMPARE(left()->systemType(), 2);
    QCOMPARE(right()->systemType(), 1);
    QCOMPARE(
        window->statusBar()->currentMessage(), QStringLiteral("Списки точек поменялись местами"));

    QVERIFY(log->shown.isEmpty());
    click(right(), "pushButtonAbout");
    QCOMPARE(log->shown,
        QStringList {"about|О программе|VORLANIX Ranticor (ГОСТ 32453-2017)\nВерсия 1.00\n\n\n"
                     "Горячие клавиши:"
                     "\nCtrl+Insert\t вставить строку в список точек"
                     "\nCtrl+Delete\t удалить строку из списка точек"
                     "\nCtrl+N\t\t подсчет строк в списке точек"
                     "\nCtrl+I\t\t поиск некорректных строк"
                     "\nCtrl+D\t\t удалить некорректные строки"
                     "\nCtrl+E\t\t удалить пустые строки"
                     "\nCtrl+U\t\t поменять списки точек местами"
                     "\nCtrl+Shift+U\t поменять местами системы и списки"
                     "\nF9, Ctrl+Enter\t вычислить"
                     "\nCtrl+O, Ctrl+S\t загрузить, сохранить список точек"
                     "\nCtrl+C, Ctrl+X\t копировать, вырезать выделенные строки"
                     "\nCtrl+V\t\t вставить строки из буфера обмена"
                     "\nCtrl+A\t\t выделить все строки"
                     "\nCtrl+Z\t\t отменить последнюю замену или удаление строк"
                     "\nCtrl+Tab\t\t перейти из таблицы к следующему полю"});
}

void TestMainWindow::calculate_data()
{
    const char *p1 = "P1; 55 45 5; 37 37 6; ";
    // clang-format off
    const Calculate cases[] = {
        // Pulkovo 42 lies about 100 m off WGS 84 here: the fifth decimal tells.
        { "P1, blank height, into Pulkovo 42", "0:WGS 84", "0d:Пулково 42",
          p1 + QString("\nP2; ; ; "),
          "P1;55\\.75134\\d{4};37\\.62020\\d{4};\nP2;;;", false },
        { "P1 into geocentric fails", "0:WGS 84", "3:WGS 84", p1 + QString("\n") + p1 + "120",
          "P1;;;\nP1;28\\d{5}\\.\\d{3};21\\d{5}\\.\\d{3};52\\d{5}\\.\\d{3}", true },
        { "GSK 2011 automatic zone", "0:WGS 84", "1:ГСК 2011",
          "A; 55.5; 37.5; 100\nB; 55.5; 45.5; 100",
          "A;615\\d{4}\\.\\d{3};7\\d{6}\\.\\d{3};100\\.\\d{3}\n"
          "B;615\\d{4}\\.\\d{3};8\\d{6}\\.\\d{3};100\\.\\d{3}", false },
        { "zone from each easting", "1:ГСК 2011", "0d:WGS 84",
          "A; 6152000.125; 7468000.5; 12\nB; 6152000.125; 8468000.5; 12",
          "A;55\\.\\d{9};38\\.\\d{9};11\\.\\d{3}\nB;55\\.\\d{9};44\\.\\d{9};11\\.\\d{3}", false },
        { "-75.5 as 284.5", "0:WGS 84", "0du:WGS 84", "W; 40.25; -75.5; ",
          "W;40\\.250000000;284\\.500000000;", false },
        // The geoid as each side's list says: 10 m in the test grid.
        { "geoid out", "0:WGS 84", "0dg:WGS 84", "A; 50; 40; 100",
          "A;50\\.0+;40\\.0+;90\\.000", false },
        { "geoid in", "0g:WGS 84", "0d:WGS 84", "A; 50; 40; 90",
          "A;50\\.0+;40\\.0+;100\\.000", false },
        // Texts that would read as numbers but denote no point fail, each with its reason.
        { "75 minutes, latitude 95", "0:WGS 84", "0d:WGS 84",
          "M; 55 75 0; 37; 0\nL; 95; 37; 0\nOK; 55; 37; \n; ; ; ",
          "M;;;\nL;;;\nOK;55\\.0+;37\\.0+;\n;;;", true,
          "минуты или секунды не меньше 60|широта больше 90°||",
          "Пересчитано 1 из 3 точек, ошибок: 2 (строки 1, 2)" },
        { "easting without its zone", "1z:Пулково 42", "0d:WGS 84", "Y; 6175000; 500000; 0",
          "Y;;;", true, "номер зоны в ординате не совпадает с зоной 7",
          "Пересчитано 0 из 1 точек, ошибок: 1 (строки 1)" },
        { "far from the fixed zone", "0:WGS 84", "1z:ГСК 2011",
          "F; 55; 47; 0\nG; 55; 44; 0", "F;;;\nG;61\\d{5}\\.\\d{3};7\\d{6}\\.\\d{3};0\\.\\d{3}", true,
          "точка дальше 6° от осевого меридиана зоны|",
          "Пересчитано 1 из 2 точек, ошибок: 1 (строки 1)" },
        // Empty rows at the end of the left list go first when the cursor is
        // in them; above it, they stay and come out empty.
        { "empty tail with the cursor", "0:WGS 84", "0d:WGS 84", "A; 10; 20; 0\nB; 11; 21; 0\n\n",
          "A;10\\.0+;20\\.0+;0\\.000\nB;11\\.0+;21\\.0+;0\\.000", false, "", "", 3 },
        { "empty row above the cursor", "0:WGS 84", "0d:WGS 84", "A; 10; 20; 0\n",
          "A;10\\.0+;20\\.0+;0\\.000\n;;;", false, "", "", 0 },
    };
    // clang-format on
    caseRows(cases);
}

// The output table fills under the wait cursor; a warning about failed rows
// comes with the normal one, and nothing is left busy.
void TestMainWindow::calculate()
{
    QFETCH(Calculate, c);
    configure(left(), QString::fromUtf8(c.left));
    configure(right(), QString::fromUtf8(c.right));
    left()->setPoints(c.rows.split(QLatin1Char('\n')));
    left()->table()->setCurrentCell(c.cursor, 1);
    {
        CursorLog cursor(right()->table());
        run();
        QVERIFY(!cursor.shapes.isEmpty());
        QCOMPARE(cursor.shapes.count(int(Qt::WaitCursor)), cursor.shapes.size());
    }
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(log->shown, c.warned ? QStringList {rowErrors} : QStringList());
    QCOMPARE(right()->table()->rowCount(), left()->table()->rowCount());
    const QString got = right()->points().join('\n').replace(QRegularExpression(" *; *"), ";");
    QVERIFY2(
        QRegularExpression(QRegularExpression::anchoredPattern(c.expected)).match(got).hasMatch(),
        qPrintable(got));
    if (!c.reasons.isEmpty() || !c.status.isEmpty()) {
        QCOMPARE(reasons(right()), c.reasons);
        QCOMPARE(window->statusBar()->currentMessage(), c.status);
    }
}

// Ctrl+Z in a table brings back its rows from before the last command that
// replaced or removed them, once; the status bar says what was undone.
void TestMainWindow::undo()
{
    // The command changes the panel's table; Ctrl+Z restores it and says so.
    const auto undone = [&](Panel *panel, const char *what, const std::function<void()> &command) {
        const QStringList before = tableCells(*panel);
        command();
        QTest::keyClick(panel->table(), Qt::Key_Z, Qt::ControlModifier);
        return tableCells(*panel) == before
            && window->statusBar()->currentMessage() == QString::fromUtf8(what);
    };
    const auto key = [](Panel *panel, int k) {
        return [=] { QTest::keyClick(panel->table(), Qt::Key(k), Qt::ControlModifier); };
    };
    left()->setPoints({"A; 1; 2; 3", "B; x; 2; 3"});
    right()->setPoints({"old; 10; 20; 30"});
    QVERIFY(undone(right(), "Отменено: пересчет", [&] { run(); }));
    QVERIFY(undone(right(), "Отменять нечего", [] {}));
    QVERIFY(undone(left(), "Отменено: обмен списков", key(left(), Qt::Key_U)));
    QCOMPARE(tableCells(*right()).first(), QStringLiteral("A|  1|  2|  3")); // not undone here
    right()->table()->setCurrentCell(0, 1);
    QVERIFY(undone(right(), "Отменено: удаление строки", key(right(), Qt::Key_Delete)));
    QVERIFY(undone(right(), "Отменено: удаление некорректных строк", key(right(), Qt::Key_D)));
    QVERIFY(undone(right(), "Отменено: очистка", [&] { click(right(), "pushButtonClear"); }));
}

// A side asking for the geoid while the window holds no grid (the entry is
// added by hand; start-up offers it only after a complete load): each
// routine warns in its own words, and the right table keeps its rows.
void TestMainWindow::geoidSideWithoutGrid()
{
    open("empty.grd");
    right()->addGeoidModel();
    configure(right(), "0g:WGS 84");
    left()->setPoints({"A; 50; 40; 100"});
    right()->setPoints({"keep; 1; 2; 3"});
    const QStringList untouched = right()->points();
    run();
    configure(right(), "1:ГСК 2011");
    run();
    QCOMPARE(log->shown,
        (QStringList {"warning|Предупреждение|Ошибка инициализации пересчета координат",
            "warning|Предупреждение|Ошибка инициализации геоида"}));
    QCOMPARE(right()->points(), untouched);
}

// On a 1366 x 768 screen the first-start window, frame included, shows both
// panels whole, 15 rows of each table, and DMS results without "…".
void TestMainWindow::firstStartFitsLaptop()
{
    const QList<QTableWidget *> tables {left()->table(), right()->table()};
    const QSize frame = WindowSize::typicalFrame(&*window);
    const QSize size = WindowSize::firstStartSize(&*window, tables, QRect(0, 0, 1366, 768), frame);
    QVERIFY(size.width() + frame.width() <= 1366 && size.height() + frame.height() <= 768);
    window->setMinimumSize(window->minimumSizeHint()); // the offscreen screen is smaller
    window->resize(size);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    QCOMPARE(window->size(), size);
    QVERIFY(window->minimumSizeHint().width() <= size.width());

    left()->setPoints({"Пункт 1; 55 45 5.5; 37 37 6.25; 150", "P2; -33.5; -70.25; 10"});
    run();
    // Every group whole; the output panel's in one row, or in two columns
    // when the window is at its narrowest.
    const auto groupsWhole = [](const Panel *panel, bool oneRow) {
        const auto *box = child<QWidget>(panel, "groupBoxRefSystem");
        for (const char *name : {"groupBoxCommon", "groupBoxAngularUnit", "groupBoxHemisphere",
                 "groupBoxLongitudeRange", "groupBoxZone"}) {
            const auto *group = child<QWidget>(panel, name);
            QVERIFY2(
                group->isHidden() || (group->size() - group->minimumSizeHint()).isValid(), name);
            QVERIFY2(box->rect().contains(group->geometry()), name);
        }
        QCOMPARE(child<QWidget>(panel, "groupBoxHemisphere")->y()
                == child<QWidget>(panel, "groupBoxCommon")->y(),
            oneRow);
    };
    for (const QTableWidget *table : tables) {
        // The offscreen platform's rows are taller than at 96 dpi (23 px, not
        // 17): its window reaches the screen's height, and shows a row less.
        const int rows = table->viewport()->height() / table->rowHeight(0);
        QVERIFY2(rows >= WindowSize::kVisibleRows - (size.height() + frame.height() == 768),
            qPrintable(QString("%1 rows in %2x%3").arg(rows).arg(size.width()).arg(size.height())));
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        const int room = 2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
        for (int c = 0; c < 4; ++c) {
            for (int r = 0; r < table->rowCount(); ++r) {
                const QString text = table->item(r, c)->text();
                QVERIFY2(
                    table->fontMetrics().horizontalAdvance(text) < table->columnWidth(c) - room,
                    qPrintable(text));
            }
        }
    }
    groupsWhole(left(), true);
    groupsWhole(right(), true);
    window->resize(window->minimumSizeHint().width(), window->height());
    QTRY_COMPARE(window->width(), window->minimumSizeHint().width());
    groupsWhole(left(), true);
    groupsWhole(right(), false);
    QVERIFY(log->shown.isEmpty());
}

// F9 and Ctrl+Enter calculate from anywhere; Ctrl+S saves the focused
// panel's list, Ctrl+O always loads the left one; Ctrl+Tab leaves a table;
// Ctrl+Shift+U swaps the systems with the lists.
void TestMainWindow::keys()
{
    window->show();
    QApplication::setActiveWindow(&*window);
    QVERIFY(QTest::qWaitForWindowActive(&*window));
    configure(right(), "1:Пулково 42");
    for (const char *keys : {"F9", "Ctrl+Return", "Ctrl+Enter"}) {
        right()->clearPoints();
        left()->setPoints({"A; 55; 37; 0"});
        right()->table()->setFocus();
        QTest::keySequence(right()->table(), QKeySequence(QString::fromLatin1(keys)));
        QVERIFY(right()->points().first().contains(QRegularExpression("^A;  \\d{7}\\.\\d{3};")));
    }
    // A cell still being typed in counts.
    left()->table()->setCurrentCell(0, 0);
    QTest::keyClick(left()->table(), Qt::Key_F2);
    auto *editor = left()->table()->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "B");
    QTest::keyClick(editor, Qt::Key_F9);
    QVERIFY(right()->points().first().startsWith(QStringLiteral("B;")));
    log->fileName = dir.filePath("keys.txt");
    right()->table()->setFocus();
    QTest::keyClick(right()->table(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(QString::fromUtf8(readFile(log->fileName)), right()->points().first() + "\n");
    QTest::keyClick(right()->table(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(left()->points(), right()->points().replaceInStrings("; ", ";  "));

    QTest::keyClick(left()->table(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(left(), "pushButtonLoad"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(left()->table()));
    QTest::keyClick(left()->table(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(left(), "comboBoxGeoid"));

    const QVariantMap leftChoices = Settings::panelChoices(left());
    const QStringList leftRows = left()->points(), rightRows = right()->points();
    QTest::keyClick(left()->table(), Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(left()->systemType(), 3);
    QCOMPARE(right()->systemType(), 2);
    QCOMPARE(left()->points().size(), rightRows.size());
    QTest::keyClick(left()->table(), Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    for (const char *key : {"type", "datum", "geoid"})
        QCOMPARE(Settings::panelChoices(left()).value(key), leftChoices.value(key));
    QCOMPARE(left()->points().size(), leftRows.size());
}

// Choices, folders and geometry come back at the next start; what no longer
// fits falls back to the default without a word.
void TestMainWindow::settingsRestored()
{
    QSettings().clear();
    configure(right(), "1dz:Пулково 95");
    child<QRadioButton>(right(), "radioButtonSouthern")->setChecked(true);
    configure(left(), "3g:ГСК 2011");
    window->setGeometry(QRect(20, 30, 700, 500));
    Settings::saveWindow(&*window);
    const QVariantMap choices[] = {Settings::panelChoices(left()), Settings::panelChoices(right())};
    QCOMPARE(choices[1].value("zone").toInt(), 7);
    open();
    Settings::restoreWindow(&*window);
    QCOMPARE(window->geometry(), QRect(20, 30, 700, 500));
    QCOMPARE(Settings::panelChoices(left()), choices[0]);
    QCOMPARE(Settings::panelChoices(right()), choices[1]);

    // Without a grid "EGM96" is gone; a zone, type and datum out of range; a
    // folder since removed.
    QSettings().setValue("rightPanel/zone", 61);
    QSettings().setValue("rightPanel/type", 9);
    QSettings().setValue("rightPanel/datum", 12345);
    QSettings().setValue("window/geometry", QByteArray("no geometry"));
    QSettings().setValue("folders/load", dir.filePath("removed"));
    open("empty.grd");
    const QVariantMap defaults = Settings::panelChoices(right());
    const QRect firstStart = window->geometry();
    Settings::restoreWindow(&*window);
    QCOMPARE(Settings::panelChoices(left()).value("geoid").toInt(), 0);
    QCOMPARE(Settings::panelChoices(left()).value("type").toInt(), 3);
    QCOMPARE(Settings::panelChoices(right()).value("zone"), defaults.value("zone"));
    QCOMPARE(right()->systemType(), 2);
    QCOMPARE(window->geometry(), firstStart);
    QCOMPARE(Settings::lastFolder("load"), QString());
    QVERIFY(log->shown.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
