#include <iostream>

#include "shell/shell.h"

int main() {
  kalios::Console con(std::cin, std::cout, std::cerr);
  return kalios::RunProgram(con);
}
