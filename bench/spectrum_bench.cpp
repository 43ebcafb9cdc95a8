// Speed of the one-sided periodogram against |X|^2/N from FFTW's real transform (double,
// FFTW_ESTIMATE plan made outside the timed loop) in the same run, with the ratio printed
// at the end; our plain transform of the same length timed alone (the real one for even
// N, the complex one for odd N, which is what the periodogram runs unless N has a prime
// factor above 53); and polyroot at degrees 10, 50 and 100.
//
// Lengths: a power of two; a prime; 2^20 + 1 = 17 * 61681 and 10^5 + 3 (prime), odd
// lengths on the chirp-z path; 999999 = 3^3 * 7 * 11 * 13 * 37, an odd length whose
// factors are all supported.
#include <benchmark/benchmark.h>

#include "bench/bench_util.h"

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/fft/fft.h"
#include "core/polyroot/polyroot.h"
#include "core/spectrum/spectrum.h"

#ifdef TSFORGE_HAVE_FFTW3
#include <fftw3.h>
#endif

namespace {

const int kLengths[] = {1 << 20, 1000003, (1 << 20) + 1, 999999, 100003};

std::vector<double> Series(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> nd(0.0, 1.0);
  std::vector<double> v(n);
  for (double &x : v) x = nd(gen);
  return v;
}

void Periodogram(benchmark::State &state, int N) {
  std::vector<double> x = Series(N, 1), power(N / 2 + 1), freq(N / 2 + 1);
  spectrum_object *obj = spectrum_fft_init(N, N);
  for (auto _ : state) {
    periodogram(obj, x.data(), power.data(), freq.data(), 1);
    benchmark::DoNotOptimize(power.data());
    benchmark::ClobberMemory();
  }
  free_spectrum(obj);
}

// The plain transform of length N: real for even N, complex for odd N.
void TransformOnly(benchmark::State &state, int N) {
  std::vector<double> x = Series(N, 1);
  std::vector<fft_data> in(N), out(N);
  for (int i = 0; i < N; ++i) in[i] = {x[i], 0.0};
  fft_real_object *r = N % 2 == 0 ? fft_real_init(N, 1) : nullptr;
  fft_object *c = r ? nullptr : fft_init(N, 1);
  for (auto _ : state) {
    if (r)
      fft_r2c_exec(r, x.data(), out.data());
    else
      fft_exec(c, in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  free_real_fft(r);
  free_fft(c);
}

#ifdef TSFORGE_HAVE_FFTW3
void FftwPower(benchmark::State &state, int N) {
  double *in = fftw_alloc_real(N);
  fftw_complex *X = fftw_alloc_complex(N / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(N, in, X, FFTW_ESTIMATE);
  std::vector<double> x = Series(N, 1), power(N / 2 + 1);
  for (int i = 0; i < N; ++i) in[i] = x[i];
  for (auto _ : state) {
    fftw_execute(plan);
    for (int k = 0; k <= N / 2; ++k) power[k] = (X[k][0] * X[k][0] + X[k][1] * X[k][1]) / N;
    benchmark::DoNotOptimize(power.data());
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(X);
}
#endif

void Polyroot(benchmark::State &state, int degree) {
  std::vector<double> c = Series(degree + 1, 7), zr(degree), zi(degree);
  for (auto _ : state) {
    benchmark::DoNotOptimize(polyroot(c.data(), degree, zr.data(), zi.data()));
    benchmark::ClobberMemory();
  }
}


std::string Name(const char *who, int N) { return std::string("periodogram/") + who + "/" + std::to_string(N); }

}  // namespace

int main(int argc, char **argv) {
  for (int N : kLengths) {
    benchmark::RegisterBenchmark(Name("tsforge", N).c_str(), Periodogram, N);
    benchmark::RegisterBenchmark(Name("transform-only", N).c_str(), TransformOnly, N);
#ifdef TSFORGE_HAVE_FFTW3
    benchmark::RegisterBenchmark(Name("fftw", N).c_str(), FftwPower, N);
#endif
  }
  for (int degree : {10, 50, 100})
    benchmark::RegisterBenchmark(("polyroot/" + std::to_string(degree)).c_str(), Polyroot, degree)
        ->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  bench_util::MinTimeReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
#ifdef TSFORGE_HAVE_FFTW3
  std::printf("\n%9s %16s %16s %12s %10s\n", "N", "periodogram (ms)", "transform (ms)", "fftw (ms)", "ratio");
  for (int N : kLengths) {
    const double ours = rep.Best(Name("tsforge", N)), fft = rep.Best(Name("transform-only", N)),
                 theirs = rep.Best(Name("fftw", N));
    if (ours > 0 && theirs > 0)
      std::printf("%9d %16.2f %16.2f %12.2f %10.2f\n", N, ours / 1e6, fft / 1e6, theirs / 1e6, ours / theirs);
  }
#else
  std::printf("\nFFTW3 not found at configure time: no ratios.\n");
#endif
  benchmark::Shutdown();
  return 0;
}
