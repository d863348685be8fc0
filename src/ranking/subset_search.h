#pragma once
// The exhaustive search over trait subsets: every k-subset of the traits for
// k in the size bounds, in lexicographic order, evaluated in parallel in
// blocks and folded in that order, so the bests and the kept list are those
// of a one-thread search whatever the number of threads.
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ranking/ranking_inputs.h"
#include "ranking/subset_evaluator.h"

namespace kalios {

inline constexpr int nKeepTrack = 100;

struct KeptEntry {
  double value = 0;
  int g = 0;
  int k = 0;  // 0: an empty slot
  std::vector<int> traits;
};

struct SizeBest {
  double value = 0;
  int g = 0;
  std::vector<int> traits;  // empty when no subset of the size won
};

struct RankingOutcome {
  std::vector<SizeBest> bySize;  // index k, 0..p
  std::vector<KeptEntry> kept;   // nKeepTrack + 1 slots, ascending by |value|
};

// What the search tells the program as it goes, in the sequential order.
class RankingObserver {
 public:
  virtual ~RankingObserver() = default;
  virtual void Iteration(std::int64_t iteration, std::int64_t total, int k) = 0;
  virtual void Evaluated(const int* traits, int k, const SubsetResult& result) = 0;
  virtual void SizeDone(int k, const SizeBest& best) = 0;
};

// The number of subsets of sizes kMin..kMax of n traits, exactly.
std::int64_t TotalIterations(int n, int kMin, int kMax);

// rankOut[i] = the 1-based position of the i-th smallest |value| (ties in
// their order of position).
void RankVectorAbs(int n, const double* values, int* rankOut);

// Enters a subset's best into the kept list when it beats slot 0, then sorts
// the slots ascending by absolute value.
void KeepTrack(std::vector<KeptEntry>& kept, bool partial, double value, int g, const int* traits, int k);

// Where the matrices of every evaluation go when they are saved (the search
// then runs on one thread, so they come in the order of the search).
struct StructuresSink {
  std::ostream* os = nullptr;
  const std::vector<std::string>* labels = nullptr;
  int digits = 6;
};

// One evaluator per thread; `make` builds them (null: the evaluator of the mode).
using EvaluatorFactory = std::function<std::unique_ptr<SubsetEvaluator>()>;

void RunSubsetSearch(const RankingInputs& in, int kMin, int kMax, int threads, RankingObserver& observer,
                     RankingOutcome& out, const StructuresSink& structures = {},
                     const EvaluatorFactory& make = nullptr);

}  // namespace kalios
