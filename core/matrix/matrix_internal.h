// Helpers shared by the matrix kernels; not installed.
#ifndef TSFORGE_CORE_MATRIX_INTERNAL_H
#define TSFORGE_CORE_MATRIX_INTERNAL_H

#include <cstddef>

namespace tsf_matrix {

// malloc of count doubles; on failure prints "<who>: out of memory" and exits with
// status 1, so no kernel ever continues with a null scratch array.
double *scratch_doubles(std::size_t count, const char *who);

// C = A * B on strided views, each element summed from 0 with k increasing: the rounding
// sequence of every element is that of the scalar i-k-j loop, whichever kernel runs. A
// register-blocked kernel for the widest vectors the processor offers does the work. C
// must not overlap A or B.
void product_overwrite(const double *A, const double *B, double *C, int M, int N, int P,
                       std::ptrdiff_t lda, std::ptrdiff_t ldb, std::ptrdiff_t ldc);

// C += A * B on strided views, k increasing for every element.
void product_accumulate(const double *A, const double *B, double *C, int M, int N, int P,
                        std::ptrdiff_t lda, std::ptrdiff_t ldb, std::ptrdiff_t ldc);

// The kernels behind the two products, all with the same results; tests compare them.
enum class product_kernel { scalar, baseline, avx2, avx512 };
bool product_kernel_available(product_kernel kind);
product_kernel best_product_kernel();
void product_overwrite_with(product_kernel kind, const double *A, const double *B, double *C,
                            int M, int N, int P, std::ptrdiff_t lda, std::ptrdiff_t ldb,
                            std::ptrdiff_t ldc);
void product_accumulate_with(product_kernel kind, const double *A, const double *B, double *C,
                             int M, int N, int P, std::ptrdiff_t lda, std::ptrdiff_t ldb,
                             std::ptrdiff_t ldc);

// The last split of Strassen's recursion in one pass. left holds seven m x n operands one
// after another, row stride n: A11 + A22, A21 + A22, A11, A22, A11 + A12, A21 - A11,
// A12 - A22; right the seven n x p ones, row stride p: B11 + B22, B11, B12 - B22,
// B21 - B11, B22, B11 + B12, B21 + B22. With Mt the product of the t-th pair, each
// element summed from 0 in increasing k, the four m x p quadrants of C (row stride ldc)
// receive C11 = (M1 + M7) + (M4 - M5), C12 = M3 + M5, C21 = M4 + M2 and
// C22 = (M1 + M6) + (M3 - M2): the bits of forming the products one by one and combining
// them. Returns false, writing nothing, for a kernel without this form (scalar).
bool strassen_last_split_with(product_kernel kind, const double *left, const double *right, int m,
                              int n, int p, double *C, std::ptrdiff_t ldc);

// The elementwise passes of Strassen's recursion in the widest vectors the processor
// offers (the same bits at any width). strassen_sum: C = X + Y (sign > 0) or X - Y on
// m x p views. strassen_combine: the four quadrants of C (each m x p, row stride ldc)
// from the products M7, M5, M2, M6 held in them and M1, M3, M4 in X1, X2, X3:
// C11 = (X1 + C11) + (X3 - C12), C22 = (X1 + C22) + (X2 - C21), C12 = X2 + C12,
// C21 = X3 + C21. strassen_combine_unpadded: the same combination of M1..M7 (each m x p,
// row stride p) written only to the elements of the M x P matrix C that exist.
void strassen_sum(int sign, const double *X, std::ptrdiff_t ldx, const double *Y, std::ptrdiff_t ldy,
                  double *C, std::ptrdiff_t ldc, int m, int p);
void strassen_combine(const double *X1, const double *X2, const double *X3, std::ptrdiff_t ldx, double *C,
                      std::ptrdiff_t ldc, int m, int p);
void strassen_combine_unpadded(const double *const Mt[7], int m, int p, double *C, int M, int P);

// Applies the reflection I - beta v v^T to the m x n view B (row stride ldb): from the
// left (v has m entries; w = beta B^T v, B -= v w^T) or from the right (v has n entries;
// w = beta B v, B -= w v^T). Both are matrix products through the kernels above; work
// holds n (left) or m (right) doubles. beta = 0 leaves B as it is.
void reflect_left(double beta, const double *v, double *B, int m, int n, std::ptrdiff_t ldb,
                  double *work);
void reflect_right(double beta, const double *v, double *B, int m, int n, std::ptrdiff_t ldb,
                   double *work);

// x^T y over n entries, summed in increasing index.
double dot(const double *x, const double *y, int n);

// True when the address ranges [a, a + na) and [b, b + nb) share an element.
bool ranges_overlap(const double *a, std::size_t na, const double *b, std::size_t nb);

}  // namespace tsf_matrix

#endif  // TSFORGE_CORE_MATRIX_INTERNAL_H
