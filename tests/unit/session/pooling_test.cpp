#include "session/pooling.h"

#include <gtest/gtest.h>

#include "numlib/matrix.h"
#include "support/compare.h"

namespace kalios {
namespace {

constexpr double kNA = -999;

TEST(ConcentrateGroups, MeanOverPresentValuesAndNoDivisionByAnEmptyGroup) {
  Matrix<double> src(2, 4);
  const double rows[2][4] = {{1, 2, 3, 4}, {kNA, 6, kNA, kNA}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 4; ++j) src[i][j] = rows[i][j];
  const int rowGroups[] = {1, 2};
  const int colGroups[] = {1, 1, 2, 3};  // group 4 has no column
  Matrix<double> dst(2, 4);
  ConcentrateGroups(2, 4, src, dst, 2, rowGroups, 4, colGroups, 0);
  const double want[2][4] = {{1.5, 3, 4, kNA}, {6, kNA, kNA, kNA}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_CLOSE(dst[i][j], want[i][j]) << i << "," << j;

  // Rows pooled as well: the mean over the cells of both groups.
  const int oneRowGroup[] = {1, 1};
  Matrix<double> all(1, 1);
  const int oneColGroup[] = {1, 1, 1, 1};
  ConcentrateGroups(2, 4, src, all, 1, oneRowGroup, 1, oneColGroup, 0);
  EXPECT_CLOSE(all[0][0], (1 + 2 + 3 + 4 + 6) / 5.0);
}

TEST(ReleveChange, SecondMinusFirstOfEachUnit) {
  Matrix<double> src(2, 5);
  const double rows[2][5] = {{1, 10, 4, 7, 99}, {2, kNA, 2, 5, 99}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 5; ++j) src[i][j] = rows[i][j];
  const int unitOf[] = {1, 2, 1, 2, 3};  // unit 3 lies beyond the units asked for
  Matrix<double> dst(2, 2);
  ReleveChange(5, src, dst, 2, 2, unitOf);
  EXPECT_CLOSE(dst[0][0], 3);
  EXPECT_CLOSE(dst[0][1], -3);
  EXPECT_CLOSE(dst[1][0], 0);
  EXPECT_EQ(dst[1][1], kNA);  // a change from an unknown value is unknown
}

TEST(SplitMovingWinPool, WindowsAlongColumnsAndAlongRows) {
  Matrix<double> w(1, 10);
  for (int c = 0; c < 10; ++c) w[0][c] = c + 1;
  w[0][4] = kNA;
  Matrix<double> pooled(1, 9);
  int count = 0;
  SplitMovingWinPool(1, 10, w, pooled, 2, count, false);
  ASSERT_EQ(count, 9);
  EXPECT_CLOSE(pooled[0][0], 1.5);
  EXPECT_CLOSE(pooled[0][3], 4);  // 4 and a missing value
  EXPECT_CLOSE(pooled[0][8], 9.5);

  Matrix<double> e(4, 2);
  for (int r = 0; r < 4; ++r) {
    e[r][0] = r;
    e[r][1] = 10 * r;
  }
  Matrix<double> byRows(2, 2);
  SplitMovingWinPool(4, 2, e, byRows, 3, count, true);
  ASSERT_EQ(count, 2);
  EXPECT_CLOSE(byRows[0][0], 1);
  EXPECT_CLOSE(byRows[1][1], 20);
}

}  // namespace
}  // namespace kalios
