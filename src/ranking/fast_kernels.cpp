#include "ranking/fast_kernels.h"

#include <cmath>

namespace kalios {

void SparseRows::From(int n, int s, const double* const* W) {
  start.assign(1, 0);
  idx.clear();
  val.clear();
  for (int c = 0; c < n; ++c) {
    for (int i = 0; i < s; ++i)
      if (W[c][i] != 0.0) {
        idx.push_back(i);
        val.push_back(W[c][i]);
      }
    start.push_back(static_cast<int>(idx.size()));
  }
}

__attribute__((target_clones("avx2", "default"))) void SparseTimesDense(int n, int k, const SparseRows& W,
                                                                         const double* scale,
                                                                         const double* const* U, double** X) {
  for (int c = 0; c < n; ++c) {
    double* __restrict x = X[c];
    for (int t = 0; t < k; ++t) x[t] = 0.0;
    for (int q = W.start[static_cast<std::size_t>(c)]; q < W.start[static_cast<std::size_t>(c) + 1]; ++q) {
      const int i = W.idx[static_cast<std::size_t>(q)];
      const double w = W.val[static_cast<std::size_t>(q)] * scale[i];
      const double* __restrict u = U[i];
      for (int t = 0; t < k; ++t) x[t] += w * u[t];
    }
  }
}

// Squared differences of row a with four rows at once: row a is read once for
// the four sums.
__attribute__((target_clones("avx2", "default"))) void EuclideanRows(int n, int k, const double* const* X,
                                                                      double** D) {
  for (int a = 0; a < n; ++a) {
    D[a][a] = 0.0;
    const double* __restrict xa = X[a];
    int b = a + 1;
    for (; b + 4 <= n; b += 4) {
      const double* __restrict x0 = X[b];
      const double* __restrict x1 = X[b + 1];
      const double* __restrict x2 = X[b + 2];
      const double* __restrict x3 = X[b + 3];
      double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
#pragma omp simd reduction(+ : s0, s1, s2, s3)
      for (int t = 0; t < k; ++t) {
        const double v = xa[t];
        const double d0 = v - x0[t], d1 = v - x1[t], d2 = v - x2[t], d3 = v - x3[t];
        s0 += d0 * d0;
        s1 += d1 * d1;
        s2 += d2 * d2;
        s3 += d3 * d3;
      }
      D[a][b] = D[b][a] = std::sqrt(s0);
      D[a][b + 1] = D[b + 1][a] = std::sqrt(s1);
      D[a][b + 2] = D[b + 2][a] = std::sqrt(s2);
      D[a][b + 3] = D[b + 3][a] = std::sqrt(s3);
    }
    for (; b < n; ++b) {
      const double* __restrict xb = X[b];
      double sum = 0;
#pragma omp simd reduction(+ : sum)
      for (int t = 0; t < k; ++t) {
        const double d = xa[t] - xb[t];
        sum += d * d;
      }
      D[a][b] = D[b][a] = std::sqrt(sum);
    }
  }
}

}  // namespace kalios
