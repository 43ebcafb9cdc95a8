// Direct DFT power in long double and the random series shared by the spectrum tests.
#ifndef TSFORGE_TESTS_CORE_SPECTRUM_POWER_REFERENCE_H
#define TSFORGE_TESTS_CORE_SPECTRUM_POWER_REFERENCE_H

#include <cmath>
#include <random>
#include <vector>

namespace spectrum_ref {

// |X[k]|^2 for k = 0..L/2, X the L-point DFT of x (then zeros), in long double with the
// twiddles tabulated once.
inline std::vector<double> DirectPower(const std::vector<double> &x, int L) {
  const long double two_pi = 6.283185307179586476925286766559L;
  std::vector<long double> c(L), s(L);
  for (int j = 0; j < L; ++j) {
    c[j] = std::cos(two_pi * j / L);
    s[j] = std::sin(two_pi * j / L);
  }
  std::vector<double> p(L / 2 + 1);
  for (int k = 0; k <= L / 2; ++k) {
    long double re = 0, im = 0;
    for (size_t t = 0, j = 0; t < x.size(); ++t, j = (j + k) % L) {
      re += x[t] * c[j];
      im -= x[t] * s[j];
    }
    p[k] = static_cast<double>(re * re + im * im);
  }
  return p;
}

// N normal values with mean 1 and standard deviation 2.
inline std::vector<double> RandomSeries(int N, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> nd(1.0, 2.0);
  std::vector<double> x(N);
  for (double &v : x) v = nd(gen);
  return x;
}

}  // namespace spectrum_ref

#endif  // TSFORGE_TESTS_CORE_SPECTRUM_POWER_REFERENCE_H
