#include "testing/permtest_fastmantel.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "testing/matrix_correlation.h"
#include "testing/permtest_nullmodels.h"
#include "testing/regression.h"

namespace kalios {
namespace {

constexpr int kLanes = PanelMatrix::kLanes;
using Panels = PanelMatrix;

std::size_t Z(int v) { return static_cast<std::size_t>(v); }

bool AnyMissing(int r, int c, const double* const* m) {
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      if (m[i][j] == kMissingValue) return true;
  return false;
}

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

__attribute__((target("avx512f"))) void PanelCombineAvx512(int cnt, const int* off, const double* vals,
                                                           const double* panel, double* out) {
  __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
  int t = 0;
  for (; t + 4 <= cnt; t += 4) {
    a0 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t]), _mm512_load_pd(panel + off[t]), a0);
    a1 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 1]), _mm512_load_pd(panel + off[t + 1]), a1);
    a2 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 2]), _mm512_load_pd(panel + off[t + 2]), a2);
    a3 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 3]), _mm512_load_pd(panel + off[t + 3]), a3);
  }
  if (t < cnt) a0 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t]), _mm512_load_pd(panel + off[t]), a0);
  if (t + 1 < cnt) a1 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 1]), _mm512_load_pd(panel + off[t + 1]), a1);
  if (t + 2 < cnt) a2 = _mm512_fmadd_pd(_mm512_set1_pd(vals[t + 2]), _mm512_load_pd(panel + off[t + 2]), a2);
  _mm512_storeu_pd(out, _mm512_add_pd(_mm512_add_pd(a0, a1), _mm512_add_pd(a2, a3)));
}

// The same for two panels at once (the same rows of each): the places and
// weights are read once for both.
void PanelCombine2Plain(int cnt, const int* off, const double* vals, const double* panelA, const double* panelB,
                        double* outA, double* outB) {
  PanelCombinePlain(cnt, off, vals, panelA, outA);
  PanelCombinePlain(cnt, off, vals, panelB, outB);
}

__attribute__((target("avx512f"))) void PanelCombine2Avx512(int cnt, const int* off, const double* vals,
                                                            const double* panelA, const double* panelB, double* outA,
                                                            double* outB) {
  __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, b0 = a0, b1 = a0, b2 = a0, b3 = a0;
  int t = 0;
  for (; t + 4 <= cnt; t += 4) {
    const __m512d v0 = _mm512_set1_pd(vals[t]), v1 = _mm512_set1_pd(vals[t + 1]);
    const __m512d v2 = _mm512_set1_pd(vals[t + 2]), v3 = _mm512_set1_pd(vals[t + 3]);
    const int o0 = off[t], o1 = off[t + 1], o2 = off[t + 2], o3 = off[t + 3];
    a0 = _mm512_fmadd_pd(v0, _mm512_load_pd(panelA + o0), a0);
    b0 = _mm512_fmadd_pd(v0, _mm512_load_pd(panelB + o0), b0);
    a1 = _mm512_fmadd_pd(v1, _mm512_load_pd(panelA + o1), a1);
    b1 = _mm512_fmadd_pd(v1, _mm512_load_pd(panelB + o1), b1);
    a2 = _mm512_fmadd_pd(v2, _mm512_load_pd(panelA + o2), a2);
    b2 = _mm512_fmadd_pd(v2, _mm512_load_pd(panelB + o2), b2);
    a3 = _mm512_fmadd_pd(v3, _mm512_load_pd(panelA + o3), a3);
    b3 = _mm512_fmadd_pd(v3, _mm512_load_pd(panelB + o3), b3);
  }
  for (int u = 0; t < cnt; ++t, ++u) {
    const __m512d v = _mm512_set1_pd(vals[t]);
    const __m512d ra = _mm512_load_pd(panelA + off[t]), rb = _mm512_load_pd(panelB + off[t]);
    if (u == 0) {
      a0 = _mm512_fmadd_pd(v, ra, a0);
      b0 = _mm512_fmadd_pd(v, rb, b0);
    } else if (u == 1) {
      a1 = _mm512_fmadd_pd(v, ra, a1);
      b1 = _mm512_fmadd_pd(v, rb, b1);
    } else {
      a2 = _mm512_fmadd_pd(v, ra, a2);
      b2 = _mm512_fmadd_pd(v, rb, b2);
    }
  }
  _mm512_storeu_pd(outA, _mm512_add_pd(_mm512_add_pd(a0, a1), _mm512_add_pd(a2, a3)));
  _mm512_storeu_pd(outB, _mm512_add_pd(_mm512_add_pd(b0, b1), _mm512_add_pd(b2, b3)));
}

// For each row c < rows: outs[k] + c kLanes += the sum PanelCombine forms
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

using PanelCombineFn = void (*)(int, const int*, const double*, const double*, double*);

bool HasAvx512() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
  }();
  return yes;
}

void PanelCombine(int cnt, const int* off, const double* vals, const double* panel, double* out) {
  static const PanelCombineFn fn = HasAvx512() ? PanelCombineAvx512 : PanelCombinePlain;
  fn(cnt, off, vals, panel, out);
}

void PanelCombine2(int cnt, const int* off, const double* vals, const double* panelA, const double* panelB,
                   double* outA, double* outB) {
  static const auto fn = HasAvx512() ? PanelCombine2Avx512 : PanelCombine2Plain;
  fn(cnt, off, vals, panelA, panelB, outA, outB);
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
__attribute__((target_clones("avx2", "default"))) double Dot16Plain(std::size_t m, const double* x, const double* y) {
  double a[16] = {};
  std::size_t k = 0;
  for (; k + 16 <= m; k += 16)
    for (int l = 0; l < 16; ++l) a[l] += x[k + Z(l)] * (y ? y[k + Z(l)] : 1.0);
  for (int l = 0; k < m; ++k, ++l) a[l] += x[k] * (y ? y[k] : 1.0);
  double b[8];
  for (int l = 0; l < 8; ++l) b[l] = a[l] + a[l + 8];
  return ((b[0] + b[1]) + (b[2] + b[3])) + ((b[4] + b[5]) + (b[6] + b[7]));
}

__attribute__((target("avx512f"))) double Dot16Avx512(std::size_t m, const double* x, const double* y) {
  __m512d a0 = _mm512_setzero_pd(), a1 = a0;
  const __m512d one = _mm512_set1_pd(1.0);
  std::size_t k = 0;
  for (; k + 16 <= m; k += 16) {
    a0 = _mm512_fmadd_pd(_mm512_loadu_pd(x + k), y ? _mm512_loadu_pd(y + k) : one, a0);
    a1 = _mm512_fmadd_pd(_mm512_loadu_pd(x + k + 8), y ? _mm512_loadu_pd(y + k + 8) : one, a1);
  }
  double a[16];
  _mm512_storeu_pd(a, a0);
  _mm512_storeu_pd(a + 8, a1);
  for (int l = 0; k < m; ++k, ++l) a[l] += x[k] * (y ? y[k] : 1.0);
  double b[8];
  for (int l = 0; l < 8; ++l) b[l] = a[l] + a[l + 8];
  return ((b[0] + b[1]) + (b[2] + b[3])) + ((b[4] + b[5]) + (b[6] + b[7]));
}

double Dot16(std::size_t m, const double* x, const double* y) {
  static const auto fn = HasAvx512() ? Dot16Avx512 : Dot16Plain;
  return fn(m, x, y);
}

// out[k] = Dot16(m, x[k], y[k]) for k < count, the same sums in the same
// order, over blocks of the vectors that stay in the cache for every pair.
void MultiDotPlain(std::size_t m, int count, const double* const* x, const double* const* y, double* out) {
  for (int k = 0; k < count; ++k) out[k] = Dot16Plain(m, x[k], y[k]);
}

__attribute__((target("avx512f"))) void MultiDotAvx512(std::size_t m, int count, const double* const* x,
                                                       const double* const* y, double* out) {
  constexpr std::size_t kBlock = 512;
  const std::size_t whole = m - m % 16;
  thread_local std::vector<double> acc;
  acc.assign(Z(count) * 16, 0.0);
  for (std::size_t k0 = 0; k0 < whole; k0 += kBlock) {
    const std::size_t k1 = std::min(whole, k0 + kBlock);
    for (int q = 0; q < count; ++q) {
      const double *xq = x[q], *yq = y[q];
      double* aq = acc.data() + Z(q) * 16;
      __m512d a0 = _mm512_loadu_pd(aq), a1 = _mm512_loadu_pd(aq + 8);
      for (std::size_t k = k0; k < k1; k += 16) {
        a0 = _mm512_fmadd_pd(_mm512_loadu_pd(xq + k), _mm512_loadu_pd(yq + k), a0);
        a1 = _mm512_fmadd_pd(_mm512_loadu_pd(xq + k + 8), _mm512_loadu_pd(yq + k + 8), a1);
      }
      _mm512_storeu_pd(aq, a0);
      _mm512_storeu_pd(aq + 8, a1);
    }
  }
  for (int q = 0; q < count; ++q) {
    double* a = acc.data() + Z(q) * 16;
    for (std::size_t k = whole, l = 0; k < m; ++k, ++l) a[l] += x[q][k] * y[q][k];
    double b[8];
    for (int l = 0; l < 8; ++l) b[l] = a[l] + a[l + 8];
    out[q] = ((b[0] + b[1]) + (b[2] + b[3])) + ((b[4] + b[5]) + (b[6] + b[7]));
  }
}

// The strict upper triangle of a resemblance matrix, row by row, centred as
// the Mantel statistic centres it, with its sum of squares: the statistic of
// two packed matrices is then one dot product.
struct Packed {
  const double* const* D = nullptr;
  std::vector<double> c;
  double ss = 0.0, raw = 0.0;
  bool ok = false;
};

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
  for (int l = 0; k < m; ++k, ++l) {
    missing = missing || c[k] == kMissingValue;
    a[l] += c[k] - a0;
    b[l] += c[k] * c[k];
  }
  for (int l = 0; l < 8; ++l) {
    a[l] += a[l + 8];
    b[l] += b[l + 8];
  }
  sum = ((a[0] + a[1]) + (a[2] + a[3])) + ((a[4] + a[5]) + (a[6] + a[7]));
  sq = ((b[0] + b[1]) + (b[2] + b[3])) + ((b[4] + b[5]) + (b[6] + b[7]));
  return !missing;
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
  bool missing = bad != 0;
  for (int l = 0; k < m; ++k, ++l) {
    missing = missing || c[k] == kMissingValue;
    a[l] += c[k] - a0;
    b[l] += c[k] * c[k];
  }
  for (int l = 0; l < 8; ++l) {
    a[l] += a[l + 8];
    b[l] += b[l + 8];
  }
  sum = ((a[0] + a[1]) + (a[2] + a[3])) + ((a[4] + a[5]) + (a[6] + a[7]));
  sq = ((b[0] + b[1]) + (b[2] + b[3])) + ((b[4] + b[5]) + (b[6] + b[7]));
  return !missing;
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
  const double a0 = c[0], ma = sum / static_cast<double>(m);
  for (std::size_t k = 0; k < m; ++k) c[k] = c[k] - a0 - ma;
  p.ss = Dot16(m, c, c);
  p.ok = true;
}

std::size_t Pairs(int n) { return n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0; }

void Pack(int n, const double* const* D, Packed& p) {
  p.D = D;
  p.c.resize(Pairs(n));
  std::size_t k = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) p.c[k++] = D[i][j];
  Centre(p);
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
    const double v = x[Z(i)];
    const double* xs = x.data();
    for (int j = i + 1; j < n; ++j) *out++ = std::fabs(v - xs[j]);
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

// The same when community totals differ: |x_i - x_j|^2 = |y_i - y_j|^2 +
// dw (2 (ubar'y_i - ubar'y_j) + dw ubar'ubar), dw = w_i - w_j (w the
// totals, yp the ubar'y).
struct UnequalTotals {
  const double* w;
  const double* yp;
  double ubar2;
};

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
  return MantelFromDot(Dot16(a.c.size(), a.c.data(), b.c.data()), a, b);
}

void Sparse(int n, int s, const double* const* W, std::vector<int>& start, std::vector<int>& idx,
            std::vector<double>& val) {
  start.assign(static_cast<std::size_t>(n) + 1, 0);
  idx.clear();
  val.clear();
  for (int c = 0; c < n; ++c) {
    for (int i = 0; i < s; ++i)
      if (W[c][i] != 0.0) {
        idx.push_back(i);
        val.push_back(W[c][i]);
      }
    start[static_cast<std::size_t>(c) + 1] = static_cast<int>(idx.size());
  }
}

class FastMantelWorker : public NullWorker {
 public:
  explicit FastMantelWorker(const FastMantelShared& sh) : sh_(sh) {
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh.in;
    const int n = in.ncsm, s = in.nOTUs;
    PrepareFunctionalPhylStats(in, nul_);
    nul_.reseCodeX = sh.obs->reseCodeX;
    nul_.nExtraCols = sh.obs->nExtraCols;
    nPanels_ = (n + kLanes - 1) / kLanes;
    Hp_.Resize(n, sh.Kp.panels * kLanes);
    Ht_.Resize(sh.Kp.panels * kLanes, kGroup * kLanes);
    Gp_.Resize(n, nPanels_ * kLanes);
    gRow_.assign(Z(nPanels_) * kLanes, 0.0);
    // Blocks of OTUs whose rows in a group of kGroup panels (kLanes values
    // per panel) fill at most kBlockBytes, of equal sizes.
    nBlocks_ = std::max(1, static_cast<int>((Z(s) * kGroup * kLanes * sizeof(double) + kBlockBytes - 1) / kBlockBytes));
    blockRows_ = (s + nBlocks_ - 1) / nBlocks_;
    seg_.assign(Z(nBlocks_) * Z(n) + 1, 0);
    bOff_.resize(sh.wIdx.size());
    otuGroup_.resize(Z(s));
    otuOff_.resize(Z(s));
    bVal_.resize(sh.wIdx.size());
    diag_.resize(Z(n));
    nearJ_.resize(Z(n));
    yProj_.assign(Z(n), 0.0);
    tt_.resize(Z(n) * Z(in.nch));
    tz_.resize(Z(sh.Bp.panels) * kLanes);
    offA_.resize(sh.aIdx.size());
    pb_.resize(Z(s) * kLanes);
    buf_.Resize(s, kLanes);
    qb_.resize(Z(n) * kLanes);
    full_ = in.opt_MatrixCorr != 'm';
    if (!full_) {
      // Slots 0-3 the null DT, DX, DR, DV; then the fixed matrices.
      packs_.resize(4);
      using CD = const double* const*;
      for (CD D : std::initializer_list<CD>{in.DE, in.DY, sh.obs->DT, sh.obs->DX, sh.obs->DR, sh.obs->DV}) {
        if (D == nullptr) continue;
        packs_.emplace_back();
        Pack(n, D, packs_.back());
        // A fixed matrix with pairs left out goes to the general statistic,
        // which reads the whole null matrices.
        full_ = full_ || !packs_.back().ok;
      }
      mantelFn_ = [this, n](const double* const* A, const double* const* B) {
        const Packed* pa = Find(A);
        const Packed* pb = Find(B);
        if (pa && pb) {
          // The dot products of the statistics asked for, taken together.
          for (std::size_t k = 0; k < callA_.size(); ++k)
            if (callA_[k] == A && callB_[k] == B && callX_[k] != nullptr) return MantelFromDot(dots_[k], *pa, *pb);
          return PackedMantel(*pa, *pb);
        }
        return MatrixCorr(n, A, B);
      };
    } else {
      packs_.resize(2);
    }
    bool constant = true;
    for (int c = 0; c < n; ++c) {
      int rich = 0;
      if (in.richness) {
        rich = in.richness[c];
      } else {
        for (int i = 0; i < s; ++i) rich += in.W[c][i] > 0.0;
      }
      nul_.richnessCol[c][0] = rich;
      constant = constant && rich == nul_.richnessCol[0][0];
    }
    // As the general statistics do: no slope to fit on a constant richness.
    richnessSlope_ = constant ? 0 : 1;
    if (mantelFn_) {
      // Which Mantel statistics the correlations ask for depends only on the
      // options: a dry run lists them.
      const MantelFunction record = [this](const double* const* A, const double* const* B) {
        callA_.push_back(A);
        callB_.push_back(B);
        return 0.0;
      };
      NullCorrelations(in, nul_, sh.separateCov ? *sh.obs : nul_, sh.separateCov, 0.0, r_, &record);
      callX_.assign(callA_.size(), nullptr);
      callY_.assign(callA_.size(), nullptr);
      liveX_.assign(callA_.size(), nullptr);
      liveY_.assign(callA_.size(), nullptr);
      dots_.assign(callA_.size(), 0.0);
      liveDots_.assign(callA_.size(), 0.0);
    }
  }

  int BatchSize() const override { return kLanes; }

  void Evaluate(const IterationDraw& d, double* values, double*, std::ostream*) override {
    EvaluateBatch(1, &d, &values, nullptr, nullptr);
  }

  void EvaluateBatch(int count, const IterationDraw* draws, double* const* values, double* const*,
                     std::ostream* const*) override {
    for (int k0 = 0; k0 < count; k0 += kLanes) {
      const int cnt = std::min(kLanes, count - k0);
      RaoBatch(cnt, draws + k0);
      for (int k = 0; k < cnt; ++k) EvaluateOne(draws[k0 + k], values[k0 + k], k);
    }
  }

 private:
  // The statistics of one permutation, its Rao entropies in lane `lane` of
  // the last RaoBatch.
  void EvaluateOne(const IterationDraw& d, double* values, int lane) {
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh_.in;
    const int n = in.ncsm, nch = in.nch;
    const int* perm = d.perm;

    // T: each community's mean traits over the OTUs that now stand in its
    // places, in ascending order of the places as the general product sums.
    // From B in panels of columns, as the Gram products are formed.
    for (std::size_t t = 0; t < offA_.size(); ++t) offA_[t] = (perm[sh_.aIdx[t]] - 1) * kLanes;
    const int* as = sh_.aStart.data();
    const double* av = sh_.aVal.data();
    for (int c = 0; c < n; ++c) {
      double* z = nul_.T[c];
      std::fill(z, z + nul_.T.cols(), 0.0);
      const int cnt = as[c + 1] - as[c];
      int p = 0;
      for (; p + 2 <= sh_.Bp.panels; p += 2)
        PanelCombine2(cnt, offA_.data() + as[c], av + as[c], sh_.Bp.Panel(p), sh_.Bp.Panel(p + 1),
                      tz_.data() + p * kLanes, tz_.data() + (p + 1) * kLanes);
      for (; p < sh_.Bp.panels; ++p)
        PanelCombine(cnt, offA_.data() + as[c], av + as[c], sh_.Bp.Panel(p), tz_.data() + p * kLanes);
      for (int j = 0; j < nch; ++j) z[j] = in.chSelect && in.chSelect[j] != 1 ? 0.0 : tz_[Z(j)];
    }
    NormalizeColsMV(n, nch, nul_.T, nul_.T);
    // The resemblances that only enter Mantel statistics are packed directly.
    if (HasAvx512()) {
      Packed& dt = packs_[0];
      dt.D = nul_.DT;
      dt.c.resize(Pairs(n));
      for (int q = 0; q < nch; ++q)
        for (int c = 0; c < n; ++c) tt_[Z(q) * Z(n) + Z(c)] = nul_.T[c][q];
      std::size_t k = 0;
      for (int i = 0; i < n; ++i) {
        EuclidRowAvx512(i, n, nch, tt_.data(), n, dt.c.data() + k);
        k += Z(n - i - 1);
      }
    } else {
      PackEuclidean(n, nch, nul_.T, nul_.DT, packs_[0]);
    }
    if (full_) Unpack(n, packs_[0], nul_.DT);
    Centre(packs_[0]);

    Gram(n, perm);
    // The distances of X, packed, with their upper triangle from G.
    Packed& dx = packs_[1];
    dx.D = nul_.DX;
    dx.c.resize(Pairs(n));
    if (sh_.equalSums) {
      static const auto gramRow = HasAvx512() ? GramRowAvx512 : GramRowPlain;
      std::size_t k = 0;
      for (int i = 0; i < n; ++i) {
        gramRow(i, n, GramRowOf(i, n), diag_.data(), dx.c.data() + k);
        k += Z(n - i - 1);
      }
    } else {
      static const auto gramRow = HasAvx512() ? GramRowUnequalAvx512 : GramRowUnequalPlain;
      const UnequalTotals u{sh_.wSum.data(), yProj_.data(), sh_.ubar2};
      std::size_t k = 0;
      for (int i = 0; i < n; ++i) {
        gramRow(i, n, GramRowOf(i, n), diag_.data(), u, dx.c.data() + k);
        k += Z(n - i - 1);
      }
    }
    ExactNearDistances(n, perm, dx);
    // NNCRD of X referenced on E: each community's mean distance to its
    // nearest neighbours on E (fixed, found once), in their order.
    for (int i = 0; i < n; ++i) {
      const int b = sh_.nnStart[Z(i)], e = sh_.nnStart[Z(i) + 1];
      double v = 0.0;
      if (b < e) {
        double sum = 0.0;
        for (int t = b; t < e; ++t) sum += dx.c[PairIndex(n, i, sh_.nnIdx[Z(t)])];
        v = sum / (e - b);
      }
      nul_.nncrd[Z(i)] = v;
    }
    if (full_) Unpack(n, dx, nul_.DX);
    Centre(dx);

    for (int c = 0; c < n; ++c) {
      const double r = 2.0 * qb_[Z(c) * kLanes + Z(lane)];
      nul_.R[Z(c)] = r;
      nul_.Rcol[c][0] = nul_.Rrow[0][c] = r;
    }

    // The NNCRD's residuals on OTU richness.
    for (int c = 0; c < n; ++c) nul_.Vcol[c][0] = nul_.nncrd[Z(c)];
    Regression_ResidualsSelect(n, 1, richnessSlope_, nul_.Vcol, nul_.richnessCol, nul_.residualCol, nullptr);
    for (int c = 0; c < n; ++c) nul_.Vcol[c][0] = nul_.Vrow[0][c] = nul_.residualCol[c][0];
    if (mantelFn_) {
      PackAbsDifferences(n, nul_.Rcol, nul_.DR, packs_[2]);
      PackAbsDifferences(n, nul_.Vcol, nul_.DV, packs_[3]);
    }
    if (full_) {
      ResemblanceLib(n, 1, nul_.Rcol, nul_.DR, 1, 2, nullptr, 0.0, 0.0, 1, false);
      ResemblanceLib(n, 1, nul_.Vcol, nul_.DV, 1, 2, nullptr, 0.0, 0.0, 1, false);
    }
    if (mantelFn_) {
      // The dot products of every Mantel statistic the correlations will ask
      // for, in one pass over the packed matrices.
      for (std::size_t k = 0; k < callA_.size(); ++k) {
        const Packed* pa = Find(callA_[k]);
        const Packed* pb = Find(callB_[k]);
        callX_[k] = pa && pb ? pa->c.data() : nullptr;
        callY_[k] = pa && pb ? pb->c.data() : nullptr;
      }
      int live = 0;
      for (std::size_t k = 0; k < callA_.size(); ++k)
        if (callX_[k] != nullptr) {
          liveX_[Z(live)] = callX_[k];
          liveY_[Z(live)] = callY_[k];
          ++live;
        }
      static const auto multi = HasAvx512() ? MultiDotAvx512 : MultiDotPlain;
      multi(Pairs(n), live, liveX_.data(), liveY_.data(), liveDots_.data());
      for (std::size_t k = 0, j = 0; k < callA_.size(); ++k)
        if (callX_[k] != nullptr) dots_[k] = liveDots_[j++];
    }
    NullCorrelations(in, nul_, sh_.separateCov ? *sh_.obs : nul_, sh_.separateCov, 0.0, r_,
                     mantelFn_ ? &mantelFn_ : nullptr);
    StoreNullValues(r_, 0, values);
  }

 private:
  static std::size_t PairIndex(int n, int i, int j) {
    if (i > j) std::swap(i, j);
    // Row i of the upper triangle starts after i rows of n - 1, n - 2, ...
    // pairs.
    return Z(i) * Z(2 * n - i - 1) / 2 + Z(j - i - 1);
  }

  // Even from the centred y's, g_ii + g_jj - 2 g_ij cancels the leading
  // digits for communities much closer to each other than to the mean
  // (near-identical communities with large abundances): a squared distance
  // below kCancel of the terms it was formed from keeps too few of them.
  // Those distances are taken from the rows of X themselves, X = W_p U formed
  // for the communities concerned only, so that both routes agree to 1e-9.
  static constexpr double kCancel = 1e-4;

  void ExactNearDistances(int n, const int* perm, Packed& dx) {
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh_.in;
    const int k = in.nTypes;
    static const auto near = HasAvx512() ? NearPairsAvx512 : NearPairsPlain;
    const UnequalTotals u{sh_.wSum.data(), yProj_.data(), sh_.ubar2};
    bool any = false;
    std::size_t t = 0;
    for (int i = 0; i < n; ++i) {
      double* row = dx.c.data() + t;
      const int cnt = near(i, n, row, diag_.data(), u, kCancel, nearJ_.data());
      for (int q = 0; q < cnt; ++q) {
        const int j = nearJ_[Z(q)];
        if (!any) {
          xRow_.Resize(n, k);
          xDone_.assign(Z(n), 0);
          any = true;
        }
        const double* xi = XRow(i, perm);
        const double* xj = XRow(j, perm);
        double sum = 0.0;
        for (int c = 0; c < k; ++c) sum += (xi[c] - xj[c]) * (xi[c] - xj[c]);
        row[j - i - 1] = std::sqrt(sum);
      }
      t += Z(n - i - 1);
    }
  }

  const double* XRow(int c, const int* perm) {
    double* x = xRow_[c];
    if (xDone_[Z(c)]) return x;
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh_.in;
    const int k = in.nTypes;
    std::fill(x, x + k, 0.0);
    for (int t = sh_.wStart[Z(c)]; t < sh_.wStart[Z(c) + 1]; ++t) {
      const double w = sh_.wVal[Z(t)];
      const double* u = in.U[perm[sh_.wIdx[Z(t)]] - 1];
      for (int q = 0; q < k; ++q) x[q] += w * u[q];
    }
    xDone_[Z(c)] = 1;
    return x;
  }

  // The whole symmetric matrix from its packed values (before centring).
  static void Unpack(int n, const Packed& p, Matrix<double>& D) {
    std::size_t k = 0;
    for (int i = 0; i < n; ++i) {
      D[i][i] = 0.0;
      for (int j = i + 1; j < n; ++j) D[i][j] = D[j][i] = p.c[k++];
    }
  }

  // G = W_p K W_p': H = W_p K panel by panel of K, then the upper triangle of
  // G = H W_p' panel by panel of H' (communities in groups of kLanes). A panel
  // of K or H' holds a row of kLanes values per OTU; the OTUs are taken in
  // blocks small enough for the block of a panel to stay in the first-level
  // cache while every community passes (a whole panel of a few thousand OTUs
  // would be read from the second level at every entry).
  void Gram(int n, const int* perm) {
    BlockEntries(n, perm);
    const double* ps[kGroup];
    double* os[kGroup];
    for (int p = 0; p < sh_.Kp.panels; p += kGroup) {
      const int cnt = std::min(kGroup, sh_.Kp.panels - p);
      for (int k = 0; k < cnt; ++k) {
        ps[k] = sh_.Kp.Panel(p + k);
        os[k] = Hp_.Panel(p + k);
      }
      Accumulate(n, cnt, ps, os, n);
    }
    static const auto transpose = HasAvx512() ? Transpose8Avx512 : Transpose8Plain;
    for (int q = 0; q < nPanels_; q += kGroup) {
      const int cnt = std::min(kGroup, nPanels_ - q);
      for (int k = 0; k < cnt; ++k) {
        // H' for the communities of panel q + k (the missing ones of the last
        // panel stay zero).
        double* ht = Ht_.Panel(k);
        const int c0 = (q + k) * kLanes, c1 = std::min(n, c0 + kLanes);
        for (int p = 0; p < sh_.Kp.panels; ++p) {
          const double* h = Hp_.Panel(p);
          if (c1 - c0 == kLanes) {
            const double* rows[kLanes];
            for (int l = 0; l < kLanes; ++l) rows[l] = h + Z(c0 + l) * kLanes;
            transpose(rows, 0, ht + Z(p) * kLanes * kLanes);
          } else {
            for (int r = 0; r < kLanes; ++r)
              for (int l = 0; l < kLanes; ++l)
                ht[(Z(p) * kLanes + Z(r)) * kLanes + Z(l)] = c0 + l < c1 ? h[Z(c0 + l) * kLanes + Z(r)] : 0.0;
          }
        }
        ps[k] = ht;
        os[k] = Gp_.Panel(q + k);
      }
      // The upper triangle: the rows of G up to the last column of the group.
      Accumulate(n, cnt, ps, os, std::min(n, (q + cnt) * kLanes));
    }
    for (int c = 0; c < n; ++c) diag_[Z(c)] = Gp_.Panel(c / kLanes)[Z(c) * kLanes + Z(c % kLanes)];
    // ubar' y_c for the corrections of unequal community totals.
    const int* ws = sh_.wStart.data();
    const double* wv = sh_.wVal.data();
    for (int c = 0; c < n && !sh_.equalSums; ++c) {
      double v = 0.0;
      for (int t = ws[c]; t < ws[c + 1]; ++t) v += wv[t] * sh_.uProj[Z(perm[sh_.wIdx[Z(t)]] - 1)];
      yProj_[Z(c)] = v;
    }
  }

  // outs[k] row c += the sum over c's entries of their weight times the row
  // of panels[k] at their place, for k < count and c < rows, OTU block by
  // block; kGroup panels at once when the processor has 512-bit vectors.
  void Accumulate(int n, int count, const double* const* panels, double* const* outs, int rows) {
    const int* off = bOff_.data();
    const double* val = bVal_.data();
    for (int b = 0; b < nBlocks_; ++b) {
      const int* sb = seg_.data() + Z(b) * Z(n);
      if (HasAvx512()) {
        switch (count) {
          case 4: PanelAccumulateAvx512<4>(rows, sb, off, val, panels, outs, b == 0); break;
          case 3: PanelAccumulateAvx512<3>(rows, sb, off, val, panels, outs, b == 0); break;
          case 2: PanelAccumulateAvx512<2>(rows, sb, off, val, panels, outs, b == 0); break;
          default: PanelAccumulateAvx512<1>(rows, sb, off, val, panels, outs, b == 0); break;
        }
      } else {
        for (int k = 0; k < count; ++k)
          for (int c = 0; c < rows; ++c)
            PanelAccumulatePlain(sb[c + 1] - sb[c], off + sb[c], val + sb[c], panels[k], outs[k] + Z(c) * kLanes,
                                 b == 0);
      }
    }
  }

  // W's entries grouped by the block of the OTU that now stands in their
  // place, block by block and within a block community by community, each
  // community's entries in their order: the entries of community c in block
  // b are [seg_[b n + c], seg_[b n + c + 1]), with their place in a panel.
  void BlockEntries(int n, const int* perm) {
    const int s = in().nOTUs;
    // Per OTU, the group of its block and its place in a panel, once, not
    // per entry.
    for (int i = 0; i < s; ++i) {
      const int row = perm[i] - 1;
      otuGroup_[Z(i)] = (row / blockRows_) * n;
      otuOff_[Z(i)] = row * kLanes;
    }
    const int* ws = sh_.wStart.data();
    const int* wi = sh_.wIdx.data();
    const double* wv = sh_.wVal.data();
    std::fill(seg_.begin(), seg_.end(), 0);
    for (int c = 0; c < n; ++c)
      for (int t = ws[c]; t < ws[c + 1]; ++t) ++seg_[Z(otuGroup_[Z(wi[t])] + c + 1)];
    for (std::size_t k = 1; k < seg_.size(); ++k) seg_[k] += seg_[k - 1];
    next_.assign(seg_.begin(), seg_.end() - 1);
    for (int c = 0; c < n; ++c)
      for (int t = ws[c]; t < ws[c + 1]; ++t) {
        const int at = next_[Z(otuGroup_[Z(wi[t])] + c)]++;
        bOff_[Z(at)] = otuOff_[Z(wi[t])];
        bVal_[Z(at)] = wv[t];
      }
  }

  // Row i of G from its panels, from the panel holding column i + 1 on:
  // row[j] = G[i][j] for j > i.
  const double* GramRowOf(int i, int n) {
    double* row = gRow_.data();
    for (int q = (i + 1) / kLanes; q * kLanes < n; ++q) {
      const double* g = Gp_.Panel(q) + Z(i) * kLanes;
      std::copy(g, g + kLanes, row + Z(q) * kLanes);
    }
    return row;
  }

  // Half the Rao entropies of up to kLanes permutations into the lanes of qb_
  // (the lanes past count repeat the first permutation). Over the pairs of
  // OTUs present in each community, OTU by OTU so that the OTU's row of pair
  // differences of every lane stays in the cache: for each community holding
  // the OTU, its pairs with the OTUs after it in the community's list.
  void RaoBatch(int count, const IterationDraw* draws) {
    const int s = in().nOTUs;
    for (int l = 0; l < kLanes; ++l) {
      const int* perm = draws[l < count ? l : 0].perm;
      for (int j = 0; j < s; ++j) pb_[Z(j) * kLanes + Z(l)] = perm[j] - 1;
    }
    std::fill(qb_.begin(), qb_.end(), 0.0);
    // The gathers take 32-bit places in delta.
    const auto row = HasAvx512() && sh_.delta.size() < (std::size_t{1} << 31) ? RaoRowAvx512 : RaoRowPlain;
    static const auto tail = HasAvx512() ? RaoTailAvx512 : RaoTailPlain;
    const int* idx = sh_.aIdx.data();
    const double* val = sh_.aVal.data();
    double* buf = buf_.Panel(0);
    for (int i = 0; i < s; ++i) {
      row(i, s, pb_.data(), sh_.delta.data(), buf);
      for (int t = sh_.byOtuStart[Z(i)]; t < sh_.byOtuStart[Z(i) + 1]; ++t) {
        const int c = sh_.byOtuComm[Z(t)], g = sh_.byOtuPlace[Z(t)];
        const int cnt = sh_.aStart[Z(c) + 1] - g - 1;
        if (cnt > 0) tail(cnt, idx + g + 1, val + g + 1, buf, val[g], qb_.data() + Z(c) * kLanes);
      }
    }
  }

  const PermTest_FunctionalPhyl_Correl_Input& in() const { return *sh_.in; }

  const Packed* Find(const double* const* D) const {
    for (const Packed& p : packs_)
      if (p.D == D) return p.ok ? &p : nullptr;
    return nullptr;
  }

  const FastMantelShared& sh_;
  int nPanels_ = 0, richnessSlope_ = 1;
  bool full_ = false;  // the null resemblance matrices are needed whole
  std::vector<Packed> packs_;
  MantelFunction mantelFn_;
  // The Mantel statistics the correlations ask for (their matrices), and per
  // permutation their packed values (null when not packed) and dot products.
  std::vector<const double*const*> callA_, callB_;
  std::vector<const double*> callX_, callY_, liveX_, liveY_;
  std::vector<double> dots_, liveDots_;
  FunctionalPhyl_Stats_Lib_Input nul_;
  // A pass of the Gram products reads kGroup panels at once: four panels
  // share the reading of each entry's place and weight and still leave
  // registers for the sums (eight would not). The first-level cache (32 to
  // 48 kB) holds the block of the group with room to spare for the entries
  // and sums streaming past it.
  static constexpr std::size_t kBlockBytes = 32 * 1024;
  static constexpr int kGroup = 4;
  int nBlocks_ = 1, blockRows_ = 1;
  std::vector<int> seg_, next_, bOff_, otuGroup_, otuOff_;
  std::vector<double> bVal_, gRow_;
  Panels Hp_, Gp_;  // H and G by panels of kLanes columns
  Matrix<double> xRow_;      // rows of X formed for the exact distances
  std::vector<int> xDone_;   // per community: its row of xRow_ is formed
  std::vector<int> nearJ_;   // the communities close to the one at hand
  Panels Ht_;
  std::vector<double> diag_, yProj_, qb_, tt_, tz_;
  std::vector<int> offA_, pb_;
  Panels buf_;  // one row of the Rao pair differences, kLanes per pair
  std::array<double, kNumFunctionalStats> r_{};
};

}  // namespace

bool FastMantelApplies(const PermTest_FunctionalPhyl_Correl_Input& in) {
  const int n = in.ncsm, s = in.nOTUs;
  if (in.opt_ro != kModeMantel || (in.opt_MatrixCorr != 'm' && in.opt_MatrixCorr != 'r')) return false;
  if (in.optTaxaSiteShuffle == 's' || in.doBootstrapOpt || in.includePhylogeny || in.printIntermediate) return false;
  // The Rao entropies are taken from Wadj's communities.
  if (in.Wrao && in.Wrao != in.Wadj) return false;
  if (TranslateReseOpt_KALIOS_PLOVEN(in.rese_opt) != 3 || in.rese_opt < 1) return false;
  if (n < 1 || s < 1) return false;
  if (AnyMissing(n, s, in.W) || AnyMissing(n, s, in.Wadj) || AnyMissing(s, in.nch, in.B) ||
      AnyMissing(s, in.nTypes, in.U) || AnyMissing(s, s, in.Sb))
    return false;
  for (int i = 0; i < s; ++i) {
    if (in.weight_OTUs && in.weight_OTUs[i] != 1) return false;
    for (int j = i + 1; j < s; ++j)
      if (in.Sb[i][j] != in.Sb[j][i]) return false;
  }
  for (int c = 0; c < n; ++c) {
    bool w = false, a = false;
    for (int i = 0; i < s; ++i) {
      w = w || in.W[c][i] != 0.0;
      a = a || in.Wadj[c][i] != 0.0;
    }
    if (!w || !a) return false;
  }
  return true;
}

FastMantelShared::FastMantelShared(const PermTest_FunctionalPhyl_Correl_Input& input,
                                   const FunctionalPhyl_Stats_Lib_Input& observed, bool separate)
    : in(&input), obs(&observed), separateCov(separate) {
  const int n = input.ncsm, s = input.nOTUs, k = input.nTypes;
  // K = Uc Uc' in panels of its columns, from Uc' in panels of its columns:
  // K[a][panel p] = sum over t of Uc[a][t] Uc'[t][panel p]. With x_c = W_c U
  // and y_c = W_c Uc = x_c - w_c ubar (w_c the community's total), x_i - x_j
  // = y_i - y_j + (w_i - w_j) ubar: the distances come from the Gram matrix of
  // the y's and two small corrections. Rows of X sum hundreds of fuzzy
  // belongings and lie close together far from the origin; their own Gram
  // matrix would lose most digits of their distances in g_ii + g_jj - 2 g_ij.
  std::vector<double> ubar(Z(k), 0.0);
  for (int a = 0; a < s; ++a)
    for (int t = 0; t < k; ++t) ubar[Z(t)] += input.U[a][t];
  for (int t = 0; t < k; ++t) ubar[Z(t)] /= s;
  Matrix<double> Uc(s, k);
  uProj.assign(Z(s), 0.0);
  for (int a = 0; a < s; ++a)
    for (int t = 0; t < k; ++t) {
      Uc[a][t] = input.U[a][t] - ubar[Z(t)];
      uProj[Z(a)] += ubar[Z(t)] * Uc[a][t];
    }
  for (int t = 0; t < k; ++t) ubar2 += ubar[Z(t)] * ubar[Z(t)];
  Panels Ut;
  Ut.Resize(k, s);
  for (int t = 0; t < k; ++t)
    for (int b = 0; b < s; ++b) Ut.Panel(b / kLanes)[Z(t) * kLanes + Z(b % kLanes)] = Uc[b][t];
  std::vector<int> dense(Z(k));
  for (int t = 0; t < k; ++t) dense[Z(t)] = t * kLanes;
  Kp.Resize(s, s);
  for (int p = 0; p < Kp.panels; ++p)
    for (int a = 0; a < s; ++a) PanelCombine(k, dense.data(), Uc[a], Ut.Panel(p), Kp.Panel(p) + Z(a) * kLanes);
  Bp.Resize(s, input.nch);
  for (int a = 0; a < s; ++a)
    for (int j = 0; j < input.nch; ++j) Bp.Panel(j / kLanes)[Z(a) * kLanes + Z(j % kLanes)] = input.B[a][j];
  delta.assign(Z(s) * Z(s), 0.0);
  for (int a = 0; a < s; ++a)
    for (int b = a + 1; b < s; ++b) {
      double d = 1.0 - input.Sb[a][b];
      if (input.sqrtDissimOpt_RaoTraits) d = d > 0.0 ? std::sqrt(d) : 0.0;
      delta[Z(a) * Z(s) + Z(b)] = delta[Z(b) * Z(s) + Z(a)] = d;
    }
  Sparse(n, s, input.W, wStart, wIdx, wVal);
  Sparse(n, s, input.Wadj, aStart, aIdx, aVal);
  wSum.assign(Z(n), 0.0);
  for (int c = 0; c < n; ++c) {
    for (int t = wStart[Z(c)]; t < wStart[Z(c) + 1]; ++t) wSum[Z(c)] += wVal[Z(t)];
    equalSums = equalSums && wSum[Z(c)] == wSum[0];
  }
  // The communities holding each OTU, with the OTU's place in their lists.
  byOtuStart.assign(Z(s) + 1, 0);
  for (int i : aIdx) ++byOtuStart[Z(i) + 1];
  for (int i = 0; i < s; ++i) byOtuStart[Z(i) + 1] += byOtuStart[Z(i)];
  byOtuComm.resize(aIdx.size());
  byOtuPlace.resize(aIdx.size());
  std::vector<int> next(byOtuStart.begin(), byOtuStart.end() - 1);
  for (int c = 0; c < n; ++c)
    for (int g = aStart[Z(c)]; g < aStart[Z(c) + 1]; ++g) {
      const int at = next[Z(aIdx[Z(g)])]++;
      byOtuComm[Z(at)] = c;
      byOtuPlace[Z(at)] = g;
    }
  // The nearest neighbours of each community on E (all of them when tied),
  // as the NNCRD finds them.
  nnStart.assign(Z(n) + 1, 0);
  nnIdx.clear();
  for (int i = 0; i < n; ++i) {
    int nearest = -1;
    for (int j = 0; j < n; ++j) {
      if (j == i || input.DE[i][j] == kMissingValue) continue;
      if (nearest < 0 || input.DE[i][j] < input.DE[i][nearest]) nearest = j;
    }
    if (nearest >= 0)
      for (int j = 0; j < n; ++j)
        if (j != i && input.DE[i][j] == input.DE[i][nearest]) nnIdx.push_back(j);
    nnStart[Z(i) + 1] = static_cast<int>(nnIdx.size());
  }
}

std::unique_ptr<NullWorker> MakeFastMantelWorker(const FastMantelShared& shared) {
  return std::make_unique<FastMantelWorker>(shared);
}

}  // namespace kalios
