#include "functional/phylogeny_matrices.h"

#include "measures/diversity.h"
#include "measures/resemblance.h"
#include "measures/types.h"
#include "measures/ordination.h"

namespace kalios {
namespace {

// Resemblance codes that tell the ordination whether SF holds similarities
// (turned into squared distances 2 (1 - s)) or dissimilarities (squared).
constexpr int kSimilarityCode = 5;     // the Gower index
constexpr int kDissimilarityCode = 3;  // a distance

}  // namespace

void BuildPhylogeny(DataSet& ds, const AnalysisOptions& o, const Preferences& prefs, ScalingUpState& st) {
  st.phylogeny = ds.includePhylogeny;
  if (!st.phylogeny) return;
  const int n = st.n, s = st.s;

  if (ds.phylogenyMatrixType == 2) {
    ds.phylogenyRese.Resize(s, s);
    GowerMVOpt(s, ds.nClados, ds.phylogenyVarType.data(), ds.phylogenyData, ds.phylogenyRese, nullptr, nullptr,
               0);
  }
  st.phyloIsDissim = ds.phylogenyMatrixType == 3;
  st.SF = ds.phylogenyRese;

  Matrix<double> eigvec(s, s), scores(s, s);
  std::vector<double> eigval(static_cast<std::size_t>(s));
  int axes = 0;
  bool ok = true;
  OrdinationLib_D(s, s, nullptr, st.SF, eigvec, scores, &axes, eigval.data(), &ok, kOrdinationPrincipalCoordinates,
                  st.phyloIsDissim ? kDissimilarityCode : kSimilarityCode, 1);
  st.nPhyloAxes = axes;
  st.phyloScores.Resize(s, axes);
  for (int a = 0; a < axes; ++a)
    for (int i = 0; i < s; ++i) st.phyloScores[i][a] = scores[a][i];

  const int t = o.nTaxa;
  st.nTaxa = t;
  const int* part = ds.partition_OTUs_Phyl.data();
  st.Q.Resize(s, t);
  if (o.fuzzyPhyl)
    FuzzyBelonging(s, t, st.SF, part, st.Q, st.phyloIsDissim);
  else
    CrispBelonging(s, t, part, st.Q);
  const int* w = ds.weight_OTUs.data();
  st.taxonFlags = GroupFlags(s, t, part, w);
  if (st.anyExcluded) ExcludeGroupColumns(s, t, st.Q, st.taxonFlags);

  st.P.Resize(n, t);
  const int* pFlags = IsIdentityPartition(s, t, part) ? w : nullptr;
  MatrixProdSelectMV_Adjust_Weight(n, s, s, t, st.Wtdap, st.Q, st.P, nullptr, pFlags, o.restrictRaoWithinOpt);

  st.Rp.assign(static_cast<std::size_t>(n), 0.0);
  RaoIndex_Weight_Matrix(n, s, st.Wdiv, st.SF, st.Rp.data(), st.phyloIsDissim, prefs.sqrtDissimOpt_RaoPhyl, w,
                         o.restrictRaoWithinOpt, false);
  st.DP.Resize(n, n);
  NominalReseNonHier(n, t, st.P, st.DP, o.rese_opt);
}

}  // namespace kalios
