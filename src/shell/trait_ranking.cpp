#include "shell/trait_ranking.h"

#include "functional/analysis_figures.h"
#include "functional/settings.h"
#include "ranking/chrank.h"
#include "ranking/criteria.h"
#include "ranking/niche_conservation.h"
#include "ranking/settings_chrank.h"
#include "session/track.h"
#include "shell/cformat.h"
#include "shell/shell.h"

namespace kalios {

void IFChOrderSearch(App& app) {
  RankingDialogueHooks hooks;
  hooks.menu = [&app](const std::string& title) { Menu(app, title); };
  hooks.functionalSettings = [&app] { SettingsHierarchy(app); };
  SettingsChRank(app.con, app.data, app.opts, app.ranking, hooks);

  const RankingCriterion* criterion = FindRankingCriterion(app.opts.opt_struct);
  if (criterion == nullptr) return;
  const std::string whichChorder = app.shell.sessionName + criterion->suffix;

  const Preferences& pr = app.prefs;
  RankingRunContext run{app.con, app.data, app.opts, app.ranking, RankingPrefs{}, kVersionLine,
                        app.shell.sessionName, app.track.whichFormda, app.shell.volumeName + whichChorder, {}, {}};
  run.prefs.sDigits = pr.sDigits;
  run.prefs.countDoubleAbsence = pr.countDoubleAbsence;
  run.prefs.sqrtDissimOpt_RaoTraits = pr.sqrtDissimOpt_RaoTraits;
  run.prefs.BealsIncludeOpt = pr.BealsIncludeOpt;
  run.prefs.overfitFactorPCARegr = pr.overfitFactorPCARegr;
  run.prefs.threads = pr.nProcessors;
  if (app.shell.figures) run.figuresFolder = app.shell.volumeName + app.shell.sessionName + kFiguresFolderExt;
  if (pr.saveStruct == 'y') run.structuresPath = app.shell.volumeName + app.shell.sessionName + structExt;
  if (criterion->mode == kNicheConservationSearch)
    ChRank_Phylogeny_x_Trait_Assembly(run);
  else
    ChRankLib(criterion->mode, run);

  app.shell.dirtyOrig = 1;
  ClearLine(app);
  Print(app.con.out, "\n\nResults on file %s%s\n", app.shell.volumeName.c_str(), whichChorder.c_str());
  Wait(app.con);
}

}  // namespace kalios
