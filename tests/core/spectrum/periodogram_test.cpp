#include "core/spectrum/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/spectrum/power_reference.h"
#include "support/test_util.h"

namespace {

using Vec = std::vector<double>;
const double kPi = 3.14159265358979323846;

using spectrum_ref::DirectPower;
using spectrum_ref::RandomSeries;

struct Spectrum {
  Vec spec, freq;
};

Spectrum run_periodogram(Vec x, int side) {
  const int N = static_cast<int>(x.size());
  spectrum_object *obj = spectrum_fft_init(N, N);
  Spectrum s{Vec(N, NAN), Vec(N, NAN)};
  periodogram(obj, x.data(), s.spec.data(), s.freq.data(), side);
  free_spectrum(obj);
  return s;
}

Spectrum run_psd(Vec x, int nfft, int side) {
  spectrum_object *obj = spectrum_fft_init(static_cast<int>(x.size()), nfft);
  Spectrum s{Vec(nfft, NAN), Vec(nfft, NAN)};
  psd(obj, x.data(), s.spec.data(), s.freq.data(), side);
  free_spectrum(obj);
  return s;
}

// One-sided value of bin k from the two-sided one.
double one_sided(double two_sided, int k, int L) { return (k == 0 || 2 * k == L) ? two_sided : 2 * two_sided; }

}  // namespace

TEST(Periodogram, MatchesDirectDftForEveryLayoutAndLength) {
  std::vector<int> lengths = {97, 128, 243};
  for (int N = 1; N <= 40; ++N) lengths.push_back(N);
  for (int N : lengths) {
    const Vec x = RandomSeries(N, 11 + N);
    const Vec ref = DirectPower(x, N);
    const Spectrum two = run_periodogram(x, 2), one = run_periodogram(x, 1);
    double top = 0;
    for (double v : ref) top = std::fmax(top, v / N);
    const int h = N / 2;
    for (int k = 0; k < N; ++k) {
      const int bin = k <= h ? k : N - k;
      ASSERT_NEAR(two.spec[k], ref[bin] / N, 1e-13 * top) << "N=" << N << " k=" << k;
      ASSERT_NEAR(two.freq[k], (k <= h ? 1 : -1) * 2 * kPi * bin / N, 1e-15) << "N=" << N << " k=" << k;
      if (k > h) continue;
      ASSERT_NEAR(one.spec[k], one_sided(ref[k] / N, k, N), 2e-13 * top) << "N=" << N << " k=" << k;
      ASSERT_EQ(one.freq[k], two.freq[k]);
    }
    if (N % 2 == 0) {
      for (int k = 1; k < h; ++k) ASSERT_EQ(two.spec[h + k], two.spec[h - k]);
    }
  }
}

TEST(Periodogram, CosineAtABinFrequencyShowsAmplitudeSquaredTimesHalfN) {
  for (int N : {16, 15, 17, 1000}) {
    const int k0 = 3;
    const double A = 2.5;
    Vec x(N);
    for (int t = 0; t < N; ++t) x[t] = A * std::cos(2 * kPi * k0 * t / N);
    const Spectrum s = run_periodogram(x, 1);
    for (int k = 0; k <= N / 2; ++k) EXPECT_NEAR(s.spec[k], k == k0 ? A * A * N / 2 : 0.0, 1e-11 * N) << N << " " << k;
  }
}

// R: spec.pgram(ts(lh), taper = 0, detrend = FALSE, demean = FALSE, fast = FALSE)$spec,
// which is |X[k]|^2 / N at k = 1..N/2: ours is twice that inside, the same at Nyquist.
const Vec kRLh48 = {0.32650970705990429, 0.79865114245526037, 1.256845231084055, 0.66284366133110029,
                    0.13803913283021177, 1.5107571689575252, 0.23526771254279025, 0.66520833333333329,
                    0.28393413022515707, 0.095452697706741974, 0.24710226394018919, 0.18541666666666679,
                    0.023533895671910804, 0.071769627320001417, 0.050494682317144497, 0.11312500000000016,
                    0.020283204800449019, 0.041742831042473845, 0.090569176214731442, 0.015489672002232764,
                    0.020392623040309792, 0.11912653251799665, 0.16702824027314622, 0.020833333333333332};
// The same for lh[1:47] (a prime length).
const Vec kRLh47 = {0.25018201307502969, 0.69012414792884202, 1.3848190503041995, 0.65228426463137856,
                    0.27468182273755981, 1.2508746617205049, 0.50412565952314037, 0.42567935984904837,
                    0.2222881762341965, 0.11687699578716045, 0.31355856797058518, 0.21352579925875376,
                    0.00035041912454341088, 0.091277773924767408, 0.1158676993507492, 0.0431249374162112,
                    0.058883415716008455, 0.14737418507728434, 0.010241524823280404, 0.006961132730576418,
                    0.037953056051748257, 0.018537989442334101, 0.19274777285401995};

TEST(Periodogram, MatchesRSpecPgram) {
  Vec lh = tsf_test::LoadSeries("lh.csv");
  ASSERT_EQ(lh.size(), 48u);
  for (const Vec *ref : {&kRLh48, &kRLh47}) {
    const int N = ref == &kRLh48 ? 48 : 47;
    const Spectrum s = run_periodogram(Vec(lh.begin(), lh.begin() + N), 1);
    for (int k = 1; k <= N / 2; ++k) EXPECT_REL_NEAR(s.spec[k], one_sided((*ref)[k - 1], k, N), 1e-13) << N << " " << k;
  }
}

TEST(Psd, EqualsPeriodogramOverTwoPiWhenNfftIsN) {
  for (int N : {8, 9, 13, 64, 97}) {
    const Vec x = RandomSeries(N, N);
    for (int side : {1, 2}) {
      const Spectrum p = run_periodogram(x, side), d = run_psd(x, N, side);
      const int n = side == 2 ? N : N / 2 + 1;
      for (int k = 0; k < n; ++k) {
        EXPECT_REL_NEAR(d.spec[k], p.spec[k] / (2 * kPi), 1e-12) << N << " " << side << " " << k;
        EXPECT_EQ(d.freq[k], p.freq[k]);
      }
    }
  }
}

// NumPy 1.24: abs(np.fft.fft(nile, nfft))**2 / (2*pi*100) at the bins listed.
TEST(Psd, ZeroPaddedMatchesNumpy) {
  const Vec nile = tsf_test::LoadSeries("nile.csv");
  struct Case {
    int nfft;
    std::vector<std::pair<int, double>> bins;
  };
  const Case cases[] = {
      {128, {{0, 13451846.176400576}, {1, 704269.69674190751}, {7, 84560.484327533646}, {32, 3450.983687401892},
             {63, 2454.8757690697794}, {64, 4380.3912592790475}}},
      {135, {{0, 13451846.176400576}, {1, 1085767.5475125122}, {7, 34640.782393624089}, {33, 5331.0674844895129},
             {66, 690.57657491100429}, {67, 4456.123602240863}}}};
  for (const Case &c : cases) {
    const Spectrum two = run_psd(nile, c.nfft, 2), one = run_psd(nile, c.nfft, 1);
    for (auto [k, v] : c.bins) {
      EXPECT_REL_NEAR(two.spec[k], v, 1e-12) << c.nfft << " " << k;
      EXPECT_REL_NEAR(two.spec[c.nfft - k == c.nfft ? 0 : c.nfft - k], v, 1e-12) << c.nfft << " " << k;
      EXPECT_REL_NEAR(one.spec[k], one_sided(v, k, c.nfft), 1e-12) << c.nfft << " " << k;
      EXPECT_DOUBLE_EQ(one.freq[k], 2 * kPi * k / c.nfft);
    }
  }
}
