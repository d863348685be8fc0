#pragma once
// SVG figures drawn with PLplot from plain data. Each routine writes one file
// and returns an empty text when it is in place, or what went wrong: the
// caller decides how to tell the user. The drawing runs in a child process,
// so that the library can neither end the program on an error of its own,
// nor read the dialogue's input, nor print into the dialogue's output; the
// file is written under a temporary name and renamed into place only when
// complete, so a failed figure never leaves a torn file behind.
#include <string>
#include <vector>

namespace kalios {

// One panel of null distributions: the null values as a histogram, the
// observed value and the two limits as vertical lines.
struct NullPanel {
  std::string title;          // e.g. "r(XE)  P = 0.001  SES = 3.2"
  std::vector<double> nulls;  // non-finite values are left out
  double observed = 0;
  double lower = 0, upper = 0;
  bool hasLimits = true;
};

// The plotted range of a panel: it holds every null value, the observed value
// and the limits, with a margin.
void PanelRange(const NullPanel& p, double& low, double& high);

// All panels on one page, in a grid; `limitsName` names the dashed lines in
// the caption (e.g. "95% limits under H0"; empty when no panel has limits).
std::string DrawNullDistributions(const std::string& path, const std::string& heading,
                                  const std::vector<NullPanel>& panels, const std::string& limitsName);

// Labelled points on two axes (an ordination map).
struct PointMap {
  std::string title, xLabel, yLabel;
  std::vector<double> x, y;
  std::vector<std::string> labels;
};
std::string DrawPointMap(const std::string& path, const PointMap& map);

// A line through points (x ascending), e.g. the best value by subset size.
struct LinePlot {
  std::string title, xLabel, yLabel;
  std::vector<double> x, y;
};
std::string DrawLinePlot(const std::string& path, const LinePlot& plot);

// One proportion per named category, with a horizontal band [bandLow,
// bandHigh] around a reference line (e.g. rejection proportions against the
// binomial interval around alpha).
struct ProportionPlot {
  std::string title, yLabel;
  std::vector<std::string> names;
  std::vector<double> values;
  double reference = 0, bandLow = 0, bandHigh = 0;
};
std::string DrawProportionPlot(const std::string& path, const ProportionPlot& plot);

// Text for PLplot: its escape character doubled, so labels print as typed.
std::string PlotText(const std::string& s);

}  // namespace kalios
