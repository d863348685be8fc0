#include "session/derived_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "session/formda.h"
#include "support/compare.h"
#include "support/scripted.h"
#include "support/tempdir.h"

namespace kalios {
namespace {

using testing::InTempDir;

// 4 OTUs, traits h, w, g with groups 1, 2, 3, communities r1..r4, a phylogeny
// whose entry [i][j] is 10 i + j, and E: pH (quantitative) and a second
// variable of the given type, declared as several types.
DataSet Source(int secondType) {
  DataSet ds;
  ds.tcst = 4;
  ds.nch = 3;
  ds.ncsm = 4;
  ds.dataName = "B.txt";
  ds.chLabel = {"h", "w", "g"};
  ds.chtype = {3, 1, 3};
  ds.onsta = {4, 2, 4};
  ds.traitGroups = {1, 2, 3};
  ds.hasTraitGroups = true;
  ds.reLabel = {"r1", "r2", "r3", "r4"};
  ds.csm_Float.Resize(4, 3);
  ds.cadat.Resize(4, 4);
  for (int i = 0; i < 4; ++i) {
    ds.csm_Float[i][0] = i + 0.5;
    ds.csm_Float[i][1] = i % 2;
    ds.csm_Float[i][2] = 10 * i;
    for (int c = 0; c < 4; ++c) ds.cadat[i][c] = (i + 1) * (c + 1);
  }
  ds.hasPhylogeny = true;
  ds.phylogenyMatrixType = 1;
  ds.phylogenyRese.Resize(4, 4);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) ds.phylogenyRese[i][j] = 10 * i + j;
  ds.nenv = 2;
  ds.optEnvVarType = 5;
  ds.envVarType = {3, secondType};
  ds.envLabel = {"pH", "soil"};
  ds.envName = "E.txt";
  ds.env.Resize(4, 2);
  const double soil[] = {1, 1, 0, 2};
  for (int c = 0; c < 4; ++c) {
    ds.env[c][0] = 5 + c;
    ds.env[c][1] = secondType == 1 ? c % 2 : soil[c];
  }
  return ds;
}

struct Derivation {
  explicit Derivation(const std::string& answers) : io(answers) {
    hooks.menu = [](const std::string&) {};
  }
  DataSet Run(int secondType) {
    DataSet source = Source(secondType);
    WriteFormda(io.con, source, source.tcst, "srcFormda.txt", "B.txt", source.csm_Float, source.cadat);
    DataSet ds;
    PickSomeFormda(io.con, ds, {"srcFormda.txt", "srcFormda.txt", "newFormda.txt", "newFormda.txt"}, hooks);
    DataSet written;
    ReadFormda(io.con, written, "newFormda.txt");
    return written;
  }
  test::Scripted io;
  DerivedSessionHooks hooks;
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

using PickSomeFormdaTest = InTempDir;

TEST_F(PickSomeFormdaTest, TraitsAndOtusAreAskedAgainUntilTheyExistAndCarryTheirPhylogeny) {
  Derivation d(test::Lines({"2", "2", "k", "zz h", "y", "k", "g h", "y",   // traits
                            "2", "2", "k", "9 3", "y", "k", "3 3", "y", "k", "4 2", "y",  // OTUs
                            "1",                                            // communities
                            "2", "1", "k", "soil", "y",                     // E
                            "n"}));
  DataSet ds = d.Run(2);
  EXPECT_EQ(Count(d.io.err.str(), "Error!! Enter again. \n"), 3u) << d.io.err.str();
  EXPECT_EQ(ds.chLabel, (std::vector<std::string>{"g", "h"}));
  EXPECT_EQ(ds.traitGroups, (std::vector<int>{3, 1}));
  ASSERT_EQ(ds.tcst, 2);
  EXPECT_CLOSE(ds.csm_Float[0][0], 30);
  EXPECT_CLOSE(ds.csm_Float[1][1], 1.5);
  EXPECT_CLOSE(ds.cadat[1][3], 8);
  EXPECT_CLOSE(ds.phylogenyRese[0][1], 31);
  EXPECT_CLOSE(ds.phylogenyRese[1][0], 13);
  EXPECT_EQ(ds.onsta, (std::vector<int>{2, 2}));
  // Only the nominal variable is left: E is of that kind now.
  EXPECT_EQ(ds.optEnvVarType, 3);
  EXPECT_EQ(ds.envLabel, (std::vector<std::string>{"soil"}));
  EXPECT_EQ(ds.dataName, "srcFormda.txt");
}

TEST_F(PickSomeFormdaTest, PoolingRefusesAnEmptyGroupAndAveragesBinaryVariables) {
  Derivation d(test::Lines({"1", "1", "3", "1", "n"}));
  int calls = 0;
  d.hooks.setGroups = [&](DataSet&, int n, int& nGroups, int* groupOf, std::vector<std::string>& labels) {
    ++calls;
    nGroups = 2;
    labels = {"x", "y"};
    for (int c = 0; c < n; ++c) groupOf[c] = calls == 1 ? 1 : c / 2 + 1;
  };
  DataSet ds = d.Run(1);
  EXPECT_EQ(calls, 2);
  EXPECT_NE(d.io.err.str().find("Every group must hold at least one community"), std::string::npos);
  EXPECT_NE(d.io.out.str().find("Binary environmental variables will be averaged"), std::string::npos);
  ASSERT_EQ(ds.ncsm, 2);
  EXPECT_EQ(ds.reLabel, (std::vector<std::string>{"x", "y"}));
  EXPECT_CLOSE(ds.cadat[1][0], 3);  // OTU 2: (2 + 4) / 2
  EXPECT_CLOSE(ds.cadat[1][1], 7);
  EXPECT_EQ(ds.envVarType, (std::vector<int>{3, 3}));
  EXPECT_CLOSE(ds.env[0][1], 0.5);
  EXPECT_CLOSE(ds.env[1][0], 7.5);
}

TEST_F(PickSomeFormdaTest, ChangeBetweenNeighboursMakesQualitativeVariablesBinary) {
  Derivation d(test::Lines({"1", "1", "4", "2", "u1 u2", "y", "2", "1", "n"}));
  DataSet ds = d.Run(2);
  EXPECT_NE(d.io.out.str().find("\nWarning! Change in environmental variables that are qualitative\n"),
            std::string::npos);
  ASSERT_EQ(ds.ncsm, 2);
  EXPECT_EQ(ds.reLabel, (std::vector<std::string>{"u1", "u2"}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_CLOSE(ds.cadat[i][0], i + 1);  // (i + 1) * 2 - (i + 1) * 1
    EXPECT_CLOSE(ds.cadat[i][1], i + 1);
  }
  EXPECT_CLOSE(ds.env[0][0], 1);
  EXPECT_EQ(ds.envVarType, (std::vector<int>{3, 1}));
  EXPECT_CLOSE(ds.env[0][1], 0);  // soil 1 -> 1: no change
  EXPECT_CLOSE(ds.env[1][1], 1);  // soil 0 -> 2: changed
}

}  // namespace
}  // namespace kalios
