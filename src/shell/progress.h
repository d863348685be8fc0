#pragma once
// The throttled progress line of long loops: at most a few updates a second,
// each overwriting a 40-column field, so a long run neither floods the console
// nor slows down for its output.
#include <functional>
#include <string>

#include "shell/console.h"

namespace kalios {

// Shows text on the progress line unless the last update was too recent.
void HandleEventInfoWhere2(Console& con, const std::string& text);
// Ends a progress line that is still open, so the next output starts on a new line.
void ClearLine(Console& con);
// A callback for numerical routines that report progress without knowing the console.
std::function<void(const std::string&)> ProgressReporter(Console& con);

}  // namespace kalios
