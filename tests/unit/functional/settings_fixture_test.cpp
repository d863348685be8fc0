// The reference analyses' answer scripts, from the line after 'H' to the end of
// the settings dialogue, must be consumed exactly and give the reference settings.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "functional/settings.h"
#include "session/temp_dir.h"
#include "shell/input.h"
#include "support/compare.h"

namespace kalios {
namespace {

// The lines answering the settings dialogue: after the 'V' and 'H' lines, up
// to the empty line that the results wait consumes.
std::vector<std::string> DialogueAnswers(const std::string& set) {
  std::ifstream f(test::FixturePath(set + "/answers.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(f, line);) lines.push_back(line);
  std::size_t h = 1;
  while (h < lines.size() && !(lines[h - 1] == "V" && lines[h] == "H")) ++h;
  std::vector<std::string> answers;
  for (std::size_t i = h + 1; i < lines.size() && !lines[i].empty(); ++i) answers.push_back(lines[i]);
  return answers;
}

// A data set with the fixture's counts, labels and types.
void ShapeLikeFixture(const std::string& set, DataSet& d) {
  auto meta = test::LoadJson(set + "/meta.json");
  d.tcst = meta["n_otus"];
  d.nch = meta["n_traits"];
  d.ncsm = meta["n_communities"];
  d.nenv = meta["n_env"];
  d.chLabel = meta["trait_labels"].get<std::vector<std::string>>();
  d.chtype = meta["trait_types"].get<std::vector<int>>();
  d.reLabel = meta["community_labels"].get<std::vector<std::string>>();
  d.envLabel = meta["env_labels"].get<std::vector<std::string>>();
  d.envVarType.assign(static_cast<std::size_t>(d.nenv), 3);
  d.optEnvVarType = meta["optEnvVarType"];
  d.temEnvQuant = 1;
  d.hasPhylogeny = meta["has_F"];
  if (d.hasPhylogeny) {
    d.phylogenyMatrixType = 1;
    d.phylogenyRese.Resize(d.tcst, d.tcst);
  }
  d.AllocateWorkingArrays();
}

class FixtureScript : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureScript, ReferenceAnswersGiveReferenceSettings) {
  const std::string set = GetParam();
  std::vector<std::string> answers = DialogueAnswers(set);
  ASSERT_FALSE(answers.empty());
  EXPECT_EQ(answers.back(), "n");  // the detailed-printout answer ends the dialogue

  std::string script;
  for (const auto& a : answers) script += a + "\n";
  // What follows in the reference run: the results wait, then the analysis menu.
  script += "\nC\n";

  testing::TempDir dir;  // no results file there
  std::istringstream in(script);
  std::ostringstream out, err;
  Console con(in, out, err);
  App app(con);
  app.shell.optmain = 'H';
  app.shell.sessionName = set;
  app.shell.volumeName = dir.path() + "/";
  app.track.whichPrinda = set + "Prinda.txt";
  ShapeLikeFixture(set, app.data);

  SettingsHierarchy(app);
  EXPECT_EQ(ReadCharIn(con, "H K C"), 'c');  // exactly the dialogue's answers were used
  EXPECT_EQ(err.str(), "");

  const AnalysisOptions& o = app.opts;
  const DataSet& d = app.data;
  EXPECT_EQ(o.partOpt, 0);
  std::vector<int> ownTypes(static_cast<std::size_t>(d.tcst));
  for (int i = 0; i < d.tcst; ++i) ownTypes[static_cast<std::size_t>(i)] = i + 1;
  EXPECT_EQ(d.partition_OTUs, ownTypes);
  EXPECT_EQ(d.nGrPoly[0], d.tcst);
  EXPECT_EQ(o.fuzzy, 3);
  EXPECT_EQ(o.fuzziness, 1.0);
  EXPECT_EQ(o.niter, 99);
  EXPECT_EQ(o.optTaxaSiteShuffle, 't');
  EXPECT_EQ(o.optRestrictPermutNullModel, 0);
  EXPECT_FALSE(o.doBootstrapOpt);
  EXPECT_EQ(o.seedOpt, 2);
  EXPECT_EQ(o.rseed, 12345u);
  EXPECT_EQ(o.opt_ro, 1);
  EXPECT_EQ(o.rese_opt, 6);
  EXPECT_EQ(o.opt_MatrixCorr, 'm');
  EXPECT_FALSE(o.squareDistMatrixOpt);
  EXPECT_EQ(d.eVarSelect, std::vector<int>(static_cast<std::size_t>(d.nenv), 1));
  EXPECT_EQ(d.weight, std::vector<double>(static_cast<std::size_t>(d.nch), 1.0));
  EXPECT_EQ(d.weight_OTUs, std::vector<int>(static_cast<std::size_t>(d.tcst), 1));
  EXPECT_TRUE(o.keepAdditivity);
  EXPECT_FALSE(o.restrictRaoWithinOpt);
  EXPECT_TRUE(o.optUnitTotalAdjust2);
  EXPECT_EQ(o.printDetail, 0);
  EXPECT_EQ(o.prindaMode, "w");
  EXPECT_EQ(d.includePhylogeny, d.hasPhylogeny);
  if (d.hasPhylogeny) {
    EXPECT_EQ(o.nTaxa, d.tcst);
    EXPECT_EQ(d.partition_OTUs_Phyl, ownTypes);
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, FixtureScript, ::testing::Values("small", "mixed"));

}  // namespace
}  // namespace kalios
