#include "session/tsv_table.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "session/safe_write.h"
#include "shell/abort.h"
#include "shell/cformat.h"

namespace kalios {
namespace {

bool Exists(const std::string& path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0;
}

// The whole file, or nothing when it cannot be read.
bool ReadAll(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string FreeAsideName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExt ? path.substr(0, dot) : path;
  const std::string ext = hasExt ? path.substr(dot) : "";
  for (int n = 1;; ++n) {
    std::string name = stem + "." + std::to_string(n) + ext;
    if (!Exists(name)) return name;
  }
}

}  // namespace

std::string TsvNumber(double v) {
  if (std::isnan(v)) return "";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  // The shortest text that reads back to the same double, whatever the locale.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string TsvText(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return out;
}

std::string TsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += '\t';
    line += cells[i];
  }
  return line + '\n';
}

TsvAppendPlan PlanTsvAppend(const std::string& path, const std::string& header, bool append) {
  TsvAppendPlan plan;
  std::string content;
  if (!append || !Exists(path) || !ReadAll(path, content) || content.empty()) return plan;
  const std::string first = content.substr(0, content.find('\n'));
  if (first == header)
    plan.keepRows = true;
  else
    plan.setAside = FreeAsideName(path);
  return plan;
}

void WriteTsvTable(const std::string& path, const std::string& header, const std::string& rows,
                   const TsvAppendPlan& plan, std::ostream& report) {
  std::string earlier;
  if (plan.keepRows && ReadAll(path, earlier) && !earlier.empty() && earlier.back() != '\n') earlier += '\n';
  if (!plan.setAside.empty() && std::rename(path.c_str(), plan.setAside.c_str()) != 0) {
    Print(report, "\nfile %s ", path.c_str());
    Abort(kAbortWriteFailed);
  }
  AtomicTextFile file(path, report);
  if (!file.Open()) {
    Print(report, "\nfile %s ", path.c_str());
    Abort(kAbortWriteFailed);
  }
  file.Write(earlier.empty() ? header + "\n" : earlier);
  file.Write(rows);
  file.Commit();
}

}  // namespace kalios
