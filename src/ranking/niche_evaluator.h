#pragma once
// The evaluation of one trait subset for the niche conservation criteria: the
// subset search's own types and belonging, then per number of types the panel
// of fifteen correlations between the phylogenetically weighted composition P,
// the composition X fuzzy-weighted by trait types, the community weighted
// means T and the environment E.
#include <array>
#include <vector>

#include "ranking/subset_evaluator.h"

namespace kalios {

// Positions in the panel, in the order the results file prints them.
enum NichePanel {
  kRoPT, kRoPX, kRoXT, kRoPX_T, kRoXE, kRoTE, kRoXE_T, kRoPE, kRoTE_P, kRoPE_T, kRoXE_P, kRoXE_PT,
  kRoBetaNiche, kRoAlphaBetaNiche, kRoAlphaNiche, kNichePanelSize
};

// Labels of the panel, each printed as "<label>=\t%g\t".
extern const std::array<const char*, kNichePanelSize> kNichePanelLabels;

// The panel from the six correlations that are not partials. A partial of a
// on b and c is the first-order partial correlation.
std::array<double, kNichePanelSize> NicheConservationPanel(double roPT, double roPX, double roXT, double roXE,
                                                           double roTE, double roPE);

// Each evaluation's detail holds the panel then the group size of each type;
// the criterion is roBetaNiche (criterion 14) or roAlphaBetaNiche (15).
class NicheEvaluator : public SubsetEvaluator {
 public:
  NicheEvaluator(const RankingInputs& in, int criterion, double roPE);
  void Evaluate(const int* traits, int k, SubsetResult& out) override;

 protected:
  void SubsetReady() override;
  double Criterion(int types) override;

 private:
  double Corr(const double* const* DA, const double* const* DB) const;
  void WriteStructures(int types, const std::vector<double>& detail);

  int valueAt_;
  double roPE_;
  double roPT_ = 0, roTE_ = 0;
  std::vector<std::vector<double>> details_;
  Matrix<double> residuals_;
};

}  // namespace kalios
