#include "functional/analysis_figures.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "functional/analysis_tables.h"
#include "plot/figures.h"
#include "shell/cformat.h"
#include "testing/permtest_record.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

std::vector<NullPanel> NullPanels(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& r,
                                  const Matrix<double>& nulls, int kept) {
  std::vector<NullPanel> panels;
  for (const ReportedStatistic& s : ReportedStatistics(c.st)) {
    const auto a = U(s.a);
    if (!r.tested[a]) continue;
    const auto b = U(kPermStatAtoB[a]);
    NullPanel p;
    p.title = Format("%s   P = %.3g   SES = %.3g", StatisticSymbol(s.label).c_str(), r.probStat[a], r.sesStat[b]);
    p.nulls.assign(nulls[s.a], nulls[s.a] + kept);
    p.observed = r.obsStat[a];
    p.lower = r.llStat[b];
    p.upper = r.ulStat[b];
    panels.push_back(std::move(p));
  }
  return panels;
}

NullPanel LinearPanel(const std::string& title, const KeptNulls& k, int row, double observed, double p,
                      double ses) {
  NullPanel panel;
  panel.title = Format("%s   P = %.3g   SES = %.3g", title.c_str(), p, ses);
  panel.nulls.assign(k.linear[row], k.linear[row] + k.kept);
  panel.observed = observed;
  panel.hasLimits = false;  // the linear models have no limits of their own
  return panel;
}

// The panels of the regression terms or pseudo-F values, in the order of the
// table of statistics; the rows of `k.linear` are in the order of the test.
std::vector<NullPanel> LinearPanels(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& r,
                                    const KeptNulls& k) {
  const ScalingUpState& st = c.st;
  const std::vector<std::string>& traits = c.app.data.chLabel;
  auto factor = [&](int v) { return c.app.data.envLabel[U(st.envColumns[U(v)])]; };
  std::vector<NullPanel> out;
  if (c.app.opts.opt_ro == kModeRegression) {
    const int responses = st.p + (st.phylogeny ? 2 : 1);
    auto response = [&](const std::string& name, int j) {
      out.push_back(LinearPanel(name + " r-square", k, j, r.rsqRegr[j], r.probRsqRegr[j], r.sesRsqRegr[j]));
      for (int v = 0; v < st.e; ++v)
        out.push_back(LinearPanel(name + " ~ " + factor(v), k, responses + v * responses + j, r.coefRegr[v][j],
                                  r.probCoefRegr[v][j], r.sesCoefRegr[v][j]));
    };
    if (!st.nominalSelected)
      for (int j = 0; j < st.p; ++j)
        if (st.chSelect[U(j)]) response(traits[U(j)], j);
    response("Rf", st.p);
    if (st.phylogeny) response("Rp", st.p + 1);
    return out;
  }
  const int e = st.e, p = st.p;
  auto perFactor = [&](const std::string& name, int first, const double* f, const double* pv, const double* ses) {
    for (int v = 0; v < e; ++v)
      out.push_back(LinearPanel("F " + name + " ~ " + factor(v), k, first + v, f[v], pv[v], ses[v]));
  };
  if (!st.nominalSelected) {
    perFactor("T", 0, r.pseudoF_T, r.probPseudoF_T, r.sesPseudoF_T);
    for (int j = 0; j < p; ++j)
      if (st.chSelect[U(j)])
        for (int v = 0; v < e; ++v)
          out.push_back(LinearPanel("F " + traits[U(j)] + " ~ " + factor(v), k, e + v * p + j, r.pseudoF_Traits[v][j],
                                    r.probPseudoF_Traits[v][j], r.sesPseudoF_Traits[v][j]));
  }
  const int after = e + e * p;
  perFactor("X", after, r.pseudoF_X, r.probPseudoF_X, r.sesPseudoF_X);
  if (st.phylogeny) perFactor("P", after + e, r.pseudoF_P, r.probPseudoF_P, r.sesPseudoF_P);
  perFactor("Rf", after + 2 * e, r.pseudoF_R, r.probPseudoF_R, r.sesPseudoF_R);
  if (st.phylogeny) perFactor("Rp", after + 3 * e, r.pseudoF_Rphyl, r.probPseudoF_Rphyl, r.sesPseudoF_Rphyl);
  return out;
}

PointMap OrdinationMap(const CommunityOrdination& ord, const std::vector<std::string>& labels, const char* what) {
  PointMap m;
  m.title = Format("Principal coordinates of the communities (%s)", what);
  auto axis = [&](int k) {
    return Format("PCoA %d (%.1f%% of the variation)", k + 1, ord.eigval[U(k)] * 100.0 / ord.positiveSum);
  };
  m.xLabel = axis(0);
  m.yLabel = axis(1);
  const int n = ord.scores.cols();
  for (int i = 0; i < n; ++i) {
    m.x.push_back(ord.scores[0][i]);
    m.y.push_back(ord.scores[1][i]);
  }
  m.labels = labels;
  return m;
}

}  // namespace

FigureOutcome DrawAnalysisFigures(const ReportContext& c, const PermTest_FunctionalPhyl_Correl_Input& r,
                                  const KeptNulls& kept, const ReportedOrdinations& ords, const std::string& folder) {
  FigureOutcome out;
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    out.failures.push_back(folder + ": " + std::strerror(errno));
    return out;
  }
  struct stat info{};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    out.failures.push_back(folder + ": there is a file of that name, not a folder");
    return out;
  }
  auto draw = [&](const std::string& name, const std::string& why) {
    const std::string path = folder + "/" + name;
    if (why.empty())
      out.written.push_back(path);
    else
      out.failures.push_back(path + ": " + why);
  };
  const AnalysisOptions& o = c.app.opts;
  std::vector<NullPanel> panels;
  if (kept.kept > 0 && o.opt_ro >= kModeMantel && o.opt_ro <= kModeRV && kept.nulls.rows() > 0)
    panels = NullPanels(c, r, kept.nulls, kept.kept);
  else if (kept.kept > 0 && kept.linear.rows() > 0 && c.st.e > 0)
    panels = LinearPanels(c, r, kept);
  if (!panels.empty()) {
    std::string heading = Format("%s statistics, %s null model, %d permutations", CongruenceName(o).c_str(),
                                 NullModelName(o).c_str(), o.niter);
    if (kept.kept < o.niter - 1) heading += Format(" (histograms of the first %d)", kept.kept);
    std::string limits;
    if (o.opt_ro <= kModeRV)
      limits = o.doBootstrapOpt ? "95% bootstrap interval of the observed value" : "95% limits under H0";
    const std::string name = "NullDistributions.svg";
    draw(name, DrawNullDistributions(folder + "/" + name, heading, panels, limits));
  }
  if (ords.computed) {
    const std::vector<std::string> labels = CommunityLabels(c.app.data, c.st.n);
    auto map = [&](const CommunityOrdination& ord, const char* name, const char* what) {
      if (ord.scores.rows() < 2) return;  // a single axis is no map
      draw(name, DrawPointMap(folder + "/" + name, OrdinationMap(ord, labels, what)));
    };
    map(ords.Y, "PCoA_Y.svg", "Beals smoothed composition Y");
    map(ords.X, "PCoA_X.svg", "fuzzy-weighted composition X");
    if (ords.hasP) map(ords.P, "PCoA_P.svg", "phylogenetically weighted composition P");
  }
  return out;
}

}  // namespace kalios
