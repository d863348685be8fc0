#pragma once
// Ordination axes from resemblance and cross-product matrices: principal
// coordinates of objects, principal components with the objects projected
// onto them, and a correspondence-analysis style scaling; and the conversions
// between resemblance forms (Gower centring, products, correlations and
// probabilities to squared distances or dissimilarities).
//
// Dissimilarity matrices are read from their upper triangle with the
// diagonal. Scores are stored one axis per row: scores[k][i] is the coordinate
// of object i on axis k.

namespace kalios {

// Methods of OrdinationLib_D.
inline constexpr int kOrdinationPrincipalCoordinates = 1;
inline constexpr int kOrdinationPrincipalComponents = 2;
inline constexpr int kOrdinationCorrespondence = 3;

// True when a resemblance code of ResemblanceLib denotes a similarity or a
// cross product (so principal coordinates first turn it into squared
// distances); every other code is a dissimilarity.
bool IsSimilarityCode(int reseCode);

// Decomposes R (n x n) and computes the scores of the retained axes:
//  method 1, principal coordinates of R (a similarity or a dissimilarity by
//    reseCode); scores[k][i] for the n objects, axis k of length
//    sqrt(eigval[k]); data is not read;
//  method 2, principal components of the cross products R between the n
//    variables of data, with the p objects projected onto the unit
//    eigenvectors: scores[k][j]; data are first centred per variable
//    (CenterRowsCovMV) for reseCode 22, centred and normalized for 17;
//  method 3, correspondence scaling of the table data (n rows, p columns); the
//    eigenvectors of the retained axes are rescaled in place by
//    sqrt(grand total / row total).
// data is n x p when orientation is 1 and p x n (read transposed) otherwise;
// missing values -999 in it are skipped. All n eigenvalues (descending) and
// eigenvectors (one per row) are returned; nAxes counts the eigenvalues with
// eigval * 100 / (sum of the positive ones) > 1e-6, so negative and
// negligible ones give no axis. ok is false when an eigenvalue is markedly
// negative (below -0.001 times the sum of all); the axes are still computed.
// scores needs nAxes rows of n (method 1) or p (methods 2, 3) values.
// With vectors >= 0 only the first `vectors` eigenvectors are computed (and
// eigvec, scores need only that many rows): scores then go to the first
// min(nAxes, vectors) axes, nAxes and eigval still counting them all.
// Returns 1.
int OrdinationLib_D(int n, int p, const double* const* data, const double* const* R, double** eigvec,
                    double** scores, int* nAxes, double* eigval, bool* ok, int method, int reseCode,
                    int orientation, int vectors = -1);
// OrdinationLib_D with its own eigenvectors and eigenvalues; returns the
// number of axes.
int OrdinationLib_Scores(int n, int p, const double* const* data, const double* const* R, double** scores,
                         int method, int reseCode, int orientation);

// Gower-centred matrix -0.5 (d_ij - r_i - r_j + g) of the dissimilarities D
// (upper triangle read, squared first unless alreadySquared); only the upper
// triangle of G is written.
void DissToCenterProdMatrix(int n, const double* const* D, double** G, bool alreadySquared);
// Gower centring of the symmetric matrix given by the upper triangle of D,
// squared first when `square` is true (the opposite sense of the flag of
// DissToCenterProdMatrix); all of G is written. D and G may be the same.
void GowerMatrixCentering(int n, const double* const* D, double** G, bool square);
// Squared distances of a cross-product matrix: D[i][j] = S[i][i] + S[j][j] -
// 2 S[i][j] for j > i, diagonal 0, lower triangle not written.
void ProdToSqDist(int n, const double* const* S, double** D);
// D[i][j] = D[j][i] = 1 - P[i][j] for j >= i.
void ProbToDissim(int n, const double* const* P, double** D);

}  // namespace kalios
