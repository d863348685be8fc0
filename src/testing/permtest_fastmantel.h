#pragma once
// A faster route to the null statistics of the taxa shuffle when the
// statistics rest on resemblances between communities only (mode 1, Mantel
// or Rd correlations, Euclidean distances for X): the same numbers as the
// general route to rounding, from three exact identities.
//
// - Permuting the OTU rows of B, U and both margins of the trait similarity is
//   the same as permuting the columns of W once: T = W B_perm, and the Rao
//   entropy of a community needs only the pairs of OTUs present in it.
// - X enters the statistics only through its Euclidean distances, which need
//   only the Gram matrix G = X X' = W_p K W_p', K = U U' being fixed.
// - W is mostly zeros: each community is a short list of (OTU, abundance).
#include <cstdint>
#include <memory>
#include <vector>

#include "numlib/matrix.h"
#include "testing/functional_stats.h"
#include "testing/permtest_core.h"
#include "testing/permtest_record.h"

namespace kalios {

// True when the record's options and data allow the fast route: mode 1 with
// the Mantel or Rd statistic, taxa shuffle, Euclidean distances between
// communities for X, no phylogeny, no bootstrap, no intermediate results, the
// Rao entropies on Wadj, no
// missing values in W, Wadj, B, U and Sb, a symmetric Sb, every OTU weight 1
// and no empty community.
bool FastMantelApplies(const PermTest_FunctionalPhyl_Correl_Input& in);

// A matrix kept as panels of kLanes columns, each panel rows x kLanes
// contiguous: the rows of one panel that a sparse combination reads (a few
// tens of kilobytes) stay in the first-level cache while every community
// passes, and a row of a panel is one aligned cache line.
struct PanelMatrix {
  static constexpr int kLanes = 8;
  int rows = 0, panels = 0;
  std::vector<double> store;
  double* base = nullptr;  // the first place of store on a 64-byte boundary
  void Resize(int r, int cols) {
    rows = r;
    panels = (cols + kLanes - 1) / kLanes;
    store.assign(static_cast<std::size_t>(panels) * static_cast<std::size_t>(r) * kLanes + kLanes, 0.0);
    const auto addr = reinterpret_cast<std::uintptr_t>(store.data());
    base = store.data() + ((64 - addr % 64) % 64) / sizeof(double);
  }
  double* Panel(int p) { return base + static_cast<std::size_t>(p) * static_cast<std::size_t>(rows) * kLanes; }
  const double* Panel(int p) const {
    return base + static_cast<std::size_t>(p) * static_cast<std::size_t>(rows) * kLanes;
  }
};

// The data the fast workers share, computed once.
namespace fastmantel {

// The strict upper triangle of a resemblance matrix, row by row, with what
// centres it as the Mantel statistic does: value k is read as
// (c[k] - lead) - mean, so the statistic of two packed matrices is one dot
// product. The values themselves are not rewritten: at thousands of
// communities each triangle is megabytes, and a pass that only subtracts
// would cost as much as the dot product.
struct Packed {
  const double* const* D = nullptr;
  std::vector<double> c;
  double lead = 0.0, mean = 0.0;
  double ss = 0.0, raw = 0.0;
  bool ok = false;
};

}  // namespace fastmantel

struct FastMantelShared {
  const PermTest_FunctionalPhyl_Correl_Input* in = nullptr;
  const FunctionalPhyl_Stats_Lib_Input* obs = nullptr;
  bool separateCov = false;
  PanelMatrix Bp;             // the traits B (nOTUs x nch)
  // Uc Uc' (nOTUs x nOTUs, the last panel padded with zeros), Uc being U less
  // its mean row: the Gram matrix of the centred rows of X keeps the digits
  // that distances between similar communities need (see the worker).
  PanelMatrix Kp;
  std::vector<double> uProj;  // per OTU, ubar' (u - ubar)
  double ubar2 = 0.0;         // ubar' ubar
  std::vector<double> wSum;   // per community, its total in W
  bool equalSums = true;      // every community has the same total in W
  std::vector<double> delta;  // Rao pair differences from Sb, nOTUs x nOTUs by rows, symmetric
  // Community c's non-zero abundances of W (for X) and of Wadj (for T and Rao):
  // places [start[c], start[c + 1]) of idx (0-based OTU) and val.
  std::vector<int> wStart, wIdx, aStart, aIdx;
  std::vector<double> wVal, aVal;
  // OTU i is in the communities byOtuComm[k], at place byOtuPlace[k] of aIdx,
  // for k in [byOtuStart[i], byOtuStart[i + 1]).
  std::vector<int> byOtuStart, byOtuComm, byOtuPlace;
  // The nearest neighbours on E of community c (ties included), ascending:
  // nnIdx[k] for k in [nnStart[c], nnStart[c + 1]).
  std::vector<int> nnStart, nnIdx;
  // With Mantel statistics: DE, DY and the observed DT, DX, DR, DV packed
  // (read by every worker), and whether one of them left pairs out.
  std::vector<fastmantel::Packed> fixed;
  bool fixedIncomplete = false;

  FastMantelShared(const PermTest_FunctionalPhyl_Correl_Input& input, const FunctionalPhyl_Stats_Lib_Input& observed,
                   bool separate);
};

std::unique_ptr<NullWorker> MakeFastMantelWorker(const FastMantelShared& shared);

}  // namespace kalios
