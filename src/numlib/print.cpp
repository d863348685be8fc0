#include "numlib/print.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "numlib/matrix.h"
#include "shell/cformat.h"

namespace kalios {

namespace {

// "%.*g" of v, then sep, at the end of out. std::to_chars writes the very
// characters printf does in the C locale, several times faster, and a results
// file holds millions of values at thousands of communities; values that are
// not finite go through printf for its spelling of them.
void AppendG(std::string& out, double v, int digits, char sep) {
  if (digits < 0) digits = 6;  // printf takes a negative precision as none
  if (std::isfinite(v) && digits <= 40) {  // at most 47 characters
    char buf[64];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits).ptr);
  } else {
    out += Format("%.*g", digits, v);
  }
  out += sep;
}

// One line of "%.*g\t" values, the value at k given by at(k), then "\n".
template <class At>
void WriteTabLine(std::ostream& os, int count, int digits, At at) {
  std::string line;
  line.reserve(static_cast<std::size_t>(count > 0 ? count : 0) * 12 + 1);
  for (int k = 0; k < count; ++k) AppendG(line, at(k), digits, '\t');
  line += '\n';
  os.write(line.data(), static_cast<std::streamsize>(line.size()));
}

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
  for (int i = 0; i < r; ++i) WriteTabLine(os, c, digits, [&](int j) { return m[i][j]; });
  return 1;
}

int PrintMatrixTab_T(std::ostream& os, int r, int c, const double* const* m, int digits) {
  for (int j = 0; j < c; ++j) WriteTabLine(os, r, digits, [&](int i) { return m[i][j]; });
  return 1;
}

int PrintLowerHalfMatrixTab(std::ostream& os, int n, const double* const* m, int digits) {
  for (int i = 0; i < n; ++i) WriteTabLine(os, i + 1, digits, [&](int j) { return m[i][j]; });
  return 1;
}

int PrintVectorTab(std::ostream& os, int n, const int* v, const int* order) {
  for (int i = 0; i < n; ++i) Print(os, "%d\t", order ? v[order[i] - 1] : v[i]);
  Print(os, "\n");
  return 1;
}

int PrintVectorTab(std::ostream& os, int n, const double* v, int digits, const int* order) {
  WriteTabLine(os, n, digits, [&](int i) { return order ? v[order[i] - 1] : v[i]; });
  return 1;
}

}  // namespace kalios
