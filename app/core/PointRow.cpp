#include "PointRow.h"

#include "CellText.h"

#include <algorithm>

namespace {

// Trimmed away at both ends of a field: what QString::trimmed takes, the
// invisible U+FEFF (a byte-order mark at the start of a line of text), and
// what would become a blank anyway (a control character; in the name a ";").
bool isEdge(QChar ch, bool name)
{
    return ch.isSpace() || ch.unicode() == 0xfeff || CellText::isControl(ch)
        || (name && ch == QLatin1Char(';'));
}

// Needs a change inside a field: a control character, in the name also a ";"
// (a tab is a control character), in a coordinate with decimal commas a ",".
bool needsFix(QChar ch, bool name, bool decimalComma)
{
    const ushort u = ch.unicode();
    return CellText::isControl(ch) || (name && u == ';') || (decimalComma && u == ',');
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

struct Separators
{
    int semicolons = 0;
    int tabs = 0;
    int commas = 0;

    explicit Separators(const QString &line)
    {
        for (const QChar ch : line) {
            const ushort u = ch.unicode();
            semicolons += u == ';';
            tabs += u == '\t';
            commas += u == ',';
        }
    }
    // The one separator a line splits on alone, or a null character.
    QChar only() const
    {
        if (semicolons == 3)
            return QLatin1Char(';');
        if (tabs == 3)
            return QLatin1Char('\t');
        return QChar();
    }
    int fields() const
    {
        return only().isNull() ? semicolons + tabs + commas + 1 : PointRow::columns;
    }
};

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
    const Separators separators(line);
    const QChar only = separators.only();
    const bool single = !only.isNull();
    if (fields)
        *fields = separators.fields();

    PointRow row;
    const QChar *const end = line.constData() + line.size();
    const QChar *start = line.constData();
    int column = 0;
    for (const QChar *p = start; p != end && column < columns; ++p) {
        const ushort u = p->unicode();
        if (single ? *p == only : u == ',' || u == ';' || u == '\t') {
            row.cell(column) = field(start, p, column == 0, single);
            ++column;
            start = p + 1;
        }
    }
    if (column < columns)
        row.cell(column) = field(start, end, column == 0, single);
    return row;
}

int PointRow::fieldCount(const QString &line)
{
    return Separators(line).fields();
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
