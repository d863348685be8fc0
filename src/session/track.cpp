#include "session/track.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "session/formda.h"
#include "session/item_reader.h"
#include "session/safe_write.h"
#include "shell/abort.h"
#include "shell/cformat.h"
#include "shell/input.h"

namespace kalios {

const char* const kTrackIncompatibleMessage =
    "\nFormda file is compatible, but other files of the session "
    "                                                     "
    "are not compatible with this program version.\n";

namespace {

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

constexpr std::array<std::string SessionTrack::*, 17> kSlots = {
    &SessionTrack::whichEnvRese, &SessionTrack::whichEnvScores, &SessionTrack::whichEnvRank,
    &SessionTrack::whichHier,    &SessionTrack::whichCstRese,   &SessionTrack::whichNRese,
    &SessionTrack::whichPRese,   &SessionTrack::whichRo,        &SessionTrack::whichProbRo,
    &SessionTrack::whichScores,  &SessionTrack::whichProbN,     &SessionTrack::whichReClus,
    &SessionTrack::whichCstClus, &SessionTrack::whichAOCScor,   &SessionTrack::whichComplexity,
    &SessionTrack::whichVelocity, &SessionTrack::whichRoVelComplex};

constexpr std::array<int SessionTrack::*, 20> kFlags = {
    &SessionTrack::hasEnvRese,       &SessionTrack::hasEnvScores,     &SessionTrack::hasEnvRank,
    &SessionTrack::hasHier,          &SessionTrack::hasCstRese,       &SessionTrack::hasNRese,
    &SessionTrack::hasPRese,         &SessionTrack::hasRo,            &SessionTrack::hasProbRo,
    &SessionTrack::hasScores,        &SessionTrack::hasProbN,         &SessionTrack::hasReClus,
    &SessionTrack::hasCstClus,       &SessionTrack::hasAOCScor,       &SessionTrack::hasVegOrdiCorrel,
    &SessionTrack::hasEnvOrdiCorrel, &SessionTrack::hasComplexity,    &SessionTrack::hasVelocity,
    &SessionTrack::hasRoVelComplex,  &SessionTrack::hasRoVelComplexPROB};

constexpr std::array<int AnalysisOptions::*, 9> kResemblanceTypes = {
    &AnalysisOptions::reseTypeOrd,   &AnalysisOptions::reseTypeClus, &AnalysisOptions::reseTypeEv,
    &AnalysisOptions::reseTypeRnd,   &AnalysisOptions::reseTypeERank, &AnalysisOptions::cohe,
    &AnalysisOptions::groupDissMeth, &AnalysisOptions::empir_opt,    &AnalysisOptions::keepRichness};

void WriteIntRow(AtomicTextFile& f, const std::vector<int>& v, int n) {
  for (int i = 0; i < n && Z(i) < v.size(); ++i) f.Printf("%d ", v[Z(i)]);
}

// Entries of an OTU partition recorded at level L: as many as the level has groups.
int CstEntries(const DataSet& ds, int level) {
  if (level < 1 || level > ds.nch || Z(level - 1) >= ds.rcst.size()) return -1;
  int count = ds.rcst[Z(level - 1)];
  return count >= 0 && count <= ds.tcst ? count : -1;
}

}  // namespace

void WriteTrack(Console& con, const SessionTrack& t, const DataSet& ds, const AnalysisOptions& o,
                const std::string& path, int full) {
  AtomicTextFile f(path, con.err);
  if (!f.Open()) {
    Print(con.err, "\ncan't open %s \n", path.c_str());
    con.out << '\a';
    Abort(kAbortOpenFailed);
  }
  f.Printf("%s\n", t.whichFormda.c_str());
  f.Printf("%s\n", versionTrack);
  if (full) {
    for (auto slot : kSlots) f.Printf("%s\n", (t.*slot).c_str());
    f.Printf("%d\n", o.isHierarchical);
    f.Printf("%d\n", o.traitBasedOpt);
    for (auto flag : kFlags) f.Printf("%d\n", t.*flag);
    f.Printf("%d\n", o.optEnvStruct);
    f.Printf("%d\n", o.rese_opt);
    f.Printf("%d\n", o.reseCstOpt);
    f.Printf("%d\n", o.partOpt);
    WriteIntRow(f, ds.nchor, ds.nch);
    f.Write("\n");
    WriteIntRow(f, ds.rcst, ds.nch);
    f.Write("\n");
    WriteIntRow(f, ds.nGrPoly, ds.nch);
    f.Printf("\n%d\n", o.fuzzy);
    f.Printf("%s\n", RoundTripText(o.fuzziness).c_str());
    for (auto opt : kResemblanceTypes) f.Printf("%d\n", o.*opt);
    f.Printf("%d\n", ds.nPart);
    f.Printf("%d\n", ds.whichPart);
    const int nPart = std::min(std::max(ds.nPart, 0), static_cast<int>(ds.partLabel.size()));
    for (int p = 0; p < nPart; ++p) f.Printf("%s ", ds.partLabel[Z(p)].c_str());
    f.Write("\n");
    WriteIntRow(f, ds.nGroupsP, nPart);
    f.Write("\n");
    for (int p = 0; p < nPart; ++p) {
      const int groups = std::min(ds.nGroupsP[Z(p)], ds.ncsm);
      for (int g = 0; g < groups; ++g) f.Printf("%s ", ds.grLabelP[Z(p)][Z(g)].c_str());
      f.Write("\n");
    }
    for (int p = 0; p < nPart; ++p) {
      for (int c = 0; c < ds.ncsm; ++c) f.Printf("%d ", ds.groupRelP[p][c]);
      f.Write("\n");
    }
    f.Printf("%d ", o.whichPartAOC);
    f.Printf("%d ", o.whichPartCstAOC);
    f.Printf("\n%d\n", ds.whichLevelGrCST);
    f.Printf("%d\n", ds.nPartCst);
    f.Printf("%d\n", ds.whichCstPart);
    const int nPartCst = std::min(std::max(ds.nPartCst, 0), static_cast<int>(ds.partCstLabel.size()));
    for (int p = 0; p < nPartCst; ++p) f.Printf("%s ", ds.partCstLabel[Z(p)].c_str());
    f.Write("\n");
    WriteIntRow(f, ds.nGroupsCstP, nPartCst);
    f.Write("\n");
    for (int p = 0; p < nPartCst; ++p) {
      // A blank after each label keeps labels of three or four characters apart.
      const int groups = std::min(ds.nGroupsCstP[Z(p)], ds.tcst);
      for (int g = 0; g < groups; ++g) f.Printf("%-3s ", ds.grCstLabelP[Z(p)][Z(g)].c_str());
      f.Write("\n");
    }
    WriteIntRow(f, ds.whichLevelGrCstP, nPartCst);
    f.Write("\n");
    for (int p = 0; p < nPartCst; ++p) {
      const int entries = CstEntries(ds, ds.whichLevelGrCstP[Z(p)]);
      for (int i = 0; i < entries; ++i) f.Printf("%d ", ds.groupCstP[p][i]);
      f.Write("\n");
    }
    WriteIntRow(f, ds.relSelect, ds.ncsm);
    f.Printf("\n%d\n", o.doDistrib);
    f.Printf("%d\n", o.adjacentRelOpt);
    f.Printf("%d\n", o.whichLevelCst);
    f.Printf("%d\n", o.poolCSTopt);
    f.Printf("%d\n", o.clusMethPoolCSTs);
    f.Printf("%d\n", ds.SMWSize);
  }
  f.Commit();
}

int ReadTrack(Console& con, SessionTrack& t, DataSet& ds, AnalysisOptions& o,
              const std::string& path) {
  auto file = fopenck(con, path, "");
  if (!file) Abort(kAbortOpenFailed);
  ItemReader r(con, *file);
  t.whichFormda = r.Word();
  std::string tag = r.Word();
  if (tag != versionTrack) {
    Print(con.out, "%s", kTrackIncompatibleMessage);
    file->Close();
    return 1;
  }
  if (r.AtEnd()) {  // a session whose data have only been formatted
    file->Close();
    return 1;
  }
  if (ds.nchor.size() != Z(ds.nch) || ds.relSelect.size() != Z(ds.ncsm) ||
      ds.partLabel.size() != static_cast<size_t>(kMaxPartitions)) {
    ds.AllocateWorkingArrays();
  }

  // Every item and every row is on a line of its own: each line must hold
  // what the counts say, so a lost, repeated or glued line is found. (AtEnd
  // above has passed over the end of the tag's line.)
  auto one = [&r](int lower = INT_MIN, int upper = INT_MAX) { return r.LineInts(1, lower, upper)[0]; };
  auto row = [&r](std::vector<int>& v, int n) {
    std::vector<int> values = r.LineInts(n, INT_MIN, INT_MAX);
    std::copy(values.begin(), values.end(), v.begin());
  };
  for (auto slot : kSlots) t.*slot = r.LineWords(1)[0];
  o.isHierarchical = one();
  o.traitBasedOpt = one();
  for (auto flag : kFlags) t.*flag = one();
  o.optEnvStruct = one();
  o.rese_opt = one();
  o.reseCstOpt = one();
  o.partOpt = one();
  row(ds.nchor, ds.nch);
  row(ds.rcst, ds.nch);
  row(ds.nGrPoly, ds.nch);
  o.fuzzy = one();
  {
    const std::string word = r.LineWords(1)[0];
    char* end = nullptr;
    o.fuzziness = std::strtod(word.c_str(), &end);
    if (*end != '\0' || !std::isfinite(o.fuzziness)) r.Fail();
  }
  for (auto opt : kResemblanceTypes) o.*opt = one();

  // Every count below sizes a read into a fixed store: one out of range means
  // a damaged file.
  ds.nPart = one(0, kMaxPartitions);
  ds.whichPart = one(0, kMaxPartitions - 1);
  const auto partLabels = r.LineWords(ds.nPart, kPartNameWidth);
  std::copy(partLabels.begin(), partLabels.end(), ds.partLabel.begin());
  const auto groups = r.LineInts(ds.nPart, 0, ds.ncsm);
  std::copy(groups.begin(), groups.end(), ds.nGroupsP.begin());
  for (int p = 0; p < ds.nPart; ++p) {
    const auto labels = r.LineWords(ds.nGroupsP[Z(p)], kGroupLabelWidth);
    std::copy(labels.begin(), labels.end(), ds.grLabelP[Z(p)].begin());
  }
  for (int p = 0; p < ds.nPart; ++p) {
    const auto members = r.LineInts(ds.ncsm, INT_MIN, INT_MAX);
    std::copy(members.begin(), members.end(), ds.groupRelP[p]);
  }
  const auto aoc = r.LineInts(2, INT_MIN, INT_MAX);
  o.whichPartAOC = aoc[0];
  o.whichPartCstAOC = aoc[1];
  ds.nGroups = ds.nGroupsP[Z(ds.whichPart)];

  ds.whichLevelGrCST = one(1, std::max(ds.nch, 1));
  ds.nPartCst = one(0, kMaxPartitions);
  ds.whichCstPart = one(0, kMaxPartitions - 1);
  const auto cstLabels = r.LineWords(ds.nPartCst, kPartNameWidth);
  std::copy(cstLabels.begin(), cstLabels.end(), ds.partCstLabel.begin());
  const auto cstGroups = r.LineInts(ds.nPartCst, 0, ds.tcst);
  std::copy(cstGroups.begin(), cstGroups.end(), ds.nGroupsCstP.begin());
  for (int p = 0; p < ds.nPartCst; ++p) {
    const auto labels = r.LineWords(ds.nGroupsCstP[Z(p)], kGroupLabelWidth);
    std::copy(labels.begin(), labels.end(), ds.grCstLabelP[Z(p)].begin());
  }
  const auto levels = r.LineInts(ds.nPartCst, 1, std::max(ds.nch, 1));
  std::copy(levels.begin(), levels.end(), ds.whichLevelGrCstP.begin());
  for (int p = 0; p < ds.nPartCst; ++p) {
    const int entries = CstEntries(ds, ds.whichLevelGrCstP[Z(p)]);
    if (entries < 0) r.Fail();
    const auto members = r.LineInts(entries, INT_MIN, INT_MAX);
    std::copy(members.begin(), members.end(), ds.groupCstP[p]);
  }
  ds.nCstGroups = ds.nGroupsCstP[Z(ds.whichCstPart)];

  row(ds.relSelect, ds.ncsm);
  o.doDistrib = one();
  o.adjacentRelOpt = one();
  o.whichLevelCst = one();
  o.poolCSTopt = one();
  o.clusMethPoolCSTs = one();
  ds.SMWSize = one();
  // Lines lost or repeated above would leave items over.
  if (!r.AtEnd()) r.Fail();
  file->Close();
  return 1;
}

void ForgetSessionResults(SessionTrack& t, DataSet& ds) {
  t.whichPrinda = "NULL";
  t.whichEnvPrinda = "NULL";
  for (auto flag : kFlags) {
    if (flag != &SessionTrack::hasVegOrdiCorrel && flag != &SessionTrack::hasEnvOrdiCorrel) t.*flag = 0;
  }
  ds.nPart = 0;
  ds.nGroups = 0;
  ds.nPartCst = 0;
  ds.nCstGroups = 0;
  ds.whichLevelGrCST = 1;
}

}  // namespace kalios
