// The niche conservation search (criterion 15, ro(PX) * ro(XE)) on the
// benchmark data set M (100 communities x 150 OTUs, 8 traits, 255 subsets),
// every OTU its own type, fuzzy belonging, Gower similarity between OTUs,
// Mantel correlations on Euclidean distances. M has no phylogeny: one is made
// from a random tree (fixed seed), as cophenetic similarities in 0..1.
// Argument: threads.
#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ranking/criteria.h"
#include "ranking/niche_conservation.h"
#include "session/dataset.h"
#include "session/options.h"

#ifndef KALIOS_BENCH_DATA
#define KALIOS_BENCH_DATA "/work/shared/bench"
#endif

namespace {

using kalios::Matrix;

Matrix<double> ReadNumbers(const std::string& path, int cols) {
  std::ifstream f(path);
  std::vector<std::vector<double>> rows;
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream is(line);
    std::vector<double> r;
    double v;
    while (static_cast<int>(r.size()) < cols && is >> v) r.push_back(v);
    if (static_cast<int>(r.size()) == cols) rows.push_back(r);
  }
  Matrix<double> m(static_cast<int>(rows.size()), cols);
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (int j = 0; j < cols; ++j) m[static_cast<int>(i)][j] = rows[i][static_cast<std::size_t>(j)];
  return m;
}

// Random coalescent tree: clusters merge two at a time at rising heights; the
// similarity of two OTUs is 1 - (height of their merge) / (height of the root).
Matrix<double> RandomTreeSimilarity(int s, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<int>> clusters;
  for (int i = 0; i < s; ++i) clusters.push_back({i});
  Matrix<double> height(s, s);
  double h = 0;
  while (clusters.size() > 1) {
    h += std::exponential_distribution<double>(static_cast<double>(clusters.size()))(rng);
    std::uniform_int_distribution<std::size_t> pick(0, clusters.size() - 1);
    std::size_t a = pick(rng), b = pick(rng);
    while (b == a) b = pick(rng);
    for (int i : clusters[a])
      for (int j : clusters[b]) height[i][j] = height[j][i] = h;
    clusters[a].insert(clusters[a].end(), clusters[b].begin(), clusters[b].end());
    clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(b));
  }
  Matrix<double> sim(s, s);
  for (int i = 0; i < s; ++i)
    for (int j = 0; j < s; ++j) sim[i][j] = i == j ? 1.0 : 1.0 - height[i][j] / h;
  return sim;
}

struct NullObserver : kalios::RankingObserver {
  void Iteration(std::int64_t, std::int64_t, int) override {}
  void Evaluated(const int*, int, const kalios::SubsetResult&) override {}
  void SizeDone(int, const kalios::SizeBest&) override {}
};

void BM_NicheConservationM(benchmark::State& state) {
  const int n = 100, s = 150, p = 8, e = 4;
  const std::string dir = std::string(KALIOS_BENCH_DATA) + "/M";
  kalios::DataSet d;
  d.tcst = s;
  d.nch = p;
  d.ncsm = n;
  d.nenv = e;
  d.AllocateWorkingArrays();
  d.csm_Float = ReadNumbers(dir + "/B.txt", p);
  const Matrix<double> W = ReadNumbers(dir + "/W.txt", s);
  d.cadat.Resize(s, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < s; ++j) d.cadat[j][i] = W[i][j];
  d.env = ReadNumbers(dir + "/E.txt", e);
  d.chtype.assign(p, 3);
  d.onsta.assign(p, 2);
  d.envVarType.assign(e, 3);
  d.optEnvVarType = 2;
  for (int j = 0; j < s; ++j) {
    d.weight_OTUs[static_cast<std::size_t>(j)] = 1;
    d.partition_OTUs[static_cast<std::size_t>(j)] = j + 1;
  }
  for (int k = 0; k < p; ++k) d.weight[static_cast<std::size_t>(k)] = 1.0;
  for (int v = 0; v < e; ++v) d.eVarSelect[static_cast<std::size_t>(v)] = 1;
  d.hasPhylogeny = d.includePhylogeny = true;
  d.phylogenyMatrixType = 1;
  d.phylogenyRese = RandomTreeSimilarity(s, 20261206u);
  d.partition_OTUs_Phyl = d.partition_OTUs;

  kalios::AnalysisOptions o;
  o.poolCSTopt = 2;
  o.reseCSTopt = 1;
  o.fuzzy = 3;
  o.fuzzyPhyl = true;
  o.opt_ro = 1;
  o.rese_opt = 6;
  o.opt_MatrixCorr = 'm';
  o.optUnitTotalAdjust2 = true;
  kalios::RankingOptions r;
  r.optUnitTotalAdjust1 = true;
  r.nMinCSTGroupsChRank = r.nMaxCSTGroupsChRank = s;

  kalios::RankingInputs in;
  kalios::BuildRankingInputs(d, o, r, kalios::RankingPrefs{}, kalios::kNicheConservationSearch, in);
  NullObserver observer;
  for (auto _ : state) {
    kalios::NicheOutcome out;
    kalios::RunNicheSearch(in, 15, 1, p, static_cast<int>(state.range(0)), observer, out);
    benchmark::DoNotOptimize(out.evaluations.data());
  }
}
BENCHMARK(BM_NicheConservationM)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
