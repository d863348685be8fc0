#pragma once
// Options of the analyses. Every option is zero when the program starts and
// keeps its value between the analyses of a session until a settings dialogue
// sets it again; a branch of the dialogue that skips a question leaves the
// option behind it as the previous analysis set it. The first block is what
// the session's track file records.
#include <string>
#include <vector>

namespace kalios {

struct AnalysisOptions {
  // Recorded in the track file.
  int isHierarchical = 0;
  int traitBasedOpt = 0;     // 1: trait-based scaling up from OTUs to communities
  int optEnvStruct = 0;
  int rese_opt = 0;          // resemblance between communities (6 to 10)
  int reseCstOpt = 0;
  int partOpt = 0;           // data partition: 0 none, 1 quantitative, 2 qualitative component
  int fuzzy = 0;             // 0 crisp, 3 fuzzy belonging of OTUs to types
  double fuzziness = 0;
  int reseTypeOrd = 0;
  int reseTypeClus = 0;
  int reseTypeEv = 0;
  int reseTypeRnd = 0;
  int reseTypeERank = 0;
  int cohe = 0;
  int groupDissMeth = 0;
  int empir_opt = 0;
  int keepRichness = 0;
  int whichPartAOC = 0;
  int whichPartCstAOC = 0;
  int doDistrib = 0;
  int adjacentRelOpt = 0;
  int whichLevelCst = 0;
  int poolCSTopt = 0;        // 1 monothetic, 2 polythetic pooling of OTUs
  int clusMethPoolCSTs = 0;  // clustering method for types of OTUs; 0 none

  // Set by the functional analysis settings and read by the analysis.
  bool OTUsTypesAreSpecies = false;  // the session's species are the OTU types
  int reseCSTopt = 0;                // resemblance between OTUs: 1 Gower, 2 Euclidean
  bool optRndTests = false;          // permutation tests are run
  int niter = 0;                     // permutations, 1 to 2147483647
  bool optWeightedNullModel = false;
  char optTaxaSiteShuffle = 0;       // 't' taxa shuffle, 's' site shuffle
  int optRestrictPermutNullModel = 0;  // 1: permutations within nesting groups of OTUs
  std::vector<int> nestingMembershipOTUs;  // nesting group of each OTU (restriction 1 only)
  bool doBootstrapOpt = false;       // bootstrap resampling of communities
  int seedOpt = 0;                   // 1 seed from the clock, 2 typed
  unsigned rseed = 0;                // seed of the random number generator
  int opt_ro = 0;  // congruence: 1 matrix correlation, 2 Procrustes, 3 RV, 4 regression, 5 ANOVA
  int whichObj = 0;                  // 'r' when a resemblance between communities is asked
  char opt_MatrixCorr = 0;           // 'm' Mantel, 'r' Rd
  bool squareDistMatrixOpt = false;  // squared distances in the matrix correlation
  bool restrictRaoWithinOpt = false; // fuzzy weighting and diversity within the selected OTUs
  bool keepAdditivity = false;       // false keeps the scale of all OTUs after excluding some
  bool optUnitTotalAdjust2 = false;  // W to unit total in each community
  bool fuzzyPhyl = false;            // fuzzy belonging of OTUs to taxa
  int nTaxa = 0;                     // distinct labels of the phylogenetic partition
  bool optCoVariable = false;
  int printDetail = 0;               // 1: detailed results in the printout
  std::string prindaMode;            // "w" replace the results file, "a" append

  // The trait ranking criterion; the ranking settings set it and the functional
  // analysis settings read it.
  int opt_struct = 0;
};

}  // namespace kalios
