// mmult against a textbook i-j-k triple loop (and cblas_dgemm when OpenBLAS is found) at
// n = 128, 256, 512, 1024; prints the time ratios after the benchmark table.
#include "core/matrix/matrix.h"

#include <benchmark/benchmark.h>

#include "bench/bench_util.h"

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#ifdef TSFORGE_HAVE_OPENBLAS
#include <cblas.h>
#endif

namespace {

const int kSizes[] = {128, 256, 512, 1024};

struct Operands {
  std::vector<double> A, B, C;
  explicit Operands(int n) : A(static_cast<size_t>(n) * n), B(A.size()), C(A.size()) {
    std::mt19937 gen(static_cast<unsigned>(n));
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double &v : A) v = u(gen);
    for (double &v : B) v = u(gen);
  }
};

void textbook_product(const double *A, const double *B, double *C, int n) {
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += A[i * n + k] * B[k * n + j];
      C[i * n + j] = s;
    }
  }
}

void BM_mmult(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  Operands op(n);
  for (auto _ : state) {
    mmult(op.A.data(), op.B.data(), op.C.data(), n, n, n);
    benchmark::DoNotOptimize(op.C.data());
    benchmark::ClobberMemory();
  }
  state.counters["GFLOPS"] = benchmark::Counter(2.0 * n * n * n, benchmark::Counter::kIsIterationInvariantRate,
                                                benchmark::Counter::kIs1000);
}

void BM_textbook(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  Operands op(n);
  for (auto _ : state) {
    textbook_product(op.A.data(), op.B.data(), op.C.data(), n);
    benchmark::DoNotOptimize(op.C.data());
    benchmark::ClobberMemory();
  }
  state.counters["GFLOPS"] = benchmark::Counter(2.0 * n * n * n, benchmark::Counter::kIsIterationInvariantRate,
                                                benchmark::Counter::kIs1000);
}

#ifdef TSFORGE_HAVE_OPENBLAS
void BM_dgemm(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  Operands op(n);
  for (auto _ : state) {
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, n, n, n, 1.0, op.A.data(), n, op.B.data(),
                n, 0.0, op.C.data(), n);
    benchmark::DoNotOptimize(op.C.data());
    benchmark::ClobberMemory();
  }
}
#endif

void register_all() {
  for (int n : kSizes) {
    benchmark::RegisterBenchmark("mmult", BM_mmult)->Arg(n)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("textbook", BM_textbook)->Arg(n)->Unit(benchmark::kMillisecond);
#ifdef TSFORGE_HAVE_OPENBLAS
    benchmark::RegisterBenchmark("dgemm", BM_dgemm)->Arg(n)->Unit(benchmark::kMillisecond);
#endif
  }
}


void print_ratios(const std::map<std::string, double> &t) {
  std::printf("\n%6s %14s %14s %16s", "n", "mmult (ms)", "textbook (ms)", "textbook/mmult");
#ifdef TSFORGE_HAVE_OPENBLAS
  std::printf(" %14s %16s", "dgemm (ms)", "mmult/dgemm");
#endif
  std::printf("\n");
  for (int n : kSizes) {
    auto get = [&](const char *name) {
      auto it = t.find(std::string(name) + "/" + std::to_string(n));
      return it == t.end() ? 0.0 : it->second;
    };
    double m = get("mmult"), tb = get("textbook");
    if (m <= 0.0 || tb <= 0.0) continue;
    std::printf("%6d %14.3f %14.3f %16.2f", n, 1e3 * m, 1e3 * tb, tb / m);
#ifdef TSFORGE_HAVE_OPENBLAS
    double d = get("dgemm");
    if (d > 0.0) std::printf(" %14.3f %16.2f", 1e3 * d, m / d);
#endif
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  register_all();
  bench_util::SecondsReporter reporter(true);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  print_ratios(reporter.seconds);
  return 0;
}
