#include "session/data_subset.h"

namespace kalios {

namespace {

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }
int Count(const std::vector<int>& v) { return static_cast<int>(v.size()); }

template <class T>
Matrix<T> PickRows(const Matrix<T>& m, const std::vector<int>& rows) {
  Matrix<T> out(Count(rows), m.cols());
  for (int i = 0; i < Count(rows); ++i)
    for (int j = 0; j < m.cols(); ++j) out[i][j] = m[rows[Z(i)]][j];
  return out;
}

template <class T>
Matrix<T> PickCols(const Matrix<T>& m, const std::vector<int>& cols) {
  Matrix<T> out(m.rows(), Count(cols));
  for (int i = 0; i < m.rows(); ++i)
    for (int j = 0; j < Count(cols); ++j) out[i][j] = m[i][cols[Z(j)]];
  return out;
}

template <class T>
std::vector<T> Pick(const std::vector<T>& v, const std::vector<int>& at) {
  std::vector<T> out;
  if (v.empty()) return out;  // an array the data set does not hold stays absent
  out.reserve(at.size());
  for (int k : at) out.push_back(v[Z(k)]);
  return out;
}

}  // namespace

void KeepOtus(DataSet& ds, const std::vector<int>& rows) {
  ds.csm_Float = PickRows(ds.csm_Float, rows);
  ds.cadat = PickRows(ds.cadat, rows);
  if (ds.nSpp > 0) ds.cstSppMap = PickRows(ds.cstSppMap, rows);
  if (ds.hasPhylogeny) {
    // The resemblances are between OTUs: both dimensions follow them.
    if (!ds.phylogenyRese.empty()) ds.phylogenyRese = PickCols(PickRows(ds.phylogenyRese, rows), rows);
    if (!ds.phylogenyData.empty()) ds.phylogenyData = PickRows(ds.phylogenyData, rows);
  }
  ds.tcst = Count(rows);
}

void KeepTraits(DataSet& ds, const std::vector<int>& cols) {
  ds.csm_Float = PickCols(ds.csm_Float, cols);
  ds.chLabel = Pick(ds.chLabel, cols);
  ds.chtype = Pick(ds.chtype, cols);
  ds.onsta = Pick(ds.onsta, cols);
  ds.chrange = Pick(ds.chrange, cols);
  ds.traitGroups = Pick(ds.traitGroups, cols);
  ds.nch = Count(cols);
}

void KeepCommunities(DataSet& ds, const std::vector<int>& cols) {
  ds.cadat = PickCols(ds.cadat, cols);
  ds.reLabel = Pick(ds.reLabel, cols);
  ds.ncst = Pick(ds.ncst, cols);
  if (ds.nenv > 0) ds.env = PickRows(ds.env, cols);
  if (ds.nSpp > 0) ds.sppRelMap = PickCols(ds.sppRelMap, cols);
  ds.ncsm = Count(cols);
}

void KeepVariables(DataSet& ds, const std::vector<int>& vars) {
  ds.env = PickCols(ds.env, vars);
  ds.envLabel = Pick(ds.envLabel, vars);
  ds.envVarType = Pick(ds.envVarType, vars);
  ds.nenv = Count(vars);
}

}  // namespace kalios
