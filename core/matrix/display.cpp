// Printing of a matrix to standard output.
#include "core/matrix/matrix.h"

#include <cstddef>
#include <cstdio>

void mdisplay(double *A, int M, int N) {
  std::printf("\n MATRIX Order : %d X %d \n \n", M, N);
  for (int i = 0; i < M; ++i) {
    std::printf("R%d: ", i);
    for (int j = 0; j < N; ++j) std::printf("%g ", A[static_cast<std::ptrdiff_t>(i) * N + j]);
    std::printf(":R%d \n", i);
  }
}
