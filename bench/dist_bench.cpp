// The gamma quantile: gammainv, which stops at the first repeated iterate, against the
// same Newton iteration run until its tolerance of 2^-1074 or 1000 steps, which rounding
// usually makes it run in full. Both give the same bits; the table at the end gives the
// time of the full run over gammainv's per shape. Also the incomplete gamma function on
// both sides of its switch to the uniform expansion at a = 1000.
#include <benchmark/benchmark.h>

#include "bench/bench_util.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/dist/dist.h"

namespace {

const double kShapes[] = {0.5, 2.5, 10.0, 300.0};
const double kProbabilities[] = {0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99};

double gammainv_all_steps(double p, double a, double b) {
  const double s = std::log(a + 1.0) - std::log(a), m = std::log(a) - s / 2.0;
  double x = std::exp(m - std::sqrt(2.0 * s) * erfcinv(2.0 * p)), dx = 1.0;
  const double tol = eps(2.2251e-308);
  for (int k = 0; k < 1000 && std::fabs(dx) > tol * x; ++k) {
    dx = (gammacdf(x, a, 1.0) - p) / r8_max(gammapdf(x, a, 1.0), 2.2251e-308);
    double next = x - dx;
    if (next <= 0.0) {
      next = x / 10.0;
      dx = x - next;
    }
    if (next == 0.0) return 0.0;
    x = next;
  }
  return x * b;
}

// One evaluation per probability of kProbabilities per iteration.
template <double (*Quantile)(double, double, double)>
void QuantileSweep(benchmark::State &state, double a) {
  for (auto _ : state) {
    double sum = 0.0;
    for (double p : kProbabilities) sum += Quantile(p, a, 1.0);
    benchmark::DoNotOptimize(sum);
  }
}

void IncompleteGamma(benchmark::State &state, double a) {
  for (auto _ : state) {
    double sum = 0.0;
    for (double z = -3.0; z <= 3.0; z += 0.5) sum += pgamma(a + z * std::sqrt(a), a);
    benchmark::DoNotOptimize(sum);
  }
}


std::string Name(const char *who, double a) { return std::string(who) + "/" + std::to_string(a); }

}  // namespace

int main(int argc, char **argv) {
  for (double a : kShapes) {
    benchmark::RegisterBenchmark(Name("gammainv", a).c_str(), QuantileSweep<gammainv>, a)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(Name("gammainv_all_steps", a).c_str(), QuantileSweep<gammainv_all_steps>, a)
        ->Unit(benchmark::kMicrosecond);
  }
  for (double a : {999.0, 1000.0, 1e6, 1e20})
    benchmark::RegisterBenchmark(Name("pgamma", a).c_str(), IncompleteGamma, a)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  bench_util::MinTimeReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  std::printf("\n%10s %22s %22s %8s\n", "shape", "gammainv (us/call)", "all steps (us/call)", "ratio");
  const double n = sizeof kProbabilities / sizeof kProbabilities[0];
  for (double a : kShapes) {
    const double t = rep.Best(Name("gammainv", a)), f = rep.Best(Name("gammainv_all_steps", a));
    if (t > 0 && f > 0) std::printf("%10g %22.2f %22.2f %8.1f\n", a, t / n, f / n, f / t);
  }
  benchmark::Shutdown();
  return 0;
}
