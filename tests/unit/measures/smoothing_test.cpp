#include "measures/smoothing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/compare.h"

namespace kalios {
namespace {

using test::JsonMatrix;
using test::LoadJson;
using test::MatricesClose;
using test::ReadFixtureNumbers;

// Beals smoothing (mode 0, target included) of raw W and the NNCRD of the
// communities from DE and DX against the reference values.
TEST(SmoothingFixture, BealsAndNNCRD) {
  struct Set {
    const char* name;
    int n, s;
  };
  for (const Set f : {Set{"small", 6, 8}, Set{"mixed", 10, 12}}) {
    SCOPED_TRACE(f.name);
    const auto js = LoadJson(std::string(f.name) + "/expected.json");
    const Matrix<double> W = ReadFixtureNumbers(std::string(f.name) + "/W.txt", f.n, f.s);
    Matrix<double> Y(f.n, f.s);
    BealsSmoothing(f.n, f.s, W, W, Y, true, 0, false);
    EXPECT_TRUE(MatricesClose(Y, JsonMatrix(js["Y"])));
    BealsSmoothing(f.n, f.s, W, W, Y, true, 0);
    EXPECT_TRUE(MatricesClose(Y, JsonMatrix(js["Y"])));

    std::vector<double> v(static_cast<size_t>(f.n));
    EXPECT_TRUE(NNCRD(f.n, JsonMatrix(js["DE"]), JsonMatrix(js["DX"]), v.data()));
    for (int i = 0; i < f.n; ++i) EXPECT_CLOSE(v[static_cast<size_t>(i)], js["NNCRD"][i].get<double>());
  }
}

TEST(ConditionalProb, ModesAndNormalization) {
  // Three communities, three OTUs; a missing value in community 2.
  const Matrix<double> X = test::FromRows({{1, 2, 0}, {3, 0, 1}, {2, 1, -999}});
  Matrix<double> M(3, 3);
  ConditionalProb(3, 3, X, M, 0);
  // OTU 0 occurs in 3 communities, with OTU 1 in 2 of them, with OTU 2 in 1.
  EXPECT_CLOSE(M[0][1], 2.0 / 3);
  EXPECT_CLOSE(M[0][2], 1.0 / 3);
  EXPECT_CLOSE(M[1][0], 1.0);
  EXPECT_EQ(M[1][2], 0.0);
  EXPECT_EQ(M[2][2], 1.0);

  ConditionalProb(3, 3, X, M, 1);
  // Sum of OTU 0 where OTU 1 occurs (1 + 2) over the sum of OTU 0 (6).
  EXPECT_CLOSE(M[0][1], 3.0 / 6);
  EXPECT_CLOSE(M[2][0], 1.0);  // OTU 2 only where OTU 0 also is (missing skipped)

  ConditionalProb(3, 3, X, M, 2, false);
  EXPECT_CLOSE(M[0][0], 1 + 9 + 4);
  EXPECT_CLOSE(M[0][1], 2 + 2);
  EXPECT_CLOSE(M[0][2], 3);
  ConditionalProb(3, 3, X, M, 2);  // rows normalized in mode 2
  EXPECT_CLOSE(M[0][0] + M[0][1] + M[0][2], 1.0);
  EXPECT_CLOSE(M[0][1], 4.0 / 21);

  ConditionalProb(3, 3, X, M, 7);
  EXPECT_EQ(M[0][0], 1.0);
  EXPECT_EQ(M[0][1], 0.0);
}

TEST(BealsSmoothing, TargetExcluded) {
  // OTU 0 alone in community 0; communities 1 and 2 hold OTUs 0, 1 and 0, 2.
  const Matrix<double> W = test::FromRows({{5, 0, 0}, {1, 3, 0}, {2, 0, 2}});
  Matrix<double> Y(3, 3);
  BealsSmoothing(3, 3, W, W, Y, false, 0, false);
  EXPECT_EQ(Y[0][0], 0.0);  // the lone OTU has nothing else to be estimated from
  // M[0][1] = 1/3 (OTU 1 in 1 of OTU 0's 3 communities).
  EXPECT_CLOSE(Y[0][1], 1.0 / 3);
  // Community 1: P = (0.25, 0.75, 0); for OTU 0 only OTU 1 counts: M[1][0] = 1.
  EXPECT_CLOSE(Y[1][0], 0.75 / (1 - 0.25));
  EXPECT_CLOSE(Y[1][2], 0.25 * (1.0 / 3) / 1.0);

  // Included: Y = P M; the lone OTU estimates itself with probability 1.
  BealsSmoothing(3, 3, W, W, Y, true, 0, false);
  EXPECT_CLOSE(Y[0][0], 1.0);
  EXPECT_CLOSE(Y[1][0], 0.25 + 0.75);

  // A community with every value missing has no estimate.
  const Matrix<double> Wm = test::FromRows({{1, 1, 0}, {-999, -999, -999}});
  Matrix<double> Ym(2, 3);
  BealsSmoothing(2, 3, Wm, Wm, Ym, true, 0, false);
  EXPECT_EQ(Ym[1][0], -999.0);
}

// With many OTUs the co-occurrences and the estimates are formed by blocked
// products; the counts must equal those of the pair loop and every estimate
// the sum of its terms in ascending order of the OTUs, to the last bit: with
// zeros, missing values, a lone OTU and a community without any value.
TEST(BealsSmoothing, ManyOtusGiveThePairLoopBits) {
  const int n = 40, s = 70;
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Matrix<double> W(n, s);
  for (int c = 0; c < n; ++c)
    for (int a = 0; a < s; ++a) {
      const double x = u(gen);
      W[c][a] = x < 0.55 ? 0.0 : (x > 0.98 ? -999.0 : std::floor(x * 20.0));
    }
  for (int a = 0; a < s; ++a) W[4][a] = a == 9 ? 3.0 : 0.0;  // a lone OTU
  for (int a = 0; a < s; ++a) W[7][a] = -999.0;             // nothing known

  Matrix<double> count(s, s);
  for (int c = 0; c < n; ++c)
    for (int a = 0; a < s; ++a)
      for (int b = 0; b < s; ++b)
        if (W[c][a] > 0.0 && W[c][b] > 0.0) count[a][b] += 1.0;
  Matrix<double> expectM(s, s);
  for (int a = 0; a < s; ++a)
    for (int b = 0; b < s; ++b) expectM[a][b] = b == a ? 1.0 : (count[a][a] > 0 ? count[a][b] / count[a][a] : 0.0);
  Matrix<double> M(s, s);
  ConditionalProb(n, s, W, M, 0);
  for (int a = 0; a < s; ++a) EXPECT_EQ(std::memcmp(M[a], expectM[a], sizeof(double) * s), 0) << "row " << a;

  for (const bool include : {true, false}) {
    SCOPED_TRACE(include ? "target included" : "target excluded");
    Matrix<double> Mb = expectM;
    if (!include)
      for (int b = 0; b < s; ++b) Mb[b][b] = 0.0;
    Matrix<double> expectY(n, s), Y(n, s);
    for (int c = 0; c < n; ++c) {
      double sum = 0.0;
      bool any = false;
      for (int a = 0; a < s; ++a)
        if (W[c][a] != -999.0) sum += W[c][a], any = true;
      if (sum == 0.0) sum = 1.0;
      for (int b = 0; b < s; ++b) {
        double y = 0.0;
        for (int a = 0; a < s; ++a)
          if (W[c][a] != -999.0 && W[c][a] != 0.0) {
            const double term = (W[c][a] / sum) * Mb[a][b];
            y = y + term;
          }
        if (include) {
          expectY[c][b] = any ? y : -999.0;
        } else if (W[c][b] == -999.0) {
          expectY[c][b] = y;
        } else {
          const double pb = W[c][b] / sum;
          expectY[c][b] = pb == 1.0 ? 0.0 : y / (1.0 - pb);
        }
      }
    }
    BealsSmoothing(n, s, W, W, Y, include, 0, false);
    for (int c = 0; c < n; ++c) EXPECT_EQ(std::memcmp(Y[c], expectY[c], sizeof(double) * s), 0) << "community " << c;
    EXPECT_EQ(Y[7][0], include ? -999.0 : 0.0);
  }
}

TEST(NNCRD, TiedNeighboursAreAveraged) {
  const Matrix<double> D1 = test::FromRows({{0, 1, 1, 2}, {1, 0, 3, 3}, {1, 3, 0, 4}, {2, 3, 4, 0}});
  const Matrix<double> D2 = test::FromRows({{0, 10, 20, 30}, {10, 0, 5, 6}, {20, 5, 0, 7}, {30, 6, 7, 0}});
  double v[4];
  EXPECT_TRUE(NNCRD(4, D1, D2, v));
  EXPECT_CLOSE(v[0], 15.0);  // neighbours 1 and 2 at distance 1
  EXPECT_CLOSE(v[1], 10.0);
  EXPECT_CLOSE(v[2], 20.0);
  EXPECT_CLOSE(v[3], 30.0);
  double lone[1];
  NNCRD(1, D1, D2, lone);
  EXPECT_EQ(lone[0], 0.0);
}

}  // namespace
}  // namespace kalios
