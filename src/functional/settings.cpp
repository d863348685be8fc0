#include "functional/settings.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <vector>

#include "functional/settings_rese.h"
#include "session/partition.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/shell.h"

namespace kalios {

namespace {

constexpr char kBell = '\a';
constexpr double kMaxInt = 2147483647.0;
constexpr unsigned kMaxSeed = 4294967295u;

std::size_t Count(int n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

// The dialogue writes every entry of these arrays; a data set loaded for other
// sizes (or a simulated one) gets them at the right length first.
template <class T>
void FitTo(std::vector<T>& v, int n) {
  if (v.size() != Count(n)) v.resize(Count(n));
}

int AskOptionNo(Console& con, const char* keys) {
  Print(con.out, "Type option no.: ");
  return static_cast<int>(ReadNumberIn(con, keys));
}

bool AskYesNo(Console& con, const char* question) {
  Print(con.out, "%s", question);
  return ReadCharIn(con, "y n") == 'y';
}

// Prompts of the two questions that read one group number per OTU.
struct MembershipQuestions {
  const char* fileOrKeyboard;
  const char* fileName;
  const char* keyboardIntro;
  const char* otuHeader;
  const char* groupsHeader;
};

const MembershipQuestions kTypeGroups = {
    "Read group memberships from file (f) or from the keyboard (k)? f/k ",
    "Enter name of file containing group memberships: ",
    "Enter the group of each OTU:\n",
    "OTU:    ",
    "\nGroups: ",
};

const MembershipQuestions kNestingGroups = {
    "Read nesting group memberships from file (f) or from the keyboard (k)? f/k ",
    "Enter name of file containing nesting group memberships: ",
    "Enter the nesting group of each OTU:\n",
    "OTU:            ",
    "\nNesting groups: ",
};

// One group number per OTU from a file. Groups are numbered from 1; a file that
// ends early or holds another number is reported and not used.
bool ReadMembershipFile(Console& con, TextIn& file, int n, std::vector<int>& groups) {
  std::vector<int> read(Count(n), 0);
  for (int i = 0; i < n; ++i) {
    double x = 0;
    if (!freadck1(con, file, x)) return false;  // the end of the file is reported there
    if (!(x >= 1 && x <= kMaxInt)) {
      con.out << kBell;
      Print(con.err, "\nfile %s: group %g of OTU %d is not a group number (1 to %.0f)\n",
            file.name().c_str(), x, i + 1, kMaxInt);
      return false;
    }
    read[static_cast<std::size_t>(i)] = static_cast<int>(x);
  }
  groups = std::move(read);
  return true;
}

// Group memberships of the OTUs from a file or the keyboard. A file that cannot
// be opened or read brings the choice between file and keyboard back.
void ReadMemberships(Console& con, int n, const MembershipQuestions& q, std::vector<int>& groups) {
  for (;;) {
    Print(con.out, "%s", q.fileOrKeyboard);
    if (ReadCharIn(con, "f k") == 'k') {
      Print(con.out, "%s", q.keyboardIntro);
      Print(con.out, "%s", q.otuHeader);
      for (int i = 1; i <= n; ++i) Print(con.out, "\t%d", i);
      Print(con.out, "%s", q.groupsHeader);
      groups.assign(Count(n), 0);
      for (auto& g : groups) g = static_cast<int>(ReadNumberIn(con, "-", 1, kMaxInt));
      return;
    }
    Print(con.out, "%s", q.fileName);
    std::string name;
    if (!ScanString(con, con.in, 99, name)) EndOfFileAbort(con, con.in);
    auto file = fopenck(con, name, "");
    if (file && ReadMembershipFile(con, *file, n, groups)) return;
  }
}

// The menu of a selection: all items (1) or a 0/1 answer for each (2).
struct SelectionQuestions {
  const char* title;
  const char* allLine;
  const char* selectLine;
  const char* refusal;  // when the answers exclude every item
};

const SelectionQuestions kVariables = {
    "\nVariables in matrix E to be considered in the analysis:\n",
    "   1  all variables \n",
    "   2  select variables \n",
    "\nNo variable of matrix E is included: include at least one.\n",
};

const SelectionQuestions kTraits = {
    "\nTraits in matrix B to be used in the analysis:\n",
    "   1  all traits \n",
    "   2  select traits \n",
    "\nNo trait is included: include at least one.\n",
};

const SelectionQuestions kOTUs = {
    "\nOTUs in matrix B to be used in the analysis (useful for partitioning community structure):\n",
    "   1  all OTUs \n",
    "   2  select OTUs \n",
    "\nNo OTU is included: include at least one.\n",
};

// Fills `selected` with 1 (included) or 0 for n items. With `refuseEmpty` a
// selection that excludes every item would leave the statistics without data,
// so it is refused and the question is asked again. Returns the option chosen.
template <class PrintSelectionPrompt>
int AskSelection(Console& con, const SelectionQuestions& q, int n, bool refuseEmpty,
                 PrintSelectionPrompt printPrompt, std::vector<int>& selected) {
  for (;;) {
    Print(con.out, "%s", q.title);
    Print(con.out, "%s", q.allLine);
    Print(con.out, "%s", q.selectLine);
    int option = AskOptionNo(con, "1 2");
    if (option == 1) {
      selected.assign(Count(n), 1);
      return option;
    }
    printPrompt();
    selected.assign(Count(n), 0);
    for (auto& s : selected) s = static_cast<int>(ReadNumberIn(con, "0 1"));
    bool any = std::any_of(selected.begin(), selected.end(), [](int s) { return s != 0; });
    if (any || !refuseEmpty || n < 1) return option;
    con.out << kBell;
    Print(con.err, "%s", q.refusal);
  }
}

void PrintLabels(Console& con, const std::vector<std::string>& labels, int n) {
  for (int i = 0; i < n && Count(i) < labels.size(); ++i) {
    Print(con.out, "%s ", labels[static_cast<std::size_t>(i)].c_str());
  }
  Print(con.out, "\n");
}

// Each OTU's type is the number (from 1) of the last species marked for it.
// An OTU marked for no species becomes a type of its own, after the species.
void SpeciesAsTypes(DataSet& d) {
  int unmarked = 0;
  for (int i = 0; i < d.tcst; ++i) {
    int label = 0;
    if (i < d.cstSppMap.rows()) {
      for (int s = 0; s < d.nSpp && s < d.cstSppMap.cols(); ++s) {
        if (d.cstSppMap[i][s] == '1') label = s + 1;
      }
    }
    d.partition_OTUs[static_cast<std::size_t>(i)] = label > 0 ? label : d.nSpp + ++unmarked;
  }
}

// Trait ranking criteria whose statistic involves E.
bool CriterionUsesE(int optStruct) {
  switch (optStruct) {
    case 1: case 9: case 10: case 14: case 15: case 16: case 17: case 24:
      return true;
    default:
      return false;
  }
}

// Why a congruence option cannot be used by this caller on this E, or null
// when it can.
const char* CongruenceRefusal(int r, int caller, const AnalysisOptions& o, const DataSet& d) {
  if ((r == 4 || r == 5) && !o.optRndTests)
    return "\nRegression and analysis of variance exist only as permutation tests: choose 1, 2 or 3.\n";
  if (caller == 'H') {
    if ((r == 4 || r == 5) && d.nenv < 1)
      return "\nRegression and analysis of variance need ecological variables (matrix E), which this session "
             "has not.\n";
    // With both kinds of variables in E only the matrix correlation is left.
    if (r >= 2 && r <= 4 && d.temEnvQual)
      return d.temEnvQuant ? "\nMatrix E contains nominal and quantitative variables: choose 1.\n"
                           : "\nMatrix E contains nominal variables: choose 1 or 5.\n";
    if (r == 5 && d.temEnvQuant)
      return d.temEnvQual ? "\nMatrix E contains nominal and quantitative variables: choose 1.\n"
                          : "\nMatrix E contains quantitative variables, which cannot define groups: choose 1, 2, 3 "
                            "or 4.\n";
  }
  if (caller == 'K' && (r == 2 || r == 3) && d.temEnvQual) {
    switch (o.opt_struct) {
      case 1: case 9: case 10: case 16: case 17:
        return "\nMatrix E contains nominal variables, which this ranking criterion cannot use with 2 or 3.\n";
      default:
        break;
    }
  }
  return nullptr;
}

// The congruence statistic, asked until an answer fits the caller and E; a
// refused answer is told why.
int AskCongruence(App& app) {
  Console& con = app.con;
  const AnalysisOptions& o = app.opts;
  const DataSet& d = app.data;
  const int caller = app.shell.optmain;
  for (;;) {
    Print(con.out, "\nMeasuring congruence using\n");
    Print(con.out, "  1 matrix correlation (Mantel or Rd Omelka & Hudecovaa 2013)\n");
    Print(con.out, "  2 Procrustes (traceW, cannot be used if matrix E contains nominal variables)\n");
    Print(con.out,
          "  3 RV coefficient (Escoufier 1973, cannot be used if matrix E contains nominal "
          "variables)\n");
    if (o.optRndTests) {
      Print(con.out, "  4 linear regression (cannot be used if matrix E contains nominal variables)\n");
      Print(con.out,
            "  5 analysis of variance (cannot be used if matrix E defining groups contains "
            "quantitative variables) \n");
    }
    const int r = AskOptionNo(con, "1 2 3 4 5");
    const char* why = CongruenceRefusal(r, caller, o, d);
    if (!why) return r;
    con.out << kBell;
    Print(con.err, "%s", why);
  }
}

}  // namespace

void SettingsHierarchy(App& app) {
  Console& con = app.con;
  AnalysisOptions& o = app.opts;
  DataSet& d = app.data;
  const int caller = app.shell.optmain;
  const bool ranking = caller == 'K';
  const bool simulation = caller == 'A';

  FitTo(d.weight, d.nch);
  FitTo(d.nchor, d.nch);
  FitTo(d.nGrPoly, d.nch);
  FitTo(d.weight_OTUs, d.tcst);
  FitTo(d.partition_OTUs, d.tcst);
  FitTo(d.relSelect, d.ncsm);
  FitTo(d.eVarSelect, d.nenv);
  o.optWeightedNullModel = false;
  Menu(app, "FUNCTIONAL ANALYSIS SETTINGS");

  if (ranking) {
    o.partOpt = 0;
  } else {
    Print(con.out, "Data partition type (Williams & Dale 1962):\n");
    Print(con.out, "   0  perform no partition (use mixed data)\n");
    Print(con.out, "   1  use quantitative component\n");
    Print(con.out, "   2  use qualitative component\n");
    o.partOpt = AskOptionNo(con, "0 1 2");
  }

  Print(con.out, "\nTrait-based scaling-up from population to communities:");
  o.traitBasedOpt = 1;
  o.poolCSTopt = 2;
  o.clusMethPoolCSTs = 0;
  Print(con.out, "\nThe partition of OTUs into types should be specified.\n");

  o.OTUsTypesAreSpecies = false;
  if (d.nSpp > 0 &&
      AskYesNo(con,
               "Wish to use as OTUs types the species specified in the session's formatted file? "
               "y/n ")) {
    o.OTUsTypesAreSpecies = true;
    SpeciesAsTypes(d);
  }
  // The simulation study gives the partition itself.
  if (!simulation && !o.OTUsTypesAreSpecies) ReadMemberships(con, d.tcst, kTypeGroups, d.partition_OTUs);

  int nTypes = 0;
  CountGroupsNew(d.tcst, d.partition_OTUs.data(), nTypes, nullptr);
  if (!d.nGrPoly.empty()) d.nGrPoly[0] = nTypes;
  o.reseCSTopt = 1;

  Print(con.out, "\nFuzzy set adjustment:\n");
  Print(con.out, "   0  no adjustment (crisp belonging of OTUs to types)\n");
  Print(con.out, "   1  fuzzy types (fuzzy belonging of OTUs to types)\n");
  if (AskOptionNo(con, "0 1") == 1) {
    o.fuzzy = 3;
    o.fuzziness = 1.0;
  } else {
    o.fuzzy = 0;
  }

  o.optRndTests = false;
  if (!ranking) {
    o.optRndTests = true;
    o.doBootstrapOpt = false;
    Print(con.out, "Enter number of iterations in permutation tests of final statistics: ");
    o.niter = static_cast<int>(ReadNumberIn(con, "-", 1, kMaxInt));
    Print(con.out,
          "Null model based on taxa (t) shuffle, which is recommended, or site (s) suffle? t/s ");
    o.optTaxaSiteShuffle = static_cast<char>(ReadCharIn(con, "t s"));
    if (o.optTaxaSiteShuffle == 't') {
      Print(con.out,
            "OTU permutation restrictions: \n\t(0) none\n\t(1) permutations restricted within groups "
            "of OTUs to be specified\n\t\tEnter option: ");
      o.optRestrictPermutNullModel = static_cast<int>(ReadNumberIn(con, "0 1"));
      if (o.optRestrictPermutNullModel == 1) {
        Print(con.out,
              "Specify the nesting criterion (for each OTU, enter the group to which it belongs):\n");
        ReadMemberships(con, d.tcst, kNestingGroups, o.nestingMembershipOTUs);
      } else {
        o.nestingMembershipOTUs.clear();
      }
      // Asked whatever the previous analysis was: this analysis' statistic is
      // not known yet, and the analysis of variance drops the answer below.
      o.doBootstrapOpt = AskYesNo(con, "Bootstrap resampling of communities: y/n ");
    }

    if (!simulation) {
      Print(con.out, "\nInitialization of the random number generator: \n");
      Print(con.out, "   1  automatic (taken from the clock)\n");
      Print(con.out, "   2  specified by the user\n");
      o.seedOpt = AskOptionNo(con, "1 2");
      if (o.seedOpt == 2) {
        Print(con.out, "\nEnter seed (integer in the 0 to %u interval):\n", kMaxSeed);
        o.rseed = static_cast<unsigned>(ReadNumberIn(con, "-", 0, static_cast<double>(kMaxSeed)));
      } else {
        o.rseed = static_cast<unsigned>(std::time(nullptr));
      }
    }
  }

  o.opt_ro = AskCongruence(app);
  // The analysis of variance is not bootstrapped.
  if (o.opt_ro == 5 && o.doBootstrapOpt) {
    o.doBootstrapOpt = false;
    Print(con.out, "\nThe analysis of variance is tested without bootstrap resampling.\n");
  }

  // No printed value of Procrustes, RV or regression depends on the
  // resemblance between communities; a fresh session must still have a
  // valid one for the descriptors computed on the way.
  if (o.opt_ro >= 2 && o.opt_ro <= 4) o.rese_opt = 6;

  if (o.opt_ro == 1 || o.opt_ro == 5) {
    o.whichObj = 'r';
    if (!(ranking && (o.opt_struct == 10 || o.opt_struct == 16))) SettingsRese(app);
    if (o.opt_ro == 1) {
      Print(con.out,
            "Compute Mantel (m) or Rd (Omelkaa&Hudecovaa 2013) matrix correlation (r)? m/r ");
      o.opt_MatrixCorr = static_cast<char>(ReadCharIn(con, "m r"));
      o.squareDistMatrixOpt =
          o.opt_MatrixCorr == 'r' &&
          AskYesNo(con,
                   "Use squared distances for matrix correlation so that the Rd will be equivalent "
                   "to the RV coefficient? y/n ");
    }
  }

  std::fill(d.relSelect.begin(), d.relSelect.end(), 1);

  if (!simulation && d.nenv > 0) {
    std::fill(d.eVarSelect.begin(), d.eVarSelect.end(), 1);
    bool needsE = caller == 'H' || (ranking && CriterionUsesE(o.opt_struct));
    AskSelection(
        con, kVariables, d.nenv, needsE,
        [&] {
          Print(con.out, "Select variables:\n");
          Print(con.out, "(enter 0 for exclusion or 1 for inclusion)\n");
          PrintLabels(con, d.envLabel, d.nenv);
        },
        d.eVarSelect);
  }

  std::vector<int> traitSelection;
  AskSelection(
      con, kTraits, d.nch, true,
      [&] {
        Print(con.out, "Select traits:\n");
        Print(con.out, "(enter 0 for exclusion or 1 for inclusion)\n");
        PrintLabels(con, d.chLabel, d.nch);
      },
      traitSelection);
  for (int k = 0; k < d.nch; ++k) d.weight[Count(k)] = traitSelection[Count(k)];

  if (d.hasTraitGroups &&
      AskYesNo(con, "Set weights for traits inversely proportional to effective trait group sizes? y/n ")) {
    std::map<int, int> selectedInGroup;
    for (int k = 0; k < d.nch && Count(k) < d.traitGroups.size(); ++k) {
      if (d.weight[Count(k)] > 0) ++selectedInGroup[d.traitGroups[Count(k)]];
    }
    for (int k = 0; k < d.nch && Count(k) < d.traitGroups.size(); ++k) {
      auto it = selectedInGroup.find(d.traitGroups[Count(k)]);
      if (it != selectedInGroup.end()) d.weight[Count(k)] /= it->second;
    }
  }

  o.restrictRaoWithinOpt = false;
  o.keepAdditivity = true;
  if (ranking) {
    std::fill(d.weight_OTUs.begin(), d.weight_OTUs.end(), 1);
  } else {
    int option = AskSelection(
        con, kOTUs, d.tcst, true,
        [&] { Print(con.out, "Enter 0 for exclusion or 1 for inclusion for %d OTUs\n", d.tcst); },
        d.weight_OTUs);
    if (option == 2) {
      o.restrictRaoWithinOpt = AskYesNo(
          con, "Restrict fuzzy-weighting and diversity measures to within subset of selected OTUs? y/n ");
      o.keepAdditivity = !AskYesNo(con,
                                   "Despite excluding OTUs, keep the original scale in community "
                                   "weighted means and diversity measures? y/n ");
    }
  }

  o.optUnitTotalAdjust2 =
      AskYesNo(con, "\nStandardize community data matrix (matrix W) to unit total in each community? y/n ");

  if (d.hasPhylogeny) d.includePhylogeny = true;
  if (d.includePhylogeny) {
    d.partition_OTUs_Phyl = d.partition_OTUs;
    CountGroupsNew(d.tcst, d.partition_OTUs_Phyl.data(), o.nTaxa, nullptr);
    o.fuzzyPhyl = true;
  }

  for (int k = 0; k < d.nch; ++k) d.nchor[Count(k)] = k + 1;
  o.isHierarchical = 0;
  for (int k = 1; k < d.nch; ++k) d.nGrPoly[Count(k)] = 2;
  o.optCoVariable = false;

  if (!ranking) {
    o.printDetail = AskYesNo(con, "\nInclude detailed results of the analysis in the printout y/n ") ? 1 : 0;
    GetPrindaMode(app, app.track.whichPrinda);
  }
}

void GetPrindaMode(App& app, const std::string& suffix) {
  Console& con = app.con;
  if (!TextIn::OpenFile(app.shell.volumeName + suffix)) {
    app.opts.prindaMode = "w";
    return;
  }
  Print(con.out, "\nThis session has a previous %s file.\n", suffix.c_str());
  Print(con.out, "Options:\n");
  Print(con.out, "   w  erase file and create a new one\n");
  Print(con.out, "   a  append results to same file\n");
  Print(con.out, "Type option: ");
  app.opts.prindaMode = ReadCharIn(con, "W A") == 'w' ? "w" : "a";
}

}  // namespace kalios
