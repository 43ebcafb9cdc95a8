#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "core/fft/dft_reference.h"
#include "core/fft/fft.h"
#include "support/test_util.h"

namespace {

std::vector<int> Factors(int M) {
  int arr[64];
  int n = factors(M, arr);
  return std::vector<int>(arr, arr + n);
}

// Forward and backward transforms of a random signal against the long double DFT, and
// the round trip forward-backward divided by N.
void CheckLength(int N) {
  SCOPED_TRACE(::testing::Message() << "N = " << N);
  std::vector<fft_data> x = fft_ref::RandomSignal(N, 1234u + N);
  std::vector<int> ks = fft_ref::CheckedBins(N);
  double norm = fft_ref::Norm(x);
  std::vector<fft_data> X[2];
  for (int sgn : {1, -1}) {
    fft_object *p = fft_init(N, sgn);
    ASSERT_NE(p, nullptr);
    std::vector<fft_data> &out = X[sgn > 0 ? 0 : 1];
    out.resize(N);
    fft_exec(p, x.data(), out.data());
    EXPECT_LE(fft_ref::MaxRelError(out, fft_ref::Dft(x, sgn, ks), ks, norm), 1e-12) << "sgn " << sgn;
    free_fft(p);
  }
  fft_object *inv = fft_init(N, -1);
  std::vector<fft_data> back(N);
  fft_exec(inv, X[0].data(), back.data());
  free_fft(inv);
  double err = 0;
  for (int i = 0; i < N; ++i) {
    err = std::fmax(err, std::hypot(back[i].re / N - x[i].re, back[i].im / N - x[i].im));
  }
  EXPECT_LE(err / norm, 1e-12);
}

}  // namespace

TEST(FftPlan, FactorsInApplicationOrder) {
  EXPECT_EQ(Factors(1), std::vector<int>{});
  EXPECT_EQ(Factors(2), std::vector<int>{2});
  EXPECT_EQ(Factors(16), (std::vector<int>{8, 2}));
  EXPECT_EQ(Factors(32), (std::vector<int>{8, 4}));
  EXPECT_EQ(Factors(1024), (std::vector<int>{8, 8, 8, 2}));
  EXPECT_EQ(Factors(360), (std::vector<int>{8, 5, 3, 3}));
  EXPECT_EQ(Factors(30030), (std::vector<int>{13, 11, 7, 5, 3, 2}));
  EXPECT_EQ(Factors(53 * 53 * 11 * 12), (std::vector<int>{53, 53, 11, 4, 3}));
  EXPECT_EQ(Factors(2 * 59 * 61 * 61), (std::vector<int>{2, 59, 61, 61}));
  EXPECT_EQ(Factors(2147483647), std::vector<int>{2147483647});
  EXPECT_EQ(Factors(1 << 30), std::vector<int>(10, 8));
}

TEST(FftPlan, DividebyNAndDivideby) {
  for (int n : {1, 2, 7, 8, 53, 47 * 43, 1024, 30030, 2 * 3 * 5 * 7 * 11 * 13 * 17}) EXPECT_EQ(dividebyN(n), 1) << n;
  for (int n : {0, -4, 59, 97, 1009, 4099, 2 * 59}) EXPECT_EQ(dividebyN(n), 0) << n;
  EXPECT_EQ(divideby(1, 5), 1);
  EXPECT_EQ(divideby(125, 5), 1);
  EXPECT_EQ(divideby(1 << 20, 2), 1);
  EXPECT_EQ(divideby(100, 10), 1);
  EXPECT_EQ(divideby(12, 2), 0);
  EXPECT_EQ(divideby(0, 2), 0);
  EXPECT_EQ(divideby(5, 1), 0);
  EXPECT_EQ(divideby(1, 1), 1);
}

TEST(FftPlan, TwiddleValues) {
  fft_data w[3];
  twiddle(w, 12, 4);
  for (int k = 0; k < 3; ++k) {
    EXPECT_REL_NEAR(w[k].re, std::cos(2 * M_PI * k / 12), 1e-15);
    EXPECT_REL_NEAR(w[k].im, -std::sin(2 * M_PI * k / 12), 1e-15);
  }
}

TEST(FftPlan, TwiddleTableLayout) {
  // N = 6 with radices {3, 2}: level 2 (L = 2): w2^0; level 6 (L = 6): j = 0, 1 and k = 0, 1.
  int rad[2] = {3, 2};
  fft_data t[6];
  longvectorN(t, 6, rad, 2);
  const int expo[5][2] = {{0, 2}, {0, 6}, {0, 6}, {1, 6}, {2, 6}};
  for (int i = 0; i < 5; ++i) {
    double th = 2 * M_PI * expo[i][0] / expo[i][1];
    EXPECT_REL_NEAR(t[i].re, std::cos(th), 1e-15) << i;
    EXPECT_REL_NEAR(t[i].im, -std::sin(th), 1e-15) << i;
  }
}

TEST(FftPlan, LayoutOfMixedRadixAndBluesteinPlans) {
  fft_object *f = fft_init(12, 1);
  fft_object *b = fft_init(12, -1);
  EXPECT_EQ(f->N, 12);
  EXPECT_EQ(f->lt, 0);
  ASSERT_EQ(f->lf, 2);
  EXPECT_EQ(f->radices[0], 4);
  EXPECT_EQ(f->radices[1], 3);
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(b->twiddles[i].re, f->twiddles[i].re);
    EXPECT_EQ(b->twiddles[i].im, -f->twiddles[i].im);
  }
  free_fft(f);
  free_fft(b);

  // 97 is prime: 2^7 = 128 < 2*96, so the padded length doubles to 256 = 8*8*4.
  fft_object *p = fft_init(97, -1);
  EXPECT_EQ(p->N, 97);
  EXPECT_EQ(p->sgn, -1);
  EXPECT_EQ(p->lt, 1);
  ASSERT_EQ(p->lf, 3);
  EXPECT_EQ(p->radices[0] * p->radices[1] * p->radices[2], 256);
  // Level 4 and j = 0 of level 32 are ones; index 10 is w32 conjugated (sgn = -1).
  EXPECT_EQ(p->twiddles[9].im, 0.0);
  EXPECT_REL_NEAR(p->twiddles[10].im, std::sin(2 * M_PI / 32), 1e-15);
  free_fft(p);
  // 257: 2^9 = 512 = 2*256, kept.
  p = fft_init(257, 1);
  EXPECT_EQ(p->lt, 1);
  int M = 1;
  for (int i = 0; i < p->lf; ++i) M *= p->radices[i];
  EXPECT_EQ(M, 512);
  free_fft(p);
}

TEST(FftPlan, ExecMatchesDirectDftAllLengths) {
  for (int N = 1; N <= 64; ++N) CheckLength(N);
  for (int N : {97, 360, 1000, 1009, 1024, 4096, 2 * 3 * 5 * 7 * 11 * 13}) CheckLength(N);
}

TEST(FftPlan, SmallCasesExact) {
  fft_object *p = fft_init(1, 1);
  fft_data one = {3.5, -2.0}, r;
  fft_exec(p, &one, &r);
  EXPECT_EQ(r.re, 3.5);
  EXPECT_EQ(r.im, -2.0);
  free_fft(p);
  p = fft_init(2, -1);
  fft_data x[2] = {{1, 2}, {5, -7}}, X[2];
  fft_exec(p, x, X);
  EXPECT_EQ(X[0].re, 6);
  EXPECT_EQ(X[0].im, -5);
  EXPECT_EQ(X[1].re, -4);
  EXPECT_EQ(X[1].im, 9);
  free_fft(p);
}

TEST(FftPlan, ImpulseAndConstant) {
  for (int N : {12, 97, 1024, 30030}) {
    std::vector<fft_data> x(N, {0.0, 0.0}), X(N);
    x[0].re = 1.0;
    fft_object *p = fft_init(N, 1);
    fft_exec(p, x.data(), X.data());
    for (int k = 0; k < N; ++k) {
      ASSERT_NEAR(X[k].re, 1.0, 1e-13) << N << " " << k;
      ASSERT_NEAR(X[k].im, 0.0, 1e-13) << N << " " << k;
    }
    std::vector<fft_data> c(N, {1.0, 0.0});
    fft_exec(p, c.data(), X.data());
    EXPECT_NEAR(X[0].re, N, 1e-12 * N);
    for (int k = 1; k < N; ++k) {
      ASSERT_NEAR(X[k].re, 0.0, 1e-12 * N) << N << " " << k;
      ASSERT_NEAR(X[k].im, 0.0, 1e-12 * N) << N << " " << k;
    }
    free_fft(p);
  }
}

TEST(FftPlan, RejectsInvalidArguments) {
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); fft_init(0, 1); }, ::testing::ExitedWithCode(255),
              "fft_init: the length N must be at least 1");
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); fft_init(8, 0); }, ::testing::ExitedWithCode(255),
              "fft_init: sgn must be 1 \\(forward\\) or -1 \\(backward\\)");
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); fft_init(1073741823, 1); }, ::testing::ExitedWithCode(255),
              "fft_init: the length N is too large");
}
