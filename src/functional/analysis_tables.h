#pragma once
// The tables of a functional analysis beside its results file, for R, Python
// or a spreadsheet: "<session>Stats.tsv" with one row per tested statistic
// (long form), "<session>Communities.tsv" with one row per community.
#include <string>
#include <vector>

#include "functional/report.h"

namespace kalios {

inline constexpr const char* kStatsTableExt = "Stats.tsv";
inline constexpr const char* kCommunitiesTableExt = "Communities.tsv";

std::string StatsTableHeader();
// The rows of every tested statistic of the analysis: the correlations in the
// order of the report, or the regression terms, or the pseudo-F values.
// `stamp` names the analysis (its date-and-time line without the newline).
std::string StatsTableRows(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& r,
                           const std::string& stamp);

// The names of the null model and of the congruence statistic as the tables
// give them.
std::string NullModelName(const AnalysisOptions& o);
std::string CongruenceName(const AnalysisOptions& o);

// Columns describing the communities, gathered as the analysis computes them.
class CommunityTable {
 public:
  void Add(const std::string& name, std::vector<double> values);
  std::string Header() const;
  std::string Rows(const std::vector<std::string>& communities, const std::string& stamp) const;

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<double>> columns_;
};

// Richness, the diversity indices and, when T was computed, the community
// weighted means of the selected traits, raw and normalized as the tests use
// them (a missing mean is an empty cell).
void AddCommunityDescriptors(const ReportContext& c, CommunityTable& table);
// The first axes of an ordination (as many as the report shows), named
// "<prefix>1", "<prefix>2", ...
void AddOrdinationScores(const CommunityOrdination& ord, int axes, const std::string& prefix, CommunityTable& table);

// The community labels in session order (their numbers where a label is missing).
std::vector<std::string> CommunityLabels(const DataSet& ds, int n);

}  // namespace kalios
