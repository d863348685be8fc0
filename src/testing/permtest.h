#pragma once
// The permutation test of the functional analysis: every statistic the
// analysis reports (correlations of the community trait matrices, diversities
// and phylogenetic signal with the ecological variables and the smoothed
// composition, their partials, or the linear models of modes 4 and 5) tested
// in one run against a taxa or site shuffle, optionally on bootstrap samples
// of the communities. Results go back into the caller's record.
#include <functional>
#include <string>

#include "testing/permtest_core.h"
#include "testing/permtest_record.h"
#include "testing/random.h"

namespace kalios {

struct PermTestOptions {
  int threads = 0;  // 0: the runtime's current number of threads
  // Take the faster route to the same null statistics where it applies (see
  // permtest_fastmantel.h); off, every iteration goes the general way.
  bool fastPath = true;
  // Receives "Permutation test: %d of %d" before each iteration.
  std::function<void(const std::string&)> progress;
};

// Runs the whole test on the filled record: the observed statistics, niter - 1
// null-model iterations drawn from rng, and the summaries. The draws follow the
// sequential order of the iterations, so a seed reproduces the results
// bit for bit whatever the number of threads. The caller's data matrices are
// never modified (bootstrap samples are drawn into the engine's own copies).
void PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* input, RandomGenerator& rng,
                                    const PermTestOptions& options = {});

// The null-model set-up of a record: the kind of shuffle, the occurrence list
// of the weighted taxa shuffle, the nesting groups, and the OTUs taking part
// in the default taxa shuffle (those whose belonging in the last column of a
// square U is known; every OTU when U is not square).
NullModelSetup MakeNullModelSetup(const PermTest_FunctionalPhyl_Correl_Input& in);

// Rows of the null table, in their internal order, as positions of order A.
extern const int kNullRowToA[kNumPermStats];
// Tail option of the asymmetry-based P of each of the 24 null-table rows.
extern const int kNullRowTail[kNumObsStats];

}  // namespace kalios
