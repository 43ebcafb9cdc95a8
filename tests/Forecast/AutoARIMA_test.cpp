// The automatic ARIMA forecaster: the eligibility rules and the search on scripted fits,
// then real fits: drift, constant series, intervals at any level, the full search, the
// period read from a time column.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "Forecast/AutoARIMA.h"
#include "Forecast/auto_arima_internal.h"
#include "support/test_util.h"

using tsf_auto::Candidate;
using tsf_auto::CoreFit;

namespace {

// x[t] = 10 + 0.6 (x[t-1] - 10) + e[t].
std::vector<double> Ar1(int n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> x(n);
  double v = 0.0;
  for (int t = -50; t < n; ++t) {
    v = 0.6 * v + z(gen);
    if (t >= 0) x[t] = 10.0 + v;
  }
  return x;
}

// x[t] = x[t-1] + 2 + e[t] from 100.
std::vector<double> RandomWalkWithDrift(int n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> z(0.0, 1.0);
  std::vector<double> x(n);
  x[0] = 100.0;
  for (int t = 1; t < n; ++t) x[t] = x[t - 1] + 2.0 + z(gen);
  return x;
}

// A converged fit of candidate c with zero coefficients and the given log-likelihood.
CoreFit Scripted(const Candidate &c, double loglik, int nused) {
  CoreFit f;
  f.retval = 1;
  f.loglik = loglik;
  f.var = 1.0;
  f.mean = 10.0;
  f.nused = nused;
  f.phi.assign(c.p, 0.0);
  f.theta.assign(c.q, 0.0);
  f.PHI.assign(c.P, 0.0);
  f.THETA.assign(c.Q, 0.0);
  const int k = c.p + c.q + c.P + c.Q + (c.constant ? 1 : 0);
  f.vcov.assign(static_cast<size_t>(k * k), 0.0);
  for (int i = 0; i < k; ++i) f.vcov[i * k + i] = 0.01;
  return f;
}

// An AR(2) polynomial 1 - c1 z - c2 z^2 with the complex roots r e^(+-i).
std::vector<double> Ar2WithRootModulus(double r) { return {2.0 * std::cos(1.0) / r, -1.0 / (r * r)}; }

}  // namespace

TEST(AutoARIMA, EligibilityRules) {
  auto base = [] {
    CoreFit f;
    f.retval = 1, f.loglik = -50.0, f.var = 2.0, f.mean = 1.0, f.nused = 40;
    f.phi = {0.5};
    f.theta = {-0.3};
    f.vcov = {0.01, 0.002, 0.002, 0.02};
    return f;
  };
  EXPECT_TRUE(tsf_auto::FitIsEligible(base()));
  struct Case {
    const char *what;
    void (*change)(CoreFit &);
  } rejected[] = {
      {"not converged", [](CoreFit &f) { f.retval = 4; }},
      {"Inf/NaN stop", [](CoreFit &f) { f.retval = 15; }},
      {"input error", [](CoreFit &f) { f.retval = 0; }},
      {"NaN log-likelihood", [](CoreFit &f) { f.loglik = std::nan(""); }},
      {"zero variance", [](CoreFit &f) { f.var = 0.0; }},
      {"infinite variance", [](CoreFit &f) { f.var = INFINITY; }},
      {"AR unit root", [](CoreFit &f) { f.phi = {1.0}; }},
      {"AR root at 1.005", [](CoreFit &f) { f.phi = {1.0 / 1.005}; }},
      {"explosive AR", [](CoreFit &f) { f.phi = {1.2}; }},
      {"AR(2) complex roots at 1.005", [](CoreFit &f) { f.phi = Ar2WithRootModulus(1.005); }},
      {"MA unit root", [](CoreFit &f) { f.theta = {-1.0}; }},
      {"MA root inside", [](CoreFit &f) { f.theta = {0.0, 1.5}; }},
      {"seasonal AR near unit root", [](CoreFit &f) { f.PHI = {0.995}; }},
      {"seasonal MA near unit root", [](CoreFit &f) { f.THETA = {0.999}; }},
      {"NaN coefficient", [](CoreFit &f) { f.theta = {std::nan("")}; }},
      {"covariance not positive definite", [](CoreFit &f) { f.vcov = {0.01, 0.02, 0.02, 0.01}; }},
      {"NaN covariance", [](CoreFit &f) { f.vcov = {0.01, 0.0, 0.0, std::nan("")}; }},
  };
  for (const Case &c : rejected) {
    CoreFit f = base();
    c.change(f);
    EXPECT_FALSE(tsf_auto::FitIsEligible(f)) << c.what;
  }
  CoreFit f = base();
  f.phi = Ar2WithRootModulus(1.015);
  f.THETA = {0.98};
  f.vcov = {1.0, 0, 0, 0, 0, 1.0, 0, 0, 0, 0, 1.0, 0, 0, 0, 0, 1.0};
  EXPECT_TRUE(tsf_auto::FitIsEligible(f));
}

TEST(AutoARIMA, ForecastsWithNegativeOrNonFiniteMseAreNotUsable) {
  EXPECT_TRUE(tsf_auto::ForecastsUsable({1.0, 2.0}, {0.0, 1.0}));
  EXPECT_FALSE(tsf_auto::ForecastsUsable({1.0, 2.0}, {1.0, -1e-12}));
  EXPECT_FALSE(tsf_auto::ForecastsUsable({1.0, 2.0}, {1.0, std::nan("")}));
  EXPECT_FALSE(tsf_auto::ForecastsUsable({1.0, 2.0}, {1.0, INFINITY}));
  EXPECT_FALSE(tsf_auto::ForecastsUsable({1.0, INFINITY}, {1.0, 1.0}));
}

// On a scripted landscape whose best log-likelihood is at (3, 2), the stepwise search walks
// there from its starting models; the same landscape with that fit not converged, or with
// a near-unit AR root, must choose another model.
TEST(AutoARIMA, SearchNeverChoosesAnIneligibleFit) {
  const std::vector<double> x = Ar1(80, 11);
  const int nused = 80;
  auto landscape = [&](const Candidate &c) {
    return Scripted(c, -100.0 - 8.0 * ((c.p - 3) * (c.p - 3) + (c.q - 2) * (c.q - 2)), nused);
  };
  for (bool stepwise : {true, false}) {
    tsf_auto::SearchResult r = tsf_auto::SearchOrders(x, 0, 0, 1, false, stepwise, landscape);
    ASSERT_FALSE(r.models.empty());
    const TsAutoARIMAModel *best = &r.models[0];
    for (const TsAutoARIMAModel &m : r.models)
      if (m.aicc < best->aicc) best = &m;
    EXPECT_EQ(best->p, 3) << stepwise;
    EXPECT_EQ(best->q, 2) << stepwise;
    EXPECT_TRUE(best->constant);
  }
  for (int fault = 0; fault < 2; ++fault) {
    auto faulty = [&](const Candidate &c) {
      CoreFit f = landscape(c);
      if (c.p == 3 && c.q == 2) {
        if (fault == 0) f.retval = 4;
        else f.phi = {0.0, 0.0, 1.0 / 1.005};
      }
      return f;
    };
    for (bool stepwise : {true, false}) {
      tsf_auto::SearchResult r = tsf_auto::SearchOrders(x, 0, 0, 1, false, stepwise, faulty);
      ASSERT_FALSE(r.models.empty());
      for (const TsAutoARIMAModel &m : r.models) EXPECT_FALSE(m.p == 3 && m.q == 2) << fault << stepwise;
    }
  }
}

// A seasonal landscape with one difference, best at (1,1)(1,0) without drift: the stepwise
// search reaches it through seasonal neighbours and by switching the drift off.
TEST(AutoARIMA, StepwiseWalksSeasonalOrdersAndTheDrift) {
  const std::vector<double> x = Ar1(120, 13);
  int fits = 0;
  auto landscape = [&](const Candidate &c) {
    ++fits;
    const double miss = (c.p - 1) * (c.p - 1) + (c.q - 1) * (c.q - 1) + (c.P - 1) * (c.P - 1) + c.Q * c.Q;
    return Scripted(c, -100.0 - 8.0 * miss - (c.constant ? 6.0 : 0.0), 116);
  };
  tsf_auto::SearchResult r = tsf_auto::SearchOrders(x, 0, 1, 4, true, true, landscape);
  ASSERT_FALSE(r.models.empty());
  const TsAutoARIMAModel *best = &r.models[0];
  for (const TsAutoARIMAModel &m : r.models)
    if (m.aicc < best->aicc) best = &m;
  EXPECT_EQ(best->Name(), "ARIMA(1,0,1)(1,1,0)[4]");
  EXPECT_EQ(r.tried, fits);
  EXPECT_LT(fits, 60);
}

TEST(AutoARIMA, FullSearchVisitsEveryOrderAndDriftChoice) {
  const std::vector<double> x = Ar1(80, 12);
  int calls = 0;
  auto count = [&](const Candidate &c) {
    ++calls;
    return Scripted(c, -100.0, 79);
  };
  // d + D = 1: the 21 pairs p + q <= 5, each with and without drift.
  tsf_auto::SearchResult r = tsf_auto::SearchOrders(x, 1, 0, 1, false, false, count);
  EXPECT_EQ(calls, 42);
  EXPECT_EQ(r.tried, 42);
  // d = 0: a mean always; d = 2: no constant.
  calls = 0;
  tsf_auto::SearchOrders(x, 0, 0, 1, false, false, count);
  EXPECT_EQ(calls, 21);
  calls = 0;
  tsf_auto::SearchOrders(x, 2, 0, 1, false, false, count);
  EXPECT_EQ(calls, 21);
}

TEST(AutoARIMA, CandidatesNeedEnoughValues) {
  Candidate c;
  c.p = 2, c.q = 2, c.constant = true;  // 5 coefficients
  EXPECT_TRUE(tsf_auto::Feasible(13, 1, c));
  EXPECT_FALSE(tsf_auto::Feasible(12, 1, c));
  c.P = 1;  // the expanded AR order grows by s
  EXPECT_FALSE(tsf_auto::Feasible(26, 12, c));
  EXPECT_TRUE(tsf_auto::Feasible(27, 12, c));
  // Expanded orders beyond 60 (a state the likelihood cannot afford; at 367 the core's
  // stationary covariance overflowed its work size): only the difference for long periods.
  EXPECT_TRUE(tsf_auto::Feasible(1000, 52, c));
  c.P = 2;
  EXPECT_FALSE(tsf_auto::Feasible(1000, 52, c));
  c.P = 0, c.Q = 1;
  EXPECT_FALSE(tsf_auto::Feasible(1000, 366, c));
}

// A random walk with drift: one difference and a drift are chosen. With known
// coefficients the forecasts continue the drift and the h-step mean square error is h
// times the first; the drift's own estimation error adds h^2 var(c).
TEST(AutoARIMA, DriftIsFittedAndIntegrated) {
  const std::vector<double> x = RandomWalkWithDrift(60, 5);
  TsAutoARIMA model;
  std::vector<double> out;
  ASSERT_TRUE(model.Fit(x));
  ASSERT_TRUE(model.Predict(8, out));
  const TsAutoARIMAModel &m = model.GetModel();
  ASSERT_EQ(m.Name(), "ARIMA(0,1,0) with drift");
  EXPECT_REL_NEAR(m.c, (x.back() - x.front()) / 59.0, 1e-3);
  ASSERT_EQ(m.vcov.size(), 1u);
  std::vector<double> f, mse;
  ASSERT_TRUE(tsf_auto::ForecastModel(m, x, 8, f, mse));
  const std::vector<double> estimation = tsf_auto::EstimationMse(m, x, 8);
  for (int h = 0; h < 8; ++h) {
    EXPECT_REL_NEAR(out[h], x.back() + (h + 1) * m.c, 1e-9);
    EXPECT_REL_NEAR(mse[h], (h + 1) * mse[0], 1e-9);
    EXPECT_REL_NEAR(estimation[h], (h + 1) * (h + 1) * m.vcov[0], 1e-6);
  }
  EXPECT_EQ(out, model.GetXPred());
}

// Student t quantiles with the n - K = 59 - 2 degrees of freedom of ARIMA(0,1,0) with
// drift on 60 values (scipy.stats.t.ppf(0.5 + level / 200, 57)).
TEST(AutoARIMA, IntervalsAtAnyLevel) {
  const double levels[] = {50.0, 80.0, 95.0, 99.5};
  const double quantile[] = {0.6788183078089277, 1.2965810436874206, 2.0024654580545986, 2.920420191711157};
  TsAutoARIMA model;
  ASSERT_TRUE(model.Fit(RandomWalkWithDrift(60, 5)));
  ASSERT_EQ(model.GetModel().nobs - model.GetModel().Parameters(), 57);
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(model.SetLevel(levels[i]));
    std::vector<double> out;
    ASSERT_TRUE(model.Predict(5, out));
    for (int h = 0; h < 5; ++h) {
      const double se = std::sqrt(model.GetMse()[h]);
      EXPECT_REL_NEAR(model.GetUpper()[h] - out[h], quantile[i] * se, 1e-6);
      EXPECT_REL_NEAR(out[h] - model.GetLower()[h], quantile[i] * se, 1e-6);
    }
  }
  for (double bad : {0.0, 100.0, -5.0, std::nan("")}) EXPECT_FALSE(model.SetLevel(bad));
  EXPECT_EQ(model.GetLevel(), 99.5);
}

TEST(AutoARIMA, ConstantAndUnusableSeries) {
  TsAutoARIMA model;
  std::vector<double> out;
  ASSERT_TRUE(model.Fit(std::vector<double>(30, 4.25)));
  ASSERT_TRUE(model.Predict(3, out));
  EXPECT_EQ(model.GetModel().Name(), "ARIMA(0,0,0) with mean");
  for (int h = 0; h < 3; ++h) {
    EXPECT_EQ(out[h], 4.25);
    EXPECT_EQ(model.GetMse()[h], 0.0);
  }
  std::vector<double> x = Ar1(40, 4);
  x[7] = std::nan("");
  EXPECT_FALSE(model.Fit(x));
  EXPECT_FALSE(model.Predict(3, out));
  EXPECT_FALSE(model.Fit({1.0, 2.0}));
  EXPECT_FALSE(model.Fit({}));
}

// Stepwise never does better than the full search on the orders both visit, and the full
// search's choice is the best of what it fitted.
TEST(AutoARIMA, FullSearchIsAtLeastAsGoodAsStepwise) {
  const std::vector<double> nile = tsf_test::LoadSeries("nile.csv");
  TsAutoARIMA stepwise, full;
  full.SetStepwise(false);
  ASSERT_TRUE(stepwise.Fit(nile));
  ASSERT_TRUE(full.Fit(nile));
  EXPECT_LE(full.GetModel().aicc, stepwise.GetModel().aicc + 1e-9);
  EXPECT_LT(stepwise.GetFitsTried(), full.GetFitsTried());
  EXPECT_EQ(full.GetModel().d, 1);
}

TEST(AutoARIMA, ModelNames) {
  TsAutoARIMAModel m;
  m.p = 0, m.d = 1, m.q = 1, m.P = 0, m.D = 1, m.Q = 1, m.s = 12;
  EXPECT_EQ(m.Name(), "ARIMA(0,1,1)(0,1,1)[12]");
  m.D = 0, m.constant = true;
  EXPECT_EQ(m.Name(), "ARIMA(0,1,1)(0,0,1)[12] with drift");
  m.P = m.Q = 0;
  EXPECT_EQ(m.Name(), "ARIMA(0,1,1) with drift");
  m.d = 0;
  EXPECT_EQ(m.Name(), "ARIMA(0,0,1) with mean");
  EXPECT_EQ(m.Parameters(), 3);
}

TEST(AutoARIMA, PeriodFromDecimalYears) {
  auto times = [](double start, double step, int n) {
    std::vector<double> t(n);
    for (int i = 0; i < n; ++i) t[i] = start + i * step;
    return t;
  };
  std::vector<double> rounded = times(1992.0, 1.0 / 12.0, 40);
  for (double &v : rounded) v = std::round(v * 1e6) / 1e6;  // 10 significant digits
  std::vector<double> gap = times(1990.0, 0.25, 20);
  gap.erase(gap.begin() + 10);
  struct Case {
    std::vector<double> time;
    int period;
  } cases[] = {
      {rounded, 12},
      {times(1959.0, 0.25, 30), 4},
      {times(1871.0, 1.0, 100), 1},          // annual
      {times(1.0, 1.0, 100), 1},             // sample numbers
      {times(1994.8, 1.0 / 260.0, 100), 1},  // business days
      {times(1990.1, 7.0 / 365.25, 100), 1}, // weeks
      {times(0.0, 0.25, 40), 1},             // quarter hours, not years
      {gap, 1},                              // a missing quarter
      {times(2000.0, 0.5, 2), 1},
  };
  for (const Case &c : cases) EXPECT_EQ(TsAutoARIMA::InferPeriod(c.time), c.period) << c.time.size();
}

// (1 - B)(1 - B^4) x[t] = (1 - 0.4 B)(1 - 0.6 B^4) e[t]: both differences are chosen, the
// seasonal search compares candidates by the conditional likelihood and the chosen model
// is the exact fit of its orders. Scaling the series scales the model and nothing else.
TEST(AutoARIMA, SeasonalModelIsChosenAndRefittedExactly) {
  std::mt19937_64 gen(21);
  std::normal_distribution<double> z(0.0, 1.0);
  const int n = 72;
  std::vector<double> e(n + 5), w(n, 0.0), x(n, 0.0);
  for (double &v : e) v = z(gen);
  for (int t = 0; t < n; ++t) w[t] = e[t + 5] - 0.4 * e[t + 4] - 0.6 * e[t + 1] + 0.24 * e[t];
  for (int t = 0; t < n; ++t)
    x[t] = w[t] + (t >= 1 ? x[t - 1] : 0.0) + (t >= 4 ? x[t - 4] : 0.0) - (t >= 5 ? x[t - 5] : 0.0);
  for (double &v : x) v += 50.0;
  TsAutoARIMA model(4);
  std::vector<double> out;
  ASSERT_TRUE(model.Fit(x));
  ASSERT_TRUE(model.Predict(8, out));
  const TsAutoARIMAModel &m = model.GetModel();
  EXPECT_TRUE(m.d == 1 && m.D == 1 && m.s == 4 && !m.constant) << m.Name();
  Candidate c;
  c.p = m.p, c.q = m.q, c.P = m.P, c.Q = m.Q;
  const CoreFit exact = tsf_auto::FitCore(x, 1, 1, 4, c, 0);
  // The search fits the standardised series: the same optimum, to the optimiser's tolerance.
  EXPECT_REL_NEAR(m.loglik, exact.loglik, 1e-7);
  EXPECT_EQ(m.nobs, n - 5);
  for (const std::vector<double> *poly : {&m.phi, &m.theta, &m.PHI, &m.THETA})
    EXPECT_TRUE(tsf_auto::RootsOutside(*poly, tsf_auto::kRootRadius));
  for (int h = 0; h < 8; ++h)
    EXPECT_TRUE(std::isfinite(model.GetLower()[h]) && std::isfinite(model.GetUpper()[h]) && model.GetMse()[h] > 0);
  std::vector<double> small(x);
  for (double &v : small) v *= 1e-9;
  TsAutoARIMA scaled(4);
  std::vector<double> smallOut;
  ASSERT_TRUE(scaled.Fit(small));
  ASSERT_TRUE(scaled.Predict(8, smallOut));
  EXPECT_EQ(scaled.GetModel().Name(), m.Name());
  EXPECT_REL_NEAR(scaled.GetModel().sigma2 * 1e18, m.sigma2, 1e-6);
  for (int h = 0; h < 8; ++h) EXPECT_REL_NEAR(smallOut[h] * 1e9, out[h], 1e-6);
  // Fewer than three seasons of period 25: no seasonal terms.
  TsAutoARIMA longPeriod(25);
  ASSERT_TRUE(longPeriod.Fit(x));
  EXPECT_EQ(longPeriod.GetModel().D + longPeriod.GetModel().P + longPeriod.GetModel().Q, 0);
}
