// The files of a simulation study: creation, the study header, the results of
// each simulation and the simulated data matrices.
#include <algorithm>
#include <ctime>

#include "numlib/print.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/state.h"
#include "simulation/step_files.h"
#include "simulation/study.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

std::unique_ptr<std::ofstream> CreateFile(Console& con, const char* name) {
  auto f = fopenckWrite(con, name, "", false);
  if (!f) Abort(kAbortOpenFailed);
  return f;
}

void CreateEmpty(Console& con, const char* name, const std::string& header = "") {
  auto f = CreateFile(con, name);
  *f << header;
  f->close();
  if (f->fail()) Abort(kAbortWriteFailed);
}

void Rows2(std::ostream& os, const Matrix<double>& m, int rows) {
  for (int i = 0; i < rows; ++i) Print(os, "%g\t%g\n", m[i][0], m[i][1]);
}

void RangeLines(std::ostream& os, const char* centre, const char* slope, const CurveSource& c) {
  Print(os, centre, c.centreMin, c.centreMax);
  Print(os, slope, c.slopeMin, c.slopeMax);
}

void FlagLine(std::ostream& os, const std::vector<int>& v) { PrintVectorTab(os, static_cast<int>(v.size()), v.data()); }

}  // namespace

void CheckWritten(std::ostream& os) {
  os.flush();
  if (os.fail()) Abort(kAbortWriteFailed);
}

void StudyTimeStamp(std::ostream& os) {
  std::time_t now = std::time(nullptr);
  char buf[64];
  std::tm tmv{};
  localtime_r(&now, &tmv);
  std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y\n", &tmv);
  os << buf;
}

void CreateStudyFiles(StudyEnvironment& env, StudyState& st) {
  Console& con = env.con;
  const StudyDesign& d = st.design;
  const int digits = env.prefs.sDigits;
  if (d.saveSteps) {
    for (const char* name : {kDispersalProbFile, kCommunityDataFile, kAverageAgeFile, kDensityAgeProbFile,
                             kDistancesFile, kProbFile})
      CreateEmpty(con, name);
    CreateEmpty(con, kEnvDataFile,
                Format("Ecosystem data matrix (simulation steps and community sites in rows, %d environmental "
                       "variables in columns):\n",
                       d.F));
    CreateEmpty(con, kEnvDataOutliersFile,
                Format("Incidence of outliers with absolute z-scores larger than the threshold (%g) found in "
                       "ecosystem data matrix (simulation steps and community sites in rows, %d environmental "
                       "variables in columns):\n",
                       3.0, d.F));
    CreateEmpty(con, kCwmExpectedFile,
                Format("Expected community weighted means (CWM), standardized to Z scores according to mean and "
                       "standard deviations in the trait matrix matrix (simulation steps and community sites in "
                       "rows, %d traits in columns):\n",
                       d.K));
    CreateEmpty(con, kCwmFile,
                Format("Community weighted means (CWM), (simulation steps and community sites in rows, %d traits in "
                       "columns):\n",
                       d.K));
    if (d.weightByAge) CreateEmpty(con, kAgeWeightedFile);
    // The trait data the study starts from.
    auto f = CreateFile(con, "TraitData.txt");
    if (d.traitSource == 't') {
      Print(*f, "Trait data (not standardized, %d OTUs in rows and %d traits in columns):\n", d.N, d.K);
      PrintMatrixTab(*f, d.N, d.K, d.traitsRaw, digits);
      Print(*f, "\nTrait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n", d.N, d.K);
      PrintMatrixTab(*f, d.N, d.K, st.traits.z, digits);
      Print(*f, "\nTrait means (%d traits):\n", d.K);
      PrintVectorTab(*f, d.K, st.traits.mean.data(), digits);
      Print(*f, "\nTrait standard deviations (%d traits):\n", d.K);
      PrintVectorTab(*f, d.K, st.traits.sd.data(), digits);
      Print(con.out, "\n\nTrait data (standardized to Z scores) saved on file %s\n", "TraitData.txt");
    } else {
      Print(*f, "\nTrait correlation matrix (%d traits):\n", d.K - d.Q);
      PrintMatrixTab(*f, d.K - d.Q, d.K - d.Q, d.traitCorr, digits);
      if (d.Q > 0) {
        Print(*f, "\nTraits generated as the product of other traits: \n");
        for (int c = 0; c < d.Q; ++c)
          Print(*f, "Trait\t%d\t=\ttraits\t%d\tx\t%d\n", d.K - d.Q + c + 1, d.products[U(c)].first,
                d.products[U(c)].second);
      }
    }
    CheckWritten(*f);
  }

  st.bFile = CreateFile(con, "B_Simulated.txt");
  st.wFile = CreateFile(con, "W_Simulated.txt");
  if (d.weightByAge) st.wAgeFile = CreateFile(con, "W_Age-weighted_Simulated.txt");
  st.eFile = CreateFile(con, "E_Simulated.txt");
  st.summary = CreateFile(con, "Summary.txt");
  st.final = CreateFile(con, "FinalSimulatedData.txt");

  std::ostream& os = *st.final;
  Print(os, "%s\n", kRuleLine.c_str());
  Print(os, "SIMULATION OF COMMUNITY ASSEMBLY\n");
  Print(os, "%s\n", kVersionLine);
  StudyTimeStamp(os);
  Print(os, "%s\n", kRuleLine.c_str());
  Print(os, "\nRandom generator seed: %u\n", d.seed);
  if (d.traitSource == 'c') {
    Print(os, "\nSpecified trait correlation matrix (%d traits x %d traits, file %s): \n", d.K - d.Q, d.K - d.Q,
          d.traitFile.c_str());
    Print(os, d.traitDistribution == 2 ? "Trait data generated with NORMAL distribution\n"
                                       : "Trait data generated with UNIFORM distribution\n");
    PrintMatrixTab(os, d.K - d.Q, d.K - d.Q, d.traitCorr, digits);
    for (int c = 0; c < d.Q; ++c)
      Print(os, "Trait\t%d\t=\ttraits\t%d\tx\t%d\n", d.K - d.Q + c + 1, d.products[U(c)].first,
            d.products[U(c)].second);
  } else {
    Print(os, "\nSpecified trait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n", d.N,
          d.K);
    PrintMatrixTab(os, d.N, d.K, st.traits.z, digits);
    Print(os, "\nTrait means (%d traits):\n", d.K);
    PrintVectorTab(os, d.K, st.traits.mean.data(), digits);
    Print(os, "\nTrait standard deviations (%d traits):\n", d.K);
    PrintVectorTab(os, d.K, st.traits.sd.data(), digits);
  }
  if (d.dispersal.fromFile) {
    Print(os, "\nSpecified parameters for local dispersal kernel (center and slope of the logistic function) for %d "
              "OTUs:\n", d.N);
    Rows2(os, d.dispersalParam, d.N);
  } else {
    RangeLines(os,
               "\nSpecified range for the center of antisymmetry of the logistic function for the dispersal kernel "
               "(0-1):\tminimum=\t%g\tmaximum=\t%g\n",
               "Specified range for the negative slope of the logistic function for the dispersal kernel:\tminimum=\t%g"
               "\tmaximum=\t%g\n",
               d.dispersal);
  }
  if (d.coordsFromFile) {
    Print(os, "\nSpecified site coordinates (2 x %d community sites, file %s):\n", d.S, d.coordFile.c_str());
    PrintMatrixTab(os, 2, d.S, d.coords, digits);
  }
  if (d.envSource == 'c') {
    Print(os, "\nSpecified correlation matrix between environmental factors (%d factors x %d factors, file %s): \n",
          d.F, d.F, d.envFile.c_str());
    Print(os, d.envDistribution == 2 ? "Environmental data generated with NORMAL distribution\n"
                                     : "Environmental data generated with UNIFORM distribution\n");
    PrintMatrixTab(os, d.F, d.F, d.factorCorr, digits);
  } else {
    Print(os, "\nInitial ecosystem conditions (%d factors x %d sites, file %s):\n", d.P, d.S, d.envFile.c_str());
    PrintMatrixTab(os, d.P, d.S, d.envInitial, digits);
  }
  if (d.interactions)
    Print(os, "\nParameters for linear models of community responses to ecosystem conditions (%d traits by %d "
              "ecosystem predictor variables (and their interactions), file %s): \n",
          d.K, d.P, d.responseFile.c_str());
  else
    Print(os, "\nParameters for linear models of community responses to ecosystem conditions (%d traits by %d "
              "ecosystem predictor variables, file %s): \n",
          d.K, d.P, d.responseFile.c_str());
  PrintMatrixTab(os, d.K, d.P, d.response, digits);
  Print(os, "\nParameters for linear models of community effects on ecosystem conditions (%d ecosystem variables by "
            "%d predictor traits, %s): \n",
        d.F, d.K, d.effectFile.c_str());
  PrintMatrixTab(os, d.F, d.K, d.effect, digits);
  if (d.inertia.fromFile) {
    Print(os, "\nSpecified parameters center and slope of the logistic function relating probability of change to "
              "distance between current and expected value for ecosystem variables in %d sites (file %s):\n",
          d.S, d.inertia.file.c_str());
    Rows2(os, d.inertiaParam, d.S);
  } else {
    RangeLines(os,
               "\nSpecified range for the center of antisymmetry (0-1) of the logistic function for site inertia "
               "probability:\tminimum=\t%g\tmaximum=\t%g\n",
               "Specified range for the negative slope of the logistic function for site inertia probability:\t"
               "minimum=\t%g\tmaximum=\t%g\n",
               d.inertia);
  }
  Print(os, "\nTraits with non-zero parameters for community responses to ecosystem conditions (0/1 for the %d "
            "traits): \n", d.K);
  FlagLine(os, d.responseFlag);
  Print(os, "\nEnvironmental variables with non-zero parameters for community effects on ecosystem conditions (0/1 "
            "for %d environmental variables): \n", d.F);
  FlagLine(os, d.effectFlag);
  if (d.survival.fromFile) {
    Print(os, "\nSpecified parameters center and slope of the logistic the function relating probability of survival "
              "to distance between OTU traits and expected community traits for %d OTUs (file %s):\n",
          d.N, d.survival.file.c_str());
    for (int k = 0; k < d.K; ++k) {
      Print(os, "Trait %d:\n", k + 1);
      Rows2(os, d.survivalParam[k], d.N);
    }
  } else {
    RangeLines(os,
               "\nSpecified range for the center of antisymmetry (0-1) of the logistic function for survival "
               "probability:\tminimum=\t%g\tmaximum=\t%g\n",
               "Specified range for the negative slope of the logistic function for survival probability:\tminimum=\t"
               "%g\tmaximum=\t%g\n",
               d.survival);
  }
  if (d.density.fromFile) {
    Print(os, "\nSpecified density dependence parameters for %d OTUs, with the center and slope of the logistic "
              "function for the probabilities:\n", d.N);
    Rows2(os, d.densityParam, d.N);
  } else {
    RangeLines(os,
               "\nSpecified range for the center of antisymmetry (0-1) of the logistic function for density "
               "dependence:\tminimum=\t%g\tmaximum=\t%g\n",
               "Specified range for the negative slope of the logistic function for density dependence:\tminimum=\t"
               "%g\tmaximum=\t%g\n",
               d.density);
  }
  if (d.lifespanFromFile) {
    Print(os, "\nSpecified maximum lifespan for %d OTUs:\n", d.N);
    PrintVectorTab(os, d.N, d.lifespan.data());
  } else {
    Print(os, "\nSpecified minimum and maximum lifespan to be generated at random:\t%d\t%d\n", d.lifeMin, d.lifeMax);
  }
  if (d.age.fromFile) {
    Print(os, "\nSpecified age-related survivorship curve parameters for %d OTUs, with the center and slope of the "
              "logistic function for the probabilities:\n", d.N);
    Rows2(os, d.ageParam, d.N);
  } else {
    RangeLines(os,
               "\nSpecified range for the center of antisymmetry (0-1) of the logistic function for age-related "
               "survivorship curves:\tminimum=\t%g\tmaximum=\t%g\n",
               "Specified range for the negative slope of the logistic function for age-related survivorship curve:\t"
               "minimum=\t%g\tmaximum=\t%g\n",
               d.age);
  }
  Print(os, "\nSpecified maximum average number of individuals per community:\t%d\n", d.maxIndPerSite);
  Print(os, "Specified duration of the simulation (in years):\t%d\n", d.years);
  Print(os, "Specified number of iterations (cycles of colonization and extinction) per year:\t%d\n", d.stepsPerYear);
  Print(os, "Specified threshold (proportion) of maximum average number of individuals per community after which OTU "
            "richness is recorded and colonization/extinction events are recorded:\t%g\n",
        d.recordThreshold);
  CheckWritten(os);
}

}  // namespace kalios
