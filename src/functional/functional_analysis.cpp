#include "functional/functional_analysis.h"

#include "functional/settings.h"
#include "session/track.h"
#include "shell/cformat.h"

namespace kalios {

void IFHierarchicalAccum(App& app) {
  SessionTrack& t = app.track;
  t.whichPrinda = app.shell.sessionName + prindaExt;
  t.whichHier = app.shell.sessionName + hierExt;
  t.hasHier = 1;
  t.hasCstRese = t.hasCstClus = t.hasNRese = t.hasPRese = t.hasScores = t.hasReClus = 0;
  t.hasAOCScor = t.hasProbN = t.hasProbRo = t.hasRo = t.hasComplexity = t.hasVelocity = 0;
  t.hasRoVelComplex = t.hasRoVelComplexPROB = 0;
  app.data.nCstGroups = 0;
  app.data.whichLevelGrCST = 1;

  SettingsHierarchy(app);

  AnalysisOptions& o = app.opts;
  o.cohe = 0;
  o.reseTypeOrd = o.reseTypeClus = o.reseTypeEv = o.reseTypeRnd = o.reseTypeERank = 1;
  o.reseCstOpt = 0;

  // The computation and its report are not part of this version: nothing is
  // written, so the session's files stay as they were.
  Print(app.con.out, "\nThe functional analysis is not available in this version.\n");
}

}  // namespace kalios
