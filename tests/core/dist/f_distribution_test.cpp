#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, d1, d2, pdf, cdf}, scipy f; both forms of each function (d2 below and above d1 x).
TEST(FDistribution, AgainstReference) {
  const double ref[][5] = {{0.1, 1, 1, 0.9150765837179461, 0.19498222904213672},
                           {1.0, 4, 7, 0.42813813455400407, 0.5327857658636865},
                           {3.0, 10, 3, 0.07678732974304624, 0.8016171107603371},
                           {20.0, 1, 200, 6.1643507748552265e-06, 0.9999870292807713}};
  for (const auto &r : ref) {
    const int d1 = static_cast<int>(r[1]), d2 = static_cast<int>(r[2]);
    EXPECT_REL(fpdf(r[0], d1, d2), r[3], 1e-13) << r[0];
    EXPECT_REL(fcdf(r[0], d1, d2), r[4], 1e-13) << r[0];
  }
  EXPECT_EQ(fcdf(HUGE_VAL, 3, 4), 1.0);
  EXPECT_EQ(fpdf(0.0, 1, 9), HUGE_VAL);
  // {p, d1, d2, quantile}, scipy f.ppf; through betainv.
  const double q[][4] = {{0.01, 1, 1, 0.000246780702824095}, {0.95, 4, 7, 4.120311726897633}};
  for (const auto &r : q)
    EXPECT_REL(finv(r[0], static_cast<int>(r[1]), static_cast<int>(r[2])), r[3], 2 * dist_test::kAs109);
  EXPECT_EQ(finv(1.0, 3, 4), 1.79e308);
}
