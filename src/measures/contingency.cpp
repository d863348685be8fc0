#include "measures/contingency.h"

#include <cmath>

#include "numlib/print.h"
#include "numlib/matrix.h"
#include "shell/cformat.h"

namespace kalios {
namespace {

// Table cells are counts: enough digits to print any int exactly.
constexpr int kTableDigits = 10;

int StateIndex(const std::vector<double>& states, double v) {
  for (size_t s = 0; s < states.size(); ++s)
    if (states[s] == v) return static_cast<int>(s);
  return -1;
}

void ListStates(int p, const double* x, std::vector<double>& states) {
  states.clear();
  for (int k = 0; k < p; ++k)
    if (x[k] != kMissingValue && StateIndex(states, x[k]) < 0) states.push_back(x[k]);
}

// Proportions of the cells, rows and columns of a table with a positive total.
struct Proportions {
  std::vector<double> cell, row, col;
};

Proportions MakeProportions(const ContingencyTable& t) {
  Proportions pr;
  const int nr = t.rows(), nc = t.cols();
  pr.cell.assign(t.cells.size(), 0.0);
  pr.row.assign(static_cast<size_t>(nr), 0.0);
  pr.col.assign(static_cast<size_t>(nc), 0.0);
  for (int r = 0; r < nr; ++r)
    for (int c = 0; c < nc; ++c) {
      double v = t.at(r, c) / t.total;
      pr.cell[static_cast<size_t>(r) * static_cast<size_t>(nc) + static_cast<size_t>(c)] = v;
      pr.row[static_cast<size_t>(r)] += v;
      pr.col[static_cast<size_t>(c)] += v;
    }
  return pr;
}

double RenyiEntropy(const std::vector<double>& prop, double alpha) {
  if (alpha == 1.0) {
    double h = 0;
    for (double v : prop)
      if (v > 0) h -= v * std::log(v);
    return h;
  }
  double s = 0;
  for (double v : prop)
    if (v > 0) s += std::pow(v, alpha);
  return s > 0 ? std::log(s) / (1.0 - alpha) : 0.0;
}

// Runs `measure` on the table of every pair i <= j and stores it in M[i][j].
template <class Measure>
void PairwiseTables(int n, int p, const double* const* data, double** M, std::ostream* tables, Measure measure) {
  ContingencyTable t;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      ContingencyMV(p, data[i], data[j], t);
      if (tables) PrintContingencyTable(*tables, i, j, t);
      M[i][j] = measure(t);
    }
}

}  // namespace

void ContingencyMV(int p, const double* x, const double* y, ContingencyTable& table) {
  ListStates(p, x, table.rowStates);
  ListStates(p, y, table.colStates);
  table.cells.assign(table.rowStates.size() * table.colStates.size(), 0.0);
  table.total = 0;
  for (int k = 0; k < p; ++k) {
    if (x[k] == kMissingValue || y[k] == kMissingValue) continue;
    int r = StateIndex(table.rowStates, x[k]);
    int c = StateIndex(table.colStates, y[k]);
    table.cells[static_cast<size_t>(r) * table.colStates.size() + static_cast<size_t>(c)] += 1.0;
    table.total += 1.0;
  }
}

void PrintContingencyTable(std::ostream& os, int iVar, int jVar, const ContingencyTable& table) {
  Print(os, "\nContingency table var.%d x var.%d:\n", iVar + 1, jVar + 1);
  Print(os, "Row states (%d): ", table.rows());
  for (double v : table.rowStates) Print(os, "%g\t", v);
  Print(os, "\nColumn states (%d): ", table.cols());
  for (double v : table.colStates) Print(os, "%g\t", v);
  Print(os, "\n");
  // Aligned layout: every cell right-aligned in the width of the longest one.
  // A table without columns has no cells: its rows print empty and point nowhere.
  std::vector<const double*> rows(table.rowStates.size(), nullptr);
  if (!table.cells.empty())
    for (size_t r = 0; r < rows.size(); ++r) rows[r] = table.cells.data() + r * table.colStates.size();
  PrintMatrix(os, table.rows(), table.cols(), rows.data(), kTableDigits, 0);
}

TableEntropies EntropyMV(const ContingencyTable& table, double alpha) {
  TableEntropies h;
  if (table.total <= 0) return h;
  Proportions pr = MakeProportions(table);
  h.joint = RenyiEntropy(pr.cell, alpha);
  h.row = RenyiEntropy(pr.row, alpha);
  h.col = RenyiEntropy(pr.col, alpha);
  return h;
}

double MutualEntropy(const ContingencyTable& table, double alpha) {
  if (table.total <= 0) return 0.0;
  Proportions pr = MakeProportions(table);
  const int nr = table.rows(), nc = table.cols();
  double s = 0;
  for (int r = 0; r < nr; ++r)
    for (int c = 0; c < nc; ++c) {
      double v = pr.cell[static_cast<size_t>(r) * static_cast<size_t>(nc) + static_cast<size_t>(c)];
      if (v <= 0) continue;  // an occupied cell has occupied margins
      double e = pr.row[static_cast<size_t>(r)] * pr.col[static_cast<size_t>(c)];
      if (alpha == 1.0)
        s += v * std::log(v / e);
      else
        s += std::pow(v, alpha) / std::pow(e, alpha - 1.0);
    }
  if (alpha == 1.0) return s;
  return s > 0 ? std::log(s) / (alpha - 1.0) : 0.0;
}

double CoheCoefMV(const ContingencyTable& table, double alpha) {
  TableEntropies h = EntropyMV(table, alpha);
  double info = h.row + h.col - h.joint;
  if (info < 0 || h.joint <= 0) return 0.0;
  double r = 1.0 - info / h.joint;
  double v = 1.0 - r * r;
  // Orders other than 1 can give I > 2 H_joint; the coefficient then has no real value.
  return v > 0 ? std::sqrt(v) : 0.0;
}

double QuiSquare(const ContingencyTable& table) {
  if (table.total <= 0) return 0.0;
  const int nr = table.rows(), nc = table.cols();
  std::vector<double> rt(static_cast<size_t>(nr), 0.0), ct(static_cast<size_t>(nc), 0.0);
  for (int r = 0; r < nr; ++r)
    for (int c = 0; c < nc; ++c) {
      rt[static_cast<size_t>(r)] += table.at(r, c);
      ct[static_cast<size_t>(c)] += table.at(r, c);
    }
  double chi = 0;
  for (int r = 0; r < nr; ++r)
    for (int c = 0; c < nc; ++c) {
      double e = rt[static_cast<size_t>(r)] * ct[static_cast<size_t>(c)] / table.total;
      if (e <= 0) continue;  // a state unseen in this pair's objects
      double d = table.at(r, c) - e;
      chi += d * d / e;
    }
  return chi;
}

void MDISMV(int n, int p, const double* const* data, double** D, std::ostream* tables) {
  PairwiseTables(n, p, data, D, tables,
                 [](const ContingencyTable& t) { return 2.0 * t.total * MutualEntropy(t, 1.0); });
}

void MutualEntropyPairwiseMV(int n, int p, const double* const* data, double** S, double alpha,
                             std::ostream* tables) {
  PairwiseTables(n, p, data, S, tables, [alpha](const ContingencyTable& t) { return MutualEntropy(t, alpha); });
}

void CoheCoefPairwiseMV(int n, int p, const double* const* data, double** S, double alpha, std::ostream* tables) {
  PairwiseTables(n, p, data, S, tables, [alpha](const ContingencyTable& t) { return CoheCoefMV(t, alpha); });
}

void QuiSquareMV(int n, int p, const double* const* data, double** D, std::ostream* tables) {
  PairwiseTables(n, p, data, D, tables, [](const ContingencyTable& t) { return QuiSquare(t); });
}

}  // namespace kalios
