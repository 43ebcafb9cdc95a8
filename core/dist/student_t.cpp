// Student's t distribution through the incomplete beta function,
// P(|T| > t) = I_{df / (df + t^2)}(df / 2, 1 / 2), and its quantile through the inverse
// incomplete beta function. Above 1000 degrees of freedom the quantile is the
// Cornish-Fisher expansion about the normal quantile (Abramowitz and Stegun 26.7.5).
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>

namespace {

void check_df(int df) {
  if (df < 1) tsf_dist::fail("Degree Of Freedom should be a positive real integer");
}

}  // namespace

double tpdf(double x, int df) {
  check_df(df);
  const double v = df;
  return std::exp(gamma_log((v + 1.0) / 2.0) - gamma_log(v / 2.0)) * std::pow(1.0 + x * x / v, -(v + 1.0) / 2.0) /
         std::sqrt(v * 3.14159265358979323846);
}

double tcdf(double x, int df) {
  check_df(df);
  const double v = df;
  // For |x| beyond 1e154 the weight is 0 and the tail I_0 = 0: the answer is 1 or 0.
  const double tail = 0.5 * ibeta(v / (v + x * x), v / 2.0, 0.5);
  return x < 0.0 ? tail : 1.0 - tail;
}

double tinv(double p, int df) {
  check_df(df);
  tsf_dist::check_probability(p);
  if (p == 0.0) return -tsf_dist::kHuge;
  if (p == 1.0) return tsf_dist::kHuge;
  if (df > 1000) return tinv_appx(p, df);
  const double g = 2.0 * (p < 1.0 - p ? p : 1.0 - p);
  const double x = betainv(g, df / 2.0, 0.5);
  return std::sqrt(df * (1.0 - x) / x);
}

double tinv_appx(double p, int df) {
  if (df < 1) tsf_dist::fail("Degree Of Freedom should be a real integer");
  tsf_dist::check_probability(p);
  if (p == 0.0) return -tsf_dist::kHuge;
  if (p == 1.0) return tsf_dist::kHuge;
  const double z = normalinv(p, 0.0, 1.0);
  const double v = df;
  const double z2 = z * z, z3 = z2 * z, z5 = z3 * z2, z7 = z5 * z2, z9 = z7 * z2;
  const double g1 = (z3 + z) / 4.0;
  const double g2 = (5.0 * z5 + 16.0 * z3 + 3.0 * z) / 96.0;
  const double g3 = (3.0 * z7 + 19.0 * z5 + 17.0 * z3 - 15.0 * z) / 384.0;
  const double g4 = (79.0 * z9 + 776.0 * z7 + 1482.0 * z5 - 1920.0 * z3 - 945.0 * z) / 92160.0;
  return z + g1 / v + g2 / (v * v) + g3 / (v * v * v) + g4 / (v * v * v * v);
}
