#include "measures/clustering.h"

#include <gtest/gtest.h>

#include <vector>

#include "numlib/matrix.h"
#include "support/compare.h"

namespace kalios {
namespace {

using test::FromRows;
using test::LineDistances;

std::vector<int> Vec(const int* p, int n) { return std::vector<int>(p, p + n); }
std::vector<int> Members(const clusterReport& r) { return std::vector<int>(r.members.begin(), r.members.begin() + r.size); }

TEST(LinkageCluster, SingleLinkageTieGoesToFirstPair) {
  Matrix<double> D = FromRows({{0, 1, 1}, {1, 0, 1}, {1, 1, 0}});
  std::vector<clusterReport> rep;
  LinkageCluster(3, D, rep, true, false, kSingleLinkage);
  ASSERT_EQ(rep.size(), 2u);
  EXPECT_EQ(Members(rep[0]), (std::vector<int>{1, 2}));
  EXPECT_EQ(rep[0].level, 1.0);
  EXPECT_EQ(rep[0].boundaryMember, 1);
  EXPECT_EQ(Members(rep[1]), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(rep[1].boundaryMember, 2);
  EXPECT_EQ(D[0][1], 1.0);  // input left intact
}

TEST(LinkageCluster, MethodsDifferInTheirUpdate) {
  // Points 0, 1, 3, 7 on a line.
  Matrix<double> D = LineDistances({0, 1, 3, 7});
  std::vector<clusterReport> rep;
  LinkageCluster(4, D, rep, true, false, kSingleLinkage);
  EXPECT_EQ(rep[1].level, 2.0);  // {0,1} to 3
  EXPECT_EQ(rep[2].level, 4.0);
  LinkageCluster(4, D, rep, true, false, kCompleteLinkage);
  EXPECT_EQ(rep[1].level, 3.0);
  EXPECT_EQ(rep[2].level, 7.0);
  LinkageCluster(4, D, rep, true, false, kUPGMA);
  EXPECT_EQ(rep[1].level, 2.5);
  EXPECT_EQ(rep[2].level, static_cast<double>(static_cast<float>((7 + 6 + 4) / 3.0)));
  LinkageCluster(4, D, rep, true, false, kWPGMA);
  EXPECT_EQ(rep[2].level, 5.25);  // ((7 + 6) / 2 + 4) / 2
  // Similarities: the largest value joins first; complete linkage keeps the smaller.
  Matrix<double> S = FromRows({{1, 0.9, 0.2}, {0.9, 1, 0.5}, {0.2, 0.5, 1}});
  LinkageCluster(3, S, rep, false, false, kCompleteLinkage);
  EXPECT_EQ(Members(rep[0]), (std::vector<int>{1, 2}));
  EXPECT_EQ(rep[0].level, static_cast<double>(0.9f));
  EXPECT_EQ(rep[1].level, static_cast<double>(0.2f));
  // Square roots: of the levels for single linkage, of the data for UPGMA.
  Matrix<double> Q = LineDistances({0, 4, 13});
  LinkageCluster(3, Q, rep, true, true, kSingleLinkage);
  EXPECT_EQ(rep[0].level, 2.0);
  EXPECT_EQ(rep[1].level, 3.0);
  LinkageCluster(3, Q, rep, true, true, kUPGMA);
  EXPECT_EQ(rep[1].level, static_cast<double>(static_cast<float>((std::sqrt(13.0) + 3.0) / 2)));
}

TEST(SumSqCluster, LevelsIncreasesAndBranches) {
  Matrix<double> D = LineDistances({0, 1, 10, 11});
  std::vector<clusterReport> rep;
  SumSqCluster(4, D, rep, false);
  EXPECT_EQ(Members(rep[0]), (std::vector<int>{1, 2}));
  EXPECT_EQ(Members(rep[1]), (std::vector<int>{3, 4}));
  EXPECT_EQ(rep[0].level, 0.5);
  EXPECT_EQ(rep[0].secondLevel, 0.5);
  EXPECT_EQ(Members(rep[2]), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(rep[2].level, 101.0);  // 0.5 + 0.5 + 100
  EXPECT_EQ(rep[2].secondLevel, 100.0);
  EXPECT_EQ(rep[2].branchLength1, 100.5);
  EXPECT_EQ(rep[2].branchLength2, 100.5);
  EXPECT_EQ(rep[2].boundaryMember, 2);
  // Already squared input gives the same hierarchy.
  Matrix<double> D2(4, 4);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) D2[i][j] = D[i][j] * D[i][j];
  std::vector<clusterReport> rep2;
  SumSqCluster(4, D2, rep2, true);
  for (int s = 0; s < 3; ++s) EXPECT_EQ(rep2[s].level, rep[s].level);
}

TEST(ClusterPartition, SumOfSquaresCutUsesAscendingLevels) {
  // a b c d e f g: the third fusion ({a,b} with e) has a larger level than the
  // fourth (f with g), so the hierarchy is not monotone.
  Matrix<double> D = LineDistances({0, 1, 10, 11.2, 2.1, 30, 31.9});
  std::vector<clusterReport> rep;
  SumSqCluster(7, D, rep, false);
  EXPECT_EQ(Members(rep[2]), (std::vector<int>{1, 2, 5}));
  EXPECT_EQ(Members(rep[3]), (std::vector<int>{6, 7}));
  EXPECT_GT(rep[2].level, rep[3].level);
  int part[7];
  GetClusterPartitionNew(7, 4, part, rep, kSumOfSquares);
  EXPECT_EQ(Vec(part, 7), (std::vector<int>{1, 1, 2, 2, 3, 4, 4}));
  // The linkage cut takes the records in step order.
  GetClusterPartitionNew(7, 4, part, rep, kSingleLinkage);
  EXPECT_EQ(Vec(part, 7), (std::vector<int>{1, 1, 2, 2, 1, 3, 4}));
  GetClusterPartitionNew(7, 7, part, rep, kSumOfSquares);
  EXPECT_EQ(Vec(part, 7), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  GetClusterPartitionNew(7, 1, part, rep, kSumOfSquares);
  EXPECT_EQ(Vec(part, 7), (std::vector<int>(7, 1)));
}

TEST(ClusterPartition, RenameLabels) {
  int p[4] = {3, 3, 7, 5};
  RenamePartitionLabels(4, 3, p);
  EXPECT_EQ(Vec(p, 4), (std::vector<int>{1, 1, 3, 2}));
  // Fewer labels than asked, zero and negative labels: it still ends.
  int q[4] = {0, 9, -2, 9};
  RenamePartitionLabels(4, 5, q);
  EXPECT_EQ(Vec(q, 4), (std::vector<int>{0, 1, -2, 1}));
  int r[3] = {0, 0, 0};
  RenamePartitionLabels(3, 2, r);
  EXPECT_EQ(Vec(r, 3), (std::vector<int>{0, 0, 0}));
}

TEST(ClusterIdenticals, GroupsAndTrimmedResemblance) {
  Matrix<double> S = FromRows({{1, 0.3, 1, 0.4}, {0.3, 1, 0.3, 0.6}, {1, 0.3, 1, 0.4}, {0.4, 0.6, 0.4, 1}});
  int part[4], k = 0;
  ClusterIdenticals(4, S, part, k, false);
  EXPECT_EQ(k, 3);
  EXPECT_EQ(Vec(part, 4), (std::vector<int>{1, 2, 1, 3}));
  Matrix<double> Sk(3, 3);
  TrimRese(4, k, part, S, Sk);
  EXPECT_TRUE(test::MatricesClose(Sk, FromRows({{1, 0.3, 0.4}, {0.3, 1, 0.6}, {0.4, 0.6, 1}}), 0, 0));
  Matrix<double> D = LineDistances({2, 2, 5});
  ClusterIdenticals(3, D, part, k, true);
  EXPECT_EQ(k, 2);
  EXPECT_EQ(Vec(part, 3), (std::vector<int>{1, 1, 2}));
}

}  // namespace
}  // namespace kalios
