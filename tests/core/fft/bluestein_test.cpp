#include <cstring>
#include <vector>

#include "core/fft/dft_reference.h"
#include "core/fft/fft.h"
#include "support/test_util.h"

TEST(FftBluestein, PrimeAndCompositeLengthsAgainstDirectDft) {
  for (int N : {59, 61, 67, 118, 127, 4099, 59 * 61, 65537}) {
    std::vector<fft_data> x = fft_ref::RandomSignal(N, 7u + N);
    std::vector<int> ks = fft_ref::CheckedBins(N);
    for (int sgn : {1, -1}) {
      fft_object *p = fft_init(N, sgn);
      ASSERT_EQ(p->lt, 1) << N;
      std::vector<fft_data> X(N);
      fft_exec(p, x.data(), X.data());
      EXPECT_LE(fft_ref::MaxRelError(X, fft_ref::Dft(x, sgn, ks), ks, fft_ref::Norm(x)), 1e-12)
          << "N " << N << " sgn " << sgn;
      free_fft(p);
    }
  }
}

TEST(FftBluestein, PlanUnchangedAfterExecution) {
  for (int sgn : {1, -1}) {
    const int N = 97, M = 256;
    fft_object *p = fft_init(N, sgn);
    std::vector<unsigned char> before(sizeof(fft_object) + M * sizeof(fft_data));
    std::memcpy(before.data(), p, before.size());
    std::vector<fft_data> x = fft_ref::RandomSignal(N, 3u), X(N);
    fft_exec(p, x.data(), X.data());
    EXPECT_EQ(p->N, N);
    EXPECT_EQ(p->sgn, sgn);
    EXPECT_EQ(p->lt, 1);
    EXPECT_EQ(std::memcmp(before.data(), p, before.size()), 0);
    free_fft(p);
  }
}

TEST(FftBluestein, RoundTrip) {
  const int N = 1009;
  std::vector<fft_data> x = fft_ref::RandomSignal(N, 11u), X(N), y(N);
  fft_object *f = fft_init(N, 1), *b = fft_init(N, -1);
  fft_exec(f, x.data(), X.data());
  fft_exec(b, X.data(), y.data());
  for (int i = 0; i < N; ++i) {
    ASSERT_NEAR(y[i].re / N, x[i].re, 1e-13);
    ASSERT_NEAR(y[i].im / N, x[i].im, 1e-13);
  }
  free_fft(f);
  free_fft(b);
}
