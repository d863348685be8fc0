#include "testing/fastmantel_kernels.h"

#include <immintrin.h>

#include <cmath>

#include "numlib/matrix.h"

namespace kalios::fastmantel {

// out[0 .. kLanes) = sum over t < cnt of vals[t] * panel[off[t] .. off[t] +
// kLanes), off being row x kLanes. The terms go to four partial sums by t
// modulo 4 (one running sum would wait on every addition), added as (0 + 1) +
// (2 + 3). With 512-bit vectors the kernels use fused multiply-adds: the
// result then differs in the last bits from the plain form, but never with the
// number of threads. The plain forms are also compiled for 256-bit vectors,
// the loader choosing the processor's (the same operations, so the same bits).
__attribute__((target_clones("avx2", "default"))) void PanelCombinePlain(int cnt, const int* off, const double* vals,
                                                                         const double* panel, double* out) {
  double a[4][kLanes] = {};
  int t = 0;
  for (; t + 4 <= cnt; t += 4)
    for (int q = 0; q < 4; ++q) {
      const double v = vals[t + q];
      const double* r = panel + off[t + q];
      for (int l = 0; l < kLanes; ++l) a[q][l] += v * r[l];
    }
  for (int q = 0; t < cnt; ++t, ++q) {
    const double* r = panel + off[t];
    for (int l = 0; l < kLanes; ++l) a[q][l] += vals[t] * r[l];
  }
  for (int l = 0; l < kLanes; ++l) out[l] = (a[0][l] + a[1][l]) + (a[2][l] + a[3][l]);
}

// For each row c < rows: outs[k] + c kLanes += the sum PanelCombinePlain forms
// from panels[k] over c's entries [seg[c], seg[c + 1]) of off and vals, for
// k < NP (= it when first). The places and weights are read once for the NP
// panels, and one call takes every row so that the sums of a short list of
// entries do not wait on a call.
template <int NP>
__attribute__((target("avx512f"))) void PanelAccumulateAvx512(int rows, const int* seg, const int* off,
                                                              const double* vals, const double* const* panels,
                                                              double* const* outs, bool first) {
  const double* p[NP];
#pragma GCC unroll 16
  for (int k = 0; k < NP; ++k) p[k] = panels[k];
  for (int c = 0; c < rows; ++c) {
    const int t0 = seg[c], cnt = seg[c + 1] - t0;
    const int* o = off + t0;
    const double* v = vals + t0;
    __m512d a[NP][4];
#pragma GCC unroll 16
    for (int k = 0; k < NP; ++k)
#pragma GCC unroll 4
      for (int u = 0; u < 4; ++u) a[k][u] = _mm512_setzero_pd();
    // Every index of a is a constant once the loops are unrolled, so that the
    // sums stay in registers.
    int t = 0;
    for (; t + 4 <= cnt; t += 4) {
#pragma GCC unroll 4
      for (int u = 0; u < 4; ++u) {
        const __m512d w = _mm512_set1_pd(v[t + u]);
        const int at = o[t + u];
#pragma GCC unroll 16
        for (int k = 0; k < NP; ++k) a[k][u] = _mm512_fmadd_pd(w, _mm512_load_pd(p[k] + at), a[k][u]);
      }
    }
#pragma GCC unroll 4
    for (int u = 0; u < 3; ++u)
      if (t + u < cnt) {
        const __m512d w = _mm512_set1_pd(v[t + u]);
        const int at = o[t + u];
#pragma GCC unroll 16
        for (int k = 0; k < NP; ++k) a[k][u] = _mm512_fmadd_pd(w, _mm512_load_pd(p[k] + at), a[k][u]);
      }
#pragma GCC unroll 16
    for (int k = 0; k < NP; ++k) {
      double* out = outs[k] + static_cast<std::size_t>(c) * kLanes;
      const __m512d sum = _mm512_add_pd(_mm512_add_pd(a[k][0], a[k][1]), _mm512_add_pd(a[k][2], a[k][3]));
      _mm512_store_pd(out, first ? sum : _mm512_add_pd(_mm512_load_pd(out), sum));
    }
  }
}

// The plain form, one panel.
void PanelAccumulatePlain(int cnt, const int* off, const double* vals, const double* panel, double* out, bool first) {
  double sum[kLanes];
  PanelCombinePlain(cnt, off, vals, panel, sum);
  for (int l = 0; l < kLanes; ++l) out[l] = first ? sum[l] : out[l] + sum[l];
}

bool HasAvx512() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
  }();
  return yes;
}

// The Rao entropies of kLanes permutations at once, one lane each; every lane
// does the same operations on its own numbers, so a permutation's entropies
// do not depend on the permutations beside it.
//
// Row i of the pair differences of the lanes: buf[j][l] = delta[pi_l(i)][pi_l(j)]
// for j > i, perm[j][l] = pi_l(j) (0-based), delta s x s by rows.
__attribute__((target_clones("avx2", "default"))) void RaoRowPlain(int i, int s, const int* perm, const double* delta,
                                                                   double* buf) {
  for (int l = 0; l < kLanes; ++l) {
    const double* row = delta + Z(perm[Z(i) * kLanes + Z(l)]) * Z(s);
    for (int j = i + 1; j < s; ++j) buf[Z(j) * kLanes + Z(l)] = row[perm[Z(j) * kLanes + Z(l)]];
  }
}

__attribute__((target("avx512f"))) void RaoRowAvx512(int i, int s, const int* perm, const double* delta, double* buf) {
  const __m256i rows = _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(perm + Z(i) * kLanes)),
                                          _mm256_set1_epi32(s));
  const __m512d zero = _mm512_setzero_pd();
  for (int j = i + 1; j < s; ++j) {
    const __m256i at =
        _mm256_add_epi32(rows, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(perm + Z(j) * kLanes)));
    _mm512_storeu_pd(buf + Z(j) * kLanes, _mm512_mask_i32gather_pd(zero, 0xFF, at, delta, 8));
  }
}

// q[l] += w * sum over t < cnt of vals[t] * buf[idx[t]][l], the terms in four
// partial sums by t modulo 4, added as (0 + 1) + (2 + 3).
__attribute__((target_clones("avx2", "default"))) void RaoTailPlain(int cnt, const int* idx, const double* vals,
                                                                    const double* buf, double w, double* q) {
  double a[4][kLanes] = {};
  int t = 0;
  for (; t + 4 <= cnt; t += 4)
    for (int u = 0; u < 4; ++u) {
      const double v = vals[t + u];
      const double* r = buf + Z(idx[t + u]) * kLanes;
      for (int l = 0; l < kLanes; ++l) a[u][l] += v * r[l];
    }
  for (int u = 0; t < cnt; ++t, ++u) {
    const double* r = buf + Z(idx[t]) * kLanes;
    for (int l = 0; l < kLanes; ++l) a[u][l] += vals[t] * r[l];
  }
  for (int l = 0; l < kLanes; ++l) q[l] += w * ((a[0][l] + a[1][l]) + (a[2][l] + a[3][l]));
}

__attribute__((target("avx512f"))) void RaoTailAvx512(int cnt, const int* idx, const double* vals, const double* buf,
                                                      double w, double* q) {
  __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
  int t = 0;
  for (; t + 4 <= cnt; t += 4) {
    a0 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t]), _mm512_load_pd(buf + Z(idx[t]) * kLanes), a0);
    a1 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 1]), _mm512_load_pd(buf + Z(idx[t + 1]) * kLanes), a1);
    a2 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 2]), _mm512_load_pd(buf + Z(idx[t + 2]) * kLanes), a2);
    a3 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 3]), _mm512_load_pd(buf + Z(idx[t + 3]) * kLanes), a3);
  }
  if (t < cnt) a0 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t]), _mm512_load_pd(buf + Z(idx[t]) * kLanes), a0);
  if (t + 1 < cnt) a1 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 1]), _mm512_load_pd(buf + Z(idx[t + 1]) * kLanes), a1);
  if (t + 2 < cnt) a2 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 2]), _mm512_load_pd(buf + Z(idx[t + 2]) * kLanes), a2);
  const __m512d sum = _mm512_add_pd(_mm512_add_pd(a0, a1), _mm512_add_pd(a2, a3));
  _mm512_storeu_pd(q, _mm512_fmadd_pd(_mm512_set1_pd(w), sum, _mm512_loadu_pd(q)));
}

// Sums over k < m of x[k] * y[k] (y = null: of x[k]) in sixteen interleaved
// partial sums, so that the additions do not wait on one another; a fixed
// order for a given m.
namespace {

// Value k of a packed vector as its statistics read it.
inline double CentredAt(const Packed& p, std::size_t k) { return (p.c[k] - p.lead) - p.mean; }

__attribute__((target("avx512f"))) inline __m512d CentredLoad(const double* c, __m512d lead, __m512d mean) {
  return _mm512_sub_pd(_mm512_sub_pd(_mm512_loadu_pd(c), lead), mean);
}

// The sixteen partial sums folded in a fixed order.
double Fold16(const double* a) {
  double b[8];
  for (int l = 0; l < 8; ++l) b[l] = a[l] + a[l + 8];
  return ((b[0] + b[1]) + (b[2] + b[3])) + ((b[4] + b[5]) + (b[6] + b[7]));
}

__attribute__((target_clones("avx2", "default"))) double Dot16Plain(std::size_t m, const Packed& x, const Packed& y) {
  double a[16] = {};
  std::size_t k = 0;
  for (; k + 16 <= m; k += 16)
    for (int l = 0; l < 16; ++l) a[l] += CentredAt(x, k + Z(l)) * CentredAt(y, k + Z(l));
  for (int l = 0; k < m; ++k, ++l) a[l] += CentredAt(x, k) * CentredAt(y, k);
  return Fold16(a);
}

}  // namespace

double Dot16(std::size_t m, const Packed& x, const Packed& y) {
  if (!HasAvx512()) return Dot16Plain(m, x, y);
  // One pair of the multiple form: the same sums in the same order.
  const Packed* px = &x;
  const Packed* py = &y;
  double out = 0.0;
  MultiDotAvx512(m, 1, &px, &py, &out);
  return out;
}

void MultiDotPlain(std::size_t m, int count, const Packed* const* x, const Packed* const* y, double* out) {
  for (int k = 0; k < count; ++k) out[k] = Dot16Plain(m, *x[k], *y[k]);
}

__attribute__((target("avx512f"))) void MultiDotAvx512(std::size_t m, int count, const Packed* const* x,
                                                       const Packed* const* y, double* out) {
  constexpr std::size_t kBlock = 512;
  const std::size_t whole = m - m % 16;
  thread_local std::vector<double> acc;
  acc.assign(Z(count) * 16, 0.0);
  for (std::size_t k0 = 0; k0 < whole; k0 += kBlock) {
    const std::size_t k1 = std::min(whole, k0 + kBlock);
    for (int q = 0; q < count; ++q) {
      const Packed& xp = *x[q];
      const Packed& yp = *y[q];
      const __m512d xl = _mm512_set1_pd(xp.lead), xm = _mm512_set1_pd(xp.mean);
      const __m512d yl = _mm512_set1_pd(yp.lead), ym = _mm512_set1_pd(yp.mean);
      const double *xq = xp.c.data(), *yq = yp.c.data();
      double* aq = acc.data() + Z(q) * 16;
      __m512d a0 = _mm512_loadu_pd(aq), a1 = _mm512_loadu_pd(aq + 8);
      for (std::size_t k = k0; k < k1; k += 16) {
        a0 = _mm512_fmadd_pd(CentredLoad(xq + k, xl, xm), CentredLoad(yq + k, yl, ym), a0);
        a1 = _mm512_fmadd_pd(CentredLoad(xq + k + 8, xl, xm), CentredLoad(yq + k + 8, yl, ym), a1);
      }
      _mm512_storeu_pd(aq, a0);
      _mm512_storeu_pd(aq + 8, a1);
    }
  }
  for (int q = 0; q < count; ++q) {
    double* a = acc.data() + Z(q) * 16;
    for (std::size_t k = whole, l = 0; k < m; ++k, ++l) a[l] += CentredAt(*x[q], k) * CentredAt(*y[q], k);
    out[q] = Fold16(a);
  }
}

// The last values (from k on) into the sixteen partial sums a and b, then
// the sums folded in a fixed order; false when a value is missing.
bool FinishCentreSums(std::size_t k, std::size_t m, const double* c, double* a, double* b, bool missing, double& sum,
                      double& sq) {
  const double a0 = c[0];
  for (int l = 0; k < m; ++k, ++l) {
    missing = missing || c[k] == kMissingValue;
    a[l] += c[k] - a0;
    b[l] += c[k] * c[k];
  }
  sum = Fold16(a);
  sq = Fold16(b);
  return !missing;
}

// Centres the upper triangle already in p.c (row by row).
// First pass: sum of (v - v0) and of v * v in sixteen partial sums each;
// false when a value is missing.
__attribute__((target_clones("avx2", "default"))) bool CentreSumsPlain(std::size_t m, const double* c, double& sum,
                                                                       double& sq) {
  const double a0 = c[0];
  double a[16] = {}, b[16] = {};
  std::size_t k = 0;
  bool missing = false;
  for (; k + 16 <= m; k += 16)
    for (int l = 0; l < 16; ++l) {
      const double v = c[k + Z(l)];
      missing = missing || v == kMissingValue;
      a[l] += v - a0;
      b[l] += v * v;
    }
  return FinishCentreSums(k, m, c, a, b, missing, sum, sq);
}

__attribute__((target("avx512f"))) bool CentreSumsAvx512(std::size_t m, const double* c, double& sum, double& sq) {
  const double a0 = c[0];
  const __m512d v0 = _mm512_set1_pd(a0), miss = _mm512_set1_pd(kMissingValue);
  __m512d s0 = _mm512_setzero_pd(), s1 = s0, q0 = s0, q1 = s0;
  __mmask8 bad = 0;
  std::size_t k = 0;
  for (; k + 16 <= m; k += 16) {
    const __m512d x0 = _mm512_loadu_pd(c + k), x1 = _mm512_loadu_pd(c + k + 8);
    bad |= _mm512_cmp_pd_mask(x0, miss, _CMP_EQ_OQ) | _mm512_cmp_pd_mask(x1, miss, _CMP_EQ_OQ);
    s0 = _mm512_add_pd(s0, _mm512_sub_pd(x0, v0));
    s1 = _mm512_add_pd(s1, _mm512_sub_pd(x1, v0));
    q0 = _mm512_fmadd_pd(x0, x0, q0);
    q1 = _mm512_fmadd_pd(x1, x1, q1);
  }
  double a[16], b[16];
  _mm512_storeu_pd(a, s0);
  _mm512_storeu_pd(a + 8, s1);
  _mm512_storeu_pd(b, q0);
  _mm512_storeu_pd(b + 8, q1);
  return FinishCentreSums(k, m, c, a, b, bad != 0, sum, sq);
}

void Centre(Packed& p) {
  p.ok = false;
  const std::size_t m = p.c.size();
  if (m == 0) return;
  double* c = p.c.data();
  static const auto sums = HasAvx512() ? CentreSumsAvx512 : CentreSumsPlain;
  // The values less the first one, for the precision of the mean.
  double sum = 0.0;
  if (!sums(m, c, sum, p.raw)) return;  // pairs left out: the general statistic decides
  p.lead = c[0];
  p.mean = sum / static_cast<double>(m);
  p.ss = Dot16(m, p, p);
  p.ok = true;
}


void Pack(int n, const double* const* D, Packed& p) {
  p.D = D;
  p.c.resize(Pairs(n));
  std::size_t k = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) p.c[k++] = D[i][j];
  Centre(p);
}

// out[j] = |v - xs[j]| for j < m: exact, whatever the vector width.
__attribute__((target_clones("avx512f", "avx2", "default"))) void AbsDifferencesRow(int m, double v,
                                                                                   const double* __restrict xs,
                                                                                   double* __restrict out) {
#pragma omp simd
  for (int j = 0; j < m; ++j) out[j] = std::fabs(v - xs[j]);
}

// The absolute differences of the n values of v, packed as their resemblance
// matrix would be.
void PackAbsDifferences(int n, const double* const* col, const double* const* id, Packed& p) {
  p.D = id;
  p.c.resize(Pairs(n));
  thread_local std::vector<double> x;
  x.resize(Z(n));
  for (int i = 0; i < n; ++i) x[Z(i)] = col[i][0];
  double* out = p.c.data();
  for (int i = 0; i < n; ++i) {
    AbsDifferencesRow(n - i - 1, x[Z(i)], x.data() + i + 1, out);
    out += n - i - 1;
  }
  Centre(p);
}

// Euclidean distances between the rows of x (p columns), packed (not yet
// centred).
void PackEuclidean(int n, int p, const double* const* x, const double* const* id, Packed& out) {
  out.D = id;
  out.c.resize(Pairs(n));
  std::size_t k = 0;
  for (int i = 0; i < n; ++i) {
    const double* a = x[i];
    for (int j = i + 1; j < n; ++j) {
      const double* b = x[j];
      double s = 0;
      for (int q = 0; q < p; ++q) {
        const double d = a[q] - b[q];
        s += d * d;
      }
      out.c[k++] = s > 0 ? std::sqrt(s) : 0.0;
    }
  }
}

// Euclidean distances from row i to the rows after it, from the columns of x
// (xt: p rows of ld values, column k of x in row k): out[j - i - 1] for j in
// (i, n). Each distance sums its squared differences in the order of the
// variables, as PackEuclidean does, with the same operations.
__attribute__((target("avx512f"))) void EuclidRowAvx512(int i, int n, int p, const double* xt, int ld, double* out) {
  const __m512d zero = _mm512_setzero_pd();
  int j = i + 1;
  for (; j + 8 <= n; j += 8) {
    __m512d acc = zero;
    for (int q = 0; q < p; ++q) {
      const double* col = xt + Z(q) * Z(ld);
      const __m512d d = _mm512_sub_pd(_mm512_set1_pd(col[i]), _mm512_loadu_pd(col + j));
      acc = _mm512_add_pd(acc, _mm512_mul_pd(d, d));
    }
    const __m512d pos = _mm512_mask_max_pd(zero, 0xFF, acc, zero);
    _mm512_storeu_pd(out + (j - i - 1), _mm512_mask_sqrt_pd(zero, 0xFF, pos));
  }
  for (; j < n; ++j) {
    double acc = 0;
    for (int q = 0; q < p; ++q) {
      const double* col = xt + Z(q) * Z(ld);
      const double d = col[i] - col[j];
      acc += d * d;
    }
    out[j - i - 1] = acc > 0 ? std::sqrt(acc) : 0.0;
  }
}

// out[8 r + l] = rows[l][k + r] for r, l < 8: an 8 x 8 block transposed.
void Transpose8Plain(const double* const* rows, int k, double* out) {
  for (int r = 0; r < 8; ++r)
    for (int l = 0; l < 8; ++l) out[8 * r + l] = rows[l][k + r];
}

__attribute__((target("avx512f"))) void Transpose8Avx512(const double* const* rows, int k, double* out) {
  __m512d r0 = _mm512_loadu_pd(rows[0] + k), r1 = _mm512_loadu_pd(rows[1] + k);
  __m512d r2 = _mm512_loadu_pd(rows[2] + k), r3 = _mm512_loadu_pd(rows[3] + k);
  __m512d r4 = _mm512_loadu_pd(rows[4] + k), r5 = _mm512_loadu_pd(rows[5] + k);
  __m512d r6 = _mm512_loadu_pd(rows[6] + k), r7 = _mm512_loadu_pd(rows[7] + k);
  // Pairs of rows interleaved, then pairs of pairs, then the halves (the
  // masked forms spare the compiler's false alarm about undefined lanes).
  const __m512d z = _mm512_setzero_pd();
  const __m512d t0 = _mm512_mask_unpacklo_pd(z, 0xFF, r0, r1), t1 = _mm512_mask_unpackhi_pd(z, 0xFF, r0, r1);
  const __m512d t2 = _mm512_mask_unpacklo_pd(z, 0xFF, r2, r3), t3 = _mm512_mask_unpackhi_pd(z, 0xFF, r2, r3);
  const __m512d t4 = _mm512_mask_unpacklo_pd(z, 0xFF, r4, r5), t5 = _mm512_mask_unpackhi_pd(z, 0xFF, r4, r5);
  const __m512d t6 = _mm512_mask_unpacklo_pd(z, 0xFF, r6, r7), t7 = _mm512_mask_unpackhi_pd(z, 0xFF, r6, r7);
  const __m512i i0 = _mm512_set_epi64(13, 12, 5, 4, 9, 8, 1, 0), i1 = _mm512_set_epi64(15, 14, 7, 6, 11, 10, 3, 2);
  const __m512d u0 = _mm512_permutex2var_pd(t0, i0, t2), u1 = _mm512_permutex2var_pd(t1, i0, t3);
  const __m512d u2 = _mm512_permutex2var_pd(t0, i1, t2), u3 = _mm512_permutex2var_pd(t1, i1, t3);
  const __m512d u4 = _mm512_permutex2var_pd(t4, i0, t6), u5 = _mm512_permutex2var_pd(t5, i0, t7);
  const __m512d u6 = _mm512_permutex2var_pd(t4, i1, t6), u7 = _mm512_permutex2var_pd(t5, i1, t7);
  const __m512i lo = _mm512_set_epi64(11, 10, 9, 8, 3, 2, 1, 0), hi = _mm512_set_epi64(15, 14, 13, 12, 7, 6, 5, 4);
  r0 = _mm512_permutex2var_pd(u0, lo, u4);
  r1 = _mm512_permutex2var_pd(u1, lo, u5);
  r2 = _mm512_permutex2var_pd(u2, lo, u6);
  r3 = _mm512_permutex2var_pd(u3, lo, u7);
  r4 = _mm512_permutex2var_pd(u0, hi, u4);
  r5 = _mm512_permutex2var_pd(u1, hi, u5);
  r6 = _mm512_permutex2var_pd(u2, hi, u6);
  r7 = _mm512_permutex2var_pd(u3, hi, u7);
  _mm512_storeu_pd(out, r0);
  _mm512_storeu_pd(out + 8, r1);
  _mm512_storeu_pd(out + 16, r2);
  _mm512_storeu_pd(out + 24, r3);
  _mm512_storeu_pd(out + 32, r4);
  _mm512_storeu_pd(out + 40, r5);
  _mm512_storeu_pd(out + 48, r6);
  _mm512_storeu_pd(out + 56, r7);
}

// Distances from the Gram matrix: out[j - i - 1] = sqrt(g[i][i] + g[j][j] -
// 2 g[i][j]) for j in (i, n), where gi is row i of G and diag its diagonal.
void GramRowPlain(int i, int n, const double* gi, const double* diag, double* out) {
  const double gii = diag[i];
  for (int j = i + 1; j < n; ++j) {
    const double d2 = gii + diag[j] - 2.0 * gi[j];
    out[j - i - 1] = d2 > 0.0 ? std::sqrt(d2) : 0.0;
  }
}

__attribute__((target("avx512f"))) void GramRowAvx512(int i, int n, const double* gi, const double* diag, double* out) {
  const __m512d gii = _mm512_set1_pd(diag[i]), two = _mm512_set1_pd(2.0), zero = _mm512_setzero_pd();
  int j = i + 1;
  for (; j + 8 <= n; j += 8) {
    const __m512d d2 =
        _mm512_sub_pd(_mm512_add_pd(gii, _mm512_loadu_pd(diag + j)), _mm512_mul_pd(two, _mm512_loadu_pd(gi + j)));
    // max(d2, 0) also turns a NaN into 0, as the plain form does.
    // (The masked forms spare the compiler's false alarm about undefined
    // lanes.)
    const __m512d pos = _mm512_mask_max_pd(zero, 0xFF, d2, zero);
    _mm512_storeu_pd(out + (j - i - 1), _mm512_mask_sqrt_pd(zero, 0xFF, pos));
  }
  for (; j < n; ++j) {
    const double d2 = diag[i] + diag[j] - 2.0 * gi[j];
    out[j - i - 1] = d2 > 0.0 ? std::sqrt(d2) : 0.0;
  }
}


// The plain form for j >= from only.
void GramRowUnequalFrom(int i, int from, int n, const double* gi, const double* diag, const UnequalTotals& u,
                        double* out) {
  for (int j = from; j < n; ++j) {
    const double dw = u.w[i] - u.w[j];
    const double d2 = diag[i] + diag[j] - 2.0 * gi[j] + dw * (2.0 * (u.yp[i] - u.yp[j]) + dw * u.ubar2);
    out[j - i - 1] = d2 > 0.0 ? std::sqrt(d2) : 0.0;
  }
}

void GramRowUnequalPlain(int i, int n, const double* gi, const double* diag, const UnequalTotals& u, double* out) {
  GramRowUnequalFrom(i, i + 1, n, gi, diag, u, out);
}

__attribute__((target("avx512f"))) void GramRowUnequalAvx512(int i, int n, const double* gi, const double* diag,
                                                             const UnequalTotals& u, double* out) {
  const __m512d gii = _mm512_set1_pd(diag[i]), two = _mm512_set1_pd(2.0), zero = _mm512_setzero_pd();
  const __m512d wi = _mm512_set1_pd(u.w[i]), yi = _mm512_set1_pd(u.yp[i]), ub = _mm512_set1_pd(u.ubar2);
  int j = i + 1;
  for (; j + 8 <= n; j += 8) {
    const __m512d dw = _mm512_sub_pd(wi, _mm512_loadu_pd(u.w + j));
    const __m512d corr = _mm512_mul_pd(
        dw, _mm512_add_pd(_mm512_mul_pd(two, _mm512_sub_pd(yi, _mm512_loadu_pd(u.yp + j))), _mm512_mul_pd(dw, ub)));
    const __m512d d2 = _mm512_add_pd(
        _mm512_sub_pd(_mm512_add_pd(gii, _mm512_loadu_pd(diag + j)), _mm512_mul_pd(two, _mm512_loadu_pd(gi + j))),
        corr);
    const __m512d pos = _mm512_mask_max_pd(zero, 0xFF, d2, zero);
    _mm512_storeu_pd(out + (j - i - 1), _mm512_mask_sqrt_pd(zero, 0xFF, pos));
  }
  GramRowUnequalFrom(i, j, n, gi, diag, u, out);
}

// The communities j > i whose squared distance to i, d[j - i - 1]^2, is below
// limit times the terms it was formed from (diag_i + diag_j and the
// corrections of unequal totals, taken absolutely), into js; returns how many.
// The plain form looks at j >= from only.
int NearPairsFrom(int i, int from, int n, const double* d, const double* diag, const UnequalTotals& u, double limit,
                  int* js) {
  int cnt = 0;
  for (int j = from; j < n; ++j) {
    const double dd = d[j - i - 1];
    const double dw = std::fabs(u.w[i] - u.w[j]);
    const double scale = diag[i] + diag[j] + dw * (2.0 * std::fabs(u.yp[i] - u.yp[j]) + dw * u.ubar2);
    if (!(dd * dd >= limit * scale)) js[cnt++] = j;
  }
  return cnt;
}

__attribute__((target("avx512f"))) int NearPairsAvx512(int i, int n, const double* d, const double* diag,
                                                       const UnequalTotals& u, double limit, int* js) {
  const __m512d gii = _mm512_set1_pd(diag[i]), two = _mm512_set1_pd(2.0), lim = _mm512_set1_pd(limit);
  const __m512d wi = _mm512_set1_pd(u.w[i]), yi = _mm512_set1_pd(u.yp[i]), ub = _mm512_set1_pd(u.ubar2);
  const __m512d zero = _mm512_setzero_pd();
  int cnt = 0, j = i + 1;
  for (; j + 8 <= n; j += 8) {
    const __m512d dd = _mm512_loadu_pd(d + (j - i - 1));
    const __m512d dw = _mm512_mask_abs_pd(zero, 0xFF, _mm512_sub_pd(wi, _mm512_loadu_pd(u.w + j)));
    const __m512d dy = _mm512_mask_abs_pd(zero, 0xFF, _mm512_sub_pd(yi, _mm512_loadu_pd(u.yp + j)));
    const __m512d scale = _mm512_add_pd(_mm512_add_pd(gii, _mm512_loadu_pd(diag + j)),
                                        _mm512_mul_pd(dw, _mm512_add_pd(_mm512_mul_pd(two, dy), _mm512_mul_pd(dw, ub))));
    __mmask8 ok = _mm512_cmp_pd_mask(_mm512_mul_pd(dd, dd), _mm512_mul_pd(lim, scale), _CMP_GE_OQ);
    for (unsigned bad = static_cast<unsigned>(~ok) & 0xFFu; bad != 0; bad &= bad - 1) js[cnt++] = j + __builtin_ctz(bad);
  }
  return cnt + NearPairsFrom(i, j, n, d, diag, u, limit, js + cnt);
}

int NearPairsPlain(int i, int n, const double* d, const double* diag, const UnequalTotals& u, double limit, int* js) {
  return NearPairsFrom(i, i + 1, n, d, diag, u, limit, js);
}

// The Mantel statistic of two packed matrices from the dot product of their
// centred values.
double MantelFromDot(double sxy, const Packed& a, const Packed& b) {
  constexpr double kNoise = 1e-20;
  if (!(a.ss > kNoise * a.raw) || !(b.ss > kNoise * b.raw)) return 0.0;
  const double r = sxy / std::sqrt(a.ss * b.ss);
  return std::isfinite(r) ? r : 0.0;
}

double PackedMantel(const Packed& a, const Packed& b) {
  return MantelFromDot(Dot16(a.c.size(), a, b), a, b);
}

RaoRowFn RaoRowKernel(bool wideRow) { return HasAvx512() && wideRow ? RaoRowAvx512 : RaoRowPlain; }

RaoTailFn RaoTailKernel() { return HasAvx512() ? RaoTailAvx512 : RaoTailPlain; }

void PanelAccumulate(int count, int rows, const int* seg, const int* off, const double* vals,
                     const double* const* panels, double* const* outs, bool first) {
  if (HasAvx512()) {
    switch (count) {
      case 4: PanelAccumulateAvx512<4>(rows, seg, off, vals, panels, outs, first); break;
      case 3: PanelAccumulateAvx512<3>(rows, seg, off, vals, panels, outs, first); break;
      case 2: PanelAccumulateAvx512<2>(rows, seg, off, vals, panels, outs, first); break;
      default: PanelAccumulateAvx512<1>(rows, seg, off, vals, panels, outs, first); break;
    }
    return;
  }
  for (int k = 0; k < count; ++k)
    for (int c = 0; c < rows; ++c)
      PanelAccumulatePlain(seg[c + 1] - seg[c], off + seg[c], vals + seg[c], panels[k], outs[k] + Z(c) * kLanes, first);
}

}  // namespace kalios::fastmantel
