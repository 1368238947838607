// Angles as surveyors write them in a form: "38 29 00", "38°29'00"",
// "38°29′00″", "38°29,5'", "-38.48333", with a decimal comma or point. The
// symbols mark degrees, minutes and seconds in that order; the result is the
// cell form of a point table ("38 29 00", "38 29.5", "-38.48333"), which
// AngleText::parse reads.
#ifndef SURVEYANGLE_H
#define SURVEYANGLE_H

#include <QString>

namespace SurveyAngle {

// The cell form of `text`; empty when it is none of the forms above (no
// number, more than three numbers, a symbol out of its place or repeated,
// any other character).
QString toCellForm(const QString &text);

// The angle in degrees, its minutes and seconds below 60 and |degrees| not
// above `limit`; false, *degrees untouched, otherwise.
bool read(const QString &text, double limit, double *degrees);

} // namespace SurveyAngle

#endif // SURVEYANGLE_H
