// Stand-in for the permutation engine until it joins this branch: computes
// the observed statistics and the descriptors only (no null model), so that
// the analysis around it can run. Every P-value is 1, every SES 0.
#include "testing/functional_stats.h"
#include "testing/permtest.h"

namespace kalios {

void PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* in, RandomGenerator&,
                                    const PermTestOptions&) {
  FunctionalPhyl_Stats_Lib_Input st;
  PrepareFunctionalPhylStats(*in, st);
  FunctionalPhyl_Stats_Lib(in, &st);
  double orderA[kNumPermStats];
  StatsToOrderA(st, orderA);
  for (int a = 0; a < kNumPermStats; ++a) {
    in->obsStat[static_cast<std::size_t>(a)] = orderA[a];
    in->probStat[static_cast<std::size_t>(a)] = 1.0;
    int b = kPermStatAtoB[static_cast<std::size_t>(a)];
    in->expStat[static_cast<std::size_t>(b)] = orderA[a];
    in->llStat[static_cast<std::size_t>(b)] = orderA[a];
    in->ulStat[static_cast<std::size_t>(b)] = orderA[a];
    in->asymProbStat[static_cast<std::size_t>(b)] = 1.0;
  }
  const int n = in->ncsm;
  for (int i = 0; i < n; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    if (in->Tout)
      for (int j = 0; j < in->nch + st.nExtraCols; ++j) in->Tout[i][j] = st.T[i][j];
    if (in->Xout)
      for (int j = 0; j < in->nTypes; ++j) in->Xout[i][j] = st.X[i][j];
    if (in->Pout && in->includePhylogeny)
      for (int j = 0; j < in->nTaxa; ++j) in->Pout[i][j] = st.P[i][j];
    if (in->Rout) in->Rout[i] = st.R[ui];
    if (in->RphylOut && in->includePhylogeny) in->RphylOut[i] = st.Rphyl[ui];
    if (in->V) {
      in->V[0][i] = st.nncrd[ui];
      in->V[1][i] = st.Vcol[i][0];
    }
  }
}

void PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* in, RandomGenerator& rng, App&) {
  PermTest_FunctionalPhyl_Correl(in, rng, PermTestOptions{});
}

}  // namespace kalios
