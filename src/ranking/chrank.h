#pragma once
// The trait subset search as the program runs it: the inputs, the results
// file with its header, the per-size lines (and the intermediate lines) as
// the search goes, the kept list and the per-size summary.
#include <ostream>
#include <string>

#include "ranking/ranking_inputs.h"
#include "ranking/ranking_options.h"
#include "ranking/subset_table.h"
#include "session/dataset.h"
#include "session/options.h"
#include "shell/console.h"

namespace kalios {

struct RankingRunContext {
  Console& con;
  const DataSet& data;
  const AnalysisOptions& opts;
  const RankingOptions& ranking;
  RankingPrefs prefs;
  std::string versionLine;
  std::string sessionName;
  std::string formdaName;
  std::string resultsPath;     // folder + results file name
  std::string structuresPath;  // folder + structures file name; empty: not saved
  std::string figuresFolder;   // where the figure of the search goes; empty: no figure
};

// Runs the search of mode 1..12 and writes its results file, which replaces
// any previous one only once complete. A results file that cannot be written
// ends in the file-open abort before the search starts; a community
// resemblance option that is not defined ends in abort code 1.
void ChRankLib(int mode, const RankingRunContext& run);

// Ends in the file-open abort unless a results file can be written at path.
void CheckResultsWritable(Console& con, const std::string& path);
// The opening lines every ranking results file shares: version, title, time,
// session, data file and the unit-total adjustment of the trait means.
void WriteRankingHeaderTop(std::ostream& os, const RankingRunContext& run);
[[noreturn]] void ResultsOpenFailed(Console& con, const std::string& path);
// Writes the table of every evaluated subset beside the results file, then
// (with a figures folder) the best value by subset size; a figure that cannot
// be drawn is a warning on the console.
void WriteSubsetTableAndFigure(const RankingRunContext& run, const SubsetTableObserver& table);
// The matrices a search of the mode starts from, at the head of the structures file.
void WriteRankingSetupStructures(std::ostream& os, int mode, const RankingRunContext& run, const RankingInputs& in);

}  // namespace kalios
