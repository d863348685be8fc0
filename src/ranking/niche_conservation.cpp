#include "ranking/niche_conservation.h"

#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

#include "functional/option_names.h"
#include "numlib/print.h"
#include "ranking/criteria.h"
#include "ranking/niche_evaluator.h"
#include "session/safe_write.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/progress.h"
#include "testing/matrix_correlation.h"

namespace kalios {
namespace {

std::size_t Z(int i) { return static_cast<std::size_t>(i); }

void Labels(std::ostream& os, const DataSet& d, const std::vector<int>& traits) {
  for (int t : traits)
    if (t >= 1 && Z(t - 1) < d.chLabel.size()) Print(os, "%s\t", d.chLabel[Z(t - 1)].c_str());
}

double CorrOf(const RankingInputs& in, const double* const* DA, const double* const* DB) {
  return in.corrKind == 'r' ? RdMatrixCorr(in.n, DA, DB, in.squareDist) : MatrixCorr(in.n, DA, DB);
}

void WriteHeader(std::ostream& os, const RankingRunContext& run, bool mantelInstead) {
  const AnalysisOptions& o = run.opts;
  const RankingOptions& r = run.ranking;
  const DataSet& d = run.data;
  WriteRankingHeaderTop(os, run);
  Print(os, o.optUnitTotalAdjust2 ? "Community data matrix W adjusted to unit totals prior to evaluation.\n"
                                  : "Community data matrix W NOT adjusted to unit totals prior to evaluation.\n");
  Print(os, "Trait ranking criterion (TRC): %s\n", opt_structInfo(o.opt_struct));
  const bool polythetic = o.poolCSTopt != 1;
  Print(os, "Pooling of OTUs: %s\n", OptionName(poolCSToptInfo, polythetic ? 1 : 0));
  if (polythetic) {
    if (o.clusMethPoolCSTs != 0)
      Print(os, "Clustering method defining types: %s\n", OptionName(clusMethInfo, o.clusMethPoolCSTs));
    else
      Print(os, "Clustering method defining types: none (groups were specified by the user).\n");
  }
  const int reseCST = o.reseCSTopt == 2 ? 2 : 1;
  Print(os, "Resemblance function between OTUs: %s\n", OptionName(reseCSToptInfo, reseCST - 1));
  if (reseCST == 1)
    Print(os, "Gower index modified to count matching absences in binary traits? %s\n",
          OptionName(YesNotInfo, run.prefs.countDoubleAbsence ? 1 : 0));
  Print(os, "Ranking algorithm: %s\n", OptionName(rankingAlgorithmInfo, r.rankingAlgorithm - 1));
  bool all = true;
  for (int k = 0; k < d.nch && Z(k) < d.weight.size(); ++k)
    if (!(d.weight[Z(k)] > 0)) all = false;
  if (all) {
    Print(os, "All traits were considered in the computation of Gower similarity index between populations.\n");
  } else {
    Print(os, "Traits considered in the computation of Gower similarity index between populations:\t");
    for (int k = 0; k < d.nch && Z(k) < d.weight.size(); ++k)
      if (d.weight[Z(k)] > 0) Print(os, "%-3s", d.chLabel[Z(k)].c_str());
    Print(os, "\n");
  }
  Print(os, "Fuzzy transformation: %s\n", OptionName(fuzzyInfo, o.fuzzy));
  // The community resemblances take part whatever the correlation measure.
  Print(os, "Resemblance option between communities: %s\n", OptionName(rese_optInfo, o.rese_opt - 1));
  Print(os, "Correlation measure: %s\n", OptionName(opt_roInfo, o.opt_ro - 1));
  if (mantelInstead) {
    Print(os, "Procrustes and RV coefficients are not computed for this criterion: Mantel type matrix correlations "
              "were used instead. ");
  } else if (o.opt_MatrixCorr == 'r') {
    Print(os, "Rd matrix correlations (Omelka & Hudecovaa 2013). ");
  } else {
    Print(os, "Mantel type matrix correlations. ");
  }
  Print(os, o.squareDistMatrixOpt && !mantelInstead ? "Squared distances were used.\n"
                                                    : "Unsquared distances were used.\n");
  if (r.printRankIntermedResults == 'y')
    Print(os, "\n%-*s\tGroups\tTrait subset used:\n", run.prefs.sDigits + 6, "TRC");
}

class NicheObserver : public RankingObserver {
 public:
  NicheObserver(std::ostream& os, const RankingRunContext& run) : os_(os), run_(run) {}

  void Iteration(std::int64_t iteration, std::int64_t total, int k) override {
    HandleEventInfoWhere2(run_.con, Format("Iteration: %lld of %lld, Traits: %d", static_cast<long long>(iteration),
                                           static_cast<long long>(total), k));
  }

  void Evaluated(const int* traits, int k, const SubsetResult& result) override {
    const std::vector<int> chosen(traits, traits + k);
    for (std::size_t e = 0; e < result.evaluations.size(); ++e) {
      const int g = result.evaluations[e].first;
      if (run_.ranking.printRankIntermedResults != 'y' || e >= result.details.size()) continue;
      const std::vector<double>& detail = result.details[e];
      for (int v = 0; v < kNichePanelSize; ++v) Print(os_, "%s=\t%g\t", kNichePanelLabels[Z(v)], detail[Z(v)]);
      Print(os_, "%d groups\tTraits:\t", g);
      Labels(os_, run_.data, chosen);
      Print(os_, "Group sizes:\t");
      for (std::size_t t = kNichePanelSize; t < detail.size(); ++t) Print(os_, "%d\t", static_cast<int>(detail[t]));
      Print(os_, "\n");
    }
  }

  void SizeDone(int k, const SizeBest& best) override {
    const int digits = run_.prefs.sDigits;
    Print(os_, "Ranking criterion values, groups and optimal subset with %d traits: \t%-*.*g\t%d groups\t", k,
          digits + 6, digits, best.value, best.g);
    Labels(os_, run_.data, best.traits);
    Print(os_, "\n");
  }

 private:
  std::ostream& os_;
  const RankingRunContext& run_;
};

// Enters every evaluation into the evaluation list, in the order of the
// search, before the observer of the run sees the subset.
class EvaluationList : public RankingObserver {
 public:
  EvaluationList(RankingObserver& next, std::vector<KeptEntry>& list) : next_(next), list_(list) {}
  void Iteration(std::int64_t iteration, std::int64_t total, int k) override { next_.Iteration(iteration, total, k); }
  void Evaluated(const int* traits, int k, const SubsetResult& result) override {
    for (const auto& [g, value] : result.evaluations) KeepTrack(list_, false, value, g, traits, k);
    next_.Evaluated(traits, k, result);
  }
  void SizeDone(int k, const SizeBest& best) override { next_.SizeDone(k, best); }

 private:
  RankingObserver& next_;
  std::vector<KeptEntry>& list_;
};

void WriteList(std::ostream& os, const char* heading, const std::vector<KeptEntry>& list,
               const RankingRunContext& run) {
  const int digits = run.prefs.sDigits;
  Print(os, "%s", heading);
  for (int slot = nKeepTrack; slot >= 1 && Z(slot) < list.size(); --slot) {
    const KeptEntry& e = list[Z(slot)];
    Print(os, "%-*.*g\t%d groups\t", digits + 6, digits, e.value, e.g);
    Labels(os, run.data, e.traits);
    Print(os, "\n");
  }
}

// The best of each size again, in columns: trait lists, then numbers of types
// and values. It closes the file so that the header stays whole.
void WriteSummary(std::ostream& os, const RankingRunContext& run, const RankingOutcome& out) {
  const int kMin = std::max(run.ranking.nMinTraitsChRank, 1);
  const int kMax = std::min(run.ranking.nMaxTraitsChRank, static_cast<int>(out.bySize.size()) - 1);
  for (int k = kMin; k <= kMax; ++k) {
    Labels(os, run.data, out.bySize[Z(k)].traits);
    Print(os, "\n");
  }
  Print(os, "\n");
  for (int k = kMin; k <= kMax; ++k) Print(os, "%-5d\t", out.bySize[Z(k)].g);
  Print(os, "\n");
  for (int k = kMin; k <= kMax; ++k) Print(os, "%-13.*g\t", run.prefs.sDigits, out.bySize[Z(k)].value);
  Print(os, "\n");
}

}  // namespace

void RunNicheSearch(const RankingInputs& in, int criterion, int kMin, int kMax, int threads,
                    RankingObserver& observer, NicheOutcome& out, const StructuresSink& structures) {
  const double roPE = CorrOf(in, in.DP, in.DE);
  out.evaluations.assign(Z(nKeepTrack + 1), KeptEntry{});
  EvaluationList listing(observer, out.evaluations);
  RunSubsetSearch(in, kMin, kMax, threads, listing, out.search, structures,
                  [&] { return std::make_unique<NicheEvaluator>(in, criterion, roPE); });
}

void ChRank_Phylogeny_x_Trait_Assembly(const RankingRunContext& run) {
  const std::time_t started = std::time(nullptr);
  const AnalysisOptions& o = run.opts;
  if (o.rese_opt < 1) {
    Print(run.con.err, "Undefined resemblance option!\n");
    Abort(kAbortOutOfMemory);
  }
  CheckResultsWritable(run.con, run.resultsPath);
  CheckResultsWritable(run.con, SubsetTablePath(run.resultsPath));
  AtomicTextFile file(run.resultsPath);
  if (!file.Open()) ResultsOpenFailed(run.con, run.resultsPath);
  const bool keepStructures = !run.structuresPath.empty();
  std::unique_ptr<AtomicTextFile> structuresFile;
  if (keepStructures) {
    CheckResultsWritable(run.con, run.structuresPath);
    structuresFile = std::make_unique<AtomicTextFile>(run.structuresPath);
    if (!structuresFile->Open()) ResultsOpenFailed(run.con, run.structuresPath);
  }

  RankingInputs in;
  BuildRankingInputs(run.data, o, run.ranking, run.prefs, kNicheConservationSearch, in);
  // Every resemblance between communities is needed whatever the measure
  // chosen, and only the Mantel and Rd correlations are defined here.
  const bool mantelInstead = o.opt_ro == 2 || o.opt_ro == 3;
  in.opt_ro = 1;
  in.corrKind = !mantelInstead && o.opt_MatrixCorr == 'r' ? 'r' : 'm';

  std::ostringstream os, structures;
  StructuresSink sink;
  if (keepStructures) {
    WriteRankingSetupStructures(structures, kNicheConservationSearch, run, in);
    sink = StructuresSink{&structures, &run.data.chLabel, run.prefs.sDigits};
  }
  WriteHeader(os, run, mantelInstead);
  NicheOutcome out;
  NicheObserver report(os, run);
  SubsetTableObserver observer(report, run.data.chLabel);
  RunNicheSearch(in, o.opt_struct, run.ranking.nMinTraitsChRank, run.ranking.nMaxTraitsChRank, run.prefs.threads,
                 observer, out, sink);
  WriteList(os,
            "\n\nTrait subsets and number of types with maximum matrix correlation:\nTRC\tn groups\toptimal subset of "
            "traits\n",
            out.evaluations, run);
  WriteList(os,
            "\n\nTrait subsets with maximum matrix correlation (only optimal number of types presented):\nTRC\tn "
            "groups\toptimal subset of traits\n",
            out.search.kept, run);
  Print(os, "Elapsed time: %g seconds\n", std::difftime(std::time(nullptr), started));
  WriteSummary(os, run, out.search);
  file.Write(os.str());
  file.Commit();
  if (structuresFile) {
    structuresFile->Write(structures.str());
    structuresFile->Commit();
  }
  WriteSubsetTableAndFigure(run, observer);
}

}  // namespace kalios
