// The order search of CalculateOrderAndGetPredictions (48 candidate fits by exact ML,
// horizon 12) on Nile (n = 100) and on simulated ARMA(2, 1) series of n = 1000 and 8000,
// and single candidate fits.
//
// Counters: evals_css / evals_ml count the calls of the exported objectives fcss and
// fas154, by interposing them (glibc only); the batched evaluations of method 7 do not go
// through them, so these are the scalar calls only (the evaluations per fit, batched, with
// and without the cache, come from arima_evaluations_bench). peak_rss_MB is the peak
// resident memory of the process so far.
//
// Comparison with R: set TSFORGE_R_GRID to an R script that takes FILE.csv, fits the same
// 48 orders with stats::arima and prints "seconds=S" (../shared/tools/r-arima-grid.R); the
// search benchmarks then run it on the same series in the same run and report r_seconds
// and speedup (R's time over ours, both wall-clock).
#include <benchmark/benchmark.h>

#include "bench/bench_util.h"
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Forecast/ARIMA.h"
#include "core/arima/arima.h"

#if defined(__GLIBC__)
#include <dlfcn.h>

namespace {
long g_evalCss = 0;
long g_evalMl = 0;
}  // namespace

using objective_t = double (*)(double *, int, void *);

// The estimators hand these exported objectives to the minimiser by address, so the
// program's definitions take their place; each forwards to the library's own.
extern "C" double fcss(double *b, int n, void *params) {
  static objective_t real = reinterpret_cast<objective_t>(dlsym(RTLD_NEXT, "fcss"));
  ++g_evalCss;
  return real(b, n, params);
}
extern "C" double fas154(double *b, int n, void *params) {
  static objective_t real = reinterpret_cast<objective_t>(dlsym(RTLD_NEXT, "fas154"));
  ++g_evalMl;
  return real(b, n, params);
}
#define TSF_COUNT_EVALS 1
#endif

namespace {

const std::vector<double> &Series(int which) {
  static const std::vector<double> nile = bench_util::LoadSeries("nile.csv");
  static const std::vector<double> s1000 = bench_util::SimulatedArma21(1000);
  static const std::vector<double> s8000 = bench_util::SimulatedArma21(8000);
  return which == 0 ? nile : (which == 1 ? s1000 : s8000);
}

double PeakRssMb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss / 1024.0;
}

// Seconds R takes for the same grid, or a negative value when no R script is set.
double RSeconds(const std::vector<double> &x) {
  const char *script = std::getenv("TSFORGE_R_GRID");
  if (script == nullptr) return -1.0;
  std::string path = "/tmp/tsforge_arima_bench_" + std::to_string(x.size()) + ".csv";
  {
    std::ofstream out(path);
    out << "time,value\n";
    out.precision(17);
    for (std::size_t t = 0; t < x.size(); ++t) out << t + 1 << "," << x[t] << "\n";
  }
  return bench_util::ValueAfter(
      bench_util::CommandOutput(std::string("Rscript ") + script + " " + path + " 2>/dev/null"), "seconds=");
}

void BM_OrderSearch(benchmark::State &state) {
  const std::vector<double> &x = Series(static_cast<int>(state.range(0)));
  std::vector<int> order;
#ifdef TSF_COUNT_EVALS
  g_evalCss = g_evalMl = 0;
#endif
  for (auto _ : state) {
    std::vector<double> pred;
    order.clear();
    CalculateOrderAndGetPredictions(x, pred, 12, order);
    benchmark::DoNotOptimize(pred.data());
  }
  const double iters = static_cast<double>(state.iterations());
#ifdef TSF_COUNT_EVALS
  state.counters["evals_css"] = g_evalCss / iters;
  state.counters["evals_ml"] = g_evalMl / iters;
#endif
  state.counters["peak_rss_MB"] = PeakRssMb();
  state.counters["n"] = static_cast<double>(x.size());
  state.SetLabel("order (" + std::to_string(order[0]) + "," + std::to_string(order[1]) + "," +
                 std::to_string(order[2]) + ")");
  double r = RSeconds(x);
  if (r > 0.0) {
    state.counters["r_seconds"] = r;
    // R's seconds per search over ours, from the wall-clock timer of this run.
    state.counters["speedup"] = benchmark::Counter(r * iters, benchmark::Counter::kIsRate);
  }
}
BENCHMARK(BM_OrderSearch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OrderSearch)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One candidate: arima_exec by exact ML and the 12 forecasts, on the simulated n = 1000.
void BM_CandidateFit(benchmark::State &state) {
  const std::vector<double> &x = Series(1);
  const int p = static_cast<int>(state.range(0)), d = static_cast<int>(state.range(1)),
            q = static_cast<int>(state.range(2));
  std::vector<double> y(12), mse(12);
#ifdef TSF_COUNT_EVALS
  g_evalCss = g_evalMl = 0;
#endif
  int ret = 0;
  for (auto _ : state) {
    arima_object *obj = arima_init(p, d, q, static_cast<int>(x.size()));
    arima_exec(obj, x.data());
    arima_predict(obj, x.data(), 12, y.data(), mse.data());
    ret = obj->retval;
    arima_free(obj);
    benchmark::DoNotOptimize(y.data());
  }
#ifdef TSF_COUNT_EVALS
  state.counters["evals_css"] = g_evalCss / static_cast<double>(state.iterations());
  state.counters["evals_ml"] = g_evalMl / static_cast<double>(state.iterations());
#endif
  state.counters["retval"] = ret;
}
BENCHMARK(BM_CandidateFit)
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({2, 0, 1})
    ->Args({1, 1, 1})
    ->Args({3, 0, 3})
    ->Args({3, 2, 3})
    ->Unit(benchmark::kMillisecond);

}  // namespace

// ---- Seasonal ARIMA ------------------------------------------------------------------
// The airline model (0,1,1)(0,1,1)12 fitted by exact likelihood (sarima_exec, method 0,
// which starts from the CSS fit) with 12 forecasts, on log AirPassengers (n = 144) and on
// CO2 (n = 468). When Rscript is on the PATH, R's arima(x, c(0, 1, 1), seasonal =
// list(order = c(0, 1, 1), period = 12), method = "ML") on the same series is timed in
// the same run: r_ms is R's time per fit and speedup R's time over ours. evals_css_seas
// and evals_ml_seas count the objective evaluations per fit (glibc only).
#if defined(__GLIBC__)
namespace {
long g_evalCssSeas = 0;
long g_evalMlSeas = 0;
}  // namespace

extern "C" double fcss_seas(double *b, int n, void *params) {
  static objective_t real = reinterpret_cast<objective_t>(dlsym(RTLD_NEXT, "fcss_seas"));
  ++g_evalCssSeas;
  return real(b, n, params);
}
extern "C" double fas154_seas(double *b, int n, void *params) {
  static objective_t real = reinterpret_cast<objective_t>(dlsym(RTLD_NEXT, "fas154_seas"));
  ++g_evalMlSeas;
  return real(b, n, params);
}
#endif

namespace {

struct SeasonalSeries {
  const char *file;
  bool log_scale;
};
const SeasonalSeries kSeasonalSeries[2] = {{"airpassengers.csv", true}, {"co2.csv", false}};

// Milliseconds per fit of R's arima on the airline model, or a negative value when R is
// not available.
double RAirlineMs(const SeasonalSeries &s) {
  if (bench_util::CommandOutput("command -v Rscript 2>/dev/null").empty()) return -1.0;
  const std::string path = std::string(TSFORGE_DATA_DIR) + "/" + s.file;
  const std::string code = "x <- read.csv('" + path + "')[[2]]; " + (s.log_scale ? "x <- log(x); " : "") +
                           "fit <- function() arima(x, order = c(0, 1, 1), seasonal = list(order = c(0, 1, 1), "
                           "period = 12), method = 'ML'); fit(); reps <- 0; t0 <- proc.time()[['elapsed']]; "
                           "repeat { fit(); reps <- reps + 1; t <- proc.time()[['elapsed']] - t0; "
                           "if (t > 2) break }; cat(sprintf('ms=%.6f\\n', 1000 * t / reps))";
  return bench_util::ValueAfter(bench_util::CommandOutput("Rscript -e \"" + code + "\" 2>/dev/null"), "ms=");
}

void BM_SeasonalAirline(benchmark::State &state) {
  const SeasonalSeries &s = kSeasonalSeries[state.range(0)];
  std::vector<double> x = bench_util::LoadSeries(s.file);
  if (s.log_scale)
    for (double &v : x) v = std::log(v);
  const int N = static_cast<int>(x.size());
  std::vector<double> y(12), mse(12);
  double loglik = 0.0;
  int ret = 0;
#ifdef TSF_COUNT_EVALS
  g_evalCssSeas = g_evalMlSeas = 0;
#endif
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    sarima_object *obj = sarima_init(0, 1, 1, 12, 0, 1, 1, N);
    sarima_exec(obj, x.data());
    sarima_predict(obj, x.data(), 12, y.data(), mse.data());
    ret = obj->retval;
    loglik = obj->loglik;
    sarima_free(obj);
    benchmark::DoNotOptimize(y.data());
  }
  const double iters = static_cast<double>(state.iterations());
  // Wall-clock time per fit, as R's is measured.
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / iters;
#ifdef TSF_COUNT_EVALS
  state.counters["evals_css_seas"] = g_evalCssSeas / iters;
  state.counters["evals_ml_seas"] = g_evalMlSeas / iters;
#endif
  state.counters["retval"] = ret;
  state.counters["loglik"] = loglik;
  state.SetLabel(std::string(s.log_scale ? "log " : "") + s.file);
  const double r_ms = RAirlineMs(s);
  if (r_ms > 0.0) {
    state.counters["r_ms"] = r_ms;
    state.counters["speedup"] = r_ms / ms;
  }
}
BENCHMARK(BM_SeasonalAirline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// ---- AR model by exact likelihood ----------------------------------------------------
// ar_exec with method 2 (orders 1..12 by exact likelihood, then the selected order) on the
// simulated n = 1000 series, against R's ar.mle(x, order.max = 12) timed in the same run
// when Rscript is on the PATH: counters r_seconds and speedup (R's time over ours).

namespace {

// CPU seconds (user + system) per ar.mle(x, order.max = 12) in R, the mean of 5 after one
// warm-up, or a negative value when R cannot be run. CPU time, as the rate counter of our
// side divides by CPU time: the comparison holds on a busy machine.
double RArMleSeconds(const std::vector<double> &x) {
  const std::string path = "/tmp/tsforge_ar_bench_" + std::to_string(getpid()) + ".csv";
  {
    std::ofstream out(path);
    out.precision(17);
    for (double v : x) out << v << "\n";
  }
  const std::string cmd = "Rscript -e 'x <- scan(\"" + path +
                          "\", quiet = TRUE); invisible(ar.mle(x, order.max = 12)); "
                          "s <- system.time(for (i in 1:5) ar.mle(x, order.max = 12)); "
                          "t <- (s[[\"user.self\"]] + s[[\"sys.self\"]]) / 5; "
                          "cat(sprintf(\"seconds=%.6f\", t))' 2>/dev/null";
  const std::string text = bench_util::CommandOutput(cmd);
  std::remove(path.c_str());
  return bench_util::ValueAfter(text, "seconds=");
}

void BM_ArExecMle(benchmark::State &state) {
  const std::vector<double> &x = Series(1);
  const int n = static_cast<int>(x.size());
  int order = 0, ret = 0;
#ifdef TSF_COUNT_EVALS
  g_evalCss = g_evalMl = 0;
#endif
  // ar_exec prints its order selection: keep it out of the report.
  std::fflush(stdout);
  const int saved = dup(1);
  const int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  for (auto _ : state) {
    ar_object *obj = ar_init(2, n);
    ar_exec(obj, x.data());
    order = obj->order;
    ret = obj->retval;
    ar_free(obj);
  }
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(devnull);
  state.counters["order"] = order;
  state.counters["retval"] = ret;
#ifdef TSF_COUNT_EVALS
  state.counters["evals_css"] = g_evalCss / static_cast<double>(state.iterations());
  state.counters["evals_ml"] = g_evalMl / static_cast<double>(state.iterations());
#endif
  const double r = RArMleSeconds(x);
  if (r > 0.0) {
    state.counters["r_seconds"] = r;
    state.counters["speedup"] =
        benchmark::Counter(r * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
}
BENCHMARK(BM_ArExecMle)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
