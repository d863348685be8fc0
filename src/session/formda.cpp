#include "session/formda.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>

#include "session/item_reader.h"
#include "session/safe_write.h"
#include "session/time_stamp.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"

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

void WriteRows(AtomicTextFile& f, int rows, int cols, const double* const* m) {
  std::string line;
  for (int i = 0; i < rows; ++i) {
    line.clear();
    for (int j = 0; j < cols; ++j) {
      line += RoundTripText(m[i][j]);
      line += '\t';
    }
    line += '\n';
    f.Write(line);
  }
}

// Rows of a matrix, each on its own line.
void ReadRows(ItemReader& r, Matrix<double>& m) {
  for (int i = 0; i < m.rows(); ++i) r.Row(m[i], m.cols());
}

// A count that sizes what follows: the file must be able to hold `per` items
// for each unit of it, and everything it multiplies.
int Count(ItemReader& r, long long per = 1) {
  int n = r.IntIn(0, kMaxCount);
  r.Fits(static_cast<long long>(n) * per);
  r.EndOfLine();
  return n;
}

// Trait and variable types: 1 binary, 2 nominal, 3 interval or ratio, 4 ordinal.
constexpr int kMinType = 1, kMaxType = 4;

// The oldest layout codes each trait state as two characters of one word per
// OTU; the state is the number those two characters spell.
double CodedState(ItemReader& r, const std::string& code, int trait, int nch) {
  size_t at = static_cast<size_t>(trait) * 2;
  if (code.size() != Z(nch) * 2) r.Fail();
  std::string pair = code.substr(at, 2);
  char* end = nullptr;
  double v = std::strtod(pair.c_str(), &end);
  if (end != pair.c_str() + pair.size()) r.Fail();
  return static_cast<double>(static_cast<float>(v));
}

}  // namespace

std::string RoundTripText(double x) {
  if (!std::isfinite(x)) return Format("%g", x);  // spelled alike at any precision
  // std::to_chars spells "%.*g" as printf does, and a session file holds
  // millions of values at thousands of communities.
  char buf[64];
  for (int digits = 6;; ++digits) {
    char* end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, digits).ptr;
    double back = 0.0;
    const auto read = std::from_chars(buf, end, back);
    if (read.ec != std::errc()) back = std::strtod(std::string(buf, end).c_str(), nullptr);
    if (back == x || digits == 17) return std::string(buf, end);
  }
}

void WriteFormda(Console& con, const DataSet& ds, int n, const std::string& path,
                 const std::string& title, const double* const* B, const double* const* W) {
  AtomicTextFile f(path, con.err);
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
  WriteRows(f, n, ds.nch, B);
  f.Write("\n");
  WriteRows(f, n, ds.ncsm, W);
  f.Write("\n");

  f.Printf("%d \n", ds.nenv);
  if (ds.nenv > 0) {
    f.Printf("%s \n", kEnvTypesTag);
    f.Printf("%d \n", ds.optEnvVarType);
    WriteInts(f, ds.envVarType, ds.nenv);
    WriteLabels(f, ds.envLabel, ds.nenv);
    f.Printf("%s \n", ds.envName.c_str());
    for (int v = 0; v < ds.nenv; ++v) {  // E is stored by variables
      std::string line;
      for (int c = 0; c < ds.ncsm; ++c) line += RoundTripText(ds.env[c][v]) + "\t";
      f.Write(line + "\n");
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
      WriteRows(f, n, ds.nClados, ds.phylogenyData);
    } else {
      WriteRows(f, n, n, ds.phylogenyRese);
    }
  }
  f.Printf("%d\n", ds.hasTraitGroups ? 1 : 0);
  if (ds.hasTraitGroups) WriteInts(f, ds.traitGroups, ds.nch);
  f.Write(TimeStampText());
  f.Commit();
}

void ReadFormda(Console& con, DataSet& ds, const std::string& path) {
  auto file = fopenck(con, path, "");
  if (!file) Abort(kAbortOpenFailed);
  ItemReader r(con, *file);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec) r.SetBudget(static_cast<long long>(size));
  ds.Release();
  // What an optional block sets must not survive from a previous data set.
  ds.optEnvVarType = 0;
  ds.envName.clear();
  ds.whichSpp.clear();
  ds.phylogenyMatrixType = 0;

  // The writer puts every header item, every matrix row and every label list
  // on a line of its own, so each is read as a whole line and must hold
  // exactly what the counts say.
  ds.dataName = r.Line(kTitleWidth, true, true, false);
  ds.nch = Count(r);
  ds.chLabel = r.LineWords(ds.nch, kLabelWidth);
  ds.chtype = r.LineInts(ds.nch, kMinType, kMaxType);
  ds.chrange.assign(Z(ds.nch), 0.0);
  r.Row(ds.chrange.data(), ds.nch);
  ds.onsta = r.LineInts(ds.nch, 0, kMaxCount);

  ds.ncsm = Count(r);
  ds.reLabel = r.LineWords(ds.ncsm, kLabelWidth);
  ds.tcst = Count(r);
  // B and W hold tcst rows, each on a line of its own.
  r.Fits(static_cast<long long>(ds.tcst) * std::max(1, ds.nch) +
         static_cast<long long>(ds.tcst) * std::max(1, ds.ncsm));
  for (int states : ds.onsta)
    if (states > ds.tcst) r.Fail();
  ds.nenv = 0;
  ds.nSpp = 0;
  ds.nClados = 0;
  ds.AllocateWorkingArrays();
  ds.ncst = r.LineInts(ds.ncsm, 0, kMaxCount);
  ds.ca_code.assign(kReservedCodes, 0.0);
  r.Row(ds.ca_code.data(), kReservedCodes);

  ds.csm_Float.Resize(ds.tcst, ds.nch);
  ds.cadat.Resize(ds.tcst, ds.ncsm);
  std::string tag = r.Word();
  const bool current = tag == kFormdaTag;
  if (current || tag == kFormdaTagNoGroups) {
    r.EndOfLine();
    ReadRows(r, ds.csm_Float);
    r.EndOfLine();  // the empty line after B
    ReadRows(r, ds.cadat);
    r.EndOfLine();
  } else {
    // Oldest layout: per OTU a word of two-character trait codes, then its
    // community values; the tag place holds the first OTU's codes.
    if (ds.tcst < 1 || ds.nch < 1) r.Fail();
    for (int i = 0; i < ds.tcst; ++i) {
      std::string code = i == 0 ? tag : r.Word();
      for (int k = 0; k < ds.nch; ++k) ds.csm_Float[i][k] = CodedState(r, code, k, ds.nch);
      for (int c = 0; c < ds.ncsm; ++c) ds.cadat[i][c] = r.Double();
    }
    r.EndOfLine();
  }

  ds.nenv = Count(r, std::max(1, ds.ncsm));
  ds.eVarSelect.assign(Z(ds.nenv), 0);
  ds.temEnvBin = ds.temEnvQual = ds.temEnvQuant = 0;
  if (ds.nenv > 0) {
    ds.env.Resize(ds.ncsm, ds.nenv);
    std::string word = r.Word();
    if (word == kEnvTypesTag) {
      r.EndOfLine();
      ds.optEnvVarType = r.IntIn(1, 5);
      r.EndOfLine();
      ds.envVarType = r.LineInts(ds.nenv, kMinType, kMaxType);
      ds.envLabel = r.LineWords(ds.nenv, kLabelWidth);
    } else {
      // Older E block: no types; the word read is the first label.
      ds.optEnvVarType = 2;
      ds.envVarType.assign(Z(ds.nenv), 3);
      ds.envLabel = r.LineWords(ds.nenv - 1, kLabelWidth);
      ds.envLabel.insert(ds.envLabel.begin(), CutTo(word, kLabelWidth));
    }
    ds.envName = r.Line(-1, true, true, false);
    std::vector<double> values(Z(ds.ncsm));
    for (int v = 0; v < ds.nenv; ++v) {  // one line per variable
      r.Row(values.data(), ds.ncsm);
      for (int c = 0; c < ds.ncsm; ++c) ds.env[c][v] = values[Z(c)];
    }
    // Ordinal variables are analysed with the quantitative ones, as the
    // formatting dialogue records them.
    for (int t : ds.envVarType) {
      if (t == 1) ds.temEnvBin = 1;
      if (t == 2) ds.temEnvQual = 1;
      if (t == 3 || t == 4) ds.temEnvQuant = 1;
    }
  }

  ds.nSpp = Count(r, 1 + static_cast<long long>(ds.ncsm) + ds.tcst);
  if (ds.nSpp > 0) {
    ds.spp.assign(Z(ds.nSpp), std::string());
    ds.sppRelMap.Resize(ds.nSpp, ds.ncsm);
    ds.cstSppMap.Resize(ds.tcst, ds.nSpp);
    ds.whichSpp = r.Line(kSpeciesFileWidth, true, true, false);
    for (auto& name : ds.spp) name = r.Line(kLabelWidth, true, false, true);
    for (int s = 0; s < ds.nSpp; ++s) r.CharRow(ds.sppRelMap[s], ds.ncsm, "0 1");
    for (int i = 0; i < ds.tcst; ++i) r.CharRow(ds.cstSppMap[i], ds.nSpp, "0 1");
  }

  // The split moving-window size and the phylogeny flag came later: files of
  // the older layouts without them go straight on to what follows, which is
  // kept unread. The current layout has always carried both.
  std::string word;
  ds.SMWSize = 1;
  if (r.TryWord(word)) {
    if (word == "SMW") {
      ds.SMWSize = r.IntIn(1, kMaxCount);
    } else if (current) {
      r.Fail();
    } else {
      r.PutBack(word);
    }
  } else if (current) {
    r.Fail();
  }
  ds.hasPhylogeny = false;
  if (r.TryWord(word)) {
    if (word == "0" || word == "1") {
      ds.hasPhylogeny = word == "1";
    } else if (current) {
      r.Fail();
    } else {
      r.PutBack(word);
    }
  } else if (current) {
    r.Fail();
  }
  if (ds.hasPhylogeny) {
    r.Fits(static_cast<long long>(ds.tcst) * ds.tcst);
    ds.phylogenyRese.Resize(ds.tcst, ds.tcst);
    ds.phylogenyMatrixType = r.IntIn(1, 3);
    r.EndOfLine();
    if (ds.phylogenyMatrixType == 2) {
      ds.nClados = Count(r, std::max(1, ds.tcst));
      ds.phylogenyVarType = r.LineInts(ds.nClados, kMinType, kMaxType);
      ds.phylogenyData.Resize(ds.tcst, ds.nClados);
      ReadRows(r, ds.phylogenyData);
    } else {
      ReadRows(r, ds.phylogenyRese);
    }
  }

  ds.traitGroups.assign(Z(ds.nch), 0);
  ds.hasTraitGroups = false;
  if (current) {
    ds.hasTraitGroups = r.IntIn(0, 1) != 0;
    r.EndOfLine();
    if (ds.hasTraitGroups) ds.traitGroups = r.LineInts(ds.nch, INT_MIN, INT_MAX);
    // Only the time stamp may follow: anything else means lines were lost
    // or repeated somewhere above.
    if (!r.RestIsTimeStamp()) r.Fail();
  } else if (!r.RestIsTimeStamp(true)) {
    // The older layouts may be followed by the trait-group lines of a later
    // writer, which are not read; nothing else.
    r.Fail();
  }
  file->Close();
}

}  // namespace kalios
