#pragma once
// A new session's data set derived from another session's formatted data
// file: some of its traits, OTUs, communities and ecological variables,
// optionally with the communities pooled by groups, turned into changes
// between paired communities, or pooled by split moving windows.
#include <functional>
#include <string>
#include <vector>

#include "session/dataset.h"
#include "shell/console.h"

namespace kalios {

// What the dialogue needs from the program around it.
struct DerivedSessionHooks {
  // Prints a menu header with the given title.
  std::function<void(const std::string& title)> menu;
  // Sets a partition of the n communities of `ds` into groups: their number,
  // the 1-based group of each community and the group labels.
  std::function<void(DataSet& ds, int n, int& nGroups, int* groupOf, std::vector<std::string>& labels)>
      setGroups;
};

struct DerivedSessionFiles {
  std::string sourcePath;  // the source session's formatted data file, as opened
  std::string sourceName;  // its name, the new data set's title
  std::string newPath;     // the new session's formatted data file, as written
  std::string newName;     // its name, as shown to the user
};

// Reads the source file into `ds`, asks what to keep and how to transform the
// communities, and writes the new session's file (replacing it only once
// complete). A source file that is missing or damaged aborts before anything
// is written.
void PickSomeFormda(Console& con, DataSet& ds, const DerivedSessionFiles& files,
                    const DerivedSessionHooks& hooks);

// The pairing of the change option: n communities make n/2 units, labelled by
// default "1", "2", ... or as typed (up to 4 characters); the second
// communities follow all first ones (order 1) or each its first one (order 2).
void SettingNewReleves(Console& con, int n, int& nUnits, int* unitOf,
                       std::vector<std::string>& unitLabels);

}  // namespace kalios
