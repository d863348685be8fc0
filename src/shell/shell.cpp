#include "shell/shell.h"

#include <omp.h>

#include <cctype>
#include <ctime>
#include <new>

#include <gsl/gsl_errno.h>

#include "session/time_stamp.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/dispatch.h"

namespace kalios {

namespace {

constexpr char kBell = '\a';

// Waits for a letter (codes 1 and 3) or for a newline (codes 2 and 4). End of
// input ends the wait at once.
void AbortWait(Console& con, bool untilNewline) {
  for (;;) {
    int c = con.in.Get();
    if (c == TextIn::kEof) return;
    if (untilNewline ? c == '\n' : std::isalpha(c) != 0) return;
  }
}

}  // namespace

int HandleAbort(Console& con, int code) {
  const char* message = "\nOUT OF MEMORY !!!\n";
  bool untilNewline = false;
  switch (code) {
    case kAbortEndOfFile:
      message = "\nEND OF FILE !!!\n";
      untilNewline = true;
      break;
    case kAbortWriteFailed:
      message = "\nFAIL TO PRINT ON FILE !!!\n";
      break;
    case kAbortOpenFailed:
      message = "\nFAIL TO OPEN FILE !!!\n";
      untilNewline = true;
      break;
    default:
      break;
  }
  con.out.flush();
  Print(con.err, "%s", message);
  Print(con.err, "\nQuit and restart KALIOS.\n");
  con.err << kBell;
  con.err.flush();
  AbortWait(con, untilNewline);
  return 1;
}

void InitGlobals(App& app) {
  app.shell = ShellState();
  app.prefs = Preferences();
  app.data = DataSet();
  app.track = SessionTrack();
  app.opts = AnalysisOptions();
}

void InitIFLibG(App& app) {
  app.con.progress = ProgressLineState();
  app.con.progress.t2 = static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

int Menu(App& app, const std::string& title) {
  ClearLine(app);
  Print(app.con.out, "\n\n");
  Print(app.con.out, "%-47s", title.c_str());
  if (app.shell.sessionName != "NULL") Print(app.con.out, "%23s", app.shell.sessionShortName.c_str());
  return Print(app.con.out, "\n%s\n", kRuleLine.c_str());
}

void Wait(Console& con) {
  for (;;) {
    int c = con.in.Get();
    if (c == TextIn::kEof) return;
    if (std::iscntrl(c)) {
      con.in.Unget(c);
      return;
    }
  }
}

void ClearLine(App& app) { ClearLine(app.con); }

void TimeStamp(std::ostream& os) { os << TimeStampText(); }

double WallClock() { return omp_get_wtime(); }

double difftime_Clock(double start) { return omp_get_wtime() - start; }

void FreeGlobals1(App& app) { ResetSessionResults(app); }

void FreeGlobals2(App& app) { ReleaseSessionData(app); }

void MainMenu(App& app) {
  Console& con = app.con;
  ReadPreferencesHook(app);
  ClearLine(app);
  for (;;) {
    Print(con.out, "\n\n\n\n");
    Print(con.out, "%s\n", kVersionLine);
    Print(con.out, "%s\n", kRuleLine.c_str());
    Print(con.out, "Main menu:\n");
    Print(con.out, "   N  start new session\n");
    Print(con.out, "   O  attach to old session\n");
    Print(con.out, "   S  set preferences\n");
    Print(con.out, "   X  exit \n");
    Print(con.out, "%s\n", kRuleLine.c_str());
    Print(con.out, "Type option: ");
    int opt = std::toupper(ReadCharIn(con, "N O S A X"));
    Print(con.out, "\n\n");
    // Never more threads than the machine has processors, whatever the preference says.
    const int procs = omp_get_num_procs();
    omp_set_num_threads(app.prefs.nProcessors > 0 && app.prefs.nProcessors < procs ? app.prefs.nProcessors
                                                                                   : procs);

    if (opt == 'N' || opt == 'O') {
      if (AttachSession(app, opt == 'N')) {
        IFSession(app);
      } else {
        Wait(con);
      }
    } else if (opt == 'A') {
      SimulationStudyHook(app);
    } else if (opt == 'S') {
      SetPreferencesHook(app);
    }
    if (app.prefs.saveStruct == 'y') app.shell.whichStructures = app.shell.sessionName + "Str.txt";
    if (opt == 'X') throw ProgramExit{0};
  }
}

void IFSession(App& app) {
  Console& con = app.con;
  if (app.prefs.saveStruct == 'y') app.shell.whichStructures = app.shell.sessionName + "Str.txt";
  if (!LoadSessionAtEntry(app)) return;
  for (;;) {
    Menu(app, "SESSION MENU");
    Print(con.out, "Options:\n");
    Print(con.out, "   V  analysis of community structures\n");
    Print(con.out, "   S  set preferences\n");
    Print(con.out, "   C  return to main menu \n");
    Print(con.out, "Type option: ");
    app.shell.optmain1 = std::toupper(ReadCharIn(con, "V S C"));
    Print(con.out, "\n\n");
    if (app.shell.optmain1 == 'V') {
      for (;;) {
        if (app.shell.dirtyOrig == 1) ReloadSessionData(app);
        Menu(app, "ANALYSIS OF COMMUNITY STRUCTURES");
        Print(con.out, "Options:\n");
        Print(con.out, "   H  functional analysis \n");
        Print(con.out, "   K  ranking traits (find optimal trait subset) \n");
        Print(con.out, "   C  return to session menu \n");
        Print(con.out, "Type option: ");
        app.shell.optmain = std::toupper(ReadCharIn(con, "H K C"));
        Print(con.out, "\n");
        if (app.shell.optmain == 'H') {
          FunctionalAnalysisHook(app);
        } else if (app.shell.optmain == 'K') {
          TraitRankingHook(app);
        } else {
          break;
        }
      }
    } else if (app.shell.optmain1 == 'S') {
      SetPreferencesHook(app);
    }
    if (app.prefs.saveStruct == 'y') app.shell.whichStructures = app.shell.sessionName + "Str.txt";
    if (app.shell.optmain1 == 'C') break;
  }
  FreeGlobals1(app);
  FreeGlobals2(app);
}

bool ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options, std::string& message, bool& help) {
  help = false;
  const std::string usage =
      "Usage: kalios [--no-figures]\n"
      "  --no-figures  write the results and tables only, no figures\n"
      "The program then asks for everything on standard input.\n";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-figures") {
      options.figures = false;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
      message = usage;
      return false;
    } else {
      message = "kalios: unknown option " + arg + "\n" + usage;
      return false;
    }
  }
  return true;
}

int RunProgram(Console& con, const ProgramOptions& options) {
  gsl_set_error_handler_off();
  App app(con);
  InitGlobals(app);
  InitIFLibG(app);
  app.shell.figures = options.figures;
  Print(con.out, "%s\n", kRuleLine.c_str());
  Print(con.out, "%s\n\n", kVersionLine);
  Print(con.out, "%s\n", kRuleLine.c_str());
  // Before any session is opened the header shows no name.
  app.shell.sessionName.clear();
  try {
    MainMenu(app);
  } catch (const ProgramExit& e) {
    con.out.flush();
    return e.status;
  } catch (const AbortError& e) {
    if (e.code() == kAbortOutOfMemory) con.out << kBell;
    if (!e.cause().empty()) Print(con.out, "\n%s\n", e.cause().c_str());
    return HandleAbort(con, e.code());
  } catch (const std::bad_alloc&) {
    con.out << kBell;
    return HandleAbort(con, kAbortOutOfMemory);
  }
}

}  // namespace kalios
