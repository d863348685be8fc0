#include "ranking/chrank.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "functional/option_names.h"
#include "numlib/print.h"
#include "plot/figures.h"
#include "ranking/criteria.h"
#include "ranking/subset_search.h"
#include "session/safe_write.h"
#include "session/tsv_table.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/progress.h"

namespace kalios {
namespace {

std::size_t Z(int i) { return static_cast<std::size_t>(i); }

bool IsPartialMode(int mode) { return RankingMode(mode).partial; }

void Labels(std::ostream& os, const DataSet& d, const std::vector<int>& traits) {
  for (int t : traits)
    if (t >= 1 && Z(t - 1) < d.chLabel.size()) Print(os, "%s\t", d.chLabel[Z(t - 1)].c_str());
}

void WriteHeader(std::ostream& os, int mode, const RankingRunContext& run) {
  const AnalysisOptions& o = run.opts;
  const RankingOptions& r = run.ranking;
  const DataSet& d = run.data;
  WriteRankingHeaderTop(os, run);
  Print(os, o.optUnitTotalAdjust2
                ? "Community data matrix W adjusted to unit totals prior to fuzzy weighting.\n"
                : "Community data matrix W NOT adjusted to unit totals prior to fuzzy weighting.\n");
  Print(os, "Trait ranking criterion (TRC): %s\n", opt_structInfo(o.opt_struct));
  Print(os, "Correlation measure: %s\n", OptionName(opt_roInfo, o.opt_ro - 1));
  if (o.opt_ro == 1) {
    if (o.opt_MatrixCorr == 'm') Print(os, "Mantel type matrix correlations. ");
    if (o.opt_MatrixCorr == 'r') Print(os, "Rd matrix correlations (Omelka & Hudecovaa 2013). ");
    Print(os, o.squareDistMatrixOpt ? "Squared distances were used.\n" : "Unsquared distances were used.\n");
  }
  const int reseCST = o.reseCSTopt == 2 ? 2 : 1;
  Print(os, "Resemblance function between OTUs: %s\n", OptionName(reseCSToptInfo, reseCST - 1));
  if (reseCST == 1)
    Print(os, "Gower similarity modified to count matching absences in binary traits? %s\n",
          OptionName(YesNotInfo, run.prefs.countDoubleAbsence ? 1 : 0));
  if (mode == 1 || mode == 2)
    Print(os, "Rao entropy based on traits computed on square root transformed dissimilarities? %s\n",
          OptionName(YesNotInfo, run.prefs.sqrtDissimOpt_RaoTraits ? 1 : 0));
  Print(os, "Ranking algorithm: %s\n", OptionName(rankingAlgorithmInfo, r.rankingAlgorithm - 1));
  if (ModeNeedsX(mode)) Print(os, "Fuzzy transformation: %s\n", OptionName(fuzzyInfo, o.fuzzy));
  if (o.opt_ro == 1)
    Print(os, "Resemblance option between communities: %s\n", OptionName(rese_optInfo, o.rese_opt - 1));
  bool all = true;
  for (int k = 0; k < d.nch && Z(k) < d.weight.size(); ++k)
    if (!(d.weight[Z(k)] > 0)) all = false;
  if (all) {
    Print(os, "All traits were considered.\n");
  } else {
    Print(os, "Traits that were considered:\n");
    for (int k = 0; k < d.nch && Z(k) < d.weight.size(); ++k)
      if (d.weight[Z(k)] > 0) Print(os, "%-3s", d.chLabel[Z(k)].c_str());
    Print(os, "\n");
  }
  if (r.printRankIntermedResults == 'y') Print(os, "\n%-*s\tTrait subset used:\n", run.prefs.sDigits + 6, "TRC");
}

// Writes the lines of the search as it goes and keeps the progress line moving.
class ReportObserver : public RankingObserver {
 public:
  ReportObserver(std::ostream& os, int mode, const RankingRunContext& run) : os_(os), mode_(mode), run_(run) {}
  void Iteration(std::int64_t iteration, std::int64_t total, int k) override {
    HandleEventInfoWhere2(run_.con, Format("Iteration: %lld of %lld, Traits: %d", static_cast<long long>(iteration),
                                           static_cast<long long>(total), k));
  }
  void Evaluated(const int* traits, int k, const SubsetResult& result) override {
    if (run_.ranking.printRankIntermedResults != 'y') return;
    for (const auto& [g, value] : result.evaluations) {
      (void)g;
      Print(os_, RankingMode(mode_).lineLabel, value);
      Labels(os_, run_.data, std::vector<int>(traits, traits + k));
      Print(os_, "\n");
    }
  }
  void SizeDone(int k, const SizeBest& best) override {
    const int digits = run_.prefs.sDigits;
    Print(os_, "Ranking criterion value, and optimal subset with %d traits: \t%-*.*g\t", k, digits + 6, digits,
          best.value);
    if (IsPartialMode(mode_) && best.value == 0) {
      Print(os_, "none\n");
    } else {
      Labels(os_, run_.data, best.traits);
      Print(os_, "\n");
    }
  }

 private:
  std::ostream& os_;
  int mode_;
  const RankingRunContext& run_;
};

void WriteTables(std::ostream& os, int mode, const RankingRunContext& run, const RankingOutcome& out) {
  const int digits = run.prefs.sDigits;
  Print(os, "%s", RankingMode(mode).tableHeader);
  for (int slot = nKeepTrack; slot >= 1; --slot) {
    const KeptEntry& e = out.kept[Z(slot)];
    if (e.k == 0) continue;
    Print(os, "%-*.*g\t", digits + 6, digits, e.value);
    Labels(os, run.data, e.traits);
    Print(os, "\n");
  }
  Print(os, "\n\nTrait subsets with maximum rank for each number of traits:\n%-*s\tSubset of traits\n", digits + 6,
        "TRC");
  for (int k = 1; k <= run.ranking.nMaxTraitsChRank && Z(k) < out.bySize.size(); ++k) {
    if (k < run.ranking.nMinTraitsChRank) continue;
    const SizeBest& b = out.bySize[Z(k)];
    Print(os, "%-13.*g\t", digits, b.value);
    if (IsPartialMode(mode) && b.value == 0) {
      Print(os, "none\n");
    } else {
      Labels(os, run.data, b.traits);
      Print(os, "\n");
    }
  }
}

// The matrices the search starts from, at the head of the structures file.
void WriteSetupStructures(std::ostream& os, int mode, const RankingRunContext& run, const RankingInputs& in) {
  const int digits = run.prefs.sDigits, n = in.n, s = in.s;
  const DataSet& d = run.data;
  const bool niche = mode == kNicheConservationSearch;
  if (ModeNeedsE(mode)) {
    Print(os,
          niche ? "Resemblance matrix between %d relev\xC3\xA9s based on %d environmental variables:\n"
                : "Resemblance matrix between %d communities based on %d environmental variables:\n",
          n, in.e);
    PrintLowerHalfMatrixTab(os, n, in.DE, digits);
  }
  if ((mode >= 4 && mode <= 6) || niche) {
    if (d.phylogenyMatrixType == 1) Print(os, "\nSimilarity matrix between %d OTUs:\n", s);
    if (d.phylogenyMatrixType == 3) Print(os, "\nDissimilarity matrix between %d OTUs:\n", s);
    if (d.phylogenyMatrixType == 2) {
      Print(os, "\nVariable types in the phylogeny matrix with %d OTUs by %d phylogenetic variables: \n", s,
            d.nClados);
      PrintVectorTab(os, d.nClados, d.phylogenyVarType.data());
      Print(os, "\nPhylogeny matrix with %d OTUs by %d phylogenetic variables: \n", s, d.nClados);
      PrintMatrixTab(os, s, d.nClados, d.phylogenyData, digits);
      Print(os, "\nSimilarity matrix (Gower index) between %d OTUs, based on %d phylogenetic variables:\n", s,
            d.nClados);
    }
    if (in.F.rows() == s) PrintLowerHalfMatrixTab(os, s, in.F, digits);
    Print(os, "\nPartition vector of %d OTUs in %d taxa:\n", s, in.nTaxa);
    PrintVectorTab(os, s, in.taxa.data());
    Print(os, "\nFuzzy belonging of %d OTUs (rows) in %d taxa (columns) according to their phylogeny:\n", s,
          in.nTaxa);
    PrintMatrixTab(os, s, in.nTaxa, in.Q, digits);
    Print(os,
          "\nPooled performance matrix P (%d communities x %d taxa) after fuzzy-weighting by the specified "
          "phylogeny:\n",
          n, in.nTaxa);
    PrintMatrixTab(os, n, in.nTaxa, in.P, digits);
    Print(os,
          "\nResemblance matrix (DP) between communities based on matrix P, the composition of OTUs weighted by "
          "their phylogeny:\n");
    PrintLowerHalfMatrixTab(os, n, in.DP, digits);
  }
  Print(os, "\nTrait matrix with %d OTUs by %d traits: \n", s, in.p);
  PrintMatrixTab(os, s, in.p, in.Bp, digits);
}

[[noreturn]] void OpenFailed(Console& con, const std::string& path) {
  Print(con.err, "\ncan't open %s \n", path.c_str());
  Abort(kAbortOpenFailed);
}

// The results file must be writable where it stands before the search runs.
void CheckWritable(Console& con, const std::string& path) {
  struct stat info{};
  const bool existed = stat(path.c_str(), &info) == 0;
  if (existed && !S_ISREG(info.st_mode)) OpenFailed(con, path);
  std::FILE* probe = std::fopen(path.c_str(), "a");
  if (probe == nullptr) OpenFailed(con, path);
  std::fclose(probe);
  if (!existed) std::remove(path.c_str());
}

}  // namespace

void ChRankLib(int mode, const RankingRunContext& run) {
  const std::time_t started = std::time(nullptr);
  const AnalysisOptions& o = run.opts;
  if (o.opt_ro == 1 && o.rese_opt < 1 && (ModeNeedsX(mode) || (mode >= 4 && mode <= 9))) {
    Print(run.con.err, "Undefined resemblance option!\n");
    Abort(kAbortOutOfMemory);
  }
  CheckWritable(run.con, run.resultsPath);
  CheckWritable(run.con, SubsetTablePath(run.resultsPath));
  AtomicTextFile file(run.resultsPath);
  if (!file.Open()) OpenFailed(run.con, run.resultsPath);
  const bool saveStructures = !run.structuresPath.empty();
  AtomicTextFile structuresFile(saveStructures ? run.structuresPath : std::string());
  if (saveStructures) {
    CheckWritable(run.con, run.structuresPath);
    if (!structuresFile.Open()) OpenFailed(run.con, run.structuresPath);
  }

  RankingInputs in;
  BuildRankingInputs(run.data, o, run.ranking, run.prefs, mode, in);

  std::ostringstream os, structures;
  StructuresSink sink;
  if (saveStructures) {
    WriteSetupStructures(structures, mode, run, in);
    sink = StructuresSink{&structures, &run.data.chLabel, run.prefs.sDigits};
  }
  WriteHeader(os, mode, run);
  ReportObserver report(os, mode, run);
  SubsetTableObserver observer(report, run.data.chLabel);
  RankingOutcome out;
  RunSubsetSearch(in, run.ranking.nMinTraitsChRank, run.ranking.nMaxTraitsChRank, run.prefs.threads, observer, out,
                  sink);
  WriteTables(os, mode, run, out);
  Print(os, "\nElapsed time: %g seconds\n", std::difftime(std::time(nullptr), started));
  file.Write(os.str());
  file.Commit();
  if (saveStructures) {
    structuresFile.Write(structures.str());
    structuresFile.Commit();
  }
  WriteSubsetTableAndFigure(run, observer);
}

void WriteSubsetTableAndFigure(const RankingRunContext& run, const SubsetTableObserver& table) {
  const std::string path = SubsetTablePath(run.resultsPath);
  WriteTsvTable(path, SubsetTableObserver::Header(), table.rows(), TsvAppendPlan{}, run.con.err);
  if (run.figuresFolder.empty() || table.bestBySize().empty()) return;
  std::string why;
  struct stat info{};
  if (mkdir(run.figuresFolder.c_str(), 0777) != 0 && errno != EEXIST) why = std::strerror(errno);
  else if (stat(run.figuresFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    why = "there is a file of that name, not a folder";
  std::string figure = run.figuresFolder;
  if (why.empty()) {
    // "<session>ChRank_X.tsv" draws "ChRank_X.svg" in the figures folder.
    std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t at = name.find("ChRank_");
    if (at != std::string::npos) name = name.substr(at);
    figure += "/" + name.substr(0, name.size() - 4) + ".svg";
    LinePlot plot;
    plot.title = "Best ranking criterion value by number of traits";
    plot.xLabel = "number of traits in the subset";
    plot.yLabel = "best value";
    for (const auto& [k, v] : table.bestBySize()) {
      plot.x.push_back(k);
      plot.y.push_back(v);
    }
    why = DrawLinePlot(figure, plot);
  }
  if (!why.empty()) Print(run.con.err, "\nWarning: figure not written: %s: %s\n", figure.c_str(), why.c_str());
}

void CheckResultsWritable(Console& con, const std::string& path) { CheckWritable(con, path); }

void ResultsOpenFailed(Console& con, const std::string& path) { OpenFailed(con, path); }

void WriteRankingSetupStructures(std::ostream& os, int mode, const RankingRunContext& run, const RankingInputs& in) {
  WriteSetupStructures(os, mode, run, in);
}

void WriteRankingHeaderTop(std::ostream& os, const RankingRunContext& run) {
  const std::string rule(70, '-');
  Print(os, "%s\n\n", run.versionLine.c_str());
  Print(os, "%s\n", rule.c_str());
  Print(os, "TRAIT SUBSET OPTIMIZATION\n");
  Print(os, "%s\n", rule.c_str());
  const std::time_t now = std::time(nullptr);
  os << std::ctime(&now);
  Print(os, "Session:        %s \n", run.sessionName.c_str());
  Print(os, "Formatted data: %s \n", run.formdaName.c_str());
  Print(os, run.ranking.optUnitTotalAdjust1
                ? "Community data matrix W adjusted to unit totals prior to trait convergence evaluation.\n"
                : "Community data matrix W NOT adjusted to unit totals prior to trait convergence evaluation.\n");
}

}  // namespace kalios
