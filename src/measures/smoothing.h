#pragma once
// Beals smoothing of community composition (with the conditional occurrence
// matrix it rests on) and the nearest-neighbour cross-referenced distance
// between two resemblance spaces. All sequential; -999.0 marks a missing value.

namespace kalios {

// The s x s conditional occurrence matrix M of the s OTUs over the n
// communities of X (n x s), counting only communities where both values are
// present. mode 0: co-occurrence counts of positive values; mode 1: sum of
// X[c][a] over the communities where X[c][b] > 0; mode 2: sum of
// X[c][a] * X[c][b]; other modes: 0. Except in mode 2 each row is then divided
// by its diagonal (when positive) and the diagonal set to 1, so M[a][b]
// estimates the probability of b given a. rowNormalize divides each row by its
// sum (a zero sum by 1).
void ConditionalProb(int n, int s, const double* const* X, double** M, int mode, bool rowNormalize);
// As above, normalizing rows exactly in mode 2.
void ConditionalProb(int n, int s, const double* const* X, double** M, int mode);

// Beals smoothing Y (n x s) of W (n x s) with the conditional probabilities of
// X (callers pass W as X): Y[c][b] is the abundance-weighted mean probability
// of b given the OTUs of community c. With includeOpt the target OTU takes part
// in its own estimate (Y = P M, P = W with unit row totals); without it the
// target is left out and the rest reweighted by 1 / (1 - P[c][b]), with the
// odds M / (1 - M) in place of M when oddsOpt is set. oddsOpt also normalizes
// the rows of M.
void BealsSmoothing(int n, int s, const double* const* W, const double* const* X, double** Y, bool includeOpt,
                    int mode, bool oddsOpt);
// As above, with the odds form (and row normalization) exactly in mode 2.
void BealsSmoothing(int n, int s, const double* const* W, const double* const* X, double** Y, bool includeOpt,
                    int mode);

// Nearest-neighbour cross-referenced distance: for each of the n objects, the
// mean D2 distance to its nearest neighbours in D1 (every j != i at exactly the
// smallest D1[i][j] counts). D1 and D2 are full n x n matrices; missing D1
// values never count as neighbours, missing D2 values are left out of the mean
// (-999 when all are). An object without neighbours gets 0. Returns true.
bool NNCRD(int n, const double* const* D1, const double* const* D2, double* out);

}  // namespace kalios
