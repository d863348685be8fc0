#pragma once
// The record through which the functional analysis and the simulation study
// hand a data set to the permutation test engine, and in which the engine
// returns the observed statistics with their P-values, effect sizes, expected
// values, limits and asymmetry-based P-values.
//
// The record owns nothing: every pointer refers to caller-owned storage that
// outlives the test. Matrices are row-pointer tables (a kalios::Matrix passes
// directly). The tested statistics come in two index orders, A for obsStat and
// probStat and B for the summaries; the callers read them as they stand, so
// the two orders are kept exactly as below.
#include <array>
#include <iosfwd>

namespace kalios {

// Index order A (obsStat, probStat).
enum PermStatA : int {
  kA_XE = 0,
  kA_TE = 1,
  kA_XE_T = 2,
  kA_RE = 3,
  kA_XE_TR = 4,
  kA_VE = 5,
  kA_TY = 6,
  kA_XY = 7,
  kA_XY_T = 8,
  kA_XY_TR = 9,
  kA_RY = 10,
  kA_VY = 11,
  kA_BF = 12,
  kA_FE = 13,
  kA_PE = 14,
  kA_PT = 15,
  kA_PX = 16,
  kA_PX_T = 17,
  kA_TE_P = 18,
  kA_XE_P = 19,
  kA_XE_TP = 20,
  kA_PE_T = 21,
  kA_PE_X = 22,
};

// Index order B (sesStat, expStat, llStat, ulStat, asymProbStat).
enum PermStatB : int {
  kB_TE = 0,
  kB_XE = 1,
  kB_XE_T = 2,
  kB_RE = 3,
  kB_VE = 4,
  kB_XE_TR = 5,
  kB_BF = 6,
  kB_FE = 7,
  kB_PE = 8,
  kB_PT = 9,
  kB_PX = 10,
  kB_PX_T = 11,
  kB_TE_P = 12,
  kB_XE_P = 13,
  kB_XE_TP = 14,
  kB_PE_T = 15,
  kB_PE_X = 16,
  kB_TY = 17,
  kB_XY = 18,
  kB_XY_T = 19,
  kB_XY_TR = 20,
  kB_RY = 21,
  kB_VY = 22,
};

// Number of tested statistics; obsStat has one spare slot at the end.
inline constexpr int kNumPermStats = 23;
inline constexpr int kNumObsStats = 24;

// Names of the statistics in order A and in order B.
inline constexpr std::array<const char*, kNumPermStats> kPermStatNamesA = {
    "r(XE)",    "r(TE)",  "r(XE.T)", "r(RE)",  "r(XE.TR)", "r(VE)",   "r(TY)",    "r(XY)",
    "r(XY.T)",  "r(XY.TR)", "r(RY)", "r(VY)",  "r(BF)",    "r(FE)",   "r(PE)",    "r(PT)",
    "r(PX)",    "r(PX.T)", "r(TE.P)", "r(XE.P)", "r(XE.TP)", "r(PE.T)", "r(PE.X)"};
inline constexpr std::array<const char*, kNumPermStats> kPermStatNamesB = {
    "r(TE)",   "r(XE)",   "r(XE.T)", "r(RE)",  "r(VE)",   "r(XE.TR)", "r(BF)",   "r(FE)",
    "r(PE)",   "r(PT)",   "r(PX)",   "r(PX.T)", "r(TE.P)", "r(XE.P)", "r(XE.TP)", "r(PE.T)",
    "r(PE.X)", "r(TY)",   "r(XY)",   "r(XY.T)", "r(XY.TR)", "r(RY)",  "r(VY)"};

// Position in order B of the statistic at position a of order A, and back.
inline constexpr std::array<int, kNumPermStats> kPermStatAtoB = {
    kB_XE,    kB_TE,   kB_XE_T, kB_RE,   kB_XE_TR, kB_VE,   kB_TY,    kB_XY,
    kB_XY_T,  kB_XY_TR, kB_RY,  kB_VY,   kB_BF,    kB_FE,   kB_PE,    kB_PT,
    kB_PX,    kB_PX_T, kB_TE_P, kB_XE_P, kB_XE_TP, kB_PE_T, kB_PE_X};
inline constexpr std::array<int, kNumPermStats> kPermStatBtoA = {
    kA_TE,   kA_XE,   kA_XE_T, kA_RE,   kA_VE,    kA_XE_TR, kA_BF,   kA_FE,
    kA_PE,   kA_PT,   kA_PX,   kA_PX_T, kA_TE_P,  kA_XE_P,  kA_XE_TP, kA_PE_T,
    kA_PE_X, kA_TY,   kA_XY,   kA_XY_T, kA_XY_TR, kA_RY,    kA_VY};

static_assert(
    [] {
      for (int a = 0; a < kNumPermStats; ++a)
        if (kPermStatBtoA[kPermStatAtoB[a]] != a) return false;
      return true;
    }(),
    "the two orders must map onto each other");

// True for the partial statistics (counted on absolute values with a two-tailed
// test), indexed in order A.
inline constexpr bool IsPartialPermStatA(int a) {
  return a == kA_XE_T || a == kA_XE_TR || a == kA_XY_T || a == kA_XY_TR || a == kA_PX_T || a == kA_TE_P ||
         a == kA_XE_P || a == kA_XE_TP || a == kA_PE_T || a == kA_PE_X;
}

// Statistic modes (opt_ro).
enum StatMode : int {
  kModeMantel = 1,      // matrix correlations of resemblances (opt_MatrixCorr)
  kModeProcrustes = 2,  // Procrustes correlations, partials on principal-component residuals
  kModeRV = 3,          // RV coefficients, first-order partials
  kModeRegression = 4,  // regression of the descriptors on the ecological variables
  kModePseudoF = 5,     // pseudo-F of the descriptors by each ecological factor
};

struct PermTest_FunctionalPhyl_Correl_Input {
  int niter = 0;             // iterations including the observed one
  int nch = 0;               // traits (columns of B)
  int* chSelect = nullptr;   // per trait, 1 = selected
  int nOTUs = 0;
  int nTypes = 0;            // columns of U
  int nTaxa = 0;             // columns of Q
  int nEnv = 0;              // columns of E
  int* eVarSelect = nullptr; // per ecological variable, 1 = selected
  int ncsm = 0;              // communities
  int* relSelect = nullptr;  // community selection for the group sums of squares
  int nPhyloAxes = 0;        // columns of phyloScores

  double** B = nullptr;            // nOTUs x nch
  double** Sb = nullptr;           // nOTUs x nOTUs trait similarity
  double** phyloScores = nullptr;  // nOTUs x nPhyloAxes
  double** Sf = nullptr;           // nOTUs x nOTUs phylogenetic (dis)similarity
  double** E = nullptr;            // ncsm x nEnv
  double** U = nullptr;            // nOTUs x nTypes
  double** Q = nullptr;            // nOTUs x nTaxa
  double** DE = nullptr;           // ncsm x ncsm
  double** DY = nullptr;           // ncsm x ncsm
  double** W = nullptr;            // ncsm x nOTUs
  double** Wadj = nullptr;         // ncsm x nOTUs, the W used for T and the Rao entropies
  // ncsm x nOTUs, the W of the Rao entropies when it is not Wadj (null: Wadj).
  double** Wrao = nullptr;
  double** Y = nullptr;            // ncsm x nOTUs, Beals-smoothed

  std::array<double, kNumObsStats> obsStat{};    // order A
  std::array<double, kNumPermStats> probStat{};  // order A
  // Order A: false for a statistic that the null model cannot test (the site
  // shuffle leaves it unchanged, or breaks a tie to W that is not the one
  // tested); its P, SES, E, limits and asymmetry-based P are then 0 and mean
  // nothing.
  std::array<bool, kNumPermStats> tested{};

  // Regression mode (opt_ro 4); responses are the nch traits then R (and Rphyl).
  double* rsqRegr = nullptr;         // per response
  double* interceptRegr = nullptr;   // per response
  double* probRsqRegr = nullptr;     // per response
  double** coefRegr = nullptr;       // [variable][response], nEnv x responses
  double** probCoefRegr = nullptr;   // [variable][response]
  // Pseudo-F mode (opt_ro 5): per ecological variable.
  double* pseudoF_X = nullptr;
  double* pseudoF_T = nullptr;
  double** pseudoF_Traits = nullptr;  // [variable][trait], nEnv x nch
  double* pseudoF_P = nullptr;
  double* pseudoF_R = nullptr;
  double* pseudoF_Rphyl = nullptr;
  double* probPseudoF_X = nullptr;
  double* probPseudoF_T = nullptr;
  double** probPseudoF_Traits = nullptr;
  double* probPseudoF_P = nullptr;
  double* probPseudoF_R = nullptr;
  double* probPseudoF_Rphyl = nullptr;

  std::array<double, kNumPermStats> sesStat{};  // order B
  double* sesRsqRegr = nullptr;
  double** sesCoefRegr = nullptr;
  double* sesPseudoF_T = nullptr;
  double** sesPseudoF_Traits = nullptr;
  double* sesPseudoF_X = nullptr;
  double* sesPseudoF_P = nullptr;
  double* sesPseudoF_R = nullptr;
  double* sesPseudoF_Rphyl = nullptr;

  std::array<double, kNumPermStats> expStat{};  // order B
  double* expRsqRegr = nullptr;
  double** expCoefRegr = nullptr;
  double* expPseudoF_T = nullptr;
  double** expPseudoF_Traits = nullptr;
  double* expPseudoF_X = nullptr;
  double* expPseudoF_P = nullptr;
  double* expPseudoF_R = nullptr;
  double* expPseudoF_Rphyl = nullptr;

  std::array<double, kNumPermStats> llStat{};        // order B
  std::array<double, kNumPermStats> ulStat{};        // order B
  std::array<double, kNumPermStats> asymProbStat{};  // order B

  int rese_opt = 0;               // resemblance option for X and P (1-based)
  int opt_ro = 0;                 // statistic mode, see StatMode
  // Set by the test engine while it evaluates null models: the kept centred
  // cells of DE and DY for the Mantel statistic (null: none kept).
  const struct FixedResemblances* fixedResemblances = nullptr;
  char opt_MatrixCorr = 'm';      // 'm', 'r', 'p' or 'v'
  bool squareDistMatrixOpt = false;
  double overfitFactorPCARegr = 2.0;
  bool printIntermediate = false;
  bool optWeightedNullModel = false;
  bool includePhylogeny = false;
  bool phylogenyIsDissim = false;
  bool sqrtDissimOpt_RaoTraits = true;
  bool sqrtDissimOpt_RaoPhyl = false;
  int optRestrictPermutNullModel = 0;
  int* nestingMembershipOTUs = nullptr;
  int optTaxaSiteShuffle = 't';   // 't' taxa shuffle, 's' site shuffle
  bool twoTailedTest = true;
  bool oneMatrixPermPartialCorr = false;
  bool nonParametricSES_opt = true;

  double** Tout = nullptr;     // ncsm x (nch + 2): observed T
  double** Xout = nullptr;     // ncsm x nTypes
  double** Pout = nullptr;     // ncsm x nTaxa
  double* Rout = nullptr;      // ncsm
  double* RphylOut = nullptr;  // ncsm
  double** V = nullptr;        // 2 x ncsm: NNCRD, then its residuals on richness
  int* richness = nullptr;     // OTUs per community
  int* weight_OTUs = nullptr;  // OTU weights of the community-weighted products
  bool restrictRaoWithinOpt = false;
  // Whether column j of U (of Q) stands for OTU j, every OTU its own type
  // (taxon) in order: only then do the OTU flags also weight the columns of
  // the products X = W x U (P = W x Q).
  bool typesAreOTUs = false;
  bool taxaAreOTUs = false;
  bool doBootstrapOpt = false;
  std::ostream* rndDataFile = nullptr;  // intermediate results; null when not saved
  // Where the null values of the tested statistics go, when the caller wants
  // to look at their distributions: kNumPermStats rows in order A, the values
  // of the first nullValuesKept iterations (at most niter - 1) in iteration
  // order (null: not kept).
  double** nullValues = nullptr;
  int nullValuesKept = 0;
  // Likewise for the linear-model results (regression and pseudo-F modes),
  // one row per result: regression, the r square of each response, then the
  // coefficients [variable][response]; pseudo-F, T per variable, the traits
  // [variable][trait], then X, P, R and Rphyl per variable.
  double** nullLinearValues = nullptr;
};

}  // namespace kalios
