#pragma once
// The formatted data file: the whole data set of a session in one text file,
// written once when the data are formatted or derived and read every time the
// session's data set is loaded.
#include <string>

#include "session/dataset.h"
#include "shell/console.h"

namespace kalios {

inline constexpr const char* kFormdaTag = "25Jun2016";          // current layout, with trait groups
inline constexpr const char* kFormdaTagNoGroups = "18Jan2008";  // same layout without trait groups
inline constexpr const char* kEnvTypesTag = "97Sep08";          // E block that carries variable types
inline constexpr int kSpeciesFileWidth = 150;

// The shortest text that reads back as the same double: "%.6g" whenever that
// is exact (so values of up to 6 significant digits look as they always have),
// otherwise as many more digits as it takes, at most 17.
std::string RoundTripText(double x);

// Writes the file at `path` from the data set and the matrices B (n rows of
// nch values) and W (n rows of ncsm values). Every value is written so that it
// reads back unchanged. The old file is replaced only once the new one is
// complete; a file that cannot be created aborts with code 4, a failed write
// with code 3.
void WriteFormda(Console& con, const DataSet& ds, int n, const std::string& path,
                 const std::string& title, const double* const* B, const double* const* W);

// Reads the file at `path` into the data set, allocating every array; every
// layout the program has written is accepted. What the layout implies is
// checked against what the file holds (row lengths, type codes, counts that
// the file could not hold, what follows the last item), so a damaged file
// never loads shifted. A missing file aborts with code 4, a damaged one with
// code 2 naming the file.
void ReadFormda(Console& con, DataSet& ds, const std::string& path);

}  // namespace kalios
