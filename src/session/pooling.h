#pragma once
// The three transformations of the community dimension of a derived data
// set: means over groups, change between the paired communities of a unit,
// and means over split moving windows along a series. Missing values (-999)
// are passed over; a cell with no present value is missing.
namespace kalios {

// dst[h][g]: the mean of src[r][c] over the rows r of row group h + 1 and the
// columns c of column group g + 1 (groups numbered from 1). Only mode 0 (the
// plain mean) is used. A group with no member gives missing values, never a
// division by zero.
void ConcentrateGroups(int nRows, int nCols, const double* const* src, double** dst, int nRowGroups,
                       const int* rowGroupOf, int nColGroups, const int* colGroupOf, int mode);

// For each unit k (1 to nUnits) and each row, dst[row][k - 1] runs over the
// unit's communities in order, each time becoming that community's value minus
// the previous result: with two communities, the second's value minus the
// first's. src is nRows x nCommunities; communities of a unit above nUnits are
// ignored. A missing value in a unit makes the change missing.
void ReleveChange(int nCommunities, const double* const* src, double** dst, int nRows, int nUnits,
                  const int* unitOf);

// Means over windows of h consecutive columns (byRows false: dst[r][k] is the
// mean of src[r][k .. k + h - 1]) or rows (byRows true). newCount receives the
// number of windows, the count along that dimension minus h plus 1.
void SplitMovingWinPool(int nRows, int nCols, const double* const* src, double** dst, int h,
                        int& newCount, bool byRows);

}  // namespace kalios
