#include "measures/diversity.h"

#include <gtest/gtest.h>
#include <omp.h>

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

using test::Identity;

struct FixtureSet {
  const char* name;
  int otus, communities, traits;
};
void PrintTo(const FixtureSet& f, std::ostream* os) { *os << f.name; }

class DiversityFixture : public ::testing::TestWithParam<FixtureSet> {};

// Community weighted means with missing traits, the fuzzy-weighted composition
// and the Rao entropies against the independently computed reference values.
TEST_P(DiversityFixture, MatchesReferenceValues) {
  const FixtureSet f = GetParam();
  const std::string dir = f.name;
  const auto js = LoadJson(dir + "/expected.json");
  const int n = f.communities, s = f.otus, p = f.traits;
  const Matrix<double> B = ReadFixtureNumbers(dir + "/B.txt", s, p);
  const Matrix<double> Wtcap = JsonMatrix(js["Wtcap"]);
  const Matrix<double> Wtdap = JsonMatrix(js["Wtdap"]);
  const Matrix<double> U = JsonMatrix(js["U"]);
  const Matrix<double> S = JsonMatrix(js["S"]);
  const std::vector<int> ones(static_cast<size_t>(s), 1);

  Matrix<double> T(n, p);
  EXPECT_FALSE(MatrixProdSelectMV_Adjust_Weight(n, s, s, p, Wtcap, B, T, nullptr, ones.data()));
  EXPECT_TRUE(MatricesClose(T, JsonMatrix(js["T_raw"])));

  Matrix<double> X(n, s);
  EXPECT_FALSE(MatrixProdSelectMV_Adjust_Weight(n, s, s, s, Wtdap, U, X, nullptr, ones.data(), false));
  EXPECT_TRUE(MatricesClose(X, JsonMatrix(js["X"])));

  const Matrix<double> I = Identity(s);
  std::vector<double> D(static_cast<size_t>(n)), Rf(static_cast<size_t>(n));
  EXPECT_TRUE(RaoIndex_Weight_Matrix(n, s, Wtcap, I, D.data(), false, false, ones.data(), false, false));
  EXPECT_TRUE(test::VectorClose(D, js["D_GiniSimpson"]));
  EXPECT_TRUE(RaoIndex_Weight_Matrix(n, s, Wtcap, S, Rf.data(), false, true, ones.data(), false, false));
  EXPECT_TRUE(test::VectorClose(Rf, js["Rf"]));

  // The single-community form sums all ordered pairs; with zero self
  // differences it gives the same entropy, and must not need R mirrored.
  std::vector<double> single(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    single[static_cast<size_t>(i)] = RaoIndex_Weight(s, Wtcap[i], S, false, true, ones.data(), false);
  EXPECT_TRUE(test::VectorClose(single, js["Rf"]));
  // Relative abundances computed inside from raw counts give the same values.
  const Matrix<double> Wraw = ReadFixtureNumbers(dir + "/W.txt", n, s);
  EXPECT_TRUE(RaoIndex_Weight_Matrix(n, s, Wraw, S, Rf.data(), false, true, nullptr, false, true));
  EXPECT_TRUE(test::VectorClose(Rf, js["Rf"]));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DiversityFixture,
                         ::testing::Values(FixtureSet{"small", 8, 6, 4}, FixtureSet{"mixed", 12, 10, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DiversityFixturePhylogeny, RaoWithoutSquareRootAndPhylogeneticProduct) {
  const auto js = LoadJson("small/expected.json");
  const int n = 6, s = 8;
  const Matrix<double> Wtcap = JsonMatrix(js["Wtcap"]);
  const Matrix<double> SF = JsonMatrix(js["phylogeny"]["SF"]);
  std::vector<double> Rp(static_cast<size_t>(n));
  RaoIndex_Weight_Matrix(n, s, Wtcap, SF, Rp.data(), false, false, nullptr, false, false);
  EXPECT_TRUE(test::VectorClose(Rp, js["phylogeny"]["Rp"]));
  Matrix<double> P(n, s);
  MatrixProdSelectMV_Adjust_Weight(n, s, s, s, JsonMatrix(js["Wtdap"]), JsonMatrix(js["phylogeny"]["Q"]), P,
                                   nullptr, nullptr, true);
  EXPECT_TRUE(MatricesClose(P, JsonMatrix(js["phylogeny"]["P"])));
}

TEST(WeightedProduct, MissingTraitsGiveMissingMeans) {
  // Community 0 holds only OTUs 0 and 1, both without trait 0; OTU 2 (absent,
  // abundance 0) has it. Community 1 is empty. Community 2 misses OTU 1's value.
  const Matrix<double> A = test::FromRows({{0.5, 0.5, 0.0}, {0.0, 0.0, 0.0}, {0.25, -999.0, 0.75}});
  const Matrix<double> B = test::FromRows({{-999.0, 1.0}, {-999.0, 3.0}, {7.0, 5.0}});
  Matrix<double> Z(3, 2);
  EXPECT_FALSE(MatrixProdSelectMV_Adjust_Weight(3, 3, 3, 2, A, B, Z, nullptr, nullptr));
  // An empty community keeps the plain product, 0, where some term existed;
  // otherwise the mean over the OTUs with a known trait, times the community total.
  EXPECT_TRUE(MatricesClose(Z, test::FromRows({{-999, 2}, {0, 0}, {7, 0.25 * 1 + 0.75 * 5}})));

  // A trait missing for every OTU of an empty community: no term at all.
  const Matrix<double> B2 = test::FromRows({{-999.0}, {-999.0}, {-999.0}});
  Matrix<double> Z2(3, 1);
  MatrixProdSelectMV_Adjust_Weight(3, 3, 3, 1, A, B2, Z2, nullptr, nullptr);
  EXPECT_EQ(Z2[1][0], -999.0);
}

TEST(WeightedProduct, SelectionWeightsFlagsAndShapeMismatch) {
  const Matrix<double> A = test::FromRows({{0.5, 0.5}});
  const Matrix<double> B = test::FromRows({{2.0, 10.0}, {4.0, 20.0}});
  Matrix<double> Z(1, 2, 9.0);
  const int select[] = {0, 1};
  const int weights[] = {1, 0};
  MatrixProdSelectMV_Adjust_Weight(1, 2, 2, 2, A, B, Z, select, weights);
  EXPECT_EQ(Z[0][0], 0.0);               // not selected
  EXPECT_CLOSE(Z[0][1], 0.5 * 10.0);     // the zero-weighted term drops out

  // Flags (1, 0): without restriction every pair touching OTU 0 counts; with
  // the restriction only pairs of flagged OTUs.
  const int flags[] = {1, 0};
  MatrixProdSelectMV_Adjust_Weight(1, 2, 2, 2, A, B, Z, nullptr, flags, false);
  EXPECT_CLOSE(Z[0][0], 0.5 * 2 + 0.5 * 4);
  EXPECT_CLOSE(Z[0][1], 0.5 * 10);
  MatrixProdSelectMV_Adjust_Weight(1, 2, 2, 2, A, B, Z, nullptr, flags, true);
  EXPECT_CLOSE(Z[0][0], 0.5 * 2);
  EXPECT_EQ(Z[0][1], 0.0);

  Matrix<double> untouched(1, 2, 9.0);
  EXPECT_TRUE(MatrixProdSelectMV_Adjust_Weight(1, 2, 3, 2, A, B, untouched, nullptr, nullptr));
  EXPECT_TRUE(MatrixProdSelectMV_Adjust_Weight(1, 2, 3, 2, A, B, untouched, nullptr, flags, true));
  EXPECT_EQ(untouched[0][0], 9.0);
  EXPECT_EQ(untouched[0][1], 9.0);
}

TEST(WeightedProduct, SameBitsWithOneAndSeveralThreads) {
  const int n = 97, m = 130, p = 11;
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Matrix<double> A(n, m), B(m, p);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < m; ++k) {
      const double x = u(gen);
      A[i][k] = x < 0.4 ? 0.0 : (x > 0.98 ? -999.0 : x);
    }
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < p; ++j) B[k][j] = u(gen) < 0.05 ? -999.0 : u(gen) * 100.0;
  std::vector<int> weights(static_cast<size_t>(m), 1), flags(static_cast<size_t>(m), 1);
  for (int k = 0; k < m; k += 9) weights[static_cast<size_t>(k)] = 0, flags[static_cast<size_t>(k)] = 0;

  const int saved = omp_get_max_threads();
  Matrix<double> Z1(n, p), Zs(n, p), F1(n, p), Fs(n, p);
  omp_set_num_threads(1);
  MatrixProdSelectMV_Adjust_Weight(n, m, m, p, A, B, Z1, nullptr, weights.data());
  MatrixProdSelectMV_Adjust_Weight(n, m, m, p, A, B, F1, nullptr, flags.data(), true);
  omp_set_num_threads(4);
  MatrixProdSelectMV_Adjust_Weight(n, m, m, p, A, B, Zs, nullptr, weights.data());
  MatrixProdSelectMV_Adjust_Weight(n, m, m, p, A, B, Fs, nullptr, flags.data(), true);
  omp_set_num_threads(saved);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(std::memcmp(Z1[i], Zs[i], sizeof(double) * p), 0) << "row " << i;
    EXPECT_EQ(std::memcmp(F1[i], Fs[i], sizeof(double) * p), 0) << "row " << i;
  }
}

// With many columns and every trait present the product is formed blocked
// for the cache. It must give the bits of the row loop: with weights, the
// product taken 25 columns at a time (row by row); with either flag rule, the
// row loop's terms ((scale_k * col_j) * a_k) * B[k][j] added in order. Also an
// empty and an all-missing community, a selection, several blocks of rows of
// B, a partial last block of columns, one thread or two.
TEST(WeightedProduct, BlockedFormGivesTheRowLoopBits) {
  const int n = 37, m = 300, p = 75, part = 25;
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Matrix<double> A(n, m), B(m, p);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < m; ++k) {
      const double x = u(gen);
      A[i][k] = x < 0.6 ? 0.0 : (x > 0.99 ? -999.0 : x * 40.0);
    }
  for (int k = 0; k < m; ++k) A[3][k] = 0.0;     // empty: 0
  for (int k = 0; k < m; ++k) A[5][k] = -999.0;  // nothing known: -999
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < p; ++j) B[k][j] = (u(gen) - 0.3) * 10.0;
  std::vector<int> weights(static_cast<size_t>(m), 1), flags(static_cast<size_t>(m), 1);
  std::vector<int> select(static_cast<size_t>(p), 1);
  for (int k = 0; k < m; k += 7) weights[static_cast<size_t>(k)] = k % 2 ? 0 : 3;
  for (int k = 0; k < m; k += 5) flags[static_cast<size_t>(k)] = 0;
  for (int j = 0; j < p; j += 11) select[static_cast<size_t>(j)] = 0;

  Matrix<double> rows(n, p);
  for (int j0 = 0; j0 < p; j0 += part) {
    Matrix<double> Bj(m, part), Zj(n, part);
    for (int k = 0; k < m; ++k)
      for (int j = 0; j < part; ++j) Bj[k][j] = B[k][j0 + j];
    MatrixProdSelectMV_Adjust_Weight(n, m, m, part, A, Bj, Zj, select.data() + j0, weights.data());
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < part; ++j) rows[i][j0 + j] = Zj[i][j];
  }
  auto flagged = [&](bool restrict) {
    Matrix<double> Z(n, p);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < p; ++j) {
        double z = 0.0;
        for (int k = 0; k < m; ++k) {
          const double a = A[i][k];
          if (a == -999.0 || a == 0.0) continue;
          const double fk = flags[static_cast<size_t>(k)], fj = flags[static_cast<size_t>(j)];
          const double scale = restrict ? fk : 1.0;
          const double col = restrict ? fj : (fk == 1 ? 1.0 : (fj == 1 ? 1.0 : 0.0));
          const double term = ((scale * col) * a) * B[k][j];
          z = z + term;
        }
        Z[i][j] = select[static_cast<size_t>(j)] != 1 ? 0.0 : (i == 5 ? -999.0 : z);
      }
    return Z;
  };
  const Matrix<double> within = flagged(true), across = flagged(false);
  const int saved = omp_get_max_threads();
  for (int threads : {1, 2}) {
    omp_set_num_threads(threads);
    Matrix<double> Zw(n, p), Zr(n, p), Za(n, p);
    MatrixProdSelectMV_Adjust_Weight(n, m, m, p, A, B, Zw, select.data(), weights.data());
    MatrixProdSelectMV_Adjust_Weight(n, m, m, p, A, B, Zr, select.data(), flags.data(), true);
    MatrixProdSelectMV_Adjust_Weight(n, m, m, p, A, B, Za, select.data(), flags.data(), false);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(std::memcmp(Zw[i], rows[i], sizeof(double) * p), 0) << "weights, row " << i;
      EXPECT_EQ(std::memcmp(Zr[i], within[i], sizeof(double) * p), 0) << "restricted flags, row " << i;
      EXPECT_EQ(std::memcmp(Za[i], across[i], sizeof(double) * p), 0) << "flags, row " << i;
    }
    EXPECT_EQ(Zw[3][1], 0.0);
    EXPECT_EQ(Zw[5][1], -999.0);
  }
  omp_set_num_threads(saved);
}

TEST(RaoEntropy, GiniSimpsonCases) {
  const Matrix<double> I2 = Identity(2);
  const Matrix<double> W = test::FromRows({{0.5, 0.5}, {1.0, 0.0}, {3.0, 3.0}});
  double Q[3];
  RaoIndex_Weight_Matrix(3, 2, W, I2, Q, false, false, nullptr, false, false);
  EXPECT_CLOSE(Q[0], 0.5);
  EXPECT_EQ(Q[1], 0.0);
  RaoIndex_Weight_Matrix(3, 2, W, I2, Q, false, false, nullptr, false, true);
  EXPECT_CLOSE(Q[2], 0.5);  // relative: counts become proportions
  EXPECT_CLOSE(RaoIndex_Weight(2, W[0], I2, false, false, nullptr, false), 0.5);
  EXPECT_EQ(RaoIndex_Weight(2, W[1], I2, false, false, nullptr, false), 0.0);
  const double empty[] = {0.0, 0.0};
  EXPECT_EQ(RaoIndex_Weight(2, empty, I2, false, false, nullptr, false), 0.0);
}

// With hundreds of OTUs the pair sums are taken a block of OTUs at a time:
// each community must still add its pairs in ascending order, so every
// entropy equals the plain pair loop's to the last bit, with missing
// resemblances, relative shares (and a community without a positive total),
// on one thread or two.
TEST(RaoEntropy, BlocksOfOtusGiveThePairLoopBits) {
  const int n = 23, s = 700;
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Matrix<double> W(n, s), D(s, s);
  for (int i = 0; i < n; ++i)
    for (int a = 0; a < s; ++a) {
      const double x = u(gen);
      W[i][a] = x < 0.7 ? 0.0 : (x > 0.995 ? -999.0 : x * 8.0);
    }
  for (int a = 0; a < s; ++a) W[2][a] = 0.0;
  for (int a = 0; a < s; ++a)
    for (int b = a + 1; b < s; ++b) D[a][b] = u(gen) < 0.02 ? -999.0 : u(gen);
  for (const bool relative : {false, true}) {
    std::vector<double> expect(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      double total = 0.0;
      for (int a = 0; a < s; ++a)
        if (W[i][a] != -999.0) total += W[i][a];
      if (relative && !(total > 0.0)) continue;
      std::vector<int> at;
      std::vector<double> share;
      for (int a = 0; a < s; ++a)
        if (W[i][a] != -999.0 && W[i][a] != 0.0) at.push_back(a), share.push_back(relative ? W[i][a] / total : W[i][a]);
      double q = 0.0, covered = 0.0, all = 0.0;
      for (size_t x = 0; x < at.size(); ++x)
        for (size_t y = x + 1; y < at.size(); ++y) {
          const double pab = share[x] * share[y];
          all += pab;
          const double d = D[at[x]][at[y]];
          if (d == -999.0) continue;
          const double term = std::sqrt(d) * pab;
          q = q + term;
          covered += pab;
        }
      if (covered > 0.0 && all > 0.0) q *= all / covered;
      expect[static_cast<size_t>(i)] = 2.0 * q;
    }
    const int saved = omp_get_max_threads();
    for (int threads : {1, 2}) {
      omp_set_num_threads(threads);
      std::vector<double> Q(static_cast<size_t>(n), -1.0);
      RaoIndex_Weight_Matrix(n, s, W, D, Q.data(), true, true, nullptr, false, relative);
      for (int i = 0; i < n; ++i) EXPECT_EQ(Q[static_cast<size_t>(i)], expect[static_cast<size_t>(i)]) << "community " << i;
    }
    omp_set_num_threads(saved);
  }
}

TEST(RaoEntropy, SquareRootMissingResemblancesAndFlags) {
  // Dissimilarities: d01 = 0.25, d02 missing, d12 = 0.64.
  const Matrix<double> D = test::FromRows({{0, 0.25, -999.0}, {0, 0, 0.64}, {0, 0, 0}});
  const double third = 1.0 / 3.0;
  const Matrix<double> W = test::FromRows({{0.5, 0.5, 0.0}, {third, third, third}});
  double Q[2];
  RaoIndex_Weight_Matrix(2, 3, W, D, Q, true, true, nullptr, false, false);
  EXPECT_CLOSE(Q[0], 2 * 0.5 * 0.25);  // sqrt(0.25) * 0.25 twice
  // Two of three pairs known: their sum is scaled up to all three pairs.
  EXPECT_CLOSE(Q[1], 2 * (0.5 + 0.8) / 9 * 1.5);
  RaoIndex_Weight_Matrix(2, 3, W, D, Q, true, false, nullptr, false, false);
  EXPECT_CLOSE(Q[0], 2 * 0.25 * 0.25);

  // Flag 0 on OTU 1: with the restriction no pair with OTU 1 counts, yet the
  // pair still covers its share, so nothing is rescaled.
  const int flags[] = {1, 0, 1};
  RaoIndex_Weight_Matrix(2, 3, W, D, Q, true, false, flags, true, false);
  EXPECT_EQ(Q[0] + Q[1], 0.0);
  RaoIndex_Weight_Matrix(2, 3, W, D, Q, true, false, flags, false, false);
  EXPECT_CLOSE(Q[0], 2 * 0.25 * 0.25);

  // A similarity a rounding step above 1 gives a zero difference, not NaN.
  const Matrix<double> S = test::FromRows({{1, 1.0000001}, {0, 1}});
  RaoIndex_Weight_Matrix(1, 2, W, S, Q, false, true, nullptr, false, false);
  EXPECT_EQ(Q[0], 0.0);
}

}  // namespace
}  // namespace kalios
