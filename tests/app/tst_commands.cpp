// The point-list commands of a panel: keys typed in its table (what each
// reports, which rows it deletes, where it leaves the cursor) and the Load and
// Save buttons with points files (line and field forms, failing files).
#include "Panel.h"
#include "PointsFile.h"
#include "TableClipboard.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <QElapsedTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ok = QStringLiteral("P; 55 45 5; 37 37 6; 120");
const QString bad = QStringLiteral("X; x; 37; 1");
enum { Geodetic, GaussKruger, Utm, Geocentric }; // comboBoxType indices
const int ctrl = Qt::ControlModifier;

QString counted(int all, int empty, int invalid)
{
    return QStringLiteral(
        "information|Подсчет числа строк|Всего строк:\t\t%1\nПустых строк:\t\t%2\n"
        "Некорректных строк:\t%3")
        .arg(all)
        .arg(empty)
        .arg(invalid);
}

// The question and the report of Ctrl+D ("некорректных") or Ctrl+E ("пустых").
QStringList deleted(const char *what, int found, int removed)
{
    return {QStringLiteral("confirm|Подтвердите удаление|Обнаружено %1 строк: %2.\nУдалить? ")
                .arg(QString::fromUtf8(what))
                .arg(found),
        QStringLiteral("information|Информация|Удалено %1 строк: %2.")
            .arg(QString::fromUtf8(what))
            .arg(removed)};
}

QStringList names(const QStringList &rows)
{
    QStringList list;
    for (const QString &row : rows)
        list << row.section(QLatin1Char(';'), 0, 0).trimmed();
    return list;
}

// One command typed with the cursor in column 2 of `cursor` (-1: no cursor).
void addCase(const char *name, const QStringList &rows, int cursor, int key, int modifiers,
    const QStringList &shown, const QStringList &left, int newCursor, int type = Geodetic,
    bool yes = true)
{
    QTest::newRow(name) << type << rows << cursor << key << modifiers << yes << shown << left
                        << newCursor;
}

const QString loadFailed
    = QStringLiteral("warning|Предупреждение|Ошибка при загрузке точек из файла:\n");
const QString saveFailed
    = QStringLiteral("warning|Предупреждение|Ошибка при сохранении точек в файл:\n");

QString extraFields(int count, const char *lines)
{
    return QStringLiteral("Строк с лишними полями: %1 (строки %2). Поля после четвертого "
                          "отброшены.\nВозможно, десятичная запятая разделила число на два "
                          "поля: в координатах пишите дробную часть через \".\".")
        .arg(count)
        .arg(QString::fromUtf8(lines));
}

void click(Panel &panel, const char *button)
{
    QTest::mouseClick(child<QPushButton>(&panel, button), Qt::LeftButton);
}

// Writes beyond `bytes` fail while it lives, as on a full disk; unlike file
// permissions this holds for root too.
struct FileSizeLimit
{
    rlimit saved;
    void (*handler)(int);
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = bytes;
        handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
    }
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void command_data();
    void command();
    void findInvalidRows();
    void swapAndEmptyTable();
    void load_data();
    void load();
    void saveAndLoadBack();
    void failures();
    void lineReader();
    void failedWriteKeepsExistingFile();
    void waitCursor();
    void paste_data();
    void paste();
    void copyCutAndPasteBack();

private:
    QTemporaryDir dir;
};

void TestCommands::command_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("left"); // the names of the remaining rows
    QTest::addColumn<int>("newCursor");

    const QStringList mixed {bad, "", ok, ""};
    const QStringList abc {"A", "B", "C"};
    const QString a = QStringLiteral("A; 1; 2; 3"), b = QStringLiteral("B; 4; 5; 6");
    const int N = Qt::Key_N, D = Qt::Key_D, E = Qt::Key_E;

    // Ctrl+N drops an empty tail holding the cursor first; a name alone is
    // invalid, not empty; a blank height reads as 0 except where it is Z.
    addCase("N", {ok, "", "N; x", ""}, 3, N, ctrl, {counted(3, 1, 1)}, {"P", "", "N"}, 2);
    addCase("N, only empty rows", {"", "", ""}, 2, N, ctrl, {counted(1, 1, 0)}, {""}, 0);
    addCase("N, tail above cursor", {ok, "", ""}, 0, N, ctrl, {counted(3, 2, 0)}, {"P", "", ""}, 0);
    addCase("N, name only", {"Name"}, 0, N, ctrl, {counted(1, 0, 1)}, {"Name"}, 0);
    addCase("N, blank height GK", {"A; 6181234.5; 7412345"}, 0, N, ctrl, {counted(1, 0, 0)}, {"A"},
        0, GaussKruger);
    addCase("N, blank as point", {"A; 6181234 5; 7412345; 0"}, 0, N, ctrl, {counted(1, 0, 1)},
        {"A"}, 0, Utm);
    addCase("N, blank Z", {"A; 2800000; 2200000; "}, 0, N, ctrl, {counted(1, 0, 1)}, {"A"}, 0,
        Geocentric);

    // Rows deleted above the cursor move it up, never above row 0.
    addCase("D around cursor", {bad, a, bad, b, bad}, 3, D, ctrl, deleted("некорректных", 3, 3),
        {"A", "B"}, 1);
    addCase(
        "D on cursor row", {a, bad, b}, 1, D, ctrl, deleted("некорректных", 1, 1), {"A", "B"}, 0);
    addCase(
        "D name only", {"Name", "", a}, 2, D, ctrl, deleted("некорректных", 1, 1), {"", "A"}, 1);
    addCase("E name only", {"Name", "", a}, 2, E, ctrl, deleted("пустых", 1, 1), {"Name", "A"}, 1);
    // Ctrl+D empties the last row and counts it; Ctrl+E leaves it uncounted.
    addCase("D all invalid", {bad, bad, bad}, 2, D, ctrl, deleted("некорректных", 3, 3), {""}, 0);
    addCase("E all empty", {"", " ; ;", ""}, 0, E, ctrl, deleted("пустых", 3, 2), {""}, 0);
    // Ctrl+E does not drop the tail with the cursor first.
    addCase("E middle and tail", {a, "", a, "", ""}, 4, E, ctrl, deleted("пустых", 3, 3),
        {"A", "A"}, 1);
    addCase("declined D", mixed, 2, D, ctrl, deleted("некорректных", 1, 0).mid(0, 1), names(mixed),
        2, Geodetic, false);
    addCase("declined E", mixed, 2, E, ctrl, deleted("пустых", 2, 0).mid(0, 1), names(mixed), 2,
        Geodetic, false);
    addCase("nothing for D", {ok}, 0, D, ctrl,
        {"information|Удаление некорректных строк|Некорректных строк не обнаружено"}, {"P"}, 0);
    addCase("nothing for E", {ok}, 0, E, ctrl,
        {"information|Удаление пустых строк|Пустых строк не обнаружено"}, {"P"}, 0);

    addCase("Ctrl+Insert", abc, 1, Qt::Key_Insert, ctrl, {}, {"A", "", "B", "C"}, 2);
    addCase("Ctrl+Delete", abc, 2, Qt::Key_Delete, ctrl, {}, {"A", "B"}, 1);
    addCase("Ctrl+Delete of the last row", {"A"}, 0, Qt::Key_Delete, ctrl, {}, {}, -1);
    addCase("Ctrl+Insert without cursor", abc, -1, Qt::Key_Insert, ctrl, {}, abc, -1);
    // Down on the last row adds one, with any modifiers but exactly Control.
    addCase("Down on the last row", abc, 2, Qt::Key_Down, 0, {}, {"A", "B", "C", ""}, 3);
    addCase("Shift+Down on the last row", abc, 2, Qt::Key_Down, Qt::ShiftModifier, {},
        {"A", "B", "C", ""}, 3);
    addCase("Down elsewhere", abc, 0, Qt::Key_Down, 0, {}, abc, 1);

    // Keys that do nothing at all.
    addCase("Ctrl+Shift+D", mixed, 3, D, ctrl | Qt::ShiftModifier, {}, names(mixed), 3);
    addCase("Ctrl+Alt+E", mixed, 3, E, ctrl | Qt::AltModifier, {}, names(mixed), 3);
    addCase("keypad Ctrl+Insert", mixed, 3, Qt::Key_Insert, ctrl | Qt::KeypadModifier, {},
        names(mixed), 3);
    addCase("keypad Ctrl+Delete", mixed, 3, Qt::Key_Delete, ctrl | Qt::KeypadModifier, {},
        names(mixed), 3);
    addCase("Ctrl+Down on the last row", mixed, 3, Qt::Key_Down, ctrl, {}, names(mixed), 3);
}

void TestCommands::command()
{
    QFETCH(int, type);
    QFETCH(QStringList, rows);
    QFETCH(int, cursor);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, yes);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, left);
    QFETCH(int, newCursor);

    DialogLog log;
    log.yes = yes;
    Panel panel(true);
    child<QComboBox>(&panel, "comboBoxType")->setCurrentIndex(type);
    panel.setPoints(rows);
    panel.table()->setCurrentCell(cursor, cursor < 0 ? -1 : 2);
    QTest::keyClick(panel.table(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(log.shown, shown);
    QCOMPARE(names(panel.points()), left);
    QCOMPARE(panel.table()->currentRow(), newCursor);
    if (newCursor >= 0)
        QCOMPARE(panel.table()->currentColumn(), 2);
}

// At most ten row numbers, counted from 1, then how many more; nothing deleted.
void TestCommands::findInvalidRows()
{
    QStringList rows {ok, "", ok};
    DialogLog log;
    Panel panel(true);
    panel.setPoints(rows);
    QTest::keyClick(panel.table(), Qt::Key_I, Qt::ControlModifier);
    for (int i = 0; i < 10; ++i)
        rows << ok << bad; // invalid rows 5, 7, ... 23
    panel.setPoints(rows);
    QTest::keyClick(panel.table(), Qt::Key_I, Qt::ControlModifier);
    panel.setPoints(rows + QStringList {bad, bad});
    QTest::keyClick(panel.table(), Qt::Key_I, Qt::ControlModifier);

    const QString found = QStringLiteral("warning|Поиск некорректных строк|Обнаружено некорректных "
                                         "строк: %1\nНомера некорректных строк:\n"
                                         "5; 7; 9; 11; 13; 15; 17; 19; 21; 23");
    QCOMPARE(log.shown,
        (QStringList {"information|Поиск некорректных строк|Некорректных строк не обнаружено",
            found.arg(10), found.arg(12) + "\nи еще 2 (не перечислены)."}));
    QCOMPARE(panel.table()->rowCount(), 25);
}

// Ctrl+U only asks for the swap; a table without rows gets one from Down.
void TestCommands::swapAndEmptyTable()
{
    DialogLog log;
    Panel panel(true);
    panel.setPoints({ok});
    QSignalSpy swap(&panel, &Panel::signalSwap);
    QTest::keyClick(panel.table(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(swap.count(), 1);
    QCOMPARE(names(panel.points()), QStringList {"P"});

    panel.table()->setRowCount(0);
    QTest::keyClick(panel.table(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(panel.table(), Qt::Key_Down);
    QCOMPARE(panel.table()->rowCount(), 1);
    QCOMPARE(log.shown, QStringList {counted(0, 0, 0)});
}

void TestCommands::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QString>("status");  // "": "Загружено строк: <table rows>"
    QTest::addColumn<QString>("warning"); // the load warning's text, if any

    const auto add = [](const char *name, const QByteArray &content, const QStringList &table,
                         const QString &status = QString(), const QString &warning = QString()) {
        QTest::newRow(name) << content << table << status << warning;
    };
    add("commas and semicolons", "A, 55.5, 37.5, 120\nB;56;38\n",
        {"A| 55.5| 37.5| 120", "B|56|38|"});
    add("six fields", "C,1,2,3,4,5\n", {"C|1|2|3"}, "", extraFields(1, "1"));
    // A decimal comma splits a number: the table shows it, and so does a warning.
    add("decimal commas", "D2;55,5;37,5\nD1;55.5;37.5;120,5\nOK;1;2;3\n",
        {"D2|55|5|37", "D1|55.5|37.5|120", "OK|1|2|3"}, "", extraFields(2, "1, 2"));
    QStringList many;
    QByteArray manyLines;
    for (int i = 1; i <= 7; ++i) {
        many << QStringLiteral("M%1|1|2|3").arg(i);
        manyLines += "M" + QByteArray::number(i) + ",1,2,3,4\r\n";
    }
    add("extra fields listed up to five", manyLines, many, "", extraFields(7, "1, 2, 3, 4, 5, …"));
    add("empty line", "A;1;2;3\n\nB\n", {"A|1|2|3", "|||", "B|||"});
    add("empty file", QByteArray(), {"|||"}, "Загружено строк: 0");
    add("CRLF", "A; 1; 2; 3\r\nB; 4; 5; \r\n", {"A| 1| 2| 3", "B| 4| 5| "});
    add("last line without end", "A;1;2;3\nB;4", {"A|1|2|3", "B|4||"});
    add("cyrillic", QStringLiteral("Пункт; 1; 2; 3\n").toUtf8(),
        {QStringLiteral("Пункт| 1| 2| 3")});
    add("tabs", "T\t55.5\t37.5\t120\n", {"T|55.5|37.5|120"});
    add("lone CR", "A;1;2;3\rB;4;5;6\r", {"A|1|2|3", "B|4|5|6"});
    add("byte-order mark",
        "\xef\xbb\xbf\xd0\x9f"
        "1 Ab 9;1;2;3\n",
        {QStringLiteral("П1 Ab 9|1|2|3")});
    add("Windows-1251", "\xcf\xf3\xed\xea\xf2 \xb9 7;1;2;3\n", {QStringLiteral("Пункт № 7|1|2|3")},
        "Загружено строк: 1 (кодировка Windows-1251)");
    // Binary: loads, control characters as blanks, other bytes as Windows-1251.
    add("binary", QByteArray("\x00\xff\x01;\x7f\x1b\n\xc0\x80", 9),
        {QStringLiteral(" я |  ||"), QStringLiteral("А\u0402|||")},
        "Загружено строк: 2 (кодировка Windows-1251)");
}

void TestCommands::load()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, table);
    QFETCH(QString, status);
    QFETCH(QString, warning);

    DialogLog log;
    log.fileName = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(writeFile(log.fileName, content));
    Panel panel(true);
    panel.setInputRole();
    panel.setPoints({"old; 1; 2; 3", "old2"});
    QSignalSpy statusLine(&panel, &Panel::signalStatus);
    click(panel, "pushButtonLoad");
    QStringList shown {"open|Загрузить точки|*.txt;;Все файлы (*)"};
    if (!warning.isEmpty())
        shown << "warning|Предупреждение|" + warning;
    QCOMPARE(log.shown, shown);
    QCOMPARE(tableCells(panel), table);
    QCOMPARE(statusLine.value(0).value(0).toString(),
        status.isEmpty() ? QStringLiteral("Загружено строк: %1").arg(table.size()) : status);

    // Ctrl+Z brings the table from before the load back.
    QTest::keyClick(panel.table(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(tableCells(panel), (QStringList {"old| 1| 2| 3", "old2|||"}));
    QCOMPARE(statusLine.last().value(0).toString(), QStringLiteral("Отменено: загрузка"));
}

void TestCommands::saveAndLoadBack()
{
    DialogLog log;
    log.fileName = dir.filePath("roundtrip.txt");
    Panel panel(true);
    // Result cells already start with a blank; an empty row is a row too.
    panel.setPoints({"Пункт; 55 45 5.00000; 37 37 6.00000; 120.000", "B,56.25,38.5", ""});
    const QStringList before = tableCells(panel);
    QSignalSpy status(&panel, &Panel::signalStatus);
    click(panel, "pushButtonSave");
    QCOMPARE(log.shown, QStringList {"save|Сохранить точки|*.txt"});
    QCOMPARE(status.value(0).value(0).toString(), QStringLiteral("Сохранено строк: 3"));
    QCOMPARE(QString::fromUtf8(readFile(log.fileName)),
        QStringLiteral(
            "Пункт;  55 45 5.00000;  37 37 6.00000;  120.000\nB; 56.25; 38.5; \n; ; ; \n"));

    // Loaded back: each coordinate cell gains the blank written after ";".
    panel.clearPoints();
    click(panel, "pushButtonLoad");
    QStringList expected = before;
    for (QString &row : expected)
        row.replace(QLatin1Char('|'), QLatin1String("| "));
    QCOMPARE(tableCells(panel), expected);

    // "roundtrip" is saved as "roundtrip.txt", which exists: asked again, and
    // only Yes replaces it. The next dialog opens in the file's folder.
    panel.setPoints({"new; 1; 2; 3"});
    log.fileName = dir.filePath("roundtrip");
    for (bool yes : {false, true}) {
        log.yes = yes;
        click(panel, "pushButtonSave");
        QCOMPARE(log.shown.last(),
            "confirm|Подтвердите замену|Файл уже существует:\n" + log.fileName
                + ".txt\nЗаменить его?");
        QCOMPARE(readFile(log.fileName + ".txt").startsWith("new"), yes);
    }
    QVERIFY(!QFile::exists(log.fileName));
    QCOMPARE(log.folders.last(), dir.path());

    // A table without rows: no dialog, nothing written.
    log.shown.clear();
    panel.table()->setRowCount(0);
    click(panel, "pushButtonSave");
    QVERIFY(log.shown.isEmpty());
}

void TestCommands::failures()
{
    DialogLog log;
    Panel panel(true);
    panel.setPoints({"A; 1; 2; 3"});
    const QStringList table = tableCells(panel);

    click(panel, "pushButtonLoad"); // cancelled dialogs: nothing happens
    click(panel, "pushButtonSave");
    const QString missing = dir.filePath("missing/points.txt");
    log.fileName = missing;
    click(panel, "pushButtonLoad");
    log.fileName = dir.path(); // a directory is no points file
    click(panel, "pushButtonLoad");
    log.fileName = missing;
    click(panel, "pushButtonSave");
    QCOMPARE(log.shown,
        (QStringList {"open|Загрузить точки|*.txt;;Все файлы (*)", "save|Сохранить точки|*.txt",
            "open|Загрузить точки|*.txt;;Все файлы (*)", loadFailed + missing,
            "open|Загрузить точки|*.txt;;Все файлы (*)", loadFailed + dir.path(),
            "save|Сохранить точки|*.txt", saveFailed + missing}));
    QCOMPARE(tableCells(panel), table);
    QVERIFY(!QFile::exists(missing));

    // Files that fail to read or never end: a read error (memory page 0 of
    // this process), a device without end, and a pipe whose writer keeps it
    // open. Each is refused at once with the load warning; the table stays.
    const QString fifo = dir.filePath("endless.fifo");
    QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
    QVERIFY(writer >= 0 && ::write(writer, "A;1;2;3\n", 8) == 8);
    QElapsedTimer clock;
    clock.start();
    for (const QString &path :
        {QStringLiteral("/proc/self/mem"), QStringLiteral("/dev/zero"), fifo}) {
        log.shown.clear();
        log.fileName = path;
        click(panel, "pushButtonLoad");
        QCOMPARE(log.shown,
            (QStringList {"open|Загрузить точки|*.txt;;Все файлы (*)", loadFailed + path}));
        QCOMPARE(tableCells(panel), table);
    }
    ::close(writer);
    QVERIFY(clock.elapsed() < 2000);
}

// Reading a device line by line: line ends split across reads, a read error
// and the size limit stop it, the encoding follows what was seen so far.
void TestCommands::lineReader()
{
    // Hands out its bytes `chunk` at a time, then fails if asked to.
    struct Trickle : QIODevice
    {
        QByteArray bytes;
        int chunk;
        bool fail;
        Trickle(const QByteArray &b, int c, bool f)
            : bytes(b)
            , chunk(c)
            , fail(f)
        {
            open(ReadOnly);
        }
        bool isSequential() const override { return true; }
        qint64 readData(char *data, qint64 max) override
        {
            const int n = int(std::min<qint64>({max, qint64(chunk), qint64(bytes.size())}));
            memcpy(data, bytes.constData(), size_t(n));
            bytes.remove(0, n);
            return n == 0 && fail ? -1 : n;
        }
        qint64 writeData(const char *, qint64) override { return -1; }
    };
    using PointsFile::Status;
    const QByteArray mixed = "\xef\xbb\xbf"
                             "A\r\nB\r\rC\nП\r";
    const QStringList five {"A", "B", "", "C", QStringLiteral("П")};
    const struct
    {
        QByteArray bytes;
        int chunk;
        bool fail;
        qint64 limit;
        QStringList lines;
        Status status;
        bool windows1251;
    } cases[] = {
        {mixed, 1, false, 100, five, Status::Ok, false},
        {mixed, 3, true, 100, five, Status::ReadError, false},
        {"A;1\nB;2\nC", 2, false, 7, {"A;1"}, Status::TooLarge, false},
        {"A;1\nB;2\nC", 2, false, 9, {"A;1", "B;2", "C"}, Status::Ok, false},
        // The lines before the first one that is not UTF-8 stay UTF-8.
        {"\xd0\x9f\n\xcf\n\xd0\x9f", 5, false, 100, {"П", "П", "Рџ"}, Status::Ok, true},
    };
    for (const auto &c : cases) {
        Trickle device(c.bytes, c.chunk, c.fail);
        PointsFile::LineReader reader(&device, c.limit);
        QStringList lines;
        QString line;
        while (reader.readLine(&line))
            lines << line;
        QCOMPARE(lines, c.lines);
        QCOMPARE(reader.status(), c.status);
        QCOMPARE(reader.windows1251(), c.windows1251);
        QCOMPARE(reader.lineNumber(), qint64(lines.size()));
    }
}

// Saving goes through a temporary file: a write that fails half-way leaves
// the old file whole and no temporary file behind.
void TestCommands::failedWriteKeepsExistingFile()
{
    QTemporaryDir own;
    const QString path = own.filePath("existing.txt");
    const QByteArray old("A; 1; 2; 3\n");
    QVERIFY(writeFile(path, old));
    QStringList rows;
    for (int i = 0; i < 2000; ++i)
        rows << QStringLiteral("P%1; 6181234.567; 7412345.678; 150.250").arg(i);

    DialogLog log;
    log.fileName = path;
    Panel panel(true);
    panel.setPoints(rows);
    {
        FileSizeLimit limit(4096);
        QVERIFY(!PointsFile::write(path, rows));
        click(panel, "pushButtonSave");
    }
    QCOMPARE(log.shown.value(1), saveFailed + path);
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(own.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"existing.txt"});

    click(panel, "pushButtonSave"); // without the limit the list replaces the file
    QCOMPARE(readFile(path).count('\n'), 2000);
}

// Loading shows the wait cursor while the table fills; every load and save,
// good or failed, gives the normal cursor back.
void TestCommands::waitCursor()
{
    DialogLog log;
    log.fileName = dir.filePath("busy.txt");
    QVERIFY(writeFile(log.fileName, "A; 1; 2; 3\nB; 4; 5; 6\nC; 7; 8; 9\n"));
    Panel panel(true);
    {
        CursorLog cursor(panel.table());
        click(panel, "pushButtonLoad");
        QCOMPARE(tableCells(panel).size(), 3);
        QVERIFY(!cursor.shapes.isEmpty());
        QCOMPARE(cursor.shapes.count(int(Qt::WaitCursor)), cursor.shapes.size());
    }
    QVERIFY(!QGuiApplication::overrideCursor());

    log.fileName = dir.filePath("busy-saved.txt");
    click(panel, "pushButtonSave");
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(readFile(log.fileName).count('\n'), 3);

    // Failures: the warning comes with the normal cursor, and it stays.
    log.shown.clear();
    const QString missing = dir.filePath("missing/busy.txt");
    log.fileName = missing;
    click(panel, "pushButtonLoad");
    click(panel, "pushButtonSave");
    QCOMPARE(log.shown,
        (QStringList {"open|Загрузить точки|*.txt;;Все файлы (*)", loadFailed + missing,
            "save|Сохранить точки|*.txt", saveFailed + missing}));
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestCommands::paste_data()
{
    QTest::addColumn<int>("column"); // of the cursor, in row 1
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("cells");

    // A spreadsheet's block: tabs only split, "," is its decimal comma, and a
    // whole row starts in the name column wherever the cursor is.
    dataRow("spreadsheet rows", 2, QString("P1\t55,5\t37,5\t100\r\nP2\t56\t\t\r\n"),
        QStringList {"A|1|2|3", "P1|55.5|37.5|100", "P2|56||"});
    dataRow("points file lines", 0, QString("Q; 7; 8; 9\nR,1,2,3,4,5"),
        QStringList {"A|1|2|3", "Q|7|8|9", "R|1|2|3"});
    // One value goes into the current cell, a decimal comma included.
    dataRow("one value", 1, QString("55,5"), QStringList {"A|1|2|3", "B|55.5|5|6"});
    dataRow("one name", 0, QString("Пункт 1\n"), QStringList {"A|1|2|3", "Пункт 1|4|5|6"});
    dataRow("a column", 3, QString("10\n20\n30"),
        QStringList {"A|1|2|3", "B|4|5|10", "|||20", "|||30"});
    dataRow("two coordinates", 1, QString("1;2"), QStringList {"A|1|2|3", "B|1|2|6"});
    // Line and paragraph separators and other control characters in a field
    // are blanks: a cell holds one line.
    dataRow("control characters", 0,
        QString::fromUtf8("a\x01"
                          "b\u2028c \tx\x0by\t2\t3\n"),
        QStringList {"A|1|2|3", "a b c|x y|2|3"});
}

// Ctrl+V from the cursor in row 1 down, rows added as needed, one undoable step.
void TestCommands::paste()
{
    QFETCH(int, column);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, cells);

    Panel panel(true);
    panel.setPoints({"A;1;2;3", "B;4;5;6"});
    QSignalSpy changes(
        panel.table()->findChild<TableClipboard *>(), &TableClipboard::aboutToChange);
    panel.table()->setCurrentCell(1, column);
    QGuiApplication::clipboard()->setText(clipboard);
    QTest::keyClick(panel.table(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(tableCells(panel), cells);
    QCOMPARE(changes.count(), 1);
}

// Rows copied from one table and pasted into another, or back into an empty
// one, are the same rows; Ctrl+X blanks what it copied.
void TestCommands::copyCutAndPasteBack()
{
    Panel from(false);
    from.setPoints({" A ; 55 45 5.00000; 37.5 ;120", "B;1;2;", "C; -3; 4; 5"});
    const QStringList rows = tableCells(from);
    QTableWidget *table = from.table();
    table->setCurrentCell(2, 1);
    QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
        QStringLiteral("A\t55 45 5.00000\t37.5\t120\nB\t1\t2\t\nC\t-3\t4\t5\n"));

    Panel into(true);
    into.table()->setCurrentCell(0, 3);
    QTest::keyClick(into.table(), Qt::Key_V, Qt::ControlModifier);
    QStringList trimmed = rows;
    trimmed.replaceInStrings(QRegularExpression(" *\\| *"), "|")
        .replaceInStrings(QRegularExpression("^ +"), "");
    QCOMPARE(tableCells(into), trimmed);

    // Rows 0 and 2 (clicked, then Ctrl+clicked) cut, pasted into the emptied table.
    table->selectionModel()->clear();
    QTest::mouseClick(
        table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(0, 1)).center());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier,
        table->visualItemRect(table->item(2, 1)).center());
    QTest::keyClick(table, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(tableCells(from), (QStringList {"|||", rows.at(1), "|||"}));
    from.clearPoints();
    QTest::keyClick(table, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(tableCells(from), (QStringList {trimmed.at(0), trimmed.at(2)}));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
