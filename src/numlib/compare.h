#pragma once
// Comparisons of computed values that tolerate rounding: a null statistic that
// equals the observed one but for the last bits of its computation is a tie.
namespace kalios {

// True when a and b, in single precision, are within maxUlps units in the last
// place (0 < maxUlps < 4 * 1024 * 1024).
bool AlmostEqual2sComplement(double a, double b, int maxUlps);
// a almost equal to b or a > b; with absolute both are taken as absolute values.
bool IsLargerThanOrEqual(double a, double b, int maxUlps, bool absolute);
// tolerance > |a - b|.
bool AlmostEqual_Tolerance(double a, double b, double tolerance);

}  // namespace kalios
