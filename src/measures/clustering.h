#pragma once
// Hierarchical clustering of objects (OTUs or communities) by their
// resemblance, the record of its fusions, the cut of the hierarchy into a
// partition, and the grouping of identical objects.
//
// Partitions are one int label per object; after relabelling the labels are
// 1..k in the order of their old values.
#include <vector>

namespace kalios {

// Clustering methods (the option that pools OTUs into types).
enum ClusterMethod : int {
  kClusterNone = 0,
  kSingleLinkage = 1,
  kCompleteLinkage = 2,
  kSumOfSquares = 3,
  kUPGMA = 4,
  kWPGMA = 5,
};

// One fusion step of a clustering of n objects.
struct clusterReport {
  double level = 0;        // fusion level, rounded to single precision
  double secondLevel = 0;  // sum of squares: increase of the criterion (0 for linkage)
  int size = 0;            // objects in the group formed
  std::vector<int> members;  // n entries: the size members (1-based), first group's first; then 0
  int boundaryMember = 0;  // last member of the first group of the pair
  double branchLength1 = 0;  // sum of squares: level minus the per-member level of each group
  double branchLength2 = 0;  // joined (0 for linkage)
};

// Agglomerative clustering of n objects by single, complete, UPGMA or WPGMA
// linkage on the upper triangle of R (similarities unless isDissimilarity).
// report receives the n - 1 fusions. R is left intact. With sqrtOpt the
// levels are on the square-root scale (for UPGMA and WPGMA on dissimilarities
// the dissimilarities themselves are square-rooted before clustering).
// Ties go to the first pair met scanning rows, then columns.
void LinkageCluster(int n, const double* const* R, std::vector<clusterReport>& report, bool isDissimilarity,
                    bool sqrtOpt, int method);

// Lance-Williams update of the m x m working matrix R (both triangles kept
// equal) after groups i < j are joined: row and column j are removed (the
// matrix is then m - 1 x m - 1 in its first rows and columns), sizes[i] grows
// by sizes[j] and the sizes after j move up.
void LinkageFusion(int m, int* sizes, int i, int j, double** R, bool isDissimilarity, int method);

// Minimum-variance (sum of squares) clustering on the distances D (squared
// first) or, with isSquared, on squared distances. Levels are the within-group
// sums of squares of the groups formed; they need not grow step by step.
void SumSqCluster(int n, const double* const* D, std::vector<clusterReport>& report, bool isSquared);

// Centroid update of the squared distances W (both triangles) after groups
// i < j are joined; removes row and column j and updates the sizes.
void FusionMatrix(int m, int* sizes, int i, int j, double** W);

// Cuts the hierarchy recorded in report (n - 1 fusions by `method`) into k
// groups. For the sum-of-squares method the fusions are taken in ascending
// level order. The partition ends labelled 1..k.
void GetClusterPartitionNew(int n, int k, int* partition, const std::vector<clusterReport>& report, int method);

// Renumbers the labels 1..k keeping their order: a missing label L closes the
// gap by moving every label above L down by one. Stops at the largest label
// present, so it ends even when fewer than k labels exist; labels below 1 are
// left as they are.
void RenamePartitionLabels(int n, int k, int* partition);

// Groups objects that R shows identical (dissimilarity exactly 0, or
// similarity exactly 1): partition 1..k, with k the number of groups.
void ClusterIdenticals(int n, const double* const* R, int* partition, int& k, bool isDissimilarity);

// Rk (k x k) = the resemblance between the first members of groups 1..k,
// read from the upper triangle of R.
void TrimRese(int n, int k, const int* partition, const double* const* R, double** Rk);

}  // namespace kalios
