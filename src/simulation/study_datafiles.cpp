// What one simulated data set leaves behind: its simulation results in the
// study report and its matrices in the simulated data files.
#include <algorithm>

#include "numlib/print.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "simulation/step_files.h"
#include "simulation/study.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

void Rows2(std::ostream& os, const Matrix<double>& m, int rows) {
  for (int i = 0; i < rows; ++i) Print(os, "%g\t%g\n", m[i][0], m[i][1]);
}

void MinMaxLine(std::ostream& os, const std::vector<int>& v) {
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  Print(os, "\nMinimum richness:\t%d\tMaximum richness:\t%d\n", v.empty() ? 0 : *lo, v.empty() ? 0 : *hi);
}

void TellStepFiles(Console& con, bool weightByAge) {
  Print(con.out, "\n\nEcosystem data at every step saved on file %s\n", kEnvDataFile);
  Print(con.out, "Dispersal probabilities at every step saved on file %s\n", kDispersalProbFile);
  Print(con.out, "Expected CWM at every step saved on file %s\n", kCwmExpectedFile);
  Print(con.out,
        "Distances between OTU trait and expected community mean traits at each site, at every step saved on file "
        "%s\n",
        kDistancesFile);
  Print(con.out,
        "Probabilities of survival of each OTU based on the environmental conditions at each site, at every step "
        "saved on file %s\n",
        kProbFile);
  Print(con.out,
        "Density dependence and age-related survival probabilities for each community at every extinction step "
        "saved on file %s\n",
        kDensityAgeProbFile);
  Print(con.out, "Community data at every step saved on file %s\n", kCommunityDataFile);
  if (weightByAge) Print(con.out, "Age-weighted OTU abundances (community data) at every step saved on file %s\n", kAgeWeightedFile);
  Print(con.out, "Average ages at every step saved on file %s\n", kAverageAgeFile);
  Print(con.out, "Actual community weighted means (CWM) at every step saved on file %s\n", kCwmFile);
}

void WriteRunResults(const StudyEnvironment& env, StudyState& st, int dataSet) {
  const StudyDesign& d = st.design;
  const MetacommunitySimulation_Input& r = st.run;
  const TraitSet& t = st.traits;
  const int digits = env.prefs.sDigits;
  const int S = d.S, N = d.N, K = d.K;
  std::ostream& os = *st.final;
  Print(os, "\n\nSIMULATED DATA %d", dataSet);
  if (d.traitSource == 'c') {
    Print(os, "\n\nTrait data (scaled by the range 0-1, %d OTUs in rows and %d traits in columns):\n", N, K);
    PrintMatrixTab(os, N, K, t.scaled, digits);
    Print(os, "\n\nTrait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n", N, K);
    PrintMatrixTab(os, N, K, t.z, digits);
    Print(os, "\nTrait means (%d traits):\n", K);
    PrintVectorTab(os, K, t.mean.data(), digits);
    Print(os, "\nTrait standard deviations (%d traits):\n", K);
    PrintVectorTab(os, K, t.sd.data(), digits);
    Print(os, "\nCorrelation matrix between traits in generated trait data:\n");
    PrintMatrixTab(os, K, K, t.corr, digits);
  }
  if (!d.dispersal.fromFile) {
    Print(os, "\nRandomly generated seed dispersal kernel parameters (%d OTUs, center and slope of the logistic "
              "function):\n", N);
    Rows2(os, r.dispersalParam, N);
  }
  if (!d.coordsFromFile) {
    Print(os, "\nRandomly generated site coordinates (2 x %d community sites):\n", S);
    PrintMatrixTab(os, 2, S, d.coords, digits);
  }
  if (!d.inertia.fromFile) {
    Print(os, "\nRandomly generated site inertia parameters (%d sites, center and slope of the logistic function):\n",
          S);
    Rows2(os, r.inertiaParam, S);
  }
  if (!d.survival.fromFile) {
    Print(os, "\nRandomly generated parameters (center and slope) of the logistic function relating probability of "
              "survival to distance between OTU traits and expected community traits for %d OTUs (per trait):", N);
    for (int k = 0; k < K; ++k) {
      Print(os, "\nTrait %d:\n", k + 1);
      Rows2(os, r.survivalParam[k], N);
    }
  }
  if (!d.density.fromFile) {
    Print(os, "\nRandomly generated density dependence parameters for %d OTUs, with center and slope of the logistic "
              "function:\n", N);
    Rows2(os, r.densityParam, N);
  }
  if (!d.lifespanFromFile) {
    Print(os, "\nRandomly generated maximum lifespan for %d OTUs:\n", N);
    PrintVectorTab(os, N, r.maxLifespan.data());
  }
  if (!d.age.fromFile) {
    Print(os, "\nRandomly generated age-related survivorship curve parameters for %d OTUs, with the center and slope "
              "of the logistic function for the probabilities:\n", N);
    Rows2(os, r.ageParam, N);
  }
  Print(os, "\nCommunity data matrix at step %d, for %d community sites in rows and %d OTUs in columns:\n", r.nSteps,
        S, N);
  PrintMatrixTab(os, S, N, r.w, digits);
  Print(os, "\nAbundance in each community:\n");
  PrintVectorTab(os, S, r.abundanceSite.data());
  Print(os, "Total abundance:\t%d\n", r.totalAbundance);
  const double th = r.recordThreshold;
  Print(os, "\nOTU richness in each community (at step %d, when either %g of the average maximum number of "
            "individuals per community or %g of the specified maximum number of individual colonization/extinction "
            "iterations were reached):\n", r.recordStartStep, th, th);
  PrintVectorTab(os, S, r.richnessAtThreshold.data());
  MinMaxLine(os, r.richnessAtThreshold);
  Print(os, "\nAbundance of each OTU in the metacommunity (at step %d, when either %g of the average maximum number "
            "of individuals per community or %g of the specified maximum number of individual "
            "colonization/extinction iterations were reached):\n", r.nSteps, th, th);
  PrintVectorTab(os, N, r.w[S], digits);
  Print(os, "\nAverage age matrix at step %d, for %d community sites in rows and %d OTUs in columns:\n", r.nSteps, S,
        N);
  PrintMatrixTab(os, S, N, r.averageAge, digits);
  Print(os, "\nAverage age of individuals in each community:\n");
  for (int i = 0; i < S; ++i) Print(os, "%.*g\t", digits, r.averageAge[i][N]);
  Print(os, "\n\nAverage age of individuals of each OTU across communities:\n");
  PrintVectorTab(os, N, r.averageAge[S], digits);
  Print(os, "\nTotal number of OTU extinctions in each community (after step %d, when either %g of the average "
            "maximum number of individuals per community or %g of the specified maximum number of individual "
            "colonization/extinction iterations were reached):\n", r.recordStartStep, th, th);
  PrintVectorTab(os, S, r.extinctions.data());
  Print(os, "\nTotal number of OTU colonizations in each community (after step %d, when either %g of the average "
            "maximum number of individuals per community or %g of the specified maximum number of individual "
            "colonization/extinction iterations were reached):\n", r.recordStartStep, th, th);
  PrintVectorTab(os, S, r.colonizations.data());
  Print(os, "\nOTU richness in each community (at final step %d):\n", r.nSteps);
  PrintVectorTab(os, S, r.richnessFinal.data());
  MinMaxLine(os, r.richnessFinal);
  Print(os, "\nEcosystem data matrix at step 1 (%d ecosystem variables in rows and %d community sites in columns):\n",
        d.P, S);
  PrintMatrixTab(os, d.P, S, d.envInitial, digits);
  Print(os, "\nEcosystem data matrix at step %d (%d ecosystem variables in rows and %d community sites in columns):\n",
        r.nSteps, d.P, S);
  PrintMatrixTab(os, d.P, S, r.ecosystem, digits);
  Print(os, "\nExpected community weighted means (CWM) at step %d, standardized to Z scores according to mean and "
            "standard deviations in the trait matrix, for %d traits in rows and %d community sites in columns:\n",
        r.nSteps, K, S);
  PrintMatrixTab(os, K, S, r.cwmExpected, digits);
  Print(os, "\nAmount of extrapolation (if any, when positive was larger than the maximum, when negative was smaller "
            "than the minimum trait value) at step %d, based on standardized to Z scores according to mean and "
            "standard deviations in the trait matrix, for %d traits in rows and %d community sites in columns:\n",
        r.nSteps, K, S);
  Matrix<double> extra(K, S);
  for (int k = 0; k < K; ++k)
    for (int i = 0; i < S; ++i) {
      const double v = r.cwmExpected[k][i];
      extra[k][i] = v > t.max[U(k)] ? v - t.max[U(k)] : (v < t.min[U(k)] ? v - t.min[U(k)] : 0.0);
    }
  PrintMatrixTab(os, K, S, extra, digits);
  CheckWritten(os);
}

}  // namespace

void WriteSimulatedData(StudyEnvironment& env, StudyState& st, int dataSet) {
  const StudyDesign& d = st.design;
  MetacommunitySimulation_Input& r = st.run;
  const int digits = env.prefs.sDigits;
  const int S = d.S, N = d.N, K = d.K;
  if (d.saveSteps) TellStepFiles(env.con, d.weightByAge);
  for (int i = 0; i < S; ++i) {
    int present = 0;
    for (int j = 0; j < N; ++j)
      if (r.w[i][j] > 0) ++present;
    r.richnessFinal[U(i)] = present;
  }
  if (d.saveDataSetResults) WriteRunResults(env, st, dataSet);

  std::ostream& b = *st.bFile;
  PrintMatrixTab(b, N, K, r.traits, digits);
  Print(b, "\nSIMULATION DATA:\t%d\nMatrix above contains trait data (z-scores standardized, %d OTUs in rows and %d "
           "traits in columns).\n\n", dataSet, N, K);
  CheckWritten(b);
  std::ostream& w = *st.wFile;
  PrintMatrixTab(w, S, N, r.w, digits);
  Print(w, "\nSIMULATION DATA:\t%d\nMatrix above contains community composition at final simulation step %d, for %d "
           "community sites in rows and %d OTUs in columns.\n", dataSet, r.nSteps, S, N);
  Print(w, "\nAbundance in each community:\n");
  PrintVectorTab(w, S, r.abundanceSite.data());
  Print(w, "Total abundance:\t%d\n\n", r.totalAbundance);
  CheckWritten(w);
  if (st.wAgeFile) {
    std::ostream& a = *st.wAgeFile;
    PrintMatrixTab(a, S, N, r.wAgeWeighted, digits);
    Print(a, "\nSIMULATION DATA:\t%d\nMatrix above contains age-weighted OTU relative abundances at final simulation "
             "step %d, for %d community sites in rows and %d OTUs in columns.\n\n", dataSet, r.nSteps, S, N);
    CheckWritten(a);
  }
  std::ostream& e = *st.eFile;
  PrintMatrixTab_T(e, d.P, S, r.ecosystem, digits);
  Print(e, "\nSIMULATION DATA:\t%d\nMatrix above contains ecosystem data at final step %d (%d community sites in "
           "rows, %d ecosystem variables in columns).\n\n", dataSet, r.nSteps, S, d.P);
  CheckWritten(e);

  // Rewritten with each data set: the types and names of the simulated OTUs.
  for (const char* name : {"TraitTypes_Simulated.txt", "OTUs_Simulated.txt"}) {
    auto f = fopenckWrite(env.con, name, "", false);
    if (!f) Abort(kAbortOpenFailed);
    if (name[0] == 'T') {
      for (int k = 0; k < K; ++k) Print(*f, "3\t");
    } else {
      for (int j = 1; j <= N; ++j) Print(*f, "%d\n", j);
    }
    CheckWritten(*f);
  }
}

}  // namespace kalios
