#pragma once
// The functional analysis of the open session, as the analysis menu starts it.
#include "shell/app.h"

namespace kalios {

// Names the results files, resets the result flags, runs the settings
// dialogue and sets the options the analysis always uses.
void IFHierarchicalAccum(App& app);

}  // namespace kalios
