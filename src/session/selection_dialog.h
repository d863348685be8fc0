#pragma once
// Choosing some of the traits, OTUs, communities or variables of a data set
// by their labels or positions, and the pairing of communities into units.
#include <string>
#include <vector>

#include "shell/console.h"

namespace kalios {

// Reads n labels until each names one of `known` (exactly) and none is named
// twice; returns their 0-based positions in the order typed. `error` is
// printed on standard error before the labels are asked again.
std::vector<int> AskByLabels(Console& con, int n, const std::vector<std::string>& known,
                             const char* prompt, const char* what, const char* error);

// Reads n positions (1 to count) until all lie in range and none repeats;
// returns them 0-based in the order typed.
std::vector<int> AskByPositions(Console& con, int n, int count, const char* prompt,
                                const char* what, const char* error);

}  // namespace kalios
