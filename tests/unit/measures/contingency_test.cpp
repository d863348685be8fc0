#include "measures/contingency.h"

#include <gtest/gtest.h>

#include <cmath>

#include "measures/resemblance.h"
#include "support/compare.h"
#include "support/tempdir.h"

namespace kalios {
namespace {

// Variables as rows: v0 and v1 perfectly associated, v2 independent of v0,
// v3 with a missing value and a state (9) seen only where v0 is... present.
Matrix<double> Vars() {
  return test::FromRows({{1, 1, 2, 2}, {5, 5, 7, 7}, {1, 2, 1, 2}, {1, 1, 2, -999}});
}

Matrix<double> Code(int code, double alpha) {
  Matrix<double> x = Vars(), d(4, 4);
  ResemblanceLib(4, 4, x, d, 1, code, nullptr, alpha, 0, 1, false);
  return d;
}

TEST(Contingency, MeasuresOfAssociatedAndIndependentVariables) {
  const double ln2 = std::log(2.0);
  EXPECT_CLOSE(Code(6, 1)[0][1], 2 * 4 * ln2);
  EXPECT_CLOSE(Code(7, 1)[0][1], ln2);
  EXPECT_CLOSE(Code(7, 2)[0][1], ln2);  // ln(sum p^2 / (p_r q_c)) = ln 2
  EXPECT_CLOSE(Code(9, 1)[0][1], 1.0);
  EXPECT_CLOSE(Code(8, 1)[0][1], 0.0);
  EXPECT_CLOSE(Code(10, 1)[0][1], 4.0);
  EXPECT_CLOSE(Code(6, 1)[0][2], 0.0);
  EXPECT_CLOSE(Code(9, 1)[0][2], 0.0);
  EXPECT_CLOSE(Code(8, 1)[0][2], 1.0);
  EXPECT_CLOSE(Code(10, 1)[0][2], 0.0);
  // Only three objects in common: table [[2, 0], [0, 1]].
  EXPECT_CLOSE(Code(10, 1)[0][3], 3.0);
  const double h = -(2.0 / 3) * std::log(2.0 / 3) - (1.0 / 3) * std::log(1.0 / 3);
  EXPECT_CLOSE(Code(7, 1)[3][0], h);
}

TEST(Contingency, DegenerateTablesStayFinite) {
  Matrix<double> x = test::FromRows({{4, 4, 4}, {-999, -999, -999}});
  for (int code = 6; code <= 10; ++code)
    for (double alpha : {1.0, 0.5, 3.0}) {
      Matrix<double> d(2, 2);
      ResemblanceLib(2, 3, x, d, 1, code, nullptr, alpha, 0, 1, false);
      EXPECT_TRUE(test::AllFinite(d)) << code << " " << alpha;
    }
}

using TablesFile = testing::InTempDir;

TEST_F(TablesFile, Layout) {
  Matrix<double> x = test::FromRows({{1, 1, 2, 2}, {3, -999, 3, 10}}), d(2, 2);
  ResemblanceLib(2, 4, x, d, 1, 10, nullptr, 1, 0, 1, true);
  const std::string t = testing::ReadAll("Tables.txt");
  const std::string first =
      "\nContingency table var.1 x var.1:\nRow states (2): 1\t2\t\nColumn states (2): 1\t2\t\n2\t0\t\n0\t2\t\n"
      "\nContingency";
  EXPECT_EQ(t.substr(0, first.size()), first);
  EXPECT_NE(t.find("var.1 x var.2:\nRow states (2): 1\t2\t\nColumn states (2): 3\t10\t\n1\t0\t\n1\t1\t\n"),
            std::string::npos);
  EXPECT_NE(t.find("var.2 x var.2:"), std::string::npos);
}

}  // namespace
}  // namespace kalios
