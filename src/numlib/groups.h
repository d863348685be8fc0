#pragma once
// Counting the groups of a partition: one int group number per object.
namespace kalios {

// Number of distinct group numbers among the n objects; `distinct` (room for n
// ints, or null when only the count is wanted) receives them sorted increasing.
// With n below 1 the count is 0.
void CountGroupsNew(int n, const int* partition, int& count, int* distinct);

}  // namespace kalios
