// Objective evaluations per candidate fit of the order search (the 48 orders, each a CSS
// start and the exact likelihood by method 7) on Nile (n = 100) and on the simulated
// ARMA(2, 1) series of arima_bench (n = 1000 and 8000): batched with the minimiser's cache
// of trial points, batched without it, and on the scalar path, with the time each way
// takes. The evaluations are counted through the estimators' internal options, for which
// this program links the library's objects instead of the shared library.
//
// Counter: evals_per_fit, objective values (CSS and exact likelihood together) per fit.
#include <benchmark/benchmark.h>

#include "bench/bench_util.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/arima/likelihood_batch_internal.h"

namespace {

const std::vector<double> &Series(int which) {
  static const std::vector<double> nile = bench_util::LoadSeries("nile.csv"),
                                   s1000 = bench_util::SimulatedArma21(1000),
                                   s8000 = bench_util::SimulatedArma21(8000);
  return which == 0 ? nile : (which == 1 ? s1000 : s8000);
}

// The 48 fits of the search; returns the objective values computed.
long Search(const std::vector<double> &series, tsf_arima::fit_options options) {
  std::vector<double> x(series);
  const int N = static_cast<int>(x.size());
  long evaluations = 0;
  options.evaluations = &evaluations;
  for (int p = 0; p <= 3; ++p)
    for (int d = 0; d <= 2; ++d)
      for (int q = 0; q <= 3; ++q) {
        const int k = p + q + (d == 0 ? 1 : 0);
        std::vector<double> phi(p + 1), theta(q + 1), res(N), vcov(k * k + 1);
        double mean = 0.0, var = 0.0, loglik = 0.0;
        tsf_arima::as154_fit(options, x.data(), N, 7, p, d, q, phi.data(), theta.data(), &mean, &var, res.data(),
                             &loglik, vcov.data());
      }
  return evaluations;
}

// Arguments: series (0 Nile, 1 n = 1000, 2 n = 8000); way (0 batched with the cache,
// 1 batched without it, 2 scalar).
void BM_Evaluations(benchmark::State &state) {
  const std::vector<double> &x = Series(static_cast<int>(state.range(0)));
  tsf_arima::fit_options options;
  if (state.range(1) == 1) options.cache_entries = 0;
  if (state.range(1) == 2) options.batched = false;
  static const char *const kWay[] = {"batched, cache", "batched, no cache", "scalar"};
  long evaluations = 0;
  std::fflush(stdout);
  for (auto _ : state) evaluations = Search(x, options);
  state.counters["evals_per_fit"] = evaluations / 48.0;
  state.counters["n"] = static_cast<double>(x.size());
  state.SetLabel(kWay[state.range(1)]);
}
BENCHMARK(BM_Evaluations)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Evaluations)->Args({2, 0})->Args({2, 1})->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
