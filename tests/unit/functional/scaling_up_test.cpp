#include "functional/scaling_up.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "functional/analysis_data.h"
#include "shell/abort.h"

#include <algorithm>

namespace kalios {
namespace {

using testing::AnalysisFixture;
using testing::ReadAll;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs the analysis with few permutations and returns the results file.
std::string RunAnalysis(AnalysisFixture& f, int niter = 9) {
  f.app.opts.niter = niter;
  PFTs_ScalingUp(f.app);
  return f.Results();
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto i = text.find(part); i != std::string::npos; i = text.find(part, i + 1)) ++n;
  return n;
}


TEST(FunctionalReport, LinearModelsWithoutEcologicalVariablesAreLeftOut) {
  // The linear models have nothing to model without E: their sections are
  // left out and the rest of the file is written.
  for (int mode : {2, 3, 4, 5}) {
    AnalysisFixture g("small");
    g.app.data.nenv = 0;
    g.app.data.eVarSelect.clear();
    g.app.opts.opt_ro = mode;
    const std::string t = RunAnalysis(g);
    EXPECT_FALSE(Has(t, "REGRESSION MODELS")) << mode;
    EXPECT_FALSE(Has(t, "ANALYSIS OF VARIANCE")) << mode;
    EXPECT_TRUE(Has(t, "\n\nDIVERSITY")) << mode;
  }
}

TEST(FunctionalReport, DeselectedFirstVariableLabelsRowsWithTheSelectedOnes) {
  AnalysisFixture f("small");
  f.app.data.eVarSelect[0] = 0;
  const std::string text = RunAnalysis(f);
  EXPECT_TRUE(Has(text, "\nSelected ecological variables (factors or effects):\televation\t\n"));
  EXPECT_EQ(Count(text, "\nelevation\t"), 3);  // one row in each of the three ordinations
  EXPECT_EQ(Count(text, "\nmoisture\t"), 0);
  // E itself is still shown whole.
  EXPECT_TRUE(Has(text, "\nEcological variables (factors or effects):\tmoisture\televation\t\n"));
}

TEST(FunctionalReport, SingleTypeEndsAfterTheTraitSection) {
  AnalysisFixture f("small");
  f.app.data.partition_OTUs.assign(8, 1);
  f.app.data.nGrPoly[0] = 1;
  f.app.prefs.saveRndData = 'y';
  const std::string text = RunAnalysis(f);
  const std::string end =
      "\nTraits:\tSLA\theight\twoody\tdispersal\t\n\nNo community matrices and no tests: the analysis needs at "
      "least 2 OTUs in at least 2 types, and 8 OTUs in 1 type were given.\n\n";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
  EXPECT_FALSE(Has(text, "specified types"));
  EXPECT_FALSE(std::filesystem::exists(f.dir / "smallRDa.txt"));
}

TEST(FunctionalReport, BootstrapLeavesTheOrdinationsOfTheObservedCommunities) {
  AnalysisFixture g("small");
  g.app.opts.doBootstrapOpt = true;
  const std::string boot = RunAnalysis(g);
  // The ordinations describe the observed communities, as without bootstrap.
  AnalysisFixture h("small");
  const std::string plain = RunAnalysis(h);
  const auto tail = [](const std::string& t) { return t.substr(t.find("\n\nDIVERSITY")); };
  EXPECT_EQ(tail(boot), tail(plain));
}

int AbortCode(AnalysisFixture& f) {
  try {
    RunAnalysis(f);
  } catch (const AbortError& e) {
    return e.code();
  }
  return 0;
}

// An analysis that stops halfway (here: the intermediate-results file cannot
// be opened, after the first sections were written) leaves the earlier
// results file as it was, whether it was to be replaced or appended to.
TEST(FunctionalReport, AbortHalfwayKeepsTheEarlierResults) {
  for (const char* mode : {"w", "a"}) {
    AnalysisFixture f("small");
    const std::string old = "results of an earlier analysis\n";
    { std::ofstream(f.dir / "smallPrinda.txt") << old; }
    std::filesystem::create_directory(f.dir / "smallRDa.txt");
    f.app.prefs.saveRndData = 'y';
    f.app.opts.prindaMode = mode;
    EXPECT_EQ(AbortCode(f), kAbortOpenFailed) << mode;
    EXPECT_EQ(f.Results(), old) << mode;
    for (const auto& e : std::filesystem::directory_iterator(f.dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  }
}


// A phylogeny of distances and one of descriptors: the headings follow the
// kind, and distances are ordinated and turned into entropies as
// dissimilarities.
TEST(FunctionalReport, PhylogenyAsDistancesOrAsDescriptors) {
  AnalysisFixture f("small");
  DataSet& d = f.app.data;
  d.phylogenyMatrixType = 3;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) d.phylogenyRese[i][j] = 1.0 - d.phylogenyRese[i][j];
  const std::string text = RunAnalysis(f);
  EXPECT_TRUE(Has(text, "considering phylogenetic dissimilarities between OTUs:\n"));
  AnalysisFixture ref("small");
  const std::string refText = RunAnalysis(ref);
  // The same resemblance given either way gives the same P and Rp.
  const auto block = [](const std::string& t, const std::string& from) {
    const auto i = t.find(from);
    return t.substr(i, t.find("\n\n", i + from.size()) - i);
  };
  EXPECT_EQ(block(text, "\nPooled performance matrix P"), block(refText, "\nPooled performance matrix P"));

  AnalysisFixture g("small");
  DataSet& e = g.app.data;
  e.phylogenyMatrixType = 2;
  e.nClados = 2;
  e.phylogenyData = Matrix<double>(8, 2);
  for (int i = 0; i < 8; ++i) {
    e.phylogenyData[i][0] = i < 4 ? 1 : 2;  // two clades
    e.phylogenyData[i][1] = i / 2 + 1;      // four genera
  }
  e.phylogenyVarType = {2, 2};
  g.app.opts.printDetail = 1;
  const std::string desc = RunAnalysis(g);
  EXPECT_TRUE(Has(desc, "\nVariable types in the phylogeny matrix with 8 OTUs by 2 phylogenetic variables: \n2\t2\t\n"));
  EXPECT_TRUE(Has(desc, "\nSimilarity matrix (Gower index) between 8 OTUs, based on 2 phylogenetic variables:\n"));
  EXPECT_EQ(e.phylogenyRese[0][1], 1.0);  // kept for the analyses that follow
  EXPECT_EQ(e.phylogenyRese[0][2], 0.5);
  EXPECT_EQ(e.phylogenyRese[0][4], 0.0);
}

// With types grouping OTUs, the table of the X ordination against the
// composition has one column per type.
TEST(FunctionalReport, GroupedTypesGiveOneOrdinationColumnPerType) {
  AnalysisFixture f("small");
  f.app.data.partition_OTUs = {1, 1, 2, 2, 3, 3, 4, 4};
  f.app.data.nGrPoly[0] = 4;
  f.app.opts.fuzzy = 0;
  const std::string text = RunAnalysis(f);
  EXPECT_TRUE(Has(text, "\nPooled performance matrix X (6 communities x 4 crisp types):\n"));
  const std::string head = "fuzzy-weighted communities and 8 OTUs:\nAxis:\t1\t";
  const auto i = text.find(head);
  ASSERT_NE(i, std::string::npos);
  const std::string row = text.substr(i + head.size(), text.find('\n', i + head.size()) - i - head.size());
  EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 4) << row;
  EXPECT_TRUE(Has(text, "\nNumber of crisp types:\t4\n"));
}



std::string LineAfter(const std::string& text, const std::string& heading) {
  const auto i = text.find(heading);
  if (i == std::string::npos) return "(no " + heading + ")";
  const auto b = i + heading.size();
  return text.substr(b, text.find('\n', b) - b);
}

// The quantitative component of the data partition (deviations from the mean
// abundance, negative as often as positive) gave negative Gini-Simpson and
// Rao values: the diversity measures and the Rao entropies of the tests keep
// the relative abundances, while T and X take the component.
TEST(FunctionalReport, QuantitativeComponentKeepsDiversityDefined) {
  AnalysisFixture a("small"), b("small");
  b.app.opts.partOpt = 1;
  const std::string plain = RunAnalysis(a), quant = RunAnalysis(b);
  for (const char* heading :
       {"similarities):\n", "between OTUs (Rf):\n", "(FR = D-Rf):\n", "[D= 1-S] between OTUs:\n"}) {
    EXPECT_EQ(LineAfter(quant, heading), LineAfter(plain, heading)) << heading;
    EXPECT_EQ(LineAfter(quant, heading).find('-'), std::string::npos) << heading;
  }
  EXPECT_TRUE(Has(quant, "the quantitative component of the data partition holds negative values"));
  EXPECT_FALSE(Has(plain, "quantitative component of the data partition holds"));
  const auto value = [](const std::string& t, const std::string& label) {
    return std::stod(t.substr(t.find(label + "=\t") + label.size() + 2));
  };
  const std::string re = "Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)";
  EXPECT_EQ(value(quant, re), value(plain, re));
  EXPECT_NE(value(quant, "Convergence (TCAP): r(TE)"), value(plain, "Convergence (TCAP): r(TE)"));
}

// Headings true of what they head: community labels kept apart, the
// transformation of phylogenetic similarities as the preference sets it.
TEST(FunctionalReport, HeadingsSayWhatTheyHead) {
  AnalysisFixture a("small");
  a.app.prefs.sqrtDissimOpt_RaoPhyl = false;
  const std::string text = RunAnalysis(a);
  EXPECT_TRUE(Has(text, "Community labels: site01\tsite02\tsite03\tsite04\tsite05\tsite06\t\n"));
  EXPECT_TRUE(Has(text, "Rao entropy based on phylogeny computed on square root transformed dissimilarities? not\n"));
  EXPECT_TRUE(Has(text, "obtained by transformation of input similarities [D= 1-S] between OTUs:\n"));
  EXPECT_FALSE(Has(text, "sqrt(1-S)"));
  AnalysisFixture b("small");
  b.app.prefs.sqrtDissimOpt_RaoPhyl = true;
  EXPECT_TRUE(Has(RunAnalysis(b), "obtained by transformation of input similarities [D= sqrt(1-S)] between OTUs:\n"));
}

}  // namespace
}  // namespace kalios
