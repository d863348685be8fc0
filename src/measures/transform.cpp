#include "measures/transform.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "numlib/matrix.h"

namespace kalios {
namespace {

// Starting points of the range searches of RangeColsAdjMV: the single-precision
// limits, so that the result matches the one computed with floats.
constexpr double kFloatMax = 3.4028234663852886e+38;
constexpr double kDoubleMax = std::numeric_limits<double>::max();

inline bool Present(double x) { return x != kMissingValue; }
inline double NonZero(double d) { return d == 0.0 ? 1.0 : d; }

// Mean of the present values of a strided sequence; count receives how many.
double PresentMean(int n, const double* first, int stride, int* count) {
  double sum = 0.0;
  int m = 0;
  for (int k = 0; k < n; ++k) {
    const double x = first[static_cast<long>(k) * stride];
    if (Present(x)) {
      sum += x;
      ++m;
    }
  }
  *count = m;
  return m > 0 ? sum / m : 0.0;
}

}  // namespace

void UnitSumRowsAdjMV(int n, int p, double** out, const double* const* in) {
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int j = 0; j < p; ++j)
      if (Present(in[i][j])) sum += in[i][j];
    sum = NonZero(sum);
    for (int j = 0; j < p; ++j) out[i][j] = Present(in[i][j]) ? in[i][j] / sum : kMissingValue;
  }
}

void RangeColsAdjMV(int n, int p, const double* const* in, double** out) {
  for (int j = 0; j < p; ++j) {
    double lo = kFloatMax, hi = -kFloatMax;
    for (int i = 0; i < n; ++i) {
      const double x = in[i][j];
      if (!Present(x)) continue;
      if (x < lo) lo = x;
      if (x > hi) hi = x;
    }
    const double range = NonZero(hi - lo);
    for (int i = 0; i < n; ++i) out[i][j] = Present(in[i][j]) ? (in[i][j] - lo) / range : kMissingValue;
  }
}

void CenterRowsMV(int n, int p, const double* const* in, double** out) {
  for (int i = 0; i < n; ++i) {
    int m;
    const double mean = PresentMean(p, in[i], 1, &m);
    for (int j = 0; j < p; ++j) out[i][j] = Present(in[i][j]) ? in[i][j] - mean : kMissingValue;
  }
}

void CenterColsMV(int n, int p, const double* const* in, double** out) {
  for (int j = 0; j < p; ++j) {
    double sum = 0.0;
    int m = 0;
    for (int i = 0; i < n; ++i)
      if (Present(in[i][j])) {
        sum += in[i][j];
        ++m;
      }
    const double mean = m > 0 ? sum / m : 0.0;
    for (int i = 0; i < n; ++i) out[i][j] = Present(in[i][j]) ? in[i][j] - mean : kMissingValue;
  }
}

void NormalizeRowsMV(int n, int p, const double* const* in, double** out) {
  for (int i = 0; i < n; ++i) {
    double ss = 0.0;
    for (int j = 0; j < p; ++j)
      if (Present(in[i][j])) ss += in[i][j] * in[i][j];
    const double norm = NonZero(std::sqrt(ss));
    for (int j = 0; j < p; ++j) out[i][j] = Present(in[i][j]) ? in[i][j] / norm : kMissingValue;
  }
}

void NormalizeColsMV(int n, int p, const double* const* in, double** out) {
  for (int j = 0; j < p; ++j) {
    double ss = 0.0;
    for (int i = 0; i < n; ++i)
      if (Present(in[i][j])) ss += in[i][j] * in[i][j];
    const double norm = NonZero(std::sqrt(ss));
    for (int i = 0; i < n; ++i) out[i][j] = Present(in[i][j]) ? in[i][j] / norm : kMissingValue;
  }
}

void NormalizeCols(int n, int p, const double* const* in, double** out) {
  for (int j = 0; j < p; ++j) {
    double ss = 0.0;
    for (int i = 0; i < n; ++i) ss += in[i][j] * in[i][j];
    const double norm = NonZero(std::sqrt(ss));
    for (int i = 0; i < n; ++i) out[i][j] = in[i][j] / norm;
  }
}

void ZStandardizationColsMV(int n, int p, const double* const* in, double** out) {
  for (int j = 0; j < p; ++j) {
    double sum = 0.0;
    int m = 0;
    for (int i = 0; i < n; ++i)
      if (Present(in[i][j])) {
        sum += in[i][j];
        ++m;
      }
    const double mean = m > 0 ? sum / m : 0.0;
    double ss = 0.0;
    for (int i = 0; i < n; ++i)
      if (Present(in[i][j])) ss += (in[i][j] - mean) * (in[i][j] - mean);
    const double sd = ss == 0.0 ? 1.0 : std::sqrt(ss / n);
    for (int i = 0; i < n; ++i) out[i][j] = Present(in[i][j]) ? (in[i][j] - mean) / sd : kMissingValue;
  }
}

void CorrAdj(int n, int p, double** out, const double* const* in) {
  for (int j = 0; j < p; ++j) {
    double sum = 0.0;
    int m = 0;
    for (int i = 0; i < n; ++i)
      if (Present(in[i][j])) {
        sum += in[i][j];
        ++m;
      }
    const double mean = m > 0 ? sum / m : 0.0;
    double ss = 0.0;
    for (int i = 0; i < n; ++i)
      if (Present(in[i][j])) ss += (in[i][j] - mean) * (in[i][j] - mean);
    const double len = NonZero(std::sqrt(ss));
    for (int i = 0; i < n; ++i)
      if (Present(in[i][j])) out[i][j] = static_cast<double>(static_cast<float>((in[i][j] - mean) / len));
  }
}

void CenterRowsCovMV(int n, int p, const double* const* in, double** out) {
  for (int i = 0; i < n; ++i) {
    int m;
    const double mean = PresentMean(p, in[i], 1, &m);
    const double div = m > 1 ? std::sqrt(static_cast<double>(m - 1)) : 1.0;
    for (int j = 0; j < p; ++j) out[i][j] = Present(in[i][j]) ? (in[i][j] - mean) / div : kMissingValue;
  }
}

void DeviationsExpectationsMV(int n, int p, const double* const* in, double** out) {
  std::vector<double> r(static_cast<size_t>(std::max(n, 0)), 0.0), c(static_cast<size_t>(std::max(p, 0)), 0.0);
  double total = 0.0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j)
      if (Present(in[i][j])) {
        r[static_cast<size_t>(i)] += in[i][j];
        c[static_cast<size_t>(j)] += in[i][j];
        total += in[i][j];
      }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < p; ++j) {
      const double x = in[i][j];
      const double ri = r[static_cast<size_t>(i)], cj = c[static_cast<size_t>(j)];
      // With ri > 0 and cj > 0 the grand total is positive too.
      if (Present(x) && ri > 0.0 && cj > 0.0)
        out[i][j] = (x * total - ri * cj) / (std::sqrt(ri * cj) * total);
      else
        out[i][j] = x;
    }
}

void DataPartitionQualQuant(int n, int p, const double* const* in, double** out, int mode) {
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    int m = 0;
    for (int j = 0; j < p; ++j)
      if (in[i][j] > 0.0) {
        sum += in[i][j];
        ++m;
      }
    const double mean = m > 0 ? sum / m : 0.0;
    for (int j = 0; j < p; ++j) {
      const double x = in[i][j];
      if (!(x > 0.0))
        out[i][j] = 0.0;
      else if (mode == 2)
        out[i][j] = mean;
      else if (mode == 1)
        out[i][j] = x - mean;
    }
  }
}

double MatrixUnitMaxTransf3D(int a, int b, int c, const Array3<double>& in, Array3<double>& out) {
  double mx = 0.0;
  for (int s = 0; s < a; ++s)
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < c; ++j) mx = std::max(mx, in[s][i][j]);
  if (mx > 0.0)
    for (int s = 0; s < a; ++s)
      for (int i = 0; i < b; ++i)
        for (int j = 0; j < c; ++j) out[s][i][j] = in[s][i][j] / mx;
  return mx;
}

void ZStandardizationVectorMV(int n, const double* in, double* out, bool flag, double threshold, int* flags) {
  int m;
  const double mean = PresentMean(n, in, 1, &m);
  double ss = 0.0;
  for (int k = 0; k < n; ++k)
    if (Present(in[k])) ss += (in[k] - mean) * (in[k] - mean);
  const double sd = ss > 0.0 ? std::sqrt(ss / n) : 1.0;
  for (int k = 0; k < n; ++k) {
    const bool present = Present(in[k]);
    out[k] = present ? (in[k] - mean) / sd : kMissingValue;
    if (flag) flags[k] = (present && threshold < std::fabs(out[k])) ? 1 : 0;
  }
}

void RankVectorAdjMV(int n, const double* in, double* out) {
  // Only the present values are ranked, so a present value below -999 cannot
  // end among the missing ones.
  std::vector<int> pos;
  pos.reserve(static_cast<size_t>(std::max(n, 0)));
  for (int k = 0; k < n; ++k)
    if (Present(in[k])) pos.push_back(k);
  std::vector<double> val(pos.size());
  for (size_t q = 0; q < pos.size(); ++q) val[q] = in[pos[q]];
  std::vector<size_t> order(pos.size());
  std::iota(order.begin(), order.end(), size_t{0});
  // NaN counts as present; it sorts last so that the order stays strict weak.
  auto less = [&](size_t a, size_t b) {
    const double x = val[a], y = val[b];
    if (std::isnan(x)) return false;
    return std::isnan(y) || x < y;
  };
  std::stable_sort(order.begin(), order.end(), less);
  std::vector<double> rank(pos.size());
  size_t q = 0;
  while (q < order.size()) {
    size_t e = q + 1;
    while (e < order.size() && !less(order[q], order[e]) && !less(order[e], order[q])) ++e;
    // Ranks q+1 .. e share their mean.
    const double mid = 0.5 * static_cast<double>(q + 1 + e);
    for (size_t t = q; t < e; ++t) rank[order[t]] = mid;
    q = e;
  }
  for (int k = 0; k < n; ++k)
    if (!Present(in[k])) out[k] = kMissingValue;
  for (size_t t = 0; t < pos.size(); ++t) out[pos[t]] = rank[t];
}

void ClassesMV(int n, const double* in, double* out, int k) {
  double lo = kDoubleMax, hi = -kDoubleMax;
  for (int i = 0; i < n; ++i) {
    if (!Present(in[i])) continue;
    lo = std::min(lo, in[i]);
    hi = std::max(hi, in[i]);
  }
  for (int i = 0; i < n; ++i) {
    const double x = in[i];
    if (!Present(x))
      out[i] = kMissingValue;
    else if (x == lo)
      out[i] = 1.0;
    else if (x == hi)
      out[i] = k;
    else
      out[i] = std::ceil((x - lo) * k / (hi - lo));
  }
}

void MeanStDev(int n, const double* v, double* mean, double* sd) {
  double sum = 0.0, ss = 0.0;
  for (int k = 0; k < n; ++k) {
    sum += v[k];
    ss += v[k] * v[k];
  }
  const double cnt = NonZero(n);
  *mean = sum / cnt;
  *sd = std::sqrt(std::max(0.0, (ss - sum * sum / cnt) / NonZero(n - 1.0)));
}

}  // namespace kalios
