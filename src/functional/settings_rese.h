#pragma once
// The question on the resemblance between communities that the settings
// dialogues share.
#include "shell/app.h"
#include "shell/console.h"

namespace kalios {

// Asks the resemblance between communities into `rese_opt`.
void SettingsRese(App& app);
// Prints the resemblance menu and stores the answer (6 to 10) in `option`.
void SettingReseFunction(Console& con, int& option);

}  // namespace kalios
