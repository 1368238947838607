#include "PointRow.h"

#include "CellText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Trimmed away at both ends of a field: what QString::trimmed takes, the
// invisible U+FEFF (a byte-order mark at the start of a line of text), and
// what would become a blank anyway (a control character; in the name a ";").
bool isEdge(char32_t code, bool name)
{
    return QChar::isSpace(uint(code)) || code == 0xfeff || CellText::isControlCode(code)
        || (name && code == ';');
}

bool isEdge(QChar ch, bool name)
{
    return isEdge(ch.unicode(), name);
}

// Needs a change inside a field: a control character, in the name also a ";"
// (a tab is a control character), in a coordinate with decimal commas a ",".
bool needsFix(char32_t code, bool name, bool decimalComma)
{
    return CellText::isControlCode(code) || (name && code == ';') || (decimalComma && code == ',');
}

bool needsFix(QChar ch, bool name, bool decimalComma)
{
    return needsFix(ch.unicode(), name, decimalComma);
}

// One field of a line, [begin, end): trimmed and made one line; see the
// header for the name and the decimal comma.
QString field(const QChar *begin, const QChar *end, bool name, bool decimalComma)
{
    while (begin != end && isEdge(*begin, name))
        ++begin;
    while (end != begin && isEdge(end[-1], name))
        --end;
    QString text(begin, int(end - begin));
    const QChar *p = begin;
    while (p != end && !needsFix(*p, name, decimalComma))
        ++p;
    if (p == end)
        return text; // the usual case: copied once, nothing to change
    QChar *const chars = text.data();
    for (int i = int(p - begin); i < text.size(); ++i) {
        if (CellText::isControl(chars[i]) || (name && chars[i] == QLatin1Char(';')))
            chars[i] = QLatin1Char(' ');
    }
    if (decimalComma && !name)
        CellText::makeDecimalPoints(&text);
    return text;
}

// Printable ASCII but for the two that may need a change: the usual byte of a
// field, neither an edge nor one to change.
struct PlainBytes
{
    bool plain[256] = {};
    constexpr PlainBytes()
    {
        for (int c = 0x21; c < 0x7f; ++c)
            plain[c] = c != ';' && c != ',';
    }
};
constexpr PlainBytes plainBytes;

// The same of UTF-8, a view of the line's bytes or, when the field needs a
// change, of *changed.
std::string_view field(
    const char *begin, const char *end, bool name, bool decimalComma, std::string *changed)
{
    // The usual field, blanks around plain bytes, in one pass.
    const char *first = begin;
    const char *last = end;
    while (first != last && *first == ' ')
        ++first;
    while (last != first && last[-1] == ' ')
        --last;
    const char *q = first;
    while (q != last && (plainBytes.plain[static_cast<unsigned char>(*q)] || *q == ' '))
        ++q;
    if (q == last)
        return {first, size_t(last - first)};
    int length = 0;
    while (begin != end && isEdge(CellText::utf8At(begin, end, &length), name))
        begin += length;
    while (end != begin) {
        const char *last = CellText::utf8Last(begin, end);
        if (!isEdge(CellText::utf8At(last, end, &length), name))
            break;
        end = last;
    }
    const char *p = begin;
    while (p != end) {
        // Printable ASCII but for the two that may need a change: the usual byte.
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c < 0x7f && c != ';' && c != ',') {
            ++p;
            continue;
        }
        int n = 0;
        if (needsFix(CellText::utf8At(p, end, &n), name, decimalComma))
            break;
        p += n;
    }
    if (p == end)
        return {begin, size_t(end - begin)}; // the usual case: nothing to change
    changed->assign(begin, p);
    for (; p != end; p += length) {
        const char32_t code = CellText::utf8At(p, end, &length);
        if (CellText::isControlCode(code) || (name && code == ';'))
            changed->push_back(' ');
        else
            changed->append(p, size_t(length));
    }
    if (decimalComma && !name)
        CellText::makeDecimalPoints(changed);
    return *changed;
}

// [begin, end) without the blanks at both ends.
std::string_view withoutBlanks(const char *begin, const char *end)
{
    while (begin != end && *begin == ' ')
        ++begin;
    while (end != begin && end[-1] == ' ')
        --end;
    return {begin, size_t(end - begin)};
}

ushort codeOf(QChar ch)
{
    return ch.unicode();
}

ushort codeOf(char c)
{
    return static_cast<unsigned char>(c);
}

// The separators of a line of UTF-16 or UTF-8: all are ASCII, and no byte of
// a longer UTF-8 sequence is one of them.
template <typename Char> struct Separators
{
    static constexpr int kept = PointRow::columns - 1; // of one kind: the rule needs three
    int semicolons = 0;
    int tabs = 0;
    int commas = 0;
    // The first separators of every kind, of ";" and of tabs, in line order.
    const Char *any[PointRow::columns]; // the fourth ends the last field kept
    const Char *semicolonAt[kept];
    const Char *tabAt[kept];
    int anyCount = 0;
    bool plain = false; // UTF-8 of printable ASCII only: no field needs a change

    // One pass: the counts choose the rule, the positions split the line.
    Separators(const Char *begin, const Char *end)
    {
        const Char *p = begin;
        if constexpr (sizeof(Char) == 1 && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) {
            // UTF-8 eight bytes at a time, the last few padded: the separators
            // taken by their lanes, and whether all is printable ASCII.
            std::uint64_t bad = 0;
            for (std::uint64_t w; end - p >= 8; p += 8) {
                std::memcpy(&w, p, 8);
                bad |= notPrintable(w);
                takeLanes(p, separatorLanes(w));
            }
            if (p != end) {
                const auto n = size_t(end - p);
                const std::uint64_t w = CellText::bytesWord(p, n);
                const std::uint64_t lanes = (std::uint64_t(1) << (8 * n)) - 1;
                bad |= notPrintable(w) & lanes;
                takeLanes(p, separatorLanes(w) & lanes);
            }
            plain = bad == 0;
            return;
        }
        for (; p != end; ++p)
            take(p);
    }
    // The high bit of each byte of w equal to c, exactly (no borrow between lanes).
    static std::uint64_t lanesOf(std::uint64_t w, unsigned char c)
    {
        const std::uint64_t v = w ^ (c * 0x0101010101010101u);
        return ~(((v & 0x7f7f7f7f7f7f7f7fu) + 0x7f7f7f7f7f7f7f7fu) | v) & 0x8080808080808080u;
    }
    static std::uint64_t separatorLanes(std::uint64_t w)
    {
        return lanesOf(w, ';') | lanesOf(w, '\t') | lanesOf(w, ',');
    }
    // The high bit of each byte below a blank or of 0x7f and above.
    static std::uint64_t notPrintable(std::uint64_t w)
    {
        const std::uint64_t low = w & 0x7f7f7f7f7f7f7f7fu;
        return (w | ~(low + 0x6060606060606060u) | (low + 0x0101010101010101u))
            & 0x8080808080808080u;
    }
    void takeLanes(const Char *p, std::uint64_t lanes)
    {
        for (; lanes != 0; lanes &= lanes - 1)
            take(p + (__builtin_ctzll(lanes) >> 3));
    }
    void take(const Char *p)
    {
        // Most characters are none of the three: one test of a bit mask.
        constexpr std::uint64_t mask
            = std::uint64_t(1) << ';' | std::uint64_t(1) << '\t' | std::uint64_t(1) << ',';
        const ushort u = codeOf(*p);
        if (u > ';' || !(mask >> u & 1))
            return;
        if (u == ';') {
            if (semicolons < kept)
                semicolonAt[semicolons] = p;
            ++semicolons;
        } else if (u == '\t') {
            if (tabs < kept)
                tabAt[tabs] = p;
            ++tabs;
        } else {
            ++commas;
        }
        if (anyCount < PointRow::columns)
            any[anyCount++] = p;
    }
    // The one separator a line splits on alone, or 0.
    ushort only() const
    {
        if (semicolons == 3)
            return ';';
        if (tabs == 3)
            return '\t';
        return 0;
    }
    int fields() const { return only() == 0 ? semicolons + tabs + commas + 1 : PointRow::columns; }
};

// The line [begin, end) split by the rule of the header: take(column, begin,
// end, decimalComma) for each of its first four fields. Returns the number of
// fields the line holds.
template <typename Char, typename Take>
int split(const Separators<Char> &separators, const Char *begin, const Char *end, Take take)
{
    const ushort only = separators.only();
    const bool single = only != 0;
    const Char *const *at = only == ';' ? separators.semicolonAt
        : only == '\t'                  ? separators.tabAt
                                        : separators.any;
    const int count = single ? Separators<Char>::kept : separators.anyCount;
    const Char *start = begin;
    for (int column = 0; column < count; ++column) {
        take(column, start, at[column], single);
        start = at[column] + 1;
    }
    if (count < PointRow::columns)
        take(count, start, end, single);
    return separators.fields();
}

template <typename Char, typename Take> int split(const Char *begin, const Char *end, Take take)
{
    return split(Separators<Char>(begin, end), begin, end, take);
}

// The UTF-8 of [begin, end) behind *out; ASCII, the usual case, without a
// temporary.
void appendUtf8(QByteArray *out, const QChar *begin, const QChar *end, bool name)
{
    const int start = out->size();
    out->resize(start + int(end - begin));
    char *q = out->data() + start;
    for (const QChar *p = begin; p != end; ++p) {
        const ushort u = p->unicode();
        if (u >= 0x80) {
            out->resize(start);
            QString text(begin, int(end - begin));
            for (QChar &ch : text) {
                if (CellText::isControl(ch) || (name && ch == QLatin1Char(';')))
                    ch = QLatin1Char(' ');
            }
            out->append(text.toUtf8());
            return;
        }
        // A cell set by hand may hold what would split the line.
        *q++ = u < 0x20 || u == 0x7f || (name && u == ';') ? ' ' : char(u);
    }
}

} // namespace

bool PointRow::coordinatesBlank() const
{
    return CellText::coordinatesBlank(coordinates[0], coordinates[1], coordinates[2]);
}

bool PointRow::isEmpty() const
{
    return CellText::isBlank(name) && coordinatesBlank();
}

bool PointRow::lacksCoordinates() const
{
    return !CellText::isBlank(name) && coordinatesBlank();
}

bool PointRow::looksLikeHeader() const
{
    const auto isColumnWord = [](const QString &text) {
        static const QString placeholders[] = {QStringLiteral("-"), QStringLiteral("n/a"),
            QStringLiteral("нет"), QStringLiteral("none"), QStringLiteral("null")};
        const QString word = text.trimmed();
        for (const QString &placeholder : placeholders) {
            if (word.compare(placeholder, Qt::CaseInsensitive) == 0)
                return false;
        }
        if (std::any_of(word.begin(), word.end(), [](QChar ch) { return ch.isDigit(); }))
            return false;
        const auto letters
            = std::count_if(word.begin(), word.end(), [](QChar ch) { return ch.isLetter(); });
        return letters >= 2
            || (word.size() == 1
                && QStringLiteral("XYZHNEBLХУНВ").contains(word, Qt::CaseInsensitive));
    };
    return isColumnWord(coordinates[0]) && isColumnWord(coordinates[1])
        && (CellText::isBlank(coordinates[2]) || isColumnWord(coordinates[2]));
}

PointRow PointRow::fromLine(const QString &line, int *fields)
{
    PointRow row;
    const int count = split(line.constData(), line.constData() + line.size(),
        [&row](int column, const QChar *begin, const QChar *end, bool decimalComma) {
            row.cell(column) = field(begin, end, column == 0, decimalComma);
        });
    if (fields)
        *fields = count;
    return row;
}

int PointRow::fieldCount(const QString &line)
{
    return Separators<QChar>(line.constData(), line.constData() + line.size()).fields();
}

void LineFields::split(std::string_view line)
{
    for (std::string_view &cell : cells)
        cell = std::string_view();
    // The usual line: split on every separator, its fields hold none of them,
    // and nothing printable ASCII needs a change.
    const Separators<char> separators(line.data(), line.data() + line.size());
    const bool plain = separators.plain;
    count = ::split(separators, line.data(), line.data() + line.size(),
        [this, plain](int column, const char *begin, const char *end, bool decimalComma) {
            cells[column] = plain && !decimalComma
                ? withoutBlanks(begin, end)
                : field(begin, end, column == 0, decimalComma, &changed[column]);
        });
}

void PointRow::appendLine(QByteArray *out) const
{
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            out->append("; ", 2);
        const QString &text = cell(c);
        const QChar *begin = text.constData();
        const QChar *end = begin + text.size();
        while (begin != end && isEdge(*begin, c == 0))
            ++begin;
        while (end != begin && isEdge(end[-1], c == 0))
            --end;
        appendUtf8(out, begin, end, c == 0);
    }
    out->append('\n');
}
