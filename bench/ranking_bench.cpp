// The trait subset search of criterion 1, r(XE), on the benchmark data sets M
// (100 communities x 150 OTUs, 8 traits: 255 subsets) and L (400 x 600, 12
// traits: 4,095 subsets), every OTU its own type, fuzzy belonging, Gower
// similarities, Mantel correlations on Euclidean distances, W to unit totals.
// Arguments: size (0 = M, 1 = L), threads, largest subset size (0: every
// size; a smaller one gives a quick estimate).
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "numlib/matrix.h"
#include "ranking/ranking_inputs.h"
#include "ranking/subset_search.h"

#ifndef KALIOS_BENCH_DATA
#define KALIOS_BENCH_DATA "/work/shared/bench"
#endif

namespace {

using kalios::Matrix;

// A raw matrix file: the numbers of each line, the label after them ignored.
Matrix<double> ReadRawMatrix(const std::string& path, int cols) {
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

struct RankCase {
  kalios::DataSet d;
  kalios::AnalysisOptions o;
  kalios::RankingOptions r;

  RankCase(const std::string& dir, int n, int s, int p, int e) {
    const auto z = [](int v) { return static_cast<std::size_t>(v); };
    d.ncsm = n;
    d.tcst = s;
    d.nch = p;
    d.nenv = e;
    d.csm_Float = ReadRawMatrix(dir + "/B.txt", p);
    const Matrix<double> W = ReadRawMatrix(dir + "/W.txt", s);
    d.cadat.Resize(s, n);
    for (int c = 0; c < n; ++c)
      for (int i = 0; i < s; ++i) d.cadat[i][c] = W[c][i];
    d.env = ReadRawMatrix(dir + "/E.txt", e);
    d.chtype.assign(z(p), 3);
    d.onsta.assign(z(p), s);
    d.weight.assign(z(p), 1.0);
    d.envVarType.assign(z(e), 3);
    d.eVarSelect.assign(z(e), 1);
    d.optEnvVarType = 2;
    d.weight_OTUs.assign(z(s), 1);
    d.partition_OTUs.resize(z(s));
    for (int i = 0; i < s; ++i) d.partition_OTUs[z(i)] = i + 1;
    o.opt_ro = 1;
    o.opt_MatrixCorr = 'm';
    o.rese_opt = 6;
    o.reseCSTopt = 1;
    o.fuzzy = 3;
    o.optUnitTotalAdjust2 = true;
    o.opt_struct = 1;
    r.rankingAlgorithm = 2;
    r.nMinCSTGroupsChRank = r.nMaxCSTGroupsChRank = s;
    r.nMinTraitsChRank = 1;
    r.nMaxTraitsChRank = p;
    r.optUnitTotalAdjust1 = true;
  }
};

class Quiet : public kalios::RankingObserver {
 public:
  void Iteration(std::int64_t, std::int64_t, int) override {}
  void Evaluated(const int*, int, const kalios::SubsetResult&) override {}
  void SizeDone(int, const kalios::SizeBest&) override {}
};

RankCase& GetRankCase(int size) {
  static std::map<int, std::unique_ptr<RankCase>> cases;
  auto& c = cases[size];
  if (!c) {
    const std::string dir = std::string(KALIOS_BENCH_DATA) + (size == 0 ? "/M" : "/L");
    c = size == 0 ? std::make_unique<RankCase>(dir, 100, 150, 8, 4) : std::make_unique<RankCase>(dir, 400, 600, 12, 4);
  }
  return *c;
}

void BM_TraitRanking(benchmark::State& state) {
  RankCase& c = GetRankCase(static_cast<int>(state.range(0)));
  const int threads = static_cast<int>(state.range(1));
  const int kMax = state.range(2) > 0 ? static_cast<int>(state.range(2)) : c.d.nch;
  kalios::RankingPrefs prefs;
  prefs.threads = threads;
  for (auto _ : state) {
    kalios::RankingInputs in;
    kalios::BuildRankingInputs(c.d, c.o, c.r, prefs, 10, in);
    kalios::RankingOutcome out;
    Quiet quiet;
    kalios::RunSubsetSearch(in, 1, kMax, threads, quiet, out);
    state.counters["best_rXE"] = out.kept[kalios::nKeepTrack].value;
  }
}
BENCHMARK(BM_TraitRanking)
    ->Args({0, 1, 0})
    ->Args({0, 2, 0})
    ->Args({1, 1, 2})
    ->Args({1, 1, 0})
    ->Args({1, 2, 0})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
