#pragma once
// Item-by-item reading of the session's text files (formatted data, track,
// preferences). Every missing or unreadable item, and every count outside the
// range the file's own structure allows, ends in the end-of-file abort (code 2)
// naming the file, so a damaged file can never index past an array.
#include <string>

#include "shell/console.h"

namespace kalios {

class ItemReader {
 public:
  ItemReader(Console& con, TextIn& in) : con_(con), in_(in) {}

  int Int();
  float Float();
  double Double();
  // An int within [lower, upper]; anything else is a damaged file.
  int IntIn(int lower, int upper);
  // A word (blank-delimited), cut to n characters when n >= 0.
  std::string Word(int n = -1);
  // The next word, or false at the end of the file (nothing is consumed then).
  bool TryWord(std::string& word);
  // Puts a word read with TryWord back, so it is the next item again.
  void PutBack(const std::string& word);
  // True when only white space is left.
  bool AtEnd();
  // A whole line of text, cut to n characters. Unless `atLineStart`, what is
  // left of the current line is passed over first when it is only white space.
  // One trailing blank (the writers put one after names) is dropped when
  // `dropTrailingBlank`; tabs become blanks when `tabsToBlanks`.
  std::string Line(int n, bool atLineStart, bool dropTrailingBlank, bool tabsToBlanks);
  // One character of the accepted set; others are reported and skipped.
  int Char(const std::string& accepted);

  [[noreturn]] void Fail();
  TextIn& stream() { return in_; }

 private:
  Console& con_;
  TextIn& in_;
};

}  // namespace kalios
