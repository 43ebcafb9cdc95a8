#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, pdf, cdf} of N(0, 1), mpmath; the lower tail comes from erfc. The rounding of
// z = (x - mu) / (sigma sqrt 2) grows by 2 z^2 in the tail, hence 3e-13 there.
TEST(Normal, DensityAndDistributionAgainstReference) {
  const double ref[][3] = {{-37.0, 2.1200065515246056e-298, 5.725571222524577e-300},
                           {-10.0, 7.694598626706419e-23, 7.619853024160525e-24},
                           {-0.4, 0.3682701403033233, 0.3445782583896758},
                           {0.0, 0.3989422804014327, 0.5},
                           {6.0, 6.075882849823285e-09, 0.9999999990134123}};
  for (const auto &r : ref) {
    EXPECT_REL(normalpdf(3.0 + 2.0 * r[0], 3.0, 2.0), r[1] / 2.0, dist_test::kExp) << r[0];
    EXPECT_REL(normalcdf(3.0 + 2.0 * r[0], 3.0, 2.0), r[2], 3e-13) << r[0];
  }
}

// {p, quantile}, scipy norm.ppf. Through erfinv(2p - 1) the quantile was -inf below
// p = 5.6e-17 and 10% off near 1e-16.
TEST(Normal, QuantileKeepsItsDigitsInTheLowerTail) {
  const double ref[][2] = {{1e-300, -37.0470962993612}, {1e-17, -8.493793224109599}, {1e-16, -8.222082216130435},
                           {0.01, -2.3263478740408408}, {0.03125, -1.8627318674216515}, {0.975, 1.959963984540054}};
  for (const auto &r : ref) EXPECT_REL(normalinv(r[0], 3.0, 2.0), 3.0 + 2.0 * r[1], 1e-15) << r[0];
  EXPECT_EQ(normalinv(0.5, 0, 1), 0.0);
  EXPECT_EQ(normalinv(0.0, 0, 1), -HUGE_VAL);
  EXPECT_EQ(normalinv(1.0, 0, 1), HUGE_VAL);
  for (double p = 1e-300; p < 0.5; p *= 1e3) EXPECT_REL(normalcdf(normalinv(p, 0, 1), 0, 1), p, 3e-13) << p;
}
