#include "numlib/groups.h"

#include <algorithm>
#include <vector>

namespace kalios {

// Walks the objects in order and records each group number the first time it
// is met, then sorts the recorded numbers.
void CountGroupsNew(int n, const int* partition, int& count, int* distinct) {
  count = 0;
  if (n < 1) return;
  std::vector<int> seen;
  seen.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    if (std::find(seen.begin(), seen.end(), partition[i]) == seen.end()) seen.push_back(partition[i]);
  std::sort(seen.begin(), seen.end());
  count = static_cast<int>(seen.size());
  if (distinct) std::copy(seen.begin(), seen.end(), distinct);
}

}  // namespace kalios
