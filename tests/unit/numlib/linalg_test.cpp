#include "numlib/linalg.h"

#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <vector>

#include "numlib/matrix.h"
#include "support/compare.h"
#include "support/scripted.h"

namespace kalios {
namespace {

using test::AbortCodeOf;
using test::CerrCapture;
using test::FromRows;
using test::Identity;
using test::MatricesClose;
using test::Product;
using test::Transposed;

TEST(LinalgEigen, NegativeEigenvalueRule) {
  // [[1,2],[2,1]] has eigenvalues 3 and -1: -1/2 is far below -0.001.
  Matrix<double> vec(2, 2);
  std::vector<double> val(2);
  EXPECT_FALSE(EigenHouseholderQL_GSL_D(2, FromRows({{1, 2}, {2, 1}}), vec, val.data()));
  EXPECT_CLOSE(val[0], 3.0);
  EXPECT_CLOSE(val[1], -1.0);
  // Eigenvalues 3 and -0.001 in a rotated basis: tolerated.
  const double c = std::cos(0.4), s = std::sin(0.4);
  Matrix<double> b = FromRows({{3 * c * c - 0.001 * s * s, 3.001 * c * s}, {3.001 * c * s, 3 * s * s - 0.001 * c * c}});
  EXPECT_TRUE(EigenHouseholderQL_GSL_D(2, b, vec, val.data()));
  EXPECT_CLOSE(val[0], 3.0);
  EXPECT_CLOSE(val[1], -0.001);
  // Non-finite input fails cleanly with zeroed output.
  Matrix<double> v7(2, 2, 7.0);
  std::vector<double> val7(2, 7.0);
  EXPECT_FALSE(EigenHouseholderQL_GSL_D(2, FromRows({{1, NAN}, {NAN, 1}}), v7, val7.data()));
  EXPECT_EQ(val7[0], 0.0);
  EXPECT_EQ(v7[1][1], 0.0);
}

TEST(LinalgEigen, ResidualsOrthonormalityOrderAndInputKept) {
  Matrix<double> a(5, 5);
  for (int i = 0; i < 5; ++i)
    for (int j = i; j < 5; ++j) a[i][j] = a[j][i] = std::sin(1.0 + i * 3.1 + j * 1.7) * (i == j ? 4.0 : 1.0);
  Matrix<double> keep = a, vec(5, 5);
  std::vector<double> val(5);
  EigenHouseholderQL_GSL_D(5, a, vec, val.data());
  EXPECT_TRUE(MatricesClose(a, keep, 0, 0));
  // Eigenvectors are the rows of vec: A V^T = V^T diag(val), V V^T = I.
  Matrix<double> av = Product(a, Transposed(vec)), lv = Transposed(vec);
  for (int k = 0; k < 5; ++k) {
    if (k + 1 < 5) {
      EXPECT_GE(val[k], val[k + 1]);
    }
    for (int i = 0; i < 5; ++i) lv[i][k] *= val[k];
  }
  EXPECT_TRUE(MatricesClose(av, lv, 1e-12, 1e-12));
  EXPECT_TRUE(MatricesClose(Product(vec, Transposed(vec)), Identity(5), 1e-12, 1e-12));
}

// Above the order where LAPACK takes over, the leading eigenpairs are those
// of the full decomposition (vectors up to their sign, which follows the
// largest component), every eigenvalue is still given, the negative-value
// rule still holds, and the rows past the vectors asked for are left alone.
TEST(LinalgEigen, LeadingPairsOfALargeMatrixAgreeWithTheFullDecomposition) {
  const int n = kLapackEigenFrom + 21, want = 5;
  gsl_rng* rng = gsl_rng_alloc(gsl_rng_mt19937);
  gsl_rng_set(rng, 11);
  // The Gram matrix of points in 6 dimensions plus noise: a few
  // large eigenvalues, many tiny ones of either sign.
  Matrix<double> x(n, 6), a(n, n);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 6; ++k) x[i][k] = gsl_rng_uniform(rng) * (6 - k);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double g = 0;
      for (int k = 0; k < 6; ++k) g += x[i][k] * x[j][k];
      a[i][j] = a[j][i] = g + (i == j ? 0.0 : 1e-9 * (gsl_rng_uniform(rng) - 0.5));
    }
  gsl_rng_free(rng);
  const Matrix<double> kept = a;
  Matrix<double> fullVec(n, n), vec(want + 1, n);
  std::vector<double> fullVal(n), val(n);
  vec[want][0] = 42.0;
  const bool fullOk = EigenHouseholderQL_GSL_D(n, a, fullVec, fullVal.data());
  EXPECT_EQ(EigenSymmetricLeading(n, a, want, vec, val.data()), fullOk);
  EXPECT_TRUE(MatricesClose(a, kept, 0, 0));
  for (int k = 0; k < n; ++k) EXPECT_NEAR(val[k], fullVal[k], 1e-10 * fullVal[0]) << k;
  for (int k = 0; k < want; ++k) {
    double dot = 0, big = 0;
    for (int i = 0; i < n; ++i) {
      dot += vec[k][i] * fullVec[k][i];
      if (std::fabs(vec[k][i]) > std::fabs(big)) big = vec[k][i];
    }
    EXPECT_NEAR(std::fabs(dot), 1.0, 1e-9) << k;
    EXPECT_GT(big, 0.0) << k;
  }
  EXPECT_EQ(vec[want][0], 42.0);
  // A markedly negative eigenvalue is still reported.
  for (int i = 0; i < n; ++i) a[i][i] -= 0.5 * fullVal[0];
  EXPECT_FALSE(EigenSymmetricLeading(n, a, 1, vec, val.data()));
}

TEST(LinalgSvd, ReconstructsWithOrthonormalFactors) {
  Matrix<double> a(5, 3);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 3; ++j) a[i][j] = std::cos(0.3 + 1.3 * i + 2.1 * j) + (i == j);
  Matrix<double> keep = a, u(5, 3), v(3, 3);
  std::vector<double> s(3);
  ASSERT_TRUE(SingValueDecomp(5, 3, a, u, s.data(), v));
  EXPECT_TRUE(MatricesClose(a, keep, 0, 0));
  Matrix<double> us = u;
  for (int i = 0; i < 5; ++i)
    for (int k = 0; k < 3; ++k) us[i][k] *= s[k];
  EXPECT_TRUE(MatricesClose(Product(us, Transposed(v)), a, 1e-12, 1e-12));
  EXPECT_TRUE(MatricesClose(Product(Transposed(u), u), Identity(3), 1e-12, 1e-12));
  EXPECT_TRUE(MatricesClose(Product(Transposed(v), v), Identity(3), 1e-12, 1e-12));
  EXPECT_GE(s[0], s[1]);
  EXPECT_GE(s[1], s[2]);
  // Fewer rows than columns, or a NaN: false, nothing written.
  std::vector<double> s2(5, 7.0);
  Matrix<double> wide(3, 5), u2(3, 5), v2(5, 5);
  EXPECT_FALSE(SingValueDecomp(3, 5, wide, u2, s2.data(), v2));
  a[1][1] = NAN;
  EXPECT_FALSE(SingValueDecomp(5, 3, a, u, s2.data(), v));
  EXPECT_EQ(s2[0], 7.0);
}

TEST(LinalgGaussJordan, InverseSolutionsAndSingularMessages) {
  // 1-based copies of A and of two right-hand sides.
  Matrix<double> a0 = FromRows({{0, 2, 1}, {1, 1, 0}, {3, 0, 1}});
  Matrix<double> a(4, 4), b(4, 3);
  Convertn_n1(3, 3, a0, a);
  for (int i = 1; i <= 3; ++i) {
    b[i][1] = i;
    b[i][2] = -1.0 * i * i;
  }
  Matrix<double> b0 = b;
  gaussj(a, 3, b, 2);
  Matrix<double> inv(3, 3), x(3, 2), rhs(3, 2);
  Convertn1_n(3, 3, a, inv);
  EXPECT_TRUE(MatricesClose(Product(a0, inv), Identity(3), 1e-12, 1e-12));
  for (int i = 0; i < 3; ++i)
    for (int c = 0; c < 2; ++c) x[i][c] = b[i + 1][c + 1], rhs[i][c] = b0[i + 1][c + 1];
  EXPECT_TRUE(MatricesClose(Product(a0, x), rhs, 1e-12, 1e-12));

  Matrix<double> s1(3, 3);
  Convertn_n1(2, 2, FromRows({{1, 2}, {2, 4}}), s1);
  {
    CerrCapture cap;
    gaussj(s1, 2, nullptr, 0);
    EXPECT_EQ(cap.text(), "gaussj: Singular Matrix-2");
  }
  {
    // No pivot can be chosen among NaN entries: no column is left to pivot.
    Matrix<double> nan(3, 3, NAN);
    CerrCapture cap;
    gaussj(nan, 2, nullptr, 0);
    EXPECT_EQ(cap.text(), "gaussj: Singular Matrix-1");
  }
  Convertn_n1(2, 2, FromRows({{1, 2}, {2, 4}}), s1);
  CerrCapture cap;
  EXPECT_FALSE(gaussj_VP(s1, 2, nullptr, 0));
  EXPECT_EQ(cap.text(), "");
}

TEST(LinalgGaussJordan, MatrixInverse) {
  Matrix<double> a = FromRows({{4, 7, 2}, {3, 6, 1}, {2, 5, 3}}), inv(3, 3);
  ASSERT_TRUE(MatrixInverse(3, 0, a, inv));
  EXPECT_TRUE(MatricesClose(Product(a, inv), Identity(3), 1e-12, 1e-12));
  Matrix<double> out(3, 3, 5.0);
  EXPECT_FALSE(MatrixInverse(3, 2, FromRows({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}}), out));
  EXPECT_TRUE(MatricesClose(out, Matrix<double>(3, 3, 5.0), 0, 0));
}

TEST(LinalgCholesky, FactorFailureAndCorrelatedData) {
  Matrix<double> a = FromRows({{4, 2, 0.4}, {2, 5, 1}, {0.4, 1, 3}});
  Matrix<double> f = a, l(3, 3);
  std::vector<double> p(3);
  ASSERT_EQ(choldc(f, 3, p.data()), 1);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j <= i; ++j) l[i][j] = i == j ? p[i] : f[i][j];
  EXPECT_TRUE(MatricesClose(Product(l, Transposed(l)), a));
  EXPECT_EQ(f[0][2], a[0][2]);  // upper triangle keeps the input
  {
    Matrix<double> bad = FromRows({{1, 2}, {2, 1}});
    CerrCapture cap;
    EXPECT_EQ(choldc(bad, 2, p.data()), 0);
    EXPECT_EQ(cap.text(), "\ncholdc failed");
  }

  gsl_rng* rng = gsl_rng_alloc(gsl_rng_default);
  gsl_rng_set(rng, 42);
  Matrix<double> r = FromRows({{1, 0.6, -0.3}, {0.6, 1, 0.2}, {-0.3, 0.2, 1}});
  const int n = 20000;
  for (int dist : {1, 2}) {
    Matrix<double> x(n, 3);
    CorrToData_New(n, 3, r, x, dist, rng);
    double mean[3] = {0, 0, 0}, sd[3] = {0, 0, 0};
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < n; ++i) mean[j] += x[i][j] / n;
      for (int i = 0; i < n; ++i) sd[j] += std::pow(x[i][j] - mean[j], 2);
      sd[j] = std::sqrt(sd[j]);
    }
    for (int j = 0; j < 3; ++j)
      for (int k = j + 1; k < 3; ++k) {
        double c = 0;
        for (int i = 0; i < n; ++i) c += (x[i][j] - mean[j]) * (x[i][k] - mean[k]);
        EXPECT_NEAR(c / (sd[j] * sd[k]), r[j][k], 0.03) << "distribution " << dist;
      }
  }
  Matrix<double> x(4, 2);
  CerrCapture cap;
  EXPECT_EQ(AbortCodeOf([&] { CorrToData_New(4, 2, FromRows({{1, 2}, {2, 1}}), x, 2, rng); }), 1);
  gsl_rng_free(rng);
}

TEST(LinalgProducts, ShapesAndMissingValues) {
  // A shape mismatch leaves the output untouched.
  Matrix<double> a = FromRows({{1, 2, 3}, {4, 5, 6}}), b2 = Identity(2), c(2, 2, 9.0);
  EXPECT_EQ(MatrixProd(2, 3, 2, 2, a, b2, c), 1);
  EXPECT_EQ(MatrixProdMV(2, 3, 2, 2, a, b2, c), 1);
  EXPECT_TRUE(MatricesClose(c, Matrix<double>(2, 2, 9.0), 0, 0));

  // -999 terms are skipped; an all-missing row gives -999 in the MV product.
  Matrix<double> am = FromRows({{1, -999, 3}, {-999, -999, -999}});
  Matrix<double> b = FromRows({{1, 2}, {10, 20}, {-999, 4}});
  ASSERT_EQ(MatrixProd(2, 3, 3, 2, am, b, c), 0);
  EXPECT_TRUE(MatricesClose(c, FromRows({{1, 14}, {0, 0}})));
  ASSERT_EQ(MatrixProdMV(2, 3, 3, 2, am, b, c), 0);
  EXPECT_TRUE(MatricesClose(c, FromRows({{1, 14}, {-999, -999}})));

  Matrix<double> t = FromRows({{1, 2, 3}, {4, -999, 6}});
  std::vector<double> rows(2), cols(3);
  RowTotalsMV(2, 3, t, rows.data());
  ColTotalsMV(2, 3, t, cols.data());
  EXPECT_EQ(rows, (std::vector<double>{6, 10}));
  EXPECT_EQ(cols, (std::vector<double>{5, 2, 9}));
  EXPECT_EQ(MatrixTotalMV(2, 3, t), 16.0);
}

}  // namespace
}  // namespace kalios
