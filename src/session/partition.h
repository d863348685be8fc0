#pragma once
// The ranges of the quantitative traits that the analyses recompute from B.
// (Counting the groups of a partition is numlib/groups.h.)
#include "numlib/groups.h"

namespace kalios {

// For every trait of type 3 (interval or ratio scale): largest minus smallest
// value that is not missing (-999). Other traits' entries are left as they
// are; a type-3 trait with no present value gets range 0.
void RangeStates(int nch, int tcst, const double* const* B, const int* chtype, double* range);

}  // namespace kalios
