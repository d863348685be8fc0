// Counting the rejections of a simulation study: the tie rule at alpha, and
// every count landing on the statistic whose P-value produced it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "simulation/study_counting.h"

namespace kalios {
namespace {

TEST(StudyCounting, PValueEqualToAlphaRejectsWithinOneUnitInTheLastPlace) {
  EXPECT_TRUE(RejectsAt(0.05, 0.05));
  EXPECT_TRUE(RejectsAt(0.049, 0.05));
  // 5/100 computed another way is not bit-equal to 0.05 but still a tie.
  EXPECT_TRUE(RejectsAt(std::nextafter(0.05f, 1.0f), 0.05));
  EXPECT_FALSE(RejectsAt(0.06, 0.05));
  EXPECT_FALSE(RejectsAt(std::nextafter(std::nextafter(0.05f, 1.0f), 1.0f) * 1.0001, 0.05));
  // Outside power mode alpha is 0: no P-value of a permutation test rejects.
  EXPECT_FALSE(RejectsAt(0.01, 0.0));
}

TEST(StudyCounting, EachRejectionBelongsToItsStatistic) {
  for (int s = 0; s < kNumCountedStats; ++s) {
    PermTest_FunctionalPhyl_Correl_Input r;
    r.probStat.fill(0.5);
    r.probStat[static_cast<std::size_t>(StatIndexA(kCountedStats[s]))] = 0.01;
    RejectionCounts c;
    SizeCounts(c, 2, 2);
    CountRejections(r, 1, 0.05, {0, 1}, {1, 1}, c);
    for (int t = 0; t < kNumCountedStats; ++t)
      EXPECT_EQ(c.stat[static_cast<std::size_t>(t)], t == s ? 1.0 : 0.0) << kCountedStats[s] << " / " << kCountedStats[t];
  }
}

TEST(StudyCounting, SummariesAreReadFromTheOtherIndexOrder) {
  PermTest_FunctionalPhyl_Correl_Input r;
  for (int b = 0; b < kNumPermStats; ++b) r.sesStat[static_cast<std::size_t>(b)] = 100 + b;
  for (int a = 0; a < kNumPermStats; ++a) r.obsStat[static_cast<std::size_t>(a)] = a;
  // The two orders differ exactly where they are easy to swap.
  for (const char* name : {"r(TE)", "r(XE)", "r(VE)", "r(XE.TR)"}) {
    const StatResult s = ReadStat(r, name);
    EXPECT_EQ(std::string(kPermStatNamesA[static_cast<std::size_t>(s.obs)]), name);
    EXPECT_EQ(std::string(kPermStatNamesB[static_cast<std::size_t>(s.ses - 100)]), name);
  }
  EXPECT_EQ(StatIndexA("r(nothing)"), -1);
}

TEST(StudyCounting, LinearModelCountsGoToTheSelectedPredictor) {
  PermTest_FunctionalPhyl_Correl_Input r;
  r.probStat.fill(1.0);
  // One tested predictor (the second of three), two traits of which the
  // second is not selected; responses: trait 1, trait 2, Rao, Rao phyl.
  std::vector<double> rsq = {0.01, 0.01, 0.5, 1}, f(1), pT = {0.01}, pX = {0.5}, pR = {0.05};
  Matrix<double> coef(1, 4, 0.01), pTraits(1, 2, 0.01);
  r.probRsqRegr = rsq.data();
  r.probCoefRegr = coef;
  RejectionCounts c;
  SizeCounts(c, 2, 3);
  CountRejections(r, 4, 0.05, {1}, {1, 0}, c);
  EXPECT_EQ(c.rsq, (std::vector<double>{1, 0, 0}));
  EXPECT_EQ(c.coef[0][1], 1.0);
  EXPECT_EQ(c.coef[0][0] + c.coef[0][2] + c.coef[1][1], 0.0);
  EXPECT_EQ(c.coef[2][1], 1.0);  // functional diversity

  r.probPseudoF_T = pT.data();
  r.probPseudoF_X = pX.data();
  r.probPseudoF_R = pR.data();
  r.probPseudoF_Traits = pTraits;
  SizeCounts(c, 2, 3);
  CountRejections(r, 5, 0.05, {1}, {1, 0}, c);
  EXPECT_EQ(c.manovaT, (std::vector<double>{0, 1, 0}));
  EXPECT_EQ(c.manovaX, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(c.anovaR, (std::vector<double>{0, 1, 0}));
  EXPECT_EQ(c.anovaTrait[1][0], 1.0);
  EXPECT_EQ(c.anovaTrait[1][1], 0.0);
}

}  // namespace
}  // namespace kalios
