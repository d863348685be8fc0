#pragma once
// The row kernels of the fast Mantel route: sparse combinations of panel
// rows, the Rao pair sums, dot products, packing and centring of resemblance
// matrices, distances from the Gram matrix. Each has a plain form and, where
// it pays, a form for 512-bit vectors; the worker picks the processor's.
#include <cstddef>
#include <vector>

#include "testing/permtest_fastmantel.h"

namespace kalios::fastmantel {

constexpr int kLanes = PanelMatrix::kLanes;

inline std::size_t Z(int v) { return static_cast<std::size_t>(v); }

bool HasAvx512();

// Sums over k < m of the centred values of x times those of y, in sixteen
// interleaved partial sums, in a fixed order for a given m.
double Dot16(std::size_t m, const Packed& x, const Packed& y);

// out[k] = Dot16(m, *x[k], *y[k]) for k < count, the same sums in the same
// order, over blocks of the vectors that stay in the cache for every pair.
void MultiDotPlain(std::size_t m, int count, const Packed* const* x, const Packed* const* y, double* out);

__attribute__((target("avx512f"))) void MultiDotAvx512(std::size_t m, int count, const Packed* const* x,
                                                       const Packed* const* y, double* out);

// Finds what centres the values in p.c and takes the sum of squares of the
// centred values; p.ok is false when a value is missing (the general
// statistic then decides).
void Centre(Packed& p);

inline std::size_t Pairs(int n) { return n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0; }

// D's strict upper triangle, packed and centred.
void Pack(int n, const double* const* D, Packed& p);

// The absolute differences of the n values of v, packed as their resemblance
// matrix would be.
void PackAbsDifferences(int n, const double* const* col, const double* const* id, Packed& p);

// Euclidean distances between the rows of x (p columns), packed (not yet
// centred).
void PackEuclidean(int n, int p, const double* const* x, const double* const* id, Packed& out);

// Euclidean distances from row i to the rows after it, from the columns of x
// (xt: p rows of ld values, column k of x in row k): out[j - i - 1] for j in
// (i, n). Each distance sums its squared differences in the order of the
// variables, as PackEuclidean does, with the same operations.
__attribute__((target("avx512f"))) void EuclidRowAvx512(int i, int n, int p, const double* xt, int ld, double* out);

// out[8 r + l] = rows[l][k + r] for r, l < 8: an 8 x 8 block transposed.
void Transpose8Plain(const double* const* rows, int k, double* out);

__attribute__((target("avx512f"))) void Transpose8Avx512(const double* const* rows, int k, double* out);

// Distances from the Gram matrix: out[j - i - 1] = sqrt(g[i][i] + g[j][j] -
// 2 g[i][j]) for j in (i, n), where gi is row i of G and diag its diagonal.
void GramRowPlain(int i, int n, const double* gi, const double* diag, double* out);

__attribute__((target("avx512f"))) void GramRowAvx512(int i, int n, const double* gi, const double* diag, double* out);

// The same when community totals differ: |x_i - x_j|^2 = |y_i - y_j|^2 +
// dw (2 (ubar'y_i - ubar'y_j) + dw ubar'ubar), dw = w_i - w_j (w the
// totals, yp the ubar'y).
struct UnequalTotals {
  const double* w;
  const double* yp;
  double ubar2;
};

void GramRowUnequalPlain(int i, int n, const double* gi, const double* diag, const UnequalTotals& u, double* out);

__attribute__((target("avx512f"))) void GramRowUnequalAvx512(int i, int n, const double* gi, const double* diag,
                                                             const UnequalTotals& u, double* out);

// The communities j > i whose squared distance to i, d[j - i - 1]^2, is below
// limit times the terms it was formed from (diag_i + diag_j and the
// corrections of unequal totals, taken absolutely), into js; returns how many.
__attribute__((target("avx512f"))) int NearPairsAvx512(int i, int n, const double* d, const double* diag,
                                                       const UnequalTotals& u, double limit, int* js);

int NearPairsPlain(int i, int n, const double* d, const double* diag, const UnequalTotals& u, double limit, int* js);

// The Mantel statistic of two packed matrices from the dot product of their
// centred values.
double MantelFromDot(double sxy, const Packed& a, const Packed& b);

// The same from the packed values themselves.
double PackedMantel(const Packed& a, const Packed& b);

// The Rao kernels of the processor (RaoRowPlain and RaoTailPlain, or their
// 512-bit forms; the row's gathers take 32-bit places, so wideRow says
// whether the pair differences allow them).
// Row i of the pair differences of the lanes: buf[j][l] = delta[pi_l(i)][pi_l(j)]
// for j > i, perm[j][l] = pi_l(j) (0-based), delta s x s by rows.
using RaoRowFn = void (*)(int i, int s, const int* perm, const double* delta, double* buf);
// q[l] += w * sum over t < cnt of vals[t] * buf[idx[t]][l].
using RaoTailFn = void (*)(int cnt, const int* idx, const double* vals, const double* buf, double w, double* q);
RaoRowFn RaoRowKernel(bool wideRow);
RaoTailFn RaoTailKernel();

// For k < count (at most 4) and each row c < rows: outs[k] + c kLanes += the
// sum over c's entries t in [seg[c], seg[c + 1]) of vals[t] times the kLanes
// values of panels[k] at off[t] (a row's place: row x kLanes), = it when
// first; outs 64-byte aligned. The terms go to four partial sums by t modulo
// 4 (one running sum would wait on every addition), added as (0 + 1) +
// (2 + 3). With 512-bit vectors the kernel uses fused multiply-adds: the
// result then differs in the last bits from the plain form, but never with the
// number of threads or the number of panels taken together.
void PanelAccumulate(int count, int rows, const int* seg, const int* off, const double* vals,
                     const double* const* panels, double* const* outs, bool first);

}  // namespace kalios::fastmantel
