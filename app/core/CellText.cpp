#include "CellText.h"

#include "NumberText.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace CellText {

namespace {

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

// The whole-text forms of coordinates, read by hand: a regular expression per
// cell cost more than the rest of a row's conversion. Digits and blanks are
// ASCII ones, the same that the number reader takes, and the point is a real
// decimal point.
bool isPatternDigit(QChar ch)
{
    return ch.unicode() >= '0' && ch.unicode() <= '9';
}

bool isPatternSpace(QChar ch)
{
    const ushort u = ch.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

// Moves *i past the digits there; returns how many.
int skipDigits(const QString &text, int *i)
{
    const int start = *i;
    while (*i < text.size() && isPatternDigit(text.at(*i)))
        ++*i;
    return *i - start;
}

int skipSpaces(const QString &text, int *i)
{
    const int start = *i;
    while (*i < text.size() && isPatternSpace(text.at(*i)))
        ++*i;
    return *i - start;
}

void skipSign(const QString &text, int *i)
{
    if (*i < text.size() && (text.at(*i) == QLatin1Char('+') || text.at(*i) == QLatin1Char('-')))
        ++*i;
}

// An optional "." and digits after it.
void skipFraction(const QString &text, int *i)
{
    if (*i < text.size() && text.at(*i) == QLatin1Char('.')) {
        ++*i;
        skipDigits(text, i);
    }
}

// [+-]?d+(.d*)?
bool isDecimal(const QString &text)
{
    int i = 0;
    skipSign(text, &i);
    if (skipDigits(text, &i) == 0)
        return false;
    skipFraction(text, &i);
    return i == text.size();
}

// [+-]?d{1,maxDegreeDigits}(s+d{1,2}(s+d{0,2}(.d*)?)?)?
bool isAngle(const QString &text, int maxDegreeDigits)
{
    int i = 0;
    skipSign(text, &i);
    const int degrees = skipDigits(text, &i);
    if (degrees < 1 || degrees > maxDegreeDigits)
        return false;
    if (i == text.size())
        return true;
    if (skipSpaces(text, &i) == 0)
        return false;
    const int minutes = skipDigits(text, &i);
    if (minutes < 1 || minutes > 2)
        return false;
    if (i == text.size())
        return true;
    if (skipSpaces(text, &i) == 0 || skipDigits(text, &i) > 2)
        return false;
    skipFraction(text, &i);
    return i == text.size();
}

// Fixed notation as Qt writes it, through std::to_chars: zero has no sign,
// and a tie goes away from zero where to_chars would round it to even. A
// value is a tie only when it is an odd multiple of 2^-(decimals + 1); it is
// then written exactly with one more decimal, a 5, and rounded up by hand.
bool appendFixed(QString *out, double value, int decimals)
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e15 || decimals < 0 || decimals > 17)
        return false;
    if (value == 0.0)
        value = 0.0;
    const double twice = std::ldexp(value, decimals + 1);
    const double once = std::ldexp(value, decimals);
    const bool tie = std::trunc(twice) == twice && std::trunc(once) != once;
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer + 1, buffer + sizeof buffer, value,
        std::chars_format::fixed, decimals + (tie ? 1 : 0));
    if (r.ec != std::errc())
        return false;
    char *begin = buffer + 1;
    char *end = r.ptr;
    if (tie) {
        end -= decimals == 0 ? 2 : 1; // the 5, and the point before it
        char *p = end;
        while (p != begin && (p[-1] == '9' || p[-1] == '.')) {
            if (p[-1] == '9')
                p[-1] = '0';
            --p;
        }
        if (p != begin && p[-1] != '-') {
            ++p[-1];
        } else {
            // All nines: one more digit in front, after the sign.
            --begin;
            if (p != begin + 1) {
                begin[0] = '-';
                begin[1] = '1';
            } else {
                begin[0] = '1';
            }
        }
    }
    out->append(QLatin1String(begin, int(end - begin)));
    return true;
}

} // namespace

QString singleLine(const QString &text)
{
    QString line = text;
    for (QChar &ch : line) {
        if (isControl(ch))
            ch = QLatin1Char(' ');
    }
    return line.trimmed();
}

void makeDecimalPoints(QString *text)
{
    const int comma = text->indexOf(QLatin1Char(','));
    if (comma < 0)
        return;
    QChar *const chars = text->data();
    const int n = text->size();
    for (int i = std::max(comma, 1); i + 1 < n; ++i) {
        if (chars[i] == QLatin1Char(',') && isPatternDigit(chars[i - 1])
            && isPatternDigit(chars[i + 1]))
            chars[i] = QLatin1Char('.');
    }
}

QString decimalPoints(const QString &text)
{
    QString result = text;
    makeDecimalPoints(&result);
    return result;
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

    if (dmsUnits)
        return (isAngle(t1, 2) || isDecimal(t1)) && (isAngle(t2, 3) || isDecimal(t2))
            && isDecimal(t3);
    return isDecimal(t1) && isDecimal(t2) && isDecimal(t3);
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
    const double value = std::fabs(degrees);

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
    const bool negative = degrees < 0 && (d != 0.0 || m != 0.0 || s != 0.0); // no "-0 0 0.00000"

    QString result;
    result.reserve(24);
    if (negative)
        result += QLatin1Char('-');
    // All three parts go the fast way or, for a value it does not take, all
    // three the slow one.
    const int start = result.size();
    if (appendFixed(&result, d, 0)) {
        result += QLatin1Char(' ');
        appendFixed(&result, m, 0);
        result += QLatin1Char(' ');
        if (appendFixed(&result, s, 5))
            return result;
    }
    result.truncate(start);
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
    // Only ASCII makes a number: any other character stays one the reader refuses.
    QVarLengthArray<char, 64> bytes(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        bytes[i] = u < 0x80 ? char(u) : '\x7f';
    }
    return NumberText::read(bytes.constData(), bytes.constData() + bytes.size(), value);
}

QString formatFixed(double value, int decimals)
{
    QString text;
    if (!appendFixed(&text, value, decimals))
        text = QString::number(value, 'f', decimals);
    // A value that rounds to zero has no sign: "-0.000" would read as a point of its own.
    if (text.startsWith(QLatin1Char('-'))
        && std::all_of(text.cbegin() + 1, text.cend(),
            [](QChar ch) { return ch == QLatin1Char('0') || ch == QLatin1Char('.'); }))
        text.remove(0, 1);
    return text;
}

} // namespace CellText
