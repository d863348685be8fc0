#pragma once
// The two products that dominate a subset's evaluation when every OTU is its
// own type and nothing is missing: X = W U with W sparse (most communities
// hold few of the OTUs), and the Euclidean distances between the rows of X.
#include <vector>

#include "numlib/sparse_rows.h"

namespace kalios {


// X[c] = sum over the pairs (i, w) of row c of w * scale[i] * U[i] (k columns).
void SparseTimesDense(int n, int k, const SparseRows& W, const double* scale, const double* const* U, double** X);

// D (n x n, both triangles, zero diagonal) = Euclidean distances between the
// rows of X (n x k), no missing values.
void EuclideanRows(int n, int k, const double* const* X, double** D);

}  // namespace kalios
