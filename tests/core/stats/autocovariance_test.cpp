#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/stats/stats.h"
#include "support/test_util.h"

namespace {

const char kLagMessage[] =
    "\n Lag is greater than the length N of the input vector. It is automatically set to length N - 1.\n"
    "\n The Output Vector only contains N calculated values.";

}  // namespace

TEST(Autocovariance, ExactSmallExample) {
  double x[4] = {1, 2, 3, 4}, acov[3], acf[3];
  std::string out = tsf_test::CaptureStdout([&] {
    autocovar(x, 4, acov, 3);
    autocorr(x, 4, acf, 3);
  });
  EXPECT_EQ(out, "");
  EXPECT_EQ(acov[0], 1.25);
  EXPECT_EQ(acov[1], 0.3125);
  EXPECT_EQ(acov[2], -0.375);
  EXPECT_EQ(acf[0], 1.0);
  EXPECT_EQ(acf[1], 0.25);
  EXPECT_EQ(acf[2], -0.375 / 1.25);
  double a[3];
  acvf(x, 4, a, 3);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(a[k], acov[k]);
  acvf2acf(a, 3);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(a[k], acf[k]);
}

TEST(Autocovariance, LagCountCorrection) {
  double x[4] = {1, 2, 3, 4};
  const double expect[4] = {1.25, 0.3125, -0.375, -0.5625};
  double acov[6];
  // L = N: all four lags, silently.
  EXPECT_EQ(tsf_test::CaptureStdout([&] { autocovar(x, 4, acov, 4); }), "");
  for (int k = 0; k < 4; ++k) EXPECT_EQ(acov[k], expect[k]);
  // L > N: N - 1 values and both messages, once (also for the correlation).
  for (int k = 0; k < 6; ++k) acov[k] = 99;
  EXPECT_EQ(tsf_test::CaptureStdout([&] { autocovar(x, 4, acov, 5); }), kLagMessage);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(acov[k], expect[k]);
  EXPECT_EQ(acov[3], 99);
  for (int k = 0; k < 6; ++k) acov[k] = 99;
  EXPECT_EQ(tsf_test::CaptureStdout([&] { autocorr(x, 4, acov, 6); }), kLagMessage);
  EXPECT_EQ(acov[0], 1.0);
  EXPECT_EQ(acov[2], -0.375 / 1.25);
  EXPECT_EQ(acov[3], 99);
  // L < 0: nothing written, nothing printed.
  for (int k = 0; k < 6; ++k) acov[k] = 99;
  EXPECT_EQ(tsf_test::CaptureStdout([&] {
              autocovar(x, 4, acov, -2);
              autocorr(x, 4, acov, -2);
              acvf2acf(acov, 0);
            }),
            "");
  for (int k = 0; k < 6; ++k) EXPECT_EQ(acov[k], 99);
  // N = 1 with two lags asked: corrected to 0, so not even acf[0] is written.
  EXPECT_EQ(tsf_test::CaptureStdout([&] { autocorr(x, 1, acov, 2); }), kLagMessage);
  EXPECT_EQ(acov[0], 99);
}

TEST(Autocovariance, FftPlanLengths) {
  auto_object *a = auto_fft_init(100);
  EXPECT_EQ(a->N, 100);
  EXPECT_EQ(a->clen, 200);
  EXPECT_EQ(a->fobj->cobj->sgn, 1);
  EXPECT_EQ(a->iobj->cobj->sgn, -1);
  free_auto(a);
  a = auto_fft_init(11);
  EXPECT_EQ(a->clen, 24);
  free_auto(a);
  a = auto_fft_init(4);
  EXPECT_EQ(a->clen, 8);
  free_auto(a);
}

TEST(Autocovariance, FftSmallExampleAndMessages) {
  double x[4] = {1, 2, 3, 4}, acov[6], acf[6];
  auto_object *a = auto_fft_init(4);
  EXPECT_EQ(tsf_test::CaptureStdout([&] { autocovar_fft(a, x, acov, 4); }), "");
  const double expect[4] = {1.25, 0.3125, -0.375, -0.5625};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(acov[k], expect[k], 1e-15);
  for (int k = 0; k < 6; ++k) acov[k] = acf[k] = 99;
  EXPECT_EQ(tsf_test::CaptureStdout([&] { autocovar_fft(a, x, acov, 6); }), kLagMessage);
  EXPECT_EQ(tsf_test::CaptureStdout([&] { autocorr_fft(a, x, acf, 6); }), kLagMessage);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(acov[k], expect[k], 1e-15);
  EXPECT_EQ(acov[3], 99);
  EXPECT_EQ(acf[0], 1.0);
  EXPECT_NEAR(acf[1], 0.25, 1e-15);
  EXPECT_NEAR(acf[2], -0.3, 1e-15);
  EXPECT_EQ(acf[3], 99);
  free_auto(a);
}

TEST(Autocovariance, DirectAgainstFftOnBundledSeries) {
  for (const char *name : {"nile.csv", "lakehuron.csv", "lh.csv", "wwwusage.csv", "airpassengers.csv", "co2.csv"}) {
    std::vector<double> x = tsf_test::LoadSeries(name);
    const int N = static_cast<int>(x.size());
    ASSERT_GT(N, 40) << name;
    std::vector<double> d(N), f(N), r1(N), r2(N);
    autocovar(x.data(), N, d.data(), N);
    autocorr(x.data(), N, r1.data(), N);
    auto_object *a = auto_fft_init(N);
    autocovar_fft(a, x.data(), f.data(), N);
    autocorr_fft(a, x.data(), r2.data(), N);
    free_auto(a);
    for (int k = 0; k < N; ++k) {
      ASSERT_NEAR(f[k], d[k], 1e-12 * d[0]) << name << " lag " << k;
      ASSERT_NEAR(r2[k], r1[k], 1e-12) << name << " lag " << k;
    }
    // The direct values against the formula in long double at a few lags.
    long double m = 0;
    for (double v : x) m += v;
    m /= N;
    for (int k : {0, 1, 12, N - 1}) {
      long double s = 0;
      for (int t = 0; t + k < N; ++t) s += (x[t] - m) * (x[t + k] - m);
      EXPECT_NEAR(d[k], static_cast<double>(s / N), 1e-13 * d[0]) << name << " lag " << k;
    }
    std::vector<double> o0(N), o1(N);
    acvf_opt(x.data(), N, 0, o0.data(), N);
    acvf_opt(x.data(), N, 1, o1.data(), N);
    for (int k = 0; k < N; ++k) {
      ASSERT_EQ(o0[k], d[k]);
      ASSERT_EQ(o1[k], f[k]);
    }
  }
}

// clen*N is beyond the int range here (80000 * 40000).
TEST(Autocovariance, FftLongSeriesDivisor) {
  const int N = 40000;
  std::mt19937 gen(8);
  std::normal_distribution<double> g;
  std::vector<double> x(N);
  double prev = 0;
  for (auto &v : x) v = prev = 0.6 * prev + g(gen);
  std::vector<double> d(20), f(20);
  autocovar(x.data(), N, d.data(), 20);
  auto_object *a = auto_fft_init(N);
  EXPECT_EQ(a->clen, 80000);
  autocovar_fft(a, x.data(), f.data(), 20);
  free_auto(a);
  for (int k = 0; k < 20; ++k) EXPECT_NEAR(f[k], d[k], 1e-12 * d[0]) << k;
  EXPECT_NEAR(d[1] / d[0], 0.6, 0.02);
}

TEST(Autocovariance, AcvfOptUnknownMethod) {
  double x[4] = {1, 2, 3, 4}, acov[3] = {7, 7, 7};
  EXPECT_EQ(tsf_test::CaptureStdout([&] { acvf_opt(x, 4, 2, acov, 3); }),
            "\n The code only accepts numerical values 0 and 1 \n"
            "\n Method 0 : General Method \n"
            "\n Method 1 : FFT \n");
  for (double v : acov) EXPECT_EQ(v, 7);
}
