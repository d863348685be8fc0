#include "testing/permtest_fastmantel.h"

#include <algorithm>
#include <array>
#include <cmath>

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

// out[from .. len) = sum over t of vals[t] * M[rows[t]][0 .. len), the terms
// added in the order of t for every element. A block of 32 results stays in
// registers while the rows stream past. Every element goes through the same
// multiplications and additions in the same order in each clone (no fused
// multiply-add), so the clones give the same bits.
typedef double V4 __attribute__((vector_size(32)));

__attribute__((target_clones("arch=x86-64-v3", "default"))) void SparseCombination(
    int cnt, const int* rows, const double* vals, const double* const* M, int from, int len, double* __restrict out) {
  constexpr int kWidth = kKernelWidth;
  int j0 = from;
  for (; j0 + kWidth <= len; j0 += kWidth) {
    V4 a0 = {}, a1 = {}, a2 = {}, a3 = {}, a4 = {}, a5 = {}, a6 = {}, a7 = {};
    for (int t = 0; t < cnt; ++t) {
      const double v = vals[t];
      const V4 vv = {v, v, v, v};
      const double* r = M[rows[t]] + j0;
      V4 x0;
      __builtin_memcpy(&x0, r, sizeof x0);
      a0 += vv * x0;
      V4 x1;
      __builtin_memcpy(&x1, r + 4, sizeof x1);
      a1 += vv * x1;
      V4 x2;
      __builtin_memcpy(&x2, r + 8, sizeof x2);
      a2 += vv * x2;
      V4 x3;
      __builtin_memcpy(&x3, r + 12, sizeof x3);
      a3 += vv * x3;
      V4 x4;
      __builtin_memcpy(&x4, r + 16, sizeof x4);
      a4 += vv * x4;
      V4 x5;
      __builtin_memcpy(&x5, r + 20, sizeof x5);
      a5 += vv * x5;
      V4 x6;
      __builtin_memcpy(&x6, r + 24, sizeof x6);
      a6 += vv * x6;
      V4 x7;
      __builtin_memcpy(&x7, r + 28, sizeof x7);
      a7 += vv * x7;
    }
    const V4 acc[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
    __builtin_memcpy(out + j0, acc, sizeof acc);
  }
  for (; j0 < len; ++j0) {
    double a = 0.0;
    for (int t = 0; t < cnt; ++t) a += vals[t] * M[rows[t]][j0];
    out[j0] = a;
  }
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
    order_.resize(static_cast<std::size_t>(s));
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
      // The OTUs in ascending order, so that each row of differences is read
      // forwards (the pairs and their terms do not change).
      for (int u = 0; u < cnt; ++u)
        order_[static_cast<std::size_t>(u)] = {perm[sh_.aIdx[static_cast<std::size_t>(b + u)]] - 1,
                                               sh_.aVal[static_cast<std::size_t>(b + u)]};
      std::sort(order_.begin(), order_.begin() + cnt,
                [](const std::pair<int, double>& x, const std::pair<int, double>& y) { return x.first < y.first; });
      for (int u = 0; u < cnt; ++u) {
        place_[static_cast<std::size_t>(u)] = order_[static_cast<std::size_t>(u)].first;
        prop_[static_cast<std::size_t>(u)] = order_[static_cast<std::size_t>(u)].second;
      }
      double q = 0.0;
      for (int u = 0; u < cnt; ++u) {
        const double pa = prop_[static_cast<std::size_t>(u)];
        const double* drow = sh_.delta[place_[static_cast<std::size_t>(u)]];
        for (int v = u + 1; v < cnt; ++v)
          q += drow[place_[static_cast<std::size_t>(v)]] * (pa * prop_[static_cast<std::size_t>(v)]);
      }
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
  std::vector<std::pair<int, double>> order_;
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
