// Sections of the results file that report the permutation tests: the
// statistics heading, the correlation lines, the linear models and the test
// settings.
#include "functional/report.h"
#include "shell/cformat.h"
#include "testing/regression.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

using Rec = PermTest_FunctionalPhyl_Correl_Input;

// Follows the line of a statistic that the null model cannot test.
constexpr const char* kNotTestedLine = "(not tested under the site shuffle null model)\n";

// One tested correlation: the label, then the observed value, its P-value
// (order A) and its summaries (order B).
void StatLine(std::ostream& os, const char* label, const Rec& r, int a) {
  const auto ua = U(a);
  const auto ub = U(kPermStatAtoB[ua]);
  if (!r.tested[ua]) {
    Print(os, "%s=\t%g\tP=\t-\tSES=\t-\tE=\t-\tLL=\t-\tUL=\t-\tasymmetry-based P-value=\t-\n%s", label,
          r.obsStat[ua], kNotTestedLine);
    return;
  }
  Print(os, "%s=\t%g\tP=\t%g\tSES=\t%g\tE=\t%g\tLL=\t%g\tUL=\t%g\tasymmetry-based P-value=\t%g\n", label,
        r.obsStat[ua], r.probStat[ua], r.sesStat[ub], r.expStat[ub], r.llStat[ub], r.ulStat[ub],
        r.asymProbStat[ub]);
}

const std::string& EnvLabel(const ReportContext& c, int v) {
  return c.app.data.envLabel[U(c.st.envColumns[U(v)])];
}

// Factor lines of one response in the regression section.
void RegressionFactors(const ReportContext& c, const Rec& r, int response) {
  for (int v = 0; v < c.st.e; ++v)
    Print(c.os, "Factor:\t%s\tcoeff=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", EnvLabel(c, v).c_str(),
          r.coefRegr[v][response], r.probCoefRegr[v][response], r.sesCoefRegr[v][response],
          r.expCoefRegr[v][response]);
  Print(c.os, "Intercept=\t%g\n", r.interceptRegr[response]);
  const int cases = CompleteCases(c.st.n, c.st.e, r.E, r.Tout, response);
  if (cases < c.st.n)
    Print(c.os, "Fitted on the %d communities with no missing value (of %d).\n", cases, c.st.n);
}

void PseudoFLines(const ReportContext& c, const double* f, const double* p, const double* ses, const double* e) {
  for (int v = 0; v < c.st.e; ++v)
    Print(c.os, "Factor:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", EnvLabel(c, v).c_str(), f[v], p[v],
          ses[v], e[v]);
}

}  // namespace

std::vector<ReportedStatistic> ReportedStatistics(const ScalingUpState& st) {
  using G = ReportedGroup;
  const bool withT = !st.nominalSelected;
  const bool withE = st.e > 0;
  std::vector<ReportedStatistic> out;
  auto add = [&](bool shown, G g, const char* label, int a) {
    if (shown) out.push_back({g, label, a});
  };
  add(withE && withT, G::kEnvironment, "Convergence (TCAP): r(TE)", kA_TE);
  add(withE, G::kEnvironment, "Both TCAP and Divergence (TDAP): r(XE)", kA_XE);
  add(withE && withT, G::kEnvironment, "TDAP: r(XE.T)", kA_XE_T);
  add(withE, G::kEnvironment, "Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)",
      kA_RE);
  add(withE && withT, G::kEnvironment, "Beta divergence indicated by partial correlation: r(XE.TR)", kA_XE_TR);
  add(withT, G::kBeals, "r(TY)", kA_TY);
  add(true, G::kBeals, "r(XY)", kA_XY);
  add(withT, G::kBeals, "r(XY_T)", kA_XY_T);
  add(withT, G::kBeals, "r(XY_TR)", kA_XY_TR);
  add(true, G::kBeals, "r(RY)", kA_RY);
  if (!st.phylogeny) return out;
  add(true, G::kSignal, "ro(BF)", kA_BF);
  add(withE, G::kPhylogeny, "Correlation of PSAP to ecological variables: ro(PE)", kA_PE);
  add(withT, G::kPhylogeny, "Correlation of PSAP to TCAP: ro(PT)", kA_PT);
  add(true, G::kPhylogeny, "Correlation of PSAP to both TCAP and TDAP: ro(PX)", kA_PX);
  add(withT, G::kPhylogeny, "Correlation of PSAP to TDAP: ro(PX.T)", kA_PX_T);
  add(withE && withT, G::kPhylogeny, "Removing phylogeny from TCAP: ro(TE.P)", kA_TE_P);
  add(withE, G::kPhylogeny, "Removing phylogeny from both TCAP and TDAP: ro(XE.P)", kA_XE_P);
  add(withE && withT, G::kPhylogeny, "Removing phylogeny from TDAP: ro(XE.TP)", kA_XE_TP);
  add(withE && withT, G::kPhylogeny, "Removing TCAP from phylogeny: ro(PE.T)", kA_PE_T);
  add(withE, G::kPhylogeny, "Removing TCAP and TDAP from phylogeny: ro(PE.X)", kA_PE_X);
  add(withE, G::kPhylogeny,
      "Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): r(FE)",
      kA_FE);
  return out;
}

std::string StatisticSymbol(const char* label) {
  const std::string s(label);
  const std::size_t colon = s.rfind(": ");
  return colon == std::string::npos ? s : s.substr(colon + 2);
}

void WriteStatisticsSection(const ReportContext& c, const Rec& r) {
  const App& app = c.app;
  const AnalysisOptions& o = app.opts;
  const Preferences& pr = app.prefs;
  const ScalingUpState& st = c.st;
  const DataSet& ds = app.data;
  std::ostream& os = c.os;

  switch (o.opt_ro) {
    case 1:
      if (o.opt_MatrixCorr == 'r')
        Print(os, "\n\nThe statistics shown below are Rd matrix correlations (Omelka & Hudecovaa 2013). %s",
              o.squareDistMatrixOpt ? "Squared dissimilarities were used, thus the statistic is equivalent to the "
                                      "RV coefficient of Escoufier (1973).\n"
                                    : "Unsquared dissimilarities were used.\n");
      else
        Print(os, "\n\nThe statistics shown below are Mantel type matrix correlations. %s",
              o.squareDistMatrixOpt ? "Squared dissimilarities were used.\n" : "Unsquared dissimilarities were used.\n");
      break;
    case 2:
      Print(os, "\nThe statistics shown below are Procrustes correlations (traceW).\n");
      break;
    case 3:
      Print(os, "\nThe statistics shown below are RV coefficients (Escoufier 1973).\n");
      break;
    case 4:
      Print(os, "\nThe statistics shown below are the r square and regression coefficients.\n");
      break;
    case 5:
      Print(os, "\nThe statistics shown below are pseudo-F values (between/within groups sum of squares).\n");
      break;
    default:
      break;
  }
  const bool correlations = o.opt_ro >= 1 && o.opt_ro <= 3;
  if (!correlations) return;

  Print(os, "Each statistics is followed by the corresponding p-value, standardized effect size (SES), expected "
            "value obtained under H0, ");
  if (o.doBootstrapOpt)
    Print(os, "95%c confidence interval of the observed value obtained in %d bootstrap samples, and asymmetry-based "
              "P-value.\n",
          '%', o.niter);
  else
    Print(os, "95%c confidence interval under H0, and asymmetry-based P-value.\n", '%');
  if (pr.oneMatrixPermPartialCorr)
    Print(os, "The tests for partial correlation involved the permutation of only the first matrix (according to "
              "Tobrin et al. 2009 and Tobrin & Melcas 2010).\n");
  else
    Print(os, "The tests for partial correlation involved the permutation of both matrices based on the same traits "
              "matrix B, so that based on the null model the same permutations affected simultaneously T, X and R "
              "matrices.\n");
  if (pr.nonParametricSES_opt)
    Print(os, "Standardized effect sizes (SES) shown below are non-parametric.\n");
  else
    Print(os, "Standardized effect sizes (SES) shown below are parametric.\n");

  const bool withE = st.e > 0;
  const std::vector<ReportedStatistic> listed = ReportedStatistics(st);
  auto lines = [&](ReportedGroup g) {
    for (const ReportedStatistic& l : listed)
      if (l.group == g) StatLine(os, l.label, r, l.a);
  };
  lines(ReportedGroup::kEnvironment);
  Print(os, "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by "
            "their abundances according to DeCaceres&Legendre (2008):\n");
  lines(ReportedGroup::kBeals);
  if (pr.twoTailedTest)
    Print(os, "Permutation tests of non-partial matrix correlations generated one-tailed P-values.\nPermutation "
              "tests of partial matrix correlations generated P-values according to the observed value of the "
              "correlation being larger or smaller than the median of values found under the null hypothesis. If "
              "smaller than the median, P(valueH0 \xe2\x89\xa4 obs), if larger or equal, P(valueH0 \xe2\x89\xa5 "
              "obs) was computed.\n");
  else
    Print(os, "Permutation tests of all matrix correlations generated one-tailed P-values, even for partial "
              "correlations.\n");

  Print(os, o.fuzzy == 3 ? "\nNumber of fuzzy types:\t%d\nTraits:\t" : "\nNumber of crisp types:\t%d\nTraits:\t",
        st.k);
  for (int k = 0; k < ds.nch; ++k)
    if (st.chSelect[U(k)]) Print(os, "%-2s\t", ds.chLabel[U(k)].c_str());
  Print(os, "\nNumber of OTUs in each type:\t");
  for (int t = 0; t < st.k; ++t) Print(os, "%d\t", st.typeCounts[U(t)]);
  Print(os, "\n");
  if (withE) {
    Print(os, "\nSelected ecological variables (factors or effects):\t");
    for (int v = 0; v < st.e; ++v) Print(os, "%s\t", EnvLabel(c, v).c_str());
    Print(os, "\n");
  }

  if (st.phylogeny) {
    const auto a = U(kA_BF);
    const auto b = U(kB_BF);
    if (r.tested[a])
      Print(os, "\nPhylogenetic signal at OTU (species) level ro(BF) = \t%g\tP=\t%g\tSES=\t%g\tE=\t%g\t95%c "
                "confidence interval under H0\tLL=\t%g\tUL=\t%g\tasymmetry-based P-value=\t%g\n",
            r.obsStat[a], r.probStat[a], r.sesStat[b], r.expStat[b], '%', r.llStat[b], r.ulStat[b],
            r.asymProbStat[b]);
    else
      Print(os, "\nPhylogenetic signal at OTU (species) level ro(BF) = \t%g\tP=\t-\tSES=\t-\tE=\t-\t95%c "
                "confidence interval under H0\tLL=\t-\tUL=\t-\tasymmetry-based P-value=\t-\n%s",
            r.obsStat[a], '%', kNotTestedLine);
    Print(os, "\nPhylogenetically structured assembly patterns (PSAP):\n");
    lines(ReportedGroup::kPhylogeny);
  }

  if (o.optTaxaSiteShuffle == 's') {
    // The taxa-shuffle notes below would describe a null model that did not run.
    Print(os, "\n(*)Probability of finding more extreme correlations under the site shuffle null model: the rows of "
              "the community matrices T, X%s and of the diversity vectors were permuted together among the "
              "communities, keeping the ecological variables (matrix E) in place.\n",
          st.phylogeny ? ", P" : "");
  } else if (!st.phylogeny) {
    Print(os, "\n(*)Probability of finding more extreme correlations involving matrices T and X, and vector R, under "
              "null model described in Tobrin et al. (2009).\n");
    Print(os, "Null model involved permutation among OTUs vectors in matrix B, keeping fixed the community matrix W "
              "and, if present, environmental matrix E.\n");
  } else {
    Print(os, "\n(*)Probability of finding more extreme correlations involving matrices T, X and P, and vector R, "
              "under null models described in Tobrin et al. (2009) and Tobrin & Melcas (2010).\n");
    Print(os, "Null model involved (1) permutation among OTUs vectors in matrix B for those correlations involving "
              "matrices T and X and vector R, (2) permutation among vectors in matrix Q for those correlations "
              "involving matrix P (ro(PE), ro(PT) and ro(PE.X)), and (3) identical permutation among row vectors in "
              "both matrices U and Q, for ro(PX) and ro(PX.T). Matrix W and, if present, environmental matrix E "
              "are not permuted.\n");
  }
  if (o.optWeightedNullModel)
    Print(os, "Probability of an OTU occurring in a community was weighted by its frequency in the community set.\n");
  else
    Print(os, "Probability of an OTU occurring in a community was NOT weighted by its frequency in the community "
              "set.\n");
}

void WriteRegressionSection(const ReportContext& c, const Rec& r) {
  const ScalingUpState& st = c.st;
  if (c.app.opts.opt_ro != 4 || st.e == 0) return;
  const DataSet& ds = c.app.data;
  std::ostream& os = c.os;
  Print(os, "\n\nREGRESSION MODELS");
  Print(os, "\nFor each response variable, the r square, and regression coefficients for each environmental "
            "factor, and corresponding p-values are shown below:\n");
  if (!st.nominalSelected)
    for (int j = 0; j < st.p; ++j) {
      if (!st.chSelect[U(j)]) continue;
      Print(os, "\nTrait:\t%s\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", ds.chLabel[U(j)].c_str(),
            r.rsqRegr[j], r.probRsqRegr[j], r.sesRsqRegr[j], r.expRsqRegr[j]);
      RegressionFactors(c, r, j);
    }
  const int fd = st.p;
  Print(os, "\nFunctional diversity:\t\tr-square=\t%g\tp-value=\t%g\n", r.rsqRegr[fd], r.probRsqRegr[fd]);
  RegressionFactors(c, r, fd);
  if (st.phylogeny) {
    const int pd = st.p + 1;
    Print(os, "\nPhylogenentic diversity:\t\tr-square=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", r.rsqRegr[pd],
          r.probRsqRegr[pd], r.sesRsqRegr[pd], r.expRsqRegr[pd]);
    RegressionFactors(c, r, pd);
  }
}

void WriteAnovaSection(const ReportContext& c, const Rec& r) {
  const ScalingUpState& st = c.st;
  if (c.app.opts.opt_ro != 5 || st.e == 0) return;
  const DataSet& ds = c.app.data;
  std::ostream& os = c.os;
  Print(os, "\n\nANALYSIS OF VARIANCE\n");
  Print(os, "Selected communities:\n");
  for (int i = 0; i < st.n; ++i) Print(os, "%d\t", ds.relSelect[U(i)]);
  Print(os, "\n");
  Print(os, "\nSelected traits:\t");
  for (int k = 0; k < st.p; ++k)
    if (st.chSelect[U(k)]) Print(os, "%s\t", ds.chLabel[U(k)].c_str());
  Print(os, "\n");
  Print(os, "\nSelected factors and observation states in %d communities:\n", st.n);
  for (int v = 0; v < st.e; ++v) {
    Print(os, "Factor:\t%s\tStates:\t", EnvLabel(c, v).c_str());
    for (int i = 0; i < st.n; ++i) Print(os, "%d\t", static_cast<int>(st.Eprime[i][v]));
    Print(os, "\n");
  }
  if (!st.nominalSelected) {
    Print(os, "\nMANOVA using matrix T (community weighted means) as multivariate response:\n");
    PseudoFLines(c, r.pseudoF_T, r.probPseudoF_T, r.sesPseudoF_T, r.expPseudoF_T);
    Print(os, "ANOVA for each selected individual trait the pseudo-F (between/within groups sum of squares) and "
              "corresponding p-values are shown below:\n");
    for (int v = 0; v < st.e; ++v) {
      for (int j = 0; j < st.p; ++j) {
        if (!st.chSelect[U(j)]) continue;
        Print(os, "Trait:\t%s\tPseudo-F=\t%g\tp-value=\t%g\tSES=\t%g\tE=\t%g\n", ds.chLabel[U(j)].c_str(),
              r.pseudoF_Traits[v][j], r.probPseudoF_Traits[v][j], r.sesPseudoF_Traits[v][j],
              r.expPseudoF_Traits[v][j]);
      }
      Print(os, "\n");
    }
  }
  Print(os, "MANOVA using matrix X (fuzzy-weighted community composition using all selected traits) as multivariate "
            "response:\n");
  PseudoFLines(c, r.pseudoF_X, r.probPseudoF_X, r.sesPseudoF_X, r.expPseudoF_X);
  if (st.phylogeny) {
    Print(os, "MANOVA using matrix P (phylogenetically fuzzy-weighted community composition) as multivariate "
              "response:\n");
    PseudoFLines(c, r.pseudoF_P, r.probPseudoF_P, r.sesPseudoF_P, r.expPseudoF_P);
  }
  Print(os, "\nANOVA using Rao functional diversity (using all selected traits) as univariate response:\n");
  PseudoFLines(c, r.pseudoF_R, r.probPseudoF_R, r.sesPseudoF_R, r.expPseudoF_R);
  if (st.phylogeny) {
    Print(os, "ANOVA using Rao phylogenetic diversity as univariate response:\n");
    PseudoFLines(c, r.pseudoF_Rphyl, r.probPseudoF_Rphyl, r.sesPseudoF_Rphyl, r.expPseudoF_Rphyl);
  }
}

void WriteTestSettingsSection(const ReportContext& c, double elapsedSeconds) {
  const AnalysisOptions& o = c.app.opts;
  std::ostream& os = c.os;
  Print(os, "\nNumber of iterations for permutation tests: %d\n", o.niter);
  Print(os, "Random generator seed: %u\n", o.rseed);
  Print(os, "Elapsed time for the test(s): %g seconds\n", elapsedSeconds);
  if (o.optTaxaSiteShuffle == 's') {
    Print(os, "Null model based on site shuffle, i.e. among community vectors in the resulting matrix of communities "
              "by weighted mean traits, fuzzy-weighted composition, Beals smoothed composition, functional "
              "diversity, and phylogenetic diversity, keeping constant the trait and phylogenetic matrices.\n");
    if (o.opt_ro >= 1 && o.opt_ro <= 3)
      Print(os, "Statistics marked as not tested compare two descriptors of the same community composition, or the "
                "traits with the phylogeny of the OTUs: the site shuffle either leaves them unchanged or breaks a "
                "tie between them that is not the one tested, so it gives them no P-value.\n");
    return;
  }
  Print(os, "Null model based on taxa shuffle, i.e. among OTU vectors in the traits or phylogenetic matrix, ");
  Print(os, "keeping compositional matrix W and, if present, environmental matrix E constant.\n");
  if (o.doBootstrapOpt && o.opt_ro != 5)
    Print(os, "The confidence limits come from BOOTSTRAP samples of the communities of compositional matrix W and, "
              "if present, the corresponding environmental matrix E; the P-values from the null model on the "
              "observed communities.\n");
  if (o.optRestrictPermutNullModel == 1) {
    const int s = c.st.s;
    Print(os, "Permutations of OTUs: Restricted within the following groups:\nNesting groups for %d OTUs:\t", s);
    for (int i = 0; i < s && U(i) < o.nestingMembershipOTUs.size(); ++i)
      Print(os, "%d\t", o.nestingMembershipOTUs[U(i)]);
    Print(os, "\n");
  } else {
    Print(os, "Permutations of OTUs: Unrestricted\n");
  }
}

}  // namespace kalios
