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

// Plain products for checking factorisations: A (M x N) B (N x P), and A^T B for A
// (N x M) and B (N x P).
inline std::vector<double> Mul(const std::vector<double> &A, const std::vector<double> &B, int M,
                               int N, int P) {
  std::vector<double> C(static_cast<size_t>(M) * P, 0.0);
  for (int i = 0; i < M; ++i)
    for (int k = 0; k < N; ++k)
      for (int j = 0; j < P; ++j) C[i * P + j] += A[i * N + k] * B[k * P + j];
  return C;
}

inline std::vector<double> MulT(const std::vector<double> &A, const std::vector<double> &B, int N,
                                int M, int P) {
  std::vector<double> C(static_cast<size_t>(M) * P, 0.0);
  for (int k = 0; k < N; ++k)
    for (int i = 0; i < M; ++i)
      for (int j = 0; j < P; ++j) C[i * P + j] += A[k * M + i] * B[k * P + j];
  return C;
}

inline double MaxAbsDiff(const std::vector<double> &a, const std::vector<double> &b) {
  double m = 0.0;
  for (size_t i = 0; i < a.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
  return m;
}

// max |Q^T Q - I| for Q (rows x cols).
inline double OrthonormalityError(const std::vector<double> &Q, int rows, int cols) {
  std::vector<double> G = MulT(Q, Q, rows, cols, cols);
  for (int i = 0; i < cols; ++i) G[i * cols + i] -= 1.0;
  double m = 0.0;
  for (double v : G) m = std::max(m, std::fabs(v));
  return m;
}

// Symmetric positive definite B B^T + n I from a random B.
inline std::vector<double> SpdMatrix(int n, unsigned seed) {
  std::vector<double> B = RandomMatrix(n, n, seed), A(static_cast<size_t>(n) * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = i == j ? n : 0.0;
      for (int k = 0; k < n; ++k) s += B[i * n + k] * B[j * n + k];
      A[i * n + j] = s;
    }
  return A;
}

}  // namespace matrix_test

#endif
