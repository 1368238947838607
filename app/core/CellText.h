// Text forms of the point table's cells: blank and valid coordinate texts,
// the decimal comma, and numbers with "." as the decimal point in every
// locale (angles: AngleText). Plain functions, no widgets: the panel, the calculation and
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

// A plain number with "." as the decimal point, white space around ignored.
bool parseNumber(const QString &text, double *value);
// Fixed notation with `decimals` decimals, "." as the decimal point: the
// program's one writer of fixed-notation numbers.
QString formatFixed(double value, int decimals);
// The number formatFixed writes, as the double its text reads as: a map or
// drawing gives the point the table shows.
double writtenValue(double value, int decimals);
// The same digits behind *out, without the sign rule of a value that rounds
// to zero; false, *out untouched, for a value past 1e15, not finite, or
// decimals outside 0 to 17.
bool appendFixed(QString *out, double value, int decimals);

} // namespace CellText

#endif // CELLTEXT_H
