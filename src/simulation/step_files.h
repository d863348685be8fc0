#pragma once
// The step-by-step files of a metacommunity run. Each write opens its file for
// appending and closes it again, so whatever was written before a failure
// stays on disk; a file that cannot be opened or written ends in the
// file-open abort. The study driver creates the files empty beforehand.
#include "simulation/metacommunity_record.h"

namespace kalios {

inline constexpr const char* kDispersalProbFile = "DispersalProb.txt";
inline constexpr const char* kCommunityDataFile = "CommunityData.txt";
inline constexpr const char* kAverageAgeFile = "AverageAge.txt";
inline constexpr const char* kDensityAgeProbFile = "DensityDependence_AgeRelatedProb.txt";
inline constexpr const char* kEnvDataFile = "EnvData.txt";
inline constexpr const char* kEnvDataOutliersFile = "EnvDataOutliers.txt";
inline constexpr const char* kCwmExpectedFile = "CWM_Expected.txt";
inline constexpr const char* kDistancesFile = "Distances.txt";
inline constexpr const char* kProbFile = "Prob.txt";
inline constexpr const char* kAgeWeightedFile = "CommunityDataWeightedByAge.txt";
inline constexpr const char* kCwmFile = "CWM.txt";

// Colonization phase: the iteration header, then one line per dispersal
// attempt (site and OTU from 0, written from 1).
void WriteDispersalHeader(const MetacommunitySimulation_Input& in, int t);
void WriteDispersalLine(const MetacommunitySimulation_Input& in, int site, int otu, double probability);
// The composition (w, site totals, OTU totals, total) and the average ages,
// before or after mortality.
void WriteCompositionBlock(const MetacommunitySimulation_Input& in, int t, bool afterMortality);
void WriteAgeBlock(const MetacommunitySimulation_Input& in, int t, bool afterMortality);
// Mortality phase: the iteration header, then per site its density and age lines.
void WriteMortalityHeader(const MetacommunitySimulation_Input& in, int t);
void WriteDensityLine(const MetacommunitySimulation_Input& in, int site, double probability);
void WriteAgeSurvivalLine(const MetacommunitySimulation_Input& in, int site, int otu, double age, double probability);
// Ecosystem, outlier flags, expected CWM, distances and survival
// probabilities, as they stand before this iteration's ecosystem update.
void WriteFilteringBlocks(const MetacommunitySimulation_Input& in, int t);
// wAgeWeighted before its rows are brought to unit total.
void WriteAgeWeightedBlock(const MetacommunitySimulation_Input& in, int t);
void WriteCwmLines(const MetacommunitySimulation_Input& in, int t);

}  // namespace kalios
