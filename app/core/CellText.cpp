#include "CellText.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>

namespace CellText {

namespace {

const QChar kComma(QLatin1Char(','));
const QChar kSemicolon(QLatin1Char(';'));
const QChar kTab(QLatin1Char('\t'));

// The blanks that a scanf format's space and %lf skip in the C locale.
bool isScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool startsWithNoCase(const char *p, const char *end, const char *word)
{
    for (; *word; ++p, ++word) {
        if (p == end || (*p | 0x20) != *word)
            return false;
    }
    return true;
}

// Reads one number the way glibc's %lf does: blanks skipped, an optional
// sign, decimal digits with an optional point and exponent (or inf, infinity,
// nan), always with "." as the point. On success *pos moves past the number.
// Hexadecimal forms are not taken: no coordinate is written that way.
bool scanNumber(const QByteArray &text, int *pos, double *value)
{
    const char *const begin = text.constData();
    const char *const end = begin + text.size();
    const char *p = begin + *pos;
    while (p != end && isScanSpace(*p))
        ++p;

    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char *const numberStart = p;

    if (startsWithNoCase(p, end, "inf")) {
        p += startsWithNoCase(p, end, "infinity") ? 8 : 3;
        *value = negative ? -std::numeric_limits<double>::infinity()
                          : std::numeric_limits<double>::infinity();
        *pos = int(p - begin);
        return true;
    }
    if (startsWithNoCase(p, end, "nan")) {
        *value = std::numeric_limits<double>::quiet_NaN();
        *pos = int(p - begin + 3);
        return true;
    }

    // Decimal form: the end of the accepted prefix decides, not the converter.
    int intDigits = 0;
    int leadingZeros = 0;
    bool significant = false;
    while (p != end && isDigit(*p)) {
        if (*p != '0')
            significant = true;
        else if (!significant)
            ++leadingZeros;
        ++p;
        ++intDigits;
    }
    int fracDigits = 0;
    if (p != end && *p == '.') {
        const char *q = p + 1;
        while (q != end && isDigit(*q)) {
            ++q;
            ++fracDigits;
        }
        if (intDigits + fracDigits > 0)
            p = q;
    }
    if (intDigits + fracDigits == 0)
        return false;
    long exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        const char *q = p + 1;
        bool expNegative = false;
        if (q != end && (*q == '+' || *q == '-')) {
            expNegative = *q == '-';
            ++q;
        }
        while (q != end && isDigit(*q)) {
            if (exponent < 100000)
                exponent = exponent * 10 + (*q - '0');
            ++q;
        }
        if (expNegative)
            exponent = -exponent;
        p = q;
    }

    // The C reader consumes an exponent mark (and its sign) even when no
    // digit follows, and converts the number before it.
    const char *mantissaEnd = p;
    if (exponent == 0) {
        mantissaEnd = numberStart;
        while (mantissaEnd != p && *mantissaEnd != 'e' && *mantissaEnd != 'E')
            ++mantissaEnd;
    }
    double magnitude = 0.0;
    const std::from_chars_result r = std::from_chars(numberStart, mantissaEnd, magnitude);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: strtod gives infinity or zero.
        // Only the order of magnitude of the digits before the point matters.
        const bool huge = intDigits - leadingZeros + exponent > 0;
        magnitude = huge ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (r.ec != std::errc() || r.ptr != mantissaEnd) {
        return false;
    }
    *value = negative ? -magnitude : magnitude;
    *pos = int(p - begin);
    return true;
}

// Whole-text patterns. \d and \s are ASCII here (no Unicode properties), the
// same digits and blanks that the number reader takes, and the point is a
// real decimal point.
const QRegularExpression &decimalPattern()
{
    static const QRegularExpression re(
        QRegularExpression::anchoredPattern(QStringLiteral("[+-]?\\d+(\\.\\d*)?")));
    return re;
}

const QRegularExpression &latitudePattern()
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("[+-]?\\d{1,2}(\\s+\\d{1,2}(\\s+\\d{0,2}(\\.\\d*)?)?)?")));
    return re;
}

const QRegularExpression &longitudePattern()
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("[+-]?\\d{1,3}(\\s+\\d{1,2}(\\s+\\d{0,2}(\\.\\d*)?)?)?")));
    return re;
}

bool matches(const QRegularExpression &re, const QString &text)
{
    return re.match(text).hasMatch();
}

} // namespace

QString joinRow(const QString &name, const QString &c1, const QString &c2, const QString &c3)
{
    const QString &sep = separator();
    QString row;
    row.reserve(name.size() + c1.size() + c2.size() + c3.size() + 3 * sep.size());
    row += name;
    row += sep;
    row += c1;
    row += sep;
    row += c2;
    row += sep;
    row += c3;
    return row;
}

QStringList splitRow(const QString &rowText)
{
    QStringList parts;
    int start = 0;
    bool controls = false; // the current part holds a control character to blank
    const int n = rowText.size();
    const auto take = [&](int end) {
        QString part = rowText.mid(start, end - start);
        if (controls) {
            for (QChar &ch : part) {
                if (isControl(ch))
                    ch = QLatin1Char(' ');
            }
            controls = false;
        }
        parts.append(part);
    };
    for (int i = 0; i < n; ++i) {
        const QChar ch = rowText.at(i);
        if (ch == kComma || ch == kSemicolon || ch == kTab) {
            take(i);
            start = i + 1;
        } else if (isControl(ch)) {
            controls = true;
        }
    }
    take(n);
    while (parts.size() < 4)
        parts.append(QString());
    return parts;
}

int fieldCount(const QString &rowText)
{
    int count = 1;
    for (const QChar ch : rowText) {
        if (ch == kComma || ch == kSemicolon || ch == kTab)
            ++count;
    }
    return count;
}

QString singleLine(const QString &text)
{
    QString line = text;
    for (QChar &ch : line) {
        if (isControl(ch))
            ch = QLatin1Char(' ');
    }
    return line.trimmed();
}

bool isBlank(const QString &text)
{
    for (const QChar ch : text) {
        if (!ch.isSpace())
            return false;
    }
    return true;
}

bool coordinatesBlank(const QString &c1, const QString &c2, const QString &c3)
{
    return isBlank(c1) && isBlank(c2) && isBlank(c3);
}

bool isValidCoordinates(const QString &c1, const QString &c2, const QString &c3, bool dmsUnits)
{
    const QString t1 = c1.trimmed();
    const QString t2 = c2.trimmed();
    const QString t3 = c3.trimmed();
    if (t1.isEmpty() || t2.isEmpty() || t3.isEmpty())
        return false;

    const QRegularExpression &decimal = decimalPattern();
    if (dmsUnits) {
        return (matches(latitudePattern(), t1) || matches(decimal, t1))
            && (matches(longitudePattern(), t2) || matches(decimal, t2)) && matches(decimal, t3);
    }
    return matches(decimal, t1) && matches(decimal, t2) && matches(decimal, t3);
}

double parseAngle(const QString &text)
{
    bool partsInRange = true;
    return parseAngle(text, &partsInRange);
}

double parseAngle(const QString &text, bool *partsInRange)
{
    QString rest = text.trimmed();
    double sign = 1.0;
    if (rest.startsWith(QLatin1Char('-'))) {
        sign = -1.0;
        rest = rest.mid(1).trimmed();
    }

    // "%lf %lf %lf", then "%lf %lf", then "%lf": each reading stops where the
    // previous one did, so one pass reading up to three numbers decides.
    const QByteArray bytes = rest.toUtf8();
    double parts[3] = {0.0, 0.0, 0.0};
    int count = 0;
    int pos = 0;
    while (count < 3 && scanNumber(bytes, &pos, &parts[count]))
        ++count;

    const double d = count >= 1 ? parts[0] : 0.0;
    const double m = count >= 2 ? parts[1] : 0.0;
    const double s = count == 3 ? parts[2] : 0.0;
    *partsInRange = m >= 0.0 && m < 60.0 && s >= 0.0 && s < 60.0;
    return (d + m / 60.0 + s / 3600.0) * sign;
}

QString formatDms(double degrees)
{
    const bool negative = degrees < 0;
    const double value = negative ? -degrees : degrees;

    double d = std::floor(value);
    double m = std::floor((value - d) * 60.0);
    double s = ((value - d) * 60.0 - m) * 60.0;
    s = std::floor(s * 100000.0 + 0.5) / 100000.0;

    if (s >= 60.0) {
        m += 1.0;
        s -= 60.0;
    }
    if (m > 59.0) {
        m -= 60.0;
        d += 1.0;
    }
    if (d > 359.0)
        d -= 360.0;

    QString result;
    if (negative)
        result += QLatin1Char('-');
    result += QString::number(d, 'f', 0);
    result += QLatin1Char(' ');
    result += QString::number(m, 'f', 0);
    result += QLatin1Char(' ');
    result += QString::number(s, 'f', 5);
    return result;
}

bool parseNumber(const QString &text, double *value)
{
    if (!value)
        return false;
    const QByteArray bytes = text.trimmed().toUtf8();
    int pos = 0;
    double v = 0.0;
    if (!scanNumber(bytes, &pos, &v) || pos != bytes.size())
        return false;
    *value = v;
    return true;
}

QString formatFixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace CellText
