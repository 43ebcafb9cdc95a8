// Seasonal Box-Jenkins route: the moment estimates and residuals against their
// non-seasonal counterparts, and nlalsms fits checked through avalues (the sum of squares
// that the variance reports, a minimum of it, the residuals) and against the ML fit.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/seasonal_series.h"
#include "support/test_util.h"

using tsf_test::LogAirPassengers;
using tsf_test::SeasonalDifferenceOfLogAirPassengers;

// With period 1 the seasonal lags are the ordinary ones, so USPE_seasonal's (P, Q)
// estimates are USPE's (p, q) estimates.
TEST(SeasonalBoxJenkins, MomentEstimatesAtPeriodOneAreUspe) {
  std::vector<double> w = tsf_test::LoadSeries("lh.csv");
  const int n = static_cast<int>(w.size());
  for (int P = 0; P <= 2; ++P) {
    for (int Q = 0; Q <= 2; ++Q) {
      std::vector<double> phi(P), theta(Q), PHI(P), THETA(Q);
      double constant = 0.0, var = 0.0;
      USPE(w.data(), n, P, Q, phi.data(), theta.data(), &constant, &var);
      USPE_seasonal(w.data(), n, 1, P, Q, PHI.data(), THETA.data());
      EXPECT_EQ(PHI, phi) << P << Q;
      EXPECT_EQ(THETA, theta) << P << Q;
    }
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

TEST(SeasonalBoxJenkins, FitMinimisesTheBackForecastSumOfSquares) {
  const std::vector<double> ap = LogAirPassengers(), sd = SeasonalDifferenceOfLogAirPassengers();
  struct Case {
    std::string name;
    const std::vector<double> &x;
    int p, d, q, P, D, Q;
    std::vector<double> ml;  // R's ML estimates, our signs: phi, theta, PHI, THETA
    double ml_se;            // the largest of R's ML standard errors
  };
  // R: arima(w, order, seasonal = list(order, period = 12), method = "ML") on the
  // differenced series, as in the likelihood tests.
  const std::vector<Case> cases = {
      {"airline", ap, 0, 1, 1, 0, 1, 1, {0.40182276587066246, 0.55693620794964405}, 0.0896},
      {"(1,0,0)(1,0,0) + mean", sd, 1, 0, 0, 1, 0, 0, {}, 0.0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const int N = static_cast<int>(c.x.size()), n = N - c.d - 12 * c.D, M = c.d == 0 && c.D == 0;
    const int k = c.p + c.q + c.P + c.Q + M;
    std::vector<double> phi(c.p), theta(c.q), PHI(c.P), THETA(c.Q), vcov(k * k), res(n);
    double mean = 0.0, var = 0.0;
    ASSERT_EQ(nlalsms(c.x.data(), N, c.p, c.d, c.q, phi.data(), theta.data(), 12, c.P, c.D, c.Q, PHI.data(),
                      THETA.data(), M, &mean, &var, nullptr, vcov.data(), res.data(), 2.220446049250313e-16),
              1);
    // The differenced series less the level mean / ((1 - phi)(1 - PHI)).
    std::vector<double> w(n);
    for (int t = 0; t < n; ++t) w[t] = c.d == 1 ? c.x[t + 13] - c.x[t + 12] - c.x[t + 1] + c.x[t] : c.x[t];
    const double level = M ? mean / ((1.0 - (c.p ? phi[0] : 0.0)) * (1.0 - (c.P ? PHI[0] : 0.0))) : 0.0;
    for (double &v : w) v -= level;
    const int Qb = std::max(20 * (c.p + 12 * c.P) + c.q + 12 * c.Q, 12 * c.D + 15), L = n + Qb - 1;
    std::vector<double> coef(phi);
    coef.insert(coef.end(), theta.begin(), theta.end());
    coef.insert(coef.end(), PHI.begin(), PHI.end());
    coef.insert(coef.end(), THETA.begin(), THETA.end());
    auto sum_of_squares = [&](const std::vector<double> &b, double shift, std::vector<double> *a) {
      std::vector<double> r(L), ws(w);
      for (double &v : ws) v -= shift;
      avalues(ws.data(), n, c.p, c.q, b.data(), b.data() + c.p, 12, c.P, c.Q, b.data() + c.p + c.q,
              b.data() + c.p + c.q + c.P, Qb, r.data());
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
      if (!c.ml.empty()) {
        EXPECT_NEAR(coef[i], c.ml[i], c.ml_se) << i;
      }
    }
    if (M == 1) {
      for (double h : {-1e-3, 1e-3}) EXPECT_GT(sum_of_squares(coef, h, nullptr), S);
    }
  }
}
