#include "session/item_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"

namespace kalios {

void ItemReader::Fail() {
  in_.Close();
  Print(con_.err, "\nfile %s ", in_.name().c_str());
  con_.err << '\a';
  Abort(kAbortEndOfFile);
}

int ItemReader::Int() {
  int x = 0;
  freadck(con_, in_, x);
  // "1.25" or "3x" where an int belongs is damage, not an int and a remainder.
  int c = in_.Peek();
  if (c != TextIn::kEof && !std::isspace(c)) Fail();
  return x;
}

float ItemReader::Float() {
  float x = 0;
  freadck(con_, in_, x);
  return x;
}

double ItemReader::Double() {
  double x = 0;
  freadck(con_, in_, x);
  if (!std::isfinite(x)) Fail();
  return x;
}

namespace {

// The rest of the current line, without its newline; false at the end of the file.
bool RestOfLine(TextIn& in, std::string& line) {
  line.clear();
  int c = in.Get();
  if (c == TextIn::kEof) return false;
  for (; c != TextIn::kEof && c != '\n'; c = in.Get()) line.push_back(static_cast<char>(c));
  return true;
}

}  // namespace

std::vector<std::string> ItemReader::LineWords(int n, int width) {
  std::string line;
  if (!RestOfLine(in_, line) && n > 0) Fail();
  std::vector<std::string> words;
  std::string w;
  for (char ch : line + " ") {
    if (std::isspace(static_cast<unsigned char>(ch))) {
      if (!w.empty()) words.push_back(width >= 0 ? w.substr(0, static_cast<size_t>(width)) : w);
      w.clear();
    } else {
      w.push_back(ch);
    }
  }
  if (static_cast<int>(words.size()) != n) Fail();
  return words;
}

std::vector<int> ItemReader::LineInts(int n, int lower, int upper) {
  std::vector<int> values;
  for (const auto& w : LineWords(n)) {
    char* end = nullptr;
    long v = std::strtol(w.c_str(), &end, 10);
    if (*end != '\0' || v < lower || v > upper) Fail();
    values.push_back(static_cast<int>(v));
  }
  return values;
}

void ItemReader::CharRow(char* row, int n, const std::string& accepted) {
  std::string line;
  if (!RestOfLine(in_, line) && n > 0) Fail();
  int count = 0;
  for (char ch : line) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == ' ' || c == '\t' || c == '\r') continue;
    if (accepted.find(static_cast<char>(c)) == std::string::npos) {
      con_.out << '\a';
      Print(con_.err, "\nIncorrect input = %c. Reenter.\n", std::tolower(c));
      Print(con_.err, "Accepted input: %s\n", accepted.c_str());
      continue;
    }
    if (count == n) Fail();
    row[count++] = static_cast<char>(c);
  }
  if (count != n) Fail();
}

void ItemReader::Row(double* row, int n) {
  for (int j = 0; j < n; ++j) {
    int c;
    while ((c = in_.Get()) == ' ' || c == '\t' || c == '\r') {
    }
    in_.Unget(c);
    if (c == '\n' || c == TextIn::kEof) Fail();
    row[j] = Double();
    c = in_.Peek();
    if (c != TextIn::kEof && !std::isspace(c)) Fail();  // "1.5x" is no number
  }
  EndOfLine();
}

void ItemReader::EndOfLine() {
  int c;
  while ((c = in_.Get()) == ' ' || c == '\t' || c == '\r') {
  }
  if (c != '\n' && c != TextIn::kEof) Fail();
}

void ItemReader::Fits(long long items) {
  if (items < 0 || (budget_ >= 0 && items > budget_)) Fail();
}

bool ItemReader::RestIsTimeStamp(bool afterIntegerLines) {
  std::string rest;
  for (int c; (c = in_.Get()) != TextIn::kEof;) rest.push_back(static_cast<char>(c));
  while (afterIntegerLines) {
    size_t end = rest.find('\n');
    std::string line = rest.substr(0, end);
    if (line.find_first_not_of("0123456789+- \t\r") != std::string::npos) break;
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    if (rest.empty()) break;
  }
  size_t first = rest.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return true;
  size_t last = rest.find_last_not_of(" \t\r\n");
  rest = rest.substr(first, last - first + 1);
  // ctime's layout: "Sun Dec  6 11:05:13 2026"
  char weekday[4], month[4];
  int day = 0, h = 0, m = 0, s = 0, year = 0, used = 0;
  if (std::sscanf(rest.c_str(), "%3[A-Za-z] %3[A-Za-z] %d %d:%d:%d %d%n", weekday, month, &day, &h,
                  &m, &s, &year, &used) != 7)
    return false;
  return used == static_cast<int>(rest.size());
}

int ItemReader::IntIn(int lower, int upper) {
  int x = Int();
  if (x < lower || x > upper) Fail();
  return x;
}

std::string ItemReader::Word(int n) {
  std::string w;
  freadck(con_, in_, w);
  return n >= 0 ? w.substr(0, std::min(w.size(), static_cast<size_t>(n))) : w;
}

bool ItemReader::TryWord(std::string& word) { return in_.ScanWord(word) == 1; }

void ItemReader::PutBack(const std::string& word) {
  for (auto it = word.rbegin(); it != word.rend(); ++it) in_.Unget(static_cast<unsigned char>(*it));
}

bool ItemReader::AtEnd() {
  in_.SkipSpace();
  return in_.Peek() == TextIn::kEof;
}

std::string ItemReader::Line(int n, bool atLineStart, bool dropTrailingBlank, bool tabsToBlanks) {
  int c;
  if (!atLineStart) {
    while ((c = in_.Get()) == ' ' || c == '\t' || c == '\r') {
    }
    if (c != '\n') in_.Unget(c);
  }
  std::string line;
  bool any = false;
  for (;;) {
    c = in_.Get();
    if (c == TextIn::kEof) {
      if (!any) Fail();
      break;
    }
    any = true;
    if (c == '\n') break;
    line.push_back(tabsToBlanks && c == '\t' ? ' ' : static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (dropTrailingBlank && !line.empty() && line.back() == ' ') line.pop_back();
  if (n >= 0 && line.size() > static_cast<size_t>(n)) line.resize(static_cast<size_t>(n));
  return line;
}

int ItemReader::Char(const std::string& accepted) { return ScanChar(con_, in_, accepted); }

}  // namespace kalios
