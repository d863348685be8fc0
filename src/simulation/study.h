#pragma once
// The simulation study of community assembly with environmental feedback:
// the design the user gives, the state of the study from one simulated data
// set to the next, and the steps the driver runs (dialogue, generation of a
// data set, its output, its analysis, the counting of rejections and the
// final report). The study is reached from the main menu without a session;
// the caller hands over the console, the data set and the options the
// analyses read, and the settings dialogue of the functional analysis.
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "numlib/matrix.h"
#include "session/dataset.h"
#include "session/options.h"
#include "shell/console.h"
#include "shell/state.h"
#include "simulation/metacommunity_record.h"
#include "testing/random.h"

namespace kalios {

// How one family of logistic curves is given: per OTU (or site) from a file,
// or drawn at random within the ranges.
struct CurveSource {
  bool fromFile = false;
  std::string file;
  double centreMin = 0, centreMax = 0, slopeMin = 0, slopeMax = 0;
};

struct StudyDesign {
  int S = 0, N = 0, K = 0, F = 0, P = 0;  // sites, OTUs, traits, factors, predictors
  int Q = 0;                              // product traits (traits from a correlation matrix)

  char traitSource = 't';  // 't' file of trait values, 'c' correlation matrix
  std::string traitFile;
  Matrix<double> traitsRaw;                  // N x K as read (4t)
  Matrix<double> traitCorr;                  // (K-Q) x (K-Q) (4c)
  std::vector<std::pair<int, int>> products; // Q pairs of trait numbers from 1
  int traitDistribution = 2;                 // 1 uniform, 2 normal

  CurveSource dispersal, inertia, survival, density, age;
  Matrix<double> dispersalParam, densityParam, ageParam;  // N x 2 (from files)
  Matrix<double> inertiaParam;                            // S x 2
  Array3<double> survivalParam;                           // K x N x 2

  bool coordsFromFile = false;
  std::string coordFile;
  Matrix<double> coords;  // 2 x S

  char envSource = 'c';  // 'e' file of initial conditions, 'c' correlation matrix
  std::string envFile;
  Matrix<double> envInitial;  // P x S, standardized, with the pair rows (8e)
  Matrix<double> factorCorr;  // F x F (8c)
  int envDistribution = 2;
  bool interactions = false;

  std::string responseFile, effectFile;
  Matrix<double> response;  // K x P
  Matrix<double> effect;     // F x K
  std::vector<int> responseFlag, effectFlag;

  bool weightByAge = false;
  bool lifespanFromFile = false;
  std::string lifespanFile;
  int lifeMin = 1, lifeMax = 1;
  std::vector<int> lifespan;  // N (from a file)

  int maxIndPerSite = 1, years = 1, stepsPerYear = 1;
  double recordThreshold = 0;

  bool powerMode = false;
  int D = 1;
  double alpha = 0;
  bool saveDataSetResults = true;
  bool saveSteps = false;
  unsigned seed = 0;
};

// What the study needs from the program around it.
struct StudyEnvironment {
  Console& con;
  DataSet& data;        // filled with each simulated design for the analyses
  AnalysisOptions& opts;
  const Preferences& prefs;
  // Runs the settings dialogue of the functional analysis on `data`.
  std::function<void()> askSettings;
  int threads = 0;  // threads of the permutation tests; 0: the runtime's
  bool figures = true;  // draw the rejection proportions at the end
};

// Traits of the current data set with their summaries.
struct TraitSet {
  Matrix<double> scaled;  // N x K, range 0..1 with the products (generated traits)
  Matrix<double> z;       // N x K z-scores
  std::vector<double> mean, sd, min, max;
  Matrix<double> corr;    // K x K of the generated traits
};

// The rejection counters and the settings they were counted under.
struct RejectionCounts {
  std::vector<double> stat;  // per statistic of kCountedStats
  std::vector<double> rsq;   // regression: per response (traits, then functional diversity)
  Matrix<double> coef;       // [response][predictor]
  std::vector<double> manovaT, manovaX, anovaR;  // pseudo-F: per predictor
  Matrix<double> anovaTrait;                     // [predictor][trait]
};

// The twelve correlation statistics counted and reported, by name.
inline constexpr int kNumCountedStats = 12;
extern const char* const kCountedStats[kNumCountedStats];

// One test of one analysed data set, for the tables of the study.
struct StudyTestRow {
  int dataSet = 0;
  std::string statistic, term;
  double observed = 0, p = 1;
  bool tested = true;
};

// The study as it runs.
struct StudyState {
  StudyDesign design;
  MetacommunitySimulation_Input run;
  TraitSet traits;
  std::vector<std::string> predictorLabels;  // "1", ..., "1x2", ...
  std::unique_ptr<std::ofstream> final, bFile, wFile, wAgeFile, eFile, summary;
  RejectionCounts counts;
  std::vector<double> traitWeight;  // the trait selection (weights of the settings, doubles)
  std::vector<int> predictorSelect;
  bool everyCombination = false;
  bool settingsAsked = false;
  int removedEmpty = 0;  // empty communities removed from the current data set
  std::vector<int> keptSites;  // sites with individuals at the end
  double startClock = 0;
  std::vector<StudyTestRow> testRows;  // every test of every data set, in order
};

// The dialogue and the input files; returns the design.
void AskStudyDesign(Console& con, StudyDesign& d);
// Standardizations, flags and the predictor labels after the dialogue.
void PrepareStudy(StudyState& st);
// Creates the output files (and the step files) and writes the study header.
void CreateStudyFiles(StudyEnvironment& env, StudyState& st);
// Generates the random parts of data set d and fills the record of the dynamics.
void GenerateDataSet(StudyState& st, RandomGenerator& rng, int d);
// The per-data-set results of the simulation and the simulated data files.
void WriteSimulatedData(StudyEnvironment& env, StudyState& st, int d);
// Analyses data set d (the settings when due) and counts its rejections.
void AnalyseDataSet(StudyEnvironment& env, StudyState& st, RandomGenerator& rng, int d);
// The final report with the proportions of rejection.
void WriteFinalReport(StudyEnvironment& env, StudyState& st, double elapsed);

// True when P rejects at alpha: below it, or equal within one unit in the last place.
bool RejectsAt(double p, double alpha);

// Writes text and raises the write abort when the stream failed.
void CheckWritten(std::ostream& os);

// The whole study: dialogue, every data set and the final report.
void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(StudyEnvironment& env);

}  // namespace kalios
