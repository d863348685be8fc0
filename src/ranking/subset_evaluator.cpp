#include "ranking/subset_evaluator.h"

#include <algorithm>
#include <cmath>

#include "measures/clustering.h"
#include "measures/diversity.h"
#include "measures/resemblance.h"
#include "measures/transform.h"
#include "measures/types.h"
#include "numlib/print.h"
#include "ranking/criteria.h"
#include "shell/cformat.h"
#include "testing/matrix_correlation.h"

namespace kalios {
namespace {
std::size_t Z(int i) { return static_cast<std::size_t>(i); }

bool ModeNeedsComposition(int mode) { return ModeNeedsX(mode) || mode == 3; }

bool FastRouteApplies(const RankingInputs& in) {
  if (in.clusMeth != 0 || in.fuzzy != 3 || in.reseCSTopt != 1 || in.nGroups != in.s) return false;
  for (int i = 0; i < in.s; ++i)
    if (in.partition[Z(i)] != i + 1 || in.weightOTUs[Z(i)] != 1) return false;
  for (int c = 0; c < in.n; ++c) {
    double total = 0;
    for (int i = 0; i < in.s; ++i) {
      if (!IsPresent(in.W1[c][i])) return false;
      total += in.W1[c][i];
    }
    if (!(total > 0)) return false;
  }
  return true;
}
}  // namespace

double SumAbsDeviations(int n, const double* a, const double* b, bool squared) {
  double sa = 0, sb = 0;
  for (int i = 0; i < n; ++i)
    if (IsPresent(a[i]) && IsPresent(b[i])) {
      sa += a[i];
      sb += b[i];
    }
  if (!(n > 0 && sa > 0 && sb > 0)) return 0.0;
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    if (!IsPresent(a[i]) || !IsPresent(b[i])) continue;
    const double d = a[i] / sa - b[i] / sb;
    sum += squared ? d * d : std::abs(d);
  }
  return 0.5 * sum;
}

SubsetEvaluator::SubsetEvaluator(const RankingInputs& in)
    : in_(in), partial_(RankingMode(in.mode).partial), isDissim_(in.reseCSTopt == 2) {
  const int n = in.n, s = in.s, p = in.p;
  const int maxTypes = std::max({in.nGroups, std::min(in.nMaxTypes, s), 1});
  select_.assign(Z(p), 0);
  part_.assign(Z(s), 0);
  mono_.assign(Z(s), 0);
  S_.Resize(s, s);
  U_.Resize(s, maxTypes);
  X_.Resize(n, maxTypes);
  DX_.Resize(n, n);
  if (RankingMode(in.mode).needsT) {
    T_.Resize(n, p);
    DT_.Resize(n, n);
  }
  R_.Resize(n, 1);
  DR_.Resize(n, n);
  Sd_.Resize(n, 1);
  DS_.Resize(n, n);
  fastRoute_ = FastRouteApplies(in);
  if (fastRoute_) {
    w1Sparse_.From(n, s, in.W1);
    rowScale_.assign(Z(s), 1.0);
  }
}

void SubsetEvaluator::SaveStructures(std::ostream* os, const std::vector<std::string>* labels, int digits) {
  structures_ = os;
  labels_ = labels;
  digits_ = digits;
  // The belonging matrix is part of what is saved.
  if (os) fastRoute_ = false;
}

void SubsetEvaluator::PrintMarkedLabels() const {
  for (int t : marked_)
    if (labels_ && Z(t) < labels_->size()) Print(*structures_, "%s\t", (*labels_)[Z(t)].c_str());
}

void SubsetEvaluator::OtuResemblance() {
  const int s = in_.s;
  if (in_.reseCSTopt == 2) {
    EucliDistMVSelect(s, in_.p, in_.Brange, S_, select_.data());
    for (int i = 0; i < s; ++i)
      for (int j = 0; j < i; ++j) S_[i][j] = S_[j][i];
    return;
  }
  // The mean of the partial similarities of the marked traits that can be
  // compared for the pair; a pair with none (even an OTU with itself, when it
  // lacks every marked trait) stays undefined.
  sComplete_ = true;
  for (int i = 0; i < s; ++i) {
    const Matrix<double>& Pi = in_.partials[i];
    for (int j = i; j < s; ++j) {
      const double* v = Pi[j];
      double sum = 0;
      int count = 0;
      for (int t : marked_)
        if (IsPresent(v[t])) {
          sum += v[t];
          ++count;
        }
      S_[i][j] = S_[j][i] = count > 0 ? sum / count : kMissingValue;
      if (count == 0) sComplete_ = false;
    }
  }
}

double SubsetEvaluator::Corr(const double* const* A, int pa, const double* const* B, int pb,
                             const double* const* DA, const double* const* DB) const {
  return MatrixCorrelationLib(in_.n, pa, pb, A, B, DA, DB, in_.squareDist, in_.corrKind);
}

bool SubsetEvaluator::FastComposition(int types) const { return fastRoute_ && sComplete_ && types == in_.s; }

void SubsetEvaluator::Composition(int types, bool fast) {
  const RankingInputs& in = in_;
  const int n = in.n, s = in.s;
  if (fast) {
    // U = S_A with unit row totals, so X = W diag(1 / row totals) S_A.
    for (int i = 0; i < s; ++i) {
      double total = 0;
      for (int j = 0; j < s; ++j) total += S_[i][j];
      rowScale_[Z(i)] = total == 0 ? 1.0 : 1.0 / total;
    }
    SparseTimesDense(n, s, w1Sparse_, rowScale_.data(), S_, X_);
  } else {
    if (in.fuzzy == 3)
      FuzzyBelonging(s, types, S_, part_.data(), U_, isDissim_);
    else
      CrispBelonging(s, types, part_.data(), U_);
    MatrixProdSelectMV_Adjust_Weight(n, s, s, types, in.W1, U_, X_, nullptr, in.weightOTUs.data());
  }
}

void SubsetEvaluator::CompositionDistances(int types, bool fast) {
  if (fast && (in_.rese_opt == 6 || in_.rese_opt == 7))
    EuclideanRows(in_.n, types, X_, DX_);
  else
    NominalReseNonHier(in_.n, types, X_, DX_, in_.rese_opt);
}

void SubsetEvaluator::PrintTypes(int types, bool belonging) const {
  std::ostream& os = *structures_;
  const int s = in_.s;
  if (in_.clusMeth != 0) {
    Print(os, "\nPartition vector of %d populations in %d monothetic groups:\n", s, Smono_.rows());
    PrintVectorTab(os, s, mono_.data());
    Print(os, "\nPartition vector of %d populations in %d polythetic groups (types):\n", s, types);
  } else {
    Print(os, "\nPartition vector of %d populations in %d specified groups (types):\n", s, types);
  }
  PrintVectorTab(os, s, part_.data());
  if (belonging) {
    Print(os, in_.fuzzy == 3 ? "\nDegrees of belonging of %d populations (rows) in %d types (columns):\n"
                             : "\nDegrees of belonging (crisp) of %d populations (rows) in %d types (columns):\n",
          s, types);
    PrintMatrixTab(os, s, types, U_, digits_);
  }
}

double SubsetEvaluator::Criterion(int types) {
  const RankingInputs& in = in_;
  const int n = in.n, s = in.s, p = in.p, e = in.e, mode = in.mode;
  const bool dist = in.opt_ro == 1;

  const bool fast = FastComposition(types);
  if (ModeNeedsComposition(mode)) Composition(types, fast);

  if (mode == 1 || mode == 2) {
    // Rao entropy over all the OTUs of the community, whatever the number of types.
    for (int i = 0; i < n; ++i)
      R_[i][0] = RaoIndex_Weight(s, in.W1[i], S_, isDissim_, in.sqrtRao, in.weightOTUs.data(), in.restrictRao);
    if (dist) NominalReseNonHier(n, 1, R_, DR_, 8);
  }
  if (mode == 3) {
    for (int i = 0; i < n; ++i) Sd_[i][0] = SumAbsDeviations(std::min(types, s), in.W1[i], X_[i], false);
    if (dist) EucliDistMV(n, 1, Sd_, DS_);
  }
  if (dist && ModeNeedsX(mode)) CompositionDistances(types, fast);
  if (structures_) {
    std::ostream& os = *structures_;
    PrintTypes(types, ModeNeedsComposition(mode));
    if (dist && ModeNeedsX(mode)) {
      Print(os, "Resemblance matrix between communities based on composition of types (matrix X):\n");
      PrintLowerHalfMatrixTab(os, n, DX_, digits_);
    }
    if (dist && (mode == 1 || mode == 2)) {
      Print(os,
            "\nResemblance matrix DR comparing communities based on their Rao entropy expressed as equivalent "
            "numbers of OTUs (Jost 2007): \n");
      PrintLowerHalfMatrixTab(os, n, DR_, digits_);
    }
  }

  auto partialOf = [](double rxy, double rxz, double ryz) { return PartialCorrelation(rxy, rxz, ryz); };
  const bool procrustesPartial = in.opt_ro == 2;
  const MatrixCovariate covT{p, select_.data(), T_.ptr()};
  const MatrixCovariate covR{1, nullptr, R_.ptr()};

  switch (mode) {
    case 1:
      return Corr(R_, 1, in.E, e, DR_, in.DE);
    case 2: {
      if (procrustesPartial)
        return PartialMatrixCorrelation(n, types, e, X_, in.E, 2, in.overfit, {covT, covR});
      const double rTE = Corr(T_, p, in.E, e, DT_, in.DE);
      const double rXT = Corr(X_, types, T_, p, DX_, DT_);
      const double rXE = Corr(X_, types, in.E, e, DX_, in.DE);
      const double rRE = Corr(R_, 1, in.E, e, DR_, in.DE);
      const double rXR = Corr(X_, types, R_, 1, DX_, DR_);
      const double rTR = Corr(T_, p, R_, 1, DT_, DR_);
      const double rXE_R = partialOf(rXE, rXR, rRE);
      const double rTE_R = partialOf(rTE, rTR, rRE);
      const double rXT_R = partialOf(rXT, rXR, rTR);
      return partialOf(rXE_R, rXT_R, rTE_R);
    }
    case 3:
      return Corr(Sd_, 1, in.E, e, DS_, in.DE);
    case 4:
      return Corr(in.P, in.nTaxa, X_, types, in.DP, DX_);
    case 5:
      return Corr(in.P, in.nTaxa, T_, p, in.DP, DT_);
    case 6: {
      if (procrustesPartial) return PartialMatrixCorrelation(n, in.nTaxa, types, in.P, X_, 2, in.overfit, {covT});
      const double rPX = Corr(in.P, in.nTaxa, X_, types, in.DP, DX_);
      const double rXT = Corr(X_, types, T_, p, DX_, DT_);
      const double rPT = Corr(in.P, in.nTaxa, T_, p, in.DP, DT_);
      return partialOf(rPX, rXT, rPT);
    }
    case 7:
      return Corr(X_, types, in.Y, s, DX_, in.DY);
    case 8:
      return Corr(T_, p, in.Y, s, DT_, in.DY);
    case 9: {
      if (procrustesPartial) return PartialMatrixCorrelation(n, types, s, X_, in.Y, 2, in.overfit, {covT});
      const double rXY = Corr(X_, types, in.Y, s, DX_, in.DY);
      const double rXT = Corr(X_, types, T_, p, DX_, DT_);
      const double rTY = Corr(T_, p, in.Y, s, DT_, in.DY);
      return partialOf(rXY, rXT, rTY);
    }
    case 10:
      return Corr(X_, types, in.E, e, DX_, in.DE);
    case 11:
      return Corr(T_, p, in.E, e, DT_, in.DE);
    case 12: {
      if (procrustesPartial) return PartialMatrixCorrelation(n, types, e, X_, in.E, 2, in.overfit, {covT});
      const double rXE = Corr(X_, types, in.E, e, DX_, in.DE);
      const double rXT = Corr(X_, types, T_, p, DX_, DT_);
      const double rTE = Corr(T_, p, in.E, e, DT_, in.DE);
      return partialOf(rXE, rXT, rTE);
    }
    default:
      return 0.0;
  }
}

void SubsetEvaluator::Evaluate(const int* traits, int k, SubsetResult& out) {
  const RankingInputs& in = in_;
  const int n = in.n, s = in.s, p = in.p;
  out.best = partial_ ? 0.0 : kLowestValue;
  out.g = 0;
  out.evaluations.clear();

  std::fill(select_.begin(), select_.end(), 0);
  marked_.clear();
  for (int c = 0; c < k; ++c) {
    const int t = traits[c] - 1;
    if (t >= 0 && t < p && in.weight[Z(t)] > 0) {
      select_[Z(t)] = 1;
      marked_.push_back(t);
    }
  }
  if (static_cast<int>(marked_.size()) < k) return;  // a trait of weight 0: the subset is not examined

  if (RankingMode(in.mode).needsT) {
    MatrixProdSelectMV_Adjust_Weight(n, s, s, p, in.W2, in.Bp, T_, select_.data(), in.weightOTUs.data());
    if (structures_) {
      Print(*structures_, "\nTraits:\t");
      PrintMarkedLabels();
      Print(*structures_, "\nMatrix with trait averages at community level (%d communities x %d traits):\n", n, p);
      PrintMatrixTab(*structures_, n, p, T_, digits_);
    }
    NormalizeColsMV(n, p, T_, T_);
    if (in.opt_ro == 1) EucliDistMV(n, p, T_, DT_);
    if (structures_) {
      Print(*structures_,
            "\nMatrix with normalized traits at community level (%d communities x %d traits adjusted to unit "
            "length):\n",
            n, p);
      PrintMatrixTab(*structures_, n, p, T_, digits_);
      if (in.opt_ro == 1) {
        Print(*structures_, "Resemblance matrix between communities based on selected traits (matrix T):\n");
        PrintLowerHalfMatrixTab(*structures_, n, DT_, digits_);
      }
    }
  }
  SubsetReady();
  OtuResemblance();
  if (structures_) {
    Print(*structures_, "\nSimilarity matrix between %d populations, based on %d traits:\n", s, k);
    Print(*structures_, "Traits:\t");
    PrintMarkedLabels();
    Print(*structures_, "\n");
    PrintLowerHalfMatrixTab(*structures_, s, S_, digits_);
  }

  const bool clustering = in.clusMeth != 0;
  int nMono = s;
  std::vector<clusterReport> hierarchy;
  if (clustering) {
    ClusterIdenticals(s, S_, mono_.data(), nMono, isDissim_);
    Smono_.Resize(nMono, nMono);
    TrimRese(s, nMono, mono_.data(), S_, Smono_);
    if (nMono >= 2) {
      if (in.clusMeth == kSumOfSquares) {
        // Similarities become squared distances 1 - s.
        Matrix<double> D(nMono, nMono);
        for (int i = 0; i < nMono; ++i)
          for (int j = 0; j < nMono; ++j) D[i][j] = isDissim_ ? Smono_[i][j] : 1.0 - Smono_[i][j];
        SumSqCluster(nMono, D, hierarchy, !isDissim_);
      } else {
        LinkageCluster(nMono, Smono_, hierarchy, isDissim_, false, in.clusMeth);
      }
    }
  }
  if (structures_ && clustering) {
    Print(*structures_, "\nWith this trait subset there are %d monothetic population groups.\n", nMono);
    Print(*structures_, "\nSimilarity matrix between %d monothetic groups, based on %d traits:\n", nMono, k);
    PrintLowerHalfMatrixTab(*structures_, nMono, Smono_, digits_);
  }
  if (nMono < 2) return;

  std::vector<int> cut(Z(nMono), 0);
  auto evaluateAt = [&](int g) {
    int types = in.nGroups;
    if (clustering) {
      GetClusterPartitionNew(nMono, g, cut.data(), hierarchy, in.clusMeth);
      for (int i = 0; i < s; ++i) part_[Z(i)] = cut[Z(mono_[Z(i)] - 1)];
      types = g;
    } else {
      std::copy(in.partition.begin(), in.partition.end(), part_.begin());
    }
    const double value = Criterion(types);
    out.evaluations.emplace_back(g, value);
    if (RankingBetter(partial_, value, out.best)) {
      out.best = value;
      out.g = g;
    }
  };

  const bool single = k == 1;
  const int firstType = in.chtype[Z(marked_[0])];
  const bool singleQualitative = single && firstType != 3;
  for (int g = 2;; ++g) {
    if (singleQualitative && clustering) {
      // A single qualitative trait splits the OTUs by its states only.
      if (nMono >= in.nMinTypes && nMono <= in.nMaxTypes) evaluateAt(nMono);
      break;
    }
    if (g > in.nMaxTypes) break;
    if (g < in.nMinTypes) continue;
    evaluateAt(g);
    if (singleQualitative) break;
    if (single && g == in.onsta[Z(marked_[0])]) break;
    if (g >= nMono) break;
  }
}

}  // namespace kalios
