#pragma once
// Data for a new session: the "DATA FOR SESSION" dialogue and the formatting
// of raw data files (traits B, phylogeny F, communities W, species names,
// ecosystem variables E) into the session's formatted data file.
#include <string>

#include "session/menu_header.h"
#include "session/track.h"
#include "shell/console.h"

namespace kalios {

// Where a new session's files go: its name, the directory prefix of its files
// and its track file.
struct NewSession {
  std::string sessionName;
  std::string volumeName;
  std::string trackPath;
};

// The "DATA FOR SESSION" dialogue. Returns 0 when the session has data (its
// track file has been written and `track.whichFormda` names the data), 1 when
// the user went back to the main menu.
int SetFormda(Console& con, const MenuHeader& menu, const NewSession& session, SessionTrack& track);

// Asks which raw files exist, reads them as the user describes them, checks
// them and writes the formatted data file at `formdaPath`. A raw file that
// cannot be read cleanly is reported and asked for again. Nothing of it stays
// in memory afterwards.
void IFFormat(Console& con, const MenuHeader& menu, const std::string& formdaPath);

// For each trait, the number of distinct values that are not missing (-999).
void CountStates(int nch, int tcst, int* onsta, const double* const* B);

}  // namespace kalios
