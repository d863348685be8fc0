#pragma once
// A faster route to the null statistics of the taxa shuffle when the
// statistics rest on resemblances between communities only (mode 1, Mantel
// or Rd correlations, Euclidean distances for X): the same numbers as the
// general route to rounding, from three exact identities.
//
// - Permuting the OTU rows of B, U and both margins of the trait similarity is
//   the same as permuting the columns of W once: T = W B_perm, and the Rao
//   entropy of a community needs only the pairs of OTUs present in it.
// - X enters the statistics only through its Euclidean distances, which need
//   only the Gram matrix G = X X' = W_p K W_p', K = U U' being fixed.
// - W is mostly zeros: each community is a short list of (OTU, abundance).
#include <memory>
#include <vector>

#include "numlib/matrix.h"
#include "testing/functional_stats.h"
#include "testing/permtest_core.h"
#include "testing/permtest_record.h"

namespace kalios {

// True when the record's options and data allow the fast route: mode 1 with
// the Mantel or Rd statistic, taxa shuffle, Euclidean distances between
// communities for X, no phylogeny, no bootstrap, no intermediate results, no
// missing values in W, Wadj, B, U and Sb, a symmetric Sb, every OTU weight 1
// and no empty community.
bool FastMantelApplies(const PermTest_FunctionalPhyl_Correl_Input& in);

// The data the fast workers share, computed once.
struct FastMantelShared {
  const PermTest_FunctionalPhyl_Correl_Input* in = nullptr;
  const FunctionalPhyl_Stats_Lib_Input* obs = nullptr;
  bool separateCov = false;
  Matrix<double> K;      // U U', nOTUs x (nOTUs padded with zero columns to whole kernel blocks)
  Matrix<double> delta;  // Rao pair differences from Sb, full and symmetric
  // Community c's non-zero abundances of W (for X) and of Wadj (for T and Rao):
  // places [start[c], start[c + 1]) of idx (0-based OTU) and val.
  std::vector<int> wStart, wIdx, aStart, aIdx;
  std::vector<double> wVal, aVal;

  FastMantelShared(const PermTest_FunctionalPhyl_Correl_Input& input, const FunctionalPhyl_Stats_Lib_Input& observed,
                   bool separate);
};

std::unique_ptr<NullWorker> MakeFastMantelWorker(const FastMantelShared& shared);

}  // namespace kalios
