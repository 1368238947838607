#include "SurveyAngle.h"

#include "AngleText.h"
#include "CellText.h"

#include <QStringList>

#include <cmath>

namespace SurveyAngle {

namespace {

// The mark a number at `place` (0 degrees, 1 minutes, 2 seconds) may carry;
// a double prime may also be typed as two single quotes.
bool marks(QChar c, int place)
{
    switch (place) {
    case 0:
        return c == QChar(0x00B0)
            || c == QChar(0x00BA); // degree sign, or the ordinal º keyboards give
    case 1:
        return c == QLatin1Char('\'') || c == QChar(0x2032) || c == QChar(0x2019);
    default:
        return c == QLatin1Char('"') || c == QChar(0x2033) || c == QChar(0x201D);
    }
}

} // namespace

QString toCellForm(const QString &text)
{
    QString rest = text.trimmed();
    rest.replace(QStringLiteral("''"), QStringLiteral("\""));
    QString sign;
    if (rest.startsWith(QLatin1Char('-'))) {
        sign = QStringLiteral("-");
        rest = rest.mid(1);
    }
    QStringList parts;
    int i = 0;
    while (i < rest.size()) {
        const QChar c = rest.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (!c.isDigit())
            return QString();
        if (parts.size() == 3)
            return QString();
        QString number;
        bool point = false;
        while (i < rest.size()) {
            const QChar d = rest.at(i);
            if (d.isDigit() && d.unicode() < 128) {
                number += d;
            } else if ((d == QLatin1Char('.') || d == QLatin1Char(',')) && !point
                && i + 1 < rest.size() && rest.at(i + 1).isDigit()) {
                number += QLatin1Char('.');
                point = true;
            } else {
                break;
            }
            ++i;
        }
        if (number.isEmpty() || (i < rest.size() && rest.at(i).isDigit()))
            return QString();
        const int place = parts.size();
        parts << number;
        while (i < rest.size() && rest.at(i).isSpace())
            ++i;
        if (i < rest.size() && !rest.at(i).isDigit()) {
            if (!marks(rest.at(i), place))
                return QString();
            ++i;
        }
    }
    if (parts.isEmpty())
        return QString();
    // A fraction belongs to the last part only: "38.5 30" is no angle.
    for (int p = 0; p + 1 < parts.size(); ++p) {
        if (parts.at(p).contains(QLatin1Char('.')))
            return QString();
    }
    return sign + parts.join(QLatin1Char(' '));
}

bool read(const QString &text, double limit, double *degrees)
{
    const QString cell = toCellForm(text);
    if (cell.isEmpty())
        return false;
    bool inRange = true;
    const double value = AngleText::parse(cell, &inRange);
    if (!inRange || !std::isfinite(value) || std::fabs(value) > limit)
        return false;
    *degrees = value;
    return true;
}

} // namespace SurveyAngle
