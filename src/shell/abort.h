#pragma once
// The single abort path. Any routine that cannot go on throws AbortError with
// one of the codes below; the session loop and the main menu catch it, print
// the code's message, wait for the user and end the process with status 1.
#include <exception>
#include <string>
#include <utility>

namespace kalios {

enum AbortCode : int {
  kAbortOutOfMemory = 1,  // allocation failure or a numerical routine that cannot go on
  kAbortEndOfFile = 2,    // end of input on the console or a data file
  kAbortWriteFailed = 3,  // a failed write to a file
  kAbortOpenFailed = 4,   // a file the program cannot do without cannot be opened
};

class AbortError : public std::exception {
 public:
  explicit AbortError(int code) : code_(code) {}
  // A cause the user should read before the code's message (the abort
  // handler prints it on its own line); empty for most aborts.
  AbortError(int code, std::string cause) : code_(code), cause_(std::move(cause)) {}
  int code() const noexcept { return code_; }
  const std::string& cause() const noexcept { return cause_; }
  const char* what() const noexcept override { return cause_.empty() ? "KALIOS abort" : cause_.c_str(); }

 private:
  int code_;
  std::string cause_;
};

[[noreturn]] inline void Abort(int code) { throw AbortError(code); }

}  // namespace kalios
