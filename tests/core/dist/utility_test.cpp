#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

TEST(Utility, EpsIsTheSpacingOfDoubles) {
  EXPECT_EQ(eps(1.0), std::ldexp(1.0, -52));
  EXPECT_EQ(eps(-3.0), std::ldexp(1.0, -51));
  EXPECT_EQ(eps(0.75), std::ldexp(1.0, -53));
  // Below every normal double the spacing is the smallest subnormal (eps(0) used to take
  // the integer part of -inf).
  for (double x : {0.0, 2.2251e-308, 4.9e-324}) EXPECT_EQ(eps(x), std::ldexp(1.0, -1074)) << x;
  EXPECT_TRUE(std::isnan(eps(HUGE_VAL)));
}

// eps reads the exponent bits away from powers of two; it must agree with its definition
// 2^(trunc(ln a / ln 2) - 52) everywhere, around every power of two included.
TEST(Utility, EpsAgreesWithItsLogarithmDefinition) {
  auto definition = [](double x) {
    const double a = std::fabs(x) < 1.0 ? std::fabs(x) / 2.0 : std::fabs(x);
    const double k = fix(std::log(a) / 0.6931471805599453);
    return k - 52.0 < -1074.0 ? std::ldexp(1.0, -1074) : std::ldexp(1.0, static_cast<int>(k) - 52);
  };
  for (int n = -1070; n <= 1023; n += 3) {
    const double p = std::ldexp(1.0, n);
    for (double x : {p, std::nextafter(p, 0.0), std::nextafter(p, HUGE_VAL), p * 1.37, -p * 1.000000000001})
      ASSERT_EQ(eps(x), definition(x)) << x;
  }
}

TEST(Utility, Log1pAndFactorial) {
  EXPECT_EQ(ts_log1p(1e-20), 1e-20);
  EXPECT_EQ(ts_log1p(HUGE_VAL), HUGE_VAL);
  EXPECT_REL(ts_log1p(1e-10), 9.9999999995e-11, dist_test::kRational);
  EXPECT_REL(ts_log1p(-0.3), -0.35667494393873238, dist_test::kRational);
  // 0! used to recurse for ever; large arguments no longer recurse at all.
  EXPECT_EQ(factorial(0), 1.0);
  EXPECT_EQ(factorial(10), 3628800.0);
  EXPECT_REL(factorial(170), 7.257415615307994e306, 1e-14);
  EXPECT_EQ(factorial(171), HUGE_VAL);
  EXPECT_EQ(recfact(1e9), HUGE_VAL);
}
