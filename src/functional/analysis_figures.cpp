#include "functional/analysis_figures.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "functional/analysis_tables.h"
#include "plot/figures.h"
#include "shell/cformat.h"

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
                                  const Matrix<double>& nulls, int kept, const ReportedOrdinations& ords,
                                  const std::string& folder) {
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
  if (o.opt_ro >= 1 && o.opt_ro <= 3 && kept > 0 && nulls.rows() > 0) {
    const std::vector<NullPanel> panels = NullPanels(c, r, nulls, kept);
    if (!panels.empty()) {
      std::string heading = Format("%s statistics, %s null model, %d permutations", CongruenceName(o).c_str(),
                                   NullModelName(o).c_str(), o.niter);
      if (kept < o.niter - 1) heading += Format(" (histograms of the first %d)", kept);
      const std::string limits = o.doBootstrapOpt ? "95% bootstrap interval of the observed value"
                                                  : "95% limits under H0";
      const std::string name = "NullDistributions.svg";
      draw(name, DrawNullDistributions(folder + "/" + name, heading, panels, limits));
    }
  }
  if (ords.computed) {
    const std::vector<std::string> labels = CommunityLabels(c.app.data, c.st.n);
    auto map = [&](const CommunityOrdination& ord, const char* name, const char* what) {
      if (ord.axes < 2) return;  // a single axis is no map
      draw(name, DrawPointMap(folder + "/" + name, OrdinationMap(ord, labels, what)));
    };
    map(ords.Y, "PCoA_Y.svg", "Beals smoothed composition Y");
    map(ords.X, "PCoA_X.svg", "fuzzy-weighted composition X");
    if (ords.hasP) map(ords.P, "PCoA_P.svg", "phylogenetically weighted composition P");
  }
  return out;
}

}  // namespace kalios
