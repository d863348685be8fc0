#include "numlib/linalg.h"

#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <vector>

#include "numlib/matrix.h"
#include "shell/abort.h"
#include "support/compare.h"

namespace kalios {
namespace {

using test::Close;
using test::MatricesClose;

// Captures what a routine writes to standard error.
class CerrCapture {
 public:
  CerrCapture() : old_(std::cerr.rdbuf(buf_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(old_); }
  std::string text() const { return buf_.str(); }

 private:
  std::ostringstream buf_;
  std::streambuf* old_;
};

Matrix<double> FromRows(std::initializer_list<std::initializer_list<double>> rows) {
  Matrix<double> m(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()));
  int i = 0;
  for (auto& r : rows) {
    int j = 0;
    for (double v : r) m[i][j++] = v;
    ++i;
  }
  return m;
}

// A fixed, well-spread symmetric matrix.
Matrix<double> Symmetric5() {
  Matrix<double> a(5, 5);
  for (int i = 0; i < 5; ++i)
    for (int j = i; j < 5; ++j) a[i][j] = a[j][i] = std::sin(1.0 + i * 3.1 + j * 1.7) * (i == j ? 4.0 : 1.0);
  return a;
}

TEST(LinalgEigen, NegativeEigenvalueRule) {
  // [[1,2],[2,1]] has eigenvalues 3 and -1: -1/2 is far below -0.001.
  Matrix<double> a = FromRows({{1, 2}, {2, 1}});
  Matrix<double> vec(2, 2);
  std::vector<double> val(2);
  EXPECT_FALSE(EigenHouseholderQL_GSL_D(2, a, vec, val.data()));
  EXPECT_CLOSE(val[0], 3.0);
  EXPECT_CLOSE(val[1], -1.0);

  // Eigenvalues 3 and -0.001 in a rotated basis: tolerated.
  const double c = std::cos(0.4), s = std::sin(0.4);
  Matrix<double> b(2, 2);
  b[0][0] = 3 * c * c - 0.001 * s * s;
  b[1][1] = 3 * s * s - 0.001 * c * c;
  b[0][1] = b[1][0] = (3 + 0.001) * c * s;
  EXPECT_TRUE(EigenHouseholderQL_GSL_D(2, b, vec, val.data()));
  EXPECT_CLOSE(val[0], 3.0);
  EXPECT_CLOSE_TOL(val[1], -0.001, 1e-9, 1e-12);
}

TEST(LinalgEigen, ResidualsOrthonormalityOrderAndInputKept) {
  Matrix<double> a = Symmetric5();
  Matrix<double> keep = a;
  Matrix<double> vec(5, 5);
  std::vector<double> val(5);
  EigenHouseholderQL_GSL_D(5, a, vec, val.data());
  EXPECT_TRUE(MatricesClose(a, keep, 0, 0));
  for (int k = 0; k + 1 < 5; ++k) EXPECT_GE(val[k], val[k + 1]);
  for (int k = 0; k < 5; ++k) {
    // ||A v - lambda v|| with v = row k.
    double res = 0;
    for (int i = 0; i < 5; ++i) {
      double av = 0;
      for (int j = 0; j < 5; ++j) av += a[i][j] * vec[k][j];
      res += std::pow(av - val[k] * vec[k][i], 2);
    }
    EXPECT_LT(std::sqrt(res), 1e-12);
    for (int l = 0; l < 5; ++l) {
      double dot = 0;
      for (int i = 0; i < 5; ++i) dot += vec[k][i] * vec[l][i];
      EXPECT_CLOSE_TOL(dot, k == l ? 1.0 : 0.0, 1e-12, 1e-12);
    }
  }
}

TEST(LinalgEigen, NonFiniteInputFailsCleanly) {
  Matrix<double> a = FromRows({{1, NAN}, {NAN, 1}});
  Matrix<double> vec(2, 2, 7.0);
  std::vector<double> val(2, 7.0);
  EXPECT_FALSE(EigenHouseholderQL_GSL_D(2, a, vec, val.data()));
  EXPECT_EQ(val[0], 0.0);
  EXPECT_EQ(vec[1][1], 0.0);
}

TEST(LinalgSvd, ReconstructsWithOrthonormalFactors) {
  Matrix<double> a(5, 3);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 3; ++j) a[i][j] = std::cos(0.3 + 1.3 * i + 2.1 * j) + (i == j);
  Matrix<double> keep = a, u(5, 3), v(3, 3);
  std::vector<double> s(3);
  ASSERT_TRUE(SingValueDecomp(5, 3, a, u, s.data(), v));
  EXPECT_TRUE(MatricesClose(a, keep, 0, 0));
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 3; ++j) {
      double x = 0;
      for (int k = 0; k < 3; ++k) x += u[i][k] * s[k] * v[j][k];
      EXPECT_CLOSE_TOL(x, a[i][j], 1e-12, 1e-12);
    }
  for (int k = 0; k < 3; ++k)
    for (int l = 0; l < 3; ++l) {
      double du = 0, dv = 0;
      for (int i = 0; i < 5; ++i) du += u[i][k] * u[i][l];
      for (int i = 0; i < 3; ++i) dv += v[i][k] * v[i][l];
      EXPECT_CLOSE_TOL(du, k == l, 1e-12, 1e-12);
      EXPECT_CLOSE_TOL(dv, k == l, 1e-12, 1e-12);
    }
  EXPECT_GE(s[0], s[1]);
  EXPECT_GE(s[1], s[2]);
  // Fewer rows than columns cannot be decomposed: false, nothing written.
  std::vector<double> s2(5, 7.0);
  Matrix<double> wide(3, 5), u2(3, 5), v2(5, 5);
  EXPECT_FALSE(SingValueDecomp(3, 5, wide, u2, s2.data(), v2));
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
  Matrix<double> inv(3, 3);
  Convertn1_n(3, 3, a, inv);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double x = 0;
      for (int k = 0; k < 3; ++k) x += a0[i][k] * inv[k][j];
      EXPECT_CLOSE_TOL(x, i == j, 1e-12, 1e-12);
    }
  for (int c = 1; c <= 2; ++c)
    for (int i = 0; i < 3; ++i) {
      double x = 0;
      for (int k = 0; k < 3; ++k) x += a0[i][k] * b[k + 1][c];
      EXPECT_CLOSE_TOL(x, b0[i + 1][c], 1e-12, 1e-12);
    }

  Matrix<double> s1(3, 3);
  Convertn_n1(2, 2, FromRows({{1, 2}, {2, 4}}), s1);
  {
    CerrCapture cap;
    gaussj(s1, 2, nullptr, 0);
    EXPECT_EQ(cap.text(), "gaussj: Singular Matrix-2");
  }
  Convertn_n1(2, 2, FromRows({{1, 2}, {2, 4}}), s1);
  CerrCapture cap;
  EXPECT_FALSE(gaussj_VP(s1, 2, nullptr, 0));
  EXPECT_EQ(cap.text(), "");
}

TEST(LinalgGaussJordan, MatrixInverse) {
  Matrix<double> a = FromRows({{4, 7, 2}, {3, 6, 1}, {2, 5, 3}});
  Matrix<double> inv(3, 3);
  ASSERT_TRUE(MatrixInverse(3, 0, a, inv));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double x = 0;
      for (int k = 0; k < 3; ++k) x += a[i][k] * inv[k][j];
      EXPECT_CLOSE_TOL(x, i == j, 1e-12, 1e-12);
    }
  Matrix<double> sing = FromRows({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}});
  Matrix<double> out(3, 3, 5.0);
  EXPECT_FALSE(MatrixInverse(3, 2, sing, out));
  EXPECT_TRUE(MatricesClose(out, Matrix<double>(3, 3, 5.0), 0, 0));
}

TEST(LinalgCholesky, FactorAndFailure) {
  Matrix<double> a = FromRows({{4, 2, 0.4}, {2, 5, 1}, {0.4, 1, 3}});
  Matrix<double> f = a;
  std::vector<double> p(3);
  ASSERT_EQ(choldc(f, 3, p.data()), 1);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double x = 0;
      for (int k = 0; k <= std::min(i, j); ++k)
        x += (k == i ? p[k] : f[i][k]) * (k == j ? p[k] : f[j][k]);
      EXPECT_CLOSE(x, a[i][j]);
      if (j > i) {
        EXPECT_EQ(f[i][j], a[i][j]);  // upper triangle keeps the input
      }
    }
  Matrix<double> bad = FromRows({{1, 2}, {2, 1}});
  CerrCapture cap;
  EXPECT_EQ(choldc(bad, 2, p.data()), 0);
  EXPECT_EQ(cap.text(), "\ncholdc failed");
}

TEST(LinalgCholesky, CorrelatedDataFollowsR) {
  gsl_rng* rng = gsl_rng_alloc(gsl_rng_default);
  gsl_rng_set(rng, 42);
  Matrix<double> r = FromRows({{1, 0.6, -0.3}, {0.6, 1, 0.2}, {-0.3, 0.2, 1}});
  const int n = 20000;
  for (int dist : {1, 2}) {
    Matrix<double> x(n, 3);
    CorrToData_New(n, 3, r, x, dist, rng);
    std::vector<double> mean(3, 0), sd(3, 0);
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
  Matrix<double> bad = FromRows({{1, 2}, {2, 1}}), x(4, 2);
  CerrCapture cap;
  try {
    CorrToData_New(4, 2, bad, x, 2, rng);
    ADD_FAILURE() << "no abort";
  } catch (const AbortError& e) {
    EXPECT_EQ(e.code(), 1);
  }
  gsl_rng_free(rng);
}

TEST(LinalgRanksAndSort, CrankTies) {
  std::vector<double> w = {0, 1, 2, 2, 3};
  double s = -1;
  crank(4, w.data(), &s);
  EXPECT_EQ(w, (std::vector<double>{0, 1, 2.5, 2.5, 4}));
  EXPECT_EQ(s, 6.0);
  std::vector<double> all = {0, 5, 5, 5};
  crank(3, all.data(), &s);
  EXPECT_EQ(all, (std::vector<double>{0, 2, 2, 2}));
  EXPECT_EQ(s, 24.0);
}

TEST(LinalgRanksAndSort, Sort2CarriesCompanion) {
  // Large pseudo-random input with many ties exercises partitioning and the
  // stack; an ascending and a descending input the worst cases of the pivot.
  for (int kind = 0; kind < 3; ++kind) {
    const unsigned long n = 5000;
    std::vector<double> a(n + 1), b(n + 1), orig(n + 1);
    for (unsigned long i = 1; i <= n; ++i) {
      a[i] = kind == 0 ? std::fmod(i * 7919.0, 101.0) : kind == 1 ? double(i) : double(n - i);
      orig[i] = a[i];
      b[i] = double(i);
    }
    sort2(n, a.data(), b.data());
    for (unsigned long i = 1; i <= n; ++i) {
      if (i > 1) {
        EXPECT_LE(a[i - 1], a[i]);
      }
      EXPECT_EQ(orig[static_cast<size_t>(b[i])], a[i]);
    }
  }
}

TEST(LinalgNrerror, ThrowsAbortAfterMessage) {
  CerrCapture cap;
  try {
    nrerror("NSTACK too small in sort2.");
    ADD_FAILURE() << "no abort";
  } catch (const AbortError& e) {
    EXPECT_EQ(e.code(), 1);
  }
  EXPECT_EQ(cap.text(), "NSTACK too small in sort2.\nSorry, you have to quit and restart the program.\n");
}

TEST(LinalgProducts, ShapesAndMissingValues) {
  Matrix<double> a = FromRows({{1, 2, 3}, {4, 5, 6}});
  Matrix<double> b2 = FromRows({{1, 0}, {0, 1}});
  Matrix<double> c(2, 2, 9.0);
  EXPECT_EQ(MatrixProd(2, 3, 2, 2, a, b2, c), 1);
  EXPECT_EQ(MatrixProdMV(2, 3, 2, 2, a, b2, c), 1);
  EXPECT_TRUE(MatricesClose(c, Matrix<double>(2, 2, 9.0), 0, 0));

  Matrix<double> am = FromRows({{1, -999, 3}, {-999, -999, -999}});
  Matrix<double> b = FromRows({{1, 2}, {10, 20}, {-999, 4}});
  ASSERT_EQ(MatrixProd(2, 3, 3, 2, am, b, c), 0);
  EXPECT_TRUE(MatricesClose(c, FromRows({{1, 14}, {0, 0}})));
  ASSERT_EQ(MatrixProdMV(2, 3, 3, 2, am, b, c), 0);
  EXPECT_TRUE(MatricesClose(c, FromRows({{1, 14}, {-999, -999}})));

  Matrix<double> s(2, 3);
  ScalarMatrixProd(2, 3, 2.0, am, s);
  EXPECT_TRUE(MatricesClose(s, FromRows({{2, -999, 6}, {-999, -999, -999}})));

  Matrix<double> d(2, 3, 9.0);
  EXPECT_EQ(MatrixSum(2, 3, 2, 2, a, b2, d, 1), 1);
  EXPECT_EQ(d[0][0], 9.0);
  EXPECT_EQ(MatrixSum(2, 3, 2, 3, a, a, d, -1), 0);
  EXPECT_TRUE(MatricesClose(d, Matrix<double>(2, 3, 0.0)));
}

TEST(LinalgProducts, TransposesTotalsAndVectors) {
  Matrix<double> a = FromRows({{1, 2, 3}, {4, -999, 6}});
  Matrix<double> t(3, 2);
  TransposeMatrix(2, 3, a, t);
  EXPECT_TRUE(MatricesClose(t, FromRows({{1, 4}, {2, -999}, {3, 6}})));
  Matrix<double> sq = FromRows({{1, 2}, {3, 4}});
  TransposeSqMatrix(2, sq, sq);
  EXPECT_TRUE(MatricesClose(sq, FromRows({{1, 3}, {2, 4}})));
  UpperToLowerMatrix(2, sq);
  EXPECT_EQ(sq[1][0], 3.0);

  std::vector<double> rows(2), cols(3);
  RowTotalsMV(2, 3, a, rows.data());
  ColTotalsMV(2, 3, a, cols.data());
  EXPECT_EQ(rows, (std::vector<double>{6, 10}));
  EXPECT_EQ(cols, (std::vector<double>{5, 2, 9}));
  EXPECT_EQ(MatrixTotalMV(2, 3, a), 16.0);
  const double x[] = {1, -999, 3}, y[] = {2, 5, -999};
  EXPECT_EQ(VectorProdMV(3, x, y), 2.0);
}

}  // namespace
}  // namespace kalios
