#include "core/spectrum/spectrum.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "core/stats/stats.h"

using Vec = std::vector<double>;

TEST(SpectrumShift, Examples) {
  Vec even = {0, 1, 2, 3}, odd = {0, 1, 2, 3, 4};
  spectrum_shift(even.data(), 4);
  spectrum_shift(odd.data(), 5);
  EXPECT_EQ(even, (Vec{3, 0, 1, 2}));
  EXPECT_EQ(odd, (Vec{3, 4, 0, 1, 2}));
  EXPECT_EQ(isOdd(5) + isOdd(-3) + isOdd(0) + isOdd(10), 2);
}

TEST(SpectrumShift, TwoSidedFrequenciesAscendAfterTheShift) {
  for (int N = 1; N <= 12; ++N) {
    for (int nfft : {N, N + 3}) {
      spectrum_object *obj = spectrum_fft_init(N, nfft);
      Vec s(nfft), f(nfft);
      Vec x(N, 1.0);
      psd(obj, x.data(), s.data(), f.data(), 2);
      free_spectrum(obj);
      spectrum_shift(f.data(), nfft);
      for (int k = 1; k < nfft; ++k) ASSERT_LT(f[k - 1], f[k]) << "nfft=" << nfft << " k=" << k;
    }
  }
}

TEST(SpectrumDeathTest, RejectsLengthsBelowOneAndNfftBelowN) {
  Vec x(10, 1.0), out(10);
  struct Case {
    std::function<void()> call;
    const char *message;
  };
  const Case cases[] = {
      {[] { spectrum_fft_init(0, 4); }, "spectrum_fft_init: the length N must be at least 1\n"},
      {[] { spectrum_fft_init(10, 9); }, "spectrum_fft_init: nfft must be at least N\n"},
      {[&] {
         auto_object *obj = auto_fft_init(10);
         psd_autocovar(obj, x.data(), out.data(), out.data(), 9);
       },
       "psd_autocovar: nfft must be at least N\n"},
  };
  for (const Case &c : cases) {
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          dup2(2, 1);
          c.call();
        },
        ::testing::ExitedWithCode(255), std::string("^") + c.message + "$")
        << c.message;
  }
}
