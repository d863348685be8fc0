#include "shell/dispatch.h"

#include "functional/functional_analysis.h"
#include "functional/settings.h"
#include "shell/trait_ranking.h"
#include "simulation/study.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/shell.h"

namespace kalios {

void FunctionalAnalysisHook(App& app) { IFHierarchicalAccum(app); }
void TraitRankingHook(App& app) { IFChOrderSearch(app); }
void SimulationStudyHook(App& app) {
  // The study fills the data set with each simulated design and keeps its own
  // report files: no session results file is asked about.
  app.shell.optmain = 'A';
  app.track.whichPrinda.clear();
  StudyEnvironment env{app.con, app.data, app.opts, app.prefs, [&app] { SettingsHierarchy(app); }, 0,
                       app.shell.figures};
  IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(env);
  app.data.Release();
  Wait(app.con);
}

}  // namespace kalios
