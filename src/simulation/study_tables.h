#pragma once
// The tables of a simulation study beside its report: the P-value of every
// test of every data set ("SimulationPValues.tsv") and, in power mode, the
// proportion of rejections of each test with the binomial 95% interval around
// alpha ("SimulationRejections.tsv"), drawn in "SimulationFigures/".
#include <string>
#include <utility>
#include <vector>

#include "functional/community_matrices.h"
#include "simulation/study.h"
#include "testing/permtest_record.h"

namespace kalios {

inline constexpr const char* kStudyPValuesTable = "SimulationPValues.tsv";
inline constexpr const char* kStudyRejectionsTable = "SimulationRejections.tsv";
inline constexpr const char* kStudyFiguresFolder = "SimulationFigures";

// The tests of one analysed data set: the counted correlations, or the
// regression or pseudo-F terms of the linear models (optRo 4, 5).
std::vector<StudyTestRow> StudyTestRows(const PermTest_FunctionalPhyl_Correl_Input& r, int optRo, bool tested,
                                        const ScalingUpState& sc, const std::vector<std::string>& predictorLabels,
                                        int dataSet);

// The interval of proportions of rejections that D data sets give with 95%
// probability when each rejects with probability alpha (binomial quantiles).
std::pair<double, double> BinomialRejectionInterval(int D, double alpha);

// Each test's share of rejections over the data sets, in the order the tests
// first appear: (statistic, term) with the share.
struct RejectionShare {
  std::string statistic, term;
  double proportion = 0;
  int dataSets = 0;
};
std::vector<RejectionShare> RejectionShares(const std::vector<StudyTestRow>& rows, double alpha);

std::string StudyPValuesTable(const std::vector<StudyTestRow>& rows, double alpha);
std::string StudyRejectionsTable(const std::vector<RejectionShare>& shares, double alpha, int D, int niter);

// Writes the tables of the study (the rejections in power mode) and, when
// asked, the figure of the rejections; a figure that cannot be drawn is a
// warning on the console.
void WriteStudyTables(StudyEnvironment& env, const StudyState& st);

}  // namespace kalios
