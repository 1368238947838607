// Ellipsoid and datum-shift tables, shifts between datums through PZ 90.11,
// and the affine form of a shift.
#include "kelvadra_internal.h"

#include <gtest/gtest.h>
#include <proj.h>

#include <cmath>
#include <sstream>
#include <string>

using namespace kelvadra;

namespace {

const double kMas = 4.84813681109536e-9; // radians per milliarcsecond

struct Row
{
    int datum;
    double dX, dY, dZ;    // metres
    double wx, wy, wz;    // milliarcseconds
    double ppm;           // parts per million
};

// The published parameters of each datum into PZ 90.11.
const Row kRows[] = {
    {42, +23.557, -140.844, -79.778, -2.30, -346.46, -794.21, -0.228},
    {95, +24.457, -130.784, -81.538, -2.30, +3.54, -134.21, -0.228},
    {90, -1.443, +0.156, +0.222, -2.30, +3.54, -134.21, -0.228},
    {9002, -0.373, +0.186, +0.202, -2.30, +3.54, -4.21, -0.008},
    {84, -0.013, +0.106, +0.022, -2.30, +3.54, -4.21, -0.008},
    {2011, 0, +0.014, -0.008, -0.562, -0.019, +0.053, -0.0006},
    {2008, +0.003, +0.001, 0, -0.019, +0.042, -0.002, 0},
    {9011, 0, 0, 0, 0, 0, 0, 0},
};

datum_shift fromRow(const Row &r)
{
    return {r.dX, r.dY, r.dZ, r.wx * kMas, r.wy * kMas, r.wz * kMas, r.ppm * 1e-6};
}

datum_shift negated(const datum_shift &s)
{
    return {-s.dX, -s.dY, -s.dZ, -s.wx, -s.wy, -s.wz, -s.dm};
}

void expectSameShift(const datum_shift &got, const datum_shift &want, const std::string &what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(got.dX, want.dX);
    EXPECT_EQ(got.dY, want.dY);
    EXPECT_EQ(got.dZ, want.dZ);
    EXPECT_EQ(got.wx, want.wx);
    EXPECT_EQ(got.wy, want.wy);
    EXPECT_EQ(got.wz, want.wz);
    EXPECT_EQ(got.dm, want.dm);
}

const datum_shift kSentinel = {1, 2, 3, 4, 5, 6, 7};

} // namespace

TEST(Ellipsoids, ByDatum)
{
    struct Case
    {
        int datum;
        double a, inverseFlattening;
    };
    const Case cases[] = {
        {42, 6378245, 298.3},         {95, 6378245, 298.3},
        {84, 6378137, 298.257223563}, {90, 6378136, 298.25784},
        {9002, 6378136, 298.25784},   {9011, 6378136, 298.25784},
        {2008, 6378137, 298.257222101}, {2011, 6378136.5, 298.2564151},
    };
    for (const Case &c : cases) {
        ellipsoid e = {-1, -1};
        ASSERT_EQ(ellipsoid_of_datum(c.datum, &e), 1) << c.datum;
        EXPECT_EQ(e.a, c.a) << c.datum;
        // The nearest double to 1/rf and the quotient 1.0/rf may differ by one
        // unit in the last place (WGS 84); anything more is a wrong constant.
        EXPECT_NEAR(e.f, 1.0 / c.inverseFlattening, 5e-19) << c.datum;
    }
    // 80 is an ellipsoid code, not a datum code.
    for (int datum : {0, 1, 80, 1234, -42}) {
        ellipsoid e = {-1, -1};
        EXPECT_EQ(ellipsoid_of_datum(datum, &e), 0) << datum;
        EXPECT_EQ(e.a, -1);
        EXPECT_EQ(e.f, -1);
    }
    for (int code : {42, 80, 84, 90, 2011}) {
        ellipsoid e = {0, 0};
        EXPECT_EQ(ellipsoid_by_code(code, &e), 1) << code;
        EXPECT_GT(e.a, 6378000);
    }
    for (int code : {0, 95, 9011, 2008}) {
        ellipsoid e = {-1, -1};
        EXPECT_EQ(ellipsoid_by_code(code, &e), 0) << code;
        EXPECT_EQ(e.a, -1);
    }
}

TEST(DatumShifts, TableRowsInRadiansAndScale)
{
    for (const Row &r : kRows) {
        const std::string name = "datum " + std::to_string(r.datum);
        datum_shift to = kSentinel, from = kSentinel;
        ASSERT_EQ(datum_to_hub(r.datum, &to), 1) << name;
        ASSERT_EQ(hub_to_datum(r.datum, &from), 1) << name;
        expectSameShift(to, fromRow(r), name + " to hub");
        expectSameShift(from, negated(fromRow(r)), name + " from hub");
    }
    datum_shift gsk = kSentinel;
    ASSERT_EQ(datum_to_hub(2011, &gsk), 1);
    EXPECT_EQ(gsk.dm, -5.999999999999999e-10);
    EXPECT_EQ(gsk.wx, -2.7246528878355925e-09);

    for (int datum : {0, 80, 1234}) {
        datum_shift s = kSentinel;
        EXPECT_EQ(datum_to_hub(datum, &s), 0) << datum;
        EXPECT_EQ(hub_to_datum(datum, &s), 0) << datum;
        expectSameShift(s, kSentinel, "untouched");
    }
}

TEST(DatumShifts, ShiftBetweenResults)
{
    const datum_shift identity = {0, 0, 0, 0, 0, 0, 0};
    const datum_shift wgs = fromRow(kRows[4]);
    struct Case
    {
        int from, to, result;
        bool checkValue;
        datum_shift expected;
    };
    const Case cases[] = {
        {84, 84, 1, true, identity},
        {1234, 1234, 1, true, identity}, // equal codes need no table
        {84, 9011, 1, true, wgs},
        {9011, 84, 1, true, negated(wgs)},
        {9011, 9011, 1, true, identity},
        {42, 84, 2, false, identity},
        {2011, 2008, 2, false, identity},
        {42, 1234, 0, false, identity},
        {1234, 42, 0, false, identity},
        {9011, 1234, 0, false, identity},
        {1234, 9011, 0, false, identity},
        {0, 84, 0, false, identity},
    };
    for (const Case &c : cases) {
        const std::string name = std::to_string(c.from) + " -> " + std::to_string(c.to);
        datum_shift s = kSentinel;
        EXPECT_EQ(shift_between(c.from, c.to, &s), c.result) << name;
        if (c.result == 0)
            expectSameShift(s, kSentinel, name + " untouched");
        if (c.checkValue)
            expectSameShift(s, c.expected, name);
    }
}

TEST(DatumShifts, ComposedThroughTheHub)
{
    const datum_shift p42 = fromRow(kRows[0]);
    const datum_shift w84 = fromRow(kRows[4]);
    datum_shift s = kSentinel, back = kSentinel;
    ASSERT_EQ(shift_between(42, 84, &s), 2);
    ASSERT_EQ(shift_between(84, 42, &back), 2);

    EXPECT_EQ(s.wx, 0.0); // equal rows cancel exactly
    EXPECT_EQ(s.wy, p42.wy + -w84.wy);
    EXPECT_EQ(s.wz, p42.wz + -w84.wz);
    EXPECT_EQ(s.dm, p42.dm + -w84.dm + p42.dm * -w84.dm);
    // Translations: the difference of the rows plus cross terms under 1 mm.
    EXPECT_NEAR(s.dX, 23.557 + 0.013, 1e-3);
    EXPECT_NEAR(s.dY, -140.844 - 0.106, 1e-3);
    EXPECT_NEAR(s.dZ, -79.778 - 0.022, 1e-3);
    EXPECT_NE(s.dX, 23.557 + 0.013) << "the cross terms are missing";

    // Each direction is composed on its own: negation holds to first order only.
    EXPECT_EQ(back.wy, -s.wy);
    EXPECT_NE(back.dm, -s.dm);
    EXPECT_NEAR(back.dm, -s.dm, 1e-14); // they differ by 2 m1 m2
    EXPECT_NEAR(back.dX, -s.dX, 1e-5);
    EXPECT_NE(back.dX + s.dX, 0.0);

    datum_shift s95 = kSentinel;
    ASSERT_EQ(shift_between(95, 84, &s95), 2);
    EXPECT_EQ(s95.wx, 0.0);
    EXPECT_EQ(s95.wy, 0.0);
}

// The composed set must move points like the two sets applied in turn, to
// first order. Translations of 100 km against rotations and scale of 1e-6
// make each cross term about 0.1 m while the dropped second-order terms stay
// near 1e-5 m, so a wrong sign or a missing term shows.
TEST(DatumShifts, ComposeMatchesApplyingInTurn)
{
    const datum_shift first = {1.0e5, -2.0e5, 1.5e5, 1.0e-6, -2.0e-6, 1.5e-6, 2.0e-6};
    const datum_shift second = {-3.0e5, 1.0e5, 0.5e5, -1.2e-6, 0.8e-6, 2.1e-6, -1.5e-6};
    const datum_shift both = compose_shifts(first, second);
    EXPECT_EQ(both.dm, first.dm + second.dm + first.dm * second.dm);
    EXPECT_EQ(both.wz, first.wz + second.wz);

    const affine a1 = helmert_affine(first), a2 = helmert_affine(second);
    const affine a12 = helmert_affine(both);
    const double points[][3] = {
        {2.8e6, 2.2e6, 5.2e6}, {-4.0e6, 3.0e6, -3.5e6}, {6.4e6, 0, 0}, {0, 0, -6.36e6}};
    for (const auto &p : points) {
        double mid[3], twoSteps[3], oneStep[3];
        affine_apply(a1, p, mid);
        affine_apply(a2, mid, twoSteps);
        affine_apply(a12, p, oneStep);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(oneStep[i], twoSteps[i], 1e-4) << "axis " << i;
    }
}

TEST(DatumShifts, HelmertAffine)
{
    const affine unit = helmert_affine({0, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(unit.vector[i], 0.0);
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(unit.matrix[i][j], i == j ? 1.0 : 0.0) << i << "," << j;
    }

}

// PROJ's linearised Helmert in the coordinate-frame convention is the same
// transformation as the tables' sign convention: agreement within 10 um
// (conversion of units rounds differently) checks every sign.
TEST(DatumShifts, MatchesProjHelmert)
{
    PJ_CONTEXT *ctx = proj_context_create();
    for (const Row &r : kRows) {
        // An ostringstream formats in the classic locale whatever the C locale is.
        std::ostringstream def;
        def.precision(17);
        def << "+proj=helmert +x=" << r.dX << " +y=" << r.dY << " +z=" << r.dZ
            << " +rx=" << r.wx / 1000 << " +ry=" << r.wy / 1000 << " +rz=" << r.wz / 1000
            << " +s=" << r.ppm << " +convention=coordinate_frame";
        PJ *pj = proj_create(ctx, def.str().c_str());
        ASSERT_NE(pj, nullptr) << def.str();
        datum_shift s;
        ASSERT_EQ(datum_to_hub(r.datum, &s), 1);
        const affine a = helmert_affine(s);
        const double p[3] = {2845455.0, 2160954.0, 5265993.0};
        double got[3];
        affine_apply(a, p, got);
        const PJ_COORD want = proj_trans(pj, PJ_FWD, proj_coord(p[0], p[1], p[2], 0));
        EXPECT_NEAR(got[0], want.xyz.x, 1e-5) << r.datum;
        EXPECT_NEAR(got[1], want.xyz.y, 1e-5) << r.datum;
        EXPECT_NEAR(got[2], want.xyz.z, 1e-5) << r.datum;
        proj_destroy(pj);
    }
    proj_context_destroy(ctx);
}
