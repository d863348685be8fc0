#include "simulation/metacommunity_record.h"

namespace kalios {

void SizeMetacommunitySimulation_Input(MetacommunitySimulation_Input* in, int nSites, int nOTUs, int nTraits,
                                       int nFactors, bool doubleInteractions) {
  in->nSites = nSites;
  in->nOTUs = nOTUs;
  in->nTraits = nTraits;
  in->nFactors = nFactors;
  in->doubleInteractions = doubleInteractions;
  in->nPredictors = doubleInteractions ? nFactors + nFactors * (nFactors - 1) / 2 : nFactors;
  const auto sites = static_cast<std::size_t>(nSites);
  in->abundanceSite.assign(sites, 0);
  in->richnessAtThreshold.assign(sites, 0);
  in->richnessFinal.assign(sites, 0);
  in->extinctions.assign(sites, 0);
  in->colonizations.assign(sites, 0);
  in->maxLifespan.assign(static_cast<std::size_t>(nOTUs), 0);
  in->responseParam.Resize(nTraits, in->nPredictors);
  in->effectParam.Resize(nFactors, nTraits);
  in->siteDist.Resize(nSites, nSites);
  in->wAgeWeighted.Resize(nSites, nOTUs);
  in->w.Resize(nSites + 1, nOTUs);
  in->averageAge.Resize(nSites + 1, nOTUs + 1);
  in->ecosystem.Resize(in->nPredictors, nSites);
  in->traits.Resize(nOTUs, nTraits);
  in->cwmExpected.Resize(nTraits, nSites);
  in->survivalParam = Array3<double>(nTraits, nOTUs, 2);
  in->dispersalParam.Resize(nOTUs, 2);
  in->densityParam.Resize(nOTUs, 2);
  in->ageParam.Resize(nOTUs, 2);
  in->inertiaParam.Resize(nSites, 2);
}

}  // namespace kalios
