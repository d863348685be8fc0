#include "shell/preferences.h"

#include <gtest/gtest.h>

#include <omp.h>

#include <algorithm>
#include <filesystem>

#include "shell/abort.h"
#include "shell/app.h"
#include "support/scripted.h"
#include "support/tempdir.h"

namespace kalios {
namespace {

class Prefs : public ::testing::Test {
 protected:
  std::string Slurp() { return testing::ReadAll(path_); }
  void Put(const std::string& text) { testing::WriteAll(path_, text); }
  // Runs the dialogue on the typed answers; returns what it left in the preferences.
  Preferences Dialogue(const std::string& answers, Preferences start = Preferences()) {
    test::ScriptedApp d(answers);
    d.app.prefs = start;
    SetPreferences(d.app, path_);
    out_ = d.out.str();
    err_ = d.err.str();
    return d.app.prefs;
  }
  Preferences ReadBack(int* code) {
    test::Scripted s;
    Preferences p;
    *code = test::AbortCodeOf([&] { ReadPreferences(s.con, p, path_); });
    err_ = s.err.str();
    return p;
  }

  testing::TempDir dir_;
  std::string path_ = dir_ / "KALIOS.prf", out_, err_;
};

// A file as the program writes it, with non-default values everywhere.
const char* kCustom =
    "17Apr2020\n1\n1.500000\n2.000000\n3\n4.000000\n5.000000\n2\ny\n7\n8.000000\n9.000000\n"
    "4\n120\n3\ny\ny\ny\n0\n0\n1\n0\n3.5\n0\n1\n0\n2\n";

TEST_F(Prefs, ZeroDigitsAndComponentsGiveTheDefault) {
  Preferences p = Dialogue("F\n0\n0\ny\nn\nC\n");
  EXPECT_EQ(p.sDigits, 6);
  EXPECT_EQ(p.maxComponents, 6);
  EXPECT_EQ(p.saveStruct, 'y');
  EXPECT_EQ(p.saveRndData, 'n');
}

TEST_F(Prefs, PcaFactorBelowOneIsRefused) {
  Preferences p = Dialogue("O\n0.5\n3\nC\n");
  EXPECT_EQ(p.overfitFactorPCARegr, 3);
  EXPECT_NE(err_.find("\nIncorrect input = 0.5. Reenter.\nAccepted input: 1 to 3.40282e+38\n"),
            std::string::npos);
}

TEST_F(Prefs, EachQuestionSetsItsPreference) {
  Preferences p = Dialogue("G\nn\nR\nn\ny\nB\nn\nT\nn\ny\nS\np\nM\n1\nC\n");
  EXPECT_EQ(p.countDoubleAbsence, 0);
  EXPECT_FALSE(p.sqrtDissimOpt_RaoTraits);
  EXPECT_TRUE(p.sqrtDissimOpt_RaoPhyl);
  EXPECT_FALSE(p.BealsIncludeOpt);
  EXPECT_FALSE(p.twoTailedTest);
  EXPECT_TRUE(p.oneMatrixPermPartialCorr);
  EXPECT_FALSE(p.nonParametricSES_opt);
  EXPECT_EQ(p.nProcessors, 1);
  // The menu is shown again after every choice, then the file is written.
  size_t menus = 0;
  for (size_t at = out_.find("PREFERENCES"); at != std::string::npos; at = out_.find("PREFERENCES", at + 1))
    ++menus;
  EXPECT_EQ(menus, 7u);
}

TEST_F(Prefs, LeavingAtOnceWritesTheFileThatReadsBackEveryValue) {
  Put(kCustom);
  int code = -1;
  const Preferences custom = ReadBack(&code);
  ASSERT_EQ(code, 0);
  std::remove(path_.c_str());
  Dialogue("C\n", custom);
  std::string text = Slurp();
  ASSERT_EQ(text.substr(0, std::string(kCustom).size()), kCustom);
  // 27 items and the time stamp.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 28);
  Preferences p = ReadBack(&code);
  EXPECT_EQ(code, 0);
  // Writing what was read gives the same items again, so every value came back.
  std::remove(path_.c_str());
  Dialogue("C\n", p);
  EXPECT_EQ(Slurp().substr(0, std::string(kCustom).size()), kCustom);
  EXPECT_EQ(p.nProcessors, std::min(2, omp_get_num_procs()));
}

TEST_F(Prefs, AnotherVersionOrNoFileLeavesTheDefaults) {
  int code = -1;
  ReadBack(&code);
  EXPECT_EQ(code, 0);
  std::string other = kCustom;
  other.replace(0, 9, "16Apr2020");
  Put(other);
  Preferences p = ReadBack(&code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(p.sDigits, 6);
  EXPECT_EQ(p.nProcessors, 0);
  // The next dialogue overwrites it in the current format.
  Dialogue("C\n");
  EXPECT_EQ(Slurp().substr(0, 10), "17Apr2020\n");
  Put("");
  ReadBack(&code);
  EXPECT_EQ(code, 0);
}

TEST_F(Prefs, DialogueBoundsDigitsAndProcessors) {
  const std::string procs = std::to_string(omp_get_num_procs());
  Preferences p = Dialogue("F\n18\n17\n0\nn\nn\nM\n2147483647\n0\nC\n");
  EXPECT_EQ(p.sDigits, 17);
  EXPECT_EQ(p.nProcessors, 0);
  EXPECT_NE(err_.find("\nIncorrect input = 18. Reenter.\nAccepted input: 0 to 17\n"), std::string::npos);
  EXPECT_NE(err_.find("\nIncorrect input = 2.14748e+09. Reenter.\nAccepted input: 0 to " + procs + "\n"),
            std::string::npos);
}

// kCustom with item `item` (1 is the version tag) replaced by `value`.
std::string WithItem(int item, const std::string& value) {
  std::string text = kCustom;
  size_t at = 0;
  for (int i = 1; i < item; ++i) at = text.find('\n', at) + 1;
  return text.replace(at, text.find('\n', at) - at, value);
}

TEST_F(Prefs, DamagedFileIsPutAsideAndTheDefaultsUsed) {
  const Preferences defaults;
  struct Case {
    std::string text;
    const char* item;
  };
  const std::vector<Case> cases = {
      {WithItem(13, "2147483647"), "item 13 (sDigits)"},
      {WithItem(13, "0"), "item 13 (sDigits)"},
      {WithItem(27, "-1"), "item 27 (nProcessors)"},
      {WithItem(3, "inf"), "item 3 (scatterHSize)"},
      {WithItem(23, "nan"), "item 23 (overfitFactorPCARegr)"},
      {WithItem(16, "x"), "item 16 (saveStruct)"},
      {WithItem(2, "12abc"), "item 2 (isHierarchicalPref)"},
      {std::string(kCustom).substr(0, std::string(kCustom).find("\n4\n120") + 1), "item 13 (sDigits)"},
  };
  for (const Case& c : cases) {
    Put(c.text);
    int code = -1;
    Preferences p = ReadBack(&code);
    ASSERT_EQ(code, 0) << c.text;
    EXPECT_NE(err_.find("\nPreferences file " + path_ + ": " + c.item + " is damaged or out of range.\n"),
              std::string::npos)
        << err_;
    EXPECT_EQ(p.sDigits, defaults.sDigits);
    EXPECT_EQ(p.nProcessors, defaults.nProcessors);
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_EQ(testing::ReadAll(path_ + ".damaged"), c.text);
  }
  // More processors than the machine has (a file from a larger machine) means all of them.
  Put(WithItem(27, "2147483647"));
  int code = -1;
  EXPECT_EQ(ReadBack(&code).nProcessors, omp_get_num_procs());
  EXPECT_EQ(err_, "");
}

TEST_F(Prefs, FileCutAnywhereIsDamaged) {
  const std::string full = kCustom;
  for (size_t len = 10; len + 2 < full.size(); ++len) {
    Put(full.substr(0, len));
    int code = -1;
    ReadBack(&code);
    ASSERT_EQ(code, 0) << "cut at byte " << len;
    ASSERT_NE(err_.find("is damaged or out of range"), std::string::npos) << "cut at byte " << len;
  }
}

TEST_F(Prefs, UncreatableFileIsReportedAndTheRunGoesOn) {
  path_ = dir_ / "missing/KALIOS.prf";
  Dialogue("C\n");
  EXPECT_NE(err_.find("\ncan't open " + path_ + " \n"), std::string::npos);
}

}  // namespace
}  // namespace kalios
