// One run of the metacommunity dynamics at the size of a typical simulation
// study: 50 sites, 100 OTUs, 4 traits, 2 factors with their interaction, at
// most 100 individuals per site on average, 1,000 iterations (100 years of 10),
// community effects on the ecosystem switched on so that the filtering runs
// at every iteration. Argument: 1 to write the step files (into a scratch
// directory emptied after each run), 0 without. The record is reused from run
// to run, as the study driver does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "simulation/logistic.h"
#include "simulation/metacommunity.h"

namespace {

using kalios::MetacommunitySimulation_Input;
using kalios::RandomGenerator;

constexpr int kSites = 50, kOtus = 100, kTraits = 4, kFactors = 2;
constexpr int kPerSite = 100, kYears = 100, kStepsPerYear = 10;

void Curve(RandomGenerator& g, double* param, double lo, double hi) {
  param[0] = kalios::RndLogisticCentre(g, lo, hi);
  param[1] = kalios::RndLogisticSlopeAdjusted(g, -3.0, -0.5, param[0]);
}

// The random parts a study generates for one data set.
void Fill(MetacommunitySimulation_Input& in) {
  kalios::SizeMetacommunitySimulation_Input(&in, kSites, kOtus, kTraits, kFactors, true);
  RandomGenerator g(2024);
  in.maxIndividuals = kPerSite * kSites;
  in.nSteps = kYears * kStepsPerYear;
  in.stepsPerYear = kStepsPerYear;
  in.recordThreshold = 0.5;
  in.weightByAge = true;
  for (int j = 0; j < kOtus; ++j) {
    for (int k = 0; k < kTraits; ++k) in.traits[j][k] = g.Uniform() * 3.4 - 1.7;
    for (int k = 0; k < kTraits; ++k) Curve(g, in.survivalParam[k][j], 0.5, 0.9);
    Curve(g, in.dispersalParam[j], 0.1, 0.6);
    Curve(g, in.densityParam[j], 0.2, 0.8);
    Curve(g, in.ageParam[j], 0.5, 0.9);
    in.maxLifespan[static_cast<std::size_t>(j)] = 5 + static_cast<int>(g.UniformInt(16));
  }
  for (int k = 0; k < kTraits; ++k)
    for (int p = 0; p < in.nPredictors; ++p) in.responseParam[k][p] = g.Uniform() - 0.5;
  for (int f = 0; f < kFactors; ++f)
    for (int k = 0; k < kTraits; ++k) in.effectParam[f][k] = g.Uniform() - 0.5;
  double x[kSites], y[kSites], largest = 0;
  for (int i = 0; i < kSites; ++i) x[i] = g.Uniform() * 100, y[i] = g.Uniform() * 100;
  for (int i = 0; i < kSites; ++i)
    for (int k = 0; k < kSites; ++k) largest = std::fmax(largest, in.siteDist[i][k] = std::hypot(x[i] - x[k], y[i] - y[k]));
  for (int i = 0; i < kSites; ++i) {
    for (int k = 0; k < kSites; ++k) in.siteDist[i][k] /= largest;
    for (int f = 0; f < kFactors; ++f) in.ecosystem[f][i] = g.Uniform() * 3.4 - 1.7;
    in.ecosystem[2][i] = in.ecosystem[0][i] * in.ecosystem[1][i];
    Curve(g, in.inertiaParam[i], 0.2, 0.8);
  }
}

void BM_MetacommunityRun(benchmark::State& state) {
  const bool steps = state.range(0) != 0;
  MetacommunitySimulation_Input in;
  Fill(in);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kalios-bench-" + std::to_string(getpid()));
  if (steps) {
    std::filesystem::create_directories(dir);
    in.saveSteps = true;
    in.stepDirectory = dir.string();
  }
  const std::size_t ecosystemSize = static_cast<std::size_t>(in.nPredictors) * kSites;
  std::vector<double> start(ecosystemSize);
  for (int p = 0; p < in.nPredictors; ++p)
    for (int i = 0; i < kSites; ++i) start[static_cast<std::size_t>(p) * kSites + static_cast<std::size_t>(i)] = in.ecosystem[p][i];
  RandomGenerator rng(1);
  double individuals = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (int p = 0; p < in.nPredictors; ++p)
      for (int i = 0; i < kSites; ++i) in.ecosystem[p][i] = start[static_cast<std::size_t>(p) * kSites + static_cast<std::size_t>(i)];
    if (steps) {
      std::filesystem::remove_all(dir);
      std::filesystem::create_directories(dir);
    }
    state.ResumeTiming();
    kalios::MetacommunitySimulation(&in, rng);
    individuals += in.totalAbundance;
  }
  state.counters["individuals"] = individuals / static_cast<double>(state.iterations());
  if (steps) {
    std::uintmax_t bytes = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) bytes += e.file_size();
    state.counters["stepMB"] = static_cast<double>(bytes) / 1e6;
    std::filesystem::remove_all(dir);
  }
}
BENCHMARK(BM_MetacommunityRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
