#pragma once
// The data set of the open session: trait matrix B, community matrix W (stored
// with OTUs as rows), the optional ecological matrix E and phylogeny, labels,
// types, species names, and the selections and partitions the analyses use.
// One object, owned by the App; loading allocates, Release frees.
#include <string>
#include <vector>

#include "numlib/matrix.h"

namespace kalios {

inline constexpr int kLabelWidth = 70;       // labels hold up to 70 characters
inline constexpr int kGroupLabelWidth = 4;   // group labels up to 4
inline constexpr int kPartNameWidth = 20;    // partition names up to 20
inline constexpr int kMaxPartitions = 10;    // stored partitions of each kind
inline constexpr int kTitleWidth = 319;      // title line of the data set
inline constexpr int kReservedCodes = 7;     // reserved header numbers of the data file

// Cuts a text to at most n characters.
std::string CutTo(const std::string& text, int n);

struct DataSet {
  // Sizes
  int tcst = 0;     // OTUs
  int nch = 0;      // traits
  int ncsm = 0;     // communities
  int nenv = 0;     // ecological variables; 0 without E
  int nSpp = 0;     // species names; 0 without
  int nClados = 0;  // phylogenetic descriptors (phylogeny given as data)

  // Trait matrix B and its description
  Matrix<double> csm_Float;          // [tcst][nch]
  std::vector<std::string> chLabel;  // [nch]
  std::vector<int> chtype;           // 1 binary, 2 nominal, 3 interval/ratio, 4 ordinal
  std::vector<int> onsta;            // distinct states of each trait
  std::vector<double> chrange;       // stored as 0, computed when needed
  std::vector<int> traitGroups;
  bool hasTraitGroups = false;
  std::string dataName;

  // Community matrix W, OTUs as rows
  Matrix<double> cadat;              // [tcst][ncsm]
  std::vector<std::string> reLabel;  // [ncsm]
  std::vector<int> ncst;             // [ncsm], stored as 0
  std::vector<double> ca_code;       // [7]

  // Ecological matrix E
  Matrix<double> env;                 // [ncsm][nenv]
  std::vector<std::string> envLabel;  // [nenv]
  std::vector<int> envVarType;        // [nenv]
  int optEnvVarType = 0;
  int temEnvBin = 0, temEnvQual = 0, temEnvQuant = 0;
  std::string envName;

  // Species names of the OTUs
  std::vector<std::string> spp;  // [nSpp]
  Matrix<char> sppRelMap;        // [nSpp][ncsm] '1' species in community
  Matrix<char> cstSppMap;        // [tcst][nSpp] '1' OTU belongs to species
  std::string whichSpp;

  // Phylogeny
  bool hasPhylogeny = false;
  int phylogenyMatrixType = 0;  // 1 similarities, 2 descriptors, 3 normalized distances
  Matrix<double> phylogenyRese;  // [tcst][tcst]
  Matrix<double> phylogenyData;  // [tcst][nClados]
  std::vector<int> phylogenyVarType;  // [nClados]
  bool includePhylogeny = false;
  std::vector<int> partition_OTUs_Phyl;  // [tcst]

  // Selections and working arrays
  std::vector<int> relSelect;     // [ncsm]
  std::vector<int> eVarSelect;    // [nenv]
  std::vector<int> weight_OTUs;   // [tcst]
  std::vector<double> weight;     // [nch]
  std::vector<int> nchor;         // [nch]
  std::vector<int> nGrPoly;       // [nch]
  std::vector<int> rcst;          // [nch]
  std::vector<int> partition_OTUs;  // [tcst]
  int SMWSize = 1;

  // Stored partitions of the communities
  int nPart = 0;
  std::vector<std::string> partLabel;               // [10]
  std::vector<int> nGroupsP;                        // [10]
  Matrix<int> groupRelP;                            // [10][ncsm]
  std::vector<std::vector<std::string>> grLabelP;   // [10][ncsm]
  int whichPart = 0;
  int nGroups = 0;  // groups of the partition in use
  int* groupRel() { return groupRelP.empty() ? nullptr : groupRelP[whichPart]; }
  std::vector<std::string>* grLabel() {
    return grLabelP.empty() ? nullptr : &grLabelP[static_cast<size_t>(whichPart)];
  }

  // Stored partitions of the OTUs
  int nPartCst = 0;
  std::vector<std::string> partCstLabel;              // [10]
  std::vector<int> nGroupsCstP;                       // [10]
  Matrix<int> groupCstP;                              // [10][tcst]
  std::vector<std::vector<std::string>> grCstLabelP;  // [10][tcst]
  std::vector<int> whichLevelGrCstP;                  // [10]
  int whichCstPart = 0;
  int whichLevelGrCST = 1;
  int nCstGroups = 0;
  int* groupCst() { return groupCstP.empty() ? nullptr : groupCstP[whichCstPart]; }
  std::vector<std::string>* grCstLabel() {
    return grCstLabelP.empty() ? nullptr : &grCstLabelP[static_cast<size_t>(whichCstPart)];
  }

  // Allocates the selections, working arrays and partition stores, zero-filled,
  // for the current sizes.
  void AllocateWorkingArrays();
  // Frees every array; the sizes stay until the next load overwrites them.
  void Release();
};

}  // namespace kalios
