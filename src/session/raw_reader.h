#pragma once
// Reading the numbers and labels of a raw data file (traits, communities,
// ecosystem variables, phylogeny). A file must never be read shifted without
// a word: words without a digit are passed over as headers (unless the file
// is read strictly), but anything that holds a digit and is not one plain
// number, a missing-value word such as NA, a value that is not finite,
// numbers left over and labels that do not match the count are reported,
// naming the file, the line and the token, and the caller asks for the file
// again.
#include <string>
#include <vector>

#include "shell/console.h"

namespace kalios {

class RawReader {
 public:
  // With `strict`, a word without a digit where a number is expected is
  // refused too (the ecosystem file has no headers).
  RawReader(Console& con, TextIn& file, bool strict);

  // The next number; false once a problem has been reported.
  bool Number(double& x);
  // After the numbers: exactly n labels, single words cut to `width`
  // characters, and nothing after them.
  bool Labels(int n, int width, std::vector<std::string>& labels);
  // After the numbers when the labels are not read from the file: no number
  // may be left over (trailing words are passed over).
  bool NothingLeft();

  int numbers_read() const { return count_; }

 private:
  // The next blank-separated token and the line it starts on; false at the end.
  bool Token(std::string& token, int& line);
  bool Refuse(int line, const std::string& token, const char* why);

  Console& con_;
  TextIn& file_;
  bool strict_;
  int line_ = 1;
  int count_ = 0;
};

// Why a token that holds a digit is not one plain number, or null when it is.
// Sets x to its value when it is.
const char* NumberProblem(const std::string& token, double& x);

}  // namespace kalios
