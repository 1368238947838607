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
// Fields of an entry this program does not know ("comment", "epsg") are kept
// as they were. The window, its dialogs and the converter change the file
// only through `apply`: under a lock file beside it, reading it afresh and
// applying one change, so that writers at the same time all land.
#ifndef LOCALSYSTEMS_H
#define LOCALSYSTEMS_H

#include "kelvadra.h"

#include <QJsonObject>
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
    QJsonObject other;     // the entry's fields besides these, written back unchanged

    // The library's record of the keys and the height shift; identity keys
    // when there are none.
    plane_keys planeKeys() const;
};

using Systems = QVector<System>;

// The definitions file of this user: local-systems.json beside the settings.
QString defaultPath();

// The largest definitions file read, in bytes.
const qint64 maxFileSize = 64 * 1024 * 1024;

// Reads the definitions at `path`; a file that does not exist is an empty
// list. Returns false, with *systems untouched and *error one line in
// Russian naming the file, the line and the entry, when the file is not a
// regular file, is larger than maxFileSize, cannot be read, is no JSON list,
// or holds an entry that is not a usable system (see problem; a name given
// twice).
bool read(const QString &path, Systems *systems, QString *error);

// Replaces the whole file by the list, under its lock, whole or not at all,
// its permissions kept: for a new file; changes go through apply.
bool write(const QString &path, const Systems &systems, QString *error);

// One change of the file: the entry named `replaces` (none when empty) gives
// way to `system`, or is removed with `remove`. A new entry takes the place
// of the one it replaces, else goes to the end.
struct Change
{
    QString replaces;
    bool remove = false;
    System system;
};

// Applies the changes in order to the file as it is now, under its lock, and
// writes it whole or not at all, its permissions kept. Refused, the file
// untouched, when it cannot be read or locked, a system is not usable, or a
// new name is taken by an entry not replaced. *result (if given) gets the
// list written. On failure *error says why, in Russian.
bool apply(const QString &path, const QVector<Change> &changes, Systems *result, QString *error);
// One system saved: added, refused when its name is taken, or in place of
// the entry named `replaces`.
bool save(const QString &path, const System &system, QString *error,
    const QString &replaces = QString(), Systems *result = nullptr);
bool remove(const QString &path, const QString &name, QString *error, Systems *result = nullptr);
// The changes that turn `before` into `after`, matching entries by name: the
// ones removed, changed or added; an entry left as it was is not rewritten.
QVector<Change> changes(const Systems &before, const Systems &after);

// The entry named `name` (compared in Unicode normal form C), or null.
const System *find(const Systems &systems, const QString &name);

// Why `system` cannot be used, in Russian; empty when it can.
QString problem(const System &system);
// Why `name` cannot name a system (empty, blanks around it, control
// characters or line breaks, a "+egm96" ending that msk: would read as
// heights above the geoid); empty when it can.
QString nameProblem(const QString &name);
// Why `base` cannot be a local system's base, without naming the field;
// empty when it can.
QString baseProblem(const QString &base);

} // namespace LocalSystems

#endif // LOCALSYSTEMS_H
