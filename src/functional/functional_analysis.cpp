#include "functional/functional_analysis.h"

#include "functional/scaling_up.h"
#include "functional/settings.h"
#include "session/track.h"
#include "shell/cformat.h"
#include "shell/shell.h"

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

  PFTs_ScalingUp(app);
  DataSet& ds = app.data;
  ds.rcst.resize(ds.nGrPoly.size());
  for (std::size_t k = 0; k < ds.nGrPoly.size(); ++k) ds.rcst[k] = ds.nGrPoly[k];

  // Release what the analysis set up for itself; the session data are read
  // again from the formatted data file before the next analysis.
  if (o.optRestrictPermutNullModel == 1) o.nestingMembershipOTUs.clear();
  if (ds.includePhylogeny) {
    ds.partition_OTUs_Phyl.clear();
    if (!ds.hasPhylogeny) {
      if (ds.phylogenyMatrixType == 2) {
        ds.phylogenyData = Matrix<double>();
        ds.phylogenyVarType.clear();
      }
      ds.phylogenyRese = Matrix<double>();
    }
  }

  app.shell.dirtyOrig = 1;
  WriteTrack(app.con, app.track, app.data, app.opts, app.shell.volumeName + app.shell.whichTrack, 1);
  ClearLine(app);
  Print(app.con.out, "\n\nResults on file %s%s\n", app.shell.volumeName.c_str(), app.track.whichPrinda.c_str());
  Wait(app.con);
}

}  // namespace kalios
