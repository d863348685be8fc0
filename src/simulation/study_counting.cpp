// The counting of the rejections of each null hypothesis, reading the test
// record by statistic name.
#include <algorithm>
#include <string>

#include "numlib/compare.h"
#include "simulation/study.h"
#include "simulation/study_counting.h"

namespace kalios {

const char* const kCountedStats[kNumCountedStats] = {"r(TE)", "r(XE)", "r(XE.T)", "r(RE)", "r(VE)", "r(XE.TR)",
                                                     "r(TY)", "r(XY)", "r(XY.T)", "r(XY.TR)", "r(RY)", "r(VY)"};

namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

}  // namespace

bool RejectsAt(double p, double alpha) { return p < alpha || AlmostEqual2sComplement(p, alpha, 1); }

int StatIndexA(const char* name) {
  for (int a = 0; a < kNumPermStats; ++a)
    if (std::string(kPermStatNamesA[U(a)]) == name) return a;
  return -1;
}

int StatIndexB(const char* name) {
  for (int b = 0; b < kNumPermStats; ++b)
    if (std::string(kPermStatNamesB[U(b)]) == name) return b;
  return -1;
}

StatResult ReadStat(const PermTest_FunctionalPhyl_Correl_Input& r, const char* name) {
  const int a = StatIndexA(name), b = StatIndexB(name);
  StatResult s;
  s.obs = r.obsStat[U(a)];
  s.p = r.probStat[U(a)];
  s.ses = r.sesStat[U(b)];
  s.exp = r.expStat[U(b)];
  s.ll = r.llStat[U(b)];
  s.ul = r.ulStat[U(b)];
  s.asym = r.asymProbStat[U(b)];
  return s;
}

void SizeCounts(RejectionCounts& c, int K, int P) {
  c.stat.assign(kNumCountedStats, 0.0);
  c.rsq.assign(U(K + 1), 0.0);
  c.coef.Resize(K + 1, P);
  c.manovaT.assign(U(P), 0.0);
  c.manovaX.assign(U(P), 0.0);
  c.anovaR.assign(U(P), 0.0);
  c.anovaTrait.Resize(P, K);
}

void CountRejections(const PermTest_FunctionalPhyl_Correl_Input& r, int optRo, double alpha,
                     const std::vector<int>& predictors, const std::vector<int>& traitsSelected, RejectionCounts& c) {
  for (int s = 0; s < kNumCountedStats; ++s)
    if (RejectsAt(ReadStat(r, kCountedStats[s]).p, alpha)) c.stat[U(s)] += 1;
  const int K = static_cast<int>(traitsSelected.size());
  const int e = static_cast<int>(predictors.size());
  if (optRo == 4) {
    // Responses: the CWM of each trait, then functional diversity (Rao).
    for (int k = 0; k <= K; ++k) {
      if (k < K && !traitsSelected[U(k)]) continue;
      if (RejectsAt(r.probRsqRegr[k], alpha)) c.rsq[U(k)] += 1;
      for (int v = 0; v < e; ++v)
        if (RejectsAt(r.probCoefRegr[v][k], alpha)) c.coef[k][predictors[U(v)]] += 1;
    }
  } else if (optRo == 5) {
    for (int v = 0; v < e; ++v) {
      const int p = predictors[U(v)];
      if (RejectsAt(r.probPseudoF_T[v], alpha)) c.manovaT[U(p)] += 1;
      if (RejectsAt(r.probPseudoF_X[v], alpha)) c.manovaX[U(p)] += 1;
      if (RejectsAt(r.probPseudoF_R[v], alpha)) c.anovaR[U(p)] += 1;
      for (int k = 0; k < K; ++k)
        if (traitsSelected[U(k)] && RejectsAt(r.probPseudoF_Traits[v][k], alpha)) c.anovaTrait[p][k] += 1;
    }
  }
}

}  // namespace kalios
