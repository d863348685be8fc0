#include "testing/regression.h"

#include <cmath>
#include <vector>

#include "measures/transform.h"
#include "numlib/linalg.h"
#include "numlib/matrix.h"

namespace kalios {
namespace {



// Mean of the present values of column j (0 when none is present).
double ColMeanMV(int n, const double* const* A, int j) {
  double sum = 0.0;
  int cnt = 0;
  for (int i = 0; i < n; ++i)
    if (IsPresent(A[i][j])) {
      sum += A[i][j];
      ++cnt;
    }
  return cnt ? sum / cnt : 0.0;
}

// The fit on no predictor: every prediction the mean of its response.
void MeanFit(int n, int p, int q, const std::vector<double>& meanY, double** coef, double* intercept,
             double** predicted, double* rsq) {
  for (int k = 0; k < q; ++k)
    for (int j = 0; j < p; ++j) coef[k][j] = 0.0;
  for (int j = 0; j < p; ++j) {
    intercept[j] = meanY[static_cast<std::size_t>(j)];
    rsq[j] = 0.0;
    for (int i = 0; i < n; ++i) predicted[i][j] = meanY[static_cast<std::size_t>(j)];
  }
}

bool RowComplete(int q, const double* x) {
  for (int k = 0; k < q; ++k)
    if (!IsPresent(x[k])) return false;
  return true;
}

bool AnyMissing(int n, int c, const double* const* A) {
  for (int i = 0; i < n; ++i)
    if (!RowComplete(c, A[i])) return true;
  return false;
}

}  // namespace

int CompleteCases(int n, int q, const double* const* X, const double* const* Y, int j) {
  int m = 0;
  for (int i = 0; i < n; ++i)
    if (IsPresent(Y[i][j]) && RowComplete(q, X[i])) ++m;
  return m;
}

int regression(int n, int p, int q, const double* const* Y, const double* const* X, double** coef,
               double* intercept, double** predicted, double* rsq, double* totalSS, bool report,
               std::ostream* stream, int language, bool detail) {
  if (n <= 0 || p <= 0) return 1;
  if (q < 0) q = 0;
  if (AnyMissing(n, p, Y) || AnyMissing(n, q, X)) {
    // Each response is fitted on its complete cases alone: a mean taken over
    // other rows than the cross products would mix two samples.
    bool ok = true;
    Matrix<double> Ys(n, 1), Xs(n, q), cj(q, 1), pj(n, 1);
    for (int j = 0; j < p; ++j) {
      int m = 0;
      for (int i = 0; i < n; ++i) {
        if (!IsPresent(Y[i][j]) || !RowComplete(q, X[i])) continue;
        Ys[m][0] = Y[i][j];
        for (int k = 0; k < q; ++k) Xs[m][k] = X[i][k];
        ++m;
      }
      double ic = 0.0, r2 = 0.0, ss = 0.0;
      cj.Fill(0.0);
      if (m > 0)
        ok = regression(m, 1, q, Ys, Xs, cj, &ic, pj, &r2, &ss, report, stream, language, detail) && ok;
      for (int k = 0; k < q; ++k) coef[k][j] = cj[k][0];
      intercept[j] = ic;
      rsq[j] = r2;
      if (totalSS) totalSS[j] = ss;
      for (int i = 0; i < n; ++i) {
        if (!RowComplete(q, X[i])) {
          predicted[i][j] = kMissingValue;
          continue;
        }
        double v = ic;
        for (int k = 0; k < q; ++k) v += cj[k][0] * X[i][k];
        predicted[i][j] = v;
      }
    }
    return ok ? 1 : 0;
  }
  std::vector<double> meanY(static_cast<std::size_t>(p)), meanX(static_cast<std::size_t>(q));
  for (int j = 0; j < p; ++j) meanY[static_cast<std::size_t>(j)] = ColMeanMV(n, Y, j);
  for (int k = 0; k < q; ++k) meanX[static_cast<std::size_t>(k)] = ColMeanMV(n, X, k);

  Matrix<double> Yc(n, p);
  CenterColsMV(n, p, Y, Yc);
  std::vector<double> ownSS;
  if (!totalSS) {
    ownSS.resize(static_cast<std::size_t>(p));
    totalSS = ownSS.data();
  }
  for (int j = 0; j < p; ++j) {
    double ss = 0.0;
    for (int i = 0; i < n; ++i)
      if (IsPresent(Yc[i][j])) ss += Yc[i][j] * Yc[i][j];
    totalSS[j] = ss;
  }

  bool ok = true;
  if (q == 0) {
    MeanFit(n, p, q, meanY, coef, intercept, predicted, rsq);
  } else {
    // Normal equations from the centred data: (X'X) coef = X'Y.
    Matrix<double> Xc(n, q), Xct(q, n), XtX(q, q), XtY(q, p);
    CenterColsMV(n, q, X, Xc);
    TransposeMatrix(n, q, Xc, Xct);
    MatrixProd(q, n, n, q, Xct, Xc, XtX);
    MatrixProd(q, n, n, p, Xct, Yc, XtY);
    Matrix<double> a(q + 1, q + 1), b(q + 1, p + 1);
    Convertn_n1(q, q, XtX, a);
    Convertn_n1(q, p, XtY, b);
    {
      // The solver below warns about a singular system but carries on; a
      // silent run on copies tells whether its result can be trusted.
      Matrix<double> a2(a), b2(b);
      ok = gaussj_VP(a2, q, b2, p);
    }
    gaussj(a, q, b, p);
    Convertn1_n(q, p, b, coef);

    for (int j = 0; j < p; ++j) {
      double c = meanY[static_cast<std::size_t>(j)];
      for (int k = 0; k < q; ++k) c -= coef[k][j] * meanX[static_cast<std::size_t>(k)];
      intercept[j] = c;
    }
    MatrixProd(n, q, q, p, X, coef, predicted);
    for (int j = 0; j < p; ++j) {
      const double mean = ColMeanMV(n, predicted, j);
      double ss = 0.0;
      for (int i = 0; i < n; ++i) ss += (predicted[i][j] - mean) * (predicted[i][j] - mean);
      // A constant response has nothing to explain.
      rsq[j] = totalSS[j] > 0.0 ? ss / totalSS[j] : 0.0;
      for (int i = 0; i < n; ++i) predicted[i][j] += intercept[j];
    }
    for (int j = 0; j < p && ok; ++j) {
      ok = std::isfinite(intercept[j]) && std::isfinite(rsq[j]);
      for (int k = 0; k < q && ok; ++k) ok = std::isfinite(coef[k][j]);
      for (int i = 0; i < n && ok; ++i) ok = std::isfinite(predicted[i][j]);
    }
    if (!ok) MeanFit(n, p, q, meanY, coef, intercept, predicted, rsq);
  }
  return ok ? 1 : 0;
}

int regression(int n, int p, int q, const double* const* Y, const double* const* X, double** coef,
               double* intercept, double** predicted, double* rsq) {
  return regression(n, p, q, Y, X, coef, intercept, predicted, rsq, nullptr, false, nullptr, 0, false);
}

int Regression_ResidualsSelect(int n, int p, int q, const double* const* Y, const double* const* X, double** resid,
                               const int* select) {
  if (n <= 0 || p <= 0) return 1;
  std::vector<int> cols;
  for (int j = 0; j < q; ++j)
    if (!select || select[j] == 1) cols.push_back(j);
  const int m = static_cast<int>(cols.size());
  Matrix<double> Xs(n, m), coef(m, p), predicted(n, p);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < m; ++k) Xs[i][k] = X[i][cols[static_cast<std::size_t>(k)]];
  std::vector<double> intercept(static_cast<std::size_t>(p)), rsq(static_cast<std::size_t>(p));
  const int ok = regression(n, p, m, Y, Xs, coef, intercept.data(), predicted, rsq.data());
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j)
      resid[i][j] = IsPresent(Y[i][j]) && IsPresent(predicted[i][j]) ? Y[i][j] - predicted[i][j] : kMissingValue;
  return ok;
}

int ResidualsMatrixRegression(int n, const double* const* A, const double* const* B, double** R) {
  const int pairs = n * (n - 1) / 2;
  if (pairs <= 0) return 1;
  Matrix<double> x(pairs, 1), y(pairs, 1), coef(1, 1), predicted(pairs, 1);
  int t = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j, ++t) {
      x[t][0] = A[i][j];
      y[t][0] = B[i][j];
    }
  double intercept = 0.0, rsq = 0.0;
  const int ok = regression(pairs, 1, 1, y, x, coef, &intercept, predicted, &rsq);
  t = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j, ++t) R[i][j] = IsPresent(B[i][j]) ? B[i][j] - predicted[t][0] : kMissingValue;
  return ok;
}

}  // namespace kalios
