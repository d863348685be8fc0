#pragma once
// Euclidean distances between the rows of a data matrix without missing values.

namespace kalios {

// D[i][j] for j > i (and D[i][i] = 0) = the Euclidean distance between rows i
// and j of the n x p matrix x, which holds no missing value; the lower
// triangle is not written. The result does not depend on the number of
// threads nor on the processor's vector width.
void EuclidUpperComplete(int n, int p, const double* const* x, double** D);

}  // namespace kalios
