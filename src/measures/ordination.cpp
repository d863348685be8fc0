#include "measures/ordination.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "measures/transform.h"
#include "numlib/linalg.h"
#include "numlib/matrix.h"

namespace kalios {
namespace {

// Smallest share of the positive inertia (in percent) that still makes an axis.
constexpr double kAxisThresholdPercent = 1e-6;

int CountAxes(int n, const double* eigval) {
  double positive = 0.0;
  for (int k = 0; k < n; ++k)
    if (eigval[k] > 0.0) positive += eigval[k];
  if (!(positive > 0.0)) return 0;
  int axes = 0;
  for (int k = 0; k < n; ++k)
    if (eigval[k] * 100.0 / positive > kAxisThresholdPercent) ++axes;
  return axes;
}

}  // namespace

bool IsSimilarityCode(int reseCode) {
  switch (reseCode) {
    case 1: case 5: case 6: case 7: case 9: case 10: case 11: case 12: case 13: case 14: case 15: case 16:
    case 17: case 19: case 22:
      return true;
    default:
      return false;
  }
}

int OrdinationLib_D(int n, int p, const double* const* data, const double* const* R, double** eigvec,
                    double** scores, int* nAxes, double* eigval, bool* ok, int method, int reseCode,
                    int orientation, int vectors) {
  *nAxes = 0;
  *ok = true;
  if (n <= 0) return 1;
  Matrix<double> toDecompose(n, n);
  Matrix<double> work;  // the n x p data of methods 2 and 3
  if (method == kOrdinationPrincipalCoordinates) {
    Matrix<double> sq(n, n);
    if (IsSimilarityCode(reseCode)) {
      ProdToSqDist(n, R, sq);
      UpperToLowerMatrix(n, sq);
    } else {
      for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) sq[i][j] = sq[j][i] = R[i][j] * R[i][j];
    }
    DissToCenterProdMatrix(n, sq, toDecompose, true);
    UpperToLowerMatrix(n, toDecompose);
  } else {
    CopyMatrix(n, n, R, toDecompose);
    work.Resize(n, p);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < p; ++j) work[i][j] = orientation == 1 ? data[i][j] : data[j][i];
  }
  if (vectors < 0 || vectors > n) vectors = n;
  *ok = EigenSymmetricLeading(n, toDecompose, vectors, eigvec, eigval);
  *nAxes = CountAxes(n, eigval);
  const int axes = std::min(*nAxes, vectors);  // the axes given scores

  if (method == kOrdinationPrincipalCoordinates) {
    for (int k = 0; k < axes; ++k) {
      double len2 = 0.0;
      for (int i = 0; i < n; ++i) len2 += eigvec[k][i] * eigvec[k][i];
      const double f = std::sqrt(eigval[k] / len2);
      for (int i = 0; i < n; ++i) scores[k][i] = eigvec[k][i] * f;
    }
  } else if (method == kOrdinationPrincipalComponents) {
    for (int k = 0; k < axes; ++k) {
      double len2 = 0.0;
      for (int i = 0; i < n; ++i) len2 += eigvec[k][i] * eigvec[k][i];
      const double len = std::sqrt(len2);
      for (int i = 0; i < n; ++i) eigvec[k][i] /= len;
    }
    if (reseCode == 22) {
      CenterRowsCovMV(n, p, work, work);
    } else if (reseCode == 17) {
      CenterRowsMV(n, p, work, work);
      NormalizeRowsMV(n, p, work, work);
    }
    for (int k = 0; k < axes; ++k)
      for (int j = 0; j < p; ++j) {
        double s = 0.0;
        for (int i = 0; i < n; ++i)
          if (work[i][j] != kMissingValue) s += work[i][j] * eigvec[k][i];
        scores[k][j] = s;
      }
  } else if (method == kOrdinationCorrespondence) {
    std::vector<double> rowTot(static_cast<size_t>(n)), colTot(static_cast<size_t>(p > 0 ? p : 0));
    RowTotalsMV(n, p, work, rowTot.data());
    ColTotalsMV(n, p, work, colTot.data());
    const double grand = MatrixTotalMV(n, p, work);
    for (int k = 0; k < axes; ++k)
      for (int i = 0; i < n; ++i)
        if (rowTot[static_cast<size_t>(i)] > 0.0) eigvec[k][i] *= std::sqrt(grand / rowTot[static_cast<size_t>(i)]);
    for (int k = 0; k < axes; ++k) {
      const double root = std::sqrt(eigval[k]);
      for (int j = 0; j < p; ++j) {
        double s = 0.0;
        const double cj = colTot[static_cast<size_t>(j)];
        if (cj > 0.0)
          for (int i = 0; i < n; ++i)
            if (work[i][j] != kMissingValue) s += work[i][j] * eigvec[k][i] / (cj * root);
        scores[k][j] = s;
      }
    }
  }
  return 1;
}

int OrdinationLib_Scores(int n, int p, const double* const* data, const double* const* R, double** scores,
                         int method, int reseCode, int orientation) {
  if (n <= 0) return 0;
  Matrix<double> eigvec(n, n);
  std::vector<double> eigval(static_cast<size_t>(n));
  int axes = 0;
  bool ok = true;
  OrdinationLib_D(n, p, data, R, eigvec, scores, &axes, eigval.data(), &ok, method, reseCode, orientation);
  return axes;
}

void DissToCenterProdMatrix(int n, const double* const* D, double** G, bool alreadySquared) {
  if (n <= 0) return;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) G[i][j] = alreadySquared ? D[i][j] : D[i][j] * D[i][j];
  auto d = [&](int i, int j) { return i <= j ? G[i][j] : G[j][i]; };
  std::vector<double> r(static_cast<size_t>(n), 0.0);
  double g = 0.0;
  for (int i = 0; i < n; ++i) {
    double s = 0.0;
    for (int j = 0; j < n; ++j) s += d(i, j);
    g += s;
    r[static_cast<size_t>(i)] = s / n;
  }
  g /= static_cast<double>(n) * n;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j)
      G[i][j] = -0.5 * (G[i][j] - r[static_cast<size_t>(i)] - r[static_cast<size_t>(j)] + g);
}

void GowerMatrixCentering(int n, const double* const* D, double** G, bool square) {
  if (n <= 0) return;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) G[i][j] = G[j][i] = square ? D[i][j] * D[i][j] : D[i][j];
  std::vector<double> r(static_cast<size_t>(n), 0.0);
  double g = 0.0;
  for (int i = 0; i < n; ++i) {
    double s = 0.0;
    for (int j = 0; j < n; ++j) s += G[i][j];
    g += s;
    r[static_cast<size_t>(i)] = s / n;
  }
  g /= static_cast<double>(n) * n;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) G[i][j] = -0.5 * (G[i][j] - r[static_cast<size_t>(i)] - r[static_cast<size_t>(j)] + g);
}

void ProdToSqDist(int n, const double* const* S, double** D) {
  // The diagonal is written last, so S and D may be the same matrix.
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) D[i][j] = S[i][i] + S[j][j] - 2.0 * S[i][j];
  for (int i = 0; i < n; ++i) D[i][i] = 0.0;
}

void ProbToDissim(int n, const double* const* P, double** D) {
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) D[i][j] = D[j][i] = 1.0 - P[i][j];
}

}  // namespace kalios
