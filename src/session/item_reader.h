#pragma once
// Item-by-item reading of the session's text files (formatted data, track,
// preferences). Every missing or unreadable item, and every count outside the
// range the file's own structure allows, ends in the end-of-file abort (code 2)
// naming the file, so a damaged file can never index past an array.
#include <string>
#include <vector>

#include "shell/console.h"

namespace kalios {

class ItemReader {
 public:
  ItemReader(Console& con, TextIn& in) : con_(con), in_(in) {}

  int Int();
  float Float();
  // A finite number; inf or nan (or a value beyond the range of double) is damage.
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

  // The words of one whole line: exactly n of them, each cut to `width`
  // characters when width >= 0.
  std::vector<std::string> LineWords(int n, int width = -1);
  // One whole line of exactly n ints within [lower, upper].
  std::vector<int> LineInts(int n, int lower, int upper);
  // One whole line of exactly n characters of the accepted set; other
  // characters are reported as a wrong answer is, and passed over.
  void CharRow(char* row, int n, const std::string& accepted);
  // One line of exactly n numbers, as the writers put each matrix row on its
  // own line: a deleted, glued or shortened line is found here.
  void Row(double* row, int n);
  // Passes over blanks to the end of the current line; anything else is damage.
  void EndOfLine();
  // Counts from the file are checked against its size before anything is
  // allocated for them: every item takes at least one character.
  void SetBudget(long long bytes) { budget_ = bytes; }
  void Fits(long long items);
  // True when what is left is nothing or the one time-stamp line the writers
  // end with; with `afterIntegerLines`, lines of integers may come first.
  bool RestIsTimeStamp(bool afterIntegerLines = false);

  [[noreturn]] void Fail();
  TextIn& stream() { return in_; }

 private:
  Console& con_;
  TextIn& in_;
  long long budget_ = -1;  // no limit
};

}  // namespace kalios
