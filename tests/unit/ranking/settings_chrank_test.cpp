#include "ranking/settings_chrank.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scripted.h"

namespace kalios {
namespace {

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// Four OTUs and five traits; E and a phylogeny only where a test adds them.
// The functional settings are stood in for by a hook that records its call.
struct RankingDialogue : ::testing::Test {
  DataSet d;
  AnalysisOptions o;
  RankingOptions r;
  int menus = 0;
  int functional = 0;
  void SetUp() override {
    d.tcst = 4;
    d.nch = 5;
    d.ncsm = 3;
    d.chtype = {3, 3, 1, 4, 3};
    d.weight = {1, 1, 1, 1, 1};
    d.partition_OTUs = {1, 1, 2, 3};
  }
  std::string Run(const std::string& answers) {
    test::Scripted s(answers);
    RankingDialogueHooks hooks;
    hooks.menu = [&](const std::string&) { ++menus; };
    hooks.functionalSettings = [&] {
      ++functional;
      o.traitBasedOpt = 1;
      o.rese_opt = 10;
    };
    SettingsChRank(s.con, d, o, r, hooks);
    return s.out.str();
  }
};

TEST_F(RankingDialogue, WithoutEAndPhylogenyOnlyTheCriteriaOnBealsAreOfferedAndAccepted) {
  // Every criterion needing E or a phylogeny shows the menu again.
  const std::string out = Run("1 9 10 11 12 13 14 15 16 17 24 21 1 5 n\n");
  EXPECT_EQ(menus, 12);
  EXPECT_EQ(o.opt_struct, 21);
  EXPECT_EQ(Occurrences(out, "   1 r(XE)"), 0);
  EXPECT_EQ(Occurrences(out, "   11  "), 0);
  EXPECT_EQ(Occurrences(out, "   16  "), 0);
  EXPECT_EQ(Occurrences(out, "   21  r(XY)\n"), 12);
  EXPECT_EQ(Occurrences(out, "   23  r(XY.T)\n"), 12);
  EXPECT_EQ(functional, 1);
  EXPECT_FALSE(d.includePhylogeny);
}

TEST_F(RankingDialogue, ANominalTraitRefusesEveryCriterionThatAveragesTraits) {
  d.chtype[1] = 2;
  d.nenv = 2;
  d.hasPhylogeny = true;
  const std::string out = Run("9 10 12 13 17 22 23 24 11 1 5 n\n");
  EXPECT_EQ(menus, 9);
  EXPECT_EQ(o.opt_struct, 11);
  EXPECT_TRUE(d.includePhylogeny);
  for (const char* hidden : {"   9 r(XE.T)", "   10 r(TE)", "   12  ", "   13  ", "   22  ", "   23  "})
    EXPECT_EQ(Occurrences(out, hidden), 0) << hidden;
  EXPECT_EQ(Occurrences(out, "   1 r(XE): TCAP and TDAP\n"), 9);
}

TEST_F(RankingDialogue, NicheConservationNeedsEAsWellAsAPhylogeny) {
  d.hasPhylogeny = true;
  Run("14 15 11 1 5 n\n");
  EXPECT_EQ(menus, 3);
  EXPECT_EQ(o.opt_struct, 11);
  d.nenv = 1;
  menus = 0;
  Run("15 1 5 n\n");
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(o.opt_struct, 15);
  EXPECT_TRUE(d.includePhylogeny);
}

TEST_F(RankingDialogue, TraitConvergenceForcesEuclideanDistances) {
  d.nenv = 1;
  Run("10 1 5 n\n");
  EXPECT_EQ(o.rese_opt, 6);
  EXPECT_TRUE(r.optUnitTotalAdjust1);
  EXPECT_EQ(r.rankingAlgorithm, 2);
}

TEST_F(RankingDialogue, SizeBoundsCountOnlyPositiveWeightsAndTypesComeFromThePartition) {
  d.weight = {1, 0, 1, 0, 0.5};
  // 4 is beyond the three traits of positive weight and is asked again.
  const std::string out = Run("21 2 4 3 y\n");
  EXPECT_NE(out.find("Minimum number of traits in the trait subset (minimum: 1, maximum: 3): "), std::string::npos);
  EXPECT_NE(out.find("Maximum number of traits in the trait subset (minimum: 2, maximum: 3): "), std::string::npos);
  EXPECT_EQ(out.find("PFTs"), std::string::npos);
  EXPECT_EQ(r.nMinTraitsChRank, 2);
  EXPECT_EQ(r.nMaxTraitsChRank, 3);
  EXPECT_EQ(r.nMinCSTGroupsChRank, 3);
  EXPECT_EQ(r.nMaxCSTGroupsChRank, 3);
  EXPECT_EQ(r.printRankIntermedResults, 'y');
}

TEST_F(RankingDialogue, PoolingByClusteringAsksTheNumbersOfTypes) {
  o.clusMethPoolCSTs = 1;
  o.poolCSTopt = 2;
  test::Scripted s("21 1 3 2 4 1 5 n\n");
  RankingDialogueHooks hooks{[](const std::string&) {}, [] {}};
  SettingsChRank(s.con, d, o, r, hooks);
  EXPECT_EQ(r.nMinCSTGroupsChRank, 3);
  EXPECT_EQ(r.nMaxCSTGroupsChRank, 4);
}

}  // namespace
}  // namespace kalios
