#include "functional/scaling_up.h"

#include <memory>

#include "functional/analysis_figures.h"
#include "functional/analysis_tables.h"
#include "functional/community_matrices.h"
#include "functional/phylogeny_matrices.h"
#include "functional/report.h"
#include "functional/results_file.h"
#include "session/partition.h"
#include "session/safe_write.h"
#include "session/time_stamp.h"
#include "session/tsv_table.h"
#include "session/track.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/shell.h"
#include "testing/permtest.h"
#include "testing/permtest_nullmodels.h"
#include "testing/random.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// Storage of the linear-model results that the test fills in modes 4 and 5.
struct ModelArrays {
  std::vector<double> rsq, intercept, probRsq, sesRsq, expRsq;
  Matrix<double> coef, probCoef, sesCoef, expCoef;
  std::vector<double> fX, fT, fP, fR, fRphyl, pX, pT, pP, pR, pRphyl;
  std::vector<double> sT, sX, sP, sR, sRphyl, eT, eX, eP, eR, eRphyl;
  Matrix<double> fTraits, pTraits, sTraits, eTraits;

  void Attach(int e, int p, PermTest_FunctionalPhyl_Correl_Input& r) {
    const int responses = p + 2;
    const auto ur = U(responses), ue = U(e);
    for (auto* v : {&rsq, &intercept, &probRsq, &sesRsq, &expRsq}) v->assign(ur, 0.0);
    for (auto* m : {&coef, &probCoef, &sesCoef, &expCoef}) m->Resize(e, responses);
    for (auto* v : {&fX, &fT, &fP, &fR, &fRphyl, &pX, &pT, &pP, &pR, &pRphyl, &sT, &sX, &sP, &sR, &sRphyl, &eT, &eX,
                    &eP, &eR, &eRphyl})
      v->assign(ue, 0.0);
    for (auto* m : {&fTraits, &pTraits, &sTraits, &eTraits}) m->Resize(e, p);
    r.rsqRegr = rsq.data();
    r.interceptRegr = intercept.data();
    r.probRsqRegr = probRsq.data();
    r.coefRegr = coef;
    r.probCoefRegr = probCoef;
    r.sesRsqRegr = sesRsq.data();
    r.sesCoefRegr = sesCoef;
    r.expRsqRegr = expRsq.data();
    r.expCoefRegr = expCoef;
    r.pseudoF_X = fX.data();
    r.pseudoF_T = fT.data();
    r.pseudoF_Traits = fTraits;
    r.pseudoF_P = fP.data();
    r.pseudoF_R = fR.data();
    r.pseudoF_Rphyl = fRphyl.data();
    r.probPseudoF_X = pX.data();
    r.probPseudoF_T = pT.data();
    r.probPseudoF_Traits = pTraits;
    r.probPseudoF_P = pP.data();
    r.probPseudoF_R = pR.data();
    r.probPseudoF_Rphyl = pRphyl.data();
    r.sesPseudoF_T = sT.data();
    r.sesPseudoF_Traits = sTraits;
    r.sesPseudoF_X = sX.data();
    r.sesPseudoF_P = sP.data();
    r.sesPseudoF_R = sR.data();
    r.sesPseudoF_Rphyl = sRphyl.data();
    r.expPseudoF_T = eT.data();
    r.expPseudoF_Traits = eTraits;
    r.expPseudoF_X = eX.data();
    r.expPseudoF_P = eP.data();
    r.expPseudoF_R = eR.data();
    r.expPseudoF_Rphyl = eRphyl.data();
  }
};

// Everything the test record points to that the analysis owns besides the
// working matrices.
struct TestStorage {
  std::vector<int> eSelect;   // E' is compacted: every one of its columns is selected
  std::vector<int> relSelect;
  std::vector<int> weight_OTUs;
  std::vector<int> nesting;
  ModelArrays models;
};

void FillRecord(App& app, ScalingUpState& st, TestStorage& keep, std::ostream* rndData,
                PermTest_FunctionalPhyl_Correl_Input& r) {
  const DataSet& ds = app.data;
  const AnalysisOptions& o = app.opts;
  const Preferences& pr = app.prefs;
  const int n = st.n;
  r.niter = o.niter;
  r.nch = st.p;
  r.chSelect = st.chSelect.data();
  r.nOTUs = st.s;
  r.nTypes = st.k;
  r.nTaxa = st.phylogeny ? st.nTaxa : 0;
  r.nEnv = st.e;
  keep.eSelect.assign(U(st.e), 1);
  r.eVarSelect = keep.eSelect.data();
  r.ncsm = n;
  keep.relSelect = ds.relSelect;
  keep.relSelect.resize(U(n), 1);
  r.relSelect = keep.relSelect.data();
  r.nPhyloAxes = st.phylogeny ? st.nPhyloAxes : 0;

  r.B = st.Bprime;
  r.Sb = st.S;
  r.phyloScores = st.phylogeny ? static_cast<double**>(st.phyloScores) : nullptr;
  r.Sf = st.phylogeny ? static_cast<double**>(st.SF) : nullptr;
  // The analysis of variance reads the classes of E as they are.
  r.E = o.opt_ro == 5 ? st.Eprime : st.Etest;
  r.U = o.fuzzy == 3 ? st.U : st.Ucrisp;
  r.Q = st.phylogeny ? static_cast<double**>(st.Q) : nullptr;
  r.DE = st.DE;
  r.DY = o.opt_ro == 1 ? static_cast<double**>(st.DY) : nullptr;
  r.W = st.Wtdap;
  r.Wadj = st.Wtcap;
  r.Wrao = o.partOpt == 1 ? static_cast<double**>(st.Wdiv) : nullptr;
  r.Y = st.Y;

  r.rese_opt = o.rese_opt;
  r.opt_ro = o.opt_ro;
  r.opt_MatrixCorr = o.opt_MatrixCorr;
  r.squareDistMatrixOpt = o.squareDistMatrixOpt;
  r.overfitFactorPCARegr = pr.overfitFactorPCARegr;
  r.printIntermediate = pr.saveRndData == 'y';
  r.optWeightedNullModel = o.optWeightedNullModel;
  r.includePhylogeny = st.phylogeny;
  r.phylogenyIsDissim = st.phyloIsDissim;
  r.sqrtDissimOpt_RaoTraits = pr.sqrtDissimOpt_RaoTraits;
  r.sqrtDissimOpt_RaoPhyl = pr.sqrtDissimOpt_RaoPhyl;
  r.optRestrictPermutNullModel = o.optRestrictPermutNullModel;
  keep.nesting = o.nestingMembershipOTUs;
  keep.nesting.resize(U(st.s), 1);
  r.nestingMembershipOTUs = keep.nesting.data();
  r.optTaxaSiteShuffle = o.optTaxaSiteShuffle;
  r.twoTailedTest = pr.twoTailedTest;
  r.oneMatrixPermPartialCorr = pr.oneMatrixPermPartialCorr;
  r.nonParametricSES_opt = pr.nonParametricSES_opt;

  st.Tobs.Resize(n, st.p + 2);
  st.X.Resize(n, st.k);
  st.Pobs = st.P;
  st.R.assign(U(n), 0.0);
  st.Rphyl.assign(U(n), 0.0);
  st.V.Resize(2, n);
  r.Tout = st.Tobs;
  r.Xout = st.X;
  r.Pout = st.phylogeny ? static_cast<double**>(st.Pobs) : nullptr;
  r.Rout = st.R.data();
  r.RphylOut = st.Rphyl.data();
  r.V = st.V;
  r.richness = st.richness.data();
  keep.weight_OTUs = ds.weight_OTUs;
  r.weight_OTUs = keep.weight_OTUs.data();
  r.restrictRaoWithinOpt = o.restrictRaoWithinOpt;
  r.typesAreOTUs = IsIdentityPartition(ds.tcst, st.k, ds.partition_OTUs.data());
  r.taxaAreOTUs = st.phylogeny && IsIdentityPartition(ds.tcst, r.nTaxa, ds.partition_OTUs_Phyl.data());
  r.doBootstrapOpt = o.doBootstrapOpt;
  r.rndDataFile = rndData;
  if (o.opt_ro == 4 || o.opt_ro == 5) keep.models.Attach(st.e, st.p, r);
}

// The tables beside the results file, replaced or extended as it is.
struct AnalysisTables {
  std::string statsPath, communitiesPath;
  CommunityTable communities;
};

// A table that could not be replaced would be found missing only after the
// analysis: refuse it before, as the results file is refused.
void CheckTablesWritable(Console& con, const AnalysisTables& t) {
  for (const std::string* path : {&t.statsPath, &t.communitiesPath}) {
    std::string why;
    if (!CanReplace(*path, why)) {
      Print(con.err, "\ncan't open %s \n", path->c_str());
      Abort(kAbortOpenFailed);
    }
  }
}

void WriteTables(App& app, const AnalysisTables& t, const std::string& statsRows, const std::string& stamp,
                 int n) {
  const bool append = app.opts.prindaMode == "a";
  auto write = [&](const std::string& path, const std::string& header, const std::string& rows) {
    const TsvAppendPlan plan = PlanTsvAppend(path, header, append);
    WriteTsvTable(path, header, rows, plan, app.con.err);
    if (!plan.setAside.empty())
      Print(app.con.out, "\nThe columns of %s changed with this analysis: its earlier rows are now in %s\n",
            path.c_str(), plan.setAside.c_str());
  };
  write(t.statsPath, StatsTableHeader(), statsRows);
  write(t.communitiesPath, t.communities.Header(), t.communities.Rows(CommunityLabels(app.data, n), stamp));
}

void ReportFigures(App& app, const FigureOutcome& figures) {
  for (const std::string& f : figures.failures) Print(app.con.err, "\nWarning: figure not written: %s\n", f.c_str());
}

}  // namespace

void PFTs_ScalingUp(App& app) {
  DataSet& ds = app.data;
  AnalysisOptions& o = app.opts;
  const Preferences& pr = app.prefs;
  SessionTrack& track = app.track;

  // 1. Preparation.
  o.opt_struct = 9;
  track.whichRndData = app.shell.sessionName + rndDataExt;
  RandomGenerator rng;
  InitRndNumberGenerator(rng, o.rseed);
  ds.chrange.resize(U(ds.nch), 0.0);
  RangeStates(ds.nch, ds.tcst, ds.csm_Float, ds.chtype.data(), ds.chrange.data());

  ScalingUpState st;
  NoteSelections(ds, o, st);
  BuildEnvironment(ds, pr, st);
  FillCompositions(ds, st);

  ResultsFile results(app.con, app.shell.volumeName + track.whichPrinda, o.prindaMode == "a");
  results.Open();
  AnalysisTables tables;
  const std::string prefix = app.shell.volumeName + app.shell.sessionName;
  tables.statsPath = prefix + kStatsTableExt;
  tables.communitiesPath = prefix + kCommunitiesTableExt;
  CheckTablesWritable(app.con, tables);
  const std::string stampLine = TimeStampText();
  const std::string stamp = stampLine.substr(0, stampLine.find('\n'));
  const ReportContext report{app, st, results.stream(), stampLine};
  WriteReportHeader(report, o.prindaMode != "a");

  AdjustCompositions(ds, o, st);
  BuildBeals(o, pr, st);
  WriteCompositionSection(report);
  BuildGiniSimpson(ds, o, st);
  BuildPhylogeny(ds, o, pr, st);
  WritePhylogenySection(report);
  BuildTraitSimilarity(ds, pr, st);
  WriteTraitsEnvironmentSection(report);
  BuildTypes(ds, o, pr, st);
  WriteTypesSection(report);
  results.Flush();
  if (!st.typesAnalysed) {
    // Nothing can be compared between fewer than two types: say so where the
    // user looks, rather than leave a file that simply stops.
    const std::string why =
        Format("\nNo community matrices and no tests: the analysis needs at least 2 OTUs in at least 2 types, and "
               "%d OTUs in %d type%s were given.\n",
               st.s, st.k, st.k == 1 ? "" : "s");
    results.stream() << why;
    Print(app.con.out, "%s", why.c_str());
    results.stream() << '\n';
    results.Commit();
    tables.communities.Add("richness", std::vector<double>(st.richness.begin(), st.richness.end()));
    tables.communities.Add("D", st.D);
    WriteTables(app, tables, "", stamp, st.n);
    return;
  }

  std::unique_ptr<std::ofstream> rndData;
  if (pr.saveRndData == 'y') {
    rndData = fopenckWrite(app.con, track.whichRndData, app.shell.volumeName, false);
    if (!rndData) Abort(kAbortOpenFailed);
  }
  const double start = WallClock();

  PermTest_FunctionalPhyl_Correl_Input rec;
  TestStorage keep;
  FillRecord(app, st, keep, rndData.get(), rec);
  // The null values are kept only for the histograms.
  KeptNulls kept;
  if (app.shell.figures && o.niter > 1) {
    kept.kept = rec.nullValuesKept = std::min(o.niter - 1, kMaxNullValuesKept);
    if (o.opt_ro >= kModeMantel && o.opt_ro <= kModeRV) {
      kept.nulls.Resize(kNumPermStats, kept.kept);
      rec.nullValues = kept.nulls;
    }
    const int linear = LinearModelCount(rec);
    if (linear > 0) {
      kept.linear.Resize(linear, kept.kept);
      rec.nullLinearValues = kept.linear;
    }
  }
  PermTestOptions testOptions;  // threads: as the main menu set them from the preferences
  testOptions.progress = ProgressReporter(app.con);
  PermTest_FunctionalPhyl_Correl(&rec, rng, testOptions);
  ClearLine(app.con);

  ComputeCommunityMeans(ds, st.chSelect.data(), st);
  WriteCommunityMatricesSection(report);
  AddCommunityDescriptors(report, tables.communities);
  WriteStatisticsSection(report, rec);
  results.Flush();
  if (rndData) {
    rndData->close();
    if (rndData->fail()) {
      Print(app.con.err, "\nfile %s%s ", app.shell.volumeName.c_str(), track.whichRndData.c_str());
      Abort(kAbortWriteFailed);
    }
    rndData.reset();
  }
  WriteRegressionSection(report, rec);
  WriteAnovaSection(report, rec);
  WriteTestSettingsSection(report, difftime_Clock(start));
  WriteDiversitySection(report);
  results.Flush();

  if (o.doBootstrapOpt) {
    // The test drew its bootstrap samples into its own copies; the ordinations
    // describe the communities as they were observed.
    FillCompositions(ds, st);
    AdjustCompositions(ds, o, st);
    BuildBeals(o, pr, st);
    BuildEnvironment(ds, pr, st);
  }
  ReportedOrdinations ords;
  if (o.opt_ro == 1) {
    ComputeCommunityMeans(ds, nullptr, st);
    const double* const* X = o.fuzzy == 3 ? st.X : st.Xcrisp;
    ords = OrdinateCompositions(st, X, o.rese_opt, pr.maxComponents);
    WriteOrdinationsSection(report, ords, X, st.T);
    const int axes = app.prefs.maxComponents;
    AddOrdinationScores(ords.Y, axes, "Y_PCo", tables.communities);
    AddOrdinationScores(ords.X, axes, "X_PCo", tables.communities);
  }
  results.stream() << '\n';
  results.Commit();
  WriteTables(app, tables, StatsTableRows(report, rec, stamp), stamp, st.n);
  if (app.shell.figures)
    ReportFigures(app, DrawAnalysisFigures(report, rec, kept, ords, prefix + kFiguresFolderExt));
}

}  // namespace kalios
