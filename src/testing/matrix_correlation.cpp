#include "testing/matrix_correlation.h"

#include <array>
#include <cmath>
#include <vector>

#include "numlib/compare.h"
#include "numlib/linalg.h"
#include "numlib/matrix.h"
#include "measures/ordination.h"
#include "testing/random.h"
#include "testing/regression.h"

namespace kalios {
namespace {

constexpr double kMissing = -999.0;
inline bool Present(double x) { return x != kMissing; }

// A statistic that is not a finite number is degenerate and reported as 0.
inline double FiniteOrZero(double x) { return std::isfinite(x) ? x : 0.0; }

// Means of the present values of each column (0 for a column with none).
void ColumnMeans(int n, int p, const double* const* A, std::vector<double>& mean) {
  mean.assign(static_cast<std::size_t>(p), 0.0);
  for (int j = 0; j < p; ++j) {
    double s = 0.0;
    int m = 0;
    for (int i = 0; i < n; ++i)
      if (Present(A[i][j])) {
        s += A[i][j];
        ++m;
      }
    mean[static_cast<std::size_t>(j)] = m > 0 ? s / m : 0.0;
  }
}

// Work matrices that outlive the call: a permutation test calls these
// statistics thousands of times on matrices of the same shapes, and fresh
// large blocks cost a page fault per page on every call. Each slot belongs to
// one routine, so nested calls (the partial correlations calling Procrustes or
// RV) never share one; every user overwrites all the cells it reads.
enum ScratchSlot { kCentredA, kCentredB, kCrossT, kSvdU, kSvdV, kGowerA, kGowerB, kCovariates, kResidA, kResidB,
                   kGramA, kGramB, kGramAB, kNumSlots };
Matrix<double>& Scratch(ScratchSlot slot, int r, int c) {
  thread_local std::array<Matrix<double>, kNumSlots> pool;
  Matrix<double>& m = pool[static_cast<std::size_t>(slot)];
  if (m.rows() != r || m.cols() != c) m.Resize(r, c);
  return m;
}

// Column-centred copy; missing values become 0 so that they drop out of
// every cross product, as the products that skip -999 terms would have it.
const Matrix<double>& CenteredCopy(int n, int p, const double* const* A, ScratchSlot slot) {
  std::vector<double> mean;
  ColumnMeans(n, p, A, mean);
  Matrix<double>& c = Scratch(slot, n, p);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j) c[i][j] = Present(A[i][j]) ? A[i][j] - mean[static_cast<std::size_t>(j)] : 0.0;
  return c;
}

// Cross products C (rows of X against rows of Y, X n x p, Y n x q, upper
// triangle with the diagonal when same) or (columns of X against columns of
// Y, p x q) accumulated row by row so that the inner loops run along rows.
void RowGram(int n, int p, const Matrix<double>& X, Matrix<double>& G) {
  for (int i = 0; i < n; ++i)
    for (int k = i; k < n; ++k) {
      double g = 0.0;
      const double* xi = X[i];
      const double* xk = X[k];
      for (int j = 0; j < p; ++j) g += xi[j] * xk[j];
      G[i][k] = g;
    }
}
void ColumnCross(int n, int p, int q, const Matrix<double>& X, const Matrix<double>& Y, Matrix<double>& C) {
  C.Fill(0.0);
  for (int i = 0; i < n; ++i) {
    const double* xi = X[i];
    const double* yi = Y[i];
    for (int a = 0; a < p; ++a) {
      const double x = xi[a];
      if (x == 0.0) continue;
      double* c = C[a];
      for (int b = 0; b < q; ++b) c[b] += x * yi[b];
    }
  }
}
double SumSquares(const Matrix<double>& C) {
  double s = 0.0;
  for (int a = 0; a < C.rows(); ++a)
    for (int b = 0; b < C.cols(); ++b) s += C[a][b] * C[a][b];
  return s;
}

}  // namespace

double MatrixCorrelationLib(int n, int p, int q, const double* const* A, const double* const* B,
                            const double* const* DA, const double* const* DB, bool square, char option) {
  switch (option) {
    case 'm': return MatrixCorr(n, DA, DB);
    case 'r': return RdMatrixCorr(n, DA, DB, square);
    case 'p': return ProcrustesCoeff(n, p, q, A, B);
    case 'v': return RVcoeff(n, p, q, A, B);
    default: return 0.0;
  }
}

namespace {

// Pearson correlation of the cells of DA and DB (see upper), neither
// being -999. The values are shifted by the first accepted pair before the
// two passes, so a constant matrix gives exactly zero deviations; a sum of
// squares that is only rounding noise next to the values themselves (relative
// 1e-20 on the squares) also counts as no variation, which keeps a nearly
// constant matrix from producing a correlation of noise.
// upper: only the strict upper triangle (j > i), else every cell.
double PearsonOfCells(int n, const double* const* DA, const double* const* DB, bool upper) {
  bool first = true;
  double a0 = 0.0, b0 = 0.0, sa = 0.0, sb = 0.0, rawA = 0.0, rawB = 0.0;
  long long m = 0;
  for (int i = 0; i < n; ++i)
    for (int j = upper ? i + 1 : 0; j < n; ++j) {
      if (!Present(DA[i][j]) || !Present(DB[i][j])) continue;
      if (first) {
        a0 = DA[i][j];
        b0 = DB[i][j];
        first = false;
      }
      sa += DA[i][j] - a0;
      sb += DB[i][j] - b0;
      rawA += DA[i][j] * DA[i][j];
      rawB += DB[i][j] * DB[i][j];
      ++m;
    }
  if (m == 0) return 0.0;
  const double ma = sa / static_cast<double>(m), mb = sb / static_cast<double>(m);
  double sxy = 0.0, sxx = 0.0, syy = 0.0;
  for (int i = 0; i < n; ++i) {
    for (int j = upper ? i + 1 : 0; j < n; ++j) {
      if (!Present(DA[i][j]) || !Present(DB[i][j])) continue;
      const double a = DA[i][j] - a0 - ma, b = DB[i][j] - b0 - mb;
      sxy += a * b;
      sxx += a * a;
      syy += b * b;
    }
  }
  constexpr double kNoise = 1e-20;
  if (!(sxx > kNoise * rawA) || !(syy > kNoise * rawB)) return 0.0;
  return FiniteOrZero(sxy / std::sqrt(sxx * syy));
}

}  // namespace

double MatrixCorr(int n, const double* const* DA, const double* const* DB) {
  return PearsonOfCells(n, DA, DB, true);
}

double RdMatrixCorr(int n, const double* const* DA, const double* const* DB, bool square) {
  if (n <= 0) return 0.0;
  Matrix<double>& GA = Scratch(kGowerA, n, n);
  Matrix<double>& GB = Scratch(kGowerB, n, n);
  GowerMatrixCentering(n, DA, GA, square);
  GowerMatrixCentering(n, DB, GB, square);
  // Centring a constant matrix leaves rounding noise of the size of its
  // values: judge the variation of the centred cells against the input.
  double rawA = 0.0, rawB = 0.0, ssA = 0.0, ssB = 0.0;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      const double a = square ? DA[i][j] * DA[i][j] : DA[i][j], b = square ? DB[i][j] * DB[i][j] : DB[i][j];
      rawA += a * a;
      rawB += b * b;
    }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      ssA += GA[i][j] * GA[i][j];
      ssB += GB[i][j] * GB[i][j];
    }
  constexpr double kNoise = 1e-20;
  if (!(ssA > kNoise * rawA) || !(ssB > kNoise * rawB)) return 0.0;
  return PearsonOfCells(n, GA, GB, false);
}

double ProcrustesCoeff(int n, int p, int q, const double* const* A, const double* const* B) {
  if (n < 2 || p < 1 || q < 1) return 0.0;
  // S is the matrix with fewer columns, L the other.
  const bool aSmall = p <= q;
  const double* const* S = aSmall ? A : B;
  const double* const* L = aSmall ? B : A;
  const int s = aSmall ? p : q;
  const int l = aSmall ? q : p;

  const Matrix<double>& Sc = CenteredCopy(n, s, S, kCentredA);
  const Matrix<double>& Lc = CenteredCopy(n, l, L, kCentredB);
  // Total variance: sum over the columns of sum of squares / (n - 1).
  double ssS = 0.0, ssL = 0.0;
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < s; ++k) ssS += Sc[i][k] * Sc[i][k];
    for (int k = 0; k < l; ++k) ssL += Lc[i][k] * Lc[i][k];
  }
  // A matrix without variance has no configuration to rotate.
  if (!(ssS > 0.0) || !(ssL > 0.0)) return 0.0;
  const double scale = 1.0 / (std::sqrt(ssS / (n - 1)) * std::sqrt(ssL / (n - 1)) * (n - 1));

  // C = S' L / (n - 1) is s x l with s <= l. Its singular values are those of
  // the l x l matrix with zero rows below it, and also those of C' (l x s),
  // which is the far smaller decomposition when one matrix has few columns.
  Matrix<double>& Ct = Scratch(kCrossT, l, s);
  Matrix<double>& U = Scratch(kSvdU, l, s);
  Matrix<double>& V = Scratch(kSvdV, s, s);
  std::vector<double> sv(static_cast<std::size_t>(s));
  ColumnCross(n, l, s, Lc, Sc, Ct);
  for (int a = 0; a < l; ++a)
    for (int b = 0; b < s; ++b) Ct[a][b] *= scale;
  const bool ok = SingValueDecomp(l, s, Ct, U, sv.data(), V);
  if (!ok) return 0.0;
  double sum = 0.0;
  for (double v : sv) sum += v;
  return FiniteOrZero(sum);
}

double RVcoeff(int n, int p, int q, const double* const* A, const double* const* B) {
  if (n < 1 || p < 1 || q < 1) return 0.0;
  const Matrix<double>& Ac = CenteredCopy(n, p, A, kCentredA);
  const Matrix<double>& Bc = CenteredCopy(n, q, B, kCentredB);
  // vecProd(AA', BB') = ||A'B||^2 and vecProd(AA', AA') = ||A'A||^2: each
  // norm is worked in the cheaper space, the n x n cross products of the
  // objects when a matrix has more columns than rows, else the cross products
  // of its variables; the cross term then comes from the two object cross
  // products when both exist, else from A'B.
  const bool objA = n < p, objB = n < q;
  Matrix<double>& GA = objA ? Scratch(kGramA, n, n) : Scratch(kGramA, p, p);
  Matrix<double>& GB = objB ? Scratch(kGramB, n, n) : Scratch(kGramB, q, q);
  auto upperSums = [n](const Matrix<double>& X, const Matrix<double>& Y) {
    double s = 0.0;
    for (int i = 0; i < n; ++i)
      for (int k = i; k < n; ++k) s += (k == i ? 1.0 : 2.0) * X[i][k] * Y[i][k];
    return s;
  };
  double aa = 0.0, bb = 0.0, ab = 0.0;
  if (objA) {
    RowGram(n, p, Ac, GA);
    aa = upperSums(GA, GA);
  } else {
    ColumnCross(n, p, p, Ac, Ac, GA);
    aa = SumSquares(GA);
  }
  if (objB) {
    RowGram(n, q, Bc, GB);
    bb = upperSums(GB, GB);
  } else {
    ColumnCross(n, q, q, Bc, Bc, GB);
    bb = SumSquares(GB);
  }
  if (objA && objB) {
    ab = upperSums(GA, GB);
  } else {
    Matrix<double>& CAB = Scratch(kGramAB, p, q);
    ColumnCross(n, p, q, Ac, Bc, CAB);
    ab = SumSquares(CAB);
  }
  // A constant matrix has a zero cross-product matrix: nothing to correlate.
  if (!(aa > 0.0) || !(bb > 0.0)) return 0.0;
  return FiniteOrZero(ab / std::sqrt(aa * bb));
}

double PartialCorrelation(double rxy, double rxz, double ryz) {
  // A perfect correlation with the covariate, of either sign, leaves no
  // residual variation to correlate.
  constexpr double kTol = 1e-9;
  if (AlmostEqual_Tolerance(rxz, 1.0, kTol) || AlmostEqual_Tolerance(rxz, -1.0, kTol) ||
      AlmostEqual_Tolerance(ryz, 1.0, kTol) || AlmostEqual_Tolerance(ryz, -1.0, kTol))
    return 0.0;
  return FiniteOrZero((rxy - rxz * ryz) / (std::sqrt(1.0 - rxz * rxz) * std::sqrt(1.0 - ryz * ryz)));
}

double PartialMatrixCorrelation(int n, int p, int q, const double* const* A, const double* const* B, int method,
                                double overfitFactor, int nCovariates, const MatrixCovariate* covariates) {
  if (method != 2 && method != 3) return 0.0;
  if (n < 1 || p < 1 || q < 1) return 0.0;
  // Z: the selected columns of every covariate, side by side. A constant
  // column is left out: standardized it is all zeros and explains nothing,
  // and a covariate made only of such columns would otherwise hand the
  // principal components a zero matrix to decompose.
  auto varies = [n](const MatrixCovariate& cov, int j) {
    double first = kMissing;
    for (int i = 0; i < n; ++i) {
      const double v = cov.M[i][j];
      if (!Present(v)) continue;
      if (!Present(first)) first = v;
      else if (v != first) return true;
    }
    return false;
  };
  int m = 0;
  for (int c = 0; c < nCovariates; ++c)
    for (int j = 0; j < covariates[c].cols; ++j)
      if ((!covariates[c].select || covariates[c].select[j] == 1) && varies(covariates[c], j)) ++m;
  Matrix<double>& Z = Scratch(kCovariates, n, m);
  int col = 0;
  for (int c = 0; c < nCovariates; ++c) {
    const MatrixCovariate& cov = covariates[c];
    for (int j = 0; j < cov.cols; ++j) {
      if ((cov.select && cov.select[j] != 1) || !varies(cov, j)) continue;
      for (int i = 0; i < n; ++i) Z[i][col] = cov.M[i][j];
      ++col;
    }
  }
  Matrix<double>& resA = Scratch(kResidA, n, p);
  Matrix<double>& resB = Scratch(kResidB, n, q);
  const int okA = PCA_Regression_ResidualsSelect(n, p, m, A, Z, resA, nullptr, 2, overfitFactor);
  const int okB = PCA_Regression_ResidualsSelect(n, q, m, B, Z, resB, nullptr, 2, overfitFactor);
  if (!okA || !okB) return 0.0;
  return method == 3 ? RVcoeff(n, p, q, resA, resB) : ProcrustesCoeff(n, p, q, resA, resB);
}

double PartialMatrixCorrelation(int n, int p, int q, const double* const* A, const double* const* B, int method,
                                double overfitFactor, std::initializer_list<MatrixCovariate> covariates) {
  return PartialMatrixCorrelation(n, p, q, A, B, method, overfitFactor, static_cast<int>(covariates.size()),
                                  covariates.begin());
}

}  // namespace kalios
