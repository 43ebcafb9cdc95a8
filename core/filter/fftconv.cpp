// Linear convolution through the real FFT on a zero-padded, even 2-3-5-7-smooth length, and
// the search for such lengths.
#include <climits>
#include <cstdlib>

#include "core/fft/fft.h"
#include "core/filter/filter.h"
#include "core/filter/filter_internal.h"

int factorf(int n) {
  if (n < 1) return 0;
  while (n % 7 == 0) n /= 7;
  while (n % 3 == 0) n /= 3;
  while (n % 5 == 0) n /= 5;
  while (n % 2 == 0) n /= 2;
  return n;
}

int findnext(int n) {
  if (n <= 1) return 1;
  for (long long m = n; m <= INT_MAX; ++m) {
    if (factorf(static_cast<int>(m)) == 1) return static_cast<int>(m);
  }
  return 0;
}

int findnexte(int n) {
  if (n <= 2) return 2;
  for (long long m = static_cast<long long>(n) + n % 2; m <= INT_MAX; m += 2) {
    if (factorf(static_cast<int>(m)) == 1) return static_cast<int>(m);
  }
  return 0;
}

conv_object *conv_init(int N, int L) {
  if (N < 1 || L < 1) tsf_filter::reject("conv_init", "the lengths N and L must be at least 1");
  if (N > INT_MAX - L) tsf_filter::reject("conv_init", "the lengths N and L are too large");
  const int clen = findnexte(N + L - 1);
  if (clen == 0) tsf_filter::reject("conv_init", "the lengths N and L are too large");
  conv_object *obj = static_cast<conv_object *>(std::malloc(sizeof(conv_object)));
  if (!obj) return nullptr;
  obj->ilen1 = N;
  obj->ilen2 = L;
  obj->clen = clen;
  obj->fobj = fft_real_init(clen, 1);
  obj->iobj = fft_real_init(clen, -1);
  if (!obj->fobj || !obj->iobj) {
    free_conv(obj);
    return nullptr;
  }
  return obj;
}

void conv_fft(conv_object *obj, double *inp1, double *inp2, double *oup) {
  const int N = obj->ilen1, L = obj->ilen2, clen = obj->clen;
  // a and b (clen doubles each, later a holds the result) and the spectra A and B.
  const size_t n = static_cast<size_t>(clen);
  void *block = std::malloc(2 * n * sizeof(double) + 2 * n * sizeof(fft_data));
  if (!block) tsf_filter::reject("conv_fft", "out of memory");
  fft_data *A = static_cast<fft_data *>(block);
  fft_data *B = A + n;
  double *a = reinterpret_cast<double *>(B + n);
  double *b = a + n;
  for (int i = 0; i < clen; ++i) {
    a[i] = i < N ? inp1[i] : 0.0;
    b[i] = i < L ? inp2[i] : 0.0;
  }
  fft_r2c_exec(obj->fobj, a, A);
  fft_r2c_exec(obj->fobj, b, B);
  for (int k = 0; k < clen; ++k) {
    const double re = A[k].re * B[k].re - A[k].im * B[k].im;
    const double im = A[k].im * B[k].re + A[k].re * B[k].im;
    A[k].re = re;
    A[k].im = im;
  }
  fft_c2r_exec(obj->iobj, A, a);
  for (int i = 0; i < N + L - 1; ++i) oup[i] = a[i] / clen;
  std::free(block);
}

void free_conv(conv_object *obj) {
  if (!obj) return;
  free_real_fft(obj->fobj);
  free_real_fft(obj->iobj);
  std::free(obj);
}
