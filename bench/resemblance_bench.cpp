// Resemblance matrices of the size of a large trait table, by thread count.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <random>

#include "measures/resemblance.h"
#include "numlib/matrix.h"

namespace {

using kalios::Matrix;

constexpr int kObjects = 2000;
constexpr int kTraits = 12;
// Three traits of each type: binary, nominal, quantitative, ordinal.
constexpr int kTypes[kTraits] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};

Matrix<double> MixedTraits() {
  std::mt19937 gen(2024);
  std::uniform_real_distribution<double> u(0, 10);
  Matrix<double> b(kObjects, kTraits);
  for (int i = 0; i < kObjects; ++i)
    for (int k = 0; k < kTraits; ++k) {
      switch (kTypes[k]) {
        case 1: b[i][k] = static_cast<double>(gen() % 2); break;
        case 2: b[i][k] = static_cast<double>(gen() % 5 + 1); break;
        case 3: b[i][k] = u(gen); break;
        default: b[i][k] = static_cast<double>(gen() % 7 + 1); break;
      }
      if (gen() % 50 == 0) b[i][k] = -999.0;
    }
  return b;
}

void BM_EucliDistMV(benchmark::State& state) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(static_cast<int>(state.range(0)));
  Matrix<double> x = MixedTraits();
  Matrix<double> d(kObjects, kObjects);
  for (auto _ : state) {
    kalios::EucliDistMV(kObjects, kTraits, x, d);
    benchmark::DoNotOptimize(d[1][0]);
  }
  omp_set_num_threads(saved);
}
BENCHMARK(BM_EucliDistMV)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GowerMVOpt(benchmark::State& state) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(static_cast<int>(state.range(0)));
  Matrix<double> x = MixedTraits();
  Matrix<double> s(kObjects, kObjects);
  for (auto _ : state) {
    kalios::GowerMVOpt(kObjects, kTraits, kTypes, x, s, nullptr, nullptr, 1);
    benchmark::DoNotOptimize(s[1][0]);
  }
  omp_set_num_threads(saved);
}
BENCHMARK(BM_GowerMVOpt)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
