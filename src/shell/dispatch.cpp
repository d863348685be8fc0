#include "shell/dispatch.h"

#include "functional/functional_analysis.h"
#include "shell/trait_ranking.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/shell.h"

namespace kalios {

namespace {
void NotYet(App& app, const char* what) {
  Print(app.con.out, "\n%s is not available in this version.\n", what);
}
}  // namespace

void FunctionalAnalysisHook(App& app) { IFHierarchicalAccum(app); }
void TraitRankingHook(App& app) { IFChOrderSearch(app); }
void SimulationStudyHook(App& app) { NotYet(app, "The simulation study"); }

}  // namespace kalios
