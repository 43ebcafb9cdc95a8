// Autoregressive models: Yule-Walker and Burg against R, the AIC order selection, the
// exact-likelihood model against R's ar.mle and arima, its forecasts and summary, and the
// refusals of orders a series cannot support.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/simulated_series.h"
#include "support/test_util.h"

namespace {

std::string Pad(const std::string &s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

}  // namespace

TEST(Ar, EstimatorsMatchRAtAnyLevel) {
  // Method 0, R 4.2: ar.yw(x, aic = FALSE, order.max = p)$ar, and $var.pred * (N - p - 1) / N
  // (R scales the Levinson-Durbin variance by N / (N - p - 1)). Method 1, R 4.2 with
  // xc = x - mean(x): ar.burg(xc[1:(N-1)], aic = FALSE, order.max = p, demean = FALSE,
  // var.method = 2): $ar and $var.pred (the mean square of the forward and backward errors).
  struct Case {
    const char *file;
    int method, p;
    std::vector<double> phi;
    double var;
  };
  const Case cases[] = {
      {"lh.csv", 0, 1, {0.57552447552447561}, 0.1992381993006993},
      {"lh.csv", 0, 4, {0.67672395489269921, -0.05708262601897432, -0.29408923170252238, 0.10276837700622231},
       0.17764860232861987},
      {"nile.csv", 0, 2, {0.40811107229533422, 0.18117100543757156}, 20609.31909914182},
      {"nile.csv", 0, 3, {0.38801975255241639, 0.13591271466247273, 0.1108969931164895}, 20355.862744032234},
      {"lakehuron.csv", 0, 4,
       {1.0842506580978943, -0.3907660269634447, 0.093676099107474903, 0.034057046435613185}, 0.48302069193572117},
      {"lh.csv", 1, 2, {0.70649704247683953, -0.23570163671548078}, 0.19141427898258959},
      {"lh.csv", 1, 4, {0.6747740011351202, -0.08483974723399805, -0.2555498158713535, 0.079550928229214724},
       0.1777595956328982},
      {"nile.csv", 1, 3, {0.37673259227208467, 0.14583316757325304, 0.12375465467405479}, 20216.245042610761},
      {"lakehuron.csv", 1, 1, {0.83808737699824842}, 0.51562276007220254},
      {"lakehuron.csv", 1, 4,
       {1.0625682054365022, -0.33639293192201813, 0.039241608658171362, 0.067751788710028141}, 0.46184575941045597},
  };
  // Burg used to fit the raw values, and finds a unit root on a series far from zero: the
  // fits must not move when the level does.
  for (const Case &c : cases)
    for (double level : {0.0, 1000.0}) {
      std::vector<double> x = tsf_test::LoadSeries(c.file), phi(c.p);
      for (double &v : x) v += level;
      double var = 0.0;
      ar(x.data(), static_cast<int>(x.size()), c.p, c.method, phi.data(), &var);
      SCOPED_TRACE(std::string(c.file) + " method " + std::to_string(c.method) + " p " + std::to_string(c.p) +
                   " level " + std::to_string(level));
      const double tol = level == 0.0 ? 1e-12 : 1e-9;
      for (int i = 0; i < c.p; ++i) EXPECT_NEAR(phi[i], c.phi[i], tol);
      EXPECT_REL_NEAR(var, c.var, tol);
    }
  std::vector<double> x = tsf_test::LoadSeries("lh.csv");
  for (double &v : x) v += 1000.0;
  ar_object *obj = ar_init(1, static_cast<int>(x.size()));
  tsf_test::CaptureStdout([&] { ar_exec(obj, x.data()); });
  EXPECT_NEAR(obj->mean, 1002.4, 1e-9);
  EXPECT_LT(std::fabs(obj->phi[0]), 0.9);
  ar_free(obj);
}

TEST(Ar, OrderSelectionAndExactLikelihoodModelMatchR) {
  // Methods 0 and 1 select the orders that minimise ln v_i + 2 i / N over i = 1..pmax, with
  // v_i from R 4.2: ar.yw(...)$var.pred * (N - i - 1) / N and the ar.burg variance above.
  // Method 2, R 4.2: p minimises ln v_i + 2 i / N with v_i = arima(x - mean(x), order =
  // c(i, 0, 0), method = "ML")$sigma2, i = 1..12 (ar.mle(x, order.max = 12) selects it too);
  // ar.mle(x, aic = FALSE, order.max = p) gives $ar and $var.pred (to the tolerance of its
  // optimiser), and arima(x, order = c(p, 0, 0), method = "ML") the mean and the AIC.
  struct Case {
    const char *file;
    int order[3];
    std::vector<double> phi;
    double var, mean, aic;
  };
  const Case cases[] = {
      {"lh.csv", {3, 38, 3}, {0.6448017084, -0.06338264777, -0.219797559}, 0.1786603087, 2.393118778, 64.1848221195},
      {"nile.csv", {2, 11, 2}, {0.409663756, 0.1986701012}, 20290.64931, 919.7614053, 1283.9625506838},
      {"lakehuron.csv", {2, 2, 2}, {1.043660945, -0.2495738487}, 0.4788209654, 579.0472638, 215.2664450769},
  };
  for (const Case &c : cases) {
    const std::vector<double> x = tsf_test::LoadSeries(c.file);
    SCOPED_TRACE(c.file);
    for (int method = 0; method < 2; ++method) {
      int order = -1;
      const std::string out =
          tsf_test::CaptureStdout([&] { order = ar_estimate(x.data(), static_cast<int>(x.size()), method); });
      EXPECT_EQ(order, c.order[method]) << "method " << method;
      const std::string tail = "\n\nAIC Estimate : p = " + std::to_string(order) + " \n";
      EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    }
    ar_object *obj = ar_init(2, static_cast<int>(x.size()));
    EXPECT_EQ(obj->pmax, 12);
    tsf_test::CaptureStdout([&] { ar_exec(obj, x.data()); });
    ASSERT_EQ(obj->order, c.order[2]);
    EXPECT_EQ(obj->retval, 1);
    for (int i = 0; i < c.order[2]; ++i) EXPECT_NEAR(obj->phi[i], c.phi[i], 1e-4);
    EXPECT_REL_NEAR(obj->var, c.var, 1e-5);
    EXPECT_REL_NEAR(obj->mean, c.mean, 2e-4);
    // ln 2 pi to full precision: the seven-digit constant would move the AIC by 8.4e-7 N.
    EXPECT_NEAR(obj->aic, c.aic, 1e-5);
    ar_free(obj);
  }
}

TEST(Ar, PredictMatchesRAndForecastsTheMeanAtOrderZero) {
  // R 4.2: predict(arima(lh, order = c(2, 0, 0), fixed = c(0.6, -0.2, 2.4),
  // transform.pars = FALSE), n.ahead = 5): $pred and $se^2.
  const double pred[5] = {2.58, 2.408, 2.3688, 2.37968, 2.394048};
  const double mse[5] = {0.1909666666666667, 0.2597146666666667, 0.26460341333333331, 0.26471341013333333,
                         0.26512455372800003};
  const std::vector<double> x = tsf_test::LoadSeries("lh.csv");
  const int N = static_cast<int>(x.size());
  ar_object *obj = ar_init(0, N);
  obj->p = 2;
  obj->phi[0] = 0.6;
  obj->phi[1] = -0.2;
  obj->mean = 2.4;
  std::vector<double> y(5), m(5);
  ar_predict(obj, x.data(), 5, y.data(), m.data());
  for (int h = 0; h < 5; ++h) {
    EXPECT_REL_NEAR(y[h], pred[h], 1e-12);
    EXPECT_REL_NEAR(m[h], mse[h], 1e-10);
  }
  // Order 0 (nothing selected): the mean, with the sample variance as mean square error.
  obj->p = 0;
  double ss = 0.0;
  for (double v : x) ss += (v - 2.4) * (v - 2.4);
  ar_predict(obj, x.data(), 5, y.data(), m.data());
  for (int h = 0; h < 5; ++h) {
    EXPECT_REL_NEAR(y[h], 2.4, 1e-14);
    EXPECT_REL_NEAR(m[h], ss / N, 1e-12);
  }
  y.assign(5, -1.0);
  ar_predict(obj, x.data(), 0, y.data(), m.data());
  EXPECT_EQ(y[0], -1.0);
  ar_free(obj);
}

TEST(Ar, SummaryText) {
  ar_object *obj = ar_init(1, 48);
  obj->p = 2;
  obj->phi[0] = 0.5;
  obj->phi[1] = -0.25;
  obj->mean = 10.0;
  obj->var = 2.5;
  const std::string expected = "\n\n AR Order : ( 2) \n\n" + Pad("Coefficients", 20) + Pad("Value", 20) + " \n\n" + "AR" +
                               Pad("1", 15) + Pad("0.5", 20) + " \nAR" + Pad("2", 15) + Pad("-0.25", 20) + " \n\n" +
                               Pad("MEAN", 17) + Pad("10", 20) + " \n\n" + Pad("SIGMA^2", 17) + Pad("2.5", 20) +
                               " \n\nESTIMATION METHOD : Burg\n\n";
  EXPECT_EQ(tsf_test::CaptureStdout([&] { ar_summary(obj); }), expected);
  ar_free(obj);
}

TEST(Ar, UnknownMethodSelectsOrderZero) {
  const std::vector<double> x = {1.0, 3.0, 2.0, 5.0, 4.0};
  const std::string notice =
      "\n The code only accepts numerical values 0,1 and 2 \n\n Method 0 : Yule-Walker \n\n Method 1 : Burg \n"
      "\n Method 2 : MLE \n";
  int order = -1;
  std::string out = tsf_test::CaptureStdout([&] { order = ar_estimate(x.data(), 5, 7); });
  EXPECT_EQ(order, 0);
  // pmax = min(N - 1, floor(10 ln 5)) = 4 candidates, each announced.
  EXPECT_EQ(out, notice + notice + notice + notice + "\n\nAIC Estimate : p = 0 \n");
  ar_object *obj = ar_init(7, 5);
  tsf_test::CaptureStdout([&] { ar_exec(obj, x.data()); });
  EXPECT_EQ(obj->order, 0);
  EXPECT_EQ(obj->var, 1.0);
  ar_free(obj);

  double phi = -3.0, var = -3.0;
  out = tsf_test::CaptureStdout([&] { ar(x.data(), 5, 1, 3, &phi, &var); });
  EXPECT_EQ(out, "The program only accepts 0,1 and 2 as input values for method");
  EXPECT_EQ(phi, -3.0);
  EXPECT_EQ(var, -3.0);
}

TEST(Ar, OrdersAtTheSeriesLengthAndConstantSeriesNoLongerFault) {
  // Burg fits the first N - 1 values, so its order stays below N - 1; for N <= 36 the
  // order limit min(N - 1, floor(10 ln N)) would otherwise be N - 1.
  for (int method = 0; method < 3; ++method) {
    ar_object *obj = ar_init(method, 100);
    EXPECT_EQ(obj->pmax, method == 2 ? 12 : 46);
    ar_free(obj);
  }
  for (int N : {3, 12, 30}) {
    const std::vector<double> x = tsf_test::SimulateAr1(0.5, N, 5);
    ar_object *obj = ar_init(1, N);
    EXPECT_EQ(obj->pmax, N - 2);
    tsf_test::CaptureStdout([&] { ar_exec(obj, x.data()); });
    EXPECT_LE(obj->order, N - 2);
    EXPECT_TRUE(std::isfinite(obj->var));
    ar_free(obj);
  }
  // Orders the series cannot support write nothing.
  const std::vector<double> x = tsf_test::SimulateAr1(0.5, 10, 3);
  struct Call {
    const char *name;
    void (*fit)(const double *, int, double *, double *);
  };
  const Call calls[] = {
      {"ywalg2 p = N", [](const double *s, int n, double *ph, double *v) { ywalg2(s, n, n, ph, v); }},
      {"ywalg2 p < 0", [](const double *s, int n, double *ph, double *v) { ywalg2(s, n, -1, ph, v); }},
      {"burgalg p = n", [](const double *s, int n, double *ph, double *v) { burgalg(s, n - 1, n - 1, ph, v); }},
      {"burg p = N - 1", [](const double *s, int n, double *ph, double *v) { burg(s, n, n - 1, ph, v); }},
      {"ar MLE p = N", [](const double *s, int n, double *ph, double *v) { ar(s, n, n, 2, ph, v); }},
  };
  for (const Call &c : calls) {
    std::vector<double> phi(12, -3.0);
    double var = -3.0;
    c.fit(x.data(), 10, phi.data(), &var);
    EXPECT_EQ(var, -3.0) << c.name;
    EXPECT_EQ(phi, std::vector<double>(12, -3.0)) << c.name;
  }
  // Order 0 is a fit of the variance alone; the largest orders work.
  double var = 0.0;
  std::vector<double> phi(9);
  ywalg2(x.data(), 10, 0, phi.data(), &var);
  EXPECT_GT(var, 0.0);
  burgalg(x.data(), 10, 9, phi.data(), &var);
  EXPECT_TRUE(std::isfinite(var));
  // Burg on a constant series used to divide by zero: every prediction error is zero, so
  // nothing to reflect, coefficients and variance 0.
  const std::vector<double> flat(20, 4.0);
  phi.assign(3, -3.0);
  ar(flat.data(), 20, 3, 1, phi.data(), &var);
  EXPECT_EQ(phi, std::vector<double>(3, 0.0));
  EXPECT_EQ(var, 0.0);
}

TEST(ArDeathTest, ArgumentErrorsEndTheProcess) {
  const auto to_stderr = [] {
    std::fflush(stdout);
    dup2(2, 1);
  };
  const char *negative = "\n Input Values cannot be Negative\\. Program Exiting\\. ";
  EXPECT_EXIT({ to_stderr(); ar_init(0, 0); }, ::testing::ExitedWithCode(255), negative);
  EXPECT_EXIT({ to_stderr(); ar_init(2, -4); }, ::testing::ExitedWithCode(255), negative);
  std::vector<double> x(300, 1.0), phi(101), theta(1), res(300), vcov(102 * 102);
  double m, v, l;
  EXPECT_EXIT(
      {
        to_stderr();
        as197(x.data(), 300, 7, 101, 0, 0, phi.data(), theta.data(), &m, &v, res.data(), &l, vcov.data());
      },
      ::testing::ExitedWithCode(1),
      "\n p and q should be less than 100\\. \nUse sarima_init if either p > 100 or q > 100 ");
}
