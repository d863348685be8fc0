#include "testing/random.h"

#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <vector>

#include "shell/abort.h"
#include "support/scripted.h"

namespace kalios {
namespace {

std::vector<int> Draw(RandomGenerator& rng, int n) {
  std::vector<int> v(static_cast<size_t>(n));
  RndList(rng, n, v.data());
  return v;
}

TEST(RandomLists, SameSeedSameSequenceAndShuffleAlgorithm) {
  RandomGenerator a, b;
  InitRndNumberGenerator(a, 12345);
  InitRndNumberGenerator(b, 12345);
  // An independent Mersenne Twister draws the same lists by the swap shuffle.
  gsl_rng* ref = gsl_rng_alloc(gsl_rng_mt19937);
  gsl_rng_set(ref, 12345);
  for (int rep = 0; rep < 5; ++rep) {
    std::vector<int> x = Draw(a, 9), y = Draw(b, 9);
    EXPECT_EQ(x, y);
    std::vector<int> z(9);
    std::iota(z.begin(), z.end(), 1);
    for (int i = 0; i < 8; ++i) std::swap(z[i], z[i + gsl_rng_uniform_int(ref, 9 - i)]);
    EXPECT_EQ(x, z) << "list " << rep;
  }
  gsl_rng_free(ref);
  // Another seed gives other lists.
  RandomGenerator c(54321), d(12345);
  EXPECT_NE(Draw(c, 20), Draw(d, 20));
}

TEST(RandomLists, EdgeSizesSelectionAndBootstrap) {
  RandomGenerator rng(7);
  int one[1] = {0};
  RndList(rng, 1, one);
  EXPECT_EQ(one[0], 1);
  RndList(rng, 0, one);  // nothing drawn, nothing written
  EXPECT_EQ(one[0], 1);

  int list[6] = {1, 2, 3, 4, 5, 6};
  int none[6] = {0, 0, 0, 0, 0, 0};
  RndListSelect(rng, 6, list, none);
  EXPECT_EQ(std::vector<int>(list, list + 6), (std::vector<int>{1, 2, 3, 4, 5, 6}));

  bool sel[6] = {true, false, true, false, true, false};
  for (int rep = 0; rep < 20; ++rep) {
    RndListSelect(rng, 6, list, sel);
    EXPECT_EQ(list[1], 2);
    EXPECT_EQ(list[3], 4);
    EXPECT_EQ(list[5], 6);
    std::set<int> odd{list[0], list[2], list[4]};
    EXPECT_EQ(odd, (std::set<int>{1, 3, 5}));
  }

  int boot[50];
  RndListBootstrap(rng, 50, boot);
  std::set<int> distinct(boot, boot + 50);
  EXPECT_LT(distinct.size(), 50u);  // with replacement: repeats are all but certain
  EXPECT_GE(*distinct.begin(), 1);
  EXPECT_LE(*distinct.rbegin(), 50);
}

TEST(RandomLists, NestedGroups) {
  RandomGenerator rng(99);
  const int member[6] = {2, 1, 2, 1, 3, 3};
  bool sawMove = false, sawBlock = false;
  for (int rep = 0; rep < 30; ++rep) {
    int list[6];
    // Option 1: every object keeps a place of its own group.
    RndListNestedNew(rng, 6, member, 1, list);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(member[list[i] - 1], member[i]);
    // Option 2: groups move as blocks, members keep their order inside.
    RndListNestedNew(rng, 6, member, 2, list);
    const int first[3] = {1, 0, 4};  // first place of groups 1, 2, 3 (0-based)
    const int second[3] = {3, 2, 5};
    for (int g = 0; g < 3; ++g) {
      int a = list[first[g]], b = list[second[g]];
      EXPECT_EQ(member[a - 1], member[b - 1]);
      EXPECT_LT(a, b);
      if (member[a - 1] != member[first[g]]) sawBlock = true;
    }
    // Option 3 with sizes 2, 2, 3: only the shuffle within groups applies.
    const int unequal[7] = {1, 1, 2, 2, 3, 3, 3};
    int l7[7];
    RndListNestedNew(rng, 7, unequal, 3, l7);
    for (int i = 0; i < 7; ++i) {
      EXPECT_EQ(unequal[l7[i] - 1], unequal[i]);
      if (l7[i] != i + 1) sawMove = true;
    }
    // Option 2 with unequal groups leaves the identity.
    RndListNestedNew(rng, 7, unequal, 2, l7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(l7[i], i + 1);
  }
  EXPECT_TRUE(sawMove);
  EXPECT_TRUE(sawBlock);
}

TEST(Subsets, FourChooseTwoSequence) {
  SubsetEnumerator st;
  int out[4];
  const int expected[6][4] = {{1, 2, 3, 4}, {1, 3, 2, 4}, {1, 4, 2, 3}, {2, 3, 1, 4}, {2, 4, 1, 3}, {3, 4, 1, 2}};
  for (int call = 0; call < 6; ++call) {
    EXPECT_EQ(PermuteArray(st, 4, 2, out, call == 0), call + 1);
    EXPECT_EQ(std::vector<int>(out, out + 4), std::vector<int>(expected[call], expected[call] + 4));
  }
  EXPECT_FALSE(st.active());
  EXPECT_EQ(PermuteArray(st, 4, 2, out, false), 0);  // finished: a new init is needed
}

TEST(Subsets, AllTwentyFourSingletonsAndExactCounts) {
  SubsetEnumerator st;
  int out[24];
  std::set<int> firsts;
  std::int64_t got = 0;
  bool init = true;
  while (true) {
    got = PermuteArray(st, 24, 1, out, init);
    init = false;
    firsts.insert(out[0]);
    if (!st.active()) break;
    ASSERT_LT(got, 30);
  }
  EXPECT_EQ(got, 24);
  EXPECT_EQ(firsts.size(), 24u);
  EXPECT_EQ(BinomialCount(24, 1), 24);
  EXPECT_EQ(BinomialCount(30, 15), 155117520);
  EXPECT_EQ(BinomialCount(60, 30), 118264581564861424LL);
  EXPECT_EQ(BinomialCount(5, 0), 1);
  EXPECT_EQ(BinomialCount(3, 4), 0);
}

TEST(Pvalues, TailsAndCap) {
  const double v[3] = {0.5, 0.7, 0.1};
  EXPECT_DOUBLE_EQ(Pvalue(3, v, 1, 0.5, 0.5), 0.75);
  EXPECT_DOUBLE_EQ(Pvalue(3, v, -1, 0.5, 0.5), 0.75);  // 0.5 and 0.1 are at or below
  const double w[3] = {0.1, 0.4, 0.9};
  EXPECT_DOUBLE_EQ(Pvalue(3, w, 0, 0.1, 0.4), 1.0);
  // Observed at the median: both tails hold 3 of 4, doubled 6/4, capped at 1.
  EXPECT_DOUBLE_EQ(Pvalue(3, w, 0, 0.4, 0.4), 1.0);
  EXPECT_DOUBLE_EQ(Pvalue(3, w, 0, 1.0, 0.4), 0.5);
  EXPECT_DOUBLE_EQ(Pvalue(0, nullptr, 1, 0.3, 0), 1.0);
  EXPECT_DOUBLE_EQ(Pvalue(0, nullptr, 0, 0.3, 0), 1.0);
  // A null value equal to the observed in exact arithmetic counts as a tie.
  const double tie[1] = {0.1 + 0.2};
  EXPECT_DOUBLE_EQ(Pvalue(1, tie, 1, 0.3, 0), 1.0);
  EXPECT_EQ(test::AbortCodeOf([&] { Pvalue(3, v, 2, 0.5, 0.5); }), 1);
}

TEST(EffectSizes, ParametricAndQuantileForms) {
  // Null values 1, 2, 3: mean 2, sd 1.
  EXPECT_DOUBLE_EQ(SES(4, 14, 6, 3), 2.0);
  EXPECT_EQ(SES(4, 12, 6, 3), 0.0);  // no spread
  EXPECT_EQ(SES(4, 16, 4, 1), 0.0);
  EXPECT_EQ(SES_median(0.3, 0.3, 0.1, 0.6), 0.0);
  EXPECT_DOUBLE_EQ(SES_median(0.9, 0.3, 0.1, 0.6), 2.0);
  EXPECT_DOUBLE_EQ(SES_median(0.2, 0.3, 0.1, 0.6), -0.5);
  EXPECT_EQ(SES_median(0.9, 0.3, 0.3, 0.3), 0.0);  // all null values equal
  EXPECT_EQ(SES_median(0.1, 0.3, 0.3, 0.3), 0.0);
}

}  // namespace
}  // namespace kalios
