#include <cstring>
#include <vector>

#include "core/fft/dft_reference.h"
#include "core/fft/fft.h"
#include "core/fft/fft_internal.h"
#include "support/test_util.h"

// Every radix, fixed and generic, as the outer level of a plan and inside it.
TEST(FftRadix, EveryRadixAgainstDirectDft) {
  const int lengths[] = {2 * 64, 3 * 64, 4 * 64, 5 * 64, 7 * 64, 8 * 64, 11 * 8, 13 * 9, 17 * 4, 19,
                         23 * 2, 29 * 3, 31 * 5, 37 * 7, 41, 43 * 2, 47 * 4, 53 * 8, 53 * 47, 3 * 3 * 3 * 3 * 3 * 3};
  for (int N : lengths) {
    std::vector<fft_data> x = fft_ref::RandomSignal(N, 99u + N);
    std::vector<int> ks = fft_ref::CheckedBins(N);
    for (int sgn : {1, -1}) {
      fft_object *p = fft_init(N, sgn);
      ASSERT_EQ(p->lt, 0) << N;
      std::vector<fft_data> X(N);
      fft_exec(p, x.data(), X.data());
      EXPECT_LE(fft_ref::MaxRelError(X, fft_ref::Dft(x, sgn, ks), ks, fft_ref::Norm(x)), 1e-12)
          << "N " << N << " sgn " << sgn;
      free_fft(p);
    }
  }
}

TEST(FftRadix, ExecutionLeavesInputAndPlanUnchanged) {
  const int N = 360;
  std::vector<fft_data> x = fft_ref::RandomSignal(N, 5u), x0 = x, X(N), Y(N);
  fft_object *p = fft_init(N, 1);
  std::vector<fft_data> tw(p->twiddles, p->twiddles + N);
  fft_exec(p, x.data(), X.data());
  fft_exec(p, x.data(), Y.data());
  for (int i = 0; i < N; ++i) {
    ASSERT_EQ(x[i].re, x0[i].re);
    ASSERT_EQ(x[i].im, x0[i].im);
    ASSERT_EQ(X[i].re, Y[i].re);
    ASSERT_EQ(X[i].im, Y[i].im);
    ASSERT_EQ(p->twiddles[i].re, tw[i].re);
    ASSERT_EQ(p->twiddles[i].im, tw[i].im);
  }
  free_fft(p);
}

// A single radix-r transform of length r of a pure tone exp(2*pi*i*f*n/r) is r at bin f.
TEST(FftRadix, PureTonesLandInOneBin) {
  for (int r : {2, 3, 4, 5, 7, 8, 11, 13, 53}) {
    fft_object *p = fft_init(r, 1);
    for (int f = 0; f < r; ++f) {
      std::vector<fft_data> x(r), X(r);
      for (int n = 0; n < r; ++n) x[n] = {std::cos(2 * M_PI * f * n / r), std::sin(2 * M_PI * f * n / r)};
      fft_exec(p, x.data(), X.data());
      for (int k = 0; k < r; ++k) {
        EXPECT_NEAR(X[k].re, k == f ? r : 0.0, 1e-13 * r) << r << " " << f << " " << k;
        EXPECT_NEAR(X[k].im, 0.0, 1e-13 * r) << r << " " << f << " " << k;
      }
    }
    free_fft(p);
  }
}

// The two-column kernels (machines with AVX) and the one-column kernels agree bit for bit.
TEST(FftRadix, TwoColumnKernelsBitIdentical) {
  if (!tsf_fft::two_column_kernels()) GTEST_SKIP() << "no two-column kernels on this machine";
  for (int N : {4, 6, 9, 16, 24, 27, 32, 45, 60, 64, 81, 98, 100, 121, 343, 1000, 1024, 2187, 3125, 4096, 30030}) {
    std::vector<fft_data> x = fft_ref::RandomSignal(N, 31u + N), a(N), b(N);
    x[N / 2] = {-0.0, 0.0};
    for (int sgn : {1, -1}) {
      fft_object *p = fft_init(N, sgn);
      tsf_fft::mixed_radix_columns(p, N, sgn, x.data(), a.data(), true);
      tsf_fft::mixed_radix_columns(p, N, sgn, x.data(), b.data(), false);
      ASSERT_EQ(std::memcmp(a.data(), b.data(), sizeof(fft_data) * N), 0) << N << " " << sgn;
      free_fft(p);
    }
  }
}
