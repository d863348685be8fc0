#pragma once
// The table of trait ranking criteria: the code the user picks, the search
// mode it runs, the suffix of its results file and its printed name.
#include <array>

namespace kalios {

inline constexpr int kNicheConservationSearch = 0;  // mode of criteria 14 and 15

struct RankingCriterion {
  int code;
  int mode;             // ChRankLib mode 1..12, or kNicheConservationSearch
  const char* suffix;   // appended to the session name
};

// The criterion of an accepted code, or null.
const RankingCriterion* FindRankingCriterion(int code);

// The name printed in the results header for a criterion code ("" when none).
const char* opt_structInfo(int code);

// Indexed by rankingAlgorithm - 1.
extern const std::array<const char*, 2> rankingAlgorithmInfo;

// Per search mode 1..12, and kNicheConservationSearch (signed, with T).
struct ModeInfo {
  bool partial;          // compared by absolute value, starting from 0
  bool needsT;           // community weighted means take part
  const char* lineLabel; // intermediate results line
  const char* tableHeader;
};
const ModeInfo& RankingMode(int mode);

}  // namespace kalios
