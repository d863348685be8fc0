#pragma once
// Everything the open program holds: console, shell state, preferences and the
// session's data and options. One object, passed by reference.
#include "shell/console.h"
#include "shell/state.h"

namespace kalios {

struct App {
  explicit App(Console& console) : con(console) {}
  Console& con;
  ShellState shell;
  Preferences prefs;
};

}  // namespace kalios
