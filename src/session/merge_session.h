#pragma once
// Two surveys with the same traits and ecological variables joined into one
// data set: the OTUs of both, the communities of both, each OTU recorded only
// in the communities of its own survey.
#include <string>

#include "session/dataset.h"
#include "shell/console.h"

namespace kalios {

// Merges the second session's formatted data file (opened at `secondPath`,
// named `secondName` in the title) into `ds`, which holds the first session's
// data with its title. When the two are compatible the merged data set is
// cleaned and written at `newPath` (replacing it only once complete) and the
// result is true; otherwise the first mismatch is reported and nothing is
// written. A second file that is missing or damaged aborts.
bool MergeFormda(Console& con, DataSet& ds, const std::string& secondPath,
                 const std::string& secondName, const std::string& newPath);

// Joins the E source names of two sessions into one word, so that the data
// file reads it back as the name it is.
std::string JoinedSourceNames(const std::string& first, const std::string& second);

}  // namespace kalios
