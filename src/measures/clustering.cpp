#include "measures/clustering.h"

#include <algorithm>
#include <cmath>

#include "numlib/matrix.h"
#include "numlib/groups.h"

namespace kalios {

namespace {

double RoundToFloat(double x) { return static_cast<double>(static_cast<float>(x)); }

// Square root that keeps a stray negative value (rounding noise) at 0.
double SafeSqrt(double x) { return std::sqrt(std::max(0.0, x)); }

// Removes row and column j of the m x m matrix held in the first m rows and
// columns of R; the row pointer of j moves to the end.
void RemoveRowCol(int m, int j, double** R) {
  for (int r = 0; r < m; ++r) std::copy(R[r] + j + 1, R[r] + m, R[r] + j);
  std::rotate(R + j, R + j + 1, R + m);
}

void JoinSizes(int m, int* sizes, int i, int j) {
  sizes[i] += sizes[j];
  std::copy(sizes + j + 1, sizes + m, sizes + j);
}

// Joins the member list of group j onto that of group i, removes group j and
// fills the record's size, members and boundary member.
void JoinMembers(int n, std::vector<std::vector<int>>& groups, int i, int j, clusterReport& rec) {
  rec.boundaryMember = groups[i].back();
  groups[i].insert(groups[i].end(), groups[j].begin(), groups[j].end());
  groups.erase(groups.begin() + j);
  rec.size = static_cast<int>(groups[i].size());
  rec.members.assign(static_cast<std::size_t>(n), 0);
  std::copy(groups[i].begin(), groups[i].end(), rec.members.begin());
}

std::vector<std::vector<int>> Singletons(int n) {
  std::vector<std::vector<int>> groups(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) groups[i].push_back(i + 1);
  return groups;
}

// Upper-triangle element of a resemblance matrix.
double Upper(const double* const* R, int a, int b) { return a <= b ? R[a][b] : R[b][a]; }

}  // namespace

void LinkageFusion(int m, int* sizes, int i, int j, double** R, bool isDissimilarity, int method) {
  const double ni = sizes[i], nj = sizes[j];
  for (int k = 0; k < m; ++k) {
    if (k == i || k == j) continue;
    const double rki = R[k][i], rkj = R[k][j];
    double v = rki;
    switch (method) {
      case kSingleLinkage:
        v = isDissimilarity ? std::min(rki, rkj) : std::max(rki, rkj);
        break;
      case kCompleteLinkage:
        v = isDissimilarity ? std::max(rki, rkj) : std::min(rki, rkj);
        break;
      case kUPGMA:
        v = (ni * rki + nj * rkj) / (ni + nj);
        break;
      case kWPGMA:
        v = (rki + rkj) / 2;
        break;
      default:
        break;
    }
    R[k][i] = R[i][k] = v;
  }
  RemoveRowCol(m, j, R);
  JoinSizes(m, sizes, i, j);
}

void LinkageCluster(int n, const double* const* R, std::vector<clusterReport>& report, bool isDissimilarity,
                    bool sqrtOpt, int method) {
  report.assign(static_cast<std::size_t>(std::max(n - 1, 0)), clusterReport{});
  if (n < 2) return;
  // Average linkage on square-rooted dissimilarities clusters on that scale;
  // otherwise the square root only changes the reported levels.
  const bool rootFirst = sqrtOpt && isDissimilarity && (method == kUPGMA || method == kWPGMA);
  Matrix<double> W(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) W[i][j] = W[j][i] = rootFirst ? SafeSqrt(R[i][j]) : R[i][j];
  std::vector<int> sizes(static_cast<std::size_t>(n), 1);
  auto groups = Singletons(n);

  for (int step = 0; step < n - 1; ++step) {
    const int m = n - step;
    int bi = 0, bj = 1;
    double best = W[0][1];
    for (int i = 0; i < m - 1; ++i)
      for (int j = i + 1; j < m; ++j) {
        const double v = W[i][j];
        if (isDissimilarity ? v < best : v > best) {
          best = v;
          bi = i;
          bj = j;
        }
      }
    clusterReport& rec = report[static_cast<std::size_t>(step)];
    rec.level = RoundToFloat(sqrtOpt && !rootFirst ? SafeSqrt(best) : best);
    JoinMembers(n, groups, bi, bj, rec);
    LinkageFusion(m, sizes.data(), bi, bj, W, isDissimilarity, method);
  }
}

void FusionMatrix(int m, int* sizes, int i, int j, double** W) {
  const double ni = sizes[i], nj = sizes[j], nij = ni + nj;
  const double within = ni * nj * W[i][j] / (nij * nij);
  for (int k = 0; k < m; ++k) {
    if (k == i || k == j) continue;
    W[k][i] = W[i][k] = (ni * W[k][i] + nj * W[k][j]) / nij - within;
  }
  RemoveRowCol(m, j, W);
  JoinSizes(m, sizes, i, j);
}

void SumSqCluster(int n, const double* const* D, std::vector<clusterReport>& report, bool isSquared) {
  report.assign(static_cast<std::size_t>(std::max(n - 1, 0)), clusterReport{});
  if (n < 2) return;
  auto sq = [&](int a, int b) {
    const double d = Upper(D, a, b);
    return isSquared ? d : d * d;
  };
  Matrix<double> W(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) W[i][j] = W[j][i] = sq(i, j);
  std::vector<int> sizes(static_cast<std::size_t>(n), 1);
  std::vector<double> Q(static_cast<std::size_t>(n), 0.0);  // sum of squared distances within a group
  auto groups = Singletons(n);

  for (int step = 0; step < n - 1; ++step) {
    const int m = n - step;
    int bi = -1, bj = -1;
    double best = 0;
    for (int i = 0; i < m - 1; ++i)
      for (int j = i + 1; j < m; ++j) {
        const double delta = sizes[i] * static_cast<double>(sizes[j]) * W[i][j] / (sizes[i] + sizes[j]);
        if (bi < 0 || delta < best) {
          best = delta;
          bi = i;
          bj = j;
        }
      }
    const double ni = sizes[bi], nj = sizes[bj];
    const double levelI = Q[bi] / ni, levelJ = Q[bj] / nj;
    double between = 0;
    for (int a : groups[bi])
      for (int b : groups[bj]) between += sq(a - 1, b - 1);
    const double qNew = Q[bi] + Q[bj] + between;

    clusterReport& rec = report[static_cast<std::size_t>(step)];
    rec.level = RoundToFloat(qNew / (ni + nj));
    rec.secondLevel = RoundToFloat(best);
    rec.branchLength1 = rec.level - levelI;
    rec.branchLength2 = rec.level - levelJ;
    JoinMembers(n, groups, bi, bj, rec);

    Q[bi] = qNew;
    Q.erase(Q.begin() + bj);
    FusionMatrix(m, sizes.data(), bi, bj, W);
  }
}

void RenamePartitionLabels(int n, int k, int* partition) {
  if (n < 1) return;
  int maxLabel = *std::max_element(partition, partition + n);
  int label = 1;
  while (label <= maxLabel) {
    if (std::find(partition, partition + n, label) != partition + n) {
      if (label == k) break;
      ++label;
    } else {
      for (int i = 0; i < n; ++i)
        if (partition[i] > label) --partition[i];
      --maxLabel;
    }
  }
}

void GetClusterPartitionNew(int n, int k, int* partition, const std::vector<clusterReport>& report, int method) {
  for (int i = 0; i < n; ++i) partition[i] = i + 1;
  if (n < 2 || k >= n) return;
  const int nRec = std::min(n - 1, static_cast<int>(report.size()));
  std::vector<int> order(static_cast<std::size_t>(nRec));
  for (int r = 0; r < nRec; ++r) order[r] = r;
  if (method == kSumOfSquares) {
    // Its levels need not grow with the step, so cut in ascending level.
    for (int a = 0; a < nRec; ++a)
      for (int b = a + 1; b < nRec; ++b)
        if (report[order[b]].level < report[order[a]].level) std::swap(order[a], order[b]);
  }
  int groups = n;
  std::vector<int> seen;
  for (int r = 0; r < nRec && groups > k; ++r) {
    const clusterReport& rec = report[order[r]];
    const int size = std::min(rec.size, static_cast<int>(rec.members.size()));
    if (size < 1 || rec.members[0] < 1 || rec.members[0] > n) continue;
    const int label = partition[rec.members[0] - 1];
    seen.clear();
    for (int m = 0; m < size; ++m) {
      if (rec.members[m] < 1 || rec.members[m] > n) continue;
      int& p = partition[rec.members[m] - 1];
      if (std::find(seen.begin(), seen.end(), p) == seen.end()) seen.push_back(p);
      p = label;
    }
    // A record merges as many groups as its members span.
    groups -= static_cast<int>(seen.size()) - 1;
  }
  RenamePartitionLabels(n, groups, partition);
}

void ClusterIdenticals(int n, const double* const* R, int* partition, int& k, bool isDissimilarity) {
  const double identity = isDissimilarity ? 0.0 : 1.0;
  for (int i = 0; i < n; ++i) partition[i] = i + 1;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (R[i][j] == identity) partition[j] = partition[i];
  CountGroupsNew(n, partition, k, nullptr);
  RenamePartitionLabels(n, k, partition);
}

void TrimRese(int n, int k, const int* partition, const double* const* R, double** Rk) {
  std::vector<int> first(static_cast<std::size_t>(std::max(k, 0)), -1);
  for (int i = n - 1; i >= 0; --i)
    if (partition[i] >= 1 && partition[i] <= k) first[partition[i] - 1] = i;
  for (int a = 0; a < k; ++a)
    for (int b = 0; b < k; ++b)
      if (first[a] >= 0 && first[b] >= 0) Rk[a][b] = Upper(R, first[a], first[b]);
}

}  // namespace kalios
