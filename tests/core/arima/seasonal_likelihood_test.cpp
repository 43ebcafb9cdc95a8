// Seasonal exact likelihood and conditional sum of squares: the objectives against R at
// fixed parameters, sarima_exec's ML and CSS fits against R's optima, and the
// estimators' edge cases.
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/reference_fits.h"
#include "core/arima/seasonal_internal.h"
#include "core/arima/seasonal_series.h"
#include "support/test_util.h"

using tsf_test::LogAirPassengers;
using tsf_test::SeasonalDifferenceOfLogAirPassengers;

namespace {

double LogLik(double objective, int n) { return -0.5 * n * (2.0 * objective + 1.0 + tsf_test::Log2Pi()); }

struct Orders {
  int p, d, q, P, D, Q;
};

}  // namespace

// R: arima(w, order = c(p, 0, q), seasonal = list(order = c(P, 0, Q), period = 12),
// include.mean, fixed = b, transform.pars = FALSE, method = "ML" / "CSS") on the
// differenced series w; R's sigma2 is ssq / n for ML and ssq / (n - p - 12 P) for CSS.
// b is R's vector (its MA signs are -theta), which is the objectives' vector as well.
TEST(SeasonalLikelihood, ObjectivesMatchRAtFixedParameters) {
  struct Case {
    std::string name;
    std::vector<double> x;
    Orders o;
    std::vector<double> b;
    double ml_loglik, ml_sigma2, css_loglik, css_sigma2;
  };
  const std::vector<Case> cases = {
      // w = diff(log(AirPassengers), lag = 12) with a mean.
      {"(1,0,1)(1,0,1)12 + mean", SeasonalDifferenceOfLogAirPassengers(), {1, 0, 1, 1, 0, 1},
       {0.3, -0.4, 0.2, -0.5, 0.1}, 155.32782203447928, 0.0055047991190112959, 155.16313739756268,
       0.0055785092730695771},
      // w = diff(diff(log(AirPassengers), lag = 12)), include.mean = FALSE.
      {"(2,1,0)(1,1,0)12", LogAirPassengers(), {2, 1, 0, 1, 1, 0}, {-0.3, 0.1, -0.4}, 238.46432627293984,
       0.001510104896726759, 240.90464754578619, 0.0014798558172531967},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const int N = static_cast<int>(c.x.size());
    for (bool exact : {true, false}) {
      const Orders &o = c.o;
      alik_seas_object *obj = exact ? alik_seas_init(o.p, o.d, o.q, 12, o.P, o.D, o.Q, N)
                                    : alik_css_seas_init(o.p, o.d, o.q, 12, o.P, o.D, o.Q, N);
      const int n = tsf_arima::load_seasonal_series(obj, c.x.data(), N);
      std::vector<double> b = c.b;
      const double l = exact ? fas154_seas(b.data(), obj->fit.pq, obj) : fcss_seas(b.data(), obj->fit.pq, obj);
      EXPECT_REL_NEAR(LogLik(l, n), exact ? c.ml_loglik : c.css_loglik, 1e-12);
      EXPECT_REL_NEAR(obj->fit.ssq / (exact ? n : n - obj->pe), exact ? c.ml_sigma2 : c.css_sigma2, 1e-12);
      if (exact) free_alik_seas(obj); else free_alik_css_seas(obj);
    }
  }
}

// With no ARMA terms at all the filter starts from a = 0, P = 1 (starma has no state to
// set up): the objective is that of white noise, 0.5 ln(sum w^2 / n).
TEST(SeasonalLikelihood, NoArmaTermsStartFromUnitVariance) {
  std::vector<double> x = LogAirPassengers();
  const int N = static_cast<int>(x.size());
  alik_seas_object *obj = alik_seas_init(0, 1, 0, 12, 0, 1, 0, N);
  EXPECT_EQ(obj->r, 1);
  const int n = tsf_arima::load_seasonal_series(obj, x.data(), N);
  double ssq = 0.0;
  for (int t = 13; t < N; ++t) ssq += std::pow(x[t] - x[t - 1] - x[t - 12] + x[t - 13], 2);
  EXPECT_REL_NEAR(fas154_seas(nullptr, 0, obj), 0.5 * std::log(ssq / n), 1e-14);
  free_alik_seas(obj);
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
  struct Case {
    std::string name;
    std::vector<double> x;
    Orders o;
    int method;
    std::vector<double> coef, se;  // R's order: ar, ma, sar, sma, intercept
    double loglik;
  };
  const std::vector<double> ap = LogAirPassengers(), co2 = tsf_test::LoadSeries("co2.csv"),
                            sd = SeasonalDifferenceOfLogAirPassengers();
  const std::vector<Case> cases = {
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
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const Orders &o = c.o;
    const int N = static_cast<int>(c.x.size());
    sarima_object *obj = sarima_init(o.p, o.d, o.q, 12, o.P, o.D, o.Q, N);
    sarima_setMethod(obj, c.method);
    sarima_exec(obj, c.x.data());
    EXPECT_EQ(obj->retval, 1);
    EXPECT_GT(obj->loglik, c.loglik - 2e-6);
    EXPECT_LT(obj->loglik, c.loglik + 1e-5);
    if (c.method == 0) {
      EXPECT_LT(obj->aic, -2.0 * c.loglik + 2.0 * (obj->ncoeff + 1) + 4e-6);
    }
    std::vector<double> ours;
    for (int i = 0; i < o.p; ++i) ours.push_back(obj->phi[i]);
    for (int i = 0; i < o.q; ++i) ours.push_back(-obj->theta[i]);
    for (int i = 0; i < o.P; ++i) ours.push_back(obj->PHI[i]);
    for (int i = 0; i < o.Q; ++i) ours.push_back(-obj->THETA[i]);
    if (obj->M == 1) ours.push_back(obj->mean);
    const int k = obj->ncoeff, n = obj->Nused;
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
    if (c.method == 1) {
      for (int t = 0; t < o.p + 12 * o.P; ++t) EXPECT_EQ(obj->res[t], 0.0);
    }
    sarima_free(obj);
  }
}

// Every seasonal estimator on short series and small orders, with arrays sized exactly as
// documented so that the address sanitizer sees any access outside them: a series no
// longer than d + s D is an input error (code 0) that writes nothing, as is one without
// degrees of freedom for the Box-Jenkins variance.
TEST(SeasonalLikelihood, ShortSeriesStayInsideTheirArrays) {
  const double values[] = {3.0, 1.0, 4.0, 1.5, 5.0, 9.0, 2.0};
  // (p, q, P, Q): every term, a seasonal AR alone, MA terms alone.
  const int models[3][4] = {{1, 1, 1, 1}, {0, 0, 1, 0}, {0, 1, 0, 1}};
  for (int N : {1, 2, 3, 5, 7})
    for (int s : {0, 2})
      for (const auto &m : models)
        for (int d = 0; d <= 1; ++d)
          for (int D = 0; D <= 1; ++D) {
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
            const std::string where = "N " + std::to_string(N) + " s " + std::to_string(s) + " d " +
                                      std::to_string(d) + " D " + std::to_string(D);
            if (N <= span) {
              for (int code : codes) EXPECT_EQ(code, 0) << where;
              EXPECT_EQ(mean, 7.0) << where;
            }
            if (N - span - k <= 0) {
              EXPECT_EQ(codes[2], 0) << where;
            }
          }
}
