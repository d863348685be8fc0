#pragma once
// The entry points the shell's menus lead to. Each module provides its own;
// features not built yet answer with a notice and return to their menu.
#include "shell/app.h"

namespace kalios {

void ReadPreferencesHook(App& app);
void SetPreferencesHook(App& app);
// Reads the session's data at the start of the session loop (running the data
// formatting dialogue for a new session); false returns to the main menu.
bool LoadSessionAtEntry(App& app);
void ReloadSessionData(App& app);
void ResetSessionResults(App& app);
void ReleaseSessionData(App& app);
void FunctionalAnalysisHook(App& app);
void TraitRankingHook(App& app);
void SimulationStudyHook(App& app);

}  // namespace kalios
