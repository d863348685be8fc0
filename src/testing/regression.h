#pragma once
// Multiple least-squares regression of several responses on a common set of
// predictors, and the residual forms built on it: residuals on selected
// predictors, on the principal components of the predictors (removing
// covariates without overfitting), and of one dissimilarity matrix on another.
//
// Y is n x p (responses), X is n x q (predictors); -999 marks a missing value.
// Each response is then fitted on its complete cases (rows where it and every
// predictor are present); the predictions of rows with a missing predictor
// are -999.
//
// Every routine returns 1 when the fit is sound and 0 when it is not: a
// singular X'X (collinear predictors; the Gauss-Jordan solver still writes its
// warning) or any non-finite result. On failure the outputs hold the fit on no
// predictor at all (coefficients 0, every prediction the mean of its response,
// r square 0, residuals the centred responses), so no non-finite value reaches
// a caller that would count or print it; callers that test statistics must
// check the flag.

#include <iosfwd>

namespace kalios {

// Fits each response on all q predictors: coef (q x p), intercept (p),
// predicted (n x p, intercepts included), rsq (p) and, when not null, totalSS
// (p, the sum of squared deviations of each response). A constant response
// has r square 0. With q = 0 every prediction is the mean of its response.
// No report of the fit is ever written: report, stream, language and detail
// are accepted for callers of the full form and ignored.
int regression(int n, int p, int q, const double* const* Y, const double* const* X, double** coef,
               double* intercept, double** predicted, double* rsq, double* totalSS, bool report,
               std::ostream* stream, int language, bool detail);
// Number of complete cases of response j: rows where Y[i][j] and the q
// predictors of X[i] are all present.
int CompleteCases(int n, int q, const double* const* X, const double* const* Y, int j);
// The same without the total sums of squares.
int regression(int n, int p, int q, const double* const* Y, const double* const* X, double** coef,
               double* intercept, double** predicted, double* rsq);

// resid (n x p) = Y - predicted, the predictors being the columns j of X with
// select[j] = 1 (all when select is null; none gives the centred responses).
int Regression_ResidualsSelect(int n, int p, int q, const double* const* Y, const double* const* X, double** resid,
                               const int* select);

// Residuals of Y on the first a principal components of the selected
// predictors: option 1 from their covariance matrix, option 2 from their
// correlation matrix, any other option no component. a is the number of
// components with non-negligible variance, limited to (n - 2) / overfitFactor
// so that the fit never uses nearly as many predictors as objects.
int PCA_Regression_ResidualsSelect(int n, int p, int q, const double* const* Y, const double* const* X,
                                   double** resid, const int* select, int option, double overfitFactor);

// Regresses the upper-triangle values B[i][j] (i < j, response) on A[i][j]
// (predictor) and writes the residuals into the upper triangle of R; the
// diagonal and lower triangle of R are not touched.
int ResidualsMatrixRegression(int n, const double* const* A, const double* const* B, double** R);

}  // namespace kalios
