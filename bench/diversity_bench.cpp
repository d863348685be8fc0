// The per-permutation kernels of the functional tests at a realistic large
// size: 400 communities x 600 OTUs, 12 traits.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <random>
#include <vector>

#include "measures/diversity.h"
#include "numlib/matrix.h"

namespace {

constexpr int kCommunities = 400;
constexpr int kOtus = 600;
constexpr int kTraits = 12;

struct Data {
  kalios::Matrix<double> W{kCommunities, kOtus};  // relative abundances, about 30% non-zero
  kalios::Matrix<double> B{kOtus, kTraits};       // traits, 2% missing
  kalios::Matrix<double> S{kOtus, kOtus};         // similarities in [0, 1]
  std::vector<int> weights = std::vector<int>(kOtus, 1);

  Data() {
    std::mt19937 gen(2024);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int i = 0; i < kCommunities; ++i) {
      double sum = 0.0;
      for (int k = 0; k < kOtus; ++k) {
        W[i][k] = u(gen) < 0.3 ? u(gen) : 0.0;
        sum += W[i][k];
      }
      for (int k = 0; k < kOtus; ++k) W[i][k] /= sum;
    }
    for (int k = 0; k < kOtus; ++k)
      for (int j = 0; j < kTraits; ++j) B[k][j] = u(gen) < 0.02 ? -999.0 : u(gen) * 50.0;
    for (int a = 0; a < kOtus; ++a) {
      S[a][a] = 1.0;
      for (int b = a + 1; b < kOtus; ++b) S[a][b] = S[b][a] = u(gen);
    }
  }
};

const Data& Shared() {
  static const Data d;
  return d;
}

// Weighted product T = W x B with missing-value rescaling; the argument is
// the number of threads.
void BM_WeightedProduct(benchmark::State& state) {
  const Data& d = Shared();
  kalios::Matrix<double> T(kCommunities, kTraits);
  const int saved = omp_get_max_threads();
  omp_set_num_threads(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    kalios::MatrixProdSelectMV_Adjust_Weight(kCommunities, kOtus, kOtus, kTraits, d.W, d.B, T, nullptr,
                                             d.weights.data());
    benchmark::DoNotOptimize(T[0][0]);
  }
  omp_set_num_threads(saved);
}
BENCHMARK(BM_WeightedProduct)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// X = W x U with a square belonging matrix (every OTU its own type), the
// restricted form with OTU flags.
void BM_WeightedProductSquare(benchmark::State& state) {
  const Data& d = Shared();
  kalios::Matrix<double> X(kCommunities, kOtus);
  const int saved = omp_get_max_threads();
  omp_set_num_threads(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    kalios::MatrixProdSelectMV_Adjust_Weight(kCommunities, kOtus, kOtus, kOtus, d.W, d.S, X, nullptr,
                                             d.weights.data(), true);
    benchmark::DoNotOptimize(X[0][0]);
  }
  omp_set_num_threads(saved);
}
BENCHMARK(BM_WeightedProductSquare)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Rao entropy of every community with square-root trait dissimilarities.
void BM_RaoIndexWeightMatrix(benchmark::State& state) {
  const Data& d = Shared();
  std::vector<double> Q(kCommunities);
  for (auto _ : state) {
    kalios::RaoIndex_Weight_Matrix(kCommunities, kOtus, d.W, d.S, Q.data(), false, true, d.weights.data(), false,
                                   false);
    benchmark::DoNotOptimize(Q[0]);
  }
}
BENCHMARK(BM_RaoIndexWeightMatrix)->Unit(benchmark::kMillisecond);

}  // namespace
