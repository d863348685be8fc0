// How the session loop loads, reloads, forgets and releases the session data.
#include "session/formda.h"
#include "session/raw_format.h"
#include "session/track.h"
#include "shell/abort.h"
#include "shell/app.h"
#include "shell/cformat.h"
#include "shell/dispatch.h"
#include "shell/input.h"

namespace kalios {

bool LoadSessionAtEntry(App& app) {
  Console& con = app.con;
  std::string first;
  {
    auto track = fopenck(con, app.shell.whichTrack, app.shell.volumeName);
    if (!track) Abort(kAbortOpenFailed);
    if (track->ScanWord(first) != 1) first.clear();
    track->Close();
    if (!first.empty()) app.track.whichFormda = first;
  }
  // A new session (empty track file) takes its data first; the dialogue
  // writes the track file and names the formatted data file.
  if (first.empty() && SetFormda(app) != 0) return false;
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
