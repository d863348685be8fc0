#pragma once
// Community-weighted products and Rao's quadratic entropy: the per-community
// descriptors recomputed for every permutation of the functional tests, so
// they allocate only once per call and skip zero abundances.
//
// The missing value is exactly -999.0; every routine here skips it.

namespace kalios {

// Z (n x p) = A (n x m) x B (m x p) with missing-value rescaling. For each row i
// and each selected column j the sum runs over the k where A[i][k] and B[k][j]
// are both present, each term multiplied by weights[k]; the sum is then scaled
// by (sum of present A[i][k]) / (sum of A[i][k] over the k that entered), so a
// community-weighted mean is taken over the OTUs whose trait is known.
// A cell gets -999 when no term entered at all, and also when the community
// holds OTUs with non-zero abundance but none of them has the trait.
// select (p ints, or null for all): columns with select[j] != 1 are set to 0.
// weights (m ints, or null for all 1).
// Returns true, and computes nothing, when m != m2 (inner dimensions differ).
// Rows are shared among the threads (static schedule); the result does not
// depend on the number of threads.
bool MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const double* const* A,
                                      const double* const* B, double** Z, const int* select,
                                      const int* weights);

// The same, with the multiplier of term (k, j) taken from the OTU flags of row
// k and of column j (column j counted as OTU j): flags[k]*flags[j] when
// restrictWithin, else 1 when either flag is 1 and 0 otherwise. flags must hold
// max(m, p) values (null counts every OTU).
bool MatrixProdSelectMV_Adjust_Weight(int n, int m, int m2, int p, const double* const* A,
                                      const double* const* B, double** Z, const int* select,
                                      const int* flags, bool restrictWithin);

// Rao's quadratic entropy of each of the n communities (rows of W, s OTUs) into
// Q (n values). R (s x s) holds similarities or dissimilarities (isDissimilarity);
// only its strict upper triangle is read. The pair difference is R (dissimilarity)
// or 1 - R (similarity), or its square root with sqrtOpt. Pairs whose resemblance
// is missing are left out and the entropy is rescaled to the abundance of all
// pairs. With relative, each community is first divided by its total.
// flags (s ints, null = all count) with restrictWithin give the pair multipliers
// as in the weighted product. Returns true.
bool RaoIndex_Weight_Matrix(int n, int s, const double* const* W, const double* const* R, double* Q,
                            bool isDissimilarity, bool sqrtOpt, const int* flags, bool restrictWithin,
                            bool relative);

// Rao's quadratic entropy of one community w (s values, relative abundances
// taken as w / total) over all ordered pairs, the diagonal included; R is read
// from its upper triangle (diagonal included) and is not modified. No rescaling
// for missing resemblances; 0 when the total is not positive.
double RaoIndex_Weight(int s, const double* w, const double* const* R, bool isDissimilarity, bool sqrtOpt,
                       const int* flags, bool restrictWithin);

}  // namespace kalios
