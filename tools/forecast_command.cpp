// tsforge forecast: chooses an ARIMA order by AIC (as the host entry point does) or fits
// the order given, prints the model report and a forecast table, optionally a chart.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Forecast/ARIMA.h"
#include "core/arima/arima.h"
#include "tools/commands.h"
#include "tools/jobs.h"
#include "tools/options.h"
#include "tools/quiet_stdout.h"
#include "tools/svg_chart.h"
#include "tools/table_input.h"

namespace tsforge_cli {

const char *const kForecastHelp =
    "usage: tsforge forecast FILE --column NAME [--column NAME ...] [options]\n"
    "\n"
    "Fits an ARIMA(p, d, q) model to each column and forecasts it. Without --order the\n"
    "order is chosen by the smallest AIC over p = 0..3, d = 0..2, q = 0..3, fitted by\n"
    "exact maximum likelihood, as the library's CalculateOrderAndGetPredictions does.\n"
    "\n"
    "options:\n"
    "  --column NAME     column to forecast (repeatable); a 1-based number with --no-header\n"
    "  --horizon H       number of steps to forecast, 1 to 10000 (default 12)\n"
    "  --order p,d,q     fit this order instead of searching (p, q 0 to 20; d 0 to 3);\n"
    "                    after its d differences the column must keep more values than\n"
    "                    twice the coefficients, p + q (+ 1 for the mean when d = 0)\n"
    "  --method M        mle, css or bj (default mle; the search needs mle)\n"
    "  --seasonal P,D,Q  fit the seasonal ARIMA(p, d, q)(P, D, Q) with --order and --period\n"
    "                    (P, Q 0 to 3; D 0 to 2)\n"
    "  --period S        seasonal period, 1 to 366 (12 for monthly data with a yearly cycle)\n"
    "  --delimiter C     field delimiter, one character or 'tab' (default ',')\n"
    "  --no-header       the file has no header line\n"
    "  --plot OUT.svg    write a chart of the series, the forecasts and their 95% band\n"
    "  --jobs N          process the columns on N threads (default 1)\n"
    "  --help            show this text\n"
    "\n"
    "Prints, per column: the chosen order, the model report and a table of step,\n"
    "forecast, mean square error and the 95% interval forecast +/- 1.96 sqrt(mse), to\n"
    "ten significant digits. A model whose AR part is not stationary has no interval\n"
    "(n/a, with a warning).\n"
    "Exit status: 0 success, 1 bad input or data, 2 usage error.\n";

namespace {

struct Settings {
  TableSource source;
  std::vector<std::string> columns;
  int horizon = 12;
  bool fixed_order = false;
  int p = 0, d = 0, q = 0;
  int method = 0;  // 0 MLE, 1 CSS, 2 Box-Jenkins
  bool seasonal = false;
  int P = 0, D = 0, Q = 0, period = 0;
  std::string plot;
  int jobs = 1;
};

struct ColumnResult {
  std::string column;
  std::vector<double> series;
  int p = 0, d = 0, q = 0;
  bool chosen = true;  // false when the search found no order
  std::vector<double> forecasts, mse;
  std::unique_ptr<arima_object, void (*)(arima_object *)> model{nullptr, arima_free};
  std::unique_ptr<sarima_object, void (*)(sarima_object *)> seasonal_model{nullptr, sarima_free};
  int retval() const { return model ? model->retval : seasonal_model->retval; }
};

const int kOptimiser = 7;  // BFGS with More-Thuente line search, as the entry point uses

// Three comma-separated integers of option `name`, the middle one (the differences) in
// 0..max_d, the others in 0..max_pq.
void parse_triple(const std::string &name, const char *letters, const std::string &text, int max_pq, int max_d,
                  int v[3]) {
  size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    size_t comma = text.find(',', start);
    if ((k < 2) == (comma == std::string::npos))
      throw UsageError("option '--" + name + "' needs three integers " + letters + ", not '" + text + "'");
    std::string part = text.substr(start, k < 2 ? comma - start : std::string::npos);
    v[k] = parse_int(name, part, 0, k == 1 ? max_d : max_pq);
    start = comma + 1;
  }
}

void parse_order(const std::string &text, Settings &s) {
  int v[3];
  parse_triple("order", "p,d,q", text, 20, 3, v);
  s.fixed_order = true;
  s.p = v[0], s.d = v[1], s.q = v[2];
}

// The seasonal part needs the non-seasonal order and the period; its expanded
// polynomials (orders p + S*P and q + S*Q) set the size of the state of the filter.
void parse_seasonal(const ParsedArgs &a, Settings &s) {
  if (!a.has("seasonal") && !a.has("period")) return;
  if (!a.has("seasonal")) throw UsageError("option '--period' needs '--seasonal' too");
  if (!a.has("period")) throw UsageError("option '--seasonal' needs '--period' too");
  if (!s.fixed_order) throw UsageError("option '--seasonal' needs '--order' too: the order search is not seasonal");
  int v[3];
  parse_triple("seasonal", "P,D,Q", a.last("seasonal"), 3, 2, v);
  s.seasonal = true;
  s.P = v[0], s.D = v[1], s.Q = v[2];
  s.period = parse_int("period", a.last("period"), 1, 366);
  if (s.p + s.period * s.P > 100 || s.q + s.period * s.Q > 100)
    throw UsageError("the seasonal model is too large: p + S*P and q + S*Q must be at most 100");
}

Settings parse_settings(const std::vector<std::string> &args) {
  ParsedArgs a = parse_args(args, {{"column", true, true},
                                   {"horizon", true, false},
                                   {"order", true, false},
                                   {"method", true, false},
                                   {"seasonal", true, false},
                                   {"period", true, false},
                                   {"delimiter", true, false},
                                   {"no-header", false, false},
                                   {"plot", true, false},
                                   {"jobs", true, false}});
  Settings s;
  if (a.positional.size() != 1) throw UsageError("forecast needs exactly one FILE");
  s.source.path = a.positional[0];
  if (!a.has("column")) throw UsageError("forecast needs at least one --column");
  s.columns = distinct_values(a, "column");
  if (a.has("horizon")) s.horizon = parse_int("horizon", a.last("horizon"), 1, 10000);
  if (a.has("order")) parse_order(a.last("order"), s);
  if (a.has("method")) {
    const std::string &m = a.last("method");
    if (m == "mle") s.method = 0;
    else if (m == "css") s.method = 1;
    else if (m == "bj") s.method = 2;
    else throw UsageError("option '--method' needs mle, css or bj, not '" + m + "'");
    if (s.method != 0 && !s.fixed_order)
      throw UsageError("the order search compares AIC, which only --method mle provides: give --order too");
  }
  parse_seasonal(a, s);
  if (a.has("delimiter")) s.source.delimiter = parse_delimiter(a.last("delimiter"));
  s.source.header = !a.has("no-header");
  if (a.has("plot")) s.plot = a.last("plot");
  if (a.has("jobs")) s.jobs = parse_int("jobs", a.last("jobs"), 1, 64);
  check_plot_paths(s.plot, s.columns);
  return s;
}

size_t differences(const Settings &s) {
  return static_cast<size_t>(s.d) + (s.seasonal ? static_cast<size_t>(s.period) * s.D : 0);
}

size_t coefficients(const Settings &s) {
  size_t k = static_cast<size_t>(s.p) + s.q + (s.seasonal ? static_cast<size_t>(s.P) + s.Q : 0);
  return k + (differences(s) == 0 ? 1 : 0);
}

// A seasonal model's filter also needs more values than its differences and expanded
// orders (p + S*P and q + S*Q) together.
size_t expanded_values_needed(const Settings &s) {
  if (!s.seasonal) return 0;
  return static_cast<size_t>(s.p + s.d + s.q) + static_cast<size_t>(s.period) * (s.P + s.D + s.Q) + 1;
}

// The fewest values a fit of the settings can use. The search skips every order whose
// p + d + q is not below the length. A given order must keep, after its differences,
// more values than twice its coefficients: with fewer the estimates are not determined,
// and the fit may wander without end or return variances below zero.
size_t values_needed(const Settings &s) {
  if (!s.fixed_order) return 3;
  return std::max(differences(s) + 2 * coefficients(s) + 1, expanded_values_needed(s));
}

std::string order_text(const Settings &s, int p, int d, int q) {
  char text[96];
  if (s.seasonal)
    std::snprintf(text, sizeof text, "ARIMA(%d, %d, %d)(%d, %d, %d)[%d]", p, d, q, s.P, s.D, s.Q, s.period);
  else
    std::snprintf(text, sizeof text, "ARIMA(%d, %d, %d)", p, d, q);
  return text;
}

std::string order_text(const Settings &s, const ColumnResult &r) { return order_text(s, r.p, r.d, r.q); }

std::string needs_text(const Settings &s) {
  if (!s.fixed_order) return "the model needs at least 3";
  char text[200];
  if (expanded_values_needed(s) > differences(s) + 2 * coefficients(s) + 1)
    std::snprintf(text, sizeof text, "%s needs at least %zu: more than its differences and expanded orders",
                  order_text(s, s.p, s.d, s.q).c_str(), values_needed(s));
  else
    std::snprintf(text, sizeof text, "%s needs at least %zu: more than twice its %zu coefficients after differencing",
                  order_text(s, s.p, s.d, s.q).c_str(), values_needed(s), coefficients(s));
  return text;
}

// False when no candidate of the search scored an AIC below the search's bound (the
// forecaster then leaves its predictions empty and reports the order (0, 0, 0)).
bool choose_order(const Settings &s, ColumnResult &r) {
  if (s.fixed_order) {
    r.p = s.p, r.d = s.d, r.q = s.q;
    return true;
  }
  TsARIMA search(ARIMAOrder{0, 0, 0}, ARIMA_MLE, ARIMA_BFGS_MORE_THUENTE);
  std::vector<double> predictions;
  std::vector<int> order;
  search.CalculateOrderAndPredict(r.series, predictions, s.horizon, order);
  if (predictions.empty() || order.size() != 3) return false;
  r.p = order[0], r.d = order[1], r.q = order[2];
  return true;
}

// Fits the chosen order the way the forecaster does and keeps the model for its report.
void fit_and_forecast(const Settings &s, ColumnResult &r) {
  int n = static_cast<int>(r.series.size());
  r.forecasts.assign(s.horizon, 0.0);
  r.mse.assign(s.horizon, 0.0);
  if (s.seasonal) {
    r.seasonal_model.reset(sarima_init(r.p, r.d, r.q, s.period, s.P, s.D, s.Q, n));
    sarima_setMethod(r.seasonal_model.get(), s.method);
    sarima_setOptMethod(r.seasonal_model.get(), kOptimiser);
    sarima_exec(r.seasonal_model.get(), r.series.data());
    if (r.seasonal_model->retval != 0)
      sarima_predict(r.seasonal_model.get(), r.series.data(), s.horizon, r.forecasts.data(), r.mse.data());
    return;
  }
  r.model.reset(arima_init(r.p, r.d, r.q, n));
  arima_setMethod(r.model.get(), s.method);
  arima_setOptMethod(r.model.get(), kOptimiser);
  arima_exec(r.model.get(), r.series.data());
  if (r.model->retval != 0)
    arima_predict(r.model.get(), r.series.data(), s.horizon, r.forecasts.data(), r.mse.data());
}

// Ten significant digits at any scale: a fixed count of decimals shows a series near
// 5e-8 as zeros and one near 1e300 as 300 digits. NaN (no variance) reads "n/a".
std::string table_number(double v) {
  if (std::isnan(v)) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

void print_table(const ColumnResult &r) {
  std::printf("\nForecasts (95%% interval: forecast +/- 1.96 * sqrt(mse))\n");
  std::printf("%5s %17s %17s %17s %17s\n", "step", "forecast", "mse", "lower", "upper");
  for (size_t h = 0; h < r.forecasts.size(); ++h) {
    double half = 1.96 * std::sqrt(r.mse[h]);
    std::printf("%5zu %17s %17s %17s %17s\n", h + 1, table_number(r.forecasts[h]).c_str(),
                table_number(r.mse[h]).c_str(), table_number(r.forecasts[h] - half).c_str(),
                table_number(r.forecasts[h] + half).c_str());
  }
}

// The forecaster reports the mean square errors of a model whose AR part is not
// stationary as NaN: they are not defined.
bool has_interval(const ColumnResult &r) {
  for (double m : r.mse)
    if (std::isnan(m)) return false;
  return true;
}

Chart forecast_chart(const Settings &s, const ColumnResult &r) {
  Chart c;
  c.title = s.source.path + ": " + r.column + ", " + order_text(s, r) + " forecast";
  c.x_label = "observation";
  c.y_label = r.column;
  ChartLine series{"series", "#1f4e9c", {}, {}};
  for (size_t i = 0; i < r.series.size(); ++i) series.x.push_back(double(i + 1)), series.y.push_back(r.series[i]);
  ChartLine fc{"forecast", "#c0392b", {}, {}};
  ChartBand band{"95% interval", "#e67e22", {}, {}, {}};
  for (size_t h = 0; h < r.forecasts.size(); ++h) {
    double x = double(r.series.size() + h + 1), half = 1.96 * std::sqrt(r.mse[h]);
    fc.x.push_back(x), fc.y.push_back(r.forecasts[h]);
    band.x.push_back(x), band.lower.push_back(r.forecasts[h] - half), band.upper.push_back(r.forecasts[h] + half);
  }
  if (has_interval(r)) c.bands.push_back(band);
  c.lines.push_back(series);
  c.lines.push_back(fc);
  return c;
}

const char *status_text(int retval) {
  switch (retval) {
    case 4: return "the optimiser did not converge";
    case 15: return "the optimiser met infinite or NaN values";
    default: return "the estimation reported a problem";
  }
}

}  // namespace

int forecast_command(const std::vector<std::string> &args) {
  Settings s = parse_settings(args);
  Table table(s.source, s.columns);
  std::vector<ColumnResult> results(s.columns.size());
  for (size_t i = 0; i < s.columns.size(); ++i) {
    results[i].column = s.columns[i];
    results[i].series = table.numeric_column(s.columns[i]);
    if (results[i].series.size() < values_needed(s))
      throw InputError(s.source.path + ": column '" + s.columns[i] + "' has " +
                       std::to_string(results[i].series.size()) + " values; " + needs_text(s));
  }
  {
    QuietStdout quiet;
    run_jobs(results.size(), s.jobs, [&](size_t i) {
      results[i].chosen = choose_order(s, results[i]);
      if (results[i].chosen) fit_and_forecast(s, results[i]);
    });
  }

  std::vector<std::pair<std::string, std::string>> charts;
  int status = 0;
  for (ColumnResult &r : results) {
    if (&r != &results.front()) std::printf("\n");
    std::printf("File: %s, column: %s, %zu values\n", s.source.path.c_str(), r.column.c_str(), r.series.size());
    if (!r.chosen) {
      std::fflush(stdout);
      std::fprintf(stderr,
                   "tsforge: %s: column '%s': no model could be fitted: no order of the search has an AIC below "
                   "999999\n",
                   s.source.path.c_str(), r.column.c_str());
      status = 1;
      continue;
    }
    std::printf("Order: %s%s\n", order_text(s, r).c_str(),
                s.fixed_order ? " (given)" : " (smallest AIC over p = 0..3, d = 0..2, q = 0..3)");
    std::fflush(stdout);
    if (r.retval() == 0) {
      std::fprintf(stderr, "tsforge: %s: column '%s': the model could not be estimated from these values\n",
                   s.source.path.c_str(), r.column.c_str());
      status = 1;
      continue;
    }
    if (s.seasonal)
      sarima_summary(r.seasonal_model.get());
    else
      arima_summary(r.model.get());
    print_table(r);
    std::fflush(stdout);
    if (r.retval() != 1)
      std::fprintf(stderr, "tsforge: warning: %s: column '%s': %s (status %d)\n", s.source.path.c_str(),
                   r.column.c_str(), status_text(r.retval()), r.retval());
    if (!has_interval(r))
      std::fprintf(stderr, "tsforge: warning: %s: column '%s': the fitted model is not stationary: no interval\n",
                   s.source.path.c_str(), r.column.c_str());
    if (!s.plot.empty())
      charts.emplace_back(plot_path_for(s.plot, r.column, results.size() > 1), render_svg(forecast_chart(s, r)));
  }
  if (status == 0)
    for (const auto &c : charts) write_file(c.first, c.second);
  return status;
}

void check_plot_paths(const std::string &path, const std::vector<std::string> &columns) {
  if (path.empty() || columns.size() < 2) return;
  std::map<std::string, std::string> owner;  // chart path -> column
  for (const std::string &c : columns) {
    auto it = owner.emplace(plot_path_for(path, c, true), c);
    if (!it.second)
      throw UsageError("columns '" + it.first->second + "' and '" + c + "' would write the same chart '" +
                       it.first->first + "'");
  }
}

std::string plot_path_for(const std::string &path, const std::string &column, bool several) {
  if (!several) return path;
  std::string tag;
  for (char ch : column) tag += (std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '_') ? ch : '_';
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + "-" + tag;
  return path.substr(0, dot) + "-" + tag + path.substr(dot);
}

}  // namespace tsforge_cli
