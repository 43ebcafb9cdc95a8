// The optimiser object, the dispatchers and their method table.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "core/optim/test_problems.h"
#include "support/test_util.h"

using optim_test::Counter;

namespace {

const int kMethods[] = {0, 1, 2, 3, 4, 5, 6, 7};

double max_abs_diff(const std::vector<double> &a, const std::vector<double> &b) {
  double m = 0.0;
  for (size_t i = 0; i < a.size(); ++i) m = std::fmax(m, std::fabs(a[i] - b[i]));
  return m;
}

// Tolerance on the minimiser per method and problem (Rosenbrock, Quadratic5,
// PowellSingular, Wood). The gradient tests stop near ||g|| ~ eps^(1/3); on Powell's
// function (singular Hessian, quartic at 0) that leaves x within ~1e-2 of 0.
double tolerance(int method, int problem) {
  static const double nm[] = {1e-6, 1e-6, 1e-4, 1e-6};
  static const double grad[] = {2e-5, 1e-6, 2e-2, 1e-5};
  return method == 0 ? nm[problem] : grad[problem];
}

// Nelder-Mead converges with 1; the Newton methods and bfgs_min stop on the scaled
// gradient (1) or step (2); the More-Thuente methods on the gradient (1) or on the
// relative change of f (6).
bool success_code(int method, int rc) {
  if (method == 0) return rc == 1;
  if (method == 4 || method == 6 || method == 7) return rc == 1 || rc == 6;
  return rc == 1 || rc == 2;
}

double nan_everywhere(double *, int, void *) { return std::nan(""); }

}  // namespace

TEST(Optimizer, OptInitDefaults) {
  opt_object o = opt_init(1);
  double eps = macheps();
  double g = std::pow(eps, 0.3333333333333333);
  EXPECT_EQ(o->N, 1);
  EXPECT_EQ(o->maxiter, 1000);
  EXPECT_EQ(o->eps, eps);
  EXPECT_EQ(o->xtol, eps);
  EXPECT_EQ(o->gtol, g);
  EXPECT_EQ(o->steptol, g * g);
  EXPECT_EQ(o->ftol, g * g);
  EXPECT_EQ(o->maxstep, -1.0);
  EXPECT_EQ(o->iter, 0);
  EXPECT_EQ(o->method, 0);
  EXPECT_EQ(o->retval, 0);
  EXPECT_EQ(o->fval, 0.0);
  EXPECT_STREQ(o->method_name, "Nelder-Mead");
  EXPECT_EQ(o->xopt[0], 0.0);
  free_opt(o);
  o = opt_init(6);
  EXPECT_EQ(o->maxiter, 1200);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(o->xopt[i], 0.0);
  // The solution vector lives in the same block, right after the fixed fields.
  EXPECT_EQ(reinterpret_cast<char *>(o->xopt), reinterpret_cast<char *>(o) + sizeof(*o));
  free_opt(o);
}

TEST(Optimizer, SettersStoreValuesAsGiven) {
  opt_object o = opt_init(3);
  setMaxIter(o, 10);
  EXPECT_EQ(o->maxiter, 10);  // no floor here
  setMaxStep(o, 2.5);
  EXPECT_EQ(o->maxstep, 2.5);
  double eps = o->eps;
  setTOL(o, 1e-3, 1e-4, 1e-5, 1e-6);
  EXPECT_EQ(o->gtol, 1e-3);
  EXPECT_EQ(o->steptol, 1e-4);
  EXPECT_EQ(o->ftol, 1e-5);
  EXPECT_EQ(o->xtol, 1e-6);
  EXPECT_EQ(o->eps, eps);
  free_opt(o);
}

TEST(Optimizer, Mvalue) {
  const int n[] = {1, 5, 10, 11, 20, 21, 200, 201, 5000};
  const int m[] = {1, 5, 10, 10, 10, 15, 15, 20, 20};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(mvalue(n[i]), m[i]) << n[i];
}

TEST(Optimizer, StandardProblemsThroughFminuncAndOptimize) {
  int k = 0;
  for (auto &pr : optim_test::standard_problems()) {
    for (int method : kMethods) {
      Counter c;
      objective_function f{pr.f, &c};
      std::vector<double> x0 = pr.x0, xf(pr.N);
      int rc = fminunc(&f, nullptr, pr.N, x0.data(), -1.0, method, xf.data());
      EXPECT_TRUE(success_code(method, rc)) << pr.name << " method " << method << " rc " << rc;
      EXPECT_LT(max_abs_diff(xf, pr.xmin), tolerance(method, k)) << pr.name << " method " << method;
      EXPECT_EQ(x0, pr.x0);
      EXPECT_LT(pr.f(xf.data(), pr.N, nullptr), 1e-7) << pr.name << " method " << method;

      opt_object o = opt_init(pr.N);
      Counter c2;
      objective_function f2{pr.f, &c2};
      optimize(o, &f2, nullptr, pr.N, x0.data(), method);
      std::vector<double> xo(o->xopt, o->xopt + pr.N);
      EXPECT_TRUE(success_code(method, o->retval)) << pr.name << " method " << method;
      EXPECT_LT(max_abs_diff(xo, pr.xmin), tolerance(method, k)) << pr.name << " method " << method;
      EXPECT_EQ(o->method, method);
      EXPECT_GT(o->iter, 0);
      // Same defaults as fminunc (the object's limit 200 N >= 1000 for these sizes is
      // only larger than fminunc's Nelder-Mead limit of 200 N), one extra evaluation.
      if (method != 0) {
        EXPECT_EQ(xo, xf) << pr.name;
        EXPECT_EQ(c2.evals, c.evals + 1) << pr.name;
      }
      EXPECT_EQ(o->fval, pr.f(o->xopt, pr.N, &c2));
      free_opt(o);
    }
    ++k;
  }
}

TEST(Optimizer, MethodNames) {
  const char *names[] = {"Nelder-Mead",
                         "Newton Line Search",
                         "Newton Trust Region - Hook Step",
                         "Newton Trust Region - Double Dog-Leg",
                         "Conjugate Gradient",
                         "BFGS",
                         "Limited Memory BFGS",
                         "BFGS More-Thuente Line Search"};
  for (int method = 0; method < 8; ++method) {
    opt_object o = opt_init(2);
    objective_function f{optim_test::rosenbrock, nullptr};
    double x0[2] = {1.0, 1.0};  // the minimum: every method stops at once
    tsf_test::CaptureStdout([&] { optimize(o, &f, nullptr, 2, x0, method); });
    EXPECT_STREQ(o->method_name, names[method]);
    EXPECT_LT(std::strlen(names[method]), sizeof(o->method_name));
    free_opt(o);
  }
}

TEST(Optimizer, FminuncIterationLimitsOfNelderMeadAndBfgs) {
  // Nelder-Mead through fminunc gets exactly 200 N iterations: on Wood from far away
  // the limit is what stops it, and the result equals nel_min's with 800.
  for (int limit : {800, 801}) {
    Counter c;
    objective_function f{optim_test::wood, &c};
    std::vector<double> x0{-30, -10, -30, -10}, xf(4), xn(4), dx(4, 1.0);
    int rc = fminunc(&f, nullptr, 4, x0.data(), -1.0, 0, xf.data());
    int iter = 0;
    int rn = nel_min(&f, x0.data(), 4, dx.data(), 1.0, limit, &iter, macheps(), xn.data());
    if (limit == 800) {
      EXPECT_EQ(rc, rn);
      EXPECT_EQ(xf, xn);
    }
    if (rn == 4 && limit == 801) {
      EXPECT_NE(xf, xn);
    }
  }
  // BFGS through fminunc with N = 2: 1000 iterations (the line search's limit too).
  Counter c;
  objective_function f{optim_test::rosenbrock, &c};
  std::vector<double> x0{-1.2, 1.0}, xf(2), xb(2), dx(2, 1.0);
  int rc = fminunc(&f, nullptr, 2, x0.data(), -1.0, 7, xf.data());
  double eps = macheps(), g = std::pow(eps, 0.3333333333333333);
  int iter = 0;
  int rb = bfgs_min2(&f, nullptr, x0.data(), 2, 2, dx.data(), 1.0, -1.0, 1000, &iter, eps, g, g * g, eps,
                     xb.data());
  EXPECT_EQ(rc, rb);
  EXPECT_EQ(xf, xb);
}

TEST(Optimizer, OptimizeUsesObjectLimitForNelderMead) {
  opt_object o = opt_init(2);
  setMaxIter(o, 5);
  objective_function f{optim_test::rosenbrock, nullptr};
  double x0[2] = {-1.2, 1.0};
  optimize(o, &f, nullptr, 2, x0, 0);
  EXPECT_EQ(o->retval, 4);
  EXPECT_EQ(o->iter, 5);
  setMaxIter(o, 12);
  optimize(o, &f, nullptr, 2, x0, 7);
  EXPECT_EQ(o->retval, 4);
  EXPECT_EQ(o->iter, 12);
  free_opt(o);
}

TEST(Optimizer, FvalIsReevaluatedAfterFailure) {
  // Limit reached after one iteration: fval is still f(xopt), computed by optimize.
  opt_object o = opt_init(4);
  setMaxIter(o, 1);
  Counter c;
  objective_function f{optim_test::wood, &c};
  double x0[4] = {-3, -1, -3, -1};
  optimize(o, &f, nullptr, 4, x0, 0);
  EXPECT_EQ(o->retval, 4);
  EXPECT_EQ(o->fval, optim_test::wood(o->xopt, 4, &c));
  free_opt(o);

  // A NaN objective: code 15, the message once, xopt untouched (zeros), fval NaN.
  o = opt_init(2);
  objective_function fn{nan_everywhere, nullptr};
  double x1[2] = {1.0, 2.0};
  std::string out = tsf_test::CaptureStdout([&] { optimize(o, &fn, nullptr, 2, x1, 7); });
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
  EXPECT_EQ(o->retval, 15);
  EXPECT_EQ(o->iter, 0);
  EXPECT_EQ(o->xopt[0], 0.0);
  EXPECT_TRUE(std::isnan(o->fval));
  free_opt(o);
}

TEST(Optimizer, FminuncNaNAtStart) {
  objective_function fn{nan_everywhere, nullptr};
  double x0[2] = {1.0, 2.0}, xf[2] = {5.0, 6.0};
  int rc = 0;
  std::string out = tsf_test::CaptureStdout([&] { rc = fminunc(&fn, nullptr, 2, x0, -1.0, 7, xf); });
  EXPECT_EQ(rc, 15);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
  EXPECT_EQ(xf[0], 5.0);
  EXPECT_EQ(xf[1], 6.0);
}

TEST(Optimizer, Optsummary) {
  opt_object o = opt_init(2);
  o->retval = 1;
  o->method = 7;
  std::strcpy(o->method_name, "BFGS More-Thuente Line Search");
  o->iter = 17;
  o->xopt[0] = 1.0;
  o->xopt[1] = 0.5;
  o->fval = 1.25e-12;
  std::string out = tsf_test::CaptureStdout([&] { optsummary(o); });
  EXPECT_EQ(out,
            "\n Return Value : 1 \nMethod : 7 BFGS More-Thuente Line Search \nIterations : 17 \n"
            "Function Minimized At : [ 1 0.5  ] \nFunction Value : 1.25e-12 \n \n");
  free_opt(o);
}

TEST(Optimizer, FminsearchAndFminbnd) {
  objective_function f{optim_test::quadratic5, nullptr};
  std::vector<double> x0(5, 0.0), xf(5);
  EXPECT_EQ(fminsearch(&f, 5, x0.data(), xf.data()), 1);
  EXPECT_LT(max_abs_diff(xf, {1, 2, 3, 4, 5}), 1e-6);

  univariate_function u{[](double x, void *) { return std::cos(x); }, nullptr};
  EXPECT_NEAR(fminbnd(&u, 0.0, 6.0), M_PI, 1e-7);
}

TEST(OptimizerDeathTest, UnknownMethodEndsProcess) {
  objective_function f{optim_test::rosenbrock, nullptr};
  double x0[2] = {-1.2, 1.0}, xf[2];
  const char *msg = "^Method Value should be one of 0,1,2,3,4,5,6 or 7\\. See Documentation\\. \n$";
  EXPECT_EXIT(
      {
        fflush(stdout);
        dup2(2, 1);
        fminunc(&f, nullptr, 2, x0, -1.0, 8, xf);
      },
      ::testing::ExitedWithCode(1), msg);
  EXPECT_EXIT(
      {
        fflush(stdout);
        dup2(2, 1);
        opt_object o = opt_init(2);
        optimize(o, &f, nullptr, 2, x0, -1);
      },
      ::testing::ExitedWithCode(1), msg);
  double dx[2] = {1.0, 1.0};
  EXPECT_EXIT(
      {
        fflush(stdout);
        dup2(2, 1);
        fminnewt(&f, nullptr, 2, x0, -1.0, dx, 1.0, -1.0, 0, xf);
      },
      ::testing::ExitedWithCode(1), "^Method Value should be one of 1,2 or 3\\. See Documentation\\. \n$");
}

TEST(OptimizerDeathTest, WrongSizeEndsProcess) {
  objective_function f{optim_test::rosenbrock, nullptr};
  double x0[3] = {-1.2, 1.0, 0.0};
  EXPECT_EXIT(
      {
        fflush(stdout);
        dup2(2, 1);
        opt_object o = opt_init(2);
        optimize(o, &f, nullptr, 3, x0, 7);
      },
      ::testing::ExitedWithCode(1),
      "^The Object is initialized for a problem of size 2 \nPlease Reinitialize the object for the new size 3 "
      "using opt_init command \n$");
}
