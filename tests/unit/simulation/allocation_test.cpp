// A study runs the dynamics hundreds of times on one record: a run after the
// first must find all its storage in the record. The replaced global
// allocator counts the allocations made while a run is watched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "simulation/logistic.h"
#include "simulation/metacommunity.h"

namespace {
bool watching = false;
long allocations = 0;
}  // namespace

void* operator new(std::size_t n) {
  if (watching) ++allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kalios {
namespace {

TEST(MetacommunityStorage, RepeatedRunsAllocateNothing) {
  MetacommunitySimulation_Input in;
  SizeMetacommunitySimulation_Input(&in, 7, 9, 3, 2, true);
  RandomGenerator g(3);
  in.nSteps = 200, in.stepsPerYear = 5, in.maxIndividuals = 7 * 15, in.weightByAge = true;
  for (int j = 0; j < 9; ++j) {
    in.maxLifespan[static_cast<std::size_t>(j)] = 3;
    for (double* p : {in.dispersalParam[j], in.densityParam[j], in.ageParam[j]}) p[0] = 0.6, p[1] = -2;
    for (int k = 0; k < 3; ++k) {
      in.traits[j][k] = g.Uniform() - 0.5;
      in.survivalParam[k][j][0] = 0.8, in.survivalParam[k][j][1] = -2;
      in.effectParam[k % 2][k] = 1;
    }
  }
  for (int i = 0; i < 7; ++i) {
    in.inertiaParam[i][0] = 0.5, in.inertiaParam[i][1] = -2;
    for (int s = 0; s < 7; ++s) in.siteDist[i][s] = i == s ? 0 : 1;
    for (int f = 0; f < 2; ++f) in.ecosystem[f][i] = g.Uniform();
  }
  int shown = 0;
  MetacommunityOptions options;
  options.progress = [&shown](const std::string&) { ++shown; };
  MetacommunitySimulation(&in, g, options);  // the birth lists reach their size
  for (int run = 0; run < 3; ++run) {
    allocations = 0;
    watching = true;
    MetacommunitySimulation(&in, g, options);
    watching = false;
    EXPECT_EQ(allocations, 0) << "run " << run;
  }
  EXPECT_EQ(shown, 4 * 200);
  EXPECT_GT(in.totalAbundance, 0);
}

}  // namespace
}  // namespace kalios
