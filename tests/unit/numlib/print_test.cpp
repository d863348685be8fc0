// Printed layouts of matrices and vectors.
#include <gtest/gtest.h>

#include <sstream>

#include "numlib/matrix.h"
#include "numlib/print.h"
#include "support/compare.h"

namespace kalios {
namespace {

TEST(PrintMatrix, WidthWrappingAndTabLayouts) {
  Matrix<double> m = test::FromRows({{1, 123.456}});
  std::ostringstream os;
  EXPECT_EQ(PrintMatrix(os, 1, 2, m, 6, 0), 7);
  EXPECT_EQ(os.str(), "      1\t123.456\t\n");

  // 3 values use 24 columns > 20, so the fourth starts a continuation line.
  Matrix<double> w(1, 5, 1.5);
  std::ostringstream wrap;
  PrintMatrix(wrap, 1, 5, w, 6, 7, 20);
  const std::string v = "    1.5\t";
  EXPECT_EQ(wrap.str(), v + v + v + "\n       \t" + v + v + "\n");

  Matrix<double> t = test::FromRows({{0, 1, 2}, {10, 11, 12}});
  std::ostringstream tab, tr, low, none;
  PrintMatrixTab(tab, 2, 3, t, 6);
  EXPECT_EQ(tab.str(), "0\t1\t2\t\n10\t11\t12\t\n");
  PrintMatrixTab_T(tr, 2, 3, t, 6);
  EXPECT_EQ(tr.str(), "0\t10\t\n1\t11\t\n2\t12\t\n");
  PrintLowerHalfMatrixTab(low, 3, Matrix<double>(3, 3, 2.0), 6);
  EXPECT_EQ(low.str(), "2\t\n2\t2\t\n2\t2\t2\t\n");
  PrintMatrixTab_T(none, 2, 0, t, 6);
  EXPECT_EQ(none.str(), "");
}

TEST(PrintVector, OrderAndDigits) {
  std::vector<int> v{10, 20, 30}, order{3, 1, 2};
  std::ostringstream a, b, c;
  PrintVectorTab(a, 3, v.data(), order.data());
  EXPECT_EQ(a.str(), "30\t10\t20\t\n");
  std::vector<double> d{1.0 / 3, 2};
  PrintVectorTab(b, 2, d.data(), 3);
  EXPECT_EQ(b.str(), "0.333\t2\t\n");
  PrintVectorTab(c, 0, d.data(), 3);
  EXPECT_EQ(c.str(), "\n");
}

}  // namespace
}  // namespace kalios
