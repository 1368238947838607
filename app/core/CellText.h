// Text forms of the point table's cells: blank and valid coordinate texts,
// the decimal comma, and numbers with "." as the decimal point in every
// locale (angles: AngleText). Plain functions, no widgets: the panel, the calculation and
// the points files share them.
//
// Each reader and writer works on UTF-8 bytes, so that the converter reads
// and writes a row without a QString per field; the QString forms of the
// window convert and call them, and both stay on the same rules.
#ifndef CELLTEXT_H
#define CELLTEXT_H

#include <QByteArray>
#include <QString>
#include <QVarLengthArray>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace CellText {

// A character that must not stand in a cell: line feed, carriage return, tab,
// every other character of category Other_Control, and the line and
// paragraph separators U+2028 and U+2029.
inline bool isControlCode(char32_t code)
{
    return code < 0x20 || (code >= 0x7f && code < 0xa0) || code == 0x2028 || code == 0x2029;
}
inline bool isControl(QChar ch)
{
    return isControlCode(ch.unicode());
}

// The character whose UTF-8 starts at p (p < end), and *length its bytes; a
// byte that starts no valid sequence is U+FFFD of one byte.
char32_t utf8Sequence(const char *p, const char *end, int *length);
inline char32_t utf8At(const char *p, const char *end, int *length)
{
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x80)
        return utf8Sequence(p, end, length);
    *length = 1;
    return c;
}
// The start of the last character of [begin, end), begin < end.
const char *utf8Last(const char *begin, const char *end);

// The UTF-8 of a QString, held on the stack for the short texts of cells.
class Utf8
{
public:
    explicit Utf8(const QString &text);
    std::string_view view() const { return {bytes.constData(), size_t(bytes.size())}; }

private:
    QVarLengthArray<char, 64> bytes;
};

// UTF-8 without the white space at both ends that QString::trimmed takes.
std::string_view trimmedEnds(std::string_view text);
inline std::string_view trimmed(std::string_view text)
{
    // The usual cell: no blank at either end.
    const auto isPlain = [](char c) { return c > ' ' && c < 0x7f; };
    return text.empty() || (isPlain(text.front()) && isPlain(text.back())) ? text
                                                                           : trimmedEnds(text);
}
// One line of cell text: every control character (line ends and tabs
// included) and the line and paragraph separators become one blank; the
// blanks at both ends are trimmed.
QString singleLine(const QString &text);

// The decimal comma, one rule for files, the clipboard, cells and editors: a
// "," between two ASCII digits is a decimal point ("55,5", "37 30,25"); any
// other "," stays, and the text then reads as no number (",5", "5,").
QString decimalPoints(const QString &text);
void makeDecimalPoints(QString *text);
void makeDecimalPoints(std::string *text);

// Empty after trimming.
bool isBlank(const QString &text);
bool isBlank(std::string_view text);
bool coordinatesBlank(const QString &c1, const QString &c2, const QString &c3);

// Validity of three coordinate texts: with dmsUnits the first may be a
// latitude and the second a longitude in degrees [minutes [seconds]], else
// all three are decimal numbers. Texts are trimmed; blank texts are invalid.
bool isValidCoordinates(const QString &c1, const QString &c2, const QString &c3, bool dmsUnits);
bool isValidCoordinates(
    std::string_view c1, std::string_view c2, std::string_view c3, bool dmsUnits);

// A plain coordinate, [+-]?d+(.d*)? with ASCII blanks around, read: the
// check of isValidCoordinates and parseNumber in one, the same numbers
// accepted and refused, the same value.
bool readDecimal(std::string_view text, double *value);
// A plain number with "." as the decimal point, white space around ignored.
bool parseNumber(const QString &text, double *value);
bool parseNumber(std::string_view text, double *value);
inline bool parseNumber(const char *text, double *value)
{
    return parseNumber(std::string_view(text), value);
}
// Fixed notation with `decimals` decimals, "." as the decimal point: the
// program's one writer of fixed-notation numbers.
QString formatFixed(double value, int decimals);
// The same text behind *out.
void appendFormatted(QByteArray *out, double value, int decimals);
// The room a number written by writeFixed or writeFixedDigits may take.
const int writtenRoom = 64;
// The same text at `out`, with room for writtenRoom characters; the end, or
// null for a value past 1e15 or not finite, which only the forms above write.
char *writeFixed(char *out, double value, int decimals);
// The number formatFixed writes, as the double its text reads as: a map or
// drawing gives the point the table shows.
double writtenValue(double value, int decimals);
// The same digits behind *out, without the sign rule of a value that rounds
// to zero; false, *out untouched, for a value past 1e15, not finite, or
// decimals outside 0 to 17.
bool appendFixed(QString *out, double value, int decimals);
bool appendFixed(QByteArray *out, double value, int decimals);
// The same digits at `out` (room for writtenRoom); the end, or null.
char *writeFixedDigits(char *out, double value, int decimals);
// The k bytes at p (0 to 8) as a little-endian word (byte i at bit 8i), the
// rest zero, read without going past them: as whole words, where bytes one at
// a time would be stored and read back (a stall).
inline std::uint64_t bytesWord(const char *p, size_t k)
{
    const auto byte = [p](size_t i) { return std::uint64_t(static_cast<unsigned char>(p[i])); };
    if (k >= 4) {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::memcpy(&first, p, 4);
        std::memcpy(&last, p + k - 4, 4);
        return first | std::uint64_t(last) << (8 * (k - 4)); // the overlap: the same bytes
    }
    if (k == 0)
        return 0;
    // Three reads cover one to three bytes.
    return byte(0) | byte(k / 2) << (8 * (k / 2)) | byte(k - 1) << (8 * (k - 1));
}

// n / 10^decimals written exactly at `out` (room for writtenRoom): the
// whole part ("0" at least), then "." and `decimals` digits (0 to 19); the end.
// Inline: a row's every number comes through here.
inline char *writeDigits(char *out, std::uint64_t n, int decimals)
{
    static constexpr std::uint64_t powersOf10[20]
        = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000, 10000000000,
            100000000000, 1000000000000, 10000000000000, 100000000000000, 1000000000000000,
            10000000000000000, 100000000000000000, 1000000000000000000, 10000000000000000000u};
    static constexpr char pairs[] = "00010203040506070809101112131415161718192021222324"
                                    "25262728293031323334353637383940414243444546474849"
                                    "50515253545556575859606162636465666768697071727374"
                                    "75767778798081828384858687888990919293949596979899";
    // The two digits of m (below 100) before q.
    const auto two = [](char *q, unsigned m) {
        std::memcpy(q - 2, pairs + 2 * m, 2);
        return q - 2;
    };
    // The number of digits from the bit length, then one comparison.
    const int bits = 64 - __builtin_clzll(n | 1);
    int digits = (bits * 1233) >> 12;
    digits += n >= powersOf10[digits] ? 1 : 0;
    digits = digits > decimals ? digits : decimals + 1;
    char *const end = out + digits + (decimals > 0 ? 1 : 0);
    char *p = end;
    int i = 0;
    for (; i + 2 <= decimals; i += 2, n /= 100)
        p = two(p, unsigned(n % 100));
    if (i < decimals) {
        *--p = char('0' + n % 10);
        n /= 10;
    }
    if (decimals > 0)
        *--p = '.';
    for (; p - out >= 2; n /= 100)
        p = two(p, unsigned(n % 100));
    if (p != out)
        *--p = char('0' + n);
    return end;
}

} // namespace CellText

#endif // CELLTEXT_H
