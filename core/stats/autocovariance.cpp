// Sample autocovariance and autocorrelation, directly (O(N*L)) and through the real FFT of
// the centred series zero-padded to clen >= 2N (Wiener-Khinchin: the inverse transform of
// the periodogram is the circular autocorrelation, here equal to the linear one).
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "core/fft/fft.h"
#include "core/filter/filter.h"
#include "core/stats/stats.h"

namespace {

// The lag count actually computed for a request of L lags of a series of length N.
int corrected_lags(int L, int N) {
  if (L > N) {
    std::puts("\n Lag is greater than the length N of the input vector. It is automatically set to length N - 1.");
    std::printf("\n The Output Vector only contains N calculated values.");
    return N - 1;
  }
  return L < 0 ? 0 : L;
}

void normalise(double *acov, int L) {
  if (L < 1) return;
  const double c0 = acov[0];
  acov[0] = 1.0;
  for (int k = 1; k < L; ++k) acov[k] = acov[k] / c0;
}

// autocovar with L already corrected.
void direct_autocovariance(const double *x, int N, double *acov, int L, double m) {
  for (int k = 0; k < L; ++k) {
    double sum = 0.0;
    for (int t = 0; t < N - k; ++t) sum += (x[t] - m) * (x[t + k] - m);
    acov[k] = sum / N;
  }
}

void fft_autocovariance(const auto_object *obj, double *x, double *acov, int L) {
  const int N = obj->N, clen = obj->clen;
  const size_t n = static_cast<size_t>(clen);
  // The real series a (clen doubles; later the inverse transform) and the spectrum X
  // (clen bins; later the power spectrum in place).
  void *block = std::malloc(n * sizeof(fft_data) + n * sizeof(double));
  if (!block) {
    std::puts("autocovar_fft: out of memory");
    std::exit(-1);
  }
  fft_data *X = static_cast<fft_data *>(block);
  double *a = reinterpret_cast<double *>(X + n);
  const double m = mean(x, N);
  for (int t = 0; t < clen; ++t) a[t] = t < N ? x[t] - m : 0.0;
  fft_r2c_exec(obj->fobj, a, X);
  for (int k = 0; k < clen; ++k) {
    X[k].re = X[k].re * X[k].re + X[k].im * X[k].im;
    X[k].im = 0.0;
  }
  fft_c2r_exec(obj->iobj, X, a);
  // clen*N exceeds the int range from N of about 33000 on: formed in double.
  const double divisor = static_cast<double>(clen) * N;
  for (int k = 0; k < L; ++k) acov[k] = a[k] / divisor;
  std::free(block);
}

}  // namespace

void autocovar(double *x, int N, double *acov, int L) {
  const double m = mean(x, N);
  L = corrected_lags(L, N);
  direct_autocovariance(x, N, acov, L, m);
}

void autocorr(double *x, int N, double *acf, int L) {
  L = corrected_lags(L, N);
  autocovar(x, N, acf, L);
  normalise(acf, L);
}

auto_object *auto_fft_init(int N) {
  const int clen = (N > INT_MAX / 2) ? 0 : findnexte(2 * N);
  if (clen == 0) {
    std::puts("auto_fft_init: the length N is too large");
    std::exit(-1);
  }
  auto_object *obj = static_cast<auto_object *>(std::malloc(sizeof(auto_object)));
  if (!obj) return nullptr;
  obj->N = N;
  obj->clen = clen;
  obj->fobj = fft_real_init(clen, 1);
  obj->iobj = fft_real_init(clen, -1);
  if (!obj->fobj || !obj->iobj) {
    free_auto(obj);
    return nullptr;
  }
  return obj;
}

void autocovar_fft(auto_object *obj, double *x, double *acov, int L) {
  L = corrected_lags(L, obj->N);
  fft_autocovariance(obj, x, acov, L);
}

void autocorr_fft(auto_object *obj, double *x, double *acf, int L) {
  L = corrected_lags(L, obj->N);
  fft_autocovariance(obj, x, acf, L);
  normalise(acf, L);
}

void free_auto(auto_object *obj) {
  if (!obj) return;
  free_real_fft(obj->fobj);
  free_real_fft(obj->iobj);
  std::free(obj);
}

void acvf(double *x, int N, double *acov, int L) { autocovar(x, N, acov, L); }

void acvf_opt(double *x, int N, int method, double *acov, int L) {
  if (method == 0) {
    autocovar(x, N, acov, L);
  } else if (method == 1) {
    auto_object *obj = auto_fft_init(N);
    if (!obj) {
      std::puts("acvf_opt: out of memory");
      std::exit(-1);
    }
    autocovar_fft(obj, x, acov, L);
    free_auto(obj);
  } else {
    std::puts("\n The code only accepts numerical values 0 and 1 ");
    std::puts("\n Method 0 : General Method ");
    std::puts("\n Method 1 : FFT ");
  }
}

void acvf2acf(double *acov, int L) { normalise(acov, L); }
