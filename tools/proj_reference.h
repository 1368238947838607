// PROJ as an independent reference for the conversions of kelvadra, shared by
// the tests and the accuracy report (tools/accuracy.cpp).
//
// Pipelines are built from parameters restated here from ГОСТ 32453-2017 (in
// the standard's units: metres, milliarcseconds, ppm), not read from the
// library, so a wrong table entry in the library shows up as a difference.
// The library's rotation matrix R = [[1, wz, -wy], [-wz, 1, wx], [wy, -wx, 1]]
// is PROJ's coordinate-frame convention; neither side forms second-order
// rotation terms (helmert without +exact).
#ifndef KELVADRA_PROJ_REFERENCE_H
#define KELVADRA_PROJ_REFERENCE_H

#include "kelvadra.h"

#include <string>

namespace projref {

// The eight datums of the library.
extern const int kDatums[8];

// A datum's ellipsoid and its parameters towards PZ 90.11, in the standard's units.
struct Datum
{
    int code;
    const char *name;              // as the reports write it
    double a, rf;                  // ellipsoid: metres, inverse flattening
    double dx, dy, dz;             // metres
    double rx_mas, ry_mas, rz_mas; // milliarcseconds
    double s_ppm;                  // parts per million
};
// Throws std::invalid_argument for a code outside the eight.
const Datum &datum_of(int code);

// The whole conversion in -> out, through geocentric coordinates: one Helmert
// step per table row (the row towards PZ 90.11, the negated row away from it,
// as the library takes the reverse). Zones (type 4) and type 5 both use
// tmerc's default algorithm: the exact projection the GOST series follow, and
// the library's own method for type 5 (Krüger's series to n^6). Points as
// transform_coords exchanges them.
std::string pipeline(const refsystem &in, const refsystem &out);

// One PROJ transformation; not copyable.
class Transformation
{
public:
    explicit Transformation(const std::string &definition);
    ~Transformation();
    Transformation(const Transformation &) = delete;
    Transformation &operator=(const Transformation &) = delete;

    bool valid() const { return pj_ != nullptr; }
    // Converts p in place; false when PROJ reports an error.
    bool forward(double p[3]) const;

private:
    void *pj_ = nullptr; // PJ *, kept opaque so that tests need not include proj.h
};

// Distance in metres between two points of one system type: Euclidean for
// Cartesian and plane coordinates (the height counts as a third axis),
// latitude/longitude differences turned into metres on a 6 400 km sphere for
// geodetic points.
double distance_m(int type, const double a[3], const double b[3]);

} // namespace projref

#endif // KELVADRA_PROJ_REFERENCE_H
