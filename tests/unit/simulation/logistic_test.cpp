#include "simulation/logistic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/compare.h"

namespace kalios {
namespace {

using test::Close;

TEST(Logistic, PassesTheMidpointAtTheCentreWithTheGivenTangent) {
  // x from 2 to 6, y from 10 to 20, centre 0.25 -> x = 3, y = 15.
  const double slope = -1.7, h = 1e-6;
  EXPECT_TRUE(Close(Logistic(3.0, 2, 6, 10, 20, slope, 0.25), 15.0));
  const double tangent = (Logistic(3.0 + h, 2, 6, 10, 20, slope, 0.25) - Logistic(3.0 - h, 2, 6, 10, 20, slope, 0.25)) / (2 * h);
  EXPECT_TRUE(Close(tangent, slope, 1e-6));
  // Falling with a negative slope, rising with a positive one, bounded by ymin..ymax.
  EXPECT_GT(Logistic(2.0, 2, 6, 10, 20, slope, 0.25), Logistic(6.0, 2, 6, 10, 20, slope, 0.25));
  EXPECT_LT(Logistic(2.0, 2, 6, 10, 20, 3.0, 0.25), Logistic(6.0, 2, 6, 10, 20, 3.0, 0.25));
  EXPECT_TRUE(Close(Logistic(1e6, 2, 6, 10, 20, slope, 0.25), 10.0));
}

TEST(Logistic, NotANumberEndsInTheNumericalAbortWithItsMessage) {
  try {
    Logistic(0.5, 0, 1, 1, 1, -2.0, 0.5);  // ymax = ymin at the centre: 0 times an infinite rate
    FAIL() << "no abort";
  } catch (const AbortError& e) {
    EXPECT_EQ(e.code(), kAbortOutOfMemory);
    EXPECT_STREQ(e.what(), "Logistic function returned a NaN value!");
  }
}

TEST(LogisticDraws, CentreInRangeAndSlopeSteepEnoughForTheCentre) {
  RandomGenerator rng(7);
  for (int n = 0; n < 200; ++n) {
    const double c = RndLogisticCentre(rng, 0.2, 0.9);
    ASSERT_GE(c, 0.2);
    ASSERT_LT(c, 0.9);
    // A gentle range is made steep enough to run from >= 0.999 to <= 0.001.
    const double s = RndLogisticSlopeAdjusted(rng, -0.05, -0.01, c);
    ASSERT_GE(Logistic(0, 0, 1, 0, 1, s, c), 0.999 - 1e-12);
    ASSERT_LE(Logistic(1, 0, 1, 0, 1, s, c), 0.001 + 1e-12);
  }
  // At the ends of 0..1 only the other end limits the slope: finite, not NaN.
  const double at0 = RndLogisticSlopeAdjusted(rng, -0.05, -0.01, 0.0);
  const double at1 = RndLogisticSlopeAdjusted(rng, -0.05, -0.01, 1.0);
  EXPECT_TRUE(std::isfinite(at0) && std::isfinite(at1));
  EXPECT_TRUE(Close(at0, -6.906754778648553 / 4));
  EXPECT_TRUE(Close(at1, -6.906754778648552 / 4));
}

}  // namespace
}  // namespace kalios
