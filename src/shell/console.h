#pragma once
// Text input as the C library reads it: character by character with push-back,
// numbers and words as fscanf's "%lf", "%d" and "%s" take them. One class serves
// the console and data files, so a test can script any dialogue with a string.
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kalios {

class TextIn {
 public:
  static constexpr int kEof = -1;

  // Reads from a stream owned by someone else (standard input, a test's string).
  TextIn(std::istream& is, std::string name);
  // Opens a file for reading; null when it cannot be opened.
  static std::unique_ptr<TextIn> OpenFile(const std::string& path);

  TextIn(const TextIn&) = delete;
  TextIn& operator=(const TextIn&) = delete;

  int Get();
  void Unget(int c);
  int Peek();
  // After Close every read meets end of input. A borrowed stream (the console)
  // is never really closed: it is only marked as finished.
  void Close();
  bool closed() const { return closed_; }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }

  // fscanf equivalents: 1 when an item was converted, 0 on a matching failure
  // (the offending character stays in the input), kEof when input ended first.
  int ScanDouble(double& x);
  int ScanInt(int& x);
  int ScanWord(std::string& w);
  // Skips blanks, tabs, newlines and carriage returns.
  void SkipSpace();

 private:
  TextIn(std::unique_ptr<std::ifstream> owned, std::string name);
  int BeginNumber(std::string& s);
  int TakeDigits(int& c, std::string& s);
  std::unique_ptr<std::ifstream> owned_;
  std::istream* is_;
  std::string name_;
  std::vector<int> pushed_;
  bool closed_ = false;
};

// Where the progress line of long loops stands (see shell/progress.h).
struct ProgressLineState {
  int is40CharLine = 0;  // a progress line is open on the console
  int is80CharLine = 0;
  double t2 = 0;         // process-clock seconds of the last update
};

// The console: input, output and error streams of the dialogue.
struct Console {
  Console(std::istream& in_stream, std::ostream& out_stream, std::ostream& err_stream)
      : in(in_stream, "input"), out(out_stream), err(err_stream) {}
  TextIn in;
  std::ostream& out;
  std::ostream& err;
  ProgressLineState progress;
};

}  // namespace kalios
