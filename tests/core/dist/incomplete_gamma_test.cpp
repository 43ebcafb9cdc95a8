#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, a, P(a, x)}: the series (x < a + 1) and the continued fraction, mpmath gammainc.
TEST(IncompleteGamma, SeriesAndFractionAgainstReference) {
  const double ref[][3] = {{0.2, 0.5, 0.4729107431344619},    {3.0, 0.5, 0.9856941215645704},
                           {0.1, 3.0, 0.00015465307026467167}, {2.5, 3.0, 0.45618688411667047},
                           {4.5, 3.0, 0.8264219290899639},    {20.0, 3.0, 0.9999995444850495},
                           {30.0, 50.0, 0.0005188914625480343}, {49.0, 50.0, 0.46210439360094024},
                           {52.0, 50.0, 0.6278502984261325},  {80.0, 50.0, 0.9998692160234086},
                           {900.0, 999.0, 0.0006157573022164374}, {999.0, 999.0, 0.5042073484038804},
                           {1010.0, 999.0, 0.6395634597730299}, {1100.0, 999.0, 0.9990460470317124}};
  for (const auto &r : ref) {
    EXPECT_REL(pgamma(r[0], r[1]), r[2], dist_test::kIncomplete) << r[0] << " " << r[1];
    EXPECT_NEAR(qgamma(r[0], r[1]), 1.0 - r[2], dist_test::kIncomplete);
  }
}

// a from 1000 to 1e20 at a + z sqrt(a), z = -20, -3, 0, 1: Temme's expansion. Before it,
// the series never ended for a >= 1e16 and was 4e-3 off at 1e12. References: mpmath
// gammainc for a = 1000; for larger a, scipy gammainc for z >= 0 and -3, and mpmath
// quadrature of the density (50 digits, good to about 5e-14) for z = -20. The tails are
// exp(-200) and carry the rounding of that exponent.
TEST(IncompleteGamma, LargeShapeUsesUniformExpansion) {
  const double ref[][3] = {
      {367.5444679663242, 1000.0, 1.9111043276888677e-162}, {905.1316701949486, 1000.0, 0.0010012389950642836},
      {1000.0, 1000.0, 0.5042052441802155},                 {1031.6227766016839, 1000.0, 0.8413841884287209},
      {980000.0, 1e6, 1.8371857329071852e-90},              {997000.0, 1e6, 0.0013381041673135997},
      {1e6, 1e6, 0.5001329807608725},                       {1001000.0, 1e6, 0.8413447863683402},
      {999980000000.0, 1e12, 2.74629092903449e-89},       {999997000000.0, 1e12, 0.0013498862133920378},
      {1e12, 1e12, 0.5000001329807602},                     {1000001000000.0, 1e12, 0.8413447460685833},
      {9999998000000000.0, 1e16, 2.7535506909611028e-89},   {9999999700000000.0, 1e16, 0.0013498979134474727},
      {1e16, 1e16, 0.5000000013298076},                     {1.00000001e16, 1e16, 0.8413447460685428},
      {9.99999998e19, 1e20, 2.7536459982114098e-89},        {9.999999997e19, 1e20, 0.0013498957613436253},
      {1e20, 1e20, 0.500000000013298},                      {1.0000000001e20, 1e20, 0.8413449195130961}};
  for (const auto &r : ref) EXPECT_REL(pgamma(r[0], r[1]), r[2], 2e-13) << r[0] << " " << r[1];
  // Far outside the transition region P is 0 or 1 to double precision.
  EXPECT_EQ(pgamma(0.5e6, 1e6), 0.0);
  EXPECT_EQ(pgamma(2e300, 1e300), 1.0);
  EXPECT_EQ(pgamma(1e300, 1e300), 0.5);
}

TEST(IncompleteGamma, BoundaryRules) {
  for (double a : {0.5, 3.0, 5000.0}) {
    EXPECT_EQ(pgamma(0.0, a), 0.0);
    EXPECT_EQ(pgamma(HUGE_VAL, a), 1.0);
  }
  EXPECT_EQ(pgamma(2.0, 0.0), 1.0);
  EXPECT_EQ(pgamma(0.0, 0.0), 1.0);  // a = 0 wins
  EXPECT_REL(pgamma(1.0, 1.0), 1.0 - std::exp(-1.0), dist_test::kRational);
  EXPECT_TRUE(std::isnan(pgamma(NAN, 2.0)));
}
