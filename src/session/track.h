#pragma once
// The session's track file and the names of the session's files. A session is
// a name; each of its files is that name followed by a fixed suffix, in the
// current directory. The track file names the formatted data file and records
// the results produced so far, the analysis options last used and the stored
// partitions.
#include <string>

#include "session/options.h"
#include "session/dataset.h"
#include "shell/console.h"

namespace kalios {

inline constexpr const char* trackExt = "Trk.txt";
inline constexpr const char* formdaExt = "Formda.txt";
inline constexpr const char* prindaExt = "Prinda.txt";
inline constexpr const char* hierExt = "Hie.txt";
inline constexpr const char* structExt = "Str.txt";
inline constexpr const char* rndDataExt = "RDa.txt";
inline constexpr const char* versionTrack = "07Jul17";

// Printed when a track file of another version is read.
extern const char* const kTrackIncompatibleMessage;

struct SessionTrack {
  std::string whichFormda = "NULL";
  std::string whichPrinda = "NULL";
  std::string whichEnvPrinda = "NULL";
  std::string whichChorder = "NULL";
  std::string whichRndData = "NULL";

  // File-name slots recorded in the track file, in file order.
  std::string whichEnvRese = "NULL", whichEnvScores = "NULL", whichEnvRank = "NULL",
              whichHier = "NULL", whichCstRese = "NULL", whichNRese = "NULL", whichPRese = "NULL",
              whichRo = "NULL", whichProbRo = "NULL", whichScores = "NULL", whichProbN = "NULL",
              whichReClus = "NULL", whichCstClus = "NULL", whichAOCScor = "NULL",
              whichComplexity = "NULL", whichVelocity = "NULL", whichRoVelComplex = "NULL";

  // Result flags recorded in the track file, in file order.
  int hasEnvRese = 0, hasEnvScores = 0, hasEnvRank = 0, hasHier = 0, hasCstRese = 0,
      hasNRese = 0, hasPRese = 0, hasRo = 0, hasProbRo = 0, hasScores = 0, hasProbN = 0,
      hasReClus = 0, hasCstClus = 0, hasAOCScor = 0, hasVegOrdiCorrel = 0,
      hasEnvOrdiCorrel = 0, hasComplexity = 0, hasVelocity = 0, hasRoVelComplex = 0,
      hasRoVelComplexPROB = 0;
};

// Writes the track file at `path`, replacing it only once the new one is
// complete. With `full` 0 only the data file name and the version tag.
void WriteTrack(Console& con, const SessionTrack& track, const DataSet& ds,
                const AnalysisOptions& opts, const std::string& path, int full);
// Reads the track file at `path` into the track state, the data set's
// partitions and selections (the data set must be loaded) and the options.
// Returns 1. A missing file aborts with code 4, a damaged one (an item
// missing, a count out of range, anything after the last item) with code 2.
int ReadTrack(Console& con, SessionTrack& track, DataSet& ds, AnalysisOptions& opts,
              const std::string& path);

// Forgets the session's results: results-file names, result flags (but the
// two ordination-correlation flags) and the partitions in use.
void ForgetSessionResults(SessionTrack& track, DataSet& ds);

}  // namespace kalios
