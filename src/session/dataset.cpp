#include "session/dataset.h"

namespace kalios {

namespace {
size_t Count(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }
}  // namespace

std::string CutTo(const std::string& text, int n) {
  if (n >= 0 && text.size() > static_cast<size_t>(n)) return text.substr(0, static_cast<size_t>(n));
  return text;
}

void DataSet::AllocateWorkingArrays() {
  relSelect.assign(Count(ncsm), 0);
  eVarSelect.assign(Count(nenv), 0);
  weight_OTUs.assign(Count(tcst), 0);
  weight.assign(Count(nch), 0.0);
  nchor.assign(Count(nch), 0);
  nGrPoly.assign(Count(nch), 0);
  rcst.assign(Count(nch), 0);
  partition_OTUs.assign(Count(tcst), 0);

  partLabel.assign(kMaxPartitions, std::string());
  nGroupsP.assign(kMaxPartitions, 0);
  groupRelP.Resize(kMaxPartitions, ncsm);
  grLabelP.assign(kMaxPartitions, std::vector<std::string>(Count(ncsm)));

  partCstLabel.assign(kMaxPartitions, std::string());
  nGroupsCstP.assign(kMaxPartitions, 0);
  groupCstP.Resize(kMaxPartitions, tcst);
  grCstLabelP.assign(kMaxPartitions, std::vector<std::string>(Count(tcst)));
  whichLevelGrCstP.assign(kMaxPartitions, 0);
}

void DataSet::Release() {
  csm_Float.Release();
  chLabel.clear();
  chtype.clear();
  onsta.clear();
  chrange.clear();
  traitGroups.clear();
  cadat.Release();
  reLabel.clear();
  ncst.clear();
  ca_code.clear();
  env.Release();
  envLabel.clear();
  envVarType.clear();
  spp.clear();
  sppRelMap.Release();
  cstSppMap.Release();
  phylogenyRese.Release();
  phylogenyData.Release();
  phylogenyVarType.clear();
  partition_OTUs_Phyl.clear();
  relSelect.clear();
  eVarSelect.clear();
  weight_OTUs.clear();
  weight.clear();
  nchor.clear();
  nGrPoly.clear();
  rcst.clear();
  partition_OTUs.clear();
  partLabel.clear();
  nGroupsP.clear();
  groupRelP.Release();
  grLabelP.clear();
  partCstLabel.clear();
  nGroupsCstP.clear();
  groupCstP.Release();
  grCstLabelP.clear();
  whichLevelGrCstP.clear();
}

}  // namespace kalios
