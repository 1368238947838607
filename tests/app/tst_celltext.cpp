// Text forms of the point table: validity, angles, numbers and row texts,
// always with "." as the decimal point (ctest runs this under ru_RU.UTF-8 too).
#include "CellText.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

class TestCellText : public QObject
{
    Q_OBJECT

private slots:
    void validity_data();
    void validity();
    void parseAngle_data();
    void parseAngle();
    void formatDms_data();
    void formatDms();
    void dmsRoundTrip();
    void sameAsQt();
    void numbersAndRows();
};

void TestCellText::validity_data()
{
    QTest::addColumn<QString>("c1");
    QTest::addColumn<QString>("c2");
    QTest::addColumn<QString>("c3");
    QTest::addColumn<bool>("dms");
    QTest::addColumn<bool>("valid");

    // clang-format off
    const struct { const char *name, *c1, *c2, *c3; bool dms, valid; } cases[] = {
        { "dms", "55 45 5", "-37 37 6.5", "120.5", true, true },
        { "dms groups, tab, bare point", "55\t45 .5", "137 7", "1.", true, true },
        { "decimal degrees in dms mode", "100.5", "37", "0", true, true },
        { "3-digit latitude degrees", "100 30 0", "37", "0", true, false },
        { "4-digit longitude degrees", "55", "1000 1 1", "0", true, false },
        { "3-digit minutes", "55 123", "37", "0", true, false },
        { "height in groups", "55", "37", "1 2", true, false },
        // A blank or letter must not pass as the decimal point in any pattern.
        { "blank as point", "7412345 67", "1", "0", false, false },
        { "letter as point", "55x5", "1", "0", false, false },
        { "blank as point, dms", "100 30", "37", "0", true, false },
        { "letter in latitude seconds", "55 1 2x5", "37", "0", true, false },
        { "letter in longitude seconds", "55", "37 1 2x5", "0", true, false },
        { "decimal comma", "55,5", "1", "0", false, false },
        { "metres", " 6181234.567", "+7412345.", "-150", false, true },
        { "groups in metres", "55 30 0", "1", "0", false, false },
        { "leading point", ".5", "1", "0", false, false },
        { "exponent", "1", "1e5", "0", false, false },
        { "arabic-indic digits", "\u0665\u0665", "1", "0", false, false },
        { "blank height", "1", "2", "\t", true, false },
    };
    // clang-format on
    for (const auto &c : cases)
        QTest::newRow(c.name) << QString::fromUtf8(c.c1) << QString::fromUtf8(c.c2)
                              << QString::fromUtf8(c.c3) << c.dms << c.valid;
}

void TestCellText::validity()
{
    QFETCH(QString, c1);
    QFETCH(QString, c2);
    QFETCH(QString, c3);
    QFETCH(bool, dms);
    QFETCH(bool, valid);
    QCOMPARE(CellText::isValidCoordinates(c1, c2, c3, dms), valid);
}

void TestCellText::parseAngle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("degrees");
    QTest::addColumn<bool>("inRange"); // minutes and seconds in [0, 60)

    dataRow("d m s", QString("55 45 5"), 55 + 45 / 60.0 + 5 / 3600.0, true);
    dataRow("d m, decimal minutes", QString("10 30.5"), 10 + 30.5 / 60, true);
    dataRow("decimal", QString("155.5"), 155.5, true);
    dataRow("minus zero degrees", QString("-0 30 0"), -0.5, true);
    dataRow("blanks around minus", QString("  -  10 30 "), -10.5, true);
    dataRow("stops at text", QString("55 30 x"), 55.5, true);
    dataRow("comma is no point", QString("1,5"), 1.0, true);
    dataRow("no number", QString("abc"), 0.0, true);
    dataRow("59.99999 seconds", QString("1 59 59.99999"), 1 + 59 / 60.0 + 59.99999 / 3600, true);
    dataRow("60 minutes", QString("55 60 0"), 56.0, false);
    dataRow("75 minutes", QString("55 75 0"), 56.25, false);
    dataRow("60 seconds", QString("55 0 60"), 55 + 1 / 60.0, false);
    dataRow("negative minutes", QString("55 -30"), 54.5, false);
    dataRow("negative seconds", QString("55 0 -36"), 54.99, false);
}

void TestCellText::parseAngle()
{
    QFETCH(QString, text);
    QFETCH(double, degrees);
    QFETCH(bool, inRange);
    bool partsInRange = !inRange;
    QVERIFY(std::fabs(CellText::parseAngle(text, &partsInRange) - degrees) < 1e-12);
    QCOMPARE(partsInRange, inRange);
    QCOMPARE(CellText::parseAngle(text), CellText::parseAngle(text, &partsInRange));
}

void TestCellText::formatDms_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QString>("text");

    dataRow("zero", 0.0, QString("0 0 0.00000"));
    dataRow("minus half", -0.5, QString("-0 30 0.00000"));
    dataRow("negative", -(37 + 37 / 60.0 + 6.5 / 3600), QString("-37 37 6.50000"));
    dataRow("seconds rounded", 1 + 0.123456 / 3600, QString("1 0 0.12346"));
    // A few millionths of a second short carry through minutes into degrees.
    dataRow("carry to 11", 11 - 3e-6 / 3600, QString("11 0 0.00000"));
    dataRow("carry to -11", -(11 - 3e-6 / 3600), QString("-11 0 0.00000"));
    dataRow("carry into minutes", 10.5 + 59.999997 / 3600, QString("10 31 0.00000"));
    dataRow("360 is 0", 360.0 - 1e-12, QString("0 0 0.00000"));
    dataRow("below 360", 359.5, QString("359 30 0.00000"));
}

void TestCellText::formatDms()
{
    QFETCH(double, degrees);
    QFETCH(QString, text);
    QCOMPARE(CellText::formatDms(degrees), text);
}

void TestCellText::dmsRoundTrip()
{
    // Written to 0.00001" and read back: within half of that.
    for (double x = -179.9; x < 180.0; x += 7.300123456789) {
        const QString text = CellText::formatDms(x);
        QVERIFY2(std::fabs(CellText::parseAngle(text) - x) <= 0.0000051 / 3600, qPrintable(text));
    }
}

// The hand-made readers and writers against Qt's own: the coordinate
// patterns and the row a loaded line makes on random texts of the characters
// that matter, fixed notation on
// random values, ties (odd multiples of 2^-(decimals + 1)) and zeros.
void TestCellText::sameAsQt()
{
    const QString decimal = QStringLiteral("[+-]?\\d+(\\.\\d*)?");
    const QString groups = QStringLiteral("(\\s+\\d{1,2}(\\s+\\d{0,2}(\\.\\d*)?)?)?");
    const QRegularExpression decimalOnly(QRegularExpression::anchoredPattern(decimal));
    const QRegularExpression latitude(QRegularExpression::anchoredPattern(
        QStringLiteral("(%1)|([+-]?\\d{1,2}%2)").arg(decimal, groups)));
    const QRegularExpression longitude(QRegularExpression::anchoredPattern(
        QStringLiteral("(%1)|([+-]?\\d{1,3}%2)").arg(decimal, groups)));
    const QString alphabet = QStringLiteral("0123456789 .+-\t\v\u00a0\u0665e,;\r\u2028");
    QRandomGenerator random(14);
    for (int n = 0; n < 100000; ++n) {
        QString t[3];
        for (QString &text : t) {
            const int length = int(random.bounded(9)) + 1;
            for (int i = 0; i < length; ++i)
                text += alphabet.at(int(random.bounded(alphabet.size())));
            text = text.trimmed();
        }
        const bool all = !t[0].isEmpty() && !t[1].isEmpty() && !t[2].isEmpty();
        const auto ok
            = [](const QRegularExpression &re, const QString &x) { return re.match(x).hasMatch(); };
        const bool dms = all && ok(latitude, t[0]) && ok(longitude, t[1]) && ok(decimalOnly, t[2]);
        const bool plain
            = all && ok(decimalOnly, t[0]) && ok(decimalOnly, t[1]) && ok(decimalOnly, t[2]);
        if (CellText::isValidCoordinates(t[0], t[1], t[2], true) != dms
            || CellText::isValidCoordinates(t[0], t[1], t[2], false) != plain)
            QFAIL(qPrintable(t[0] + QLatin1Char('|') + t[1] + QLatin1Char('|') + t[2]));
        // A loaded line as the table makes it a row.
        const QString line = t[0] + t[1] + t[2];
        const QStringList cells = CellText::splitRow(line);
        if (CellText::tableRow(line) != CellText::joinRow(cells[0], cells[1], cells[2], cells[3]))
            QFAIL(qPrintable(line));
    }

    for (int n = 0; n < 100000; ++n) {
        const int decimals = n % 10;
        const double scale = std::pow(10.0, double(random.bounded(16)) - 4);
        const double tie = std::ldexp(2 * double(random.bounded(1 << 20)) + 1, -(decimals + 1));
        for (const double v : {(random.generateDouble() - 0.5) * scale, tie, -tie, -0.0, -0.0001,
                 std::nan(""), -2e15})
            if (CellText::formatFixed(v, decimals) != QString::number(v, 'f', decimals))
                QCOMPARE(CellText::formatFixed(v, decimals), QString::number(v, 'f', decimals));
    }
}

void TestCellText::numbersAndRows()
{
    double v = 42.0;
    QVERIFY(CellText::parseNumber("  -12.5\t", &v));
    QCOMPARE(v, -12.5);
    for (const char *bad : {"1,5", "55 30", "12m", "", "-"}) {
        v = 42.0;
        QVERIFY2(!CellText::parseNumber(bad, &v), bad);
        QCOMPARE(v, 42.0); // untouched on failure
    }

    QCOMPARE(CellText::splitRow("A,55.5;37.5"), (QStringList {"A", "55.5", "37.5", ""}));
    QCOMPARE(CellText::splitRow("C,1,2,3,4,5").size(), 6);
    QCOMPARE(CellText::fieldCount("C,1,2,3,4,5"), 6);
    QCOMPARE(CellText::fieldCount("C"), 1);
    // Tab separates like "," and ";"; no other control character stays in a cell.
    QCOMPARE(CellText::splitRow("T\t1\t2;3"), (QStringList {"T", "1", "2", "3"}));
    QCOMPARE(CellText::splitRow(QString::fromUtf8("a\rb\x01"
                                                  "c\u2028\u0085; 1")),
        (QStringList {"a b c  ", " 1", "", ""}));
    // A pasted text is one line: control characters one blank each, ends trimmed.
    QCOMPARE(CellText::singleLine(QString::fromUtf8("\r\nP 1\tx\u2029y\x7f\n")),
        QStringLiteral("P 1 x y"));
    QCOMPARE(CellText::singleLine(QStringLiteral(" 55 30 ")), QStringLiteral("55 30"));
    const QString row = CellText::joinRow(QStringLiteral("Пункт"), "55 45 5", "37 37 6", "");
    QCOMPARE(row, QStringLiteral("Пункт; 55 45 5; 37 37 6; "));
    QCOMPARE(CellText::splitRow(row),
        (QStringList {QStringLiteral("Пункт"), " 55 45 5", " 37 37 6", " "}));
}

QTEST_GUILESS_MAIN(TestCellText)
#include "tst_celltext.moc"
