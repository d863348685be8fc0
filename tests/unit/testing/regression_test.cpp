#include "testing/regression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "measures/smoothing.h"
#include "support/compare.h"

namespace kalios {
namespace {

using test::JsonMatrix;
using test::LoadJson;

TEST(Regression, ExactLinearFitAndConstantResponse) {
  // Response 0 = 2 x + 1; response 1 constant.
  const int n = 5;
  Matrix<double> X(n, 1), Y(n, 2), coef(1, 2), pred(n, 2), resid(n, 2);
  for (int i = 0; i < n; ++i) {
    X[i][0] = i * 1.5 - 2;
    Y[i][0] = 2 * X[i][0] + 1;
    Y[i][1] = 4.0;
  }
  double intercept[2], rsq[2], tss[2];
  EXPECT_EQ(regression(n, 2, 1, Y, X, coef, intercept, pred, rsq, tss, false, nullptr, 0, false), 1);
  EXPECT_CLOSE(coef[0][0], 2.0);
  EXPECT_CLOSE(intercept[0], 1.0);
  EXPECT_CLOSE(rsq[0], 1.0);
  EXPECT_CLOSE(tss[0], 9.0 * (4 + 1 + 0 + 1 + 4));  // deviations 3 (i - 2)
  // Nothing to explain in a constant response: r square 0, not 0/0.
  EXPECT_EQ(rsq[1], 0.0);
  EXPECT_CLOSE(intercept[1], 4.0);
  EXPECT_TRUE(std::isfinite(coef[0][1]));

  EXPECT_EQ(Regression_ResidualsSelect(n, 2, 1, Y, X, resid, nullptr), 1);
  EXPECT_TRUE(test::MatricesClose(resid, Matrix<double>(n, 2), 1e-9, 1e-12));
}

TEST(Regression, TwoPredictors) {
  const double x1[] = {1, 2, 3, 4, 5, 6};
  const double x2[] = {2, 1, 4, 3, 6, 8};
  const double e[] = {0.1, -0.2, 0.05, 0.2, -0.1, -0.05};
  const int n = 6;
  Matrix<double> X(n, 2), Y(n, 1), coef(2, 1), pred(n, 1);
  for (int i = 0; i < n; ++i) X[i][0] = x1[i], X[i][1] = x2[i], Y[i][0] = 3 + 2 * x1[i] - x2[i];
  double intercept, rsq;
  EXPECT_EQ(regression(n, 1, 2, Y, X, coef, &intercept, pred, &rsq), 1);
  EXPECT_CLOSE(coef[0][0], 2.0);
  EXPECT_CLOSE(coef[1][0], -1.0);
  EXPECT_CLOSE(intercept, 3.0);

  // With noise: residuals are orthogonal to both predictors and sum to 0,
  // and r square is 1 - residual SS / total SS.
  for (int i = 0; i < n; ++i) Y[i][0] += e[i];
  Matrix<double> resid(n, 1);
  EXPECT_EQ(Regression_ResidualsSelect(n, 1, 2, Y, X, resid, nullptr), 1);
  double s0 = 0, s1 = 0, s2 = 0, rss = 0, mean = 0, tss = 0;
  for (int i = 0; i < n; ++i) mean += Y[i][0] / n;
  for (int i = 0; i < n; ++i) {
    s0 += resid[i][0], s1 += resid[i][0] * x1[i], s2 += resid[i][0] * x2[i];
    rss += resid[i][0] * resid[i][0], tss += (Y[i][0] - mean) * (Y[i][0] - mean);
  }
  EXPECT_NEAR(std::fabs(s0) + std::fabs(s1) + std::fabs(s2), 0.0, 1e-12);
  regression(n, 1, 2, Y, X, coef, &intercept, pred, &rsq);
  EXPECT_CLOSE(rsq, 1 - rss / tss);
}

TEST(Regression, NoPredictorGivesCentredResponses) {
  const int n = 4;
  Matrix<double> X(n, 2), Y(n, 1), resid(n, 1);
  const double y[] = {1, 2, 4, 9};
  for (int i = 0; i < n; ++i) Y[i][0] = y[i], X[i][0] = i, X[i][1] = i * i;
  const int none[] = {0, 0};
  EXPECT_EQ(Regression_ResidualsSelect(n, 1, 2, Y, X, resid, none), 1);
  for (int i = 0; i < n; ++i) EXPECT_CLOSE(resid[i][0], y[i] - 4.0);
  // Selecting only the first predictor fits a straight line on it.
  const int first[] = {1, 0};
  Regression_ResidualsSelect(n, 1, 2, Y, X, resid, first);
  // slope = cov / var = (sum (i - 1.5)(y - 4)) / 5 = 13 / 5
  for (int i = 0; i < n; ++i) EXPECT_CLOSE(resid[i][0], y[i] - (4.0 + 2.6 * (i - 1.5)));
}

TEST(Regression, CollinearPredictorsAreReportedNotLeaked) {
  const int n = 5;
  Matrix<double> X(n, 2), Y(n, 1), coef(2, 1), pred(n, 1), resid(n, 1);
  for (int i = 0; i < n; ++i) X[i][0] = i, X[i][1] = 2.0 * i, Y[i][0] = i * i;
  double intercept, rsq;
  ::testing::internal::CaptureStderr();
  const int ok = regression(n, 1, 2, Y, X, coef, &intercept, pred, &rsq);
  const std::string warning = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ok, 0);
  EXPECT_NE(warning.find("gaussj: Singular Matrix"), std::string::npos);
  EXPECT_TRUE(test::AllFinite(coef) && test::AllFinite(pred) && std::isfinite(rsq) && std::isfinite(intercept));

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Regression_ResidualsSelect(n, 1, 2, Y, X, resid, nullptr), 0);
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(test::AllFinite(resid));
}

TEST(ResidualsMatrixRegression, UpperTriangleOnly) {
  const int n = 4;
  Matrix<double> A(n, n), B(n, n), R(n, n, 7.0);
  // B = 3 A - 1 on the upper triangle except one pair; lower triangle noise.
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      A[i][j] = i + 2.0 * j + (i * j) % 3;
      B[i][j] = i < j ? 3 * A[i][j] - 1 : 100.0 + i;
    }
  EXPECT_EQ(ResidualsMatrixRegression(n, A, B, R), 1);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      if (i < j)
        EXPECT_NEAR(R[i][j], 0.0, 1e-12);
      else
        EXPECT_EQ(R[i][j], 7.0);
    }

  // Residuals of the pairs only: the fit never sees the lower triangle.
  B[0][3] += 2.0;
  ResidualsMatrixRegression(n, A, B, R);
  EXPECT_GT(std::fabs(R[0][3]), 1.0);
  EXPECT_EQ(R[3][0], 7.0);
  EXPECT_EQ(R[2][2], 7.0);
}

// NNCRD of the communities (DE referenced, DX target) regressed on richness.
TEST(RegressionFixture, NNCRDResidualsOnRichness) {
  for (const auto& [name, n] : {std::pair{"small", 6}, {"mixed", 10}}) {
    SCOPED_TRACE(name);
    const auto js = LoadJson(std::string(name) + "/expected.json");
    Matrix<double> v(n, 1), rich(n, 1), resid(n, 1);
    std::vector<double> nn(static_cast<size_t>(n));
    NNCRD(n, JsonMatrix(js["DE"]), JsonMatrix(js["DX"]), nn.data());
    for (int i = 0; i < n; ++i) {
      v[i][0] = nn[static_cast<size_t>(i)];
      rich[i][0] = js["richness"][i].get<double>();
    }
    EXPECT_EQ(Regression_ResidualsSelect(n, 1, 1, v, rich, resid, nullptr), 1);
    // A residual is a difference of values of the size of NNCRD, which the
    // reference gives to 10 digits: its absolute error scales with NNCRD.
    double scale = 0;
    for (double x : nn) scale = std::fmax(scale, std::fabs(x));
    for (int i = 0; i < n; ++i)
      EXPECT_CLOSE_TOL(resid[i][0], js["NNCRD_resid"][i].get<double>(), 1e-9, 1e-9 * scale);
  }
}

// Ten objects: x1 and x2 correlated, x3 uncorrelated with both. The
// correlation matrix then has the eigenvectors (1, 1, 0), (0, 0, 1) and
// (1, -1, 0) in this order, so the first two components span the common part
// of x1 and x2 and x3, while z1 - z2 (standardized) is the third.
class PcaRegression : public ::testing::Test {
 protected:
  static constexpr int n = 10;
  Matrix<double> X{n, 3}, Y{n, 3}, resid{n, 3}, full{n, 3};

  void SetUp() override {
    const double x1[n] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const double x2[n] = {2, 1, 4, 3, 6, 5, 8, 9, 7, 10};
    std::vector<double> z1(n), z2(n), x3 = {3, -1, 4, 1, -5, 9, 2, -6, 5, 3};
    Standardize(x1, z1);
    Standardize(x2, z2);
    // x3 made exactly orthogonal to the centred z1 and z2 (Gram-Schmidt).
    std::vector<double> u = z1, v = z2;
    Orthogonalize(v, u);
    Center(x3);
    Orthogonalize(x3, u);
    Orthogonalize(x3, v);
    for (int i = 0; i < n; ++i) {
      X[i][0] = x1[i];
      X[i][1] = x2[i];
      X[i][2] = 10 * x3[static_cast<size_t>(i)] + 4;
      Y[i][0] = 5 * x3[static_cast<size_t>(i)] + 1;               // on the second component
      Y[i][1] = z1[static_cast<size_t>(i)] - z2[static_cast<size_t>(i)];  // the third component
      Y[i][2] = x1[i] * x1[i];
    }
  }
  static void Center(std::vector<double>& v) {
    double m = 0;
    for (double x : v) m += x / v.size();
    for (double& x : v) x -= m;
  }
  static void Standardize(const double* x, std::vector<double>& z) {
    for (int i = 0; i < n; ++i) z[static_cast<size_t>(i)] = x[i];
    Center(z);
    double ss = 0;
    for (double v : z) ss += v * v;
    for (double& v : z) v /= std::sqrt(ss);
  }
  static void Orthogonalize(std::vector<double>& v, const std::vector<double>& u) {
    double uv = 0, uu = 0;
    for (size_t i = 0; i < v.size(); ++i) uv += u[i] * v[i], uu += u[i] * u[i];
    for (size_t i = 0; i < v.size(); ++i) v[i] -= uv / uu * u[i];
  }
};

TEST_F(PcaRegression, OverfittingGuardLimitsComponents) {
  // (10 - 2) / 4 = 2 components: x3 is explained, the third component is not.
  EXPECT_EQ(PCA_Regression_ResidualsSelect(n, 3, 3, Y, X, resid, nullptr, 2, 4.0), 1);
  double mean1 = 0;
  for (int i = 0; i < n; ++i) mean1 += Y[i][1] / n;
  for (int i = 0; i < n; ++i) {
    EXPECT_NEAR(resid[i][0], 0.0, 1e-12);
    EXPECT_NEAR(resid[i][1], Y[i][1] - mean1, 1e-12);
  }
  // With (10 - 2) / 2 = 4 >= 3 every component is used: the same residuals
  // as on the predictors themselves, for both forms of the components.
  Regression_ResidualsSelect(n, 3, 3, Y, X, full, nullptr);
  for (int option : {1, 2}) {
    EXPECT_EQ(PCA_Regression_ResidualsSelect(n, 3, 3, Y, X, resid, nullptr, option, 2.0), 1);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(resid[i][j], full[i][j], 1e-10) << option;
  }
}

TEST_F(PcaRegression, SelectionAndOtherOptions) {
  // Only x3 selected: one component, x3 itself.
  const int onlyThird[] = {0, 0, 1};
  PCA_Regression_ResidualsSelect(n, 3, 3, Y, X, resid, onlyThird, 2, 2.0);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(resid[i][0], 0.0, 1e-12);
  // Another option uses no component: the centred responses.
  PCA_Regression_ResidualsSelect(n, 3, 3, Y, X, resid, nullptr, 3, 2.0);
  const int none[] = {0, 0, 0};
  Regression_ResidualsSelect(n, 3, 3, Y, X, full, none);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_CLOSE(resid[i][j], full[i][j]);
}


// A missing value in a predictor or a response: each response is fitted on
// its complete cases (as lm does), not on means and cross products taken over
// different rows. Here the complete rows lie exactly on y = 2 x1 - x2 + 3,
// while the rows with a gap would pull any other fit away.
TEST(Regression, MissingValuesFitTheCompleteCases) {
  const int n = 8;
  Matrix<double> X(n, 2), Y(n, 2), coef(2, 2), pred(n, 2), resid(n, 2);
  for (int i = 0; i < n; ++i) {
    X[i][0] = i;
    X[i][1] = (i * 7) % 5;
    Y[i][0] = 2 * X[i][0] - X[i][1] + 3;
    Y[i][1] = -X[i][0] + 0.5 * X[i][1];
  }
  X[2][1] = -999;
  Y[2][0] = 100;  // off the line, but its predictor is missing
  Y[5][1] = -999;
  Y[6][1] = -999;
  double intercept[2], rsq[2];
  EXPECT_EQ(regression(n, 2, 2, Y, X, coef, intercept, pred, rsq), 1);
  EXPECT_CLOSE(coef[0][0], 2.0);
  EXPECT_CLOSE(coef[1][0], -1.0);
  EXPECT_CLOSE(intercept[0], 3.0);
  EXPECT_CLOSE(rsq[0], 1.0);
  EXPECT_CLOSE(coef[0][1], -1.0);
  EXPECT_CLOSE(coef[1][1], 0.5);
  EXPECT_CLOSE_TOL(intercept[1], 0.0, 1e-9, 1e-12);
  EXPECT_EQ(pred[2][0], -999.0);
  EXPECT_CLOSE(pred[5][1], -5.0 + 0.5 * X[5][1]);
  EXPECT_EQ(CompleteCases(n, 2, X, Y, 0), 7);
  EXPECT_EQ(CompleteCases(n, 2, X, Y, 1), 5);
  EXPECT_EQ(Regression_ResidualsSelect(n, 2, 2, Y, X, resid, nullptr), 1);
  EXPECT_EQ(resid[2][0], -999.0);
  EXPECT_EQ(resid[5][1], -999.0);
  EXPECT_CLOSE_TOL(resid[3][0], 0.0, 1e-9, 1e-9);
}

}  // namespace
}  // namespace kalios
