#include "testing/permtest.h"

#include <algorithm>
#include <array>
#include <memory>
#include <sstream>

#include "numlib/print.h"
#include "shell/cformat.h"
#include "testing/functional_stats.h"
#include "testing/fixed_mantel.h"
#include "testing/permtest_fastmantel.h"
#include "testing/permtest_nullmodels.h"
#include "testing/permtest_summary.h"

namespace kalios {

const int kNullRowToA[kNumPermStats] = {kA_TE,   kA_XE,   kA_XE_T,  kA_XE_TR, kA_RE,   kA_BF,    kA_FE,   kA_PE,
                                        kA_PT,   kA_PX,   kA_PX_T,  kA_TE_P,  kA_XE_P, kA_XE_TP, kA_PE_T, kA_PE_X,
                                        kA_TY,   kA_XY,   kA_XY_T,  kA_XY_TR, kA_VE,   kA_RY,    kA_VY};
const int kNullRowTail[kNumObsStats] = {1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0,
                                        0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1};

const FunctionalStat kNullRowStat[kNumPermStats] = {
    kS_TE,   kS_XE,    kS_XE_T, kS_XE_TR, kS_RE, kS_BF,    kS_FE,   kS_PE,    kS_PT, kS_PX, kS_PX_T, kS_TE_P,
    kS_XE_P, kS_XE_TP, kS_PE_T, kS_PE_X,  kS_TY, kS_XY,    kS_XY_T, kS_XY_TR, kS_VE, kS_RY, kS_VY};

void StoreNullValues(const std::array<double, kNumFunctionalStats>& r, int nLinear, double* values) {
  for (int row = 0; row < kNumPermStats; ++row) values[row] = r[static_cast<std::size_t>(kNullRowStat[row])];
  values[kNumPermStats] = 0.0;
  double* extra = values + kNumObsStats + nLinear;
  for (int k = 0; k < kNumFunctionalStats; ++k) extra[k] = r[static_cast<std::size_t>(k)];
}

namespace {

constexpr int kDigits = 6;
constexpr int kTableRows = kNumObsStats;  // the last row is never filled
bool IsTaxaShuffle(const PermTest_FunctionalPhyl_Correl_Input& in) { return in.optTaxaSiteShuffle != 's'; }

// A record for the engine's own calls of the statistics: the same data and
// options, without the caller's result vectors and without printing.
PermTest_FunctionalPhyl_Correl_Input WorkingRecord(const PermTest_FunctionalPhyl_Correl_Input& in) {
  PermTest_FunctionalPhyl_Correl_Input r = in;
  r.rsqRegr = r.interceptRegr = r.probRsqRegr = nullptr;
  r.coefRegr = r.probCoefRegr = nullptr;
  r.pseudoF_X = r.pseudoF_T = r.pseudoF_P = r.pseudoF_R = r.pseudoF_Rphyl = nullptr;
  r.pseudoF_Traits = r.probPseudoF_Traits = nullptr;
  r.probPseudoF_X = r.probPseudoF_T = r.probPseudoF_P = r.probPseudoF_R = r.probPseudoF_Rphyl = nullptr;
  r.printIntermediate = false;
  r.rndDataFile = nullptr;
  return r;
}

// Everything the workers share, read only during the iterations.
struct Shared {
  const PermTest_FunctionalPhyl_Correl_Input* in = nullptr;
  FunctionalPhyl_Stats_Lib_Input obs;
  bool taxa = true;
  bool separateCov = false;
  int nLinear = 0;
};

class FunctionalNullWorker : public NullWorker {
 public:
  explicit FunctionalNullWorker(const Shared& sh) : sh_(sh) {
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh.in;
    const int n = in.ncsm, s = in.nOTUs;
    recBoot_ = WorkingRecord(in);
    recNull_ = WorkingRecord(in);
    if (in.doBootstrapOpt) {
      Wb_.Resize(n, s);
      Wadjb_.Resize(n, s);
      Yb_.Resize(n, s);
      Eb_.Resize(n, in.nEnv);
      DEb_.Resize(n, n);
      if (in.DY) DYb_.Resize(n, n);
      recBoot_.W = Wb_;
      recBoot_.Wadj = Wadjb_;
      recBoot_.Y = in.Y ? Yb_.ptr() : nullptr;
      recBoot_.E = Eb_;
      recBoot_.DE = DEb_;
      recBoot_.DY = in.DY ? DYb_.ptr() : nullptr;
      if (in.Wrao) {
        Wraob_.Resize(n, s);
        recBoot_.Wrao = Wraob_;
      }
      if (in.richness) {
        richB_.assign(static_cast<std::size_t>(n), 0);
        recBoot_.richness = richB_.data();
      }
      PrepareFunctionalPhylStats(recBoot_, bootSt_);
    }
    if (sh.taxa) {
      Bp_.Resize(s, in.nch);
      Up_.Resize(s, in.nTypes);
      Sbp_.Resize(s, s);
      recNull_.B = Bp_;
      recNull_.U = Up_;
      recNull_.Sb = Sbp_;
      if (in.includePhylogeny) {
        Qp_.Resize(s, in.nTaxa);
        Sfp_.Resize(s, s);
        recNull_.Q = Qp_;
        recNull_.Sf = Sfp_;
      }
    }
    PrepareFunctionalPhylStats(recNull_, nullSt_);
  }

  void Evaluate(const IterationDraw& d, double* values, double* bootValues, std::ostream* text) override {
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh_.in;
    const int n = in.ncsm, s = in.nOTUs;
    if (text) Print(*text, "\n\nITERATION\t%d\n", d.iteration);

    if (d.boot != nullptr) {
      // The iteration works on a bootstrap sample of the communities.
      GetData(n, n, s, nullptr, in.W, Wb_, d.boot, 0);
      GetData(n, n, s, nullptr, in.Wadj, Wadjb_, d.boot, 0);
      if (in.Wrao) GetData(n, n, s, nullptr, in.Wrao, Wraob_, d.boot, 0);
      if (in.Y) GetData(n, n, s, nullptr, in.Y, Yb_, d.boot, 0);
      GetData(n, n, in.nEnv, nullptr, in.E, Eb_, d.boot, 0);
      PermuteBoth(n, d.boot, in.DE, DEb_);
      if (in.DY) PermuteBoth(n, d.boot, in.DY, DYb_);
      // The NNCRD residuals are taken on the richness of the drawn communities.
      if (in.richness)
        for (int i = 0; i < n; ++i) richB_[static_cast<std::size_t>(i)] = in.richness[d.boot[i] - 1];
      recBoot_.printIntermediate = in.printIntermediate && text != nullptr;
      recBoot_.rndDataFile = text;
      FunctionalPhyl_Stats_Lib(&recBoot_, &bootSt_);
      for (int row = 0; row < kNumPermStats; ++row) bootValues[row] = bootSt_[kNullRowStat[row]];
      LinearModelValues(in, bootSt_, bootValues + kTableRows);
      // The sample gives the limits of the observed value only. The null
      // model stays on the observed communities: null values drawn from
      // samples with repeated communities are not comparable with the
      // observed value, and no P-value would keep its level.
    }

    double nullBF = 0;
    if (sh_.taxa) {
      PermuteRows(s, in.nch, d.perm, in.B, Bp_);
      PermuteRows(s, in.nTypes, d.perm, in.U, Up_);
      PermuteBoth(s, d.perm, in.Sb, Sbp_);
      if (in.includePhylogeny) {
        PermuteRows(s, in.nTaxa, d.perm, in.Q, Qp_);
        PermuteBoth(s, d.perm, in.Sf, Sfp_);
      }
      FunctionalPhyl_Stats_Lib(&recNull_, &nullSt_);
      nullBF = nullSt_[kS_BF];
      // Permuting both resemblances alike would leave r(BF) unchanged: the
      // null signal sets the permuted traits against the fixed phylogeny.
      if (in.includePhylogeny && in.opt_ro >= kModeMantel && in.opt_ro <= kModeRV)
        nullBF = PhylogeneticSignal(recNull_, nullSt_, Bp_, Sbp_, in.Sf);
    } else {
      PermuteSiteDescriptors(in, d.perm, sh_.obs, nullSt_);
      nullBF = sh_.obs[kS_BF];
      NullLinearModels(in, nullSt_);
    }
    if (sh_.taxa && !sh_.separateCov) {
      r_ = nullSt_.stat;  // the observed formulas on the null data
      r_[kS_BF] = nullBF;
    } else
      NullCorrelations(in, nullSt_, sh_.separateCov ? sh_.obs : nullSt_, sh_.separateCov, nullBF, r_);

    StoreNullValues(r_, sh_.nLinear, values);
    LinearModelValues(in, nullSt_, values + kTableRows);
    if (text) WriteMatrices(in, d, *text);
  }

  void Report(int iteration, const double* values, const PermutationTotals& totals, const std::string& evaluated,
              std::ostream& os) override {
    // The matrices of each section come before its line of null values and
    // running counts; Evaluate marks the places with kMark.
    const double* r = values + kTableRows + sh_.nLinear;
    auto cnt = [&](FunctionalStat st) {
      for (int row = 0; row < kNumPermStats; ++row)
        if (kNullRowStat[row] == st) return totals.count[static_cast<std::size_t>(row)];
      return 0.0;
    };
    std::size_t pos = 0;
    int section = 0;
    const PermTest_FunctionalPhyl_Correl_Input& in = *sh_.in;
    const bool corr = in.opt_ro >= kModeMantel && in.opt_ro <= kModeRV;
    while (pos <= evaluated.size()) {
      const std::size_t mark = evaluated.find(kMark, pos);
      os << evaluated.substr(pos, mark == std::string::npos ? std::string::npos : mark - pos);
      if (mark == std::string::npos) break;
      pos = mark + 1;
      const int it = iteration;
      if (!corr) {
        ++section;
        continue;
      }
      switch (section++) {
        case 0:
          Print(os, "\nIteration %d\tRandom ro(TE) =\t%g\tCummulative frequency for ro(TE)=%g\n", it, r[kS_TE],
                cnt(kS_TE));
          break;
        case 1:
          Print(os,
                "\nIteration %d\tRandom ro(XT) =\t%g\tRandom ro(XE) =\t%g\tRandom ro(XE.T) =\t%g\tCummulative "
                "frequency for ro(XE)=%g\tCummulative frequency for ro(XE.T)=%g\n",
                it, r[kS_XT], r[kS_XE], r[kS_XE_T], cnt(kS_XE), cnt(kS_XE_T));
          break;
        case 2:
          if (!in.includePhylogeny) break;
          Print(os,
                "\nIteration %d\tRandom values and cummulative frequencies for the following:\n ro(PE) =\t%g\t%g\n"
                "Random ro(PT) =\t%g\t%g\nRandom ro(PX) =\t%g\t%g\nRandom ro(PX.T) =\t%g\t%g\nRandom ro(TE.P) "
                "=\t%g\t%g\nRandom ro(XE.P) =\t%g\t%g\nRandom ro(XE.TP) =\t%g\t%g\nRandom ro(PE.T) =\t%g\t%g\n"
                "Random ro(PE.X) =\t%g\t%g\n",
                it, r[kS_PE], cnt(kS_PE), r[kS_PT], cnt(kS_PT), r[kS_PX], cnt(kS_PX), r[kS_PX_T], cnt(kS_PX_T),
                r[kS_TE_P], cnt(kS_TE_P), r[kS_XE_P], cnt(kS_XE_P), r[kS_XE_TP], cnt(kS_XE_TP), r[kS_PE_T],
                cnt(kS_PE_T), r[kS_PE_X], cnt(kS_PE_X));
          break;
        case 3:
          Print(os,
                "\nIteration %d\tRandom ro(RE) =\t%g\tRandom ro(XR) =\t%g\tRandom ro(TR) =\t%g\tRandom ro(XE.R) "
                "=\t%g\tRandom ro(TE.R) =\t%g\tRandom ro(XT.R) =\t%g\tRandom ro(XE.TR) =\t%g\tRandom ro(RY) "
                "=\t%g\tRandom ro(VE) =\t%g\tRandom ro(VY) =\t%g\tCummulative frequency for ro(RE)=\t%g\t"
                "Cummulative frequency for ro(XE.TR)=\t%g\tCummulative frequency for ro(VE)=\t%g\tCummulative "
                "frequency for ro(RY)=\t%g\tCummulative frequency for ro(VY)=\t%g\n",
                it, r[kS_RE], r[kS_XR], r[kS_TR], r[kS_XE_R], r[kS_TE_R], r[kS_XT_R], r[kS_XE_TR], r[kS_RY],
                r[kS_VE], r[kS_VY], cnt(kS_RE), cnt(kS_XE_TR), cnt(kS_VE), cnt(kS_RY), cnt(kS_VY));
          break;
        default:
          Print(os, "\nIteration %d\tRandom ro(FE) =\t%g\tCummulative frequency for ro(FE)=%g\n", it, r[kS_FE],
                cnt(kS_FE));
          break;
      }
    }
  }

 private:
  static constexpr char kMark = '\x01';

  void WriteOrder(std::ostream& os, const char* title, const IterationDraw& d) {
    Print(os, "%s", title);
    PrintVectorTab(os, d.permLength, d.perm);
  }

  // The permuted and null matrices of the iteration, section by section; the
  // count lines are filled in by Report at the marks. The phylogenetic section
  // always gets its mark so that the sections keep their numbers.
  void WriteMatrices(const PermTest_FunctionalPhyl_Correl_Input& in, const IterationDraw& d, std::ostream& os) {
    const int n = in.ncsm, s = in.nOTUs;
    const bool mantel = in.opt_ro == kModeMantel;
    const bool phylo = in.includePhylogeny;
    const bool taxa = sh_.taxa;
    if (taxa) {
      Print(os, "Permuted trait matrix (Brnd):\n");
      PrintMatrixTab(os, s, in.nch, Bp_, kDigits);
      WriteOrder(os, "\nOrder of original OTUs in permuted traits matrix Brnd:\t", d);
      Print(os, "\n\nMatrix Trnd (%d communities by %d traits) generated after Brnd (Trnd = W x Brnd):\n", n, in.nch);
    } else {
      WriteOrder(os, "\nOrder of original communities in permuted traits matrix Trnd:\t", d);
      Print(os, "\n\nMatrix Trnd (%d communities by %d traits) permuted by site shuffle:\n", n, in.nch);
    }
    PrintMatrixTab(os, n, in.nch, nullSt_.T, kDigits);
    if (mantel) {
      Print(os, "\nResemblance matrix DT between %d communities:\n", n);
      PrintLowerHalfMatrixTab(os, n, nullSt_.DT, kDigits);
    }
    os << kMark;
    if (taxa) {
      Print(os, "Permuted belonging matrix (Urnd) based on traits:\n");
      PrintMatrixTab(os, s, in.nTypes, Up_, kDigits);
      WriteOrder(os, "\nOrder of original OTUs in permuted belongin matrix Urnd:\t", d);
      Print(os, "\n\nMatrix Xrnd (%d communities by %d PFTs) generated after Urnd (Xrnd = W x Urnd):\n", n,
            in.nTypes);
    } else {
      WriteOrder(os, "\nOrder of original communities in permuted matrix Xrnd:\t", d);
      Print(os, "\n\nMatrix Xrnd (%d communities by %d PFTs) generated by site shuffle:\n", n, in.nTypes);
    }
    PrintMatrixTab(os, n, in.nTypes, nullSt_.X, kDigits);
    if (mantel) {
      Print(os, "\nResemblance matrix DX between %d communities:\n", n);
      PrintLowerHalfMatrixTab(os, n, nullSt_.DX, kDigits);
    }
    os << kMark;
    if (phylo) {
      if (taxa) {
        Print(os, "Permuted belonging matrix (Qrnd) based on phylogeny:\n");
        PrintMatrixTab(os, s, in.nTaxa, Qp_, kDigits);
        WriteOrder(os, "\nOrder of original OTUs in permuted belongin matrix Qrnd:\t", d);
        Print(os, "\n\nMatrix Prnd (%d communities by %d taxa) generated after Qrnd (Prnd = W x Qrnd):\n", n,
              in.nTaxa);
      } else {
        WriteOrder(os, "\nOrder of original communities in permuted matrix Prnd:\t", d);
        Print(os, "\n\nMatrix Prnd (%d communities by %d taxa) generated site shuffle:\n", n, in.nTaxa);
      }
      PrintMatrixTab(os, n, in.nTaxa, nullSt_.P, kDigits);
      if (mantel) {
        Print(os, "\nResemblance matrix DP between %d communities:\n", n);
        PrintLowerHalfMatrixTab(os, n, nullSt_.DP, kDigits);
      }
      os << kMark;
    } else {
      os << kMark;  // no phylogenetic line: Report skips it below
    }
    if (taxa) {
      Print(os, "Permuted similarity matrix (Srnd):\n");
      PrintMatrixTab(os, s, s, Sbp_, kDigits);
      WriteOrder(os, "\nOrder of original OTUs in permuted similarity matrix Srnd:\t", d);
      Print(os, "\n\nRao entropy vector Rrnd (%d communities) generated after Srnd:\n", n);
    } else {
      WriteOrder(os, "\nOrder of original OTUs in permuted Rao diversity vector:\t", d);
      Print(os, "\n\nRao entropy vector Rrnd (%d communities) generated by site shuffle:\n", n);
    }
    PrintVectorTab(os, n, nullSt_.R.data(), kDigits);
    if (mantel) {
      Print(os, "\nResemblance matrix DR between %d communities:\n", n);
      PrintLowerHalfMatrixTab(os, n, nullSt_.DR, kDigits);
    }
    Print(os,
          "\n\nNull model-based residuals of community contributions for beta diversity (NNCRD: Nearest-Neighbour "
          "Cross-Referenced Distance based on X (target) referenced on E) after controlling for OTU richness (%d "
          "communities):\n",
          n);
    PrintVectorTab(os, n, nullSt_.Vrow[0], kDigits);
    if (mantel) {
      Print(os, "\nResemblance matrix DV between %d communities:\n", n);
      PrintLowerHalfMatrixTab(os, n, nullSt_.DV, kDigits);
    }
    os << kMark;
    if (phylo) {
      if (taxa) {
        Print(os, "Permuted phylogenetic similarity matrix (Sf_rnd):\n");
        PrintMatrixTab(os, s, s, Sfp_, kDigits);
        WriteOrder(os, "\nOrder of original OTUs in permuted similarity matrix Sf_rnd:\t", d);
      } else {
        WriteOrder(os, "\nOrder of original communities in permuted phylogenetic diversity vector:\t", d);
      }
      Print(os, "\n\nRao entropy vector Rrnd (%d communities) generated after Sf_rnd:\n", n);
      PrintVectorTab(os, n, nullSt_.Rphyl.data(), kDigits);
      os << kMark;
    }
  }

  const Shared& sh_;
  PermTest_FunctionalPhyl_Correl_Input recBoot_, recNull_;
  Matrix<double> Wb_, Wadjb_, Wraob_, Yb_, Eb_, DEb_, DYb_;
  std::vector<int> richB_;
  Matrix<double> Bp_, Up_, Qp_, Sbp_, Sfp_;
  FunctionalPhyl_Stats_Lib_Input bootSt_, nullSt_;
  std::array<double, kNumFunctionalStats> r_{};
};

// Keeps the null values of the linear-model results of the first iterations
// for the caller, passing everything else to the worker that computes them.
class KeepLinearNulls : public NullWorker {
 public:
  KeepLinearNulls(std::unique_ptr<NullWorker> inner, const PermTest_FunctionalPhyl_Correl_Input& in, int nLinear)
      : inner_(std::move(inner)), in_(in), nLinear_(nLinear) {}
  void Evaluate(const IterationDraw& d, double* values, double* boot, std::ostream* text) override {
    inner_->Evaluate(d, values, boot, text);
    Keep(d.iteration, values);
  }
  int BatchSize() const override { return inner_->BatchSize(); }
  void EvaluateBatch(int count, const IterationDraw* draws, double* const* values, double* const* boot,
                     std::ostream* const* texts) override {
    inner_->EvaluateBatch(count, draws, values, boot, texts);
    for (int k = 0; k < count; ++k) Keep(draws[k].iteration, values[k]);
  }
  void Report(int iteration, const double* values, const PermutationTotals& totals, const std::string& evaluated,
              std::ostream& text) override {
    inner_->Report(iteration, values, totals, evaluated, text);
  }

 private:
  // Each iteration has its own column: the threads never write the same place.
  void Keep(int iteration, const double* values) {
    if (iteration >= in_.nullValuesKept) return;
    for (int q = 0; q < nLinear_; ++q) in_.nullLinearValues[q][iteration] = CountableOrZero(values[kTableRows + q]);
  }
  std::unique_ptr<NullWorker> inner_;
  const PermTest_FunctionalPhyl_Correl_Input& in_;
  int nLinear_;
};

void CopyObserved(PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& obs) {
  const int n = in.ncsm;
  if (in.Tout)
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < in.nch + obs.nExtraCols; ++j) in.Tout[i][j] = obs.T[i][j];
  for (int i = 0; i < n; ++i) {
    if (in.Xout) std::copy(obs.X[i], obs.X[i] + in.nTypes, in.Xout[i]);
    if (in.Pout && in.includePhylogeny) std::copy(obs.P[i], obs.P[i] + in.nTaxa, in.Pout[i]);
  }
  for (int i = 0; i < n; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    if (in.Rout) in.Rout[i] = obs.R[ui];
    if (in.RphylOut && in.includePhylogeny) in.RphylOut[i] = obs.Rphyl[ui];
    if (in.V) {
      in.V[0][i] = obs.nncrd[ui];
      in.V[1][i] = obs.Vcol[i][0];
    }
  }
}

}  // namespace

NullModelSetup MakeNullModelSetup(const PermTest_FunctionalPhyl_Correl_Input& in) {
  NullModelSetup s;
  s.nOTUs = in.nOTUs;
  s.ncsm = in.ncsm;
  s.bootstrap = in.doBootstrapOpt && in.niter > 1;
  if (!IsTaxaShuffle(in)) {
    s.kind = NullModelKind::kSite;
  } else if (in.optWeightedNullModel) {
    s.kind = NullModelKind::kTaxaWeighted;
    for (int c = 0; c < in.ncsm; ++c)
      for (int i = 0; i < in.nOTUs; ++i)
        if (in.W[c][i] > 0) s.occurrences.push_back(i + 1);
  } else if (in.optRestrictPermutNullModel == 1) {
    s.kind = NullModelKind::kTaxaRestricted;
    s.nesting.assign(in.nestingMembershipOTUs, in.nestingMembershipOTUs + in.nOTUs);
  } else if (in.optRestrictPermutNullModel == 0) {
    s.kind = NullModelKind::kTaxaSelected;
    s.selected.assign(static_cast<std::size_t>(in.nOTUs), 1);
    // The last column of a square U tells which OTUs have a known belonging;
    // without a square U there is nothing to tell them apart.
    if (in.nTypes == in.nOTUs)
      for (int i = 0; i < in.nOTUs; ++i) s.selected[static_cast<std::size_t>(i)] = in.U[i][in.nOTUs - 1] != -999.0;
  } else {
    s.kind = NullModelKind::kTaxaFixed;
  }
  return s;
}

void PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* input, RandomGenerator& rng,
                                    const PermTestOptions& options) {
  PermTest_FunctionalPhyl_Correl_Input& in = *input;
  if (in.opt_ro == kModeProcrustes) in.opt_MatrixCorr = 'p';
  if (in.opt_ro == kModeRV) in.opt_MatrixCorr = 'v';

  Shared sh;
  sh.in = &in;
  sh.taxa = IsTaxaShuffle(in);
  sh.separateCov = in.oneMatrixPermPartialCorr;
  sh.nLinear = LinearModelCount(in);
  NullModelDrawer drawer(MakeNullModelSetup(in));

  // Observed statistics (with the observed intermediate results and the
  // caller's linear-model results).
  FunctionalPhyl_Stats_Lib(&in, &sh.obs);
  CopyObserved(in, sh.obs);
  std::array<double, kNumObsStats> obsA{};
  StatsToOrderA(sh.obs, obsA.data());
  for (double& v : obsA) v = FiniteOrZero(v);
  in.obsStat = obsA;

  std::vector<TestedQuantity> quantities(static_cast<std::size_t>(kTableRows + sh.nLinear));
  for (int row = 0; row < kNumPermStats; ++row) {
    const int a = kNullRowToA[row];
    quantities[static_cast<std::size_t>(row)] = {
        obsA[static_cast<std::size_t>(a)],
        IsPartialPermStatA(a) && in.twoTailedTest ? CountRule::kAbsolute : CountRule::kPlain};
  }
  std::vector<double> lmObs(static_cast<std::size_t>(sh.nLinear));
  LinearModelValues(in, sh.obs, lmObs.data());
  const int responses = RegressionResponses(in);
  for (int q = 0; q < sh.nLinear; ++q) {
    // Regression coefficients are compared on absolute values; r squares and
    // pseudo-F values as they are.
    const bool coefficient = in.opt_ro == kModeRegression && q >= responses;
    quantities[static_cast<std::size_t>(kTableRows + q)] = {lmObs[static_cast<std::size_t>(q)],
                                                            coefficient ? CountRule::kAbsolute : CountRule::kPlain};
  }

  PermutationTotals totals;
  totals.Reset(in.niter, kTableRows, quantities, drawer.bootstrap());
  PermutationRunOptions run;
  run.threads = options.threads;
  run.text = in.printIntermediate ? in.rndDataFile : nullptr;
  run.extraValues = kNumFunctionalStats;
  if (options.progress)
    run.progress = [&](int i) { options.progress(Format("Permutation test: %d of %d", i + 1, in.niter)); };
  std::unique_ptr<FastMantelShared> fast;
  if (options.fastPath && in.niter > 1 && FastMantelApplies(in))
    fast = std::make_unique<FastMantelShared>(in, sh.obs, sh.separateCov);
  if (fast) {
    RunPermutations(rng, drawer, [&] { return MakeFastMantelWorker(*fast); }, totals, run);
  } else {
    // DE and DY stay as they are through the null models: their centred
    // cells for the Mantel statistic are taken once.
    FixedResemblances fixed;
    if (in.opt_ro == kModeMantel && in.opt_MatrixCorr == 'm') {
      fixed.DE = CentreFixedMantel(in.ncsm, in.DE);
      fixed.DY = CentreFixedMantel(in.ncsm, in.DY);
      in.fixedResemblances = &fixed;
    }
    struct Restore {
      PermTest_FunctionalPhyl_Correl_Input& in;
      ~Restore() { in.fixedResemblances = nullptr; }
    } restore{in};
    if (in.nullLinearValues != nullptr && sh.nLinear > 0)
      RunPermutations(
          rng, drawer,
          [&] {
            return std::make_unique<KeepLinearNulls>(std::make_unique<FunctionalNullWorker>(sh), in, sh.nLinear);
          },
          totals, run);
    else
      RunPermutations(rng, drawer, [&] { return std::make_unique<FunctionalNullWorker>(sh); }, totals, run);
  }

  if (in.nullValues != nullptr)
    for (int row = 0; row < kNumPermStats; ++row) {
      const double* nulls = totals.nullTable[row];
      std::copy(nulls, nulls + std::clamp(in.nullValuesKept, 0, in.niter - 1), in.nullValues[kNullRowToA[row]]);
    }

  std::vector<int> tails(kNullRowTail, kNullRowTail + kNumObsStats);
  const std::vector<QuantitySummary> sum = SummarizePermutations(totals, tails, in.nonParametricSES_opt);
  for (int row = 0; row < kNumPermStats; ++row) {
    const int a = kNullRowToA[row];
    const int b = kPermStatAtoB[static_cast<std::size_t>(a)];
    const QuantitySummary& s = sum[static_cast<std::size_t>(row)];
    in.probStat[static_cast<std::size_t>(a)] = s.p;
    in.sesStat[static_cast<std::size_t>(b)] = s.ses;
    in.expStat[static_cast<std::size_t>(b)] = s.expected;
    in.llStat[static_cast<std::size_t>(b)] = s.ll;
    in.ulStat[static_cast<std::size_t>(b)] = s.ul;
    in.asymProbStat[static_cast<std::size_t>(b)] = s.asymP;
    const bool tested = IsTestedByNullModel(in, a);
    in.tested[static_cast<std::size_t>(a)] = tested;
    if (!tested) {
      in.probStat[static_cast<std::size_t>(a)] = 0.0;
      in.sesStat[static_cast<std::size_t>(b)] = in.expStat[static_cast<std::size_t>(b)] = 0.0;
      in.llStat[static_cast<std::size_t>(b)] = in.ulStat[static_cast<std::size_t>(b)] = 0.0;
      in.asymProbStat[static_cast<std::size_t>(b)] = 0.0;
    }
  }

  // Linear-model results into the caller's vectors.
  const QuantitySummary* lm = sum.data() + kTableRows;
  if (in.opt_ro == kModeRegression) {
    for (int j = 0; j < responses; ++j) {
      if (in.probRsqRegr) in.probRsqRegr[j] = lm[j].p;
      if (in.sesRsqRegr) in.sesRsqRegr[j] = lm[j].ses;
      if (in.expRsqRegr) in.expRsqRegr[j] = lm[j].expected;
    }
    for (int k = 0; k < in.nEnv; ++k)
      for (int j = 0; j < responses; ++j) {
        const QuantitySummary& s = lm[responses + k * responses + j];
        if (in.probCoefRegr) in.probCoefRegr[k][j] = s.p;
        if (in.sesCoefRegr) in.sesCoefRegr[k][j] = s.ses;
        if (in.expCoefRegr) in.expCoefRegr[k][j] = s.expected;
      }
  } else if (in.opt_ro == kModePseudoF) {
    const int e = in.nEnv;
    auto put = [&](int offset, double* p, double* ses, double* ex) {
      for (int k = 0; k < e; ++k) {
        const QuantitySummary& s = lm[offset + k];
        if (p) p[k] = s.p;
        if (ses) ses[k] = s.ses;
        if (ex) ex[k] = s.expected;
      }
    };
    put(0, in.probPseudoF_T, in.sesPseudoF_T, in.expPseudoF_T);
    for (int k = 0; k < e; ++k)
      for (int j = 0; j < in.nch; ++j) {
        const QuantitySummary& s = lm[e + k * in.nch + j];
        if (in.probPseudoF_Traits) in.probPseudoF_Traits[k][j] = s.p;
        if (in.sesPseudoF_Traits) in.sesPseudoF_Traits[k][j] = s.ses;
        if (in.expPseudoF_Traits) in.expPseudoF_Traits[k][j] = s.expected;
      }
    const int after = e + e * in.nch;
    put(after, in.probPseudoF_X, in.sesPseudoF_X, in.expPseudoF_X);
    put(after + e, in.probPseudoF_P, in.sesPseudoF_P, in.expPseudoF_P);
    put(after + 2 * e, in.probPseudoF_R, in.sesPseudoF_R, in.expPseudoF_R);
    put(after + 3 * e, in.probPseudoF_Rphyl, in.sesPseudoF_Rphyl, in.expPseudoF_Rphyl);
  }
}

}  // namespace kalios
