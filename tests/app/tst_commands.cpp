// The point-list commands of the panel's keyboard: what each reports, which
// rows it deletes and where it leaves the cursor.
#include "Dialogs.h"
#include "Panel.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

namespace {

// Records every box the panel shows and answers the confirmations.
struct Boxes
{
    QStringList shown; // "kind|title|text"
    bool yes = true;

    Boxes()
    {
        Dialogs::setAnswerer([this](const Dialogs::Request &r) {
            static const char *kinds[]
                = { "warning", "information", "confirm", "about", "open", "save" };
            shown << QStringLiteral("%1|%2|%3").arg(kinds[int(r.kind)], r.title, r.text);
            Dialogs::Answer answer;
            answer.yes = yes;
            return answer;
        });
    }
    ~Boxes() { Dialogs::setAnswerer({}); }
};

const QString kValid = QStringLiteral("P; 55 45 5; 37 37 6; 120");
const QString kInvalid = QStringLiteral("X; x; 37; 1");
enum { Geodetic = 0, GaussKruger = 1, Utm = 2, Geocentric = 3 };

// A panel of the given type holding rows, the cursor at (cursor, 2).
struct Fixture
{
    Boxes boxes;
    Panel panel { true };
    Fixture(const QStringList &rows, int cursor, int type = Geodetic)
    {
        panel.findChild<QComboBox *>(QStringLiteral("comboBoxType"))->setCurrentIndex(type);
        panel.setPoints(rows);
        panel.table()->setCurrentCell(cursor, cursor < 0 ? -1 : 2);
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::keyClick(panel.table(), Qt::Key(key), modifiers); // as typed in the table
    }
    QStringList names() const
    {
        QStringList list;
        for (const QString &row : panel.points())
            list << row.section(QLatin1Char(';'), 0, 0);
        return list;
    }
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void countRows_data();
    void countRows();
    void findInvalidRows();
    void deleteRows_data();
    void deleteRows();
    void declinedOrNothingToDelete();
    void insertAndDeleteRow();
    void keysThatDoNothing_data();
    void keysThatDoNothing();
    void downArrow();
};

void TestCommands::countRows_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("counts"); // all, empty, invalid

    QTest::newRow("valid, empty, name with x")
        << int(Geodetic) << QStringList { kValid, "", "N; x" } << 0 << "311";
    // The empty tail holding the cursor is dropped first; one inside counts.
    QTest::newRow("tail with cursor")
        << int(Geodetic) << QStringList { kValid, " ; ;", kValid, "", "" } << 4 << "310";
    QTest::newRow("tail above cursor")
        << int(Geodetic) << QStringList { kValid, "", "" } << 0 << "320";
    // A blank height defaults to 0, except where the third coordinate is Z.
    QTest::newRow("blank height gk")
        << int(GaussKruger) << QStringList { "A; 6181234.5; 7412345" } << 0 << "100";
    QTest::newRow("blank height utm")
        << int(Utm) << QStringList { "A; 412345.6; 6181234.5; " } << 0 << "100";
    QTest::newRow("blank Z geocentric")
        << int(Geocentric) << QStringList { "A; 2800000; 2200000; " } << 0 << "101";
    QTest::newRow("name only is invalid") << int(Geodetic) << QStringList { "Name" } << 0 << "101";
    QTest::newRow("blank as point")
        << int(GaussKruger) << QStringList { "A; 6181234 5; 7412345" } << 0 << "101";
    QTest::newRow("no rows") << int(Geodetic) << QStringList { "" } << -2 << "000";
}

void TestCommands::countRows()
{
    QFETCH(int, type);
    QFETCH(QStringList, rows);
    QFETCH(int, cursor);
    QFETCH(QString, counts);

    Fixture f(rows, cursor, type);
    if (cursor == -2)
        f.panel.table()->setRowCount(0);
    f.press(Qt::Key_N);
    QCOMPARE(f.boxes.shown,
        QStringList { QStringLiteral("information|Подсчет числа строк|Всего строк:\t\t%1\n"
                                     "Пустых строк:\t\t%2\nНекорректных строк:\t%3")
                          .arg(counts[0])
                          .arg(counts[1])
                          .arg(counts[2]) });
}

void TestCommands::findInvalidRows()
{
    Fixture none({ kValid, "", kValid }, 0);
    none.press(Qt::Key_I);
    QCOMPARE(none.boxes.shown,
        QStringList { "information|Поиск некорректных строк|Некорректных строк не обнаружено" });

    // At most ten numbers, counted from 1, then how many more.
    QStringList rows;
    for (int i = 0; i < 10; ++i)
        rows << kValid << kInvalid;
    const QString ten = QStringLiteral("warning|Поиск некорректных строк|Обнаружено некорректных "
                                       "строк: %1\nНомера некорректных строк:\n"
                                       "2; 4; 6; 8; 10; 12; 14; 16; 18; 20");
    Fixture exactlyTen(rows, 0);
    exactlyTen.press(Qt::Key_I);
    QCOMPARE(exactlyTen.boxes.shown, QStringList { ten.arg(10) });

    Fixture twelve(rows + QStringList { kInvalid, kInvalid }, 0);
    twelve.press(Qt::Key_I);
    QCOMPARE(twelve.boxes.shown,
        QStringList { ten.arg(12) + QStringLiteral("\nи еще 2 (не перечислены).") });
    QCOMPARE(twelve.panel.table()->rowCount(), 22); // nothing deleted
}

void TestCommands::deleteRows_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("newCursor");
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("deleted");

    const QString a = QStringLiteral("A; 1; 2; 3");
    const QString b = QStringLiteral("B; 4; 5; 6");
    const int d = Qt::Key_D, e = Qt::Key_E;
    // Rows above the cursor move it up, never above row 0; rows below leave it.
    QTest::newRow("D around cursor") << d << QStringList { kInvalid, a, kInvalid, b, kInvalid } << 3
                                     << QStringList { "A", "B" } << 1 << 3 << 3;
    QTest::newRow("D cursor on deleted row")
        << d << QStringList { a, kInvalid, b } << 1 << QStringList { "A", "B" } << 0 << 1 << 1;
    QTest::newRow("D cursor at top")
        << d << QStringList { kInvalid, kInvalid, a } << 0 << QStringList { "A" } << 0 << 2 << 2;
    // A name without coordinates is invalid, not empty.
    QTest::newRow("D name only") << d << QStringList { "Name", "", a } << 2
                                 << QStringList { "", "A" } << 1 << 1 << 1;
    QTest::newRow("E name only") << e << QStringList { "Name", "", a } << 2
                                 << QStringList { "Name", "A" } << 1 << 1 << 1;
    // Ctrl+D clears the last remaining row and counts it; Ctrl+E leaves it
    // uncounted.
    QTest::newRow("D all invalid") << d << QStringList { kInvalid, kInvalid, kInvalid } << 2
                                   << QStringList { "" } << 0 << 3 << 3;
    QTest::newRow("E one empty row")
        << e << QStringList { "" } << 0 << QStringList { "" } << 0 << 1 << 0;
    QTest::newRow("E all empty") << e << QStringList { "", " ; ;", "" } << 0 << QStringList { "" }
                                 << 0 << 3 << 2;
    // Ctrl+E does not drop the tail with the cursor first.
    QTest::newRow("E middle and tail")
        << e << QStringList { a, "", a, "", "" } << 4 << QStringList { "A", "A" } << 1 << 3 << 3;
    QTest::newRow("E below cursor")
        << e << QStringList { a, a, "" } << 1 << QStringList { "A", "A" } << 1 << 1 << 1;
}

void TestCommands::deleteRows()
{
    QFETCH(int, key);
    QFETCH(QStringList, rows);
    QFETCH(int, cursor);
    QFETCH(QStringList, left);
    QFETCH(int, newCursor);
    QFETCH(int, found);
    QFETCH(int, deleted);

    Fixture f(rows, cursor);
    f.press(key);
    const QString what
        = key == Qt::Key_D ? QStringLiteral("некорректных") : QStringLiteral("пустых");
    QCOMPARE(f.boxes.shown,
        (QStringList {
            QStringLiteral("confirm|Подтвердите удаление|Обнаружено %1 строк: %2.\nУдалить? ")
                .arg(what)
                .arg(found),
            QStringLiteral("information|Информация|Удалено %1 строк: %2.")
                .arg(what)
                .arg(deleted) }));
    QCOMPARE(f.names(), left);
    QCOMPARE(f.panel.table()->currentRow(), newCursor);
    QCOMPARE(f.panel.table()->currentColumn(), 2);
    if (left == QStringList { "" })
        QCOMPARE(f.panel.points(), QStringList { "; ; ; " });
}

void TestCommands::declinedOrNothingToDelete()
{
    Fixture f({ kInvalid, "", kValid }, 2);
    f.boxes.yes = false;
    const QStringList before = f.panel.points();
    f.press(Qt::Key_D);
    f.press(Qt::Key_E);
    QCOMPARE(f.boxes.shown.size(), 2); // the two questions, no reports
    QCOMPARE(f.panel.points(), before);
    QCOMPARE(f.panel.table()->currentRow(), 2);

    Fixture clean({ kValid }, 0);
    clean.press(Qt::Key_D);
    clean.press(Qt::Key_E);
    QCOMPARE(clean.boxes.shown,
        (QStringList { "information|Удаление некорректных строк|Некорректных строк не обнаружено",
            "information|Удаление пустых строк|Пустых строк не обнаружено" }));
}

void TestCommands::insertAndDeleteRow()
{
    Fixture f({ "A", "B", "C" }, 1);
    f.press(Qt::Key_Insert);
    QCOMPARE(f.names(), (QStringList { "A", "", "B", "C" }));
    f.panel.table()->setCurrentCell(3, 0);
    f.press(Qt::Key_Delete);
    QCOMPARE(f.names(), (QStringList { "A", "", "B" }));

    f.panel.table()->setCurrentCell(-1, -1); // no current row: nothing
    f.press(Qt::Key_Insert);
    f.press(Qt::Key_Delete);
    QCOMPARE(f.panel.table()->rowCount(), 3);

    Fixture last({ "A" }, 0); // even the last row can go
    last.press(Qt::Key_Delete);
    QCOMPARE(last.panel.table()->rowCount(), 0);

    QSignalSpy swap(&f.panel, &Panel::signalSwap);
    f.press(Qt::Key_U);
    QCOMPARE(swap.count(), 1);
    QCOMPARE(f.names(), (QStringList { "A", "", "B" }));
    QVERIFY(f.boxes.shown.isEmpty() && last.boxes.shown.isEmpty());
}

void TestCommands::keysThatDoNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::newRow("Ctrl+Shift+D") << int(Qt::Key_D) << int(Qt::ControlModifier | Qt::ShiftModifier);
    QTest::newRow("Ctrl+Alt+E") << int(Qt::Key_E) << int(Qt::ControlModifier | Qt::AltModifier);
    QTest::newRow("keypad Ctrl+Insert")
        << int(Qt::Key_Insert) << int(Qt::ControlModifier | Qt::KeypadModifier);
    QTest::newRow("keypad Ctrl+Delete")
        << int(Qt::Key_Delete) << int(Qt::ControlModifier | Qt::KeypadModifier);
    QTest::newRow("Ctrl+Down on the last row") << int(Qt::Key_Down) << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+Q") << int(Qt::Key_Q) << int(Qt::ControlModifier);
}

void TestCommands::keysThatDoNothing()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);

    Fixture f({ kInvalid, "", kValid, "" }, 3);
    QSignalSpy swap(&f.panel, &Panel::signalSwap);
    const QStringList before = f.panel.points();
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QCoreApplication::sendEvent(&f.panel, &press);
    QVERIFY(press.isAccepted()); // consumed, never passed on
    QVERIFY(f.boxes.shown.isEmpty());
    QCOMPARE(f.panel.points(), before);
    QCOMPARE(f.panel.table()->currentRow(), 3);
    QCOMPARE(swap.count(), 0);
}

void TestCommands::downArrow()
{
    Fixture f({ "A", "B" }, 1);
    f.press(Qt::Key_Down, Qt::NoModifier); // last row: one more, the cursor follows
    QCOMPARE(f.panel.table()->rowCount(), 3);
    QCOMPARE(f.panel.table()->currentRow(), 2);
    QCOMPARE(f.panel.table()->currentColumn(), 2);
    f.press(Qt::Key_Down, Qt::ShiftModifier); // any modifiers but exactly Control
    QCOMPARE(f.panel.table()->rowCount(), 4);

    f.panel.table()->setCurrentCell(0, 1); // another row: the table moves, no row added
    f.press(Qt::Key_Down, Qt::NoModifier);
    QCOMPARE(f.panel.table()->currentRow(), 1);
    QTest::keyClick(&f.panel, Qt::Key_Down);
    QCOMPARE(f.panel.table()->rowCount(), 4);

    f.panel.table()->setRowCount(0); // a table without rows gets one
    f.press(Qt::Key_Down, Qt::NoModifier);
    QCOMPARE(f.panel.table()->rowCount(), 1);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
