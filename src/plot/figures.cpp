#include "plot/figures.h"

#include <plplot.h>

#include <algorithm>
#include <cmath>

#include "plot/isolated_drawing.h"

namespace kalios {
namespace {

constexpr int kAxes = 1, kObserved = 2, kLimits = 3, kBars = 4, kOutline = 5;
constexpr int kSolid = 1, kDashed = 3;

// Widens [low, high] by a margin on both sides; a single point gets a range
// of its own size (or of 1 around 0).
// The smallest and largest of v (both left as they are when v is empty).
void Extent(const std::vector<double>& v, double& lo, double& hi) {
  if (v.empty()) return;
  lo = *std::min_element(v.begin(), v.end());
  hi = *std::max_element(v.begin(), v.end());
}

void Pad(double& low, double& high, double share) {
  if (!(high > low)) {
    const double half = low == 0 ? 0.5 : std::fabs(low) * 0.1;
    low -= half;
    high += half;
    return;
  }
  const double margin = (high - low) * share;
  low -= margin;
  high += margin;
}

std::vector<double> Finite(const std::vector<double>& v) {
  std::vector<double> out;
  out.reserve(v.size());
  for (double x : v)
    if (std::isfinite(x)) out.push_back(x);
  return out;
}

void VerticalLine(double x, double ymax, int colour, int style, double width) {
  plcol0(colour);
  pllsty(style);
  plwidth(width);
  pljoin(x, 0.0, x, ymax);
  pllsty(kSolid);
  plwidth(1.0);
}

// A tick step giving about `count` labelled ticks over [low, high]: 1, 2 or 5
// times a power of ten, so that narrow panels keep their labels apart.
double TickStep(double low, double high, int count) {
  const double raw = (high - low) / count;
  if (!(raw > 0)) return 0.0;
  const double unit = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * unit >= raw) return m * unit;
  return 10.0 * unit;
}

// One panel in the viewport [x0, x1] x [y0, y1] of the page.
void DrawPanel(const NullPanel& p, double x0, double x1, double y0, double y1) {
  double low = 0, high = 0;
  PanelRange(p, low, high);
  const std::vector<double> nulls = Finite(p.nulls);
  const int bins = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(nulls.size()))), 10, 40);
  const double width = (high - low) / bins;
  std::vector<double> counts(static_cast<std::size_t>(bins), 0.0);
  for (double x : nulls) {
    const int b = std::clamp(static_cast<int>((x - low) / width), 0, bins - 1);
    counts[static_cast<std::size_t>(b)] += 1.0;
  }
  const double top = std::max(1.0, *std::max_element(counts.begin(), counts.end())) * 1.1;
  plvpor(x0, x1, y0, y1);
  plwind(low, high, 0.0, top);
  for (int b = 0; b < bins; ++b) {
    const double c = counts[static_cast<std::size_t>(b)];
    if (c <= 0) continue;
    const double b0 = low + b * width, b1 = b0 + width;
    PLFLT xs[4] = {b0, b0, b1, b1};
    PLFLT ys[4] = {0.0, c, c, 0.0};
    plcol0(kBars);
    plfill(4, xs, ys);
    plcol0(kOutline);
    plline(4, xs, ys);
  }
  if (p.hasLimits) {
    VerticalLine(p.lower, top, kLimits, kDashed, 1.5);
    VerticalLine(p.upper, top, kLimits, kDashed, 1.5);
  }
  VerticalLine(p.observed, top, kObserved, kSolid, 2.5);
  plcol0(kAxes);
  plbox("bcnst", TickStep(low, high, 4), 0, "bcnstv", TickStep(0.0, top, 4), 0);
  plmtex("t", 0.8, 0.5, 0.5, PlotText(p.title).c_str());
  plmtex("l", 3.2, 0.5, 0.5, "frequency");
}

}  // namespace

std::string PlotText(const std::string& s) {
  std::string out;
  for (char c : s) {
    out += c;
    if (c == '#') out += '#';
  }
  return out;
}

void PanelRange(const NullPanel& p, double& low, double& high) {
  std::vector<double> all = Finite(p.nulls);
  if (std::isfinite(p.observed)) all.push_back(p.observed);
  if (p.hasLimits)
    for (double x : {p.lower, p.upper})
      if (std::isfinite(x)) all.push_back(x);
  if (all.empty()) all.push_back(0.0);
  const auto [lo, hi] = std::minmax_element(all.begin(), all.end());
  low = *lo;
  high = *hi;
  Pad(low, high, 0.05);
}

std::string DrawNullDistributions(const std::string& path, const std::string& heading,
                                  const std::vector<NullPanel>& panels, const std::string& limitsName) {
  if (panels.empty()) return "no tested statistic";
  const int count = static_cast<int>(panels.size());
  const int columns = std::min(count, count <= 4 ? 2 : count <= 9 ? 3 : 4);
  const int rows = (count + columns - 1) / columns;
  const int headPixels = 60, cellWidth = 360, cellHeight = 260;
  const int width = cellWidth * columns, height = cellHeight * rows + headPixels;
  return DrawIsolated(path, width, height, [&] {
    pladv(0);
    // The library scales its characters with the page height: a taller page
    // of more rows gets them back to the size of a page of three rows.
    const double shrink = std::min(1.0, 3.0 / rows);
    plschr(0.0, 0.7 * shrink);
    // The heading and what the lines stand for, across the top of the page.
    const double head = static_cast<double>(headPixels) / height;
    plvpor(0.0, 1.0, 1.0 - head, 1.0);
    plwind(0.0, 1.0, 0.0, 1.0);
    plcol0(kAxes);
    plmtex("t", -1.8, 0.5, 0.5, PlotText(heading).c_str());
    std::string legend = "grey bars: null values;  solid red line: observed value";
    if (!limitsName.empty()) legend += ";  dashed blue lines: " + limitsName;
    plmtex("t", -3.6, 0.5, 0.5, PlotText(legend).c_str());
    plschr(0.0, 0.55 * shrink);
    const double cw = 1.0 / columns, ch = (1.0 - head) / rows;
    for (int i = 0; i < count; ++i) {
      const int col = i % columns, row = i / columns;
      const double x0 = col * cw, y1 = 1.0 - head - row * ch;
      DrawPanel(panels[static_cast<std::size_t>(i)], x0 + 0.2 * cw, x0 + 0.95 * cw, y1 - 0.8 * ch, y1 - 0.14 * ch);
    }
  });
}

// The plotting frame around the points: their extent padded (by padX of
// its width across, 8 % up and down), drawn with PLplot's axis option; the
// padded x range is returned.
void Frame(const std::vector<double>& xs, const std::vector<double>& ys, double padX, int axis, double& xlo,
           double& xhi) {
  double ylo = 0, yhi = 0;
  xlo = xhi = 0;
  Extent(xs, xlo, xhi);
  Extent(ys, ylo, yhi);
  Pad(xlo, xhi, padX);
  Pad(ylo, yhi, 0.08);
  plcol0(kAxes);
  plenv(xlo, xhi, ylo, yhi, 0, axis);
}

std::string DrawPointMap(const std::string& path, const PointMap& map) {
  return DrawIsolated(path, 760, 640, [&] {
    std::vector<double> xs = map.x, ys = map.y;
    double xlo, xhi;
    Frame(xs, ys, 0.12, 1, xlo, xhi);  // axes through the origin
    pllab(PlotText(map.xLabel).c_str(), PlotText(map.yLabel).c_str(), "");
    // Above the scale factor PLplot may print at the top left corner.
    plmtex("t", 3.0, 0.5, 0.5, PlotText(map.title).c_str());
    plcol0(kObserved);
    plpoin(static_cast<PLINT>(xs.size()), xs.data(), ys.data(), 17);
    plcol0(kAxes);
    plschr(0.0, 0.8);
    const double dx = (xhi - xlo) * 0.01;
    for (std::size_t i = 0; i < xs.size() && i < map.labels.size(); ++i)
      plptex(xs[i] + dx, ys[i], 1.0, 0.0, 0.0, PlotText(map.labels[i]).c_str());
  });
}

std::string DrawLinePlot(const std::string& path, const LinePlot& plot) {
  return DrawIsolated(path, 720, 540, [&] {
    std::vector<double> xs = plot.x, ys = plot.y;
    double xlo, xhi;
    Frame(xs, ys, 0.05, 0, xlo, xhi);
    pllab(PlotText(plot.xLabel).c_str(), PlotText(plot.yLabel).c_str(), PlotText(plot.title).c_str());
    plcol0(kLimits);
    plline(static_cast<PLINT>(xs.size()), xs.data(), ys.data());
    plcol0(kObserved);
    plpoin(static_cast<PLINT>(xs.size()), xs.data(), ys.data(), 17);
  });
}

std::string DrawProportionPlot(const std::string& path, const ProportionPlot& plot) {
  const int n = static_cast<int>(plot.values.size());
  return DrawIsolated(path, std::max(560, 60 * n + 160), 560, [&] {
    double top = std::max({plot.bandHigh, plot.reference, 0.0});
    for (double v : plot.values)
      if (std::isfinite(v)) top = std::max(top, v);
    top = std::min(1.05, top * 1.15 + 0.02);
    plcol0(kAxes);
    pladv(0);
    plvpor(0.12, 0.95, 0.24, 0.9);  // room below for the names standing upright
    plwind(0.0, n + 1.0, 0.0, top);
    plbox("bc", 0.0, 0, "bcnstv", 0.0, 0);
    pllab("", PlotText(plot.yLabel).c_str(), PlotText(plot.title).c_str());
    PLFLT bx[4] = {0.0, 0.0, n + 1.0, n + 1.0};
    PLFLT by[4] = {plot.bandLow, plot.bandHigh, plot.bandHigh, plot.bandLow};
    plcol0(kBars);
    plfill(4, bx, by);
    plcol0(kLimits);
    pllsty(kDashed);
    pljoin(0.0, plot.reference, n + 1.0, plot.reference);
    pllsty(kSolid);
    std::vector<double> xs, ys;
    for (int i = 0; i < n; ++i) {
      xs.push_back(i + 1.0);
      ys.push_back(plot.values[static_cast<std::size_t>(i)]);
    }
    plcol0(kObserved);
    plssym(0.0, 2.0);
    plpoin(n, xs.data(), ys.data(), 17);
    plcol0(kAxes);
    plschr(0.0, 0.8);
    for (int i = 0; i < n && i < static_cast<int>(plot.names.size()); ++i)
      plmtex("bv", 0.5, (i + 1.0) / (n + 1.0), 1.0, PlotText(plot.names[static_cast<std::size_t>(i)]).c_str());
  });
}

}  // namespace kalios
