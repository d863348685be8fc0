#pragma once
// The trait ranking of the open session, as the analysis menu starts it.
#include "shell/app.h"

namespace kalios {

// Runs the ranking settings, names the results file after the criterion,
// runs the search and tells where the results are.
void IFChOrderSearch(App& app);

}  // namespace kalios
