// A small line chart written as standalone SVG: axes with ticks and labels, line
// series, a shaded band and point markers.
#ifndef TSFORGE_TOOLS_SVG_CHART_H
#define TSFORGE_TOOLS_SVG_CHART_H

#include <string>
#include <vector>

namespace tsforge_cli {

struct ChartLine {
  std::string label;
  std::string colour;
  std::vector<double> x, y;
};

struct ChartBand {  // filled area between lower and upper
  std::string label;
  std::string colour;
  std::vector<double> x, lower, upper;
};

struct ChartMarkers {
  std::string label;
  std::string colour;
  std::vector<double> x, y;
};

struct Chart {
  std::string title, x_label, y_label;
  std::vector<ChartBand> bands;
  std::vector<ChartLine> lines;
  std::vector<ChartMarkers> markers;
};

// The whole document. Every line becomes one <polyline> with one point per value, every
// marker one <circle>, every band one <polygon>.
std::string render_svg(const Chart &chart);

// Writes text to path; throws InputError when the file cannot be written.
void write_file(const std::string &path, const std::string &text);

}  // namespace tsforge_cli

#endif  // TSFORGE_TOOLS_SVG_CHART_H
