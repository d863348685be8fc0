#include "simulation/logistic.h"

#include <algorithm>
#include <cmath>

namespace kalios {

double Logistic(double x, double xmin, double xmax, double ymin, double ymax, double slope, double centre) {
  const double k = -4.0 * slope / (ymax - ymin);
  const double y = (ymax - ymin) / (1.0 + std::exp((x - xmin - (xmax - xmin) * centre) * k)) + ymin;
  if (std::isnan(y)) throw LogisticNaNError();
  return y;
}

double RndLogisticCentre(RandomGenerator& rng, double min, double max) { return min + rng.Uniform() * (max - min); }

double RndLogisticSlopeAdjusted(RandomGenerator& rng, double slopeMin, double slopeMax, double centre) {
  // ln 999 / 4 with the two roundings the study has always used.
  const double atStart = centre > 0.0 ? -6.906754778648552 / (4.0 * centre) : HUGE_VAL;
  const double atEnd = centre < 1.0 ? 6.906754778648553 / (4.0 * (centre - 1.0)) : HUGE_VAL;
  // An end that no finite slope can satisfy (centre 0 or 1) drops out of the
  // minimum instead of turning the slope into -inf or NaN.
  const double limit = std::min(atStart, atEnd);
  const double lo = std::min(limit, slopeMin);
  const double hi = std::min(limit, slopeMax);
  return lo + rng.Uniform() * (hi - lo);
}

}  // namespace kalios
