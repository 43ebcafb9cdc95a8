// Seasonal forecasts: sarima_predict against R's predict() at R's coefficients, the
// expanded polynomials and differencing operator handed to forkal, and the model without
// ARMA terms.
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/seasonal_internal.h"
#include "core/arima/seasonal_series.h"
#include "support/test_util.h"

using tsf_test::LogAirPassengers;
using tsf_test::SeasonalDifferenceOfLogAirPassengers;

namespace {

struct PredictCase {
  std::string name;
  std::vector<double> x;
  int p, d, q, P, D, Q;
  std::vector<double> coef;  // R's coef(): ar, ma, sar, sma, intercept (R's MA signs are -theta)
  std::vector<double> pred, mse;
};

// fit <- arima(x, order, seasonal = list(order, period = 12), method = "ML");
// p <- predict(fit, h); pred = p$pred, mse = p$se^2 (R 4.2).
std::vector<PredictCase> PredictCases() {
  return {
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
      {"diff(log AirPassengers, 12) (1,0,0)(0,0,1)12", SeasonalDifferenceOfLogAirPassengers(), 1, 0, 0, 0, 0, 1,
       {0.77901272916519149, -0.57702314193526383, 0.11953240169009713},
       {0.084153670059148616, 0.103183830277065597, 0.161607017760587945, 0.097551163918893680,
        0.111811457299031122, 0.127131506148537965},
       {0.0013690601640221007, 0.0021998870904010683, 0.0027040834052279167, 0.0030100603919819206,
        0.0031957458268660811, 0.0033084310214503182}},
  };
}

}  // namespace

TEST(SeasonalForecast, MatchesRPredictAtRCoefficients) {
  for (const PredictCase &c : PredictCases()) {
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
    // R starts the differenced states from a large finite variance, which moves its
    // innovation variance (and every mse with it) by up to 5e-5; the shape of the mse over
    // the horizon agrees to rounding.
    const double ratio = mse[0] / c.mse[0];
    EXPECT_NEAR(ratio, 1.0, 1e-4);
    for (int h = 0; h < L; ++h) {
      EXPECT_REL_NEAR(f[h], c.pred[h], 5e-8) << "step " << h + 1;
      EXPECT_NEAR(mse[h] / c.mse[h], ratio, 1e-9) << "step " << h + 1;
    }
    sarima_free(obj);
  }
}

TEST(SeasonalForecast, ExpandedPolynomialsAndDifferencing) {
  // (1 - 0.5 B)(1 - 0.25 B^12) = 1 - 0.5 B - 0.25 B^12 + 0.125 B^13.
  const double phi = 0.5, PHI = 0.25;
  std::vector<double> a(13);
  tsf_arima::expand_seasonal(&phi, 1, &PHI, 1, 12, -1.0, a.data());
  for (int k = 1; k <= 13; ++k) EXPECT_EQ(a[k - 1], k == 1 ? 0.5 : k == 12 ? 0.25 : k == 13 ? -0.125 : 0.0) << k;
  // Period 1 overlaps the two factors: (1 + 0.5 B)(1 + 0.25 B) = 1 + 0.75 B + 0.125 B^2.
  tsf_arima::expand_seasonal(&phi, 1, &PHI, 1, 1, 1.0, a.data());
  EXPECT_EQ(a[0], 0.75);
  EXPECT_EQ(a[1], 0.125);
  // (1 - B)(1 - B^4) = 1 - B - B^4 + B^5: forkal receives 1, 0, 0, 1, -1.
  EXPECT_EQ(tsf_arima::differencing_operator(1, 1, 4), (std::vector<double>{1, -1, 0, 0, -1, 1}));
  EXPECT_EQ(tsf_arima::differencing_operator(2, 0, 12), (std::vector<double>{1, -2, 1}));
  EXPECT_EQ(tsf_arima::differencing_operator(0, 0, 12), (std::vector<double>{1}));
}

// (0,1,0)(0,1,0)12 has no ARMA terms: it is forecast as an AR(1) with coefficient 0, so
// the forecasts extrapolate x[t] = x[t-1] + x[t-12] - x[t-13], and the mse grow with the
// psi weights of 1 / ((1 - B)(1 - B^12)), 1 for lags below 12 and 2 from lag 12 on.
TEST(SeasonalForecast, ModelWithoutArmaTermsExtrapolatesTheDifferencing) {
  std::vector<double> x = LogAirPassengers();
  const int N = static_cast<int>(x.size()), L = 14;
  sarima_object *obj = sarima_init(0, 1, 0, 12, 0, 1, 0, N);
  sarima_exec(obj, x.data());
  ASSERT_EQ(obj->retval, 1);
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
  for (int method = 0; method <= 2; ++method) {
    sarima_object *obj = sarima_init(0, 0, 1, 366, 0, 0, 1, static_cast<int>(x.size()));
    sarima_setMethod(obj, method);
    std::string out = tsf_test::CaptureStdout([&] { sarima_exec(obj, x.data()); });
    EXPECT_EQ(obj->retval, 0) << method;
    EXPECT_TRUE(std::isnan(obj->loglik));
    std::vector<double> f(4, 3.0), mse(4, 3.0);
    sarima_predict(obj, x.data(), 4, f.data(), mse.data());
    EXPECT_EQ(f[0], 3.0);
    EXPECT_EQ(mse[3], 3.0);
    sarima_free(obj);
  }
}
