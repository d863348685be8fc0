#include "measures/types.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <string>
#include <vector>

#include "session/partition.h"
#include "support/compare.h"

namespace kalios {
namespace {

using test::JsonMatrix;
using test::LoadJson;
using test::MatricesClose;

struct FixtureSet {
  std::string name;
  int otus, traits;
  std::vector<int> types;
};

const FixtureSet kSets[] = {{"small", 8, 4, {3, 3, 1, 4}}, {"mixed", 12, 5, {1, 2, 3, 4, 3}}};

TEST(GowerSimilarity, PartialsAndAverageMatchReferenceS) {
  for (const auto& set : kSets) {
    SCOPED_TRACE(set.name);
    Matrix<double> B = test::ReadFixtureNumbers(set.name + "/B.txt", set.otus, set.traits);
    const Matrix<double> original = B;
    std::vector<double> ranges(static_cast<size_t>(set.traits), 0.0);
    RangeStates(set.traits, set.otus, B, set.types.data(), ranges.data());
    std::vector<double> weights(static_cast<size_t>(set.traits), 1.0);
    Array3<double> P;
    gower_similarityPartial(set.traits, B, set.otus, P, set.types.data(), ranges.data(), weights.data(), 1);
    Matrix<double> S(set.otus, set.otus);
    gower_similarityAverage(set.traits, set.otus, P, S, weights.data());
    EXPECT_TRUE(MatricesClose(S, JsonMatrix(LoadJson(set.name + "/expected.json")["S"])));
    // The selection form with every trait selected gives the same matrix.
    std::vector<int> select(static_cast<size_t>(set.traits), 1);
    Matrix<double> S2(set.otus, set.otus);
    gower_similarityAverage(set.traits, set.otus, P, S2, select.data());
    EXPECT_TRUE(MatricesClose(S, S2, 0, 0));
    EXPECT_TRUE(MatricesClose(B, original, 0, 0));  // ordinal traits ranked on a copy

    // Streamed, trait by trait, without the partials: the same bits, also with
    // weights that are fractional, zero, negative or not a number.
    std::vector<std::vector<double>> weightSets = {weights, weights};
    for (int k = 0; k < set.traits; ++k) weightSets[1][static_cast<size_t>(k)] = 0.25 + 0.5 * k;
    weightSets[1][1] = 0.0;
    weightSets[1][2] = -1.0;
    weightSets[1][3] = std::nan("");
    for (const auto& w : weightSets) {
      gower_similarityPartial(set.traits, B, set.otus, P, set.types.data(), ranges.data(), w.data(), 1);
      gower_similarityAverage(set.traits, set.otus, P, S, w.data());
      Matrix<double> streamed(set.otus, set.otus);
      gower_similarity(set.traits, B, set.otus, streamed, set.types.data(), ranges.data(), w.data(), 1);
      EXPECT_TRUE(MatricesClose(S, streamed, 0, 0));
    }
  }
}

TEST(GowerSimilarity, DoubleAbsencesMissingValuesAndWeights) {
  // OTU 1 and 2 share only absences of the binary trait; OTU 3 lacks trait 2.
  Matrix<double> B = test::FromRows({{0, -999}, {0, -999}, {1, -999}});
  const int types[2] = {1, 3};
  Array3<double> P;
  gower_similarityPartial(2, B, 3, P, types, nullptr, nullptr, 0);
  Matrix<double> S(3, 3);
  gower_similarityAverage(2, 3, P, S, static_cast<const double*>(nullptr));
  EXPECT_EQ(P[0][1][0], -999.0);
  // No comparable trait for 0-1: -999; a double absence is still identical to itself.
  EXPECT_TRUE(MatricesClose(S, test::FromRows({{1, -999, 0}, {-999, 1, 0}, {0, 0, 1}}), 0, 0));
  Matrix<double> streamed(3, 3);
  gower_similarity(2, B, 3, streamed, types, nullptr, nullptr, 0);
  EXPECT_TRUE(MatricesClose(S, streamed, 0, 0));

  // Weights scale the partials; a zero-weight trait drops out of the average.
  Matrix<double> C = test::FromRows({{0, 1}, {4, 2}});
  const int t33[2] = {3, 2};
  const double w[2] = {2, 0};
  gower_similarityPartial(2, C, 2, P, t33, nullptr, w, 1);
  EXPECT_EQ(P[0][1][0], 0.0);  // full range apart
  EXPECT_EQ(P[0][0][0], 2.0);
  EXPECT_EQ(P[0][1][1], -999.0);
  gower_similarityAverage(2, 2, P, S, w);
  EXPECT_EQ(S[0][1], 0.0);
  EXPECT_EQ(S[1][1], 1.0);
}

Matrix<double> RunFuzzy(const Matrix<double>& S, int k, const int* partition, int threads) {
  omp_set_num_threads(threads);
  Matrix<double> U(S.rows(), k);
  FuzzyBelonging(S.rows(), k, S, partition, U, false);
  return U;
}

::testing::AssertionResult Identical(const Matrix<double>& a, const Matrix<double>& b) {
  return MatricesClose(a, b, 0, 0);
}

void ExpectUnitRows(const Matrix<double>& U) {
  for (int i = 0; i < U.rows(); ++i) {
    double sum = 0;
    for (int t = 0; t < U.cols(); ++t) {
      ASSERT_TRUE(std::isfinite(U[i][t]));
      sum += U[i][t];
    }
    EXPECT_CLOSE(sum, 1.0);
  }
}

TEST(FuzzyBelonging, EveryOtuItsOwnTypeMatchesReference) {
  for (const auto& set : kSets) {
    SCOPED_TRACE(set.name);
    auto json = LoadJson(set.name + "/expected.json");
    Matrix<double> S = JsonMatrix(json["S"]);
    const int n = S.rows();
    std::vector<int> own(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) own[i] = i + 1;
    Matrix<double> U1 = RunFuzzy(S, n, own.data(), 1);
    Matrix<double> U4 = RunFuzzy(S, n, own.data(), 4);
    Matrix<double> U3 = RunFuzzy(S, n, nullptr, 3);
    EXPECT_TRUE(MatricesClose(U1, JsonMatrix(json["U"])));
    EXPECT_TRUE(Identical(U1, U4));
    EXPECT_TRUE(Identical(U1, U3));
    ExpectUnitRows(U1);
    // The same matrix given as dissimilarities 1 - S.
    Matrix<double> D(n, n), UD(n, n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) D[i][j] = 1.0 - S[i][j];
    FuzzyBelonging(n, n, D, nullptr, UD, true);
    EXPECT_TRUE(MatricesClose(UD, U1));
  }
}

TEST(FuzzyBelonging, GroupedTypesWithTwins) {
  auto json = LoadJson("mixed/expected.json");
  Matrix<double> S = JsonMatrix(json["S"]);
  const auto& grouped = json["extras"]["U_grouped"];
  std::vector<int> partition = grouped["partition"].get<std::vector<int>>();
  Matrix<double> expected = JsonMatrix(grouped["U"]);
  // Only the upper triangle is read: spoil the lower one.
  for (int i = 0; i < S.rows(); ++i)
    for (int j = 0; j < i; ++j) S[i][j] = -5;
  Matrix<double> U1 = RunFuzzy(S, 6, partition.data(), 1);
  EXPECT_TRUE(MatricesClose(U1, expected));
  for (int threads : {2, 3, 5}) EXPECT_TRUE(Identical(U1, RunFuzzy(S, 6, partition.data(), threads)));
  ExpectUnitRows(U1);
  // The twin (OTU 12) gets the row of its representative (OTU 11) only where
  // the two are identical: their rows differ because their similarities to
  // the other OTUs differ, but neither counts the other.
  EXPECT_FALSE(MatricesClose(U1, JsonMatrix(grouped["U_without_twins_rule"])));
}

TEST(FuzzyBelonging, IdenticalPairShareTheirRow) {
  // OTUs 1 and 2 identical, OTU 3 apart; all in one type besides OTU 3.
  Matrix<double> S = test::FromRows({{1, 1, 0.2}, {1, 1, 0.2}, {0.2, 0.2, 1}});
  const int partition[3] = {4, 4, 9};
  Matrix<double> U = RunFuzzy(S, 2, partition, 2);
  EXPECT_EQ(U[0][0], U[1][0]);
  EXPECT_EQ(U[0][1], U[1][1]);
  EXPECT_CLOSE(U[0][0], 1.0 / 1.2);  // twin counted once: count of type 1 is 1
  EXPECT_CLOSE(U[2][0], 0.2 / 1.2);
  // A pair without a comparable trait contributes nothing; a type reached by
  // no comparable OTU stays -999.
  S[0][2] = S[1][2] = -999.0;
  Matrix<double> U2 = RunFuzzy(S, 2, partition, 1);
  EXPECT_EQ(U2[0][1], -999.0);
  EXPECT_EQ(U2[0][0], 1.0);
  EXPECT_EQ(U2[2][1], 1.0);
}

TEST(CrispBelonging, NullPartitionAndLabelOrder) {
  Matrix<double> U(3, 3, 7.0);
  CrispBelonging(3, 3, nullptr, U);
  EXPECT_TRUE(MatricesClose(U, test::Identity(3), 0, 0));
  const int partition[4] = {8, 2, 8, 5};
  Matrix<double> V(4, 3, 7.0);
  CrispBelonging(4, 3, partition, V);
  EXPECT_TRUE(MatricesClose(V, test::FromRows({{0, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}}), 0, 0));
}

TEST(CommunityResemblance, OptionsAndMissingValues) {
  Matrix<double> X = test::FromRows({{0, 3}, {4, 0}, {-999, 6}});
  Matrix<double> D(3, 3, 42.0);
  NominalReseNonHier(3, 2, X, D, 6);
  EXPECT_DOUBLE_EQ(D[0][1], 5);
  EXPECT_DOUBLE_EQ(D[1][0], 5);
  EXPECT_DOUBLE_EQ(D[0][2], 3);  // only the second variable is present in both
  EXPECT_EQ(D[1][1], 0);
  NominalReseNonHier(3, 2, X, D, 9);
  EXPECT_DOUBLE_EQ(D[0][1], 7);
  EXPECT_DOUBLE_EQ(D[2][1], 6);
  NominalReseNonHier(3, 2, X, D, 10);
  EXPECT_DOUBLE_EQ(D[0][1], std::sqrt(2.0));  // unit rows (0,1) and (1,0)
  EXPECT_DOUBLE_EQ(D[0][2], 0);
  Matrix<double> untouched(3, 3, 42.0);
  NominalReseNonHier(3, 2, X, untouched, 5);
  EXPECT_EQ(untouched[0][1], 42.0);

  const int types[3] = {1, 3, 2};
  const int selNo[3] = {1, 1, 0}, selYes[3] = {0, 0, 1};
  EXPECT_TRUE(HasQualitTrait(3, types));
  EXPECT_FALSE(HasQualitTrait(2, types));
  EXPECT_FALSE(HasQualitTraitSelect(3, types, selNo));
  EXPECT_TRUE(HasQualitTraitSelect(3, types, selYes));
}

}  // namespace
}  // namespace kalios
