// bfgs_min2, the More-Thuente line search and the factored BFGS update.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "core/optim/optim_internal.h"
#include "core/optim/test_problems.h"
#include "support/test_util.h"

using optim_test::Counter;

namespace {

struct Defaults {
  double eps = macheps();
  double gtol = std::pow(macheps(), 0.3333333333333333);
  double ftol = gtol * gtol;
  double xtol = macheps();
};

int run_bfgs(objective_function *f, std::vector<double> &x0, std::vector<double> &xf, int maxiter, int *iter,
             double maxstep = -1.0) {
  Defaults d;
  int N = static_cast<int>(x0.size());
  std::vector<double> dx(N, 1.0);
  xf.assign(N, 0.0);
  return bfgs_min2(f, nullptr, x0.data(), N, mvalue(N), dx.data(), 1.0, maxstep, maxiter, iter, d.eps, d.gtol,
                   d.ftol, d.xtol, xf.data());
}

double nan_everywhere(double *, int, void *) { return std::nan(""); }

double quartic5(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  double s = 0.0;
  for (int i = 0; i < 5; ++i) s += std::pow(x[i] - (i + 1), 4);
  return s;
}
double huge_everywhere(double *, int, void *) { return DBL_MAX; }

// Rosenbrock that turns NaN once x[0] passes 0: the first long step lands there.
double rosenbrock_nan_right(double *x, int N, void *p) {
  double v = optim_test::rosenbrock(x, N, p);
  return x[0] > -0.5 ? std::nan("") : v;
}

double linear_descent(double *x, int N, void *p) {
  optim_test::note(x, N, p);
  return -(x[0] + x[1]);
}

double max_abs_diff(const std::vector<double> &a, const std::vector<double> &b) {
  double m = 0.0;
  for (size_t i = 0; i < a.size(); ++i) m = std::fmax(m, std::fabs(a[i] - b[i]));
  return m;
}

}  // namespace

TEST(Bfgs, StandardProblems) {
  // Tolerances on the minimiser: the stop test is ||g||/N < eps^(1/3) ~ 6e-6, so the error
  // scales with the conditioning (Powell's function has a singular Hessian at 0).
  const double tol[] = {2e-5, 1e-6, 5e-3, 1e-5};
  int k = 0;
  for (auto &pr : optim_test::standard_problems()) {
    Counter c;
    objective_function f{pr.f, &c};
    std::vector<double> x0 = pr.x0, xf;
    int iter = 0;
    int rc = run_bfgs(&f, x0, xf, 1000, &iter);
    EXPECT_TRUE(rc == 1 || rc == 6) << pr.name << " rc " << rc;
    EXPECT_LT(max_abs_diff(xf, pr.xmin), tol[k]) << pr.name;
    EXPECT_EQ(x0, pr.x0) << pr.name << ": the start point comes back unchanged";
    EXPECT_GT(iter, 0);
    EXPECT_LT(iter, 100) << pr.name;
    ++k;
  }
}

TEST(Bfgs, AnalyticGradientIsUsed) {
  Counter c;
  objective_function f{optim_test::rosenbrock, &c};
  gradient_function g{[](double *x, int, double *out, void *) {
                        out[0] = -400.0 * x[0] * (x[1] - x[0] * x[0]) - 2.0 * (1.0 - x[0]);
                        out[1] = 200.0 * (x[1] - x[0] * x[0]);
                      },
                      nullptr};
  Defaults d;
  std::vector<double> x0{-1.2, 1.0}, xf(2), dx(2, 1.0);
  int iter = 0;
  int rc = bfgs_min2(&f, &g, x0.data(), 2, 2, dx.data(), 1.0, -1.0, 1000, &iter, d.eps, d.gtol, d.ftol, d.xtol,
                     xf.data());
  EXPECT_TRUE(rc == 1 || rc == 6);
  EXPECT_NEAR(xf[0], 1.0, 1e-5);
  EXPECT_NEAR(xf[1], 1.0, 1e-5);
  // With the gradient given every evaluation of f is a line-search trial (plus f(x0)).
  EXPECT_LT(c.evals, 200);
}

TEST(Bfgs, StartAtMinimumReturnsAfterOneGradient) {
  // A quartic bowl: forward differences at the minimum are O(h^3), far below the test.
  Counter c;
  objective_function f{quartic5, &c};
  std::vector<double> x0{1, 2, 3, 4, 5}, xf;
  int iter = -1;
  int rc = run_bfgs(&f, x0, xf, 1000, &iter);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(iter, 0);
  EXPECT_EQ(xf, x0);
  EXPECT_EQ(c.evals, 1 + 2 * 5);  // f(x0) and the forward-difference gradient
}

TEST(Bfgs, NaNAtStartPrintsOnceAndStops) {
  Counter c;
  objective_function f{nan_everywhere, &c};
  std::vector<double> x0{1.0, 2.0}, xf;
  std::vector<double> sentinel{7.0, 8.0};
  int iter = -1, rc = 0;
  std::string out = tsf_test::CaptureStdout([&] {
    Defaults d;
    std::vector<double> dx(2, 1.0);
    xf = sentinel;
    rc = bfgs_min2(&f, nullptr, x0.data(), 2, 2, dx.data(), 1.0, -1.0, 1000, &iter, d.eps, d.gtol, d.ftol, d.xtol,
                   xf.data());
  });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(iter, 0);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
  EXPECT_EQ(xf, sentinel);
}

TEST(Bfgs, HugeValueAtStartIsNotSuccess) {
  // max(|f0|, fsval) = DBL_MAX makes the scaled gradient 0; the start must still fail.
  objective_function f{huge_everywhere, nullptr};
  std::vector<double> x0{1.0, 2.0}, xf;
  int iter = -1, rc = 0;
  std::string out = tsf_test::CaptureStdout([&] { rc = run_bfgs(&f, x0, xf, 1000, &iter); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(iter, 0);
  EXPECT_EQ(out, "Program Exiting as the function value exceeds the maximum double value");
}

TEST(Bfgs, NaNAtTrialPointStopsWithTrialPoint) {
  Counter c;
  objective_function f{rosenbrock_nan_right, &c};
  std::vector<double> x0{-1.2, 1.0}, xf;
  int iter = 0, rc = 0;
  std::string out = tsf_test::CaptureStdout([&] { rc = run_bfgs(&f, x0, xf, 1000, &iter); });
  EXPECT_EQ(rc, 15);
  EXPECT_NE(out.find("Program Exiting as the function returns NaN"), std::string::npos);
  // xf holds the offending trial point, or one of its difference neighbours.
  EXPECT_GT(xf[0], -0.5 - 1e-6);
}

TEST(Bfgs, ScalesAndStartComeBackUnchanged) {
  Defaults d;
  objective_function f{optim_test::wood, nullptr};
  std::vector<double> x0{-3.0, -1.0, -3.0, -1.0}, dx{2.0, 0.5, 4.0, 0.25}, xf(4);
  std::vector<double> x0_in = x0, dx_in = dx;
  int iter = 0;
  int rc = bfgs_min2(&f, nullptr, x0.data(), 4, 4, dx.data(), 1.0, -1.0, 1000, &iter, d.eps, d.gtol, d.ftol,
                     d.xtol, xf.data());
  EXPECT_TRUE(rc == 1 || rc == 6) << rc;
  EXPECT_EQ(x0, x0_in);  // powers of two: exact
  EXPECT_EQ(dx, dx_in);
  // xf is a point of f's own domain: Wood's minimum.
  for (double v : xf) EXPECT_NEAR(v, 1.0, 1e-4);
}

TEST(Bfgs, GradientFailureAtStartStops) {
  // f finite at x0 = (1, 1) but NaN one forward step to the right in x[0].
  Counter c;
  objective_function f{[](double *x, int N, void *p) {
                         optim_test::note(x, N, p);
                         return x[0] > 1.0 ? std::nan("") : x[0] * x[0] + x[1] * x[1];
                       },
                       &c};
  std::vector<double> x0{1.0, 1.0}, xf;
  int iter = -1, rc = 0;
  std::string out = tsf_test::CaptureStdout([&] { rc = run_bfgs(&f, x0, xf, 1000, &iter); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(iter, 0);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
  EXPECT_EQ(c.evals, 1 + 2);  // f(x0), then the first difference pair
}

TEST(Bfgs, IterationLimitGivesFour) {
  objective_function f{optim_test::rosenbrock, nullptr};
  std::vector<double> x0{-1.2, 1.0}, xf;
  int iter = 0;
  EXPECT_EQ(run_bfgs(&f, x0, xf, 12, &iter), 4);
  EXPECT_EQ(iter, 12);
  // The line search's evaluation limit is the iteration limit: with 3 the first search
  // runs out (3 trials, the last back at its best step) and ends the run at once.
  Counter c;
  objective_function fc{optim_test::rosenbrock, &c};
  EXPECT_EQ(run_bfgs(&fc, x0, xf, 3, &iter), 4);
  EXPECT_EQ(iter, 1);
  EXPECT_EQ(c.evals, 1 + 4 + 3 * 5);
}

TEST(Bfgs, DefaultStepBoundIs1000TimesLargerOfSqrtNAndNorm) {
  // f = -(x0 + x1) is unbounded below: the first line search extrapolates to stpmax.
  // From x0 = (3, 4): L L^T = 7 I, p = (1/7, 1/7), stpmax = 1000 max(sqrt 2, 5) = 5000.
  Counter c;
  c.record = true;
  objective_function f{linear_descent, &c};
  std::vector<double> x0{3.0, 4.0}, xf;
  int iter = 0;
  run_bfgs(&f, x0, xf, 10, &iter);
  double far = 0.0;
  for (auto &pt : c.points) far = std::fmax(far, pt[0]);
  bool hit = false;
  for (auto &pt : c.points)
    if (std::fabs(pt[0] - (3.0 + 5000.0 / 7.0)) < 1e-9 && std::fabs(pt[1] - (4.0 + 5000.0 / 7.0)) < 1e-9)
      hit = true;
  EXPECT_TRUE(hit) << "largest x0 evaluated " << far;
}

TEST(Bfgs, SecondLineSearchStartsFromPreviousStep) {
  // Replays the first iteration with the exported pieces and predicts the first trial of
  // the second line search from the step the first one left behind.
  Defaults d;
  const int N = 2;
  double h = std::sqrt(d.eps);
  Counter c;
  objective_function f{optim_test::rosenbrock, &c};
  std::vector<double> xi{-1.2, 1.0}, dx(N, 1.0), g(N), L(N * N, 0.0), p(N), xf(N);
  double fx = optim_test::rosenbrock(xi.data(), N, &c);
  ASSERT_EQ(grad_fd(&f, nullptr, xi.data(), N, dx.data(), h, g.data()), 0);
  inithess_lower(L.data(), N, fx, 1.0, dx.data());
  std::vector<double> mg{-g[0], -g[1]};
  linsolve_lower(L.data(), N, mg.data(), p.data());
  std::vector<double> g_old = g;
  double maxstep = 1000.0 * std::fmax(std::sqrt(2.0), std::sqrt(1.44 + 1.0));
  double stp = 1.0;
  int before = c.evals;
  lnsrchmt(&f, nullptr, xi.data(), &fx, g.data(), &stp, p.data(), N, dx.data(), maxstep, 1000, h, d.ftol, d.gtol,
           d.xtol, xf.data());
  int first_search_evals = c.evals - before;
  ASSERT_NE(stp, 1.0);
  bfgs_factored(L.data(), N, d.eps, xi.data(), xf.data(), g_old.data(), g.data());
  std::vector<double> mg2{-g[0], -g[1]}, p2(N);
  linsolve_lower(L.data(), N, mg2.data(), p2.data());
  std::vector<double> expected{xf[0] + stp * p2[0], xf[1] + stp * p2[1]};

  Counter rec;
  rec.record = true;
  objective_function fr{optim_test::rosenbrock, &rec};
  std::vector<double> x0{-1.2, 1.0}, out;
  int iter = 0;
  run_bfgs(&fr, x0, out, 1000, &iter);
  size_t idx = 1 + 2 * N + first_search_evals;  // f(x0), gradient, the first search
  ASSERT_GT(rec.points.size(), idx);
  EXPECT_DOUBLE_EQ(rec.points[idx][0], expected[0]);
  EXPECT_DOUBLE_EQ(rec.points[idx][1], expected[1]);
}

TEST(Bfgs, LineSearchCostsOneValueAndACentralGradientPerTrial) {
  Counter c;
  objective_function f{optim_test::wood, &c};
  Defaults d;
  const int N = 4;
  std::vector<double> x{-3, -1, -3, -1}, g(N), p(N), dx(N, 1.0);
  double fx = optim_test::wood(x.data(), N, &c);
  grad_calc2(&f, x.data(), N, dx.data(), std::sqrt(d.eps), g.data());
  for (int i = 0; i < N; ++i) p[i] = -g[i] * 1e-4;
  c.evals = 0;
  double stp = 1.0;
  int info = cvsrch(&f, nullptr, x.data(), &fx, g.data(), &stp, p.data(), N, dx.data(), 1e4, 1000,
                    std::sqrt(d.eps), d.ftol, 0.9, d.xtol);
  EXPECT_EQ(info, 1);
  EXPECT_EQ(c.evals % (1 + 2 * N), 0);
  EXPECT_EQ(fx, optim_test::wood(x.data(), N, &c));  // fx belongs to the returned x
}

TEST(Bfgs, LineSearchRejectsImproperInput) {
  objective_function f{optim_test::rosenbrock, nullptr};
  std::vector<double> x{-1.2, 1.0}, g{-215.6, -88.0}, dx(2, 1.0);
  std::vector<double> uphill{-1.0, -1.0}, down{1.0, 1.0};
  double fx = 24.2, stp = 1.0;
  EXPECT_EQ(cvsrch(&f, nullptr, x.data(), &fx, g.data(), &stp, uphill.data(), 2, dx.data(), 10, 10, 1e-8, 1e-4,
                   0.9, 1e-16),
            0);
  stp = 0.0;
  EXPECT_EQ(cvsrch(&f, nullptr, x.data(), &fx, g.data(), &stp, down.data(), 2, dx.data(), 10, 10, 1e-8, 1e-4,
                   0.9, 1e-16),
            0);
  stp = 1.0;
  EXPECT_EQ(cvsrch(&f, nullptr, x.data(), &fx, g.data(), &stp, down.data(), 2, dx.data(), 10, 10, 1e-8, -1.0,
                   0.9, 1e-16),
            0);
}

TEST(Bfgs, CstepCases) {
  // Samples of q(a) = (a - 2)^2: the cubic through two points of a quadratic is exact.
  {
    double stx = 0, fx = 4, dx = -4, sty = 0, fy = 4, dy = -4, stp = 5, fp = 9, dp = 6;
    int brackt = 0;
    EXPECT_EQ(cstep(&stx, &fx, &dx, &sty, &fy, &dy, &stp, &fp, &dp, &brackt, 0.0, 10.0), 1);
    EXPECT_NEAR(stp, 2.0, 1e-12);
    EXPECT_EQ(brackt, 1);
    EXPECT_EQ(sty, 5.0);
    EXPECT_EQ(stx, 0.0);
  }
  {
    double stx = 0, fx = 4, dx = -4, sty = 0, fy = 4, dy = -4, stp = 3, fp = 1, dp = 2;
    int brackt = 0;
    EXPECT_EQ(cstep(&stx, &fx, &dx, &sty, &fy, &dy, &stp, &fp, &dp, &brackt, 0.0, 10.0), 2);
    EXPECT_NEAR(stp, 2.0, 1e-12);
    EXPECT_EQ(brackt, 1);
    EXPECT_EQ(stx, 3.0);
    EXPECT_EQ(sty, 0.0);
  }
  {
    double stx = 0, fx = 4, dx = -4, sty = 0, fy = 4, dy = -4, stp = 1, fp = 1, dp = -2;
    int brackt = 0;
    EXPECT_EQ(cstep(&stx, &fx, &dx, &sty, &fy, &dy, &stp, &fp, &dp, &brackt, 0.0, 10.0), 3);
    EXPECT_NEAR(stp, 2.0, 1e-12);
    EXPECT_EQ(brackt, 0);
    EXPECT_EQ(stx, 1.0);
  }
  {
    // Concave 4 - 4a - a^2: slope grows in magnitude, not bracketed: go to the bound.
    double stx = 0, fx = 4, dx = -4, sty = 0, fy = 4, dy = -4, stp = 1, fp = -1, dp = -6;
    int brackt = 0;
    EXPECT_EQ(cstep(&stx, &fx, &dx, &sty, &fy, &dy, &stp, &fp, &dp, &brackt, 0.0, 10.0), 4);
    EXPECT_EQ(stp, 10.0);
  }
  {
    // Ascent at stx in the direction of stp: refused, nothing changes.
    double stx = 0, fx = 4, dx = 1, sty = 0, fy = 4, dy = 1, stp = 1, fp = 1, dp = -2;
    int brackt = 0;
    EXPECT_EQ(cstep(&stx, &fx, &dx, &sty, &fy, &dy, &stp, &fp, &dp, &brackt, 0.0, 10.0), 0);
    EXPECT_EQ(stp, 1.0);
    EXPECT_EQ(stx, 0.0);
  }
}

TEST(Bfgs, Stopcheck2Codes) {
  std::vector<double> big{1.0, 1.0}, tiny{1e-9, 1e-9}, dx(2, 1.0);
  double eps = macheps();
  EXPECT_EQ(stopcheck2_mt(1.0, 2, 2.0, big.data(), dx.data(), eps, 1e-6, 1e-10, 3), 4);
  EXPECT_EQ(stopcheck2_mt(1.0, 2, 2.0, tiny.data(), dx.data(), eps, 1e-6, 1e-10, 15), 15);
  EXPECT_EQ(stopcheck2_mt(1.0, 2, 2.0, tiny.data(), dx.data(), eps, 1e-6, 1e-10, 1), 1);
  // ||g||/N, not ||g||/sqrt(N): sqrt(2)*1e-6/2 < 1e-6.
  std::vector<double> edge{1e-6, 1e-6};
  EXPECT_EQ(stopcheck2_mt(1.0, 2, 2.0, edge.data(), dx.data(), eps, 1e-6, 1e-10, 1), 1);
  EXPECT_EQ(stopcheck2_mt(1.0, 2, 1.0 + 1e-12, big.data(), dx.data(), eps, 1e-6, 1e-10, 1), 6);
  EXPECT_EQ(stopcheck2_mt(1.0, 2, 2.0, big.data(), dx.data(), eps, 1e-6, 1e-10, 1), 0);
  // fo = 0: the absolute change |fx| decides.
  EXPECT_EQ(stopcheck2_mt(1e-11, 2, 0.0, big.data(), dx.data(), eps, 1e-6, 1e-10, 1), 6);
  EXPECT_EQ(stopcheck2_mt(1e-9, 2, 0.0, big.data(), dx.data(), eps, 1e-6, 1e-10, 1), 0);
}

TEST(Bfgs, OtherStopchecks) {
  std::vector<double> g{1e-3, 0.0}, dx(2, 1.0), xc{10.0, 0.0}, xf{10.0, 1e-12};
  // scaled gradient 1e-3 * 10 / max(|fx|, fsval) = 1e-3 with fx = 10.
  EXPECT_EQ(stopcheck_mt(10.0, 2, xc.data(), xf.data(), g.data(), dx.data(), 1.0, 2e-3, 1e-9, 1), 1);
  EXPECT_EQ(stopcheck_mt(10.0, 2, xc.data(), xf.data(), g.data(), dx.data(), 1.0, 1e-4, 1e-9, 1), 2);
  EXPECT_EQ(stopcheck_mt(10.0, 2, xc.data(), xf.data(), g.data(), dx.data(), 1.0, 1e-4, 1e-13, 1), 0);
  EXPECT_EQ(stopcheck_mt(10.0, 2, xc.data(), xf.data(), g.data(), dx.data(), 1.0, 1e-4, 1e-13, 3), 4);
  EXPECT_EQ(stopcheck3_mt(xc.data(), xf.data(), 1.0, 2, 2.0, g.data(), dx.data(), macheps(), 1e-6, 1e-10, 0), 2);
  EXPECT_EQ(stopcheck3_mt(xc.data(), xf.data(), 1.0, 2, 2.0, g.data(), dx.data(), macheps(), 1e-3, 1e-10, 0), 1);
  EXPECT_EQ(stopcheck3_mt(xc.data(), xf.data(), 1.0, 2, 2.0, g.data(), dx.data(), macheps(), 1e-6, 1e-10, 15),
            15);
}

namespace {
// H = L L^T from the lower triangle of L.
std::vector<double> lower_product(const std::vector<double> &L, int N) {
  std::vector<double> H(N * N, 0.0);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j)
      for (int k = 0; k <= std::min(i, j); ++k) H[i * N + j] += L[i * N + k] * L[j * N + k];
  return H;
}
}  // namespace

TEST(Bfgs, FactoredUpdateMatchesBfgsFormula) {
  const int N = 3;
  std::vector<double> L{2.0, 0, 0, 0.5, 1.5, 0, -0.3, 0.2, 1.0};
  std::vector<double> H = lower_product(L, N);
  std::vector<double> xi{0.1, 0.2, 0.3}, xf{0.4, -0.1, 0.5}, gi{1.0, -2.0, 0.5}, gf{2.5, -1.0, 1.7};
  bfgs_factored(L.data(), N, macheps(), xi.data(), xf.data(), gi.data(), gf.data());
  std::vector<double> s(N), y(N), Hs(N, 0.0);
  double ys = 0, sHs = 0;
  for (int i = 0; i < N; ++i) {
    s[i] = xf[i] - xi[i];
    y[i] = gf[i] - gi[i];
    ys += y[i] * s[i];
  }
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) Hs[i] += H[i * N + j] * s[j];
  for (int i = 0; i < N; ++i) sHs += s[i] * Hs[i];
  std::vector<double> Hnew = lower_product(L, N);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j)
      EXPECT_NEAR(Hnew[i * N + j], H[i * N + j] + y[i] * y[j] / ys - Hs[i] * Hs[j] / sHs, 1e-12);
  // The new secant condition holds: H+ s = y.
  for (int i = 0; i < N; ++i) {
    double r = 0;
    for (int j = 0; j < N; ++j) r += Hnew[i * N + j] * s[j];
    EXPECT_NEAR(r, y[i], 1e-12);
  }
}

TEST(Bfgs, FactoredUpdateSkipsSmallCurvature) {
  const int N = 2;
  std::vector<double> L{2.0, 99.0, 0.5, 1.5};  // 99: scratch above the diagonal
  std::vector<double> before = L;
  // s = (1, 0), y = (0, 1): y^T s = 0 < sqrt(eps) ||s|| ||y||.
  std::vector<double> xi{0, 0}, xf{1, 0}, gi{0, 0}, gf{0, 1};
  bfgs_factored(L.data(), N, macheps(), xi.data(), xf.data(), gi.data(), gf.data());
  EXPECT_EQ(L, before);
}

TEST(Bfgs, QrupdateGivesFactorOfRankOneChange) {
  const int N = 4;
  std::vector<double> R{3, 1, -1, 2, 0, 2, 0.5, 1, 0, 0, 1.5, -0.5, 0, 0, 0, 1};
  std::vector<double> u{0.3, -0.2, 0.0, 0.1}, v{1.0, 0.5, -0.5, 2.0};
  std::vector<double> M = R;  // R + u v^T
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) M[i * N + j] += u[i] * v[j];
  std::vector<double> Rn = R, uc = u;
  qrupdate(Rn.data(), N, uc.data(), v.data());
  for (int i = 1; i < N; ++i)
    for (int j = 0; j < i; ++j) EXPECT_NEAR(Rn[i * N + j], 0.0, 1e-14) << i << "," << j;
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) {
      double a = 0, b = 0;
      for (int k = 0; k < N; ++k) {
        a += Rn[k * N + i] * Rn[k * N + j];
        b += M[k * N + i] * M[k * N + j];
      }
      EXPECT_NEAR(a, b, 1e-12);
    }
}

TEST(Bfgs, LinsolveLowerSolvesWithLowerTriangleOnly) {
  const int N = 3;
  std::vector<double> L{2.0, 7.0, 7.0, 1.0, 3.0, 7.0, -1.0, 0.5, 1.5};  // 7: ignored
  std::vector<double> x_true{1.0, -2.0, 0.5}, b(N, 0.0), x(N);
  std::vector<double> Lc = L;
  for (int i = 1; i < N; ++i)
    for (int j = 0; j < i; ++j) Lc[j * N + i] = 0.0;
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j)
      for (int k = 0; k < N; ++k) b[i] += Lc[i * N + k] * Lc[j * N + k] * x_true[j];
  linsolve_lower(L.data(), N, b.data(), x.data());
  for (int i = 0; i < N; ++i) EXPECT_NEAR(x[i], x_true[i], 1e-14);
}

TEST(BfgsDeathTest, LinsolveLowerZeroDiagonalEndsProcess) {
  std::vector<double> L{1.0, 0.0, 2.0, 0.0}, b{1.0, 1.0}, x(2);
  EXPECT_EXIT(
      {
        fflush(stdout);
        dup2(2, 1);
        linsolve_lower(L.data(), 2, b.data(), x.data());
      },
      ::testing::ExitedWithCode(1), "^The Matrix system does not have a unique solution$");
}

TEST(Bfgs, InithessLower) {
  std::vector<double> L(9, 5.0), dx{1.0, 2.0, 0.5};
  inithess_lower(L.data(), 3, -16.0, 1.0, dx.data());
  EXPECT_EQ(L, (std::vector<double>{4.0, 5.0, 5.0, 0.0, 8.0, 5.0, 0.0, 0.0, 2.0}));
  // fsval itself, not its magnitude: max(-100, |0.25|) = 0.25.
  inithess_lower(L.data(), 3, 0.25, -100.0, dx.data());
  EXPECT_EQ(L[0], 0.5);
}
