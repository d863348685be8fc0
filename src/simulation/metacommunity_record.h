#pragma once
// The record through which the simulation study hands one simulated
// metacommunity to the dynamics and gets the final state back. The driver
// sizes it once for a study (SizeMetacommunitySimulation_Input), fills the
// inputs before each run, and reads the fields marked "out" afterwards. The
// working state of the dynamics lives in the record too, so that hundreds of
// runs of one study reuse the same storage.
#include <string>
#include <vector>

#include "numlib/matrix.h"

namespace kalios {

// Working state of a run; only the dynamics write it. Kept between runs so
// that the step loop never allocates.
struct MetacommunityWork {
  int nSites = 0, nOTUs = 0, nTraits = 0, nFactors = 0;  // the shape it is sized for
  Array3<double> distance;  // per trait: site x OTU |trait - expected CWM|, unscaled
  Array3<double> survival;  // per trait: site x OTU survival probability
  Matrix<double> S;         // site x OTU: product of the per-trait survivals
  // The living individuals of each site, oldest first: birth iteration and
  // OTU. A site gains at most one individual per iteration, so nSteps places
  // per site always suffice; one such row per site rather than one list per
  // site and OTU keeps the memory at nSites x nSteps.
  int capacity = 0;
  Matrix<int> birthOf;  // nSites x capacity
  Matrix<int> otuOf;    // nSites x capacity
  // Sums of those birth iterations, with the extra row per OTU over all sites
  // and the extra column per site over all OTUs (the layout of averageAge).
  // Whole numbers well within 2^53, so they stay exact through any number of
  // births and deaths, unlike running means.
  Matrix<double> birthSum;
  Matrix<double> cwm, cwmPrevious;  // nTraits x nSites
  Matrix<double> effect;            // nFactors x nSites
  std::vector<double> largestEffect;  // per factor: largest |effect| over the sites
  Matrix<int> outlier;              // nFactors x nSites: 1 when set to 0 as an outlier
  std::vector<char> factorHasEffects;
  std::vector<int> density;  // per site
  std::string progressText;

};

struct MetacommunitySimulation_Input {
  int nDataSets = 1;                // data sets of the study (progress text)
  int iDataSet = 1;                 // current data set, from 1
  std::vector<int> abundanceSite;   // out: individuals per site
  int totalAbundance = 0;           // out: individuals in the metacommunity
  int nSites = 0;
  int nTraits = 0;
  int nOTUs = 0;
  int nFactors = 0;
  int nPredictors = 0;              // nFactors, plus the pairs with doubleInteractions
  int maxIndividuals = 0;           // maximum average individuals per site x nSites
  int nSteps = 0;                   // iterations of the run
  int stepsPerYear = 1;
  std::vector<int> maxLifespan;     // per OTU, years
  double recordThreshold = 0.0;     // 0..1
  Matrix<double> responseParam;     // nTraits x nPredictors
  Matrix<double> effectParam;       // nFactors x nTraits
  Matrix<double> siteDist;          // nSites x nSites, largest 1
  Matrix<double> wAgeWeighted;      // out: nSites x nOTUs, rows of unit total
  Matrix<double> w;                 // out: (nSites + 1) x nOTUs, last row the OTU totals
  Matrix<double> averageAge;        // out: (nSites + 1) x (nOTUs + 1), years
  Matrix<double> ecosystem;         // in/out: nPredictors x nSites
  Matrix<double> traits;            // nOTUs x nTraits, z-scores
  Matrix<double> cwmExpected;       // out: nTraits x nSites
  Array3<double> survivalParam;     // nTraits x nOTUs x 2
  // Curve parameters: centre at index 0, slope at index 1.
  Matrix<double> dispersalParam;    // nOTUs x 2
  Matrix<double> densityParam;      // nOTUs x 2
  Matrix<double> ageParam;          // nOTUs x 2
  Matrix<double> inertiaParam;      // nSites x 2
  int recordStartStep = 0;          // out: iteration at which recording started, 0 if never
  std::vector<int> richnessAtThreshold;  // out
  std::vector<int> richnessFinal;        // cleared here, filled by the driver
  std::vector<int> extinctions;          // out: after recording started
  std::vector<int> colonizations;        // out: after recording started
  bool saveDataSetResults = false;  // the driver's own flag
  bool saveSteps = false;           // write the step-by-step files
  bool doubleInteractions = false;  // keep the pair rows of ecosystem up to date
  bool weightByAge = false;
  int nDigits = 6;                  // significant digits of the step files
  std::string stepDirectory;        // where the step files are; empty: the current directory

  MetacommunityWork work;
};

// Sets the counts and allocates every input and output array of the record
// for that shape, zero-filled; nPredictors follows from doubleInteractions.
void SizeMetacommunitySimulation_Input(MetacommunitySimulation_Input* in, int nSites, int nOTUs, int nTraits,
                                       int nFactors, bool doubleInteractions);

}  // namespace kalios
