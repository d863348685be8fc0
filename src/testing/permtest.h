#pragma once
// The permutation test of the functional analysis: every statistic the
// analysis reports tested in one run against a taxa or site shuffle,
// optionally on bootstrap samples of the communities. Results go back into
// the caller's record.
#include <functional>
#include <string>

#include "testing/permtest_record.h"
#include "testing/random.h"

namespace kalios {

struct App;

struct PermTestOptions {
  int threads = 0;  // 0: the runtime's current number of threads
  // Receives "Permutation test: %d of %d" before each iteration.
  std::function<void(const std::string&)> progress;
};

// Runs the whole test on the filled record: the observed statistics, niter - 1
// null-model iterations drawn from rng, and the summaries.
void PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* input, RandomGenerator& rng,
                                    const PermTestOptions& options = {});
// The same with the progress line on the console of app.
void PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* input, RandomGenerator& rng, App& app);

}  // namespace kalios
