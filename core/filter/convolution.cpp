// Direct linear convolution of two real sequences, in two summation orders.
#include <cstdio>
#include <cstdlib>

#include "core/filter/filter.h"
#include "core/filter/filter_internal.h"

namespace {

void check_lengths(const char *fn, int N, int L) {
  if (N < 1 || L < 1) tsf_filter::reject(fn, "the lengths N and L must be at least 1");
}

}  // namespace

namespace tsf_filter {

void reject(const char *fn, const char *reason) {
  std::printf("%s: %s\n", fn, reason);
  std::exit(-1);
}

void direct_convolution(const double *inp1, int N, const double *inp2, int L, double *oup, int count) {
  // u is the longer input (length t), v the other (length s); the sum runs over u's index.
  const double *u = inp1, *v = inp2;
  int t = N, s = L;
  if (N < L) {
    u = inp2;
    v = inp1;
    t = L;
    s = N;
  }
  const int first = count < s ? count : s;
  for (int i = 0; i < first; ++i) {
    double sum = 0.0;
    for (int j = 0; j <= i; ++j) sum += u[j] * v[i - j];
    oup[i] = sum;
  }
  for (int i = s; i < count; ++i) {
    const int m = i - s + 1;
    const int end = (s + m < t) ? s + m : t;
    double sum = 0.0;
    for (int j = m; j < end; ++j) sum += u[j] * v[i - j];
    oup[i] = sum;
  }
}

}  // namespace tsf_filter

void conv_direct(double *inp1, int N, double *inp2, int L, double *oup) {
  check_lengths("conv_direct", N, L);
  tsf_filter::direct_convolution(inp1, N, inp2, L, oup, N + L - 1);
}

void conv_directx(double *inp1, int N, double *inp2, int L, double *oup) {
  check_lengths("conv_directx", N, L);
  for (int i = 0; i < N + L - 1; ++i) {
    double sum = 0.0;
    for (int j = 0; j < N; ++j) {
      if (i - j >= 0 && i - j < L) sum += inp1[j] * inp2[i - j];
    }
    oup[i] = sum;
  }
}

void conv(double *inp1, int N, double *inp2, int L, double *oup) {
  check_lengths("conv", N, L);
  if (N >= L) {
    conv_direct(inp1, N, inp2, L, oup);
  } else {
    conv_direct(inp2, L, inp1, N, oup);
  }
}

void convx(double *inp1, int N, double *inp2, int L, double *oup) {
  check_lengths("convx", N, L);
  if (N >= L) {
    conv_directx(inp1, N, inp2, L, oup);
  } else {
    conv_directx(inp2, L, inp1, N, oup);
  }
}
