#include "testing/permtest_fastmantel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "measures/resemblance.h"
#include "numlib/sparse_rows.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "testing/fastmantel_kernels.h"
#include "testing/matrix_correlation.h"
#include "testing/permtest_nullmodels.h"
#include "testing/regression.h"

namespace kalios {
namespace {

using namespace fastmantel;
using Panels = PanelMatrix;

bool AnyMissing(int r, int c, const double* const* m) {
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      if (m[i][j] == kMissingValue) return true;
  return false;
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
    tz_.Resize(1, in.nch);
    offA_.resize(sh.aIdx.size());
    pb_.resize(Z(s) * kLanes);
    buf_.Resize(s, kLanes);
    qb_.resize(Z(n) * kLanes);
    full_ = in.opt_MatrixCorr != 'm';
    if (!full_) {
      // The null DT, DX, DR, DV; the fixed matrices are packed once for all
      // workers. A fixed matrix with pairs left out goes to the general
      // statistic, which reads the whole null matrices.
      packs_.resize(4);
      full_ = sh.fixedIncomplete;
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
    const double* ps[kGroup];
    double* os[kGroup];
    for (int c = 0; c < n; ++c) {
      double* z = nul_.T[c];
      std::fill(z, z + nul_.T.cols(), 0.0);
      for (int p = 0; p < sh_.Bp.panels; p += kGroup) {
        const int cnt = std::min(kGroup, sh_.Bp.panels - p);
        for (int k = 0; k < cnt; ++k) {
          ps[k] = sh_.Bp.Panel(p + k);
          os[k] = tz_.Panel(p + k);
        }
        PanelAccumulate(cnt, 1, as + c, offA_.data(), av, ps, os, true);
      }
      const double* t = tz_.Panel(0);
      for (int j = 0; j < nch; ++j) z[j] = in.chSelect && in.chSelect[j] != 1 ? 0.0 : t[j];
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
        callX_[k] = pa && pb ? pa : nullptr;
        callY_[k] = pa && pb ? pb : nullptr;
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
      PanelAccumulate(count, rows, sb, off, val, panels, outs, b == 0);
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
    const RaoRowFn row = RaoRowKernel(sh_.delta.size() < (std::size_t{1} << 31));
    static const RaoTailFn tail = RaoTailKernel();
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
    for (const Packed& p : sh_.fixed)
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
  std::vector<const Packed*> callX_, callY_, liveX_, liveY_;
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
  std::vector<double> diag_, yProj_, qb_, tt_;
  Panels tz_;  // one community's T, by panels
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
  const int whole[2] = {0, k};
  const double* ps[4];
  double* os[4];
  for (int p = 0; p < Kp.panels; p += 4) {
    const int cnt = std::min(4, Kp.panels - p);
    for (int q = 0; q < cnt; ++q) ps[q] = Ut.Panel(p + q);
    for (int a = 0; a < s; ++a) {
      for (int q = 0; q < cnt; ++q) os[q] = Kp.Panel(p + q) + Z(a) * kLanes;
      PanelAccumulate(cnt, 1, whole, dense.data(), Uc[a], ps, os, true);
    }
  }
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
  SparseRows rows;
  rows.From(n, s, input.W);
  wStart = std::move(rows.start);
  wIdx = std::move(rows.idx);
  wVal = std::move(rows.val);
  rows.From(n, s, input.Wadj);
  aStart = std::move(rows.start);
  aIdx = std::move(rows.idx);
  aVal = std::move(rows.val);
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
  // The fixed matrices of the Mantel statistics, packed once: at thousands of
  // communities each is tens of megabytes, which every worker would
  // otherwise pack and hold again.
  if (input.opt_MatrixCorr == 'm') {
    using CD = const double* const*;
    std::vector<CD> fixedD;
    for (CD D : std::initializer_list<CD>{input.DE, input.DY, observed.DT, observed.DX, observed.DR, observed.DV})
      if (D != nullptr) fixedD.push_back(D);
    fixed.resize(fixedD.size());
#pragma omp parallel for schedule(dynamic, 1)
    for (std::size_t f = 0; f < fixedD.size(); ++f) Pack(n, fixedD[f], fixed[f]);
    for (const Packed& p : fixed) fixedIncomplete = fixedIncomplete || !p.ok;
  }
}

std::unique_ptr<NullWorker> MakeFastMantelWorker(const FastMantelShared& shared) {
  return std::make_unique<FastMantelWorker>(shared);
}

}  // namespace kalios
