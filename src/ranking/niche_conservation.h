#pragma once
// The trait subset search of the niche conservation criteria (14: beta niche
// conservation ro(PT) * ro(TE); 15: alpha and beta niche conservation
// ro(PX) * ro(XE)): the subsets and numbers of types of the trait subset
// search, with two lists of the best results, one entry per evaluation and
// one per subset, and the per-size summary at the end of the results file.
#include <vector>

#include "ranking/chrank.h"
#include "ranking/subset_search.h"

namespace kalios {

struct NicheOutcome {
  RankingOutcome search;            // per-size bests and the subset list (kept)
  std::vector<KeptEntry> evaluations;  // nKeepTrack + 1 slots, ascending by |value|
};

// Runs the search for criterion run.opts.opt_struct (14 or 15) and writes its
// results file (and the structures file when run.structuresPath is set), each
// replacing any previous one only once complete. Procrustes and RV
// correlations are not defined for this search: with them chosen it uses the
// Mantel correlation and says so in the results file.
void ChRank_Phylogeny_x_Trait_Assembly(const RankingRunContext& run);

// The search itself: the observer sees each subset in the sequential order
// whatever the number of threads. The inputs are those of the criterion with
// opt_ro 1 and corrKind 'm' or 'r' (the results file run sets them so).
void RunNicheSearch(const RankingInputs& in, int criterion, int kMin, int kMax, int threads,
                    RankingObserver& observer, NicheOutcome& out, const StructuresSink& structures = {});

}  // namespace kalios
