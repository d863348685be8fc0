#include "testing/permtest_fastmantel.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "testing/permtest_nullmodels.h"
#include "testing/regression.h"

namespace kalios {
namespace {

constexpr double kMissingValue = -999.0;
constexpr int kBlock = 64;

bool AnyMissing(int r, int c, const double* const* m) {
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j)
      if (m[i][j] == kMissingValue) return true;
  return false;
}

// out[0 .. len) = sum over t of vals[t] * M[rows[t]][0 .. len), the terms
// added in the order of t for every element. A block of the result stays in
// registers while the rows stream past; the vector and scalar clones perform
// the same operations on each element, so they give the same bits.
__attribute__((target_clones("arch=x86-64-v3", "default"))) void SparseCombination(
    int cnt, const int* rows, const double* vals, const double* const* M, int len, double* __restrict out) {
  int j0 = 0;
  for (; j0 + kBlock <= len; j0 += kBlock) {
    double acc[kBlock] = {};
    for (int t = 0; t < cnt; ++t) {
      const double v = vals[t];
      const double* __restrict r = M[rows[t]] + j0;
      for (int j = 0; j < kBlock; ++j) acc[j] += v * r[j];
    }
    for (int j = 0; j < kBlock; ++j) out[j0 + j] = acc[j];
  }
  if (j0 < len) {
    const int rest = len - j0;
    double acc[kBlock] = {};
    for (int t = 0; t < cnt; ++t) {
      const double v = vals[t];
      const double* __restrict r = M[rows[t]] + j0;
      for (int j = 0; j < rest; ++j) acc[j] += v * r[j];
    }
    for (int j = 0; j < rest; ++j) out[j0 + j] = acc[j];
  }
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
    H_.Resize(n, s);
    Ht_.Resize(s, n);
    G_.Resize(n, n);
    rows_.resize(sh.wIdx.size());
    prop_.resize(static_cast<std::size_t>(s));
    place_.resize(static_cast<std::size_t>(s));
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
    ResemblanceLib(n, nch, nul_.T, nul_.DT, 1, nul_.reseCodeT, nullptr, 0.0, 0.0, 1, false);

    // Distances of X from G = W_p K W_p': H = W_p K row by row, then G from
    // the transpose of H, the lower triangle only.
    for (std::size_t t = 0; t < rows_.size(); ++t) rows_[t] = perm[sh_.wIdx[t]] - 1;
    for (int c = 0; c < n; ++c) {
      const int b = sh_.wStart[static_cast<std::size_t>(c)], e = sh_.wStart[static_cast<std::size_t>(c) + 1];
      SparseCombination(e - b, rows_.data() + b, sh_.wVal.data() + b, sh_.K, s, H_[c]);
    }
    for (int i0 = 0; i0 < n; i0 += 32)
      for (int k = 0; k < s; ++k)
        for (int i = i0; i < std::min(n, i0 + 32); ++i) Ht_[k][i] = H_[i][k];
    for (int c = 0; c < n; ++c) {
      const int b = sh_.wStart[static_cast<std::size_t>(c)], e = sh_.wStart[static_cast<std::size_t>(c) + 1];
      SparseCombination(e - b, rows_.data() + b, sh_.wVal.data() + b, Ht_, c + 1, G_[c]);
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
    ResemblanceLib(n, 1, nul_.Rcol, nul_.DR, 1, 2, nullptr, 0.0, 0.0, 1, false);
    ResemblanceLib(n, 1, nul_.Vcol, nul_.DV, 1, 2, nullptr, 0.0, 0.0, 1, false);

    NullCorrelations(in, nul_, sh_.separateCov ? *sh_.obs : nul_, sh_.separateCov, 0.0, r_);
    StoreNullValues(r_, 0, values);
  }

 private:
  const FastMantelShared& sh_;
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
  K.Resize(s, s);
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
