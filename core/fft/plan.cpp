// FFT plans: factorisation of the length over the supported radices, the twiddle table,
// the padded length of Bluestein plans, and the dispatch of fft_exec.
#include <climits>
#include <initializer_list>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/fft/fft.h"
#include "core/fft/fft_internal.h"

namespace {

const double kTwoPi = 6.283185307179586476925286766559;

// Radices tried in order; the primes are divided out first so that the small radices
// with fixed butterflies end up innermost.
const int kPrimeRadices[] = {53, 47, 43, 41, 37, 31, 29, 23, 19, 17, 13, 11};
const int kSmallRadices[] = {8, 7, 5, 4, 3, 2};

// Divides every supported radix out of M, appending it to arr when arr is not NULL.
// Returns what remains and sets *count to the number of radices found.
int divide_supported(int M, int *arr, int *count) {
  int c = 0;
  for (int r : kPrimeRadices) {
    while (M % r == 0) {
      if (arr) arr[c] = r;
      ++c;
      M /= r;
    }
  }
  for (int r : kSmallRadices) {
    while (M % r == 0) {
      if (arr) arr[c] = r;
      ++c;
      M /= r;
    }
  }
  *count = c;
  return M;
}

// Padded length of a Bluestein plan: the power of two 2^ceil(log2 N), doubled when it is
// below 2(N - 1) so that the circular convolution does not wrap. 0 when too large.
int bluestein_length(int N) {
  double e = std::ceil(std::log10(static_cast<double>(N)) / 0.3010299956639812);
  double M = std::pow(2.0, e);
  if (M > 1073741824.0) return 0;
  long long m = static_cast<long long>(M);
  if (m < 2 * (static_cast<long long>(N) - 1)) m *= 2;
  // Lengths beyond 2^30 would overflow the int indices of the transform.
  return m > 1073741824LL ? 0 : static_cast<int>(m);
}

[[noreturn]] void reject(const char *msg) {
  std::puts(msg);
  std::exit(-1);
}

}  // namespace

namespace tsf_fft {

void out_of_memory(const char *what) {
  std::printf("%s: out of memory\n", what);
  std::exit(-1);
}

}  // namespace tsf_fft

int dividebyN(int N) {
  if (N < 1) return 0;
  int count;
  return divide_supported(N, nullptr, &count) == 1 ? 1 : 0;
}

int divideby(int M, int d) {
  if (M < 1) return 0;
  if (d < 2) return M == 1 ? 1 : 0;
  while (M % d == 0) M /= d;
  return M == 1 ? 1 : 0;
}

int factors(int M, int *arr) {
  if (M <= 1) return 0;
  int count;
  M = divide_supported(M, arr, &count);
  // What remains has only prime factors above 53: trial division by 6k - 1 and 6k + 1,
  // stopping at the square root (the remainder is then prime).
  for (long long k = 2; M > 1; ++k) {
    for (long long d : {6 * k - 1, 6 * k + 1}) {
      if (d * d > M) {
        arr[count++] = M;
        return count;
      }
      while (M % d == 0) {
        arr[count++] = static_cast<int>(d);
        M /= static_cast<int>(d);
      }
    }
  }
  return count;
}

void twiddle(fft_data *out, int N, int radix) {
  int len = N / radix;
  for (int k = 0; k < len; ++k) {
    double theta = kTwoPi * k / N;
    out[k].re = std::cos(theta);
    out[k].im = -std::sin(theta);
  }
}

void longvectorN(fft_data *out, int N, int *factors, int count) {
  (void)N;
  int L = 1;
  int at = 0;
  for (int i = count - 1; i >= 0; --i) {
    int r = factors[i];
    L *= r;
    int blocks = L / r;
    for (int j = 0; j < blocks; ++j) {
      for (int k = 0; k < r - 1; ++k) {
        // j*(k+1) < L, so the angle stays in [0, 2*pi).
        double theta = kTwoPi * (static_cast<double>(j) * (k + 1)) / L;
        out[at].re = std::cos(theta);
        out[at].im = -std::sin(theta);
        ++at;
      }
    }
  }
}

fft_object *fft_init(int N, int sgn) {
  if (N < 1) reject("fft_init: the length N must be at least 1");
  if (sgn != 1 && sgn != -1) reject("fft_init: sgn must be 1 (forward) or -1 (backward)");
  int M = N;
  int lt = 0;
  if (!dividebyN(N)) {
    M = bluestein_length(N);
    if (M == 0) reject("fft_init: the length N is too large");
    lt = 1;
  }
  void *block = std::malloc(sizeof(fft_object) + sizeof(fft_data) * static_cast<size_t>(M));
  if (!block) return nullptr;
  fft_object *obj = static_cast<fft_object *>(block);
  obj->N = N;
  obj->sgn = sgn;
  obj->lt = lt;
  obj->twiddles = reinterpret_cast<fft_data *>(obj + 1);
  obj->lf = factors(M, obj->radices);
  longvectorN(obj->twiddles, M, obj->radices, obj->lf);
  // The table holds M - 1 values; the last slot is kept defined.
  obj->twiddles[M - 1].re = 1.0;
  obj->twiddles[M - 1].im = 0.0;
  if (sgn == -1) {
    for (int i = 0; i < M; ++i) obj->twiddles[i].im = -obj->twiddles[i].im;
  }
  return obj;
}

void fft_exec(fft_object *obj, fft_data *inp, fft_data *oup) {
  if (obj->lt == 0) {
    tsf_fft::mixed_radix(obj, obj->N, obj->sgn, inp, oup);
  } else {
    tsf_fft::bluestein(obj, inp, oup);
  }
}

void free_fft(fft_object *obj) { std::free(obj); }
