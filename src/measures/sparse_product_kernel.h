#pragma once
// The product of a sparse community matrix with a dense matrix of thousands
// of columns (X = W U when every OTU is its own type), blocked for the cache.
#include "numlib/sparse_rows.h"

namespace kalios {

// True when the processor has the 512-bit vectors the blocked product uses.
bool BlockedSparseProductAvailable();

// Z[i][j] = the sum, over the entries t of row i of a in ascending order, of
// a.val[t] * M[a.idx[t]][j], for i < n and j < p: each term rounded before it
// is added to the running sum, which starts at 0, exactly as a loop over the
// entries would do it, so the result does not depend on the blocking, on the
// number of threads or on the vector width. M holds at least every row a
// names. Only with BlockedSparseProductAvailable().
void BlockedSparseProduct(int n, int p, const SparseRows& a, const double* const* M, double** Z);

}  // namespace kalios
