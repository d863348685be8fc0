#include "simulation/metacommunity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "shell/cformat.h"
#include "simulation/logistic.h"
#include "simulation/step_files.h"
#include "support/compare.h"
#include "support/scripted.h"
#include "support/tempdir.h"

// A study runs the dynamics hundreds of times on one record: the replaced
// global allocator counts what a run allocates while it is watched.
namespace {
bool watching = false;
long allocations = 0;
// Out of line, so that the compiler does not pair the library's new with free.
__attribute__((noinline)) void Release(void* p) { std::free(p); }
}  // namespace

void* operator new(std::size_t n) {
  if (watching) ++allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// The library's temporary buffers (stable_sort in the tests' analyses) take
// the nothrow form; it must come from the same malloc as the deletes above.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (watching) ++allocations;
  return std::malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }

namespace kalios {
namespace {

using test::Close;
using testing::ReadAll;
using testing::TempDir;
using Record = MetacommunitySimulation_Input;

struct Design {
  int sites = 6, otus = 5, traits = 2, factors = 2;
  bool pairs = false, effects = true;
  int steps = 40, perSite = 10;
  unsigned seed = 11;
};

void SetCurve(RandomGenerator& g, double* param, double lo, double hi) {
  param[0] = RndLogisticCentre(g, lo, hi);
  param[1] = RndLogisticSlopeAdjusted(g, -3.0, -1.0, param[0]);
}

// A random design with curves that let most arrivals establish.
Record MakeRecord(const Design& d) {
  Record in;
  SizeMetacommunitySimulation_Input(&in, d.sites, d.otus, d.traits, d.factors, d.pairs);
  RandomGenerator g(d.seed);
  in.nSteps = d.steps;
  in.stepsPerYear = 4;
  in.maxIndividuals = d.perSite * d.sites;
  in.recordThreshold = 0.5;
  for (int j = 0; j < d.otus; ++j) {
    for (int k = 0; k < d.traits; ++k) in.traits[j][k] = g.Uniform() * 4 - 2;
    in.maxLifespan[static_cast<std::size_t>(j)] = 2 + static_cast<int>(g.UniformInt(5));
    SetCurve(g, in.dispersalParam[j], 0.3, 0.9);
    SetCurve(g, in.densityParam[j], 0.3, 0.9);
    SetCurve(g, in.ageParam[j], 0.5, 0.9);
    for (int k = 0; k < d.traits; ++k) SetCurve(g, in.survivalParam[k][j], 0.6, 0.95);
  }
  for (int k = 0; k < d.traits; ++k)
    for (int p = 0; p < in.nPredictors; ++p) in.responseParam[k][p] = g.Uniform() * 2 - 1;
  for (int f = 0; f < d.factors; ++f)
    for (int k = 0; k < d.traits; ++k) in.effectParam[f][k] = d.effects ? g.Uniform() * 4 - 2 : 0.0;
  for (int i = 0; i < d.sites; ++i) {
    for (int k = 0; k < i; ++k) in.siteDist[i][k] = in.siteDist[k][i] = i + k == 1 ? 1.0 : 0.05 + 0.9 * g.Uniform();
    for (int f = 0; f < d.factors; ++f) in.ecosystem[f][i] = g.Uniform() * 2 - 1;
    SetCurve(g, in.inertiaParam[i], 0.2, 0.8);
  }
  for (int f = 0, row = d.factors; f < d.factors && d.pairs; ++f)
    for (int h = f + 1; h < d.factors; ++h, ++row)
      for (int i = 0; i < d.sites; ++i) in.ecosystem[row][i] = in.ecosystem[f][i] * in.ecosystem[h][i];
  return in;
}

void Simulate(Record& in, unsigned long seed, const MetacommunityOptions& options = {}) {
  RandomGenerator rng(seed);
  ASSERT_TRUE(MetacommunitySimulation(&in, rng, options));
}

// The "%g" fields that follow `key` on the lines of a step file.
std::vector<std::string> Fields(const std::string& text, const std::string& key) {
  std::vector<std::string> out;
  for (std::size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + 1)) {
    const std::size_t start = p + key.size();
    out.push_back(text.substr(start, text.find_first_of("\t\n", start) - start));
  }
  return out;
}

// The first broken bookkeeping rule, empty when the counts, totals, rows of
// individuals and ages all agree.
std::string Violation(const Record& in, int t) {
  const MetacommunityWork& work = in.work;
  int total = 0;
  std::vector<double> count(static_cast<std::size_t>(in.nOTUs)), births(count);
  for (int i = 0; i < in.nSites; ++i) {
    const int abundance = in.abundanceSite[static_cast<std::size_t>(i)];
    std::fill(count.begin(), count.end(), 0.0);
    std::fill(births.begin(), births.end(), 0.0);
    for (int p = 0; p < abundance; ++p) {
      const int b = work.birthOf[i][p], j = work.otuOf[i][p];
      if (b < 1 || b > t || (p > 0 && work.birthOf[i][p - 1] >= b)) return Format("birth order %d %d", i, p);
      if (j < 0 || j >= in.nOTUs) return Format("OTU of %d %d", i, p);
      count[static_cast<std::size_t>(j)] += 1, births[static_cast<std::size_t>(j)] += b;
    }
    double siteSum = 0, siteBirths = 0, weights = 0;
    for (int j = 0; j < in.nOTUs; ++j) {
      const double n = count[static_cast<std::size_t>(j)], sum = births[static_cast<std::size_t>(j)];
      if (n != in.w[i][j]) return Format("count %d %d", i, j);
      if (sum != work.birthSum[i][j]) return Format("birth sum %d %d", i, j);
      if (!Close(in.averageAge[i][j], n > 0 ? (t - sum / n) / in.stepsPerYear : 0.0)) return Format("age %d %d", i, j);
      siteSum += in.w[i][j];
      siteBirths += sum;
      weights += in.wAgeWeighted[i][j];
    }
    if (siteSum != abundance) return Format("site total %d", i);
    if (siteBirths != work.birthSum[i][in.nOTUs]) return Format("site birth sum %d", i);
    if (!Close(weights, 1.0) && weights != 0.0) return Format("unit row %d", i);
    total += abundance;
  }
  for (int j = 0; j < in.nOTUs; ++j) {
    double otuSum = 0, otuBirths = 0;
    for (int i = 0; i < in.nSites; ++i) otuSum += in.w[i][j], otuBirths += work.birthSum[i][j];
    if (otuSum != in.w[in.nSites][j] || otuBirths != work.birthSum[in.nSites][j]) return Format("OTU total %d", j);
  }
  return total == in.totalAbundance ? "" : "metacommunity total";
}

int At(const std::vector<int>& v, int i) { return v[static_cast<std::size_t>(i)]; }

int Richness(const Record& in, int i) {
  int r = 0;
  for (int j = 0; j < in.nOTUs; ++j) r += in.w[i][j] > 0 ? 1 : 0;
  return r;
}

TEST(Metacommunity, BookkeepingAgreesAfterEveryIteration) {
  Design d;
  d.sites = 8, d.otus = 12, d.traits = 3, d.pairs = true, d.steps = 300, d.factors = 3;
  for (bool byAge : {false, true}) {
    Record in = MakeRecord(d);
    in.weightByAge = byAge;
    std::string first;
    int maxTotal = 0;
    MetacommunityOptions options;
    options.afterStep = [&](const Record& r, int t) {
      if (first.empty()) first = Violation(r, t).empty() ? "" : Format("t %d: ", t) + Violation(r, t);
      maxTotal = std::max(maxTotal, r.totalAbundance);
    };
    Simulate(in, 3, options);
    EXPECT_EQ(first, "") << "weightByAge " << byAge;
    EXPECT_GT(maxTotal, 2 * d.sites);  // the sites really filled up
    // Pairs (1,2), (1,3), (2,3) of the 3 factors follow them.
    EXPECT_TRUE(Close(in.ecosystem[4][3], in.ecosystem[0][3] * in.ecosystem[2][3]));
    EXPECT_TRUE(Close(in.ecosystem[5][3], in.ecosystem[1][3] * in.ecosystem[2][3]));
    // Recording counts every gain and loss of an OTU since it started.
    ASSERT_GT(in.recordStartStep, 0);
    for (int i = 0; i < d.sites; ++i)
      EXPECT_EQ(Richness(in, i), At(in.richnessAtThreshold, i) + At(in.colonizations, i) - At(in.extinctions, i));
  }
}

TEST(Metacommunity, OneOtuAtDistanceOneBelowTheSiteMaximum) {
  TempDir dir;
  Design d;
  d.sites = 4, d.otus = 1, d.perSite = 1000, d.steps = 60;
  Record in = MakeRecord(d);
  for (int i = 0; i < d.sites; ++i)
    for (int k = 0; k < d.sites; ++k) in.siteDist[i][k] = i == k ? 0.0 : 1.0;
  in.saveSteps = true;
  in.stepDirectory = dir.path();
  Simulate(in, 9);
  auto curve = [](double x, const double* p) { return Format("%g", Logistic(x, 0, 1, 0, 1, p[1], p[0])); };
  // Every dispersal comes from holders at distance 1; density stays 0; every
  // mortality draw picks the one OTU.
  const std::string dispersal = ReadAll(dir / kDispersalProbFile), mortality = ReadAll(dir / kDensityAgeProbFile);
  const std::vector<std::string> probs = Fields(dispersal, "Prob dispersal:\t");
  const std::vector<std::string> density = Fields(mortality, "Density dependence survival probability:\t");
  ASSERT_GT(probs.size(), 0u);
  ASSERT_GT(density.size(), 0u);
  for (const std::string& p : probs) EXPECT_EQ(p, curve(1, in.dispersalParam[0]));
  for (const std::string& p : density) EXPECT_EQ(p, curve(0, in.densityParam[0]));
  EXPECT_EQ(Fields(mortality, "\tOTU:\t"), std::vector<std::string>(density.size(), "1"));
  // Each block is headed by its own iteration number.
  EXPECT_EQ(dispersal.rfind("Iteration:\t1\tAbundance:\t0:\n", 0), 0u);
  EXPECT_NE(mortality.find("Iteration:\t60\tAbundance:\t"), std::string::npos);
}

TEST(Metacommunity, RecordingFromTheStartAndNever) {
  Design d;
  Record in = MakeRecord(d);
  in.recordThreshold = 0;
  Simulate(in, 8);
  EXPECT_EQ(in.recordStartStep, 1);
  for (int i = 0; i < d.sites; ++i) {
    EXPECT_EQ(At(in.richnessAtThreshold, i), 0);
    EXPECT_EQ(Richness(in, i), At(in.colonizations, i) - At(in.extinctions, i));
  }
  in.recordThreshold = 1;
  in.maxIndividuals = 1000000;  // never reached, and t never passes nSteps
  Simulate(in, 8);
  EXPECT_EQ(in.recordStartStep, 0);
  for (int i = 0; i < d.sites; ++i) EXPECT_EQ(At(in.colonizations, i) + At(in.extinctions, i), 0);
}

TEST(Metacommunity, WithoutEffectsTheEcosystemStaysAndFilteringRunsOnce) {
  Design d;
  d.effects = false, d.pairs = true, d.factors = 3;
  Record in = MakeRecord(d);
  const Matrix<double> start = in.ecosystem;
  MetacommunityOptions options;
  options.afterStep = [&](const Record& r, int t) {
    for (int p = 0; p < r.nPredictors; ++p)
      for (int i = 0; i < r.nSites; ++i) EXPECT_TRUE(Close(r.ecosystem[p][i], start[p][i], 0, 0));
    // A mark left in S after the first iteration would be overwritten by a
    // second filtering.
    if (t == 1) const_cast<Record&>(r).work.S[0][0] = 0.123;
    EXPECT_EQ(r.work.S[0][0], 0.123);
  };
  Simulate(in, 2, options);
}

TEST(Metacommunity, ConstantFactorBecomesZeroAndOutliersAreSetToZero) {
  Design d;
  d.sites = 12, d.steps = 1;
  Record in = MakeRecord(d);
  in.traits.Fill(0.0);  // the CWM never moves, so the effects are 0
  for (int i = 0; i < d.sites; ++i) in.ecosystem[0][i] = i == 0 ? 100.0 : 0.0, in.ecosystem[1][i] = 5.0;
  Simulate(in, 1);
  // One value far from eleven equal ones: z = sqrt(11) > 3, the others -1/sqrt(11).
  EXPECT_TRUE(Close(in.ecosystem[0][0], 0.0));
  EXPECT_EQ(in.work.outlier[0][0], 1);
  for (int i = 1; i < d.sites; ++i) {
    EXPECT_TRUE(Close(in.ecosystem[0][i], -1 / std::sqrt(11.0)));
    EXPECT_EQ(in.work.outlier[0][i], 0);
    EXPECT_TRUE(Close(in.ecosystem[1][i], 0.0));
  }
}

TEST(Metacommunity, SameSeedSameStepFilesByteForByte) {
  Design d;
  d.pairs = true, d.steps = 30;
  const char* files[] = {kDispersalProbFile, kCommunityDataFile, kAverageAgeFile, kDensityAgeProbFile,
                         kEnvDataFile, kEnvDataOutliersFile, kCwmExpectedFile, kDistancesFile,
                         kProbFile, kAgeWeightedFile, kCwmFile};
  TempDir a, b, c;
  for (const TempDir* dir : {&a, &b, &c}) {
    Record in = MakeRecord(d);
    in.weightByAge = in.saveSteps = true;
    in.stepDirectory = dir->path();
    Simulate(in, dir == &c ? 99 : 21);
  }
  for (const char* f : files) {
    EXPECT_FALSE(ReadAll(a / f).empty()) << f;
    EXPECT_EQ(ReadAll(a / f), ReadAll(b / f)) << f;
  }
  EXPECT_NE(ReadAll(a / kCommunityDataFile), ReadAll(c / kCommunityDataFile));
  // The ages before mortality already count this iteration's newborns (age 0).
  const std::string ages = ReadAll(a / kAverageAgeFile);
  EXPECT_EQ(ages.rfind("\nAverage age data matrix at step 1, BEFORE mortality, for 6 community sites", 0), 0u);
}

TEST(Metacommunity, UnwritableStepFileAbortsKeepingEarlierFiles) {
  Design d;
  TempDir dir;
  std::filesystem::create_directory(dir / kCwmFile);  // cannot be opened as a file
  Record in = MakeRecord(d);
  in.saveSteps = true;
  in.stepDirectory = dir.path();
  EXPECT_EQ(test::AbortCodeOf([&] { Simulate(in, 1); }), kAbortOpenFailed);
  const std::string prob = ReadAll(dir / kProbFile);
  EXPECT_NE(prob.find("\nCOMBINED probabilities of survival considering the 2 traits, at step 1,"), std::string::npos);
  EXPECT_EQ(prob.back(), '\n');
  EXPECT_NE(ReadAll(dir / kCommunityDataFile).find("Total abundance:\t"), std::string::npos);

  // A file that takes no more text (a full disk).
  if (std::filesystem::exists("/dev/full")) {
    TempDir full;
    std::filesystem::create_symlink("/dev/full", full / kDispersalProbFile);
    in.stepDirectory = full.path();
    EXPECT_EQ(test::AbortCodeOf([&] { Simulate(in, 1); }), kAbortOpenFailed);
  }
}

TEST(Metacommunity, BrokenInputsEndInTheNumericalAbortAndDegenerateDesignsRun) {
  Design d;
  Record in = MakeRecord(d);
  in.survivalParam[1][2][1] = NAN;
  EXPECT_EQ(test::AbortCodeOf([&] { Simulate(in, 1); }), kAbortOutOfMemory);
  Record wrong = MakeRecord(d);
  wrong.w.Resize(d.sites, d.otus);  // no row for the OTU totals
  EXPECT_EQ(test::AbortCodeOf([&] { Simulate(wrong, 1); }), kAbortOutOfMemory);

  // A lifespan of 0 years and fewer individuals allowed than sites.
  Record odd = MakeRecord(d);
  std::fill(odd.maxLifespan.begin(), odd.maxLifespan.end(), 0);
  odd.maxIndividuals = 2;
  Simulate(odd, 6);
  EXPECT_EQ(Violation(odd, d.steps), "");
}

TEST(Metacommunity, RunsAfterTheFirstAllocateNothing) {
  Design d;
  d.pairs = true, d.steps = 200;
  Record in = MakeRecord(d);
  in.weightByAge = true;
  int shown = 0;
  MetacommunityOptions options;
  options.progress = [&shown](const std::string&) { ++shown; };
  RandomGenerator rng(2);
  MetacommunitySimulation(&in, rng, options);  // sizes the work state
  allocations = 0;
  watching = true;
  for (int run = 0; run < 3; ++run) MetacommunitySimulation(&in, rng, options);
  watching = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(shown, 4 * 200);
}

}  // namespace
}  // namespace kalios
