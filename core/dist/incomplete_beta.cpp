// Regularised incomplete beta function I_x(a, b) by its continued fraction (Abramowitz
// and Stegun 26.5.8, evaluated as in Press et al., Numerical Recipes, 1st ed., section
// 6.3), with the symmetry I_x(a, b) = 1 - I_{1-x}(b, a) on the side where it converges
// fast. Where the fraction does not converge in 1000 terms: a gamma-tail approximation or
// the cube-root normal approximation (Abramowitz and Stegun 26.5.21). The beta density.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>

namespace tsf_dist {

void check_beta_arguments(double x, double a, double b) {
  if (x < 0.0 || x > 1.0) fail("x only accepts real values between 0.0 and 1.0");
  if (a < 0.0 || b < 0.0) fail(" The Two Inputs should be nonnegative and real");
}

}  // namespace tsf_dist

double bfrac(double x, double a, double b, int *iter) {
  const double qab = a + b, qap = a + 1.0, qam = a - 1.0;
  double am = 1.0, bm = 1.0, az = 1.0, bz = 1.0 - qab * x / qap;
  int m = 1;
  for (; m <= 1000; ++m) {
    const double t = 2.0 * m;
    double d = m * (b - m) * x / ((qam + t) * (a + t));
    const double ap = az + d * am;
    const double bp = bz + d * bm;
    d = -(a + m) * (qab + m) * x / ((a + t) * (qap + t));
    const double app = ap + d * az;
    const double bpp = bp + d * bz;
    const double old = az;
    am = ap / bpp;
    bm = bp / bpp;
    az = app / bpp;
    bz = 1.0;
    if (std::fabs(az - old) <= 1000.0 * eps(az)) break;
  }
  if (iter != nullptr) *iter = m > 1000 ? 1000 : m;
  return az;
}

double ibeta_appx(double x, double a, double b) {
  tsf_dist::check_beta_arguments(x, a, b);
  const double h = (a + b - 1.0) * (1.0 - x);
  if (h <= 0.8) return qgamma(0.5 * ((3.0 - x) * h - (b - 1.0) * (1.0 - x)), b);
  if (h > 0.8) {
    const double w1 = std::cbrt(b * x), w2 = std::cbrt(a * (1.0 - x));
    const double num = 3.0 * ((1.0 - 1.0 / (9.0 * b)) * w1 - (1.0 - 1.0 / (9.0 * a)) * w2);
    return 0.5 * ts_erfc(-num / std::sqrt(2.0) / std::sqrt(w1 * w1 / b + w2 * w2 / a));
  }
  return 0.0;
}

double ibeta(double x, double a, double b) {
  tsf_dist::check_beta_arguments(x, a, b);
  const double lpow = a * std::log(x) + b * ts_log1p(-x);
  int iter = 0;
  double result;
  if (x < (a + 1.0) / (a + b + 2.0)) {
    const double bt = std::exp(gamma_log(a + b) - gamma_log(a + 1.0) - gamma_log(b) + lpow);
    result = bt * bfrac(x, a, b, &iter);
  } else {
    const double bt = std::exp(gamma_log(a + b) - gamma_log(b + 1.0) - gamma_log(a) + lpow);
    result = 1.0 - bt * bfrac(1.0 - x, b, a, &iter);
  }
  if (iter >= 1000) return ibeta_appx(x, a, b);
  return result;
}

double ibetac(double x, double a, double b) { return ibeta(1.0 - x, b, a); }

double ibetad(double x, double a, double b) { return betapdf(x, a, b); }

double betapdf(double x, double a, double b) {
  tsf_dist::check_beta_arguments(x, a, b);
  // (a - 1) ln x is -inf at x = 0 for a > 1 and +inf for a < 1: the density's limits.
  const double lp = a == 1.0 ? 0.0 : (a - 1.0) * std::log(x);
  const double lq = b == 1.0 ? 0.0 : (b - 1.0) * ts_log1p(-x);
  return std::exp(lp + lq - beta_log(a, b));
}

double betacdf(double x, double a, double b) {
  const double r = ibeta(x, a, b);
  return r > 1.0 ? 1.0 : r;
}
