#include "measures/covariance.h"

#include <cmath>
#include <vector>

#include "measures/transform.h"
#include "numlib/matrix.h"

namespace kalios {
namespace {

inline bool Present(double x) { return x != kMissingValue; }

bool HasMissing(int n, int p, const double* const* X) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j)
      if (!Present(X[i][j])) return true;
  return false;
}

// Pearson correlation over the positions where both vectors are present: means, then the sums of squared deviations, then the sum of the
// products of the deviations each scaled by its vector's length.
double PairwiseCorrelation(int n, const double* a, const double* b) {
  double suma = 0.0, sumb = 0.0;
  int m = 0;
  for (int k = 0; k < n; ++k) {
    const double x = a[k], y = b[k];
    if (Present(x) && Present(y)) {
      suma += x;
      sumb += y;
      ++m;
    }
  }
  if (m == 0) return 0.0;
  const double ma = suma / m, mb = sumb / m;
  double ssa = 0.0, ssb = 0.0;
  for (int k = 0; k < n; ++k) {
    const double x = a[k], y = b[k];
    if (Present(x) && Present(y)) {
      ssa += (x - ma) * (x - ma);
      ssb += (y - mb) * (y - mb);
    }
  }
  if (ssa == 0.0 || ssb == 0.0) return 0.0;
  const double la = std::sqrt(ssa), lb = std::sqrt(ssb);
  double r = 0.0;
  for (int k = 0; k < n; ++k) {
    const double x = a[k], y = b[k];
    if (Present(x) && Present(y)) r += ((x - ma) / la) * ((y - mb) / lb);
  }
  return r;
}

}  // namespace

void CrossProductMV(int n, int p, const double* const* X, double** M) {
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      double sum = 0.0;
      for (int k = 0; k < p; ++k)
        if (Present(X[i][k]) && Present(X[j][k])) sum += X[i][k] * X[j][k];
      M[i][j] = M[j][i] = sum;
    }
}

void CovarianceMV(int n, int p, const double* const* X, double** M) {
  if (!HasMissing(n, p, X)) {
    Matrix<double> work(n, p);
    CenterRowsCovMV(n, p, X, work);
    CrossProductMV(n, p, work, M);
    return;
  }
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) M[i][j] = M[j][i] = Covariance2VecMV(p, X[i], X[j]);
}

double Covariance2VecMV(int p, const double* a, const double* b) {
  double suma = 0.0, sumb = 0.0;
  int m = 0;
  for (int k = 0; k < p; ++k)
    if (Present(a[k]) && Present(b[k])) {
      suma += a[k];
      sumb += b[k];
      ++m;
    }
  if (m < 2) return 0.0;
  const double ma = suma / m, mb = sumb / m;
  double s = 0.0;
  for (int k = 0; k < p; ++k)
    if (Present(a[k]) && Present(b[k])) s += (a[k] - ma) * (b[k] - mb);
  return s / (m - 1);
}

void CorrelationMV(int n, int p, const double* const* X, double** R) {
  if (!HasMissing(n, p, X)) {
    Matrix<double> work(n, p);
    CenterRowsMV(n, p, X, work);
    NormalizeRowsMV(n, p, work, work);
    CrossProductMV(n, p, work, R);
    return;
  }
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) R[i][j] = R[j][i] = Correlation2VecMV(p, X[i], X[j]);
}

double Correlation2VecMV(int p, const double* a, const double* b) { return PairwiseCorrelation(p, a, b); }

double Correlation2SelectedVecMV(int n, bool aIsRow, int ia, const double* const* A, bool bIsRow, int ib,
                                 const double* const* B) {
  // A column is gathered into a vector: rows of a row-pointer matrix need not
  // be equally spaced.
  std::vector<double> a, b;
  const double* pa;
  const double* pb;
  if (aIsRow) {
    pa = A[ia];
  } else {
    a.resize(static_cast<size_t>(n > 0 ? n : 0));
    for (int k = 0; k < n; ++k) a[static_cast<size_t>(k)] = A[k][ia];
    pa = a.data();
  }
  if (bIsRow) {
    pb = B[ib];
  } else {
    b.resize(static_cast<size_t>(n > 0 ? n : 0));
    for (int k = 0; k < n; ++k) b[static_cast<size_t>(k)] = B[k][ib];
    pb = b.data();
  }
  return PairwiseCorrelation(n, pa, pb);
}

}  // namespace kalios
