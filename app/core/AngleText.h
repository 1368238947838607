// Angles as the point table writes them: degrees [minutes [seconds]] or
// decimal degrees read, degrees, minutes and seconds written. "." is the
// decimal point in every locale.
#ifndef ANGLETEXT_H
#define ANGLETEXT_H

#include <QByteArray>
#include <QString>

#include <string_view>

namespace AngleText {

// "d [m [s]]" or decimal degrees to decimal degrees; a leading "-" negates.
// Never fails: text without a number reads as 0.
double parse(const QString &text);
// The same, and *partsInRange tells whether the minutes and seconds written
// lie in [0, 60): "55 75 0" would otherwise be 56.25 degrees.
double parse(const QString &text, bool *partsInRange);
// The same of UTF-8.
double parse(std::string_view text, bool *partsInRange);
inline double parse(const char *text, bool *partsInRange)
{
    return parse(std::string_view(text), partsInRange);
}
// Decimal degrees to "d m s.sssss" with carries (seconds to minutes, minutes
// to degrees, 360 to 0).
QString formatDms(double degrees);
// The same text behind *out.
void appendDms(QByteArray *out, double degrees);
// The room writeDms may take.
const int dmsRoom = 200;
// The same text at `out`, with room for dmsRoom characters; the end, or null
// for a value only the forms above write (not finite, past 1e15 degrees).
char *writeDms(char *out, double degrees);

} // namespace AngleText

#endif // ANGLETEXT_H
