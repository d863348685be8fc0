#pragma once
// A session data set built from a reference data set, with the options of its
// reference analysis (every OTU its own type, fuzzy belonging, 99 taxa
// shuffles, seed 12345, Mantel correlations on Euclidean distances), so that
// a test changes only what it examines.
#include <sstream>
#include <string>

#include "session/temp_dir.h"
#include "shell/app.h"
#include "shell/cformat.h"
#include "support/compare.h"

namespace kalios::testing {

using namespace kalios::test;

struct AnalysisFixture {
  explicit AnalysisFixture(const std::string& set, const std::string& answers = "")
      : in(answers), con(in, out, err), app(con) {
    const bool small = set == "small";
    const int s = small ? 8 : 12, p = small ? 4 : 5, n = small ? 6 : 10, e = small ? 2 : 3;
    DataSet& d = app.data;
    d.tcst = s;
    d.nch = p;
    d.ncsm = n;
    d.nenv = e;
    d.AllocateWorkingArrays();
    d.csm_Float = ReadFixtureNumbers(set + "/B.txt", s, p);
    const Matrix<double> W = ReadFixtureNumbers(set + "/W.txt", n, s);
    d.cadat.Resize(s, n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < s; ++j) d.cadat[j][i] = W[i][j];
    d.env = ReadFixtureNumbers(set + "/E.txt", n, e);
    d.chLabel = small ? std::vector<std::string>{"SLA", "height", "woody", "dispersal"}
                      : std::vector<std::string>{"woody", "growthform", "SLA", "dispersal", "seedmass"};
    d.chtype = small ? std::vector<int>{3, 3, 1, 4} : std::vector<int>{1, 2, 3, 4, 3};
    d.onsta.assign(static_cast<std::size_t>(p), 2);
    d.chrange.assign(static_cast<std::size_t>(p), 0.0);
    d.envLabel = small ? std::vector<std::string>{"moisture", "elevation"}
                       : std::vector<std::string>{"pH", "nitrogen", "elevation"};
    d.envVarType.assign(static_cast<std::size_t>(e), 3);
    d.optEnvVarType = 2;
    d.temEnvQuant = 1;
    for (int i = 0; i < n; ++i) d.reLabel.push_back(Format("site%02d", i + 1));
    d.dataName = "B.txt";
    for (int j = 0; j < s; ++j) {
      d.weight_OTUs[static_cast<std::size_t>(j)] = 1;
      d.partition_OTUs[static_cast<std::size_t>(j)] = j + 1;
    }
    for (int k = 0; k < p; ++k) {
      d.weight[static_cast<std::size_t>(k)] = 1.0;
      d.nGrPoly[static_cast<std::size_t>(k)] = 2;
    }
    d.nGrPoly[0] = s;
    for (int i = 0; i < n; ++i) d.relSelect[static_cast<std::size_t>(i)] = 1;
    for (int v = 0; v < e; ++v) d.eVarSelect[static_cast<std::size_t>(v)] = 1;
    if (small) {
      d.hasPhylogeny = d.includePhylogeny = true;
      d.phylogenyMatrixType = 1;
      d.phylogenyRese = ReadFixtureNumbers("small/F.txt", s, s);
      d.partition_OTUs_Phyl = d.partition_OTUs;
      app.opts.nTaxa = s;
      app.opts.fuzzyPhyl = true;
    }

    AnalysisOptions& o = app.opts;
    o.traitBasedOpt = 1;
    o.poolCSTopt = 2;
    o.reseCSTopt = 1;
    o.fuzzy = 3;
    o.fuzziness = 1.0;
    o.optRndTests = true;
    o.niter = 99;
    o.optTaxaSiteShuffle = 't';
    o.seedOpt = 2;
    o.rseed = 12345;
    o.opt_ro = 1;
    o.rese_opt = 6;
    o.opt_MatrixCorr = 'm';
    o.keepAdditivity = true;
    o.optUnitTotalAdjust2 = true;
    o.printDetail = 0;
    o.prindaMode = "w";
    app.shell.sessionName = set;
    app.shell.volumeName = dir.path() + "/";
    app.track.whichFormda = set + "Formda.txt";
    app.track.whichPrinda = set + "Prinda.txt";
  }

  std::string Results() const { return ReadAll(dir / (app.shell.sessionName + "Prinda.txt")); }

  TempDir dir;
  std::istringstream in;
  std::ostringstream out, err;
  Console con;
  App app;
};

}  // namespace kalios::testing
