#pragma once
// Reading the permutation test record by statistic name and counting, per
// statistic, the data sets whose null hypothesis is rejected.
#include <vector>

#include "simulation/study.h"
#include "testing/permtest_record.h"

namespace kalios {

// One tested statistic: observed value, P-value, SES, expected value, limits
// and asymmetry-based P-value.
struct StatResult {
  double obs = 0, p = 0, ses = 0, exp = 0, ll = 0, ul = 0, asym = 0;
};

// Positions of a statistic in the two index orders of the record; -1 when the
// name is not one of them.
int StatIndexA(const char* name);
int StatIndexB(const char* name);
// The statistic of that name, each value from the order it is kept in.
StatResult ReadStat(const PermTest_FunctionalPhyl_Correl_Input& r, const char* name);

// Sizes the counters for K traits and P predictors, all zero.
void SizeCounts(RejectionCounts& c, int K, int P);
// Adds the rejections of one test: the twelve correlations, and with optRo 4
// or 5 the linear-model P-values. predictors[v] is the predictor (0-based, of
// all P) in column v of the test's E; traitsSelected has one 0/1 per trait.
void CountRejections(const PermTest_FunctionalPhyl_Correl_Input& r, int optRo, double alpha,
                     const std::vector<int>& predictors, const std::vector<int>& traitsSelected, RejectionCounts& c);

}  // namespace kalios
