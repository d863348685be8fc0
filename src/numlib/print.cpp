#include "numlib/print.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "numlib/matrix.h"
#include "shell/cformat.h"

namespace kalios {

namespace {

template <class T>
int WidthMax(int r, int c, const T* const* m, int digits) {
  int width = 0;
  char buf[64];
  for (int i = 0; i < r; ++i)
    for (int j = 0; j < c; ++j) {
      int len = std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(m[i][j]));
      width = std::max(width, len);
    }
  return width;
}

template <class T>
int PrintAligned(std::ostream& os, int r, int c, const T* const* m, int digits, int width,
                 int maxColsPrint) {
  if (width == 0) width = WidthMax(r, c, m, digits);
  for (int i = 0; i < r; ++i) {
    long long used = 0;
    for (int j = 0; j < c; ++j) {
      if (used > maxColsPrint) {
        Print(os, "\n%*s\t", width, "");
        used = 0;
      }
      used += width + 1;
      Print(os, "%*.*g\t", width, digits, static_cast<double>(m[i][j]));
    }
    Print(os, "\n");
  }
  return width;
}

}  // namespace

int PrintMatrix(std::ostream& os, int r, int c, const double* const* m, int digits, int width,
                int maxColsPrint) {
  return PrintAligned(os, r, c, m, digits, width, maxColsPrint);
}

int PrintMatrixFloat(std::ostream& os, int r, int c, const float* const* m, int digits, int width,
                     int maxColsPrint) {
  return PrintAligned(os, r, c, m, digits, width, maxColsPrint);
}

int PrintMatrixTab(std::ostream& os, int r, int c, const double* const* m, int digits) {
  for (int i = 0; i < r; ++i) {
    for (int j = 0; j < c; ++j) Print(os, "%.*g\t", digits, m[i][j]);
    Print(os, "\n");
  }
  return 1;
}

int PrintMatrixTab_T(std::ostream& os, int r, int c, const double* const* m, int digits) {
  for (int j = 0; j < c; ++j) {
    for (int i = 0; i < r; ++i) Print(os, "%.*g\t", digits, m[i][j]);
    Print(os, "\n");
  }
  return 1;
}

int PrintLowerHalfMatrixTab(std::ostream& os, int n, const double* const* m, int digits) {
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) Print(os, "%.*g\t", digits, m[i][j]);
    Print(os, "\n");
  }
  return 1;
}

int PrintVectorTab(std::ostream& os, int n, const int* v, const int* order) {
  for (int i = 0; i < n; ++i) Print(os, "%d\t", order ? v[order[i] - 1] : v[i]);
  Print(os, "\n");
  return 1;
}

int PrintVectorTab(std::ostream& os, int n, const double* v, int digits, const int* order) {
  for (int i = 0; i < n; ++i) Print(os, "%.*g\t", digits, order ? v[order[i] - 1] : v[i]);
  Print(os, "\n");
  return 1;
}

}  // namespace kalios
