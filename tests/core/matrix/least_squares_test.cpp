#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <vector>

using namespace matrix_test;

namespace {

using lls_fn = int (*)(double *, double *, int, int, double *);
const lls_fn kSolvers[] = {lls_normal, lls_qr, lls_svd, lls_svd2};
const std::vector<double> kb{1, -2, 3, 0.5, 2, -1};

}  // namespace

TEST(LeastSquares, FourSolversAgreeWithReferences) {
  // numpy.linalg.lstsq(B, b, rcond=None)[0] (LAPACK dgelsd), then well-conditioned random
  // problems against lls_svd. A and b are not changed.
  struct Case {
    std::vector<double> A, b, want;
    double tol;
  };
  std::vector<Case> cases{{{1, 0, 0, 1, 1, 1}, {1, 2, 3}, {1, 2}, 1e-14},
                          {Reference6x4(), kb,
                           {-0.6417764622462615, 0.06255050046996358, 0.7747266790890959, 0.833921474861072}, 1e-13}};
  const int shapes[][2] = {{10, 3}, {50, 20}, {200, 50}};
  for (const auto &s : shapes) {
    const int M = s[0], N = s[1];
    Case c{RandomMatrix(M, N, M), RandomMatrix(M, 1, 1), std::vector<double>(N), 1e-11};
    std::vector<double> b = Mul(c.A, RandomMatrix(N, 1, N), M, N, 1);
    for (int i = 0; i < M; ++i) c.b[i] = b[i] + 0.01 * c.b[i];
    ASSERT_EQ(lls_svd(c.A.data(), c.b.data(), M, N, c.want.data()), 0);
    cases.push_back(c);
  }
  for (lls_fn f : kSolvers) {
    for (const Case &c : cases) {
      const int M = static_cast<int>(c.b.size()), N = static_cast<int>(c.want.size());
      std::vector<double> A = c.A, b = c.b, x(N, 9.0);
      EXPECT_EQ(f(A.data(), b.data(), M, N, x.data()), 0);
      for (int i = 0; i < N; ++i) EXPECT_NEAR(x[i], c.want[i], c.tol) << M << " x " << N;
      EXPECT_EQ(A, c.A);
      EXPECT_EQ(b, c.b);
    }
  }
}

TEST(LeastSquares, RankDeficientProblemsGetMinimumNormSolutionOrFail) {
  // B of rank 3: an absolute threshold kept its singular value of about 4e-16 and returned
  // x off by 1e15; numpy.linalg.lstsq gives the minimum-norm solution. QR without pivoting
  // rejects it instead of dividing by a rounding-level diagonal of R.
  std::vector<double> A = Reference6x4(true), b = kb, x(4, 5.0);
  EXPECT_EQ(lls_qr(A.data(), b.data(), 6, 4, x.data()), -1);
  EXPECT_EQ(x, std::vector<double>(4, 5.0));
  const double want[] = {-0.2713090418353577, 0.12871794871794884, 0.616923076923077, -0.01387314439946012};
  for (lls_fn f : {lls_svd, lls_svd2}) {
    EXPECT_EQ(f(A.data(), b.data(), 6, 4, x.data()), 0);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(x[i], want[i], 1e-13);
  }
  // A zero last column (last pivot 0) and a zero middle column (a pivot of 0 above the
  // last level, which used to be accepted and returned 0 with NaN in x).
  for (int zero_col : {2, 1}) {
    std::vector<double> A = RandomMatrix(5, 3, 8), b = RandomMatrix(5, 1, 9), x(3, 4.0);
    for (int i = 0; i < 5; ++i) A[i * 3 + zero_col] = 0.0;
    for (lls_fn f : {lls_normal, lls_qr}) {
      EXPECT_EQ(f(A.data(), b.data(), 5, 3, x.data()), -1) << zero_col;
      EXPECT_EQ(x, std::vector<double>(3, 4.0));
    }
  }
}
