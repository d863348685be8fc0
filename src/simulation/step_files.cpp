#include "simulation/step_files.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "shell/abort.h"

namespace kalios {
namespace {

// One append to one step file: opened here, closed by Close(), which reports a
// failed write. On the abort path the destructor closes the stream quietly.
class StepFile {
 public:
  StepFile(const MetacommunitySimulation_Input& in, const char* name) : digits_(in.nDigits) {
    const std::string path = in.stepDirectory.empty() ? std::string(name) : in.stepDirectory + "/" + name;
    f_ = std::fopen(path.c_str(), "a");
    if (!f_) Abort(kAbortOpenFailed);
  }
  ~StepFile() {
    if (f_) std::fclose(f_);
  }
  StepFile(const StepFile&) = delete;
  StepFile& operator=(const StepFile&) = delete;

  void Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    Flush();
    va_list ap;
    va_start(ap, fmt);
    if (std::vfprintf(f_, fmt, ap) < 0) failed_ = true;
    va_end(ap);
  }
  // One value as "%.*g\t" with the file's digits. std::to_chars writes the
  // same characters as printf in the C locale, several times faster, and the
  // large blocks of every iteration are mostly such numbers; they are
  // gathered here and handed to the stream in large pieces.
  void Value(double x) {
    if (used_ + 64 > sizeof buffer_) Flush();
    char* text = buffer_ + used_;
    auto [end, ec] = std::to_chars(text, text + 63, x, std::chars_format::general, digits_);
    if (ec != std::errc()) {
      Printf("%.*g\t", digits_, x);
      return;
    }
    *end++ = '\t';
    used_ = static_cast<std::size_t>(end - buffer_);
  }
  // Row after row, each value "%.*g\t", each row ending with a line end.
  void Table(int rows, int cols, const double* const* m) {
    for (int i = 0; i < rows; ++i) Vector(cols, m[i]);
  }
  void Vector(int n, const double* v) {
    for (int j = 0; j < n; ++j) Value(v[j]);
    if (used_ == sizeof buffer_) Flush();
    buffer_[used_++] = '\n';
  }
  void Vector(int n, const int* v) {
    for (int j = 0; j < n; ++j) Printf("%d\t", v[j]);
    Printf("\n");
  }
  void Close() {
    Flush();
    const bool bad = failed_ || std::ferror(f_) != 0;
    const bool closeFailed = std::fclose(f_) != 0;
    f_ = nullptr;
    // The program's file-open code also covers a step file that takes no more text.
    if (bad || closeFailed) Abort(kAbortOpenFailed);
  }

 private:
  void Flush() {
    if (used_ > 0 && std::fwrite(buffer_, 1, used_, f_) != used_) failed_ = true;
    used_ = 0;
  }

  std::FILE* f_ = nullptr;
  int digits_;
  bool failed_ = false;
  char buffer_[8192];
  std::size_t used_ = 0;
};

}  // namespace

void WriteDispersalHeader(const MetacommunitySimulation_Input& in, int t) {
  StepFile f(in, kDispersalProbFile);
  f.Printf("Iteration:\t%d\tAbundance:\t%d:\n", t, in.totalAbundance);
  f.Close();
}

void WriteDispersalLine(const MetacommunitySimulation_Input& in, int site, int otu, double probability) {
  StepFile f(in, kDispersalProbFile);
  f.Printf("Community:\t%d\tOTU:\t%d\tProb dispersal:\t%g\n", site + 1, otu + 1, probability);
  f.Close();
}

void WriteCompositionBlock(const MetacommunitySimulation_Input& in, int t, bool afterMortality) {
  StepFile f(in, kCommunityDataFile);
  if (afterMortality)
    f.Printf("\nCommunity data matrix at step %d, AFTER mortality, for %d community sites in rows and %d OTUs in columns:\n",
             t, in.nSites, in.nOTUs);
  else
    f.Printf("\nCommunity data matrix at step %d, BEFORE mortality, for %d community sites in rows and %d OTUs in columns:\n",
             t, in.nSites, in.nOTUs);
  f.Table(in.nSites, in.nOTUs, in.w);
  f.Printf("\nAbundance in each community:\n");
  f.Vector(in.nSites, in.abundanceSite.data());
  f.Printf("\nAbundance of each OTU across communities:\n");
  f.Vector(in.nOTUs, in.w[in.nSites]);
  f.Printf("Total abundance:\t%d\n", in.totalAbundance);
  f.Close();
}

void WriteAgeBlock(const MetacommunitySimulation_Input& in, int t, bool afterMortality) {
  StepFile f(in, kAverageAgeFile);
  if (afterMortality)
    f.Printf("\nAverage age data matrix at step %d, AFTER mortality, for %d community sites in rows and %d OTUs in columns:\n",
             t, in.nSites, in.nOTUs);
  else
    f.Printf("\nAverage age data matrix at step %d, BEFORE mortality, for %d community sites in rows and %d OTUs in columns:\n",
             t, in.nSites, in.nOTUs);
  f.Table(in.nSites, in.nOTUs, in.averageAge);
  f.Printf("\nAverage age of individuals in each community:\n");
  for (int i = 0; i < in.nSites; ++i) f.Printf("%.*g\t", in.nDigits, in.averageAge[i][in.nOTUs]);
  f.Printf("\n");
  f.Printf("\nAverage age of individuals of each OTU across communities:\n");
  f.Vector(in.nOTUs, in.averageAge[in.nSites]);
  f.Close();
}

void WriteMortalityHeader(const MetacommunitySimulation_Input& in, int t) {
  StepFile f(in, kDensityAgeProbFile);
  f.Printf("Iteration:\t%d\tAbundance:\t%d:\n", t, in.totalAbundance);
  f.Close();
}

void WriteDensityLine(const MetacommunitySimulation_Input& in, int site, double probability) {
  StepFile f(in, kDensityAgeProbFile);
  f.Printf("Community:\t%d\tDensity dependence survival probability:\t%g\n", site + 1, probability);
  f.Close();
}

void WriteAgeSurvivalLine(const MetacommunitySimulation_Input& in, int site, int otu, double age, double probability) {
  StepFile f(in, kDensityAgeProbFile);
  f.Printf("Community:\t%d\tOTU:\t%d\tIndividual age (years):\t%g\tAge-related survival probability:\t%g\n", site + 1,
           otu + 1, age, probability);
  f.Close();
}

void WriteFilteringBlocks(const MetacommunitySimulation_Input& in, int t) {
  const MetacommunityWork& work = in.work;
  {
    StepFile f(in, kEnvDataFile);
    for (int i = 0; i < in.nSites; ++i) {
      f.Printf("%d\t%d\t", t, i + 1);
      for (int k = 0; k < in.nFactors; ++k) f.Printf("%g\t", in.ecosystem[k][i]);
      f.Printf("\n");
    }
    f.Close();
  }
  {
    StepFile f(in, kEnvDataOutliersFile);
    for (int i = 0; i < in.nSites; ++i) {
      f.Printf("%d\t%d\t", t, i + 1);
      for (int k = 0; k < in.nFactors; ++k) f.Printf("%d\t", work.outlier[k][i]);
      f.Printf("\n");
    }
    f.Close();
  }
  {
    StepFile f(in, kCwmExpectedFile);
    for (int i = 0; i < in.nSites; ++i) {
      f.Printf("%d\t%d\t", t, i + 1);
      for (int k = 0; k < in.nTraits; ++k) f.Printf("%g\t", in.cwmExpected[k][i]);
      f.Printf("\n");
    }
    f.Close();
  }
  {
    StepFile f(in, kDistancesFile);
    f.Printf("\nDistances (absolute difference) between OTU trait value and expected value at the community site, at "
             "step %d, %d community sites in rows and for %d OTUs in columns (computed separatey per trait):\n",
             t, in.nSites, in.nOTUs);
    for (int k = 0; k < in.nTraits; ++k) {
      f.Printf("Trait %d:\n", k + 1);
      f.Table(in.nSites, in.nOTUs, work.distance[k]);
    }
    f.Close();
  }
  {
    StepFile f(in, kProbFile);
    f.Printf("\nProbabilities of survival of OTUs at the community sites, at step %d, for %d community sites in rows "
             "and %d OTUs in columns, per trait and combined for all traits:\n",
             t, in.nSites, in.nOTUs);
    for (int k = 0; k < in.nTraits; ++k) {
      f.Printf("TRAIT %d:\n", k + 1);
      f.Table(in.nSites, in.nOTUs, work.survival[k]);
    }
    f.Printf("\nCOMBINED probabilities of survival considering the %d traits, at step %d, for %d community sites in "
             "rows and %d OTUs in columns:\n",
             in.nTraits, t, in.nSites, in.nOTUs);
    f.Table(in.nSites, in.nOTUs, work.S);
    f.Close();
  }
}

void WriteAgeWeightedBlock(const MetacommunitySimulation_Input& in, int t) {
  StepFile f(in, kAgeWeightedFile);
  f.Printf("\nAge-weighted abundances (community data matrix) at step %d, AFTER mortality, for %d community sites in "
           "rows and %d OTUs in columns:\n",
           t, in.nSites, in.nOTUs);
  f.Table(in.nSites, in.nOTUs, in.wAgeWeighted);
  f.Close();
}

void WriteCwmLines(const MetacommunitySimulation_Input& in, int t) {
  StepFile f(in, kCwmFile);
  for (int i = 0; i < in.nSites; ++i) {
    f.Printf("%d\t%d\t", t, i + 1);
    for (int k = 0; k < in.nTraits; ++k) f.Printf("%g\t", in.work.cwm[k][i]);
    f.Printf("\n");
  }
  f.Close();
}

}  // namespace kalios
