// Periodogram and zero-padded power spectral density of a real series through the FFT:
// the real-input transform for even lengths, the one-sided chirp-z transform for odd
// lengths with a prime factor above 53, the complex one with zero imaginary parts for the
// other odd lengths.
#include <cstdlib>

#include "core/spectrum/spectrum.h"
#include "core/spectrum/spectrum_internal.h"

namespace {

using tsf_spectrum::kTwoPi;

// Scales of the power |X[k]|^2 of a transform of length L: bin 0 and, for even L, the
// Nyquist bin take 1/s; the other bins take 2/s in the one-sided layout (each stands for
// itself and its mirror image), 1/s in the two-sided one. Multiplying by 2/s doubles the
// product by 1/s exactly.
struct Scales {
  double edge;
  double interior;
};

Scales power_scales(double s, int side) {
  const double inv = 1.0 / s;
  return {inv, side == 2 ? inv : 2.0 * inv};
}

// |X|^2 of the bin whose split inputs are A = Z[k] and B = Z[h - k] with c = cos and
// s = sin of 2*pi*k/L (the split of fft_r2c_exec).
inline double split_power(fft_data A, fft_data B, double c, double s) {
  const double re = (A.re + B.re + c * (A.im + B.im) + s * (B.re - A.re)) / 2;
  const double im = (A.im - B.im + c * (B.re - A.re) - s * (A.im + B.im)) / 2;
  return re * re + im * im;
}

// power[k] for k = 0..L/2 (bin 0 from the real part only), X the L-point transform of the
// real x (n <= L values, then zeros), L even. The h-point complex transform Z (h = L/2) of
// z[k] = x[2k] + i*x[2k+1], taken with the inner plan of the real plan, is split into X by
// conjugate symmetry as fft_r2c_exec does, but straight into power: bins k and h - k come
// from the same two values Z[k], Z[h - k] and twiddle (cos and sin of 2*pi*(h - k)/L are
// -cos and sin of 2*pi*k/L), no mirrored half is written, and the work block holds h
// complex values (and the padded input). The memory traffic, not the arithmetic, sets the
// time of this pass.
void even_power_bins(fft_real_object *robj, const double *x, int n, int L, Scales sc, double *power,
                     const char *what) {
  const int h = L / 2;
  const bool padded = n < L;
  void *block = tsf_spectrum::work_block(h * sizeof(fft_data) + (padded ? L * sizeof(double) : 0), what);
  fft_data *Z = static_cast<fft_data *>(block);
  const double *in = x;
  if (padded) {
    double *buf = reinterpret_cast<double *>(Z + h);
    for (int i = 0; i < L; ++i) buf[i] = i < n ? x[i] : 0.0;
    in = buf;
  }
  fft_exec(robj->cobj, reinterpret_cast<fft_data *>(const_cast<double *>(in)), Z);
  const fft_data *tw = robj->twiddle2;
  power[0] = (Z[0].re + Z[0].im) * (Z[0].re + Z[0].im) * sc.edge;
  for (int k = 1; 2 * k <= h; ++k) {
    const fft_data A = Z[k], B = Z[h - k];
    power[k] = split_power(A, B, tw[k].re, tw[k].im) * sc.interior;
    if (2 * k != h) power[h - k] = split_power(B, A, -tw[k].re, tw[k].im) * sc.interior;
  }
  power[h] = (Z[0].re - Z[0].im) * (Z[0].re - Z[0].im) * sc.edge;
  std::free(block);
}

// The same for any L through the complex plan, the imaginary parts zero.
void complex_power_bins(fft_object *cobj, const double *x, int n, int L, Scales sc, double *power, const char *what) {
  const size_t len = static_cast<size_t>(L);
  void *block = tsf_spectrum::work_block(2 * len * sizeof(fft_data), what);
  fft_data *X = static_cast<fft_data *>(block);
  fft_data *in = X + len;
  for (int i = 0; i < L; ++i) in[i] = {i < n ? x[i] : 0.0, 0.0};
  fft_exec(cobj, in, X);
  power[0] = X[0].re * X[0].re * sc.edge;
  for (int k = 1; k <= L / 2; ++k)
    power[k] = (X[k].re * X[k].re + X[k].im * X[k].im) * (2 * k == L ? sc.edge : sc.interior);
  std::free(block);
}

// power and freq of a transform of length L with scale s, in the layout of side: bins
// 0..L/2 from the transform (through the real plan or the chirp data when there is
// one), then for side 2 the mirror image after bin L/2 at negated frequencies.
void spectrum_layout(fft_object *cobj, fft_real_object *robj, const spectrum_chirp *zobj, const double *x, int n,
                     int L, double s, int side, double *power, double *freq, const char *what) {
  const Scales sc = power_scales(s, side);
  if (robj)
    even_power_bins(robj, x, n, L, sc, power, what);
  else if (zobj)
    tsf_spectrum::chirp_power_bins(zobj, x, sc.edge, sc.interior, power, what);
  else
    complex_power_bins(cobj, x, n, L, sc, power, what);
  freq[0] = 0.0;
  for (int k = 1; k <= L / 2; ++k) freq[k] = kTwoPi * k / L;
  if (side != 2) return;
  for (int k = L / 2 + 1; k < L; ++k) {
    power[k] = power[L - k];
    freq[k] = -freq[L - k];
  }
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

void periodogram(spectrum_object *obj, double *x, double *power, double *freq, int side) {
  const int N = obj->N;
  spectrum_layout(obj->cobj, obj->robj, obj->zobj, x, N, N, N, side, power, freq, "periodogram");
  if (N % 2 == 0) {
    const double a = alternating_sum(x, N);
    power[N / 2] = a * a / N;
  }
}

void psd(spectrum_object *obj, double *x, double *density, double *freq, int side) {
  spectrum_layout(obj->cobj2, obj->robj2, obj->zobj2, x, obj->N, obj->nfft, kTwoPi * obj->N, side, density, freq, "psd");
}
