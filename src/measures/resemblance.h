#pragma once
// Resemblance (similarity or dissimilarity) matrices between the rows of a data
// matrix, by numbered coefficient. Every routine takes (n, p, data, D): n objects
// (rows) described by p variables, and an n x n output supplied by the caller.
// The missing value -999 is skipped by every routine except EucliDist.
//
// Resemblance codes (S similarity, D dissimilarity) understood by ResemblanceLib:
//   1 CrossProductMV S        2 AbsValFunctionMV D      3 EucliDistMV D
//   4 MutualInformationMV S 5 GowerMVOpt S            6 MDISMV D
//   7 MutualEntropyPairwiseMV S   8 sqrt(1 - coherence^2) D   9 coherence S
//  10 QuiSquareMV D        11 Jaccard S              12 SimpleMatching S
//  13 SokalMichener S      14 Ochiai S               15 Sorensen S
//  16 MeanSquareContingency S   17 CorrelationMV S     18 ChordDistMV D
//  19 LegendreChodorowski S     20 BrayCurtisMV D    21 second eigenvalue S
//  22 CovarianceMV S       23 JaccardDissimilarity D 24 JaccardTurnover D
//  25 JaccardNestedness D  26 SorensenDissimilarity D 27 SorensenTurnover D
//  28 SorensenNestedness D 29 Mahalanobis D
#include <ostream>

namespace kalios {

// Computes the resemblance `code` between the rows (orientation != 2) or the
// columns (orientation == 2, D is then p x p) of data. After the coefficient,
// squareOpt 1 squares and 2 takes the square root of the upper triangle with the
// diagonal (undefined values, -999, are left as they are; a negative value has no
// square root and becomes -999), and the upper triangle is copied onto the lower.
// A code outside 1..29 computes nothing but the later steps still run.
// types: variable types for code 5; alpha: order of codes 6-9 entropies; k: the
// parameter of code 19; countDoubleAbsence: for code 5; printTables: codes 6-10
// write every contingency table to "Tables.txt" in the current directory.
// Returns 1.
int ResemblanceLib(int n, int p, const double* const* data, double** D, int orientation, int code, int squareOpt,
                   const int* types, double alpha, double k, int countDoubleAbsence, bool printTables);
// The same with squareOpt 0.
int ResemblanceLib(int n, int p, const double* const* data, double** D, int orientation, int code,
                   const int* types, double alpha, double k, int countDoubleAbsence, bool printTables);

// Maps the resemblance option between communities of the analysis dialogues to a
// resemblance code: 3 -> 1, 5 -> 17, 6 -> 3, 8 -> 2, 10 -> 18, options 1, 2, 4, 7,
// 9 -> 0 (nothing computed), anything outside 1..10 -> 1.
int TranslateReseOpt_KALIOS_PLOVEN(int reseOpt);

// ---- Euclidean distances (rows shared among the threads, static schedule) ----

// Full matrix, no missing-value handling.
void EucliDist(int n, int p, const double* const* data, double** D);
// Full matrix over the variables present in both rows; 0 when the sum is not positive.
void EucliDistMV(int n, int p, const double* const* data, double** D);
// Over the variables whose select flag is non-zero; diagonal and upper triangle only.
void EucliDistMVSelect(int n, int p, const double* const* data, double** D, const int* select);
// Absolute difference on the single variable `which` (counted from 1), 0 when either
// value is missing; diagonal and upper triangle only.
void EucliDistMVSelectOne(int n, int p, const double* const* data, double** D, int which);

// ---- Gower general similarity ----

// Gower similarity with variable types (1 binary, 2 nominal, 3 quantitative,
// 4 ordinal, anything else ignored). Each variable contributes a partial similarity
// rounded to single precision times its weight (weights null: all 1; a variable
// whose weight is not positive is left out); ordinal variables are compared on the
// mid-ranks of their present values, computed on a private copy so that data keeps
// its raw values. Ranges are always the largest minus the smallest present value
// (the range argument is accepted for callers that have one and is not read).
// countDoubleAbsence 0: two zeros of a binary variable are left out of the pair.
// A pair with no comparable variable keeps its previous value in S. S[i][i] = 1.
void GowerMVOpt(int n, int p, const int* types, const double* const* data, double** S, const double* range,
                const double* weight, int countDoubleAbsence);
// The same with double absences always left out.
void GowerMV(int n, int p, const int* types, const double* const* data, double** S, const double* range,
             const double* weight);
// Partial similarity of the n objects on the single variable x of the given type;
// S is n x n, symmetric, rounded to single precision; -999 marks a pair that is not
// comparable (missing value, left-out double absence, weight 0, unknown type, a
// countDoubleAbsence other than 0 or 1 for a binary variable). range 0 for a
// quantitative variable, and always for an ordinal one (compared on mid-ranks of a
// private copy), means the range is computed. A negative weight becomes 1.
void GowerMVPartial_dAbsences(int n, int type, const double* x, double** S, double range, double weight,
                              int countDoubleAbsence);

// ---- Quantitative coefficients ----

// Code 2: sum of absolute differences over the variables present in both rows.
void AbsValFunctionMV(int n, int p, const double* const* data, double** D);
// Code 4: information divergence of the two rows, over the variables present in
// both (pairwise deletion; the row totals are taken over the same variables).
void MutualInformationMV(int n, int p, const double* const* data, double** S);
// Code 18: Euclidean distance between the rows scaled to unit length.
void ChordDistMV(int n, int p, const double* const* data, double** D);
// Code 19: Legendre-Chodorowski similarity with parameter k; weights null: all 1.
void LegendreChodorowski(int n, int p, const double* const* data, double** S, double k, const double* weight);
// Code 20: Bray-Curtis (percentage difference) with values shifted to be non-negative.
void BrayCurtisMV(int n, int p, const double* const* data, double** D);
// Code 21: second eigenvalue of the 2 x 2 cross-product matrix of the centred and
// normalized rows, for i < j.
void HierFactorialEigen(int n, int p, const double* const* data, double** S);
// Code 29: Mahalanobis distance with the covariance of the variables over the
// objects. A pair with a missing value uses the variables present in both and the
// matching block of the covariance (pairwise deletion). A pair whose covariance
// block cannot be inverted, or that shares no variable, gets -999. Diagonal 0.
void Mahalanobis(int n, int p, const double* const* data, double** D);

// ---- Binary coefficients ----

// Counts of the four cases over the variables that are exactly 0 or 1 in both rows:
// a = 1/1, b = 1/0, c = 0/1, d = 0/0.
void JointFreq(int p, const double* x, const double* y, int& a, int& b, int& c, int& d);

void Jaccard(int n, int p, const double* const* data, double** S);                 // 11
void SimpleMatching(int n, int p, const double* const* data, double** S);          // 12
void SokalMichener(int n, int p, const double* const* data, double** S);           // 13
void Ochiai(int n, int p, const double* const* data, double** S);                  // 14
void Sorensen(int n, int p, const double* const* data, double** S);                // 15
void MeanSquareContingency(int n, int p, const double* const* data, double** S);   // 16
void JaccardDissimilarity(int n, int p, const double* const* data, double** D);    // 23
void JaccardTurnover(int n, int p, const double* const* data, double** D);         // 24
void JaccardNestedness(int n, int p, const double* const* data, double** D);       // 25
void SorensenDissimilarity(int n, int p, const double* const* data, double** D);   // 26
void SorensenTurnover(int n, int p, const double* const* data, double** D);        // 27
void SorensenNestedness(int n, int p, const double* const* data, double** D);      // 28

}  // namespace kalios
