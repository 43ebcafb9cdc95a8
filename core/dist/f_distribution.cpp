// F distribution through the beta distribution: with u = d1 x / (d1 x + d2),
// P(F <= x) = I_u(d1 / 2, d2 / 2), taken as the complement on the side where u is near 1.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

namespace {

void check_x(double x) {
  if (x < 0.0) tsf_dist::fail("The range of distribution only takes non-negative and real values");
}

}  // namespace

double fpdf(double x, int d1, int d2) {
  if (d1 < 1 || d2 < 1) tsf_dist::fail("Degrees Of Freedom should be real integers");
  check_x(x);
  const double v1 = d1, v2 = d2;
  if (v2 < v1 * x) {
    const double l = v2 + v1 * x;
    return (v2 * v1 / (l * l)) * betapdf(v2 / l, v2 / 2.0, v1 / 2.0);
  }
  const double l = v1 * x;
  const double s = v2 + l;
  return ((s * v1 - l * v1) / (s * s)) * betapdf(l / (v2 + l), v1 / 2.0, v2 / 2.0);
}

double fcdf(double x, int d1, int d2) {
  if (d1 < 1 || d2 < 1) tsf_dist::fail("Degrees Of Freedom should be positive real integers");
  check_x(x);
  const double v1 = d1, v2 = d2;
  if (v2 > v1 * x) return ibeta(v1 * x / (v1 * x + v2), v1 / 2.0, v2 / 2.0);
  return ibetac(v2 / (v1 * x + v2), v2 / 2.0, v1 / 2.0);
}

double finv(double p, int d1, int d2) {
  tsf_dist::check_probability(p);
  if (d1 < 1 || d2 < 1) tsf_dist::fail("Degrees Of Freedom should be positive real integers");
  if (p == 1.0) return tsf_dist::kHuge;
  const double x = betainv(p, d1 / 2.0, d2 / 2.0);
  return d2 * x / (d1 * (1.0 - x));
}
