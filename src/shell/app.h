#pragma once
// Everything the open program holds: console, shell state, preferences and the
// session's data and options. One object, passed by reference.
#include "ranking/ranking_options.h"
#include "session/options.h"
#include "session/dataset.h"
#include "session/track.h"
#include "shell/console.h"
#include "shell/state.h"

namespace kalios {

struct App {
  explicit App(Console& console) : con(console) {}
  Console& con;
  ShellState shell;
  Preferences prefs;
  DataSet data;           // the open session's data set
  SessionTrack track;     // its file names and result flags
  AnalysisOptions opts;   // analysis options recorded in the track file
  RankingOptions ranking; // settings of the trait ranking
};

}  // namespace kalios
