#include "measures/diversity.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "measures/sparse_product_kernel.h"
#include "numlib/matrix.h"
#include "numlib/sparse_rows.h"

namespace kalios {
namespace {

std::size_t Z(int v) { return static_cast<std::size_t>(v); }

// Pair multiplier of two OTUs from their flags (null flags count every OTU).
inline int PairFlag(const int* flags, bool restrictWithin, int a, int b) {
  if (!flags) return 1;
  if (restrictWithin) return flags[a] * flags[b];
  return (flags[a] == 1 || flags[b] == 1) ? 1 : 0;
}

// The multiplier of term (k, j) of the product is scale_k * col[j] (col null
// meaning 1): a per-OTU weight, or the pair rule on the OTU flags written as a
// factor of row k times a column vector. All multipliers are integers, so
// this factoring is exact.
struct Multipliers {
  std::vector<double> scale;         // m values
  std::vector<const double*> col;    // m column vectors (null: all 1)
  std::vector<double> colFlag;       // flags[j] (restricted pairs)
  std::vector<double> colOne;        // flags[j] == 1 (unrestricted pairs)
};

// One row of the weighted product. The sum over k runs in ascending order for
// every cell, whatever thread computes the row, so the result is the same for
// any number of threads. Terms with zero abundance add nothing to the product
// nor to the rescaling sums and are skipped; only a row without any non-zero
// abundance needs the slow look at which terms were present at all.
// Bz is B with missing values as 0 and Bin marks the present values (1 or 0),
// so the inner loop has no branch and vectorizes; a missing value then adds an
// exact zero, as if its term had been skipped.
void WeightedProductRow(int m, int p, const double* a, const double* const* B, const double* const* Bz,
                        const double* const* Bin, double* __restrict z, const int* select, const Multipliers& mult,
                        double* __restrict covered, double* __restrict hit, bool complete) {
  for (int j = 0; j < p; ++j) {
    z[j] = 0.0;
    covered[j] = 0.0;
    hit[j] = 0.0;
  }
  double total = 0.0;
  bool anyNonZero = false;
  for (int k = 0; k < m; ++k) {
    const double ak = a[k];
    if (!IsPresent(ak)) continue;
    total += ak;
    if (ak == 0.0) continue;
    anyNonZero = true;
    const double* __restrict bz = Bz[k];
    const double* __restrict in = Bin[k];
    const double sk = mult.scale[static_cast<std::size_t>(k)];
    const double* __restrict col = mult.col[static_cast<std::size_t>(k)];
    if (complete) {
      // Every value of B present: the rescaling sums equal the total, and
      // the rescaling is by exactly 1, so they are not kept.
      if (col) {
#pragma omp simd
        for (int j = 0; j < p; ++j) z[j] += (sk * col[j]) * ak * bz[j];
      } else {
#pragma omp simd
        for (int j = 0; j < p; ++j) z[j] += sk * ak * bz[j];
      }
      continue;
    }
    if (col) {
      for (int j = 0; j < p; ++j) {
        covered[j] += ak * in[j];
        hit[j] += in[j];
        z[j] += (sk * col[j]) * ak * bz[j];
      }
    } else {
      for (int j = 0; j < p; ++j) {
        covered[j] += ak * in[j];
        hit[j] += in[j];
        z[j] += sk * ak * bz[j];
      }
    }
  }
  for (int j = 0; j < p; ++j) {
    if (select && select[j] != 1) {
      z[j] = 0.0;
      continue;
    }
    if (anyNonZero) {
      if (complete) continue;
      // Some OTU is present with an abundance: without any of them carrying
      // the value the mean is unknown, whatever the absent OTUs carry.
      if (hit[j] == 0.0) {
        z[j] = kMissingValue;
      } else if (covered[j] > 0.0) {
        z[j] *= total / covered[j];
      }
      continue;
    }
    // Empty (all-zero) community: the product is 0 unless no term at all
    // had both factors present.
    bool entered = false;
    for (int k = 0; k < m && !entered; ++k) entered = IsPresent(a[k]) && IsPresent(B[k][j]);
    z[j] = entered ? 0.0 : kMissingValue;
  }
}

// With every value of B present and many columns (X = W U when every OTU is
// its own type), the product is formed blocked for the cache, with the same
// terms added in the same order as the row loop: term (k, j) is
// (scale_k * a_k) * B[k][j], and a zero column multiplier, which the row loop
// applies as ((scale_k * 0) * a_k) * B[k][j], becomes 0 * B[k][j] in a copy of
// B. False, with nothing done, where that rewriting would not give the same
// bits (a multiplier other than 0 or 1, a term factor that is not finite) or
// the processor lacks the vectors; the row loop then does the work.
bool BlockedProduct(int n, int m, int p, const double* const* A, const double* const* B, double** prod,
                    const int* select, const Multipliers& mult) {
  constexpr int kFewColumns = 32;  // below this the row loop is as fast
  if (p < kFewColumns || !BlockedSparseProductAvailable()) return false;
  SparseRows terms;
  terms.FromPresent(n, m, A, [&](int, int k, double ak) { return mult.scale[Z(k)] * ak; });
  for (double f : terms.val)
    if (!std::isfinite(f)) return false;
  bool anyColumnRule = false;
  for (int k = 0; k < m; ++k) anyColumnRule = anyColumnRule || mult.col[Z(k)] != nullptr;
  Matrix<double> masked;
  const double* const* M = B;
  if (anyColumnRule) {
    masked.Resize(m, p);
    for (int k = 0; k < m; ++k) {
      const double* col = mult.col[Z(k)];
      for (int j = 0; j < p; ++j) {
        if (col == nullptr || col[j] == 1.0) {
          masked[k][j] = B[k][j];
        } else if (col[j] == 0.0) {
          masked[k][j] = 0.0 * B[k][j];
        } else {
          return false;
        }
      }
    }
    M = masked;
  }
  BlockedSparseProduct(n, p, terms, M, prod);
  for (int i = 0; i < n; ++i) {
    const bool anyNonZero = terms.start[Z(i) + 1] > terms.start[Z(i)];
    // Empty community: 0 when some term had both factors present.
    bool anyPresent = anyNonZero;
    for (int k = 0; k < m && !anyPresent; ++k) anyPresent = IsPresent(A[i][k]);
    double* z = prod[i];
    for (int j = 0; j < p; ++j) {
      if (select && select[j] != 1) {
        z[j] = 0.0;
      } else if (!anyNonZero) {
        z[j] = anyPresent ? 0.0 : kMissingValue;
      }
    }
  }
  return true;
}

bool WeightedProduct(int n, int m, int m2, int p, const double* const* A, const double* const* B, double** Z,
                     const int* select, const int* weights, const int* flags, bool restrictWithin) {
  if (m != m2) return true;
  if (n <= 0 || p <= 0) return false;
  Multipliers mult;
  mult.scale.assign(static_cast<std::size_t>(m), 1.0);
  mult.col.assign(static_cast<std::size_t>(m), nullptr);
  if (weights)
    for (int k = 0; k < m; ++k) mult.scale[static_cast<std::size_t>(k)] = weights[k];
  if (flags) {
    mult.colFlag.resize(static_cast<std::size_t>(p));
    mult.colOne.resize(static_cast<std::size_t>(p));
    for (int j = 0; j < p; ++j) {
      mult.colFlag[static_cast<std::size_t>(j)] = flags[j];
      mult.colOne[static_cast<std::size_t>(j)] = flags[j] == 1 ? 1.0 : 0.0;
    }
    // Restricted: flags[k] * flags[j]; unrestricted: 1 for a row whose flag
    // is 1, else whether the column's flag is 1.
    for (int k = 0; k < m; ++k) {
      const std::size_t uk = static_cast<std::size_t>(k);
      if (restrictWithin) {
        mult.scale[uk] = flags[k];
        mult.col[uk] = mult.colFlag.data();
      } else if (flags[k] != 1) {
        mult.col[uk] = mult.colOne.data();
      }
    }
  }
  bool complete = true;
  for (int k = 0; k < m && complete; ++k)
    for (int j = 0; j < p; ++j) complete = complete && IsPresent(B[k][j]);
  if (complete && BlockedProduct(n, m, p, A, B, Z, select, mult)) return false;

  const int threads = std::max(1, std::min(omp_get_max_threads(), n));
  // Scratch per thread, allocated before the parallel region so that an
  // allocation failure surfaces on the calling thread; rows padded to whole
  // cache lines so that threads do not share lines.
  const int stride = (p + 7) / 8 * 8 + 8;
  Matrix<double> scratch(threads, 2 * stride);
  Matrix<double> Bz(m, p), Bin(m, p);
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < p; ++j) {
      const bool present = IsPresent(B[k][j]);
      Bz[k][j] = present ? B[k][j] : 0.0;
      Bin[k][j] = present ? 1.0 : 0.0;
    }
#pragma omp parallel for schedule(static) num_threads(threads)
  for (int i = 0; i < n; ++i) {
    double* own = scratch[omp_get_thread_num()];
    WeightedProductRow(m, p, A[i], B, Bz, Bin, Z[i], select, mult, own, own + stride, complete);
  }
  return false;
}

// Pair difference from a resemblance value: R itself for dissimilarities,
// 1 - R for similarities, or its square root. A slightly negative difference
// (a similarity a rounding step above 1) counts as 0 rather than giving NaN.
inline double PairDelta(double r, bool isDissimilarity, bool sqrtOpt) {
  double d = isDissimilarity ? r : 1.0 - r;
  if (sqrtOpt) d = d > 0.0 ? std::sqrt(d) : 0.0;
  return d;
}

}  // namespace

bool MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const double* const* A,
                                      const double* const* B, double** Z, const int* select,
                                      const int* weights) {
  return WeightedProduct(n, m, m2, p, A, B, Z, select, weights, nullptr, false);
}

bool MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const double* const* A,
                                      const double* const* B, double** Z, const int* select, const int* flags,
                                      bool restrictWithin) {
  return WeightedProduct(n, m, m2, p, A, B, Z, select, nullptr, flags, restrictWithin);
}

bool RaoIndex_Weight_Matrix(int n, int s, const double* const* W, const double* const* R, double* Q,
                            bool isDissimilarity, bool sqrtOpt, const int* flags, bool restrictWithin,
                            bool relative) {
  if (n <= 0) return true;
  if (s <= 0) {
    std::fill(Q, Q + n, 0.0);
    return true;
  }
  // The weighted pair differences do not depend on the community: compute
  // them (and their square roots) once. known marks pairs whose resemblance
  // is present; only the strict upper triangle is used, and all of it is
  // written. The tables are kept per thread from call to call: a permutation
  // test calls this for every permutation, with the same number of OTUs.
  // (References, because the threads below must read this thread's tables.)
  thread_local Matrix<double> deltaKept;
  thread_local Matrix<unsigned char> knownKept;
  if (deltaKept.rows() != s || deltaKept.cols() != s) {
    deltaKept.Resize(s, s);
    knownKept.Resize(s, s);
  }
  Matrix<double>& delta = deltaKept;
  Matrix<unsigned char>& known = knownKept;
#pragma omp parallel for schedule(dynamic, 16)
  for (int a = 0; a < s; ++a)
    for (int b = a + 1; b < s; ++b) {
      const double r = R[a][b];
      const bool present = IsPresent(r);
      known[a][b] = present ? 1 : 0;
      delta[a][b] = present ? PairFlag(flags, restrictWithin, a, b) * PairDelta(r, isDissimilarity, sqrtOpt) : 0.0;
    }

  // The OTUs of each community with a non-zero abundance, and their shares;
  // a community without a positive total (relative shares) gets 0. Kept per
  // thread from call to call, like the tables.
  std::vector<char> skip(Z(n), 0);
  std::vector<double> scale(Z(n), 1.0);
  if (relative)
#pragma omp parallel for schedule(static)
    for (int i = 0; i < n; ++i) {
      double sum = 0.0;
      for (int a = 0; a < s; ++a)
        if (IsPresent(W[i][a])) sum += W[i][a];
      skip[Z(i)] = !(sum > 0.0);
      scale[Z(i)] = sum;
    }
  thread_local SparseRows sharesKept;
  SparseRows& shares = sharesKept;
  shares.FromPresent(n, s, W, [&](int i, int, double x) { return relative && !skip[Z(i)] ? x / scale[Z(i)] : x; });
  const std::vector<int>& start = shares.start;
  const std::vector<int>& idx = shares.idx;
  const std::vector<double>& prop = shares.val;

  // Pair (u, v) of a community reads row idx[u] of the tables: at thousands
  // of OTUs the tables do not stay in the cache, and taken community by
  // community every row would come from memory once per community. So the
  // rows are taken in blocks that stay in the second-level cache while each
  // community adds the pairs whose first OTU is in the block. A community's
  // sums still run over its pairs in ascending order (u, then v), whatever
  // the blocks and the number of threads.
  const std::size_t rowBytes = Z(s) * (sizeof(double) + 1);
  const int blockRows = static_cast<int>(std::clamp<std::size_t>((std::size_t{512} << 10) / rowBytes, 1, Z(s)));
  std::vector<double> q(Z(n), 0.0), covered(Z(n), 0.0), all(Z(n), 0.0);
  std::vector<int> cursor(start.begin(), start.end() - 1);
  for (int i = 0; i < n; ++i)
    if (skip[Z(i)]) cursor[Z(i)] = start[Z(i) + 1];  // no pairs
#pragma omp parallel
  {
    for (int a0 = 0; a0 < s; a0 += blockRows) {
      const int a1 = std::min(s, a0 + blockRows);
#pragma omp for schedule(static) nowait
      for (int i = 0; i < n; ++i) {
        const int end = start[Z(i) + 1];
        int u = cursor[Z(i)];
        double qi = q[Z(i)], ci = covered[Z(i)], ai = all[Z(i)];
        for (; u < end && idx[Z(u)] < a1; ++u) {
          const int a = idx[Z(u)];
          const double pa = prop[Z(u)];
          const double* drow = delta[a];
          const unsigned char* krow = known[a];
          for (int v = u + 1; v < end; ++v) {
            const int b = idx[Z(v)];
            const double pab = pa * prop[Z(v)];
            ai += pab;
            if (krow[b]) {
              qi += drow[b] * pab;
              ci += pab;
            }
          }
        }
        cursor[Z(i)] = u;
        q[Z(i)] = qi;
        covered[Z(i)] = ci;
        all[Z(i)] = ai;
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    if (skip[Z(i)]) {
      Q[i] = 0.0;
      continue;
    }
    double qi = q[Z(i)];
    if (covered[Z(i)] > 0.0 && all[Z(i)] > 0.0) qi *= all[Z(i)] / covered[Z(i)];
    Q[i] = 2.0 * qi;
  }
  return true;
}

double RaoIndex_Weight(int s, const double* w, const double* const* R, bool isDissimilarity, bool sqrtOpt,
                       const int* flags, bool restrictWithin) {
  double total = 0.0;
  for (int a = 0; a < s; ++a)
    if (IsPresent(w[a])) total += w[a];
  if (!(total > 0.0)) return 0.0;
  double q = 0.0;
  for (int a = 0; a < s; ++a) {
    if (!IsPresent(w[a]) || w[a] == 0.0) continue;
    const double pa = w[a] / total;
    for (int b = 0; b < s; ++b) {
      if (!IsPresent(w[b]) || w[b] == 0.0) continue;
      // Read the resemblance from the upper triangle, as if it were mirrored.
      const double r = a <= b ? R[a][b] : R[b][a];
      if (!IsPresent(r)) continue;
      const int mult = PairFlag(flags, restrictWithin, a, b);
      if (mult == 0) continue;
      q += mult * pa * (w[b] / total) * PairDelta(r, isDissimilarity, sqrtOpt);
    }
  }
  return q;
}

}  // namespace kalios
