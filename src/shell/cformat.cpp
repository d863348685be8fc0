#include "shell/cformat.h"

#include <cstdio>
#include <vector>

namespace kalios {

std::string Vformat(const char* fmt, va_list ap) {
  char small[256];
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  return std::string(big.data(), static_cast<size_t>(n));
}

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = Vformat(fmt, ap);
  va_end(ap);
  return s;
}

int Print(std::ostream& os, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = Vformat(fmt, ap);
  va_end(ap);
  os.write(s.data(), static_cast<std::streamsize>(s.size()));
  return static_cast<int>(s.size());
}

}  // namespace kalios
