#pragma once
// Cross products, covariances and Pearson correlations between the rows of a
// data matrix, with pairwise deletion of the missing value -999. A covariance
// or correlation that is undefined (fewer than two common values, a constant
// vector) is 0, never NaN, so that degenerate data give degenerate statistics
// rather than failures downstream.
namespace kalios {

// M[i][j] (n x n, symmetric) = sum over the columns of x_ik x_jk, skipping a
// column where either value is missing.
void CrossProductMV(int n, int p, const double* const* X, double** M);
// Covariances between the rows of X (n x n).
void CovarianceMV(int n, int p, const double* const* X, double** M);
// Covariance over the m positions where both vectors are present, with the
// divisor m - 1; 0 when m < 2.
double Covariance2VecMV(int p, const double* a, const double* b);
// Pearson correlations between the rows of X (n x n); a constant row
// correlates 0 with every row, itself included.
void CorrelationMV(int n, int p, const double* const* X, double** R);
// Pearson correlation over the positions where both are present; 0 when no
// position is common or either vector is constant over them.
double Correlation2VecMV(int p, const double* a, const double* b);
// The correlation of vector a, row ia of A (aIsRow) or else column ia of A, and
// of vector b taken likewise from B; each has n elements.
double Correlation2SelectedVecMV(int n, bool aIsRow, int ia, const double* const* A, bool bIsRow, int ib,
                                 const double* const* B);

}  // namespace kalios
