#include "ranking/niche_evaluator.h"

#include "measures/diversity.h"
#include "measures/resemblance.h"
#include "measures/transform.h"
#include "measures/types.h"
#include "numlib/print.h"
#include "shell/cformat.h"
#include "testing/matrix_correlation.h"
#include "testing/regression.h"

namespace kalios {
namespace {
std::size_t Z(int i) { return static_cast<std::size_t>(i); }
}  // namespace

const std::array<const char*, kNichePanelSize> kNichePanelLabels = {
    "ro(PT)",    "ro(PX)",  "ro(XT)",  "ro(PX.T)",  "ro(XE)",      "ro(TE)",           "ro(XE.T)",    "ro(PE)",
    "ro(TE.P)", "ro(PE.T)", "ro(XE.P)", "ro(XE.PT)", "roBetaNiche", "roAlphaBetaNiche", "roAlphaNiche"};

std::array<double, kNichePanelSize> NicheConservationPanel(double roPT, double roPX, double roXT, double roXE,
                                                           double roTE, double roPE) {
  std::array<double, kNichePanelSize> v{};
  v[kRoPT] = roPT;
  v[kRoPX] = roPX;
  v[kRoXT] = roXT;
  v[kRoPX_T] = PartialCorrelation(roPX, roPT, roXT);
  v[kRoXE] = roXE;
  v[kRoTE] = roTE;
  v[kRoXE_T] = PartialCorrelation(roXE, roXT, roTE);
  v[kRoPE] = roPE;
  v[kRoTE_P] = PartialCorrelation(roTE, roPT, roPE);
  v[kRoPE_T] = PartialCorrelation(roPE, roPT, roTE);
  v[kRoXE_P] = PartialCorrelation(roXE, roPX, roPE);
  v[kRoXE_PT] = PartialCorrelation(v[kRoXE_T], v[kRoPX_T], v[kRoPE_T]);
  v[kRoBetaNiche] = roPT * roTE;
  v[kRoAlphaBetaNiche] = roPX * roXE;
  v[kRoAlphaNiche] = v[kRoXE_T] * v[kRoPX_T];
  return v;
}

NicheEvaluator::NicheEvaluator(const RankingInputs& in, int criterion, double roPE)
    : SubsetEvaluator(in), valueAt_(criterion == 14 ? kRoBetaNiche : kRoAlphaBetaNiche), roPE_(roPE) {}

double NicheEvaluator::Corr(const double* const* DA, const double* const* DB) const {
  // Only the correlations of resemblance matrices are defined for this search.
  return in_.corrKind == 'r' ? RdMatrixCorr(in_.n, DA, DB, in_.squareDist) : MatrixCorr(in_.n, DA, DB);
}

void NicheEvaluator::Evaluate(const int* traits, int k, SubsetResult& out) {
  details_.clear();
  SubsetEvaluator::Evaluate(traits, k, out);
  out.details = std::move(details_);
}

void NicheEvaluator::SubsetReady() {
  roPT_ = Corr(in_.DP, DT_);
  roTE_ = Corr(in_.DE, DT_);
}

double NicheEvaluator::Criterion(int types) {
  const RankingInputs& in = in_;
  const int s = in.s;
  const bool fast = FastComposition(types);
  Composition(types, fast);
  CompositionDistances(types, fast);

  const auto panel = NicheConservationPanel(roPT_, Corr(in.DP, DX_), Corr(DT_, DX_), Corr(in.DE, DX_), roTE_, roPE_);
  std::vector<double> detail(panel.begin(), panel.end());
  // Group sizes: the OTUs that belong wholly to each type.
  detail.resize(Z(kNichePanelSize + types), 0.0);
  for (int i = 0; i < s; ++i) {
    const int t = part_[Z(i)];
    if (t >= 1 && t <= types) detail[Z(kNichePanelSize + t - 1)] += 1;
  }
  if (structures_) WriteStructures(types, detail);
  details_.push_back(std::move(detail));
  return panel[Z(valueAt_)];
}

void NicheEvaluator::WriteStructures(int types, const std::vector<double>& detail) {
  const RankingInputs& in = in_;
  const int n = in.n, s = in.s, p = in.p, digits = digits_;
  std::ostream& os = *structures_;
  PrintTypes(types, true);
  Print(os, "\nGroup sizes:\n");
  for (int t = 0; t < types; ++t) Print(os, "%d\t", static_cast<int>(detail[Z(kNichePanelSize + t)]));
  Print(os, "\n");
  // Average of each trait over the OTUs of a type that have it.
  Matrix<double> avg(types, p);
  for (int t = 0; t < types; ++t)
    for (int c = 0; c < p; ++c) {
      double sum = 0;
      int count = 0;
      for (int i = 0; i < s; ++i)
        if (part_[Z(i)] == t + 1 && IsPresent(in.Bp[i][c])) {
          sum += in.Bp[i][c];
          ++count;
        }
      avg[t][c] = count > 0 ? sum / count : kMissingValue;
    }
  Print(os, "\nAverage trait matrix (%d types x %d traits):\n", types, p);
  PrintMatrixTab(os, types, p, avg, digits);
  Print(os, "\nPooled performance matrix X (%d communities x %d types):\n", n, types);
  PrintMatrixTab(os, n, types, X_, digits);
  Print(os, "Resemblance matrix between communities based on composition of types (matrix X):\n");
  PrintLowerHalfMatrixTab(os, n, DX_, digits);

  Print(os, "\nTrait ranking criterion:\t");
  for (int v = 0; v < kNichePanelSize; ++v) Print(os, "%s=\t%g\t", kNichePanelLabels[Z(v)], detail[Z(v)]);
  Print(os, "%d groups\tTraits:\t", types);
  PrintMarkedLabels();
  Print(os, "Group sizes:\t");
  for (int t = 0; t < types; ++t) Print(os, "%d\t", static_cast<int>(detail[Z(kNichePanelSize + t)]));
  Print(os, "\n");

  // Residuals go to their own matrix: D_P and D_X serve the evaluations that follow.
  residuals_.Resize(n, n);
  auto residualsOn = [&](const Matrix<double>& D, const char* heading) {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) residuals_[i][j] = 0.0;
    ResidualsMatrixRegression(n, DT_, D, residuals_);
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) residuals_[j][i] = residuals_[i][j];
    Print(os, "%s", heading);
    PrintMatrixTab(os, n, n, residuals_, digits);
  };
  residualsOn(in.DP,
              "\nResemblance matrix between communities based on phylogeny (residuals after removing the effect "
              "of DT):\n");
  residualsOn(DX_,
              "\nResemblance matrix between communities based on traits (residuals after removing the effect of "
              "DT):\n");
}

}  // namespace kalios
