#include "ranking/ranking_inputs.h"

#include <algorithm>

#include "measures/resemblance.h"
#include "measures/ordination.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "measures/types.h"
#include "measures/diversity.h"
#include "ranking/criteria.h"
#include "session/partition.h"

namespace kalios {
namespace {

std::size_t Z(int i) { return static_cast<std::size_t>(i); }

void BuildEnvironment(const DataSet& d, int countDoubleAbsence, RankingInputs& in) {
  const int n = in.n;
  std::vector<int> cols, types;
  for (int j = 0; j < d.nenv; ++j)
    if (Z(j) >= d.eVarSelect.size() || d.eVarSelect[Z(j)] == 1) {
      cols.push_back(j);
      types.push_back(Z(j) < d.envVarType.size() ? d.envVarType[Z(j)] : 3);
    }
  in.e = static_cast<int>(cols.size());
  in.E.Resize(n, std::max(in.e, 1));
  in.DE.Resize(n, n);
  if (in.e == 0) return;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < in.e; ++j) in.E[i][j] = d.env[i][cols[Z(j)]];
  int kind = d.optEnvVarType;
  if (kind == 5) kind = std::find(types.begin(), types.end(), 2) != types.end() ? 3 : 2;
  if (kind == 1) {
    EucliDistMV(n, in.e, in.E, in.DE);
  } else if (kind == 2 || kind == 4) {
    Matrix<double> z(in.E);
    CorrAdj(n, in.e, z, in.E);
    EucliDistMV(n, in.e, z, in.DE);
  } else {
    Matrix<double> sim(n, n);
    GowerMVOpt(n, in.e, types.data(), in.E, sim, nullptr, nullptr, countDoubleAbsence);
    ProbToDissim(n, sim, in.DE);
  }
}

// Each row over its present entries, a total of 0 dividing by 1.
void UnitTotals(Matrix<double>& W) {
  UnitSumRowsAdjMV(W.rows(), W.cols(), W, W);
}

void BuildPhylogeny(const DataSet& d, const AnalysisOptions& o, RankingInputs& in) {
  const int n = in.n, s = in.s;
  Matrix<double>& F = in.F;
  F = d.phylogenyRese;
  if (d.phylogenyMatrixType == 2) {
    F.Resize(s, s);
    GowerMVOpt(s, d.nClados, d.phylogenyVarType.data(), d.phylogenyData, F, nullptr, nullptr, 0);
  }
  std::vector<int> part = d.partition_OTUs_Phyl;
  if (static_cast<int>(part.size()) != s) {
    part.resize(Z(s));
    for (int i = 0; i < s; ++i) part[Z(i)] = i + 1;
  }
  int taxa = 0;
  CountGroupsNew(s, part.data(), taxa, nullptr);
  in.nTaxa = taxa;
  in.taxa = part;
  Matrix<double>& Q = in.Q;
  Q.Resize(s, taxa);
  if (o.fuzzyPhyl && F.rows() == s)
    FuzzyBelonging(s, taxa, F, part.data(), Q, d.phylogenyMatrixType == 3);
  else
    CrispBelonging(s, taxa, part.data(), Q);
  in.P.Resize(n, taxa);
  MatrixProdSelectMV_Adjust_Weight(n, s, s, taxa, in.W1, Q, in.P, nullptr, in.weightOTUs.data());
  in.DP.Resize(n, n);
  NominalReseNonHier(n, taxa, in.P, in.DP, in.rese_opt);
}

}  // namespace

bool ModeNeedsX(int mode) {
  return mode == 2 || mode == 4 || mode == 6 || mode == 7 || mode == 9 || mode == 10 || mode == 12;
}

bool ModeNeedsE(int mode) {
  return mode == kNicheConservationSearch || mode == 1 || mode == 2 || mode == 3 || mode >= 10;
}

void BuildRankingInputs(const DataSet& d, const AnalysisOptions& o, const RankingOptions& r,
                        const RankingPrefs& prefs, int mode, RankingInputs& in) {
  const int n = d.ncsm, s = d.tcst, p = d.nch;
  in.mode = mode;
  in.n = n;
  in.s = s;
  in.p = p;
  in.opt_ro = o.opt_ro;
  in.corrKind = o.opt_ro == 3 ? 'v' : o.opt_ro == 2 ? 'p' : o.opt_MatrixCorr;
  in.squareDist = o.squareDistMatrixOpt;
  in.rese_opt = o.rese_opt;
  in.reseCSTopt = o.reseCSTopt == 2 ? 2 : 1;
  in.fuzzy = o.fuzzy;
  in.clusMeth = o.clusMethPoolCSTs;
  in.sqrtRao = prefs.sqrtDissimOpt_RaoTraits;
  in.restrictRao = o.restrictRaoWithinOpt;
  in.overfit = prefs.overfitFactorPCARegr;
  in.nMinTypes = r.nMinCSTGroupsChRank;
  in.nMaxTypes = r.nMaxCSTGroupsChRank;

  in.chtype = d.chtype;
  in.onsta = d.onsta;
  in.weight = d.weight;
  in.chtype.resize(Z(p), 3);
  in.onsta.resize(Z(p), 0);
  in.weight.resize(Z(p), 1.0);
  in.weightOTUs = d.weight_OTUs;
  in.weightOTUs.resize(Z(s), 1);
  in.partition = d.partition_OTUs;
  if (static_cast<int>(in.partition.size()) != s) {
    in.partition.resize(Z(s));
    for (int i = 0; i < s; ++i) in.partition[Z(i)] = i + 1;
  }
  CountGroupsNew(s, in.partition.data(), in.nGroups, nullptr);

  if (ModeNeedsE(mode)) BuildEnvironment(d, prefs.countDoubleAbsence, in);

  // W arrives with OTUs as rows; the search works on communities as rows.
  in.W1.Resize(n, s);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < s; ++j) in.W1[i][j] = d.cadat[j][i];
  in.W2 = in.W1;
  if (r.optUnitTotalAdjust1) UnitTotals(in.W2);
  if (o.optUnitTotalAdjust2) UnitTotals(in.W1);

  if (mode >= 7 && mode <= 9) {
    in.Y.Resize(n, s);
    BealsSmoothing(n, s, in.W1, in.W1, in.Y, prefs.BealsIncludeOpt, 0, false);
    in.DY.Resize(n, n);
    NominalReseNonHier(n, s, in.Y, in.DY, in.rese_opt);
  }

  in.Bp.Resize(s, p);
  for (int i = 0; i < s; ++i)
    for (int k = 0; k < p; ++k) in.Bp[i][k] = in.weight[Z(k)] > 0 ? d.csm_Float[i][k] : 0.0;

  if ((mode >= 4 && mode <= 6) || mode == kNicheConservationSearch) BuildPhylogeny(d, o, in);

  if (in.reseCSTopt == 1) {
    std::vector<double> range(Z(p), 0.0);
    RangeStates(p, s, d.csm_Float, in.chtype.data(), range.data());
    in.partials = Array3<double>(s, s, p);
    gower_similarityPartial(p, d.csm_Float, s, in.partials, in.chtype.data(), range.data(), nullptr,
                            prefs.countDoubleAbsence);
  } else {
    in.Brange.Resize(s, p);
    RangeColsAdjMV(s, p, in.Bp, in.Brange);
  }
}

}  // namespace kalios
