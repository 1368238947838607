// The main window as a person runs it; the values themselves are checked in tst_calculation.
#include "LocalSystems.h"
#include "Settings.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// The status line, then each reason with its rows.
const QString rowErrors = QStringLiteral(
    "При пересчете координат произошли ошибки.\n%1.\n\n%2\n\nЭти строки в списке вычисленных "
    "координат пусты и отмечены красным; причина — и в подсказке к имени точки.");

// Rows calculated from the left panel into the right one.
struct Calculate
{
    const char *name, *left, *right; // the panels, as configure() sets them
    QString rows, expected;          // the left rows; a pattern of the right rows, blanks cut
    QString box = {}; // the status bar, then the warning's reasons; empty: no warning
    int cursor = -1;  // the left table's current row
};

} // namespace

Q_DECLARE_METATYPE(Calculate)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A world grid of constant geoid height 10 m (-90..90, -180..360 by 90°, radians); no grid.
        const QByteArray row = "10\t10\t10\t10\t10\t10\t10\n";
        QVERIFY(writeFile(tempPath("egm96.grd"),
            "-1.5707963267948966 1.5707963267948966 -3.1415926535897931 6.2831853071795862 "
            "1.5707963267948966 1.5707963267948966\n"
                + row + row + row));
        QVERIFY(writeFile(tempPath("empty.grd"), QByteArray()));
    }

    void init() { w.emplace(tempPath("egm96.grd")); }

    // "EGM96" only after a complete load; a warning only for a file that cannot be opened.
    void geoidAtStartUp_data()
    {
        addColumns<QString, bool, bool>("file", "loaded", "warned");
        dataRow("loaded", QString("egm96.grd"), true, false);
        dataRow("missing", QString("absent/egm96.grd"), false, true);
        dataRow("empty", QString("empty.grd"), false, false);
    }

    void geoidAtStartUp()
    {
        const auto [file, loaded, warned] = fetch<QString, bool, bool>("file", "loaded", "warned");
        shown().clear();
        w->open(tempPath(file));
        const QString warning = "warning|Предупреждение|Ошибка при загрузке геоида из файла:\n";
        QCOMPARE(shown().join('\n'), warned ? warning + tempPath(file) : QString());
        QCOMPARE(check_geoid(window().geoidRecord()) != 0, loaded);
        for (const Panel *panel : {left(), right()}) {
            const auto *geoid = child<QComboBox>(panel, "comboBoxGeoid");
            QCOMPARE(geoid->count(), loaded ? 2 : 1);
            QCOMPARE(geoid->itemText(geoid->count() - 1), loaded ? "EGM96" : "Нет");
        }
        if (loaded)
            return;
        // The geoid asked for without a grid: each routine warns in its words, the right rows stay.
        shown().clear();
        right()->addGeoidModel();
        configure(right(), "geod:wgs84+egm96");
        setRows(*left(), {"A; 50; 40; 100"});
        setRows(*right(), {"keep; 1; 2; 3"});
        w->run();
        configure(right(), "gk:gsk2011:auto+egm96");
        w->run();
        QCOMPARE(shown(),
            (QStringList {"warning|Предупреждение|Ошибка инициализации пересчета координат",
                "warning|Предупреждение|Ошибка инициализации геоида"}));
        QCOMPARE(tableCells(*right()), QStringList {"keep|1|2|3"});
    }

    // «Местная система» chosen before any is defined: the calculation and the map export say so.
    void noLocalSystemYet()
    {
        QFile::remove(LocalSystems::defaultPath());
        w.emplace(tempPath("egm96.grd"));
        chooseItem(child<QComboBox>(right(), "comboBoxType"), "Местная система");
        setRows(*left(), {"A; 50; 40; 100"});
        shown().clear();
        w->run();
        click(right(), "pushButtonExportMap");
        QCOMPARE(shown(),
            (QStringList {"warning|Предупреждение|Местная система не выбрана: добавьте её кнопкой "
                          "«...» рядом со списком систем.",
                "warning|Предупреждение|Система координат таблицы не выбрана: выберите её, затем "
                "экспортируйте."}));
    }

    void calculate_data()
    {
        const char *p1 = "P1; 55 45 5; 37 37 6; ";
        // clang-format off
        const Calculate cases[] = {
            // Pulkovo 42 lies about 100 m off WGS 84 here: the fifth decimal tells.
            {"P1, blank height, into Pulkovo 42", "geod:wgs84", "geod:sk42:deg", p1 + QString("\nP2; ; ; "),
             "P1;55\\.75134\\d{4};37\\.62020\\d{4};\nP2;;;"},
            {"P1 into geocentric fails", "geod:wgs84", "geoc:wgs84", p1 + QString("\n") + p1 + "120\n" + p1,
             "P1;;;\nP1;28\\d{5}\\.\\d{3};21\\d{5}\\.\\d{3};52\\d{5}\\.\\d{3}\nP1;;;", "Пересчитано 1 из 3 точек, ошибок: 2 (строки 1, 3)\n"
             "нет высоты, а геоцентрическим координатам она нужна: 2 (строки 1, 3)"},
            {"GSK 2011 automatic zone", "geod:wgs84", "gk:gsk2011:auto:auto", "A; 55.5; 37.5; 100\nB; 55.5; 45.5; 100",
             "A;615\\d{4}\\.\\d{3};7\\d{6}\\.\\d{3};100\\.\\d{3}\n"
             "B;615\\d{4}\\.\\d{3};8\\d{6}\\.\\d{3};100\\.\\d{3}"},
            {"SK-42 automatic zone and hemisphere", "geod:wgs84", "gk:sk42:auto:auto", "A; 55; 37; 0",
             "A;6\\d{6}\\.\\d{3};7\\d{6}\\.\\d{3};-5\\.\\d{3}"},
            // Texts that would read as numbers but denote no point fail.
            {"75 minutes, latitude 95", "geod:wgs84", "geod:wgs84:deg", "M; 55 75 0; 37; 0\nL; 95; 37; 0\nOK; 55; 37; \n; ; ; ",
             "M;;;\nL;;;\nOK;55\\.0+;37\\.0+;\n;;;", "Пересчитано 1 из 3 точек, ошибок: 2 (строки 1, 2)\n"
             "минуты или секунды не меньше 60: 1 (строка 1)\nширота больше 90°: 1 (строка 2)"},
            {"easting without its zone", "gk:sk42:7", "geod:wgs84:deg", "Y; 6175000; 500000; 0", "Y;;;",
             "Пересчитано 0 из 1 точки, ошибок: 1 (строка 1)\nномер зоны в ординате не совпадает с зоной 7: 1 (строка 1)"},
            {"far from the fixed zone", "geod:wgs84", "gk:gsk2011:7:auto", "F; 55; 47; 0\nG; 55; 44; 0",
             "F;;;\nG;61\\d{5}\\.\\d{3};7\\d{6}\\.\\d{3};0\\.\\d{3}",
             "Пересчитано 1 из 2 точек, ошибок: 1 (строка 1)\nточка дальше 6° от осевого меридиана зоны: 1 (строка 1)"},
            // An empty tail goes first when the cursor is in it; above the cursor, it comes out empty.
            {"empty tail with the cursor", "geod:wgs84", "geod:wgs84:deg", "A; 10; 20; 0\nB; 11; 21; 0\n\n",
             "A;10\\.0+;20\\.0+;0\\.000\nB;11\\.0+;21\\.0+;0\\.000", "", 3},
            {"empty row above the cursor", "geod:wgs84", "geod:wgs84:deg", "A; 10; 20; 0\n",
             "A;10\\.0+;20\\.0+;0\\.000\n;;;", "", 0},
        };
        // clang-format on
        caseRows(cases);
    }

    // The table fills under the wait cursor; a warning comes with the normal one, nothing busy.
    void calculate()
    {
        QFETCH(Calculate, c);
        configure(left(), QString::fromUtf8(c.left));
        configure(right(), QString::fromUtf8(c.right));
        setRows(*left(), c.rows.split(QLatin1Char('\n')));
        left()->table()->setCurrentCell(c.cursor, 1);
        QStringList boxes;
        const QList<int> cursors = cursorsWhile(
            right()->table(), [&] { boxes = answerBoxes(w->log, "OK", [this] { w->run(); }); });
        QVERIFY(!cursors.isEmpty());
        QCOMPARE(cursors.count(int(Qt::WaitCursor)), cursors.size());
        QVERIFY(!QGuiApplication::overrideCursor());
        const QString status = c.box.section('\n', 0, 0);
        QCOMPARE(boxes,
            c.box.isEmpty() ? QStringList()
                            : QStringList {rowErrors.arg(status, c.box.section('\n', 1))});
        QCOMPARE(right()->table()->rowCount(), left()->table()->rowCount());
        const QString got = tableCells(*right()).join('\n').replace('|', ';');
        const QRegularExpression expected(QRegularExpression::anchoredPattern(c.expected));
        QVERIFY2(expected.match(got).hasMatch(), qPrintable(got));
        QVERIFY(c.box.isEmpty() || window().statusBar()->currentMessage() == status);
    }

    void invalidRowsAsCalculated_data()
    {
        // "written": Ctrl+I lists the row; otherwise only the conversion may refuse it.
        addColumns<QString, QString, QString, bool>("from", "to", "row", "written");
        const char *geod = "geod:wgs84", *gk = "gk:sk42:7", *geoc = "geoc:wgs84";
        dataRow("minutes 59", geod, gk, QString("P; 55 59 0; 37 0 0; 1"), false);
        dataRow("minutes 60", geod, gk, QString("P; 55 60 0; 37 0 0; 1"), true);
        dataRow("latitude 90", geod, geoc, QString("P; 90; 37; 1"), false);
        dataRow("latitude 90.000001", geod, geoc, QString("P; 90.000001; 37; 1"), true);
        dataRow("height 10 000 km", geod, geoc, QString("P; 55; 37; 10000000"), false);
        dataRow("height past 10 000 km", geod, geoc, QString("P; 55; 37; 10000000.001"), true);
        dataRow("past a double", gk, geod, "P; 6100000; 7400000; 1" + QString(400, '0'), true);
        dataRow("zone prefix 7", gk, geod, QString("P; 6100000; 7999999.999; 1"), false);
        dataRow("zone prefix 8", gk, geod, QString("P; 6100000; 8000000; 1"), true);
        // The conversion's own refusals: far from the meridian, and a height a geocentric Z needs.
        dataRow("far from the meridian", gk, geod, QString("P; 6100000; 7900000; 1"), false);
        dataRow("blank height into geocentric", geod, geoc, QString("P; 55; 37; "), false);
    }

    // Ctrl+I in the source table, then "Вычислить >>>": every row Ctrl+I passes and the calculation
    // fails is one the conversion refuses, under a reason of its own.
    void invalidRowsAsCalculated()
    {
        const auto [from, to, row, written]
            = fetch<QString, QString, QString, bool>("from", "to", "row", "written");
        configure(left(), from);
        configure(right(), to);
        setRows(*left(), {row});
        QTest::keyClick(left()->table(), Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(shown().value(0).startsWith("warning|Поиск некорректных строк|"), written);
        w->run();
        const QTableWidgetItem *name = right()->table()->item(0, 0);
        const QString reason = name ? name->toolTip() : QString();
        // A row that reads is not called a bad writing.
        QVERIFY2(
            written ? !reason.isEmpty() : !reason.contains("неверная запись"), qPrintable(reason));
    }

    void systemChangeClearsResults_data()
    {
        addColumns<QString>("control");
        for (const char *control : {"comboBoxType", "comboBoxDatum", "comboBoxGeoid",
                 "checkBoxAutoZone", "radioButtonSouthern"})
            dataRow(control, QString(control));
    }

    // Results never stand under another system: cleared, and back with their system by Ctrl+Z
    // (twice: they are results again); points typed stay whatever the system.
    void systemChangeClearsResults()
    {
        QFETCH(QString, control);
        const Qt::Key key = control.startsWith("comboBox") ? Qt::Key_Down : Qt::Key_Space;
        showWindow();
        configure(right(), "gk:sk42:auto");
        typeKeys(left()->table(), 0, 0, "A\t55\t37\t0\n");
        w->run();
        const QStringList results = tableCells(*right());
        const QString before = systems();
        auto *widget = child<QWidget>(right(), qPrintable(control));
        for (int round = 0; round < 2; ++round) {
            QTest::keyClick(widget, key);
            QVERIFY(systems() != before);
            QCOMPARE(tableCells(*right()), QStringList {"|||"});
            QCOMPARE(tableCells(*left()), QStringList {"A|55|37|0"});
            QTest::keyClick(right()->table(), Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(tableCells(*right()), results);
            QCOMPARE(systems(), before);
        }
        typeKeys(right()->table(), 0, 3, "1\n");
        QTest::keyClick(widget, key);
        QCOMPARE(tableCells(*right()).first(), results.first().section('|', 0, 2) + "|1");
    }

    void closeWithUnsavedPoints_data()
    {
        addColumns<QString, QString, bool>("answer", "saveAs", "closed");
        dataRow("Отмена", QString("Отмена"), QString("closed.txt"), false);
        dataRow("Сохранить", QString("Сохранить"), QString("closed.txt"), true);
        dataRow("Сохранить, no name given", QString("Сохранить"), QString(), false);
        dataRow("Сохранить, not written", QString("Сохранить"), QString("no/such/dir.txt"), false);
        dataRow("Не сохранять", QString("Не сохранять"), QString("closed.txt"), true);
    }

    // Points typed and not saved are asked about at closing; the right panel's results are not.
    void closeWithUnsavedPoints()
    {
        const auto [answer, saveAs, closed]
            = fetch<QString, QString, bool>("answer", "saveAs", "closed");
        showWindow();
        const QString file = tempPath("closed.txt");
        QFile::remove(file);
        typeKeys(left()->table(), 0, 0, "A\t55\t37\t0\n");
        w->run();
        w->log.fileName = saveAs.isEmpty() ? QString() : tempPath(saveAs);
        bool closedNow = false;
        QStringList boxes = answerBoxes(w->log, answer, [&] { closedNow = window().close(); });
        QCOMPARE(boxes.value(0),
            "Точки, введенные или вставленные в левый список, не сохранены.\nСохранить их в файл?");
        QCOMPARE(boxes.size(), saveAs.contains('/') ? 2 : 1); // and a save that failed says so
        QCOMPARE(closedNow, closed);
        QCOMPARE(readFile(file), answer == "Сохранить" && closed ? "A; 55; 37; 0\n" : "<missing>");
        if (closed)
            return;
        // Saved by its button since: nothing to ask.
        w->log.fileName = file;
        click(left(), "pushButtonSave");
        boxes = answerBoxes(w->log, answer, [&] { closedNow = window().close(); });
        QVERIFY(boxes.isEmpty() && closedNow && readFile(file) == "A; 55; 37; 0\n");
        showWindow();
        typeKeys(left()->table(), 0, 0, "C\t1\t2\t3\n");
        // Loaded since: nothing to ask.
        QVERIFY(writeFile(file, "B; 1; 2; 3\n"));
        w->log.fileName = file;
        click(left(), "pushButtonLoad");
        boxes = answerBoxes(w->log, answer, [&] { closedNow = window().close(); });
        QVERIFY(boxes.isEmpty() && closedNow);
    }

    // Tab and Enter after a row's last cell go to the next row's name, a new row at the end; inside
    // a row, Enter stays in its cell. F9, Ctrl+Enter (also while typing), Ctrl+S, Ctrl+O, Ctrl+Tab,
    // Ctrl+Shift+U and Ctrl+Z.
    void keys()
    {
        showWindow();
        PointTable *table = left()->table();
        typeKeys(table, 0, 0, "A\t55\t37\t0\tB\t56\t38\t1\n\t\t\t\n");
        QCOMPARE(tableCells(*left()), (QStringList {"A|55|37|0", "B|56|38|1", "|||", "|||"}));
        QCOMPARE(QPoint(table->currentRow(), table->currentColumn()), QPoint(3, 0));
        typeKeys(table, 0, 1, "54\n");
        QCOMPARE(tableCells(*left()).first(), "A|54|37|0");
        QCOMPARE(QPoint(table->currentRow(), table->currentColumn()), QPoint(0, 1));
        configure(right(), "gk:sk42:auto");
        const QRegularExpression calculated("^A\\|\\d{7}\\.\\d{3}\\|");
        for (const char *keys : {"F9", "Ctrl+Return", "Ctrl+Enter"}) {
            right()->table()->clearRows();
            setRows(*left(), {"A; 55; 37; 0"});
            right()->table()->setFocus();
            QTest::keySequence(right()->table(), QKeySequence(QString::fromLatin1(keys)));
            QVERIFY2(tableCells(*right()).first().contains(calculated), keys);
        }
        typeKeys(left()->table(), 0, 0, "B"); // the editor still open
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
        QVERIFY(tableCells(*right()).first().startsWith(QStringLiteral("B|")));
        w->log.fileName = tempPath("keys.txt");
        right()->table()->setFocus();
        QTest::keyClick(right()->table(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(QString::fromUtf8(readFile(w->log.fileName)),
            tableCells(*right()).first().replace('|', "; ") + "\n");
        QTest::keyClick(right()->table(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(tableCells(*left()), tableCells(*right()));
        QTest::keyClick(left()->table(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(left(), "pushButtonLoad"));
        QTest::keyClick(left()->table(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(left(), "comboBoxGeoid"));
        // A Control key that is no command is the table's own: Ctrl+End goes to the last cell.
        left()->table()->setCurrentCell(0, 1);
        QTest::keyClick(left()->table(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(left()->table()->currentColumn(), 3);
        const QStringList rightRows = tableCells(*right());
        QTest::keyClick(left()->table(), Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(systems(), "gk:sk42:auto geod:wgs84");
        QCOMPARE(tableCells(*left()), rightRows);
        // Ctrl+Z brings back the rows from before the last command, once; the status bar says what.
        const auto undone = [&](Panel *panel, const char *what, const auto &command) {
            const QStringList before = tableCells(*panel);
            command();
            QTest::keyClick(panel->table(), Qt::Key_Z, Qt::ControlModifier);
            return tableCells(*panel) == before
                && window().statusBar()->currentMessage() == QString::fromUtf8(what);
        };
        const auto key = [](Panel *panel, Qt::Key k) {
            return [=] { QTest::keyClick(panel->table(), k, Qt::ControlModifier); };
        };
        setRows(*left(), {"A; 1; 2; 3", "B; x; 2; 3"});
        setRows(*right(), {"old; 10; 20; 30"});
        QVERIFY(undone(right(), "Отменено: пересчет", [&] { w->run(); }));
        QVERIFY(undone(right(), "Отменять нечего", [] {}));
        QVERIFY(undone(left(), "Отменено: обмен списков", key(left(), Qt::Key_U)));
        QCOMPARE(tableCells(*right()).first(), QStringLiteral("A|1|2|3")); // exchanged, not undone
        right()->table()->setCurrentCell(0, 1);
        QVERIFY(undone(right(), "Отменено: удаление строки", key(right(), Qt::Key_Delete)));
        QVERIFY(undone(right(), "Отменено: удаление некорректных строк", key(right(), Qt::Key_D)));
        QVERIFY(undone(right(), "Отменено: очистка", [&] { click(right(), "pushButtonClear"); }));
    }

    // Choices, folders and geometry come back; what no longer fits falls back without a word.
    void settingsRestored()
    {
        QSettings().clear();
        configure(right(), "gk:sk95:60:s");
        configure(left(), "geod:gsk2011+egm96");
        window().setGeometry(QRect(20, 30, 700, 500));
        Settings::saveWindow(&window());
        w->open(tempPath("egm96.grd"));
        Settings::restoreWindow(&window());
        QCOMPARE(window().geometry(), QRect(20, 30, 700, 500));
        QCOMPARE(systems(), "geod:gsk2011+egm96 gk:sk95:60:s");
        // Without a grid "EGM96" is gone; a zone out of range, a broken geometry, a removed folder.
        for (const auto &[key, value] :
            {std::pair<const char *, QVariant> {"rightPanel/system", "gk:sk95:61:s"},
                {"window/geometry", QByteArray("no geometry")},
                {"folders/load", tempPath("removed")}})
            QSettings().setValue(key, value);
        w->open(tempPath("empty.grd"));
        const QRect firstStart = window().geometry();
        Settings::restoreWindow(&window());
        QCOMPARE(systems(), "geod:gsk2011 geod:wgs84");
        // Choices stored control by control, as earlier versions did.
        QSettings().remove("rightPanel/system"), QSettings().remove("leftPanel/system");
        for (const auto &[key, value] :
            {std::pair<const char *, QVariant> {"rightPanel/datum", 42}, {"leftPanel/type", 1},
                {"leftPanel/zone", 7}, {"leftPanel/autoZone", false}, {"leftPanel/southern", true}})
            QSettings().setValue(key, value);
        Settings::restoreWindow(&window());
        QCOMPARE(systems(), "gk:gsk2011:7:s geod:sk42");
        QCOMPARE(window().geometry(), firstStart);
        QCOMPARE(Settings::lastFolder("load"), QString());
        QVERIFY(shown().isEmpty());
        // A local system on the right: applied, kept across a start; a faulty file left as it is.
        const LocalSystems::System city = {"Город", "gk:sk42:7",
            LocalSystems::System::Keys::Similarity, {-6000000, -7000000, 1, 0}, {}, {}};
        const QString path = LocalSystems::defaultPath();
        QString error;
        QVERIFY(LocalSystems::write(path, {{"Посёлок", "utm:37n", {}, {}, {}, {}}, city}, &error));
        w->open(tempPath("egm96.grd"));
        configure(left(), "gk:sk42:7");
        configure(right(), "msk:Город");
        setRows(*left(), {"P; 6181000.5; 7413000.25; 150"});
        w->run();
        QCOMPARE(tableCells(*right()), QStringList {"P|181000.500|413000.250|150.000"});
        QCOMPARE(right()->table()->horizontalHeaderItem(3)->text(), QStringLiteral("h (эллипс.)"));
        Settings::saveWindow(&window());
        for (const char *restored : {"msk:Город", "geod:wgs84"}) { // a restart; one with it deleted
            w->open(tempPath("egm96.grd"));
            Settings::restoreWindow(&window());
            QCOMPARE(SystemName::format(right()->choices()), restored);
            QVERIFY(LocalSystems::write(path, {}, &error));
        }
        QVERIFY(writeFile(path, "[{\"name\": 1}]"));
        w->open(tempPath("egm96.grd"));
        child<QComboBox>(right(), "comboBoxType")->setCurrentIndex(4);
        click(right(), "pushButtonLocalSystems");
        QCOMPARE(shown().size(), 2);
        QVERIFY2(shown().first().contains("строка 1, запись 1: ожидается объект"),
            qPrintable(shown().first()));
        QVERIFY(shown().last().contains("не будет перезаписан"));
        QCOMPARE(readFile(path), QByteArray("[{\"name\": 1}]"));
        QFile::remove(path);
    }

private:
    MainWindow &window() { return *w->window; }
    Panel *left() const { return w->left(); }
    Panel *right() const { return w->right(); }
    QStringList &shown() { return w->log.shown; }
    void showWindow()
    {
        window().show();
        QApplication::setActiveWindow(&window());
        QVERIFY(QTest::qWaitForWindowActive(&window()));
    }
    QString systems() const
    {
        return SystemName::format(left()->choices()) + ' ' + SystemName::format(right()->choices());
    }
    std::optional<TestWindow> w;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
