#include "ranking/fast_kernels.h"

#include <cmath>

namespace kalios {

namespace {
// Columns per pass: the rows of U (or X) a pass reads stay in the second-level
// cache while every community goes by.
constexpr int kColumnBlock = 96;
}  // namespace

// Four non-zero abundances at a time: each pass over the row of X reads and
// writes it once for four rows of U.
__attribute__((target_clones("avx2", "default"))) void SparseTimesDense(int n, int k, const SparseRows& W,
                                                                         const double* scale,
                                                                         const double* const* U, double** X) {
  const int* idx = W.idx.data();
  const double* val = W.val.data();
  for (int t0 = 0; t0 < k; t0 += kColumnBlock) {
    const int width = k - t0 < kColumnBlock ? k - t0 : kColumnBlock;
    for (int c = 0; c < n; ++c) {
      double* __restrict x = X[c] + t0;
#pragma omp simd
      for (int t = 0; t < width; ++t) x[t] = 0.0;
      int q = W.start[static_cast<std::size_t>(c)];
      const int end = W.start[static_cast<std::size_t>(c) + 1];
      for (; q + 4 <= end; q += 4) {
        const double w0 = val[q] * scale[idx[q]], w1 = val[q + 1] * scale[idx[q + 1]];
        const double w2 = val[q + 2] * scale[idx[q + 2]], w3 = val[q + 3] * scale[idx[q + 3]];
        const double* __restrict u0 = U[idx[q]] + t0;
        const double* __restrict u1 = U[idx[q + 1]] + t0;
        const double* __restrict u2 = U[idx[q + 2]] + t0;
        const double* __restrict u3 = U[idx[q + 3]] + t0;
#pragma omp simd
        for (int t = 0; t < width; ++t) x[t] += (w0 * u0[t] + w1 * u1[t]) + (w2 * u2[t] + w3 * u3[t]);
      }
      for (; q < end; ++q) {
        const double w = val[q] * scale[idx[q]];
        const double* __restrict u = U[idx[q]] + t0;
#pragma omp simd
        for (int t = 0; t < width; ++t) x[t] += w * u[t];
      }
    }
  }
}

// Through the cross products: d(a, b)^2 = G(a, a) + G(b, b) - 2 G(a, b),
// G = X X'. Two rows a against four rows b per pass keep eight sums in
// registers for six reads; the columns go block by block.
__attribute__((target_clones("avx2", "default"))) void EuclideanRows(int n, int k, const double* const* X,
                                                                      double** D) {
  for (int a = 0; a < n; ++a)
    for (int b = a; b < n; ++b) D[a][b] = 0.0;
  for (int t0 = 0; t0 < k; t0 += kColumnBlock) {
    const int width = k - t0 < kColumnBlock ? k - t0 : kColumnBlock;
    int a = 0;
    for (; a + 2 <= n; a += 2) {
      const double* __restrict xa = X[a] + t0;
      const double* __restrict xc = X[a + 1] + t0;
      // The pairs within the two rows and the squares.
      double aa = 0, ac = 0, cc = 0;
#pragma omp simd reduction(+ : aa, ac, cc)
      for (int t = 0; t < width; ++t) {
        aa += xa[t] * xa[t];
        ac += xa[t] * xc[t];
        cc += xc[t] * xc[t];
      }
      D[a][a] += aa;
      D[a][a + 1] += ac;
      D[a + 1][a + 1] += cc;
      int b = a + 2;
      for (; b + 4 <= n; b += 4) {
        const double* __restrict x0 = X[b] + t0;
        const double* __restrict x1 = X[b + 1] + t0;
        const double* __restrict x2 = X[b + 2] + t0;
        const double* __restrict x3 = X[b + 3] + t0;
        double a0 = 0, a1 = 0, a2 = 0, a3 = 0, c0 = 0, c1 = 0, c2 = 0, c3 = 0;
#pragma omp simd reduction(+ : a0, a1, a2, a3, c0, c1, c2, c3)
        for (int t = 0; t < width; ++t) {
          const double u = xa[t], v = xc[t];
          a0 += u * x0[t];
          a1 += u * x1[t];
          a2 += u * x2[t];
          a3 += u * x3[t];
          c0 += v * x0[t];
          c1 += v * x1[t];
          c2 += v * x2[t];
          c3 += v * x3[t];
        }
        D[a][b] += a0;
        D[a][b + 1] += a1;
        D[a][b + 2] += a2;
        D[a][b + 3] += a3;
        D[a + 1][b] += c0;
        D[a + 1][b + 1] += c1;
        D[a + 1][b + 2] += c2;
        D[a + 1][b + 3] += c3;
      }
      for (; b < n; ++b) {
        const double* __restrict xb = X[b] + t0;
        double u = 0, v = 0;
#pragma omp simd reduction(+ : u, v)
        for (int t = 0; t < width; ++t) {
          u += xa[t] * xb[t];
          v += xc[t] * xb[t];
        }
        D[a][b] += u;
        D[a + 1][b] += v;
      }
    }
    if (a < n) {  // the last row of an odd count: its square only
      const double* __restrict xa = X[a] + t0;
      double aa = 0;
#pragma omp simd reduction(+ : aa)
      for (int t = 0; t < width; ++t) aa += xa[t] * xa[t];
      D[a][a] += aa;
    }
  }
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b) {
      const double d2 = D[a][a] + D[b][b] - 2.0 * D[a][b];
      D[a][b] = d2 > 0 ? std::sqrt(d2) : 0.0;
    }
  for (int a = 0; a < n; ++a) {
    D[a][a] = 0.0;
    for (int b = a + 1; b < n; ++b) D[b][a] = D[a][b];
  }
}

}  // namespace kalios
