// Text forms of the point table, always with "." (ctest runs this under ru_RU.UTF-8 too).
#include "AngleText.h"
#include "CellText.h"
#include "PointRow.h"
#include "TextLines.h"

#include <QBuffer>

#include <QRandomGenerator>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale.h>

class TestCellText : public QObject
{
    Q_OBJECT

private slots:
    void angles();
    void sameAsQt();
    void numbersAndRows();
    void linesAsReadable();
    void utf8AsQtReadsIt();
    void linesOfADevice();
};

namespace {

// Qt's fixed form without the sign of a value that rounds to zero.
QString signless(const QString &text)
{
    static const QRegularExpression zero("^-[0.]+$");
    return text.contains(zero) ? text.mid(1) : text;
}

QStringList cells(const PointRow &row)
{
    return {row.name, row.coordinates[0], row.coordinates[1], row.coordinates[2]};
}

// The readable form of PointRow::fromLine, the oracle of its one-pass reader.
QStringList readableFields(const QString &line, int *count)
{
    static const QRegularExpression any("[,;\t]"),
        controls("[\\x00-\\x1f\\x7f-\\x9f\\x{2028}\\x{2029}]");
    static const QRegularExpression comma("(?<=[0-9]),(?=[0-9])");
    static const QRegularExpression ends(
        "^[\\s\\x{feff}]+|[\\s\\x{feff}]+$", QRegularExpression::UseUnicodePropertiesOption);
    const bool semicolons = line.count(QLatin1Char(';')) == 3;
    const bool single = semicolons || line.count(QLatin1Char('\t')) == 3;
    QStringList fields
        = single ? line.split(QLatin1Char(semicolons ? ';' : '\t')) : line.split(any);
    *count = fields.size();
    fields = (fields + QStringList {"", "", ""}).mid(0, 4);
    for (int i = 0; i < 4; ++i) {
        fields[i].replace(controls, " ").replace(i == 0 ? ";" : "\x01", " ");
        if (i > 0 && single)
            fields[i].replace(comma, ".");
        fields[i].remove(ends);
    }
    return fields;
}

// Degrees as glibc's "%lf %lf %lf" reads them in the "C" locale, after an optional "-",
// and whether minutes and seconds lie in [0, 60).
std::pair<double, bool> scanfDegrees(const QByteArray &text)
{
    QByteArray t = text.trimmed();
    const double sign = t.startsWith('-') ? -1.0 : 1.0;
    if (sign < 0)
        t = t.mid(1).trimmed();
    double p[3] = {0, 0, 0};
    const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr), old = uselocale(c);
    std::sscanf(t.constData(), "%lf %lf %lf", &p[0], &p[1], &p[2]);
    uselocale(old);
    freelocale(c);
    return {(p[0] + p[1] / 60.0 + p[2] / 3600.0) * sign,
        p[1] >= 0 && p[1] < 60 && p[2] >= 0 && p[2] < 60};
}

} // namespace

// Minutes and seconds outside [0, 60) read but flagged; written to 0.00001", 360 as 0.
void TestCellText::angles()
{
    // clang-format off
    const struct { const char *text; double degrees; bool inRange; } reads[] = {
        {"55 45 5", 55 + 45 / 60.0 + 5 / 3600.0, true}, {"10 30.5", 10 + 30.5 / 60, true},
        {"-0 30 0", -0.5, true}, {"  -  10 30 ", -10.5, true}, {"55 30 x", 55.5, true},
        {"1,5", 1.0, true}, {"abc", 0.0, true}, {"55 60 0", 56.0, false}, {"55 -30", 54.5, false},
        {"1 59 59.99999", 1 + 59 / 60.0 + 59.99999 / 3600, true}, {"55 0 60", 55 + 1 / 60.0, false},
        {"55 0 -36", 54.99, false},
    };
    const struct { double degrees; const char *text; } writes[] = {
        {0.0, "0 0 0.00000"}, {-0.5, "-0 30 0.00000"}, {1 + 0.123456 / 3600, "1 0 0.12346"},
        {-(37 + 37 / 60.0 + 6.5 / 3600), "-37 37 6.50000"}, {11 - 3e-6 / 3600, "11 0 0.00000"},
        {-(11 - 3e-6 / 3600), "-11 0 0.00000"}, {10.5 + 59.999997 / 3600, "10 31 0.00000"},
        {360.0 - 1e-12, "0 0 0.00000"}, {359.5, "359 30 0.00000"}, {-1e-12, "0 0 0.00000"},
        {99 + 59 / 60.0 + 59.999995 / 3600, "100 0 0.00000"}, {5 + 0.000005 / 3600, "5 0 0.00001"},
        {-(9 + 59 / 60.0 + 9.000004 / 3600), "-9 59 9.00000"}, {700.25, "340 15 0.00000"},
        {1e6 + 1 / 60.0 + 10.5 / 3600, "999640 1 10.50000"},
    };
    // clang-format on
    for (const auto &c : reads) {
        bool inRange = !c.inRange;
        const double got = AngleText::parse(c.text, &inRange);
        QVERIFY2(std::fabs(got - c.degrees) < 1e-12 && inRange == c.inRange,
            qPrintable(QStringLiteral("%1: %2 %3").arg(c.text).arg(got, 0, 'g', 17).arg(inRange)));
        QCOMPARE(AngleText::parse(c.text), got);
    }
    // What no cell lets through, read all the same as the C library reads it.
    const QByteArray zeros(400, '0');
    for (const QByteArray &text : QList<QByteArray> {"1e1 30", "5 1e1", "5 30 2E-1", "inf 70",
             "-Infinity 5 61", "nan -3", "NaN 3", "1e400", "1e-400 30", "5e 30", "5e+ 30",
             "0.5e1 2 3", ".5 30", "1.x 30", "12.5e-", "0001e0003", ".e1", "1e99999",
             "00.000e-99999 7", "0." + zeros + "1", zeros + "1e-330", "1" + zeros + "e-80"}) {
        bool inRange = false;
        const double got = AngleText::parse(QString(text), &inRange);
        const auto [want, wantInRange] = scanfDegrees(text);
        QVERIFY2((got == want || (std::isnan(got) && std::isnan(want))) && inRange == wantInRange,
            qPrintable(QStringLiteral("%1: %2 %3, want %4")
                           .arg(QString(text.left(20)))
                           .arg(got)
                           .arg(inRange)
                           .arg(want)));
    }
    for (const auto &c : writes)
        QCOMPARE(AngleText::formatDms(c.degrees), QString(c.text));
    for (double x = -179.9; x < 180.0; x += 7.300123456789) {
        const QString text = AngleText::formatDms(x);
        QVERIFY2(std::fabs(AngleText::parse(text) - x) <= 0.0000051 / 3600, qPrintable(text));
    }
}

// Hand-made readers and writers against Qt's own: coordinate patterns and rows on random texts
// of the characters that matter (digits, blanks doubled); fixed notation on values, ties, zeros.
void TestCellText::sameAsQt()
{
    const QString decimal = QStringLiteral("[+-]?\\d+(\\.\\d*)?");
    const QString groups = QStringLiteral("(\\s+\\d{1,2}(\\s+\\d{0,2}(\\.\\d*)?)?)?");
    const QRegularExpression decimalOnly(QRegularExpression::anchoredPattern(decimal));
    const QRegularExpression latitude(QRegularExpression::anchoredPattern(
        QStringLiteral("(%1)|([+-]?\\d{1,2}%2)").arg(decimal, groups)));
    const QRegularExpression longitude(QRegularExpression::anchoredPattern(
        QStringLiteral("(%1)|([+-]?\\d{1,3}%2)").arg(decimal, groups)));
    const QString chars = QStringLiteral("01234567890123456789  .+-\t\v\u00a0\u0665ex,;\r\u2028");
    const auto ok = [](const auto &re, const QString &x) { return re.match(x).hasMatch(); };
    QRandomGenerator random(14);
    for (int n = 0; n < 100000; ++n) {
        QString t[3];
        for (QString &text : t) {
            const int length = int(random.bounded(9)) + 1;
            for (int i = 0; i < length; ++i)
                text += chars.at(int(random.bounded(chars.size())));
            text = text.trimmed();
        }
        const bool all = !t[0].isEmpty() && !t[1].isEmpty() && ok(decimalOnly, t[2]);
        const bool dms = all && ok(latitude, t[0]) && ok(longitude, t[1]);
        const bool plain = all && ok(decimalOnly, t[0]) && ok(decimalOnly, t[1]);
        if (CellText::isValidCoordinates(t[0], t[1], t[2], true) != dms
            || CellText::isValidCoordinates(t[0], t[1], t[2], false) != plain)
            QFAIL(qPrintable(t[0] + QLatin1Char('|') + t[1] + QLatin1Char('|') + t[2]));
    }
    for (int n = 0; n < 100000; ++n) {
        const int decimals = n % 10;
        const double scale = std::pow(10.0, double(random.bounded(16)) - 4);
        const double tie = std::ldexp(2 * double(random.bounded(1 << 20)) + 1, -(decimals + 1));
        for (const double v : {(random.generateDouble() - 0.5) * scale, tie, -tie, -0.0, -0.0001,
                 std::nan(""), -2e15})
            if (CellText::formatFixed(v, decimals) != signless(QString::number(v, 'f', decimals)))
                QCOMPARE(CellText::formatFixed(v, decimals),
                    signless(QString::number(v, 'f', decimals)));
    }
    // Each count of digits at its edge: 9…9 and 10…0 units of the last decimal.
    for (int digits = 1; digits <= 15; ++digits)
        for (int decimals = 0; decimals <= 6; ++decimals)
            for (const double units : {std::pow(10.0, digits) - 1, std::pow(10.0, digits)}) {
                const double v = units / std::pow(10.0, decimals);
                QCOMPARE(CellText::formatFixed(v, decimals), QString::number(v, 'f', decimals));
            }
    // Ties past 2^64 units of the last decimal.
    for (const auto &[v, decimals] : {std::pair {2e13 + 0x1p-7, 6}, {-(2e13 + 0x3p-7), 6},
             {4e9 + 0x1p-11, 10}, {-(4e9 + 0x7p-11), 10}, {9e14 + 0x1p-3, 17}})
        QCOMPARE(CellText::formatFixed(v, decimals), QString::number(v, 'f', decimals));
}

void TestCellText::numbersAndRows()
{
    double v = 42.0;
    QVERIFY(CellText::parseNumber("  -12.5\t", &v) && v == -12.5);
    QVERIFY(CellText::parseNumber("+1e308", &v) && v == 1e308);
    for (const char *bad : {"1,5", "55 30", "12m", "", "-", "1e309", "inf", "nan", "0x10", "+-1"})
        QVERIFY2(!CellText::parseNumber(bad, &v) && v == 1e308, bad); // untouched on failure
    // A plain coordinate read in one pass as checked and read apart, the same
    // double, about the 15 digits the short way takes.
    QRandomGenerator random(23);
    // The edges of the short way (15 digits, a point with digits after it), then random texts.
    const char *const edges[] = {"1234567890.12345", "9999999999.999999", "123456789012345",
        "9007199254740993", "0000000000000001.5", "1.0000000000000001", "5.", ".5", "-.5", "1..2",
        "+5", "-0", "1/", "1:", "\xb1"};
    for (int n = 0; n < 100000 + int(std::size(edges)); ++n) {
        const char *const blanks[] = {"", " ", "\t "}, *const signs[] = {"", "+", "-"};
        std::string text = std::string(blanks[random.bounded(3)]) + signs[random.bounded(3)];
        for (int i = int(random.bounded(26)); i >= 0; --i)
            text += "0123456789012345678901234567890123456789.  e"[random.bounded(44)];
        text += blanks[random.bounded(3)];
        if (n < int(std::size(edges)))
            text = edges[n];
        double one = 7.0, apart = 7.0;
        const bool read = CellText::readDecimal(text, &one);
        QCOMPARE(read,
            CellText::isValidCoordinates(text, "0", "0", false)
                && CellText::parseNumber(text, &apart));
        QVERIFY2(std::memcmp(&one, &apart, sizeof one) == 0, text.c_str());
    }
    // The one decimal comma rule, that of files, paste, cells and editors.
    for (const auto &[text, read] :
        {std::pair {"55,5", "55.5"}, {"37 30,25", "37 30.25"}, {"1,2,3", "1.2.3"}, {",5", ",5"},
            {"5,", "5,"}, {"5, 5", "5, 5"}, {"a,5", "a,5"}, {"٣,5", "٣,5"}, {",", ","}})
        QCOMPARE(CellText::decimalPoints(QString::fromUtf8(text)), QString::fromUtf8(read));
    // clang-format off
    const struct { const char *line; QStringList cells; int fields; } lines[] = {
        // A spreadsheet's row: the name keeps its comma, the numbers their place.
        {"A,B\t55 45 0\t37 37 0\t150", {"A,B", "55 45 0", "37 37 0", "150"}, 4},
        {"П1;55,5;37,5;100,25", {"П1", "55.5", "37.5", "100.25"}, 4},
        {"Т2\t55,5\t37 30,25\t", {"Т2", "55.5", "37 30.25", ""}, 4},
        {"N,1; 55, 5; ,5; 5,", {"N,1", "55, 5", ",5", "5,"}, 4}, // no digits around: no decimal
        // A ";" in a tab-separated row stays in a coordinate, which fails then, not in the name.
        {"P;1\t55;30\t37\t100", {"P 1", "55;30", "37", "100"}, 4},
        // Any other line splits on all three; past four fields, the rest is dropped.
        {"E1;55,5;37,25", {"E1", "55", "5", "37"}, 5},
        {"a\rb\u0001c\u2028\u0085, 1", {"a b c", "1", "", ""}, 2},
    };
    // clang-format on
    for (const auto &c : lines) {
        int fields = 0;
        const PointRow row = PointRow::fromLine(QString::fromUtf8(c.line), &fields);
        QCOMPARE(cells(row), c.cells);
        QCOMPARE(fields, c.fields);
        QCOMPARE(PointRow::fieldCount(QString::fromUtf8(c.line)), c.fields);
    }
    // A pasted text is one line: control characters one blank each, ends trimmed.
    QCOMPARE(CellText::singleLine(QString::fromUtf8("\r\nP 1\tx\u2029y\x7f\n")),
        QStringLiteral("P 1 x y"));
}

// Random lines read as the readable form reads them; written lines read and written back.
void TestCellText::linesAsReadable()
{
    const QString chars = QStringLiteral("0123456789 ,;\t,;\t.-Пa\u0665\r\u2028\x01\x7f\ufeff");
    QRandomGenerator random(19);
    LineFields bytes; // the converter's split of the same line's UTF-8
    for (int n = 0; n < 30000; ++n) {
        QString line;
        for (int i = int(random.bounded(16)); i > 0; --i)
            line += chars.at(int(random.bounded(chars.size())));
        int fields = 0, expectedFields = 0;
        const PointRow row = PointRow::fromLine(line, &fields);
        const QStringList expected = readableFields(line, &expectedFields);
        if (cells(row) != expected || fields != expectedFields)
            QCOMPARE(cells(row), expected);
        const QByteArray utf8 = line.toUtf8();
        bytes.split({utf8.constData(), size_t(utf8.size())});
        for (int c = 0; c < PointRow::columns; ++c)
            QCOMPARE(
                QString::fromUtf8(bytes.cells[c].data(), int(bytes.cells[c].size())), row.cell(c));
        QCOMPARE(bytes.count, fields);
        QByteArray written;
        row.appendLine(&written);
        const PointRow back = PointRow::fromLine(QString::fromUtf8(written.chopped(1)));
        QByteArray again;
        back.appendLine(&again);
        const bool semicolonInCoordinate = cells(row).mid(1).join(QString()).contains(';');
        if (!semicolonInCoordinate && (cells(back) != cells(row) || again != written))
            QFAIL(qPrintable(QStringLiteral("«%1» written «%2» again «%3»")
                                 .arg(line, QString::fromUtf8(written), QString::fromUtf8(again))));
    }
}

// Each end of each sequence length, one byte inside and one outside, read as Qt reads them; the
// last character starts at the first byte, or at the last of a broken sequence.
void TestCellText::utf8AsQtReadsIt()
{
    for (const char *bytes : {"\x7f", "\xc1\xbf", "\xc2\x80", "\xdf\xbf", "\xe0\x9f\xbf",
             "\xe0\xa0\x80", "\xed\x9f\xbf", "\xed\xa0\x80", "\xef\xbf\xbf", "\xf0\x8f\xbf\xbf",
             "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80"}) {
        const size_t size = std::strlen(bytes);
        int length = 0;
        const char32_t code = CellText::utf8At(bytes, bytes + size, &length);
        const QVector<uint> qt = QString::fromUtf8(bytes, int(size)).toUcs4();
        const bool valid = qt.size() == 1 && qt.first() != 0xfffd;
        QVERIFY2(valid ? code == qt.first() && length == int(size) : code == 0xfffd && length == 1,
            bytes);
        QCOMPARE(int(CellText::utf8Last(bytes, bytes + size) - bytes), valid ? 0 : int(size) - 1);
    }
}

// Random lines over many reads: each end, and each line's UTF-8 or Windows-1251 as it alone says.
void TestCellText::linesOfADevice()
{
    const QList<QByteArray> pieces {"P1, 6190000.5, 7500000.25, 150", "\n", "\r", "\r\n", "\t",
        "\xcf\xf3\xed\xea\xf2", "\xd0\x9f\xd1\x83"};
    QRandomGenerator random(31);
    QByteArray bytes;
    // Past several of the reader's reads, stretches of ASCII alone between the others.
    while (bytes.size() < 400000)
        bytes += pieces.at(int(random.bounded(bytes.size() / 70000 % 2 ? 5 : 7)));
    QStringList expected;
    QByteArray line;
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r') {
            line += bytes[i];
            continue;
        }
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        expected << (TextLines::isValidUtf8(line) ? QString::fromUtf8(line)
                                                  : TextLines::fromWindows1251(line));
        line.clear();
    }
    if (!line.isEmpty())
        expected << QString::fromUtf8(line);
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    TextLines::LineReader reader(&device);
    QStringList read;
    for (QString text; reader.readLine(&text);)
        read << text;
    QCOMPARE(reader.status(), TextLines::Status::Ok);
    QCOMPARE(read.size(), expected.size());
    for (int i = 0; i < read.size(); ++i)
        QCOMPARE(read.at(i), expected.at(i));
}

QTEST_GUILESS_MAIN(TestCellText)
#include "tst_celltext.moc"
