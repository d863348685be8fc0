#include "measures/ordination.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "measures/covariance.h"
#include "measures/transform.h"
#include "numlib/linalg.h"
#include "numlib/matrix.h"
#include "support/compare.h"

namespace kalios {
namespace {

using test::LineDistances;
using test::MatricesClose;

constexpr int kEuclidean = 3;  // a dissimilarity code
constexpr int kSimilarity = 1;

struct Ordination {
  Matrix<double> vec, scores;
  std::vector<double> val;
  int axes = -1;
  bool ok = false;
};

Ordination Ordinate(int n, int p, const double* const* data, const Matrix<double>& r, int method, int code,
               int orientation = 1) {
  Ordination o;
  o.vec.Resize(n, n);
  o.scores.Resize(n, std::max(n, p));
  o.val.assign(static_cast<size_t>(n), 0.0);
  EXPECT_EQ(OrdinationLib_D(n, p, data, r, o.vec, o.scores, &o.axes, o.val.data(), &o.ok, method, code,
                            orientation),
            1);
  return o;
}

TEST(OrdinationPcoa, ThreePointsOnALine) {
  Matrix<double> d = LineDistances({0, 1, 3});
  Ordination o = Ordinate(3, 0, nullptr, d, kOrdinationPrincipalCoordinates, kEuclidean);
  EXPECT_TRUE(o.ok);
  ASSERT_EQ(o.axes, 1);
  EXPECT_CLOSE(o.val[0], 14.0 / 3.0);
  const double sign = o.scores[0][2] > 0 ? 1.0 : -1.0;
  EXPECT_CLOSE(sign * o.scores[0][0], -4.0 / 3.0);
  EXPECT_CLOSE(sign * o.scores[0][1], -1.0 / 3.0);
  EXPECT_CLOSE(sign * o.scores[0][2], 5.0 / 3.0);
}

TEST(OrdinationPcoa, NonEuclideanGivesNegativeEigenvaluesNoAxes) {
  // d(1,3) = 3 > d(1,2) + d(2,3): not embeddable in a Euclidean space.
  Matrix<double> d = test::FromRows({{0, 1, 3}, {1, 0, 1}, {3, 1, 0}});
  Ordination o = Ordinate(3, 0, nullptr, d, kOrdinationPrincipalCoordinates, kEuclidean);
  // Eigenvalues 4.5, 0 and -5/6: only the first makes an axis.
  EXPECT_CLOSE(o.val[0], 4.5);
  EXPECT_CLOSE(o.val[2], -5.0 / 6.0);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.axes, 1);

  // All-zero dissimilarities: no positive inertia, no axis.
  Ordination z = Ordinate(3, 0, nullptr, Matrix<double>(3, 3), kOrdinationPrincipalCoordinates, kEuclidean);
  EXPECT_EQ(z.axes, 0);
  EXPECT_EQ(OrdinationLib_Scores(3, 0, nullptr, d, o.scores, kOrdinationPrincipalCoordinates, kEuclidean, 1), 1);
}

// Compares an ordination with a reference entry of expected.json: the positive
// eigenvalues, the number of axes, and the scores up to the sign of each axis.
// The reference resemblances carry 10 significant digits, which moves the
// small eigenvalues by about 1e-11 of the largest and the scores by a few
// 1e-9: eigenvalues are held to 1e-9 of their own value or of the largest one,
// scores to 1e-8 of the length of the first axis, on the axes that carry at
// least 1% of the largest eigenvalue (the eigenvectors of the tiny, nearly
// equal trailing eigenvalues are not determined by 10-digit data).
void ExpectMatchesReference(const Ordination& o, int n, const nlohmann::json& ref, const std::string& what) {
  const auto& vals = ref["eigenvalues"];
  ASSERT_EQ(o.axes, static_cast<int>(vals.size())) << what;
  if (ref.contains("n_axes")) {
    EXPECT_EQ(o.axes, ref["n_axes"].get<int>()) << what;
  }
  const double largest = vals[0].get<double>();
  for (int k = 0; k < o.axes; ++k)
    EXPECT_TRUE(test::Close(o.val[k], vals[k].get<double>(), 1e-9, 1e-9 * largest)) << what << " axis " << k;
  Matrix<double> sc = test::JsonMatrix(ref["scores_axes_as_columns"]);
  const double atol = 1e-8 * std::sqrt(largest);
  for (int k = 0; k < o.axes && o.val[k] >= 0.01 * largest; ++k) {
    double dot = 0;
    for (int i = 0; i < n; ++i) dot += o.scores[k][i] * sc[i][k];
    const double sign = dot < 0 ? -1.0 : 1.0;
    for (int i = 0; i < n; ++i)
      EXPECT_TRUE(test::Close(sign * o.scores[k][i], sc[i][k], 1e-9, atol)) << what << " axis " << k << " object " << i;
  }
}

TEST(OrdinationPcoa, FixtureResemblances) {
  for (std::string set : {"small", "mixed"}) {
    auto js = test::LoadJson(set + "/expected.json");
    for (std::string key : {"Y", "X"}) {
      Matrix<double> d = test::JsonMatrix(js["D" + key]);
      const int n = d.rows();
      Ordination o = Ordinate(n, 0, nullptr, d, kOrdinationPrincipalCoordinates, kEuclidean);
      EXPECT_TRUE(o.ok);
      ExpectMatchesReference(o, n, js["pcoa"][key], set + " " + key);
    }
  }
  auto js = test::LoadJson("small/expected.json");
  Matrix<double> sf = test::JsonMatrix(js["phylogeny"]["SF"]);
  Ordination o = Ordinate(sf.rows(), 0, nullptr, sf, kOrdinationPrincipalCoordinates, kSimilarity);
  ExpectMatchesReference(o, sf.rows(), js["phylogeny"]["pcoa_SF"], "SF");
}

TEST(OrdinationPca, ProjectedObjectsCarryTheEigenvalues) {
  // 3 variables (rows) x 6 objects; R = their covariances.
  Matrix<double> x(3, 6);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 6; ++j) x[i][j] = std::sin(1.0 + 2.3 * i + 0.7 * j * (i + 1)) + 0.5 * j * (i == 0);
  Matrix<double> r(3, 3);
  CovarianceMV(3, 6, x, r);
  Ordination o = Ordinate(3, 6, x, r, kOrdinationPrincipalComponents, 22);
  ASSERT_EQ(o.axes, 3);
  for (int k = 0; k < 3; ++k) {
    double ss = 0, mean = 0;
    for (int j = 0; j < 6; ++j) ss += o.scores[k][j] * o.scores[k][j], mean += o.scores[k][j];
    EXPECT_CLOSE(ss, o.val[k]);
    EXPECT_CLOSE_TOL(mean, 0.0, 1e-9, 1e-12);
  }
  // The same data given objects-by-variables and read transposed.
  Ordination t = Ordinate(3, 6, test::Transposed(x), r, kOrdinationPrincipalComponents, 22, 2);
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 6; ++j) EXPECT_CLOSE(t.scores[k][j], o.scores[k][j]);

  // Code 17: correlations, standardized variables.
  Matrix<double> c(3, 3);
  CorrelationMV(3, 6, x, c);
  Ordination z = Ordinate(3, 6, x, c, kOrdinationPrincipalComponents, 17);
  double total = 0;
  for (int k = 0; k < z.axes; ++k) {
    double ss = 0;
    for (int j = 0; j < 6; ++j) ss += z.scores[k][j] * z.scores[k][j];
    EXPECT_CLOSE(ss, z.val[k]);
    total += z.val[k];
  }
  EXPECT_CLOSE(total, 3.0);
}

TEST(OrdinationCa, ColumnScoresAreStandardCoordinates) {
  Matrix<double> t = test::FromRows({{10, 2, 0, 4, 1}, {3, 8, 1, 0, 2}, {0, 1, 9, 5, 3}, {2, 0, 4, 7, 6}});
  Matrix<double> q(4, 5), r(4, 4);
  DeviationsExpectationsMV(4, 5, t, q);
  CrossProductMV(4, 5, q, r);
  Ordination o = Ordinate(4, 5, t, r, kOrdinationCorrespondence, 0);
  ASSERT_EQ(o.axes, 3);  // the trivial axis of a contingency table has eigenvalue 0
  std::vector<double> col(5);
  ColTotalsMV(4, 5, t, col.data());
  const double grand = MatrixTotalMV(4, 5, t);
  for (int k = 0; k < o.axes; ++k) {
    double mean = 0, ss = 0;
    for (int j = 0; j < 5; ++j) {
      mean += col[j] / grand * o.scores[k][j];
      ss += col[j] / grand * o.scores[k][j] * o.scores[k][j];
    }
    EXPECT_CLOSE_TOL(mean, 0.0, 1e-9, 1e-12);
    EXPECT_CLOSE(ss, 1.0);
  }
}

TEST(OrdinationConversions, CentringAndDissimilarityForms) {
  Matrix<double> d = LineDistances({0, 1.5, 2, 7});
  d[0][3] = 6;  // not symmetric below: only the upper triangle counts
  Matrix<double> g1(4, 4), g2(4, 4);
  DissToCenterProdMatrix(4, d, g1, false);
  UpperToLowerMatrix(4, g1);
  GowerMatrixCentering(4, d, g2, true);
  EXPECT_TRUE(MatricesClose(g1, g2));
  Matrix<double> sq(4, 4);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) sq[i][j] = d[i][j] * d[i][j];
  DissToCenterProdMatrix(4, sq, g1, true);
  UpperToLowerMatrix(4, g1);
  EXPECT_TRUE(MatricesClose(g1, g2));
  Matrix<double> p = test::FromRows({{1, 0.25}, {0.9, 1}});  // lower triangle not read
  Matrix<double> out(2, 2, 5.0);
  ProbToDissim(2, p, out);
  EXPECT_EQ(out[0][0], 0.0);
  EXPECT_EQ(out[1][1], 0.0);
  EXPECT_EQ(out[1][0], 0.75);
}

}  // namespace
}  // namespace kalios
