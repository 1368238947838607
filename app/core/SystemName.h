// Reference-system choices as a panel offers them, the record they make, and
// their compact written form for the command line: "geod:wgs84:deg:360",
// "gk:sk42:7", "gk:gsk2011:auto:s", "utm:37n", a Transverse Mercator of any
// parameters "tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566",
// a named local system "msk:МСК-50 зона 2", a PROJ definition "proj:+proj=tmerc
// ...", and "+egm96" for heights above the geoid. The panel and the converter both go through
// buildRefsystem and acceptRefsystem, so the same choices give the same calculation.
#ifndef SYSTEMNAME_H
#define SYSTEMNAME_H

#include "LocalSystems.h"
#include "SystemKind.h"
#include "kelvadra.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace Calculation {
struct Side;
}

namespace SystemName {

// One system as a panel chooses it, with one written form (format, parse).
struct Choices
{
    SystemKind kind = SystemKind::None;
    int datum = 0;
    int zone = 1; // 1 to 60
    bool autoZone = false;
    bool northern = true;
    bool autoHemisphere = false;
    bool decimalDegrees = false; // geodetic: decimal degrees, else degrees-minutes-seconds
    bool unsignedLongitude = false;
    bool geoid = false;
    double tm[5] = {}; // tm: central meridian and origin latitude (degrees), scale, fe, fn (m)
    QString localName; // msk: the name of a local system
};

// Fills *out from the choices. A GSK 2011 Gauss-Krüger zone or hemisphere
// left automatic gives an incomplete record for the calculation to finish.
void buildRefsystem(const Choices &choices, refsystem *out);
// Non-zero when the record can be calculated with: complete, or that
// incomplete GSK 2011 record, which an input-only side must give a hemisphere.
int acceptRefsystem(SystemKind kind, bool inputOnly, const refsystem *rs);

// A side of the calculation as the input (left) or output (right) panel
// gives it for these choices; false when its system is not accepted. A local
// system (msk:) is looked up in `systems`.
bool side(const Choices &choices, bool input, Calculation::Side *out,
    const LocalSystems::Systems *systems = nullptr);

// Reads a written name for the input or the output side. On failure *error
// is one line in Russian saying what was expected. A proj: string read as one
// of the eight datums leaves in *note (if given) which datum and rotation
// convention were taken and how far its parameters are from this library's.
// A msk: name is not looked up here (see side).
bool parse(
    const QString &name, bool input, Choices *choices, QString *error, QString *note = nullptr);

// The written form of the choices, which parse reads back as the same
// choices (a zone left automatic keeps no number); empty for SystemKind::None.
QString format(const Choices &choices);

// The datums a system kind offers, in the panel's order.
QVector<int> datumsFor(SystemKind kind);
// A datum's Russian caption ("Пулково 42"); empty for an unknown code.
QString datumCaption(int code);

// Every accepted form, one per line, with what it means.
QStringList forms();

} // namespace SystemName

#endif // SYSTEMNAME_H
