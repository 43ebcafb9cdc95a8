// Finite-difference gradients, Hessians and Jacobians.
#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "core/optim/optim.h"
#include "core/optim/test_problems.h"
#include "support/test_util.h"

using optim_test::Counter;

namespace {

// f = x0^2 + 3 x0 x1: gradient (2 x0 + 3 x1, 3 x0), Hessian [[2, 3], [3, 0]].
double mixed(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return x[0] * x[0] + 3.0 * x[0] * x[1];
}

// exp(x0) sin(x1) + x0 x2^2 + x1^3: a Hessian with every entry distinct.
double smooth3(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return std::exp(x[0]) * std::sin(x[1]) + x[0] * x[2] * x[2] + x[1] * x[1] * x[1];
}

std::vector<double> smooth3_hessian(const double *x) {
  double e = std::exp(x[0]), s = std::sin(x[1]), c = std::cos(x[1]);
  return {e * s, e * c, 2 * x[2], e * c, -e * s + 6 * x[1], 0.0, 2 * x[2], 0.0, 2 * x[0]};
}

void smooth3_gradient(double *x, int, double *g, void *) {
  double e = std::exp(x[0]);
  g[0] = e * std::sin(x[1]) + x[2] * x[2];
  g[1] = e * std::cos(x[1]) + 3 * x[1] * x[1];
  g[2] = 2 * x[0] * x[2];
}

// NaN as soon as x1 leaves 2 upwards.
double nan_above(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return x[1] > 2.0 ? std::nan("") : x[0] + x[1];
}

double overflow_above(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return x[1] > 2.0 ? DBL_MAX : x[0] + x[1];
}

}  // namespace

TEST(FiniteDifference, GradientsOfMixedQuadratic) {
  Counter c;
  objective_function f{mixed, &c};
  double x[2] = {1.0, 2.0}, dx[2] = {1.0, 1.0}, g[2], g2[2];
  EXPECT_EQ(grad_calc(&f, x, 2, dx, 1e-8, g), 0);
  EXPECT_EQ(c.evals, 4);
  c.evals = 0;
  EXPECT_EQ(grad_calc2(&f, x, 2, dx, 1e-8, g2), 0);
  EXPECT_EQ(c.evals, 4);
  EXPECT_NEAR(g[0], 8.0, 1e-6);
  EXPECT_NEAR(g[1], 3.0, 1e-6);
  EXPECT_NEAR(g2[0], 8.0, 1e-7);
  EXPECT_NEAR(g2[1], 3.0, 1e-7);
  EXPECT_LE(std::fabs(g2[0] - 8.0), std::fabs(g[0] - 8.0));
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(x[1], 2.0);
}

TEST(FiniteDifference, ForwardGradientEvaluationOrder) {
  // Each component evaluates the perturbed point, then x again: the last call is at x.
  Counter c;
  c.record = true;
  objective_function f{mixed, &c};
  double x[2] = {1.0, 2.0}, dx[2] = {1.0, 1.0}, g[2];
  grad_calc(&f, x, 2, dx, 1e-8, g);
  ASSERT_EQ(c.points.size(), 4u);
  EXPECT_EQ(c.points[0], (std::vector<double>{1.0 + 1e-8, 2.0}));
  EXPECT_EQ(c.points[1], (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(c.points[2], (std::vector<double>{1.0, 2.0 + 2e-8}));
  EXPECT_EQ(c.points[3], (std::vector<double>{1.0, 2.0}));
}

TEST(FiniteDifference, StepBase) {
  Counter c;
  c.record = true;
  objective_function f{mixed, &c};
  double g[2];
  {
    // x = 0 with dx = 1: base +1, steps +eps and -eps.
    double x[2] = {0.0, 0.0}, dx[2] = {1.0, 1.0};
    grad_calc(&f, x, 2, dx, 1e-6, g);
    EXPECT_EQ(c.points[0][0], 1e-6);
    c.points.clear();
    grad_calc2(&f, x, 2, dx, 1e-6, g);
    EXPECT_EQ(c.points[0][0], 1e-6);
    EXPECT_EQ(c.points[1][0], -1e-6);
    c.points.clear();
  }
  {
    // dx = 0.001: typical magnitude 1000 beats |x| = 5; |x| = 5000 beats it with its sign.
    double x[2] = {5.0, -5000.0}, dx[2] = {0.001, 0.001};
    grad_calc(&f, x, 2, dx, 1e-6, g);
    EXPECT_NEAR(c.points[0][0] - 5.0, 1e-3, 1e-15);
    EXPECT_NEAR(c.points[2][1] + 5000.0, -5e-3, 1e-12);
    c.points.clear();
    // Negative x below the typical magnitude: base -1000.
    double y[2] = {-5.0, 0.0};
    grad_calc(&f, y, 2, dx, 1e-6, g);
    EXPECT_NEAR(c.points[0][0] + 5.0, -1e-3, 1e-15);
  }
}

TEST(FiniteDifference, NonFiniteValuesReturn15) {
  Counter c;
  objective_function fn{nan_above, &c};
  double x[2] = {1.0, 2.0}, dx[2] = {1.0, 1.0}, g[2];
  int rc = 0;
  std::string out = tsf_test::CaptureStdout([&] { rc = grad_calc2(&fn, x, 2, dx, 1e-8, g); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
  EXPECT_EQ(x[1], 2.0) << "x is put back on the failure path too";
  out = tsf_test::CaptureStdout([&] { rc = grad_calc(&fn, x, 2, dx, 1e-8, g); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");

  objective_function fo{overflow_above, &c};
  out = tsf_test::CaptureStdout([&] { rc = grad_calc2(&fo, x, 2, dx, 1e-8, g); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(out, "Program Exiting as the function value exceeds the maximum double value");
  out = tsf_test::CaptureStdout([&] { rc = grad_calc(&fo, x, 2, dx, 1e-8, g); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(out, "Program Exiting as the function value exceeds the maximum double value");
  double H[4];
  out = tsf_test::CaptureStdout([&] { rc = hessian_fd(&fn, x, 2, dx, 1e-8, H); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
  out = tsf_test::CaptureStdout([&] { rc = hessian_fd2(&fo, x, 2, dx, 1e-8, H); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(out, "Program Exiting as the function value exceeds the maximum double value");
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(x[1], 2.0);
  out = tsf_test::CaptureStdout([&] { rc = hessian_opt(&fn, nullptr, x, 2, nullptr, dx, 1e-8, 1e-8, H); });
  EXPECT_EQ(rc, 15);
}

TEST(FiniteDifference, HessianFromValues) {
  Counter c;
  c.record = true;
  objective_function f{mixed, &c};
  double x[2] = {1.0, 2.0}, dx[2] = {1.0, 1.0}, H[4];
  EXPECT_EQ(hessian_fd(&f, x, 2, dx, 2.220446049250313e-16, H), 0);
  EXPECT_EQ(c.evals, 4 * 4);
  EXPECT_NEAR(H[0], 2.0, 1e-4);
  EXPECT_NEAR(H[1], 3.0, 1e-4);
  EXPECT_NEAR(H[2], 3.0, 1e-4);
  EXPECT_NEAR(H[3], 0.0, 1e-4);
  EXPECT_EQ(c.points.back(), (std::vector<double>{1.0, 2.0})) << "last evaluation at x itself";

  Counter c3;
  objective_function f3{smooth3, &c3};
  double y[3] = {0.3, -0.7, 1.1}, d3[3] = {1.0, 1.0, 1.0}, H3[9];
  EXPECT_EQ(hessian_fd(&f3, y, 3, d3, 2.220446049250313e-16, H3), 0);
  EXPECT_EQ(c3.evals, 36);
  std::vector<double> ref = smooth3_hessian(y);
  // Forward differences with h = eps^(1/3) ~ 6e-6: error O(h) times third derivatives.
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(H3[k], ref[k], 1e-4) << k;
}

TEST(FiniteDifference, HessianSharedEvaluationsWritesUpperTriangleOnly) {
  Counter c;
  objective_function f{smooth3, &c};
  double y[3] = {0.3, -0.7, 1.1}, d3[3] = {1.0, 1.0, 1.0};
  std::vector<double> H(9, -123.0);
  EXPECT_EQ(hessian_fd2(&f, y, 3, d3, 2.220446049250313e-16, H.data()), 0);
  EXPECT_EQ(c.evals, 1 + 2 * 3 + 3);
  std::vector<double> ref = smooth3_hessian(y);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      if (j < i)
        EXPECT_EQ(H[i * 3 + j], -123.0);
      else
        EXPECT_NEAR(H[i * 3 + j], ref[i * 3 + j], 1e-4) << i << "," << j;
    }
  EXPECT_EQ(y[0], 0.3);
  EXPECT_EQ(y[1], -0.7);
  EXPECT_EQ(y[2], 1.1);
}

TEST(FiniteDifference, JacobianOfGradient) {
  gradient_function g{smooth3_gradient, nullptr};
  double y[3] = {0.3, -0.7, 1.1}, d3[3] = {1.0, 1.0, 1.0}, gx[3], J[9], H[9];
  smooth3_gradient(y, 3, gx, nullptr);
  fdjac(&g, y, 3, gx, d3, 1e-8, J);
  std::vector<double> ref = smooth3_hessian(y);
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(J[k], ref[k], 1e-6) << k;
  hessian_fdg(&g, y, 3, gx, d3, 1e-8, H);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(H[i * 3 + j], H[j * 3 + i]);
      EXPECT_EQ(H[i * 3 + j], (J[i * 3 + j] + J[j * 3 + i]) / 2.0);
    }
  objective_function f{smooth3, nullptr};
  double H2[9];
  EXPECT_EQ(hessian_opt(&f, &g, y, 3, gx, d3, 1e-3, 1e-8, H2), 0);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(H2[k], H[k]);
  EXPECT_EQ(y[1], -0.7);
}

TEST(FiniteDifference, AnalyticGradientBypassesDifferences) {
  Counter c;
  objective_function f{smooth3, &c};
  gradient_function g{smooth3_gradient, nullptr};
  double y[3] = {0.3, -0.7, 1.1}, d3[3] = {1.0, 1.0, 1.0}, a[3], b[3], ref[3];
  smooth3_gradient(y, 3, ref, nullptr);
  EXPECT_EQ(grad_fd(&f, &g, y, 3, d3, 1e-8, a), 0);
  EXPECT_EQ(grad_cd(&f, &g, y, 3, d3, 1e-8, b), 0);
  EXPECT_EQ(c.evals, 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(a[i], ref[i]);
    EXPECT_EQ(b[i], ref[i]);
  }
  EXPECT_EQ(grad_fd(&f, nullptr, y, 3, d3, 1e-8, a), 0);
  EXPECT_EQ(grad_cd(&f, nullptr, y, 3, d3, 1e-6, b), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(a[i], ref[i], 1e-6);
    EXPECT_NEAR(b[i], ref[i], 1e-8);
  }
}
