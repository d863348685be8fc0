#include "session/partition_dialog.h"

#include <set>

#include "measures/clustering.h"
#include "session/dataset.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"

namespace kalios {

namespace {

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

// Group labels: "1", "2", ... or typed (or read from a file) and cut to 4
// characters; labels that the cut makes equal are refused, since objects
// could then not be told apart by group.
void AskGroupLabels(Console& con, int nGroups, std::vector<std::string>& labels) {
  Print(con.out, "\nLabels for groups: \n");
  Print(con.out, "   1  given by default \n");
  Print(con.out, "   2  specify new labels \n");
  Print(con.out, "Type option no.: ");
  int source = static_cast<int>(ReadNumberIn(con, "1 2"));
  if (labels.size() < Z(nGroups)) labels.resize(Z(nGroups));
  if (source == 1) {
    for (int g = 0; g < nGroups; ++g) labels[Z(g)] = Format("%d", g + 1);
    return;
  }
  for (;;) {
    Print(con.out, "\nEnter labels (max. %d alphanumeric characters):\n", kGroupLabelWidth);
    std::vector<std::string> typed;
    ReadLongInput(con, nGroups, kGroupLabelWidth, typed, "group labels");
    std::set<std::string> distinct(typed.begin(), typed.end());
    if (distinct.size() == typed.size()) {
      for (int g = 0; g < nGroups; ++g) labels[Z(g)] = typed[Z(g)];
      return;
    }
    Print(con.err, "\nError!! Enter again. \n");
  }
}

// Membership given as one group label per object.
void AskMembershipByLabels(Console& con, const std::vector<std::string>& objectLabels, int n,
                           int nGroups, int* groupOf, const std::vector<std::string>& labels,
                           const std::string& what, bool communities) {
  bool showLabels = communities && objectLabels.size() >= Z(n);
  for (;;) {
    Print(con.out, "\nEnter group membership (label) for %s:", what.c_str());
    Print(con.out, "\n%s:\t", what.c_str());
    for (int i = 0; i < n; ++i) {
      if (showLabels) {
        Print(con.out, "%s\t", objectLabels[Z(i)].c_str());
      } else {
        Print(con.out, "%d\t", i + 1);
      }
    }
    Print(con.out, "\n");
    std::vector<std::string> member;
    ReadLongInput(con, n, kGroupLabelWidth, member, "Groups");
    bool known = true;
    for (int i = 0; i < n && known; ++i) {
      known = false;
      for (int g = 0; g < nGroups; ++g)
        if (member[Z(i)] == labels[Z(g)]) {
          groupOf[i] = g + 1;
          known = true;
          break;
        }
    }
    if (known) return;
    Print(con.err, "\nError!! Enter again. \n");
  }
}

// Membership given as the number of objects of each group, objects in order.
void AskMembershipByCounts(Console& con, int n, int nGroups, int* groupOf,
                           const std::vector<std::string>& labels, const std::string& what) {
  std::vector<int> counts(Z(nGroups));
  Print(con.out, "\nEnter number of %s per group:", what.c_str());
  for (;;) {
    Print(con.out, "\nGroups:            ");
    for (int g = 0; g < nGroups; ++g) Print(con.out, "%-3s ", labels[Z(g)].c_str());
    Print(con.out, "\nNumber of %s: ", what.c_str());
    long long sum = 0;
    for (int g = 0; g < nGroups; ++g) {
      counts[Z(g)] = static_cast<int>(ReadNumberIn(con, "-", 0, n));
      sum += counts[Z(g)];
    }
    if (sum == n) break;
    Print(con.err, "\nError!! Reenter!!\n");
    Print(con.out, "\nEnter number of %s per group:", what.c_str());
  }
  int object = 0;
  for (int g = 0; g < nGroups; ++g)
    for (int k = 0; k < counts[Z(g)]; ++k) groupOf[object++] = g + 1;
}

[[noreturn]] void DamagedRecord(Console& con, TextIn& file) {
  file.Close();
  Print(con.err, "\nfile %s ", file.name().c_str());
  con.err << '\a';
  Abort(kAbortEndOfFile);
}

}  // namespace

void SettingAnyGroups(Console& con, const MenuHeader& menu, const DataSet& ds,
                      const SessionTrack& track, AnalysisOptions& opts,
                      const std::string& volumeName, int n, int& nGroups, int* groupOf,
                      std::vector<std::string>& labels, const std::string& what) {
  opts.whichObj = what == "communities" ? 'r' : 'c';
  const int whichObj = opts.whichObj;
  menu("SET GROUP PARTITION");
  // At least one group: with none no object could be placed.
  Print(con.out, "Specify the number of groups of %s: ", what.c_str());
  nGroups = static_cast<int>(ReadNumberIn(con, "-", 1, n));
  AskGroupLabels(con, nGroups, labels);

  bool hasRecord = whichObj == 'r' ? track.hasReClus == 1 : track.hasCstClus == 1;
  if (hasRecord) {
    Print(con.out, "\nGet partition from: \n");
    Print(con.out, "   1  keyboard or file \n");
    Print(con.out, "   2  cluster analysis record \n");
    Print(con.out, "Type option no.: ");
    if (static_cast<int>(ReadNumberIn(con, "1 2")) == 2) {
      GetPartition(con, track, volumeName, n, nGroups, groupOf, whichObj);
      return;
    }
  }

  Print(con.out, "Are the %s ordered by groups? y/n ", what.c_str());
  if (ReadCharIn(con, "y n") == 'n') {
    AskMembershipByLabels(con, ds.reLabel, n, nGroups, groupOf, labels, what, whichObj == 'r');
  } else {
    AskMembershipByCounts(con, n, nGroups, groupOf, labels, what);
  }
}

void GetPartition(Console& con, const SessionTrack& track, const std::string& volumeName, int n,
                  int k, int* groupOf, int objectKind) {
  const std::string& file = objectKind == 'r' ? track.whichReClus : track.whichCstClus;
  GetPartition(con, volumeName + file, n, k, groupOf);
}

void GetPartition(Console& con, const std::string& recordFile, int n, int k, int* groupOf) {
  for (int i = 0; i < n; ++i) groupOf[i] = i + 1;
  auto file = fopenck(con, recordFile, "");
  if (!file) Abort(kAbortOpenFailed);
  // Objects per group, to know when a fusion empties a group.
  std::vector<int> size(Z(n) + 1, 1);
  int groups = n;
  for (int record = 0; record < n - 1 && groups > k; ++record) {
    double level = 0;
    int m = 0;
    if (file->ScanDouble(level) != 1 || file->ScanInt(m) != 1) DamagedRecord(con, *file);
    if (m < 0 || m > n) DamagedRecord(con, *file);
    std::vector<int> member(Z(m));
    for (auto& object : member) {
      if (file->ScanInt(object) != 1 || object < 1 || object > n) DamagedRecord(con, *file);
    }
    if (m < 2) continue;
    int target = groupOf[member[0] - 1];
    for (int j = 1; j < m; ++j) {
      int& g = groupOf[member[Z(j)] - 1];
      if (g == target) continue;
      if (--size[Z(g)] == 0) --groups;
      ++size[Z(target)];
      g = target;
    }
  }
  if (groups > k) DamagedRecord(con, *file);
  file->Close();
  RenamePartitionLabels(n, k, groupOf);
}

int SettingWhichLevel(Console& con, int nch, const AnalysisOptions& opts, int& level) {
  level = 1;
  if (nch >= 2 && opts.poolCSTopt == 1 && opts.isHierarchical == 1) {
    Print(con.out, "Specify hierarchical level: ");
    level = static_cast<int>(ReadNumberIn(con, "-", 1, nch));
  }
  return level;
}

}  // namespace kalios
