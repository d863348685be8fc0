// Abort messages, waits, the progress line and the exit status.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "shell/abort.h"
#include "shell/shell.h"
#include "support/scripted.h"

namespace kalios {
namespace {

using Scripted = test::ScriptedApp;

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

TEST(Program, ExitsZeroOnXAndOneOnEndOfInput) {
  test::Scripted x("x\n"), n("N\n");
  EXPECT_EQ(RunProgram(x.con), 0);
  EXPECT_EQ(RunProgram(n.con), 1);
  EXPECT_NE(n.err.str().find("END OF FILE"), std::string::npos);
}

}  // namespace
}  // namespace kalios

namespace kalios {
namespace {

TEST(CommandLine, NoFiguresIsTheOnlyOptionAndAnythingElseGetsTheUsage) {
  auto parse = [](std::vector<const char*> argv, ProgramOptions& o, std::string& msg, bool& help) {
    argv.insert(argv.begin(), "kalios");
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), o, msg, help);
  };
  ProgramOptions o;
  std::string msg;
  bool help = false;
  EXPECT_TRUE(parse({}, o, msg, help));
  EXPECT_TRUE(o.figures);
  EXPECT_TRUE(parse({"--no-figures"}, o, msg, help));
  EXPECT_FALSE(o.figures);
  EXPECT_FALSE(parse({"--no-figure"}, o, msg, help));
  EXPECT_FALSE(help);
  EXPECT_EQ(msg.rfind("kalios: unknown option --no-figure\nUsage: kalios [--no-figures]\n", 0), 0u) << msg;
  EXPECT_FALSE(parse({"--help"}, o, msg, help));
  EXPECT_TRUE(help);
}

}  // namespace
}  // namespace kalios
