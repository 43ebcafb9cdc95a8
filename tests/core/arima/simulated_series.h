// A simulated AR(1) x[t] = phi x[t-1] + e[t] + level, e standard normal from the fully
// specified mt19937_64 through Box-Muller, so every platform draws the same series.
#ifndef TSFORGE_TESTS_CORE_ARIMA_SIMULATED_SERIES_H
#define TSFORGE_TESTS_CORE_ARIMA_SIMULATED_SERIES_H

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace tsf_test {

inline std::vector<double> SimulateAr1(double phi, int n, std::uint64_t seed, double level = 0.0) {
  std::mt19937_64 gen(seed);
  auto uniform = [&] { return (static_cast<double>(gen() >> 11) + 0.5) * 0x1.0p-53; };
  std::vector<double> x(n + 500);  // the first 500 draws let the start die out
  for (std::size_t t = 0; t < x.size(); ++t)
    x[t] = (t > 0 ? phi * x[t - 1] : 0.0) +
           std::sqrt(-2.0 * std::log(uniform())) * std::cos(6.283185307179586 * uniform());
  std::vector<double> out(x.begin() + 500, x.end());
  for (double &v : out) v += level;
  return out;
}

}  // namespace tsf_test

#endif  // TSFORGE_TESTS_CORE_ARIMA_SIMULATED_SERIES_H
