#include "session/track.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/scripted.h"
#include "support/tempdir.h"
#include "shell/abort.h"

namespace kalios {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

using Io = test::Scripted;

DataSet Sized(int tcst, int nch, int ncsm) {
  DataSet ds;
  ds.tcst = tcst;
  ds.nch = nch;
  ds.ncsm = ncsm;
  ds.AllocateWorkingArrays();
  return ds;
}

// A session with options and partitions of both kinds filled in.
struct Session {
  SessionTrack track;
  DataSet ds = Sized(4, 3, 5);
  AnalysisOptions opts;
  Session() {
    track.whichFormda = "meadowFormda.txt";
    track.whichHier = "meadowHie.txt";
    track.hasHier = 1;
    track.hasVegOrdiCorrel = 1;
    track.hasRoVelComplexPROB = 1;
    opts.isHierarchical = 1;
    opts.traitBasedOpt = 1;
    opts.rese_opt = 6;
    opts.partOpt = 2;
    opts.fuzzy = 3;
    opts.fuzziness = 1.25;
    opts.reseTypeOrd = 1;
    opts.keepRichness = 7;
    opts.whichPartAOC = 2;
    opts.whichPartCstAOC = 3;
    opts.doDistrib = 1;
    opts.adjacentRelOpt = 4;
    opts.whichLevelCst = 5;
    opts.poolCSTopt = 2;
    opts.clusMethPoolCSTs = 3;
    ds.nchor = {1, 2, 3};
    ds.rcst = {2, 3, 4};
    ds.nGrPoly = {4, 2, 2};
    ds.nPart = 2;
    ds.whichPart = 1;
    ds.partLabel[0] = "slope";
    ds.partLabel[1] = "grazing";
    ds.nGroupsP = {2, 3, 0, 0, 0, 0, 0, 0, 0, 0};
    ds.grLabelP[0][0] = "N";
    ds.grLabelP[0][1] = "S";
    ds.grLabelP[1][0] = "lo";
    ds.grLabelP[1][1] = "mid";
    ds.grLabelP[1][2] = "high";
    for (int c = 0; c < 5; ++c) {
      ds.groupRelP[0][c] = 1 + c % 2;
      ds.groupRelP[1][c] = 1 + c % 3;
    }
    ds.whichLevelGrCST = 2;
    ds.nPartCst = 1;
    ds.whichCstPart = 0;
    ds.partCstLabel[0] = "types";
    ds.nGroupsCstP[0] = 3;
    ds.grCstLabelP[0][0] = "ab";
    ds.grCstLabelP[0][1] = "abc";
    ds.grCstLabelP[0][2] = "abcd";
    ds.whichLevelGrCstP[0] = 2;  // rcst[1] = 3 entries recorded
    for (int i = 0; i < 3; ++i) ds.groupCstP[0][i] = i + 1;
    ds.relSelect = {1, 0, 1, 1, 1};
    ds.SMWSize = 2;
  }
  // Writes the full track and returns its text.
  std::string Write(const std::string& path) {
    Io io;
    WriteTrack(io.con, track, ds, opts, path, 1);
    return testing::ReadAll(path);
  }
};

int AbortCode(const std::string& path, DataSet ds, std::string* err = nullptr) {
  Io io;
  SessionTrack t;
  AnalysisOptions o;
  int code = test::AbortCodeOf([&] { ReadTrack(io.con, t, ds, o, path); });
  if (err) *err = io.err.str();
  return code;
}

TEST(Track, ShortTrackHoldsExactlyTwoLines) {
  TempDir dir;
  Session s;
  Io io;
  WriteTrack(io.con, s.track, s.ds, s.opts, dir / "t.txt", 0);
  EXPECT_EQ(ReadAll(dir / "t.txt"), "meadowFormda.txt\n07Jul17\n");
  // Reading it leaves every option as it was.
  SessionTrack t;
  AnalysisOptions o = s.opts;
  DataSet ds = s.ds;
  EXPECT_EQ(ReadTrack(io.con, t, ds, o, dir / "t.txt"), 1);
  EXPECT_EQ(t.whichFormda, "meadowFormda.txt");
  EXPECT_EQ(o.fuzziness, 1.25);
  EXPECT_EQ(ds.nPart, 2);
  EXPECT_EQ(t.whichHier, "NULL");
}

TEST(Track, FullTrackReadsBackOptionsAndPartitions) {
  TempDir dir;
  Session s;
  Io io;
  WriteTrack(io.con, s.track, s.ds, s.opts, dir / "t.txt", 1);
  SessionTrack t;
  AnalysisOptions o;
  DataSet ds = Sized(4, 3, 5);
  ReadTrack(io.con, t, ds, o, dir / "t.txt");
  EXPECT_EQ(io.out.str(), "");
  EXPECT_EQ(t.whichHier, "meadowHie.txt");
  EXPECT_EQ(o.fuzziness, 1.25);
  EXPECT_EQ(ds.nGrPoly, s.ds.nGrPoly);
  // The partition in use and its views.
  EXPECT_EQ(ds.whichPart, 1);
  EXPECT_EQ(ds.nGroups, 3);
  EXPECT_EQ((*ds.grLabel())[2], "high");
  EXPECT_EQ(ds.nCstGroups, 3);
  // Rewriting what was read gives the same bytes.
  WriteTrack(io.con, t, ds, o, dir / "u.txt", 1);
  EXPECT_EQ(ReadAll(dir / "u.txt"), ReadAll(dir / "t.txt"));
}

TEST(Track, EmptyRowsReadBack) {
  TempDir dir;
  for (auto [nch, ncsm] : {std::pair{0, 3}, std::pair{2, 0}, std::pair{0, 0}}) {
    Io io;
    SessionTrack t;
    t.whichFormda = "f";
    DataSet ds = Sized(2, nch, ncsm);
    AnalysisOptions o;
    o.fuzziness = 0.5;
    WriteTrack(io.con, t, ds, o, dir / "t.txt", 1);
    AnalysisOptions back;
    DataSet ds2 = Sized(2, nch, ncsm);
    ReadTrack(io.con, t, ds2, back, dir / "t.txt");
    EXPECT_EQ(back.fuzziness, 0.5);
    EXPECT_EQ(ds2.nGroups, 0);
    EXPECT_EQ(ds2.SMWSize, 1);
  }
}

TEST(Track, OtherVersionPrintsTheMessageAndKeepsOptions) {
  TempDir dir;
  WriteAll(dir / "t.txt", "mFormda.txt\n01Jan99\nNULL\n1\n");
  Io io;
  SessionTrack t;
  AnalysisOptions o;
  o.rese_opt = 10;
  DataSet ds = Sized(2, 2, 2);
  ReadTrack(io.con, t, ds, o, dir / "t.txt");
  EXPECT_EQ(io.out.str(), std::string("\nFormda file is compatible, but other files of the session ") +
                              std::string(53, ' ') +
                              "are not compatible with this program version.\n");
  EXPECT_EQ(o.rese_opt, 10);
  EXPECT_EQ(t.whichFormda, "mFormda.txt");
}

TEST(Track, CutShortAnywhereEndsInTheEndOfFileAbort) {
  TempDir dir;
  const std::string text = Session().Write(dir / "t.txt");
  ASSERT_EQ(text.substr(text.size() - 2), "2\n");  // SMWSize, the last item, one digit
  const std::string cut = dir / "cut.txt";
  size_t afterTag = text.find("07Jul17\n") + 8;
  for (size_t len = 0; len + 2 < text.size(); ++len) {
    if (len == afterTag) continue;  // a track that ends after the tag is a formatted-only session
    WriteAll(cut, text.substr(0, len));
    std::string err;
    int code = AbortCode(cut, Sized(4, 3, 5), &err);
    if (len > 17 && len < afterTag) {
      // A cut inside the tag reads as another version: no abort.
      EXPECT_EQ(code, 0) << len;
      continue;
    }
    ASSERT_EQ(code, kAbortEndOfFile) << "cut at byte " << len;
    ASSERT_NE(err.find("\nfile " + cut + " "), std::string::npos);
  }
}

TEST(Track, CountsOutsideTheStoresAreRejected) {
  TempDir dir;
  const std::string good = Session().Write(dir / "t.txt");
  // The block "nPart whichPart" is the 10th and 11th of the 11 lines after fuzziness.
  const std::string partBlock = "\n2\n1\nslope grazing \n2 3 \n";
  ASSERT_NE(good.find(partBlock), std::string::npos);
  struct Damage {
    std::string from, to;
  } damages[] = {
      {partBlock, "\n11\n1\nslope grazing \n2 3 \n"},  // more partitions than stores
      {partBlock, "\n2\n10\nslope grazing \n2 3 \n"},  // partition in use beyond the stores
      {partBlock, "\n2\n-1\nslope grazing \n2 3 \n"},
      {partBlock, "\n2\n1\nslope grazing \n2 6 \n"},   // more groups than communities
      {"\n1\n0\ntypes \n3 \n", "\n1\n0\ntypes \n5 \n"},  // more OTU groups than OTUs
      {"ab  abc abcd \n2 \n", "ab  abc abcd \n0 \n"},    // level 0: rcst[-1]
      {"ab  abc abcd \n2 \n", "ab  abc abcd \n4 \n"},    // level beyond the traits
      {"\n1\n0\ntypes \n", "\n1\n10\ntypes \n"},
  };
  for (const auto& d : damages) {
    std::string bad = good;
    size_t at = bad.find(d.from);
    ASSERT_NE(at, std::string::npos) << d.from;
    bad.replace(at, d.from.size(), d.to);
    WriteAll(dir / "bad.txt", bad);
    std::string err;
    EXPECT_EQ(AbortCode(dir / "bad.txt", Sized(4, 3, 5), &err), kAbortEndOfFile) << d.to;
    EXPECT_NE(err.find("\nfile " + (dir / "bad.txt") + " "), std::string::npos);
  }
  // A recorded level whose group count exceeds the OTUs.
  std::string bad = good;
  bad.replace(bad.find("\n1 2 3 \n2 3 4 \n"), 15, "\n1 2 3 \n2 9 4 \n");
  WriteAll(dir / "bad.txt", bad);
  EXPECT_EQ(AbortCode(dir / "bad.txt", Sized(4, 3, 5)), kAbortEndOfFile);
  EXPECT_EQ(AbortCode(dir / "none.txt", Sized(1, 1, 1)), kAbortOpenFailed);
}

TEST(Track, ForgettingResultsKeepsTheOrdinationFlags) {
  Session s;
  s.track.whichPrinda = "mPrinda.txt";
  ForgetSessionResults(s.track, s.ds);
  EXPECT_EQ(s.track.whichPrinda, "NULL");
  EXPECT_EQ(s.track.hasHier, 0);
  EXPECT_EQ(s.track.hasRoVelComplexPROB, 0);
  EXPECT_EQ(s.track.hasVegOrdiCorrel, 1);
  EXPECT_EQ(s.ds.nPart, 0);
  EXPECT_EQ(s.ds.nPartCst, 0);
  EXPECT_EQ(s.ds.whichLevelGrCST, 1);
}


// Deleted, repeated or glued lines and changed counts end in the abort, or
// (two item lines glued) read back the same record: never a shifted one.
TEST(Track, DamagedLinesNeverLoadShifted) {
  TempDir dir;
  Session s;
  const std::string text = s.Write(dir / "t.txt");
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  auto check = [&](const std::vector<std::string>& damaged, const std::string& what) {
    std::string joined;
    for (const auto& l : damaged) joined += l + "\n";
    WriteAll(dir / "d.txt", joined);
    Io io;
    SessionTrack t;
    AnalysisOptions o;
    DataSet ds = Sized(4, 3, 5);
    int code = test::AbortCodeOf([&] { ReadTrack(io.con, t, ds, o, dir / "d.txt"); });
    if (code != 0) {
      EXPECT_EQ(code, kAbortEndOfFile) << what;
      return;
    }
    WriteTrack(io.con, t, ds, o, dir / "again.txt", 1);
    EXPECT_EQ(ReadAll(dir / "again.txt"), text) << what << " loaded as\n" << joined;
  };
  for (size_t i = 2; i < lines.size(); ++i) {  // the first two lines name the data and the version
    auto deleted = lines;
    deleted.erase(deleted.begin() + static_cast<long>(i));
    check(deleted, "line " + std::to_string(i + 1) + " deleted");
    auto repeated = lines;
    repeated.insert(repeated.begin() + static_cast<long>(i), lines[i]);
    check(repeated, "line " + std::to_string(i + 1) + " repeated");
    if (i + 1 < lines.size()) {
      auto glued = lines;
      glued[i] += glued[i + 1];
      glued.erase(glued.begin() + static_cast<long>(i) + 1);
      check(glued, "lines " + std::to_string(i + 1) + " glued");
    }
  }
}

}  // namespace
}  // namespace kalios
