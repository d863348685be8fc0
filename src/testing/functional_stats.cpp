#include "testing/fixed_mantel.h"
#include "testing/functional_stats.h"

#include <climits>
#include <cmath>
#include <iostream>

#include "measures/diversity.h"
#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "numlib/print.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "testing/anova.h"
#include "testing/matrix_correlation.h"
#include "testing/regression.h"

namespace kalios {
namespace {

constexpr int kDigits = 6;

inline double FiniteOrZero(double x) { return std::isfinite(x) ? x : 0.0; }

// Resemblance between the rows of data by code; a code that computes nothing
// (0) leaves a zero matrix rather than the values of an earlier call.
void Resemblance(int n, int p, const double* const* data, Matrix<double>& D, int code) {
  if (code == 0) {
    D.Fill(0.0);
    return;
  }
  ResemblanceLib(n, p, data, D, 1, code, nullptr, 0.0, 0.0, 1, false);
}

// The group label of a community on an ecological factor: its value
// truncated to an int. A value an int cannot hold gets a label of its own
// kind rather than an undefined conversion.
int FactorLabel(double v) {
  if (!(v > static_cast<double>(INT_MIN)) || !(v < static_cast<double>(INT_MAX))) return INT_MIN;
  return static_cast<int>(v);
}

void ToColumnAndRow(int n, const double* v, Matrix<double>& col, Matrix<double>& row) {
  for (int i = 0; i < n; ++i) col[i][0] = row[0][i] = v[i];
}

// Pseudo-F of every ecological factor for one resemblance matrix.
void PseudoFPerFactor(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& st,
                      const double* const* D, std::vector<double>& out) {
  for (int k = 0; k < in.nEnv; ++k)
    out[static_cast<std::size_t>(k)] = PseudoF(in.ncsm, D, st.factorPartitions[k], in.relSelect, false, &st.SSTotal);
}

void CopyOut(const std::vector<double>& v, double* dst) {
  if (!dst) return;
  for (std::size_t i = 0; i < v.size(); ++i) dst[i] = v[i];
}

void PrintObservedHeader(const PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& st,
                         std::ostream& os) {
  Print(os, "\nPERMUTATION TEST FOR CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL CORRELATIONS ro(XE.T), "
            "ro(XE.TR)\n");
  Print(os, "INTERMEDIATE RESULTS\n");
  Print(os, "\nObserved trait matrix (B):\n");
  PrintMatrixTab(os, in.nOTUs, in.nch, in.B, kDigits);
  Print(os, "\nMatrix W (%d communities by %d OTUs):\n", in.ncsm, in.nOTUs);
  PrintMatrixTab(os, in.ncsm, in.nOTUs, in.W, kDigits);
  Print(os, "\n\nMatrix T (comunity weighted means traits in %d communities by %d traits) computed after B "
            "(T = W x B):\n",
        in.ncsm, in.nch);
  PrintMatrixTab(os, in.ncsm, in.nch, st.T, kDigits);
  switch (in.opt_ro) {
    case kModeRV:
      Print(os, "\nMatrix E of communities by ecological variables):\n");
      PrintMatrixTab(os, in.ncsm, in.nEnv, in.E, kDigits);
      Print(os, "\nRV coefficient between T and E:\t%g\n", st[kS_TE]);
      break;
    case kModeProcrustes:
      Print(os, "\nMatrix E of communities by ecological variables):\n");
      PrintMatrixTab(os, in.ncsm, in.nEnv, in.E, kDigits);
      Print(os, "\nProcrustes correlation between T and E:\t%g\n", st[kS_TE]);
      break;
    case kModeMantel:
      Print(os, "\nResemblance matrix DT between %d communities (based on matrix T of traits by communities):\n",
            in.ncsm);
      PrintLowerHalfMatrixTab(os, in.ncsm, st.DT, kDigits);
      Print(os, "\nResemblance matrix DE between %d communities (based on matrix E of ecological variables by "
                "communities):\n",
            in.ncsm);
      PrintLowerHalfMatrixTab(os, in.ncsm, in.DE, kDigits);
      Print(os, "\nMatrix correlation between DT and DE:\t%g\n", st[kS_TE]);
      break;
    default: break;
  }
  Print(os, "\nObserved belonging matrix (U):\n");
  PrintMatrixTab(os, in.nOTUs, in.nTypes, in.U, kDigits);
  Print(os, "\nObserved ro(XT)=\t%g\n", st[kS_XT]);
  Print(os, "Observed ro(XE)=\t%g\n", st[kS_XE]);
  Print(os, "Observed ro(XE.T)=\t%g\n", st[kS_XE_T]);
}

void PrintObservedDiversity(const PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalPhyl_Stats_Lib_Input& st,
                            std::ostream& os) {
  const bool mantel = in.opt_ro == kModeMantel;
  Print(os, "\nObserved similarity matrix (Sb) between OTUs, based on the traits:\n:");
  PrintMatrixTab(os, in.nOTUs, in.nOTUs, in.Sb, kDigits);
  Print(os, "\n\nRao entropy vector R (%d communities) computed after Sb:\n", in.ncsm);
  PrintVectorTab(os, in.ncsm, st.R.data(), kDigits);
  if (mantel) {
    Print(os, "\nResemblance matrix DR comparing communities based on their Rao entropy: \n");
    PrintLowerHalfMatrixTab(os, in.ncsm, st.DR, kDigits);
  }
  Print(os, "\n\nCommunity contribution to beta diversity (NNCRD: Nearest-Neighbour Cross-Referenced Distance "
            "based on X (target) referenced on E) (%d communities in vector V):\n",
        in.ncsm);
  PrintVectorTab(os, in.ncsm, st.nncrd.data(), kDigits);
  Print(os, "\n\nResiduals of community contribution to beta diversity (NNCRD: Nearest-Neighbour Cross-Referenced "
            "Distance based on X (target) referenced on E) after controlling for OTU richness (%d communities in "
            "vector V):\n",
        in.ncsm);
  PrintVectorTab(os, in.ncsm, st.Vrow[0], kDigits);
  if (mantel) {
    Print(os, "\nResemblance matrix DV comparing communities based on their NNCRD: \n");
    PrintLowerHalfMatrixTab(os, in.ncsm, st.DV, kDigits);
  }
  if (in.includePhylogeny) {
    if (in.phylogenyIsDissim)
      Print(os, "\nObserved dissimilarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:");
    else
      Print(os, "\nObserved similarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:");
    PrintMatrixTab(os, in.nOTUs, in.nOTUs, in.Sf, kDigits);
    Print(os, "\n\nRao entropy vector R (%d communities) computed after Sf:\n", in.ncsm);
    PrintVectorTab(os, in.ncsm, st.Rphyl.data(), kDigits);
    if (mantel) {
      Print(os, "\nResemblance matrix DRaoPhyl comparing communities after based on their Rao entropy using "
                "phylogenetic distances: \n");
      PrintLowerHalfMatrixTab(os, in.ncsm, st.DRaoPhyl, kDigits);
    }
  }
}

}  // namespace

void PrepareFunctionalPhylStats(const PermTest_FunctionalPhyl_Correl_Input& in,
                                FunctionalPhyl_Stats_Lib_Input& st) {
  const bool phylo = in.includePhylogeny;
  if (st.ncsm_ == in.ncsm && st.nOTUs_ == in.nOTUs && st.nch_ == in.nch && st.nTypes_ == in.nTypes &&
      st.nTaxa_ == in.nTaxa && st.nEnv_ == in.nEnv && st.phylo_ == phylo)
    return;
  const int n = in.ncsm, s = in.nOTUs, nch = in.nch, responses = in.nch + 2;
  const auto un = static_cast<std::size_t>(n), ue = static_cast<std::size_t>(in.nEnv),
             ur = static_cast<std::size_t>(responses);
  st.Bnorm.Resize(s, nch);
  st.T.Resize(n, responses);
  st.X.Resize(n, in.nTypes);
  st.P.Resize(phylo ? n : 0, in.nTaxa);
  st.R.assign(un, 0.0);
  st.Rphyl.assign(un, 0.0);
  st.nncrd.assign(un, 0.0);
  for (Matrix<double>* col : {&st.Rcol, &st.Vcol, &st.RphylCol, &st.richnessCol, &st.residualCol}) col->Resize(n, 1);
  for (Matrix<double>* row : {&st.Rrow, &st.Vrow, &st.RphylRow}) row->Resize(1, n);
  for (Matrix<double>* d : {&st.DX, &st.DT, &st.DR, &st.DV, &st.DRaoPhyl, &st.DP, &st.Dtrait}) d->Resize(n, n);
  st.factorPartitions.Resize(in.nEnv, n);
  st.predicted.Resize(n, responses);
  st.totalSS.assign(ur, 0.0);
  st.rsq.assign(ur, 0.0);
  st.intercept.assign(ur, 0.0);
  st.coef.Resize(in.nEnv, responses);
  for (std::vector<double>* f : {&st.pseudoF_T, &st.pseudoF_X, &st.pseudoF_P, &st.pseudoF_R, &st.pseudoF_Rphyl})
    f->assign(ue, 0.0);
  st.pseudoF_Traits.Resize(in.nEnv, nch);
  st.ncsm_ = n;
  st.nOTUs_ = s;
  st.nch_ = nch;
  st.nTypes_ = in.nTypes;
  st.nTaxa_ = in.nTaxa;
  st.nEnv_ = in.nEnv;
  st.phylo_ = phylo;
}

void NNCRDResiduals(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& st) {
  const int n = in.ncsm;
  NNCRD(n, in.DE, st.DX, st.nncrd.data());
  for (int c = 0; c < n; ++c) st.Vcol[c][0] = st.nncrd[static_cast<std::size_t>(c)];
  bool constantRichness = true;
  for (int c = 1; c < n; ++c) constantRichness = constantRichness && st.richnessCol[c][0] == st.richnessCol[0][0];
  Regression_ResidualsSelect(n, 1, constantRichness ? 0 : 1, st.Vcol, st.richnessCol, st.residualCol, nullptr);
  for (int c = 0; c < n; ++c) st.Vcol[c][0] = st.Vrow[0][c] = st.residualCol[c][0];
}

double PhylogeneticSignal(const PermTest_FunctionalPhyl_Correl_Input& in, FunctionalPhyl_Stats_Lib_Input& st,
                          const double* const* B, const double* const* Sb, const double* const* Sf) {
  const int mode = in.opt_ro;
  const char opt = mode == kModeProcrustes ? 'p' : mode == kModeRV ? 'v' : in.opt_MatrixCorr;
  // The configurations enter only the Procrustes and RV statistics.
  if (opt == 'p' || opt == 'v') NormalizeColsMV(in.nOTUs, in.nch, B, st.Bnorm);
  double r = MatrixCorrelationLib(in.nOTUs, in.nch, in.nPhyloAxes, st.Bnorm, in.phyloScores, Sb, Sf,
                                  in.squareDistMatrixOpt, opt);
  // Trait similarities against phylogenetic dissimilarities correlate
  // negatively when they agree; the resemblance statistics are turned
  // round. Procrustes and RV read the configurations, not Sf, and are
  // never negative.
  if (in.phylogenyIsDissim && (opt == 'm' || opt == 'r')) r = -r;
  return std::isfinite(r) ? r : 0.0;
}

int FunctionalPhyl_Stats_Lib(PermTest_FunctionalPhyl_Correl_Input* input, FunctionalPhyl_Stats_Lib_Input* stats) {
  PermTest_FunctionalPhyl_Correl_Input& in = *input;
  FunctionalPhyl_Stats_Lib_Input& st = *stats;
  PrepareFunctionalPhylStats(in, st);
  st.stat.fill(0.0);

  const int n = in.ncsm, s = in.nOTUs, nch = in.nch, nEnv = in.nEnv, nTypes = in.nTypes, nTaxa = in.nTaxa;
  const int mode = in.opt_ro;
  const bool corr = mode >= kModeMantel && mode <= kModeRV;
  const bool firstOrder = mode == kModeMantel || mode == kModeRV;  // partials by the first-order formula
  const bool partialPCA = mode == kModeProcrustes;                 // partials on principal-component residuals
  const bool withD = mode == kModeMantel || mode == kModePseudoF;  // resemblances between communities needed
  const bool phylo = in.includePhylogeny;
  // Procrustes and RV modes always use their own statistic.
  const char opt = mode == kModeProcrustes ? 'p' : mode == kModeRV ? 'v' : in.opt_MatrixCorr;
  const bool sq = in.squareDistMatrixOpt;
  const double ovf = in.overfitFactorPCARegr;
  st.reseCodeT = 3;
  st.nExtraCols = phylo ? 2 : 1;
  auto mcl = [&](int p, int q, const double* const* A, const double* const* B, const double* const* DA,
                 const double* const* DB) {
    if (opt == 'm' && in.fixedResemblances != nullptr) {
      const FixedMantelMatrix* f = in.fixedResemblances->Find(DA);
      if (f == nullptr) f = in.fixedResemblances->Find(DB);
      if (f != nullptr) return MatrixCorrFixed(*f, DA, DB);
    }
    return MatrixCorrelationLib(n, p, q, A, B, DA, DB, sq, opt);
  };
  const MatrixCovariate covT{nch, in.chSelect, st.T};
  const MatrixCovariate covX{nTypes, nullptr, st.X};
  const MatrixCovariate covP{nTaxa, nullptr, st.P};
  const MatrixCovariate covR{1, nullptr, st.Rcol};

  // 1. Community-weighted mean traits, each column scaled to unit length.
  st.T.Fill(0.0);
  MatrixProdSelectMV_Adjust_Weight(n, s, s, nch, in.Wadj, in.B, st.T, in.chSelect, in.weight_OTUs);
  NormalizeColsMV(n, nch, st.T, st.T);
  if (withD) Resemblance(n, nch, st.T, st.DT, st.reseCodeT);

  // 2. T against E and Y, or the pseudo-F of T and of each trait by factor.
  if (mode == kModePseudoF) {
    for (int k = 0; k < nEnv; ++k)
      for (int c = 0; c < n; ++c) st.factorPartitions[k][c] = FactorLabel(in.E[c][k]);
    PseudoFPerFactor(in, st, st.DT, st.pseudoF_T);
    st.pseudoF_Traits.Fill(0.0);
    for (int j = 0; j < nch; ++j) {
      if (in.chSelect && in.chSelect[j] != 1) continue;
      EucliDistMVSelectOne(n, nch, st.T, st.Dtrait, j + 1);
      for (int k = 0; k < nEnv; ++k)
        st.pseudoF_Traits[k][j] = PseudoF(n, st.Dtrait, st.factorPartitions[k], in.relSelect, false, &st.SSTotal);
    }
  } else if (corr) {
    st[kS_TE] = mcl(nch, nEnv, st.T, in.E, st.DT, in.DE);
    st[kS_TY] = mcl(nch, s, st.T, in.Y, st.DT, in.DY);
  }

  // 3. Resemblance code for X and P.
  if (in.rese_opt < 1) {
    std::cerr << "Undefined resemblance option!\n";
    Abort(kAbortOutOfMemory);
  }
  st.reseCodeX = TranslateReseOpt_KALIOS_PLOVEN(in.rese_opt);

  // 4. Composition fuzzy-weighted by trait (X) and phylogenetic (P) similarity.
  // The pair flags weight the columns too, which is meaningful only when
  // the columns are the OTUs themselves.
  const int* flagsX = in.typesAreOTUs && nTypes == s ? in.weight_OTUs : nullptr;
  MatrixProdSelectMV_Adjust_Weight(n, s, s, nTypes, in.W, in.U, st.X, nullptr, flagsX, in.restrictRaoWithinOpt);
  if (phylo) {
    const int* flagsP = in.taxaAreOTUs && nTaxa == s ? in.weight_OTUs : nullptr;
    MatrixProdSelectMV_Adjust_Weight(n, s, s, nTaxa, in.W, in.Q, st.P, nullptr, flagsP, in.restrictRaoWithinOpt);
  }
  Resemblance(n, nTypes, st.X, st.DX, st.reseCodeX);

  // 5. X against E, T and Y.
  if (corr) {
    st[kS_XE] = mcl(nTypes, nEnv, st.X, in.E, st.DX, in.DE);
    st[kS_XT] = mcl(nTypes, nch, st.X, st.T, st.DX, st.DT);
    st[kS_XY] = mcl(nTypes, s, st.X, in.Y, st.DX, in.DY);
    if (firstOrder) {
      st[kS_XY_T] = PartialCorrelation(st[kS_XY], st[kS_XT], st[kS_TY]);
      st[kS_XE_T] = PartialCorrelation(st[kS_XE], st[kS_XT], st[kS_TE]);
    } else if (partialPCA) {
      st[kS_XE_T] = PartialMatrixCorrelation(n, nTypes, nEnv, st.X, in.E, 2, ovf, {covT});
      st[kS_XY_T] = PartialMatrixCorrelation(n, nTypes, s, st.X, in.Y, 2, ovf, {covT});
    }
  } else if (mode == kModePseudoF) {
    PseudoFPerFactor(in, st, st.DX, st.pseudoF_X);
  }

  // 6. Phylogenetic statistics.
  if (phylo) {
    if (withD) Resemblance(n, nTaxa, st.P, st.DP, st.reseCodeX);
    if (corr) {
      st[kS_BF] = PhylogeneticSignal(in, st, in.B, in.Sb, in.Sf);
      st[kS_PE] = mcl(nTaxa, nEnv, st.P, in.E, st.DP, in.DE);
      st[kS_PT] = mcl(nTaxa, nch, st.P, st.T, st.DP, st.DT);
      st[kS_PX] = mcl(nTaxa, nTypes, st.P, st.X, st.DP, st.DX);
      if (firstOrder) {
        st[kS_PX_T] = PartialCorrelation(st[kS_PX], st[kS_XT], st[kS_PT]);
        st[kS_PE_X] = PartialCorrelation(st[kS_PE], st[kS_PX], st[kS_XE]);
        st[kS_PE_T] = PartialCorrelation(st[kS_PE], st[kS_PT], st[kS_TE]);
        st[kS_XE_P] = PartialCorrelation(st[kS_XE], st[kS_PX], st[kS_PE]);
        st[kS_XT_P] = PartialCorrelation(st[kS_XT], st[kS_PX], st[kS_PT]);
        st[kS_TE_P] = PartialCorrelation(st[kS_TE], st[kS_PT], st[kS_PE]);
        st[kS_XE_TP] = PartialCorrelation(st[kS_XE_P], st[kS_XT_P], st[kS_TE_P]);
      } else if (partialPCA) {
        st[kS_PX_T] = PartialMatrixCorrelation(n, nTaxa, nTypes, st.P, st.X, 2, ovf, {covT});
        st[kS_PE_T] = PartialMatrixCorrelation(n, nTaxa, nEnv, st.P, in.E, 2, ovf, {covT});
        st[kS_PE_X] = PartialMatrixCorrelation(n, nTaxa, nEnv, st.P, in.E, 2, ovf, {covX});
        st[kS_TE_P] = PartialMatrixCorrelation(n, nch, nEnv, st.T, in.E, 2, ovf, {covP});
        st[kS_XE_P] = PartialMatrixCorrelation(n, nTypes, nEnv, st.X, in.E, 2, ovf, {covP});
        st[kS_XE_TP] = PartialMatrixCorrelation(n, nTypes, nEnv, st.X, in.E, 2, ovf, {covT, covP});
      }
    } else if (mode == kModePseudoF) {
      PseudoFPerFactor(in, st, st.DP, st.pseudoF_P);
    }
  }

  // 7. Intermediate results of the traits and the composition.
  std::ostream* os = in.printIntermediate ? in.rndDataFile : nullptr;
  if (os) PrintObservedHeader(in, st, *os);

  // 8. Rao entropies.
  const double* const* Wrao = in.Wrao ? in.Wrao : in.Wadj;
  RaoIndex_Weight_Matrix(n, s, Wrao, in.Sb, st.R.data(), false, in.sqrtDissimOpt_RaoTraits, in.weight_OTUs,
                         in.restrictRaoWithinOpt, st.raoFlag);
  ToColumnAndRow(n, st.R.data(), st.Rcol, st.Rrow);
  if (phylo) {
    RaoIndex_Weight_Matrix(n, s, Wrao, in.Sf, st.Rphyl.data(), in.phylogenyIsDissim, in.sqrtDissimOpt_RaoPhyl,
                           in.weight_OTUs, in.restrictRaoWithinOpt, st.raoFlag);
    ToColumnAndRow(n, st.Rphyl.data(), st.RphylCol, st.RphylRow);
  }

  // 9. NNCRD, then its residuals on OTU richness. With a constant richness
  // there is no slope to fit and the residuals are the centred NNCRD; they are
  // taken directly, which spares a singular regression (and its warning) on
  // every permutation.
  for (int c = 0; c < n; ++c) {
    int rich = 0;
    if (in.richness) {
      rich = in.richness[c];
    } else {
      for (int i = 0; i < s; ++i)
        if (in.W[c][i] > 0.0) ++rich;
    }
    st.richnessCol[c][0] = rich;
  }
  NNCRDResiduals(in, st);

  // 10. Resemblances of the diversity descriptors.
  if (withD) {
    Resemblance(n, 1, st.Rcol, st.DR, 2);
    if (phylo) Resemblance(n, 1, st.RphylCol, st.DRaoPhyl, 2);
    Resemblance(n, 1, st.Vcol, st.DV, 2);
  }

  // 11. Diversity against E, X, T and Y.
  if (corr) {
    st[kS_RE] = mcl(1, nEnv, st.Rcol, in.E, st.DR, in.DE);
    st[kS_XR] = mcl(nTypes, 1, st.X, st.Rcol, st.DX, st.DR);
    st[kS_TR] = mcl(nch, 1, st.T, st.Rcol, st.DT, st.DR);
    st[kS_RY] = mcl(1, s, st.Rcol, in.Y, st.DR, in.DY);
    st[kS_VE] = mcl(1, nEnv, st.Vcol, in.E, st.DV, in.DE);
    st[kS_VY] = mcl(1, s, st.Vcol, in.Y, st.DV, in.DY);
    if (phylo) st[kS_FE] = mcl(1, nEnv, st.RphylCol, in.E, st.DRaoPhyl, in.DE);
    if (firstOrder) {
      st[kS_XE_R] = PartialCorrelation(st[kS_XE], st[kS_XR], st[kS_RE]);
      st[kS_TE_R] = PartialCorrelation(st[kS_TE], st[kS_TR], st[kS_RE]);
      st[kS_XT_R] = PartialCorrelation(st[kS_XT], st[kS_XR], st[kS_TR]);
      st[kS_XE_TR] = PartialCorrelation(st[kS_XE_R], st[kS_XT_R], st[kS_TE_R]);
      st[kS_XY_R] = PartialCorrelation(st[kS_XY], st[kS_XR], st[kS_RY]);
      st[kS_TY_R] = PartialCorrelation(st[kS_TY], st[kS_TR], st[kS_RY]);
      st[kS_XY_TR] = PartialCorrelation(st[kS_XY_R], st[kS_XT_R], st[kS_TY_R]);
    } else if (partialPCA) {
      st[kS_XE_TR] = PartialMatrixCorrelation(n, nTypes, nEnv, st.X, in.E, 2, ovf, {covT, covR});
      st[kS_XY_TR] = PartialMatrixCorrelation(n, nTypes, s, st.X, in.Y, 2, ovf, {covT, covR});
    }
  }

  // 12. Pseudo-F of the diversities.
  if (mode == kModePseudoF) {
    PseudoFPerFactor(in, st, st.DR, st.pseudoF_R);
    if (phylo) PseudoFPerFactor(in, st, st.DRaoPhyl, st.pseudoF_Rphyl);
    CopyOut(st.pseudoF_T, in.pseudoF_T);
    CopyOut(st.pseudoF_X, in.pseudoF_X);
    CopyOut(st.pseudoF_R, in.pseudoF_R);
    if (phylo) {
      CopyOut(st.pseudoF_P, in.pseudoF_P);
      CopyOut(st.pseudoF_Rphyl, in.pseudoF_Rphyl);
    }
    if (in.pseudoF_Traits)
      for (int k = 0; k < nEnv; ++k)
        for (int j = 0; j < nch; ++j) in.pseudoF_Traits[k][j] = st.pseudoF_Traits[k][j];
  }

  // 13. Regression of the traits and the diversities on the ecological variables.
  if (mode == kModeRegression) {
    const int responses = nch + st.nExtraCols;
    for (int c = 0; c < n; ++c) {
      st.T[c][nch] = st.R[static_cast<std::size_t>(c)];
      if (phylo) st.T[c][nch + 1] = st.Rphyl[static_cast<std::size_t>(c)];
    }
    const int ok = regression(n, responses, nEnv, st.T, in.E, st.coef, st.intercept.data(), st.predicted,
                              st.rsq.data(), st.totalSS.data(), false, nullptr, 0, false);
    // A singular fit (collinear variables) has no coefficients to test.
    for (int j = 0; j < responses; ++j) {
      const auto uj = static_cast<std::size_t>(j);
      st.rsq[uj] = ok ? FiniteOrZero(st.rsq[uj]) : 0.0;
      st.intercept[uj] = ok ? FiniteOrZero(st.intercept[uj]) : 0.0;
      for (int k = 0; k < nEnv; ++k) st.coef[k][j] = ok ? FiniteOrZero(st.coef[k][j]) : 0.0;
    }
    for (int j = 0; j < responses; ++j) {
      const auto uj = static_cast<std::size_t>(j);
      if (in.rsqRegr) in.rsqRegr[j] = st.rsq[uj];
      if (in.interceptRegr) in.interceptRegr[j] = st.intercept[uj];
      if (in.coefRegr)
        for (int k = 0; k < nEnv; ++k) in.coefRegr[k][j] = st.coef[k][j];
    }
  }

  if (os) PrintObservedDiversity(in, st, *os);
  for (double& v : st.stat) v = FiniteOrZero(v);
  return 1;
}

void StatsToOrderA(const FunctionalPhyl_Stats_Lib_Input& st, double* a) {
  a[kA_XE] = st[kS_XE];
  a[kA_TE] = st[kS_TE];
  a[kA_XE_T] = st[kS_XE_T];
  a[kA_RE] = st[kS_RE];
  a[kA_XE_TR] = st[kS_XE_TR];
  a[kA_VE] = st[kS_VE];
  a[kA_TY] = st[kS_TY];
  a[kA_XY] = st[kS_XY];
  a[kA_XY_T] = st[kS_XY_T];
  a[kA_XY_TR] = st[kS_XY_TR];
  a[kA_RY] = st[kS_RY];
  a[kA_VY] = st[kS_VY];
  a[kA_BF] = st[kS_BF];
  a[kA_FE] = st[kS_FE];
  a[kA_PE] = st[kS_PE];
  a[kA_PT] = st[kS_PT];
  a[kA_PX] = st[kS_PX];
  a[kA_PX_T] = st[kS_PX_T];
  a[kA_TE_P] = st[kS_TE_P];
  a[kA_XE_P] = st[kS_XE_P];
  a[kA_XE_TP] = st[kS_XE_TP];
  a[kA_PE_T] = st[kS_PE_T];
  a[kA_PE_X] = st[kS_PE_X];
}

}  // namespace kalios
