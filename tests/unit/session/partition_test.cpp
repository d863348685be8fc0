#include "session/partition.h"

#include <gtest/gtest.h>

#include <vector>

#include "numlib/matrix.h"
#include "support/compare.h"

namespace kalios {
namespace {

TEST(RangeStates, QuantitativeOnlySkippingMissing) {
  Matrix<double> B = test::FromRows({{1, 5, 2}, {-999, 9, 7}, {4, 6, -999}});
  const int types[3] = {3, 4, 3};
  double range[3] = {-1, -1, -1};
  RangeStates(3, 3, B, types, range);
  EXPECT_DOUBLE_EQ(range[0], 3);
  EXPECT_DOUBLE_EQ(range[1], -1);  // ordinal: left alone
  EXPECT_DOUBLE_EQ(range[2], 5);
  Matrix<double> allMissing(2, 1, -999.0);
  const int t3[1] = {3};
  RangeStates(1, 2, allMissing, t3, range);
  EXPECT_EQ(range[0], 0);
}

}  // namespace
}  // namespace kalios
