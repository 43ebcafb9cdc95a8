// Helpers shared by the sources of the fft family; not installed.
#ifndef TSFORGE_CORE_FFT_INTERNAL_H
#define TSFORGE_CORE_FFT_INTERNAL_H

#include "core/fft/fft.h"

namespace tsf_fft {

// Mixed-radix transform of the plan's working length n (the product of its radices)
// in direction sgn, with the plan's twiddle table (made for the plan's own sign).
// in and out must not overlap. Allocates nothing.
void mixed_radix(const fft_object *obj, int n, int sgn, const fft_data *in, fft_data *out);

// mixed_radix with the two-column kernels allowed or not (they run only when the machine
// has them); both give the same values bit for bit.
void mixed_radix_columns(const fft_object *obj, int n, int sgn, const fft_data *in, fft_data *out,
                         bool two_columns);
// Whether this build and machine have the two-column kernels.
bool two_column_kernels();

// Bluestein transform of length obj->N on the padded length of the plan.
void bluestein(const fft_object *obj, const fft_data *in, fft_data *out);

// Prints "<what>: out of memory" and ends the process with status -1.
[[noreturn]] void out_of_memory(const char *what);

}  // namespace tsf_fft

#endif  // TSFORGE_CORE_FFT_INTERNAL_H
