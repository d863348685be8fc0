#pragma once
// Adjustments, standardizations, ranks and classes of data matrices and
// vectors, applied before resemblances, diversities and correlations.
//
// Rows are objects and columns variables unless a name says Cols. Routines
// whose names end in MV skip the missing value -999 in every sum, mean,
// minimum and maximum and copy a missing input element unchanged to the
// output. Output and input may be the same matrix: each row (or column) is
// summarized before any element of it is written. A divisor that comes out as
// 0 (row sum, range, norm, standard deviation) is replaced by 1, so a constant
// or empty row or column passes through without infinities.
//
// Argument order is rows, columns, input, output, except UnitSumRowsAdjMV and
// CorrAdj, which take the output before the input.
#include "numlib/matrix.h"

namespace kalios {

// out = x / (sum of the present values of the row).
void UnitSumRowsAdjMV(int n, int p, double** out, const double* const* in);
// out = (x - min_j) / (max_j - min_j) per column; a zero range becomes 1.
void RangeColsAdjMV(int n, int p, const double* const* in, double** out);
// out = x - mean of the present values of the row / column.
void CenterRowsMV(int n, int p, const double* const* in, double** out);
void CenterColsMV(int n, int p, const double* const* in, double** out);
// out = x / sqrt(sum of squares of the present values of the row / column).
void NormalizeRowsMV(int n, int p, const double* const* in, double** out);
void NormalizeColsMV(int n, int p, const double* const* in, double** out);
// The same per column, every value taking part (no missing values).
void NormalizeCols(int n, int p, const double* const* in, double** out);
// The same per column, dividing by sqrt(S / n).
void ZStandardizationColsMV(int n, int p, const double* const* in, double** out);
// Per column: (x - mean) / sqrt(sum of squared deviations), so that each column
// has mean 0 and unit length; every written value is rounded to single
// precision; positions of missing inputs are not written.
void CorrAdj(int n, int p, double** out, const double* const* in);
// out = (x - mean_i) / sqrt(m_i - 1), m_i the number of present values of row
// i (divisor 1 when m_i is 1): the cross product of two output rows is their
// covariance.
void CenterRowsCovMV(int n, int p, const double* const* in, double** out);
// Deviations from the expectations of a contingency table:
// out = (x N - r_i c_j) / (sqrt(r_i c_j) N) where x is present and the row
// total r_i and column total c_j are positive; otherwise out = x.
void DeviationsExpectationsMV(int n, int p, const double* const* in, double** out);
// Per row, m = mean of the positive values (0 when none). Values <= 0 become 0;
// positive values become m (mode 2, qualitative component) or x - m (mode 1,
// quantitative component); with any other mode they are not written.
void DataPartitionQualQuant(int n, int p, const double* const* in, double** out, int mode);
double MatrixUnitMaxTransf3D(int a, int b, int c, const Array3<double>& in, Array3<double>& out);

// Centres the present values on their mean and divides them by
// sqrt(S / n), S their sum of squares (S <= 0 gives 1); missing values stay
// -999. With `flag`, flags[k] = 1 when threshold < |out[k]| for a present
// value, else 0.
void ZStandardizationVectorMV(int n, const double* in, double* out, bool flag, double threshold, int* flags);
// Ascending ranks of the present values, 1..(number present), ties taking the
// mean of the ranks they span; missing values stay -999. In place allowed.
void RankVectorAdjMV(int n, const double* in, double* out);
// Equal-width classes 1..k between the minimum and maximum present values;
// missing values stay -999.
void ClassesMV(int n, const double* in, double* out, int k);
// mean = sum / n; sd = sqrt((sum of squares - sum^2 / n) / (n - 1)); every
// value takes part. Zero divisors count as 1 (n = 1 gives sd 0).
void MeanStDev(int n, const double* v, double* mean, double* sd);

}  // namespace kalios
