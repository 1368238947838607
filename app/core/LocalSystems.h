// Named local coordinate systems (the regional МСК of the cadastre, city
// systems): a base plane system in its written form, optional plane keys and a
// height shift. They are kept in one JSON file in the program's settings
// folder, which the window and the converter share:
//
//   [{"name": "Район",
//     "base": "tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566",
//     "keys": {"similarity": [dX, dY, a, b]},
//     "dh": 0.0}]
//
// "affine": [dX, dY, a1, a2, b1, b2] in place of "similarity"; "keys" and
// "dh" may be left out; "dh" is a number, or [c, sx, sy] for an inclined
// height plane (H = h + c + sx x + sy y). The keys take the base's plane
// coordinates x (northing) and y (easting) to the local X and Y:
//   similarity  X = dX + a x - b y,     Y = dY + b x + a y
//   affine      X = dX + a1 x + a2 y,   Y = dY + b1 x + b2 y
#ifndef LOCALSYSTEMS_H
#define LOCALSYSTEMS_H

#include "kelvadra.h"

#include <QString>
#include <QVector>

namespace LocalSystems {

struct System
{
    enum class Keys { None, Similarity, Affine };

    QString name;
    QString base; // a plane system's written form: tm:, gk: with a fixed zone, utm:
    Keys keys = Keys::None;
    double values[6] = {}; // similarity dX, dY, a, b; affine dX, dY, a1, a2, b1, b2
    double dh[3] = {};     // c, sx, sy

    // The library's record of the keys and the height shift; identity keys
    // when there are none.
    plane_keys planeKeys() const;
};

using Systems = QVector<System>;

// The definitions file of this user: local-systems.json beside the settings.
QString defaultPath();

// Reads the definitions at `path`; a file that does not exist is an empty
// list. Returns false, with *systems untouched and *error one line in
// Russian naming the file, the line and the entry, when the file cannot be
// read, is no JSON list, or holds an entry that is not a usable system (an
// empty or repeated name, a base that is not a plane system, keys of the
// wrong length, degenerate or not finite).
bool read(const QString &path, Systems *systems, QString *error);
// Writes the list whole or not at all: an existing file is replaced only when
// everything was written. On failure *error says why.
bool write(const QString &path, const Systems &systems, QString *error);

// The entry named `name`, or null.
const System *find(const Systems &systems, const QString &name);

// Why `system` cannot be used, in Russian; empty when it can.
QString problem(const System &system);

} // namespace LocalSystems

#endif // LOCALSYSTEMS_H
