#include "session/merge_session.h"

#include <algorithm>
#include <vector>

#include "session/data_check.h"
#include "session/formda.h"
#include "shell/cformat.h"

namespace kalios {

namespace {

constexpr int kRepeatedLabelLimit = kLabelWidth - 1;  // room for the "b" of a repeated label

bool Refuse(Console& con, const char* message) {
  Print(con.out, "%s", message);
  return false;
}

// The first's community labels followed by the second's; a label already taken
// gets "b" appended (again, until it is new). False when a label would grow
// beyond the label width.
bool MergedLabels(Console& con, const DataSet& first, const DataSet& second,
                  std::vector<std::string>& labels) {
  labels = first.reLabel;
  for (std::string label : second.reLabel) {
    while (std::find(labels.begin(), labels.end(), label) != labels.end()) {
      if (static_cast<int>(label.size()) > kRepeatedLabelLimit) {
        Print(con.out, "\nThere are releve labels in the second session that are identical to\n");
        Print(con.out, "labels in the first session. Change them (or reduce the second\n");
        Print(con.out, "session labels length to %d letters or digits) and try again.\n",
              kRepeatedLabelLimit);
        return false;
      }
      label += "b";
    }
    labels.push_back(label);
  }
  return true;
}

// Every check of compatibility, in the order of the file.
bool Compatible(Console& con, const DataSet& a, const DataSet& b) {
  if (a.nch != b.nch) return Refuse(con, "\nThe number of traits do not match.\n\n");
  if (a.chLabel != b.chLabel) return Refuse(con, "\nLabels for traits do not match (or their order).\n\n");
  if (a.chtype != b.chtype) return Refuse(con, "\nTrait types do not match.\n\n");
  return true;
}

bool CompatibleAfterCommunities(Console& con, const DataSet& a, const DataSet& b) {
  if (a.ca_code != b.ca_code)
    return Refuse(con, "\nTranslating values for cover-abundance scale codes do not match.\n\n");
  if (a.nenv != b.nenv) return Refuse(con, "\nThe number of environmental variables do not match.\n\n");
  if (a.nenv > 0 && (a.optEnvVarType != b.optEnvVarType || a.envVarType != b.envVarType))
    return Refuse(con, "\nThe types of environmental variables do not match.\n\n");
  if (a.envLabel != b.envLabel)
    return Refuse(con, "\nLabels for environmental variables do not match.\n\n");
  if ((a.nSpp > 0) != (b.nSpp > 0))
    return Refuse(con,
                  "\nOne session has species names and the other not.\nBoth files must have or not "
                  "have species names.\n\n");
  return true;
}

// [a 0; 0 b] of two matrices.
template <class T>
Matrix<T> BlockDiagonal(const Matrix<T>& a, int ar, int ac, const Matrix<T>& b, int br, int bc,
                        T zero) {
  Matrix<T> m(ar + br, ac + bc, zero);
  for (int i = 0; i < ar; ++i)
    for (int j = 0; j < ac; ++j) m[i][j] = a[i][j];
  for (int i = 0; i < br; ++i)
    for (int j = 0; j < bc; ++j) m[ar + i][ac + j] = b[i][j];
  return m;
}

Matrix<double> Stacked(const Matrix<double>& a, int ar, const Matrix<double>& b, int br, int cols) {
  Matrix<double> m(ar + br, cols);
  for (int i = 0; i < ar; ++i)
    for (int j = 0; j < cols; ++j) m[i][j] = a[i][j];
  for (int i = 0; i < br; ++i)
    for (int j = 0; j < cols; ++j) m[ar + i][j] = b[i][j];
  return m;
}

template <class T>
void Append(std::vector<T>& a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
}

}  // namespace

std::string JoinedSourceNames(const std::string& first, const std::string& second) {
  std::string joined = first + "+" + second;
  // The name is read back as one word: blanks inside the names would split it.
  std::replace(joined.begin(), joined.end(), ' ', '_');
  std::replace(joined.begin(), joined.end(), '\t', '_');
  return joined;
}

bool MergeFormda(Console& con, DataSet& ds, const std::string& secondPath,
                 const std::string& secondName, const std::string& newPath) {
  DataSet second;
  ReadFormda(con, second, secondPath);
  ds.dataName = CutTo(ds.dataName + " " + secondName, kTitleWidth);
  std::vector<std::string> labels;
  if (!Compatible(con, ds, second) || !MergedLabels(con, ds, second, labels) ||
      !CompatibleAfterCommunities(con, ds, second))
    return false;

  const int n1 = ds.tcst, n2 = second.tcst, m1 = ds.ncsm, m2 = second.ncsm;
  ds.csm_Float = Stacked(ds.csm_Float, n1, second.csm_Float, n2, ds.nch);
  ds.cadat = BlockDiagonal(ds.cadat, n1, m1, second.cadat, n2, m2, 0.0);
  ds.reLabel = labels;
  Append(ds.ncst, second.ncst);
  if (ds.nenv > 0) {
    ds.env = Stacked(ds.env, m1, second.env, m2, ds.nenv);
    ds.envName = JoinedSourceNames(ds.envName, second.envName);
  }
  if (ds.nSpp > 0) {
    const int s1 = ds.nSpp, s2 = second.nSpp;
    Append(ds.spp, second.spp);
    ds.sppRelMap = BlockDiagonal(ds.sppRelMap, s1, m1, second.sppRelMap, s2, m2, '0');
    ds.cstSppMap = BlockDiagonal(ds.cstSppMap, n1, s1, second.cstSppMap, n2, s2, '0');
    ds.nSpp = s1 + s2;
  }
  // The first's phylogeny does not know the second's OTUs: a merged session
  // has none rather than one that covers only part of its OTUs.
  ds.hasPhylogeny = false;
  ds.phylogenyMatrixType = 0;
  ds.phylogenyRese.Release();
  ds.phylogenyData.Release();
  ds.phylogenyVarType.clear();
  ds.nClados = 0;
  ds.tcst = n1 + n2;
  ds.ncsm = m1 + m2;
  ds.AllocateWorkingArrays();
  if (ds.nSpp > 0) {
    CheckSpeciesMerge(ds);
    CheckCSTsSameSpecies(ds);
  }
  CheckData(ds, 1);
  ds.AllocateWorkingArrays();
  WriteFormda(con, ds, ds.tcst, newPath, ds.dataName, ds.csm_Float, ds.cadat);
  return true;
}

}  // namespace kalios
