#pragma once
// Metacommunity dynamics: one simulated metacommunity grown individual by
// individual from empty sites. OTUs arrive by immigration and by dispersal
// between sites, establish with a probability set by environmental filtering
// of their traits, and die under density dependence, ageing and the same
// filtering; the community in turn shifts the ecosystem variables of its
// site, resisted by the site's inertia.
#include <functional>
#include <string>

#include "simulation/metacommunity_record.h"
#include "testing/random.h"

namespace kalios {

struct MetacommunityOptions {
  // Receives "Iteration: %d %d Abundance: %d" (data sets of the study, current
  // data set, individuals) at each iteration; the caller throttles what it
  // shows. The text lives in the record's work state and is only valid during
  // the call.
  std::function<void(const std::string&)> progress;
  // Called at the end of every iteration t with the record as it stands.
  std::function<void(const MetacommunitySimulation_Input&, int t)> afterStep;
};

// Runs in->nSteps iterations from empty sites, drawing from rng in a fixed
// order so that a seed reproduces the run (step files included). Returns true
// at the end of the run. An inconsistent record, or a curve value that is not
// a number, ends in the numerical abort; a step file that cannot be opened or
// written ends in the file-open abort, with the files written so far intact.
bool MetacommunitySimulation(MetacommunitySimulation_Input* in, RandomGenerator& rng,
                             const MetacommunityOptions& options = {});

}  // namespace kalios
