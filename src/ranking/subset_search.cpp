#include "ranking/subset_search.h"

#include <omp.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <numeric>

#include "ranking/criteria.h"
#include "testing/random.h"

namespace kalios {
namespace {
std::size_t Z(int i) { return static_cast<std::size_t>(i); }
// Subsets per thread in one parallel block: enough to amortize the start of
// a parallel region, few enough to keep the progress line moving.
constexpr int kBlockPerThread = 16;
}  // namespace

std::int64_t TotalIterations(int n, int kMin, int kMax) {
  std::int64_t total = 0;
  for (int k = std::max(kMin, 1); k <= kMax; ++k) total += BinomialCount(n, k);
  return total;
}

void RankVectorAbs(int n, const double* values, int* rankOut) {
  std::iota(rankOut, rankOut + n, 1);
  std::stable_sort(rankOut, rankOut + n,
                   [values](int a, int b) { return std::abs(values[a - 1]) < std::abs(values[b - 1]); });
}

void KeepTrack(std::vector<KeptEntry>& kept, bool partial, double value, int g, const int* traits, int k) {
  if (kept.empty() || !RankingBetter(partial, value, kept[0].value)) return;
  kept[0].value = value;
  kept[0].g = g;
  kept[0].k = k;
  kept[0].traits.assign(traits, traits + k);
  const int slots = static_cast<int>(kept.size());
  std::vector<double> values(Z(slots));
  for (int i = 0; i < slots; ++i) values[Z(i)] = kept[Z(i)].value;
  std::vector<int> order(Z(slots));
  RankVectorAbs(slots, values.data(), order.data());
  std::vector<KeptEntry> sorted(Z(slots));
  for (int i = 0; i < slots; ++i) sorted[Z(i)] = std::move(kept[Z(order[Z(i)] - 1)]);
  kept = std::move(sorted);
}

void RunSubsetSearch(const RankingInputs& in, int kMin, int kMax, int threads, RankingObserver& observer,
                     RankingOutcome& out, const StructuresSink& structures, const EvaluatorFactory& make) {
  const int p = in.p;
  const bool partial = RankingMode(in.mode).partial;
  const double start = partial ? 0.0 : kLowestValue;
  out.bySize.assign(Z(p + 1), SizeBest{});
  out.kept.assign(Z(nKeepTrack + 1), KeptEntry{});
  kMax = std::min(kMax, p);
  const std::int64_t total = TotalIterations(p, kMin, kMax);
  if (threads <= 0) threads = omp_get_max_threads();
  threads = structures.os ? 1 : std::max(threads, 1);

  std::vector<std::unique_ptr<SubsetEvaluator>> evaluators;
  for (int t = 0; t < threads; ++t)
    evaluators.push_back(make ? make() : std::make_unique<SubsetEvaluator>(in));
  if (structures.os) evaluators[0]->SaveStructures(structures.os, structures.labels, structures.digits);
  const int block = threads * kBlockPerThread;
  std::vector<int> combos;
  std::vector<SubsetResult> results(Z(block));
  std::vector<int> order(Z(std::max(p, 1)));

  std::int64_t iteration = 0;
  for (int k = 1; k <= kMax; ++k) {
    if (k < kMin) continue;
    SizeBest& best = out.bySize[Z(k)];
    best.value = start;
    SubsetEnumerator state;
    std::int64_t delivered = PermuteArray(state, p, k, order.data(), true);
    while (delivered > 0) {
      combos.clear();
      int count = 0;
      while (delivered > 0 && count < block) {
        combos.insert(combos.end(), order.begin(), order.begin() + k);
        ++count;
        delivered = state.active() ? PermuteArray(state, p, k, order.data(), false) : 0;
      }
      std::exception_ptr failure;
#pragma omp parallel num_threads(threads)
      {
        // The subsets are the parallel work: the loops of the measures each
        // evaluation calls run on the thread that called them.
        omp_set_num_threads(1);
#pragma omp for schedule(dynamic, 1)
        for (int c = 0; c < count; ++c) {
          try {
            evaluators[Z(omp_get_thread_num())]->Evaluate(combos.data() + Z(c) * Z(k), k, results[Z(c)]);
          } catch (...) {
#pragma omp critical(ranking_failure)
            if (!failure) failure = std::current_exception();
          }
        }
      }
      if (failure) std::rethrow_exception(failure);
      for (int c = 0; c < count; ++c) {
        const int* traits = combos.data() + Z(c) * Z(k);
        const SubsetResult& r = results[Z(c)];
        observer.Iteration(++iteration, total, k);
        observer.Evaluated(traits, k, r);
        if (r.g == 0) continue;
        if (RankingBetter(partial, r.best, best.value)) {
          best.value = r.best;
          best.g = r.g;
          best.traits.assign(traits, traits + k);
        }
        KeepTrack(out.kept, partial, r.best, r.g, traits, k);
      }
    }
    observer.SizeDone(k, best);
  }
}

}  // namespace kalios
