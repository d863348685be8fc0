#pragma once
// The results file of the functional analysis, section by section. Each
// writer prints one section of the report into a stream from the working
// matrices of the analysis, the options and the test record; the analysis
// calls them in the order of the file.
#include <ostream>
#include <string>
#include <vector>

#include "functional/community_matrices.h"
#include "shell/app.h"
#include "testing/permtest_record.h"

namespace kalios {

struct ReportContext {
  const App& app;
  const ScalingUpState& st;
  std::ostream& os;
  std::string stamp;  // the date-and-time line of the analysis
};

// Header (the version line only when the file is new or replaced).
void WriteReportHeader(const ReportContext& c, bool withVersionLine);
// W raw, W for TCAP and Y (detailed results only).
void WriteCompositionSection(const ReportContext& c);
// SF, its ordination, Q and P (with a phylogeny).
void WritePhylogenySection(const ReportContext& c);
// B, E, DE, the selected traits and S.
void WriteTraitsEnvironmentSection(const ReportContext& c);
// The partition, U, the type labels, counts and average traits.
void WriteTypesSection(const ReportContext& c);
// T (raw and normalized) and X, after the tests.
void WriteCommunityMatricesSection(const ReportContext& c);
// The tested correlations in the order of the report, with their labels.
enum class ReportedGroup { kEnvironment, kBeals, kSignal, kPhylogeny };
struct ReportedStatistic {
  ReportedGroup group;
  const char* label;  // as the report prints it
  int a;              // index in order A
};
std::vector<ReportedStatistic> ReportedStatistics(const ScalingUpState& st);
// The statistic's own name in its label, e.g. "r(XE.T)" in "TDAP: r(XE.T)".
std::string StatisticSymbol(const char* label);

// The statistics heading and the correlation lines with the null-model notes.
void WriteStatisticsSection(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& rec);
// Regression models (opt_ro 4).
void WriteRegressionSection(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& rec);
// Analysis of variance (opt_ro 5).
void WriteAnovaSection(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& rec);
// Permutations, seed, elapsed seconds and the null model.
void WriteTestSettingsSection(const ReportContext& c, double elapsedSeconds);
// Richness, Gini-Simpson, Rao entropies, redundancies and their Jost forms.
void WriteDiversitySection(const ReportContext& c);
// The positive-eigenvalue ordination of a dissimilarity matrix between n
// communities, as the report prints it.
struct CommunityOrdination {
  int axes = 0;                 // eigenvalues kept (their percentage above 1e-6)
  std::vector<double> eigval;   // all n, descending
  double positiveSum = 0;       // sum of the positive eigenvalues
  Matrix<double> scores;        // min(axes, vectors asked for) x n
};
// Principal coordinates of the n communities from their distances D, with
// the scores of the first `vectors` axes (the report shows no more).
CommunityOrdination OrdinateCommunities(int n, const double* const* D, int vectors);

// The ordinations the report printed (none unless the congruence is a matrix
// correlation).
struct ReportedOrdinations {
  bool computed = false, hasP = false;
  CommunityOrdination Y, X, P;
};

// Principal coordinates of Y, X (its resemblances by reseOpt) and, with a
// phylogeny, P, with the scores of the first `vectors` axes; X is the
// observed fuzzy X or Xcrisp.
ReportedOrdinations OrdinateCompositions(const ScalingUpState& st, const double* const* X, int reseOpt,
                                         int vectors);
// Their section of the report, with the correlation tables; Tall holds the
// community means over all traits. Nothing when they were not computed.
void WriteOrdinationsSection(const ReportContext& c, const ReportedOrdinations& ords, const double* const* X,
                             const double* const* Tall);

}  // namespace kalios
