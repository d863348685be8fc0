#pragma once
// The table of every evaluated trait subset of a ranking, beside its results
// file ("<session>ChRank_*.tsv"), and the best value by subset size for its
// figure.
#include <string>
#include <utility>
#include <vector>

#include "ranking/subset_search.h"

namespace kalios {

// Passes every event on to the observer that writes the results file, and
// keeps one row per evaluation: subset size, traits, number of types, value.
class SubsetTableObserver : public RankingObserver {
 public:
  SubsetTableObserver(RankingObserver& inner, const std::vector<std::string>& traitLabels)
      : inner_(inner), labels_(traitLabels) {}
  void Iteration(std::int64_t iteration, std::int64_t total, int k) override { inner_.Iteration(iteration, total, k); }
  void Evaluated(const int* traits, int k, const SubsetResult& result) override;
  void SizeDone(int k, const SizeBest& best) override;

  static std::string Header();  // without its newline
  const std::string& rows() const { return rows_; }
  // (subset size, best value) in the order of the sizes.
  const std::vector<std::pair<int, double>>& bestBySize() const { return best_; }

 private:
  RankingObserver& inner_;
  const std::vector<std::string>& labels_;
  std::string rows_;
  std::vector<std::pair<int, double>> best_;
};

// The table file of a results file: its ".txt" replaced by ".tsv".
std::string SubsetTablePath(const std::string& resultsPath);

}  // namespace kalios
