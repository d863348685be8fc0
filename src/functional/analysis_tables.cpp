#include "functional/analysis_tables.h"

#include <cmath>

#include "measures/transform.h"
#include "session/tsv_table.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

using Rec = PermTest_FunctionalPhyl_Correl_Input;

const char* const kStatsColumns[] = {"analysis", "statistic", "term",     "observed",   "P",
                                     "P_asymmetry", "SES",     "expected", "lower95",    "upper95",
                                     "null_model", "permutations", "seed", "congruence", "tested"};

// The cells every row of one analysis shares.
struct Common {
  std::string stamp, nullModel, niter, seed, congruence;
};

struct Numbers {
  double observed = NAN, p = NAN, asymP = NAN, ses = NAN, expected = NAN, lower = NAN, upper = NAN;
};

// A linear-model value: observed, P, SES and expectation (no limits).
Numbers ModelValue(double observed, double p, double ses, double expected) {
  Numbers n;
  n.observed = observed;
  n.p = p;
  n.ses = ses;
  n.expected = expected;
  return n;
}

std::string Row(const Common& c, const std::string& statistic, const std::string& term, const Numbers& v,
                bool tested) {
  // A statistic the null model cannot test has no P, SES, expectation or limits.
  const auto num = [tested](double x) { return tested ? TsvNumber(x) : std::string(); };
  return TsvLine({TsvText(c.stamp), TsvText(statistic), TsvText(term), TsvNumber(v.observed), num(v.p),
                  num(v.asymP), num(v.ses), num(v.expected), num(v.lower), num(v.upper), c.nullModel, c.niter, c.seed,
                  c.congruence, tested ? "yes" : "no"});
}

const std::string& EnvLabel(const ReportContext& c, int v) {
  return c.app.data.envLabel[U(c.st.envColumns[U(v)])];
}

std::string CorrelationRows(const ReportContext& c, const Rec& r, const Common& com) {
  std::string out;
  for (const ReportedStatistic& s : ReportedStatistics(c.st)) {
    const auto a = U(s.a);
    const auto b = U(kPermStatAtoB[a]);
    Numbers v;
    v.observed = r.obsStat[a];
    v.p = r.probStat[a];
    v.asymP = r.asymProbStat[b];
    v.ses = r.sesStat[b];
    v.expected = r.expStat[b];
    v.lower = r.llStat[b];
    v.upper = r.ulStat[b];
    out += Row(com, StatisticSymbol(s.label), "", v, r.tested[a]);
  }
  return out;
}

std::string RegressionRows(const ReportContext& c, const Rec& r, const Common& com) {
  const ScalingUpState& st = c.st;
  std::string out;
  auto response = [&](const std::string& name, int j) {
    out += Row(com, name, "r-square", ModelValue(r.rsqRegr[j], r.probRsqRegr[j], r.sesRsqRegr[j], r.expRsqRegr[j]),
               true);
    for (int v = 0; v < st.e; ++v)
      out += Row(com, name, EnvLabel(c, v),
                 ModelValue(r.coefRegr[v][j], r.probCoefRegr[v][j], r.sesCoefRegr[v][j], r.expCoefRegr[v][j]), true);
    Numbers intercept;
    intercept.observed = r.interceptRegr[j];
    out += Row(com, name, "Intercept", intercept, true);
  };
  if (!st.nominalSelected)
    for (int j = 0; j < st.p; ++j)
      if (st.chSelect[U(j)]) response(c.app.data.chLabel[U(j)], j);
  response("Functional diversity", st.p);
  if (st.phylogeny) response("Phylogenetic diversity", st.p + 1);
  return out;
}

std::string PseudoFRows(const ReportContext& c, const Rec& r, const Common& com) {
  const ScalingUpState& st = c.st;
  std::string out;
  auto factors = [&](const std::string& name, const double* f, const double* p, const double* ses,
                     const double* e) {
    for (int v = 0; v < st.e; ++v) out += Row(com, name, EnvLabel(c, v), ModelValue(f[v], p[v], ses[v], e[v]), true);
  };
  if (!st.nominalSelected) {
    factors("T", r.pseudoF_T, r.probPseudoF_T, r.sesPseudoF_T, r.expPseudoF_T);
    for (int j = 0; j < st.p; ++j) {
      if (!st.chSelect[U(j)]) continue;
      for (int v = 0; v < st.e; ++v)
        out += Row(com, c.app.data.chLabel[U(j)], EnvLabel(c, v),
                   ModelValue(r.pseudoF_Traits[v][j], r.probPseudoF_Traits[v][j], r.sesPseudoF_Traits[v][j],
                              r.expPseudoF_Traits[v][j]),
                   true);
    }
  }
  factors("X", r.pseudoF_X, r.probPseudoF_X, r.sesPseudoF_X, r.expPseudoF_X);
  if (st.phylogeny) factors("P", r.pseudoF_P, r.probPseudoF_P, r.sesPseudoF_P, r.expPseudoF_P);
  factors("Functional diversity", r.pseudoF_R, r.probPseudoF_R, r.sesPseudoF_R, r.expPseudoF_R);
  if (st.phylogeny)
    factors("Phylogenetic diversity", r.pseudoF_Rphyl, r.probPseudoF_Rphyl, r.sesPseudoF_Rphyl, r.expPseudoF_Rphyl);
  return out;
}

std::vector<double> Column(const std::vector<double>& v, int n) {
  std::vector<double> out(v.begin(), v.begin() + std::min<std::ptrdiff_t>(n, static_cast<std::ptrdiff_t>(v.size())));
  out.resize(U(n), NAN);
  return out;
}

}  // namespace

std::string NullModelName(const AnalysisOptions& o) {
  if (o.optTaxaSiteShuffle == 's') return "site";
  std::string name = o.optWeightedNullModel               ? "weighted"
                     : o.optRestrictPermutNullModel == 1 ? "restricted"
                                                         : "taxa";
  // The bootstrap samples give the limits; the P-values still come from the taxa shuffle.
  if (o.doBootstrapOpt && o.opt_ro != 5) name = name == "taxa" ? "bootstrap" : name + "+bootstrap";
  return name;
}

std::string CongruenceName(const AnalysisOptions& o) {
  switch (o.opt_ro) {
    case 1:
      return o.opt_MatrixCorr == 'r' ? "Rd" : "Mantel";
    case 2:
      return "Procrustes";
    case 3:
      return "RV";
    case 4:
      return "regression";
    case 5:
      return "pseudo-F";
    default:
      return "";
  }
}

std::string StatsTableHeader() {
  std::vector<std::string> cells(std::begin(kStatsColumns), std::end(kStatsColumns));
  const std::string line = TsvLine(cells);
  return line.substr(0, line.size() - 1);
}

std::string StatsTableRows(const ReportContext& c, const Rec& r, const std::string& stamp) {
  const AnalysisOptions& o = c.app.opts;
  const Common com{stamp, NullModelName(o), std::to_string(o.niter), std::to_string(o.rseed), CongruenceName(o)};
  if (o.opt_ro >= 1 && o.opt_ro <= 3) return CorrelationRows(c, r, com);
  if (c.st.e == 0) return "";
  if (o.opt_ro == 4) return RegressionRows(c, r, com);
  if (o.opt_ro == 5) return PseudoFRows(c, r, com);
  return "";
}

void CommunityTable::Add(const std::string& name, std::vector<double> values) {
  names_.push_back(name);
  columns_.push_back(std::move(values));
}

std::string CommunityTable::Header() const {
  std::vector<std::string> cells = {"analysis", "community"};
  for (const std::string& n : names_) cells.push_back(TsvText(n));
  const std::string line = TsvLine(cells);
  return line.substr(0, line.size() - 1);
}

std::string CommunityTable::Rows(const std::vector<std::string>& communities, const std::string& stamp) const {
  std::string out;
  for (std::size_t i = 0; i < communities.size(); ++i) {
    std::vector<std::string> cells = {TsvText(stamp), TsvText(communities[i])};
    for (const std::vector<double>& col : columns_) cells.push_back(i < col.size() ? TsvNumber(col[i]) : "");
    out += TsvLine(cells);
  }
  return out;
}

void AddCommunityDescriptors(const ReportContext& c, CommunityTable& table) {
  const ScalingUpState& st = c.st;
  const int n = st.n;
  table.Add("richness", std::vector<double>(st.richness.begin(), st.richness.end()));
  table.Add("D", Column(st.D, n));
  table.Add("Rf", Column(st.Rf, n));
  table.Add("FR", Column(st.FR, n));
  if (st.phylogeny) {
    table.Add("Rp", Column(st.Rp, n));
    table.Add("PR", Column(st.PR, n));
  }
  if (st.nominalSelected || st.T.rows() < n) return;
  std::vector<int> cols;
  for (int j = 0; j < st.p; ++j)
    if (st.chSelect[U(j)]) cols.push_back(j);
  Matrix<double> raw(n, static_cast<int>(cols.size())), used(n, static_cast<int>(cols.size()));
  for (int i = 0; i < n; ++i)
    for (std::size_t k = 0; k < cols.size(); ++k) raw[i][static_cast<int>(k)] = st.T[i][cols[k]];
  NormalizeColsMV(n, raw.cols(), raw, used);
  const std::vector<std::string>& labels = c.app.data.chLabel;
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t k = 0; k < cols.size(); ++k) {
      const Matrix<double>& m = pass == 0 ? raw : used;
      std::vector<double> v(U(n));
      for (int i = 0; i < n; ++i) {
        const double x = m[i][static_cast<int>(k)];
        v[U(i)] = IsPresent(x) ? x : NAN;
      }
      table.Add((pass == 0 ? "T_" : "Tnorm_") + labels[U(cols[k])], std::move(v));
    }
}

void AddOrdinationScores(const CommunityOrdination& ord, int axes, const std::string& prefix, CommunityTable& table) {
  for (int k = 0; k < axes && k < ord.scores.rows(); ++k) {
    const int n = ord.scores.cols();
    std::vector<double> v(U(n));
    for (int i = 0; i < n; ++i) v[U(i)] = ord.scores[k][i];
    table.Add(prefix + std::to_string(k + 1), std::move(v));
  }
}

std::vector<std::string> CommunityLabels(const DataSet& ds, int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i)
    out.push_back(U(i) < ds.reLabel.size() && !ds.reLabel[U(i)].empty() ? ds.reLabel[U(i)] : std::to_string(i + 1));
  return out;
}

}  // namespace kalios
