#pragma once
// Tab-separated tables that other programs read (R's read.delim, pandas):
// one header line, one record per line, numbers in full precision whatever
// the locale, an empty cell where a value is missing or undefined.
#include <ostream>
#include <string>
#include <vector>

namespace kalios {

// The shortest decimal text that reads back to the same double. NaN gives an
// empty cell, the infinities "Inf" and "-Inf".
std::string TsvNumber(double v);
// A text cell: tabs, carriage returns and newlines become blanks, so that a
// cell never breaks its record.
std::string TsvText(const std::string& s);
// The cells joined by tabs, ending with a newline.
std::string TsvLine(const std::vector<std::string>& cells);

// What is to become of an existing table when rows are appended.
struct TsvAppendPlan {
  bool keepRows = false;   // the rows present are kept and the new ones follow them
  std::string setAside;    // when not empty: the earlier table, whose header differs, moves there
};

// Plans the writing of `path` with `header` (a header line without its
// newline): with append, the rows of a table of the same header are kept; a
// table with another header is set aside under the first free name
// "<stem>.<n><ext>" (n from 1), since its rows cannot continue under the new
// header. Without append the table is replaced.
TsvAppendPlan PlanTsvAppend(const std::string& path, const std::string& header, bool append);

// Writes the table atomically (see safe_write.h): the earlier rows when the
// plan keeps them, otherwise the header, then `rows`; moves the earlier table
// aside first when the plan says so. Aborts with the write-failed code when
// the file cannot be written.
void WriteTsvTable(const std::string& path, const std::string& header, const std::string& rows,
                   const TsvAppendPlan& plan, std::ostream& report);

}  // namespace kalios
