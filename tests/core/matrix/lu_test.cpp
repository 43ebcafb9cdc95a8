#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <vector>

using matrix_test::RandomMatrix;

TEST(Lu, PivotExamples) {
  std::vector<int> ipiv(3);
  std::vector<double> swap{0, 1, 1, 0};
  ludecomp(swap.data(), 2, ipiv.data());
  EXPECT_EQ(ipiv[0], 1);
  EXPECT_EQ(ipiv[1], 0);
  EXPECT_EQ(swap, (std::vector<double>{1, 0, 0, 1}));

  std::vector<double> a{2, 1, -4, 3};
  ludecomp(a.data(), 2, ipiv.data());
  EXPECT_EQ(ipiv[0], 1);
  // Rows exchanged, multiplier 2 / -4 = -0.5, U22 = 1 - (-0.5)(3) = 2.5.
  EXPECT_EQ(a, (std::vector<double>{-4, 3, -0.5, 2.5}));

  std::vector<double> b{1, 0, 0, -3, 1, 0, 2, 0, 1};
  ludecomp(b.data(), 3, ipiv.data());
  EXPECT_EQ(ipiv[0], 1);
  EXPECT_EQ(b[0], -3.0);

  // A tie keeps the upper row.
  std::vector<double> c{2, 1, -2, 5};
  ludecomp(c.data(), 2, ipiv.data());
  EXPECT_EQ(ipiv[0], 0);
  EXPECT_EQ(ipiv[1], 1);
  EXPECT_EQ(c, (std::vector<double>{2, 1, -1, 6}));
}

TEST(Lu, FactorsReproducePermutedMatrix) {
  const int n = 40;
  std::vector<double> A = RandomMatrix(n, n, 3), F = A;
  std::vector<int> ipiv(n);
  ludecomp(F.data(), n, ipiv.data());
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      double s = 0;
      for (int k = 0; k <= std::min(i, j); ++k) s += (k == i ? 1.0 : F[i * n + k]) * F[k * n + j];
      ASSERT_NEAR(s, A[ipiv[i] * n + j], 1e-13);
    }
    for (int j = 0; j < i; ++j) ASSERT_LE(std::fabs(F[i * n + j]), 1.0);
  }
}

TEST(Lu, SolveRandomSystems) {
  for (int n : {1, 2, 7, 60}) {
    std::vector<double> A = RandomMatrix(n, n, 40 + n), x0 = RandomMatrix(n, 1, 50 + n);
    for (int i = 0; i < n; ++i) A[i * n + i] += n;  // well conditioned
    std::vector<double> b(n, 0.0);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) b[i] += A[i * n + j] * x0[j];
    std::vector<double> F = A, x(n, 0.0);
    std::vector<int> ipiv(n);
    ludecomp(F.data(), n, ipiv.data());
    linsolve(F.data(), n, b.data(), ipiv.data(), x.data());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], x0[i], 1e-13) << n;
  }
}

TEST(Lu, SingularSystemPrintsMessageAndZeros) {
  std::vector<double> A{1, 2, 2, 4}, b{1, 1}, x{5, 5};
  std::vector<int> ipiv(2);
  ludecomp(A.data(), 2, ipiv.data());
  std::string out = tsf_test::CaptureStdout([&] { linsolve(A.data(), 2, b.data(), ipiv.data(), x.data()); });
  EXPECT_EQ(out, "The Matrix system does not have a unique solution");
  EXPECT_EQ(x, (std::vector<double>{0, 0}));

  // A zero pivot in the first column: every entry of x is zeroed, not only those
  // before the failing row.
  std::vector<double> S{0, 1, 2, 0, 3, 4, 0, 5, 6}, y{7, 7, 7}, c{1, 1, 1};
  std::vector<int> p3(3);
  ludecomp(S.data(), 3, p3.data());
  out = tsf_test::CaptureStdout([&] { linsolve(S.data(), 3, c.data(), p3.data(), y.data()); });
  EXPECT_EQ(out, "The Matrix system does not have a unique solution");
  EXPECT_EQ(y, (std::vector<double>{0, 0, 0}));

  std::vector<double> inv(9, 3.0);
  out = tsf_test::CaptureStdout([&] { minverse(S.data(), 3, p3.data(), inv.data()); });
  std::string once = "The Matrix system does not have a unique solution";
  EXPECT_EQ(out, once + once + once);
  EXPECT_EQ(inv, std::vector<double>(9, 0.0));
}

TEST(Lu, InverseTimesMatrixIsIdentity) {
  std::vector<double> I(16), F(16), inv(16);
  std::vector<int> ipiv(4);
  eye(I.data(), 4);
  F = I;
  ludecomp(F.data(), 4, ipiv.data());
  minverse(F.data(), 4, ipiv.data(), inv.data());
  EXPECT_EQ(inv, I);

  for (int n : {3, 25, 120}) {
    std::vector<double> A = RandomMatrix(n, n, 70 + n);
    for (int i = 0; i < n; ++i) A[i * n + i] += 2.0 * std::sqrt(static_cast<double>(n));
    std::vector<double> G = A, Ainv(n * n), prod(n * n);
    std::vector<int> piv(n);
    ludecomp(G.data(), n, piv.data());
    minverse(G.data(), n, piv.data(), Ainv.data());
    mmult(Ainv.data(), A.data(), prod.data(), n, n, n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) ASSERT_NEAR(prod[i * n + j], i == j ? 1.0 : 0.0, 1e-12) << n;
    mmult(A.data(), Ainv.data(), prod.data(), n, n, n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) ASSERT_NEAR(prod[i * n + j], i == j ? 1.0 : 0.0, 1e-12) << n;
  }
}

TEST(Lu, EmptySizeDoesNothing) {
  double a = 4.0, b = 1.0, x = 9.0;
  int piv = 5;
  ludecomp(&a, 0, &piv);
  linsolve(&a, 0, &b, &piv, &x);
  minverse(&a, 0, &piv, &x);
  EXPECT_EQ(a, 4.0);
  EXPECT_EQ(piv, 5);
  EXPECT_EQ(x, 9.0);
}
