#include "numlib/compare.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kalios {

bool AlmostEqual2sComplement(double a, double b, int maxUlps) {
  assert(maxUlps > 0 && maxUlps < 4 * 1024 * 1024);
  auto ordered = [](double x) {
    const float f = static_cast<float>(x);
    std::int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    // Negative floats count down from the sign bit; mapping them below zero
    // orders the integers like the floats and makes +0 and -0 coincide.
    std::int64_t v = bits;
    if (bits < 0) v = -static_cast<std::int64_t>(bits & 0x7FFFFFFF);
    return v;
  };
  const std::int64_t diff = ordered(a) - ordered(b);
  return (diff < 0 ? -diff : diff) <= maxUlps;
}

bool IsLargerThanOrEqual(double a, double b, int maxUlps, bool absolute) {
  if (absolute) {
    a = std::fabs(a);
    b = std::fabs(b);
  }
  return AlmostEqual2sComplement(a, b, maxUlps) || a > b;
}

bool AlmostEqual_Tolerance(double a, double b, double tolerance) { return tolerance > std::fabs(a - b); }

}  // namespace kalios
