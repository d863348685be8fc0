#pragma once
// Every community descriptor and every statistic that the permutation test of
// the functional analysis tests, for one data set: the community trait
// matrices T, X and P, the Rao entropies, the nearest-neighbour
// cross-referenced distances (NNCRD) and their residuals on OTU richness, the
// resemblances between communities, and then by statistic mode the matrix
// correlations with their partials (modes 1 to 3), regressions of the
// descriptors on the ecological variables (mode 4) or pseudo-F values of an
// analysis of variance by each ecological factor (mode 5).
//
// The permutation test calls FunctionalPhyl_Stats_Lib once on the observed
// data and again on every resampled or permuted data set, so the working
// record doubles as a workspace: it is sized on the first call and reused
// as long as the counts of the input stay the same. A statistic that comes
// out degenerate (constant matrices, singular regression, no within-group
// variation) is reported as 0, never as NaN or infinity.
#include <array>
#include <vector>

#include "numlib/matrix.h"
#include "testing/permtest_record.h"

namespace kalios {

// Statistics of the working record, in its declaration order.
enum FunctionalStat : int {
  kS_TE, kS_XE, kS_XT, kS_XE_T, kS_RE, kS_XR, kS_TR, kS_XE_R, kS_TE_R, kS_XT_R, kS_XE_TR,
  kS_VE, kS_TY, kS_XY, kS_XY_T, kS_XY_R, kS_TY_R, kS_XY_TR, kS_RY, kS_VY, kS_BF, kS_FE,
  kS_PE, kS_PT, kS_PX, kS_PX_T, kS_TE_P, kS_XE_P, kS_XE_TP, kS_PE_T, kS_PE_X, kS_XT_P,
  kNumFunctionalStats
};
inline constexpr std::array<const char*, kNumFunctionalStats> kFunctionalStatNames = {
    "r(TE)",   "r(XE)",   "r(XT)",   "r(XE.T)", "r(RE)",    "r(XR)",   "r(TR)",    "r(XE.R)",
    "r(TE.R)", "r(XT.R)", "r(XE.TR)", "r(VE)",  "r(TY)",    "r(XY)",   "r(XY.T)",  "r(XY.R)",
    "r(TY.R)", "r(XY.TR)", "r(RY)",  "r(VY)",   "r(BF)",    "r(FE)",   "r(PE)",    "r(PT)",
    "r(PX)",   "r(PX.T)", "r(TE.P)", "r(XE.P)", "r(XE.TP)", "r(PE.T)", "r(PE.X)",  "r(XT.P)"};

struct FunctionalPhyl_Stats_Lib_Input {
  int reseCodeX = 0;   // resemblance code for X and P, translated from rese_opt
  int reseCodeT = 3;   // Euclidean distance for T
  int nExtraCols = 0;  // columns after the traits in T: R, and Rphyl with a phylogeny

  Matrix<double> Bnorm;  // nOTUs x nch, B with normalized columns (for r(BF))
  Matrix<double> T;      // ncsm x (nch + 2)
  Matrix<double> X;      // ncsm x nTypes
  Matrix<double> P;      // ncsm x nTaxa
  std::vector<double> R;                // Rao entropy from Sb
  Matrix<double> Rcol, Rrow;            // ncsm x 1 and 1 x ncsm
  Matrix<double> Vcol, Vrow;            // NNCRD residuals on richness
  Matrix<double> RphylCol, RphylRow;    // Rao entropy from Sf
  bool raoFlag = false;                 // Rao entropy on relative abundances
  Matrix<double> DX, DT, DR, DV, DRaoPhyl, DP;  // ncsm x ncsm
  Matrix<double> richnessCol, residualCol;      // ncsm x 1

  std::array<double, kNumFunctionalStats> stat{};  // see FunctionalStat

  Matrix<int> factorPartitions;  // mode 5: nEnv x ncsm, each variable's values as group labels
  Matrix<double> predicted;      // mode 4: ncsm x responses
  std::vector<double> totalSS;   // mode 4: per response
  double SSTotal = 0.0;          // mode 5: total sum of squares of the last analysis

  // Also kept here, so that a test can read the values of a permuted data set
  // without touching the observed ones in the caller's vectors.
  std::vector<double> Rphyl;  // Rao entropy from Sf
  std::vector<double> nncrd;  // NNCRD before the residual step
  // Mode 4: per response (nch traits, then R and with a phylogeny Rphyl).
  std::vector<double> rsq, intercept;
  Matrix<double> coef;  // nEnv x responses
  // Mode 5: per ecological variable; per variable and trait.
  std::vector<double> pseudoF_T, pseudoF_X, pseudoF_P, pseudoF_R, pseudoF_Rphyl;
  Matrix<double> pseudoF_Traits;  // nEnv x nch

  // Work space.
  Matrix<double> Dtrait;  // ncsm x ncsm, distances on one trait (mode 5)
  int ncsm_ = -1, nOTUs_ = -1, nch_ = -1, nTypes_ = -1, nTaxa_ = -1, nEnv_ = -1;
  bool phylo_ = false;

  double& operator[](FunctionalStat s) { return stat[static_cast<std::size_t>(s)]; }
  double operator[](FunctionalStat s) const { return stat[static_cast<std::size_t>(s)]; }
};

// Sizes the working record for the counts of the input (a no-op when they
// have not changed since the last call).
void PrepareFunctionalPhylStats(const PermTest_FunctionalPhyl_Correl_Input& input,
                                FunctionalPhyl_Stats_Lib_Input& stats);

// Computes the descriptors and the statistics of the input's mode into stats;
// in modes 4 and 5 also into the caller's result vectors of the input record
// that are not null (rsqRegr and interceptRegr: nch + nExtraCols values,
// coefRegr: nEnv rows of as many; pseudoF_*: nEnv values, pseudoF_Traits:
// nEnv rows of nch). A permutation test that must keep the observed values
// passes null result pointers and reads the values from stats. Writes the intermediate results to input->rndDataFile
// when input->printIntermediate is set and the stream is not null. A
// rese_opt below 1 writes "Undefined resemblance option!\n" to standard
// error and aborts the analysis with code 1. Returns 1.
int FunctionalPhyl_Stats_Lib(PermTest_FunctionalPhyl_Correl_Input* input, FunctionalPhyl_Stats_Lib_Input* stats);

// The NNCRD of every community from in.DE and st.DX into st.nncrd, and its
// residuals on the richness in st.richnessCol into st.Vcol and st.Vrow. With
// a constant richness there is no slope to fit and the residuals are the
// centred NNCRD, which spares a singular regression (and its warning).
void NNCRDResiduals(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& st);

// r(BF): the trait matrix B (and its similarity Sb) against the phylogeny
// (scores of the input and similarity Sf), in the statistic of the input's
// mode. Uses st.Bnorm as working space.
double PhylogeneticSignal(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& st,
                          const double* const* B, const double* const* Sb, const double* const* Sf);

// The tested statistics of the working record in index order A (obsStat),
// kNumPermStats values.
void StatsToOrderA(const FunctionalPhyl_Stats_Lib_Input& stats, double* orderA);

}  // namespace kalios
