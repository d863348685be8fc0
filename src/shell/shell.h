#pragma once
// The top of the program: start-up, menus, the abort handler and the small
// console routines every dialogue uses.
#include <ostream>
#include <string>

#include "shell/app.h"
#include "shell/console.h"
#include "shell/progress.h"

namespace kalios {

// What the command line can change.
struct ProgramOptions {
  bool figures = true;
};

// Reads the command line: "--no-figures", or "--help". False with the usage
// text in `message` for anything else (and for "--help", with `help` set).
bool ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options, std::string& message, bool& help);

// Runs the program on the console until 'X' (returns 0) or an abort (returns 1).
int RunProgram(Console& con, const ProgramOptions& options = {});

// Prints the abort message of the code, rings the bell, waits for the user and
// returns the exit status (1).
int HandleAbort(Console& con, int code);

void InitGlobals(App& app);
void InitIFLibG(App& app);
[[noreturn]] void MainMenu(App& app);  // ends by throwing ProgramExit
void IFSession(App& app);

// Menu header: title, session name, rule line.
int Menu(App& app, const std::string& title);
// Discards the rest of the typed line up to its newline, which is left in the input.
void Wait(Console& con);
void ClearLine(App& app);
void TimeStamp(std::ostream& os);
// Wall-clock seconds since `start`, a value of WallClock().
double WallClock();
double difftime_Clock(double start);
// Forgets the session's results (file names, result flags, partition counts).
void FreeGlobals1(App& app);
// Releases the session data set.
void FreeGlobals2(App& app);

// Thrown by the exit option of the main menu.
struct ProgramExit {
  int status;
};

}  // namespace kalios
