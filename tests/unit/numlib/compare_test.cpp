// Tie rules and group counting that every layer above relies on.
#include "numlib/compare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numlib/groups.h"

namespace kalios {
namespace {

TEST(Comparisons, UnitsInTheLastPlace) {
  EXPECT_TRUE(IsLargerThanOrEqual(0.1 + 0.2, 0.3, 1, false));
  EXPECT_TRUE(IsLargerThanOrEqual(0.3, 0.1 + 0.2, 1, false));
  EXPECT_FALSE(IsLargerThanOrEqual(0.29, 0.3, 1, false));
  EXPECT_TRUE(IsLargerThanOrEqual(-0.5, 0.4, 1, true));
  EXPECT_FALSE(IsLargerThanOrEqual(-0.5, 0.4, 1, false));
  EXPECT_TRUE(AlmostEqual2sComplement(0.0, -0.0, 1));
  const float one = 1.0f;
  const double next = std::nextafter(one, 2.0f), next2 = std::nextafter(static_cast<float>(next), 2.0f);
  EXPECT_TRUE(AlmostEqual2sComplement(1.0, next, 1));
  EXPECT_FALSE(AlmostEqual2sComplement(1.0, next2, 1));
  EXPECT_TRUE(AlmostEqual2sComplement(-1.0, -next, 1));
  EXPECT_FALSE(AlmostEqual2sComplement(1.0, -1.0, 1));
  // The smallest positive and negative floats are 2 units apart across zero.
  const double tiny = std::nextafter(0.0f, 1.0f);
  EXPECT_FALSE(AlmostEqual2sComplement(tiny, -tiny, 1));
  EXPECT_TRUE(AlmostEqual2sComplement(tiny, -tiny, 2));
  EXPECT_TRUE(AlmostEqual_Tolerance(1.0, 1.0 + 1e-10, 1e-9));
  EXPECT_FALSE(AlmostEqual_Tolerance(1.0, 1.5, 0.5));
}

TEST(CountGroupsNew, DistinctSortedOrCountOnly) {
  const int p[4] = {3, 1, 3, 2};
  int count = -1, d[4] = {0, 0, 0, 0};
  CountGroupsNew(4, p, count, d);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(std::vector<int>(d, d + 3), (std::vector<int>{1, 2, 3}));
  CountGroupsNew(4, p, count, nullptr);
  EXPECT_EQ(count, 3);
  CountGroupsNew(0, p, count, d);
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace kalios
