// Partial autocorrelations by Yule-Walker and Burg against R, the conditional
// least-squares ones on a known AR(1), the dispatch notice, and the lag limits.
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/simulated_series.h"
#include "support/test_util.h"

TEST(Pacf, YuleWalkerAndBurgMatchRAtAnyLevel) {
  // R 4.2: pacf(x, lag.max = 8, plot = FALSE)$acf, and ar.burg(xc[1:(N-1)], aic = FALSE,
  // order.max = 4, demean = FALSE)$partialacf with xc = x - mean(x).
  struct Case {
    const char *file;
    std::vector<double> yw, burg;
  };
  const Case cases[] = {
      {"lh.csv",
       {0.5755244755244755, -0.22340997286429734, -0.22694020165024134, 0.10276837700622211, -0.075934419653310048,
        0.067557934525966201, -0.10417025122780975, 0.012013676148550527},
       {0.57173756308579682, -0.23570163671548078, -0.20315656361245121, 0.079550928229214724}},
      {"nile.csv",
       {0.49840818413302951, 0.1811710054375715, 0.11089699311648955, 0.0061756360792159185, 0.065024927838134322,
        0.070644279472028698, 0.060333068812880981, 0.16289078715208857},
       {0.49831554122113131, 0.19544892160294458, 0.12375465467405479, 0.010853855821084717}},
      {"lakehuron.csv",
       {0.8319112103524523, -0.26675162762712956, 0.13075413353793494, 0.03405704643561322, 0.062092087065482422,
        -0.021134109289729787, 0.091965212748250785, 0.045479475157101094},
       {0.83808737699824842, -0.24430802537332125, 0.11174545089070384, 0.067751788710028141}},
  };
  // Burg used to run on the raw values: the level must not matter.
  for (const Case &r : cases)
    for (double level : {0.0, 1000.0}) {
      std::vector<double> x = tsf_test::LoadSeries(r.file);
      for (double &v : x) v += level;
      const int N = static_cast<int>(x.size());
      const double tol = level == 0.0 ? 1e-13 : 1e-9;
      std::vector<double> yw(8), burg(4), direct(8);
      pacf_opt(x.data(), N, 0, yw.data(), 8);
      pacf_opt(x.data(), N, 1, burg.data(), 4);
      pacf(x.data(), N, direct.data(), 8);
      SCOPED_TRACE(std::string(r.file) + " level " + std::to_string(level));
      for (int k = 0; k < 8; ++k) EXPECT_NEAR(yw[k], r.yw[k], tol) << "lag " << k + 1;
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(burg[k], r.burg[k], tol) << "lag " << k + 1;
      EXPECT_EQ(direct, yw);
      pacf_burg(x.data(), N, direct.data(), 4);
      EXPECT_EQ(std::vector<double>(direct.begin(), direct.begin() + 4), burg);
      // The lag-k value is the last coefficient of the AR(k) fit.
      std::vector<double> phi(3);
      ywalg(x.data(), N, 3, phi.data());
      EXPECT_NEAR(phi[2], yw[2], 1e-15);
    }
}

TEST(Pacf, EveryMethodSeesAnAr1) {
  const std::vector<double> x = tsf_test::SimulateAr1(0.7, 400, 7, 50.0);
  for (int method = 0; method < 3; ++method) {
    std::vector<double> p(5);
    pacf_opt(x.data(), 400, method, p.data(), 5);
    EXPECT_NEAR(p[0], 0.7, 0.05) << "method " << method;
    for (int k = 1; k < 5; ++k) EXPECT_LT(std::fabs(p[k]), 0.1) << "method " << method << " lag " << k + 1;
  }
}

TEST(Pacf, UnknownMethodPrintsTheAcceptedValues) {
  const std::vector<double> x = {1.0, 2.0, 4.0, 3.0, 5.0};
  std::vector<double> p(2, -3.0);
  const std::string out = tsf_test::CaptureStdout([&] { pacf_opt(x.data(), 5, 5, p.data(), 2); });
  EXPECT_EQ(out,
            "\n The code only accepts numerical values 0,1 and 2 \n\n Method 0 : Yule-Walker \n"
            "\n Method 1 : Burg \n\n Method 2 : Box-Jenkins Conditional MLE \n");
  EXPECT_EQ(p, std::vector<double>(2, -3.0));
}

TEST(Pacf, LagsBeyondTheSeriesNoLongerReadOutside) {
  // Yule-Walker reaches lag N - 1; Burg (on N - 1 values) and the least-squares fits (which
  // need a degree of freedom besides the mean) reach N - 2. A longer request, or M = 0,
  // writes nothing.
  const std::vector<double> x = tsf_test::SimulateAr1(0.5, 8, 9);
  for (int method = 0; method < 3; ++method) {
    const int largest = method == 0 ? 7 : 6;
    for (int M : {0, largest + 1, largest + 3}) {
      std::vector<double> p(M + 1, -3.0);
      tsf_test::CaptureStdout([&] { pacf_opt(x.data(), 8, method, p.data(), M); });
      EXPECT_EQ(p, std::vector<double>(M + 1, -3.0)) << "method " << method << " M " << M;
    }
    std::vector<double> p(largest, -3.0);
    pacf_opt(x.data(), 8, method, p.data(), largest);
    for (double v : p) EXPECT_TRUE(std::isfinite(v) && v != -3.0) << "method " << method;
  }
}
