#include "plot/figures.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "support/tempdir.h"

namespace kalios {
namespace {

using testing::ReadAll;
using testing::TempDir;

TEST(PanelRange, HoldsTheObservedValueAndLimitsFarFromTheNullsAndSurvivesDegenerateData) {
  NullPanel p;
  p.nulls = {0.1, 0.2, NAN, 0.3, INFINITY};
  p.observed = 0.9;
  p.lower = -0.5;
  p.upper = 0.25;
  double lo = 0, hi = 0;
  PanelRange(p, lo, hi);
  EXPECT_LT(lo, -0.5);
  EXPECT_GT(hi, 0.9);
  EXPECT_TRUE(std::isfinite(lo) && std::isfinite(hi));

  NullPanel flat;  // every null value equal to the observed one, no limits
  flat.nulls = {2.0, 2.0};
  flat.observed = 2.0;
  flat.hasLimits = false;
  PanelRange(flat, lo, hi);
  EXPECT_LT(lo, 2.0);
  EXPECT_GT(hi, 2.0);
}

TEST(Figures, AreCompleteSvgFilesPutInPlaceAndAFailureIsAReasonNotACrash) {
  TempDir dir;
  NullPanel p;
  p.title = "r(XE)  P = 0.01  #";  // the library's escape character prints as typed
  for (int i = 0; i < 99; ++i) p.nulls.push_back(std::sin(i));
  p.observed = 1.5;
  p.lower = -0.9;
  p.upper = 0.9;
  const std::string path = dir / "null.svg";
  EXPECT_EQ(DrawNullDistributions(path, "Mantel statistics", {p, p, p}, "95% limits"), "");
  const std::string svg = ReadAll(path);
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);

  PointMap map;
  map.title = "PCoA";
  map.x = {0, 1, 2};
  map.y = {0, -1, 1};
  map.labels = {"a", "b", "c"};
  EXPECT_EQ(DrawPointMap(dir / "map.svg", map), "");

  // A folder that does not exist: a reason, and nothing left behind.
  const std::string missing = dir / "no/such/folder/x.svg";
  EXPECT_NE(DrawPointMap(missing, map), "");
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2u);
}

}  // namespace
}  // namespace kalios
