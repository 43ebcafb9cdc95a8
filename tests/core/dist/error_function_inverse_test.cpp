#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, erfinv(x)}: each rational range, the tail in t, and an argument one ulp below 1,
// where the correction step works on 1 - |x| through erfc. mpmath, 400 digits.
TEST(ErrorFunctionInverse, ErfinvAgainstReference) {
  const double ref[][2] = {{1e-10, 8.862269254527581e-11}, {0.5, 0.4769362762044699}, {0.8, 0.9061938024368233},
                           {0.9375, 1.3171503349861307}, {0.999999, 3.458910737275499},
                           {0.9999999999999998, 5.805018683193453}, {-0.999999999999, -5.042031898572696}};
  for (const auto &r : ref) EXPECT_REL(erfinv(r[0]), r[1], dist_test::kRational) << r[0];
  EXPECT_EQ(erfinv(0.0), 0.0);
  EXPECT_EQ(erfinv(1.0), 1.79e308);
  for (double x = -0.999; x < 1.0; x += 0.0371) EXPECT_NEAR(ts_erf(erfinv(x)), x, 4e-16) << x;
}

// {x, erfcinv(x)}: through erfinv above 0.0625, the two tail forms with their correction
// step below, down to a subnormal argument.
TEST(ErrorFunctionInverse, ErfcinvAgainstReference) {
  const double ref[][2] = {{1.9, -1.1630871536766738}, {0.0625, 1.3171503349861307}, {0.06, 1.3299219143360639},
                           {1e-99, 14.989130087739213}, {1e-101, 15.141635054793763}, {1e-300, 26.209469960516124},
                           {1e-320, 27.073153719853043}};
  for (const auto &r : ref) EXPECT_REL(erfcinv(r[0]), r[1], dist_test::kRational) << r[0];
  EXPECT_EQ(erfcinv(1.0), 0.0);
  EXPECT_EQ(erfcinv(0.0), 1.79e308);
  EXPECT_EQ(erfcinv(2.0), -1.79e308);
  for (double y = 0.1; y < 26.5; y += 0.73) EXPECT_REL(erfcinv(ts_erfc(y)), y, 1e-15) << y;
}
