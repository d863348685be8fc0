#pragma once
// A community matrix is mostly zeros: products with it can skip them.
#include <cstddef>
#include <vector>

#include "numlib/matrix.h"

namespace kalios {

// W (n x s) as rows of (column, value) pairs, only the non-zero values: row c
// holds places [start[c], start[c + 1]) of idx (0-based column) and val.
struct SparseRows {
  std::vector<int> start, idx;
  std::vector<double> val;
  void From(int n, int s, const double* const* W);
  // Only the present (not missing), non-zero values, each kept as
  // value(row, column, w). The rows are counted, then filled, in parallel;
  // the lists do not depend on the number of threads.
  template <class Value>
  void FromPresent(int n, int s, const double* const* W, Value value);
};

template <class Value>
void SparseRows::FromPresent(int n, int s, const double* const* W, Value value) {
  start.assign(static_cast<std::size_t>(n > 0 ? n : 0) + 1, 0);
#pragma omp parallel for schedule(static)
  for (int c = 0; c < n; ++c) {
    int cnt = 0;
    for (int i = 0; i < s; ++i) cnt += IsPresent(W[c][i]) && W[c][i] != 0.0;
    start[static_cast<std::size_t>(c) + 1] = cnt;
  }
  for (int c = 0; c < n; ++c) start[static_cast<std::size_t>(c) + 1] += start[static_cast<std::size_t>(c)];
  idx.resize(static_cast<std::size_t>(start.back()));
  val.resize(idx.size());
#pragma omp parallel for schedule(static)
  for (int c = 0; c < n; ++c) {
    std::size_t t = static_cast<std::size_t>(start[static_cast<std::size_t>(c)]);
    for (int i = 0; i < s; ++i) {
      const double w = W[c][i];
      if (!IsPresent(w) || w == 0.0) continue;
      idx[t] = i;
      val[t++] = value(c, i, w);
    }
  }
}

}  // namespace kalios
