#include "testing/permtest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <sstream>
#include <vector>

#include "numlib/compare.h"
#include "measures/resemblance.h"
#include "measures/smoothing.h"
#include "measures/types.h"
#include "support/compare.h"
#include "testing/functional_stats.h"
#include "testing/matrix_correlation.h"
#include "testing/permtest_fastmantel.h"
#include "testing/permtest_nullmodels.h"

namespace kalios {
namespace {

// A small data set with every OTU its own type and owner of every matrix the
// record points to.
struct Data {
  int n, s, p = 2, e = 2;
  Matrix<double> B, Sb, E, U, Q, Sf, scores, DE, DY, W, Wadj, Y, Tout, Xout, Pout, V;
  std::vector<double> R, Rphyl;
  std::vector<int> chSelect, eSelect, rel, richness, weights, nesting;
  PermTest_FunctionalPhyl_Correl_Input rec;

  Data(int nIn, int sIn, bool phylo, unsigned seed) : n(nIn), s(sIn) {
    RandomGenerator g(seed);
    B.Resize(s, p);
    for (int i = 0; i < s; ++i)
      for (int j = 0; j < p; ++j) B[i][j] = g.Uniform() * 10;
    W.Resize(n, s);
    Wadj.Resize(n, s);
    for (int c = 0; c < n; ++c) {
      double tot = 0;
      for (int i = 0; i < s; ++i) {
        W[c][i] = (g.Uniform() < 0.6 || i == c % s) ? std::floor(1 + g.Uniform() * 5) : 0.0;
        tot += W[c][i];
      }
      for (int i = 0; i < s; ++i) Wadj[c][i] = W[c][i] / tot;
    }
    E.Resize(n, e);
    for (int c = 0; c < n; ++c)
      for (int k = 0; k < e; ++k) E[c][k] = (k == 0 ? c : std::floor(g.Uniform() * 3)) + g.Uniform() * 0.1;
    Sb.Resize(s, s);
    std::vector<int> types(static_cast<std::size_t>(p), 3);
    GowerMV(s, p, types.data(), B, Sb, nullptr, nullptr);
    U.Resize(s, s);
    std::vector<int> part(static_cast<std::size_t>(s));
    std::iota(part.begin(), part.end(), 1);
    FuzzyBelonging(s, s, Sb, part.data(), U, false);
    DE.Resize(n, n);
    EucliDistMV(n, e, E, DE);
    Y.Resize(n, s);
    for (int c = 0; c < n; ++c)
      for (int i = 0; i < s; ++i) Y[c][i] = Wadj[c][i] * 0.5 + 0.1 * (i % 3);
    DY.Resize(n, n);
    EucliDistMV(n, s, Y, DY);
    Q.Resize(s, 2);
    Sf.Resize(s, s);
    scores.Resize(s, 1);
    for (int i = 0; i < s; ++i) {
      Q[i][i % 2] = 1;
      scores[i][0] = i;
      for (int j = 0; j < s; ++j) Sf[i][j] = 1.0 / (1 + std::abs(i - j));
    }
    Tout.Resize(n, p + 2);
    Xout.Resize(n, s);
    Pout.Resize(n, 2);
    V.Resize(2, n);
    R.assign(static_cast<std::size_t>(n), 0);
    Rphyl.assign(static_cast<std::size_t>(n), 0);
    chSelect.assign(static_cast<std::size_t>(p), 1);
    eSelect.assign(static_cast<std::size_t>(e), 1);
    rel.assign(static_cast<std::size_t>(n), 1);
    weights.assign(static_cast<std::size_t>(s), 1);
    nesting.assign(static_cast<std::size_t>(s), 1);
    for (int i = s / 2; i < s; ++i) nesting[static_cast<std::size_t>(i)] = 2;
    richness.assign(static_cast<std::size_t>(n), 0);
    for (int c = 0; c < n; ++c)
      for (int i = 0; i < s; ++i) richness[static_cast<std::size_t>(c)] += W[c][i] > 0;

    rec.niter = 50;
    rec.nch = p;
    rec.chSelect = chSelect.data();
    rec.nOTUs = s;
    rec.nTypes = s;
    rec.nTaxa = 2;
    rec.nEnv = e;
    rec.eVarSelect = eSelect.data();
    rec.ncsm = n;
    rec.relSelect = rel.data();
    rec.nPhyloAxes = 1;
    rec.B = B;
    rec.Sb = Sb;
    rec.phyloScores = scores;
    rec.Sf = Sf;
    rec.E = E;
    rec.U = U;
    rec.Q = Q;
    rec.DE = DE;
    rec.DY = DY;
    rec.W = W;
    rec.Wadj = Wadj;
    rec.Y = Y;
    rec.rese_opt = 6;  // Euclidean distances between communities
    rec.opt_ro = kModeMantel;
    rec.opt_MatrixCorr = 'm';
    rec.includePhylogeny = phylo;
    rec.nestingMembershipOTUs = nesting.data();
    rec.optTaxaSiteShuffle = 't';
    rec.Tout = Tout;
    rec.Xout = Xout;
    rec.Pout = Pout;
    rec.Rout = R.data();
    rec.RphylOut = Rphyl.data();
    rec.V = V;
    rec.richness = richness.data();
    rec.weight_OTUs = weights.data();
  }
};

template <class A>
void ExpectSameArray(const A& a, const A& b, const char* what) {
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i], b[i]) << what << " " << i;
}

void ExpectSameResults(const PermTest_FunctionalPhyl_Correl_Input& a, const PermTest_FunctionalPhyl_Correl_Input& b) {
  ExpectSameArray(a.obsStat, b.obsStat, "obs");
  ExpectSameArray(a.probStat, b.probStat, "P");
  ExpectSameArray(a.sesStat, b.sesStat, "SES");
  ExpectSameArray(a.expStat, b.expStat, "E");
  ExpectSameArray(a.llStat, b.llStat, "LL");
  ExpectSameArray(a.ulStat, b.ulStat, "UL");
  ExpectSameArray(a.asymProbStat, b.asymProbStat, "asymP");
}

void RunTest(Data& d, unsigned long seed, int threads) {
  RandomGenerator rng(seed);
  PermTestOptions o;
  o.threads = threads;
  PermTest_FunctionalPhyl_Correl(&d.rec, rng, o);
}

TEST(PermTest, NoPermutationGivesPOneAndFiniteObservedValues) {
  Data d(7, 5, true, 1);
  d.rec.niter = 1;
  RunTest(d, 1, 2);
  for (double p : d.rec.probStat) EXPECT_EQ(p, 1.0);
  for (double v : d.rec.obsStat) EXPECT_TRUE(std::isfinite(v));
  for (double v : d.rec.sesStat) EXPECT_EQ(v, 0.0);
  for (double v : d.rec.asymProbStat) EXPECT_EQ(v, 0.0);
  EXPECT_NE(d.rec.obsStat[kA_XE], 0.0);
  // The observed descriptors are handed back.
  EXPECT_GT(d.R[0], 0.0);
  EXPECT_NE(d.Xout[0][0], 0.0);
}

TEST(PermTest, SameSeedSameRecordsWithOneOrSeveralThreadsAndTheSameText) {
  for (char shuffle : {'t', 's'}) {
    for (bool boot : {false, true}) {
      Data a(9, 7, true, 2), b(9, 7, true, 2);
      std::ostringstream ta, tb;
      for (Data* d : {&a, &b}) {
        d->rec.optTaxaSiteShuffle = shuffle;
        d->rec.doBootstrapOpt = boot;
        d->rec.nonParametricSES_opt = false;
        d->rec.niter = 40;
        d->rec.printIntermediate = true;
      }
      a.rec.rndDataFile = &ta;
      b.rec.rndDataFile = &tb;
      RunTest(a, 77, 1);
      RunTest(b, 77, 3);
      ExpectSameResults(a.rec, b.rec);
      EXPECT_TRUE(ta.str() == tb.str()) << shuffle << boot;
      EXPECT_NE(ta.str().find("\nIteration 38\tRandom ro(RE) =\t"), std::string::npos);
      EXPECT_LT(ta.str().find("ITERATION\t9\n"), ta.str().find("ITERATION\t10\n"));
    }
  }
}

TEST(PermTest, SiteAndTaxaShuffleShareObservedValuesButNotNullValues) {
  Data t(9, 7, false, 3), s(9, 7, false, 3);
  s.rec.optTaxaSiteShuffle = 's';
  RunTest(t, 5, 2);
  RunTest(s, 5, 2);
  ExpectSameArray(t.rec.obsStat, s.rec.obsStat, "obs");
  int differ = 0;
  for (int b = 0; b < kNumPermStats; ++b) differ += t.rec.expStat[b] != s.rec.expStat[b];
  EXPECT_GT(differ, 5);
  // Under a site shuffle r(BF) never changes, and the statistics between
  // two descriptors of W lose a tie that is not the one tested: none of them
  // is tested, while everything against E is.
  for (int a = 0; a < kNumPermStats; ++a) {
    EXPECT_TRUE(t.rec.tested[a]) << kPermStatNamesA[a];
    const bool againstE = a == kA_TE || a == kA_XE || a == kA_XE_T || a == kA_RE || a == kA_XE_TR || a == kA_VE ||
                          a == kA_FE || a == kA_PE || a == kA_TE_P || a == kA_XE_P || a == kA_XE_TP ||
                          a == kA_PE_T || a == kA_PE_X;
    EXPECT_EQ(s.rec.tested[a], againstE) << kPermStatNamesA[a];
    if (!againstE) {
      EXPECT_EQ(s.rec.probStat[a], 0.0) << kPermStatNamesA[a];
    }
  }
}

TEST(PermTest, BootstrapLeavesCallerDataAndGivesLimitsAroundTheObservedValue) {
  Data d(10, 6, false, 4);
  const Matrix<double> W = d.W, E = d.E, DE = d.DE;
  d.rec.doBootstrapOpt = true;
  d.rec.niter = 60;
  RunTest(d, 9, 2);
  for (int c = 0; c < d.n; ++c) {
    for (int i = 0; i < d.s; ++i) EXPECT_EQ(d.W[c][i], W[c][i]);
    for (int k = 0; k < d.e; ++k) EXPECT_EQ(d.E[c][k], E[c][k]);
    for (int k = 0; k < d.n; ++k) EXPECT_EQ(d.DE[c][k], DE[c][k]);
  }
  EXPECT_EQ(d.rec.E, d.E.ptr());  // the record points at the caller's data again
  const double obs = d.rec.obsStat[kA_TE];
  EXPECT_LE(d.rec.llStat[kB_TE], obs + 1e-12);
  EXPECT_GE(d.rec.ulStat[kB_TE], obs - 1e-12);
}

// Null r(XE.T) takes its covariate r(TE) from the same iteration unless only
// the first matrix is randomized; the engine's own formulas reproduce the
// statistics routine on null data.
TEST(NullCorrelations, CovariatesFromTheSameIterationOrFromTheObservedData) {
  for (int mode : {kModeMantel, kModeRV, kModeProcrustes}) {
    Data d(9, 6, true, 5);
    d.rec.opt_ro = mode;
    FunctionalPhyl_Stats_Lib_Input obs, nul;
    PermTest_FunctionalPhyl_Correl_Input rec = d.rec;
    FunctionalPhyl_Stats_Lib(&rec, &obs);
    Matrix<double> Bp(d.s, d.p), Up(d.s, d.s), Sbp(d.s, d.s);
    const int list[6] = {3, 1, 2, 6, 4, 5};
    PermuteRows(d.s, d.p, list, d.B, Bp);
    PermuteRows(d.s, d.s, list, d.U, Up);
    PermuteBoth(d.s, list, d.Sb, Sbp);
    PermTest_FunctionalPhyl_Correl_Input pr = rec;
    pr.B = Bp;
    pr.U = Up;
    pr.Sb = Sbp;
    FunctionalPhyl_Stats_Lib(&pr, &nul);

    std::array<double, kNumFunctionalStats> same{}, sep{};
    NullCorrelations(rec, nul, nul, false, nul[kS_BF], same);
    for (int k = 0; k < kNumFunctionalStats; ++k)
      EXPECT_CLOSE_TOL(same[k], nul.stat[k], 1e-12, 1e-12) << mode << " " << kFunctionalStatNames[k];
    NullCorrelations(rec, nul, obs, true, nul[kS_BF], sep);
    EXPECT_EQ(sep[kS_XE], same[kS_XE]);
    if (mode != kModeProcrustes) {
      EXPECT_CLOSE(same[kS_XE_T], PartialCorrelation(nul[kS_XE], nul[kS_XT], nul[kS_TE]));
      const double xnTo = MatrixCorrelationLib(d.n, d.s, d.p, nul.X, obs.T, nul.DX, obs.DT, false,
                                               mode == kModeRV ? 'v' : 'm');
      EXPECT_CLOSE(sep[kS_XE_T], PartialCorrelation(nul[kS_XE], xnTo, obs[kS_TE]));
    }
    EXPECT_NE(sep[kS_XE_T], same[kS_XE_T]) << mode;
  }
}

// Four OTUs: all 24 orderings of the taxa are enumerated, r(TE) and r(XE.T)
// computed for each independently of the engine, and the engine's counts
// checked against the orderings it drew (replayed from the same seed).
TEST(PermTest, FourOTUsEveryPermutationEnumerated) {
  Data d(8, 4, false, 6);
  d.rec.niter = 120;
  d.rec.twoTailedTest = true;
  PermTest_FunctionalPhyl_Correl_Input rec = d.rec;
  FunctionalPhyl_Stats_Lib_Input obs;
  FunctionalPhyl_Stats_Lib(&rec, &obs);

  std::vector<int> perm = {1, 2, 3, 4};
  std::vector<std::vector<int>> all;
  std::vector<double> te, xet;
  do {
    Matrix<double> Bp(4, d.p), Up(4, 4), Sbp(4, 4);
    PermuteRows(4, d.p, perm.data(), d.B, Bp);
    PermuteRows(4, 4, perm.data(), d.U, Up);
    PermuteBoth(4, perm.data(), d.Sb, Sbp);
    PermTest_FunctionalPhyl_Correl_Input pr = rec;
    pr.B = Bp;
    pr.U = Up;
    pr.Sb = Sbp;
    FunctionalPhyl_Stats_Lib_Input st;
    FunctionalPhyl_Stats_Lib(&pr, &st);
    all.push_back(perm);
    te.push_back(st[kS_TE]);
    xet.push_back(st[kS_XE_T]);
  } while (std::next_permutation(perm.begin(), perm.end()));
  ASSERT_EQ(all.size(), 24u);

  // Replay the engine's draws.
  NullModelDrawer drawer(MakeNullModelSetup(rec));
  RandomGenerator replay(31);
  double countTE = 1, countXET = 1;
  std::vector<double> nullTE;
  for (int it = 0; it < rec.niter - 1; ++it) {
    int p[4];
    drawer.Draw(replay, nullptr, p);
    const std::size_t k = static_cast<std::size_t>(
        std::find(all.begin(), all.end(), std::vector<int>(p, p + 4)) - all.begin());
    ASSERT_LT(k, 24u);
    countTE += IsLargerThanOrEqual(te[k], obs[kS_TE], 1, false);
    countXET += IsLargerThanOrEqual(xet[k], obs[kS_XE_T], 1, true);
    nullTE.push_back(te[k]);
  }
  RunTest(d, 31, 2);
  EXPECT_EQ(d.rec.probStat[kA_TE], countTE / rec.niter);
  EXPECT_EQ(d.rec.probStat[kA_XE_T], countXET / rec.niter);
  // The identity ordering gives back the observed value and counts.
  EXPECT_EQ(te[0], obs[kS_TE]);
  std::sort(nullTE.begin(), nullTE.end());
  const double median = (nullTE[58] + nullTE[59]) / 2;
  EXPECT_CLOSE(d.rec.expStat[kB_TE], median);
}

TEST(MakeNullModelSetup, SelectionFromTheLastColumnOfASquareU) {
  Data d(6, 5, false, 8);
  d.U[2][4] = -999;
  NullModelSetup s = MakeNullModelSetup(d.rec);
  EXPECT_EQ(s.kind, NullModelKind::kTaxaSelected);
  EXPECT_EQ(s.selected, (std::vector<int>{1, 1, 0, 1, 1}));
  d.rec.nTypes = 3;  // not square: every OTU takes part
  EXPECT_EQ(MakeNullModelSetup(d.rec).selected, (std::vector<int>{1, 1, 1, 1, 1}));
  d.rec.optWeightedNullModel = true;
  s = MakeNullModelSetup(d.rec);
  int occ = 0;
  for (int c = 0; c < d.n; ++c)
    for (int i = 0; i < d.s; ++i) occ += d.W[c][i] > 0;
  EXPECT_EQ(static_cast<int>(s.occurrences.size()), occ);
  d.rec.optTaxaSiteShuffle = 's';
  EXPECT_EQ(MakeNullModelSetup(d.rec).kind, NullModelKind::kSite);
}


// The faster route of the Mantel mode gives the statistics of the general
// route to rounding, for the first matrix alone or all matrices randomized,
// and for the Rd statistic; the larger sizes span several column panels of
// the fast kernels with partial ones at the ends, the last one two blocks of
// OTUs and groups of panels that do not fill.
TEST(PermTest, FastRouteMatchesTheGeneralRoute) {
  const std::pair<int, int> sizes[] = {{11, 8}, {27, 21}, {45, 170}};
  for (auto [n, s] : sizes) {
    for (char stat : {'m', 'r'}) {
      for (bool oneMatrix : {false, true}) {
        for (bool nonPar : {false, true}) {
          if (n > 11 && nonPar) continue;
          Data a(n, s, false, 12), b(n, s, false, 12);
          for (Data* d : {&a, &b}) {
            d->rec.opt_MatrixCorr = stat;
            d->rec.oneMatrixPermPartialCorr = oneMatrix;
            d->rec.nonParametricSES_opt = nonPar;
            d->rec.sqrtDissimOpt_RaoTraits = oneMatrix;
            d->rec.niter = 80;
          }
          ASSERT_TRUE(FastMantelApplies(a.rec));
          PermTestOptions fast, general, fast3;
          general.fastPath = false;
          fast.threads = 1;
          fast3.threads = 3;
          RandomGenerator ra(21), rb(21), rc(21);
          PermTest_FunctionalPhyl_Correl(&a.rec, ra, fast);
          PermTest_FunctionalPhyl_Correl(&b.rec, rb, general);
          Data c(n, s, false, 12);
          c.rec = a.rec;
          c.rec.B = c.B;  // same values, own copies
          PermTest_FunctionalPhyl_Correl(&c.rec, rc, fast3);
          ExpectSameResults(a.rec, c.rec);
          for (int k = 0; k < kNumPermStats; ++k) {
            EXPECT_EQ(a.rec.probStat[k], b.rec.probStat[k]) << stat << oneMatrix << kPermStatNamesA[k];
            EXPECT_CLOSE_TOL(a.rec.sesStat[k], b.rec.sesStat[k], 1e-10, 1e-12) << kPermStatNamesB[k];
            EXPECT_CLOSE_TOL(a.rec.expStat[k], b.rec.expStat[k], 1e-12, 1e-12) << kPermStatNamesB[k];
            EXPECT_CLOSE_TOL(a.rec.llStat[k], b.rec.llStat[k], 1e-12, 1e-12) << kPermStatNamesB[k];
            EXPECT_CLOSE_TOL(a.rec.ulStat[k], b.rec.ulStat[k], 1e-12, 1e-12) << kPermStatNamesB[k];
            EXPECT_EQ(a.rec.asymProbStat[k], b.rec.asymProbStat[k]) << kPermStatNamesB[k];
          }
        }
      }
    }
  }
}


// The fast route on a and the general route on b, from the same seed.
void RunFastAndGeneral(Data& a, Data& b, unsigned seed) {
  ASSERT_TRUE(FastMantelApplies(a.rec));
  PermTestOptions fast, general;
  general.fastPath = false;
  RandomGenerator ra(seed), rb(seed);
  PermTest_FunctionalPhyl_Correl(&a.rec, ra, fast);
  PermTest_FunctionalPhyl_Correl(&b.rec, rb, general);
}

// Many OTUs per community: the rows of X average hundreds of fuzzy
// belongings and lie close together, so their distances come from the centred
// Gram matrix without falling back on the rows; with equal community totals
// (relative abundances) and with raw counts (the corrections of unequal
// totals) they must still give the general route's statistics.
TEST(PermTest, FastRouteKeepsTheDigitsOfCloseCommunities) {
  for (bool relative : {true, false}) {
    Data a(24, 160, false, 5), b(24, 160, false, 5);
    for (Data* d : {&a, &b}) {
      d->rec.niter = 30;
      if (relative) d->rec.W = d->Wadj;
    }
    RunFastAndGeneral(a, b, 4);
    for (int k = 0; k < kNumPermStats; ++k) {
      EXPECT_EQ(a.rec.probStat[k], b.rec.probStat[k]) << relative << kPermStatNamesA[k];
      EXPECT_CLOSE_TOL(a.rec.expStat[k], b.rec.expStat[k], 1e-10, 1e-12) << relative << kPermStatNamesB[k];
      EXPECT_CLOSE_TOL(a.rec.llStat[k], b.rec.llStat[k], 1e-10, 1e-12) << relative << kPermStatNamesB[k];
      EXPECT_CLOSE_TOL(a.rec.ulStat[k], b.rec.ulStat[k], 1e-10, 1e-12) << relative << kPermStatNamesB[k];
    }
  }
}

// A pair of communities left out of DE: the fast route hands the statistics
// with DE to the general Mantel statistic, which then needs every null
// resemblance matrix whole.
TEST(PermTest, FastRouteWithPairsLeftOutOfDE) {
  Data a(13, 9, false, 4), b(13, 9, false, 4);
  for (Data* d : {&a, &b}) {
    d->DE[2][5] = d->DE[5][2] = -999;
    d->rec.niter = 60;
  }
  RunFastAndGeneral(a, b, 8);
  for (int k = 0; k < kNumPermStats; ++k) {
    EXPECT_EQ(a.rec.probStat[k], b.rec.probStat[k]) << kPermStatNamesA[k];
    EXPECT_CLOSE_TOL(a.rec.expStat[k], b.rec.expStat[k], 1e-12, 1e-12) << kPermStatNamesB[k];
  }
}

// The fast worker evaluates several permutations together; each one's values
// must not depend on its companions (or the thread count would change them).
TEST(FastMantelWorker, BatchCompanionsLeaveTheValuesAlone) {
  Data d(19, 13, false, 5);
  FunctionalPhyl_Stats_Lib_Input obs;
  FunctionalPhyl_Stats_Lib(&d.rec, &obs);
  FastMantelShared shared(d.rec, obs, false);
  std::unique_ptr<NullWorker> worker = MakeFastMantelWorker(shared);
  ASSERT_GT(worker->BatchSize(), 1);
  const int count = worker->BatchSize() + 3;  // a full batch and part of one
  RandomGenerator g(3);
  Matrix<int> perms(count, d.s);
  std::vector<IterationDraw> draws(static_cast<std::size_t>(count));
  const int width = kNumObsStats + kNumFunctionalStats;
  Matrix<double> together(count, width), alone(1, width);
  std::vector<double*> rows(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    std::iota(perms[k], perms[k] + d.s, 1);
    RndListSpecified(g, d.s, perms[k]);
    draws[static_cast<std::size_t>(k)].perm = perms[k];
    draws[static_cast<std::size_t>(k)].permLength = d.s;
    rows[static_cast<std::size_t>(k)] = together[k];
  }
  worker->EvaluateBatch(count, draws.data(), rows.data(), nullptr, nullptr);
  for (int k = 0; k < count; ++k) {
    worker->Evaluate(draws[static_cast<std::size_t>(k)], alone[0], nullptr, nullptr);
    for (int q = 0; q < width; ++q) EXPECT_EQ(together[k][q], alone[0][q]) << k << " " << q;
  }
  // The identity ordering gives back the observed statistics.
  std::iota(perms[0], perms[0] + d.s, 1);
  worker->Evaluate(draws[0], alone[0], nullptr, nullptr);
  EXPECT_CLOSE(alone[0][kNumObsStats + kS_RE], obs[kS_RE]);
  EXPECT_CLOSE(alone[0][kNumObsStats + kS_XE_T], obs[kS_XE_T]);
  EXPECT_CLOSE(alone[0][kNumObsStats + kS_VE], obs[kS_VE]);
}


// Near-identical communities with large raw abundances: the distances of X
// from the Gram matrix would cancel most of their digits. The fast route must
// give the general route's statistics to 1e-9 whatever the data.
TEST(FastMantelWorker, NearlyEqualCommunitiesWithLargeAbundances) {
  Data d(12, 8, false, 17);
  RandomGenerator g(2);
  for (int c = 0; c < d.n; ++c)
    for (int i = 0; i < d.s; ++i) {
      const double base = 1e5 * (1 + (i % 4));
      d.W[c][i] = base + std::floor(g.Uniform() * 3) + (c % 2 ? 1e-3 * c : 0.0);
    }
  FunctionalPhyl_Stats_Lib_Input obs;
  FunctionalPhyl_Stats_Lib(&d.rec, &obs);
  ASSERT_TRUE(FastMantelApplies(d.rec));
  FastMantelShared shared(d.rec, obs, false);
  std::unique_ptr<NullWorker> worker = MakeFastMantelWorker(shared);
  std::vector<int> identity(static_cast<std::size_t>(d.s));
  std::iota(identity.begin(), identity.end(), 1);
  IterationDraw draw;
  draw.perm = identity.data();
  draw.permLength = d.s;
  std::vector<double> values(static_cast<std::size_t>(kNumObsStats + kNumFunctionalStats));
  worker->Evaluate(draw, values.data(), nullptr, nullptr);
  const double* r = values.data() + kNumObsStats;
  for (FunctionalStat k : {kS_XE, kS_XT, kS_XY, kS_XE_T, kS_VE, kS_XR, kS_XE_TR})
    EXPECT_CLOSE_TOL(r[k], obs[k], 1e-9, 1e-12) << kFunctionalStatNames[k];
}

// The bootstrap samples take the richness of the drawn communities: a given
// richness vector and none (counted from the sample's W) agree.
TEST(PermTest, BootstrapSamplesCarryTheirRichness) {
  Data a(10, 6, false, 4), b(10, 6, false, 4);
  for (Data* d : {&a, &b}) {
    d->rec.doBootstrapOpt = true;
    d->rec.niter = 40;
  }
  b.rec.richness = nullptr;
  RunTest(a, 9, 2);
  RunTest(b, 9, 2);
  for (int k : {kB_VE, kB_VY}) {
    EXPECT_EQ(a.rec.llStat[k], b.rec.llStat[k]) << kPermStatNamesB[k];
    EXPECT_EQ(a.rec.ulStat[k], b.rec.ulStat[k]) << kPermStatNamesB[k];
  }
}

// Permuting only the first matrix of the partial statistics leaves the
// non-partial r(PT) and r(PX) with both their null matrices.
TEST(NullCorrelations, NonPartialPhylogeneticStatisticsTakeBothNullMatrices) {
  for (int mode : {kModeMantel, kModeRV}) {
    Data d(9, 6, true, 5);
    d.rec.opt_ro = mode;
    FunctionalPhyl_Stats_Lib_Input obs, nul;
    PermTest_FunctionalPhyl_Correl_Input rec = d.rec;
    FunctionalPhyl_Stats_Lib(&rec, &obs);
    Matrix<double> Bp(d.s, d.p), Up(d.s, d.s), Sbp(d.s, d.s), Qp(d.s, 2), Sfp(d.s, d.s);
    const int list[6] = {3, 1, 2, 6, 4, 5};
    PermuteRows(d.s, d.p, list, d.B, Bp);
    PermuteRows(d.s, d.s, list, d.U, Up);
    PermuteBoth(d.s, list, d.Sb, Sbp);
    PermuteRows(d.s, 2, list, d.Q, Qp);
    PermuteBoth(d.s, list, d.Sf, Sfp);
    PermTest_FunctionalPhyl_Correl_Input pr = rec;
    pr.B = Bp;
    pr.U = Up;
    pr.Sb = Sbp;
    pr.Q = Qp;
    pr.Sf = Sfp;
    FunctionalPhyl_Stats_Lib(&pr, &nul);
    std::array<double, kNumFunctionalStats> sep{};
    NullCorrelations(rec, nul, obs, true, nul[kS_BF], sep);
    EXPECT_CLOSE_TOL(sep[kS_PT], nul[kS_PT], 1e-12, 1e-12) << mode;
    EXPECT_CLOSE_TOL(sep[kS_PX], nul[kS_PX], 1e-12, 1e-12) << mode;
    // The partial r(PX.T) keeps the observed X and T.
    const char opt = mode == kModeRV ? 'v' : 'm';
    const double pnXo = MatrixCorrelationLib(d.n, 2, d.s, nul.P, obs.X, nul.DP, obs.DX, false, opt);
    const double pnTo = MatrixCorrelationLib(d.n, 2, d.p, nul.P, obs.T, nul.DP, obs.DT, false, opt);
    EXPECT_CLOSE(sep[kS_PX_T], PartialCorrelation(pnXo, obs[kS_XT], pnTo)) << mode;
  }
}

// Under the site shuffle the NNCRD of the permuted X is referred to the fixed
// E (it is built on E, and shuffling it against E would break that tie);
// the identity ordering gives back the observed values.
TEST(PermuteSiteDescriptors, NNCRDReferredToTheFixedE) {
  Data d(9, 6, false, 8);
  FunctionalPhyl_Stats_Lib_Input obs, nul;
  FunctionalPhyl_Stats_Lib(&d.rec, &obs);
  PrepareFunctionalPhylStats(d.rec, nul);
  int list[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  PermuteSiteDescriptors(d.rec, list, obs, nul);
  for (int c = 0; c < d.n; ++c) EXPECT_CLOSE_TOL(nul.Vcol[c][0], obs.Vcol[c][0], 1e-12, 1e-12);
  const int perm[9] = {4, 9, 1, 3, 2, 8, 7, 6, 5};
  PermuteSiteDescriptors(d.rec, perm, obs, nul);
  std::vector<double> expect(static_cast<std::size_t>(d.n));
  NNCRD(d.n, d.DE, nul.DX, expect.data());
  for (int c = 0; c < d.n; ++c) {
    EXPECT_CLOSE(nul.nncrd[static_cast<std::size_t>(c)], expect[static_cast<std::size_t>(c)]);
    EXPECT_EQ(nul.richnessCol[c][0], obs.richnessCol[perm[c] - 1][0]);
    EXPECT_CLOSE_TOL(nul.DV[0][c], std::fabs(nul.Vcol[0][0] - nul.Vcol[c][0]), 1e-12, 1e-12);
  }
}

// Groups without variation within them separate perfectly: the observed
// pseudo-F is infinite and beats every finite null value (P = 1/niter).
TEST(PermTest, PerfectlySeparatedFactorGetsTheSmallestP) {
  Data d(12, 6, false, 3);
  // Two groups of identical communities on the factor.
  for (int c = 0; c < d.n; ++c) {
    for (int i = 0; i < d.s; ++i) {
      d.W[c][i] = d.W[c % 2][i];
      d.Wadj[c][i] = d.Wadj[c % 2][i];
    }
    d.richness[static_cast<std::size_t>(c)] = d.richness[static_cast<std::size_t>(c % 2)];
    d.E[c][0] = c % 2 + 1;
    d.E[c][1] = c < 6 ? 1 : 2;
  }
  EucliDistMV(d.n, d.e, d.E, d.DE);
  // Shuffling the sites mixes the groups (a taxa shuffle would keep equal
  // communities equal, and every null value infinite too).
  d.rec.optTaxaSiteShuffle = 's';
  d.rec.opt_ro = kModePseudoF;
  d.rec.niter = 20;
  std::vector<double> fx(2), pfx(2), sx(2), ex(2);
  d.rec.pseudoF_X = fx.data();
  d.rec.probPseudoF_X = pfx.data();
  d.rec.sesPseudoF_X = sx.data();
  d.rec.expPseudoF_X = ex.data();
  RunTest(d, 3, 1);
  EXPECT_EQ(fx[0], std::numeric_limits<double>::infinity());
  EXPECT_EQ(pfx[0], 1.0 / 20);
  EXPECT_TRUE(std::isfinite(fx[1]));
}

}  // namespace
}  // namespace kalios
