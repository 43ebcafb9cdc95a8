// Periodogram and zero-padded power spectral density of a real series through the FFT:
// the real-input transform for even lengths, the complex one with zero imaginary parts for
// odd lengths.
#include <cstdlib>

#include "core/spectrum/spectrum.h"
#include "core/spectrum/spectrum_internal.h"

namespace {

using tsf_spectrum::kTwoPi;

// spec[k] = |X[k]|^2 / s and freq[k] = 2*pi*k/L for k = 0..L/2 (bin 0 from the real part
// only).
void power_bins(const fft_data *X, int L, double s, double *spec, double *freq) {
  spec[0] = X[0].re * X[0].re / s;
  freq[0] = 0.0;
  for (int k = 1; k <= L / 2; ++k) {
    spec[k] = (X[k].re * X[k].re + X[k].im * X[k].im) / s;
    freq[k] = kTwoPi * k / L;
  }
}

// From bins 0..h = L/2 to the two-sided layout (side 2: the mirror image after bin h, at
// negated frequencies) or the one-sided one (interior bins doubled).
void arrange_sides(int L, int side, double *spec, double *freq) {
  const int h = L / 2;
  const bool even = L % 2 == 0;
  if (side == 2) {
    for (int k = h + 1; k < L; ++k) {
      spec[k] = spec[L - k];
      freq[k] = -freq[L - k];
    }
    return;
  }
  const int last = even ? h - 1 : h;
  for (int k = 1; k <= last; ++k) spec[k] *= 2.0;
}

// X (L) = transform of the real x (n <= L values, then zeros): through the real plan when
// there is one, else the complex plan. One work block per call.
struct Transform {
  void *block;
  fft_data *X;
};

Transform transform_real(fft_object *cobj, fft_real_object *robj, const double *x, int n, int L,
                         const char *what) {
  const size_t len = static_cast<size_t>(L);
  Transform t;
  if (robj) {
    const bool padded = n < L;
    t.block = tsf_spectrum::work_block(len * sizeof(fft_data) + (padded ? len * sizeof(double) : 0), what);
    t.X = static_cast<fft_data *>(t.block);
    double *in = const_cast<double *>(x);
    if (padded) {
      in = reinterpret_cast<double *>(t.X + len);
      for (int i = 0; i < L; ++i) in[i] = i < n ? x[i] : 0.0;
    }
    fft_r2c_exec(robj, in, t.X);
    return t;
  }
  t.block = tsf_spectrum::work_block(2 * len * sizeof(fft_data), what);
  t.X = static_cast<fft_data *>(t.block);
  fft_data *in = t.X + len;
  for (int i = 0; i < L; ++i) in[i] = {i < n ? x[i] : 0.0, 0.0};
  fft_exec(cobj, in, t.X);
  return t;
}

// x[1] - x[0] + x[3] - x[2] + ...: the Nyquist bin of an even length, summed directly.
double alternating_sum(const double *x, int N) {
  double odd = 0.0, even = 0.0;
  for (int t = 0; t + 1 < N; t += 2) {
    even += x[t];
    odd += x[t + 1];
  }
  return odd - even;
}

}  // namespace

void periodogram(spectrum_object *obj, double *x, double *spec, double *freq, int side) {
  const int N = obj->N;
  Transform t = transform_real(obj->cobj, obj->robj, x, N, N, "periodogram");
  power_bins(t.X, N, N, spec, freq);
  std::free(t.block);
  if (N % 2 == 0) {
    const double a = alternating_sum(x, N);
    spec[N / 2] = a * a / N;
  }
  arrange_sides(N, side, spec, freq);
}

void psd(spectrum_object *obj, double *x, double *spec, double *freq, int side) {
  const int L = obj->nfft;
  Transform t = transform_real(obj->cobj2, obj->robj2, x, obj->N, L, "psd");
  power_bins(t.X, L, kTwoPi * obj->N, spec, freq);
  std::free(t.block);
  arrange_sides(L, side, spec, freq);
}
