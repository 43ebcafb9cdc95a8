// Dense linear algebra against LAPACK and BLAS (OpenBLAS on one thread, through LAPACKE
// and the Fortran dgemm) when they are installed: chol at n = 1000 against dpotrf, svd
// of 300 x 300 against dgesvd (both factors), eig of 200 x 200 against dgeev
// (eigenvalues only), and mmult against dgemm at n = 1024 and on the panel shape of the
// blocked Cholesky's trailing update. Prints the ratios of CPU time per call after the
// benchmark table (CPU time, so that other work on a shared machine weighs less).
#include "core/matrix/matrix.h"

#include <benchmark/benchmark.h>

#include "bench/bench_util.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <map>
#include <random>
#include <string>
#include <vector>

#ifdef TSFORGE_HAVE_LAPACKE
#include <lapacke.h>
extern "C" void openblas_set_num_threads(int);
extern "C" void dgemm_(const char *, const char *, const int *, const int *, const int *,
                       const double *, const double *, const int *, const double *, const int *,
                       const double *, double *, const int *);
#endif

namespace {

std::vector<double> random_matrix(int rows, int cols, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> a(static_cast<size_t>(rows) * cols);
  for (double &v : a) v = u(gen);
  return a;
}

// B B^T + n I.
std::vector<double> spd_matrix(int n) {
  std::vector<double> B = random_matrix(n, n, 5), A(static_cast<size_t>(n) * n), Bt(A.size());
  mtranspose(B.data(), n, n, Bt.data());
  mmult(B.data(), Bt.data(), A.data(), n, n, n);
  for (int i = 0; i < n; ++i) A[static_cast<size_t>(i) * n + i] += n;
  return A;
}

// The cases: name, our call, LAPACK's call (both on fresh copies of the same input).
struct Case {
  std::string name;
  std::function<void()> ours, theirs;
  std::function<void()> reset;  // restores the inputs; not timed
};

struct Shape {
  int m, n, p;
};

std::vector<Case> &cases() {
  static std::vector<Case> all;
  return all;
}

void add_product(int m, int n, int p) {
  auto A = std::make_shared<std::vector<double>>(random_matrix(m, n, 1));
  auto B = std::make_shared<std::vector<double>>(random_matrix(n, p, 2));
  auto C = std::make_shared<std::vector<double>>(static_cast<size_t>(m) * p);
  Case c;
  c.name = "mmult " + std::to_string(m) + "x" + std::to_string(n) + "x" + std::to_string(p);
  c.ours = [=] { mmult(A->data(), B->data(), C->data(), m, n, p); };
#ifdef TSFORGE_HAVE_LAPACKE
  // Row-major C = A B is column-major C^T = B^T A^T.
  c.theirs = [=] {
    const double one = 1.0, zero = 0.0;
    dgemm_("N", "N", &p, &m, &n, &one, B->data(), &p, A->data(), &n, &zero, C->data(), &p);
  };
#endif
  c.reset = [] {};
  cases().push_back(c);
}

void add_chol(int n) {
  auto A0 = std::make_shared<std::vector<double>>(spd_matrix(n));
  auto A = std::make_shared<std::vector<double>>(*A0);
  Case c;
  c.name = "chol " + std::to_string(n);
  c.ours = [=] { chol(A->data(), n); };
#ifdef TSFORGE_HAVE_LAPACKE
  // The row-major upper triangle is the column-major lower one.
  c.theirs = [=] { LAPACKE_dpotrf(LAPACK_COL_MAJOR, 'L', n, A->data(), n); };
#endif
  c.reset = [=] { *A = *A0; };
  cases().push_back(c);
}

void add_svd(int n) {
  auto A0 = std::make_shared<std::vector<double>>(random_matrix(n, n, 3));
  auto A = std::make_shared<std::vector<double>>(*A0);
  const size_t nn = static_cast<size_t>(n) * n;
  auto U = std::make_shared<std::vector<double>>(nn), V = std::make_shared<std::vector<double>>(nn);
  auto q = std::make_shared<std::vector<double>>(2 * n);
  Case c;
  c.name = "svd " + std::to_string(n);
  c.ours = [=] { svd(A->data(), n, n, U->data(), V->data(), q->data()); };
#ifdef TSFORGE_HAVE_LAPACKE
  // Both factors, as svd forms them (of the transpose, which has the same cost).
  c.theirs = [=] {
    LAPACKE_dgesvd(LAPACK_COL_MAJOR, 'S', 'S', n, n, A->data(), n, q->data(), U->data(), n, V->data(), n,
                   q->data() + n);
  };
#endif
  c.reset = [=] { *A = *A0; };
  cases().push_back(c);
}

void add_eig(int n) {
  auto A0 = std::make_shared<std::vector<double>>(random_matrix(n, n, 4));
  auto A = std::make_shared<std::vector<double>>(*A0);
  auto re = std::make_shared<std::vector<double>>(n), im = std::make_shared<std::vector<double>>(n);
  Case c;
  c.name = "eig " + std::to_string(n);
  c.ours = [=] { eig(A->data(), n, re->data(), im->data()); };
#ifdef TSFORGE_HAVE_LAPACKE
  c.theirs = [=] {
    LAPACKE_dgeev(LAPACK_COL_MAJOR, 'N', 'N', n, A->data(), n, re->data(), im->data(), nullptr, 1, nullptr, 1);
  };
#endif
  c.reset = [=] { *A = *A0; };
  cases().push_back(c);
}

void run_case(benchmark::State &state, const std::function<void()> &fn, const std::function<void()> &reset) {
  for (auto _ : state) {
    state.PauseTiming();
    reset();
    state.ResumeTiming();
    fn();
    benchmark::ClobberMemory();
  }
}


}  // namespace

int main(int argc, char **argv) {
#ifdef TSFORGE_HAVE_LAPACKE
  openblas_set_num_threads(1);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  add_product(1024, 1024, 1024);
  add_product(936, 64, 936);
  add_chol(1000);
  add_svd(300);
  add_eig(200);
  for (const Case &c : cases()) {
    benchmark::RegisterBenchmark(("tsforge " + c.name).c_str(), run_case, c.ours, c.reset)
        ->Unit(benchmark::kMillisecond);
    if (c.theirs) {
      benchmark::RegisterBenchmark(("lapack " + c.name).c_str(), run_case, c.theirs, c.reset)
          ->Unit(benchmark::kMillisecond);
    }
  }
  bench_util::SecondsReporter reporter(false);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n%-22s %14s %14s %10s\n", "case", "tsforge (ms)", "lapack (ms)", "ratio");
  for (const Case &c : cases()) {
    auto ours = reporter.seconds.find("tsforge " + c.name);
    auto theirs = reporter.seconds.find("lapack " + c.name);
    if (ours == reporter.seconds.end()) continue;
    if (theirs == reporter.seconds.end()) {
      std::printf("%-22s %14.3f %14s %10s\n", c.name.c_str(), 1e3 * ours->second, "-", "-");
    } else {
      std::printf("%-22s %14.3f %14.3f %10.2f\n", c.name.c_str(), 1e3 * ours->second, 1e3 * theirs->second,
                  ours->second / theirs->second);
    }
  }
  return 0;
}
