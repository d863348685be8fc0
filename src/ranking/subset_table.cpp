#include "ranking/subset_table.h"

#include "session/tsv_table.h"

namespace kalios {

void SubsetTableObserver::Evaluated(const int* traits, int k, const SubsetResult& result) {
  std::string names;
  for (int i = 0; i < k; ++i) {
    const int t = traits[i];
    if (i > 0) names += '+';
    names += t >= 1 && static_cast<std::size_t>(t) <= labels_.size() ? labels_[static_cast<std::size_t>(t - 1)]
                                                                       : std::to_string(t);
  }
  for (const auto& [types, value] : result.evaluations)
    rows_ += TsvLine({std::to_string(k), TsvText(names), std::to_string(types), TsvNumber(value)});
  inner_.Evaluated(traits, k, result);
}

void SubsetTableObserver::SizeDone(int k, const SizeBest& best) {
  best_.emplace_back(k, best.value);
  inner_.SizeDone(k, best);
}

std::string SubsetTableObserver::Header() { return "size\ttraits\ttypes\tvalue"; }

std::string SubsetTablePath(const std::string& resultsPath) {
  const std::string ext = ".txt";
  if (resultsPath.size() >= ext.size() && resultsPath.compare(resultsPath.size() - ext.size(), ext.size(), ext) == 0)
    return resultsPath.substr(0, resultsPath.size() - ext.size()) + ".tsv";
  return resultsPath + ".tsv";
}

}  // namespace kalios
