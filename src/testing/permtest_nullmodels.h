#pragma once
// Null data of the functional permutation test and the statistics computed on
// them: the taxa shuffle permutes the OTU inputs (rows of B, U and Q, both
// margins of the OTU resemblances), the site shuffle permutes the community
// descriptors (rows of T, X and P, the diversity vectors and the resemblances
// between communities). Lists hold 1-based object numbers.
#include <functional>
#include <vector>

#include "testing/functional_stats.h"
#include "testing/permtest_record.h"

namespace kalios {

// The statistic of the working record behind each row of the null table
// (its internal order), and the layout of one iteration's values: the 24
// rows, the linear-model values, then all the statistics of r for the report.
extern const FunctionalStat kNullRowStat[kNumPermStats];
void StoreNullValues(const std::array<double, kNumFunctionalStats>& r, int nLinear, double* values);

// dest[i] = src[list[i] - 1] for the n rows of c columns.
void PermuteRows(int n, int c, const int* list, const double* const* src, double** dest);
// dest[i][j] = src[list[i] - 1][list[j] - 1].
void PermuteBoth(int n, const int* list, const double* const* src, double** dest);

// The null descriptors of a site shuffle: every community descriptor of obs
// (and its resemblances between communities) in list order, into nul (which
// must have been prepared for the same input); the NNCRD alone is computed
// again, from the permuted X against the fixed E.
void PermuteSiteDescriptors(const PermTest_FunctionalPhyl_Correl_Input& in, const int* list,
                            const FunctionalPhyl_Stats_Lib_Input& obs, FunctionalPhyl_Stats_Lib_Input& nul);

// Whether the null model of the record can test the statistic at position a
// of order A. The site shuffle moves the community descriptors against E
// only: statistics between two descriptors of the same composition (T, X, P,
// R, V against Y or each other) and the phylogenetic signal of the OTUs are
// either left unchanged by it or lose a tie to W that is not the one tested.
bool IsTestedByNullModel(const PermTest_FunctionalPhyl_Correl_Input& in, int a);

// The correlation statistics (modes 1 to 3) of one iteration into r (indexed
// by FunctionalStat). The first matrix of every statistic comes from nul; the
// other matrices of the partial statistics come from cov: the observed
// descriptors when only the first matrix is randomized (separateCov, whose
// own statistics in cov.stat are then reused), nul itself otherwise, which
// gives exactly the observed formulas on the null data. E, Y, DE and DY are
// read from in. nullBF is the iteration's r(BF).
// mantel, when given, replaces the Mantel statistic ('m') of two resemblance
// matrices (a faster route to the same values).
using MantelFunction = std::function<double(const double* const*, const double* const*)>;
void NullCorrelations(const PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& nul,
                      const FunctionalPhyl_Stats_Lib_Input& cov, bool separateCov, double nullBF,
                      std::array<double, kNumFunctionalStats>& r, const MantelFunction* mantel = nullptr);

// The regressions (mode 4) or pseudo-F values (mode 5) of the descriptors in
// nul, into its result fields, as the observed ones are computed.
void NullLinearModels(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& nul);

// Number of responses of the regressions: the traits, R, and Rphyl with a phylogeny.
int RegressionResponses(const PermTest_FunctionalPhyl_Correl_Input& in);
// The tested linear-model values of st in the engine's order: mode 4 the r
// squares then the coefficients [variable][response]; mode 5 the pseudo-F of
// T, of each [variable][trait], of X, P, R and Rphyl. Empty in other modes.
int LinearModelCount(const PermTest_FunctionalPhyl_Correl_Input& in);
void LinearModelValues(const PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& st,
                       double* out);

}  // namespace kalios
