#include "simulation/metacommunity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "measures/transform.h"
#include "shell/abort.h"
#include "simulation/logistic.h"
#include "simulation/step_files.h"

namespace kalios {
namespace {

using Input = MetacommunitySimulation_Input;

// Ecosystem values beyond this many standard deviations from the mean of the
// sites are outliers and are set back to the mean.
constexpr double kOutlierThreshold = 3.0;

// Logistic(x, 0, 1, 0, 1, slope, centre), the curve of every probability but
// the inertia, with the divisions by 1 and the additions of 0 left out: the
// same bits, at a fraction of the cost of the tens of thousands of calls per
// iteration.
inline double UnitLogistic(double x, const double* param) {
  const double y = 1.0 / (1.0 + std::exp((x - param[0]) * (-4.0 * param[1])));
  if (std::isnan(y)) throw LogisticNaNError();
  return y;
}

bool HasShape(const Matrix<double>& m, int rows, int cols) {
  return rows < 1 ? m.rows() == 0 : (m.rows() == rows && m.cols() == cols);
}

bool HasSize(const std::vector<int>& v, int n) { return static_cast<int>(v.size()) == n; }

// The driver's contract; a record that breaks it would have the loops read or
// write outside the arrays.
void CheckRecord(const Input& in) {
  bool ok = in.nSites >= 1 && in.nOTUs >= 1 && in.nTraits >= 0 && in.nFactors >= 0 && in.stepsPerYear >= 1;
  ok = ok && in.nPredictors == in.nFactors + (in.doubleInteractions ? in.nFactors * (in.nFactors - 1) / 2 : 0);
  ok = ok && HasSize(in.abundanceSite, in.nSites) && HasSize(in.richnessAtThreshold, in.nSites) &&
       HasSize(in.richnessFinal, in.nSites) && HasSize(in.extinctions, in.nSites) &&
       HasSize(in.colonizations, in.nSites) && HasSize(in.maxLifespan, in.nOTUs);
  ok = ok && HasShape(in.responseParam, in.nTraits, in.nPredictors) &&
       HasShape(in.effectParam, in.nFactors, in.nTraits) && HasShape(in.siteDist, in.nSites, in.nSites) &&
       HasShape(in.wAgeWeighted, in.nSites, in.nOTUs) && HasShape(in.w, in.nSites + 1, in.nOTUs) &&
       HasShape(in.averageAge, in.nSites + 1, in.nOTUs + 1) && HasShape(in.ecosystem, in.nPredictors, in.nSites) &&
       HasShape(in.traits, in.nOTUs, in.nTraits) && HasShape(in.cwmExpected, in.nTraits, in.nSites) &&
       HasShape(in.dispersalParam, in.nOTUs, 2) && HasShape(in.densityParam, in.nOTUs, 2) &&
       HasShape(in.ageParam, in.nOTUs, 2) && HasShape(in.inertiaParam, in.nSites, 2);
  ok = ok && in.survivalParam.extent() == in.nTraits;
  for (int k = 0; ok && k < in.nTraits; ++k) ok = HasShape(in.survivalParam[k], in.nOTUs, 2);
  if (!ok) Abort(kAbortOutOfMemory);
}

// Sizes the working state when the shape differs from the previous run, and
// clears it.
void PrepareWork(Input& in) {
  MetacommunityWork& work = in.work;
  const int ns = in.nSites, no = in.nOTUs, nt = in.nTraits, nf = in.nFactors;
  const int capacity = std::max(in.nSteps, 1);
  if (work.capacity != capacity || work.nSites != ns) {
    work.birthOf.Resize(ns, capacity);
    work.otuOf.Resize(ns, capacity);
    work.capacity = capacity;
  }
  if (work.nSites != ns || work.nOTUs != no || work.nTraits != nt || work.nFactors != nf) {
    work.distance = Array3<double>(nt, ns, no);
    work.survival = Array3<double>(nt, ns, no);
    work.S.Resize(ns, no);
    work.birthSum.Resize(ns + 1, no + 1);
    work.cwm.Resize(nt, ns);
    work.cwmPrevious.Resize(nt, ns);
    work.effect.Resize(nf, ns);
    work.largestEffect.assign(static_cast<std::size_t>(nf), 0.0);
    work.outlier.Resize(nf, ns);
    work.factorHasEffects.assign(static_cast<std::size_t>(nf), 0);
    work.density.assign(static_cast<std::size_t>(ns), 0);
    work.progressText.reserve(128);
    work.nSites = ns;
    work.nOTUs = no;
    work.nTraits = nt;
    work.nFactors = nf;
  }
  work.birthSum.Fill(0.0);
  work.cwm.Fill(0.0);
  work.cwmPrevious.Fill(0.0);  // the first change of the CWM is measured from 0
  work.effect.Fill(0.0);
  work.outlier.Fill(0);
  for (int f = 0; f < nf; ++f) {
    bool any = false;
    for (int k = 0; k < nt; ++k) any = any || in.effectParam[f][k] != 0.0;
    work.factorHasEffects[static_cast<std::size_t>(f)] = any ? 1 : 0;
  }
}

void ClearOutputs(Input& in) {
  in.w.Fill(0.0);
  in.averageAge.Fill(0.0);
  in.wAgeWeighted.Fill(0.0);
  in.cwmExpected.Fill(0.0);
  std::fill(in.abundanceSite.begin(), in.abundanceSite.end(), 0);
  std::fill(in.richnessAtThreshold.begin(), in.richnessAtThreshold.end(), 0);
  std::fill(in.richnessFinal.begin(), in.richnessFinal.end(), 0);
  std::fill(in.extinctions.begin(), in.extinctions.end(), 0);
  std::fill(in.colonizations.begin(), in.colonizations.end(), 0);
  in.totalAbundance = 0;
  in.recordStartStep = 0;
}

// Environmental filtering: the expected CWM of each site from its ecosystem,
// each OTU's distance to it per trait (scaled by the largest distance of all),
// the per-trait survival on that distance, and their product S.
void Filter(Input& in) {
  MetacommunityWork& work = in.work;
  const int ns = in.nSites, no = in.nOTUs, nt = in.nTraits;
  for (int k = 0; k < nt; ++k)
    for (int i = 0; i < ns; ++i) {
      double sum = 0.0;
      for (int p = 0; p < in.nPredictors; ++p) sum += in.responseParam[k][p] * in.ecosystem[p][i];
      in.cwmExpected[k][i] = sum;
    }
  double largest = 0.0;
  for (int k = 0; k < nt; ++k)
    for (int i = 0; i < ns; ++i) {
      const double expected = in.cwmExpected[k][i];
      double* d = work.distance[k][i];
      for (int j = 0; j < no; ++j) {
        d[j] = std::fabs(in.traits[j][k] - expected);
        largest = std::max(largest, d[j]);
      }
    }
  const double scale = largest > 0.0 ? largest : 1.0;
  work.S.Fill(1.0);
  for (int k = 0; k < nt; ++k) {
    const Matrix<double>& param = in.survivalParam[k];
    for (int i = 0; i < ns; ++i) {
      const double* d = work.distance[k][i];
      double* p = work.survival[k][i];
      double* s = work.S[i];
      for (int j = 0; j < no; ++j) {
        p[j] = UnitLogistic(d[j] / scale, param[j]);
        s[j] *= p[j];
      }
    }
  }
}

void StartRecording(Input& in, int t) {
  for (int i = 0; i < in.nSites; ++i) {
    int richness = 0;
    for (int j = 0; j < in.nOTUs; ++j) richness += in.w[i][j] > 0.0 ? 1 : 0;
    in.richnessAtThreshold[static_cast<std::size_t>(i)] += richness;
  }
  in.recordStartStep = t;
}

void Birth(Input& in, int i, int j, int t, bool recording) {
  MetacommunityWork& work = in.work;
  int& abundance = in.abundanceSite[static_cast<std::size_t>(i)];
  work.birthOf[i][abundance] = t;  // the newest individual goes last
  work.otuOf[i][abundance] = j;
  work.birthSum[i][j] += t;
  work.birthSum[in.nSites][j] += t;
  work.birthSum[i][in.nOTUs] += t;
  in.w[i][j] += 1.0;
  in.w[in.nSites][j] += 1.0;
  abundance += 1;
  in.totalAbundance += 1;
  if (recording && in.w[i][j] == 1.0) in.colonizations[static_cast<std::size_t>(i)] += 1;
}

// Place at site i of the index-th individual of OTU j, counted from the oldest.
int PlaceOf(const Input& in, int i, int j, int index) {
  const int* otu = in.work.otuOf[i];
  const int abundance = in.abundanceSite[static_cast<std::size_t>(i)];
  for (int p = 0; p < abundance; ++p)
    if (otu[p] == j && index-- == 0) return p;
  return abundance - 1;  // unreachable while w agrees with the rows
}

void Death(Input& in, int i, int place, bool recording) {
  MetacommunityWork& work = in.work;
  int& abundance = in.abundanceSite[static_cast<std::size_t>(i)];
  const int birth = work.birthOf[i][place], j = work.otuOf[i][place];
  // The younger ones move up one place, so the row stays oldest first.
  std::copy(work.birthOf[i] + place + 1, work.birthOf[i] + abundance, work.birthOf[i] + place);
  std::copy(work.otuOf[i] + place + 1, work.otuOf[i] + abundance, work.otuOf[i] + place);
  work.birthSum[i][j] -= birth;
  work.birthSum[in.nSites][j] -= birth;
  work.birthSum[i][in.nOTUs] -= birth;
  in.w[i][j] -= 1.0;
  in.w[in.nSites][j] -= 1.0;
  abundance -= 1;
  in.totalAbundance -= 1;
  if (recording && in.w[i][j] == 0.0) in.extinctions[static_cast<std::size_t>(i)] += 1;
}

// One arrival attempt per site: a random OTU arrives from outside when it is
// nowhere in the metacommunity, from the nearest site holding it when it is
// elsewhere, or from the site itself; it establishes with probability S.
void Colonize(Input& in, RandomGenerator& rng, int t, bool recording) {
  if (in.saveSteps) WriteDispersalHeader(in, t);
  for (int i = 0; i < in.nSites; ++i) {
    const int j = static_cast<int>(rng.UniformInt(static_cast<unsigned long>(in.nOTUs)));
    bool arrives = true;  // immigration, or recruitment from the site itself
    if (in.w[in.nSites][j] > 0.0 && in.w[i][j] == 0.0) {
      double distance = 1.0;
      for (int k = 0; k < in.nSites; ++k)
        if (in.w[k][j] > 0.0) distance = std::min(distance, in.siteDist[i][k]);
      const double p = UnitLogistic(distance, in.dispersalParam[j]);
      if (in.saveSteps) WriteDispersalLine(in, i, j, p);
      arrives = rng.Uniform() < p;
    }
    if (arrives && rng.Uniform() < in.work.S[i][j]) Birth(in, i, j, t, recording);
  }
}

// One death attempt per occupied site: a random individual dies with
// probability 1 - (density survival) (age survival) S. Returns whether anyone died.
bool Mortality(Input& in, RandomGenerator& rng, int t, int perSiteMaximum, bool recording) {
  MetacommunityWork& work = in.work;
  if (in.saveSteps) WriteMortalityHeader(in, t);
  for (int i = 0; i < in.nSites; ++i)
    work.density[static_cast<std::size_t>(i)] = in.abundanceSite[static_cast<std::size_t>(i)] / perSiteMaximum;
  bool died = false;
  for (int i = 0; i < in.nSites; ++i) {
    const int abundance = in.abundanceSite[static_cast<std::size_t>(i)];
    if (abundance < 1) continue;
    const int r = static_cast<int>(rng.UniformInt(static_cast<unsigned long>(abundance)));
    int j = in.nOTUs - 1;
    int running = 0;
    for (int o = 0; o < in.nOTUs; ++o) {
      running += static_cast<int>(in.w[i][o]);
      if (running > r) {
        j = o;
        break;
      }
    }
    const double pD = UnitLogistic(work.density[static_cast<std::size_t>(i)], in.densityParam[j]);
    if (in.saveSteps) WriteDensityLine(in, i, pD);

    const int index = static_cast<int>(rng.UniformInt(static_cast<unsigned long>(in.w[i][j])));
    const int place = PlaceOf(in, i, j, index);
    const double age = static_cast<double>(t - work.birthOf[i][place]) / in.stepsPerYear;
    // A maximum lifespan below one iteration (0 years) counts as one
    // iteration, so that a newborn is at the start of its life, not at 0 / 0.
    const double lifespan =
        std::max(static_cast<double>(in.maxLifespan[static_cast<std::size_t>(j)]), 1.0 / in.stepsPerYear);
    const double pA = UnitLogistic(age / lifespan, in.ageParam[j]);
    if (in.saveSteps) WriteAgeSurvivalLine(in, i, j, age, pA);

    const double death = 1.0 - pD * pA * work.S[i][j];
    if (rng.Uniform() < death) {
      Death(in, i, place, recording);
      died = true;
    }
  }
  return died;
}

// Average ages in years at iteration t: per site and OTU, per OTU over all
// sites (last row), per site over all OTUs (last column); 0 where nobody lives.
void AverageAges(Input& in, int t) {
  const MetacommunityWork& work = in.work;
  const double perYear = in.stepsPerYear;
  auto age = [&](double birthSum, double n) { return n > 0.0 ? (t - birthSum / n) / perYear : 0.0; };
  for (int i = 0; i < in.nSites; ++i) {
    for (int j = 0; j < in.nOTUs; ++j) in.averageAge[i][j] = age(work.birthSum[i][j], in.w[i][j]);
    in.averageAge[i][in.nOTUs] = age(work.birthSum[i][in.nOTUs], in.abundanceSite[static_cast<std::size_t>(i)]);
  }
  for (int j = 0; j < in.nOTUs; ++j) in.averageAge[in.nSites][j] = age(work.birthSum[in.nSites][j], in.w[in.nSites][j]);
}

void CommunityWeightedMeans(Input& in, int t, bool died) {
  MetacommunityWork& work = in.work;
  for (int i = 0; i < in.nSites; ++i)
    for (int j = 0; j < in.nOTUs; ++j)
      in.wAgeWeighted[i][j] = in.weightByAge ? in.w[i][j] * in.averageAge[i][j] : in.w[i][j];
  if (in.saveSteps && died && in.weightByAge) WriteAgeWeightedBlock(in, t);
  UnitSumRowsAdjMV(in.nSites, in.nOTUs, in.wAgeWeighted, in.wAgeWeighted);
  work.cwm.Fill(0.0);
  for (int i = 0; i < in.nSites; ++i)
    for (int j = 0; j < in.nOTUs; ++j) {
      const double weight = in.wAgeWeighted[i][j];
      if (weight == 0.0) continue;  // most OTUs are absent from most sites
      const double* traits = in.traits[j];
      for (int k = 0; k < in.nTraits; ++k) work.cwm[k][i] += weight * traits[k];
    }
  if (in.saveSteps) WriteCwmLines(in, t);
}

// z-scores across the sites with the population standard deviation (1 when
// the row does not vary); values beyond the threshold are flagged and set to 0.
void StandardizeFactor(int n, double* row, int* flags) {
  double mean = 0.0;
  for (int i = 0; i < n; ++i) mean += row[i];
  mean /= n;
  double ss = 0.0;
  for (int i = 0; i < n; ++i) ss += (row[i] - mean) * (row[i] - mean);
  const double sd = ss > 0.0 ? std::sqrt(ss / n) : 1.0;
  for (int i = 0; i < n; ++i) {
    const double z = (row[i] - mean) / sd;
    flags[i] = std::fabs(z) > kOutlierThreshold ? 1 : 0;
    row[i] = flags[i] ? 0.0 : z;
  }
}

// The change of each site's CWM since the previous iteration moves its
// ecosystem through effectParam, damped by the site's inertia; the factors
// that moved are standardized again across the sites.
void EcosystemFeedback(Input& in) {
  MetacommunityWork& work = in.work;
  for (int f = 0; f < in.nFactors; ++f) {
    double largest = 0.0;
    for (int i = 0; i < in.nSites; ++i) {
      double sum = 0.0;
      for (int k = 0; k < in.nTraits; ++k) sum += in.effectParam[f][k] * (work.cwm[k][i] - work.cwmPrevious[k][i]);
      work.effect[f][i] = sum;
      largest = std::max(largest, std::fabs(sum));
    }
    work.largestEffect[static_cast<std::size_t>(f)] = largest;
  }
  for (int f = 0; f < in.nFactors; ++f) {
    if (!work.factorHasEffects[static_cast<std::size_t>(f)]) continue;
    const double largest = work.largestEffect[static_cast<std::size_t>(f)];
    for (int i = 0; i < in.nSites; ++i) {
      const double effect = work.effect[f][i];
      const double* inertia = in.inertiaParam[i];
      const double q = Logistic(std::fabs(effect), 0.0, largest, 0.0, 1.0, inertia[1], inertia[0]);
      in.ecosystem[f][i] += (1.0 - q) * effect;
    }
    StandardizeFactor(in.nSites, in.ecosystem[f], work.outlier[f]);
  }
  std::swap(work.cwm, work.cwmPrevious);
}

// Row nFactors + c holds the product of the c-th pair (f, g), f < g, in the
// order (1,2), (1,3), ..., (2,3), ...
void PairRows(Input& in) {
  int row = in.nFactors;
  for (int f = 0; f < in.nFactors; ++f)
    for (int g = f + 1; g < in.nFactors; ++g, ++row)
      for (int i = 0; i < in.nSites; ++i) in.ecosystem[row][i] = in.ecosystem[f][i] * in.ecosystem[g][i];
}

void ShowProgress(Input& in, const MetacommunityOptions& options) {
  if (!options.progress) return;
  char text[128];
  std::snprintf(text, sizeof text, "Iteration: %d %d Abundance: %d", in.nDataSets, in.iDataSet, in.totalAbundance);
  in.work.progressText.assign(text);  // within the reserved capacity
  options.progress(in.work.progressText);
}

}  // namespace

bool MetacommunitySimulation(MetacommunitySimulation_Input* in, RandomGenerator& rng,
                             const MetacommunityOptions& options) {
  Input& rec = *in;
  CheckRecord(rec);
  PrepareWork(rec);
  ClearOutputs(rec);
  MetacommunityWork& work = rec.work;
  // Individuals per site at which density reaches 1; at least 1 so that a
  // maximum below one individual per site cannot divide by zero.
  const int perSiteMaximum = std::max(1, rec.maxIndividuals / rec.nSites);
  const bool environmentChanges =
      std::any_of(work.factorHasEffects.begin(), work.factorHasEffects.end(), [](char c) { return c != 0; });
  bool recording = false;

  for (int t = 1; t <= rec.nSteps; ++t) {
    ShowProgress(rec, options);
    if (t == 1 || environmentChanges) Filter(rec);
    if (!recording && (rec.totalAbundance > rec.maxIndividuals * rec.recordThreshold ||
                       t > rec.recordThreshold * rec.nSteps)) {
      StartRecording(rec, t);
      recording = true;
    }
    Colonize(rec, rng, t, recording);
    if (rec.saveSteps) {
      // Ages as they stand now, the newborns of this iteration included.
      AverageAges(rec, t);
      WriteCompositionBlock(rec, t, false);
      WriteAgeBlock(rec, t, false);
    }
    const bool died = Mortality(rec, rng, t, perSiteMaximum, recording);
    if (rec.saveSteps && died) WriteCompositionBlock(rec, t, true);
    AverageAges(rec, t);
    if (rec.saveSteps) {
      WriteAgeBlock(rec, t, true);
      WriteFilteringBlocks(rec, t);
    }
    CommunityWeightedMeans(rec, t, died);
    EcosystemFeedback(rec);
    if (rec.doubleInteractions) PairRows(rec);
    if (options.afterStep) options.afterStep(rec, t);
  }
  return true;
}

}  // namespace kalios
