// The order search of CalculateOrderAndGetPredictions (48 candidate fits by exact ML,
// horizon 12) on Nile (n = 100) and on simulated ARMA(2, 1) series of n = 1000 and 8000,
// and single candidate fits.
//
// Counters: evals_per_fit is the number of objective values (CSS and exact likelihood) a
// candidate fit computes, averaged over the 48 orders, with the minimiser's cache of trial
// points (evals_per_fit), without it (evals_per_fit_nocache) and, for n <= 1000, on the
// scalar path (evals_per_fit_scalar); counted through the estimators' internal options, for
// which this program links the library's objects. peak_rss_MB is the peak resident memory.
//
// Comparison with R: set TSFORGE_R_GRID to an R script that takes FILE.csv, fits the same
// 48 orders with stats::arima and prints "seconds=S" (../shared/tools/r-arima-grid.R); the
// search benchmarks then run it on the same series in the same run and report r_seconds and
// speedup (R's time over ours, both wall-clock).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Forecast/ARIMA.h"
#include "core/arima/arima.h"
#include "core/arima/likelihood_batch_internal.h"

namespace {

std::vector<double> LoadSeries(const std::string &name) {
  std::ifstream in(std::string(TSFORGE_DATA_DIR) + "/" + name);
  std::vector<double> v;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    auto c = line.find(',');
    if (c != std::string::npos) v.push_back(std::stod(line.substr(c + 1)));
  }
  return v;
}

// x[t] = 0.5 x[t-1] + 0.3 x[t-2] + e[t] + 0.4 e[t-1], around a level of 10.
std::vector<double> SimulatedArma21(int n) {
  std::mt19937_64 gen(20261208);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> x(n);
  double x1 = 0, x2 = 0, e1 = 0;
  for (int t = -200; t < n; ++t) {
    double e = z(gen);
    double v = 0.5 * x1 + 0.3 * x2 + e + 0.4 * e1;
    x2 = x1;
    x1 = v;
    e1 = e;
    if (t >= 0) x[t] = 10.0 + v;
  }
  return x;
}

const std::vector<double> &Series(int which) {
  static const std::vector<double> nile = LoadSeries("nile.csv");
  static const std::vector<double> s1000 = SimulatedArma21(1000);
  static const std::vector<double> s8000 = SimulatedArma21(8000);
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
  std::string cmd = std::string("Rscript ") + script + " " + path + " 2>/dev/null";
  FILE *pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return -1.0;
  char buf[512];
  std::string text;
  while (std::fgets(buf, sizeof buf, pipe) != nullptr) text += buf;
  pclose(pipe);
  auto at = text.find("seconds=");
  return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + 8);
}

// Objective values per candidate fit over the 48 orders of the search.
double EvaluationsPerFit(const std::vector<double> &series, const tsf_arima::fit_options &base) {
  std::vector<double> x(series);
  const int N = static_cast<int>(x.size());
  long evaluations = 0;
  int fits = 0;
  tsf_arima::fit_options options = base;
  options.evaluations = &evaluations;
  std::fflush(stdout);
  for (int p = 0; p <= 3; ++p)
    for (int d = 0; d <= 2; ++d)
      for (int q = 0; q <= 3; ++q) {
        const int k = p + q + (d == 0 ? 1 : 0);
        std::vector<double> phi(p + 1), theta(q + 1), res(N), vcov(k * k + 1);
        double mean = 0.0, var = 0.0, loglik = 0.0;
        tsf_arima::as154_fit(options, x.data(), N, 7, p, d, q, phi.data(), theta.data(), &mean, &var, res.data(),
                             &loglik, vcov.data());
        ++fits;
      }
  return static_cast<double>(evaluations) / fits;
}

void BM_OrderSearch(benchmark::State &state) {
  const std::vector<double> &x = Series(static_cast<int>(state.range(0)));
  std::vector<int> order;
  for (auto _ : state) {
    std::vector<double> pred;
    order.clear();
    CalculateOrderAndGetPredictions(x, pred, 12, order);
    benchmark::DoNotOptimize(pred.data());
  }
  tsf_arima::fit_options cached, uncached, scalar;
  uncached.cache_entries = 0;
  scalar.batched = false;
  state.counters["evals_per_fit"] = EvaluationsPerFit(x, cached);
  state.counters["evals_per_fit_nocache"] = EvaluationsPerFit(x, uncached);
  if (x.size() <= 1000) state.counters["evals_per_fit_scalar"] = EvaluationsPerFit(x, scalar);
  state.counters["peak_rss_MB"] = PeakRssMb();
  state.counters["n"] = static_cast<double>(x.size());
  state.SetLabel("order (" + std::to_string(order[0]) + "," + std::to_string(order[1]) + "," +
                 std::to_string(order[2]) + ")");
  double r = RSeconds(x);
  if (r > 0.0) {
    state.counters["r_seconds"] = r;
    // R's seconds per search over ours, from the wall-clock timer of this run.
    state.counters["speedup"] = benchmark::Counter(r * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
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
  int ret = 0;
  for (auto _ : state) {
    arima_object *obj = arima_init(p, d, q, static_cast<int>(x.size()));
    arima_exec(obj, x.data());
    arima_predict(obj, x.data(), 12, y.data(), mse.data());
    ret = obj->retval;
    arima_free(obj);
    benchmark::DoNotOptimize(y.data());
  }
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

BENCHMARK_MAIN();
