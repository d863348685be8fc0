#include "shell/preferences.h"

#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <sstream>

#include "session/item_reader.h"
#include "session/safe_write.h"
#include "shell/app.h"
#include "shell/cformat.h"
#include "shell/dispatch.h"
#include "shell/input.h"
#include "shell/shell.h"

namespace kalios {

namespace {

// The largest single-precision float, the upper bound of the PCA factor.
constexpr double kMaxFloat = 3.4028234663852886e+38;

void KeepIfIn(int value, int lower, int upper, int& target) {
  if (value >= lower && value <= upper) target = value;
}

// Numbers of this dialogue are read from the console under the name "keyboard".
double KeyboardNumber(Console& con, double lower, double upper) {
  std::string saved = con.in.name();
  con.in.set_name("keyboard");
  struct Restore {
    Console& con;
    std::string name;
    ~Restore() { con.in.set_name(name); }
  } restore{con, saved};
  return ScanNumber(con, con.in, "-", lower, upper);
}

bool YesNo(Console& con, const char* question) {
  Print(con.out, "%s", question);
  return ReadCharIn(con, "y n") == 'y';
}

}  // namespace

void ReadPreferences(Console& con, Preferences& p, const std::string& path) {
  auto file = TextIn::OpenFile(path);
  if (!file) return;  // no file: the defaults stay, silently
  ItemReader r(con, *file);
  std::string tag;
  if (!r.TryWord(tag) || tag != versionPref) {
    file->Close();
    return;
  }
  Preferences q = p;
  // Values are read in file order; each is stored only when the dialogue
  // could have produced it, so a damaged value keeps what was there.
  q.isHierarchicalPref = r.Int();
  q.scatterHSize = r.Float();
  q.scatterVSize = r.Float();
  q.scatterPointSize = r.Int();
  q.profileHSize = r.Float();
  q.profileVSize = r.Float();
  q.profileType = r.Int();
  q.drawProfPtsOpt = r.Char("y n");
  q.profilePointSize = r.Int();
  q.treeHSize = r.Float();
  q.treeVSize = r.Float();
  KeepIfIn(r.Int(), 1, INT_MAX, q.sDigits);  // the dialogue turns 0 into the default
  KeepIfIn(r.Int(), 1, INT_MAX, q.maxColsPrint);
  KeepIfIn(r.Int(), 1, INT_MAX, q.maxComponents);
  q.saveStruct = r.Char("y n");
  q.saveRndData = r.Char("y n");
  q.showMemory = r.Char("y n");
  q.countDoubleAbsence = r.Int() != 0 ? 1 : 0;
  q.sqrtDissimOpt_RaoTraits = r.Int() != 0;
  q.sqrtDissimOpt_RaoPhyl = r.Int() != 0;
  q.BealsIncludeOpt = r.Int() != 0;
  double factor = r.Double();
  if (std::isfinite(factor) && factor >= 1 && factor <= kMaxFloat) q.overfitFactorPCARegr = factor;
  q.twoTailedTest = r.Int() != 0;
  q.oneMatrixPermPartialCorr = r.Int() != 0;
  q.nonParametricSES_opt = r.Int() != 0;
  KeepIfIn(r.Int(), 0, INT_MAX, q.nProcessors);
  file->Close();
  p = q;
}

void WritePreferences(Console& con, const Preferences& p, const std::string& path) {
  AtomicTextFile f(path);
  if (!f.Open()) {
    Print(con.err, "\ncan't open %s \n", path.c_str());
    con.out << '\a';
    return;  // the preferences stay in effect for this run only
  }
  f.Printf("%s\n", versionPref);
  f.Printf("%d\n", p.isHierarchicalPref);
  f.Printf("%f\n", p.scatterHSize);
  f.Printf("%f\n", p.scatterVSize);
  f.Printf("%d\n", p.scatterPointSize);
  f.Printf("%f\n", p.profileHSize);
  f.Printf("%f\n", p.profileVSize);
  f.Printf("%d\n", p.profileType);
  f.Printf("%c\n", p.drawProfPtsOpt);
  f.Printf("%d\n", p.profilePointSize);
  f.Printf("%f\n", p.treeHSize);
  f.Printf("%f\n", p.treeVSize);
  f.Printf("%d\n", p.sDigits);
  f.Printf("%d\n", p.maxColsPrint);
  f.Printf("%d\n", p.maxComponents);
  f.Printf("%c\n", p.saveStruct);
  f.Printf("%c\n", p.saveRndData);
  f.Printf("%c\n", p.showMemory);
  f.Printf("%d\n", p.countDoubleAbsence);
  f.Printf("%d\n", p.sqrtDissimOpt_RaoTraits ? 1 : 0);
  f.Printf("%d\n", p.sqrtDissimOpt_RaoPhyl ? 1 : 0);
  f.Printf("%d\n", p.BealsIncludeOpt ? 1 : 0);
  f.Printf("%g\n", p.overfitFactorPCARegr);
  f.Printf("%d\n", p.twoTailedTest ? 1 : 0);
  f.Printf("%d\n", p.oneMatrixPermPartialCorr ? 1 : 0);
  f.Printf("%d\n", p.nonParametricSES_opt ? 1 : 0);
  f.Printf("%d\n", p.nProcessors);
  std::ostringstream stamp;
  TimeStamp(stamp);
  f.Write(stamp.str());
  f.Commit();
}

void SetPreferences(App& app, const std::string& path) {
  Console& con = app.con;
  Preferences& p = app.prefs;
  for (;;) {
    Menu(app, "PREFERENCES");
    Print(con.out, "Set preferences of: \n");
    Print(con.out, "   F  output files \n");
    Print(con.out, "   G  Gower index\n");
    Print(con.out, "   R  Rao entropy\n");
    Print(con.out, "   B  Beals smoothing\n");
    Print(con.out, "   O  PCA regression\n");
    Print(con.out, "   T  permutaton tests based on matrix correlations\n");
    Print(con.out, "   S  SES (standardized effect sizes)\n");
    Print(con.out, "   M  Multiprocessor use\n");
    Print(con.out, "   C  return to main menu \n");
    Print(con.out, "Type option: ");
    int opt = std::toupper(ReadCharIn(con, "F G R B O M C T S"));
    if (opt == 'C') break;
    switch (opt) {
      case 'F': {
        Print(con.out, "\n%s\n", kRuleLine.c_str());
        Print(con.out, "Number of significant digits on printouts (enter zero for default):\n");
        int digits = static_cast<int>(KeyboardNumber(con, 0, INT_MAX));
        p.sDigits = digits == 0 ? 6 : digits;
        Print(con.out, "Maximum number of ordination components on printout (zero for default):\n");
        int components = static_cast<int>(KeyboardNumber(con, 0, INT_MAX));
        p.maxComponents = components == 0 ? 6 : components;
        p.saveStruct = YesNo(con, "Save matrices used to evaluate structures? y/n               ") ? 'y' : 'n';
        p.saveRndData = YesNo(con, "Save tables and resemblances generated by randomization? y/n ") ? 'y' : 'n';
        break;
      }
      case 'G':
        p.countDoubleAbsence =
            YesNo(con,
                  "Modify Gower similarity index to count matching absences in binary traits "
                  "(default is yes)? y/n ")
                ? 1
                : 0;
        break;
      case 'R':
        p.sqrtDissimOpt_RaoTraits = YesNo(
            con,
            "Use squared root dissimilarities for computing Rao entropy based on traits (default is "
            "yes)? y/n ");
        p.sqrtDissimOpt_RaoPhyl = YesNo(
            con,
            "Use squared root dissimilarities for computing Rao entropy based on phylogeny (default "
            "is no)? y/n ");
        break;
      case 'B':
        p.BealsIncludeOpt = YesNo(
            con,
            "Use target OTU value for estimating its own abundance by Beals smoothing (default is "
            "yes)? y/n ");
        break;
      case 'O':
        Print(con.out,
              "Specify the factor for limiting, for partial Procrustes correlations, the number of "
              "predictors in PCA regression in relation to sample size n (default is 2, i.e., the "
              "maximum number of predictors (PCA axes) will be n/2): ");
        p.overfitFactorPCARegr = KeyboardNumber(con, 1, kMaxFloat);
        break;
      case 'T':
        p.twoTailedTest = YesNo(
            con,
            "Generate two-tailed, non-parametric P-values for partial matrix correlations (default "
            "is yes: two-tailed)? y/n ");
        p.oneMatrixPermPartialCorr = YesNo(
            con,
            "Permute only one matrix in tests for partial matrix correlations involving matrices "
            "derived from traits (default is no)? y/n ");
        break;
      case 'S':
        Print(con.out, "Compute parametric (p) or non-parametric (n) SES (default is the latter)? p/n");
        p.nonParametricSES_opt = ReadCharIn(con, "p n") == 'n';
        break;
      case 'M':
        Print(con.out,
              "Specify the maximum number of processors to be used (enter zero for default, which "
              "is the maximum available): ");
        p.nProcessors = static_cast<int>(KeyboardNumber(con, 0, INT_MAX));
        break;
      default:
        break;
    }
  }
  WritePreferences(con, p, path);
}

void ReadPreferences(App& app) { ReadPreferences(app.con, app.prefs, KALIOSPrefsName); }
void WritePreferences(App& app) { WritePreferences(app.con, app.prefs, KALIOSPrefsName); }
void SetPreferences(App& app) { SetPreferences(app, KALIOSPrefsName); }

void ReadPreferencesHook(App& app) { ReadPreferences(app); }
void SetPreferencesHook(App& app) { SetPreferences(app); }

}  // namespace kalios
