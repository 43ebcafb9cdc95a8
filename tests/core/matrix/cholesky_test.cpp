#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <vector>

using namespace matrix_test;

TEST(Cholesky, WorkedExamplesAndZeroPivotsAtEveryLevel) {
  // P: numpy.linalg.cholesky(P).T, whose strict lower triangle is never read. S is
  // semi-definite with a second pivot of exactly 0, which used to be accepted and divided
  // by (status 0, NaN factors). chold accepts a zero pivot with a zero row (Z) and
  // otherwise fails without dividing by it. An empty want means status -1.
  const std::vector<double> S{1, 1, 2, 1, 1, 2, 2, 2, 5}, Z{1, 0, 0, 0, 0, 0, 0, 0, 2};
  const std::vector<double> P{4, 2, -2, 1, 99, 10, 1, -3, 99, 99, 6, 2, 99, 99, 99, 8};
  const std::vector<double> U{2, 1, -1, 0.5, 0, 3, 0.6666666666666666, -1.1666666666666665,
                              0, 0, 2.1343747458109497, 1.535708658571293, 0, 0, 0, 2.0076074827709847};
  struct Case {
    int (*f)(double *, int);
    std::vector<double> A, want;
  };
  const Case cases[] = {{chol, {4, 2, 2, 3}, {2, 1, 0, std::sqrt(2.0)}}, {chold, {4, 2, 2, 3}, {4, 0.5, 0, 2}},
                        {cholu, P, U}, {chold, Z, Z}, {chol, {1, 2, 2, 1}, {}}, {chol, {NAN, 1, 1, 2}, {}},
                        {cholu, S, {}}, {ichol, S, {}}, {chold, {0, 1, 1, 0}, {}}};
  for (const Case &c : cases) {
    std::vector<double> A = c.A;
    EXPECT_EQ(c.f(A.data(), static_cast<int>(std::lround(std::sqrt(A.size())))), c.want.empty() ? -1 : 0);
    for (size_t i = 0; i < c.want.size(); ++i) EXPECT_NEAR(A[i], c.want[i], 1e-15) << i;
    for (size_t i = 0; c.f == chold && i < A.size(); ++i) EXPECT_FALSE(std::isnan(A[i]));
  }
  // The same in a blocked factorisation: a zero pivot in the second block.
  std::vector<double> A = SpdMatrix(100, 3);
  for (int j = 0; j < 100; ++j) A[70 * 100 + j] = A[j * 100 + 70] = 0.0;
  EXPECT_EQ(chol(A.data(), 100), -1);
  double untouched = 5.0;
  EXPECT_EQ(chol(&untouched, 0), 0);
  EXPECT_EQ(untouched, 5.0);
}

TEST(Cholesky, FactorsReproduceMatrixAndBlockedHasTheUnblockedBits) {
  // chol and bcholu against cholu on both sides of the switch at 64, over several blocks
  // and with a last block of 2; chold also on indefinite matrices (non-zero leading minors).
  for (int n : {3, 20, 63, 64, 65, 128, 130, 200}) {
    std::vector<double> A = SpdMatrix(n, n), R = A, Bl = A, C = A;
    ASSERT_EQ(cholu(R.data(), n), 0);
    ASSERT_EQ(bcholu(Bl.data(), n), 0);
    ASSERT_EQ(chol(C.data(), n), 0);
    EXPECT_EQ(Bl, R) << n;
    EXPECT_EQ(C, R) << n;
    EXPECT_LE(MaxAbsDiff(Mul(R, R, n, n, n, true), A), 1e-13 * n * n) << n;
    for (bool indefinite : {false, true}) {
      for (int i = 0; indefinite && i < n; i += 2) A[i * n + i] = -A[i * n + i];
      std::vector<double> F = A, U(n * n, 0.0), DU(n * n, 0.0);
      ASSERT_EQ(chold(F.data(), n), 0);
      // A = U^T D U with unit diagonal U.
      for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
          U[i * n + j] = i == j ? 1.0 : F[i * n + j];
          DU[i * n + j] = F[i * n + i] * U[i * n + j];
        }
      EXPECT_LE(MaxAbsDiff(Mul(U, DU, n, n, n, true), A), 1e-12 * n * n) << n << " " << indefinite;
    }
  }
}

TEST(Cholesky, IncompleteFactorHasNoFillOnBandedMatrices) {
  const int n = 80;
  for (int bandwidth : {1, 2, 5}) {
    std::vector<double> A(n * n, 0.0), R = RandomMatrix(n, n, bandwidth);
    for (int i = 0; i < n; ++i)
      for (int j = i; j < n && j <= i + bandwidth; ++j) A[i * n + j] = A[j * n + i] = i == j ? 2.0 * bandwidth + 1 : R[i * n + j];
    std::vector<double> full = A, inc = A;
    ASSERT_EQ(chol(full.data(), n), 0);
    ASSERT_EQ(ichol(inc.data(), n), 0);
    EXPECT_EQ(inc, full) << bandwidth;
  }
  // Off the band the zeros stay: an arrow pattern whose full factor fills in.
  std::vector<double> F{4, 1, 1, 1, 1, 4, 0, 0, 1, 0, 4, 0, 1, 0, 0, 4};
  ASSERT_EQ(icholu(F.data(), 4), 0);
  for (int k : {1 * 4 + 2, 1 * 4 + 3, 2 * 4 + 3}) EXPECT_EQ(F[k], 0.0) << k;
  EXPECT_DOUBLE_EQ(F[1 * 4 + 1], std::sqrt(4 - 0.25));
}
