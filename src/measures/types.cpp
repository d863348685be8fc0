#include "measures/types.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "measures/resemblance.h"
#include "measures/transform.h"
#include "numlib/linalg.h"
#include "numlib/matrix.h"
#include "numlib/groups.h"
#include "numlib/compare.h"

namespace kalios {

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

  for (int i = 0; i < n; ++i) std::fill(U[i], U[i] + k, kMissingValue);

  // Each thread writes only its own rows of U.
#pragma omp parallel for schedule(static)
  for (int i = 0; i < n; ++i) {
    double* row = U[i];
    for (int j = 0; j < n; ++j) {
      if (j != i && (duplicate[j] || representative[i] == representative[j])) continue;
      const int t = typeOf[j];
      if (t >= k || sym[i][j] == kMissingValue) continue;
      if (row[t] == kMissingValue) row[t] = 0.0;
      row[t] += similarity(sym[i][j]) / count[t];
    }
    double sum = 0;
    for (int t = 0; t < k; ++t)
      if (row[t] != kMissingValue) sum += row[t];
    if (sum == 0) sum = 1;
    for (int t = 0; t < k; ++t)
      if (row[t] != kMissingValue) row[t] /= sum;
  }
}

void gower_similarityPartial(int p, const double* const* B, int n, Array3<double>& P, const int* types,
                             const double* ranges, const double* weights, int countDoubleAbsence) {
  if (P.extent() != n || (n > 0 && (P[0].rows() != n || P[0].cols() != p))) P = Array3<double>(n, n, p);
  // One trait at a time: its values, then its n x n partials spread into P.
  std::vector<double> x(static_cast<std::size_t>(std::max(n, 0)));
  Matrix<double> partial(n, n);
  for (int k = 0; k < p; ++k) {
    for (int i = 0; i < n; ++i) x[i] = B[i][k];
    // Any weight that is not a non-negative number (NaN included) counts as 1.
    const double w = weights && weights[k] >= 0 ? weights[k] : 1.0;
    GowerMVPartial_dAbsences(n, types[k], x.data(), partial, ranges ? ranges[k] : 0.0, w, countDoubleAbsence);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) P[i][j][k] = partial[i][j];
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
        if (!(w > 0) || P[i][j][k] == kMissingValue) continue;
        num += P[i][j][k];
        den += w;
      }
      S[i][j] = den > 0 ? num / den : kMissingValue;
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

void gower_similarity(int p, const double* const* B, int n, double** S, const int* types, const double* ranges,
                      const double* weights, int countDoubleAbsence) {
  std::vector<double> x(static_cast<std::size_t>(std::max(n, 0)));
  Matrix<double> partial(n, n), den(n, n);
  for (int i = 0; i < n; ++i) std::fill(S[i], S[i] + n, 0.0);
  for (int k = 0; k < p; ++k) {
    const double w = weights ? weights[k] : 1.0;
    if (!(w > 0)) continue;  // a trait without positive weight takes no part in the average
    for (int i = 0; i < n; ++i) x[i] = B[i][k];
    GowerMVPartial_dAbsences(n, types[k], x.data(), partial, ranges ? ranges[k] : 0.0, w, countDoubleAbsence);
    for (int i = 0; i < n; ++i) {
      const double* part = partial[i];
      double* num = S[i];
      double* sum = den[i];
      for (int j = 0; j < n; ++j) {
        if (part[j] == kMissingValue) continue;
        num[j] += part[j];
        sum[j] += w;
      }
    }
  }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) S[i][j] = den[i][j] > 0 ? S[i][j] / den[i][j] : kMissingValue;
  for (int i = 0; i < n; ++i) S[i][i] = 1.0;
}

void NominalReseNonHier(int n, int p, const double* const* X, double** D, int reseOpt) {
  switch (reseOpt) {
    case 6:
    case 7:
      EucliDistMV(n, p, X, D);
      break;
    case 8:
    case 9:
      AbsValFunctionMV(n, p, X, D);
      UpperToLowerMatrix(n, D);
      // A row holding an infinite value would otherwise give itself NaN.
      for (int i = 0; i < n; ++i) D[i][i] = 0.0;
      break;
    case 10: {
      // Chord distance: Euclidean distance between rows scaled to unit length.
      Matrix<double> unit(n, p);
      NormalizeRowsMV(n, p, X, unit);
      EucliDistMV(n, p, unit, D);
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
