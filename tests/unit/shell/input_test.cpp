// The console input layer: accepted sets, ranges, end of input, and items read
// from data files.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "shell/abort.h"
#include "shell/input.h"
#include "support/scripted.h"

namespace kalios {
namespace {

using test::AbortCodeOf;
using test::Scripted;

TEST(ScanChar, RefusesUnlistedLettersAndLeavesTheRestOfTheLine) {
  Scripted s("bo rest\n");
  EXPECT_EQ(ReadCharIn(s.con, "N O S A X"), 'o');
  EXPECT_EQ(s.err.str(), "\nIncorrect input = b. Reenter.\nAccepted input: N O S A X\n");
  EXPECT_EQ(s.out.str(), "\a");
  std::string next;
  EXPECT_EQ(s.con.in.ScanWord(next), 1);
  EXPECT_EQ(next, "rest");
}

TEST(ScanChar, CaseInsensitiveSkipsBlanksAndAbortsAtEndOfInput) {
  Scripted s("  \n\tY");
  EXPECT_EQ(ReadCharIn(s.con, "y n"), 'y');
  EXPECT_EQ(s.err.str(), "");
  Scripted any("\n  Q");
  EXPECT_EQ(ReadCharIn(any.con, ""), 'q');
  Scripted end("   \n");
  EXPECT_EQ(AbortCodeOf([&] { ReadCharIn(end.con, "y n"); }), kAbortEndOfFile);
  EXPECT_EQ(end.err.str(), "\nfile input ");
  // The console is never read again once it ended.
  EXPECT_EQ(end.con.in.Get(), TextIn::kEof);
}

TEST(ScanNumber, ListRangeAndEndOfInput) {
  // A list accepts equal values only; a range shows its bounds in short form.
  Scripted s("2.5 2.0");
  EXPECT_EQ(ReadNumberIn(s.con, "1 2 3"), 2.0);
  EXPECT_EQ(s.err.str(), "\nIncorrect input = 2.5. Reenter.\nAccepted input: 1 2 3\n");
  Scripted r("0 7");
  EXPECT_EQ(ReadNumberIn(r.con, "-", 1, 2147483647), 7);
  EXPECT_EQ(r.err.str(), "\nIncorrect input = 0. Reenter.\nAccepted input: 1 to 2.14748e+09\n");
  Scripted e("5 ");
  EXPECT_EQ(AbortCodeOf([&] { ReadNumberIn(e.con, "1 2 3"); }), kAbortEndOfFile);
  EXPECT_NE(e.err.str().find("\nfile input "), std::string::npos);
}

TEST(DataItems, TextAmongNumbersIsSkippedButAbortsAStrictRead) {
  Scripted s;
  std::istringstream data("12a 3 x-4.5e1;");
  TextIn f(data, "B.txt");
  double x = 0;
  for (double want : {12.0, 3.0, -45.0}) {
    ASSERT_EQ(freadck1(s.con, f, x), 1);
    EXPECT_EQ(x, want);
  }
  EXPECT_EQ(freadck1(s.con, f, x), 0);
  EXPECT_EQ(s.err.str(), "\nEnd of file B.txt\n\a");

  Scripted t;
  std::istringstream strict("1 two");
  TextIn g(strict, "E.txt");
  freadck(t.con, g, x);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(AbortCodeOf([&] { freadck(t.con, g, x); }), kAbortEndOfFile);
  EXPECT_EQ(t.err.str(), "\nfile E.txt \a");
}

TEST(Lines, FieldsEndAtTabsAndLinesKeepTabsAsBlanks) {
  Scripted s;
  std::istringstream data("  Poa annua\tFestuca rubra\nlast");
  TextIn f(data, "names.txt");
  std::string field;
  EXPECT_EQ(freadlineck(s.con, f, 70, field), '\t');
  EXPECT_EQ(field, "Poa annua");
  EXPECT_EQ(freadlineck(s.con, f, 70, field), '\n');
  EXPECT_EQ(field, "Festuca rubra");
  EXPECT_EQ(freadlineck(s.con, f, 70, field), TextIn::kEof);
  EXPECT_EQ(field, "last");
  EXPECT_EQ(AbortCodeOf([&] { freadlineck(s.con, f, 70, field); }), kAbortEndOfFile);

  std::istringstream line("a\tb c\n");
  TextIn g(line, "x");
  freadlineckTEMP(s.con, g, 70, field);
  EXPECT_EQ(field, "a b c");
}

TEST(Lines, LongAnswersAreCutNotOverflowed) {
  std::string longWord(5000, 'z');
  Scripted s(longWord + "\n");
  std::string w;
  ASSERT_TRUE(ScanString(s.con, s.con.in, 70, w));
  EXPECT_EQ(w.size(), 70u);
  Scripted t(longWord + "\n");
  EXPECT_EQ(ReadLineIn(t.con, 150).size(), 150u);
}

TEST(ReadLongInput, MinusOneRestartsTheEntry) {
  Scripted s("k 1 -1 k 2 3 y");
  std::vector<int> v;
  EXPECT_EQ(ReadLongInput(s.con, 2, v, "trait types", "1 2 3 4"), 1);
  EXPECT_EQ(v, (std::vector<int>{2, 3}));
  // The file/keyboard question was asked twice.
  const std::string q = "Read input from file (f) or from the keyboard (k)? f/k ";
  auto first = s.out.str().find(q);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(s.out.str().find(q, first + 1), std::string::npos);
}

TEST(ReadLongInput, NumbersThatFitNoIntAreAskedAgain) {
  // Trait groups or counts have no accepted set; 1e999 or 3e9 must not become an int.
  Scripted s("k 1e999 3e9 7 -2 y");
  std::vector<int> v;
  EXPECT_EQ(ReadLongInput(s.con, 2, v, "trait groups", ""), 1);
  EXPECT_EQ(v, (std::vector<int>{7, -2}));
  EXPECT_NE(s.err.str().find("\nIncorrect input = inf. Reenter.\nAccepted input: -2.14748e+09 to 2.14748e+09\n"),
            std::string::npos);
  EXPECT_NE(s.err.str().find("\nIncorrect input = 3e+09. Reenter.\n"), std::string::npos);
  Scripted any("1e999 2.5");
  EXPECT_EQ(ReadNumberIn(any.con, ""), 2.5);
}

TEST(ReadLongInput, LabelsAreCutToWidthAndCanBeRejected) {
  Scripted s("k alpha beta n k gammadelta epsilon y");
  std::vector<std::string> labels;
  EXPECT_EQ(ReadLongInput(s.con, 2, 4, labels, "labels"), 1);
  EXPECT_EQ(labels, (std::vector<std::string>{"gamm", "epsi"}));
}

TEST(ReadLongInput, UnopenableFileAsksAgain) {
  Scripted s("f no_such_file_here.txt k 4 y");
  std::vector<int> v;
  ReadLongInput(s.con, 1, v, "groups", "");
  EXPECT_EQ(v, (std::vector<int>{4}));
  EXPECT_NE(s.err.str().find("\ncan't open no_such_file_here.txt \n"), std::string::npos);
}

TEST(Strings, UpperCaseLeavesHighBytesAlone) {
  std::string t = "\xe9t\xe9";  // bytes above 127 must not upset toupper
  StrToUpper(t);
  EXPECT_EQ(t[1], 'T');
}

}  // namespace
}  // namespace kalios
