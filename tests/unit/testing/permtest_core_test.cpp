#include "testing/permtest_core.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <sstream>
#include <vector>

#include "support/compare.h"
#include "testing/permtest_summary.h"

namespace kalios {
namespace {

TEST(NullModelDrawer, WeightedSelectedAndFixedTaxaShuffles) {
  NullModelSetup w;
  w.kind = NullModelKind::kTaxaWeighted;
  w.nOTUs = 3;
  w.occurrences = {1, 1, 1, 1, 2, 3};  // OTU 1 holds four occurrences out of six
  NullModelDrawer weighted(w);
  RandomGenerator a(3), b(3);
  std::vector<int> occ = w.occurrences;
  int ones = 0;
  for (int it = 0; it < 400; ++it) {
    std::vector<int> perm(3);
    weighted.Draw(a, nullptr, perm.data());
    RndListSpecified(b, 6, occ.data());
    EXPECT_EQ(perm, std::vector<int>(occ.begin(), occ.begin() + 3));
    ones += (perm[0] == 1);
  }
  EXPECT_GT(ones, 200);  // chance 2/3 per place

  NullModelSetup s;
  s.kind = NullModelKind::kTaxaSelected;
  s.nOTUs = 5;
  s.selected = {1, 0, 1, 1, 0};
  NullModelDrawer selected(s);
  for (int it = 0; it < 20; ++it) {
    std::vector<int> perm(5);
    selected.Draw(a, nullptr, perm.data());
    EXPECT_EQ(perm[1], 2);
    EXPECT_EQ(perm[4], 5);
    EXPECT_EQ(perm[0] + perm[2] + perm[3], 1 + 3 + 4);
  }

  NullModelSetup f;
  f.kind = NullModelKind::kTaxaFixed;
  f.nOTUs = 3;
  NullModelDrawer fixed(f);
  std::vector<int> perm(3);
  fixed.Draw(a, nullptr, perm.data());
  EXPECT_EQ(perm, (std::vector<int>{1, 2, 3}));
}

// A statistic computed from the permutation alone, with text per iteration.
class FakeWorker : public NullWorker {
 public:
  explicit FakeWorker(std::vector<std::vector<double>> table = {}) : table_(std::move(table)) {}
  void Evaluate(const IterationDraw& d, double* nullValues, double* bootValues, std::ostream* text) override {
    if (!table_.empty()) {
      const std::vector<double>& row = table_[static_cast<std::size_t>(d.iteration)];
      for (std::size_t q = 0; q < row.size(); ++q) nullValues[q] = row[q];
    } else {
      double s = 0;
      for (int i = 0; i < d.permLength; ++i) s += std::sin(d.perm[i] * (i + 1.0));
      nullValues[0] = s;
      nullValues[1] = -s;
      nullValues[2] = s * s;
      if (bootValues != nullptr) bootValues[0] = d.boot[0] + 0.5 * d.boot[1];
    }
    if (text != nullptr) *text << "it " << d.iteration << " " << nullValues[0] << "\n";
  }

 private:
  std::vector<std::vector<double>> table_;
};

PermutationTotals RunFake(int niter, int threads, int chunk, bool boot, std::string* text,
                          std::vector<std::vector<double>> table = {}, std::vector<TestedQuantity> q = {}) {
  NullModelSetup s;
  s.kind = NullModelKind::kSite;
  s.ncsm = 7;
  s.bootstrap = boot;
  NullModelDrawer drawer(s);
  RandomGenerator rng(99);
  if (q.empty()) q = {{0.3, CountRule::kPlain}, {0.3, CountRule::kAbsolute}, {1.0, CountRule::kPlain}};
  PermutationTotals totals;
  totals.Reset(niter, 2, q, boot);
  std::ostringstream os;
  PermutationRunOptions opt;
  opt.threads = threads;
  opt.chunk = chunk;
  opt.text = text != nullptr ? &os : nullptr;
  RunPermutations(rng, drawer, [&] { return std::make_unique<FakeWorker>(table); }, totals, opt);
  if (text != nullptr) *text = os.str();
  return totals;
}

TEST(RunPermutations, BitIdenticalForEveryThreadCountAndChunk) {
  std::string ref;
  const int before = omp_get_max_threads();
  PermutationTotals a = RunFake(200, 1, 0, true, &ref);
  EXPECT_EQ(omp_get_max_threads(), before);  // the caller's thread setting is left alone
  for (int threads : {2, 3}) {
    for (int chunk : {1, 7, 0}) {
      std::string text;
      PermutationTotals b = RunFake(200, threads, chunk, true, &text);
      EXPECT_EQ(text, ref) << threads << " threads, chunk " << chunk;
      EXPECT_EQ(a.count, b.count);
      EXPECT_EQ(a.sum, b.sum);
      EXPECT_EQ(a.sumSquares, b.sumSquares);
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 199; ++c) {
          ASSERT_EQ(a.nullTable[r][c], b.nullTable[r][c]);
          ASSERT_EQ(a.bootTable[r][c], b.bootTable[r][c]);
        }
    }
  }
  // The text comes in iteration order.
  EXPECT_EQ(ref.rfind("it 0 ", 0), 0u);
  EXPECT_LT(ref.find("it 9 "), ref.find("it 10 "));
}

TEST(RunPermutations, CountsTiesAbsoluteValuesNaNAsZeroAndInfinityAsLargest) {
  const double obs = 0.5;
  const float f = 0.5f;
  const double justBelowInFloat = std::nextafter(f, 0.0f);  // one unit of single precision below
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // quantity 0 plain, 1 absolute (a partial with a two-tailed test), 2 plain.
  std::vector<std::vector<double>> table = {
      {justBelowInFloat, -0.6, -0.6}, {0.4, 0.4, nan}, {nan, nan, inf}, {0.5 + 1e-12, -0.5, 0.5}};
  std::vector<TestedQuantity> q = {{obs, CountRule::kPlain}, {obs, CountRule::kAbsolute}, {obs, CountRule::kPlain}};
  PermutationTotals t = RunFake(5, 2, 0, false, nullptr, table, q);
  EXPECT_EQ(t.count[0], 1 + 2);  // the tie within one unit, the value above
  EXPECT_EQ(t.count[1], 1 + 2);  // |-0.6| and |-0.5|
  // 0.5 and the infinity (a pseudo-F of groups without variation within
  // them is larger than any finite value); a NaN enters as 0.
  EXPECT_EQ(t.count[2], 1 + 2);
  EXPECT_EQ(t.nullTable[1][2], 0.0);
  EXPECT_EQ(t.sum[2], std::numeric_limits<double>::infinity());
  std::vector<QuantitySummary> s = SummarizePermutations(t, {1, 0}, true);
  for (const QuantitySummary& x : s) {
    EXPECT_TRUE(std::isfinite(x.ses) && std::isfinite(x.expected) && std::isfinite(x.asymP));
  }
  EXPECT_EQ(s[0].p, 3.0 / 5);
  EXPECT_EQ(s[2].p, 3.0 / 5);
}

TEST(Summary, ConstantNullDistributionAndSingleNullValue) {
  std::vector<std::vector<double>> table(9, std::vector<double>{0.1, 0.1, 0.1});
  std::vector<TestedQuantity> q = {{0.7, CountRule::kPlain}, {0.1, CountRule::kPlain}, {0.7, CountRule::kPlain}};
  for (bool nonPar : {false, true}) {
    PermutationTotals t = RunFake(10, 1, 0, false, nullptr, table, q);
    std::vector<QuantitySummary> s = SummarizePermutations(t, {1, 1}, nonPar);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(s[k].ses, 0.0) << k;
      EXPECT_EQ(s[k].expected, q[k].observed) << k;
    }
  }
  // Equal but for rounding (a spread of a few units in the last place): no
  // spread either, rather than an SES of rounding noise.
  std::vector<std::vector<double>> noisy;
  for (int i = 0; i < 9; ++i) {
    const double v = 0.3 + (i % 3) * 5.551115123125783e-17;
    noisy.push_back({v, -v, v});
  }
  const std::vector<TestedQuantity> qn = {{0.3, CountRule::kPlain}, {-0.3, CountRule::kPlain}, {0.2, CountRule::kPlain}};
  for (bool nonPar : {false, true}) {
    PermutationTotals t = RunFake(10, 1, 0, false, nullptr, noisy, qn);
    std::vector<QuantitySummary> s = SummarizePermutations(t, {1, 1}, nonPar);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(s[k].ses, 0.0) << k << nonPar;
      EXPECT_EQ(s[k].expected, qn[k].observed) << k;
    }
  }
  // niter = 2: one null value, no variance: SES 0, E that value.
  std::vector<std::vector<double>> one = {{0.2, 0.2, 0.2}};
  PermutationTotals t = RunFake(2, 1, 0, false, nullptr, one, q);
  std::vector<QuantitySummary> s = SummarizePermutations(t, {1, 1}, false);
  EXPECT_EQ(s[0].ses, 0.0);
  EXPECT_EQ(s[0].expected, 0.2);
  EXPECT_EQ(s[0].p, 0.5);
}

TEST(Summary, QuantilesSESAndAsymmetricPOfAKnownNullTable) {
  // Null values 1..9 (shuffled): median 5, quantiles by linear interpolation.
  std::vector<double> vals = {7, 3, 9, 1, 5, 8, 2, 6, 4};
  std::vector<std::vector<double>> table;
  for (double v : vals) table.push_back({v, -v, v});
  std::vector<TestedQuantity> q = {{5, CountRule::kPlain}, {-7.5, CountRule::kPlain}, {8, CountRule::kPlain}};
  PermutationTotals t = RunFake(10, 2, 0, false, nullptr, table, q);
  std::vector<QuantitySummary> np = SummarizePermutations(t, {1, 0}, true);
  const double* row0 = t.nullTable[0];
  for (int i = 0; i < 9; ++i) EXPECT_EQ(row0[i], i + 1.0);  // sorted in place
  EXPECT_EQ(row0[10 + kColMedian], 5);
  EXPECT_CLOSE(row0[10 + kColQ15865], 1 + 0.15865 * 8);
  EXPECT_CLOSE(row0[10 + kColQ84135], 1 + 0.84135 * 8);
  EXPECT_CLOSE(np[0].ll, 1 + 0.025 * 8);
  EXPECT_CLOSE(np[0].ul, 1 + 0.975 * 8);
  EXPECT_EQ(np[0].ses, 0.0);  // observed at the median
  EXPECT_EQ(np[0].expected, 5.0);
  EXPECT_EQ(np[0].p, 6.0 / 10);  // 5..9 and the observed
  EXPECT_EQ(np[0].asymP, 6.0 / 10);
  // Row 1 (two-sided): observed -7.5 below the median -5: lower tail -9, -8, doubled.
  EXPECT_CLOSE(np[1].ses, (-7.5 + 5) / (5 - (1 + 0.15865 * 8)));
  EXPECT_EQ(np[1].asymP, 2 * 3.0 / 10);
  // Quantity 2 is counted but has no table row: parametric only.
  std::vector<QuantitySummary> par = SummarizePermutations(t, {1, 0}, false);
  const double sd = std::sqrt(7.5);  // variance of 1..9
  EXPECT_CLOSE(par[2].ses, (8 - 5) / sd);
  EXPECT_CLOSE(par[0].expected, 5.0);
  EXPECT_EQ(par[2].ll, 0.0);
}

TEST(Summary, NonParametricSESIsZeroOnlyAtTheMedian) {
  // Skewed: most null values at 0, so the lower quantile equals the median.
  std::vector<std::vector<double>> table;
  for (int i = 0; i < 9; ++i) table.push_back({i < 6 ? 0.0 : i - 5.0, 0, 0});
  for (double obs : {-0.5, 0.0, 0.25}) {
    std::vector<TestedQuantity> q = {{obs, CountRule::kPlain}, {0, CountRule::kPlain}, {0, CountRule::kPlain}};
    PermutationTotals t = RunFake(10, 1, 0, false, nullptr, table, q);
    std::vector<QuantitySummary> s = SummarizePermutations(t, {1, 1}, true);
    if (obs == 0.0)
      EXPECT_EQ(s[0].ses, 0.0);
    else
      EXPECT_NE(s[0].ses, 0.0) << obs;
    EXPECT_EQ(s[0].ses < 0, obs < 0);
  }
}

}  // namespace
}  // namespace kalios
