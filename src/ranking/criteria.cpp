#include "ranking/criteria.h"

namespace kalios {
namespace {

constexpr std::array<RankingCriterion, 14> kCriteria = {{
    {1, 10, "ChRank_TDAP_TCAP.txt"},
    {9, 12, "ChRank_TDAP.txt"},
    {10, 11, "ChRank_TCAP.txt"},
    {11, 4, "ChRank_PSAP_X.txt"},
    {12, 6, "ChRank_PSAP_X_T.txt"},
    {13, 5, "ChRank_PSAP_T.txt"},
    {14, kNicheConservationSearch, "ChRank_BetaNicheConserv.txt"},
    {15, kNicheConservationSearch, "ChRank_AlphaBetaNicheConserv.txt"},
    {16, 1, "ChRank_AlphaDivergence.txt"},
    {17, 2, "ChRank_BetaDivergence.txt"},
    {21, 7, "ChRank_roXY.txt"},
    {22, 8, "ChRank_roTY.txt"},
    {23, 9, "ChRank_roXY_T.txt"},
    {24, 3, "ChRank_DarkDiversity.txt"},
}};

// Codes 2 to 8 and 18 to 20 are names of criteria the program no longer
// searches; 21 to 24 are named after their menu texts.
constexpr std::array<const char*, 24> kNames = {
    "1 (both trait-divergence and trait-convergence assembly patterns)",
    "2 (convergence community groups)",
    "3 (divergence community groups)",
    "4 (trait redundancy in population data structure)",
    "5 (trait redundancy in community data structure)",
    "6 (criteria 1 and 5 combined)",
    "7 (criteria 2 and 5 combined)",
    "8 (sharpness in information structure)",
    "9 (Trait-divergence assembly patterns, TDAP)",
    "10 (Trait-convergence assembly patterns, TCAP)",
    "11 (correlation of phylogenetically structured assembly patterns, PSAP to both trait-divergence and "
    "trait-convergence assembly patterns, TDAP and TCAP)",
    "12 (correlation of phylogenetically structured assembly patterns, PSAP to trait-divergence, TDAP)",
    "13 (correlation of phylogenetically structured assembly patterns, PSAP to trait-convergence assembly "
    "patterns, TCAP)",
    "14 (beta niche conservation: ro(PT) * ro(TE))",
    "15 (alpha and beta niche conservation: ro(PX) * ro(XE))",
    "16 (alpha divergence: ro(RE))",
    "17 (beta divergence: ro(XE.TR))",
    "18 (congruence of fuzzy-weighted composition and composition predicted by DeCaceres (2008) smoothing: "
    "r(XZ))",
    "19 (trait convergence: r(TZ))",
    "20 (trait divergence: r(XZ.T))",
    "21 (r(XY): correlation of fuzzy-weighted composition (X) and community composition predicted by Beals "
    "smoothing (Y))",
    "22 (r(TY): correlation of community-weighted means (T) and community composition predicted by Beals "
    "smoothing (Y))",
    "23 (r(XY.T): partial correlation between X and Y, removing T)",
    "24 (dark diversity: correlation between 'dark diversity' (for each community, sum of absolute "
    "differences between matrices X and W) and E: r(SE))",
};

constexpr std::array<ModeInfo, 12> kModes = {{
    {false, false, "r(RE)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum correlation ro(RE):\nTRC\toptimal subset of traits\n"},
    {true, true, "r(XE.TR)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum partial correlation ro(XE.TR):\nTRC\toptimal subset of traits\n"},
    {false, false, "r(SE)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum correlation ro(SE):\nTRC\toptimal subset of traits\n"},
    {false, false, "r(PX)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum correlation ro(PX):\nTRC\toptimal subset of traits\n"},
    {false, true, "r(PT)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum correlation ro(PT):\nTRC\toptimal subset of traits\n"},
    {true, true, "r(PX.T)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum correlation ro(PX.T):\nTRC\toptimal subset of traits\n"},
    {false, false, "r(XY)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum correlation ro(XY):\nTRC\toptimal subset of traits\n"},
    {false, true, "r(TY)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum correlation ro(TY):\nTRC\toptimal subset of traits\n"},
    {true, true, "r(XY.T)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum partial correlation ro(XY.T):\nTRC\toptimal subset of traits\n"},
    {false, false, "r(XE)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum partial correlation ro(XE):\nTRC\toptimal subset of traits\n"},
    {false, true, "r(TE)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum partial correlation ro(TE):\nTRC\toptimal subset of traits\n"},
    {true, true, "r(XE.T)=\t%g\tTraits:\t",
     "\n\nTrait subsets with maximum partial correlation ro(XE.T):\nTRC\toptimal subset of traits\n"},
}};

}  // namespace

const std::array<const char*, 2> rankingAlgorithmInfo = {"1 (stepwise)", "2 (all trait combinations)"};

const RankingCriterion* FindRankingCriterion(int code) {
  for (const auto& c : kCriteria)
    if (c.code == code) return &c;
  return nullptr;
}

const char* opt_structInfo(int code) {
  return code >= 1 && code <= static_cast<int>(kNames.size()) ? kNames[static_cast<std::size_t>(code - 1)] : "";
}

const ModeInfo& RankingMode(int mode) {
  // The niche conservation search compares signed products and always builds T.
  static constexpr ModeInfo kNiche{false, true, "", ""};
  if (mode == kNicheConservationSearch) return kNiche;
  if (mode < 1 || mode > 12) mode = 10;
  return kModes[static_cast<std::size_t>(mode - 1)];
}

}  // namespace kalios
