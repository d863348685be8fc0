// Euclidean distances between the rows of a complete data matrix: the
// distances between thousands of communities over thousands of OTUs were the
// slowest part of a large analysis after the permutation test.
//
// Each distance is the square root of sum over k of (a_k - b_k)^2, the terms
// added one at a time in the order of k, each square rounded before it is
// added: the scalar loop and the vector kernel (eight pairs per register, one
// pair per lane) give the same bits. This file is compiled without
// contraction into fused multiply-adds, which would round differently.
#include "measures/euclid_kernel.h"

#include <immintrin.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "numlib/matrix.h"

namespace kalios {
namespace {

std::size_t Z(int v) { return static_cast<std::size_t>(v); }

inline double Root(double s) { return s > 0 ? std::sqrt(s) : 0.0; }

// Row i against the rows after it, four at a time (four independent sums,
// each in the order of the single one).
void UpperRowScalar(int i, int n, int p, const double* const* x, double* out) {
  const double* a = x[i];
  int j = i + 1;
  for (; j + 4 <= n; j += 4) {
    const double *b0 = x[j], *b1 = x[j + 1], *b2 = x[j + 2], *b3 = x[j + 3];
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    for (int k = 0; k < p; ++k) {
      const double d0 = a[k] - b0[k], d1 = a[k] - b1[k], d2 = a[k] - b2[k], d3 = a[k] - b3[k];
      s0 += d0 * d0;
      s1 += d1 * d1;
      s2 += d2 * d2;
      s3 += d3 * d3;
    }
    out[j] = Root(s0);
    out[j + 1] = Root(s1);
    out[j + 2] = Root(s2);
    out[j + 3] = Root(s3);
  }
  for (; j < n; ++j) {
    const double* b = x[j];
    double s = 0;
    for (int k = 0; k < p; ++k) {
      const double d = a[k] - b[k];
      s += d * d;
    }
    out[j] = Root(s);
  }
}

// Rows j0 .. j0 + 16 of x by variables: panel[16 k + l] = x[j0 + l][k]
// (zeros past the last row).
constexpr int kBlock = 16;
void FillPanel(int j0, int n, int p, const double* const* x, double* panel) {
  const int m = std::min(kBlock, n - j0);
  for (int k = 0; k < p; ++k) {
    double* dst = panel + Z(k) * kBlock;
    for (int l = 0; l < m; ++l) dst[l] = x[j0 + l][k];
    for (int l = m; l < kBlock; ++l) dst[l] = 0.0;
  }
}

// The sums of rows i0 .. i0 + rows (rows <= 4) against the 16 rows of a panel.
template <int Rows>
__attribute__((target("avx512f"))) void TileAvx512(int i0, int p, const double* const* x, const double* panel,
                                                   double sums[][kBlock]) {
  __m512d acc[Rows][2];
  for (int r = 0; r < Rows; ++r) acc[r][0] = acc[r][1] = _mm512_setzero_pd();
  const double* rowp[Rows];
  for (int r = 0; r < Rows; ++r) rowp[r] = x[i0 + r];
  for (int k = 0; k < p; ++k) {
    const __m512d b0 = _mm512_loadu_pd(panel + Z(k) * kBlock);
    const __m512d b1 = _mm512_loadu_pd(panel + Z(k) * kBlock + 8);
    for (int r = 0; r < Rows; ++r) {
      const __m512d a = _mm512_set1_pd(rowp[r][k]);
      const __m512d d0 = _mm512_sub_pd(a, b0), d1 = _mm512_sub_pd(a, b1);
      acc[r][0] = _mm512_add_pd(acc[r][0], _mm512_mul_pd(d0, d0));
      acc[r][1] = _mm512_add_pd(acc[r][1], _mm512_mul_pd(d1, d1));
    }
  }
  for (int r = 0; r < Rows; ++r) {
    _mm512_storeu_pd(sums[r], acc[r][0]);
    _mm512_storeu_pd(sums[r] + 8, acc[r][1]);
  }
}

// Column block j0 .. j0 + 16 of the upper triangle, rows i < j.
void BlockAvx512(int j0, int n, int p, const double* const* x, double** D, double* panel) {
  FillPanel(j0, n, p, x, panel);
  const int jEnd = std::min(n, j0 + kBlock);
  double sums[4][kBlock];
  auto store = [&](int i, const double* s) {
    for (int j = std::max(j0, i + 1); j < jEnd; ++j) D[i][j] = Root(s[j - j0]);
  };
  const int rowsEnd = jEnd - 1;  // rows that have a pair in the block
  int i = 0;
  for (; i + 4 <= rowsEnd; i += 4) {
    TileAvx512<4>(i, p, x, panel, sums);
    for (int r = 0; r < 4; ++r) store(i + r, sums[r]);
  }
  for (; i < rowsEnd; ++i) {
    TileAvx512<1>(i, p, x, panel, sums);
    store(i, sums[0]);
  }
}

bool HasAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f");
  return has;
}

}  // namespace

void EuclidUpperComplete(int n, int p, const double* const* x, double** D) {
  for (int i = 0; i < n; ++i) D[i][i] = 0.0;
  if (!HasAvx512()) {
#pragma omp parallel for schedule(static)
    for (int i = 0; i < n; ++i) UpperRowScalar(i, n, p, x, D[i]);
    return;
  }
  // Column blocks share the work: a block's panel (p x 16 values) stays in
  // the cache while every row before it passes. Later blocks hold more pairs.
  const int blocks = (n + kBlock - 1) / kBlock;
  const int threads = std::max(1, std::min(omp_get_max_threads(), blocks));
  // Allocated here, so that a failure surfaces on the calling thread.
  Matrix<double> panels(threads, p * kBlock + kBlock);
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
  for (int b = blocks - 1; b >= 0; --b) BlockAvx512(b * kBlock, n, p, x, D, panels[omp_get_thread_num()]);
}

}  // namespace kalios
