#include "session/raw_reader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "shell/cformat.h"

namespace kalios {

namespace {

// Tokens are shown cut, so that a 400-digit number stays readable.
constexpr size_t kShownWidth = 40;

bool HasDigit(const std::string& t) {
  for (unsigned char c : t)
    if (std::isdigit(c)) return true;
  return false;
}

std::string Upper(const std::string& t) {
  std::string u = t;
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// Words that stand for a value without holding a digit: a file that writes
// missing values as NA would otherwise be read shifted.
const char* WordProblem(const std::string& token) {
  // Lone marks that spreadsheets and other programs write for a missing value.
  if (token == "-" || token == "." || token == "?" || token == "*")
    return "is not a number: write missing values as -999";
  std::string u = Upper(token);
  if (!u.empty() && (u[0] == '+' || u[0] == '-')) u.erase(0, 1);
  if (u == "NA" || u == "N/A" || u == "NAN" || u == "NULL")
    return "is not a number: write missing values as -999";
  if (u == "INF" || u == "INFINITY") return "is not a finite number";
  return nullptr;
}

// A plain decimal number: sign, digits with an optional point, optional exponent.
bool PlainNumber(const std::string& t) {
  size_t i = 0, n = t.size();
  if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < n && t[i] == '.') {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == n;
}

}  // namespace

const char* NumberProblem(const std::string& t, double& x) {
  bool ascii = true, letters = false;
  for (unsigned char c : t) {
    if (c >= 0x80) ascii = false;
    if (std::isalpha(c)) letters = true;
  }
  if (!ascii) {
    // U+2212 minus, U+2012 figure dash and U+2013 en dash as word processors write them.
    for (const char* dash : {"\xE2\x88\x92", "\xE2\x80\x92", "\xE2\x80\x93"})
      if (t.find(dash) != std::string::npos) return "has a minus sign other than '-'";
    return "is not a plain number";
  }
  if (t.find(',') != std::string::npos)
    return "holds a comma: write decimals with a point and separate values by blanks or tabs";
  if (!PlainNumber(t)) return letters ? "mixes letters and digits" : "is not a number";
  x = std::strtod(t.c_str(), nullptr);
  if (!std::isfinite(x)) return "is not a finite number";
  return nullptr;
}

RawReader::RawReader(Console& con, TextIn& file, bool strict)
    : con_(con), file_(file), strict_(strict) {}

bool RawReader::Token(std::string& token, int& line) {
  int c;
  while ((c = file_.Get()) != TextIn::kEof && std::isspace(c)) {
    if (c == '\n') ++line_;
  }
  if (c == TextIn::kEof) return false;
  line = line_;
  token.clear();
  while (c != TextIn::kEof && !std::isspace(c)) {
    token.push_back(static_cast<char>(c));
    c = file_.Get();
  }
  file_.Unget(c);
  return true;
}

bool RawReader::Refuse(int line, const std::string& token, const char* why) {
  std::string shown = token.size() > kShownWidth ? token.substr(0, kShownWidth) + "..." : token;
  Print(con_.err, "\nfile %s, line %d, value %d: \"%s\" %s\n", file_.name().c_str(), line,
        count_ + 1, shown.c_str(), why);
  return false;
}

bool RawReader::Number(double& x) {
  std::string token;
  int line = 0;
  for (;;) {
    if (!Token(token, line)) {
      Print(con_.err, "\nEnd of file %s\n", file_.name().c_str());
      con_.err << '\a';
      return false;
    }
    if (const char* why = WordProblem(token)) return Refuse(line, token, why);
    if (!HasDigit(token)) {
      if (strict_) return Refuse(line, token, "is not a number");
      continue;  // a header word
    }
    if (const char* why = NumberProblem(token, x)) return Refuse(line, token, why);
    ++count_;
    return true;
  }
}

bool RawReader::Labels(int n, int width, std::vector<std::string>& labels) {
  std::vector<std::string> words;
  std::vector<int> lines;
  std::string token;
  int line = 0;
  while (Token(token, line)) {
    words.push_back(token);
    lines.push_back(line);
  }
  const int found = static_cast<int>(words.size());
  if (found > n) {
    // Numbers in front of the labels are values the declared counts left over.
    int surplus = 0;
    double x = 0;
    while (surplus < found - n && HasDigit(words[static_cast<size_t>(surplus)]) &&
           NumberProblem(words[static_cast<size_t>(surplus)], x) == nullptr)
      ++surplus;
    if (surplus > 0) {
      Print(con_.err, "\nfile %s, line %d: %d numbers left over before the labels\n",
            file_.name().c_str(), lines[0], surplus);
      return false;
    }
  }
  if (found != n) {
    Print(con_.err,
          "\nfile %s: %d labels expected after the numbers, %d words found (a label is one word, "
          "without blanks)\n",
          file_.name().c_str(), n, found);
    return false;
  }
  labels.assign(words.begin(), words.end());
  for (auto& l : labels)
    if (width >= 0 && static_cast<int>(l.size()) > width) l.resize(static_cast<size_t>(width));
  return true;
}

bool RawReader::NothingLeft() {
  std::string token;
  int line = 0, surplus = 0, first = 0;
  while (Token(token, line)) {
    double x = 0;
    if (HasDigit(token) && NumberProblem(token, x) == nullptr) {
      if (surplus++ == 0) first = line;
    }
  }
  if (surplus == 0) return true;
  Print(con_.err, "\nfile %s, line %d: %d numbers left over after the %d expected\n",
        file_.name().c_str(), first, surplus, count_);
  return false;
}

}  // namespace kalios
