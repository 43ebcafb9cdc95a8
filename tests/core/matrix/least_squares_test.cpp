#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <vector>

using matrix_test::Mul;
using matrix_test::RandomMatrix;

namespace {

using lls_fn = int (*)(double *, double *, int, int, double *);
const lls_fn kSolvers[] = {lls_normal, lls_qr, lls_svd, lls_svd2};

const std::vector<double> kB{2, -1, 0, 3, 1, 4, -2, 0, 0, 1, 5, -1, 3, 0, 1, 2, -1, 2, 0, 1, 4, -3, 2, 0};
const std::vector<double> kb{1, -2, 3, 0.5, 2, -1};

}  // namespace

TEST(LeastSquares, WorkedExampleAllSolvers) {
  std::vector<double> A{1, 0, 0, 1, 1, 1}, b{1, 2, 3};
  for (lls_fn f : kSolvers) {
    std::vector<double> x(2, 9.0);
    EXPECT_EQ(f(A.data(), b.data(), 3, 2, x.data()), 0);
    EXPECT_NEAR(x[0], 1.0, 1e-14);
    EXPECT_NEAR(x[1], 2.0, 1e-14);
  }
}

TEST(LeastSquares, AgreesWithLapackReference) {
  // numpy.linalg.lstsq(B, b, rcond=None)[0] (LAPACK dgelsd).
  const double want[] = {-0.6417764622462615, 0.06255050046996358, 0.7747266790890959, 0.833921474861072};
  for (lls_fn f : kSolvers) {
    std::vector<double> A = kB, b = kb, x(4);
    EXPECT_EQ(f(A.data(), b.data(), 6, 4, x.data()), 0);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(x[i], want[i], 1e-13);
    EXPECT_EQ(A, kB);
    EXPECT_EQ(b, kb);
  }
}

TEST(LeastSquares, FourSolversAgreeOnWellConditionedProblems) {
  const int shapes[][2] = {{10, 3}, {50, 20}, {200, 50}};
  for (const auto &s : shapes) {
    const int M = s[0], N = s[1];
    std::vector<double> A = RandomMatrix(M, N, M), x0 = RandomMatrix(N, 1, N), r = RandomMatrix(M, 1, 1);
    std::vector<double> b = Mul(A, x0, M, N, 1);
    for (int i = 0; i < M; ++i) b[i] += 0.01 * r[i];
    std::vector<double> ref(N);
    ASSERT_EQ(lls_svd(A.data(), b.data(), M, N, ref.data()), 0);
    for (lls_fn f : kSolvers) {
      std::vector<double> x(N);
      ASSERT_EQ(f(A.data(), b.data(), M, N, x.data()), 0);
      for (int i = 0; i < N; ++i) EXPECT_NEAR(x[i], ref[i], 1e-11) << M << " x " << N;
    }
  }
}

TEST(LeastSquares, RankDeficientProblemGivesMinimumNormSolution) {
  // The last column is c0 + 2 c1. An absolute threshold kept the singular value of about
  // 4e-16 and returned x off by 1e15; numpy.linalg.lstsq gives the minimum-norm solution.
  std::vector<double> A = kB, b = kb, x(4);
  for (int i = 0; i < 6; ++i) A[i * 4 + 3] = A[i * 4] + 2 * A[i * 4 + 1];
  const double want[] = {-0.2713090418353577, 0.12871794871794884, 0.616923076923077, -0.01387314439946012};
  for (lls_fn f : {lls_svd, lls_svd2}) {
    EXPECT_EQ(f(A.data(), b.data(), 6, 4, x.data()), 0);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(x[i], want[i], 1e-13);
  }
  // QR without pivoting cannot solve it: rejected instead of dividing by a rounding-level
  // diagonal of R.
  std::vector<double> y(4, 5.0);
  EXPECT_EQ(lls_qr(A.data(), b.data(), 6, 4, y.data()), -1);
  EXPECT_EQ(y, std::vector<double>(4, 5.0));
}

TEST(LeastSquares, ZeroColumnMakesNormalEquationsFail) {
  // A zero last column (last pivot 0) and a zero middle column (a pivot of 0 above the
  // last level, which used to be accepted and returned 0 with NaN in x).
  for (int zero_col : {2, 1}) {
    std::vector<double> A = RandomMatrix(5, 3, 8), b = RandomMatrix(5, 1, 9), x(3, 4.0);
    for (int i = 0; i < 5; ++i) A[i * 3 + zero_col] = 0.0;
    EXPECT_EQ(lls_normal(A.data(), b.data(), 5, 3, x.data()), -1) << zero_col;
    EXPECT_EQ(x, std::vector<double>(3, 4.0));
    EXPECT_EQ(lls_qr(A.data(), b.data(), 5, 3, x.data()), -1) << zero_col;
  }
}
