// Box-Jenkins route: moment estimates against closed forms, back-forecast residuals of
// AR(1) and MA(1) derived by hand, the Marquardt schedule, and nlalsm's fits.
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/matrix/matrix.h"
#include "reference_fits.h"
#include "support/test_util.h"

namespace {

std::vector<double> Autocov(const std::vector<double> &x, int lags) {
  const int n = static_cast<int>(x.size());
  double m = 0.0;
  for (double v : x) m += v;
  m /= n;
  std::vector<double> c(lags, 0.0);
  for (int k = 0; k < lags; ++k) {
    for (int t = 0; t + k < n; ++t) c[k] += (x[t] - m) * (x[t + k] - m);
    c[k] /= n;
  }
  return c;
}

struct BjFit {
  int code;
  std::vector<double> phi, theta, vcov, res;
  double mean, var;
};

BjFit RunNlalsm(const std::vector<double> &x, int p, int d, int q, int M) {
  const int N = static_cast<int>(x.size());
  const int k = p + q + M;
  BjFit f{0, std::vector<double>(p, 9.0), std::vector<double>(q, 9.0), std::vector<double>(k * k, 9.0),
          std::vector<double>(N, 9.0), 9.0, 9.0};
  f.code = nlalsm(x.data(), N, p, d, q, f.phi.data(), f.theta.data(), M, &f.mean, &f.var, nullptr, f.vcov.data(),
                  f.res.data(), macheps());
  return f;
}

// Sum of squares of the back-forecast residuals at level mu and coefficients phi, theta.
double SumOfSquares(const std::vector<double> &w, double mu, const std::vector<double> &phi,
                    const std::vector<double> &theta) {
  const int n = static_cast<int>(w.size());
  const int Q = tsf_arima::backforecast_length(static_cast<int>(phi.size()), static_cast<int>(theta.size()));
  std::vector<double> z(w), a(n + Q - 1);
  for (double &v : z) v -= mu;
  avaluem(z.data(), n, static_cast<int>(phi.size()), static_cast<int>(theta.size()), phi.data(), theta.data(), Q,
          a.data());
  return sosqm(a.data(), n + Q - 1);
}

TEST(BoxJenkins, SumOfSquares) {
  const double a[] = {1.0, -2.0, 3.0};
  EXPECT_EQ(sosqm(a, 3), 14.0);
  EXPECT_EQ(sosqm(a, 0), 0.0);
  EXPECT_EQ(sosqm(a, -4), 0.0);
}

TEST(BoxJenkins, BackForecastLength) {
  EXPECT_EQ(tsf_arima::backforecast_length(2, 1), 41);
  EXPECT_EQ(tsf_arima::backforecast_length(0, 3), 15);
  EXPECT_EQ(tsf_arima::backforecast_length(0, 0), 15);
}

TEST(BoxJenkins, MarquardtDampingSchedule) {
  tsf_arima::marquardt_damping m;
  EXPECT_EQ(m.lambda, 0.01);
  const double grown[] = {0.02, 0.08, 0.64, 10.24};
  for (double expect : grown) {
    m.reject();
    EXPECT_DOUBLE_EQ(m.lambda, expect);
  }
  EXPECT_EQ(m.growth, 32.0);
  m.accept();
  EXPECT_DOUBLE_EQ(m.lambda, 10.24 / 32.0);
  EXPECT_EQ(m.growth, 2.0);
  m.reject();
  EXPECT_DOUBLE_EQ(m.lambda, 0.64);
}

TEST(BoxJenkins, UspeWhiteNoiseGivesMeanAndVariance) {
  std::vector<double> w = tsf_test::LoadSeries("lh.csv");
  double constant = 0.0, var = 0.0;
  USPE(w.data(), static_cast<int>(w.size()), 0, 0, nullptr, nullptr, &constant, &var);
  const std::vector<double> c = Autocov(w, 1);
  double m = 0.0;
  for (double v : w) m += v;
  EXPECT_REL_NEAR(constant, m / w.size(), 1e-15);
  EXPECT_REL_NEAR(var, c[0], 1e-14);
}

TEST(BoxJenkins, UspeAutoregressiveIsYuleWalker) {
  std::vector<double> w = tsf_test::LoadSeries("lakehuron.csv");
  const int n = static_cast<int>(w.size());
  const std::vector<double> c = Autocov(w, 3);
  const double r1 = c[1] / c[0], r2 = c[2] / c[0];
  std::vector<double> phi(2);
  double constant = 0.0, var = 0.0;
  USPE(w.data(), n, 2, 0, phi.data(), nullptr, &constant, &var);
  EXPECT_REL_NEAR(phi[0], r1 * (1 - r2) / (1 - r1 * r1), 1e-12);
  EXPECT_REL_NEAR(phi[1], (r2 - r1 * r1) / (1 - r1 * r1), 1e-12);
  EXPECT_REL_NEAR(var, c[0] - phi[0] * c[1] - phi[1] * c[2], 1e-12);
  double m = 0.0;
  for (double v : w) m += v;
  EXPECT_REL_NEAR(constant, (1 - phi[0] - phi[1]) * m / n, 1e-12);
}

TEST(BoxJenkins, UspeMovingAverageFactorisesTheAutocovariance) {
  // The differenced Nile series: lag-one autocorrelation -0.40, inside the invertible range.
  std::vector<double> x = tsf_test::LoadSeries("nile.csv"), w;
  for (std::size_t t = 1; t < x.size(); ++t) w.push_back(x[t] - x[t - 1]);
  const std::vector<double> c = Autocov(w, 2);
  const double r1 = c[1] / c[0];
  // Invertible root of m / (1 + m^2) = r1; theta = -m in this library's sign.
  const double m = (1.0 - std::sqrt(1.0 - 4.0 * r1 * r1)) / (2.0 * r1);
  std::vector<double> theta(1);
  double constant = 0.0, var = 0.0;
  USPE(w.data(), static_cast<int>(w.size()), 0, 1, nullptr, theta.data(), &constant, &var);
  EXPECT_REL_NEAR(theta[0], -m, 1e-6);
  EXPECT_REL_NEAR(var, c[0] / (1.0 + m * m), 1e-6);
}

TEST(BoxJenkins, UspeMixedModelUsesLaggedYuleWalker) {
  std::vector<double> w = tsf_test::LoadSeries("lakehuron.csv");
  const std::vector<double> c = Autocov(w, 3);
  std::vector<double> phi(1), theta(1);
  double constant = 0.0, var = 0.0;
  USPE(w.data(), static_cast<int>(w.size()), 1, 1, phi.data(), theta.data(), &constant, &var);
  EXPECT_REL_NEAR(phi[0], c[2] / c[1], 1e-14);
  // The MA(1) factorisation of the filtered autocovariances c'[0], c'[1].
  const double f = phi[0];
  const double c0 = (1 + f * f) * c[0] - 2 * f * c[1];
  const double c1 = (1 + f * f) * c[1] - f * c[0] - f * c[2];
  const double tau1 = -theta[0] * std::sqrt(var);
  EXPECT_NEAR(var + tau1 * tau1, c0, 1e-4);
  EXPECT_NEAR(std::sqrt(var) * tau1, c1, 1e-4);
}

// AR(1): back-forecasts phi^(k+1) w[0]; residuals phi^(Q-s) (1 - phi^2) w[0] over the
// back-forecast times, w[0] (1 - phi^2) at the first observation, then w[t] - phi w[t-1].
TEST(BoxJenkins, AvaluemAutoregressiveOneBackForecasts) {
  const std::vector<double> w = {1.5, -0.5, 2.0, 1.0};
  const double phi = 0.6;
  const int Q = 15, n = 4;
  std::vector<double> a(n + Q, 123.0);
  avaluem(w.data(), n, 1, 0, &phi, nullptr, Q, a.data());
  for (int s = 1; s < Q; ++s) EXPECT_REL_NEAR(a[s - 1], std::pow(phi, Q - s) * (1 - phi * phi) * w[0], 1e-13) << s;
  EXPECT_REL_NEAR(a[Q - 1], w[0] * (1 - phi * phi), 1e-14);
  for (int t = 1; t < n; ++t) EXPECT_REL_NEAR(a[Q - 1 + t], w[t] - phi * w[t - 1], 1e-14);
  EXPECT_EQ(a[n + Q - 1], 123.0);  // n + Q - 1 values, no more
}

// MA(1): backward residuals e[t] = w[t] + theta e[t+1] from e[n-1] = 0; the one non-zero
// back-forecast is -theta e[0]; then the forward recursion a[t] = z[t] + theta a[t-1].
TEST(BoxJenkins, AvaluemMovingAverageOneBackForecast) {
  const std::vector<double> w = {0.5, 1.0, -1.0, 2.0, 0.25};
  const double theta = -0.4;
  const int Q = 15, n = 5;
  std::vector<double> e(n, 0.0);
  for (int t = n - 2; t >= 0; --t) e[t] = w[t] + theta * e[t + 1];
  std::vector<double> z(Q + n, 0.0), r(Q + n, 0.0);
  z[Q - 1] = -theta * e[0];
  for (int t = 0; t < n; ++t) z[Q + t] = w[t];
  for (int s = 0; s < Q + n; ++s) r[s] = z[s] + (s > 0 ? theta * r[s - 1] : 0.0);
  std::vector<double> a(n + Q - 1);
  avaluem(w.data(), n, 0, 1, nullptr, &theta, Q, a.data());
  for (int k = 0; k < n + Q - 1; ++k) EXPECT_NEAR(a[k], r[k + 1], 1e-15) << k;
}

TEST(BoxJenkins, NlalsmLevelOnlyIsTheSampleMean) {
  std::vector<double> x = tsf_test::LoadSeries("nile.csv");
  const int n = static_cast<int>(x.size());
  double m = 0.0, s = 0.0;
  for (double v : x) m += v;
  m /= n;
  for (double v : x) s += (v - m) * (v - m);
  BjFit f = RunNlalsm(x, 0, 0, 0, 1);
  EXPECT_EQ(f.code, 1);
  EXPECT_REL_NEAR(f.mean, m, 1e-12);
  EXPECT_REL_NEAR(f.var, s / (n - 1), 1e-10);
  EXPECT_REL_NEAR(f.vcov[0], s / (n - 1) / n, 1e-6);
  for (int t = 0; t < n; ++t) EXPECT_NEAR(f.res[t], x[t] - m, 1e-9 * m);
}

// A series whose mean is exactly zero starts the level at exactly 0, where a relative
// derivative step vanishes and the Jacobian would be 0/0.
TEST(BoxJenkins, ZeroParameterGetsAnAbsoluteDerivativeStep) {
  std::vector<double> x = tsf_test::LoadSeries("lh.csv");
  const int n = static_cast<int>(x.size());
  std::vector<double> y;
  for (int t = 0; t < n; ++t) y.push_back(x[t] - 2.4);
  for (int t = 0; t < n; ++t) y.push_back(-(x[t] - 2.4));  // mean exactly 0
  BjFit f = RunNlalsm(y, 1, 0, 0, 1);
  EXPECT_EQ(f.code, 1);
  EXPECT_TRUE(std::isfinite(f.var));
  EXPECT_TRUE(std::isfinite(f.phi[0]));
  for (double v : f.vcov) EXPECT_TRUE(std::isfinite(v));
  EXPECT_NEAR(f.mean, 0.0, 1e-6);
  EXPECT_GT(f.vcov[0], 0.0);
}

// The returned coefficients minimise the back-forecast sum of squares: every coordinate
// step of a tenth of a standard error raises it.
TEST(BoxJenkins, NlalsmReachesALeastSquaresMinimum) {
  struct Case {
    const char *file;
    int p, d, q;
  };
  for (const Case &c : {Case{"lh.csv", 1, 0, 1}, Case{"lakehuron.csv", 2, 0, 0}, Case{"nile.csv", 1, 1, 1},
                        Case{"wwwusage.csv", 1, 1, 1}, Case{"airpassengers.csv", 0, 1, 1}}) {
    SCOPED_TRACE(c.file);
    std::vector<double> x = tsf_test::LoadSeries(c.file);
    const int M = c.d == 0 ? 1 : 0;
    const int k = c.p + c.q + M;
    BjFit f = RunNlalsm(x, c.p, c.d, c.q, M);
    ASSERT_EQ(f.code, 1);
    std::vector<double> w(x);
    for (int j = 0; j < c.d; ++j) {
      for (std::size_t t = 0; t + 1 < w.size(); ++t) w[t] = w[t + 1] - w[t];
      w.pop_back();
    }
    const int n = static_cast<int>(w.size());
    double ar = 1.0;
    for (double v : f.phi) ar -= v;
    // beta = (level, phi, theta); the mean output is the constant term.
    std::vector<double> beta;
    if (M) beta.push_back(f.mean / ar);
    beta.insert(beta.end(), f.phi.begin(), f.phi.end());
    beta.insert(beta.end(), f.theta.begin(), f.theta.end());
    auto S = [&](const std::vector<double> &b) {
      std::vector<double> ph(b.begin() + M, b.begin() + M + c.p), th(b.begin() + M + c.p, b.end());
      return SumOfSquares(w, M ? b[0] : 0.0, ph, th);
    };
    const double s0 = S(beta);
    EXPECT_REL_NEAR(f.var, s0 / (n - k), 1e-6);
    for (int i = 0; i < k; ++i) {
      for (double sign : {-1.0, 1.0}) {
        std::vector<double> b(beta);
        b[i] += sign * 0.1 * std::sqrt(f.vcov[i * k + i]);
        EXPECT_GT(S(b), s0) << "parameter " << i;
      }
    }
  }
}

// The least-squares estimates with back-forecasting are close to the exact maximum
// likelihood ones on well-conditioned models.
TEST(BoxJenkins, NlalsmIsCloseToMaximumLikelihood) {
  const std::vector<std::string> names = {"nile ML (1,0,0)",      "nile ML (2,0,0)",  "lakehuron ML (1,0,1)",
                                          "lakehuron ML (2,0,0)", "lh ML (1,0,0)",    "lh ML (0,1,1)",
                                          "nile ML (1,1,1)",      "airpassengers ML (1,1,1)"};
  int checked = 0;
  for (const tsf_test::ReferenceFit &r : tsf_test::LoadReferenceFits("ML")) {
    bool wanted = false;
    for (const auto &nm : names) wanted = wanted || nm == r.Name();
    if (!wanted) continue;
    SCOPED_TRACE(r.Name());
    const int M = r.d == 0 ? 1 : 0;
    BjFit f = RunNlalsm(tsf_test::LoadSeries(r.dataset + ".csv"), r.p, r.d, r.q, M);
    EXPECT_EQ(f.code, 1);
    double ar = 1.0;
    for (double v : f.phi) ar -= v;
    std::vector<double> ours(f.phi);
    ours.insert(ours.end(), f.theta.begin(), f.theta.end());
    if (M) ours.push_back(f.mean / ar);
    const std::vector<double> ref = r.Coefficients();
    for (std::size_t i = 0; i < ref.size(); ++i) EXPECT_NEAR(ours[i], ref[i], 0.25 * r.stderrs[i]) << i;
    EXPECT_REL_NEAR(f.var, r.sigma2, 0.08);
    ++checked;
  }
  EXPECT_EQ(checked, 8);
}

// No invertible MA(1) has a lag-one autocorrelation above 1/2: the moment estimate of this
// trending series is far outside, its back-forecast residuals overflow, and the fit says so.
TEST(BoxJenkins, OverflowingSumOfSquaresIsReported) {
  BjFit f;
  std::string out = tsf_test::CaptureStdout([&] { f = RunNlalsm(tsf_test::LoadSeries("airpassengers.csv"), 0, 0, 1, 1); });
  EXPECT_EQ(f.code, 15);
  EXPECT_EQ(out, "Program Exiting as the function value exceeds the maximum double value");
}

TEST(BoxJenkins, NlalsmRefusesSeriesTooShort) {
  // N <= d, and n - p - q - M <= 0 (no degrees of freedom left for the variance).
  const std::vector<std::vector<int>> cases = {{2, 1, 2, 0, 0}, {1, 0, 1, 0, 1}, {4, 2, 0, 1, 1}, {4, 1, 1, 1, 1}};
  for (const auto &c : cases) {
    const int N = c[0], p = c[1], d = c[2], q = c[3], M = c[4];
    std::vector<double> x(N, 1.0);
    for (int t = 0; t < N; ++t) x[t] = t * t;
    BjFit f = RunNlalsm(x, p, d, q, M);
    EXPECT_EQ(f.code, 0) << N << " " << p << " " << d << " " << q;
    EXPECT_EQ(f.mean, 9.0);
    EXPECT_EQ(f.var, 9.0);
    for (double v : f.res) EXPECT_EQ(v, 9.0);
  }
}

}  // namespace
