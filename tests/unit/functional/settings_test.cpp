#include "functional/settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "session/temp_dir.h"
#include "shell/abort.h"
#include "shell/input.h"

namespace kalios {
namespace {

using testing::TempDir;
using testing::WriteAll;

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// Answer blocks of one pass through the dialogue for the functional analysis
// on the data set below; each test swaps the block it is about.
struct Script {
  std::string partition = "0\n";
  std::string groups = "k 1 1 2\n";
  std::string fuzzy = "1\n";
  std::string permutations = "99 t 0 n\n";  // iterations, shuffle, restriction, bootstrap
  std::string seed = "2 7\n";
  std::string congruence = "1 6 m\n";       // statistic, resemblance, Mantel
  std::string variables = "1\n";
  std::string traits = "1\n";
  std::string otus = "1\n";
  std::string tail = "y n\n";               // unit totals, detailed printout
  std::string Text() const {
    return partition + groups + fuzzy + permutations + seed + congruence + variables + traits + otus +
           tail;
  }
};

// Three OTUs with three traits (quantitative, binary, nominal) in four
// communities, E with two quantitative variables; no species, no phylogeny.
class SettingsDialogue : public ::testing::Test {
 protected:
  void SetUp() override {
    DataSet& d = data_;
    d.tcst = 3;
    d.nch = 3;
    d.ncsm = 4;
    d.nenv = 2;
    d.chLabel = {"SLA", "woody", "form"};
    d.chtype = {3, 1, 2};
    d.envLabel = {"pH", "moisture"};
    d.envVarType = {3, 3};
    d.optEnvVarType = 2;
    d.temEnvQuant = 1;
    d.AllocateWorkingArrays();
    track_.whichPrinda = "meadowPrinda.txt";
  }

  // Runs the dialogue for the caller on the answers; the App's options start
  // from `opts_`, and what the run leaves is copied back for the checks.
  void Run(const std::string& answers, int caller = 'H') {
    std::istringstream in(answers + "\nEND\n");
    std::ostringstream out, err;
    Console con(in, out, err);
    App app(con);
    app.shell.optmain = caller;
    app.shell.volumeName = dir_.path() + "/";
    app.data = data_;
    app.track = track_;
    app.opts = opts_;
    SettingsHierarchy(app);
    // Every answer was used and no more: the next word is the end marker.
    std::string next;
    in_left_ = ScanString(con, con.in, 10, next) ? next : "";
    EXPECT_EQ(in_left_, "END");
    data_ = app.data;
    opts_ = app.opts;
    out_ = out.str();
    err_ = err.str();
  }

  TempDir dir_;
  DataSet data_;
  SessionTrack track_;
  AnalysisOptions opts_;
  std::string out_, err_, in_left_;
};

// What the reference scripts (fixture test) do not reach: types grouping
// several OTUs and the options every pass sets whatever the answers.
TEST_F(SettingsDialogue, DefaultPass) {
  opts_.optRestrictPermutNullModel = 1;
  opts_.nestingMembershipOTUs = {1, 1, 2};
  Run(Script().Text());
  EXPECT_EQ(err_, "");
  EXPECT_EQ(data_.partition_OTUs, (std::vector<int>{1, 1, 2}));
  EXPECT_EQ(data_.nGrPoly, (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(data_.nchor, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(data_.relSelect, (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(opts_.traitBasedOpt + opts_.poolCSTopt + opts_.reseCSTopt, 4);
  EXPECT_EQ(opts_.whichObj, 'r');
  EXPECT_TRUE(opts_.nestingMembershipOTUs.empty());  // restriction 0 this time
  EXPECT_EQ(out_.find("previous"), std::string::npos);  // no results file: no question
  EXPECT_EQ(opts_.prindaMode, "w");
}

TEST_F(SettingsDialogue, SiteShuffleSkipsRestrictionAndBootstrap) {
  opts_.doBootstrapOpt = true;
  opts_.optRestrictPermutNullModel = 1;
  opts_.nestingMembershipOTUs = {1, 2, 2};
  Script s;
  s.permutations = "50 s\n";
  Run(s.Text());
  EXPECT_EQ(out_.find("OTU permutation restrictions"), std::string::npos);
  EXPECT_EQ(out_.find("Bootstrap"), std::string::npos);
  EXPECT_EQ(opts_.optTaxaSiteShuffle, 's');
  EXPECT_FALSE(opts_.doBootstrapOpt);
  // The skipped restriction keeps the previous analysis' setting.
  EXPECT_EQ(opts_.optRestrictPermutNullModel, 1);
  EXPECT_EQ(opts_.nestingMembershipOTUs, (std::vector<int>{1, 2, 2}));
}

TEST_F(SettingsDialogue, BootstrapIsNeverKeptWithAnalysisOfVariance) {
  // The first analysis of a run: opt_ro is still 0, so the question is asked.
  Script s;
  s.permutations = "99 t 0 y\n";
  s.congruence = "5 10\n";
  data_.temEnvQuant = 0;
  data_.temEnvQual = 1;
  Run(s.Text());
  EXPECT_EQ(opts_.opt_ro, 5);
  EXPECT_EQ(opts_.rese_opt, 10);
  EXPECT_FALSE(opts_.doBootstrapOpt);

  // After an analysis of variance the question is asked again: this
  // analysis' statistic is not known yet.
  data_.temEnvQuant = 1;
  data_.temEnvQual = 0;
  s.congruence = "1 6 r y\n";
  Run(s.Text());
  EXPECT_TRUE(opts_.doBootstrapOpt);
  EXPECT_EQ(opts_.opt_MatrixCorr, 'r');
  EXPECT_TRUE(opts_.squareDistMatrixOpt);
}

TEST_F(SettingsDialogue, CongruenceMenuSaysWhyAStatisticDoesNotFit) {
  data_.temEnvQual = 1;  // E holds a nominal variable as well as a quantitative one
  Script s;
  s.congruence = "4 2 3 5 1 6 m\n";
  Run(s.Text());
  EXPECT_EQ(Occurrences(out_, "\nMeasuring congruence using\n"), 5);
  EXPECT_EQ(Occurrences(err_, "\nMatrix E contains nominal and quantitative variables: choose 1.\n"), 4);
  EXPECT_EQ(opts_.opt_ro, 1);

  // A purely quantitative E takes 2, 3 and 4 at once.
  data_.temEnvQual = 0;
  s.congruence = "4\n";
  Run(s.Text());
  EXPECT_EQ(Occurrences(out_, "\nMeasuring congruence using\n"), 1);
  EXPECT_EQ(opts_.opt_ro, 4);
  EXPECT_EQ(err_, "");

  // Without ecological variables regression and analysis of variance have
  // nothing to print: refused with the reason (no selection question follows).
  data_.nenv = 0;
  data_.temEnvQuant = 0;
  data_.eVarSelect.clear();
  s.congruence = "4 5 3\n";
  s.variables = "";
  Run(s.Text());
  EXPECT_EQ(Occurrences(err_, "need ecological variables (matrix E)"), 2);
  EXPECT_EQ(opts_.opt_ro, 3);
}

TEST_F(SettingsDialogue, ResemblanceAcceptsOnlyWhatTheMenuShows) {
  Script s;
  s.congruence = "1 7 9 8 10 m\n";
  Run(s.Text());
  EXPECT_EQ(opts_.rese_opt, 10);
  EXPECT_EQ(Occurrences(err_, "Incorrect input"), 3);
}

TEST_F(SettingsDialogue, SkippedQuestionsKeepPreviousValues) {
  opts_.rese_opt = 9;
  opts_.opt_MatrixCorr = 'r';
  opts_.squareDistMatrixOpt = true;
  opts_.whichObj = 0;
  opts_.fuzziness = 2.5;
  opts_.rseed = 99;
  opts_.seedOpt = 2;
  Script s;
  s.fuzzy = "0\n";
  s.congruence = "2\n";
  Run(s.Text());
  EXPECT_EQ(opts_.opt_ro, 2);
  EXPECT_EQ(opts_.fuzzy, 0);
  EXPECT_EQ(opts_.fuzziness, 2.5);
  // Procrustes prints nothing that depends on the resemblance between
  // communities; a defined one is set without a question.
  EXPECT_EQ(opts_.rese_opt, 6);
  EXPECT_EQ(opts_.opt_MatrixCorr, 'r');
  EXPECT_TRUE(opts_.squareDistMatrixOpt);
  EXPECT_EQ(opts_.whichObj, 0);
  EXPECT_EQ(opts_.rseed, 7u);

  // An analysis of variance asks the resemblance but keeps the matrix correlation options.
  data_.temEnvQuant = 0;
  s.congruence = "5 10\n";
  Run(s.Text());
  EXPECT_EQ(opts_.rese_opt, 10);
  EXPECT_EQ(opts_.whichObj, 'r');
  EXPECT_EQ(opts_.opt_MatrixCorr, 'r');
  EXPECT_TRUE(opts_.squareDistMatrixOpt);
}

TEST_F(SettingsDialogue, SeedAndIterationRanges) {
  Script s;
  s.seed = "2 4294967296 -1 4294967295\n";
  Run(s.Text());
  EXPECT_EQ(opts_.rseed, 4294967295u);
  EXPECT_EQ(Occurrences(err_, "Incorrect input"), 2);
  EXPECT_NE(err_.find("\nIncorrect input = 4.29497e+09. Reenter.\nAccepted input: 0 to 4.29497e+09\n"),
            std::string::npos);

  s.seed = "2 0\n";
  Run(s.Text());
  EXPECT_EQ(opts_.rseed, 0u);

  // From the clock.
  s.seed = "1\n";
  Run(s.Text());
  EXPECT_EQ(opts_.seedOpt, 1);
  EXPECT_GT(opts_.rseed, 1700000000u);

  // Iterations: 1 to 2147483647.
  s.permutations = "0 2147483648 2147483647 t 0 n\n";
  Run(s.Text());
  EXPECT_EQ(opts_.niter, 2147483647);
  EXPECT_EQ(Occurrences(err_, "Accepted input: 1 to 2.14748e+09\n"), 2);
}

TEST_F(SettingsDialogue, TraitGroupWeightsAreInverseGroupSizes) {
  data_.nch = 6;
  data_.chLabel = {"a", "b", "c", "d", "e", "f"};
  data_.chtype = {3, 3, 3, 3, 3, 1};
  data_.hasTraitGroups = true;
  data_.traitGroups = {1, 2, 1, 2, 2, 3};
  data_.AllocateWorkingArrays();
  Script s;
  s.traits = "2 1 1 1 1 1 0 y\n";  // trait f, alone in group 3, is excluded
  Run(s.Text());
  ASSERT_EQ(data_.weight.size(), 6u);
  EXPECT_DOUBLE_EQ(data_.weight[0], 0.5);
  EXPECT_DOUBLE_EQ(data_.weight[1], 1.0 / 3);
  EXPECT_DOUBLE_EQ(data_.weight[4], 1.0 / 3);
  EXPECT_EQ(data_.weight[5], 0.0);

  // 'n' keeps the plain selection.
  s.traits = "1 n\n";
  Run(s.Text());
  EXPECT_EQ(data_.weight, (std::vector<double>(6, 1.0)));
}

TEST_F(SettingsDialogue, EmptySelectionsAreAskedAgain) {
  Script s;
  s.variables = "2 0 0 2 0 1\n";
  s.traits = "2 0 0 0 1\n";
  s.otus = "2 0 0 0 2 1 0 1 n n\n";
  Run(s.Text());
  EXPECT_EQ(data_.eVarSelect, (std::vector<int>{0, 1}));
  EXPECT_EQ(data_.weight, (std::vector<double>{1, 1, 1}));  // 1 = all traits on the second asking
  EXPECT_EQ(data_.weight_OTUs, (std::vector<int>{1, 0, 1}));
  EXPECT_NE(err_.find("\nNo variable of matrix E is included: include at least one.\n"), std::string::npos);
  EXPECT_NE(err_.find("\nNo trait is included: include at least one.\n"), std::string::npos);
  EXPECT_NE(err_.find("\nNo OTU is included: include at least one.\n"), std::string::npos);
  EXPECT_EQ(Occurrences(out_, "\nTraits in matrix B to be used in the analysis:\n"), 2);
}

TEST_F(SettingsDialogue, ExcludingOTUsAsksRestrictionAndScale) {
  Script s;
  s.otus = "2 1 0 1 y y\n";
  Run(s.Text());
  EXPECT_EQ(data_.weight_OTUs, (std::vector<int>{1, 0, 1}));
  EXPECT_TRUE(opts_.restrictRaoWithinOpt);
  EXPECT_FALSE(opts_.keepAdditivity);

  s.otus = "2 1 0 1 n n\n";
  Run(s.Text());
  EXPECT_FALSE(opts_.restrictRaoWithinOpt);
  EXPECT_TRUE(opts_.keepAdditivity);

  // Choosing all OTUs afterwards resets both.
  opts_.restrictRaoWithinOpt = true;
  opts_.keepAdditivity = false;
  s.otus = "1\n";
  Run(s.Text());
  EXPECT_FALSE(opts_.restrictRaoWithinOpt);
  EXPECT_TRUE(opts_.keepAdditivity);
}

TEST_F(SettingsDialogue, GroupMemberships) {
  WriteAll(dir_ / "short.txt", "1 2\n");
  WriteAll(dir_ / "zero.txt", "1 0 2\n");
  WriteAll(dir_ / "groups.txt", "3 x 3\n5\n");
  Script s;
  s.groups = "f " + (dir_ / "missing.txt") + " f " + (dir_ / "short.txt") + " f " + (dir_ / "zero.txt") +
             " f " + (dir_ / "groups.txt") + "\n";
  Run(s.Text());
  EXPECT_EQ(data_.partition_OTUs, (std::vector<int>{3, 3, 5}));
  EXPECT_EQ(data_.nGrPoly[0], 2);
  EXPECT_EQ(Occurrences(out_, "Read group memberships from file (f) or from the keyboard (k)? f/k "), 4);
  EXPECT_NE(err_.find("can't open " + (dir_ / "missing.txt")), std::string::npos);
  EXPECT_NE(err_.find("End of file " + (dir_ / "short.txt")), std::string::npos);
  EXPECT_NE(err_.find("group 0 of OTU 2 is not a group number"), std::string::npos);

  // From the keyboard, groups are numbered from 1 as well.
  s.groups = "k 0 4 4 1\n";
  Run(s.Text());
  EXPECT_EQ(data_.partition_OTUs, (std::vector<int>{4, 4, 1}));
  EXPECT_NE(err_.find("Incorrect input = 0."), std::string::npos);
}

TEST_F(SettingsDialogue, NestingGroupsForRestrictedPermutations) {
  WriteAll(dir_ / "nest.txt", "2 2 1\n");
  Script s;
  s.permutations = "99 t 1 f " + (dir_ / "none.txt") + " f " + (dir_ / "nest.txt") + " n\n";
  Run(s.Text());
  EXPECT_EQ(opts_.optRestrictPermutNullModel, 1);
  EXPECT_EQ(opts_.nestingMembershipOTUs, (std::vector<int>{2, 2, 1}));
  EXPECT_EQ(Occurrences(out_, "Read nesting group memberships from file (f) or from the keyboard (k)? f/k "), 2);

  s.permutations = "99 t 1 k 1 1 2 n\n";
  Run(s.Text());
  EXPECT_EQ(opts_.nestingMembershipOTUs, (std::vector<int>{1, 1, 2}));
}

TEST_F(SettingsDialogue, SpeciesServeAsTypes) {
  data_.nSpp = 2;
  data_.spp = {"Poa annua", "Poa pratensis"};
  data_.cstSppMap.Resize(3, 2);
  const char* rows[] = {"10", "01", "11"};
  for (int i = 0; i < 3; ++i)
    for (int s = 0; s < 2; ++s) data_.cstSppMap[i][s] = rows[i][s];
  Script s;
  s.groups = "y\n";  // no file/keyboard question follows
  Run(s.Text());
  EXPECT_TRUE(opts_.OTUsTypesAreSpecies);
  EXPECT_EQ(data_.partition_OTUs, (std::vector<int>{1, 2, 2}));
  EXPECT_EQ(data_.nGrPoly[0], 2);

  s.groups = "n k 1 2 3\n";
  Run(s.Text());
  EXPECT_FALSE(opts_.OTUsTypesAreSpecies);
  EXPECT_EQ(data_.nGrPoly[0], 3);
}

TEST_F(SettingsDialogue, ExistingResultsFileAsksReplaceOrAppend) {
  WriteAll(dir_ / "meadowPrinda.txt", "old results\n");
  Script s;
  s.tail = "y n x a\n";
  Run(s.Text());
  EXPECT_EQ(opts_.prindaMode, "a");
  EXPECT_NE(err_.find("Accepted input: W A\n"), std::string::npos);

  s.tail = "y y W\n";
  Run(s.Text());
  EXPECT_EQ(opts_.prindaMode, "w");
  EXPECT_EQ(opts_.printDetail, 1);
}

TEST_F(SettingsDialogue, TraitRankingAsksNoTestQuestions) {
  opts_.opt_struct = 1;
  opts_.niter = 5;
  opts_.rese_opt = 8;
  data_.temEnvQual = 1;
  // No partition type, no permutations or seed, no OTU selection, no printout.
  // 4 and 5 are not offered and refused; 2 and 3 are refused with nominal E
  // for criterion 1.
  Run("k 1 2 3\n1\n4 5 2 3 1 6 m\n1\n1\ny\n", 'K');
  EXPECT_EQ(out_.find("Data partition type"), std::string::npos);
  EXPECT_EQ(out_.find("  4 linear regression"), std::string::npos);
  EXPECT_EQ(Occurrences(out_, "\nMeasuring congruence using\n"), 5);
  EXPECT_EQ(out_.find("Include detailed results"), std::string::npos);
  EXPECT_FALSE(opts_.optRndTests);
  EXPECT_EQ(opts_.niter, 5);
  EXPECT_EQ(opts_.opt_ro, 1);
  EXPECT_EQ(opts_.rese_opt, 6);
  EXPECT_EQ(data_.weight_OTUs, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(data_.relSelect, (std::vector<int>{1, 1, 1, 1}));

  // Criterion 21 does not use E: 2 is taken and no variable is needed.
  opts_.opt_struct = 21;
  Run("k 1 2 3\n0\n2\n2 0 0\n1\ny\n", 'K');
  EXPECT_EQ(opts_.opt_ro, 2);
  EXPECT_EQ(data_.eVarSelect, (std::vector<int>{0, 0}));

  // Criterion 10 does not ask the resemblance.
  opts_.opt_struct = 10;
  data_.temEnvQual = 0;
  Run("k 1 2 3\n0\n1 r n\n1\n1\ny\n", 'K');
  EXPECT_EQ(out_.find("Resemblance function option"), std::string::npos);
  EXPECT_EQ(opts_.opt_MatrixCorr, 'r');
}

TEST_F(SettingsDialogue, SimulationUsesItsOwnPartitionAndSeed) {
  data_.partition_OTUs = {1, 2, 3};
  opts_.rseed = 42;
  data_.temEnvQual = 1;  // the E rules belong to the functional analysis
  // No file/keyboard question, no seed, no variable selection.
  Run("0\n1\n99 t 0 n\n4\n1\n1\ny n\n", 'A');
  EXPECT_EQ(data_.nGrPoly[0], 3);
  EXPECT_EQ(opts_.rseed, 42u);
  EXPECT_EQ(opts_.opt_ro, 4);
  EXPECT_EQ(out_.find("random number generator"), std::string::npos);
  EXPECT_EQ(out_.find("Variables in matrix E"), std::string::npos);
}

TEST_F(SettingsDialogue, EndOfInputAborts) {
  EXPECT_THROW(Run("0\nk 1 1"), AbortError);
}

}  // namespace
}  // namespace kalios
