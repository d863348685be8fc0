// Menu header, abort messages, waits and the progress line.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "shell/abort.h"
#include "shell/shell.h"
#include "support/scripted.h"

namespace kalios {
namespace {

using Scripted = test::ScriptedApp;

const std::string kRule(70, '-');

TEST(Menu, HeaderKeepsTwentyThreeColumnsForTheSessionName) {
  Scripted s;
  s.app.shell.sessionName = "";
  Menu(s.app, "SESSION MENU");
  EXPECT_EQ(s.out.str(), "\n\nSESSION MENU" + std::string(35 + 23, ' ') + "\n" + kRule + "\n");

  Scripted named;
  named.app.shell.sessionName = named.app.shell.sessionShortName = "meadow";
  named.con.progress.is40CharLine = named.con.progress.is80CharLine = 1;
  Menu(named.app, "PREFERENCES");
  // An open progress line is closed first (two newlines).
  EXPECT_EQ(named.out.str(), "\n\n\n\nPREFERENCES" + std::string(36, ' ') + std::string(17, ' ') +
                                 "meadow\n" + kRule + "\n");

  Scripted hidden;
  hidden.app.shell.sessionName = "NULL";
  Menu(hidden.app, "X");
  EXPECT_EQ(hidden.out.str(), "\n\nX" + std::string(46, ' ') + "\n" + kRule + "\n");
}

TEST(Abort, MessagesPerCodeAndWaits) {
  const char* first[] = {"", "\nOUT OF MEMORY !!!\n", "\nEND OF FILE !!!\n", "\nFAIL TO PRINT ON FILE !!!\n",
                         "\nFAIL TO OPEN FILE !!!\n"};
  for (int code = 1; code <= 4; ++code) {
    Scripted s;
    EXPECT_EQ(HandleAbort(s.con, code), 1);
    EXPECT_EQ(s.err.str(), std::string(first[code]) + "\nQuit and restart KALIOS.\n\a");
  }
  // Code 2 waits for a newline, code 1 for a letter.
  Scripted nl("abc\nrest");
  HandleAbort(nl.con, kAbortEndOfFile);
  EXPECT_EQ(nl.con.in.Get(), 'r');
  Scripted letter("12x\nrest");
  HandleAbort(letter.con, kAbortOutOfMemory);
  EXPECT_EQ(letter.con.in.Get(), '\n');
  // Wait leaves the newline for the next read, and returns at end of input.
  Scripted s("anything typed\nnext");
  Wait(s.con);
  EXPECT_EQ(s.con.in.Get(), '\n');
  Scripted eof("no newline");
  Wait(eof.con);  // must return at end of input
  EXPECT_EQ(eof.con.in.Get(), TextIn::kEof);
}

TEST(ProgressLine, PrintsCutTextAndIsThrottled) {
  Scripted s;
  s.con.progress.t2 = -1e9;  // long ago
  HandleEventInfoWhere2(s.con, std::string(50, 'p'));
  EXPECT_EQ(s.out.str(), std::string(40, 'p') + std::string(40, ' '));
  HandleEventInfoWhere2(s.con, "again");  // too soon: nothing
  EXPECT_EQ(s.out.str().size(), 80u);
  ClearLine(s.con);
  EXPECT_EQ(s.out.str().substr(80), "\n\n");
}

TEST(TimeStamp, CtimeLayout) {
  std::ostringstream os;
  TimeStamp(os);
  EXPECT_TRUE(std::regex_match(os.str(), std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
                                                    "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n")));
}

TEST(Program, ExitsZeroOnXAndOneOnEndOfInput) {
  test::Scripted x("x\n"), n("N\n");
  EXPECT_EQ(RunProgram(x.con), 0);
  EXPECT_EQ(RunProgram(n.con), 1);
  EXPECT_NE(n.err.str().find("END OF FILE"), std::string::npos);
}

}  // namespace
}  // namespace kalios
