// Mutation testing of every reader of the program's input files: the raw data
// files (through the formatting dialogue), the formatted data file, the track
// file and the preferences file. Each case damages a file built from the
// fixtures (truncation, flipped bytes, deleted and repeated lines, numbers
// turned huge, negative, NaN or into words) and reads it. Every case must end
// either normally or in the program's own abort, and what loads must have the
// sizes it declares.
//
// KALIOS_FUZZ_CASES sets the number of cases (default 400, about two seconds);
// KALIOS_FUZZ_SEED the seed. A failure names both, so the case can be rerun.
#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "session/formda.h"
#include "session/raw_format.h"
#include "session/track.h"
#include "shell/abort.h"
#include "shell/preferences.h"
#include "support/scripted.h"
#include "support/tempdir.h"

namespace kalios {
namespace {

using testing::ReadAll;
using testing::WriteAll;

const std::string kFixtures = KALIOS_FIXTURES_DIR;

long EnvNumber(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::strtol(v, nullptr, 10) : fallback;
}

// The answers that format the "mixed" fixture (B, W and E with labels at the
// end of each file), as the reference run gives them.
const std::vector<std::string> kMixedAnswers = {
    "B.txt", "0", "W.txt", "0", "1", "E.txt", "12", "5", "2", "2", "k", "1 2 3 4 3", "y", "0",
    "10",    "2", "1",     "3", "2", "2", "n"};

// One damaged copy of `text`.
std::string Mutate(std::string text, std::mt19937& rng) {
  auto pick = [&rng](size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  const int edits = 1 + static_cast<int>(pick(3));
  for (int e = 0; e < edits && !text.empty(); ++e) {
    std::vector<size_t> lineStarts = {0};
    for (size_t i = 0; i + 1 < text.size(); ++i)
      if (text[i] == '\n') lineStarts.push_back(i + 1);
    const size_t line = lineStarts[pick(lineStarts.size())];
    const size_t lineEnd = std::min(text.find('\n', line), text.size() - 1) + 1;
    switch (pick(6)) {
      case 0:  // truncation
        text.resize(pick(text.size()));
        break;
      case 1:  // a flipped byte
        text[pick(text.size())] = static_cast<char>(pick(256));
        break;
      case 2:  // a deleted line
        text.erase(line, lineEnd - line);
        break;
      case 3:  // a repeated line
        text.insert(line, text.substr(line, lineEnd - line));
        break;
      case 4:  // two lines glued
        if (lineEnd < text.size()) text.erase(lineEnd - 1, 1);
        break;
      default: {  // a number replaced by a huge, negative, NaN or word value
        static const char* const kValues[] = {"1e999",       "99999999999999999999", "2147483647",
                                              "2147483648",  "-1",                   "-2147483648",
                                              "-999",        "nan",                  "NaN",
                                              "inf",         "NA",                   "abc",
                                              "1,5",         "0x10",                 "\xE2\x88\x92" "2"};
        std::vector<std::pair<size_t, size_t>> numbers;
        for (size_t i = 0; i < text.size();) {
          if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            size_t j = i;
            while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.'))
              ++j;
            numbers.emplace_back(i, j - i);
            i = j;
          } else {
            ++i;
          }
        }
        if (numbers.empty()) break;
        const auto [at, length] = numbers[pick(numbers.size())];
        text.replace(at, length, kValues[pick(std::size(kValues))]);
        break;
      }
    }
  }
  return text;
}

// What a loaded data set declares must be what it holds.
void ExpectConsistent(const DataSet& ds, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_GE(ds.tcst, 0);
  ASSERT_GE(ds.nch, 0);
  ASSERT_GE(ds.ncsm, 0);
  EXPECT_EQ(ds.csm_Float.rows(), ds.tcst);
  EXPECT_EQ(ds.csm_Float.cols(), ds.nch);
  EXPECT_EQ(ds.cadat.rows(), ds.tcst);
  EXPECT_EQ(ds.cadat.cols(), ds.ncsm);
  EXPECT_EQ(ds.chLabel.size(), static_cast<size_t>(ds.nch));
  EXPECT_EQ(ds.chtype.size(), static_cast<size_t>(ds.nch));
  EXPECT_EQ(ds.reLabel.size(), static_cast<size_t>(ds.ncsm));
  for (int t : ds.chtype) EXPECT_TRUE(t >= 1 && t <= 4) << t;
  for (int i = 0; i < ds.csm_Float.rows(); ++i)
    for (int k = 0; k < ds.csm_Float.cols(); ++k) EXPECT_TRUE(std::isfinite(ds.csm_Float[i][k]));
  if (ds.nenv > 0) {
    EXPECT_EQ(ds.env.rows(), ds.ncsm);
    EXPECT_EQ(ds.env.cols(), ds.nenv);
    EXPECT_EQ(ds.envLabel.size(), static_cast<size_t>(ds.nenv));
    EXPECT_EQ(ds.envVarType.size(), static_cast<size_t>(ds.nenv));
  }
  EXPECT_EQ(ds.spp.size(), static_cast<size_t>(ds.nSpp));
  if (ds.hasPhylogeny) {
    EXPECT_EQ(ds.phylogenyRese.rows(), ds.tcst);
  }
}

// Ends normally or in the program's abort; anything else (a crash is caught
// by the sanitizers, an allocation failure or another exception here) fails.
template <class F>
bool EndsCleanly(F f, const std::string& what) {
  try {
    f();
    return true;
  } catch (const AbortError&) {
    return false;
  } catch (const std::bad_alloc&) {
    ADD_FAILURE() << what << ": allocation failure instead of the program's abort";
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << e.what();
  }
  return false;
}

class ReaderFuzz : public testing::InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    for (const char* name : {"B.txt", "W.txt", "E.txt"}) raw_[name] = ReadAll(kFixtures + "/mixed/" + name);
    ASSERT_FALSE(raw_["B.txt"].empty()) << "fixtures missing under " << kFixtures;
    // The seeds: the session file the formatting writes from the fixture,
    // the same data with species names and a phylogeny, a full track file
    // and a preferences file.
    for (const auto& [name, text] : raw_) WriteAll(name, text);
    test::Scripted d(test::Lines(kMixedAnswers));
    IFFormat(d.con, [](const std::string&) {}, "seedFormda.txt");
    formda_.push_back(ReadAll("seedFormda.txt"));
    DataSet ds;
    ReadFormda(d.con, ds, "seedFormda.txt");
    ds.nSpp = ds.tcst;
    ds.whichSpp = "species.txt";
    ds.spp.assign(static_cast<size_t>(ds.tcst), "Genus species");
    ds.sppRelMap = Matrix<char>(ds.tcst, ds.ncsm, '1');
    ds.cstSppMap = Matrix<char>(ds.tcst, ds.tcst, '0');
    ds.hasPhylogeny = true;
    ds.phylogenyMatrixType = 1;
    ds.phylogenyRese.Resize(ds.tcst, ds.tcst);
    for (int i = 0; i < ds.tcst; ++i) {
      ds.cstSppMap[i][i] = '1';
      for (int j = 0; j < ds.tcst; ++j) ds.phylogenyRese[i][j] = 1.0 / (1 + std::abs(i - j));
    }
    WriteFormda(d.con, ds, ds.tcst, "seed2Formda.txt", ds.dataName, ds.csm_Float, ds.cadat);
    formda_.push_back(ReadAll("seed2Formda.txt"));

    data_ = ds;
    SessionTrack track;
    track.whichFormda = "seedFormda.txt";
    AnalysisOptions opts;
    opts.fuzziness = 1.5;
    data_.nPart = 1;
    data_.partLabel[0] = "slope";
    data_.nGroupsP[0] = 2;
    data_.grLabelP[0][0] = "N";
    data_.grLabelP[0][1] = "S";
    for (int c = 0; c < data_.ncsm; ++c) data_.groupRelP[0][c] = 1 + c % 2;
    WriteTrack(d.con, track, data_, opts, "seedTrk.txt", 1);
    track_ = ReadAll("seedTrk.txt");

    Preferences prefs;
    prefs.sDigits = 9;
    WritePreferences(d.con, prefs, "KALIOS.prf");
    prefs_ = ReadAll("KALIOS.prf");
  }

  std::map<std::string, std::string> raw_;
  std::vector<std::string> formda_;
  DataSet data_;
  std::string track_, prefs_;
};

TEST_F(ReaderFuzz, DamagedFilesEndCleanlyOrLoadWhatTheyDeclare) {
  const long cases = EnvNumber("KALIOS_FUZZ_CASES", 400);
  const long seed = EnvNumber("KALIOS_FUZZ_SEED", 14);
  std::mt19937 rng(static_cast<unsigned>(seed));
  int loaded = 0, aborted = 0;
  for (long k = 0; k < cases; ++k) {
    const std::string what = "case " + std::to_string(k) + " of KALIOS_FUZZ_SEED=" + std::to_string(seed);
    test::Scripted io;
    switch (k % 4) {
      case 0: {
        const std::string text = Mutate(formda_[static_cast<size_t>(k / 4) % formda_.size()], rng);
        WriteAll("dFormda.txt", text);
        DataSet ds;
        if (EndsCleanly([&] { ReadFormda(io.con, ds, "dFormda.txt"); }, what)) {
          ExpectConsistent(ds, what + "\n" + text);
          ++loaded;
        } else {
          ++aborted;
        }
        break;
      }
      case 1: {
        WriteAll("dTrk.txt", Mutate(track_, rng));
        DataSet ds = data_;
        SessionTrack t;
        AnalysisOptions o;
        if (EndsCleanly([&] { ReadTrack(io.con, t, ds, o, "dTrk.txt"); }, what)) {
          EXPECT_TRUE(ds.nPart >= 0 && ds.nPart <= kMaxPartitions) << what;
          EXPECT_TRUE(ds.nGroups >= 0 && ds.nGroups <= ds.ncsm) << what;
          ++loaded;
        } else {
          ++aborted;
        }
        break;
      }
      case 2: {
        WriteAll("KALIOS.prf", Mutate(prefs_, rng));
        Preferences p;
        // A damaged preferences file never stops the program.
        ASSERT_TRUE(EndsCleanly([&] { ReadPreferences(io.con, p, "KALIOS.prf"); }, what)) << what;
        EXPECT_TRUE(p.sDigits >= 1 && p.sDigits <= 17) << what;
        EXPECT_TRUE(p.nProcessors >= 0 && p.nProcessors <= omp_get_num_procs()) << what;
        EXPECT_TRUE(std::isfinite(p.scatterHSize) && std::isfinite(p.treeVSize)) << what;
        EXPECT_TRUE(p.overfitFactorPCARegr >= 1) << what;
        ++loaded;
        break;
      }
      default: {
        // One raw file damaged; the dialogue refuses it and asks again, which
        // the script answers with what follows until the input ends.
        static const char* const kNames[] = {"B.txt", "W.txt", "E.txt"};
        const std::string name = kNames[static_cast<size_t>(k / 4) % 3];
        for (const auto& [n, text] : raw_) WriteAll(n, n == name ? Mutate(text, rng) : text);
        std::filesystem::remove("dFormda.txt");
        test::Scripted d(test::Lines(kMixedAnswers));
        if (EndsCleanly([&] { IFFormat(d.con, [](const std::string&) {}, "dFormda.txt"); }, what)) {
          DataSet ds;
          ASSERT_TRUE(EndsCleanly([&] { ReadFormda(d.con, ds, "dFormda.txt"); }, what))
              << what << ": the formatting wrote a file it cannot read";
          ExpectConsistent(ds, what);
          EXPECT_EQ(ds.tcst, 12);
          ++loaded;
        } else {
          EXPECT_FALSE(std::filesystem::exists("dFormda.txt")) << what;
          ++aborted;
        }
        break;
      }
    }
    if (HasFailure()) {
      ADD_FAILURE() << "stopped at " << what;
      return;
    }
  }
  std::cout << cases << " cases (seed " << seed << "): " << loaded << " read, " << aborted
            << " ended in the program's abort\n";
}

}  // namespace
}  // namespace kalios
