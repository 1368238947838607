// Conversions without the general Transverse Mercator (national zone series,
// datum shifts, geocentric and local forms) give these recorded bits: any
// change to their arithmetic, a reordered sum included, shows here. Inputs
// include longitudes beyond +-180 deg and both ends of that range.
#include "kelvadra_internal.h"
#include "test_util.h"

#include <array>
#include <tuple>
#include <vector>

using namespace kelvadra;

namespace {

using Points = std::vector<std::array<double, 3>>;

TEST(FixedBits, ConversionsWithoutTheGeneralTransverseMercator)
{
    refsystem geod42, geod84, geod95, geoc9011, local42;
    refsystem sk42Auto, sk42North, sk95Auto, sk42Zone7, sk42Zone8, sk95Zone7;
    const double origin[3] = {0.97, 0.65, 180.0}; // radians, metres
    ASSERT_EQ(setup_geod(KV_DATUM_PULKOVO42, &geod42) + setup_geod(KV_DATUM_WGS84, &geod84)
            + setup_geod(KV_DATUM_PULKOVO95, &geod95) + setup_geoc(KV_DATUM_PZ9011, &geoc9011)
            + setup_lsr(KV_DATUM_PULKOVO42, origin, &local42) + setup_sk42(0, 0, &sk42Auto)
            + setup_sk42(0, 1, &sk42North) + setup_sk95(0, 0, &sk95Auto)
            + setup_sk42(7, 1, &sk42Zone7) + setup_sk42(8, 1, &sk42Zone8)
            + setup_sk95(7, 1, &sk95Zone7),
        11);
    const Points geodetic = {{0x1.bep+5, 0x1.2cf5c28f5c28fp+5, 0x1.2cp+7},
        {-0x1.0f33333333333p+5, 0x1.2e66666666666p+7, 0x1.4p+3},
        {0x1.08p+6, -0x1.589999999999ap+7, 0x1.4p+2}, {0x1.bep+5, 0x1.8d9eb851eb852p+8, 0x1.2cp+7},
        {0x1.ep+5, 0x1.68p+7, 0x0p+0}, {0x1.ep+5, -0x1.68p+7, 0x0p+0}};
    // SK-42 zone per point of `geodetic`, read back in the second case.
    const Points sk42 = {{0x1.794d0c5ab8515p+22, 0x1.c479827aa8f1bp+22, 0x1.2cp+7},
        {0x1.7d384481d2b0cp+22, 0x1.91d13b8bfa9b3p+24, 0x1.4p+3},
        {0x1.befee99cdbaf6p+22, 0x1.ef02904381891p+24, 0x1.4p+2},
        {0x1.794d0c5ab8515p+22, 0x1.c479827aa8f1cp+22, 0x1.2cp+7},
        {0x1.965f03ddde98bp+22, 0x1.d3f26489e9bccp+24, 0x0p+0},
        {0x1.965f03ddde98bp+22, 0x1.d3f26489e9bccp+24, 0x0p+0}};
    const Points zone7 = {{0x1.794d0c5ab8515p+22, 0x1.c479827aa8f1bp+22, 0x1.2cp+7},
        {0x1.d776a8f602e98p+22, 0x1.bbb3bab0743ecp+22, 0x1.77p+11},
        {0x1.593e5c7adb393p+22, 0x1.bce93da306156p+22, 0x0p+0}};
    const Points local = {{0x1.72a4942d7f58p+14, 0x1.2e231dab64828p+14, -0x1.9d42e6a37p+6},
        {0x1.279761bb887dbp+22, -0x1.8f8fd88a6f723p+17, -0x1.4061a744ef418p+23},
        {0x1.392ab59342e14p+20, 0x1.3b6d75432c3bep+22, -0x1.5c975443fb939p+21},
        {0x1.72a4942d7f58p+14, 0x1.2e231dab64828p+14, -0x1.9d42e6a37p+6},
        {0x1.d861c4c192c64p+20, 0x1.3f2601acc7ce2p+22, -0x1.8e99f45e1a56bp+21},
        {0x1.d861c4c192c62p+20, 0x1.3f2601acc7ce2p+22, -0x1.8e99f45e1a56cp+21}};
    const std::tuple<const char *, const refsystem &, const refsystem &, const Points &,
        const Points>
        cases[] = {
            {"SK-42 geodetic -> SK-42 zone per point", geod42, sk42Auto, geodetic, sk42},
            {"SK-42 zone per point -> SK-42 geodetic", sk42North, geod42, sk42,
                {{0x1.bdffffffb9fap+5, 0x1.2cf5c28f621b3p+5, 0x1.2cp+7},
                    {0x1.c271001ab9fc8p+5, 0x1.2c9ea4033f788p+7, 0x1.4p+3},
                    {0x1.07ffffffec8acp+6, 0x1.7766666668f1dp+7, 0x1.4p+2},
                    {0x1.bdffffffb9fap+5, 0x1.2cf5c28f621b4p+5, 0x1.2cp+7},
                    {0x1.dfffffffc0058p+5, 0x1.67fffffffb086p+7, 0x0p+0},
                    {0x1.dfffffffc0058p+5, 0x1.67fffffffb086p+7, 0x0p+0}}},
            {"WGS 84 geodetic -> SK-95 zone per point", geod84, sk95Auto, geodetic,
                {{0x1.794ce88495a6fp+22, 0x1.c47b53446d127p+22, 0x1.1e0fb200c8p+7},
                    {0x1.7d3a12789001ap+22, 0x1.91d0cf37a4624p+24, -0x1.23282cbacp+6},
                    {0x1.beff58da43394p+22, 0x1.ef020a2d4bf99p+24, -0x1.a9dc4e7f8p+4},
                    {0x1.794ce88495a6fp+22, 0x1.c47b53446d127p+22, 0x1.1e0fb200c8p+7},
                    {0x1.965f30a8c7a73p+22, 0x1.d3f1def1483c6p+24, -0x1.9c1e9e9b8p+4},
                    {0x1.965f30a8c7a73p+22, 0x1.d3f1def1483c6p+24, -0x1.9c1e9e9b8p+4}}},
            {"SK-42 zone 7 -> SK-42 zone 8", sk42Zone7, sk42Zone8, zone7,
                {{0x1.7ac187cb22342p+22, 0x1.ea8ab685a9c82p+22, 0x1.2cp+7},
                    {0x1.d98b5c648e91ap+22, 0x1.ea8dcec1d3ffap+22, 0x1.77p+11},
                    {0x1.5b57a48c70726p+22, 0x1.e04558481a394p+22, 0x0p+0}}},
            {"SK-95 zone 7 -> SK-42 geodetic", sk95Zone7, geod42, zone7,
                {{0x1.be0008ef58997p+5, 0x1.2cf5cdc5fb19ep+5, 0x1.30dbafc33p+7},
                    {0x1.1600060cef0fp+6, 0x1.08cd20ff33b4bp+5, 0x1.7711e5f41d8p+11},
                    {0x1.98000ba357844p+5, 0x1.1ffffd7762f1ep+5, 0x1.6b8b993ep+1}}},
            {"SK-42 geodetic -> WGS 84 geodetic", geod42, geod84, geodetic,
                {{0x1.be001657706b6p+5, 0x1.2cf1ebfcd40f3p+5, 0x1.35159c1818p+7},
                    {-0x1.0f3534c8791b5p+5, 0x1.2e6726342d8efp+7, 0x1.61a8719a6p+6},
                    {0x1.07ffdb2db0f3ep+6, -0x1.5897dcb295388p+7, 0x1.395253804p+5},
                    {0x1.be001657706b6p+5, 0x1.2cf1ebfcd40f3p+5, 0x1.35159c1818p+7},
                    {0x1.dfffe22480906p+5, -0x1.67fe982717486p+7, 0x1.bc42f6d34p+4},
                    {0x1.dfffe22480906p+5, -0x1.67fe982717486p+7, 0x1.bc42f6d34p+4}}},
            {"SK-95 geodetic -> PZ 90.11 geocentric", geod95, geoc9011, geodetic,
                {{0x1.5be485e991d68p+21, 0x1.0c16ca7ae28e6p+21, 0x1.405f01a5ecfeap+22},
                    {-0x1.1b729d4ee3e85p+22, 0x1.37a37b74d4abfp+21, -0x1.afcf93e7d8177p+21},
                    {-0x1.3ab46d01d13c8p+21, -0x1.5487dd49fcb0ap+18, 0x1.623f0b092f28cp+22},
                    {0x1.5be485e991d67p+21, 0x1.0c16ca7ae28e6p+21, 0x1.405f01a5ecfeap+22},
                    {-0x1.864663d02465ap+21, -0x1.09d9eb6ff95dcp+7, 0x1.4fb92afbd78d6p+22},
                    {-0x1.864663d02465ap+21, -0x1.09d9eb700017cp+7, 0x1.4fb92afbd78d6p+22}}},
            {"SK-42 local -> WGS 84 geodetic", local42, geod84, local,
                {{0x1.be001657706b5p+5, 0x1.2cf1ebfcd40f2p+5, 0x1.35159c182p+7},
                    {-0x1.0f3534c8791b6p+5, 0x1.2e6726342d8efp+7, 0x1.61a8719a7p+6},
                    {0x1.07ffdb2db0f3ep+6, -0x1.5897dcb295387p+7, 0x1.395253806p+5},
                    {0x1.be001657706b5p+5, 0x1.2cf1ebfcd40f2p+5, 0x1.35159c182p+7},
                    {0x1.dfffe2248090ap+5, -0x1.67fe982717486p+7, 0x1.bc42f6d38p+4},
                    {0x1.dfffe22480908p+5, -0x1.67fe982717486p+7, 0x1.bc42f6d34p+4}}},
        };
    for (const auto &[name, from, to, in, out] : cases) {
        transform t;
        ASSERT_EQ(initialize_transform(&from, &to, &t), 1) << name;
        ASSERT_EQ(in.size(), out.size()) << name;
        for (size_t i = 0; i < in.size(); ++i) {
            const double *p = in[i].data(), *want = out[i].data();
            double q[3] = {0, 0, 0};
            EXPECT_TRUE(transform_coords(p, &t, q) && same_bits(q, want, 3))
                << name << " at " << p[0] << ", " << p[1] << ": " << q[0] - want[0] << ", "
                << q[1] - want[1] << ", " << q[2] - want[2];
        }
    }
}

} // namespace
