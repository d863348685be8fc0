#pragma once
// The summary of a permutation test: P-values, standardized effect sizes,
// expected values under the null hypothesis, 95% limits and asymmetry-based
// P-values, from the totals gathered over the iterations.
#include <vector>

#include "testing/permtest_core.h"

namespace kalios {

// Summary columns of a null (or bootstrap) table row, counted after the niter
// columns of null values (of which the first niter - 1 are filled).
enum SummaryColumn {
  kColMedian = 0,
  kColQ15865 = 1,
  kColQ84135 = 2,
  kColObserved = 3,
  kColSESMedian = 4,
  kColQ025 = 5,
  kColQ975 = 6,
  kColAsymP = 7,
};

// Sorts the m null values at the start of row (ascending) and fills the
// summary columns row[niter + c]. With m < 1 every summary but the observed
// value is 0.
void SummarizeTableRow(int niter, int m, double* row, double observed, int tailOption);

struct QuantitySummary {
  double p = 1;         // count / niter
  double ses = 0;
  double expected = 0;  // expected value under the null hypothesis
  double ll = 0, ul = 0;
  double asymP = 0;
};

// Relative spread of null values (to the size of their centre) below which
// they are taken as equal.
inline constexpr double kSpreadNoise = 1e-12;

// Parametric SES and expected value from the running sums of m null values.
// A null distribution without spread (every null value equal, a variance that
// is not positive, or a standard deviation below kSpreadNoise of the size of
// the mean) has no scale: SES 0 and the observed value as its
// expected value. With m = 1 the SES is 0 and the expected value the null one;
// with m < 1 both are 0.
void ParametricSES(double observed, double sumSquares, double sum, int m, double minimum, double maximum,
                   double* ses, double* expected);
// Non-parametric SES and expected value (the median) from the summary columns
// of a table row; the same rule for a distribution without spread.
void NonParametricSES(const double* row, int niter, int m, double observed, double* ses, double* expected);

// Summarizes every quantity of totals. tailOptions holds the tail option of
// the asymmetry-based P of each table row (1 upper tail, 0 two-sided). The
// table rows get their summary columns; quantities past the table rows get P,
// the parametric SES and E only. The limits come from the bootstrap table when
// there is one, otherwise from the null table.
std::vector<QuantitySummary> SummarizePermutations(PermutationTotals& totals, const std::vector<int>& tailOptions,
                                                   bool nonParametricSES);

}  // namespace kalios
