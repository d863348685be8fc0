#pragma once
// Correlations between two matrices that describe the same n objects (usually
// communities): the Mantel-type correlation of two resemblance matrices, the Rd
// correlation of Gower-centred resemblances, the Procrustes correlation and the
// RV coefficient of two data matrices; a dispatcher choosing among them by a
// one-letter option, the first-order partial correlation, and the partial
// Procrustes / RV correlation that removes covariate matrices by regression on
// their principal components.
//
// Degenerate inputs (constant matrices, zero variance, failed decompositions,
// unknown options) give 0, never NaN or an error: a permutation test counts
// the 0 like any other value. The missing value -999 is skipped.
#include <initializer_list>

namespace kalios {

// Mantel-type statistic ('m'), Rd ('r'), Procrustes ('p'), RV ('v'); any
// other option 0. The resemblance statistics read DA and DB (n x n), the
// others the data matrices A (n x p) and B (n x q). square squares the
// dissimilarities before Gower centring for Rd.
double MatrixCorrelationLib(int n, int p, int q, const double* const* A, const double* const* B,
                            const double* const* DA, const double* const* DB, bool square, char option);

// Pearson correlation of the strict upper triangles (j > i) of DA and DB,
// leaving out the pairs where either is -999.
double MatrixCorr(int n, const double* const* DA, const double* const* DB);

// Pearson correlation over all n x n cells of the Gower-centred DA and DB
// (dissimilarities squared first when square). With square and Euclidean
// distances this is the RV coefficient of the configurations.
double RdMatrixCorr(int n, const double* const* DA, const double* const* DB, bool square);

// Procrustes correlation: both matrices column-centred and scaled to unit
// total variance, then the sum of the singular values of their cross-product
// matrix. 1 for a matrix with itself.
double ProcrustesCoeff(int n, int p, int q, const double* const* A, const double* const* B);

// RV coefficient of the column-centred A and B.
double RVcoeff(int n, int p, int q, const double* const* A, const double* const* B);

// (rxy - rxz ryz) / sqrt((1 - rxz^2)(1 - ryz^2)); 0 when either correlation
// with the covariate is within 1e-9 of +1 or -1 (nothing is left once the
// covariate is removed) or the result is not finite.
double PartialCorrelation(double rxy, double rxz, double ryz);

// One covariate matrix of a partial matrix correlation: n x cols, of which
// the columns j with select[j] == 1 take part (all when select is null).
struct MatrixCovariate {
  int cols = 0;
  const int* select = nullptr;
  const double* const* M = nullptr;
};

// Partial Procrustes (method 2) or RV (method 3) correlation of A and B given
// the covariates: both are replaced by their residuals on the principal
// components of the standardized covariates (at most (n - 2) / overfitFactor
// components), then correlated. Any other method, or a failed regression,
// gives 0.
double PartialMatrixCorrelation(int n, int p, int q, const double* const* A, const double* const* B, int method,
                                double overfitFactor, int nCovariates, const MatrixCovariate* covariates);
double PartialMatrixCorrelation(int n, int p, int q, const double* const* A, const double* const* B, int method,
                                double overfitFactor, std::initializer_list<MatrixCovariate> covariates);

}  // namespace kalios
