#include "session/partition.h"

#include <algorithm>
#include <vector>

#include "numlib/matrix.h"

namespace kalios {

namespace {

// Walks the objects in order and records each group number the first time it
// is met, then sorts the recorded numbers.
void CountDistinct(int n, const int* partition, const int* selected, int& count, int* distinct) {
  count = 0;
  if (n < 1) return;
  std::vector<int> seen;
  seen.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    if (selected && selected[i] != 1) continue;
    if (std::find(seen.begin(), seen.end(), partition[i]) == seen.end()) seen.push_back(partition[i]);
  }
  std::sort(seen.begin(), seen.end());
  count = static_cast<int>(seen.size());
  if (distinct) std::copy(seen.begin(), seen.end(), distinct);
}

}  // namespace

void CountGroups(int n, const int* partition, int& count, int* distinct) {
  CountDistinct(n, partition, nullptr, count, distinct);
}

void CountGroupsNew(int n, const int* partition, int& count, int* distinct) {
  CountDistinct(n, partition, nullptr, count, distinct);
}

void CountGroupsSelect(int n, const int* partition, const int* selected, int& count, int* distinct) {
  CountDistinct(n, partition, selected, count, distinct);
}

void RangeStates(int nch, int tcst, const double* const* B, const int* chtype, double* range) {
  for (int k = 0; k < nch; ++k) {
    if (chtype[k] != 3) continue;
    bool any = false;
    double lo = 0, hi = 0;
    for (int i = 0; i < tcst; ++i) {
      double x = B[i][k];
      if (x == kMissingValue) continue;
      if (!any) {
        lo = hi = x;
        any = true;
      } else {
        lo = std::min(lo, x);
        hi = std::max(hi, x);
      }
    }
    range[k] = any ? hi - lo : 0.0;
  }
}

}  // namespace kalios
