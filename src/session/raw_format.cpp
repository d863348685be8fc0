#include "session/raw_format.h"

#include <memory>
#include <string>
#include <vector>

#include "session/dataset.h"
#include "session/derived_session.h"
#include "session/formda.h"
#include "session/merge_session.h"
#include "session/partition.h"
#include "session/raw_reader.h"
#include "session/partition_dialog.h"
#include "session/taxon_names.h"
#include "session/track.h"
#include "shell/cformat.h"
#include "shell/input.h"
#include "shell/progress.h"

namespace kalios {

namespace {

constexpr double kMissing = -999.0;
constexpr double kMaxCount = 2147483647.0;
constexpr int kFileNameWidth = 100;  // session names typed to take their data

size_t Z(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

// The raw files named at the start of the dialogue, open until read.
struct RawFiles {
  std::unique_ptr<TextIn> b, f, w, spp, e;
  std::string bName, wName, sppName, eName;
};

// The rule line of 70 hyphens under menu headers.
void Rule(Console& con) { Print(con.out, "%s\n", std::string(70, '-').c_str()); }

int AskOption(Console& con, const char* accepted) {
  return static_cast<int>(ReadNumberIn(con, accepted));
}

int AskCount(Console& con) { return static_cast<int>(ReadNumberIn(con, "-", 1, kMaxCount)); }

// Reads one matrix (and its labels) from a raw file with `read`; a file that
// does not read cleanly has been reported, and another file name is asked
// until one does. The file is closed afterwards.
// `name` follows the file finally read.
template <class Read>
void ReadClean(Console& con, std::unique_ptr<TextIn>& file, std::string* name, bool strict,
               Read read) {
  for (;;) {
    RawReader r(con, *file, strict);
    if (read(r)) break;
    file = ReadDataFileName(con, name);
  }
  file.reset();
}

// After the numbers: the labels when they come from the file (option 2),
// otherwise a check that no numbers were left over.
bool TrailingLabels(RawReader& r, int labelSource, int n, std::vector<std::string>& labels) {
  if (labelSource != 2) return r.NothingLeft();
  return r.Labels(n, kLabelWidth, labels);
}

std::vector<std::string> DefaultLabels(int n) {
  std::vector<std::string> labels(Z(n));
  for (int i = 0; i < n; ++i) labels[Z(i)] = Format("%d", i + 1);
  return labels;
}

// "given by default" or "read labels at the end of file ..."; returns 1 or 2.
int AskLabelSource(Console& con, const char* heading, const char* byDefault,
                   const std::string& fileName) {
  Print(con.out, "%s", heading);
  Print(con.out, "%s", byDefault);
  Print(con.out, "   2  read labels at the end of file %s\n", fileName.c_str());
  Print(con.out, "Type option no.: ");
  return AskOption(con, "1 2");
}

void PrintTraitLabels(Console& con, const DataSet& ds) {
  Print(con.out, "Traits:     \t");
  for (const auto& label : ds.chLabel) Print(con.out, "%s\t", label.c_str());
  Print(con.out, "\n");
}

// Steps 1 to 5: which matrices exist, and their files.
void AskFiles(Console& con, const MenuHeader& menu, RawFiles& files) {
  menu("SPECIFYING THE AVAILABLE INPUT DATA:\n");
  Print(con.out, "For each data specified below indicate by 0/1 which are available\n\n");
  Print(con.out,
        "OTUs = Operational Taxonomic Units, refer to species, populations, individuals or other "
        "taxonomic rank\n");
  Print(con.out, "A matrix (B) with trait description of OTUs should be always specified.\n");
  files.b = ReadDataFileName(con, &files.bName);
  Print(con.out, "A matrix (F) with phylogenetic resemblances of the OTUs 0/1\t");
  if (AskOption(con, "0 1") == 1) files.f = ReadDataFileName(con);
  Print(con.out, "A matrix (W) with records of OTUS in commmunities should be always specified.\n");
  files.w = ReadDataFileName(con, &files.wName);
  Print(con.out, "Species names of OTUs 0/1\t");
  if (AskOption(con, "0 1") == 1) files.spp = ReadDataFileName(con, &files.sppName);
  Print(con.out, "A matrix (E) with ecosystem variables of the community sites 0/1\t");
  if (AskOption(con, "0 1") == 1) files.e = ReadDataFileName(con, &files.eName);
}

// Steps 6 to 11: sizes, B with its labels, trait types and trait groups.
void ReadTraits(Console& con, DataSet& ds, RawFiles& files) {
  Rule(con);
  Print(con.out, "Number of OTUs: ");
  ds.tcst = AskCount(con);
  Print(con.out, "Enter number of traits (characters): ");
  ds.nch = AskCount(con);
  ds.chtype.assign(Z(ds.nch), 0);
  ds.onsta.assign(Z(ds.nch), 0);
  ds.chrange.assign(Z(ds.nch), 0.0);
  ds.traitGroups.assign(Z(ds.nch), 0);
  ds.csm_Float.Resize(ds.tcst, ds.nch);

  int labelSource = AskLabelSource(con, "Labels for traits: \n", "   1  given by default \n",
                                   files.bName);
  Print(con.out, "Trait matrix (B) format (OTUs = Operational Taxonomic Units): \n");
  Print(con.out, "   1  OTUs as columns / traits as rows \n");
  Print(con.out, "   2  OTUs as rows / traits as columns \n");
  Print(con.out, "Type option no.: ");
  int layout = AskOption(con, "1 2");
  ds.chLabel = DefaultLabels(ds.nch);
  ReadClean(con, files.b, &files.bName, false, [&](RawReader& r) {
    Matrix<double>& B = ds.csm_Float;
    const bool byTraits = layout == 1;
    const int outer = byTraits ? ds.nch : ds.tcst, inner = byTraits ? ds.tcst : ds.nch;
    for (int a = 0; a < outer; ++a)
      for (int b = 0; b < inner; ++b)
        if (!r.Number(byTraits ? B[b][a] : B[a][b])) return false;
    return TrailingLabels(r, labelSource, ds.nch, ds.chLabel);
  });

  Print(con.out,
        "Trait type (1 for dichotomous, 2 for nominal, 3 for interval or ratio scale, 4 for "
        "ordinal): \n");
  PrintTraitLabels(con, ds);
  ReadLongInput(con, ds.nch, ds.chtype, "trait types", "1 2 3 4");

  Print(con.out, "Wish to specify groups of traits? 0/1 ");
  ds.hasTraitGroups = AskOption(con, "0 1") == 1;
  if (ds.hasTraitGroups) {
    PrintTraitLabels(con, ds);
    ReadLongInput(con, ds.nch, ds.traitGroups, "trait groups", "");
  }
}

// Distances larger than 1 on or above the diagonal are divided by the largest
// of them, so that they lie in [0,1]; missing values stay missing. Returns
// whether the matrix was rescaled.
bool NormalizeDistances(int n, double** d) {
  double dmax = 0;
  bool above1 = false;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      if (d[i][j] > 1.0) above1 = true;
      if (d[i][j] > dmax) dmax = d[i][j];
    }
  if (!above1) return false;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      if (d[i][j] != kMissing) d[i][j] /= dmax;
  return true;
}

// Step 12: the phylogeny in one of its three forms.
void ReadPhylogeny(Console& con, DataSet& ds, RawFiles& files) {
  Rule(con);
  if (!files.f) return;
  ds.hasPhylogeny = true;
  const int n = ds.tcst;
  ds.phylogenyRese.Resize(n, n);
  Print(con.out, "Format of phylogenetic resemblance matrix:\n");
  Print(con.out,
        "   1  a full matrix of phylogenetic distances of %d OTUs by %d OTUs (e.g. as given by "
        "PHYLOCOM)\n",
        n, n);
  Print(con.out,
        "   2  a full matrix of phylogenetic similarities of %d OTUs by %d OTUs in the 0-1 range\n",
        n, n);
  Print(con.out,
        "   3  a half, lower-diagonal matrix of phylogenetic similarities of %d OTUs by %d OTUs in "
        "the 0-1 range\n",
        n, n);
  Print(con.out, "Type option no.: ");
  int form = AskOption(con, "1 2 3");
  Matrix<double>& d = ds.phylogenyRese;
  ds.phylogenyMatrixType = form == 1 ? 3 : 1;
  ReadClean(con, files.f, nullptr, false, [&](RawReader& r) {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < (form == 3 ? i + 1 : n); ++j)
        if (!r.Number(d[i][j])) return false;
    return r.NothingLeft();
  });
  if (form == 3) {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < i; ++j) d[j][i] = d[i][j];
  } else if (form == 1 && NormalizeDistances(n, d)) {
    Print(con.out,
          "\nPhylogenetic distances were normalized to values in the range [0,1] by Dnorm = "
          "D/Dmax\n");
  }
  Rule(con);
}

// Step 15, form 3: how many OTUs each community's vector holds. The counts
// must cover the OTUs exactly, each OTU in one community.
void AskCommunityCounts(Console& con, DataSet& ds) {
  for (;;) {
    Print(con.out, "Number of OTUs in each community:\n");
    Print(con.out, "Communities:       \t");
    for (int c = 0; c < ds.ncsm; ++c) Print(con.out, "%d\t", c + 1);
    Print(con.out, "\n");
    ReadLongInput(con, ds.ncsm, ds.ncst, "number of OTUs", "");
    long long sum = 0;
    bool negative = false;
    for (int count : ds.ncst) {
      if (count < 0) negative = true;
      sum += count;
    }
    if (!negative && sum == ds.tcst) return;
    Print(con.err, "\nError!! Reenter!!\n");
  }
}

// Steps 13 to 17: W with its community labels, and the check of empty communities.
void ReadCommunities(Console& con, DataSet& ds, RawFiles& files) {
  Print(con.out, "Enter number of communities:    ");
  ds.ncsm = AskCount(con);
  ds.ncst.assign(Z(ds.ncsm), 0);
  ds.cadat.Resize(ds.tcst, ds.ncsm);

  int labelSource = AskLabelSource(con, "Labels for communities: \n", "   1  given by default \n",
                                   files.wName);
  Print(con.out, "Format of matrix (W) with OTUs performances: \n");
  Print(con.out, "   1  Communities as rows \n");
  Print(con.out, "   2  Communities as columns\n");
  Print(con.out, "   3  Community data is a vector of OTUs performances in each community\n");
  Print(con.out, "Type option no.: ");
  int form = AskOption(con, "1 2 3");
  Matrix<double>& W = ds.cadat;  // stored with OTUs as rows
  if (form == 3) AskCommunityCounts(con, ds);
  ds.reLabel = DefaultLabels(ds.ncsm);
  ReadClean(con, files.w, &files.wName, false, [&](RawReader& r) {
    if (form == 1) {
      for (int c = 0; c < ds.ncsm; ++c)
        for (int i = 0; i < ds.tcst; ++i)
          if (!r.Number(W[i][c])) return false;
    } else if (form == 2) {
      for (int i = 0; i < ds.tcst; ++i)
        for (int c = 0; c < ds.ncsm; ++c)
          if (!r.Number(W[i][c])) return false;
    } else {
      int otu = 0;
      for (int c = 0; c < ds.ncsm; ++c)
        for (int k = 0; k < ds.ncst[Z(c)]; ++k, ++otu)
          if (!r.Number(W[otu][c])) return false;
    }
    return TrailingLabels(r, labelSource, ds.ncsm, ds.reLabel);
  });

  for (int c = 0; c < ds.ncsm; ++c) {
    bool empty = true;
    for (int i = 0; i < ds.tcst && empty; ++i)
      if (W[i][c] != 0 && W[i][c] != kMissing) empty = false;
    if (empty)
      Print(con.out,
            "\nPlease check matrix W. Sampling unit %s has all values zero or missing (-999), which "
            "will generate unreliable results.",
            ds.reLabel[Z(c)].c_str());
  }
}

// One species name per line, at most 70 characters: the rest of a longer line
// is passed over so that it cannot become the next OTU's name.
std::string SpeciesLine(Console& con, TextIn& file) {
  std::string name;
  int end = freadlineckTEMP(con, file, kLabelWidth, name);
  if (end == 0) {
    int c;
    while ((c = file.Get()) != TextIn::kEof && c != '\n' && c != '\r') {
    }
  }
  return name;
}

// Step 18: species names of the OTUs, their codes and their communities.
void ReadSpecies(Console& con, DataSet& ds, RawFiles& files) {
  if (!files.spp) return;
  ds.nSpp = ds.tcst;
  ds.whichSpp = files.sppName;
  Rule(con);
  Print(con.out, "Species labels are: \n");
  Print(con.out, "   1  the first 4 characters preceding each species name\n");
  Print(con.out, "   2  to be created by the program\n");
  Print(con.out, "Type option no.: ");
  int labelOption = AskOption(con, "1 2");
  ds.spp.assign(Z(ds.tcst), std::string());
  for (auto& name : ds.spp) name = SpeciesLine(con, *files.spp);
  files.spp.reset();
  ds.sppRelMap.Resize(ds.tcst, ds.ncsm);
  ds.cstSppMap.Resize(ds.tcst, ds.tcst);
  CheckSpecies(ds, labelOption);
  SpeciesReleveMap(ds);
}

// Step 19, kind 5: the type of each variable; the kind is kept only when the
// types really mix.
void AskMixedTypes(Console& con, DataSet& ds) {
  for (;;) {
    Print(con.out,
          "Enter variable type (1:binary, 2:nominal, 3:quantitative interval or ratio scale, "
          "4:ordinal): \n");
    Print(con.out, "Variable:    \t");
    for (const auto& label : ds.envLabel) Print(con.out, "%*.*s ", kLabelWidth, kLabelWidth, label.c_str());
    Print(con.out, "\n");
    ReadLongInput(con, ds.nenv, ds.envVarType, "variable type", "1 2 3 4");
    // The flags describe the types just entered, not those of a corrected attempt.
    ds.temEnvBin = ds.temEnvQual = ds.temEnvQuant = 0;
    for (int t : ds.envVarType) {
      if (t == 1) ds.temEnvBin = 1;
      if (t == 2) ds.temEnvQual = 1;
      if (t == 3 || t == 4) ds.temEnvQuant = 1;
    }
    if (ds.temEnvBin + ds.temEnvQual + ds.temEnvQuant >= 2) return;
    Print(con.out, "Data not mixed as indicated!!!\n");
    Print(con.out, "Wish to correct manually? y/n ");
    if (ReadCharIn(con, "y n") == 'y') continue;
    ds.optEnvVarType = ds.temEnvQual ? 3 : ds.temEnvQuant ? 2 : 4;
    return;
  }
}

// Steps 19 to 22: E with its kind, variable types and labels.
void ReadEnvironment(Console& con, DataSet& ds, RawFiles& files) {
  if (!files.e) return;
  Rule(con);
  Print(con.out, "Number of environmental variables: ");
  ds.nenv = AskCount(con);
  ds.env.Resize(ds.ncsm, ds.nenv);
  ds.envLabel.assign(Z(ds.nenv), std::string());
  ds.envVarType.assign(Z(ds.nenv), 0);
  int labelSource = AskLabelSource(con, "Labels for environmental variables: \n",
                                   "   1  given by default\n", files.eName);
  Print(con.out,
        "Types of variables: \n   1 only quantitative variables, same units \n   2 only "
        "quantitative variables, different units \n   3 only qualitative, non binary variables\n "
        "  4 only binary variables\n   5 several types \n");
  Print(con.out, "Type option no.: ");
  ds.optEnvVarType = AskOption(con, "1 2 3 4 5");
  ds.temEnvBin = ds.temEnvQual = ds.temEnvQuant = 0;
  switch (ds.optEnvVarType) {
    case 1:
    case 2:
      ds.envVarType.assign(Z(ds.nenv), 3);
      ds.temEnvQuant = 1;
      break;
    case 3:
      ds.envVarType.assign(Z(ds.nenv), 2);
      ds.temEnvQual = 1;
      break;
    case 4:
      ds.envVarType.assign(Z(ds.nenv), 1);
      ds.temEnvBin = 1;
      break;
    default:
      AskMixedTypes(con, ds);
      break;
  }

  bool byCommunities = false;
  if (ds.nenv > 1) {
    Print(con.out, "Data entered by communities(N) or by variables(T)?: ");
    byCommunities = ReadCharIn(con, "n t") == 'n';
  }
  ds.envLabel = DefaultLabels(ds.nenv);
  // The E file has no headers: every word where a number is expected is refused.
  ReadClean(con, files.e, &files.eName, true, [&](RawReader& r) {
    const int outer = byCommunities ? ds.ncsm : ds.nenv, inner = byCommunities ? ds.nenv : ds.ncsm;
    for (int a = 0; a < outer; ++a)
      for (int b = 0; b < inner; ++b)
        if (!r.Number(byCommunities ? ds.env[a][b] : ds.env[b][a])) return false;
    return TrailingLabels(r, labelSource, ds.nenv, ds.envLabel);
  });
  ds.envName = files.eName;

  for (int c = 0; c < ds.ncsm; ++c) {
    bool allMissing = true;
    for (int v = 0; v < ds.nenv && allMissing; ++v)
      if (ds.env[c][v] != kMissing) allMissing = false;
    if (allMissing)
      Print(con.out,
            "\nPlease check matrix E. Sampling unit %s has all values missing (-999), which will "
            "generate unreliable results.",
            ds.reLabel[Z(c)].c_str());
  }
}

// The derivation dialogue prints menu headers and sets partitions as the
// session does; a new session has no cluster analysis records to offer.
DerivedSessionHooks DerivedHooks(Console& con, const MenuHeader& menu, const NewSession& session,
                                 const SessionTrack& track, AnalysisOptions& opts) {
  DerivedSessionHooks hooks;
  hooks.menu = menu;
  hooks.setGroups = [&con, menu, &session, &track, &opts](DataSet& ds, int n, int& nGroups, int* groupOf,
                                                          std::vector<std::string>& labels) {
    SettingAnyGroups(con, menu, ds, track, opts, session.volumeName, n, nGroups, groupOf, labels, "communities");
  };
  return hooks;
}

// The new session's data must load before its track file may name them.
void RecordNewData(Console& con, const NewSession& session, SessionTrack& track) {
  DataSet ds;
  ReadFormda(con, ds, session.volumeName + track.whichFormda);
  WriteTrack(con, track, ds, AnalysisOptions(), session.trackPath, 0);
  ForgetSessionResults(track, ds);
}

// Option 3 of "DATA FOR SESSION": the new session joins the data of two
// sessions. True when the session has data.
bool MergeSessions(Console& con, const NewSession& session, SessionTrack& track) {
  Print(con.out, "\nEnter names of the sessions from which data is to be merged:");
  Print(con.out, "\nFirst session name: ");
  const std::string first = CutTo(ReadStringIn(con), kFileNameWidth) + formdaExt;
  if (!fopenck(con, first, session.volumeName)) return false;
  DataSet ds;
  ReadFormda(con, ds, session.volumeName + first);
  ClearLine(con);
  Print(con.out, "Second session name: ");
  const std::string second = CutTo(ReadStringIn(con), kFileNameWidth) + formdaExt;
  if (!fopenck(con, second, session.volumeName)) return false;
  ds.dataName = first;
  const std::string merged = session.sessionName + formdaExt;
  if (!MergeFormda(con, ds, session.volumeName + second, second, session.volumeName + merged)) return false;
  track.whichFormda = merged;
  RecordNewData(con, session, track);
  return true;
}

// Option 2 of "DATA FOR SESSION": the new session uses the formatted data
// file of another session. True when the session has data.
bool UseOtherSession(Console& con, const MenuHeader& menu, const NewSession& session, SessionTrack& track) {
  Print(con.out, "\nEnter name of the session from which data is to be extracted: ");
  std::string source = CutTo(ReadStringIn(con), kFileNameWidth);
  track.whichFormda = source + formdaExt;
  if (!fopenck(con, track.whichFormda, session.volumeName)) return false;
  Print(con.out, "\nUse file %s:\n", track.whichFormda.c_str());
  Print(con.out, "   1  as it is \n");
  Print(con.out, "   2  modified \n");
  Print(con.out, "   3  return to main menu \n");
  Print(con.out, "Type option no.: ");
  int use = AskOption(con, "1 2 3");
  Print(con.out, "\n\n");
  if (use == 3) return false;
  if (use == 2) {
    const std::string sourceName = track.whichFormda;
    track.whichFormda = session.sessionName + formdaExt;
    DataSet derived;
    AnalysisOptions opts;  // records only which objects the pooling groups were
    PickSomeFormda(con, derived,
                   {session.volumeName + sourceName, sourceName, session.volumeName + track.whichFormda,
                    track.whichFormda},
                   DerivedHooks(con, menu, session, track, opts));
  }
  RecordNewData(con, session, track);
  return true;
}

}  // namespace

void CountStates(int nch, int tcst, int* onsta, const double* const* B) {
  std::vector<double> seen;
  for (int k = 0; k < nch; ++k) {
    seen.clear();
    onsta[k] = 0;
    for (int i = 0; i < tcst; ++i) {
      double x = B[i][k];
      if (x == kMissing) continue;
      bool known = false;
      for (double s : seen)
        if (s == x) {
          known = true;
          break;
        }
      if (known) continue;
      seen.push_back(x);
      ++onsta[k];
    }
  }
}

void IFFormat(Console& con, const MenuHeader& menu, const std::string& formdaPath) {
  DataSet ds;  // lives only until the formatted data file is written
  RawFiles files;
  AskFiles(con, menu, files);
  ReadTraits(con, ds, files);
  ReadPhylogeny(con, ds, files);
  ReadCommunities(con, ds, files);
  ReadSpecies(con, ds, files);
  ReadEnvironment(con, ds, files);
  CountStates(ds.nch, ds.tcst, ds.onsta.data(), ds.csm_Float);
  // The file keeps ranges as 0 (the analyses recompute them), but the data
  // set is complete in memory as any reader of it expects.
  RangeStates(ds.nch, ds.tcst, ds.csm_Float, ds.chtype.data(), ds.chrange.data());
  ds.dataName = files.bName;
  WriteFormda(con, ds, ds.tcst, formdaPath, ds.dataName, ds.csm_Float, ds.cadat);
}

int SetFormda(Console& con, const MenuHeader& menu, const NewSession& session, SessionTrack& track) {
  menu("DATA FOR SESSION");
  for (;;) {
    Print(con.out, "Options:\n");
    Print(con.out, "   1  format raw data \n");
    Print(con.out, "   2  use formatted data from another session\n");
    Print(con.out, "   3  merge formatted data from two sessions\n");
    Print(con.out, "   4  return to main menu \n");
    Print(con.out, "Type option no.: ");
    int option = AskOption(con, "1 2 3 4");
    if (option == 1) {
      track.whichFormda = session.sessionName + formdaExt;
      IFFormat(con, menu, session.volumeName + track.whichFormda);
      WriteTrack(con, track, DataSet(), AnalysisOptions(), session.trackPath, 0);
      return 0;
    }
    if (option == 2) {
      if (UseOtherSession(con, menu, session, track)) return 0;
      continue;
    }
    if (option == 3) {
      if (MergeSessions(con, session, track)) return 0;
      continue;
    }
    return 1;
  }
}

}  // namespace kalios
