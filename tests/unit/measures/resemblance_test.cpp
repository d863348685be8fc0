#include "measures/resemblance.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/compare.h"

namespace kalios {
namespace {

using test::Close;
using test::JsonMatrix;
using test::LoadJson;
using test::MatricesClose;
using test::ReadFixtureNumbers;

// Runs one resemblance code on the rows of x.
Matrix<double> Rese(const Matrix<double>& x, int code, int squareOpt = 0, double alpha = 1, double k = 0) {
  Matrix<double> d(x.rows(), x.rows());
  ResemblanceLib(x.rows(), x.cols(), x, d, 1, code, squareOpt, nullptr, alpha, k, 1, false);
  return d;
}

struct FixtureSet {
  const char* name;
  int n, p;
};

class GowerFixture : public ::testing::TestWithParam<FixtureSet> {};

TEST_P(GowerFixture, MatchesReferenceAndKeepsRawTraits) {
  const FixtureSet& set = GetParam();
  const std::string dir = set.name;
  Matrix<double> B = ReadFixtureNumbers(dir + "/B.txt", set.n, set.p);
  const Matrix<double> raw = B;
  std::vector<int> types = LoadJson(dir + "/meta.json")["trait_types"].get<std::vector<int>>();
  Matrix<double> S(set.n, set.n);
  GowerMVOpt(set.n, set.p, types.data(), B, S, nullptr, nullptr, 1);
  EXPECT_TRUE(MatricesClose(S, JsonMatrix(LoadJson(dir + "/expected.json")["S"])));
  Matrix<double> viaLib(set.n, set.n);
  ResemblanceLib(set.n, set.p, B, viaLib, 1, 5, types.data(), 1, 0, 1, false);
  EXPECT_TRUE(MatricesClose(viaLib, S, 0, 0));
  // Ordinal traits are ranked on a private copy: B keeps its raw values.
  EXPECT_TRUE(MatricesClose(B, raw, 0, 0));

  // The per-trait partial similarities averaged over comparable traits give the same
  // S when quantitative traits come with their ranges in double precision, as the
  // analysis passes them.
  std::vector<Matrix<double>> part;
  for (int k = 0; k < set.p; ++k) {
    std::vector<double> col;
    for (int i = 0; i < set.n; ++i) col.push_back(B[i][k]);
    double lo = 1e300, hi = -1e300;
    for (double v : col)
      if (v != -999.0) lo = std::min(lo, v), hi = std::max(hi, v);
    part.emplace_back(set.n, set.n);
    GowerMVPartial_dAbsences(set.n, types[static_cast<size_t>(k)], col.data(), part.back(), hi - lo, 1, 1);
  }
  for (int i = 0; i < set.n; ++i)
    for (int j = 0; j < set.n; ++j) {
      double num = 0, den = 0;
      for (const auto& pk : part)
        if (pk[i][j] != -999.0) num += pk[i][j], den += 1;
      EXPECT_CLOSE(num / den, S[i][j]);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GowerFixture,
                         ::testing::Values(FixtureSet{"small", 8, 4}, FixtureSet{"mixed", 12, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Gower, DoubleAbsencesCountOnlyWhenAsked) {
  const int types[] = {1, 1, 1, 3};
  Matrix<double> x = test::FromRows({{0, 0, 1, -999}, {0, 1, 1, 5}, {0, 0, 0, 7}});
  Matrix<double> with(3, 3), without(3, 3);
  GowerMVOpt(3, 4, types, x, with, nullptr, nullptr, 1);
  GowerMV(3, 4, types, x, without, nullptr, nullptr);
  EXPECT_CLOSE(with[0][1], 2.0 / 3);     // the shared 0 of trait 1 matches
  EXPECT_CLOSE(without[0][1], 1.0 / 2);  // ... or is left out
  EXPECT_CLOSE(with[0][2], 2.0 / 3);
  EXPECT_CLOSE(without[0][2], 0.0);  // only absences and a mismatch in common
  EXPECT_EQ(with[1][0], with[0][1]);
  EXPECT_EQ(without[1][1], 1.0);

  // A pair with nothing comparable keeps its previous value.
  Matrix<double> onlyAbsences = test::FromRows({{0, 0, -999, 1}, {0, 0, 1, -999}});
  Matrix<double> s(2, 2);
  GowerMV(2, 4, types, onlyAbsences, s, nullptr, nullptr);
  EXPECT_EQ(s[0][1], 0.0);
  EXPECT_EQ(s[1][0], 0.0);

  // Weights scale each trait's share; a zero weight removes it.
  const double w[] = {0, 1, 3, 2};
  Matrix<double> sw(3, 3);
  GowerMVOpt(3, 4, types, x, sw, nullptr, w, 1);
  EXPECT_CLOSE(sw[0][1], 3.0 / 4);
  EXPECT_CLOSE(sw[1][2], 0.0);  // the quantitative trait spans its whole range
}

TEST(Gower, OrdinalTraitsComparedOnMidRanks) {
  const int types[] = {4};
  Matrix<double> x = test::FromRows({{1}, {5}, {5}, {10}, {-999}});
  Matrix<double> s(5, 5);
  GowerMVOpt(5, 1, types, x, s, nullptr, nullptr, 1);
  // Ranks 1, 2.5, 2.5, 4 with range 3 (the raw values would give 1 - 4/9 for [0][1]).
  EXPECT_CLOSE(s[0][1], 0.5);
  EXPECT_CLOSE(s[1][2], 1.0);
  EXPECT_CLOSE(s[0][3], 0.0);
  EXPECT_EQ(s[0][4], 0.0);  // missing: nothing comparable
  EXPECT_EQ(x[1][0], 5.0);
  EXPECT_EQ(x[3][0], 10.0);

  const double col[] = {1, 5, 5, 10, -999};
  Matrix<double> p(5, 5);
  GowerMVPartial_dAbsences(5, 4, col, p, 99, 1, 1);  // an ordinal range is always recomputed
  EXPECT_EQ(p[0][1], 0.5);
  EXPECT_EQ(p[0][4], -999.0);
  EXPECT_EQ(col[3], 10.0);
}

TEST(Gower, PartialSimilarityMarksPairsThatCannotBeCompared) {
  const double bin[] = {0, 0, 1};
  Matrix<double> p(3, 3);
  GowerMVPartial_dAbsences(3, 1, bin, p, 0, -5, 0);  // negative weight -> 1
  EXPECT_EQ(p[0][1], -999.0);                          // double absence left out
  EXPECT_EQ(p[0][2], 0.0);
  EXPECT_EQ(p[2][2], 1.0);
  GowerMVPartial_dAbsences(3, 1, bin, p, 0, 1, 2);
  EXPECT_EQ(p[0][2], -999.0);  // unknown double-absence rule
  GowerMVPartial_dAbsences(3, 2, bin, p, 0, 0, 1);
  EXPECT_EQ(p[0][2], -999.0);  // zero weight
  GowerMVPartial_dAbsences(3, 7, bin, p, 0, 1, 1);
  EXPECT_EQ(p[0][0], -999.0);  // unknown type

  const double q[] = {0.1, 0.4, 3.1};
  GowerMVPartial_dAbsences(3, 3, q, p, 0, 1, 1);
  EXPECT_EQ(p[0][1], static_cast<double>(static_cast<float>(1 - std::fabs(0.1 - 0.4) / static_cast<float>(3.0))));
  EXPECT_EQ(p[1][0], p[0][1]);
}

TEST(Binary, CodesOnHandCountedTable) {
  // a = 1, b = 2, c = 1, d = 1; the last variable (2) and the missing one count nowhere.
  Matrix<double> x = test::FromRows({{1, 1, 0, 0, 1, 2, -999}, {1, 0, 1, 0, 0, 2, 1}});
  int a, b, c, d;
  JointFreq(7, x[0], x[1], a, b, c, d);
  EXPECT_EQ(a * 1000 + b * 100 + c * 10 + d, 1211);
  const struct { int code; double value; } cases[] = {
      {11, 1.0 / 4}, {12, 3.0 / 6}, {13, 1.0 / 5}, {14, 1 / std::sqrt(6.0)}, {15, 2.0 / 5},
      {16, 1.0 / 36}, {23, 3.0 / 4}, {24, 2.0 / 3}, {25, (1.0 / 4) * (1.0 / 3)}, {26, 3.0 / 5},
      {27, 1.0 / 2}, {28, (1.0 / 5) * (1.0 / 2)}};
  for (const auto& tc : cases) {
    Matrix<double> r = Rese(x, tc.code);
    EXPECT_CLOSE(r[0][1], tc.value) << "code " << tc.code;
    EXPECT_EQ(r[1][0], r[0][1]);
  }
}

TEST(Binary, AllZeroRowsGiveNoNaN) {
  Matrix<double> z(2, 4);
  for (int code : {11, 12, 13, 14, 15, 16, 23, 24, 25, 26, 27, 28}) {
    Matrix<double> r = Rese(z, code);
    EXPECT_TRUE(test::AllFinite(r)) << "code " << code;
  }
  EXPECT_EQ(Rese(z, 11)[0][1], 0.0);
  EXPECT_EQ(Rese(z, 23)[0][1], 1.0);
  EXPECT_EQ(Rese(z, 24)[0][1], -999.0);
  EXPECT_EQ(Rese(z, 12)[0][1], 1.0);
  EXPECT_EQ(Rese(z, 26)[0][1], 1.0);
  EXPECT_EQ(Rese(z, 28)[0][1], -999.0);
  // Squaring leaves the undefined mark alone.
  EXPECT_EQ(Rese(z, 24, 1)[0][1], -999.0);
}

TEST(Quantitative, CodesOnHandComputedValues) {
  Matrix<double> x = test::FromRows({{1, 2, 3}, {1, 3, 2}});
  EXPECT_CLOSE(Rese(x, 1)[0][1], 1 + 6 + 6);
  EXPECT_CLOSE(Rese(x, 2)[0][1], 2);
  EXPECT_CLOSE(Rese(x, 3)[0][1], std::sqrt(2.0));
  EXPECT_CLOSE(Rese(x, 3, 2)[0][1], std::pow(2.0, 0.25));
  EXPECT_CLOSE(Rese(x, 3, 1)[0][1], 2.0);
  EXPECT_CLOSE(Rese(x, 17)[0][1], 0.5);
  EXPECT_CLOSE(Rese(x, 22)[0][1], 0.5);
  EXPECT_CLOSE(Rese(x, 21)[0][1], 0.5);  // eigenvalues of [[1, .5], [.5, 1]]
  EXPECT_CLOSE(Rese(x, 18)[0][1], std::sqrt(2 - 2 * 13.0 / 14));

  Matrix<double> m = test::FromRows({{1, 3, -999}, {3, 1, 7}});
  EXPECT_CLOSE(Rese(m, 3)[0][1], std::sqrt(8.0));
  EXPECT_CLOSE(Rese(m, 4)[0][1], 2 * (std::log(0.5) + 3 * std::log(1.5)));
  EXPECT_CLOSE(Rese(m, 4)[0][0], 0.0);
  EXPECT_CLOSE(Rese(m, 18)[0][1], std::sqrt(2 - 2 * 6.0 / 10));

  Matrix<double> bc = test::FromRows({{1, 2}, {3, 0}, {-1, 0}});
  Matrix<double> rbc = Rese(bc, 20);  // values shifted by the smallest, -1
  EXPECT_CLOSE(rbc[0][1], 4.0 / (2 + 3 + 4 + 1));
  EXPECT_EQ(rbc[2][2], 0.0);

  Matrix<double> lc = test::FromRows({{1, 2, 0}, {2, 2, 0}});
  Matrix<double> rlc = Rese(lc, 19, 0, 1, 1.0);
  EXPECT_EQ(rlc[0][1], static_cast<double>(0.7f));  // (2/5 + 1) / 2, the all-zero variable left out
  EXPECT_EQ(rlc[1][1], 1.0);
}

TEST(Quantitative, MahalanobisWithPairwiseDeletion) {
  Matrix<double> x = test::FromRows({{0, 0}, {2, 0}, {0, 2}, {2, 2}, {1, -999}});
  Matrix<double> d = Rese(x, 29);
  // Variances 1 and 4/3, covariance 0.
  EXPECT_CLOSE(d[0][1], 2.0);
  EXPECT_CLOSE(d[0][2], std::sqrt(3.0));
  EXPECT_CLOSE(d[0][3], std::sqrt(4.0 + 3.0));
  EXPECT_CLOSE(d[4][0], 1.0);  // only the first variable in common

  Matrix<double> collinear = test::FromRows({{0, 0}, {1, 2}, {2, 4}});
  EXPECT_TRUE(MatricesClose(Rese(collinear, 29),
                            test::FromRows({{0, -999, -999}, {-999, 0, -999}, {-999, -999, 0}}), 0, 0));

  // A trait that is a combination of two others, in decimals: the covariance
  // matrix keeps a pivot of rounding size, which must still count as singular
  // rather than give distances from an inverse of order 1e15.
  std::vector<std::vector<double>> combo;
  const double a[] = {1.5, 2.1, 8.3, 8.7, 8.8}, b[] = {92 / 7.0, 86 / 7.0, 47 / 7.0, 79 / 7.0, 61 / 7.0};
  for (int i = 0; i < 5; ++i) combo.push_back({a[i], b[i], 0.3 * a[i] + b[i] / 3.0});
  Matrix<double> m = Rese(test::FromRows(combo), 29);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_EQ(m[i][j], i == j ? 0.0 : -999.0) << i << "," << j;
}

TEST(Dispatch, OrientationAndUnknownCodes) {
  Matrix<double> x = test::FromRows({{1, 2, 3, 4, 5}, {0, 1, 0, 1, 0}, {5, -999, 1, 2, 2}});
  Matrix<double> d(5, 5);
  ResemblanceLib(3, 5, x, d, 2, 3, nullptr, 1, 0, 1, false);
  EXPECT_TRUE(MatricesClose(d, Rese(test::Transposed(x), 3), 0, 0));
  EXPECT_CLOSE(d[0][1], std::sqrt(1 + 1.0));  // the missing value skipped

  // A negative similarity has no square root: it is marked undefined, not NaN.
  Matrix<double> anti = test::FromRows({{1, 2, 3}, {3, 2, 1}});
  EXPECT_EQ(Rese(anti, 17, 2)[0][1], -999.0);
  EXPECT_CLOSE(Rese(anti, 17, 2)[0][0], 1.0);

  Matrix<double> keep(3, 3, 7.0);
  keep[0][1] = 9;
  ResemblanceLib(3, 5, x, keep, 1, 30, 1, nullptr, 1, 0, 1, false);
  EXPECT_EQ(keep[0][1], 81.0);  // nothing computed, then squared and mirrored
  EXPECT_EQ(keep[1][0], 81.0);

  for (auto [from, to] : {std::pair{3, 1}, {5, 17}, {6, 3}, {8, 2}, {10, 18}, {7, 0}, {11, 1}, {0, 1}})
    EXPECT_EQ(TranslateReseOpt_KALIOS_PLOVEN(from), to) << from;
}

TEST(Euclid, SameBitsWithOneOrSeveralThreads) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-3, 3);
  const int n = 301, p = 12;
  Matrix<double> x(n, p);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < p; ++k) x[i][k] = (gen() % 17 == 0) ? -999.0 : u(gen);
  const int saved = omp_get_max_threads();
  Matrix<double> one(n, n), many(n, n), selOne(n, n), selMany(n, n);
  std::vector<int> sel(p, 1);
  sel[3] = 0;
  omp_set_num_threads(1);
  EucliDistMV(n, p, x, one);
  EucliDistMVSelect(n, p, x, selOne, sel.data());
  omp_set_num_threads(4);
  EucliDistMV(n, p, x, many);
  EucliDistMVSelect(n, p, x, selMany, sel.data());
  omp_set_num_threads(saved);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      ASSERT_EQ(one[i][j], many[i][j]);
      ASSERT_EQ(selOne[i][j], selMany[i][j]);
      ASSERT_EQ(one[i][j], one[j][i]);
    }
  EXPECT_EQ(selOne[5][2], 0.0);  // lower triangle left to the caller

  // Complete data go to the blocked kernel: the same bits as the plain sum
  // of rounded squares in the order of the variables, with a variable left
  // out by the selection as if it were not there.
  Matrix<double> c(n, p + 1);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k <= p; ++k) c[i][k] = u(gen) * (k + 1);
  std::vector<int> selC(p + 1, 1);
  selC[4] = 0;
  omp_set_num_threads(3);
  EucliDistMV(n, p + 1, c, many);
  EucliDistMVSelect(n, p + 1, c, selMany, selC.data());
  omp_set_num_threads(saved);
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      double all = 0, kept = 0;
      for (int k = 0; k <= p; ++k) {
        const double d = c[i][k] - c[j][k];
        all += d * d;
        if (k != 4) kept += d * d;
      }
      ASSERT_EQ(many[i][j], std::sqrt(all)) << i << " " << j;
      ASSERT_EQ(selMany[i][j], std::sqrt(kept)) << i << " " << j;
    }

  Matrix<double> y = test::FromRows({{1, 4, -999}, {4, 0, 2}});
  Matrix<double> d(2, 2);
  EucliDistMVSelectOne(2, 3, y, d, 2);
  EXPECT_EQ(d[0][1], 4.0);
  EucliDistMVSelectOne(2, 3, y, d, 3);
  EXPECT_EQ(d[0][1], 0.0);
  EucliDist(2, 2, y, d);
  EXPECT_EQ(d[1][0], 5.0);
}

TEST(Euclid, CommunityDistancesOfFixtures) {
  for (const char* set : {"small", "mixed"}) {
    nlohmann::json e = LoadJson(std::string(set) + "/expected.json");
    Matrix<double> E = JsonMatrix(e["E_corradj"]);
    Matrix<double> D(E.rows(), E.rows());
    EucliDistMV(E.rows(), E.cols(), E, D);
    EXPECT_TRUE(MatricesClose(D, JsonMatrix(e["DE"]))) << set;
  }
}

}  // namespace
}  // namespace kalios
