#include <malloc.h>

#include <iostream>
#include <string>

#include "shell/shell.h"

int main(int argc, char** argv) {
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
