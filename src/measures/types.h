#pragma once
// Belonging of OTUs to types: crisp (0/1) and fuzzy (similarity weighted),
// the per-trait Gower similarities of OTUs and their weighted average, the
// resemblance between communities used by the non-hierarchical analyses, and
// checks for nominal traits.
//
// Matrices are n x n (OTUs) or n x k (OTUs by types); -999 marks a missing
// value or a pair that cannot be compared.
#include "numlib/matrix.h"

namespace kalios {

// U (n x k): U[i][t] = 1 when OTU i has the t-th smallest label of the
// partition, else 0. A null partition makes every OTU its own type (k = n).
void CrispBelonging(int n, int k, const int* partition, double** U);

// U (n x k): the mean similarity of OTU i to the distinct members of each type,
// normalized to unit row sum. Identical OTUs of one type (similarity 1 within
// one unit of single precision) count once: the later one is a twin of the
// earlier, is left out of every row but its own, and the type's count drops
// by one. S is read from its upper triangle (a dissimilarity d is used as
// 1 - d); S is not changed. A null partition makes every OTU its own type.
// Rows are computed in parallel; the result does not depend on the number of
// threads.
void FuzzyBelonging(int n, int k, const double* const* S, const int* partition, double** U, bool isDissimilarity);

// Per-trait Gower similarities of the n OTUs described by B (n x p, -999
// missing): P[i][j][k] for trait k, symmetric in i and j, -999 where the pair
// cannot be compared on that trait. Ordinal traits (type 4) are compared on
// mid-ranks and their rank range; a quantitative trait (type 3) uses ranges[k]
// or, when that is 0 (or ranges is null), the range of its present values.
// Each value carries the trait's weight (null weights: all 1; a negative
// weight counts as 1) and is rounded to single precision. B is not changed.
// countDoubleAbsence 0 leaves out a binary trait absent from both OTUs.
void gower_similarityPartial(int p, const double* const* B, int n, Array3<double>& P, const int* types,
                             const double* ranges, const double* weights, int countDoubleAbsence);

// S[i][j] = sum of the comparable partial similarities / sum of their traits'
// weights, over the traits with positive weight; -999 for a pair without a
// comparable trait. The diagonal is 1.
void gower_similarityAverage(int p, int n, const Array3<double>& P, double** S, const double* weights);
// The same over the traits whose select entry is 1, each with weight 1.
void gower_similarityAverage(int p, int n, const Array3<double>& P, double** S, const int* select);

// The same S as gower_similarityPartial followed by the weighted
// gower_similarityAverage, without keeping the partials: one trait at a time
// is added in, so the memory is two n x n matrices instead of p of them (a
// third of a gigabyte at 2,000 OTUs and 12 traits). Same additions in the same
// order, hence the same values to the last bit.
void gower_similarity(int p, const double* const* B, int n, double** S, const int* types, const double* ranges,
                      const double* weights, int countDoubleAbsence);

// Resemblance D (n x n) between the rows of X (n x p) by the community
// resemblance option: 6, 7 Euclidean distance; 8, 9 sum of absolute
// differences; 10 chord distance. Missing values are skipped pairwise. Other
// options leave D untouched.
void NominalReseNonHier(int n, int p, const double* const* X, double** D, int reseOpt);

// True when any trait (any selected trait: select = 1) is nominal (type 2).
bool HasQualitTrait(int p, const int* types);
bool HasQualitTraitSelect(int p, const int* types, const int* select);

}  // namespace kalios
