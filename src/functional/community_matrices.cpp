#include "functional/community_matrices.h"

#include <algorithm>
#include <set>

#include "measures/diversity.h"
#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "measures/types.h"
#include "measures/ordination.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// Multiplies each column j of W (n x s) by weight[j] and, when `unitTotal`,
// brings the rows back to unit total.
void WeightColumns(int n, int s, Matrix<double>& W, const std::vector<int>& weight, bool unitTotal) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < s; ++j)
      if (IsPresent(W[i][j])) W[i][j] *= weight[U(j)];
  if (unitTotal) UnitSumRowsAdjMV(n, s, W, W);
}

}  // namespace

void NoteSelections(const DataSet& ds, const AnalysisOptions& o, ScalingUpState& st) {
  const int s = ds.tcst, p = ds.nch;
  st.n = ds.ncsm;
  st.s = s;
  st.p = p;
  st.k = ds.nGrPoly.empty() ? 0 : ds.nGrPoly[0];
  st.chSelect.assign(U(p), 0);
  st.nSelectedTraits = 0;
  for (int k = 0; k < p; ++k)
    if (ds.weight[U(k)] > 0) {
      st.chSelect[U(k)] = 1;
      ++st.nSelectedTraits;
    }
  st.nominalSelected = HasQualitTraitSelect(p, ds.chtype.data(), st.chSelect.data());
  st.anyExcluded = false;
  for (int j = 0; j < s; ++j)
    if (ds.weight_OTUs[U(j)] <= 0) st.anyExcluded = true;
  st.keepScale = st.anyExcluded && !o.keepAdditivity;
  st.phylogeny = ds.includePhylogeny;
}

void BuildEnvironment(const DataSet& ds, const Preferences& prefs, ScalingUpState& st) {
  const int n = ds.ncsm;
  st.n = n;
  st.envColumns.clear();
  st.envTypes.clear();
  for (int j = 0; j < ds.nenv; ++j)
    if (U(j) < ds.eVarSelect.size() && ds.eVarSelect[U(j)] == 1) {
      st.envColumns.push_back(j);
      st.envTypes.push_back(ds.envVarType[U(j)]);
    }
  const int e = static_cast<int>(st.envColumns.size());
  st.e = e;
  st.Eprime.Resize(n, e);
  st.DE.Resize(n, n);
  st.Etest.Resize(n, e);
  if (e == 0) return;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < e; ++j) st.Eprime[i][j] = ds.env[i][st.envColumns[U(j)]];
  st.Etest = st.Eprime;

  // A mixed E is compared by the Gower index only when it really holds a
  // nominal variable among those selected.
  int kind = ds.optEnvVarType;
  if (kind == 5) {
    const bool nominal = std::find(st.envTypes.begin(), st.envTypes.end(), 2) != st.envTypes.end();
    kind = nominal ? 3 : 2;
  }
  if (kind == 1) {
    EucliDistMV(n, e, st.Eprime, st.DE);
  } else if (kind == 2 || kind == 4) {
    CorrAdj(n, e, st.Etest, st.Eprime);
    EucliDistMV(n, e, st.Etest, st.DE);
  } else {
    Matrix<double> S(n, n);
    GowerMVOpt(n, e, st.envTypes.data(), st.Eprime, S, nullptr, nullptr, prefs.countDoubleAbsence);
    ProbToDissim(n, S, st.DE);
  }
}

void FillCompositions(const DataSet& ds, ScalingUpState& st) {
  const int n = ds.ncsm, s = ds.tcst;
  st.n = n;
  st.s = s;
  st.Wraw.Resize(n, s);
  st.richness.assign(U(n), 0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < s; ++j) {
      st.Wraw[i][j] = ds.cadat[j][i];
      if (ds.cadat[j][i] > 0) ++st.richness[U(i)];
    }
  st.Wtcap = st.Wraw;
  st.Wtdap = st.Wraw;
}

void AdjustCompositions(const DataSet& ds, const AnalysisOptions& o, ScalingUpState& st) {
  const int n = st.n, s = st.s;
  UnitSumRowsAdjMV(n, s, st.Wtcap, st.Wtcap);
  if (o.optUnitTotalAdjust2) UnitSumRowsAdjMV(n, s, st.Wtdap, st.Wtdap);
  st.Wdiv = st.Wtcap;
  if (st.keepScale) WeightColumns(n, s, st.Wdiv, ds.weight_OTUs, true);
  if (o.partOpt == 1 || o.partOpt == 2) {
    DataPartitionQualQuant(n, s, st.Wtcap, st.Wtcap, o.partOpt);
    DataPartitionQualQuant(n, s, st.Wtdap, st.Wtdap, o.partOpt);
  }
  if (st.keepScale) WeightColumns(n, s, st.Wtcap, ds.weight_OTUs, true);
  if (st.anyExcluded) WeightColumns(n, s, st.Wtdap, ds.weight_OTUs, o.optUnitTotalAdjust2);
  if (o.partOpt != 1) st.Wdiv = st.Wtcap;
}

void BuildBeals(const AnalysisOptions& o, const Preferences& prefs, ScalingUpState& st) {
  const int n = st.n, s = st.s;
  st.Y.Resize(n, s);
  BealsSmoothing(n, s, st.Wraw, st.Wraw, st.Y, prefs.BealsIncludeOpt, 0, false);
  st.DY.Resize(n, n);
  if (o.opt_ro == 1) NominalReseNonHier(n, s, st.Y, st.DY, o.rese_opt);
}

void BuildGiniSimpson(const DataSet& ds, const AnalysisOptions& o, ScalingUpState& st) {
  const int n = st.n, s = st.s;
  Matrix<double> identity(s, s);
  for (int i = 0; i < s; ++i) identity[i][i] = 1.0;
  st.D.assign(U(n), 0.0);
  RaoIndex_Weight_Matrix(n, s, st.Wdiv, identity, st.D.data(), false, false, ds.weight_OTUs.data(),
                         o.restrictRaoWithinOpt, false);
}

void BuildTraitSimilarity(const DataSet& ds, const Preferences& prefs, ScalingUpState& st) {
  const int s = ds.tcst, p = ds.nch;
  st.Bprime.Resize(s, p);
  for (int i = 0; i < s; ++i)
    for (int k = 0; k < p; ++k) st.Bprime[i][k] = st.chSelect[U(k)] ? ds.csm_Float[i][k] : 0.0;
  st.S.Resize(s, s);
  gower_similarity(p, ds.csm_Float, s, st.S, ds.chtype.data(), ds.chrange.data(), ds.weight.data(),
                   prefs.countDoubleAbsence);
}

std::vector<int> GroupFlags(int s, int k, const int* partition, const int* weight_OTUs) {
  std::vector<int> labels(partition, partition + s);
  std::sort(labels.begin(), labels.end());
  labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
  std::vector<int> flags(U(k), 0);
  for (int i = 0; i < s; ++i) {
    const auto t = std::lower_bound(labels.begin(), labels.end(), partition[i]) - labels.begin();
    if (t < k && weight_OTUs[i] > 0) flags[U(static_cast<int>(t))] = 1;
  }
  return flags;
}

bool IsIdentityPartition(int s, int k, const int* partition) {
  if (k != s) return false;
  for (int i = 1; i < s; ++i)
    if (partition[i] <= partition[i - 1]) return false;
  return true;
}

void ExcludeGroupColumns(int s, int k, double** M, const std::vector<int>& flags) {
  for (int i = 0; i < s; ++i)
    for (int j = 0; j < k; ++j)
      if (IsPresent(M[i][j])) M[i][j] *= flags[U(j)];
  UnitSumRowsAdjMV(s, k, M, M);
}

void TypeAverageTraits(int s, int k, int p, const double* const* Ucrisp, const double* const* B, double** out) {
  for (int t = 0; t < k; ++t)
    for (int j = 0; j < p; ++j) {
      double sum = 0.0, count = 0.0;
      for (int i = 0; i < s; ++i) {
        if (Ucrisp[i][t] != 1.0 || !IsPresent(B[i][j])) continue;
        sum += B[i][j];
        count += 1.0;
      }
      out[t][j] = count > 0 ? sum / count : kMissingValue;
    }
}

void BuildTypes(const DataSet& ds, const AnalysisOptions& o, const Preferences& prefs, ScalingUpState& st) {
  const int n = st.n, s = st.s, p = st.p;
  const int k = st.k;
  st.typesAnalysed = s >= 2 && k >= 2;
  if (!st.typesAnalysed) return;
  const int* part = ds.partition_OTUs.data();
  const int* w = ds.weight_OTUs.data();

  st.Ucrisp.Resize(s, k);
  CrispBelonging(s, k, part, st.Ucrisp);
  st.U.Resize(s, k);
  FuzzyBelonging(s, k, st.S, part, st.U, false);
  // A type column stands for OTU j when every OTU is its own type; when types
  // group OTUs, a type is dropped only when none of its OTUs is selected (the
  // excluded OTUs themselves are already out through their zero columns of W
  // for TDAP and their flags in the Rao entropies).
  st.typeFlags = GroupFlags(s, k, part, w);
  if (st.anyExcluded) ExcludeGroupColumns(s, k, st.U, st.typeFlags);

  st.Xcrisp.Resize(n, k);
  const int* xFlags = IsIdentityPartition(s, k, part) ? w : nullptr;
  MatrixProdSelectMV_Adjust_Weight(n, s, s, k, st.Wtdap, st.Ucrisp, st.Xcrisp, nullptr, xFlags,
                                   o.restrictRaoWithinOpt);

  st.Rf.assign(U(n), 0.0);
  RaoIndex_Weight_Matrix(n, s, st.Wdiv, st.S, st.Rf.data(), false, prefs.sqrtDissimOpt_RaoTraits, w,
                         o.restrictRaoWithinOpt, false);
  st.FR.assign(U(n), 0.0);
  for (int i = 0; i < n; ++i) st.FR[U(i)] = std::max(0.0, st.D[U(i)] - st.Rf[U(i)]);
  if (st.phylogeny) {
    st.PR.assign(U(n), 0.0);
    for (int i = 0; i < n; ++i) st.PR[U(i)] = std::max(0.0, st.D[U(i)] - st.Rp[U(i)]);
  }

  std::set<int> labels(part, part + s);
  st.typeLabels.assign(labels.begin(), labels.end());
  st.typeCounts.assign(U(k), 0);
  for (int t = 0; t < k; ++t)
    for (int i = 0; i < s; ++i)
      if (st.Ucrisp[i][t] == 1.0) ++st.typeCounts[U(t)];
  st.typeTraits.Resize(k, p);
  TypeAverageTraits(s, k, p, st.Ucrisp, ds.csm_Float, st.typeTraits);
}

void ComputeCommunityMeans(const DataSet& ds, const int* select, ScalingUpState& st) {
  const int n = st.n, s = st.s, p = st.p;
  st.T.Resize(n, p);
  MatrixProdSelectMV_Adjust_Weight(n, s, s, p, st.Wtcap, st.Bprime, st.T, select, ds.weight_OTUs.data());
}

}  // namespace kalios
