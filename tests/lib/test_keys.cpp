// Plane keys of local systems and Transverse Mercator systems of any parameters.
#include "kelvadra_internal.h"
#include "proj_reference.h"
#include "test_util.h"

#include <cmath>
#include <tuple>
#include <utility>

using namespace kelvadra;

namespace {

plane_keys keys(double dx, double dy, double a1, double a2, double b1, double b2)
{
    return {dx, dy, a1, a2, b1, b2, 12.5, 1e-5, -1e-5};
}

// Scale 1 + ppm·1e-6, rotation in arc-seconds; `shear` makes it affine (a1 != b2).
plane_keys similarity(double dx, double dy, double ppm, double seconds, double shear = 0)
{
    const double m = 1 + ppm * 1e-6, t = seconds * kPi / 648000;
    return keys(
        dx, dy, m * std::cos(t) + shear, -m * std::sin(t), m * std::sin(t), m * std::cos(t));
}

// Forward then inverse (also in place) within 1e-9 m (each direction rounds once, 4.7e-10 m at
// 7.4e6 m); off the round trip, 1e-9 m against long double, which an iteration would not reach.
TEST(PlaneKeys, ForwardInverseAndOracle)
{
    const plane_keys cases[] = {similarity(-5.99e6, -7.4e6, 100, 3),
        similarity(12000, -34000, -100, 10800), similarity(-5.6e6, -7.7e6, 40, -7200, 3e-5),
        similarity(250, -80, -100, 1, -2e-5), keys(-1e6, -8e6, 0.7, -0.7, 0.6, 0.8)};
    const double points[][3] = {{6000123.456, 7400456.789, 150.0}, {12.25, -3.5, -20.0},
        {5998765.4321, 7412345.678, 2500.0}};
    for (const plane_keys &k : cases) {
        for (const auto &p : points) {
            double loc[3], base[3], same[3] = {p[0], p[1], p[2]}, off[3];
            const double moved[3] = {p[0] + 0.123, p[1] - 0.456, p[2] + 7.0};
            ASSERT_TRUE(plane_keys_forward(p, &k, loc) && plane_keys_inverse(loc, &k, base)
                && plane_keys_forward(same, &k, same) && plane_keys_inverse(same, &k, same)
                && plane_keys_inverse(moved, &k, off));
            const long double a = k.a1, b = k.b1, x = p[0], y = p[1];
            const bool similar = k.a2 == -k.b1 && k.a1 == k.b2;
            long double m[2][3] = {{k.a1, k.a2, moved[0] - (long double)k.dx},
                {k.b1, k.b2, moved[1] - (long double)k.dy}};
            if (std::fabs(k.b1) > std::fabs(k.a1))
                std::swap(m[0], m[1]); // partial pivoting
            const long double f = m[1][0] / m[0][0];
            const long double ey = (m[1][2] - f * m[0][2]) / (m[1][1] - f * m[0][1]);
            const long double ex = (m[0][2] - m[0][1] * ey) / m[0][0];
            const double want[3]
                = {double(ex), double(ey), double(moved[2] - k.dh - k.sx * ex - k.sy * ey)};
            for (int i = 0; i < 3; ++i)
                EXPECT_TRUE(std::fabs(base[i] - p[i]) <= 1e-9 && same_bits(&same[i], &base[i])
                    && std::fabs(off[i] - want[i]) <= 1e-9)
                    << k.a1 << " at " << p[0] << ", " << i << ": " << base[i] - p[i] << " "
                    << off[i] - want[i];
            EXPECT_TRUE(!similar
                || (std::fabs(double(k.dx + a * x - b * y - loc[0])) <= 1e-9
                    && std::fabs(double(k.dy + b * x + a * y - loc[1])) <= 1e-9))
                << "similarity " << k.a1 << ", " << k.b1;
        }
    }
}

// Each refusal at its edge, a refused call writing nothing. a1 = 2 takes
// x = DBL_MAX beyond the double range forward; its inverse halves it.
TEST(PlaneKeys, Refusals)
{
    const double below = std::nextafter(1e-6, 0.0);
    const std::tuple<plane_keys, double, double, bool> cases[] = {
        {keys(0, 0, 1e-6, 0, 0, 1), 6e6, 0, true}, {keys(0, 0, below, 0, 0, 1), 6e6, 0, false},
        {keys(0, 0, 0, -1e-6, 1, 0), 6e6, 0, true}, {keys(0, 0, 0, -below, 1, 0), 6e6, 0, false},
        {keys(0, 0, -1, 0, 0, 1), 6e6, 0, true}, {keys(kNaN, 0, 1, 0, 0, 1), 6e6, 0, false},
        {keys(0, 0, 1, kInf, 0, 1), 6e6, 0, false}, {keys(0, 0, DBL_MAX, 0, 0, 1), 6e6, 0, false},
        {keys(0, 0, 1, 0, 0, 1), 6e6, kNaN, false}, {keys(0, 0, 1, 0, 0, 1), -kInf, 0, false},
        {keys(0, 0, 1, 0, 0, 1), DBL_MAX, 0, true}, {keys(0, 0, 2, 0, 0, 1), DBL_MAX, 0, false}};
    for (const auto &[k, x, h, ok] : cases) {
        const double in[3] = {x, 7.4e6, h}, untouched[3] = {1, 2, 3};
        double fwd[3] = {1, 2, 3}, inv[3] = {1, 2, 3};
        const int okF = plane_keys_forward(in, &k, fwd), okI = plane_keys_inverse(in, &k, inv);
        const bool keysOk = ok || k.a1 == 2 || !std::isfinite(x * h);
        EXPECT_TRUE(okF == ok && okI == (ok || k.a1 == 2) && check_plane_keys(&k) == keysOk
            && (okF || same_bits(fwd, untouched, 3)) && (okI || same_bits(inv, untouched, 3)))
            << k.a1 << " " << k.a2 << " " << x << " " << h << ": " << okF << okI;
    }
    plane_keys k = keys(0, 0, 1, 0, 0, 1), unset;
    invalidate_plane_keys(&unset);
    invalidate_plane_keys(nullptr);
    double p[3] = {1, 2, 3};
    EXPECT_EQ(check_plane_keys(&unset) + check_plane_keys(nullptr)
            + plane_keys_forward(p, &unset, p) + plane_keys_forward(nullptr, &k, p)
            + plane_keys_forward(p, nullptr, p) + plane_keys_inverse(p, &k, nullptr)
            + plane_keys_inverse(nullptr, &k, p),
        0);
    EXPECT_TRUE(unset.sy == DBL_MAX && unset.dx == DBL_MAX && p[0] == 1);
}

// One parameter of a regional system on SK-42 changed at a time; a refusal leaves the record.
TEST(SetupTm, LimitsAndRecord)
{
    const double msk[6] = {42, 37.98333333333, 0, 1, 2250000, -5712900.566};
    const std::tuple<int, double, bool> cases[] = {{0, 2011, 1}, {0, 43, 0}, {0, 0, 0}, {1, 180, 1},
        {1, -180, 1}, {1, 180.0000001, 0}, {1, -180.0000001, 0}, {2, 89.999999, 1},
        {2, -89.999999, 1}, {2, 90, 0}, {2, -90, 0}, {3, 0.9, 1}, {3, 1.1, 1}, {3, 0.8999999, 0},
        {3, 1.1000001, 0}, {3, 0, 0}, {3, -1, 0}, {4, 1e8, 1}, {4, -1.0000001e8, 0},
        {4, 1.0000001e8, 0}, {5, -1e8, 1}, {5, 1.0000001e8, 0}, {5, -1.0000001e8, 0}, {1, kNaN, 0},
        {2, kInf, 0}, {3, kNaN, 0}, {4, -kInf, 0}, {5, kNaN, 0}};
    for (const auto &[field, value, valid] : cases) {
        double v[6] = {msk[0], msk[1], msk[2], msk[3], msk[4], msk[5]};
        v[field] = value;
        refsystem rs, before;
        setup_utm(37, 2, &rs);
        before = rs;
        const int ok = setup_tm(int(v[0]), v[1], v[2], v[3], v[4], v[5], &rs);
        const tm_projection &p = rs.projection;
        EXPECT_TRUE(valid ? ok && check_refsystem(&rs) && rs.type == KV_TYPE_PROJECTED
                    && rs.datum == v[0] && rs.axis_order == KV_AXES_NORTHING_EASTING
                    && rs.hemisphere == KV_HEMISPHERE_NORTH && rs.zone == -1
                    && rs.origin[0] == DBL_MAX && p.scale_factor == v[3] && p.false_easting == v[4]
                    && p.false_northing == v[5]
                    && std::fabs(p.central_meridian - v[1] * kPi / 180) <= 1e-15
                    && std::fabs(p.origin_latitude - v[2] * kPi / 180) <= 1e-15
                          : !ok && std::memcmp(&rs, &before, sizeof rs) == 0)
            << "field " << field << " = " << value;
    }
    EXPECT_EQ(setup_tm(42, 0, 0, 1, 0, 0, nullptr), 0);
}

// The library's TM series against PROJ's tmerc (the same series), inside 3° of the meridian: on
// SK-42 from SK-42 and WGS 84, on GSK 2011 off the equator, from SK-95. 1 um on one datum (the
// series agree to nanometres); across datums the datum shift's 0.1 mm.
TEST(SetupTm, AgainstProj)
{
    const std::tuple<int, int, double, double, double, double, double> cases[]
        = {{42, 42, 37.98333333333, 0, 1, 2250000, -5712900.566},
            {42, 84, 37.98333333333, 0, 1, 2250000, -5712900.566},
            {2011, 2011, 44.55, 55.5, 0.9999, 1300000, -4511057.63},
            {2011, 95, 44.55, 55.5, 0.9999, 1300000, -4511057.63}};
    for (const auto &[datum, from, cm, lat0, k, fe, fn] : cases) {
        refsystem tm, geod;
        transform t;
        ASSERT_TRUE(setup_tm(datum, cm, lat0, k, fe, fn, &tm) && setup_geod(from, &geod)
            && initialize_transform(&geod, &tm, &t));
        const projref::Transformation proj(projref::pipeline(geod, tm));
        for (double lat = 41; lat <= 81; lat += 8) {
            for (double dl = -3; dl <= 3; dl += 1.5) {
                double p[3] = {lat, cm + dl, 180.0}, q[3] = {lat, cm + dl, 180.0};
                ASSERT_TRUE(transform_coords(p, &t, p) && proj.forward(q)) << lat << ", " << dl;
                EXPECT_LE(projref::distance_m(KV_TYPE_PROJECTED, p, q), datum == from ? 1e-6 : 1e-4)
                    << datum << " from " << from << " at " << lat << ", " << cm + dl;
            }
        }
    }
}

} // namespace
