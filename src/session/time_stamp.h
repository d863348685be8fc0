#pragma once
// The date-and-time line that results files, the formatted data file and the
// preferences file end or begin with.
#include <string>

namespace kalios {

// The current local date and time as ctime forms it: "Sun Dec  6 11:05:13 2026\n".
std::string TimeStampText();

}  // namespace kalios
