// Points files: loading and saving a panel's list through its Load and Save
// buttons, the line and field forms, and what happens when a file fails.
#include "Dialogs.h"
#include "Panel.h"
#include "PointsFile.h"

#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// A panel whose file dialogs answer `fileName`; every box is recorded.
struct Fixture
{
    QStringList shown; // "kind|title|text"
    QString fileName;
    Panel panel { true };

    Fixture()
    {
        Dialogs::setAnswerer([this](const Dialogs::Request &r) {
            static const char *kinds[]
                = { "warning", "information", "confirm", "about", "open", "save" };
            shown << QStringLiteral("%1|%2|%3").arg(kinds[int(r.kind)], r.title, r.text);
            Dialogs::Answer answer;
            answer.fileName = fileName;
            return answer;
        });
    }
    ~Fixture() { Dialogs::setAnswerer({}); }

    void click(const char *button)
    {
        QTest::mouseClick(
            panel.findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
    }
    QStringList cells() const
    {
        QStringList rows;
        const QTableWidget *t = panel.table();
        for (int r = 0; r < t->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < 4; ++c)
                row << (t->item(r, c) ? t->item(r, c)->text() : QString());
            rows << row.join(QLatin1Char('|'));
        }
        return rows;
    }
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void setContents(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// Makes writes beyond `bytes` fail, as a full disk would; unlike file
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

class TestPointsFile : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
    void saveAndLoadBack();
    void failures();
    void failedWriteKeepsExistingFile();

private:
    QTemporaryDir dir;
};

void TestPointsFile::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("table");

    QTest::newRow("commas and semicolons") << QByteArray("A, 55.5, 37.5, 120\nB;56;38\n")
                                           << QStringList { "A| 55.5| 37.5| 120", "B|56|38|" };
    QTest::newRow("six fields") << QByteArray("C,1,2,3,4,5\n") << QStringList { "C|1|2|3" };
    QTest::newRow("empty line") << QByteArray("A;1;2;3\n\nB\n")
                                << QStringList { "A|1|2|3", "|||", "B|||" };
    QTest::newRow("empty file") << QByteArray() << QStringList { "|||" };
    QTest::newRow("crlf") << QByteArray("A; 1; 2; 3\r\nB; 4; 5; \r\n")
                          << QStringList { "A| 1| 2| 3", "B| 4| 5| " };
    QTest::newRow("last line without end")
        << QByteArray("A;1;2;3\nB;4") << QStringList { "A|1|2|3", "B|4||" };
    QTest::newRow("cyrillic") << QStringLiteral("Пункт; 1; 2; 3\n").toUtf8()
                              << QStringList { QStringLiteral("Пункт| 1| 2| 3") };
}

void TestPointsFile::load()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, table);

    Fixture f;
    f.fileName = dir.filePath(QStringLiteral("load.txt"));
    setContents(f.fileName, content);
    f.panel.setInputRole();
    f.panel.setPoints({ "old; 1; 2; 3", "old2" });
    f.click("pushButtonLoad");
    QCOMPARE(f.shown, QStringList { "open|Загрузить точки|*.txt" });
    QCOMPARE(f.cells(), table);
}

void TestPointsFile::saveAndLoadBack()
{
    Fixture f;
    f.fileName = dir.filePath(QStringLiteral("roundtrip.txt"));
    // Result cells already start with a blank; an empty row is a row too.
    f.panel.setPoints(
        { QStringLiteral("Пункт; 55 45 5.00000; 37 37 6.00000; 120.000"), "B,56.25,38.5", "" });
    const QStringList before = f.cells();
    f.click("pushButtonSave");
    QCOMPARE(f.shown, QStringList { "save|Сохранить точки|*.txt" });
    QCOMPARE(QString::fromUtf8(contents(f.fileName)),
        QStringLiteral("Пункт;  55 45 5.00000;  37 37 6.00000;  120.000\nB; 56.25; 38.5; \n"
                       "; ; ; \n"));

    // Loaded back: each coordinate cell gains the blank written after ";".
    f.panel.clearPoints();
    f.click("pushButtonLoad");
    const QStringList after = f.cells();
    QCOMPARE(after.size(), before.size());
    for (int r = 0; r < before.size(); ++r) {
        const QStringList a = before[r].split(QLatin1Char('|'));
        const QStringList b = after[r].split(QLatin1Char('|'));
        QCOMPARE(b[0], a[0]);
        for (int c = 1; c < 4; ++c)
            QCOMPARE(b[c], QLatin1Char(' ') + a[c]);
    }

    // A table without rows: no dialog, nothing written.
    f.shown.clear();
    f.panel.table()->setRowCount(0);
    f.click("pushButtonSave");
    QVERIFY(f.shown.isEmpty());
}

void TestPointsFile::failures()
{
    Fixture f;
    f.panel.setPoints({ "A; 1; 2; 3" });
    const QStringList table = f.cells();

    f.click("pushButtonLoad"); // cancelled dialogs: nothing happens
    f.click("pushButtonSave");
    QCOMPARE(f.shown.size(), 2);

    const QString missing = dir.filePath(QStringLiteral("missing/points.txt"));
    for (const QString &path : { missing, dir.path() }) { // a directory is no points file
        f.shown.clear();
        f.fileName = path;
        f.click("pushButtonLoad");
        QCOMPARE(f.shown.value(1),
            QStringLiteral("warning|Предупреждение|Ошибка при загрузке точек из файла:\n") + path);
        QCOMPARE(f.cells(), table);
    }

    f.shown.clear();
    f.fileName = missing;
    f.click("pushButtonSave");
    QCOMPARE(f.shown.value(1),
        QStringLiteral("warning|Предупреждение|Ошибка при сохранении точек в файл:\n") + missing);
    QVERIFY(!QFile::exists(missing));
}

void TestPointsFile::failedWriteKeepsExistingFile()
{
    QTemporaryDir own;
    const QString path = own.filePath(QStringLiteral("existing.txt"));
    const QByteArray old("A; 1; 2; 3\n");
    setContents(path, old);
    QStringList rows;
    for (int i = 0; i < 2000; ++i)
        rows << QStringLiteral("P%1; 6181234.567; 7412345.678; 150.250").arg(i);

    Fixture f;
    f.fileName = path;
    f.panel.setPoints(rows);
    {
        FileSizeLimit limit(4096);
        QVERIFY(!PointsFile::write(path, rows));
        f.click("pushButtonSave");
    }
    QCOMPARE(f.shown.value(1),
        QStringLiteral("warning|Предупреждение|Ошибка при сохранении точек в файл:\n") + path);
    QCOMPARE(contents(path), old);
    // No half-written temporary file stays behind either.
    QCOMPARE(
        QDir(own.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "existing.txt" });

    // Without the limit the same list replaces the file.
    f.click("pushButtonSave");
    QCOMPARE(contents(path).count('\n'), 2000);
}

QTEST_MAIN(TestPointsFile)
#include "tst_pointsfile.moc"
