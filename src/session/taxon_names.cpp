#include "session/taxon_names.h"

#include <cctype>

namespace kalios {

namespace {

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

constexpr char kCodeFill = '_';

// Removes species j: the later names and membership columns move one place left.
void RemoveSpecies(DataSet& ds, int j) {
  ds.spp.erase(ds.spp.begin() + j);
  for (int i = 0; i < ds.tcst; ++i)
    for (int s = j; s + 1 < ds.nSpp; ++s) ds.cstSppMap[i][s] = ds.cstSppMap[i][s + 1];
  for (int i = 0; i < ds.tcst; ++i) ds.cstSppMap[i][ds.nSpp - 1] = '0';
  --ds.nSpp;
}

// Changes a code that collides with an earlier species' code until it is
// unique among the first n names: upper-case its characters one after the
// other, then raise each by one; if it still collides, try replacement
// characters for its last places, from the last one back.
std::string MakeCodeUnique(std::string code, const std::vector<std::string>& names, int n) {
  if (!CheckIdenticalLabels(code, names, n)) return code;
  for (int k = 0; k < kSpeciesCodeWidth; ++k) {
    code[Z(k)] = static_cast<char>(std::toupper(static_cast<unsigned char>(code[Z(k)])));
    if (!CheckIdenticalLabels(code, names, n)) return code;
  }
  for (int k = 0; k < kSpeciesCodeWidth; ++k) {
    unsigned char c = static_cast<unsigned char>(code[Z(k)]);
    // Stay among printable characters so that the code can be shown and read back.
    code[Z(k)] = static_cast<char>(c >= 0x20 && c < 0x7e ? c + 1 : 'A');
    if (!CheckIdenticalLabels(code, names, n)) return code;
  }
  static const std::string kAlphabet =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const size_t base = kAlphabet.size();
  for (int places = 1; places <= kSpeciesCodeWidth; ++places) {
    size_t combos = 1;
    for (int p = 0; p < places; ++p) combos *= base;
    for (size_t v = 0; v < combos; ++v) {
      std::string candidate = code;
      size_t rest = v;
      for (int p = 0; p < places; ++p) {
        candidate[Z(kSpeciesCodeWidth - 1 - p)] = kAlphabet[rest % base];
        rest /= base;
      }
      if (!CheckIdenticalLabels(candidate, names, n)) return candidate;
    }
  }
  return code;  // more species than codes: cannot happen with 62^4 codes
}

}  // namespace

int CheckIdenticalLabels(const std::string& code, const std::vector<std::string>& names, int n) {
  const std::string head = code.substr(0, kSpeciesCodeWidth);
  for (int i = 0; i < n && Z(i) < names.size(); ++i)
    if (names[Z(i)].substr(0, kSpeciesCodeWidth) == head) return 1;
  return 0;
}

std::string SpeciesCode(const std::string& name) {
  std::string code = name.substr(0, 2);
  size_t blank = name.find(' ', 2);
  if (blank != std::string::npos) code += name.substr(blank + 1, 2);
  // A code that takes fewer than 4 characters from the name (short name,
  // no epithet, trailing blanks) is filled up so that codes stay 4 visible
  // characters.
  for (char& c : code)
    if (c == ' ') c = kCodeFill;
  code.resize(kSpeciesCodeWidth, kCodeFill);
  return code;
}

void CheckSpecies(DataSet& ds, int labelOption) {
  ds.nSpp = ds.tcst;
  ds.spp.resize(Z(ds.tcst));
  for (int i = 0; i < ds.tcst; ++i)
    for (int s = 0; s < ds.tcst; ++s) ds.cstSppMap[i][s] = i == s ? '1' : '0';

  for (int i = 0; i < ds.nSpp; ++i) {
    // j stays put after a removal: the next species has moved into place j.
    for (int j = i + 1; j < ds.nSpp;) {
      if (ds.spp[Z(i)] != ds.spp[Z(j)]) {
        ++j;
        continue;
      }
      for (int o = 0; o < ds.tcst; ++o)
        if (ds.cstSppMap[o][j] == '1') ds.cstSppMap[o][i] = '1';
      RemoveSpecies(ds, j);
    }
  }

  if (labelOption == 2) {
    for (int i = 0; i < ds.nSpp; ++i) {
      std::string& name = ds.spp[Z(i)];
      std::string code = MakeCodeUnique(SpeciesCode(name), ds.spp, i);
      name = code + " " + name.substr(0, kSpeciesNameAfterCode);
    }
  }
}

void SpeciesReleveMap(DataSet& ds) {
  for (int s = 0; s < ds.nSpp; ++s) {
    for (int c = 0; c < ds.ncsm; ++c) {
      char present = '0';
      for (int i = 0; i < ds.tcst && present == '0'; ++i)
        if (ds.cstSppMap[i][s] == '1' && ds.cadat[i][c] != 0) present = '1';
      ds.sppRelMap[s][c] = present;
    }
  }
}

}  // namespace kalios
