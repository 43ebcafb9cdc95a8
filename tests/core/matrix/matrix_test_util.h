// Random matrices and a reference product for the matrix tests.
#ifndef TSFORGE_TESTS_CORE_MATRIX_TEST_UTIL_H
#define TSFORGE_TESTS_CORE_MATRIX_TEST_UTIL_H

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

}  // namespace matrix_test

#endif
