#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "shell/shell.h"

namespace {

// A large analysis touches gigabytes of fresh memory, and on virtual machines
// each 4 kB page costs a fault of several microseconds: seconds in the kernel
// at 2,000 communities. glibc's malloc asks for transparent huge pages when
// its tunable says so, but reads the tunable only at start-up; so the program
// starts itself once more with it set, before reading anything. A tunable the
// user set is left as it is, and if the restart fails the run goes on with
// ordinary pages.
void RestartWithHugePages(char** argv) {
  constexpr const char* kName = "GLIBC_TUNABLES";
  constexpr const char* kTunable = "glibc.malloc.hugetlb";
  const char* old = std::getenv(kName);
  if (old != nullptr && std::strstr(old, kTunable) != nullptr) return;
  const std::string saved = old != nullptr ? old : "";
  const std::string value = (saved.empty() ? std::string() : saved + ":") + kTunable + "=1";
  if (setenv(kName, value.c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
  if (old != nullptr)
    setenv(kName, saved.c_str(), 1);
  else
    unsetenv(kName);
}

}  // namespace

int main(int argc, char** argv) {
  RestartWithHugePages(argv);
  kalios::ProgramOptions options;
  std::string message;
  bool help = false;
  if (!kalios::ParseCommandLine(argc, argv, options, message, help)) {
    (help ? std::cout : std::cerr) << message;
    return help ? 0 : 2;
  }
  // Matrices of thousands of communities or OTUs are tens of megabytes each
  // and are made and dropped many times in an analysis. Served by mmap, each
  // one would come back as fresh pages, every page faulted in again; kept on
  // the heap, freed blocks are reused.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  kalios::Console con(std::cin, std::cout, std::cerr);
  return kalios::RunProgram(con, options);
}
