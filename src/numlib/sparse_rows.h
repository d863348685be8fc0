#pragma once
// A community matrix is mostly zeros: products with it can skip them.
#include <vector>

namespace kalios {

// W (n x s) as rows of (column, value) pairs, only the non-zero values: row c
// holds places [start[c], start[c + 1]) of idx (0-based column) and val.
struct SparseRows {
  std::vector<int> start, idx;
  std::vector<double> val;
  void From(int n, int s, const double* const* W);
};

}  // namespace kalios
