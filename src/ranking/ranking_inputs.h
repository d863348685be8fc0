#pragma once
// Everything the trait subset search reads, prepared once before it starts:
// the two copies of W, E and its resemblance, Y or P with theirs when the
// criterion needs them, B with the unused traits blanked, and the per-trait
// Gower similarities of the OTUs from which each subset's similarity is
// averaged.
#include <vector>

#include "numlib/matrix.h"
#include "ranking/ranking_options.h"
#include "session/dataset.h"
#include "session/options.h"

namespace kalios {

// The preferences the ranking reads.
struct RankingPrefs {
  int sDigits = 6;
  int countDoubleAbsence = 1;
  bool sqrtDissimOpt_RaoTraits = true;
  bool BealsIncludeOpt = true;
  double overfitFactorPCARegr = 2.0;
  int threads = 0;  // 0: as the parallel runtime is set
};

struct RankingInputs {
  int mode = 10;
  int n = 0, s = 0, p = 0, e = 0;  // communities, OTUs, traits, selected variables of E

  // Options as the search uses them.
  int opt_ro = 1;
  char corrKind = 'm';  // 'm' Mantel, 'r' Rd, 'p' Procrustes, 'v' RV
  bool squareDist = false;
  int rese_opt = 6;
  int reseCSTopt = 1;   // 1 Gower similarities, 2 Euclidean distances between OTUs
  int fuzzy = 3;
  int clusMeth = 0;     // clustering of OTUs into types; 0 uses the given partition
  bool sqrtRao = true;
  bool restrictRao = false;
  double overfit = 2.0;
  int nMinTypes = 0, nMaxTypes = 0;

  std::vector<int> chtype, onsta;
  std::vector<double> weight;
  std::vector<int> weightOTUs;   // s
  std::vector<int> partition;    // s, the given types
  int nGroups = 0;

  Matrix<double> W1;   // n x s, for X, P, Y, R and S
  Matrix<double> W2;   // n x s, for T
  Matrix<double> E, DE;
  Matrix<double> Y, DY;
  Matrix<double> P, DP;
  Matrix<double> F, Q;     // phylogenetic resemblance of the OTUs, their belonging to taxa
  std::vector<int> taxa;   // s, the taxon of each OTU
  int nTaxa = 0;
  Matrix<double> Bp;       // s x p, zero-weight traits blanked
  Matrix<double> Brange;   // s x p, B' range-adjusted (Euclidean resemblance)
  Array3<double> partials; // [i][j][trait]
};

bool ModeNeedsX(int mode);
bool ModeNeedsE(int mode);

void BuildRankingInputs(const DataSet& d, const AnalysisOptions& o, const RankingOptions& r,
                        const RankingPrefs& prefs, int mode, RankingInputs& in);

}  // namespace kalios
