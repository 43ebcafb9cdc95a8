// Simulated ARMA series for the AR, partial-autocorrelation and order-estimation tests:
// x[t] = sum phi[i] x[t-i] + e[t] - sum theta[j] e[t-j], e standard normal. The normals
// come from the fully specified mt19937_64 through Box-Muller, so every platform draws the
// same series.
#ifndef TSFORGE_TESTS_CORE_ARIMA_SIMULATED_SERIES_H
#define TSFORGE_TESTS_CORE_ARIMA_SIMULATED_SERIES_H

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace tsf_test {

inline std::vector<double> SimulateArma(const std::vector<double> &phi, const std::vector<double> &theta,
                                        int n, std::uint64_t seed, double level = 0.0) {
  std::mt19937_64 gen(seed);
  auto uniform = [&] { return (static_cast<double>(gen() >> 11) + 0.5) * 0x1.0p-53; };
  const int burn = 500;
  std::vector<double> x(n + burn, 0.0), e(n + burn, 0.0);
  for (int t = 0; t < n + burn; ++t) {
    e[t] = std::sqrt(-2.0 * std::log(uniform())) * std::cos(6.283185307179586 * uniform());
    double v = e[t];
    for (std::size_t i = 1; i <= phi.size() && i <= static_cast<std::size_t>(t); ++i) v += phi[i - 1] * x[t - i];
    for (std::size_t j = 1; j <= theta.size() && j <= static_cast<std::size_t>(t); ++j) v -= theta[j - 1] * e[t - j];
    x[t] = v;
  }
  std::vector<double> out(x.begin() + burn, x.end());
  for (double &v : out) v += level;
  return out;
}

}  // namespace tsf_test

#endif  // TSFORGE_TESTS_CORE_ARIMA_SIMULATED_SERIES_H
