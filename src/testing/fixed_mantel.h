#pragma once
// The Mantel statistic against a resemblance matrix that stays the same
// through a permutation test (the distances on E or on Y): its centred cells
// are kept once instead of being taken again at every permutation.
#include <vector>

namespace kalios {

struct FixedMantelMatrix {
  const double* const* D = nullptr;  // the matrix itself (n x n)
  int n = 0;
  bool complete = false;  // no -999 in the strict upper triangle
  double first = 0.0, mean = 0.0, raw = 0.0, ss = 0.0;
  std::vector<double> centred;  // the strict upper triangle by rows, centred
};

// The centred cells of D as MatrixCorr takes them when every cell is present.
FixedMantelMatrix CentreFixedMantel(int n, const double* const* D);

// MatrixCorr(n, DA, DB) where one of DA and DB is fixed.D: the same bits, the
// fixed matrix's cells taken from what was kept. When a matrix has missing
// cells the plain MatrixCorr is taken.
double MatrixCorrFixed(const FixedMantelMatrix& fixed, const double* const* DA, const double* const* DB);

// The fixed resemblances of a test (either may be absent: D null).
struct FixedResemblances {
  FixedMantelMatrix DE, DY;
  // The kept form of M, or null when M is neither.
  const FixedMantelMatrix* Find(const double* const* M) const {
    if (M != nullptr && M == DE.D) return &DE;
    if (M != nullptr && M == DY.D) return &DY;
    return nullptr;
  }
};

}  // namespace kalios
