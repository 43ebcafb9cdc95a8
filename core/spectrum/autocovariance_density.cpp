// Spectral density from the sample autocovariance: with acov[j] = c(j) for lags 0..N-1
// and F its transform, f(w) = sum over |j| < N of c(|j|) exp(-i*w*j) / (2*pi)
// = (2*Re F(w) - c(0)) / (2*pi), since c is even in the lag (Wiener-Khinchin: it equals
// the periodogram of the centred series over 2*pi). The nfft >= N points of the
// transform sample F without aliasing.
#include <cstdlib>

#include "core/spectrum/spectrum.h"
#include "core/spectrum/spectrum_internal.h"

void psd_autocovar(auto_object *obj, double *x, double *density, double *freq, int nfft) {
  const int N = obj->N;
  if (nfft < N) tsf_spectrum::reject("psd_autocovar: nfft must be at least N");
  const size_t len = static_cast<size_t>(nfft);
  void *block = tsf_spectrum::work_block(2 * len * sizeof(fft_data) + static_cast<size_t>(N) * sizeof(double),
                                         "psd_autocovar");
  fft_data *in = static_cast<fft_data *>(block);
  fft_data *F = in + len;
  double *acov = reinterpret_cast<double *>(F + len);
  autocovar_fft(obj, x, acov, N);
  for (int j = 0; j < nfft; ++j) in[j] = {j < N ? acov[j] : 0.0, 0.0};
  fft_object *plan = fft_init(nfft, 1);
  if (!plan) {
    std::free(block);
    tsf_spectrum::reject("psd_autocovar: out of memory");
  }
  fft_exec(plan, in, F);
  free_fft(plan);
  for (int k = 0; k <= nfft / 2; ++k) {
    density[k] = (2.0 * F[k].re - acov[0]) / tsf_spectrum::kTwoPi;
    freq[k] = tsf_spectrum::kTwoPi * k / nfft;
  }
  std::free(block);
}
