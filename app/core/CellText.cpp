#include "CellText.h"

#include "NumberText.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace CellText {

namespace {

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

} // namespace

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

double writtenValue(double value, int decimals)
{
    QString text;
    double written = value;
    if (appendFixed(&text, value, decimals))
        parseNumber(text, &written);
    return written == 0.0 ? 0.0 : written;
}

} // namespace CellText
