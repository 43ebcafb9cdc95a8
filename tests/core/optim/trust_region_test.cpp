// Newton's method with a trust region: hook and double dog-leg steps, the radius update and
// the minimiser on the standard problems.
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

// f = 2 x0^2 + 0.5 x1^2: at (1, 1) the gradient is (4, 1), the Hessian diag(4, 1), its
// factor diag(2, 1) and the Newton step (-1, -1).
double bowl(double *x, int N, void *p) {
  if (p) note(x, N, p);
  return 2.0 * x[0] * x[0] + 0.5 * x[1] * x[1];
}

struct BowlModel {
  double xc[2] = {1.0, 1.0}, g[2] = {4.0, 1.0}, H[4] = {4.0, 0.0, 0.0, 1.0}, L[4] = {2.0, 0.0, 0.0, 1.0};
  double sN[2] = {-1.0, -1.0}, dx[2] = {1.0, 1.0};
  double nlen = std::sqrt(2.0);
  // Cauchy step: alpha = ||g||^2 = 17, beta = ||L^T g||^2 = 65.
  double clen = 17.0 * std::sqrt(17.0) / 65.0;
};

}  // namespace

TEST(TrustRegion, StandardProblemsBothVariants) {
  double eps = macheps(), gtol = std::pow(eps, 0.3333333333333333), stol = gtol * gtol;
  const double tol[4] = {1e-4, 1e-6, 1e-2, 1e-5};
  for (int variant = 0; variant < 2; ++variant) {
    int k = 0;
    for (const Problem &pr : standard_problems()) {
      Counter c;
      objective_function f{pr.f, &c};
      std::vector<double> x0 = pr.x0, dx(pr.N, 1.0), xf(pr.N, 0.0);
      int iter = -1;
      int code = newton_min_trust(&f, nullptr, x0.data(), pr.N, dx.data(), 1.0, -1.0, variant, 1000, &iter, eps,
                                  gtol, stol, xf.data());
      EXPECT_EQ(code, 1) << pr.name << " variant " << variant;
      EXPECT_LT(iter, 100) << pr.name;
      for (int i = 0; i < pr.N; ++i) EXPECT_NEAR(xf[i], pr.xmin[i], tol[k]) << pr.name << " variant " << variant;
      EXPECT_EQ(x0, pr.x0);
      ++k;
    }
  }
}

TEST(TrustRegion, CallersRadiusAndIterationLimit) {
  double eps = macheps(), gtol = std::pow(eps, 0.3333333333333333), stol = gtol * gtol;
  Counter c;
  objective_function f{rosenbrock, &c};
  double x0[2] = {-1.2, 1.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = -1;
  EXPECT_EQ(newton_min_trust(&f, nullptr, x0, 2, dx, 1.0, 0.1, 0, 1000, &iter, eps, gtol, stol, xf), 1);
  EXPECT_NEAR(xf[0], 1.0, 1e-4);
  EXPECT_EQ(newton_min_trust(&f, nullptr, x0, 2, dx, 1.0, 0.1, 1, 2, &iter, eps, gtol, stol, xf), 4);
  EXPECT_EQ(iter, 2);
}

TEST(TrustRegionDeathTest, UnknownVariantEndsTheProcess) {
  double eps = macheps();
  objective_function f{rosenbrock, nullptr};
  double x0[2] = {-1.2, 1.0}, dx[2] = {1.0, 1.0}, xf[2];
  int iter = 0;
  EXPECT_EXIT(
      {
        fflush(stdout);
        dup2(2, 1);
        newton_min_trust(&f, nullptr, x0, 2, dx, 1.0, -1.0, 2, 1000, &iter, eps, 1e-6, 1e-10, xf);
      },
      ::testing::ExitedWithCode(1),
      "The program accepts only two method values \nMethod 0 : Hook step \nMethod 1 : Double Dog Leg Step ");
}

TEST(TrustRegion, HookTakesTheNewtonStepInsideTheRadius) {
  BowlModel m;
  double L[4], s[2], state[8] = {2.0, 0.7, 0, 0, 0, 0, 0, 1};
  for (int k = 0; k < 4; ++k) L[k] = m.L[k];
  trstep(m.g, m.sN, 2, m.dx, L, m.H, m.nlen, state, macheps(), s);
  EXPECT_EQ(s[0], -1.0);
  EXPECT_EQ(s[1], -1.0);
  EXPECT_EQ(state[6], 1.0);
  EXPECT_EQ(state[1], 0.0);
  EXPECT_EQ(state[0], m.nlen);  // shrunk to the Newton length
  // Up to 1.5 times the radius the Newton step is taken and the radius kept.
  state[0] = 1.0;
  trstep(m.g, m.sN, 2, m.dx, L, m.H, m.nlen, state, macheps(), s);
  EXPECT_EQ(state[6], 1.0);
  EXPECT_EQ(state[0], 1.0);
}

TEST(TrustRegion, HookStepSolvesTheShiftedSystem) {
  BowlModel m;
  double L[4], s[2], state[8] = {0.5, 0.0, 0, 0, 0, 0, 0, 1};
  for (int k = 0; k < 4; ++k) L[k] = m.L[k];
  trstep(m.g, m.sN, 2, m.dx, L, m.H, m.nlen, state, macheps(), s);
  double len = std::sqrt(s[0] * s[0] + s[1] * s[1]), mu = state[1];
  EXPECT_EQ(state[6], 0.0);
  EXPECT_EQ(state[7], 0.0);
  EXPECT_GE(len, 0.75 * 0.5);
  EXPECT_LE(len, 1.5 * 0.5);
  EXPECT_GT(mu, 0.0);
  // (H + mu D^2) s = -g.
  EXPECT_NEAR((4.0 + mu) * s[0], -4.0, 1e-12);
  EXPECT_NEAR((1.0 + mu) * s[1], -1.0, 1e-12);
  EXPECT_NEAR(state[3], len - 0.5, 1e-15);  // phi
  EXPECT_NEAR(m.H[0], 4.0, 1e-14);  // the shift is taken off H again
}

TEST(TrustRegion, DoubleDogLegFirstRadiusIsTheCauchyLength) {
  BowlModel m;
  double ssd[2], v[2], s[2];
  double state[8] = {-1.0, 0, 0, 0, 0, 0, 0, 1};
  trstep_ddl(m.g, m.sN, 2, m.dx, 1000.0, m.L, m.H, m.nlen, state, ssd, v, s);
  EXPECT_DOUBLE_EQ(state[0], m.clen);
  EXPECT_DOUBLE_EQ(state[1], m.clen);
  EXPECT_DOUBLE_EQ(state[2], 0.2 + 0.8 * 289.0 / (65.0 * 5.0));  // eta
  EXPECT_DOUBLE_EQ(s[0], -(17.0 / 65.0) * 4.0);                  // the Cauchy step itself
  EXPECT_DOUBLE_EQ(s[1], -(17.0 / 65.0) * 1.0);
  // Capped at maxstep: the Cauchy direction shortened to it.
  double capped[8] = {-1.0, 0, 0, 0, 0, 0, 0, 1};
  trstep_ddl(m.g, m.sN, 2, m.dx, 0.5, m.L, m.H, m.nlen, capped, ssd, v, s);
  EXPECT_EQ(capped[0], 0.5);
  EXPECT_NEAR(std::sqrt(s[0] * s[0] + s[1] * s[1]), 0.5, 1e-15);
  EXPECT_NEAR(s[0] / s[1], 4.0, 1e-14);
  // Between the Cauchy point and eta times the Newton step: on the dog-leg at length delta.
  double mid[8] = {1.2, 0, 0, 0, 0, 0, 0, 1};
  trstep_ddl(m.g, m.sN, 2, m.dx, 1000.0, m.L, m.H, m.nlen, mid, ssd, v, s);
  EXPECT_NEAR(std::sqrt(s[0] * s[0] + s[1] * s[1]), 1.2, 1e-14);
  EXPECT_EQ(mid[0], 1.2);
  // Beyond eta times the Newton length: the Newton direction scaled to delta.
  double far[8] = {1.35, 0, 0, 0, 0, 0, 0, 1};
  trstep_ddl(m.g, m.sN, 2, m.dx, 1000.0, m.L, m.H, m.nlen, far, ssd, v, s);
  EXPECT_NEAR(s[0], -1.35 / m.nlen, 1e-15);
  EXPECT_NEAR(s[1], -1.35 / m.nlen, 1e-15);
  EXPECT_EQ(far[6], 0.0);
}

TEST(TrustRegion, SearchesStartFromTheCauchyRadius) {
  // delta not set: the first trial point of the double dog-leg is the Cauchy point; for
  // the hook step it lies within [0.75, 1.5] of the Cauchy length capped at maxstep.
  BowlModel m;
  for (int variant = 0; variant < 2; ++variant) {
    Counter c;
    c.record = true;
    objective_function f{bowl, &c};
    double L[4], H[4], xf[2], state[8] = {-1.0, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
      L[k] = m.L[k];
      H[k] = m.H[k];
    }
    double maxstep = variant == 0 ? 0.4 : 1000.0;
    int code = variant == 0
                   ? trsrch(&f, m.xc, m.g, m.sN, 2, m.dx, maxstep, 1, L, H, 1e-10, state, macheps(), xf)
                   : trsrch_ddl(&f, m.xc, m.g, m.sN, 2, m.dx, maxstep, 1, L, H, 1e-10, state, xf);
    EXPECT_EQ(code, 0);
    ASSERT_GE(c.points.size(), 2u);
    EXPECT_EQ(c.points[0][0], 1.0);  // f(xc) first
    double s0 = c.points[1][0] - 1.0, s1 = c.points[1][1] - 1.0, len = std::sqrt(s0 * s0 + s1 * s1);
    if (variant == 1) {
      EXPECT_DOUBLE_EQ(s0, -(17.0 / 65.0) * 4.0);
      EXPECT_DOUBLE_EQ(s1, -(17.0 / 65.0));
    } else {
      EXPECT_GE(len, 0.75 * 0.4);
      EXPECT_LE(len, 1.5 * 0.4);
    }
    EXPECT_LT(bowl(xf, 2, nullptr), bowl(m.xc, 2, nullptr));
  }
}

TEST(TrustRegion, TrupdateDecisions) {
  BowlModel m;
  objective_function f{bowl, nullptr};
  double xprev[2] = {0, 0}, fprev = -1.0, xf[2];
  // Too little decrease: shrink to the quadratic model's step, within [0.1, 0.5] delta.
  double state[8] = {4.0, 0, 0, 0, 0, 0, 0, 0};
  double s_long[2] = {-3.0, 0.0};  // slope -12, f(-2, 1) - f(1, 1) = 6
  EXPECT_EQ(trupdate(&f, m.xc, m.g, s_long, 2, m.dx, 1000.0, 4, m.L, m.H, 1e-10, 0, state, xprev, &fprev, xf), 2);
  EXPECT_DOUBLE_EQ(state[0], 12.0 * 3.0 / (2.0 * (6.0 + 12.0)));
  EXPECT_EQ(fprev, 0.0);
  // No decrease and a negligible step: give up with xf = xc.
  double s_tiny[2] = {1e-12, 0.0};
  EXPECT_EQ(trupdate(&f, m.xc, m.g, s_tiny, 2, m.dx, 1000.0, 4, m.L, m.H, 1e-6, 0, state, xprev, &fprev, xf), 1);
  EXPECT_EQ(xf[0], 1.0);
  EXPECT_EQ(xf[1], 1.0);
  // The model predicts the decrease exactly: retry with twice the radius, remembering xf.
  double s_good[2] = {-0.25, -0.25};
  state[0] = 0.5;
  EXPECT_EQ(trupdate(&f, m.xc, m.g, s_good, 2, m.dx, 1000.0, 4, m.L, m.H, 1e-10, 0, state, xprev, &fprev, xf), 3);
  EXPECT_EQ(state[0], 1.0);
  EXPECT_EQ(xprev[0], 0.75);
  EXPECT_EQ(fprev, bowl(xprev, 2, nullptr));
  // The longer step is worse: fall back to the remembered point and halve the radius.
  double s_worse[2] = {-2.0, -2.0};
  EXPECT_EQ(trupdate(&f, m.xc, m.g, s_worse, 2, m.dx, 1000.0, 3, m.L, m.H, 1e-10, 0, state, xprev, &fprev, xf), 0);
  EXPECT_EQ(xf[0], 0.75);
  EXPECT_EQ(xf[1], 0.75);
  EXPECT_EQ(state[0], 0.5);
  // After a full Newton step no retry: accept and, with the model this good, double delta
  // (the factor's prediction of the double dog-leg agrees with the Hessian's).
  for (int variant = 0; variant < 2; ++variant) {
    double st[8] = {0.5, 0, 0, 0, 0, 0, 1.0, 0};
    EXPECT_EQ(trupdate(&f, m.xc, m.g, s_good, 2, m.dx, 1000.0, 4, m.L, m.H, 1e-10, variant, st, xprev, &fprev, xf),
              0);
    EXPECT_EQ(st[0], 1.0);
    EXPECT_EQ(xf[0], 0.75);
    // ... but never beyond maxstep.
    st[0] = 0.5;
    EXPECT_EQ(trupdate(&f, m.xc, m.g, s_good, 2, m.dx, 0.7, 4, m.L, m.H, 1e-10, variant, st, xprev, &fprev, xf), 0);
    EXPECT_EQ(st[0], 0.7);
  }
  // A non-finite value at the trial point is announced and returns 15.
  auto nan_f = [](double *x, int, void *) { return x[0] < 0.9 ? std::nan("") : 1.0; };
  objective_function fn{nan_f, nullptr};
  int code = 0;
  std::string out = tsf_test::CaptureStdout([&] {
    code = trupdate(&fn, m.xc, m.g, s_good, 2, m.dx, 1000.0, 4, m.L, m.H, 1e-10, 0, state, xprev, &fprev, xf);
  });
  EXPECT_EQ(code, 15);
  EXPECT_EQ(out, "Program Exiting as the function returns NaN");
}
