// Exact likelihood (fas154, as154) and conditional sum of squares (fcss) against R's
// log-likelihoods at fixed parameters, and the estimators' own edge cases.
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/likelihood_batch_internal.h"
#include "reference_fits.h"
#include "support/test_util.h"

using tsf_test::SplitList;

namespace {

// ln(2 pi) exactly, as R forms its log-likelihood.
const double kLog2Pi = std::log(2.0 * 3.141592653589793);

struct FixedCase {
  std::string dataset, method;
  int p, d, q;
  std::vector<double> phi, theta;
  double mean, loglik, sigma2;
};

std::vector<FixedCase> LoadFixedCases() {
  auto rows = tsf_test::LoadTable(tsf_test::ReferencePath("r-arima-loglik-fixed.csv"));
  std::vector<FixedCase> cases;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto &r = rows[i];
    if (r.size() < 10) continue;
    cases.push_back({r[0], r[1], std::stoi(r[2]), std::stoi(r[3]), std::stoi(r[4]), SplitList(r[5]),
                     SplitList(r[6]), std::stod(r[7]), std::stod(r[8]), std::stod(r[9])});
  }
  return cases;
}

// Parameter vector of the objectives: phi, the MA side in the internal sign, the mean.
std::vector<double> ParameterVector(const FixedCase &c) {
  std::vector<double> b(c.phi);
  for (double t : c.theta) b.push_back(-t);
  if (c.d == 0) b.push_back(c.mean);
  return b;
}

struct Evaluation {
  double loglik, sigma2;
};

Evaluation Evaluate(const FixedCase &c, bool exact) {
  std::vector<double> x = tsf_test::LoadSeries(c.dataset + ".csv");
  const int N = static_cast<int>(x.size());
  alik_css_object *obj = exact ? alik_init(c.p, c.d, c.q, N) : alik_css_init(c.p, c.d, c.q, N);
  const int n = tsf_arima::load_series(obj, x.data(), N);
  std::vector<double> b = ParameterVector(c);
  const double l = exact ? fas154(b.data(), obj->pq, obj) : fcss(b.data(), obj->pq, obj);
  // R's CSS variance divides by the number of residuals used, n - p.
  Evaluation e{-0.5 * n * (2.0 * l + 1.0 + kLog2Pi), obj->ssq / (exact ? n : n - c.p)};
  EXPECT_EQ(obj->loglik, l);
  if (exact) free_alik(obj); else free_alik_css(obj);
  return e;
}

TEST(As154, ExactLogLikelihoodMatchesRAtFixedParameters) {
  int checked = 0;
  for (const FixedCase &c : LoadFixedCases()) {
    if (c.method != "ML") continue;
    SCOPED_TRACE(c.dataset + " ML (" + std::to_string(c.p) + "," + std::to_string(c.d) + "," +
                 std::to_string(c.q) + ")");
    Evaluation e = Evaluate(c, true);
    EXPECT_REL_NEAR(e.loglik, c.loglik, 1e-8);
    EXPECT_REL_NEAR(e.sigma2, c.sigma2, 1e-8);
    ++checked;
  }
  EXPECT_EQ(checked, 30);
}

TEST(Css, ConditionalLogLikelihoodMatchesRAtFixedParameters) {
  int checked = 0;
  for (const FixedCase &c : LoadFixedCases()) {
    if (c.method != "CSS") continue;
    SCOPED_TRACE(c.dataset + " CSS (" + std::to_string(c.p) + "," + std::to_string(c.d) + "," +
                 std::to_string(c.q) + ")");
    Evaluation e = Evaluate(c, false);
    EXPECT_REL_NEAR(e.loglik, c.loglik, 1e-8);
    EXPECT_REL_NEAR(e.sigma2, c.sigma2, 1e-8);
    ++checked;
  }
  EXPECT_EQ(checked, 30);
}

// Fits where R's ML optimum is not ours: R keeps the AR part stationary while this
// estimator does not, and flat or multi-modal surfaces (common factors, unit roots).
const std::set<std::string> kDifferentOptimum = {
    "lh ML (1,1,1)",        "lh ML (2,1,1)",       "airpassengers ML (1,0,0)", "airpassengers ML (1,0,1)",
    "airpassengers ML (0,0,2)", "lakehuron ML (1,1,1)", "lakehuron ML (3,1,2)", "wwwusage ML (1,0,0)",
    "wwwusage ML (1,0,1)",  "wwwusage ML (0,0,2)", "nile ML (2,0,1)"};

TEST(As154, FitsMatchRMaximumLikelihood) {
  int matched = 0;
  for (const tsf_test::ReferenceFit &r : tsf_test::LoadReferenceFits("ML")) {
    if (kDifferentOptimum.count(r.Name())) continue;
    SCOPED_TRACE(r.Name());
    tsf_test::EstimatorFit f = tsf_test::RunEstimator(as154, tsf_test::LoadSeries(r.dataset + ".csv"), r.p, r.d, r.q);
    const int n = f.N - r.d;
    EXPECT_EQ(f.code, 1);
    const std::vector<double> ours = f.Coefficients(r.d), ref = r.Coefficients();
    const int k = static_cast<int>(ours.size());
    for (int i = 0; i < k; ++i) {
      EXPECT_NEAR(ours[i], ref[i], 0.05 * r.stderrs[i]) << "coefficient " << i;
      // The covariance factor is n - d, R's is n.
      EXPECT_REL_NEAR(std::sqrt(f.vcov[i * k + i] * (n - r.d) / n), r.stderrs[i], 2e-2);
    }
    // R's differenced fits start the integrated states from a large but finite variance,
    // which moves its likelihood by up to a few parts in 1e5; the stationary ones agree to
    // the minimisers' tolerances.
    EXPECT_REL_NEAR(f.LogLik(r.d), r.loglik, r.d == 0 ? 2e-6 : 5e-5);
    EXPECT_REL_NEAR(f.var, r.sigma2, r.d == 0 ? 5e-5 : 2e-4);
    ++matched;
  }
  EXPECT_EQ(matched, 54);
}

// The conditional fit of this series meets an overflowing objective; the exact fit then
// starts from zero coefficients and reaches R's likelihood.
TEST(As154, OverflowedConditionalFitIsNoStartingPoint) {
  std::string out;
  tsf_test::EstimatorFit f;
  out = tsf_test::CaptureStdout(
      [&] { f = tsf_test::RunEstimator(as154, tsf_test::LoadSeries("airpassengers.csv"), 1, 0, 1); });
  EXPECT_EQ(out.rfind("Program Exiting as the function value exceeds the maximum double value", 0), 0u);
  EXPECT_EQ(f.code, 1);
  EXPECT_GT(f.LogLik(0), -700.874147 - 1e-3);
}

TEST(As154, WhiteNoiseResidualsAreTheDemeanedValues) {
  std::vector<double> x = tsf_test::LoadSeries("lh.csv");
  const int N = static_cast<int>(x.size());
  alik_object *obj = alik_init(0, 0, 0, N);
  EXPECT_EQ(obj->r, 1);
  tsf_arima::load_series(obj, x.data(), N);
  double b = 2.5, ssq = 0.0;
  for (double v : x) ssq += (v - b) * (v - b);
  EXPECT_REL_NEAR(fas154(&b, 1, obj), 0.5 * std::log(ssq / N), 1e-14);
  EXPECT_REL_NEAR(obj->ssq, ssq, 1e-14);
  for (int t = 0; t < N; ++t) EXPECT_REL_NEAR(obj->x[N + t], x[t] - b, 1e-15);
  free_alik(obj);
}

TEST(As154, AutoregressiveOneStartsFromTheStationaryVariance) {
  std::vector<double> x = tsf_test::LoadSeries("lh.csv");
  const int N = static_cast<int>(x.size());
  alik_object *obj = alik_init(1, 0, 0, N);
  tsf_arima::load_series(obj, x.data(), N);
  const double f = 0.55, mu = 2.4;
  std::vector<double> b = {f, mu};
  double ssq = (x[0] - mu) * (x[0] - mu) * (1.0 - f * f);
  for (int t = 1; t < N; ++t) ssq += std::pow(x[t] - mu - f * (x[t - 1] - mu), 2);
  const double sumlog = -std::log(1.0 - f * f);
  EXPECT_REL_NEAR(fas154(b.data(), 2, obj), 0.5 * (sumlog / N + std::log(ssq / N)), 1e-13);
  free_alik(obj);
}

// ARIMA(0, 1, 0) has nothing to estimate: one evaluation gives the variance of the
// differences and the residuals.
TEST(As154, NothingToEstimateAfterDifferencing) {
  std::vector<double> x = tsf_test::LoadSeries("nile.csv");
  const int N = static_cast<int>(x.size());
  for (auto fn : {as154, css}) {
    tsf_test::EstimatorFit f = tsf_test::RunEstimator(fn, x, 0, 1, 0);
    EXPECT_EQ(f.code, 1);
    double ssq = 0.0;
    for (int t = 1; t < N; ++t) ssq += (x[t] - x[t - 1]) * (x[t] - x[t - 1]);
    EXPECT_REL_NEAR(f.var, ssq / (N - 1), 1e-14);
    EXPECT_REL_NEAR(f.objective, 0.5 * std::log(ssq / (N - 1)), 1e-14);
    EXPECT_EQ(f.mean, 0.0);
    for (int t = 0; t < N - 2; ++t) EXPECT_EQ(f.res[t], x[t + 1] - x[t]);
    EXPECT_EQ(f.res[N - 2], -7.0);
  }
}

// Every estimator on every short series and small order: arrays sized exactly as
// documented, so that the address sanitizer sees any access outside them; a series no
// longer than d is refused.
TEST(As154, ShortSeriesStayInsideTheirArrays) {
  const double values[] = {3.0, 1.0, 4.0, 1.5, 5.0, 9.0, 2.0, 6.5, 5.0, 3.5};
  for (int N = 1; N <= 7; ++N) {
    for (int d = 0; d <= 2; ++d) {
      for (int p = 0; p <= 3; ++p) {
        for (int q = 0; q <= 3; ++q) {
          const int M = d == 0 ? 1 : 0, k = p + q + M, nres = N > d ? N - d : 1;
          std::vector<double> x(values, values + N), phi(p), theta(q), res(nres), vcov(k * k);
          double mean = 0.0, var = 0.0, loglik = 0.0;
          int codes[3];
          tsf_test::CaptureStdout([&] {
            codes[0] = css(x.data(), N, 7, p, d, q, phi.data(), theta.data(), &mean, &var, res.data(), &loglik,
                           vcov.data());
            codes[1] = as154(x.data(), N, 7, p, d, q, phi.data(), theta.data(), &mean, &var, res.data(), &loglik,
                             vcov.data());
            codes[2] = nlalsm(x.data(), N, p, d, q, phi.data(), theta.data(), M, &mean, &var, nullptr, vcov.data(),
                              res.data(), 2.220446049250313e-16);
          });
          if (N <= d) {
            for (int c : codes) EXPECT_EQ(c, 0) << N << " " << p << d << q;
          }
          if (N - d - p - q - M <= 0) {
            EXPECT_EQ(codes[2], 0) << N << " " << p << d << q;
          }
        }
      }
    }
  }
}

// An exact-likelihood fit: its code, what it printed, its evaluations, and every number it
// reports (phi, theta, mean, var, loglik, res, vcov) in one vector.
struct Fit {
  int code = 0;
  std::string printed;
  long evaluations = 0;
  std::vector<double> values;
};

Fit RunFit(std::vector<double> x, int p, int d, int q, tsf_arima::fit_options options) {
  const int N = static_cast<int>(x.size()), k = p + q + (d == 0 ? 1 : 0);
  std::vector<double> phi(p), theta(q), res(N, -7.0), vcov(k * k), scalars(3);
  Fit f;
  options.evaluations = &f.evaluations;
  f.printed = tsf_test::CaptureStdout([&] {
    f.code = tsf_arima::as154_fit(options, x.data(), N, 7, p, d, q, phi.data(), theta.data(), &scalars[0],
                                  &scalars[1], res.data(), &scalars[2], vcov.data());
  });
  for (const std::vector<double> *v : {&phi, &theta, &scalars, &res, &vcov})
    f.values.insert(f.values.end(), v->begin(), v->end());
  return f;
}

// The batched minimiser (in either instruction set, with and without its cache) gives the
// scalar fit bit for bit, printed messages included, over the whole order grid of the
// search, with fewer evaluations.
TEST(As154, BatchedFitsAreBitwiseTheScalarFits) {
  tsf_arima::fit_options scalar, baseline, wide, uncached;
  scalar.batched = false;
  baseline.lanes = tsf_arima::lane_set::baseline;
  wide.lanes = tsf_arima::lane_set::avx512;
  uncached.cache_entries = 0;
  long total_scalar = 0, total_batched = 0;
  for (const char *series : {"nile.csv", "lh.csv"}) {
    const std::vector<double> x = tsf_test::LoadSeries(series);
    for (int p = 0; p <= 3; ++p)
      for (int d = 0; d <= 2; ++d)
        for (int q = 0; q <= 3; ++q) {
          SCOPED_TRACE(std::string(series) + " (" + std::to_string(p) + "," + std::to_string(d) + "," +
                       std::to_string(q) + ")");
          const Fit want = RunFit(x, p, d, q, scalar);
          total_scalar += want.evaluations;
          for (const tsf_arima::fit_options *o : {&baseline, &wide, &uncached}) {
            const Fit got = RunFit(x, p, d, q, *o);
            if (o == &wide) total_batched += got.evaluations;
            EXPECT_EQ(got.code, want.code);
            EXPECT_EQ(std::memcmp(got.values.data(), want.values.data(), want.values.size() * sizeof(double)), 0);
            EXPECT_EQ(got.printed, want.printed);
          }
        }
  }
  EXPECT_LT(total_batched, total_scalar);
}

}  // namespace
