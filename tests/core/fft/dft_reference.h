// Direct DFT in long double and error measures shared by the fft tests.
#ifndef TSFORGE_TESTS_CORE_FFT_DFT_REFERENCE_H
#define TSFORGE_TESTS_CORE_FFT_DFT_REFERENCE_H

#include <cmath>
#include <random>
#include <vector>

#include "core/fft/fft.h"

namespace fft_ref {

struct LCx {
  long double re, im;
};

// Bins ks of X[k] = sum x[n] exp(-2*pi*i*sgn*k*n/N), from a long double root table.
inline std::vector<LCx> Dft(const std::vector<fft_data> &x, int sgn, const std::vector<int> &ks) {
  const long double two_pi = 6.283185307179586476925286766559L;
  const long long N = static_cast<long long>(x.size());
  std::vector<LCx> w(N);
  for (long long t = 0; t < N; ++t) {
    long double th = two_pi * t / N;
    w[t] = {std::cos(th), -sgn * std::sin(th)};
  }
  std::vector<LCx> X;
  for (int k : ks) {
    long double re = 0, im = 0;
    long long idx = 0;
    for (long long n = 0; n < N; ++n) {
      re += x[n].re * w[idx].re - x[n].im * w[idx].im;
      im += x[n].re * w[idx].im + x[n].im * w[idx].re;
      idx += k;
      if (idx >= N) idx -= N;
    }
    X.push_back({re, im});
  }
  return X;
}

// Every bin up to 4096 points, otherwise 97 bins spread over the range (and both ends).
inline std::vector<int> CheckedBins(int N) {
  std::vector<int> ks;
  if (N <= 4096) {
    for (int k = 0; k < N; ++k) ks.push_back(k);
  } else {
    for (int i = 0; i < 96; ++i) ks.push_back(static_cast<int>((static_cast<long long>(N) * i) / 96 + i % 7));
    ks.push_back(N - 1);
  }
  return ks;
}

inline std::vector<fft_data> RandomSignal(int N, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<fft_data> x(N);
  for (auto &v : x) v = {u(gen), u(gen)};
  return x;
}

inline double Norm(const std::vector<fft_data> &x) {
  long double s = 0;
  for (auto v : x) s += static_cast<long double>(v.re) * v.re + static_cast<long double>(v.im) * v.im;
  return static_cast<double>(std::sqrt(s));
}

// max over the bins ks of |X[k] - ref[k]|, divided by the norm of x.
inline double MaxRelError(const std::vector<fft_data> &X, const std::vector<LCx> &ref,
                          const std::vector<int> &ks, double norm) {
  double err = 0;
  for (size_t i = 0; i < ks.size(); ++i) {
    long double dr = X[ks[i]].re - ref[i].re, di = X[ks[i]].im - ref[i].im;
    err = std::fmax(err, static_cast<double>(std::sqrt(dr * dr + di * di)));
  }
  return err / norm;
}

}  // namespace fft_ref

#endif  // TSFORGE_TESTS_CORE_FFT_DFT_REFERENCE_H
