// Standard unconstrained test problems (More, Garbow and Hillstrom 1981) with an
// evaluation counter, shared by the minimiser tests of this folder.
#ifndef TSFORGE_TESTS_OPTIM_TEST_PROBLEMS_H
#define TSFORGE_TESTS_OPTIM_TEST_PROBLEMS_H

#include <vector>

#include "core/optim/optim.h"

namespace optim_test {

struct Counter {
  int evals = 0;
  std::vector<std::vector<double>> points;  // every evaluation point when record is set
  bool record = false;
};

inline void note(double *x, int N, void *p) {
  Counter *c = static_cast<Counter *>(p);
  if (c == nullptr) return;  // uncounted use
  ++c->evals;
  if (c->record) c->points.emplace_back(x, x + N);
}

inline double rosenbrock(double *x, int N, void *p) {
  note(x, N, p);
  double a = x[1] - x[0] * x[0], b = 1.0 - x[0];
  return 100.0 * a * a + b * b;
}

// sum_i (i + 1) (x_i - (i + 1))^2 + coupling between neighbours: positive definite.
inline double quadratic5(double *x, int N, void *p) {
  note(x, N, p);
  double s = 0.0;
  for (int i = 0; i < 5; ++i) {
    double d = x[i] - (i + 1);
    s += (i + 1) * d * d;
    if (i > 0) s += 0.5 * d * (x[i - 1] - i);
  }
  return s;
}

inline double powell_singular(double *x, int N, void *p) {
  note(x, N, p);
  double a = x[0] + 10.0 * x[1], b = x[2] - x[3], c = x[1] - 2.0 * x[2], d = x[0] - x[3];
  return a * a + 5.0 * b * b + c * c * c * c + 10.0 * d * d * d * d;
}

inline double wood(double *x, int N, void *p) {
  note(x, N, p);
  double a = x[1] - x[0] * x[0], b = 1.0 - x[0], c = x[3] - x[2] * x[2], d = 1.0 - x[2];
  double e = x[1] - 1.0, f = x[3] - 1.0;
  return 100.0 * a * a + b * b + 90.0 * c * c + d * d + 10.1 * (e * e + f * f) + 19.8 * e * f;
}

struct Problem {
  const char *name;
  int N;
  double (*f)(double *, int, void *);
  std::vector<double> x0;
  std::vector<double> xmin;
};

inline std::vector<Problem> standard_problems() {
  return {
      {"Rosenbrock", 2, rosenbrock, {-1.2, 1.0}, {1.0, 1.0}},
      {"Quadratic5", 5, quadratic5, {0.0, 0.0, 0.0, 0.0, 0.0}, {1.0, 2.0, 3.0, 4.0, 5.0}},
      {"PowellSingular", 4, powell_singular, {3.0, -1.0, 0.0, 1.0}, {0.0, 0.0, 0.0, 0.0}},
      {"Wood", 4, wood, {-3.0, -1.0, -3.0, -1.0}, {1.0, 1.0, 1.0, 1.0}},
  };
}

}  // namespace optim_test

#endif  // TSFORGE_TESTS_OPTIM_TEST_PROBLEMS_H
