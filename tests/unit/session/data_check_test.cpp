#include "session/data_check.h"

#include <gtest/gtest.h>

#include "session/data_subset.h"
#include "support/compare.h"

namespace kalios {
namespace {

// 4 OTUs, traits "a" and "sp", 4 communities, species A, B and A again, a
// phylogeny whose entry [i][j] is 10 i + j, trait groups.
//   OTU 0: 1 0 0 0  species 0 (A)
//   OTU 1: 0 0 0 0  species 1 (B): absent everywhere
//   OTU 2: 0 -999 0 0 species 2 (A): a missing value counts as present
//   OTU 3: 0 0 2 0  species 0 (A)
DataSet Survey() {
  DataSet ds;
  ds.tcst = 4;
  ds.nch = 2;
  ds.ncsm = 4;
  ds.chLabel = {"a", "sp"};
  ds.chtype = {3, 2};
  ds.onsta = {4, 4};
  ds.chrange = {0, 0};
  ds.traitGroups = {1, 2};
  ds.hasTraitGroups = true;
  ds.csm_Float.Resize(4, 2);
  ds.cadat.Resize(4, 4);
  for (int i = 0; i < 4; ++i) {
    ds.csm_Float[i][0] = 1.5 * i;
    ds.csm_Float[i][1] = 7;
  }
  ds.cadat[0][0] = 1;
  ds.cadat[2][1] = -999;
  ds.cadat[3][2] = 2;
  ds.reLabel = {"r1", "r2", "r3", "r4"};
  ds.nSpp = 3;
  ds.spp = {"A", "B", "A"};
  ds.cstSppMap = Matrix<char>(4, 3, '0');
  ds.cstSppMap[0][0] = ds.cstSppMap[3][0] = '1';
  ds.cstSppMap[1][1] = '1';
  ds.cstSppMap[2][2] = '1';
  // Occurrences as the source had them, B included where it no longer is.
  ds.sppRelMap = Matrix<char>(3, 4, '0');
  ds.sppRelMap[0][0] = ds.sppRelMap[0][2] = '1';
  ds.sppRelMap[1][3] = '1';
  ds.sppRelMap[2][1] = '1';
  ds.hasPhylogeny = true;
  ds.phylogenyMatrixType = 1;
  ds.phylogenyRese.Resize(4, 4);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) ds.phylogenyRese[i][j] = 10 * i + j;
  return ds;
}

TEST(CheckData, DropsAbsentOtusWithTheirPhylogenyAndSpecies) {
  DataSet ds = Survey();
  EXPECT_EQ(CheckData(ds, 1), 1);  // r4 is left with no OTU
  ASSERT_EQ(ds.tcst, 3);
  const int kept[] = {0, 2, 3};
  for (int i = 0; i < 3; ++i) {
    EXPECT_CLOSE(ds.csm_Float[i][0], 1.5 * kept[i]);
    for (int j = 0; j < 3; ++j) EXPECT_CLOSE(ds.phylogenyRese[i][j], 10 * kept[i] + kept[j]);
  }
  // The two A merge, B is left without OTUs and goes.
  ASSERT_EQ(ds.nSpp, 1);
  EXPECT_EQ(ds.spp[0], "A");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ds.cstSppMap[i][0], '1') << i;
  EXPECT_EQ(std::string(ds.sppRelMap[0], 4), "1110");
  // "sp" now tells the species: all three share the first OTU's position.
  for (int i = 0; i < 3; ++i) EXPECT_CLOSE(ds.csm_Float[i][1], 0);
  EXPECT_EQ(ds.onsta, (std::vector<int>{3, 1}));
  EXPECT_CLOSE(ds.chrange[0], 4.5);
  EXPECT_EQ(ds.ncst, (std::vector<int>{1, 1, 1, 0}));
}

TEST(TrimSpecies, CancelsMembershipWhereTheOtuAndItsSpeciesNeverMeet) {
  DataSet ds = Survey();
  ds.sppRelMap[2][1] = '0';  // species 2 said to occur nowhere...
  ds.sppRelMap[0][2] = '0';             // ...and A no longer where OTU 3 is
  TrimSpecies(ds, ds.tcst);
  ASSERT_EQ(ds.nSpp, 2);  // species 2 went: it occurs in no community
  EXPECT_EQ(ds.spp, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(ds.cstSppMap[0][0], '1');
  EXPECT_EQ(ds.cstSppMap[3][0], '0');
  EXPECT_EQ(ds.cstSppMap[1][1], '0');  // B occurs only where OTU 1 is absent
}

TEST(KeepOtusAndTraits, PhylogenyAndTraitGroupsFollowTheNewOrder) {
  DataSet ds = Survey();
  KeepOtus(ds, {3, 0});
  KeepTraits(ds, {1, 0});
  ASSERT_EQ(ds.tcst, 2);
  EXPECT_CLOSE(ds.phylogenyRese[0][1], 30);
  EXPECT_CLOSE(ds.phylogenyRese[1][0], 3);
  EXPECT_CLOSE(ds.phylogenyRese[0][0], 33);
  EXPECT_EQ(ds.traitGroups, (std::vector<int>{2, 1}));
  EXPECT_EQ(ds.chLabel, (std::vector<std::string>{"sp", "a"}));
  EXPECT_CLOSE(ds.csm_Float[0][1], 4.5);
  EXPECT_EQ(ds.cstSppMap[0][0], '1');

  DataSet described = Survey();  // a phylogeny given as descriptors
  described.phylogenyMatrixType = 2;
  described.nClados = 1;
  described.phylogenyData.Resize(4, 1);
  for (int i = 0; i < 4; ++i) described.phylogenyData[i][0] = i;
  KeepOtus(described, {2, 1});
  EXPECT_CLOSE(described.phylogenyData[0][0], 2);
  EXPECT_CLOSE(described.phylogenyData[1][0], 1);
}

}  // namespace
}  // namespace kalios
