#include "session/community_transform.h"

#include "session/pooling.h"

namespace kalios {

namespace {

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

std::vector<int> Identity(int n) {
  std::vector<int> v(Z(n));
  for (int i = 0; i < n; ++i) v[Z(i)] = i + 1;
  return v;
}

Matrix<double> Transposed(const Matrix<double>& m, int rows, int cols) {
  Matrix<double> t(cols, rows);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) t[j][i] = m[i][j];
  return t;
}

// A species occurs in a new community when it occurs in any source community
// that went into it (`source(c, k)` tells whether community c went into k).
template <class F>
void PoolOccurrence(DataSet& ds, int newCount, F source) {
  if (ds.nSpp <= 0) return;
  Matrix<char> rel(ds.nSpp, newCount, '0');
  for (int s = 0; s < ds.nSpp; ++s)
    for (int k = 0; k < newCount; ++k)
      for (int c = 0; c < ds.ncsm; ++c)
        if (source(c, k) && ds.sppRelMap[s][c] == '1') rel[s][k] = '1';
  ds.sppRelMap = std::move(rel);
}

// Averaged binary variables are quantitative; E of binary variables only
// becomes E of quantitative variables in different units.
void AveragedTypes(DataSet& ds) {
  for (int& t : ds.envVarType)
    if (t == 1) t = 3;
  if (ds.nenv > 0 && ds.temEnvBin) ds.temEnvQuant = 1;
  ds.temEnvBin = 0;
  if (ds.optEnvVarType == 4) ds.optEnvVarType = 2;
}

void CountOtus(DataSet& ds, bool positiveOnly) {
  ds.ncst.assign(Z(ds.ncsm), 0);
  for (int c = 0; c < ds.ncsm; ++c)
    for (int i = 0; i < ds.tcst; ++i) {
      double x = ds.cadat[i][c];
      if (positiveOnly ? x > 0 : x != 0) ++ds.ncst[Z(c)];
    }
}

}  // namespace

void PoolCommunityGroups(DataSet& ds, int nGroups, const int* groupOf,
                         const std::vector<std::string>& labels) {
  std::vector<int> otus = Identity(ds.tcst);
  Matrix<double> w(ds.tcst, nGroups);
  ConcentrateGroups(ds.tcst, ds.ncsm, ds.cadat, w, ds.tcst, otus.data(), nGroups, groupOf, 0);
  if (ds.nenv > 0) {
    std::vector<int> vars = Identity(ds.nenv);
    Matrix<double> e(nGroups, ds.nenv);
    ConcentrateGroups(ds.ncsm, ds.nenv, ds.env, e, nGroups, groupOf, ds.nenv, vars.data(), 0);
    ds.env = std::move(e);
    AveragedTypes(ds);
  }
  PoolOccurrence(ds, nGroups, [&](int c, int k) { return groupOf[c] == k + 1; });
  ds.cadat = std::move(w);
  ds.reLabel.assign(labels.begin(), labels.begin() + nGroups);
  ds.ncsm = nGroups;
  CountOtus(ds, true);
}

void ChangeBetweenCommunities(DataSet& ds, int nUnits, const int* unitOf,
                              const std::vector<std::string>& labels) {
  Matrix<double> w(ds.tcst, nUnits);
  ReleveChange(ds.ncsm, ds.cadat, w, ds.tcst, nUnits, unitOf);
  if (ds.nenv > 0) {
    Matrix<double> byVariable = Transposed(ds.env, ds.ncsm, ds.nenv);
    Matrix<double> change(ds.nenv, nUnits);
    ReleveChange(ds.ncsm, byVariable, change, ds.nenv, nUnits, unitOf);
    ds.env = Transposed(change, ds.nenv, nUnits);
    // A difference of category codes means nothing: what is left is whether
    // the category changed. A binary variable likewise, or its values would
    // leave {0, 1}.
    bool qualitative = false;
    for (int v = 0; v < ds.nenv; ++v) {
      int& t = ds.envVarType[Z(v)];
      if (t != 1 && t != 2) continue;
      t = 1;
      qualitative = true;
      for (int k = 0; k < nUnits; ++k) {
        double& x = ds.env[k][v];
        if (IsPresent(x)) x = x != 0 ? 1 : 0;
      }
    }
    ds.temEnvQual = 0;
    ds.temEnvBin = qualitative ? 1 : 0;
    if (ds.optEnvVarType == 3) ds.optEnvVarType = 4;
  }
  PoolOccurrence(ds, nUnits, [&](int c, int k) { return unitOf[c] == k + 1; });
  ds.cadat = std::move(w);
  ds.reLabel.assign(labels.begin(), labels.begin() + nUnits);
  ds.ncsm = nUnits;
  CountOtus(ds, false);
}

int PoolMovingWindows(DataSet& ds, int h) {
  int newCount = 0;
  Matrix<double> w(ds.tcst, ds.ncsm - h + 1);
  SplitMovingWinPool(ds.tcst, ds.ncsm, ds.cadat, w, h, newCount, false);
  if (ds.nenv > 0) {
    int rows = 0;
    Matrix<double> e(newCount, ds.nenv);
    SplitMovingWinPool(ds.ncsm, ds.nenv, ds.env, e, h, rows, true);
    ds.env = std::move(e);
    AveragedTypes(ds);
  }
  PoolOccurrence(ds, newCount, [&](int c, int k) { return c >= k && c < k + h; });
  ds.cadat = std::move(w);
  ds.reLabel.resize(Z(newCount));
  ds.ncsm = newCount;
  ds.SMWSize = h;
  CountOtus(ds, false);
  return newCount;
}

}  // namespace kalios
