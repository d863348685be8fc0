#include "functional/option_names.h"

namespace kalios {

const std::array<const char*, 4> fuzzyInfo = {
    "none (crisp)", "fuzzy global", "fuzzy pairwise", "fuzzy (fuzzy belonging of OTUs to types)"};

const std::array<const char*, 3> opt_roInfo = {
    "matrix correlation (Mantel or Rd)", "Procrustes (traceW)", "RV coefficient (Escoufier 1973)"};

const std::array<const char*, 10> rese_optInfo = {
    "1 (information divergence within rows)",
    "2 (information divergence mutual)",
    "3 (cross product uncentered data)",
    "4 (cross product centered data)",
    "5 (correlation coefficient)",
    "6 (Euclidean distance)",
    "7 (relative Euclidean distance)",
    "8 (absolute value function)",
    "9 (relative absolute value function)",
    "10 (chord distance)"};

const std::array<const char*, 6> clusMethInfo = {
    "0 (none)",           "1 (single linkage)",           "2 (complete linkage)",
    "3 (sum of squares)", "4 (average linkage UPGMA)", "5 (average linkage WPGMA)"};

const std::array<const char*, 2> reseCSToptInfo = {"1 (Gower index)", "2 (Euclidean distance)"};

const std::array<const char*, 2> YesNotInfo = {"not", "yes"};

const std::array<const char*, 2> poolCSToptInfo = {"1 (monothetic)", "2 (polythetic)"};

}  // namespace kalios
