// The text report of a keys fit (KeyFit): what the window shows and saves and
// what the converter prints.
#ifndef KEYFITREPORT_H
#define KEYFITREPORT_H

#include "KeyFit.h"

#include <QString>

namespace KeyFit {

// The report: parameters, residuals per point with the flags (position or
// height), σ and the largest residual, the doubts, the points left out and
// flagged, and the unmatched names; Russian, UTF-8, "." as the decimal point
// in every locale. Columns are as wide as their widest value.
QString report(const Result &result, const Matched &matched, const QString &base);

// What a flagged point's flag says, without the leading "!": "положение без
// неё 0.412 м > 3·√2·σ = 0.085 м", the height likewise; empty when not flagged.
QString flagText(const PointResult &point);

} // namespace KeyFit

#endif // KEYFITREPORT_H
