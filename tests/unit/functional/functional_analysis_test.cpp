#include "functional/functional_analysis.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "functional/analysis_data.h"

namespace kalios {
namespace {

using testing::AnalysisFixture;
using testing::ReadAll;

// The analysis names its files, forgets the previous results, runs the
// settings and the computation, records the track file, says where the
// results are and leaves the data set to be reloaded.
TEST(IFHierarchicalAccum, RunsTheAnalysisAndRecordsTheSession) {
  AnalysisFixture f("small", "0 k 1 2 3 4 5 6 7 8 1 9 t 0 n 2 12345 1 6 m 1 1 1 y n\n");
  App& app = f.app;
  app.shell.optmain = 'H';
  app.shell.whichTrack = "smallTrk.txt";
  app.opts = AnalysisOptions{};
  app.track.hasRo = app.track.hasCstRese = app.track.hasRoVelComplexPROB = 1;
  app.track.hasVegOrdiCorrel = app.track.hasEnvRese = 1;

  IFHierarchicalAccum(app);

  EXPECT_EQ(app.track.whichPrinda, "smallPrinda.txt");
  EXPECT_EQ(app.track.hasHier, 1);
  EXPECT_EQ(app.track.hasRo + app.track.hasCstRese + app.track.hasRoVelComplexPROB, 0);
  // Flags the analysis does not produce are left alone.
  EXPECT_EQ(app.track.hasVegOrdiCorrel, 1);
  EXPECT_EQ(app.track.hasEnvRese, 1);
  EXPECT_EQ(f.err.str(), "");
  EXPECT_EQ(app.shell.dirtyOrig, 1);

  const std::string text = f.out.str();
  const std::string last = "\n\nResults on file " + f.dir.path() + "/smallPrinda.txt\n";
  ASSERT_GE(text.size(), last.size());
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  const std::string track = ReadAll(f.dir / "smallTrk.txt");
  EXPECT_EQ(track.rfind("smallFormda.txt\n", 0), 0u);
  EXPECT_NE(track.find("smallHie.txt\n"), std::string::npos);
}

}  // namespace
}  // namespace kalios
