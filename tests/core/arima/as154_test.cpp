// Exact likelihood (fas154, as154) and conditional sum of squares (fcss) against R's
// log-likelihoods at fixed parameters, and the estimators' own edge cases.
#include <cmath>
#include <string>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "support/test_util.h"

namespace {

// ln(2 pi) exactly, as R forms its log-likelihood.
const double kLog2Pi = std::log(2.0 * 3.141592653589793);

struct FixedCase {
  std::string dataset, method;
  int p, d, q;
  std::vector<double> phi, theta;
  double mean, loglik, sigma2;
};

std::vector<double> SplitList(const std::string &s) {
  std::vector<double> v;
  std::string item;
  for (char ch : s + ";") {
    if (ch == ';') {
      if (!item.empty()) v.push_back(std::stod(item));
      item.clear();
    } else {
      item += ch;
    }
  }
  return v;
}

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

}  // namespace
