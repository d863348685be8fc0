#include "ranking/subset_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "ranking/chrank.h"
#include "support/tempdir.h"
#include "support/scripted.h"

namespace kalios {
namespace {

// Every evaluation in the order the search reports it.
struct Recorder : RankingObserver {
  std::vector<std::vector<int>> subsets;
  std::vector<SubsetResult> results;
  std::vector<std::int64_t> iterations;
  std::int64_t total = 0;
  void Iteration(std::int64_t it, std::int64_t t, int) override {
    iterations.push_back(it);
    total = t;
  }
  void Evaluated(const int* traits, int k, const SubsetResult& r) override {
    subsets.emplace_back(traits, traits + k);
    results.push_back(r);
  }
  void SizeDone(int, const SizeBest&) override {}
};

// A small data set of s OTUs, p quantitative traits and n communities with
// one environmental variable, filled from a fixed pseudo-random sequence.
struct SearchData {
  DataSet d;
  AnalysisOptions o;
  RankingOptions r;
  RankingPrefs prefs;
  explicit SearchData(int s = 9, int p = 4, int n = 7) {
    unsigned x = 12345;
    auto next = [&x] {
      x = x * 1103515245u + 12345u;
      return static_cast<double>((x >> 16) % 1000) / 100.0;
    };
    d.tcst = s;
    d.nch = p;
    d.ncsm = n;
    d.nenv = 1;
    d.csm_Float.Resize(s, p);
    for (int i = 0; i < s; ++i)
      for (int k = 0; k < p; ++k) d.csm_Float[i][k] = next();
    d.cadat.Resize(s, n);
    for (int i = 0; i < s; ++i)
      for (int c = 0; c < n; ++c) d.cadat[i][c] = next() > 5 ? next() : 0.0;
    for (int c = 0; c < n; ++c) d.cadat[c % s][c] += 1.0;
    d.env.Resize(n, 1);
    for (int c = 0; c < n; ++c) d.env[c][0] = next();
    d.chtype.assign(static_cast<std::size_t>(p), 3);
    d.onsta.assign(static_cast<std::size_t>(p), s);
    d.weight.assign(static_cast<std::size_t>(p), 1.0);
    d.envVarType = {3};
    d.eVarSelect = {1};
    d.optEnvVarType = 2;
    d.weight_OTUs.assign(static_cast<std::size_t>(s), 1);
    for (int i = 0; i < s; ++i) d.partition_OTUs.push_back(i + 1);
    d.chLabel = {"a", "b", "c", "d", "e", "f"};
    d.chLabel.resize(static_cast<std::size_t>(p), "x");
    o.opt_ro = 1;
    o.opt_MatrixCorr = 'm';
    o.rese_opt = 6;
    o.reseCSTopt = 1;
    o.fuzzy = 3;
    o.optUnitTotalAdjust2 = true;
    r.rankingAlgorithm = 2;
    r.nMinCSTGroupsChRank = r.nMaxCSTGroupsChRank = s;
    r.nMinTraitsChRank = 1;
    r.nMaxTraitsChRank = p;
    r.optUnitTotalAdjust1 = true;
  }
  RankingOutcome Search(int mode, Recorder& rec, int threads = 1) {
    RankingInputs in;
    BuildRankingInputs(d, o, r, prefs, mode, in);
    RankingOutcome out;
    RunSubsetSearch(in, r.nMinTraitsChRank, r.nMaxTraitsChRank, threads, rec, out);
    return out;
  }
};

TEST(SubsetSearch, SubsetsComeInLexicographicOrderOfEachSize) {
  SearchData data(6, 3, 5);
  Recorder rec;
  data.Search(10, rec);
  const std::vector<std::vector<int>> order = {{1}, {2}, {3}, {1, 2}, {1, 3}, {2, 3}, {1, 2, 3}};
  EXPECT_EQ(rec.subsets, order);
  EXPECT_EQ(rec.iterations, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(rec.total, 7);
}

TEST(SubsetSearch, ZeroWeightTraitsNeverEnterASubset) {
  SearchData data(7, 4, 6);
  data.d.weight[1] = 0;
  Recorder rec;
  RankingOutcome out = data.Search(12, rec);
  for (std::size_t i = 0; i < rec.subsets.size(); ++i) {
    const bool hasB = std::find(rec.subsets[i].begin(), rec.subsets[i].end(), 2) != rec.subsets[i].end();
    EXPECT_EQ(rec.results[i].g == 0, hasB);
  }
  for (const KeptEntry& e : out.kept)
    EXPECT_EQ(std::find(e.traits.begin(), e.traits.end(), 2), e.traits.end());
  EXPECT_TRUE(out.bySize[4].traits.empty());
}

TEST(SubsetSearch, TiesKeepTheEarlierSubset) {
  SearchData data(8, 3, 6);
  for (int i = 0; i < 8; ++i) data.d.csm_Float[i][2] = data.d.csm_Float[i][0];  // c repeats a
  Recorder rec;
  RankingOutcome out = data.Search(10, rec);
  ASSERT_DOUBLE_EQ(rec.results[0].best, rec.results[2].best);
  EXPECT_NE(out.bySize[1].traits, std::vector<int>{3});
  // {a, b} and {b, c} tie as well.
  ASSERT_DOUBLE_EQ(rec.results[3].best, rec.results[5].best);
  EXPECT_NE(out.bySize[2].traits, (std::vector<int>{2, 3}));
}

TEST(SubsetSearch, ThreadsChangeNothing) {
  SearchData data(12, 5, 9);
  data.d.csm_Float[3][1] = kMissingValue;  // some subsets take the general route
  for (int mode : {1, 2, 3, 9, 10, 12}) {
    Recorder one, two;
    RankingOutcome a = data.Search(mode, one, 1), b = data.Search(mode, two, 2);
    ASSERT_EQ(a.kept.size(), b.kept.size());
    for (std::size_t i = 0; i < a.kept.size(); ++i) {
      EXPECT_DOUBLE_EQ(a.kept[i].value, b.kept[i].value) << mode;
      EXPECT_EQ(a.kept[i].traits, b.kept[i].traits) << mode;
    }
    for (std::size_t k = 1; k < a.bySize.size(); ++k) EXPECT_EQ(a.bySize[k].traits, b.bySize[k].traits) << mode;
  }
}

TEST(SubsetSearch, ClusteringEvaluatesEveryNumberOfTypesInTheBounds) {
  SearchData data(8, 3, 6);
  data.o.clusMethPoolCSTs = 2;  // complete linkage
  data.r.nMinCSTGroupsChRank = 3;
  data.r.nMaxCSTGroupsChRank = 5;
  data.d.chtype[2] = 1;
  for (int i = 0; i < 8; ++i) data.d.csm_Float[i][2] = i % 2;
  Recorder rec;
  data.Search(10, rec);
  std::vector<int> gs;
  for (const auto& [g, v] : rec.results[3].evaluations) gs.push_back(g);  // {a, b}
  EXPECT_EQ(gs, (std::vector<int>{3, 4, 5}));
  // A single binary trait splits the OTUs in two groups only: outside the bounds.
  EXPECT_TRUE(rec.results[2].evaluations.empty());
}

TEST(SubsetSearch, KeptListHoldsTheHundredLargestByAbsoluteValue) {
  std::vector<KeptEntry> kept(nKeepTrack + 1);
  const int t = 1;
  for (int i = 1; i <= 150; ++i) KeepTrack(kept, true, (i % 2 ? 1 : -1) * i / 1000.0, 2, &t, 1);
  EXPECT_DOUBLE_EQ(std::abs(kept[nKeepTrack].value), 0.150);
  EXPECT_DOUBLE_EQ(std::abs(kept[1].value), 0.051);
  // Signed criteria keep only what beats the smallest kept value.
  std::vector<KeptEntry> signedKept(nKeepTrack + 1);
  KeepTrack(signedKept, false, -0.5, 2, &t, 1);
  EXPECT_EQ(signedKept[nKeepTrack].k, 0);
}

TEST(SubsetSearch, CountsAndDeviations) {
  EXPECT_EQ(TotalIterations(60, 30, 30), 118264581564861424LL);
  EXPECT_EQ(TotalIterations(12, 1, 12), 4095);
  const double a[] = {1, kMissingValue, 3}, b[] = {2, 5, 2};
  EXPECT_DOUBLE_EQ(SumAbsDeviations(3, a, b, false), 0.25);
  EXPECT_DOUBLE_EQ(SumAbsDeviations(3, a, a, false), 0.0);
}

TEST(ChRankLib, APartialSizeWithOnlyZerosPrintsNone) {
  testing::TempDir dir;
  SearchData data(6, 2, 5);
  for (int c = 0; c < 5; ++c) data.d.env[c][0] = 1.0;  // E constant: every correlation with it is 0
  data.o.opt_struct = 9;
  test::Scripted s;
  RankingRunContext run{s.con, data.d, data.o, data.r, data.prefs, "v", "sess", "sessFormda.txt",
                        dir.path() + "/out.txt", dir.path() + "/str.txt", {}};
  ChRankLib(12, run);
  std::ifstream f(dir.path() + "/out.txt");
  std::stringstream text;
  text << f.rdbuf();
  EXPECT_NE(text.str().find("optimal subset with 1 traits: \t0           \tnone\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("optimal subset with 2 traits: \t0           \tnone\n"), std::string::npos);
  EXPECT_NE(text.str().find("Trait ranking criterion (TRC): 9 (Trait-divergence"), std::string::npos);
  // The structures file holds the matrices of each of the three subsets.
  const std::string structures = testing::ReadAll(dir.path() + "/str.txt");
  EXPECT_NE(structures.find("\nTrait matrix with 6 OTUs by 2 traits: \n"), std::string::npos);
  int belongings = 0;
  for (auto q = structures.find("Degrees of belonging of 6 populations"); q != std::string::npos;
       q = structures.find("Degrees of belonging of 6 populations", q + 1))
    ++belongings;
  EXPECT_EQ(belongings, 3);
}

}  // namespace
}  // namespace kalios
