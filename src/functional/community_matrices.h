#pragma once
// The working matrices of one functional analysis and the steps that build
// them from the session data: the selected ecological variables and the
// resemblance between communities, the three community matrices, the Beals
// smoothed composition, the Gini-Simpson index, the trait similarity between
// OTUs, the belonging of OTUs to types and the descriptors derived from it.
// Every step reads the session data and the options and writes only into the
// state, so a step can be run again (the bootstrap rebuild does) and the
// session data stay as they were loaded.
#include <vector>

#include "session/options.h"
#include "numlib/matrix.h"
#include "session/dataset.h"
#include "shell/state.h"

namespace kalios {

struct ScalingUpState {
  // Counts: communities, OTUs, traits, types, selected variables, taxa.
  int n = 0, s = 0, p = 0, k = 0, e = 0, nTaxa = 0;
  int nSelectedTraits = 0;
  bool anyExcluded = false;      // some OTU has weight 0
  bool keepScale = false;        // anyExcluded and the user kept the scale of all OTUs
  bool nominalSelected = false;  // a selected trait is nominal: no T statistics
  bool typesAnalysed = false;    // at least 2 OTUs and 2 types

  // Ecological variables.
  Matrix<double> Eprime;         // n x e, the selected columns of E
  // E' as the statistics on E itself (Procrustes, RV, regression) read it:
  // standardized when E is compared on standardized variables (quantitative
  // variables in different units, binary ones), so that no variable weighs
  // by its units alone; E' as it is otherwise.
  Matrix<double> Etest;
  std::vector<int> envTypes;     // e, their types
  std::vector<int> envColumns;   // e, their columns in E
  Matrix<double> DE;             // n x n

  // Composition.
  Matrix<double> Wraw, Wtcap, Wtdap;  // n x s
  // W for the diversity measures: W for TCAP without the quantitative
  // component of the data partition, whose deviations from the mean
  // abundance are negative as often as positive and give no defined
  // Gini-Simpson index or Rao entropy (the qualitative component, equal
  // weights of the present OTUs, stays).
  Matrix<double> Wdiv;
  std::vector<int> richness;          // n
  Matrix<double> Y, DY;               // n x s, n x n
  std::vector<double> D;              // Gini-Simpson index, n

  // Phylogeny.
  bool phylogeny = false;
  bool phyloIsDissim = false;
  Matrix<double> SF;              // s x s
  Matrix<double> phyloScores;     // s x nPhyloAxes
  int nPhyloAxes = 0;
  Matrix<double> Q, P, DP;        // s x nTaxa, n x nTaxa, n x n
  std::vector<int> taxonFlags;    // per taxon column: 1 when it holds a selected OTU
  std::vector<double> Rp, PR;     // n

  // Traits and types.
  std::vector<int> chSelect;      // p, 1 for a selected trait
  Matrix<double> Bprime;          // s x p, unselected columns zeroed
  Matrix<double> S;               // s x s
  std::vector<int> typeFlags;     // per type column: 1 when it holds a selected OTU
  Matrix<double> U, Ucrisp;       // s x k
  Matrix<double> Xcrisp;          // n x k
  std::vector<double> Rf, FR;     // n
  std::vector<int> typeLabels;    // k sorted distinct labels
  std::vector<int> typeCounts;    // k
  Matrix<double> typeTraits;      // k x p average traits of the types

  Matrix<double> T;               // n x p community weighted means

  // Filled by the permutation test with the observed values.
  Matrix<double> Tobs;            // n x (p + 2), normalized T, R and Rphyl
  Matrix<double> X;               // n x k
  Matrix<double> Pobs;            // n x nTaxa
  std::vector<double> R, Rphyl;   // n
  Matrix<double> V;               // 2 x n
};

// Counts, the trait selection, the excluded OTUs and whether the phylogeny
// takes part: what the header of the report already needs.
void NoteSelections(const DataSet& ds, const AnalysisOptions& o, ScalingUpState& st);

// E' (the selected variables, compacted) and DE by the kind of E.
void BuildEnvironment(const DataSet& ds, const Preferences& prefs, ScalingUpState& st);

// W as loaded (communities as rows) into the three composition matrices, and
// the richness of each community.
void FillCompositions(const DataSet& ds, ScalingUpState& st);

// Unit totals, the data partition and the exclusion of OTUs on W for TCAP and
// W for TDAP.
void AdjustCompositions(const DataSet& ds, const AnalysisOptions& o, ScalingUpState& st);

// Y, and DY when the congruence is a matrix correlation.
void BuildBeals(const AnalysisOptions& o, const Preferences& prefs, ScalingUpState& st);

// The Gini-Simpson index of each community from W for TCAP.
void BuildGiniSimpson(const DataSet& ds, const AnalysisOptions& o, ScalingUpState& st);

// B' and the Gower similarity S of the OTUs by the selected traits (after
// NoteSelections).
void BuildTraitSimilarity(const DataSet& ds, const Preferences& prefs, ScalingUpState& st);

// U, Ucrisp, Xcrisp, Rf, FR (and PR), and the type summaries. Sets
// typesAnalysed; with fewer than 2 OTUs or types nothing else is computed.
void BuildTypes(const DataSet& ds, const AnalysisOptions& o, const Preferences& prefs, ScalingUpState& st);

// Per column of a belonging matrix (s OTUs x k groups, groups numbered by the
// sorted distinct labels of partition), 1 when some OTU of the group has a
// positive weight.
std::vector<int> GroupFlags(int s, int k, const int* partition, const int* weight_OTUs);

// True when the partition makes OTU j the j-th group for every j (k == s and
// the labels ascend with the OTUs): then group column j stands for OTU j.
bool IsIdentityPartition(int s, int k, const int* partition);

// Multiplies each column j of M (s x k) by flags[j] and brings the rows back to
// unit total.
void ExcludeGroupColumns(int s, int k, double** M, const std::vector<int>& flags);

// T = W for TCAP x B' by the weighted product over the selected traits (select
// null: every column), each term carrying its OTU's weight, into st.T.
void ComputeCommunityMeans(const DataSet& ds, const int* select, ScalingUpState& st);

// The average trait matrix of the crisp types (k x p): the mean of each trait
// over the members of the type whose value is present, -999 when none is.
void TypeAverageTraits(int s, int k, int p, const double* const* Ucrisp, const double* const* B, double** out);

}  // namespace kalios
