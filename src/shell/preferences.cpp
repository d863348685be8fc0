#include "shell/preferences.h"

#include <omp.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

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
// Significant digits a double can carry; more would only print noise (and a
// huge count would allocate gigabytes per number).
constexpr int kMaxDigits = 17;

int Processors() { return omp_get_num_procs(); }

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

// A damaged item of the file: its place (1 is the version tag) and its name.
struct Damaged {
  int item;
  const char* name;
};

// Reads the items of the file one word each, as the dialogue could have
// written them; anything else (a missing item, a word for a number, a value
// out of range) is damage.
class PrefReader {
 public:
  explicit PrefReader(TextIn& in) : in_(in) {}

  std::string Word(const char* name) {
    ++item_;
    std::string w;
    if (in_.ScanWord(w) != 1) throw Damaged{item_, name};
    return w;
  }
  int Int(const char* name, long lower = INT_MIN, long upper = INT_MAX) {
    std::string w = Word(name);
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(w.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < lower || v > upper) throw Damaged{item_, name};
    return static_cast<int>(v);
  }
  double Real(const char* name, double lower, double upper) {
    std::string w = Word(name);
    char* end = nullptr;
    double v = std::strtod(w.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || v < lower || v > upper) throw Damaged{item_, name};
    return v;
  }
  float Size(const char* name) { return static_cast<float>(Real(name, -kMaxFloat, kMaxFloat)); }
  int Flag(const char* name) {
    std::string w = Word(name);
    if (w != "y" && w != "n" && w != "Y" && w != "N") throw Damaged{item_, name};
    return std::tolower(static_cast<unsigned char>(w[0]));
  }

 private:
  TextIn& in_;
  int item_ = 1;  // the version tag is item 1
};

}  // namespace

void ReadPreferences(Console& con, Preferences& p, const std::string& path) {
  auto file = TextIn::OpenFile(path);
  if (!file) return;  // no file: the defaults stay, silently
  std::string tag;
  if (file->ScanWord(tag) != 1 || tag != versionPref) {
    file->Close();
    return;
  }
  Preferences q = p;
  PrefReader r(*file);
  try {
    q.isHierarchicalPref = r.Int("isHierarchicalPref");
    q.scatterHSize = r.Size("scatterHSize");
    q.scatterVSize = r.Size("scatterVSize");
    q.scatterPointSize = r.Int("scatterPointSize");
    q.profileHSize = r.Size("profileHSize");
    q.profileVSize = r.Size("profileVSize");
    q.profileType = r.Int("profileType");
    q.drawProfPtsOpt = r.Flag("drawProfPtsOpt");
    q.profilePointSize = r.Int("profilePointSize");
    q.treeHSize = r.Size("treeHSize");
    q.treeVSize = r.Size("treeVSize");
    q.sDigits = r.Int("sDigits", 1, kMaxDigits);
    q.maxColsPrint = r.Int("maxColsPrint", 1);
    q.maxComponents = r.Int("maxComponents", 1);
    q.saveStruct = r.Flag("saveStruct");
    q.saveRndData = r.Flag("saveRndData");
    q.showMemory = r.Flag("showMemory");
    q.countDoubleAbsence = r.Int("countDoubleAbsence") != 0 ? 1 : 0;
    q.sqrtDissimOpt_RaoTraits = r.Int("sqrtDissimOpt_RaoTraits") != 0;
    q.sqrtDissimOpt_RaoPhyl = r.Int("sqrtDissimOpt_RaoPhyl") != 0;
    q.BealsIncludeOpt = r.Int("BealsIncludeOpt") != 0;
    q.overfitFactorPCARegr = r.Real("overfitFactorPCARegr", 1, kMaxFloat);
    q.twoTailedTest = r.Int("twoTailedTest") != 0;
    q.oneMatrixPermPartialCorr = r.Int("oneMatrixPermPartialCorr") != 0;
    q.nonParametricSES_opt = r.Int("nonParametricSES_opt") != 0;
    // A file written on a larger machine asks for more processors than this
    // one has: all of them are used.
    q.nProcessors = std::min(r.Int("nProcessors", 0), Processors());
  } catch (const Damaged& d) {
    // Every later start would stop at the same item: the file is put aside
    // for the user to look at and the defaults stay.
    file->Close();
    const std::string aside = path + ".damaged";
    Print(con.err, "\nPreferences file %s: item %d (%s) is damaged or out of range.\n", path.c_str(),
          d.item, d.name);
    if (std::rename(path.c_str(), aside.c_str()) == 0) {
      Print(con.err, "It is kept as %s; the default preferences are used.\n", aside.c_str());
    } else {
      Print(con.err, "The default preferences are used.\n");
    }
    return;
  }
  file->Close();
  p = q;
}

void WritePreferences(Console& con, const Preferences& p, const std::string& path) {
  AtomicTextFile f(path, con.err);
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
        int digits = static_cast<int>(KeyboardNumber(con, 0, kMaxDigits));
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
        p.nProcessors = static_cast<int>(KeyboardNumber(con, 0, Processors()));
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
