// The niche conservation search on the small reference set: the whole panel
// of each evaluation against the independent reference, the two lists under
// pooling by clustering, the same lists with any number of threads, and the
// results file (correlation kinds it does not compute, zero-weight traits, the
// summary after the header, the structures file leaving the lists unchanged).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "functional/analysis_data.h"
#include "ranking/criteria.h"
#include "ranking/niche_conservation.h"
#include "ranking/niche_evaluator.h"

namespace kalios::testing {
namespace {

struct Recorder : RankingObserver {
  void Iteration(std::int64_t, std::int64_t, int) override {}
  void Evaluated(const int* traits, int k, const SubsetResult& r) override {
    results.emplace_back(std::vector<int>(traits, traits + k), r);
  }
  void SizeDone(int, const SizeBest&) override {}
  std::vector<std::pair<std::vector<int>, SubsetResult>> results;
};

struct NicheRun : AnalysisFixture {
  NicheRun() : AnalysisFixture("small") {
    ranking.optUnitTotalAdjust1 = true;
    ranking.rankingAlgorithm = 2;
    ranking.nMinCSTGroupsChRank = ranking.nMaxCSTGroupsChRank = 8;
    ranking.nMinTraitsChRank = 1;
    ranking.nMaxTraitsChRank = 4;
  }
  void Build(RankingInputs& in) {
    BuildRankingInputs(app.data, app.opts, ranking, RankingPrefs{}, kNicheConservationSearch, in);
  }
  void Cluster() {
    app.opts.clusMethPoolCSTs = 4;  // UPGMA
    ranking.nMinCSTGroupsChRank = 2;
    ranking.nMaxCSTGroupsChRank = 8;
  }
  NicheOutcome Search(int criterion, int threads, Recorder* rec = nullptr) {
    RankingInputs in;
    Build(in);
    Recorder local;
    NicheOutcome out;
    RunNicheSearch(in, criterion, 1, 4, threads, rec ? *rec : local, out);
    return out;
  }
  std::string RunFile(int criterion) {
    app.opts.opt_struct = criterion;
    RankingRunContext run{con, app.data, app.opts, ranking, RankingPrefs{}, "KALIOS test", "small", "smallFormda.txt",
                          dir.path() + "/niche.txt", structures, {}};
    run.prefs.threads = 1;
    ChRank_Phylogeny_x_Trait_Assembly(run);
    return ReadAll(dir.path() + "/niche.txt");
  }
  RankingOptions ranking;
  std::string structures;
};

void ExpectSameList(const std::vector<KeptEntry>& a, const std::vector<KeptEntry>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_CLOSE(a[i].value, b[i].value);
    EXPECT_EQ(a[i].g, b[i].g);
    EXPECT_EQ(a[i].traits, b[i].traits) << "slot " << i;
  }
}

TEST(NicheConservation, EveryPanelMatchesTheReference) {
  const auto ex = LoadJson("ranking/small/expected_ranking.json");
  for (int criterion : {14, 15}) {
    NicheRun f;
    Recorder rec;
    f.Search(criterion, 1, &rec);
    std::map<std::vector<int>, const SubsetResult*> byTraits;
    for (const auto& [traits, r] : rec.results) byTraits[traits] = &r;
    const auto& evals = ex["criteria"][std::to_string(criterion)]["all_evaluations"];
    ASSERT_EQ(evals.size(), 15u);
    for (const auto& e : evals) {
      const SubsetResult& r = *byTraits.at(e["traits"].get<std::vector<int>>());
      ASSERT_EQ(r.evaluations.size(), 1u);
      EXPECT_EQ(r.evaluations[0].first, e["g"].get<int>());
      EXPECT_CLOSE_TOL(r.evaluations[0].second, e["value"].get<double>(), 1e-6, 1e-9);
      for (int v = 0; v < kNichePanelSize; ++v)
        EXPECT_CLOSE_TOL(r.details[0][static_cast<std::size_t>(v)], e["panel"][kNichePanelLabels[v]].get<double>(),
                         1e-6, 1e-9)
            << kNichePanelLabels[v] << " of " << e["traits"].dump();
      // Every OTU its own type: eight groups of one.
      EXPECT_EQ(std::count(r.details[0].begin() + kNichePanelSize, r.details[0].end(), 1.0), 8);
    }
  }
}

TEST(NicheConservation, ListsUnderPoolingByClustering) {
  NicheRun f;
  f.Cluster();
  // Woody the same for every OTU: alone it leaves one monothetic group.
  for (int i = 0; i < 8; ++i) f.app.data.csm_Float[i][2] = 1;
  Recorder rec;
  const NicheOutcome out = f.Search(15, 1, &rec);
  const std::vector<int> woody{3};
  std::map<std::vector<int>, double> subsetBest;
  bool someSubsetSeveralTypes = false;
  for (const auto& [traits, r] : rec.results) {
    if (traits == woody) {
      EXPECT_TRUE(r.evaluations.empty());
    }
    std::set<int> gs;
    for (const auto& [g, value] : r.evaluations) gs.insert(g);
    if (gs.size() > 1) someSubsetSeveralTypes = true;
    if (r.g != 0) subsetBest[traits] = r.best;
  }
  EXPECT_TRUE(someSubsetSeveralTypes);

  std::set<std::vector<int>> seen;
  int repeated = 0;
  std::map<std::vector<int>, int> inEvaluations;
  for (const KeptEntry& e : out.evaluations)
    if (e.k != 0) {
      EXPECT_NE(e.traits, woody);
      ++inEvaluations[e.traits];
    }
  for (const auto& [traits, n] : inEvaluations) repeated += n > 1;
  EXPECT_GT(repeated, 0);
  for (const KeptEntry& e : out.search.kept) {
    if (e.k == 0) continue;
    EXPECT_TRUE(seen.insert(e.traits).second) << "a subset twice in the subset list";
    EXPECT_CLOSE(e.value, subsetBest.at(e.traits));
  }
  // Both lists ascend by absolute value, slot 0 the smallest.
  for (const auto* list : {&out.evaluations, &out.search.kept})
    for (std::size_t i = 1; i < list->size(); ++i)
      EXPECT_LE(std::abs((*list)[i - 1].value), std::abs((*list)[i].value));
}

TEST(NicheConservation, TwoThreadsGiveTheListsOfOne) {
  NicheRun f;
  f.Cluster();
  const NicheOutcome one = f.Search(15, 1);
  const NicheOutcome two = f.Search(15, 2);
  ExpectSameList(one.evaluations, two.evaluations);
  ExpectSameList(one.search.kept, two.search.kept);
  for (int k = 1; k <= 4; ++k) {
    EXPECT_CLOSE(one.search.bySize[k].value, two.search.bySize[k].value);
    EXPECT_EQ(one.search.bySize[k].g, two.search.bySize[k].g);
    EXPECT_EQ(one.search.bySize[k].traits, two.search.bySize[k].traits);
  }
}

TEST(NicheConservation, ResultsFileKeepsItsHeaderAndSaysWhatItComputed) {
  // The summary closes the file, after the elapsed time: the header stays whole.
  NicheRun mantel;
  const std::string ref = mantel.RunFile(15);
  EXPECT_EQ(ref.rfind("KALIOS test\n\n", 0), 0u);
  EXPECT_GT(ref.find("woody\t\nSLA\twoody\t\n"), ref.find("Elapsed time: "));

  // Procrustes chosen: the Mantel values, with a note.
  NicheRun procrustes;
  procrustes.app.opts.opt_ro = 2;
  const std::string p = procrustes.RunFile(15);
  EXPECT_NE(p.find("Mantel type matrix correlations were used instead."), std::string::npos);
  EXPECT_NE(p.find("with 1 traits: \t0.139542    \t8 groups\twoody\t\n"), std::string::npos);

  // Intermediate results: the panel of each evaluation with its types and group sizes.
  NicheRun shown;
  shown.ranking.printRankIntermedResults = 'y';
  const std::string i = shown.RunFile(15);
  EXPECT_NE(i.find("\nTRC         \tGroups\tTrait subset used:\nro(PT)=\t"), std::string::npos);
  EXPECT_NE(i.find("roAlphaBetaNiche=\t0.139542\troAlphaNiche=\t"), std::string::npos);
  EXPECT_NE(i.find("\t8 groups\tTraits:\twoody\tGroup sizes:\t1\t1\t1\t1\t1\t1\t1\t1\t\n"), std::string::npos);

  // A trait of weight 0 is named apart and never enters a subset.
  NicheRun weighted;
  weighted.app.data.weight[2] = 0;
  weighted.ranking.nMaxTraitsChRank = 3;
  const std::string w = weighted.RunFile(14);
  EXPECT_NE(w.find("Traits considered in the computation of Gower similarity index between populations:\t"
                   "SLAheightdispersal\n"),
            std::string::npos);
  EXPECT_EQ(w.find("woody\t"), std::string::npos);
}

TEST(NicheConservation, StructuresFileLeavesTheListsAlone) {
  NicheRun plain;
  plain.Cluster();
  const std::string without = plain.RunFile(15);
  NicheRun kept;
  kept.Cluster();
  kept.structures = kept.dir.path() + "/smallStr.txt";
  const std::string with = kept.RunFile(15);
  auto lists = [](const std::string& s) {
    const auto from = s.find("\n\nTrait subsets");
    return s.substr(from, s.find("Elapsed") - from);
  };
  EXPECT_EQ(lists(without), lists(with));
  const std::string str = ReadAll(kept.structures);
  EXPECT_NE(str.find("Resemblance matrix between 6 relev\xC3\xA9s based on 2 environmental variables:\n"),
            std::string::npos);
  EXPECT_NE(str.find("(residuals after removing the effect of DT):\n"), std::string::npos);
}

}  // namespace
}  // namespace kalios::testing
