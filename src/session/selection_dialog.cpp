#include "session/selection_dialog.h"

#include <set>

#include "session/dataset.h"
#include "session/derived_session.h"
#include "shell/cformat.h"
#include "shell/input.h"

namespace kalios {

namespace {

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

// Each named once: an object taken twice would be counted twice.
bool AllDistinct(const std::vector<int>& at) {
  return std::set<int>(at.begin(), at.end()).size() == at.size();
}

}  // namespace

std::vector<int> AskByLabels(Console& con, int n, const std::vector<std::string>& known,
                             const char* prompt, const char* what, const char* error) {
  for (;;) {
    Print(con.out, "%s", prompt);
    std::vector<std::string> typed;
    ReadLongInput(con, n, kLabelWidth, typed, what);
    std::vector<int> at;
    for (const auto& label : typed) {
      for (size_t k = 0; k < known.size(); ++k)
        if (known[k] == label) {
          at.push_back(static_cast<int>(k));
          break;
        }
    }
    if (at.size() == typed.size() && AllDistinct(at)) return at;
    Print(con.err, "%s", error);
  }
}

std::vector<int> AskByPositions(Console& con, int n, int count, const char* prompt,
                                const char* what, const char* error) {
  for (;;) {
    Print(con.out, "%s", prompt);
    std::vector<int> typed;
    ReadLongInput(con, n, typed, what, "");
    std::vector<int> at;
    for (int p : typed)
      if (p >= 1 && p <= count) at.push_back(p - 1);
    if (at.size() == typed.size() && AllDistinct(at)) return at;
    Print(con.err, "%s", error);
  }
}

void SettingNewReleves(Console& con, int n, int& nUnits, int* unitOf,
                       std::vector<std::string>& unitLabels) {
  nUnits = n / 2;
  Print(con.out, "\nLabels for new communities: \n");
  Print(con.out, "   1  given by default \n");
  Print(con.out, "   2  specify new labels \n");
  Print(con.out, "Type option no.: ");
  unitLabels.assign(Z(nUnits), std::string());
  if (static_cast<int>(ReadNumberIn(con, "1 2")) == 1) {
    for (int k = 0; k < nUnits; ++k) unitLabels[Z(k)] = Format("%d", k + 1);
  } else {
    do {
      Print(con.out, "\nEnter labels (max. %d alphanumeric characters):\n", kGroupLabelWidth);
      for (int k = 0; k < nUnits; ++k) Print(con.out, "%2d ", k + 1);
      Print(con.out, "\n");
      for (auto& label : unitLabels)
        if (!ScanString(con, con.in, kGroupLabelWidth, label)) EndOfFileAbort(con, con.in);
      Print(con.out, "Are these correct? y/n ");
    } while (ReadCharIn(con, "y n") != 'y');
  }
  Print(con.out, "\nOrder of the communities in the formda file: \n");
  Print(con.out, "   1  all 2nd communities are after all 1st communities, in the same order \n");
  Print(con.out, "   2  each 2nd community follows the corresponding 1st community \n");
  Print(con.out, "Type option no.: ");
  const bool halves = static_cast<int>(ReadNumberIn(con, "1 2")) == 1;
  for (int c = 0; c < n; ++c) unitOf[c] = halves ? c % nUnits + 1 : c / 2 + 1;
}

}  // namespace kalios
