#pragma once
// Sums of squares of a dissimilarity matrix within and between groups of
// objects, and the pseudo-F of a partition built on them: the analysis of
// variance of community resemblances by an ecological factor.
//
// Dissimilarities are read from the strict upper triangle (D[i][j], i < j),
// so a matrix with only its upper triangle filled will do.

namespace kalios {

// SSt = within sum of squares of all selected objects (select null: all);
// SSb = SSt minus the within sums of squares of each group of selected
// objects sharing a partition label, groups taken in the order of their first
// selected member. Returns SSb.
double BetweenGrSqDissim(int n, const double* const* D, const int* partition, double* SSb, double* SSt,
                         const int* select, bool alreadySquared);

// Pseudo-F = SSb / (SSt - SSb) of the partition, without a degrees-of-freedom
// correction (a permutation test does not need one). A partition that
// explains nothing (one group, or no variation at all) gives 0; groups without
// variation within them (a within sum below 1e-12 of the total) give +infinity,
// larger than any finite null value. SSt
// receives the total sum of squares when not null.
double PseudoF(int n, const double* const* D, const int* partition, const int* select, bool alreadySquared,
               double* SSt = nullptr);

}  // namespace kalios
