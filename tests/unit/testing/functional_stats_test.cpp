#include "testing/functional_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/transform.h"
#include "shell/abort.h"
#include "support/compare.h"
#include "testing/anova.h"
#include "testing/matrix_correlation.h"

namespace kalios {
namespace {

using test::JsonMatrix;
using test::LoadJson;

// A fixture data set rebuilt from its raw files as the functional analysis
// prepares it: Gower S, U = S with unit row sums, W with unit row totals,
// DE from the CorrAdj-standardized E, Beals-smoothed Y.
struct Data {
  nlohmann::json js;
  int n = 0, s = 0, p = 0, nEnv = 0;
  Matrix<double> B, Wraw, W, E, Ecorr, DE, Y, DY, S, U, SF, Q;
  std::vector<int> types, chSelect, richness;
  bool phylo = false;

  explicit Data(const std::string& set) {
    js = LoadJson(set + "/expected.json");
    const auto meta = LoadJson(set + "/meta.json");
    n = meta["n_communities"].get<int>();
    s = meta["n_otus"].get<int>();
    p = meta["n_traits"].get<int>();
    nEnv = meta["n_env"].get<int>();
    types = meta["trait_types"].get<std::vector<int>>();
    B = test::ReadFixtureNumbers(set + "/B.txt", s, p);
    Wraw = test::ReadFixtureNumbers(set + "/W.txt", n, s);
    E = test::ReadFixtureNumbers(set + "/E.txt", n, nEnv);
    W.Resize(n, s);
    UnitSumRowsAdjMV(n, s, W, Wraw);
    Ecorr.Resize(n, nEnv);
    CorrAdj(n, nEnv, Ecorr, E);
    DE.Resize(n, n);
    EucliDistMV(n, nEnv, Ecorr, DE);
    Y.Resize(n, s);
    BealsSmoothing(n, s, Wraw, Wraw, Y, true, 0);
    DY.Resize(n, n);
    EucliDistMV(n, s, Y, DY);
    S.Resize(s, s);
    GowerMVOpt(s, p, types.data(), B, S, nullptr, nullptr, 1);
    U = RowUnit(S);
    chSelect.assign(static_cast<size_t>(p), 1);
    for (int c = 0; c < n; ++c) {
      int r = 0;
      for (int i = 0; i < s; ++i) r += Wraw[c][i] > 0;
      richness.push_back(r);
    }
    phylo = js.contains("phylogeny");
    if (phylo) {
      SF = JsonMatrix(js["phylogeny"]["SF"]);
      Q = RowUnit(SF);
    }
  }

  static Matrix<double> RowUnit(const Matrix<double>& M) {
    Matrix<double> out(M.rows(), M.cols());
    for (int i = 0; i < M.rows(); ++i) {
      double t = 0;
      for (int j = 0; j < M.cols(); ++j) t += M[i][j];
      for (int j = 0; j < M.cols(); ++j) out[i][j] = M[i][j] / t;
    }
    return out;
  }

  // The record of the reference analysis in the given statistic mode.
  PermTest_FunctionalPhyl_Correl_Input Record(int mode, bool withPhylogeny) {
    PermTest_FunctionalPhyl_Correl_Input in;
    in.niter = 1;
    in.nch = p;
    in.chSelect = chSelect.data();
    in.nOTUs = s;
    in.nTypes = s;
    in.nEnv = nEnv;
    in.ncsm = n;
    in.B = B;
    in.Sb = S;
    in.E = E;
    in.U = U;
    in.DE = DE;
    in.DY = DY;
    in.W = W;
    in.Wadj = W;
    in.Y = Y;
    in.rese_opt = 6;
    in.opt_ro = mode;
    in.opt_MatrixCorr = 'm';
    in.overfitFactorPCARegr = 2.0;
    in.sqrtDissimOpt_RaoTraits = true;
    in.sqrtDissimOpt_RaoPhyl = false;
    in.richness = richness.data();
    if (withPhylogeny && phylo) {
      in.includePhylogeny = true;
      in.nTaxa = s;
      in.Sf = SF;
      in.Q = Q;
    }
    return in;
  }
};

class FunctionalStatsFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(FunctionalStatsFixture, MantelModeReproducesReference) {
  Data d(GetParam());
  auto in = d.Record(kModeMantel, true);
  FunctionalPhyl_Stats_Lib_Input st;
  ASSERT_EQ(FunctionalPhyl_Stats_Lib(&in, &st), 1);

  // The descriptors first: a mismatch here explains any mismatch below.
  Matrix<double> T(d.n, d.p);
  for (int c = 0; c < d.n; ++c)
    for (int j = 0; j < d.p; ++j) T[c][j] = st.T[c][j];
  EXPECT_TRUE(test::MatricesClose(T, JsonMatrix(d.js["T_norm"])));
  EXPECT_TRUE(test::MatricesClose(st.X, JsonMatrix(d.js["X"])));
  EXPECT_TRUE(test::MatricesClose(st.DX, JsonMatrix(d.js["DX"])));
  EXPECT_TRUE(test::MatricesClose(st.DR, JsonMatrix(d.js["DR"])));
  EXPECT_TRUE(test::MatricesClose(st.DV, JsonMatrix(d.js["DV"])));
  if (d.phylo) {
    EXPECT_TRUE(test::MatricesClose(st.DP, JsonMatrix(d.js["phylogeny"]["DP"])));
    EXPECT_TRUE(test::MatricesClose(st.DRaoPhyl, JsonMatrix(d.js["phylogeny"]["DRaoPhyl"])));
  }
  for (int c = 0; c < d.n; ++c) {
    EXPECT_CLOSE(st.R[c], d.js["Rf"][c].get<double>());
    EXPECT_CLOSE(st.nncrd[c], d.js["NNCRD"][c].get<double>());
  }

  size_t compared = 0;
  for (int k = 0; k < kNumFunctionalStats; ++k) {
    const char* name = kFunctionalStatNames[static_cast<size_t>(k)];
    if (!d.js["stats"].contains(name)) continue;
    EXPECT_CLOSE(st[static_cast<FunctionalStat>(k)], d.js["stats"][name].get<double>()) << name;
    ++compared;
  }
  EXPECT_EQ(compared, d.js["stats"].size());
  double a[kNumPermStats];
  StatsToOrderA(st, a);
  for (int k = 0; k < kNumPermStats; ++k) {
    const char* name = kPermStatNamesA[static_cast<size_t>(k)];
    if (d.js["stats"].contains(name)) {
      EXPECT_CLOSE(a[k], d.js["stats"][name].get<double>()) << name;
    }
  }

  // The workspace serves a second call with the same result.
  const auto first = st.stat;
  FunctionalPhyl_Stats_Lib(&in, &st);
  for (int k = 0; k < kNumFunctionalStats; ++k) EXPECT_EQ(st.stat[static_cast<size_t>(k)], first[static_cast<size_t>(k)]);
}

TEST_P(FunctionalStatsFixture, ProcrustesAndRvModesReproduceReference) {
  Data d(GetParam());
  FunctionalPhyl_Stats_Lib_Input st;
  auto in2 = d.Record(kModeProcrustes, false);
  FunctionalPhyl_Stats_Lib(&in2, &st);
  const auto& ro2 = d.js["opt_ro2"];
  EXPECT_CLOSE(st[kS_TE], ro2["r(TE)"].get<double>());
  EXPECT_CLOSE(st[kS_XE], ro2["r(XE)"].get<double>());
  EXPECT_CLOSE(st[kS_XE_T], ro2["r(XE.T)"].get<double>());

  auto in3 = d.Record(kModeRV, false);
  FunctionalPhyl_Stats_Lib(&in3, &st);
  const auto& ro3 = d.js["opt_ro3"];
  EXPECT_CLOSE(st[kS_TE], ro3["r(TE)"].get<double>());
  EXPECT_CLOSE(st[kS_XE], ro3["r(XE)"].get<double>());
  EXPECT_CLOSE(st[kS_XT], ro3["r(XT)"].get<double>());
  EXPECT_CLOSE(st[kS_XE_T], ro3["r(XE.T)"].get<double>());
}

TEST_P(FunctionalStatsFixture, PhylogeneticSignalSignFollowsTheResemblanceStatistic) {
  Data d(GetParam());
  if (!d.phylo) GTEST_SKIP() << "no phylogeny";
  FunctionalPhyl_Stats_Lib_Input st;
  auto in = d.Record(kModeMantel, true);
  FunctionalPhyl_Stats_Lib(&in, &st);
  const double similar = st[kS_BF];
  // The same phylogeny given as dissimilarities: the Mantel statistic is
  // turned round and comes back with the sign of the similarity form.
  Matrix<double> dissim(d.s, d.s);
  for (int i = 0; i < d.s; ++i)
    for (int j = 0; j < d.s; ++j) dissim[i][j] = 1.0 - d.SF[i][j];
  in.Sf = dissim;
  in.phylogenyIsDissim = true;
  FunctionalPhyl_Stats_Lib(&in, &st);
  EXPECT_CLOSE(st[kS_BF], similar);

  // RV reads the configurations only: never negated, whatever Sf holds.
  Matrix<double> scores = Data::RowUnit(d.SF);
  auto rv = d.Record(kModeRV, true);
  rv.phyloScores = scores;
  rv.nPhyloAxes = d.s;
  FunctionalPhyl_Stats_Lib(&rv, &st);
  const double plain = st[kS_BF];
  rv.Sf = dissim;
  rv.phylogenyIsDissim = true;
  FunctionalPhyl_Stats_Lib(&rv, &st);
  EXPECT_GT(plain, 0.0);
  EXPECT_CLOSE(st[kS_BF], plain);
}

TEST_P(FunctionalStatsFixture, RegressionModeAddsDiversityResponses) {
  Data d(GetParam());
  FunctionalPhyl_Stats_Lib_Input st;
  auto in = d.Record(kModeRegression, false);
  const int responses = d.p + 1;
  std::vector<double> rsq(static_cast<size_t>(responses), -1), icpt(static_cast<size_t>(responses), -1);
  Matrix<double> coef(d.nEnv, responses, -1);
  in.rsqRegr = rsq.data();
  in.interceptRegr = icpt.data();
  in.coefRegr = coef;
  FunctionalPhyl_Stats_Lib(&in, &st);
  EXPECT_EQ(st.nExtraCols, 1);
  for (int c = 0; c < d.n; ++c) EXPECT_EQ(st.T[c][d.p], st.R[static_cast<size_t>(c)]);
  for (double r : rsq) {
    EXPECT_GT(r, 0.0);
    EXPECT_LE(r, 1.0 + 1e-12);
  }
  // The correlation statistics belong to the other modes.
  for (double v : st.stat) EXPECT_EQ(v, 0.0);

  // Collinear ecological variables: no fit, every result 0 (not NaN).
  for (int c = 0; c < d.n; ++c) d.E[c][1] = 2.0 * d.E[c][0];
  testing::internal::CaptureStderr();
  FunctionalPhyl_Stats_Lib(&in, &st);
  testing::internal::GetCapturedStderr();
  for (int j = 0; j < responses; ++j) {
    EXPECT_EQ(rsq[static_cast<size_t>(j)], 0.0);
    EXPECT_EQ(icpt[static_cast<size_t>(j)], 0.0);
    for (int k = 0; k < d.nEnv; ++k) EXPECT_EQ(coef[k][j], 0.0);
  }
}

TEST_P(FunctionalStatsFixture, PseudoFModeUsesEachDescriptorsResemblance) {
  Data d(GetParam());
  // The first variable made a two-level factor, the others a single level.
  std::vector<int> factor(static_cast<size_t>(d.n)), single(static_cast<size_t>(d.n), 4);
  for (int c = 0; c < d.n; ++c) {
    factor[static_cast<size_t>(c)] = c < d.n / 2 ? 1 : 2;
    d.E[c][0] = factor[static_cast<size_t>(c)] + 0.25;  // group labels are the integer parts
    for (int k = 1; k < d.nEnv; ++k) d.E[c][k] = 4.0;
  }
  const auto ne = static_cast<size_t>(d.nEnv);
  auto in = d.Record(kModePseudoF, true);
  std::vector<double> fT(ne), fX(ne), fR(ne), fP(ne), fRp(ne);
  Matrix<double> fTraits(d.nEnv, d.p);
  in.pseudoF_T = fT.data();
  in.pseudoF_X = fX.data();
  in.pseudoF_R = fR.data();
  in.pseudoF_P = fP.data();
  in.pseudoF_Rphyl = fRp.data();
  in.pseudoF_Traits = fTraits;
  FunctionalPhyl_Stats_Lib_Input st;
  FunctionalPhyl_Stats_Lib(&in, &st);
  // The resemblances themselves match the reference (Mantel test above); the
  // reference's 10-digit rounding is too coarse for a ratio of sums of squares.
  auto F = [&](const Matrix<double>& D) { return PseudoF(d.n, D, factor.data(), nullptr, false); };
  EXPECT_CLOSE(fT[0], F(st.DT));
  EXPECT_CLOSE(fX[0], F(st.DX));
  EXPECT_CLOSE(fR[0], F(st.DR));
  const Matrix<double>& T = st.T;
  for (int j = 0; j < d.p; ++j) {
    Matrix<double> Dj(d.n, d.n);
    for (int a = 0; a < d.n; ++a)
      for (int b = 0; b < d.n; ++b) Dj[a][b] = std::fabs(T[a][j] - T[b][j]);
    EXPECT_CLOSE(fTraits[0][j], F(Dj)) << "trait " << j;
    EXPECT_EQ(fTraits[1][j], 0.0);
  }
  if (d.phylo) {
    EXPECT_CLOSE(fP[0], F(st.DP));
    EXPECT_CLOSE(fRp[0], F(st.DRaoPhyl));
  }
  for (double f : {fT[1], fX[1], fR[1], fP[1], fRp[1]}) EXPECT_EQ(f, 0.0);
  EXPECT_GT(fT[0], 0.0);
}

TEST_P(FunctionalStatsFixture, IntermediateResultsGoOnlyToTheGivenStream) {
  Data d(GetParam());
  FunctionalPhyl_Stats_Lib_Input st;
  auto in = d.Record(kModeMantel, true);
  std::ostringstream out;
  in.printIntermediate = true;
  in.rndDataFile = &out;
  FunctionalPhyl_Stats_Lib(&in, &st);
  EXPECT_EQ(out.str().find("DRaoPhyl") != std::string::npos, d.phylo);
  EXPECT_NE(out.str().find("INTERMEDIATE RESULTS\n"), std::string::npos);
  in.printIntermediate = false;
  out.str("");
  FunctionalPhyl_Stats_Lib(&in, &st);
  EXPECT_TRUE(out.str().empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FunctionalStatsFixture, ::testing::Values("small", "mixed"));

TEST(PseudoF, TwoGroupsOnALine) {
  // Objects at 0, 1, 5 and 6 in groups {0, 1} and {5, 6}.
  const double x[] = {0, 1, 5, 6};
  Matrix<double> D(4, 4);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) D[i][j] = std::fabs(x[i] - x[j]);
  const int part[] = {7, 7, 3, 3};
  double ssb = 0, sst = 0;
  EXPECT_CLOSE(BetweenGrSqDissim(4, D, part, &ssb, &sst, nullptr, false), 25.0);
  EXPECT_CLOSE(sst, 26.0);
  EXPECT_CLOSE(PseudoF(4, D, part, nullptr, false), 25.0);
  // Without the last object: SSt 42 / 3, the second group a singleton.
  const int sel[] = {1, 1, 1, 0};
  EXPECT_CLOSE(PseudoF(4, D, part, sel, false), 13.5 / 0.5);
  // One level: no between-group variation, 0. No within-group variation
  // (every object its own group, or groups of equal objects) separates
  // perfectly: larger than any finite value, not a 0 that P would call
  // unremarkable.
  const int one[] = {1, 1, 1, 1}, own[] = {1, 2, 3, 4};
  EXPECT_EQ(PseudoF(4, D, one, nullptr, false), 0.0);
  EXPECT_EQ(PseudoF(4, D, own, nullptr, false), std::numeric_limits<double>::infinity());
  const double twin[4][4] = {{0, 0, 3, 3}, {0, 0, 3, 3}, {3, 3, 0, 1e-9}, {3, 3, 1e-9, 0}};
  const double* t[4] = {twin[0], twin[1], twin[2], twin[3]};
  const int pairs[] = {1, 1, 2, 2};
  EXPECT_EQ(PseudoF(4, t, pairs, nullptr, false), std::numeric_limits<double>::infinity());
}

TEST(FunctionalStats, DegenerateDataGiveZeroNeverNaN) {
  // Identical communities: every descriptor constant across communities.
  const int n = 5, s = 4, p = 2, nEnv = 2;
  // Sb constant including its diagonal: even the Rd statistic of r(BF),
  // which reads the diagonal, has nothing to correlate.
  Matrix<double> B(s, p), W(n, s), E(n, nEnv), DE(n, n), Y(n, s), DY(n, n), Sb(s, s, 1.0), U(s, s), Sf(s, s, 0.3),
      Q(s, s);
  for (int i = 0; i < s; ++i) {
    B[i][0] = i;
    B[i][1] = i * i;
    Sf[i][i] = 1.0;
    for (int j = 0; j < s; ++j) U[i][j] = Q[i][j] = (i == j) ? 1.0 : 0.0;
  }
  for (int c = 0; c < n; ++c) {
    for (int i = 0; i < s; ++i) Y[c][i] = W[c][i] = 0.25;
    E[c][0] = c;  // levels 0..4: every community its own group
    E[c][1] = 1;  // a single level
  }
  EucliDistMV(n, nEnv, E, DE);
  PermTest_FunctionalPhyl_Correl_Input in;
  in.nch = p;
  in.nOTUs = s;
  in.nTypes = s;
  in.nTaxa = s;
  in.nEnv = nEnv;
  in.ncsm = n;
  in.B = B;
  in.Sb = Sb;
  in.Sf = Sf;
  in.E = E;
  in.U = U;
  in.Q = Q;
  in.DE = DE;
  in.DY = DY;
  in.W = W;
  in.Wadj = W;
  in.Y = Y;
  in.rese_opt = 6;
  in.includePhylogeny = true;
  std::vector<double> fT(nEnv, -1), fX(nEnv, -1), fR(nEnv, -1);
  in.pseudoF_T = fT.data();
  in.pseudoF_X = fX.data();
  in.pseudoF_R = fR.data();
  FunctionalPhyl_Stats_Lib_Input st;
  for (int mode : {1, 2, 3, 5}) {
    for (char opt : {'m', 'r'}) {
      in.opt_ro = mode;
      in.opt_MatrixCorr = opt;
      FunctionalPhyl_Stats_Lib(&in, &st);
      for (int k = 0; k < kNumFunctionalStats; ++k)
        EXPECT_EQ(st.stat[static_cast<size_t>(k)], 0.0) << "mode " << mode << " " << opt << " "
                                                        << kFunctionalStatNames[static_cast<size_t>(k)];
    }
  }
  for (int k = 0; k < nEnv; ++k) {
    EXPECT_EQ(fT[static_cast<size_t>(k)], 0.0);
    EXPECT_EQ(fX[static_cast<size_t>(k)], 0.0);
    EXPECT_EQ(fR[static_cast<size_t>(k)], 0.0);
    for (int j = 0; j < p; ++j) EXPECT_EQ(st.pseudoF_Traits[k][j], 0.0);
  }
}

TEST(FunctionalStats, ExcludedOtuDoesNotDropTheTypeItBelongsTo) {
  // Types group OTUs in pairs; OTU 1 is excluded with the restriction on.
  // Type 1 still holds OTU 2, so its column of X must not be emptied by
  // reading OTU 1's flag as the flag of type 1.
  Data d("mixed");
  Matrix<double> U = JsonMatrix(d.js["extras"]["U_grouped"]["U"]);
  std::vector<int> flags(static_cast<size_t>(d.s), 1);
  flags[0] = 0;
  Matrix<double> W(d.W);
  for (int c = 0; c < d.n; ++c) W[c][0] = 0;  // excluded OTUs have no composition weight
  auto in = d.Record(1, false);
  in.W = W;
  in.U = U;
  in.nTypes = U.cols();
  in.weight_OTUs = flags.data();
  in.restrictRaoWithinOpt = true;
  FunctionalPhyl_Stats_Lib_Input st;
  FunctionalPhyl_Stats_Lib(&in, &st);
  double column = 0;
  for (int c = 0; c < d.n; ++c) column += st.X[c][0];
  EXPECT_GT(column, 0.0);
}

TEST(FunctionalStats, UndefinedResemblanceOptionAborts) {
  Matrix<double> M(2, 2);
  PermTest_FunctionalPhyl_Correl_Input in;
  in.nch = in.nOTUs = in.nTypes = in.nEnv = in.ncsm = 2;
  in.B = in.Sb = in.E = in.U = in.DE = in.DY = in.W = in.Wadj = in.Y = M;
  in.opt_ro = 1;
  in.rese_opt = 0;
  FunctionalPhyl_Stats_Lib_Input st;
  testing::internal::CaptureStderr();
  try {
    FunctionalPhyl_Stats_Lib(&in, &st);
    ADD_FAILURE() << "no abort";
  } catch (const AbortError& e) {
    EXPECT_EQ(e.code(), 1);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Undefined resemblance option!\n");
}

}  // namespace
}  // namespace kalios
