#pragma once
// The functional analysis of the open session: scales the trait description
// of the OTUs up to the communities, hands the community matrices to the
// permutation test and writes the results file.
#include "shell/app.h"

namespace kalios {

// Runs one complete analysis with the options the settings dialogue set. The
// results file (session folder + whichPrinda) is written to a temporary file
// and only put in place, replacing (mode "w") or extended (mode "a"), once
// the analysis has completed; an abort on the way leaves the previous file as
// it was. A results file that cannot be opened aborts with the open-failed
// code, and so does the intermediate-results file when it is asked for.
void PFTs_ScalingUp(App& app);

}  // namespace kalios
