// How the main menu attaches a session, and how the session loop loads,
// reloads, forgets and releases the session's data.
#include <sys/stat.h>

#include "session/formda.h"
#include "session/raw_format.h"
#include "session/safe_write.h"
#include "session/track.h"
#include "shell/abort.h"
#include "shell/app.h"
#include "shell/cformat.h"
#include "shell/dispatch.h"
#include "shell/input.h"
#include "shell/shell.h"

namespace kalios {

namespace {

bool Exists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0;
}

// The files an analysis rewrites must be writable before the user spends an
// analysis on the session, not found unwritable after it.
bool Writable(Console& con, const std::string& path) {
  std::string why;
  if (CanReplace(path, why)) return true;
  Print(con.err, "\nSession file %s %s.\n", path.c_str(), why.c_str());
  con.out << '\a';
  return false;
}

void NameSession(App& app, const std::string& typed) {
  app.shell.tempName = typed;
  app.shell.sessionShortName = app.shell.tempName.substr(0, 90);
  app.shell.volumeName.clear();
  app.shell.sessionName = app.shell.sessionShortName;
  app.shell.whichTrack = app.shell.sessionName + trackExt;
}

}  // namespace

bool AttachSession(App& app, bool isNew) {
  Console& con = app.con;
  for (;;) {
    Print(con.out, "Enter session name: ");
    NameSession(app, ReadStringIn(con));
    const std::string track = app.shell.volumeName + app.shell.whichTrack;
    const std::string results = app.shell.volumeName + app.shell.sessionName + prindaExt;
    app.shell.newSession = isNew ? 1 : 0;
    if (!isNew) {
      if (!fopenck(con, app.shell.whichTrack, app.shell.volumeName)) return false;
      return Writable(con, track) && Writable(con, results);
    }
    if (!Exists(track)) {
      // A new session starts with an empty track file.
      return fopenckWrite(con, app.shell.whichTrack, app.shell.volumeName, false) != nullptr &&
             Writable(con, track);
    }
    if (!Writable(con, track)) return false;
    // The old session stays as it is until the new data are written in its
    // place, so returning to the main menu from the data dialogue loses nothing.
    Print(con.out, "Session %s exists. Replace it? y/n ", app.shell.sessionName.c_str());
    if (ReadCharIn(con, "y n") == 'y') return true;
    Print(con.out, "\n");
  }
}

void OpenFormda(App& app, int) {
  ReadFormda(app.con, app.data, app.shell.volumeName + app.track.whichFormda);
  app.shell.dirtyOrig = 0;
}

bool LoadSessionAtEntry(App& app) {
  Console& con = app.con;
  const std::string trackPath = app.shell.volumeName + app.shell.whichTrack;
  std::string first;
  if (!app.shell.newSession) {
    auto track = fopenck(con, app.shell.whichTrack, app.shell.volumeName);
    if (!track) Abort(kAbortOpenFailed);
    if (track->ScanWord(first) != 1) first.clear();
    track->Close();
    if (!first.empty()) app.track.whichFormda = first;
  }
  // A new session (or an empty track file) takes its data first; the dialogue
  // writes the track file and names the formatted data file.
  if (first.empty()) {
    NewSession session{app.shell.sessionName, app.shell.volumeName, trackPath};
    if (SetFormda(con, [&app](const std::string& title) { Menu(app, title); }, session, app.track) != 0)
      return false;
    app.shell.newSession = 0;
  }
  OpenFormda(app, 1);
  ReadTrack(con, app.track, app.data, app.opts, trackPath);
  return true;
}

void ReloadSessionData(App& app) {
  app.data.Release();
  OpenFormda(app, 1);
  ReadTrack(app.con, app.track, app.data, app.opts, app.shell.volumeName + app.shell.whichTrack);
}

void ResetSessionResults(App& app) { ForgetSessionResults(app.track, app.data); }

void ReleaseSessionData(App& app) { app.data.Release(); }

}  // namespace kalios
