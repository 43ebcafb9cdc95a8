// tsforge forecast: chooses a seasonal ARIMA model automatically (TsAutoARIMA), or runs the
// host entry point's search by AIC (--grid), or fits the order given; prints the model,
// its report and a forecast table, optionally a chart.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Forecast/ARIMA.h"
#include "Forecast/AutoARIMA.h"
#include "core/arima/arima.h"
#include "core/dist/dist.h"
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
    "Fits an ARIMA model to each column and forecasts it. By default the model is chosen\n"
    "automatically (the library's TsAutoARIMA): the differences by unit-root tests, the\n"
    "seasonal and non-seasonal orders by the smallest AICc among fits that converged to a\n"
    "stationary and invertible model, by a stepwise search (--full: every order). --grid\n"
    "runs instead the search of the library's CalculateOrderAndGetPredictions: the smallest\n"
    "AIC over p = 0..3, d = 0..2, q = 0..3 by exact maximum likelihood. --order fits the\n"
    "order given.\n"
    "\n"
    "options:\n"
    "  --column NAME     column to forecast (repeatable); a 1-based number with --no-header\n"
    "  --horizon H       number of steps to forecast, 1 to 10000 (default 12)\n"
    "  --period S        seasonal period, 1 to 366 (12 for monthly data with a yearly cycle);\n"
    "                    automatic model: default from --time, else 1\n"
    "  --time NAME       automatic model: a column of decimal years (1990, 1990.25, ...)\n"
    "                    whose regular step 1/S (S from 2 to 24) gives the period\n"
    "  --full            automatic model: search every order instead of stepwise\n"
    "  --grid            the 48-order search by AIC of CalculateOrderAndGetPredictions\n"
    "  --level L         interval level in percent, above 0 and below 100 (default 95)\n"
    "  --order p,d,q     fit this order instead of searching (p, q 0 to 20; d 0 to 3);\n"
    "                    after its d differences the column must keep more values than\n"
    "                    twice the coefficients, p + q (+ 1 for the mean when d = 0)\n"
    "  --method M        mle, css or bj (default mle; the search needs mle)\n"
    "  --seasonal P,D,Q  fit the seasonal ARIMA(p, d, q)(P, D, Q) with --order and --period\n"
    "                    (P, Q 0 to 3; D 0 to 2)\n"
    "  --delimiter C     field delimiter, one character or 'tab' (default ',')\n"
    "  --no-header       the file has no header line\n"
    "  --plot OUT.svg    write a chart of the series, the forecasts and their interval band\n"
    "  --jobs N          process the columns on N threads (default 1)\n"
    "  --help            show this text\n"
    "\n"
    "Prints, per column: the model, its coefficients and criteria (the core's report with\n"
    "--grid and --order) and a table of step, forecast, mean square error and the interval\n"
    "forecast +/- z sqrt(mse), to ten significant digits. The automatic model's mean square\n"
    "errors include the estimation error of its coefficients and the spread of the other\n"
    "models it compared, and z is a Student t quantile; otherwise z is the normal quantile\n"
    "(1.96 for 95%). A model whose AR part is not stationary has no interval (n/a, with a\n"
    "warning).\n"
    "Exit status: 0 success, 1 bad input or data, 2 usage error.\n";

namespace {

struct Settings {
  TableSource source;
  std::vector<std::string> columns;
  int horizon = 12;
  bool automatic = true;  // neither --grid nor --order
  bool full = false;
  std::string time_column;
  bool period_given = false;
  double level = 95.0;
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
  std::vector<double> forecasts, mse, lower, upper;
  std::unique_ptr<TsAutoARIMA> automatic;
  int period = 1;
  std::string period_source;
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
  if (!a.has("seasonal")) {
    if (!s.automatic) throw UsageError("option '--period' needs '--seasonal' too");
    s.period = parse_int("period", a.last("period"), 1, 366);
    s.period_given = true;
    return;
  }
  if (!a.has("period")) throw UsageError("option '--seasonal' needs '--period' too");
  if (!s.fixed_order)
    throw UsageError("option '--seasonal' needs '--order' too: without it the model is chosen automatically");
  int v[3];
  parse_triple("seasonal", "P,D,Q", a.last("seasonal"), 3, 2, v);
  s.seasonal = true;
  s.P = v[0], s.D = v[1], s.Q = v[2];
  s.period = parse_int("period", a.last("period"), 1, 366);
  if (s.p + s.period * s.P > 100 || s.q + s.period * s.Q > 100)
    throw UsageError("the seasonal model is too large: p + S*P and q + S*Q must be at most 100");
}

// Options of the automatic model, and the interval level of every mode.
void parse_automatic(const ParsedArgs &a, Settings &s) {
  for (const char *name : {"time", "full"})
    if (a.has(name) && !s.automatic)
      throw UsageError(std::string("option '--") + name + "' is for the automatic model: not with --grid or --order");
  if (a.has("time")) s.time_column = a.last("time");
  s.full = a.has("full");
  if (a.has("level")) {
    const std::string &text = a.last("level");
    s.level = parse_double("level", text, 0.0, 100.0);
    if (s.level <= 0.0 || s.level >= 100.0)
      throw UsageError("option '--level' needs a number above 0 and below 100, not '" + text + "'");
  }
}

Settings parse_settings(const std::vector<std::string> &args) {
  ParsedArgs a = parse_args(args, {{"column", true, true},
                                   {"horizon", true, false},
                                   {"order", true, false},
                                   {"method", true, false},
                                   {"seasonal", true, false},
                                   {"period", true, false},
                                   {"time", true, false},
                                   {"full", false, false},
                                   {"grid", false, false},
                                   {"level", true, false},
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
  if (a.has("grid") && s.fixed_order) throw UsageError("options '--grid' and '--order' exclude each other");
  s.automatic = !a.has("grid") && !s.fixed_order;
  parse_automatic(a, s);
  if (a.has("method")) {
    const std::string &m = a.last("method");
    if (m == "mle") s.method = 0;
    else if (m == "css") s.method = 1;
    else if (m == "bj") s.method = 2;
    else throw UsageError("option '--method' needs mle, css or bj, not '" + m + "'");
    if (s.method != 0 && !s.fixed_order)
      throw UsageError("the order searches compare likelihoods, which only --method mle provides: give --order too");
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
  if (s.automatic) return 4;  // the smallest automatic model, a mean, needs 4 for its AICc
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

std::string model_name(const Settings &s, const ColumnResult &r) {
  return r.automatic ? r.automatic->GetModel().Name() : order_text(s, r);
}

std::string needs_text(const Settings &s) {
  if (!s.fixed_order) return "the model needs at least " + std::to_string(values_needed(s));
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

// The normal interval of the core's mean square errors at the level asked for.
void set_normal_interval(const Settings &s, ColumnResult &r) {
  const double z = normalinv(0.5 + s.level / 200.0, 0.0, 1.0);
  r.lower.resize(r.forecasts.size());
  r.upper.resize(r.forecasts.size());
  for (size_t h = 0; h < r.forecasts.size(); ++h) {
    const double half = z * std::sqrt(r.mse[h]);
    r.lower[h] = r.forecasts[h] - half;
    r.upper[h] = r.forecasts[h] + half;
  }
}

// The automatic model of a column, with its period: given, read from the time column, or 1.
void fit_automatic(const Settings &s, const std::vector<double> *time, ColumnResult &r) {
  if (s.period_given) {
    r.period = s.period, r.period_source = "given";
  } else if (time != nullptr) {
    r.period = TsAutoARIMA::InferPeriod(*time);
    r.period_source = r.period > 1 ? "from the time column" : "the time column shows no seasonal period";
  } else {
    r.period = 1, r.period_source = "no --period or --time given";
  }
  r.automatic.reset(new TsAutoARIMA(r.period));
  r.automatic->SetStepwise(!s.full);
  r.automatic->SetLevel(s.level);
  std::vector<double> out;
  r.chosen = r.automatic->Fit(r.series) && r.automatic->Predict(s.horizon, out);
  if (!r.chosen) return;
  r.forecasts = r.automatic->GetXPred();
  r.mse = r.automatic->GetMse();
  r.lower = r.automatic->GetLower();
  r.upper = r.automatic->GetUpper();
}

// Ten significant digits at any scale: a fixed count of decimals shows a series near
// 5e-8 as zeros and one near 1e300 as 300 digits. NaN (no variance) reads "n/a".
std::string table_number(double v) {
  if (std::isnan(v)) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

void print_table(const ColumnResult &r, const std::string &interval) {
  std::printf("\nForecasts (%s)\n", interval.c_str());
  std::printf("%5s %17s %17s %17s %17s\n", "step", "forecast", "mse", "lower", "upper");
  for (size_t h = 0; h < r.forecasts.size(); ++h)
    std::printf("%5zu %17s %17s %17s %17s\n", h + 1, table_number(r.forecasts[h]).c_str(),
                table_number(r.mse[h]).c_str(), table_number(r.lower[h]).c_str(), table_number(r.upper[h]).c_str());
}

std::string level_text(const Settings &s) {
  char text[32];
  std::snprintf(text, sizeof text, "%g%% interval", s.level);
  return text;
}

std::string normal_interval_text(const Settings &s) {
  char text[96];
  std::snprintf(text, sizeof text, "%s: forecast +/- %.4g * sqrt(mse)", level_text(s).c_str(),
                normalinv(0.5 + s.level / 200.0, 0.0, 1.0));
  return text;
}

// The automatic model: how it was chosen, its coefficients with standard errors, its
// criteria.
void print_automatic(const Settings &s, const ColumnResult &r) {
  const TsAutoARIMA &a = *r.automatic;
  const TsAutoARIMAModel &m = a.GetModel();
  std::printf("Model: %s\n", m.Name().c_str());
  std::string seasonal;
  if (m.s > 1)
    seasonal = ", D = " + std::to_string(m.D) + " by the seasonal tests";
  else if (r.period > 1)
    seasonal = " (fewer than three seasons: no seasonal terms)";
  char how[96];
  if (a.GetFitsTried() == 0)
    std::snprintf(how, sizeof how, "no fit, the series is constant after its differences");
  else
    std::snprintf(how, sizeof how, "the smallest AICc of %d fits (%s)", a.GetFitsTried(),
                  s.full ? "full search" : "stepwise");
  std::printf("Chosen by: %s; d = %d by KPSS%s; period %d (%s)\n", how, m.d, seasonal.c_str(), r.period,
              r.period_source.c_str());
  std::printf("\n%-16s %17s %17s\n", "Coefficient", "Estimate", "Standard error");
  const size_t k = m.phi.size() + m.theta.size() + m.PHI.size() + m.THETA.size() + (m.constant ? 1 : 0);
  size_t index = 0;
  auto row = [&](const std::string &name, double value) {
    const double se = m.vcov.size() == k * k ? std::sqrt(m.vcov[index * k + index]) : std::nan("");
    std::printf("%-16s %17s %17s\n", name.c_str(), table_number(value).c_str(), table_number(se).c_str());
    ++index;
  };
  const std::pair<const char *, const std::vector<double> *> groups[] = {
      {"ar", &m.phi}, {"ma", &m.theta}, {"sar", &m.PHI}, {"sma", &m.THETA}};
  for (const auto &g : groups)
    for (size_t i = 0; i < g.second->size(); ++i) row(g.first + std::to_string(i + 1), (*g.second)[i]);
  if (m.constant) row(m.d + m.D == 0 ? "mean" : "drift", m.c);
  std::printf("\n%-16s %17s\n", "sigma^2", table_number(m.sigma2).c_str());
  std::printf("%-16s %17s\n", "log-likelihood", table_number(m.loglik).c_str());
  std::printf("%-16s %17s\n", "AIC", table_number(m.aic).c_str());
  std::printf("%-16s %17s\n", "AICc", table_number(m.aicc).c_str());
  std::printf("%-16s %17s\n", "BIC", table_number(m.bic).c_str());
}

std::string automatic_interval_text(const Settings &s, const ColumnResult &r) {
  const TsAutoARIMAModel &m = r.automatic->GetModel();
  char text[160];
  std::snprintf(text, sizeof text, "%s: forecast +/- %.4g * sqrt(mse), Student t with %d degrees of freedom",
                level_text(s).c_str(), r.automatic->GetQuantile(), m.nobs - m.Parameters());
  return text;
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
  c.title = s.source.path + ": " + r.column + ", " + model_name(s, r) + " forecast";
  c.x_label = "observation";
  c.y_label = r.column;
  ChartLine series{"series", "#1f4e9c", {}, {}};
  for (size_t i = 0; i < r.series.size(); ++i) series.x.push_back(double(i + 1)), series.y.push_back(r.series[i]);
  ChartLine fc{"forecast", "#c0392b", {}, {}};
  ChartBand band{level_text(s), "#e67e22", {}, {}, {}};
  for (size_t h = 0; h < r.forecasts.size(); ++h) {
    double x = double(r.series.size() + h + 1);
    fc.x.push_back(x), fc.y.push_back(r.forecasts[h]);
    band.x.push_back(x), band.lower.push_back(r.lower[h]), band.upper.push_back(r.upper[h]);
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
  std::vector<std::string> wanted = s.columns;
  if (!s.time_column.empty() && std::find(wanted.begin(), wanted.end(), s.time_column) == wanted.end())
    wanted.push_back(s.time_column);
  Table table(s.source, wanted);
  const std::vector<double> *time = s.time_column.empty() ? nullptr : &table.numeric_column(s.time_column);
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
      ColumnResult &r = results[i];
      if (s.automatic) {
        fit_automatic(s, time, r);
        return;
      }
      r.chosen = choose_order(s, r);
      if (r.chosen) fit_and_forecast(s, r);
      if (r.chosen) set_normal_interval(s, r);
    });
  }

  std::vector<std::pair<std::string, std::string>> charts;
  int status = 0;
  for (ColumnResult &r : results) {
    if (&r != &results.front()) std::printf("\n");
    std::printf("File: %s, column: %s, %zu values\n", s.source.path.c_str(), r.column.c_str(), r.series.size());
    if (!r.chosen) {
      std::fflush(stdout);
      std::fprintf(stderr, "tsforge: %s: column '%s': no model could be fitted: %s\n", s.source.path.c_str(),
                   r.column.c_str(),
                   s.automatic ? "no candidate of the search is eligible (a converged, stationary and invertible "
                                 "fit with finite forecast variances)"
                               : "no order of the search has an AIC below 999999");
      status = 1;
      continue;
    }
    if (s.automatic) {
      print_automatic(s, r);
      print_table(r, automatic_interval_text(s, r));
    } else {
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
      print_table(r, normal_interval_text(s));
    }
    std::fflush(stdout);
    if (!s.automatic && r.retval() != 1)
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
