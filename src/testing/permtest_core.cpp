#include "testing/permtest_core.h"

#include <omp.h>

#include <algorithm>
#include <exception>
#include <sstream>
#include <utility>

#include "numlib/compare.h"

namespace kalios {

void GetData(int nrows, int nsel, int ncols, int* keptCount, const double* const* source, double** dest,
             const int* list, int dropEmpty) {
  for (int i = 0; i < nrows; ++i) std::fill(dest[i], dest[i] + ncols, 0.0);
  int k = 0;
  for (int c = 0; c < ncols; ++c) {
    if (dropEmpty == 1) {
      bool any = false;
      for (int i = 0; i < nsel && !any; ++i) any = source[list[i] - 1][c] != 0.0;
      if (!any) continue;
    }
    for (int i = 0; i < nsel; ++i) dest[i][k] = source[list[i] - 1][c];
    ++k;
  }
  if (dropEmpty == 1 && keptCount != nullptr) *keptCount = k;
}

// ---------------------------------------------------------------- draws

NullModelDrawer::NullModelDrawer(NullModelSetup setup) : setup_(std::move(setup)) {
  switch (setup_.kind) {
    case NullModelKind::kTaxaWeighted:
      list_ = setup_.occurrences;
      break;
    case NullModelKind::kSite:
      list_.resize(static_cast<std::size_t>(std::max(0, setup_.ncsm)));
      for (std::size_t i = 0; i < list_.size(); ++i) list_[i] = static_cast<int>(i) + 1;
      break;
    default:
      list_.resize(static_cast<std::size_t>(std::max(0, setup_.nOTUs)));
      for (std::size_t i = 0; i < list_.size(); ++i) list_[i] = static_cast<int>(i) + 1;
      break;
  }
}

int NullModelDrawer::PermutationLength() const {
  return setup_.kind == NullModelKind::kSite ? setup_.ncsm : setup_.nOTUs;
}

void NullModelDrawer::Draw(RandomGenerator& rng, int* boot, int* perm) {
  if (setup_.bootstrap) RndListBootstrap(rng, setup_.ncsm, boot);
  const int n = static_cast<int>(list_.size());
  switch (setup_.kind) {
    case NullModelKind::kTaxaWeighted: {
      RndListSpecified(rng, n, list_.data());
      // Each OTU place receives the OTU of the matching occurrence; with fewer
      // occurrences than OTUs (OTUs absent from every community) the places
      // left over keep their own OTU.
      for (int i = 0; i < setup_.nOTUs; ++i) perm[i] = i < n ? list_[static_cast<std::size_t>(i)] : i + 1;
      return;
    }
    case NullModelKind::kTaxaRestricted:
      RndListNestedNew(rng, setup_.nOTUs, setup_.nesting.data(), 1, list_.data());
      break;
    case NullModelKind::kTaxaSelected:
      RndListSelect(rng, setup_.nOTUs, list_.data(), setup_.selected.data());
      break;
    case NullModelKind::kTaxaFixed:
      break;
    case NullModelKind::kSite:
      RndListSpecified(rng, n, list_.data());
      break;
  }
  std::copy(list_.begin(), list_.end(), perm);
}

// ---------------------------------------------------------------- totals

void PermutationTotals::Reset(int niterIn, int rows, const std::vector<TestedQuantity>& q, bool bootstrap) {
  niter = niterIn;
  tableRows = rows;
  quantities = q;
  for (TestedQuantity& t : quantities) t.observed = CountableOrZero(t.observed);
  const std::size_t n = quantities.size();
  count.assign(n, 1.0);
  sum.assign(n, 0.0);
  sumSquares.assign(n, 0.0);
  minimum.assign(n, 0.0);
  maximum.assign(n, 0.0);
  const int cols = std::max(0, niter) + 8;
  nullTable.Resize(rows, cols);
  if (bootstrap)
    bootTable.Resize(rows, cols);
  else
    bootTable.Release();
}

void PermutationTotals::Add(int iteration, const double* nullValues, const double* bootValues) {
  for (std::size_t q = 0; q < quantities.size(); ++q) {
    const double v = CountableOrZero(nullValues[q]);
    const TestedQuantity& t = quantities[q];
    if (IsLargerThanOrEqual(v, t.observed, 1, t.rule == CountRule::kAbsolute)) count[q] += 1.0;
    sum[q] += v;
    sumSquares[q] += v * v;
    if (iteration == 0) {
      minimum[q] = maximum[q] = v;
    } else {
      minimum[q] = std::min(minimum[q], v);
      maximum[q] = std::max(maximum[q], v);
    }
    if (static_cast<int>(q) < tableRows) {
      nullTable[static_cast<int>(q)][iteration] = v;
      if (bootValues != nullptr && !bootTable.empty())
        bootTable[static_cast<int>(q)][iteration] = FiniteOrZero(bootValues[q]);
    }
  }
}

// ---------------------------------------------------------------- iterations

namespace {
constexpr int kMaxBatch = 16;
}  // namespace

void RunPermutations(RandomGenerator& rng, NullModelDrawer& drawer, const WorkerFactory& makeWorker,
                     PermutationTotals& totals, const PermutationRunOptions& options) {
  const int m = totals.niter - 1;
  if (m < 1) return;
  const int threads = std::max(1, options.threads > 0 ? options.threads : omp_get_max_threads());
  // The workers are made first: their batch size sets the default chunk.
  std::vector<std::unique_ptr<NullWorker>> workers(static_cast<std::size_t>(threads));
  for (auto& w : workers) w = makeWorker();
  const int batch = std::clamp(workers[0]->BatchSize(), 1, kMaxBatch);
  int chunk = options.chunk > 0 ? options.chunk : std::max(32, 16 * threads) * batch;
  chunk = std::min(chunk, m);

  const int nq = static_cast<int>(totals.quantities.size());
  const int ncsm = drawer.bootstrap() ? drawer.ncsm() : 0;
  const int plen = drawer.PermutationLength();
  const bool boot = drawer.bootstrap();

  // Every buffer is allocated once; the workers keep their own work arrays.
  Matrix<int> bootLists(chunk, std::max(1, ncsm));
  Matrix<int> permLists(chunk, std::max(1, plen));
  const int width = nq + std::max(0, options.extraValues);
  Matrix<double> nullValues(chunk, std::max(1, width));
  Matrix<double> bootValues(boot ? chunk : 0, std::max(1, nq));
  std::vector<std::string> texts(options.text != nullptr ? static_cast<std::size_t>(chunk) : 0);
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(chunk));

  for (int start = 0; start < m; start += chunk) {
    const int cnt = std::min(chunk, m - start);
    // The draws, strictly in the order of a sequential run.
    for (int k = 0; k < cnt; ++k) {
      if (options.progress) options.progress(start + k);
      drawer.Draw(rng, bootLists[k], permLists[k]);
    }
    for (int k = 0; k < cnt; ++k) errors[static_cast<std::size_t>(k)] = nullptr;

    // Batches of the worker's size, each evaluated by one thread.
    const int nbatch = (cnt + batch - 1) / batch;
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1) if (threads > 1 && nbatch > 1)
    for (int bi = 0; bi < nbatch; ++bi) {
      const int k0 = bi * batch, nk = std::min(batch, cnt - k0);
      try {
        // Each iteration runs on one thread: the loops inside the statistics
        // would otherwise start teams of their own (or spin at their barriers)
        // while the iterations already share the processors.
        omp_set_num_threads(1);
        NullWorker& worker = *workers[static_cast<std::size_t>(omp_get_thread_num())];
        IterationDraw draws[kMaxBatch];
        double* nv[kMaxBatch];
        double* bv[kMaxBatch];
        std::ostringstream os[kMaxBatch];
        std::ostream* tx[kMaxBatch];
        for (int j = 0; j < nk; ++j) {
          const int k = k0 + j;
          IterationDraw& draw = draws[j];
          draw.iteration = start + k;
          draw.boot = boot ? bootLists[k] : nullptr;
          draw.perm = permLists[k];
          draw.permLength = plen;
          std::fill(nullValues[k], nullValues[k] + width, 0.0);
          if (boot) std::fill(bootValues[k], bootValues[k] + nq, 0.0);
          nv[j] = nullValues[k];
          bv[j] = boot ? bootValues[k] : nullptr;
          tx[j] = &os[j];
        }
        worker.EvaluateBatch(nk, draws, nv, boot ? bv : nullptr, options.text != nullptr ? tx : nullptr);
        if (options.text != nullptr)
          for (int j = 0; j < nk; ++j) texts[static_cast<std::size_t>(k0 + j)] = os[j].str();
      } catch (...) {
        errors[static_cast<std::size_t>(k0)] = std::current_exception();
      }
    }

    // Accumulate in iteration order; the first failing iteration ends the test.
    for (int k = 0; k < cnt; ++k) {
      if (errors[static_cast<std::size_t>(k)]) std::rethrow_exception(errors[static_cast<std::size_t>(k)]);
      totals.Add(start + k, nullValues[k], boot ? bootValues[k] : nullptr);
      if (options.text != nullptr)
        workers[0]->Report(start + k, nullValues[k], totals, texts[static_cast<std::size_t>(k)], *options.text);
    }
  }
}

}  // namespace kalios
