// Row by row, a product with thousands of columns reads a whole row of M for
// every entry of the sparse matrix and rewrites the whole row of Z: at 2,000
// communities and 2,000 OTUs, seconds for one product. Here the columns are
// taken 32 at a time, and the rows of M in blocks small enough to stay in the
// first-level cache while every row of the sparse matrix passes; each row's
// 32 running sums stay in registers for its entries in the block.
//
// Each term is rounded before it is added, as the loop over the entries does
// it: this file is compiled without contraction into fused multiply-adds.
#include "measures/sparse_product_kernel.h"

#include <immintrin.h>
#include <omp.h>

#include <algorithm>
#include <cstddef>

#include "numlib/matrix.h"

namespace kalios {
namespace {

constexpr int kCols = 32;        // four 512-bit vectors
constexpr int kBlockRows = 128;  // 128 rows x 32 columns x 8 bytes = 32 kB

std::size_t Z(int v) { return static_cast<std::size_t>(v); }

// Columns j0 .. j0 + 32 (fewer at the end) of Z. panel: m x 32 values,
// cursor: n places, both this thread's.
__attribute__((target("avx512f"))) void ProductChunk(int n, int m, int p, int j0, const SparseRows& a,
                                                      const double* const* M, double* panel, int* cursor,
                                                      double** Zm) {
  const int width = std::min(kCols, p - j0);
  __mmask8 mask[4];
  for (int q = 0; q < 4; ++q) {
    const int lanes = std::clamp(width - 8 * q, 0, 8);
    mask[q] = static_cast<__mmask8>((1u << lanes) - 1u);
  }
  // The chunk's columns of M, contiguous per row; the lanes past the width
  // hold zeros and are never stored.
  for (int k = 0; k < m; ++k) {
    double* row = panel + Z(k) * kCols;
    std::copy(M[k] + j0, M[k] + j0 + width, row);
    std::fill(row + width, row + kCols, 0.0);
  }
  for (int i = 0; i < n; ++i) {
    cursor[i] = a.start[Z(i)];
    std::fill(Zm[i] + j0, Zm[i] + j0 + width, 0.0);
  }
  const int* idx = a.idx.data();
  const double* val = a.val.data();
  for (int k0 = 0; k0 < m; k0 += kBlockRows) {
    const int k1 = std::min(m, k0 + kBlockRows);
    for (int i = 0; i < n; ++i) {
      int t = cursor[i];
      const int end = a.start[Z(i) + 1];
      if (t == end || idx[t] >= k1) continue;
      double* z = Zm[i] + j0;
      __m512d z0 = _mm512_maskz_loadu_pd(mask[0], z), z1 = _mm512_maskz_loadu_pd(mask[1], z + 8);
      __m512d z2 = _mm512_maskz_loadu_pd(mask[2], z + 16), z3 = _mm512_maskz_loadu_pd(mask[3], z + 24);
      for (; t < end && idx[t] < k1; ++t) {
        const __m512d f = _mm512_set1_pd(val[t]);
        const double* row = panel + Z(idx[t]) * kCols;
        z0 = _mm512_add_pd(z0, _mm512_mul_pd(f, _mm512_loadu_pd(row)));
        z1 = _mm512_add_pd(z1, _mm512_mul_pd(f, _mm512_loadu_pd(row + 8)));
        z2 = _mm512_add_pd(z2, _mm512_mul_pd(f, _mm512_loadu_pd(row + 16)));
        z3 = _mm512_add_pd(z3, _mm512_mul_pd(f, _mm512_loadu_pd(row + 24)));
      }
      _mm512_mask_storeu_pd(z, mask[0], z0);
      _mm512_mask_storeu_pd(z + 8, mask[1], z1);
      _mm512_mask_storeu_pd(z + 16, mask[2], z2);
      _mm512_mask_storeu_pd(z + 24, mask[3], z3);
      cursor[i] = t;
    }
  }
}

}  // namespace

bool BlockedSparseProductAvailable() {
  static const bool has = __builtin_cpu_supports("avx512f");
  return has;
}

void BlockedSparseProduct(int n, int p, const SparseRows& a, const double* const* M, double** Zm) {
  if (n <= 0 || p <= 0) return;
  int m = 0;
  for (int k : a.idx) m = std::max(m, k + 1);
  const int chunks = (p + kCols - 1) / kCols;
  const int threads = std::max(1, std::min(omp_get_max_threads(), chunks));
  // Allocated here, so that a failure surfaces on the calling thread.
  Matrix<double> panels(threads, std::max(m, 1) * kCols);
  Matrix<int> cursors(threads, n);
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
  for (int c = 0; c < chunks; ++c) {
    const int me = omp_get_thread_num();
    ProductChunk(n, m, p, c * kCols, a, M, panels[me], cursors[me], Zm);
  }
}

}  // namespace kalios
