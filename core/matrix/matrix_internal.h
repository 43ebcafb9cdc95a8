// Helpers shared by the matrix kernels; not installed.
#ifndef TSFORGE_CORE_MATRIX_INTERNAL_H
#define TSFORGE_CORE_MATRIX_INTERNAL_H

#include <cstddef>

namespace tsf_matrix {

// malloc of count doubles; on failure prints "<who>: out of memory" and exits with
// status 1, so no kernel ever continues with a null scratch array.
double *scratch_doubles(std::size_t count, const char *who);

// C = A * B on strided views, each element summed from 0 with k increasing. Loops run
// i, k, j so the innermost loop walks rows of B and C; the rounding sequence of every
// element is that of the scalar sum. C must not overlap A or B.
void product_overwrite(const double *A, const double *B, double *C, int M, int N, int P,
                       std::ptrdiff_t lda, std::ptrdiff_t ldb, std::ptrdiff_t ldc);

// C += A * B on strided views, k increasing for every element.
void product_accumulate(const double *A, const double *B, double *C, int M, int N, int P,
                        std::ptrdiff_t lda, std::ptrdiff_t ldb, std::ptrdiff_t ldc);

// True when the address ranges [a, a + na) and [b, b + nb) share an element.
bool ranges_overlap(const double *a, std::size_t na, const double *b, std::size_t nb);

}  // namespace tsf_matrix

#endif  // TSFORGE_CORE_MATRIX_INTERNAL_H
