// Locale-independent number reading. The library reads numbers from texts
// (angles) and files (geoid grids) the way "%lf" and "%f" do in the "C"
// locale: programs that load the library often run under a locale whose
// decimal separator is a comma, where the C library's readers stop at ".".
// std::from_chars never consults the locale and rounds correctly.
#include "kelvadra_internal.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kelvadra {

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_hex_digit(char c)
{
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Case-insensitive prefix test against a lower-case word.
bool starts_with_word(const char *p, const char *word)
{
    for (; *word; ++p, ++word) {
        if (lower(*p) != *word)
            return false;
    }
    return true;
}

enum class Token { None, Decimal, Hex, Infinity, NaN };

// Past an exponent ("e-12", "p+3") at q, or q itself when none follows: an
// exponent mark without digits belongs to the text after the number.
const char *skip_exponent(const char *q, char mark)
{
    if (lower(*q) != mark)
        return q;
    const char *r = q + 1;
    if (*r == '+' || *r == '-')
        ++r;
    if (!is_digit(*r))
        return q;
    while (is_digit(*r))
        ++r;
    return r;
}

// Finds the extent of one number starting at p (after white space and sign).
// Returns the kind and sets *end past it.
Token find_token(const char *p, const char **end)
{
    if (starts_with_word(p, "inf")) {
        *end = p + (starts_with_word(p, "infinity") ? 8 : 3);
        return Token::Infinity;
    }
    if (starts_with_word(p, "nan")) {
        const char *q = p + 3;
        if (*q == '(') {
            const char *r = q + 1;
            while (is_digit(*r) || (lower(*r) >= 'a' && lower(*r) <= 'z') || *r == '_')
                ++r;
            if (*r == ')')
                q = r + 1;
        }
        *end = q;
        return Token::NaN;
    }
    if (p[0] == '0' && lower(p[1]) == 'x'
        && (is_hex_digit(p[2]) || (p[2] == '.' && is_hex_digit(p[3])))) {
        const char *q = p + 2;
        while (is_hex_digit(*q))
            ++q;
        if (*q == '.') {
            ++q;
            while (is_hex_digit(*q))
                ++q;
        }
        *end = skip_exponent(q, 'p');
        return Token::Hex;
    }

    const char *q = p;
    bool digits = false;
    while (is_digit(*q)) {
        ++q;
        digits = true;
    }
    if (*q == '.') {
        ++q;
        while (is_digit(*q)) {
            ++q;
            digits = true;
        }
    }
    if (!digits)
        return Token::None;
    *end = skip_exponent(q, 'e');
    return Token::Decimal;
}

// Reads a number of type T (float or double) like strtod/strtof in the "C" locale.
template <typename T> int scan_number(const char *text, const char **end, T *value)
{
    if (!text)
        return 0;
    const char *p = text;
    while (is_space(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }

    const char *stop = nullptr;
    T result = 0;
    switch (find_token(p, &stop)) {
    case Token::None:
        return 0;
    case Token::Infinity:
        result = std::numeric_limits<T>::infinity();
        break;
    case Token::NaN:
        result = std::numeric_limits<T>::quiet_NaN();
        break;
    case Token::Hex:
    case Token::Decimal: {
        const bool hex = (stop - p > 1 && lower(p[1]) == 'x');
        const char *first = hex ? p + 2 : p;
        const auto format = hex ? std::chars_format::hex : std::chars_format::general;
        const auto r = std::from_chars(first, stop, result, format);
        if (r.ec == std::errc::result_out_of_range) {
            // Beyond the type's range: overflow reads as infinity and
            // underflow as zero, as strtod reports them.
            long double wide = 0;
            const auto w = std::from_chars(first, stop, wide, format);
            if (w.ec == std::errc())
                result = static_cast<T>(wide);
            else {
                const char *e = first;
                while (e < stop && lower(*e) != (hex ? 'p' : 'e'))
                    ++e;
                const bool tiny = (e + 1 < stop && e[1] == '-');
                result = tiny ? T(0) : std::numeric_limits<T>::infinity();
            }
        } else if (r.ec != std::errc()) {
            return 0;
        }
        break;
    }
    }
    *value = negative ? -result : result;
    *end = stop;
    return 1;
}

} // namespace

int scan_double(const char *text, const char **end, double *value)
{
    return scan_number(text, end, value);
}

int scan_float(const char *text, const char **end, float *value)
{
    return scan_number(text, end, value);
}

int scan_doubles(const char *text, double *values, int count)
{
    const char *p = text;
    int n = 0;
    while (n < count && scan_double(p, &p, &values[n]))
        ++n;
    return n;
}

} // namespace kelvadra
