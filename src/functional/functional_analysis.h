#pragma once
// The functional analysis of the open session, as the analysis menu starts it.
#include "shell/app.h"

namespace kalios {

// Names the results files, resets the result flags, runs the settings
// dialogue and the analysis, records the session's track file and tells
// where the results are.
void IFHierarchicalAccum(App& app);

}  // namespace kalios
