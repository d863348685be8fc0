#include "testing/permtest_summary.h"

#include <gsl/gsl_sort.h>
#include <gsl/gsl_statistics_double.h>

#include <algorithm>
#include <cmath>

namespace kalios {

namespace {

// Null values that differ only by rounding (a spread below 1e-12 of the
// size of their centre) have no scale to measure an effect by.
bool HasSpread(double spread, double centre) { return spread > kSpreadNoise * std::fabs(centre); }

}  // namespace

void SummarizeTableRow(int niter, int m, double* row, double observed, int tailOption) {
  double* out = row + niter;
  std::fill(out, out + 8, 0.0);
  out[kColObserved] = observed;
  if (m < 1) return;
  gsl_sort(row, 1, static_cast<std::size_t>(m));
  const std::size_t n = static_cast<std::size_t>(m);
  out[kColMedian] = gsl_stats_median_from_sorted_data(row, 1, n);
  out[kColQ15865] = gsl_stats_quantile_from_sorted_data(row, 1, n, 0.15865);
  out[kColQ84135] = gsl_stats_quantile_from_sorted_data(row, 1, n, 0.84135);
  double ses = 0, expected = 0;
  NonParametricSES(row, niter, m, observed, &ses, &expected);
  out[kColSESMedian] = ses;
  out[kColQ025] = gsl_stats_quantile_from_sorted_data(row, 1, n, 0.025);
  out[kColQ975] = gsl_stats_quantile_from_sorted_data(row, 1, n, 0.975);
  out[kColAsymP] = Pvalue(m, row, tailOption, observed, out[kColMedian]);
}

void ParametricSES(double observed, double sumSquares, double sum, int m, double minimum, double maximum,
                   double* ses, double* expected) {
  *ses = 0;
  *expected = 0;
  if (m < 1) return;
  const double mean = sum / m;
  *expected = mean;
  if (m < 2) return;
  // The one-pass variance of equal values need not come out as exactly 0, so
  // a constant distribution is recognised by its extremes.
  const double var = std::max(0.0, (sumSquares - sum * sum / m) / (m - 1));
  if (minimum == maximum || !(var > 0) || !HasSpread(std::sqrt(var), mean)) {
    *expected = observed;
    return;
  }
  *ses = (observed - mean) / std::sqrt(var);
}

void NonParametricSES(const double* row, int niter, int m, double observed, double* ses, double* expected) {
  *ses = 0;
  *expected = 0;
  if (m < 1) return;
  const double median = row[niter + kColMedian];
  const double lo = row[niter + kColQ15865];
  const double hi = row[niter + kColQ84135];
  *expected = median;
  if (m < 2) return;
  if (!(hi - lo > 0) || !HasSpread(hi - lo, median)) {
    *expected = observed;
    return;
  }
  *ses = SES_median(observed, median, lo, hi);
  // A skewed distribution can have no spread on the observed side while the
  // observed value still differs from the median: scale by half the central
  // spread then, so that the SES is 0 only at the median.
  if (*ses == 0 && observed != median) *ses = (observed - median) / ((hi - lo) / 2);
}

std::vector<QuantitySummary> SummarizePermutations(PermutationTotals& totals, const std::vector<int>& tailOptions,
                                                   bool nonParametricSES) {
  const int niter = totals.niter;
  const int m = niter - 1;
  const std::size_t nq = totals.quantities.size();
  std::vector<QuantitySummary> out(nq);
  const bool boot = !totals.bootTable.empty();

  for (std::size_t q = 0; q < nq; ++q) {
    const double obs = totals.quantities[q].observed;
    QuantitySummary& s = out[q];
    s.p = niter >= 1 ? totals.count[q] / niter : 1.0;
    const int row = static_cast<int>(q);
    if (row < totals.tableRows) {
      const int tail = row < static_cast<int>(tailOptions.size()) ? tailOptions[q] : 1;
      double* nullRow = totals.nullTable[row];
      SummarizeTableRow(niter, m, nullRow, obs, tail);
      const double* limits = nullRow;
      if (boot) {
        double* bootRow = totals.bootTable[row];
        SummarizeTableRow(niter, m, bootRow, obs, tail);
        limits = bootRow;
      }
      s.ll = limits[niter + kColQ025];
      s.ul = limits[niter + kColQ975];
      s.asymP = nullRow[niter + kColAsymP];
      if (nonParametricSES) {
        NonParametricSES(nullRow, niter, m, obs, &s.ses, &s.expected);
        continue;
      }
    }
    ParametricSES(obs, totals.sumSquares[q], totals.sum[q], m, totals.minimum[q], totals.maximum[q], &s.ses,
                  &s.expected);
  }
  return out;
}

}  // namespace kalios
