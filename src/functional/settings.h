#pragma once
// The settings dialogue of the functional analysis, shared by its three
// callers: the functional analysis ('H'), the trait ranking ('K') and the
// assembly simulation ('A'), told apart by the analysis-menu key `optmain`.
// It fills the analysis options and the data set's selections and partitions.
#include <string>

#include "shell/app.h"

namespace kalios {

void SettingsHierarchy(App& app);

// Decides whether the results file (session folder + suffix) is replaced ("w")
// or appended to ("a"): asked only when the file already exists.
void GetPrindaMode(App& app, const std::string& suffix);

}  // namespace kalios
