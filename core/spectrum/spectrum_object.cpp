// The spectrum object and its plans, the argument checks shared by the family, and the
// reordering of a two-sided result into ascending frequency.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/spectrum/spectrum.h"
#include "core/spectrum/spectrum_internal.h"

namespace tsf_spectrum {

void reject(const char *msg) {
  std::puts(msg);
  std::exit(-1);
}

void *work_block(std::size_t bytes, const char *what) {
  void *block = std::malloc(bytes);
  if (!block) {
    std::printf("%s: out of memory\n", what);
    std::exit(-1);
  }
  return block;
}

}  // namespace tsf_spectrum

spectrum_object *spectrum_fft_init(int N, int nfft) {
  if (N < 1) tsf_spectrum::reject("spectrum_fft_init: the length N must be at least 1");
  if (nfft < N) tsf_spectrum::reject("spectrum_fft_init: nfft must be at least N");
  spectrum_object *obj = static_cast<spectrum_object *>(std::malloc(sizeof(spectrum_object)));
  if (!obj) return nullptr;
  obj->N = N;
  obj->nfft = nfft;
  obj->cobj = fft_init(N, 1);
  obj->cobj2 = nfft == N ? obj->cobj : fft_init(nfft, 1);
  obj->robj = N % 2 == 0 ? fft_real_init(N, 1) : nullptr;
  obj->robj2 = nfft == N ? obj->robj : nfft % 2 == 0 ? fft_real_init(nfft, 1) : nullptr;
  using tsf_spectrum::needs_chirp;
  obj->zobj = needs_chirp(N) ? tsf_spectrum::chirp_init(N, N) : nullptr;
  obj->zobj2 = nfft == N ? obj->zobj : needs_chirp(nfft) ? tsf_spectrum::chirp_init(N, nfft) : nullptr;
  if (!obj->cobj || !obj->cobj2 || (N % 2 == 0 && !obj->robj) || (nfft % 2 == 0 && !obj->robj2) ||
      (needs_chirp(N) && !obj->zobj) || (needs_chirp(nfft) && !obj->zobj2)) {
    free_spectrum(obj);
    return nullptr;
  }
  return obj;
}

void free_spectrum(spectrum_object *obj) {
  if (!obj) return;
  if (obj->cobj2 != obj->cobj) free_fft(obj->cobj2);
  free_fft(obj->cobj);
  if (obj->robj2 != obj->robj) free_real_fft(obj->robj2);
  free_real_fft(obj->robj);
  if (obj->zobj2 != obj->zobj) tsf_spectrum::chirp_free(obj->zobj2);
  tsf_spectrum::chirp_free(obj->zobj);
  std::free(obj);
}

// Two-sided layouts put bins 0..N/2 first and the negative frequencies after them; a left
// rotation by N/2 + 1 (integer division) brings the negative ones to the front for either
// parity, leaving the Nyquist bin of an even N last.
void spectrum_shift(double *values, int N) {
  if (N < 2) return;
  std::rotate(values, values + N / 2 + 1, values + N);
}

int isOdd(int N) { return N % 2 != 0 ? 1 : 0; }
