#pragma once
// The entry points the shell's menus lead to. Each module provides its own;
// features not built yet answer with a notice and return to their menu.
#include "shell/app.h"

namespace kalios {

void ReadPreferencesHook(App& app);
void SetPreferencesHook(App& app);
// 'N' (isNew) or 'O': asks the session name and checks the session's files.
// An existing session named for 'N' is replaced only when the user agrees;
// on 'n' another name is asked. False (after a message naming the file) when
// the session cannot be used; the main menu then waits and shows again.
bool AttachSession(App& app, bool isNew);
// Reads the session's data at the start of the session loop (running the data
// formatting dialogue for a new session); false returns to the main menu.
bool LoadSessionAtEntry(App& app);
// Loads the session's formatted data file (`whichFormda`) and marks the data
// set in memory as clean. The mode is always 1 (read everything).
void OpenFormda(App& app, int mode);
void ReloadSessionData(App& app);
void ResetSessionResults(App& app);
void ReleaseSessionData(App& app);
void FunctionalAnalysisHook(App& app);
void TraitRankingHook(App& app);
void SimulationStudyHook(App& app);

}  // namespace kalios
