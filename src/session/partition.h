#pragma once
// Counting the groups of a partition (one int group number per object) and the
// ranges of the quantitative traits that the analyses recompute from B.
namespace kalios {

// Number of distinct group numbers among the n objects; `distinct` (room for n
// ints) receives them sorted increasing. With n below 1 the count is 0.
void CountGroups(int n, const int* partition, int& count, int* distinct);
// The same; `distinct` may be null when only the count is wanted.
void CountGroupsNew(int n, const int* partition, int& count, int* distinct);
// The same over the objects whose `selected` entry is 1; `distinct` may be null.
void CountGroupsSelect(int n, const int* partition, const int* selected, int& count, int* distinct);

// For every trait of type 3 (interval or ratio scale): largest minus smallest
// value that is not missing (-999). Other traits' entries are left as they
// are; a type-3 trait with no present value gets range 0.
void RangeStates(int nch, int tcst, const double* const* B, const int* chtype, double* range);

}  // namespace kalios
