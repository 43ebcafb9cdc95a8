// Vector lanes for the product kernels; not installed.
#ifndef TSFORGE_CORE_MATRIX_LANES_INTERNAL_H
#define TSFORGE_CORE_MATRIX_LANES_INTERNAL_H

#if defined(__GNUC__)
#define TSF_ALWAYS_INLINE __attribute__((always_inline)) inline
#if defined(__x86_64__) || defined(__i386__)
#define TSF_X86_KERNELS 1
#endif

namespace tsf_matrix {

// A vector of L doubles in the compiler's generic vector extension: the same source
// becomes SSE2, AVX2 or AVX-512 code, or scalar code on targets without vectors.
template <int L>
struct lanes {
  typedef double type __attribute__((vector_size(8 * L)));
};

}  // namespace tsf_matrix

#endif  // __GNUC__
#endif  // TSFORGE_CORE_MATRIX_LANES_INTERNAL_H
