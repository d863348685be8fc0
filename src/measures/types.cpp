#include "measures/types.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "session/partition.h"
#include "testing/random.h"

namespace kalios {

namespace {

constexpr double kMissing = -999.0;

double RoundToFloat(double x) { return static_cast<double>(static_cast<float>(x)); }

// Ascending mid-ranks of the present values (1..m for m present values, ties
// sharing the mean of the ranks they span); missing values stay -999.
std::vector<double> MidRanks(const std::vector<double>& x) {
  std::vector<int> pos;
  for (int i = 0; i < static_cast<int>(x.size()); ++i)
    if (x[i] != kMissing) pos.push_back(i);
  std::stable_sort(pos.begin(), pos.end(), [&](int a, int b) { return x[a] < x[b]; });
  std::vector<double> r(x);
  const int m = static_cast<int>(pos.size());
  for (int a = 0; a < m;) {
    int b = a;
    while (b + 1 < m && x[pos[b + 1]] == x[pos[a]]) ++b;
    const double rank = (a + b) / 2.0 + 1.0;
    for (int c = a; c <= b; ++c) r[pos[c]] = rank;
    a = b + 1;
  }
  return r;
}

// Largest minus smallest present value (0 when none is present).
double PresentRange(const std::vector<double>& x) {
  bool any = false;
  double lo = 0, hi = 0;
  for (double v : x) {
    if (v == kMissing) continue;
    if (!any) {
      lo = hi = v;
      any = true;
    } else {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  return any ? hi - lo : 0.0;
}

// Partial Gower similarity of one pair on one trait, before rounding.
double PartialGower(int type, double x, double y, double range, double w, int countDoubleAbsence) {
  if (!(w > 0) || x == kMissing || y == kMissing) return kMissing;
  switch (type) {
    case 1:
      if (countDoubleAbsence != 0 && countDoubleAbsence != 1) return kMissing;
      if (x != y) return 0.0;
      if (countDoubleAbsence == 0 && x == 0) return kMissing;
      return w;
    case 2:
      return x == y ? w : 0.0;
    case 3:
    case 4:
      return range > 0 ? w * (1.0 - std::fabs(x - y) / range) : w;
    default:
      return kMissing;
  }
}

// Symmetric pairwise distance between the rows of X over the columns where
// both values are present; diagonal 0.
template <class Term, class Finish>
void PairwiseMV(int n, int p, const double* const* X, double** D, Term term, Finish finish) {
  for (int i = 0; i < n; ++i) {
    D[i][i] = 0.0;
    for (int j = i + 1; j < n; ++j) {
      double sum = 0;
      for (int c = 0; c < p; ++c)
        if (X[i][c] != kMissing && X[j][c] != kMissing) sum += term(X[i][c] - X[j][c]);
      D[i][j] = D[j][i] = finish(sum);
    }
  }
}

void EuclideanMV(int n, int p, const double* const* X, double** D) {
  PairwiseMV(
      n, p, X, D, [](double d) { return d * d; }, [](double s) { return s > 0 ? std::sqrt(s) : 0.0; });
}

}  // namespace

void CrispBelonging(int n, int k, const int* partition, double** U) {
  std::vector<int> labels(static_cast<std::size_t>(std::max(n, 1)));
  int nLabels = n;
  if (partition) CountGroupsNew(n, partition, nLabels, labels.data());
  for (int i = 0; i < n; ++i) {
    std::fill(U[i], U[i] + k, 0.0);
    int t = i;
    if (partition) t = static_cast<int>(std::lower_bound(labels.begin(), labels.begin() + nLabels, partition[i]) -
                                        labels.begin());
    if (t < k) U[i][t] = 1.0;
  }
}

void FuzzyBelonging(int n, int k, const double* const* S, const int* partition, double** U, bool isDissimilarity) {
  if (n < 1 || k < 1) return;
  // Type of each OTU: the rank of its label among the distinct labels.
  std::vector<int> typeOf(static_cast<std::size_t>(n));
  if (partition) {
    std::vector<int> labels(static_cast<std::size_t>(n));
    int nLabels = 0;
    CountGroupsNew(n, partition, nLabels, labels.data());
    for (int i = 0; i < n; ++i)
      typeOf[i] = static_cast<int>(std::lower_bound(labels.begin(), labels.begin() + nLabels, partition[i]) -
                                   labels.begin());
  } else {
    std::iota(typeOf.begin(), typeOf.end(), 0);
  }
  std::vector<int> count(static_cast<std::size_t>(k), 0);
  for (int i = 0; i < n; ++i)
    if (typeOf[i] < k) ++count[typeOf[i]];

  // Working copy made symmetric from the upper triangle.
  Matrix<double> sym(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) sym[i][j] = sym[j][i] = S[i][j];
  auto similarity = [&](double v) { return isDissimilarity ? 1.0 - v : v; };

  // Twins, in ascending order on one thread: which OTU stays the
  // representative of a set of identical OTUs must not depend on scheduling.
  std::vector<int> representative(static_cast<std::size_t>(n));
  std::iota(representative.begin(), representative.end(), 0);
  std::vector<char> duplicate(static_cast<std::size_t>(n), 0);
  for (int i = 0; i < n; ++i) {
    if (duplicate[i]) continue;
    for (int j = i + 1; j < n; ++j) {
      if (duplicate[j] || typeOf[j] != typeOf[i] || typeOf[i] >= k) continue;
      if (AlmostEqual2sComplement(similarity(sym[i][j]), 1.0, 1)) {
        duplicate[j] = 1;
        representative[j] = i;
        --count[typeOf[i]];
      }
    }
  }

  for (int i = 0; i < n; ++i) std::fill(U[i], U[i] + k, kMissing);

  // Each thread writes only its own rows of U.
#pragma omp parallel for schedule(static)
  for (int i = 0; i < n; ++i) {
    double* row = U[i];
    for (int j = 0; j < n; ++j) {
      if (j != i && (duplicate[j] || representative[i] == representative[j])) continue;
      const int t = typeOf[j];
      if (t >= k || sym[i][j] == kMissing) continue;
      if (row[t] == kMissing) row[t] = 0.0;
      row[t] += similarity(sym[i][j]) / count[t];
    }
    double sum = 0;
    for (int t = 0; t < k; ++t)
      if (row[t] != kMissing) sum += row[t];
    if (sum == 0) sum = 1;
    for (int t = 0; t < k; ++t)
      if (row[t] != kMissing) row[t] /= sum;
  }
}

void gower_similarityPartial(int p, const double* const* B, int n, Array3<double>& P, const int* types,
                             const double* ranges, const double* weights, int countDoubleAbsence) {
  if (P.extent() != n || (n > 0 && (P[0].rows() != n || P[0].cols() != p))) P = Array3<double>(n, n, p);
  // Per trait: the values compared (ranks for ordinal traits), range and weight.
  Matrix<double> X(std::max(n, 0), p);
  std::vector<double> range(static_cast<std::size_t>(p), 0.0), w(static_cast<std::size_t>(p), 1.0);
  std::vector<double> x(static_cast<std::size_t>(std::max(n, 0)));
  for (int k = 0; k < p; ++k) {
    for (int i = 0; i < n; ++i) x[i] = B[i][k];
    if (weights && weights[k] >= 0) w[k] = weights[k];
    if (types[k] == 4) {
      x = MidRanks(x);
      range[k] = RoundToFloat(PresentRange(x));
    } else if (types[k] == 3) {
      range[k] = ranges ? ranges[k] : 0.0;
      if (range[k] == 0) range[k] = RoundToFloat(PresentRange(x));
    }
    for (int i = 0; i < n; ++i) X[i][k] = x[i];
  }
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      double* pij = P[i][j];
      double* pji = P[j][i];
      for (int k = 0; k < p; ++k)
        pij[k] = pji[k] = RoundToFloat(PartialGower(types[k], X[i][k], X[j][k], range[k], w[k], countDoubleAbsence));
    }
}

namespace {

template <class Weight>
void AverageGower(int p, int n, const Array3<double>& P, double** S, Weight weightOf) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double num = 0, den = 0;
      for (int k = 0; k < p; ++k) {
        const double w = weightOf(k);
        if (!(w > 0) || P[i][j][k] == kMissing) continue;
        num += P[i][j][k];
        den += w;
      }
      S[i][j] = den > 0 ? num / den : kMissing;
    }
  // An OTU is identical to itself even when none of its traits can be
  // compared (all missing, or only double absences left out).
  for (int i = 0; i < n; ++i) S[i][i] = 1.0;
}

}  // namespace

void gower_similarityAverage(int p, int n, const Array3<double>& P, double** S, const double* weights) {
  AverageGower(p, n, P, S, [&](int k) { return weights ? weights[k] : 1.0; });
}

void gower_similarityAverage(int p, int n, const Array3<double>& P, double** S, const int* select) {
  AverageGower(p, n, P, S, [&](int k) { return select[k] == 1 ? 1.0 : 0.0; });
}

void NominalReseNonHier(int n, int p, const double* const* X, double** D, int reseOpt) {
  switch (reseOpt) {
    case 6:
    case 7:
      EuclideanMV(n, p, X, D);
      break;
    case 8:
    case 9:
      PairwiseMV(
          n, p, X, D, [](double d) { return std::fabs(d); }, [](double s) { return s; });
      break;
    case 10: {
      // Chord distance: Euclidean distance between rows scaled to unit length.
      Matrix<double> unit(n, p);
      for (int i = 0; i < n; ++i) {
        double ss = 0;
        for (int c = 0; c < p; ++c)
          if (X[i][c] != kMissing) ss += X[i][c] * X[i][c];
        const double norm = ss > 0 ? std::sqrt(ss) : 1.0;
        for (int c = 0; c < p; ++c) unit[i][c] = X[i][c] == kMissing ? kMissing : X[i][c] / norm;
      }
      EuclideanMV(n, p, unit, D);
      break;
    }
    default:
      break;
  }
}

bool HasQualitTrait(int p, const int* types) {
  for (int k = 0; k < p; ++k)
    if (types[k] == 2) return true;
  return false;
}

bool HasQualitTraitSelect(int p, const int* types, const int* select) {
  for (int k = 0; k < p; ++k)
    if (select[k] == 1 && types[k] == 2) return true;
  return false;
}

}  // namespace kalios
