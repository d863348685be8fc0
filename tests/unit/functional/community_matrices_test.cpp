#include "functional/community_matrices.h"

#include <gtest/gtest.h>

#include <cmath>

#include "functional/analysis_data.h"
#include "functional/phylogeny_matrices.h"
#include "measures/types.h"
#include "session/partition.h"

namespace kalios {
namespace {

using testing::AnalysisFixture;
using namespace kalios::test;

Matrix<double> Column(const std::vector<double>& v) {
  Matrix<double> m(static_cast<int>(v.size()), 1);
  for (std::size_t i = 0; i < v.size(); ++i) m[static_cast<int>(i)][0] = v[i];
  return m;
}

ScalingUpState BuildAll(App& app) {
  DataSet& ds = app.data;
  RangeStates(ds.nch, ds.tcst, ds.csm_Float, ds.chtype.data(), ds.chrange.data());
  ScalingUpState st;
  NoteSelections(ds, app.opts, st);
  BuildEnvironment(ds, app.prefs, st);
  FillCompositions(ds, st);
  AdjustCompositions(ds, app.opts, st);
  BuildBeals(app.opts, app.prefs, st);
  BuildGiniSimpson(ds, app.opts, st);
  BuildPhylogeny(ds, app.opts, app.prefs, st);
  BuildTraitSimilarity(ds, app.prefs, st);
  BuildTypes(ds, app.opts, app.prefs, st);
  ComputeCommunityMeans(ds, st.chSelect.data(), st);
  return st;
}

// Every matrix the analysis builds before the test, against the values of
// the reference data sets (single-precision roundings included).
class ReferenceMatrices : public ::testing::TestWithParam<const char*> {};

TEST_P(ReferenceMatrices, MatchTheReferenceValues) {
  const std::string set = GetParam();
  AnalysisFixture f(set);
  const ScalingUpState st = BuildAll(f.app);
  const auto ref = LoadJson(set + "/expected.json");
  EXPECT_TRUE(MatricesClose(st.S, JsonMatrix(ref["S"])));
  EXPECT_TRUE(MatricesClose(st.U, JsonMatrix(ref["U"])));
  EXPECT_TRUE(MatricesClose(st.Wtcap, JsonMatrix(ref["Wtcap"])));
  EXPECT_TRUE(MatricesClose(st.Wtdap, JsonMatrix(ref["Wtdap"])));
  EXPECT_TRUE(MatricesClose(st.T, JsonMatrix(ref["T_raw"])));
  EXPECT_TRUE(MatricesClose(st.DE, JsonMatrix(ref["DE"])));
  EXPECT_TRUE(MatricesClose(st.Y, JsonMatrix(ref["Y"])));
  EXPECT_TRUE(MatricesClose(st.DY, JsonMatrix(ref["DY"])));
  EXPECT_TRUE(MatricesClose(Column(st.D), Column(ref["D_GiniSimpson"].get<std::vector<double>>())));
  EXPECT_TRUE(MatricesClose(Column(st.Rf), Column(ref["Rf"].get<std::vector<double>>())));
  EXPECT_TRUE(MatricesClose(Column(st.FR), Column(ref["FR"].get<std::vector<double>>())));
  for (int i = 0; i < st.n; ++i) EXPECT_EQ(st.richness[static_cast<std::size_t>(i)], ref["richness"][i].get<int>());
  // With every OTU its own type the crisp belonging is the identity.
  for (int i = 0; i < st.s; ++i)
    for (int t = 0; t < st.k; ++t) EXPECT_EQ(st.Ucrisp[i][t], i == t ? 1.0 : 0.0);
  if (!ref.contains("phylogeny")) return;
  const auto& ph = ref["phylogeny"];
  ASSERT_TRUE(st.phylogeny);
  EXPECT_FALSE(st.phyloIsDissim);
  EXPECT_TRUE(MatricesClose(st.Q, JsonMatrix(ph["Q"])));
  EXPECT_TRUE(MatricesClose(st.P, JsonMatrix(ph["P"])));
  EXPECT_TRUE(MatricesClose(st.DP, JsonMatrix(ph["DP"])));
  EXPECT_TRUE(MatricesClose(Column(st.Rp), Column(ph["Rp"].get<std::vector<double>>())));
  EXPECT_TRUE(MatricesClose(Column(st.PR), Column(ph["PR"].get<std::vector<double>>())));
  // The phylogenetic scores: similarities turned into distances sqrt(2 (1 - s)).
  const Matrix<double> scores = JsonMatrix(ph["pcoa_SF"]["scores_axes_as_columns"]);
  ASSERT_EQ(st.nPhyloAxes, ph["pcoa_SF"]["n_axes"].get<int>());
  for (int i = 0; i < st.s; ++i)
    for (int a = 0; a < st.nPhyloAxes; ++a)
      EXPECT_TRUE(Close(std::fabs(st.phyloScores[i][a]), std::fabs(scores[i][a]), 1e-7, 1e-9)) << i << " " << a;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ReferenceMatrices, ::testing::Values("small", "mixed"));

// Excluding OTUs: with the scale kept W for TCAP loses their columns and is
// brought back to unit total; W for TDAP always loses them; without the scale
// kept W for TCAP keeps them and the Rao entropies ignore them through the
// flags.
TEST(CommunityMatrices, ExcludedOtusLeaveTheCompositions) {
  for (bool keepAdditivity : {true, false}) {
    AnalysisFixture f("small");
    f.app.data.weight_OTUs[1] = 0;
    f.app.opts.keepAdditivity = keepAdditivity;
    const ScalingUpState st = BuildAll(f.app);
    EXPECT_TRUE(st.anyExcluded);
    EXPECT_EQ(st.keepScale, !keepAdditivity);
    for (int i = 0; i < st.n; ++i) {
      double total = 0;
      for (int j = 0; j < st.s; ++j) total += st.Wtcap[i][j];
      EXPECT_NEAR(total, 1.0, 1e-12);
      EXPECT_EQ(st.Wtdap[i][1], 0.0);
      if (keepAdditivity && f.app.data.cadat[1][i] > 0) {
        EXPECT_GT(st.Wtcap[i][1], 0.0);
      }
      if (!keepAdditivity) {
        EXPECT_EQ(st.Wtcap[i][1], 0.0);
      }
      // Type 2 stands for OTU 2: nobody belongs to it any more.
      EXPECT_EQ(st.Xcrisp[i][1], 0.0);
    }
    for (int j = 0; j < st.s; ++j) EXPECT_EQ(st.U[j][1], 0.0);
    for (int j = 0; j < st.s; ++j) EXPECT_EQ(st.Q[j][1], 0.0);
  }
}

// When types group several OTUs a type is dropped only when all of its OTUs
// are excluded; the excluded OTUs themselves are out of X through W.
TEST(CommunityMatrices, GroupedTypesKeepTypesWithSelectedOtus) {
  AnalysisFixture f("small");
  DataSet& d = f.app.data;
  d.partition_OTUs = {1, 1, 2, 2, 3, 3, 4, 4};
  d.nGrPoly[0] = 4;
  d.weight_OTUs[0] = 0;  // type 1 keeps OTU 2
  d.weight_OTUs[4] = 0;  // type 3 loses both
  d.weight_OTUs[5] = 0;
  const ScalingUpState st = BuildAll(f.app);
  EXPECT_EQ(st.typeFlags, (std::vector<int>{1, 1, 0, 1}));
  for (int j = 0; j < st.s; ++j) {
    EXPECT_EQ(st.U[j][2], 0.0);
    if (d.weight_OTUs[static_cast<std::size_t>(j)] == 1) {
      EXPECT_GT(st.U[j][0], 0.0);
    }
  }
  for (int i = 0; i < st.n; ++i) {
    // Only OTU 2 of type 1 counts, and nothing of type 3.
    EXPECT_NEAR(st.Xcrisp[i][0], st.Wtdap[i][1], 1e-15);
    EXPECT_EQ(st.Xcrisp[i][2], 0.0);
  }
  EXPECT_EQ(st.typeCounts, (std::vector<int>{2, 2, 2, 2}));
}

TEST(CommunityMatrices, TypeAverageTraitsSkipMissingValues) {
  Matrix<double> U(3, 2), B(3, 2), out(2, 2);
  U[0][0] = U[1][0] = U[2][1] = 1.0;
  B[0][0] = 2.0;
  B[1][0] = -999.0;
  B[0][1] = -999.0;
  B[1][1] = -999.0;
  B[2][0] = 5.0;
  B[2][1] = 7.0;
  TypeAverageTraits(3, 2, 2, U, B, out);
  EXPECT_EQ(out[0][0], 2.0);      // the missing value is left out, not averaged in
  EXPECT_EQ(out[0][1], -999.0);   // no member has the trait
  EXPECT_EQ(out[1][0], 5.0);
  EXPECT_EQ(out[1][1], 7.0);
}

TEST(CommunityMatrices, MixedEnvironmentUsesGowerOnlyWithANominalVariable) {
  AnalysisFixture f("small");
  DataSet& d = f.app.data;
  d.optEnvVarType = 5;
  ScalingUpState standardized, gower;
  BuildEnvironment(d, f.app.prefs, standardized);
  EXPECT_TRUE(MatricesClose(standardized.DE, JsonMatrix(LoadJson("small/expected.json")["DE"])));
  d.envVarType[0] = 2;
  BuildEnvironment(d, f.app.prefs, gower);
  // Gower dissimilarities lie in [0, 1], unlike the standardized distances.
  for (int i = 0; i < gower.n; ++i)
    for (int j = 0; j < gower.n; ++j) {
      EXPECT_GE(gower.DE[i][j], 0.0);
      EXPECT_LE(gower.DE[i][j], 1.0);
    }
  EXPECT_FALSE(MatricesClose(gower.DE, standardized.DE));
  // Deselecting the nominal variable brings back the standardized distances
  // on the one left.
  d.eVarSelect[0] = 0;
  ScalingUpState one;
  BuildEnvironment(d, f.app.prefs, one);
  EXPECT_EQ(one.e, 1);
  EXPECT_EQ(one.envColumns, std::vector<int>{1});
  EXPECT_GT(one.DE[0][1], 0.0);
}


// E in different units is standardized for the statistics on E itself as it
// is for the distances (elevation in metres would otherwise decide them);
// E in the same units stays as it is, and E' always keeps the raw values
// (the report and the classes of the analysis of variance read them).
TEST(CommunityMatrices, EnvironmentInDifferentUnitsEntersStandardized) {
  AnalysisFixture f("small");
  DataSet& d = f.app.data;
  ScalingUpState st;
  BuildEnvironment(d, f.app.prefs, st);
  for (int j = 0; j < st.e; ++j) {
    double sum = 0, ss = 0;
    for (int i = 0; i < st.n; ++i) {
      sum += st.Etest[i][j];
      ss += st.Etest[i][j] * st.Etest[i][j];
      EXPECT_EQ(st.Eprime[i][j], d.env[i][j]);
    }
    EXPECT_NEAR(sum, 0.0, 1e-6);
    EXPECT_NEAR(ss, 1.0, 1e-6);
  }
  d.optEnvVarType = 1;
  ScalingUpState same;
  BuildEnvironment(d, f.app.prefs, same);
  EXPECT_TRUE(MatricesClose(same.Etest, same.Eprime, 0.0, 0.0));
}

}  // namespace
}  // namespace kalios
