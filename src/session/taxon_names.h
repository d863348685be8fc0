#pragma once
// Species names of the OTUs: several OTUs (populations, individuals) may
// belong to one species. The names are merged when identical, optionally
// prefixed by a short code that tells the species apart, and mapped to the
// communities where the species occurs.
#include <string>
#include <vector>

#include "session/dataset.h"

namespace kalios {

inline constexpr int kSpeciesCodeWidth = 4;   // characters of a species code
inline constexpr int kSpeciesNameAfterCode = 65;  // name characters kept after a created code

// Starts from one species per OTU (`spp` holds the tcst names as read and
// `cstSppMap` has room for tcst x tcst), merges identical names and, with
// label option 2, puts a unique 4-character code before each name.
void CheckSpecies(DataSet& ds, int labelOption);

// 1 when the first 4 characters of `code` equal those of one of the first n names.
int CheckIdenticalLabels(const std::string& code, const std::vector<std::string>& names, int n);

// The code a name gets before uniqueness is enforced: its first two
// characters and the two after the first blank at position 2 or later.
// Always 4 characters: places the name cannot fill hold '_'.
std::string SpeciesCode(const std::string& name);

// '1' where any OTU of the species has a value other than 0 in the community
// (a missing value counts as present), else '0'. `sppRelMap` must have room for
// nSpp x ncsm.
void SpeciesReleveMap(DataSet& ds);

}  // namespace kalios
