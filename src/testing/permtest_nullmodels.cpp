#include "testing/fixed_mantel.h"
#include "testing/permtest_nullmodels.h"

#include <cmath>

#include "measures/resemblance.h"
#include "testing/anova.h"
#include "testing/matrix_correlation.h"
#include "testing/regression.h"

namespace kalios {

void PermuteRows(int n, int c, const int* list, const double* const* src, double** dest) {
  for (int i = 0; i < n; ++i) {
    const double* s = src[list[i] - 1];
    double* d = dest[i];
    for (int j = 0; j < c; ++j) d[j] = s[j];
  }
}

void PermuteBoth(int n, const int* list, const double* const* src, double** dest) {
  for (int i = 0; i < n; ++i) {
    const double* s = src[list[i] - 1];
    double* d = dest[i];
    for (int j = 0; j < n; ++j) d[j] = s[list[j] - 1];
  }
}

void PermuteSiteDescriptors(const PermTest_FunctionalPhyl_Correl_Input& in, const int* list,
                            const FunctionalPhyl_Stats_Lib_Input& obs, FunctionalPhyl_Stats_Lib_Input& nul) {
  const int n = in.ncsm;
  const bool phylo = in.includePhylogeny;
  // Resemblances of permuted rows are the permuted resemblances: each pair is
  // computed from the same two rows either way.
  PermuteRows(n, obs.T.cols(), list, obs.T, nul.T);
  PermuteRows(n, in.nTypes, list, obs.X, nul.X);
  PermuteBoth(n, list, obs.DT, nul.DT);
  PermuteBoth(n, list, obs.DX, nul.DX);
  PermuteBoth(n, list, obs.DR, nul.DR);
  if (phylo) {
    PermuteRows(n, in.nTaxa, list, obs.P, nul.P);
    PermuteBoth(n, list, obs.DP, nul.DP);
    PermuteBoth(n, list, obs.DRaoPhyl, nul.DRaoPhyl);
  }
  for (int i = 0; i < n; ++i) {
    const int k = list[i] - 1;
    const auto ui = static_cast<std::size_t>(i), uk = static_cast<std::size_t>(k);
    nul.R[ui] = obs.R[uk];
    nul.Rcol[i][0] = nul.Rrow[0][i] = obs.R[uk];
    nul.Rphyl[ui] = obs.Rphyl[uk];
    nul.RphylCol[i][0] = nul.RphylRow[0][i] = obs.Rphyl[uk];
    nul.richnessCol[i][0] = obs.richnessCol[k][0];
  }
  // The NNCRD refers X to E: shuffling it against E would break its own tie
  // to E, not the tie under test. The permuted X is referred to the fixed E
  // instead, its richness going with it.
  NNCRDResiduals(in, nul);
  ResemblanceLib(n, 1, nul.Vcol, nul.DV, 1, 2, nullptr, 0.0, 0.0, 1, false);
  for (int k = 0; k < in.nEnv; ++k)
    for (int c = 0; c < n; ++c) nul.factorPartitions[k][c] = obs.factorPartitions[k][c];
  nul.nExtraCols = obs.nExtraCols;
  nul.reseCodeX = obs.reseCodeX;
}

bool IsTestedByNullModel(const PermTest_FunctionalPhyl_Correl_Input& in, int a) {
  if (in.optTaxaSiteShuffle != 's') return true;
  switch (a) {
    case kA_TY: case kA_XY: case kA_XY_T: case kA_XY_TR: case kA_RY: case kA_VY:
    case kA_BF: case kA_PT: case kA_PX: case kA_PX_T:
      return false;
    default:
      return true;
  }
}

void NullCorrelations(const PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& nul,
                      const FunctionalPhyl_Stats_Lib_Input& cov, bool separateCov, double nullBF,
                      std::array<double, kNumFunctionalStats>& r, const MantelFunction* mantel) {
  r.fill(0.0);
  const int mode = in.opt_ro;
  if (mode < kModeMantel || mode > kModeRV) return;
  const bool firstOrder = mode == kModeMantel || mode == kModeRV;
  const bool phylo = in.includePhylogeny;
  const int n = in.ncsm, s = in.nOTUs, nch = in.nch, nEnv = in.nEnv, nTypes = in.nTypes, nTaxa = in.nTaxa;
  const char opt = mode == kModeProcrustes ? 'p' : mode == kModeRV ? 'v' : in.opt_MatrixCorr;
  const bool sq = in.squareDistMatrixOpt;
  const double ovf = in.overfitFactorPCARegr;
  auto mcl = [&](int p, int q, const double* const* A, const double* const* B, const double* const* DA,
                 const double* const* DB) {
    if (mantel != nullptr && opt == 'm') return (*mantel)(DA, DB);
    if (opt == 'm' && in.fixedResemblances != nullptr) {
      const FixedMantelMatrix* f = in.fixedResemblances->Find(DA);
      if (f == nullptr) f = in.fixedResemblances->Find(DB);
      if (f != nullptr) return MatrixCorrFixed(*f, DA, DB);
    }
    return MatrixCorrelationLib(n, p, q, A, B, DA, DB, sq, opt);
  };
  // A statistic between covariates only: the observed one, or the null one
  // just computed when the covariates are the null matrices too.
  auto c = [&](FunctionalStat k) { return separateCov ? cov[k] : r[static_cast<std::size_t>(k)]; };
  auto set = [&](FunctionalStat k, double v) { r[static_cast<std::size_t>(k)] = v; };
  auto get = [&](FunctionalStat k) { return r[static_cast<std::size_t>(k)]; };

  // The null descriptors against the fixed E and Y, and against the covariates.
  set(kS_TE, mcl(nch, nEnv, nul.T, in.E, nul.DT, in.DE));
  set(kS_TY, mcl(nch, s, nul.T, in.Y, nul.DT, in.DY));
  set(kS_XE, mcl(nTypes, nEnv, nul.X, in.E, nul.DX, in.DE));
  set(kS_XT, mcl(nTypes, nch, nul.X, cov.T, nul.DX, cov.DT));
  set(kS_XY, mcl(nTypes, s, nul.X, in.Y, nul.DX, in.DY));
  set(kS_RE, mcl(1, nEnv, nul.Rcol, in.E, nul.DR, in.DE));
  set(kS_XR, mcl(nTypes, 1, nul.X, cov.Rcol, nul.DX, cov.DR));
  set(kS_TR, mcl(nch, 1, nul.T, cov.Rcol, nul.DT, cov.DR));
  set(kS_RY, mcl(1, s, nul.Rcol, in.Y, nul.DR, in.DY));
  set(kS_VE, mcl(1, nEnv, nul.Vcol, in.E, nul.DV, in.DE));
  set(kS_VY, mcl(1, s, nul.Vcol, in.Y, nul.DV, in.DY));
  set(kS_BF, nullBF);
  double xnPc = 0, tnPc = 0, pnXc = 0, pnTc = 0;
  if (phylo) {
    set(kS_FE, mcl(1, nEnv, nul.RphylCol, in.E, nul.DRaoPhyl, in.DE));
    set(kS_PE, mcl(nTaxa, nEnv, nul.P, in.E, nul.DP, in.DE));
    // r(PT) and r(PX) are not partial: both matrices come from the same
    // permutation whatever the partial statistics keep observed.
    set(kS_PT, mcl(nTaxa, nch, nul.P, nul.T, nul.DP, nul.DT));
    set(kS_PX, mcl(nTaxa, nTypes, nul.P, nul.X, nul.DP, nul.DX));
    // Null X and T against the covariate P, in the argument order of r(PX) and r(PT).
    xnPc = separateCov ? mcl(nTaxa, nTypes, cov.P, nul.X, cov.DP, nul.DX) : get(kS_PX);
    tnPc = separateCov ? mcl(nTaxa, nch, cov.P, nul.T, cov.DP, nul.DT) : get(kS_PT);
    // Null P against the covariates X and T, for the partials of P.
    pnXc = separateCov ? mcl(nTaxa, nTypes, nul.P, cov.X, nul.DP, cov.DX) : get(kS_PX);
    pnTc = separateCov ? mcl(nTaxa, nch, nul.P, cov.T, nul.DP, cov.DT) : get(kS_PT);
  }

  if (firstOrder) {
    const double xnTc = get(kS_XT), xnRc = get(kS_XR);
    set(kS_XY_T, PartialCorrelation(get(kS_XY), xnTc, c(kS_TY)));
    set(kS_XE_T, PartialCorrelation(get(kS_XE), xnTc, c(kS_TE)));
    const double cTR = c(kS_TR);
    set(kS_XE_R, PartialCorrelation(get(kS_XE), xnRc, c(kS_RE)));
    set(kS_TE_R, separateCov ? cov[kS_TE_R] : PartialCorrelation(get(kS_TE), cTR, get(kS_RE)));
    set(kS_XT_R, PartialCorrelation(xnTc, xnRc, cTR));
    set(kS_XE_TR, PartialCorrelation(get(kS_XE_R), get(kS_XT_R), get(kS_TE_R)));
    set(kS_XY_R, PartialCorrelation(get(kS_XY), xnRc, c(kS_RY)));
    set(kS_TY_R, separateCov ? cov[kS_TY_R] : PartialCorrelation(get(kS_TY), cTR, get(kS_RY)));
    set(kS_XY_TR, PartialCorrelation(get(kS_XY_R), get(kS_XT_R), get(kS_TY_R)));
    if (phylo) {
      set(kS_PX_T, PartialCorrelation(pnXc, c(kS_XT), pnTc));
      set(kS_PE_X, PartialCorrelation(get(kS_PE), pnXc, c(kS_XE)));
      set(kS_PE_T, PartialCorrelation(get(kS_PE), pnTc, c(kS_TE)));
      set(kS_XE_P, PartialCorrelation(get(kS_XE), xnPc, c(kS_PE)));
      set(kS_XT_P, PartialCorrelation(xnTc, xnPc, c(kS_PT)));
      set(kS_TE_P, PartialCorrelation(get(kS_TE), tnPc, c(kS_PE)));
      const double teP = separateCov ? cov[kS_TE_P] : get(kS_TE_P);
      set(kS_XE_TP, PartialCorrelation(get(kS_XE_P), get(kS_XT_P), teP));
    }
  } else {
    const MatrixCovariate covT{nch, in.chSelect, cov.T};
    const MatrixCovariate covX{nTypes, nullptr, cov.X};
    const MatrixCovariate covP{nTaxa, nullptr, cov.P};
    const MatrixCovariate covR{1, nullptr, cov.Rcol};
    set(kS_XE_T, PartialMatrixCorrelation(n, nTypes, nEnv, nul.X, in.E, 2, ovf, {covT}));
    set(kS_XY_T, PartialMatrixCorrelation(n, nTypes, s, nul.X, in.Y, 2, ovf, {covT}));
    if (phylo) {
      set(kS_PX_T, PartialMatrixCorrelation(n, nTaxa, nTypes, nul.P, cov.X, 2, ovf, {covT}));
      set(kS_PE_T, PartialMatrixCorrelation(n, nTaxa, nEnv, nul.P, in.E, 2, ovf, {covT}));
      set(kS_PE_X, PartialMatrixCorrelation(n, nTaxa, nEnv, nul.P, in.E, 2, ovf, {covX}));
      set(kS_TE_P, PartialMatrixCorrelation(n, nch, nEnv, nul.T, in.E, 2, ovf, {covP}));
      set(kS_XE_P, PartialMatrixCorrelation(n, nTypes, nEnv, nul.X, in.E, 2, ovf, {covP}));
      set(kS_XE_TP, PartialMatrixCorrelation(n, nTypes, nEnv, nul.X, in.E, 2, ovf, {covT, covP}));
    }
    set(kS_XE_TR, PartialMatrixCorrelation(n, nTypes, nEnv, nul.X, in.E, 2, ovf, {covT, covR}));
    set(kS_XY_TR, PartialMatrixCorrelation(n, nTypes, s, nul.X, in.Y, 2, ovf, {covT, covR}));
  }
  for (double& v : r) v = std::isfinite(v) ? v : 0.0;
}

void NullLinearModels(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& nul) {
  const int n = in.ncsm, nch = in.nch, nEnv = in.nEnv;
  const bool phylo = in.includePhylogeny;
  if (in.opt_ro == kModeRegression) {
    const int responses = RegressionResponses(in);
    const int ok = regression(n, responses, nEnv, nul.T, in.E, nul.coef, nul.intercept.data(), nul.predicted,
                              nul.rsq.data(), nul.totalSS.data(), false, nullptr, 0, false);
    for (int j = 0; j < responses; ++j) {
      const auto uj = static_cast<std::size_t>(j);
      nul.rsq[uj] = ok && std::isfinite(nul.rsq[uj]) ? nul.rsq[uj] : 0.0;
      for (int k = 0; k < nEnv; ++k) nul.coef[k][j] = ok && std::isfinite(nul.coef[k][j]) ? nul.coef[k][j] : 0.0;
    }
  } else if (in.opt_ro == kModePseudoF) {
    auto perFactor = [&](const double* const* D, std::vector<double>& out) {
      for (int k = 0; k < nEnv; ++k)
        out[static_cast<std::size_t>(k)] = PseudoF(n, D, nul.factorPartitions[k], in.relSelect, false, &nul.SSTotal);
    };
    perFactor(nul.DT, nul.pseudoF_T);
    nul.pseudoF_Traits.Fill(0.0);
    for (int j = 0; j < nch; ++j) {
      if (in.chSelect && in.chSelect[j] != 1) continue;
      EucliDistMVSelectOne(n, nch, nul.T, nul.Dtrait, j + 1);
      for (int k = 0; k < nEnv; ++k)
        nul.pseudoF_Traits[k][j] = PseudoF(n, nul.Dtrait, nul.factorPartitions[k], in.relSelect, false, &nul.SSTotal);
    }
    perFactor(nul.DX, nul.pseudoF_X);
    perFactor(nul.DR, nul.pseudoF_R);
    if (phylo) {
      perFactor(nul.DP, nul.pseudoF_P);
      perFactor(nul.DRaoPhyl, nul.pseudoF_Rphyl);
    }
  }
}

int RegressionResponses(const PermTest_FunctionalPhyl_Correl_Input& in) {
  return in.nch + (in.includePhylogeny ? 2 : 1);
}

int LinearModelCount(const PermTest_FunctionalPhyl_Correl_Input& in) {
  if (in.opt_ro == kModeRegression) return RegressionResponses(in) * (1 + in.nEnv);
  if (in.opt_ro == kModePseudoF) return in.nEnv * (5 + in.nch);
  return 0;
}

void LinearModelValues(const PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& st,
                       double* out) {
  int q = 0;
  if (in.opt_ro == kModeRegression) {
    const int responses = RegressionResponses(in);
    for (int j = 0; j < responses; ++j) out[q++] = st.rsq[static_cast<std::size_t>(j)];
    for (int k = 0; k < in.nEnv; ++k)
      for (int j = 0; j < responses; ++j) out[q++] = st.coef[k][j];
  } else if (in.opt_ro == kModePseudoF) {
    const int e = in.nEnv;
    for (int k = 0; k < e; ++k) out[q++] = st.pseudoF_T[static_cast<std::size_t>(k)];
    for (int k = 0; k < e; ++k)
      for (int j = 0; j < in.nch; ++j) out[q++] = st.pseudoF_Traits[k][j];
    for (const std::vector<double>* v : {&st.pseudoF_X, &st.pseudoF_P, &st.pseudoF_R, &st.pseudoF_Rphyl})
      for (int k = 0; k < e; ++k) out[q++] = (*v)[static_cast<std::size_t>(k)];
  }
}

}  // namespace kalios
