// Ellipsoids and seven-parameter datum shifts of ГОСТ 32453-2017. Every shift
// passes through the hub datum PZ 90.11: a pair of datums is joined by one
// table row, its negation, or the first-order composition of two rows.
//
// Deliberate departures from a rigorous similarity transformation, kept
// because the standard's published results follow them: the reverse of a row
// is its negation, not its exact inverse; composition keeps first-order terms
// only; the rotation matrix is not orthonormalised.
#include "kelvadra_internal.h"

using namespace kelvadra;

namespace {

// Ellipsoid codes of ellipsoid_by_code. They are not datum codes, though
// some coincide in value with one.
enum EllipsoidCode {
    kKrasovsky1940 = 42,
    kGrs80 = 80,
    kWgs84 = 84,
    kPz90 = 90,
    kGsk2011 = 2011,
};

struct EllipsoidRow
{
    int code;
    double a; // metres
    double f; // the double nearest to 1 / (inverse flattening), as a literal:
              // 1.0 / 298.257223563 computed in double is one unit in the
              // last place below it
};

constexpr EllipsoidRow kEllipsoids[] = {
    {kKrasovsky1940, 6378245.0, 0.003352329869259135}, // 1/f = 298.3
    {kGrs80, 6378137.0, 0.003352810681182319},         // 1/f = 298.257222101
    {kWgs84, 6378137.0, 0.003352810664747481},         // 1/f = 298.257223563
    {kPz90, 6378136.0, 0.0033528037351842955},         // 1/f = 298.25784
    {kGsk2011, 6378136.5, 0.003352819752979053},       // 1/f = 298.2564151
};

struct DatumEllipsoid
{
    int datum;
    int ellipsoid;
};

constexpr DatumEllipsoid kDatumEllipsoids[] = {
    {KV_DATUM_PULKOVO42, kKrasovsky1940},
    {KV_DATUM_PULKOVO95, kKrasovsky1940},
    {KV_DATUM_WGS84, kWgs84},
    {KV_DATUM_PZ90, kPz90},
    {KV_DATUM_PZ9002, kPz90},
    {KV_DATUM_PZ9011, kPz90},
    {KV_DATUM_ITRF2008, kGrs80},
    {KV_DATUM_GSK2011, kGsk2011},
};

// Datum -> PZ 90.11: translations in metres, rotations in milliarcseconds,
// scale difference in parts per million (ГОСТ 32453-2017).
struct ShiftRow
{
    int datum;
    double dX, dY, dZ;
    double wx_mas, wy_mas, wz_mas;
    double dm_ppm;
};

constexpr ShiftRow kShifts[] = {
    {KV_DATUM_PULKOVO42, +23.557, -140.844, -79.778, -2.30, -346.46, -794.21, -0.228},
    {KV_DATUM_PULKOVO95, +24.457, -130.784, -81.538, -2.30, +3.54, -134.21, -0.228},
    {KV_DATUM_PZ90, -1.443, +0.156, +0.222, -2.30, +3.54, -134.21, -0.228},
    {KV_DATUM_PZ9002, -0.373, +0.186, +0.202, -2.30, +3.54, -4.21, -0.008},
    {KV_DATUM_WGS84, -0.013, +0.106, +0.022, -2.30, +3.54, -4.21, -0.008},
    {KV_DATUM_GSK2011, 0.0, +0.014, -0.008, -0.562, -0.019, +0.053, -0.0006},
    {KV_DATUM_ITRF2008, +0.003, +0.001, 0.0, -0.019, +0.042, -0.002, 0.0},
    {KV_DATUM_PZ9011, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
};

datum_shift negated(const datum_shift &s)
{
    return {-s.dX, -s.dY, -s.dZ, -s.wx, -s.wy, -s.wz, -s.dm};
}

} // namespace

namespace kelvadra {

int ellipsoid_by_code(int code, ellipsoid *out)
{
    for (const EllipsoidRow &row : kEllipsoids) {
        if (row.code == code) {
            out->a = row.a;
            out->f = row.f;
            return 1;
        }
    }
    return 0;
}

int ellipsoid_of_datum(int datum, ellipsoid *out)
{
    for (const DatumEllipsoid &row : kDatumEllipsoids) {
        if (row.datum == datum)
            return ellipsoid_by_code(row.ellipsoid, out);
    }
    return 0;
}

int datum_to_hub(int datum, datum_shift *out)
{
    for (const ShiftRow &row : kShifts) {
        if (row.datum == datum) {
            // The scale is the product with 1e-6 in double precision
            // (-0.0006 ppm is -5.999999999999999e-10, not -6e-10).
            *out = {row.dX, row.dY, row.dZ, mas_to_rad(row.wx_mas), mas_to_rad(row.wy_mas),
                mas_to_rad(row.wz_mas), row.dm_ppm * 1e-6};
            return 1;
        }
    }
    return 0;
}

int hub_to_datum(int datum, datum_shift *out)
{
    datum_shift s;
    if (!datum_to_hub(datum, &s))
        return 0;
    *out = negated(s);
    return 1;
}

int shift_between(int from, int to, datum_shift *out)
{
    if (from == to) {
        *out = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        return 1;
    }
    if (from == KV_DATUM_PZ9011)
        return hub_to_datum(to, out);
    if (to == KV_DATUM_PZ9011)
        return datum_to_hub(from, out);
    datum_shift first, second;
    if (!datum_to_hub(from, &first) || !hub_to_datum(to, &second))
        return 0;
    *out = compose_shifts(first, second);
    return 2;
}

datum_shift compose_shifts(const datum_shift &first, const datum_shift &second)
{
    // The second set's scale and rotation act on the first set's translation;
    // products of the second set's scale with its rotations are dropped.
    datum_shift r;
    r.wx = first.wx + second.wx;
    r.wy = first.wy + second.wy;
    r.wz = first.wz + second.wz;
    r.dm = first.dm + second.dm + first.dm * second.dm;
    r.dX
        = first.dX + second.dX + second.dm * first.dX + second.wz * first.dY - second.wy * first.dZ;
    r.dY
        = first.dY + second.dY + second.dm * first.dY - second.wz * first.dX + second.wx * first.dZ;
    r.dZ
        = first.dZ + second.dZ + second.dm * first.dZ + second.wy * first.dX - second.wx * first.dY;
    return r;
}

affine helmert_affine(const datum_shift &shift)
{
    const double s = 1.0 + shift.dm;
    affine a;
    a.matrix[0][0] = s;
    a.matrix[0][1] = s * shift.wz;
    a.matrix[0][2] = -s * shift.wy;
    a.matrix[1][0] = -s * shift.wz;
    a.matrix[1][1] = s;
    a.matrix[1][2] = s * shift.wx;
    a.matrix[2][0] = s * shift.wy;
    a.matrix[2][1] = -s * shift.wx;
    a.matrix[2][2] = s;
    a.vector[0] = shift.dX;
    a.vector[1] = shift.dY;
    a.vector[2] = shift.dZ;
    return a;
}

} // namespace kelvadra
