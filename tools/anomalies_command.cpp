// tsforge anomalies: flags anomalous points of columns with the time-series detector
// (quantile fence, optionally after removing a LOWESS trend) or the interquartile test.
#include <cstdio>
#include <string>
#include <vector>

#include "Anomaly/AnomalyDetection.h"
#include "Anomaly/TimeSeriesAnomalyDetection.h"
#include "tools/commands.h"
#include "tools/jobs.h"
#include "tools/options.h"
#include "tools/svg_chart.h"
#include "tools/table_input.h"

namespace tsforge_cli {

const char *const kAnomaliesHelp =
    "usage: tsforge anomalies FILE --column NAME [--column NAME ...] [options]\n"
    "\n"
    "Flags the anomalous points of each column. By default a point is anomalous when it\n"
    "lies above the upper reference quantile by more than M inter-quantile ranges; with\n"
    "--smooth the LOWESS trend is removed first. --iqr uses the interquartile test\n"
    "instead (beyond 1.5 interquartile ranges of the quartiles, on either side).\n"
    "\n"
    "options:\n"
    "  --column NAME   column to test (repeatable); a 1-based number with --no-header\n"
    "  --time NAME     time reference column (default: the row number)\n"
    "  --smooth        remove a LOWESS trend before scoring (needs non-decreasing time)\n"
    "  --lower P       lower reference quantile, 0 to 1 (default 0.1)\n"
    "  --upper P       upper reference quantile, 0 to 1, not below --lower (default 0.99)\n"
    "  --times M       fence distance in inter-quantile ranges, 0 or more (default 6)\n"
    "  --iqr           use the interquartile test (ignores --smooth, --lower, --upper, --times)\n"
    "  --delimiter C   field delimiter, one character or 'tab' (default ',')\n"
    "  --no-header     the file has no header line\n"
    "  --plot OUT.svg  write a chart of the series with the anomalies marked\n"
    "  --jobs N        process the columns on N threads (default 1)\n"
    "  --help          show this text\n"
    "\n"
    "Prints, per column, the row number (1 = first data row), time and value of every\n"
    "anomalous point. Exit status: 0 success, 1 bad input or data, 2 usage error.\n";

namespace {

struct Settings {
  TableSource source;
  std::vector<std::string> columns;
  std::string time_column;
  bool smooth = false, iqr = false;
  double lower = 0.1, upper = 0.99, times = 6.0;
  std::string plot;
  int jobs = 1;
};

struct ColumnResult {
  std::string column;
  std::vector<double> values;
  std::vector<size_t> anomalies;  // 0-based positions
};

Settings parse_settings(const std::vector<std::string> &args) {
  ParsedArgs a = parse_args(args, {{"column", true, true},
                                   {"time", true, false},
                                   {"smooth", false, false},
                                   {"lower", true, false},
                                   {"upper", true, false},
                                   {"times", true, false},
                                   {"iqr", false, false},
                                   {"delimiter", true, false},
                                   {"no-header", false, false},
                                   {"plot", true, false},
                                   {"jobs", true, false}});
  Settings s;
  if (a.positional.size() != 1) throw UsageError("anomalies needs exactly one FILE");
  s.source.path = a.positional[0];
  if (!a.has("column")) throw UsageError("anomalies needs at least one --column");
  s.columns = distinct_values(a, "column");
  if (a.has("time")) s.time_column = a.last("time");
  s.smooth = a.has("smooth");
  s.iqr = a.has("iqr");
  if (a.has("lower")) s.lower = parse_double("lower", a.last("lower"), 0.0, 1.0);
  if (a.has("upper")) s.upper = parse_double("upper", a.last("upper"), 0.0, 1.0);
  if (s.lower > s.upper) throw UsageError("option '--lower' must not exceed '--upper'");
  if (a.has("times")) s.times = parse_double("times", a.last("times"), 0.0, 1e6);
  if (a.has("delimiter")) s.source.delimiter = parse_delimiter(a.last("delimiter"));
  s.source.header = !a.has("no-header");
  if (a.has("plot")) s.plot = a.last("plot");
  if (a.has("jobs")) s.jobs = parse_int("jobs", a.last("jobs"), 1, 64);
  check_plot_paths(s.plot, s.columns);
  return s;
}

TsDataVec<long double> to_data(const std::vector<double> &v) {
  return TsDataVec<long double>(std::vector<long double>(v.begin(), v.end()));
}

void detect(const Settings &s, const std::vector<double> &time, ColumnResult &r) {
  TsDataVec<long double> result;
  if (s.iqr) {
    TsAnomalyDetection detector;
    result = detector.Detect(to_data(r.values));
  } else {
    TsTimeSeriesAnomalyDetection detector(to_data(time));
    detector.SetSmooth(s.smooth);
    detector.SetWeights(to_data(std::vector<double>(r.values.size(), 1.0)));
    detector.SetLowerQuantile(s.lower);
    detector.SetUpperQuantile(s.upper);
    detector.SetLagDiffTimes(s.times);
    result = detector.Detect(to_data(r.values));
  }
  for (size_t k = 0; k < result.Size(); ++k) r.anomalies.push_back(static_cast<size_t>(result[k]));
}

Chart anomaly_chart(const Settings &s, const std::vector<double> &time, const ColumnResult &r) {
  Chart c;
  c.title = s.source.path + ": " + r.column + ", " + std::to_string(r.anomalies.size()) + " anomalies";
  c.x_label = s.time_column.empty() ? "row" : s.time_column;
  c.y_label = r.column;
  ChartLine line{"series", "#1f4e9c", time, r.values};
  ChartMarkers marks{"anomaly", "#c0392b", {}, {}};
  for (size_t i : r.anomalies) marks.x.push_back(time[i]), marks.y.push_back(r.values[i]);
  c.lines.push_back(line);
  c.markers.push_back(marks);
  return c;
}

std::vector<double> time_reference(const Settings &s, const Table &table) {
  std::vector<double> time;
  if (s.time_column.empty()) {
    for (size_t i = 0; i < table.rows(); ++i) time.push_back(double(i + 1));
    return time;
  }
  time = table.numeric_column(s.time_column);
  if (s.smooth && !s.iqr)
    for (size_t i = 1; i < time.size(); ++i)
      if (time[i] < time[i - 1])
        throw InputError(s.source.path + ": column '" + s.time_column + "', row " + std::to_string(i + 1) +
                         ": --smooth needs a non-decreasing time reference");
  return time;
}

}  // namespace

int anomalies_command(const std::vector<std::string> &args) {
  Settings s = parse_settings(args);
  std::vector<std::string> needed = s.columns;
  if (!s.time_column.empty()) needed.insert(needed.begin(), s.time_column);
  Table table(s.source, needed);
  std::vector<double> time = time_reference(s, table);
  std::vector<ColumnResult> results(s.columns.size());
  for (size_t i = 0; i < s.columns.size(); ++i) {
    results[i].column = s.columns[i];
    results[i].values = table.numeric_column(s.columns[i]);
  }
  run_jobs(results.size(), s.jobs, [&](size_t i) { detect(s, time, results[i]); });

  std::vector<std::pair<std::string, std::string>> charts;
  for (const ColumnResult &r : results) {
    if (&r != &results.front()) std::printf("\n");
    std::printf("File: %s, column: %s, %zu values, %s\n", s.source.path.c_str(), r.column.c_str(),
                r.values.size(), s.iqr ? "interquartile test" : s.smooth ? "quantile fence after LOWESS trend"
                                                                         : "quantile fence");
    std::printf("%8s %16s %16s\n", "row", s.time_column.empty() ? "time" : s.time_column.c_str(), "value");
    for (size_t i : r.anomalies) std::printf("%8zu %16.10g %16.10g\n", i + 1, time[i], r.values[i]);
    std::printf("%zu anomal%s\n", r.anomalies.size(), r.anomalies.size() == 1 ? "y" : "ies");
    if (!s.plot.empty())
      charts.emplace_back(plot_path_for(s.plot, r.column, results.size() > 1), render_svg(anomaly_chart(s, time, r)));
  }
  std::fflush(stdout);
  for (const auto &c : charts) write_file(c.first, c.second);
  return 0;
}

}  // namespace tsforge_cli
