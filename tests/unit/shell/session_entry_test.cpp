#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "session/formda.h"
#include "support/scripted.h"
#include "support/tempdir.h"
#include "session/track.h"
#include "shell/app.h"
#include "shell/dispatch.h"

namespace kalios {
namespace {

using testing::TempDir;
using testing::WriteAll;

using InDir = testing::InTempDir;

constexpr const char* kFormda =
    "B.txt \n2 \nh\tw\t\n3\t1\t\n0\t0\t\n2\t2\t\n2 \nr1\tr2\t\n2 \n0\t0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n"
    "25Jun2016 \n1.5\t1\t\n2\t0\t\n\n1\t0\t\n0\t2\t\n\n0 \n1 \nspp.txt \nPoa annua\n01\n1\n"
    "0\nSMW 1\n0\n0\n";

TEST_F(InDir, SessionIsLoadedAndReloadedFromItsFiles) {
  WriteAll("meadowFormda.txt", kFormda);
  test::ScriptedApp s;
  App& app = s.app;
  app.shell.sessionName = "meadow";
  app.shell.whichTrack = "meadowTrk.txt";
  app.track.whichFormda = "meadowFormda.txt";
  app.opts.fuzziness = 1;
  OpenFormda(app, 1);
  WriteTrack(s.con, app.track, app.data, app.opts, "meadowTrk.txt", 1);

  App fresh(s.con);
  fresh.shell.whichTrack = "meadowTrk.txt";
  ASSERT_TRUE(LoadSessionAtEntry(fresh));
  EXPECT_EQ(fresh.track.whichFormda, "meadowFormda.txt");
  EXPECT_EQ(fresh.data.tcst, 2);
  EXPECT_EQ(fresh.data.spp[0], "Poa annua");
  EXPECT_EQ(fresh.data.sppRelMap[0][1], '1');
  EXPECT_EQ(fresh.opts.fuzziness, 1);

  // An analysis changes the data in memory; the reload restores what is stored.
  fresh.data.csm_Float[0][0] = 99;
  fresh.data.nPart = 3;
  fresh.shell.dirtyOrig = 1;
  ReloadSessionData(fresh);
  EXPECT_EQ(fresh.data.csm_Float[0][0], 1.5);
  EXPECT_EQ(fresh.data.nPart, 0);
  EXPECT_EQ(fresh.shell.dirtyOrig, 0);

  ReleaseSessionData(fresh);
  EXPECT_TRUE(fresh.data.csm_Float.empty());
  EXPECT_TRUE(fresh.data.spp.empty());
  EXPECT_EQ(fresh.data.tcst, 2);  // sizes stay until the next load
}

TEST_F(InDir, StrayCharactersInASpeciesMapAreReportedAndSkipped) {
  std::string text = kFormda;
  text.replace(text.find("01\n1\n"), 5, "0x1\n1\n");
  WriteAll("f.txt", text);
  test::Scripted s;
  DataSet ds;
  ReadFormda(s.con, ds, "f.txt");
  EXPECT_EQ(ds.sppRelMap[0][1], '1');
  EXPECT_EQ(ds.cstSppMap[0][0], '1');
  EXPECT_EQ(ds.cstSppMap[1][0], '0');
  EXPECT_NE(s.err.str().find("\nIncorrect input = x. Reenter.\nAccepted input: 0 1\n"), std::string::npos);
}

}  // namespace
}  // namespace kalios
