// Numeric utilities: rounding toward zero, the spacing of doubles, ln(1 + x) by
// Goldberg's correction (What every computer scientist should know about floating-point
// arithmetic, ACM Computing Surveys 23, 1991, theorem 4) and factorials.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tsf_dist {

void fail(const char *msg) {
  std::printf("%s", msg);
  std::exit(1);
}

}  // namespace tsf_dist

double fix(double x) { return x >= 0.0 ? std::floor(x) : std::ceil(x); }

double normf(double x) { return std::fabs(x); }

double r8_max(double a, double b) { return a > b ? a : b; }

double eps(double x) {
  const double smallest = std::ldexp(1.0, -1074);
  double a = std::fabs(x);
  if (!std::isfinite(a)) return std::numeric_limits<double>::quiet_NaN();
  if (a < 1.0) a = a / 2.0;
  // The logarithm of 0 has no integer part; every spacing below 2^-1074 is 2^-1074.
  if (a == 0.0) return smallest;
  const double k = fix(std::log(a) / 0.6931471805599453);
  if (k - 52.0 < -1074.0) return smallest;
  return std::ldexp(1.0, static_cast<int>(k) - 52);
}

double ts_log1p(double x) {
  const double u = 1.0 + x;
  if (u - 1.0 == 0.0) return x;
  // ln(u) is exact for the rounded u; x / (u - 1) corrects for the rounding of 1 + x.
  if (std::isinf(u)) return u > 0.0 ? u : std::numeric_limits<double>::quiet_NaN();
  return std::log(u) * x / (u - 1.0);
}

double recfact(double x) {
  if (!(x >= 0.0) || x != std::floor(x)) tsf_dist::fail("recfact: argument must be a non-negative integer");
  // The product 2 * 3 * ... * x in the order of the recursion x! = (x - 1)! * x, without
  // its depth; past 170! it stays infinite.
  double r = 1.0;
  for (double k = 2.0; k <= x && !std::isinf(r); k += 1.0) r *= k;
  return r;
}

double factorial(int N) {
  if (N < 0) tsf_dist::fail("factorial: argument must be a non-negative integer");
  return recfact(N);
}
