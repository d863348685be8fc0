// The simulation study driven by scripted answers in a scratch folder: the
// dialogue's refusals and edge cases, the generated data sets, and whole
// small studies (final report, every-combination mode, abort paths).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "shell/cformat.h"
#include "simulation/study.h"
#include "simulation/study_tables.h"
#include "support/compare.h"
#include "support/scripted.h"
#include "support/tempdir.h"

namespace kalios {
namespace {

using test::Lines;
using testing::ReadAll;
using testing::WriteAll;

// Answers of a small study, changed field by field by each test.
struct Answers {
  std::string S = "6", N = "5", K = "2", F = "2", interactions = "n";
  std::string dispersalCentre = "0.2\n0.8", lifespans = "2\n10";
  std::string power = "y\n1\n0.05\ny";  // power mode, D, alpha, per-data-set results
  std::string response = "response.txt", effects = "effects.txt";
  std::string survival = "1\n1\n-1000000\n-1000000";
  std::string run = "4\n5\n4\n0.5";  // individuals per site, years, iterations per year, threshold

  std::string Text() const {
    return Lines({S, N, K, "t", "traits.txt", "r", dispersalCentre, "-5", "-1", "r", F, "c", "factorcorr.txt", "n",
                  interactions, response, effects, "r", "0.2", "0.8", "-5", "-1", "n", "r", survival, "r", "0.3",
                  "0.7", "-5", "-1", "r", lifespans, "r", "0.5", "0.9", "-5", "-1", run, power, "2", "77"});
  }
};

class Study : public testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    WriteAll("traits.txt", "0.1 1\n0.5 -1\n-1 0.3\n2 0.2\n-0.4 -2\n");
    WriteAll("factorcorr.txt", "1 0\n0 1\n");
    WriteAll("response.txt", "1 0\n0 0\n");
    WriteAll("effects.txt", "0 0\n0 0.5\n");
  }

  // The functional analysis settings as its dialogue would leave them.
  void Settings(DataSet& ds, AnalysisOptions& o) const {
    o.fuzzy = 3;
    o.niter = 20;
    o.optTaxaSiteShuffle = 't';
    o.opt_ro = optRo_;
    // Only matrix correlations and the analysis of variance ask for it.
    o.rese_opt = optRo_ == 1 || optRo_ == 5 ? 6 : 0;
    o.opt_MatrixCorr = 'm';
    o.optUnitTotalAdjust2 = true;
    o.printDetail = 1;
    o.partOpt = 0;
    o.keepAdditivity = true;
    ds.weight.assign(static_cast<std::size_t>(ds.nch), 1.0);
  }

  // Runs the whole study on the answers and what follows them.
  int Run(const std::string& text) {
    test::Scripted s(text);
    DataSet ds;
    AnalysisOptions o;
    Preferences prefs;
    StudyEnvironment env{s.con, ds, o, prefs, [&] { Settings(ds, o); }, 1, true};
    err_.clear();
    const int code = test::AbortCodeOf([&] { IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(env); });
    err_ = s.err.str();
    return code;
  }

  std::string err_;
  int optRo_ = 1;
};

TEST_F(Study, DesignDialogueRefusesWhatWouldEndTheStudyInNaN) {
  Answers a;
  a.dispersalCentre = "0\n0.2\n0.8";  // a centre of 0: refused, asked again
  a.lifespans = "0\n2\n2";            // a lifespan of 0: refused; equal bounds are fine
  test::Scripted s(a.Text());
  StudyDesign d;
  AskStudyDesign(s.con, d);
  EXPECT_NE(s.err.str().find("Incorrect input = 0. Reenter."), std::string::npos);
  EXPECT_EQ(d.dispersal.centreMin, 0.2);
  EXPECT_EQ(d.dispersal.centreMax, 0.8);
  EXPECT_EQ(d.lifeMin, 2);
  EXPECT_EQ(d.lifeMax, 2);
  EXPECT_EQ(d.seed, 77u);
  EXPECT_EQ(d.D, 1);

  StudyState st;
  st.design = std::move(d);
  PrepareStudy(st);
  RandomGenerator rng(5);
  GenerateDataSet(st, rng, 1);
  for (int life : st.run.maxLifespan) EXPECT_EQ(life, 2);
  // Site distances: symmetric, the largest 1.
  double largest = 0;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) {
      EXPECT_EQ(st.run.siteDist[i][j], st.run.siteDist[j][i]);
      largest = std::max(largest, st.run.siteDist[i][j]);
    }
  EXPECT_EQ(largest, 1.0);
}

TEST_F(Study, OneFactorWithInteractionsHasOnePredictorAndOutsidePowerModeOneDataSet) {
  Answers a;
  a.F = "1";
  a.interactions = "y";
  a.power = "n\nn";  // no power mode, no step files
  WriteAll("factorcorr.txt", "1\n");
  WriteAll("response.txt", "1\n0\n");
  WriteAll("effects.txt", "0 0.5\n");
  test::Scripted s(a.Text());
  StudyDesign d;
  AskStudyDesign(s.con, d);
  EXPECT_EQ(d.P, 1);
  EXPECT_EQ(d.D, 1);
  EXPECT_EQ(d.alpha, 0.0);
  EXPECT_TRUE(d.saveDataSetResults);
  EXPECT_FALSE(d.saveSteps);
}

TEST_F(Study, PairRowsFollowTheFactorsInPairOrder) {
  Answers a;
  a.F = "3";
  a.interactions = "y";
  WriteAll("factorcorr.txt", "1 0 0\n0 1 0\n0 0 1\n");
  WriteAll("response.txt", "1 0 0 0 0 0\n0 0 0 0 0 0\n");
  WriteAll("effects.txt", "0 0\n0 0\n0 0\n");
  test::Scripted s(a.Text());
  StudyState st;
  AskStudyDesign(s.con, st.design);
  ASSERT_EQ(st.design.P, 6);
  PrepareStudy(st);
  EXPECT_EQ(st.predictorLabels, (std::vector<std::string>{"1", "2", "3", "1x2", "1x3", "2x3"}));
  RandomGenerator rng(9);
  GenerateDataSet(st, rng, 1);
  const auto& e = st.run.ecosystem;
  for (int i = 0; i < 6; ++i) {
    EXPECT_CLOSE(e[3][i], e[0][i] * e[1][i]);
    EXPECT_CLOSE(e[4][i], e[0][i] * e[2][i]);
    EXPECT_CLOSE(e[5][i], e[1][i] * e[2][i]);
  }
}

TEST_F(Study, ProductTraitsFromTheCorrelationFile) {
  // K = 2 with Q = K(K-1)/2 = 1: the file holds a 1 x 1 matrix and the pair.
  WriteAll("corr.txt", "1\n1 1\n");
  // 'b' (no traits) is refused; the rest of the dialogue as in the other tests.
  const std::string rest = Answers().Text().substr(Lines({"6", "5", "2", "t", "traits.txt"}).size());
  test::Scripted all(Lines({"4", "5", "2", "b", "c", "y", "1", "corr.txt", "u"}) + rest);
  StudyDesign d;
  AskStudyDesign(all.con, d);
  EXPECT_NE(all.err.str().find("The study needs traits"), std::string::npos);
  ASSERT_EQ(d.Q, 1);
  ASSERT_EQ(d.products.size(), 1u);
  StudyState st;
  st.design = std::move(d);
  PrepareStudy(st);
  RandomGenerator rng(3);
  GenerateDataSet(st, rng, 1);
  for (int i = 0; i < 5; ++i) EXPECT_CLOSE(st.traits.scaled[i][1], st.traits.scaled[i][0] * st.traits.scaled[i][0]);
}

TEST_F(Study, AWordInAnInputFileEndsInTheEndOfFileAbortNamingTheFile) {
  WriteAll("response.txt", "1 0\nzero 0\n");
  EXPECT_EQ(Run(Answers().Text()), kAbortEndOfFile);
  EXPECT_NE(err_.find("response.txt"), std::string::npos);
  WriteAll("response.txt", "1 0\n0\n");  // too few numbers
  EXPECT_EQ(Run(Answers().Text()), kAbortEndOfFile);
}

TEST_F(Study, AnOutputFileThatCannotBeOpenedEndsInTheFileOpenAbort) {
  std::filesystem::create_directory("W_Simulated.txt");
  EXPECT_EQ(Run(Answers().Text() + Lines({"n", "1"})), kAbortOpenFailed);
}

TEST_F(Study, OneDataSetGivesProportionsOfZeroOrOne) {
  ASSERT_EQ(Run(Answers().Text() + Lines({"n", "1"})), 0) << err_;
  const std::string report = ReadAll("FinalSimulatedData.txt");
  const auto start = report.find("PROBABILITIES OF Ho REJECTION");
  ASSERT_NE(start, std::string::npos);
  const std::string tail = report.substr(start);
  std::regex p("P=\t([^\n\t]*)");
  int seen = 0;
  for (auto it = std::sregex_iterator(tail.begin(), tail.end(), p); it != std::sregex_iterator(); ++it, ++seen) {
    const std::string v = (*it)[1];
    EXPECT_TRUE(v == "0" || v == "1") << v;
  }
  EXPECT_EQ(seen, 12);
  EXPECT_NE(report.find("Number of random permutations in each test:\t20\n"), std::string::npos);
  EXPECT_NE(report.find("RESULTS WITH SIMULATED DATA 1"), std::string::npos);
}

TEST_F(Study, EveryCombinationModeWritesOneRecordPerSubsetAndVariableAndNoFinalReport) {
  Answers a;
  a.power = "y\n2\n0.05\nn";
  ASSERT_EQ(Run(a.Text() + Lines({"y"})), 0) << err_;
  EXPECT_EQ(ReadAll("FinalSimulatedData.txt").find("FINAL RESULTS"), std::string::npos);
  const std::string summary = ReadAll("Summary.txt");
  // 2 data sets x 3 trait subsets x 2 variables.
  int records = 0;
  for (std::size_t at = summary.find("Simulated data\t"); at != std::string::npos;
       at = summary.find("Simulated data\t", at + 1))
    ++records;
  EXPECT_EQ(records, 12);
  EXPECT_NE(summary.find("Simulated data\t2\tTraits:\t1 2 \tEnvFactors:\t2 "), std::string::npos);
}

TEST_F(Study, OutsidePowerModeTheAnalysesCanBeRepeatedOnTheSameData) {
  Answers a;
  a.power = "n\nn";
  // Settings, all variables, repeat once with only the second variable, stop.
  ASSERT_EQ(Run(a.Text() + Lines({"n", "1", "y", "n", "2", "0", "0", "2", "0", "1", "n"})), 0) << err_;
  EXPECT_NE(err_.find("No ecosystem variable is included"), std::string::npos);
  const std::string report = ReadAll("FinalSimulatedData.txt");
  const auto first = report.find("RESULTS WITH SIMULATED DATA 1");
  ASSERT_NE(first, std::string::npos);
  const auto second = report.find("RESULTS WITH SIMULATED DATA 1", first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_NE(report.find("Ecosystem variable weights:                              \t0\t1", second),
            std::string::npos);
  EXPECT_EQ(report.find("FINAL RESULTS"), std::string::npos);
}

TEST_F(Study, EveryKindOfStatisticRunsToItsFinalReport) {
  const char* blocks[] = {"", "Correlation function between matrices: \tmatrix correlation",
                          "Correlation function between matrices: \tProcrustes",
                          "Correlation function between matrices: \tRV coefficient",
                          "\nFunctional diversity:\t\tr-square\tP=\t", "\nANOVA using Rao funtional diversity"};
  for (optRo_ = 2; optRo_ <= 5; ++optRo_) {
    ASSERT_EQ(Run(Answers().Text() + Lines({"n", "1"})), 0) << optRo_ << err_;
    const std::string report = ReadAll("FinalSimulatedData.txt");
    EXPECT_NE(report.find(blocks[optRo_], report.find("FINAL RESULTS")), std::string::npos) << optRo_;
  }
}

TEST_F(Study, CommunitiesEmptyAtTheEndAreRemovedBeforeTheAnalysis) {
  Answers a;
  a.S = "12";
  a.run = "4\n1\n2\n0.5";  // two iterations with strong filtering: some sites stay empty
  a.survival = "0.1\n0.2\n-40\n-20";
  ASSERT_EQ(Run(a.Text() + Lines({"n", "1"})), 0) << err_;
  // Empty rows of the final composition.
  const std::string w = ReadAll("W_Simulated.txt");
  std::istringstream rows(w.substr(0, w.find("\nSIMULATION DATA")));
  int empty = 0;
  for (std::string line; std::getline(rows, line);) {
    std::istringstream v(line);
    double x = 0, total = 0;
    while (v >> x) total += x;
    if (total == 0) ++empty;
  }
  ASSERT_GT(empty, 0) << w;
  const std::string report = ReadAll("FinalSimulatedData.txt");
  EXPECT_NE(report.find(Format("\nA total of %d empty communities were removed", empty)), std::string::npos);
  EXPECT_NE(report.find("Rao entropy for " + std::to_string(12 - empty) + " community sites"), std::string::npos);
}

}  // namespace
}  // namespace kalios

namespace kalios {
namespace {

TEST(StudyTables, BinomialIntervalHoldsAlphaAndRejectionSharesCountUntestedAsKept) {
  // 20 data sets at alpha 0.05: 0 to 3 rejections are expected 95% of the time.
  const auto [lo, hi] = BinomialRejectionInterval(20, 0.05);
  EXPECT_EQ(lo, 0.0);
  EXPECT_NEAR(hi, 3.0 / 20, 1e-12);
  const auto [lo2, hi2] = BinomialRejectionInterval(1000, 0.05);
  EXPECT_LT(lo2, 0.05);
  EXPECT_GT(hi2, 0.05);
  EXPECT_NEAR(hi2 - 0.05, 0.05 - lo2, 0.003);  // nearly symmetric for many data sets

  std::vector<StudyTestRow> rows = {{1, "r(TE)", "", 0.5, 0.01, true},
                                    {1, "r(XE)", "", 0.1, 0.5, true},
                                    {2, "r(TE)", "", 0.4, 0.05, true},  // P equal to alpha rejects
                                    {2, "r(XE)", "", 0.0, 0.0, false}};  // not tested: not rejected
  const std::vector<RejectionShare> shares = RejectionShares(rows, 0.05);
  ASSERT_EQ(shares.size(), 2u);
  EXPECT_EQ(shares[0].statistic, "r(TE)");
  EXPECT_NEAR(shares[0].proportion, 1.0, 1e-12);
  EXPECT_NEAR(shares[1].proportion, 0.0, 1e-12);
  EXPECT_EQ(shares[1].dataSets, 2);
}

}  // namespace
}  // namespace kalios
