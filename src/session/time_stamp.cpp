#include "session/time_stamp.h"

#include <ctime>

namespace kalios {

std::string TimeStampText() {
  std::time_t now = std::time(nullptr);
  char buf[64];
  std::tm tmv{};
  localtime_r(&now, &tmv);
  std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y\n", &tmv);
  return buf;
}

}  // namespace kalios
