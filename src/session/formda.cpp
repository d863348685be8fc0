#include "session/formda.h"

#include <cstdlib>
#include <sstream>

#include "session/item_reader.h"
#include "session/safe_write.h"
#include "shell/abort.h"
#include "shell/app.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/shell.h"

namespace kalios {

namespace {

constexpr int kMaxCount = 2147483647;

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

void WriteLabels(AtomicTextFile& f, const std::vector<std::string>& labels, int n) {
  for (int i = 0; i < n; ++i) f.Printf("%s\t", labels[Z(i)].c_str());
  f.Write("\n");
}

void WriteInts(AtomicTextFile& f, const std::vector<int>& values, int n) {
  for (int i = 0; i < n; ++i) f.Printf("%d\t", values[Z(i)]);
  f.Write("\n");
}

void WriteRows(AtomicTextFile& f, int rows, int cols, const double* const* m, const char* fmt) {
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) f.Printf(fmt, m[i][j]);
    f.Write("\n");
  }
}

std::vector<std::string> ReadLabels(ItemReader& r, int n) {
  std::vector<std::string> labels(Z(n));
  for (auto& l : labels) l = r.Word(kLabelWidth);
  return labels;
}

std::vector<int> ReadInts(ItemReader& r, int n) {
  std::vector<int> v(Z(n));
  for (auto& x : v) x = r.Int();
  return v;
}

void ReadRows(ItemReader& r, Matrix<double>& m) {
  for (int i = 0; i < m.rows(); ++i)
    for (int j = 0; j < m.cols(); ++j) m[i][j] = r.Double();
}

// The oldest layout codes each trait state as two characters of one word per
// OTU; the state is the number those two characters spell.
double CodedState(ItemReader& r, const std::string& code, int trait) {
  size_t at = static_cast<size_t>(trait) * 2;
  if (code.size() < at + 2) r.Fail();
  std::string pair = code.substr(at, 2);
  char* end = nullptr;
  double v = std::strtod(pair.c_str(), &end);
  if (end != pair.c_str() + pair.size()) r.Fail();
  return static_cast<double>(static_cast<float>(v));
}

}  // namespace

void WriteFormda(Console& con, const DataSet& ds, int n, const std::string& path,
                 const std::string& title, const double* const* B, const double* const* W) {
  AtomicTextFile f(path);
  if (!f.Open()) {
    Print(con.err, "\ncan't open %s \n", path.c_str());
    con.out << '\a';
    Abort(kAbortOpenFailed);
  }
  f.Printf("%s \n", title.c_str());
  f.Printf("%d \n", ds.nch);
  WriteLabels(f, ds.chLabel, ds.nch);
  WriteInts(f, ds.chtype, ds.nch);
  for (int k = 0; k < ds.nch; ++k) f.Write("0\t");  // ranges are recomputed when needed
  f.Write("\n");
  WriteInts(f, ds.onsta, ds.nch);
  f.Printf("%d \n", ds.ncsm);
  WriteLabels(f, ds.reLabel, ds.ncsm);
  f.Printf("%d \n", n);
  for (int c = 0; c < ds.ncsm; ++c) f.Write("0\t");
  f.Write("\n");
  for (int i = 0; i < kReservedCodes; ++i) f.Write("0\t");
  f.Write("\n\n");
  f.Printf("%s \n", kFormdaTag);
  WriteRows(f, n, ds.nch, B, "%.6g\t");  // B and W at 6 significant digits
  f.Write("\n");
  WriteRows(f, n, ds.ncsm, W, "%.6g\t");
  f.Write("\n");

  f.Printf("%d \n", ds.nenv);
  if (ds.nenv > 0) {
    f.Printf("%s \n", kEnvTypesTag);
    f.Printf("%d \n", ds.optEnvVarType);
    WriteInts(f, ds.envVarType, ds.nenv);
    WriteLabels(f, ds.envLabel, ds.nenv);
    f.Printf("%s \n", ds.envName.c_str());
    for (int v = 0; v < ds.nenv; ++v) {  // E is stored by variables
      for (int c = 0; c < ds.ncsm; ++c) f.Printf("%g\t", ds.env[c][v]);
      f.Write("\n");
    }
  }

  f.Printf("%d \n", ds.nSpp);
  if (ds.nSpp > 0) {
    f.Printf("%s \n", ds.whichSpp.c_str());
    for (int s = 0; s < ds.nSpp; ++s) f.Printf("%-s\n", ds.spp[Z(s)].c_str());
    for (int s = 0; s < ds.nSpp; ++s) {
      f.Write(std::string(ds.sppRelMap[s], Z(ds.ncsm)));
      f.Write("\n");
    }
    for (int i = 0; i < n; ++i) {
      f.Write(std::string(ds.cstSppMap[i], Z(ds.nSpp)));
      f.Write("\n");
    }
  }

  f.Printf("SMW %d\n", ds.SMWSize);
  f.Printf("%d\n", ds.hasPhylogeny ? 1 : 0);
  if (ds.hasPhylogeny) {
    f.Printf("%d\n", ds.phylogenyMatrixType);
    if (ds.phylogenyMatrixType == 2) {
      f.Printf("%d\n", ds.nClados);
      WriteInts(f, ds.phylogenyVarType, ds.nClados);
      WriteRows(f, n, ds.nClados, ds.phylogenyData, "%g\t");
    } else {
      WriteRows(f, n, n, ds.phylogenyRese, "%g\t");
    }
  }
  f.Printf("%d\n", ds.hasTraitGroups ? 1 : 0);
  if (ds.hasTraitGroups) WriteInts(f, ds.traitGroups, ds.nch);
  std::ostringstream stamp;
  TimeStamp(stamp);
  f.Write(stamp.str());
  f.Commit();
}

void WriteFormda(App& app, int n, const std::string& fileName, const std::string& title,
                 const double* const* B, const double* const* W) {
  WriteFormda(app.con, app.data, n, app.shell.volumeName + fileName, title, B, W);
}

void ReadFormda(Console& con, DataSet& ds, const std::string& path) {
  auto file = fopenck(con, path, "");
  if (!file) Abort(kAbortOpenFailed);
  ItemReader r(con, *file);
  ds.Release();
  // What an optional block sets must not survive from a previous data set.
  ds.optEnvVarType = 0;
  ds.envName.clear();
  ds.whichSpp.clear();
  ds.phylogenyMatrixType = 0;

  ds.dataName = r.Line(kTitleWidth, true, true, false);
  ds.nch = r.IntIn(0, kMaxCount);
  ds.chLabel = ReadLabels(r, ds.nch);
  ds.chtype = ReadInts(r, ds.nch);
  ds.chrange.assign(Z(ds.nch), 0.0);
  for (auto& x : ds.chrange) x = r.Double();
  ds.onsta = ReadInts(r, ds.nch);

  ds.ncsm = r.IntIn(0, kMaxCount);
  ds.reLabel = ReadLabels(r, ds.ncsm);
  ds.tcst = r.IntIn(0, kMaxCount);
  ds.nenv = 0;
  ds.nSpp = 0;
  ds.nClados = 0;
  ds.AllocateWorkingArrays();
  ds.ncst = ReadInts(r, ds.ncsm);
  ds.ca_code.assign(kReservedCodes, 0.0);
  for (auto& x : ds.ca_code) x = r.Double();

  ds.csm_Float.Resize(ds.tcst, ds.nch);
  ds.cadat.Resize(ds.tcst, ds.ncsm);
  std::string tag = r.Word();
  if (tag == kFormdaTag || tag == kFormdaTagNoGroups) {
    ReadRows(r, ds.csm_Float);
    ReadRows(r, ds.cadat);
  } else {
    // Oldest layout: per OTU a word of two-character trait codes, then its
    // community values; the tag place holds the first OTU's codes.
    for (int i = 0; i < ds.tcst; ++i) {
      std::string code = i == 0 ? tag : r.Word();
      for (int k = 0; k < ds.nch; ++k) ds.csm_Float[i][k] = CodedState(r, code, k);
      for (int c = 0; c < ds.ncsm; ++c) ds.cadat[i][c] = r.Double();
    }
  }

  ds.nenv = r.IntIn(0, kMaxCount);
  ds.eVarSelect.assign(Z(ds.nenv), 0);
  ds.temEnvBin = ds.temEnvQual = ds.temEnvQuant = 0;
  if (ds.nenv > 0) {
    ds.env.Resize(ds.ncsm, ds.nenv);
    ds.envLabel.assign(Z(ds.nenv), std::string());
    std::string word = r.Word();
    if (word == kEnvTypesTag) {
      ds.optEnvVarType = r.Int();
      ds.envVarType = ReadInts(r, ds.nenv);
      ds.envLabel = ReadLabels(r, ds.nenv);
    } else {
      // Older E block: no types; the word read is the first label.
      ds.optEnvVarType = 2;
      ds.envVarType.assign(Z(ds.nenv), 3);
      ds.envLabel[0] = CutTo(word, kLabelWidth);
      for (int v = 1; v < ds.nenv; ++v) ds.envLabel[Z(v)] = r.Word(kLabelWidth);
    }
    ds.envName = r.Line(-1, false, true, false);
    for (int v = 0; v < ds.nenv; ++v)
      for (int c = 0; c < ds.ncsm; ++c) ds.env[c][v] = r.Double();
    for (int t : ds.envVarType) {
      if (t == 1) ds.temEnvBin = 1;
      if (t == 2) ds.temEnvQual = 1;
      if (t == 3) ds.temEnvQuant = 1;
    }
  }

  ds.nSpp = r.IntIn(0, kMaxCount);
  if (ds.nSpp > 0) {
    ds.spp.assign(Z(ds.nSpp), std::string());
    ds.sppRelMap.Resize(ds.nSpp, ds.ncsm);
    ds.cstSppMap.Resize(ds.tcst, ds.nSpp);
    ds.whichSpp = r.Line(kSpeciesFileWidth, false, true, false);
    for (auto& name : ds.spp) name = r.Line(kLabelWidth, true, false, true);
    for (int s = 0; s < ds.nSpp; ++s)
      for (int c = 0; c < ds.ncsm; ++c) ds.sppRelMap[s][c] = static_cast<char>(r.Char("0 1"));
    for (int i = 0; i < ds.tcst; ++i)
      for (int s = 0; s < ds.nSpp; ++s) ds.cstSppMap[i][s] = static_cast<char>(r.Char("0 1"));
  }

  // The split moving-window size and the phylogeny flag came later: files
  // without them go straight on to what follows, which is kept unread.
  std::string word;
  ds.SMWSize = 1;
  if (r.TryWord(word)) {
    if (word == "SMW") {
      ds.SMWSize = r.Int();
    } else {
      r.PutBack(word);
    }
  }
  ds.hasPhylogeny = false;
  if (r.TryWord(word)) {
    if (word == "0" || word == "1") {
      ds.hasPhylogeny = word == "1";
    } else {
      r.PutBack(word);
    }
  }
  if (ds.hasPhylogeny) {
    ds.phylogenyRese.Resize(ds.tcst, ds.tcst);
    ds.phylogenyMatrixType = r.IntIn(1, 3);
    if (ds.phylogenyMatrixType == 2) {
      ds.nClados = r.IntIn(0, kMaxCount);
      ds.phylogenyVarType = ReadInts(r, ds.nClados);
      ds.phylogenyData.Resize(ds.tcst, ds.nClados);
      ReadRows(r, ds.phylogenyData);
    } else {
      ReadRows(r, ds.phylogenyRese);
    }
  }

  ds.traitGroups.assign(Z(ds.nch), 0);
  ds.hasTraitGroups = false;
  if (tag == kFormdaTag) {
    ds.hasTraitGroups = r.Int() != 0;
    if (ds.hasTraitGroups) ds.traitGroups = ReadInts(r, ds.nch);
  }
  file->Close();
}

void OpenFormda(App& app, int) {
  ReadFormda(app.con, app.data, app.shell.volumeName + app.track.whichFormda);
  app.shell.dirtyOrig = 0;
}

}  // namespace kalios
