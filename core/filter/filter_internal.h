// Helpers shared by the sources of the filter family; not installed.
#ifndef TSFORGE_CORE_FILTER_INTERNAL_H
#define TSFORGE_CORE_FILTER_INTERNAL_H

namespace tsf_filter {

// The first count outputs of conv_direct(inp1, N, inp2, L, .), count <= N + L - 1, with
// the same summation order.
void direct_convolution(const double *inp1, int N, const double *inp2, int L, double *oup, int count);

// Prints "<fn>: <reason>" and ends the process with status -1.
[[noreturn]] void reject(const char *fn, const char *reason);

}  // namespace tsf_filter

#endif  // TSFORGE_CORE_FILTER_INTERNAL_H
