#include "AngleText.h"

#include "CellText.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace AngleText {

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
bool scanNumber(std::string_view text, int *pos, double *value)
{
    const char *const begin = text.data();
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

} // namespace

double parse(const QString &text)
{
    bool partsInRange = true;
    return parse(text, &partsInRange);
}

double parse(const QString &text, bool *partsInRange)
{
    return parse(CellText::Utf8(text).view(), partsInRange);
}

double parse(std::string_view text, bool *partsInRange)
{
    std::string_view rest = CellText::trimmed(text);
    double sign = 1.0;
    if (!rest.empty() && rest.front() == '-') {
        sign = -1.0;
        rest = CellText::trimmed(rest.substr(1));
    }

    // "%lf %lf %lf", then "%lf %lf", then "%lf": each reading stops where the
    // previous one did, so one pass reading up to three numbers decides.
    double parts[3] = {0.0, 0.0, 0.0};
    int count = 0;
    int pos = 0;
    while (count < 3 && scanNumber(rest, &pos, &parts[count]))
        ++count;

    const double d = count >= 1 ? parts[0] : 0.0;
    const double m = count >= 2 ? parts[1] : 0.0;
    const double s = count == 3 ? parts[2] : 0.0;
    *partsInRange = m >= 0.0 && m < 60.0 && s >= 0.0 && s < 60.0;
    return (d + m / 60.0 + s / 3600.0) * sign;
}

namespace {

// Degrees, minutes and seconds of a decimal angle, with the carries; the
// seconds as a whole number of their 100 000ths, which are what is written.
struct Parts
{
    double d;
    double m;
    double units; // of the seconds
    bool negative;
    double s() const { return units / 100000.0; }
};

// floor of x, which is not negative: by truncation where it fits, which the
// processor does in one step.
double wholeOf(double x)
{
    return x < 0x1p52 ? double(std::int64_t(x)) : std::floor(x);
}

inline Parts partsOf(double degrees)
{
    const double value = std::fabs(degrees);

    double d = wholeOf(value);
    double m = wholeOf((value - d) * 60.0);
    const double s = ((value - d) * 60.0 - m) * 60.0;
    double units = wholeOf(s * 100000.0 + 0.5);

    if (units >= 6000000.0) {
        m += 1.0;
        units -= 6000000.0;
    }
    if (m > 59.0) {
        m -= 60.0;
        d += 1.0;
    }
    if (d > 359.0)
        d -= 360.0;
    const bool negative
        = degrees < 0 && (d != 0.0 || m != 0.0 || units != 0.0); // no "-0 0 0.00000"
    return {d, m, units, negative};
}

} // namespace

QString formatDms(double degrees)
{
    char room[dmsRoom];
    if (const char *end = writeDms(room, degrees))
        return QString::fromLatin1(room, int(end - room));
    QByteArray text;
    appendDms(&text, degrees);
    return QString::fromLatin1(text);
}

char *writeDms(char *out, double degrees)
{
    static constexpr char pairs[] = "00010203040506070809101112131415161718192021222324"
                                    "25262728293031323334353637383940414243444546474849"
                                    "50515253545556575859606162636465666768697071727374"
                                    "75767778798081828384858687888990919293949596979899";
    // The two digits of n (below 100).
    const auto pair = [](unsigned n) { return pairs + size_t(2) * n; };
    // One or two digits of n (below 100).
    const auto small = [pair](char *p, unsigned n) {
        if (n < 10) {
            *p = char('0' + n);
            return p + 1;
        }
        std::memcpy(p, pair(n), 2);
        return p + 2;
    };
    const Parts parts = partsOf(degrees);
    // The degrees decide (the minutes and seconds of a finite angle are small
    // whole numbers): the fast way, or the slow one of appendDms.
    if (!(parts.d < 1e15))
        return nullptr;
    char *p = out;
    if (parts.negative)
        *p++ = '-';
    // Below 360 but for an angle past a turn: its own digits' way.
    if (parts.d < 1000.0) {
        const auto d = unsigned(parts.d);
        if (d >= 100) {
            *p++ = char('0' + d / 100);
            std::memcpy(p, pair(d % 100), 2);
            p += 2;
        } else {
            p = small(p, d);
        }
    } else {
        p = CellText::writeDigits(p, std::uint64_t(parts.d), 0);
    }
    *p++ = ' ';
    p = small(p, unsigned(parts.m));
    *p++ = ' ';
    // The seconds below 60 in 100 000ths: the whole ones, then five decimals.
    const auto units = unsigned(parts.units);
    const unsigned fraction = units % 100000;
    p = small(p, units / 100000);
    *p = '.';
    std::memcpy(p + 1, pair(fraction / 1000), 2);
    std::memcpy(p + 3, pair(fraction / 10 % 100), 2);
    p[5] = char('0' + fraction % 10);
    return p + 6;
}

void appendDms(QByteArray *out, double degrees)
{
    char room[dmsRoom];
    if (const char *end = writeDms(room, degrees)) {
        out->append(room, int(end - room));
        return;
    }
    const Parts parts = partsOf(degrees);
    if (parts.negative)
        out->append('-');
    out->append(QString::number(parts.d, 'f', 0).toLatin1());
    out->append(' ');
    out->append(QString::number(parts.m, 'f', 0).toLatin1());
    out->append(' ');
    out->append(QString::number(parts.s(), 'f', 5).toLatin1());
}

} // namespace AngleText
