// Text forms of the point table's cells: blank and valid coordinate texts,
// angle reading and writing, and numbers with "." as the decimal point in
// every locale. Plain functions, no widgets: the panel, the calculation and
// the points files share them.
#ifndef CELLTEXT_H
#define CELLTEXT_H

#include <QString>

namespace CellText {

// A character that must not stand in a cell: line feed, carriage return, tab,
// every other character of category Other_Control, and the line and
// paragraph separators U+2028 and U+2029.
inline bool isControl(QChar ch)
{
    const ushort u = ch.unicode();
    return u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029;
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

// Empty after trimming.
bool isBlank(const QString &text);
bool coordinatesBlank(const QString &c1, const QString &c2, const QString &c3);

// Validity of three coordinate texts: with dmsUnits the first may be a
// latitude and the second a longitude in degrees [minutes [seconds]], else
// all three are decimal numbers. Texts are trimmed; blank texts are invalid.
bool isValidCoordinates(const QString &c1, const QString &c2, const QString &c3, bool dmsUnits);

// "d [m [s]]" or decimal degrees to decimal degrees; a leading "-" negates.
// Never fails: text without a number reads as 0.
double parseAngle(const QString &text);
// The same, and *partsInRange tells whether the minutes and seconds written
// lie in [0, 60): "55 75 0" would otherwise be 56.25 degrees.
double parseAngle(const QString &text, bool *partsInRange);
// Decimal degrees to "d m s.sssss" with carries (seconds to minutes, minutes
// to degrees, 360 to 0).
QString formatDms(double degrees);

// A plain number with "." as the decimal point, white space around ignored.
bool parseNumber(const QString &text, double *value);
// Fixed notation with `decimals` decimals, "." as the decimal point.
QString formatFixed(double value, int decimals);

} // namespace CellText

#endif // CELLTEXT_H
