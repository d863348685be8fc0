// The analysis of one simulated data set as the functional analysis would
// analyse a user's data: community weighted means and correspondence
// analysis, the settings when due, Beals smoothing, types, E, the permutation
// tests, the counting of rejections and the per-data-set results.
#include <algorithm>
#include <cmath>

#include "functional/community_matrices.h"
#include "measures/covariance.h"
#include "measures/ordination.h"
#include "measures/resemblance.h"
#include "measures/transform.h"
#include "numlib/print.h"
#include "session/partition.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/progress.h"
#include "simulation/study.h"
#include "simulation/study_counting.h"
#include "simulation/study_tables.h"
#include "testing/permtest.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }
constexpr int kPrintedAxes = 6;

// Site descriptors of the kept communities, for the ordination correlations.
struct Descriptors {
  std::vector<double> abundance, age, richness, extinctions, colonizations;
  Matrix<double> cwm;  // K x S'
  Matrix<double> eco;  // F x S'
};

Descriptors SiteDescriptors(const StudyState& st, const Matrix<double>& cwm) {
  const auto& r = st.run;
  const int n = static_cast<int>(st.keptSites.size());
  Descriptors d;
  for (int i : st.keptSites) {
    d.abundance.push_back(r.abundanceSite[U(i)]);
    d.age.push_back(r.averageAge[i][st.design.N]);
    d.richness.push_back(r.richnessFinal[U(i)]);
    d.extinctions.push_back(r.extinctions[U(i)]);
    d.colonizations.push_back(r.colonizations[U(i)]);
  }
  d.cwm.Resize(st.design.K, n);
  d.eco.Resize(st.design.F, n);
  for (int c = 0; c < n; ++c) {
    for (int k = 0; k < st.design.K; ++k) d.cwm[k][c] = cwm[c][k];
    for (int f = 0; f < st.design.F; ++f) d.eco[f][c] = r.ecosystem[f][st.keptSites[U(c)]];
  }
  return d;
}

void DescriptorCorrelations(std::ostream& os, const StudyState& st, const Descriptors& d, const double* axis) {
  const int n = static_cast<int>(d.abundance.size());
  const int last = st.run.nSteps;
  Print(os, "Total abundance in each community:\t%g\n", Correlation2VecMV(n, axis, d.abundance.data()));
  Print(os, "Average age of individuals in each community:\t%g\n", Correlation2VecMV(n, axis, d.age.data()));
  Print(os, "OTU richness in each community (at final step %d):\t%g\n", last,
        Correlation2VecMV(n, axis, d.richness.data()));
  Print(os, "Total number of OTU extinctions in each community (after step %d):\t%g\n", st.run.recordStartStep,
        Correlation2VecMV(n, axis, d.extinctions.data()));
  Print(os, "Total number of OTU colonizations in each community (after step %d):\t%g\n", st.run.recordStartStep,
        Correlation2VecMV(n, axis, d.colonizations.data()));
  for (int k = 0; k < st.design.K; ++k)
    Print(os, "CWM trait %d at final step %d:\t%g\n", k + 1, last, Correlation2VecMV(n, axis, d.cwm[k]));
  for (int f = 0; f < st.design.F; ++f)
    Print(os, "Ecosystem variable %d at final step %d:\t%g\n", f + 1, last, Correlation2VecMV(n, axis, d.eco[f]));
}

// Eigenvalues above 0.0001, the eigenvalues and their percentages.
void EigenLines(std::ostream& os, const std::vector<double>& ev, int digits) {
  double positive = 0;
  int count = 0;
  for (double v : ev) {
    if (v > 0) positive += v;
    if (v > 0.0001) ++count;
  }
  Print(os, "\nNumber of eigenvalues >0.0001: \t%d", count);
  Print(os, "\nEigenvalues:\t");
  for (int k = 0; k < count; ++k) Print(os, "%8.*g\t", digits, ev[U(k)]);
  Print(os, "\nPercentage:\t");
  for (int k = 0; k < count; ++k) Print(os, "%8.*g\t", digits, positive > 0 ? ev[U(k)] * 100 / positive : 0.0);
}

// The composition of the CWM (rows of unit total) and W of the kept sites.
void KeptCompositions(const StudyState& st, Matrix<double>& W, Matrix<double>& Wcwm) {
  const int n = static_cast<int>(st.keptSites.size()), N = st.design.N;
  W.Resize(n, N);
  Wcwm.Resize(n, N);
  for (int c = 0; c < n; ++c)
    for (int j = 0; j < N; ++j) {
      W[c][j] = st.run.w[st.keptSites[U(c)]][j];
      Wcwm[c][j] = st.run.wAgeWeighted[st.keptSites[U(c)]][j];
    }
}

void CwmAndCorrespondence(StudyEnvironment& env, StudyState& st, const Matrix<double>& W, const Matrix<double>& Wcwm,
                          Matrix<double>& cwm) {
  const int n = W.rows(), N = st.design.N, K = st.design.K;
  const int digits = env.prefs.sDigits;
  Matrix<double> raw(n, K);
  for (int c = 0; c < n; ++c)
    for (int k = 0; k < K; ++k) {
      double s = 0;
      for (int j = 0; j < N; ++j) s += Wcwm[c][j] * st.run.traits[j][k];
      raw[c][k] = s;
    }
  cwm.Resize(n, K);
  NormalizeCols(n, K, raw, cwm);
  if (!st.design.saveDataSetResults) return;
  std::ostream& os = *st.final;
  Print(os, "\nCommunity weighted means at final step %d, for %d traits in rows and %d community sites in columns "
            "(possible empty communities NOT removed).", st.run.nSteps, K, st.design.S);
  Print(os, st.design.weightByAge ? "\nAbundances of OTUs were weighted by their age in the communities:\n"
                                  : "\nAbundances of OTUs were NOT weighted by their age in the communities:\n");
  {
    // Every site, the empty ones included (their CWM is 0).
    Matrix<double> all(st.design.S, K), allNorm(st.design.S, K);
    for (int i = 0; i < st.design.S; ++i)
      for (int k = 0; k < K; ++k) {
        double s = 0;
        for (int j = 0; j < N; ++j) s += st.run.wAgeWeighted[i][j] * st.run.traits[j][k];
        all[i][k] = s;
      }
    NormalizeCols(st.design.S, K, all, allNorm);
    PrintMatrixTab_T(os, st.design.S, K, allNorm, digits);
  }
  // Correspondence analysis of W: OTUs x sites.
  Matrix<double> Wt(N, n), dev(N, n), cross(N, N), eigvec(N, N), scores(N, std::max(n, 1));
  for (int c = 0; c < n; ++c)
    for (int j = 0; j < N; ++j) Wt[j][c] = W[c][j];
  DeviationsExpectationsMV(N, n, Wt, dev);
  CrossProductMV(N, n, dev, cross);
  std::vector<double> ev(U(N), 0.0);
  int axes = 0;
  bool ok = true;
  OrdinationLib_D(N, n, Wt, cross, eigvec, scores, &axes, ev.data(), &ok, kOrdinationCorrespondence, 1, 1);
  Print(os, "\nOrdination (Correspondende Analysis, CA) of OTU composition matrix W:");
  EigenLines(os, ev, digits);
  const int shown = std::min(axes, kPrintedAxes);
  Print(os, "\nCA scores of OTUs on the first ordination components:\n");
  PrintMatrixTab(os, shown, N, eigvec, digits);
  Print(os, "\nCA scores of communities on the first ordination components:\n");
  PrintMatrixTab(os, shown, n, scores, digits);
  Print(os, "\nCorrelation coefficients between CA ordination community scores and other community or ecosystem "
            "descriptors:\n");
  const Descriptors d = SiteDescriptors(st, cwm);
  for (int k = 0; k < shown; ++k) {
    Print(os, "Axis:\t%d\n", k + 1);
    DescriptorCorrelations(os, st, d, scores[k]);
  }
}

// The session data set the settings dialogue and the analysis read.
void FillDataSet(StudyEnvironment& env, const StudyState& st, const Matrix<double>& Wcwm) {
  const StudyDesign& d = st.design;
  DataSet& ds = env.data;
  const int n = Wcwm.rows();
  ds.tcst = d.N;
  ds.nch = d.K;
  ds.ncsm = n;
  ds.nSpp = 0;
  ds.nenv = d.P;
  ds.csm_Float = st.run.traits;
  ds.chLabel.clear();
  for (int k = 1; k <= d.K; ++k) ds.chLabel.push_back(Format("%d", k));
  ds.envLabel = st.predictorLabels;
  ds.chtype.assign(U(d.K), 3);
  ds.envVarType.assign(U(d.P), 3);
  ds.optEnvVarType = 2;
  ds.hasTraitGroups = false;
  ds.hasPhylogeny = false;
  ds.includePhylogeny = false;
  ds.cadat.Resize(d.N, n);
  for (int c = 0; c < n; ++c)
    for (int j = 0; j < d.N; ++j) ds.cadat[j][c] = Wcwm[c][j];
  ds.env.Resize(n, d.P);
  for (int c = 0; c < n; ++c)
    for (int p = 0; p < d.P; ++p) ds.env[c][p] = st.run.ecosystem[p][st.keptSites[U(c)]];
  ds.relSelect.assign(U(n), 1);
  ds.eVarSelect.assign(U(d.P), 1);
  ds.weight_OTUs.assign(U(d.N), 1);
  ds.partition_OTUs.resize(U(d.N));
  for (int j = 0; j < d.N; ++j) ds.partition_OTUs[U(j)] = j + 1;
  ds.nGrPoly.assign(U(d.K), 2);
  if (!ds.nGrPoly.empty()) ds.nGrPoly[0] = d.N;
  ds.nchor.resize(U(d.K));
  for (int k = 0; k < d.K; ++k) ds.nchor[U(k)] = k + 1;
  if (ds.weight.size() != U(d.K)) ds.weight.assign(U(d.K), 1.0);
  ds.chrange.assign(U(d.K), 0.0);
  RangeStates(ds.nch, ds.tcst, ds.csm_Float, ds.chtype.data(), ds.chrange.data());
}

void AskSettings(StudyEnvironment& env, StudyState& st) {
  Console& con = env.con;
  env.askSettings();
  st.traitWeight = env.data.weight;
  st.settingsAsked = true;
  Print(con.out, "Perform the analysis for every trait and environmental variable combination? y/n ");
  st.everyCombination = ReadCharIn(con, "y n") == 'y';
  const int P = st.design.P;
  st.predictorSelect.assign(U(P), 1);
  if (st.everyCombination) return;
  for (;;) {
    Print(con.out, "\nEcosystem variables in matrix E to be used in the analysis of the simulated data:\n");
    Print(con.out, "   1  all variables \n");
    Print(con.out, "   2  select variables \n");
    Print(con.out, "Type option no.: ");
    if (static_cast<int>(ReadNumberIn(con, "1 2")) == 1) return;
    Print(con.out, "Select variables (and their interactions if included):\n");
    Print(con.out, "(enter 0 for exclusion or 1 for inclusion)\n");
    for (const auto& l : st.predictorLabels) Print(con.out, "%s ", l.c_str());
    Print(con.out, "\n");
    for (auto& s : st.predictorSelect) s = static_cast<int>(ReadNumberIn(con, "0 1"));
    // With no variable the tests have nothing to relate the communities to.
    if (std::any_of(st.predictorSelect.begin(), st.predictorSelect.end(), [](int s) { return s != 0; })) return;
    con.out << '\a';
    Print(con.err, "\nNo ecosystem variable is included: include at least one.\n");
  }
}

// Storage the test record points to, besides the working matrices.
struct RecordStorage {
  std::vector<int> eSelect, relSelect, weight_OTUs, nesting;
  std::vector<double> rsq, intercept, probRsq, sesRsq, expRsq;
  Matrix<double> coef, probCoef, sesCoef, expCoef;
  std::vector<std::vector<double>> f;  // pseudo-F vectors
  Matrix<double> fTraits, pTraits, sTraits, eTraits;
};

void AttachModels(int e, int p, RecordStorage& k, PermTest_FunctionalPhyl_Correl_Input& r) {
  const int responses = p + 2;
  for (auto* v : {&k.rsq, &k.intercept, &k.probRsq, &k.sesRsq, &k.expRsq}) v->assign(U(responses), 0.0);
  for (auto* m : {&k.coef, &k.probCoef, &k.sesCoef, &k.expCoef}) m->Resize(e, responses);
  k.f.assign(20, std::vector<double>(U(e), 0.0));
  for (auto* m : {&k.fTraits, &k.pTraits, &k.sTraits, &k.eTraits}) m->Resize(e, p);
  r.rsqRegr = k.rsq.data();
  r.interceptRegr = k.intercept.data();
  r.probRsqRegr = k.probRsq.data();
  r.sesRsqRegr = k.sesRsq.data();
  r.expRsqRegr = k.expRsq.data();
  r.coefRegr = k.coef;
  r.probCoefRegr = k.probCoef;
  r.sesCoefRegr = k.sesCoef;
  r.expCoefRegr = k.expCoef;
  double** slots[] = {&r.pseudoF_X,    &r.pseudoF_T,     &r.pseudoF_P,     &r.pseudoF_R,      &r.pseudoF_Rphyl,
                      &r.probPseudoF_X, &r.probPseudoF_T, &r.probPseudoF_P, &r.probPseudoF_R, &r.probPseudoF_Rphyl,
                      &r.sesPseudoF_T, &r.sesPseudoF_X,  &r.sesPseudoF_P,  &r.sesPseudoF_R,  &r.sesPseudoF_Rphyl,
                      &r.expPseudoF_T, &r.expPseudoF_X,  &r.expPseudoF_P,  &r.expPseudoF_R,  &r.expPseudoF_Rphyl};
  for (std::size_t i = 0; i < 20; ++i) *slots[i] = k.f[i].data();
  // P-values start at 1: a test that cannot run rejects nothing.
  k.probRsq.assign(U(responses), 1.0);
  k.probCoef.Fill(1.0);
  k.pTraits.Fill(1.0);
  for (std::size_t i = 5; i < 10; ++i) k.f[i].assign(U(e), 1.0);
  r.pseudoF_Traits = k.fTraits;
  r.probPseudoF_Traits = k.pTraits;
  r.sesPseudoF_Traits = k.sTraits;
  r.expPseudoF_Traits = k.eTraits;
}

// E' of the selected predictors and D_E: classes for the analysis of
// variance, standardized columns and Euclidean distances otherwise.
void BuildStudyEnvironment(const DataSet& ds, const std::vector<int>& predictors, int optRo, ScalingUpState& st) {
  const int n = ds.ncsm, e = static_cast<int>(predictors.size());
  st.n = n;
  st.e = e;
  st.envColumns = predictors;
  st.envTypes.assign(U(e), optRo == 5 ? 2 : 3);
  st.Eprime.Resize(n, e);
  st.DE.Resize(n, n);
  std::vector<double> col(U(n)), out(U(n));
  for (int v = 0; v < e; ++v) {
    for (int i = 0; i < n; ++i) col[U(i)] = ds.env[i][predictors[U(v)]];
    if (optRo == 5) ClassesMV(n, col.data(), out.data(), 5);
    for (int i = 0; i < n; ++i) st.Eprime[i][v] = optRo == 5 ? out[U(i)] : col[U(i)];
  }
  Matrix<double> Z(st.Eprime);
  if (optRo != 5) CorrAdj(n, e, st.Eprime, Z);
  EucliDistMV(n, e, st.Eprime, st.DE);
}

}  // namespace

// Defined in study_results.cpp.
void WriteAnalysisResults(StudyEnvironment& env, StudyState& st, const ScalingUpState& sc,
                          const PermTest_FunctionalPhyl_Correl_Input& r, int dataSet, bool detail);
void WriteSummaryRecord(StudyEnvironment& env, StudyState& st, const ScalingUpState& sc,
                        const PermTest_FunctionalPhyl_Correl_Input& r, int dataSet);
void WriteBealsOrdination(StudyEnvironment& env, StudyState& st, const ScalingUpState& sc, const Matrix<double>& cwm);

void AnalyseDataSet(StudyEnvironment& env, StudyState& st, RandomGenerator& rng, int dataSet) {
  const StudyDesign& d = st.design;
  DataSet& ds = env.data;
  AnalysisOptions& o = env.opts;

  // Empty communities have no composition to weight and no mean trait: they
  // are left out of the analysis (and the results say how many).
  st.keptSites.clear();
  for (int i = 0; i < d.S; ++i)
    if (st.run.abundanceSite[U(i)] > 0) st.keptSites.push_back(i);
  st.removedEmpty = d.S - static_cast<int>(st.keptSites.size());

  Matrix<double> W, Wcwm, cwm;
  KeptCompositions(st, W, Wcwm);
  CwmAndCorrespondence(env, st, W, Wcwm, cwm);
  FillDataSet(env, st, Wcwm);

  for (;;) {
    if (!d.powerMode || !st.settingsAsked) AskSettings(env, st);
    const bool detail = !d.powerMode || o.printDetail == 1;

    // The analyses to run: the chosen selection, or every subset of traits
    // with every single variable.
    std::vector<std::vector<int>> traitSets, predictorSets;
    if (st.everyCombination) {
      for (int size = 1; size <= d.K; ++size) {
        std::vector<int> idx(U(size));
        for (int i = 0; i < size; ++i) idx[U(i)] = i;
        for (;;) {
          std::vector<int> sel(U(d.K), 0);
          for (int i : idx) sel[U(i)] = 1;
          traitSets.push_back(sel);
          int i = size - 1;
          while (i >= 0 && idx[U(i)] == d.K - size + i) --i;
          if (i < 0) break;
          ++idx[U(i)];
          for (int j = i + 1; j < size; ++j) idx[U(j)] = idx[U(j - 1)] + 1;
        }
      }
      for (int p = 0; p < d.P; ++p) predictorSets.push_back({p});
    } else {
      std::vector<int> sel(U(d.K), 0);
      for (int k = 0; k < d.K; ++k) sel[U(k)] = st.traitWeight[U(k)] > 0 ? 1 : 0;
      traitSets.push_back(sel);
      std::vector<int> preds;
      for (int p = 0; p < d.P; ++p)
        if (st.predictorSelect[U(p)]) preds.push_back(p);
      predictorSets.push_back(preds);
    }

    bool bealsShown = false;
    for (const auto& traits : traitSets)
      for (const auto& preds : predictorSets) {
        if (st.everyCombination)
          for (int k = 0; k < d.K; ++k) ds.weight[U(k)] = traits[U(k)];
        else
          ds.weight = st.traitWeight;  // kept as given: trait-group weights are fractions
        ds.eVarSelect.assign(U(d.P), 0);
        for (int p : preds) ds.eVarSelect[U(p)] = 1;

        ScalingUpState sc;
        NoteSelections(ds, o, sc);
        BuildStudyEnvironment(ds, preds, o.opt_ro, sc);
        FillCompositions(ds, sc);
        AdjustCompositions(ds, o, sc);
        BuildBeals(o, env.prefs, sc);
        if (!bealsShown && detail) WriteBealsOrdination(env, st, sc, cwm);
        bealsShown = true;
        BuildGiniSimpson(ds, o, sc);
        BuildTraitSimilarity(ds, env.prefs, sc);
        BuildTypes(ds, o, env.prefs, sc);

        PermTest_FunctionalPhyl_Correl_Input r;
        RecordStorage keep;
        r.niter = o.niter;
        r.nch = sc.p;
        r.chSelect = sc.chSelect.data();
        r.nOTUs = sc.s;
        r.nTypes = sc.k;
        r.nTaxa = 0;
        r.nEnv = sc.e;
        keep.eSelect.assign(U(sc.e), 1);
        r.eVarSelect = keep.eSelect.data();
        r.ncsm = sc.n;
        keep.relSelect.assign(U(sc.n), 1);
        r.relSelect = keep.relSelect.data();
        r.B = sc.Bprime;
        r.Sb = sc.S;
        r.E = sc.Eprime;
        r.U = o.fuzzy == 3 ? sc.U : sc.Ucrisp;
        r.DE = sc.DE;
        r.DY = o.opt_ro == 1 ? static_cast<double**>(sc.DY) : nullptr;
        r.W = sc.Wtdap;
        r.Wadj = sc.Wtcap;
        r.Y = sc.Y;
        // The settings ask for the resemblance between communities only for
        // matrix correlations and the analysis of variance; the other
        // statistics still compare communities by X (beta diversity), on
        // Euclidean distances unless a resemblance was chosen.
        r.rese_opt = o.rese_opt >= 1 ? o.rese_opt : 6;
        r.opt_ro = o.opt_ro;
        r.opt_MatrixCorr = o.opt_MatrixCorr;
        r.squareDistMatrixOpt = o.squareDistMatrixOpt;
        r.overfitFactorPCARegr = env.prefs.overfitFactorPCARegr;
        r.optTaxaSiteShuffle = o.optTaxaSiteShuffle;
        r.optRestrictPermutNullModel = o.optRestrictPermutNullModel;
        keep.nesting = o.nestingMembershipOTUs;
        keep.nesting.resize(U(sc.s), 1);
        r.nestingMembershipOTUs = keep.nesting.data();
        r.sqrtDissimOpt_RaoTraits = env.prefs.sqrtDissimOpt_RaoTraits;
        r.sqrtDissimOpt_RaoPhyl = env.prefs.sqrtDissimOpt_RaoPhyl;
        keep.weight_OTUs = ds.weight_OTUs;
        r.weight_OTUs = keep.weight_OTUs.data();
        r.restrictRaoWithinOpt = o.restrictRaoWithinOpt;
        r.typesAreOTUs = IsIdentityPartition(ds.tcst, sc.k, ds.partition_OTUs.data());
        r.doBootstrapOpt = o.doBootstrapOpt;
        r.twoTailedTest = env.prefs.twoTailedTest;
        r.oneMatrixPermPartialCorr = env.prefs.oneMatrixPermPartialCorr;
        r.nonParametricSES_opt = env.prefs.nonParametricSES_opt;
        sc.Tobs.Resize(sc.n, sc.p + 2);
        sc.X.Resize(sc.n, sc.k);
        sc.R.assign(U(sc.n), 0.0);
        sc.Rphyl.assign(U(sc.n), 0.0);
        sc.V.Resize(2, sc.n);
        r.Tout = sc.Tobs;
        r.Xout = sc.X;
        r.Rout = sc.R.data();
        r.RphylOut = sc.Rphyl.data();
        r.V = sc.V;
        r.richness = sc.richness.data();
        if (o.opt_ro == 4 || o.opt_ro == 5) AttachModels(sc.e, sc.p, keep, r);

        // The tests need two communities and two OTUs at least; otherwise
        // nothing is tested and nothing counts as rejected.
        const bool testable = sc.typesAnalysed && sc.n >= 2 && sc.e >= 1;
        r.probStat.fill(1.0);
        if (!testable)
          Print(*st.final, "\nFewer than two communities hold individuals in simulated data %d: its tests were not "
                           "run.\n", dataSet);
        if (testable) {
          PermTestOptions testOptions;
          testOptions.threads = env.threads;
          testOptions.progress = ProgressReporter(env.con);
          PermTest_FunctionalPhyl_Correl(&r, rng, testOptions);
          ClearLine(env.con);
        }
        CountRejections(r, o.opt_ro, d.alpha, preds, traits, st.counts);
        if (!st.everyCombination) {
          std::vector<StudyTestRow> rows = StudyTestRows(r, o.opt_ro, testable, sc, st.predictorLabels, dataSet);
          st.testRows.insert(st.testRows.end(), rows.begin(), rows.end());
        }
        if (st.everyCombination)
          WriteSummaryRecord(env, st, sc, r, dataSet);
        else if (detail)
          WriteAnalysisResults(env, st, sc, r, dataSet, detail);
      }
    CheckWritten(*st.final);
    CheckWritten(*st.summary);
    if (d.powerMode) return;
    Print(env.con.out, "\nRepeat analyses with the same simulated data? y/n ");
    if (ReadCharIn(env.con, "y n") != 'y') return;
  }
}

}  // namespace kalios
