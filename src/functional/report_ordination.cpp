// Sections of the results file that close the report: the diversity of the
// communities, its Jost forms, and the principal coordinates of the
// composition matrices with their correlation tables.
#include <algorithm>

#include "measures/covariance.h"
#include "measures/resemblance.h"
#include "measures/types.h"
#include "measures/ordination.h"
#include "numlib/print.h"
#include "functional/report.h"
#include "shell/cformat.h"

namespace kalios {
namespace {

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// A distance code: the ordination squares the dissimilarities before centring.
constexpr int kDistanceCode = 3;

void JostLine(std::ostream& os, const std::vector<double>& v) {
  for (double x : v) Print(os, "%g\t", x);
}

std::vector<double> Jost(const std::vector<double>& v) {
  std::vector<double> out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out[i] = 1.0 / (1.0 - v[i]);
  return out;
}

// Texts of one ordination, Y, X or P.
struct OrdinationTexts {
  const char* title;
  const char* scores;
  const char* otus;
  const char* cwm;
  const char* env;
  const char* vsY;     // null for Y
  const char* axisOf;  // "PCOA axis %d of X"
};

const OrdinationTexts kTextsY = {
    "\n\nOrdination (Principal Coordinates Analysis, PCOA) of BEALS smoothed composition matrix Y:",
    "\nPCOA scores of Beals-transformed communities on the first %d ordination components:\n",
    "\nCorrelation coefficients between PCOA ordination scores of Beals-transformed communities and %d OTUs:\n",
    "\nCorrelation coefficients between PCOA ordination scores of Beals-transformed communities and community "
    "weighted mean (CWM) traits:\n",
    "\nCorrelation coefficients between PCOA ordination scores of Beals-transformed communities and environmental "
    "variables:\n",
    nullptr,
    nullptr};
const OrdinationTexts kTextsX = {
    "\n\nOrdination (Principal Coordinates Analysis, PCOA) of FUZZY_WEIGHTED composition matrix X:",
    "\nPCOA scores of fuzzy-weighted communities on the first %d ordination components:\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities and %d OTUs:\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities and community weighted "
    "means (CWM):\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities and ecosystem "
    "descriptors:\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted communities (X) and PCOA "
    "ordination scores of Beals-transformed communities (Y):\n",
    "PCOA axis %d of X"};
const OrdinationTexts kTextsP = {
    "\n\nOrdination (Principal Coordinates Analysis, PCOA) of composition matrix P fuzzy-weighted by OTUs "
    "PHYLOGENETIC similarites:",
    "\nPCOA scores of communities based on fuzzy-weighted PHYLOGENETIC composition, on the first %d ordination "
    "components:\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition and %d "
    "OTUs:\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition and "
    "community weighted means (CWM):\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition and "
    "ecosystem descriptors:\n",
    "\nCorrelation coefficients between PCOA ordination scores of fuzzy-weighted PHYLOGENETIC composition (P) and "
    "PCOA ordination scores of Beals-transformed communities (Y):\n",
    "PCOA axis %d of P"};

void AxesHeader(std::ostream& os, const char* first, int a) {
  Print(os, "%s", first);
  for (int k = 1; k <= a; ++k) Print(os, "\t%d", k);
  Print(os, "\n");
}

// Prints one ordination of the n communities whose composition M has `cols`
// columns; Y (with its shown axes aY) for the table against the Y ordination.
void WriteOneOrdination(const ReportContext& c, const OrdinationTexts& t, const CommunityOrdination& ord,
                        const double* const* M, int cols, const double* const* Tall,
                        const CommunityOrdination* ordY, int aY) {
  const App& app = c.app;
  const ScalingUpState& st = c.st;
  const DataSet& ds = app.data;
  const int d = app.prefs.sDigits;
  const int n = st.n;
  std::ostream& os = c.os;
  const int m = ord.axes;
  Print(os, "%s", t.title);
  // The axes kept are those whose share of the positive inertia passes the
  // threshold, which is what the heading must say.
  Print(os, "\nNumber of eigenvalues > %g percent of the sum of the positive eigenvalues: \t%d", 1e-06, m);
  Print(os, "\nEigenvalues:\t");
  for (int k = 0; k < m; ++k) Print(os, "%8.*g\t", d, ord.eigval[U(k)]);
  Print(os, "\nPercentage:\t");
  for (int k = 0; k < m; ++k) Print(os, "%8.*g\t", d, ord.eigval[U(k)] * 100.0 / ord.positiveSum);
  Print(os, "\n");

  const int a = std::min(m, app.prefs.maxComponents);
  Print(os, t.scores, a);
  PrintMatrixTab(os, a, n, ord.scores, d);

  Print(os, t.otus, st.s);
  for (int k = 0; k < a; ++k) {
    Print(os, "Axis:\t%d\t", k + 1);
    for (int j = 0; j < cols; ++j) Print(os, "%g\t", Correlation2SelectedVecMV(n, true, k, ord.scores, false, j, M));
    Print(os, "\n");
  }

  if (!st.nominalSelected) {
    Print(os, "%s", t.cwm);
    AxesHeader(os, "Axes", a);
    for (int j = 0; j < st.p; ++j) {
      if (!st.chSelect[U(j)]) continue;
      Print(os, "%s", ds.chLabel[U(j)].c_str());
      for (int k = 0; k < a; ++k) Print(os, "\t%g", Correlation2SelectedVecMV(n, true, k, ord.scores, false, j, Tall));
      Print(os, "\n");
    }
  }
  if (st.e > 0) {
    Print(os, "%s", t.env);
    AxesHeader(os, "Axes", a);
    for (int v = 0; v < st.e; ++v) {
      Print(os, "%s", ds.envLabel[U(st.envColumns[U(v)])].c_str());
      for (int k = 0; k < a; ++k)
        Print(os, "\t%g", Correlation2SelectedVecMV(n, true, k, ord.scores, false, v, st.Eprime));
      Print(os, "\n");
    }
  }
  if (ordY != nullptr) {
    Print(os, "%s", t.vsY);
    AxesHeader(os, "PCOA axis of Y", aY);
    for (int i = 0; i < a; ++i) {
      Print(os, t.axisOf, i + 1);
      for (int k = 0; k < aY; ++k)
        Print(os, "\t%g", Correlation2SelectedVecMV(n, true, i, ord.scores, true, k, ordY->scores));
      Print(os, "\n");
    }
  }
}

}  // namespace

CommunityOrdination OrdinateCommunities(int n, const double* const* D, int vectors) {
  CommunityOrdination ord;
  ord.eigval.assign(U(n), 0.0);
  vectors = std::clamp(vectors, 0, n);
  Matrix<double> eigvec(std::max(vectors, 1), n), scores(std::max(vectors, 1), n);
  bool ok = true;
  OrdinationLib_D(n, n, nullptr, D, eigvec, scores, &ord.axes, ord.eigval.data(), &ok,
                  kOrdinationPrincipalCoordinates, kDistanceCode, 1, vectors);
  for (double v : ord.eigval)
    if (v > 0) ord.positiveSum += v;
  const int scored = std::min(ord.axes, vectors);
  ord.scores.Resize(scored, n);
  for (int k = 0; k < scored; ++k)
    for (int i = 0; i < n; ++i) ord.scores[k][i] = scores[k][i];
  return ord;
}

void WriteDiversitySection(const ReportContext& c) {
  const App& app = c.app;
  const ScalingUpState& st = c.st;
  const int d = app.prefs.sDigits;
  const int n = st.n;
  std::ostream& os = c.os;
  Print(os, "\n\nDIVERSITY");
  Print(os, "\nOTU richness in each community:\n");
  PrintVectorTab(os, n, st.richness.data());
  const auto [lo, hi] = std::minmax_element(st.richness.begin(), st.richness.end());
  Print(os, "\nMinimum richness:\t%d\tMaximum richness:\t%d\n", n > 0 ? *lo : 0, n > 0 ? *hi : 0);
  if (app.opts.partOpt == 1)
    Print(os, "\nThe diversity measures (and the Rao entropies of the tests) use the relative abundances of W: the "
              "quantitative component of the data partition holds negative values, for which they are not "
              "defined.\n");
  Print(os, "\nGini-Simpson index (D) within each community (equivalent to Rao quadratic entropy with null, crisp, "
            "similarities):\n");
  PrintVectorTab(os, n, st.D.data(), d);
  if (app.prefs.sqrtDissimOpt_RaoTraits)
    Print(os, "\nRao quadratic entropy within each community, considering trait dissimilarities "
              "[D=sqrt(1-GowerIndex)] between OTUs (Rf):\n");
  else
    Print(os, "\nRao quadratic entropy within each community, considering trait dissimilarities [D=1-GowerIndex] "
              "between OTUs (Rf):\n");
  PrintVectorTab(os, n, st.Rf.data(), d);
  Print(os, "\nFunctional redundancy in each community (FR = D-Rf):\n");
  PrintVectorTab(os, n, st.FR.data(), d);
  if (st.phylogeny) {
    Print(os, "\n\nPHYLOGENETIC DIVERSITY");
    if (st.phyloIsDissim)
      Print(os, "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                "between OTUs:\n");
    else
      Print(os, "\nRao quadratic entropy (Rp) within each community, considering phylogenetic dissimilarities "
                "obtained by transformation of input similarities %s between OTUs:\n",
            app.prefs.sqrtDissimOpt_RaoPhyl ? "[D= sqrt(1-S)]" : "[D= 1-S]");
    PrintVectorTab(os, n, st.Rp.data(), d);
    Print(os, "\nPhylogenetic redundancy in each community (PR = D-Rp):\n");
    PrintVectorTab(os, n, st.PR.data(), d);
  }

  const std::vector<double> jD = Jost(st.D), jRf = Jost(st.Rf);
  std::vector<double> jFR(U(n));
  for (int i = 0; i < n; ++i) jFR[U(i)] = jD[U(i)] - jRf[U(i)];
  Print(os, "\n\nDiversity using Jost (2006) correction");
  Print(os, "\nGini-Simpson index (D) within each community (equivalent to Rao quadratic entropy with null, crisp, "
            "dissimilarties):\n");
  JostLine(os, jD);
  Print(os, "\nRao quadratic entropy within each community, considering trait dissimilarties (Qf):\n");
  JostLine(os, jRf);
  Print(os, "\nFunctional redundancy in each community (FR = D-Qf):\n");
  JostLine(os, jFR);
  if (st.phylogeny) {
    const std::vector<double> jRp = Jost(st.Rp);
    std::vector<double> jPR(U(n));
    for (int i = 0; i < n; ++i) jPR[U(i)] = jD[U(i)] - jRp[U(i)];
    Print(os, "\n\nPHYLOGENETIC REDUNDANCY");
    Print(os, "\nRao quadratic entropy (Qp) within each community, considering phylogenetic dissimilarties:\n");
    JostLine(os, jRp);
    Print(os, "\nPhylogenetic redundancy in each community (PR = D-Qp):\n");
    JostLine(os, jPR);
  }
}

ReportedOrdinations OrdinateCompositions(const ScalingUpState& st, const double* const* X, int reseOpt,
                                         int vectors) {
  ReportedOrdinations out;
  const int n = st.n;
  Matrix<double> DX(n, n);
  NominalReseNonHier(n, st.k, X, DX, reseOpt);
  out.hasP = st.phylogeny;
  // Each ordination is a full eigen-decomposition, a tenth of a second at 400
  // communities and seconds at thousands, and none needs another: they run
  // side by side, one per thread.
  const double* const* sources[3] = {st.DY, DX, st.DP};
  CommunityOrdination* targets[3] = {&out.Y, &out.X, &out.P};
  const int count = out.hasP ? 3 : 2;
#pragma omp parallel for schedule(dynamic, 1)
  for (int k = 0; k < count; ++k) *targets[k] = OrdinateCommunities(n, sources[k], vectors);
  out.computed = true;
  return out;
}

void WriteOrdinationsSection(const ReportContext& c, const ReportedOrdinations& ords, const double* const* X,
                             const double* const* Tall) {
  const ScalingUpState& st = c.st;
  if (!ords.computed) return;
  const int aY = std::min(ords.Y.axes, c.app.prefs.maxComponents);
  WriteOneOrdination(c, kTextsY, ords.Y, st.Y, st.s, Tall, nullptr, 0);
  WriteOneOrdination(c, kTextsX, ords.X, X, st.k, Tall, &ords.Y, aY);
  if (ords.hasP) WriteOneOrdination(c, kTextsP, ords.P, st.P, st.nTaxa, Tall, &ords.Y, aY);
}

}  // namespace kalios
