#pragma once
// The preferences file "KALIOS.prf": settings that outlive sessions and runs,
// read when the main menu starts and written whenever the "PREFERENCES"
// dialogue is left.
#include <string>

#include "shell/console.h"
#include "shell/state.h"

namespace kalios {

struct App;

inline constexpr const char* KALIOSPrefsName = "KALIOS.prf";
inline constexpr const char* versionPref = "17Apr2020";

// Reads the file at `path` into the preferences. No file, an empty one or one
// with another first word leaves them unchanged. A damaged file (an item
// missing, a word for a number, a flag other than y/n, a value outside the
// range the dialogue allows) is reported naming the item, renamed to
// `path` + ".damaged" and leaves the preferences unchanged. More processors
// than the machine has are read as all of them.
void ReadPreferences(Console& con, Preferences& prefs, const std::string& path);
// Writes the preferences to `path`, replacing the old file only once the new
// one is complete. A file that cannot be created is reported and nothing is
// saved; a failed write aborts with code 3 and keeps the old file.
void WritePreferences(Console& con, const Preferences& prefs, const std::string& path);
// The dialogue; ends by writing the file at `path`.
void SetPreferences(App& app, const std::string& path);

void ReadPreferences(App& app);
void WritePreferences(App& app);
void SetPreferences(App& app);

}  // namespace kalios
