#pragma once
// The four-parameter logistic curve behind every probability of the assembly
// simulation (establishment, dispersal, density, age, site inertia), and the
// random draws of its centre and slope.
#include "shell/abort.h"
#include "testing/random.h"

namespace kalios {

// Raised when a curve value is not a number, so that a simulation study ends
// through the abort path (numerical code) with its files closed; what() holds
// the text shown to the user.
class LogisticNaNError : public AbortError {
 public:
  LogisticNaNError() : AbortError(kAbortOutOfMemory, "Logistic function returned a NaN value!") {}
};

// y = (ymax - ymin) / (1 + exp((x - xmin - (xmax - xmin) centre) k)) + ymin,
// k = -4 slope / (ymax - ymin): at x = xmin + (xmax - xmin) centre the curve
// passes the midpoint of ymin..ymax with tangent `slope`; a negative slope
// gives a falling curve. Throws LogisticNaNError when y is not a number (for
// instance ymax = ymin at the centre).
double Logistic(double x, double xmin, double xmax, double ymin, double ymax, double slope, double centre);

// min + U (max - min), U uniform on [0, 1).
double RndLogisticCentre(RandomGenerator& rng, double min, double max);

// A slope drawn uniformly between slopeMin and slopeMax, each first made at
// least as steep as the limit that lets a curve on 0..1 with this centre fall
// from 0.999 or more at x = 0 to 0.001 or less at x = 1 (limit = the smaller
// of -ln 999 / (4 centre) and ln 999 / (4 (centre - 1))). At centre 0 (or 1)
// the curve is already at its midpoint at x = 0 (or 1), where no slope reaches
// 0.999 (0.001); only the other end limits the slope there.
double RndLogisticSlopeAdjusted(RandomGenerator& rng, double slopeMin, double slopeMax, double centre);

}  // namespace kalios
