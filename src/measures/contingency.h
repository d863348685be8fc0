#pragma once
// Resemblances between nominal variables through their contingency tables
// (resemblance codes 6 to 10). Each row of the data is a nominal variable over
// the p objects; the missing value -999 is skipped. When `tables` is not null
// every contingency table is printed on it as it is built.
#include <ostream>
#include <vector>

namespace kalios {

// The contingency table of two nominal variables over the objects where both are
// present. The states of each variable are its distinct present values in order of
// first appearance over all p objects, so a state met only where the other
// variable is missing gives an empty row or column.
struct ContingencyTable {
  std::vector<double> rowStates;
  std::vector<double> colStates;
  std::vector<double> cells;  // rowStates.size() x colStates.size(), row major
  double total = 0;           // number of objects counted

  int rows() const { return static_cast<int>(rowStates.size()); }
  int cols() const { return static_cast<int>(colStates.size()); }
  double at(int r, int c) const { return cells[static_cast<size_t>(r) * colStates.size() + static_cast<size_t>(c)]; }
};

// Builds the table of variables x and y (p objects each).
void ContingencyMV(int p, const double* x, const double* y, ContingencyTable& table);

// Writes the table with its heading; iVar and jVar are counted from 0 and printed from 1.
void PrintContingencyTable(std::ostream& os, int iVar, int jVar, const ContingencyTable& table);

// Renyi entropies of order alpha (natural logarithms; Shannon for alpha 1) of the
// cells, the rows and the columns of a table. An empty table has entropies 0.
struct TableEntropies {
  double joint = 0;
  double row = 0;
  double col = 0;
};
TableEntropies EntropyMV(const ContingencyTable& table, double alpha);

// Mutual entropy of order alpha: the Renyi divergence of the cell proportions from
// the product of the margins (for alpha 1 the Shannon mutual information). 0 for an
// empty table.
double MutualEntropy(const ContingencyTable& table, double alpha);

// Coherence coefficient c = sqrt(1 - (1 - I/H_joint)^2), I = H_row + H_col - H_joint
// of order alpha; 0 when I is negative or H_joint is 0 (a table with a single
// occupied cell carries no information).
double CoheCoefMV(const ContingencyTable& table, double alpha);

// Pearson chi-square of the table; cells whose expected count is 0 are skipped.
double QuiSquare(const ContingencyTable& table);

// The n x n matrices between the n variables (rows) of data over p objects; they
// fill the diagonal and the upper triangle.
void MDISMV(int n, int p, const double* const* data, double** D, std::ostream* tables);                  // 6
void MutualEntropyPairwiseMV(int n, int p, const double* const* data, double** S, double alpha,
                             std::ostream* tables);                                                        // 7
void CoheCoefPairwiseMV(int n, int p, const double* const* data, double** S, double alpha,
                        std::ostream* tables);                                                             // 9
void QuiSquareMV(int n, int p, const double* const* data, double** D, std::ostream* tables);             // 10

}  // namespace kalios
