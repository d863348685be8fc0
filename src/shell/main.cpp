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
  kalios::Console con(std::cin, std::cout, std::cerr);
  return kalios::RunProgram(con, options);
}
