#pragma once
// The formatted data file: the whole data set of a session in one text file,
// written once when the data are formatted or derived and read every time the
// session's data set is loaded.
#include <string>

#include "session/dataset.h"
#include "shell/console.h"

namespace kalios {

struct App;

inline constexpr const char* kFormdaTag = "25Jun2016";          // current layout, with trait groups
inline constexpr const char* kFormdaTagNoGroups = "18Jan2008";  // same layout without trait groups
inline constexpr const char* kEnvTypesTag = "97Sep08";          // E block that carries variable types
inline constexpr int kSpeciesFileWidth = 150;

// Writes the file at `path` from the data set and the matrices B (n rows of
// nch values) and W (n rows of ncsm values). The old file is replaced only once
// the new one is complete; a file that cannot be created aborts with code 4, a
// failed write with code 3.
void WriteFormda(Console& con, const DataSet& ds, int n, const std::string& path,
                 const std::string& title, const double* const* B, const double* const* W);
// The same with the session's directory prefix before the file name.
void WriteFormda(App& app, int n, const std::string& fileName, const std::string& title,
                 const double* const* B, const double* const* W);

// Reads the file at `path` into the data set, allocating every array; every
// layout the program has written is accepted. A missing file aborts with code
// 4, a damaged one with code 2.
void ReadFormda(Console& con, DataSet& ds, const std::string& path);
// Loads the session's formatted data file (`whichFormda`) and marks the data
// set in memory as clean. The mode is always 1 (read everything).
void OpenFormda(App& app, int mode);

}  // namespace kalios
