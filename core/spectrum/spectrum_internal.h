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

}  // namespace tsf_spectrum

#endif  // TSFORGE_CORE_SPECTRUM_INTERNAL_H
