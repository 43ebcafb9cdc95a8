// Random matrices and a reference product for the matrix tests.
#ifndef TSFORGE_TESTS_CORE_MATRIX_TEST_UTIL_H
#define TSFORGE_TESTS_CORE_MATRIX_TEST_UTIL_H

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace matrix_test {

inline std::vector<double> RandomMatrix(int rows, int cols, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> a(static_cast<size_t>(rows) * cols);
  for (double &v : a) v = u(gen);
  return a;
}

// Textbook product in long double with its element-wise bound sum |a||b|.
inline void ReferenceProduct(const std::vector<double> &A, const std::vector<double> &B, int M,
                             int N, int P, std::vector<double> &C, std::vector<double> &bound) {
  C.assign(static_cast<size_t>(M) * P, 0.0);
  bound.assign(static_cast<size_t>(M) * P, 0.0);
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < P; ++j) {
      long double s = 0, b = 0;
      for (int k = 0; k < N; ++k) {
        s += static_cast<long double>(A[i * N + k]) * B[k * P + j];
        b += std::fabs(A[i * N + k] * B[k * P + j]);
      }
      C[i * P + j] = static_cast<double>(s);
      bound[i * P + j] = static_cast<double>(b);
    }
  }
}

// Scalar product summed from 0 with k increasing: the rounding of the direct loop.
inline std::vector<double> ScalarProduct(const std::vector<double> &A, const std::vector<double> &B,
                                         int M, int N, int P) {
  std::vector<double> C(static_cast<size_t>(M) * P);
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < P; ++j) {
      double s = 0.0;
      for (int k = 0; k < N; ++k) s += A[i * N + k] * B[k * P + j];
      C[i * P + j] = s;
    }
  }
  return C;
}

// Plain product for checking factorisations: A (M x N) B (N x P), or with ta A^T B for A
// (N x M).
inline std::vector<double> Mul(const std::vector<double> &A, const std::vector<double> &B, int M,
                               int N, int P, bool ta = false) {
  std::vector<double> C(static_cast<size_t>(M) * P, 0.0);
  for (int i = 0; i < M; ++i)
    for (int k = 0; k < N; ++k)
      for (int j = 0; j < P; ++j) C[i * P + j] += (ta ? A[k * M + i] : A[i * N + k]) * B[k * P + j];
  return C;
}

inline double MaxAbsDiff(const std::vector<double> &a, const std::vector<double> &b) {
  double m = 0.0;
  for (size_t i = 0; i < a.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
  return m;
}

// max |Q^T Q - I| for Q (rows x cols).
inline double OrthonormalityError(const std::vector<double> &Q, int rows, int cols) {
  std::vector<double> I(static_cast<size_t>(cols) * cols, 0.0);
  for (int i = 0; i < cols; ++i) I[i * cols + i] = 1.0;
  return MaxAbsDiff(Mul(Q, Q, cols, rows, cols, true), I);
}

// Symmetric positive definite B^T B + n I from a random B.
inline std::vector<double> SpdMatrix(int n, unsigned seed) {
  std::vector<double> B = RandomMatrix(n, n, seed), A = Mul(B, B, n, n, n, true);
  for (int i = 0; i < n; ++i) A[i * n + i] += n;
  return A;
}

// The 6 x 4 matrix of the LAPACK references; of rank 3 with its last column c0 + 2 c1.
inline std::vector<double> Reference6x4(bool rank3 = false) {
  std::vector<double> B{2, -1, 0, 3, 1, 4, -2, 0, 0, 1, 5, -1, 3, 0, 1, 2, -1, 2, 0, 1, 4, -3, 2, 0};
  for (int i = 0; rank3 && i < 6; ++i) B[i * 4 + 3] = B[i * 4] + 2 * B[i * 4 + 1];
  return B;
}

}  // namespace matrix_test

#endif
