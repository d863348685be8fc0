// The results of the analysis of each simulated data set, the records of the
// every-combination mode, and the final report with the proportions of
// rejection.
#include <algorithm>

#include "functional/community_matrices.h"
#include "functional/option_names.h"
#include "measures/covariance.h"
#include "measures/ordination.h"
#include "numlib/print.h"
#include "shell/cformat.h"
#include "shell/state.h"
#include "simulation/study.h"
#include "simulation/study_counting.h"
#include "testing/permtest_record.h"

namespace kalios {

void StudyTimeStamp(std::ostream& os);

namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }
constexpr int kPrintedAxes = 6;
using Rec = PermTest_FunctionalPhyl_Correl_Input;

void StatLine(std::ostream& os, const char* text, const Rec& r, const char* name) {
  const StatResult s = ReadStat(r, name);
  Print(os, "%s=\t%g\tP=\t%g\tSES=\t%g\tE=\t%g\tLL=\t%g\tUL=\t%g\tP-value=\t%g\n", text, s.obs, s.p, s.ses, s.exp,
        s.ll, s.ul, s.asym);
}

void SelectionRows(std::ostream& os, const StudyState& st, const char* weightsTitle) {
  const StudyDesign& d = st.design;
  Print(os, "\nTraits:       ");
  for (int k = 1; k <= d.K; ++k) Print(os, "\t%d", k);
  Print(os, "\nTrait weights:");
  for (int k = 0; k < d.K; ++k) Print(os, "\t%g", st.traitWeight[U(k)]);
  Print(os, "\nEcosystem variables (and their interactions if included): ");
  for (int f = 1; f <= d.F; ++f) Print(os, "\t%d", f);
  if (d.interactions)
    for (int f = 1; f <= d.F; ++f)
      for (int g = f + 1; g <= d.F; ++g) Print(os, "\t%dx%d ", f, g);
  Print(os, "%s", weightsTitle);
  for (int p = 0; p < d.P; ++p) Print(os, "\t%d", st.predictorSelect[U(p)]);
}

const std::string& PredictorLabel(const StudyState& st, const ScalingUpState& sc, int v) {
  return st.predictorLabels[U(sc.envColumns[U(v)])];
}

}  // namespace

void WriteBealsOrdination(StudyEnvironment& env, StudyState& st, const ScalingUpState& sc, const Matrix<double>& cwm) {
  std::ostream& os = *st.final;
  const int n = sc.n, N = sc.s, digits = env.prefs.sDigits;
  Matrix<double> eigvec(n, n), scores(n, n);
  std::vector<double> ev(U(n), 0.0);
  int axes = 0;
  bool ok = true;
  OrdinationLib_D(n, n, nullptr, sc.DY, eigvec, scores, &axes, ev.data(), &ok, kOrdinationPrincipalCoordinates, 3,
                  1);
  Print(os, "\nOrdination (Principal Coordinates Analysis, PCOA) of Beals smoothed composition matrix Y:");
  double positive = 0;
  int count = 0;
  for (double v : ev) {
    if (v > 0) positive += v;
    if (v > 0.0001) ++count;
  }
  Print(os, "\nNumber of eigenvalues >0.0001: \t%d", count);
  Print(os, "\nEigenvalues:\t");
  for (int k = 0; k < count; ++k) Print(os, "%8.*g\t", digits, ev[U(k)]);
  Print(os, "\nPercentage:\t");
  for (int k = 0; k < count; ++k) Print(os, "%8.*g\t", digits, positive > 0 ? ev[U(k)] * 100 / positive : 0.0);
  const int shown = std::min(axes, kPrintedAxes);
  Print(os, "\nPCOA scores of communities on the first ordination components:\n");
  PrintMatrixTab(os, shown, n, scores, digits);
  Print(os, "\nCorrelation coefficients between PCOA ordination community scores and %d OTUs:\n", N);
  std::vector<double> col(U(n));
  for (int k = 0; k < shown; ++k) {
    Print(os, "Axis:\t%d\t", k + 1);
    for (int j = 0; j < N; ++j) {
      for (int i = 0; i < n; ++i) col[U(i)] = sc.Wraw[i][j];
      Print(os, "%.*g\t", digits, Correlation2VecMV(n, scores[k], col.data()));
    }
    Print(os, "\n");
  }
  Print(os, "\nCorrelation coefficients between PCOA ordination community scores and other community or ecosystem "
            "descriptors:\n");
  const auto& r = st.run;
  std::vector<double> abundance, age, richness, ext, col2;
  for (int i : st.keptSites) {
    abundance.push_back(r.abundanceSite[U(i)]);
    age.push_back(r.averageAge[i][st.design.N]);
    richness.push_back(r.richnessFinal[U(i)]);
    ext.push_back(r.extinctions[U(i)]);
    col2.push_back(r.colonizations[U(i)]);
  }
  for (int k = 0; k < shown; ++k) {
    Print(os, "Axis:\t%d\n", k + 1);
    Print(os, "Total abundance in each community:\t%g\n", Correlation2VecMV(n, scores[k], abundance.data()));
    Print(os, "Average age of individuals in each community:\t%g\n", Correlation2VecMV(n, scores[k], age.data()));
    Print(os, "OTU richness in each community (at final step %d):\t%g\n", r.nSteps,
          Correlation2VecMV(n, scores[k], richness.data()));
    Print(os, "Total number of OTU extinctions in each community (after step %d):\t%g\n", r.recordStartStep,
          Correlation2VecMV(n, scores[k], ext.data()));
    Print(os, "Total number of OTU colonizations in each community (after step %d):\t%g\n", r.recordStartStep,
          Correlation2VecMV(n, scores[k], col2.data()));
    for (int t = 0; t < st.design.K; ++t) {
      for (int i = 0; i < n; ++i) col[U(i)] = cwm[i][t];
      Print(os, "CWM trait %d at final step %d:\t%g\n", t + 1, r.nSteps, Correlation2VecMV(n, scores[k], col.data()));
    }
    for (int f = 0; f < st.design.F; ++f) {
      for (int i = 0; i < n; ++i) col[U(i)] = r.ecosystem[f][st.keptSites[U(i)]];
      Print(os, "Ecosystem variable %d at final step %d:\t%g\n", f + 1, r.nSteps,
            Correlation2VecMV(n, scores[k], col.data()));
    }
  }
}

void WriteAnalysisResults(StudyEnvironment& env, StudyState& st, const ScalingUpState& sc, const Rec& r, int dataSet,
                          bool) {
  std::ostream& os = *st.final;
  const AnalysisOptions& o = env.opts;
  const Preferences& pr = env.prefs;
  const int n = sc.n, digits = pr.sDigits;
  Print(os, "\n\nRESULTS WITH SIMULATED DATA %d", dataSet);
  SelectionRows(os, st, "\nEcosystem variable weights:                              ");
  switch (o.opt_ro) {
    case 1:
      Print(os, o.opt_MatrixCorr == 'r'
                    ? "\n\nThe statistics shown below are Rd matrix correlations (Omelka & Hudecovaa 2013). "
                    : "\n\nThe statistics shown below are Mantel type matrix correlations. ");
      break;
    case 2:
      Print(os, "\n\nThe statistics shown below are Procrustes correlations (traceW).\n");
      break;
    case 3:
      Print(os, "\n\nThe statistics shown below are RV coefficients (Escoufier 1973).\n");
      break;
    default:
      break;
  }
  Print(os, pr.oneMatrixPermPartialCorr
                ? "The tests for partial correlation involved the permutation of only the first matrix (according to "
                  "Tobrin et al. 2009 and Tobrin & Melcas 2010).\n"
                : "The tests for partial correlation involved the permutation of both matrices based on the same "
                  "traits matrix B, so that based on the null model the same permutations affected simultaneously T, "
                  "X and R matrices.\n");
  Print(os, pr.nonParametricSES_opt ? "Standardized effect sizes (SES) shown below are non-parametric.\n"
                                    : "Standardized effect sizes (SES) shown below are parametric.\n");
  if (st.removedEmpty > 0)
    Print(os, "\nA total of %d empty communities were removed from the data for the analyses shown below.\n",
          st.removedEmpty);
  if (o.opt_ro == 4) {
    Print(os, "\n\nREGRESSION MODELS");
    Print(os, "\nFor each response variable, the r square, and regression coefficients for each environmental factor, "
              "and corresponding p-values are shown below (including SES and expected statistic under H0):\n");
    for (int k = 0; k <= sc.p; ++k) {
      if (k < sc.p && !sc.chSelect[U(k)]) continue;
      if (k < sc.p)
        Print(os, "\nTrait:\t%d\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", k + 1, r.rsqRegr[k],
              r.probRsqRegr[k], r.sesRsqRegr[k], r.expRsqRegr[k]);
      else
        Print(os, "\nFunctional diversity:\t\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", r.rsqRegr[k],
              r.probRsqRegr[k], r.sesRsqRegr[k], r.expRsqRegr[k]);
      for (int v = 0; v < sc.e; ++v)
        Print(os, "Factor:\t%s\tcoeff=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", PredictorLabel(st, sc, v).c_str(),
              r.coefRegr[v][k], r.probCoefRegr[v][k], r.sesCoefRegr[v][k], r.expCoefRegr[v][k]);
      Print(os, "Intercept=\t%g\n", r.interceptRegr[k]);
    }
  } else if (o.opt_ro == 5) {
    Print(os, "\n\nANALYSIS OF VARIANCE\n");
    Print(os, "\nSelected traits:\t");
    for (int k = 0; k < sc.p; ++k)
      if (sc.chSelect[U(k)]) Print(os, "%d\t", k + 1);
    Print(os, "\nSelected factors and observation states in %d communities:\n", n);
    for (int v = 0; v < sc.e; ++v) {
      Print(os, "Factor:\t%s\tStates:\t", PredictorLabel(st, sc, v).c_str());
      for (int i = 0; i < n; ++i) Print(os, "%g\t", sc.Eprime[i][v]);
      Print(os, "\n");
    }
    auto lines = [&](const char* title, const double* f, const double* p, const double* s, const double* e) {
      Print(os, "%s", title);
      for (int v = 0; v < sc.e; ++v)
        Print(os, "Factor:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", PredictorLabel(st, sc, v).c_str(),
              f[v], p[v], s[v], e[v]);
    };
    lines("\nMANOVA using matrix T (community weighted means) as multivariate response:\n", r.pseudoF_T,
          r.probPseudoF_T, r.sesPseudoF_T, r.expPseudoF_T);
    Print(os, "ANOVA for each selected individual trait the pseudo-F (between/within groups sum of squares) and "
              "corresponding p-values are shown below:\n");
    for (int v = 0; v < sc.e; ++v)
      for (int k = 0; k < sc.p; ++k)
        if (sc.chSelect[U(k)])
          Print(os, "Trait:\t%d\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", k + 1, r.pseudoF_Traits[v][k],
                r.probPseudoF_Traits[v][k], r.sesPseudoF_Traits[v][k], r.expPseudoF_Traits[v][k]);
    lines("\nMANOVA using matrix X (fuzzy-weighted community composition using all selected traits) as multivariate "
          "response:\n", r.pseudoF_X, r.probPseudoF_X, r.sesPseudoF_X, r.expPseudoF_X);
    lines("\nANOVA using Rao funtional diversity (using all selected traits) as univariate response:\n", r.pseudoF_R,
          r.probPseudoF_R, r.sesPseudoF_R, r.expPseudoF_R);
  } else {
    Print(os, "\nStatistics and corresponding probabilities, standardized effect size (SES), expected (E) statistic and "
              "95'%c' confidence limits under H0, and asymmetric-based P-value:\n", '%');
    StatLine(os, "Convergence (TCAP): r(TE)", r, "r(TE)");
    StatLine(os, "Both TCAP and Divergence (TDAP): r(XE)", r, "r(XE)");
    StatLine(os, "TDAP: r(XE.T)", r, "r(XE.T)");
    StatLine(os, "Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)", r, "r(RE)");
    StatLine(os, "Beta divergence (correlation between ecosystem variables and community contribution to beta "
                 "diversity (NNCRD)): r(VE)", r, "r(VE)");
    StatLine(os, "Beta divergence (as indicated by partial correlation): r(XE.TR)", r, "r(XE.TR)");
    Print(os, "\nRao entropy for %d community sites:\n", n);
    PrintVectorTab(os, n, sc.R.data(), digits);
    Print(os, "\nCommunity contribution to beta diversity (NNCRD: Nearest-Neighbour Cross-Referenced Distance based on "
              "X (target) referenced on E) (%d community sites):\n", n);
    PrintVectorTab(os, n, sc.V[0], digits);
    Print(os, "\nResiduals of community contribution to beta diversity (NNCRD: Nearest-Neighbour Cross-Referenced "
              "Distance based on X (target) referenced on E) after controlling for OTU richness (%d community "
              "sites):\n", n);
    PrintVectorTab(os, n, sc.V[1], digits);
    std::vector<double> rich(sc.richness.begin(), sc.richness.end());
    Print(os, "Correlation between contribution to beta diversity (NNCRD before controlling for OTU richness) and "
              "final OTU richness in %d communities:\t%g\n", n, Correlation2VecMV(n, sc.V[0], rich.data()));
    Print(os, "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by "
              "their abundances. R is alpha diversity given by Rao entropy and V is beta diversity given by NNCRD "
              "after controlling for OTU richness:\n");
    for (const char* name : {"r(TY)", "r(XY)", "r(XY.T)", "r(XY.TR)", "r(RY)", "r(VY)"})
      StatLine(os, name, r, name);
  }
}

void WriteSummaryRecord(StudyEnvironment&, StudyState& st, const ScalingUpState& sc, const Rec& r, int dataSet) {
  std::ostream& os = *st.summary;
  if (sc.e < 1) return;
  const int opt = r.opt_ro;
  if (opt == 4) {
    for (int k = 0; k <= sc.p; ++k) {
      if (k < sc.p && !sc.chSelect[U(k)]) continue;
      if (k < sc.p)
        Print(os, "\nSimulated data\t%d\tTrait:\t%d\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", dataSet, k + 1,
              r.rsqRegr[k], r.probRsqRegr[k], r.sesRsqRegr[k], r.expRsqRegr[k]);
      else
        Print(os, "Simulated data\t%d\t\nFunctional diversity:\t\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n",
              dataSet, r.rsqRegr[k], r.probRsqRegr[k], r.sesRsqRegr[k], r.expRsqRegr[k]);
      for (int v = 0; v < sc.e; ++v)
        Print(os, "Simulated data\t%d\tFactor:\t%s\tcoeff=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", dataSet,
              PredictorLabel(st, sc, v).c_str(), r.coefRegr[v][k], r.probCoefRegr[v][k], r.sesCoefRegr[v][k],
              r.expCoefRegr[v][k]);
    }
    return;
  }
  if (opt == 5) {
    for (int v = 0; v < sc.e; ++v) {
      Print(os, "Simulated data\t%d\tFactor:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", dataSet,
            PredictorLabel(st, sc, v).c_str(), r.pseudoF_T[v], r.probPseudoF_T[v], r.sesPseudoF_T[v],
            r.expPseudoF_T[v]);
      for (int k = 0; k < sc.p; ++k)
        if (sc.chSelect[U(k)])
          Print(os, "Simulated data\t%d\tTrait:\t%d\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", dataSet, k + 1,
                r.pseudoF_Traits[v][k], r.probPseudoF_Traits[v][k], r.sesPseudoF_Traits[v][k],
                r.expPseudoF_Traits[v][k]);
    }
    return;
  }
  Print(os, "Simulated data\t%d\tTraits:\t", dataSet);
  for (int k = 0; k < sc.p; ++k)
    if (sc.chSelect[U(k)]) Print(os, "%d ", k + 1);
  Print(os, "\tEnvFactors:\t");
  for (int v = 0; v < sc.e; ++v) Print(os, "%s ", PredictorLabel(st, sc, v).c_str());
  for (int s = 0; s < kNumCountedStats; ++s) {
    const StatResult x = ReadStat(r, kCountedStats[s]);
    Print(os, "\t%s=\t%g\tP=\t%g\tSES=\t%g\tE=\t%g\tLL=\t%g\tUL=\t%g\tP-value=\t%g\n", kCountedStats[s], x.obs, x.p,
          x.ses, x.exp, x.ll, x.ul, x.asym);
  }
}

void WriteFinalReport(StudyEnvironment& env, StudyState& st, double elapsed) {
  const StudyDesign& d = st.design;
  const AnalysisOptions& o = env.opts;
  const int digits = env.prefs.sDigits;
  RejectionCounts& c = st.counts;
  const double D = d.D;
  for (auto& v : c.stat) v /= D;
  for (auto& v : c.rsq) v /= D;
  for (auto* v : {&c.manovaT, &c.manovaX, &c.anovaR})
    for (auto& x : *v) x /= D;
  for (int i = 0; i < c.coef.rows(); ++i)
    for (int j = 0; j < c.coef.cols(); ++j) c.coef[i][j] /= D;
  for (int i = 0; i < c.anovaTrait.rows(); ++i)
    for (int j = 0; j < c.anovaTrait.cols(); ++j) c.anovaTrait[i][j] /= D;

  std::ostream& os = *st.final;
  Print(os, "\n%s\n", kRuleLine.c_str());
  Print(os, "SIMULATION OF COMMUNITY ASSEMBLY\n");
  Print(os, "FINAL RESULTS\n");
  Print(os, "%s\n", kVersionLine);
  StudyTimeStamp(os);
  Print(os, "%s\n", kRuleLine.c_str());
  if (d.saveDataSetResults) {
    if (d.traitSource == 'c') {
      Print(os, "\nSpecified trait correlation matrix (%d traits x %d traits, file %s): \n", d.K - d.Q, d.K - d.Q,
            d.traitFile.c_str());
      PrintMatrixTab(os, d.K - d.Q, d.K - d.Q, d.traitCorr, digits);
    }
    if (d.envSource == 'e') {
      Print(os, "\nInitial ecosystem conditions (%d factors x %d sites, file %s).\n", d.P, d.S, d.envFile.c_str());
    }
    if (d.interactions)
      Print(os, "\nParameters for linear models of community responses to ecosystem conditions (%d traits by %d "
                "ecosystem predictor variables (and their double interactions), file %s): \n",
            d.K, d.P, d.responseFile.c_str());
    else
      Print(os, "\nParameters for linear models of community responses to ecosystem conditions (%d traits by %d "
                "ecosystem predictor variables, file %s): \n",
            d.K, d.P, d.responseFile.c_str());
    PrintMatrixTab(os, d.K, d.P, d.response, digits);
    Print(os, "\nParameters for linear models of community effects on ecosystem conditions (%d ecosystem variables by "
              "%d predictor traits, %s): \n",
          d.F, d.K, d.effectFile.c_str());
    PrintMatrixTab(os, d.F, d.K, d.effect, digits);
    Print(os, "\nTraits with non-zero parameters for community responses to ecosystem conditions: \n");
    PrintVectorTab(os, d.K, d.responseFlag.data());
    Print(os, "Specified maximum average number of individuals per community:\t%d\n", d.maxIndPerSite);
    Print(os, "Number of simulated data sets:\t%d\n", d.D);
    Print(os, "Number of random permutations in each test:\t%d\n", o.niter);
    Print(os, "Alpha threshold for Ho rejection:\t%g\n", d.alpha);
    Print(os, "Elapsed time (seconds): %g\n", elapsed);
    SelectionRows(os, st, "\nWeights:                                                  ");
  }
  Print(os, "\n\nPROBABILITIES OF Ho REJECTION (type I error or power depending on the specified model context) based "
            "on %d tests using %d permutations each:", d.D, o.niter);
  auto P = [&](const char* name) {
    for (int s = 0; s < kNumCountedStats; ++s)
      if (std::string(kCountedStats[s]) == name) return c.stat[U(s)];
    return 0.0;
  };
  if (o.opt_ro >= 1 && o.opt_ro <= 3) {
    Print(os, "\nCorrelation function between matrices: \t%s\n", OptionName(opt_roInfo, o.opt_ro - 1));
    Print(os, "\nConvergence (TCAP): r(TE)\tP=\t%g\nBoth TCAP and Divergence (TDAP): r(XE)\tP=\t%g\nTDAP: r(XE.T)\tP=\t"
              "%g\n", P("r(TE)"), P("r(XE)"), P("r(XE.T)"));
    if (o.opt_ro == 2)
      Print(os, "Factor (f) for limiting the number of predictors in PCA regression in relation to sample size n "
                "(number of predictors = n/f): %g\n", env.prefs.overfitFactorPCARegr);
    Print(os, "Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)\tP=\t%g\n",
          P("r(RE)"));
    Print(os, "Beta divergence (correlation between ecosystem variables and community contribution to beta "
              "diversity, NNCRD): r(VE)\tP=\t%g\n", P("r(VE)"));
    Print(os, "Beta divergence (based on partial correlation): r(XE.TR)\tP=\t%g\n", P("r(XE.TR)"));
    Print(os, "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by "
              "their abundances ");
    Print(os, env.prefs.BealsIncludeOpt ? "(abundance of target OTU included in its own estimation):\n"
                                        : "(abundance of target OTU NOT included in its own estimation):\n");
    for (const char* name : {"r(TY)", "r(XY)", "r(XY.T)", "r(XY.TR)", "r(RY)", "r(VY)"})
      Print(os, "%s\tP=\t%g\n", name, P(name));
  } else if (o.opt_ro == 4) {
    Print(os, "\nFor each CWM trait and functional diversity as response variables, the corresponding probabilities "
              "of H0 rejection of regression adjustment (r-square) and beta coefficients are shown below:\n");
    for (int k = 0; k <= d.K; ++k) {
      if (k < d.K && !(st.traitWeight[U(k)] > 0)) continue;
      if (k < d.K)
        Print(os, "\nTrait:\t%d\tr-square\tP=\t%g\n", k + 1, c.rsq[U(k)]);
      else
        Print(os, "\nFunctional diversity:\t\tr-square\tP=\t%g\n", c.rsq[U(k)]);
      for (int p = 0; p < d.P; ++p)
        if (st.predictorSelect[U(p)])
          Print(os, "Factor:\t%s\tcoeff\tP=\t%g\n", st.predictorLabels[U(p)].c_str(), c.coef[k][p]);
    }
  } else if (o.opt_ro == 5) {
    Print(os, "\n\nANALYSIS OF VARIANCE\n");
    Print(os, "\nSelected traits:\t");
    for (int k = 0; k < d.K; ++k)
      if (st.traitWeight[U(k)] > 0) Print(os, "%d\t", k + 1);
    Print(os, "\nSelected factors and observation states in the communities:\n");
    for (int p = 0; p < d.P; ++p)
      if (st.predictorSelect[U(p)]) Print(os, "Factor:\t%s\t5 classes\n", st.predictorLabels[U(p)].c_str());
    auto lines = [&](const char* title, const std::vector<double>& v) {
      Print(os, "%s", title);
      for (int p = 0; p < d.P; ++p)
        if (st.predictorSelect[U(p)]) Print(os, "Factor:\t%s\tPseudo-F\tP=\t%g\n", st.predictorLabels[U(p)].c_str(), v[U(p)]);
    };
    lines("\nMANOVA using matrix T (community weighted means) as multivariate response:\n", c.manovaT);
    Print(os, "ANOVA for each selected individual trait using pseudo-F (between/within groups sum of squares):\n");
    for (int p = 0; p < d.P; ++p)
      if (st.predictorSelect[U(p)])
        for (int k = 0; k < d.K; ++k)
          if (st.traitWeight[U(k)] > 0) Print(os, "Trait:\t%d\tPseudo-F\tP=\t%g\n", k + 1, c.anovaTrait[p][k]);
    lines("MANOVA using matrix X (fuzzy-weighted community composition using all selected traits) as multivariate "
          "response:\n", c.manovaX);
    lines("ANOVA using Rao funtional diversity (using all selected traits) as univariate response:\n", c.anovaR);
  }
  CheckWritten(os);
}

}  // namespace kalios
