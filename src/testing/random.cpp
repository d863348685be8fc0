#include "testing/random.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <new>

#include "numlib/compare.h"
#include "numlib/groups.h"
#include "shell/abort.h"

namespace kalios {

// ---------------------------------------------------------------- generator

RandomGenerator::RandomGenerator() {
  // gsl_rng_default is the Mersenne Twister as long as gsl_rng_env_setup is
  // never called, which the program never does.
  r_ = gsl_rng_alloc(gsl_rng_default);
  if (!r_) Abort(kAbortOutOfMemory);
}

RandomGenerator::RandomGenerator(unsigned long seed) : RandomGenerator() { Seed(seed); }

RandomGenerator::~RandomGenerator() { gsl_rng_free(r_); }

void RandomGenerator::Seed(unsigned long seed) { gsl_rng_set(r_, seed); }

unsigned long RandomGenerator::UniformInt(unsigned long m) { return gsl_rng_uniform_int(r_, m); }

double RandomGenerator::Uniform() { return gsl_rng_uniform(r_); }

void InitRndNumberGenerator(RandomGenerator& rng, unsigned long seed) {
  rng.Seed(seed);
  std::srand(static_cast<unsigned>(seed));
}

// ---------------------------------------------------------------- random lists

void RndListSpecified(RandomGenerator& rng, int n, int* list) {
  for (int i = 0; i < n - 1; ++i) {
    int j = i + static_cast<int>(rng.UniformInt(static_cast<unsigned long>(n - i)));
    std::swap(list[i], list[j]);
  }
}

void RndList(RandomGenerator& rng, int n, int* list) {
  for (int i = 0; i < n; ++i) list[i] = i + 1;
  RndListSpecified(rng, n, list);
}

namespace {

// Places of the selected objects receive the numbers of selected objects only.
template <class Flag>
void ShuffleSelected(RandomGenerator& rng, int n, int* list, const Flag* select) {
  std::vector<int> index;
  for (int i = 0; i < n; ++i)
    if (select[i] == Flag(1)) index.push_back(i + 1);
  const int m = static_cast<int>(index.size());
  if (m == 0) return;
  std::vector<int> perm(static_cast<std::size_t>(m));
  RndList(rng, m, perm.data());
  for (int j = 0; j < m; ++j) list[index[j] - 1] = index[perm[j] - 1];
}

}  // namespace

void RndListSelect(RandomGenerator& rng, int n, int* list, const int* select) {
  ShuffleSelected(rng, n, list, select);
}

void RndListSelect(RandomGenerator& rng, int n, int* list, const bool* select) {
  ShuffleSelected(rng, n, list, select);
}

void RndListBootstrap(RandomGenerator& rng, int n, int* list) {
  for (int i = 0; i < n; ++i) list[i] = static_cast<int>(rng.UniformInt(static_cast<unsigned long>(n))) + 1;
}

void RndListNestedNew(RandomGenerator& rng, int n, const int* membership, int option, int* list) {
  if (n < 1) return;
  for (int i = 0; i < n; ++i) list[i] = i + 1;
  int nGroups = 0;
  std::vector<int> labels(static_cast<std::size_t>(n));
  CountGroupsNew(n, membership, nGroups, labels.data());

  std::vector<int> sizes(static_cast<std::size_t>(nGroups), 0);
  std::vector<int> flags(static_cast<std::size_t>(n));
  for (int g = 0; g < nGroups; ++g) {
    for (int i = 0; i < n; ++i) {
      flags[i] = membership[i] == labels[g] ? 1 : 0;
      sizes[g] += flags[i];
    }
    if (option == 1 || option == 3) RndListSelect(rng, n, list, flags.data());
  }
  // Whole groups can only trade places when they are all of one size.
  for (int g = 1; g < nGroups; ++g)
    if (sizes[g] != sizes[g - 1]) return;
  if (option != 2 && option != 3) return;

  const int size = nGroups > 0 ? sizes[0] : 0;
  std::vector<std::vector<int>> values(static_cast<std::size_t>(nGroups)), places(values.size());
  for (int g = 0; g < nGroups; ++g)
    for (int i = 0; i < n; ++i)
      if (membership[i] == labels[g]) {
        values[g].push_back(list[i]);
        places[g].push_back(i + 1);
      }
  std::vector<int> order(static_cast<std::size_t>(nGroups));
  RndList(rng, nGroups, order.data());
  for (int g = 0; g < nGroups; ++g)
    for (int m = 0; m < size; ++m) list[places[g][m] - 1] = values[order[g] - 1][m];
}

// ---------------------------------------------------------------- subsets

std::int64_t BinomialCount(int n, int k) {
  if (k < 0 || k > n) return 0;
  k = std::min(k, n - k);
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  // After step i the running value is C(n - k + i, i), an integer, so each
  // division is exact.
  __int128 c = 1;
  for (int i = 1; i <= k; ++i) {
    c = c * (n - k + i) / i;
    if (c > kMax) return kMax;
  }
  return static_cast<std::int64_t>(c);
}

std::int64_t PermuteArray(SubsetEnumerator& s, int n, int k, int* out, bool init) {
  if (init) {
    s.active_ = false;
    if (n < 0 || k < 0 || k > n) return 0;
    s.n_ = n;
    s.k_ = k;
    s.total_ = BinomialCount(n, k);
    s.delivered_ = 0;
    s.index_.resize(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) s.index_[i] = i;
    s.isIn_.assign(static_cast<std::size_t>(n), 0);
    s.active_ = true;
  } else {
    if (!s.active_) return 0;
    n = s.n_;
    k = s.k_;
    // Rightmost index that can still grow; the ones after it follow on.
    int r = k - 1;
    while (r >= 0 && s.index_[r] == n - k + r) --r;
    if (r >= 0) {
      ++s.index_[r];
      for (int i = r + 1; i < k; ++i) s.index_[i] = s.index_[i - 1] + 1;
    }
  }
  std::fill(s.isIn_.begin(), s.isIn_.end(), 0);
  for (int i = 0; i < k; ++i) {
    out[i] = s.index_[i] + 1;
    s.isIn_[s.index_[i]] = 1;
  }
  int pos = k;
  for (int i = 0; i < n; ++i)
    if (!s.isIn_[i]) out[pos++] = i + 1;

  const std::int64_t delivered = ++s.delivered_;
  if (delivered >= s.total_) {
    s.active_ = false;
    s.index_.clear();
    s.isIn_.clear();
  }
  return delivered;
}

// ---------------------------------------------------------------- P-values and SES

double Pvalue(int n, const double* values, int option, double observed, double median) {
  if (option != 1 && option != -1 && option != 0) {
    std::cerr << "Undefined one- or two-sided option in function P-value!\n";
    Abort(kAbortOutOfMemory);
  }
  const bool upper = option == 1 || (option == 0 && observed >= median);
  double count = 1;  // the observed value itself
  for (int i = 0; i < n; ++i) {
    bool hit = upper ? IsLargerThanOrEqual(values[i], observed, 1, false)
                     : IsLargerThanOrEqual(observed, values[i], 1, false);
    if (hit) count += 1;
  }
  if (option == 0) count *= 2;
  // Doubling one tail can pass 1 when the observed value sits at the median.
  return std::min(1.0, count / (n + 1));
}

double SES(double observed, double sumSquares, double sum, int n) {
  if (n < 2) return 0.0;
  const double mean = sum / n;
  const double var = (sumSquares - sum * sum / n) / (n - 1);
  if (!(var > 0)) return 0.0;
  return (observed - mean) / std::sqrt(var);
}

double SES_median(double observed, double median, double lowQuantile, double highQuantile) {
  if (observed == median) return 0.0;
  const double spread = observed > median ? highQuantile - median : median - lowQuantile;
  if (!(spread > 0)) return 0.0;
  return (observed - median) / spread;
}

}  // namespace kalios
