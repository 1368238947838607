// A panel's point-list commands: keys, copy and paste, Load and Save, failing files included.
#include "TableClipboard.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ok = QStringLiteral("P; 55 45 5; 37 37 6; 120"), bad = QStringLiteral("X; x; 37; 1");
const QString filters = QStringLiteral("|Файлы точек (*.txt *.csv);;Все файлы (*)");
const QString openDialog = "open|Загрузить точки" + filters,
              saveDialog = "save|Сохранить точки" + filters;
const QString saveFailed = "warning|Предупреждение|Ошибка при сохранении точек в файл:\n";

QString counted(int all, int empty, int invalid)
{
    return QString::asprintf("information|Подсчет числа строк|Всего строк:\t\t%d\nПустых строк:"
                             "\t\t%d\nНекорректных строк:\t%d",
        all, empty, invalid);
}

// The question and the report of Ctrl+D ("некорректных") or Ctrl+E ("пустых").
QStringList deleted(const char *what, int found, int removed)
{
    return {QString::asprintf(
                "confirm|Подтвердите удаление|Обнаружено %s строк: %d.\nУдалить? ", what, found),
        QString::asprintf("information|Информация|Удалено %s строк: %d.", what, removed)};
}

// The Ctrl+I report of `n` invalid rows, numbered 5, 7, ...
QString found(int n)
{
    return QString::asprintf("warning|Поиск некорректных строк|Обнаружено некорректных строк: %d\n"
                             "Номера некорректных строк:\n5; 7; 9; 11; 13; 15; 17; 19; 21; 23",
               n)
        + (n > 10 ? QString::asprintf("\nи еще %d (не перечислены).", n - 10) : QString());
}

QStringList names(const QStringList &rows)
{
    QStringList list;
    for (const QString &row : rows)
        list << row.section(QRegularExpression("[;|]"), 0, 0).trimmed();
    return list;
}

// One key typed in a panel's table.
struct Command
{
    const char *name;
    QStringList rows; // none: a table without rows
    int cursor;       // its row, in column 2; -1: no cursor
    const char *keys;
    QStringList shown; // the dialogs, each "kind|title|text"
    QStringList left;  // the names of the rows left
    int newCursor;
    int type = 0;    // comboBoxType index
    bool yes = true; // the answer to confirmations
};

// A points file loaded into a panel.
struct Load
{
    const char *name;
    QByteArray content;
    QStringList table;
    QString status = {}, warning = {}; // "": "Загружено строк: <table rows>"; the warning, if any
};

} // namespace

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Load)

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void init() { log.emplace(), panel.emplace(true); }

    void command_data()
    {
        const QStringList mixed {bad, "", ok, ""}, abc {"A", "B", "C"};
        const QString a = QStringLiteral("A; 1; 2; 3"), b = QStringLiteral("B; 4; 5; 6");
        QStringList ten {ok, "", ok};
        for (int i = 0; i < 10; ++i)
            ten << ok << bad;
        const QStringList eleven = ten + QStringList {bad};
        const char *invalid = "некорректных", *empty = "пустых";
        const QString noneFound = QStringLiteral("|Некорректных строк не обнаружено");
        // clang-format off
        const Command cases[] = {
            // Ctrl+N drops an empty tail with the cursor; a name alone is invalid; a blank Z is too.
            {"N", {ok, "", "N; x", ""}, 3, "Ctrl+N", {counted(3, 1, 1)}, {"P", "", "N"}, 2},
            {"N, only empty rows", {"", "", ""}, 2, "Ctrl+N", {counted(1, 1, 0)}, {""}, 0},
            {"N, blank height GK", {"A; 6181234.5; 7412345"}, 0, "Ctrl+N", {counted(1, 0, 0)}, {"A"}, 0, 1},
            {"N, blank as point", {"A; 6181234 5; 7412345; 0"}, 0, "Ctrl+N", {counted(1, 0, 1)}, {"A"}, 0, 2},
            {"N, blank Z", {"A; 2800000; 2200000; "}, 0, "Ctrl+N", {counted(1, 0, 1)}, {"A"}, 0, 3},
            {"N, no rows", {}, -1, "Ctrl+N", {counted(0, 0, 0)}, {}, -1},
            // At most ten row numbers, counted from 1, then how many more; nothing deleted.
            {"I, none", {ok, "", ok}, -1, "Ctrl+I", {"information|Поиск некорректных строк" + noneFound},
             {"P", "", "P"}, -1},
            {"I, ten", ten, -1, "Ctrl+I", {found(10)}, names(ten), -1},
            {"I, eleven", eleven, -1, "Ctrl+I", {found(11)}, names(eleven), -1},
            // Rows deleted above the cursor move it up, never above row 0.
            {"D around cursor", {bad, a, bad, b, bad}, 3, "Ctrl+D", deleted(invalid, 3, 3), {"A", "B"}, 1},
            {"D name only", {"Name", "", a}, 2, "Ctrl+D", deleted(invalid, 1, 1), {"", "A"}, 1},
            {"E name only", {"Name", "", a}, 2, "Ctrl+E", deleted(empty, 1, 1), {"Name", "A"}, 1},
            // Ctrl+D empties the last row and counts it; Ctrl+E leaves it uncounted.
            {"D all invalid", {bad, bad, bad}, 2, "Ctrl+D", deleted(invalid, 3, 3), {""}, 0},
            {"E all empty", {"", " ; ;", ""}, 0, "Ctrl+E", deleted(empty, 3, 2), {""}, 0},
            // Ctrl+E does not drop the tail with the cursor first.
            {"E middle and tail", {a, "", a, "", ""}, 4, "Ctrl+E", deleted(empty, 3, 3), {"A", "A"}, 1},
            {"declined D", mixed, 2, "Ctrl+D", deleted(invalid, 1, 0).mid(0, 1), names(mixed), 2, 0, false},
            {"nothing for D", {ok}, 0, "Ctrl+D", {"information|Удаление некорректных строк" + noneFound},
             {"P"}, 0},
            {"nothing for E", {ok}, 0, "Ctrl+E", {"information|Удаление пустых строк|Пустых строк не обнаружено"},
             {"P"}, 0},
            {"Ctrl+Insert", abc, 1, "Ctrl+Ins", {}, {"A", "", "B", "C"}, 2},
            {"Ctrl+Delete", abc, 2, "Ctrl+Del", {}, {"A", "B"}, 1},
            {"Ctrl+Delete of the last row", {"A"}, 0, "Ctrl+Del", {}, {}, -1},
            // Down on the last row adds one, with any modifiers but exactly Control.
            {"Shift+Down on the last row", abc, 2, "Shift+Down", {}, abc + QStringList {""}, 3},
            {"Down, no rows", {}, -1, "Down", {}, {""}, -1},
            {"Ctrl+Down on the last row", mixed, 3, "Ctrl+Down", {}, names(mixed), 3},
        };
        // clang-format on
        caseRows(cases);
    }

    void command()
    {
        QFETCH(Command, c);
        log->yes = c.yes;
        QTableWidget *table = panel->table();
        child<QComboBox>(&*panel, "comboBoxType")->setCurrentIndex(c.type);
        setRows(*panel, c.rows);
        if (c.rows.isEmpty())
            table->setRowCount(0);
        table->setCurrentCell(c.cursor, c.cursor < 0 ? -1 : 2);
        QTest::keySequence(table, QKeySequence(QString::fromLatin1(c.keys)));
        QCOMPARE(log->shown, c.shown);
        QCOMPARE(names(tableCells(*panel)), c.left);
        QCOMPARE(table->currentRow(), c.newCursor);
        if (c.cursor >= 0 && c.newCursor >= 0)
            QCOMPARE(table->currentColumn(), 2);
    }

    void load_data()
    {
        const QString cp1251 = QStringLiteral("Загружено строк: %1 (кодировка Windows-1251)");
        // clang-format off
        const Load cases[] = {
            {"commas and semicolons", "A, 55.5, 37.5, 120\nB;56;38\n", {"A|55.5|37.5|120", "B|56|38|"}},
            // A decimal comma only in a line of exactly three ";"; elsewhere it splits a number, warned.
            {"decimal commas", "D2;55,5;37,5\nD1;55.5;37.5;120,5\nOK;1;2;3\n" + QByteArray("C,1,2,3,4\n").repeated(5),
             {"D2|55|5|37", "D1|55.5|37.5|120.5", "OK|1|2|3", "C|1|2|3", "C|1|2|3", "C|1|2|3", "C|1|2|3", "C|1|2|3"}, "",
             "warning|Предупреждение|Строк с лишними полями: 6 (строки 1, 4, 5, 6, 7, …). Поля после четвертого "
             "отброшены.\nВозможно, десятичная запятая разделила число на два поля: в координатах "
             "пишите дробную часть через \".\"."},
            {"empty line, last line without end", "A;1;2;3\n\nB", {"A|1|2|3", "|||", "B|||"},
             "Загружено строк: 3; без координат: 1 (строка 3)"},
            {"empty file", "", {"|||"}, "Загружено строк: 0"},
            // A CR LF split by the reader's 64 KiB chunks ends one line.
            {"CR LF across chunks", QByteArray(65535, 'N') + "\r\nB", {QString(65535, 'N') + "|||", "B|||"},
             "Загружено строк: 2; без координат: 2 (строки 1, 2)"},
            {"lone CR", "A;1;2;3\rB;4;5;6\r", {"A|1|2|3", "B|4|5|6"}},
            // Each line is UTF-8 when it is valid UTF-8, else Windows-1251.
            {"mixed encodings", "\xd0\x9f\n\xcf\n\xd0\x9f", {"П|||", "П|||", "П|||"},
             cp1251.arg(3) + "; без координат: 3 (строки 1, 2, 3)"},
            {"UTF-16LE with its mark", QByteArray("\xff\xfe" "\x1f\x04;\0" "1\0\n\0", 10), {"П|1||"}},
            {"Windows-1251", "\xcf\xf3\xed\xea\xf2 \xb9 7;1;2;3\n", {"Пункт № 7|1|2|3"}, cp1251.arg(1)},
            // Control characters load as blanks, other bytes as Windows-1251.
            {"control characters", "\xff\x01;\x7f\x1b\n\xc0\x80", {"я|||", "А\u0402|||"},
             cp1251.arg(2) + "; без координат: 2 (строки 1, 2)"},
        };
        // clang-format on
        caseRows(cases);
    }

    // The table fills under the wait cursor, a warning comes with the normal one; Ctrl+Z undoes.
    void load()
    {
        QFETCH(Load, c);
        log->fileName = tempPath(QString::fromLatin1(c.name));
        QVERIFY(writeFile(log->fileName, c.content));
        panel->setInputRole();
        setRows(*panel, {"old; 1; 2; 3", "old2"});
        QSignalSpy status(&*panel, &Panel::signalStatus);
        const QList<int> cursors
            = cursorsWhile(panel->table(), [&] { click(&*panel, "pushButtonLoad"); });
        QVERIFY(!cursors.isEmpty() || c.content.isEmpty());
        QCOMPARE(cursors.count(int(Qt::WaitCursor)), cursors.size());
        QCOMPARE(
            log->shown, QStringList({openDialog, c.warning}).mid(0, c.warning.isEmpty() ? 1 : 2));
        QCOMPARE(tableCells(*panel), c.table);
        QCOMPARE(status.value(0).value(0).toString(),
            c.status.isEmpty() ? QString("Загружено строк: %1").arg(c.table.size()) : c.status);
        QTest::keyClick(panel->table(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(tableCells(*panel), (QStringList {"old|1|2|3", "old2|||"}));
        QCOMPARE(status.last().value(0).toString(), QStringLiteral("Отменено: загрузка"));
    }

    // Saved and loaded back, the same rows and bytes; an existing file replaced only on Yes; rows
    // cut and pasted back.
    void saveAndLoadBack()
    {
        log->fileName = tempPath("roundtrip.txt");
        setRows(*panel,
            {"Пункт; 55 45 5.00000; 37 37 6.00000; 120.000", "B,56.25,38.5", "",
                "A,B\t55,5\t37,5\t150"});
        const QStringList before = tableCells(*panel);
        QSignalSpy status(&*panel, &Panel::signalStatus);
        click(&*panel, "pushButtonSave");
        QCOMPARE(log->shown, QStringList {saveDialog});
        QCOMPARE(status.value(0).value(0).toString(), QStringLiteral("Сохранено строк: 4"));
        const QByteArray saved = readFile(log->fileName);
        QCOMPARE(QString::fromUtf8(saved),
            QString("Пункт; 55 45 5.00000; 37 37 6.00000; 120.000\nB; 56.25; 38.5; \n; ; ; \n"
                    "A,B; 55.5; 37.5; 150\n"));
        panel->table()->clearRows();
        click(&*panel, "pushButtonLoad");
        QCOMPARE(tableCells(*panel), before);
        click(&*panel, "pushButtonSave");
        QCOMPARE(readFile(log->fileName), saved);
        setRows(*panel, {"new; 1; 2; 3"});
        log->fileName = tempPath("roundtrip"); // saved as "roundtrip.txt"
        for (bool yes : {false, true}) {
            log->yes = yes;
            click(&*panel, "pushButtonSave");
            QCOMPARE(log->shown.last(),
                "confirm|Подтвердите замену|Файл уже существует:\n" + log->fileName
                    + ".txt\nЗаменить его?");
            QCOMPARE(readFile(log->fileName + ".txt").startsWith("new"), yes);
        }
        QVERIFY(!QFile::exists(log->fileName));
        QCOMPARE(log->folders.last(), tempPath());
        log->fileName = tempPath("list.csv"); // a typed suffix other than .txt is kept
        click(&*panel, "pushButtonSave");
        QVERIFY(
            readFile(log->fileName).startsWith("new") && !QFile::exists(log->fileName + ".txt"));
        // A write failing half-way (a size limit, a full disk): the old file whole, no temporary.
        const QString path = tempPath("full/existing.txt");
        QVERIFY(QDir().mkpath(tempPath("full")) && writeFile(path, "A; 1; 2; 3\n"));
        QStringList rows;
        for (int i = 0; i < 2000; ++i)
            rows << QStringLiteral("P%1; 6181234.567; 7412345.678; 150.250").arg(i);
        log->fileName = path;
        log->shown.clear();
        setRows(*panel, rows);
        rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small {4096, limit.rlim_max};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        click(&*panel, "pushButtonSave");
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, handler);
        QCOMPARE(log->shown.value(1), saveFailed + path);
        QCOMPARE(readFile(path), QByteArray("A; 1; 2; 3\n"));
        QCOMPARE(QDir(tempPath("full")).entryList(QDir::Files | QDir::Hidden),
            QStringList {"existing.txt"});
        click(&*panel, "pushButtonSave"); // without the limit the list replaces the file
        QCOMPARE(readFile(path).count('\n'), 2000);
        // Rows cut (tab-separated, blanked) and pasted back into an empty table are the same rows.
        setRows(*panel, {" A ; 55 45 5.00000; 37.5 ;120", "B;1;2;", "C; -3; 4; 5"});
        QTableWidget *table = panel->table();
        table->selectRow(0);
        table->selectionModel()->select(
            table->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(table, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
            QStringLiteral("A\t55 45 5.00000\t37.5\t120\nC\t-3\t4\t5\n"));
        QCOMPARE(tableCells(*panel), (QStringList {"|||", "B|1|2|", "|||"}));
        panel->table()->clearRows();
        QTest::keyClick(table, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(tableCells(*panel), (QStringList {"A|55 45 5.00000|37.5|120", "C|-3|4|5"}));
        // The first row's cell clicked, then Ctrl+clicked off: the cursor's row is copied.
        const QPoint cell = table->visualItemRect(table->item(0, 1)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, cell);
        QVERIFY(table->selectionModel()->selectedIndexes().isEmpty());
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("A\t55 45 5.00000\t37.5\t120\n"));
    }

    void failures_data()
    {
        // "load", else save; "path", the dialog's answer ("": cancelled)
        addColumns<bool, QString>("load", "path");
        dataRow("load cancelled", true, QString());
        dataRow("save cancelled", false, QString());
        dataRow("load missing", true, tempPath("missing/points.txt"));
        dataRow("save into a missing folder", false, tempPath("missing/points.txt"));
        dataRow("load a directory", true, tempPath());
        // Refused at once: a read error (page 0 of this process), a device, a pipe kept open.
        dataRow("load a read error", true, QStringLiteral("/proc/self/mem"));
        dataRow("load a device", true, QStringLiteral("/dev/zero"));
        dataRow("load a pipe", true, tempPath("endless.fifo"));
        // A pipe whose writer keeps it open till the end: a file that never ends.
        const QByteArray fifo = QFile::encodeName(tempPath("endless.fifo"));
        QVERIFY(mkfifo(fifo.constData(), 0600) == 0);
        const int writer = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(writer >= 0 && ::write(writer, "A;1;2;3\n", 8) == 8);
        // No text, or a line that is no row: the table would show what the file does not hold.
        QVERIFY(writeFile(tempPath("nul.txt"), QByteArray("A;1;2;3\nB\0;1;2;3\n", 16)));
        QVERIFY(writeFile(tempPath("long.txt"), "A;1;2;3\n" + QByteArray((1 << 20) + 1, 'N')));
        dataRow("load a NUL byte", true, tempPath("nul.txt"));
        dataRow("load a line over 1 MB", true, tempPath("long.txt"));
    }

    // A failed load or save warns with the normal cursor, and the table stays.
    void failures()
    {
        const auto [load, path] = fetch<bool, QString>("load", "path");
        log->fileName = path;
        setRows(*panel, {"A; 1; 2; 3"});
        // A device or a pipe that blocked the read would hang here: the test's time limit fails it.
        click(&*panel, load ? "pushButtonLoad" : "pushButtonSave");
        QStringList shown {load ? openDialog : saveDialog};
        if (!path.isEmpty())
            shown << (load ? "warning|Предупреждение|Ошибка при загрузке точек из файла:\n" + path
                           : saveFailed + path);
        QCOMPARE(log->shown, shown);
        QCOMPARE(tableCells(*panel), QStringList {"A|1|2|3"});
        QVERIFY(load || !QFile::exists(path));
    }

    void paste_data()
    {
        // "text" pasted in row 1, "column" of "A;1;2;3", "B;4;5;6"; "cells": the rows after A.
        addColumns<int, QString, QString>("column", "text", "cells");
        const auto row = [](const char *name, int column, const char *text, const char *cells) {
            QTest::newRow(name) << column << QString(text) << QString(cells);
        };
        // A spreadsheet's block: tabs alone split, "," is a decimal comma, whole rows at the name.
        row("spreadsheet", 2, "P1\t55,5\t37,5\t100\r\nP2\t56\t\t\r\n", "P1|55.5|37.5|100\nP2|56||");
        // One value goes into the current cell, a decimal comma included.
        row("one value", 1, "55,5", "B|55.5|5|6");
        // A comma beside no digit is no decimal one: in a block it stays, the cell then fails.
        row("comma without digits", 2, "P1\t55,\t,5\t1", "P1|55,|,5|1");
        // A name keeps its comma; a ";" in a coordinate stays there (the row fails), not in a name.
        row("name with a comma", 1, "A,B\t55 45 0\t37 37 0\t150", "A,B|55 45 0|37 37 0|150");
        row("separator in a cell", 0, "P;1\t55;30\t37\t100", "P 1|55;30|37|100");
        // Control characters, line and paragraph separators included, are blanks.
        row("control characters", 0, "a\001b\u2028c \tx\013y\t2\t3\n", "a b c|x y|2|3");
    }

    // Ctrl+V from the cursor down, rows added as needed, one undoable step.
    void paste()
    {
        const auto [column, text, cells] = fetch<int, QString, QString>("column", "text", "cells");
        setRows(*panel, {"A;1;2;3", "B;4;5;6"});
        QSignalSpy changes(
            panel->table()->findChild<TableClipboard *>(), &TableClipboard::aboutToChange);
        panel->table()->setCurrentCell(1, column);
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(panel->table(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(tableCells(*panel), QStringList {"A|1|2|3"} + cells.split('\n'));
        QCOMPARE(changes.count(), 1);
    }

private:
    std::optional<DialogLog> log; // every test's dialogs
    std::optional<Panel> panel;   // a fresh left panel for every test
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
