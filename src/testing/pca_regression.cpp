#include "testing/regression.h"

#include <vector>

#include "measures/covariance.h"
#include "measures/transform.h"
#include "numlib/matrix.h"
#include "measures/ordination.h"

namespace kalios {

int PCA_Regression_ResidualsSelect(int n, int p, int q, const double* const* Y, const double* const* X,
                                   double** resid, const int* select, int option, double overfitFactor) {
  if (n <= 0 || p <= 0) return 1;
  std::vector<int> cols;
  for (int j = 0; j < q; ++j)
    if (!select || select[j] == 1) cols.push_back(j);
  const int m = static_cast<int>(cols.size());

  int axes = 0;
  Matrix<double> scores(m, n);
  if (m > 0 && (option == 1 || option == 2)) {
    // The selected predictors as rows (variables), centred for covariances
    // or standardized for correlations, and their cross products.
    Matrix<double> Zt(m, n), Z(n, m), C(m, m);
    for (int k = 0; k < m; ++k)
      for (int i = 0; i < n; ++i) Z[i][k] = Zt[k][i] = X[i][cols[static_cast<std::size_t>(k)]];
    if (option == 1) {
      CenterRowsCovMV(m, n, Zt, Zt);
    } else {
      CenterRowsMV(m, n, Zt, Zt);
      NormalizeRowsMV(m, n, Zt, Zt);
    }
    CrossProductMV(m, n, Zt, C);
    axes = OrdinationLib_Scores(m, n, Z, C, scores, 2, option == 1 ? 1 : 17, 2);
  }
  // Never more components than (n - 2) / overfitFactor.
  if (overfitFactor > 0.0) {
    const double limit = (n - 2) / overfitFactor;
    if (limit < axes) axes = limit > 0.0 ? static_cast<int>(limit) : 0;
  }
  Matrix<double> P(n, axes);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < axes; ++k) P[i][k] = scores[k][i];
  return Regression_ResidualsSelect(n, p, axes, Y, P, resid, nullptr);
}

}  // namespace kalios
