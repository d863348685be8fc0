#include "shell/progress.h"

#include <ctime>

#include "shell/cformat.h"

namespace kalios {

void HandleEventInfoWhere2(Console& con, const std::string& text) {
  // A fifth of a second of processor time between two lines keeps the console
  // readable during long loops.
  constexpr double kInterval = 0.2;
  ProgressLineState& line = con.progress;
  double now = static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
  if (now - line.t2 < kInterval) return;
  if (line.is40CharLine == 1) Print(con.out, "\n");
  Print(con.out, "%*.*s", 40, 40, text.c_str());
  Print(con.out, "%40s", "");
  line.t2 = now;
  line.is40CharLine = 1;
  line.is80CharLine = 1;
  con.out.flush();
}

void ClearLine(Console& con) {
  ProgressLineState& line = con.progress;
  if (line.is40CharLine == 1) {
    Print(con.out, "\n");
    line.is40CharLine = 0;
  }
  if (line.is80CharLine == 1) {
    Print(con.out, "\n");
    line.is80CharLine = 0;
  }
}

std::function<void(const std::string&)> ProgressReporter(Console& con) {
  return [&con](const std::string& text) { HandleEventInfoWhere2(con, text); };
}

}  // namespace kalios
