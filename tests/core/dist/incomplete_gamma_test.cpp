#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, a, P(a, x)}: the series (x < a + 1) and the continued fraction, mpmath gammainc.
TEST(IncompleteGamma, SeriesAndFractionAgainstReference) {
  const double ref[][3] = {{0.2, 0.5, 0.4729107431344619}, {3.0, 0.5, 0.9856941215645704},
                           {0.1, 3.0, 0.00015465307026467167}, {20.0, 3.0, 0.9999995444850495},
                           {49.0, 50.0, 0.46210439360094024}, {52.0, 50.0, 0.6278502984261325},
                           {900.0, 999.0, 0.0006157573022164374}, {1100.0, 999.0, 0.9990460470317124}};
  for (const auto &r : ref) EXPECT_REL(pgamma(r[0], r[1]), r[2], dist_test::kIncomplete) << r[0] << " " << r[1];
  EXPECT_REL(pgamma(1.0, 1.0), 1.0 - std::exp(-1.0), dist_test::kRational);
  EXPECT_NEAR(qgamma(3.0, 0.5), 1.0 - 0.9856941215645704, 1e-15);
}

// From a = 1000 on: Temme's expansion. Before it, the series never ended for a >= 1e16
// and was 4e-3 off at 1e12. {x, a, P} at a + z sqrt(a), z = -20, -3, 0, 1. References:
// mpmath gammainc at a = 1000; above, scipy gammainc for z >= -3 and, for z = -20 (P of
// order exp(-200)), mpmath quadrature of the density, good to about 5e-14.
TEST(IncompleteGamma, LargeShapeUsesUniformExpansion) {
  const double ref[][3] = {
      {367.5444679663242, 1000.0, 1.9111043276888677e-162}, {1000.0, 1000.0, 0.5042052441802155},
      {1031.6227766016839, 1000.0, 0.8413841884287209},     {980000.0, 1e6, 1.8371857329071852e-90},
      {997000.0, 1e6, 0.0013381041673135997},               {999980000000.0, 1e12, 2.74629092903449e-89},
      {1e12, 1e12, 0.5000001329807602},                     {9999998000000000.0, 1e16, 2.7535506909611028e-89},
      {9999999700000000.0, 1e16, 0.0013498979134474727},    {9.99999998e19, 1e20, 2.7536459982114098e-89},
      {1e20, 1e20, 0.500000000013298},                      {1.0000000001e20, 1e20, 0.8413449195130961}};
  for (const auto &r : ref) EXPECT_REL(pgamma(r[0], r[1]), r[2], 2e-13) << r[0] << " " << r[1];
  // Far outside the transition region P is 0 or 1 to double precision.
  EXPECT_EQ(pgamma(0.5e6, 1e6), 0.0);
  EXPECT_EQ(pgamma(2e300, 1e300), 1.0);
}

TEST(IncompleteGamma, BoundaryRules) {
  for (double a : {0.5, 5000.0}) {
    EXPECT_EQ(pgamma(0.0, a), 0.0);
    EXPECT_EQ(pgamma(HUGE_VAL, a), 1.0);
  }
  EXPECT_EQ(pgamma(0.0, 0.0), 1.0);  // a = 0 wins
  EXPECT_TRUE(std::isnan(pgamma(NAN, 2.0)));
}
