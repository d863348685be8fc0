#include "simulation/study_tables.h"

#include <gsl/gsl_cdf.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "plot/figures.h"
#include "session/safe_write.h"
#include "session/tsv_table.h"
#include "shell/cformat.h"
#include "simulation/study_counting.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

}  // namespace

std::vector<StudyTestRow> StudyTestRows(const PermTest_FunctionalPhyl_Correl_Input& r, int optRo, bool tested,
                                        const ScalingUpState& sc, const std::vector<std::string>& predictorLabels,
                                        int dataSet) {
  std::vector<StudyTestRow> out;
  auto add = [&](const std::string& statistic, const std::string& term, double observed, double p) {
    out.push_back({dataSet, statistic, term, observed, p, tested});
  };
  auto predictor = [&](int v) { return predictorLabels[U(sc.envColumns[U(v)])]; };
  if (optRo == 4) {
    for (int k = 0; k <= sc.p; ++k) {
      if (k < sc.p && !sc.chSelect[U(k)]) continue;
      const std::string response = k < sc.p ? "Trait " + std::to_string(k + 1) : "Functional diversity";
      add(response, "r-square", r.rsqRegr[k], r.probRsqRegr[k]);
      for (int v = 0; v < sc.e; ++v) add(response, predictor(v), r.coefRegr[v][k], r.probCoefRegr[v][k]);
    }
  } else if (optRo == 5) {
    for (int v = 0; v < sc.e; ++v) {
      add("T", predictor(v), r.pseudoF_T[v], r.probPseudoF_T[v]);
      for (int k = 0; k < sc.p; ++k)
        if (sc.chSelect[U(k)])
          add("Trait " + std::to_string(k + 1), predictor(v), r.pseudoF_Traits[v][k], r.probPseudoF_Traits[v][k]);
      add("X", predictor(v), r.pseudoF_X[v], r.probPseudoF_X[v]);
      add("Functional diversity", predictor(v), r.pseudoF_R[v], r.probPseudoF_R[v]);
    }
  } else {
    for (const char* name : kCountedStats) {
      const StatResult s = ReadStat(r, name);
      add(name, "", s.obs, s.p);
    }
  }
  return out;
}

std::pair<double, double> BinomialRejectionInterval(int D, double alpha) {
  if (D < 1) return {0.0, 0.0};
  int lo = 0, hi = D;
  while (lo < D && gsl_cdf_binomial_P(static_cast<unsigned>(lo), alpha, static_cast<unsigned>(D)) < 0.025) ++lo;
  for (int k = 0; k <= D; ++k)
    if (gsl_cdf_binomial_P(static_cast<unsigned>(k), alpha, static_cast<unsigned>(D)) >= 0.975) {
      hi = k;
      break;
    }
  return {static_cast<double>(lo) / D, static_cast<double>(hi) / D};
}

std::vector<RejectionShare> RejectionShares(const std::vector<StudyTestRow>& rows, double alpha) {
  std::vector<RejectionShare> out;
  std::vector<double> rejected;
  for (const StudyTestRow& row : rows) {
    std::size_t i = 0;
    while (i < out.size() && !(out[i].statistic == row.statistic && out[i].term == row.term)) ++i;
    if (i == out.size()) {
      out.push_back({row.statistic, row.term, 0.0, 0});
      rejected.push_back(0.0);
    }
    ++out[i].dataSets;
    // An untested data set counts, unrejected, as the report counts it.
    if (row.tested && RejectsAt(row.p, alpha)) rejected[i] += 1;
  }
  for (std::size_t i = 0; i < out.size(); ++i) out[i].proportion = rejected[i] / out[i].dataSets;
  return out;
}

std::string StudyPValuesTable(const std::vector<StudyTestRow>& rows, double alpha) {
  std::string out = "data_set\tstatistic\tterm\tobserved\tP\trejected\ttested\n";
  for (const StudyTestRow& r : rows)
    out += TsvLine({std::to_string(r.dataSet), TsvText(r.statistic), TsvText(r.term), TsvNumber(r.observed),
                    r.tested ? TsvNumber(r.p) : "", r.tested && RejectsAt(r.p, alpha) ? "yes" : "no",
                    r.tested ? "yes" : "no"});
  return out;
}

std::string StudyRejectionsTable(const std::vector<RejectionShare>& shares, double alpha, int D, int niter) {
  const auto [lo, hi] = BinomialRejectionInterval(D, alpha);
  std::string out = "statistic\tterm\tproportion\talpha\tlower95\tupper95\tdata_sets\tpermutations\n";
  for (const RejectionShare& s : shares)
    out += TsvLine({TsvText(s.statistic), TsvText(s.term), TsvNumber(s.proportion), TsvNumber(alpha), TsvNumber(lo),
                    TsvNumber(hi), std::to_string(s.dataSets), std::to_string(niter)});
  return out;
}

void WriteStudyTables(StudyEnvironment& env, const StudyState& st) {
  const StudyDesign& d = st.design;
  auto write = [&](const char* path, const std::string& text) {
    AtomicTextFile file(path, env.con.err);
    if (!file.Open()) {
      Print(env.con.err, "\ncan't open %s \n", path);
      Abort(kAbortOpenFailed);
    }
    file.Write(text);
    file.Commit();
  };
  write(kStudyPValuesTable, StudyPValuesTable(st.testRows, d.alpha));
  if (!d.powerMode) return;
  const std::vector<RejectionShare> shares = RejectionShares(st.testRows, d.alpha);
  write(kStudyRejectionsTable, StudyRejectionsTable(shares, d.alpha, d.D, env.opts.niter));
  if (!env.figures || shares.empty()) return;

  std::string why;
  struct stat info{};
  if (mkdir(kStudyFiguresFolder, 0777) != 0 && errno != EEXIST)
    why = std::strerror(errno);
  else if (stat(kStudyFiguresFolder, &info) != 0 || !S_ISDIR(info.st_mode))
    why = "there is a file of that name, not a folder";
  const std::string path = std::string(kStudyFiguresFolder) + "/RejectionProportions.svg";
  if (why.empty()) {
    ProportionPlot plot;
    const auto [lo, hi] = BinomialRejectionInterval(d.D, d.alpha);
    plot.title = Format("Proportion of rejections at alpha = %g in %d data sets", d.alpha, d.D);
    plot.yLabel = "proportion of data sets rejecting H0";
    plot.reference = d.alpha;
    plot.bandLow = lo;
    plot.bandHigh = hi;
    for (const RejectionShare& s : shares) {
      plot.names.push_back(s.term.empty() ? s.statistic : s.statistic + " " + s.term);
      plot.values.push_back(s.proportion);
    }
    why = DrawProportionPlot(path, plot);
  }
  if (!why.empty()) Print(env.con.err, "\nWarning: figure not written: %s: %s\n", path.c_str(), why.c_str());
}

}  // namespace kalios
