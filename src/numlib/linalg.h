#pragma once
// Dense linear algebra used by the ordinations, matrix correlations,
// regressions and tests: symmetric eigen-decomposition and singular value
// decomposition (both on GSL), Gauss-Jordan inversion, Cholesky factorization,
// correlated random data, ranks with ties, a paired sort, and the products,
// sums and transposes of row-pointer matrices.
//
// Matrices are 0-based row-pointer arrays (a kalios::Matrix passes directly)
// except for the classic routines gaussj, gaussj_VP, crank and sort2, which use
// 1-based arrays: elements [1..n], index 0 allocated and never read.
// The missing value -999 is skipped where the comments say so.
#include <gsl/gsl_rng.h>

namespace kalios {

// Symmetric eigen-decomposition of the n x n matrix A (A is not changed).
// Eigenvalues go to eigval in descending order; row k of eigvec is the
// unit eigenvector of eigval[k] (its sign is whatever GSL gives).
// Returns false when some eigenvalue / (sum of eigenvalues) < -0.001, i.e. a
// markedly negative eigenvalue; small negative ones (principal coordinates of
// non-Euclidean dissimilarities) are tolerated. Non-finite input gives false
// with zero eigenvalues and eigenvectors.
bool EigenHouseholderQL_GSL_D(int n, const double* const* A, double** eigvec, double* eigval);

// The same decomposition when only the eigenvectors of the `vectors` largest
// eigenvalues are wanted: all n eigenvalues go to eigval (descending), rows
// k < vectors of eigvec receive their unit eigenvectors, the other rows are
// left alone. Matrices of order below kLapackEigenFrom go to GSL as above;
// larger ones to LAPACK (tridiagonal reduction, all eigenvalues, then only
// the wanted vectors by relatively robust representations), each eigenvector
// then signed so that its component of largest magnitude is positive. Same
// return value as EigenHouseholderQL_GSL_D.
inline constexpr int kLapackEigenFrom = 500;

// True when some eigenvalue / (sum of all n) is below -0.001.
bool MarkedlyNegative(int n, const double* values);
// True when every value of the r x c matrix A is finite.
bool AllFinite(int r, int c, const double* const* A);
bool EigenSymmetricLeading(int n, const double* const* A, int vectors, double** eigvec, double* eigval);

// Singular value decomposition A = U diag(S) V' of the m x n matrix A, m >= n
// (A is not changed). U is m x n, S has n values (descending), V is n x n.
// Returns false, writing nothing, when the decomposition cannot be done.
bool SingValueDecomp(int m, int n, const double* const* A, double** U, double* S, double** V);

// Gauss-Jordan elimination with full pivoting on 1-based arrays: a (n x n)
// becomes its inverse and b (n x m) the solutions of a x = b. A singular matrix
// writes "gaussj: Singular Matrix-1" (no pivot column left) or
// "gaussj: Singular Matrix-2" (zero pivot) to standard error; the computation
// goes on and gives non-finite values after a zero pivot.
void gaussj(double** a, int n, double** b, int m);
// The same elimination, silent: returns false at the first sign of
// singularity (a and b are then partly reduced and meaningless), else true.
bool gaussj_VP(double** a, int n, double** b, int m);

// Inverse of the 0-based n x n matrix A into Ainv (through gaussj_VP with an
// empty right-hand side of m columns). Returns false and leaves Ainv untouched
// when A is singular. A and Ainv may be the same matrix.
bool MatrixInverse(int n, int m, const double* const* A, double** Ainv);

// Copy an n x m matrix from 0-based to 1-based layout ([i][j] to [i+1][j+1]),
// and back.
void Convertn_n1(int n, int m, const double* const* src, double** dst);
void Convertn1_n(int n, int m, const double* const* src, double** dst);

// Cholesky factorization a = L L' of the 0-based symmetric n x n matrix a:
// L has p on its diagonal and the strict lower triangle of a below it; the
// upper triangle of a keeps the input. Returns 0 after writing
// "\ncholdc failed" to standard error when a is not positive definite, else 1.
int choldc(double** a, int n, double* p);

// n x p random data X whose columns have the correlation structure R (p x p)
// in expectation: X = Z L' with Z drawn from rng, uniform in [-0.5, 0.5) when
// distribution is 1 and standard normal otherwise. R must be positive
// definite: otherwise the analysis ends with the abort of code 1 after the
// choldc message.
void CorrToData_New(int n, int p, const double* const* R, double** X, int distribution, gsl_rng* rng);

// Writes the message and "Sorry, you have to quit and restart the program.\n"
// to standard error, then ends the analysis through the abort of code 1.
[[noreturn]] void nrerror(const char* message);

// C = A B (A r1 x c1, B r2 x c2, C r1 x c2), omitting every term in which a
// factor is -999. Returns 1 without touching C when c1 != r2, else 0.
int MatrixProd(int r1, int c1, int r2, int c2, const double* const* A, const double* const* B, double** C);
// As MatrixProd; an element all of whose terms were omitted becomes -999.
int MatrixProdMV(int r1, int c1, int r2, int c2, const double* const* A, const double* const* B, double** C);
// B (c x r) = A' (A r x c); A and B must be different matrices.
void TransposeMatrix(int r, int c, const double* const* A, double** B);
// Copies the strict upper triangle onto the lower one.
void UpperToLowerMatrix(int n, double** A);
// Row sums (r values), column sums (c values) and grand total, skipping -999.
void RowTotalsMV(int r, int c, const double* const* A, double* out);
void ColTotalsMV(int r, int c, const double* const* A, double* out);
double MatrixTotalMV(int r, int c, const double* const* A);
// B = A.
void CopyMatrix(int r, int c, const double* const* A, double** B);

}  // namespace kalios
