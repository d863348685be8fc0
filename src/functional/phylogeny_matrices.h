#pragma once
// The phylogenetic side of the functional analysis: the phylogenetic
// resemblance SF of the OTUs, its principal coordinates, the belonging Q of the
// OTUs to taxa, the phylogenetic composition P, its resemblance DP and the Rao
// entropy Rp.
#include "functional/community_matrices.h"

namespace kalios {

// Runs when the phylogeny is included (ds.includePhylogeny); needs W for TCAP
// and W for TDAP. For a phylogeny given as descriptors, the Gower similarities
// are also stored in ds.phylogenyRese (the session keeps them for the
// analyses that follow).
void BuildPhylogeny(DataSet& ds, const AnalysisOptions& o, const Preferences& prefs, ScalingUpState& st);

}  // namespace kalios
