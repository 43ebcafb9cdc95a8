#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/spectrum/spectrum.h"
#include "core/stats/stats.h"
#include "support/test_util.h"

namespace {

using Vec = std::vector<double>;
const double kPi = 3.14159265358979323846;

struct Density {
  Vec spec, freq;
};

Density run_psd_autocovar(Vec x, int nfft) {
  auto_object *obj = auto_fft_init(static_cast<int>(x.size()));
  Density d{Vec(nfft / 2 + 2, NAN), Vec(nfft / 2 + 2, NAN)};
  psd_autocovar(obj, x.data(), d.spec.data(), d.freq.data(), nfft);
  free_auto(obj);
  return d;
}

}  // namespace

// psd_autocovar once returned |F|^2/(2*pi*N) of the one-sided autocovariance and left
// freq[0] unset. The density of the autocovariance is the two-sided psd of the centred
// series, at any nfft >= N.
TEST(PsdAutocovar, IsTheDensityOfTheAutocovarianceNotItsSquaredTransform) {
  for (const char *file : {"nile.csv", "lh.csv"}) {
    Vec x = tsf_test::LoadSeries(file);
    const int N = static_cast<int>(x.size());
    const double m = mean(x.data(), N);
    Vec xc(x);
    for (double &v : xc) v -= m;
    for (int nfft : {N, N + 1, 2 * N - 1, 2 * N, 256}) {
      const Density d = run_psd_autocovar(x, nfft);
      spectrum_object *obj = spectrum_fft_init(N, nfft);
      Vec spec(nfft), freq(nfft);
      psd(obj, xc.data(), spec.data(), freq.data(), 2);
      free_spectrum(obj);
      const double scale = d.spec[1];
      EXPECT_EQ(d.freq[0], 0.0);
      EXPECT_NEAR(d.spec[0], 0.0, 1e-12 * scale);
      for (int k = 0; k <= nfft / 2; ++k) {
        EXPECT_NEAR(d.spec[k], spec[k], 1e-11 * scale) << file << " nfft=" << nfft << " k=" << k;
        EXPECT_EQ(d.freq[k], freq[k]);
      }
      EXPECT_TRUE(std::isnan(d.spec[nfft / 2 + 1])) << "wrote past nfft/2 + 1 values";
    }
  }
}

// R: spec.pgram(ts(lh), taper = 0, detrend = FALSE, demean = TRUE, fast = FALSE)$spec at
// bins 1, 2, 6, 24 is 2*pi times the density at the Fourier frequencies.
TEST(PsdAutocovar, MatchesRSpecPgramOfTheCentredSeries) {
  const Density d = run_psd_autocovar(tsf_test::LoadSeries("lh.csv"), 48);
  const std::pair<int, double> ref[] = {
      {1, 0.32650970705990429}, {2, 0.79865114245526014}, {6, 1.5107571689575252}, {24, 0.020833333333333381}};
  for (auto [k, v] : ref) EXPECT_REL_NEAR(d.spec[k] * 2 * kPi, v, 1e-12) << k;
}
