#pragma once
// The statistic-independent machinery of the permutation tests: drawing the
// bootstrap samples and null-model orderings of every iteration from the one
// process generator, evaluating the iterations (in parallel when asked) through
// a narrow statistics interface, and accumulating counts, sums, sums of squares
// and the tables of null and bootstrap values in iteration order.
//
// The draws of all iterations are made in exactly the order a sequential run
// makes them (bootstrap list, then permutation, iteration after iteration), so
// a seed reproduces the whole test whatever the number of threads, and the
// accumulation runs in iteration order, so every result is bit-identical to
// the sequential run.
#include <cmath>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "numlib/matrix.h"
#include "testing/random.h"

namespace kalios {

// Clears dest (nrows x ncols), then for each column c of source, in order,
// copies source[list[i] - 1][c] into dest[i][k] for i < nsel, k being the next
// free column of dest. With dropEmpty = 1 a column is kept only when some listed
// row holds a non-zero value in it, and keptCount (when not null) receives the
// number of kept columns; with 0 every column keeps its place.
void GetData(int nrows, int nsel, int ncols, int* keptCount, const double* const* source, double** dest,
             const int* list, int dropEmpty);

// ---------------------------------------------------------------- null-model draws

// Which null model orders the objects.
enum class NullModelKind {
  kTaxaWeighted,    // occurrence list shuffled; its first nOTUs entries fill the OTU places
  kTaxaRestricted,  // permutation within the nesting groups of the OTUs
  kTaxaSelected,    // permutation among the selected OTUs only
  kTaxaFixed,       // an unknown restriction option: the list never changes
  kSite,            // permutation of the communities
};

struct NullModelSetup {
  NullModelKind kind = NullModelKind::kTaxaSelected;
  int nOTUs = 0;
  int ncsm = 0;
  bool bootstrap = false;
  std::vector<int> occurrences;  // kTaxaWeighted: OTU number of every occurrence (community order)
  std::vector<int> nesting;      // kTaxaRestricted: nesting group of each OTU
  std::vector<int> selected;     // kTaxaSelected: 1 = the OTU takes part in the shuffle
};

// The running state of the null model: the list is not reset between
// iterations, each draw shuffles the previous order.
class NullModelDrawer {
 public:
  explicit NullModelDrawer(NullModelSetup setup);
  // Length of the permutation handed to the statistics: nOTUs for the taxa
  // shuffles, ncsm for the site shuffle.
  int PermutationLength() const;
  bool bootstrap() const { return setup_.bootstrap; }
  int ncsm() const { return setup_.ncsm; }
  // Draws one iteration: with bootstrap, ncsm community numbers with
  // replacement into boot (ncsm ints); then the permutation into perm.
  void Draw(RandomGenerator& rng, int* boot, int* perm);

 private:
  NullModelSetup setup_;
  std::vector<int> list_;
};

// ---------------------------------------------------------------- statistics interface

// One iteration's draws as the statistics see them (1-based object numbers).
struct IterationDraw {
  int iteration = 0;           // 0 .. niter - 2
  const int* boot = nullptr;   // ncsm community numbers, or null without bootstrap
  const int* perm = nullptr;   // the null-model ordering
  int permLength = 0;
};

struct PermutationTotals;

// Computes the null statistics of one iteration. Each thread owns one worker,
// so a worker may keep its work arrays between calls.
class NullWorker {
 public:
  virtual ~NullWorker() = default;
  // nullValues: one value per tested quantity; bootValues: the statistics of
  // the bootstrap sample (only with bootstrap, null otherwise); text: where the
  // intermediate results of the iteration go, or null when none are written.
  virtual void Evaluate(const IterationDraw& draw, double* nullValues, double* bootValues, std::ostream* text) = 0;
  // How many iterations the worker likes to evaluate together (their draws
  // already made), and the evaluation of count of them: a worker may share
  // work between them, but each iteration's values must not depend on which
  // iterations are evaluated with it (so that they never depend on the number
  // of threads). bootValues and texts may be null as in Evaluate.
  virtual int BatchSize() const { return 1; }
  virtual void EvaluateBatch(int count, const IterationDraw* draws, double* const* nullValues,
                             double* const* bootValues, std::ostream* const* texts) {
    for (int k = 0; k < count; ++k)
      Evaluate(draws[k], nullValues[k], bootValues ? bootValues[k] : nullptr, texts ? texts[k] : nullptr);
  }
  // Writes the iteration's intermediate results once it has been counted, in
  // iteration order: evaluated is the text Evaluate wrote, values the whole
  // row it filled (extra values included) and totals the running counts.
  virtual void Report(int iteration, const double* values, const PermutationTotals& totals,
                      const std::string& evaluated, std::ostream& text) {
    (void)iteration;
    (void)values;
    (void)totals;
    text << evaluated;
  }
};

// How a null value is compared with the observed one.
enum class CountRule {
  kPlain,     // null >= observed (within one unit of single precision)
  kAbsolute,  // |null| >= |observed| likewise
};

struct TestedQuantity {
  double observed = 0;
  CountRule rule = CountRule::kPlain;
};

// The tested quantities in the order of the null table: the first tableRows
// are the rows of the null (and bootstrap) table, the rest only counted.
struct PermutationTotals {
  int niter = 0;
  int tableRows = 0;
  std::vector<TestedQuantity> quantities;
  std::vector<double> count;  // starts at 1 for the observed value
  std::vector<double> sum;
  std::vector<double> sumSquares;
  std::vector<double> minimum;  // smallest and largest null value (a constant null
  std::vector<double> maximum;  // distribution has no spread to scale by)
  // tableRows x (niter + 8): columns 0 .. niter - 2 the null values, the
  // summary columns filled later.
  Matrix<double> nullTable;
  Matrix<double> bootTable;  // same shape, only with bootstrap

  void Reset(int niterIn, int rows, const std::vector<TestedQuantity>& q, bool bootstrap);
  // Counts one iteration's values. A NaN enters as 0, an infinity as itself.
  void Add(int iteration, const double* nullValues, const double* bootValues);
};

struct PermutationRunOptions {
  int threads = 0;            // 0: the runtime's current number of threads
  int chunk = 0;              // iterations drawn ahead (0: a size chosen from the thread count)
  int extraValues = 0;        // values per iteration past the tested quantities, for Report
  std::ostream* text = nullptr;  // intermediate results, written in iteration order
  // Called before each iteration, in order, with its 0-based number.
  std::function<void(int)> progress;
};

// Makes one worker per thread.
using WorkerFactory = std::function<std::unique_ptr<NullWorker>()>;

// Runs iterations 0 .. niter - 2: draws, evaluates and accumulates them into
// totals (which must have been Reset).
void RunPermutations(RandomGenerator& rng, NullModelDrawer& drawer, const WorkerFactory& makeWorker,
                     PermutationTotals& totals, const PermutationRunOptions& options);

// A value fit to be counted: non-finite values become 0.
inline double FiniteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }
// A value fit to be compared: a NaN becomes 0, while an infinity (a pseudo-F
// of groups without variation within them) stays larger than every finite value.
inline double CountableOrZero(double v) { return std::isnan(v) ? 0.0 : v; }

}  // namespace kalios
