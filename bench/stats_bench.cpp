// Direct against FFT autocovariance at all lags (L = N). The direct form costs O(N^2)
// here, the FFT form O(N log N) plus the plan; the table at the end gives direct time over
// FFT time per N, so the crossover is where the ratio passes 1.
#include <benchmark/benchmark.h>

#include "bench/bench_util.h"

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/stats/stats.h"

namespace {

const int kLengths[] = {16, 32, 64, 128, 256, 1000, 10000, 100000};

std::vector<double> Ar1Series(int N) {
  std::mt19937 gen(7);
  std::normal_distribution<double> g;
  std::vector<double> x(N);
  double prev = 0;
  for (auto &v : x) v = prev = 0.7 * prev + g(gen);
  return x;
}

void Direct(benchmark::State &state, int N) {
  std::vector<double> x = Ar1Series(N), acov(N);
  for (auto _ : state) {
    autocovar(x.data(), N, acov.data(), N);
    benchmark::DoNotOptimize(acov.data());
    benchmark::ClobberMemory();
  }
}

// The plan is made once, outside the timed loop, as a caller computing many series would.
void Fft(benchmark::State &state, int N) {
  std::vector<double> x = Ar1Series(N), acov(N);
  auto_object *obj = auto_fft_init(N);
  for (auto _ : state) {
    autocovar_fft(obj, x.data(), acov.data(), N);
    benchmark::DoNotOptimize(acov.data());
    benchmark::ClobberMemory();
  }
  free_auto(obj);
}

// acvf_opt method 1: the plan made and freed inside every call.
void FftWithPlan(benchmark::State &state, int N) {
  std::vector<double> x = Ar1Series(N), acov(N);
  for (auto _ : state) {
    acvf_opt(x.data(), N, 1, acov.data(), N);
    benchmark::DoNotOptimize(acov.data());
    benchmark::ClobberMemory();
  }
}


std::string Name(const char *who, int N) { return std::string("autocovariance/") + who + "/" + std::to_string(N); }

}  // namespace

int main(int argc, char **argv) {
  for (int N : kLengths) {
    benchmark::RegisterBenchmark(Name("direct", N).c_str(), Direct, N)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(Name("fft", N).c_str(), Fft, N)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(Name("fft_with_plan", N).c_str(), FftWithPlan, N)->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  bench_util::MinTimeReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  std::printf("\n%9s %14s %14s %16s %10s %12s\n", "N", "direct (us)", "fft (us)", "fft+plan (us)", "dir/fft",
              "dir/fft+plan");
  for (int N : kLengths) {
    double d = rep.Best(Name("direct", N)), f = rep.Best(Name("fft", N)), p = rep.Best(Name("fft_with_plan", N));
    if (d > 0 && f > 0 && p > 0) std::printf("%9d %14.2f %14.2f %16.2f %10.2f %12.2f\n", N, d, f, p, d / f, d / p);
  }
  benchmark::Shutdown();
  return 0;
}
