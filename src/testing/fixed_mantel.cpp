#include "testing/fixed_mantel.h"

#include <cmath>
#include <cstddef>

#include "numlib/matrix.h"
#include "testing/matrix_correlation.h"

namespace kalios {
namespace {

inline bool Present(double x) { return x != kMissingValue; }

}  // namespace

// The sums below are those of MatrixCorr, term by term in the same order, so
// that both give the same bits on complete matrices.
FixedMantelMatrix CentreFixedMantel(int n, const double* const* D) {
  FixedMantelMatrix f;
  f.D = D;
  f.n = n;
  if (D == nullptr || n < 2) return f;
  double sum = 0.0;
  long long m = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      if (!Present(D[i][j])) return f;
      if (m == 0) f.first = D[i][j];
      sum += D[i][j] - f.first;
      f.raw += D[i][j] * D[i][j];
      ++m;
    }
  f.mean = sum / static_cast<double>(m);
  f.centred.reserve(static_cast<std::size_t>(m));
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      const double a = D[i][j] - f.first - f.mean;
      f.centred.push_back(a);
      f.ss += a * a;
    }
  f.complete = true;
  return f;
}

double MatrixCorrFixed(const FixedMantelMatrix& fixed, const double* const* DA, const double* const* DB) {
  const int n = fixed.n;
  const bool fixedFirst = DA == fixed.D;
  const double* const* other = fixedFirst ? DB : DA;
  if (!fixed.complete || (DA != fixed.D && DB != fixed.D)) return MatrixCorr(n, DA, DB);
  double first = 0.0, sum = 0.0, raw = 0.0;
  long long m = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      const double v = other[i][j];
      if (!Present(v)) return MatrixCorr(n, DA, DB);
      if (m == 0) first = v;
      sum += v - first;
      raw += v * v;
      ++m;
    }
  const double mean = sum / static_cast<double>(m);
  double sxy = 0.0, ss = 0.0;
  std::size_t k = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j, ++k) {
      const double b = other[i][j] - first - mean;
      sxy += fixed.centred[k] * b;
      ss += b * b;
    }
  constexpr double kNoise = 1e-20;
  const double sxx = fixedFirst ? fixed.ss : ss, syy = fixedFirst ? ss : fixed.ss;
  const double rawA = fixedFirst ? fixed.raw : raw, rawB = fixedFirst ? raw : fixed.raw;
  if (!(sxx > kNoise * rawA) || !(syy > kNoise * rawB)) return 0.0;
  const double r = sxy / std::sqrt(sxx * syy);
  return std::isfinite(r) ? r : 0.0;
}

}  // namespace kalios
