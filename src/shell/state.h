#pragma once
// Program-wide state of the console shell and the user's preferences. They are
// owned by the App object and passed by reference, never kept in globals.
#include <climits>
#include <ctime>
#include <string>

namespace kalios {

inline constexpr const char* kVersionLine =
    "CHARACTER-BASED COMMUNITY ANALYSIS                    KALIOS v.2.11.64";
inline const std::string kRuleLine(70, '-');

struct ShellState {
  std::string tempName;           // the word typed as session name
  std::string sessionShortName;   // the session name cut to 90 characters, shown in headers
  std::string sessionName;        // prefix of every session file name
  std::string volumeName;         // directory prefix of session files; always empty
  std::string whichTrack = "NULL";
  std::string whichStructures;
  int optmain1 = 0;  // last session-menu choice, upper case
  int optmain = 0;   // last analysis-menu choice, upper case
  int dirtyOrig = 0; // 1 after an analysis: the data set must be reloaded
  int newSession = 0; // 1 while a session opened with 'N' has no data of its own yet
  bool figures = true; // draw the figures beside the results files (off with --no-figures)
};

// Preferences with the defaults the program starts with; the preferences file
// overrides them.
struct Preferences {
  int isHierarchicalPref = 0;
  float scatterHSize = 0, scatterVSize = 0;
  float profileHSize = 0, profileVSize = 0;
  float treeHSize = 0, treeVSize = 0;
  int scatterPointSize = 0;
  int profilePointSize = 0;
  int profileType = 1;
  int drawProfPtsOpt = 'n';
  int sDigits = 6;
  int saveStruct = 'n';
  int saveRndData = 'n';
  int showMemory = 'n';
  int countDoubleAbsence = 1;
  bool sqrtDissimOpt_RaoTraits = true;
  bool sqrtDissimOpt_RaoPhyl = false;
  bool BealsIncludeOpt = true;
  bool nonParametricSES_opt = true;
  bool oneMatrixPermPartialCorr = false;
  bool twoTailedTest = true;
  double overfitFactorPCARegr = 2.0;
  int maxColsPrint = INT_MAX;
  int maxComponents = 6;
  int nProcessors = 0;
};

}  // namespace kalios
