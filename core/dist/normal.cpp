// Normal distribution through the error functions. The lower tail is taken from erfc
// and erfcinv: 1 + erf(z) and erfinv(2p - 1) lose every digit there to cancellation.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>

namespace {

const double kSqrt2 = 1.4142135623730951;

void check_sigma(double sigma) {
  if (sigma < 0.0) tsf_dist::fail("Standard Deviation (Sigma) must be non-negative");
}

}  // namespace

namespace tsf_dist {

void check_probability(double p) {
  if (p < 0.0 || p > 1.0) fail("Probablity Values can only take values between 0.0 and 1.0");
}

}  // namespace tsf_dist

double normalpdf(double x, double mu, double sigma) {
  check_sigma(sigma);
  const double d = x - mu;
  return std::exp(-d * d / (2.0 * sigma * sigma)) / (sigma * 2.5066282746310002);
}

double normalcdf(double x, double mu, double sigma) {
  check_sigma(sigma);
  const double z = (x - mu) / (sigma * kSqrt2);
  if (z < 0.0) return 0.5 * ts_erfc(-z);
  return (1.0 + ts_erf(z)) * 0.5;
}

double normalinv(double p, double mu, double sigma) {
  check_sigma(sigma);
  tsf_dist::check_probability(p);
  if (p < 0.5) return mu - kSqrt2 * sigma * erfcinv(2.0 * p);
  return mu + kSqrt2 * sigma * erfinv(2.0 * p - 1.0);
}
