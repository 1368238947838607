#include "CellText.h"

#include "NumberText.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace CellText {

namespace {

// The whole-text forms of coordinates, read by hand: a regular expression per
// cell cost more than the rest of a row's conversion. Digits and blanks are
// ASCII ones, the same that the number reader takes, and the point is a real
// decimal point; any other byte, one of a UTF-8 sequence too, ends a form.
char32_t codeOf(QChar ch)
{
    return ch.unicode();
}

char32_t codeOf(char c)
{
    return static_cast<unsigned char>(c);
}

bool isPatternDigit(char32_t code)
{
    return code >= '0' && code <= '9';
}

bool isPatternSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Moves *i past the digits there; returns how many.
int skipDigits(std::string_view text, size_t *i)
{
    const size_t start = *i;
    while (*i < text.size() && isPatternDigit(codeOf(text[*i])))
        ++*i;
    return int(*i - start);
}

int skipSpaces(std::string_view text, size_t *i)
{
    const size_t start = *i;
    while (*i < text.size() && isPatternSpace(text[*i]))
        ++*i;
    return int(*i - start);
}

void skipSign(std::string_view text, size_t *i)
{
    if (*i < text.size() && (text[*i] == '+' || text[*i] == '-'))
        ++*i;
}

// An optional "." and digits after it.
void skipFraction(std::string_view text, size_t *i)
{
    if (*i < text.size() && text[*i] == '.') {
        ++*i;
        skipDigits(text, i);
    }
}

// What a plain number is made of, for its value: the digits as one whole
// number (while there are at most 19), how many, and how many after the
// point (-1: no point).
struct Digits
{
    std::uint64_t value = 0;
    int count = 0;
    int decimals = -1;
};

// [+-]?d+(.d*)?, and its digits.
bool scanDecimal(std::string_view text, Digits *digits)
{
    const char *p = text.data();
    const char *const end = p + text.size();
    if (p != end && (*p == '+' || *p == '-'))
        ++p;
    std::uint64_t value = 0; // in a register, not behind the pointer
    const auto take = [&value, &p, end] {
        const char *const start = p;
        for (; p != end && isPatternDigit(codeOf(*p)); ++p)
            value = value * 10 + unsigned(*p - '0');
        return int(p - start);
    };
    int count = take();
    if (count == 0)
        return false;
    int decimals = -1;
    if (p != end && *p == '.') {
        ++p;
        decimals = take();
        count += decimals;
    }
    *digits = {value, count, decimals};
    return p == end;
}

bool isDecimal(std::string_view text)
{
    Digits digits;
    return scanDecimal(text, &digits);
}

// [+-]?d{1,maxDegreeDigits}(s+d{1,2}(s+d{0,2}(.d*)?)?)?
bool isAngle(std::string_view text, int maxDegreeDigits)
{
    size_t i = 0;
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

// The decimal comma's rule, on UTF-16 and on UTF-8 alike: the comma and the
// digits are ASCII, and no byte of a longer UTF-8 sequence is one of them.
template <typename Char> void decimalPointsIn(Char *chars, int n, int comma)
{
    for (int i = std::max(comma, 1); i + 1 < n; ++i) {
        if (codeOf(chars[i]) == ',' && isPatternDigit(codeOf(chars[i - 1]))
            && isPatternDigit(codeOf(chars[i + 1])))
            chars[i] = Char('.');
    }
}

// A value that rounds to zero has no sign: "-0.000" would read as a point of
// its own. *begin moves past the sign of such a text.
void unsignZero(const char **begin, const char *end)
{
    if (*begin != end && **begin == '-'
        && std::all_of(*begin + 1, end, [](char c) { return c == '0' || c == '.'; }))
        ++*begin;
}

} // namespace

// Fixed notation as Qt writes it, through std::to_chars: zero has no sign,
// and a tie goes away from zero where to_chars would round it to even. A
// value is a tie only when it is an odd multiple of 2^-(decimals + 1); it is
// then written exactly with one more decimal, a 5, and rounded up by hand.
namespace {

// |value| × 10^decimals rounded to a whole number, a tie away from zero,
// computed exactly: the value is m × 2^e, and m × 5^decimals fits in 128 bits.
// False when the result does not fit in 64.
bool scaledExactly(double value, int decimals, std::uint64_t *magnitude)
{
    static const std::uint64_t powersOf5[18]
        = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125, 9765625, 48828125, 244140625,
            1220703125, 6103515625, 30517578125, 152587890625, 762939453125};
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = int(bits >> 52 & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t(1) << 52) - 1);
    // |value| = m × 2^e; a subnormal has no hidden bit.
    const std::uint64_t m = biased == 0 ? fraction : fraction | std::uint64_t(1) << 52;
    const int e = (biased == 0 ? 1 : biased) - 1075;
    const int shift = e + decimals;
    // Up to 4 decimals m × 5^decimals is below 2^63: the usual case in one word.
    if (decimals <= 4 && shift < 0) {
        const std::uint64_t n = m * powersOf5[decimals];
        if (-shift >= 64) {
            *magnitude = 0; // below half a unit of the last decimal
        } else {
            const std::uint64_t half = std::uint64_t(1) << (-shift - 1);
            *magnitude = (n >> -shift) + ((n & ((half << 1) - 1)) >= half ? 1 : 0);
        }
        return true;
    }
    unsigned __int128 n = static_cast<unsigned __int128>(m) * powersOf5[decimals];
    if (shift >= 0) {
        if (shift >= 64 || (shift > 0 && (n >> (64 - shift)) != 0))
            return false;
        n <<= shift;
    } else if (-shift >= 127) {
        n = 0; // below half a unit of the last decimal
    } else {
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (-shift - 1);
        const unsigned __int128 rest = n & ((half << 1) - 1);
        n >>= -shift;
        if (rest >= half)
            ++n;
    }
    if ((n >> 64) != 0)
        return false;
    *magnitude = static_cast<std::uint64_t>(n);
    return true;
}

} // namespace

namespace {

// The one writer of fixed notation, at `out` with room for writtenRoom: the
// end, or null for a value past 1e15, not finite, or decimals outside 0 to 17.
// `unsign`: no sign for a value that rounds to zero.
char *fixedText(char *out, double value, int decimals, bool unsign)
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e15 || decimals < 0 || decimals > 17)
        return nullptr;
    if (value == 0.0)
        value = 0.0;
    // The usual case, by whole numbers: the same digits as the general way
    // below, at a fraction of its time.
    std::uint64_t magnitude = 0;
    if (scaledExactly(value, decimals, &magnitude)) {
        if (std::signbit(value) && !(unsign && magnitude == 0))
            *out++ = '-';
        return writeDigits(out, magnitude, decimals);
    }
    const double twice = std::ldexp(value, decimals + 1);
    const double once = std::ldexp(value, decimals);
    const bool tie = std::trunc(twice) == twice && std::trunc(once) != once;
    const std::to_chars_result r = std::to_chars(
        out, out + writtenRoom, value, std::chars_format::fixed, decimals + (tie ? 1 : 0));
    if (r.ec != std::errc())
        return nullptr;
    char *end = r.ptr;
    if (tie) {
        // Only 5 or more decimals come here (below 1e15 fewer fit the whole-number way),
        // and an odd multiple of 2^-(decimals + 1) ends in 25 or 75: the digit before
        // the 5 goes up from 2 or 7, no carry.
        --end;
        ++end[-1];
    }
    if (unsign) {
        const char *first = out;
        unsignZero(&first, end);
        if (first != out) {
            std::memmove(out, first, size_t(end - first));
            end -= first - out;
        }
    }
    return end;
}

} // namespace

bool appendFixed(QString *out, double value, int decimals)
{
    char room[writtenRoom];
    const char *const end = fixedText(room, value, decimals, false);
    if (end)
        out->append(QLatin1String(room, int(end - room)));
    return end;
}

bool appendFixed(QByteArray *out, double value, int decimals)
{
    char room[writtenRoom];
    const char *const end = fixedText(room, value, decimals, false);
    if (end)
        out->append(room, int(end - room));
    return end;
}

char *writeFixedDigits(char *out, double value, int decimals)
{
    return fixedText(out, value, decimals, false);
}

char32_t utf8Sequence(const char *p, const char *end, int *length)
{
    const auto byte = [](const char *q) { return static_cast<unsigned char>(*q); };
    const unsigned c = byte(p);
    *length = 1;
    int more;
    char32_t code;
    char32_t least;
    if (c >= 0xc2 && c <= 0xdf) {
        more = 1;
        code = c & 0x1f;
        least = 0x80;
    } else if (c >= 0xe0 && c <= 0xef) {
        more = 2;
        code = c & 0x0f;
        least = 0x800;
    } else if (c >= 0xf0 && c <= 0xf4) {
        more = 3;
        code = c & 0x07;
        least = 0x10000;
    } else {
        return 0xfffd;
    }
    if (end - p <= more)
        return 0xfffd;
    for (int i = 1; i <= more; ++i) {
        if ((byte(p + i) & 0xc0) != 0x80)
            return 0xfffd;
        code = code << 6 | (byte(p + i) & 0x3f);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code < 0xe000))
        return 0xfffd;
    *length = more + 1;
    return code;
}

const char *utf8Last(const char *begin, const char *end)
{
    const char *p = end - 1;
    if (static_cast<unsigned char>(*p) < 0x80)
        return p;
    while (p != begin && end - p < 4 && (static_cast<unsigned char>(*p) & 0xc0) == 0x80)
        --p;
    int length = 0;
    utf8At(p, end, &length);
    return p + length == end ? p : end - 1;
}

Utf8::Utf8(const QString &text)
    : bytes(text.size())
{
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        if (u >= 0x80) {
            const QByteArray utf8 = text.toUtf8();
            bytes.clear();
            bytes.append(utf8.constData(), utf8.size());
            return;
        }
        bytes[i] = char(u);
    }
}

std::string_view trimmedEnds(std::string_view text)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    int length = 0;
    while (begin != end && QChar::isSpace(uint(utf8At(begin, end, &length))))
        begin += length;
    while (end != begin) {
        const char *last = utf8Last(begin, end);
        if (!QChar::isSpace(uint(utf8At(last, end, &length))))
            break;
        end = last;
    }
    return {begin, size_t(end - begin)};
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
    if (comma >= 0)
        decimalPointsIn(text->data(), text->size(), comma);
}

void makeDecimalPoints(std::string *text)
{
    const size_t comma = text->find(',');
    if (comma != std::string::npos)
        decimalPointsIn(&(*text)[0], int(text->size()), int(comma));
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

bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

bool coordinatesBlank(const QString &c1, const QString &c2, const QString &c3)
{
    return isBlank(c1) && isBlank(c2) && isBlank(c3);
}

bool isValidCoordinates(const QString &c1, const QString &c2, const QString &c3, bool dmsUnits)
{
    return isValidCoordinates(Utf8(c1).view(), Utf8(c2).view(), Utf8(c3).view(), dmsUnits);
}

bool isValidCoordinates(
    std::string_view c1, std::string_view c2, std::string_view c3, bool dmsUnits)
{
    const std::string_view t1 = trimmed(c1);
    const std::string_view t2 = trimmed(c2);
    const std::string_view t3 = trimmed(c3);
    if (t1.empty() || t2.empty() || t3.empty())
        return false;

    if (dmsUnits)
        return (isAngle(t1, 2) || isDecimal(t1)) && (isAngle(t2, 3) || isDecimal(t2))
            && isDecimal(t3);
    return isDecimal(t1) && isDecimal(t2) && isDecimal(t3);
}

bool readDecimal(std::string_view text, double *value)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    while (begin != end && isPatternSpace(*begin))
        ++begin;
    while (end != begin && isPatternSpace(end[-1]))
        --end;
    Digits digits;
    if (!scanDecimal(std::string_view(begin, size_t(end - begin)), &digits))
        return false;
    // At most 15 digits: they and the power of ten are exact doubles, and one
    // division rounds as the full reader does.
    static const double powersOf10[16]
        = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (digits.count > 15 || digits.decimals == 0)
        return NumberText::read(begin, end, value);
    const double magnitude = double(digits.value) / powersOf10[std::max(digits.decimals, 0)];
    *value = *begin == '-' ? -magnitude : magnitude;
    return true;
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

bool parseNumber(std::string_view text, double *value)
{
    return value && NumberText::read(text.data(), text.data() + text.size(), value);
}

QString formatFixed(double value, int decimals)
{
    char room[writtenRoom];
    if (const char *end = writeFixed(room, value, decimals))
        return QString::fromLatin1(room, int(end - room));
    QByteArray text;
    appendFormatted(&text, value, decimals);
    return QString::fromLatin1(text);
}

char *writeFixed(char *out, double value, int decimals)
{
    return fixedText(out, value, decimals, true);
}

void appendFormatted(QByteArray *out, double value, int decimals)
{
    char room[writtenRoom];
    if (const char *end = writeFixed(room, value, decimals)) {
        out->append(room, int(end - room));
        return;
    }
    const QByteArray text = QString::number(value, 'f', decimals).toLatin1();
    const char *first = text.constData();
    unsignZero(&first, text.constData() + text.size());
    out->append(first, int(text.constData() + text.size() - first));
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
