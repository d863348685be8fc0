#pragma once
// Restricting a data set to some of its OTUs, traits, communities or
// ecological variables. Each list holds 0-based positions in the current data
// set, in the order the new data set takes them. Everything attached to the
// restricted dimension follows it: labels, types, state counts and trait
// groups follow the traits; the species membership and the phylogeny follow
// the OTUs; E and the species occurrence map follow the communities.
#include <vector>

#include "session/dataset.h"

namespace kalios {

void KeepOtus(DataSet& ds, const std::vector<int>& rows);
void KeepTraits(DataSet& ds, const std::vector<int>& cols);
void KeepCommunities(DataSet& ds, const std::vector<int>& cols);
void KeepVariables(DataSet& ds, const std::vector<int>& vars);

}  // namespace kalios
