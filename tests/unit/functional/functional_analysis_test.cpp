#include "functional/functional_analysis.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "session/temp_dir.h"

namespace kalios {
namespace {

// The analysis names its files, forgets the previous results, runs the settings
// and sets the options it always uses; the computation itself is not there yet,
// so it says so and writes nothing.
TEST(IFHierarchicalAccum, PreparesTheAnalysisAndWritesNothing) {
  testing::TempDir dir;
  std::istringstream in("0 k 1 2 1 99 s 2 5 3 1 1 y y\n");
  std::ostringstream out, err;
  Console con(in, out, err);
  App app(con);
  app.shell.optmain = 'H';
  app.shell.sessionName = "meadow";
  app.shell.volumeName = dir.path() + "/";
  DataSet& d = app.data;
  d.tcst = 2;
  d.nch = 1;
  d.ncsm = 3;
  d.nenv = 0;
  d.chLabel = {"height"};
  d.chtype = {3};
  d.AllocateWorkingArrays();
  d.nCstGroups = 4;
  d.whichLevelGrCST = 3;
  app.track.hasRo = app.track.hasCstRese = app.track.hasRoVelComplexPROB = 1;
  app.track.hasVegOrdiCorrel = app.track.hasEnvRese = 1;
  app.opts.cohe = 5;
  app.opts.reseCstOpt = 2;

  IFHierarchicalAccum(app);

  EXPECT_EQ(app.track.whichPrinda, "meadowPrinda.txt");
  EXPECT_EQ(app.track.whichHier, "meadowHie.txt");
  EXPECT_EQ(app.track.hasHier, 1);
  EXPECT_EQ(app.track.hasRo + app.track.hasCstRese + app.track.hasRoVelComplexPROB, 0);
  // Flags the analysis does not produce are left alone.
  EXPECT_EQ(app.track.hasVegOrdiCorrel, 1);
  EXPECT_EQ(app.track.hasEnvRese, 1);
  EXPECT_EQ(d.nCstGroups, 0);
  EXPECT_EQ(d.whichLevelGrCST, 1);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(app.opts.opt_ro, 3);
  EXPECT_EQ(app.opts.printDetail, 1);
  EXPECT_EQ(app.opts.cohe, 0);
  EXPECT_EQ(app.opts.reseTypeOrd + app.opts.reseTypeClus + app.opts.reseTypeEv + app.opts.reseTypeRnd +
                app.opts.reseTypeERank,
            5);
  EXPECT_EQ(app.opts.reseCstOpt, 0);
  const std::string text = out.str();
  const std::string notice = "\nThe functional analysis is not available in this version.\n";
  ASSERT_GE(text.size(), notice.size());
  EXPECT_EQ(text.substr(text.size() - notice.size()), notice);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace kalios
