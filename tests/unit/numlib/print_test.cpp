// Printed layouts of matrices and vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string>

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

// The tab layouts spell every value as printf's "%.*g" does (results files
// are compared byte for byte): rounding at the last digit, the switch to the
// exponent form, negative zero, the smallest and largest numbers, values that
// are not numbers, and precisions from none to 17.
TEST(PrintMatrix, TabValuesAsPrintfSpellsThem) {
  const double values[] = {0.0, -0.0, 0.5, 2.5, 9.9999995, 0.000099999995, 1e-5, 0.0001, 123456.5, 1234567.0,
                           1.0 / 3.0, -2.0 / 3.0, 1e15, 1e16, 5e-324, 1.7976931348623157e308, -999.0,
                           std::nan(""), -std::nan(""), HUGE_VAL, -HUGE_VAL, 0.1 + 0.2, 6.02214076e23};
  const int count = static_cast<int>(std::size(values));
  Matrix<double> m(2, count);
  for (int j = 0; j < count; ++j) m[0][j] = values[j], m[1][j] = -values[j] * 7.0;
  for (int digits = -1; digits <= 17; ++digits) {
    SCOPED_TRACE(digits);
    std::string expect, lower;
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < count; ++j) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*g\t", digits, m[i][j]);
        expect += buf;
        if (j <= i) lower += buf;
      }
      expect += "\n";
      lower += "\n";
    }
    std::ostringstream tab, low;
    PrintMatrixTab(tab, 2, count, m, digits);
    EXPECT_EQ(tab.str(), expect);
    PrintLowerHalfMatrixTab(low, 2, m, digits);
    EXPECT_EQ(low.str(), lower);
  }
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
