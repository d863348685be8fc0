#include "testing/matrix_correlation.h"
#include "testing/fixed_mantel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "measures/resemblance.h"
#include "support/compare.h"

namespace kalios {
namespace {

using test::JsonMatrix;
using test::LoadJson;

// A small non-degenerate configuration and a second one related to it.
Matrix<double> Config(int n, int p, double seed) {
  Matrix<double> m(n, p);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j) m[i][j] = std::sin(seed * (i + 1) * (j + 2)) + 0.1 * i * j;
  return m;
}

TEST(MatrixCorrelation, DegenerateInputsGiveZero) {
  const int n = 5;
  Matrix<double> A = Config(n, 3, 1.3), C(n, 3, 2.5), D(n, n), K(n, n, 0.7);
  EucliDistMV(n, 3, A, D);
  EXPECT_EQ(MatrixCorrelationLib(n, 3, 3, A, A, D, D, false, 'x'), 0.0);
  EXPECT_CLOSE(MatrixCorr(n, D, D), 1.0);
  EXPECT_EQ(MatrixCorr(n, D, K), 0.0);
  EXPECT_EQ(RdMatrixCorr(n, D, K, false), 0.0);
  // A constant data matrix has no variance: 0 rather than 0/0.
  EXPECT_EQ(RVcoeff(n, 3, 3, A, C), 0.0);
  EXPECT_EQ(ProcrustesCoeff(n, 3, 3, C, A), 0.0);
  EXPECT_EQ(PartialMatrixCorrelation(n, 3, 3, A, A, 4, 2.0, {{3, nullptr, A}}), 0.0);
}

TEST(MatrixCorrelation, MissingPairsAreLeftOut) {
  const int n = 5;
  Matrix<double> A = Config(n, 2, 0.9), DA(n, n), DB(n, n);
  EucliDistMV(n, 2, A, DA);
  DB = DA;
  DB[1][3] = -999;  // would wreck the correlation if it took part
  DA[0][4] = -999;
  EXPECT_CLOSE(MatrixCorr(n, DA, DB), 1.0);
}

TEST(MatrixCorrelation, PartialCorrelationGuardsBothSigns) {
  EXPECT_EQ(PartialCorrelation(0.5, 1.0, 0.3), 0.0);
  EXPECT_EQ(PartialCorrelation(0.5, -1.0, 0.3), 0.0);
  EXPECT_EQ(PartialCorrelation(0.5, 0.3, -1.0 + 1e-12), 0.0);
  EXPECT_CLOSE(PartialCorrelation(0.5, 0.0, 0.0), 0.5);
  EXPECT_CLOSE(PartialCorrelation(0.5, 0.4, 0.3), (0.5 - 0.12) / std::sqrt(0.84 * 0.91));
}

TEST(MatrixCorrelation, SelfAndScaledCopiesCorrelatePerfectly) {
  const int n = 7;
  Matrix<double> A = Config(n, 3, 0.7), cA(n, 3), B = Config(n, 5, 1.9);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < 3; ++j) cA[i][j] = -3.5 * A[i][j] + 2.0;
  EXPECT_CLOSE(ProcrustesCoeff(n, 3, 3, A, A), 1.0);
  EXPECT_CLOSE(RVcoeff(n, 3, 3, A, cA), 1.0);
  // Symmetric in its arguments whichever matrix has fewer columns.
  EXPECT_CLOSE(ProcrustesCoeff(n, 3, 5, A, B), ProcrustesCoeff(n, 5, 3, B, A));
  EXPECT_CLOSE(RVcoeff(n, 3, 5, A, B), RVcoeff(n, 5, 3, B, A));
  // RV worked in the object space (more columns than rows), in the variable
  // space, or mixed, agrees with the cross-product definition.
  auto crossProducts = [n](Matrix<double> C) {
    for (int j = 0; j < C.cols(); ++j) {
      double m = 0;
      for (int i = 0; i < n; ++i) m += C[i][j] / n;
      for (int i = 0; i < n; ++i) C[i][j] -= m;
    }
    return test::Product(C, test::Transposed(C));
  };
  const Matrix<double> Wide = Config(n, 20, 0.3), Wide2 = Config(n, 11, 0.8);
  const std::pair<const Matrix<double>*, const Matrix<double>*> pairs[] = {{&A, &B}, {&A, &Wide}, {&Wide, &Wide2}};
  auto vecProd = [n](const Matrix<double>& a, const Matrix<double>& b) {
    double s = 0;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) s += a[i][j] * b[i][j];
    return s;
  };
  for (const auto& [L, M] : pairs) {
    const Matrix<double> XL = crossProducts(*L), XM = crossProducts(*M);
    EXPECT_CLOSE(RVcoeff(n, L->cols(), M->cols(), *L, *M),
                 vecProd(XL, XM) / std::sqrt(vecProd(XL, XL) * vecProd(XM, XM)));
  }
}

TEST(MatrixCorrelation, RdOnSquaredDistancesIsRvOfConfigurations) {
  const int n = 6;
  Matrix<double> A = Config(n, 2, 1.1), B = Config(n, 4, 0.4), DA(n, n), DB(n, n);
  EucliDistMV(n, 2, A, DA);
  EucliDistMV(n, 4, B, DB);
  EXPECT_CLOSE(RdMatrixCorr(n, DA, DB, true), RVcoeff(n, 2, 4, A, B));
  EXPECT_CLOSE(MatrixCorrelationLib(n, 2, 4, A, B, DA, DB, true, 'r'), RVcoeff(n, 2, 4, A, B));
}

// Reference values of the two fixture data sets. The reference matrices in
// the json are rounded to 10 significant digits; statistics computed from
// them (partials above all, whose denominators are small) carry up to a few
// 1e-10 of absolute error, hence the absolute floor.
#define EXPECT_REF(a, b) EXPECT_CLOSE_TOL((a), (b), 1e-9, 3e-9)
class MatrixCorrelationFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(MatrixCorrelationFixture, MantelAndPartialsMatchReference) {
  const auto js = LoadJson(GetParam() + "/expected.json");
  const auto& st = js["stats"];
  const Matrix<double> DT = JsonMatrix(js["DT"]), DE = JsonMatrix(js["DE"]), DX = JsonMatrix(js["DX"]),
                       DY = JsonMatrix(js["DY"]), DR = JsonMatrix(js["DR"]), DV = JsonMatrix(js["DV"]);
  const int n = DT.rows();
  auto M = [&](const Matrix<double>& a, const Matrix<double>& b) {
    return MatrixCorrelationLib(n, 0, 0, nullptr, nullptr, a, b, false, 'm');
  };
  const double TE = M(DT, DE), TY = M(DT, DY), XE = M(DX, DE), XT = M(DX, DT), XY = M(DX, DY), RE = M(DR, DE),
               XR = M(DX, DR), TR = M(DT, DR), RY = M(DR, DY), VE = M(DV, DE), VY = M(DV, DY);
  const double XER = PartialCorrelation(XE, XR, RE), TER = PartialCorrelation(TE, TR, RE),
               XTR = PartialCorrelation(XT, XR, TR), XYR = PartialCorrelation(XY, XR, RY),
               TYR = PartialCorrelation(TY, TR, RY);
  for (const auto& [key, got] : std::vector<std::pair<std::string, double>>{
           {"r(TE)", TE}, {"r(TY)", TY}, {"r(XE)", XE}, {"r(XT)", XT}, {"r(XY)", XY}, {"r(RE)", RE},
           {"r(XR)", XR}, {"r(TR)", TR}, {"r(RY)", RY}, {"r(VE)", VE}, {"r(VY)", VY},
           {"r(XE.T)", PartialCorrelation(XE, XT, TE)}, {"r(XY.T)", PartialCorrelation(XY, XT, TY)},
           {"r(XE.R)", XER}, {"r(TE.R)", TER}, {"r(XT.R)", XTR}, {"r(XE.TR)", PartialCorrelation(XER, XTR, TER)},
           {"r(XY.R)", XYR}, {"r(TY.R)", TYR}, {"r(XY.TR)", PartialCorrelation(XYR, XTR, TYR)}})
    EXPECT_REF(got, st[key].get<double>()) << key;

  if (js.contains("phylogeny")) {
    const auto& ph = js["phylogeny"];
    const Matrix<double> S = JsonMatrix(js["S"]), SF = JsonMatrix(ph["SF"]), DP = JsonMatrix(ph["DP"]),
                         DRp = JsonMatrix(ph["DRaoPhyl"]);
    const double PE = M(DP, DE), PT = M(DP, DT), PX = M(DP, DX);
    const double XEP = PartialCorrelation(XE, PX, PE), XTP = PartialCorrelation(XT, PX, PT),
                 TEP = PartialCorrelation(TE, PT, PE);
    for (const auto& [key, got] : std::vector<std::pair<std::string, double>>{
             {"r(BF)", MatrixCorr(S.rows(), S, SF)}, {"r(PE)", PE}, {"r(PT)", PT}, {"r(PX)", PX},
             {"r(FE)", M(DRp, DE)}, {"r(PX.T)", PartialCorrelation(PX, XT, PT)},
             {"r(PE.X)", PartialCorrelation(PE, PX, XE)}, {"r(PE.T)", PartialCorrelation(PE, PT, TE)},
             {"r(XE.P)", XEP}, {"r(XT.P)", XTP}, {"r(TE.P)", TEP}, {"r(XE.TP)", PartialCorrelation(XEP, XTP, TEP)}})
      EXPECT_REF(got, st[key].get<double>()) << key;
  }
}

TEST_P(MatrixCorrelationFixture, ProcrustesAndRvMatchReference) {
  const auto js = LoadJson(GetParam() + "/expected.json");
  const Matrix<double> T = JsonMatrix(js["T_norm"]), X = JsonMatrix(js["X"]);
  const int n = T.rows(), p = T.cols(), s = X.cols();
  const int nEnv = js["counts"].contains("n_env") ? js["counts"]["n_env"].get<int>()
                                                  : static_cast<int>(js["E_corradj"][0].size());
  const Matrix<double> E = test::ReadFixtureNumbers(GetParam() + "/E.txt", n, nEnv);
  const auto& ro2 = js["opt_ro2"];
  EXPECT_REF(MatrixCorrelationLib(n, p, nEnv, T, E, nullptr, nullptr, false, 'p'), ro2["r(TE)"].get<double>());
  EXPECT_REF(ProcrustesCoeff(n, s, nEnv, X, E), ro2["r(XE)"].get<double>());
  EXPECT_REF(PartialMatrixCorrelation(n, s, nEnv, X, E, 2, 2.0, {{p, nullptr, T}}), ro2["r(XE.T)"].get<double>());

  const auto& ro3 = js["opt_ro3"];
  const double TE = MatrixCorrelationLib(n, p, nEnv, T, E, nullptr, nullptr, false, 'v');
  const double XE = RVcoeff(n, s, nEnv, X, E), XT = RVcoeff(n, s, p, X, T);
  EXPECT_REF(TE, ro3["r(TE)"].get<double>());
  EXPECT_REF(XE, ro3["r(XE)"].get<double>());
  EXPECT_REF(XT, ro3["r(XT)"].get<double>());
  EXPECT_REF(PartialCorrelation(XE, XT, TE), ro3["r(XE.T)"].get<double>());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MatrixCorrelationFixture, ::testing::Values("small", "mixed"));

}  // namespace
}  // namespace kalios

namespace kalios {
namespace {

// A fixed matrix's kept cells give MatrixCorr's bits whichever side it is on;
// missing cells in either matrix fall back on MatrixCorr itself.
TEST(MatrixCorrFixed, SameBitsAsMatrixCorr) {
  const int n = 23;
  Matrix<double> a(n, n), b(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      a[i][j] = a[j][i] = std::sin(1.0 + i * 7 + j * 3) * 1e3 + 5e4;
      b[i][j] = b[j][i] = std::cos(0.3 * i * j) + 0.01 * (i + j);
    }
  FixedMantelMatrix fa = CentreFixedMantel(n, a);
  ASSERT_TRUE(fa.complete);
  EXPECT_EQ(MatrixCorrFixed(fa, a, b), MatrixCorr(n, a, b));
  EXPECT_EQ(MatrixCorrFixed(fa, b, a), MatrixCorr(n, b, a));
  b[2][9] = -999;
  EXPECT_EQ(MatrixCorrFixed(fa, a, b), MatrixCorr(n, a, b));
  FixedMantelMatrix fb = CentreFixedMantel(n, b);
  EXPECT_FALSE(fb.complete);
  EXPECT_EQ(MatrixCorrFixed(fb, a, b), MatrixCorr(n, a, b));
  FixedResemblances both;
  both.DE = fa;
  EXPECT_EQ(both.Find(a), &both.DE);
  EXPECT_EQ(both.Find(b), nullptr);
}

}  // namespace
}  // namespace kalios
