#include "ranking/fast_kernels.h"

#include <gtest/gtest.h>

#include "measures/resemblance.h"
#include "numlib/matrix.h"

namespace kalios {
namespace {

// The kernels of the fast route against the plain definitions, on sizes that
// leave remainders after every blocking (odd rows, columns past one block).
TEST(FastKernels, AgreeWithThePlainProductAndDistances) {
  const int n = 7, s = 11, k = 203;
  unsigned x = 7;
  auto next = [&x] {
    x = x * 1103515245u + 12345u;
    return static_cast<double>((x >> 16) % 1000) / 1000.0;
  };
  Matrix<double> W(n, s), U(s, k);
  for (int c = 0; c < n; ++c)
    for (int i = 0; i < s; ++i) W[c][i] = next() < 0.4 ? next() : 0.0;
  for (int i = 0; i < s; ++i)
    for (int t = 0; t < k; ++t) U[i][t] = next();
  std::vector<double> scale(s);
  for (auto& v : scale) v = 0.5 + next();
  SparseRows sparse;
  sparse.From(n, s, W);
  Matrix<double> X(n, k), D(n, n), Dref(n, n);
  SparseTimesDense(n, k, sparse, scale.data(), U, X);
  for (int c = 0; c < n; ++c)
    for (int t = 0; t < k; ++t) {
      double want = 0;
      for (int i = 0; i < s; ++i) want += W[c][i] * scale[i] * U[i][t];
      EXPECT_NEAR(X[c][t], want, 1e-12 + 1e-12 * std::abs(want));
    }
  EuclideanRows(n, k, X, D);
  EucliDistMV(n, k, X, Dref);
  for (int a = 0; a < n; ++a)
    for (int b = 0; b < n; ++b) EXPECT_NEAR(D[a][b], Dref[a][b], 1e-9 + 1e-9 * Dref[a][b]) << a << " " << b;
}

}  // namespace
}  // namespace kalios
