#include "session/derived_session.h"

#include "session/community_transform.h"
#include "session/data_check.h"
#include "session/data_subset.h"
#include "session/formda.h"
#include "session/partition.h"
#include "session/raw_format.h"
#include "session/selection_dialog.h"
#include "session/taxon_names.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/progress.h"

namespace kalios {

namespace {

enum CommunityMode { kKeep = 1, kModify = 2, kPoolGroups = 3, kChange = 4, kMovingWindow = 5 };

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

// The rule line under menu headers and between the questions.
void Rule(Console& con) { Print(con.out, "%s\n", std::string(70, '-').c_str()); }

int AskOption(Console& con, const char* accepted) {
  return static_cast<int>(ReadNumberIn(con, accepted));
}

int AskCount(Console& con, const char* prompt, int upper) {
  Print(con.out, "%s", prompt);
  return static_cast<int>(ReadNumberIn(con, "-", 1, upper));
}

// "keep the same" (1) or "modify" (2), after a heading.
bool AskModify(Console& con, const char* heading) {
  Print(con.out, "%s", heading);
  Print(con.out, "   1  keep the same \n");
  Print(con.out, "   2  modify \n");
  Print(con.out, "Type option no.: ");
  return AskOption(con, "1 2") == 2;
}

std::vector<int> All(int n) {
  std::vector<int> v(Z(n));
  for (int i = 0; i < n; ++i) v[Z(i)] = i;
  return v;
}

bool HasVariableOfType(const DataSet& ds, int type) {
  for (int t : ds.envVarType)
    if (t == type) return true;
  return false;
}

// The communities menu, asked until the choice suits the data.
int AskCommunityMode(Console& con, const DataSet& ds) {
  const bool nominal = HasVariableOfType(ds, 2);
  const bool binary = HasVariableOfType(ds, 1);
  Rule(con);
  for (;;) {
    Print(con.out, "Communities:\n");
    Print(con.out, "   1  keep the same \n");
    Print(con.out, "   2  modify \n");
    Print(con.out, "   3  pool according to groups \n");
    Print(con.out, "   4  compute change between communities\n");
    Print(con.out, "   5  pool for split moving-window edge detection (spatial or temporal series)\n");
    Print(con.out, "Type option no.: ");
    const int mode = AskOption(con, "1 2 3 4 5");
    if (mode == kChange) {
      if (nominal || binary) {
        Print(con.out, "\nWarning! Change in environmental variables that are qualitative\n");
        Print(con.out, "will result in a binary variable: 1 if there is change, 0 if there is not.\n");
      }
      if (ds.ncsm % 2 != 0) {
        Print(con.out, "\nThis option is not possible, for the number of communities must be even.");
        Print(con.out, "\n");
        continue;
      }
    }
    if (mode == kPoolGroups || mode == kMovingWindow) {
      if (binary)
        Print(con.out,
              "\nWarning! Binary environmental variables will be averaged, and therefore will "
              "become quantitative.\n");
      // A mean of category codes is no category: moving windows are refused
      // with qualitative variables as pooled groups are.
      if (nominal) {
        Print(con.out,
              "\nThis option not allowed with this data: pooling environmental variables that are "
              "qualitative is not possible.");
        Print(con.out, "\n");
        Rule(con);
        continue;
      }
    }
    if (mode == kMovingWindow && ds.ncsm < 2) {
      Print(con.out, "\nThis option is not possible, for the series must hold at least 2 communities.\n");
      continue;
    }
    return mode;
  }
}

// Groups for pooling, asked again while a group holds no community (its mean
// would have nothing to average).
void AskPoolingGroups(Console& con, DataSet& ds, const DerivedSessionHooks& hooks, int& nGroups,
                      std::vector<int>& groupOf, std::vector<std::string>& labels) {
  ds.whichPart = 0;
  groupOf.assign(Z(ds.ncsm), 0);
  for (;;) {
    hooks.setGroups(ds, ds.ncsm, nGroups, groupOf.data(), labels);
    std::vector<int> size(Z(nGroups), 0);
    for (int g : groupOf)
      if (g >= 1 && g <= nGroups) ++size[Z(g - 1)];
    bool empty = false;
    for (int s : size) empty = empty || s == 0;
    if (!empty) return;
    Print(con.err, "\nEvery group must hold at least one community. Enter the groups again.\n");
  }
}

int AskWindowSize(Console& con, int ncsm) {
  Print(con.out,
        "\nThe community set must conform a spatial or temporal series\n (see Ludwig & Cornelius "
        "1987, Ecology v.68).\n");
  Print(con.out,
        "A formda file will be created by pooling communities according to\n the selected split "
        "moving-window size.\n");
  for (;;) {
    Print(con.out, "\nEnter the size of the split moving-window (must be even): ");
    const int size = static_cast<int>(ReadNumberIn(con, "-", 1, ncsm));
    if (size % 2 == 0) return size / 2;
    Print(con.out, "\nEnter again. Must be even.");
  }
}

void ExplainChange(Console& con, const DataSet& ds) {
  Print(con.out, "\nTo compute change each vegetation unit must have two communities.\n");
  Print(con.out, "A formda file will be created with the vegetation units.\n");
  Print(con.out,
        "The new communities will contain differences between the 2nd and\n1st communities in "
        "each unit.\n");
  if (ds.nenv > 0)
    Print(con.out, "\nThe new communities will contain changes in the environmental variables as well.\n");
  Print(con.out,
        "The user will inform how communities are ordered, but 2nd communities must\nallways come "
        "after 1st ones.\n");
}

// The kind of E follows the variables kept: a mixture that no longer mixes
// becomes the kind of what is left, and one quantitative variable cannot be in
// different units.
void ReviseEnvironmentKind(DataSet& ds) {
  ds.temEnvBin = ds.temEnvQual = ds.temEnvQuant = 0;
  for (int t : ds.envVarType) {
    if (t == 1) ds.temEnvBin = 1;
    if (t == 2) ds.temEnvQual = 1;
    if (t == 3 || t == 4) ds.temEnvQuant = 1;
  }
  if (ds.optEnvVarType == 5 && ds.temEnvBin + ds.temEnvQual + ds.temEnvQuant < 2)
    ds.optEnvVarType = ds.temEnvQual ? 3 : ds.temEnvQuant ? 2 : 4;
  if (ds.optEnvVarType == 2 && ds.nenv == 1) ds.optEnvVarType = 1;
}

int EmptyCommunities(const DataSet& ds) {
  int empty = 0;
  for (int c = 0; c < ds.ncsm; ++c) {
    bool any = false;
    for (int i = 0; i < ds.tcst && !any; ++i) any = ds.cadat[i][c] != 0;
    if (!any) ++empty;
  }
  return empty;
}

}  // namespace

void PickSomeFormda(Console& con, DataSet& ds, const DerivedSessionFiles& files,
                    const DerivedSessionHooks& hooks) {
  ReadFormda(con, ds, files.sourcePath);
  ClearLine(con);
  hooks.menu("GETTING DATA FROM ANOTHER SESSION");

  std::vector<int> traits = All(ds.nch);
  if (AskModify(con, "Traits:\n")) {
    const int n = AskCount(con, "Enter new number of traits: ", ds.nch);
    traits = AskByLabels(con, n, ds.chLabel, "Identify the traits by their labels: \n", "traits",
                         "\nError!! Enter again. \n");
  }
  Rule(con);
  std::vector<int> otus = All(ds.tcst);
  if (AskModify(con, "Populations:\n")) {
    const int n = AskCount(con, "Enter new number of OTUs:   ", ds.tcst);
    otus = AskByPositions(con, n, ds.tcst, "Identify the OTUs by their position on file: \n", "OTUs",
                          "Error!! Enter again. \n");
  }

  const int mode = AskCommunityMode(con, ds);
  int nGroups = 0, h = 1;
  std::vector<int> groupOf;
  std::vector<std::string> groupLabels;
  std::vector<int> communities = All(ds.ncsm);
  if (mode == kModify) {
    const int n = AskCount(con, "Enter new number of communities:    ", ds.ncsm);
    communities = AskByLabels(con, n, ds.reLabel, "Identify the communities by their labels: \n",
                              "communities", "Error!! Enter again. \n");
  } else if (mode == kPoolGroups) {
    AskPoolingGroups(con, ds, hooks, nGroups, groupOf, groupLabels);
  } else if (mode == kChange) {
    ExplainChange(con, ds);
    ds.whichPart = 0;
    groupOf.assign(Z(ds.ncsm), 0);
    SettingNewReleves(con, ds.ncsm, nGroups, groupOf.data(), groupLabels);
  } else if (mode == kMovingWindow) {
    h = AskWindowSize(con, ds.ncsm);
  }

  std::vector<int> variables = All(ds.nenv);
  bool variablesChosen = false;
  if (ds.nenv > 0) {
    Rule(con);
    if (AskModify(con, "Environmental variables:\n")) {
      const int n = AskCount(con, "Enter new number of environmental variables: ", ds.nenv);
      variables = AskByLabels(con, n, ds.envLabel, "Identify the variables by their labels: \n",
                              "environmental variables", "Error!! Enter again. \n");
      variablesChosen = true;
    }
  }

  const bool otusChanged = otus != All(ds.tcst);
  KeepTraits(ds, traits);
  KeepOtus(ds, otus);
  KeepCommunities(ds, communities);
  if (ds.nenv > 0) KeepVariables(ds, variables);
  if (variablesChosen) ReviseEnvironmentKind(ds);
  // Occurrences of species must come from the OTUs that stay.
  if (otusChanged && ds.nSpp > 0) SpeciesReleveMap(ds);
  // State counts describe the OTUs kept, not those of the source.
  CountStates(ds.nch, ds.tcst, ds.onsta.data(), ds.csm_Float);

  Print(con.out, "Trim OTUs absent in all communities? y/n ");
  if (ReadCharIn(con, "y n") == 'y') CheckData(ds, 1);

  if (mode == kPoolGroups) {
    PoolCommunityGroups(ds, nGroups, groupOf.data(), groupLabels);
  } else if (mode == kChange) {
    ChangeBetweenCommunities(ds, nGroups, groupOf.data(), groupLabels);
  } else if (mode == kMovingWindow) {
    const int count = PoolMovingWindows(ds, h);
    Print(con.out, "\nA formda file for this session, with %d communities, has been created.\n", count);
    Print(con.out,
          "\nThe first new community is the average of the first %d communities in the series,\n "
          "the second new one is an average of the %d communities starting at the second\n "
          "community in the series, and so on.\n",
          h, h);
    Print(con.out,
          "\nReleve labels correspond to the labels of the first\n %d previous communities in the "
          "series.\n",
          count);
  }
  ds.AllocateWorkingArrays();

  WriteFormda(con, ds, ds.tcst, files.newPath, files.sourceName, ds.csm_Float, ds.cadat);
  const int emptyReleves = EmptyCommunities(ds);
  if (emptyReleves > 0) {
    Print(con.out, "\nWarning!! There are %d empty communities!!\n", emptyReleves);
    Print(con.out, "Inspect file %s\n", files.newName.c_str());
  }
}

}  // namespace kalios
