#pragma once
// Printed names of the analysis option codes, as the results headers show them.
#include <array>

namespace kalios {

// Indexed by `fuzzy` (0 crisp, 3 fuzzy belonging to types).
extern const std::array<const char*, 4> fuzzyInfo;
// Indexed by `opt_ro` - 1, for the matrix statistics 1 to 3.
extern const std::array<const char*, 3> opt_roInfo;
// Indexed by `rese_opt` - 1.
extern const std::array<const char*, 10> rese_optInfo;
// Indexed by `clusMethPoolCSTs`.
extern const std::array<const char*, 6> clusMethInfo;
// Indexed by `reseCSTopt` - 1.
extern const std::array<const char*, 2> reseCSToptInfo;
// Indexed by a 0/1 option.
extern const std::array<const char*, 2> YesNotInfo;
// Indexed by `poolCSTopt` - 1.
extern const std::array<const char*, 2> poolCSToptInfo;

// The entry of a table, or "" for an index outside it, so that a header never
// reads past a table whatever an option holds.
template <std::size_t N>
const char* OptionName(const std::array<const char*, N>& table, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < N ? table[static_cast<std::size_t>(index)] : "";
}

}  // namespace kalios
