// Preparation of a simulation study and the generation of each simulated
// data set: traits, random curve parameters, coordinates, initial ecosystem
// conditions, and the record handed to the dynamics.
#include <algorithm>
#include <cmath>

#include "measures/covariance.h"
#include "measures/resemblance.h"
#include "measures/transform.h"
#include "numlib/linalg.h"
#include "shell/cformat.h"
#include "simulation/logistic.h"
#include "simulation/study.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// z-scores of each column with the mean and the population standard
// deviation that produced them, and the range of the z-scores.
void Standardize(int n, int p, const Matrix<double>& in, TraitSet& t) {
  t.z.Resize(n, p);
  ZStandardizationColsMV(n, p, in, t.z);
  t.mean.assign(U(p), 0.0);
  t.sd.assign(U(p), 0.0);
  t.min.assign(U(p), 0.0);
  t.max.assign(U(p), 0.0);
  for (int k = 0; k < p; ++k) {
    double s = 0, ss = 0;
    for (int i = 0; i < n; ++i) s += in[i][k];
    const double m = s / n;
    for (int i = 0; i < n; ++i) ss += (in[i][k] - m) * (in[i][k] - m);
    t.mean[U(k)] = m;
    t.sd[U(k)] = std::sqrt(ss / n);
    double lo = t.z[0][k], hi = t.z[0][k];
    for (int i = 1; i < n; ++i) {
      lo = std::min(lo, t.z[i][k]);
      hi = std::max(hi, t.z[i][k]);
    }
    t.min[U(k)] = lo;
    t.max[U(k)] = hi;
  }
}

// Factor rows (F x S) followed by the pair rows (f, g), f < g, in the order
// (1,2), (1,3), ..., (2,3), ...: the product of the two factor rows.
void AddPairRows(int F, int S, bool interactions, Matrix<double>& m) {
  if (!interactions) return;
  int row = F;
  for (int f = 0; f < F; ++f)
    for (int g = f + 1; g < F; ++g, ++row)
      for (int i = 0; i < S; ++i) m[row][i] = m[f][i] * m[g][i];
}

// Standardizes S x F values per factor and stores them transposed as the
// first F rows of out (P x S), then the pair rows.
void EnvironmentFromSites(const StudyDesign& d, const Matrix<double>& sitesByFactors, Matrix<double>& out) {
  Matrix<double> z(d.S, d.F);
  ZStandardizationColsMV(d.S, d.F, sitesByFactors, z);
  out.Resize(d.P, d.S);
  for (int f = 0; f < d.F; ++f)
    for (int i = 0; i < d.S; ++i) out[f][i] = z[i][f];
  AddPairRows(d.F, d.S, d.interactions, out);
}

void DrawCurves(RandomGenerator& rng, const CurveSource& c, Matrix<double>& m, int rows) {
  for (int i = 0; i < rows; ++i) {
    const double centre = RndLogisticCentre(rng, c.centreMin, c.centreMax);
    m[i][0] = centre;
    m[i][1] = RndLogisticSlopeAdjusted(rng, c.slopeMin, c.slopeMax, centre);
  }
}

}  // namespace

void PrepareStudy(StudyState& st) {
  StudyDesign& d = st.design;
  if (d.traitSource == 't') {
    Standardize(d.N, d.K, d.traitsRaw, st.traits);
  }
  if (d.envSource == 'e') {
    Matrix<double> sites = d.envInitial;  // S x F as read
    EnvironmentFromSites(d, sites, d.envInitial);
  }
  d.responseFlag.assign(U(d.K), 0);
  for (int k = 0; k < d.K; ++k)
    for (int p = 0; p < d.P; ++p)
      if (d.response[k][p] != 0) d.responseFlag[U(k)] = 1;
  d.effectFlag.assign(U(d.F), 0);
  for (int f = 0; f < d.F; ++f)
    for (int k = 0; k < d.K; ++k)
      if (d.effect[f][k] != 0) d.effectFlag[U(f)] = 1;

  st.predictorLabels.clear();
  for (int f = 1; f <= d.F; ++f) st.predictorLabels.push_back(Format("%d", f));
  if (d.interactions)
    for (int f = 1; f <= d.F; ++f)
      for (int g = f + 1; g <= d.F; ++g) st.predictorLabels.push_back(Format("%dx%d", f, g));

  SizeMetacommunitySimulation_Input(&st.run, d.S, d.N, d.K, d.F, d.interactions);
  MetacommunitySimulation_Input& r = st.run;
  r.nDataSets = d.D;
  r.maxIndividuals = static_cast<int>(std::min(2147483647.0, static_cast<double>(d.maxIndPerSite) * d.S));
  r.nSteps = static_cast<int>(std::min(2147483647.0, static_cast<double>(d.years) * d.stepsPerYear));
  r.stepsPerYear = d.stepsPerYear;
  r.recordThreshold = d.recordThreshold;
  r.responseParam = d.response;
  r.effectParam = d.effect;
  r.saveSteps = d.saveSteps;
  r.saveDataSetResults = d.saveDataSetResults;
  r.doubleInteractions = d.interactions;
  r.weightByAge = d.weightByAge;
  if (d.dispersal.fromFile) r.dispersalParam = d.dispersalParam;
  if (d.density.fromFile) r.densityParam = d.densityParam;
  if (d.age.fromFile) r.ageParam = d.ageParam;
  if (d.inertia.fromFile) r.inertiaParam = d.inertiaParam;
  if (d.survival.fromFile)
    for (int k = 0; k < d.K; ++k) r.survivalParam[k] = d.survivalParam[k];
  if (d.lifespanFromFile) r.maxLifespan = d.lifespan;
}

void GenerateDataSet(StudyState& st, RandomGenerator& rng, int dataSet) {
  const StudyDesign& d = st.design;
  MetacommunitySimulation_Input& r = st.run;
  TraitSet& t = st.traits;

  // 1. Traits from the correlation matrix: scaled to 0..1, the products
  // appended, then z-scores.
  if (d.traitSource == 'c') {
    const int k0 = d.K - d.Q;
    t.scaled.Resize(d.N, d.K);
    if (k0 > 0) {
      Matrix<double> raw(d.N, k0), scaled(d.N, k0);
      CorrToData_New(d.N, k0, d.traitCorr, raw, d.traitDistribution, rng.handle());
      RangeColsAdjMV(d.N, k0, raw, scaled);
      for (int i = 0; i < d.N; ++i)
        for (int k = 0; k < k0; ++k) t.scaled[i][k] = scaled[i][k];
    }
    for (int c = 0; c < d.Q; ++c) {
      const auto [a, b] = d.products[U(c)];
      for (int i = 0; i < d.N; ++i) t.scaled[i][k0 + c] = t.scaled[i][a - 1] * t.scaled[i][b - 1];
    }
    Standardize(d.N, d.K, t.scaled, t);
    // Correlations between traits: the routine correlates rows.
    Matrix<double> byTrait(d.K, d.N);
    for (int i = 0; i < d.N; ++i)
      for (int k = 0; k < d.K; ++k) byTrait[k][i] = t.scaled[i][k];
    t.corr.Resize(d.K, d.K);
    CorrelationMV(d.K, d.N, byTrait, t.corr);
  }
  r.traits = t.z;

  // 2. Random curve parameters and lifespans.
  if (!d.dispersal.fromFile) DrawCurves(rng, d.dispersal, r.dispersalParam, d.N);
  if (!d.survival.fromFile)
    for (int k = 0; k < d.K; ++k) DrawCurves(rng, d.survival, r.survivalParam[k], d.N);
  if (!d.density.fromFile) DrawCurves(rng, d.density, r.densityParam, d.N);
  if (!d.age.fromFile) DrawCurves(rng, d.age, r.ageParam, d.N);
  if (!d.inertia.fromFile) DrawCurves(rng, d.inertia, r.inertiaParam, d.S);
  if (!d.lifespanFromFile) {
    r.maxLifespan.assign(U(d.N), d.lifeMin);
    const unsigned long span = static_cast<unsigned long>(d.lifeMax) - static_cast<unsigned long>(d.lifeMin) + 1;
    for (int j = 0; j < d.N; ++j)
      r.maxLifespan[U(j)] = d.lifeMin + static_cast<int>(rng.UniformInt(span));
  }

  // 3. Coordinates and the site distances, the largest made 1.
  if (!d.coordsFromFile) {
    st.design.coords.Resize(2, d.S);
    Matrix<double>& xy = st.design.coords;
    for (int i = 0; i < d.S; ++i) {
      xy[0][i] = 100.0 * rng.Uniform();
      xy[1][i] = 100.0 * rng.Uniform();
    }
  }
  {
    Matrix<double> sites(d.S, 2);
    for (int i = 0; i < d.S; ++i) {
      sites[i][0] = d.coords[0][i];
      sites[i][1] = d.coords[1][i];
    }
    EucliDistMV(d.S, 2, sites, r.siteDist);
    double largest = 0;
    for (int i = 0; i < d.S; ++i)
      for (int j = i + 1; j < d.S; ++j) {
        const double v = std::max(r.siteDist[i][j], r.siteDist[j][i]);
        r.siteDist[i][j] = r.siteDist[j][i] = v;
        largest = std::max(largest, v);
      }
    if (largest > 0)
      for (int i = 0; i < d.S; ++i)
        for (int j = 0; j < d.S; ++j) r.siteDist[i][j] /= largest;
  }

  // 4. Initial ecosystem conditions.
  if (d.envSource == 'c') {
    Matrix<double> raw(d.S, d.F);
    CorrToData_New(d.S, d.F, d.factorCorr, raw, d.envDistribution, rng.handle());
    EnvironmentFromSites(d, raw, r.ecosystem);
    st.design.envInitial = r.ecosystem;
  } else {
    r.ecosystem = d.envInitial;
  }

  // 5. The record for this run.
  r.iDataSet = dataSet;
  r.nDataSets = d.D;
}

}  // namespace kalios
