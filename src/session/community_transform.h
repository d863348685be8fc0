#pragma once
// A derived data set whose communities are groups of the source's
// communities, changes between paired communities, or split moving windows
// along a series. W, E, the community labels and the species occurrence map
// change together; E variables change type where the transformation makes
// them something else (a mean of a binary variable is quantitative).
#include <string>
#include <vector>

#include "session/dataset.h"

namespace kalios {

// Communities pooled by groups (1-based group of each community); the new
// communities are the groups, labelled `labels`.
void PoolCommunityGroups(DataSet& ds, int nGroups, const int* groupOf,
                         const std::vector<std::string>& labels);

// Each unit (1-based unit of each community) becomes one community holding the
// change from its first to its second community. Qualitative variables of E
// become binary: 1 where they changed, 0 where not.
void ChangeBetweenCommunities(DataSet& ds, int nUnits, const int* unitOf,
                              const std::vector<std::string>& labels);

// Community k becomes the mean of communities k to k + h - 1; returns the new
// number of communities, which keep the labels of the first ones.
int PoolMovingWindows(DataSet& ds, int h);

}  // namespace kalios
