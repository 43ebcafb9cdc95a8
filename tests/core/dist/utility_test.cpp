#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

TEST(Utility, EpsIsTheSpacingOfDoubles) {
  EXPECT_EQ(eps(1.0), std::ldexp(1.0, -52));
  EXPECT_EQ(eps(-3.0), std::ldexp(1.0, -51));
  EXPECT_EQ(eps(0.75), std::ldexp(1.0, -53));
  EXPECT_EQ(eps(1e300), std::ldexp(1.0, 996 - 52));
  // Below every normal double the spacing is the smallest subnormal.
  for (double x : {0.0, -0.0, 2.2251e-308, 1e-320, 4.9e-324}) EXPECT_EQ(eps(x), std::ldexp(1.0, -1074)) << x;
  EXPECT_TRUE(std::isnan(eps(HUGE_VAL)));
  EXPECT_TRUE(std::isnan(eps(NAN)));
}

// eps reads the exponent bits away from powers of two; it must agree with its definition
// 2^(trunc(ln a / ln 2) - 52) everywhere, around every power of two included.
TEST(Utility, EpsAgreesWithItsLogarithmDefinition) {
  auto definition = [](double x) {
    double a = std::fabs(x);
    if (a < 1.0) a /= 2.0;
    const double k = fix(std::log(a) / 0.6931471805599453);
    return k - 52.0 < -1074.0 ? std::ldexp(1.0, -1074) : std::ldexp(1.0, static_cast<int>(k) - 52);
  };
  for (int n = -1070; n <= 1023; n += 3) {
    const double p = std::ldexp(1.0, n);
    for (double x : {p, std::nextafter(p, 0.0), std::nextafter(p, HUGE_VAL), p * 1.37, p * 1.9999999999, -p * 1.000000000001})
      ASSERT_EQ(eps(x), definition(x)) << x;
  }
}

TEST(Utility, Log1pAgainstReference) {
  EXPECT_EQ(ts_log1p(1e-20), 1e-20);
  EXPECT_EQ(ts_log1p(-1.0), -HUGE_VAL);
  EXPECT_EQ(ts_log1p(HUGE_VAL), HUGE_VAL);
  // mpmath log1p
  const double ref[][2] = {{1e-10, 9.9999999995e-11}, {-0.3, -0.35667494393873238}, {3.0, 1.3862943611198906}};
  for (const auto &r : ref) EXPECT_REL(ts_log1p(r[0]), r[1], dist_test::kRational);
}

TEST(Utility, FactorialStartsAtZeroAndOverflowsToInfinity) {
  EXPECT_EQ(factorial(0), 1.0);
  EXPECT_EQ(recfact(0.0), 1.0);
  EXPECT_EQ(factorial(1), 1.0);
  EXPECT_EQ(factorial(10), 3628800.0);
  EXPECT_REL(factorial(170), 7.257415615307994e306, 1e-14);
  EXPECT_EQ(factorial(171), HUGE_VAL);
  EXPECT_EQ(recfact(1e9), HUGE_VAL);  // no recursion depth
}

TEST(Utility, SmallHelpers) {
  EXPECT_EQ(fix(-2.7), -2.0);
  EXPECT_EQ(fix(2.7), 2.0);
  EXPECT_EQ(normf(-3.5), 3.5);
  EXPECT_EQ(r8_max(1.0, 2.0), 2.0);
  EXPECT_EQ(r8_max(2.0, 1.0), 2.0);
}
