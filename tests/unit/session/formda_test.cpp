#include "session/formda.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>

#include "support/compare.h"
#include "support/scripted.h"
#include "support/tempdir.h"
#include "shell/abort.h"
#include "shell/cformat.h"

namespace kalios {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

using Io = test::Scripted;

// 5 OTUs, 3 traits, 4 communities; optional E (2 variables), species and phylogeny.
DataSet MakeData(bool withE, bool withSpecies, int phylogenyType, bool groups) {
  DataSet ds;
  ds.tcst = 5;
  ds.nch = 3;
  ds.ncsm = 4;
  ds.dataName = "traits file.txt";
  ds.chLabel = {"height", "leafN", "woody"};
  ds.chtype = {3, 4, 1};
  ds.onsta = {5, 4, 2};
  ds.reLabel = {"r1", "r2", "r3", "r4"};
  ds.csm_Float.Resize(5, 3);
  ds.cadat.Resize(5, 4);
  for (int i = 0; i < 5; ++i) {
    for (int k = 0; k < 3; ++k) ds.csm_Float[i][k] = 1.5 * i + k;
    for (int c = 0; c < 4; ++c) ds.cadat[i][c] = (i + c) % 3;
  }
  ds.csm_Float[0][0] = 0.123456789;
  ds.csm_Float[1][1] = -999;
  ds.cadat[2][3] = -999;
  ds.SMWSize = 3;
  if (withE) {
    ds.nenv = 2;
    ds.optEnvVarType = 5;
    ds.envVarType = {3, 1};
    ds.envLabel = {"pH", "grazed"};
    ds.envName = "first e.txt second e.txt";  // names with blanks read back whole
    ds.env.Resize(4, 2);
    for (int c = 0; c < 4; ++c) {
      ds.env[c][0] = 5.25 + c;
      ds.env[c][1] = c % 2;
    }
  }
  if (withSpecies) {
    ds.nSpp = 2;
    ds.whichSpp = "species.txt";
    ds.spp = {"Fest rubra", "Poa pratensis"};
    ds.sppRelMap = Matrix<char>(2, 4, '0');
    ds.sppRelMap[0][1] = '1';
    ds.sppRelMap[1][3] = '1';
    ds.cstSppMap = Matrix<char>(5, 2, '0');
    for (int i = 0; i < 5; ++i) ds.cstSppMap[i][i % 2] = '1';
  }
  if (phylogenyType) {
    ds.hasPhylogeny = true;
    ds.phylogenyMatrixType = phylogenyType;
    if (phylogenyType == 2) {
      ds.nClados = 2;
      ds.phylogenyVarType = {1, 3};
      ds.phylogenyData.Resize(5, 2);
      for (int i = 0; i < 5; ++i) {
        ds.phylogenyData[i][0] = i % 2;
        ds.phylogenyData[i][1] = 0.25 * i;
      }
    } else {
      ds.phylogenyRese.Resize(5, 5);
      for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) ds.phylogenyRese[i][j] = i == j ? 1.0 : 1.0 / (1 + i + j);
    }
  }
  if (groups) {
    ds.hasTraitGroups = true;
    ds.traitGroups = {1, 2, 1};
  }
  return ds;
}

std::string Write(const DataSet& ds, const std::string& path) {
  Io io;
  WriteFormda(io.con, ds, ds.tcst, path, ds.dataName, ds.csm_Float, ds.cadat);
  return ReadAll(path);
}

DataSet Read(const std::string& path, std::string* err = nullptr) {
  Io io;
  DataSet ds;
  ReadFormda(io.con, ds, path);
  if (err) *err = io.err.str();
  return ds;
}

int ReadAbortCode(const std::string& path, std::string* err = nullptr) {
  Io io;
  DataSet ds;
  int code = test::AbortCodeOf([&] { ReadFormda(io.con, ds, path); });
  if (err) *err = io.err.str();
  return code;
}

// Values as written: 6 significant digits.
double At6(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", x);
  return std::strtod(buf, nullptr);
}

// Everything but the closing time stamp line.
std::string Body(const std::string& text) { return text.substr(0, text.rfind('\n', text.size() - 2) + 1); }

TEST(Formda, RoundTripsEveryLayoutOfTheData) {
  TempDir dir;
  struct Case {
    bool e, species;
    int phylogeny;
    bool groups;
  } cases[] = {{true, true, 1, true},  {false, false, 0, false}, {true, false, 2, false},
               {false, true, 3, true}, {true, true, 0, false},   {false, false, 2, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.e << c.species << c.phylogeny << c.groups);
    DataSet ds = MakeData(c.e, c.species, c.phylogeny, c.groups);
    std::string first = Write(ds, dir / "xFormda.txt");
    DataSet back = Read(dir / "xFormda.txt");
    // Every value read back writes the same bytes again.
    EXPECT_EQ(Body(Write(back, dir / "again.txt")), Body(first));
    EXPECT_EQ(back.SMWSize, 3);
    EXPECT_EQ(back.hasPhylogeny, c.phylogeny != 0);
    EXPECT_EQ(back.hasTraitGroups, c.groups);
    EXPECT_EQ(back.temEnvQuant, c.e ? 1 : 0);
    EXPECT_EQ(back.temEnvBin, c.e ? 1 : 0);
    EXPECT_EQ(back.env.rows(), c.e ? 4 : 0);
    EXPECT_TRUE(back.spp.empty() != c.species);
    // The working arrays and partition stores come zero-filled for the sizes read.
    EXPECT_EQ(back.relSelect.size(), 4u);
    EXPECT_EQ(back.eVarSelect.size(), c.e ? 2u : 0u);
    EXPECT_EQ(back.groupRelP.rows(), kMaxPartitions);
    EXPECT_EQ(back.groupCstP.cols(), 5);
  }
}

TEST(Formda, OlderLayoutsAreRead) {
  TempDir dir;
  DataSet ds = MakeData(true, false, 0, true);
  std::string text = Write(ds, dir / "f.txt");

  // The 2008 layout has no trait groups: a group line that follows is not read.
  std::string old = text;
  old.replace(old.find("25Jun2016"), 9, "18Jan2008");
  WriteAll(dir / "old.txt", old);
  DataSet back = Read(dir / "old.txt");
  EXPECT_FALSE(back.hasTraitGroups);
  EXPECT_EQ(back.traitGroups, std::vector<int>(3, 0));
  EXPECT_EQ(back.SMWSize, 3);

  // An E block without its tag: no types recorded, all quantitative.
  std::string noTag = text;
  const std::string typesBlock = "97Sep08 \n5 \n3\t1\t\n";
  noTag.replace(noTag.find(typesBlock), typesBlock.size(), "");
  WriteAll(dir / "notag.txt", noTag);
  back = Read(dir / "notag.txt");
  EXPECT_EQ(back.optEnvVarType, 2);
  EXPECT_EQ(back.envVarType, std::vector<int>({3, 3}));
  EXPECT_EQ(back.temEnvQuant, 1);
  EXPECT_EQ(back.temEnvBin, 0);
  EXPECT_DOUBLE_EQ(back.env[3][0], 8.25);
}

TEST(Formda, OrdinalEcologicalVariablesCountAsQuantitativeAfterAReload) {
  // As the formatting records them: otherwise a reload offers the analysis of
  // variance for ordinal-only E.
  TempDir dir;
  DataSet ds = MakeData(true, false, 0, false);
  ds.envVarType = {4, 4};
  Write(ds, dir / "f.txt");
  DataSet back = Read(dir / "f.txt");
  EXPECT_EQ(back.temEnvQuant, 1);
  EXPECT_EQ(back.temEnvBin + back.temEnvQual, 0);
}

TEST(Formda, ValuesOfMoreThanSixDigitsAreStoredExactly) {
  TempDir dir;
  DataSet ds = MakeData(true, false, 1, false);
  ds.csm_Float[0][1] = 1234567;
  ds.csm_Float[1][1] = 1234568;
  ds.csm_Float[2][1] = 1234571;
  ds.cadat[0][0] = 4512345.6;
  ds.env[1][0] = 0.1 + 0.2;  // needs all 17 digits
  ds.phylogenyRese[0][1] = 1.0 / 3;
  std::string text = Write(ds, dir / "f.txt");
  DataSet back = Read(dir / "f.txt");
  EXPECT_EQ(back.csm_Float[0][1], 1234567);
  EXPECT_EQ(back.cadat[0][0], 4512345.6);
  EXPECT_EQ(back.env[1][0], 0.1 + 0.2);
  EXPECT_EQ(back.phylogenyRese[0][1], 1.0 / 3);
  EXPECT_NE(text.find("\n4512345.6\t"), std::string::npos);
  // Values of up to 6 significant digits keep the text they always had.
  for (double x : {0.5, -999.0, 1e-7, 123456.0, 2.5e+20, 0.0})
    EXPECT_EQ(RoundTripText(x), Format("%.6g", x));
  EXPECT_EQ(RoundTripText(1234567), "1234567");
  EXPECT_EQ(RoundTripText(0.1 + 0.2), "0.30000000000000004");
  // Always the shortest "%.*g" text from 6 digits on that reads back as the
  // value, as printf spells it: stored files keep their text.
  auto byPrintf = [](double x) {
    std::string text = Format("%.6g", x);
    for (int digits = 7; digits <= 17 && std::strtod(text.c_str(), nullptr) != x; ++digits)
      text = Format("%.*g", digits, x);
    return text;
  };
  std::mt19937_64 gen(9);
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t bits = gen();
    double x = 0.0;
    std::memcpy(&x, &bits, sizeof x);
    if (i % 2) x = static_cast<double>(gen() % 100000000) / std::pow(10.0, static_cast<double>(gen() % 12));
    EXPECT_EQ(RoundTripText(x), byPrintf(x)) << i;
  }
  for (double x : {5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, -0.0, std::nan(""), HUGE_VAL})
    EXPECT_EQ(RoundTripText(x), byPrintf(x));
}

TEST(Formda, OldestLayoutWithTwoCharacterTraitCodes) {
  TempDir dir;
  // 2 traits, 2 communities, 2 OTUs: each OTU a code word then its community values.
  WriteAll(dir / "f.txt",
           "old data\n2\na b\n3 3\n0 0\n2 2\n2\nr1 r2\n2\n0 0\n0 0 0 0 0 0 0\n"
           "0112 5 0\n0320 1 2\n0\n0\n");
  DataSet back = Read(dir / "f.txt");
  EXPECT_EQ(back.dataName, "old data");
  EXPECT_EQ(back.csm_Float[0][0], 1);
  EXPECT_EQ(back.csm_Float[0][1], 12);
  EXPECT_EQ(back.csm_Float[1][1], 20);
  EXPECT_EQ(back.cadat[0][0], 5);
  EXPECT_EQ(back.nenv, 0);
  EXPECT_EQ(back.SMWSize, 1);
  EXPECT_FALSE(back.hasPhylogeny);
  EXPECT_FALSE(back.hasTraitGroups);
}

TEST(Formda, WordAfterSpeciesThatIsNotSmwStaysTheNextItem) {
  TempDir dir;
  DataSet ds = MakeData(false, false, 1, false);
  std::string text = Write(ds, dir / "f.txt");
  // A file from before the window size: the phylogeny flag follows directly.
  text.replace(text.find("25Jun2016"), 9, "18Jan2008");
  text.erase(text.find("SMW 3\n"), 6);
  WriteAll(dir / "f.txt", text);
  DataSet back = Read(dir / "f.txt");
  EXPECT_EQ(back.SMWSize, 1);
  ASSERT_TRUE(back.hasPhylogeny);
  EXPECT_DOUBLE_EQ(back.phylogenyRese[1][2], At6(1.0 / 4));
  // Text where the flag should be is not skipped over to find one.
  text.replace(text.find("\n1\n1\n") + 1, 1, "x");
  WriteAll(dir / "g.txt", text);
  EXPECT_EQ(ReadAbortCode(dir / "g.txt"), kAbortEndOfFile);
  // The current layout always carries the window size.
  text = Write(ds, dir / "f.txt");
  text.erase(text.find("SMW 3\n"), 6);
  WriteAll(dir / "h.txt", text);
  EXPECT_EQ(ReadAbortCode(dir / "h.txt"), kAbortEndOfFile);
}

TEST(Formda, DamagedFilesEndInTheEndOfFileAbort) {
  TempDir dir;
  for (int variant = 0; variant < 3; ++variant) {
    DataSet ds = variant == 0   ? MakeData(true, true, 1, true)
                 : variant == 1 ? MakeData(true, true, 2, true)
                                : MakeData(false, false, 3, true);
    std::string text = Write(ds, dir / "full.txt");
    // The trait groups are the last items read: any cut before the last one's
    // single digit leaves an item missing.
    size_t stamp = text.rfind('\n', text.size() - 2);
    size_t lastItem = text.rfind('\t', stamp - 1) - 1;
    const std::string cut = dir / "cut.txt";
    for (size_t len = 0; len < lastItem; ++len) {
      // Every byte of one file; every line end and a sample of bytes of the others.
      if (variant > 0 && len % 5 != 0 && text[len] != '\n') continue;
      WriteAll(cut, text.substr(0, len));
      std::string err;
      ASSERT_EQ(ReadAbortCode(cut, &err), kAbortEndOfFile) << "cut at byte " << len;
      ASSERT_NE(err.find("\nfile " + cut + " "), std::string::npos) << err;
    }
    WriteAll(cut, text.substr(0, lastItem + 1));
    EXPECT_EQ(ReadAbortCode(cut), 0);
  }
}

TEST(Formda, NegativeCountsAndMissingFilesAbort) {
  TempDir dir;
  WriteAll(dir / "f.txt", "t\n-2\n");
  EXPECT_EQ(ReadAbortCode(dir / "f.txt"), kAbortEndOfFile);
  WriteAll(dir / "g.txt", "t\n0\n\n\n\n\n1\nr\n0\n0\n0 0 0 0 0 0 0\n25Jun2016\n-1\n");
  EXPECT_EQ(ReadAbortCode(dir / "g.txt"), kAbortEndOfFile);
  EXPECT_EQ(ReadAbortCode(dir / "none.txt"), kAbortOpenFailed);
  Io io;
  DataSet ds = MakeData(false, false, 0, false);
  EXPECT_EQ(test::AbortCodeOf([&] {
              WriteFormda(io.con, ds, ds.tcst, dir / "no/such/dir.txt", "t", ds.csm_Float, ds.cadat);
            }),
            kAbortOpenFailed);
  EXPECT_NE(io.err.str().find("\ncan't open "), std::string::npos);
}


std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

// A damaged file either ends in the end-of-file abort naming it or, when the
// damage changed nothing that is read (two item lines glued), reads back as
// the original: it is never loaded shifted.
void ExpectAbortOrSame(const std::string& damaged, const std::string& original, const std::string& what) {
  TempDir dir;
  WriteAll(dir / "d.txt", damaged);
  std::string err;
  int code = ReadAbortCode(dir / "d.txt", &err);
  if (code != 0) {
    EXPECT_EQ(code, kAbortEndOfFile) << what;
    EXPECT_NE(err.find("\nfile " + dir / "d.txt" + " "), std::string::npos) << what;
    return;
  }
  DataSet back = Read(dir / "d.txt");
  EXPECT_EQ(Body(Write(back, dir / "again.txt")), Body(original)) << what << " loaded as\n" << damaged;
}

TEST(Formda, DeletedGluedOrRepeatedLinesNeverLoadShifted) {
  TempDir dir;
  for (int variant = 0; variant < 2; ++variant) {
    DataSet ds = variant == 0 ? MakeData(true, true, 1, true) : MakeData(true, false, 2, false);
    const std::string text = Write(ds, dir / "f.txt");
    const auto lines = SplitLines(text);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {  // the time stamp is the last line
      auto deleted = lines;
      deleted.erase(deleted.begin() + static_cast<long>(i));
      ExpectAbortOrSame(JoinLines(deleted), text, "line " + std::to_string(i + 1) + " deleted");
      auto repeated = lines;
      repeated.insert(repeated.begin() + static_cast<long>(i), lines[i]);
      ExpectAbortOrSame(JoinLines(repeated), text, "line " + std::to_string(i + 1) + " repeated");
      auto glued = lines;
      glued[i] += glued[i + 1];
      glued.erase(glued.begin() + static_cast<long>(i) + 1);
      ExpectAbortOrSame(JoinLines(glued), text, "lines " + std::to_string(i + 1) + " glued");
    }
  }
}

TEST(Formda, ChangedCountsAndTypeCodesAbort) {
  TempDir dir;
  DataSet ds = MakeData(true, true, 1, true);
  const std::string text = Write(ds, dir / "f.txt");
  const auto lines = SplitLines(text);
  auto with = [&](size_t line, const std::string& value) {
    auto changed = lines;
    changed[line] = value;
    return JoinLines(changed);
  };
  const size_t tag = static_cast<size_t>(std::find(lines.begin(), lines.end(), "25Jun2016 ") - lines.begin());
  const size_t nenvLine = tag + 1 + 5 + 1 + 5 + 1;
  ASSERT_EQ(lines[nenvLine], "2 ");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {with(1, "4 "), "one trait more"},
      {with(1, "2 "), "one trait less"},
      {with(6, "5 "), "one community more"},
      {with(8, "6 "), "one OTU more"},
      {with(8, "4 "), "one OTU less"},
      {with(nenvLine, "3 "), "one variable more"},
      {with(nenvLine, "1 "), "one variable less"},
      {with(3, "3\t5\t1\t"), "trait type 5"},
      {with(3, "0\t4\t1\t"), "trait type 0"},
      {with(nenvLine + 3, "0\t1\t"), "variable type 0"},
      {with(nenvLine + 2, "9 "), "kind of variables 9"},
      {with(5, "6\t4\t2\t"), "more states than OTUs"},
  };
  for (const auto& [damaged, what] : cases) {
    WriteAll(dir / "d.txt", damaged);
    EXPECT_EQ(ReadAbortCode(dir / "d.txt"), kAbortEndOfFile) << what;
  }
  // The phylogeny flag and the trait-group flag take 0 or 1 only.
  std::string flag = text;
  flag.replace(flag.find("SMW 3\n1\n"), 8, "SMW 3\n2\n");
  WriteAll(dir / "d.txt", flag);
  EXPECT_EQ(ReadAbortCode(dir / "d.txt"), kAbortEndOfFile);
}

TEST(Formda, HugeCountsAbortBeforeAnythingIsAllocated) {
  TempDir dir;
  DataSet ds = MakeData(false, false, 0, false);
  const auto lines = SplitLines(Write(ds, dir / "f.txt"));
  for (size_t line : {1u, 6u, 8u}) {
    for (const char* count : {"2147483000 ", "2147483647 ", "100000 "}) {
      auto changed = lines;
      changed[line] = count;
      WriteAll(dir / "d.txt", JoinLines(changed));
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(ReadAbortCode(dir / "d.txt"), kAbortEndOfFile) << line << " " << count;
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
  }
}

TEST(Formda, ValuesThatAreNotFiniteAreDamage) {
  TempDir dir;
  DataSet ds = MakeData(true, false, 0, false);
  const std::string text = Write(ds, dir / "f.txt");
  for (const char* bad : {"inf", "nan", "1e999"}) {
    std::string damaged = text;
    damaged.replace(damaged.find("-999\t"), 4, bad);
    WriteAll(dir / "d.txt", damaged);
    EXPECT_EQ(ReadAbortCode(dir / "d.txt"), kAbortEndOfFile) << bad;
  }
}

}  // namespace
}  // namespace kalios
