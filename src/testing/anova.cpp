#include "testing/anova.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>


namespace kalios {
namespace {

// Relative size of a within-group sum of squares that is rounding only.
constexpr double kWithinNoise = 1e-12;

inline double Sq(double d, bool alreadySquared) { return alreadySquared ? d : d * d; }

inline bool Selected(const int* select, int i) { return !select || select[i] == 1; }

}  // namespace

double BetweenGrSqDissim(int n, const double* const* D, const int* partition, double* SSb, double* SSt,
                         const int* select, bool alreadySquared) {
  // The selected objects ordered by label and, within a label, by position:
  // each group is then a run whose first entry is its first member. The
  // scratch space lives as long as the thread, since a permutation test
  // calls this thousands of times on the same number of objects.
  thread_local std::vector<int> order;
  thread_local std::vector<int> runStart;
  order.clear();
  runStart.clear();
  for (int i = 0; i < n; ++i)
    if (Selected(select, i)) order.push_back(i);
  const int m = static_cast<int>(order.size());

  double total = 0.0;
  for (int a = 0; a < m; ++a)
    for (int b = a + 1; b < m; ++b) total += Sq(D[order[a]][order[b]], alreadySquared);
  const double sst = m > 0 ? total / m : 0.0;

  std::stable_sort(order.begin(), order.end(), [partition](int x, int y) { return partition[x] < partition[y]; });
  for (int a = 0; a < m; ++a)
    if (a == 0 || partition[order[a]] != partition[order[a - 1]]) runStart.push_back(a);
  // Groups in the order of their first member.
  std::sort(runStart.begin(), runStart.end(), [](int x, int y) { return order[x] < order[y]; });

  double ssb = sst;
  for (int start : runStart) {
    int end = start + 1;
    while (end < m && partition[order[end]] == partition[order[start]]) ++end;
    double s = 0.0;
    for (int a = start; a < end; ++a)
      for (int b = a + 1; b < end; ++b) {
        const int i = std::min(order[a], order[b]), j = std::max(order[a], order[b]);
        s += Sq(D[i][j], alreadySquared);
      }
    ssb -= s / (end - start);
  }
  if (SSb) *SSb = ssb;
  if (SSt) *SSt = sst;
  return ssb;
}

double PseudoF(int n, const double* const* D, const int* partition, const int* select, bool alreadySquared,
               double* SSt) {
  double ssb = 0.0, sst = 0.0;
  BetweenGrSqDissim(n, D, partition, &ssb, &sst, select, alreadySquared);
  if (SSt) *SSt = sst;
  // A factor with one level explains nothing. Groups without any variation
  // within them separate perfectly: larger than any finite null value (what
  // is left of the within sum after the subtraction is rounding only).
  if (!(ssb > 0.0)) return 0.0;
  const double within = sst - ssb;
  if (!(within > kWithinNoise * sst)) return std::numeric_limits<double>::infinity();
  const double f = ssb / within;
  return std::isfinite(f) ? f : 0.0;
}

}  // namespace kalios
