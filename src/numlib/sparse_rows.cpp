#include "numlib/sparse_rows.h"

namespace kalios {

void SparseRows::From(int n, int s, const double* const* W) {
  start.assign(1, 0);
  idx.clear();
  val.clear();
  for (int c = 0; c < n; ++c) {
    for (int i = 0; i < s; ++i)
      if (W[c][i] != 0.0) {
        idx.push_back(i);
        val.push_back(W[c][i]);
      }
    start.push_back(static_cast<int>(idx.size()));
  }
}

}  // namespace kalios
