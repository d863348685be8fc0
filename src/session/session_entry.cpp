// How the session loop loads, reloads, forgets and releases the session data.
#include "session/formda.h"
#include "session/track.h"
#include "shell/abort.h"
#include "shell/app.h"
#include "shell/cformat.h"
#include "shell/dispatch.h"
#include "shell/input.h"

namespace kalios {

bool LoadSessionAtEntry(App& app) {
  Console& con = app.con;
  {
    auto track = fopenck(con, app.shell.whichTrack, app.shell.volumeName);
    if (!track) Abort(kAbortOpenFailed);
    std::string first;
    if (track->ScanWord(first) != 1) first.clear();
    track->Close();
    if (first.empty()) {
      // A new session: its data must be formatted first.
      Print(con.out, "\n%s is not available in this version.\n", "Formatting raw data");
      return false;
    }
    app.track.whichFormda = first;
  }
  OpenFormda(app, 1);
  ReadTrack(app);
  return true;
}

void ReloadSessionData(App& app) {
  app.data.Release();
  OpenFormda(app, 1);
  ReadTrack(app);
}

void ResetSessionResults(App& app) { ForgetSessionResults(app.track, app.data); }

void ReleaseSessionData(App& app) { app.data.Release(); }

}  // namespace kalios
