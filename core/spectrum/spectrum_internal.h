// Helpers shared by the sources of the spectrum family; not installed.
#ifndef TSFORGE_CORE_SPECTRUM_INTERNAL_H
#define TSFORGE_CORE_SPECTRUM_INTERNAL_H

#include <cstddef>

#include "core/spectrum/spectrum.h"

namespace tsf_spectrum {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Prints msg and ends the process with status -1.
[[noreturn]] void reject(const char *msg);

// malloc of bytes, or "<what>: out of memory" and exit status -1.
void *work_block(std::size_t bytes, const char *what);

// Whether bins 0..L/2 of an L-point transform run through the one-sided chirp-z transform:
// odd lengths whose complex plan is a Bluestein plan.
bool needs_chirp(int L);
// The one-sided chirp-z data for n <= L inputs and the odd length L, or NULL when out of
// memory.
spectrum_chirp *chirp_init(int n, int L);
void chirp_free(spectrum_chirp *z);
// power[0] = X[0]^2 * edge and power[k] = |X[k]|^2 * interior for k = 1..L/2, X the L-point
// transform of x (z->n values, then zeros). One work block of 2M complex values.
void chirp_power_bins(const spectrum_chirp *z, const double *x, double edge, double interior, double *power,
                      const char *what);

}  // namespace tsf_spectrum

#endif  // TSFORGE_CORE_SPECTRUM_INTERNAL_H
