#include "measures/resemblance.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <vector>

#include "measures/contingency.h"
#include "measures/covariance.h"
#include "measures/euclid_kernel.h"
#include "measures/transform.h"
#include "numlib/linalg.h"
#include "numlib/matrix.h"

namespace kalios {
namespace {

inline bool Present(double v) { return v != kMissingValue; }
inline double RoundSingle(double v) { return static_cast<double>(static_cast<float>(v)); }

// Inverts the m x m matrix a (row major) in place by Gauss-Jordan elimination with
// partial pivoting. A pivot below a relative tolerance means a singular matrix,
// which is reported as false (a is then of no use).
// MatrixInverse is not used here on purpose: it calls a matrix singular only on an
// exactly zero pivot, while the covariance matrix of collinear traits usually keeps
// a pivot of rounding size, whose inverse would give huge, meaningless distances
// instead of undefined ones.
bool InvertInPlace(int m, std::vector<double>& a) {
  auto A = [&](int r, int c) -> double& { return a[static_cast<size_t>(r) * static_cast<size_t>(m) + static_cast<size_t>(c)]; };
  double scale = 0;
  for (double v : a) scale = std::max(scale, std::fabs(v));
  if (scale == 0 || !std::isfinite(scale)) return false;
  const double tol = scale * 1e-12;
  std::vector<int> pivRow(static_cast<size_t>(m));
  for (int c = 0; c < m; ++c) {
    int piv = c;
    for (int r = c + 1; r < m; ++r)
      if (std::fabs(A(r, c)) > std::fabs(A(piv, c))) piv = r;
    if (std::fabs(A(piv, c)) <= tol) return false;
    pivRow[static_cast<size_t>(c)] = piv;
    if (piv != c)
      for (int k = 0; k < m; ++k) std::swap(A(piv, k), A(c, k));
    double d = A(c, c);
    A(c, c) = 1.0;
    for (int k = 0; k < m; ++k) A(c, k) /= d;
    for (int r = 0; r < m; ++r) {
      if (r == c) continue;
      double f = A(r, c);
      if (f == 0) continue;
      A(r, c) = 0.0;
      for (int k = 0; k < m; ++k) A(r, k) -= f * A(c, k);
    }
  }
  // The row exchanges of the input are column exchanges of the inverse, undone in
  // reverse order.
  for (int c = m - 1; c >= 0; --c) {
    int piv = pivRow[static_cast<size_t>(c)];
    if (piv != c)
      for (int r = 0; r < m; ++r) std::swap(A(r, piv), A(r, c));
  }
  return true;
}

// The n x p matrix x as a new p x n matrix.
Matrix<double> Transposed(int n, int p, const double* const* x) {
  Matrix<double> t(p, n);
  TransposeMatrix(n, p, x, t);
  return t;
}

bool AnyMissing(int n, int p, const double* const* x, const int* select = nullptr) {
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < p; ++k)
      if ((select == nullptr || select[k] != 0) && !Present(x[i][k])) return true;
  return false;
}

// Fills the diagonal and upper triangle with f(row i, row j).
template <class F>
void PairsUpper(int n, const double* const* x, double** D, F f) {
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) D[i][j] = f(x[i], x[j]);
}

// Fills the diagonal and upper triangle with a coefficient of the binary counts.
template <class F>
void BinaryPairs(int n, int p, const double* const* x, double** D, F coef) {
  PairsUpper(n, x, D, [&](const double* a, const double* b) {
    int ca, cb, cc, cd;
    JointFreq(p, a, b, ca, cb, cc, cd);
    return coef(static_cast<double>(ca), static_cast<double>(cb), static_cast<double>(cc), static_cast<double>(cd));
  });
}

// Squared Euclidean distance terms of two rows over the selected variables present in both.
inline double SqDistMV(int p, const double* a, const double* b, const int* select) {
  double s = 0;
  for (int k = 0; k < p; ++k) {
    if (select && select[k] == 0) continue;
    if (Present(a[k]) && Present(b[k])) {
      double d = a[k] - b[k];
      s += d * d;
    }
  }
  return s;
}

// The upper triangle of the Euclidean distances. Without missing values among
// the variables used, the sums over present values are sums over all of them,
// taken by the complete-data kernel in the same order; otherwise rows are
// shared among the threads in equal contiguous blocks. Either way each element
// is written by one thread with its sum in a fixed order, so the result does
// not depend on the number of threads.
void EucliUpperParallel(int n, int p, const double* const* x, double** D, bool missing, const int* select) {
  if (!missing || !AnyMissing(n, p, x, select)) {
    if (select == nullptr) {
      EuclidUpperComplete(n, p, x, D);
      return;
    }
    std::vector<int> used;
    for (int k = 0; k < p; ++k)
      if (select[k] != 0) used.push_back(k);
    Matrix<double> kept(n, std::max<int>(1, static_cast<int>(used.size())));
    for (int i = 0; i < n; ++i)
      for (std::size_t t = 0; t < used.size(); ++t) kept[i][t] = x[i][used[t]];
    EuclidUpperComplete(n, static_cast<int>(used.size()), kept, D);
    return;
  }
  for (int i = 0; i < n; ++i) D[i][i] = 0.0;
#pragma omp parallel for schedule(static)
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      const double s = SqDistMV(p, x[i], x[j], select);
      D[i][j] = s > 0 ? std::sqrt(s) : 0.0;
    }
}

// Information divergence term: v ln(2v / s), vanishing unless v and s are positive.
inline double DivergenceTerm(double v, double s) { return (v > 0 && s > 0) ? v * std::log(2.0 * v / s) : 0.0; }


}  // namespace

// ---------------------------------------------------------------------------
// Dispatcher

int ResemblanceLib(int n, int p, const double* const* data, double** D, int orientation, int code, int squareOpt,
                   const int* types, double alpha, double k, int countDoubleAbsence, bool printTables) {
  Matrix<double> transposed;
  const double* const* x = data;
  if (orientation == 2) {
    transposed = Transposed(n, p, data);
    x = transposed;
    std::swap(n, p);
  }

  std::ofstream tableFile;
  std::ostream* tables = nullptr;
  if (printTables && code >= 6 && code <= 10) {
    // The tables are a by-product for inspection: when the file cannot be written
    // the resemblances are still computed.
    tableFile.open("Tables.txt");
    if (tableFile) tables = &tableFile;
  }

  switch (code) {
    case 1: CrossProductMV(n, p, x, D); break;
    case 2: AbsValFunctionMV(n, p, x, D); break;
    case 3: EucliDistMV(n, p, x, D); break;
    case 4: MutualInformationMV(n, p, x, D); break;
    case 5:
      if (types) GowerMVOpt(n, p, types, x, D, nullptr, nullptr, countDoubleAbsence);
      break;
    case 6: MDISMV(n, p, x, D, tables); break;
    case 7: MutualEntropyPairwiseMV(n, p, x, D, alpha, tables); break;
    case 8:
      CoheCoefPairwiseMV(n, p, x, D, alpha, tables);
      for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
          double v = 1.0 - D[i][j] * D[i][j];
          D[i][j] = v > 0 ? std::sqrt(v) : 0.0;
        }
      break;
    case 9: CoheCoefPairwiseMV(n, p, x, D, alpha, tables); break;
    case 10: QuiSquareMV(n, p, x, D, tables); break;
    case 11: Jaccard(n, p, x, D); break;
    case 12: SimpleMatching(n, p, x, D); break;
    case 13: SokalMichener(n, p, x, D); break;
    case 14: Ochiai(n, p, x, D); break;
    case 15: Sorensen(n, p, x, D); break;
    case 16: MeanSquareContingency(n, p, x, D); break;
    case 17: CorrelationMV(n, p, x, D); break;
    case 18: ChordDistMV(n, p, x, D); break;
    case 19: LegendreChodorowski(n, p, x, D, RoundSingle(k), nullptr); break;
    case 20: BrayCurtisMV(n, p, x, D); break;
    case 21: HierFactorialEigen(n, p, x, D); break;
    case 22: CovarianceMV(n, p, x, D); break;
    case 23: JaccardDissimilarity(n, p, x, D); break;
    case 24: JaccardTurnover(n, p, x, D); break;
    case 25: JaccardNestedness(n, p, x, D); break;
    case 26: SorensenDissimilarity(n, p, x, D); break;
    case 27: SorensenTurnover(n, p, x, D); break;
    case 28: SorensenNestedness(n, p, x, D); break;
    case 29: Mahalanobis(n, p, x, D); break;
    default: break;
  }

  if (squareOpt == 1 || squareOpt == 2) {
    for (int i = 0; i < n; ++i)
      for (int j = i; j < n; ++j) {
        double v = D[i][j];
        if (!Present(v)) continue;  // an undefined value stays undefined
        if (squareOpt == 1)
          D[i][j] = v * v;
        else
          D[i][j] = v >= 0 ? std::sqrt(v) : kMissingValue;
      }
  }
  UpperToLowerMatrix(n, D);
  return 1;
}

int ResemblanceLib(int n, int p, const double* const* data, double** D, int orientation, int code,
                   const int* types, double alpha, double k, int countDoubleAbsence, bool printTables) {
  return ResemblanceLib(n, p, data, D, orientation, code, 0, types, alpha, k, countDoubleAbsence, printTables);
}

int TranslateReseOpt_KALIOS_PLOVEN(int reseOpt) {
  switch (reseOpt) {
    case 3: return 1;
    case 5: return 17;
    case 6: return 3;
    case 8: return 2;
    case 10: return 18;
    case 1: case 2: case 4: case 7: case 9: return 0;
    default: return 1;
  }
}

// ---------------------------------------------------------------------------
// Euclidean distances

void EucliDist(int n, int p, const double* const* data, double** D) {
  EucliUpperParallel(n, p, data, D, false, nullptr);
  UpperToLowerMatrix(n, D);
}

void EucliDistMV(int n, int p, const double* const* data, double** D) {
  EucliUpperParallel(n, p, data, D, true, nullptr);
  UpperToLowerMatrix(n, D);
}

void EucliDistMVSelect(int n, int p, const double* const* data, double** D, const int* select) {
  EucliUpperParallel(n, p, data, D, true, select);
}

void EucliDistMVSelectOne(int n, int p, const double* const* data, double** D, int which) {
  if (which < 1 || which > p) return;  // no such variable
  const int k = which - 1;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      double a = data[i][k], b = data[j][k];
      D[i][j] = (Present(a) && Present(b)) ? std::fabs(a - b) : 0.0;
    }
}

// ---------------------------------------------------------------------------
// Gower

void GowerMVOpt(int n, int p, const int* types, const double* const* data, double** S,
                [[maybe_unused]] const double* range, const double* weight, int countDoubleAbsence) {
  // The variables as rows of a private copy; ordinal ones become mid-ranks here so
  // that the caller's data keep their raw values.
  Matrix<double> v = Transposed(n, p, data);
  std::vector<double> rng(static_cast<size_t>(p), 0.0);
  for (int k = 0; k < p; ++k) {
    if (types[k] == 4) RankVectorAdjMV(n, v[k], v[k]);
    if (types[k] == 3 || types[k] == 4) {
      double lo = std::numeric_limits<double>::infinity(), hi = -lo;
      for (int i = 0; i < n; ++i)
        if (Present(v[k][i])) lo = std::min(lo, v[k][i]), hi = std::max(hi, v[k][i]);
      rng[static_cast<size_t>(k)] = hi > lo ? hi - lo : 0.0;
    }
  }
  // Back to objects as rows for the pair loop, which reads one row per object.
  Matrix<double> x = Transposed(p, n, v);

  for (int i = 0; i < n; ++i) {
    const double* xi = x[i];
    for (int j = i + 1; j < n; ++j) {
      const double* xj = x[j];
      double num = 0, den = 0;
      for (int k = 0; k < p; ++k) {
        double w = weight ? weight[k] : 1.0;
        if (w <= 0) continue;
        double a = xi[k], b = xj[k];
        if (!Present(a) || !Present(b)) continue;
        switch (types[k]) {
          case 3:
          case 4: {
            double r = rng[static_cast<size_t>(k)];
            double part = r > 0 ? RoundSingle(1.0 - std::fabs(a - b) / r) : 1.0;
            num += w * part;
            den += w;
            break;
          }
          case 2:
            if (a == b) num += w;
            den += w;
            break;
          case 1:
            if (a == b) {
              if (countDoubleAbsence == 0 && a == 0) break;
              num += w;
            }
            den += w;
            break;
          default:
            break;
        }
      }
      if (den > 0) S[i][j] = num / den;
      S[j][i] = S[i][j];
    }
    S[i][i] = 1.0;
  }
}

void GowerMV(int n, int p, const int* types, const double* const* data, double** S, const double* range,
             const double* weight) {
  GowerMVOpt(n, p, types, data, S, range, weight, 0);
}

void GowerMVPartial_dAbsences(int n, int type, const double* x, double** S, double range, double weight,
                              int countDoubleAbsence) {
  if (weight < 0) weight = 1.0;
  std::vector<double> v(x, x + n);
  if (type == 4) {
    RankVectorAdjMV(n, v.data(), v.data());
    range = 0;
  }
  if ((type == 3 || type == 4) && range == 0) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (double e : v)
      if (Present(e)) lo = std::min(lo, e), hi = std::max(hi, e);
    range = hi > lo ? RoundSingle(hi - lo) : 0.0;
  }
  const bool cdaValid = countDoubleAbsence == 0 || countDoubleAbsence == 1;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      double a = v[static_cast<size_t>(i)], b = v[static_cast<size_t>(j)];
      double s = kMissingValue;
      if (weight > 0 && Present(a) && Present(b)) {
        switch (type) {
          case 1:
            if (!cdaValid) break;
            if (a != b)
              s = 0.0;
            else if (!(countDoubleAbsence == 0 && a == 0))
              s = weight;
            break;
          case 2: s = a == b ? weight : 0.0; break;
          case 3:
          case 4: s = range > 0 ? weight * (1.0 - std::fabs(a - b) / range) : weight; break;
          default: break;
        }
      }
      S[i][j] = S[j][i] = RoundSingle(s);
    }
}

// ---------------------------------------------------------------------------
// Quantitative coefficients

void AbsValFunctionMV(int n, int p, const double* const* data, double** D) {
  PairsUpper(n, data, D, [p](const double* a, const double* b) {
    double s = 0;
    for (int k = 0; k < p; ++k)
      if (Present(a[k]) && Present(b[k])) s += std::fabs(a[k] - b[k]);
    return s;
  });
}

void MutualInformationMV(int n, int p, const double* const* data, double** S) {
  PairsUpper(n, data, S, [p](const double* a, const double* b) {
    double info = 0, ta = 0, tb = 0;
    for (int k = 0; k < p; ++k) {
      if (!Present(a[k]) || !Present(b[k])) continue;
      double s = a[k] + b[k];
      info += DivergenceTerm(a[k], s) + DivergenceTerm(b[k], s);
      ta += a[k];
      tb += b[k];
    }
    return info - (DivergenceTerm(ta, ta + tb) + DivergenceTerm(tb, ta + tb));
  });
}

void ChordDistMV(int n, int p, const double* const* data, double** D) {
  if (!AnyMissing(n, p, data)) {
    Matrix<double> x(n, p);
    NormalizeRowsMV(n, p, data, x);
    EucliDistMV(n, p, x, D);
    return;
  }
  PairsUpper(n, data, D, [p](const double* a, const double* b) {
    double na = 0, nb = 0;
    for (int k = 0; k < p; ++k)
      if (Present(a[k]) && Present(b[k])) na += a[k] * a[k], nb += b[k] * b[k];
    na = na > 0 ? std::sqrt(na) : 1.0;
    nb = nb > 0 ? std::sqrt(nb) : 1.0;
    double s = 0;
    for (int k = 0; k < p; ++k)
      if (Present(a[k]) && Present(b[k])) {
        double d = a[k] / na - b[k] / nb;
        s += d * d;
      }
    return std::sqrt(s);
  });
  UpperToLowerMatrix(n, D);
}

void LegendreChodorowski(int n, int p, const double* const* data, double** S, double k, const double* weight) {
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      double num = 0, den = 0;
      for (int v = 0; v < p; ++v) {
        double w = weight ? weight[v] : 1.0;
        if (w <= 0) break;
        double a = data[i][v], b = data[j][v];
        if (!Present(a) || !Present(b) || a + b <= 0) continue;
        den += w;
        double d = std::fabs(a - b);
        if (d <= k && a * b > 0) num += w * 2.0 * (k + 1.0 - d) / (d * k + 2.0 * k + 2.0);
      }
      if (den > 0) S[i][j] = RoundSingle(num / den);
    }
    S[i][i] = 1.0;
  }
}

void BrayCurtisMV(int n, int p, const double* const* data, double** D) {
  // Shift so that every value is non-negative: the denominator is then a total.
  double m = 0;
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < p; ++k)
      if (Present(data[i][k])) m = std::min(m, data[i][k]);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      double num = 0, den = 0;
      for (int k = 0; k < p; ++k) {
        double a = data[i][k], b = data[j][k];
        if (!Present(a) || !Present(b)) continue;
        num += std::fabs(a - b);
        den += (a - m) + (b - m);
      }
      if (den > 0) D[i][j] = num / den;
    }
    D[i][i] = 0.0;
  }
}

void HierFactorialEigen(int n, int p, const double* const* data, double** S) {
  Matrix<double> x(n, p);
  CenterRowsMV(n, p, data, x);
  NormalizeRowsMV(n, p, x, x);
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      double aa = 0, ab = 0, bb = 0;
      for (int k = 0; k < p; ++k) {
        double a = x[i][k], b = x[j][k];
        if (!Present(a) || !Present(b)) continue;
        aa += a * a;
        ab += a * b;
        bb += b * b;
      }
      double h = 0.5 * (aa - bb);
      double lambda2 = 0.5 * (aa + bb) - std::sqrt(h * h + ab * ab);
      // The smaller eigenvalue of a cross-product matrix is never negative.
      S[i][j] = lambda2 > 0 ? lambda2 : 0.0;
    }
}

void Mahalanobis(int n, int p, const double* const* data, double** D) {
  for (int i = 0; i < n; ++i) D[i][i] = 0.0;
  if (n < 2 || p < 1) return;
  // Covariance of the variables over the objects.
  Matrix<double> vars = Transposed(n, p, data);
  std::vector<double> cov(static_cast<size_t>(p) * static_cast<size_t>(p));
  for (int a = 0; a < p; ++a)
    for (int b = a; b < p; ++b) {
      double c = Covariance2VecMV(n, vars[a], vars[b]);
      cov[static_cast<size_t>(a) * static_cast<size_t>(p) + static_cast<size_t>(b)] = c;
      cov[static_cast<size_t>(b) * static_cast<size_t>(p) + static_cast<size_t>(a)] = c;
    }
  std::vector<double> fullInv = cov;
  const bool fullOk = InvertInPlace(p, fullInv);

  std::vector<int> idx;
  std::vector<double> d, sub;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      idx.clear();
      d.clear();
      for (int k = 0; k < p; ++k)
        if (Present(data[i][k]) && Present(data[j][k])) {
          idx.push_back(k);
          d.push_back(data[i][k] - data[j][k]);
        }
      const int m = static_cast<int>(idx.size());
      const double* inv = nullptr;
      if (m == p) {
        if (fullOk) inv = fullInv.data();
      } else if (m > 0) {
        // Pairwise deletion: the covariance block of the variables both objects have.
        sub.resize(static_cast<size_t>(m) * static_cast<size_t>(m));
        for (int r = 0; r < m; ++r)
          for (int c = 0; c < m; ++c)
            sub[static_cast<size_t>(r) * static_cast<size_t>(m) + static_cast<size_t>(c)] =
                cov[static_cast<size_t>(idx[static_cast<size_t>(r)]) * static_cast<size_t>(p) +
                    static_cast<size_t>(idx[static_cast<size_t>(c)])];
        if (InvertInPlace(m, sub)) inv = sub.data();
      }
      if (!inv) {
        D[i][j] = kMissingValue;
        continue;
      }
      double q = 0;
      for (int r = 0; r < m; ++r) {
        double row = 0;
        for (int c = 0; c < m; ++c)
          row += inv[static_cast<size_t>(r) * static_cast<size_t>(m) + static_cast<size_t>(c)] * d[static_cast<size_t>(c)];
        q += d[static_cast<size_t>(r)] * row;
      }
      D[i][j] = q > 0 ? std::sqrt(q) : 0.0;
    }
}

// ---------------------------------------------------------------------------
// Binary coefficients

void JointFreq(int p, const double* x, const double* y, int& a, int& b, int& c, int& d) {
  a = b = c = d = 0;
  for (int k = 0; k < p; ++k) {
    const double u = x[k], v = y[k];
    if ((u != 0 && u != 1) || (v != 0 && v != 1)) continue;
    if (u == 1)
      (v == 1 ? a : b)++;
    else
      (v == 1 ? c : d)++;
  }
}

void Jaccard(int n, int p, const double* const* data, double** S) {
  BinaryPairs(n, p, data, S, [](double a, double b, double c, double) { return a + b + c > 0 ? a / (a + b + c) : 0.0; });
}

void SimpleMatching(int n, int p, const double* const* data, double** S) {
  PairsUpper(n, data, S, [p](const double* x, const double* y) {
    int same = 0, both = 0;
    for (int k = 0; k < p; ++k)
      if (Present(x[k]) && Present(y[k])) {
        ++both;
        if (x[k] == y[k]) ++same;
      }
    return both > 0 ? static_cast<double>(same) / both : 0.0;
  });
}

void SokalMichener(int n, int p, const double* const* data, double** S) {
  BinaryPairs(n, p, data, S, [](double a, double b, double c, double d) {
    double t = a + b + c + d;
    return t > 0 ? a / t : 0.0;
  });
}

void Ochiai(int n, int p, const double* const* data, double** S) {
  BinaryPairs(n, p, data, S, [](double a, double b, double c, double) {
    double prod = (a + b) * (a + c);
    return prod < 1 ? 0.0 : a / std::sqrt(prod);
  });
}

void Sorensen(int n, int p, const double* const* data, double** S) {
  BinaryPairs(n, p, data, S, [](double a, double b, double c, double) {
    double t = 2 * a + b + c;
    return t > 0 ? 2 * a / t : 0.0;
  });
}

void MeanSquareContingency(int n, int p, const double* const* data, double** S) {
  // The product of the four margins is taken in double: as an int it overflows
  // from a few hundred variables on.
  BinaryPairs(n, p, data, S, [](double a, double b, double c, double d) {
    double prod = (a + b) * (a + c) * (b + d) * (c + d);
    if (prod < 1) return 0.0;
    double num = a * d - b * c;
    return num * num / prod;
  });
}

void JaccardDissimilarity(int n, int p, const double* const* data, double** D) {
  BinaryPairs(n, p, data, D, [](double a, double b, double c, double) { return a + b + c > 0 ? (b + c) / (a + b + c) : 1.0; });
}

void JaccardTurnover(int n, int p, const double* const* data, double** D) {
  BinaryPairs(n, p, data, D, [](double a, double b, double c, double) {
    double den = a + 2 * std::min(b, c);
    return den > 0 ? 2 * std::min(b, c) / den : kMissingValue;
  });
}

void JaccardNestedness(int n, int p, const double* const* data, double** D) {
  BinaryPairs(n, p, data, D, [](double a, double b, double c, double) {
    double lo = std::min(b, c), hi = std::max(b, c);
    if (a + 2 * lo == 0 || a + b + c < 1) return kMissingValue;
    return (hi - lo) / (a + b + c) * (a / (a + 2 * lo));
  });
}

void SorensenDissimilarity(int n, int p, const double* const* data, double** D) {
  BinaryPairs(n, p, data, D, [](double a, double b, double c, double) {
    double t = 2 * a + b + c;
    return t > 0 ? (b + c) / t : 1.0;
  });
}

void SorensenTurnover(int n, int p, const double* const* data, double** D) {
  BinaryPairs(n, p, data, D, [](double a, double b, double c, double) {
    double den = a + std::min(b, c);
    return den > 0 ? std::min(b, c) / den : kMissingValue;
  });
}

void SorensenNestedness(int n, int p, const double* const* data, double** D) {
  BinaryPairs(n, p, data, D, [](double a, double b, double c, double) {
    double lo = std::min(b, c), hi = std::max(b, c);
    if (a + lo == 0 || 2 * a + b + c < 1) return kMissingValue;
    return (hi - lo) / (2 * a + b + c) * (a / (a + lo));
  });
}

}  // namespace kalios
