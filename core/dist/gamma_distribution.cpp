// Gamma distribution with shape a and scale b, through the incomplete gamma function.
// The quantile starts from a log-normal with the gamma's first two log-moments matched
// approximately and refines it by Newton steps on the unit-scale distribution function.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>
#include <limits>

namespace {

const int kMaxSteps = 1000;
const int kHistory = 64;

void check_parameters(double a, double b) {
  if (a <= 0.0 || b <= 0.0) tsf_dist::fail("Gamma Distribution parameters must be positive and real.");
}

// One Newton step of gammainv on the unit-scale distribution; dx receives the step.
double newton_step(double x, double p, double a, double *dx) {
  const double F = gammacdf(x, a, 1.0) - p;
  const double f = r8_max(gammapdf(x, a, 1.0), tsf_dist::kTiny);
  *dx = F / f;
  double next = x - *dx;
  if (next <= 0.0) {
    next = x / 10.0;
    *dx = x - next;
  }
  return next;
}

}  // namespace

double gammapdf(double x, double a, double b) {
  check_parameters(a, b);
  const double z = x / b;
  if (z > 0.0) return std::exp((a - 1.0) * std::log(z) - z - gamma_log(a)) / b;
  if (z < 0.0) return 0.0;
  if (z != z) return z;
  // The density's limit at 0: finite only for shape 1, otherwise 0 or a pole. (Ending
  // the process here, as an argument error, would stop the host on a valid point.)
  if (a == 1.0) return 1.0 / b;
  return a > 1.0 ? 0.0 : HUGE_VAL;
}

double gammacdf(double x, double a, double b) {
  check_parameters(a, b);
  return pgamma((x > 0.0 ? x : 0.0) / b, a);
}

double gammainv(double p, double a, double b) {
  tsf_dist::check_probability(p);
  check_parameters(a, b);
  if (p == 0.0) return 0.0;
  if (p == 1.0) return tsf_dist::kHuge;
  const double s = std::log(a + 1.0) - std::log(a);
  const double m = std::log(a) - s / 2.0;
  const double sigma = std::sqrt(2.0 * s);
  double x = std::exp(m - sigma * erfcinv(2.0 * p));

  // The stopping rule |dx| <= tol x with tol the smallest subnormal is in effect "dx = 0",
  // which rounding almost never reaches: the iterates settle on a fixed point with a
  // non-zero step, or on a cycle a few ulps wide (periods up to about 60 occur, from the
  // rounding noise of gammacdf). The last 63 iterates are kept in a ring so that the first
  // repetition ends the loop with the value the 1000th step would have produced.
  const double tol = eps(2.2251e-308);
  double history[kHistory];
  history[0] = x;
  double dx = 1.0;
  for (int step = 1; step <= kMaxSteps && std::fabs(dx) > tol * x; ++step) {
    x = newton_step(x, p, a, &dx);
    // The quantile lies below the smallest positive double.
    if (x == 0.0) return 0.0;
    const int back = step < kHistory - 1 ? step : kHistory - 1;
    for (int j = 1; j <= back; ++j) {
      if (history[(step - j) % kHistory] != x) continue;
      // x_step = x_{step - j}: from step - j on, the iterates repeat with period j.
      const int first = step - j;
      return history[(first + (kMaxSteps - first) % j) % kHistory] * b;
    }
    history[step % kHistory] = x;
  }
  return x * b;
}

double chipdf(double x, int df) {
  if (df < 1) tsf_dist::fail("Degree of freedom is a real positive integer");
  if (x < 0.0) tsf_dist::fail("The range of distribution only takes non-negative and real values");
  return gammapdf(x, df / 2.0, 2.0);
}

double chicdf(double x, int df) {
  if (df < 1) tsf_dist::fail("Degree of freedom is a real positive integer");
  if (x < 0.0) tsf_dist::fail("The range of distribution only takes non-negative and real values");
  return pgamma(x / 2.0, df / 2.0);
}

double chiinv(double p, int df) {
  if (df < 1) tsf_dist::fail("Degree of freedom is a real positive integer");
  return gammainv(p, df / 2.0, 2.0);
}
