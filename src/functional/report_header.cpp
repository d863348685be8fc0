// Sections of the results file written before the tests: the header, the
// composition, the phylogeny, traits and environment, and the types; and the
// community matrices written once the tests have run.
#include "functional/option_names.h"
#include "functional/report.h"
#include "measures/transform.h"
#include "numlib/print.h"
#include "shell/cformat.h"
#include "shell/shell.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

void SelectedTraitLabels(const ReportContext& c) {
  const DataSet& ds = c.app.data;
  for (int k = 0; k < ds.nch; ++k)
    if (c.st.chSelect[U(k)]) Print(c.os, "%s\t", ds.chLabel[U(k)].c_str());
}

// The selected columns of an n x p matrix.
Matrix<double> SelectedColumns(int n, const double* const* M, const std::vector<int>& select) {
  int cols = 0;
  for (int v : select) cols += v ? 1 : 0;
  Matrix<double> out(n, cols);
  for (int i = 0; i < n; ++i) {
    int j2 = 0;
    for (std::size_t j = 0; j < select.size(); ++j)
      if (select[j]) out[i][j2++] = M[i][j];
  }
  return out;
}

}  // namespace

void WriteReportHeader(const ReportContext& c, bool withVersionLine) {
  const App& app = c.app;
  const DataSet& ds = app.data;
  const AnalysisOptions& o = app.opts;
  const Preferences& pr = app.prefs;
  const ScalingUpState& st = c.st;
  std::ostream& os = c.os;

  if (withVersionLine) Print(os, "\n%s\n", kVersionLine);
  Print(os, "%s\n", kRuleLine.c_str());
  Print(os, "EXPLORATION OF COMMUNITY DATA STRUCTURES\n");
  Print(os, "%s\n", kRuleLine.c_str());
  os << c.stamp;
  Print(os, "Session:          %s\n", app.shell.sessionName.c_str());
  Print(os, "Formatted data:   %s\n", app.track.whichFormda.c_str());
  Print(os, "Unformatted data: %s\n\n", ds.dataName.c_str());
  Print(os, "Trait set:        ");
  for (int k = 0; k < ds.nch; ++k) Print(os, "%s\t", ds.chLabel[U(k)].c_str());
  Print(os, "\nNumber of states: ");
  for (int k = 0; k < ds.nch; ++k) Print(os, "%d\t", ds.onsta[U(k)]);
  Print(os, "\nTrait type:       ");
  for (int k = 0; k < ds.nch; ++k) Print(os, "%d\t", ds.chtype[U(k)]);
  Print(os, "\nTrait weights:     ");
  for (int k = 0; k < ds.nch; ++k) Print(os, "%g\t", ds.weight[U(k)]);

  Print(os, "\nCommunity data matrix W adjusted to unit totals prior to trait convergence (TCAP) and diversity "
            "computations.\n");
  if (o.optUnitTotalAdjust2)
    Print(os, "Community data matrix W adjusted to unit totals prior to evaluation of TDAP.\n");
  else
    Print(os, "Community data matrix W NOT adjusted to unit totals prior to evaluation of TDAP.\n");

  Print(os, "\nPooling of OTUs: %s\n", OptionName(poolCSToptInfo, o.poolCSTopt - 1));
  Print(os, "Clustering method defining types: none (groups were specified by the user).\n");
  Print(os, "Resemblance function between OTUs: %s\n", OptionName(reseCSToptInfo, o.reseCSTopt - 1));
  Print(os, "Gower index modified to count matching absences in binary traits? %s\n",
        OptionName(YesNotInfo, pr.countDoubleAbsence));

  const char* phyloLine = st.phylogeny ? "\nPhylogeny: Is considered\n" : "\nPhylogeny: Is NOT considered\n";
  Print(os, "%s", phyloLine);
  Print(os, "Rao entropy based on traits computed on square root transformed dissimilarities? %s\n",
        OptionName(YesNotInfo, pr.sqrtDissimOpt_RaoTraits ? 1 : 0));
  if (st.phylogeny)
    Print(os, "Rao entropy based on phylogeny computed on square root transformed dissimilarities? %s\n",
          OptionName(YesNotInfo, pr.sqrtDissimOpt_RaoPhyl ? 1 : 0));
  Print(os, "%s", phyloLine);

  if (st.nSelectedTraits < ds.nch) {
    Print(os, "Traits considered in the computation of OTUs resemblance:\n");
    SelectedTraitLabels(c);
  } else {
    Print(os, "All traits were considered in the computation of resemblance between OTUs.\n");
  }
  Print(os, "\nFuzzy transformation: \t%s\n", OptionName(fuzzyInfo, o.fuzzy));
  Print(os, "Number of types examined: \t%d\n", st.k);

  if (o.opt_ro == 1) {
    if (o.opt_MatrixCorr == 'r')
      Print(os, "\nCorrelation function between matrices: \t%s (Rd Omelkaa & Hudecovaa 2013) %s", opt_roInfo[0],
            o.squareDistMatrixOpt ? "with squared dissimilarities\n" : "with unsquared dissimilarities\n");
    else
      Print(os, "\nCorrelation function between matrices: \t%s (Mantel)\n", opt_roInfo[0]);
  } else if (o.opt_ro == 2 || o.opt_ro == 3) {
    Print(os, "\nMatrix correlation function between matrices: \t%s\n", OptionName(opt_roInfo, o.opt_ro - 1));
  }
  if (o.opt_ro == 1 || o.opt_ro == 5)
    Print(os, "Resemblance option between communities: %s\n", OptionName(rese_optInfo, o.rese_opt - 1));
  if (o.opt_ro == 2)
    Print(os, "Factor (f) for limiting the number of predictors in PCA regression in relation to sample size n "
              "(number of predictors = n/f): %g\n",
          pr.overfitFactorPCARegr);

  Print(os, "\nNumber of communities: %d\n", ds.ncsm);
  Print(os, "Community labels: ");
  // Labels of six characters or more would run together in a padded field.
  for (int i = 0; i < ds.ncsm; ++i) Print(os, "%s\t", ds.reLabel[U(i)].c_str());
  Print(os, "\n");

  if (st.anyExcluded) {
    Print(os, "\nOTUs weights (zero ones not considered in the computation of Rao entropy, Simpson diversity, and "
              "matrices T, X and P):\n");
    for (int j = 0; j < ds.tcst; ++j) Print(os, "%d\t", ds.weight_OTUs[U(j)]);
    if (!o.keepAdditivity)
      Print(os, "\nScale was maintained, but additivity is lost for complementary sets of OTUs' weights.\n");
    else
      Print(os, "\nAdditivity was maintained but the scales of T, X, P and diversity measures are not comparable "
                "between complementary sets of OTUs' weights.\n");
    if (o.restrictRaoWithinOpt)
      Print(os, "\nFuzzy-weighting and Rao entropy RESTRICTED to dis-similarities WITHIN subset of selected "
                "OTUs.\n");
    else
      Print(os, "\nFuzzy-weighting and Rao entropy included dis-similarities WITHIN subset of selected OTUs and "
                "also BETWEEN selected and unselected subsets of OTUs.\n");
  } else {
    Print(os, "\nAll OTUs were equally considered in the computation of Rao entropy, Simpson diversity, and "
              "matrices T, X and P.\n");
  }
}

void WriteCompositionSection(const ReportContext& c) {
  const App& app = c.app;
  if (app.opts.printDetail != 1) return;
  const ScalingUpState& st = c.st;
  const int d = app.prefs.sDigits;
  std::ostream& os = c.os;
  Print(os, "\nCommunity matrix W with %d communities by %d OTUs: \n", st.n, st.s);
  PrintMatrixTab(os, st.n, st.s, st.Wraw, d);
  Print(os, "\n");
  Print(os, "\nCommunity matrix W with %d communities by %d OTUs adjusted to unit sum within each community: \n",
        st.n, st.s);
  if (st.keepScale)
    Print(os, "(columns corresponding to deselected OTUs are zeroed, so that the remaining values are adjusted to "
              "keep unit total within each community)\n");
  if (app.opts.partOpt == 1)
    Print(os, "(values correspond to the QUANTITATIVE component according to Williams & Dale (1962) "
              "partitioning): \n");
  else if (app.opts.partOpt == 2)
    Print(os, "(values correspond to the QUALITATIVE component according to Williams & Dale (1962) "
              "partitioning): \n");
  PrintMatrixTab(os, st.n, st.s, st.Wtcap, d);
  Print(os, "\n");
  Print(os, "\nCommunity matrix Y with Beals (1984) smoothing of matrix W, with %d communities by %d OTUs %s", st.n,
        st.s,
        app.prefs.BealsIncludeOpt ? "(abundance of target OTU included in its own estimation):\n"
                                  : "(abundance of target OTU NOT included in its own estimation):\n");
  PrintMatrixTab(os, st.n, st.s, st.Y, d);
  Print(os, "\n");
}

void WritePhylogenySection(const ReportContext& c) {
  const ScalingUpState& st = c.st;
  if (!st.phylogeny) return;
  const App& app = c.app;
  const DataSet& ds = app.data;
  const bool detail = app.opts.printDetail == 1;
  const int d = app.prefs.sDigits;
  std::ostream& os = c.os;
  const int s = st.s;
  if (detail) {
    Print(os, "\nPCoA scores based on the phylogenetic resemblance matrix with %d OTUs by %d ordination "
              "dimensions: \n",
          s, st.nPhyloAxes);
    PrintMatrixTab_T(os, s, st.nPhyloAxes, st.phyloScores, d);
  }
  if (ds.phylogenyMatrixType == 2) {
    Print(os, "\nVariable types in the phylogeny matrix with %d OTUs by %d phylogenetic variables: \n", s,
          ds.nClados);
    PrintVectorTab(os, ds.nClados, ds.phylogenyVarType.data());
  }
  if (detail) {
    if (ds.phylogenyMatrixType == 1) {
      Print(os, "\nSimilarity matrix, in the range 0-1, between %d OTUs based on their phylogeny:\n", s);
    } else if (ds.phylogenyMatrixType == 3) {
      Print(os, "\nDissimilarity matrix, in the range 0-1, between %d OTUs based on their phylogeny:\n", s);
    } else {
      Print(os, "\nPhylogeny matrix with %d OTUs by %d phylogenetic variables: \n", s, ds.nClados);
      PrintMatrixTab(os, s, ds.nClados, ds.phylogenyData, d);
      Print(os, "\n");
      Print(os, "\nSimilarity matrix (Gower index) between %d OTUs, based on %d phylogenetic variables:\n", s,
            ds.nClados);
    }
    PrintMatrixTab(os, s, s, st.SF, d);
  }
  Print(os, "\nPartition vector of %d OTUs in %d taxa:\n", s, st.nTaxa);
  PrintVectorTab(os, s, ds.partition_OTUs_Phyl.data());
  if (detail) {
    Print(os, "\nFuzzy belonging of %d OTUs (rows) in %d taxa (columns) according to their phylogeny:\n", s,
          st.nTaxa);
    PrintMatrixTab(os, s, st.nTaxa, st.Q, d);
  }
  Print(os, "\nPooled performance matrix P (%d communities x %d taxa) after fuzzy-weighting by the specified "
            "phylogeny:\n",
        st.n, st.nTaxa);
  PrintMatrixTab(os, st.n, st.nTaxa, st.P, d);
  Print(os, "\n");
}

void WriteTraitsEnvironmentSection(const ReportContext& c) {
  const App& app = c.app;
  const DataSet& ds = app.data;
  const ScalingUpState& st = c.st;
  const bool detail = app.opts.printDetail == 1;
  const int d = app.prefs.sDigits;
  std::ostream& os = c.os;
  if (detail) {
    Print(os, "\nTrait matrix B with %d OTUs by %d traits: \n", ds.tcst, ds.nch);
    PrintMatrixTab(os, ds.tcst, ds.nch, ds.csm_Float, d);
  }
  if (ds.nenv > 0) {
    Print(os, "\nEcological variables (factors or effects):\t");
    for (int j = 0; j < ds.nenv; ++j) Print(os, "%s\t", ds.envLabel[U(j)].c_str());
    Print(os, "\n");
    Print(os, "\nMatrix E with ecological variables (%d communities x %d variables):\n", ds.ncsm, ds.nenv);
    PrintMatrixTab(os, ds.ncsm, ds.nenv, ds.env, d);
    Print(os, "\n");
    if (app.opts.opt_ro == 1) {
      Print(os, "Resemblance matrix (DE) between community sites based on ecological variables:\n");
      PrintLowerHalfMatrixTab(os, st.n, st.DE, d);
    }
  }
  Print(os, "\nTraits:\t");
  SelectedTraitLabels(c);
  Print(os, "\n");
  if (detail) {
    Print(os, "\nSimilarity matrix between %d OTUs, based on %d traits:\n", st.s, st.nSelectedTraits);
    PrintLowerHalfMatrixTab(os, st.s, st.S, d);
  }
}

void WriteTypesSection(const ReportContext& c) {
  const ScalingUpState& st = c.st;
  if (!st.typesAnalysed) return;
  const App& app = c.app;
  const DataSet& ds = app.data;
  const bool detail = app.opts.printDetail == 1;
  const int d = app.prefs.sDigits;
  std::ostream& os = c.os;
  Print(os, "\nPartition vector of %d OTUs in %d specified types:\n", st.s, st.k);
  PrintVectorTab(os, st.s, ds.partition_OTUs.data());
  if (app.opts.OTUsTypesAreSpecies) {
    Print(os, "\nThe types are species (# labels are used later in these results to identify the species) :\n");
    Print(os, "#\tSpecies\n");
    for (int t = 0; t < st.k; ++t) {
      const int label = st.typeLabels[U(t)];
      const bool known = label >= 1 && label <= static_cast<int>(ds.spp.size());
      Print(os, "%d\t%s\n", label, known ? ds.spp[U(label - 1)].c_str() : "");
    }
  }
  if (detail) {
    Print(os, "\nFuzzy degrees of belonging (matrix U) of %d OTUs (rows) in %d types (columns):\n", st.s, st.k);
    PrintMatrixTab(os, st.s, st.k, st.U, d);
  }
  if (!app.opts.OTUsTypesAreSpecies) {
    Print(os, "\nLabels of %d specified types:\n", st.k);
    PrintVectorTab(os, st.k, st.typeLabels.data());
  }
  Print(os, "\nNumber of OTUs in each type:\n");
  PrintVectorTab(os, st.k, st.typeCounts.data());
  Print(os, "\n");
  if (detail) {
    Print(os, "\nAverage trait matrix (%d types x %d traits):\n", st.k, st.p);
    PrintMatrixTab(os, st.k, st.p, st.typeTraits, d);
  }
}

void WriteCommunityMatricesSection(const ReportContext& c) {
  const App& app = c.app;
  const ScalingUpState& st = c.st;
  const int d = app.prefs.sDigits;
  std::ostream& os = c.os;
  Print(os, "\nTraits:\t");
  SelectedTraitLabels(c);
  Print(os, "\n");
  if (!st.nominalSelected) {
    Matrix<double> T = SelectedColumns(st.n, st.T, st.chSelect);
    Print(os, "\nMatrix T with trait averages at community level (%d communities x %d traits):\n", st.n, T.cols());
    PrintMatrixTab(os, st.n, T.cols(), T, d);
    Print(os, "\n");
    NormalizeColsMV(st.n, T.cols(), T, T);
    Print(os, "\nMatrix T with normalized traits at community level (%d communities x %d traits adjusted to unit "
              "length):\n",
          st.n, T.cols());
    PrintMatrixTab(os, st.n, T.cols(), T, d);
  }
  if (app.opts.fuzzy == 3) {
    Print(os, "Pooled performance matrix X (%d communities x %d types) after fuzzy-weighting by the selected "
              "traits.\n",
          st.n, st.k);
    Print(os, "Selected traits:\t");
    SelectedTraitLabels(c);
    Print(os, "\n");
    PrintMatrixTab(os, st.n, st.k, st.X, d);
  } else {
    Print(os, "\nPooled performance matrix X (%d communities x %d crisp types):\n", st.n, st.k);
    PrintMatrixTab(os, st.n, st.k, st.Xcrisp, d);
  }
  Print(os, "\n");
}

}  // namespace kalios
