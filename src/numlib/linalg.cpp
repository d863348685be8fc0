#include "numlib/linalg.h"

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_vector.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "numlib/matrix.h"
#include "shell/abort.h"

namespace kalios {
namespace {

// GSL reports errors through a process-wide handler whose default aborts the
// process. The program switches it off at start-up; the guard makes these
// routines safe whoever calls them (unit tests, tools) and restores the
// caller's handler. Decompositions may run on several threads at once: the
// first guard in switches the handler off, the last one out restores it.
class GslHandlerOff {
 public:
  GslHandlerOff() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (active_++ == 0) old_ = gsl_set_error_handler_off();
  }
  ~GslHandlerOff() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (--active_ == 0) gsl_set_error_handler(old_);
  }
  GslHandlerOff(const GslHandlerOff&) = delete;
  GslHandlerOff& operator=(const GslHandlerOff&) = delete;

 private:
  static inline std::mutex mutex_;
  static inline int active_ = 0;
  static inline gsl_error_handler_t* old_ = nullptr;
};

struct GslMatrixFree {
  void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
};
struct GslVectorFree {
  void operator()(gsl_vector* v) const { gsl_vector_free(v); }
};
using GslMatrixPtr = std::unique_ptr<gsl_matrix, GslMatrixFree>;
using GslVectorPtr = std::unique_ptr<gsl_vector, GslVectorFree>;

GslMatrixPtr NewGslMatrix(int r, int c) {
  gsl_matrix* m = gsl_matrix_alloc(static_cast<size_t>(r), static_cast<size_t>(c));
  if (!m) Abort(kAbortOutOfMemory);
  return GslMatrixPtr(m);
}
GslVectorPtr NewGslVector(int n) {
  gsl_vector* v = gsl_vector_alloc(static_cast<size_t>(n));
  if (!v) Abort(kAbortOutOfMemory);
  return GslVectorPtr(v);
}


// The common elimination of gaussj and gaussj_VP. With `strict` false the
// singular cases are reported on standard error and the work goes on where it
// can; with `strict` true the first sign of singularity returns false.
bool GaussJordan(double** a, int n, double** b, int m, bool strict) {
  std::vector<int> indxc(static_cast<size_t>(n) + 1), indxr(static_cast<size_t>(n) + 1),
      ipiv(static_cast<size_t>(n) + 1, 0);
  for (int i = 1; i <= n; ++i) {
    double big = 0.0;
    int irow = 0, icol = 0;
    bool twice = false;
    for (int j = 1; j <= n; ++j) {
      if (ipiv[j] == 1) continue;
      for (int k = 1; k <= n; ++k) {
        if (ipiv[k] == 0) {
          if (std::fabs(a[j][k]) >= big) {
            big = std::fabs(a[j][k]);
            irow = j;
            icol = k;
          }
        } else if (ipiv[k] > 1) {
          twice = true;
        }
      }
    }
    // No candidate at all (only NaN entries left) means no column can take
    // the pivot: the same condition as a column pivoted twice, and there is
    // nothing to go on with.
    if (icol == 0) twice = true;
    if (twice) {
      if (strict) return false;
      std::cerr << "gaussj: Singular Matrix-1";
      if (icol == 0) return false;
    }
    ++ipiv[icol];
    if (irow != icol) {
      std::swap(a[irow], a[icol]);
      if (m > 0) std::swap(b[irow], b[icol]);
    }
    indxr[i] = irow;
    indxc[i] = icol;
    if (a[icol][icol] == 0.0) {
      if (strict) return false;
      std::cerr << "gaussj: Singular Matrix-2";
    }
    const double pivinv = 1.0 / a[icol][icol];
    a[icol][icol] = 1.0;
    for (int l = 1; l <= n; ++l) a[icol][l] *= pivinv;
    for (int l = 1; l <= m; ++l) b[icol][l] *= pivinv;
    for (int ll = 1; ll <= n; ++ll) {
      if (ll == icol) continue;
      const double dum = a[ll][icol];
      a[ll][icol] = 0.0;
      for (int l = 1; l <= n; ++l) a[ll][l] -= a[icol][l] * dum;
      for (int l = 1; l <= m; ++l) b[ll][l] -= b[icol][l] * dum;
    }
  }
  for (int l = n; l >= 1; --l) {
    if (indxr[l] == indxc[l]) continue;
    for (int k = 1; k <= n; ++k) std::swap(a[k][indxr[l]], a[k][indxc[l]]);
  }
  return true;
}

}  // namespace

bool MarkedlyNegative(int n, const double* values) {
  double sum = 0.0;
  for (int k = 0; k < n; ++k) sum += values[k];
  for (int k = 0; k < n; ++k)
    if (values[k] / sum < -0.001) return true;
  return false;
}

bool AllFinite(int r, int c, const double* const* A) {
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      if (!std::isfinite(A[i][j])) return false;
  return true;
}

bool EigenHouseholderQL_GSL_D(int n, const double* const* A, double** eigvec, double* eigval) {
  if (n <= 0) return true;
  if (!AllFinite(n, n, A)) {
    // GSL's QL iteration need not end on non-finite input; report a failed
    // decomposition with nothing usable in it.
    for (int k = 0; k < n; ++k) {
      eigval[k] = 0.0;
      for (int i = 0; i < n; ++i) eigvec[k][i] = 0.0;
    }
    return false;
  }
  GslHandlerOff guard;
  GslMatrixPtr m = NewGslMatrix(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) gsl_matrix_set(m.get(), i, j, A[i][j]);
  GslVectorPtr eval = NewGslVector(n);
  GslMatrixPtr evec = NewGslMatrix(n, n);
  gsl_eigen_symmv_workspace* w = gsl_eigen_symmv_alloc(static_cast<size_t>(n));
  if (!w) Abort(kAbortOutOfMemory);
  gsl_eigen_symmv(m.get(), eval.get(), evec.get(), w);
  gsl_eigen_symmv_free(w);
  gsl_eigen_symmv_sort(eval.get(), evec.get(), GSL_EIGEN_SORT_VAL_DESC);
  for (int k = 0; k < n; ++k) {
    eigval[k] = gsl_vector_get(eval.get(), k);
    for (int i = 0; i < n; ++i) eigvec[k][i] = gsl_matrix_get(evec.get(), i, k);
  }
  return !MarkedlyNegative(n, eigval);
}

bool SingValueDecomp(int m, int n, const double* const* A, double** U, double* S, double** V) {
  // GSL decomposes only m >= n; non-finite input has no decomposition.
  if (n <= 0 || m < n || !AllFinite(m, n, A)) return false;
  GslHandlerOff guard;
  GslMatrixPtr a = NewGslMatrix(m, n);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) gsl_matrix_set(a.get(), i, j, A[i][j]);
  GslMatrixPtr v = NewGslMatrix(n, n);
  GslVectorPtr s = NewGslVector(n);
  GslVectorPtr work = NewGslVector(n);
  if (gsl_linalg_SV_decomp(a.get(), v.get(), s.get(), work.get()) != GSL_SUCCESS) return false;
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) U[i][j] = gsl_matrix_get(a.get(), i, j);
  for (int j = 0; j < n; ++j) {
    S[j] = gsl_vector_get(s.get(), j);
    for (int k = 0; k < n; ++k) V[j][k] = gsl_matrix_get(v.get(), j, k);
  }
  return !MarkedlyNegative(n, S);
}

void gaussj(double** a, int n, double** b, int m) { GaussJordan(a, n, b, m, false); }

bool gaussj_VP(double** a, int n, double** b, int m) { return GaussJordan(a, n, b, m, true); }

bool MatrixInverse(int n, int m, const double* const* A, double** Ainv) {
  if (n <= 0) return true;
  Matrix<double> a1(n + 1, n + 1);
  Matrix<double> b1(n + 1, (m > 0 ? m : 0) + 1);
  Convertn_n1(n, n, A, a1);
  if (!gaussj_VP(a1, n, b1, m > 0 ? m : 0)) return false;
  Convertn1_n(n, n, a1, Ainv);
  return true;
}

void Convertn_n1(int n, int m, const double* const* src, double** dst) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j) dst[i + 1][j + 1] = src[i][j];
}

void Convertn1_n(int n, int m, const double* const* src, double** dst) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j) dst[i][j] = src[i + 1][j + 1];
}

int choldc(double** a, int n, double* p) {
  for (int i = 0; i < n; ++i) {
    for (int j = i; j < n; ++j) {
      double sum = a[i][j];
      for (int k = i - 1; k >= 0; --k) sum -= a[i][k] * a[j][k];
      if (i == j) {
        // A NaN sum fails too: the matrix is then not usable as a covariance.
        if (!(sum > 0.0)) {
          std::cerr << "\ncholdc failed";
          return 0;
        }
        p[i] = std::sqrt(sum);
      } else {
        a[j][i] = sum / p[i];
      }
    }
  }
  return 1;
}

void CorrToData_New(int n, int p, const double* const* R, double** X, int distribution, gsl_rng* rng) {
  if (n <= 0 || p <= 0) return;
  Matrix<double> L(p, p);
  CopyMatrix(p, p, R, L);
  std::vector<double> diag(static_cast<size_t>(p));
  if (!choldc(L, p, diag.data())) Abort(kAbortOutOfMemory);
  // U = L', upper triangular.
  Matrix<double> Ut(p, p);
  for (int i = 0; i < p; ++i) {
    Ut[i][i] = diag[static_cast<size_t>(i)];
    for (int j = i + 1; j < p; ++j) Ut[i][j] = L[j][i];
  }
  Matrix<double> Z(n, p);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j)
      Z[i][j] = distribution == 1 ? gsl_rng_uniform(rng) - 0.5 : gsl_ran_gaussian(rng, 1.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j) {
      double sum = 0.0;
      for (int k = 0; k <= j; ++k) sum += Z[i][k] * Ut[k][j];
      X[i][j] = sum;
    }
}

namespace {

int Product(int r1, int c1, int r2, int c2, const double* const* A, const double* const* B, double** C,
            bool markEmpty) {
  if (c1 != r2) return 1;
  // Rows are computed into a buffer first so that C may share storage with A.
  std::vector<double> row(static_cast<size_t>(c2 > 0 ? c2 : 0));
  for (int i = 0; i < r1; ++i) {
    for (int j = 0; j < c2; ++j) {
      double sum = 0.0;
      bool any = false;
      for (int k = 0; k < c1; ++k) {
        if (A[i][k] == kMissingValue || B[k][j] == kMissingValue) continue;
        sum += A[i][k] * B[k][j];
        any = true;
      }
      row[static_cast<size_t>(j)] = (markEmpty && !any) ? kMissingValue : sum;
    }
    for (int j = 0; j < c2; ++j) C[i][j] = row[static_cast<size_t>(j)];
  }
  return 0;
}

}  // namespace

int MatrixProd(int r1, int c1, int r2, int c2, const double* const* A, const double* const* B, double** C) {
  return Product(r1, c1, r2, c2, A, B, C, false);
}

int MatrixProdMV(int r1, int c1, int r2, int c2, const double* const* A, const double* const* B, double** C) {
  return Product(r1, c1, r2, c2, A, B, C, true);
}

void TransposeMatrix(int r, int c, const double* const* A, double** B) {
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) B[j][i] = A[i][j];
}

void UpperToLowerMatrix(int n, double** A) {
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) A[j][i] = A[i][j];
}

void RowTotalsMV(int r, int c, const double* const* A, double* out) {
  for (int i = 0; i < r; ++i) {
    double sum = 0.0;
    for (int j = 0; j < c; ++j)
      if (A[i][j] != kMissingValue) sum += A[i][j];
    out[i] = sum;
  }
}

void ColTotalsMV(int r, int c, const double* const* A, double* out) {
  for (int j = 0; j < c; ++j) {
    double sum = 0.0;
    for (int i = 0; i < r; ++i)
      if (A[i][j] != kMissingValue) sum += A[i][j];
    out[j] = sum;
  }
}

double MatrixTotalMV(int r, int c, const double* const* A) {
  double sum = 0.0;
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      if (A[i][j] != kMissingValue) sum += A[i][j];
  return sum;
}

void CopyMatrix(int r, int c, const double* const* A, double** B) {
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) B[i][j] = A[i][j];
}

}  // namespace kalios
