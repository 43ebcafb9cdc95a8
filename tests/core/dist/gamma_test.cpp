#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, Gamma(x)} in every range of Cody's GAMMA: below eps, (0, 1), (1, 2), up to 12,
// Stirling up to 171, reflection. mpmath gamma.
TEST(Gamma, AgainstReferenceInEveryRange) {
  const double ref[][2] = {{1e-300, 9.999999999999999e+299}, {3e-16, 3333333333333333.0}, {0.1, 9.51350769866873},
                           {1.5, 0.886226925452758}, {7.3, 1271.4236336639087}, {11.9, 31279623.921386234},
                           {12.5, 136843365.46556586}, {150.3, 1.7112969992195767e+261}, {-2.3, -1.447107394255918},
                           {-10.7, -2.0163855047883623e-07}, {-100.3, -1.0431432495783088e-158}};
  for (const auto &r : ref) EXPECT_REL(ts_gamma(r[0]), r[1], dist_test::kExp) << r[0];
  EXPECT_EQ(ts_gamma(5.0), 24.0);
  EXPECT_REL(ts_gamma(0.5), std::sqrt(M_PI), dist_test::kRational);
  EXPECT_REL(ts_gamma(-0.5), -2.0 * std::sqrt(M_PI), dist_test::kRational);
  for (double pole : {0.0, -1.0, -7.0, 171.7}) EXPECT_EQ(ts_gamma(pole), 1.79e308);
  EXPECT_TRUE(std::isnan(ts_gamma(NAN)));
}

// Gamma(1 - x) overflows beyond x = -170.6, its reciprocal does not: Gamma(-171.7) is a
// subnormal (mpmath, good to ~13 digits there), not 1.79e308.
TEST(Gamma, ReflectionBeyondOverflowIsTiny) {
  EXPECT_REL(ts_gamma(-171.7), 8.5272545727773303e-311, 1e-12);
  EXPECT_EQ(ts_gamma(-200.5), 0.0);
  EXPECT_TRUE(std::signbit(ts_gamma(-200.5)));
}

// {x, ln Gamma(x)} in every range of ALGAMA, split points and the cut at 1.1567e77.
TEST(GammaLog, AgainstReferenceInEveryRange) {
  const double ref[][2] = {{1e-300, 690.7755278982137}, {0.3, 1.0957979948180756}, {0.6, 0.39823385806923495},
                           {0.7, 0.26086724653166654}, {1.2, -0.08537409000331583}, {3.9, 1.6675803472417396},
                           {4.5, 2.4537365708424423}, {11.9, 17.25847745059552}, {1000.0, 5905.220423209181},
                           {1e+77, 1.7629905216054153e+79}, {2e+77, 3.5398439868220295e+79}};
  for (const auto &r : ref) EXPECT_REL(gamma_log(r[0]), r[1], dist_test::kRational) << r[0];
  EXPECT_EQ(gamma_log(0.0), HUGE_VAL);
  EXPECT_EQ(gamma_log(2.0), 0.0);
  const double b[][3] = {{0.5, 0.5, M_PI}, {10.5, 0.25, 2.0323149627158763}, {100, 200, 3.607285449794666e-84}};
  for (const auto &r : b) EXPECT_REL(beta(r[0], r[1]), r[2], 1e-13) << r[0];
}
