#pragma once
// The settings dialogue of the trait ranking: the criterion to maximize (only
// the criteria the data set can support are offered and accepted), then the
// functional analysis settings in their ranking form, then the numbers of
// types and the trait subset sizes to examine.
#include <functional>
#include <string>

#include "ranking/ranking_options.h"
#include "session/dataset.h"
#include "session/options.h"
#include "shell/console.h"

namespace kalios {

// What the dialogue needs from the program around it: the menu header and the
// functional analysis settings dialogue (run with the ranking as its caller).
struct RankingDialogueHooks {
  std::function<void(const std::string& title)> menu;
  std::function<void()> functionalSettings;
};

// Why a criterion code cannot run on this data set, or null when it can:
// E, a phylogeny, or no nominal trait may be required.
const char* RankingCriterionRefusal(int code, const DataSet& d);

void SettingsChRank(Console& con, DataSet& d, AnalysisOptions& o, RankingOptions& r,
                    const RankingDialogueHooks& hooks);

}  // namespace kalios
