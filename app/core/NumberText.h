// The program's one reader of numbers written in text (point tables, points
// files, the geoid grid file, system names), and the shortest writer of
// parameters. "." is the decimal point whatever the
// locale (std::from_chars ignores it).
#ifndef NUMBERTEXT_H
#define NUMBERTEXT_H

#include <QString>

#include <charconv>
#include <cmath>

namespace NumberText {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// One decimal number filling [begin, end) apart from white space around it,
// an optional "+" or "-" in front. Refuses anything else after the number,
// and values that are not finite or out of the type's range; *value is
// written only on success.
template <typename Number> bool read(const char *begin, const char *end, Number *value)
{
    while (begin < end && isSpace(*begin))
        ++begin;
    while (end > begin && isSpace(end[-1]))
        --end;
    if (begin < end && *begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin;
    Number number = 0;
    const std::from_chars_result result = std::from_chars(begin, end, number);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(number))
        return false;
    *value = number;
    return true;
}

// The shortest text that reads back as the same double, "." as the point:
// fixed notation for what a coordinate or parameter can be ("500000", not
// "5e+05"), the exponent form ("1e-100") for the rest, which std::from_chars,
// strtod, PROJ and Python read alike. Zero is "0" whatever its sign; a value
// that is not finite gives "nan" or "inf", never bytes of the buffer.
inline QString shortest(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    char text[64];
    const double magnitude = std::fabs(value);
    std::to_chars_result result {text, std::errc::value_too_large};
    if (magnitude >= 1e-5 && magnitude < 1e15)
        result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        result = std::to_chars(text, text + sizeof text, value);
    if (result.ec != std::errc())
        return QStringLiteral("nan");
    return QString::fromLatin1(text, int(result.ptr - text));
}

} // namespace NumberText

#endif // NUMBERTEXT_H
