// Newton's method with line search, the model Hessian and its perturbed Cholesky factor,
// the backtracking line searches and the stop test.
#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>
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
  double stol = gtol * gtol;
};

// Largest |A - L L^T| over all entries, with L read from its lower triangle.
double factor_residual(const std::vector<double> &A, const std::vector<double> &L, int N) {
  double worst = 0.0;
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) {
      double s = 0.0;
      for (int k = 0; k <= (i < j ? i : j); ++k) s += L[i * N + k] * L[j * N + k];
      worst = std::fmax(worst, std::fabs(A[i * N + j] - s));
    }
  return worst;
}

// f = sum_i w_i (x_i - c_i)^2 + x_0 x_1 with its exact gradient.
struct Quad {
  int evals = 0, grads = 0;
};
double quad_f(double *x, int, void *p) {
  ++static_cast<Quad *>(p)->evals;
  return 2.0 * (x[0] - 1.0) * (x[0] - 1.0) + 3.0 * (x[1] + 2.0) * (x[1] + 2.0) + x[0] * x[1];
}
void quad_g(double *x, int, double *g, void *p) {
  ++static_cast<Quad *>(p)->grads;
  g[0] = 4.0 * (x[0] - 1.0) + x[1];
  g[1] = 6.0 * (x[1] + 2.0) + x[0];
}
// Minimiser of quad_f: 4 x0 + x1 = 4, x0 + 6 x1 = -12.
const double kQuadMin[2] = {36.0 / 23.0, -52.0 / 23.0};

}  // namespace

TEST(Newton, StandardProblems) {
  Tolerances t;
  const double tol[4] = {1e-4, 1e-6, 1e-2, 1e-5};  // Powell's singular minimum is approached linearly
  int k = 0;
  for (const Problem &pr : standard_problems()) {
    Counter c;
    objective_function f{pr.f, &c};
    std::vector<double> x0 = pr.x0, dx(pr.N, 1.0), xf(pr.N, 0.0);
    int iter = -1;
    int code = newton_min_func(&f, nullptr, x0.data(), pr.N, dx.data(), 1.0, -1.0, 1000, &iter, t.eps, t.gtol,
                               t.stol, xf.data());
    EXPECT_EQ(code, 1) << pr.name;
    EXPECT_GT(iter, 0) << pr.name;
    EXPECT_LT(iter, 100) << pr.name;
    for (int i = 0; i < pr.N; ++i) EXPECT_NEAR(xf[i], pr.xmin[i], tol[k]) << pr.name << " " << i;
    EXPECT_EQ(x0, pr.x0) << pr.name;
    ++k;
  }
}

TEST(Newton, QuadraticTakesTheFullNewtonStep) {
  // With the exact gradient the Hessian from its differences is exact up to rounding, so
  // one full step (lambda = 1) lands on the minimum: f at the start, the line search's
  // f0 and full step, and the value at the new point, nothing else.
  Tolerances t;
  Quad q;
  objective_function f{quad_f, &q};
  gradient_function g{quad_g, &q};
  double x0[2] = {10.0, 10.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = -1;
  int code = newton_min_func(&f, &g, x0, 2, dx, 1.0, -1.0, 1000, &iter, t.eps, t.gtol, t.stol, xf);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(iter, 1);
  EXPECT_EQ(q.evals, 4);
  EXPECT_NEAR(xf[0], kQuadMin[0], 1e-7);
  EXPECT_NEAR(xf[1], kQuadMin[1], 1e-7);
}

TEST(Newton, StartAtTheMinimumReturnsAtOnce) {
  Tolerances t;
  Quad q;
  objective_function f{quad_f, &q};
  gradient_function g{quad_g, &q};
  double x0[2] = {kQuadMin[0], kQuadMin[1]}, dx[2] = {1.0, 1.0}, xf[2] = {0.0, 0.0};
  int iter = -1;
  EXPECT_EQ(newton_min_func(&f, &g, x0, 2, dx, 1.0, -1.0, 1000, &iter, t.eps, t.gtol, t.stol, xf), 1);
  EXPECT_EQ(iter, 0);
  EXPECT_EQ(q.evals, 1);
  EXPECT_EQ(xf[0], x0[0]);
  EXPECT_EQ(xf[1], x0[1]);
}

TEST(Newton, IterationLimitGivesCode4) {
  Tolerances t;
  Counter c;
  objective_function f{rosenbrock, &c};
  double x0[2] = {-1.2, 1.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = -1;
  EXPECT_EQ(newton_min_func(&f, nullptr, x0, 2, dx, 1.0, -1.0, 3, &iter, t.eps, t.gtol, t.stol, xf), 4);
  EXPECT_EQ(iter, 3);
}

TEST(Newton, NonFiniteValues) {
  Tolerances t;
  // NaN at the start: announced, code 15, no iteration.
  auto nan_f = [](double *, int, void *) { return std::nan(""); };
  objective_function fn{nan_f, nullptr};
  double x0[2] = {1.0, 1.0}, dx[2] = {1.0, 1.0}, xf[2] = {7.0, 7.0};
  int iter = -1, code = 0;
  std::string out = tsf_test::CaptureStdout(
      [&] { code = newton_min_func(&fn, nullptr, x0, 2, dx, 1.0, -1.0, 1000, &iter, t.eps, t.gtol, t.stol, xf); });
  EXPECT_EQ(code, 15);
  EXPECT_EQ(iter, 0);
  EXPECT_EQ(out.rfind("Program Exiting as the function returns NaN", 0), 0u) << out;
  EXPECT_EQ(xf[0], 7.0);
  // Finite at the start, NaN where the Newton step lands: the line search announces it once.
  auto wall = [](double *x, int, void *) { return x[0] < 2.0 ? (x[0] - 3.0) * (x[0] - 3.0) : std::nan(""); };
  objective_function fw{wall, nullptr};
  double y0[1] = {0.0}, dy[1] = {1.0}, yf[1];
  out = tsf_test::CaptureStdout(
      [&] { code = newton_min_func(&fw, nullptr, y0, 1, dy, 1.0, -1.0, 1000, &iter, t.eps, t.gtol, t.stol, yf); });
  EXPECT_EQ(code, 15);
  EXPECT_EQ(iter, 1);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
  // An infinite value has its own message.
  auto inf_f = [](double *, int, void *) { return HUGE_VAL; };
  objective_function fi{inf_f, nullptr};
  out = tsf_test::CaptureStdout(
      [&] { code = newton_min_func(&fi, nullptr, x0, 2, dx, 1.0, -1.0, 1000, &iter, t.eps, t.gtol, t.stol, xf); });
  EXPECT_EQ(code, 15);
  EXPECT_EQ(out.rfind("Program Exiting as the function value exceeds the maximum double value", 0), 0u) << out;
}

TEST(Newton, CholmodOfTheIdentity) {
  std::vector<double> A(9, 0.0), L(9, 5.0);
  for (int i = 0; i < 3; ++i) A[i * 3 + i] = 1.0;
  EXPECT_EQ(cholmod(A.data(), 3, L.data(), macheps(), 0.0), 0.0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(L[i * 3 + j], i == j ? 1.0 : 0.0);
}

TEST(Newton, CholmodFactorsPositiveDefiniteExactly) {
  // A = B B^T for a known lower-triangular B: the factor is B and nothing is added.
  const double B[9] = {2, 0, 0, -1, 3, 0, 0.5, 1, 1.5};
  std::vector<double> A(9, 0.0), L(9);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) A[i * 3 + j] += B[i * 3 + k] * B[j * 3 + k];
  EXPECT_EQ(cholmod(A.data(), 3, L.data(), macheps(), 0.0), 0.0);
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(L[k], B[k], 1e-15);
}

TEST(Newton, CholmodOfAnIndefiniteMatrixAddsToTheDiagonalOnly) {
  std::vector<double> A = {1.0, 2.0, 2.0, 1.0}, L(4);
  double maxadd = cholmod(A.data(), 2, L.data(), macheps(), 0.0);
  EXPECT_GT(maxadd, 0.0);
  EXPECT_EQ(L[1], 0.0);
  // L L^T = A + diag(e) with 0 <= e <= maxadd.
  EXPECT_NEAR(L[0] * L[2], A[1], 1e-15);
  double e0 = L[0] * L[0] - A[0], e1 = L[2] * L[2] + L[3] * L[3] - A[3];
  EXPECT_GE(e0, -1e-15);
  EXPECT_GE(e1, 0.0);
  EXPECT_LE(std::fmax(e0, e1), maxadd * (1 + 1e-14));
}

TEST(Newton, ModelhessShiftsNegativeDefinite) {
  // diag(-1, -2): mindiag <= 0 gives mu = 2 (0 - (-2)) s + 2, so the perturbed matrix is
  // diag(1 + 4s, 4s) and needs no further addition.
  double eps = macheps(), s = std::sqrt(eps);
  std::vector<double> A = {-1.0, 0.0, 0.0, -2.0}, L(4);
  double dx[2] = {1.0, 1.0};
  EXPECT_EQ(modelhess(A.data(), 2, dx, eps, L.data()), 0.0);
  EXPECT_DOUBLE_EQ(A[0], 1.0 + 4.0 * s);
  EXPECT_DOUBLE_EQ(A[3], 4.0 * s);
  EXPECT_DOUBLE_EQ(L[0], std::sqrt(1.0 + 4.0 * s));
  EXPECT_DOUBLE_EQ(L[3], std::sqrt(4.0 * s));
  EXPECT_EQ(L[1], 0.0);
  EXPECT_EQ(L[2], 0.0);
}

TEST(Newton, ModelhessGivesAValidFactorOfTheScaledMatrix) {
  // Indefinite, badly scaled, with large off-diagonals: the result is positive definite,
  // L L^T equals the perturbed A, and only the diagonal was changed.
  const int N = 3;
  double eps = macheps();
  std::vector<double> A0 = {4.0, 30.0, -2.0, 30.0, -1.0, 5.0, -2.0, 5.0, 0.5};
  double dx[3] = {0.5, 2.0, 10.0};
  std::vector<double> A = A0, L(N * N);
  modelhess(A.data(), N, dx, eps, L.data());
  EXPECT_LT(factor_residual(A, L, N), 1e-12 * 100.0);
  for (int i = 0; i < N; ++i) {
    EXPECT_GT(L[i * N + i], 0.0);
    for (int j = 0; j < N; ++j) {
      if (j > i) {
        EXPECT_EQ(L[i * N + j], 0.0);
      }
      if (j != i) {
        EXPECT_NEAR(A[i * N + j], A0[i * N + j], 1e-12);
      }
    }
    EXPECT_GE(A[i * N + i], A0[i * N + i]);
  }
  // A positive definite, well-scaled matrix is left alone.
  std::vector<double> P = {4.0, 1.0, 0.0, 1.0, 3.0, 1.0, 0.0, 1.0, 2.0}, P0 = P;
  double ones[3] = {1.0, 1.0, 1.0};
  EXPECT_EQ(modelhess(P.data(), N, ones, eps, L.data()), 0.0);
  EXPECT_EQ(P, P0);
  EXPECT_LT(factor_residual(P, L, N), 1e-14);
}

TEST(Newton, LnsrchShrinksUntilTheStepIsNegligible) {
  // The direction claims descent (g = -1 along +1) but f rises: every trial fails, each
  // next lambda is between 0.1 and 0.5 of the last, and the search ends with code 1 and
  // x = xi once lambda drops below steptol / rellength.
  Counter c;
  c.record = true;
  auto rising = [](double *x, int N, void *p) {
    note(x, N, p);
    return x[0] * x[0];
  };
  objective_function f{rising, &c};
  double xi[1] = {1.0}, g[1] = {-1.0}, p[1] = {1.0}, dx[1] = {1.0}, x[1] = {9.0};
  double stol = 1e-6;
  EXPECT_EQ(lnsrch(&f, xi, g, p, 1, dx, 1000.0, stol, x), 1);
  EXPECT_EQ(x[0], 1.0);
  ASSERT_GE(c.points.size(), 3u);
  EXPECT_EQ(c.points[0][0], 1.0);  // f0 at xi
  std::vector<double> lambdas;
  for (size_t k = 1; k < c.points.size(); ++k) lambdas.push_back(c.points[k][0] - 1.0);
  EXPECT_EQ(lambdas[0], 1.0);
  for (size_t k = 1; k < lambdas.size(); ++k) {
    EXPECT_LE(lambdas[k], 0.5 * lambdas[k - 1] * (1 + 1e-12));
    EXPECT_GE(lambdas[k], 0.1 * lambdas[k - 1] * (1 - 1e-12));
  }
  // rellength = |p| / max(|xi|, 1) = 1, so the last trial is the first below steptol.
  EXPECT_LT(lambdas.back(), stol);
  EXPECT_GE(lambdas[lambdas.size() - 2], stol);
}

TEST(Newton, LnsrchCapsTheStepAndAcceptsSufficientDecrease) {
  Quad q;
  objective_function f{quad_f, &q};
  double xi[2] = {10.0, 10.0}, g[2], p[2], dx[2] = {1.0, 1.0}, x[2];
  quad_g(xi, 2, g, &q);
  p[0] = -g[0];
  p[1] = -g[1];
  double len = std::sqrt(p[0] * p[0] + p[1] * p[1]);
  EXPECT_EQ(lnsrch(&f, xi, g, p, 2, dx, 2.0, 1e-10, x), 0);
  EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1]), 2.0, 1e-14);  // p was shortened to maxstep
  EXPECT_NEAR(p[0], -g[0] * 2.0 / len, 1e-14);
  EXPECT_LT(quad_f(x, 2, &q), quad_f(xi, 2, &q));
  // A NaN at the trial point is announced and returns 15.
  auto nan_beyond = [](double *x, int, void *) { return x[0] > 0.5 ? std::nan("") : x[0] * x[0]; };
  objective_function fn{nan_beyond, nullptr};
  double yi[1] = {0.0}, gy[1] = {-1.0}, py[1] = {1.0}, dy[1] = {1.0}, y[1];
  int code = 0;
  std::string out = tsf_test::CaptureStdout([&] { code = lnsrch(&fn, yi, gy, py, 1, dy, 1000.0, 1e-8, y); });
  EXPECT_EQ(code, 15);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
}

TEST(Newton, CurvatureLineSearchesLengthenShortSteps) {
  // f = (x - 10)^2 from 0 along p = 0.5: the full step decreases f enough, but the slope
  // there, -9.5, is still below 0.9 of the initial -10. Doubling gives x = 1 (slope -9,
  // accepted by lnsrchmod); lnsrchcg asks for 0.4 and doubles on to x = 8 (slope -2).
  auto f10 = [](double *x, int, void *) { return (x[0] - 10.0) * (x[0] - 10.0); };
  auto g10 = [](double *x, int, double *g, void *) { g[0] = 2.0 * (x[0] - 10.0); };
  objective_function f{f10, nullptr};
  gradient_function g{g10, nullptr};
  double xi[1] = {0.0}, gi[1] = {-20.0}, dx[1] = {1.0}, x[1], gf[1];
  double p[1] = {0.5};
  EXPECT_EQ(lnsrchmod(&f, &g, xi, gi, p, 1, dx, 1000.0, 1e-8, 1e-10, x, gf), 0);
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(gf[0], -18.0);
  p[0] = 0.5;
  EXPECT_EQ(lnsrchcg(&f, &g, xi, gi, p, 1, dx, 1000.0, 1e-8, 1e-10, x, gf), 0);
  EXPECT_EQ(x[0], 8.0);
  EXPECT_EQ(gf[0], -4.0);
  // Lengthening stops at maxstep.
  p[0] = 0.5;
  EXPECT_EQ(lnsrchcg(&f, &g, xi, gi, p, 1, dx, 3.0, 1e-8, 1e-10, x, gf), 0);
  EXPECT_EQ(x[0], 3.0);
}

TEST(Newton, StopcheckCodes) {
  double xc[2] = {1.0, 2.0}, xf[2] = {1.5, 2.0}, dx[2] = {1.0, 1.0};
  double gbig[2] = {1.0, 0.0}, gsmall[2] = {1e-9, 0.0};
  EXPECT_EQ(stopcheck(1.0, 2, xc, xf, gbig, dx, 1.0, 1e-6, 1e-10, 1), 3);
  EXPECT_EQ(stopcheck(1.0, 2, xc, xf, gsmall, dx, 1.0, 1e-6, 1e-10, 5), 5);
  EXPECT_EQ(stopcheck(1.0, 2, xc, xf, gsmall, dx, 1.0, 1e-6, 1e-10, 15), 15);
  EXPECT_EQ(stopcheck(1.0, 2, xc, xf, gsmall, dx, 1.0, 1e-6, 1e-10, 0), 1);
  EXPECT_EQ(stopcheck(1.0, 2, xc, xf, gbig, dx, 1.0, 1e-6, 1e-10, 0), 0);
  // The gradient is relative to max(|f|, fsval) and to max(|x|, 1/dx).
  EXPECT_EQ(stopcheck(1e7, 2, xc, xf, gbig, dx, 1.0, 1e-6, 1e-10, 0), 1);
  double xs[2] = {1.0 + 1e-12, 2.0};
  EXPECT_EQ(stopcheck(1.0, 2, xc, xs, gbig, dx, 1.0, 1e-6, 1e-10, 0), 2);
  EXPECT_EQ(stopcheck(1.0, 2, xc, xs, gbig, dx, 1.0, 1e-6, 1e-10, 100), 2);
}
