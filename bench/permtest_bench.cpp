// The whole permutation test of the functional analysis on the benchmark data
// sets M (100 communities x 150 OTUs) and L (400 x 600): mode 1 (Mantel),
// taxa shuffle, fuzzy belonging with every OTU its own type, Euclidean
// resemblances. Arguments: size (0 = M, 1 = L), threads, iterations.
// Seconds per 999 permutations = the reported time x 999 / (iterations - 1).
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "measures/types.h"
#include "numlib/matrix.h"
#include "testing/permtest.h"

#ifndef KALIOS_BENCH_DATA
#define KALIOS_BENCH_DATA "/work/shared/bench"
#endif

namespace {

using kalios::Matrix;

// A raw matrix file: the numbers of each line, the label after them ignored.
Matrix<double> ReadRaw(const std::string& path, int cols) {
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

struct Case {
  int n = 0, s = 0, p = 0, e = 0;
  Matrix<double> B, W, Wadj, E, Estd, DE, Y, DY, Sb, U, Tout, Xout, V;
  std::vector<double> R;
  std::vector<int> chSelect, eSelect, rel, richness, weights;
  kalios::PermTest_FunctionalPhyl_Correl_Input rec;

  Case(const std::string& dir, int nIn, int sIn, int pIn, int eIn) : n(nIn), s(sIn), p(pIn), e(eIn) {
    B = ReadRaw(dir + "/B.txt", p);
    W = ReadRaw(dir + "/W.txt", s);
    E = ReadRaw(dir + "/E.txt", e);
    Wadj.Resize(n, s);
    kalios::UnitSumRowsAdjMV(n, s, Wadj, W);
    // Variables in different units: standardized, then Euclidean distances.
    Estd.Resize(n, e);
    kalios::CorrAdj(n, e, Estd, E);
    DE.Resize(n, n);
    kalios::EucliDistMV(n, e, Estd, DE);
    Y.Resize(n, s);
    kalios::BealsSmoothing(n, s, W, W, Y, true, 0, false);
    DY.Resize(n, n);
    kalios::EucliDistMV(n, s, Y, DY);
    Sb.Resize(s, s);
    std::vector<int> types(static_cast<std::size_t>(p), 3);
    kalios::GowerMV(s, p, types.data(), B, Sb, nullptr, nullptr);
    U.Resize(s, s);
    std::vector<int> part(static_cast<std::size_t>(s));
    for (int i = 0; i < s; ++i) part[static_cast<std::size_t>(i)] = i + 1;
    kalios::FuzzyBelonging(s, s, Sb, part.data(), U, false);
    Tout.Resize(n, p + 2);
    Xout.Resize(n, s);
    V.Resize(2, n);
    R.assign(static_cast<std::size_t>(n), 0.0);
    chSelect.assign(static_cast<std::size_t>(p), 1);
    eSelect.assign(static_cast<std::size_t>(e), 1);
    rel.assign(static_cast<std::size_t>(n), 1);
    weights.assign(static_cast<std::size_t>(s), 1);
    richness.assign(static_cast<std::size_t>(n), 0);
    for (int c = 0; c < n; ++c)
      for (int i = 0; i < s; ++i) richness[static_cast<std::size_t>(c)] += W[c][i] > 0;

    rec.nch = p;
    rec.chSelect = chSelect.data();
    rec.nOTUs = s;
    rec.nTypes = s;
    rec.nEnv = e;
    rec.eVarSelect = eSelect.data();
    rec.ncsm = n;
    rec.relSelect = rel.data();
    rec.B = B;
    rec.Sb = Sb;
    rec.E = Estd;
    rec.U = U;
    rec.DE = DE;
    rec.DY = DY;
    rec.W = Wadj;
    rec.Wadj = Wadj;
    rec.Y = Y;
    rec.rese_opt = 6;
    rec.opt_ro = kalios::kModeMantel;
    rec.opt_MatrixCorr = 'm';
    rec.optTaxaSiteShuffle = 't';
    rec.Tout = Tout;
    rec.Xout = Xout;
    rec.Rout = R.data();
    rec.V = V;
    rec.richness = richness.data();
    rec.weight_OTUs = weights.data();
  }
};

Case& GetCase(int size) {
  static std::map<int, std::unique_ptr<Case>> cases;
  auto& c = cases[size];
  if (!c) {
    const std::string dir = std::string(KALIOS_BENCH_DATA) + (size == 0 ? "/M" : "/L");
    c = size == 0 ? std::make_unique<Case>(dir, 100, 150, 8, 4) : std::make_unique<Case>(dir, 400, 600, 12, 4);
  }
  return *c;
}

void BM_PermTest(benchmark::State& state) {
  Case& c = GetCase(static_cast<int>(state.range(0)));
  kalios::PermTestOptions opt;
  opt.threads = static_cast<int>(state.range(1));
  const int niter = static_cast<int>(state.range(2));
  double wall = 0.0, cpu = 0.0;
  for (auto _ : state) {
    kalios::PermTest_FunctionalPhyl_Correl_Input rec = c.rec;
    rec.niter = niter;
    kalios::RandomGenerator rng(12345);
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    kalios::PermTest_FunctionalPhyl_Correl(&rec, rng, opt);
    cpu += static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    benchmark::DoNotOptimize(rec.probStat);
    state.counters["rTE"] = rec.obsStat[kalios::kA_TE];
    state.counters["rXE"] = rec.obsStat[kalios::kA_XE];
    state.counters["rXE.T"] = rec.obsStat[kalios::kA_XE_T];
    state.counters["rRE"] = rec.obsStat[kalios::kA_RE];
  }
  // Per 999 permutations; the processor time adds up every thread (on a busy
  // machine it shows what the run needs where the wall clock shows what it got).
  const double scale = 999.0 / (niter - 1) / static_cast<double>(state.iterations());
  state.counters["wall_s_per_999"] = wall * scale;
  state.counters["cpu_s_per_999"] = cpu * scale;
}
BENCHMARK(BM_PermTest)
    ->Args({0, 1, 1000})
    ->Args({0, 2, 1000})
    ->Args({1, 1, 2})
    ->Args({1, 1, 101})
    ->Args({1, 2, 101})
    ->Args({1, 1, 1000})
    ->Args({1, 2, 1000})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
