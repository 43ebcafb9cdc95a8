// Numeric utilities: rounding toward zero, the spacing of doubles, ln(1 + x) by
// Goldberg's correction (What every computer scientist should know about floating-point
// arithmetic, ACM Computing Surveys 23, 1991, theorem 4) and factorials.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>
#include <cstdint>
#include <cstring>
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

namespace {

// 2^n for a normal result, from its bit pattern.
double power_of_two(int n) {
  if (n < -1022) return std::ldexp(1.0, n);
  const std::uint64_t bits = static_cast<std::uint64_t>(n + 1023) << 52;
  double r;
  std::memcpy(&r, &bits, sizeof r);
  return r;
}

}  // namespace

double eps(double x) {
  const double smallest = std::ldexp(1.0, -1074);
  double a = std::fabs(x);
  if (!std::isfinite(a)) return std::numeric_limits<double>::quiet_NaN();
  if (a < 1.0) a = a / 2.0;
  // The logarithm of 0 has no integer part; every spacing below 2^-1074 is 2^-1074.
  if (a == 0.0) return smallest;
  // k = trunc(ln(a) / ln 2). eps bounds the loops of the incomplete gamma and beta
  // functions, so away from powers of two k is read from the exponent bits: there the
  // quotient is at least 1e-12 from an integer, farther than its rounding. Near them (and
  // for subnormals) the rounding of the quotient decides, and it is computed as written.
  std::uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  const int biased = static_cast<int>(bits >> 52);
  const double fraction = static_cast<double>(bits & ((std::uint64_t{1} << 52) - 1)) * 0x1p-52;
  double k;
  if (biased == 0 || fraction < 2e-11 || fraction > 1.0 - 2e-11)
    k = fix(std::log(a) / 0.6931471805599453);
  else
    k = biased >= 1023 ? biased - 1023 : biased - 1022;
  if (k - 52.0 < -1074.0) return smallest;
  return power_of_two(static_cast<int>(k) - 52);
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
