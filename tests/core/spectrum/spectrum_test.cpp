#include "core/spectrum/spectrum.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "core/fft/fft.h"
#include "core/stats/stats.h"
#include "support/test_util.h"

namespace {

using Vec = std::vector<double>;
using Estimate = void (*)(spectrum_object *, double *, double *, double *, int);
const double kPi = 3.14159265358979323846;

struct Result {
  Vec power, freq;
};

// estimate (periodogram or psd) of x over L points, into arrays of exactly the documented
// size (L two-sided, L/2 + 1 one-sided) so the sanitizer build catches a write past them.
Result run(Estimate estimate, Vec x, int L, int side) {
  spectrum_object *obj = spectrum_fft_init(static_cast<int>(x.size()), L);
  const int len = side == 2 ? L : L / 2 + 1;
  Result r{Vec(len, NAN), Vec(len, NAN)};
  estimate(obj, x.data(), r.power.data(), r.freq.data(), side);
  free_spectrum(obj);
  return r;
}

// One-sided value of bin k from the two-sided one.
double one_sided(double two_sided, int k, int L) { return (k == 0 || 2 * k == L) ? two_sided : 2 * two_sided; }

// Both layouts of estimate for N random values over L points against the direct DFT power
// (long double) over s: largest |power - want| / (want + mean power) at most 1e-14, the
// mean power being the floor for bins near zero, whose relative error says nothing about
// the transform. Frequencies are 2*pi*k/L (negative past L/2), the two-sided values mirror
// exactly and ascend in frequency after spectrum_shift.
void check_against_dft(Estimate estimate, int N, int L, double s) {
  std::mt19937 gen(5u + N);
  std::normal_distribution<double> nd(1.0, 2.0);
  Vec x(N), power(L / 2 + 1);
  for (double &v : x) v = nd(gen);
  const long double two_pi = 6.283185307179586476925286766559L;
  std::vector<long double> c(L), sn(L);
  for (int j = 0; j < L; ++j) c[j] = std::cos(two_pi * j / L), sn[j] = std::sin(two_pi * j / L);
  double mean = 0;
  for (int k = 0; k <= L / 2; ++k) {
    long double re = 0, im = 0;
    for (int t = 0, j = 0; t < N; ++t, j = (j + k) % L) re += x[t] * c[j], im -= x[t] * sn[j];
    power[k] = static_cast<double>((re * re + im * im) / s);
    mean += power[k] / (L / 2 + 1);
  }
  double err = 0, ferr = 0;
  bool mirrored = true, ascending = true;
  for (int side : {1, 2}) {
    Result r = run(estimate, x, L, side);
    for (int k = 0; k < static_cast<int>(r.power.size()); ++k) {
      const int bin = k <= L / 2 ? k : L - k;
      const double want = side == 2 ? power[bin] : one_sided(power[k], k, L);
      err = std::fmax(err, std::fabs(r.power[k] - want) / (want + mean));
      ferr = std::fmax(ferr, std::fabs(r.freq[k] - (k <= L / 2 ? 1 : -1) * 2 * kPi * bin / L));
      if (side == 2 && bin != k) mirrored = mirrored && r.power[k] == r.power[bin];
    }
    if (side != 2) continue;
    spectrum_shift(r.freq.data(), L);
    for (int k = 1; k < L; ++k) ascending = ascending && r.freq[k - 1] < r.freq[k];
  }
  EXPECT_LE(err, 1e-14) << "N=" << N << " L=" << L;
  EXPECT_LE(ferr, 1e-15) << "N=" << N << " L=" << L;
  EXPECT_TRUE(mirrored && ascending) << "N=" << N << " L=" << L;
}

}  // namespace

// Odd lengths with a prime factor above 53 run through the one-sided chirp-z transform,
// whose circular convolution is as short as it may be without wrapping. The sweeps include
// lengths whose padded length is exactly n + L/2 (N = 67, 131, 229, 327; N = 1, 7, 46 over
// nfft = 59), where a convolution one point shorter would corrupt bin 0 or bin L/2.
// nfft > N pads with zeros, nfft > 2N makes the front of the chirp kernel longer than its
// mirrored back, and nfft = N gives the periodogram over 2*pi.
TEST(Spectrum, PeriodogramAndPsdMatchDirectDft) {
  std::vector<int> lengths = {97, 128, 243, 1009, 4099};
  for (int N = 1; N <= 40; ++N) lengths.push_back(N);
  for (int N = 59; N < 400; N += 2)
    if (!dividebyN(N)) lengths.push_back(N);
  for (int N : lengths) check_against_dft(periodogram, N, N, N);
  std::vector<std::pair<int, int>> cases = {{8, 8}, {9, 9}, {13, 13}, {64, 64}};  // (N, nfft)
  for (int N = 1; N <= 59; ++N) cases.push_back({N, 59});
  for (int N = 1; N <= 97; N += 3) cases.push_back({N, 97});
  for (int N : {1, 2, 100, 503, 504, 505, 1008, 1009}) cases.push_back({N, 1009});
  for (auto [N, L] : cases) check_against_dft(psd, N, L, 2 * kPi * N);
}

TEST(Periodogram, CosineAtABinFrequencyShowsAmplitudeSquaredTimesHalfN) {
  for (int N : {16, 15, 17, 1000}) {
    const int k0 = 3;
    const double A = 2.5;
    Vec x(N);
    for (int t = 0; t < N; ++t) x[t] = A * std::cos(2 * kPi * k0 * t / N);
    const Result s = run(periodogram, x, N, 1);
    for (int k = 0; k <= N / 2; ++k) EXPECT_NEAR(s.power[k], k == k0 ? A * A * N / 2 : 0.0, 1e-11 * N) << N << " " << k;
  }
}

// R 4.2, the raw periodogram of ts(lh) (taper 0, no detrending, no demeaning, slow
// transform) at k = 1..N/2, which is |X[k]|^2 / N, our two-sided value.
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

// NumPy 1.24: abs(np.fft.fft(nile, nfft))**2 / (2*pi*100) at the bins listed.
TEST(Spectrum, MatchesRPeriodogramAndNumpyPsd) {
  const Vec lh = tsf_test::LoadSeries("lh.csv"), nile = tsf_test::LoadSeries("nile.csv");
  ASSERT_EQ(lh.size(), 48u);
  struct Case {
    Estimate estimate;
    Vec x;
    int L;
    std::vector<std::pair<int, double>> bins;  // two-sided values
    double tol;
  };
  std::vector<Case> cases = {
      {psd, nile, 128, {{0, 13451846.176400576}, {1, 704269.69674190751}, {7, 84560.484327533646},
                        {32, 3450.983687401892}, {63, 2454.8757690697794}, {64, 4380.3912592790475}}, 1e-12},
      {psd, nile, 135, {{0, 13451846.176400576}, {1, 1085767.5475125122}, {7, 34640.782393624089},
                        {33, 5331.0674844895129}, {66, 690.57657491100429}, {67, 4456.123602240863}}, 1e-12}};
  for (const Vec *ref : {&kRLh48, &kRLh47}) {
    const int N = ref == &kRLh48 ? 48 : 47;
    cases.push_back({periodogram, Vec(lh.begin(), lh.begin() + N), N, {}, 1e-13});
    for (int k = 1; k <= N / 2; ++k) cases.back().bins.push_back({k, (*ref)[k - 1]});
  }
  for (const Case &c : cases) {
    const Result two = run(c.estimate, c.x, c.L, 2), one = run(c.estimate, c.x, c.L, 1);
    for (auto [k, v] : c.bins) {
      EXPECT_REL_NEAR(two.power[k], v, c.tol) << c.L << " " << k;
      EXPECT_REL_NEAR(two.power[(c.L - k) % c.L], v, c.tol) << c.L << " " << k;
      EXPECT_REL_NEAR(one.power[k], one_sided(v, k, c.L), c.tol) << c.L << " " << k;
    }
  }
}

// psd_autocovar once returned |F|^2/(2*pi*N) of the one-sided autocovariance and left
// freq[0] unset. The density of the autocovariance is the two-sided psd of the centred
// series, at any nfft >= N; R's raw periodogram of the demeaned lh over 2*pi is the density
// at the Fourier frequencies.
TEST(PsdAutocovar, IsTheDensityOfTheAutocovarianceNotItsSquaredTransform) {
  for (const char *file : {"nile.csv", "lh.csv"}) {
    Vec x = tsf_test::LoadSeries(file);
    const int N = static_cast<int>(x.size());
    const double m = mean(x.data(), N);
    Vec xc(x);
    for (double &v : xc) v -= m;
    for (int nfft : {N, N + 1, 2 * N - 1, 2 * N, 256}) {
      auto_object *obj = auto_fft_init(N);
      Vec d(nfft / 2 + 2, NAN), f(nfft / 2 + 2, NAN);
      psd_autocovar(obj, x.data(), d.data(), f.data(), nfft);
      free_auto(obj);
      const Result want = run(psd, xc, nfft, 2);
      EXPECT_EQ(f[0], 0.0);
      EXPECT_NEAR(d[0], 0.0, 1e-12 * d[1]);
      for (int k = 0; k <= nfft / 2; ++k) {
        EXPECT_NEAR(d[k], want.power[k], 1e-11 * d[1]) << file << " nfft=" << nfft << " k=" << k;
        EXPECT_EQ(f[k], want.freq[k]);
      }
      EXPECT_TRUE(std::isnan(d[nfft / 2 + 1])) << "wrote past nfft/2 + 1 values";
      if (N != 48 || nfft != N) continue;
      const std::pair<int, double> r[] = {
          {1, 0.32650970705990429}, {2, 0.79865114245526014}, {6, 1.5107571689575252}, {24, 0.020833333333333381}};
      for (auto [k, v] : r) EXPECT_REL_NEAR(d[k] * 2 * kPi, v, 1e-12) << k;
    }
  }
}

TEST(SpectrumShift, Examples) {
  Vec even = {0, 1, 2, 3}, odd = {0, 1, 2, 3, 4};
  spectrum_shift(even.data(), 4);
  spectrum_shift(odd.data(), 5);
  EXPECT_EQ(even, (Vec{3, 0, 1, 2}));
  EXPECT_EQ(odd, (Vec{3, 4, 0, 1, 2}));
  EXPECT_EQ(isOdd(5) + isOdd(-3) + isOdd(0) + isOdd(10), 2);
}

TEST(SpectrumDeathTest, RejectsLengthsBelowOneAndNfftBelowN) {
  Vec x(10, 1.0), out(10);
  const std::pair<std::function<void()>, const char *> cases[] = {
      {[] { spectrum_fft_init(0, 4); }, "spectrum_fft_init: the length N must be at least 1\n"},
      {[] { spectrum_fft_init(10, 9); }, "spectrum_fft_init: nfft must be at least N\n"},
      {[&] { psd_autocovar(auto_fft_init(10), x.data(), out.data(), out.data(), 9); },
       "psd_autocovar: nfft must be at least N\n"}};
  for (const auto &[call, message] : cases)
    EXPECT_EXIT((std::fflush(stdout), dup2(2, 1), call()), ::testing::ExitedWithCode(255),
                std::string("^") + message + "$")
        << message;
}
