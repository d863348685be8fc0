#pragma once
// Printed layouts of matrices and vectors, the building blocks of every results
// file, and a few small shared routines.
#include <climits>
#include <ostream>

namespace kalios {

// Aligned columns, each value "%*.*g\t"; a width of 0 is found from the data.
// Rows longer than maxColsPrint characters wrap. Returns the width used.
int PrintMatrix(std::ostream& os, int r, int c, const double* const* m, int digits, int width,
                int maxColsPrint = INT_MAX);
int PrintMatrixFloat(std::ostream& os, int r, int c, const float* const* m, int digits, int width,
                     int maxColsPrint = INT_MAX);
// One row per line, each value "%.*g\t".
int PrintMatrixTab(std::ostream& os, int r, int c, const double* const* m, int digits);
// One line per column of m.
int PrintMatrixTab_T(std::ostream& os, int r, int c, const double* const* m, int digits);
// Line i holds m[i][0] .. m[i][i].
int PrintLowerHalfMatrixTab(std::ostream& os, int n, const double* const* m, int digits);
// n values and a newline; with an order, v[order[i] - 1] stands in place of v[i].
int PrintVectorTab(std::ostream& os, int n, const int* v, const int* order = nullptr);
int PrintVectorTab(std::ostream& os, int n, const double* v, int digits, const int* order = nullptr);

// Exchanges two entries of an array of pointers (rows, labels).
template <class T>
void swap(T** array, int i, int j) {
  T* t = array[i];
  array[i] = array[j];
  array[j] = t;
}

}  // namespace kalios
