// The seasonal model: the object's argument checks and printed summaries, input errors,
// period 0 as the non-seasonal model; sarima_predict against R's predict() and the
// operators handed to forkal; the exact likelihood and the conditional sum of squares
// against R at fixed parameters and at R's optima, and their edge cases; the Box-Jenkins
// route (moment estimates and residuals against their non-seasonal counterparts, nlalsms
// fits checked through avalues and against the ML fit).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/reference_fits.h"
#include "core/arima/seasonal_internal.h"
#include "support/test_util.h"

namespace {

// log(AirPassengers), and its differences at lag 12.
std::vector<double> LogAirPassengers() {
  std::vector<double> x = tsf_test::LoadSeries("airpassengers.csv");
  for (double &v : x) v = std::log(v);
  return x;
}

std::vector<double> SeasonalDifferenceOfLogAirPassengers() {
  std::vector<double> x = LogAirPassengers(), y;
  for (std::size_t t = 12; t < x.size(); ++t) y.push_back(x[t] - x[t - 12]);
  return y;
}

double LogLik(double objective, int n) { return -0.5 * n * (2.0 * objective + 1.0 + tsf_test::Log2Pi()); }

struct Orders {
  int p, d, q, P, D, Q;
};

std::string Pad(const std::string &s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

// A row of the summary's table; a likelihood fit prints no standard error for the mean.
std::string Row(const std::string &label, const std::string &value, const std::string &se = "") {
  return Pad(label, 17) + Pad(value, 20) + (se.empty() ? "" : Pad(se, 20)) + " \n";
}

// Every estimator finds x an input error (code 0, NaN criteria), and nothing is forecast.
void ExpectInputError(sarima_object *obj, const std::vector<double> &x) {
  for (int method = 0; method <= 2; ++method) {
    sarima_setMethod(obj, method);
    obj->retval = 1;
    obj->loglik = obj->aic = 0.0;
    tsf_test::CaptureStdout([&] { sarima_exec(obj, x.data()); });
    EXPECT_TRUE(obj->retval == 0 && std::isnan(obj->loglik) && std::isnan(obj->aic)) << "method " << method;
  }
  std::vector<double> out(8, -1.0);
  sarima_predict(obj, x.data(), 4, out.data(), out.data() + 4);
  EXPECT_EQ(out, std::vector<double>(8, -1.0));
  sarima_free(obj);
}

struct Fitted {
  int retval;
  double loglik, aic, var;
};

// x fitted by the non-seasonal driver (m = p, d, q, -1) or the seasonal one (m = p, d, q,
// s, P), with the given estimator and optimiser.
Fitted Fit(const std::vector<double> &x, const int (&m)[5], int method, int opt) {
  const int N = static_cast<int>(x.size());
  Fitted f{};
  tsf_test::CaptureStdout([&] {
    if (m[3] < 0) {
      arima_object *obj = arima_init(m[0], m[1], m[2], N);
      arima_setMethod(obj, method);
      arima_setOptMethod(obj, opt);
      obj->retval = 1;
      arima_exec(obj, x.data());
      f = {obj->retval, obj->loglik, obj->aic, obj->var};
      arima_free(obj);
    } else {
      sarima_object *obj = sarima_init(m[0], m[1], m[2], m[3], m[4], 0, 0, N);
      sarima_setMethod(obj, method);
      sarima_setOptMethod(obj, opt);
      obj->retval = 1;
      sarima_exec(obj, x.data());
      f = {obj->retval, obj->loglik, obj->aic, obj->var};
      sarima_free(obj);
    }
  });
  return f;
}

}  // namespace

TEST(SeasonalModelDeathTest, NegativeArgumentsEndTheProcess) {
  const char *msg = "\n Input Values cannot be Negative\\. Program Exiting\\. ";
  // The last one through the exact likelihood's own constructor.
  const int args[5][8] = {{-1, 0, 0, 12, 0, 0, 0, 50}, {0, 0, 0, -12, 1, 0, 0, 50}, {0, 1, 1, 12, 0, 1, -1, 50},
                          {0, 0, 0, 4, 0, 0, 0, 0},    {1, 0, 0, -1, 0, 0, 0, 20}};
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
                header + Row("MA1", "0.4", "0.1") + Row("SMA1", "-0.25", "0.25") + "\n" + Row("MEAN", "0") + "\n" +
                Row("SIGMA^2", "0.5") + "\n" +
                "ESTIMATION METHOD : MLE\n\nOPTIMIZATION METHOD : BFGS More-Thuente Line Search\n\n"
                "Log Likelihood : 244.5 \n\nAIC criterion : -483 \n\n");
  sarima_free(obj);

  obj = sarima_init(1, 0, 0, 4, 1, 0, 1, 60);
  sarima_setMethod(obj, 2);
  obj->phi[0] = obj->PHI[0] = 0.5;
  obj->THETA[0] = 0.3;
  obj->mean = 2.0;
  obj->var = 1.5;
  const double diag[4] = {0.16, 0.01, 0.04, 0.09};
  for (int i = 0; i < 4; ++i) obj->vcov[i * 4 + i] = diag[i];
  obj->vcov[1 * 4 + 2] = obj->vcov[2 * 4 + 1] = 0.0059375;
  EXPECT_EQ(tsf_test::CaptureStdout([&] { sarima_summary(obj); }),
            "\n\n  ARIMA Seasonal Order : ( 1, 0, 0) * (1, 0, 1) \n\n" + header + Row("AR1", "0.5", "0.1") +
                Row("SAR1", "0.5", "0.2") + Row("SMA1", "0.3", "0.3") + "\n" + Row("MEAN", "2", "1") + "\n" +
                Row("SIGMA^2", "1.5") + "\n" +
                "ESTIMATION METHOD : BOX-JENKINS\n\nOPTIMIZATION METHOD : Newton-Raphson\n\n"
                "Log Likelihood : Unavailable \n\nAIC Criterion : Unavailable \n\n");
  sarima_free(obj);
}

// A series no longer than d + s D leaves nothing to estimate.
TEST(SeasonalModel, SeriesNoLongerThanTheDifferencingIsAnInputError) {
  const std::vector<double> x = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  for (int D : {1, 2}) {
    SCOPED_TRACE(D);
    sarima_object *obj = sarima_init(0, 1, 1, 12, 0, D, 1, 13);
    EXPECT_LE(obj->Nused, 0);
    ExpectInputError(obj, x);
  }
}

// Period 0 ignores P, D and Q (stored as 0): every method gives the non-seasonal fit bit
// for bit, printed messages and forecasts included.
TEST(SeasonalModel, PeriodZeroIsTheNonSeasonalModel) {
  const std::vector<double> x = tsf_test::LoadSeries("nile.csv");
  const int N = static_cast<int>(x.size());
  for (int method = 0; method < 3; ++method) {
    SCOPED_TRACE(method);
    arima_object *plain = arima_init(1, 0, 1, N);
    sarima_object *seas = sarima_init(1, 0, 1, 0, 1, 1, 1, N);
    EXPECT_EQ(seas->P + seas->D + seas->Q, 0);
    arima_setMethod(plain, method);
    sarima_setMethod(seas, method);
    EXPECT_EQ(tsf_test::CaptureStdout([&] { sarima_exec(seas, x.data()); }),
              tsf_test::CaptureStdout([&] { arima_exec(plain, x.data()); }));
    // Code, estimates, vcov and forecasts; Box-Jenkins reports no likelihood, and only ML an AIC.
    auto report = [&](auto *obj, auto predict) {
      std::vector<double> v = {double(obj->retval), obj->phi[0], obj->theta[0], obj->mean, obj->var,
                               method < 2 ? obj->loglik : 0.0, method == 0 ? obj->aic : 0.0};
      v.insert(v.end(), obj->vcov, obj->vcov + obj->lvcov);
      v.resize(v.size() + 8);
      predict(obj, x.data(), 4, &v[v.size() - 8], &v[v.size() - 4]);
      return v;
    };
    EXPECT_EQ(report(seas, sarima_predict), report(plain, arima_predict));
    arima_free(plain);
    sarima_free(seas);
  }
}

// Both drivers: ARIMA(0, 1, 0) (a shortcut of its own), ARIMA(1, 1, 1), SARIMA(1, 0, 0)(1, 0, 0)4.
// Regression: a NaN or an infinity in the series went through Nelder-Mead and the
// shortcut as a fit with code 1 and NaN estimates, and the seasonal driver lacked the
// check altogether.
TEST(SarimaModel, NonFiniteSeriesIsAnInputErrorForEveryEstimator) {
  std::vector<double> base(60);
  for (std::size_t t = 0; t < base.size(); ++t) base[t] = 10.0 + std::sin(1.3 * t) + std::cos(0.5 * t);
  const int models[3][5] = {{0, 1, 0, -1, 0}, {1, 1, 1, -1, 0}, {1, 0, 0, 4, 1}};
  for (double bad : {NAN, INFINITY, -INFINITY})
    for (const auto &m : models)
      for (int method = 0; method <= 2; ++method) {
        std::vector<double> x = base;
        x[7] = bad;
        const Fitted f = Fit(x, m, method, 0);
        EXPECT_TRUE(f.retval == 0 && std::isnan(f.loglik) && std::isnan(f.aic))
            << bad << " model " << m[0] << m[1] << m[2] << m[3] << " method " << method;
      }
}

// Regression: on a constant series the variance is 0 and the objective infinite, yet
// Nelder-Mead ended with code 1. Whatever the optimiser, code 1 now means a finite
// objective and finite estimates.
TEST(SarimaModel, NonFiniteObjectiveNeverEndsWithSuccess) {
  const std::vector<double> x(60, 5.0);
  const int models[4][5] = {{1, 1, 1, -1, 0}, {1, 0, 1, -1, 0}, {0, 0, 0, -1, 0}, {1, 0, 1, 4, 1}};
  for (const auto &m : models)
    for (int method = 0; method <= 1; ++method)
      for (int opt = 0; opt <= 7; ++opt) {
        const Fitted f = Fit(x, m, method, opt);
        SCOPED_TRACE(::testing::Message() << m[0] << m[1] << m[2] << " s " << m[3] << " method " << method << " opt "
                                          << opt);
        if (f.retval == 1) { EXPECT_TRUE(std::isfinite(f.loglik) && std::isfinite(f.var)); }
        if (opt == 0 && m[0] == 1) { EXPECT_EQ(f.retval, 15); }
      }
}

// fit <- arima(x, order, seasonal = list(order, period = 12), method = "ML");
// p <- predict(fit, h); pred = p$pred, mse = p$se^2 (R 4.2). R starts the differenced
// states from a large finite variance, which moves its innovation variance (and every mse
// with it) by up to 5e-5; the shape of the mse over the horizon agrees to rounding.
TEST(SeasonalForecast, MatchesRPredictAtRCoefficients) {
  const struct {
    std::string name;
    std::vector<double> x;
    int p, d, q, P, D, Q;
    std::vector<double> coef;  // R's coef(): ar, ma, sar, sma, intercept (R's MA signs are -theta)
    std::vector<double> pred, mse;
  } cases[] = {
      {"log AirPassengers (0,1,1)(0,1,1)12", LogAirPassengers(), 0, 1, 1, 0, 1, 1,
       {-0.40182678240844827, -0.55694663827651802},
       {6.1101857109526074, 6.0537752994215026, 6.1717150273040309, 6.1993004052916030, 6.2325559127853278,
        6.3687786626588201, 6.5072936886137116, 6.5029063583922291, 6.3246982575718480, 6.2090079780080343,
        6.0634874386133939, 6.1680249131048903},
       {0.0013480365862993901, 0.0018303786801856963, 0.0023127207740711274, 0.0027950628679555534,
        0.0032774049618388462, 0.0037597470557208727, 0.0042420891496015040, 0.0047244312434806092,
        0.0052067733373580595, 0.0056891154312337230, 0.0061714575251074696, 0.0066537996189818295}},
      {"log AirPassengers (1,1,0)(1,1,0)12", LogAirPassengers(), 1, 1, 0, 1, 1, 0,
       {-0.37446954532014870, -0.46375788296782694},
       {6.1134426979154997, 6.0556037531630214, 6.1720697323852702, 6.2117958508618765, 6.2517039440959259,
        6.3730295878254841},
       {0.0014566939102606574, 0.0020266812664711800, 0.0028808649491294004, 0.0036219161216967375,
        0.0044043910981032951, 0.0051712221849190467}},
      {"diff(log AirPassengers, 12) (1,0,0)(0,0,1)12", SeasonalDifferenceOfLogAirPassengers(), 1, 0, 0,
       0, 0, 1, {0.77901272916519149, -0.57702314193526383, 0.11953240169009713},
       {0.084153670059148616, 0.103183830277065597, 0.161607017760587945, 0.097551163918893680,
        0.111811457299031122, 0.127131506148537965},
       {0.0013690601640221007, 0.0021998870904010683, 0.0027040834052279167, 0.0030100603919819206,
        0.0031957458268660811, 0.0033084310214503182}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const int N = static_cast<int>(c.x.size()), L = static_cast<int>(c.pred.size());
    sarima_object *obj = sarima_init(c.p, c.d, c.q, 12, c.P, c.D, c.Q, N);
    std::size_t k = 0;
    for (int i = 0; i < c.p; ++i) obj->phi[i] = c.coef[k++];
    for (int i = 0; i < c.q; ++i) obj->theta[i] = -c.coef[k++];
    for (int i = 0; i < c.P; ++i) obj->PHI[i] = c.coef[k++];
    for (int i = 0; i < c.Q; ++i) obj->THETA[i] = -c.coef[k++];
    if (obj->M == 1) obj->mean = c.coef[k++];
    std::vector<double> f(L), mse(L);
    sarima_predict(obj, c.x.data(), L, f.data(), mse.data());
    const double ratio = mse[0] / c.mse[0];
    EXPECT_NEAR(ratio, 1.0, 1e-4);
    for (int h = 0; h < L; ++h) {
      EXPECT_REL_NEAR(f[h], c.pred[h], 5e-8) << "step " << h + 1;
      EXPECT_NEAR(mse[h] / c.mse[h], ratio, 1e-9) << "step " << h + 1;
    }
    sarima_free(obj);
  }
}

// The operators handed to forkal where the comparisons with R do not reach them: period 1,
// whose factors overlap, (1 + 0.5 B)(1 + 0.25 B) = 1 + 0.75 B + 0.125 B^2, and other
// differencing orders and periods ((1 - B)(1 - B^4) = 1 - B - B^4 + B^5).
TEST(SeasonalForecast, ExpandedPolynomialsAndDifferencing) {
  const double phi = 0.5, PHI = 0.25;
  std::vector<double> a(2);
  tsf_arima::expand_seasonal(&phi, 1, &PHI, 1, 1, 1.0, a.data());
  EXPECT_EQ(a, (std::vector<double>{0.75, 0.125}));
  EXPECT_EQ(tsf_arima::differencing_operator(1, 1, 4), (std::vector<double>{1, -1, 0, 0, -1, 1}));
  EXPECT_EQ(tsf_arima::differencing_operator(2, 0, 12), (std::vector<double>{1, -2, 1}));
}

// (0,1,0)(0,1,0)12 has no ARMA terms. The exact likelihood's filter then starts from
// a = 0, P = 1 (starma has no state to set up): the differences w are white noise, of
// variance sum w^2 / n. The model is forecast as an AR(1) with coefficient 0, so the
// forecasts extrapolate x[t] = x[t-1] + x[t-12] - x[t-13], and the mse grow with the psi
// weights of 1 / ((1 - B)(1 - B^12)), 1 for lags below 12 and 2 from lag 12 on.
TEST(SeasonalModel, NoArmaTermsIsWhiteNoiseOfTheDifferences) {
  std::vector<double> x = LogAirPassengers();
  const int N = static_cast<int>(x.size()), n = N - 13, L = 14;
  sarima_object *obj = sarima_init(0, 1, 0, 12, 0, 1, 0, N);
  sarima_exec(obj, x.data());
  ASSERT_EQ(obj->retval, 1);
  double ssq = 0.0;
  for (int t = 13; t < N; ++t) ssq += std::pow(x[t] - x[t - 1] - x[t - 12] + x[t - 13], 2);
  EXPECT_REL_NEAR(obj->var, ssq / n, 1e-12);
  EXPECT_REL_NEAR(obj->loglik, LogLik(0.5 * std::log(ssq / n), n), 1e-12);
  std::vector<double> f(L, -1.0), mse(L, -1.0), ext(x);
  sarima_predict(obj, x.data(), L, f.data(), mse.data());
  for (int h = 0; h < L; ++h) {
    const int t = N + h;
    ext.push_back(ext[t - 1] + ext[t - 12] - ext[t - 13]);
    EXPECT_REL_NEAR(f[h], ext[t], 1e-13) << h;
    const double psi2 = h < 12 ? h + 1 : 12 + 4 * (h - 11);
    EXPECT_REL_NEAR(mse[h], psi2 * obj->var, 1e-12) << h;
  }
  // A horizon below 1 writes nothing.
  std::vector<double> untouched(2, -1.0);
  sarima_predict(obj, x.data(), -3, untouched.data(), untouched.data() + 1);
  sarima_predict(obj, x.data(), 0, untouched.data(), untouched.data() + 1);
  EXPECT_EQ(untouched, (std::vector<double>{-1.0, -1.0}));
  sarima_free(obj);
}

// Regression: a seasonal MA term at period 366 gives the filter a state of 367, whose
// covariance regression overflowed its size and crashed the exact likelihood and the
// forecaster. Such a model is an input error and forecasts nothing.
TEST(SarimaForecast, StateBeyondTheLimitIsAnInputError) {
  std::vector<double> x(800);
  for (std::size_t t = 0; t < x.size(); ++t) x[t] = std::sin(0.01 * t) + 0.1 * std::cos(1.7 * t);
  ExpectInputError(sarima_init(0, 0, 1, 366, 0, 0, 1, static_cast<int>(x.size())), x);
}

// R: arima(w, order = c(p, 0, q), seasonal = list(order = c(P, 0, Q), period = 12),
// include.mean, fixed = b, transform.pars = FALSE, method = "ML" / "CSS") on the
// differenced series w; R's sigma2 is ssq / n for ML and ssq / (n - p - 12 P) for CSS.
// b is R's vector (its MA signs are -theta), which is the objectives' vector as well.
TEST(SeasonalLikelihood, ObjectivesMatchRAtFixedParameters) {
  const struct {
    std::string name;
    std::vector<double> x;
    Orders o;
    std::vector<double> b;
    double loglik[2], sigma2[2];  // ML, CSS
  } cases[] = {
      // w = diff(log(AirPassengers), lag = 12) with a mean.
      {"(1,0,1)(1,0,1)12 + mean", SeasonalDifferenceOfLogAirPassengers(), {1, 0, 1, 1, 0, 1},
       {0.3, -0.4, 0.2, -0.5, 0.1}, {155.32782203447928, 155.16313739756268},
       {0.0055047991190112959, 0.0055785092730695771}},
      // w = diff(diff(log(AirPassengers), lag = 12)), include.mean = FALSE.
      {"(2,1,0)(1,1,0)12", LogAirPassengers(), {2, 1, 0, 1, 1, 0}, {-0.3, 0.1, -0.4},
       {238.46432627293984, 240.90464754578619}, {0.001510104896726759, 0.0014798558172531967}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const int N = static_cast<int>(c.x.size());
    const Orders &o = c.o;
    for (int css = 0; css <= 1; ++css) {
      alik_seas_object *obj = css ? alik_css_seas_init(o.p, o.d, o.q, 12, o.P, o.D, o.Q, N)
                                  : alik_seas_init(o.p, o.d, o.q, 12, o.P, o.D, o.Q, N);
      const int n = tsf_arima::load_seasonal_series(obj, c.x.data(), N);
      std::vector<double> b = c.b;
      const double l = css ? fcss_seas(b.data(), obj->fit.pq, obj) : fas154_seas(b.data(), obj->fit.pq, obj);
      EXPECT_REL_NEAR(LogLik(l, n), c.loglik[css], 1e-12);
      EXPECT_REL_NEAR(obj->fit.ssq / (css ? n - obj->pe : n), c.sigma2[css], 1e-12);
      if (css) free_alik_css_seas(obj); else free_alik_seas(obj);
    }
  }
}

// The conditional fit of this model (an ARMA(1, 1) with a mean on the raw counts) meets
// an overflowing objective; the exact fit then starts from zero coefficients and the mean
// and reaches R's likelihood (arima(AirPassengers, c(1, 0, 1), method = "ML"): -700.874147).
TEST(SeasonalLikelihood, OverflowedConditionalFitIsNoStartingPoint) {
  std::vector<double> x = tsf_test::LoadSeries("airpassengers.csv");
  sarima_object *obj = sarima_init(1, 0, 1, 12, 0, 0, 0, static_cast<int>(x.size()));
  const std::string out = tsf_test::CaptureStdout([&] { sarima_exec(obj, x.data()); });
  EXPECT_EQ(out.rfind("Program Exiting as the function value exceeds the maximum double value", 0), 0u);
  EXPECT_EQ(obj->retval, 1);
  EXPECT_GT(obj->loglik, -700.874147 - 1e-3);
  sarima_free(obj);
}

// sarima_exec against R's fits of the same models on the differenced series
// (arima(w, order, seasonal = list(order, period = 12), include.mean, method); R's MA
// signs are -theta): the log-likelihood at least R's and no further from it than the
// optimisers' tolerances (a wrong ln 2 pi would move it by 5e-5), coefficients to 1% of
// a standard error where both reach the same optimum, and standard errors once R's factor
// n is put for ours, n - d - 12 D.
TEST(SeasonalLikelihood, FitsReachROptimum) {
  const std::vector<double> ap = LogAirPassengers(), co2 = tsf_test::LoadSeries("co2.csv"),
                            sd = SeasonalDifferenceOfLogAirPassengers();
  const struct {
    std::string name;
    const std::vector<double> &x;
    Orders o;
    int method;
    std::vector<double> coef, se;  // R's order: ar, ma, sar, sma, intercept
    double loglik;
  } cases[] = {
      {"log AirPassengers airline ML", ap, {0, 1, 1, 0, 1, 1}, 0, {-0.40182276587066246, -0.55693620794964405},
       {0.08964441680, 0.07310499111}, 244.69648683284237},
      {"co2 airline ML", co2, {0, 1, 1, 0, 1, 1}, 0, {-0.35007090029766413, -0.85061460307649905},
       {0.04963285461, 0.02564747367}, -86.075650792421754},
      {"log AirPassengers (1,1,0)(1,1,0) ML", ap, {1, 1, 0, 1, 1, 0}, 0, {-0.37446435948441270, -0.46372094559710941},
       {0.08084950084, 0.08083199598}, 240.40640947283504},
      {"seasonal differences (1,0,0)(0,0,1) + mean ML", sd, {1, 0, 0, 0, 0, 1}, 0,
       {0.77901272916519149, -0.57702314193526383, 0.11953240169009713},
       {0.055057712259278219, 0.083212396299805341, 0.0068765943973773669}, 245.01299152768493},
      {"log AirPassengers (1,1,1)(1,1,1) ML", ap, {1, 1, 1, 1, 1, 1}, 0,
       {0.16773752544337367, -0.56249013495677525, -0.099425212944974722, -0.49695228289659044},
       {0.2453740649, 0.2108088689, 0.1540060271, 0.1361055141}, 245.15188837421778},
      {"log AirPassengers airline CSS", ap, {0, 1, 1, 0, 1, 1}, 1, {-0.37716243911813019, -0.57237906266862126},
       {0.08829239573, 0.07038001471}, 245.06656143762734},
      {"co2 airline CSS", co2, {0, 1, 1, 0, 1, 1}, 1, {-0.36429872384018919, -0.79271679346190027},
       {0.04808549923, 0.02690889429}, -94.943500867474597},
      {"log AirPassengers (1,1,0)(1,1,0) CSS", ap, {1, 1, 0, 1, 1, 0}, 1, {-0.41348812779036626, -0.45408786349101837},
       {0.07927751475, 0.07750950248}, 242.75783097594137},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const Orders &o = c.o;
    const int N = static_cast<int>(c.x.size());
    sarima_object *obj = sarima_init(o.p, o.d, o.q, 12, o.P, o.D, o.Q, N);
    const int k = obj->ncoeff, n = obj->Nused;
    ASSERT_EQ(k, static_cast<int>(c.coef.size()));
    EXPECT_EQ(n, N - o.d - 12 * o.D);
    sarima_setMethod(obj, c.method);
    sarima_exec(obj, c.x.data());
    EXPECT_EQ(obj->retval, 1);
    EXPECT_GT(obj->loglik, c.loglik - 2e-6);
    EXPECT_LT(obj->loglik, c.loglik + 1e-5);
    if (c.method == 0) { EXPECT_LT(obj->aic, -2.0 * c.loglik + 2.0 * (k + 1) + 4e-6); }
    std::vector<double> ours;
    for (int i = 0; i < o.p; ++i) ours.push_back(obj->phi[i]);
    for (int i = 0; i < o.q; ++i) ours.push_back(-obj->theta[i]);
    for (int i = 0; i < o.P; ++i) ours.push_back(obj->PHI[i]);
    for (int i = 0; i < o.Q; ++i) ours.push_back(-obj->THETA[i]);
    if (obj->M == 1) ours.push_back(obj->mean);
    const double factor = static_cast<double>(n - o.d - 12 * o.D) / n;
    for (int i = 0; i < k; ++i) {
      EXPECT_NEAR(ours[i], c.coef[i], 0.01 * c.se[i]) << "coefficient " << i;
      EXPECT_REL_NEAR(std::sqrt(obj->vcov[i * k + i] * factor), c.se[i], 2e-2) << "coefficient " << i;
    }
    // The residuals of the objective at the estimates: standardised innovations (ML) or
    // conditional residuals, zero before time p + 12 P (CSS); their squares sum to n var.
    double ssq = 0.0;
    for (int t = 0; t < n; ++t) ssq += obj->res[t] * obj->res[t];
    EXPECT_REL_NEAR(ssq, n * obj->var, 1e-12);
    for (int t = 0; c.method == 1 && t < o.p + 12 * o.P; ++t) EXPECT_EQ(obj->res[t], 0.0);
    sarima_free(obj);
  }
}

// Every seasonal estimator on short series and small orders, with arrays sized exactly as
// documented so that the address sanitizer sees any access outside them: a series no
// longer than d + s D is an input error (code 0) that writes nothing, as is one without
// degrees of freedom for the Box-Jenkins variance.
TEST(SeasonalLikelihood, ShortSeriesStayInsideTheirArrays) {
  const double values[] = {3.0, 1.0, 4.0, 1.5, 5.0, 9.0, 2.0};
  const int models[3][4] = {{1, 1, 1, 1}, {0, 0, 1, 0}, {0, 1, 0, 1}};  // (p, q, P, Q)
  for (int N : {1, 2, 3, 5, 7})
    for (int s : {0, 2})
      for (const auto &m : models)
        for (int d = 0; d <= 1; ++d)
          for (int D = 0; D <= 1; ++D) {
            SCOPED_TRACE("N " + std::to_string(N) + " s " + std::to_string(s) + " d " + std::to_string(d) + " D " +
                         std::to_string(D));
            const tsf_arima::seasonal_orders o(m[0], d, m[1], s, m[2], D, m[3]);
            const int k = o.ncoeff(), span = static_cast<int>(o.lag_span()), M = o.M();
            std::vector<double> x(values, values + N), phi(m[0], 7.0), theta(m[1], 7.0), PHI(m[2], 7.0),
                THETA(m[3], 7.0), res(N > span ? N - span : 1, 7.0), vcov(k * k, 7.0);
            double mean = 7.0, var = 7.0, loglik = 7.0;
            int codes[3];
            tsf_test::CaptureStdout([&] {
              codes[0] = css_seas(x.data(), N, 7, m[0], d, m[1], s, m[2], D, m[3], phi.data(), theta.data(),
                                  PHI.data(), THETA.data(), &mean, &var, &loglik, vcov.data());
              codes[1] = as154_seas(x.data(), N, 7, m[0], d, m[1], s, m[2], D, m[3], phi.data(), theta.data(),
                                    PHI.data(), THETA.data(), &mean, &var, &loglik, vcov.data());
              codes[2] = nlalsms(x.data(), N, m[0], d, m[1], phi.data(), theta.data(), s, m[2], D, m[3], PHI.data(),
                                 THETA.data(), M, &mean, &var, nullptr, vcov.data(), res.data(),
                                 2.220446049250313e-16);
            });
            if (N <= span) { EXPECT_TRUE(codes[0] == 0 && codes[1] == 0 && codes[2] == 0 && mean == 7.0); }
            if (N - span - k <= 0) { EXPECT_EQ(codes[2], 0); }
          }
}

// With period 1 the seasonal lags are the ordinary ones, so USPE_seasonal's (P, Q)
// estimates are USPE's (p, q) estimates.
TEST(SeasonalBoxJenkins, MomentEstimatesAtPeriodOneAreUspe) {
  std::vector<double> w = tsf_test::LoadSeries("lh.csv");
  const int n = static_cast<int>(w.size());
  for (int P = 0; P <= 2; ++P)
    for (int Q = 0; Q <= 2; ++Q) {
      std::vector<double> phi(P), theta(Q), PHI(P), THETA(Q);
      double constant = 0.0, var = 0.0;
      USPE(w.data(), n, P, Q, phi.data(), theta.data(), &constant, &var);
      USPE_seasonal(w.data(), n, 1, P, Q, PHI.data(), THETA.data());
      EXPECT_TRUE(PHI == phi && THETA == theta) << P << Q;
    }
}

// avalues is avaluem on the expanded polynomials (1 - 0.3 B)(1 - 0.5 B^4) and
// (1 + 0.4 B)(1 - 0.2 B^4), written out here.
TEST(SeasonalBoxJenkins, ResidualsAreThoseOfTheExpandedModel) {
  std::vector<double> w = tsf_test::LoadSeries("lh.csv");
  const int n = static_cast<int>(w.size()), Qb = 30;
  const double phi = 0.3, theta = -0.4, PHI = 0.5, THETA = 0.2;
  const std::vector<double> ar = {0.3, 0, 0, 0.5, -0.15}, ma = {-0.4, 0, 0, 0.2, 0.08};
  std::vector<double> a(n + Qb - 1), b(n + Qb - 1);
  avalues(w.data(), n, 1, 1, &phi, &theta, 4, 1, 1, &PHI, &THETA, Qb, a.data());
  avaluem(w.data(), n, 5, 5, ar.data(), ma.data(), Qb, b.data());
  for (int k = 0; k < n + Qb - 1; ++k) EXPECT_REL_NEAR(a[k], b[k], 1e-14) << k;
}

// nlalsms's estimates minimise the back-forecast sum of squares of avalues, which the
// variance reports over n - k degrees of freedom and whose residuals it returns; for the
// airline model they lie within a standard error of R's ML estimates (FitsReachROptimum).
TEST(SeasonalBoxJenkins, FitMinimisesTheBackForecastSumOfSquares) {
  const std::vector<double> ap = LogAirPassengers(), sd = SeasonalDifferenceOfLogAirPassengers();
  const struct {
    std::string name;
    const std::vector<double> &x;
    Orders o;
    std::vector<double> ml;  // R's ML estimates, our signs: phi, theta, PHI, THETA
    double ml_se;            // the largest of R's ML standard errors
  } cases[] = {{"airline", ap, {0, 1, 1, 0, 1, 1}, {0.40182276587066246, 0.55693620794964405}, 0.0896},
               {"(1,0,0)(1,0,0) + mean", sd, {1, 0, 0, 1, 0, 0}, {}, 0.0}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const Orders &o = c.o;
    const int N = static_cast<int>(c.x.size()), n = N - o.d - 12 * o.D, M = o.d == 0 && o.D == 0;
    const int k = o.p + o.q + o.P + o.Q + M;
    std::vector<double> coef(o.p + o.q + o.P + o.Q), vcov(k * k), res(n);
    double *phi = coef.data(), *theta = phi + o.p, *PHI = theta + o.q, *THETA = PHI + o.P;
    double mean = 0.0, var = 0.0;
    ASSERT_EQ(nlalsms(c.x.data(), N, o.p, o.d, o.q, phi, theta, 12, o.P, o.D, o.Q, PHI, THETA, M, &mean, &var,
                      nullptr, vcov.data(), res.data(), 2.220446049250313e-16),
              1);
    // The differenced series less the level mean / ((1 - phi)(1 - PHI)).
    std::vector<double> w(n);
    for (int t = 0; t < n; ++t) w[t] = o.d == 1 ? c.x[t + 13] - c.x[t + 12] - c.x[t + 1] + c.x[t] : c.x[t];
    const double level = M ? mean / ((1.0 - (o.p ? phi[0] : 0.0)) * (1.0 - (o.P ? PHI[0] : 0.0))) : 0.0;
    for (double &v : w) v -= level;
    const int Qb = std::max(20 * (o.p + 12 * o.P) + o.q + 12 * o.Q, 12 * o.D + 15), L = n + Qb - 1;
    auto sum_of_squares = [&](const std::vector<double> &b, double shift, std::vector<double> *a) {
      std::vector<double> r(L), ws(w);
      for (double &v : ws) v -= shift;
      avalues(ws.data(), n, o.p, o.q, b.data(), b.data() + o.p, 12, o.P, o.Q, b.data() + o.p + o.q,
              b.data() + o.p + o.q + o.P, Qb, r.data());
      if (a != nullptr) *a = r;
      double s = 0.0;
      for (double v : r) s += v * v;
      return s;
    };
    std::vector<double> a;
    const double S = sum_of_squares(coef, 0.0, &a);
    EXPECT_REL_NEAR(var * (n - k), S, 1e-9);
    for (int t = 0; t < n; ++t) EXPECT_REL_NEAR(res[t], a[Qb - 1 + t], 1e-9) << t;
    for (std::size_t i = 0; i < coef.size(); ++i) {
      for (double h : {-1e-3, 1e-3}) {
        std::vector<double> moved(coef);
        moved[i] += h;
        EXPECT_GT(sum_of_squares(moved, 0.0, nullptr), S) << i << " " << h;
      }
      if (!c.ml.empty()) { EXPECT_NEAR(coef[i], c.ml[i], c.ml_se) << i; }
    }
    for (double h : {-1e-3, 1e-3}) {
      if (M == 1) { EXPECT_GT(sum_of_squares(coef, h, nullptr), S); }
    }
  }
}
