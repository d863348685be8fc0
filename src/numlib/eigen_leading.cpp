// Symmetric eigen-decomposition when only the leading eigenvectors are used:
// the principal coordinates of thousands of communities keep a few axes, and
// the full decomposition with every eigenvector is what made them slow.
#include <dlfcn.h>
#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <mutex>
#include <vector>

#include "numlib/linalg.h"
#include "numlib/matrix.h"

// OpenBLAS runs its own threads; the decomposition is kept on one so that its
// rounding, hence every figure derived from it, does not depend on how many
// threads the run was given. The setting is looked up at run time: LAPACK may
// be another implementation, without threads of its own.
namespace kalios {
namespace {

std::size_t Z(int v) { return static_cast<std::size_t>(v); }

class OneBlasThread {
 public:
  // Decompositions may run side by side: the first guard in saves the
  // setting and sets one thread, the last one out restores it.
  OneBlasThread() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (active_++ > 0) return;
    using Get = int (*)();
    auto get = reinterpret_cast<Get>(dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
    set_ = reinterpret_cast<Set>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
    if (get == nullptr || set_ == nullptr) {
      set_ = nullptr;
      return;
    }
    saved_ = get();
    set_(1);
  }
  ~OneBlasThread() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (--active_ == 0 && set_ != nullptr) set_(saved_);
  }
  OneBlasThread(const OneBlasThread&) = delete;
  OneBlasThread& operator=(const OneBlasThread&) = delete;

 private:
  using Set = void (*)(int);
  static inline std::mutex mutex_;
  static inline int active_ = 0;
  static inline Set set_ = nullptr;
  static inline int saved_ = 1;
};

// The LAPACK route; false when a routine reports failure (nothing usable).
bool LeadingByLapack(int n, const double* const* A, int vectors, double** eigvec, double* eigval) {
  OneBlasThread one;
  const std::size_t nn = Z(n);
  // Column-major n x n: the matrix is symmetric, so its rows serve as
  // columns. (Matrices: one block, and a failed allocation is the
  // out-of-memory abort.)
  Matrix<double> a(n, n);
  for (int i = 0; i < n; ++i) std::copy(A[i], A[i] + n, a[i]);
  std::vector<double> d(nn), e(nn, 0.0), tau(nn > 1 ? nn - 1 : 1);
  if (LAPACKE_dsytrd(LAPACK_COL_MAJOR, 'L', n, a[0], n, d.data(), e.data(), tau.data()) != 0) return false;
  // Every eigenvalue, from a copy of the tridiagonal form (the sums of the
  // axes and the test for markedly negative ones need them all).
  std::vector<double> all(d), off(e);
  if (LAPACKE_dsterf(n, all.data(), off.data()) != 0) return false;  // ascending
  for (int k = 0; k < n; ++k) eigval[k] = all[nn - 1 - Z(k)];
  if (vectors <= 0) return true;
  std::vector<double> w(nn);
  Matrix<double> z(vectors, n);  // column k of the column-major result is row k
  std::vector<lapack_int> support(2 * Z(vectors));
  lapack_int found = 0;
  lapack_logical tryrac = 1;
  if (LAPACKE_dstemr(LAPACK_COL_MAJOR, 'V', 'I', n, d.data(), e.data(), 0.0, 0.0, n - vectors + 1, n, &found,
                     w.data(), z[0], n, vectors, support.data(), &tryrac) != 0 ||
      found != vectors)
    return false;
  if (LAPACKE_dormtr(LAPACK_COL_MAJOR, 'L', 'L', 'N', n, vectors, a[0], n, tau.data(), z[0], n) != 0)
    return false;
  // Columns come in ascending order of their eigenvalues.
  for (int k = 0; k < vectors; ++k) {
    const double* col = z[vectors - 1 - k];
    int big = 0;
    for (int i = 1; i < n; ++i)
      if (std::fabs(col[i]) > std::fabs(col[big])) big = i;
    const double sign = col[big] < 0.0 ? -1.0 : 1.0;
    for (int i = 0; i < n; ++i) eigvec[k][i] = sign * col[i];
  }
  return true;
}

}  // namespace

bool EigenSymmetricLeading(int n, const double* const* A, int vectors, double** eigvec, double* eigval) {
  vectors = std::clamp(vectors, 0, std::max(n, 0));
  if (n >= kLapackEigenFrom && AllFinite(n, n, A) && LeadingByLapack(n, A, vectors, eigvec, eigval))
    return !MarkedlyNegative(n, eigval);
  // Small matrices, non-finite input, or a LAPACK failure: the full GSL route.
  if (vectors == n) return EigenHouseholderQL_GSL_D(n, A, eigvec, eigval);
  Matrix<double> full(n, n);
  const bool ok = EigenHouseholderQL_GSL_D(n, A, full, eigval);
  for (int k = 0; k < vectors; ++k) std::copy(full[k], full[k] + n, eigvec[k]);
  return ok;
}

}  // namespace kalios
