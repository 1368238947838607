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
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
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
#include <memory>

namespace {

const QString rowErrors
    = QStringLiteral("warning|Предупреждение|При пересчете координат произошли "
                     "ошибки\n(см. пустые строки в списке вычисленных координат)");

// Sets a panel from "<type index><options>:<datum>", options "d" decimal
// degrees, "u" 0 to 360 degrees, "g" heights above the geoid.
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
    if (options.contains(QLatin1Char('z'))) { // fixed zone 7
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

void calculate(MainWindow *window)
{
    child<QPushButton>(window->inputPanel(), "pushButtonCalculate")->click();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void form();
    void geoidAtStartUp();
    void swapAndAbout();
    void calculate_data();
    void calculate();
    void geoidSideWithoutGrid();
    void trailingEmptyRowsDropped();
    void waitCursor();
    void firstStartFitsLaptop();
    void keys();
    void settingsRestored();
    void undo();

private:
    std::unique_ptr<MainWindow> makeWindow(const QString &geoidPath = QString());

    QTemporaryDir dir;
};

void TestMainWindow::initTestCase()
{
    // A world grid of constant geoid height 10 m: latitudes -90..90,
    // longitudes -180..360, 90 degrees apart, in radians; and an empty file.
    const auto radians = [](double quarters) {
        return QByteArray::number(quarters * 1.5707963267948966, 'g', 17);
    };
    QByteArray text = radians(-1) + " " + radians(1) + " " + radians(-2) + " " + radians(4) + " "
        + radians(1) + " " + radians(1) + "\n";
    for (int row = 0; row < 3; ++row)
        text += "10\t10\t10\t10\t10\t10\t10\n";
    QVERIFY(writeFile(dir.filePath("egm96.grd"), text));
    QVERIFY(writeFile(dir.filePath("empty.grd"), QByteArray()));
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow(const QString &geoidPath)
{
    MainWindow::setGeoidFilePath(geoidPath.isEmpty() ? dir.filePath("egm96.grd") : geoidPath);
    return std::make_unique<MainWindow>();
}

void TestMainWindow::form()
{
    auto window = makeWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("VORLANIX Ranticor (ГОСТ 32453-2017)"));
    auto *splitter = window->findChild<QSplitter *>();
    QVERIFY(splitter && splitter->orientation() == Qt::Horizontal);
    QVERIFY(!splitter->childrenCollapsible());
    QCOMPARE(splitter->widget(0), static_cast<QWidget *>(window->inputPanel()));
    QCOMPARE(splitter->widget(1), static_cast<QWidget *>(window->outputPanel()));

    // Only the left panel loads and calculates, only the right one has About.
    window->show();
    for (const char *button : {"pushButtonLoad", "pushButtonCalculate", "pushButtonAbout"}) {
        QCOMPARE(child<QWidget>(window->inputPanel(), button)->isVisible(),
            qstrcmp(button, "pushButtonAbout") != 0);
        QCOMPARE(child<QWidget>(window->outputPanel(), button)->isVisible(),
            qstrcmp(button, "pushButtonAbout") == 0);
    }
}

// "EGM96" is offered only after a complete load; only a file that cannot be
// opened is worth a warning.
void TestMainWindow::geoidAtStartUp()
{
    const char *const files[] = {"egm96.grd", "absent/egm96.grd", "empty.grd"};
    for (int i = 0; i < 3; ++i) {
        const bool loaded = i == 0, missing = i == 1;
        const QString path = dir.filePath(files[i]);
        DialogLog log;
        auto window = makeWindow(path);
        QCOMPARE(log.shown,
            missing ? QStringList {"warning|Предупреждение|Ошибка при загрузке геоида из файла:\n"
                + path}
                    : QStringList());
        QCOMPARE(check_geoid(window->geoidRecord()) != 0, loaded);
        for (const Panel *panel : {window->inputPanel(), window->outputPanel()}) {
            const auto *geoid = child<QComboBox>(panel, "comboBoxGeoid");
            QCOMPARE(geoid->count(), loaded ? 2 : 1);
            QCOMPARE(geoid->itemText(geoid->count() - 1), loaded ? "EGM96" : "Нет");
        }
    }
}

// Ctrl+U in either panel swaps the lists and only them; twice restores them,
// each coordinate cell with two more leading blanks.
void TestMainWindow::swapAndAbout()
{
    DialogLog log;
    auto window = makeWindow();
    Panel *left = window->inputPanel();
    Panel *right = window->outputPanel();
    configure(right, "3:WGS 84");
    left->setPoints({"P1;55 45 5;37 37 6;100", "P2;1;2;"});
    right->setPoints({"Q1;1000;2000;3000"});

    QTest::keyClick(left->table(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(left->points(), QStringList {"Q1;  1000;  2000;  3000"});
    QCOMPARE(right->points(), (QStringList {"P1;  55 45 5;  37 37 6;  100", "P2;  1;  2;  "}));
    QTest::keyClick(right->table(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(left->points(), (QStringList {"P1;   55 45 5;   37 37 6;   100", "P2;   1;   2;   "}));
    QCOMPARE(right->points(), QStringList {"Q1;   1000;   2000;   3000"});
    QCOMPARE(left->systemType(), 2);
    QCOMPARE(right->systemType(), 1);

    QVERIFY(log.shown.isEmpty());
    child<QPushButton>(right, "pushButtonAbout")->click();
    QCOMPARE(log.shown,
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
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("expected"); // a pattern of the right rows, blanks cut
    QTest::addColumn<bool>("warned");
    QTest::addColumn<QString>("reasons"); // checked when given
    QTest::addColumn<QString>("status");  // checked when given

    const char *p1 = "P1; 55 45 5; 37 37 6; ";
    // clang-format off
    const struct { const char *name, *left, *right; QString rows, expected; bool warned;
                   QString reasons = {}, status = {}; }
    cases[] = {
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
    };
    // clang-format on
    for (const auto &c : cases)
        QTest::newRow(c.name) << c.left << c.right << c.rows << c.expected << c.warned << c.reasons
                              << c.status;
}

void TestMainWindow::calculate()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, rows);
    QFETCH(QString, expected);
    QFETCH(bool, warned);
    QFETCH(QString, reasons);
    QFETCH(QString, status);

    DialogLog log;
    auto window = makeWindow();
    configure(window->inputPanel(), left);
    configure(window->outputPanel(), right);
    window->inputPanel()->setPoints(rows.split(QLatin1Char('\n')));
    ::calculate(window.get());
    QCOMPARE(log.shown, warned ? QStringList {rowErrors} : QStringList());
    const QString got
        = window->outputPanel()
              ->points()
              .join(QLatin1Char('\n'))
              .replace(QRegularExpression(QStringLiteral(" *; *")), QStringLiteral(";"));
    QVERIFY2(
        QRegularExpression(QRegularExpression::anchoredPattern(expected)).match(got).hasMatch(),
        qPrintable(got));
    if (!reasons.isEmpty() || !status.isEmpty()) {
        QCOMPARE(::reasons(window->outputPanel()), reasons);
        QCOMPARE(window->statusBar()->currentMessage(), status);
    }
}

// Ctrl+Z in a table brings back its rows from before the last command that
// replaced or removed them, once; the status bar says what was undone.
void TestMainWindow::undo()
{
    DialogLog log;
    auto window = makeWindow();
    Panel *left = window->inputPanel();
    Panel *right = window->outputPanel();
    QTableWidget *table = right->table();
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
    left->setPoints({"A; 1; 2; 3", "B; x; 2; 3"});
    right->setPoints({"old; 10; 20; 30"});
    QVERIFY(undone(right, "Отменено: пересчет", [&] { ::calculate(window.get()); }));
    QVERIFY(undone(right, "Отменять нечего", [] {}));
    QVERIFY(undone(left, "Отменено: обмен списков", key(left, Qt::Key_U)));
    QCOMPARE(tableCells(*right).first(), QStringLiteral("A|  1|  2|  3")); // not undone here
    table->setCurrentCell(0, 1);
    QVERIFY(undone(right, "Отменено: удаление строки", key(right, Qt::Key_Delete)));
    QVERIFY(undone(right, "Отменено: удаление некорректных строк", key(right, Qt::Key_D)));
    QVERIFY(undone(right, "Отменено: очистка",
        [&] { child<QPushButton>(right, "pushButtonClear")->click(); }));
}

// A side asking for the geoid while the window holds no grid (the entry is
// added by hand; start-up offers it only after a complete load): each
// routine warns in its own words, and the right table keeps its rows.
void TestMainWindow::geoidSideWithoutGrid()
{
    auto window = makeWindow(dir.filePath("empty.grd"));
    Panel *right = window->outputPanel();
    right->addGeoidModel();
    configure(right, "0g:WGS 84");
    window->inputPanel()->setPoints({"A; 50; 40; 100"});
    right->setPoints({"keep; 1; 2; 3"});
    const QStringList untouched = right->points();

    DialogLog log;
    ::calculate(window.get());
    configure(right, "1:ГСК 2011");
    ::calculate(window.get());
    QCOMPARE(log.shown,
        (QStringList {"warning|Предупреждение|Ошибка инициализации пересчета координат",
            "warning|Предупреждение|Ошибка инициализации геоида"}));
    QCOMPARE(right->points(), untouched);
}

// Empty rows at the end of the left list go before the calculation when the
// cursor is in them; above them, they stay and come out empty.
void TestMainWindow::trailingEmptyRowsDropped()
{
    DialogLog log;
    auto window = makeWindow();
    Panel *left = window->inputPanel();
    left->setPoints({"P1; 10; 20; 0", "P2; 11; 21; 0", "; ; ; ", "; ; ; "});
    left->table()->setCurrentCell(3, 1);
    ::calculate(window.get());
    QCOMPARE(left->table()->rowCount(), 2);
    QCOMPARE(window->outputPanel()->table()->rowCount(), 2);

    left->setPoints({"P1; 10; 20; 0", "; ; ; "});
    left->table()->setCurrentCell(0, 0);
    ::calculate(window.get());
    QCOMPARE(window->outputPanel()->table()->rowCount(), 2);
    QVERIFY(log.shown.isEmpty());
}

// The output table fills under the wait cursor; the warning about failed
// rows comes with the normal one, and nothing is left busy.
void TestMainWindow::waitCursor()
{
    DialogLog log;
    auto window = makeWindow();
    window->inputPanel()->setPoints({"A; 50; 40; 100", "B; x; 40; 100"});
    {
        CursorLog cursor(window->outputPanel()->table());
        ::calculate(window.get());
        QVERIFY(!cursor.shapes.isEmpty());
        QCOMPARE(cursor.shapes.count(int(Qt::WaitCursor)), cursor.shapes.size());
    }
    QCOMPARE(log.shown, QStringList {rowErrors});
    QVERIFY(!QGuiApplication::overrideCursor());
}

// On a 1366 x 768 screen the first-start window, frame included, shows both
// panels whole, 15 rows of each table, and DMS results without "…".
void TestMainWindow::firstStartFitsLaptop()
{
    DialogLog log;
    auto window = makeWindow();
    const QList<QTableWidget *> tables {
        window->inputPanel()->table(), window->outputPanel()->table()};
    const QSize frame = WindowSize::typicalFrame(window.get());
    const QSize size
        = WindowSize::firstStartSize(window.get(), tables, QRect(0, 0, 1366, 768), frame);
    QVERIFY(size.width() + frame.width() <= 1366 && size.height() + frame.height() <= 768);
    window->setMinimumSize(window->minimumSizeHint()); // the offscreen screen is smaller
    window->resize(size);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->size(), size);
    QVERIFY(window->minimumSizeHint().width() <= size.width());

    window->inputPanel()->setPoints(
        {"Пункт 1; 55 45 5.5; 37 37 6.25; 150", "P2; -33.5; -70.25; 10"});
    ::calculate(window.get());
    // Every group whole; the output panel's in one row, or in two columns
    // when the window is at its narrowest.
    const auto groupsWhole = [](const Panel *panel, bool oneRow) {
        const auto *box = child<QWidget>(panel, "groupBoxRefSystem");
        for (const char *name : {"groupBoxCommon", "groupBoxAngularUnit", "groupBoxHemisphere",
                 "groupBoxLongitudeRange", "groupBoxZone"}) {
            const auto *group = child<QWidget>(panel, name);
            QVERIFY(group->isHidden() || (group->size() - group->minimumSizeHint()).isValid());
            QVERIFY(box->rect().contains(group->geometry()));
        }
        QCOMPARE(child<QWidget>(panel, "groupBoxHemisphere")->y()
                == child<QWidget>(panel, "groupBoxCommon")->y(),
            oneRow);
    };
    for (const Panel *panel : {window->inputPanel(), window->outputPanel()}) {
        QTableWidget *table = panel->table();
        groupsWhole(panel, true);
        // The offscreen platform's rows are taller than at 96 dpi (23 px, not
        // 17): its window reaches the screen's height, and shows a row less.
        const int rows = table->viewport()->height() / table->rowHeight(0);
        QVERIFY2(rows >= WindowSize::kVisibleRows - (size.height() + frame.height() == 768),
            qPrintable(QString("%1 %2 %3x%4")
                           .arg(table->viewport()->height())
                           .arg(table->rowHeight(0))
                           .arg(size.width())
                           .arg(size.height())));
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        for (int c = 0; c < 4; ++c) {
            const int room = table->columnWidth(c)
                - 2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
            for (int r = 0; r < table->rowCount(); ++r)
                QVERIFY(table->fontMetrics().horizontalAdvance(table->item(r, c)->text()) < room);
        }
    }
    window->resize(window->minimumSizeHint().width(), window->height());
    QTRY_COMPARE(window->width(), window->minimumSizeHint().width());
    groupsWhole(window->inputPanel(), true);
    groupsWhole(window->outputPanel(), false);
    QVERIFY(log.shown.isEmpty());
}

// F9 and Ctrl+Enter calculate from anywhere; Ctrl+S saves the focused
// panel's list, Ctrl+O always loads the left one; Ctrl+Tab leaves a table;
// Ctrl+Shift+U swaps the systems with the lists.
void TestMainWindow::keys()
{
    DialogLog log;
    auto window = makeWindow();
    Panel *left = window->inputPanel();
    Panel *right = window->outputPanel();
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    configure(right, "1:Пулково 42");
    for (int key : {int(Qt::Key_F9), int(Qt::CTRL + Qt::Key_Return)}) {
        right->clearPoints();
        left->setPoints({"A; 55; 37; 0"});
        right->table()->setFocus();
        QTest::keyClick(right->table(), Qt::Key(key & ~Qt::KeyboardModifierMask),
            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QVERIFY(right->points().first().contains(QRegularExpression("^A;  \\d{7}\\.\\d{3};")));
    }
    // A cell still being typed in counts.
    left->table()->setCurrentCell(0, 0);
    QTest::keyClick(left->table(), Qt::Key_F2);
    auto *editor = left->table()->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "B");
    QTest::keyClick(editor, Qt::Key_F9);
    QVERIFY(right->points().first().startsWith(QStringLiteral("B;")));
    log.fileName = dir.filePath("keys.txt");
    right->table()->setFocus();
    QTest::keyClick(right->table(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(QString::fromUtf8(readFile(log.fileName)), right->points().first() + "\n");
    QTest::keyClick(right->table(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(left->points(), right->points().replaceInStrings("; ", ";  "));

    QTest::keyClick(left->table(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(left, "pushButtonLoad"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(left->table()));
    QTest::keyClick(left->table(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(left, "comboBoxGeoid"));

    const QVariantMap leftChoices = Settings::panelChoices(left);
    const QStringList leftRows = left->points(), rightRows = right->points();
    QTest::keyClick(left->table(), Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(left->systemType(), 3);
    QCOMPARE(right->systemType(), 2);
    QCOMPARE(left->points().size(), rightRows.size());
    QTest::keyClick(left->table(), Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    for (const char *key : {"type", "datum", "geoid"})
        QCOMPARE(Settings::panelChoices(left).value(key), leftChoices.value(key));
    QCOMPARE(left->points().size(), leftRows.size());
}

// Choices, folders and geometry come back at the next start; what no longer
// fits falls back to the default without a word.
void TestMainWindow::settingsRestored()
{
    DialogLog log;
    QSettings().clear();
    QVariantMap choices[2];
    {
        auto window = makeWindow();
        configure(window->outputPanel(), "1d:Пулково 95");
        child<QCheckBox>(window->outputPanel(), "checkBoxAutoZone")->setChecked(false);
        child<QSpinBox>(window->outputPanel(), "spinBoxZone")->setValue(7);
        child<QRadioButton>(window->outputPanel(), "radioButtonSouthern")->setChecked(true);
        configure(window->inputPanel(), "3g:ГСК 2011");
        window->setGeometry(QRect(20, 30, 700, 500));
        Settings::saveWindow(window.get());
        choices[0] = Settings::panelChoices(window->inputPanel());
        choices[1] = Settings::panelChoices(window->outputPanel());
    }
    auto saved = makeWindow();
    Settings::restoreWindow(saved.get());
    QCOMPARE(saved->geometry(), QRect(20, 30, 700, 500));
    QCOMPARE(Settings::panelChoices(saved->inputPanel()), choices[0]);
    QCOMPARE(Settings::panelChoices(saved->outputPanel()), choices[1]);
    QCOMPARE(choices[1].value("zone").toInt(), 7);

    // Without a grid "EGM96" is gone; a zone, type and datum out of range.
    QSettings().setValue("rightPanel/zone", 61);
    QSettings().setValue("rightPanel/type", 9);
    QSettings().setValue("rightPanel/datum", 12345);
    QSettings().setValue("window/geometry", QByteArray("no geometry"));
    auto fresh = makeWindow(dir.filePath("empty.grd"));
    const QVariantMap defaults = Settings::panelChoices(fresh->outputPanel());
    const QRect firstStart = fresh->geometry();
    Settings::restoreWindow(fresh.get());
    QCOMPARE(Settings::panelChoices(fresh->inputPanel()).value("geoid").toInt(), 0);
    QCOMPARE(Settings::panelChoices(fresh->inputPanel()).value("type").toInt(), 3);
    QCOMPARE(Settings::panelChoices(fresh->outputPanel()).value("zone"), defaults.value("zone"));
    QCOMPARE(fresh->outputPanel()->systemType(), 2);
    QCOMPARE(fresh->geometry(), firstStart);
    QVERIFY(log.shown.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
