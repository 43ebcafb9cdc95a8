// The seasonal model object: its sizes, the argument checks, the printed summary, series
// too short for the differencing, and period 0 as the non-seasonal model.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "support/test_util.h"

namespace {

std::string Pad(const std::string &s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

}  // namespace

TEST(SeasonalModel, InitSizes) {
  sarima_object *obj = sarima_init(1, 0, 1, 12, 1, 1, 1, 120);
  EXPECT_EQ(obj->M, 0);
  EXPECT_EQ(obj->Nused, 108);
  EXPECT_EQ(obj->ncoeff, 4);
  EXPECT_EQ(obj->lvcov, 16);
  EXPECT_TRUE(std::isnan(obj->loglik) && std::isnan(obj->aic));
  sarima_free(obj);

  obj = sarima_init(0, 0, 0, 4, 1, 0, 0, 40);
  EXPECT_EQ(obj->M, 1);
  EXPECT_EQ(obj->ncoeff, 2);
  EXPECT_EQ(obj->PHI[0], 0.0);
  sarima_free(obj);

  // Period 0: the non-seasonal model, the seasonal orders stored as 0.
  obj = sarima_init(1, 1, 1, 0, 2, 1, 1, 50);
  EXPECT_EQ(obj->P + obj->D + obj->Q, 0);
  EXPECT_EQ(obj->Nused, 49);
  EXPECT_EQ(obj->ncoeff, 2);
  sarima_free(obj);
}

TEST(SeasonalModelDeathTest, NegativeArgumentsEndTheProcess) {
  const char *msg = "\n Input Values cannot be Negative\\. Program Exiting\\. ";
  const int args[5][8] = {{-1, 0, 0, 12, 0, 0, 0, 50},
                          {0, 0, 0, -12, 1, 0, 0, 50},
                          {0, 1, 1, 12, 0, 1, -1, 50},
                          {0, 0, 0, 4, 0, 0, 0, 0},
                          {1, 0, 0, -1, 0, 0, 0, 20}};
  for (int k = 0; k < 5; ++k) {
    const int *a = args[k];
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          dup2(2, 1);
          if (k < 4)
            sarima_init(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
          else
            alik_seas_init(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
        },
        ::testing::ExitedWithCode(255), msg)
        << k;
  }
}

// Method 0 and method 2. The seasonal rows follow the non-seasonal ones, no equation
// form is printed. Box-Jenkins lays vcov out as (level, phi, PHI, THETA) and prints the
// constant mu (1 - phi)(1 - PHI) = 8 * 0.5 * 0.5 = 2, whose standard error comes from the
// level's and the coefficients' by the delta method: gradient (0.25, -4, -4), so
// 0.0625 * 0.16 + 16 * 0.01 + 16 * 0.04 + 2 * 16 * 0.0059375 = 1.
TEST(SeasonalModel, SummaryOfMleAndBoxJenkins) {
  const std::string header = Pad("Coefficients", 20) + Pad("Value", 20) + Pad("Standard Error", 20) + " \n\n";
  sarima_object *obj = sarima_init(0, 1, 1, 12, 0, 1, 1, 144);
  obj->theta[0] = 0.4;
  obj->THETA[0] = -0.25;
  obj->vcov[0] = 0.01;
  obj->vcov[3] = 0.0625;
  obj->var = 0.5;
  obj->loglik = 244.5;
  obj->aic = -483;
  obj->retval = 1;
  EXPECT_EQ(tsf_test::CaptureStdout([&] { sarima_summary(obj); }),
            "\n\n Exit Status \nReturn Code : 1 \nExit Message : Probable Success\n\n"
            "  ARIMA Seasonal Order : ( 0, 1, 1) * (0, 1, 1) \n\n" +
                header + "MA" + Pad("1", 15) + Pad("0.4", 20) + Pad("0.1", 20) + " \n" + "SMA" + Pad("1", 14) +
                Pad("-0.25", 20) + Pad("0.25", 20) + " \n\n" + Pad("MEAN", 17) + Pad("0", 20) + " \n\n" +
                Pad("SIGMA^2", 17) + Pad("0.5", 20) + " \n\n" +
                "ESTIMATION METHOD : MLE\n\nOPTIMIZATION METHOD : BFGS More-Thuente Line Search\n\n"
                "Log Likelihood : 244.5 \n\nAIC criterion : -483 \n\n");
  sarima_free(obj);

  obj = sarima_init(1, 0, 0, 4, 1, 0, 1, 60);
  sarima_setMethod(obj, 2);
  obj->phi[0] = 0.5;
  obj->PHI[0] = 0.5;
  obj->THETA[0] = 0.3;
  obj->mean = 2.0;
  obj->var = 1.5;
  const double diag[4] = {0.16, 0.01, 0.04, 0.09};
  for (int i = 0; i < 4; ++i) obj->vcov[i * 4 + i] = diag[i];
  obj->vcov[1 * 4 + 2] = obj->vcov[2 * 4 + 1] = 0.0059375;
  EXPECT_EQ(tsf_test::CaptureStdout([&] { sarima_summary(obj); }),
            "\n\n  ARIMA Seasonal Order : ( 1, 0, 0) * (1, 0, 1) \n\n" + header + "AR" + Pad("1", 15) +
                Pad("0.5", 20) + Pad("0.1", 20) + " \n" + "SAR" + Pad("1", 14) + Pad("0.5", 20) + Pad("0.2", 20) +
                " \n" + "SMA" + Pad("1", 14) + Pad("0.3", 20) + Pad("0.3", 20) + " \n\n" + Pad("MEAN", 17) +
                Pad("2", 20) + Pad("1", 20) + " \n\n" + Pad("SIGMA^2", 17) + Pad("1.5", 20) + " \n\n" +
                "ESTIMATION METHOD : BOX-JENKINS\n\nOPTIMIZATION METHOD : Newton-Raphson\n\n"
                "Log Likelihood : Unavailable \n\nAIC Criterion : Unavailable \n\n");
  sarima_free(obj);
}

// A series no longer than d + s D leaves nothing to estimate: an input error with NaN
// criteria, and no forecast.
TEST(SeasonalModel, SeriesNoLongerThanTheDifferencingIsAnInputError) {
  const std::vector<double> x = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  for (int D : {1, 2}) {
    sarima_object *obj = sarima_init(0, 1, 1, 12, 0, D, 1, 13);
    EXPECT_LE(obj->Nused, 0);
    for (int method = 0; method < 3; ++method) {
      sarima_setMethod(obj, method);
      obj->retval = 1;
      sarima_exec(obj, x.data());
      EXPECT_EQ(obj->retval, 0);
      EXPECT_TRUE(std::isnan(obj->loglik) && std::isnan(obj->aic));
    }
    std::vector<double> f(3, -1.0), mse(3, -1.0);
    sarima_predict(obj, x.data(), 3, f.data(), mse.data());
    EXPECT_EQ(f, std::vector<double>(3, -1.0));
    EXPECT_EQ(mse, std::vector<double>(3, -1.0));
    sarima_free(obj);
  }
}

// Period 0 ignores P, D and Q: every method gives the non-seasonal fit bit for bit.
TEST(SeasonalModel, PeriodZeroIsTheNonSeasonalModel) {
  const std::vector<double> x = tsf_test::LoadSeries("nile.csv");
  const int N = static_cast<int>(x.size());
  for (int method = 0; method < 3; ++method) {
    SCOPED_TRACE(method);
    arima_object *plain = arima_init(1, 0, 1, N);
    sarima_object *seas = sarima_init(1, 0, 1, 0, 1, 1, 1, N);
    arima_setMethod(plain, method);
    sarima_setMethod(seas, method);
    std::string out_plain = tsf_test::CaptureStdout([&] { arima_exec(plain, x.data()); });
    std::string out_seas = tsf_test::CaptureStdout([&] { sarima_exec(seas, x.data()); });
    EXPECT_EQ(out_seas, out_plain);
    EXPECT_EQ(seas->retval, plain->retval);
    EXPECT_EQ(seas->phi[0], plain->phi[0]);
    EXPECT_EQ(seas->theta[0], plain->theta[0]);
    EXPECT_EQ(seas->mean, plain->mean);
    EXPECT_EQ(seas->var, plain->var);
    ASSERT_EQ(seas->lvcov, plain->lvcov);
    for (int k = 0; k < plain->lvcov; ++k) EXPECT_EQ(seas->vcov[k], plain->vcov[k]);
    if (method < 2) {
      EXPECT_EQ(seas->loglik, plain->loglik);
    }
    if (method == 0) {
      EXPECT_EQ(seas->aic, plain->aic);
    }
    std::vector<double> f1(4), m1(4), f2(4), m2(4);
    arima_predict(plain, x.data(), 4, f1.data(), m1.data());
    sarima_predict(seas, x.data(), 4, f2.data(), m2.data());
    EXPECT_EQ(f2, f1);
    EXPECT_EQ(m2, m1);
    arima_free(plain);
    sarima_free(seas);
  }
}

// Regression: the seasonal driver lacked the non-seasonal driver's input rules, so a NaN
// or infinity in the series reached the estimators, and Nelder-Mead on a constant series
// (variance 0, objective infinite) ended with code 1.
TEST(SarimaModel, NonFiniteSeriesIsAnInputErrorForEveryEstimator) {
  std::vector<double> base(60);
  for (std::size_t t = 0; t < base.size(); ++t) base[t] = 10.0 + std::sin(1.3 * t) + std::cos(0.5 * t);
  for (double bad : {NAN, INFINITY, -INFINITY})
    for (int method = 0; method <= 2; ++method) {
      std::vector<double> x = base;
      x[7] = bad;
      sarima_object *obj = sarima_init(1, 0, 0, 4, 1, 0, 0, static_cast<int>(x.size()));
      sarima_setMethod(obj, method);
      obj->retval = 1;
      std::string out = tsf_test::CaptureStdout([&] { sarima_exec(obj, x.data()); });
      EXPECT_EQ(obj->retval, 0) << bad << " method " << method;
      EXPECT_TRUE(std::isnan(obj->loglik));
      EXPECT_TRUE(std::isnan(obj->aic));
      sarima_free(obj);
    }
}

TEST(SarimaModel, NonFiniteObjectiveNeverEndsWithSuccess) {
  const std::vector<double> x(60, 5.0);
  for (int method = 0; method <= 1; ++method)
    for (int opt : {0, 7}) {
      sarima_object *obj = sarima_init(1, 0, 1, 4, 1, 0, 0, static_cast<int>(x.size()));
      sarima_setMethod(obj, method);
      sarima_setOptMethod(obj, opt);
      std::string out = tsf_test::CaptureStdout([&] { sarima_exec(obj, x.data()); });
      if (obj->retval == 1) {
        EXPECT_TRUE(std::isfinite(obj->loglik)) << "method " << method << " opt " << opt;
        EXPECT_TRUE(std::isfinite(obj->var));
      }
      if (opt == 0) {
        EXPECT_EQ(obj->retval, 15) << "method " << method;
      }
      sarima_free(obj);
    }
}
