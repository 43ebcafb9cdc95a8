#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <vector>

using matrix_test::MaxAbsDiff;
using matrix_test::MulT;
using matrix_test::RandomMatrix;
using matrix_test::SpdMatrix;

TEST(Cholesky, WorkedExamples) {
  std::vector<double> A{4, 2, 2, 3};
  EXPECT_EQ(chol(A.data(), 2), 0);
  EXPECT_EQ(A, (std::vector<double>{2, 1, 0, std::sqrt(2.0)}));
  std::vector<double> B{1, 2, 2, 1};
  EXPECT_EQ(chol(B.data(), 2), -1);
  std::vector<double> D{4, 2, 2, 3};
  EXPECT_EQ(chold(D.data(), 2), 0);
  EXPECT_EQ(D, (std::vector<double>{4, 0.5, 0, 2}));
  // numpy.linalg.cholesky(P).T; the strict lower triangle is never read.
  std::vector<double> P{4, 2, -2, 1, 99, 10, 1, -3, 99, 99, 6, 2, 99, 99, 99, 8};
  EXPECT_EQ(cholu(P.data(), 4), 0);
  const double U[] = {2, 1, -1, 0.5, 0, 3, 0.6666666666666666, -1.1666666666666665,
                      0, 0, 2.1343747458109497, 1.535708658571293, 0, 0, 0, 2.0076074827709847};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(P[i], U[i], 1e-15) << i;
  double untouched = 5.0;
  EXPECT_EQ(chol(&untouched, 0), 0);
  EXPECT_EQ(untouched, 5.0);
}

TEST(Cholesky, BlockedEqualsUnblockedBitForBit) {
  // Both sides of the switch at 64, several blocks, and a last block of 2.
  for (int n : {63, 64, 65, 128, 130, 200}) {
    std::vector<double> A = SpdMatrix(n, n), R = A, Bl = A, C = A;
    ASSERT_EQ(cholu(R.data(), n), 0);
    ASSERT_EQ(bcholu(Bl.data(), n), 0);
    ASSERT_EQ(chol(C.data(), n), 0);
    EXPECT_EQ(Bl, R) << n;
    EXPECT_EQ(C, R) << n;
    std::vector<double> UtU = MulT(R, R, n, n, n);
    EXPECT_LE(MaxAbsDiff(UtU, A), 1e-13 * n * n) << n;
  }
}

TEST(Cholesky, ZeroPivotIsRejectedAtEveryLevel) {
  // A singular positive semi-definite matrix: the second pivot is exactly 0, which used
  // to be accepted and divided by, returning 0 with NaN factors.
  std::vector<double> S{1, 1, 2, 1, 1, 2, 2, 2, 5};
  std::vector<double> a = S, b = S;
  EXPECT_EQ(cholu(a.data(), 3), -1);
  EXPECT_EQ(ichol(b.data(), 3), -1);
  std::vector<double> nan_pivot{NAN, 1, 1, 2};
  EXPECT_EQ(chol(nan_pivot.data(), 2), -1);
  // The same in a blocked factorisation: a zero pivot in the second block.
  const int n = 100;
  std::vector<double> A = SpdMatrix(n, 3);
  for (int j = 0; j < n; ++j) A[70 * n + j] = A[j * n + 70] = 0.0;
  EXPECT_EQ(chol(A.data(), n), -1);
}

TEST(Cholesky, SquareRootFreeFormReproducesMatrix) {
  // Positive definite and indefinite (with non-zero leading minors) alike.
  for (int n : {3, 20, 70}) {
    for (bool indefinite : {false, true}) {
      std::vector<double> A = SpdMatrix(n, 40 + n);
      if (indefinite)
        for (int i = 0; i < n; i += 2) A[i * n + i] = -A[i * n + i];
      std::vector<double> F = A;
      ASSERT_EQ(chold(F.data(), n), 0);
      // A = U^T D U with unit diagonal U.
      std::vector<double> U(n * n, 0.0), DU(n * n, 0.0);
      for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
          U[i * n + j] = i == j ? 1.0 : F[i * n + j];
          DU[i * n + j] = F[i * n + i] * U[i * n + j];
        }
      EXPECT_LE(MaxAbsDiff(MulT(U, DU, n, n, n), A), 1e-12 * n * n) << n;
    }
  }
}

TEST(Cholesky, CholdZeroPivotNoLongerDividesByZero) {
  // A zero pivot with a zero row is a valid factorisation; with a non-zero row none exists.
  std::vector<double> ok{1, 0, 0, 0, 0, 0, 0, 0, 2};
  EXPECT_EQ(chold(ok.data(), 3), 0);
  EXPECT_EQ(ok, (std::vector<double>{1, 0, 0, 0, 0, 0, 0, 0, 2}));
  std::vector<double> bad{0, 1, 1, 0};
  EXPECT_EQ(chold(bad.data(), 2), -1);
  for (double v : bad) EXPECT_FALSE(std::isnan(v));
}

TEST(Cholesky, IncompleteFactorHasNoFillOnBandedMatrices) {
  for (int bandwidth : {1, 2, 5}) {
    const int n = 80;
    std::vector<double> A(n * n, 0.0), R = RandomMatrix(n, n, bandwidth);
    for (int i = 0; i < n; ++i)
      for (int j = i; j < n && j <= i + bandwidth; ++j) A[i * n + j] = A[j * n + i] = i == j ? 2.0 * bandwidth + 1 : R[i * n + j];
    std::vector<double> full = A, inc = A;
    ASSERT_EQ(chol(full.data(), n), 0);
    ASSERT_EQ(ichol(inc.data(), n), 0);
    EXPECT_EQ(inc, full) << bandwidth;
  }
  // Off the band the zeros stay: an arrow pattern whose full factor fills in.
  std::vector<double> arrow{4, 1, 1, 1, 1, 4, 0, 0, 1, 0, 4, 0, 1, 0, 0, 4};
  std::vector<double> F = arrow;
  ASSERT_EQ(icholu(F.data(), 4), 0);
  EXPECT_EQ(F[1 * 4 + 2], 0.0);
  EXPECT_EQ(F[1 * 4 + 3], 0.0);
  EXPECT_EQ(F[2 * 4 + 3], 0.0);
  EXPECT_DOUBLE_EQ(F[1 * 4 + 1], std::sqrt(4 - 0.25));
}
