// The keys fit on two point lists: the last byte chooses list A's system, the
// models and the points left out, then list A up to a lone "\" and list B the
// rest. Whatever the lists, a fit is refused with a reason or its numbers hang
// together, and the report counts what it flags.
#include "Calculation.h"
#include "KeyFit.h"
#include "KeyFitReport.h"
#include "PointRow.h"
#include "scratch_file.h"

#include <QCoreApplication>
#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

PointRows rowsOf(const std::string &text)
{
    PointRows rows;
    for (const QString &line : QString::fromStdString(text).split(QLatin1Char('\n')))
        rows.append(PointRow::fromLine(line));
    return rows;
}

bool finite(const double *values, int n)
{
    return std::all_of(values, values + n, [](double v) { return std::isfinite(v); });
}

void check(const KeyFit::Result &r, const KeyFit::Matched &matched, const QString &base)
{
    require(r.points.size() == matched.points.size());
    require(finite(r.values, 6) && finite(r.dh, 3) && r.sigma >= 0 && r.heightSigma >= 0);
    int flagged = 0;
    for (const KeyFit::PointResult &p : r.points) {
        require(finite(p.v, 3) && std::isfinite(p.plane));
        require(!p.flaggedPosition || (p.looSigma >= 0 && p.looResidual > 0));
        require(!p.flaggedHeight || p.looHeightSigma >= 0);
        require(p.flagged == (p.flaggedPosition || p.flaggedHeight));
        flagged += p.flagged;
    }
    require(flagged == r.flagged);
    const QString text = KeyFit::report(r, matched, base);
    require(!text.contains(QStringLiteral("Подозрительных точек нет")) || flagged == 0);
    require(flagged == 0 || text.contains(QStringLiteral("Подозрительных точек: %1").arg(flagged)));
    require(KeyFit::doubts(r).isEmpty() || text.contains(QStringLiteral("Внимание: ")));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const auto choice = in.ConsumeIntegral<uint8_t>();
    const auto leftOut = in.ConsumeIntegral<uint8_t>();
    const PointRows a = rowsOf(in.ConsumeRandomLengthString());
    const PointRows b = rowsOf(in.ConsumeRemainingBytesAsString());
    static const char *const bases[] = {"gk:sk42:7", "utm:37n",
        "tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566", "gk:gsk2011:12"};
    const QString base = QString::fromLatin1(bases[choice & 3]);
    const auto plane = choice & 4 ? KeyFit::PlaneModel::Affine : KeyFit::PlaneModel::Similarity;
    const auto height = KeyFit::HeightModel((choice >> 3) % 3);
    Calculation::Side side;
    QString error;
    if (!KeyFit::baseSide(base, &side, &error))
        return 0;
    KeyFit::Matched matched;
    if (!KeyFit::match(a, b, side, height != KeyFit::HeightModel::None, &matched, &error)) {
        require(!error.isEmpty());
        return 0;
    }
    for (int i = 0; i < matched.points.size() && i < 8; ++i)
        matched.points[i].used = !(leftOut >> i & 1);
    KeyFit::Result result;
    if (!KeyFit::fit(matched.points, plane, height, &result, &error)) {
        require(!error.isEmpty());
        return 0;
    }
    check(result, matched, base);
    return 0;
}
