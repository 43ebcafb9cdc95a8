// Speed of fft_exec and fft_r2c_exec. When FFTW3 is available the same lengths are timed
// with FFTW (double, out of place, FFTW_ESTIMATE plans made outside the timed loop) in the
// same run, and a table of our time over FFTW's is printed at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_util.h"

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/fft/fft.h"

#ifdef TSFORGE_HAVE_FFTW3
#include <fftw3.h>
#endif

namespace {

const int kComplexLengths[] = {64, 1024, 4096, 65536, 1 << 20, 1000, 1009, 4099, 59049};
const int kRealLengths[] = {4096, 65536};

std::vector<double> RandomValues(size_t n) {
  std::mt19937 gen(42);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(n);
  for (auto &x : v) x = u(gen);
  return v;
}

void SetRate(benchmark::State &state, int N) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * N);
}

void OurComplex(benchmark::State &state, int N) {
  std::vector<double> v = RandomValues(2 * static_cast<size_t>(N));
  std::vector<fft_data> in(N), out(N);
  for (int i = 0; i < N; ++i) in[i] = {v[2 * i], v[2 * i + 1]};
  fft_object *p = fft_init(N, 1);
  for (auto _ : state) {
    fft_exec(p, in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  free_fft(p);
  SetRate(state, N);
}

void OurReal(benchmark::State &state, int N) {
  std::vector<double> in = RandomValues(N);
  std::vector<fft_data> out(N);
  fft_real_object *p = fft_real_init(N, 1);
  for (auto _ : state) {
    fft_r2c_exec(p, in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  free_real_fft(p);
  SetRate(state, N);
}

#ifdef TSFORGE_HAVE_FFTW3
void FftwComplex(benchmark::State &state, int N) {
  fftw_complex *in = fftw_alloc_complex(N), *out = fftw_alloc_complex(N);
  fftw_plan plan = fftw_plan_dft_1d(N, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
  std::vector<double> v = RandomValues(2 * static_cast<size_t>(N));
  for (int i = 0; i < N; ++i) {
    in[i][0] = v[2 * i];
    in[i][1] = v[2 * i + 1];
  }
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
  SetRate(state, N);
}

void FftwReal(benchmark::State &state, int N) {
  double *in = fftw_alloc_real(N);
  fftw_complex *out = fftw_alloc_complex(N / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(N, in, out, FFTW_ESTIMATE);
  std::vector<double> v = RandomValues(N);
  for (int i = 0; i < N; ++i) in[i] = v[i];
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
  SetRate(state, N);
}
#endif


std::string Name(const char *what, const char *who, int N) {
  return std::string(what) + "/" + who + "/" + std::to_string(N);
}

void PrintRatios(const bench_util::MinTimeReporter &rep) {
#ifdef TSFORGE_HAVE_FFTW3
  std::printf("\n%-10s %9s %14s %14s %10s\n", "routine", "N", "tsforge (ns)", "fftw (ns)", "ratio");
  auto line = [&](const char *what, int N) {
    double ours = rep.Best(Name(what, "tsforge", N)), theirs = rep.Best(Name(what, "fftw", N));
    if (ours > 0 && theirs > 0) std::printf("%-10s %9d %14.0f %14.0f %10.2f\n", what, N, ours, theirs, ours / theirs);
  };
  for (int N : kComplexLengths) line("c2c", N);
  for (int N : kRealLengths) line("r2c", N);
#else
  (void)rep;
  std::printf("\nFFTW3 not found at configure time: no ratios.\n");
#endif
}

}  // namespace

int main(int argc, char **argv) {
  for (int N : kComplexLengths) {
    benchmark::RegisterBenchmark(Name("c2c", "tsforge", N).c_str(), OurComplex, N);
#ifdef TSFORGE_HAVE_FFTW3
    benchmark::RegisterBenchmark(Name("c2c", "fftw", N).c_str(), FftwComplex, N);
#endif
  }
  for (int N : kRealLengths) {
    benchmark::RegisterBenchmark(Name("r2c", "tsforge", N).c_str(), OurReal, N);
#ifdef TSFORGE_HAVE_FFTW3
    benchmark::RegisterBenchmark(Name("r2c", "fftw", N).c_str(), FftwReal, N);
#endif
  }
  benchmark::Initialize(&argc, argv);
  bench_util::MinTimeReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  PrintRatios(rep);
  benchmark::Shutdown();
  return 0;
}
