#include "session/pooling.h"

#include <cstdio>
#include <cstdlib>

#include "numlib/matrix.h"

namespace kalios {

namespace {

// Values a derived session computes (means, changes) are kept to six
// significant digits, the precision derived data have always been stored
// with: derived sessions then agree with those made before, and a difference
// such as 12.3 - 10.1 is stored as 2.2, not with its rounding noise. Values the
// user typed are never passed through here and stay exactly as read.
double Derived(double x) {
  if (!IsPresent(x)) return x;
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", x);
  return std::strtod(text, nullptr);
}

// Running mean of the present values; missing when there was none.
struct Mean {
  double sum = 0;
  int n = 0;
  void Add(double x) {
    if (!IsPresent(x)) return;
    sum += x;
    ++n;
  }
  double Value() const { return n > 0 ? Derived(sum / n) : kMissingValue; }
};

}  // namespace

void ConcentrateGroups(int nRows, int nCols, const double* const* src, double** dst, int nRowGroups,
                       const int* rowGroupOf, int nColGroups, const int* colGroupOf, int) {
  for (int h = 0; h < nRowGroups; ++h)
    for (int g = 0; g < nColGroups; ++g) {
      Mean m;
      for (int r = 0; r < nRows; ++r) {
        if (rowGroupOf[r] != h + 1) continue;
        for (int c = 0; c < nCols; ++c)
          if (colGroupOf[c] == g + 1) m.Add(src[r][c]);
      }
      dst[h][g] = m.Value();
    }
}

void ReleveChange(int nCommunities, const double* const* src, double** dst, int nRows, int nUnits,
                  const int* unitOf) {
  for (int k = 1; k <= nUnits; ++k)
    for (int r = 0; r < nRows; ++r) {
      double change = 0;
      for (int c = 0; c < nCommunities; ++c) {
        if (unitOf[c] != k) continue;
        if (!IsPresent(src[r][c]) || !IsPresent(change)) {
          change = kMissingValue;
        } else {
          change = src[r][c] - change;
        }
      }
      dst[r][k - 1] = Derived(change);
    }
}

void SplitMovingWinPool(int nRows, int nCols, const double* const* src, double** dst, int h,
                        int& newCount, bool byRows) {
  newCount = (byRows ? nRows : nCols) - h + 1;
  if (newCount < 0) newCount = 0;
  for (int k = 0; k < newCount; ++k) {
    if (byRows) {
      for (int v = 0; v < nCols; ++v) {
        Mean m;
        for (int r = k; r < k + h; ++r) m.Add(src[r][v]);
        dst[k][v] = m.Value();
      }
    } else {
      for (int r = 0; r < nRows; ++r) {
        Mean m;
        for (int c = k; c < k + h; ++c) m.Add(src[r][c]);
        dst[r][k] = m.Value();
      }
    }
  }
}

}  // namespace kalios
