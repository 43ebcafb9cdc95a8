// Real-input transforms through a half-length complex transform: the even and odd samples
// of x form z[k] = x[2k] + i*x[2k+1]; the spectra of the two real halves are split from Z
// by conjugate symmetry and joined with the twiddles exp(-+2*pi*i*k/N) (Cooley, Lewis and
// Welch 1970). The direction of the join follows the plan's sign, so both directions of
// both routines give the transform of the plan's direction.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/fft/fft.h"
#include "core/fft/fft_internal.h"

fft_real_object *fft_real_init(int N, int sgn) {
  if (N < 2 || N % 2 != 0) {
    std::puts("fft_real_init: the length N must be even and at least 2");
    std::exit(-1);
  }
  const int h = N / 2;
  void *block = std::malloc(sizeof(fft_real_object) + sizeof(fft_data) * static_cast<size_t>(h));
  if (!block) return nullptr;
  fft_real_object *obj = static_cast<fft_real_object *>(block);
  obj->cobj = fft_init(h, sgn);
  if (!obj->cobj) {
    std::free(block);
    return nullptr;
  }
  obj->twiddle2 = reinterpret_cast<fft_data *>(obj + 1);
  const double two_pi = 6.283185307179586476925286766559;
  for (int k = 0; k < h; ++k) {
    double theta = two_pi * k / N;
    obj->twiddle2[k].re = std::cos(theta);
    obj->twiddle2[k].im = std::sin(theta);
  }
  return obj;
}

namespace {

// X[k] from A = Z[k], B = Z[h - k], c = cos, s = sgn*sin of 2*pi*k/N.
inline fft_data split_bin(fft_data A, fft_data B, double c, double s) {
  fft_data X;
  X.re = (A.re + B.re + c * (A.im + B.im) + s * (B.re - A.re)) / 2;
  X.im = (A.im - B.im + c * (B.re - A.re) - s * (A.im + B.im)) / 2;
  return X;
}

// z[k] from A = X[k], B = X[h - k], c = cos, s = -sgn*sin of 2*pi*k/N.
inline fft_data join_bin(fft_data A, fft_data B, double c, double s) {
  fft_data z;
  z.re = A.re + B.re + c * (-A.im - B.im) - s * (A.re - B.re);
  z.im = A.im - B.im + c * (A.re - B.re) + s * (-A.im - B.im);
  return z;
}

}  // namespace

void fft_r2c_exec(fft_real_object *obj, double *inp, fft_data *oup) {
  const fft_object *cobj = obj->cobj;
  const int h = cobj->N;
  const int N = 2 * h;
  const double sg = cobj->sgn;
  const fft_data *tw = obj->twiddle2;
  // N doubles have the layout of h complex samples; Z goes to the first half of oup and is
  // turned into X there pair by pair (bins k and h - k use the same two values).
  fft_exec(obj->cobj, reinterpret_cast<fft_data *>(inp), oup);
  const fft_data Z0 = oup[0];
  for (int k = 1; 2 * k <= h; ++k) {
    fft_data A = oup[k], B = oup[h - k];
    oup[k] = split_bin(A, B, tw[k].re, sg * tw[k].im);
    if (2 * k != h) oup[h - k] = split_bin(B, A, tw[h - k].re, sg * tw[h - k].im);
  }
  oup[0] = {Z0.re + Z0.im, 0.0};
  oup[h] = {Z0.re - Z0.im, 0.0};
  for (int k = 1; k < h; ++k) oup[N - k] = {oup[k].re, -oup[k].im};
}

void fft_c2r_exec(fft_real_object *obj, fft_data *inp, double *oup) {
  const fft_object *cobj = obj->cobj;
  const int h = cobj->N;
  const double sg = -cobj->sgn;
  const fft_data *tw = obj->twiddle2;
  fft_data *z = static_cast<fft_data *>(std::malloc(sizeof(fft_data) * static_cast<size_t>(h)));
  if (!z) tsf_fft::out_of_memory("fft_c2r_exec");
  for (int k = 0; k < h; ++k) z[k] = join_bin(inp[k], inp[h - k], tw[k].re, sg * tw[k].im);
  fft_exec(obj->cobj, z, reinterpret_cast<fft_data *>(oup));
  std::free(z);
}

void free_real_fft(fft_real_object *obj) {
  if (!obj) return;
  free_fft(obj->cobj);
  std::free(obj);
}
