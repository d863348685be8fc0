#include "session/merge_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "session/formda.h"
#include "support/compare.h"
#include "support/scripted.h"
#include "support/tempdir.h"

namespace kalios {
namespace {

using testing::InTempDir;

// n OTUs in m communities, traits "h" (type 3) and "w" (type 1), one variable.
DataSet Survey(int n, const std::vector<std::string>& communities, double base, const char* eFile) {
  DataSet ds;
  ds.tcst = n;
  ds.nch = 2;
  ds.ncsm = static_cast<int>(communities.size());
  ds.dataName = "one";
  ds.chLabel = {"h", "w"};
  ds.chtype = {3, 1};
  ds.onsta = {n, 2};
  ds.reLabel = communities;
  ds.csm_Float.Resize(n, 2);
  ds.cadat.Resize(n, ds.ncsm);
  for (int i = 0; i < n; ++i) {
    ds.csm_Float[i][0] = base + i;
    ds.csm_Float[i][1] = i % 2;
    for (int c = 0; c < ds.ncsm; ++c) ds.cadat[i][c] = base + i + c;
  }
  ds.ca_code.assign(kReservedCodes, 0.0);
  ds.nenv = 1;
  ds.optEnvVarType = 1;
  ds.envVarType = {3};
  ds.envLabel = {"pH"};
  ds.envName = eFile;
  ds.env.Resize(ds.ncsm, 1);
  for (int c = 0; c < ds.ncsm; ++c) ds.env[c][0] = base + 0.5 * c;
  ds.traitGroups = {1, 1};
  ds.hasTraitGroups = true;
  return ds;
}

void Save(const DataSet& ds, const std::string& path) {
  test::Scripted io;
  WriteFormda(io.con, ds, ds.tcst, path, ds.dataName, ds.csm_Float, ds.cadat);
}

void AddSpecies(DataSet& ds, const std::vector<std::string>& names) {
  ds.nSpp = static_cast<int>(names.size());
  ds.whichSpp = "spp.txt";
  ds.spp = names;
  ds.cstSppMap = Matrix<char>(ds.tcst, ds.nSpp, '0');
  for (int i = 0; i < ds.tcst; ++i) ds.cstSppMap[i][i % ds.nSpp] = '1';
  ds.sppRelMap = Matrix<char>(ds.nSpp, ds.ncsm, '1');
}

using MergeFormdaTest = InTempDir;

TEST_F(MergeFormdaTest, JoinsTwoSurveysIntoOneThatLoads) {
  DataSet first = Survey(3, {"a", "ab"}, 1, "e one.txt");
  first.hasPhylogeny = true;  // covers the first survey's OTUs only
  first.phylogenyMatrixType = 1;
  first.phylogenyRese = Matrix<double>(3, 3, 1.0);
  Save(Survey(2, {"a", "c"}, 10, "e2.txt"), "twoFormda.txt");
  first.dataName = "oneFormda.txt";
  test::Scripted io;
  ASSERT_TRUE(MergeFormda(io.con, first, "twoFormda.txt", "twoFormda.txt", "mFormda.txt"));

  DataSet m;
  ReadFormda(io.con, m, "mFormda.txt");
  EXPECT_EQ(m.dataName, "oneFormda.txt twoFormda.txt");
  // "a" is taken and so is "ab": the repeated label grows until it is new.
  EXPECT_EQ(m.reLabel, (std::vector<std::string>{"a", "ab", "abb", "c"}));
  ASSERT_EQ(m.tcst, 5);
  for (int i = 0; i < 5; ++i)
    for (int c = 0; c < 4; ++c) {
      const bool own = i < 3 ? c < 2 : c >= 2;
      const double want = !own ? 0 : i < 3 ? 1 + i + c : 10 + (i - 3) + (c - 2);
      EXPECT_CLOSE(m.cadat[i][c], want) << i << "," << c;
    }
  EXPECT_CLOSE(m.csm_Float[4][0], 11);
  EXPECT_CLOSE(m.env[3][0], 10.5);
  EXPECT_EQ(m.onsta, (std::vector<int>{5, 2}));
  EXPECT_FALSE(m.hasPhylogeny);
  EXPECT_TRUE(m.hasTraitGroups);
  // Both E file names in one word that reads back as written.
  EXPECT_EQ(m.envName, "e_one.txt+e2.txt");
  EXPECT_EQ(m.nenv, 1);
}

TEST_F(MergeFormdaTest, SpeciesMapsAreBlockDiagonalAndSameNamesMerge) {
  DataSet first = Survey(2, {"a"}, 1, "e.txt");
  AddSpecies(first, {"Poa", "Carex"});
  DataSet second = Survey(2, {"b"}, 5, "e.txt");
  AddSpecies(second, {"Poa", "Juncus"});
  Save(second, "twoFormda.txt");
  test::Scripted io;
  ASSERT_TRUE(MergeFormda(io.con, first, "twoFormda.txt", "twoFormda.txt", "mFormda.txt"));
  DataSet m;
  ReadFormda(io.con, m, "mFormda.txt");
  ASSERT_EQ(m.nSpp, 3);
  EXPECT_EQ(m.spp, (std::vector<std::string>{"Poa", "Carex", "Juncus"}));
  EXPECT_EQ(std::string(m.sppRelMap[0], 2), "11");
  EXPECT_EQ(std::string(m.sppRelMap[1], 2), "10");
  EXPECT_EQ(std::string(m.sppRelMap[2], 2), "01");
  EXPECT_EQ(std::string(m.cstSppMap[2], 3), "100");  // the second's Poa is the first's
  EXPECT_EQ(std::string(m.cstSppMap[3], 3), "001");
}

TEST_F(MergeFormdaTest, IncompatibleSurveysAreRefusedWithoutWriting) {
  struct Case {
    const char* what;
    void (*change)(DataSet&);
    const char* message;
  };
  const Case cases[] = {
      {"trait order", [](DataSet& d) { std::swap(d.chLabel[0], d.chLabel[1]); },
       "\nLabels for traits do not match (or their order).\n\n"},
      {"trait count", [](DataSet& d) { d.nch = 1; d.chLabel.resize(1); d.chtype.resize(1);
                                       d.onsta.resize(1); d.traitGroups.resize(1); },
       "\nThe number of traits do not match.\n\n"},
      {"trait types", [](DataSet& d) { d.chtype[1] = 2; }, "\nTrait types do not match.\n\n"},
      {"variable types", [](DataSet& d) { d.envVarType[0] = 4; },
       "\nThe types of environmental variables do not match.\n\n"},
      {"variable labels", [](DataSet& d) { d.envLabel[0] = "N"; },
       "\nLabels for environmental variables do not match.\n\n"},
      {"species", [](DataSet& d) { AddSpecies(d, {"Poa"}); },
       "\nOne session has species names and the other not.\n"},
      {"long repeated label", [](DataSet& d) { d.reLabel[0] = std::string(70, 'x'); },
       "session labels length to 69 letters or digits) and try again.\n"},
  };
  for (const Case& c : cases) {
    DataSet first = Survey(2, {"a"}, 1, "e.txt");
    if (std::string(c.what) == "long repeated label") first.reLabel[0] = std::string(70, 'x');
    DataSet second = Survey(2, {"b"}, 5, "e.txt");
    c.change(second);
    if (std::string(c.what) == "trait count") second.csm_Float.Resize(2, 1);
    Save(second, "twoFormda.txt");
    test::Scripted io;
    EXPECT_FALSE(MergeFormda(io.con, first, "twoFormda.txt", "twoFormda.txt", "mFormda.txt")) << c.what;
    EXPECT_NE(io.out.str().find(c.message), std::string::npos) << c.what << ": " << io.out.str();
    EXPECT_FALSE(std::filesystem::exists("mFormda.txt")) << c.what;
  }
}

}  // namespace
}  // namespace kalios
