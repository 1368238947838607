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
// more than 3 σ_p of that fit, σ_p = √2 σ the mean error of a plane position.
// σ is per coordinate: a plane residual of pure noise passes 3 σ with a
// probability of e^-4.5 (1 %), and 3 σ_p with e^-9 (0.01 %), both before the
// prediction's own error and the spread of σ from few points, which raise them
// several times. A residual of 1 mm or less, the report's last digit, is never
// flagged: a fit of exact points has a σ of rounding only. Leaving the point
// out keeps a bad point from pulling the fit towards itself and hiding.
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
// empty rows are skipped. Heights are required only when `heights` (a blank
// height is 0 otherwise). Returns false, with *error one Russian line, when a
// name is repeated in a list (with its line numbers), a row with coordinates
// has no name, or a point on both lists cannot be read (its line and the
// reason); *matched is then untouched.
bool match(const PointRows &a, const PointRows &b, const Calculation::Side &base, bool heights,
    Matched *matched, QString *error);

struct PointResult
{
    QString name;
    bool used = true;
    double v[3] = {}; // vX, vY, vH: fitted minus given, metres (vH 0 without a height model)
    double plane = 0; // √(vX² + vY²)
    // Leave-one-out: the plane residual from the fit without this point and
    // that fit's σ; negative when there is no such fit (too few points left).
    double looResidual = -1;
    double looSigma = -1;
    bool flagged = false;
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
    int flagged = 0;             // points flagged

    // Scale m = √(a² + b²) and rotation atan2(b, a) of a similarity (only).
    double scale() const;
    double rotationSeconds() const;
};

// The minimum number of points of a model (its parameters are determined).
int minimumPoints(PlaneModel plane, HeightModel height);

// Fits the points in use. Returns false, with *error one Russian line saying
// why and *result untouched, when too few points are in use, two of them
// coincide (in list A or list B, within 1 mm), all lie on one line where the
// model needs a plane (affine keys, an inclined height plane), or the
// equations are otherwise rank deficient.
bool fit(const QVector<Point> &points, PlaneModel plane, HeightModel height, Result *result,
    QString *error);

// The report: parameters, residuals per point with the flags, σ and the
// largest residual, and the unmatched names; Russian, UTF-8, "." as the
// decimal point in every locale.
QString report(const Result &result, const Matched &matched, const QString &base);

// The fit as a local system named `name` over `base` (a written form).
LocalSystems::System toSystem(const Result &result, const QString &base, const QString &name);

// The residual past which a point is flagged, from the σ of the fit without
// it: 3 √2 σ.
double flagLimit(double sigma);

// "1 точки", "5 точек", "21 точки" (genitive, after "из").
QString pointsGenitive(int n);

} // namespace KeyFit

#endif // KEYFIT_H
