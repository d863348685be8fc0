#include "session/tsv_table.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "support/tempdir.h"

namespace kalios {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

TEST(TsvNumber, ReadsBackExactlyWhateverTheLocaleAndLeavesUndefinedCellsEmpty) {
  // A locale with a decimal comma must not reach the tables.
  const bool commaLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  for (double v : {0.1, -1.0 / 3.0, 6.02214076e23, 5e-324, 0.6830605790190839, 17.0}) {
    const std::string s = TsvNumber(v);
    EXPECT_EQ(s.find(','), std::string::npos) << s;
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(std::strtod(s.c_str(), nullptr), v) << s;
    if (commaLocale) std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  }
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(TsvNumber(NAN), "");
  EXPECT_EQ(TsvNumber(INFINITY), "Inf");
  EXPECT_EQ(TsvNumber(-INFINITY), "-Inf");
  EXPECT_EQ(TsvLine({"a", TsvText("b\tc\nd"), ""}), "a\tb c d\t\n");
}

TEST(TsvTable, AppendKeepsOneHeaderReplaceStartsAfreshOtherColumnsAreSetAside) {
  TempDir dir;
  const std::string path = dir / "sStats.tsv";
  std::ostringstream report;
  WriteTsvTable(path, "x\ty", "1\t2\n", PlanTsvAppend(path, "x\ty", true), report);  // no file yet
  WriteTsvTable(path, "x\ty", "3\t4\n", PlanTsvAppend(path, "x\ty", true), report);
  EXPECT_EQ(ReadAll(path), "x\ty\n1\t2\n3\t4\n");
  WriteTsvTable(path, "x\ty", "5\t6\n", PlanTsvAppend(path, "x\ty", false), report);
  EXPECT_EQ(ReadAll(path), "x\ty\n5\t6\n");

  // A last line without its newline still ends before the appended rows.
  WriteAll(path, "x\ty\n7\t8");
  WriteTsvTable(path, "x\ty", "9\t0\n", PlanTsvAppend(path, "x\ty", true), report);
  EXPECT_EQ(ReadAll(path), "x\ty\n7\t8\n9\t0\n");

  // Other columns: the earlier table moves to the first free numbered name.
  WriteAll(dir / "sStats.1.tsv", "taken\n");
  const TsvAppendPlan plan = PlanTsvAppend(path, "x\ty\tz", true);
  EXPECT_FALSE(plan.keepRows);
  EXPECT_EQ(plan.setAside, dir / "sStats.2.tsv");
  WriteTsvTable(path, "x\ty\tz", "1\t2\t3\n", plan, report);
  EXPECT_EQ(ReadAll(dir / "sStats.2.tsv"), "x\ty\n7\t8\n9\t0\n");
  EXPECT_EQ(ReadAll(dir / "sStats.1.tsv"), "taken\n");
  EXPECT_EQ(ReadAll(path), "x\ty\tz\n1\t2\t3\n");
  EXPECT_EQ(report.str(), "");
}

}  // namespace
}  // namespace kalios
