#include "session/partition_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/scripted.h"
#include "support/tempdir.h"
#include "shell/abort.h"

namespace kalios {
namespace {

using testing::TempDir;
using testing::WriteAll;

struct Dialogue : test::Scripted {
  explicit Dialogue(const std::string& answers) : Scripted(answers) {}
  MenuHeader menu = [this](const std::string& title) { out << title << "\n"; };
  DataSet data;
  SessionTrack track;
  AnalysisOptions opts;
};

// Runs the group dialogue for n objects; returns the groups.
std::vector<int> Groups(Dialogue& d, int n, const std::string& what, int& nGroups,
                        std::vector<std::string>& labels) {
  std::vector<int> groupOf(static_cast<size_t>(n), 0);
  SettingAnyGroups(d.con, d.menu, d.data, d.track, d.opts, "", n, nGroups, groupOf.data(), labels, what);
  return groupOf;
}

TEST(SettingAnyGroups, CountsPerGroupMustCoverTheObjects) {
  // 0 groups is out of range; counts 3,3 do not add up to 7.
  Dialogue d("0\n2\n1\ny\n3 3\n3 4\n");
  int nGroups = 0;
  std::vector<std::string> labels;
  auto g = Groups(d, 7, "communities", nGroups, labels);
  EXPECT_EQ(nGroups, 2);
  EXPECT_EQ(g, (std::vector<int>{1, 1, 1, 2, 2, 2, 2}));
  EXPECT_EQ(labels, (std::vector<std::string>{"1", "2"}));
  EXPECT_NE(d.err.str().find("Accepted input: 1 to 7\n"), std::string::npos);
  EXPECT_NE(d.err.str().find("\nError!! Reenter!!\n"), std::string::npos);
  // No cluster analysis record: the source of the partition is not asked.
  EXPECT_EQ(d.out.str().find("Get partition from"), std::string::npos);
}

TEST(SettingAnyGroups, MembershipByLabelsRefusesUnknownLabels) {
  Dialogue d("2\n2\nk wet dry y\nn\nk wet dry mud y\nk wet dry wet y\n");
  d.data.reLabel = {"r1", "r2", "r3"};
  int nGroups = 0;
  std::vector<std::string> labels;
  auto g = Groups(d, 3, "communities", nGroups, labels);
  EXPECT_EQ(g, (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(labels, (std::vector<std::string>{"wet", "dry"}));
  EXPECT_NE(d.err.str().find("\nError!! Enter again. \n"), std::string::npos);
}

TEST(SettingAnyGroups, LabelsThatCollideAfterTheCutAreRefused) {
  // "plotA" and "plotB" both become "plot": asked again.
  Dialogue d("2\n2\nk plotA plotB y\nk pA pB y\nn\nk pB pA pB y\n");
  int nGroups = 0;
  std::vector<std::string> labels;
  auto g = Groups(d, 3, "OTUs", nGroups, labels);
  EXPECT_EQ(labels, (std::vector<std::string>{"pA", "pB"}));
  EXPECT_EQ(g, (std::vector<int>{2, 1, 2}));
  EXPECT_NE(d.err.str().find("\nError!! Enter again. \n"), std::string::npos);
  // OTUs are shown by number.
}

TEST(GetPartition, FusionRecordsAreCutAtKGroupsAndDamageAborts) {
  TempDir dir;
  // Fusions (1 2), (3 4), (1 3): 3 groups are reached after the second.
  WriteAll(dir / "clus.txt", "0.1 2 1 2\n0.5 2 3 4\n0.9 2 1 3\n");
  Dialogue d("");
  std::vector<int> g(5);
  GetPartition(d.con, dir / "clus.txt", 5, 3, g.data());
  EXPECT_EQ(g, (std::vector<int>{1, 1, 2, 2, 3}));

  // A record with one member is passed over; a whole cluster listed merges it.
  WriteAll(dir / "clus.txt", "0.1 1 5\n0.2 2 4 5\n0.3 3 1 4 5\n");
  GetPartition(d.con, dir / "clus.txt", 5, 3, g.data());
  EXPECT_EQ(g, (std::vector<int>{1, 2, 3, 1, 1}));

  // Missing file; more members than objects, an object that does not exist, too few fusions.
  std::vector<int> g4(4);
  EXPECT_EQ(test::AbortCodeOf([&] { GetPartition(d.con, dir / "none.txt", 4, 2, g4.data()); }), kAbortOpenFailed);
  for (const char* text : {"0.1 9 1 2 3 4 1 2 3 4 1\n", "0.1 2 1 7\n", "0.1 2 1 2\n"}) {
    WriteAll(dir / "bad.txt", text);
    EXPECT_EQ(test::AbortCodeOf([&] { GetPartition(d.con, dir / "bad.txt", 4, 2, g4.data()); }), kAbortEndOfFile)
        << text;
  }
}

TEST(SettingAnyGroups, ClusterRecordIsOfferedWhenOneExists) {
  TempDir dir;
  WriteAll(dir / "rc.txt", "0.1 2 1 2\n");
  Dialogue d("2\n1\n2\n");
  d.track.hasReClus = 1;
  d.track.whichReClus = dir / "rc.txt";
  int nGroups = 0;
  std::vector<std::string> labels;
  auto g = Groups(d, 3, "communities", nGroups, labels);
  EXPECT_EQ(g, (std::vector<int>{1, 1, 2}));
}

TEST(SettingWhichLevel, AskedOnlyForHierarchicalMonotheticPooling) {
  Dialogue d("2\n");
  d.data.nch = 3;
  int level = 0;
  EXPECT_EQ(SettingWhichLevel(d.con, d.data.nch, d.opts, level), 1);
  d.opts.poolCSTopt = 1;
  d.opts.isHierarchical = 1;
  EXPECT_EQ(SettingWhichLevel(d.con, d.data.nch, d.opts, level), 2);
  EXPECT_EQ(level, 2);
}

}  // namespace
}  // namespace kalios
