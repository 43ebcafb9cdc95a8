#include <cstdio>
#include <random>
#include <unistd.h>
#include <vector>

#include "core/fft/fft.h"
#include "support/test_util.h"

namespace {

std::vector<double> RandomReal(int N, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(N);
  for (auto &v : x) v = u(gen);
  return x;
}

}  // namespace

TEST(FftReal, R2cEqualsComplexTransformBothSigns) {
  for (int N : {2, 4, 6, 10, 16, 24, 118, 194, 1000, 4096, 2 * 1009}) {
    std::vector<double> x = RandomReal(N, 17u + N);
    std::vector<fft_data> xc(N), ref(N), X(N);
    for (int i = 0; i < N; ++i) xc[i] = {x[i], 0.0};
    for (int sgn : {1, -1}) {
      fft_object *c = fft_init(N, sgn);
      fft_real_object *r = fft_real_init(N, sgn);
      fft_exec(c, xc.data(), ref.data());
      fft_r2c_exec(r, x.data(), X.data());
      for (int k = 0; k < N; ++k) {
        ASSERT_NEAR(X[k].re, ref[k].re, 1e-12 * std::sqrt(N)) << N << " " << sgn << " " << k;
        ASSERT_NEAR(X[k].im, ref[k].im, 1e-12 * std::sqrt(N)) << N << " " << sgn << " " << k;
      }
      EXPECT_EQ(X[0].im, 0.0);
      EXPECT_EQ(X[N / 2].im, 0.0);
      free_fft(c);
      free_real_fft(r);
    }
  }
}

TEST(FftReal, C2rInvertsR2cTimesN) {
  for (int N : {2, 8, 30, 194, 1024, 2 * 1009}) {
    std::vector<double> x = RandomReal(N, 23u + N), y(N);
    std::vector<fft_data> X(N);
    fft_real_object *f = fft_real_init(N, 1), *b = fft_real_init(N, -1);
    fft_r2c_exec(f, x.data(), X.data());
    fft_c2r_exec(b, X.data(), y.data());
    for (int i = 0; i < N; ++i) ASSERT_NEAR(y[i] / N, x[i], 1e-13) << N << " " << i;
    // With a forward plan the conjugate-symmetric spectrum's forward transform is N*x[-n].
    fft_c2r_exec(f, X.data(), y.data());
    for (int i = 0; i < N; ++i) ASSERT_NEAR(y[i] / N, x[(N - i) % N], 1e-13) << N << " " << i;
    free_real_fft(f);
    free_real_fft(b);
  }
}

TEST(FftReal, PlanLayout) {
  fft_real_object *r = fft_real_init(12, 1);
  EXPECT_EQ(r->cobj->N, 6);
  EXPECT_EQ(r->cobj->sgn, 1);
  for (int k = 0; k < 6; ++k) {
    EXPECT_REL_NEAR(r->twiddle2[k].re, std::cos(2 * M_PI * k / 12), 1e-15);
    EXPECT_REL_NEAR(r->twiddle2[k].im, std::sin(2 * M_PI * k / 12), 1e-15);
  }
  free_real_fft(r);
}

TEST(FftReal, RejectsOddLength) {
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); fft_real_init(7, 1); }, ::testing::ExitedWithCode(255),
              "fft_real_init: the length N must be even and at least 2");
}
