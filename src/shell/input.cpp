#include "shell/input.h"

#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "shell/abort.h"
#include "shell/cformat.h"

namespace kalios {

namespace {

constexpr char kBell = '\a';

bool IsBlankOrControl(int c) { return c == ' ' || std::iscntrl(c); }

// Parses a blank-separated list of numbers ("1 2 3").
std::vector<double> ParseList(const std::string& list) {
  std::vector<double> values;
  const char* p = list.c_str();
  for (;;) {
    char* end = nullptr;
    double v = std::strtod(p, &end);
    if (end == p) break;
    values.push_back(v);
    p = end;
  }
  return values;
}

// The console is named "keyboard" while the file/keyboard choice is read.
int ScanCharNamed(Console& con, const std::string& accepted, const char* name) {
  std::string saved = con.in.name();
  con.in.set_name(name);
  int c = ScanChar(con, con.in, accepted);
  con.in.set_name(saved);
  return c;
}

// `wholeInt`: the number is kept as an int, so it must fit one.
double ScanNumberImpl(Console& con, TextIn& stream, const std::string& accepted, double lower,
                      double upper, const double* escape, bool wholeInt = false) {
  for (;;) {
    double x = 0;
    if (!freadck1(con, stream, x)) EndOfFileAbort(con, stream);
    if (escape != nullptr && x == *escape) return x;
    if (accepted.empty()) {
      // A number too large for a double (1e999) or for the int it becomes is
      // no answer: asked again as any number out of range is.
      const double low = wholeInt ? INT_MIN : -DBL_MAX, high = wholeInt ? INT_MAX : DBL_MAX;
      if (std::isfinite(x) && low <= x && x <= high) return x;
      con.out << kBell;
      Print(con.err, "\nIncorrect input = %g. Reenter.\n", x);
      Print(con.err, "Accepted input: %g to %g\n", low, high);
      continue;
    }
    if (accepted[0] == '-') {
      if (accepted == "-" && lower <= x && x <= upper) return x;
      con.out << kBell;
      Print(con.err, "\nIncorrect input = %g. Reenter.\n", x);
      Print(con.err, "Accepted input: %g to %g\n", lower, upper);
      continue;
    }
    for (double v : ParseList(accepted)) {
      if (v == x) return x;
    }
    con.out << kBell;
    Print(con.err, "\nIncorrect input = %g. Reenter.\n", x);
    Print(con.err, "Accepted input: %s\n", accepted.c_str());
  }
}

[[noreturn]] void ItemAbort(Console& con, TextIn& stream) {
  stream.Close();
  Print(con.err, "\nfile %s ", stream.name().c_str());
  con.err << kBell;
  Abort(kAbortEndOfFile);
}

int ReadField(Console& con, TextIn& stream, int n, std::string& buffer, bool wholeLine) {
  buffer.clear();
  int c;
  while ((c = stream.Get()) == ' ' || c == '\t' || c == '\n' || c == '\r') {
  }
  stream.Unget(c);
  if (n <= 0) return 0;
  for (;;) {
    c = stream.Get();
    if (c == TextIn::kEof) {
      if (buffer.empty()) ItemAbort(con, stream);
      return c;
    }
    if (c == '\n' || c == '\r' || (!wholeLine && c == '\t')) return c;
    buffer.push_back(wholeLine && c == '\t' ? ' ' : static_cast<char>(c));
    if (static_cast<int>(buffer.size()) >= n) return 0;
  }
}

}  // namespace

void EndOfFileAbort(Console& con, TextIn& stream) {
  stream.Close();
  Print(con.err, "\nfile %s ", stream.name().c_str());
  Abort(kAbortEndOfFile);
}

int ScanChar(Console& con, TextIn& stream, const std::string& accepted) {
  bool anySet = accepted.find_first_not_of(' ') != std::string::npos;
  for (;;) {
    int c = stream.Get();
    if (c == TextIn::kEof) EndOfFileAbort(con, stream);
    int lower = std::tolower(c);
    if (!anySet) {
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
      return lower;
    }
    for (char a : accepted) {
      if (a != ' ' && std::tolower(static_cast<unsigned char>(a)) == lower) return lower;
    }
    if (IsBlankOrControl(c)) continue;
    con.out << kBell;
    Print(con.err, "\nIncorrect input = %c. Reenter.\n", lower);
    Print(con.err, "Accepted input: %s\n", accepted.c_str());
  }
}

int ReadCharIn(Console& con, const std::string& accepted) { return ScanChar(con, con.in, accepted); }

double ScanNumber(Console& con, TextIn& stream, const std::string& accepted, double lower,
                  double upper) {
  return ScanNumberImpl(con, stream, accepted, lower, upper, nullptr);
}

double ReadNumberIn(Console& con, const std::string& accepted, double lower, double upper) {
  return ScanNumber(con, con.in, accepted, lower, upper);
}

int freadck1(Console& con, TextIn& stream, double& x) {
  for (;;) {
    int r = stream.ScanDouble(x);
    if (r == 1) return 1;
    if (r == TextIn::kEof) {
      stream.Close();
      Print(con.err, "\nEnd of file %s\n", stream.name().c_str());
      con.err << kBell;
      return 0;
    }
    stream.Get();  // pass over a character that cannot start a number
  }
}

void freadck(Console& con, TextIn& stream, double& x) {
  if (stream.ScanDouble(x) != 1) ItemAbort(con, stream);
}

void freadck(Console& con, TextIn& stream, float& x) {
  double d = 0;
  freadck(con, stream, d);
  x = static_cast<float>(d);
}

void freadck(Console& con, TextIn& stream, int& x) {
  if (stream.ScanInt(x) != 1) ItemAbort(con, stream);
}

void freadck(Console& con, TextIn& stream, std::string& word) {
  if (stream.ScanWord(word) != 1) ItemAbort(con, stream);
}

std::string ReadStringIn(Console& con) {
  std::string word;
  freadck(con, con.in, word);
  return word;
}

bool ScanString(Console& con, TextIn& stream, int n, std::string& word) {
  std::string w;
  if (stream.ScanWord(w) != 1) {
    stream.Close();
    Print(con.err, "\nEnd of file %s\n", stream.name().c_str());
    con.err << kBell;
    return false;
  }
  if (n >= 0 && static_cast<int>(w.size()) > n) w.resize(static_cast<size_t>(n));
  word = w;
  return true;
}

int freadlineck(Console& con, TextIn& stream, int n, std::string& buffer) {
  return ReadField(con, stream, n, buffer, false);
}

int freadlineckTEMP(Console& con, TextIn& stream, int n, std::string& buffer) {
  return ReadField(con, stream, n, buffer, true);
}

std::string ReadLineIn(Console& con, int n) {
  std::string line;
  freadlineck(con, con.in, n, line);
  return line;
}

std::unique_ptr<TextIn> fopenck(Console& con, const std::string& name, const std::string& directory) {
  std::string path = directory + name;
  auto f = TextIn::OpenFile(path);
  if (!f) {
    Print(con.err, "\ncan't open %s \n", path.c_str());
    con.out << kBell;
  }
  return f;
}

std::unique_ptr<std::ofstream> fopenckWrite(Console& con, const std::string& name,
                                            const std::string& directory, bool append) {
  std::string path = directory + name;
  auto f = std::make_unique<std::ofstream>(
      path, std::ios::out | std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  if (!f->is_open()) {
    Print(con.err, "\ncan't open %s \n", path.c_str());
    con.out << kBell;
    return nullptr;
  }
  return f;
}

std::unique_ptr<TextIn> ReadDataFileName(Console& con, std::string* name) {
  for (;;) {
    Print(con.out, "Enter data file name: ");
    std::string fileName;
    freadlineck(con, con.in, 150, fileName);
    auto f = fopenck(con, fileName, "");
    if (f) {
      if (name) *name = fileName;
      return f;
    }
  }
}

namespace {

// Asks whether an entry comes from a file or the keyboard; for a file, asks its
// name and opens it. kRetry when the file could not be opened.
enum class Source { kKeyboard, kFile, kRetry };

Source ChooseSource(Console& con, const std::string& filePrompt, std::unique_ptr<TextIn>& file) {
  Print(con.out, "Read input from file (f) or from the keyboard (k)? f/k ");
  int c = ScanCharNamed(con, "f k", "keyboard");
  Print(con.out, "\n");
  if (c != 'f') return Source::kKeyboard;
  Print(con.out, "%s", filePrompt.c_str());
  std::string fileName;
  if (!ScanString(con, con.in, 150, fileName)) EndOfFileAbort(con, con.in);
  file = fopenck(con, fileName, "");
  if (!file) {
    Print(con.out, "\n");
    return Source::kRetry;
  }
  return Source::kFile;
}

}  // namespace

int ReadLongInput(Console& con, int n, int width, std::vector<std::string>& labels,
                  const std::string& what) {
  labels.assign(static_cast<size_t>(n > 0 ? n : 0), std::string());
  for (;;) {
    std::unique_ptr<TextIn> f;
    Source source = ChooseSource(con, "Enter name of file containing the labels: ", f);
    if (source == Source::kRetry) continue;
    bool complete = true;
    if (source == Source::kFile) {
      for (int i = 0; i < n; ++i) {
        std::string w;
        freadck(con, *f, w);
        if (static_cast<int>(w.size()) > width) w.resize(static_cast<size_t>(width));
        labels[static_cast<size_t>(i)] = w;
      }
      f->Close();
      Print(con.out, "%s:\t", what.c_str());
      for (int i = 0; i < n; ++i) Print(con.out, "%s\t", labels[static_cast<size_t>(i)].c_str());
      Print(con.out, "\n");
    } else {
      Print(con.out, "Enter %s:\t", what.c_str());
      for (int i = 0; i < n && complete; ++i) {
        if (!ScanString(con, con.in, width, labels[static_cast<size_t>(i)])) complete = false;
      }
      if (!complete) continue;
    }
    Print(con.out, "Are these correct? y/n ");
    if (ReadCharIn(con, "y n") == 'y') return 1;
  }
}

int ReadLongInput(Console& con, int n, std::vector<int>& values, const std::string& what,
                  const std::string& accepted) {
  values.assign(static_cast<size_t>(n > 0 ? n : 0), 0);
  const double escape = -1;
  for (;;) {
    std::unique_ptr<TextIn> f;
    Source source = ChooseSource(con, Format("Enter name of file containing %s: ", what.c_str()), f);
    if (source == Source::kRetry) continue;
    bool abandoned = false;
    if (source == Source::kFile) {
      for (int i = 0; i < n && !abandoned; ++i) {
        double x = ScanNumberImpl(con, *f, accepted, 0, 0, &escape, true);
        if (x == escape) abandoned = true;
        values[static_cast<size_t>(i)] = static_cast<int>(x);
      }
      f->Close();
      if (!abandoned) {
        Print(con.out, "%s:\t", what.c_str());
        for (int i = 0; i < n; ++i) Print(con.out, "%d\t", values[static_cast<size_t>(i)]);
        Print(con.out, "\n");
      }
    } else {
      Print(con.out, "Enter %s: \t", what.c_str());
      for (int i = 0; i < n && !abandoned; ++i) {
        double x = ScanNumberImpl(con, con.in, accepted, 0, 0, &escape, true);
        if (x == escape) abandoned = true;
        values[static_cast<size_t>(i)] = static_cast<int>(x);
      }
    }
    if (abandoned) {
      Print(con.out, "\n");
      continue;
    }
    Print(con.out, "Are these correct? y/n ");
    if (ReadCharIn(con, "y n") == 'y') return 1;
  }
}

int StrCmp(const std::string& a, const std::string& b) {
  std::string ua = a, ub = b;
  StrToUpper(ua);
  StrToUpper(ub);
  return std::strcmp(ua.c_str(), ub.c_str());
}

void StrToUpper(std::string& text) {
  for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
}

}  // namespace kalios
