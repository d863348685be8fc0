#pragma once
// Settings of the trait ranking that its dialogue fills and the search reads.
// They live with the session's other options and keep their values until the
// next ranking sets them again.

namespace kalios {

struct RankingOptions {
  int rankingAlgorithm = 0;         // 2: every trait combination (the only search there is)
  int nMinCSTGroupsChRank = 0;      // numbers of types (PFTs) examined
  int nMaxCSTGroupsChRank = 0;
  int nMinTraitsChRank = 0;         // trait subset sizes examined
  int nMaxTraitsChRank = 0;
  char printRankIntermedResults = 'n';  // 'y': one line per evaluated subset
  bool optUnitTotalAdjust1 = false;     // W to unit totals before the community weighted means
};

}  // namespace kalios
