// One evaluation of the exact-likelihood objective fas154 (stationary covariance by
// starma, then the Kalman filter karma) and of the conditional objective fcss, the inner
// loop of every ARIMA fit, on simulated ARMA series of n = 100, 1000 and 10000 values for
// a few orders; and starma alone.
//
// Counters: ns_per_obs is the time per observation of the series; allocs_per_eval counts
// operator new calls made during one evaluation (0: the work objects hold everything).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "core/arima/arima.h"

namespace {
long g_news = 0;
}  // namespace

// The replacements below pair malloc with free, which the compiler cannot see through.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void *operator new(std::size_t n) {
  ++g_news;
  if (void *p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

namespace {

// ARMA(2, 1) with mean 10: w = 10 + 0.5 (w1 - 10) + 0.2 (w2 - 10) + e + 0.4 e1.
std::vector<double> Simulate(int n) {
  std::mt19937_64 gen(42);
  std::normal_distribution<double> e(0.0, 1.0);
  std::vector<double> w(n);
  double w1 = 0.0, w2 = 0.0, e1 = 0.0;
  for (int t = 0; t < n; ++t) {
    const double et = e(gen);
    const double v = 0.5 * w1 + 0.2 * w2 + et + 0.4 * e1;
    w[t] = 10.0 + v;
    w2 = w1;
    w1 = v;
    e1 = et;
  }
  return w;
}

// Arguments: n, p, q. Coefficients are a stationary, invertible point.
std::vector<double> Parameters(int p, int q) {
  std::vector<double> b;
  for (int i = 0; i < p; ++i) b.push_back(0.4 / (i + 1));
  for (int j = 0; j < q; ++j) b.push_back(0.3 / (j + 1));
  b.push_back(10.0);
  return b;
}

void Objective(benchmark::State &state, bool exact) {
  const int n = static_cast<int>(state.range(0));
  const int p = static_cast<int>(state.range(1));
  const int q = static_cast<int>(state.range(2));
  std::vector<double> x = Simulate(n);
  alik_object *obj = exact ? alik_init(p, 0, q, n) : alik_css_init(p, 0, q, n);
  // The series as css and as154 load it (d = 0: working copy and kept copy).
  obj->length = n;
  for (int t = 0; t < n; ++t) obj->x[t] = obj->x[2 * n + t] = x[t];
  std::vector<double> b = Parameters(p, q);
  const long news0 = g_news;
  long evals = 0;
  for (auto _ : state) {
    double v = exact ? fas154(b.data(), obj->pq, obj) : fcss(b.data(), obj->pq, obj);
    benchmark::DoNotOptimize(v);
    ++evals;
  }
  state.counters["allocs_per_eval"] = static_cast<double>(g_news - news0) / static_cast<double>(evals);
  state.counters["ns_per_obs"] =
      benchmark::Counter(static_cast<double>(evals) * n, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (exact) free_alik(obj); else free_alik_css(obj);
}

void BM_fas154(benchmark::State &state) { Objective(state, true); }
void BM_fcss(benchmark::State &state) { Objective(state, false); }

void Orders(benchmark::internal::Benchmark *b) {
  for (int n : {100, 1000, 10000})
    for (auto pq : {std::pair<int, int>{1, 1}, {2, 1}, {3, 2}}) b->Args({n, pq.first, pq.second});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_fas154)->Apply(Orders);
BENCHMARK(BM_fcss)->Apply(Orders);

// The stationary covariance alone, as the public starma (with its own work space) computes it.
void BM_starma(benchmark::State &state) {
  const int p = static_cast<int>(state.range(0));
  const int q = p - 1;
  const int r = p;
  std::vector<double> phi(r), theta(r), a(r), P(r * (r + 1) / 2), V(P.size());
  for (auto _ : state) {
    for (int i = 0; i < r; ++i) {
      phi[i] = i < p ? 0.3 / (i + 1) : 0.0;
      theta[i] = i < q ? 0.2 / (i + 1) : 0.0;
    }
    benchmark::DoNotOptimize(starma(p, q, phi.data(), theta.data(), a.data(), P.data(), V.data()));
  }
}
BENCHMARK(BM_starma)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
