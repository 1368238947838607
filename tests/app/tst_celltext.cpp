// Text forms of the point table: validity, angle reading and writing, plain
// numbers and row texts, all with "." as the decimal point in every locale.
#include "CellText.h"

#include <QLocale>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>

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
    void numbersAndRows();
    void pointInDecimalCommaLocale();
};

// 1e-12 degrees: far below the 0.00001" (2.8e-9 degrees) that formatDms
// writes, above the rounding of d + m / 60 + s / 3600.
static const double kAngleTolerance = 1e-12;

void TestCellText::validity_data()
{
    QTest::addColumn<QString>("c1");
    QTest::addColumn<QString>("c2");
    QTest::addColumn<QString>("c3");
    QTest::addColumn<bool>("dms");
    QTest::addColumn<bool>("valid");

    const struct
    {
        const char *name, *c1, *c2, *c3;
        bool dms, valid;
    } cases[] = {
        { "dms", "55 45 5", "-37 37 6.5", "120.5", true, true },
        { "dms groups 1 and 2", "55", "137 7", "1", true, true },
        { "dms tab, point-only seconds", "55\t45 .5", "37 37 6.", "0", true, true },
        { "decimal degrees, no digit limit", "100.5", "37", "0", true, true },
        { "3-digit latitude groups", "100 30 0", "37", "0", true, false },
        { "4-digit longitude groups", "55", "1000 1 1", "0", true, false },
        { "3-digit minutes", "55 123", "37", "0", true, false },
        { "3-digit seconds", "55 1 123", "37", "0", true, false },
        { "height in groups", "55", "37", "1 2", true, false },
        // The unescaped dot used to let these through as other numbers.
        { "blank as point, dms", "100 30", "37", "0", true, false },
        { "blank as point", "7412345 67", "1", "0", false, false },
        { "letter as point", "55x5", "1", "0", false, false },
        { "decimal comma", "55,5", "1", "0", false, false },
        { "metres", " 6181234.567", "+7412345.", "-150", false, true },
        { "leading point", ".5", "1", "0", false, false },
        { "exponent", "1e5", "1", "0", false, false },
        { "groups in metres", "55 30 0", "1", "0", false, false },
        { "arabic-indic digits", "\u0665\u0665", "1", "0", false, false },
        { "no-break space", "55\u00a030", "1", "0", true, false },
        { "blank first", " ", "1", "0", false, false },
        { "blank height", "1", "2", "\t", true, false },
    };
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

// The same prefixes as "%lf %lf %lf", "%lf %lf", "%lf" in the C locale; the
// C reader serves here only as the reference.
static double scanfReference(const QString &text)
{
    QString rest = text.trimmed();
    double sign = 1.0;
    if (rest.startsWith(QLatin1Char('-'))) {
        sign = -1.0;
        rest = rest.mid(1).trimmed();
    }
    const QByteArray bytes = rest.toUtf8();
    locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    locale_t previous = uselocale(c);
    double d = 0, m = 0, s = 0;
    if (std::sscanf(bytes.constData(), "%lf %lf %lf", &d, &m, &s) != 3) {
        s = 0;
        if (std::sscanf(bytes.constData(), "%lf %lf", &d, &m) != 2) {
            m = 0;
            if (std::sscanf(bytes.constData(), "%lf", &d) != 1)
                d = 0;
        }
    }
    uselocale(previous);
    freelocale(c);
    return (d + m / 60 + s / 3600) * sign;
}

void TestCellText::parseAngle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("degrees");

    QTest::newRow("minus 0 30 0") << "-0 30 0" << -0.5;
    QTest::newRow("10 30") << "10 30" << 10.5;
    QTest::newRow("12.25") << "12.25" << 12.25;
    QTest::newRow("55.5") << "55.5" << 55.5;
    QTest::newRow("55 45 5") << "55 45 5" << 55.0 + 45.0 / 60 + 5.0 / 3600;
    QTest::newRow("decimal minutes") << "10 30.5" << 10.0 + 30.5 / 60;
    QTest::newRow("blanks around minus") << "  -  10 30 " << -10.5;
    QTest::newRow("stops at text") << "55 30 x" << 55.5;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("minus alone") << "-" << 0.0;
    // Odd texts that no valid cell holds: read as the C reader reads them.
    for (const char *t : { "1.5.5", "5.", "-.5 1", "+-5", "-+5", "1e1 30", "1e 30", "1e+ 30",
             "2E-1", "inf", "1 2 3 4", "1,5", "55 ,5", "007 08", "1e400", "1e-400", "12 .5",
             "12 . 5", "1\v2", "+5 30" })
        QTest::newRow(t) << QString::fromLatin1(t) << scanfReference(QString::fromLatin1(t));
}

void TestCellText::parseAngle()
{
    QFETCH(QString, text);
    QFETCH(double, degrees);
    const double read = CellText::parseAngle(text);
    QVERIFY2(read == degrees || std::fabs(read - degrees) <= kAngleTolerance,
        qPrintable(QString::number(read, 'g', 17)));
}

void TestCellText::formatDms_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << "0 0 0.00000";
    QTest::newRow("minus half") << -0.5 << "-0 30 0.00000";
    QTest::newRow("12.25") << 12.25 << "12 15 0.00000";
    QTest::newRow("55 45 5") << 55.0 + 45.0 / 60 + 5.0 / 3600 << "55 45 5.00000";
    QTest::newRow("negative") << -(37.0 + 37.0 / 60 + 6.5 / 3600) << "-37 37 6.50000";
    QTest::newRow("seconds rounded") << 1.0 + 0.123456 / 3600 << "1 0 0.12346";
    // A few millionths of a second short carry through minutes into degrees.
    QTest::newRow("carry to 11") << 11.0 - 3e-6 / 3600 << "11 0 0.00000";
    QTest::newRow("carry to -11") << -(11.0 - 3e-6 / 3600) << "-11 0 0.00000";
    QTest::newRow("carry seconds only") << 10.5 + 59.999997 / 3600 << "10 31 0.00000";
    QTest::newRow("rounds to 360") << 360.0 - 1e-12 << "0 0 0.00000";
    QTest::newRow("below 360") << 359.5 << "359 30 0.00000";
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
        QVERIFY2(std::fabs(CellText::parseAngle(text) - x) <= 0.000005 / 3600 + kAngleTolerance,
            qPrintable(text));
    }
}

void TestCellText::numbersAndRows()
{
    double v = 42.0;
    QVERIFY(CellText::parseNumber("  -12.5\t", &v));
    QCOMPARE(v, -12.5);
    QVERIFY(CellText::parseNumber("+3", &v));
    QCOMPARE(v, 3.0);
    for (const char *bad : { "1,5", "55 30", "12m", "", "-" }) {
        v = 42.0;
        QVERIFY2(!CellText::parseNumber(bad, &v), bad);
        QCOMPARE(v, 42.0); // untouched on failure
    }

    QCOMPARE(CellText::splitRow("A,55.5;37.5"), (QStringList { "A", "55.5", "37.5", "" }));
    QCOMPARE(CellText::splitRow(""), (QStringList { "", "", "", "" }));
    QCOMPARE(CellText::splitRow("C,1,2,3,4,5").size(), 6);
    const QString row = CellText::joinRow(QStringLiteral("Пункт"), "55 45 5", "37 37 6", "");
    QCOMPARE(row, QStringLiteral("Пункт; 55 45 5; 37 37 6; "));
    QCOMPARE(CellText::splitRow(row),
        (QStringList { QStringLiteral("Пункт"), " 55 45 5", " 37 37 6", " " }));
}

void TestCellText::pointInDecimalCommaLocale()
{
    // The suite also runs under ru_RU.UTF-8; forcing it here as well makes a
    // locale-dependent reader fail in every run.
    const QByteArray saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8"))
        QSKIP("ru_RU.UTF-8 is not installed");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    QCOMPARE(CellText::parseAngle("55.5"), 55.5);
    double value = 0;
    QVERIFY(CellText::parseNumber("1234.5", &value));
    QCOMPARE(value, 1234.5);
    QCOMPARE(CellText::formatFixed(1234567.5, 3), QStringLiteral("1234567.500"));
    QCOMPARE(CellText::formatFixed(-0.25, 9), QStringLiteral("-0.250000000"));
    QCOMPARE(CellText::formatDms(55.5 + 1.25 / 3600), QStringLiteral("55 30 1.25000"));

    std::setlocale(LC_ALL, saved.constData());
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(TestCellText)
#include "tst_celltext.moc"
