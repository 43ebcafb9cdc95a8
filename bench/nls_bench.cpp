// Time and residual calls of the Levenberg-Marquardt solver (levmar) with forward
// differences and with an analytic Jacobian, on a two-exponential decay fitted to M
// noiseless samples, and on the MINPACK problems Osborne 1 and Meyer.
#include "core/optim/optim.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Decay {
  std::vector<double> t, y;
  long calls = 0;
  explicit Decay(int M) : t(M), y(M) {
    for (int i = 0; i < M; ++i) {
      t[i] = 10.0 * i / M;
      y[i] = 2.0 * std::exp(-1.3 * t[i]) + 0.5 * std::exp(-0.2 * t[i]);
    }
  }
};

void decay_f(double *x, int M, int, double *f, void *p) {
  Decay *d = static_cast<Decay *>(p);
  ++d->calls;
  for (int i = 0; i < M; ++i) f[i] = x[0] * std::exp(-x[1] * d->t[i]) + x[2] * std::exp(-x[3] * d->t[i]) - d->y[i];
}

void decay_j(double *x, int M, int, double *J, void *p) {
  Decay *d = static_cast<Decay *>(p);
  for (int i = 0; i < M; ++i) {
    double e1 = std::exp(-x[1] * d->t[i]), e2 = std::exp(-x[3] * d->t[i]);
    J[i * 4 + 0] = e1;
    J[i * 4 + 1] = -x[0] * d->t[i] * e1;
    J[i * 4 + 2] = e2;
    J[i * 4 + 3] = -x[2] * d->t[i] * e2;
  }
}

const double kMeyerY[16] = {34780.0, 28610.0, 23650.0, 19630.0, 16370.0, 13720.0, 11540.0, 9744.0,
                            8261.0,  7030.0,  6005.0,  5147.0,  4427.0,  3820.0,  3307.0,  2872.0};
void meyer(double *x, int, int, double *f, void *) {
  for (int i = 0; i < 16; ++i) f[i] = x[0] * std::exp(x[1] / ((45.0 + 5.0 * (i + 1)) + x[2])) - kMeyerY[i];
}

const double kOsborneY[33] = {0.844, 0.908, 0.932, 0.936, 0.925, 0.908, 0.881, 0.850, 0.818, 0.784, 0.751,
                              0.718, 0.685, 0.658, 0.628, 0.603, 0.580, 0.558, 0.538, 0.522, 0.506, 0.490,
                              0.478, 0.467, 0.457, 0.448, 0.438, 0.431, 0.424, 0.420, 0.414, 0.411, 0.406};
void osborne1(double *x, int, int, double *f, void *) {
  for (int i = 0; i < 33; ++i) {
    double t = 10.0 * i;
    f[i] = kOsborneY[i] - (x[0] + x[1] * std::exp(-t * x[3]) + x[2] * std::exp(-t * x[4]));
  }
}

void BM_DecayFit(benchmark::State &state) {
  int M = static_cast<int>(state.range(0));
  bool analytic = state.range(1) != 0;
  Decay d(M);
  residual_function f{decay_f, &d}, J{decay_j, &d};
  double x0[4] = {1.0, 1.0, 1.0, 0.1}, xf[4];
  int code = 0;
  for (auto _ : state) {
    d.calls = 0;
    code = levmar(&f, analytic ? &J : nullptr, x0, M, 4, xf);
    benchmark::DoNotOptimize(xf);
  }
  state.counters["code"] = code;
  state.counters["residual_calls"] = static_cast<double>(d.calls);
  state.SetLabel(analytic ? "lmder" : "lmdif");
}
BENCHMARK(BM_DecayFit)->ArgsProduct({{50, 500, 5000}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_Meyer(benchmark::State &state) {
  residual_function f{meyer, nullptr};
  double x0[3] = {0.02, 4000.0, 250.0}, xf[3];
  for (auto _ : state) {
    levmar(&f, nullptr, x0, 16, 3, xf);
    benchmark::DoNotOptimize(xf);
  }
}
BENCHMARK(BM_Meyer)->Unit(benchmark::kMicrosecond);

void BM_Osborne1(benchmark::State &state) {
  residual_function f{osborne1, nullptr};
  double x0[5] = {0.5, 1.5, -1.0, 0.01, 0.02}, xf[5];
  for (auto _ : state) {
    levmar(&f, nullptr, x0, 33, 5, xf);
    benchmark::DoNotOptimize(xf);
  }
}
BENCHMARK(BM_Osborne1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
