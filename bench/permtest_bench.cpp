// The whole permutation test of the functional analysis on the benchmark data
// sets M (100 communities x 150 OTUs), L (400 x 600) and XL (2000 x 2000, made
// by bench/make_data.py into $KALIOS_BENCH_XL, default /tmp/kalios-xl): mode 1
// (Mantel), taxa shuffle, fuzzy belonging with every OTU its own type,
// Euclidean resemblances. Arguments: size (0 = M, 1 = L, 2 = XL), threads,
// iterations. Seconds per 999 permutations = the reported time x 999 /
// (iterations - 1); at XL the fixed part (observed statistics, set-up) is
// large, so BM_NullBatch times the permutations alone.
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
#include "testing/permtest_fastmantel.h"
#include "testing/random.h"
#include <cstdlib>
#include <numeric>

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
    const char* xl = std::getenv("KALIOS_BENCH_XL");
    if (size == 2)
      c = std::make_unique<Case>(xl ? xl : "/tmp/kalios-xl", 2000, 2000, 12, 6);
    else
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
// One fast-route worker evaluating batches of permutations (one thread): the
// seconds per permutation, without the set-up and the observed statistics.
void BM_NullBatch(benchmark::State& state) {
  Case& c = GetCase(static_cast<int>(state.range(0)));
  kalios::FunctionalPhyl_Stats_Lib_Input obs;
  kalios::PermTest_FunctionalPhyl_Correl_Input rec = c.rec;
  kalios::FunctionalPhyl_Stats_Lib(&rec, &obs);
  kalios::FastMantelShared shared(rec, obs, false);
  std::unique_ptr<kalios::NullWorker> worker = kalios::MakeFastMantelWorker(shared);
  const int count = worker->BatchSize();
  kalios::RandomGenerator g(5);
  kalios::Matrix<int> perms(count, c.s);
  std::vector<kalios::IterationDraw> draws(static_cast<std::size_t>(count));
  const int width = kalios::kNumObsStats + kalios::kNumFunctionalStats;
  kalios::Matrix<double> values(count, width);
  std::vector<double*> rows(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    std::iota(perms[k], perms[k] + c.s, 1);
    kalios::RndListSpecified(g, c.s, perms[k]);
    draws[static_cast<std::size_t>(k)].perm = perms[k];
    draws[static_cast<std::size_t>(k)].permLength = c.s;
    rows[static_cast<std::size_t>(k)] = values[k];
  }
  for (auto _ : state) worker->EvaluateBatch(count, draws.data(), rows.data(), nullptr, nullptr);
  state.counters["s_per_perm"] =
      benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_NullBatch)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->MinTime(10.0);

BENCHMARK(BM_PermTest)
    ->Args({0, 1, 1000})
    ->Args({0, 2, 1000})
    ->Args({1, 1, 2})
    ->Args({1, 1, 101})
    ->Args({1, 2, 101})
    ->Args({1, 1, 1000})
    ->Args({1, 2, 1000})
    ->Args({2, 2, 2})
    ->Args({2, 2, 100})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
