#pragma once
// The process random generator, the random orderings built from it (plain,
// restricted to a selection, within or between nesting groups, bootstrap), the
// enumeration of all k-subsets of n objects, and the small judgements every
// permutation test rests on: P-values, standardized effect sizes and the
// comparison of doubles in units in the last place.
//
// Random lists hold 1-based object numbers: list[i] is the object of the
// unpermuted order that now stands at place i+1.
#include <gsl/gsl_rng.h>

#include <cstdint>
#include <vector>

namespace kalios {

// Owns one generator of type gsl_rng_default (the Mersenne Twister: the GSL
// environment variables are never read). A given seed always reproduces the
// same sequence of draws.
class RandomGenerator {
 public:
  RandomGenerator();  // seeded with the library's default seed
  explicit RandomGenerator(unsigned long seed);
  ~RandomGenerator();
  RandomGenerator(const RandomGenerator&) = delete;
  RandomGenerator& operator=(const RandomGenerator&) = delete;

  void Seed(unsigned long seed);
  // Uniform integer in 0..m-1 (m must be at least 1).
  unsigned long UniformInt(unsigned long m);
  // Uniform double in [0, 1).
  double Uniform();
  gsl_rng* handle() { return r_; }

 private:
  gsl_rng* r_ = nullptr;
};

// Seeds the generator and the C library generator (srand) with the same value.
void InitRndNumberGenerator(RandomGenerator& rng, unsigned long seed);

// list = 1..n, then shuffled.
void RndList(RandomGenerator& rng, int n, int* list);
// Shuffles the n entries the list already holds.
void RndListSpecified(RandomGenerator& rng, int n, int* list);
// Permutes among themselves only the objects whose select entry is 1 (true);
// the other places of list keep what they held.
void RndListSelect(RandomGenerator& rng, int n, int* list, const int* select);
void RndListSelect(RandomGenerator& rng, int n, int* list, const bool* select);
// n draws with replacement, each in 1..n.
void RndListBootstrap(RandomGenerator& rng, int n, int* list);
// Permutation restricted by the nesting groups in membership: option 1 within
// groups, 2 whole groups as blocks (only when all groups have equal size),
// 3 both. The list starts as the identity.
void RndListNestedNew(RandomGenerator& rng, int n, const int* membership, int option, int* list);

// Exact binomial coefficient C(n, k); 0 when k < 0 or k > n; saturates at the
// largest 64-bit value when it would not fit.
std::int64_t BinomialCount(int n, int k);

// State of one enumeration of the k-subsets of 1..n in lexicographic order.
class SubsetEnumerator {
 public:
  bool active() const { return active_; }

 private:
  friend std::int64_t PermuteArray(SubsetEnumerator&, int, int, int*, bool);
  bool active_ = false;
  int n_ = 0, k_ = 0;
  std::vector<int> index_;  // k ascending 0-based indices
  std::vector<char> isIn_;
  std::int64_t total_ = 0, delivered_ = 0;
};

// With init true starts a new enumeration and delivers the first subset,
// otherwise the next one. out (n ints) receives the chosen 1-based numbers
// ascending, then the remaining ones ascending. Returns the number of subsets
// delivered so far; after the last one the state is released. Returns 0 and
// leaves out alone when no enumeration is in progress (or k is outside 0..n).
std::int64_t PermuteArray(SubsetEnumerator& state, int n, int k, int* out, bool init);

// Probability of the observed value among the n null values: option 1 upper
// tail, -1 lower tail, 0 two-sided about the median (capped at 1). Any other
// option writes its message to standard error and aborts with code 1.
double Pvalue(int n, const double* values, int option, double observed, double median);

// (observed - mean) / standard deviation of the null values given by their sum
// and sum of squares; 0 when n < 2 or the null values do not vary.
double SES(double observed, double sumSquares, double sum, int n);
// (observed - median) scaled by the spread of the quantile on the observed
// side; 0 when observed equals the median or that spread is not positive.
double SES_median(double observed, double median, double lowQuantile, double highQuantile);


}  // namespace kalios
