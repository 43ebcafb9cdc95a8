// R's ARIMA fits (tests/reference/r-arima-fits.csv) and an estimator call shared by the
// estimator tests.
#ifndef TSFORGE_TESTS_CORE_ARIMA_REFERENCE_FITS_H
#define TSFORGE_TESTS_CORE_ARIMA_REFERENCE_FITS_H

#include <cmath>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace tsf_test {

// ln(2 pi) to full precision, as R forms its log-likelihoods.
inline double Log2Pi() { return std::log(2.0 * 3.14159265358979323846); }

// "0.5;0.2" -> {0.5, 0.2}; "" -> {}; "NaN" -> {nan}.
inline std::vector<double> SplitList(const std::string &s) {
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

// Largest |partial autocorrelation| of the polynomial 1 - c[0] z - ... - c[k-1] z^k by
// the step-down recursion: below 1 exactly when every root lies outside the unit circle.
inline double LargestReflection(std::vector<double> c) {
  double largest = 0.0;
  for (int k = static_cast<int>(c.size()); k >= 1; --k) {
    double kk = c[k - 1];
    largest = std::fmax(largest, std::fabs(kk));
    if (std::fabs(kk) >= 1.0) return largest;
    std::vector<double> next(k - 1);
    for (int j = 0; j < k - 1; ++j) next[j] = (c[j] + kk * c[k - 2 - j]) / (1.0 - kk * kk);
    c = next;
  }
  return largest;
}

struct ReferenceFit {
  std::string dataset, method;
  int p, d, q;
  std::vector<double> phi, theta;
  double mean, sigma2, loglik;
  std::vector<double> stderrs;  // phi, theta, mean
  std::string Name() const {
    return dataset + " " + method + " (" + std::to_string(p) + "," + std::to_string(d) + "," + std::to_string(q) +
           ")";
  }
  // Coefficients in the estimators' order: phi, theta, mean when d = 0.
  std::vector<double> Coefficients() const {
    std::vector<double> c(phi);
    c.insert(c.end(), theta.begin(), theta.end());
    if (d == 0) c.push_back(mean);
    return c;
  }
};

inline std::vector<ReferenceFit> LoadReferenceFits(const std::string &method) {
  auto rows = LoadTable(ReferencePath("r-arima-fits.csv"));
  std::vector<ReferenceFit> fits;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto &r = rows[i];
    if (r.size() < 12 || r[1] != method) continue;
    fits.push_back({r[0], r[1], std::stoi(r[2]), std::stoi(r[3]), std::stoi(r[4]), SplitList(r[5]), SplitList(r[6]),
                    std::stod(r[7]), std::stod(r[8]), std::stod(r[9]), SplitList(r[11])});
  }
  return fits;
}

// Outputs of css or as154 on a reference series.
struct EstimatorFit {
  int code;
  std::vector<double> phi, theta, res, vcov;
  double mean, var, objective;
  int N;
  std::vector<double> Coefficients(int d) const {
    std::vector<double> c(phi);
    c.insert(c.end(), theta.begin(), theta.end());
    if (d == 0) c.push_back(mean);
    return c;
  }
  // The log-likelihood formed from the objective value, n = N - d.
  double LogLik(int d) const { return -0.5 * (N - d) * (2.0 * objective + 1.0 + Log2Pi()); }
};

using EstimatorFn = int (*)(double *, int, int, int, int, int, double *, double *, double *, double *, double *,
                            double *, double *);

inline EstimatorFit RunEstimator(EstimatorFn fn, std::vector<double> x, int p, int d, int q, int optmethod = 7) {
  EstimatorFit f;
  f.N = static_cast<int>(x.size());
  const int k = p + q + (d == 0 ? 1 : 0);
  f.phi.assign(p, 0.0);
  f.theta.assign(q, 0.0);
  f.res.assign(f.N, -7.0);
  f.vcov.assign(k * k, 0.0);
  f.mean = f.var = f.objective = 0.0;
  f.code = fn(x.data(), f.N, optmethod, p, d, q, f.phi.data(), f.theta.data(), &f.mean, &f.var, f.res.data(),
              &f.objective, f.vcov.data());
  return f;
}

}  // namespace tsf_test

#endif  // TSFORGE_TESTS_CORE_ARIMA_REFERENCE_FITS_H
