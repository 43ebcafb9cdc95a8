// Polak-Ribiere conjugate gradient with the More-Thuente line search.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "support/test_util.h"
#include "test_problems.h"

using namespace optim_test;

namespace {

struct Tolerances {
  double eps = macheps();
  double gtol = std::pow(eps, 0.3333333333333333);
  double ftol = gtol * gtol;
};

int run_cg(objective_function *f, gradient_function *g, std::vector<double> &x0, std::vector<double> &dx,
           std::vector<double> &xf, int maxiter, int *iter) {
  Tolerances t;
  return conjgrad_min_lin(f, g, x0.data(), static_cast<int>(x0.size()), dx.data(), -1.0, maxiter, iter, t.eps,
                          t.gtol, t.ftol, t.eps, xf.data());
}

}  // namespace

TEST(ConjugateGradient, StandardProblems) {
  const double tol[4] = {1e-4, 1e-6, 2e-2, 1e-5};
  int k = 0;
  for (const Problem &pr : standard_problems()) {
    Counter c;
    objective_function f{pr.f, &c};
    std::vector<double> x0 = pr.x0, dx(pr.N, 1.0), xf(pr.N, 0.0);
    int iter = -1;
    int code = run_cg(&f, nullptr, x0, dx, xf, 1000, &iter);
    EXPECT_TRUE(code == 1 || code == 6) << pr.name << " " << code;
    EXPECT_GT(iter, 0);
    EXPECT_LT(iter, 1000) << pr.name;
    for (int i = 0; i < pr.N; ++i) EXPECT_NEAR(xf[i], pr.xmin[i], tol[k]) << pr.name << " " << i;
    EXPECT_EQ(x0, pr.x0);
    ++k;
  }
}

TEST(ConjugateGradient, QuadraticInNStepsWithExactGradient) {
  // A positive definite quadratic with its gradient: conjugate directions reach the
  // minimum in about N steps (here the line search is exact up to its tolerances).
  struct Q {
    int f = 0;
  } q;
  auto quad = [](double *x, int, void *p) {
    ++static_cast<Q *>(p)->f;
    return 2.0 * x[0] * x[0] + x[0] * x[1] + 3.0 * x[1] * x[1] + 0.5 * x[2] * x[2] - x[0] + 2.0 * x[2];
  };
  auto quad_g = [](double *x, int, double *g, void *) {
    g[0] = 4.0 * x[0] + x[1] - 1.0;
    g[1] = x[0] + 6.0 * x[1];
    g[2] = x[2] + 2.0;
  };
  objective_function f{quad, &q};
  gradient_function g{quad_g, nullptr};
  std::vector<double> x0 = {3.0, -2.0, 1.0}, dx(3, 1.0), xf(3);
  int iter = -1;
  int code = run_cg(&f, &g, x0, dx, xf, 1000, &iter);
  EXPECT_TRUE(code == 1 || code == 6) << code;
  EXPECT_LE(iter, 10);
  EXPECT_NEAR(xf[0], 6.0 / 23.0, 1e-6);
  EXPECT_NEAR(xf[1], -1.0 / 23.0, 1e-6);
  EXPECT_NEAR(xf[2], -2.0, 1e-6);
}

TEST(ConjugateGradient, ScalesReturnedAndLimits) {
  Counter c;
  objective_function f{quadratic5, &c};
  std::vector<double> x0 = {0.5, -1.0, 2.0, 0.0, 3.0}, dx = {2.0, 0.5, 4.0, 0.25, 1.0}, x0c = x0, dxc = dx, xf(5);
  int iter = -1;
  int code = run_cg(&f, nullptr, x0, dx, xf, 1000, &iter);
  EXPECT_TRUE(code == 1 || code == 6) << code;
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(x0[i], x0c[i], 1e-15 * std::fabs(x0c[i]));
    EXPECT_NEAR(dx[i], dxc[i], 1e-15 * dxc[i]);
    EXPECT_NEAR(xf[i], i + 1.0, 1e-5);
  }
  // The iteration limit (also the line search's evaluation limit) gives 4.
  Counter r;
  objective_function fr{rosenbrock, &r};
  std::vector<double> y0 = {-1.2, 1.0}, dy = {1.0, 1.0}, yf(2);
  EXPECT_EQ(run_cg(&fr, nullptr, y0, dy, yf, 5, &iter), 4);
  EXPECT_LE(iter, 5);
}

TEST(ConjugateGradient, NonFiniteValues) {
  auto nan_f = [](double *, int, void *) { return std::nan(""); };
  objective_function f{nan_f, nullptr};
  std::vector<double> x0 = {1.0, 2.0}, dx = {1.0, 1.0}, xf = {7.0, 7.0};
  int iter = -1, code = 0;
  std::string out = tsf_test::CaptureStdout([&] { code = run_cg(&f, nullptr, x0, dx, xf, 1000, &iter); });
  EXPECT_EQ(code, 15);
  EXPECT_EQ(iter, 0);
  EXPECT_NE(out.find("Program Exiting as the function returns NaN"), std::string::npos);
  // NaN beyond x0 = 2 along the first direction: the line search reports 15.
  auto wall = [](double *x, int, void *) { return x[0] > 2.0 ? std::nan("") : (x[0] - 5.0) * (x[0] - 5.0); };
  objective_function fw{wall, nullptr};
  std::vector<double> y0 = {0.0}, dy = {1.0}, yf(1);
  out = tsf_test::CaptureStdout([&] { code = run_cg(&fw, nullptr, y0, dy, yf, 1000, &iter); });
  EXPECT_EQ(code, 15);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
}

TEST(ConjugateGradient, WorkerOnUnitScalesIsTheMinimiser) {
  Tolerances t;
  Counter a, b;
  objective_function fa{wood, &a}, fb{wood, &b};
  std::vector<double> x0 = {-3.0, -1.0, -3.0, -1.0}, dx(4, 1.0), xa(4), xb(4);
  int ia = -1, ib = -1;
  int ca = conjgrad_min_lin(&fa, nullptr, x0.data(), 4, dx.data(), -1.0, 1000, &ia, t.eps, t.gtol, t.ftol, t.eps,
                            xa.data());
  int cb = cgpr_mt(&fb, nullptr, x0.data(), 4, dx.data(), -1.0, 1000, &ib, t.eps, t.gtol, t.ftol, t.eps, xb.data());
  EXPECT_EQ(ca, cb);
  EXPECT_EQ(ia, ib);
  EXPECT_EQ(a.evals, b.evals);
  EXPECT_EQ(xa, xb);
}
