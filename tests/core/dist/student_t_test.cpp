#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, df, pdf, cdf}, scipy t. Large df lose eps * ln Gamma(df / 2) in the prefactor.
TEST(StudentT, DensityAndDistributionAgainstReference) {
  const double ref[][4] = {{-30.0, 1, 0.0003532851123016546, 0.010606402405535424},
                           {-1.0, 5, 0.21967979735098062, 0.18160873382456127},
                           {2.0, 30, 0.05685227504719788, 0.9726874775185085},
                           {-4.0, 1000, 0.00014141668881696397, 3.4004959604390776e-05},
                           {1.0, 5000, 0.24194652946335013, 0.841320550205985}};
  for (const auto &r : ref) {
    EXPECT_REL(tpdf(r[0], static_cast<int>(r[1])), r[2], 1e-12) << r[0];
    EXPECT_REL(tcdf(r[0], static_cast<int>(r[1])), r[3], 1e-11) << r[0];
  }
  EXPECT_EQ(tcdf(0.0, 7), 0.5);
  // x^2 overflows beyond 1e154; the answer there used to be 0.5.
  for (int df : {1, 2000}) {
    EXPECT_EQ(tcdf(1e200, df), 1.0);
    EXPECT_EQ(tcdf(-1e200, df), 0.0);
  }
}

// {p, df, quantile}: scipy t.ppf of max(p, 1 - p) up to 1000 degrees of freedom (the upper
// critical value, the same for p and 1 - p, through betainv), of p itself above (signed).
TEST(StudentT, QuantileAndItsSignRule) {
  const double ref[][3] = {{0.025, 1, 12.706204736432095},    {0.005, 5, 4.032142983557536},
                           {0.025, 10, 2.2281388519649385},   {0.9, 1000, 1.2823987214609247},
                           {0.025, 1001, -1.9623367052808791}, {0.975, 2000, 1.9611508260994375},
                           {1e-06, 5000, -4.759037953505099}};
  for (const auto &r : ref) {
    const int df = static_cast<int>(r[1]);
    const double tol = df <= 1000 ? dist_test::kAs109 : 1e-10;  // 1 - 1e-6 is not exact
    EXPECT_REL(tinv(r[0], df), r[2], tol) << r[0] << " " << df;
    EXPECT_REL(tinv(1.0 - r[0], df), df <= 1000 ? r[2] : -r[2], tol);
  }
  EXPECT_EQ(tinv(0.5, 10), 0.0);
  EXPECT_EQ(tinv(0.0, 10), -1.79e308);
  EXPECT_EQ(tinv(1.0, 10), 1.79e308);
}
