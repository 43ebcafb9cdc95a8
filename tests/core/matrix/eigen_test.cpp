#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <complex>
#include <vector>

using namespace matrix_test;

namespace {

using cplx = std::complex<double>;
using eig_fn = void (*)(double *, int, double *, double *);

// Eigenvalues of the square A by f, checked for the pair convention and for A unchanged.
std::vector<cplx> Eigenvalues(const std::vector<double> &A, eig_fn f = eig) {
  const int n = static_cast<int>(std::lround(std::sqrt(A.size())));
  std::vector<double> W = A, re(n), im(n);
  f(W.data(), n, re.data(), im.data());
  EXPECT_EQ(W, A);
  std::vector<cplx> z;
  for (int i = 0; i < n; ++i) {
    z.emplace_back(re[i], im[i]);
    if (im[i] != 0.0) {
      EXPECT_GT(im[i], 0.0) << "pair at " << i << " must list +im first";
      EXPECT_EQ(im[i + 1], -im[i]);
      EXPECT_NEAR(re[i + 1], re[i], 1e-14 * (1 + std::fabs(re[i])));
      z.emplace_back(re[i + 1], im[i + 1]);
      ++i;
    }
  }
  return z;
}

// Each expected value matched to its nearest computed one, each computed value used once;
// a real one must come with an imaginary part of exactly 0.
void ExpectSpectrum(const std::vector<cplx> &got, const std::vector<cplx> &want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  std::vector<bool> used(got.size(), false);
  for (const cplx &w : want) {
    size_t best = 0;
    for (size_t i = 0; i < got.size(); ++i)
      if (!used[i] && (used[best] || std::abs(got[i] - w) < std::abs(got[best] - w))) best = i;
    used[best] = true;
    EXPECT_LE(std::abs(got[best] - w), tol) << w;
    EXPECT_TRUE(w.imag() != 0.0 || got[best].imag() == 0.0) << w;
  }
}

// Companion matrix of z^n + c[0] z^(n-1) + ... + c[n-1]: upper Hessenberg.
std::vector<double> Companion(const std::vector<double> &c) {
  const int n = static_cast<int>(c.size());
  std::vector<double> A(n * n, 0.0);
  for (int j = 0; j < n; ++j) A[j] = -c[j];
  for (int i = 1; i < n; ++i) A[i * n + i - 1] = 1.0;
  return A;
}

}  // namespace

TEST(Eigen, WorkedExamplesAndLapackReferences) {
  // eig22 on the roots of z^2 - 5z - 2 and of z^2 - 4z + 13; numpy.linalg.eigvals (LAPACK
  // dgeev) of the 5 x 5, eigvalsh of the symmetric 4 x 4, numpy.roots([1, -2, 3, -4, 5]).
  const eig_fn two = [](double *A, int, double *re, double *im) { eig22(A, 2, re, im); };
  const double r33 = std::sqrt(33.0);
  struct Case {
    std::vector<double> A;
    std::vector<cplx> want;
    double tol;
    eig_fn f;
  };
  const Case cases[] = {
      {{2, 0, 0, 3}, {{2, 0}, {3, 0}}, 0.0, eig},
      {{0, -1, 1, 0}, {{0, -1}, {0, 1}}, 1e-15, eig},
      {{-4.5}, {{-4.5, 0}}, 0.0, eig},
      {{1, 2, 3, 4}, {{(5 - r33) / 2, 0}, {(5 + r33) / 2, 0}}, 1e-14, two},
      {{1, -5, 2, 3}, {{2, 3}, {2, -3}}, 1e-14, two},
      {{4, -2, 1, 3, 0, 1, 5, -3, 2, 2, -2, 1, 0, 4, -1, 3, 0, 2, -1, 5, 1, -4, 2, 0, 3},
       {{-4.000000000000001, 0}, {3.0562735218990946, -1.8456132018562705}, {3.0562735218990946, 1.8456132018562705},
        {4.443726478100894, -2.8602840351913246}, {4.443726478100894, 2.8602840351913246}}, 1e-13, eig},
      {{4, 1, -2, 0.5, 1, 3, 0, 1, -2, 0, 5, -1, 0.5, 1, -1, 2},
       {{1.0471386409290873, 0}, {2.3609454269745442, 0}, {3.6025744003397655, 0}, {6.989341531756605, 0}}, 1e-13, eig},
      {Companion({-2, 3, -4, 5}),
       {{-0.2878154795576478, -1.416093080171908}, {-0.2878154795576478, 1.416093080171908},
        {1.2878154795576484, -0.8578967583284913}, {1.2878154795576484, 0.8578967583284913}}, 1e-13, eig}};
  for (const Case &c : cases) ExpectSpectrum(Eigenvalues(c.A, c.f), c.want, c.tol);
  double untouched = 7.0;
  eig(&untouched, 0, &untouched, &untouched);
  EXPECT_EQ(untouched, 7.0);
}

TEST(Eigen, RootsOfUnityConvergeWithExceptionalShifts) {
  // Without exceptional shifts the companion of z^6 - 1 cycles forever.
  for (int n : {4, 6, 8, 12}) {
    std::vector<double> c(n, 0.0), T(n * n);
    c[n - 1] = -1.0;
    std::vector<double> A = Companion(c);
    EXPECT_EQ(francis_iter(A.data(), n, T.data()), 1) << n;
    std::vector<cplx> want;
    for (int k = 0; k < n; ++k) want.push_back(std::polar(1.0, 2 * std::acos(-1.0) * k / n));
    ExpectSpectrum(Eigenvalues(A), want, 1e-12);
  }
}

TEST(Eigen, RandomMatricesKeepTraceAndSpectralMoments) {
  // sum lambda = trace A and sum lambda^2 = trace A^2; a symmetric matrix has real ones.
  for (int n : {3, 10, 40, 100}) {
    for (bool symmetric : {false, true}) {
      std::vector<double> A = RandomMatrix(n, n, 300 + n);
      for (int i = 0; symmetric && i < n; ++i)
        for (int j = 0; j < i; ++j) A[i * n + j] = A[j * n + i];
      std::vector<double> A2 = Mul(A, A, n, n, n);
      cplx s1 = 0, s2 = 0;
      double t1 = 0, t2 = 0;
      for (const cplx &v : Eigenvalues(A)) {
        s1 += v;
        s2 += v * v;
        EXPECT_TRUE(!symmetric || v.imag() == 0.0) << v;
      }
      for (int i = 0; i < n; ++i) t1 += A[i * n + i], t2 += A2[i * n + i];
      EXPECT_NEAR(s1.real(), t1, 1e-10 * n) << n;
      EXPECT_NEAR(s2.real(), t2, 1e-10 * n * n) << n;
    }
  }
}
