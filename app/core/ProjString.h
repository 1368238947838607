// PROJ-style definitions of Transverse Mercator systems, read and written:
//   +proj=tmerc +lat_0=0 +lon_0=37.98333333333 +k=1 +x_0=2250000 +y_0=-5712900.566
//   +ellps=krass +towgs84=23.57,-140.95,-79.8,0,0.35,0.79,-0.22 +units=m +no_defs
//
// Published parameter sets of one datum differ a little between sources and
// in the sign of their rotations (position vector or coordinate frame). A
// definition is read as the one of the eight datums on its ellipsoid whose
// shift to WGS 84, this library's, is closest to the given +towgs84 applied
// either way, over the projection's area: along its central meridian at the
// latitudes 40° to 80° N, at its origin and at the point of plane coordinates
// 0, 0. It is taken when every place is within 1 m. On the Krasovsky
// ellipsoid +towgs84 is required: SK-42 and SK-95 share it. A parameter given
// twice, or given two ways (+k and +k_0, +ellps and +datum), is refused: PROJ
// takes the first, and the text would read one way here and another there.
#ifndef PROJSTRING_H
#define PROJSTRING_H

#include "SystemName.h"

#include <QString>

namespace ProjString {

// Reads a definition into tm: choices. On success *note (if given) says which
// datum and rotation convention were taken and by how many centimetres at
// most the given parameters differ from this library's; on failure
// *error says what is expected, in Russian.
bool read(const QString &definition, SystemName::Choices *choices, QString *note, QString *error);

// The definition of a plane system (tm:, gk: with a fixed zone, utm:) with
// this library's shift of its datum to WGS 84 as +towgs84 (position vector),
// or an empty text when `system` is no such system.
QString write(const refsystem &system);

} // namespace ProjString

#endif // PROJSTRING_H
