// The dialogue of the simulation study and the reading of its input files.
#include <algorithm>
#include <ctime>

#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "simulation/study.h"

namespace kalios {
namespace {

constexpr double kMaxInt = 2147483647.0;
constexpr double kMostNegative = -3.4028234663852886e38;
constexpr double kLeastNegative = -0.01;
constexpr unsigned kMaxSeed = 4294967295u;
constexpr char kBell = '\a';

int AskInt(Console& con, const char* prompt, double lo = 1, double hi = kMaxInt) {
  Print(con.out, "%s", prompt);
  return static_cast<int>(ReadNumberIn(con, "-", lo, hi));
}

int AskChar(Console& con, const char* prompt, const char* keys) {
  Print(con.out, "%s", prompt);
  return ReadCharIn(con, keys);
}

// A centre of antisymmetry of 0 leaves the slope of a random curve without a
// limit (it divides by 0) and every curve value NaN, which would end the whole
// study half way; it is refused like any out-of-range answer.
double ReadCentre(Console& con) {
  for (;;) {
    double x = ReadNumberIn(con, "-", 0, 1);
    if (x > 0) return x;
    con.out << kBell;
    Print(con.err, "\nIncorrect input = %g. Reenter.\n", x);
    Print(con.err, "Accepted input: above 0 to 1\n");
  }
}

void AskCurveRanges(Console& con, CurveSource& c, const char* centrePrompt, const char* slopePrompt) {
  Print(con.out, "%s", centrePrompt);
  c.centreMin = ReadCentre(con);
  c.centreMax = ReadCentre(con);
  if (c.centreMax < c.centreMin) std::swap(c.centreMin, c.centreMax);
  Print(con.out, "%s", slopePrompt);
  c.slopeMin = ReadNumberIn(con, "-", kMostNegative, kLeastNegative);
  c.slopeMax = ReadNumberIn(con, "-", c.slopeMin, kLeastNegative);
}

double ReadItem(Console& con, TextIn& f) {
  double x = 0;
  freadck(con, f, x);
  return x;
}

// Reads rows x cols numbers; a missing number or a word ends in the end-of-file
// abort naming the file (inside freadck).
void ReadMatrixFile(Console& con, TextIn& f, Matrix<double>& m, int rows, int cols) {
  m.Resize(rows, cols);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) m[i][j] = ReadItem(con, f);
}

std::unique_ptr<TextIn> OpenData(Console& con, std::string& name) { return ReadDataFileName(con, &name); }

// Curve parameters from a file, rows of centre and slope. A centre outside
// (0, 1] or a slope that is not negative would make the curves meaningless
// (or NaN); the file is refused and another name asked.
bool CurveRowsValid(Console& con, const std::string& file, const Matrix<double>& m) {
  for (int i = 0; i < m.rows(); ++i) {
    if (m[i][0] > 0 && m[i][0] <= 1 && m[i][1] < 0) continue;
    con.out << kBell;
    Print(con.err, "\nfile %s: row %d holds center %g and slope %g (center above 0 to 1, slope below 0)\n",
          file.c_str(), i + 1, m[i][0], m[i][1]);
    return false;
  }
  return true;
}

void ReadCurveFile(Console& con, CurveSource& c, Matrix<double>& m, int rows) {
  for (;;) {
    auto f = OpenData(con, c.file);
    ReadMatrixFile(con, *f, m, rows, 2);
    if (CurveRowsValid(con, c.file, m)) return;
  }
}

const char* const kOtuCurveFilePrompt =
    "Name of the file with a matrix of %d OTU with the two parameters of the logistic function for each OTU: \n"
    "The parameters are: (1) center: the position of the center of antisymmetry (0 = xmin, 1 = xmax) and (2) "
    "slope of the tangent in the center of antisymmetry of the function (<0) )\n";

void AskTraits(Console& con, StudyDesign& d) {
  for (;;) {
    Print(con.out, "Input is a %d OTUs x %d traits matrix (t) or a trait x traits correlation matrix (c)? t/c ", d.N,
          d.K);
    d.traitSource = static_cast<char>(ReadCharIn(con, "t c b"));
    if (d.traitSource != 'b') break;
    // Without traits every OTU would be alike and no test could mean anything.
    con.out << kBell;
    Print(con.err, "\nThe study needs traits: answer t or c.\n");
  }
  if (d.traitSource == 't') {
    Print(con.out, "Name of the file with trait data matrix (%d OTUs x %d traits):\n", d.N, d.K);
    auto f = OpenData(con, d.traitFile);
    ReadMatrixFile(con, *f, d.traitsRaw, d.N, d.K);
    return;
  }
  d.Q = 0;
  Print(con.out, "Among the %d traits, are some of these to be generated as the product of other two traits? y/n ",
        d.K);
  if (ReadCharIn(con, "y n") == 'y') {
    Print(con.out, "Specify the number of trait combinations: ");
    // At least one trait must come from the correlation matrix for a product
    // to have factors.
    const double most = std::min(static_cast<double>(d.K) * (d.K - 1) / 2.0, static_cast<double>(d.K - 1));
    d.Q = static_cast<int>(ReadNumberIn(con, "-", 0, most));
  }
  const int k0 = d.K - d.Q;
  Print(con.out, "Name of the file with full trait correlation matrix (%d traits x %d traits):\n", k0, k0);
  if (d.Q > 0)
    Print(con.out,
          "The additional %d trait combinations to be generated should be indicated after the correlation matrix "
          "in the same file.\n",
          d.Q);
  for (;;) {
    auto f = OpenData(con, d.traitFile);
    ReadMatrixFile(con, *f, d.traitCorr, k0, k0);
    d.products.clear();
    bool ok = true;
    for (int c = 0; c < d.Q; ++c) {
      const double a = ReadItem(con, *f), b = ReadItem(con, *f);
      // A product may use any trait defined before it.
      const int limit = k0 + c;
      if (!(a >= 1 && a <= limit && b >= 1 && b <= limit && a == static_cast<int>(a) && b == static_cast<int>(b))) {
        con.out << kBell;
        Print(con.err, "\nfile %s: trait combination %d (%g x %g) names a trait outside 1 to %d\n",
              d.traitFile.c_str(), c + 1, a, b, limit);
        ok = false;
        break;
      }
      d.products.emplace_back(static_cast<int>(a), static_cast<int>(b));
    }
    if (ok) break;
  }
  d.traitDistribution = AskChar(con,
                                "Generate OTUs x traits matrix with uniform (u) or normal (n) distribution of values "
                                "in each trait? u/n ",
                                "u n") == 'u'
                            ? 1
                            : 2;
}

void AskLifespans(Console& con, StudyDesign& d) {
  d.lifespanFromFile = AskChar(con,
                               "Specify for each OTU the maximum lifespan in years (d), or generate maximum lifespan "
                               "at random (r)? d/r ",
                               "d r") == 'd';
  if (d.lifespanFromFile) {
    Print(con.out, "Name of the file with a vector of maximum lifespan values (years) for %d OTUs: )\n", d.N);
    for (;;) {
      auto f = OpenData(con, d.lifespanFile);
      d.lifespan.assign(static_cast<std::size_t>(d.N), 0);
      bool ok = true;
      for (int j = 0; j < d.N; ++j) {
        const double x = ReadItem(con, *f);
        // A lifespan of 0 makes the age of a newborn 0/0.
        if (!(x >= 1 && x <= kMaxInt)) {
          con.out << kBell;
          Print(con.err, "\nfile %s: lifespan %g of OTU %d is not 1 to %.0f years\n", d.lifespanFile.c_str(), x,
                j + 1, kMaxInt);
          ok = false;
          break;
        }
        d.lifespan[static_cast<std::size_t>(j)] = static_cast<int>(x);
      }
      if (ok) return;
    }
  }
  Print(con.out, "Specify the minimum and maximum random lifespan values (years): ");
  d.lifeMin = static_cast<int>(ReadNumberIn(con, "-", 1, kMaxInt));
  d.lifeMax = static_cast<int>(ReadNumberIn(con, "-", d.lifeMin, kMaxInt));
}

}  // namespace

void AskStudyDesign(Console& con, StudyDesign& d) {
  d.S = AskInt(con, "Specify the number of communities (sites): ");
  d.N = AskInt(con, "Specify the number of OTUs: ");
  d.K = AskInt(con, "Specify the number of traits: ");
  AskTraits(con, d);

  d.dispersal.fromFile = AskChar(con,
                                 "Specify for each OTU the parameters for local seed dispersal kernel (d), or generate "
                                 "the parameters (center and slope) of the logistic function at random (r)? d/r ",
                                 "d r") == 'd';
  if (d.dispersal.fromFile) {
    Print(con.out,
          "Name of the file with a matrix of %d OTU with the two parameters of the logistic function for each OTU: "
          "\nThe parameters are: (1) center: the position of the center of antisymmetry of the function (0 = xmin, "
          "1 = xmax) and (2) slope of the tangent in the center of antisymmetry (<0) )\n",
          d.N);
    ReadCurveFile(con, d.dispersal, d.dispersalParam, d.N);
  } else {
    AskCurveRanges(con, d.dispersal,
                   "Specify the minimum and maximum center of antisymmetry of the logistic function for the dispersal "
                   "kernel (0-1, values approaching one result in farther high dispersal probabilities): ",
                   "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function "
                   "for the dispersal kernel (<0, more negative values result in steeper descending): ");
  }

  d.coordsFromFile =
      AskChar(con, "Specify community site coordinates (c), or generate coordinates at random (r)? c/r ", "c r") == 'c';
  if (d.coordsFromFile) {
    Print(con.out, "Name of the file with X and Y coordinates for %d sites (2 rows):\n", d.S);
    auto f = OpenData(con, d.coordFile);
    ReadMatrixFile(con, *f, d.coords, 2, d.S);
  }

  d.F = AskInt(con, "Specify the number of factors: ");
  Print(con.out,
        "Specify the environmental data as a %d factors x %d sites matrix (e) or generate the data based on a factor "
        "x factor correlation matrix (c)? e/c ",
        d.F, d.S);
  d.envSource = static_cast<char>(ReadCharIn(con, "e c"));
  if (d.envSource == 'e') {
    Print(con.out, "Name of the file with matrix of %d sites x %d factors with initial ecosystem conditions:\n", d.S,
          d.F);
    auto f = OpenData(con, d.envFile);
    ReadMatrixFile(con, *f, d.envInitial, d.S, d.F);  // sites x factors until PrepareStudy
  } else {
    Print(con.out, "Name of the file with full factor correlation matrix (%d factors x %d factors):\n", d.F, d.F);
    auto f = OpenData(con, d.envFile);
    ReadMatrixFile(con, *f, d.factorCorr, d.F, d.F);
    d.envDistribution = AskChar(con,
                                "Generate factors x sites matrix with uniform (u) or normal (n) distribution of "
                                "values in each factor? u/n ",
                                "u n") == 'u'
                            ? 1
                            : 2;
  }
  d.interactions = AskChar(con, "Consider double interactions between factors? y/n ", "y n") == 'y';
  d.P = d.interactions ? d.F + d.F * (d.F - 1) / 2 : d.F;
  if (d.interactions)
    Print(con.out,
          "Name of the file with matrix of parameters for linear models of community responses to ecosystem "
          "conditions (%d traits by %d ecosystem predictor variables and their double interactions):\n",
          d.K, d.P);
  else
    Print(con.out,
          "Name of the file with matrix of parameters for linear models of community responses to ecosystem "
          "conditions (%d traits by %d ecosystem predictor variables): ",
          d.K, d.F);
  {
    auto f = OpenData(con, d.responseFile);
    ReadMatrixFile(con, *f, d.response, d.K, d.P);
  }
  Print(con.out,
        "Name of the file with matrix of parameters for linear models of community effects on ecosystem conditions "
        "(%d ecosystem variables by %d predictor traits):\n",
        d.F, d.K);
  {
    auto f = OpenData(con, d.effectFile);
    ReadMatrixFile(con, *f, d.effect, d.F, d.K);
  }

  d.inertia.fromFile = AskChar(con,
                               "Specify for each site the parameters for the inertia to community effects on ecosystem "
                               "conditions, or generate the parameters (center and slope) of the logistic function at "
                               "random (r)? d/r ",
                               "d r") == 'd';
  if (d.inertia.fromFile) {
    Print(con.out,
          "Name of the file with a matrix of %d sites with the two parameters of the logistic function for each site: "
          "\nThe parameters are: (1) center: the position of the center of antisymmetry of the function (0 = xmin, "
          "1 = xmax) and (2) slope of the tangent in the center of antisymmetry (<0) )\n",
          d.S);
    ReadCurveFile(con, d.inertia, d.inertiaParam, d.S);
  } else {
    AskCurveRanges(con, d.inertia,
                   "Specify the minimum and maximum center of antisymmetry of the logistic function for site inertia "
                   "(0-1, values approaching one result in sustained high inertia of environmental variables even "
                   "under increased community changes): ",
                   "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function "
                   "for site inertia (<0, more negative values result in steeper decrease in inertia of environmental "
                   "variables affected by community changes): ");
  }

  d.weightByAge = AskChar(con, "Weight abundances of OTUs by their age in each community? y/n ", "y n") == 'y';

  d.survival.fromFile =
      AskChar(con,
              "Specify for each OTU the parameters (center and slope) of the logistic function relating probability of "
              "survival to distance between OTU traits and expected community traits (d), or generate the parameters "
              "at random (r)? d/r ",
              "d r") == 'd';
  if (d.survival.fromFile) {
    Print(con.out, kOtuCurveFilePrompt, d.N);
    // One block of N rows per trait, in one file.
    for (;;) {
      auto f = OpenData(con, d.survival.file);
      d.survivalParam = Array3<double>(d.K, d.N, 2);
      bool ok = true;
      for (int k = 0; k < d.K && ok; ++k) {
        ReadMatrixFile(con, *f, d.survivalParam[k], d.N, 2);
        ok = CurveRowsValid(con, d.survival.file, d.survivalParam[k]);
      }
      if (ok) break;
    }
  } else {
    AskCurveRanges(con, d.survival,
                   "Specify the minimum and maximum center of antisymmetry of the logistic function for the survival "
                   "probability (0-1, values approaching one result in same survival probabilities for traits farther "
                   "from optimal): ",
                   "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function "
                   "for the survival probability (<0, more negative values result in steeper descending): ");
  }

  d.density.fromFile = AskChar(con,
                               "Specify for each OTU the parameters for the density dependence function (d), or "
                               "generate the parameters (center and slope) of the logistic function at random (r)? d/r ",
                               "d r") == 'd';
  if (d.density.fromFile) {
    Print(con.out, kOtuCurveFilePrompt, d.N);
    ReadCurveFile(con, d.density, d.densityParam, d.N);
  } else {
    AskCurveRanges(con, d.density,
                   "Specify the minimum and maximum center of antisymmetry of the logistic function for density "
                   "dependence (0-1, values approaching one result in high survival probabilities at high population "
                   "densities : ",
                   "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function "
                   "for density dependence (<0, more negative values result in steeper descending): ");
  }

  AskLifespans(con, d);

  d.age.fromFile = AskChar(con,
                           "Specify for each OTU the parameters for the age-related survivorship function (d), or "
                           "generate the parameters (center and slope) of the logistic function at random (r)? d/r ",
                           "d r") == 'd';
  if (d.age.fromFile) {
    Print(con.out, kOtuCurveFilePrompt, d.N);
    ReadCurveFile(con, d.age, d.ageParam, d.N);
  } else {
    AskCurveRanges(con, d.age,
                   "Specify the minimum and maximum center of antisymmetry of the logistic function for age-related "
                   "survivorship (0-1, values approaching one result in high survival probabilities at old ages: ",
                   "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function "
                   "for age-related survivorship (<0, more negative values result in steeper descending with age): ");
  }

  d.maxIndPerSite = AskInt(con, "Specify the maximum average number of individuals per community: ");
  d.years = AskInt(con, "Specify the duration of the simulation (in years): ");
  d.stepsPerYear = AskInt(con, "Specify the number of iterations (cycles of colonization and extinction) per year: ");
  Print(con.out,
        "Specify the threshold (proportion) of the maximum average number of individuals per community after which "
        "OTU richness and number of OTU colonizations and extinctions are recorded: ");
  d.recordThreshold = ReadNumberIn(con, "-", 0, 1);

  d.powerMode = AskChar(con, "Evaluate type I error or power? y/n ", "y n") == 'y';
  if (d.powerMode) {
    d.D = AskInt(con, "Specify the number of simulated data sets: ");
    Print(con.out, "Specify the alpha threshold for Ho rejection: ");
    d.alpha = ReadNumberIn(con, "-", 0, 1);
    d.saveDataSetResults = AskChar(con, "Save intermediate results of power analysis? y/n ", "y n") == 'y';
    d.saveSteps = false;
  } else {
    d.saveSteps =
        AskChar(con, "Save step-by-step simulated community development? y/n (may generate huge files) ", "y n") == 'y';
    d.D = 1;
    d.alpha = 0;
    d.saveDataSetResults = true;
  }

  Print(con.out, "\nInitialization of the random number generator: \n");
  Print(con.out, "   1  automatic (taken from the clock)\n");
  Print(con.out, "   2  specified by the user\n");
  Print(con.out, "Type option no.: ");
  if (static_cast<int>(ReadNumberIn(con, "1 2")) == 2) {
    Print(con.out, "\nEnter seed (integer in the 0 to %u interval):\n", kMaxSeed);
    d.seed = static_cast<unsigned>(ReadNumberIn(con, "-", 0, static_cast<double>(kMaxSeed)));
  } else {
    d.seed = static_cast<unsigned>(std::time(nullptr));
  }
}

}  // namespace kalios
