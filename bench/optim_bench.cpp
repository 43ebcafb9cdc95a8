// Objective evaluations and time of every minimiser (methods 0-7 of fminunc) on the
// standard test problems and on a conditional sum of squares of an AR(3) model with mean
// for the Nile series, the kind of objective the ARIMA estimators minimise. Prints the
// evaluation table first (deterministic), then the timings.
#include "core/optim/optim.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Problem {
  const char *name;
  int N;
  double (*f)(double *, int, void *);
  std::vector<double> x0;
};

struct Counted {
  const Problem *p;
  long evals;
  void *data;
};

double rosenbrock(double *x, int, void *) {
  double a = x[1] - x[0] * x[0], b = 1.0 - x[0];
  return 100.0 * a * a + b * b;
}

double quadratic5(double *x, int, void *) {
  double s = 0.0;
  for (int i = 0; i < 5; ++i) {
    double d = x[i] - (i + 1);
    s += (i + 1) * d * d;
    if (i > 0) s += 0.5 * d * (x[i - 1] - i);
  }
  return s;
}

double powell_singular(double *x, int, void *) {
  double a = x[0] + 10.0 * x[1], b = x[2] - x[3], c = x[1] - 2.0 * x[2], d = x[0] - x[3];
  return a * a + 5.0 * b * b + c * c * c * c + 10.0 * d * d * d * d;
}

double wood(double *x, int, void *) {
  double a = x[1] - x[0] * x[0], b = 1.0 - x[0], c = x[3] - x[2] * x[2], d = 1.0 - x[2];
  double e = x[1] - 1.0, f = x[3] - 1.0;
  return 100.0 * a * a + b * b + 90.0 * c * c + d * d + 10.1 * (e * e + f * f) + 19.8 * e * f;
}

std::vector<double> &nile() {
  static std::vector<double> series = [] {
    std::vector<double> v;
    std::ifstream in(std::string(TSFORGE_DATA_DIR) + "/nile.csv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
      auto c = line.find(',');
      if (c != std::string::npos) v.push_back(std::stod(line.substr(c + 1)) / 100.0);
    }
    return v;
  }();
  return series;
}

// Mean squared one-step residual of x_t - mu = sum phi_i (x_{t-i} - mu) + a_t.
double ar3_css(double *x, int, void *) {
  const std::vector<double> &y = nile();
  double mu = x[3], ss = 0.0;
  for (size_t t = 3; t < y.size(); ++t) {
    double e = (y[t] - mu) - x[0] * (y[t - 1] - mu) - x[1] * (y[t - 2] - mu) - x[2] * (y[t - 3] - mu);
    ss += e * e;
  }
  return ss / static_cast<double>(y.size() - 3);
}

const std::vector<Problem> &problems() {
  static const std::vector<Problem> list = {
      {"Rosenbrock", 2, rosenbrock, {-1.2, 1.0}},
      {"Quadratic5", 5, quadratic5, {0, 0, 0, 0, 0}},
      {"PowellSingular", 4, powell_singular, {3.0, -1.0, 0.0, 1.0}},
      {"Wood", 4, wood, {-3.0, -1.0, -3.0, -1.0}},
      {"AR3-CSS-Nile", 4, ar3_css, {0.0, 0.0, 0.0, 9.0}},
  };
  return list;
}

double counted_eval(double *x, int N, void *p) {
  Counted *c = static_cast<Counted *>(p);
  ++c->evals;
  return c->p->f(x, N, c->data);
}

struct Outcome {
  int rc, iter;
  long evals;
  double fval;
};

Outcome run_once(const Problem &pr, int method) {
  Counted c{&pr, 0, nullptr};
  objective_function f{counted_eval, &c};
  opt_object o = opt_init(pr.N);
  std::vector<double> x0 = pr.x0;
  optimize(o, &f, nullptr, pr.N, x0.data(), method);
  // optimize's own closing evaluation of f(xopt) is not the minimiser's.
  Outcome out{o->retval, o->iter, c.evals - 1, o->fval};
  free_opt(o);
  return out;
}

void BM_fminunc(benchmark::State &state) {
  const Problem &pr = problems()[static_cast<size_t>(state.range(0))];
  int method = static_cast<int>(state.range(1));
  Counted c{&pr, 0, nullptr};
  objective_function f{counted_eval, &c};
  std::vector<double> xf(pr.N);
  long runs = 0;
  for (auto _ : state) {
    std::vector<double> x0 = pr.x0;
    benchmark::DoNotOptimize(fminunc(&f, nullptr, pr.N, x0.data(), -1.0, method, xf.data()));
    ++runs;
  }
  state.SetLabel(pr.name);
  state.counters["evals"] = static_cast<double>(c.evals) / static_cast<double>(runs);
}

void register_all() {
  for (size_t p = 0; p < problems().size(); ++p)
    for (int m = 0; m < 8; ++m)
      benchmark::RegisterBenchmark((std::string("fminunc/") + problems()[p].name + "/method" + std::to_string(m)).c_str(),
                                   BM_fminunc)
          ->Args({static_cast<long>(p), m})
          ->Unit(benchmark::kMicrosecond);
}

void print_evaluation_table() {
  std::printf("Objective evaluations per minimisation (optimize, default settings)\n");
  std::printf("%-16s %6s %4s %6s %8s %14s\n", "problem", "method", "rc", "iter", "evals", "f(xopt)");
  for (const Problem &pr : problems())
    for (int m = 0; m < 8; ++m) {
      Outcome o = run_once(pr, m);
      std::printf("%-16s %6d %4d %6d %8ld %14.6g\n", pr.name, m, o.rc, o.iter, o.evals, o.fval);
    }
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
  print_evaluation_table();
  register_all();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
