#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <complex>
#include <vector>

using matrix_test::Mul;
using matrix_test::RandomMatrix;

namespace {

using cplx = std::complex<double>;

// Eigenvalues of A, checked for the pair convention.
std::vector<cplx> Eigenvalues(std::vector<double> A, int n) {
  std::vector<double> re(n), im(n);
  eig(A.data(), n, re.data(), im.data());
  std::vector<cplx> z;
  for (int i = 0; i < n; ++i) {
    if (im[i] != 0.0) {
      EXPECT_GT(im[i], 0.0) << "pair at " << i << " must list +im first";
      EXPECT_EQ(im[i + 1], -im[i]);
      EXPECT_NEAR(re[i + 1], re[i], 1e-14 * (1 + std::fabs(re[i])));
      z.emplace_back(re[i], im[i]);
      z.emplace_back(re[i + 1], im[i + 1]);
      ++i;
    } else {
      z.emplace_back(re[i], 0.0);
    }
  }
  return z;
}

// Each expected value matched to its nearest computed one, each computed value used once.
void ExpectSpectrum(const std::vector<cplx> &got, const std::vector<cplx> &want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  std::vector<bool> used(got.size(), false);
  for (const cplx &w : want) {
    size_t best = 0;
    double dist = HUGE_VAL;
    for (size_t i = 0; i < got.size(); ++i) {
      if (!used[i] && std::abs(got[i] - w) < dist) {
        dist = std::abs(got[i] - w);
        best = i;
      }
    }
    used[best] = true;
    EXPECT_LE(dist, tol) << w;
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

TEST(Eigen, WorkedExamples) {
  ExpectSpectrum(Eigenvalues({2, 0, 0, 3}, 2), {{2, 0}, {3, 0}}, 0.0);
  ExpectSpectrum(Eigenvalues({0, -1, 1, 0}, 2), {{0, -1}, {0, 1}}, 1e-15);
  ExpectSpectrum(Eigenvalues({-4.5}, 1), {{-4.5, 0}}, 0.0);
  // eig22 on a real pair (roots of z^2 - 5z - 2) and a complex one (z^2 - 4z + 13).
  double re[2], im[2];
  std::vector<double> real_pair{1, 2, 3, 4}, complex_pair{1, -5, 2, 3};
  eig22(real_pair.data(), 2, re, im);
  EXPECT_NEAR(re[0], (5 - std::sqrt(33.0)) / 2, 1e-14);
  EXPECT_NEAR(re[1], (5 + std::sqrt(33.0)) / 2, 1e-14);
  EXPECT_EQ(im[0], 0.0);
  eig22(complex_pair.data(), 2, re, im);
  EXPECT_NEAR(re[0], 2.0, 1e-14);
  EXPECT_NEAR(im[0], 3.0, 1e-14);
  EXPECT_EQ(im[1], -im[0]);
  EXPECT_EQ(complex_pair, (std::vector<double>{1, -5, 2, 3}));
  double untouched = 7.0;
  eig(&untouched, 0, &untouched, &untouched);
  EXPECT_EQ(untouched, 7.0);
}

TEST(Eigen, AgreesWithLapackReferences) {
  // numpy.linalg.eigvals (LAPACK dgeev) of the 5 x 5 matrix.
  std::vector<double> A{4, -2, 1, 3, 0, 1, 5, -3, 2, 2, -2, 1, 0, 4, -1, 3, 0, 2, -1, 5, 1, -4, 2, 0, 3};
  ExpectSpectrum(Eigenvalues(A, 5),
                 {{-4.000000000000001, 0},
                  {3.0562735218990946, -1.8456132018562705},
                  {3.0562735218990946, 1.8456132018562705},
                  {4.443726478100894, -2.8602840351913246},
                  {4.443726478100894, 2.8602840351913246}},
                 1e-13);
  // numpy.linalg.eigvalsh of the symmetric 4 x 4.
  std::vector<double> S{4, 1, -2, 0.5, 1, 3, 0, 1, -2, 0, 5, -1, 0.5, 1, -1, 2};
  ExpectSpectrum(Eigenvalues(S, 4),
                 {{1.0471386409290873, 0}, {2.3609454269745442, 0}, {3.6025744003397655, 0}, {6.989341531756605, 0}},
                 1e-13);
  // numpy.roots([1, -2, 3, -4, 5]): the companion matrix.
  ExpectSpectrum(Eigenvalues(Companion({-2, 3, -4, 5}), 4),
                 {{-0.2878154795576478, -1.416093080171908},
                  {-0.2878154795576478, 1.416093080171908},
                  {1.2878154795576484, -0.8578967583284913},
                  {1.2878154795576484, 0.8578967583284913}},
                 1e-13);
}

TEST(Eigen, RootsOfUnityConvergeWithExceptionalShifts) {
  // Without exceptional shifts the companion of z^6 - 1 cycles forever.
  for (int n : {4, 6, 8, 12}) {
    std::vector<double> c(n, 0.0);
    c[n - 1] = -1.0;
    std::vector<double> A = Companion(c), T(n * n);
    EXPECT_EQ(francis_iter(A.data(), n, T.data()), 1) << n;
    std::vector<cplx> want;
    for (int k = 0; k < n; ++k) want.push_back(std::polar(1.0, 2 * std::acos(-1.0) * k / n));
    ExpectSpectrum(Eigenvalues(A, n), want, 1e-12);
  }
}

TEST(Eigen, RandomMatricesKeepTraceAndSpectralMoments) {
  // sum lambda = trace A and sum lambda^2 = trace A^2; a symmetric matrix has real ones.
  for (int n : {3, 10, 40, 100}) {
    for (bool symmetric : {false, true}) {
      std::vector<double> A = RandomMatrix(n, n, 300 + n);
      if (symmetric)
        for (int i = 0; i < n; ++i)
          for (int j = 0; j < i; ++j) A[i * n + j] = A[j * n + i];
      std::vector<cplx> z = Eigenvalues(A, n);
      std::vector<double> A2 = Mul(A, A, n, n, n);
      cplx s1 = 0, s2 = 0;
      double t1 = 0, t2 = 0;
      for (const cplx &v : z) {
        s1 += v;
        s2 += v * v;
        if (symmetric) {
          EXPECT_EQ(v.imag(), 0.0);
        }
      }
      for (int i = 0; i < n; ++i) {
        t1 += A[i * n + i];
        t2 += A2[i * n + i];
      }
      EXPECT_NEAR(s1.real(), t1, 1e-10 * n) << n;
      EXPECT_NEAR(s2.real(), t2, 1e-10 * n * n) << n;
      EXPECT_NEAR(s1.imag(), 0.0, 1e-12 * n);
    }
  }
}
