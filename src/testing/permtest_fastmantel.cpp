#include "testing/permtest_fastmantel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <immintrin.h>

#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "testing/matrix_correlation.h"
#include "testing/permtest_nullmodels.h"
#include "testing/regression.h"

namespace kalios {
namespace {

constexpr double kMissingValue = -999.0;
constexpr int kKernelWidth = 32;  // results per block of the combination kernel
constexpr int kPanel = 64;        // columns combined for every community in turn

bool AnyMissing(int r, int c, const double* const* m) {
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      if (m[i][j] == kMissingValue) return true;
  return false;
}

// out[from .. len) = sum over t of vals[t] * M[rows[t]][from .. len), the
// terms added in the order of t for every element; from and len are whole
// multiples of kKernelWidth. A block of results stays in registers while the
// rows stream past. The processor's widest vectors with fused multiply-adds
// are used when it has them (the result then differs in the last bits from
// the plain form, but never with the number of threads).
typedef double V4 __attribute__((vector_size(32)));

void CombinePlain(int cnt, const int* rows, const double* vals, const double* const* M, int from, int len,
                  double* __restrict out) {
  for (int j0 = from; j0 < len; j0 += 32) {
    V4 a[8] = {};
    for (int t = 0; t < cnt; ++t) {
      const double v = vals[t];
      const V4 vv = {v, v, v, v};
      const double* r = M[rows[t]] + j0;
      for (int q = 0; q < 8; ++q) {
        V4 x;
        __builtin_memcpy(&x, r + 4 * q, sizeof x);
        a[q] += vv * x;
      }
    }
    __builtin_memcpy(out + j0, a, sizeof a);
  }
}

__attribute__((target("avx2,fma"))) void CombineAvx2(int cnt, const int* rows, const double* vals,
                                                      const double* const* M, int from, int len,
                                                      double* __restrict out) {
  for (int j0 = from; j0 < len; j0 += 32) {
    __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    for (int t = 0; t < cnt; ++t) {
      const __m256d v = _mm256_set1_pd(vals[t]);
      const double* r = M[rows[t]] + j0;
      a0 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r), a0);
      a1 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r + 4), a1);
      a2 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r + 8), a2);
      a3 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r + 12), a3);
      a4 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r + 16), a4);
      a5 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r + 20), a5);
      a6 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r + 24), a6);
      a7 = _mm256_fmadd_pd(v, _mm256_loadu_pd(r + 28), a7);
    }
    _mm256_storeu_pd(out + j0, a0);
    _mm256_storeu_pd(out + j0 + 4, a1);
    _mm256_storeu_pd(out + j0 + 8, a2);
    _mm256_storeu_pd(out + j0 + 12, a3);
    _mm256_storeu_pd(out + j0 + 16, a4);
    _mm256_storeu_pd(out + j0 + 20, a5);
    _mm256_storeu_pd(out + j0 + 24, a6);
    _mm256_storeu_pd(out + j0 + 28, a7);
  }
}

__attribute__((target("avx512f"))) void CombineAvx512(int cnt, const int* rows, const double* vals,
                                                       const double* const* M, int from, int len,
                                                       double* __restrict out) {
  int j0 = from;
  for (; j0 + 64 <= len; j0 += 64) {
    __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    for (int t = 0; t < cnt; ++t) {
      const __m512d v = _mm512_set1_pd(vals[t]);
      const double* r = M[rows[t]] + j0;
      a0 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r), a0);
      a1 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 8), a1);
      a2 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 16), a2);
      a3 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 24), a3);
      a4 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 32), a4);
      a5 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 40), a5);
      a6 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 48), a6);
      a7 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 56), a7);
    }
    _mm512_storeu_pd(out + j0, a0);
    _mm512_storeu_pd(out + j0 + 8, a1);
    _mm512_storeu_pd(out + j0 + 16, a2);
    _mm512_storeu_pd(out + j0 + 24, a3);
    _mm512_storeu_pd(out + j0 + 32, a4);
    _mm512_storeu_pd(out + j0 + 40, a5);
    _mm512_storeu_pd(out + j0 + 48, a6);
    _mm512_storeu_pd(out + j0 + 56, a7);
  }
  for (; j0 < len; j0 += 32) {
    __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
    for (int t = 0; t < cnt; ++t) {
      const __m512d v = _mm512_set1_pd(vals[t]);
      const double* r = M[rows[t]] + j0;
      a0 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r), a0);
      a1 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 8), a1);
      a2 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 16), a2);
      a3 = _mm512_fmadd_pd(v, _mm512_loadu_pd(r + 24), a3);
    }
    _mm512_storeu_pd(out + j0, a0);
    _mm512_storeu_pd(out + j0 + 8, a1);
    _mm512_storeu_pd(out + j0 + 16, a2);
    _mm512_storeu_pd(out + j0 + 24, a3);
  }
}

// Sum over k < cnt of row[idx[k]] * w[k]: the Rao entropy's pair sums.
double GatherDotPlain(const double* row, const int* idx, const double* w, int cnt) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int v = 0;
  for (; v + 4 <= cnt; v += 4) {
    s0 += row[idx[v]] * w[v];
    s1 += row[idx[v + 1]] * w[v + 1];
    s2 += row[idx[v + 2]] * w[v + 2];
    s3 += row[idx[v + 3]] * w[v + 3];
  }
  for (; v < cnt; ++v) s0 += row[idx[v]] * w[v];
  return (s0 + s1) + (s2 + s3);
}

__attribute__((target("avx512f"))) double GatherDotAvx512(const double* row, const int* idx, const double* w,
                                                           int cnt) {
  __m512d a0 = _mm512_setzero_pd(), a1 = a0;
  int v = 0;
  for (; v + 16 <= cnt; v += 16) {
    const __m256i i0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx + v));
    const __m256i i1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx + v + 8));
    const __m512d zero = _mm512_setzero_pd();
    a0 = _mm512_fmadd_pd(_mm512_mask_i32gather_pd(zero, 0xFF, i0, row, 8), _mm512_loadu_pd(w + v), a0);
    a1 = _mm512_fmadd_pd(_mm512_mask_i32gather_pd(zero, 0xFF, i1, row, 8), _mm512_loadu_pd(w + v + 8), a1);
  }
  double lanes[8];
  _mm512_storeu_pd(lanes, _mm512_add_pd(a0, a1));
  double s = ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
  for (; v < cnt; ++v) s += row[idx[v]] * w[v];
  return s;
}

using GatherDotFn = double (*)(const double*, const int*, const double*, int);

double GatherDot(const double* row, const int* idx, const double* w, int cnt) {
  static const GatherDotFn fn = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") ? GatherDotAvx512 : GatherDotPlain;
  }();
  return fn(row, idx, w, cnt);
}

using CombineFn = void (*)(int, const int*, const double*, const double* const*, int, int, double*);

CombineFn ChooseCombine() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return CombineAvx512;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return CombineAvx2;
  return CombinePlain;
}

void SparseCombination(int cnt, const int* rows, const double* vals, const double* const* M, int from, int len,
                       double* __restrict out) {
  static const CombineFn fn = ChooseCombine();
  fn(cnt, rows, vals, M, from, len, out);
}

// The strict upper triangle of a resemblance matrix, row by row, centred as
// the Mantel statistic centres it, with its sum of squares: the statistic of
// two packed matrices is then one dot product, with the same operations in the
// same order as the statistic itself computes.
struct Packed {
  const double* const* D = nullptr;
  std::vector<double> c;
  double ss = 0.0, raw = 0.0;
  bool ok = false;
};

// Centres the upper triangle already in p.c (row by row).
void Centre(Packed& p) {
  p.ok = false;
  const std::size_t m = p.c.size();
  if (m == 0) return;
  const double a0 = p.c[0];
  double sa = 0.0, raw = 0.0;
  for (std::size_t k = 0; k < m; ++k) {
    const double v = p.c[k];
    if (v == kMissingValue) return;  // pairs left out: the general statistic decides
    sa += v - a0;
    raw += v * v;
  }
  const double ma = sa / static_cast<double>(m);
  double ss = 0.0;
  for (std::size_t k = 0; k < m; ++k) {
    const double a = p.c[k] - a0 - ma;
    p.c[k] = a;
    ss += a * a;
  }
  p.ss = ss;
  p.raw = raw;
  p.ok = true;
}

void Pack(int n, const double* const* D, Packed& p) {
  p.D = D;
  p.c.resize(n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
  std::size_t k = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) p.c[k++] = D[i][j];
  Centre(p);
}

// The absolute differences of the n values of v, packed as their resemblance
// matrix would be.
void PackAbsDifferences(int n, const double* const* col, const double* const* id, Packed& p) {
  p.D = id;
  p.c.resize(n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
  std::size_t k = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) p.c[k++] = std::fabs(col[i][0] - col[j][0]);
  Centre(p);
}

// Euclidean distances between the rows of x (p columns), packed.
void PackEuclidean(int n, int p, const double* const* x, const double* const* id, Packed& out) {
  out.D = id;
  out.c.resize(n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
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
  Centre(out);
}

double PackedMantel(const Packed& a, const Packed& b) {
  double sxy = 0.0;
  const std::size_t m = a.c.size();
  const double* x = a.c.data();
  const double* y = b.c.data();
  for (std::size_t k = 0; k < m; ++k) sxy += x[k] * y[k];
  constexpr double kNoise = 1e-20;
  if (!(a.ss > kNoise * a.raw) || !(b.ss > kNoise * b.raw)) return 0.0;
  const double r = sxy / std::sqrt(a.ss * b.ss);
  return std::isfinite(r) ? r : 0.0;
}

int RoundUp(int len) { return (len + kKernelWidth - 1) / kKernelWidth * kKernelWidth; }

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
    // Rows padded with zeros to whole blocks of the combination kernel.
    sPad_ = RoundUp(s);
    nPad_ = RoundUp(n);
    H_.Resize(n, sPad_);
    Ht_.Resize(s, nPad_);
    G_.Resize(n, nPad_);
    rows_.resize(sh.wIdx.size());
    prop_.resize(static_cast<std::size_t>(s));
    place_.resize(static_cast<std::size_t>(s));
    if (in.opt_MatrixCorr == 'm') {
      // Slots 0-3 the null DT, DX, DR, DV; then the fixed matrices.
      packs_.resize(4);
      using CD = const double* const*;
      for (CD D : std::initializer_list<CD>{in.DE, in.DY, sh.obs->DT, sh.obs->DX, sh.obs->DR, sh.obs->DV}) {
        if (D == nullptr) continue;
        packs_.emplace_back();
        Pack(n, D, packs_.back());
      }
      mantelFn_ = [this, n](const double* const* A, const double* const* B) {
        const Packed* pa = Find(A);
        const Packed* pb = Find(B);
        if (pa && pb) return PackedMantel(*pa, *pb);
        return MatrixCorr(n, A, B);
      };
    }
    for (int c = 0; c < n; ++c) {
      int rich = 0;
      if (in.richness) {
        rich = in.richness[c];
      } else {
        for (int i = 0; i < s; ++i) rich += in.W[c][i] > 0.0;
      }
      nul_.richnessCol[c][0] = rich;
    }
  }

  void Evaluate(const IterationDraw& d, double* values, double*, std::ostream*) override {
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh_.in;
    const int n = in.ncsm, s = in.nOTUs, nch = in.nch;
    const int* perm = d.perm;

    // T: each community's mean traits over the OTUs that now stand in its
    // places, in ascending order of the places as the general product sums.
    for (int c = 0; c < n; ++c) {
      double* z = nul_.T[c];
      std::fill(z, z + nul_.T.cols(), 0.0);
      for (int t = sh_.aStart[static_cast<std::size_t>(c)]; t < sh_.aStart[static_cast<std::size_t>(c) + 1]; ++t) {
        const double a = sh_.aVal[static_cast<std::size_t>(t)];
        const double* b = in.B[perm[sh_.aIdx[static_cast<std::size_t>(t)]] - 1];
        for (int j = 0; j < nch; ++j) z[j] += a * b[j];
      }
      if (in.chSelect)
        for (int j = 0; j < nch; ++j)
          if (in.chSelect[j] != 1) z[j] = 0.0;
    }
    NormalizeColsMV(n, nch, nul_.T, nul_.T);
    // The resemblances that only enter Mantel statistics are packed directly.
    if (mantelFn_)
      PackEuclidean(n, nch, nul_.T, nul_.DT, packs_[0]);
    else
      ResemblanceLib(n, nch, nul_.T, nul_.DT, 1, nul_.reseCodeT, nullptr, 0.0, 0.0, 1, false);

    // Distances of X from G = W_p K W_p': H = W_p K row by row, then G from
    // the transpose of H, the lower triangle only.
    for (std::size_t t = 0; t < rows_.size(); ++t) rows_[t] = perm[sh_.wIdx[t]] - 1;
    // Panels of columns, so that the rows of K and of H' being combined stay
    // in the processor's cache while every community passes.
    for (int j0 = 0; j0 < sPad_; j0 += kPanel)
      for (int c = 0; c < n; ++c) {
        const int b = sh_.wStart[static_cast<std::size_t>(c)], e = sh_.wStart[static_cast<std::size_t>(c) + 1];
        SparseCombination(e - b, rows_.data() + b, sh_.wVal.data() + b, sh_.K, j0, std::min(sPad_, j0 + kPanel),
                          H_[c]);
      }
    for (int i0 = 0; i0 < n; i0 += 32)
      for (int k = 0; k < s; ++k)
        for (int i = i0; i < std::min(n, i0 + 32); ++i) Ht_[k][i] = H_[i][k];
    for (int j0 = 0; j0 < nPad_; j0 += kPanel)
      for (int c = 0; c < n; ++c) {
        const int len = std::min(RoundUp(c + 1), j0 + kPanel);
        if (len <= j0) continue;
        const int b = sh_.wStart[static_cast<std::size_t>(c)], e = sh_.wStart[static_cast<std::size_t>(c) + 1];
        SparseCombination(e - b, rows_.data() + b, sh_.wVal.data() + b, Ht_, j0, len, G_[c]);
      }
    for (int a = 0; a < n; ++a) {
      nul_.DX[a][a] = 0.0;
      for (int b = 0; b < a; ++b) {
        const double d2 = G_[a][a] + G_[b][b] - 2.0 * G_[a][b];
        nul_.DX[a][b] = nul_.DX[b][a] = d2 > 0.0 ? std::sqrt(d2) : 0.0;
      }
    }

    // Rao entropy over the pairs of OTUs present in each community.
    for (int c = 0; c < n; ++c) {
      const int b = sh_.aStart[static_cast<std::size_t>(c)], e = sh_.aStart[static_cast<std::size_t>(c) + 1];
      const int cnt = e - b;
      for (int u = 0; u < cnt; ++u) {
        place_[static_cast<std::size_t>(u)] = perm[sh_.aIdx[static_cast<std::size_t>(b + u)]] - 1;
        prop_[static_cast<std::size_t>(u)] = sh_.aVal[static_cast<std::size_t>(b + u)];
      }
      // Per OTU the sum over the OTUs after it, in independent partial sums
      // (one running sum would wait on every addition).
      const int* pl = place_.data();
      const double* pr = prop_.data();
      double q = 0.0;
      for (int u = 0; u + 1 < cnt; ++u)
        q += pr[u] * GatherDot(sh_.delta[pl[u]], pl + u + 1, pr + u + 1, cnt - u - 1);
      const double r = 2.0 * q;
      nul_.R[static_cast<std::size_t>(c)] = r;
      nul_.Rcol[c][0] = nul_.Rrow[0][c] = r;
    }

    // NNCRD of X referenced on E, then its residuals on OTU richness.
    NNCRD(n, in.DE, nul_.DX, nul_.nncrd.data());
    for (int c = 0; c < n; ++c) nul_.Vcol[c][0] = nul_.nncrd[static_cast<std::size_t>(c)];
    Regression_ResidualsSelect(n, 1, 1, nul_.Vcol, nul_.richnessCol, nul_.residualCol, nullptr);
    for (int c = 0; c < n; ++c) nul_.Vcol[c][0] = nul_.Vrow[0][c] = nul_.residualCol[c][0];
    if (mantelFn_) {
      Pack(n, nul_.DX, packs_[1]);
      PackAbsDifferences(n, nul_.Rcol, nul_.DR, packs_[2]);
      PackAbsDifferences(n, nul_.Vcol, nul_.DV, packs_[3]);
    } else {
      ResemblanceLib(n, 1, nul_.Rcol, nul_.DR, 1, 2, nullptr, 0.0, 0.0, 1, false);
      ResemblanceLib(n, 1, nul_.Vcol, nul_.DV, 1, 2, nullptr, 0.0, 0.0, 1, false);
    }
    NullCorrelations(in, nul_, sh_.separateCov ? *sh_.obs : nul_, sh_.separateCov, 0.0, r_,
                     mantelFn_ ? &mantelFn_ : nullptr);
    StoreNullValues(r_, 0, values);
  }

 private:
  const Packed* Find(const double* const* D) const {
    for (const Packed& p : packs_)
      if (p.D == D) return p.ok ? &p : nullptr;
    return nullptr;
  }

  const FastMantelShared& sh_;
  int sPad_ = 0, nPad_ = 0;
  std::vector<Packed> packs_;
  MantelFunction mantelFn_;
  FunctionalPhyl_Stats_Lib_Input nul_;
  Matrix<double> H_, Ht_, G_;
  std::vector<int> rows_, place_;
  std::vector<double> prop_;
  std::array<double, kNumFunctionalStats> r_{};
};

}  // namespace

bool FastMantelApplies(const PermTest_FunctionalPhyl_Correl_Input& in) {
  const int n = in.ncsm, s = in.nOTUs;
  if (in.opt_ro != kModeMantel || (in.opt_MatrixCorr != 'm' && in.opt_MatrixCorr != 'r')) return false;
  if (in.optTaxaSiteShuffle == 's' || in.doBootstrapOpt || in.includePhylogeny || in.printIntermediate) return false;
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
  const int s = input.nOTUs, k = input.nTypes;
  K.Resize(s, RoundUp(s));
  for (int a = 0; a < s; ++a)
    for (int b = a; b < s; ++b) {
      double g = 0.0;
      for (int t = 0; t < k; ++t) g += input.U[a][t] * input.U[b][t];
      K[a][b] = K[b][a] = g;
    }
  delta.Resize(s, s);
  for (int a = 0; a < s; ++a)
    for (int b = a + 1; b < s; ++b) {
      double d = 1.0 - input.Sb[a][b];
      if (input.sqrtDissimOpt_RaoTraits) d = d > 0.0 ? std::sqrt(d) : 0.0;
      delta[a][b] = delta[b][a] = d;
    }
  Sparse(input.ncsm, s, input.W, wStart, wIdx, wVal);
  Sparse(input.ncsm, s, input.Wadj, aStart, aIdx, aVal);
}

std::unique_ptr<NullWorker> MakeFastMantelWorker(const FastMantelShared& shared) {
  return std::make_unique<FastMantelWorker>(shared);
}

}  // namespace kalios
