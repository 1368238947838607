// PROJ as an independent reference for the conversions of kelvadra.
//
// Pipelines are built from parameters restated here from ГОСТ 32453-2017 (in
// the standard's units: metres, milliarcseconds, ppm), not read from the
// library, so a wrong table entry in the library shows up as a difference.
// The library's rotation matrix R = [[1, wz, -wy], [-wz, 1, wx], [wy, -wx, 1]]
// is PROJ's coordinate-frame convention; neither side forms second-order
// rotation terms (helmert without +exact).
#ifndef KELVADRA_TEST_PROJ_REFERENCE_H
#define KELVADRA_TEST_PROJ_REFERENCE_H

#include "kelvadra.h"

#include <string>

namespace projref {

// The eight datums of the library.
extern const int kDatums[8];

// "+a=... +rf=..." of a datum's ellipsoid.
std::string ellipsoid_args(int datum);

// Helmert step(s) from geocentric `from` to geocentric `to`, through PZ 90.11:
// one table row towards the hub, the negated row away from it (as the library
// takes the reverse direction), two steps for a pair without the hub, "" for
// equal datums.
std::string shift_steps(int from, int to);

// Steps from a system's point coordinates (as transform_coords exchanges them)
// to geocentric coordinates on its datum, and back. Types 4 and 5 use tmerc:
// the exact algorithm for the GOST series (type 4), +approx (Snyder's series,
// the library's own method) for type 5.
std::string to_geocentric_steps(const refsystem &rs);
std::string from_geocentric_steps(const refsystem &rs);

// The whole conversion in -> out.
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

#endif // KELVADRA_TEST_PROJ_REFERENCE_H
