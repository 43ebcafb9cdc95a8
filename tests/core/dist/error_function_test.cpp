#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, erf, erfc, exp(x^2) erfc}: every range of TOMS 708 (|x| <= 0.5, <= 4, beyond, the
// cut-offs at 5.6 and 5.8) on both signs. mpmath.
TEST(ErrorFunction, AgainstReferenceInEveryRange) {
  const double ref[][4] = {
      {1e-10, 1.1283791670955126e-10, 0.999999999887162, 0.999999999887162},
      {0.3, 0.3286267594591274, 0.6713732405408726, 0.7345993345676551},
      {2.0, 0.9953222650189527, 0.004677734981047266, 0.25539567631050575},
      {4.2, 0.9999999971445058, 2.8554941795921843e-09, 0.13080849231114205},
      {5.7, 0.9999999999999992, 7.566211621862486e-16, 0.09752280879543966},
      {26.0, 1.0, 5.663192408856143e-296, 0.021683584850562907},
      {-0.2, -0.22270258921047847, 1.2227025892104784, 1.2726020284831958},
      {-2.0, -0.9953222650189527, 1.9953222650189528, 108.94090438997797},
      {-5.5, -0.9999999999999927, 1.9999999999999927, 27443409954929.71}};
  for (const auto &r : ref) {
    EXPECT_REL(ts_erf(r[0]), r[1], dist_test::kRational) << r[0];
    EXPECT_REL(ts_erfc(r[0]), r[2], dist_test::kRational) << r[0];
    EXPECT_REL(erfcx(r[0]), r[3], dist_test::kRational) << r[0];
  }
  // x^2 is not exact here: erfc restores its rounding, worth 700 eps at this size.
  EXPECT_REL(ts_erfc(26.16295090390226), 1.1451142445048148e-299, dist_test::kRational);
}

TEST(ErrorFunction, CutOffs) {
  EXPECT_EQ(ts_erf(6.0), 1.0);
  EXPECT_EQ(ts_erf(-6.0), -1.0);
  EXPECT_EQ(ts_erfc(-6.0), 2.0);
  EXPECT_EQ(erfcx(-6.0), 2.0 * std::exp(36.0));
  // erfc is 0 once x^2 exceeds the underflow limit of exp, 1022 ln 2 * 0.99999.
  EXPECT_GT(ts_erfc(26.6), 0.0);
  EXPECT_EQ(ts_erfc(26.7), 0.0);
}
