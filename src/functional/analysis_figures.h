#pragma once
// The figures of a functional analysis, drawn after its results file: the
// null distributions of the tested statistics and the principal coordinates
// maps of the communities, in the folder "<session>Figures/".
#include <string>
#include <vector>

#include "functional/report.h"
#include "numlib/matrix.h"

namespace kalios {

inline constexpr const char* kFiguresFolderExt = "Figures";

// How many null values per statistic are kept for the histograms: more adds
// nothing to the picture and only costs memory.
inline constexpr int kMaxNullValuesKept = 200000;

// The files of one analysis and what went wrong with each: a figure that
// cannot be drawn is reported, never fatal.
struct FigureOutcome {
  std::vector<std::string> written;
  std::vector<std::string> failures;  // "<file>: <reason>"
};

// The null values the test kept: nulls, kNumPermStats rows (order A);
// linear, one row per linear-model result; `kept` values each.
struct KeptNulls {
  Matrix<double> nulls, linear;
  int kept = 0;
};

FigureOutcome DrawAnalysisFigures(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& r,
                                  const KeptNulls& kept, const ReportedOrdinations& ords, const std::string& folder);

}  // namespace kalios
