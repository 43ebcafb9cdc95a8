#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, a, b, I_x(a, b)} on both sides of (a + 1) / (a + b + 2): mpmath betainc; the last
// row R's pbeta (the prefactor loses eps ln B(a, b) there).
TEST(IncompleteBeta, ContinuedFractionAgainstReference) {
  const double ref[][4] = {{0.1, 2, 3, 0.052300000000000006},     {0.9, 2, 3, 0.9963},
                           {0.3, 0.5, 0.5, 0.36901011956554536},  {0.01, 0.2, 5, 0.5846698531754057},
                           {0.99, 5, 0.2, 0.4153301468245942},    {0.2, 50, 100, 7.306361366603155e-05},
                           {0.4, 1e4, 1.5e4, 0.50034335691897913}};
  for (const auto &r : ref) EXPECT_REL(ibeta(r[0], r[1], r[2]), r[3], r[1] < 1e4 ? 1e-13 : 1e-10) << r[0];
  EXPECT_EQ(ibeta(0.5, 2, 2), 0.5);
  EXPECT_REL(ibetac(0.01, 0.2, 5), 0.4153301468245942, 1e-13);
  for (double x : {0.0, 1e-5, 0.3, 1.0}) EXPECT_REL(ibeta(x, 1, 1), x, dist_test::kRational);
}

// Where the fraction needs more than 1000 terms ibeta takes the cube-root normal form of
// ibeta_appx, very good at such sizes; the gamma-tail form, for (a + b - 1)(1 - x) <= 0.8,
// gives three digits. R's pbeta.
TEST(IncompleteBeta, ApproximationPathsAgainstReference) {
  const double ref[][4] = {{0.49999, 1e8, 1e8, 0.3886487055194362}, {0.25, 1e7, 3e7, 0.50002427885410872}};
  for (const auto &r : ref) {
    int iter = 0;
    bfrac(r[0], r[1], r[2], &iter);
    EXPECT_EQ(iter, 1000);
    EXPECT_REL(ibeta(r[0], r[1], r[2]), r[3], 1e-9) << r[0];
  }
  const double appx[][4] = {{0.9, 2, 3, 0.9963}, {0.98, 10, 0.5, 0.530152576132390307},
                            {0.5, 20, 30, 0.923796114019260872}};
  for (const auto &r : appx) EXPECT_REL(ibeta_appx(r[0], r[1], r[2]), r[3], dist_test::kApprox) << r[0];
}

// The density is 0 at x = 0 for a > 1 and +inf for a < 1 (likewise at x = 1 with b); the
// log term used to be dropped there, giving betapdf(0, 2, 3) = 12 and fpdf(0, 4, 7) = 9.
TEST(IncompleteBeta, BetapdfAtTheEndsOfItsSupport) {
  EXPECT_EQ(betapdf(0.0, 2, 3), 0.0);
  EXPECT_EQ(betapdf(0.0, 0.5, 3), HUGE_VAL);
  EXPECT_REL(betapdf(0.0, 1, 3), 3.0, dist_test::kRational);
  EXPECT_EQ(betapdf(1.0, 3, 2), 0.0);
  EXPECT_EQ(betapdf(1.0, 3, 0.5), HUGE_VAL);
  EXPECT_EQ(fpdf(0.0, 4, 7), 0.0);
  // scipy beta.pdf
  EXPECT_REL(betapdf(0.1, 2, 3), 0.972, 1e-14);
  EXPECT_REL(ibetad(0.5, 0.5, 0.5), 0.6366197723675814, 1e-14);
}
