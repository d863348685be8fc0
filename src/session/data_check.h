#pragma once
// Cleaning a data set made from other sessions: OTUs absent from every
// community are dropped, species of the same name are merged, species left
// without OTUs or without communities are dropped, and the trait state counts
// are brought up to date.
#include "session/dataset.h"

namespace kalios {

// Drops the OTUs whose W row is all zero (a missing value counts as present),
// merges species of the same name, counts the OTUs of each community into
// `ncst`, recounts the trait states and ranges when `countStates` is 1, and
// trims the species. Returns the number of communities left with no OTU.
int CheckData(DataSet& ds, int countStates);

// Species of identical names become one: the first takes the OTUs and the
// community occurrences of the later ones, which are removed.
void CheckSpeciesMerge(DataSet& ds);

// With a trait labelled "sp", its value becomes an identifier of the species:
// each OTU its position, then every OTU the value of the first OTU of its species.
void CheckCSTsSameSpecies(DataSet& ds);

// Removes the species no OTU belongs to and those that occur in no community,
// then cancels each membership of an OTU in a species when the OTU has no
// value other than 0 in any community where the species occurs. `n` is the
// number of OTUs.
void TrimSpecies(DataSet& ds, int n);

}  // namespace kalios
