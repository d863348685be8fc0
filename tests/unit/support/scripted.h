#pragma once
// A console driven by a typed script, and captures of what routines print.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/abort.h"
#include "shell/app.h"
#include "shell/console.h"

namespace kalios::test {

// The answers of a dialogue (or nothing) on `in`; what the program wrote on out and err.
struct Scripted {
  explicit Scripted(const std::string& text = "") : in(text), con(in, out, err) {}
  std::istringstream in;
  std::ostringstream out, err;
  Console con;
};

// The same with the application context around the console.
struct ScriptedApp : Scripted {
  explicit ScriptedApp(const std::string& text = "") : Scripted(text), app(con) {}
  App app;
};

// One answer per line.
inline std::string Lines(const std::vector<std::string>& answers) {
  std::string text;
  for (const auto& a : answers) text += a + "\n";
  return text;
}

// The Abort code raised by f, 0 when it returns.
inline int AbortCodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AbortError& e) {
    return e.code();
  }
  return 0;
}

// Captures what a routine writes to standard error.
class CerrCapture {
 public:
  CerrCapture() : old_(std::cerr.rdbuf(buf_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(old_); }
  CerrCapture(const CerrCapture&) = delete;
  CerrCapture& operator=(const CerrCapture&) = delete;
  std::string text() const { return buf_.str(); }

 private:
  std::ostringstream buf_;
  std::streambuf* old_;
};

}  // namespace kalios::test
