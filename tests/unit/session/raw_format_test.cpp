#include "session/raw_format.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "session/formda.h"
#include "support/scripted.h"
#include "support/tempdir.h"
#include "shell/abort.h"
#include "support/compare.h"

namespace kalios {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

// A scripted console for the session "s", in a scratch directory.
struct Dialogue : test::Scripted {
  explicit Dialogue(const std::vector<std::string>& answers) : Scripted(test::Lines(answers)) {
    track.whichFormda = "sFormda.txt";
  }
  void Format() { IFFormat(con, menu, "sFormda.txt"); }
  int SetFormda() { return kalios::SetFormda(con, menu, session, track); }
  MenuHeader menu = [this](const std::string& title) { out << "\n\n" << title << "\n"; };
  NewSession session{"s", "", "sTrk.txt"};
  SessionTrack track;
};

class Formatting : public testing::InTempDir {
 protected:
  // Runs the formatting dialogue on the answers and reads back what it wrote.
  DataSet Format(const std::vector<std::string>& answers) {
    d_ = std::make_unique<Dialogue>(answers);
    d_->Format();
    DataSet ds;
    ReadFormda(d_->con, ds, "sFormda.txt");
    return ds;
  }
  std::string out() const { return d_->out.str(); }
  std::string err() const { return d_->err.str(); }

  std::unique_ptr<Dialogue> d_;
};

// 3 OTUs by 2 traits (types 3 and 1); W of 2 communities given as rows.
constexpr const char* kW32 = "1 0 2\n0 0 -999\n";

std::vector<std::string> Plain(const std::string& bLayout, const std::string& bLabels) {
  return {"B.txt", "0", "W.txt", "0", "0", "3", "2", bLabels, bLayout, "k", "3 1", "y", "0",
          "2",     "1", "1"};
}

TEST_F(Formatting, TraitsAreReadInEitherOrientationWithDefaultOrFileLabels) {
  // A header line of text before the numbers is passed over.
  WriteAll("B.txt", "Traits of three OTUs: height, woody\n1.5 2.5 3.5\n1 0 1\n");
  WriteAll("W.txt", kW32);
  DataSet byTraits = Format(Plain("1", "1"));
  WriteAll("B.txt", "height woody\n1.5\t1\n2.5\t0\n3.5\t1\nheight woody\n");
  DataSet byOtus = Format(Plain("2", "2"));
  for (const DataSet* ds : {&byTraits, &byOtus}) {
    ASSERT_EQ(ds->tcst, 3);
    ASSERT_EQ(ds->nch, 2);
    EXPECT_EQ(ds->csm_Float[0][0], 1.5);
    EXPECT_EQ(ds->csm_Float[1][1], 0);
    EXPECT_EQ(ds->chtype, (std::vector<int>{3, 1}));
    EXPECT_EQ(ds->onsta, (std::vector<int>{3, 2}));
    EXPECT_FALSE(ds->hasTraitGroups);
  }
  EXPECT_EQ(byTraits.chLabel, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(byOtus.chLabel, (std::vector<std::string>{"height", "woody"}));
  // W given as rows: community 2 has only 0 and a missing value.
  EXPECT_EQ(byOtus.cadat[2][0], 2);
  EXPECT_EQ(byOtus.cadat[2][1], -999);
  EXPECT_EQ(byOtus.reLabel, (std::vector<std::string>{"1", "2"}));
  EXPECT_NE(out().find("\nPlease check matrix W. Sampling unit 2 has all values zero or missing (-999), "
                       "which will generate unreliable results."),
            std::string::npos);
  EXPECT_EQ(out().find("Sampling unit 1 "), std::string::npos);

  auto grouped = Plain("2", "1");
  grouped[12] = "1";
  grouped.insert(grouped.begin() + 13, {"k", "7 9", "y"});
  DataSet ds = Format(grouped);
  EXPECT_TRUE(ds.hasTraitGroups);
  EXPECT_EQ(ds.traitGroups, (std::vector<int>{7, 9}));
}

// 5 OTUs by 1 trait; W in the given form with community labels from the file.
std::vector<std::string> WithW(const std::string& form, const std::vector<std::string>& counts) {
  std::vector<std::string> a = {"B.txt", "0", "W.txt", "0", "0", "5", "1", "1", "2", "k", "3", "y", "0",
                                "2",     "2", form};
  a.insert(a.end(), counts.begin(), counts.end());
  return a;
}

TEST_F(Formatting, CommunityMatrixInItsThreeForms) {
  WriteAll("B.txt", "1 2 3 4 5\n");
  WriteAll("W.txt", "1 2 3 4 5\n6 7 8 9 10\nwet dry\n");
  DataSet rows = Format(WithW("1", {}));
  EXPECT_EQ(rows.cadat[0][0], 1);
  EXPECT_EQ(rows.cadat[4][0], 5);
  EXPECT_EQ(rows.cadat[0][1], 6);
  EXPECT_EQ(rows.reLabel, (std::vector<std::string>{"wet", "dry"}));

  WriteAll("W.txt", "1 6\n2 7\n3 8\n4 9\n5 10\nwet dry\n");
  DataSet cols = Format(WithW("2", {}));
  EXPECT_TRUE(test::MatricesClose(cols.cadat, rows.cadat, 0, 0));

  // Vectors: counts 3,4 and -1,6 do not cover the 5 OTUs and are refused.
  WriteAll("W.txt", "11 12\n23 24 25\nwet dry\n");
  DataSet vec = Format(WithW("3", {"k", "3 4", "y", "k", "-2 7", "y", "k", "2 3", "y"}));
  EXPECT_TRUE(test::MatricesClose(vec.cadat, test::FromRows({{11, 0}, {12, 0}, {0, 23}, {0, 24}, {0, 25}}), 0, 0));
  EXPECT_EQ(vec.reLabel, (std::vector<std::string>{"wet", "dry"}));
  size_t first = err().find("\nError!! Reenter!!\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(err().find("\nError!! Reenter!!\n", first + 1), std::string::npos);
}

// 3 OTUs by 1 trait with a phylogeny in the given form.
std::vector<std::string> WithF(const std::string& form) {
  return {"B.txt", "1", "F.txt", "W.txt", "0", "0", "3", "1", "1", "2", "k", "3", "y", "0", form,
          "1",     "1", "2"};
}

TEST_F(Formatting, PhylogenyInItsThreeForms) {
  WriteAll("B.txt", "1 2 3\n");
  WriteAll("W.txt", "1 1 1\n");
  const std::string normalized =
      "\nPhylogenetic distances were normalized to values in the range [0,1] by Dnorm = D/Dmax\n";

  // Distances beyond 1 are divided by the largest one; a missing value stays missing.
  WriteAll("F.txt", "0 2.5 1\n2.5 0 -999\n1 -999 0\n");
  DataSet far = Format(WithF("1"));
  ASSERT_TRUE(far.hasPhylogeny);
  EXPECT_EQ(far.phylogenyMatrixType, 3);
  EXPECT_CLOSE(far.phylogenyRese[0][1], 1.0);
  EXPECT_CLOSE(far.phylogenyRese[0][2], 0.4);
  EXPECT_EQ(far.phylogenyRese[1][2], -999);
  EXPECT_EQ(far.phylogenyRese[2][1], -999);
  EXPECT_NE(out().find(normalized), std::string::npos);

  WriteAll("F.txt", "0 0.5 1\n0.5 0 0.25\n1 0.25 0\n");
  DataSet near = Format(WithF("1"));
  EXPECT_EQ(near.phylogenyMatrixType, 3);
  EXPECT_EQ(near.phylogenyRese[1][2], 0.25);
  EXPECT_EQ(near.phylogenyRese[0][2], 1);
  EXPECT_EQ(out().find("normalized"), std::string::npos);

  WriteAll("F.txt", "1 0.2 0.3\n0.2 1 0.4\n0.3 0.4 1\n");
  DataSet full = Format(WithF("2"));
  EXPECT_EQ(full.phylogenyMatrixType, 1);

  // Half matrix: rows of 1, 2 and 3 numbers, mirrored.
  WriteAll("F.txt", "1\n0.2 1\n0.3 0.4 1\n");
  DataSet half = Format(WithF("3"));
  EXPECT_EQ(half.phylogenyMatrixType, 1);
  EXPECT_TRUE(test::MatricesClose(half.phylogenyRese, full.phylogenyRese, 0, 0));
}

// 2 OTUs by 1 trait, 3 communities, E from E.txt with the given answers.
std::vector<std::string> WithE(const std::vector<std::string>& eAnswers) {
  std::vector<std::string> a = {"B.txt", "0", "W.txt", "0", "1", "E.txt", "2", "1", "1", "2", "k",
                                "3",     "y", "0",     "3", "1", "2"};
  a.insert(a.end(), eAnswers.begin(), eAnswers.end());
  return a;
}

TEST_F(Formatting, EcosystemVariablesByCommunitiesOrByVariables) {
  WriteAll("B.txt", "1 2\n");
  WriteAll("W.txt", "1 0\n0 1\n1 1\n");
  WriteAll("E.txt", "5.5 100\n6 -999\n7 300\npH elev\n");
  DataSet byC = Format(WithE({"2", "2", "2", "n"}));
  WriteAll("E.txt", "5.5 6 7\n100 -999 300\npH elev\n");
  DataSet byV = Format(WithE({"2", "2", "2", "t"}));
  WriteAll("E.txt", "5 -999 7\n1 -999 3\npH elev\n");
  Format(WithE({"2", "2", "2", "t"}));
  EXPECT_NE(out().find("\nPlease check matrix E. Sampling unit 2 has all values missing (-999), which "
                       "will generate unreliable results."),
            std::string::npos);
  EXPECT_EQ(out().find("matrix E. Sampling unit 1 "), std::string::npos);
  for (const DataSet* ds : {&byC, &byV}) {
    ASSERT_EQ(ds->nenv, 2);
    EXPECT_EQ(ds->env[0][0], 5.5);
    EXPECT_EQ(ds->env[2][0], 7);
    EXPECT_EQ(ds->env[1][1], -999);
    EXPECT_EQ(ds->env[2][1], 300);
    EXPECT_EQ(ds->envLabel, (std::vector<std::string>{"pH", "elev"}));
    EXPECT_EQ(ds->envVarType, (std::vector<int>{3, 3}));
    EXPECT_EQ(ds->optEnvVarType, 2);
    EXPECT_EQ(ds->envName, "E.txt");
  }

  // One variable: read without the question; kinds 3 and 4 set the types.
  WriteAll("E.txt", "1 2 1\n");
  DataSet one = Format(WithE({"1", "1", "3"}));
  EXPECT_EQ(out().find("Data entered by communities"), std::string::npos);
  EXPECT_EQ(one.envVarType, (std::vector<int>{2}));
  EXPECT_EQ(one.envLabel, (std::vector<std::string>{"1"}));
  EXPECT_EQ(one.env[1][0], 2);
  WriteAll("E.txt", "1 0 1\n");
  EXPECT_EQ(Format(WithE({"1", "1", "4"})).envVarType, (std::vector<int>{1}));
}

TEST_F(Formatting, SeveralTypesMustReallyMix) {
  WriteAll("B.txt", "1 2\n");
  WriteAll("W.txt", "1 0\n0 1\n1 1\n");
  WriteAll("E.txt", "5 0 6 1 7 0\n");
  DataSet mixed = Format(WithE({"2", "1", "5", "k", "4 1", "y", "n"}));
  EXPECT_EQ(mixed.optEnvVarType, 5);
  EXPECT_EQ(mixed.envVarType, (std::vector<int>{4, 1}));
  EXPECT_EQ(out().find("Data not mixed as indicated!!!\n"), std::string::npos);

  // All quantitative: refused as not mixed; 'n' records kind 2.
  DataSet quant = Format(WithE({"2", "1", "5", "k", "3 3", "y", "n", "n"}));
  EXPECT_NE(out().find("Data not mixed as indicated!!!\nWish to correct manually? y/n "), std::string::npos);
  EXPECT_EQ(quant.optEnvVarType, 2);

  // Correcting to all binary after all quantitative is still not mixed: the
  // first attempt's types do not count.
  DataSet bin = Format(WithE({"2", "1", "5", "k", "3 3", "y", "y", "k", "1 1", "y", "n", "n"}));
  EXPECT_EQ(bin.optEnvVarType, 4);
  EXPECT_EQ(bin.envVarType, (std::vector<int>{1, 1}));
}

// A raw file that does not read cleanly is reported naming the file and the
// place, and another file is asked for; nothing shifts silently.
void ExpectRefused(const std::string& bad, std::vector<std::string> answers, size_t at,
                   const std::string& message, const std::string& file = "B.txt") {
  WriteAll(file, bad);
  answers.insert(answers.begin() + static_cast<long>(at), "good.txt");
  Dialogue d(answers);
  d.Format();
  EXPECT_NE(d.err.str().find(message), std::string::npos) << bad << "\n" << d.err.str();
  EXPECT_NE(d.out.str().find("Enter data file name: "), std::string::npos);
  DataSet ds;
  ReadFormda(d.con, ds, "sFormda.txt");
  if (file == "B.txt") {
    EXPECT_EQ(ds.dataName, "good.txt");  // the title follows the file finally read
    EXPECT_EQ(ds.csm_Float[1][1], 0);
  }
}

TEST_F(Formatting, NumbersThatWouldBeMisreadAreRefused) {
  // B: 3 OTUs as rows, 2 traits, labels at the end; answers up to the layout
  // are followed by the file asked again.
  WriteAll("W.txt", kW32);
  WriteAll("good.txt", "h w\n1.5 1\n2.5 0\n3.5 1\nh w\n");
  auto answers = Plain("2", "2");
  const size_t at = 9;
  ExpectRefused("1e999 1\n2 0\n3 1\nh w\n", answers, at,
                "\nfile B.txt, line 1, value 1: \"1e999\" is not a finite number\n");
  ExpectRefused("1 1\nnan 0\n3 1\nh w\n", answers, at, "line 2, value 3: \"nan\" is not a number");
  ExpectRefused("1 1\n2 NA\n3 1\nh w\n", answers, at, "\"NA\" is not a number: write missing values as -999");
  ExpectRefused("1 1\n2 .\n3 1\nh w\n", answers, at, "\".\" is not a number: write missing values as -999");
  ExpectRefused("SLA2 height\n1 1\n2 0\n3 1\nh w\n", answers, at,
                "line 1, value 1: \"SLA2\" mixes letters and digits");
  ExpectRefused("1,5 1\n2 0\n3 1\nh w\n", answers, at, "\"1,5\" holds a comma");
  ExpectRefused("1 1\n\xE2\x88\x92" "2.5 0\n3 1\nh w\n", answers, at, "has a minus sign other than '-'");
  ExpectRefused("1 1\n2 0\n3 1\n4 4\nh w\n", answers, at, "line 4: 2 numbers left over before the labels");
  ExpectRefused("1 1\n2 0\n3 1\nleaf area woody\n", answers, at,
                "\nfile B.txt: 2 labels expected after the numbers, 3 words found");
  ExpectRefused("1 1\n2 0\n", answers, at, "\nEnd of file B.txt\n");
  // Without labels from the file, numbers left over are still reported.
  ExpectRefused("1 1\n2 0\n3 1\n9\n", Plain("2", "1"), at, "line 4: 1 numbers left over after the 6 expected");
}

TEST_F(Formatting, EveryRawFileIsCheckedTheSameWay) {
  WriteAll("B.txt", "1 2\n");
  WriteAll("W.txt", "1 0\n0 1\n1 1\n");
  WriteAll("good.txt", "5 6\n7 8\n9 10\n");
  // E is read strictly: a header word is refused too.
  auto e = WithE({"2", "1", "2", "n"});
  ExpectRefused("pH N\n5 6\n7 8\n9 10\n", e, e.size(), "\"pH\" is not a number", "E.txt");
  ExpectRefused("5 6\n7 -inf\n9 10\n", e, e.size(), "\"-inf\" is not a finite number", "E.txt");
  ExpectRefused("5 6\n", e, e.size(), "\nEnd of file E.txt\n", "E.txt");

  WriteAll("good.txt", "1 0\n0 1\n1 1\n");
  WriteAll("E.txt", "5 6 7\n");
  ExpectRefused("1 0 0 1 1\n", WithE({"1", "1", "2"}), 17, "\nEnd of file W.txt\n", "W.txt");
  ExpectRefused("1 0\n0 1e400\n1 1\n", WithE({"1", "1", "2"}), 17, "\"1e400\" is not a finite number",
                "W.txt");

  WriteAll("good.txt", "1 0.5 0.5 1\n");
  WriteAll("W.txt", "1 0\n0 1\n1 1\n");
  std::vector<std::string> f = {"B.txt", "1", "F.txt", "W.txt", "0", "0", "2", "1", "1", "2",
                                "k",     "3", "y",     "0",     "2", "3", "1", "2"};
  ExpectRefused("1 0.5 NaN 1\n", f, 15, "\"NaN\" is not a number", "F.txt");
}

// 4 OTUs by 1 trait in 2 communities, with species names.
std::vector<std::string> WithSpecies(const std::string& labelOption) {
  return {"B.txt", "0", "W.txt", "1", "spp.txt", "0", "4", "1", "1", "2", "k", "3", "y", "0",
          "2",     "1", "2",     labelOption};
}

TEST_F(Formatting, SpeciesNamesAreMergedAndMappedToCommunities) {
  WriteAll("B.txt", "1 2 3 4\n");
  WriteAll("W.txt", "5 0\n0 0\n0 1\n0 0\n");  // OTU i: W[i][0], W[i][1]
  // OTUs 1, 3 and 4 are one species (a tab reads as a blank): after the
  // third is merged, the fourth, moved into its place, is compared too.
  WriteAll("spp.txt", "Poa annua\nFestuca rubra\nPoa\tannua\nPoa annua\n");
  DataSet ds = Format(WithSpecies("1"));
  ASSERT_EQ(ds.nSpp, 2);
  EXPECT_EQ(ds.spp, (std::vector<std::string>{"Poa annua", "Festuca rubra"}));
  EXPECT_EQ(ds.whichSpp, "spp.txt");
  const char* members[4] = {"10", "01", "10", "10"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(std::string(ds.cstSppMap[i], 2), members[i]) << i;
  // Poa annua occurs where OTU 1 or OTU 3 does; Festuca rubra nowhere.
  EXPECT_EQ(std::string(ds.sppRelMap[0], 2), "11");
  EXPECT_EQ(std::string(ds.sppRelMap[1], 2), "00");
}

TEST_F(Formatting, LongSpeciesLinesDoNotSpillIntoTheNextName) {
  WriteAll("B.txt", "1 2 3 4\n");
  WriteAll("W.txt", "1 1 1 1\n1 1 1 1\n");
  const std::string longName(70, 'x');
  WriteAll("spp.txt", longName + "TAIL of the line\nCarex flacca\nBriza media\nLotus corniculatus\n");
  DataSet ds = Format(WithSpecies("1"));
  ASSERT_EQ(ds.nSpp, 4);
  EXPECT_EQ(ds.spp[0], longName);
  EXPECT_EQ(ds.spp[1], "Carex flacca");
  EXPECT_EQ(ds.spp[3], "Lotus corniculatus");
}

TEST_F(Formatting, CreatedSpeciesCodesAreUnique) {
  WriteAll("B.txt", "1 2 3 4\n");
  WriteAll("W.txt", "1 1 1 1\n1 1 1 1\n");
  WriteAll("spp.txt", "Poa annua\nPoa angustifolia\nPoa\nPo \n");
  DataSet ds = Format(WithSpecies("2"));
  ASSERT_EQ(ds.nSpp, 4);
  EXPECT_EQ(ds.spp[0], "Poan Poa annua");
  EXPECT_EQ(ds.spp[1], "POan Poa angustifolia");
  EXPECT_EQ(ds.spp[2], "Po__ Poa");
  // "Po " would code as "Po__" too: it is made unique, without a NUL byte.
  EXPECT_EQ(ds.spp[3].substr(4), " Po ");
  EXPECT_EQ(ds.spp[3].find('\0'), std::string::npos);
  EXPECT_NE(ds.spp[3].substr(0, 4), "Po__");
}

TEST_F(Formatting, DataForSessionMenu) {
  WriteAll("B.txt", "1 2\n");
  WriteAll("W.txt", "1 0\n0 1\n1 1\n");
  WriteAll("sTrk.txt", "");
  // A merge from a session that does not exist shows the menu again; 4 leaves.
  Dialogue leave({"3", "nosuch", "4"});
  EXPECT_EQ(leave.SetFormda(), 1);
  EXPECT_NE(leave.err.str().find("\ncan't open nosuchFormda.txt \n"), std::string::npos);
  EXPECT_EQ(ReadAll("sTrk.txt"), "");

  // 1 formats raw data and writes the two-line track file.
  std::vector<std::string> answers = {"1"};
  auto raw = WithE({});
  raw[4] = "0";
  raw.erase(raw.begin() + 5);
  answers.insert(answers.end(), raw.begin(), raw.end());
  Dialogue format(answers);
  EXPECT_EQ(format.SetFormda(), 0);
  EXPECT_EQ(ReadAll("sTrk.txt"), "sFormda.txt\n07Jul17\n");
  EXPECT_EQ(format.track.whichFormda, "sFormda.txt");

  // 2 takes another session's file as it is: the track file names it. An
  // unknown session shows the menu again.
  Dialogue other({"2", "nosuch", "2", "s", "1"});
  other.session = NewSession{"t", "", "tTrk.txt"};
  EXPECT_EQ(other.SetFormda(), 0);
  EXPECT_NE(other.err.str().find("\ncan't open nosuchFormda.txt \n"), std::string::npos);
  EXPECT_EQ(ReadAll("tTrk.txt"), "sFormda.txt\n07Jul17\n");
}


TEST_F(Formatting, SevenDigitValuesAreStoredAsReadAndTheirStatesCounted) {
  // Rounded to 6 digits these three would be one value, and the file would
  // hold fewer states than it records.
  WriteAll("B.txt", "1234567 1\n1234568 0\n1234571 1\n");
  WriteAll("W.txt", "4512345.6 0 2\n0 0 -999\n");
  DataSet ds = Format(Plain("2", "1"));
  EXPECT_EQ(ds.csm_Float[0][0], 1234567);
  EXPECT_EQ(ds.csm_Float[2][0], 1234571);
  EXPECT_EQ(ds.cadat[0][0], 4512345.6);
  std::vector<int> stored(2);
  CountStates(ds.nch, ds.tcst, stored.data(), ds.csm_Float);
  EXPECT_EQ(ds.onsta, stored);
  EXPECT_EQ(ds.onsta[0], 3);
}

}  // namespace
}  // namespace kalios
