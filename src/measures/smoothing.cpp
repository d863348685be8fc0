#include "measures/smoothing.h"

#include <omp.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "measures/sparse_product_kernel.h"
#include "numlib/matrix.h"
#include "numlib/sparse_rows.h"

namespace kalios {
namespace {

std::size_t Z(int v) { return static_cast<std::size_t>(v); }

// Co-occurrence counts M = P'P of the presences P (X > 0) with the blocked
// sparse product: whole numbers, so exactly the counts of the pair loop.
void CooccurrenceCounts(int n, int s, const double* const* X, double** M) {
  SparseRows byOtu;  // row a: the communities where OTU a is present
  std::vector<int> count(Z(s) + 1, 0);
  for (int c = 0; c < n; ++c)
    for (int a = 0; a < s; ++a)
      if (X[c][a] > 0.0) ++count[Z(a) + 1];
  byOtu.start.assign(Z(s) + 1, 0);
  for (int a = 0; a < s; ++a) byOtu.start[Z(a) + 1] = byOtu.start[Z(a)] + count[Z(a) + 1];
  byOtu.idx.resize(Z(byOtu.start[Z(s)]));
  byOtu.val.assign(byOtu.idx.size(), 1.0);
  std::vector<int> next(byOtu.start.begin(), byOtu.start.end() - 1);
  Matrix<double> P(n, s);
  for (int c = 0; c < n; ++c)
    for (int a = 0; a < s; ++a)
      if (X[c][a] > 0.0) {
        P[c][a] = 1.0;
        byOtu.idx[Z(next[Z(a)]++)] = c;
      }
  BlockedSparseProduct(s, s, byOtu, P, M);
}

// A community's total over its present abundances; a zero total counts as
// 1, so that its profile is all zeros.
double ProfileTotal(int s, const double* w) {
  double sum = 0.0;
  for (int a = 0; a < s; ++a)
    if (IsPresent(w[a])) sum += w[a];
  return sum == 0.0 ? 1.0 : sum;
}

// A community's estimates y from the sums of its profile times M.
void FinishBeals(int s, const double* w, double sum, bool includeOpt, double* y) {
  if (includeOpt) {
    // A community with no present value has no estimate at all.
    bool anyPresent = false;
    for (int a = 0; a < s && !anyPresent; ++a) anyPresent = IsPresent(w[a]);
    if (!anyPresent)
      for (int b = 0; b < s; ++b) y[b] = kMissingValue;
    return;
  }
  for (int b = 0; b < s; ++b) {
    if (!IsPresent(w[b])) continue;  // a missing target share leaves the estimate from the others
    const double pb = w[b] / sum;
    if (pb == 1.0) {
      y[b] = 0.0;  // the only OTU of its community: nothing else to go by
    } else {
      y[b] /= (1.0 - pb);
    }
  }
}

}  // namespace

void ConditionalProb(int n, int s, const double* const* X, double** M, int mode, bool rowNormalize) {
  if (s <= 0) return;
  for (int a = 0; a < s; ++a)
    for (int b = 0; b < s; ++b) M[a][b] = 0.0;

  // Accumulate community by community over the OTUs that take part, so that a
  // sparse community costs only its pairs; each cell still sums its
  // communities in ascending order.
  std::vector<int> present(static_cast<std::size_t>(s));
  std::vector<int> positive(static_cast<std::size_t>(s));
  if (mode == 0 && BlockedSparseProductAvailable()) {
    CooccurrenceCounts(n, s, X, M);
  } else if (mode == 0 || mode == 1 || mode == 2) {
    for (int c = 0; c < n; ++c) {
      const double* x = X[c];
      int np = 0, npos = 0;
      for (int a = 0; a < s; ++a) {
        if (!IsPresent(x[a])) continue;
        present[static_cast<std::size_t>(np++)] = a;
        if (x[a] > 0.0) positive[static_cast<std::size_t>(npos++)] = a;
      }
      if (mode == 0) {
        for (int u = 0; u < npos; ++u) {
          double* row = M[positive[static_cast<std::size_t>(u)]];
          for (int v = 0; v < npos; ++v) row[positive[static_cast<std::size_t>(v)]] += 1.0;
        }
      } else if (mode == 1) {
        // M[a][b] += X[c][a] for every b with X[c][b] > 0 and a present.
        for (int u = 0; u < np; ++u) {
          const int a = present[static_cast<std::size_t>(u)];
          const double xa = x[a];
          if (xa == 0.0) continue;
          double* row = M[a];
          for (int v = 0; v < npos; ++v) row[positive[static_cast<std::size_t>(v)]] += xa;
        }
      } else {
        for (int u = 0; u < np; ++u) {
          const int a = present[static_cast<std::size_t>(u)];
          const double xa = x[a];
          if (xa == 0.0) continue;
          double* row = M[a];
          for (int v = 0; v < np; ++v) {
            const int b = present[static_cast<std::size_t>(v)];
            row[b] += xa * x[b];
          }
        }
      }
    }
  }

  if (mode != 2) {
    for (int a = 0; a < s; ++a) {
      const double d = M[a][a];
      if (d > 0.0)
        for (int b = 0; b < s; ++b)
          if (b != a) M[a][b] /= d;
      M[a][a] = 1.0;
    }
  }
  if (rowNormalize) {
    for (int a = 0; a < s; ++a) {
      double sum = 0.0;
      for (int b = 0; b < s; ++b)
        if (IsPresent(M[a][b])) sum += M[a][b];
      if (sum == 0.0) sum = 1.0;
      for (int b = 0; b < s; ++b)
        if (IsPresent(M[a][b])) M[a][b] /= sum;
    }
  }
}

void ConditionalProb(int n, int s, const double* const* X, double** M, int mode) {
  ConditionalProb(n, s, X, M, mode, mode == 2);
}

void BealsSmoothing(int n, int s, const double* const* W, const double* const* X, double** Y, bool includeOpt,
                    int mode, bool oddsOpt) {
  if (n <= 0 || s <= 0) return;
  Matrix<double> M(s, s);
  ConditionalProb(n, s, X, M, mode, oddsOpt);
  if (!includeOpt) {
    for (int b = 0; b < s; ++b) M[b][b] = 0.0;
    if (oddsOpt)
      for (int a = 0; a < s; ++a)
        for (int b = 0; b < s; ++b) M[a][b] = M[a][b] / (1.0 - M[a][b]);
  }

  // Every community's profile times M: with many OTUs, one blocked product
  // for all of them, each estimate summed in the same order as below.
  constexpr int kFewOtus = 32;
  if (s >= kFewOtus && BlockedSparseProductAvailable()) {
    std::vector<double> total(Z(n));
    for (int c = 0; c < n; ++c) total[Z(c)] = ProfileTotal(s, W[c]);
    SparseRows profiles;
    profiles.FromPresent(n, s, W, [&](int c, int, double w) { return w / total[Z(c)]; });
    BlockedSparseProduct(n, s, profiles, M, Y);
#pragma omp parallel for schedule(static)
    for (int c = 0; c < n; ++c) FinishBeals(s, W[c], total[Z(c)], includeOpt, Y[c]);
    return;
  }

  // Communities are independent: shared among the threads, each estimate
  // summed in the same order whatever their number. The scratch is allocated
  // here, so that a failure surfaces on this thread.
  const int threads = std::max(1, std::min(omp_get_max_threads(), n));
  Matrix<double> profOf(threads, s);
  Matrix<int> nzOf(threads, s);
#pragma omp parallel for schedule(dynamic, 8) num_threads(threads)
  for (int c = 0; c < n; ++c) {
    double* prof = profOf[omp_get_thread_num()];
    int* nz = nzOf[omp_get_thread_num()];
    const double sum = ProfileTotal(s, W[c]);
    int cnt = 0;
    for (int a = 0; a < s; ++a) {
      const double w = W[c][a];
      prof[a] = IsPresent(w) ? w / sum : kMissingValue;
      if (IsPresent(w) && w != 0.0) nz[cnt++] = a;
    }
    double* y = Y[c];
    for (int b = 0; b < s; ++b) y[b] = 0.0;
    // Only the OTUs with a non-zero share contribute to any estimate.
    for (int u = 0; u < cnt; ++u) {
      const int a = nz[u];
      const double pa = prof[a];
      const double* m = M[a];
#pragma omp simd
      for (int b = 0; b < s; ++b) y[b] += pa * m[b];
    }
    FinishBeals(s, W[c], sum, includeOpt, y);
  }
}

void BealsSmoothing(int n, int s, const double* const* W, const double* const* X, double** Y, bool includeOpt,
                    int mode) {
  BealsSmoothing(n, s, W, X, Y, includeOpt, mode, mode == 2);
}

bool NNCRD(int n, const double* const* D1, const double* const* D2, double* out) {
  for (int i = 0; i < n; ++i) {
    int nearest = -1;
    for (int j = 0; j < n; ++j) {
      if (j == i || !IsPresent(D1[i][j])) continue;
      if (nearest < 0 || D1[i][j] < D1[i][nearest]) nearest = j;
    }
    if (nearest < 0) {
      out[i] = 0.0;
      continue;
    }
    const double dmin = D1[i][nearest];
    double sum = 0.0;
    int cnt = 0;
    for (int j = 0; j < n; ++j) {
      if (j == i || D1[i][j] != dmin || !IsPresent(D2[i][j])) continue;
      sum += D2[i][j];
      ++cnt;
    }
    out[i] = cnt ? sum / cnt : kMissingValue;
  }
  return true;
}

}  // namespace kalios
