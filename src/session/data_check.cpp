#include "session/data_check.h"

#include <cmath>
#include <vector>

#include "session/data_subset.h"
#include "session/partition.h"
#include "session/raw_format.h"
#include "session/taxon_names.h"

namespace kalios {

namespace {

constexpr double kZeroTolerance = 1e-13;

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

// Removes the species whose `drop` entry is set: names, occurrence rows and
// membership columns.
void RemoveSpecies(DataSet& ds, const std::vector<bool>& drop) {
  std::vector<int> keep;
  for (int s = 0; s < ds.nSpp; ++s)
    if (!drop[Z(s)]) keep.push_back(s);
  const int kept = static_cast<int>(keep.size());
  if (kept == ds.nSpp) return;
  std::vector<std::string> names;
  Matrix<char> rel(kept, ds.ncsm);
  Matrix<char> member(ds.tcst, kept);
  for (int k = 0; k < kept; ++k) {
    const int s = keep[Z(k)];
    names.push_back(ds.spp[Z(s)]);
    for (int c = 0; c < ds.ncsm; ++c) rel[k][c] = ds.sppRelMap[s][c];
    for (int i = 0; i < ds.tcst; ++i) member[i][k] = ds.cstSppMap[i][s];
  }
  ds.spp = std::move(names);
  ds.sppRelMap = std::move(rel);
  ds.cstSppMap = std::move(member);
  ds.nSpp = kept;
}

bool SharesSpecies(const DataSet& ds, int i, int j) {
  for (int s = 0; s < ds.nSpp; ++s)
    if (ds.cstSppMap[i][s] == '1' && ds.cstSppMap[j][s] == '1') return true;
  return false;
}

}  // namespace

void CheckSpeciesMerge(DataSet& ds) {
  std::vector<bool> drop(Z(ds.nSpp), false);
  for (int a = 0; a < ds.nSpp; ++a) {
    if (drop[Z(a)]) continue;
    for (int b = a + 1; b < ds.nSpp; ++b) {
      if (drop[Z(b)] || ds.spp[Z(b)] != ds.spp[Z(a)]) continue;
      for (int i = 0; i < ds.tcst; ++i)
        if (ds.cstSppMap[i][b] == '1') ds.cstSppMap[i][a] = '1';
      for (int c = 0; c < ds.ncsm; ++c)
        if (ds.sppRelMap[b][c] == '1') ds.sppRelMap[a][c] = '1';
      drop[Z(b)] = true;
    }
  }
  RemoveSpecies(ds, drop);
}

void CheckCSTsSameSpecies(DataSet& ds) {
  int sp = -1;
  for (int k = 0; k < ds.nch; ++k)
    if (ds.chLabel[Z(k)] == "sp") sp = k;
  if (sp < 0) return;
  for (int i = 0; i < ds.tcst; ++i) ds.csm_Float[i][sp] = i;
  for (int i = 0; i < ds.tcst; ++i)
    for (int j = i + 1; j < ds.tcst; ++j)
      if (SharesSpecies(ds, i, j)) ds.csm_Float[j][sp] = ds.csm_Float[i][sp];
}

void TrimSpecies(DataSet& ds, int n) {
  std::vector<bool> drop(Z(ds.nSpp), false);
  for (int s = 0; s < ds.nSpp; ++s) {
    bool hasOtu = false;
    for (int i = 0; i < n && !hasOtu; ++i) hasOtu = ds.cstSppMap[i][s] == '1';
    drop[Z(s)] = !hasOtu;
  }
  RemoveSpecies(ds, drop);
  drop.assign(Z(ds.nSpp), false);
  for (int s = 0; s < ds.nSpp; ++s) {
    bool occurs = false;
    for (int c = 0; c < ds.ncsm && !occurs; ++c) occurs = ds.sppRelMap[s][c] == '1';
    drop[Z(s)] = !occurs;
  }
  RemoveSpecies(ds, drop);
  for (int i = 0; i < n; ++i)
    for (int s = 0; s < ds.nSpp; ++s) {
      if (ds.cstSppMap[i][s] != '1') continue;
      bool together = false;
      for (int c = 0; c < ds.ncsm && !together; ++c)
        together = ds.sppRelMap[s][c] == '1' && ds.cadat[i][c] != 0;
      if (!together) ds.cstSppMap[i][s] = '0';
    }
}

int CheckData(DataSet& ds, int countStates) {
  std::vector<int> present;
  for (int i = 0; i < ds.tcst; ++i) {
    bool any = false;
    for (int c = 0; c < ds.ncsm && !any; ++c) any = std::fabs(ds.cadat[i][c]) >= kZeroTolerance;
    if (any) present.push_back(i);
  }
  if (static_cast<int>(present.size()) < ds.tcst) {
    KeepOtus(ds, present);
    // Occurrences came from OTUs that are gone: take them from those kept.
    if (ds.nSpp > 0) SpeciesReleveMap(ds);
  }
  if (ds.nSpp > 0) {
    CheckSpeciesMerge(ds);
    CheckCSTsSameSpecies(ds);
  }
  int emptyReleves = 0;
  ds.ncst.assign(Z(ds.ncsm), 0);
  for (int c = 0; c < ds.ncsm; ++c) {
    for (int i = 0; i < ds.tcst; ++i)
      if (ds.cadat[i][c] != 0) ++ds.ncst[Z(c)];
    if (ds.ncst[Z(c)] == 0) ++emptyReleves;
  }
  if (countStates == 1) {
    ds.onsta.assign(Z(ds.nch), 0);
    ds.chrange.assign(Z(ds.nch), 0.0);
    CountStates(ds.nch, ds.tcst, ds.onsta.data(), ds.csm_Float);
    RangeStates(ds.nch, ds.tcst, ds.csm_Float, ds.chtype.data(), ds.chrange.data());
  }
  if (ds.nSpp > 0) TrimSpecies(ds, ds.tcst);
  return emptyReleves;
}

}  // namespace kalios
