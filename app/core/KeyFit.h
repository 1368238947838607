// Keys of a local system from common points: points known both in a base plane
// system (list A: x northing, y easting, h) and in the local system (list B:
// X northing, Y easting, H), matched by name, give by least squares the plane
// keys and the height plane of LocalSystems:
//   similarity  X = dX + a x - b y,     Y = dY + b x + a y        (u = 4)
//   affine      X = dX + a1 x + a2 y,   Y = dY + b1 x + b2 y      (u = 6)
//   height      H = h + dh  (shift: the mean difference), or
//               H = h + dh + sx x + sy y  (inclined plane)
//
// Method: coordinates reduced to the centroid of the points in use (so the
// design matrix holds tens of kilometres, not millions of metres, and the
// shifts separate from the rest), then a column-pivoting Householder QR
// least-squares solve (Eigen) whose rank is checked; the shifts are put back
// from the centroids. Residuals are the fitted minus the given local values;
// σ = √(Σv² / (n − u)), n the number of coordinate equations.
//
// A point is flagged when its plane residual, from the fit without it, is
// more than 3 σ_p of that fit, σ_p = √2 σ the mean error of a plane position,
// or its height residual, from the height fit without it, more than 4 σH of
// that fit. σ is per coordinate: a plane residual of pure noise passes 3 σ with
// a probability of e^-4.5 (1 %), and 3 σ_p with e^-9 (0.01 %); a height, one
// coordinate, passes 3 σH with 0.3 % and 4 σH with 0.006 %, as rare as the
// plane's. Both before the prediction's own error and the spread of σ from
// few points, which raise them several times. A residual of 1 mm or less, the
// report's last digit, is never flagged: a fit of exact points has a σ of
// rounding only. Leaving the point out keeps a bad point from pulling the fit
// towards itself and hiding.
//
// The fits without each point are not solved again: from the one solution,
// the point's residual v and its block H of the hat matrix A (AᵀA)⁻¹ Aᵀ give
// the residual without it, (I − H)⁻¹ v, and that fit's sum of squares,
// Σv² − vᵀ (I − H)⁻¹ v (the leave-one-out identities of least squares). The
// whole fit is linear in the number of points.
#ifndef KEYFIT_H
#define KEYFIT_H

#include "LocalSystems.h"
#include "PointRow.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace Calculation {
struct Side;
}

namespace KeyFit {

enum class PlaneModel { Similarity, Affine };
enum class HeightModel { None, Shift, Plane };

// One common point: its base and local coordinates, metres.
struct Point
{
    QString name;
    double base[3] = {};  // x northing, y easting, h
    double local[3] = {}; // X, Y, H
    bool used = true;     // false: left out of the fit, its residual still shown
};

// The common points of two lists and what did not match.
struct Matched
{
    QVector<Point> points; // in the order of list A
    QStringList onlyA;     // names found in one list only
    QStringList onlyB;
};

// The side list A is read in: `base`, a written plane system (tm:, utm:, gk:
// with a zone number, no +egm96). False with *error in Russian otherwise.
bool baseSide(const QString &base, Calculation::Side *side, QString *error);

// Matches the rows of list A (in the base system `base`, read as its panel
// reads them; a UTM point is easting, northing and is turned to northing,
// easting) with those of list B (local X, Y, H) by their trimmed names;
// empty rows are skipped; names are compared in Unicode's composed form (NFC),
// so "Й" typed as one character or as "И" and a combining breve is one name.
// Heights are required only when `heights` (a blank
// height is 0 otherwise). Returns false, with *error one Russian line, when a
// name is repeated in a list (with its line numbers), a row with coordinates
// has no name, a point on both lists cannot be read (its line and the reason,
// a coordinate beyond 10 000 km among them), or the lists have no name in
// common (with a hint when a list's fields seem separated by blanks);
// *matched is then untouched. Line numbers are the files' lines: `first`
// gives the line of each list's first row.
struct FirstLines
{
    int a = 1; // 2 when the file's first line was a header, skipped
    int b = 1;
};
bool match(const PointRows &a, const PointRows &b, const Calculation::Side &base, bool heights,
    Matched *matched, QString *error, FirstLines first = FirstLines());

struct PointResult
{
    QString name;
    bool used = true;
    double v[3] = {}; // vX, vY, vH: fitted minus given, metres (vH 0 without a height model)
    double plane = 0; // √(vX² + vY²)
    // Leave-one-out: the plane residual from the fit without this point and
    // that fit's σ; negative when there is no such fit (too few points left,
    // or the rest on one line where the model needs a plane). For a point
    // left out they are its residual and σ of the fit.
    double looResidual = -1;
    double looSigma = -1;
    // The same for the height: |vH| without the point and that fit's σH.
    double looHeight = -1;
    double looHeightSigma = -1;
    bool flaggedPosition = false; // looResidual > flagLimit(looSigma)
    bool flaggedHeight = false;   // looHeight > heightFlagLimit(looHeightSigma)
    bool flagged = false;         // either
};

struct Result
{
    PlaneModel plane = PlaneModel::Similarity;
    HeightModel height = HeightModel::None;
    double values[6] = {}; // similarity dX, dY, a, b; affine dX, dY, a1, a2, b1, b2
    double dh[3] = {};     // dh, sx, sy
    int used = 0;          // points in the fit
    int dof = 0;           // plane degrees of freedom, 2n − u
    double sigma = 0;      // per coordinate, metres; meaningless when dof is 0
    int heightDof = 0;
    double heightSigma = 0;
    QVector<PointResult> points; // every point, in the order given
    int largest = -1;            // the point in use with the largest plane residual
    int flagged = 0;             // points flagged, in use or left out
    // The smaller singular value of the centred base points in use over the
    // larger: near 0 when they lie near one line (meaningful with two or more).
    double spread = 1;

    // Scale m = √(a² + b²) and rotation atan2(b, a) of a similarity (only).
    double scale() const;
    double rotationSeconds() const;
};

// The minimum number of points of a model (its parameters are determined).
int minimumPoints(PlaneModel plane, HeightModel height);

// Fits the points in use. Returns false, with *error one Russian line saying
// why and *result untouched, when a coordinate of a point is not finite or
// beyond 10 000 km, too few points are in use, two of them coincide (in list A or list B, within 1
// mm), all lie on one line where the model needs a plane (affine keys, an inclined height plane),
// or the equations are otherwise rank deficient. Linear in the number of points (100 000 take well
// under a second).
bool fit(const QVector<Point> &points, PlaneModel plane, HeightModel height, Result *result,
    QString *error);

// Below this spread the points are taken as near one line: across it the
// keys (affine, an inclined height plane) are extrapolated by the ratio's
// inverse, a 1 cm error growing to 10 m at the area's own size.
const double weakSpread = 1e-3;

// Why the keys are unchecked or unreliable though fitted, one Russian line
// each: no redundant equations for the plane or the heights, or the points
// near one line where the model needs a plane. Empty when there is nothing to
// doubt; saving such keys needs the user's explicit choice.
QStringList doubts(const Result &result);

// The fit as a local system named `name` over `base` (a written form).
LocalSystems::System toSystem(const Result &result, const QString &base, const QString &name);

// The residual past which a point is flagged, from the σ of the fit without
// it: 3 √2 σ for the plane position, 4 σH for the height.
double flagLimit(double sigma);
double heightFlagLimit(double sigmaH);

} // namespace KeyFit

#endif // KEYFIT_H
