#include "measures/transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "measures/covariance.h"
#include "numlib/matrix.h"
#include "support/compare.h"

namespace kalios {
namespace {

using test::MatricesClose;

using test::AllFinite;
using test::FromRows;

TEST(TransformAdjust, ZeroDivisorsBecomeOne) {
  Matrix<double> a = FromRows({{0, 0, 0}, {1, -999, 3}});
  Matrix<double> out(2, 3);
  UnitSumRowsAdjMV(2, 3, out, a);
  EXPECT_TRUE(MatricesClose(out, FromRows({{0, 0, 0}, {0.25, -999, 0.75}})));

  Matrix<double> c = FromRows({{5, 1}, {5, -999}, {5, 3}});
  Matrix<double> rc(3, 2);
  RangeColsAdjMV(3, 2, c, rc);
  EXPECT_TRUE(MatricesClose(rc, FromRows({{0, 0}, {0, -999}, {0, 1}})));

  // A zero norm divides by 1.
  NormalizeRowsMV(2, 3, FromRows({{0, 0, -999}, {3, -999, 4}}), out);
  EXPECT_TRUE(MatricesClose(out, FromRows({{0, 0, -999}, {0.6, -999, 0.8}})));

  // A row with one present value: divisor sqrt(m - 1) = 0 becomes 1.
  Matrix<double> one = FromRows({{-999, 4, -999}, {1, 2, 6}});
  CenterRowsCovMV(2, 3, one, out);
  EXPECT_TRUE(AllFinite(out));
  EXPECT_TRUE(MatricesClose(out, FromRows({{-999, 0, -999}, {-2 / std::sqrt(2.0), -1 / std::sqrt(2.0), 3 / std::sqrt(2.0)}})));
}

TEST(TransformAdjust, CenteringStandardizationInPlace) {
  Matrix<double> a = FromRows({{1, 2, -999, 5}, {4, 0, 2, 2}, {-999, 7, 1, 1}});
  Matrix<double> out(3, 4);
  CenterColsMV(3, 4, a, out);
  EXPECT_TRUE(MatricesClose(out, FromRows({{-1.5, -1, -999, 2.3333333333333335}, {1.5, -3, 0.5, -0.6666666666666665}, {-999, 4, -0.5, -1.6666666666666665}})));
  // Column z-scores use the full row count n in the divisor.
  ZStandardizationColsMV(3, 4, a, out);
  EXPECT_CLOSE(out[1][0], 1.5 / std::sqrt(4.5 / 3));
  EXPECT_EQ(out[2][0], -999.0);
  // Every routine accepts the input as its output.
  using Fn = void (*)(int, int, const double* const*, double**);
  for (Fn f : {Fn(CenterRowsMV), Fn(CenterColsMV), Fn(NormalizeRowsMV), Fn(NormalizeColsMV),
               Fn(ZStandardizationColsMV), Fn(RangeColsAdjMV), Fn(CenterRowsCovMV),
               Fn(DeviationsExpectationsMV)}) {
    Matrix<double> sep(3, 4), same = a;
    f(3, 4, a, sep);
    f(3, 4, same, same);
    EXPECT_TRUE(MatricesClose(sep, same, 0, 0));
  }
  Matrix<double> same = a, sep = a;  // missing positions are not written
  CorrAdj(3, 4, sep, a);
  CorrAdj(3, 4, same, same);
  EXPECT_TRUE(MatricesClose(sep, same, 0, 0));
}

TEST(TransformAdjust, CorrAdjRoundsToSinglePrecision) {
  Matrix<double> e = FromRows({{0.1, 3}, {0.7, -999}, {1.3, 5}, {2.9, 11}});
  Matrix<double> out(4, 2, 42.0);
  CorrAdj(4, 2, out, e);
  EXPECT_EQ(out[1][1], 42.0);  // missing input: output not written
  EXPECT_EQ(out[0][0], static_cast<double>(static_cast<float>(out[0][0])));
  double len = 0;
  for (int i : {0, 2, 3}) len += out[i][1] * out[i][1];
  EXPECT_NEAR(len, 1.0, 1e-6);

  for (auto [set, n, p] : {std::tuple{"small", 6, 2}, std::tuple{"mixed", 10, 3}}) {
    Matrix<double> env = test::ReadFixtureNumbers(std::string(set) + "/E.txt", n, p);
    Matrix<double> adj(n, p);
    CorrAdj(n, p, adj, env);
    auto expected = test::JsonMatrix(test::LoadJson(std::string(set) + "/expected.json")["E_corradj"]);
    EXPECT_TRUE(MatricesClose(adj, expected)) << set;
  }
}

TEST(TransformAdjust, ExpectationsPartitionAndUnitMax) {
  Matrix<double> t = FromRows({{2, 0, 1}, {0, 0, 0}, {1, -999, 3}});
  Matrix<double> out(3, 3);
  DeviationsExpectationsMV(3, 3, t, out);
  const double N = 7, r0 = 3, c0 = 3;
  EXPECT_CLOSE(out[0][0], (2 * N - r0 * c0) / (std::sqrt(r0 * c0) * N));
  EXPECT_EQ(out[0][1] + out[1][2], 0.0);  // a zero row or column total: unchanged
  EXPECT_EQ(out[2][1], -999.0);

  Matrix<double> w = FromRows({{2, 0, 4, -999}, {0, 0, 0, 0}});
  Matrix<double> q(2, 4, 9.0);
  DataPartitionQualQuant(2, 4, w, q, 1);
  EXPECT_TRUE(MatricesClose(q, FromRows({{-1, 0, 1, 0}, {0, 0, 0, 0}})));
  DataPartitionQualQuant(2, 4, w, q, 2);
  EXPECT_TRUE(MatricesClose(q, FromRows({{3, 0, 3, 0}, {0, 0, 0, 0}})));
  q.Fill(9.0);
  DataPartitionQualQuant(2, 4, w, q, 0);
  EXPECT_TRUE(MatricesClose(q, FromRows({{9, 0, 9, 0}, {0, 0, 0, 0}})));
  Array3<double> a3(2, 1, 2), o3(2, 1, 2);
  a3[1][0][1] = 8;
  a3[0][0][0] = 2;
  EXPECT_EQ(MatrixUnitMaxTransf3D(2, 1, 2, a3, o3), 8.0);
  EXPECT_EQ(o3[0][0][0], 0.25);
}

TEST(TransformVector, RanksWithTiesAndMissing) {
  std::vector<double> v = {3, -999, 1, 3}, r(4);
  RankVectorAdjMV(4, v.data(), r.data());
  EXPECT_EQ(r, (std::vector<double>{2.5, -999, 1, 2.5}));
  // A present value below the missing code still ranks among present values.
  std::vector<double> w = {-5000, -999, 7, 7, 7, -999, 2};
  RankVectorAdjMV(7, w.data(), w.data());
  EXPECT_EQ(w, (std::vector<double>{1, -999, 4, 4, 4, -999, 2}));
}

TEST(TransformVector, ClassesAndSums) {
  std::vector<double> v = {0, 1, 2, 4}, c(4);
  ClassesMV(4, v.data(), c.data(), 4);
  EXPECT_EQ(c, (std::vector<double>{1, 1, 2, 4}));
  std::vector<double> m = {5, -999, 5}, cm(3);
  ClassesMV(3, m.data(), cm.data(), 3);
  EXPECT_EQ(cm, (std::vector<double>{1, -999, 1}));

  std::vector<double> flat = {0.1, 0.1, 0.1};
  double mean, sd;
  MeanStDev(3, flat.data(), &mean, &sd);
  EXPECT_EQ(sd, 0.0);  // no NaN from a rounding-negative variance
  MeanStDev(1, flat.data(), &mean, &sd);
  EXPECT_EQ(sd, 0.0);
  std::vector<double> y = {2, 4, 4, 4, 5, 5, 7, 9};
  MeanStDev(8, y.data(), &mean, &sd);
  EXPECT_CLOSE(mean, 5.0);
  EXPECT_CLOSE(sd, std::sqrt(32.0 / 7.0));

  std::vector<double> z = {1, -999, 3, 8}, out(4);
  std::vector<int> flags(4, 7);
  ZStandardizationVectorMV(4, z.data(), out.data(), true, 1.2, flags.data());
  const double s = std::sqrt(26.0 / 4.0);  // deviations -3, -1, 4 of the mean 4
  EXPECT_CLOSE(out[0], -3 / s);
  EXPECT_EQ(out[1], -999.0);
  EXPECT_CLOSE(out[3], 4 / s);
  EXPECT_EQ(flags, (std::vector<int>{0, 0, 0, 1}));
}

TEST(TransformCovariance, PairwiseDeletionCorrelation) {
  Matrix<double> x = FromRows({{1, 2, 3, 4, 8}, {2, -999, 1, 5, 9}, {0, 3, 3, 1, -999}});
  Matrix<double> r(3, 3);
  CorrelationMV(3, 5, x, r);
  // Each pair uses only the columns present in both rows.
  auto pearson = [](std::vector<double> a, std::vector<double> b) {
    double ma = 0, mb = 0;
    for (size_t k = 0; k < a.size(); ++k) ma += a[k] / a.size(), mb += b[k] / b.size();
    double sab = 0, saa = 0, sbb = 0;
    for (size_t k = 0; k < a.size(); ++k)
      sab += (a[k] - ma) * (b[k] - mb), saa += (a[k] - ma) * (a[k] - ma), sbb += (b[k] - mb) * (b[k] - mb);
    return sab / std::sqrt(saa * sbb);
  };
  EXPECT_CLOSE(r[0][1], pearson({1, 3, 4, 8}, {2, 1, 5, 9}));
  EXPECT_CLOSE(r[1][0], r[0][1]);
  EXPECT_CLOSE(r[0][2], pearson({1, 2, 3, 4}, {0, 3, 3, 1}));
  EXPECT_CLOSE(r[1][2], pearson({2, 1, 5}, {0, 3, 1}));
  EXPECT_CLOSE(r[1][1], 1.0);
  EXPECT_CLOSE(Correlation2SelectedVecMV(5, true, 0, x, true, 1, x), r[0][1]);
  EXPECT_CLOSE(Correlation2SelectedVecMV(5, false, 1, test::Transposed(x), true, 2, x), r[1][2]);

  // Without missing values the fast path equals the pairwise one.
  Matrix<double> full = FromRows({{1, 2, 3, 4}, {2, 0, 1, 5}, {7, 7, 7, 7}});
  CorrelationMV(3, 4, full, r);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_CLOSE(r[i][j], Correlation2VecMV(4, full[i], full[j]));
}

TEST(TransformCovariance, UndefinedIsZeroOnBothPaths) {
  // A constant row correlates 0 with everything, on the fast path (no missing
  // value) and on the pairwise path alike.
  Matrix<double> c = FromRows({{7, 7, 7, 7}, {1, 2, 3, 5}});
  Matrix<double> cm = FromRows({{7, 7, 7, 7}, {1, 2, -999, 5}});
  Matrix<double> r1(2, 2), r2(2, 2);
  CorrelationMV(2, 4, c, r1);
  CorrelationMV(2, 4, cm, r2);
  EXPECT_TRUE(AllFinite(r1) && AllFinite(r2));
  EXPECT_EQ(r1[0][1], 0.0);
  EXPECT_EQ(r2[0][1], 0.0);
  EXPECT_EQ(r1[0][0], 0.0);
  EXPECT_EQ(r2[0][0], 0.0);
  EXPECT_EQ(Correlation2SelectedVecMV(2, true, 0, c, false, 0, c), 0.0);  // (7, 7) against (7, 1)
  const double none[] = {-999, 1}, other[] = {2, -999};
  EXPECT_EQ(Correlation2VecMV(2, none, other), 0.0);

  // One common value: m - 1 = 0, covariance 0 on both paths.
  const double a[] = {1, -999, 3}, b[] = {-999, 2, 4};
  EXPECT_EQ(Covariance2VecMV(3, a, b), 0.0);
  Matrix<double> single = FromRows({{4}, {9}}), m(2, 2, 5.0);
  CovarianceMV(2, 1, single, m);
  EXPECT_TRUE(MatricesClose(m, Matrix<double>(2, 2, 0.0)));
}

TEST(TransformCovariance, MatchesSampleCovariance) {
  Matrix<double> x = FromRows({{1, 2, 3, 6}, {2, 0, 1, 5}});
  Matrix<double> m(2, 2), mm(2, 2);
  CovarianceMV(2, 4, x, m);
  EXPECT_CLOSE(m[0][1], Covariance2VecMV(4, x[0], x[1]));
  EXPECT_CLOSE(m[0][0], 14.0 / 3.0);  // deviations -2, -1, 0, 3
  Matrix<double> xm = FromRows({{1, 2, 3, 6}, {2, -999, 1, 5}});
  CovarianceMV(2, 4, xm, mm);
  EXPECT_CLOSE(mm[0][1], Covariance2VecMV(4, xm[0], xm[1]));
  Matrix<double> cp(2, 2);
  CrossProductMV(2, 4, xm, cp);
  EXPECT_TRUE(MatricesClose(cp, FromRows({{50, 35}, {35, 30}})));
}

}  // namespace
}  // namespace kalios
